// The Input component over scripted drivers: batches, queue limits, device routing, and
// recordings that play back batch for batch.
#include "media/input/input.h"

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/io/memory_stream.h"
#include "media/input/input_payload.h"
#include "platform/fault_injection.h"
#include "tests/media/input/fake_input_driver.h"
#include "tests/support/framework_fixture.h"

#include <cstring>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

// Found by argument lookup for the global record type.
static bool operator==(const InputEvent& a, const InputEvent& b) {
    return a.source == b.source && a.code == b.code && a.length == b.length && a.value == b.value;
}
static void PrintTo(const InputEvent& e, std::ostream* os) {
    *os << "{" << e.source << ", " << e.code << ", " << e.length << ", " << e.value << "}";
}

namespace {

using testsupport::CLSID_FakeDriverA;
using testsupport::CLSID_FakeDriverB;
using testsupport::fake_driver_script;

InputEvent key(uint32_t value) {
    return InputEvent{0x101, 17, 0, value};
}

class InputTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        testsupport::reset_fake_driver_scripts();
        ASSERT_EQ(Input_RegisterClasses(OmGetObjectManager()), 0);
    }
    void TearDown() override {
        input_.reset();
        FrameworkTest::TearDown();
    }

    // Registers the fake drivers (A with a keyboard and a ticker, B with a mouse and a
    // joystick), creates Input and initialises it.
    void make_input(uint32_t capacity = 2048) {
        fake_driver_script(CLSID_FakeDriverA).kinds = {kInputKindKeyboard, kInputKindTicker};
        fake_driver_script(CLSID_FakeDriverB).kinds = {kInputKindMouse, kInputKindJoystick};
        ASSERT_EQ(testsupport::FakeInputDrivers_RegisterClasses(OmGetObjectManager()), 0);
        ASSERT_EQ(OmCreate(CLSID_Input, IID_IInput, input_.put()), 0);
        ASSERT_EQ(input_->Init(capacity), 0);
    }
    testsupport::FakeDriverScript& driver(uint8_t number) {
        return fake_driver_script(CLSID_FakeDriverA).number == number
                   ? fake_driver_script(CLSID_FakeDriverA)
                   : fake_driver_script(CLSID_FakeDriverB);
    }
    std::vector<InputEvent> take_all() {
        std::vector<InputEvent> out;
        InputEvent e;
        while (input_->GetEvent(&e) == 0) out.push_back(e);
        return out;
    }
    // One poll with `events` posted by driver 1, then everything delivered.
    std::vector<InputEvent> poll_with(std::vector<InputEvent> events) {
        driver(1).next_poll = std::move(events);
        EXPECT_EQ(input_->Poll(), 0);
        return take_all();
    }

    ComRef<IInput> input_;
};

TEST_F(InputTest, DriversOfTheCategoryAreNumberedFromOne) {
    make_input();
    EXPECT_EQ(driver(1).number, 1);
    EXPECT_EQ(driver(2).number, 2);
    EXPECT_NE(&driver(1), &driver(2));
}

TEST_F(InputTest, SecondCreateSharesTheInstanceAndItsSecondInitDoesNothing) {
    make_input();
    ComRef<IInput> again;
    ASSERT_EQ(OmCreate(CLSID_Input, IID_IInput, again.put()), 0);
    EXPECT_EQ(again.get(), input_.get());
    EXPECT_EQ(again->Init(16), 0);
    EXPECT_EQ(driver(1).number, 1) << "no driver was loaded again";
    // The queues keep their capacity of 2048: 2047 events fit.
    for (uint32_t i = 0; i < 2047; ++i) {
        InputEvent e = key(i);
        input_->PostEvent(&e);
    }
    input_->Poll();
    EXPECT_EQ(take_all().size(), 2047u);
}

