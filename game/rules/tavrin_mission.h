// TavrinMission: one playable scenario read from mission.ini: the landscape, the archetype of
// every kind it names, the ground, vehicle and air entries, group goals, time limit and
// reinforcement thresholds; it spawns the entries into the game, judges the goals, keeps the
// clock and draws the mission's text.
#pragma once

#include "game/rules/tv_mission.h"
#include "game/world/tv_bsp_landscape.h"

struct IPropertySheet;
struct IRenderer;
struct IRasterCreate;
struct IFont;
struct IFontCache;
struct ITextRenderer;
struct LgTexture;

// The project's own class id (none is given for the mission).
inline constexpr GUID CLSID_TavrinMission = om_guid("9B3E6C21-7D4A-4F58-B0E2-3C8A1D5F6E94");
inline constexpr GUID IID_ITvMission = om_guid("4A7C2E19-6B3D-4D8F-9E51-A0C2B7D4E836");

inline constexpr int32_t kTvMissionGroupGoals = 10;
inline constexpr int32_t kTvMissionMaxReinforcements = 10;
inline constexpr int32_t kTvMissionMaxGroundKinds = 64;
inline constexpr int32_t kTvMissionMaxVehicleKinds = 16;
inline constexpr int32_t kTvMissionMaxPlaneKinds = 32;
inline constexpr int32_t kTvMissionMaxGroundEntries = 1200;
inline constexpr int32_t kTvMissionMaxVehicleEntries = 100;
inline constexpr int32_t kTvMissionMaxAirEntries = 100;
inline constexpr int32_t kTvMissionGoalIcons = 401;
inline constexpr size_t kTvMissionNameSize = 32;
inline constexpr size_t kTvPlayerPlaneNameSize = 64;
inline constexpr float kTvDefaultSafeHeight = 70.0f;

// What the editor has selected (TvMissionEditorState::selection).
enum TvEditorSelection : int32_t {
    kTvEditorNone = 0,
    kTvEditorGround = 1,
    kTvEditorAir = 2,
    kTvEditorVehicle = 3,
    kTvEditorGoal = 4,
};

// The editor's state: the selection, the mode (0 select, 1 move, 2 turn, 3 select without
// goals) and the archetype each placement key would use.
struct TvMissionEditorState {
    int32_t selection;
    int32_t selected_id;
    int32_t selected_goal;              // the goal's index; for an entry 0 body, 1 heading handle
    TvCreateDescriptor* selected_entry; // the entry (for a goal, its air entry)
    int32_t mode;
    int32_t ground_choice;
    int32_t vehicle_choice;
    int32_t plane_choice;
    int32_t reserved;
};

// The goal types in the editor's order (',' steps forward, 'n' back).
inline constexpr int32_t kTvEditorGoalTypes[16] = {256, 16,  64,  288, 352, 368, 32,  48,
                                                   96,  336, 112, 128, 144, 304, 320, 400};

// The mission's fields (zeroed at creation).
struct TvMissionFields {
    char map_name[kTvMissionNameSize]{};
    LgVector offset{};
    float group_goals[kTvMissionGroupGoals]{};
    int32_t outcome{};
    float time_limit{};
    float elapsed{};
    int32_t reinforcement_count{};
    int32_t reinforcement_thresholds[kTvMissionMaxReinforcements]{};
    ITvObject* ground_kinds[kTvMissionMaxGroundKinds]{};
    ITvObject* vehicle_kinds[kTvMissionMaxVehicleKinds]{};
    ITvObject* plane_kinds[kTvMissionMaxPlaneKinds]{};
    char ground_kind_names[64][kTvMissionNameSize]{};
    char vehicle_kind_names[64][kTvMissionNameSize]{};
    char plane_kind_names[64][kTvMissionNameSize]{};
    int32_t ground_kind_count{};
    int32_t vehicle_kind_count{};
    int32_t plane_kind_count{};
    TvMissionGroundEntry ground_entries[kTvMissionMaxGroundEntries]{};
    TvMissionVehicleEntry vehicle_entries[kTvMissionMaxVehicleEntries]{};
    TvMissionAirEntry air_entries[kTvMissionMaxAirEntries]{};
    int32_t ground_entry_count{};
    int32_t vehicle_entry_count{};
    int32_t air_entry_count{};
    ITvGame* game{};
    LgTexture* goal_icons[kTvMissionGoalIcons]{};
    ITvBSPLandscape* landscape{};
    TvMissionEditorState editor{};
    int32_t next_id{};
    IRenderer* renderer{};
    IRasterCreate* raster_factory{};
    IFont* font{};
    IFontCache* font_cache{};
    ITextRenderer* text_renderer{};
    LgVector editor_cursor{};
    float safe_height{};
    int32_t music_track{};
    // Beside each air entry: the plane name its section had in the file, which the writer
    // keeps when the player's chosen plane replaced it on loading (empty: no swap).
    char air_file_names[kTvMissionMaxAirEntries][kTvPlayerPlaneNameSize]{};
    // Objects the editor deleted: out of the game and its world, kept alive (one reference
    // each) because others may still point at them, until Start or Unload.
    ITvObject* removed_objects[kTvMissionMaxGroundEntries + kTvMissionMaxVehicleEntries +
                               kTvMissionMaxAirEntries]{};
    int32_t removed_count{};
};

