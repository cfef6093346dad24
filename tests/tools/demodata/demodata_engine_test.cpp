// The demo set through the engine: every model reads with every texture it names and is lit or
// pre-lit as the game shows it (a plane under the map's sun drawn lit), the map's
// world has textured, pre-lit sectors with collision trees whose ground faces up between
// heights 100 and 800, and every picture the game names reads under the name it uses.
#include "engine/core/lg_camera.h"
#include "engine/core/lg_frame.h"
#include "engine/core/lg_image.h"
#include "engine/core/lg_stream.h"
#include "engine/core/lg_texture.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_collision.h"
#include "engine/world/lg_light.h"
#include "engine/world/lg_world.h"
#include "engine/world/lg_world_tie.h"
#include "game/world/tv_plane.h"
#include "platform/window/window.h"
#include "tests/support/png_file.h"
#include "tests/tools/demodata/demodata_fixture.h"
#include "tools/demodata/demo_map.h"
#include "tools/demoscene/engine_session.h"

#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace demodatatest {
namespace {

namespace dm = demodata::demomap;

// Every texture read while installed, and the ones that failed.
struct TextureReads {
    static inline LgTextureReadCallBack engine = nullptr;
    static inline std::vector<std::string> failed;
    static inline int count = 0;
    static LgTexture* read(const char* name, const char* mask) {
        ++count;
        LgTexture* t = engine(name, mask);
        if (t == nullptr || LgTextureGetRaster(t) == nullptr)
            failed.push_back(std::string(name) + "/" + (mask ? mask : ""));
        return t;
    }
};

class EngineDemoData : public DemoDataTest {
protected:
    void SetUp() override {
        DemoDataTest::SetUp();
        platform::WindowDesc desc;
        desc.class_name = "corvel";
        desc.title = "demo data";
        window_ = platform::create_window(desc);
        ASSERT_NE(window_, nullptr);
        demoscene::SessionConfig config;
        config.window = window_;
        ASSERT_TRUE(session_.begin(config)) << session_.error();
        dictionary_ = LgTexDictionaryCreate();
        ASSERT_NE(LgTexDictionarySetCurrent(dictionary_), nullptr);
        TextureReads::engine = LgTextureSetReadCallBack(TextureReads::read);
        TextureReads::failed.clear();
        TextureReads::count = 0;
    }
    void TearDown() override {
        if (TextureReads::engine) LgTextureSetReadCallBack(TextureReads::engine);
        if (dictionary_) LgTexDictionaryDestroy(dictionary_);
        session_.end();
        if (window_) platform::destroy_window(window_);
        DemoDataTest::TearDown();
    }
    static void image_path(const std::string& relative) {
        const std::string path = program_dir() + "/" + relative + "/";
        ASSERT_NE(LgImageSetPath(path.c_str()), nullptr);
    }
    template <typename T>
    static T* read(const std::string& relative, uint32_t chunk, T* (*reader)(LgStream*)) {
        const std::string path = program_dir() + "/" + relative;
        LgStream* s = LgStreamOpen(LgStreamTypeFileName, LgStreamAccessRead, path.c_str());
        if (s == nullptr) return nullptr;
        T* result = LgStreamFindChunk(s, chunk, nullptr, nullptr) ? reader(s) : nullptr;
        LgStreamClose(s, nullptr);
        return result;
    }

