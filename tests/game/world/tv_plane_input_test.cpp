// Input events matched against the plane's controls block: every kind of axis and button
// binding, the shift and ctrl keys of keyboard axes, the joystick hat, and buttons ignored
// while the game's clock stands.
#include "tests/game/world/plane_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <utility>
#include <vector>

using planetest::placed;
using planetest::PlaneTest;

namespace {

InputEvent input(uint16_t code, uint32_t value) {
    return {0x101, code, 0, value};
}

void send(ITvPlane* plane, std::initializer_list<InputEvent> events) {
    for (const InputEvent& e : events) {
        const TvEvent event{kTvEventInput, reinterpret_cast<uintptr_t>(&e)};
        EXPECT_EQ(plane->HandleEvent(&event), OM_S_OK);
    }
}

struct AxisCase {
    const char* name;
    TvAxisBinding binding;
    std::vector<InputEvent> events;
    float value;
};

struct ButtonCase {
    const char* name;
    TvButtonBinding binding;
    std::vector<InputEvent> events;
    float value;
};

} // namespace

TEST_F(PlaneTest, AxisBindingsTakeTheirValuesFromTheirEvents) {
    const float half = 0.5f;
    const AxisCase cases[] = {
        {"key up", {kTvBindKeyboard, 'w', 's', 1, 0}, {input(17, 'w')}, 1.0f},
        {"key down", {kTvBindKeyboard, 'w', 's', 1, 0}, {input(17, 's')}, -1.0f},
        {"key released", {kTvBindKeyboard, 'w', 's', 1, 0}, {input(17, 'w'), input(16, 'w')}, 0.0f},
        {"other side's release keeps it",
         {kTvBindKeyboard, 'w', 's', 1, 0},
         {input(17, 'w'), input(16, 's')},
         1.0f},
        {"left shift is plus", {kTvBindKeyboard, 'w', 's', 1, 0}, {input(17, 0xac)}, 1.0f},
        {"left ctrl is minus", {kTvBindKeyboard, 'w', 's', 1, 0}, {input(17, 0xae)}, -1.0f},
        {"other key", {kTvBindKeyboard, 'w', 's', 1, 0}, {input(17, 'x')}, 0.0f},
        {"mouse axis 1 adds",
         {kTvBindMouseAxis, 1, 1, 1, 0},
         {input(48, 5), input(48, uint32_t(-2))},
         3.0f},
        {"mouse axis 2", {kTvBindMouseAxis, 2, 1, 1, 0}, {input(49, 7), input(48, 5)}, 7.0f},
        {"joystick axis 2",
         {kTvBindJoystickAxis, 2, 2, 1, 0},
         {input(1, std::bit_cast<uint32_t>(half))},
         0.5f},
        {"joystick slider",
         {kTvBindJoystickAxis, 4, 2, 1, 0},
         {input(64, std::bit_cast<uint32_t>(-half))},
         -0.5f},
        {"button pair up", {kTvBindJoystickButtons, 3, 4, 1, 0}, {input(194, 0x201)}, 1.0f},
        {"button pair down", {kTvBindJoystickButtons, 3, 4, 1, 0}, {input(195, 0x201)}, -1.0f},
        {"button pair released",
         {kTvBindJoystickButtons, 3, 4, 1, 0},
         {input(195, 0x201), input(195, 0x202)},
         0.0f},
        {"unbound", {kTvBindNone, 0, 0, 1, 0}, {input(17, 0), input(1, 0x3f800000)}, 0.0f},
    };
    TavrinPlane* plane = make_plane(kTvFlagPlayerPlane, placed({500, 600, 500}));
    for (const AxisCase& c : cases) {
        SCOPED_TRACE(c.name);
        plane->controls.pitch = c.binding;
        for (const InputEvent& e : c.events) send(plane, {e});
        EXPECT_EQ(plane->controls.pitch.value, c.value);
    }
}

