// The computer-flown plane: a plane steered by a stack of goals. The player's own plane is one
// too, marked with the player flag. This holds the class, its goal entries and stack
// primitives, its reactions to hits and kills, and its status while hidden.
#pragma once

#include "game/world/tv_plane.h"

inline constexpr GUID IID_ITvAIPlane = om_guid("8CB768EF-DB35-41E6-9FC5-178DFC51AC0F");
inline constexpr GUID CLSID_TavrinAIPlane = om_guid("4E1D9A62-7C05-4B8F-A3D2-91F6C0B7E284");

// The AI plane's interface has the plane's operation table; callers that obtain it through
// IID_ITvAIPlane use it as an ITvPlane.
using ITvAIPlane = ITvPlane;

// Goal codes; the low four bits are a phase of the goal's behaviour.
enum TvGoalCode : uint32_t {
    kTvGoalTakeOff = 16,
    kTvGoalFlyTo = 32,
    kTvGoalFormOn = 48,
    kTvGoalFlyToFor = 96,
    kTvGoalEngage = 112,
    kTvGoalStrike = 128,
    kTvGoalBomb = 144,
    kTvGoalStartInFlight = 256,
    kTvGoalWaitForTarget = 288,
    kTvGoalRetaliateOn = 304,
    kTvGoalRetaliateOff = 320,
    kTvGoalEscort = 336,
    kTvGoalWaitTime = 352,
    kTvGoalHide = 368,
    kTvGoalWaitReinforcement = 400,
};
inline constexpr uint32_t kTvGoalPhaseMask = 0xf;

// Events between planes: this plane hit a victim, this plane destroyed a victim (data: the
// victim's group mask).
inline constexpr uint32_t kTvEventHitVictim = 257;
inline constexpr uint32_t kTvEventKilledVictim = 258;

// One goal, allocated through the framework allocator. A goal's own sub-stack holds the goals
// nested under it.
struct TvGoalEntry {
    uint32_t code;
    TvGoalEntry* next;    // the entry below on its stack
    TvGoalEntry* sub_top; // top of the nested goals, null when none
    LgVector point;
    int32_t target; // object id, or -group
    float real;
    int32_t integer;
};
// The plane's goals are the sub-stack of a root entry.
using TvGoalStack = TvGoalEntry;

// A cleared entry with the code, or null when out of memory.
TvGoalEntry* TvNewGoal(uint32_t code);
// Links the entry on top of the stack's goals.
void TvPushGoal(TvGoalStack* stack, TvGoalEntry* entry);
// The top entry, unlinked; null when empty.
TvGoalEntry* TvPopGoal(TvGoalStack* stack);
// Unlinks the entry from the stack it lies on (wherever it lies). False when it is not there.
bool TvUnlinkGoal(TvGoalStack* stack, TvGoalEntry* entry);
// Frees every goal under the stack (each with its own nested goals) and empties it.
void TvFreeGoals(TvGoalStack* stack);
// Frees one unlinked entry with its nested goals.
void TvFreeGoal(TvGoalEntry* entry);
// True for an engagement entry (the goal or its phase).
inline bool TvIsEngagement(const TvGoalEntry* entry) {
    return entry && (entry->code & ~kTvGoalPhaseMask) == kTvGoalEngage;
}

class TavrinAIPlane;

// The push routines, one per goal code. Each allocates an entry with the code and its fields
// and links it on top of the stack: 1, or 0 when out of memory (or, for the station-keeping
// goals, when the target does not exist; nothing is pushed then).
// Take-off: the goal with its three phases on top (from the top: 17, 18, 19, 16).
int32_t TvPushTakeOff(TvGoalStack* stack);
int32_t TvPushFlyTo(TvGoalStack* stack, LgVector point, float squared_radius);
// The point is stored as an offset from the target's position, level with it.
int32_t TvPushFormOn(TavrinAIPlane& plane, TvGoalStack* stack, int32_t target, LgVector point);
int32_t TvPushFlyToFor(TvGoalStack* stack, LgVector point, float seconds);
// An engagement of the target with its first phase on top.
int32_t TvPushEngage(TvGoalStack* stack, int32_t target);
int32_t TvPushStrike(TvGoalStack* stack, int32_t target);
int32_t TvPushBomb(TvGoalStack* stack, int32_t target);
int32_t TvPushStartInFlight(TvGoalStack* stack, LgVector point);
int32_t TvPushWaitForTarget(TvGoalStack* stack, LgVector point, int32_t target,
                            float squared_radius);
