// The blocking stream over the virtual clock: complete reads, stalls, options.
#include "framework/io/fifo_stream.h"
#include "framework/io/memory_stream.h"
#include "framework/io/sync_stream.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/module_object.h"
#include "tests/support/virtual_clock.h"

#include <cstring>
#include <string>

namespace {

// Delivers one byte of its text every `gap_ms` of (virtual) time and nothing in between.
struct TrickleStream final : IByteStream {
    OmResult QueryInterface(const GUID&, void**) override { return OM_E_NOINTERFACE; }
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override { return --refs; }
    OmResult Read(void* buffer, uint32_t count, uint32_t* done) override {
        *done = 0;
        uint32_t now = platform::timeGetTime();
        if (count == 0 || next == text.size() || now - last < gap_ms) return OM_S_OK;
        last = now;
        *static_cast<char*>(buffer) = text[next++];
        *done = 1;
        return OM_S_OK;
    }
    OmResult Write(const void*, uint32_t, uint32_t*) override { return OM_E_FAIL; }
    OmResult Seek(int32_t, uint32_t, uint32_t*) override { return OM_E_FAIL; }

    std::string text;
    uint32_t gap_ms = 0;
    uint32_t last = 0;
    size_t next = 0;
    uint32_t refs = 1;
};

class SyncStreamTest : public testsupport::FrameworkTest {
protected:
    SyncStreamTest() {
        stream_ = testsupport::module_object<IByteStream>(SyncStream_GetClassObject,
                                                          CLSID_SyncStream, IID_IByteStream);
        stream_->QueryInterface(IID_ISyncStream, options_.put_void());
    }
    void TearDown() override {
        stream_.reset();
        options_.reset();
        FrameworkTest::TearDown();
    }
    intptr_t option(uint32_t id) {
        intptr_t value = -99;
        EXPECT_EQ(options_->GetOption(id, &value), 0) << id;
        return value;
    }
    void attach(IByteStream* inner) {
        ASSERT_EQ(options_->SetOption(OM_SYNC_INNER_STREAM, reinterpret_cast<intptr_t>(inner)), 0);
    }

    testsupport::VirtualClockScope clock_{1000};
    TrickleStream trickle_;
    ComRef<IByteStream> stream_;
    ComRef<ISyncStream> options_;
};

TEST_F(SyncStreamTest, IdentityIsTheByteStream) {
    ComRef<IUnknown> unknown;
    ASSERT_EQ(options_->QueryInterface(IID_IUnknown, unknown.put_void()), 0);
    EXPECT_EQ(unknown.get(), static_cast<IUnknown*>(stream_.get()));
}

TEST_F(SyncStreamTest, WaitsForSlowBytesWithinTheTimeOut) {
    trickle_.text = "slow bytes";
    trickle_.gap_ms = 500;
    attach(&trickle_);
    ASSERT_EQ(options_->SetOption(OM_SYNC_TIMEOUT, 600), 0);
    char buffer[11] = {};
    uint32_t done = 0;
    EXPECT_EQ(stream_->Read(buffer, 10, &done), 0);
    EXPECT_EQ(done, 10u);
    EXPECT_STREQ(buffer, "slow bytes");
    EXPECT_EQ(option(OM_SYNC_BYTES_READ), 10);
}

TEST_F(SyncStreamTest, StallLongerThanTheTimeOutStopsTheRead) {
    ComRef<IByteStream> fifo = testsupport::module_object<IByteStream>(
        FifoStream_GetClassObject, CLSID_FifoStream, IID_IByteStream);
    ASSERT_EQ(fifo->Write("abc", 3, nullptr), 0);
    attach(fifo.get());
    EXPECT_EQ(option(OM_SYNC_TIMEOUT), 120000) << "the default";
    uint32_t start = platform::timeGetTime();
    char buffer[10];
    uint32_t done = 0;
    EXPECT_EQ(stream_->Read(buffer, 10, &done), OM_E_STREAMTIMEOUT);
    uint32_t waited = platform::timeGetTime() - start;
    EXPECT_EQ(done, 3u);
    EXPECT_EQ(option(OM_SYNC_BYTES_READ), 3);
    EXPECT_GT(waited, 120000u);
    EXPECT_LT(waited, 121000u);
}

TEST_F(SyncStreamTest, InnerFailureEndsTheReadWithWhatCame) {
    ComRef<IByteStream> memory = testsupport::module_object<IByteStream>(
        MemoryStream_GetClassObject, CLSID_MemoryStream, IID_IByteStream);
    ASSERT_EQ(memory->Write("12345", 5, nullptr), 0);
    ASSERT_EQ(memory->Seek(0, OM_SEEK_START, nullptr), 0);
    attach(memory.get());
    char buffer[8];
    uint32_t done = 0;
    EXPECT_EQ(stream_->Read(buffer, 8, &done), OM_E_ENDOFSTREAM);
    EXPECT_EQ(done, 5u);
}

TEST_F(SyncStreamTest, NonBlockingReadTakesWhatIsThere) {
    trickle_.text = "xy";
    attach(&trickle_);
    ASSERT_EQ(options_->SetOption(OM_SYNC_NONBLOCKING, 1), 0);
    char buffer[4];
    uint32_t done = 9;
    EXPECT_EQ(stream_->Read(buffer, 4, &done), 0);
    EXPECT_EQ(done, 1u);
}

TEST_F(SyncStreamTest, OptionsAndTheInnerStreamReset) {
    char byte = 0;
    EXPECT_EQ(stream_->Read(&byte, 1, nullptr), OM_E_FAIL) << "no inner stream";
    EXPECT_EQ(stream_->Write(&byte, 1, nullptr), OM_E_FAIL);
    EXPECT_EQ(stream_->Seek(0, OM_SEEK_START, nullptr), OM_E_FAIL);

    intptr_t value = 0;
    EXPECT_EQ(options_->GetOption(OM_SYNC_EXPECTED_LENGTH, &value), OM_E_FAIL);
    ASSERT_EQ(options_->SetOption(OM_SYNC_EXPECTED_LENGTH, 42), 0);
    EXPECT_EQ(option(OM_SYNC_EXPECTED_LENGTH), 42);
    EXPECT_EQ(options_->SetOption(7, 0), OM_E_FAIL);
    EXPECT_EQ(options_->GetOption(0, &value), OM_E_FAIL);

    ComRef<IByteStream> memory = testsupport::module_object<IByteStream>(
        MemoryStream_GetClassObject, CLSID_MemoryStream, IID_IByteStream);
    attach(memory.get());
    EXPECT_EQ(options_->GetOption(OM_SYNC_EXPECTED_LENGTH, &value), OM_E_FAIL);
    EXPECT_EQ(option(OM_SYNC_INNER_STREAM), reinterpret_cast<intptr_t>(memory.get()));
    uint32_t done = 0;
    ASSERT_EQ(stream_->Write("hello", 5, &done), 0);
    EXPECT_EQ(done, 5u);
    EXPECT_EQ(option(OM_SYNC_BYTES_WRITTEN), 5);
    uint32_t position = 0;
    ASSERT_EQ(stream_->Seek(1, OM_SEEK_START, &position), 0);
    EXPECT_EQ(position, 1u);
    attach(nullptr);
    EXPECT_EQ(option(OM_SYNC_BYTES_WRITTEN), 0);
}

} // namespace
