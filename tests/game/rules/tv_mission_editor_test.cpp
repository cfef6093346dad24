// The mission editor over a fixture mission: the keys per selection kind, selection at its
// borders, moving and turning, placement, goal editing, deletion, the overlay lines and
// markers, and the faults the editor guards against.
#include "engine/core/lg_camera.h"
#include "engine/core/lg_im3d.h"
#include "engine/core/lg_objects.h"
#include "engine/core/lg_vector.h"
#include "media/text/text_renderer.h"
#include "tests/game/rules/mission_test_support.h"

#include <array>
#include <cmath>
#include <functional>
#include <memory>

namespace missiontest {
namespace {

// Records each line with the pen position it was drawn at.
class LineRecorder final : public OmObject<LineRecorder, ITextRenderer> {
public:
    struct Line {
        float x, y;
        std::string text;
    };
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ITextRenderer, this}});
    }
    OmResult Reset() override { return OM_S_OK; }
    OmResult SetFont(IFont*) override { return OM_S_OK; }
    OmResult GetFont(IFont** out) override {
        *out = nullptr;
        return OM_S_OK;
    }
    OmResult SetProperty(uint32_t id, intptr_t value) override {
        if (id == OM_TEXT_PEN_X) x = om_text_value_float(value);
        if (id == OM_TEXT_PEN_Y) y = om_text_value_float(value);
        return OM_S_OK;
    }
    OmResult GetProperty(uint32_t, intptr_t*) override { return OM_E_FAIL; }
    OmResult DrawText(const uint16_t* text) override {
        std::string line;
        for (const uint16_t* c = text; *c; ++c) line += char(*c);
        lines.push_back({x, y, line});
        return OM_S_OK;
    }
    OmResult Empty(intptr_t) override { return OM_S_OK; }
    OmResult Begin() override { return OM_S_OK; }
    OmResult End() override { return OM_S_OK; }
    OmResult SetRenderer(IRenderer*) override { return OM_S_OK; }
    // The line with this text, or null.
    const Line* find(const std::string& text) const {
        for (const Line& l : lines)
            if (l.text == text) return &l;
        return nullptr;
    }
    float x = 0, y = 0;
    std::vector<Line> lines;
};

// The editor's marker batches.
struct Batch {
    int32_t type;
    std::vector<LgIm3DVertex> vertices;
    LgTexture* texture;
};
std::vector<Batch>& batches() {
    static std::vector<Batch> recorded;
    return recorded;
}
void record_batch(int32_t type, const LgIm3DVertex* v, int32_t count, LgTexture* texture) {
    batches().push_back({type, std::vector<LgIm3DVertex>(v, v + count), texture});
}

constexpr const char* kEditorMission =
    "[map]\nmap = flat\noffset = 0 0 0\n"
    "[archetypes]\nground = hangar tent\nair = camel fokker\nvehicle = lorry\n"
    "[ground0]\nname = hangar\nid = 10\npos = 100 150 100\ngroups = 4\n"
    "right = 1 0 0\nup = 0 1 0\nat = 0 0 1\n"
    "[ground1]\nname = tent\nid = 11\npos = 100 150 100\nat = 0 0 -1\n"
    "[vehicle0]\nname = lorry\nid = 20\npos = 200 150 200\nat = 0 0 1\n"
    "[air0]\nname = camel\nid = 1\ngroups = 2\npos = 300 400 300\nat = 0 0 1\n"
    "[air0goal0]\ntype = 48\npos = 600 300 600\ntargetid = -4\nreal = 10\nint = 1\n"
    "[air0goal1]\ntype = 400\npos = 700 300 700\n"
    "[air0goal2]\ntype = 999\npos = 800 300 800\n"
    "[air0goal3]\ntype = 16\npos = 900 300 900\n"
    "[air0goal4]\ntype = 256\npos = 950 300 980\n";