TEST_F(PlaneTest, ButtonBindingsPressAndRelease) {
    const ButtonCase cases[] = {
        {"key", {kTvBindKeyboard, ' ', 0}, {input(17, ' ')}, 1.0f},
        {"key released", {kTvBindKeyboard, ' ', 0}, {input(17, ' '), input(16, ' ')}, 0.0f},
        {"mouse button 1", {kTvBindMouseButton, 1, 0}, {input(65, 35)}, 1.0f},
        {"mouse button 3", {kTvBindMouseButton, 3, 0}, {input(68, 35)}, 1.0f},
        {"mouse button 3 released",
         {kTvBindMouseButton, 3, 0},
         {input(68, 35), input(68, 36)},
         0.0f},
        {"mouse: other button", {kTvBindMouseButton, 2, 0}, {input(65, 35)}, 0.0f},
        {"mouse button out of range", {kTvBindMouseButton, 40, 0}, {input(65, 35)}, 0.0f},
        {"joystick button", {kTvBindJoystickButton, 2, 0}, {input(193, 0x201)}, 1.0f},
        {"joystick released",
         {kTvBindJoystickButton, 2, 0},
         {input(193, 0x201), input(193, 0x202)},
         0.0f},
        {"hat right", {kTvBindJoystickButton, -2, 0}, {input(128, 9000)}, 1.0f},
        {"hat back", {kTvBindJoystickButton, -3, 0}, {input(128, 18000)}, 1.0f},
        {"hat centred",
         {kTvBindJoystickButton, -3, 0},
         {input(128, 18000), input(128, 0xFFFFFFFF)},
         0.0f},
        {"hat centring leaves buttons",
         {kTvBindJoystickButton, 2, 0},
         {input(193, 0x201), input(128, 0xFFFFFFFF)},
         1.0f},
    };
    TavrinPlane* plane = make_plane(kTvFlagPlayerPlane, placed({500, 600, 500}));
    for (const ButtonCase& c : cases) {
        SCOPED_TRACE(c.name);
        plane->controls.fire = c.binding;
        for (const InputEvent& e : c.events) send(plane, {e});
        EXPECT_EQ(plane->controls.fire.value, c.value);
    }

    // Every button from fire to the behind view answers; talk is not handled here.
    plane->controls.camera_behind = {kTvBindKeyboard, 'b', 0};
    plane->controls.talk = {kTvBindKeyboard, 't', 0};
    send(plane, {input(17, 'b'), input(17, 't')});
    EXPECT_EQ(plane->controls.camera_behind.value, 1.0f);
    EXPECT_EQ(plane->controls.talk.value, 0.0f);

    // While the clock stands buttons keep their values; axes still follow.
    game->frame_time_ = 0.0f;
    plane->controls.fire = {kTvBindKeyboard, 'f', 0};
    plane->controls.roll = {kTvBindKeyboard, 'a', 'd', 1, 0};
    send(plane, {input(17, 'f'), input(17, 'a')});
    EXPECT_EQ(plane->controls.fire.value, 0.0f);
    EXPECT_EQ(plane->controls.roll.value, 1.0f);
}

TEST_F(PlaneTest, OnlyInputEventsReachTheControls) {
    TavrinPlane* plane = make_plane(kTvFlagPlayerPlane, placed({500, 600, 500}));
    plane->controls.roll = {kTvBindKeyboard, 'a', 'd', 1, 0};
    const InputEvent press = input(17, 'a');
    const TvEvent other{257, reinterpret_cast<uintptr_t>(&press)};
    EXPECT_EQ(plane->HandleEvent(&other), OM_S_OK);
    EXPECT_EQ(plane->HandleEvent(nullptr), OM_S_OK);
    EXPECT_EQ(plane->controls.roll.value, 0.0f);
}

// A flying player plane that sends its camera events to the test's camera.
class PlaneCameraTest : public PlaneTest {
protected:
    TavrinPlane* flying_with_camera() {
        TavrinPlane* plane = make_plane(kTvFlagPlayerPlane, placed({500, 600, 500}));
        plane->state = kTvPlaneFlying;
        plane->speed = 80.0f;
        plane->SetProperty(kTvPlanePropCamera,
                           reinterpret_cast<uintptr_t>(static_cast<ITvObject*>(&camera)));
        return plane;
    }
    gametest::TestObject camera{0, 0};
};

TEST_F(PlaneCameraTest, LookButtonsAreSentToTheCamera) {
    TavrinPlane* plane = flying_with_camera();
    plane->controls.camera_left.value = 1.0f;
    plane->Update();
    ASSERT_EQ(camera.events.size(), 4u);
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(camera.events[i].code, 1280 + i);
        EXPECT_EQ(camera.events[i].data, i == 1 ? 1u : 0u);
    }
}

TEST_F(PlaneCameraTest, TheCameraButtonChangesTheViewOncePerPress) {
    TavrinPlane* plane = flying_with_camera();
    plane->controls.camera = {kTvBindKeyboard, 'c', 0};
    auto changes = [&] {
        return std::count_if(camera.events.begin(), camera.events.end(), [](const TvEvent& e) {
            return e.code == kTvEventCameraChange && e.data == 1u;
        });
    };
    // Pressed, held for a second frame, released, pressed again; then a tap shorter than a
    // frame (press and release before the update).
    const std::vector<std::pair<std::vector<InputEvent>, long>> frames = {
        {{input(17, 'c')}, 1},
        {{}, 1},
        {{input(16, 'c')}, 1},
        {{input(17, 'c')}, 2},
        {{input(16, 'c'), input(17, 'c'), input(16, 'c')}, 3}};
    for (const auto& [events, expected] : frames) {
        for (const InputEvent& e : events) send(plane, {e});
        plane->Update();
        EXPECT_EQ(changes(), expected);
    }
}