TEST_F(InputTest, APollDeliversItsBatchInOrderWithoutTheEndMarker) {
    make_input();
    std::vector<InputEvent> batch = {key('a'), InputEvent{0x201, 48, 0, uint32_t(-3)}, key('b')};
    EXPECT_EQ(poll_with(batch), batch);
    InputEvent e{9, 9, 0, 9};
    EXPECT_EQ(input_->GetEvent(&e), OM_E_FAIL);
    EXPECT_EQ(e, (InputEvent{9, 9, 0, 9})) << "output untouched";
    EXPECT_EQ(driver(1).polls, 1);
    EXPECT_EQ(driver(2).polls, 1);
}

TEST_F(InputTest, AnIdlePollDeliversNothing) {
    make_input();
    poll_with({key('a')});
    EXPECT_TRUE(poll_with({}).empty());
    EXPECT_TRUE(poll_with({}).empty());
    EXPECT_EQ(poll_with({key('c')}), std::vector<InputEvent>{key('c')});
}

TEST_F(InputTest, EventsPostedBetweenPollsJoinTheNextBatch) {
    make_input();
    InputEvent between = key('x');
    input_->PostEvent(&between);
    EXPECT_EQ(poll_with({key('y')}), (std::vector<InputEvent>{key('x'), key('y')}));
}

TEST_F(InputTest, AQueueOfCapacity2048Holds2047Events) {
    make_input();
    for (uint32_t i = 0; i < 2048; ++i) {
        InputEvent e = key(i);
        EXPECT_EQ(input_->PostEvent(&e), 0) << "dropping is not a failure";
    }
    input_->Poll();
    std::vector<InputEvent> got = take_all();
    ASSERT_EQ(got.size(), 2047u);
    EXPECT_EQ(got.back().value, 2046u) << "the 2048th is the one dropped";
}

TEST_F(InputTest, PeekCopiesAndClearEmpties) {
    make_input();
    input_->ClearEvents();
    InputEvent e;
    EXPECT_EQ(input_->GetEvent(&e), OM_E_FAIL) << "clearing an empty queue keeps it empty";
    driver(1).next_poll = {key(1), key(2)};
    input_->Poll();
    ASSERT_EQ(input_->PeekEvent(&e), 0);
    EXPECT_EQ(e, key(1));
    ASSERT_EQ(input_->PeekEvent(&e), 0);
    EXPECT_EQ(e, key(1)) << "peeking takes nothing";
    input_->ClearEvents();
    EXPECT_EQ(input_->GetEvent(&e), OM_E_FAIL);
    EXPECT_EQ(input_->PeekEvent(&e), OM_E_FAIL);
    EXPECT_EQ(poll_with({key(3)}), std::vector<InputEvent>{key(3)});
}

TEST_F(InputTest, TheQueueWrapsAroundItsEnd) {
    make_input(4);
    for (uint32_t round = 0; round < 5; ++round) {
        std::vector<InputEvent> batch = {key(round * 10), key(round * 10 + 1)};
        EXPECT_EQ(poll_with(batch), batch) << round;
    }
    input_->ClearEvents();
    InputEvent e;
    EXPECT_EQ(input_->GetEvent(&e), OM_E_FAIL);
}

TEST_F(InputTest, InitRefusesTinyCapacitiesAndReportsMemoryShortage) {
    ASSERT_EQ(OmCreate(CLSID_Input, IID_IInput, input_.put()), 0);
    EXPECT_EQ(input_->Init(1), OM_E_FAIL);
    platform::fail_allocation_after(2, true);
    EXPECT_EQ(input_->Init(2048), OM_E_OUTOFMEMORY);
    platform::reset_allocation_faults();
    InputEvent e = key(1);
    EXPECT_EQ(input_->PostEvent(&e), 0);
    EXPECT_EQ(input_->Poll(), 0);
    EXPECT_EQ(input_->GetEvent(&e), OM_E_FAIL) << "an unusable component fails safely";
    EXPECT_EQ(input_->Init(8), 0) << "and can be initialised again";
    EXPECT_EQ(poll_with({}).size(), 0u);
}

