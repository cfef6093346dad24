// The stream-style input components: the StdInput byte queue, the device streams of
// Win32DxKeyboard and Win32DxMouse, the Keyboard filter over them, and IO refused.
#include "framework/core/com_ref.h"
#include "media/input/dx_stream_devices.h"
#include "media/input/io.h"
#include "media/input/keyboard_filter.h"
#include "media/input/std_input.h"
#include "tests/media/input/input_window_fixture.h"

#include <array>
#include <gtest/gtest.h>
#include <vector>

namespace {

using Record = std::array<uint32_t, 3>;

class StreamDevicesTest : public testsupport::InputWindowTest {
protected:
    void TearDown() override {
        stream_.reset();
        devices_.reset();
        InputWindowTest::TearDown();
    }
    void open(const GUID& clsid) {
        ASSERT_EQ(OmCreate(clsid, IID_IInputStreamDevices, devices_.put()), 0);
        ASSERT_EQ(devices_->GetDeviceCount(), 1);
        ASSERT_EQ(devices_->GetDevice(0, stream_.put()), 0);
    }
    // One record read the way the streams expect: its size first, then the record.
    static bool read_record(IByteStream* stream, Record* out) {
        uint32_t size = 0, done = 0;
        if (stream->Read(&size, 4, &done) < 0) return false;
        EXPECT_EQ(done, 4u);
        EXPECT_EQ(size, kDeviceRecordSize);
        if (stream->Read(out->data(), size, &done) < 0) return false;
        EXPECT_EQ(done, kDeviceRecordSize);
        return true;
    }

    ComRef<IInputStreamDevices> devices_;
    ComRef<IByteStream> stream_;
};

TEST_F(StreamDevicesTest, StdInputHolds255BytesAndKeepsWhatFit) {
    ComRef<IByteStream> queue;
    ASSERT_EQ(OmCreate(CLSID_StdInput, IID_IByteStream, queue.put()), 0);
    uint8_t byte = 0;
    uint32_t done = 99;
    EXPECT_EQ(queue->Read(&byte, 1, &done), OM_E_FAIL);
    EXPECT_EQ(done, 0u);
    for (int round = 0; round < 3; ++round) { // the ring wraps
        std::vector<uint8_t> bytes(300);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i + round);
        EXPECT_EQ(queue->Write(bytes.data(), 300, &done), OM_E_FAIL);
        EXPECT_EQ(done, 255u);
        std::vector<uint8_t> got(400);
        ASSERT_EQ(queue->Read(got.data(), 10, &done), 0);
        EXPECT_EQ(done, 10u);
        ASSERT_EQ(queue->Read(got.data() + 10, 390, &done), 0);
        EXPECT_EQ(done, 245u);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + 255, got.begin())) << round;
    }
    EXPECT_EQ(queue->Write(&byte, 1, nullptr), 0);
    EXPECT_EQ(queue->Seek(0, OM_SEEK_START, nullptr), OM_E_FAIL);
}

TEST_F(StreamDevicesTest, TheKeyboardStreamAnnouncesThenGivesEachRecord) {
    open(CLSID_Win32DxKeyboard);
    Record r;
    EXPECT_FALSE(read_record(stream_.get(), &r)) << "nothing buffered";
    push_key(SDL_SCANCODE_A, true);
    push_key(SDL_SCANCODE_UP, true);
    push_key(SDL_SCANCODE_A, false);
    ASSERT_TRUE(read_record(stream_.get(), &r));
    EXPECT_EQ(r, (Record{kKeyboardRecordType, 0x1E, 1}));
    uint32_t size = 0, done = 0;
    ASSERT_EQ(stream_->Read(&size, 4, &done), 0);
    uint8_t wrong[8];
    EXPECT_EQ(stream_->Read(wrong, sizeof wrong, &done), OM_E_FAIL) << "not the size announced";
    ASSERT_TRUE(read_record(stream_.get(), &r)) << "the Up record was dropped";
    EXPECT_EQ(r, (Record{kKeyboardRecordType, 0x1E, 0}));
    EXPECT_EQ(stream_->Read(r.data(), kDeviceRecordSize, &done), OM_E_FAIL) << "not announced";
}

TEST_F(StreamDevicesTest, TheKeyboardFilterKeepsTheKeyStates) {
    open(CLSID_Win32DxKeyboard);
    ComRef<IKeyboard> keyboard;
    ASSERT_EQ(OmCreate(CLSID_Keyboard, IID_IKeyboard, keyboard.put()), 0);
    ASSERT_EQ(keyboard->SetSource(stream_.get()), 0);
    ComRef<IByteStream> filtered;
    ASSERT_EQ(keyboard->QueryInterface(IID_IByteStream, filtered.put_void()), 0);
    push_key(SDL_SCANCODE_S, true);
    push_key(SDL_SCANCODE_RCTRL, true);
    Record r;
    ASSERT_TRUE(read_record(filtered.get(), &r));
    ASSERT_TRUE(read_record(filtered.get(), &r));
    EXPECT_EQ(keyboard->IsKeyDown(0x1F), 1u);
    EXPECT_EQ(keyboard->IsKeyDown(0x9D), 1u);
    push_key(SDL_SCANCODE_S, false);
    ASSERT_TRUE(read_record(filtered.get(), &r));
    EXPECT_EQ(keyboard->IsKeyDown(0x1F), 0u);
    EXPECT_EQ(keyboard->IsKeyDown(256), 0u);
    EXPECT_EQ(keyboard->IsKeyDown(0xFFFFFFFFu), 0u);
    keyboard->SetSource(nullptr);
    EXPECT_EQ(filtered->Read(&r, 4, nullptr), OM_E_FAIL);
}

TEST_F(StreamDevicesTest, TheMouseStreamGivesMotionAndButtons) {
    open(CLSID_Win32DxMouse);
    push_motion(7, 0);
    push_button(SDL_BUTTON_RIGHT, true);
    Record r;
    ASSERT_TRUE(read_record(stream_.get(), &r));
    EXPECT_EQ(r, (Record{kMouseRecordType, 0, 7}));
    ASSERT_TRUE(read_record(stream_.get(), &r));
    EXPECT_EQ(r, (Record{kMouseRecordType, 13, 0x80}));
}

TEST_F(StreamDevicesTest, IOIsKnownButRefused) {
    ComRef<IUnknown> io;
    EXPECT_EQ(OmCreateInstance(CLSID_IO, nullptr, 0, IID_IUnknown, io.put_void()), OM_E_FAIL);
    EXPECT_FALSE(io);
}

} // namespace
