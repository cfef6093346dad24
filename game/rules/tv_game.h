// The game interface every game object reaches the running mission through, the settings
// record the front end fills for it, and the registry's limits and codes.
#pragma once

#include "game/world/tv_object.h"
#include "media/input/input_event.h"

struct IPropertySheet;
struct IProfile;
struct ITimer;
struct ITvMission;

inline constexpr GUID IID_ITvGame = om_guid("d67e98bc-6a7e-4bab-a88a-ef926be5c405");
inline constexpr GUID CLSID_TavrinGame = om_guid("a2f65e04-ce58-4db9-8d19-57a146516aec");
// Answered only by the multiplayer client game.
inline constexpr GUID IID_ITvClientGame = om_guid("e5595241-de67-4703-8efb-c021c2fc418c");
inline constexpr GUID IID_ITvNetPlane = om_guid("ae8fe69f-8187-42ee-9c07-bf781b62b770");

// Limits of the game's registry.
inline constexpr int32_t kTvMaxObjects = 3000;
inline constexpr int32_t kTvMaxIds = 6000;
inline constexpr int32_t kTvGroupCount = 10;
inline constexpr int32_t kTvMaxGroupMembers = 1500;
inline constexpr int32_t kTvMaxTakeoffPoints = 16;
inline constexpr int32_t kTvMaxDeferredAtomics = 64;
inline constexpr int32_t kTvMaxGroundArchetypes = 64;

// Groups of the AI sides and of the players.
inline constexpr int32_t kTvGroupPlayers = 1;
inline constexpr int32_t kTvGroupSideA = 8;
inline constexpr int32_t kTvGroupSideB = 9;

// Update flags of a registered object.
inline constexpr uint32_t kTvDrawEffects = 0x1; // drawn in the object-effects pass
inline constexpr uint32_t kTvTakesInput = 0x2;  // receives input events
inline constexpr uint32_t kTvUpdateEveryFrame = 0x4;
// Event mask of viewport cameras: such objects are in no id table and no group.
inline constexpr uint32_t kTvEventMaskViewport = 4;
// Event mask and update flags the game gives spawned ground objects.
inline constexpr uint32_t kTvEventMaskWorldObject = 0x1c0;

// Run states: 1 running, 2 editing; any other value holds the clock.
inline constexpr int32_t kTvRunStateRunning = 1;
inline constexpr int32_t kTvRunStateEditing = 2;

// Input codes the game acts on itself.
inline constexpr uint16_t kTvInputPointerX = 48;
inline constexpr uint16_t kTvInputPointerY = 49;
inline constexpr uint16_t kTvInputTimerEvent = 0x301; // from the front end's timer device
inline constexpr uint16_t kTvTimerDeviceId = 1234;

// Cheat codes of GetCheat.
inline constexpr int32_t kTvCheatAlwaysOn = 1;
inline constexpr int32_t kTvCheatInfinite = 2;
inline constexpr int32_t kTvCheatInvulnerable = 3;

// The outcome of a mission the player abandoned.
inline constexpr int32_t kTvOutcomeAborted = 48;

// The settings record the front end fills once and hands to Create; it stays the front
// end's. Fields are in the front end's order; the unnamed words are its own.
struct TvGameSettings {
    uint32_t size;
    int32_t placed_player_count; // written by the game while it places player planes
    int32_t player_count;        // player slots (8)
    int32_t viewport_count;
    int32_t width;
    int32_t height;
    int32_t front_end_word6;
    float far_clip;         // "drawdistance"
    int32_t effects_detail; // "effectsdetail", default 1000
    int32_t mission_number;
    LgRaster* frame_raster; // supplied frame raster, or null
    LgRaster* depth_raster;
    uint16_t keyboard_device;
    uint16_t mouse_device;
    uint16_t timer_device; // the front end's timer events (kTvTimerDeviceId)
    int32_t front_end_words15[4];
    int32_t vsync;
    int32_t boost;
    int32_t infinite;     // cheat switch
    int32_t invulnerable; // cheat switch
    float game_speed;
    float enemy_endurance;    // the other side's endurance scale
    float standard_endurance; // the player side's endurance scale
    int32_t hardware_sound;
    int32_t front_end_word27;
    IUnknown* network_client;
    IPropertySheet* settings_sheet; // Control.ini and the "editing" section
    int32_t front_end_word30;
    int32_t suppress_default_plane; // non-zero: no default player plane
    int32_t local_player;           // the local player's slot
    int32_t join_values[2];
    char plane_id[32]; // the chosen plane type (the campaign text)
    uint32_t available_planes;
    ITimer* timer;      // game clock source; must be set
    IProfile* profiler; // stage marks; must be set
    int32_t reinforcement_value;
    int32_t side_flag;
};

// A take-off point: the object's matrix, its group mask and a reserved word.
struct TvTakeoffPoint {
    LgMatrix* matrix;
    uint32_t group_mask;
    uint32_t reserved;
};

// The local player's score: kills of group 8, kills of group 9, shots fired, hits scored.
struct TvPlayerScore {
    int32_t kills_side_a;
    int32_t kills_side_b;
    int32_t shots_fired;
    int32_t hits_scored;
};

using TvOverlayCallback = void (*)(LgRaster* raster, void* context);
using TvGroupCallback = void (*)(ITvObject* object, void* context);

