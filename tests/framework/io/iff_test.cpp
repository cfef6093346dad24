// IFF: chunk layout, the chunk-limited stream, object graphs with shared members, and
// damaged files.
#include "framework/io/iff.h"

#include "framework/containers/com_array.h"
#include "framework/containers/com_hash.h"
#include "framework/containers/simple_array.h"
#include "framework/containers/values.h"
#include "tests/framework/io/stream_bytes.h"
#include "tests/support/framework_classes.h"
#include "tests/support/framework_fixture.h"

#include <malloc.h>
#include <string>

namespace {

using testsupport::bytes_of;
using testsupport::chunk;
using testsupport::header;
using testsupport::le32;
using testsupport::stream_of;

class IffTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override { testsupport::register_container_classes(OmGetObjectManager()); }
    void TearDown() override {
        out_.reset();
        FrameworkTest::TearDown();
    }

    ComRef<IIFF> writer() {
        out_ = stream_of("");
        return file_on(OM_IFF_WRITE, out_.get());
    }
    static ComRef<IIFF> reader(const std::string& bytes) {
        auto stream = stream_of(bytes);
        return file_on(OM_IFF_READ, stream.get());
    }
    static ComRef<IIFF> file_on(uint32_t mode, IByteStream* stream) {
        ComRef<IIFF> file;
        EXPECT_EQ(OmNewIFF(file.put()), 0);
        EXPECT_EQ(file->SetStream(mode, stream), 0);
        return file;
    }
    // Writes one object graph and hands back the bytes.
    std::string written(IUnknown* object) {
        auto file = writer();
        EXPECT_EQ(file->TransferObject(&object), 0);
        return bytes_of(out_.get());
    }
    // Reads one object from the bytes; the result code goes to *result.
    static ComRef<IUnknown> read_back(const std::string& bytes, OmResult* result = nullptr) {
        auto file = reader(bytes);
        ComRef<IUnknown> object;
        OmResult r = file->TransferObject(object.put());
        if (result) {
            *result = r;
        } else {
            EXPECT_EQ(r, 0);
        }
        return object;
    }

    ComRef<IByteStream> out_;
};

template <class T>
ComRef<T> as(IUnknown* object, const GUID& iid) {
    ComRef<T> typed;
    if (object) object->QueryInterface(iid, typed.put_void());
    return typed;
}

ComRef<IInt> new_int(int32_t value) {
    ComRef<IInt> i;
    EXPECT_EQ(OmNewInt(value, i.put()), 0);
    return i;
}

TEST_F(IffTest, IntIsTagSizeAndValueLittleEndian) {
    auto value = new_int(0x01020304);
    EXPECT_EQ(written(value.get()), chunk("INT ", "\x04\x03\x02\x01"));
    EXPECT_EQ(written(value.get()).substr(0, 4), " TNI");
    auto back = as<IInt>(read_back(written(value.get())).get(), IID_IInt);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Get(), 0x01020304);
}

TEST_F(IffTest, NestedChunkHeaderAndDataCountInTheParent) {
    auto file = writer();
    ASSERT_EQ(file->BeginChunk(om_chunk_tag("OUTR")), 0);
    ASSERT_EQ(file->Transfer(const_cast<char*>("ab"), 2), 0);
    ASSERT_EQ(file->BeginChunk(om_chunk_tag("INNR")), 0);
    ASSERT_EQ(file->Transfer(const_cast<char*>("xyz"), 3), 0);
    uint32_t tag = 0, size = 0;
    file->GetChunk(&tag, &size);
    EXPECT_EQ(tag, om_chunk_tag("INNR"));
    EXPECT_EQ(size, 3u);
    ASSERT_EQ(file->EndChunk(), 0);
    file->GetChunk(&tag, &size);
    EXPECT_EQ(size, 2u + 8 + 3);
    ASSERT_EQ(file->EndChunk(), 0);
    EXPECT_EQ(file->EndChunk(), OM_E_FAIL) << "nothing left open";
    EXPECT_EQ(bytes_of(out_.get()), chunk("OUTR", "ab" + chunk("INNR", "xyz")));
}

