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

// Runs `decode`(description, out raster) with the convert option's rule: set (non-zero), into
// a fresh description, then delivered in the caller's description with OmCopyRasterInto (the
// decoded raster itself when the caller gave none); clear, straight into the caller's
// description.
using OmDecodeFunction = OmResult (*)(void* context, IRasterCreate* description, IRaster** out);
OmResult om_deliver_picture(uint32_t convert, IUnknown* caller_description, void* decode_context,
                            OmDecodeFunction decode, IRaster** out);

// The raster an object writer was handed (one reference), or null.
IRaster* om_object_raster(IUnknown* object);

// Sets width, height and format of the description given as a reader's info object.
OmResult om_describe(IUnknown* info, uint32_t width, uint32_t height, uint32_t format);
