// The sound front end: every wrapper's "without" value when the set and the music cannot be
// made, and what each wrapper hands to a SoundSet and a MetaMusic when they can (scripted
// stand-ins registered under their class ids).
#include "engine/core/lg_camera.h"
#include "engine/core/lg_frame.h"
#include "engine/core/lg_matrix.h"
#include "framework/core/class_factory.h"
#include "framework/core/component.h"
#include "frontend/sound/sound_front_end.h"
#include "platform/audio/audio_backend.h"
#include "platform/paths.h"
#include "sound/base/sound_control.h"
#include "sound/music/music.h"
#include "sound/set/sound_set.h"
#include "tests/frontend/video_fixture.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// What the stand-ins saw.
struct Calls {
    std::vector<std::string> log;
    float rows[12] = {};
    bool velocity_given = false;
    SoundPlayDesc desc{};
    bool desc_given = false;
    OmResult load_result = OM_S_OK;
} calls;

class ScriptedSoundSet final : public OmObject<ScriptedSoundSet, ISoundSet> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ISoundSet, this}});
    }
    OmResult Init(IUnknown* device, uint32_t flags) override {
        calls.log.push_back("Init " + std::to_string(device != nullptr) + " " +
                            std::to_string(flags));
        return OM_S_OK;
    }
    OmResult Update() override { return note("Update", 7); }
    OmResult SetChannelParams(const char* channel, const float* rows, const float* v) override {
        std::memcpy(calls.rows, rows, sizeof calls.rows);
        calls.velocity_given = v != nullptr;
        return note(std::string("SetChannelParams ") + channel, 0);
    }
    OmResult GetChannelParams(const char* channel, float* rows, float*) override {
        std::memcpy(rows, calls.rows, sizeof calls.rows);
        return note(std::string("GetChannelParams ") + channel, 0);
    }
    OmResult Load(const char* path) override {
        return note(std::string("Load ") + path, calls.load_result);
    }
    OmResult GetPath(char*, uint32_t) override { return OM_E_FAIL; }
    OmResult PlaySound(const char* sound, int32_t argument) override {
        return note(std::string("PlaySound ") + sound + " " + std::to_string(argument), 0);
    }
    OmResult PlaySoundWith(const char* sound, const SoundPlayDesc* desc, int32_t) override {
        calls.desc_given = desc != nullptr;
        if (desc) calls.desc = *desc;
        return note(std::string("PlaySoundWith ") + sound, 0);
    }
    OmResult CreateSoundInstance(const char* sound, const SoundPlayDesc* desc,
                                 ISound** out) override {
        *out = nullptr;
        return note(std::string("CreateSoundInstance ") + sound + (desc ? " desc" : ""), OM_E_FAIL);
    }
    OmResult SetChannelVolume(const char* channel, float volume) override {
        return note(std::string("SetChannelVolume ") + channel + " " + std::to_string(volume), 0);
    }
    OmResult GetChannelVolume(const char* channel, float* out) override {
        if (std::string(channel) != "InGame") return OM_E_FAIL;
        *out = 0.75f;
        return OM_S_OK;
    }
    OmResult StopChannel(const char*) override { return OM_S_OK; }
    OmResult StopAllSounds() override { return note("StopAllSounds", 0); }

private:
    static OmResult note(std::string what, OmResult result) {
        calls.log.push_back(std::move(what));
        return result;
    }
};

class ScriptedMusic final : public OmObject<ScriptedMusic, IMusic> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IMusic, this}});
    }
    OmResult Init(IUnknown* object) override {
        return note("Init " + std::to_string(object != nullptr));
    }
    OmResult Play(uint32_t flags) override { return note("Play " + std::to_string(flags)); }
    OmResult Pause() override { return note("Pause"); }
    OmResult Stop() override { return note("Stop"); }
    OmResult Eject() override { return OM_S_OK; }
    int32_t GetCount() override { return 4; }
    OmResult Select(int32_t entry) override { return note("Select " + std::to_string(entry)); }
    int32_t GetSelection() override { return 0; }
    OmResult GetStatus(uint32_t*) override { return OM_E_FAIL; }
    int32_t GetLength() override { return 0; }
    OmResult SetPosition(int32_t) override { return OM_E_FAIL; }
    int32_t GetPosition() override { return 0; }
    OmResult SetVolume(float level) override { return note("SetVolume " + std::to_string(level)); }
    float GetVolume() override { return 1.0f; }

private:
    static OmResult note(std::string what) {
        calls.log.push_back("music " + what);
        return OM_S_OK;
    }
};

