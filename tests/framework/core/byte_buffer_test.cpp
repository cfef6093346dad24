// The growable byte buffer.
#include "framework/core/byte_buffer.h"
#include "tests/support/framework_fixture.h"

#include <cstring>

namespace {

using ByteBufferTest = testsupport::FrameworkTest;

OmByteBuffer counting_buffer(uint32_t size) {
    OmByteBuffer b;
    OmByteBufferInit(&b);
    EXPECT_EQ(OmByteBufferAlloc(&b, size), 0);
    for (uint32_t i = 0; i < size; ++i) b.data[i] = uint8_t(i + 1);
    return b;
}

TEST_F(ByteBufferTest, ResizeKeepsTheLeadingBytes) {
    OmByteBuffer b = counting_buffer(10);
    ASSERT_EQ(OmByteBufferResize(&b, 4), 0);
    EXPECT_EQ(b.size, 4u);
    EXPECT_EQ(std::memcmp(b.data, "\1\2\3\4", 4), 0);
    OmByteBufferFree(&b);

    b = counting_buffer(10);
    ASSERT_EQ(OmByteBufferResize(&b, 20), 0);
    EXPECT_EQ(b.size, 20u);
    for (uint32_t i = 0; i < 10; ++i) EXPECT_EQ(b.data[i], i + 1);
    OmByteBufferFree(&b);
    EXPECT_EQ(b.data, nullptr);
    EXPECT_EQ(b.size, 0u);
}

TEST_F(ByteBufferTest, ResizingAnEmptyBufferAllocates) {
    OmByteBuffer b;
    OmByteBufferInit(&b);
    ASSERT_EQ(OmByteBufferResize(&b, 8), 0);
    EXPECT_NE(b.data, nullptr);
    EXPECT_EQ(b.size, 8u);
    ASSERT_EQ(OmByteBufferAlloc(&b, 0), 0);
    EXPECT_EQ(b.data, nullptr);
}

TEST_F(ByteBufferTest, FailedAllocationLeavesTheOldBlock) {
    OmByteBuffer b = counting_buffer(10);
    uint8_t* old = b.data;
    platform::fail_allocation_after(1);
    EXPECT_EQ(OmByteBufferResize(&b, 40), OM_E_OUTOFMEMORY);
    platform::fail_allocation_after(1);
    EXPECT_EQ(OmByteBufferAlloc(&b, 40), OM_E_OUTOFMEMORY);
    EXPECT_EQ(b.data, old);
    EXPECT_EQ(b.size, 10u);
    EXPECT_EQ(b.data[9], 10);
    OmByteBufferFree(&b);
}

} // namespace