// The game, in slot order. Objects are ITvObject; groups are addressed by -g (g = 0..9).
struct ITvGame : IUnknown {
    // clock := 0. 0.
    virtual OmResult ResetClock() = 0;
    // Reserved. 0.
    virtual OmResult ReturnZero() = 0;
    // Builds the game for one mission. 0 or OM_E_FAIL.
    virtual OmResult Create(TvGameSettings* settings) = 0;
    virtual OmResult Restart() = 0;
    virtual OmResult Destroy() = 0;
    // One simulation frame. 0.
    virtual OmResult Update() = 0;
    // Draws one frame; the callback gets the camera's raster before the frame is shown. 0.
    virtual OmResult Render(TvOverlayCallback callback, void* context) = 0;
    // One input event from the front end. 0.
    virtual OmResult HandleInput(const InputEvent* event) = 0;
    // 0 while the mission runs, else the outcome code.
    virtual int32_t GetOutcome() = 0;
    // Registers an object (one reference). OM_E_FAIL when the registry is full.
    virtual OmResult AddObject(ITvObject* object, uint32_t event_mask, uint32_t update_flags) = 0;
    // Unregisters an object; its entries become holes. 0.
    virtual OmResult RemoveObject(ITvObject* object) = 0;
    // Spawns a ground object from a ground archetype. 0 or OM_E_FAIL.
    virtual OmResult SpawnGroundObject(const char* name, uint32_t spawn_flags, ITvObject** out) = 0;
    // Seconds of the current frame (0 on the first update, at most 0.1).
    virtual float GetFrameTime() = 0;
    virtual float GetTimeSeconds() = 0;
    virtual int32_t GetTimeMs() = 0;
    // The position of the camera last rendered, or null.
    virtual const LgVector* GetViewPosition() = 0;
    // No reference added.
    virtual ITvObject* GetWeapons() = 0;
    // Reserved. 0.
    virtual OmResult ReturnZeroArg(uintptr_t argument) = 0;
    // The event to every object whose event mask shares a bit with `mask`. 0.
    virtual OmResult BroadcastEvent(const TvEvent* event, uint32_t mask) = 0;
    // Forwards to the particles component's Emit.
    virtual OmResult EmitParticles(int32_t kind, const void* record) = 0;
    // Stores the landscape (one reference) and caches its world. 0.
    virtual OmResult SetLandscape(ITvBSPLandscape* landscape) = 0;
    // A random player slot's plane (may be null).
    virtual ITvObject* GetRandomPlayer(uintptr_t, uintptr_t, uintptr_t) = 0;
    // The live object of that id (0..5999), or null.
    virtual ITvObject* GetObjectById(int32_t id) = 0;
    // id >= 1: by id; id <= 0: the nearest live member of group -id.
    virtual ITvObject* FindTarget(int32_t id, const LgVector* position) = 0;
    // Percentage 0..100 of the group's members alive.
    virtual float GetGroupStrength(int32_t group) = 0;
    // callback(object, context) per live member of group -id. OM_E_FAIL for id > 0.
    virtual OmResult ForEachLiveInGroup(int32_t group_id, TvGroupCallback callback,
                                        void* context) = 0;
    // The mission's evaluation of its goals (its score).
    virtual int32_t GetMissionResult() = 0;
    virtual OmResult DrawText(float x, float y, const char* text, uint32_t colour) = 0;
    virtual OmResult DrawCentredText(float y, const char* text, uint32_t colour) = 0;
    // Queues an atomic for the deferred red pass. OM_E_FAIL when 64 are queued.
    virtual OmResult QueueDeferredAtomic(LgAtomic* atomic) = 0;
    virtual int32_t GetCheat(int32_t code) = 0;
    virtual float GetEnduranceScaleSide1() = 0;
    virtual float GetEnduranceScaleSide2() = 0;
    // Puts a plane into a player slot (with the camera: builds and links the viewport).
    virtual OmResult SetPlayerPlane(ITvObject* plane, int32_t with_camera, int32_t slot) = 0;
    // No reference added.
    virtual ITvMission* GetMission() = 0;
    // The object's AddDamage. 0.
    virtual OmResult DealDamage(ITvObject* object, float amount, int32_t attacker_id) = 0;
    virtual OmResult MoveObjectToGroup(ITvObject* object, int32_t group_a, int32_t group_b) = 0;
    // OM_E_FAIL in the plain game; the client game sends the object's state.
    virtual OmResult SendObjectUpdate(ITvObject* object, uintptr_t value) = 0;
    virtual OmResult GetLocalPlayerScore(TvPlayerScore* out) = 0;
    virtual int32_t GetReinforcementsUsed() = 0;
    virtual int32_t GetReinforcementsEarned(int32_t value) = 0;
    // Ends the mission with this outcome code (the front end's abort gives 48); it stays
    // until Create or Restart, whatever the per-frame judgement finds. 0.
    virtual OmResult ForceOutcome(int32_t outcome) = 0;
};

// The settings' mission number of the game (0 without settings).
int32_t TvGameGetMissionNumber(ITvGame* game);

// Published every frame: the frame time (seconds) and the engine camera being rendered.
extern float TvCurrentFrameTime;
extern LgCamera* TvCurrentCamera;