TEST_F(IffTest, ChunkLimitedStreamEndsAtTheChunksData) {
    auto file = reader(chunk("DATA", "abc") + "more bytes after it");
    ComRef<IByteStream> inside;
    ASSERT_EQ(file->QueryInterface(IID_IByteStream, inside.put_void()), 0);
    ASSERT_EQ(file->BeginChunk(0), 0) << "tag 0 opens whatever comes";
    char buffer[16] = {};
    uint32_t done = 0;
    EXPECT_EQ(inside->Read(buffer, sizeof buffer, &done), 0);
    EXPECT_EQ(std::string(buffer, done), "abc");
    EXPECT_EQ(inside->Read(buffer, 1, &done), OM_E_ENDOFSTREAM);
    uint32_t position = 0;
    EXPECT_EQ(inside->Seek(-2, OM_SEEK_END, &position), 0);
    EXPECT_EQ(position, 1u);
    EXPECT_EQ(inside->Seek(10, OM_SEEK_CURRENT, &position), 0);
    EXPECT_EQ(position, 3u) << "reading seeks stay inside the data";
    EXPECT_EQ(inside->Seek(0, 7, &position), OM_E_FAIL);
    EXPECT_EQ(inside->Write("x", 1, nullptr), OM_E_FAIL) << "read mode";
    ASSERT_EQ(file->EndChunk(), 0);
    EXPECT_EQ(inside->Read(buffer, 4, &done), 0) << "no chunk open: the stream itself";
    EXPECT_EQ(std::string(buffer, done), "more");
}

TEST_F(IffTest, PeekAndSkipLeaveOrConsumeTheNextChunk) {
    auto file = reader(chunk("AAAA", "12") + chunk("BBBB", ""));
    uint32_t tag = 0, size = 0;
    ASSERT_EQ(file->PeekChunk(&tag, &size), 0);
    EXPECT_EQ(tag, om_chunk_tag("AAAA"));
    EXPECT_EQ(size, 2u);
    ASSERT_EQ(file->SkipChunk(), 0);
    ASSERT_EQ(file->PeekChunk(&tag, &size), 0);
    EXPECT_EQ(tag, om_chunk_tag("BBBB"));
    EXPECT_EQ(file->BeginChunk(om_chunk_tag("CCCC")), OM_E_FAIL);
    EXPECT_EQ(file->PeekChunk(&tag, &size), OM_E_ENDOFSTREAM) << "the mismatched header is gone";

    auto out = writer();
    EXPECT_EQ(out->PeekChunk(&tag, &size), OM_E_FAIL);
    EXPECT_EQ(out->SkipChunk(), OM_E_FAIL);
}

TEST_F(IffTest, NullIsAnEmptyChunkAndReadsBackAsNull) {
    EXPECT_EQ(written(nullptr), chunk("NULL", ""));
    IUnknown* object = reinterpret_cast<IUnknown*>(&object);
    auto file = reader(chunk("NULL", ""));
    ASSERT_EQ(file->TransferObject(&object), 0);
    EXPECT_EQ(object, nullptr);
}

TEST_F(IffTest, ASharedObjectIsWrittenOnceThenAsReference) {
    auto shared = new_int(7);
    auto file = writer();
    IUnknown* object = shared.get();
    ASSERT_EQ(file->TransferObject(&object), 0);
    ASSERT_EQ(file->TransferObject(&object), 0);
    EXPECT_EQ(bytes_of(out_.get()), chunk("INT ", le32(7)) + chunk("REF ", le32(0)));

    ASSERT_EQ(file->Reset(), 0);
    ASSERT_EQ(file->TransferObject(&object), 0);
    EXPECT_EQ(bytes_of(out_.get()).substr(24), chunk("INT ", le32(7))) << "numbering restarts";
}

TEST_F(IffTest, ObjectGraphWithASharedMemberRoundTrips) {
    ComRef<ICOMArray> array;
    ASSERT_EQ(OmNewCOMArray(array.put()), 0);
    ComRef<IObjHash> hash;
    ASSERT_EQ(OmCreateObjHash(nullptr, hash.put()), 0);
    auto member = new_int(42);
    member->AddRef();
    array->Append(member.get());
    array->Append(nullptr);
    member->AddRef();
    ASSERT_EQ(hash->Set("member", member.get()), 0);
    ASSERT_EQ(hash->SetString("name", "camel"), 0);
    hash->AddRef();
    array->Append(hash.get());
    array->AddRef();
    array->Append(array.get()); // the array holds itself: a cycle

    const std::string bytes = written(array.get());
    EXPECT_EQ(bytes.find(chunk("INT ", le32(42))), bytes.rfind(chunk("INT ", le32(42))))
        << "the member is written once";
    ASSERT_EQ(array->SetCount(0), 0) << "breaks the cycle before the array goes";

    auto back = as<ICOMArray>(read_back(bytes).get(), IID_ICOMArray);
    ASSERT_TRUE(back);
    ASSERT_EQ(back->Count(), 4);
    auto read_member = as<IInt>(back->GetAt(0), IID_IInt);
    ASSERT_TRUE(read_member);
    EXPECT_EQ(read_member->Get(), 42);
    EXPECT_EQ(back->GetAt(1), nullptr);
    auto read_hash = as<IObjHash>(back->GetAt(2), IID_IObjHash);
    ASSERT_TRUE(read_hash);
    EXPECT_EQ(read_hash->Get("member"), back->GetAt(0)) << "one object, two holders";
    EXPECT_STREQ(read_hash->GetString("name", nullptr), "camel");
    EXPECT_EQ(back->GetAt(3), static_cast<IUnknown*>(back.get())) << "the cycle is restored";
    back->SetCount(0);
}

