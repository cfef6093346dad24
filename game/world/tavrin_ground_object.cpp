// The ground object: creation from its archetype, placement on the ground, damage with model
// stages, the explosion and the hit report, debris and shrapnel at a model change, pickups,
// the crate and shadow drawing, and the in-mission editor's pick and move.
#include "game/world/tavrin_ground_object.h"

#include "engine/world/lg_clump.h"
#include "engine/world/lg_collision.h"
#include "engine/world/lg_geometry.h"
#include "engine/world/lg_random.h"
#include "engine/world/lg_world_tie.h"
#include "game/rules/tavrin_game.h"
#include "game/rules/tv_game.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_effects.h"
#include "game/world/tv_plane.h"
#include "game/world/tv_shadows.h"
#include "platform/clock.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// The pickup crate is shared by every ground object: each loaded kind and each placed
// object holds one use of it, and the last use to go frees it. (Freeing it whenever any one
// object was destroyed left the pickups of a restarted mission without their crate, since a
// restart places objects from the kept kinds and loads nothing.)
void TvGroundHoldPickupCrate();
void TvGroundReleasePickupCrate();

int32_t TvGroundShadowLevel = 1;

float TvGroundShadowLimit(int32_t level) {
    if (level <= 0) return 0.0f;
    const float reach = 300.0f * float(std::min(level, 3));
    return reach * reach;
}

namespace {

// Explosion size: 1 at endurance 3, 2 at endurance 200.
constexpr float kExplosionSizeSlope = 0.005076142f;
// Group-mask bits of objects that report hits to their attacker (and flash when struck).
constexpr uint32_t kFlashGroup = 0x80;
constexpr uint32_t kReportGroups = 0xC0;
constexpr uint32_t kEventHit = 0x101;
constexpr float kCrateLift = 10.0f;
constexpr LgVector kShadowOffset{10.0f, 25.0f, 0.0f};
constexpr float kShadowDepth = 50.0f;
constexpr float kShadowOpacity = 0.4f;
// Editor reach: of the object's position and of its turning handle 30 along its right row.
constexpr float kEditorPickReach = 20.0f;
constexpr float kEditorHandleReach = 10.0f;
constexpr float kEditorHandleOffset = 30.0f;

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
LgVector cross(LgVector a, LgVector b) {
    LgVector out;
    LgVectorCrossProduct(&out, &a, &b);
    return out;
}

void remove_and_destroy(LgClump*& clump) {
    if (!clump) return;
    if (LgWorld* world = LgClumpGetWorld(clump)) LgWorldRemoveClump(world, clump);
    LgClumpDestroy(clump);
    clump = nullptr;
}

float random_spread() {
    return float(LgRandom() & 1023) * 0.0390625f - 20.0f;
}

struct Debris {
    ITvGame* game;
};

LgAtomic* throw_debris(LgAtomic* atomic, void* data) {
    ITvGame* game = static_cast<Debris*>(data)->game;
    const LgGeometry* g = atomic->geometry;
    if (!g || g->numMorphTargets < 1) return atomic;
    const LgVector* verts = LgGeometryGetMorphTarget(g, 0)->verts;
    LgFrame* frame = LgAtomicGetFrame(atomic);
    if (!verts || !frame) return atomic;
    const LgMatrix* world = LgFrameGetWorldMatrix(frame);
    for (int32_t i = 0; i < g->numVertices; i += 3) {
        TvDriftParticle d{};
        LgVectorTransformPoints(&d.head.position, &verts[i], 1, world);
        d.velocity = {random_spread(), 15.0f, random_spread()};
        d.head.size = 4.0f;
        d.growth = 4.0f;
        d.red = d.green = d.blue = 0.9f;
        d.alpha = 0.7f;
        d.red_rate = d.green_rate = d.blue_rate = -0.1f;
        d.alpha_rate = -0.3f;
        d.head.colour = {230, 230, 230, 179};
        game->EmitParticles(kTvParticleSmoke, &d);
    }
    return atomic;
}

struct MainAtomic {
    LgFrame* root;
    LgAtomic* first;
    LgAtomic* on_root;
};

LgAtomic* find_main_atomic(LgAtomic* atomic, void* data) {
    auto* m = static_cast<MainAtomic*>(data);
    if (!m->first) m->first = atomic;
    if (!m->on_root && LgAtomicGetFrame(atomic) == m->root) m->on_root = atomic;
    return atomic;
}

LgAtomic* main_atomic(LgClump* clump) {
    MainAtomic m{LgClumpGetFrame(clump), nullptr, nullptr};
    LgClumpForAllAtomics(clump, find_main_atomic, &m);
    return m.on_root ? m.on_root : m.first;
}

// The world-triangle walk of the placement: the highest hit above the current height.
struct Placement {
    LgMatrix* matrix;
    const LgLine* line;
};

LgCollisionPrimitive* place_on_triangle(LgCollisionPrimitive* primitive, LgAtomicSector*,
                                        LgCollisionTriangle* triangle, float distance, void* data) {
    auto* p = static_cast<Placement*>(data);
    const LgVector hit = add(p->line->start, scale(sub(p->line->end, p->line->start), distance));
    LgMatrix& m = *p->matrix;
    if (!(hit.y > m.pos.y)) return primitive;
    m.up = triangle->normal;
    m.pos = hit;
    LgVector right = cross(m.up, m.at);
    // An at row along the normal keeps the right row it had.
    if (length(right) < 1e-6f) right = m.right;
    m.right = right;
    m.at = cross(m.right, m.up);
    LgMatrixOrthoNormalize(&m, &m);
    return primitive;
}

void pickup_visit(ITvObject* object, void* context) {
    auto* args = static_cast<std::pair<TavrinGroundObject*, uint32_t>*>(context);
    args->first->offer_pickup(object, args->second);
}

bool clock_passed(uint32_t now, uint32_t time) {
    return now >= time;
}

} // namespace

