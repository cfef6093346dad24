// Lights: creation with the lighting model of their subtype, colour and radius, and the light
// module (engine module 0x505) whose close destroys the lights still alive.
#include "engine/world/lg_light.h"

#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_frame.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_link.h"
#include "engine/core/lg_module.h"
#include "engine/world/lg_world.h"
#include "engine/world/lg_world_render.h"

#include <cstddef>
#include <cstring>

LgPluginRegistry LgLightRegistry = LgPluginRegistryMake(sizeof(LgLight));

namespace {

LgModule lightModule;

constexpr int32_t lightsPerBlock = 20;

void* identity_sync(void* object) {
    return object;
}

void destroy_light(void* entry, void*) {
    LgLightDestroy(static_cast<LgLight*>(entry));
}

void* light_open(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgLightSlice>(instance, offset);
    s->lightList = LgFreeListCreate(LgLightRegistry.sizeOfStruct, lightsPerBlock, 0);
    if (s->lightList == nullptr) return nullptr;
    lightModule.offset = offset;
    ++lightModule.openCount;
    return instance;
}

void* light_close(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgLightSlice>(instance, offset);
    if (s->lightList != nullptr) {
        LgFreeListForAllUsed(s->lightList, destroy_light, nullptr);
        LgFreeListDestroy(s->lightList);
    }
    s->lightList = nullptr;
    if (lightModule.openCount > 0) --lightModule.openCount;
    return instance;
}

} // namespace

int32_t LgLightRegisterPlugin(int32_t size, uint32_t pluginId,
                              LgPluginObjectConstructor constructor,
                              LgPluginObjectDestructor destructor, LgPluginObjectCopy copy) {
    return LgPluginRegistryAddPlugin(&LgLightRegistry, size, pluginId, constructor, destructor,
                                     copy);
}

LgLight* LgLightCreate(uint8_t subType) {
    auto* s = lightModule.slice<LgLightSlice>();
    if (s == nullptr) {
        LgErrorRaise(LgErrorGroupWorld, LgErrBadState);
        return nullptr;
    }
    auto* light = static_cast<LgLight*>(LgFreeListTake(s->lightList));
    if (light == nullptr) return nullptr;
    std::memset(static_cast<void*>(light), 0, sizeof(LgLight));
    light->object.header = {LgObjectTypeLight, subType, LgLightLightAtomics | LgLightLightWorld, 0,
                            nullptr};
    LgLinkInitialise(&light->object.frameLink);
    light->object.sync = identity_sync;
    light->radius = 0.0f;
    light->color = {1.0f, 1.0f, 1.0f, 1.0f};
    light->object.header.privateFlags = LgLightPrivateGrey;
    light->coneAngle = 1.0f;
    LgLinkInitialise(&light->tieList);
    light->inWorld = {nullptr, nullptr};
    light->lightFrame = static_cast<uint16_t>(LgEngineInstancePtr->stamps[LgStampLight] - 1);
    LgWorldGetPipelineTable()->lightSetup(light);
    if (LgPluginRegistryInitObject(&LgLightRegistry, light) == nullptr) {
        LgFreeListGive(s->lightList, light);
        return nullptr;
    }
    return light;
}

int32_t LgLightDestroy(LgLight* light) {
    auto* s = lightModule.slice<LgLightSlice>();
    if (light == nullptr || s == nullptr) return 0;
    LgPluginRegistryDeinitObject(&LgLightRegistry, light);
    LgObjectRemoveFrame(light);
    LgFreeListGive(s->lightList, light);
    return 1;
}

LgLight* LgLightSetRadius(LgLight* light, float radius) {
    light->radius = radius;
    if (LgFrame* frame = LgLightGetFrame(light)) LgFrameMarkDirty(frame);
    return light;
}

LgLight* LgLightSetColor(LgLight* light, const LgRGBAReal* color) {
    light->color = *color;
    const bool grey = color->red == color->green && color->red == color->blue;
    light->object.header.privateFlags = grey ? LgLightPrivateGrey : 0;
    return light;
}

LgLight* LgLightSetFrame(LgLight* light, LgFrame* frame) {
    LgObjectSetFrame(light, frame);
    return light;
}

LgLight* LgLightOfWorldLink(LgLink* link) {
    return reinterpret_cast<LgLight*>(reinterpret_cast<char*>(link) - offsetof(LgLight, inWorld));
}

int32_t LgLightModuleRegister() {
    return LgEngineRegisterPlugin(sizeof(LgLightSlice), LgModuleLight, light_open, light_close);
}
