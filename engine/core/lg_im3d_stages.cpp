// The stages of the immediate-mode pipeline (instancing, the device-independent transform,
// colours) and the module that holds that pipeline (engine module 0x40a).
#include "engine/core/lg_im3d.h"

#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_immediate.h"
#include "engine/core/lg_matrix.h"
#include "engine/core/lg_module.h"
#include "engine/core/lg_pipeline.h"

namespace {

LgModule im3DPipelineModule;

// Batches above this size are refused rather than risk overflowing the buffer arithmetic.
constexpr int32_t maxTransformCount = 1 << 22;

const LgIm3DVertex& source_vertex(const LgIm3DWork* w, int32_t i) {
    return *reinterpret_cast<const LgIm3DVertex*>(w->vertices + static_cast<size_t>(i) * w->stride);
}

void* copy_texture_coordinates(LgIm3DWork* w) {
    LgIm3DState& s = LgIm3DGlobal;
    LgIm3DCameraVertex* cam = s.cameraVertices + w->first;
    LgIm3DScreenVertex* scr = s.screenVertices + w->first;
    for (int32_t i = 0; i < w->count; ++i) {
        const LgIm3DVertex& v = source_vertex(w, i);
        cam[i].u = scr[i].u = v.u;
        cam[i].v = scr[i].v = v.v;
    }
    return w;
}

} // namespace

void* LgIm3DInstanceStage(void* object) {
    const auto* request = static_cast<const LgIm3DTransformRequest*>(object);
    LgIm3DState& s = LgIm3DGlobal;
    LgIm3DContext* c = s.current;
    const LgCamera* camera = LgEngineInstancePtr->currentCamera;
    if (c == nullptr || camera == nullptr || request == nullptr || request->vertices == nullptr ||
        request->count <= 0 || request->count > maxTransformCount)
        return nullptr;
    // A context transforms one batch; running the stage again replaces it.
    s.inUse = c->first;
    const int32_t count = request->count;
    if (s.inUse + count + count / 4 > s.capacity && !LgIm3DReserveVertices(count + count / 4))
        return nullptr;
    const bool textured = (request->flags & LgIm3DTransformTextured) != 0;
    c->perVertex = textured ? copy_texture_coordinates : nullptr;
    LgIm3DWork& w = c->work;
    w.vertices = static_cast<const uint8_t*>(request->vertices);
    w.count = count;
    w.stride = textured ? static_cast<int32_t>(sizeof(LgIm3DVertex)) : LgIm3DVertexStrideUntextured;
    w.flags = request->flags;
    w.mode = 0;
    w.first = c->first;
    if (request->matrix != nullptr)
        LgMatrixMultiply(&w.matrix, request->matrix, &camera->viewMatrix);
    else
        w.matrix = camera->viewMatrix;
    c->count = count;
    s.inUse = c->first + count;
    c->nextFree = s.inUse;
    c->nothingToDraw = ~0u;
    c->anyClipped = 0;
    return &w;
}

void LgIm3DTransformStage(void* work) {
    auto* w = static_cast<LgIm3DWork*>(work);
    LgIm3DState& s = LgIm3DGlobal;
    const LgIm3DProjection& p = s.projection;
    const bool parallel = p.projection == LgCameraParallel;
    const LgMatrix& m = w->matrix;
    LgIm3DCameraVertex* cam = s.cameraVertices + w->first;
    LgIm3DScreenVertex* scr = s.screenVertices + w->first;
    uint32_t anyCode = 0, allCodes = ~0u;
    for (int32_t i = 0; i < w->count; ++i) {
        const LgVector& q = source_vertex(w, i).position;
        const float x = q.x * m.right.x + q.y * m.up.x + q.z * m.at.x + m.pos.x;
        const float y = q.x * m.right.y + q.y * m.up.y + q.z * m.at.y + m.pos.y;
        const float z = q.x * m.right.z + q.y * m.up.z + q.z * m.at.z + m.pos.z;
        const uint32_t code = LgIm3DClipCode(x, y, z, p);
        LgIm3DCameraVertex& c = cam[i];
        c.x = x;
        c.y = y;
        c.z = z;
        c.clipFlags = code;
        if (code == 0) {
            LgIm3DScreenVertex& v = scr[i];
            const float r = parallel ? 1.0f : 1.0f / z;
            v.recipZ = r;
            v.z = p.zScale * (parallel ? z : r) + p.zOffset;
            v.x = x * r * p.xScale + p.xOffset;
            v.y = y * r * p.yScale + p.yOffset;
            v.specular = LgIm3DFogForDepth(z, p);
        }
        anyCode |= code;
        allCodes &= code;
    }
    if (LgIm3DContext* c = s.current) {
        c->anyClipped = anyCode;
        c->nothingToDraw = allCodes;
        if (allCodes == 0 && c->perVertex != nullptr) c->perVertex(w);
    }
}

void LgIm3DColorStage(void* work) {
    auto* w = static_cast<LgIm3DWork*>(work);
    LgIm3DScreenVertex* scr = LgIm3DGlobal.screenVertices + w->first;
    for (int32_t i = 0; i < w->count; ++i) {
        const LgRGBA& c = source_vertex(w, i).color;
        scr[i].colour = static_cast<uint32_t>(c.alpha) << 24 | static_cast<uint32_t>(c.red) << 16 |
                        static_cast<uint32_t>(c.green) << 8 | c.blue;
    }
}

int32_t LgIm3DPipelineInit(LgPipeline* pipeline) {
    if (pipeline == nullptr) return 0;
    pipeline->stage0 = LgIm3DInstanceStage;
    pipeline->stage2 = LgPipelineStageEmpty;
    pipeline->stage5 = LgIm3DColorStage;
    pipeline->stage6 = LgPipelineStageEmpty;
    return 1;
}

int32_t LgIm3DModuleInit() {
    return LgEngineRegisterPlugin(0, LgModuleImmediate, LgImmediateOpen, LgImmediateClose) >= 0;
}

LgCamera* LgIm3DCameraBeginHook(LgCamera* camera) {
    return LgImmediateCameraSetup(camera);
}

int32_t LgIm3DSetupPipeline(LgPipeline* pipeline) {
    return LgIm3DPipelineInit(pipeline);
}

LgPipeline* LgIm3DGetPipeline() {
    const auto* s = im3DPipelineModule.slice<LgIm3DPipelineSlice>();
    return s != nullptr ? s->pipeline : nullptr;
}

void* LgIm3DPipelineOpen(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgIm3DPipelineSlice>(instance, offset);
    s->pipeline = LgPipelineCreate();
    if (s->pipeline == nullptr) return nullptr;
    LgIm3DSetupPipeline(s->pipeline);
    im3DPipelineModule.offset = offset;
    ++im3DPipelineModule.openCount;
    return instance;
}

void* LgIm3DPipelineClose(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgIm3DPipelineSlice>(instance, offset);
    LgPipelineDestroy(s->pipeline);
    s->pipeline = nullptr;
    if (im3DPipelineModule.openCount > 0) --im3DPipelineModule.openCount;
    return instance;
}
