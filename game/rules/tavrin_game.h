// TavrinGame: the game component that owns a running mission: the registry of objects by
// list, id and group, the player planes and the viewport, the clock, the frame stages and
// the outcome. The multiplayer client game extends this class in place.
#pragma once

#include "game/rules/tv_game.h"
#include "game/rules/tv_game_proximity.h"
#include "game/rules/tv_mission.h"
#include "game/rules/tv_proximity_index.h"
#include "game/world/om_lg_particles.h"
#include "game/world/tv_bsp_landscape.h"
#include "game/world/tv_camera.h"

#include <utility>
#include <vector>

// One group list: members in the order they were added; removed members stay as holes.
struct TvGroupList {
    ITvObject* members[kTvMaxGroupMembers];
    int32_t count;
};

inline constexpr int32_t kTvMaxViewports = 1;

class TavrinGame : public ITvGame, public ITvGameProximity, public OmAllocated {
public:
    // The one instance while it exists (cleared by the last Release).
    static TavrinGame* instance;

    OmResult QueryInterface(const GUID& iid, void** out) override;
    uint32_t AddRef() override { return ++ref_count_; }
    uint32_t Release() override;
    IUnknown* identity() { return static_cast<ITvGame*>(this); }

    OmResult ResetClock() override;
    OmResult ReturnZero() override { return OM_S_OK; }
    OmResult Create(TvGameSettings* settings) override;
    OmResult Restart() override;
    OmResult Destroy() override;
    OmResult Update() override;
    OmResult Render(TvOverlayCallback callback, void* context) override;
    OmResult HandleInput(const InputEvent* event) override;
    int32_t GetOutcome() override { return outcome_; }
    OmResult AddObject(ITvObject* object, uint32_t event_mask, uint32_t update_flags) override;
    OmResult RemoveObject(ITvObject* object) override;
    OmResult SpawnGroundObject(const char* name, uint32_t spawn_flags, ITvObject** out) override;
    float GetFrameTime() override { return frame_time_; }
    float GetTimeSeconds() override;
    int32_t GetTimeMs() override;
    const LgVector* GetViewPosition() override { return view_position_; }
    ITvObject* GetWeapons() override { return weapons_; }
    OmResult ReturnZeroArg(uintptr_t) override { return OM_S_OK; }
    OmResult BroadcastEvent(const TvEvent* event, uint32_t mask) override;
    OmResult EmitParticles(int32_t kind, const void* record) override;
    OmResult SetLandscape(ITvBSPLandscape* landscape) override;
    ITvObject* GetRandomPlayer(uintptr_t, uintptr_t, uintptr_t) override;
    ITvObject* GetObjectById(int32_t id) override;
    ITvObject* FindTarget(int32_t id, const LgVector* position) override;
    float GetGroupStrength(int32_t group) override;
    OmResult ForEachLiveInGroup(int32_t group_id, TvGroupCallback callback, void* context) override;
    int32_t GetMissionResult() override;
    OmResult DrawText(float x, float y, const char* text, uint32_t colour) override;
    OmResult DrawCentredText(float y, const char* text, uint32_t colour) override;
    OmResult QueueDeferredAtomic(LgAtomic* atomic) override;
    int32_t GetCheat(int32_t code) override;
    float GetEnduranceScaleSide1() override;
    float GetEnduranceScaleSide2() override;
    OmResult SetPlayerPlane(ITvObject* plane, int32_t with_camera, int32_t slot) override;
    ITvMission* GetMission() override { return mission_; }
    OmResult DealDamage(ITvObject* object, float amount, int32_t attacker_id) override;
    OmResult MoveObjectToGroup(ITvObject* object, int32_t group_a, int32_t group_b) override;
    OmResult SendObjectUpdate(ITvObject*, uintptr_t) override { return OM_E_FAIL; }
    OmResult GetLocalPlayerScore(TvPlayerScore* out) override;
    int32_t GetReinforcementsUsed() override { return reinforcements_used_; }
    int32_t GetReinforcementsEarned(int32_t value) override;
    OmResult ForceOutcome(int32_t outcome) override;

    OmResult ForEachLiveInGroupNear(int32_t group_id, const LgVector* centre, float reach,
                                    TvGroupCallback callback, void* context) override;

    // --- Beyond the interface: the steps Create and Restart are built from, and what the
    // editor and the client game use. ---

