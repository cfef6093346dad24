// The archiver: value forms in text and binary, object numbering, and damaged archives.
#include "framework/io/archiver.h"

#include "framework/core/com_ref.h"
#include "tests/framework/io/stream_bytes.h"
#include "tests/support/framework_classes.h"
#include "tests/support/framework_fixture.h"

#include <cstring>
#include <string>

namespace {

using testsupport::bytes_of;
using testsupport::le32;
using testsupport::stream_of;

constexpr GUID CLSID_ArchiveNode = om_guid("5E1A0030-0000-4000-8000-00000000A001");
constexpr GUID IID_IArchiveNode = om_guid("5E1A0031-0000-4000-8000-00000000A001");

struct IArchiveNode : IUnknown {
    virtual int32_t& value() = 0;
    virtual char* name() = 0;
    virtual IUnknown*& child() = 0;
};

// A node with a number, a name and one child, archiving itself.
class ArchiveNode final : public OmObject<ArchiveNode, IArchiveNode, IArchivable> {
public:
    ~ArchiveNode() {
        if (child_) child_->Release();
    }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IArchiveNode, static_cast<IArchiveNode*>(this)},
                                   {&IID_IArchivable, static_cast<IArchivable*>(this)}});
    }
    int32_t& value() override { return value_; }
    char* name() override { return name_; }
    IUnknown*& child() override { return child_; }

    OmResult Transfer(IArchive* archive) override {
        GUID clsid = CLSID_ArchiveNode;
        uint32_t code = om_archive_code("NODE");
        OmResult r = archive->Transfer(OM_ARCHIVE_GUID, &clsid, sizeof clsid);
        if (r >= 0) r = archive->Transfer(OM_ARCHIVE_CODE, &code, sizeof code);
        if (r >= 0) r = archive->Transfer(OM_ARCHIVE_INT, &value_, sizeof value_);
        if (r >= 0) r = archive->Transfer(OM_ARCHIVE_STRING, name_, sizeof name_);
        if (r >= 0) r = archive->Transfer(OM_ARCHIVE_OBJECT, &child_, sizeof child_);
        return r;
    }

private:
    int32_t value_;
    char name_[16];
    IUnknown* child_;
};

const OmClassRecord node_classes[] = {
    {&CLSID_ArchiveNode, nullptr, nullptr, OmCreateComponent<ArchiveNode>, "ArchiveNode"}};

} // namespace

OM_DEFINE_MODULE(ArchiveNode, node_classes)

namespace {

class ArchiverTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        ArchiveNode_RegisterClasses(OmGetObjectManager());
        testsupport::register_storage_classes(OmGetObjectManager());
        ASSERT_EQ(OmCreate(CLSID_Archiver, IID_IArchiver, archiver_.put()), 0);
    }
    void TearDown() override {
        archiver_.reset();
        FrameworkTest::TearDown();
    }

    ComRef<IArchive> archive(uint32_t mode, bool text, IByteStream* stream) {
        ComRef<IArchive> a;
        OmResult r = text ? archiver_->CreateArchive(mode, stream, a.put())
                          : archiver_->CreateBinaryArchive(mode, stream, a.put());
        EXPECT_EQ(r, 0);
        return a;
    }
    // The bytes of one transfer written in the given form.
    std::string written(bool text, int32_t type, void* data, uint32_t size) {
        auto stream = stream_of("");
        EXPECT_EQ(archive(OM_ARCHIVE_WRITE, text, stream.get())->Write(type, data, size), 0);
        return bytes_of(stream.get());
    }
    // Reads one transfer from the bytes; the result code.
    OmResult read(bool text, const std::string& bytes, int32_t type, void* data, uint32_t size) {
        auto stream = stream_of(bytes);
        return archive(OM_ARCHIVE_READ, text, stream.get())->Read(type, data, size);
    }

    static ComRef<IArchiveNode> node(int32_t value, const char* name) {
        ComRef<IArchiveNode> n;
        EXPECT_EQ(OmCreate(CLSID_ArchiveNode, IID_IArchiveNode, n.put()), 0);
        n->value() = value;
        std::strcpy(n->name(), name);
        return n;
    }

    ComRef<IArchiver> archiver_;
};

