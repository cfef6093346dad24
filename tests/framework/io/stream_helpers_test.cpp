// Text streams, read-all, copy and hexadecimal coding over memory streams.
#include "framework/core/com_ref.h"
#include "framework/io/memory_stream.h"
#include "framework/io/stream_helpers.h"
#include "tests/support/framework_fixture.h"

#include <string>

namespace {

using StreamHelpersTest = testsupport::FrameworkTest;

ComRef<IByteStream> text_stream(const char* text) {
    ComRef<IByteStream> s;
    EXPECT_EQ(OmCreateTextStream(text, s.put()), 0);
    return s;
}

std::string contents(IByteStream* s) {
    char* text = nullptr;
    EXPECT_EQ(OmStreamReadAll(s, &text), 0);
    std::string out = text ? text : "";
    OmFreeMemory(text);
    return out;
}

TEST_F(StreamHelpersTest, TextStreamStartsAtItsBeginning) {
    auto s = text_stream("hello");
    char buffer[8] = {};
    uint32_t done = 0;
    EXPECT_EQ(s->Read(buffer, 8, &done), OM_E_ENDOFSTREAM);
    EXPECT_EQ(done, 5u) << "no NUL stored";
    EXPECT_STREQ(buffer, "hello");
}

TEST_F(StreamHelpersTest, ReadAllKeepsThePosition) {
    auto s = text_stream("0123456789");
    ASSERT_EQ(s->Seek(4, OM_SEEK_START, nullptr), 0);
    EXPECT_EQ(contents(s.get()), "0123456789");
    uint32_t position = 0;
    ASSERT_EQ(s->Seek(0, OM_SEEK_CURRENT, &position), 0);
    EXPECT_EQ(position, 4u);
    EXPECT_EQ(contents(text_stream("").get()), "");
}

TEST_F(StreamHelpersTest, ReadAllReportsOutOfMemory) {
    auto s = text_stream("abc");
    platform::fail_allocation_after(1);
    char* text = reinterpret_cast<char*>(1);
    EXPECT_EQ(OmStreamReadAll(s.get(), &text), OM_E_OUTOFMEMORY);
    EXPECT_EQ(text, nullptr);
}

TEST_F(StreamHelpersTest, CopyMovesEveryChunk) {
    std::string big;
    for (int i = 0; i < 1000; ++i) big += std::to_string(i) + ";";
    auto source = text_stream(big.c_str());
    auto destination = text_stream("");
    ASSERT_EQ(OmCopyStream(destination.get(), source.get()), 0);
    EXPECT_EQ(contents(destination.get()), big);
}

TEST_F(StreamHelpersTest, HexEncodeAndDecode) {
    auto source = text_stream("\x01\xAB\x7Fz");
    auto hex = text_stream("");
    ASSERT_EQ(OmHexEncodeStream(hex.get(), source.get()), 0);
    EXPECT_EQ(contents(hex.get()), "01AB7F7A");

    auto odd = text_stream("01AB7F7A3");
    auto bytes = text_stream("");
    ASSERT_EQ(OmHexDecodeStream(bytes.get(), odd.get()), 0);
    EXPECT_EQ(contents(bytes.get()), "\x01\xAB\x7Fz") << "a lone trailing digit is dropped";
}

} // namespace
