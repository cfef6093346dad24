// Byte streams for the crypto component tests: memory streams over byte strings, their
// contents and positions, and a stream that fails every call.
#pragma once

#include "framework/core/com_ref.h"
#include "framework/io/memory_stream.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

inline std::span<const uint8_t> as_bytes(std::string_view s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// A memory stream holding `bytes`, positioned at `position`.
inline ComRef<IByteStream> stream_of(std::span<const uint8_t> bytes, uint32_t position = 0) {
    ComRef<IByteStream> stream;
    EXPECT_EQ(OmNewMemoryStream(stream.put()), 0);
    EXPECT_EQ(stream->Write(bytes.data(), uint32_t(bytes.size()), nullptr), 0);
    EXPECT_EQ(stream->Seek(int32_t(position), OM_SEEK_START, nullptr), 0);
    return stream;
}
inline ComRef<IByteStream> stream_of(std::string_view text, uint32_t position = 0) {
    return stream_of(as_bytes(text), position);
}
inline ComRef<IByteStream> empty_stream() {
    return stream_of(std::string_view());
}

inline uint32_t position_of(IByteStream* stream) {
    uint32_t position = 0;
    EXPECT_EQ(stream->Seek(0, OM_SEEK_CURRENT, &position), 0);
    return position;
}

// The whole content; the position is kept.
inline std::vector<uint8_t> contents(IByteStream* stream) {
    const uint32_t noted = position_of(stream);
    uint32_t size = 0;
    stream->Seek(0, OM_SEEK_END, &size);
    std::vector<uint8_t> out(size);
    stream->Seek(0, OM_SEEK_START, nullptr);
    uint32_t done = 0;
    if (size) stream->Read(out.data(), size, &done);
    EXPECT_EQ(done, size);
    stream->Seek(int32_t(noted), OM_SEEK_START, nullptr);
    return out;
}
inline std::string text_of(IByteStream* stream) {
    const auto bytes = contents(stream);
    return std::string(bytes.begin(), bytes.end());
}

// Every read, write and seek fails; lives on the test's stack (reference counting is moot).
struct BrokenStream final : IByteStream {
    OmResult QueryInterface(const GUID&, void** out) override {
        *out = nullptr;
        return OM_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    OmResult Read(void*, uint32_t, uint32_t* done) override {
        if (done) *done = 0;
        return OM_E_FAIL;
    }
    OmResult Write(const void*, uint32_t, uint32_t* done) override {
        if (done) *done = 0;
        return OM_E_FAIL;
    }
    OmResult Seek(int32_t, uint32_t, uint32_t*) override { return OM_E_FAIL; }
};

} // namespace testsupport
