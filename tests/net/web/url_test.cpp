// URL parsing and parts as a table, the URL text functions, opening by scheme, and File
// reading and writing through the storage service (a recording storage and the real one).
#include "framework/core/component.h"
#include "framework/io/stream_helpers.h"
#include "tests/net/web/web_test_support.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using webtest::WebTest;

std::string part(IOmUrl* u, uint32_t id) {
    std::vector<char> b(4096);
    EXPECT_EQ(u->GetPart(id, b.data(), static_cast<uint32_t>(b.size())), 0);
    return b.data();
}
std::string parts(IOmUrl* u) {
    return part(u, OM_URL_SCHEME) + "|" + part(u, OM_URL_HOST) + "|" + part(u, OM_URL_PATH) + "|" +
           part(u, OM_URL_FILE);
}

struct Step {
    uint32_t id;
    std::string text;
    OmResult result;
    const char* parts; // scheme|host|path|file afterwards
};

TEST_F(WebTest, UrlPartsFollowTheirRules) {
    const std::string host127(127, 'h'), path1023 = "/" + std::string(1021, 'p') + "/",
                                         file1023(1023, 'f');
    const std::vector<Step> steps = {
        {OM_URL_TEXT, "http://example/a/b/c.txt", 0, "http|example|/a/b/|c.txt"},
        {OM_URL_TEXT, "d/e.txt", 0, "http|example|/a/b/d/|e.txt"},
        {OM_URL_TEXT, "f.txt", 0, "http|example|/a/b/d/|f.txt"},
        {OM_URL_TEXT, "/x/y.txt?q=1", 0, "http|example|/x/|y.txt?q=1"},
        {OM_URL_RELATIVE, "z/", 0, "http|example|/x/z/|"},
        {OM_URL_TEXT, "http://example", OM_E_FAIL, "http|example|/x/z/|"},
        {OM_URL_TEXT, "http://a/b://c/d", OM_E_FAIL, "http|example|/x/z/|"},
        {OM_URL_TEXT, "ftp://files:2121/pub/x", 0, "ftp|files:2121|/pub/|x"},
        {OM_URL_PATH, "docs", 0, "ftp|files:2121|/docs/|"},
        {OM_URL_FILE, "a.txt", 0, "ftp|files:2121|/docs/|a.txt"},
        {OM_URL_PATH, "/docs", 0, "ftp|files:2121|/docs/|"},
        {OM_URL_HOST, "other", 0, "ftp|other||"},
        {OM_URL_SCHEME, "http", 0, "http|||"},
        // The widths: 8, 127, 1023, 1023; one more is refused and changes nothing.
        {OM_URL_SCHEME, "abcdefgh", 0, "abcdefgh|||"},
        {OM_URL_SCHEME, "abcdefghi", OM_E_FAIL, "abcdefgh|||"},
        {OM_URL_HOST, host127, 0, nullptr},
        {OM_URL_HOST, host127 + "h", OM_E_FAIL, nullptr},
        {OM_URL_PATH, path1023, 0, nullptr},
        {OM_URL_PATH, path1023 + "p", OM_E_FAIL, nullptr},
        {OM_URL_FILE, file1023, 0, nullptr},
        {OM_URL_FILE, file1023 + "f", OM_E_FAIL, nullptr},
        {OM_URL_TEXT, "http://" + host127 + "h/a/b", OM_E_FAIL, nullptr},
        {OM_URL_TEXT, "abcdefghi://h/a/b", OM_E_FAIL, nullptr},
        {OM_URL_TEXT, "http://h/a/" + file1023 + "f", OM_E_FAIL, nullptr},
        // A relative "//" path after a host ending in ':' would give a text that does not
        // read back as its parts (a second "://").
        {OM_URL_TEXT, "ftp://h:/a/b.txt", 0, "ftp|h:|/a/|b.txt"},
        {OM_URL_RELATIVE, "//e.txt", OM_E_FAIL, "ftp|h:|/a/|b.txt"},
        {OM_URL_TEXT, "http://h/a/b", 0, "http|h|/a/|b"},
        {OM_URL_RELATIVE, "//e.txt", 0, "http|h|//|e.txt"},
        {OM_URL_TEXT, "http://h/a/b", 0, "http|h|/a/|b"},
        {8, "x", OM_E_FAIL, "http|h|/a/|b"},
        {0, "x", OM_E_FAIL, "http|h|/a/|b"},
    };
    ComRef<IOmUrl> u = url();
    EXPECT_EQ(parts(u.get()), "http|localhost|/Ormic6/|ponents.txt");
    std::string before = parts(u.get());
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << s.id << " " << s.text.substr(0, 40));
        EXPECT_EQ(u->SetPart(s.id, s.text.c_str()), s.result);
        const std::string now = parts(u.get());
        if (s.parts != nullptr) {
            EXPECT_EQ(now, s.parts);
        }
        if (s.result < 0) {
            EXPECT_EQ(now, before);
        }
        before = now;
    }
}