TavrinGroundObject::~TavrinGroundObject() {
    release_crate();
}

void TavrinGroundObject::release_crate() {
    if (!holds_crate_) return;
    holds_crate_ = false;
    TvGroundReleasePickupCrate();
}

TavrinGroundObject* TavrinGroundObject::from(ITvObject* object) {
    if (!object) return nullptr;
    ITvGroundObject* ground = nullptr;
    if (object->QueryInterface(IID_ITvGroundObject, reinterpret_cast<void**>(&ground)) < 0 ||
        !ground)
        return nullptr;
    ground->Release();
    return static_cast<TavrinGroundObject*>(ground);
}

TavrinGroundObject* TavrinGroundObject::archetype() const {
    return descriptor ? from(descriptor->archetype) : nullptr;
}

OmResult TavrinGroundObject::QueryInterface(const GUID& iid, void** out) {
    ITvGroundObject* self_interface = this;
    return om_query_interface(
        iid, out, {{&IID_ITvObject, self_interface}, {&IID_ITvGroundObject, self_interface}});
}

OmResult TavrinGroundObject::Reset() {
    model = nullptr;
    for (LgClump*& m : models) m = nullptr;
    shrapnel = {};
    if (shadow_texture) LgTextureDestroy(shadow_texture);
    shadow_texture = nullptr;
    shadow_scale = 1.0f;
    return TavrinObjectBase<ITvGroundObject>::Reset();
}

OmResult TavrinGroundObject::Unload() {
    if (descriptor) {
        for (LgClump*& m : models)
            if (m == model) m = nullptr;
        remove_and_destroy(model);
    } else {
        for (LgClump*& m : models) {
            if (m == model) model = nullptr;
            remove_and_destroy(m);
        }
        remove_and_destroy(model);
    }
    frame = nullptr;
    matrix = nullptr;
    return TavrinObjectBase<ITvGroundObject>::Unload();
}

void TavrinGroundObject::release_models() {
    for (LgClump*& m : models) {
        if (m == model) model = nullptr;
        remove_and_destroy(m);
    }
    if (model) {
        remove_and_destroy(model);
    } else if (frame) {
        LgFrameDestroy(frame);
    }
    frame = nullptr;
    matrix = nullptr;
    model_count = 0;
}

