// The memory stream: clamped reads, growth on write, unsigned seeks limited to the length.
#include "framework/io/memory_stream.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/module_object.h"

#include <string>

namespace {

using MemoryStreamTest = testsupport::FrameworkTest;

ComRef<IByteStream> new_stream() {
    return testsupport::module_object<IByteStream>(MemoryStream_GetClassObject, CLSID_MemoryStream,
                                                   IID_IByteStream);
}

TEST_F(MemoryStreamTest, ShortReadCopiesWhatIsThereAndReportsTheEnd) {
    auto s = new_stream();
    uint32_t done = 99;
    ASSERT_EQ(s->Write("0123456789", 10, &done), 0);
    EXPECT_EQ(done, 10u);
    uint32_t position = 99;
    ASSERT_EQ(s->Seek(0, OM_SEEK_START, &position), 0);
    EXPECT_EQ(position, 0u);
    char buffer[20] = {};
    EXPECT_EQ(s->Read(buffer, 20, &done), OM_E_ENDOFSTREAM);
    EXPECT_EQ(done, 10u);
    EXPECT_EQ(std::string(buffer, 10), "0123456789");
    EXPECT_EQ(s->Read(buffer, 1, &done), OM_E_ENDOFSTREAM);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(s->Read(buffer, 0, &done), 0) << "an empty read at the end is no failure";
}

TEST_F(MemoryStreamTest, SeekIsUnsignedAndLimitedToTheLength) {
    auto s = new_stream();
    ASSERT_EQ(s->Write("0123456789", 10, nullptr), 0);
    struct Row {
        int32_t offset;
        uint32_t origin;
        uint32_t expected;
    };
    const Row rows[] = {
        {-5, OM_SEEK_END, 5},    {-20, OM_SEEK_END, 10},   {3, OM_SEEK_START, 3},
        {2, OM_SEEK_CURRENT, 5}, {-1, OM_SEEK_CURRENT, 4}, {-9, OM_SEEK_CURRENT, 10},
        {11, OM_SEEK_START, 10}, {-1, OM_SEEK_START, 10},
    };
    for (const Row& row : rows) {
        uint32_t position = 99;
        EXPECT_EQ(s->Seek(row.offset, row.origin, &position), 0);
        EXPECT_EQ(position, row.expected) << row.offset << " from " << row.origin;
    }
    uint32_t position = 77;
    EXPECT_EQ(s->Seek(0, 4, &position), OM_E_FAIL);
    EXPECT_EQ(s->Seek(0, 0, nullptr), OM_E_FAIL);
    EXPECT_EQ(position, 77u);
}

TEST_F(MemoryStreamTest, WritesOverwriteAndExtendAcrossGrowth) {
    auto s = new_stream();
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        std::string piece = std::to_string(i) + ",";
        ASSERT_EQ(s->Write(piece.data(), uint32_t(piece.size()), nullptr), 0);
        expected += piece;
    }
    ASSERT_EQ(s->Seek(2, OM_SEEK_START, nullptr), 0);
    ASSERT_EQ(s->Write("XY", 2, nullptr), 0);
    expected.replace(2, 2, "XY");
    uint32_t end = 0;
    ASSERT_EQ(s->Seek(0, OM_SEEK_END, &end), 0);
    EXPECT_EQ(end, expected.size()) << "an overwrite inside does not change the length";

    std::string back(expected.size(), '\0');
    ASSERT_EQ(s->Seek(0, OM_SEEK_START, nullptr), 0);
    uint32_t done = 0;
    ASSERT_EQ(s->Read(back.data(), uint32_t(back.size()), &done), 0);
    EXPECT_EQ(back, expected);
}

TEST_F(MemoryStreamTest, FailedGrowthLeavesTheStreamUnchanged) {
    auto s = new_stream();
    ASSERT_EQ(s->Write("abc", 3, nullptr), 0);
    platform::fail_allocation_after(1, true);
    char big[4096] = {};
    uint32_t done = 99;
    EXPECT_EQ(s->Write(big, sizeof big, &done), OM_E_OUTOFMEMORY);
    EXPECT_EQ(done, 0u);
    platform::reset_allocation_faults();
    uint32_t position = 0;
    ASSERT_EQ(s->Seek(0, OM_SEEK_END, &position), 0);
    EXPECT_EQ(position, 3u);
    char back[3];
    ASSERT_EQ(s->Seek(0, OM_SEEK_START, nullptr), 0);
    ASSERT_EQ(s->Read(back, 3, nullptr), 0);
    EXPECT_EQ(std::string(back, 3), "abc");
}

} // namespace
