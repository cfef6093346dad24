// The object streamer: tokens, numbers, escaped strings, values, comments and keyword
// definitions, and binary blocks.
#include "framework/io/object_streamer.h"

#include "framework/core/guid_text.h"
#include "framework/io/line_code.h"
#include "tests/framework/io/stream_bytes.h"
#include "tests/support/framework_classes.h"
#include "tests/support/framework_fixture.h"

#include <string>
#include <vector>

namespace {

using testsupport::bytes_of;
using testsupport::stream_of;

class ObjectStreamerTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override { testsupport::register_container_classes(OmGetObjectManager()); }
    void TearDown() override {
        streamer_.reset();
        stream_.reset();
        FrameworkTest::TearDown();
    }
    // A streamer on a stream holding `text`, positioned at its start.
    IObjectStreamer* on(const std::string& text) {
        stream_ = stream_of(text);
        EXPECT_EQ(OmNewObjectStreamer(streamer_.put()), 0);
        streamer_->SetStream(stream_.get());
        return streamer_.get();
    }
    std::string text() { return bytes_of(stream_.get()); }
    std::string token() {
        ComRef<IString> t = ComRef<IString>::adopt(streamer_->ReadToken());
        return t ? t->Get() : "<none>";
    }

    ComRef<IByteStream> stream_;
    ComRef<IObjectStreamer> streamer_;
};

TEST_F(ObjectStreamerTest, NumbersAndTokensRoundTrip) {
    IObjectStreamer* s = on("");
    ASSERT_EQ(s->WriteToken(nullptr, "int"), 0);
    ASSERT_EQ(s->WriteInt(nullptr, -42), 0);
    ComRef<IReal> real;
    ASSERT_EQ(OmNewReal(1.5f, real.put()), 0);
    ASSERT_EQ(s->WriteReal(real.get(), 0.0f), 0) << "the object's value wins";
    EXPECT_EQ(text(), "int -42 1.500000");
    stream_->Seek(0, OM_SEEK_START, nullptr);
    EXPECT_EQ(token(), "int");
    EXPECT_EQ(s->ReadInt(), -42);
    EXPECT_EQ(s->ReadReal(), 1.5f);
    EXPECT_EQ(token(), "<none>");
}

TEST_F(ObjectStreamerTest, LongTokensAreCollectedWhole) {
    const std::string long_token(200, 'q');
    IObjectStreamer* s = on("  \t" + long_token + "\nnext");
    EXPECT_EQ(token(), long_token);
    EXPECT_EQ(token(), "next");
    (void)s;
}

TEST_F(ObjectStreamerTest, EscapedStringsSurviveBlanksAndLineSpecials) {
    const char* texts[] = {"plain",          "two words", "#not a comment", "$x", "back\\slash",
                           "tab\tand\nline", ""};
    for (const char* original : texts) {
        IObjectStreamer* s = on("");
        ASSERT_EQ(s->WriteString(nullptr, original), 0);
        ASSERT_EQ(s->NewLine(), 0);
        ASSERT_EQ(s->WriteString(nullptr, "after"), 0);
        stream_->Seek(0, OM_SEEK_START, nullptr);
        ComRef<IString> back = ComRef<IString>::adopt(s->ReadString());
        ASSERT_TRUE(back) << original;
        EXPECT_STREQ(back->Get(), original);
        back = ComRef<IString>::adopt(s->ReadString());
        ASSERT_TRUE(back);
        EXPECT_STREQ(back->Get(), "after");
    }
    EXPECT_EQ(on("")->WriteString(nullptr, nullptr), OM_E_FAIL);
}

