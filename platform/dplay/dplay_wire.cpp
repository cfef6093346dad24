// Encoding and checked decoding of the DirectPlay stand-in's frames.
#include "platform/dplay/dplay_wire.h"

#include <cstring>

namespace platform::dplay_wire {
namespace {

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

void put_guid(std::vector<uint8_t>& out, const GUID& g) {
    put_u32(out, g.Data1);
    out.push_back(uint8_t(g.Data2));
    out.push_back(uint8_t(g.Data2 >> 8));
    out.push_back(uint8_t(g.Data3));
    out.push_back(uint8_t(g.Data3 >> 8));
    out.insert(out.end(), g.Data4, g.Data4 + 8);
}

// Reads fields from a body, refusing to run past its end.
class BodyCursor {
public:
    BodyCursor(const uint8_t* data, uint32_t length) : data_(data), length_(length) {}
    bool u32(uint32_t& v) {
        if (length_ - position_ < 4) return false;
        const uint8_t* p = data_ + position_;
        v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        position_ += 4;
        return true;
    }
    bool guid(GUID& g) {
        if (length_ - position_ < 16) return false;
        const uint8_t* p = data_ + position_;
        g.Data1 =
            uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        g.Data2 = uint16_t(p[4] | p[5] << 8);
        g.Data3 = uint16_t(p[6] | p[7] << 8);
        std::memcpy(g.Data4, p + 8, 8);
        position_ += 16;
        return true;
    }
    void rest(std::vector<uint8_t>& out) {
        out.assign(data_ + position_, data_ + length_);
        position_ = length_;
    }
    bool at_end() const { return position_ == length_; }
    uint32_t left() const { return length_ - position_; }

private:
    const uint8_t* data_;
    uint32_t length_;
    uint32_t position_ = 0;
};

} // namespace

bool encode(const Frame& frame, std::vector<uint8_t>& out) {
    std::vector<uint8_t> body;
    body.push_back(frame.op);
    switch (frame.op) {
    case ENUM: put_guid(body, frame.application); break;
    case ENUM_REPLY:
        if (frame.name.size() > 79) return false;
        put_guid(body, frame.instance);
        put_guid(body, frame.application);
        body.insert(body.end(), frame.name.begin(), frame.name.end());
        break;
    case JOIN: put_guid(body, frame.instance); break;
    case JOIN_REPLY: put_u32(body, frame.result); break;
    case CREATE_PORT: body.insert(body.end(), frame.bytes.begin(), frame.bytes.end()); break;
    case PORT_CREATED:
        put_u32(body, frame.result);
        put_u32(body, frame.id);
        break;
    case DATA:
        put_u32(body, frame.from);
        put_u32(body, frame.to);
        put_u32(body, frame.flags);
        body.insert(body.end(), frame.bytes.begin(), frame.bytes.end());
        break;
    case SYSTEM:
        put_u32(body, frame.kind);
        put_u32(body, frame.id);
        body.insert(body.end(), frame.bytes.begin(), frame.bytes.end());
        break;
    case PING: break;
    default: return false;
    }
    if (body.size() > max_body) return false;
    put_u32(out, uint32_t(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return true;
}

std::optional<Frame> decode_body(const uint8_t* body, uint32_t length) {
    if (length < 1 || length > max_body) return std::nullopt;
    Frame f;
    f.op = Op(body[0]);
    BodyCursor c(body + 1, length - 1);
    bool ok = true;
    switch (f.op) {
    case ENUM: ok = c.guid(f.application) && c.at_end(); break;
    case ENUM_REPLY:
        ok = c.guid(f.instance) && c.guid(f.application) && c.left() <= 79;
        if (ok) {
            std::vector<uint8_t> name;
            c.rest(name);
            // A name is text: an embedded zero would make two readers disagree on it.
            for (uint8_t ch : name) ok = ok && ch != 0;
            f.name.assign(name.begin(), name.end());
        }
        break;
    case JOIN: ok = c.guid(f.instance) && c.at_end(); break;
    case JOIN_REPLY: ok = c.u32(f.result) && c.at_end(); break;
    case CREATE_PORT: c.rest(f.bytes); break;
    case PORT_CREATED: ok = c.u32(f.result) && c.u32(f.id) && c.at_end(); break;
    case DATA:
        ok = c.u32(f.from) && c.u32(f.to) && c.u32(f.flags);
        if (ok) c.rest(f.bytes);
        break;
    case SYSTEM:
        ok = c.u32(f.kind) && c.u32(f.id);
        if (ok) c.rest(f.bytes);
        break;
    case PING: ok = c.at_end(); break;
    default: ok = false;
    }
    if (!ok) return std::nullopt;
    return f;
}

std::optional<Frame> FrameReader::next() {
    if (failed_) return std::nullopt;
    size_t available = buffer_.size() - start_;
    if (available < 4) return std::nullopt;
    const uint8_t* p = buffer_.data() + start_;
    uint32_t length =
        uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    if (length == 0 || length > max_body) {
        failed_ = true;
        return std::nullopt;
    }
    if (available - 4 < length) return std::nullopt;
    std::optional<Frame> frame = decode_body(p + 4, length);
    if (!frame) {
        failed_ = true;
        return std::nullopt;
    }
    start_ += 4 + length;
    // Drop consumed bytes once they are the larger part, so the buffer stays bounded.
    if (start_ > 4096 && start_ * 2 > buffer_.size()) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(start_));
        start_ = 0;
    }
    return frame;
}

} // namespace platform::dplay_wire
