// The armed ground object: ground.ini's gun sections, target choice, lead, the firing cone,
// burst timing with the time carried between frames, shots through the weapon component, and
// the turret.
#include "game/world/tavrin_ai_ground_object.h"

#include "engine/world/lg_clump.h"
#include "game/rules/tv_game.h"
#include "game/rules/tv_mission_entries.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_ini_sheet.h"
#include "game/world/tv_plane.h"
#include "game/world/tv_weapon.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kSource = "tvopaiground";
constexpr float kDefaultFireRate = 10.0f;
constexpr float kDefaultFireOn = 1.0f;

// The default: the weapon component's own launch.
OmResult launch_through_weapon(ITvObject* weapons, int32_t ordnance, const LgMatrix* aim,
                               const LgVector* velocity, ITvObject* owner) {
    ITvWeapon* weapon = nullptr;
    if (!weapons || weapons->QueryInterface(IID_ITvWeapon, reinterpret_cast<void**>(&weapon)) < 0 ||
        !weapon)
        return OM_E_FAIL;
    const OmResult r = weapon->Launch(ordnance, aim, velocity, owner);
    weapon->Release();
    return r;
}

TvGroundGunLauncher installed_launcher = launch_through_weapon;

LgVector sub(LgVector a, LgVector b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
LgVector add(LgVector a, LgVector b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
LgVector scale(LgVector a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
float dot(LgVector a, LgVector b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
LgVector cross(LgVector a, LgVector b) {
    LgVector out;
    LgVectorCrossProduct(&out, &a, &b);
    return out;
}
LgVector unit(LgVector a) {
    LgVector out{};
    LgVectorNormalize(&out, &a);
    return out;
}

const LgVector* row_of(ITvObject* object, uint32_t id) {
    uintptr_t value = 0;
    if (object->GetProperty(id, &value) < 0) return nullptr;
    return reinterpret_cast<const LgVector*>(value);
}

float speed_of(ITvObject* object) {
    uintptr_t value = 0;
    if (object->GetProperty(kTvPlanePropSpeed, &value) < 0 || !value) return 0.0f;
    return *reinterpret_cast<const float*>(value);
}

LgFrame* note_child(LgFrame* child, void* data) {
    *static_cast<LgFrame**>(data) = child;
    return child;
}

void read_name(IPropertySheet* sheet, const char* key, char (&field)[32]) {
    char value[kTvIniValueSize];
    if (TvIniString(sheet, key, value)) std::memcpy(field, value, sizeof(field));
}

} // namespace

void TvSetGroundGunLauncher(TvGroundGunLauncher launcher) {
    installed_launcher = launcher ? launcher : launch_through_weapon;
}

TavrinAIGroundObject::~TavrinAIGroundObject() = default;

OmResult TavrinAIGroundObject::LoadObject(const char* name) {
    if (!name || model || model_count > 0) return OM_E_FAIL;
    char path[512];
    std::snprintf(path, sizeof path, ".\\objects\\ground\\%s\\ground.ini", name);
    IPropertySheet* raw = nullptr;
    bool open_failed = false;
    if (TvLoadIniSheet(path, &raw, &open_failed) < 0) {
        if (open_failed) TvLogError2(kSource, __LINE__, "Couldn't open AI file", path);
        return OM_E_FAIL;
    }
    if (raw->SetSection("sound") >= 0) {
        read_name(raw, "gunfire", gun_sound);
        read_name(raw, "altgunfire", alt_gun_sound);
    }
    if (raw->SetSection("armaments") >= 0) {
        // A key the section lacks takes the gun's default; a rate that is not above zero
        // would give an endless shot interval, so it takes the default too.
        float rate = kDefaultFireRate;
        float on = kDefaultFireOn;
        float off = 0.0f;
        TvIniFloat(raw, "firerate", &rate);
        TvIniFloat(raw, "fireon", &on);
        TvIniFloat(raw, "fireoff", &off);
        if (!(rate > 0.0f) || !std::isfinite(rate)) rate = kDefaultFireRate;
        fire_rate = rate;
        shot_interval = 1.0f / rate;
        fire_on_time = on;
        cycle_length = on + off;
    }
    raw->Release();
    return TavrinGroundObject::LoadObject(name);
}

OmResult TavrinAIGroundObject::Create(TvCreateDescriptor* d) {
    if (TavrinGroundObject::Create(d) < 0) return OM_E_FAIL;
    if (d) {
        // Armed objects are made from vehicle entries: their words follow the descriptor.
        const auto* vehicle = static_cast<const TvMissionVehicleEntry*>(d);
        target_group = vehicle->target_group;
        firing_cone = vehicle->angle;
        range = vehicle->range;
        if (auto* a = dynamic_cast<TavrinAIGroundObject*>(from(d->archetype))) {
            fire_rate = a->fire_rate;
            shot_interval = a->shot_interval;
            fire_on_time = a->fire_on_time;
            cycle_length = a->cycle_length;
            std::memcpy(gun_sound, a->gun_sound, sizeof(gun_sound));
            std::memcpy(alt_gun_sound, a->alt_gun_sound, sizeof(alt_gun_sound));
        }
    }
    cycle_timer = 0.0f;
    shot_time = 0.0f;
    target = nullptr;
    find_turret(true);
    return OM_S_OK;
}

void TavrinAIGroundObject::find_turret(bool own_matrix_without_child) {
    turret_matrix = own_matrix_without_child ? matrix : nullptr;
    if (model) {
        LgFrame* last = nullptr;
        LgFrameForAllChildren(LgClumpGetFrame(model), note_child, &last);
        if (last) turret_matrix = LgFrameGetMatrix(last);
    }
}

void TavrinAIGroundObject::change_model() {
    TavrinGroundObject::change_model();
    // The old turret frame went with the old model. A damage stage without a turret leaves
    // the gun fixed rather than turning the whole wreck.
    find_turret(false);
}

OmResult TavrinAIGroundObject::AddDamage(float amount, int32_t attacker_id) {
    flash_time = kTvHitFlashSeconds;
    return TavrinGroundObject::AddDamage(amount, attacker_id);
}

OmResult TavrinAIGroundObject::Update() {
    aim_and_fire();
    return TavrinGroundObject::Update();
}

void TavrinAIGroundObject::turn_turret(const LgVector& direction) {
    if (!turret_matrix || !matrix) return;
    // Into the object's model space: the inverse rotation of its matrix.
    LgMatrix inverse;
    LgMatrixInvert(&inverse, matrix);
    LgVector local;
    LgVectorTransformVectors(&local, &direction, 1, &inverse);
    LgMatrix& t = *turret_matrix;
    if (canyon_gun) {
        t.at = {0.0f, 1.0f, 0.0f};
        t.up = local;
        t.right = unit(cross(t.up, t.at));
        t.at = cross(t.right, t.up);
    } else {
        t.at = local;
        t.up = {0.0f, 1.0f, 0.0f};
        t.right = unit(cross(t.up, t.at));
        t.at = cross(t.right, t.up);
    }
    LgMatrixMarkChanged(turret_matrix);
    if (frame) LgFrameMarkDirty(frame);
}

void TavrinAIGroundObject::aim_and_fire() {
    if (!game || !matrix) return;
    const LgVector position = matrix->pos;
    if (!target) target = game->FindTarget(-target_group, &position);
    if (target && !target->IsDead() && !IsDead()) {
        const float dt = game->GetFrameTime();
        LgMatrix aim = *matrix;
        const LgVector* at_target = row_of(target, kTvPropPosition);
        float distance = 0.0f;
        if (at_target) {
            const LgVector t = *at_target;
            const LgVector d = sub(t, position);
            distance = std::sqrt(dot(d, d));
            if (d.x * d.x + d.z * d.z < range * range) {
                const LgVector* heading = row_of(target, kTvPropAt);
                const LgVector ahead = heading ? *heading : LgVector{0.0f, 0.0f, 0.0f};
                const LgVector p =
                    add(t, scale(ahead, distance * speed_of(target) * kTvGroundGunLead));
                const LgVector to_aim = sub(p, position);
                distance = std::sqrt(dot(to_aim, to_aim));
                const LgVector dir = unit(to_aim);
                aim.at = dir;
                aim.right = unit(cross(dir, {0.0f, 1.0f, 0.0f}));
                aim.up = cross(aim.at, aim.right);
                if (std::cos(firing_cone * 0.5f) < dot(matrix->at, dir) &&
                    dir.y > kTvGroundGunMinimumRise) {
                    // The burst: time inside the fire-on part of each cycle becomes shots.
                    if (cycle_timer > fire_on_time) {
                        cycle_timer += dt;
                        while (cycle_length > 0.0f && cycle_timer > cycle_length) {
                            cycle_timer -= cycle_length;
                            shot_time += cycle_timer;
                        }
                    } else {
                        cycle_timer += dt;
                        if (cycle_timer > fire_on_time)
                            shot_time += dt - (cycle_timer - fire_on_time);
                        else
                            shot_time += dt;
                    }
                    const int32_t shots = int32_t(shot_time * fire_rate);
                    const LgVector still{0.0f, 0.0f, 0.0f};
                    for (int32_t i = 0; i < shots; ++i) {
                        TvPlaySoundAt(gun_sound, matrix, nullptr);
                        ITvObject* weapons = game->GetWeapons();
                        if (weapons)
                            installed_launcher(weapons, kTvGroundGunOrdnance, &aim, &still, self);
                    }
                    shot_time -= float(shots) * shot_interval;
                    turn_turret(dir);
                }
            }
        }
        if (distance > kTvGroundGunRetargetDistance)
            target = game->FindTarget(-target_group, &position);
    }
    if (target && target->IsDead()) target = game->FindTarget(-target_group, &position);
}

namespace {

const OmClassRecord classes[] = {{&CLSID_TavrinAIGroundObject, nullptr, nullptr,
                                  OmCreateComponent<TavrinAIGroundObject>, "TavrinAIGroundObject"}};

} // namespace

OM_DEFINE_MODULE(TavrinAIGroundObject, classes)
