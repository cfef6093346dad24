// Shared parts of the picture readers and writers: buffered stream reading, byte-order
// fields, making the decoded raster and its palette through a description, and delivery in
// the caller's description.
#pragma once

#include "framework/io/object_rw.h"
#include "media/raster/raster.h"

#include <cstdint>

// Reads a stream through a buffer of its own (so it reads ahead of what it hands out).
class OmStreamReader {
public:
    explicit OmStreamReader(IByteStream* stream) : stream_(stream) {}
    // Exactly `count` bytes, else the stream's failure (OM_E_ENDOFSTREAM for a short stream).
    OmResult read(void* buffer, uint64_t count);
    OmResult byte(uint8_t* out);
    OmResult skip(uint64_t count);
    // Bytes handed out so far.
    uint64_t consumed() const { return consumed_; }

private:
    OmResult fill();

    IByteStream* stream_;
    uint8_t buffer_[4096];
    uint32_t position_ = 0;
    uint32_t length_ = 0;
    uint64_t consumed_ = 0;
};

// Exactly `count` bytes straight from the stream (no read-ahead).
OmResult om_read_exact(IByteStream* stream, void* buffer, uint32_t count);

inline uint32_t om_be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline uint32_t om_le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t om_le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
inline void om_put_be32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// The description a reader was handed as its context (one reference), or null.
IRasterCreate* om_context_description(IUnknown* context);

// Clears the description, gives it the size and format and creates the raster. The made
// raster must have exactly that size and format (a caller's fixed properties could otherwise
// make the decoder write past it): OM_E_FAIL when it has not. Width or height 0: OM_E_FAIL.
OmResult om_make_decoded_raster(IRasterCreate* description, uint32_t width, uint32_t height,
                                uint32_t format, IRaster** out);

// Clears the description again and makes a 256 x 1 palette raster (kind 4, 0xC0120) from it,
// its first `count` entries the given A8 R8 G8 B8 colours and the rest 0, and attaches it to
// the raster.
OmResult om_attach_palette(IRasterCreate* description, IRaster* raster, const uint32_t* colours,
                           uint32_t count);

// One file row into a raster row: 1-, 4- and 8-bit indices (most significant bits first) as
// one byte each.
void om_place_indices(uint8_t* out, const uint8_t* in, uint32_t width, uint32_t bits);
// One file row of three-byte pixels (blue first, or red first) as opaque A8 R8 G8 B8 pixels.
void om_place_rgb24(uint8_t* out, const uint8_t* in, uint32_t width, bool blue_first);

// Decodes a stream into a raster made through the description.
using OmDecodeFunction = OmResult (*)(IByteStream* stream, IRasterCreate* description,
                                      IRaster** out);

// ReadStream of a picture reader: runs `decode` with the convert option's rule — set
// (non-zero), into a fresh description, then delivered in the caller's description with
// OmCopyRasterInto (the decoded raster itself when the caller gave none); clear, straight into
// the caller's description — and hands out the raster queried for `iid`.
OmResult om_read_picture_stream(uint32_t convert, IByteStream* stream, IUnknown* description,
                                const GUID& iid, OmDecodeFunction decode, void** out);

// The raster an object writer was handed (one reference), or null.
IRaster* om_object_raster(IUnknown* object);

// WriteStream of a picture writer: `encode`(stream, raster) on the object's raster; OM_E_FAIL
// without a stream or a raster.
template <class Encode>
OmResult om_write_picture_stream(IByteStream* stream, IUnknown* object, Encode&& encode) {
    IRaster* raster = om_object_raster(object);
    OmResult r = stream && raster ? encode(stream, raster) : OM_E_FAIL;
    if (raster) raster->Release();
    return r;
}

// The base of the picture readers and writers: IObjectRW is their only interface.
template <class Derived>
class OmPictureRW : public ObjectRWBase<Derived> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IObjectRW, this}});
    }
};

// Sets width, height and format of the description given as a reader's info object.
OmResult om_describe(IUnknown* info, uint32_t width, uint32_t height, uint32_t format);
