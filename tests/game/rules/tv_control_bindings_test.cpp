// Control bindings: the key-name table against the codes the keyboard driver posts, each kind
// of axis and button section with its error-log lines, the block read from a whole Control.ini
// and installed on the player's plane through the game.
#include "framework/containers/property_sheet.h"
#include "framework/io/stream_helpers.h"
#include "game/rules/tv_control_bindings.h"
#include "game/rules/tv_game_hooks.h"
#include "game/tv_frontend_services.h"
#include "media/input/key_codes.h"
#include "tests/game/game_test_support.h"
#include "tests/support/module_object.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

using gametest::GameTest;

namespace {

std::vector<std::string>& logged() {
    static std::vector<std::string> lines;
    return lines;
}

void log_line(const char* source, int32_t, const char* message, const char* detail) {
    logged().push_back(std::string(source) + ": " + message + " " + detail);
}

// A plane that keeps the controls block it was given.
class ControlledPlane final : public TavrinObjectBase<ITvObject> {
public:
    OmResult SetProperty(uint32_t id, uintptr_t value) override {
        if (id != kTvPlanePropControls) return TavrinObjectBase<ITvObject>::SetProperty(id, value);
        std::memcpy(&controls, reinterpret_cast<const void*>(value), sizeof controls);
        ++controls_set;
        return OM_S_OK;
    }
    TvControlBindings controls{};
    int controls_set = 0;
};

class BindingsTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        sheet = testsupport::module_object<IPropertySheet>(PropertySheet_GetClassObject,
                                                           CLSID_PropertySheet, IID_IPropertySheet);
        ASSERT_TRUE(sheet);
        TvFrontEndServices services{};
        services.log_error2 = log_line;
        TvInstallFrontEndServices(&services);
        logged().clear();
    }
    void TearDown() override {
        TvInstallFrontEndServices(nullptr);
        TvInstallGameHooks(nullptr);
        sheet.reset();
        GameTest::TearDown();
    }
    void load(const std::string& text) {
        ComRef<IByteStream> stream;
        ASSERT_EQ(OmCreateTextStream(text.c_str(), stream.put()), 0);
        ASSERT_EQ(sheet->Load(stream.get()), 0);
    }
    ComRef<IPropertySheet> sheet;
};

TEST(KeyNames, TheTableHoldsTheFiftyTwoNamesInOrderThenTheEndRecord) {
    const auto table = TvKeyNameTable();
    ASSERT_EQ(table.size(), 53u);
    EXPECT_STREQ(table[0].name, "leftarrow");
    EXPECT_STREQ(table[9].name, "keypad0");
    EXPECT_STREQ(table[51].name, "f12");
    EXPECT_EQ(table[51].code, 0x8c);
    EXPECT_STREQ(table[52].name, "lastentry");
    EXPECT_EQ(table[52].code, -1);
    for (const TvKeyName& entry : table) EXPECT_LT(std::strlen(entry.name), 16u);
}

TEST(KeyNames, EveryNamedKeyIsACodeTheKeyboardDriverPosts) {
    std::set<int32_t> posted;
    for (uint32_t scan = 0; scan <= 0xDD; ++scan) posted.insert(InputKeyCodeOfScanCode(scan));
    for (const TvKeyName& entry : TvKeyNameTable()) {
        if (entry.code == -1) continue;
        EXPECT_TRUE(posted.count(entry.code)) << entry.name << " is never posted";
    }
}

TEST(KeyNames, LookUpTable) {
    struct Row {
        const char* name;
        int32_t code;
    };
    const Row rows[] = {
        {"q", 113},
        {"Q", 113},
        {"A", 97},
        {"1", '1'},
        {"\\", 0x5c},
        {"home", 0x8f},
        {"Home", 0},
        {"keypad0", 0x97},
        {"keypad4", 0x9f},
        {"keypadpoint", 0x98},
        {"keypaddelete", 0x98},
        {"spacebar", 0x20},
        {"f10", 0x8a},
        {"joystick", 0},
        {"", 0},
        {"lastentry", 0},
    };
    for (const Row& row : rows) EXPECT_EQ(TvLookUpKeyName(row.name), row.code) << row.name;
    EXPECT_EQ(TvLookUpKeyName(nullptr), 0);
}

