// TavrinClientGame: the received messages turned into changes of the world (players joining
// and leaving, plane states, status changes, respawns, damage, kills, plane and side changes,
// aims, echoes, pickups, the match's end) and the replay of another player's ordnance.
#include "engine/core/lg_matrix.h"
#include "framework/platform/timer.h"
#include "game/rules/tavrin_client_game.h"
#include "game/rules/tavrin_net_plane.h"
#include "game/world/tavrin_ground_object.h"
#include "game/world/tv_effects.h"
#include "game/world/tv_plane.h"
#include "game/world/tv_weapon.h"
#include "net/messages/game_messages.h"
#include "net/messages/time_sync.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace {

constexpr float kGravityY = -60.0f;
constexpr float kExplosionSizeStep = 1.0f / 197.0f;
constexpr float kTiny = 1e-6f;

uintptr_t property_of(ITvObject* object, uint32_t id) {
    uintptr_t value = 0;
    if (!object || object->GetProperty(id, &value) < 0) return 0;
    return value;
}

const LgMatrix* matrix_of(ITvObject* object) {
    return reinterpret_cast<const LgMatrix*>(property_of(object, kTvPropMatrix));
}

float float_at(ITvObject* object, uint32_t id) {
    const auto* p = reinterpret_cast<const float*>(property_of(object, id));
    return p ? *p : 0.0f;
}

bool finite(const LgVector& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

LgVector vec(const float v[3]) {
    return {v[0], v[1], v[2]};
}

LgVector cross(LgVector a, LgVector b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

bool normalise(LgVector* v) {
    const float l = std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z);
    if (!(l > kTiny) || !std::isfinite(l)) return false;
    *v = {v->x / l, v->y / l, v->z / l};
    return true;
}

} // namespace

// The launch frame of a replayed shot: at along the direction, right = (0, 1, 0) x at, up =
// at x right. A vertical direction has no such right; (1, 0, 0) stands in for it.
LgMatrix TvRemoteFireFrame(LgVector at, LgVector position) {
    LgMatrix m{};
    LgMatrixSetIdentity(&m);
    if (!normalise(&at)) at = {0.0f, 0.0f, 1.0f};
    LgVector right = cross({0.0f, 1.0f, 0.0f}, at);
    if (!normalise(&right)) right = {1.0f, 0.0f, 0.0f};
    m.right = right;
    m.at = at;
    m.up = cross(at, right);
    m.pos = position;
    LgMatrixMarkChanged(&m);
    return m;
}

