// Buffered reading, raster making and delivery for the picture readers.
#include "media/raster/codec_support.h"

#include "media/raster/raster_access.h"

#include <cstring>

OmResult OmStreamReader::fill() {
    uint32_t done = 0;
    OmResult r = stream_->Read(buffer_, sizeof(buffer_), &done);
    if (done > sizeof(buffer_)) done = 0;
    position_ = 0;
    length_ = done;
    if (done == 0) return r < 0 ? r : OM_E_ENDOFSTREAM;
    return OM_S_OK;
}

OmResult OmStreamReader::read(void* buffer, uint64_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    while (count) {
        if (position_ == length_) {
            OmResult r = fill();
            if (r < 0) return r;
        }
        uint32_t take = length_ - position_;
        if (take > count) take = uint32_t(count);
        if (out) {
            std::memcpy(out, buffer_ + position_, take);
            out += take;
        }
        position_ += take;
        consumed_ += take;
        count -= take;
    }
    return OM_S_OK;
}

OmResult OmStreamReader::byte(uint8_t* out) {
    if (position_ == length_) {
        OmResult r = fill();
        if (r < 0) return r;
    }
    *out = buffer_[position_++];
    ++consumed_;
    return OM_S_OK;
}

OmResult OmStreamReader::skip(uint64_t count) {
    return read(nullptr, count);
}

OmResult om_read_exact(IByteStream* stream, void* buffer, uint32_t count) {
    uint32_t done = 0;
    OmResult r = stream->Read(buffer, count, &done);
    if (r < 0) return r;
    return done == count ? OM_S_OK : OM_E_ENDOFSTREAM;
}

IRasterCreate* om_context_description(IUnknown* context) {
    IRasterCreate* description = nullptr;
    if (context &&
        context->QueryInterface(IID_IRasterCreate, reinterpret_cast<void**>(&description)) < 0)
        description = nullptr;
    return description;
}

OmResult om_make_decoded_raster(IRasterCreate* description, uint32_t width, uint32_t height,
                                uint32_t format, IRaster** out) {
    *out = nullptr;
    if (!width || !height) return OM_E_FAIL;
    description->Clear();
    description->SetProperty(OM_RASTER_WIDTH, intptr_t(width));
    description->SetProperty(OM_RASTER_HEIGHT, intptr_t(height));
    description->SetProperty(OM_RASTER_FORMAT, intptr_t(format));
    IRaster* raster;
    OmResult r = description->CreateRaster(&raster);
    if (r < 0) return r;
    if (raster->GetWidth() != width || raster->GetHeight() != height ||
        raster->GetFormat() != format) {
        raster->Release();
        return OM_E_FAIL;
    }
    *out = raster;
    return OM_S_OK;
}

OmResult om_attach_palette(IRasterCreate* description, IRaster* raster, const uint32_t* colours,
                           uint32_t count) {
    description->Clear();
    description->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_PALETTE);
    description->SetProperty(OM_RASTER_WIDTH, 256);
    description->SetProperty(OM_RASTER_HEIGHT, 1);
    description->SetProperty(OM_RASTER_FORMAT, OM_FORMAT_ARGB8888);
    IRaster* palette;
    OmResult r = description->CreateRaster(&palette);
    if (r < 0) return r;
    if (palette->GetWidth() != 256 || palette->GetFormat() != OM_FORMAT_ARGB8888) {
        palette->Release();
        return OM_E_FAIL;
    }
    {
        OmRasterLock lock(palette, OM_LOCK_WRITE);
        if (lock.result() < 0) {
            r = lock.result();
        } else {
            uint8_t* p = lock.row(0);
            for (uint32_t i = 0; i < 256; ++i, p += 4) {
                uint32_t c = i < count ? colours[i] : 0;
                p[0] = uint8_t(c);
                p[1] = uint8_t(c >> 8);
                p[2] = uint8_t(c >> 16);
                p[3] = uint8_t(c >> 24);
            }
        }
    }
    if (r >= 0) r = raster->SetProperty(OM_RASTER_PALETTE, reinterpret_cast<intptr_t>(palette));
    palette->Release();
    return r;
}

OmResult om_deliver_picture(uint32_t convert, IUnknown* caller_description, void* decode_context,
                            OmDecodeFunction decode, IRaster** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    IRasterCreate* caller = om_context_description(caller_description);
    OmResult r;
    if (!convert && caller) {
        r = decode(decode_context, caller, out);
        caller->Release();
        return r;
    }
    IRasterCreate* fresh;
    r = OmNewRasterDescription(&fresh);
    if (r >= 0) {
        IRaster* decoded = nullptr;
        r = decode(decode_context, fresh, &decoded);
        fresh->Release();
        if (r >= 0 && caller) {
            r = OmCopyRasterInto(decoded, caller, out);
            decoded->Release();
        } else if (r >= 0) {
            *out = decoded;
        }
    }
    if (caller) caller->Release();
    return r;
}

IRaster* om_object_raster(IUnknown* object) {
    IRaster* raster = nullptr;
    if (object && object->QueryInterface(IID_IRaster, reinterpret_cast<void**>(&raster)) < 0)
        raster = nullptr;
    return raster;
}

OmResult om_describe(IUnknown* info, uint32_t width, uint32_t height, uint32_t format) {
    IRasterCreate* description = om_context_description(info);
    if (!description) return OM_E_FAIL;
    description->SetProperty(OM_RASTER_FORMAT, intptr_t(format));
    description->SetProperty(OM_RASTER_WIDTH, intptr_t(width));
    description->SetProperty(OM_RASTER_HEIGHT, intptr_t(height));
    description->Release();
    return OM_S_OK;
}
