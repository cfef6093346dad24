// StdInput: a 256-place byte ring behind the byte-stream interface.
#include "media/input/std_input.h"

namespace {

class StdInput final : public OmObject<StdInput, IByteStream> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IByteStream, this}});
    }

    OmResult Read(void* buffer, uint32_t count, uint32_t* done) override {
        if (done) *done = 0;
        if (read_ == write_) return OM_E_FAIL;
        if (!buffer) return OM_E_FAIL;
        auto* out = static_cast<uint8_t*>(buffer);
        uint32_t n = 0;
        while (n < count && read_ != write_) {
            out[n++] = bytes_[read_];
            read_ = (read_ + 1) % kStdInputPlaces;
        }
        if (done) *done = n;
        return OM_S_OK;
    }

    OmResult Write(const void* buffer, uint32_t count, uint32_t* done) override {
        if (done) *done = 0;
        if (count && !buffer) return OM_E_FAIL;
        const auto* in = static_cast<const uint8_t*>(buffer);
        uint32_t n = 0;
        for (; n < count; ++n) {
            uint32_t next = (write_ + 1) % kStdInputPlaces;
            if (next == read_) break;
            bytes_[write_] = in[n];
            write_ = next;
        }
        if (done) *done = n;
        return n == count ? OM_S_OK : OM_E_FAIL;
    }

    OmResult Seek(int32_t, uint32_t, uint32_t*) override { return OM_E_FAIL; }

private:
    uint8_t bytes_[kStdInputPlaces];
    uint32_t read_ = 0;
    uint32_t write_ = 0;
};

const OmClassRecord classes[] = {
    {&CLSID_StdInput, nullptr, nullptr, OmCreateComponent<StdInput>, "StdInput"},
};

} // namespace

OM_DEFINE_MODULE(StdInput, classes)
