// The property sheet: the INI rule table, byte-exact Save, and the section and key operations.
#include "framework/containers/property_sheet.h"
#include "framework/io/fifo_stream.h"
#include "framework/io/memory_stream.h"
#include "framework/io/stream_helpers.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/module_object.h"

#include <string>

namespace {

class PropertySheetTest : public testsupport::FrameworkTest {
protected:
    PropertySheetTest() { sheet_ = new_sheet(); }
    void TearDown() override {
        sheet_.reset();
        FrameworkTest::TearDown();
    }

    static ComRef<IPropertySheet> new_sheet() {
        return testsupport::module_object<IPropertySheet>(PropertySheet_GetClassObject,
                                                          CLSID_PropertySheet, IID_IPropertySheet);
    }
    OmResult load(const std::string& text) { return load_into(sheet_.get(), text); }
    static OmResult load_into(IPropertySheet* sheet, const std::string& text) {
        ComRef<IByteStream> stream;
        EXPECT_EQ(OmCreateTextStream(text.c_str(), stream.put()), 0);
        return sheet->Load(stream.get());
    }
    std::string saved() {
        ComRef<IByteStream> stream;
        EXPECT_EQ(OmCreateTextStream("", stream.put()), 0);
        EXPECT_EQ(sheet_->Save(stream.get()), 0);
        char* text = nullptr;
        EXPECT_EQ(OmStreamReadAll(stream.get(), &text), 0);
        std::string out = text;
        OmFreeMemory(text);
        return out;
    }
    std::string value(const char* key) {
        char buffer[4096];
        if (sheet_->GetString(key, buffer, sizeof buffer) < 0) return "<missing>";
        return buffer;
    }