TEST_F(IffTest, EveryDefaultTagReadsBack) {
    ComRef<IString> text;
    ASSERT_EQ(OmNewString("hello", text.put()), 0);
    ComRef<IReal> real;
    ASSERT_EQ(OmNewReal(2.5f, real.put()), 0);
    ComRef<IGuidValue> guid;
    ASSERT_EQ(OmNewGuid(CLSID_IFF, guid.put()), 0);
    int pointee = 0;
    ComRef<IPtr> pointer;
    ASSERT_EQ(OmNewPtr(&pointee, pointer.put()), 0);
    ComRef<ISimpleArray> numbers;
    ASSERT_EQ(OmNewSimpleArray(numbers.put()), 0);
    ASSERT_EQ(numbers->Init(3, 2), 0);
    const int32_t pairs[] = {1, 2, 3, 4};
    numbers->Append(pairs);
    numbers->Append(pairs + 2);
    ComRef<ICOMHash> plain;
    ASSERT_EQ(OmCreate(CLSID_COMHash, IID_ICOMHash, plain.put()), 0);
    real->AddRef();
    plain->Set("r", real.get());
    ComRef<ICOMArray> array;
    ASSERT_EQ(OmNewCOMArray(array.put()), 0);
    ComRef<IObjHash> hash;
    ASSERT_EQ(OmCreateObjHash(nullptr, hash.put()), 0);
    hash->SetInt("i", -3);
    auto number = new_int(9);

    struct Row {
        const char* tag;
        IUnknown* object;
    };
    const Row rows[] = {{"STRI", text.get()},  {"INT ", number.get()},  {"REAL", real.get()},
                        {"GUID", guid.get()},  {"PTR ", pointer.get()}, {"SARR", numbers.get()},
                        {"CHAS", plain.get()}, {"CARR", array.get()},   {"OHAS", hash.get()}};
    for (const Row& row : rows) {
        const std::string bytes = written(row.object);
        EXPECT_EQ(bytes.substr(0, 4),
                  (std::string{row.tag[3], row.tag[2], row.tag[1], row.tag[0]}));
        ComRef<IUnknown> back = read_back(bytes);
        ASSERT_TRUE(back) << row.tag;
        EXPECT_EQ(written(back.get()), bytes) << row.tag << " writes the same bytes again";
    }
    EXPECT_EQ(pointer->Get(), nullptr) << "writing a pointer clears it";
    int32_t multiplicity = 0;
    auto back = as<ISimpleArray>(read_back(written(numbers.get())).get(), IID_ISimpleArray);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->GetKind(&multiplicity, nullptr), 3);
    EXPECT_EQ(multiplicity, 2);
    ASSERT_EQ(back->Count(), 2);
    EXPECT_EQ(static_cast<int32_t*>(back->GetAt(1))[1], 4);
}

TEST_F(IffTest, StringChunksAlwaysReadBackTerminated) {
    struct Row {
        std::string data;
        const char* expected;
    };
    const Row rows[] = {{std::string("\0", 1), ""}, {"", ""}, {"abc", "abc"}};
    for (const Row& row : rows) {
        auto text = as<IString>(read_back(chunk("STRI", row.data)).get(), IID_IString);
        ASSERT_TRUE(text);
        EXPECT_STREQ(text->Get(), row.expected);
    }
    ComRef<IString> fresh;
    ASSERT_EQ(OmNewString(nullptr, fresh.put()), 0);
    EXPECT_EQ(written(fresh.get()), chunk("STRI", std::string("\0", 1)));
}