TEST_F(InputTest, DevicesAreFoundEnumeratedAndRoutedByTheirDriverNumber) {
    make_input();
    uint16_t id = 0;
    ASSERT_EQ(input_->FindDevice(kInputKindJoystick, &id), 0);
    uint8_t b = fake_driver_script(CLSID_FakeDriverB).number;
    EXPECT_EQ(id, uint16_t(b << 8 | 2));
    id = 0;
    EXPECT_EQ(input_->FindDevice(kInputKindSharedMouse, &id), OM_E_FAIL);

    ASSERT_EQ(input_->EnableDevice(id = uint16_t(b << 8 | 2)), 0);
    EXPECT_EQ(fake_driver_script(CLSID_FakeDriverB).enabled, std::vector<uint32_t>{2});
    ASSERT_EQ(input_->DisableDevice(id), 0);
    EXPECT_EQ(fake_driver_script(CLSID_FakeDriverB).disabled, std::vector<uint32_t>{2});
    EXPECT_EQ(input_->EnableDevice(uint16_t(b << 8 | 9)), OM_E_FAIL) << "the driver's answer";
    for (uint32_t bad : {0x0001u, 0x0300u, 0xFF01u}) {
        EXPECT_EQ(input_->EnableDevice(bad), OM_E_BADPROPERTY) << bad;
        EXPECT_EQ(input_->DisableDevice(bad), OM_E_BADPROPERTY) << bad;
    }

    std::vector<std::pair<uint16_t, uint16_t>> seen;
    uint16_t cursor = 0, kind = 0;
    while (input_->EnumerateDevices(&cursor, &kind) == 0) seen.push_back({cursor, kind});
    const std::vector<uint16_t>& kinds1 = driver(1).kinds;
    const std::vector<uint16_t>& kinds2 = driver(2).kinds;
    std::vector<std::pair<uint16_t, uint16_t>> expected = {
        {0x101, kinds1[0]}, {0x102, kinds1[1]}, {0x201, kinds2[0]}, {0x202, kinds2[1]}};
    EXPECT_EQ(seen, expected);
}

TEST_F(InputTest, PayloadsAreHeldByHandleAndFreedOnce) {
    make_input();
    const char text[] = "payload";
    uint32_t handle = 0;
    ASSERT_EQ(InputPayloadStore(text, sizeof text, &handle), 0);
    InputEvent e{0x101, 99, sizeof text, handle};
    input_->PostEvent(&e);
    EXPECT_EQ(InputPayloadFree(handle), 0) << "the queue keeps a copy of its own";
    input_->Poll();

    InputEvent peeked, taken;
    ASSERT_EQ(input_->PeekEvent(&peeked), 0);
    ASSERT_EQ(input_->GetEvent(&taken), 0);
    EXPECT_NE(peeked.value, taken.value) << "each holder has its own copy";
    for (InputEvent* got : {&peeked, &taken}) {
        const uint8_t* bytes = nullptr;
        uint32_t length = 0;
        ASSERT_EQ(InputPayloadData(got->value, &bytes, &length), 0);
        EXPECT_EQ(length, sizeof text);
        EXPECT_EQ(std::memcmp(bytes, text, sizeof text), 0);
        EXPECT_EQ(input_->FreeEventData(got), 0);
        EXPECT_EQ(input_->FreeEventData(got), OM_E_FAIL);
    }
    InputEvent plain = key(1);
    EXPECT_EQ(input_->FreeEventData(&plain), OM_E_FAIL);
}

class InputRecordingTest : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        ASSERT_EQ(OmNewMemoryStream(stream_.put()), 0);
    }
    void TearDown() override {
        stream_.reset();
        InputTest::TearDown();
    }
    void rewind() { ASSERT_EQ(stream_->Seek(0, OM_SEEK_START, nullptr), 0); }
    void write_record(InputEvent e, const std::string& payload = {}) {
        e.length = uint32_t(payload.size());
        ASSERT_EQ(stream_->Write(&e, sizeof e, nullptr), 0);
        if (!payload.empty()) {
            ASSERT_EQ(stream_->Write(payload.data(), e.length, nullptr), 0);
        }
    }
    ComRef<IByteStream> stream_;
};

