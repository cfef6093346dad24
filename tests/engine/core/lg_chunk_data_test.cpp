// String chunks and plug-in extension chunks, including hostile lengths.
#include "tests/engine/core/engine_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using enginetest::concat;
using enginetest::recorded_error;
using enginetest::StartedEngine;

namespace {

std::string bytes_of(const std::vector<uint8_t>& v) {
    return std::string(v.begin(), v.end());
}

class ChunkData : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine.ok); }
    void TearDown() override {
        if (stream != nullptr) LgStreamClose(stream, nullptr);
    }
    LgStream* read(std::vector<uint8_t> content) {
        bytes = std::move(content);
        LgStreamMemory data = {bytes.data(), static_cast<uint32_t>(bytes.size())};
        stream = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessRead, &data);
        return stream;
    }
    std::string rest() {
        std::string out;
        char c;
        while (LgStreamRead(stream, &c, 1) == 1) out += c;
        return out;
    }
    StartedEngine engine;
    std::vector<uint8_t> bytes;
    LgStream* stream = nullptr;
};

TEST_F(ChunkData, StringSizesRoundUpPastTheTerminator) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"abc", 4}, {"abcd", 8}, {"", 4}, {nullptr, 4}, {"abcdefg", 8}};
    for (const auto& [text, size] : cases) EXPECT_EQ(LgStringStreamSize(text), size);
}

TEST_F(ChunkData, WrittenStringsArePaddedChunksThatReadBack) {
    LgStream* out = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessWrite, nullptr);
    ASSERT_NE(LgStringStreamWrite("wing", out), nullptr);
    ASSERT_NE(LgStringStreamWrite(nullptr, out), nullptr);
    LgStreamMemory written;
    LgStreamClose(out, &written);
    const std::vector<uint8_t> content(written.start, written.start + written.length);
    LgEngineInstancePtr->memoryFunctions.free(written.start);
    EXPECT_EQ(bytes_of(content),
              bytes_of(concat({enginetest::chunk_bytes(2, std::string("wing\0\0\0\0", 8)),
                               enginetest::chunk_bytes(2, std::string(4, '\0'))})));
    read(content);
    char name[32];
    EXPECT_STREQ(LgStringStreamRead(name, sizeof(name), stream), "wing");
    EXPECT_STREQ(LgStringStreamRead(name, sizeof(name), stream), "");
}

TEST_F(ChunkData, ALongStringIsCutToTheBufferAndTheRestSkipped) {
    const std::string longName(200, 'x');
    read(concat({enginetest::chunk_bytes(2, longName),
                 enginetest::chunk_bytes(2, std::string("ok\0\0", 4))}));
    char name[16];
    ASSERT_EQ(LgStringStreamRead(name, sizeof(name), stream), name);
    EXPECT_EQ(std::string(name), std::string(15, 'x'));
    EXPECT_STREQ(LgStringStreamRead(name, sizeof(name), stream), "ok");
}

TEST_F(ChunkData, WideStringsKeepTheLowBytes) {
    read(concat({enginetest::chunk_bytes(0x13, std::string("s\0k\0y\0!\0", 8)),
                 enginetest::chunk_bytes(0x13, std::string("l\0o\0n\0g\0e\0r\0", 12)),
                 enginetest::chunk_bytes(0x13, "z")}));
    char name[5];
    EXPECT_STREQ(LgStringStreamRead(name, sizeof(name), stream), "sky!");
    EXPECT_STREQ(LgStringStreamRead(name, sizeof(name), stream), "long") << "cut to the buffer";
    EXPECT_STREQ(LgStringStreamRead(name, sizeof(name), stream), "") << "odd byte skipped";
    EXPECT_EQ(rest(), "");
}

TEST_F(ChunkData, OtherChunksBeforeTheStringAreSkipped) {
    read(concat({enginetest::chunk_bytes(1, "12345678"),
                 enginetest::chunk_bytes(2, std::string("tex\0", 4))}));
    char name[8];
    EXPECT_STREQ(LgStringStreamRead(name, sizeof(name), stream), "tex");
}

