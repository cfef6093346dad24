// SoundSet: loading channels.ini and sounds.ini from a fixture directory (messages, what stays
// after a failing section, inheritance through the channel tree, reloading), the operations by
// name, the time step on the virtual clock and the play description.
#include "sound/channel/limiter_sound_control.h"
#include "sound/channel/priority_sound_control.h"
#include "sound/channel/sound_channel_base.h"
#include "tests/sound/set/sound_set_fixture.h"
#include "tests/support/virtual_clock.h"

#include <clocale>
#include <cstdlib>
#include <functional>
#include <vector>

namespace soundtest {
namespace {

const std::string device = "[Device]\nType=DeviceControl\n";

ComRef<ISound> instance(ISoundSet* set, const char* name, const SoundPlayDesc* desc = nullptr) {
    ComRef<ISound> sound;
    set->CreateSoundInstance(name, desc, sound.put());
    return sound;
}

bool has_sound(ISoundSet* set, const char* name) {
    return instance(set, name).get() != nullptr;
}

bool has_channel(ISoundSet* set, const char* name) {
    return set->StopChannel(name) == OM_S_OK;
}

TEST_F(SoundSetTest, LoadsTheFilesAndPlaysByName) {
    files(device + "[Menu]\nType=PriorityControl\nParent=Device\nMaxSounds=2\n",
          "[click.wav]\nChannel=Device\n"
          "[beep]\nChannel=Device\nSample=tone.wav\nVolume=0.5\n"
          "[menu.beep]\nChannel=Menu\nInherit=beep\n");
    write("click.wav", wav_file(100));
    write("tone.wav", wav_file(50));
    ASSERT_EQ(load(), OM_S_OK);
    EXPECT_EQ(take_log(), "");

    char path[8];
    ASSERT_EQ(set_->GetPath(path, 7), OM_S_OK);
    EXPECT_STREQ(path, "sound/");
    EXPECT_EQ(set_->GetPath(path, 6), OM_E_FAIL);

    // A section without "Sample" reads the file named like the section.
    EXPECT_EQ(instance(set_.get(), "click.wav")->GetLength(), 100u);
    auto beep = instance(set_.get(), "beep");
    ASSERT_TRUE(beep);
    EXPECT_EQ(beep->GetLength(), 50u);
    float volume = 0;
    beep->GetParamReal(SOUND_REAL_VOLUME, &volume);
    EXPECT_EQ(volume, 0.5f);

    EXPECT_EQ(set_->PlaySound("menu.beep", 0), OM_S_OK);
    EXPECT_EQ(set_->PlaySoundWith("menu.beep", nullptr, 0), OM_S_OK);
    EXPECT_EQ(set_->SetChannelVolume("Device", 0.25f), OM_S_OK);
    EXPECT_EQ(set_->GetChannelVolume("Device", &volume), OM_S_OK);
    EXPECT_EQ(volume, 0.25f);
    EXPECT_EQ(set_->StopChannel("Menu"), OM_S_OK);
    EXPECT_EQ(set_->StopAllSounds(), OM_S_OK);

    // Names that are not loaded.
    float rows[12], v[3];
    ISound* out = nullptr;
    const std::vector<std::function<OmResult()>> unknown = {
        [&] { return set_->SetChannelParams("Nowhere", rows, v); },
        [&] { return set_->GetChannelParams("Nowhere", rows, v); },
        [&] { return set_->PlaySound("nothing", 0); },
        [&] { return set_->PlaySoundWith("nothing", nullptr, 0); },
        [&] { return set_->CreateSoundInstance("nothing", nullptr, &out); },
        [&] { return set_->SetChannelVolume("Nowhere", 1.0f); },
        [&] { return set_->GetChannelVolume("Nowhere", &volume); },
        [&] { return set_->StopChannel("Nowhere"); },
        [&] { return set_->PlaySound("Menu", 0); }, // a channel is no sound
        [&] { return set_->StopChannel("beep"); },  // and a sound no channel
    };
    for (size_t i = 0; i < unknown.size(); ++i) EXPECT_EQ(unknown[i](), OM_E_FAIL) << i;
    EXPECT_EQ(out, nullptr);
}

struct LoadCase {
    const char* what;
    std::string channels;
    std::string sounds;
    OmResult result;
    std::string message; // empty: no warning at all
    std::vector<const char*> kept;
    std::vector<const char*> lost;
};

TEST_F(SoundSetTest, LoadingStopsAtTheFirstFailingSectionWithItsMessage) {
    const std::string tree = device + "[Menu]\nType=PriorityControl\nParent=Device\n"
                                      "[Side]\nType=PriorityControl\nParent=Device\n"
                                      "[Meta]\nType=MetaSoundSoundControl\nParent=Device\n";
    const std::string one = "[one.wav]\nChannel=Device\n";
    const std::string after = "[two.wav]\nChannel=Device\n";
    const std::string long_name(80, 'n');
    const std::vector<LoadCase> cases = {
        {"no type",
         device + "[A]\nParent=Device\n[B]\nType=QueueControl\n",
         one,
         OM_E_FAIL,
         "Channel 'A' does not have a Type defined",
         {"Device"},
         {"A", "B", "one.wav"}},
        {"unknown type",
         device + "[A]\nType=Bogus\n",
         "",
         OM_E_FAIL,
         "Channel type 'Bogus' could not be found for channel 'A'.",
         {"Device"},
         {"A"}},
        {"type in another case",
         device + "[A]\nType=prioritycontrol\n",
         "",
         OM_E_FAIL,
         "Channel type 'prioritycontrol' could not be found for channel 'A'.",
         {"Device"},
         {"A"}},
        {"parent defined later",
         device + "[A]\nType=PriorityControl\nParent=B\n[B]\nType=PriorityControl\n",
         "",
         OM_E_FAIL,
         "Could not find channel 'B' - specificed as parent to 'A'",
         {"Device"},
         {"A", "B"}},
        {"member names with blanks",
         tree + "[Both]\nType=MetaSoundControl\nChannels=Menu, Side\n[C]\nType=QueueControl\n",
         "",
         OM_E_FAIL,
         "",
         {"Menu", "Side"},
         {"Both", "C"}},
        {"members",
         tree + "[Both]\nType=MetaSoundControl\nChannels=Menu,Side\n",
         "",
         OM_S_OK,
         "",
         {"Both"},
         {}},
        {"sound without a channel",
         tree,
         one + "[x]\nSample=one.wav\n" + after,
         OM_E_FAIL,
         "",
         {"one.wav"},
         {"x", "two.wav"}},
        {"channel not loaded",
         tree,
         one + "[x]\nChannel=Elsewhere\n" + after,
         OM_E_FAIL,
         "",
         {"one.wav"},
         {"x", "two.wav"}},
        {"channel name longer than its buffer",
         tree,
         one + "[x]\nChannel=" + long_name + "\n" + after,
         OM_E_FAIL,
         "",
         {"one.wav"},
         {"x", "two.wav"}},
        {"priority channel makes no sound",
         tree,
         one + "[x]\nChannel=Menu\n" + after,
         OM_E_FAIL,
         "Unable to create sound 'x'",
         {"one.wav"},
         {"x", "two.wav"}},
        {"sample missing",
         tree,
         one + "[x]\nChannel=Device\nSample=absent.wav\n" + after,
         OM_E_FAIL,
         "Unable to create sound 'x'",
         {"one.wav"},
         {"x", "two.wav"}},
        {"inherited sound missing",
         tree,
         one + "[x]\nChannel=Menu\nInherit=ghost\n" + after,
         OM_E_FAIL,
         "Unable to find sound 'ghost' inherited by 'x'",
         {"one.wav"},
         {"x", "two.wav"}},
        {"inherit from the same channel",
         tree,
         one + "[x]\nChannel=Device\nInherit=one.wav\n" + after,
         OM_E_FAIL,
         "Unable to inherit 'x' from 'one.wav'  - check the Channel Inheritence",
         {"one.wav"},
         {"x", "two.wav"}},
        {"inherit from a sibling",
         tree,
         one + "[m]\nChannel=Menu\nInherit=one.wav\n[x]\nChannel=Side\nInherit=m\n" + after,
         OM_E_FAIL,
         "Unable to inherit 'x' from 'm'  - check the Channel Inheritence",
         {"one.wav", "m"},
         {"x", "two.wav"}},
        {"inherit into a meta sound channel",
         tree,
         one + "[x]\nChannel=Meta\nInherit=one.wav\n" + after,
         OM_E_FAIL,
         "Unable to inherit 'x' from 'one.wav'  - check the channel types",
         {"one.wav"},
         {"x", "two.wav"}},
        {"format outside the list",
         tree,
         "[x]\nChannel=Device\nSample=one.wav\nFormat=MONO24\n",
         OM_S_OK,
         "Key 'Format' is not set to a valid value 'MONO24'",
         {"x"},
         {}},
        {"section name longer than a name",
         tree,
         one + "[" + long_name + "]\nChannel=Device\n",
         OM_E_FAIL,
         "",
         {"one.wav"},
         {}},
    };
    write("one.wav", wav_file(10));
    write("two.wav", wav_file(10));
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.what);
        files(c.channels, c.sounds);
        set_ = make_set();
        EXPECT_EQ(load(), c.result);
        const std::string log = take_log();
        if (c.message.empty()) {
            EXPECT_EQ(log, "");
        } else {
            EXPECT_NE(log.find(c.message + "\n"), std::string::npos) << log;
        }
        for (const char* name : c.kept)
            EXPECT_TRUE(has_channel(set_.get(), name) || has_sound(set_.get(), name)) << name;
        for (const char* name : c.lost)
            EXPECT_FALSE(has_channel(set_.get(), name) || has_sound(set_.get(), name)) << name;
    }
}