class TavrinMission final : public ITvMission, public TvMissionFields, public OmAllocated {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override;
    uint32_t AddRef() override { return ++ref_count_; }
    uint32_t Release() override;
    IUnknown* identity() { return static_cast<ITvMission*>(this); }

    OmResult LoadMission(int32_t number, char* player_plane_name) override;
    OmResult Unload() override;
    OmResult Update() override;
    OmResult Start(ITvGame* game) override;
    OmResult SaveMission(int32_t number) override;
    OmResult DrawClock(ITvObject* camera) override;
    OmResult DrawEditorInfo(ITvObject* camera) override;
    OmResult DrawText(float x, float y, const char* text, uint32_t colour) override;
    OmResult HandleEditorInput(const TvEvent* event) override;
    int32_t Evaluate() override;
    int32_t GetScore() override;
    ITvObject* SpawnAirEntry(TvMissionAirEntry* entry, const GUID& clsid) override;
    ITvObject* SpawnGroundEntry(TvMissionGroundEntry* entry, const GUID& clsid) override;
    ITvObject* SpawnVehicleEntry(TvMissionVehicleEntry* entry, const GUID& clsid) override;
    OmResult FillAirEntry(const char* plane_name, TvMissionAirEntry* entry) override;
    OmResult ChangePlaneType(ITvObject* plane, const char* plane_name) override;
    int32_t GetReinforcementsEarned(int32_t value) override;

    // The pixel width of a line in the mission's font (0 without the text chain).
    int32_t MeasureTextWidth(const char* text);

    TavrinMission() = default;
    ~TavrinMission();
    TavrinMission(const TavrinMission&) = delete;
    TavrinMission& operator=(const TavrinMission&) = delete;

private:
    OmResult read_archetypes(IPropertySheet* sheet);
    void read_ground_entries(IPropertySheet* sheet, int32_t& largest_id);
    void read_air_entries(IPropertySheet* sheet, char* player_plane_name, int32_t& largest_id);
    void read_vehicle_entries(IPropertySheet* sheet, int32_t& largest_id);
    void create_text_chain();
    void release_text_chain();
    // One line through the text renderer; a null colour keeps the renderer's.
    void draw_line(float x, float y, const char* text, const uint32_t* colour);
    int32_t plane_kind_index(const char* name) const;
    // The editor (tv_mission_editor.cpp).
    void load_goal_icons();
    void release_goal_icons();
    void release_removed_objects();
    void editor_key(uint32_t key);
    void editor_goal_key(uint32_t key, TvMissionAirEntry& entry, int32_t index);
    void editor_entry_key(uint32_t key);
    void editor_motion();
    void editor_select();
    void editor_move();
    void editor_turn();
    void editor_place(int32_t kind);
    void editor_delete_entry();
    void draw_editor_markers();

    uint32_t ref_count_ = 1;
};

// The width of a text line in the mission's font; 0 for a null or empty text.
int32_t TvMeasureTextWidth(ITvMission* mission, const char* text);

// The editor's drawing of its markers: line lists and textured triangles in world space, one
// call per batch. The engine's immediate mode by default; tests install a recorder.
using TvEditorPrimitiveSink = void (*)(int32_t type, const struct LgIm3DVertex* vertices,
                                       int32_t count, LgTexture* texture);
void TvSetEditorPrimitiveSink(TvEditorPrimitiveSink sink);

// Reads one section of texden.ini and sets the four texture-reduction shifts. 0, or OM_E_FAIL
// when the file or a property sheet cannot be had (the shifts then stay as they were).
OmResult LoadTextureList(const char* section, int32_t budget);
// The shifts of the four size classes for their loads within a budget (texden.ini's rule).
void TvTextureShifts(const int32_t load[4], int32_t budget, int32_t shift[4]);

OM_DECLARE_MODULE(TavrinMission);
inline OmResult TvRegisterMissionClass(IObjectManager* manager) {
    return TavrinMission_RegisterClasses(manager);
}