OmResult TavrinClientGame::HandleMessage(IBinaryStreamComposer* packet, uint16_t type, uint16_t) {
    if (!packet) return OM_E_FAIL;
    const int32_t local = GetLocalSlot();
    switch (static_cast<TvMessage>(type)) {
    case TvMessage::PlayerJoined: {
        const auto m = TvDecodeToClientPlayerJoined(packet);
        if (!m) return OM_E_FAIL;
        on_player_joined(m->info, m->slot);
        return OM_S_OK;
    }
    case TvMessage::KillTaken: {
        const auto m = TvDecodeToClientKillTaken(packet);
        TvPlayerInfo* r = m ? record(static_cast<int32_t>(m->slot)) : nullptr;
        if (!r) return OM_E_FAIL;
        --r->kills;
        return OM_S_OK;
    }
    case TvMessage::Respawn: {
        const auto m = TvDecodeToClientRespawn(packet);
        if (!m) return OM_E_FAIL;
        on_respawn(m->matrix.m, m->slot);
        return OM_S_OK;
    }
    case TvMessage::PlaneStates: on_plane_states(packet); return OM_S_OK;
    case TvMessage::Status: {
        const auto m = TvDecodeToClientStatus(packet);
        if (!m) return OM_E_FAIL;
        on_status(m->slot, m->status);
        return OM_S_OK;
    }
    case TvMessage::Damage: {
        const auto m = TvDecodeToClientDamage(packet);
        ITvObject* target = m ? GetObjectById(static_cast<int32_t>(m->target)) : nullptr;
        if (!target) return OM_E_FAIL;
        // The server's total becomes the target's damage; the step is what it adds.
        const float step = m->damage - float_at(target, kTvPropDamage);
        target->SetDamage(std::bit_cast<uint32_t>(step), m->damage, m->attacker);
        return OM_S_OK;
    }
    case TvMessage::DamageStates: {
        const auto m = TvDecodeToClientDamageStates(packet);
        if (!m) return OM_E_FAIL;
        for (uint32_t id = 0; id < TV_DAMAGE_STATE_OBJECTS; ++id) {
            if (m->codes[id] == 0) continue;
            ITvObject* object = GetObjectById(static_cast<int32_t>(id));
            if (!object) continue;
            if (m->codes[id] == 1)
                object->AddDamage(float_at(object, kTvPropEndurance), 0);
            else
                object->AddDamage(static_cast<float>(m->damage[id]) * 0.0625f, 0);
        }
        return OM_S_OK;
    }
    case TvMessage::PlaneChange: {
        const auto m = TvDecodeToClientPlaneChange(packet);
        TvPlayerInfo* r = m ? record(static_cast<int32_t>(m->slot)) : nullptr;
        ITvObject* plane = m ? player_plane(static_cast<int32_t>(m->slot)) : nullptr;
        if (!r || !plane || !mission_) return OM_E_FAIL;
        // An unknown plane type changes nothing, the record included.
        if (mission_->ChangePlaneType(plane, m->planeId) < 0) return OM_E_FAIL;
        std::memcpy(r->planeId, m->planeId, sizeof r->planeId);
        r->planeId[sizeof r->planeId - 1] = '\0';
        return OM_S_OK;
    }
    case TvMessage::SideChange: {
        const auto m = TvDecodeToClientSideChange(packet);
        TvPlayerInfo* r = m ? record(static_cast<int32_t>(m->slot)) : nullptr;
        ITvObject* plane = m ? player_plane(static_cast<int32_t>(m->slot)) : nullptr;
        if (!r || !plane) return OM_E_FAIL;
        const uint32_t side_flags =
            m->side == TV_SIDE_ALLIED ? TV_SIDE_FLAGS_ALLIED : TV_SIDE_FLAGS_CENTRAL;
        r->sideFlags = side_flags;
        const auto current = static_cast<uint32_t>(property_of(plane, kTvPropGroupMask));
        const int32_t from = (current & (1u << kTvGroupSideA)) ? kTvGroupSideA : kTvGroupSideB;
        MoveObjectToGroup(plane, from, m->side);
        plane->SetProperty(kTvPropGroupMask, side_flags);
        return OM_S_OK;
    }
    case TvMessage::KillScored: {
        const auto m = TvDecodeToClientKillScored(packet);
        TvPlayerInfo* r = m ? record(static_cast<int32_t>(m->slot)) : nullptr;
        if (!r) return OM_E_FAIL;
        r->kills = m->kills;
        // The victim takes its end only when it is a live player's plane.
        ITvObject* victim = GetObjectById(static_cast<int32_t>(m->victim));
        bool player = false;
        for (int32_t s = 0; victim && s < player_slot_count_ && !player; ++s)
            player = player_plane(s) == victim;
        if (!player) return OM_S_OK;
        ITvObject* scorer = player_plane(static_cast<int32_t>(m->slot));
        victim->AddDamage(float_at(victim, kTvPropEndurance) + 1.0f,
                          static_cast<int32_t>(property_of(scorer, kTvPropId)));
        return OM_S_OK;
    }
    case TvMessage::PlayerLeft: {
        const auto m = TvDecodeToClientPlayerLeft(packet);
        if (!m) return OM_E_FAIL;
        on_player_left(m->slot);
        return OM_S_OK;
    }
    case TvMessage::MatchFinished: {
        const auto m = TvDecodeToClientMatchFinished(packet);
        if (!m) return OM_E_FAIL;
        outcome_ = kTvOutcomeFinished + static_cast<int32_t>(m->winner);
        for (std::string& line : chat_lines_) line.clear();
        return OM_S_OK;
    }
    case TvMessage::ClockCorrection: {
        const auto m = TvDecodeToClientClockCorrection(packet);
        if (!m) return OM_E_FAIL;
        const uint32_t now = settings_ && settings_->timer
                                 ? static_cast<uint32_t>(settings_->timer->GetTotalMs())
                                 : static_cast<uint32_t>(clock_);
        clock_offsets_[1] = TvCorrectClock(m->time, now, clock_offsets_[0], clock_offsets_[1]);
        return OM_S_OK;
    }
    case TvMessage::RemoteFire: on_remote_fire(packet); return OM_S_OK;
    case TvMessage::Chat: {
        const auto m = TvDecodeToClientChat(packet);
        if (!m) return OM_E_FAIL;
        on_chat_received(m->text);
        return OM_S_OK;
    }
    case TvMessage::Aim: {
        const auto m = TvDecodeToClientAim(packet);
        // The local plane fires from its own controls, never from someone's report.
        if (!m || static_cast<int32_t>(m->slot) == local) return OM_E_FAIL;
        ITvObject* plane = player_plane(static_cast<int32_t>(m->slot));
        if (!plane) return OM_E_FAIL;
        plane->SetProperty(kTvNetPropAim, reinterpret_cast<uintptr_t>(m->direction));
        return OM_S_OK;
    }
    case TvMessage::Echo: {
        const auto m = TvDecodeToClientEcho(packet);
        if (!m || !GetObjectById(m->idA)) return OM_E_FAIL;
        TvToServerEcho echo;
        echo.idA = m->idA;
        echo.idB = m->idB;
        echo.value = m->value;
        return send(echo);
    }
    case TvMessage::Disconnected:
        if (!TvDecodeToClientDisconnected(packet)) return OM_E_FAIL;
        outcome_ = kTvOutcomeDisconnected;
        return OM_S_OK;
    case TvMessage::Pickup: {
        const auto m = TvDecodeToClientPickup(packet);
        ITvObject* object = m ? GetObjectById(static_cast<int32_t>(m->object)) : nullptr;
        TavrinGroundObject* ground = object ? TavrinGroundObject::from(object) : nullptr;
        // A placed crate is a pickup through its kind (its own pickup field stays empty).
        const TavrinGroundObject* kind = ground ? ground->archetype() : nullptr;
        if (!kind || kind->pickup_type == kTvPickupNone) return OM_E_FAIL;
        TvStartPickupRespawn(object);
        return OM_S_OK;
    }
    case TvMessage::FinishedNoVote: {
        const auto m = TvDecodeToClientFinishedNoVote(packet);
        if (!m) return OM_E_FAIL;
        outcome_ = kTvOutcomeFinishedNoVote + static_cast<int32_t>(m->slot);
        return OM_S_OK;
    }
    default: return OM_E_FAIL;
    }
}

