// The flight model: airborne flight (speed target, energy from climbing and diving, stall,
// pitch, sink, separation between AI planes, bank limits and the turn from the bank), taxiing
// on the ground with the tail-down attitude and steering, and the wreck put on the ground.
#include "engine/world/lg_world.h"
#include "game/rules/tv_game.h"
#include "game/rules/tv_game_proximity.h"
#include "game/world/tv_bsp_landscape.h"
#include "game/world/tv_plane_internal.h"

#include <algorithm>
#include <cmath>

namespace tvplane {

namespace {

constexpr float kDegreesPerRadian = 57.32484f;
constexpr float kRadiansPerDegree = 0.017444444f;
constexpr float kStallDrop = 25.0f;
constexpr float kPitchRelaxation = 5.0f;
constexpr float kSeparationRadius = 100.0f;
constexpr float kSeparationGain = 0.3f;
constexpr float kCrashSpin = 200.0f;
constexpr float kCrashNoseDrop = 100.0f;
constexpr float kTaxiSteer = 0.07f;
constexpr float kTaxiBankPerSpeed = 0.03f;

bool is_airborne(int32_t state) {
    return state == kTvPlaneFlying || state == kTvPlaneCrashing || state == kTvPlaneStalling ||
           state == kTvPlaneRolling;
}

float lowest_y(LgWorld* world) {
    return world ? LgWorldGetBoundingBox(world)->inf.y : 0.0f;
}

// The separation push of one other plane: away from it, stronger the closer it is.
struct Separation {
    ITvObject* self;
    LgVector position;
    LgVector push;
};

void separate_from(ITvObject* other, void* context) {
    auto* s = static_cast<Separation*>(context);
    if (other == s->self) return;
    uintptr_t where = 0;
    if (other->GetProperty(kTvPropPosition, &where) < 0 || !where) return;
    const auto* p = reinterpret_cast<const LgVector*>(where);
    const float dx = s->position.x - p->x;
    const float dz = s->position.z - p->z;
    const float distance = std::sqrt(dx * dx + dz * dz);
    // Two planes at one spot have no direction to part in.
    if (distance >= kSeparationRadius || distance <= 0.0f) return;
    const float push = (kSeparationRadius - distance) * kSeparationGain;
    s->push.x += dx / distance * push;
    s->push.z += dz / distance * push;
}

// Both sides push; only planes within the radius do anything, so the game's proximity walk,
// where it has one, leaves the others out.
void gather_separation(ITvGame* game, Separation& s) {
    ITvGameProximity* near = nullptr;
    if (game->QueryInterface(IID_ITvGameProximity, reinterpret_cast<void**>(&near)) >= 0 && near) {
        near->ForEachLiveInGroupNear(-kTvGroupSideA, &s.position, kSeparationRadius, separate_from,
                                     &s);
        near->ForEachLiveInGroupNear(-kTvGroupSideB, &s.position, kSeparationRadius, separate_from,
                                     &s);
        near->Release();
        return;
    }
    game->ForEachLiveInGroup(-kTvGroupSideA, separate_from, &s);
    game->ForEachLiveInGroup(-kTvGroupSideB, separate_from, &s);
}

// Half a turn about the plane's own z axis.
void half_roll(LgMatrix* m) {
    turn_local(m, kAxisZ, 180.0f);
}

void bank_model(TvObjectFields& o, TvPlaneFields& p) {
    if (!p.model_matrix || p.model_matrix == o.matrix) return;
    *p.model_matrix = *o.matrix;
    turn_local(p.model_matrix, kAxisZ, p.bank);
}

void fly_airborne(Plane plane, float dt, float sink, LgVector local_up) {
    TvObjectFields& o = plane.o;
    TvPlaneFields& p = plane.p;
    const TvFlightTable& f = p.flight;
    LgMatrix* m = o.matrix;
    const bool player = (o.flags & kTvFlagPlayerPlane) != 0;

    // The boost keeps the flight state it started from and puts it back when it ends.
    if (p.boost_active && !p.saved_flight.saved) {
        p.saved_flight = {p.throttle, p.previous_throttle, p.speed, p.energy, 1};
    } else if (!p.boost_active && p.saved_flight.saved) {
        p.throttle = p.saved_flight.throttle;
        p.previous_throttle = p.saved_flight.previous_throttle;
        p.speed = p.saved_flight.speed;
        p.energy = p.saved_flight.energy;
        p.saved_flight.saved = 0;
    }

    float target = f.high_speed * 0.5f * (p.throttle + 1.0f);
    p.energy += (p.previous_throttle - p.throttle) * f.high_speed * 0.5f;
    p.previous_throttle = p.throttle;

    float factor = 1.0f;
    if (p.boost_active && p.boost_time > 0.0f) {
        target *= 3.0f;
        factor = 3.0f;
        p.boost_time -= dt;
    }

    p.energy += -m->at.y * f.energy_conversion * dt;
    if (p.energy > 0.0f)
        p.energy -= f.drag * dt;
    else
        p.energy += f.drag * dt;
    p.energy = std::min(p.energy, f.diving_speed - target);
    const float climb_limit = f.high_speed - (f.high_speed - f.climb_speed) * m->at.y;
    if (climb_limit <= f.high_speed) p.energy = std::max(p.energy, climb_limit - f.high_speed);

    // An AI plane above its ceiling flies slower by the excess height, down to a standstill
    // target (never below it, which would turn into full speed below).
    const bool above_ceiling = !player && p.altitude > f.ceiling;
    if (above_ceiling) target = std::max(0.0f, target - (p.altitude - f.ceiling));

    p.speed = std::min(p.speed + dt * f.acceleration, target + p.energy);
    // A negative speed becomes the high speed, except above the ceiling: there the energy
    // dips below 0 whenever the nose is below the horizon, and the plane must stay slow.
    if (p.speed < 0.0f) p.speed = above_ceiling ? 0.0f : f.high_speed;

    LgVector v = scale(m->at, factor * p.speed);

    const bool upright = m->up.y > 0.0f;
    if (p.speed < f.stall_speed && p.state != kTvPlaneCrashing && p.state != kTvPlaneCrashed) {
        p.bank = std::clamp(p.bank + 2.0f * dt * p.bank, -90.0f, 90.0f);
        p.pitch_rate += (f.stall_speed - p.speed) * (upright ? 1.0f : -1.0f) * 1.5f;
        set_state(plane, kTvPlaneStalling);
        v.y -= kStallDrop;
    } else if (p.state == kTvPlaneStalling) {
        set_state(plane, kTvPlaneFlying);
    }

    // The pitch rate is pulled back towards zero by a fixed step each frame.
    if (dt * f.pitch * (p.pitch_rate > 0.0f ? 1.0f : 0.0f) != 0.0f)
        p.pitch_rate -= kPitchRelaxation;
    else
        p.pitch_rate += kPitchRelaxation;
    p.pitch_rate = std::min(std::max(p.pitch_rate, -f.pitch), f.pitch);

    LgMatrixOrthoNormalize(m, m);
    turn_local(m, kAxisX, dt * p.pitch_rate);

    if (p.state != kTvPlaneStalling) v.y -= sink;

    p.velocity = {0.0f, 0.0f, 0.0f};
    if (!player && o.game) {
        Separation s{o.self, m->pos, {0.0f, 0.0f, 0.0f}};
        gather_separation(o.game, s);
        p.velocity = s.push;
    }
    v = add(v, p.velocity);
    p.velocity = v;
    m->pos = add(m->pos, scale(v, dt));

    // The logical frame never banks: its right row stays horizontal.
    LgVector right = {m->right.x, 0.0f, m->right.z};
    if (LgVectorNormalize(&right, &right) > 0.0f) {
        m->right = right;
        m->up = cross(m->at, m->right);
        LgMatrixOrthoNormalize(m, m);
    }

    if (p.model_matrix) m->pos = add(m->pos, scale(p.model_matrix->right, dt * p.sideslip_rate));

    if (p.state != kTvPlaneStalling) {
        if (m->up.y > 0.0f && p.state != kTvPlaneRolling) {
            p.bank = std::clamp(p.bank, -90.0f, 90.0f);
        } else if (!player) {
            // An inverted AI plane rights its logical frame at once; the bank takes the half
            // turn so the model keeps its pose and rolls out from there.
            if (m->up.y < 0.0f) {
                half_roll(m);
                p.bank = p.bank > 0.0f ? p.bank - 180.0f : p.bank + 180.0f;
            }
        } else if (p.bank < -90.0f) {
            p.bank += 180.0f;
            half_roll(m);
        } else if (p.bank > 90.0f) {
            p.bank -= 180.0f;
            half_roll(m);
        }
    }

    if (p.state == kTvPlaneCrashing) {
        p.bank += dt * kCrashSpin;
        turn_local(m, kAxisX, dt * m->up.y * kCrashNoseDrop);
    }

    bank_model(o, p);

    if (p.state != kTvPlaneRolling) {
        const float t = m->up.y > 0.0f ? -1.0f : 1.0f;
        const float yaw =
            std::sin(p.bank * kRadiansPerDegree) * dt * f.turn * t + dt * p.sideslip_rate * -1.5f;
        turn_local(m, local_up, yaw);
    }
}

void fly_taxiing(Plane plane, float dt, LgVector local_up) {
    TvObjectFields& o = plane.o;
    TvPlaneFields& p = plane.p;
    const TvFlightTable& f = p.flight;
    LgMatrix* m = o.matrix;

    p.energy += (p.previous_throttle - p.throttle) * f.high_speed * 0.3f;
    p.previous_throttle = p.throttle;
    if (p.energy > 0.0f)
        p.energy -= f.drag * dt;
    else
        p.energy += f.drag * dt;

    // On the ground the plane never rolls backwards.
    p.speed = std::min(p.speed + 2.0f * dt * f.acceleration,
                       std::sin(p.throttle * 1.57f) * f.high_speed + p.energy);
    p.speed = std::max(p.speed, 0.0f);

    m->pos = add(m->pos, scale(m->at, p.speed * dt));

    if (LgWorld* world = world_of(o)) {
        const LgBBox* box = LgWorldGetBoundingBox(world);
        LgVector ground = {0.0f, 0.0f, 0.0f};
        ground_point(o, {m->pos.x, box->sup.y, m->pos.z}, {m->pos.x, box->inf.y, m->pos.z},
                     &ground);
        if (ground.y > 0.0f) m->pos.y = ground.y + f.down_length;
    }

    // Tail down: the nose rises to the resting tilt and comes down as the speed grows.
    const float tilt = (f.back_length != 0.0f ? std::atan(f.down_length / f.back_length)
                                              : std::atan2(f.down_length, 0.0f)) *
                       -kDegreesPerRadian;
    float angle = p.pitch_rate - dt * f.pitch;
    angle = std::max(angle, tilt);
    if (p.speed < f.stall_speed)
        angle = std::min(angle, tilt);
    else if (p.speed < f.cruise_speed)
        angle = std::min(
            angle, tilt * (1.0f - (p.speed - f.stall_speed) / (f.high_speed - f.stall_speed)));
    p.pitch_rate = std::max(angle, -f.pitch);

    // On the ground the frame stands upright. Its right row is made horizontal first: a frame
    // put down on its side (a vertical right row) takes it from its heading, or from the
    // world's x axis when the heading is vertical too, so the rows never collapse.
    LgVector right = {m->right.x, 0.0f, m->right.z};
    if (!(LgVectorNormalize(&right, &right) > 0.0f)) {
        const LgVector heading = {m->at.x, 0.0f, m->at.z};
        right = cross({0.0f, 1.0f, 0.0f}, heading);
        if (!(LgVectorNormalize(&right, &right) > 0.0f)) right = {1.0f, 0.0f, 0.0f};
    }
    m->right = right;
    m->up = {0.0f, 1.0f, 0.0f};
    m->at = cross(m->right, m->up);
    LgMatrixOrthoNormalize(m, m);
    turn_local(m, kAxisX, p.pitch_rate);

    const float limit = p.speed * kTaxiBankPerSpeed;
    p.bank = std::clamp(p.bank, -limit, limit);
    bank_model(o, p);

    if (p.model_matrix) {
        const float t = m->up.y > 0.0f ? 1.0f : -1.0f;
        turn_local(m, local_up,
                   dot(m->right, p.model_matrix->up) * dt * f.turn * t * p.speed * kTaxiSteer);
    }

    if (p.speed > (f.stall_speed + f.cruise_speed) * 0.5f && p.state != kTvPlaneCrashed)
        set_state(plane, kTvPlaneFlying);
}

} // namespace

float frame_time(const TvObjectFields& o) {
    return o.game ? o.game->GetFrameTime() : 0.0f;
}

LgWorld* world_of(const TvObjectFields& o) {
    if (o.world) return o.world;
    LgWorld* world = nullptr;
    if (o.landscape) o.landscape->GetWorld(&world);
    return world;
}

float ground_fraction(const TvObjectFields& o, LgVector start, LgVector end) {
    if (!o.landscape) return 0.0f;
    LgCollisionPrimitive line = line_of(start, end);
    float fraction = 0.0f;
    o.landscape->LineHitFraction(&line, &fraction);
    return fraction;
}

void ground_point(const TvObjectFields& o, LgVector start, LgVector end, LgVector* point) {
    if (!o.landscape) return;
    LgCollisionPrimitive line = line_of(start, end);
    o.landscape->LineHitPoint(&line, point);
}

void set_state(Plane plane, int32_t state) {
    plane.p.plane_self->SetProperty(kTvPlanePropState, static_cast<uint32_t>(state));
}

void place_wreck(Plane plane) {
    LgMatrix* m = plane.o.matrix;
    if (!m) return;
    ground_point(plane.o, {m->pos.x, 800.0f, m->pos.z}, {m->pos.x, 100.0f, m->pos.z}, &m->pos);
    plane.p.previous_matrix.pos = m->pos;
    if (plane.p.model_matrix) plane.p.model_matrix->pos = m->pos;
    plane.p.wreck_placed = 1;
}

void fly(Plane plane) {
    TvObjectFields& o = plane.o;
    TvPlaneFields& p = plane.p;
    const float dt = frame_time(o);
    LgMatrix* m = o.matrix;
    if (dt == 0.0f || !m) return;
    const TvFlightTable& f = p.flight;
    p.altitude = m->pos.y - lowest_y(world_of(o));

    const float span = f.high_speed - f.stall_speed;
    const float sink = span != 0.0f ? f.lift * (1.0f - (p.speed - f.stall_speed) / span) : 0.0f;
    // The world's up in the plane's own axes.
    const LgVector local_up = {m->right.y, m->up.y, m->at.y};

    if (is_airborne(p.state))
        fly_airborne(plane, dt, sink, local_up);
    else if (p.state == kTvPlaneCrashed)
        place_wreck(plane);
    else if (p.state == kTvPlaneTaxiing)
        fly_taxiing(plane, dt, local_up);

    if (m->pos.y == 0.0f) {
        *m = p.previous_matrix;
        if (p.model_matrix && p.model_matrix != m) *p.model_matrix = p.previous_matrix;
    }
    LgMatrixMarkChanged(m);
    if (o.frame) LgFrameMarkDirty(o.frame);
    if (p.model_matrix && p.model_matrix != m) {
        LgMatrixMarkChanged(p.model_matrix);
        if (p.model_frame) LgFrameMarkDirty(p.model_frame);
    }
}

} // namespace tvplane