TEST_F(SoundSetTest, MissingChannelsFileReadsNoSounds) {
    write("sounds.ini", "[one.wav]\nChannel=Device\n");
    write("one.wav", wav_file(10));
    EXPECT_LT(load(), 0);
    const std::string log = take_log();
    EXPECT_NE(log.find("Unable to open " + dir_.path() + "/sound/channels.ini"), std::string::npos)
        << log;
    EXPECT_EQ(log.find("sounds.ini"), std::string::npos) << log;
    EXPECT_FALSE(has_sound(set_.get(), "one.wav"));

    // And a missing sounds.ini after a good channels.ini.
    std::filesystem::remove(dir_ / "sound/sounds.ini");
    write("channels.ini", device);
    EXPECT_LT(load(), 0);
    EXPECT_NE(take_log().find("Unable to open " + dir_.path() + "/sound/sounds.ini"),
              std::string::npos);
    EXPECT_TRUE(has_channel(set_.get(), "Device"));
}

TEST_F(SoundSetTest, PathsAndDirectoriesBeyondTheirBuffersAreRefused) {
    // A program directory long enough that the base directory passes 259 characters (the OS
    // service reads it when it is first made).
    const std::string deep = dir_ / std::string(150, 'd');
    std::filesystem::create_directories(deep + "/sound");
    platform::set_program_dir(deep);
    auto far = make_set();
    EXPECT_EQ(far->Load((std::string(110, 'q') + "/").c_str()), OM_E_FAIL);
    EXPECT_EQ(far->Load(std::string(128, 'p').c_str()), OM_E_FAIL);
    EXPECT_EQ(take_log(), ""); // refused before any file is opened
    far.reset();
    platform::set_program_dir(dir_.path());
    // A path of 127 characters is taken (and its files are looked for).
    auto near = make_set();
    EXPECT_LT(near->Load((std::string(126, 'q') + "/").c_str()), 0);
    EXPECT_NE(take_log().find("Unable to open " + dir_.path() + "/qqq"), std::string::npos);
}

