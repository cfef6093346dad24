// Building, posing and drawing the demo scene through the engine's public calls, the way game
// code does: models from chunk streams, textures through the image path, cameras on rasters.
#include "tools/demoscene/demo_scene.h"

#include "engine/core/lg_phase_timing.h"
#include "engine/driver/lg_d3d_render_states.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_geometry.h"
#include "engine/world/lg_light.h"
#include "engine/world/lg_world.h"
#include "engine/world/lg_world_tie.h"
#include "tools/demoscene/biplane_model.h"
#include "tools/demoscene/demo_textures.h"
#include "tools/demoscene/engine_error.h"
#include "tools/demoscene/terrain_model.h"
#include "tools/modelwriter/model_writer.h"
#include "tools/modelwriter/world_writer.h"

#include <cmath>
#include <numbers>

namespace demoscene {
namespace {

constexpr float degrees = std::numbers::pi_v<float> / 180.0f;
constexpr LgVector yAxis = {0, 1, 0};
constexpr LgVector zAxis = {0, 0, 1};
constexpr float cruiseSpeed = 12.0f; // units a second along the heading

void* word(uintptr_t value) {
    return reinterpret_cast<void*>(value);
}

uint32_t argb(const LgRGBA& c) {
    return uint32_t(c.alpha) << 24 | uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue;
}

LgVector normalised(LgVector v) {
    const float l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / l, v.y / l, v.z / l};
}

LgVector cross(LgVector a, LgVector b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The object the reader makes from the first chunk of the type in the bytes, or null.
template <typename T>
T* read_chunk(const std::vector<uint8_t>& bytes, uint32_t type, T* (*reader)(LgStream*)) {
    LgStreamMemory data = {const_cast<uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size())};
    LgStream* stream = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessRead, &data);
    if (stream == nullptr) return nullptr;
    T* object = LgStreamFindChunk(stream, type, nullptr, nullptr) ? reader(stream) : nullptr;
    LgStreamClose(stream, nullptr);
    return object;
}

// The sun: down from above, ahead and to the left of the camera.
constexpr LgVector sunDirection = {0.36f, -0.80f, -0.48f};

// Where plane i of n flies: spread from near the camera out into the fog, weaving left and
// right, each with its own heading and bank.
struct Pose {
    LgVector position;
    float heading; // degrees about +y
    float bank;    // degrees about the nose
};
Pose flight_pose(int32_t i, int32_t n, float seconds) {
    const float t = n > 1 ? float(i) / float(n - 1) : 0.0f;
    const float depth = 20.0f + 130.0f * std::pow(t, 1.2f);
    Pose p;
    p.heading = 50.0f * std::sin(float(i) * 1.3f + 0.4f);
    p.bank = 25.0f * std::cos(float(i) * 0.9f);
    const float travel = cruiseSpeed * seconds;
    p.position = {std::sin(float(i) * 2.4f + 0.7f) * (6.0f + depth * 0.3f) +
                      travel * std::sin(p.heading * degrees),
                  7.0f + depth * 0.08f + std::cos(float(i) * 1.7f) * 2.0f,
                  depth + travel * std::cos(p.heading * degrees)};
    return p;
}

LgAtomic* first_atomic(LgAtomic* atomic, void* data) {
    *static_cast<LgAtomic**>(data) = atomic;
    return nullptr;
}

} // namespace

bool DemoScene::fail(const std::string& step) {
    error_ = step + " failed" + recorded_engine_error();
    return false;
}