TEST_F(ArchiverTest, ValueFormsInTextAndBinary) {
    float real = 1.5f;
    int32_t number = -12;
    uint32_t code = om_archive_code("ABCD");
    char text[] = "abc";
    uint8_t byte = 0x0A;
    GUID guid = om_guid("12345678-9ABC-DEF0-1122-334455667788");
    struct Row {
        int32_t type;
        void* data;
        uint32_t size;
        std::string text;
        std::string binary;
    };
    const Row rows[] = {
        {OM_ARCHIVE_FLOAT, &real, 4, "1.500000 \n", std::string("\0\0\xC0\x3F", 4)},
        {OM_ARCHIVE_INT, &number, 4, "-12 \n", le32(uint32_t(-12))},
        {OM_ARCHIVE_CODE, &code, 4, "ABCD \n", "ABCD"},
        {OM_ARCHIVE_STRING, text, 4, "\"abc\" \n", le32(3) + "abc" + std::string(1, '\0')},
        {OM_ARCHIVE_BYTE, &byte, 1, "0a \n", "\x0A"},
        {OM_ARCHIVE_GUID, &guid, 16, "12345678-9ABC-DEF0-11,22-33,44,55,66,77,88 \n",
         "\x78\x56\x34\x12\xBC\x9A\xF0\xDE\x11\x22\x33\x44\x55\x66\x77\x88"},
    };
    for (const Row& row : rows) {
        const std::string& binary = row.binary;
        EXPECT_EQ(written(true, row.type, row.data, row.size), row.text) << row.type;
        EXPECT_EQ(written(false, row.type, row.data, row.size), binary) << row.type;
        for (bool as_text : {true, false}) {
            uint8_t back[16] = {};
            ASSERT_EQ(read(as_text, as_text ? row.text : binary, row.type, back, row.size), 0)
                << row.type;
            EXPECT_EQ(std::memcmp(back, row.data, row.size), 0) << row.type;
        }
    }
}

TEST_F(ArchiverTest, SizeGivesTheNumberOfElements) {
    int32_t numbers[3] = {1, 2, 3};
    EXPECT_EQ(written(true, OM_ARCHIVE_INT, numbers, sizeof numbers), "1 2 3 \n");
    EXPECT_EQ(written(true, OM_ARCHIVE_INT, numbers, 0), "1 \n") << "size 0 is one element";
    uint8_t bytes[2] = {0xff, 0x01};
    EXPECT_EQ(written(true, OM_ARCHIVE_BYTE, bytes, 2), "ff 01 \n");
}

TEST_F(ArchiverTest, DirectionAndTypeAreChecked) {
    auto stream = stream_of("7 ");
    auto reading = archive(OM_ARCHIVE_READ, true, stream.get());
    int32_t number = 0;
    EXPECT_NE(reading->IsReading(), 0);
    EXPECT_EQ(reading->IsWriting(), 0);
    EXPECT_EQ(reading->Write(OM_ARCHIVE_INT, &number, 4), OM_E_FAIL);
    EXPECT_EQ(reading->Read(7, &number, 4), OM_E_FAIL);
    GUID guid{};
    EXPECT_EQ(reading->Transfer(OM_ARCHIVE_GUID, &guid, 16), 0) << "passed over when reading";
    EXPECT_EQ(reading->Transfer(OM_ARCHIVE_INT, &number, 4), 0);
    EXPECT_EQ(number, 7);
    auto writing = archive(OM_ARCHIVE_WRITE, true, stream.get());
    EXPECT_EQ(writing->Read(OM_ARCHIVE_INT, &number, 4), OM_E_FAIL);
}

TEST_F(ArchiverTest, ObjectsAreNumberedOnceAndReferredToAfterwards) {
    auto shared = node(5, "a b");
    auto child = node(6, "kid");
    child->AddRef();
    shared->child() = child.get();
    IUnknown* pointers[3] = {shared.get(), shared.get(), nullptr};

    for (bool text : {true, false}) {
        auto stream = stream_of("");
        ASSERT_EQ(archive(OM_ARCHIVE_WRITE, text, stream.get())
                      ->Transfer(OM_ARCHIVE_OBJECT, pointers, sizeof pointers),
                  0);
        const std::string bytes = bytes_of(stream.get());
        if (text) {
            EXPECT_EQ(bytes.substr(0, 9), "OBJECT 1 ");
            EXPECT_NE(bytes.find("OBJECT 2 "), std::string::npos);
            EXPECT_EQ(bytes.substr(bytes.size() - 18), "REFERENCE 1 NULL \n");
        }
        IUnknown* back[3] = {};
        stream->Seek(0, OM_SEEK_START, nullptr);
        ASSERT_EQ(archive(OM_ARCHIVE_READ, text, stream.get())
                      ->Transfer(OM_ARCHIVE_OBJECT, back, sizeof back),
                  0)
            << bytes;
        ComRef<IArchiveNode> first, second;
        ASSERT_EQ(back[0]->QueryInterface(IID_IArchiveNode, first.put_void()), 0);
        EXPECT_EQ(back[1], back[0]) << "one object, referred to again";
        EXPECT_EQ(back[2], nullptr);
        EXPECT_EQ(first->value(), 5);
        EXPECT_STREQ(first->name(), "a b");
        ASSERT_EQ(first->child()->QueryInterface(IID_IArchiveNode, second.put_void()), 0);
        EXPECT_EQ(second->value(), 6);
        EXPECT_EQ(second->child(), nullptr);
        back[0]->Release();
        back[1]->Release();
    }
}

