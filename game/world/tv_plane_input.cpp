// Input events into the plane's controls block: which event drives which axis or button for
// each kind of binding.
#include "game/world/tv_plane_internal.h"
#include "media/input/input_event.h"

#include <bit>

namespace tvplane {

namespace {

constexpr uint32_t kLeftShift = 0xac; // the plus key of every keyboard axis
constexpr uint32_t kLeftCtrl = 0xae;  // the minus key
constexpr uint16_t kMouseAxisEventBase = 48;
constexpr uint16_t kJoystickSliderBase = 64;

void match_axis(TvAxisBinding& axis, uint16_t c, uint32_t v) {
    const auto first = static_cast<uint32_t>(axis.first);
    const auto second = static_cast<uint32_t>(axis.second);
    switch (axis.kind) {
    case kTvBindKeyboard:
        if (c == kTvInputKeyPressed) {
            if (v == first || v == kLeftShift)
                axis.value = 1.0f;
            else if (v == second || v == kLeftCtrl)
                axis.value = -1.0f;
        } else if (c == kTvInputKeyReleased) {
            if ((v == first || v == kLeftShift) && axis.value == 1.0f)
                axis.value = 0.0f;
            else if ((v == second || v == kLeftCtrl) && axis.value == -1.0f)
                axis.value = 0.0f;
        }
        break;
    case kTvBindMouseAxis:
        if (int32_t(c) + 1 == axis.first + kMouseAxisEventBase)
            axis.value += static_cast<float>(static_cast<int32_t>(v));
        break;
    case kTvBindJoystickAxis:
        if (int32_t(c) + 1 == axis.first || int32_t(c) + 4 == axis.first + kJoystickSliderBase)
            axis.value = std::bit_cast<float>(v);
        break;
    case kTvBindJoystickButtons: {
        const int32_t button = int32_t(c) - 192;
        if (v == kTvInputJoystickPressed) {
            if (button == axis.first - 1)
                axis.value = 1.0f;
            else if (button == axis.second - 1)
                axis.value = -1.0f;
        } else if (v == kTvInputJoystickReleased &&
                   (button == axis.first - 1 || button == axis.second - 1)) {
            axis.value = 0.0f;
        }
        break;
    }
    default: break;
    }
}

void match_button(TvButtonBinding& button, uint16_t c, uint32_t v) {
    switch (button.kind) {
    case kTvBindKeyboard:
        if (v == static_cast<uint32_t>(button.code)) {
            if (c == kTvInputKeyPressed) button.value = 1.0f;
            if (c == kTvInputKeyReleased) button.value = 0.0f;
        }
        break;
    case kTvBindMouseButton: {
        // Buttons are numbered from 1; a code outside a 32-bit mask matches nothing.
        if (button.code < 1 || button.code > 31) break;
        if (int32_t(c) - kTvInputMouseButtonBase != (1 << (button.code - 1))) break;
        if (v == kTvInputMousePressed) button.value = 1.0f;
        if (v == kTvInputMouseReleased) button.value = 0.0f;
        break;
    }
    case kTvBindJoystickButton:
        if (c == kTvInputJoystickHat) {
            // The hat's directions are codes -1..-4; centring releases them only.
            if (v == kTvInputHatCentred) {
                if (button.code < 0) button.value = 0.0f;
            } else if (-1 - static_cast<int32_t>(v / 9000) == button.code) {
                button.value = 1.0f;
            }
        } else if (int32_t(c) - kTvInputJoystickButtonBase == button.code) {
            if (v == kTvInputJoystickPressed) button.value = 1.0f;
            if (v == kTvInputJoystickReleased) button.value = 0.0f;
        }
        break;
    default: break;
    }
}

} // namespace

OmResult handle_event(Plane plane, const TvEvent* event) {
    if (!event || event->code != kTvEventInput || !event->data) return OM_S_OK;
    const auto* input = reinterpret_cast<const InputEvent*>(event->data);
    const uint16_t c = input->code;
    const uint32_t v = input->value;
    TvControlBindings& controls = plane.p.controls;
    for (TvAxisBinding* axis :
         {&controls.roll, &controls.pitch, &controls.slide, &controls.throttle})
        match_axis(*axis, c, v);
    if (frame_time(plane.o) != 0.0f) {
        const bool camera_was_down = controls.camera.value == 1.0f;
        for (TvButtonBinding* button :
             {&controls.fire, &controls.secondary, &controls.special, &controls.camera,
              &controls.camera_above, &controls.camera_left, &controls.camera_right,
              &controls.camera_behind})
            match_button(*button, c, v);
        if (!camera_was_down && controls.camera.value == 1.0f) ++plane.p.camera_changes;
    }
    return OM_S_OK;
}

} // namespace tvplane