OmResult TavrinGroundObject::Create(TvCreateDescriptor* d) {
    // A second life starts from nothing: the first one's models go.
    release_models();
    if (tvobject::create(*this, d) < 0) return OM_E_FAIL;
    rearm_time = 0;
    if (shadow_texture) LgTextureDestroy(shadow_texture);
    shadow_texture = nullptr;
    shadow_scale = 1.0f;
    shrapnel = {};
    TavrinGroundObject* a = d ? from(d->archetype) : nullptr;
    if (a) {
        for (int32_t i = 0; i < kTvGroundModelSlots; ++i)
            models[i] = a->models[i] ? LgClumpClone(a->models[i]) : nullptr;
        model_count = a->model_count;
        if (game) {
            IUnknown* client = nullptr;
            if (game->QueryInterface(IID_ITvClientGame, reinterpret_cast<void**>(&client)) >= 0 &&
                client) {
                client->Release();
                rearm_time = platform::timeGetTime() + kTvNetworkPickupRearmMs;
            }
        }
        if (!holds_crate_) {
            TvGroundHoldPickupCrate();
            holds_crate_ = true;
        }
        canyon_gun = a->canyon_gun;
        shrapnel = a->shrapnel;
        shadow_scale = a->shadow_scale;
        shadow_texture = a->shadow_texture ? LgTextureAddRef(a->shadow_texture) : nullptr;
    }
    TvClumpSetOwner(model, self);
    wanted_model = shown_model = 0;
    if (matrix) {
        const LgVector position = matrix->pos;
        SetProperty(kTvPropPosition, reinterpret_cast<uintptr_t>(&position));
    }
    if (a) {
        std::memcpy(hit_sound, a->hit_sound, sizeof(hit_sound));
        std::memcpy(breakage_sound, a->breakage_sound, sizeof(breakage_sound));
        std::memcpy(explosion_sound, a->explosion_sound, sizeof(explosion_sound));
    }
    return OM_S_OK;
}

OmResult TavrinGroundObject::Destroy() {
    for (LgClump*& m : models) {
        if (m == model) model = nullptr;
        remove_and_destroy(m);
    }
    if (model) {
        // The base destroys the current model; it leaves the world first.
        if (LgWorld* in = LgClumpGetWorld(model)) LgWorldRemoveClump(in, model);
        world = nullptr;
    } else {
        frame = nullptr;
        matrix = nullptr;
    }
    tvobject::destroy(*this);
    release_crate();
    if (shadow_texture) LgTextureDestroy(shadow_texture);
    shadow_texture = nullptr;
    model_count = 0;
    return OM_S_OK;
}

void TavrinGroundObject::place_on_ground(const LgVector& p) {
    const LgBBox* box = LgWorldGetBoundingBox(world);
    LgCollisionPrimitive line{};
    line.line = {{p.x, box->sup.y, p.z}, {p.x, box->inf.y, p.z}};
    line.type = LgCollisionLine;
    matrix->pos = {p.x, 0.0f, p.z};
    Placement placement{matrix, &line.line};
    LgWorldForAllTriangleIntersections(world, &line, place_on_triangle, &placement);
    LgMatrixMarkChanged(matrix);
    LgFrameMarkDirty(frame);
}

OmResult TavrinGroundObject::SetProperty(uint32_t id, uintptr_t value) {
    if (id == kTvGroundPropArchetypeIndex) {
        archetype_index = static_cast<int32_t>(value);
        return OM_S_OK;
    }
    if (id == kTvPropPosition && world && matrix && value) {
        place_on_ground(*reinterpret_cast<const LgVector*>(value));
        return OM_S_OK;
    }
    return TavrinObjectBase<ITvGroundObject>::SetProperty(id, value);
}

OmResult TavrinGroundObject::GetProperty(uint32_t id, uintptr_t* out) {
    if (id == kTvGroundPropArchetypeIndex && out) {
        *out = static_cast<uintptr_t>(static_cast<intptr_t>(archetype_index));
        return OM_S_OK;
    }
    return TavrinObjectBase<ITvGroundObject>::GetProperty(id, out);
}

OmResult TavrinGroundObject::AddDamage(float amount, int32_t attacker_id) {
    const bool was_down = !(damage < endurance);
    damage += amount;
    if (model_count > 0)
        wanted_model = std::min(int32_t(damage * reciprocal_endurance * float(model_count - 1)),
                                model_count - 1);
    OmResult result = OM_E_FAIL;
    const LgVector* position = matrix ? &matrix->pos : nullptr;
    if (!(damage < endurance) && !was_down) {
        if (position) {
            TvSpawnSmoke(position, 1.0f, 0);
            const float k = kExplosionSizeSlope;
            TvSpawnExplosion(position, 1.0f - 3.0f * k + k * endurance, 0);
        }
        TvPlaySoundAt(explosion_sound, matrix, nullptr);
        result = OM_S_OK;
    } else {
        TvPlaySoundAt(hit_sound, matrix, nullptr);
    }
    if (frame) LgFrameMarkDirty(frame);
    if (group_mask & kFlashGroup) flash_time = kTvHitFlashSeconds;
    if ((group_mask & kReportGroups) && attacker_id != 0 && game) {
        if (ITvObject* attacker = game->GetObjectById(attacker_id)) {
            const TvEvent hit{kEventHit, group_mask};
            attacker->HandleEvent(&hit);
        }
    }
    return result;
}