TEST_F(ObjectStreamerTest, ValuesAreWrittenAfterTheirKeywordAndReadBack) {
    IObjectStreamer* s = on("");
    ComRef<IInt> number;
    ASSERT_EQ(OmNewInt(17, number.put()), 0);
    ComRef<IReal> real;
    ASSERT_EQ(OmNewReal(-0.25f, real.put()), 0);
    ComRef<IString> words;
    ASSERT_EQ(OmNewString("hello there", words.put()), 0);
    struct Row {
        const char* keyword;
        IUnknown* value;
    };
    const Row rows[] = {{"int", number.get()}, {"real", real.get()}, {"string", words.get()}};
    for (const Row& row : rows) {
        ASSERT_EQ(s->WriteToken(nullptr, row.keyword), 0);
        ASSERT_EQ(s->WriteValue(row.value), 0);
        ASSERT_EQ(s->NewLine(), 0);
    }
    EXPECT_EQ(text(), "int 17\nreal -0.250000\nstring hello\\x20there\n");
    EXPECT_EQ(s->WriteValue(stream_.get()), OM_E_FAIL) << "no text form";

    stream_->Seek(0, OM_SEEK_START, nullptr);
    for (int i = 0; i < 3; ++i) {
        ComRef<IString> keyword = ComRef<IString>::adopt(s->ReadToken());
        ASSERT_TRUE(keyword);
        ComRef<IUnknown> value = ComRef<IUnknown>::adopt(s->ReadValue(keyword.get(), nullptr));
        ASSERT_TRUE(value) << keyword->Get();
    }
    stream_->Seek(0, OM_SEEK_START, nullptr);
    token();
    ComRef<IInt> back;
    ComRef<IUnknown>::adopt(s->ReadValue(nullptr, "int"))
        ->QueryInterface(IID_IInt, back.put_void());
    EXPECT_EQ(back->Get(), 17);
    EXPECT_EQ(s->ReadValue(nullptr, "nothing"), nullptr);
    EXPECT_EQ(s->ReadValue(nullptr, "hash"), nullptr) << "a hash has no text form";
}

TEST_F(ObjectStreamerTest, CommentsAndDefinitionsCountOnlyAtLineStarts) {
    const GUID clsid = om_guid("11111111-2222-3333-4444-555555555555");
    const GUID iid = om_guid("66666666-7777-8888-9999-AAAAAAAAAAAA");
    char clsid_text[OM_GUID_TEXT_SIZE], iid_text[OM_GUID_TEXT_SIZE];
    OmGuidToText(clsid, clsid_text);
    OmGuidToText(iid, iid_text);
    IObjectStreamer* s = on("# a comment line\n"
                            "\t# an indented one\n"
                            "$plane " +
                            std::string(clsid_text) + " " + iid_text +
                            "\n"
                            "a#b #c\n"
                            "$broken {zz}\n"
                            "plane\n");
    EXPECT_EQ(token(), "a#b");
    EXPECT_EQ(token(), "#c") << "'#' inside a line is an ordinary character";
    GUID found_clsid{}, found_iid{};
    ASSERT_EQ(s->ReadKeyword(&found_clsid, &found_iid), 0);
    EXPECT_EQ(found_clsid, clsid);
    EXPECT_EQ(found_iid, iid);
    EXPECT_EQ(s->LookupKeyword("broken", nullptr, nullptr), OM_E_FAIL);
}

TEST_F(ObjectStreamerTest, KeywordDefinitionsAreWrittenAsGuidText) {
    IObjectStreamer* s = on("");
    EXPECT_EQ(s->WriteKeyword("nothing"), OM_E_FAIL);
    EXPECT_EQ(s->WriteKeywordDefinition("nothing"), OM_E_FAIL);
    ASSERT_EQ(s->WriteKeyword("hash"), 0);
    ASSERT_EQ(s->WriteSpace(), 0);
    ASSERT_EQ(s->WriteKeywordDefinition("hash"), 0);
    EXPECT_EQ(text(), "hash {DAA87352-C84F-11D4-871E-00C04F7963BA} "
                      "{DAC771E4-C84F-11D4-871E-00C04F7963BA}");
}