    platform::Window* window_ = nullptr;
    demoscene::EngineSession session_;
    LgTexDictionary* dictionary_ = nullptr;
};

int count_children(LgFrame* frame) {
    int n = 0;
    LgFrameForAllChildren(
        frame, [](LgFrame* f, void* data) { return ++*static_cast<int*>(data), f; }, &n);
    return n;
}

TEST_F(EngineDemoData, EveryModelReadsWithEveryTextureItNames) {
    const std::vector<std::string> models = files_ending({".dff"});
    ASSERT_GE(models.size(), 20u);
    for (const std::string& model : models) {
        SCOPED_TRACE(model);
        // Each reader sets the image path of its kind before reading a model.
        image_path(model.starts_with("objects/planes/")   ? "objects/planes/textures"
                   : model.starts_with("objects/ground/") ? "objects/ground/textures"
                                                          : "objects/ordinance");
        const int before = TextureReads::count;
        LgClump* clump = read(model, LgChunkClump, LgClumpStreamRead);
        ASSERT_NE(clump, nullptr);
        EXPECT_GE(LgClumpGetNumAtomics(clump), 1);
        // Every model shows a texture, but the pickup crate, which is read outside its kind's
        // texture folder.
        if (!model.ends_with("ammodump.dff")) {
            EXPECT_GT(TextureReads::count, before) << "no texture";
        }
        const int children = count_children(LgClumpGetFrame(clump));
        if (model.starts_with("objects/planes/")) {
            EXPECT_EQ(children, model.find("handleypage") != std::string::npos ? 2 : 1)
                << "propellers are the root's children";
        }
        if (model.ends_with("aagun.dff")) {
            EXPECT_EQ(children, 1) << "the turret";
        }
        LgClumpDestroy(clump);
    }
    EXPECT_TRUE(TextureReads::failed.empty()) << TextureReads::failed.front();
}

// What the game does with a model's colours: the plane, shrapnel and ground-object loaders
// blacken the pre-lit colours (a ground.ini with "prelit" keeps them) and leave the colour to
// the map's sun, which the engine applies only to geometries flagged lit; the weapons draw
// ordnance as it was written.
bool game_lights(const std::string& model) {
    if (model.starts_with("objects/ordinance/")) return false;
    if (!model.starts_with("objects/ground/") || model.starts_with("objects/ground/shrapnel/"))
        return true;
    std::ifstream ini(program_dir() + "/" + model.substr(0, model.rfind('/')) + "/ground.ini");
    EXPECT_TRUE(ini.good()) << "no ground.ini beside " << model;
    for (std::string line; std::getline(ini, line);)
        if (line.starts_with("prelit")) return false;
    return true;
}

TEST_F(EngineDemoData, ModelsTheGameBlackensAreLitAndTheOthersKeepTheirPrelitColours) {
    int lit = 0, prelit = 0;
    for (const std::string& model : files_ending({".dff"})) {
        SCOPED_TRACE(model);
        image_path(model.starts_with("objects/planes/")   ? "objects/planes/textures"
                   : model.starts_with("objects/ground/") ? "objects/ground/textures"
                                                          : "objects/ordinance");
        LgClump* clump = read(model, LgChunkClump, LgClumpStreamRead);
        ASSERT_NE(clump, nullptr);
        const bool lights = game_lights(model);
        (lights ? lit : prelit) += 1;
        LgClumpForAllAtomics(
            clump,
            [](LgAtomic* atomic, void* data) {
                const bool lights = *static_cast<const bool*>(data);
                const LgGeometry* g = atomic->geometry;
                EXPECT_NE(g, nullptr);
                if (g == nullptr) return atomic;
                const uint32_t flags = g->header.flags;
                EXPECT_EQ((flags & LgGeometryLight) != 0, lights);
                if (lights) {
                    EXPECT_NE(flags & LgGeometryNormals, 0u) << "the sun needs normals";
                } else {
                    EXPECT_NE(g->preLitLum, nullptr);
                    const LgRGBA c = g->preLitLum ? g->preLitLum[0] : LgRGBA{};
                    EXPECT_GT(c.red + c.green + c.blue, 0) << "drawn in its pre-lit colours";
                }
                return atomic;
            },
            const_cast<bool*>(&lights));
        LgClumpDestroy(clump);
    }
    EXPECT_GE(lit, 15);
    EXPECT_GE(prelit, 3); // the take-off marker, the bomb and the rocket
}

// A demo plane prepared as the plane loader does it (pre-lit colours black, surface
// coefficients 0.5) under the landscape's two white lights hung from its sun frame, drawn on
// the software device from above: its upper surfaces take the ambient half plus the sun's
// share, so they show their colours instead of black.
TEST_F(EngineDemoData, APlaneUnderTheMapsSunIsLitOnTheSoftwareDevice) {
    const std::vector<std::string> planes = files_ending({".dff"});
    const auto camel = std::find_if(planes.begin(), planes.end(), [](const std::string& m) {
        return m.starts_with("objects/planes/") && m.find("multi") == std::string::npos;
    });
    ASSERT_NE(camel, planes.end());
    image_path("objects/planes/textures");
    LgClump* plane = read(*camel, LgChunkClump, LgClumpStreamRead);
    ASSERT_NE(plane, nullptr);
    tvplane::prepare_model(plane, 0.5f);

    const LgBBox box = {{1000, 1000, 1000}, {0, 0, 0}};
    LgWorld* world = LgWorldCreate(&box);
    ASSERT_NE(world, nullptr);
    // The sun: the at row is where the light travels, (1, -1, -1) normalised.
    LgFrame* sun = LgFrameCreate();
    LgMatrix* s = LgFrameGetMatrix(sun);
    s->at = {0.57735f, -0.57735f, -0.57735f};
    LgMatrixMarkChanged(s);
    LgFrameMarkDirty(sun);
    const LgRGBAReal white = {1, 1, 1, 1};
    LgLight* lights[2] = {LgLightCreate(1), LgLightCreate(2)};
    for (LgLight* l : lights) {
        ASSERT_NE(l, nullptr);
        LgLightSetColor(l, &white);
        LgObjectSetFlags(l, 1);
        LgLightSetFrame(l, sun);
        LgWorldAddLight(world, l);
    }
    LgFrame* at = LgClumpGetFrame(plane);
    LgFrameGetMatrix(at)->pos = {500, 500, 500};
    LgMatrixMarkChanged(LgFrameGetMatrix(at));
    LgFrameMarkDirty(at);

    LgRaster* raster = LgRasterCreate(64, 64, 0, LgRasterTypeCamera);
    LgRaster* depth = LgRasterCreate(64, 64, 0, LgRasterTypeZBuffer);
    LgCamera* camera = LgCameraCreate();
    LgFrame* eye = LgFrameCreate();
    ASSERT_TRUE(raster && depth && camera && eye);
    LgCameraSetFrame(camera, eye);
    LgCameraSetRaster(camera, raster);
    LgCameraSetZRaster(camera, depth);
    LgCameraSetNearClipPlane(camera, 1.0f);
    LgCameraSetFarClipPlane(camera, 100.0f);
    LgMatrix* m = LgFrameGetMatrix(eye);
    m->right = {1, 0, 0};
    m->up = {0, 0, 1};
    m->at = {0, -1, 0};
    m->pos = {500, 508, 500};
    LgMatrixMarkChanged(m);
    LgFrameMarkDirty(eye);
    LgWorldAddCamera(world, camera);

    const LgRGBA magenta = {255, 0, 255, 255}; // 0xF81F at 16 bits, a colour the plane lacks
    ASSERT_NE(LgCameraClear(camera, &magenta, LgCameraClearImage | LgCameraClearZ), nullptr);
    ASSERT_EQ(LgCameraBeginUpdate(camera), camera);
    LgClumpRender(plane);
    LgCameraEndUpdate(camera);

    ASSERT_EQ(LgRasterGetDepth(raster), 16);
    const uint8_t* pixels = LgRasterLock(raster, 0, LgRasterLockRead);
    ASSERT_NE(pixels, nullptr);
    int drawn = 0, bright = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            uint16_t p;
            std::memcpy(&p, pixels + y * LgRasterGetStride(raster) + x * 2, 2);
            const int r = (p >> 11) << 3, g = ((p >> 5) & 63) << 2, b = (p & 31) << 3;
            if (p == 0xF81F) continue;
            ++drawn;
            bright += std::max({r, g, b}) >= 48;
        }
    LgRasterUnlock(raster);
    EXPECT_GE(drawn, 200) << "the plane fills part of the view";
    EXPECT_GE(bright, drawn / 2) << "most of the plane seen from above is lit";

