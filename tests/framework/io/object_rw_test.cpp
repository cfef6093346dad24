// ObjectRW and MetaObjectRW: options, extensions, dispatch by extension, base directory and
// the cache.
#include "framework/io/meta_object_rw.h"

#include "framework/containers/values.h"
#include "framework/core/com_ref.h"
#include "framework/io/stream_helpers.h"
#include "platform/paths.h"
#include "tests/support/framework_classes.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/temp_dir.h"

#include <cstring>
#include <string>

namespace {

constexpr GUID CATID_TestFormats = om_guid("5E1A0050-0000-4000-8000-00000000A001");
constexpr GUID CLSID_TextRW = om_guid("5E1A0051-0000-4000-8000-00000000A001");
constexpr GUID CLSID_PictureRW = om_guid("5E1A0052-0000-4000-8000-00000000A001");

// Counts the options every TextRW has been given.
int option_calls = 0;

// A reader/writer of plain text files as String values.
class TextRW final : public ObjectRWBase<TextRW> {
public:
    TextRW() { extensions_ = "txt;text"; }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IObjectRW, this}});
    }
    OmResult ReadStream(IByteStream* stream, const char*, IUnknown*, const GUID& iid,
                        void** out) override {
        char* text = nullptr;
        OmResult r = OmStreamReadAll(stream, &text);
        if (r < 0) return r;
        IString* value = nullptr;
        r = OmNewString(text, &value);
        OmFreeMemory(text);
        if (r < 0) return r;
        r = value->QueryInterface(iid, out);
        value->Release();
        return r;
    }
    OmResult WriteStream(IByteStream* stream, const char*, IUnknown* object) override {
        ComRef<IString> text;
        if (!object || object->QueryInterface(IID_IString, text.put_void()) < 0) return OM_E_FAIL;
        return stream->Write(text->Get(), uint32_t(std::strlen(text->Get())), nullptr);
    }
    OmResult SetOption(uint32_t id, uint32_t value) override {
        ++option_calls;
        return ObjectRWBase::SetOption(id, value);
    }
};

// Stands for a reader with a longer extension list.
class PictureRW final : public ObjectRWBase<PictureRW> {
public:
    PictureRW() { extensions_ = "jpeg;jpg"; }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IObjectRW, this}});
    }
};

const GUID* const test_formats[] = {&CATID_TestFormats, nullptr};
const OmClassRecord format_classes[] = {
    {&CLSID_TextRW, test_formats, nullptr, OmCreateComponent<TextRW>, "TextRW"},
    {&CLSID_PictureRW, test_formats, nullptr, OmCreateComponent<PictureRW>, "PictureRW"}};

} // namespace

OM_DEFINE_MODULE(TestFormats, format_classes)

namespace {

class ObjectRWTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        option_calls = 0;
        testsupport::register_container_classes(OmGetObjectManager());
        testsupport::register_storage_classes(OmGetObjectManager());
        testsupport::register_system_classes(OmGetObjectManager());
        TestFormats_RegisterClasses(OmGetObjectManager());
        ObjectRW_RegisterClasses(OmGetObjectManager());
        MetaObjectRW_RegisterClasses(OmGetObjectManager());
        ASSERT_EQ(OmCreate(CLSID_MetaObjectRW, IID_IMetaObjectRW, meta_.put()), 0);
        ASSERT_EQ(meta_->QueryInterface(IID_IObjectRW, rw_.put_void()), 0);
        ASSERT_EQ(meta_->SetBaseDirectory((dir_.path() + "/").c_str()), 0);
    }
    void TearDown() override {
        rw_.reset();
        meta_.reset();
        FrameworkTest::TearDown();
    }
    ComRef<IString> load(const char* path, OmResult* result = nullptr) {
        ComRef<IString> text;
        OmResult r = meta_->Load(path, IID_IString, text.put_void());
        if (result) *result = r;
        return text;
    }

    testsupport::TempDir dir_;
    ComRef<IMetaObjectRW> meta_;
    ComRef<IObjectRW> rw_;
};

