// File storage on a temporary tree reached through a drive letter, mixed case and '\'.
#include "framework/containers/property_sheet.h"
#include "framework/platform/file_storage.h"
#include "platform/paths.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/module_object.h"
#include "tests/support/temp_dir.h"

#include <string>
#include <vector>

namespace {

class FileStorageTest : public testsupport::FrameworkTest {
protected:
    FileStorageTest() {
        platform::set_drive_root('t', tree_.path());
        storage_ = testsupport::module_object<IFileStorage>(Win32Storage_GetClassObject,
                                                            CLSID_Win32Storage, IID_IFileStorage);
        tree_.write_file("Data/Planes/Camel.ini", "[Camel]\nspeed=90\n");
        tree_.write_file("Data/four", "1234");
        tree_.make_dir("Data/Empty");
    }
    ~FileStorageTest() override { platform::set_drive_root('t', ""); }
    void TearDown() override {
        storage_.reset();
        FrameworkTest::TearDown();
    }

    ComRef<IByteStream> open(const char* path, uint32_t mode, OmResult expected = 0) {
        ComRef<IByteStream> stream;
        EXPECT_EQ(storage_->Open(path, mode, OM_OPEN_BINARY, stream.put()), expected) << path;
        return stream;
    }
    std::string read_all(const char* path) {
        ComRef<IByteStream> s = open(path, OM_OPEN_READ);
        if (!s) return "<no stream>";
        std::string out;
        char buffer[64];
        uint32_t done = 0;
        do {
            s->Read(buffer, sizeof buffer, &done);
            out.append(buffer, done);
        } while (done == sizeof buffer);
        return out;
    }
    void write(const char* path, uint32_t mode, const std::string& text) {
        ComRef<IByteStream> s = open(path, mode);
        if (s) {
            EXPECT_EQ(s->Write(text.data(), uint32_t(text.size()), nullptr), 0);
        }
    }