const LgVector kGround{100, 150, 100}, kVehicle{200, 150, 200}, kAir{300, 400, 300};
LgVector goal_at(int32_t g) {
    const LgVector goals[] = {
        {600, 0, 600}, {700, 0, 700}, {800, 0, 800}, {900, 0, 900}, {950, 0, 980}};
    return goals[g];
}

class EditorTest : public MissionTest {
protected:
    void SetUp() override {
        MissionTest::SetUp();
        register_ground_stand_in();
        settings = std::make_unique<gametest::TestSettings>();
        game = new gametest::GameProbe;
        ASSERT_EQ(game->BeginSession(&settings->settings), OM_S_OK);
        batches().clear();
        TvSetEditorPrimitiveSink(record_batch);
    }
    void TearDown() override {
        TvSetEditorPrimitiveSink(nullptr);
        mission.reset();
        game->Destroy();
        game->Release();
        settings.reset();
        MissionTest::TearDown();
    }
    void open(const std::string& text = kEditorMission) {
        mission.reset();
        write_mission(1, text);
        mission = load(1);
        m = fields(mission);
        m->game = game;
    }
    void cursor(const LgVector& at) {
        const TvEvent event{1, reinterpret_cast<uintptr_t>(&at)};
        mission->HandleEditorInput(&event);
    }
    void input(uint16_t kind, uint32_t value) {
        const InputEvent event{0x101, kind, 0, value};
        const TvEvent wrapped{kTvEventInput, reinterpret_cast<uintptr_t>(&event)};
        mission->HandleEditorInput(&wrapped);
    }
    void keys(const std::string& text) {
        for (unsigned char c : text) input(16, c);
    }
    // The cursor moves there and the mouse moves: a selection in modes 0 and 3.
    void point_at(const LgVector& at) {
        cursor(at);
        input(48, 1);
    }

    std::unique_ptr<gametest::TestSettings> settings;
    gametest::GameProbe* game = nullptr;
    ComRef<ITvMission> mission;
    TavrinMission* m = nullptr;
};

