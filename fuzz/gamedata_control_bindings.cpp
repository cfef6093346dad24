// Fuzzes the Control.ini binding sections ([Player1], [Player1Roll] .. [Player1Talk]) of the
// settings sheet: the sheet loaded from the input, the player-1 block read by
// TvReadControlBindings.
// Checks: every binding is of a kind the plane answers, or none; a keyboard binding's codes
// are key codes of the name table or single characters; a sensitivity is a finite number; the
// block is read the same way twice; a sheet without [Player1] leaves the block untouched;
// blocks balance.
//
// Input: the settings text.
#include "framework/containers/property_sheet.h"
#include "fuzz/data_harness.h"
#include "game/rules/tv_control_bindings.h"

#include <cmath>
#include <cstring>

using fuzzing::require;

namespace {

bool known_key(int32_t code) {
    if (code == 0 || (code > 0 && code < 256)) return true;
    for (const TvKeyName& name : TvKeyNameTable())
        if (name.code == code) return true;
    return false;
}

void check_axis(const TvAxisBinding& b) {
    switch (b.kind) {
    case kTvBindNone: return;
    case kTvBindKeyboard:
        require(known_key(b.first) && known_key(b.second), "an axis's keys are key codes");
        break;
    case kTvBindMouseAxis:
    case kTvBindJoystickAxis:
    case kTvBindJoystickButtons: break;
    default: require(false, "an axis binding is of a known kind");
    }
    require(std::isfinite(b.sensitivity), "a sensitivity is a finite number");
    require(b.value == 0.0f, "an axis's value is 0 as read");
}

void check_button(const TvButtonBinding& b) {
    switch (b.kind) {
    case kTvBindNone: return;
    case kTvBindKeyboard: require(known_key(b.code), "a button's key is a key code"); break;
    case kTvBindMouseButton:    // the plane matches 1..31 and ignores other codes
    case kTvBindJoystickButton: // hat directions -1..-4, buttons from 1; others match nothing
        break;
    default: require(false, "a button binding is of a known kind");
    }
    require(b.value == 0.0f, "a button's value is 0 as read");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::start_data_framework();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_data_framework();
    fuzzing::FrameworkBlocksBalanced balanced;
    ComRef<IPropertySheet> sheet;
    require(OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put()) >= 0, "a sheet");
    auto stream = fuzzing::stream_of(std::span<const uint8_t>(data, size));
    sheet->Load(stream.get());

    TvControlBindings block, again;
    std::memset(&block, 0x5A, sizeof block);
    std::memset(&again, 0x5A, sizeof again);
    const TvControlBindings untouched = block;
    const OmResult r = TvReadControlBindings(sheet.get(), &block);
    require((r >= 0) == (TvReadControlBindings(sheet.get(), &again) >= 0) &&
                std::memcmp(&block, &again, sizeof block) == 0,
            "the block is read the same way twice");
    if (r < 0) {
        require(std::memcmp(&block, &untouched, sizeof block) == 0,
                "a sheet without [Player1] leaves the block untouched");
        return 0;
    }
    for (const TvAxisBinding* a : {&block.roll, &block.pitch, &block.slide, &block.throttle})
        check_axis(*a);
    for (const TvButtonBinding* b :
         {&block.fire, &block.secondary, &block.special, &block.camera, &block.camera_above,
          &block.camera_left, &block.camera_right, &block.camera_behind, &block.talk})
        check_button(*b);
    return 0;
}
