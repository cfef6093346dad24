// The base game object: model cloning and the flash hook, identity, damage, the tint and
// hit-flash step, and properties 0 to 15.
#include "game/world/tv_object.h"

#include "engine/world/lg_clump.h"
#include "engine/world/lg_geometry.h"
#include "engine/world/lg_material.h"
#include "engine/world/lg_world_tie.h"
#include "game/rules/tv_game.h"
#include "game/world/tv_bsp_landscape.h"

#include <algorithm>
#include <cstring>

namespace {

// Tint rise per second of frame time, in colour steps.
constexpr float kTintStepsPerSecond = 800.0f;

template <typename T>
T* slice_of(void* object, int32_t offset) {
    return offset < 0 ? nullptr : reinterpret_cast<T*>(static_cast<char*>(object) + offset);
}

void* clear_slice(void* object, int32_t offset, int32_t) {
    *slice_of<void*>(object, offset) = nullptr;
    return object;
}

void* copy_slice(void* dst, const void* src, int32_t offset, int32_t) {
    std::memcpy(static_cast<char*>(dst) + offset, static_cast<const char*>(src) + offset,
                sizeof(void*));
    return dst;
}

LgMaterial* tint_material(LgMaterial* material, void* tint) {
    LgMaterialSetColor(material, static_cast<const LgRGBA*>(tint));
    return material;
}

LgAtomic* tint_atomic(LgAtomic* atomic, void* tint) {
    if (atomic->geometry) LgGeometryForAllMaterials(atomic->geometry, tint_material, tint);
    return atomic;
}

void copy_vector(LgVector& row, uintptr_t value) {
    std::memcpy(&row, reinterpret_cast<const void*>(value), sizeof(LgVector));
}

} // namespace

ITvObject* TvClumpGetOwner(LgClump* clump) {
    ITvObject** slot =
        clump ? slice_of<ITvObject*>(clump, LgClumpGetPluginOffset(kTvClumpOwnerPlugin)) : nullptr;
    return slot ? *slot : nullptr;
}

void TvClumpSetOwner(LgClump* clump, ITvObject* owner) {
    if (!clump) return;
    if (ITvObject** slot = slice_of<ITvObject*>(clump, LgClumpGetPluginOffset(kTvClumpOwnerPlugin)))
        *slot = owner;
}

TvObjectFields* TvAtomicGetOwner(LgAtomic* atomic) {
    TvObjectFields** slot =
        atomic ? slice_of<TvObjectFields*>(atomic, LgAtomicGetPluginOffset(kTvAtomicOwnerPlugin))
               : nullptr;
    return slot ? *slot : nullptr;
}

void TvAtomicSetOwner(LgAtomic* atomic, TvObjectFields* owner) {
    if (!atomic) return;
    if (TvObjectFields** slot =
            slice_of<TvObjectFields*>(atomic, LgAtomicGetPluginOffset(kTvAtomicOwnerPlugin)))
        *slot = owner;
}

int32_t TvOwnerLinkRegister() {
    const bool clump = LgClumpGetPluginOffset(kTvClumpOwnerPlugin) >= 0 ||
                       LgClumpRegisterPlugin(sizeof(void*), kTvClumpOwnerPlugin, clear_slice,
                                             clear_slice, copy_slice) >= 0;
    const bool atomic = LgAtomicGetPluginOffset(kTvAtomicOwnerPlugin) >= 0 ||
                        LgAtomicRegisterPlugin(sizeof(void*), kTvAtomicOwnerPlugin, clear_slice,
                                               clear_slice, copy_slice) >= 0;
    return clump && atomic ? 1 : 0;
}

LgAtomic* TvHookAtomicToObject(LgAtomic* atomic, void* owner_fields) {
    auto* owner = static_cast<TvObjectFields*>(owner_fields);
    LgAtomicCallBackRender callback = atomic->renderCallBack;
    // A clone of a hooked model carries the hook already: keep the callback it replaced, so
    // the flash callback never ends up calling itself.
    if (callback == TvFlashRenderCallback) {
        const TvObjectFields* previous = TvAtomicGetOwner(atomic);
        callback = previous ? previous->saved_render_callback : LgAtomicDefaultRender;
    }
    owner->saved_render_callback = callback;
    TvAtomicSetOwner(atomic, owner);
    atomic->renderCallBack = TvFlashRenderCallback;
    return atomic;
}