    LgWorldRemoveCamera(world, camera);
    for (LgLight* l : lights) {
        LgWorldRemoveLight(world, l);
        LgLightDestroy(l);
    }
    LgFrameDestroy(sun);
    LgWorldDestroy(world);
    LgCameraDestroy(camera);
    LgFrameDestroy(eye);
    LgRasterDestroy(depth);
    LgRasterDestroy(raster);
    LgClumpDestroy(plane);
}

struct Probe {
    int hits = 0;
    bool facingDown = false;
    float highest = -1e9f;
};

LgCollisionPrimitive* on_hit(LgCollisionPrimitive* p, LgAtomicSector*, LgCollisionTriangle* t,
                             float distance, void* data) {
    auto* probe = static_cast<Probe*>(data);
    ++probe->hits;
    probe->facingDown = probe->facingDown || t->normal.y <= 0;
    const float y = p->line.start.y + (p->line.end.y - p->line.start.y) * distance;
    probe->highest = std::max(probe->highest, y);
    return p;
}

Probe probe(LgWorld* world, float x, float z, float from, float to) {
    LgCollisionPrimitive line{};
    line.type = LgCollisionLine;
    line.line.start = {x, from, z};
    line.line.end = {x, to, z};
    Probe p;
    LgWorldForAllTriangleIntersections(world, &line, on_hit, &p);
    return p;
}