TEST_F(EditorTest, KeysChangeTheSelectedEntryOrGoal) {
    const auto& ground = [](TavrinMission& t) -> TvMissionGroundEntry& {
        return t.ground_entries[0];
    };
    const auto& vehicle = [](TavrinMission& t) -> TvMissionVehicleEntry& {
        return t.vehicle_entries[0];
    };
    const auto& air = [](TavrinMission& t) -> TvMissionAirEntry& { return t.air_entries[0]; };
    const auto& goal = [](TavrinMission& t, int g) -> TvMissionGoal& {
        return t.air_entries[0].goals[g];
    };
    struct Case {
        const char* what;
        LgVector at;
        std::string keys;
        std::function<double(TavrinMission&)> field;
        double expected;
    };
    const std::string plus5(1, char(0xa5)), minus5(1, char(0xa4)), del(1, char(0x8e));
    const Case cases[] = {
        {"3 twice on ground", kGround, "33", [&](auto& t) { return ground(t).group_mask; }, 4},
        {"3 on ground", kGround, "3", [&](auto& t) { return ground(t).group_mask; }, 12},
        {"digit on vehicle", kVehicle, "5", [&](auto& t) { return vehicle(t).target_group; }, 5},
        {"digit on air", kAir, "0", [&](auto& t) { return air(t).group_mask; }, 3},
        {"digit on goal", goal_at(0), "7", [&](auto& t) { return goal(t, 0).target_id; }, -7},
        {"= on ground", kGround, "=", [&](auto& t) { return ground(t).endurance; }, 51},
        {"- on vehicle", kVehicle, "-", [&](auto& t) { return vehicle(t).endurance; }, 49},
        {"keypad + on air", kAir, plus5, [&](auto& t) { return air(t).endurance; }, 105},
        {"+ on air", kAir, "+", [&](auto& t) { return air(t).endurance; }, 105},
        {"keypad - on air", kAir, minus5, [&](auto& t) { return air(t).endurance; }, 95},
        {"endurance stops at 0", kGround, std::string(11, char(0xa4)),
         [&](auto& t) { return ground(t).endurance; }, 0},
        {", on 400", goal_at(1), ",", [&](auto& t) { return goal(t, 1).type; }, 256},
        {", on 48", goal_at(0), ",", [&](auto& t) { return goal(t, 0).type; }, 96},
        {"n on 256", goal_at(4), "n", [&](auto& t) { return goal(t, 4).type; }, 400},
        {"n on 400", goal_at(1), "n", [&](auto& t) { return goal(t, 1).type; }, 320},
        {", on a type outside the list", goal_at(2), ",n", [&](auto& t) { return goal(t, 2).type; },
         999},
        {"/ on goal", goal_at(0), "/", [&](auto& t) { return goal(t, 0).integer; }, 2},
        {". on goal", goal_at(0), "..", [&](auto& t) { return goal(t, 0).integer; }, -1},
        {"' on goal", goal_at(0), "'", [&](auto& t) { return goal(t, 0).real; }, 15},
        {"; on goal", goal_at(0), ";", [&](auto& t) { return goal(t, 0).real; }, 5},
        {"a on goal", goal_at(0), "a", [&](auto& t) { return goal(t, 0).position.y; }, 310},
        {"z on goal", goal_at(0), "z", [&](auto& t) { return goal(t, 0).position.y; }, 290},
        {"a on ground", kGround, "a", [&](auto& t) { return ground(t).matrix.pos.y; }, 160},
        {"z on vehicle", kVehicle, "z", [&](auto& t) { return vehicle(t).matrix.pos.y; }, 140},
        {"j on the first goal", goal_at(0), "j", [&](auto& t) { return goal(t, 0).type; }, 48},
        {"k on the last goal", goal_at(4), "k", [&](auto& t) { return goal(t, 4).type; }, 256},
        {"j on the second goal", goal_at(1), "j", [&](auto& t) { return goal(t, 0).type; }, 400},
        {"k on the first goal", goal_at(0), "k", [&](auto& t) { return goal(t, 1).type; }, 48},
        {"m on an air entry", kAir, "m", [&](auto& t) { return goal(t, 0).type; }, 32},
        {"m on an air entry counts", kAir, "m", [&](auto& t) { return air(t).goal_count; }, 6},
        {"m on a goal", goal_at(0), "m", [&](auto& t) { return goal(t, 1).real; }, 50},
        {"m on a ground entry", kGround, "m", [&](auto& t) { return air(t).goal_count; }, 5},
        {"Delete on a goal", goal_at(0), del, [&](auto& t) { return goal(t, 0).type; }, 400},
        {"0x7f on a goal", goal_at(0), "\x7f", [&](auto& t) { return air(t).goal_count; }, 4},
        {"s on vehicle", kVehicle, "s", [&](auto& t) { return vehicle(t).angle; }, 1.396},
        {"d on vehicle", kVehicle, "d", [&](auto& t) { return vehicle(t).angle; }, 1.744},
        {"y on vehicle", kVehicle, "y", [&](auto& t) { return vehicle(t).range; }, 310},
        {"t on vehicle", kVehicle, "t", [&](auto& t) { return vehicle(t).range; }, 290},
        {"range stops at 0", kVehicle, std::string(31, 't'),
         [&](auto& t) { return vehicle(t).range; }, 0},
        {"u on air", kAir, "u", [&](auto& t) { return air(t).high_speed; }, 69},
        {"i on air", kAir, "i", [&](auto& t) { return air(t).high_speed; }, 71},
        {"q on air", kAir, "q", [&](auto& t) { return air(t).ordinance_type; }, 1},
        {"w on air", kAir, "w", [&](auto& t) { return air(t).ordinance_type; }, 2},
        {"r on air", kAir, "rr", [&](auto& t) { return air(t).ordinance_count; }, 2},
        {"e stops at 0", kAir, "ree", [&](auto& t) { return air(t).ordinance_count; }, 0},
        {"u on a vehicle does nothing", kVehicle, "uq", [&](auto& t) { return vehicle(t).range; },
         300},
        {"h steps the ground choice", kGround, "h", [&](auto& t) { return t.editor.ground_choice; },
         1},
        {"h wraps", kGround, "hh", [&](auto& t) { return t.editor.ground_choice; }, 0},
        {"f wraps back", kGround, "f", [&](auto& t) { return t.editor.ground_choice; }, 1},
        {"b with one vehicle kind", kGround, "b", [&](auto& t) { return t.editor.vehicle_choice; },
         0},
        {"[ steps the plane choice", kGround, "[", [&](auto& t) { return t.editor.plane_choice; },
         1},
        {"o wraps", kGround, "o", [&](auto& t) { return t.editor.plane_choice; }, 1},
    };
    for (const Case& c : cases) {
        open();
        point_at(c.at);
        ASSERT_NE(m->editor.selection, kTvEditorNone) << c.what;
        keys(c.keys);
        EXPECT_NEAR(c.field(*m), c.expected, 1e-4) << c.what;
    }
}