// Each channel wraps what comes from above it: a sound inheriting from its parent channel is
// wrapped by its own channel only, one inheriting from its grandparent channel by the parent
// channel first and then its own.
TEST_F(SoundSetTest, InheritedSoundsAreWrappedDownTheChannelTree) {
    files(device + "[Limit]\nType=LimiterControl\nParent=Device\n"
                   "[Prio]\nType=PriorityControl\nParent=Limit\n",
          "[a.wav]\nChannel=Device\n"
          "[limited]\nChannel=Limit\nInherit=a.wav\n"
          "[both]\nChannel=Prio\nInherit=a.wav\n"
          "[again]\nChannel=Prio\nInherit=limited\n");
    write("a.wav", wav_file(10));
    ASSERT_EQ(load(), OM_S_OK);
    auto inner = [](ISound* s) {
        intptr_t p = 0;
        s->GetParamInt(SOUND_INT_SOURCE, &p);
        return reinterpret_cast<ISound*>(p);
    };
    auto limited = instance(set_.get(), "limited");
    ASSERT_TRUE(dynamic_cast<LimiterSound*>(limited.get()));
    EXPECT_TRUE(dynamic_cast<BaseSound*>(inner(limited.get())));
    for (const char* name : {"both", "again"}) {
        SCOPED_TRACE(name);
        auto sound = instance(set_.get(), name);
        ASSERT_TRUE(dynamic_cast<PrioritySound*>(sound.get()));
        ISound* middle = inner(sound.get());
        ASSERT_TRUE(dynamic_cast<LimiterSound*>(middle));
        EXPECT_TRUE(dynamic_cast<BaseSound*>(inner(middle)));
    }
}

