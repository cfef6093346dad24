// The demo set's sound directory loads through the SoundSet over the streaming device (manual
// backend) without a single warning, and every sound of sounds.ini can be made.
#include "framework/platform/debug_message.h"
#include "platform/audio/audio_backend.h"
#include "platform/paths.h"
#include "sound/base/sound_control.h"
#include "sound/set/sound_set.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/demodata/demodata_fixture.h"

#include <filesystem>

namespace demodatatest {
namespace {

class DemoSoundTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        OmRegisterAllModuleGroups(OmGetObjectManager());
        platform::audio::set_backend(platform::audio::Backend::manual);
        platform::set_program_dir(program_dir());
    }
    void TearDown() override {
        OmReleaseMessageService();
        platform::set_program_dir("");
        platform::audio::set_backend(platform::audio::Backend::sdl);
        FrameworkTest::TearDown();
    }
};

TEST_F(DemoSoundTest, TheSoundDirectoryLoadsWithoutAWarning) {
    testsupport::TempDir logs;
    const std::string log = logs / "log.txt";
    {
        ComRef<IDebugMessage> messages;
        ASSERT_EQ(OmCreate(CLSID_DebugMessage, IID_IDebugMessage, messages.put()), OM_S_OK);
        ASSERT_EQ(messages->SetOutput(nullptr, log.c_str(), 0), OM_S_OK);

        ComRef<ISoundControl> device;
        ASSERT_EQ(OmCreate(CLSID_SoundDevice, IID_ISoundControl, device.put()), OM_S_OK);
        ASSERT_EQ(device->Init(nullptr, 3), OM_S_OK);
        ComRef<ISoundSet> set;
        ASSERT_EQ(OmCreate(CLSID_SoundSet, IID_ISoundSet, set.put()), OM_S_OK);
        ASSERT_EQ(set->Init(device.get(), 3), OM_S_OK);
        ASSERT_EQ(set->Load("sound/"), OM_S_OK);
        Ini sounds("sound/sounds.ini");
        for (const std::string& name : sounds.sections()) {
            if (name.empty()) continue;
            ComRef<ISound> sound;
            EXPECT_EQ(set->CreateSoundInstance(name.c_str(), nullptr, sound.put()), OM_S_OK)
                << name;
        }
        for (const char* channel : {"Device", "InGame", "InMenu"}) {
            float volume = 0;
            EXPECT_EQ(set->GetChannelVolume(channel, &volume), OM_S_OK) << channel;
        }
        EXPECT_EQ(set->Update(), OM_S_OK);
    }
    OmReleaseMessageService();
    EXPECT_FALSE(std::filesystem::exists(log)) << logs.read_file("log.txt");
}

} // namespace
} // namespace demodatatest
