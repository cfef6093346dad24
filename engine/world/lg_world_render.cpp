// The world render pipelines: the pipeline table, sector and atomic instancing into the
// resources arena, the pre- and post-light stages, the render stage that draws each material
// group, and the sector walk that draws the world and its atomics.
#include "engine/world/lg_world_render.h"

#include "engine/core/lg_camera.h"
#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_frame.h"
#include "engine/core/lg_im3d.h"
#include "engine/core/lg_immediate.h"
#include "engine/core/lg_link.h"
#include "engine/core/lg_pipeline.h"
#include "engine/core/lg_resources.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_mesh.h"
#include "engine/world/lg_world_tie.h"

#include <cmath>
#include <cstring>

namespace {

// Instancing modes and vertex strides by (flags & textured): modes pass through to immediate
// mode; the textured form carries u, v.
constexpr uint16_t modeUntextured = 0, modeTextured = 2;
constexpr int32_t indexStride = 6;

// Render states the render stage sets.
constexpr int32_t stateTextureAddress = 2;
constexpr int32_t stateTextureFilter = 7;
constexpr int32_t stateVertexAlpha = 11;
constexpr int32_t stateBorderColour = 12;
constexpr uint32_t addressBorder = 4;

// The interpolator's bit that says the morph position moved since the last instancing.
constexpr uint32_t interpolationChanged = 0x01;
// Geometry lock bits the atomic instancing refreshes from.
constexpr uint16_t lockPositions = 0x02, lockNormals = 0x04, lockTexCoords = 0x08,
                   lockPrelit = 0x20;

constexpr float materialScale = 0.003921569f; // 1 / 255

// The work records of the two pipelines and the per-vertex scratch they share: one pipeline
// runs at a time, from its instancing stage to its render stage.
LgWorldRenderWork sectorWork;
LgWorldRenderWork atomicWork;
float (*accumulators)[4] = nullptr;
uint32_t* packedFor = nullptr; // the mesh number + 1 a vertex was last packed for
int32_t scratchCapacity = 0;

const LgMemoryFunctions& memory() {
    return LgEngineInstancePtr->memoryFunctions;
}

bool reserve_scratch(int32_t vertices) {
    if (vertices <= scratchCapacity) return true;
    void* a = memory().realloc(accumulators, static_cast<size_t>(vertices) * sizeof(float[4]));
    if (a == nullptr) return false;
    accumulators = static_cast<float(*)[4]>(a);
    void* p = memory().realloc(packedFor, static_cast<size_t>(vertices) * sizeof(uint32_t));
    if (p == nullptr) return false;
    packedFor = static_cast<uint32_t*>(p);
    scratchCapacity = vertices;
    return true;
}

int32_t triangle_count(LgMeshHeader* mesh) {
    const LgMesh* meshes = LgMeshHeaderGetMeshes(mesh);
    int32_t n = 0;
    for (uint32_t m = 0; m < mesh->numMeshes; ++m) {
        const auto count = static_cast<int32_t>(meshes[m].numIndices);
        n += (mesh->flags & LgMeshHeaderTriStrip) != 0 ? (count > 2 ? count - 2 : 0) : count / 3;
    }
    return n;
}

// Lists are copied; a strip s of n indices gives n - 2 triangles, every second one with its
// first two vertices swapped to keep the winding.
void expand_indices(LgMeshHeader* mesh, uint16_t* out) {
    const LgMesh* meshes = LgMeshHeaderGetMeshes(mesh);
    const bool strips = (mesh->flags & LgMeshHeaderTriStrip) != 0;
    for (uint32_t m = 0; m < mesh->numMeshes; ++m) {
        const uint16_t* s = meshes[m].indices;
        const uint32_t n = meshes[m].numIndices;
        if (!strips) {
            const uint32_t whole = n - n % 3;
            std::memcpy(out, s, whole * sizeof(uint16_t));
            out += whole;
            continue;
        }
        for (uint32_t i = 0; i + 2 < n; ++i) {
            const uint32_t odd = i & 1;
            *out++ = s[i + odd];
            *out++ = s[i + 1 - odd];
            *out++ = s[i + 2];
        }
    }
}

LgIm3DVertex& vertex_at(LgInstancedData* d, int32_t i) {
    return *reinterpret_cast<LgIm3DVertex*>(d->vertices + static_cast<size_t>(i) * d->vertexStride);
}

// The entry kept for the owner, rebuilt when the mesh, mode or stride changed; null when
// there is nothing to draw or no room. `fresh` tells the caller to fill every part.
LgInstancedData* instanced_entry(void* owner, LgResEntry** ref, LgMeshHeader* mesh,
                                 int32_t vertices, uint32_t flags, bool& fresh) {
    const bool textured = (flags & LgWorldTextured) != 0;
    const int32_t stride =
        textured ? static_cast<int32_t>(sizeof(LgIm3DVertex)) : LgIm3DVertexStrideUntextured;
    const uint16_t mode = textured ? modeTextured : modeUntextured;
    if (*ref != nullptr) {
        const auto* d = static_cast<const LgInstancedData*>(LgResourcesEntryData(*ref));
        if (d->serialNum != mesh->serialNum || d->instancingMode != mode ||
            d->vertexStride != stride)
            LgResourcesFreeEntry(*ref);
    }
    if (*ref != nullptr) {
        LgResourcesUseEntry(*ref);
        fresh = false;
        auto* d = static_cast<LgInstancedData*>(LgResourcesEntryData(*ref));
        d->objectFlags = flags;
        return d;
    }
    const int32_t triangles = triangle_count(mesh);
    if (triangles == 0 || vertices == 0) return nullptr;
    const size_t size = sizeof(LgInstancedData) + static_cast<size_t>(stride) * vertices +
                        static_cast<size_t>(indexStride) * triangles;
    if (LgResourcesAllocateEntry(owner, ref, static_cast<int32_t>(size), nullptr) == nullptr)
        return nullptr;
    auto* d = static_cast<LgInstancedData*>(LgResourcesEntryData(*ref));
    d->serialNum = mesh->serialNum;
    d->objectFlags = flags;
    d->numVertices = vertices;
    d->vertexStride = stride;
    d->vertices = reinterpret_cast<uint8_t*>(d + 1);
    d->numTriangles = triangles;
    d->indexStride = indexStride;
    d->indexOffset = stride * vertices;
    d->indices = reinterpret_cast<uint16_t*>(d->vertices + d->indexOffset);
    d->instancingMode = mode;
    d->lightingFlags = 0;
    d->mesh = mesh;
    expand_indices(mesh, d->indices);
    fresh = true;
    return d;
}

// Opens immediate mode's transform of the instanced vertices and makes the work record.
void* start_transform(LgWorldRenderWork& w, void* object, LgInstancedData* d,
                      const LgMatrix* matrix) {
    if (!reserve_scratch(d->numVertices)) return nullptr;
    const LgIm3DTransformRequest request = {
        d->vertices, d->numVertices,
        d->instancingMode == modeTextured ? LgIm3DTransformTextured : 0u, matrix};
    const auto* im3d = static_cast<const LgIm3DWork*>(
        LgIm3DInstanceStage(const_cast<LgIm3DTransformRequest*>(&request)));
    if (im3d == nullptr) return nullptr;
    w.im3d = *im3d;
    w.object = object;
    w.data = d;
    w.objectFlags = d->objectFlags;
    w.lightingFlags = 0;
    w.accumulators = accumulators;
    w.numVertices = d->numVertices;
    return &w;
}

void* sector_instance(void* object) {
    auto* sector = static_cast<LgAtomicSector*>(object);
    const auto* world = static_cast<const LgWorld*>(LgEngineInstancePtr->currentWorld);
    if (sector == nullptr || world == nullptr || sector->mesh == nullptr) return nullptr;
    const uint32_t flags = world->header.flags;
    bool fresh = false;
    LgInstancedData* d = instanced_entry(sector, &sector->instancedResource, sector->mesh,
                                         sector->numVertices, flags, fresh);
    if (d == nullptr) return nullptr;
    if (fresh) {
        for (int32_t i = 0; i < d->numVertices; ++i) {
            LgIm3DVertex& v = vertex_at(d, i);
            v.position = sector->vertices[i];
            v.normal = {0.0f, 0.0f, 0.0f};
            if ((flags & LgWorldNormals) != 0 && sector->normals != nullptr) {
                const LgWorldNormal& n = sector->normals[i];
                v.normal = {n.x * 0.0078125f, n.y * 0.0078125f, n.z * 0.0078125f};
            }
            v.color = (flags & LgWorldPrelit) != 0 && sector->preLitLum != nullptr
                          ? sector->preLitLum[i]
                          : LgRGBA{0, 0, 0, 255};
            if ((flags & LgWorldTextured) != 0 && sector->texCoords != nullptr) {
                v.u = sector->texCoords[i].u;
                v.v = sector->texCoords[i].v;
            }
        }
    }
    return start_transform(sectorWork, sector, d, nullptr);
}

// Positions and normals at the atomic's morph position: interpolated between two valid,
// different targets, else the start target's (target 0 when it is out of range).
void fill_morph(LgInstancedData* d, const LgAtomic* atomic, const LgGeometry* g) {
    const int32_t n = g->numMorphTargets;
    const int32_t s = atomic->interpolator.startMorphTarget;
    const int32_t e = atomic->interpolator.endMorphTarget;
    const bool sValid = s >= 0 && s < n, eValid = e >= 0 && e < n;
    const LgMorphTarget& from = g->morphTarget[sValid ? s : 0];
    const bool blend = s != e && sValid && eValid;
    const LgMorphTarget& to = g->morphTarget[blend ? e : (sValid ? s : 0)];
    const float t = blend ? atomic->interpolator.position * atomic->interpolator.recipTime : 0.0f;
    const bool normals = (g->header.flags & LgGeometryNormals) != 0 && from.normals != nullptr &&
                         to.normals != nullptr;
    for (int32_t i = 0; i < d->numVertices; ++i) {
        LgIm3DVertex& v = vertex_at(d, i);
        const LgVector &a = from.verts[i], &b = to.verts[i];
        v.position = {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
        if (normals) {
            const LgVector &na = from.normals[i], &nb = to.normals[i];
            v.normal = {na.x + (nb.x - na.x) * t, na.y + (nb.y - na.y) * t,
                        na.z + (nb.z - na.z) * t};
        } else {
            v.normal = {0.0f, 0.0f, 0.0f};
        }
    }
}

void* atomic_instance(void* object) {
    auto* atomic = static_cast<LgAtomic*>(object);
    LgGeometry* g = atomic != nullptr ? atomic->geometry : nullptr;
    if (g == nullptr || g->mesh == nullptr || g->numMorphTargets == 0) return nullptr;
    const uint32_t flags = g->header.flags;
    bool fresh = false;
    LgInstancedData* d =
        instanced_entry(atomic, reinterpret_cast<LgResEntry**>(&atomic->instancedResource), g->mesh,
                        g->numVertices, flags, fresh);
    if (d == nullptr) return nullptr;
    const uint16_t lock = g->lockFlags;
    if (!fresh && (lock & LgGeometryLockTriangles) != 0) expand_indices(g->mesh, d->indices);
    if ((fresh || (lock & lockTexCoords) != 0) && (flags & LgGeometryTextured) != 0 &&
        g->texCoords != nullptr)
        for (int32_t i = 0; i < d->numVertices; ++i) {
            vertex_at(d, i).u = g->texCoords[i].u;
            vertex_at(d, i).v = g->texCoords[i].v;
        }
    if (fresh || (lock & lockPrelit) != 0) {
        const bool prelit = (flags & LgGeometryPrelit) != 0 && g->preLitLum != nullptr;
        for (int32_t i = 0; i < d->numVertices; ++i)
            vertex_at(d, i).color = prelit ? g->preLitLum[i] : LgRGBA{0, 0, 0, 255};
    }
    if (fresh || (atomic->interpolator.flags & interpolationChanged) != 0 ||
        (lock & (lockPositions | lockNormals)) != 0)
        fill_morph(d, atomic, g);
    atomic->interpolator.flags &= ~interpolationChanged;
    LgFrame* frame = LgAtomicGetFrame(atomic);
    return start_transform(atomicWork, atomic, d,
                           frame != nullptr ? LgFrameGetWorldMatrix(frame) : nullptr);
}

bool aborted() {
    const LgIm3DContext* c = LgIm3DGlobal.current;
    return c == nullptr || c->nothingToDraw != 0;
}

void pre_light(void* work) {
    auto* w = static_cast<LgWorldRenderWork*>(work);
    if (aborted()) return;
    for (int32_t i = 0; i < w->numVertices; ++i) {
        const LgRGBA& c = vertex_at(w->data, i).color;
        float* a = w->accumulators[i];
        a[0] = c.red;
        a[1] = c.green;
        a[2] = c.blue;
        a[3] = c.alpha;
    }
}

float clamp_channel(float v) {
    return v > 255.0f ? 255.0f : (v < 0.0f ? 0.0f : v);
}

uint32_t channel(float v) {
    return static_cast<uint32_t>(std::lrint(v)) & 0xff;
}

uint32_t pack(const float* a) {
    return channel(a[3]) << 24 | channel(a[0]) << 16 | channel(a[1]) << 8 | channel(a[2]);
}

LgIm3DScreenVertex* screen_vertices(const LgWorldRenderWork* w) {
    return LgIm3DGlobal.screenVertices + w->im3d.first;
}

void post_light(void* work) {
    auto* w = static_cast<LgWorldRenderWork*>(work);
    if (aborted()) return;
    const bool lit = (w->lightingFlags & LgLightingLit) != 0;
    if (lit)
        for (int32_t i = 0; i < w->numVertices; ++i)
            for (int k = 0; k < 3; ++k)
                w->accumulators[i][k] = clamp_channel(w->accumulators[i][k]);
    // Modulated colours are packed per material by the render stage.
    if ((w->objectFlags & LgWorldModulateMaterialColor) != 0) return;
    LgIm3DScreenVertex* out = screen_vertices(w);
    for (int32_t i = 0; i < w->numVertices; ++i) out[i].colour = pack(w->accumulators[i]);
}

void* word(uintptr_t value) {
    return reinterpret_cast<void*>(value);
}

// Packs the colours of the vertices the mesh uses, modulated by the material colour when
// asked, each vertex once per mesh.
void pack_mesh_vertices(LgWorldRenderWork* w, const uint16_t* indices, int32_t count,
                        uint32_t meshNumber, const LgRGBA* modulate) {
    LgIm3DScreenVertex* out = screen_vertices(w);
    for (int32_t k = 0; k < count; ++k) {
        const uint16_t i = indices[k];
        if (packedFor[i] == meshNumber) continue;
        packedFor[i] = meshNumber;
        const float* a = w->accumulators[i];
        if (modulate == nullptr) {
            out[i].colour = pack(a);
            continue;
        }
        const float m[4] = {a[0] * (modulate->red * materialScale),
                            a[1] * (modulate->green * materialScale),
                            a[2] * (modulate->blue * materialScale), float(modulate->alpha)};
        out[i].colour = pack(m);
    }
}

void render_stage(void* work) {
    auto* w = static_cast<LgWorldRenderWork*>(work);
    if (aborted()) return;
    LgInstancedData* d = w->data;
    const bool modulate = (w->objectFlags & LgWorldModulateMaterialColor) != 0;
    std::memset(packedFor, 0, static_cast<size_t>(w->numVertices) * sizeof(uint32_t));
    LgIm3DReserveIndices(d->numTriangles);
    LgRenderStateSet(LgRenderStateShadeMode, word(LgShadeModeGouraud));
    LgMeshHeader* mesh = d->mesh;
    const LgMesh* meshes = LgMeshHeaderGetMeshes(mesh);
    const bool strips = (mesh->flags & LgMeshHeaderTriStrip) != 0;
    const LgRGBA opaqueWhite = {255, 255, 255, 255};
    int32_t first = 0;
    for (uint32_t m = 0; m < mesh->numMeshes; ++m) {
        const auto n = static_cast<int32_t>(meshes[m].numIndices);
        const int32_t triangles = strips ? (n > 2 ? n - 2 : 0) : n / 3;
        const uint16_t* indices = d->indices + 3 * first;
        first += triangles;
        if (triangles == 0) continue;
        // A mesh without a material (geometry made in code) draws opaque white, untextured.
        const LgMaterial* material = meshes[m].material;
        const LgRGBA colour = material != nullptr ? material->color : opaqueWhite;
        const LgTexture* texture = material != nullptr ? material->texture : nullptr;
        const bool white = std::memcmp(&colour, &opaqueWhite, sizeof(colour)) == 0;
        if (white || !modulate) {
            LgRenderStateSet(stateVertexAlpha, word(0));
            if (modulate) pack_mesh_vertices(w, indices, 3 * triangles, m + 1, nullptr);
        } else {
            LgRenderStateSet(stateVertexAlpha, word(colour.alpha < 255 ? 1 : 0));
            pack_mesh_vertices(w, indices, 3 * triangles, m + 1, &colour);
        }
        LgRaster* raster = texture != nullptr ? texture->raster : nullptr;
        LgRenderStateSet(LgRenderStateTextureRaster, raster);
        if (raster != nullptr) {
            const uint32_t address =
                texture->addressingU == texture->addressingV ? texture->addressingU : 0;
            LgRenderStateSet(stateTextureFilter, word(texture->filterMode));
            LgRenderStateSet(stateTextureAddress, word(address));
            if (address == addressBorder)
                LgRenderStateSet(stateBorderColour,
                                 word(uint32_t{colour.alpha} << 24 | uint32_t{colour.red} << 16 |
                                      uint32_t{colour.green} << 8 | colour.blue));
        }
        LgIm3DRenderIndexedPrimitive(LgPrimTriList, indices, 3 * triangles);
    }
}

void fill_pipeline(LgPipeline* p, void* (*instance)(void*)) {
    p->stage0 = instance;
    p->stage2 = pre_light;
    p->parameter = reinterpret_cast<void*>(&LgWorldApplyOneLight);
    p->stage5 = post_light;
    p->stage6 = render_stage;
}

int32_t plugin_init() {
    return 1;
}

int32_t atomic_pipeline_setup(LgPipeline* p) {
    if (p == nullptr) return 0;
    fill_pipeline(p, atomic_instance);
    return 1;
}

int32_t sector_pipeline_setup(LgPipeline* p) {
    if (p == nullptr) return 0;
    fill_pipeline(p, sector_instance);
    return 1;
}

const LgWorldPipelineTable pipelineTable = {plugin_init, atomic_pipeline_setup,
                                            sector_pipeline_setup, LgWorldLightSetup};

LgAtomic* atomic_of_tie(LgLink* link) {
    return static_cast<LgAtomic*>(LgTieOfSectorLink(link)->object);
}

void render_tied_atomics(LgLink* head, const LgCamera* camera, uint16_t stamp) {
    for (LgLink* l = head->next; l != head;) {
        LgLink* next = l->next;
        LgAtomic* atomic = atomic_of_tie(l);
        l = next;
        if (atomic == nullptr || (atomic->object.header.flags & LgAtomicRender) == 0 ||
            atomic->renderFrame == stamp)
            continue;
        atomic->renderFrame = stamp;
        if (LgCameraFrustumTestSphere(camera, LgAtomicGetWorldBoundingSphere(atomic)) !=
            LgFrustumOutside)
            atomic->renderCallBack(atomic);
    }
}

} // namespace

const LgWorldPipelineTable* LgWorldGetPipelineTable() {
    return &pipelineTable;
}

void LgWorldReleaseRenderScratch() {
    if (accumulators != nullptr) memory().free(accumulators);
    if (packedFor != nullptr) memory().free(packedFor);
    accumulators = nullptr;
    packedFor = nullptr;
    scratchCapacity = 0;
}

LgAtomicSector* LgWorldSectorRenderDefault(LgAtomicSector* sector) {
    LgPipeline* pipeline = LgWorldGetDefaultSectorPipeline();
    if (pipeline == nullptr) return nullptr;
    if (LgPipelinePush(pipeline) == nullptr) {
        LgPipelinePop();
        return nullptr;
    }
    auto* result = static_cast<LgAtomicSector*>(LgPipelineExecute(sector));
    LgPipelinePop();
    return result;
}

LgAtomicSector* LgWorldSectorRender(LgAtomicSector* sector) {
    const auto* world = static_cast<const LgWorld*>(LgEngineInstancePtr->currentWorld);
    if (world == nullptr || world->renderCallBack == nullptr) return nullptr;
    return world->renderCallBack(sector);
}

LgWorld* LgWorldRenderAtomicsInView(LgWorld* world) {
    LgCamera* camera = LgEngineInstancePtr->currentCamera;
    if (world == nullptr || camera == nullptr) return world;
    const LgCameraTieSlice* s = LgCameraTies(camera);
    const uint16_t stamp = LgEngineInstancePtr->stamps[LgStampFrame];
    for (int32_t i = 0; i < s->count; ++i) {
        LgAtomicSector* sector = s->sectors[i];
        if (LgWorldSectorRender(sector) == nullptr) continue;
        render_tied_atomics(&sector->collAtomicsInWorldSector, camera, stamp);
        render_tied_atomics(&sector->noCollAtomicsInWorldSector, camera, stamp);
    }
    return world;
}