    ComRef<IPropertySheet> sheet_;
};

std::string repeat(char c, size_t n) {
    return std::string(n, c);
}

TEST_F(PropertySheetTest, LoadRuleTable) {
    struct Row {
        std::string text;
        OmResult result;
        std::string saved;
    };
    const Row rows[] = {
        {"  [ Plane ]  more text\n", 0, "\n[]\n\n[Plane]\n"},
        {"word = second  \n", 0, "\n[]\nword=second\n"},
        {"\tkey\t=\tvalue\t\n", 0, "\n[]\nkey=value\n"},
        {"a = b = c\n", 0, "\n[]\na=b = c\n"},
        {"alone\n", 0, "\n[]\nalone=\n"},
        {"=x\n", 0, "\n[]\n=x\n"},
        {"   # comment\n   \n\t\n; not a comment\n", 0, "\n[]\n; not a comment=\n"},
        {"[ A B ]\n[x]]\n", 0, "\n[]\n\n[A B]\n\n[x]\n"},
        {"[Open\n", OM_E_FAIL, "\n[]\n"},
        {"a=1\n[Open\nb=2\n", OM_E_FAIL, "\n[]\na=1\n"},
        {"a=1\r\nb=2", 0, "\n[]\na=1\nb=2\n"},
        {"a=1\n[S]\nb=2\n[S]\nb=3\nc=4\n", 0, "\n[]\na=1\n\n[S]\nb=3\nc=4\n"},
        {"[]\nk=v\n[s]\n[]\nz=1\n", 0, "\n[]\nk=v\nz=1\n\n[s]\n"},
        {"[Plane]\n[plane]\n", 0, "\n[]\n\n[Plane]\n\n[plane]\n"},
        {"k=" + repeat('v', 2045) + "\n", 0, "\n[]\nk=" + repeat('v', 2045) + "\n"},
        {"k=" + repeat('v', 2046) + "\n", OM_E_FAIL, "\n[]\n"},
        {"k=" + repeat('v', 2046), OM_E_FAIL, "\n[]\n"},
        {"[" + repeat('s', 255) + "]", 0, "\n[]\n\n[" + repeat('s', 255) + "]\n"},
        {"[" + repeat('s', 256) + "]", OM_E_FAIL, "\n[]\n"},
        {repeat('k', 254) + "=1", 0, "\n[]\n" + repeat('k', 254) + "=1\n"},
        {repeat('k', 255) + "=1", OM_E_FAIL, "\n[]\n"},
        {repeat('k', 250) + "     =1", OM_E_FAIL, "\n[]\n"},
        {repeat('k', 255), OM_E_FAIL, "\n[]\n"},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(sheet_->Clear(), 0);
        EXPECT_EQ(load(row.text), row.result) << row.text.substr(0, 40);
        EXPECT_EQ(saved(), row.saved) << row.text.substr(0, 40);
    }
}

// Found by fuzzing: blanks in front of a NUL byte stayed in a name, so the saved text loaded
// into a different sheet.
TEST_F(PropertySheetTest, ANulByteEndsTheTextOfItsLine) {
    const auto with_nul = []<size_t N>(const char(&text)[N]) { return std::string(text, N - 1); };
    struct Row {
        std::string bytes;
        OmResult result;
        std::string saved;
    };
    const Row rows[] = {
        {with_nul("\xb2\xf5 \0"), 0, "\n[]\n\xb2\xf5=\n"},
        {with_nul("k \0junk=v\nnext=1\n"), 0, "\n[]\nk=\nnext=1\n"},
        {with_nul("a = 1 \0 b\n"), 0, "\n[]\na=1\n"},
        {with_nul("[ S \0]\n"), OM_E_FAIL, "\n[]\n"},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(sheet_->Clear(), 0);
        ComRef<IByteStream> stream;
        ASSERT_EQ(OmNewMemoryStream(stream.put()), 0);
        ASSERT_EQ(stream->Write(row.bytes.data(), uint32_t(row.bytes.size()), nullptr), 0);
        ASSERT_EQ(stream->Seek(0, OM_SEEK_START, nullptr), 0);
        EXPECT_EQ(sheet_->Load(stream.get()), row.result) << row.bytes;
        EXPECT_EQ(saved(), row.saved) << row.bytes;
    }
}

TEST_F(PropertySheetTest, LoadMergesIntoTheCurrentSectionAndLeavesTheLastHeaderCurrent) {
    ASSERT_EQ(sheet_->UseSection("Start"), 0);
    ASSERT_EQ(load("x=1\n[End]\ny=2\n"), 0);
    char name[OM_SHEET_NAME_SIZE];
    ASSERT_EQ(sheet_->GetSectionName(name), 0);
    EXPECT_STREQ(name, "End");
    EXPECT_EQ(saved(), "\n[]\n\n[Start]\nx=1\n\n[End]\ny=2\n");
}

TEST_F(PropertySheetTest, LoadEndsOnAStreamThatNeverReportsItsEnd) {
    ComRef<IByteStream> pipe = testsupport::module_object<IByteStream>(
        FifoStream_GetClassObject, CLSID_FifoStream, IID_IByteStream);
    ASSERT_EQ(pipe->Write("[P]\nk=v", 7, nullptr), 0);
    ASSERT_EQ(sheet_->Load(pipe.get()), 0);
    EXPECT_EQ(value("k"), "v");
}

TEST_F(PropertySheetTest, GetStringNeedsRoomForTheTerminator) {
    ASSERT_EQ(sheet_->SetString("key", "abc"), 0);
    EXPECT_EQ(sheet_->GetStringLength("key"), 4u);
    char buffer[4] = "zzz";
    EXPECT_EQ(sheet_->GetString("key", buffer, 3), OM_E_FAIL);
    EXPECT_STREQ(buffer, "zzz") << "nothing copied";
    EXPECT_EQ(sheet_->GetString("key", buffer, 4), 0);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(sheet_->GetString("absent", buffer, 4), OM_E_FAIL);
    EXPECT_EQ(sheet_->GetStringLength("absent"), 0u);

    char name[OM_SHEET_NAME_SIZE];
    uint32_t length = 0;
    ASSERT_EQ(sheet_->MoveKey(name, &length, OM_MOVE_FIRST), 0);
    EXPECT_STREQ(name, "key");
    EXPECT_EQ(length, 3u);
}

TEST_F(PropertySheetTest, NamesAreCaseSensitive) {
    ASSERT_EQ(sheet_->UseSection("Plane"), 0);
    ASSERT_EQ(sheet_->SetString("Speed", "1"), 0);
    EXPECT_EQ(sheet_->SetSection("plane"), OM_E_FAIL);
    char name[OM_SHEET_NAME_SIZE];
    sheet_->GetSectionName(name);
    EXPECT_STREQ(name, "Plane") << "a failed SetSection keeps the current section";
    EXPECT_EQ(value("speed"), "<missing>");
    EXPECT_EQ(value("Speed"), "1");
}

TEST_F(PropertySheetTest, WalkingSectionsAndKeys) {
    ASSERT_EQ(load("[A]\na1=1\na2=22\n[B]\n[C]\nc1=x\n"), 0);
    std::string walk;
    char name[OM_SHEET_NAME_SIZE];
    for (OmResult r = sheet_->MoveSection(OM_MOVE_FIRST); r == 0;
         r = sheet_->MoveSection(OM_MOVE_NEXT)) {
        sheet_->GetSectionName(name);
        walk += std::string("[") + name + "]";
        uint32_t length;
        EXPECT_EQ(sheet_->MoveKey(name, &length, OM_MOVE_NEXT), OM_E_FAIL)
            << "a key walk starts with first";
        for (OmResult k = sheet_->MoveKey(name, &length, OM_MOVE_FIRST); k == 0;
             k = sheet_->MoveKey(name, &length, OM_MOVE_NEXT))
            walk += std::string(name) + ":" + std::to_string(length) + " ";
    }
    EXPECT_EQ(walk, "[][A]a1:1 a2:2 [B][C]c1:1 ");

    ASSERT_EQ(sheet_->MoveSection(OM_MOVE_LAST), 0);
    ASSERT_EQ(sheet_->MoveSection(OM_MOVE_PREVIOUS), 0);
    sheet_->GetSectionName(name);
    EXPECT_STREQ(name, "B");
    ASSERT_EQ(sheet_->MoveSection(OM_MOVE_FIRST), 0);
    EXPECT_EQ(sheet_->MoveSection(OM_MOVE_PREVIOUS), OM_E_FAIL);
    EXPECT_EQ(sheet_->MoveSection(4), OM_E_FAIL);
    ASSERT_EQ(sheet_->SetSection("A"), 0);
    ASSERT_EQ(sheet_->MoveKey(nullptr, nullptr, OM_MOVE_LAST), 0);
    ASSERT_EQ(sheet_->MoveKey(name, nullptr, OM_MOVE_PREVIOUS), 0);
    EXPECT_STREQ(name, "a1");
    EXPECT_EQ(sheet_->MoveKey(name, nullptr, 4), OM_E_FAIL);
}

TEST_F(PropertySheetTest, RemovingSectionsAndKeys) {
    ASSERT_EQ(load("top=1\n[A]\na=1\nb=2\n[B]\nc=3\n"), 0);
    ASSERT_EQ(sheet_->SetSection("A"), 0);
    EXPECT_EQ(sheet_->RemoveKey("a"), 0);
    EXPECT_EQ(sheet_->RemoveKey("a"), OM_E_FAIL);
    ASSERT_EQ(sheet_->SetString("a", "again"), 0);
    EXPECT_EQ(saved(), "\n[]\ntop=1\n\n[A]\nb=2\na=again\n\n[B]\nc=3\n");

    EXPECT_EQ(sheet_->RemoveSection(), 0);
    EXPECT_EQ(value("top"), "1") << "the current name is \"\" afterwards";
    EXPECT_EQ(sheet_->RemoveSection(), 0) << "removes the unnamed section";
    EXPECT_EQ(sheet_->SetString("k", "v"), OM_E_FAIL) << "no current section any more";
    EXPECT_EQ(sheet_->RemoveSection(), 0);
    EXPECT_EQ(saved(), "\n[B]\nc=3\n");

    ASSERT_EQ(sheet_->Clear(), 0);
    EXPECT_EQ(saved(), "\n[]\n");
}

TEST_F(PropertySheetTest, RenamingToATakenNameLeavesTheFirstOneCurrent) {
    ASSERT_EQ(load("[X]\nx=1\n[Y]\ny=1\n"), 0);
    ASSERT_EQ(sheet_->SetSection("Y"), 0);
    ASSERT_EQ(sheet_->RenameSection("X"), 0);
    ASSERT_EQ(sheet_->SetString("added", "1"), 0);
    EXPECT_EQ(saved(), "\n[]\n\n[X]\nx=1\nadded=1\n\n[X]\ny=1\n");

    ASSERT_EQ(sheet_->RemoveSection(), 0);
    ASSERT_EQ(sheet_->SetSection("X"), 0) << "the later one of the name is found now";
    EXPECT_EQ(value("y"), "1");
    ASSERT_EQ(sheet_->RenameSection("Z"), 0);
    EXPECT_EQ(sheet_->SetSection("X"), OM_E_FAIL);
    EXPECT_EQ(saved(), "\n[]\n\n[Z]\ny=1\n");
    ASSERT_EQ(sheet_->RemoveSection(), 0);
    ASSERT_EQ(sheet_->RemoveSection(), 0) << "the unnamed one";
    EXPECT_EQ(sheet_->RenameSection("W"), OM_E_FAIL) << "no current section";
}

TEST_F(PropertySheetTest, OverlongNamesAreRefused) {
    std::string name = repeat('n', 256);
    EXPECT_EQ(sheet_->UseSection(name.c_str()), OM_E_FAIL);
    EXPECT_EQ(sheet_->SetString(name.c_str(), "v"), OM_E_FAIL);
    EXPECT_EQ(sheet_->RenameSection(name.c_str()), OM_E_FAIL);
    name.pop_back();
    EXPECT_EQ(sheet_->UseSection(name.c_str()), 0);
    EXPECT_EQ(sheet_->SetString(name.c_str(), "v"), 0);
}

TEST_F(PropertySheetTest, FailuresOfMemoryAndStreams) {
    platform::fail_allocation_after(2); // the key's name copy works, its value copy fails
    EXPECT_EQ(sheet_->SetString("key", "value"), OM_E_FAIL);
    EXPECT_EQ(sheet_->GetStringLength("key"), 0u);
    char buffer[8];
    EXPECT_EQ(sheet_->GetString("key", buffer, sizeof buffer), OM_E_FAIL);
    EXPECT_EQ(saved(), "\n[]\nkey=\n");

    ComRef<IByteStream> stream;
    ASSERT_EQ(OmCreateTextStream("", stream.put()), 0);
    platform::fail_allocation_after(1, true);
    EXPECT_EQ(sheet_->Save(stream.get()), OM_E_OUTOFMEMORY);
    EXPECT_EQ(sheet_->UseSection("new"), OM_E_FAIL);
    platform::reset_allocation_faults();

    ComRef<IUnknown> other;
    EXPECT_EQ(sheet_->QueryInterface(IID_IByteStream, other.put_void()), OM_E_NOINTERFACE);
}

} // namespace