const OmClassRecord scripted_classes[] = {
    {&CLSID_SoundSet, nullptr, nullptr, OmCreateComponent<ScriptedSoundSet>, "SoundSet"},
    {&CLSID_MetaMusic, nullptr, nullptr, OmCreateComponent<ScriptedMusic>, "MetaMusic"},
};
OM_DEFINE_MODULE(ScriptedSound, scripted_classes)

class SoundFrontEnd : public frontendtest::VideoTest {
protected:
    void SetUp() override {
        VideoTest::SetUp();
        calls = {};
    }
    void TearDown() override {
        tvfe::TvCloseSound();
        VideoTest::TearDown();
    }
};

LgMatrix frame_at(float x) {
    LgMatrix m{};
    m.right = {1, 0, 0};
    m.up = {0, 1, 0};
    m.at = {0, 0, 1};
    m.pos = {x, 2, 3};
    return m;
}

TEST_F(SoundFrontEnd, WithoutASoundDeviceEveryWrapperAnswersItsWithoutValue) {
    // No audio device opens: the device is made but its Init fails, so neither the set nor
    // the music is.
    platform::audio::DeviceProfile none;
    none.no_device = true;
    platform::audio::set_device_profile(none);
    EXPECT_LT(tvfe::TvOpenSound(), 0);
    platform::audio::set_device_profile({});
    EXPECT_NE(tvfe::TvGetSoundDevice(), nullptr);
    EXPECT_EQ(tvfe::TvGetSoundSet(), nullptr);
    EXPECT_EQ(tvfe::TvGetMusic(), nullptr);
    const LgMatrix m = frame_at(1);
    LgMatrix out = m;
    EXPECT_EQ(tvfe::TvUpdateSounds(), OM_S_OK);
    EXPECT_EQ(tvfe::TvPlaySound("gun"), OM_S_OK);
    EXPECT_EQ(tvfe::TvStartSound("gun"), OM_S_OK);
    EXPECT_EQ(tvfe::TvGetSoundObject("gun"), nullptr);
    EXPECT_EQ(tvfe::TvSetListenerFrame(&m, nullptr, nullptr), OM_S_OK);
    EXPECT_EQ(tvfe::TvGetListenerFrame(&out), OM_E_FAIL);
    EXPECT_EQ(tvfe::TvPlaySoundAt("gun", &m, nullptr), OM_E_FAIL);
    EXPECT_EQ(tvfe::TvSetChannelVolume("InGame", 0.5f), OM_S_OK);
    EXPECT_EQ(tvfe::TvGetChannelVolume("InGame"), -1.0f);
    EXPECT_EQ(tvfe::TvStopAllSounds(), OM_S_OK);
    tvfe::TvSelectMusic(2);
    tvfe::TvStartMusic();
    tvfe::TvPauseMusic();
    tvfe::TvStopMusic();
    tvfe::TvSetMusicVolume(0.5f);
    EXPECT_EQ(tvfe::TvGetMusicCount(), 0);
    tvfe::TvCloseSound();
    EXPECT_EQ(tvfe::TvGetSoundDevice(), nullptr);
}

