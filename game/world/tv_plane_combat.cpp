// The plane in combat: damage with destruction and the hit flash, the guns' burst clock, the
// secondary ordnance with the rocket aim assist, pickups, the network state record and the
// ground shadow.
#include "engine/core/lg_matrix.h"
#include "engine/world/lg_random.h"
#include "engine/world/lg_world_tie.h"
#include "game/rules/tavrin_game.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_effects.h"
#include "game/world/tv_plane_internal.h"
#include "game/world/tv_plane_shadow.h"
#include "game/world/tv_weapon.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kSmokePerDamage = 5.0f;
constexpr float kHitIndicatorThreshold = 0.25f;
constexpr float kOrdnanceGap = 0.5f;
constexpr float kAimCone = 0.97f;
constexpr float kAimRange = 600.0f;
constexpr int32_t kGroupTargets = 7;
constexpr int32_t kRocketsPerPickup = 10;
constexpr int32_t kBombsPerPickup = 5;
constexpr float kHealthPerPickup = 25.0f;
constexpr float kBoostPerPickup = 5.0f;
constexpr float kShadowWidthFactor = 0.7f;
constexpr float kShadowLength = 500.0f;
constexpr int32_t kStateZWrite = 6;
constexpr int32_t kStateVertexAlpha = 11;
constexpr int32_t kStateFilter = 7;

TvPlaneShadowDrawer& shadow_drawer() {
    static TvPlaneShadowDrawer drawer = nullptr;
    return drawer;
}

bool networked(ITvGame* game) {
    IUnknown* client = nullptr;
    if (!game || game->QueryInterface(IID_ITvClientGame, reinterpret_cast<void**>(&client)) < 0 ||
        !client)
        return false;
    client->Release();
    return true;
}

bool cheat(const TvObjectFields& o, int32_t code) {
    return (o.flags & kTvFlagPlayerPlane) && o.game && o.game->GetCheat(code);
}

// The game's weapon component, with one reference, or null.
ITvWeapon* weapons_of(const TvObjectFields& o) {
    ITvObject* object = o.game ? o.game->GetWeapons() : nullptr;
    ITvWeapon* weapon = nullptr;
    if (!object || object->QueryInterface(IID_ITvWeapon, reinterpret_cast<void**>(&weapon)) < 0)
        return nullptr;
    return weapon;
}

// A sound name of the plane's archetype (a plane property), else the plane's own.
const char* archetype_name(const TvObjectFields& o, uint32_t property, const char* own) {
    ITvObject* archetype = o.descriptor ? o.descriptor->archetype : nullptr;
    uintptr_t name = 0;
    if (archetype && archetype->GetProperty(property, &name) >= 0 && name)
        return reinterpret_cast<const char*>(name);
    return own;
}

void flash(TvObjectFields& o, TvPlaneFields& p) {
    o.flash_time = kTvHitFlashSeconds;
    if (p.hit_indicator < kHitIndicatorThreshold) p.hit_indicator = 1.0f;
}

void emit_hit_particle(TvObjectFields& o) {
    if (!o.game || !o.matrix) return;
    TvDriftParticle d{};
    d.head.position = o.matrix->pos;
    d.head.size = 2.0f;
    d.head.colour = {255, 255, 255, 255};
    d.growth = 1.0f;
    d.red = d.green = d.blue = d.alpha = 1.0f;
    d.red_rate = d.green_rate = d.blue_rate = -0.1f;
    d.alpha_rate = -0.8f;
    const float x = static_cast<float>(LgRandom() & 0x3ff) * 0.009765625f - 5.0f;
    const float z = static_cast<float>(LgRandom() & 0x3ff) * 0.009765625f - 5.0f;
    d.velocity = {x, -15.0f, z};
    o.game->EmitParticles(kTvParticleCloth, &d);
}

struct AimSearch {
    LgVector from;
    LgVector at;
    float best;
    bool found;
    LgVector direction;
};

void aim_at(ITvObject* object, void* data) {
    auto& s = *static_cast<AimSearch*>(data);
    uintptr_t where = 0;
    if (object->GetProperty(kTvPropPosition, &where) < 0 || !where) return;
    const LgVector d = tvplane::sub(*reinterpret_cast<const LgVector*>(where), s.from);
    const float distance = LgVectorLength(&d);
    if (!(distance > 0.0f)) return;
    const LgVector unit = tvplane::scale(d, 1.0f / distance);
    if (tvplane::dot(unit, s.at) > kAimCone && distance < s.best) {
        s.best = distance;
        s.found = true;
        s.direction = unit;
    }
}

} // namespace

