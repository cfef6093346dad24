// The HTML parser against a corpus of edge-case pages with their expected document trees,
// and the tokenizer's line and word rules.
#include "framework/containers/values.h"
#include "framework/io/memory_stream.h"
#include "frontend/html/html_document.h"
#include "frontend/html/html_hit_test.h"
#include "frontend/html/html_layout.h"
#include "frontend/html/html_parser.h"
#include "frontend/html/html_tokenizer.h"
#include "tests/frontend/html/html_test_support.h"
#include "tests/support/source_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace htmltest {
namespace {

namespace fs = std::filesystem;

fs::path pages_dir() {
    return fs::path(testsupport::source_dir()) / "tests/frontend/html/pages";
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

using HtmlParserTest = HtmlTest;

// Each pages/<name>.html parses into the tree written in pages/<name>.tree. Setting
// CORVEL_UPDATE_GOLDEN=1 rewrites the trees (review the difference before committing).
TEST_F(HtmlParserTest, CorpusPagesParseIntoTheirGoldenTrees) {
    const bool update = std::getenv("CORVEL_UPDATE_GOLDEN") != nullptr;
    int pages = 0;
    for (const auto& entry : fs::directory_iterator(pages_dir())) {
        if (entry.path().extension() != ".html") continue;
        ++pages;
        SCOPED_TRACE(entry.path().filename().string());
        ComRef<IObjHash> root = parse_page(read_file(entry.path()));
        ASSERT_TRUE(root);
        const std::string dump = dump_tree(root.get());
        fs::path golden = entry.path();
        golden.replace_extension(".tree");
        if (update) {
            std::ofstream(golden, std::ios::binary) << dump;
            continue;
        }
        ASSERT_TRUE(fs::exists(golden));
        EXPECT_EQ(dump, read_file(golden));
    }
    EXPECT_GE(pages, 10);
}

TEST_F(HtmlParserTest, EmptyStreamGivesAnEmptyDocument) {
    ComRef<IObjHash> root = parse_page("");
    ASSERT_TRUE(root);
    EXPECT_STREQ(htmlNodeType(root.get()), "display");
    EXPECT_EQ(htmlArrayAt(htmlNodeAt(root.get(), "cell"), "objs")->Count(), 0);
    EXPECT_EQ(htmlArrayAt(root.get(), "fontstack")->Count(), 1);
}

TEST_F(HtmlParserTest, NullArgumentsFail) {
    IObjHash* root = reinterpret_cast<IObjHash*>(1);
    EXPECT_EQ(parseHtmlDocument(nullptr, &root), OM_E_FAIL);
    EXPECT_EQ(root, nullptr);
}

// The text of the root cell's text nodes, one per run.
std::vector<std::string> cell_texts(IObjHash* root) {
    std::vector<std::string> texts;
    ICOMArray* objs = htmlArrayAt(htmlNodeAt(root, "cell"), "objs");
    for (int32_t i = 0; objs && i < objs->Count(); ++i) {
        IObjHash* node = htmlArrayNode(objs, i);
        if (htmlNodeIs(node, "text")) texts.push_back(node->GetString("string", ""));
    }
    return texts;
}

TEST_F(HtmlParserTest, LongLineIsCutAndTheByteAtTheCutIsLost) {
    // 1023 kept characters, then 'Q' (lost, ending the line), then the rest as a new line.
    std::string words;
    for (int i = 0; i < 204; ++i) words += "word ";
    ComRef<IObjHash> root = parse_page("<body>\n" + words + "xyz" + "Q" + "tail\n");
    EXPECT_EQ(cell_texts(root.get()), std::vector<std::string>{words + "xyz tail"});
}

TEST_F(HtmlParserTest, LineFullOfStructuralCharactersKeepsEveryWord) {
    // 1023 structural characters expand to three times as many bytes; every one of them
    // still comes out as a word.
    std::string line(1023, '=');
    std::vector<std::string> words;
    HtmlTokenizer::splitHtmlLine(line, words);
    EXPECT_EQ(words.size(), 1023u);
    ComRef<IObjHash> root = parse_page("<body>\n" + line + "\n");
    const auto texts = cell_texts(root.get());
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].size(), 1023u * 2 - 1);
}

