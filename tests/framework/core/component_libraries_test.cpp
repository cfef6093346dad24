// Component libraries: the dlls.ini list, loading, and a supplied object manager.
#include "framework/core/com_ref.h"
#include "framework/core/component_libraries.h"
#include "framework/core/text_line.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "tests/framework/libs/library_ids.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/temp_dir.h"

#include <string>
#include <vector>

namespace {

// A stream over a string, read the way the line reader reads.
struct TextStream {
    std::string text;
    size_t at = 0;
    OmResult Read(void* buffer, uint32_t count, uint32_t* done) {
        uint32_t n = uint32_t(std::min<size_t>(count, text.size() - at));
        std::memcpy(buffer, text.data() + at, n);
        at += n;
        if (done) *done = n;
        return n < count ? OM_E_ENDOFSTREAM : OM_S_OK;
    }
};

std::vector<std::string> read_lines(std::string text, uint32_t size = OM_COMPONENT_LINE_SIZE) {
    TextStream stream{std::move(text)};
    std::vector<std::string> lines;
    std::vector<char> line(size);
    while (OmReadTextLine(&stream, line.data(), size) == 0) lines.emplace_back(line.data());
    return lines;
}

TEST(ReadTextLine, SplitsCleansAndCutsLines) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(read_lines("abc\r\nde\tf\n\nlast"), (Lines{"abc", "def", "", "last"}));
    EXPECT_EQ(read_lines("a\x81\xff\x80z\n"), (Lines{"a\x80z"}));
    EXPECT_EQ(read_lines(std::string(300, 'x') + "\n"),
              (Lines{std::string(259, 'x'), std::string(41, 'x')}));
    EXPECT_EQ(read_lines("abcdef", 4), (Lines{"abc", "def"}));
    EXPECT_EQ(read_lines(""), Lines{});
    TextStream empty;
    char line[8] = "junk";
    EXPECT_EQ(OmReadTextLine(&empty, line, sizeof line), OM_E_ENDOFSTREAM);
}

// Found by fuzzing: a one-byte buffer returned empty lines forever without reading, so a
// caller's read loop never ended.
TEST(ReadTextLine, BuffersWithoutRoomForACharacterFail) {
    for (uint32_t size : {0u, 1u}) {
        TextStream stream{std::string("\0\0\0\0", 4)};
        char line[1] = {'x'};
        EXPECT_EQ(OmReadTextLine(&stream, line, size), OM_E_FAIL) << size;
        EXPECT_EQ(stream.at, 0u) << size;
    }
    // The smallest working buffer holds one character; the line end after a full buffer
    // comes as an empty line.
    EXPECT_EQ(read_lines("a\nb", 2), (std::vector<std::string>{"a", "", "b"}));
}

class ComponentLibraryTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        platform::set_program_dir(dir.path());
        platform::set_message_sink([this](std::string_view title, std::string_view text) {
            messages.push_back(std::string(title) + "|" + std::string(text));
        });
    }
    void TearDown() override {
        platform::set_message_sink(nullptr);
        platform::set_program_dir("");
        FrameworkTest::TearDown();
    }
    int32_t widget_registrations() {
        ComRef<ILibraryWidget> widget;
        OmResult r = OmCreate(CLSID_LibraryWidget, IID_ILibraryWidget, widget.put());
        return r < 0 ? r : widget->RegistrationCount();
    }

    testsupport::TempDir dir;
    std::vector<std::string> messages;
};

TEST_F(ComponentLibraryTest, ProgramDirectoryEndsWithASlash) {
    char out[OM_COMPONENT_LINE_SIZE];
    ASSERT_EQ(OmGetProgramDirectory(out, sizeof out), 0);
    EXPECT_EQ(std::string(out), dir.path() + "/");
    EXPECT_EQ(OmGetProgramDirectory(out, 3), OM_E_FAIL);
}

TEST_F(ComponentLibraryTest, CommentsBlankLedAndEmptyLinesLoadNothing) {
    dir.write_file("dlls.ini",
                   "# libraries\n\n  indented.so\n\r\n#" + std::string(300, '#') + "\n");
    EXPECT_EQ(OmLoadComponentDlls(nullptr), 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ComponentLibraryTest, MissingListFails) {
    EXPECT_LT(OmLoadComponentDlls(nullptr), 0);
    EXPECT_LT(OmProcessComponentList("other.ini"), 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ComponentLibraryTest, ListedLibraryRegistersItsClass) {
    EXPECT_EQ(widget_registrations(), OM_E_NOTFOUND);
    // A comment cut at 259 characters continues as a second line that must be skipped too.
    std::string long_comment = "#" + std::string(258, '-') + "# and more\n";
    dir.write_file("sub/list.ini",
                   long_comment + "\n" + std::string(CORVEL_TEST_WIDGET_LIBRARY) + "\r\n");
    ASSERT_EQ(OmLoadComponentDlls((dir.path() + "/sub/list.ini").c_str()), 0);
    EXPECT_GE(widget_registrations(), 1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ComponentLibraryTest, RelativeLinesResolveAgainstTheProgramDirectory) {
    std::string library = CORVEL_TEST_WIDGET_LIBRARY;
    platform::set_program_dir(library.substr(0, library.rfind('/')));
    EXPECT_EQ(OmLoadComponentDll(library.substr(library.rfind('/') + 1).c_str()), 0);
    EXPECT_GE(widget_registrations(), 1);
}

TEST_F(ComponentLibraryTest, FailingLineShowsAMessageAndStopsTheList) {
    dir.write_file("dlls.ini", "missing.so\n" + std::string(CORVEL_TEST_WIDGET_LIBRARY) + "\n");
    int32_t before = widget_registrations();
    EXPECT_EQ(OmLoadComponentDlls(nullptr), OM_E_NOTFOUND);
    EXPECT_EQ(messages,
              (std::vector<std::string>{"Unable to load dll|Unable to load 'missing.so'"}));
    EXPECT_EQ(widget_registrations(), before) << "later lines are not processed";
    EXPECT_EQ(OmLoadComponentDll(CORVEL_TEST_NO_ENTRY_LIBRARY), OM_E_FAIL);
}

TEST_F(ComponentLibraryTest, SuppliedManagerReplacesTheBuiltInOneAndTheListRunsAgain) {
    dir.write_file("dlls.ini", std::string(CORVEL_TEST_MANAGER_LIBRARY) + "\n" +
                                   CORVEL_TEST_WIDGET_LIBRARY + "\n");
    IObjectManager* built_in = OmGetObjectManager();
    EXPECT_EQ(OmAdoptSuppliedObjectManager(), OM_E_NOTFOUND);
    int32_t before = 0;
    {
        // Registration count so far (the library stays loaded between tests).
        ASSERT_EQ(OmLoadComponentDll(CORVEL_TEST_WIDGET_LIBRARY), 0);
        before = widget_registrations();
    }
    ASSERT_EQ(OmLoadComponentDlls(nullptr), 0);
    EXPECT_NE(OmGetObjectManager(), built_in);
    EXPECT_EQ(widget_registrations(), before + 2) << "both passes registered the library";
    ComRef<IUnknown> manager;
    EXPECT_EQ(OmGetObjectManager()->QueryInterface(IID_IObjectManager, manager.put_void()), 0);
}

} // namespace