TEST_F(SoundSetTest, LoadingAgainStopsEverySoundAndRebuildsBothTables) {
    files(device + "[Menu]\nType=PriorityControl\nParent=Device\n",
          "[a.wav]\nChannel=Device\n[loop]\nChannel=Menu\nInherit=a.wav\n");
    write("a.wav", wav_file(10));
    write("b.wav", wav_file(10));
    ASSERT_EQ(load(), OM_S_OK);
    auto loop = instance(set_.get(), "loop");
    ASSERT_EQ(loop->Play(SOUND_PLAY_LOOP), OM_S_OK);
    ASSERT_TRUE(loop->IsPlaying());

    files(device + "[Game]\nType=QueueControl\nParent=Device\n", "[b.wav]\nChannel=Device\n");
    ASSERT_EQ(load(), OM_S_OK);
    EXPECT_FALSE(loop->IsPlaying());
    EXPECT_FALSE(has_sound(set_.get(), "a.wav"));
    EXPECT_FALSE(has_sound(set_.get(), "loop"));
    EXPECT_FALSE(has_channel(set_.get(), "Menu"));
    EXPECT_TRUE(has_sound(set_.get(), "b.wav"));
    EXPECT_TRUE(has_channel(set_.get(), "Game"));
}

// Looping sounds still listed by their controls when the set goes are stopped first, so that
// nothing stays alive behind it (the fixture checks the heap).
TEST_F(SoundSetTest, ReleasingTheSetStopsWhatStillPlays) {
    files(device + "[Menu]\nType=PriorityControl\nParent=Device\n"
                   "[Limit]\nType=LimiterControl\nParent=Menu\n",
          "[a.wav]\nChannel=Device\n[loop]\nChannel=Limit\nInherit=a.wav\n");
    write("a.wav", wav_file(10));
    ASSERT_EQ(load(), OM_S_OK);
    ASSERT_EQ(set_->PlaySound("loop", SOUND_PLAY_LOOP), OM_S_OK);
    ASSERT_EQ(set_->PlaySoundWith("loop", nullptr, SOUND_PLAY_LOOP), OM_S_OK);
    auto held = instance(set_.get(), "loop");
    ASSERT_EQ(held->Play(SOUND_PLAY_LOOP), OM_S_OK);
    set_.reset();
    EXPECT_FALSE(held->IsPlaying());
    EXPECT_EQ(count_objects(control_.get(), CONTROL_LIST_ACTIVE), 0u);
}

// A channel type of the test's own whose control records the time steps it is given.
std::vector<uint32_t> steps;

class RecordingControl final : public SoundControlBase {
public:
    OmResult Update(uint32_t elapsed) override {
        steps.push_back(elapsed);
        return OM_S_OK;
    }
};

class RecordingChannel final : public SoundChannelBase {
public:
    RecordingChannel() : SoundChannelBase("RecordingControl") {}
    OmResult ReadKeys(ISoundControl*, ICOMHash*, IPropertySheet*) override {
        control_.attach(new RecordingControl);
        return OM_S_OK;
    }
};

const GUID CLSID_RecordingChannel = om_guid("5E0C7F3A-1B2D-4C6E-8F90-A1B2C3D4E5F6");
const GUID* const channel_category[] = {&CATID_SoundChannel, nullptr};
const OmClassRecord recording_classes[] = {{&CLSID_RecordingChannel, channel_category, nullptr,
                                            SoundChannelBase::create<RecordingChannel>,
                                            "RecordingChannel"}};
OM_DEFINE_MODULE(RecordingChannel, recording_classes)

