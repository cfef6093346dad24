// Test helpers for the picture codecs: a byte builder for file fixtures, memory streams, and
// reading or writing through a codec made from its module's class table.
#pragma once

#include "framework/core/object_manager.h"
#include "framework/io/memory_stream.h"
#include "media/raster/image_codecs.h"
#include "tests/media/media_classes.h"
#include "tests/media/raster/raster_fixture.h"

#include <string>
#include <vector>

namespace rastertest {

// Little- and big-endian fields appended in order.
struct Bytes {
    std::vector<uint8_t> data;
    Bytes& u8(uint32_t v) {
        data.push_back(uint8_t(v));
        return *this;
    }
    Bytes& le16(uint32_t v) { return u8(v).u8(v >> 8); }
    Bytes& le32(uint32_t v) { return le16(v).le16(v >> 16); }
    Bytes& be32(uint32_t v) { return u8(v >> 24).u8(v >> 16).u8(v >> 8).u8(v); }
    Bytes& raw(std::initializer_list<uint8_t> bytes) {
        data.insert(data.end(), bytes);
        return *this;
    }
    Bytes& fill(size_t count, uint8_t value) {
        data.insert(data.end(), count, value);
        return *this;
    }
    size_t size() const { return data.size(); }
};

inline ComRef<IByteStream> stream_of(const std::vector<uint8_t>& bytes) {
    ComRef<IByteStream> stream;
    EXPECT_EQ(OmNewMemoryStream(stream.put()), OM_S_OK);
    if (!bytes.empty()) stream->Write(bytes.data(), uint32_t(bytes.size()), nullptr);
    stream->Seek(0, OM_SEEK_START, nullptr);
    return stream;
}

inline std::vector<uint8_t> bytes_of(IByteStream* stream) {
    uint32_t size = 0;
    stream->Seek(0, OM_SEEK_END, &size);
    stream->Seek(0, OM_SEEK_START, nullptr);
    std::vector<uint8_t> bytes(size);
    uint32_t done = 0;
    if (size) stream->Read(bytes.data(), size, &done);
    return bytes;
}

inline ComRef<IObjectRW> codec(OmGetClassObjectFunction module, const GUID& clsid) {
    ComRef<IClassFactory> factory;
    EXPECT_EQ(module(clsid, IID_IClassFactory, factory.put_void()), OM_S_OK);
    ComRef<IObjectRW> rw;
    if (factory) {
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IObjectRW, rw.put_void()), OM_S_OK);
    }
    return rw;
}

// Reads the bytes through the codec into `description` (null: the file's own format).
inline OmResult read_picture(IObjectRW* rw, const std::vector<uint8_t>& bytes, ComRef<IRaster>* out,
                             const char* extension = "", IRasterCreate* description = nullptr) {
    auto stream = stream_of(bytes);
    return rw->ReadStream(stream.get(), extension, description, IID_IRaster, out->put_void());
}

inline std::vector<uint8_t> write_picture(IObjectRW* rw, IRaster* raster, OmResult* result) {
    ComRef<IByteStream> stream;
    EXPECT_EQ(OmNewMemoryStream(stream.put()), OM_S_OK);
    *result = rw->WriteStream(stream.get(), "", raster);
    return bytes_of(stream.get());
}

// The A8 R8 G8 B8 entries of a raster's palette.
inline std::vector<uint32_t> palette_of(IRaster* raster, uint32_t count) {
    auto* palette = reinterpret_cast<IRaster*>(property(raster, OM_RASTER_PALETTE));
    if (!palette) return {};
    auto all = pixels_of(palette);
    all.resize(count);
    return all;
}

// Every framework module plus the display group, as the program registers them.
class CodecTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override { testsupport::register_media_classes(OmGetObjectManager()); }
};

} // namespace rastertest
