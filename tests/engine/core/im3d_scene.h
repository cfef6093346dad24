// A camera scene for immediate-mode tests: the camera looks down +z from the origin with a
// 90-degree window onto a 100 x 100 raster, near 1, far 100, fog from 50, between begin and
// end update on a null device. Vertices are placed by their screen position and depth.
#pragma once

#include "tests/engine/core/null_device.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace enginetest {

constexpr LgRGBA white = {255, 255, 255, 255};

class Im3DScene : public ::testing::Test {
public:
    explicit Im3DScene(uint32_t projection = LgCameraPerspective) {
        raster = LgRasterCreate(100, 100, 32, LgRasterTypeCamera);
        camera = LgCameraCreate();
        frame = LgFrameCreate();
        LgCameraSetFrame(camera, frame);
        LgCameraSetRaster(camera, raster);
        LgCameraSetProjection(camera, projection);
        LgCameraSetNearClipPlane(camera, 1.0f);
        LgCameraSetFarClipPlane(camera, 100.0f);
        LgCameraSetFogDistance(camera, 50.0f);
        if (projection == LgCameraParallel) {
            const LgVector2 window = {50.0f, 50.0f};
            LgCameraSetViewWindow(camera, &window);
        }
        begun = LgCameraBeginUpdate(camera) == camera;
    }
    ~Im3DScene() override {
        while (LgIm3DEnd()) {}
        if (begun) LgCameraEndUpdate(camera);
        LgCameraDestroy(camera);
        LgFrameDestroy(frame);
        LgRasterDestroy(raster);
    }

    // The world point that lands on screen (sx, sy) at depth z.
    LgIm3DVertex at(float sx, float sy, float z, LgRGBA colour = white, float u = 0,
                    float v = 0) const {
        LgIm3DVertex vertex{};
        if (LgCameraGetProjection(camera) == LgCameraParallel) {
            vertex.position = {50.0f - sx, 50.0f - sy, z};
        } else {
            vertex.position = {(1.0f - sx / 50.0f) * z, (1.0f - sy / 50.0f) * z, z};
        }
        vertex.color = colour;
        vertex.u = u;
        vertex.v = v;
        return vertex;
    }

    // Transforms the vertices (texture coordinates included); true on success.
    bool transform(const std::vector<LgIm3DVertex>& vertices) {
        source = vertices;
        return LgIm3DTransform(source.data(), static_cast<int32_t>(source.size()), nullptr, 1) !=
               nullptr;
    }

    // The source vertex a submitted screen vertex came from, or -1 for one made by clipping.
    int source_of(const LgIm3DScreenVertex& v) const {
        for (size_t i = 0; i < source.size(); ++i) {
            const LgIm3DVertex expected = source[i];
            const LgVector& p = expected.position;
            const bool parallel = LgCameraGetProjection(camera) == LgCameraParallel;
            const float sx = parallel ? 50.0f - p.x : (1.0f - p.x / p.z) * 50.0f;
            const float sy = parallel ? 50.0f - p.y : (1.0f - p.y / p.z) * 50.0f;
            if (std::fabs(v.x - sx) < 1e-3f && std::fabs(v.y - sy) < 1e-3f) return int(i);
        }
        return -1;
    }

    std::vector<std::vector<int>> submitted_triangles() const {
        std::vector<std::vector<int>> out;
        for (const ScreenTriangle& t : device().triangles())
            out.push_back({source_of(t[0]), source_of(t[1]), source_of(t[2])});
        return out;
    }
    std::vector<std::vector<int>> submitted_lines() const {
        std::vector<std::vector<int>> out;
        for (const ScreenLine& l : device().lines())
            out.push_back({source_of(l[0]), source_of(l[1])});
        return out;
    }

    NullDevice& device() const { return const_cast<NullDeviceEngine&>(engine).device; }

    NullDeviceEngine engine;
    LgRaster* raster = nullptr;
    LgCamera* camera = nullptr;
    LgFrame* frame = nullptr;
    bool begun = false;
    std::vector<LgIm3DVertex> source;
};

} // namespace enginetest
