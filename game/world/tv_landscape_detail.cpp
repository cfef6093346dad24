// The detail pass: after the engine has drawn a world sector, a faint repeating detail
// texture is laid over its triangles near the camera, fading out with depth.
#include "engine/world/lg_mesh.h"
#include "engine/world/lg_world_render.h"
#include "game/world/tavrin_bsp_landscape.h"

#include <utility>

namespace {

// Sectors whose first vertex is this deep or deeper get no detail.
constexpr float kDetailFarDepth = 1400.0f;
constexpr float kDetailFadeRate = 0.14285715f; // 1 / 7: the alpha falls by 1 every 7 units
constexpr int32_t kDetailMaxAlpha = 50;
// The detail texture repeats every 100 units.
constexpr float kDetailRepeat = 0.01f;

constexpr int32_t kStateTexture = 1;
constexpr int32_t kStateSourceBlend = 9;
constexpr int32_t kStateDestinationBlend = 10;
constexpr int32_t kStateVertexAlpha = 11;
constexpr int32_t kStateDetail = 19;
constexpr uintptr_t kBlendSourceAlpha = 5, kBlendInverseSourceAlpha = 6;

TvSectorStage saved_stage = nullptr;

void set_state(int32_t state, uintptr_t value) {
    LgRenderStateSet(state, reinterpret_cast<void*>(value));
}

// Draws one triangle of the current transform as the engine's dispatch does.
void draw_triangle(const LgIm3DCameraVertex* cam, int32_t a, int32_t b, int32_t c) {
    LgIm3DState& s = LgIm3DGlobal;
    const uint32_t ca = cam[a].clipFlags, cb = cam[b].clipFlags, cc = cam[c].clipFlags;
    if ((ca & cb & cc) != 0) return;
    if ((ca | cb | cc) != 0) {
        if (s.hooks.backfaceCamera(a, b, c) == 1) return;
        if (LgIm3DEnsureClipRoom()) s.hooks.clipTriangle(a, b, c);
        return;
    }
    if (s.hooks.backfaceScreen(a, b, c) == 1) return;
    s.hooks.submitTriangle(a, b, c);
}

// Only meshes of a plain (not cut-out) texture take the detail.
bool takes_detail(const LgMaterial* material) {
    const LgTexture* texture = material != nullptr ? material->texture : nullptr;
    return texture != nullptr && LgTextureGetMaskName(texture)[0] == '\0';
}

void draw_mesh(const LgMesh& mesh, bool strips, const LgIm3DCameraVertex* cam, int32_t vertices) {
    if (!takes_detail(mesh.material) || mesh.numIndices < 3) return;
    if (!LgIm3DBeginBatch()) return;
    LgIm3DReserveIndices(static_cast<int32_t>(mesh.numIndices));
    const uint32_t step = strips ? 1 : 3;
    for (uint32_t i = 0; i + 2 < mesh.numIndices; i += step) {
        int32_t a = mesh.indices[i], b = mesh.indices[i + 1];
        const int32_t c = mesh.indices[i + 2];
        // Every second strip triangle is wound the other way; swapping keeps it facing up.
        if (strips && (i & 1) != 0) std::swap(a, b);
        if (a >= vertices || b >= vertices || c >= vertices) continue;
        draw_triangle(cam, a, b, c);
    }
    LgIm3DGlobal.hooks.end();
}

} // namespace

int32_t TvDetailAlpha(float depth, bool* near) {
    auto a = static_cast<int32_t>(50.0f - depth * kDetailFadeRate);
    if (a < 0) return 0;
    *near = true;
    a += a / 2;
    return a < kDetailMaxAlpha ? a : kDetailMaxAlpha;
}

TvSectorStage TvSavedSectorStage() {
    return saved_stage;
}

void TvInstallDetailPass(bool on) {
    LgPipeline* pipeline = LgWorldGetDefaultSectorPipeline();
    if (pipeline == nullptr) return;
    if (saved_stage == nullptr && pipeline->stage6 != TvLandscapeDetailPipeline)
        saved_stage = pipeline->stage6;
    if (on)
        pipeline->stage6 = TvLandscapeDetailPipeline;
    else if (saved_stage != nullptr)
        pipeline->stage6 = saved_stage;
}

void TvLandscapeDetailPipeline(void* work) {
    if (saved_stage != nullptr) saved_stage(work);
    const TavrinBSPLandscape* landscape = TavrinBSPLandscape::instance;
    const LgIm3DContext* context = LgIm3DGlobal.current;
    if (landscape == nullptr || landscape->detail == nullptr || context == nullptr ||
        context->nothingToDraw != 0)
        return;
    auto* w = static_cast<LgWorldRenderWork*>(work);
    const auto* sector = static_cast<const LgAtomicSector*>(w->object);
    if (sector == nullptr || sector->mesh == nullptr || sector->numVertices == 0) return;
    LgIm3DCameraVertex* cam = LgIm3DGlobal.cameraVertices + w->im3d.first;
    LgIm3DScreenVertex* screen = LgIm3DGlobal.screenVertices + w->im3d.first;
    if (cam[0].z >= kDetailFarDepth) return;

    set_state(kStateDetail, 1);
    LgRenderStateSet(kStateTexture, LgTextureGetRaster(landscape->detail));
    set_state(kStateVertexAlpha, 1);
    const LgVector origin =
        TvCurrentMapWorld != nullptr ? *LgWorldGetOrigin(TvCurrentMapWorld) : LgVector{0, 0, 0};
    const int32_t count = sector->numVertices;
    bool near = false;
    for (int32_t i = 0; i < count; ++i) {
        const auto alpha = static_cast<uint32_t>(TvDetailAlpha(cam[i].z, &near));
        const LgVector& p = sector->vertices[i];
        const float u = (p.x - origin.x) * kDetailRepeat, v = (p.z - origin.z) * kDetailRepeat;
        cam[i].u = screen[i].u = u;
        cam[i].v = screen[i].v = v;
        screen[i].colour = alpha << 24 | 0xffffff;
    }
    if (near) {
        const LgMeshHeader* header = sector->mesh;
        const LgMesh* meshes = LgMeshHeaderGetMeshes(const_cast<LgMeshHeader*>(header));
        const bool strips = (header->flags & LgMeshHeaderTriStrip) != 0;
        for (uint32_t m = 0; m < header->numMeshes; ++m) draw_mesh(meshes[m], strips, cam, count);
    }
    set_state(kStateSourceBlend, kBlendSourceAlpha);
    set_state(kStateDestinationBlend, kBlendInverseSourceAlpha);
    set_state(kStateDetail, 0);
}