TEST_F(SoundFrontEnd, TheWrappersReachTheSetAndTheMusic) {
    ASSERT_GE(ScriptedSound_RegisterClasses(OmGetObjectManager()), 0);
    ASSERT_EQ(tvfe::TvOpenSound(), OM_S_OK);
    EXPECT_EQ(calls.log, (std::vector<std::string>{"Init 1 3", "Load sound/", "music Init 0"}));
    calls.log.clear();

    EXPECT_EQ(tvfe::TvUpdateSounds(), 7);
    tvfe::TvPlaySound("gun");
    tvfe::TvStartSound("bell");
    EXPECT_FALSE(calls.desc_given);
    EXPECT_EQ(tvfe::TvGetSoundObject("wind"), nullptr);
    tvfe::TvSetChannelVolume("InMenu", 0.5f);
    EXPECT_EQ(tvfe::TvGetChannelVolume("InGame"), 0.75f);
    EXPECT_EQ(tvfe::TvGetChannelVolume("Nowhere"), -1.0f);
    tvfe::TvStopAllSounds();
    tvfe::TvSelectMusic(2);
    tvfe::TvStartMusic();
    tvfe::TvSetMusicVolume(0.25f);
    EXPECT_EQ(tvfe::TvGetMusicCount(), 4);
    EXPECT_EQ(calls.log, (std::vector<std::string>{"Update", "PlaySound gun 0",
                                                   "PlaySoundWith bell", "CreateSoundInstance wind",
                                                   "SetChannelVolume InMenu 0.500000",
                                                   "StopAllSounds", "music Select 2",
                                                   "music Play 1", "music SetVolume 0.250000"}));

    // The listener: right and up negated, at and position kept, and read back the same.
    const LgMatrix m = frame_at(5);
    float handed[12] = {};
    EXPECT_EQ(tvfe::TvSetListenerFrame(&m, nullptr, handed), OM_S_OK);
    const float expected[12] = {-1, 0, 0, 0, -1, 0, 0, 0, 1, 5, 2, 3};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(calls.rows[i], expected[i]) << i;
        EXPECT_EQ(handed[i], expected[i]) << i;
    }
    EXPECT_EQ(calls.log.back(), "SetChannelParams Device");
    LgMatrix back{};
    ASSERT_EQ(tvfe::TvGetListenerFrame(&back), OM_S_OK);
    EXPECT_EQ(back.right.x, 1.0f);
    EXPECT_EQ(back.up.y, 1.0f);
    EXPECT_EQ(back.at.z, 1.0f);
    EXPECT_EQ(back.pos.x, 5.0f);

    // A sound at a frame: flags 0x28, or 0x29 with a velocity; volume 1.
    const LgVector velocity = {4, 5, 6};
    for (const LgVector* v : {static_cast<const LgVector*>(nullptr), &velocity}) {
        ASSERT_EQ(tvfe::TvPlaySoundAt("engine", &m, v), OM_S_OK);
        ASSERT_TRUE(calls.desc_given);
        EXPECT_EQ(calls.desc.flags, v ? 0x29u : 0x28u);
        EXPECT_EQ(calls.desc.volume, 1.0f);
        EXPECT_EQ(calls.desc.frame[0], 1.0f);
        EXPECT_EQ(calls.desc.frame[9], 5.0f);
        EXPECT_EQ(calls.desc.velocity[2], v ? 6.0f : 0.0f);
    }
}

TEST_F(SoundFrontEnd, OpeningStopsAtTheFirstFailureAndKeepsWhatItMade) {
    ASSERT_GE(ScriptedSound_RegisterClasses(OmGetObjectManager()), 0);
    calls.load_result = OM_E_FAIL;
    EXPECT_EQ(tvfe::TvOpenSound(), OM_E_FAIL);
    EXPECT_NE(tvfe::TvGetSoundSet(), nullptr);
    EXPECT_EQ(tvfe::TvGetMusic(), nullptr);
    EXPECT_EQ(tvfe::TvGetMusicCount(), 0);
    EXPECT_EQ(tvfe::TvUpdateSounds(), 7);
    tvfe::TvCloseSound();
    EXPECT_EQ(tvfe::TvGetSoundSet(), nullptr);
    EXPECT_EQ(tvfe::TvUpdateSounds(), OM_S_OK);
}

// The real set over the device on the manual backend, from a fixture program directory.
class SoundFrontEndHeard : public SoundFrontEnd {
protected:
    void SetUp() override {
        platform::set_program_dir(dir_.path()); // before the OS service reads it
        SoundFrontEnd::SetUp();
        platform::audio::set_backend(platform::audio::Backend::manual);
        dir_.write_file("sound/channels.ini", "[Device]\nType=DeviceControl\n"
                                              "[InGame]\nType=PriorityControl\nMaxSounds=8\n"
                                              "[InGameSamples]\nType=DeviceControl\n"
                                              "Parent=InGame\n");
        dir_.write_file("sound/sounds.ini", "[hum]\nChannel=InGameSamples\nSample=hum.wav\n"
                                            "3d=1\nMinRadius=1\nMaxRadius=1000\n");
        // One second at a constant level, 16-bit mono at 22050 Hz.
        std::string wav = "RIFF" + le32(36 + 44100) + "WAVEfmt " + le32(16) + le16(1) + le16(1) +
                          le32(22050) + le32(44100) + le16(2) + le16(16) + "data" + le32(44100);
        for (int i = 0; i < 22050; ++i) wav += le16(8000);
        dir_.write_file("sound/hum.wav", wav);
    }
    void TearDown() override {
        tvfe::TvCloseSound();
        platform::audio::set_backend(platform::audio::Backend::sdl);
        SoundFrontEnd::TearDown();
        platform::set_program_dir("");
    }
    static std::string le16(uint32_t v) { return {char(v & 0xFF), char((v >> 8) & 0xFF)}; }
    static std::string le32(uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }

    // Mean left and right levels of the next tenth of a second.
    static std::pair<double, double> heard() {
        std::vector<int16_t> out(2 * 2205);
        EXPECT_EQ(platform::audio::render(out.data(), 2205), 2205u);
        double left = 0, right = 0;
        for (size_t i = 100; i < 2205; ++i) {
            left += std::abs(out[2 * i]);
            right += std::abs(out[2 * i + 1]);
        }
        return {left / 2105, right / 2105};
    }
};

LgVector plus(const LgVector& a, const LgVector& b, float s) {
    return {a.x + b.x * s, a.y + b.y * s, a.z + b.z * s};
}

TEST_F(SoundFrontEndHeard, SoundsAtAFrameAreHeardOnTheirSideOfTheCamera) {
    // Opened up to the music (not built yet): the device and the set are there.
    EXPECT_LT(tvfe::TvOpenSound(), 0);
    ASSERT_NE(tvfe::TvGetSoundSet(), nullptr);
    EXPECT_EQ(tvfe::TvGetMusic(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "ormiclog.txt")) << dir_.read_file("ormiclog.txt");

    // An engine camera turned and moved away from the origin.
    LgCamera* camera = LgCameraCreate();
    LgFrame* frame = LgFrameCreate();
    ASSERT_TRUE(camera && frame);
    LgCameraSetFrame(camera, frame);
    const LgVector axis = {0.3f, 1, 0.2f};
    LgFrameRotate(frame, &axis, 40.0f, LgCombineReplace);
    LgFrameGetMatrix(frame)->pos = {100, 50, -20};
    LgFrameMarkDirty(frame);
    LgFrameSyncAllDirty();
    const LgMatrix world = *LgFrameGetWorldMatrix(frame);
    const LgMatrix view = *LgCameraGetViewMatrix(camera);
    // Where a point lands across the screen (0 left edge, 0.5 centre, 1 right edge).
    auto screen_x = [&](const LgVector& p) {
        const float x = p.x * view.right.x + p.y * view.up.x + p.z * view.at.x + view.pos.x;
        const float z = p.x * view.right.z + p.y * view.up.z + p.z * view.at.z + view.pos.z;
        return x / z;
    };

    ASSERT_EQ(tvfe::TvSetListenerFrame(&world, nullptr, nullptr), OM_S_OK);
    LgMatrix back{};
    ASSERT_EQ(tvfe::TvGetListenerFrame(&back), OM_S_OK);
    for (const auto& [got, set] : {std::pair{back.right, world.right},
                                   {back.up, world.up},
                                   {back.at, world.at},
                                   {back.pos, world.pos}}) {
        EXPECT_FLOAT_EQ(got.x, set.x);
        EXPECT_FLOAT_EQ(got.y, set.y);
        EXPECT_FLOAT_EQ(got.z, set.z);
    }

    // Sources 20 units ahead, one to each side of the camera's right vector.
    const LgVector ahead = plus(world.pos, world.at, 20);
    const LgVector one_side = plus(ahead, world.right, 10);
    const LgVector other_side = plus(ahead, world.right, -10);
    const bool right_vector_on_screen_right = screen_x(one_side) > 0.5f;
    const LgVector on_screen_right = right_vector_on_screen_right ? one_side : other_side;
    const LgVector on_screen_left = right_vector_on_screen_right ? other_side : one_side;
    ASSERT_GT(screen_x(on_screen_right), 0.5f);
    ASSERT_LT(screen_x(on_screen_left), 0.5f);
    EXPECT_NEAR(screen_x(ahead), 0.5f, 1e-4f);

    const struct {
        const char* where;
        LgVector position;
        int side; // +1 louder right, -1 louder left, 0 equal
    } cases[] = {{"screen right", on_screen_right, 1},
                 {"screen left", on_screen_left, -1},
                 {"straight ahead", ahead, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        LgMatrix at_source = world;
        at_source.pos = c.position;
        ASSERT_EQ(tvfe::TvStopAllSounds(), OM_S_OK);
        ASSERT_EQ(tvfe::TvPlaySoundAt("hum", &at_source, nullptr), OM_S_OK);
        ASSERT_EQ(tvfe::TvUpdateSounds(), OM_S_OK);
        const auto [left, right] = heard();
        EXPECT_GT(left + right, 200.0); // 20 units away: a twentieth of the level per side
        if (c.side > 0) EXPECT_GT(right, left * 1.2);
        if (c.side < 0) EXPECT_GT(left, right * 1.2);
        if (c.side == 0) EXPECT_NEAR(left, right, 1.0);
    }
    // Still playing when the front end closes: nothing stays behind (the fixture's leak check).
    LgCameraSetFrame(camera, nullptr);
    LgCameraDestroy(camera);
    LgFrameDestroy(frame);
}

} // namespace