    // Takes the settings and empties the registry: clock, lists, id table, groups, player
    // slots (one per settings player), outcome, pointer, run state 1. OM_E_FAIL without
    // settings or with a player count outside 0..64; OM_E_OUTOFMEMORY.
    OmResult BeginSession(TvGameSettings* settings);
    // The frame and depth rasters: the settings' when they supply a frame raster, else new
    // ones of the settings' size. OM_E_FAIL.
    OmResult SetUpRasters();
    // Files every registered object flagged as a take-off point (at most 16).
    void CollectTakeoffPoints();
    // Creates the particles component and registers the game's particle kinds.
    OmResult SetUpParticles();
    // Builds `count` viewports tiling the rectangle (the game has room for one).
    OmResult CreateViewports(int32_t x, int32_t y, int32_t width, int32_t height, int32_t split,
                             int32_t count, int32_t first, float far_clip);
    // Adds a ground archetype for SpawnGroundObject (no reference held). OM_E_FAIL when the
    // table is full.
    OmResult AddGroundArchetype(const char* name, ITvObject* archetype);
    // Holds the mission and the weapons (one reference each; the previous one released).
    void SetMission(ITvMission* mission);
    void SetWeapons(ITvObject* weapons);

    int32_t run_state() const { return run_state_; }
    // 2 enters the editor (time stands, the overlay is drawn); 1 runs again.
    void set_run_state(int32_t state) { run_state_ = state; }
    int32_t editor_switch() const { return editor_switch_; }
    int32_t pointer_x() const { return pointer_x_; }
    int32_t pointer_y() const { return pointer_y_; }
    TvGameSettings* settings() const { return settings_; }
    ITvObject* player_plane(int32_t slot) const;
    ITvCamera* viewport_camera(int32_t index) const {
        return index >= 0 && index < kTvMaxViewports ? viewport_cameras_[index] : nullptr;
    }
    IOmLgParticles* particles() const { return particles_; }
    ITvBSPLandscape* landscape() const { return landscape_; }
    LgWorld* world() const { return world_; }
    const TvGroupList& group(int32_t g) const { return groups_[g]; }
    int32_t master_count() const { return master_count_; }
    ITvObject* master_object(int32_t i) const { return master_objects_[i]; }
    int32_t takeoff_count() const { return takeoff_count_; }
    const TvTakeoffPoint& takeoff_point(int32_t i) const { return takeoff_points_[i]; }
    void set_clock_offsets(int32_t a, int32_t b) {
        clock_offsets_[0] = a;
        clock_offsets_[1] = b;
    }

    // The editor's keys (F9 in and out of editing, F8 saving) when the editor is switched on;
    // true when the event was one of them and is used up.
    bool take_editor_key(const InputEvent& event);
    const char* editor_note() const { return editor_note_; }

    // FindTarget's search of group -id by walking the whole list (what the grid answers
    // too, and the answer wherever the grid is not asked).
    ITvObject* find_target_by_walk(int32_t g, const LgVector& position);

    // The deferred red pass over the atomics queued this frame.
    void DrawDeferred();

    TavrinGame() = default;
    virtual ~TavrinGame();
    TavrinGame(const TavrinGame&) = delete;
    TavrinGame& operator=(const TavrinGame&) = delete;

protected:
    // The client game's own nearest-object search, used by FindTarget when this game
    // answers ITvClientGame; the plain game never gets here.
    virtual ITvObject* FindNearestObject(const LgVector* position);

    void read_clock();
    void mark(const char* stage);
    // Restart's work on the loaded mission (nothing is read again): every object let go, the
    // mission's objects placed anew, its player planes in their slots, weapons, particles and
    // explosions emptied, the outcome cleared. Needs the settings and the mission.
    void start_mission_again();
    void release_player_slots();
    void release_registered_objects(bool destroy_each);
    // The per-frame judgement of the outcome (the client game judges its own).
    virtual void update_outcome();
    void give_net_plane_sound(ITvObject* plane);
    // FindTarget's search from the grid of group g (a ring of cells at a time, until no
    // unseen cell can hold a nearer member); false when the list must be walked instead.
    bool find_target_in_grid(int32_t g, const LgVector& position, ITvObject** found);
    // Loads the settings' mission and lets it populate the game. OM_E_FAIL.
    OmResult build_mission();
    // Registers the viewport cameras again after the registry was emptied.
    void register_viewports();
    // Puts the mission's player planes into their slots, or the default plane into
    // `default_slot` when none was placed and the settings allow it.
    void place_player_planes(int32_t default_slot);
    void make_default_plane(int32_t slot);
    // The weapons component (a build without it runs without weapons). OM_E_FAIL.
    OmResult set_up_weapons();
    void free_default_plane_entry();
    // The mission's ground kinds become the game's ground archetypes.
    void adopt_ground_archetypes();
    // The editing state (tv_game_editing.cpp).
    void enter_editor();
    void leave_editor();
    void save_edited_mission();
    // While editing: the event to the viewport camera, the ground point under its cursor and
    // the event to the mission's editor.
    void route_editor_input(const InputEvent& event);
    // The last save's result, for three seconds after it.
    void draw_editor_note();

