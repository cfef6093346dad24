// OmLgParticles: pools of camera-facing sprites for the engine, by particle type; and the
// record header every particle kind begins with.
#pragma once

#include "engine/core/lg_engine.h"
#include "framework/core/class_factory.h"

inline constexpr GUID CLSID_OmLgParticles = om_guid("21d2dbd3-0eed-47b5-bd64-d169f0792bf7");
inline constexpr GUID IID_IOmLgParticles = om_guid("3760fea1-0fa4-4de4-9b1b-275cc1a996e2");

inline constexpr int32_t kOmParticleTypeCapacity = 32;
inline constexpr uint32_t kOmParticleLive = 0x1;

// The first fields of every particle record; the rest belongs to the particle's type.
struct OmParticleHeader {
    uint32_t flags;    // kOmParticleLive; owned by the manager (emitters write 0)
    LgVector position; // world
    float size;        // half size of the sprite
    LgRGBA colour;
    OmParticleHeader* link; // owned by the manager; the emitted record's value is ignored
};

// Per particle: a negative result kills it.
using OmParticleUpdateFunction = int32_t (*)(void* context, OmParticleHeader* particle);
using OmParticleKillFunction = void (*)(OmParticleHeader* particle);

// A particle type as the client defines it (copied by AddType).
struct OmParticleType {
    LgTexture* texture;   // the manager takes a reference
    int32_t source_blend; // engine blend value
    int32_t destination_blend;
    int32_t record_size; // bytes of one record, at least sizeof(OmParticleHeader)
    OmParticleUpdateFunction update;
    OmParticleKillFunction kill; // or null
    void* context;               // handed to update
};

struct IOmLgParticles : IUnknown {
    // No types. 0.
    virtual OmResult Init() = 0;
    // Releases every type's texture and storage; no types. 0.
    virtual OmResult RemoveAllTypes() = 0;
    // Registers a type with room for `capacity` particles. OM_E_FAIL when 32 types exist,
    // the id is taken or the description is unusable; OM_E_OUTOFMEMORY (nothing kept).
    virtual OmResult AddType(int32_t id, const OmParticleType* type, int32_t capacity) = 0;
    // Runs every type's update over its live particles. 0.
    virtual OmResult Update() = 0;
    // Draws every live particle in the camera (null: the current camera). 0.
    virtual OmResult Render(LgCamera* camera) = 0;
    // Emission limit 0..capacity. OM_E_FAIL for an unknown id or a limit out of range.
    virtual OmResult SetLimit(int32_t id, int32_t limit) = 0;
    // Copies the record into the type's pool. OM_E_FAIL for an unknown id.
    virtual OmResult Emit(int32_t id, const void* record) = 0;
    // Every particle of every type dies at once. 0.
    virtual OmResult Clear() = 0;
};

OM_DECLARE_MODULE(OmLgParticles);
