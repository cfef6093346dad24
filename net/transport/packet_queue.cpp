// The packet queue: send queue, resend list and receive queue of message records, the pump
// that packs and reads datagrams, and the acknowledgement rule described in the header.
#include "net/transport/packet_queue.h"

#include "framework/containers/com_list.h"
#include "framework/containers/values.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/io/memory_stream.h"
#include "framework/platform/timer.h"
#include "platform/clock.h"

#include <algorithm>
#include <bitset>
#include <cstring>
#include <deque>
#include <iterator>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t default_max_datagram = 1024;
constexpr uint32_t default_interval = 50;
constexpr uint32_t datagram_head = 2;

// One queued or received message.
struct OmPacketRecord {
    ComRef<IByteStream> payload;
    uint16_t type = 0;
    uint16_t flags = 0;
    uint8_t serial = 0;
    uint32_t resend_time = 0; // timeGetTime after which a guaranteed message goes again
    std::bitset<256> carried; // the datagram serials it travelled in (sender side)
    bool resent_once = false; // resend time set: due only after it
};

using RecordList = std::deque<std::unique_ptr<OmPacketRecord>>;

bool guaranteed(uint16_t flags) {
    return (flags & OM_SEND_GUARANTEED) != 0;
}

uint32_t resend_delay(uint16_t flags) {
    switch (flags & OM_SEND_GUARANTEED) {
    case OM_SEND_GUARANTEED_4: return 0;
    case OM_SEND_GUARANTEED_8: return 50;
    case OM_SEND_GUARANTEED_16: return 250;
    default: return 500;
    }
}

uint32_t header_size(uint16_t flags) {
    return guaranteed(flags) ? 9 : 8;
}

uint32_t stream_length(IByteStream* stream) {
    uint32_t end = 0;
    if (stream->Seek(0, OM_SEEK_END, &end) < 0) return 0;
    return end;
}

void put16(std::vector<uint8_t>& d, uint16_t v) {
    d.push_back(uint8_t(v));
    d.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& d, uint32_t v) {
    for (int i = 0; i < 4; ++i) d.push_back(uint8_t(v >> (8 * i)));
}

// A message header read from a datagram, with its payload's place.
struct WireMessage {
    uint16_t type;
    uint16_t flags;
    uint8_t serial;
    uint32_t offset;
    uint32_t length;
};

// Cuts a datagram's body into messages; false when a header or payload runs past its end.
bool split_messages(const uint8_t* data, uint32_t length, std::vector<WireMessage>& out) {
    uint32_t at = datagram_head;
    while (at < length) {
        WireMessage m{};
        if (length - at < 4) return false;
        m.type = uint16_t(data[at] | data[at + 1] << 8);
        m.flags = uint16_t(data[at + 2] | data[at + 3] << 8);
        at += 4;
        if (guaranteed(m.flags)) {
            if (length - at < 1) return false;
            m.serial = data[at++];
        }
        if (length - at < 4) return false;
        std::memcpy(&m.length, data + at, 4);
        at += 4;
        if (m.length > length - at) return false;
        m.offset = at;
        at += m.length;
        out.push_back(m);
    }
    return true;
}