TEST_F(EngineDemoData, MapWorldIsTexturedPrelitCollidableGroundFacingUp) {
    image_path("maps/demo");
    LgWorld* world = read("maps/demo/demo.bsp", LgChunkWorld, LgWorldStreamRead);
    ASSERT_NE(world, nullptr);
    EXPECT_TRUE(TextureReads::failed.empty()) << TextureReads::failed.front();
    const LgBBox& box = world->boundingBox;
    EXPECT_FLOAT_EQ(box.inf.x, dm::origin);
    EXPECT_FLOAT_EQ(box.inf.z, dm::origin);
    EXPECT_FLOAT_EQ(box.sup.x, dm::origin + dm::size);
    EXPECT_FLOAT_EQ(box.sup.z, dm::origin + dm::size);
    EXPECT_GE(box.inf.y, dm::lowest);
    EXPECT_LE(box.sup.y, dm::highest);

    int sectors = 0;
    LgWorldForAllAtomicSectors(
        world,
        [](LgAtomicSector* s, void* data) {
            ++*static_cast<int*>(data);
            EXPECT_GT(s->numTriangles, 0);
            EXPECT_NE(s->texCoords, nullptr);
            EXPECT_NE(s->preLitLum, nullptr);
            EXPECT_NE(s->collisionTree, nullptr);
            return s;
        },
        &sectors);
    EXPECT_GE(sectors, 32);

    // Collision is one-sided: a line down anywhere meets ground that faces up, in range.
    for (float x = dm::origin + 20; x < dm::origin + dm::size; x += 190)
        for (float z = dm::origin + 20; z < dm::origin + dm::size; z += 190) {
            const Probe p = probe(world, x, z, 2000, 0);
            ASSERT_GE(p.hits, 1) << x << ", " << z;
            EXPECT_FALSE(p.facingDown) << x << ", " << z;
            EXPECT_GE(p.highest, dm::lowest - 0.01f);
            EXPECT_LE(p.highest, dm::highest + 0.01f);
        }
    // The plane's start: the box centre plus 15 in x and 150 in z, probed from 800 to 100,
    // is on the airstrip.
    const float cx = (box.inf.x + box.sup.x) / 2 + 15, cz = (box.inf.z + box.sup.z) / 2 + 150;
    EXPECT_FLOAT_EQ(cx, dm::stripX);
    const Probe start = probe(world, cx, cz, 800, 100);
    EXPECT_EQ(start.hits, 1);
    EXPECT_NEAR(start.highest, dm::stripHeight, 0.01f);
    // The lake lies at the lowest height.
    EXPECT_NEAR(probe(world, dm::lakeX, dm::lakeZ, 800, 0).highest, dm::lowest, 0.01f);
    // The climb-out: a plane lifting off the strip and flying straight on meets no ground
    // above the strip until the low ground beyond the ridge.
    for (float z = dm::stripZ1; z <= dm::climbOutZ; z += 25)
        for (float x :
             {dm::stripX - dm::stripHalfWidth, dm::stripX, dm::stripX + dm::stripHalfWidth})
            EXPECT_LE(probe(world, x, z, 2000, 0).highest, dm::stripHeight + 0.01f)
                << x << ", " << z;
    LgWorldDestroy(world);
}

