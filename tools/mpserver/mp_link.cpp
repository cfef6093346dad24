// Packing, resending and reading of the test server's datagrams.
#include "tools/mpserver/mp_link.h"

#include <algorithm>
#include <cstring>

namespace mpserver {
namespace {

constexpr size_t head = 2;

bool guaranteed(uint16_t flags) {
    return (flags & flags_guaranteed) != 0;
}

uint32_t header_size(uint16_t flags) {
    return guaranteed(flags) ? 9 : 8;
}

uint32_t resend_delay(uint16_t flags) {
    switch (flags & flags_guaranteed) {
    case 0x04: return 0;
    case 0x08: return 50;
    case 0x10: return 250;
    default: return 500;
    }
}

// b newer than a: (b - a) mod 256 in 1..127; older: 129..255.
bool newer(uint8_t a, uint8_t b) {
    uint8_t d = uint8_t(b - a);
    return d >= 1 && d <= 127;
}
bool older(uint8_t a, uint8_t b) {
    return uint8_t(b - a) >= 129;
}

struct Header {
    uint16_t type, flags;
    uint8_t serial;
    size_t offset;
    uint32_t length;
};

bool split(const uint8_t* data, size_t size, std::vector<Header>& out) {
    size_t at = head;
    while (at < size) {
        Header h{};
        if (size - at < 4) return false;
        h.type = uint16_t(data[at] | data[at + 1] << 8);
        h.flags = uint16_t(data[at + 2] | data[at + 3] << 8);
        at += 4;
        if (guaranteed(h.flags)) {
            if (size - at < 1) return false;
            h.serial = data[at++];
        }
        if (size - at < 4) return false;
        std::memcpy(&h.length, data + at, 4);
        at += 4;
        if (h.length > size - at) return false;
        h.offset = at;
        at += h.length;
        out.push_back(h);
    }
    return true;
}

} // namespace

void Link::queue(uint16_t type, uint16_t flags, std::vector<uint8_t> payload) {
    Record r;
    r.type = type;
    r.flags = flags;
    r.payload = std::move(payload);
    if (flags & 0x80)
        send_.push_front(std::move(r));
    else
        send_.push_back(std::move(r));
}

bool Link::fits(const std::vector<uint8_t>& d, const Record& r) const {
    size_t n = r.payload.size() + header_size(r.flags);
    if (n + head > max_datagram_) return d.size() == head;
    return d.size() + n <= max_datagram_;
}

void Link::append(std::vector<uint8_t>& d, const Record& r) const {
    d.push_back(uint8_t(r.type));
    d.push_back(uint8_t(r.type >> 8));
    d.push_back(uint8_t(r.flags));
    d.push_back(uint8_t(r.flags >> 8));
    if (guaranteed(r.flags)) d.push_back(r.serial);
    uint32_t n = uint32_t(r.payload.size());
    for (int i = 0; i < 4; ++i) d.push_back(uint8_t(n >> (8 * i)));
    d.insert(d.end(), r.payload.begin(), r.payload.end());
}

uint8_t Link::acknowledgement() const {
    if (have_guaranteed_ack_ && uint8_t(ack_ - guaranteed_ack_) <= 64) return guaranteed_ack_;
    return ack_;
}

std::optional<std::vector<uint8_t>> Link::datagram(uint32_t now) {
    const uint8_t serial = next_serial_;
    std::vector<uint8_t> d = {serial, acknowledgement()};
    for (Record& r : resend_) r.carried.reset(serial);

    bool held_back = false;
    for (size_t i = 0; i < resend_.size();) {
        size_t end = i;
        bool due = false;
        size_t bytes = 0;
        while (end < resend_.size() && resend_[end].serial == resend_[i].serial) {
            const Record& r = resend_[end];
            due = due || !r.resent_once || resend_delay(r.flags) == 0 ||
                  int32_t(r.resend_time - now) < 0;
            bytes += header_size(r.flags) + r.payload.size();
            ++end;
        }
        if (due) {
            bool group_fits =
                end - i == 1 ? fits(d, resend_[i]) : d.size() + bytes <= max_datagram_;
            if (!group_fits) {
                held_back = true;
                break;
            }
            for (size_t k = i; k < end; ++k) {
                append(d, resend_[k]);
                resend_[k].resend_time = now + resend_delay(resend_[k].flags);
                resend_[k].resent_once = true;
                resend_[k].carried.set(serial);
            }
        }
        i = end;
    }

    // New messages in three passes (first-pass flags, plain, last-pass flags). Unlike the
    // game's queue, a plain message that does not fit waits for the next datagram instead of
    // being dropped, and packing stops there so the server's messages keep their order.
    bool full = false;
    for (int pass = 1; pass <= 3 && !full; ++pass) {
        for (auto it = send_.begin(); it != send_.end();) {
            bool in_pass = pass == 1   ? (it->flags & 0x01)
                           : pass == 2 ? !(it->flags & 0x03)
                                       : (it->flags & 0x02);
            bool g = guaranteed(it->flags);
            if (!in_pass || (g && held_back)) {
                ++it;
                continue;
            }
            if (!fits(d, *it)) {
                full = true;
                break;
            }
            it->serial = serial;
            append(d, *it);
            if (g) {
                it->carried.set(serial);
                resend_.push_back(std::move(*it));
            }
            it = send_.erase(it);
        }
    }

    if (d.size() == head && ack_sent_) {
        for (Record& r : resend_) r.carried.reset(serial);
        return std::nullopt;
    }
    ack_sent_ = true;
    next_serial_ = uint8_t(next_serial_ + 1);
    return d;
}

Link::Accept Link::receive(const uint8_t* data, size_t size, std::vector<Received>& out) {
    std::vector<Header> messages;
    if (!data || size < head || !split(data, size, messages)) return Accept::Malformed;
    const uint8_t s = data[0];
    if (older(last_accepted_, s)) return Accept::Stale;
    for (uint8_t x = uint8_t(last_accepted_ + 1), steps = uint8_t(s - last_accepted_); steps > 0;
         ++x, --steps)
        delivered_.reset(x);
    last_accepted_ = s;
    const uint8_t a = data[1];
    if (newer(next_serial_, a)) return Accept::NeverSent;
    resend_.erase(std::remove_if(resend_.begin(), resend_.end(),
                                 [&](const Record& r) { return r.carried.test(a); }),
                  resend_.end());
    const uint64_t instance = ++instance_;
    bool held_guaranteed = false;
    for (const Header& h : messages) {
        ack_sent_ = false;
        if (guaranteed(h.flags)) {
            held_guaranteed = true;
            if (delivered_.test(h.serial) && delivered_in_[h.serial] != instance) continue;
            delivered_.set(h.serial);
            delivered_in_[h.serial] = instance;
        }
        out.push_back(Received{h.type, h.flags,
                               std::vector<uint8_t>(data + h.offset, data + h.offset + h.length)});
    }
    ack_ = s;
    if (held_guaranteed) {
        guaranteed_ack_ = s;
        have_guaranteed_ack_ = true;
    }
    return Accept::Read;
}

} // namespace mpserver
