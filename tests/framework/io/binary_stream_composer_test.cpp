// The bit codec: golden bytes, round trips of every field kind, failures.
#include "framework/io/binary_stream_composer.h"
#include "framework/io/memory_stream.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/module_object.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

class ComposerTest : public testsupport::FrameworkTest {
protected:
    ComposerTest() {
        composer_ = testsupport::module_object<IBinaryStreamComposer>(
            BinaryStreamComposer_GetClassObject, CLSID_BinaryStreamComposer,
            IID_IBinaryStreamComposer);
        stream_ = testsupport::module_object<IByteStream>(MemoryStream_GetClassObject,
                                                          CLSID_MemoryStream, IID_IByteStream);
    }
    void TearDown() override {
        composer_.reset();
        stream_.reset();
        FrameworkTest::TearDown();
    }
    std::vector<uint8_t> bytes() {
        uint32_t length = 0;
        stream_->Seek(0, OM_SEEK_END, &length);
        std::vector<uint8_t> out(length);
        stream_->Seek(0, OM_SEEK_START, nullptr);
        stream_->Read(out.data(), length, nullptr);
        return out;
    }
    void start_reading() {
        ASSERT_EQ(composer_->Attach(stream_.get(), OM_COMPOSER_READ), 0);
        ASSERT_EQ(composer_->Rewind(), 0);
    }

    ComRef<IBinaryStreamComposer> composer_;
    ComRef<IByteStream> stream_;
};

TEST_F(ComposerTest, PacksLeastSignificantBitFirst) {
    ASSERT_EQ(composer_->Attach(stream_.get(), OM_COMPOSER_WRITE), 0);
    EXPECT_EQ(composer_->GetMode(), OM_COMPOSER_WRITE);
    EXPECT_EQ(composer_->GetStream(), stream_.get());
    int32_t five = 5, thirty_three = 33;
    ASSERT_EQ(composer_->Field(OM_FIELD_INTEGER, 3, &five), 0);
    ASSERT_EQ(composer_->Field(OM_FIELD_INTEGER, 6, &thirty_three), 0);
    ASSERT_EQ(composer_->Flush(), 0);
    EXPECT_EQ(bytes(), (std::vector<uint8_t>{0x0D, 0x01}));

    start_reading();
    int32_t a = 0, b = 0;
    ASSERT_EQ(composer_->Field(OM_FIELD_INTEGER, 3, &a), 0);
    ASSERT_EQ(composer_->Field(OM_FIELD_INTEGER, 6, &b), 0);
    EXPECT_EQ(a, 5);
    EXPECT_EQ(b, 33);
}

TEST_F(ComposerTest, FlushOfAByteBoundaryStillWritesAByte) {
    ASSERT_EQ(composer_->Attach(stream_.get(), OM_COMPOSER_WRITE), 0);
    int32_t value = 0x1234;
    ASSERT_EQ(composer_->Field(OM_FIELD_INTEGER, 16, &value), 0);
    ASSERT_EQ(composer_->Flush(), 0);
    EXPECT_EQ(bytes(), (std::vector<uint8_t>{0x34, 0x12, 0x00}));
}

uint32_t bits_of(int32_t kind, uint32_t size) {
    if ((kind == OM_FIELD_INTEGER && size == 0) || kind == OM_FIELD_FLOAT) return 32;
    if (kind == OM_FIELD_BIT) return 1;
    if (kind == OM_FIELD_TWO_BITS) return 2;
    return size;
}

TEST_F(ComposerTest, EveryFieldKindRoundTrips) {
    struct Row {
        int32_t kind;
        uint32_t size;
        std::vector<uint8_t> value; // little-endian bytes of the field
    };
    const std::vector<Row> rows = {
        {OM_FIELD_INTEGER, 0, {0x78, 0x56, 0x34, 0x92}},
        {OM_FIELD_INTEGER, 7, {0x55, 0, 0, 0}},
        {OM_FIELD_BIT, 0, {1}},
        {OM_FIELD_INTEGER, 17, {0xFF, 0xFF, 0x01, 0}},
        {OM_FIELD_FLOAT, 0, {0x00, 0x00, 0xC0, 0x3F}},
        {OM_FIELD_TWO_BITS, 0, {2}},
        {OM_FIELD_BYTES, 24, {'a', 'b', 'c'}},
        {OM_FIELD_BITS, 13, {0xAB, 0x15}},
        {OM_FIELD_INTEGER, 32, {1, 2, 3, 4}},
    };
    ASSERT_EQ(composer_->Attach(stream_.get(), OM_COMPOSER_WRITE), 0);
    uint32_t total_bits = 0;
    for (const Row& row : rows) {
        std::vector<uint8_t> value = row.value;
        ASSERT_EQ(composer_->Field(row.kind, row.size, value.data()), 0) << row.kind;
        total_bits += bits_of(row.kind, row.size);
    }
    ASSERT_EQ(composer_->Flush(), 0);
    EXPECT_EQ(bytes().size(), total_bits / 8 + 1);

    start_reading();
    for (const Row& row : rows) {
        // Bytes the field reaches start as junk (reading clears them); the rest stay 0.
        std::vector<uint8_t> value(row.value.size(), 0);
        std::fill_n(value.begin(), (bits_of(row.kind, row.size) + 7) / 8, 0xEE);
        ASSERT_EQ(composer_->Field(row.kind, row.size, value.data()), 0) << row.kind;
        EXPECT_EQ(value, row.value) << "kind " << row.kind << " size " << row.size;
    }
}

