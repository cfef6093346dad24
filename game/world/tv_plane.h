// The plane: the ITvPlane interface, its states and property ids, the plane's fields, and the
// TavrinPlane component that loads a plane kind from plane.ini and flies it.
#pragma once

#include "game/rules/tv_control_bindings.h"
#include "game/rules/tv_mission_entries.h"
#include "game/world/tv_object.h"

struct ISound;
struct LgTexture;

inline constexpr GUID IID_ITvPlane = om_guid("DFDA2EA0-D0A5-4B35-947F-7EF2D3E91E1F");
inline constexpr GUID CLSID_TavrinPlane = om_guid("0B7C2F3E-5A41-4D8E-9C3B-2E61A4F8D915");

// Plane states (property 517).
enum TvPlaneState : int32_t {
    kTvPlaneFlying = 1,
    kTvPlaneCrashing = 2,
    kTvPlaneCrashed = 3,
    kTvPlaneTaxiing = 4,
    kTvPlaneStalling = 5,
    kTvPlaneRolling = 6,
    kTvPlaneOffMap = 7, // network-driven planes only
};

// Plane properties (after the base ids). "address": GetProperty gives the field's address;
// "value": the field itself. SetProperty takes the argument itself ("arg") or copies from
// the memory it points to ("from pointer").
enum TvPlaneProperty : uint32_t {
    kTvPlanePropControlBlock = 513,      // TvControlBindings: address / from pointer
    kTvPlanePropFlightTable = 514,       // TvFlightTable: address / from pointer
    kTvPlanePropSpeed = 515,             // float: address / from pointer
    kTvPlanePropCamera = 516,            // ITvObject*: address / arg
    kTvPlanePropState = 517,             // TvPlaneState: value / arg, with side effects
    kTvPlanePropKillsSideA = 518,        // kills of group 8: value
    kTvPlanePropKillsSideB = 519,        // kills of group 9: value
    kTvPlanePropShotsFired = 520,        // value
    kTvPlanePropHitsScored = 521,        // value
    kTvPlanePropEngineSound = 523,       // char[32]: address / string copy
    kTvPlanePropGunSound = 524,          // char[32]
    kTvPlanePropHitSound = 525,          // the base object's hit sound name
    kTvPlanePropExplosionSound = 526,    // the base object's explosion sound name
    kTvPlanePropRocketSound = 527,       // char[32]
    kTvPlanePropBombSound = 528,         // char[32]
    kTvPlanePropAltHitSound = 529,       // the base object's alternative hit sound name
    kTvPlanePropSpiralSound = 530,       // char[68]
    kTvPlanePropEngineSoundObject = 531, // ISound*: value / arg
    kTvPlanePropGunSoundObject = 532,    // ISound*: value / arg
    kTvPlanePropEngineFrequency = 533,   // int32: address / from pointer
    kTvPlanePropEngineVolume = 534,      // float: address / from pointer
    kTvPlanePropShadowTexture = 535,     // LgTexture*: value / arg
    kTvPlanePropVelocity = 536,          // 3 floats: address / from pointer
    kTvPlanePropShadowOffset = 537,      // float: value (its bits) / from pointer
    kTvPlanePropThrottle = 538,          // float: value (its bits) / from pointer
};

// Fire kinds of TvPlaneFire.
inline constexpr int32_t kTvFireGuns = 1;
inline constexpr int32_t kTvFireOrdinance = 2;

// Events a plane sends its camera while the look buttons change (data: 1 down, 0 up).
inline constexpr uint32_t kTvPlaneLookEventFirst = 1280;

// Cockpit textures, in the order of the plane's table.
enum TvCockpitTexture : int32_t {
    kTvCockpitSpeedDial,
    kTvCockpitSpeedNeedle,
    kTvCockpitSmallTarget,
    kTvCockpitSmallAlly,
    kTvCockpitPlaneIcon,
    kTvCockpitSmallEnemy,
    kTvCockpitProtect,
    kTvCockpitSmallIcons,
    kTvCockpitMap,
    kTvCockpitMapWater,
    kTvCockpitCompass,
    kTvCockpitBulletHole,
    kTvCockpitRocket,
    kTvCockpitBomb,
    kTvCockpitGun,
    kTvCockpitSplat,
    kTvCockpitBoostGauge,
    kTvCockpitTextureCount,
};