bool DemoScene::build(const SceneSpec& spec, const std::string& textureDirectory) {
    destroy();
    spec_ = spec;
    error_.clear();
    const std::string path = textureDirectory + "/";
    if (LgImageSetPath(path.c_str()) == nullptr) return fail("LgImageSetPath");
    textures_ = LgTexDictionaryCreate();
    if (textures_ == nullptr || LgTexDictionarySetCurrent(textures_) == nullptr)
        return fail("the texture dictionary");

    frameBuffer_ = LgRasterCreate(spec.width, spec.height, 0, LgRasterTypeCamera);
    zBuffer_ = LgRasterCreate(spec.width, spec.height, 0, LgRasterTypeZBuffer);
    camera_ = LgCameraCreate();
    cameraFrame_ = LgFrameCreate();
    if (frameBuffer_ == nullptr || zBuffer_ == nullptr || camera_ == nullptr ||
        cameraFrame_ == nullptr)
        return fail("the camera and its rasters");
    LgCameraSetRaster(camera_, frameBuffer_);
    LgCameraSetZRaster(camera_, zBuffer_);
    LgCameraSetFrame(camera_, cameraFrame_);
    LgCameraSetNearClipPlane(camera_, nearClip);
    LgCameraSetFarClipPlane(camera_, farClip);
    LgCameraSetFogDistance(camera_, fogDistance);
    // A 60-degree horizontal view, square pixels.
    const float halfWidth = std::tan(30.0f * degrees);
    const LgVector2 window = {halfWidth, halfWidth * float(spec.height) / float(spec.width)};
    LgCameraSetViewWindow(camera_, &window);
    if (spec.world && !build_world()) return false;

    std::vector<uint8_t> bytes;
    const modelwriter::Clump model = biplane_clump();
    if (const modelwriter::WriteResult r = modelwriter::write_clump(model, bytes); !r) {
        error_ = "writing the biplane: " + r.error;
        return false;
    }
    planeTriangles_ = static_cast<int32_t>(model.geometries[0].triangles.size());
    for (int32_t i = 0; i < spec.planes; ++i) {
        LgClump* plane =
            i == 0 ? read_chunk(bytes, LgChunkClump, LgClumpStreamRead) : LgClumpClone(planes_[0]);
        if (plane == nullptr) return fail(i == 0 ? "reading the biplane" : "cloning a biplane");
        planes_.push_back(plane);
    }
    // Clones are made before any plane joins the world: a clone copies its original's tie.
    for (LgClump* plane : planes_)
        if (world_ != nullptr && LgWorldAddClump(world_, plane) == nullptr)
            return fail("LgWorldAddClump");

    smoke_ = LgTextureRead(smokeTexture, smokeMask);
    if (smoke_ == nullptr) return fail("reading the smoke texture");
    for (int32_t k = 0; k < spec.particles; ++k) {
        const int32_t behind = spec.planes > 0 ? k / spec.planes : k;
        puffs_.push_back({spec.planes > 0 ? k % spec.planes : -1, 4.5f + 2.2f * float(behind),
                          1.6f + 0.35f * float(behind),
                          static_cast<uint8_t>(200 - std::min(150, 12 * behind))});
    }
    puffVertices_.resize(puffs_.size() * 4);
    for (size_t k = 0; k < puffs_.size(); ++k) {
        const auto v = static_cast<uint16_t>(k * 4);
        puffIndices_.insert(puffIndices_.end(), {v, uint16_t(v + 1), uint16_t(v + 2), v,
                                                 uint16_t(v + 2), uint16_t(v + 3)});
    }
    advance(0.0f);
    return true;
}

bool DemoScene::build_world() {
    const std::optional<Terrain> terrain = terrain_world();
    if (!terrain) {
        error_ = "building the terrain world failed";
        return false;
    }
    std::vector<uint8_t> bytes;
    if (const modelwriter::WriteResult r = modelwriter::write_world(terrain->world, bytes); !r) {
        error_ = "writing the terrain world: " + r.error;
        return false;
    }
    world_ = read_chunk(bytes, LgChunkWorld, LgWorldStreamRead);
    if (world_ == nullptr) return fail("reading the terrain world");
    shift_ = {terrain->shift.x, terrain->shift.y, terrain->shift.z};
    worldTriangles_ = 0;
    for (const modelwriter::WorldSector& sector : terrain->world.sectors)
        worldTriangles_ += static_cast<int32_t>(sector.triangles.size());
    LgWorldAddCamera(world_, camera_);
    // Sky fill and sunlight; the pre-lit colours carry the rest.
    return add_light(LgLightAmbient, 0.25f, nullptr) &&
           add_light(LgLightDirectional, 0.45f, &sunDirection);
}

