// Seeds of the input-recording harness: recordings written by Input itself while key, mouse,
// joystick and payload events are posted over a few polls, some of them empty.
#include "framework/io/memory_stream.h"
#include "fuzz/data_harness.h"
#include "fuzz/seeds/seed_set.h"
#include "media/input/dx5_input_device.h"
#include "media/input/input.h"
#include "media/input/input_payload.h"

#include <bit>
#include <string>
#include <vector>

namespace {

using fuzzing::require;

struct Posted {
    uint16_t source, code;
    uint32_t value;
    std::string payload; // empty for the drivers' events
};
using Poll = std::vector<Posted>;

constexpr uint16_t kKeyboard = 0x100 | kDX5Keyboard;
constexpr uint16_t kMouse = 0x100 | kDX5Mouse;
constexpr uint16_t kJoystick = 0x100 | kDX5Joystick;

// What Input records while each poll's events are posted and the poll is made.
std::string recording(const std::vector<Poll>& polls) {
    static const bool registered = [] {
        fuzzing::start_data_framework();
        return Input_RegisterClasses(OmGetObjectManager()) >= 0;
    }();
    require(registered, "Input is registered");
    ComRef<IInput> input;
    ComRef<IByteStream> out;
    require(OmCreate(CLSID_Input, IID_IInput, input.put()) >= 0 && input->Init(64) >= 0 &&
                OmNewMemoryStream(out.put()) >= 0 && input->StartRecording(out.get()) >= 0,
            "Input records into memory");
    for (const Poll& poll : polls) {
        for (const Posted& p : poll) {
            InputEvent e{p.source, p.code, uint32_t(p.payload.size()), p.value};
            if (!p.payload.empty())
                require(InputPayloadStore(p.payload.data(), e.length, &e.value) >= 0,
                        "a payload is stored");
            input->PostEvent(&e); // takes its own copy of the payload
            if (!p.payload.empty()) InputPayloadFree(e.value);
        }
        input->Poll();
        InputEvent e;
        while (input->GetEvent(&e) >= 0)
            if (e.length > 0) input->FreeEventData(&e);
    }
    input->StopRecording();
    return fuzzing::bytes_of(out.get());
}

uint32_t bits(float f) {
    return std::bit_cast<uint32_t>(f);
}

} // namespace

FUZZ_SEEDS(input_recording) {
    seeds.add("keys", recording({{{kKeyboard, kInputKeyPressed, 0x1E, {}}},
                                 {},
                                 {{kKeyboard, kInputKeyReleased, 0x1E, {}},
                                  {kKeyboard, kInputKeyPressed, 0x39, {}}},
                                 {{kKeyboard, kInputKeyReleased, 0x39, {}}}}));
    seeds.add("mouse", recording({{{kMouse, kInputMouseX, uint32_t(-12), {}},
                                   {kMouse, kInputMouseY, 7, {}},
                                   {kMouse, kInputMouseButton1, 1, {}}},
                                  {{kMouse, kInputMouseWheel, 120, {}}},
                                  {{kMouse, kInputMouseButton1, 0, {}}}}));
    seeds.add("joystick", recording({{{kJoystick, kInputJoystickX, bits(-0.5f), {}},
                                      {kJoystick, kInputJoystickY, bits(0.25f), {}},
                                      {kJoystick, kInputJoystickButton1, 1, {}}},
                                     {{kJoystick, kInputJoystickHat, 9000, {}},
                                      {kJoystick, kInputJoystickSlider, bits(1.0f), {}}}}));
    seeds.add("payloads", recording({{{0, 0x400, 0, "chat line"}},
                                     {},
                                     {{0, 0x401, 0, std::string("\0\1\2\3", 4)},
                                      {kKeyboard, kInputKeyPressed, 0x1C, {}}}}));
    std::vector<Poll> ticks;
    for (uint32_t i = 0; i < 24; ++i)
        ticks.push_back(i % 3 ? Poll{{0x100 | kDX5Ticker, kInputTick, i, {}}} : Poll{});
    seeds.add("ticks", recording(ticks));
}
