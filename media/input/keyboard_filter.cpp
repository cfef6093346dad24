// Keyboard: passes a key-record stream through and keeps 256 key states from it.
#include "media/input/keyboard_filter.h"

namespace {

uint32_t word_at(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

class Keyboard final : public OmObject<Keyboard, IKeyboard, IByteStream> {
public:
    ~Keyboard() {
        if (source_) source_->Release();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IKeyboard, static_cast<IKeyboard*>(this)},
                                   {&IID_IByteStream, static_cast<IByteStream*>(this)}});
    }

    OmResult SetSource(IByteStream* source) override {
        if (source) source->AddRef();
        if (source_) source_->Release();
        source_ = source;
        return OM_S_OK;
    }

    uint32_t IsKeyDown(uint32_t scan_code) override {
        return scan_code < 256 ? keys_[scan_code] : 0;
    }

    OmResult Read(void* buffer, uint32_t count, uint32_t* done) override {
        if (done) *done = 0;
        if (!source_) return OM_E_FAIL;
        uint32_t got = 0;
        OmResult r = source_->Read(buffer, count, &got);
        if (done) *done = got;
        if (r >= 0 && count == kKeyRecordSize && got == kKeyRecordSize) {
            const auto* record = static_cast<const uint8_t*>(buffer);
            uint32_t scan = word_at(record + 4);
            if (word_at(record) == kKeyRecordType && scan < 256)
                keys_[scan] = word_at(record + 8) ? 1 : 0;
        }
        return r;
    }

    OmResult Write(const void* buffer, uint32_t count, uint32_t* done) override {
        if (!source_) {
            if (done) *done = 0;
            return OM_E_FAIL;
        }
        return source_->Write(buffer, count, done);
    }

    OmResult Seek(int32_t offset, uint32_t origin, uint32_t* position) override {
        return source_ ? source_->Seek(offset, origin, position) : OM_E_FAIL;
    }

private:
    IByteStream* source_ = nullptr;
    uint8_t keys_[256] = {};
};

const OmClassRecord classes[] = {
    {&CLSID_Keyboard, nullptr, nullptr, OmCreateComponent<Keyboard>, "Keyboard"},
};

} // namespace

OM_DEFINE_MODULE(Keyboard, classes)