TEST_F(SoundSetTest, UpdateStepsEveryChannelByTheClockClampedTo200) {
    testsupport::VirtualClockScope clock(0);
    ASSERT_EQ(RecordingChannel_RegisterClasses(OmGetObjectManager()), OM_S_OK);
    files("[Clock]\nType=RecordingControl\n", "");
    ASSERT_EQ(load(), OM_S_OK);
    // Virtual time of each Update and the step it gives (the last update starts at 0).
    const struct {
        uint64_t now;
        uint32_t step;
    } table[] = {
        {150, 150},
        {150, 0},
        {350, 200}, // 200 passes unchanged
        {551, 200}, // 201 is clamped
        {651, 100},
        {0xFFFFFFF0ull, 200},  // a long pause
        {0x100000010ull, 200}, // the 32-bit clock wrapped: negative
        {0x100000020ull, 16},
    };
    for (const auto& row : table) {
        platform::set_virtual_time(row.now);
        steps.clear();
        EXPECT_EQ(set_->Update(), OM_S_OK);
        EXPECT_EQ(steps, std::vector<uint32_t>{row.step}) << row.now;
    }
}

TEST_F(SoundSetTest, ThePlayDescriptionAppliesTheFieldsItsFlagsName) {
    // A function sound keeps Param1 and Param2 (as expression variables) for reading back.
    files(device + "[Func]\nType=FunctionSoundControl\nParent=Device\n",
          "[a.wav]\nChannel=Device\n[f]\nChannel=Func\nSound=a.wav\nFunction=Unused = Param2\n");
    write("a.wav", wav_file(10));
    ASSERT_EQ(load(), OM_S_OK);
    SoundPlayDesc desc{};
    desc.priority = 7;
    desc.frequency = 11025;
    desc.volume = 0.25f;
    desc.pan = -0.5f;
    for (int i = 0; i < 12; ++i) desc.frame[i] = float(i + 1);
    desc.velocity[0] = 4;
    desc.param1 = 0.125f;
    desc.param2 = 0.75f;
    // What each field reads back as.
    const std::vector<std::function<float(ISound*)>> fields = {
        [](ISound* s) {
            float f[12], v[3] = {};
            s->Get3D(f, v);
            return v[0];
        },
        [](ISound* s) {
            intptr_t p = 0;
            s->GetParamInt(SOUND_INT_PRIORITY, &p);
            return float(p);
        },
        [](ISound* s) {
            intptr_t hz = 0;
            s->GetParamInt(SOUND_INT_FREQUENCY, &hz);
            return float(hz);
        },
        [](ISound* s) {
            float v = 0;
            s->GetParamReal(SOUND_REAL_VOLUME, &v);
            return v;
        },
        [](ISound* s) {
            float v = 0;
            s->GetParamReal(SOUND_REAL_PAN, &v);
            return v;
        },
        [](ISound* s) {
            float f[12] = {}, v[3];
            s->Get3D(f, v);
            return f[10];
        },
        [](ISound* s) {
            float v = 0;
            s->GetParamReal(SOUND_REAL_PARAM1, &v);
            return v;
        },
        [](ISound* s) {
            float v = 0;
            s->GetParamReal(SOUND_REAL_PARAM2, &v);
            return v;
        },
    };
    const float wanted[] = {4, 7, 11025, 0.25f, -0.5f, 11, 0.125f, 0.75f};
    auto plain = instance(set_.get(), "f");
    ASSERT_TRUE(plain);
    for (size_t bit = 0; bit < fields.size(); ++bit) {
        desc.flags = 1u << bit;
        SCOPED_TRACE(desc.flags);
        auto sound = instance(set_.get(), "f", &desc);
        ASSERT_TRUE(sound);
        for (size_t f = 0; f < fields.size(); ++f) {
            EXPECT_EQ(fields[f](sound.get()), f == bit ? wanted[f] : fields[f](plain.get())) << f;
        }
    }
    desc.flags = 0xFF;
    auto all = instance(set_.get(), "f", &desc);
    for (size_t f = 0; f < fields.size(); ++f) EXPECT_EQ(fields[f](all.get()), wanted[f]) << f;
}