TEST_F(ChunkData, BadStringChunksFail) {
    char name[8];
    read(enginetest::chunk_bytes(2, std::string("abc\0", 4), 0x305));
    EXPECT_EQ(LgStringStreamRead(name, sizeof(name), stream), nullptr);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrBadChunkVersion}));
    LgStreamClose(stream, nullptr);
    read(concat({enginetest::chunk_header(2, 1000), {'a', 'b'}}));
    EXPECT_EQ(LgStringStreamRead(name, sizeof(name), stream), nullptr) << "payload cut short";
    EXPECT_EQ(LgStringStreamRead(name, 0, stream), nullptr) << "no room even for the end";
}

// Extension reading: a registry with three plug-ins, two of which read their data.
struct Extended {
    static inline std::vector<std::string> reads;
    static LgStream* read_slice(LgStream* s, int32_t length, void* object, int32_t offset,
                                int32_t size) {
        std::string data(static_cast<size_t>(length), '\0');
        if (LgStreamRead(s, data.data(), static_cast<uint32_t>(length)) !=
            static_cast<uint32_t>(length))
            return nullptr;
        reads.push_back(data + "/" + std::to_string(size));
        static_cast<char*>(object)[offset] = data.empty() ? '-' : data[0];
        return s;
    }
    static LgStream* refuse(LgStream*, int32_t, void*, int32_t, int32_t) { return nullptr; }
};

class Extensions : public ChunkData {
protected:
    void SetUp() override {
        ChunkData::SetUp();
        Extended::reads.clear();
        // Registries take plug-ins only while no instance is open: use one made now.
        LgEngineStop();
        LgEngineClose();
        LgPluginRegistryAddPlugin(&registry, 4, 0x501, nullptr, nullptr, nullptr);
        LgPluginRegistryAddPlugin(&registry, 2, 0x502, nullptr, nullptr, nullptr);
        LgPluginRegistryAddPlugin(&registry, 8, 0x503, nullptr, nullptr, nullptr);
        LgPluginRegistryAddStreamFunctions(&registry, 0x501, Extended::read_slice, nullptr,
                                           nullptr);
        LgPluginRegistryAddStreamFunctions(&registry, 0x502, Extended::read_slice, nullptr,
                                           nullptr);
        uintptr_t window = 1;
        ASSERT_EQ(LgEngineOpen(&window), 1);
        ASSERT_EQ(LgEngineStart(), 1);
        object.assign(static_cast<size_t>(registry.sizeOfStruct), 0);
    }
    // Term forgets the registry's plug-ins; it must run while the registry still exists.
    void TearDown() override {
        ChunkData::TearDown();
        stream = nullptr;
        LgEngineStop();
        LgEngineClose();
        LgEngineTerm();
    }
    std::vector<uint8_t> extension(std::initializer_list<std::vector<uint8_t>> subChunks) {
        const auto body = concat(subChunks);
        return concat({enginetest::chunk_header(3, static_cast<uint32_t>(body.size())), body});
    }
    LgPluginRegistry registry = LgPluginRegistryMake(16);
    std::vector<char> object;
};

TEST_F(Extensions, StreamFunctionsNeedARegisteredPlugin) {
    EXPECT_EQ(LgPluginRegistryAddStreamFunctions(&registry, 0x599, Extended::read_slice, nullptr,
                                                 nullptr),
              -1);
    EXPECT_EQ(LgPluginRegistryAddStreamFunctions(&registry, 0x503, nullptr, nullptr, nullptr),
              LgPluginRegistryGetOffset(&registry, 0x503));
}

TEST_F(Extensions, AnEmptyExtensionReadsAndCallsNothing) {
    read(concat({extension({}), {'n'}}));
    EXPECT_EQ(LgPluginRegistryStreamReadExtension(&registry, stream, object.data()), &registry);
    EXPECT_TRUE(Extended::reads.empty());
    EXPECT_EQ(rest(), "n");
}

