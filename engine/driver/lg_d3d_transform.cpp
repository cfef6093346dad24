// The driver's transform stage, with the fog of the driver's own tables.
#include "engine/driver/lg_d3d_transform.h"

#include "engine/core/lg_im3d.h"
#include "engine/driver/lg_d3d_state.h"

namespace {

// The specular word of a camera-space depth: the fog factor of the current table.
uint32_t fog_for(float z, float fogEnd) {
    const LgD3DDriverState& d = LgD3DDriver;
    if (z <= d.fogStart) return d.fogTableDevice[0];
    if (z >= fogEnd) return d.fogTableDevice[255];
    int32_t index = static_cast<int32_t>((z - d.fogStart) * d.fogScale + 0.5f);
    // The scale comes from the camera's far clip, which may differ from the fog end.
    index = index < 0 ? 0 : (index > 255 ? 255 : index);
    return d.fogTableDevice[index];
}

} // namespace

void LgD3DTransformStage(void* work) {
    auto* w = static_cast<LgIm3DWork*>(work);
    LgIm3DState& s = LgIm3DGlobal;
    LgIm3DContext* context = s.current;
    if (w == nullptr || context == nullptr) return;
    const LgIm3DProjection& p = s.projection;
    const bool parallel = p.projection == LgCameraParallel;
    const LgMatrix& m = w->matrix;
    LgIm3DCameraVertex* camera = s.cameraVertices + w->first;
    LgIm3DScreenVertex* screen = s.screenVertices + w->first;
    const uint8_t* source = w->vertices;
    uint32_t anyCode = 0;
    uint32_t allCodes = ~0u;
    for (int32_t i = 0; i < w->count; ++i, source += w->stride) {
        const LgVector& q = reinterpret_cast<const LgIm3DVertex*>(source)->position;
        LgIm3DCameraVertex& c = camera[i];
        c.x = q.x * m.right.x + q.y * m.up.x + q.z * m.at.x + m.pos.x;
        c.y = q.x * m.right.y + q.y * m.up.y + q.z * m.at.y + m.pos.y;
        c.z = q.x * m.right.z + q.y * m.up.z + q.z * m.at.z + m.pos.z;
        c.clipFlags = LgIm3DClipCode(c.x, c.y, c.z, p);
        if (c.clipFlags == 0) {
            LgIm3DScreenVertex& v = screen[i];
            const float r = parallel ? 1.0f : 1.0f / c.z;
            v.recipZ = r;
            v.z = parallel ? p.zScale * c.z + p.zOffset : p.zScale * r + p.zOffset;
            v.x = c.x * r * p.xScale + p.xOffset;
            v.y = c.y * r * p.yScale + p.yOffset;
            v.specular = fog_for(c.z, p.fogEnd);
        }
        anyCode |= c.clipFlags;
        allCodes &= c.clipFlags;
    }
    context->anyClipped = anyCode;
    context->nothingToDraw = allCodes;
    if (allCodes == 0 && context->perVertex != nullptr) context->perVertex(w);
}
