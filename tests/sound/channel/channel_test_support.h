// Shared set-up of the channel-control tests: a plain control as parent, BaseSound inner
// sounds, channel sounds made by a control, property sheets from text.
#pragma once

#include "framework/containers/property_sheet.h"
#include "sound/channel/channel_sound.h"
#include "tests/sound/sound_file_support.h"

#include <string>

namespace soundtest {

class ChannelTest : public SoundFileTest {
protected:
    void SetUp() override {
        SoundFileTest::SetUp();
        ASSERT_EQ(OmCreate(CLSID_BaseSoundControl, IID_ISoundControl, parent_.put()), OM_S_OK);
    }
    void TearDown() override {
        parent_.reset();
        SoundFileTest::TearDown();
    }

    // A control of the class attached to the plain parent.
    ComRef<ISoundControl> make_control(const GUID& clsid, uint32_t flags = 0) {
        ComRef<ISoundControl> control;
        EXPECT_EQ(OmCreate(clsid, IID_ISoundControl, control.put()), OM_S_OK);
        if (control) {
            EXPECT_EQ(control->Init(parent_.get(), flags), OM_S_OK);
        }
        return control;
    }
    // A 16-bit mono BaseSound of 100 frames.
    static ComRef<ISound> base_sound(uint32_t hz = 22050) {
        return plain_sound(SOUND_FORMAT_MONO16, 100, hz);
    }
    // The control's own kind of sound over `inner` (a fresh BaseSound when null).
    static ComRef<ISound> channel_sound(ISoundControl* control, ISound* inner = nullptr) {
        ComRef<ISound> fresh;
        if (!inner) {
            fresh = base_sound();
            inner = fresh.get();
        }
        ComRef<ISound> sound;
        EXPECT_EQ(control->CreateSoundFrom(nullptr, sound.put()), OM_S_OK);
        if (sound) {
            EXPECT_EQ(sound->SetParamInt(SOUND_INT_SOURCE, reinterpret_cast<intptr_t>(inner)),
                      OM_S_OK);
        }
        return sound;
    }
    static ISound* inner_of(ISound* sound) {
        intptr_t inner = 0;
        sound->GetParamInt(SOUND_INT_SOURCE, &inner);
        return reinterpret_cast<ISound*>(inner);
    }
    static float real(ISound* sound, int32_t kind) {
        float value = -99.0f;
        sound->GetParamReal(kind, &value);
        return value;
    }
    static intptr_t integer(ISound* sound, int32_t kind) {
        intptr_t value = -99;
        sound->GetParamInt(kind, &value);
        return value;
    }
    // Ends a sound the way a finished sample does: its inner sound stops.
    static void end(ISound* sound) { inner_of(sound)->Stop(); }
    static bool plays(ISound* sound) { return sound->IsPlaying() != 0; }
    // A property sheet loaded from the text, positioned on `section`.
    static ComRef<IPropertySheet> sheet_of(const std::string& text, const char* section) {
        ComRef<IPropertySheet> sheet;
        EXPECT_EQ(OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put()), OM_S_OK);
        EXPECT_EQ(sheet->Load(stream_of(text).get()), OM_S_OK);
        EXPECT_EQ(sheet->SetSection(section), OM_S_OK);
        return sheet;
    }

    ComRef<ISoundControl> parent_;
};

} // namespace soundtest