LgAtomic* TvFlashRenderCallback(LgAtomic* atomic) {
    TvObjectFields* owner = TvAtomicGetOwner(atomic);
    if (!owner) return nullptr;
    // A full deferred queue draws the atomic normally rather than losing it for the frame.
    if (owner->flash_time > 0.0f && owner->game && owner->game->QueueDeferredAtomic(atomic) >= 0)
        return nullptr;
    return owner->saved_render_callback ? owner->saved_render_callback(atomic) : atomic;
}

namespace tvobject {

OmResult reset(TvObjectFields&) {
    return OM_S_OK;
}

OmResult unload(TvObjectFields& o) {
    if (o.landscape) o.landscape->Release();
    o.landscape = nullptr;
    return OM_S_OK;
}

OmResult create(TvObjectFields& o, TvCreateDescriptor* d) {
    o.world = nullptr;
    o.model = nullptr;
    o.frame = nullptr;
    o.matrix = nullptr;
    o.game = nullptr;
    if (o.landscape) o.landscape->Release();
    o.landscape = nullptr;
    if (d) {
        uintptr_t archetype_model = 0;
        if (d->archetype) d->archetype->GetProperty(kTvPropModel, &archetype_model);
        if (archetype_model) {
            LgClump* clone = LgClumpClone(reinterpret_cast<LgClump*>(archetype_model));
            if (!clone) return OM_E_FAIL;
            o.model = clone;
            o.frame = LgClumpGetFrame(clone);
            o.matrix = LgFrameGetMatrix(o.frame);
            *o.matrix = d->matrix;
            TvClumpSetOwner(clone, o.self);
            LgClumpForAllAtomics(clone, TvHookAtomicToObject, &o);
        } else {
            o.frame = LgFrameCreate();
            if (!o.frame) return OM_E_FAIL;
            o.matrix = LgFrameGetMatrix(o.frame);
            *o.matrix = d->matrix;
        }
        o.endurance = d->endurance;
        o.flags = d->flags;
        o.id = d->id;
        o.group_mask = d->group_mask;
        o.game = d->game;
        o.descriptor = d;
    } else {
        o.id = 0;
        o.endurance = 1.0f;
        o.descriptor = nullptr;
        o.group_mask = 0;
        o.flags = 0;
    }
    o.user_value = 0;
    o.damage = 0.0f;
    o.reciprocal_endurance = 1.0f / o.endurance;
    o.tint = {255, 255, 255, 255};
    o.flash_time = 0.0f;
    return OM_S_OK;
}

OmResult destroy(TvObjectFields& o) {
    if (o.model) {
        if (o.world) LgWorldRemoveClump(o.world, o.model);
        LgClumpDestroy(o.model);
    } else if (o.frame) {
        // A bare frame belongs to the object alone.
        LgFrameDestroy(o.frame);
    }
    o.model = nullptr;
    o.frame = nullptr;
    o.matrix = nullptr;
    o.world = nullptr;
    o.game = nullptr;
    if (o.landscape) o.landscape->Release();
    o.landscape = nullptr;
    return OM_S_OK;
}

OmResult set_property(TvObjectFields& o, uint32_t id, uintptr_t value) {
    switch (id) {
    case kTvPropMatrix: {
        if (!o.matrix || !value) return OM_E_FAIL;
        const auto* source = reinterpret_cast<const LgMatrix*>(value);
        if (source == o.matrix) return OM_S_OK;
        std::memcpy(o.matrix, source, sizeof(LgMatrix));
        LgMatrixMarkChanged(o.matrix);
        LgFrameMarkDirty(o.frame);
        return OM_S_OK;
    }
    case kTvPropPosition:
    case kTvPropAt:
    case kTvPropRight:
    case kTvPropUp: {
        if (!o.matrix || !value) return OM_E_FAIL;
        LgVector& row = id == kTvPropPosition ? o.matrix->pos
                        : id == kTvPropAt     ? o.matrix->at
                        : id == kTvPropRight  ? o.matrix->right
                                              : o.matrix->up;
        copy_vector(row, value);
        return OM_S_OK;
    }
    case kTvPropModel: {
        auto* model = reinterpret_cast<LgClump*>(value);
        if (!model) return OM_E_FAIL;
        LgMatrix kept{};
        if (o.matrix) kept = *o.matrix;
        // The earlier model stays with the caller; a bare frame was the object's own.
        if (!o.model && o.frame) LgFrameDestroy(o.frame);
        o.model = model;
        if (!LgClumpGetWorld(model) && o.world) LgWorldAddClump(o.world, model);
        o.frame = LgClumpGetFrame(model);
        o.matrix = LgFrameGetMatrix(o.frame);
        TvClumpSetOwner(model, o.self);
        *o.matrix = kept;
        return OM_S_OK;
    }
    case kTvPropWorld: o.world = reinterpret_cast<LgWorld*>(value); return OM_S_OK;
    case kTvPropUserValue: o.user_value = value; return OM_S_OK;
    case kTvPropLandscape: {
        auto* landscape = reinterpret_cast<ITvBSPLandscape*>(value);
        if (landscape) landscape->AddRef();
        if (o.landscape) o.landscape->Release();
        o.landscape = landscape;
        return OM_S_OK;
    }
    case kTvPropFlags: o.flags = static_cast<uint32_t>(value); return OM_S_OK;
    case kTvPropId: o.id = static_cast<int32_t>(value); return OM_S_OK;
    case kTvPropEndurance:
        if (!value) return OM_E_FAIL;
        o.endurance = *reinterpret_cast<const float*>(value);
        return OM_S_OK;
    case kTvPropGroupMask: o.group_mask = static_cast<uint32_t>(value); return OM_S_OK;
    case kTvPropDescriptor:
        o.descriptor = reinterpret_cast<TvCreateDescriptor*>(value);
        return OM_S_OK;
    default: return OM_E_BADPROPERTY;
    }
}

OmResult get_property(TvObjectFields& o, uint32_t id, uintptr_t* out) {
    if (!out) return OM_E_FAIL;
    auto row = [&](LgVector* v) { return reinterpret_cast<uintptr_t>(o.matrix ? v : nullptr); };
    switch (id) {
    case kTvPropMatrix: *out = reinterpret_cast<uintptr_t>(o.matrix); break;
    case kTvPropPosition: *out = row(o.matrix ? &o.matrix->pos : nullptr); break;
    case kTvPropAt: *out = row(o.matrix ? &o.matrix->at : nullptr); break;
    case kTvPropRight: *out = row(o.matrix ? &o.matrix->right : nullptr); break;
    case kTvPropUp: *out = row(o.matrix ? &o.matrix->up : nullptr); break;
    case kTvPropModel: *out = reinterpret_cast<uintptr_t>(o.model); break;
    case kTvPropWorld: *out = reinterpret_cast<uintptr_t>(o.world); break;
    case kTvPropUserValue: *out = o.user_value; break;
    case kTvPropLandscape: *out = reinterpret_cast<uintptr_t>(o.landscape); break;
    case kTvPropFlags: *out = o.flags; break;
    case kTvPropId: *out = static_cast<uintptr_t>(static_cast<intptr_t>(o.id)); break;
    case kTvPropEndurance: *out = reinterpret_cast<uintptr_t>(&o.endurance); break;
    case kTvPropGroupMask: *out = o.group_mask; break;
    case kTvPropDescriptor: *out = reinterpret_cast<uintptr_t>(o.descriptor); break;
    case kTvPropRenderHook: *out = reinterpret_cast<uintptr_t>(o.saved_render_callback); break;
    case kTvPropDamage: *out = reinterpret_cast<uintptr_t>(&o.damage); break;
    default: *out = 0; return OM_E_BADPROPERTY;
    }
    return OM_S_OK;
}

OmResult update(TvObjectFields& o) {
    // An object made without a descriptor has no game and so no frame time: it stands still.
    const float dt = o.game ? o.game->GetFrameTime() : 0.0f;
    const int32_t step = static_cast<int32_t>(dt * kTintStepsPerSecond);
    int32_t risen = 0;
    for (uint8_t* channel : {&o.tint.red, &o.tint.green, &o.tint.blue, &o.tint.alpha}) {
        const int32_t rise = std::min(255 - int32_t(*channel), step);
        if (rise <= 0) continue;
        *channel = static_cast<uint8_t>(*channel + rise);
        risen += rise;
    }
    if (risen > 0 && o.model) LgClumpForAllAtomics(o.model, tint_atomic, &o.tint);
    if (o.flash_time > 0.0f) {
        o.flash_time -= dt;
        if (o.flash_time < 0.0f) o.flash_time = 0.0f;
    }
    return OM_S_OK;
}

int32_t is_dead(const TvObjectFields& o) {
    return o.damage > o.endurance ? 1 : 0;
}

} // namespace tvobject

namespace {

const OmClassRecord classes[] = {
    {&CLSID_TavrinObject, nullptr, nullptr, OmCreateComponent<TavrinObject>, "TavrinObject"}};

} // namespace

OM_DEFINE_MODULE(TavrinObject, classes)
