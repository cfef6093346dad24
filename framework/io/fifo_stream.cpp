// The FIFO stream: a ring that holds capacity - 1 bytes and grows when a write needs more.
#include "framework/io/fifo_stream.h"

#include "framework/core/byte_buffer.h"

#include <algorithm>
#include <cstring>

namespace {

// Room added beyond what a growing write needs, so that small writes do not regrow at once.
constexpr uint32_t growth_slack = 100;

class FifoStream final : public OmObject<FifoStream, IByteStream, IFifoStream> {
public:
    ~FifoStream() { OmByteBufferFree(&ring_); }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IByteStream, static_cast<IByteStream*>(this)},
                                   {&IID_IFifoStream, static_cast<IFifoStream*>(this)}});
    }

    OmResult Read(void* buffer, uint32_t count, uint32_t* done) override {
        if (done) *done = 0;
        if (!count) return OM_S_OK;
        // Only a caller that seeked back to 0 may read: the seek position is a size query.
        if (seek_position_) return OM_E_FAIL;
        uint32_t n = std::min(count, Available());
        if (!n) return OM_S_OK;
        if (!buffer) return OM_E_FAIL;
        uint32_t first = std::min(n, ring_.size - read_);
        std::memcpy(buffer, ring_.data + read_, first);
        std::memcpy(static_cast<uint8_t*>(buffer) + first, ring_.data, n - first);
        read_ = (read_ + n) % ring_.size;
        if (done) *done = n;
        return OM_S_OK;
    }

    OmResult Write(const void* buffer, uint32_t count, uint32_t* done) override {
        if (done) *done = 0;
        if (!count) return OM_S_OK;
        if (seek_position_ || !buffer) return OM_E_FAIL;
        uint32_t available = Available();
        uint32_t room = ring_.size ? ring_.size - available - 1 : 0;
        if (count > room) {
            OmResult r = grow(available, count);
            if (r < 0) return r;
        }
        uint32_t first = std::min(count, ring_.size - write_);
        std::memcpy(ring_.data + write_, buffer, first);
        std::memcpy(ring_.data, static_cast<const uint8_t*>(buffer) + first, count - first);
        write_ = (write_ + count) % ring_.size;
        if (done) *done = count;
        return OM_S_OK;
    }

    // Same unsigned arithmetic as the memory stream, limited to the unread count.
    OmResult Seek(int32_t offset, uint32_t origin, uint32_t* position) override {
        uint32_t base;
        uint32_t available = Available();
        switch (origin) {
        case OM_SEEK_START: base = 0; break;
        case OM_SEEK_CURRENT: base = seek_position_; break;
        case OM_SEEK_END: base = available; break;
        default: return OM_E_FAIL;
        }
        seek_position_ = std::min(base + uint32_t(offset), available);
        if (position) *position = seek_position_;
        return OM_S_OK;
    }

    uint32_t Available() override {
        if (read_ < write_) return write_ - read_;
        if (read_ > write_) return ring_.size - read_ + write_;
        return 0;
    }
    OmResult Clear() override {
        write_ = read_;
        return OM_S_OK;
    }
    OmResult SetLimit(uint32_t bytes) override {
        limit_ = bytes;
        return OM_S_OK;
    }
    uint32_t GetLimit() override { return limit_; }

private:
    // A larger ring holding the unread bytes in order: an unwrapped run keeps its offsets; a
    // wrapped one keeps its head at the start and moves its tail (from the read index to the
    // old end) to the new end.
    OmResult grow(uint32_t available, uint32_t count) {
        uint64_t needed = uint64_t(available) + 1 + count;
        if (limit_ && needed > limit_) return OM_E_FAIL;
        uint64_t capacity = needed + growth_slack;
        if (capacity > UINT32_MAX) return OM_E_OUTOFMEMORY;
        uint32_t old_capacity = ring_.size;
        OmResult r = OmByteBufferResize(&ring_, uint32_t(capacity));
        if (r < 0) return r;
        if (read_ > write_) {
            uint32_t tail = old_capacity - read_;
            uint32_t moved_to = ring_.size - tail;
            std::memmove(ring_.data + moved_to, ring_.data + read_, tail);
            read_ = moved_to;
        }
        return OM_S_OK;
    }

    OmByteBuffer ring_{};
    uint32_t read_ = 0;
    uint32_t write_ = 0;
    uint32_t limit_ = 0; // 0 = none
    uint32_t seek_position_ = 0;
};

const OmClassRecord classes[] = {
    {&CLSID_FifoStream, nullptr, nullptr, OmCreateComponent<FifoStream>, "FifoStream"}};

} // namespace

OM_DEFINE_MODULE(FifoStream, classes)
