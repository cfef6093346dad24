// Stream helper functions.
#include "framework/io/stream_helpers.h"

#include "framework/core/memory.h"
#include "framework/core/text_parse.h"
#include "framework/io/memory_stream.h"

#include <cstring>

OmResult OmCreateTextStream(const char* text, IByteStream** out) {
    if (!text || !out) return OM_E_FAIL;
    *out = nullptr;
    IByteStream* stream;
    OmResult r = OmNewMemoryStream(&stream);
    if (r < 0) return r;
    r = stream->Write(text, uint32_t(std::strlen(text)), nullptr);
    if (r >= 0) r = stream->Seek(0, OM_SEEK_START, nullptr);
    if (r < 0) {
        stream->Release();
        return r;
    }
    *out = stream;
    return OM_S_OK;
}

OmResult OmStreamReadAll(IByteStream* stream, char** out) {
    if (!stream || !out) return OM_E_FAIL;
    *out = nullptr;
    uint32_t noted = 0, size = 0;
    OmResult r = stream->Seek(0, OM_SEEK_CURRENT, &noted);
    if (r >= 0) r = stream->Seek(0, OM_SEEK_END, &size);
    if (r >= 0) r = stream->Seek(0, OM_SEEK_START, nullptr);
    if (r < 0) return r;
    if (size == UINT32_MAX) return OM_E_OUTOFMEMORY;
    auto* text = static_cast<char*>(OmAllocMemory(size_t(size) + 1));
    if (!text) return OM_E_OUTOFMEMORY;
    uint32_t done = 0;
    r = stream->Read(text, size, &done);
    if (r < 0) {
        OmFreeMemory(text);
        return r;
    }
    // A stream that delivered less than it measured still yields a terminated string.
    text[done < size ? done : size] = '\0';
    r = stream->Seek(int32_t(noted), OM_SEEK_START, nullptr);
    if (r < 0) {
        OmFreeMemory(text);
        return r;
    }
    *out = text;
    return OM_S_OK;
}

OmResult OmCopyStream(IByteStream* destination, IByteStream* source) {
    if (!destination || !source) return OM_E_FAIL;
    uint8_t chunk[1024];
    for (;;) {
        uint32_t got = 0;
        source->Read(chunk, sizeof chunk, &got);
        if (!got) return OM_S_OK;
        OmResult r = destination->Write(chunk, got, nullptr);
        if (r < 0) return r;
    }
}

OmResult OmHexEncodeStream(IByteStream* destination, IByteStream* source) {
    if (!destination || !source) return OM_E_FAIL;
    for (;;) {
        uint8_t byte;
        uint32_t got = 0;
        if (source->Read(&byte, 1, &got) < 0 || got != 1) return OM_S_OK;
        char hex[3];
        OmByteToHex(byte, hex);
        OmResult r = destination->Write(hex, 2, nullptr);
        if (r < 0) return r;
    }
}

OmResult OmHexDecodeStream(IByteStream* destination, IByteStream* source) {
    if (!destination || !source) return OM_E_FAIL;
    for (;;) {
        char hex[3] = {};
        uint32_t got = 0;
        if (source->Read(hex, 2, &got) < 0 || got < 2) return OM_S_OK;
        uint8_t byte = OmHexToByte(hex);
        OmResult r = destination->Write(&byte, 1, nullptr);
        if (r < 0) return r;
    }
}
