// IFF: nested tagged chunks on a byte stream, and whole object graphs written and read as
// chunks with shared objects written once.
#pragma once

#include "framework/containers/object_io.h"
#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"

inline constexpr GUID CLSID_IFF = om_guid("B50FA8D4-535E-11D5-A4BD-00010239331A");
inline constexpr GUID IID_IIFF = om_guid("B50FA8D3-535E-11D5-A4BD-00010239331A");

// The IFF's own object tags: a null pointer, and a reference to an object read before.
inline constexpr uint32_t OM_TAG_NULL = om_chunk_tag("NULL");
inline constexpr uint32_t OM_TAG_REF = om_chunk_tag("REF ");

// Bytes of a chunk header on disk: the tag, then the data size (both little-endian).
inline constexpr uint32_t OM_IFF_HEADER_SIZE = 8;

// Modes of SetStream.
inline constexpr uint32_t OM_IFF_READ = 0;
inline constexpr uint32_t OM_IFF_WRITE = 1;

// Creates an empty object for a chunk tag (one reference in *out).
using IffChunkHandler = OmResult (*)(uint32_t tag, IUnknown** out);

// The same object reads or writes, as its mode says, so a serialisation routine is one
// routine for both directions. The object also answers IByteStream with a stream whose reads,
// writes and seeks stay inside the innermost open chunk.
struct IIFF : IUnknown {
    // Sets the mode (OM_IFF_READ, else writing) and holds the stream (null allowed). 0.
    virtual OmResult SetStream(uint32_t mode, IByteStream* stream) = 0;
    // The stream, no reference added.
    virtual IByteStream* GetStream() = 0;
    // Writing: starts a chunk with the tag. Reading: opens the next chunk; a non-zero tag must
    // match (OM_E_FAIL, the header stays consumed). OM_E_ENDOFSTREAM when the enclosing chunk
    // or the stream has no more chunks; OM_E_FAIL for a truncated header or a chunk larger
    // than what encloses it; OM_E_OUTOFMEMORY.
    virtual OmResult BeginChunk(uint32_t tag) = 0;
    // Closes the innermost chunk (writing: fills in its size) and moves past its data.
    // OM_E_FAIL when none is open.
    virtual OmResult EndChunk() = 0;
    // Reading only: the next chunk's tag and size without consuming it. OM_E_FAIL in write
    // mode; the header read's failure as in BeginChunk.
    virtual OmResult PeekChunk(uint32_t* tag, uint32_t* size) = 0;
    // The innermost open chunk's tag and data size; 0 and 0 when none is open. 0.
    virtual OmResult GetChunk(uint32_t* tag, uint32_t* size) = 0;
    // Reading only: moves over the next chunk. OM_E_FAIL in write mode or when its data runs
    // past what encloses it.
    virtual OmResult SkipChunk() = 0;
    // The mode word: non-zero while writing.
    virtual uint32_t IsWriting() = 0;
    // Writes or reads exactly `count` bytes in the current chunk; OM_E_FAIL for a shorter
    // transfer (the chunk's data or the stream ends first).
    virtual OmResult Transfer(void* buffer, uint32_t count) = 0;
    // Writes *object ("NULL" for null, "REF " for an object written before, else the
    // object's own chunk through IObjectIO), or reads one into *object (one reference; the
    // old value is not released). OM_E_FAIL for an object without IObjectIO, an unresolved
    // reference or a tag without a handler (both reported to the debug log); the object's
    // own failure.
    virtual OmResult TransferObject(IUnknown** object) = 0;
    // Starts a new object numbering: forgets the objects written and read. 0.
    virtual OmResult Reset() = 0;
    // Registers (null removes) the handler that creates objects for a tag. OM_E_OUTOFMEMORY.
    virtual OmResult SetHandler(uint32_t tag, IffChunkHandler handler) = 0;
    // The tag's handler or null. 0.
    virtual OmResult GetHandler(uint32_t tag, IffChunkHandler* out) = 0;
};

OM_DECLARE_MODULE(IFF);

// A new IFF made directly (one reference). OM_E_OUTOFMEMORY.
OmResult OmNewIFF(IIFF** out);

// One chunk holding `size` raw bytes (written from, or read into, `data`): the whole
// serialisation of the fixed-size values. The first failure.
OmResult OmIffTransferChunk(IIFF* file, uint32_t tag, void* data, uint32_t size);
// The four characters of a tag, first character first, and a NUL (5 bytes).
void OmIffTagText(uint32_t tag, char* out);