// Also sets the plane's engage parameter.
int32_t TvPushRetaliateOn(TavrinAIPlane& plane, TvGoalStack* stack, float engage_parameter);
int32_t TvPushRetaliateOff(TvGoalStack* stack);
int32_t TvPushEscort(TavrinAIPlane& plane, TvGoalStack* stack, int32_t target, LgVector point,
                     float range);
int32_t TvPushWaitTime(TvGoalStack* stack, float seconds);
int32_t TvPushHide(TvGoalStack* stack);
int32_t TvPushWaitReinforcement(TvGoalStack* stack, int32_t reinforcements_used);
// A mission goal through the push routine of its code (radii squared). 0 for an unknown code
// or a goal that was not pushed.
int32_t TvPushMissionGoal(TavrinAIPlane& plane, TvGoalStack* stack, const TvMissionGoal& goal);

// The AI plane's fields after the plane's.
struct TvAIPlaneFields {
    float guidance_side{};
    float guidance_vertical{};
    float guidance_forward{};
    TvGoalStack goals{};
    float last_bank_demand{};
    float time_since_firing{};
    float damage_recently{};
    float engage_parameter{};
    uint32_t retaliate{};
    uint32_t break_chosen{};
    uint32_t hidden{};
};

class TavrinAIPlane : public TavrinPlane, public TvAIPlaneFields {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override;
    OmResult Create(TvCreateDescriptor* descriptor) override;
    OmResult Destroy() override;
    // The think step: the goals' behaviours, the battle area, the bank-rate limit, a new goal
    // when idle, then the plane's own update.
    OmResult Update() override;
    OmResult HandleEvent(const TvEvent* event) override;
    OmResult AddDamage(float amount, int32_t attacker_id) override;
    int32_t IsDead() override;
    OmResult SetDamage(uint32_t word, float value, uint32_t word2) override;
    // The radio lines near and beyond the battle area's edge, then the cockpit display.
    OmResult DrawCockpitHud() override;

protected:
    ~TavrinAIPlane() override;

private:
    // Reacts to a hit by the attacker and tells it of the hit and, when `killed`, the kill.
    void answer_hit(int32_t attacker_id, bool killed);
    void react_to_hit(int32_t attacker_id);
};

// The behaviours and the steering they share; tests reach them directly.
namespace tvai {

// Where the plane is against the battle area (the world box shrunk by 500 in x and z; the
// warning band lies between 500 and 600 from the edges).
enum class Area { Inside, WarningBand, Outside };
Area area_of(const TavrinAIPlane& plane);

// Runs the goals' behaviours for one frame: the top goal, then the goals nested under it while
// each goes on; a finished goal is unlinked and freed and the walk ends.
void run_goals(TavrinAIPlane& plane, float dt);
// One goal's behaviour; true when the goal is finished.
bool run_behaviour(TavrinAIPlane& plane, TvGoalEntry* goal, float dt);

// Guidance towards the point: the cosines, the bank and pitch demands, then the traffic check.
void aim_at(TavrinAIPlane& plane, LgVector point);
// Gives way to the nearest plane of group 8 when it is too close.
void avoid_traffic(TavrinAIPlane& plane);
// Pulls up from terrain ahead; with `level`, also from ground too close below.
void steer_clear(TavrinAIPlane& plane, bool level);

bool dogfight(TavrinAIPlane& plane, TvGoalEntry* goal, float dt);
bool strike(TavrinAIPlane& plane, TvGoalEntry* goal);
bool bomb(TavrinAIPlane& plane, TvGoalEntry* goal);
bool escort(TavrinAIPlane& plane, TvGoalEntry* goal);

// Out of the world (hidden, status 2) and back.
void hide(TavrinAIPlane& plane);
void appear(TavrinAIPlane& plane);

} // namespace tvai

OM_DECLARE_MODULE(TavrinAIPlane);
inline OmResult TvRegisterAIPlaneClass(IObjectManager* manager) {
    return TavrinAIPlane_RegisterClasses(manager);
}
inline OmResult TvUnregisterAIPlaneClass(IObjectManager* manager) {
    return TavrinAIPlane_UnregisterClasses(manager);
}