TEST_F(SoundSetTest, DeviceKeysReachTheDeviceControl) {
    control_->SetOutputFormat(SOUND_FORMAT_STEREO16, 22050,
                              CONTROL_INIT_EXCLUSIVE | CONTROL_INIT_3D);
    const struct {
        const char* keys;
        uint32_t code, rate, flags;
    } table[] = {
        {"Format=mono8\nFrequency=32000\nFlags=3D\n", SOUND_FORMAT_MONO8, 32000, CONTROL_INIT_3D},
        {"Frequency=11KHZ\n", SOUND_FORMAT_STEREO16, 11025,
         CONTROL_INIT_EXCLUSIVE | CONTROL_INIT_3D},
        {"Flags=EXCLUSIVE|3d\nFormat=MONO24\n", SOUND_FORMAT_STEREO16, 22050,
         CONTROL_INIT_EXCLUSIVE},
        {"Flags=\n", SOUND_FORMAT_STEREO16, 22050, 0}, // present: both words missing
        {"Channels=8\n", SOUND_FORMAT_STEREO16, 22050, CONTROL_INIT_EXCLUSIVE | CONTROL_INIT_3D},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.keys);
        control_->SetOutputFormat(SOUND_FORMAT_STEREO16, 22050,
                                  CONTROL_INIT_EXCLUSIVE | CONTROL_INIT_3D);
        files(device + row.keys, "");
        set_ = make_set();
        ASSERT_EQ(load(), OM_S_OK);
        uint32_t code = 0, rate = 0, flags = 0;
        control_->GetOutputFormat(&code, &rate, &flags);
        EXPECT_EQ(code, row.code);
        EXPECT_EQ(rate, row.rate);
        EXPECT_EQ(flags, row.flags);
    }
    EXPECT_NE(take_log().find("Key 'Format' is not set to a valid value 'MONO24'"),
              std::string::npos);

    // Volume, the listener frame (right = Up x At) and velocity.
    files(device + "Volume=0.5\nAtX=0\nAtY=0\nAtZ=1\nUpX=0\nUpY=1\nUpZ=0\n"
                   "PositionX=1\nPositionY=2\nPositionZ=3\nVelocityX=4\nVelocityY=5\n"
                   "VelocityZ=6\n",
          "");
    set_ = make_set();
    ASSERT_EQ(load(), OM_S_OK);
    float volume = 0;
    EXPECT_EQ(set_->GetChannelVolume("Device", &volume), OM_S_OK);
    EXPECT_EQ(volume, 0.5f);
    float rows[12] = {}, velocity[3] = {};
    ASSERT_EQ(set_->GetChannelParams("Device", rows, velocity), OM_S_OK);
    const float expected[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 2, 3};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(rows[i], expected[i]) << i;
    EXPECT_EQ(velocity[2], 6.0f);
    const float moved[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 7, 8, 9};
    ASSERT_EQ(set_->SetChannelParams("Device", moved, nullptr), OM_S_OK);
    ASSERT_EQ(set_->GetChannelParams("Device", rows, nullptr), OM_S_OK);
    EXPECT_EQ(rows[9], 7.0f);
}

// Builds a locale whose decimal separator is ',' from the system's locale sources into `dir`;
// false when they are not installed.
bool build_comma_locale(const std::string& dir) {
    if (!std::filesystem::exists("/usr/share/i18n/locales/de_DE")) return false;
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 || std::filesystem::exists(dir + "/de_DE.UTF-8");
}

TEST_F(SoundSetTest, RealsReadTheSameUnderACommaDecimalLocale) {
    testsupport::TempDir locales;
    if (!build_comma_locale(locales.path())) GTEST_SKIP() << "no locale sources (package locales)";
    const char* old_path = std::getenv("LOCPATH");
    const std::string saved_path = old_path ? old_path : "";
    setenv("LOCPATH", locales.path().c_str(), 1);
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
    ASSERT_EQ(std::strtod("0.5", nullptr), 0.0); // the runtime's own reading stops at '.'

    files(device, "[a.wav]\nChannel=Device\nVolume=0.5\nPan=-0.25\n");
    write("a.wav", wav_file(10));
    const OmResult loaded = load();
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (old_path) {
        setenv("LOCPATH", saved_path.c_str(), 1);
    } else {
        unsetenv("LOCPATH");
    }
    ASSERT_EQ(loaded, OM_S_OK);
    auto sound = instance(set_.get(), "a.wav");
    float volume = 0, pan = 0;
    sound->GetParamReal(SOUND_REAL_VOLUME, &volume);
    sound->GetParamReal(SOUND_REAL_PAN, &pan);
    EXPECT_EQ(volume, 0.5f);
    EXPECT_EQ(pan, -0.25f);
}

} // namespace
} // namespace soundtest