TEST_F(IffTest, DamagedFilesFailWithoutCrashing) {
    const std::string name = chunk("STRI", std::string("k\0", 2));
    std::string deep = chunk("INT ", le32(1));
    for (int i = 0; i < 2000; ++i) deep = chunk("CARR", deep);
    struct Row {
        const char* what;
        std::string bytes;
        OmResult expected;
    };
    const Row rows[] = {
        {"empty file", "", OM_E_ENDOFSTREAM},
        {"cut header", "IN", OM_E_FAIL},
        {"short int", chunk("INT ", "\1\2"), OM_E_FAIL},
        {"size past the file", header("INT ", 100) + le32(1), OM_E_FAIL},
        {"huge size", header("STRI", 0xFFFFFFFFu) + "abc", OM_E_FAIL},
        {"reference to nothing", chunk("REF ", le32(0)), OM_E_FAIL},
        {"reference far out", chunk("REF ", le32(0xFFFFFFFFu)), OM_E_FAIL},
        {"short reference", chunk("REF ", "\1"), OM_E_FAIL},
        {"unknown tag", chunk("ABCD", ""), OM_E_FAIL},
        {"name too long", chunk("OHAS", chunk("STRI", std::string(81, 'n'))), OM_E_FAIL},
        {"name without object", chunk("OHAS", name), OM_E_FAIL},
        {"hash of something else", chunk("CHAS", chunk("INT ", le32(1))), OM_E_FAIL},
        {"child larger than parent", chunk("CARR", header("INT ", 40) + le32(1)), OM_E_FAIL},
        {"cut element header", chunk("CARR", chunk("INT ", le32(1)) + "TNI"), OM_E_FAIL},
        {"element cut short", chunk("CARR", chunk("INT ", "\1")), OM_E_FAIL},
        {"array count past chunk", chunk("SARR", le32(3) + le32(1) + le32(1000) + le32(5)),
         OM_E_FAIL},
        {"array of unknown kind", chunk("SARR", le32(12) + le32(1) + le32(0)), OM_E_FAIL},
        {"negative array count", chunk("SARR", le32(3) + le32(1) + le32(0xFFFFFFFFu)), OM_E_FAIL},
        {"nesting too deep", deep, OM_E_FAIL},
    };
    for (const Row& row : rows) {
        OmResult r = 0;
        ComRef<IUnknown> object = read_back(row.bytes, &r);
        EXPECT_EQ(r, row.expected) << row.what;
        EXPECT_FALSE(object) << row.what;
    }
}

// Found by fuzzing: a container that failed to read kept the members it had, and a member
// referring back to the container (or to its parent, or a finished member to itself) kept
// the whole part alive in a cycle.
TEST_F(IffTest, AFailedReadLeavesNoCycleBehind) {
    const std::string name = chunk("STRI", std::string("x\0", 2));
    const std::string back_to_first = chunk("REF ", le32(0));
    const std::string cut_int = chunk("INT ", "\1");
    const std::string files[] = {
        chunk("CARR", chunk("OHAS", name + back_to_first) + cut_int),
        chunk("OHAS", name + chunk("CARR", back_to_first) + name + cut_int),
        chunk("CARR", back_to_first + chunk("CARR", back_to_first + cut_int)),
        chunk("CHAS", name + chunk("CARR", back_to_first) + "cut"),
        // A hash that holds itself reads whole; the array around it fails afterwards.
        chunk("CARR", chunk("OHAS", name + chunk("REF ", le32(1))) + "cut"),
    };
    for (const std::string& bytes : files) {
        const int64_t live = framework_.leaked_blocks();
        OmResult r = 0;
        EXPECT_FALSE(read_back(bytes, &r));
        EXPECT_LT(r, 0);
        EXPECT_EQ(framework_.leaked_blocks(), live) << "the partial graph is gone";
    }
}

// Found by fuzzing: a hash naming the same object twice kept the reference of the second
// mention, so the object (or, when it is the hash itself, the hash) never went.
TEST_F(IffTest, ANameRepeatedWithTheSameObjectHoldsOneReference) {
    const std::string name = chunk("STRI", std::string("x\0", 2));
    const std::string files[] = {
        chunk("OHAS", name + chunk("INT ", le32(1)) + name + chunk("REF ", le32(1))),
        chunk("OHAS", name + chunk("REF ", le32(0)) + name + chunk("REF ", le32(0)) + "cut"),
    };
    for (const std::string& bytes : files) {
        const int64_t live = framework_.leaked_blocks();
        OmResult r = 0;
        read_back(bytes, &r);
        EXPECT_EQ(framework_.leaked_blocks(), live) << "read result " << r;
    }
}

