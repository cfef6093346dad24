// The network-driven plane: its interfaces, properties and state record, the remote update with
// its serials, the curve it follows between records, the time-out, and the reports of gunfire,
// ordinance, state changes and pickups that the local player's plane sends.
#include "game/rules/tavrin_net_plane.h"

#include "engine/core/lg_frame.h"
#include "engine/core/lg_matrix.h"
#include "engine/core/lg_vector.h"
#include "game/rules/tavrin_client_game.h"
#include "game/rules/tv_client_game.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_weapon.h"
#include "net/client/om_aerovant_client.h"
#include "net/messages/game_messages.h"
#include "platform/clock.h"

#include <cmath>
#include <cstring>

namespace {

const OmClassRecord classes[] = {
    {&CLSID_TavrinNetPlane, nullptr, nullptr, OmCreateComponent<TavrinNetPlane>, "TavrinNetPlane"}};

constexpr float kControlFraction = 0.4f;
constexpr float kExtrapolationDecay = 0.9f;
constexpr float kOrdnanceGap = 0.5f;
constexpr float kGravity = 60.0f;
constexpr float kTiny = 1e-6f;
constexpr LgVector kWorldUp = {0.0f, 1.0f, 0.0f};

LgVector add(LgVector a, LgVector b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
LgVector sub(LgVector a, LgVector b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
LgVector scale(LgVector a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
float dot(LgVector a, LgVector b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
LgVector cross(LgVector a, LgVector b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float length(LgVector a) {
    return std::sqrt(dot(a, a));
}
// The unit vector, or false for a zero (or non-finite) vector.
bool unit(LgVector a, LgVector* out) {
    const float l = length(a);
    if (!(l > kTiny) || !std::isfinite(l)) return false;
    *out = scale(a, 1.0f / l);
    return true;
}

// Rows right, up, at for a heading: right from the world up; a vertical heading keeps
// `fallback_right` (made perpendicular). False when no frame can be built.
bool look_rows(LgVector heading, LgVector fallback_right, LgVector* right, LgVector* up,
               LgVector* at) {
    if (!unit(heading, at)) return false;
    if (!unit(cross(kWorldUp, *at), right)) {
        if (!unit(sub(fallback_right, scale(*at, dot(fallback_right, *at))), right)) return false;
    }
    *up = cross(*at, *right);
    return true;
}

// The rotation part alone (position zero).
LgMatrix rotation_of(const LgMatrix& m) {
    LgMatrix r = m;
    r.pos = {0.0f, 0.0f, 0.0f};
    LgMatrixMarkChanged(&r);
    return r;
}

LgVector rotate(const LgMatrix& rotation, LgVector v) {
    LgVector out;
    LgVectorTransformVectors(&out, &v, 1, &rotation);
    return out;
}

ITvObject* player_plane(ITvClientGame* client, int32_t slot) {
    return client ? client->GetPlayerPlane(slot) : nullptr;
}

// Within the range positions from the network lie in (and finite).
bool within_world(LgVector p) {
    return std::fabs(p.x) <= kTvNetPositionLimit && std::fabs(p.y) <= kTvNetPositionLimit &&
           std::fabs(p.z) <= kTvNetPositionLimit;
}

const LgMatrix* matrix_of(ITvObject* object) {
    uintptr_t m = 0;
    if (!object || object->GetProperty(kTvPropMatrix, &m) < 0 || !m) return nullptr;
    return reinterpret_cast<const LgMatrix*>(m);
}

} // namespace

OM_DEFINE_MODULE(TavrinNetPlane, classes)

TavrinNetPlane::TavrinNetPlane() {
    LgMatrixSetIdentity(&target_orientation);
    LgMatrixSetIdentity(&segment_rotation);
    last_record_time = platform::timeGetTime();
}

TavrinNetPlane::~TavrinNetPlane() {
    if (network_client) network_client->Release();
}

OmResult TavrinNetPlane::QueryInterface(const GUID& iid, void** out) {
    ITvPlane* self_plane = static_cast<ITvPlane*>(this);
    return om_query_interface(iid, out,
                              {{&IID_ITvObject, self_plane},
                               {&IID_ITvAIPlane, self_plane},
                               {&IID_ITvNetPlane, self_plane}});
}

OmResult TavrinNetPlane::Reset() {
    if (network_client) network_client->Release();
    network_client = nullptr;
    return TavrinAIPlane::Reset();
}

OmResult TavrinNetPlane::Create(TvCreateDescriptor* descriptor) {
    if (network_client) network_client->Release();
    network_client = nullptr;
    const OmResult r = TavrinAIPlane::Create(descriptor);
    if (r < 0) return r;
    speed = 0.0f;
    const LgVector here = matrix ? matrix->pos : LgVector{};
    for (LgVector& point : curve) point = here;
    curve_t = parameter_rate = turn_rate = 0.0f;
    extrapolation_count = record_gap = 0;
    LgMatrixSetIdentity(&target_orientation);
    last_record_time = platform::timeGetTime();
    snap_pending = 0;
    return OM_S_OK;
}

OmResult TavrinNetPlane::Destroy() {
    if (network_client) network_client->Release();
    network_client = nullptr;
    return TavrinAIPlane::Destroy();
}

OmResult TavrinNetPlane::SetProperty(uint32_t id, uintptr_t value) {
    switch (id) {
    case kTvPropMatrix: {
        const OmResult r = TavrinAIPlane::SetProperty(id, value);
        if (r < 0 || !matrix) return r;
        for (LgVector& point : curve) point = matrix->pos;
        curve_t = 0.0f;
        parameter_rate = 0.0f;
        return r;
    }
    case kTvPlanePropState: {
        state = static_cast<int32_t>(value);
        if (network_client) {
            IBinaryStreamComposer* packet = network_client->NewPacket();
            TvToServerStatus m;
            m.status = state;
            send(packet, TvEncode(packet, m), static_cast<uint16_t>(TvToServerStatus::type),
                 TvToServerStatus::flags);
        }
        return TavrinAIPlane::SetProperty(id, value);
    }
    case kTvNetPropStateRecord:
        if (!value) return OM_E_FAIL;
        remote_update(*reinterpret_cast<const TvPlaneStateRecord*>(value));
        return OM_S_OK;
    case kTvNetPropClient: {
        auto* client = reinterpret_cast<IOmAerovantClient*>(value);
        if (client) client->AddRef();
        if (network_client) network_client->Release();
        network_client = client;
        return OM_S_OK;
    }
    case kTvNetPropAim:
        if (!value) return OM_E_FAIL;
        std::memcpy(&aim, reinterpret_cast<const void*>(value), sizeof aim);
        guns_firing = 1;
        return OM_S_OK;
    case kTvNetPropInterval: update_interval = static_cast<int32_t>(value); return OM_S_OK;
    case kTvNetPropSlot: slot_value = static_cast<int32_t>(value); return OM_S_OK;
    default: return TavrinAIPlane::SetProperty(id, value);
    }
}

OmResult TavrinNetPlane::GetProperty(uint32_t id, uintptr_t* out) {
    if (!out) return OM_E_FAIL;
    switch (id) {
    case kTvNetPropStateRecord:
        report = TvPlaneStateRecord{};
        report.size = TV_PLANE_STATE_SIZE;
        report.type = TV_PLANE_STATE_TYPE;
        if (matrix) {
            std::memcpy(report.position, &matrix->pos, sizeof report.position);
            std::memcpy(report.direction, &matrix->at, sizeof report.direction);
        }
        report.speed = bank;
        report.throttle = throttle;
        report.flag = guns_firing ? 1u : 0u;
        report.value = static_cast<uint32_t>(serial) & 15u;
        serial = (static_cast<int32_t>(report.value) + 1) & 15;
        *out = reinterpret_cast<uintptr_t>(&report);
        return OM_S_OK;
    case kTvNetPropClient: *out = reinterpret_cast<uintptr_t>(network_client); return OM_S_OK;
    case kTvNetPropFrame:
        if (!matrix) return OM_E_FAIL;
        *out = reinterpret_cast<uintptr_t>(matrix);
        return OM_S_OK;
    case kTvNetPropAim: *out = reinterpret_cast<uintptr_t>(&aim); return OM_S_OK;
    case kTvNetPropInterval: *out = static_cast<uint32_t>(update_interval); return OM_S_OK;
    case kTvNetPropSlot: *out = static_cast<uint32_t>(slot_value); return OM_S_OK;
    default: return TavrinAIPlane::GetProperty(id, out);
    }
}

void TavrinNetPlane::set_curve(LgVector from, LgVector to, LgVector start, LgVector end) {
    curve[0] = from;
    curve[3] = to;
    start_heading = start;
    end_heading = end;
    const float d = length(sub(to, from));
    curve[1] = add(from, scale(start, kControlFraction * d));
    curve[2] = sub(to, scale(end, kControlFraction * d));
}

void TavrinNetPlane::remote_update(const TvPlaneStateRecord& r) {
    if (!matrix) return;
    const int32_t incoming = static_cast<int32_t>(r.value & 15u);
    int32_t gap = 1;
    if (serial >= 0 && serial <= 15) {
        if (incoming == serial) return;
        gap = (incoming - serial) & 15;
    }
    if (gap > 1) {
        matrix->right = target_orientation.right;
        matrix->up = target_orientation.up;
        matrix->at = target_orientation.at;
        LgMatrixMarkChanged(matrix);
    }
    record_gap = gap;
    serial = incoming;
    bank = r.speed;
    throttle = r.throttle;
    guns_firing = r.flag ? 1 : 0;
    if (state != kTvPlaneOffMap) {
        state = kTvPlaneTaxiing;
        turn_rate = 0.0f;
        parameter_rate = 0.0f;
    }
    const LgVector position = {r.position[0], r.position[1], r.position[2]};
    const LgVector heading = {r.direction[0], r.direction[1], r.direction[2]};
    if (snap_pending) {
        matrix->pos = position;
        snap_pending = 0;
    }
    last_record_time = platform::timeGetTime();

    LgVector end_heading_unit = heading;
    unit(heading, &end_heading_unit);
    set_curve(matrix->pos, position, matrix->at, end_heading_unit);

    // The record's orientation; a vertical or zero heading keeps the previous right row.
    LgVector right, up, at;
    if (look_rows(heading, target_orientation.right, &right, &up, &at)) {
        LgMatrix target{};
        LgMatrixSetIdentity(&target);
        target.right = right;
        target.up = up;
        target.at = at;
        LgMatrixMarkChanged(&target);
        LgMatrixRotate(&target, &at, bank, LgCombinePostConcat);
        target.pos = {0.0f, 0.0f, 0.0f};
        target_orientation = target;
    }

    // The rotation from the present orientation to the record's, and its axis and angle.
    LgMatrix current = rotation_of(*matrix);
    LgMatrix inverse{};
    LgMatrixInvert(&inverse, &current);
    const LgMatrix target = rotation_of(target_orientation);
    LgMatrixMultiply(&segment_rotation, &inverse, &target);
    segment_rotation.pos = {0.0f, 0.0f, 0.0f};
    float angle = 0.0f;
    LgVector axis = turn_axis, centre{};
    LgMatrixQueryRotate(&segment_rotation, &axis, &angle, &centre);
    if (std::isfinite(angle) && unit(axis, &axis)) {
        turn_axis = axis;
    } else {
        angle = 0.0f;
    }

    curve_t = 0.0f;
    parameter_rate = 1.0f;
    extrapolation_count = 0;
    // The segment lasts the interval for every record it stands for; no interval: one second.
    const int64_t duration =
        update_interval > 0 ? int64_t(update_interval) * int64_t(record_gap) : int64_t(1000);
    turn_rate = static_cast<float>(double(angle) * 1000.0 / double(duration));
    parameter_rate = static_cast<float>(1000.0 / double(duration));
}

void TavrinNetPlane::copy_to_model() {
    LgMatrix tidy{};
    LgMatrixOrthoNormalize(&tidy, matrix);
    *matrix = tidy;
    if (model_matrix && model_matrix != matrix) {
        *model_matrix = *matrix;
        LgMatrixMarkChanged(model_matrix);
        if (model_frame) LgFrameMarkDirty(model_frame);
    }
    if (frame) LgFrameMarkDirty(frame);
}

void TavrinNetPlane::follow_curve(float dt) {
    // The turn about the plane's own position.
    const LgVector here = matrix->pos;
    matrix->pos = {0.0f, 0.0f, 0.0f};
    LgMatrixRotate(matrix, &turn_axis, turn_rate * dt, LgCombinePostConcat);
    matrix->pos = here;

    curve_t += parameter_rate * dt;
    if (curve_t > 1.0f) {
        // On past the reported position: the same turn again from here.
        const LgVector old_start = curve[0];
        const LgVector run = rotate(segment_rotation, sub(here, old_start));
        LgVector end = rotate(segment_rotation, matrix->at);
        unit(end, &end);
        set_curve(here, add(here, run), matrix->at, end);
        curve_t -= 1.0f;
        ++extrapolation_count;
        // One segment is added a frame: a frame longer than that (a short interval from the
        // network, a long frame) ends at the new segment's end instead of running the cubic
        // far past it, where it grows with t^3 and the next segment with it.
        if (curve_t > 1.0f) curve_t = 1.0f;
    }
    const LgVector next = TvBezierPoint(curve, curve_t);
    if (within_world(next)) {
        matrix->pos = next;
    } else {
        // Records never lie beyond the network's range: a curve that leads out of it (runs
        // on past the last record, turned outward) stops here until the next record.
        for (LgVector& point : curve) point = here;
        curve_t = 0.0f;
        parameter_rate = 0.0f;
    }
    if (extrapolation_count > 0) parameter_rate *= kExtrapolationDecay;
    copy_to_model();
}

OmResult TavrinNetPlane::Update() {
    const int32_t fatal_before = fatal_event;
    const OmResult r = TavrinAIPlane::Update();
    if (fatal_event != 0 && fatal_event != fatal_before) {
        if (ITvClientGame* client = TvQueryClientGame(game)) {
            client->DeductKill(client->GetLocalSlot());
            client->Release();
        }
    }
    if (!matrix) return r;
    if (flags & kTvFlagNetworkDriven) {
        if (platform::timeGetTime() - last_record_time > kTvNetRecordTimeoutMs) {
            snap_pending = 1;
            matrix->pos = {0.0f, 0.0f, 0.0f};
            for (LgVector& point : curve) point = matrix->pos;
            parameter_rate = turn_rate = 0.0f;
            copy_to_model();
            return r;
        }
        follow_curve(tvplane::frame_time(*this));
        return r;
    }
    if (state == kTvPlaneCrashed) {
        matrix->pos.y = 0.0f;
        LgMatrixMarkChanged(matrix);
    }
    if (model_frame) LgFrameMarkDirty(model_frame);
    return r;
}

OmResult TavrinNetPlane::Render() {
    if (state == kTvPlaneOffMap) return OM_S_OK;
    return TavrinAIPlane::Render();
}

int32_t TavrinNetPlane::IsDead() {
    return state == kTvPlaneCrashed ? 1 : 0;
}

OmResult TavrinNetPlane::TvPlaneRespawn() {
    ordinance_type = -1;
    ordinance_count = 0;
    return TavrinAIPlane::TvPlaneRespawn();
}

OmResult TavrinNetPlane::TvPlanePickup(int32_t kind, int32_t object_id) {
    const OmResult r = TavrinAIPlane::TvPlanePickup(kind, object_id);
    if (r == OM_S_OK && network_client) {
        // The others' games look the crate up by its id and start its re-arm timer.
        IBinaryStreamComposer* packet = network_client->NewPacket();
        TvToServerPickup m;
        m.object = static_cast<uint32_t>(object_id);
        send(packet, TvEncode(packet, m), static_cast<uint16_t>(TvToServerPickup::type),
             TvToServerPickup::flags);
    }
    return r;
}

void TavrinNetPlane::send(IBinaryStreamComposer* packet, OmResult encoded, uint16_t type,
                          uint16_t flags_to_send) {
    if (!packet) return;
    if (encoded < 0) {
        packet->Release();
        return;
    }
    network_client->Send(packet, type, flags_to_send);
}

OmResult TavrinNetPlane::TvPlaneFire(int32_t kind) {
    if (kind != kTvFireGuns && kind != kTvFireOrdinance) return TavrinAIPlane::TvPlaneFire(kind);
    if (state == kTvPlaneOffMap) return OM_S_OK;
    return kind == kTvFireGuns ? fire_guns() : fire_ordinance();
}

OmResult TavrinNetPlane::fire_guns() {
    const int32_t rounds = tvplane::gun_rounds({*this, *this});
    if (rounds <= 0 || !matrix) return OM_S_OK;
    ITvClientGame* client = TvQueryClientGame(game);
    if (!client) return OM_S_OK;
    const int32_t slots = client->GetPlayerSlotCount();
    const int32_t local = client->GetLocalSlot();
    int32_t own = -1;
    for (int32_t s = 0; s < slots && own < 0; ++s)
        if (client->GetPlayerPlane(s) == static_cast<ITvObject*>(self)) own = s;
    ITvObject* weapons_object = game ? game->GetWeapons() : nullptr;
    ITvWeapon* weapon = nullptr;
    if (weapons_object)
        weapons_object->QueryInterface(IID_ITvWeapon, reinterpret_cast<void**>(&weapon));
    if (own >= 0 && own == local) {
        for (int32_t i = 0; i < rounds; ++i) {
            if (weapon) weapon->Launch(kTvOrdnanceGun, matrix, &velocity, self);
            ++shots_fired;
        }
        const uint32_t now = platform::timeGetTime();
        if (network_client && int32_t(now - next_gun_report) >= 0) {
            TvToServerAim m;
            m.slot = static_cast<uint32_t>(own);
            for (int32_t s = 0; s < slots && s < 8; ++s) {
                const LgMatrix* other = s == own ? nullptr : matrix_of(player_plane(client, s));
                TvAimEntry e;
                e.slot = static_cast<uint32_t>(s);
                LgVector rel;
                if (!other || !TvRelativeAim(*matrix, *other, &rel)) continue;
                std::memcpy(e.direction, &rel, sizeof e.direction);
                m.entries.push_back(e);
            }
            if (!m.entries.empty() && m.entries.size() < 8) {
                IBinaryStreamComposer* packet = network_client->NewPacket();
                send(packet, TvEncode(packet, m), static_cast<uint16_t>(TvToServerAim::type),
                     TvToServerAim::flags);
                next_gun_report = now + kTvNetGunReportMs;
            }
        }
    } else if (own >= 0) {
        const LgMatrix* receiver = matrix_of(player_plane(client, local));
        LgVector at;
        if (receiver && TvAimFromRelative(*matrix, *receiver, aim, &at)) {
            LgMatrix launch = *matrix;
            LgVector right, up, heading;
            if (look_rows(at, matrix->right, &right, &up, &heading)) {
                launch.right = right;
                launch.up = up;
                launch.at = heading;
                LgMatrixMarkChanged(&launch);
            }
            for (int32_t i = 0; i < rounds; ++i)
                if (weapon) weapon->Launch(kTvOrdnanceGun, &launch, &velocity, self);
        }
    }
    if (weapon) weapon->Release();
    client->Release();
    return OM_S_OK;
}

OmResult TavrinNetPlane::fire_ordinance() {
    if (!matrix || !(secondary_timer > kOrdnanceGap) || ordinance_count <= 0) return OM_S_OK;
    ITvObject* weapons_object = game ? game->GetWeapons() : nullptr;
    ITvWeapon* weapon = nullptr;
    if (weapons_object)
        weapons_object->QueryInterface(IID_ITvWeapon, reinterpret_cast<void**>(&weapon));
    if (network_client &&
        (ordinance_type == kTvOrdnanceBomb || ordinance_type == kTvOrdnanceRocket)) {
        TvToServerRemoteFire m;
        m.kind = static_cast<uint8_t>(ordinance_type);
        std::memcpy(m.position, &matrix->pos, sizeof m.position);
        std::memcpy(m.heading, &matrix->at, sizeof m.heading);
        const float plane_speed = length(velocity);
        LgVector direction{};
        unit(velocity, &direction);
        std::memcpy(m.velocity, &direction, sizeof m.velocity);
        m.speed = plane_speed;
        float launch_speed = 0.0f;
        if (weapon && weapon->GetOrdinanceTable())
            launch_speed = weapon->GetOrdinanceTable()[ordinance_type].release_speed;
        if (ITvClientGame* client = TvQueryClientGame(game)) {
            const int32_t slots = client->GetPlayerSlotCount();
            for (int32_t s = 0; s < slots && s < 8 && m.entries.size() < 7; ++s) {
                ITvObject* plane = player_plane(client, s);
                const LgMatrix* other =
                    plane == static_cast<ITvObject*>(self) ? nullptr : matrix_of(plane);
                if (!other) continue;
                TvFireEntry e;
                e.slot = static_cast<uint32_t>(s);
                if (ordinance_type == kTvOrdnanceRocket) {
                    LgVector rel;
                    if (!TvRelativeAim(*matrix, *other, &rel)) continue;
                    std::memcpy(e.aim, &rel, sizeof e.aim);
                } else {
                    float t = 0.0f;
                    LgVector point;
                    if (!TvPredictReleaseImpact(*matrix, velocity, launch_speed, other->pos,
                                                kWorldUp, &t, &point) ||
                        !(t > 0.0f))
                        continue;
                    const LgVector offset = sub(point, other->pos);
                    std::memcpy(e.offset, &offset, sizeof e.offset);
                    e.flightTime = t;
                }
                m.entries.push_back(e);
            }
            client->Release();
        }
        IBinaryStreamComposer* packet = network_client->NewPacket();
        send(packet, TvEncode(packet, m), static_cast<uint16_t>(TvToServerRemoteFire::type),
             TvToServerRemoteFire::flags);
    }
    if (weapon) {
        weapon->Launch(ordinance_type, matrix, &velocity, self);
        weapon->Release();
    }
    secondary_timer = 0.0f;
    --ordinance_count;
    TvPlaySoundAt(ordinance_type == kTvOrdnanceRocket ? rocket_sound_name : bomb_sound_name, matrix,
                  &velocity);
    return OM_S_OK;
}

OmResult TvNetPlanePreSend(uintptr_t context, IPacketQueue*) {
    auto* plane = reinterpret_cast<TavrinNetPlane*>(context);
    if (!plane || !plane->game) return OM_E_FAIL;
    return plane->game->SendObjectUpdate(plane, 0);
}

bool TvFrameLookAt(LgMatrix* frame, const LgMatrix* from, const LgMatrix* to) {
    if (!frame || !from || !to) return false;
    LgVector right, up, at;
    if (!look_rows(sub(to->pos, from->pos), frame->right, &right, &up, &at)) return false;
    frame->right = right;
    frame->up = up;
    frame->at = at;
    frame->pos = from->pos;
    LgMatrixMarkChanged(frame);
    return true;
}

bool TvRelativeAim(const LgMatrix& shooter, const LgMatrix& other, LgVector* out) {
    LgMatrix look = shooter;
    if (!out || !TvFrameLookAt(&look, &shooter, &other)) return false;
    // The inverse of an orthonormal frame's rotation is its transpose.
    *out = {dot(shooter.at, look.right), dot(shooter.at, look.up), dot(shooter.at, look.at)};
    return true;
}

bool TvAimFromRelative(const LgMatrix& shooter, const LgMatrix& receiver, LgVector relative,
                       LgVector* out) {
    LgMatrix look = shooter;
    if (!out || !TvFrameLookAt(&look, &shooter, &receiver)) return false;
    *out = add(add(scale(look.right, relative.x), scale(look.up, relative.y)),
               scale(look.at, relative.z));
    return true;
}

bool TvPredictReleaseImpact(const LgMatrix& shooter, const LgVector& velocity, float launch_speed,
                            const LgVector& target, const LgVector& normal, float* time,
                            LgVector* point) {
    const LgVector v0 = add(scale(shooter.at, launch_speed), velocity);
    const LgVector start = shooter.pos;
    // n . (start + v0 t + g t^2 / 2 - target) = 0 with g = (0, -60, 0).
    const float a = -0.5f * kGravity * normal.y;
    const float b = dot(normal, v0);
    const float c = dot(normal, sub(start, target));
    float t = -1.0f;
    if (std::fabs(a) < kTiny) {
        if (std::fabs(b) < kTiny) return false;
        t = -c / b;
    } else {
        const float disc = b * b - 4.0f * a * c;
        if (disc < 0.0f) return false;
        const float root = std::sqrt(disc);
        float t1 = (-b - root) / (2.0f * a), t2 = (-b + root) / (2.0f * a);
        if (t1 > t2) std::swap(t1, t2);
        t = t1 >= 0.0f ? t1 : t2;
    }
    if (!(t >= 0.0f) || !std::isfinite(t)) return false;
    if (time) *time = t;
    if (point)
        *point = add(add(start, scale(v0, t)), LgVector{0.0f, -0.5f * kGravity * t * t, 0.0f});
    return true;
}

LgVector TvBezierPoint(const LgVector curve[4], float t) {
    const float u = 1.0f - t;
    const float w0 = u * u * u, w1 = 3.0f * t * u * u, w2 = 3.0f * t * t * u, w3 = t * t * t;
    return add(add(scale(curve[0], w0), scale(curve[1], w1)),
               add(scale(curve[2], w2), scale(curve[3], w3)));
}
