// The FIFO stream: ring growth (plain and wrapped), the size limit, seeks as size queries.
#include "framework/io/fifo_stream.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/module_object.h"

#include <vector>

namespace {

class FifoStreamTest : public testsupport::FrameworkTest {
protected:
    FifoStreamTest() {
        stream_ = testsupport::module_object<IByteStream>(FifoStream_GetClassObject,
                                                          CLSID_FifoStream, IID_IByteStream);
        stream_->QueryInterface(IID_IFifoStream, fifo_.put_void());
    }
    void TearDown() override {
        stream_.reset();
        fifo_.reset();
        FrameworkTest::TearDown();
    }

    // Writes the next `n` bytes of the running sequence 0, 1, 2, ...
    void write(uint32_t n) {
        std::vector<uint8_t> bytes(n);
        for (uint8_t& b : bytes) b = uint8_t(next_written_++);
        uint32_t done = 0;
        ASSERT_EQ(stream_->Write(bytes.data(), n, &done), 0);
        ASSERT_EQ(done, n);
    }
    // Reads `n` bytes and checks they continue the sequence.
    void read(uint32_t n) {
        std::vector<uint8_t> bytes(n);
        uint32_t done = 0;
        ASSERT_EQ(stream_->Read(bytes.data(), n, &done), 0);
        ASSERT_EQ(done, n);
        for (uint8_t b : bytes) ASSERT_EQ(b, uint8_t(next_read_++));
    }

    ComRef<IByteStream> stream_;
    ComRef<IFifoStream> fifo_;
    uint32_t next_written_ = 0;
    uint32_t next_read_ = 0;
};

TEST_F(FifoStreamTest, GrowsAndKeepsTheOrder) {
    write(5);
    read(3);
    write(200);
    EXPECT_EQ(fifo_->Available(), 202u);
    read(202);
    EXPECT_EQ(fifo_->Available(), 0u);
}

TEST_F(FifoStreamTest, GrowsAcrossTheWrap) {
    write(100); // the first ring: 100 + 1 + 100 spare = 201 bytes
    read(90);
    write(105); // wraps: the read index now lies above the write index
    write(100); // grows with the run from the read index moved to the new end
    EXPECT_EQ(fifo_->Available(), 215u);
    read(215);
}

TEST_F(FifoStreamTest, ShortReadIsNoFailure) {
    write(4);
    uint8_t buffer[10];
    uint32_t done = 99;
    EXPECT_EQ(stream_->Read(buffer, 10, &done), 0);
    EXPECT_EQ(done, 4u);
    EXPECT_EQ(stream_->Read(buffer, 10, &done), 0);
    EXPECT_EQ(done, 0u);
}

TEST_F(FifoStreamTest, LimitRefusesGrowthBeyondIt) {
    ASSERT_EQ(fifo_->SetLimit(50), 0);
    EXPECT_EQ(fifo_->GetLimit(), 50u);
    uint8_t bytes[60] = {};
    uint32_t done = 99;
    EXPECT_EQ(stream_->Write(bytes, 60, &done), OM_E_FAIL);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(fifo_->Available(), 0u);
    EXPECT_EQ(stream_->Write(bytes, 49, &done), 0) << "49 unread + 1 spare fits in 50";
}

TEST_F(FifoStreamTest, SeekMeasuresAndBlocksTransfersUntilBackAtZero) {
    write(30);
    uint32_t position = 0;
    ASSERT_EQ(stream_->Seek(0, OM_SEEK_END, &position), 0);
    EXPECT_EQ(position, 30u);
    uint8_t byte;
    EXPECT_EQ(stream_->Read(&byte, 1, nullptr), OM_E_FAIL);
    EXPECT_EQ(stream_->Write(&byte, 1, nullptr), OM_E_FAIL);
    ASSERT_EQ(stream_->Seek(-40, OM_SEEK_CURRENT, &position), 0);
    EXPECT_EQ(position, 30u) << "unsigned, then limited to the unread count";
    EXPECT_EQ(stream_->Seek(0, 5, nullptr), OM_E_FAIL);
    ASSERT_EQ(stream_->Seek(0, OM_SEEK_START, &position), 0);
    read(30);
}

TEST_F(FifoStreamTest, ClearDropsUnreadBytes) {
    write(10);
    ASSERT_EQ(fifo_->Clear(), 0);
    EXPECT_EQ(fifo_->Available(), 0u);
    next_read_ = next_written_;
    write(3);
    read(3);
}

TEST_F(FifoStreamTest, BothInterfacesShareOneObject) {
    ComRef<IUnknown> a, b;
    ASSERT_EQ(fifo_->QueryInterface(IID_IUnknown, a.put_void()), 0);
    ASSERT_EQ(stream_->QueryInterface(IID_IUnknown, b.put_void()), 0);
    EXPECT_EQ(a.get(), b.get());
}

} // namespace