TEST_F(WebTest, UrlGetPartCopiesOnlyWhatFits) {
    ComRef<IOmUrl> u = url();
    ASSERT_EQ(u->SetPart(OM_URL_TEXT, "http://example/a/b/c.txt"), 0);
    EXPECT_EQ(part(u.get(), OM_URL_TEXT), "http://example/a/b/c.txt");
    EXPECT_EQ(part(u.get(), OM_URL_RELATIVE), "/a/b/c.txt");
    char b[8] = "xxxxxxx";
    EXPECT_EQ(u->GetPart(OM_URL_FILE, b, 5), OM_E_FAIL); // "c.txt" needs 6
    EXPECT_STREQ(b, "xxxxxxx");
    EXPECT_EQ(u->GetPart(OM_URL_FILE, b, 6), 0);
    EXPECT_STREQ(b, "c.txt");
    EXPECT_EQ(u->GetPart(OM_URL_RELOAD, b, 1), 0);
    EXPECT_EQ(b[0], 0);
    ASSERT_EQ(u->SetPart(OM_URL_RELOAD, "yes"), 0);
    EXPECT_EQ(u->GetPart(OM_URL_RELOAD, b, 1), 0);
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(u->GetPart(9, b, sizeof b), OM_E_FAIL);
}

TEST_F(WebTest, UrlTextFunctionsSplitTheirParts) {
    struct Row {
        OmResult (*function)(const char*, char*, uint32_t);
        const char* text;
        OmResult result;
        const char* part;
    };
    const std::string host39(39, 'h');
    const std::string with39 = "http://" + host39 + "/p/f.txt";
    const std::string with40 = "http://" + host39 + "h/p/f.txt";
    const Row rows[] = {
        {OmUrlGetScheme, "http://h/p/f.txt", 0, "http"},
        {OmUrlGetScheme, "no colon here", 0, ""},
        {OmUrlGetScheme, "\"a:b\":c", 0, "\"a:b\""},
        {OmUrlGetHost, "http://h:81/p/f.txt", 0, "h:81"},
        {OmUrlGetHost, "//h/p", 0, "h"},
        {OmUrlGetHost, "http://h", 0, "h"},
        {OmUrlGetHost, "http:/h/p", OM_E_FAIL, nullptr},
        {OmUrlGetPath, "http://h/p/q/f.txt?x=1&y=/z", 0, "/p/q/f.txt"},
        {OmUrlGetPath, "http://h", 0, ""},
        {OmUrlGetPath, with39.c_str(), 0, "/p/f.txt"},
        {OmUrlGetPath, with40.c_str(), OM_E_FAIL, nullptr},
        {OmUrlGetPath, "h/p", OM_E_FAIL, nullptr},
        {OmUrlGetFileName, "/a/b/c.txt", 0, "c.txt"},
        {OmUrlGetFileName, "/a/b/", 0, ""},
        {OmUrlGetFileName, "/a/\"b/c\"", 0, "\"b/c\""},
        {OmUrlGetFileName, "plain", OM_E_FAIL, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        char b[64] = "unchanged";
        EXPECT_EQ(row.function(row.text, b, sizeof b), row.result);
        if (row.part != nullptr) {
            EXPECT_STREQ(b, row.part);
        }
    }
    char small[4];
    EXPECT_EQ(OmUrlGetScheme("http://h/", small, 4), OM_E_FAIL);
    EXPECT_EQ(OmUrlGetScheme("ftp://h/", small, 4), 0);
}

TEST_F(WebTest, OpenRefusesSchemesItDoesNotKnow) {
    for (const char* text : {"HTTP://127.0.0.1/x.txt", "gopher://h/x", "Ftp://h/x"}) {
        SCOPED_TRACE(text);
        ComRef<IOmUrl> u = url();
        ASSERT_EQ(u->SetPart(OM_URL_TEXT, text), 0);
        ComRef<IByteStream> s;
        EXPECT_EQ(u->Open(s.put()), OM_E_UNKNOWNSCHEME);
        EXPECT_FALSE(s);
    }
}

// --- File --------------------------------------------------------------------------------

inline constexpr GUID CLSID_RecordingStorage = om_guid("6A0E4C1B-3F52-4D8A-9B7E-2C4F6E8A1D30");
std::vector<std::string> opened;

// Serves every name as a small text and notes the names and modes it was asked for.
class RecordingStorage final : public OmObject<RecordingStorage, IFileStorage> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IFileStorage, static_cast<IFileStorage*>(this)}});
    }
    OmResult Open(const char* path, uint32_t mode, uint32_t kind, IByteStream** out) override {
        opened.push_back(std::string(path) + " " + std::to_string(mode) + " " +
                         std::to_string(kind));
        return OmCreateTextStream("stored text", out);
    }
    OmResult Rename(const char*, const char*) override { return OM_E_FAIL; }
    OmResult Delete(const char*) override { return OM_E_FAIL; }
    OmResult MakeDirectory(const char*) override { return OM_E_FAIL; }
    OmResult Reserved1(void*, void*) override { return OM_E_FAIL; }
    OmResult Reserved2(void*, void*) override { return OM_E_FAIL; }
    OmResult Enumerate(const char*, OmEnumerateCallback, void*) override { return OM_E_FAIL; }
    OmResult GetInfo(const char*, OmFileInfo*) override { return OM_E_FAIL; }
};