TEST_F(ObjectRWTest, BaseOptionsAndExtensions) {
    ComRef<IObjectRW> base;
    ASSERT_EQ(OmCreate(CLSID_ObjectRW, IID_IObjectRW, base.put()), 0);
    uint32_t values[3];
    for (uint32_t id = 0; id < 3; ++id) ASSERT_EQ(base->GetOption(id, &values[id]), 0);
    EXPECT_EQ(values[0], 0u);
    EXPECT_EQ(values[1], 0u);
    EXPECT_EQ(values[2], 1u);
    ASSERT_EQ(base->SetOption(0, 7), 0);
    uint32_t value = 99;
    ASSERT_EQ(base->GetOption(0, &value), 0);
    EXPECT_EQ(value, 7u);
    value = 99;
    EXPECT_EQ(base->GetOption(5, &value), OM_E_FAIL);
    EXPECT_EQ(value, 99u) << "untouched";
    EXPECT_EQ(base->SetOption(5, 1), OM_E_FAIL);
    char buffer[10] = "x";
    ASSERT_EQ(base->GetExtensions(buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    void* out = &out;
    EXPECT_EQ(base->ReadStream(nullptr, "", nullptr, IID_IString, &out), OM_E_FAIL);
    EXPECT_EQ(out, nullptr);

    ComRef<IObjectRW> picture;
    ASSERT_EQ(OmCreate(CLSID_PictureRW, IID_IObjectRW, picture.put()), 0);
    EXPECT_EQ(picture->GetExtensions(buffer, 9), OM_E_FAIL) << "8 characters need 10 bytes";
    ASSERT_EQ(picture->GetExtensions(buffer, 10), 0);
    EXPECT_STREQ(buffer, "jpeg;jpg");
}

TEST_F(ObjectRWTest, ExtensionIsTheLastDottedFieldInLowerCase) {
    struct Row {
        const char* path;
        const char* extension;
    };
    const Row rows[] = {{"art/Plane.BMP", "bmp"},
                        {"dir.v2/file", "v2/file"},
                        {"noext", "noext"},
                        {"a.b.Jpeg", "jpeg"},
                        {"x.abcdefghijklmnopqrstuvwxyz", "abcdefghijklmnopqrs"},
                        {"trailing.", ""}};
    for (const Row& row : rows) {
        char extension[OM_EXTENSION_MAX_LENGTH + 1];
        ASSERT_EQ(OmObjectRWPathExtension(row.path, extension), 0);
        EXPECT_STREQ(extension, row.extension) << row.path;
    }
}

TEST_F(ObjectRWTest, IdentityIsTheObjectRWInterface) {
    ComRef<IUnknown> identity;
    ASSERT_EQ(meta_->QueryInterface(IID_IUnknown, identity.put_void()), 0);
    EXPECT_EQ(identity.get(), static_cast<IUnknown*>(rw_.get()));
    EXPECT_NE(static_cast<void*>(meta_.get()), static_cast<void*>(rw_.get()));
    ComRef<IMetaObjectRW> back;
    ASSERT_EQ(rw_->QueryInterface(IID_IMetaObjectRW, back.put_void()), 0);
    EXPECT_EQ(back.get(), meta_.get());
    void* out = &out;
    EXPECT_EQ(rw_->QueryInterface(IID_IString, &out), OM_E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST_F(ObjectRWTest, CategoryReadersAreChosenByExtension) {
    ASSERT_EQ(meta_->AddCategory(CATID_TestFormats), 0);
    char list[64];
    ASSERT_EQ(rw_->GetExtensions(list, sizeof list), 0);
    for (const char* extension : {"txt", "text", "jpeg", "jpg"}) {
        EXPECT_NE(std::strstr(list, extension), nullptr) << list;
        IObjectRW* reader = nullptr;
        EXPECT_EQ(meta_->GetReader(extension, &reader), 0);
    }
    EXPECT_EQ(std::strlen(list), std::strlen("txt;text;jpeg;jpg"));
    IObjectRW* reader = nullptr;
    EXPECT_EQ(meta_->GetReader("wav", &reader), OM_E_FAIL);

    dir_.write_file("note.TXT", "hello");
    ComRef<IString> text = load("note.TXT");
    ASSERT_TRUE(text);
    EXPECT_STREQ(text->Get(), "hello");
    OmResult r = 0;
    EXPECT_FALSE(load("note.wav", &r));
    EXPECT_EQ(r, OM_E_FAIL) << "no reader for the extension";
    EXPECT_FALSE(load("missing.txt", &r));
    EXPECT_LT(r, 0);
}

TEST_F(ObjectRWTest, CacheHandsOutTheSameObjectWithoutTheStorage) {
    ASSERT_EQ(meta_->AddClass(CLSID_TextRW), 0);
    EXPECT_EQ(meta_->AddClass(CATID_TestFormats), OM_E_NOTFOUND) << "not a class";
    dir_.write_file("a.txt", "one");
    ASSERT_EQ(rw_->SetOption(OM_META_OPTION_CACHE, 1), 0);
    ComRef<IString> first = load("a.txt");
    ASSERT_TRUE(first);
    ASSERT_EQ(meta_->SetStorage(nullptr), 0);
    ComRef<IString> second = load("a.txt");
    EXPECT_EQ(second.get(), first.get());
    OmResult r = 0;
    EXPECT_FALSE(load("b.txt", &r)) << "a path not cached needs the storage";
    int cached = 0;
    meta_->ForEachCached(
        [](const char*, IUnknown*, void* count) {
            ++*static_cast<int*>(count);
            return OM_S_OK;
        },
        &cached);
    EXPECT_EQ(cached, 1) << "a failed load leaves the cache unchanged";
    ASSERT_EQ(meta_->RemoveFromCache("a.txt"), 0);
    EXPECT_EQ(meta_->RemoveFromCache("a.txt"), OM_E_FAIL);
}

TEST_F(ObjectRWTest, SaveWritesOrOnlyCaches) {
    ASSERT_EQ(meta_->AddClass(CLSID_TextRW), 0);
    ComRef<IString> text;
    ASSERT_EQ(OmNewString("saved", text.put()), 0);
    ASSERT_EQ(meta_->Save("out.txt", text.get()), 0);
    EXPECT_EQ(dir_.read_file("out.txt"), "saved");

    ASSERT_EQ(rw_->SetOption(OM_META_OPTION_CACHE, 1), 0);
    ASSERT_EQ(rw_->SetOption(OM_META_OPTION_WRITE_NONE, 1), 0);
    ASSERT_EQ(meta_->Save("other.txt", text.get()), 0);
    EXPECT_EQ(dir_.read_file("other.txt"), "") << "nothing written";
    ComRef<IString> cached = load("other.txt");
    EXPECT_EQ(cached.get(), text.get()) << "still cached";
    uint32_t value = 0;
    ASSERT_EQ(rw_->GetOption(OM_META_OPTION_WRITE_NONE, &value), 0);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(rw_->GetOption(0, &value), OM_E_FAIL);
}

TEST_F(ObjectRWTest, OtherOptionsReachEveryRegistration) {
    ASSERT_EQ(meta_->AddClass(CLSID_TextRW), 0);
    ASSERT_EQ(rw_->SetOption(2, 0), 0);
    EXPECT_EQ(option_calls, 2) << "one reader under two extensions hears it twice";
}

TEST_F(ObjectRWTest, BaseDirectoryAndFullPathLimits) {
    char buffer[OM_META_PATH_SIZE];
    EXPECT_EQ(meta_->SetBaseDirectory(std::string(258, 'd').c_str()), 0);
    EXPECT_EQ(meta_->SetBaseDirectory(std::string(259, 'd').c_str()), OM_E_FAIL);
    EXPECT_EQ(meta_->GetBaseDirectory(buffer, 258), OM_E_FAIL);
    ASSERT_EQ(meta_->GetBaseDirectory(buffer, 259), 0);
    EXPECT_EQ(std::string(buffer), std::string(258, 'd'));

    ASSERT_EQ(meta_->AddClass(CLSID_TextRW), 0);
    const std::string base = dir_.path() + "/";
    ASSERT_EQ(meta_->SetBaseDirectory(base.c_str()), 0);
    const std::string fits = std::string(259 - base.size() - 4, 'p') + ".txt";
    const std::string too_long = "p" + fits;
    dir_.write_file(fits, "long");
    dir_.write_file(too_long.substr(too_long.size() - 200), "decoy");
    ComRef<IString> text = load(fits.c_str());
    ASSERT_TRUE(text) << "a full path of 259 characters";
    EXPECT_STREQ(text->Get(), "long");
    OmResult r = 0;
    EXPECT_FALSE(load(too_long.c_str(), &r));
    EXPECT_EQ(r, OM_E_FAIL);
    EXPECT_EQ(meta_->Save(too_long.c_str(), text.get()), OM_E_FAIL);
}

TEST_F(ObjectRWTest, FreshDispatcherStartsInTheProgramDirectory) {
    ComRef<IMetaObjectRW> fresh;
    ASSERT_EQ(OmCreate(CLSID_MetaObjectRW, IID_IMetaObjectRW, fresh.put()), 0);
    char buffer[OM_META_PATH_SIZE];
    ASSERT_EQ(fresh->GetBaseDirectory(buffer, sizeof buffer), 0);
    EXPECT_EQ(std::string(buffer), platform::program_dir() + "/");
    IFileStorage* storage = nullptr;
    ASSERT_EQ(fresh->GetStorage(&storage), 0);
    EXPECT_NE(storage, nullptr);
}

} // namespace
