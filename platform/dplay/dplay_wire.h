// The DirectPlay stand-in's framing between a session's members and its host, shared by both
// sides: u32 body length (little-endian, at most 65536; longer closes the connection), then
// the body: u8 op and the op's fields, all integers little-endian.
#pragma once

#include "platform/graphics/com_base.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::dplay_wire {

inline constexpr uint32_t max_body = 65536;

enum Op : uint8_t {
    ENUM = 1,         // app GUID (zero: any application)
    ENUM_REPLY = 2,   // instance GUID, app GUID, session name (the rest, at most 79 bytes)
    JOIN = 3,         // instance GUID
    JOIN_REPLY = 4,   // u32 result (0 joined)
    CREATE_PORT = 5,  // the port's data bytes (the rest)
    PORT_CREATED = 6, // u32 result, u32 port id
    DATA = 7,         // u32 from, u32 to, u32 flags, the message bytes (the rest)
    SYSTEM = 8,       // u32 kind (0 created, 1 destroyed), u32 port id, data bytes (the rest)
    PING = 9,         // heartbeat; never surfaced
};

// The largest message a DATA frame carries.
inline constexpr uint32_t max_data = max_body - 13;

// System kinds on the wire.
inline constexpr uint32_t system_created = 0;
inline constexpr uint32_t system_destroyed = 1;

// One decoded frame. Only the fields of its op are meaningful.
struct Frame {
    Op op = PING;
    GUID instance{};
    GUID application{};
    std::string name;
    uint32_t result = 0;
    uint32_t id = 0; // PORT_CREATED port id, SYSTEM port id
    uint32_t kind = 0;
    uint32_t from = 0;
    uint32_t to = 0;
    uint32_t flags = 0;
    std::vector<uint8_t> bytes; // CREATE_PORT, DATA, SYSTEM data
};

// Appends one whole frame (length word included) to `out`. False when the body would exceed
// max_body (nothing appended).
bool encode(const Frame& frame, std::vector<uint8_t>& out);

// Collects bytes from a stream and cuts them into frames.
class FrameReader {
public:
    void append(const uint8_t* data, size_t count) {
        buffer_.insert(buffer_.end(), data, data + count);
    }
    // The next whole frame, or none while incomplete. A malformed stream (length above
    // max_body, an unknown op, a body of the wrong size for its op) sets failed() for good.
    std::optional<Frame> next();
    bool failed() const { return failed_; }

private:
    std::vector<uint8_t> buffer_;
    size_t start_ = 0;
    bool failed_ = false;
};

// Decodes one body (op and fields); none when it is malformed.
std::optional<Frame> decode_body(const uint8_t* body, uint32_t length);

} // namespace platform::dplay_wire