void TvSetPlaneShadowDrawer(TvPlaneShadowDrawer drawer) {
    shadow_drawer() = drawer;
}

TvPlaneShadowDrawer TvGetPlaneShadowDrawer() {
    return shadow_drawer();
}

OmResult TvPlaneFlashHit(TavrinPlane* plane) {
    if (!plane) return OM_E_FAIL;
    flash(*plane, *plane);
    return OM_S_OK;
}

namespace tvplane {

OmResult take_damage(Plane plane, float amount, bool set, float value) {
    TvObjectFields& o = plane.o;
    TvPlaneFields& p = plane.p;
    if (cheat(o, kTvCheatInvulnerable)) return OM_E_FAIL;
    if (o.damage >= o.endurance) return OM_E_FAIL;
    o.damage = set ? value : o.damage + amount;
    p.smoke_level += amount * p.smoke_gain * kSmokePerDamage;

    if ((o.flags & kTvFlagPlane) && o.damage >= o.endurance) {
        if ((p.state == kTvPlaneFlying || p.state == kTvPlaneTaxiing) && o.matrix) {
            TvPlaySoundAt(o.explosion_sound, o.matrix, nullptr);
            TvSpawnExplosion(&o.matrix->pos, o.endurance * 0.01f + 1.0f, 0);
        }
        if (p.state != kTvPlaneCrashed) set_state(plane, kTvPlaneCrashing);
        o.damage = o.endurance;
        if (!set) {
            TvSoundStop(p.engine_sound);
            TvSoundStop(p.gun_sound);
        }
        return OM_S_OK;
    }
    if (o.matrix)
        TvPlaySoundAt(archetype_name(o, kTvPlanePropHitSound, o.hit_sound), o.matrix, nullptr);
    emit_hit_particle(o);
    flash(o, p);
    return OM_E_FAIL;
}

int32_t gun_rounds(Plane plane) {
    TvObjectFields& o = plane.o;
    TvPlaneFields& p = plane.p;
    const TvFlightTable& f = p.flight;
    const float dt = frame_time(o);
    if (p.gun_cycle_time <= f.fire_on_time) {
        p.guns_firing = 1;
        p.gun_cycle_time += dt;
        if (p.gun_cycle_time <= f.fire_on_time) {
            p.gun_time_owed += dt;
        } else {
            p.guns_firing = 0;
            p.gun_time_owed += dt - (p.gun_cycle_time - f.fire_on_time);
        }
    } else {
        p.guns_firing = 0;
        p.gun_cycle_time += dt;
        // A cycle that cannot end (no on or off time) is left alone rather than looped.
        if (f.fire_cycle > 0.0f) {
            while (p.gun_cycle_time > f.fire_cycle) {
                p.gun_cycle_time -= f.fire_cycle;
                p.gun_time_owed += p.gun_cycle_time;
            }
        }
    }
    const auto shells = static_cast<int32_t>(p.gun_time_owed * f.fire_rate);
    if (shells <= 0) return 0;
    p.gun_time_owed -= static_cast<float>(shells) * f.fire_interval;
    return shells;
}

namespace {

void fire_guns(Plane plane) {
    TvObjectFields& o = plane.o;
    TvPlaneFields& p = plane.p;
    const int32_t shells = gun_rounds(plane);
    if (shells <= 0 || !o.matrix) return;
    ITvWeapon* weapon = weapons_of(o);
    for (int32_t i = 0; i < shells; ++i) {
        if (weapon) weapon->Launch(kTvOrdnanceGun, o.matrix, &p.velocity, o.self);
        ++p.shots_fired;
    }
    if (weapon) weapon->Release();
}

OmResult fire_ordnance(Plane plane) {
    TvObjectFields& o = plane.o;
    TvPlaneFields& p = plane.p;
    if (p.ordinance_type <= 0 || p.ordinance_count <= 0) return OM_E_FAIL;
    if (!(p.secondary_timer > kOrdnanceGap) || !o.matrix) return OM_S_OK;
    ITvWeapon* weapon = weapons_of(o);
    const bool rockets = p.ordinance_type == kTvOrdnanceRocket;
    if (rockets && (o.flags & kTvFlagPlayerPlane) && o.game) {
        AimSearch s{o.matrix->pos, o.matrix->at, kAimRange, false, {}};
        o.game->ForEachLiveInGroup(-kGroupTargets, aim_at, &s);
        if (s.found) {
            LgMatrix aimed = *o.matrix;
            aimed.at.y = s.direction.y;
            LgVector velocity = p.velocity;
            velocity.y = s.direction.y * p.speed;
            if (weapon) weapon->Launch(kTvOrdnanceRocket, &aimed, &velocity, o.self);
        } else if (weapon) {
            weapon->Launch(kTvOrdnanceRocket, o.matrix, &p.velocity, o.self);
        }
    } else if (weapon) {
        weapon->Launch(p.ordinance_type, o.matrix, &p.velocity, o.self);
    }
    if (weapon) weapon->Release();
    if (!cheat(o, kTvCheatInfinite)) --p.ordinance_count;
    p.secondary_timer = 0.0f;
    const char* sound = rockets ? archetype_name(o, kTvPlanePropRocketSound, p.rocket_sound_name)
                                : p.bomb_sound_name;
    TvPlaySoundAt(sound, o.matrix, &p.velocity);
    return OM_S_OK;
}

} // namespace

OmResult fire(Plane plane, int32_t kind) {
    if (kind == kTvFireGuns) {
        fire_guns(plane);
        return OM_S_OK;
    }
    if (kind == kTvFireOrdinance) return fire_ordnance(plane);
    return OM_S_OK;
}

OmResult pickup(Plane plane, int32_t kind) {
    TvObjectFields& o = plane.o;
    TvPlaneFields& p = plane.p;
    const char* sound = nullptr;
    switch (kind) {
    case kTvPickupRockets:
    case kTvPickupBombs:
        p.ordinance_type = kind == kTvPickupRockets ? kTvOrdnanceRocket : kTvOrdnanceBomb;
        p.ordinance_count += kind == kTvPickupRockets ? kRocketsPerPickup : kBombsPerPickup;
        if (!networked(o.game))
            p.ordinance_count = std::min(p.ordinance_count, p.ordinance_maximum);
        sound = "Ammo";
        break;
    case kTvPickupHealth:
        o.damage = std::max(0.0f, o.damage - kHealthPerPickup);
        sound = "Health";
        break;
    case kTvPickupBoost:
        p.boost_time = kBoostPerPickup;
        sound = "BoostPickup";
        break;
    default: return OM_E_FAIL; // the repairman and unknown kinds change nothing
    }
    if (o.matrix) TvPlaySoundAt(sound, o.matrix, &p.velocity);
    return OM_S_OK;
}

OmResult get_net_state(Plane plane, TvPlaneNetState* record) {
    TvObjectFields& o = plane.o;
    TvPlaneFields& p = plane.p;
    if (!record || !o.matrix) return OM_E_FAIL;
    record->position = o.matrix->pos;
    if (record->kind == kTvNetStateFull) {
        record->partial = 0;
        record->velocity = scale(o.matrix->at, p.speed);
        record->right = p.model_matrix ? p.model_matrix->right : o.matrix->right;
    } else {
        record->partial = 1;
    }
    return OM_S_OK;
}

LgMatrix shadow_matrix(const LgMatrix& logical, float shadow_offset) {
    LgMatrix m{};
    m.pos = add(logical.pos, scale(logical.at, shadow_offset));
    LgVector a = {logical.right.x, 0.0f, logical.right.z};
    // On its side the plane's right is vertical: its heading gives the shadow's right.
    if (a.x == 0.0f && a.z == 0.0f) a = {logical.at.z, 0.0f, -logical.at.x};
    if (a.x != 0.0f || a.z != 0.0f) LgVectorNormalize(&a, &a);
    m.right = a;
    m.up = {-a.z, 0.0f, a.x};
    m.at = {0.0f, -1.0f, 0.0f};
    return m;
}

OmResult render_shadow(Plane plane) {
    TvObjectFields& o = plane.o;
    TvPlaneFields& p = plane.p;
    if (p.state == kTvPlaneCrashed || !p.shadow_texture || !o.model || !o.matrix) return OM_S_OK;
    LgWorld* w = LgClumpGetWorld(o.model);
    if (!w) return OM_S_OK;
    LgRenderStateSet(kStateZWrite, reinterpret_cast<void*>(uintptr_t{0}));
    LgRenderStateSet(kStateVertexAlpha, reinterpret_cast<void*>(uintptr_t{1}));
    LgRenderStateSet(kStateFilter, reinterpret_cast<void*>(uintptr_t{2}));
    const LgMatrix m = shadow_matrix(*o.matrix, p.shadow_offset);
    if (TvPlaneShadowDrawer draw = shadow_drawer())
        draw(&m, w, p.shadow_texture,
             (p.flight.front_length + p.flight.back_length) * kShadowWidthFactor, kShadowLength, 1);
    return OM_S_OK;
}

} // namespace tvplane
