// Shared set-up of the sound-set tests: a temporary program directory whose "sound/" holds the
// channels.ini, sounds.ini and WAV files a test writes, a SoundSet over a plain control (or the
// device), and the warnings read back from the debug log.
#pragma once

#include "framework/platform/debug_message.h"
#include "platform/paths.h"
#include "sound/channel/sound_channel.h"
#include "sound/set/sound_set.h"
#include "tests/sound/sound_file_support.h"
#include "tests/support/temp_dir.h"

#include <filesystem>
#include <string>

namespace soundtest {

// A 16-bit mono WAV file of `frames` frames at `hz`, every sample `value`.
inline std::string wav_file(uint32_t frames, int16_t value = 0, uint32_t hz = 22050) {
    std::string samples;
    for (uint32_t i = 0; i < frames; ++i) samples += le16(uint16_t(value));
    return RiffBuilder().chunk("fmt ", pcm_format(1, hz, 16)).chunk("data", samples).bytes();
}

class SoundSetTest : public SoundFileTest {
protected:
    void SetUp() override {
        SoundFileTest::SetUp();
        platform::set_program_dir(dir_.path());
        ASSERT_EQ(OmCreate(CLSID_BaseSoundControl, IID_ISoundControl, control_.put()), OM_S_OK);
    }
    void TearDown() override {
        set_.reset();
        control_.reset();
        OmReleaseMessageService();
        platform::set_program_dir("");
        SoundFileTest::TearDown();
    }

    void write(const std::string& name, const std::string& text) {
        dir_.write_file("sound/" + name, text);
    }
    void files(const std::string& channels, const std::string& sounds) {
        write("channels.ini", channels);
        write("sounds.ini", sounds);
    }
    // A new set initialised on `device` (the plain control when null).
    ComRef<ISoundSet> make_set(ISoundControl* device = nullptr) {
        ComRef<ISoundSet> set;
        EXPECT_EQ(OmCreate(CLSID_SoundSet, IID_ISoundSet, set.put()), OM_S_OK);
        if (set) {
            EXPECT_EQ(set->Init(device ? device : control_.get(), 0), OM_S_OK);
        }
        return set;
    }
    // set_ made when needed, loaded from "sound/".
    OmResult load() {
        if (!set_) set_ = make_set();
        return set_->Load("sound/");
    }
    // The warnings written so far (the log is then removed).
    std::string take_log() {
        OmReleaseMessageService();
        const std::string path = dir_ / OM_DEBUG_LOG_NAME;
        if (!std::filesystem::exists(path)) return "";
        std::string text = dir_.read_file(OM_DEBUG_LOG_NAME);
        std::filesystem::remove(path);
        return text;
    }
    testsupport::TempDir dir_;
    ComRef<ISoundControl> control_;
    ComRef<ISoundSet> set_;
};

} // namespace soundtest