void TavrinClientGame::on_player_joined(const TvPlayerInfo& info, uint32_t slot) {
    const auto s = static_cast<int32_t>(slot);
    // The local slot is ours, an occupied slot someone's already.
    if (s == GetLocalSlot() || record(s) || player_plane(s)) return;
    ITvObject* plane = nullptr;
    if (CreatePlayerPlane(&info, s, 0, &plane) < 0) return;
    AddPlayer(plane, 0, &info, s);
    plane->Release();
}

void TavrinClientGame::on_player_left(uint32_t slot) {
    const auto s = static_cast<int32_t>(slot);
    if (s == GetLocalSlot()) return;
    remove_player(s);
}

void TavrinClientGame::on_plane_states(IBinaryStreamComposer* packet) {
    const auto m = TvDecodeToClientPlaneStates(packet);
    if (!m) return;
    const int32_t local = GetLocalSlot();
    for (const TvPlaneStateEntry& e : m->entries) {
        const auto slot = static_cast<int32_t>(e.state.slot);
        // Our own plane flies by its controls; a report of it would set it taxiing.
        if (slot == local || !record(slot)) continue;
        ITvObject* plane = player_plane(slot);
        if (!plane) continue;
        TvPlaneStateRecord state = e.state;
        plane->SetProperty(kTvNetPropStateRecord, reinterpret_cast<uintptr_t>(&state));
        const float fraction = static_cast<float>(e.fraction) / 255.0f;
        plane->SetProperty(kTvPlanePropThrottle, reinterpret_cast<uintptr_t>(&fraction));
        plane->SetProperty(kTvNetPropInterval, e.time);
        plane->SetProperty(kTvNetPropSlot, static_cast<uintptr_t>(slot));
    }
}

void TavrinClientGame::on_status(uint32_t slot, int32_t status) {
    const auto s = static_cast<int32_t>(slot);
    TvPlayerInfo* r = record(s);
    ITvObject* plane = player_plane(s);
    if (!r || !plane || r->status == status) return;
    plane->SetProperty(kTvPlanePropState, static_cast<uintptr_t>(status));
    r->status = status;
    if (status == kTvPlaneCrashing || status == kTvPlaneCrashed) {
        if (const LgMatrix* m = matrix_of(plane)) {
            const float v = float_at(plane, kTvPropEndurance);
            TvSpawnExplosion(&m->pos, 1.0f + (v - 1.0f) * kExplosionSizeStep, 0);
        }
    }
    SyncPlayerPlanes();
}

