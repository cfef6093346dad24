// Shared set-up of the landscape tests: a map directory written by the test (map.ini and a
// world made with the world writer: flat quads facing up), textures made by name that note
// the image path they were read from, and a front end that records the error log and the
// sound calls.
#pragma once

#include "framework/core/object_manager.h"
#include "game/tv_frontend_services.h"
#include "game/world/tavrin_bsp_landscape.h"
#include "tests/game/game_test_support.h"
#include "tests/media/media_classes.h"
#include "tests/support/temp_dir.h"
#include "tools/modelwriter/world_builder.h"
#include "tools/modelwriter/world_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace landscapetest {

namespace mw = modelwriter;

// Quads of `size` x `size` at each height, facing up, over the same x/z square; the world is
// placed so that the quads keep their heights: the square starts at x = z = the lowest
// height, which is also the world's origin in x and z.
inline std::vector<uint8_t> quads_world(const std::vector<float>& heights, float size = 1000.0f,
                                        const char* texture = "ground", uint32_t flags = 0) {
    mw::TriangleSoup soup;
    mw::Material m;
    m.colour = {255, 255, 255, 255};
    if (texture != nullptr) {
        mw::Texture t;
        t.name = texture;
        m.texture = t;
    }
    soup.materials.push_back({-1, m});
    for (float y : heights) {
        const auto first = static_cast<uint16_t>(soup.positions.size());
        soup.positions.insert(soup.positions.end(),
                              {{0, y, 0}, {0, y, size}, {size, y, size}, {size, y, 0}});
        for (int i = 0; i < 4; ++i) {
            soup.texCoords.push_back({float(i == 2 || i == 3), float(i == 1 || i == 2)});
            soup.prelit.push_back({200, 200, 200, 255});
        }
        soup.triangles.push_back({first, uint16_t(first + 1), uint16_t(first + 3), 0});
        soup.triangles.push_back(
            {uint16_t(first + 1), uint16_t(first + 2), uint16_t(first + 3), 0});
    }
    mw::BuildOptions options;
    options.flags = mw::worldTextured | mw::worldPrelit | flags;
    // The soup's lowest corner is (0, lowest height, 0): shift x and z only.
    float lowest = heights.front();
    for (float y : heights) lowest = std::min(lowest, y);
    options.margin = lowest;
    std::optional<mw::World> w = mw::build_world(soup, options);
    EXPECT_TRUE(w.has_value());
    std::vector<uint8_t> out;
    const mw::WriteResult r = mw::write_world(*w, out);
    EXPECT_TRUE(r) << r.error;
    return out;
}

inline LgWorld* read_world_bytes(const std::vector<uint8_t>& bytes) {
    return modeltest::read_chunk(bytes, LgChunkWorld, LgWorldStreamRead);
}

// One recorded sound: its name and what was done to it.
struct FakeSound {
    std::string name;
    int32_t int6 = 0;
    int32_t plays = 0, looping = -1, stops = 0, releases = 0;
    float volume = -1.0f;
};

// The front end the tests install: error lines and sounds.
struct FrontEndRecord {
    std::vector<std::string> log;
    std::vector<FakeSound*> sounds;
    std::vector<std::string> missing_sounds; // names get_sound_object answers null for
    int32_t reductions = 0;
    ~FrontEndRecord() {
        for (FakeSound* s : sounds) delete s;
    }
    static FrontEndRecord*& current() {
        static FrontEndRecord* record = nullptr;
        return record;
    }
    FakeSound* sound(const std::string& name) const {
        for (FakeSound* s : sounds)
            if (s->name == name) return s;
        return nullptr;
    }
};

inline FakeSound* fake(ISound* s) {
    return reinterpret_cast<FakeSound*>(s);
}

inline TvFrontEndServices recording_services() {
    TvFrontEndServices s{};
    s.log_error = [](const char* source, int32_t, const char* message) {
        FrontEndRecord::current()->log.push_back(std::string(source) + ": " + message);
    };
    s.log_error2 = [](const char* source, int32_t, const char* message, const char* detail) {
        FrontEndRecord::current()->log.push_back(std::string(source) + ": " + message + " " +
                                                 detail);
    };
    s.get_sound_object = [](const char* name) -> ISound* {
        FrontEndRecord* r = FrontEndRecord::current();
        for (const std::string& m : r->missing_sounds)
            if (m == name) return nullptr;
        auto* sound = new FakeSound;
        sound->name = name;
        r->sounds.push_back(sound);
        return reinterpret_cast<ISound*>(sound);
    };
    s.sound_set_int = [](ISound* sound, int32_t id, int32_t value) -> OmResult {
        if (id == kTvSoundIntFlag6) fake(sound)->int6 = value;
        return OM_S_OK;
    };
    s.sound_set_real = [](ISound* sound, int32_t id, float value) -> OmResult {
        if (id == kTvSoundRealVolume) fake(sound)->volume = value;
        return OM_S_OK;
    };
    s.sound_play = [](ISound* sound, int32_t looping) -> OmResult {
        ++fake(sound)->plays;
        fake(sound)->looping = looping;
        return OM_S_OK;
    };
    s.sound_stop = [](ISound* sound) -> OmResult {
        ++fake(sound)->stops;
        return OM_S_OK;
    };
    s.sound_release = [](ISound* sound) -> uint32_t {
        ++fake(sound)->releases;
        return 0;
    };
    s.set_texture_reduction = [](int32_t, int32_t shift) {
        if (shift == 0) ++FrontEndRecord::current()->reductions;
    };
    return s;
}