TEST_F(BindingsTest, AxisSectionsOfEveryKind) {
    struct Row {
        const char* keys;
        OmResult result;
        TvAxisBinding expected;
        const char* log; // the message logged, or null
    };
    const Row rows[] = {
        {"type=mouse\naxis=2\n", OM_S_OK, {2, 2, 1, 1.0f, 0}, nullptr},
        {"type=joystick\naxis=3\nsensitivity=0.5\n", OM_S_OK, {5, 3, 2, 0.5f, 0}, nullptr},
        {"type=joystick\nupbutton=3\ndownbutton=4\n", OM_S_OK, {7, 3, 4, 1.0f, 0}, nullptr},
        {"type=keyboard\nupkey=Q\ndownkey=a\n", OM_S_OK, {1, 113, 97, 1.0f, 0}, nullptr},
        {"type=keyboard\nupkey=keypad8\ndownkey=keypad2\nsensitivity=2\n",
         OM_S_OK,
         {1, 0x9d, 0x9e, 2.0f, 0},
         nullptr},
        // A sensitivity that reads as no finite number is the default.
        {"type=mouse\naxis=1\nsensitivity=nan\n", OM_S_OK, {2, 1, 1, 1.0f, 0}, nullptr},
        {"type=mouse\naxis=1\nsensitivity=-inf\n", OM_S_OK, {2, 1, 1, 1.0f, 0}, nullptr},
        {"type=mouse\naxis=1\nsensitivity=1e39\n", OM_S_OK, {2, 1, 1, 1.0f, 0}, nullptr},
        // A long name not in the table is code 0, without a message.
        {"type=keyboard\nupkey=joystick\ndownkey=end\n", OM_S_OK, {1, 0, 0x90, 1.0f, 0}, nullptr},
        {"axis=1\n",
         OM_E_FAIL,
         {0, 0, 0, 0, 0},
         "Couldn't read in 'type' field Control.ini in section"},
        {"type=mouse\n", OM_E_FAIL, {2, 0, 0, 0, 0}, "Axis undefinded in Control.ini in section"},
        {"type=joystick\nupbutton=3\n",
         OM_E_FAIL,
         {7, 3, 0, 0, 0},
         "Axis undefinded in Control.ini in section"},
        {"type=keyboard\ndownkey=a\n",
         OM_E_FAIL,
         {1, 0, 0, 0, 0},
         "Up button in Control.ini in section"},
        {"type=keyboard\nupkey=a\n",
         OM_E_FAIL,
         {1, 97, 0, 0, 0},
         "Down button in Control.ini in section"},
        {"type=wheel\naxis=1\n",
         OM_E_FAIL,
         {0, 0, 0, 0, 0},
         "Unsupported control type inControl.ini in section"},
        {"type=Mouse\naxis=1\n",
         OM_E_FAIL,
         {0, 0, 0, 0, 0},
         "Unsupported control type inControl.ini in section"},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(sheet->Clear(), 0);
        load(std::string("[Player1Roll]\n") + row.keys);
        logged().clear();
        TvAxisBinding b{};
        EXPECT_EQ(TvReadAxisBinding(sheet.get(), &b, "Player1Roll"), row.result) << row.keys;
        EXPECT_EQ(b.kind, row.expected.kind) << row.keys;
        EXPECT_EQ(b.first, row.expected.first) << row.keys;
        EXPECT_EQ(b.second, row.expected.second) << row.keys;
        EXPECT_EQ(b.sensitivity, row.expected.sensitivity) << row.keys;
        EXPECT_EQ(b.value, 0.0f);
        if (row.log) {
            ASSERT_EQ(logged().size(), 1u) << row.keys;
            EXPECT_EQ(logged()[0], std::string("tvopgame: ") + row.log + " Player1Roll");
        } else {
            EXPECT_TRUE(logged().empty()) << row.keys;
        }
    }
}