TEST_F(EditorTest, SelectionAtItsBorders) {
    open();
    struct Case {
        const char* what;
        LgVector at;
        bool entries_only; // mode 3
        int32_t kind, id, goal;
    } cases[] = {
        {"body at 20.9", {120.9f, 150, 100}, false, kTvEditorGround, 10, 0},
        {"body at 21.0", {121.0f, 150, 100}, false, kTvEditorNone, 0, 0},
        {"handle at 9.9", {100, 150, 139.9f}, false, kTvEditorGround, 10, 1},
        {"handle at 10", {100, 150, 140.0f}, false, kTvEditorNone, 0, 0},
        {"tie keeps the first", {100, 150, 105}, false, kTvEditorGround, 10, 0},
        {"goal at 14.9 in x-z", {614.9f, 5000, 600}, false, kTvEditorGoal, 1, 0},
        {"goal at 15", {615.0f, 300, 600}, false, kTvEditorNone, 0, 0},
        {"no goals in mode 3", {600, 300, 600}, true, kTvEditorNone, 0, 0},
        {"entries in mode 3", {200, 150, 201}, true, kTvEditorVehicle, 20, 0},
        {"the third goal", {700, 0, 700}, false, kTvEditorGoal, 1, 1},
    };
    for (const Case& c : cases) {
        if (c.entries_only) input(17, 'l');
        point_at(c.at);
        EXPECT_EQ(m->editor.selection, c.kind) << c.what;
        EXPECT_EQ(m->editor.selected_id, c.id) << c.what;
        EXPECT_EQ(m->editor.selected_goal, c.goal) << c.what;
        if (c.entries_only) {
            EXPECT_EQ(m->editor.mode, 3) << c.what;
            input(16, 'l');
            EXPECT_EQ(m->editor.mode, 0) << c.what;
        }
    }
}

TEST_F(EditorTest, PressAndMotionMoveABodyAndTurnAHandle) {
    open();
    TvMissionGroundEntry& hangar = m->ground_entries[0];
    point_at({101, 150, 100});
    input(65, 0x23);
    EXPECT_EQ(m->editor.mode, 1);
    point_at({140, 150, 120});
    EXPECT_FLOAT_EQ(hangar.matrix.pos.x, 140.0f);
    EXPECT_FLOAT_EQ(hangar.matrix.pos.z, 120.0f);
    input(65, 0x24);
    EXPECT_EQ(m->editor.mode, 0);

    // The handle, 30 ahead: turning faces the cursor with orthonormal rows.
    point_at({140, 150, 150});
    ASSERT_EQ(m->editor.selected_goal, 1);
    input(65, 0x23);
    EXPECT_EQ(m->editor.mode, 2);
    point_at({240, 150, 120});
    const LgMatrix& r = hangar.matrix;
    EXPECT_NEAR(r.at.x, 1.0f, 1e-6);
    EXPECT_NEAR(r.right.z, -1.0f, 1e-6);
    EXPECT_NEAR(r.up.y, 1.0f, 1e-6);
    // Onto its own position, straight above it (along its up row), or a NaN cursor: the
    // orientation stays.
    const LgMatrix before = r;
    const float nan = std::nanf("");
    for (const LgVector& at :
         {LgVector{140, 150, 120}, LgVector{140, 400, 120}, LgVector{nan, 0, 0}}) {
        point_at(at);
        EXPECT_EQ(std::memcmp(&r.at, &before.at, sizeof(LgVector)), 0);
        EXPECT_EQ(std::memcmp(&r.right, &before.right, sizeof(LgVector)), 0);
        EXPECT_TRUE(std::isfinite(r.pos.x));
    }
    input(65, 0x24);

    // A goal moves in x and z only.
    point_at(goal_at(0));
    input(65, 0x23);
    EXPECT_EQ(m->editor.mode, 1);
    point_at({650, 10, 660});
    const TvMissionGoal& g = m->air_entries[0].goals[0];
    EXPECT_FLOAT_EQ(g.position.x, 650.0f);
    EXPECT_FLOAT_EQ(g.position.y, 300.0f);
    EXPECT_FLOAT_EQ(g.position.z, 660.0f);
}