TEST_F(HtmlParserTest, WordSplittingRules) {
    const struct {
        const char* line;
        std::vector<std::string> words;
    } cases[] = {
        {"<a href=x>", {"<", "a", "href", "=", "x", ">"}},
        {"bgcolor=#00FFFF", {"bgcolor", "=", "#", "00FFFF"}},
        {"v=\"a=b c\" d", {"v", "=", "\"a = b c\"", "d"}},
        {"[x]{y}!", {"[", "x", "]", "{", "y", "}", "!"}},
        {"  spaced    out  ", {"spaced", "out"}},
        {"\"open quote runs on", {"\"open quote runs on"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> words;
        HtmlTokenizer::splitHtmlLine(c.line, words);
        EXPECT_EQ(words, c.words) << c.line;
    }
    std::vector<std::string> words;
    HtmlTokenizer::splitHtmlLine(std::string(200, 'w'), words);
    ASSERT_EQ(words.size(), 1u);
    EXPECT_EQ(words[0].size(), HTML_WORD_LIMIT);
}

TEST_F(HtmlParserTest, PushedBackWordsComeOutInReverseOrderBeforeTheNextLine) {
    ComRef<IByteStream> stream;
    ASSERT_EQ(OmNewMemoryStream(stream.put()), OM_S_OK);
    const std::string text = "one\ntwo three\n";
    stream->Write(text.data(), uint32_t(text.size()), nullptr);
    stream->Seek(0, OM_SEEK_START, nullptr);
    HtmlTokenizer tokens(stream.get());
    std::string word;
    ASSERT_EQ(tokens.nextHtmlToken(word, 128), OM_S_OK);
    EXPECT_EQ(word, "one");
    tokens.pushBackHtmlToken("A");
    tokens.pushBackHtmlToken("B");
    std::vector<std::string> rest;
    while (tokens.nextHtmlToken(word, 3) >= 0) rest.push_back(word);
    EXPECT_EQ(rest, (std::vector<std::string>{"B", "A", "tw", "th"}));
    // Pushed-back words still come out after the text has ended.
    tokens.pushBackHtmlToken("late");
    EXPECT_EQ(tokens.nextHtmlToken(word, 128), OM_S_OK);
    EXPECT_EQ(word, "late");
    EXPECT_EQ(tokens.nextHtmlToken(word, 128), OM_E_ENDOFSTREAM);
    EXPECT_EQ(tokens.expectHtmlToken("x"), OM_E_ENDOFSTREAM);
}

// Cut-off and damaged pages still parse, lay out and hit-test without harm (the fixture
// fails the test when anything leaks).
TEST_F(HtmlParserTest, DamagedPagesAreHandledSafely) {
    ComRef<IFont> font = FakeFont::make(7, 9);
    uint32_t seed = 12345;
    auto next_random = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (const auto& entry : fs::directory_iterator(pages_dir())) {
        if (entry.path().extension() != ".html") continue;
        const std::string page = read_file(entry.path());
        for (size_t cut = 0; cut < page.size(); cut += 5) {
            std::string damaged = page.substr(0, cut);
            if (cut % 2 == 0) {
                for (int flips = 0; flips < 4 && !damaged.empty(); ++flips) {
                    damaged[next_random() % damaged.size()] = char(next_random());
                }
            }
            ComRef<IObjHash> root = parse_page(damaged);
            ASSERT_TRUE(root);
            attach_font(root.get(), font.get());
            const OmRect rect{0, 0, 200, 150};
            EXPECT_EQ(layoutHtmlDocument(root.get(), nullptr, &rect), OM_S_OK);
            for (int32_t y = 0; y < 150; y += 13) hitTestHtmlDocument(root.get(), 50, y);
            HtmlBox box;
            getHtmlLinkBox(root.get(), 0, 0, &box);
            resetHtmlLinkStates(root.get());
        }
    }
}

// Hostile pages found by fuzzing: each parses, lays out and is released without a leak (the
// fixture fails the test when a block stays).
TEST_F(HtmlParserTest, HostilePagesLeaveNothingBehind) {
    std::string nested_tables = "<body>";
    for (int depth = 0; depth < 300; ++depth) nested_tables += "<table><tr><td>";
    nested_tables += "<a href=x>deep</a>";
    const struct {
        const char* name;
        const char* page;
    } cases[] = {
        {"the same background twice", "<body background=png background=png"},
        {"the same cell background twice", "<body><table><tr><td background=a background=a>x"},
        {"the same image source twice", "<body><img src=a.bmp src=a.bmp>"},
        // A table lays its cells out three times, so each level of nesting tripled the work.
        {"tables nested 300 deep", nested_tables.c_str()},
    };
    ComRef<IFont> font = FakeFont::make(7, 9);
    for (const auto& c : cases) {
        ComRef<IObjHash> root = parse_page(c.page);
        ASSERT_TRUE(root) << c.name;
        attach_font(root.get(), font.get());
        const OmRect rect{0, 0, 640, 480};
        EXPECT_EQ(layoutHtmlDocument(root.get(), nullptr, &rect), OM_S_OK) << c.name;
    }
}

} // namespace
} // namespace htmltest