bool DemoScene::add_light(uint8_t type, float intensity, const LgVector* direction) {
    LgLight* light = LgLightCreate(type);
    if (light == nullptr) return fail("LgLightCreate");
    lights_.push_back(light);
    const LgRGBAReal colour = {intensity, intensity, intensity, 1.0f};
    LgLightSetColor(light, &colour);
    if (direction != nullptr) {
        LgFrame* frame = LgFrameCreate();
        if (frame == nullptr) return fail("the light's frame");
        lightFrames_.push_back(frame);
        // A directional light shines along its frame's at-vector.
        LgMatrix* m = LgFrameGetMatrix(frame);
        m->at = normalised(*direction);
        m->right = normalised(cross(yAxis, m->at));
        m->up = cross(m->at, m->right);
        LgMatrixMarkChanged(m);
        LgFrameMarkDirty(frame);
        LgLightSetFrame(light, frame);
    }
    if (LgWorldAddLight(world_, light) == nullptr) return fail("LgWorldAddLight");
    return true;
}

void DemoScene::destroy() {
    for (LgClump* plane : planes_) {
        if (world_ != nullptr) LgWorldRemoveClump(world_, plane);
        LgClumpDestroy(plane);
    }
    planes_.clear();
    for (LgLight* light : lights_) {
        if (world_ != nullptr) LgWorldRemoveLight(world_, light);
        LgLightDestroy(light);
    }
    lights_.clear();
    for (LgFrame* frame : lightFrames_) LgFrameDestroy(frame);
    lightFrames_.clear();
    if (world_ != nullptr) {
        if (camera_ != nullptr) LgWorldRemoveCamera(world_, camera_);
        LgWorldDestroy(world_);
    }
    world_ = nullptr;
    worldTriangles_ = 0;
    if (smoke_ != nullptr) LgTextureDestroy(smoke_);
    smoke_ = nullptr;
    if (textures_ != nullptr) {
        if (LgTexDictionaryGetCurrent() == textures_) LgTexDictionarySetCurrent(nullptr);
        LgTexDictionaryDestroy(textures_);
    }
    textures_ = nullptr;
    if (camera_ != nullptr) LgCameraDestroy(camera_);
    camera_ = nullptr;
    if (cameraFrame_ != nullptr) LgFrameDestroy(cameraFrame_);
    cameraFrame_ = nullptr;
    if (zBuffer_ != nullptr) LgRasterDestroy(zBuffer_);
    zBuffer_ = nullptr;
    if (frameBuffer_ != nullptr) LgRasterDestroy(frameBuffer_);
    frameBuffer_ = nullptr;
    puffs_.clear();
    puffVertices_.clear();
    puffIndices_.clear();
}

void DemoScene::place_camera(float seconds) {
    // Eye above and behind the first plane, looking out over the formation and slightly down,
    // drifting forward with it.
    const float drift = 0.25f * cruiseSpeed * seconds;
    const LgVector eye = {shift_.x, shift_.y + 10.0f, shift_.z - 12.0f + drift};
    const LgVector target = {shift_.x, shift_.y + 7.0f, shift_.z + 60.0f + drift};
    LgMatrix* m = LgFrameGetMatrix(cameraFrame_);
    m->at = normalised({target.x - eye.x, target.y - eye.y, target.z - eye.z});
    m->right = normalised(cross(yAxis, m->at));
    m->up = cross(m->at, m->right);
    m->pos = eye;
    LgMatrixMarkChanged(m);
    LgFrameMarkDirty(cameraFrame_);
}

void DemoScene::place_plane(int32_t index, float seconds) {
    Pose p = flight_pose(index, spec_.planes, seconds);
    p.position = {p.position.x + shift_.x, p.position.y + shift_.y, p.position.z + shift_.z};
    LgFrame* frame = LgClumpGetFrame(planes_[index]);
    LgMatrix* m = LgFrameGetMatrix(frame);
    LgMatrixRotate(m, &zAxis, p.bank, LgCombineReplace);
    LgMatrixRotate(m, &yAxis, p.heading, LgCombinePostConcat);
    LgMatrixTranslate(m, &p.position, LgCombinePostConcat);
    LgFrameMarkDirty(frame);
}

void DemoScene::advance(float seconds) {
    // The puffs follow their planes: their corners are set at draw time, when the camera's
    // axes are known.
    place_camera(seconds);
    for (int32_t i = 0; i < static_cast<int32_t>(planes_.size()); ++i) place_plane(i, seconds);
}