class PacketQueue final : public OmObject<PacketQueue, IPacketQueue> {
public:
    OmResult init() {
        OmResult r = OmCreate(CLSID_Win32HighResTimer, IID_ITimer, timer_.put());
        if (r < 0) return r;
        return timer_->Start();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IPacketQueue, this}});
    }

    // The queue leaves the run-time library's random generator alone: reseeding it here
    // would disturb the game's reproducible random sequences.
    OmResult SetOption(int32_t id, uintptr_t value) override {
        switch (id) {
        case OM_QUEUE_TRANSPORT:
            transport_ = ComRef<IOmTransport>::share(reinterpret_cast<IOmTransport*>(value));
            return OM_S_OK;
        case OM_QUEUE_LOCAL_ID:
        case OM_QUEUE_REMOTE_ID: {
            if (!value) return OM_E_FAIL;
            uint32_t id_value;
            std::memcpy(&id_value, reinterpret_cast<const void*>(value), 4);
            (id == OM_QUEUE_LOCAL_ID ? local_id_ : remote_id_) = id_value;
            return OM_S_OK;
        }
        // A peer sets these: held to sane bounds, so a hostile or broken value can neither
        // starve the link nor make datagrams nothing fits in.
        case OM_QUEUE_MAX_DATAGRAM:
            max_datagram_ = uint32_t(
                std::clamp<uint64_t>(value, OM_QUEUE_MIN_DATAGRAM, OM_QUEUE_MAX_DATAGRAM_LIMIT));
            return OM_S_OK;
        case OM_QUEUE_SEND_INTERVAL:
            interval_ =
                uint32_t(std::clamp<uint64_t>(value, OM_QUEUE_MIN_INTERVAL, OM_QUEUE_MAX_INTERVAL));
            return OM_S_OK;
        case OM_QUEUE_SYSTEM_CALLBACK:
            system_callback_ = reinterpret_cast<OmQueueSystemCallback>(value);
            return OM_S_OK;
        case OM_QUEUE_SYSTEM_CONTEXT: system_context_ = value; return OM_S_OK;
        case OM_QUEUE_PRESEND_CALLBACK:
            presend_callback_ = reinterpret_cast<OmQueuePresendCallback>(value);
            return OM_S_OK;
        case OM_QUEUE_PRESEND_CONTEXT: presend_context_ = value; return OM_S_OK;
        default: return OM_E_FAIL;
        }
    }

    OmResult GetOption(int32_t id, uintptr_t* out) override {
        if (!out) return OM_E_FAIL;
        switch (id) {
        case OM_QUEUE_TRANSPORT:
            *out = reinterpret_cast<uintptr_t>(transport_.get());
            return OM_S_OK;
        case OM_QUEUE_LOCAL_ID: *out = local_id_; return OM_S_OK;
        case OM_QUEUE_REMOTE_ID: *out = remote_id_; return OM_S_OK;
        case OM_QUEUE_MAX_DATAGRAM: *out = max_datagram_; return OM_S_OK;
        case OM_QUEUE_SEND_INTERVAL: *out = interval_; return OM_S_OK;
        case OM_QUEUE_SEND_LIST: return send_list_cursor(out);
        case OM_QUEUE_SYSTEM_CALLBACK:
        case OM_QUEUE_SYSTEM_CONTEXT:
        case OM_QUEUE_PRESEND_CALLBACK:
        case OM_QUEUE_PRESEND_CONTEXT: return OM_S_OK;
        default: return OM_E_FAIL;
        }
    }

    OmResult QueueRecord(IByteStream* payload, uint16_t type, uint16_t flags) override {
        OmResult result = OM_S_OK;
        if (!payload || stream_length(payload) > OM_QUEUE_MAX_PAYLOAD) {
            result = OM_E_FAIL;
        } else {
            auto record = std::make_unique<OmPacketRecord>();
            record->payload = ComRef<IByteStream>::share(payload);
            record->type = type;
            record->flags = flags;
            if (flags & OM_SEND_FRONT)
                send_.push_front(std::move(record));
            else
                send_.push_back(std::move(record));
        }
        if (flags & OM_SEND_PUMP_NOW) Pump(OM_PUMP_FORCE);
        return result;
    }

    IBinaryStreamComposer* NewPacket() override {
        ComRef<IByteStream> stream;
        if (OmNewMemoryStream(stream.put()) < 0) return nullptr;
        ComRef<IBinaryStreamComposer> packet;
        if (OmCreate(CLSID_BinaryStreamComposer, IID_IBinaryStreamComposer, packet.put()) < 0)
            return nullptr;
        if (packet->Attach(stream.get(), OM_COMPOSER_WRITE) < 0) return nullptr;
        return packet.detach();
    }

    OmResult Send(IBinaryStreamComposer* packet, uint16_t type, uint16_t flags) override {
        if (!packet) return OM_E_FAIL;
        ComRef<IBinaryStreamComposer> held = ComRef<IBinaryStreamComposer>::adopt(packet);
        OmResult finished = packet->Flush();
        ComRef<IByteStream> stream = ComRef<IByteStream>::share(packet->GetStream());
        if (!stream) return OM_E_FAIL;
        held.reset();
        if (finished < 0) return finished;
        return QueueRecord(stream.get(), type, flags);
    }

    IBinaryStreamComposer* Withdraw(uint16_t type, uint16_t flags) override {
        auto found = std::find_if(send_.begin(), send_.end(), [&](const auto& r) {
            return r->type == type && r->flags == flags;
        });
        if (found == send_.end()) return nullptr;
        ComRef<IByteStream> payload = (*found)->payload;
        send_.erase(found);
        return reader_over(payload.get());
    }

    OmResult Pump(uint32_t flags) override {
        timer_->Update();
        accumulated_ += timer_->GetDeltaMs();
        if (accumulated_ > interval_ || (flags & OM_PUMP_FORCE)) {
            if (presend_callback_ && !(flags & OM_PUMP_FORCE))
                presend_callback_(presend_context_, this);
            OmResult r = send_datagram(flags);
            if (r < 0) return r;
        }
        return receive_datagrams();
    }

    OmResult Receive(IBinaryStreamComposer** packet, uint16_t* type, uint16_t* flags) override {
        if (packet) *packet = nullptr;
        if (type) *type = 0;
        if (flags) *flags = 0;
        if (received_.empty()) return OM_E_FAIL;
        std::unique_ptr<OmPacketRecord> record = std::move(received_.front());
        received_.pop_front();
        IBinaryStreamComposer* reader = reader_over(record->payload.get());
        if (!reader) return OM_E_OUTOFMEMORY;
        if (packet)
            *packet = reader;
        else
            reader->Release();
        if (type) *type = record->type;
        if (flags) *flags = record->flags;
        return OM_S_OK;
    }