    TvGameSettings* settings_ = nullptr;
    LgRaster* frame_raster_ = nullptr;
    LgRaster* depth_raster_ = nullptr;
    LgRaster* viewport_rasters_[kTvMaxViewports] = {};
    LgRaster* viewport_depth_rasters_[kTvMaxViewports] = {};
    ITvCamera* viewport_cameras_[kTvMaxViewports] = {};
    ITvBSPLandscape* landscape_ = nullptr;
    LgWorld* world_ = nullptr;
    const LgVector* view_position_ = nullptr;
    int32_t clock_ = 0;
    int32_t previous_clock_ = 0;
    float frame_time_ = 0.0f;
    float weapon_time_ = 0.0f;
    float frames_since_start_ = 0.0f;
    int32_t outcome_ = 0;
    ITvObject* master_objects_[kTvMaxObjects] = {};
    uint32_t master_update_flags_[kTvMaxObjects] = {};
    uint32_t master_event_masks_[kTvMaxObjects] = {};
    int32_t master_count_ = 0;
    ITvObject* id_table_[kTvMaxIds] = {};
    TvGroupList groups_[kTvGroupCount] = {};
    TvProximityIndex proximity_{groups_, master_objects_, &master_count_};
    // Scratch lists of the proximity questions (tv_game_proximity.cpp, FindTarget).
    std::vector<int32_t> near_slots_;
    int32_t near_walks_ = 0;
    std::vector<int32_t> ring_slots_;
    std::vector<std::pair<int32_t, float>> seen_targets_;
    ITvObject* ground_archetypes_[kTvMaxGroundArchetypes] = {};
    char ground_archetype_names_[kTvMaxGroundArchetypes][32] = {};
    int32_t ground_archetype_count_ = 0;
    int32_t default_ground_archetype_ = 0;
    ITvMission* mission_ = nullptr;
    ITvObject** player_planes_ = nullptr; // settings' player count entries
    int32_t player_slot_count_ = 0;
    ITvObject* weapons_ = nullptr;
    IOmLgParticles* particles_ = nullptr;
    int32_t pointer_x_ = 0;
    int32_t pointer_y_ = 0;
    int32_t run_state_ = 0;
    uint32_t ref_count_ = 1;
    LgAtomic* deferred_atomics_[kTvMaxDeferredAtomics] = {};
    int32_t deferred_count_ = 0;
    uint8_t saved_fog_table_[256] = {};
    int32_t editor_switch_ = 0;
    TvTakeoffPoint takeoff_points_[kTvMaxTakeoffPoints] = {};
    int32_t takeoff_count_ = 0;
    int32_t clock_offsets_[2] = {};
    int32_t reinforcements_used_ = 0;
    // Set by ForceOutcome: the outcome is no longer judged.
    bool outcome_forced_ = false;
    // The air entry the default player plane was made from (its descriptor while it lives).
    TvMissionAirEntry* default_plane_entry_ = nullptr;
    char editor_note_[96] = {};
    uint32_t editor_note_until_ = 0;
};

OM_DECLARE_MODULE(TavrinGame);
inline OmResult TvRegisterGameClass(IObjectManager* manager) {
    return TavrinGame_RegisterClasses(manager);
}
inline OmResult TvUnregisterGameClass(IObjectManager* manager) {
    return TavrinGame_UnregisterClasses(manager);
}

// The game's particle kinds and their update routines (context: the game).
enum TvParticleKind : int32_t {
    kTvParticleMaroon = 1,
    kTvParticleCloth = 3,
    kTvParticleSmoke = 4,
    kTvParticleTrail = 5,
    kTvParticleFire = 7,
    kTvParticleTrailSmoke = 8,
    kTvParticleHit = 9,
    kTvParticleFlash = 16,
};
int32_t TvParticleFade(void* game, OmParticleHeader* particle);
int32_t TvParticleFlash(void* game, OmParticleHeader* particle);
int32_t TvParticleDrift(void* game, OmParticleHeader* particle);
int32_t TvParticleTrailEmitter(void* game, OmParticleHeader* particle);
int32_t TvParticleFireEmitter(void* game, OmParticleHeader* particle);

// The game's particle records (the header, then each kind's own fields).
struct TvFadeParticle {
    OmParticleHeader head;
    float life;       // seconds
    float alpha_rate; // alpha per second of remaining life
};
struct TvFlashParticle {
    OmParticleHeader head;
    float life;
};
struct TvDriftParticle {
    OmParticleHeader head;
    float growth;                                      // size per second
    float red_rate, green_rate, blue_rate, alpha_rate; // per second
    float red, green, blue, alpha;                     // 0..1
    LgVector velocity;                                 // per second
};
struct TvTrailEmitterParticle {
    OmParticleHeader head;
    LgVector velocity;            // per update
    float accumulated;            // seconds towards the next emission
    float rate;                   // emissions per second
    const TvDriftParticle* templ; // emitted as kind 8 at the emitter's position
};
struct TvFireEmitterParticle {
    OmParticleHeader head;
    LgVector velocity; // per second
    float accumulated;
    float gravity; // added to velocity y per second
    float rate;
    float life; // seconds
};
