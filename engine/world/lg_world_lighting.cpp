// Lighting: the five light models that add a light's share to each vertex's colour
// accumulators, the apply-one-light step and the world-sector lighting stage.
#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_frame.h"
#include "engine/core/lg_link.h"
#include "engine/core/lg_vector.h"
#include "engine/world/lg_world_render.h"
#include "engine/world/lg_world_tie.h"
#include "engine/world/lg_world_walk.h"

#include <cmath>

namespace {

// "Greater than zero" on the float's bits: -0 and negative denormals are not positive.
bool positive(float value) {
    return LgFloatBits(value) > 0;
}

const LgIm3DVertex& vertex_at(const LgWorldRenderWork* w, int32_t i) {
    return *reinterpret_cast<const LgIm3DVertex*>(w->data->vertices +
                                                  static_cast<size_t>(i) * w->data->vertexStride);
}

// A grey light adds one value to all three channels.
void add_light(float* a, const LgLight* light, float f) {
    if ((light->object.header.privateFlags & LgLightPrivateGrey) != 0) {
        const float v = f * light->color.red;
        a[0] += v;
        a[1] += v;
        a[2] += v;
        return;
    }
    a[0] += f * light->color.red;
    a[1] += f * light->color.green;
    a[2] += f * light->color.blue;
}

// The light frame's world matrix; a light made without a frame shines down its default axes.
LgMatrix light_matrix(const LgLight* light) {
    if (LgFrame* frame = LgLightGetFrame(light)) return *LgFrameGetWorldMatrix(frame);
    LgMatrix identity = {};
    identity.right = {1, 0, 0};
    identity.up = {0, 1, 0};
    identity.at = {0, 0, 1};
    return identity;
}

LgVector to_space(const LgVector& v, const LgMatrix* transform, bool point) {
    if (transform == nullptr) return v;
    LgVector out;
    if (point)
        LgVectorTransformPoints(&out, &v, 1, transform);
    else
        LgVectorTransformVectors(&out, &v, 1, transform);
    return out;
}

void light_ambient(void* context, LgLight* light, const LgMatrix*, float,
                   const LgSurfaceProperties* surface) {
    auto* w = static_cast<LgWorldRenderWork*>(context);
    const float f = surface->ambient * 255.0f;
    for (int32_t i = 0; i < w->numVertices; ++i) add_light(w->accumulators[i], light, f);
}

void light_directional(void* context, LgLight* light, const LgMatrix* transform, float,
                       const LgSurfaceProperties* surface) {
    auto* w = static_cast<LgWorldRenderWork*>(context);
    const LgMatrix m = light_matrix(light);
    LgVector l = {-m.at.x, -m.at.y, -m.at.z};
    if (transform != nullptr) {
        const LgVector t = to_space(l, transform, false);
        LgVectorNormalize(&l, &t);
    }
    const float scale = surface->diffuse * 255.0f;
    for (int32_t i = 0; i < w->numVertices; ++i) {
        const float d = LgVectorDotProduct(&vertex_at(w, i).normal, &l);
        if (positive(d)) add_light(w->accumulators[i], light, d * scale);
    }
}

enum class Cone { None, Hard, Soft };

void light_local(LgWorldRenderWork* w, LgLight* light, const LgMatrix* transform, float scale,
                 const LgSurfaceProperties* surface, Cone cone) {
    const LgMatrix m = light_matrix(light);
    const LgVector p = to_space(m.pos, transform, true);
    const float r = transform != nullptr ? light->radius * scale : light->radius;
    LgVector axis = m.at;
    if (transform != nullptr) {
        const LgVector t = to_space(m.at, transform, false);
        LgVectorNormalize(&axis, &t);
    }
    const float c = light->coneAngle;
    const float r2 = r * r, recipR = r != 0.0f ? 1.0f / r : 0.0f;
    const float diffuse = surface->diffuse * 255.0f;
    for (int32_t i = 0; i < w->numVertices; ++i) {
        const LgIm3DVertex& v = vertex_at(w, i);
        LgVector d;
        LgVectorSub(&d, &p, &v.position);
        const float n = LgVectorDotProduct(&v.normal, &d);
        const float d2 = LgVectorDotProduct(&d, &d);
        if (!positive(n) || !(d2 < r2)) continue;
        const float dist = std::sqrt(d2);
        float f = ((dist != 0.0f ? 1.0f / dist : 0.0f) - recipR) * n * diffuse;
        if (cone != Cone::None) {
            const float along = LgVectorDotProduct(&d, &axis);
            if (!(along < dist * c)) continue;
            if (cone == Cone::Soft) {
                const float s = dist * c + dist;
                if (positive(s)) {
                    const float t = (along + dist) / s;
                    f *= 1.0f - t * t;
                }
            }
        }
        add_light(w->accumulators[i], light, f);
    }
}

void light_point(void* context, LgLight* light, const LgMatrix* transform, float scale,
                 const LgSurfaceProperties* surface) {
    light_local(static_cast<LgWorldRenderWork*>(context), light, transform, scale, surface,
                Cone::None);
}

void light_spot(void* context, LgLight* light, const LgMatrix* transform, float scale,
                const LgSurfaceProperties* surface) {
    light_local(static_cast<LgWorldRenderWork*>(context), light, transform, scale, surface,
                Cone::Hard);
}

void light_soft_spot(void* context, LgLight* light, const LgMatrix* transform, float scale,
                     const LgSurfaceProperties* surface) {
    light_local(static_cast<LgWorldRenderWork*>(context), light, transform, scale, surface,
                Cone::Soft);
}

} // namespace

int32_t LgWorldLightSetup(LgLight* light) {
    switch (LgLightGetType(light)) {
    case LgLightDirectional: light->lightingFunction = light_directional; break;
    case LgLightAmbient: light->lightingFunction = light_ambient; break;
    case LgLightPoint: light->lightingFunction = light_point; break;
    case LgLightSpot: light->lightingFunction = light_spot; break;
    case LgLightSoftSpot: light->lightingFunction = light_soft_spot; break;
    default: light->lightingFunction = nullptr; break;
    }
    return 1;
}

void LgWorldApplyOneLight(void* context, LgLight* light, const LgMatrix* transform, float scale,
                          const LgSurfaceProperties* surface) {
    static_cast<LgWorldRenderWork*>(context)->lightingFlags |= LgLightingLit;
    if (light->lightingFunction != nullptr)
        light->lightingFunction(context, light, transform, scale, surface);
}

void LgWorldLightingStage(void* work, void* apply) {
    auto* w = static_cast<LgWorldRenderWork*>(work);
    const auto* world = static_cast<const LgWorld*>(LgEngineInstancePtr->currentWorld);
    if (world == nullptr || (world->header.flags & LgWorldLight) == 0) return;
    const auto applyOne = reinterpret_cast<LgLightApplyFunc>(apply);
    const LgSurfaceProperties* surface = &world->surfaceProps;
    for (LgLink* l = world->globalLightList.next; l != &world->globalLightList; l = l->next) {
        LgLight* light = LgLightOfWorldLink(l);
        if ((light->object.header.flags & LgLightLightWorld) != 0)
            applyOne(w, light, nullptr, 1.0f, surface);
    }
    auto* sector = static_cast<LgAtomicSector*>(w->object);
    for (LgLink* l = sector->lightsInWorldSector.next; l != &sector->lightsInWorldSector;
         l = l->next) {
        auto* light = static_cast<LgLight*>(LgTieOfSectorLink(l)->object);
        if ((light->object.header.flags & LgLightLightWorld) != 0)
            applyOne(w, light, nullptr, 1.0f, surface);
    }
}
