// Engine streams over memory, files and callbacks; chunk headers and finding chunks.
#include "tests/engine/core/engine_test_support.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using enginetest::concat;
using enginetest::CountingMemory;
using enginetest::recorded_error;
using enginetest::StartedEngine;

namespace {

class Streams : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine.ok); }

    // A memory read stream over `bytes`, which must outlive it.
    LgStream* reader(std::vector<uint8_t>& bytes) {
        LgStreamMemory data = {bytes.data(), static_cast<uint32_t>(bytes.size())};
        return LgStreamOpen(LgStreamTypeMemory, LgStreamAccessRead, &data);
    }
    // Collects what a writer produces into bytes.
    template <typename Fill>
    std::vector<uint8_t> written(Fill fill) {
        LgStream* s = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessWrite, nullptr);
        fill(s);
        LgStreamMemory out = {nullptr, 0};
        LgStreamClose(s, &out);
        std::vector<uint8_t> bytes(out.start, out.start + out.length);
        LgEngineInstancePtr->memoryFunctions.free(out.start);
        return bytes;
    }
    StartedEngine engine;
};

TEST_F(Streams, MemoryReadsClampAtTheEndAndRecordIt) {
    std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6};
    LgStream* s = reader(bytes);
    ASSERT_NE(s, nullptr);
    uint8_t buffer[10];
    EXPECT_EQ(LgStreamSkip(s, 2), s);
    EXPECT_EQ(LgStreamRead(s, buffer, 10), 4u);
    EXPECT_EQ(buffer[0], 3);
    EXPECT_EQ(recorded_error(), (LgError{1, LgErrEndOfStream}));
    EXPECT_EQ(LgStreamRead(s, buffer, 1), 0u);
    EXPECT_EQ(LgStreamClose(s, nullptr), 1);
}

TEST_F(Streams, MemorySkipPastTheEndStopsAtTheEnd) {
    std::vector<uint8_t> bytes(8, 0);
    LgStream* s = reader(bytes);
    EXPECT_EQ(LgStreamSkip(s, 0), s);
    EXPECT_EQ(LgStreamSkip(s, 9), nullptr);
    EXPECT_EQ(recorded_error(), (LgError{1, LgErrEndOfStream}));
    uint8_t b;
    EXPECT_EQ(LgStreamRead(s, &b, 1), 0u);
    LgStreamClose(s, nullptr);
}

TEST_F(Streams, MemoryWritesGrowBy512OrByTheWrite) {
    LgStream* s = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessWrite, nullptr);
    std::vector<uint8_t> data(600, 0x5a);
    ASSERT_EQ(LgStreamWrite(s, data.data(), 100), s);
    EXPECT_EQ(s->kind.memory.size, 512u);
    ASSERT_EQ(LgStreamWrite(s, data.data(), 600), s);
    EXPECT_EQ(s->kind.memory.size, 1112u);
    ASSERT_EQ(LgStreamWrite(s, data.data(), 500), s);
    EXPECT_EQ(s->kind.memory.size, 1624u);
    LgStreamMemory out;
    EXPECT_EQ(LgStreamClose(s, &out), 1);
    EXPECT_EQ(out.length, 1200u);
    EXPECT_EQ(out.start[1199], 0x5a);
    LgEngineInstancePtr->memoryFunctions.free(out.start);
}

TEST_F(Streams, AMemoryWriteStreamClosedWithoutTakerFreesItsBuffer) {
    LgStreamClose(LgStreamOpen(LgStreamTypeMemory, LgStreamAccessWrite, nullptr), nullptr);
    const long live = CountingMemory::live; // the stream free list has its block now
    LgStream* s = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessWrite, nullptr);
    const uint32_t word = 7;
    LgStreamWrite(s, &word, 4);
    LgStreamClose(s, nullptr);
    EXPECT_EQ(CountingMemory::live, live);
}

TEST_F(Streams, AppendContinuesAfterTheGivenData) {
    auto* start = static_cast<uint8_t*>(LgEngineInstancePtr->memoryFunctions.alloc(3));
    start[0] = 'a', start[1] = 'b', start[2] = 'c';
    LgStreamMemory data = {start, 3};
    LgStream* s = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessAppend, &data);
    LgStreamWrite(s, "de", 2);
    LgStreamMemory out;
    LgStreamClose(s, &out);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.start), out.length), "abcde");
    LgEngineInstancePtr->memoryFunctions.free(out.start);
}

TEST_F(Streams, AFailedGrowthKeepsTheStreamUsable) {
    LgStream* s = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessWrite, nullptr);
    std::vector<uint8_t> data(1000, 1);
    CountingMemory::fail_in(1);
    EXPECT_EQ(LgStreamWrite(s, data.data(), 10), nullptr);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrOutOfMemory}));
    ASSERT_EQ(LgStreamWrite(s, data.data(), 10), s);
    CountingMemory::fail_in(1);
    EXPECT_EQ(LgStreamWrite(s, data.data(), 1000), nullptr);
    EXPECT_EQ(s->kind.memory.position, 10u);
    LgStreamClose(s, nullptr);
}