TEST_F(BindingsTest, ButtonSectionsOfEveryKind) {
    struct Row {
        const char* keys;
        OmResult result;
        uint32_t kind;
        int32_t code;
        const char* log;
    };
    const Row rows[] = {
        {"type=mouse\nbutton=1\n", OM_S_OK, 3, 1, nullptr},
        {"type=joystick\nbutton=2\n", OM_S_OK, 6, 2, nullptr},
        {"type=joystick\nbutton=-3\n", OM_S_OK, 6, -3, nullptr}, // the hat at 18000
        {"type=keyboard\nkey=spacebar\n", OM_S_OK, 1, 0x20, nullptr},
        {"type=keyboard\nkey=X\n", OM_S_OK, 1, 'x', nullptr},
        {"type=keyboard\n", OM_E_FAIL, 1, 0, "Button undefinded in Control.ini in section"},
        {"type=mouse\nbutton=left\n", OM_E_FAIL, 3, 0,
         "Button undefinded in Control.ini in section"},
        {"button=1\n", OM_E_FAIL, 0, 0, "Couldn't read in 'type' field Control.ini in section"},
        {"type=pedal\n", OM_E_FAIL, 0, 0, "Unsupported control type inControl.ini in section"},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(sheet->Clear(), 0);
        load(std::string("[Player1Fire]\n") + row.keys);
        logged().clear();
        TvButtonBinding b{};
        EXPECT_EQ(TvReadButtonBinding(sheet.get(), &b, "Player1Fire"), row.result) << row.keys;
        EXPECT_EQ(b.kind, row.kind) << row.keys;
        EXPECT_EQ(b.code, row.code) << row.keys;
        if (row.log) {
            ASSERT_EQ(logged().size(), 1u) << row.keys;
            EXPECT_EQ(logged()[0], std::string("tvopgame: ") + row.log + " Player1Fire");
        } else {
            EXPECT_TRUE(logged().empty()) << row.keys;
        }
    }
}

TEST_F(BindingsTest, AMissingSectionIsRefusedSilentlyAndTouchesNothing) {
    load("[Player1]\n");
    TvAxisBinding axis{9, 8, 7, 6.0f, 5.0f};
    TvButtonBinding button{9, 8, 7.0f};
    EXPECT_LT(TvReadAxisBinding(sheet.get(), &axis, "Player1Pitch"), 0);
    EXPECT_LT(TvReadButtonBinding(sheet.get(), &button, "Player1Talk"), 0);
    EXPECT_EQ(axis.kind, 9u);
    EXPECT_EQ(axis.value, 5.0f);
    EXPECT_EQ(button.code, 8);
    EXPECT_TRUE(logged().empty());
}

TEST_F(BindingsTest, ALongValueIsNotCutShort) {
    // Values are at most 32 characters: a longer name is a missing key, not a truncated one.
    load("[Player1Fire]\ntype=keyboard\nkey=" + std::string(40, 'k') + "\n");
    TvButtonBinding b{};
    EXPECT_EQ(TvReadButtonBinding(sheet.get(), &b, "Player1Fire"), OM_E_FAIL);
    EXPECT_EQ(logged().size(), 1u);
}

constexpr const char* kControlIni = R"([Player1]
name=Pilot
[Player1Roll]
type=mouse
axis=1
sensitivity=0.75
[Player1Pitch]
type=joystick
axis=2
[Player1Slide]
type=keyboard
upkey=z
downkey=x
[Player1Throttle]
type=joystick
upbutton=5
downbutton=6
[Player1Fire]
type=mouse
button=1
[Player1Secondary]
type=joystick
button=2
[Player1Special]
type=keyboard
key=tab
[Player1Camera]
type=keyboard
key=c
[Player1CamAbove]
type=joystick
button=-1
[Player1CamLeft]
type=keyboard
key=leftarrow
[Player1CamRight]
type=keyboard
[Player1CamBehind]
type=keyboard
key=downarrow
[Player2Talk]
type=keyboard
key=t
)";

