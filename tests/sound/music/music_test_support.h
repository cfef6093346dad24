// Shared set-up of the music player tests: the framework with the OS service, containers,
// storage and sound modules, the manual DirectSound backend, a temporary program directory,
// and WAV fixtures written into it.
#pragma once

#include "framework/containers/com_hash.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/platform/os_service.h"
#include "platform/paths.h"
#include "sound/music/music.h"
#include "tests/sound/sound_file_support.h"
#include "tests/sound/sound_test_support.h"
#include "tests/support/framework_classes.h"
#include "tests/support/temp_dir.h"

#include <functional>
#include <string>
#include <vector>

namespace soundtest {

// A 16-bit mono WAV of `frames` samples at `hz`, sample i = f(i).
inline std::string mono16_wav(uint32_t frames, const std::function<int16_t(uint32_t)>& f,
                              uint32_t hz = rate) {
    std::string data;
    for (uint32_t i = 0; i < frames; ++i) data += le16(uint16_t(f(i)));
    return RiffBuilder().chunk("fmt ", pcm_format(1, hz, 16)).chunk("data", data).bytes();
}

// A pattern with no repeat inside a short file, so every misplaced sample shows.
inline int16_t pattern(uint32_t i) {
    return int16_t(int32_t((i * 7919u) % 40000u) - 20000);
}

class MusicTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        platform::set_program_dir(dir_.path());
        IObjectManager* manager = OmGetObjectManager();
        Win32OS_RegisterClasses(manager);
        testsupport::register_container_classes(manager);
        testsupport::register_storage_classes(manager);
    }
    void TearDown() override {
        platform::set_program_dir("");
        SoundTest::TearDown();
    }

    // A settings hash with "cpFilename" (when given).
    static ComRef<IObjHash> settings(const char* filename) {
        ComRef<IObjHash> hash;
        EXPECT_EQ(OmCreate(CLSID_ObjHash, IID_IObjHash, hash.put()), OM_S_OK);
        if (filename) hash->SetString("cpFilename", filename);
        return hash;
    }

    testsupport::TempDir dir_;
};

} // namespace soundtest