// The landscape draws the five sky faces as squares around the viewer (corners at texture
// coordinates (1, 0), (0, 0), (0, 1), (1, 1), in units of half the box): texels that two faces
// put on one shared edge must have one colour, or the clouds end in a straight seam. At the
// horizon the sky is the map's fog colour, which distant ground fades into.
TEST_F(EngineDemoData, SkyFacesAgreeAlongSharedEdgesAndMeetTheFogAtTheHorizon) {
    struct Face {
        const char* name;
        int corners[4][3];
    };
    const Face faces[] = {
        {"skyfront", {{-1, 1, 1}, {-1, 1, -1}, {-1, -1, -1}, {-1, -1, 1}}},
        {"skyleft", {{-1, 1, -1}, {1, 1, -1}, {1, -1, -1}, {-1, -1, -1}}},
        {"skyback", {{1, 1, -1}, {1, 1, 1}, {1, -1, 1}, {1, -1, -1}}},
        {"skyright", {{1, 1, 1}, {-1, 1, 1}, {-1, -1, 1}, {1, -1, 1}}},
        {"skyup", {{1, 1, 1}, {1, 1, -1}, {-1, 1, -1}, {-1, 1, 1}}},
    };
    float fog[3];
    ASSERT_TRUE(
        read_vector(Ini("maps/demo/map.ini").get("appearance", "fogcolour").value_or(""), fog));
    image_path("maps/demo");
    struct Seen {
        LgRGBA colour;
        std::string where;
    };
    std::map<std::array<long, 3>, Seen> edge_texels;
    int shared = 0, worst = 0;
    std::string worst_at;
    for (const Face& face : faces) {
        LgImage* image = LgImageRead((std::string(face.name) + ".bmp").c_str());
        ASSERT_NE(image, nullptr) << face.name;
        ASSERT_EQ(LgImageGetDepth(image), 32);
        const int n = LgImageGetWidth(image);
        ASSERT_EQ(LgImageGetHeight(image), n);
        const auto pixel = [&](int column, int row) {
            return *reinterpret_cast<const LgRGBA*>(LgImageGetPixels(image) +
                                                    row * LgImageGetStride(image) + column * 4);
        };
        for (int row = 0; row < n; ++row)
            for (int column = 0; column < n; ++column) {
                if (row != 0 && row != n - 1 && column != 0 && column != n - 1) continue;
                // The texel's point on the box, in steps of 2 / (n - 1): whole numbers.
                std::array<long, 3> key{};
                for (int k = 0; k < 3; ++k) {
                    const long c0 = face.corners[0][k], c1 = face.corners[1][k],
                               c2 = face.corners[2][k];
                    key[k] = c1 * (n - 1) + (c0 - c1) * column + (c2 - c1) * row;
                }
                const LgRGBA colour = pixel(column, row);
                const std::string where = std::string(face.name) + " " + std::to_string(column) +
                                          "," + std::to_string(row);
                auto [it, fresh] = edge_texels.emplace(key, Seen{colour, where});
                if (fresh) continue;
                ++shared;
                const LgRGBA& other = it->second.colour;
                const int difference = std::max({std::abs(colour.red - other.red),
                                                 std::abs(colour.green - other.green),
                                                 std::abs(colour.blue - other.blue)});
                if (difference > worst) {
                    worst = difference;
                    worst_at = where + " / " + it->second.where;
                }
            }
        if (std::string(face.name) != "skyup")
            for (int row : {n / 2 - 1, n / 2})
                for (int column = 0; column < n; column += 9) {
                    const LgRGBA c = pixel(column, row);
                    EXPECT_NEAR(c.red, fog[0], 6) << face.name << " " << column << "," << row;
                    EXPECT_NEAR(c.green, fog[1], 6) << face.name << " " << column << "," << row;
                    EXPECT_NEAR(c.blue, fog[2], 6) << face.name << " " << column << "," << row;
                }
        LgImageDestroy(image);
    }
    // Four vertical edges and four top edges, each a face's side long.
    EXPECT_GE(shared, 8 * 100);
    EXPECT_LE(worst, 2) << worst_at;
}

