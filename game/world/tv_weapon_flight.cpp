// Projectiles in flight: launch from the weapon's own random sequence with the tracers'
// launch-time hit test, the per-step motion, landscape and object hits, impacts with their
// particles and sounds, splash damage, the tracer-versus-plane test and expiry.
#include "engine/core/lg_frame.h"
#include "engine/core/lg_matrix.h"
#include "engine/core/lg_texture.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_collision.h"
#include "engine/world/lg_geometry.h"
#include "engine/world/lg_material.h"
#include "engine/world/lg_random.h"
#include "engine/world/lg_world_tie.h"
#include "framework/containers/com_hash.h"
#include "game/rules/tavrin_game.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_bsp_landscape.h"
#include "game/world/tv_effects.h"
#include "game/world/tv_plane.h"
#include "game/world/tv_weapon.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr float kTracerReach = 10.0f; // seconds of flight the gun tracer's launch test covers
constexpr float kFlakBurst = 10.0f;   // an AA shell bursts at this age
constexpr float kFlakReach = 5.0f;    // its burst point: launch position + velocity x 5
constexpr float kMaxAge = 10.0f;
constexpr float kBombGravity = 60.0f;
constexpr float kTrailRate = 20.0f;
constexpr float kRocketTrailFactor = 1.5f;
constexpr float kImpactBackStep = 0.02f;
constexpr float kImpactSoundGap = 0.05f;
constexpr float kGroundBurstLift = 4.0f;
constexpr float kAirBurstLift = 8.0f;
constexpr float kOwnSplashShare = 0.05f;
constexpr float kNoLandscapeHit = -1.0f;
constexpr int32_t kMaxSplashTargets = 256;