// The plane's operations after those of a game object. Every one returns a result code.
struct ITvPlane : ITvObject {
    // Loads the plane kind "objects\planes\<name>\plane.ini" into this archetype. 0 or
    // OM_E_FAIL; "dummy" loads nothing and answers 0.
    virtual OmResult LoadPlane(const char* name) = 0;
    // Draws the cockpit display of the plane into the current camera. 0.
    virtual OmResult DrawCockpitHud() = 0;
    // Fires the guns (kTvFireGuns) or the ordinance (kTvFireOrdinance).
    virtual OmResult TvPlaneFire(int32_t kind) = 0;
    // Fills a network state record of the network-driven plane.
    virtual OmResult TvPlaneGetNetState(void* record) = 0;
    // Puts the plane back on the ground as new.
    virtual OmResult TvPlaneRespawn() = 0;
    // Applies a pickup of kind 1..5 taken from the ground object `object_id`.
    virtual OmResult TvPlanePickup(int32_t kind, int32_t object_id) = 0;
};

// The flight state saved while the boost runs and put back when it ends.
struct TvSavedFlightState {
    float throttle;
    float previous_throttle;
    float speed;
    float energy;
    int32_t saved;
};

// The plane's fields after the base object's. The logical matrix is the base object's frame
// matrix (the pose the flight model moves); the model frame carries the visible model, which
// is the logical matrix banked by `bank` degrees.
struct TvPlaneFields {
    int32_t state{};
    LgVector velocity{};
    float throttle{};
    float speed{};
    LgMatrix previous_matrix{};
    LgMatrix* model_matrix{};
    LgFrame* model_frame{};
    ITvObject* camera{}; // borrowed
    float bank{};
    float pitch_rate{}; // degrees per second; the ground pitch angle while taxiing
    float sideslip_rate{};
    float energy{};
    LgTexture* shadow_texture{}; // one reference
    LgTexture* cockpit_textures[kTvCockpitTextureCount]{};
    float smoke_timer{};
    float ground_clearance{};
    float altitude{};
    int32_t ordinance_type{};
    int32_t ordinance_count{};
    int32_t ordinance_maximum{};
    TvFlightTable flight{};
    float smoke_level{};
    float smoke_gain{};
    TvControlBindings controls{};
    float gun_cycle_time{};
    float gun_time_owed{};
    float secondary_timer{};
    char engine_sound_name[32]{};
    char gun_sound_name[32]{};
    char rocket_sound_name[32]{};
    char bomb_sound_name[32]{};
    char spiral_sound_path[68]{};
    int32_t engine_frequency{};
    float engine_volume{};
    int32_t guns_firing{};
    int32_t boost_active{};
    float hit_indicator{};
    int32_t skip_controls_once{};
    float boost_time{};
    float previous_throttle{};
    int32_t shots_fired{};
    int32_t hits_scored{};
    ISound* gun_sound{};
    ISound* boost_sound{};
    ISound* engine_sound{};
    int32_t kills_side_a{};
    int32_t fatal_event{};
    TvSavedFlightState saved_flight{};
    float shadow_offset{};
    int32_t crash_on_contact{};
    int32_t kills_side_b{};
    // Set once a crashed plane has been put on the ground; cleared when it leaves Crashed.
    int32_t wreck_placed{};
    // Presses of the camera-change binding not yet given to the camera (counted as the events
    // come, so a tap shorter than a frame still changes the view).
    int32_t camera_changes{};
    // The plane itself through its own (possibly derived) operation table.
    ITvPlane* plane_self{};
};

// The plane component. Derived planes (the AI plane, the network-driven plane) override its
// operations and reach the plane's through TavrinPlane::Operation; calls a plane makes on
// itself (state changes, firing) go through plane_self, so overrides take effect.
class TavrinPlane : public TavrinObjectBase<ITvPlane>, public TvPlaneFields {
public:
    TavrinPlane();

    OmResult QueryInterface(const GUID& iid, void** out) override;
    OmResult Reset() override;
    OmResult Unload() override;
    OmResult Create(TvCreateDescriptor* descriptor) override;
    OmResult Destroy() override;
    OmResult SetProperty(uint32_t id, uintptr_t value) override;
    OmResult GetProperty(uint32_t id, uintptr_t* out) override;
    OmResult Render() override;
    OmResult Update() override;
    OmResult HandleEvent(const TvEvent* event) override;
    OmResult AddDamage(float amount, int32_t attacker_id) override;
    int32_t IsDead() override;
    OmResult SetDamage(uint32_t word, float value, uint32_t word2) override;