// The game places mission objects where their entries say (a ground object is put on the
// ground only when it has a world at its creation, which a mission's objects do not), so an
// entry's height has to be the ground's under it: a target above it floats, one below it is
// buried and out of reach of every gun.
TEST_F(EngineDemoData, MissionGroundObjectsStandOnTheGround) {
    image_path("maps/demo");
    LgWorld* world = read("maps/demo/demo.bsp", LgChunkWorld, LgWorldStreamRead);
    ASSERT_NE(world, nullptr);
    for (int n : {1, 2, 3, 4, 5, 6, 101, 102, 103}) {
        Ini ini("missions/" + std::to_string(n) + "/mission.ini");
        for (const char* kind : {"ground", "vehicle"})
            for (int i = 0; i < 100; ++i) {
                const std::string section = kind + std::to_string(i);
                if (!ini.has_section(section.c_str())) continue;
                float pos[3];
                ASSERT_TRUE(read_vector(ini.get(section.c_str(), "pos").value_or(""), pos));
                const Probe ground = probe(world, pos[0], pos[2], 2000, 0);
                EXPECT_NEAR(pos[1], ground.highest, 0.5f)
                    << "mission " << n << " [" << section << "] at " << pos[0] << ", " << pos[2];
            }
    }
    LgWorldDestroy(world);
}

// Reads a texture as a reader names it, with the image path of its folder.
void expect_texture(const std::string& folder, const char* name, const char* mask) {
    const std::string path = program_dir() + "/" + folder + "/";
    LgImageSetPath(path.c_str());
    LgTexture* t = LgTextureRead(name, mask);
    ASSERT_NE(t, nullptr) << folder << ": " << name << " / " << (mask ? mask : "");
    EXPECT_NE(LgTextureGetRaster(t), nullptr);
    LgTextureDestroy(t);
}

TEST_F(EngineDemoData, EveryTextureReadsUnderTheNameItsReaderUses) {
    // The landscape's textures and the sky faces.
    for (const char* name :
         {"map", "mapwater", "detail", "skyfront", "skyleft", "skyback", "skyright", "skyup"})
        expect_texture("maps/demo", name, nullptr);
    // Shadows: "CLEAR" with the shadow picture as mask, from the folders spelt in capitals.
    expect_texture("OBJECTS/PLANES/TEXTURES", "CLEAR", "planeshadow.bmp");
    expect_texture("OBJECTS/GROUND/TEXTURES", "CLEAR", "groundshadow.bmp");
    // The game's particle kinds and the explosions' smoke.
    for (const auto& [name, mask] :
         std::vector<std::pair<const char*, const char*>>{{"maroon", "maroonm"},
                                                          {"hit", "hitm"},
                                                          {"smoke", "smokem"},
                                                          {"clod", "clodm"},
                                                          {"cloth", "clothm"},
                                                          {"smoke.bmp", "smokem.bmp"},
                                                          {"flarepart.bmp", nullptr},
                                                          {"flareburst.bmp", nullptr}})
        expect_texture("objects/particles", name, mask);
    // The cockpit's pictures with their masks.
    for (const char* name :
         {"speeddial", "speedo", "smalltarget", "gun", "smallally", "protect", "smicons",
          "smallenemy", "planeicon", "compass", "bullethole", "bomb", "rocket", "splat"}) {
        const std::string colour = std::string(name) + ".bmp", mask = std::string(name) + "m.bmp";
        expect_texture("Ui", colour.c_str(), mask.c_str());
    }
    expect_texture("Ui", "turbo.bmp", "turbo_m.bmp");
    // The ordnance pictures: "%s.bmp" with "%sm.bmp".
    for (const char* raster : {"tracer", "bombpic", "rocketpic", "flak"}) {
        const std::string colour = std::string(raster) + ".bmp",
                          mask = std::string(raster) + "m.bmp";
        expect_texture("objects/ordinance", colour.c_str(), mask.c_str());
    }
    // The mission editor's goal icons, named by the goal code.
    for (int code : {256, 16, 64, 288, 352, 368, 32, 48, 96, 336, 112, 128, 144, 304, 320, 400})
        expect_texture("Ui/editor/planes", std::to_string(code).c_str(), nullptr);
}