TEST_F(BindingsTest, AWholeControlIniFillsTheBlockInSectionOrder) {
    load(kControlIni);
    TvControlBindings block;
    std::memset(&block, 0x5a, sizeof block);
    ASSERT_EQ(TvReadControlBindings(sheet.get(), &block), OM_S_OK);
    const uint32_t words[47] = {
        2,   1,
        1,   0x3f400000,
        0, // roll: mouse axis 1, sensitivity 0.75
        5,   2,
        2,   0x3f800000,
        0, // pitch: joystick axis 2
        1,   'z',
        'x', 0x3f800000,
        0, // slide: keys
        7,   5,
        6,   0x3f800000,
        0, // throttle: joystick buttons 5 and 6
        3,   1,
        0, // fire: mouse button 1
        6,   2,
        0, // secondary: joystick button 2
        1,   0xa9,
        0, // special: tab
        1,   'c',
        0, // camera
        6,   uint32_t(-1),
        0, // camera above: the hat forward
        1,   0x95,
        0, // camera left
        1,   0,
        0, // camera right: no key (logged, kind kept)
        1,   0x94,
        0, // camera behind
        0,   0,
        0, // talk: only a Player2 section
    };
    uint32_t got[47];
    std::memcpy(got, &block, sizeof got);
    for (int i = 0; i < 47; ++i) EXPECT_EQ(got[i], words[i]) << "word " << i;
    ASSERT_EQ(logged().size(), 1u);
    EXPECT_EQ(logged()[0], "tvopgame: Button undefinded in Control.ini in section Player1CamRight");
}

TEST_F(BindingsTest, WithoutThePlayerSectionTheBlockIsLeftAlone) {
    load("[Player1Fire]\ntype=mouse\nbutton=1\n");
    TvControlBindings block{};
    block.fire.code = 42;
    EXPECT_EQ(TvReadControlBindings(sheet.get(), &block), OM_E_FAIL);
    EXPECT_EQ(block.fire.code, 42);
    EXPECT_EQ(block.fire.kind, 0u);
}

TEST_F(BindingsTest, TheGameInstallsTheBlockOnThePlaneInTheSlot) {
    load(kControlIni);
    settings().settings_sheet = sheet.get();
    auto* first = new ControlledPlane;
    auto* second = new ControlledPlane;
    ASSERT_EQ(game->SetPlayerPlane(first, 0, 0), OM_S_OK);
    ASSERT_EQ(game->SetPlayerPlane(second, 0, 1), OM_S_OK);
    // Whatever the slot, the local controls are the player-1 sections.
    EXPECT_EQ(TvGameSetPlayerControls(game, 1), OM_S_OK);
    EXPECT_EQ(first->controls_set, 0);
    ASSERT_EQ(second->controls_set, 1);
    EXPECT_EQ(second->controls.roll.kind, kTvBindMouseAxis);
    EXPECT_EQ(second->controls.camera_behind.code, 0x94);
    // An empty slot or a slot outside the game does nothing.
    EXPECT_EQ(TvGameSetPlayerControls(game, 5), OM_S_OK);

    // A Control.ini without [Player1] leaves the plane's bindings as they were.
    ASSERT_EQ(sheet->Clear(), 0);
    load("[Player1Fire]\ntype=mouse\nbutton=2\n");
    EXPECT_EQ(TvGameSetPlayerControls(game, 1), OM_S_OK);
    EXPECT_EQ(second->controls_set, 1);

    // Start-up installs the bindings as the game's hook for planes that get the camera.
    TvInstallControlBindingHooks();
    EXPECT_EQ(TvGameModuleHooks().install_control_bindings, &TvInstallPlayerControls);
    load("[Player1]\n");
    EXPECT_EQ(TvGameModuleHooks().install_control_bindings(game, first, 0), OM_S_OK);
    ASSERT_EQ(first->controls_set, 1);
    EXPECT_EQ(first->controls.fire.kind, kTvBindMouseButton);
    EXPECT_EQ(first->controls.fire.code, 2);
    EXPECT_EQ(first->controls.roll.kind, 0u);
    settings().settings_sheet = nullptr;
    first->Release();
    second->Release();
}

} // namespace