TEST_F(EditorTest, OverlayLinesAndMarkers) {
    open();
    auto* text = new LineRecorder;
    m->text_renderer->Release();
    m->text_renderer = text;
    struct Expect {
        float x, y;
        const char* text;
    };
    const auto check = [&](const std::vector<Expect>& expected, float sx, float sy) {
        for (const Expect& e : expected) {
            const LineRecorder::Line* line = text->find(e.text);
            ASSERT_NE(line, nullptr) << e.text;
            EXPECT_FLOAT_EQ(line->x, e.x * sx) << e.text;
            EXPECT_FLOAT_EQ(line->y, e.y * sy) << e.text;
        }
    };
    mission->DrawEditorInfo(nullptr);
    check({{350, 10, "Map: flat"},
           {350, 30, "No. of Ground Objects: 2"},
           {350, 50, "No. of Vehicles: 1"},
           {350, 70, "No. of Planes: 1"},
           {10, 10, "Ground Choice: hangar"},
           {10, 30, "Vehicle Choice: lorry"},
           {10, 50, "Plane Choice: camel"}},
          1, 1);
    EXPECT_EQ(text->lines.size(), 7u); // nothing selected

    point_at(kAir);
    keys("3w");
    text->lines.clear();
    mission->DrawEditorInfo(nullptr);
    check({{350, 450, "Selected ID: 1"},
           {350, 430, "Group Membership: 1 3 "},
           {350, 410, "Endurance: 100.000000"},
           {10, 450, "HighSpeed: 70.000000"},
           {10, 430, "Ordinance Load: 0"},
           {10, 410, "Weapon type: Rockets"}},
          1, 1);
    keys("q");
    text->lines.clear();
    mission->DrawEditorInfo(nullptr);
    EXPECT_NE(text->find("Weapon type: Bombs"), nullptr);
    m->air_entries[0].ordinance_type = 7;
    text->lines.clear();
    mission->DrawEditorInfo(nullptr);
    EXPECT_NE(text->find("No secondardy weapons installed."), nullptr);

    point_at(kVehicle);
    text->lines.clear();
    mission->DrawEditorInfo(nullptr);
    check({{10, 450, "Target Group: 8"}, {350, 430, "Group Membership: "}}, 1, 1);

    // Goals: the target line for the seven target types only.
    struct GoalCase {
        int32_t type, target;
        const char* line; // null: no target line
    } goals[] = {{48, -4, "Mission Goal 4"},
                 {352, 17, "Mission Target ID 17"},
                 {16, -4, nullptr},
                 {400, 3, nullptr}};
    point_at(goal_at(0));
    for (const GoalCase& c : goals) {
        TvMissionGoal& goal = m->air_entries[0].goals[0];
        goal.type = c.type;
        goal.target_id = c.target;
        text->lines.clear();
        mission->DrawEditorInfo(nullptr);
        check({{10, 370, "Mission Real value: 10.000000"}, {10, 390, "Mission Integer value: 1"}},
              1, 1);
        bool target_line = false;
        for (const auto& l : text->lines)
            target_line |=
                l.text.rfind("Mission Target", 0) == 0 || l.text.rfind("Mission Goal ", 0) == 0;
        EXPECT_EQ(target_line, c.line != nullptr) << c.type;
        if (c.line) check({{10, 350, c.line}}, 1, 1);
    }

    // At 800 x 600 the layout scales.
    TvFrontEndServices services = landscapetest::recording_services();
    services.get_screen_width = [] { return 800; };
    services.get_screen_height = [] { return 600; };
    TvInstallFrontEndServices(&services);
    text->lines.clear();
    mission->DrawEditorInfo(nullptr);
    check({{350, 10, "Map: flat"}, {10, 390, "Mission Integer value: 1"}}, 1.25f, 1.25f);

    // Markers: one octagon per entry, the vehicle's sector, the cursor octagon 10 above the
    // ground point under the pointer, and a textured square per goal with a known icon (not
    // 999).
    batches().clear();
    cursor({55, 7, 66});
    landscapetest::ViewCamera view({500, 1000, 500}, {0, -1, 0.01f});
    ASSERT_TRUE(LgCameraBeginUpdate(view.camera));
    LgRenderStateSet(4, nullptr);
    mission->DrawEditorInfo(nullptr);
    void* state = nullptr;
    LgRenderStateGet(4, &state);
    LgCameraEndUpdate(view.camera);
    ASSERT_FALSE(batches().empty());
    const Batch& lines = batches().front();
    EXPECT_EQ(lines.type, LgPrimLineList);
    // 4 entries x 8 segments, the sector's 2 edges and 8 arc segments, the cursor's 8.
    EXPECT_EQ(lines.vertices.size(), size_t(2 * (4 * 8 + 10 + 8)));
    const LgIm3DVertex& first = lines.vertices.front();
    EXPECT_FLOAT_EQ(first.position.y, 160.0f); // 10 above the hangar
    const LgIm3DVertex& cursor_vertex = lines.vertices.back();
    EXPECT_FLOAT_EQ(cursor_vertex.position.y, 17.0f);
    EXPECT_NEAR(std::hypot(cursor_vertex.position.x - 55, cursor_vertex.position.z - 66), 7.0f,
                1e-4);
    int icons = 0;
    for (const Batch& b : batches())
        if (b.type == LgPrimTriList) {
            ++icons;
            EXPECT_NE(b.texture, nullptr);
            EXPECT_FLOAT_EQ(b.vertices[0].position.y, 315.0f);
        }
    EXPECT_EQ(icons, 4 - 1 + 1) << "goals 48, 400, 16, 256 (999 has none)";
    // The icons came from their own folder, which is restored afterwards.
    bool read_256 = false;
    for (const auto& read : landscapetest::texture_reads())
        read_256 |= read.name == "256" && read.path == "Ui\\editor\\planes\\";
    EXPECT_TRUE(read_256);
    EXPECT_STREQ(LgImageGetPath(), "start\\");
    EXPECT_EQ(reinterpret_cast<uintptr_t>(state), 1u);
}