TEST_F(InputRecordingTest, ARecordingPlaysBackBatchForBatch) {
    make_input();
    driver(1).post_on_enable = true;
    ASSERT_EQ(input_->StartRecording(stream_.get()), 0);
    std::vector<std::vector<InputEvent>> live;
    live.push_back(poll_with({key('a'), key('b')}));
    live.push_back(poll_with({}));             // idle
    ASSERT_EQ(input_->EnableDevice(0x101), 0); // notification + side record
    live.push_back(poll_with({}));             // only the notification
    live.push_back(poll_with({}));             // idle again
    uint16_t cursor = 0, kind = 0;
    input_->EnumerateDevices(&cursor, &kind);
    live.push_back(poll_with({key('c')}));
    live.push_back(poll_with({}));
    ASSERT_EQ(input_->StopRecording(), 0);
    ASSERT_EQ(live[2].size(), 1u);
    EXPECT_EQ(live[2][0].source, kInputSourceEnabled);

    rewind();
    ASSERT_EQ(input_->StartPlayback(stream_.get()), 0);
    for (size_t poll = 0; poll < live.size(); ++poll) {
        driver(1).next_poll = {key('L')}; // live input is ignored
        InputEvent live_post = key('M');
        input_->PostEvent(&live_post);
        ASSERT_EQ(input_->Poll(), 0);
        EXPECT_EQ(take_all(), live[poll]) << "poll " << poll;
    }
    EXPECT_EQ(poll_with({key('N')}).size(), 0u) << "the ended stream feeds nothing";
    ASSERT_EQ(input_->StopRecording(), 0);
    EXPECT_EQ(poll_with({key('O')}), std::vector<InputEvent>{key('O')}) << "live again";
}

TEST_F(InputRecordingTest, RecordsAreLittleEndianAndFramedPerPoll) {
    make_input();
    ASSERT_EQ(input_->StartRecording(stream_.get()), 0);
    poll_with({InputEvent{0x0102, 0x0304, 0, 0x05060708}});
    ASSERT_EQ(input_->EnableDevice(0x0101), 0);
    poll_with({});
    input_->StopRecording();
    const uint8_t expected[] = {
        0x02, 0x01, 0x04, 0x03, 0, 0, 0, 0, 0x08, 0x07, 0x06, 0x05, // the event
        0,    0,    2,    0,    0, 0, 0, 0, 0,    0,    0,    0,    // end of batch
        0,    0,    1,    0,    0, 0, 0, 0, 0,    0,    0,    0,    // end of side records
        0,    0,    2,    0,    0, 0, 0, 0, 0,    0,    0,    0,    // the idle poll
        0,    0,    2,    1,    0, 0, 0, 0, 0x01, 0x01, 0,    0,    // enable side record
        0,    0,    1,    0,    0, 0, 0, 0, 0,    0,    0,    0,
    };
    uint32_t size = 0;
    ASSERT_EQ(stream_->Seek(0, OM_SEEK_END, &size), 0);
    ASSERT_EQ(size, sizeof expected);
    rewind();
    uint8_t got[sizeof expected];
    ASSERT_EQ(stream_->Read(got, sizeof got, nullptr), 0);
    EXPECT_EQ(std::memcmp(got, expected, sizeof got), 0);
}

