// One frame of a plane: the player's controls, flight and contact, damage smoke, the boost
// trail, propellers, ground clearance ahead, engine and gun sounds and the world's ceiling.
#include "engine/core/lg_frame.h"
#include "engine/world/lg_random.h"
#include "engine/world/lg_world.h"
#include "game/rules/tavrin_game.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_camera.h"
#include "game/world/tv_plane_internal.h"

#include <algorithm>
#include <cmath>

namespace tvplane {

namespace {

constexpr float kHitIndicatorFall = 4.0f;
constexpr float kSmokeLevelFall = 3.5f;
constexpr float kPropellerRate = 2040.0f;
constexpr int32_t kBoostTrailParticles = 40;
constexpr float kClearanceSeconds = 3.0f;
// Vertical components this small count as level (rounding noise of a 90 degree bank).
constexpr float kHorizonTolerance = 1e-3f;

float random10() {
    return static_cast<float>(LgRandom() & 0x3ff);
}

uint8_t to_byte(float value) {
    if (!(value > 0.0f)) return 0;
    if (value >= 255.0f) return 255;
    return static_cast<uint8_t>(value);
}

// The most smoke puffs one frame emits, and the rate whose light smoke is fully opaque.
constexpr float kMaxSmokePuffs = 16.0f;
constexpr float kMaxSmokeRate = 20.0f;

void emit_smoke(TvObjectFields& o, TvPlaneFields& p, float rate, int32_t puffs) {
    const bool crashing = p.state == kTvPlaneCrashing;
    for (int32_t i = 0; i < puffs; ++i) {
        TvDriftParticle d{};
        d.head.position = o.matrix->pos;
        d.velocity = {random10() * 0.009765625f - 5.0f, crashing ? 30.0f : 15.0f,
                      random10() * 0.009765625f - 5.0f};
        if (crashing) {
            d.head.size = 4.0f;
            d.growth = 5.0f;
            d.red = 0.3f + random10() * 0.00034179687f;
            d.green = std::min(0.3f + random10() * 0.00029296876f, d.red);
            d.blue = 0.3f;
            d.alpha = 1.0f;
            d.red_rate = d.green_rate = d.blue_rate = d.alpha_rate = -0.2f;
        } else {
            d.head.size = 2.0f;
            d.growth = 3.0f;
            d.red = d.green = d.blue = 0.9f;
            d.alpha = 0.05f * rate;
            d.red_rate = d.green_rate = d.blue_rate = -0.1f;
            d.alpha_rate = -0.15f;
        }
        d.head.colour = {to_byte(d.red * 255.0f), to_byte(d.green * 255.0f),
                         to_byte(d.blue * 255.0f), to_byte(d.alpha * 255.0f)};
        o.game->EmitParticles(kTvParticleSmoke, &d);
    }
}

void damage_smoke(TvObjectFields& o, TvPlaneFields& p, float dt) {
    if (!(o.damage > 0.0f) || p.state == kTvPlaneCrashed) return;
    const float rate = p.state == kTvPlaneCrashing ? p.smoke_gain * 150.0f + p.smoke_level
                                                   : o.damage * p.smoke_gain + p.smoke_level;
    if (rate * p.smoke_timer < 1.0f) {
        p.smoke_timer += dt;
    } else {
        // A damage far beyond any endurance (the network's word for a wreck) smokes as hard
        // as a frame can show, not without end.
        const float puffs = std::min(rate * p.smoke_timer, kMaxSmokePuffs);
        if (o.game) emit_smoke(o, p, std::min(rate, kMaxSmokeRate), static_cast<int32_t>(puffs));
        p.smoke_timer = 0.0f;
    }
    p.smoke_level = std::max(0.0f, p.smoke_level - kSmokeLevelFall * dt);
}

void boost_trail(TvObjectFields& o, TvPlaneFields& p, float dt) {
    if (!p.boost_active || !o.game || !p.model_matrix) return;
    const LgMatrix& model = *p.model_matrix;
    const float s = static_cast<float>(LgRandom() & 5) * -255.0f / 40.0f;
    LgVector at = add(o.matrix->pos, scale(model.up, 0.05f * p.flight.up_length));
    at = sub(at, scale(model.at, p.flight.back_length));
    for (int32_t i = 0; i < kBoostTrailParticles; ++i) {
        TvFlashParticle f{};
        f.head.position = at;
        f.head.size = std::max(0.0f, 2.5f - static_cast<float>(i) * 2.5f / 60.0f);
        const int32_t alpha = 255 + static_cast<int32_t>(static_cast<float>(i) * s);
        f.head.colour = {10, 10, 200, static_cast<uint8_t>(std::clamp(alpha, 0, 255))};
        f.life = 1.5f * dt;
        o.game->EmitParticles(kTvParticleFlash, &f);
        at = sub(at, scale(model.at, 0.5f));
    }
}

LgFrame* spin_propeller(LgFrame* child, void* data) {
    LgFrameRotate(child, &kAxisZ, *static_cast<float*>(data), LgCombinePreConcat);
    return child;
}

void drive_sounds(TvObjectFields& o, TvPlaneFields& p) {
    if (p.engine_sound) {
        TvSoundPlace(p.engine_sound, o.matrix, &p.velocity);
        if (p.state == kTvPlaneCrashed) {
            TvSoundStop(p.engine_sound);
        } else {
            TvSoundSetReal(p.engine_sound, kTvSoundRealThrottle, p.throttle);
            TvSoundSetReal(p.engine_sound, kTvSoundRealNosePitch, o.matrix->at.y);
            TvSoundSetReal(p.engine_sound, kTvSoundRealVolume, 1.0f);
            if (!TvSoundIsPlaying(p.engine_sound)) TvSoundPlay(p.engine_sound, 1);
        }
    }
    if (p.gun_sound) {
        if (!p.guns_firing || p.state == kTvPlaneCrashed) {
            TvSoundStop(p.gun_sound);
        } else {
            TvSoundPlace(p.gun_sound, o.matrix, &p.velocity);
            if (!TvSoundIsPlaying(p.gun_sound)) TvSoundPlay(p.gun_sound, 1);
        }
    }
}

void stop_boost_sound(TvPlaneFields& p) {
    if (!p.boost_sound) return;
    TvSoundStop(p.boost_sound);
    TvSoundRelease(p.boost_sound);
    p.boost_sound = nullptr;
}

void send_look(TvPlaneFields& p, uint32_t code, float value) {
    const TvEvent event{code, value == 1.0f ? 1u : 0u};
    p.camera->HandleEvent(&event);
}

} // namespace

void apply_controls(Plane plane) {
    TvObjectFields& o = plane.o;
    TvPlaneFields& p = plane.p;
    const float dt = frame_time(o);
    LgMatrix* m = o.matrix;
    const TvFlightTable& f = p.flight;
    TvControlBindings& c = p.controls;

    if (c.throttle.kind == kTvBindJoystickAxis)
        p.throttle = (c.throttle.sensitivity * c.throttle.value + 1.0f) * 0.5f;
    else
        p.throttle += dt * c.throttle.value * c.throttle.sensitivity;
    p.throttle = std::clamp(p.throttle, 0.0f, 1.0f);

    const float s = m->up.y > 0.0f ? 1.0f : -1.0f;
    TvAxisBinding& roll = c.roll;
    switch (roll.kind) {
    case kTvBindKeyboard:
    case kTvBindJoystickButtons:
        if (roll.value != 0.0f) {
            p.bank += -roll.value * (roll.sensitivity + 0.1f) * f.roll * 7.0f * dt * s;
        } else if (p.bank < -0.5f) {
            p.bank += dt * f.roll;
        } else if (p.bank > 0.5f) {
            p.bank -= dt * f.roll;
        } else {
            p.bank = 0.0f;
        }
        break;
    case kTvBindMouseAxis:
        p.bank += (roll.sensitivity * 0.25f + 0.025f) * dt * f.roll * roll.value * s;
        roll.value = 0.0f;
        break;
    case kTvBindJoystickAxis:
        if (p.state == kTvPlaneStalling)
            p.bank += s * roll.value * roll.sensitivity * 50.0f * dt;
        else
            p.bank = s * roll.value * roll.sensitivity * 200.0f;
        break;
    default: break;
    }

    p.sideslip_rate = 0.0f;

    // Which way pitch input turns the nose: a model up that is level (a 90 degree bank)
    // counts as upright, so rounding noise cannot flip it from frame to frame.
    const bool model_below = p.model_matrix && p.model_matrix->up.y < -kHorizonTolerance;
    const bool logical_below = m->up.y < -kHorizonTolerance;
    const float pitch_sign = model_below == logical_below ? -1.0f : 1.0f;

    TvAxisBinding& pitch = c.pitch;
    switch (pitch.kind) {
    case kTvBindKeyboard:
    case kTvBindJoystickButtons:
        if (pitch.value != 0.0f) {
            p.pitch_rate -=
                (pitch.sensitivity + 0.1f) * f.pitch * 100.0f * dt * pitch_sign * pitch.value;
        } else {
            // Hands off, the nose eases back towards the horizon: after the frame's fixed
            // relaxation step this turns it down while above the horizon and up while below.
            const float towards_level = m->at.y > 0.0f ? -1.0f : 1.0f;
            p.pitch_rate = (m->up.y > 0.0f ? 1.0f : -1.0f) * towards_level;
        }
        break;
    case kTvBindMouseAxis:
        p.pitch_rate -=
            (pitch.sensitivity * 2.5f + 0.25f) * -pitch.value * dt * f.pitch * pitch_sign;
        pitch.value = 0.0f;
        break;
    case kTvBindJoystickAxis:
        p.pitch_rate = dt * f.pitch * pitch_sign * pitch.value * pitch.sensitivity *
                       (p.state == kTvPlaneStalling ? 20.0f : 300.0f);
        break;
    default: break;
    }

    if (c.fire.value != 0.0f) {
        p.plane_self->TvPlaneFire(kTvFireGuns);
        p.guns_firing = 1;
    } else {
        p.guns_firing = 0;
    }
    if (c.secondary.value != 0.0f) p.plane_self->TvPlaneFire(kTvFireOrdinance);

    const bool boost_button = c.special.value != 0.0f;
    if (!p.boost_active && boost_button && p.boost_time > 0.0f) {
        if (!p.boost_sound) p.boost_sound = TvGetSoundObject("Boost");
        if (p.boost_sound) {
            TvSoundPlace(p.boost_sound, m, &p.velocity);
            TvSoundPlay(p.boost_sound, 0);
        }
    } else if (p.boost_active && boost_button && p.boost_sound) {
        TvSoundPlace(p.boost_sound, m, &p.velocity);
        TvSoundPlay(p.boost_sound, 0);
    } else if (p.boost_active && !boost_button) {
        stop_boost_sound(p);
    }
    if (p.boost_time <= 0.0f) {
        p.boost_active = 0;
        stop_boost_sound(p);
    } else {
        p.boost_active = static_cast<int32_t>(c.special.value);
    }

    if (p.camera) {
        send_look(p, kTvPlaneLookEventFirst + 0, c.camera_above.value);
        send_look(p, kTvPlaneLookEventFirst + 1, c.camera_left.value);
        send_look(p, kTvPlaneLookEventFirst + 2, c.camera_right.value);
        send_look(p, kTvPlaneLookEventFirst + 3, c.camera_behind.value);
        // The camera binding changes the view once per press; held, it changes nothing more.
        const TvEvent change{kTvEventCameraChange, 1u};
        for (; p.camera_changes > 0; --p.camera_changes) p.camera->HandleEvent(&change);
    }
}

OmResult update(Plane plane) {
    TvObjectFields& o = plane.o;
    TvPlaneFields& p = plane.p;
    if (!o.matrix) return OM_S_OK;
    const float dt = frame_time(o);
    p.hit_indicator -= kHitIndicatorFall * dt;

    if (p.state != kTvPlaneCrashed && !(o.flags & kTvFlagNetworkDriven)) {
        if (o.flags & kTvFlagPlayerPlane) {
            if (!p.skip_controls_once) apply_controls(plane);
            p.skip_controls_once = 0;
        }
        fly(plane);
        const int32_t state_before = p.state;
        const float damage_before = o.damage;
        collide(plane);
        if (damage_before < o.endurance &&
            ((p.state == kTvPlaneCrashed && state_before != kTvPlaneCrashed) ||
             o.damage >= o.endurance))
            p.fatal_event = 1;
    }
    // A wreck lies on the ground below where it came down, once.
    if (p.state == kTvPlaneCrashed && !p.wreck_placed && !(o.flags & kTvFlagNetworkDriven))
        place_wreck(plane);

    damage_smoke(o, p, dt);
    boost_trail(o, p, dt);

    if (p.state != kTvPlaneCrashed && p.model_frame && p.model_frame != o.frame) {
        float angle = dt * p.throttle * kPropellerRate;
        LgFrameForAllChildren(p.model_frame, spin_propeller, &angle);
    }

    p.previous_matrix = *o.matrix;
    if (o.frame) LgFrameMarkDirty(o.frame);

    const LgVector ahead = {o.matrix->pos.x + o.matrix->at.x * p.speed * kClearanceSeconds,
                            o.matrix->pos.y,
                            o.matrix->pos.z + o.matrix->at.z * p.speed * kClearanceSeconds};
    p.ground_clearance = ground_fraction(o, ahead, {ahead.x, 0.0f, ahead.z}) * o.matrix->pos.y;
    p.secondary_timer += dt;

    drive_sounds(o, p);

    if (p.guns_firing) p.plane_self->TvPlaneFire(kTvFireGuns);

    if (LgWorld* world = world_of(o)) {
        const float top = LgWorldGetBoundingBox(world)->sup.y;
        if (o.matrix->pos.y > top) {
            o.matrix->pos.y = top;
            LgMatrixMarkChanged(o.matrix);
        }
    }
    return tvobject::update(o);
}

} // namespace tvplane
