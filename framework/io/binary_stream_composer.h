// BinaryStreamComposer: bit-packed fields over a byte stream, least significant bit first (the
// encoding of the game's network messages).
#pragma once

#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"

inline constexpr GUID CLSID_BinaryStreamComposer = om_guid("73E29746-CB70-41D4-9B18-3772DAFE60F6");
inline constexpr GUID IID_IBinaryStreamComposer = om_guid("1A556EEE-C074-48D8-9EA1-5393869F953E");

// Modes of Attach: 2 writes, anything else reads.
inline constexpr int32_t OM_COMPOSER_READ = 1;
inline constexpr int32_t OM_COMPOSER_WRITE = 2;

// Field kinds.
inline constexpr int32_t OM_FIELD_INTEGER = 1; // `size` bits of an int32 (0 means 32)
inline constexpr int32_t OM_FIELD_FLOAT = 2;   // a 32-bit float
inline constexpr int32_t OM_FIELD_BYTES = 3;   // `size` bits of a byte array
inline constexpr int32_t OM_FIELD_BITS = 4;    // `size` raw bits
inline constexpr int32_t OM_FIELD_BIT = 5;     // one bit
inline constexpr int32_t OM_FIELD_TWO_BITS = 6;

struct IBinaryStreamComposer : IUnknown {
    // Holds a reference to `stream` (dropping the one attached before) and starts a fresh
    // byte. 0.
    virtual OmResult Attach(IByteStream* stream, int32_t mode) = 0;
    // Write mode: writes the pending byte (unused high bits 0), even when none of its bits is
    // used; the pending bits stay. OM_E_FAIL when the write fails or nothing is attached.
    virtual OmResult Flush() = 0;
    // Seeks the stream to its start; the bit state stays. The seek's result.
    virtual OmResult Rewind() = 0;
    // The attached stream, no reference added.
    virtual IByteStream* GetStream() = 0;
    // Writes or reads one field of `kind` at `pointer`, bits taken as one little-endian bit
    // string. Reading clears each destination byte it reaches and leaves later bytes alone.
    // OM_E_BADPROPERTY for an unknown kind; the stream's first failure otherwise (a field of
    // kind OM_FIELD_BYTES always answers 0).
    virtual OmResult Field(int32_t kind, uint32_t size, void* pointer) = 0;
    // A 32-bit integer field.
    virtual OmResult Int(int32_t* value) = 0;
    // A float field; 0.
    virtual OmResult Float(float* value) = 0;
    // The characters of `text` without its NUL (reading overwrites as many as it holds); 0.
    virtual OmResult String(char* text) = 0;
    virtual int32_t GetMode() = 0;
};

OM_DECLARE_MODULE(BinaryStreamComposer);
