// The test server's datagram layer for one client: the game's datagram format, resends of
// guaranteed messages and the acknowledgement rule the game's packet queue implements.
//
// Datagram (little-endian): u8 serial | u8 acknowledged serial | messages;
// message: u16 type | u16 flags | u8 serial (only when flags & 0x3C) | u32 n | n bytes.
//
// Acknowledgements name one datagram that was accepted and read to its end: the last such
// datagram that held a guaranteed message, or the last one at all when there is none or it
// lies more than 64 serials back. The sender releases exactly the guaranteed messages that
// travelled in the acknowledged datagram. (A cumulative "everything up to the ack" reading
// would release a guaranteed message whose datagram was lost; the game does not do that, and
// neither does this layer.) Guaranteed messages sharing a serial are resent as one group;
// resends go before new messages, and a due group that does not fit holds back every new
// guaranteed message. A guaranteed message is delivered once per serial and datagram.
#pragma once

#include <bitset>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace mpserver {

inline constexpr uint16_t flags_guaranteed = 0x3C;

struct Received {
    uint16_t type = 0;
    uint16_t flags = 0;
    std::vector<uint8_t> payload;
};

class Link {
public:
    enum class Accept {
        Read,      // read to its end; its messages were delivered
        Malformed, // too short, or a length runs past the end: dropped whole
        Stale,     // older than the last datagram accepted
        NeverSent, // acknowledges a serial this side has not sent yet
    };

    explicit Link(uint32_t max_datagram = 1024) : max_datagram_(max_datagram) {}

    void queue(uint16_t type, uint16_t flags, std::vector<uint8_t> payload);
    // The next datagram at `now_ms`: when messages wait (or are due again) or an
    // acknowledgement is owed. A message larger than the datagram size travels alone.
    std::optional<std::vector<uint8_t>> datagram(uint32_t now_ms);
    Accept receive(const uint8_t* data, size_t size, std::vector<Received>& out);

    bool ack_owed() const { return !ack_sent_; }
    // The serial the next datagram will carry.
    uint8_t next_serial() const { return next_serial_; }
    size_t waiting() const { return send_.size() + resend_.size(); }

private:
    struct Record {
        uint16_t type = 0;
        uint16_t flags = 0;
        uint8_t serial = 0;
        std::vector<uint8_t> payload;
        uint32_t resend_time = 0;
        bool resent_once = false;
        std::bitset<256> carried;
    };
    bool fits(const std::vector<uint8_t>& d, const Record& r) const;
    void append(std::vector<uint8_t>& d, const Record& r) const;
    uint8_t acknowledgement() const;

    uint32_t max_datagram_;
    std::deque<Record> send_;
    std::deque<Record> resend_;
    uint8_t next_serial_ = 0;
    uint8_t last_accepted_ = 255;
    uint8_t ack_ = 255;
    uint8_t guaranteed_ack_ = 255;
    bool have_guaranteed_ack_ = false;
    bool ack_sent_ = true;
    std::bitset<256> delivered_;
    uint64_t delivered_in_[256] = {};
    uint64_t instance_ = 0;
};

} // namespace mpserver