// The markers through the engine's own immediate mode onto the recording device: each ring
// reaches the screen where its world points project, and nothing else is drawn.
TEST_F(EditorTest, MarkersReachTheScreenAsRingsAroundTheEntriesAndTheCursor) {
    open();
    cursor({130, 150, 100});
    TvSetEditorPrimitiveSink(nullptr);
    landscapetest::ViewCamera view({300, 1000, 300}, {0, -1, 0});
    device.draws.clear();
    ASSERT_TRUE(view.begin());
    mission->DrawEditorInfo(nullptr);
    const LgMatrix view_matrix = *LgCameraGetViewMatrix(view.camera);
    view.end();
    const auto screen_of = [&](const LgVector& world) {
        LgVector p{};
        LgVectorTransformPoints(&p, &world, 1, &view_matrix);
        return std::array<float, 2>{p.x / p.z * 640.0f, p.y / p.z * 480.0f};
    };
    std::vector<std::array<float, 4>> drawn;
    for (const enginetest::ScreenLine& l : device.lines())
        drawn.push_back({l[0].x, l[0].y, l[1].x, l[1].y});
    // 4 entry rings, the vehicle's sector (2 edges, 8 arc segments) and the cursor's ring.
    EXPECT_EQ(drawn.size(), size_t(4 * 8 + 10 + 8));
    const auto drawn_once = [&](const std::array<float, 2>& a, const std::array<float, 2>& b) {
        const auto near = [](float x, float y) { return std::fabs(x - y) < 0.01f; };
        int found = 0;
        for (const auto& l : drawn)
            found += (near(l[0], a[0]) && near(l[1], a[1]) && near(l[2], b[0]) && near(l[3], b[1]));
        return found;
    };
    struct Ring {
        const char* what;
        LgVector centre;
        float radius;
        int count;
    };
    const Ring rings[] = {{"hangar and tent, 10 above their spot", {100, 160, 100}, 10, 2},
                          {"lorry", {200, 160, 200}, 10, 1},
                          {"camel", {300, 410, 300}, 10, 1},
                          {"cursor, 10 above the ground point", {130, 160, 100}, 7, 1}};
    for (const Ring& ring : rings)
        for (int i = 0; i < 8; ++i) {
            const auto point = [&](int k) {
                const float a = float(k) * 3.14159265f / 4.0f;
                return screen_of({ring.centre.x + ring.radius * std::cos(a), ring.centre.y,
                                  ring.centre.z + ring.radius * std::sin(a)});
            };
            EXPECT_EQ(drawn_once(point(i), point(i + 1)), ring.count) << ring.what << " " << i;
        }
}