    OmResult LoadPlane(const char* name) override;
    OmResult DrawCockpitHud() override;
    OmResult TvPlaneFire(int32_t kind) override;
    OmResult TvPlaneGetNetState(void* record) override;
    OmResult TvPlaneRespawn() override;
    OmResult TvPlanePickup(int32_t kind, int32_t object_id) override;

protected:
    ~TavrinPlane() override;
};

// The plane's behaviour as functions over its two records, for derived planes and tests.
namespace tvplane {

struct Plane {
    TvObjectFields& o;
    TvPlaneFields& p;
};

// The game's frame time, 0 without a game.
float frame_time(const TvObjectFields& o);
// The world the plane flies in: its own (property 6), else its landscape's; may be null.
LgWorld* world_of(const TvObjectFields& o);

// Per-frame update and its steps.
OmResult update(Plane plane);
void apply_controls(Plane plane);
void fly(Plane plane);
void collide(Plane plane);
// Puts a crashed plane on the ground below it (a vertical probe from 800 down to 100).
void place_wreck(Plane plane);
// Input events into the controls block. 0.
OmResult handle_event(Plane plane, const TvEvent* event);
// The state through the plane's own SetProperty.
void set_state(Plane plane, int32_t state);

// plane.ini into the archetype; see TavrinPlane::LoadPlane.
OmResult load(Plane plane, const char* name);
// New vertex normals, black prelight, texture filtering and surface coefficients of every
// atomic of a model (the plane uses 0.5, ground objects 1.0). A prelit model keeps its
// prelight colours.
void prepare_model(LgClump* model, float surface, bool prelit = false);
// The model's extents over morph target 0 of every atomic: front, back, port, starboard,
// up, down (each the distance from the model's origin).
void measure_model(LgClump* model, TvFlightTable* flight);

} // namespace tvplane

// Effects a plane starts when it crashes: explosion of the plane's size and a smoke puff.
void TvPlaneStartCrashEffects(const TvObjectFields& o);

OM_DECLARE_MODULE(TavrinPlane);
inline OmResult TvRegisterPlaneClass(IObjectManager* manager) {
    return TavrinPlane_RegisterClasses(manager);
}
inline OmResult TvUnregisterPlaneClass(IObjectManager* manager) {
    return TavrinPlane_UnregisterClasses(manager);
}

// The state record a network-driven plane reads from a plane (TvPlaneGetNetState).
struct TvPlaneNetState {
    uint32_t kind;   // kTvNetStateFull asks for the whole state
    int32_t partial; // written: 0 for a full state, 1 for the position alone
    LgVector position;
    LgVector velocity; // at row x speed (full state)
    LgVector right;    // the model matrix's right row (full state)
};
inline constexpr uint32_t kTvNetStateFull = 0x40;

// Pickup kinds of TvPlanePickup (the ground pickup's "pickup" key).
enum TvPickupKind : int32_t {
    kTvPickupRockets = 1,
    kTvPickupBombs = 2,
    kTvPickupHealth = 3,
    kTvPickupRepairman = 4,
    kTvPickupBoost = 5,
};

// The hit flash alone (the client game's answer to the local player being hit). 0.
OmResult TvPlaneFlashHit(TavrinPlane* plane);

// The cockpit display's pieces, for the camera's cockpit hook and for tests.
namespace tvplane {
// Damage (set: the new damage is `value`, else damage += amount); see TavrinPlane::AddDamage.
OmResult take_damage(Plane plane, float amount, bool set, float value);
OmResult fire(Plane plane, int32_t kind);
// Advances the guns' burst clock by the frame time: the rounds owed this frame (their time
// is taken off what is owed).
int32_t gun_rounds(Plane plane);
OmResult pickup(Plane plane, int32_t kind);
OmResult get_net_state(Plane plane, TvPlaneNetState* record);
OmResult render_shadow(Plane plane);
// The shadow's box matrix: at the plane moved along its at row by the shadow offset, facing
// straight down, its right row the plane's right made horizontal.
LgMatrix shadow_matrix(const LgMatrix& logical, float shadow_offset);
OmResult draw_cockpit_hud(Plane plane);
OmResult draw_radar(Plane plane, float zoom);
} // namespace tvplane

// The camera's cockpit hook: the followed plane's DrawCockpitHud. Installed by start-up with
// TvSetCockpitRenderer.
OmResult TvDrawPlaneCockpit(ITvObject* followed, LgCamera* camera);