void TavrinGroundObject::change_model() {
    if (model) {
        TvSpawnShrapnel(model, shrapnel.mask, shrapnel.count);
        if (game) {
            Debris debris{game};
            LgClumpForAllAtomics(model, throw_debris, &debris);
        }
    }
    LgMatrix kept{};
    if (matrix) kept = *matrix;
    LgWorld* in = model ? LgClumpGetWorld(model) : nullptr;
    if (!in) in = world;
    if (model) {
        remove_and_destroy(model);
    } else if (frame) {
        LgFrameDestroy(frame);
    }
    frame = nullptr;
    matrix = nullptr;
    model = LgClumpClone(models[wanted_model]);
    if (!model) return;
    frame = LgClumpGetFrame(model);
    matrix = LgFrameGetMatrix(frame);
    *matrix = kept;
    TvClumpSetOwner(model, self);
    LgClumpForAllAtomics(model, TvHookAtomicToObject, static_cast<TvObjectFields*>(this));
    LgMatrixMarkChanged(matrix);
    LgFrameMarkDirty(frame);
    if (in) LgWorldAddClump(in, model);
    shown_model = wanted_model;
    TvPlaySoundAt(breakage_sound, matrix, nullptr);
}

bool TavrinGroundObject::pickup_active(uint32_t now) const {
    const TavrinGroundObject* a = archetype();
    return a && a->pickup_type != kTvPickupNone && clock_passed(now, rearm_time);
}

void TavrinGroundObject::offer_pickup(ITvObject* object, uint32_t now) {
    const TavrinGroundObject* a = archetype();
    if (!a || !object || !matrix) return;
    // Taken already in this pass: one plane gets it.
    if (!clock_passed(now, rearm_time)) return;
    uintptr_t flags_word = 0;
    object->GetProperty(kTvPropFlags, &flags_word);
    if (flags_word & kTvFlagNetworkDriven) return;
    if (!(damage < endurance)) return;
    uintptr_t at = 0;
    if (object->GetProperty(kTvPropPosition, &at) < 0 || !at) return;
    const LgVector o = *reinterpret_cast<const LgVector*>(at);
    const LgVector g = matrix->pos;
    const float dx = o.x - g.x;
    const float dz = o.z - g.z;
    if (!(o.y - g.y < a->pickup_height)) return;
    if (!(std::sqrt(dx * dx + dz * dz) < a->pickup_radius)) return;
    ITvPlane* plane = nullptr;
    if (object->QueryInterface(IID_ITvPlane, reinterpret_cast<void**>(&plane)) >= 0 && plane) {
        plane->TvPlanePickup(a->pickup_type, id);
        plane->Release();
    }
    rearm_time = now + kTvPickupRearmMs;
}

OmResult TavrinGroundObject::Update() {
    if (wanted_model >= 0 && wanted_model < model_count && wanted_model != shown_model &&
        models[wanted_model])
        change_model();
    const uint32_t now = platform::timeGetTime();
    if (game && pickup_active(now)) {
        std::pair<TavrinGroundObject*, uint32_t> args{this, now};
        game->ForEachLiveInGroup(-kTvGroupPlayers, pickup_visit, &args);
    }
    return TavrinObjectBase<ITvGroundObject>::Update();
}