    testsupport::TempDir tree_;
    ComRef<IFileStorage> storage_;
};

TEST_F(FileStorageTest, OpensThroughDriveFormsCaseAndBackslashes) {
    const char* same_file[] = {"/dev/drive-t/Data/Planes/Camel.ini",
                               "/dev/drive-T/data/PLANES/camel.INI",
                               "/dev/drive-t/data\\planes\\CAMEL.ini"};
    for (const char* path : same_file) EXPECT_EQ(read_all(path), "[Camel]\nspeed=90\n") << path;
}

TEST_F(FileStorageTest, RelativePathsStartAtTheCurrentDirectory) {
    std::string before = platform::resolve_path(".");
    ASSERT_EQ(platform::change_dir(tree_.path()), 0);
    EXPECT_EQ(read_all("data/planes/camel.ini"), "[Camel]\nspeed=90\n");
    platform::change_dir(before);
}

TEST_F(FileStorageTest, ShortReadAtTheEndReportsTheEnd) {
    ComRef<IByteStream> s = open("/dev/drive-t/data/four", OM_OPEN_READ);
    char buffer[10];
    uint32_t done = 99;
    EXPECT_EQ(s->Read(buffer, 10, &done), OM_E_ENDOFSTREAM);
    EXPECT_EQ(done, 4u);
    EXPECT_EQ(s->Read(buffer, 10, &done), OM_E_ENDOFSTREAM);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(s->Read(buffer, 1, &done), OM_E_ENDOFSTREAM) << "the single-byte path too";
    EXPECT_EQ(s->Write("x", 1, &done), OM_E_FAIL) << "opened for reading";
}

TEST_F(FileStorageTest, SeekingReportsPositions) {
    ComRef<IByteStream> s = open("/dev/drive-t/data/four", OM_OPEN_READ);
    struct Row {
        int32_t offset;
        uint32_t origin;
        OmResult result;
        uint32_t position;
    };
    const Row rows[] = {{0, OM_SEEK_END, 0, 4},
                        {-1, OM_SEEK_END, 0, 3},
                        {1, OM_SEEK_START, 0, 1},
                        {2, OM_SEEK_CURRENT, 0, 3},
                        {-5, OM_SEEK_CURRENT, OM_E_FAIL, 3},
                        {0, 4, OM_E_FAIL, 3}};
    for (const Row& row : rows) {
        uint32_t position = 99;
        EXPECT_EQ(s->Seek(row.offset, row.origin, &position), row.result) << row.offset;
        if (row.result == 0) {
            EXPECT_EQ(position, row.position) << row.offset;
        }
    }
    char c;
    ASSERT_EQ(s->Read(&c, 1, nullptr), 0);
    EXPECT_EQ(c, '4');
}

TEST_F(FileStorageTest, WriteTruncatesAndAppendAddsInEitherKind) {
    write("/dev/drive-t/data/new.txt", OM_OPEN_WRITE, "first\r\n");
    EXPECT_EQ(tree_.read_file("Data/new.txt"), "first\r\n");
    write("/dev/drive-t/data/NEW.txt", OM_OPEN_APPEND, "second\n");
    EXPECT_EQ(tree_.read_file("Data/new.txt"), "first\r\nsecond\n");
    ComRef<IByteStream> text;
    ASSERT_EQ(storage_->Open("/dev/drive-t/data/new.txt", OM_OPEN_WRITE, OM_OPEN_TEXT, text.put()),
              0);
    ASSERT_EQ(text->Write("a\nb", 3, nullptr), 0);
    text.reset();
    EXPECT_EQ(tree_.read_file("Data/new.txt"), "a\nb") << "text is kept byte for byte";
    write("/dev/drive-t/data/appended", OM_OPEN_APPEND, "made");
    EXPECT_EQ(tree_.read_file("Data/appended"), "made");
}

TEST_F(FileStorageTest, OpenFailures) {
    struct Row {
        const char* path;
        uint32_t mode;
        uint32_t kind;
    };
    const Row rows[] = {{"/dev/drive-t/data/missing", OM_OPEN_READ, OM_OPEN_BINARY},
                        {"/dev/drive-t/nodir/x", OM_OPEN_WRITE, OM_OPEN_BINARY},
                        {"/dev/drive-t", OM_OPEN_READ, OM_OPEN_BINARY},
                        {"/dev/drive-t/data/planes", OM_OPEN_READ, OM_OPEN_BINARY},
                        {"/dev/drive-t/data/four", 0, OM_OPEN_BINARY},
                        {"/dev/drive-t/data/four", 4, OM_OPEN_BINARY},
                        {"/dev/drive-t/data/four", OM_OPEN_READ, 0},
                        {"/dev/drive-t/data/four", OM_OPEN_READ, 3}};
    for (const Row& row : rows) {
        IByteStream* stream = reinterpret_cast<IByteStream*>(1);
        EXPECT_EQ(storage_->Open(row.path, row.mode, row.kind, &stream), OM_E_FAIL) << row.path;
        EXPECT_EQ(stream, nullptr);
    }
    std::string long_path = "/dev/drive-t/" + std::string(300, 'x');
    ComRef<IByteStream> s;
    EXPECT_EQ(storage_->Open(long_path.c_str(), OM_OPEN_READ, OM_OPEN_BINARY, s.put()), OM_E_FAIL);
}

TEST_F(FileStorageTest, RenameReplacesTheTarget) {
    tree_.write_file("Data/target", "old");
    EXPECT_EQ(storage_->Rename("/dev/drive-t/DATA/FOUR", "/dev/drive-t/data/target"), 0);
    EXPECT_EQ(tree_.read_file("Data/target"), "1234");
    EXPECT_EQ(storage_->Rename("/dev/drive-t/data/four", "/dev/drive-t/data/x"), OM_E_FAIL);
    EXPECT_EQ(storage_->Rename("/dev/drive-t/data/empty", "/dev/drive-t/data/Moved"), 0);
    OmFileInfo info{};
    EXPECT_EQ(storage_->GetInfo("/dev/drive-t/data/moved", &info), 0);
    EXPECT_EQ(info.kind, OM_FILE_DIRECTORY);
}

TEST_F(FileStorageTest, DeleteAndMakeDirectory) {
    EXPECT_EQ(storage_->MakeDirectory("/dev/drive-t/data/Made"), 0);
    EXPECT_EQ(storage_->MakeDirectory("/dev/drive-t/data/made"), OM_E_FAIL) << "exists";
    EXPECT_EQ(storage_->MakeDirectory("/dev/drive-t/nowhere/deeper"), OM_E_FAIL);
    EXPECT_EQ(storage_->Delete("/dev/drive-t/data/MADE"), 0);
    EXPECT_EQ(storage_->Delete("/dev/drive-t/data/made"), OM_E_FAIL) << "gone";
    EXPECT_EQ(storage_->Delete("/dev/drive-t/data/four"), 0);
    OmFileInfo info{};
    EXPECT_EQ(storage_->GetInfo("/dev/drive-t/data/four", &info), OM_E_FAIL);
    EXPECT_EQ(storage_->Delete("/dev/drive-t/data/planes"), OM_E_FAIL) << "not empty";
    EXPECT_EQ(storage_->Reserved1(nullptr, nullptr), OM_E_FAIL);
    EXPECT_EQ(storage_->Reserved2(nullptr, nullptr), OM_E_FAIL);
}

TEST_F(FileStorageTest, GetInfoKindsAndSizes) {
    OmFileInfo info{9, 9};
    ASSERT_EQ(storage_->GetInfo("/dev/drive-t/data/planes/camel.ini", &info), 0);
    EXPECT_EQ(info.kind, OM_FILE_REGULAR);
    EXPECT_EQ(info.size, 17u);
    ASSERT_EQ(storage_->GetInfo("/dev/drive-t/data", &info), 0);
    EXPECT_EQ(info.kind, OM_FILE_DIRECTORY);
    EXPECT_EQ(info.size, 0u);
    EXPECT_EQ(storage_->GetInfo("/dev/drive-t/missing", &info), OM_E_FAIL);
}

struct Listing {
    std::vector<std::string> entries;
    int stop_after = -1;
    static OmResult collect(const char* name, uint32_t kind, void* context) {
        auto* self = static_cast<Listing*>(context);
        self->entries.push_back(std::string(name) + (kind == OM_FILE_DIRECTORY ? "/" : ""));
        if (int(self->entries.size()) == self->stop_after) return OM_E_FAIL;
        return int32_t(self->entries.size());
    }
};

TEST_F(FileStorageTest, EnumerateListsMatchesInOrder) {
    tree_.write_file("Data/b.INI", "");
    tree_.write_file("Data/a.ini", "");
    struct Row {
        const char* pattern;
        OmResult result;
        std::vector<std::string> entries;
    };
    const std::vector<Row> rows = {
        {"/dev/drive-t/data/*", 7, {"./", "../", "a.ini", "b.INI", "Empty/", "four", "Planes/"}},
        {"/dev/drive-t/DATA/*.ini", 2, {"a.ini", "b.INI"}},
        {"/dev/drive-t/data/?.ini", 2, {"a.ini", "b.INI"}},
        {"/dev/drive-t/data/f*.*", 1, {"four"}},
        {"/dev/drive-t/data/*.bmp", OM_E_NOTHINGENUMERATED, {}},
        {"/dev/drive-t/nodir/*", OM_E_NOTHINGENUMERATED, {}},
    };
    for (const Row& row : rows) {
        Listing listing;
        EXPECT_EQ(storage_->Enumerate(row.pattern, Listing::collect, &listing), row.result)
            << row.pattern;
        EXPECT_EQ(listing.entries, row.entries) << row.pattern;
    }
    Listing stopped;
    stopped.stop_after = 2;
    EXPECT_EQ(storage_->Enumerate("/dev/drive-t/data/*", Listing::collect, &stopped), OM_E_FAIL);
    EXPECT_EQ(stopped.entries.size(), 2u);
}

TEST_F(FileStorageTest, OneServiceObjectAtATime) {
    ComRef<IFileStorage> second = testsupport::module_object<IFileStorage>(
        Win32Storage_GetClassObject, CLSID_Win32Storage, IID_IFileStorage);
    EXPECT_EQ(second.get(), storage_.get());
    storage_.reset();
    EXPECT_EQ(second.detach()->Release(), 0u) << "the last reference frees the service";
    storage_ = testsupport::module_object<IFileStorage>(Win32Storage_GetClassObject,
                                                        CLSID_Win32Storage, IID_IFileStorage);
    ASSERT_NE(storage_.get(), nullptr) << "and a later creation makes a new one";
    storage_->AddRef();
    EXPECT_EQ(storage_->Release(), 1u);
}

TEST_F(FileStorageTest, PropertySheetRoundTripsThroughFiles) {
    tree_.write_file("Data/in.ini", "a=1\r\n[S]\nb=2\n[S]\nb=3\nc=4");
    ComRef<IPropertySheet> sheet = testsupport::module_object<IPropertySheet>(
        PropertySheet_GetClassObject, CLSID_PropertySheet, IID_IPropertySheet);
    ComRef<IByteStream> in = open("/dev/drive-t/DATA/IN.INI", OM_OPEN_READ);
    ASSERT_EQ(sheet->Load(in.get()), 0);
    in.reset();
    ComRef<IByteStream> out = open("/dev/drive-t/data/out.ini", OM_OPEN_WRITE);
    ASSERT_EQ(sheet->Save(out.get()), 0);
    out.reset();
    EXPECT_EQ(tree_.read_file("Data/out.ini"), "\n[]\na=1\n\n[S]\nb=3\nc=4\n");
}

} // namespace