TEST_F(ArchiverTest, DamagedArchivesFail) {
    const std::string node_text = "NODE 1 \"n\" ";
    std::string deep;
    for (int i = 1; i <= 300; ++i)
        deep += "OBJECT " + std::to_string(i) + " 5E1A0030-0000-4000-80,00-00,00,00,00,A0,01 " +
                node_text;
    struct Row {
        const char* what;
        bool text;
        std::string bytes;
    };
    const Row rows[] = {
        {"unknown word", true, "BOGUS 1 "},
        {"number far ahead", true, "OBJECT 999999999 "},
        {"number zero", true, "OBJECT 0 "},
        {"reference to nothing", true, "REFERENCE 5 "},
        {"number with letters", true, "REFERENCE 1x "},
        {"unknown class", true, "OBJECT 1 11111111-0000-4000-80,00-00,00,00,00,A0,01 NODE "},
        {"bad class text", true, "OBJECT 1 1234 NODE "},
        {"nested too deep", true, deep},
        {"empty", true, ""},
        {"binary unknown marker", false, "WHAT" + le32(1)},
        {"binary cut", false, "OBJ "},
    };
    for (const Row& row : rows) {
        IUnknown* object = nullptr;
        EXPECT_LT(read(row.text, row.bytes, OM_ARCHIVE_OBJECT, &object, sizeof object), 0)
            << row.what;
        EXPECT_EQ(object, nullptr) << row.what;
    }

    int32_t number = 0;
    EXPECT_EQ(read(true, std::string(200, '9') + " ", OM_ARCHIVE_INT, &number, 4), OM_E_FAIL)
        << "a long token is cut, and the number is too large anyway";
    uint32_t code = 0;
    EXPECT_EQ(read(true, "ABC ", OM_ARCHIVE_CODE, &code, 4), OM_E_FAIL);
    uint8_t byte = 0;
    EXPECT_EQ(read(true, "1g ", OM_ARCHIVE_BYTE, &byte, 1), OM_E_FAIL);
    char small[4];
    EXPECT_EQ(read(true, "\"abcdefgh\" 5 ", OM_ARCHIVE_STRING, small, sizeof small), 0);
    EXPECT_STREQ(small, "abc") << "cut to the buffer";
    EXPECT_EQ(read(false, le32(6) + "abcdefgh", OM_ARCHIVE_STRING, small, sizeof small), 0);
    EXPECT_STREQ(small, "abc");
    EXPECT_LT(read(false, le32(0xFFFFFFF0u) + "abc", OM_ARCHIVE_STRING, small, sizeof small), 0);
    EXPECT_EQ(read(true, "no-quote ", OM_ARCHIVE_STRING, small, sizeof small), OM_E_FAIL);
}

TEST_F(ArchiverTest, RegistrationsAreKeptPerIdAndKey) {
    const GUID id = om_guid("5E1A0040-0000-4000-8000-00000000A001");
    EXPECT_EQ(archiver_->Unregister(&id, 1), OM_E_FAIL);
    ASSERT_EQ(archiver_->Register(&id, 1, 10), 0);
    ASSERT_EQ(archiver_->Register(&id, 1, 20), 0) << "an existing entry stays";
    ASSERT_EQ(archiver_->Register(&id, 2, 30), 0);
    EXPECT_EQ(archiver_->Unregister(&id, 1), 0);
    EXPECT_EQ(archiver_->Unregister(&id, 1), OM_E_FAIL);
    EXPECT_EQ(archiver_->Unregister(&id, 2), 0);
}

} // namespace