struct OpenCase {
    int32_t type, access;
    const void* data;
    LgError error;
};

TEST_F(Streams, BadOpenArgumentsAreRefused) {
    LgStreamMemory memory = {nullptr, 0};
    const OpenCase cases[] = {
        {LgStreamTypeFileName, 4, "x.bin", {1, LgErrBadAccess}},
        {LgStreamTypeMemory, 0, &memory, {1, LgErrBadAccess}},
        {7, LgStreamAccessRead, &memory, {1, LgErrBadStreamType}},
        {LgStreamTypeFileName, LgStreamAccessRead, "/nonexistent/dir/x.bin", {0, LgErrFileOpen}},
    };
    for (const OpenCase& c : cases) {
        LgEngineStop();
        ASSERT_EQ(LgEngineStart(), 1);
        EXPECT_EQ(LgStreamOpen(c.type, c.access, c.data), nullptr) << c.type << " " << c.access;
        EXPECT_EQ(recorded_error(), c.error) << c.type << " " << c.access;
    }
}

TEST_F(Streams, FileNamesResolveBackslashesAndCase) {
    testsupport::TempDir dir;
    dir.make_dir("Models");
    const std::string writePath = dir.path() + "/Models/Plane.DFF";
    LgStream* out = LgStreamOpen(LgStreamTypeFileName, LgStreamAccessWrite, writePath.c_str());
    ASSERT_NE(out, nullptr);
    LgStreamWriteChunkHeader(out, LgChunkClump, 4, LgChunkVersion);
    const uint32_t body = 0x01020304;
    LgStreamWriteInt32s(out, &body, 4);
    LgStreamClose(out, nullptr);

    const std::string readPath = dir.path() + "\\models\\plane.dff";
    LgStream* in = LgStreamOpen(LgStreamTypeFileName, LgStreamAccessRead, readPath.c_str());
    ASSERT_NE(in, nullptr);
    uint32_t length = 0, version = 0, value = 0;
    ASSERT_EQ(LgStreamFindChunk(in, LgChunkClump, &length, &version), 1);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(version, LgChunkVersion);
    ASSERT_EQ(LgStreamReadInt32s(in, &value, 4), in);
    EXPECT_EQ(value, body);
    EXPECT_EQ(LgStreamSkip(in, 1), nullptr) << "nothing left to skip";
    EXPECT_EQ(recorded_error(), (LgError{1, LgErrEndOfStream}));
    LgStreamClose(in, nullptr);
    EXPECT_EQ(dir.read_file("Models/Plane.DFF").size(), 16u);
}

TEST_F(Streams, FileHandlesStayOpenAfterClose) {
    testsupport::TempDir dir;
    dir.write_file("data.bin", std::string("\x01\x00\x00\x00\x02\x00\x00\x00", 8));
    FILE* file = std::fopen((dir / "data.bin").c_str(), "rb");
    LgStream* s = LgStreamOpen(LgStreamTypeFile, LgStreamAccessRead, file);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(LgStreamSkip(s, 4), s);
    uint32_t v = 0;
    EXPECT_EQ(LgStreamRead(s, &v, 4), 4u);
    EXPECT_EQ(v, 2u);
    EXPECT_EQ(LgStreamRead(s, &v, 4), 0u);
    EXPECT_EQ(recorded_error(), (LgError{1, LgErrEndOfStream}));
    LgStreamClose(s, nullptr);
    EXPECT_EQ(std::fseek(file, 0, SEEK_SET), 0) << "the caller's handle is still open";
    std::fclose(file);
}

struct Recorder {
    std::string log;
    std::string source = "hello world";
    size_t at = 0;
};

TEST_F(Streams, CallbacksReceiveTheirData) {
    Recorder r;
    LgStreamCustom custom = {[](void* d) { static_cast<Recorder*>(d)->log += "close;"; },
                             [](void* d, void* buffer, uint32_t n) -> uint32_t {
                                 auto* rec = static_cast<Recorder*>(d);
                                 const size_t got =
                                     std::min<size_t>(n, rec->source.size() - rec->at);
                                 std::memcpy(buffer, rec->source.data() + rec->at, got);
                                 rec->at += got;
                                 return static_cast<uint32_t>(got);
                             },
                             [](void* d, const void* buffer, uint32_t n) -> int32_t {
                                 static_cast<Recorder*>(d)->log +=
                                     std::string(static_cast<const char*>(buffer), n);
                                 return 1;
                             },
                             [](void* d, uint32_t n) -> int32_t {
                                 static_cast<Recorder*>(d)->at += n;
                                 return 1;
                             },
                             &r};
    LgStream* s = LgStreamOpen(LgStreamTypeCustom, LgStreamAccessRead, &custom);
    char buffer[8] = {};
    LgStreamSkip(s, 6);
    EXPECT_EQ(LgStreamRead(s, buffer, 8), 5u);
    EXPECT_STREQ(buffer, "world");
    LgStreamWrite(s, "w;", 2);
    LgStreamClose(s, nullptr);
    EXPECT_EQ(r.log, "w;close;");
}

