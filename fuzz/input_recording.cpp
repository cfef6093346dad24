// Fuzzes input recordings: a recording played back batch by batch through Input (one fake
// driver, no device), every delivered event taken and its payload read and freed. The batches
// played back are then posted again through the fake driver while Input records them, and the
// new recording is played back in turn.
// Checks: a payload event's block is as
// long as the event says; the re-recording plays back the same batches (events and payloads);
// framework blocks balance.
//
// Input: the recording.
#include "fuzz/data_harness.h"
#include "media/input/input.h"
#include "media/input/input_payload.h"

#include <vector>

using fuzzing::require;

namespace {

constexpr uint32_t kCapacity = 64;
constexpr size_t kMostBatches = 512;

struct Played {
    InputEvent event;
    std::vector<uint8_t> payload;
    bool operator==(const Played& o) const {
        return event.source == o.event.source && event.code == o.event.code &&
               event.length == o.event.length &&
               (event.length > 0 || event.value == o.event.value) && payload == o.payload;
    }
};
using Batch = std::vector<Played>;

// What the fake driver posts at its next poll.
std::vector<Played> next_poll;

class FakeDriver final : public OmObject<FakeDriver, IInputDevice> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IInputDevice, this}});
    }
    OmResult SetDeviceNumber(uint8_t) override { return OM_S_OK; }
    OmResult EnumerateDevices(uint16_t* index, uint16_t* kind) override {
        *index = *kind = 0;
        return OM_E_FAIL;
    }
    OmResult FindDevice(uint16_t, uint16_t* index) override {
        *index = 0;
        return OM_E_FAIL;
    }
    OmResult EnableDevice(uint32_t) override { return OM_E_FAIL; }
    OmResult DisableDevice(uint32_t) override { return OM_E_FAIL; }
    OmResult Poll() override;
};

inline constexpr GUID CLSID_FuzzInputDriver = om_guid("9D3E5A71-0C2B-4F86-A4E9-6B1D7C8F2E05");
const GUID* const driver_categories[] = {&CATID_InputDeviceDriver, nullptr};
const OmClassRecord driver_classes[] = {{&CLSID_FuzzInputDriver, driver_categories, nullptr,
                                         OmCreateComponent<FakeDriver>, "FuzzInputDriver"}};
OM_DEFINE_MODULE(FuzzInputDriver, driver_classes)

struct Fixture {
    ComRef<IInput> input;
    Fixture() {
        fuzzing::start_data_framework();
        IObjectManager* manager = OmGetObjectManager();
        require(Input_RegisterClasses(manager) >= 0 &&
                    FuzzInputDriver_RegisterClasses(manager) >= 0,
                "Input and the fake driver are registered");
        require(OmCreate(CLSID_Input, IID_IInput, input.put()) >= 0 && input->Init(kCapacity) >= 0,
                "Input starts");
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

OmResult FakeDriver::Poll() {
    IInput* input = fixture().input.get();
    for (Played& p : next_poll) {
        InputEvent e = p.event;
        if (e.length > 0) {
            uint32_t handle = 0;
            require(InputPayloadStore(p.payload.data(), uint32_t(p.payload.size()), &handle) >= 0,
                    "a payload is stored");
            e.value = handle;
        }
        input->PostEvent(&e); // takes a copy of the payload
        if (e.length > 0) InputPayloadFree(e.value);
    }
    next_poll.clear();
    return OM_S_OK;
}

// Every batch a playback of `stream` delivers.
std::vector<Batch> play_back(IInput* input, IByteStream* stream, size_t most_batches) {
    std::vector<Batch> batches;
    require(input->StartPlayback(stream) >= 0, "playback starts");
    // A poll that takes no byte of the stream means playback is over (at its end, or ended
    // by a record it cannot hold); each poll that goes on takes at least one record.
    uint32_t before = 0, after = 0;
    stream->Seek(0, OM_SEEK_START, nullptr);
    for (;;) {
        input->Poll();
        stream->Seek(0, OM_SEEK_CURRENT, &after);
        if (after == before) {
            input->ClearEvents();
            break;
        }
        before = after;
        Batch batch;
        InputEvent e;
        while (input->GetEvent(&e) >= 0) {
            Played p{e, {}};
            if (e.length > 0) {
                const uint8_t* bytes = nullptr;
                uint32_t length = 0;
                require(InputPayloadData(e.value, &bytes, &length) >= 0 && length == e.length,
                        "a payload is as long as its event says");
                p.payload.assign(bytes, bytes + length);
                require(input->FreeEventData(&e) >= 0, "a payload is freed once");
            }
            batch.push_back(std::move(p));
        }
        if (batches.size() < most_batches) batches.push_back(std::move(batch));
    }
    input->StopRecording();
    return batches;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    IInput* input = fixture().input.get();
    fuzzing::FrameworkBlocksBalanced balanced;
    auto recording = fuzzing::stream_of(std::span<const uint8_t>(data, size));
    const auto batches = play_back(input, recording.get(), kMostBatches);

    // Only whole recordings of few batches are recorded again (the loop is linear anyway).
    if (batches.size() < kMostBatches) {
        ComRef<IByteStream> again;
        require(OmNewMemoryStream(again.put()) >= 0, "a stream for the new recording");
        require(input->StartRecording(again.get()) >= 0, "recording starts");
        for (const Batch& batch : batches) {
            next_poll = batch;
            input->Poll();
            input->ClearEvents();
        }
        input->StopRecording();
        again->Seek(0, OM_SEEK_START, nullptr);
        const auto replayed = play_back(input, again.get(), kMostBatches);
        require(replayed == batches, "a re-recording plays back the same batches");
    }
    input->ClearEvents();
    return 0;
}