LgVector add(LgVector a, LgVector b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
LgVector sub(LgVector a, LgVector b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
LgVector scale(LgVector a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
float length(LgVector a) {
    return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
}
LgVector lerp(LgVector a, LgVector b, float f) {
    return add(a, scale(sub(b, a), f));
}

bool is_tracer(int32_t index) {
    return index != kTvOrdnanceBomb && index != kTvOrdnanceRocket;
}

LgCollisionPrimitive line_of(LgVector start, LgVector end) {
    LgCollisionPrimitive p{};
    p.line = {start, end};
    p.type = LgCollisionLine;
    return p;
}

uintptr_t property(ITvObject* object, uint32_t id) {
    uintptr_t value = 0;
    if (object) object->GetProperty(id, &value);
    return value;
}
int32_t id_of(ITvObject* object) {
    return object ? static_cast<int32_t>(property(object, kTvPropId)) : -1;
}
const LgVector* position_of(ITvObject* object) {
    return reinterpret_cast<const LgVector*>(property(object, kTvPropPosition));
}

ITvObject* owner_of(LgAtomic* atomic) {
    return atomic && atomic->clump ? TvClumpGetOwner(atomic->clump) : nullptr;
}

bool networked(ITvGame* game) {
    IUnknown* client = nullptr;
    if (!game || game->QueryInterface(IID_ITvClientGame, reinterpret_cast<void**>(&client)) < 0 ||
        !client)
        return false;
    client->Release();
    return true;
}

float random_unit() {
    return static_cast<float>(LgRandom() & 0x3ff) * (1.0f / 512.0f) - 1.0f;
}

// The texture name of a triangle of the atomic's geometry, or empty.
void triangle_texture(LgAtomic* atomic, int32_t index, char (&out)[32]) {
    out[0] = '\0';
    LgGeometry* g = atomic ? atomic->geometry : nullptr;
    if (!g || index < 0 || index >= g->numTriangles) return;
    LgMaterial* m = LgGeometryGetTriangleMaterial(g, &g->triangles[index]);
    LgTexture* t = m ? LgMaterialGetTexture(m) : nullptr;
    if (!t) return;
    std::snprintf(out, sizeof out, "%s", LgTextureGetName(t));
}

// The launch test of a gun tracer: the nearest of the objects' and the world's triangles.
struct LaunchTest {
    TvProjectile* p;
    LgLine line;
    LgAtomic* atomic;
    ITvObject* object;
    ITvObject* best_object;
};

bool take(LaunchTest& t, float fraction) {
    if (!(fraction * kTracerReach < t.p->hit_time)) return false;
    t.p->hit_time = fraction * kTracerReach;
    t.p->hit_point = lerp(t.line.start, t.line.end, fraction);
    return true;
}

LgCollisionPrimitive* launch_triangle(LgCollisionPrimitive* primitive,
                                      LgCollisionTriangle* triangle, float fraction, void* data) {
    auto& t = *static_cast<LaunchTest*>(data);
    if (take(t, fraction)) {
        t.best_object = t.object;
        t.p->hit_triangle = triangle->index;
        triangle_texture(t.atomic, triangle->index, t.p->hit_texture);
    }
    return primitive;
}

LgCollisionPrimitive* launch_atomic(LgCollisionPrimitive* primitive, LgAtomicSector*,
                                    LgAtomic* atomic, float, void* data) {
    auto& t = *static_cast<LaunchTest*>(data);
    ITvObject* object = owner_of(atomic);
    if (!object || (property(object, kTvPropFlags) & kTvFlagPlane)) return primitive;
    t.atomic = atomic;
    t.object = object;
    LgCollisionPrimitive line = *primitive;
    LgAtomicForAllIntersections(atomic, &line, launch_triangle, &t);
    return primitive;
}

LgCollisionPrimitive* launch_world(LgCollisionPrimitive* primitive, LgAtomicSector*,
                                   LgCollisionTriangle*, float fraction, void* data) {
    auto& t = *static_cast<LaunchTest*>(data);
    if (take(t, fraction)) {
        t.best_object = nullptr;
        t.p->hit_triangle = -1;
        t.p->hit_texture[0] = '\0';
    }
    return primitive;
}

} // namespace

LgWorld* TavrinWeapon::projectile_world(const TvProjectile& p) const {
    if (world) return world;
    if (auto* w = reinterpret_cast<LgWorld*>(property(p.owner, kTvPropWorld))) return w;
    LgWorld* from_landscape = nullptr;
    if (landscape) landscape->GetWorld(&from_landscape);
    return from_landscape;
}

OmResult TavrinWeapon::Launch(int32_t index, const LgMatrix* launcher, const LgVector* velocity,
                              ITvObject* owner) {
    if (index < 0 || index >= ordnance_count_ || !launcher || !velocity) return OM_E_FAIL;
    // The weapon's own sequence: the same seed gives the same launches whatever else draws.
    LgRandomSeed(seed_);
    seed_ = LgRandom();
    LgRandom();

    TvProjectile& p = projectiles_[next_slot_];
    // A projectile still in the slot is taken out properly before the slot is reused.
    free_projectile(p);
    p = {};
    p.placement = &p.matrix;
    TvOrdinance& o = ordnance_[index];
    LgWorld* w = world;
    if (!is_tracer(index) && o.model) {
        if (LgClump* clone = LgClumpClone(o.model)) {
            p.model = clone;
            p.frame = LgClumpGetFrame(clone);
            p.placement = LgFrameGetMatrix(p.frame);
            if (w) LgWorldAddClump(w, clone);
            TvClumpSetOwner(clone, nullptr);
        }
    }
    p.trail_time = 0.0f;
    p.drift = drift_;
    *p.placement = *launcher;
    LgMatrixMarkChanged(p.placement);
    if (p.frame) LgFrameMarkDirty(p.frame);

    p.velocity = add(scale(launcher->at, o.release_speed), *velocity);
    p.velocity.x += random_unit() * o.jitter * o.max_speed;
    p.velocity.y += random_unit() * o.jitter * o.max_speed;
    p.velocity.z += random_unit() * o.jitter * o.max_speed;

    p.index = index;
    p.ordnance = &o;
    p.owner = owner;
    if (owner) owner->AddRef();
    p.age = 0.0f;
    p.hit_triangle = -1;

    const LgVector start = p.placement->pos;
    if (index == kTvOrdnanceGun) {
        p.hit_time = kTracerReach;
        p.hit_point = add(start, scale(p.velocity, kTracerReach));
        launch_test(p);
    } else if (is_tracer(index)) {
        p.hit_time = kFlakBurst;
        p.hit_point = add(start, scale(p.velocity, kFlakReach));
    }
    next_slot_ = (next_slot_ + 1) % kTvProjectileSlots;
    return OM_S_OK;
}

void TavrinWeapon::launch_test(TvProjectile& p) {
    LgWorld* w = projectile_world(p);
    if (!w) return;
    LaunchTest t{&p, {p.placement->pos, p.hit_point}, nullptr, nullptr, nullptr};
    LgCollisionPrimitive line = line_of(t.line.start, t.line.end);
    LgWorldForAllAtomicIntersections(w, &line, launch_atomic, &t);
    line = line_of(t.line.start, t.line.end);
    LgWorldForAllTriangleIntersections(w, &line, launch_world, &t);
    // The object found is kept with a reference, so an impact seconds later never reaches
    // an object that has gone meanwhile.
    p.hit_object = t.best_object;
    if (p.hit_object) p.hit_object->AddRef();
}

OmResult TavrinWeapon::Update() {
    const float dt = game ? game->GetFrameTime() : 0.0f;
    sound_timer_ += dt;
    begin_tracer_tests();
    for (TvProjectile& p : projectiles_)
        if (p.ordnance) step(p, dt);
    if (proximity_) proximity_->Release();
    proximity_ = nullptr;
    return OM_S_OK;
}

void TavrinWeapon::step(TvProjectile& p, float dt) {
    LgMatrix* m = p.placement;
    const LgVector old = m->pos;
    const TvOrdinance& o = *p.ordnance;
    if (p.index != kTvOrdnanceBomb) p.velocity = add(p.velocity, scale(m->at, dt * o.accel));
    if (p.index == kTvOrdnanceBomb) p.velocity.y -= kBombGravity * dt;
    m->pos = add(m->pos, scale(p.velocity, dt));
    m->pos = add(m->pos, scale(p.drift, dt));

    // Nose along the flight path.
    if (length(p.velocity) > 0.0f) {
        LgVectorNormalize(&m->at, &p.velocity);
        LgVector right;
        LgVectorCrossProduct(&right, &m->up, &m->at);
        if (length(right) > 1e-6f) {
            LgVectorNormalize(&m->right, &right);
            LgVectorCrossProduct(&m->up, &m->at, &m->right);
        }
    }
    LgMatrixMarkChanged(m);
    if (p.frame) LgFrameMarkDirty(p.frame);

    if (!is_tracer(p.index)) {
        if (hit_landscape(p, old)) return;
        smoke_trail(p, dt);
        object_hits(p, old);
    } else {
        if (p.age > p.hit_time) impact(p, p.hit_object);
        if (p.ordnance) tracer_hits(p);
    }
    if (p.ordnance && (p.age > kMaxAge || outside_world(p))) free_projectile(p);
    p.age += dt;
}

bool TavrinWeapon::outside_world(const TvProjectile& p) const {
    LgWorld* w = projectile_world(p);
    if (!w) return false;
    const LgBBox& box = *LgWorldGetBoundingBox(w);
    const LgVector& at = p.placement->pos;
    return at.x < box.inf.x || at.x > box.sup.x || at.y < box.inf.y || at.y > box.sup.y ||
           at.z < box.inf.z || at.z > box.sup.z;
}

namespace {

void emit_burst(ITvGame* game, int32_t kind, LgVector at) {
    if (!game) return;
    TvFadeParticle f{};
    f.head.position = at;
    f.head.size = 4.0f;
    f.head.colour = {255, 255, 255, 128};
    f.life = 0.5f;
    f.alpha_rate = 512.0f;
    game->EmitParticles(kind, &f);
}

} // namespace

bool TavrinWeapon::hit_landscape(TvProjectile& p, const LgVector& from) {
    if (!landscape) return false;
    LgCollisionPrimitive line = line_of(from, p.placement->pos);
    LgVector hit{0.0f, kNoLandscapeHit, 0.0f};
    landscape->LineHitPoint(&line, &hit);
    if (hit.y == kNoLandscapeHit) return false;
    emit_burst(game, kTvParticleMaroon, {hit.x, hit.y + kGroundBurstLift, hit.z});
    if (p.ordnance->blast > 0.0f) splash(p, p.placement->pos);
    TvPlaySoundAt(p.ordnance->ground_hit, p.placement, nullptr);
    free_projectile(p);
    return true;
}

void TavrinWeapon::smoke_trail(TvProjectile& p, float dt) {
    const bool rocket = p.index == kTvOrdnanceRocket;
    float n = (dt + p.trail_time) * kTrailRate;
    if (rocket) n *= kRocketTrailFactor;
    if (n < 1.0f) {
        p.trail_time += dt;
        return;
    }
    p.trail_time = 0.0f;
    if (!game) return;
    const auto puffs = static_cast<int32_t>(n);
    for (int32_t i = 0; i < puffs; ++i) {
        TvDriftParticle d{};
        d.head.position = p.placement->pos;
        d.head.size = rocket ? 0.75f : 0.1f;
        d.growth = 2.0f;
        d.red_rate = d.green_rate = d.blue_rate = -0.1f;
        d.alpha_rate = -0.3f;
        d.red = d.green = d.blue = 0.9f;
        d.alpha = 0.7f;
        d.head.colour = {229, 229, 229, 178};
        const float x = static_cast<float>(LgRandom() & 0x3ff) * (5.0f / 512.0f) - 5.0f;
        const float z = static_cast<float>(LgRandom() & 0x3ff) * (5.0f / 512.0f) - 5.0f;
        d.velocity = {x, 15.0f, z};
        game->EmitParticles(kTvParticleSmoke, &d);
    }
}

namespace {

// One bomb or rocket against the atomics its segment (or sphere) meets.
struct ObjectTest {
    TavrinWeapon* weapon;
    TvProjectile* p;
    int32_t owner_id;
    bool planes_only;
    bool hit;
    ITvObject* object;
    LgLine line;
};

LgCollisionPrimitive* object_triangle(LgCollisionPrimitive*, LgCollisionTriangle*, float fraction,
                                      void* data) {
    auto& t = *static_cast<ObjectTest*>(data);
    t.hit = true;
    t.p->hit_point = lerp(t.line.start, t.line.end, fraction);
    return nullptr; // the first triangle is enough
}

} // namespace

struct TvWeaponAccess {
    static LgCollisionPrimitive* object_atomic(LgCollisionPrimitive* primitive, LgAtomicSector*,
                                               LgAtomic* atomic, float, void* data) {
        auto& t = *static_cast<ObjectTest*>(data);
        if (!t.p->ordnance) return nullptr;
        ITvObject* object = owner_of(atomic);
        if (!object || id_of(object) == t.owner_id) return primitive;
        const bool plane = (property(object, kTvPropFlags) & kTvFlagPlane) != 0;
        if (plane) {
            t.weapon->detonate(*t.p, object);
            t.hit = true;
            return nullptr;
        }
        if (t.planes_only) return primitive;
        bool hit = false;
        t.hit = false;
        LgCollisionPrimitive line = *primitive;
        LgAtomicForAllIntersections(atomic, &line, object_triangle, &t);
        hit = t.hit;
        if (!hit) return primitive;
        t.weapon->impact(*t.p, object);
        return nullptr;
    }
};

void TavrinWeapon::object_hits(TvProjectile& p, const LgVector& from) {
    LgWorld* w = projectile_world(p);
    if (!w) return;
    LgVector start = from;
    const LgVector end = p.placement->pos;
    LgVector e{};
    if (p.index == kTvOrdnanceRocket) {
        e = scale(sub(end, from), 4.0f);
        start = sub(from, e);
    }
    ObjectTest t{this, &p, id_of(p.owner), false, false, nullptr, {start, end}};
    LgCollisionPrimitive line = line_of(start, end);
    LgWorldForAllAtomicIntersections(w, &line, TvWeaponAccess::object_atomic, &t);
    if (p.index != kTvOrdnanceRocket || t.hit || !p.ordnance || !networked(game)) return;
    // Across the network a rocket passing close to a plane detonates.
    LgCollisionPrimitive sphere{};
    sphere.sphere.center = end;
    sphere.sphere.radius = length(e) * 0.25f;
    sphere.type = LgCollisionSphere;
    t.planes_only = true;
    LgWorldForAllAtomicIntersections(w, &sphere, TvWeaponAccess::object_atomic, &t);
}

void TavrinWeapon::detonate(TvProjectile& p, ITvObject* object) {
    p.matrix = *p.placement;
    p.placement = &p.matrix;
    if (const LgVector* at = position_of(object)) p.matrix.pos = *at;
    splash(p, p.matrix.pos);
    free_projectile(p);
}

void TavrinWeapon::play_impact_sound(TvProjectile& p) {
    const char* name = p.ordnance->ground_hit;
    if (hit_sounds_ && p.hit_texture[0]) name = hit_sounds_->GetString(p.hit_texture, name);
    if (sound_timer_ > kImpactSoundGap) {
        TvPlaySoundAt(name, p.placement, nullptr);
        sound_timer_ = 0.0f;
    }
}

void TavrinWeapon::impact(TvProjectile& p, ITvObject* object) {
    LgVector at = sub(p.hit_point, scale(p.velocity, kImpactBackStep));
    play_impact_sound(p);
    if (!object) {
        at.y += kAirBurstLift;
        emit_burst(game, kTvParticleMaroon, at);
    } else {
        emit_burst(game, kTvParticleHit, at);
        if (p.ordnance->blast <= 0.0f) {
            if (game) game->DealDamage(object, p.ordnance->damage, id_of(p.owner));
        } else {
            splash(p, p.placement->pos);
        }
    }
    free_projectile(p);
}

namespace {

struct SplashTest {
    ITvGame* game;
    LgVector centre;
    float blast;
    float damage;
    int32_t owner_id;
    ITvObject* done[kMaxSplashTargets];
    int32_t done_count;
};

LgCollisionPrimitive* splash_atomic(LgCollisionPrimitive* primitive, LgAtomicSector*,
                                    LgAtomic* atomic, float, void* data) {
    auto& s = *static_cast<SplashTest*>(data);
    ITvObject* object = owner_of(atomic);
    if (!object) return primitive;
    // An object of several atomics takes the blast once.
    for (int32_t i = 0; i < s.done_count; ++i)
        if (s.done[i] == object) return primitive;
    if (s.done_count < kMaxSplashTargets) s.done[s.done_count++] = object;
    const LgVector* at = position_of(object);
    if (!at) return primitive;
    const float d = length(sub(*at, s.centre));
    float amount = (s.blast - d) * s.damage;
    const int32_t id = id_of(object);
    if (id == s.owner_id) amount *= kOwnSplashShare;
    if (amount > 0.0f && s.game) s.game->DealDamage(object, amount, s.owner_id);
    return primitive;
}

} // namespace

void TavrinWeapon::splash(TvProjectile& p, const LgVector& centre) {
    const TvOrdinance& o = *p.ordnance;
    if (!(o.blast > 0.0f)) return;
    auto* w = reinterpret_cast<LgWorld*>(property(p.owner, kTvPropWorld));
    if (!w) w = projectile_world(p);
    if (w) {
        SplashTest s{game, centre, o.blast, o.damage, id_of(p.owner), {}, 0};
        LgCollisionPrimitive sphere{};
        sphere.sphere.center = centre;
        sphere.sphere.radius = o.blast;
        sphere.type = LgCollisionSphere;
        LgWorldForAllAtomicIntersections(w, &sphere, splash_atomic, &s);
    }
    TvSpawnExplosion(&centre, 1.0f + o.blast * (1.0f / 30.0f), 0);
}

namespace {

struct TracerTest {
    ITvGame* game;
    TvProjectile* p;
    int32_t owner_id;
    bool hit;
};

void tracer_object(ITvObject* object, void* data) {
    auto& t = *static_cast<TracerTest*>(data);
    if (t.hit || !t.p->ordnance || id_of(object) == t.owner_id) return;
    const auto* table =
        reinterpret_cast<const TvFlightTable*>(property(object, kTvPlanePropFlightTable));
    const LgVector* at = position_of(object);
    if (!table || !at) return;
    const LgVector d = sub(*at, t.p->placement->pos);
    const float squared = d.x * d.x + d.y * d.y + d.z * d.z;
    if (squared < table->back_length * table->starboard_length) {
        if (t.game) t.game->DealDamage(object, t.p->ordnance->damage, t.owner_id);
        t.hit = true;
    }
}

void widest_hit(ITvObject* object, void* data) {
    const auto* table =
        reinterpret_cast<const TvFlightTable*>(property(object, kTvPlanePropFlightTable));
    auto& widest = *static_cast<float*>(data);
    if (table && table->back_length * table->starboard_length > widest)
        widest = table->back_length * table->starboard_length;
}

} // namespace

void TavrinWeapon::begin_tracer_tests() {
    proximity_ = nullptr;
    if (!game) return;
    bool tracers = false;
    for (const TvProjectile& p : projectiles_)
        tracers = tracers || (p.ordnance && is_tracer(p.index));
    if (!tracers) return;
    // A plane is hit inside its squared hit radius, so no plane farther than the widest
    // radius from a tracer (horizontally, and so in space) is hit by it. No plane's table
    // changes and none comes back to life within a step.
    float widest = 0.0f;
    game->ForEachLiveInGroup(-kTvGroupSideA, widest_hit, &widest);
    game->ForEachLiveInGroup(-kTvGroupSideB, widest_hit, &widest);
    if (!std::isfinite(widest)) return;
    if (game->QueryInterface(IID_ITvGameProximity, reinterpret_cast<void**>(&proximity_)) < 0)
        proximity_ = nullptr;
    tracer_reach_ = std::sqrt(widest);
}

void TavrinWeapon::tracer_hits(TvProjectile& p) {
    if (!game) return;
    TracerTest t{game, &p, id_of(p.owner), false};
    const LgVector at = p.placement->pos;
    if (proximity_) {
        proximity_->ForEachLiveInGroupNear(-kTvGroupSideA, &at, tracer_reach_, tracer_object, &t);
        if (!t.hit)
            proximity_->ForEachLiveInGroupNear(-kTvGroupSideB, &at, tracer_reach_, tracer_object,
                                               &t);
    } else {
        game->ForEachLiveInGroup(-kTvGroupSideA, tracer_object, &t);
        if (!t.hit) game->ForEachLiveInGroup(-kTvGroupSideB, tracer_object, &t);
    }
    if (t.hit) free_projectile(p);
}
