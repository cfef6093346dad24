// The bit codec: fields are packed least significant bit first into whole bytes of the stream.
#include "framework/io/binary_stream_composer.h"

#include "framework/core/com_ref.h"

#include <algorithm>
#include <cstring>

namespace {

uint8_t low_bits(uint32_t value, uint32_t count) {
    return uint8_t(value & ((1u << count) - 1));
}

class BinaryStreamComposer final : public OmObject<BinaryStreamComposer, IBinaryStreamComposer> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IBinaryStreamComposer, this}});
    }

    OmResult Attach(IByteStream* stream, int32_t mode) override {
        stream_ = ComRef<IByteStream>::share(stream);
        mode_ = mode;
        pending_ = 0;
        bit_position_ = 0;
        return OM_S_OK;
    }

    OmResult Flush() override {
        if (mode_ != OM_COMPOSER_WRITE) return OM_S_OK;
        if (!stream_) return OM_E_FAIL;
        uint32_t done = 0;
        OmResult r = stream_->Write(&pending_, 1, &done);
        return r < 0 || done != 1 ? OM_E_FAIL : OM_S_OK;
    }

    OmResult Rewind() override {
        if (!stream_) return OM_E_FAIL;
        return stream_->Seek(0, OM_SEEK_START, nullptr);
    }

    IByteStream* GetStream() override { return stream_.get(); }

    OmResult Field(int32_t kind, uint32_t size, void* pointer) override {
        uint32_t bits;
        switch (kind) {
        case OM_FIELD_INTEGER:
            // The value lives in an int32: wider fields would run past it.
            if (size > 32) return OM_E_FAIL;
            bits = size ? size : 32;
            break;
        case OM_FIELD_FLOAT: bits = 32; break;
        case OM_FIELD_BYTES:
        case OM_FIELD_BITS: bits = size; break;
        case OM_FIELD_BIT: bits = 1; break;
        case OM_FIELD_TWO_BITS: bits = 2; break;
        default: return OM_E_BADPROPERTY;
        }
        if (!bits) return OM_S_OK;
        if (!pointer || !stream_) return OM_E_FAIL;
        auto* bytes = static_cast<uint8_t*>(pointer);
        OmResult r = mode_ == OM_COMPOSER_WRITE ? write_bits(bytes, bits) : read_bits(bytes, bits);
        return kind == OM_FIELD_BYTES ? OM_S_OK : r;
    }

    OmResult Int(int32_t* value) override { return Field(OM_FIELD_INTEGER, 0, value); }
    OmResult Float(float* value) override {
        Field(OM_FIELD_FLOAT, 0, value);
        return OM_S_OK;
    }
    OmResult String(char* text) override {
        if (!text) return OM_E_FAIL;
        Field(OM_FIELD_BYTES, uint32_t(std::strlen(text)) * 8, text);
        return OM_S_OK;
    }
    int32_t GetMode() override { return mode_; }

private:
    // After a failed write the bits still move through the pending byte, but nothing more is
    // written; the first failure is the answer.
    OmResult write_bits(const uint8_t* source, uint32_t bits) {
        OmResult failure = OM_S_OK;
        uint32_t source_bit = 0;
        while (bits) {
            uint32_t chunk = std::min({bits, 8 - bit_position_, 8 - source_bit});
            pending_ |= uint8_t(low_bits(*source >> source_bit, chunk) << bit_position_);
            bit_position_ += chunk;
            source_bit += chunk;
            bits -= chunk;
            if (bit_position_ == 8) {
                if (failure >= 0) {
                    uint32_t done = 0;
                    OmResult r = stream_->Write(&pending_, 1, &done);
                    if (r < 0 || done != 1) failure = r < 0 ? r : OM_E_FAIL;
                }
                pending_ = 0;
                bit_position_ = 0;
            }
            if (source_bit == 8) {
                ++source;
                source_bit = 0;
            }
        }
        return failure;
    }

    // A read that delivers no byte counts as the end of the stream: the bits that follow are
    // zeros rather than whatever the pending byte held before.
    OmResult read_bits(uint8_t* destination, uint32_t bits) {
        OmResult failure = OM_S_OK;
        uint32_t destination_bit = 0;
        while (bits) {
            if (bit_position_ == 0) {
                uint32_t done = 0;
                OmResult r = failure < 0 ? failure : stream_->Read(&pending_, 1, &done);
                if (r < 0 || done != 1) {
                    if (failure >= 0) failure = r < 0 ? r : OM_E_ENDOFSTREAM;
                    pending_ = 0;
                }
            }
            if (destination_bit == 0) *destination = 0;
            uint32_t chunk = std::min({bits, 8 - bit_position_, 8 - destination_bit});
            *destination |= uint8_t(low_bits(pending_ >> bit_position_, chunk) << destination_bit);
            bit_position_ = (bit_position_ + chunk) & 7;
            destination_bit += chunk;
            bits -= chunk;
            if (destination_bit == 8) {
                ++destination;
                destination_bit = 0;
            }
        }
        return failure;
    }

    ComRef<IByteStream> stream_;
    int32_t mode_ = 0;
    uint8_t pending_ = 0;
    uint32_t bit_position_ = 0; // 0-7 within the pending byte
};

const OmClassRecord classes[] = {{&CLSID_BinaryStreamComposer, nullptr, nullptr,
                                  OmCreateComponent<BinaryStreamComposer>, "BinaryStreamComposer"}};

} // namespace

OM_DEFINE_MODULE(BinaryStreamComposer, classes)
