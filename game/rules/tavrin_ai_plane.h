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
// Frees every goal under the stack (each with its own nested goals) and empties it.
void TvFreeGoals(TvGoalStack* stack);
// Pushes a timed flight towards the point. 1, or 0 when out of memory.
int32_t TvPushFlyToFor(TvGoalStack* stack, LgVector point, float seconds);
// Pushes an engagement of the target with its first phase on top. 1, or 0 when out of memory.
int32_t TvPushEngage(TvGoalStack* stack, int32_t target);

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
    OmResult Update() override;
    OmResult HandleEvent(const TvEvent* event) override;
    OmResult AddDamage(float amount, int32_t attacker_id) override;
    int32_t IsDead() override;
    OmResult SetDamage(uint32_t word, float value, uint32_t word2) override;

protected:
    ~TavrinAIPlane() override;

private:
    // Reacts to a hit by the attacker and tells it of the hit and, when `killed`, the kill.
    void answer_hit(int32_t attacker_id, bool killed);
    void react_to_hit(int32_t attacker_id);
};

OM_DECLARE_MODULE(TavrinAIPlane);
inline OmResult TvRegisterAIPlaneClass(IObjectManager* manager) {
    return TavrinAIPlane_RegisterClasses(manager);
}
inline OmResult TvUnregisterAIPlaneClass(IObjectManager* manager) {
    return TavrinAIPlane_UnregisterClasses(manager);
}