// Found by fuzzing: reading an empty SimpleArray reserved room for one element of the size
// its header announced, which may be gigabytes that the file backs with nothing.
TEST_F(IffTest, AnEmptyArrayReservesNoRoomForItsAnnouncedElement) {
    const int32_t multiplicity = 40000000; // 48-byte values: elements of 1.92 GB
    const std::string bytes = chunk("SARR", le32(6) + le32(multiplicity) + le32(0));
    const auto heap_in_use = [] {
        const struct mallinfo2 info = mallinfo2();
        return info.uordblks + info.hblkhd;
    };
    const size_t before = heap_in_use();
    auto back = as<ISimpleArray>(read_back(bytes).get(), IID_ISimpleArray);
    ASSERT_TRUE(back);
    const size_t after = heap_in_use();
    EXPECT_LT(after > before ? after - before : 0, size_t(1) << 20);
    int32_t read_multiplicity = 0, element_size = 0;
    EXPECT_EQ(back->GetKind(&read_multiplicity, &element_size), 6);
    EXPECT_EQ(read_multiplicity, multiplicity);
    EXPECT_EQ(element_size, 48 * multiplicity);
    EXPECT_EQ(back->Count(), 0);
    EXPECT_EQ(written(back.get()), bytes);
}

TEST_F(IffTest, EveryTruncationOfAGraphFails) {
    ComRef<IObjHash> hash;
    ASSERT_EQ(OmCreateObjHash(nullptr, hash.put()), 0);
    hash->SetString("name", "value");
    hash->SetReal("r", 1.0f);
    ComRef<ICOMArray> array;
    ASSERT_EQ(OmNewCOMArray(array.put()), 0);
    hash->AddRef();
    array->Append(hash.get());
    hash->AddRef();
    array->Append(hash.get());
    const std::string bytes = written(array.get());
    for (size_t length = 0; length < bytes.size(); ++length) {
        OmResult r = 0;
        ComRef<IUnknown> object = read_back(bytes.substr(0, length), &r);
        EXPECT_LT(r, 0) << length;
        EXPECT_FALSE(object) << length;
    }
}

TEST_F(IffTest, ReadingFindsObjectsUntilTheFileEnds) {
    auto file = reader(chunk("INT ", le32(1)) + chunk("NULL", "") + chunk("REF ", le32(0)));
    ComRef<IUnknown> first, second, third;
    ASSERT_EQ(file->TransferObject(first.put()), 0);
    ASSERT_EQ(file->TransferObject(second.put()), 0);
    ASSERT_EQ(file->TransferObject(third.put()), 0);
    EXPECT_EQ(third.get(), first.get());
    EXPECT_FALSE(second);
    ComRef<IUnknown> fourth;
    EXPECT_EQ(file->TransferObject(fourth.put()), OM_E_ENDOFSTREAM);
}

TEST_F(IffTest, HandlersCanBeReplacedAndRemoved) {
    ComRef<IIFF> file;
    ASSERT_EQ(OmNewIFF(file.put()), 0);
    IffChunkHandler handler = nullptr;
    ASSERT_EQ(file->GetHandler(OM_TAG_INT, &handler), 0);
    EXPECT_NE(handler, nullptr);
    ASSERT_EQ(file->SetHandler(OM_TAG_INT, nullptr), 0);
    ASSERT_EQ(file->GetHandler(OM_TAG_INT, &handler), 0);
    EXPECT_EQ(handler, nullptr);
    auto stream = stream_of(chunk("INT ", le32(1)));
    file->SetStream(OM_IFF_READ, stream.get());
    ComRef<IUnknown> object;
    EXPECT_EQ(file->TransferObject(object.put()), OM_E_FAIL);
}

TEST_F(IffTest, ReleasingWithOpenChunksFinishesThem) {
    auto stream = stream_of("");
    {
        auto file = file_on(OM_IFF_WRITE, stream.get());
        ASSERT_EQ(file->BeginChunk(om_chunk_tag("OUTR")), 0);
        ASSERT_EQ(file->BeginChunk(om_chunk_tag("INNR")), 0);
        ASSERT_EQ(file->Transfer(const_cast<char*>("z"), 1), 0);
    }
    EXPECT_EQ(bytes_of(stream.get()), chunk("OUTR", chunk("INNR", "z")));
}

} // namespace
