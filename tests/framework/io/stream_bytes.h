// Test helpers: memory streams made from and read back as byte strings, and IFF chunks
// built by hand.
#pragma once

#include "framework/core/com_ref.h"
#include "framework/io/memory_stream.h"
#include "framework/io/stream_helpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace testsupport {

// A memory stream holding `bytes`, positioned at its start.
inline ComRef<IByteStream> stream_of(const std::string& bytes) {
    ComRef<IByteStream> stream;
    EXPECT_EQ(OmNewMemoryStream(stream.put()), 0);
    if (!bytes.empty()) {
        EXPECT_EQ(stream->Write(bytes.data(), uint32_t(bytes.size()), nullptr), 0);
    }
    EXPECT_EQ(stream->Seek(0, OM_SEEK_START, nullptr), 0);
    return stream;
}

// Everything the stream holds (its position is kept).
inline std::string bytes_of(IByteStream* stream) {
    uint32_t here = 0, end = 0;
    stream->Seek(0, OM_SEEK_CURRENT, &here);
    stream->Seek(0, OM_SEEK_END, &end);
    std::string bytes(end, '\0');
    stream->Seek(0, OM_SEEK_START, nullptr);
    if (end) stream->Read(bytes.data(), end, nullptr);
    stream->Seek(int32_t(here), OM_SEEK_START, nullptr);
    return bytes;
}

inline std::string le32(uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = char(value >> (8 * i));
    return bytes;
}

// A chunk as it lies on disk: the tag's characters reversed (the tag is a little-endian
// word whose most significant byte is the first character), the size, the data.
inline std::string chunk(const char (&tag)[5], const std::string& data) {
    return std::string{tag[3], tag[2], tag[1], tag[0]} + le32(uint32_t(data.size())) + data;
}
// A header announcing `size` bytes whatever follows.
inline std::string header(const char (&tag)[5], uint32_t size) {
    return std::string{tag[3], tag[2], tag[1], tag[0]} + le32(size);
}

} // namespace testsupport
