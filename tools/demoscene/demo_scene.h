// The demo scene on a started engine: a terrain world and biplanes read from writer-made
// chunks, lit by sky and sun, smoke puffs drawn through immediate mode as translucent
// camera-facing quads, fog toward the far plane, and one camera that draws and shows a frame.
#pragma once

#include "engine/core/lg_engine.h"

#include <string>
#include <vector>

struct LgClump;
struct LgLight;
struct LgWorld;

namespace demoscene {

struct SceneSpec {
    bool world = true;     // the terrain world under the planes, lit by a sun and the sky
    int32_t planes = 3;    // the first is read from the model file, the others are clones
    int32_t particles = 1; // smoke puffs, shared out behind the planes
    int32_t width = 640;
    int32_t height = 480;
};

// Where the camera sits and what it sees.
inline constexpr float nearClip = 1.0f;
inline constexpr float farClip = 200.0f;
inline constexpr float fogDistance = 60.0f;
// The sky: clear colour and fog colour.
inline constexpr LgRGBA skyColour = {150, 180, 215, 255};

class DemoScene {
public:
    DemoScene() = default;
    ~DemoScene() { destroy(); }
    DemoScene(const DemoScene&) = delete;
    DemoScene& operator=(const DemoScene&) = delete;

    // Writes nothing: reads the textures from `textureDirectory` (see write_demo_textures)
    // and the models from bytes made by the model writer. False with error() on failure.
    bool build(const SceneSpec& spec, const std::string& textureDirectory);
    // Destroys everything build made; safe to call twice.
    void destroy();

    // Poses the camera, the planes and their smoke `seconds` into their flight.
    void advance(float seconds);
    // Draws one frame (begin update, clear, fog, planes, smoke, end update) and shows it in
    // the window; false with error() when a step is refused.
    bool render_frame(void* window);

    LgCamera* camera() const { return camera_; }
    // Planes the last frame found inside the view.
    int32_t visible_planes() const { return visible_; }
    int32_t triangles_per_plane() const { return planeTriangles_; }
    // Triangles of the terrain world (0 without one).
    int32_t world_triangles() const { return worldTriangles_; }
    const std::string& error() const { return error_; }

private:
    struct Puff {
        int32_t plane;
        float behind; // distance behind the plane's tail
        float size;
        uint8_t alpha;
    };

    bool fail(const std::string& step);
    bool build_world();
    bool add_light(uint8_t type, float intensity, const LgVector* direction);
    void place_camera(float seconds);
    void place_plane(int32_t index, float seconds);
    bool plane_in_view(LgClump* plane) const;
    void draw_planes();
    bool draw_smoke();

    SceneSpec spec_;
    LgTexDictionary* textures_ = nullptr;
    LgTexture* smoke_ = nullptr;
    LgRaster* frameBuffer_ = nullptr;
    LgRaster* zBuffer_ = nullptr;
    LgFrame* cameraFrame_ = nullptr;
    LgCamera* camera_ = nullptr;
    std::vector<LgClump*> planes_;
    LgWorld* world_ = nullptr;
    std::vector<LgLight*> lights_;
    std::vector<LgFrame*> lightFrames_;
    LgVector shift_ = {0, 0, 0}; // scene positions into the world's space
    std::vector<Puff> puffs_;
    std::vector<LgIm3DVertex> puffVertices_;
    std::vector<uint16_t> puffIndices_;
    int32_t planeTriangles_ = 0;
    int32_t worldTriangles_ = 0;
    int32_t visible_ = 0;
    std::string error_;
};

} // namespace demoscene