TEST_F(ObjectStreamerTest, IndentationFollowsEveryLineBreak) {
    IObjectStreamer* s = on("");
    EXPECT_EQ(s->Unindent(), OM_E_FAIL) << "level 0 stays 0";
    s->Indent();
    s->Indent();
    s->WriteToken(nullptr, "a");
    s->NewLine();
    s->Unindent();
    s->WriteComment(nullptr, "note\nsecond line dropped");
    s->WriteToken(nullptr, "b");
    s->WriteComment(nullptr, "after b");
    s->Unindent();
    s->NewLine();
    EXPECT_EQ(text(), "a\n\t\t#note\n\tb\n#after b\n\t\n");
    stream_->Seek(0, OM_SEEK_START, nullptr);
    EXPECT_EQ(s->Expect(nullptr, "ab"), 0) << "comments are passed over";
}

TEST_F(ObjectStreamerTest, BlockOf100BytesIsThreeLinesThenAnEmptyOne) {
    std::vector<uint8_t> data(100);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7);
    IObjectStreamer* s = on("");
    s->Indent();
    ASSERT_EQ(s->WriteBlock(data.data(), uint32_t(data.size())), 0);
    const std::string written = text();
    ASSERT_EQ(written.substr(0, 5), "begin");
    std::vector<std::string> lines;
    size_t at = 5;
    for (size_t end; (end = written.find("\n\t", at)) != std::string::npos; at = end + 2)
        lines.push_back(written.substr(at, end - at));
    EXPECT_EQ(written.substr(at), "end");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].size(), 1u + 60 + 1);
    EXPECT_EQ(lines[0][0], char(45 + 32));
    EXPECT_EQ(lines[1][0], char(45 + 32));
    EXPECT_EQ(lines[2][0], char(10 + 32));
    EXPECT_EQ(lines[2].size(), 1u + 16 + 1);
    EXPECT_EQ(lines[3], "  ");

    stream_->Seek(0, OM_SEEK_START, nullptr);
    ASSERT_EQ(s->Expect(nullptr, "begin"), 0);
    std::vector<uint8_t> back(128);
    uint32_t size = uint32_t(back.size());
    ASSERT_EQ(s->ReadBlock(back.data(), &size), 0);
    ASSERT_EQ(size, 100u);
    back.resize(size);
    EXPECT_EQ(back, data);
    EXPECT_EQ(s->Expect(nullptr, "end"), 0);
}

TEST_F(ObjectStreamerTest, DamagedBlocksFail) {
    char full_line[OM_LINE_MAX_CHARS];
    const uint8_t bytes[45] = {};
    const std::string line45(full_line, OmEncodeLine(bytes, 45, full_line));
    struct Row {
        const char* what;
        std::string text;
        uint32_t capacity;
    };
    const Row rows[] = {
        {"line of 46", "N" + std::string(64, '`') + "\n  \n", 100},
        {"45 bytes into 44", line45 + "\n  \n", 44},
        {"more lines than room", line45 + "\n" + line45 + "\n  \n", 80},
        {"cut line", line45.substr(0, 20), 100},
        {"no end line", line45 + "\n", 100},
        {"control character as length", "\x01", 100},
    };
    for (const Row& row : rows) {
        IObjectStreamer* s = on(row.text);
        std::vector<uint8_t> buffer(row.capacity + 8, 0xAA);
        uint32_t size = row.capacity;
        EXPECT_EQ(s->ReadBlock(buffer.data(), &size), OM_E_FAIL) << row.what;
        EXPECT_LE(size, row.capacity) << row.what;
        for (size_t i = row.capacity; i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], 0xAA) << row.what << ": written past the buffer";
    }
}

TEST_F(ObjectStreamerTest, ExpectComparesCharacterByCharacter) {
    IObjectStreamer* s = on("  begin  endx");
    EXPECT_EQ(s->Expect(nullptr, "begin"), 0);
    EXPECT_EQ(s->Expect(nullptr, "end"), 0);
    EXPECT_EQ(s->Expect(nullptr, "y"), OM_E_FAIL);
    EXPECT_EQ(s->Expect(nullptr, "z"), OM_E_FAIL) << "the stream has ended";
}

} // namespace