TEST_F(ComposerTest, ReadingLeavesBytesBeyondTheFieldAlone) {
    ASSERT_EQ(composer_->Attach(stream_.get(), OM_COMPOSER_WRITE), 0);
    int32_t value = 3;
    ASSERT_EQ(composer_->Field(OM_FIELD_INTEGER, 4, &value), 0);
    ASSERT_EQ(composer_->Flush(), 0);
    start_reading();
    int32_t back = 0x7F7F7F7F;
    ASSERT_EQ(composer_->Field(OM_FIELD_INTEGER, 4, &back), 0);
    EXPECT_EQ(back, 0x7F7F7F03);
}

TEST_F(ComposerTest, StringsIntsAndFloats) {
    ASSERT_EQ(composer_->Attach(stream_.get(), OM_COMPOSER_WRITE), 0);
    char text[] = "wing";
    int32_t number = -2;
    float real = 0.25f;
    EXPECT_EQ(composer_->String(text), 0);
    EXPECT_EQ(composer_->Int(&number), 0);
    EXPECT_EQ(composer_->Float(&real), 0);
    EXPECT_EQ(bytes().size(), 12u) << "no NUL, no pending byte without Flush";

    start_reading();
    char back[] = "????";
    int32_t number_back = 0;
    float real_back = 0;
    EXPECT_EQ(composer_->String(back), 0);
    EXPECT_EQ(composer_->Int(&number_back), 0);
    EXPECT_EQ(composer_->Float(&real_back), 0);
    EXPECT_STREQ(back, "wing");
    EXPECT_EQ(number_back, -2);
    EXPECT_EQ(real_back, 0.25f);
}

TEST_F(ComposerTest, FailuresAreReported) {
    int32_t value = 0;
    EXPECT_EQ(composer_->Field(OM_FIELD_INTEGER, 8, &value), OM_E_FAIL) << "nothing attached";
    ASSERT_EQ(composer_->Attach(stream_.get(), OM_COMPOSER_WRITE), 0);
    EXPECT_EQ(composer_->Field(7, 8, &value), OM_E_BADPROPERTY);
    EXPECT_EQ(composer_->Field(0, 8, &value), OM_E_BADPROPERTY);
    EXPECT_EQ(composer_->Field(OM_FIELD_INTEGER, 33, &value), OM_E_FAIL);

    start_reading();
    EXPECT_EQ(composer_->Int(&value), OM_E_ENDOFSTREAM) << "reading past the end";
    char bytes_field[2];
    EXPECT_EQ(composer_->Field(OM_FIELD_BYTES, 16, bytes_field), 0) << "bytes never fail";
    EXPECT_EQ(composer_->Flush(), 0) << "nothing to flush when reading";

    ASSERT_EQ(composer_->Attach(stream_.get(), OM_COMPOSER_WRITE), 0);
    ASSERT_EQ(stream_->Seek(0, OM_SEEK_END, nullptr), 0);
    platform::fail_allocation_after(1, true);
    value = -1;
    EXPECT_EQ(composer_->Int(&value), OM_E_OUTOFMEMORY) << "the stream's first failure";
    EXPECT_EQ(composer_->Flush(), OM_E_FAIL);
    platform::reset_allocation_faults();
}

TEST_F(ComposerTest, ReattachingReleasesTheEarlierStream) {
    ComRef<IByteStream> other = testsupport::module_object<IByteStream>(
        MemoryStream_GetClassObject, CLSID_MemoryStream, IID_IByteStream);
    ASSERT_EQ(composer_->Attach(other.get(), OM_COMPOSER_WRITE), 0);
    ASSERT_EQ(composer_->Attach(stream_.get(), OM_COMPOSER_WRITE), 0);
    other->AddRef();
    EXPECT_EQ(other->Release(), 1u);
}

} // namespace