bool TvNetPositionFits(const float matrix[16]) {
    for (int i = 12; i < 15; ++i)
        if (!(std::fabs(matrix[i]) <= kTvNetPositionLimit)) return false;
    return true;
}

void TavrinClientGame::on_respawn(const float* words, uint32_t slot) {
    const auto s = static_cast<int32_t>(slot);
    ITvObject* plane = player_plane(s);
    // A place beyond the world's range would carry the plane's flight out of all numbers.
    if (!plane || !record(s) || !TvNetPositionFits(words)) return;
    float matrix[16];
    std::memcpy(matrix, words, sizeof matrix);
    plane->SetProperty(kTvPropMatrix, reinterpret_cast<uintptr_t>(matrix));
    ITvPlane* net = nullptr;
    if (plane->QueryInterface(IID_ITvNetPlane, reinterpret_cast<void**>(&net)) >= 0 && net) {
        // Back on the ground as new: the respawn puts the plane taxiing.
        net->TvPlaneRespawn();
        net->Release();
    }
    if (property_of(plane, kTvPlanePropState) != kTvPlaneTaxiing)
        plane->SetProperty(kTvPlanePropState, kTvPlaneTaxiing);
    if (s == GetLocalSlot()) record(s)->status = kTvPlaneTaxiing;
}

void TavrinClientGame::on_remote_fire(IBinaryStreamComposer* packet) {
    const auto m = TvDecodeToClientRemoteFire(packet);
    if (!m) return;
    const int32_t local_slot = GetLocalSlot();
    ITvObject* local = player_plane(local_slot);
    ITvObject* shooter = GetObjectById(static_cast<int32_t>(m->shooter));
    if (!local || !shooter || shooter == local) return;
    // Only another player's plane fires through the network.
    bool player = false;
    for (int32_t s = 0; s < player_slot_count_ && !player; ++s)
        player = s != local_slot && player_plane(s) == shooter;
    if (!player || (property_of(shooter, kTvPropFlags) & kTvFlagNetworkDriven) == 0) return;
    const LgMatrix* from = matrix_of(shooter);
    const LgMatrix* to = matrix_of(local);
    ITvWeapon* weapon = nullptr;
    if (!from || !to || !weapons_ ||
        weapons_->QueryInterface(IID_ITvWeapon, reinterpret_cast<void**>(&weapon)) < 0 || !weapon)
        return;
    const LgVector position = from->pos;
    LgVector direction{};
    LgVector velocity{};
    bool ready = false;
    if (m->kind == TV_FIRE_GUN) {
        ready = TvAimFromRelative(*from, *to, vec(m->aim), &direction);
        velocity = {m->directionB[0] * m->speed, m->directionB[1] * m->speed,
                    m->directionB[2] * m->speed};
    } else if (m->kind == TV_FIRE_RELEASE) {
        const TvOrdinance* table = weapon->GetOrdinanceTable();
        const float s = table ? table[m->kind].release_speed : 0.0f;
        const float t = m->flightTime;
        direction = from->at;
        // The start point the shot is thought to have left from, so that it reaches the
        // receiver's plane (plus the sender's offset) after t seconds.
        const float drop = kGravityY * t * (t - 1.0f) * 0.5f;
        const LgVector p = {position.x - t * s * direction.x,
                            position.y - (t * s * direction.y - drop),
                            position.z - t * s * direction.z};
        const LgVector aim = {to->pos.x + m->offset[0], to->pos.y + m->offset[1],
                              to->pos.z + m->offset[2]};
        velocity = {(aim.x - p.x) / t, (aim.y - p.y) / t, (aim.z - p.z) / t};
        ready = t > 0.0f;
    }
    // A flight time or offset that leaves the shot no finite start or velocity (a time of a
    // denormal's size, one beyond any flight) is no shot.
    if (ready && !(finite(position) && finite(direction) && finite(velocity))) ready = false;
    if (ready) {
        const LgMatrix launch = TvRemoteFireFrame(direction, position);
        weapon->Launch(m->kind, &launch, &velocity, shooter);
    }
    weapon->Release();
}