OmResult TavrinGroundObject::Render() {
    if (!matrix) return OM_S_OK;
    const uint32_t now = platform::timeGetTime();
    LgClump* crate = TvGroundPickupCrate();
    if (crate && pickup_active(now)) {
        LgFrame* crate_frame = LgClumpGetFrame(crate);
        LgMatrix* m = LgFrameGetMatrix(crate_frame);
        *m = *matrix;
        m->pos = add(m->pos, scale(matrix->at, kCrateLift));
        LgMatrixMarkChanged(m);
        LgFrameMarkDirty(crate_frame);
        LgClumpRender(crate);
    }

    const float limit = TvGroundShadowLimit(TvGroundShadowLevel);
    LgCamera* camera = LgCameraGetCurrent();
    LgFrame* camera_frame = camera ? LgCameraGetFrame(camera) : nullptr;
    // A destroyed model casts no shadow; an object with only its intact model keeps one.
    const bool destroyed_shown = model_count > 1 && shown_model == model_count - 1;
    LgWorld* in = model ? LgClumpGetWorld(model) : nullptr;
    if (limit <= 0.0f || !shadow_texture || !camera_frame || destroyed_shown || !in) return OM_S_OK;
    const LgVector d = sub(LgFrameGetWorldMatrix(camera_frame)->pos, matrix->pos);
    const float distance2 = d.x * d.x + d.y * d.y + d.z * d.z;
    if (!(distance2 < limit)) return OM_S_OK;
    LgAtomic* main = main_atomic(model);
    if (!main) return OM_S_OK;

    LgRenderStateSet(6, reinterpret_cast<void*>(uintptr_t(0)));
    LgRenderStateSet(11, reinterpret_cast<void*>(uintptr_t(1)));
    LgRenderStateSet(7, reinterpret_cast<void*>(uintptr_t(2)));
    LgMatrix projector{};
    projector.at = {0.0f, -1.0f, 0.0f};
    LgVector flat{matrix->right.x, 0.0f, matrix->right.z};
    if (LgVectorNormalize(&projector.right, &flat) <= 0.0f) projector.right = {1.0f, 0.0f, 0.0f};
    projector.up = cross(projector.at, projector.right);
    projector.pos = add(matrix->pos, kShadowOffset);
    TvDrawGroundShadow(&projector, in, shadow_texture, main->boundingSphere.radius * shadow_scale,
                       kShadowDepth, kShadowOpacity - kShadowOpacity * distance2 / limit);
    return OM_S_OK;
}

OmResult TavrinGroundObject::HandleEvent(const TvEvent* event) {
    if (!event || !matrix) return OM_S_OK;
    if (event->code == kTvEditorPick && event->data) {
        auto* pick = reinterpret_cast<TvEditorPick*>(event->data);
        if (!pick->cursor) return OM_S_OK;
        user_value = kTvEditorIdle;
        const LgVector cursor = *pick->cursor;
        const float d1 = length(sub(cursor, matrix->pos));
        const LgVector handle = add(matrix->pos, scale(matrix->right, kEditorHandleOffset));
        const float d2 = length(sub(cursor, handle));
        auto select = [&](float distance, uintptr_t state) {
            pick->best_distance = distance;
            if (pick->selected && pick->selected != self)
                pick->selected->SetProperty(kTvPropUserValue, kTvEditorIdle);
            pick->selected = self;
            user_value = state;
        };
        if (d1 <= kEditorPickReach && d1 < pick->best_distance) select(d1, kTvEditorMoving);
        if (d2 <= kEditorHandleReach && d2 < pick->best_distance) select(d2, kTvEditorTurning);
        return OM_S_OK;
    }
    if (event->code == kTvEditorMove && event->data) {
        const LgVector point = *reinterpret_cast<const LgVector*>(event->data);
        if (user_value == kTvEditorMoving) {
            SetProperty(kTvPropPosition, reinterpret_cast<uintptr_t>(&point));
        } else if (user_value == kTvEditorTurning) {
            LgVector toward = sub(point, matrix->pos);
            if (LgVectorNormalize(&toward, &toward) > 0.0f) {
                matrix->right = toward;
                matrix->at = cross(matrix->right, matrix->up);
                matrix->right = cross(matrix->up, matrix->at);
                LgMatrixMarkChanged(matrix);
            }
            if (frame) LgFrameMarkDirty(frame);
        }
    }
    return OM_S_OK;
}

OmResult TavrinGroundObject::UseArchetype(ITvObject*) {
    return OM_S_OK;
}

void TvStartPickupRespawn(ITvObject* pickup) {
    if (TavrinGroundObject* g = TavrinGroundObject::from(pickup))
        g->rearm_time = platform::timeGetTime() + kTvPickupRearmMs;
}

namespace {

const OmClassRecord classes[] = {{&CLSID_TavrinGroundObject, nullptr, nullptr,
                                  OmCreateComponent<TavrinGroundObject>, "TavrinGroundObject"}};

} // namespace

OM_DEFINE_MODULE(TavrinGroundObject, classes)