TEST_F(InputRecordingTest, PayloadsRoundTripThroughARecording) {
    make_input();
    write_record(InputEvent{0x101, 7, 0, 0}, "hello");
    write_record(InputEvent{0, kInputEventEndOfBatch, 0, 0});
    write_record(InputEvent{0, kInputEventEndOfSideRecords, 0, 0});
    rewind();
    ASSERT_EQ(input_->StartPlayback(stream_.get()), 0);
    input_->Poll();
    InputEvent e;
    ASSERT_EQ(input_->GetEvent(&e), 0);
    ASSERT_EQ(e.length, 5u);
    const uint8_t* bytes = nullptr;
    uint32_t length = 0;
    ASSERT_EQ(InputPayloadData(e.value, &bytes, &length), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), length), "hello");

    // Recorded again, the payload is written after its event.
    ComRef<IByteStream> copy;
    ASSERT_EQ(OmNewMemoryStream(copy.put()), 0);
    input_->StopRecording();
    input_->StartRecording(copy.get());
    input_->PostEvent(&e);
    input_->Poll();
    input_->StopRecording();
    EXPECT_EQ(input_->FreeEventData(&e), 0);
    uint32_t size = 0;
    copy->Seek(0, OM_SEEK_END, &size);
    EXPECT_EQ(size, 12u + 5 + 12 + 12);
    take_all(); // nothing with a payload is left behind at teardown either way
}

TEST_F(InputRecordingTest, BadOrCutRecordsEndPlaybackSafely) {
    make_input();
    // A cut stream: half a record.
    write_record(key('a'));
    stream_->Write("\x01\x02\x03", 3, nullptr);
    rewind();
    input_->StartPlayback(stream_.get());
    EXPECT_EQ(poll_with({}), std::vector<InputEvent>{key('a')});
    EXPECT_EQ(poll_with({key('z')}).size(), 0u) << "still playing back, nothing left";

    // A record claiming more payload than a record may carry ends playback.
    ASSERT_EQ(OmNewMemoryStream(stream_.put()), 0);
    write_record(key('b'));
    InputEvent huge{0x101, 7, kInputMaxPayload + 1, 0};
    stream_->Write(&huge, sizeof huge, nullptr);
    write_record(key('c'));
    rewind();
    input_->StartPlayback(stream_.get());
    EXPECT_EQ(poll_with({}), std::vector<InputEvent>{key('b')});
    EXPECT_EQ(poll_with({key('d')}), std::vector<InputEvent>{key('d')}) << "live again";

    // A payload cut short is not delivered.
    ASSERT_EQ(OmNewMemoryStream(stream_.put()), 0);
    InputEvent cut{0x101, 7, 10, 0};
    stream_->Write(&cut, sizeof cut, nullptr);
    stream_->Write("abc", 3, nullptr);
    rewind();
    input_->StartPlayback(stream_.get());
    EXPECT_EQ(poll_with({}).size(), 0u);
    input_->StopRecording();
}

TEST_F(InputRecordingTest, ArbitraryBytesPlayBackWithoutHarm) {
    make_input();
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return uint8_t(seed >> 16);
    };
    int delivered = 0, with_payload = 0;
    for (int round = 0; round < 50; ++round) {
        ASSERT_EQ(OmNewMemoryStream(stream_.put()), 0);
        std::vector<uint8_t> bytes(64 + round * 8);
        for (uint8_t& b : bytes) b = next();
        // Small lengths in some records, so payloads that are really there get read too.
        for (size_t at = 4; at + 4 <= bytes.size(); at += 24)
            bytes[at + 1] = bytes[at + 2] = bytes[at + 3] = 0;
        stream_->Write(bytes.data(), uint32_t(bytes.size()), nullptr);
        rewind();
        input_->StartPlayback(stream_.get());
        for (int poll = 0; poll < 8; ++poll) {
            input_->Poll();
            InputEvent e;
            while (input_->GetEvent(&e) == 0) {
                ++delivered;
                if (e.length == 0) continue;
                ++with_payload;
                EXPECT_EQ(input_->FreeEventData(&e), 0);
            }
        }
        input_->StopRecording();
    }
    EXPECT_GT(delivered, 0);
    EXPECT_GT(with_payload, 0);
}

TEST_F(InputRecordingTest, StartingWithoutAStreamIsRefused) {
    make_input();
    EXPECT_EQ(input_->StartRecording(nullptr), OM_E_FAIL);
    EXPECT_EQ(input_->StartPlayback(nullptr), OM_E_FAIL);
    EXPECT_EQ(poll_with({key(1)}), std::vector<InputEvent>{key(1)}) << "still live";
}

} // namespace