const OmClassRecord recordingClasses[] = {
    {&CLSID_RecordingStorage, nullptr, nullptr, OmCreateComponent<RecordingStorage>, "Recording"}};
OM_DEFINE_MODULE(RecordingStorage, recordingClasses)

TEST_F(WebTest, FileOpensHostPathAndFileNameThroughTheStorage) {
    ASSERT_EQ(RecordingStorage_RegisterClasses(OmGetObjectManager()), 0);
    ASSERT_EQ(OmSetTreatAsClass(CLSID_Storage, &CLSID_RecordingStorage), 0);
    opened.clear();
    ComRef<IOmUrlParts> file;
    ASSERT_EQ(OmCreate(CLSID_File, IID_IOmUrlParts, file.put()), 0);
    ComRef<IByteStream> s;
    ASSERT_EQ(file->QueryInterface(IID_IByteStream, s.put_void()), 0);
    EXPECT_EQ(s->Seek(0, OM_SEEK_START, nullptr), OM_E_FAIL); // nothing open yet
    ASSERT_EQ(file->SetPart(OM_PART_PATH, "/"), 0);
    ASSERT_EQ(file->SetPart(OM_PART_FILE, "notes.txt"), 0);
    EXPECT_TRUE(opened.empty());
    char b[16] = {};
    uint32_t count = 0;
    EXPECT_EQ(s->Read(b, 6, &count), 0);
    EXPECT_EQ(std::string(b, count), "stored");
    EXPECT_EQ(s->Read(b, 5, &count), 0); // the same file goes on
    ASSERT_EQ(file->SetPart(OM_PART_HOST, "server"), 0);
    ASSERT_EQ(file->SetPart(OM_PART_PATH, "data"), 0);
    ASSERT_EQ(file->SetPart(OM_PART_FILE, "intro.txt"), 0);
    EXPECT_EQ(s->Write("x", 1, &count), 0);
    EXPECT_EQ(opened, (std::vector<std::string>{"/notes.txt 1 1", "//server/data/intro.txt 2 1"}));
    EXPECT_EQ(file->SetPart(OM_PART_RELOAD, "x"), OM_E_FAIL);
    EXPECT_EQ(file->GetPart(OM_PART_PATH, b, sizeof b), 0);
    EXPECT_STREQ(b, "/data/");
    EXPECT_EQ(RecordingStorage_UnregisterClasses(OmGetObjectManager()), 0);
}

TEST_F(WebTest, FileUrlsReadAndWriteRealFiles) {
    testsupport::TempDir dir;
    dir.write_file("notes.txt", "from the disk");
    ComRef<IOmUrl> u = url();
    ASSERT_EQ(u->SetPart(OM_URL_TEXT, ("file://" + dir.path() + "/notes.txt").c_str()), 0);
    ComRef<IByteStream> s;
    ASSERT_EQ(u->Open(s.put()), 0);
    char b[32] = {};
    uint32_t count = 0;
    EXPECT_EQ(s->Read(b, sizeof b, &count), OM_E_ENDOFSTREAM);
    EXPECT_EQ(std::string(b, count), "from the disk");

    ASSERT_EQ(u->SetPart(OM_URL_TEXT, "missing.txt"), 0);
    ComRef<IByteStream> missing;
    ASSERT_EQ(u->Open(missing.put()), 0); // files open at the first read
    EXPECT_EQ(missing->Read(b, 1, &count), OM_E_FAIL);

    ASSERT_EQ(u->SetPart(OM_URL_TEXT, "written.txt"), 0);
    ComRef<IByteStream> out;
    ASSERT_EQ(u->Open(out.put()), 0);
    EXPECT_EQ(out->Write("new", 3, &count), 0);
    out.reset();
    EXPECT_EQ(dir.read_file("written.txt"), "new");
}

} // namespace