bool DemoScene::plane_in_view(LgClump* plane) const {
    LgPhaseScope phase(LgPhaseVisibility);
    LgAtomic* atomic = nullptr;
    LgClumpForAllAtomics(plane, first_atomic, &atomic);
    const LgSphere* sphere = atomic != nullptr ? LgAtomicGetWorldBoundingSphere(atomic) : nullptr;
    return sphere != nullptr && LgCameraFrustumTestSphere(camera_, sphere) != LgFrustumOutside;
}

void DemoScene::draw_planes() {
    visible_ = 0;
    if (world_ != nullptr) {
        // The world draws the sectors in view and the planes tied to them.
        LgWorldRenderAtomicsInView(world_);
        for (LgClump* plane : planes_) visible_ += plane_in_view(plane);
        return;
    }
    for (LgClump* plane : planes_) {
        if (!plane_in_view(plane)) continue;
        ++visible_;
        LgClumpRender(plane);
    }
}

bool DemoScene::draw_smoke() {
    if (puffs_.empty()) return true;
    const LgMatrix* view = LgFrameGetWorldMatrix(cameraFrame_);
    const LgVector right = view->right, up = view->up;
    for (size_t k = 0; k < puffs_.size(); ++k) {
        const Puff& puff = puffs_[k];
        LgVector centre = {0, 0, 0};
        if (puff.plane >= 0) {
            const LgMatrix* plane = LgFrameGetWorldMatrix(LgClumpGetFrame(planes_[puff.plane]));
            const float back = 3.8f + puff.behind;
            centre = {plane->pos.x - plane->at.x * back, plane->pos.y - plane->at.y * back,
                      plane->pos.z - plane->at.z * back};
        }
        const float s = puff.size;
        // Wound so that up x right faces the eye: the other side is culled as a back face.
        const float corners[4][2] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}};
        for (int c = 0; c < 4; ++c) {
            LgIm3DVertex& v = puffVertices_[k * 4 + c];
            const float a = corners[c][0] * s, b = corners[c][1] * s;
            v.position = {centre.x + right.x * a + up.x * b, centre.y + right.y * a + up.y * b,
                          centre.z + right.z * a + up.z * b};
            v.normal = {0, 0, 0};
            v.color = {235, 235, 235, puff.alpha};
            v.u = (corners[c][0] + 1) / 2;
            v.v = (1 - corners[c][1]) / 2;
        }
    }
    LgRenderStateSet(LgD3DStateTextureRaster, LgTextureGetRaster(smoke_));
    LgRenderStateSet(LgD3DStateTextureFilter, word(2));
    LgRenderStateSet(LgD3DStateTextureAddress, word(3));
    LgRenderStateSet(LgD3DStateShadeMode, word(2));
    LgRenderStateSet(LgD3DStateVertexAlpha, word(1));
    LgRenderStateSet(LgD3DStateZWrite, word(0));
    // Deferred so the translucent quads are sorted far to near at the end of the update.
    LgRenderStateSet(LgD3DStateDeferral, word(1));
    if (LgIm3DTransform(puffVertices_.data(), static_cast<int32_t>(puffVertices_.size()), nullptr,
                        1) == nullptr)
        return fail("LgIm3DTransform of the smoke");
    LgIm3DRenderIndexedPrimitive(LgPrimTriList, puffIndices_.data(),
                                 static_cast<int32_t>(puffIndices_.size()));
    LgIm3DEnd();
    return true;
}

bool DemoScene::render_frame(void* window) {
    if (camera_ == nullptr) return fail("render before build");
    if (LgCameraBeginUpdate(camera_) == nullptr) return fail("LgCameraBeginUpdate");
    bool ok = LgCameraClear(camera_, &skyColour, LgCameraClearImage | LgCameraClearZ) != nullptr;
    if (!ok) fail("LgCameraClear");
    if (ok) {
        // The clear put the initial states back: fog is switched on for this frame.
        LgRenderStateSet(LgD3DStateFogEnable, word(1));
        LgRenderStateSet(LgD3DStateFogColour, word(argb(skyColour)));
        LgRenderStateSet(LgD3DStateFogType, word(LgD3DFogLinear));
        draw_planes();
        ok = draw_smoke();
    }
    if (LgCameraEndUpdate(camera_) == nullptr) return fail("LgCameraEndUpdate");
    if (!ok) return false;
    if (LgCameraShowRaster(camera_, window, 0) == nullptr) return fail("LgCameraShowRaster");
    return true;
}

} // namespace demoscene
