// Ground and obstacle contact of a plane: the nose, belly, landing, tail and wing-tip probes
// against the landscape, landing and bouncing by sink rate, crashes with their effects, and
// the damage exchanged with the objects a probe passes through.
#include "engine/world/lg_clump.h"
#include "engine/world/lg_world.h"
#include "game/rules/tv_game.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_bsp_landscape.h"
#include "game/world/tv_plane_internal.h"

#include <algorithm>
#include <cmath>

namespace tvplane {

namespace {

constexpr float kHardHitFactor = 15.0f;
constexpr float kPlaneHitFactor = 0.2f;
constexpr float kLandingCrashRate = -30.0f;
constexpr float kLandingGentleRate = -5.0f;
constexpr float kReboundClearance = 0.05f;

// One probe's walk over the world's objects.
struct ObjectProbe {
    Plane plane;
    float dt;
    ITvObject* other;
    LgCollisionPrimitive line;
};

bool is_net_plane(ITvObject* object) {
    IUnknown* net = nullptr;
    if (object->QueryInterface(IID_ITvNetPlane, reinterpret_cast<void**>(&net)) < 0 || !net)
        return false;
    net->Release();
    return true;
}

float endurance_of(ITvObject* object) {
    uintptr_t where = 0;
    if (object->GetProperty(kTvPropEndurance, &where) < 0 || !where) return 0.0f;
    return *reinterpret_cast<const float*>(where);
}

LgCollisionPrimitive* hit_triangle(LgCollisionPrimitive* primitive, LgCollisionTriangle*, float,
                                   void* data) {
    auto* probe = static_cast<ObjectProbe*>(data);
    TvObjectFields& o = probe->plane.o;
    ITvObject* other = probe->other;
    uintptr_t other_flags = 0;
    other->GetProperty(kTvPropFlags, &other_flags);
    const float k = (other_flags & kTvFlagPlane) ? kPlaneHitFactor : kHardHitFactor;
    if (is_net_plane(other) && is_net_plane(o.self)) return primitive;
    other->AddDamage(2.0f * probe->dt * o.endurance * k, o.id);
    if (!(other_flags & kTvFlagSoft))
        o.self->AddDamage(o.endurance + 1.0f, o.id);
    else
        o.self->AddDamage(2.0f * probe->dt * endurance_of(other) * k, o.id);
    return primitive;
}

struct NearTest {
    int32_t self_id;
    bool found;
};

LgCollisionPrimitive* find_target(LgCollisionPrimitive* primitive, LgAtomicSector*,
                                  LgAtomic* atomic, float, void* data) {
    auto* test = static_cast<NearTest*>(data);
    if (!probe_target(atomic, test->self_id)) return primitive;
    test->found = true;
    return nullptr;
}

float length_of(LgVector v) {
    return std::sqrt(dot(v, v));
}

LgCollisionPrimitive* hit_atomic(LgCollisionPrimitive* primitive, LgAtomicSector*, LgAtomic* atomic,
                                 float, void* data) {
    auto* probe = static_cast<ObjectProbe*>(data);
    ITvObject* other = probe_target(atomic, probe->plane.o.id);
    if (!other) return primitive;
    probe->other = other;
    probe->line = *primitive;
    LgAtomicForAllIntersections(atomic, &probe->line, hit_triangle, probe);
    return primitive;
}

void hit_objects(Plane plane, float dt, LgVector start, LgVector end) {
    LgWorld* world = world_of(plane.o);
    if (!world) return;
    ObjectProbe probe{plane, dt, nullptr, {}};
    LgCollisionPrimitive line = line_of(start, end);
    LgWorldForAllAtomicIntersections(world, &line, hit_atomic, &probe);
}

// Crashed at once, with an explosion and a smoke puff.
void crash_here(Plane plane) {
    plane.p.state = kTvPlaneCrashed;
    TvPlaneStartCrashEffects(plane.o);
}

void crash_through_state(Plane plane) {
    set_state(plane, kTvPlaneCrashed);
    TvPlaneStartCrashEffects(plane.o);
}

// The landing probe met the ground: land, bounce or crash by the sink rate. False when the
// plane crashed (the contact step ends).
bool touch_down(Plane plane, float dt, LgVector start, LgVector end) {
    TvObjectFields& o = plane.o;
    TvPlaneFields& p = plane.p;
    LgMatrix* m = o.matrix;
    LgCollisionPrimitive line = line_of(start, end);
    LgMatrix ground{};
    ground.right = m->right;
    ground.up = m->up;
    ground.at = m->at;
    ground.pos = end;
    o.landscape->LineHitOrient(&line, &ground);
    const LgVector hit = ground.pos;
    const LgVector normal = ground.up;
    const LgVector rebound = scale(normal, p.flight.down_length + kReboundClearance);
    const LgVector d = sub(end, hit);
    const float sink_rate = dot(d, normal) / dt;

    if (sink_rate < kLandingCrashRate || p.speed > p.flight.cruise_speed ||
        p.state == kTvPlaneCrashing) {
        crash_here(plane);
        return false;
    }
    if (sink_rate >= kLandingGentleRate) {
        if (p.state == kTvPlaneFlying && p.crash_on_contact) {
            crash_here(plane);
            return false;
        }
        if (p.state == kTvPlaneFlying) set_state(plane, kTvPlaneTaxiing);
        m->pos = add(hit, rebound);
    } else {
        if (p.crash_on_contact) {
            crash_here(plane);
            return false;
        }
        // Bounce: the part below the surface mirrored above it.
        const LgVector mirrored = sub(d, scale(normal, 2.0f * dot(d, normal)));
        m->pos = add(add(hit, mirrored), rebound);
        LgVector at = mirrored;
        if (LgVectorNormalize(&at, &at) > 0.0f) {
            m->at = at;
            m->up = cross(m->at, m->right);
        }
    }
    LgMatrixMarkChanged(m);
    return true;
}

} // namespace

// A take-off point marks where planes start: they sit on it and roll off it unharmed.
ITvObject* probe_target(LgAtomic* atomic, int32_t self_id) {
    ITvObject* other = atomic->clump ? TvClumpGetOwner(atomic->clump) : nullptr;
    if (!other) return nullptr;
    uintptr_t other_id = 0;
    other->GetProperty(kTvPropId, &other_id);
    if (static_cast<int32_t>(other_id) == self_id) return nullptr;
    uintptr_t other_flags = 0;
    other->GetProperty(kTvPropFlags, &other_flags);
    if ((other_flags & kTvFlagTakeoffPoint) != 0) return nullptr;
    return other;
}

// Whether a probe of this contact step can meet anything to act on. Every probe runs from
// the step's start or end by at most the flight table's lengths along the plane's axes (the
// up axis a bounce turns stays within the right axis' length), so every probe lies in the
// box around start and end grown by their sum; a probe can only meet an atomic whose bounding
// sphere reaches that box. One walk over the box then stands for the six probes' walks, which
// with nothing there would act on nothing. The margin (a unit, and a part of the coordinates'
// size) covers rounding in the line tests.
bool targets_near(Plane plane, LgVector start, LgVector end) {
    const TvPlaneFields& p = plane.p;
    const LgMatrix* m = plane.o.matrix;
    LgWorld* world = world_of(plane.o);
    if (!world) return false;
    const TvFlightTable& f = p.flight;
    const LgMatrix* model = p.model_matrix ? p.model_matrix : m;
    const float axis = std::max(
        {1.0f, length_of(p.previous_matrix.at), length_of(p.previous_matrix.up), length_of(m->up),
         length_of(m->right), length_of(model->up), length_of(model->right)});
    const float lengths = std::fabs(f.front_length) + std::fabs(f.down_length) +
                          std::fabs(f.back_length) + std::fabs(f.port_length);
    const float farthest = std::max({std::fabs(start.x), std::fabs(start.y), std::fabs(start.z),
                                     std::fabs(end.x), std::fabs(end.y), std::fabs(end.z)});
    const float reach = axis * lengths + 1.0f + 1.0e-4f * (farthest + axis * lengths);
    LgCollisionPrimitive box{};
    box.type = LgCollisionBox;
    box.box.inf = {std::min(start.x, end.x) - reach, std::min(start.y, end.y) - reach,
                   std::min(start.z, end.z) - reach};
    box.box.sup = {std::max(start.x, end.x) + reach, std::max(start.y, end.y) + reach,
                   std::max(start.z, end.z) + reach};
    for (float v :
         {box.box.inf.x, box.box.inf.y, box.box.inf.z, box.box.sup.x, box.box.sup.y, box.box.sup.z})
        if (!std::isfinite(v)) return true; // no bound: let the probes walk
    NearTest test{plane.o.id, false};
    LgWorldForAllAtomicIntersections(world, &box, find_target, &test);
    return test.found;
}

void collide(Plane plane) {
    TvObjectFields& o = plane.o;
    TvPlaneFields& p = plane.p;
    LgMatrix* m = o.matrix;
    const float dt = frame_time(o);
    if (dt == 0.0f || p.speed < 0.01f || !m) return;
    const TvFlightTable& f = p.flight;

    if (p.state == kTvPlaneTaxiing && p.crash_on_contact) {
        crash_here(plane);
        return;
    }
    if (p.state == kTvPlaneCrashing || p.state == kTvPlaneCrashed) {
        LgWorld* landscape_world = nullptr;
        if (o.landscape) o.landscape->GetWorld(&landscape_world);
        const float bottom = landscape_world ? LgWorldGetBoundingBox(landscape_world)->inf.y : 0.0f;
        if (!(ground_fraction(o, m->pos, {m->pos.x, bottom, m->pos.z}) > 0.0f)) {
            crash_here(plane);
            return;
        }
    }

    const LgVector start = p.previous_matrix.pos;
    const LgVector end = m->pos;
    const LgVector model_up = p.model_matrix ? p.model_matrix->up : m->up;
    const LgVector model_right = p.model_matrix ? p.model_matrix->right : m->right;

    const LgVector nose = add(end, scale(p.previous_matrix.at, f.front_length));
    if (ground_fraction(o, start, nose) > 0.0f) {
        crash_through_state(plane);
        TvPlaySoundAt(o.explosion_sound, m, &p.velocity);
        return;
    }
    const bool near = targets_near(plane, start, end);
    if (near) hit_objects(plane, dt, start, nose);

    const LgVector belly = add(nose, scale(model_up, f.down_length));
    if (ground_fraction(o, start, belly) > 0.0f) {
        crash_through_state(plane);
        return;
    }
    if (near) hit_objects(plane, dt, start, belly);

    if (p.state != kTvPlaneTaxiing) {
        const LgVector wheels_from = sub(start, scale(p.previous_matrix.up, f.down_length));
        const LgVector wheels_to = sub(end, scale(m->up, f.down_length));
        if (near) hit_objects(plane, dt, wheels_from, wheels_to);
        if (ground_fraction(o, wheels_from, wheels_to) > 0.0f && o.landscape &&
            !touch_down(plane, dt, wheels_from, wheels_to))
            return;
    }

    if (near)
        hit_objects(plane, dt, sub(start, scale(p.previous_matrix.up, f.back_length)),
                    sub(end, scale(m->up, f.back_length)));

    for (float side : {-1.0f, 1.0f}) {
        const LgVector tip = add(end, scale(model_right, side * f.port_length));
        if (ground_fraction(o, start, tip) > 0.0f) {
            o.damage += 1.0f;
            if (p.state != kTvPlaneCrashed) set_state(plane, kTvPlaneCrashing);
        }
        if (near) hit_objects(plane, dt, start, tip);
    }
}

} // namespace tvplane