TEST_F(EditorTest, FaultsTheEditorGuardsAgainst) {
    struct Case {
        const char* what;
        std::function<void(EditorTest&, TavrinMission&)> act;
        std::function<bool(TavrinMission&)> holds;
    };
    const std::string del(1, char(0x8e));
    const Case cases[] = {
        {"a full ground table refuses placement",
         [](EditorTest&, TavrinMission& t) {
             t.ground_entry_count = kTvMissionMaxGroundEntries;
             t.HandleEditorInput(nullptr);
         },
         [](TavrinMission& t) { return t.ground_entry_count == kTvMissionMaxGroundEntries; }},
        {"a full vehicle table refuses placement",
         [](EditorTest&, TavrinMission& t) { t.vehicle_entry_count = kTvMissionMaxVehicleEntries; },
         [](TavrinMission& t) { return t.vehicle_entry_count == kTvMissionMaxVehicleEntries; }},
        {"a full air table refuses placement",
         [](EditorTest&, TavrinMission& t) { t.air_entry_count = kTvMissionMaxAirEntries; },
         [](TavrinMission& t) { return t.air_entry_count == kTvMissionMaxAirEntries; }},
        {"the next id past 5999 refuses placement",
         [](EditorTest&, TavrinMission& t) { t.next_id = 6000; },
         [](TavrinMission& t) { return t.ground_entry_count == 2 && t.next_id == 6000; }},
        {"a negative next id refuses placement",
         [](EditorTest&, TavrinMission& t) { t.next_id = -3; },
         [](TavrinMission& t) { return t.air_entry_count == 1 && t.next_id == -3; }},
    };
    for (const Case& c : cases) {
        open();
        c.act(*this, *m);
        cursor({400, 150, 400});
        keys("gvp");
        EXPECT_TRUE(c.holds(*m)) << c.what;
    }

    // No archetypes of a kind: the choice keys and placement do nothing.
    open("[map]\nmap = flat\n[archetypes]\nair = camel\n[air0]\nname = camel\nid = 4\n");
    point_at({0, 0, 0});
    keys("fhcbgv");
    EXPECT_EQ(m->editor.ground_choice, 0);
    EXPECT_EQ(m->editor.vehicle_choice, 0);
    EXPECT_EQ(m->ground_entry_count, 0);
    EXPECT_EQ(m->vehicle_entry_count, 0);
    EXPECT_EQ(m->next_id, 5);

    // Goals: Delete on an index past the list does nothing; after a deletion the selection
    // moves to a goal that exists, then clears with the last one; 'm' stops at 64.
    open();
    TvMissionAirEntry& air = m->air_entries[0];
    point_at(goal_at(4));
    m->editor.selected_goal = 7;
    keys(del);
    EXPECT_EQ(air.goal_count, 5);
    point_at(goal_at(4));
    keys(del);
    EXPECT_EQ(air.goal_count, 4);
    EXPECT_EQ(m->editor.selection, kTvEditorGoal);
    EXPECT_EQ(m->editor.selected_goal, 3);
    keys(del + del + del + del);
    EXPECT_EQ(air.goal_count, 0);
    EXPECT_EQ(m->editor.selection, kTvEditorNone);
    keys(del);
    EXPECT_EQ(air.goal_count, 0);
    point_at(kAir);
    keys(std::string(70, 'm'));
    EXPECT_EQ(air.goal_count, kTvMissionGoalCapacity);

    // Goal types outside 0..400, or without an icon, draw no icon.
    for (int32_t g = 0; g < 3; ++g) air.goals[g].type = std::array<int32_t, 3>{-5, 401, 7}[g];
    air.goal_count = 3;
    batches().clear();
    mission->DrawEditorInfo(nullptr);
    for (const Batch& b : batches()) EXPECT_NE(b.type, LgPrimTriList);
}