private:
    static IBinaryStreamComposer* reader_over(IByteStream* payload) {
        ComRef<IBinaryStreamComposer> packet;
        if (OmCreate(CLSID_BinaryStreamComposer, IID_IBinaryStreamComposer, packet.put()) < 0)
            return nullptr;
        packet->Attach(payload, OM_COMPOSER_READ);
        payload->Seek(0, OM_SEEK_START, nullptr);
        return packet.detach();
    }

    OmResult send_list_cursor(uintptr_t* out) {
        ComRef<ICOMList> list;
        OmResult r = OmNewCOMList(list.put());
        if (r < 0) return r;
        for (const auto& record : send_) {
            IPtr* value = nullptr;
            r = OmNewPtr(record.get(), &value);
            if (r < 0) return r;
            r = list->AddTail(value);
            if (r < 0) {
                value->Release();
                return r;
            }
        }
        ICOMListCursor* cursor = list->CreateCursor();
        if (!cursor) return OM_E_OUTOFMEMORY;
        *out = reinterpret_cast<uintptr_t>(cursor);
        return OM_S_OK;
    }

    // Appends a record: header, then its payload from the start of its stream. A payload
    // too large for any datagram of the maximum size goes alone into an empty datagram,
    // enlarged to hold it; otherwise it must fit. False when it does not go in.
    bool append(std::vector<uint8_t>& d, OmPacketRecord& r) {
        uint32_t n = stream_length(r.payload.get());
        uint32_t h = header_size(r.flags);
        bool oversized = uint64_t(n) + h + datagram_head > packing_limit();
        if (oversized ? d.size() != datagram_head : d.size() + h + n > packing_limit())
            return false;
        size_t at = d.size();
        put16(d, r.type);
        put16(d, r.flags);
        if (guaranteed(r.flags)) d.push_back(r.serial);
        put32(d, n);
        d.resize(d.size() + n);
        uint32_t done = 0;
        r.payload->Seek(0, OM_SEEK_START, nullptr);
        if (n && (r.payload->Read(d.data() + d.size() - n, n, &done) < 0 || done != n)) {
            d.resize(at);
            return false;
        }
        return true;
    }

    // The size datagrams are packed to: the maximum, but never more than a transport carries
    // in one message.
    uint32_t packing_limit() const { return std::min(max_datagram_, OM_QUEUE_TRANSPORT_LIMIT); }

    bool fits(const std::vector<uint8_t>& d, const OmPacketRecord& r) const {
        uint32_t n = stream_length(r.payload.get());
        uint32_t h = header_size(r.flags);
        if (uint64_t(n) + h + datagram_head > packing_limit()) return d.size() == datagram_head;
        return d.size() + h + n <= packing_limit();
    }

    OmResult send_datagram(uint32_t pump_flags) {
        std::vector<uint8_t> d;
        d.reserve(max_datagram_);
        accumulated_ = 0;
        const uint8_t serial = next_serial_;
        d.push_back(serial);
        d.push_back(acknowledgement());
        // The serial is used afresh: no record counts as carried by its previous use.
        for (auto& r : resend_) r->carried.reset(serial);
        const uint32_t now = platform::timeGetTime();

        // Resends, one serial's group at a time, in first-sending order.
        bool held_back = false;
        for (size_t i = 0; i < resend_.size();) {
            size_t end = i;
            bool due = false;
            uint64_t group_bytes = 0;
            while (end < resend_.size() && resend_[end]->serial == resend_[i]->serial) {
                OmPacketRecord& r = *resend_[end];
                due = due || !r.resent_once || resend_delay(r.flags) == 0 ||
                      int32_t(r.resend_time - now) < 0;
                group_bytes += header_size(r.flags) + stream_length(r.payload.get());
                ++end;
            }
            if (due) {
                bool group_fits =
                    end - i == 1 ? fits(d, *resend_[i]) : d.size() + group_bytes <= packing_limit();
                if (!group_fits) {
                    held_back = true;
                    break;
                }
                for (size_t k = i; k < end; ++k) {
                    OmPacketRecord& r = *resend_[k];
                    if (!append(d, r)) {
                        held_back = true;
                        break;
                    }
                    r.resend_time = now + resend_delay(r.flags);
                    r.resent_once = true;
                    r.carried.set(serial);
                }
                if (held_back) break;
            }
            i = end;
        }

        // New messages in three passes: first-pass flags, plain, last-pass flags.
        for (int pass = 1; pass <= 3; ++pass) {
            for (auto it = send_.begin(); it != send_.end();) {
                OmPacketRecord& r = **it;
                bool in_pass = pass == 1   ? (r.flags & OM_SEND_FIRST_PASS)
                               : pass == 2 ? !(r.flags & (OM_SEND_FIRST_PASS | OM_SEND_LAST_PASS))
                                           : (r.flags & OM_SEND_LAST_PASS);
                if (!in_pass) {
                    ++it;
                    continue;
                }
                bool g = guaranteed(r.flags);
                if (g && held_back) {
                    ++it;
                    continue;
                }
                bool oversized = uint64_t(stream_length(r.payload.get())) + header_size(r.flags) +
                                     datagram_head >
                                 packing_limit();
                r.serial = serial;
                if (append(d, r)) {
                    std::unique_ptr<OmPacketRecord> taken = std::move(*it);
                    it = send_.erase(it);
                    if (g) {
                        taken->carried.set(serial);
                        resend_.push_back(std::move(taken));
                    }
                } else if (!g && !oversized) {
                    it = send_.erase(it); // a plain message that missed its datagram is gone
                } else {
                    ++it; // waits: guaranteed, or too large to share a datagram
                }
            }
        }

        if (d.size() > datagram_head || !ack_sent_) {
            if (transport_) {
                OmTransportMessage m{OM_TRANSPORT_DATA, local_id_, remote_id_, uint32_t(d.size()),
                                     d.data()};
                transport_->Send(
                    &m, (pump_flags & OM_PUMP_GUARANTEED) ? OM_TRANSPORT_SEND_GUARANTEED : 0);
            }
            ack_sent_ = true;
            next_serial_ = uint8_t(next_serial_ + 1);
        } else {
            for (auto& r : resend_) r->carried.reset(serial);
        }
        return OM_S_OK;
    }

    OmResult receive_datagrams() {
        while (transport_) {
            OmTransportMessage m{};
            if (transport_->ReceiveFor(local_id_, &m, 0) < 0) return OM_S_OK;
            if (m.kind != OM_TRANSPORT_DATA) {
                if (system_callback_ && system_callback_(system_context_, &m) < 0) return OM_E_FAIL;
                continue;
            }
            bool stale = false;
            OmResult r = read_datagram(static_cast<const uint8_t*>(m.data), m.length, &stale);
            if (r < 0) return r;
            if (stale) return OM_S_OK;
        }
        return OM_S_OK;
    }

    OmResult read_datagram(const uint8_t* data, uint32_t length, bool* stale) {
        // A datagram that is cut short or whose lengths run past its end is dropped whole.
        std::vector<WireMessage> messages;
        if (!data || length < datagram_head || !split_messages(data, length, messages))
            return OM_S_OK;
        const uint8_t s = data[0];
        if (OmSerialIsOlder(last_accepted_, s)) {
            *stale = true;
            return OM_S_OK;
        }
        // Serials between the previous datagram and this one are in use again.
        for (uint8_t x = uint8_t(last_accepted_ + 1), steps = uint8_t(s - last_accepted_);
             steps > 0; ++x, --steps)
            delivered_.reset(x);
        last_accepted_ = s;
        const uint8_t a = data[1];
        if (OmSerialIsNewer(next_serial_, a)) return OM_E_FAIL; // never sent
        resend_.erase(std::remove_if(resend_.begin(), resend_.end(),
                                     [&](const auto& r) { return r->carried.test(a); }),
                      resend_.end());

        const uint64_t instance = ++datagram_instance_;
        bool held_guaranteed = false;
        for (const WireMessage& w : messages) {
            ack_sent_ = false;
            if (guaranteed(w.flags)) {
                held_guaranteed = true;
                bool seen = delivered_.test(w.serial);
                if (seen && delivered_in_[w.serial] != instance) continue; // duplicate
                delivered_.set(w.serial);
                delivered_in_[w.serial] = instance;
            }
            OmResult r = store(data + w.offset, w.length, w.type, w.flags);
            if (r < 0) {
                // Not read to its end: not acknowledged, and its messages may come again.
                if (guaranteed(w.flags)) delivered_.reset(w.serial);
                return r;
            }
        }
        ack_ = s;
        if (held_guaranteed) {
            guaranteed_ack_ = s;
            have_guaranteed_ack_ = true;
        }
        return OM_S_OK;
    }

    // The datagram this side acknowledges: the last one read to its end that held a guaranteed
    // message, so its sender can let those go; once that lies far back (or there is none), the
    // last one read, so the acknowledgement keeps up with the serials.
    uint8_t acknowledgement() const {
        if (have_guaranteed_ack_ && uint8_t(ack_ - guaranteed_ack_) <= 64) return guaranteed_ack_;
        return ack_;
    }

    OmResult store(const uint8_t* payload, uint32_t length, uint16_t type, uint16_t flags) {
        ComRef<IByteStream> stream;
        OmResult r = OmNewMemoryStream(stream.put());
        if (r < 0) return r;
        uint32_t done = 0;
        if (length && ((r = stream->Write(payload, length, &done)) < 0 || done != length))
            return r < 0 ? r : OM_E_OUTOFMEMORY;
        auto record = std::make_unique<OmPacketRecord>();
        record->payload = std::move(stream);
        record->type = type;
        record->flags = flags;
        received_.push_back(std::move(record));
        return OM_S_OK;
    }

    ComRef<IOmTransport> transport_;
    uint32_t local_id_ = 0;
    uint32_t remote_id_ = 0;
    OmQueueSystemCallback system_callback_ = nullptr;
    uintptr_t system_context_ = 0;
    OmQueuePresendCallback presend_callback_ = nullptr;
    uintptr_t presend_context_ = 0;
    uint32_t max_datagram_ = default_max_datagram;
    uint32_t interval_ = default_interval;
    RecordList send_;
    RecordList received_;
    RecordList resend_;
    uint8_t next_serial_ = 0;
    uint8_t last_accepted_ = 255;
    uint8_t ack_ = 255;
    uint8_t guaranteed_ack_ = 255;
    bool have_guaranteed_ack_ = false;
    bool ack_sent_ = true;
    std::bitset<256> delivered_;
    uint64_t delivered_in_[256] = {};
    uint64_t datagram_instance_ = 0;
    ComRef<ITimer> timer_;
    uint32_t accumulated_ = 0;
};

const OmClassRecord classes[] = {
    {&CLSID_PacketQueue, nullptr, nullptr, OmCreateComponent<PacketQueue>, "PacketQueue"}};

} // namespace

OM_DEFINE_MODULE(PacketQueue, classes)