TEST_F(Extensions, EachSubChunkGoesToItsPluginOrIsSkipped) {
    read(concat(
        {extension({enginetest::chunk_bytes(0x777, "unknown"),
                    enginetest::chunk_bytes(0x503, "noread"), enginetest::chunk_bytes(0x501, "ab"),
                    enginetest::chunk_bytes(0x502, "xy")}),
         {'n'}}));
    ASSERT_EQ(LgPluginRegistryStreamReadExtension(&registry, stream, object.data()), &registry);
    EXPECT_EQ(Extended::reads, (std::vector<std::string>{"ab/4", "xy/2"}));
    EXPECT_EQ(object[static_cast<size_t>(LgPluginRegistryGetOffset(&registry, 0x502))], 'x');
    EXPECT_EQ(rest(), "n");
}

TEST_F(Extensions, APluginReadsAtMostItsSliceAndTheRestIsSkipped) {
    read(concat({extension({enginetest::chunk_bytes(0x502, "abcdefgh")}), {'n'}}));
    ASSERT_EQ(LgPluginRegistryStreamReadExtension(&registry, stream, object.data()), &registry);
    EXPECT_EQ(Extended::reads, (std::vector<std::string>{"ab/2"}));
    EXPECT_EQ(rest(), "n");
}

TEST_F(Extensions, HostileLengthsAreRefused) {
    const std::vector<std::vector<uint8_t>> cases = {
        // a sub-chunk claiming more than its extension holds
        concat({enginetest::chunk_header(3, 14), enginetest::chunk_header(0x777, 100), {'a', 'b'}}),
        // an extension too short for a sub-chunk header
        concat({enginetest::chunk_header(3, 5), {'a', 'b', 'c', 'd', 'e'}}),
        // sub-chunks that run past the extension's length
        concat({enginetest::chunk_header(3, 16), enginetest::chunk_bytes(0x501, "ab"),
                enginetest::chunk_bytes(0x501, "cd")}),
    };
    for (const auto& content : cases) {
        read(content);
        EXPECT_EQ(LgPluginRegistryStreamReadExtension(&registry, stream, object.data()), nullptr);
        LgStreamClose(stream, nullptr);
        read(content);
        EXPECT_EQ(LgPluginRegistryStreamSkipExtension(object.data(), stream), nullptr);
        LgStreamClose(stream, nullptr);
        stream = nullptr;
    }
}

TEST_F(Extensions, AFailingPluginReadFailsTheObject) {
    LgEngineStop();
    LgEngineClose();
    LgPluginRegistryAddStreamFunctions(&registry, 0x503, Extended::refuse, nullptr, nullptr);
    uintptr_t window = 1;
    ASSERT_EQ(LgEngineOpen(&window), 1);
    ASSERT_EQ(LgEngineStart(), 1);
    read(extension({enginetest::chunk_bytes(0x503, "zz")}));
    EXPECT_EQ(LgPluginRegistryStreamReadExtension(&registry, stream, object.data()), nullptr);
}

TEST_F(Extensions, ABadVersionIsRefusedWhenReadingButNotWhenSkipping) {
    auto content = concat(
        {enginetest::chunk_header(3, 14, 0x200), enginetest::chunk_bytes(0x501, "ab"), {'n'}});
    read(content);
    EXPECT_EQ(LgPluginRegistryStreamReadExtension(&registry, stream, object.data()), nullptr);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrBadChunkVersion}));
    LgStreamClose(stream, nullptr);
    read(concat({enginetest::chunk_bytes(1, "xyz"), content}));
    EXPECT_EQ(LgPluginRegistryStreamSkipExtension(object.data(), stream), object.data());
    EXPECT_EQ(rest(), "n");
    EXPECT_TRUE(Extended::reads.empty());
}

} // namespace
