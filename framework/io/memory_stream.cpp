// The memory stream: reads stop at the length, writes grow the block by half again.
#include "framework/io/memory_stream.h"

#include "framework/core/byte_buffer.h"

#include <cstring>

namespace {

class MemoryStream final : public OmObject<MemoryStream, IByteStream> {
public:
    ~MemoryStream() { OmByteBufferFree(&buffer_); }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IByteStream, this}});
    }

    // A short read copies what there is and reports the end, even when some bytes came.
    OmResult Read(void* buffer, uint32_t count, uint32_t* done) override {
        if (done) *done = 0;
        uint32_t left = length_ - position_;
        OmResult r = OM_S_OK;
        if (count > left) {
            count = left;
            r = OM_E_ENDOFSTREAM;
        }
        if (count) {
            if (!buffer) return OM_E_FAIL;
            if (count == 1)
                *static_cast<uint8_t*>(buffer) = buffer_.data[position_];
            else
                std::memcpy(buffer, buffer_.data + position_, count);
        }
        position_ += count;
        if (done) *done = count;
        return r;
    }

    OmResult Write(const void* buffer, uint32_t count, uint32_t* done) override {
        if (done) *done = 0;
        if (!count) return OM_S_OK;
        if (!buffer) return OM_E_FAIL;
        uint64_t end = uint64_t(position_) + count;
        if (end > buffer_.size) {
            // Growing by half the old capacity keeps a run of small writes linear.
            uint64_t grown = buffer_.size / 2 + end;
            if (grown > UINT32_MAX) return OM_E_OUTOFMEMORY;
            OmResult r = OmByteBufferResize(&buffer_, uint32_t(grown));
            if (r < 0) return r;
        }
        std::memcpy(buffer_.data + position_, buffer, count);
        position_ = uint32_t(end);
        if (position_ > length_) length_ = position_;
        if (done) *done = count;
        return OM_S_OK;
    }

    // Unsigned arithmetic, then limited to the length: a negative offset that reaches before
    // the start wraps to a huge value and so lands at the end, as stored data expects.
    OmResult Seek(int32_t offset, uint32_t origin, uint32_t* position) override {
        uint32_t base;
        switch (origin) {
        case OM_SEEK_START: base = 0; break;
        case OM_SEEK_CURRENT: base = position_; break;
        case OM_SEEK_END: base = length_; break;
        default: return OM_E_FAIL;
        }
        uint32_t target = base + uint32_t(offset);
        position_ = target > length_ ? length_ : target;
        if (position) *position = position_;
        return OM_S_OK;
    }

private:
    OmByteBuffer buffer_{};
    uint32_t position_ = 0;
    uint32_t length_ = 0;
};

const OmClassRecord classes[] = {
    {&CLSID_MemoryStream, nullptr, nullptr, OmCreateComponent<MemoryStream>, "MemoryStream"}};

} // namespace

OmResult OmNewMemoryStream(IByteStream** out) {
    if (!out) return OM_E_FAIL;
    MemoryStream* stream;
    OmResult r = om_new_component(&stream);
    *out = stream;
    return r;
}

OM_DEFINE_MODULE(MemoryStream, classes)