// The readers spell their folders with backslashes, a leading ".\" and in capitals; from the
// program directory each spelling opens the set's files.
TEST_F(EngineDemoData, ReadersOwnPathSpellingsOpenFromTheProgramDirectory) {
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(program_dir());
    const std::pair<const char*, const char*> textures[] = {
        {".\\objects\\particles\\", "maroon"},
        {"objects\\planes\\textures\\", "camelskin"},
        {"OBJECTS\\PLANES\\TEXTURES\\", "CLEAR"},
        {"OBJECTS\\GROUND\\TEXTURES\\", "CLEAR"},
        {"objects\\ground\\textures\\", "canvas"},
        {"objects\\ordinance\\", "tracer.bmp"},
        {"maps\\demo\\", "mapwater"},
        {".\\Ui\\", "turbo.bmp"},
        {"Ui\\editor\\planes\\", "144"}};
    for (const auto& [folder, name] : textures) {
        LgImageSetPath(folder);
        LgTexture* t = LgTextureRead(name, nullptr);
        EXPECT_NE(t, nullptr) << folder << name;
        if (t) LgTextureDestroy(t);
    }
    LgImageSetPath("objects\\planes\\textures\\");
    for (const char* model :
         {"objects\\planes\\tavrincamel\\tavrincamel.dff", ".\\objects\\ground\\hangar\\hangar.dff",
          "objects\\ordinance\\rocket.dff", "OBJECTS\\GROUND\\SHRAPNEL\\plank.dff",
          ".\\objects\\ground\\ammodump\\ammodump.dff"}) {
        LgStream* s = LgStreamOpen(LgStreamTypeFileName, LgStreamAccessRead, model);
        EXPECT_NE(s, nullptr) << model;
        if (s) LgStreamClose(s, nullptr);
    }
    LgStream* s = LgStreamOpen(LgStreamTypeFileName, LgStreamAccessRead, "maps\\demo\\demo.bsp");
    EXPECT_NE(s, nullptr);
    if (s) LgStreamClose(s, nullptr);
    std::filesystem::current_path(previous);
}

TEST_F(EngineDemoData, EveryPictureDecodesAndTheWaterMaskMarksTheLake) {
    for (const std::string& bmp : files_ending({".bmp"})) {
        LgImage* image = LgImageReadBMP((program_dir() + "/" + bmp).c_str());
        ASSERT_NE(image, nullptr) << bmp;
        const int32_t w = LgImageGetWidth(image), h = LgImageGetHeight(image);
        // Textures have power-of-two sides; the pointer's strip of frames is the exception.
        if (!bmp.ends_with("pointer.bmp")) {
            EXPECT_TRUE((w & (w - 1)) == 0 && (h & (h - 1)) == 0) << bmp << " " << w << "x" << h;
        }
        LgImageDestroy(image);
    }
    for (const std::string& png : files_ending({".png"})) {
        testsupport::Image image;
        EXPECT_TRUE(testsupport::read_png(program_dir() + "/" + png, &image)) << png;
    }
    for (const std::string& jpg : files_ending({".jpg"})) {
        FILE* f = std::fopen((program_dir() + "/" + jpg).c_str(), "rb");
        ASSERT_NE(f, nullptr) << jpg;
        jpeg_decompress_struct info;
        jpeg_error_mgr errors;
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_stdio_src(&info, f);
        EXPECT_EQ(jpeg_read_header(&info, TRUE), JPEG_HEADER_OK) << jpg;
        EXPECT_GT(info.image_width, 0u);
        jpeg_destroy_decompress(&info);
        std::fclose(f);
    }
    // The water mask: 128 x 128, black land, non-black water, column x and row z over the box.
    LgImage* water = LgImageReadBMP((program_dir() + "/maps/demo/mapwater.bmp").c_str());
    ASSERT_NE(water, nullptr);
    ASSERT_EQ(LgImageGetWidth(water), 128);
    ASSERT_EQ(LgImageGetHeight(water), 128);
    auto pixel = [&](float x, float z) {
        const int column = int((x - dm::origin) / dm::size * 127) & 127;
        const int row = int((z - dm::origin) / dm::size * 127) & 127;
        const uint8_t* p = LgImageGetPixels(water) + row * LgImageGetStride(water);
        if (LgImageGetDepth(water) == 32)
            return uint32_t(p[column * 4] | p[column * 4 + 1] | p[column * 4 + 2]);
        const LgRGBA& c = LgImageGetPalette(water)[p[column]];
        return uint32_t(c.red | c.green | c.blue);
    };
    EXPECT_NE(pixel(dm::lakeX, dm::lakeZ), 0u);
    EXPECT_EQ(pixel(dm::stripX, (dm::stripZ0 + dm::stripZ1) / 2), 0u);
    LgImageDestroy(water);
}

} // namespace
} // namespace demodatatest
