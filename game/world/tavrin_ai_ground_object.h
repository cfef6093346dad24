// TavrinAIGroundObject: an armed ground object (anti-aircraft guns and the like). It picks
// the nearest live object of its target group, leads it, fires bursts through the game's
// weapon component while the target is in range and inside its firing cone, and turns its
// turret (the last child frame of the model's root) toward it.
#pragma once

#include "game/world/tavrin_ground_object.h"

inline constexpr GUID CLSID_TavrinAIGroundObject = om_guid("AAA53FD8-4A2B-4306-9959-3761FEAD206D");

// The ordnance an armed ground object fires (the weapon's anti-aircraft shells).
inline constexpr int32_t kTvGroundGunOrdnance = 3;
// Lead: the aim point runs ahead of the target by distance x speed x this.
inline constexpr float kTvGroundGunLead = 0.005f;
// Shots only go up: the aim direction's height must exceed this.
inline constexpr float kTvGroundGunMinimumRise = 0.2f;
// Beyond this distance the gun looks for a nearer target every frame.
inline constexpr float kTvGroundGunRetargetDistance = 200.0f;

// How a shot reaches the game's weapon component: launch `ordnance` with the aim matrix and
// velocity, owned by `owner`. The result of the launch.
using TvGroundGunLauncher = OmResult (*)(ITvObject* weapons, int32_t ordnance, const LgMatrix* aim,
                                         const LgVector* velocity, ITvObject* owner);
// Replaces the launcher (null restores the default, which calls the weapon component's
// launch operation).
void TvSetGroundGunLauncher(TvGroundGunLauncher launcher);

struct TvAIGroundObjectFields {
    float fire_rate = 10.0f;    // shots a second while firing
    float shot_interval = 0.1f; // 1 / fire rate
    float fire_on_time = 1.0f;  // seconds of each cycle the gun fires
    float cycle_length = 1.0f;  // fire on + fire off
    float cycle_timer = 0.0f;
    float shot_time = 0.0f;      // firing time not yet turned into shots
    ITvObject* target = nullptr; // not reference-counted
    LgMatrix* turret_matrix = nullptr;
    int32_t target_group = 8;
    float firing_cone = 0.0f; // full opening angle, radians
    float range = 300.0f;     // horizontal
    char gun_sound[32]{};
    char alt_gun_sound[32]{};
};

class TavrinAIGroundObject : public TavrinGroundObject, public TvAIGroundObjectFields {
public:
    OmResult Create(TvCreateDescriptor* descriptor) override;
    OmResult Update() override;
    OmResult AddDamage(float amount, int32_t attacker_id) override;
    OmResult LoadObject(const char* name) override;

    // The aiming and firing step of one frame (the update runs it before the ground
    // object's own update).
    void aim_and_fire();
    // The turret's local matrix turned toward the world direction.
    void turn_turret(const LgVector& direction);

protected:
    ~TavrinAIGroundObject() override;
    void change_model() override;
    // The turret of the current model: the last child of its root frame. Without one the
    // object's own matrix stands in at creation; after a model change there is no turret.
    void find_turret(bool own_matrix_without_child);
};

OM_DECLARE_MODULE(TavrinAIGroundObject);
inline OmResult TvRegisterAIGroundObjectClass(IObjectManager* manager) {
    return TavrinAIGroundObject_RegisterClasses(manager);
}
inline OmResult TvUnregisterAIGroundObjectClass(IObjectManager* manager) {
    return TavrinAIGroundObject_UnregisterClasses(manager);
}
