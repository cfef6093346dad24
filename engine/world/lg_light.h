// Lights: frame-attached colours with a radius and a subtype (engine module 0x505), global
// (directional, ambient) or local (point, spot, soft spot) to the sectors they reach.
#pragma once

#include "engine/core/lg_objects.h"
#include "engine/core/lg_plugin_registry.h"
#include "engine/world/lg_material.h"

constexpr uint32_t LgModuleLight = 0x505;

// Subtypes; 0x80 and above are local lights with a position and a radius.
constexpr uint8_t LgLightDirectional = 1;
constexpr uint8_t LgLightAmbient = 2;
constexpr uint8_t LgLightPoint = 0x80;
constexpr uint8_t LgLightSpot = 0x81;
constexpr uint8_t LgLightSoftSpot = 0x82;
constexpr uint8_t LgLightLocal = 0x80;

// Light flags: 0x01 lights atomics, 0x02 lights the world's sectors.
constexpr uint8_t LgLightLightAtomics = 0x01;
constexpr uint8_t LgLightLightWorld = 0x02;
// Private flag: red, green and blue are equal, so one value serves all three.
constexpr uint8_t LgLightPrivateGrey = 0x01;

struct LgRGBAReal {
    float red, green, blue, alpha;
};

// A lighting model: adds the light's share to the context's per-vertex accumulators. The
// transform maps world space into the vertices' space (null: they are in world space), scale
// is its length factor.
using LgLightApplyFunc = void (*)(void* context, LgLight* light, const LgMatrix* transform,
                                  float scale, const LgSurfaceProperties* surface);

struct LgLight {
    LgFrameObject object;              // header type LgObjectTypeLight; flags LgLightLight...
    LgLightApplyFunc lightingFunction; // set by the light set-up by subtype, or null
    float radius;
    LgRGBAReal color;
    float coneAngle; // the spot lights' cone parameter (1 at creation)
    LgLink tieList;
    LgLink inWorld;
    uint16_t lightFrame; // the light stamp of the last atomic render that applied it
};

struct LgLightSlice {
    LgFreeList* lightList;
};

extern LgPluginRegistry LgLightRegistry;
int32_t LgLightRegisterPlugin(int32_t size, uint32_t pluginId,
                              LgPluginObjectConstructor constructor,
                              LgPluginObjectDestructor destructor, LgPluginObjectCopy copy);

LgLight* LgLightCreate(uint8_t subType);
// Plug-in destructors, frame detach, free. 1.
int32_t LgLightDestroy(LgLight* light);
inline float LgLightGetRadius(const LgLight* light) {
    return light->radius;
}
LgLight* LgLightSetRadius(LgLight* light, float radius);
LgLight* LgLightSetColor(LgLight* light, const LgRGBAReal* color);
inline uint8_t LgLightGetType(const LgLight* light) {
    return light->object.header.subType;
}
inline LgFrame* LgLightGetFrame(const LgLight* light) {
    return light->object.header.parent;
}
LgLight* LgLightSetFrame(LgLight* light, LgFrame* frame);
LgLight* LgLightOfWorldLink(LgLink* link);

int32_t LgLightModuleRegister();