TEST_F(EditorTest, PlacementAppendsAnEntryAndSpawnsIt) {
    open();
    // The placed objects: the stand-in ground kind and the AI plane.
    cursor({420, 150, 430});
    keys("hg"
         "v"
         "[p");
    ASSERT_EQ(m->ground_entry_count, 3);
    ASSERT_EQ(m->vehicle_entry_count, 2);
    ASSERT_EQ(m->air_entry_count, 2);
    const TvMissionGroundEntry& ground = m->ground_entries[2];
    EXPECT_EQ(ground.id, 21);
    EXPECT_EQ(ground.archetype, m->ground_kinds[1]);
    EXPECT_EQ(ground.archetype_index, 1);
    EXPECT_EQ(ground.flags, 0x40u);
    EXPECT_FLOAT_EQ(ground.endurance, 50.0f);
    EXPECT_FLOAT_EQ(ground.matrix.pos.z, 430.0f);
    EXPECT_FLOAT_EQ(ground.matrix.at.z, 1.0f);
    EXPECT_FLOAT_EQ(ground.matrix.up.y, 1.0f);
    EXPECT_EQ(game->GetObjectById(21), ground.live_object);
    ASSERT_NE(ground.live_object, nullptr);
    const TvMissionVehicleEntry& vehicle = m->vehicle_entries[1];
    EXPECT_EQ(vehicle.id, 22);
    EXPECT_EQ(vehicle.target_group, 8);
    EXPECT_FLOAT_EQ(vehicle.range, 300.0f);
    EXPECT_NE(game->GetObjectById(22), nullptr);
    const TvMissionAirEntry& plane = m->air_entries[1];
    EXPECT_EQ(plane.id, 23);
    EXPECT_EQ(plane.archetype, m->plane_kinds[1]);
    EXPECT_FLOAT_EQ(plane.high_speed, 90.0f);
    EXPECT_FLOAT_EQ(plane.endurance, 80.0f);
    EXPECT_FLOAT_EQ(plane.flight.high_speed, 90.0f);
    EXPECT_EQ(plane.flags, uint32_t(kTvFlagPlane));
    EXPECT_EQ(game->GetObjectById(23), plane.live_object);
    EXPECT_EQ(m->next_id, 24);
}

} // namespace
} // namespace missiontest