std::vector<uint8_t> chunk(uint32_t type, uint32_t version, const std::string& body) {
    return enginetest::chunk_bytes(type, body, version);
}

TEST_F(Streams, ChunkHeadersAreTwelveLittleEndianBytes) {
    const auto bytes =
        written([](LgStream* s) { LgStreamWriteChunkHeader(s, 0x10, 0x1234, 0x304); });
    const std::vector<uint8_t> expected = {0x10, 0, 0, 0, 0x34, 0x12, 0, 0, 0x04, 0x03, 0, 0};
    EXPECT_EQ(bytes, expected);
}

TEST_F(Streams, FindChunkSkipsOtherChunksAtItsLevel) {
    auto bytes = concat({chunk(0x1, 0x304, "abcdefgh"), chunk(0x7, 0x301, ""),
                         chunk(0x10, 0x302, "body"), chunk(0x10, 0x304, "second")});
    LgStream* s = reader(bytes);
    uint32_t length = 0, version = 0;
    ASSERT_EQ(LgStreamFindChunk(s, 0x10, &length, &version), 1);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(version, 0x302u);
    char body[4];
    LgStreamRead(s, body, 4);
    EXPECT_EQ(std::string(body, 4), "body");
    ASSERT_EQ(LgStreamFindChunk(s, 0x10, nullptr, nullptr), 1);
    EXPECT_EQ(LgStreamFindChunk(s, 0x10, &length, nullptr), 0) << "past the last chunk";
    LgStreamClose(s, nullptr);
}

TEST_F(Streams, FindChunkAcceptsVersions301To304) {
    const std::pair<uint32_t, int32_t> cases[] = {
        {0x300, 0}, {0x301, 1}, {0x303, 1}, {0x304, 1}, {0x305, 0}};
    for (const auto& [version, found] : cases) {
        LgEngineStop();
        ASSERT_EQ(LgEngineStart(), 1);
        auto bytes = concat({chunk(0x10, version, "xy"), chunk(0x2, 0x304, "")});
        LgStream* s = reader(bytes);
        EXPECT_EQ(LgStreamFindChunk(s, 0x10, nullptr, nullptr), found) << std::hex << version;
        if (!found) {
            EXPECT_EQ(recorded_error(), (LgError{0, LgErrBadChunkVersion}));
            char body[2];
            EXPECT_EQ(LgStreamRead(s, body, 2), 2u) << "the header was consumed";
            EXPECT_EQ(body[0], 'x');
        }
        LgStreamClose(s, nullptr);
    }
}

TEST_F(Streams, AChunkLongerThanTheStreamEndsTheSearch) {
    auto bytes = concat({chunk(0x1, 0x304, "ab")});
    bytes[4] = 0xff; // length 0xff bytes, only 2 present
    LgStream* s = reader(bytes);
    EXPECT_EQ(LgStreamFindChunk(s, 0x10, nullptr, nullptr), 0);
    LgStreamClose(s, nullptr);
}

TEST_F(Streams, Int32ArraysRoundTripInPieces) {
    std::vector<uint32_t> words(300);
    for (size_t i = 0; i < words.size(); ++i) words[i] = static_cast<uint32_t>(i * 2654435761u);
    auto bytes = written([&](LgStream* s) {
        LgStreamWriteInt32s(s, words.data(), static_cast<uint32_t>(words.size() * 4));
    });
    ASSERT_EQ(bytes.size(), 1200u);
    EXPECT_EQ(bytes[4], static_cast<uint8_t>(words[1])) << "little-endian";
    LgStream* s = reader(bytes);
    std::vector<uint32_t> back(300);
    ASSERT_EQ(LgStreamReadInt32s(s, back.data(), 1200), s);
    EXPECT_EQ(back, words);
    float extra;
    EXPECT_EQ(LgStreamReadReals(s, &extra, 4), nullptr);
    EXPECT_EQ(recorded_error(), (LgError{1, LgErrEndOfStream}));
    LgStreamClose(s, nullptr);
}

TEST_F(Streams, EveryStreamRecordGoesBack) {
    const long live = CountingMemory::live;
    std::vector<uint8_t> bytes(4, 0);
    for (int i = 0; i < 25; ++i) LgStreamClose(reader(bytes), nullptr);
    EXPECT_EQ(CountingMemory::live, live + 1) << "one block of ten serves them all";
}

} // namespace
