// Engine streams over files, memory and callbacks, and the 12-byte chunk header
// (engine module 0x404).
#pragma once

#include "engine/core/lg_types.h"

enum LgStreamType : int32_t {
    LgStreamTypeFile = 1,     // an open file handle
    LgStreamTypeFileName = 2, // a path; the stream opens and closes the file
    LgStreamTypeMemory = 3,
    LgStreamTypeCustom = 4,
};

enum LgStreamAccess : int32_t {
    LgStreamAccessRead = 1,
    LgStreamAccessWrite = 2,
    LgStreamAccessAppend = 3,
};

// Open data of a memory stream, and what closing a memory write stream hands back. The
// buffer of an append stream must come from the engine's memory functions (it may grow).
struct LgStreamMemory {
    uint8_t* start;
    uint32_t length;
};

// Open data of a callback stream.
struct LgStreamCustom {
    void (*close)(void* data);
    uint32_t (*read)(void* data, void* buffer, uint32_t length);       // bytes read
    int32_t (*write)(void* data, const void* buffer, uint32_t length); // positive on success
    int32_t (*skip)(void* data, uint32_t length);                      // positive on success
    void* data;
};

struct LgStream {
    int32_t type;
    int32_t access;
    uintptr_t unused; // free for the stream's user
    union {
        void* file;
        struct {
            size_t position;
            size_t size;
            uint8_t* buffer;
        } memory;
        LgStreamCustom custom;
    } kind;
    int32_t allocated; // 1 when the record goes back to the stream free list at close
};

struct LgStreamSlice {
    LgFreeList* streamList;
};

// Chunk header on the wire: type, length of the body, library version (little-endian).
struct LgChunkHeader {
    uint32_t type;
    uint32_t length;
    uint32_t version;
};
constexpr uint32_t LgChunkHeaderSize = 12;
constexpr uint32_t LgChunkVersionMin = 0x301;
constexpr uint32_t LgChunkVersionMax = 0x304;
constexpr uint32_t LgChunkVersion = 0x304; // what this engine writes

// Chunk type ids.
constexpr uint32_t LgChunkStruct = 0x1;
constexpr uint32_t LgChunkString = 0x2;
constexpr uint32_t LgChunkExtension = 0x3;
constexpr uint32_t LgChunkTexture = 0x6;
constexpr uint32_t LgChunkMaterial = 0x7;
constexpr uint32_t LgChunkMaterialList = 0x8;
constexpr uint32_t LgChunkAtomicSector = 0x9;
constexpr uint32_t LgChunkPlaneSector = 0xa;
constexpr uint32_t LgChunkWorld = 0xb;
constexpr uint32_t LgChunkFrameList = 0xe;
constexpr uint32_t LgChunkGeometry = 0xf;
constexpr uint32_t LgChunkClump = 0x10;
constexpr uint32_t LgChunkWideString = 0x13;
constexpr uint32_t LgChunkAtomic = 0x14;
constexpr uint32_t LgChunkGeometryList = 0x1a;

// data: the file handle, the path, an LgStreamMemory or an LgStreamCustom by type.
LgStream* LgStreamOpen(int32_t type, int32_t access, const void* data);
// out (memory write and append streams; may be null, then the buffer is freed) receives the
// buffer, which the caller then owns and frees with the engine's free function, and the
// bytes written.
int32_t LgStreamClose(LgStream* stream, LgStreamMemory* out);
uint32_t LgStreamRead(LgStream* stream, void* buffer, uint32_t length);
LgStream* LgStreamWrite(LgStream* stream, const void* buffer, uint32_t length);
LgStream* LgStreamSkip(LgStream* stream, uint32_t length);
int32_t LgStreamReadChunkHeader(LgStream* stream, uint32_t* type, uint32_t* length,
                                uint32_t* version);
LgStream* LgStreamWriteChunkHeader(LgStream* stream, uint32_t type, uint32_t length,
                                   uint32_t version);
// Searches forward at the current nesting level for a chunk of the type; 1 when found with
// an accepted version (the header is consumed either way).
int32_t LgStreamFindChunk(LgStream* stream, uint32_t type, uint32_t* length, uint32_t* version);
// Exact reads and the write of little-endian 32-bit arrays (byte lengths).
LgStream* LgStreamReadInt32s(LgStream* stream, void* buffer, uint32_t length);
LgStream* LgStreamReadReals(LgStream* stream, void* buffer, uint32_t length);
LgStream* LgStreamWriteInt32s(LgStream* stream, const void* buffer, uint32_t length);

void* LgStreamModuleOpen(void* instance, int32_t offset, int32_t size);
void* LgStreamModuleClose(void* instance, int32_t offset, int32_t size);