// A texture read by name: its name and the image path at the time.
struct TextureRead {
    std::string name;
    std::string path;
};

inline std::vector<TextureRead>& texture_reads() {
    static std::vector<TextureRead> reads;
    return reads;
}

// Textures are made by name with a 4 x 8 raster of their own (32-bit colour); names starting
// "missing" are not found.
inline LgTexture* noted_texture(const char* name, const char* mask) {
    const char* path = LgImageGetPath();
    texture_reads().push_back({name, path != nullptr ? path : ""});
    if (std::string(name).rfind("missing", 0) == 0) return nullptr;
    LgTexture* t = LgTextureCreate(LgRasterCreate(4, 8, 32, LgRasterTypeTexture | 0x500));
    LgTextureSetName(t, name);
    LgTextureSetMaskName(t, mask);
    return t;
}

// An engine camera over a 640 x 480 raster, placed at `position` looking along `at` (any
// length), with its view matrix built by one empty frame.
class ViewCamera {
public:
    ViewCamera(LgVector position, LgVector at) {
        raster = LgRasterCreate(640, 480, 32, LgRasterTypeCamera);
        camera = LgCameraCreate();
        frame = LgFrameCreate();
        LgCameraSetFrame(camera, frame);
        LgCameraSetRaster(camera, raster);
        LgCameraSetNearClipPlane(camera, 1.0f);
        LgCameraSetFarClipPlane(camera, 5000.0f);
        place(position, at);
    }
    ~ViewCamera() {
        LgCameraDestroy(camera);
        LgFrameDestroy(frame);
        LgRasterDestroy(raster);
    }
    ViewCamera(const ViewCamera&) = delete;
    ViewCamera& operator=(const ViewCamera&) = delete;

    void place(LgVector position, LgVector at) {
        LgMatrix* m = LgFrameGetMatrix(frame);
        LgVectorNormalize(&m->at, &at);
        // Any up that is not along at; the right row completes a right-handed frame.
        const LgVector guess = std::fabs(m->at.y) > 0.9f ? LgVector{0, 0, 1} : LgVector{0, 1, 0};
        LgVector right;
        LgVectorCrossProduct(&right, &guess, &m->at);
        LgVectorNormalize(&m->right, &right);
        LgVectorCrossProduct(&m->up, &m->at, &m->right);
        m->pos = position;
        LgMatrixMarkChanged(m);
        LgFrameMarkDirty(frame);
        begin();
        end();
    }
    bool begin() { return LgCameraBeginUpdate(camera) == camera; }
    void end() { LgCameraEndUpdate(camera); }

    LgRaster* raster = nullptr;
    LgCamera* camera = nullptr;
    LgFrame* frame = nullptr;
};

// The engine (null device, world plug-in), the framework with storage and containers, the
// landscape class, a temporary current directory and the recording front end.
class LandscapeTest : public gametest::GameEngineTest {
protected:
    void SetUp() override {
        GameEngineTest::SetUp();
        LgTextureSetReadCallBack(noted_texture);
        texture_reads().clear();
        IObjectManager* manager = OmGetObjectManager();
        testsupport::register_storage_classes(manager);
        testsupport::register_container_classes(manager);
        ASSERT_EQ(TvRegisterBSPLandscapeClass(manager), OM_S_OK);
        previous_dir = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
        FrontEndRecord::current() = &record;
        const TvFrontEndServices services = recording_services();
        TvInstallFrontEndServices(&services);
        TvDetailTexturesEnabled = 1;
        LgImageSetPath("start\\");
        ASSERT_EQ(OmCreateInstance(CLSID_TavrinBSPLandscape, nullptr, 0, IID_ITvBSPLandscape,
                                   reinterpret_cast<void**>(&landscape)),
                  OM_S_OK);
    }
    void TearDown() override {
        if (landscape != nullptr) {
            landscape->FreeMap();
            landscape->Release();
        }
        TvInstallFrontEndServices(nullptr);
        TvDetailTexturesEnabled = 1;
        FrontEndRecord::current() = nullptr;
        std::filesystem::current_path(previous_dir);
    }

    TavrinBSPLandscape* impl() const { return static_cast<TavrinBSPLandscape*>(landscape); }

    // Writes maps\<name>\map.ini and, when given, the world file "<bsp>.bsp" beside it.
    void write_map(const std::string& name, const std::string& ini, const std::string& bsp = "",
                   const std::vector<uint8_t>& world = {}) {
        dir.write_file("maps/" + name + "/map.ini", ini);
        if (!bsp.empty())
            dir.write_file("maps/" + name + "/" + bsp + ".bsp",
                           std::string(world.begin(), world.end()));
    }
    // A map with the flat quad at y 150 and the given extra map.ini lines.
    OmResult load_flat(const std::string& appearance = "", const std::string& rest = "") {
        write_map("flat", "[appearance]\nbsp = flat\n" + appearance + rest, "flat",
                  quads_world({150.0f}));
        return landscape->LoadMap("flat");
    }

    testsupport::TempDir dir;
    std::filesystem::path previous_dir;
    FrontEndRecord record;
    ITvBSPLandscape* landscape = nullptr;
};

} // namespace landscapetest
