// The channel types of the category "SoundChannel": names, the controls ReadKeys makes and the
// keys each type reads, the member list of a meta channel, and the sounds the device, meta and
// function channels make or refuse.
#include "framework/core/object_manager.h"
#include "sound/channel/function_sound_control.h"
#include "sound/channel/limiter_sound_control.h"
#include "sound/channel/meta_sound_control.h"
#include "sound/channel/meta_sound_sound_control.h"
#include "sound/channel/placed_sound_control.h"
#include "sound/channel/priority_sound_control.h"
#include "sound/channel/queued_sound_control.h"
#include "sound/channel/sound_channel.h"
#include "tests/sound/channel/channel_test_support.h"

#include <functional>

namespace soundtest {
namespace {

class SoundChannelTest : public ChannelTest {
protected:
    void SetUp() override {
        ChannelTest::SetUp();
        ASSERT_EQ(OmCreate(CLSID_COMHash, IID_ICOMHash, table_.put()), OM_S_OK);
    }
    void TearDown() override {
        table_.reset();
        ChannelTest::TearDown();
    }
    static ComRef<ISoundChannel> make_channel(const GUID& clsid) {
        ComRef<ISoundChannel> channel;
        EXPECT_EQ(OmCreate(clsid, IID_ISoundChannel, channel.put()), OM_S_OK);
        return channel;
    }
    // A channel of the class that has read `keys` (a section "[C]") over the plain parent.
    ComRef<ISoundChannel> read(const GUID& clsid, const std::string& keys,
                               OmResult expected = OM_S_OK) {
        auto channel = make_channel(clsid);
        auto sheet = sheet_of("[C]\n" + keys, "C");
        EXPECT_EQ(channel->ReadKeys(parent_.get(), table_.get(), sheet.get()), expected) << keys;
        return channel;
    }
    static float real(ISoundControl* control, int32_t kind) {
        float value = -99.0f;
        control->GetParamReal(kind, &value);
        return value;
    }
    static intptr_t integer(ISoundControl* control, int32_t kind) {
        intptr_t value = -99;
        control->GetParamInt(kind, &value);
        return value;
    }

    ComRef<ICOMHash> table_;
};

TEST_F(SoundChannelTest, EachTypeAnswersItsNameAndMakesItsControl) {
    const struct {
        const GUID* clsid;
        const char* name;
        std::function<bool(ISoundControl*)> is_its_control;
    } types[] = {
        {&CLSID_DeviceChannel, "DeviceControl",
         [this](ISoundControl* c) { return c == parent_.get(); }},
        {&CLSID_QueueChannel, "QueueControl",
         [](ISoundControl* c) { return dynamic_cast<QueuedSoundControl*>(c) != nullptr; }},
        {&CLSID_PriorityChannel, "PriorityControl",
         [](ISoundControl* c) { return dynamic_cast<PrioritySoundControl*>(c) != nullptr; }},
        {&CLSID_LimiterChannel, "LimiterControl",
         [](ISoundControl* c) { return dynamic_cast<LimiterSoundControl*>(c) != nullptr; }},
        {&CLSID_3dChannel, "3dControl",
         [](ISoundControl* c) { return dynamic_cast<PlacedSoundControl*>(c) != nullptr; }},
        {&CLSID_MetaChannel, "MetaSoundControl",
         [](ISoundControl* c) { return dynamic_cast<MetaSoundControl*>(c) != nullptr; }},
        {&CLSID_MetaSoundChannel, "MetaSoundSoundControl",
         [](ISoundControl* c) { return dynamic_cast<MetaSoundSoundControl*>(c) != nullptr; }},
        {&CLSID_FunctionSoundChannel, "FunctionSoundControl",
         [](ISoundControl* c) { return dynamic_cast<FunctionSoundControl*>(c) != nullptr; }},
    };
    // Every type is found among the classes of the category.
    size_t in_category = 0;
    GUID cursor = GUID_NULL;
    while (OmFindNextClassOfCategory(CATID_SoundChannel, &cursor) >= 0) ++in_category;
    EXPECT_EQ(in_category, std::size(types));
    for (const auto& t : types) {
        SCOPED_TRACE(t.name);
        auto channel = make_channel(*t.clsid);
        ASSERT_TRUE(channel);
        EXPECT_STREQ(channel->GetName(), t.name);
        EXPECT_EQ(channel->GetControl(), nullptr);
        ComRef<IUnknown> unknown;
        EXPECT_EQ(channel->QueryInterface(IID_IUnknown, unknown.put_void()), OM_S_OK);
        ComRef<ISoundControl> wrong;
        EXPECT_EQ(channel->QueryInterface(IID_ISoundControl, wrong.put_void()), OM_E_NOINTERFACE);
        auto sheet = sheet_of("[C]\n", "C");
        ASSERT_EQ(channel->ReadKeys(parent_.get(), table_.get(), sheet.get()), OM_S_OK);
        EXPECT_TRUE(t.is_its_control(channel->GetControl()));
    }
    // A device channel needs a control above it.
    auto sheet = sheet_of("[C]\n", "C");
    EXPECT_EQ(make_channel(CLSID_DeviceChannel)->ReadKeys(nullptr, table_.get(), sheet.get()),
              OM_E_FAIL);
    // The base cannot wrap without a control.
    auto fresh = make_channel(CLSID_PriorityChannel);
    ISound* out = reinterpret_cast<ISound*>(1);
    EXPECT_EQ(fresh->Inherit(base_sound().get(), sheet.get(), &out), OM_E_FAIL);
    EXPECT_EQ(out, nullptr);
}

TEST_F(SoundChannelTest, EachTypeReadsItsKeys) {
    using Control = ISoundControl*;
    const float doppler = real(read(CLSID_3dChannel, "")->GetControl(), CONTROL_REAL_DOPPLER);
    const struct {
        const GUID* clsid;
        std::string keys;
        std::function<void(Control)> check;
    } cases[] = {
        {&CLSID_QueueChannel, "", [](Control c) { EXPECT_EQ(integer(c, CONTROL_INT_VOICES), 0); }},
        {&CLSID_QueueChannel, "MaxSounds=3\n",
         [](Control c) { EXPECT_EQ(integer(c, CONTROL_INT_VOICES), 3); }},
        {&CLSID_QueueChannel, "MaxSounds=three\n",
         [](Control c) { EXPECT_EQ(integer(c, CONTROL_INT_VOICES), 0); }},
        {&CLSID_PriorityChannel, "MaxSounds=5\nVolume=0.5\n",
         [](Control c) { EXPECT_EQ(integer(c, CONTROL_INT_VOICES), 5); }},
        {&CLSID_LimiterChannel, "LimiterEnable=maybe\n",
         [](Control c) { EXPECT_EQ(integer(c, CONTROL_INT_LIMITER_ENABLE), 1); }},
        {&CLSID_LimiterChannel, "LimiterEnable=OFF\nLimiterMax=3.5\n",
         [](Control c) {
             EXPECT_EQ(integer(c, CONTROL_INT_LIMITER_ENABLE), 0);
             EXPECT_EQ(real(c, CONTROL_REAL_LIMITER_MAX), 3.5f);
         }},
        // "LimiterMax" is read into 40 bytes: a longer value is absent.
        {&CLSID_LimiterChannel, "LimiterMax=3.5" + std::string(40, '0') + "\n",
         [](Control c) { EXPECT_EQ(real(c, CONTROL_REAL_LIMITER_MAX), 2.0f); }},
        {&CLSID_3dChannel, "DistanceFactor=2\nDopplerFactor=\nRollOffFactor=0.5\n",
         [doppler](Control c) {
             EXPECT_EQ(real(c, CONTROL_REAL_DISTANCE), 2.0f);
             EXPECT_EQ(real(c, CONTROL_REAL_DOPPLER), doppler); // empty: not set
             EXPECT_EQ(real(c, CONTROL_REAL_ROLLOFF), 0.5f);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        auto channel = read(*c.clsid, c.keys);
        ASSERT_TRUE(channel->GetControl());
        c.check(channel->GetControl());
    }
    // A priority channel's "Volume" (1.0 when absent) is its control's real 0, which the
    // control hands to its parent.
    read(CLSID_PriorityChannel, "Volume=0.25\n");
    EXPECT_EQ(real(parent_.get(), CONTROL_REAL_VOLUME), 0.25f);
    read(CLSID_PriorityChannel, "");
    EXPECT_EQ(real(parent_.get(), CONTROL_REAL_VOLUME), 1.0f);
}

TEST_F(SoundChannelTest, MetaChannelAddsTheChannelsItNames) {
    auto a = read(CLSID_LimiterChannel, "");
    auto b = read(CLSID_LimiterChannel, "");
    table_->Set("A", ComRef<ISoundChannel>(a).detach());
    table_->Set("B", ComRef<ISoundChannel>(b).detach());
    table_->Set("Bare", make_channel(CLSID_QueueChannel).detach()); // no control yet

    auto meta = read(CLSID_MetaChannel, "Channels=A,B\n");
    meta->GetControl()->SetParamReal(CONTROL_REAL_LIMITER_MAX, 4.0f);
    EXPECT_EQ(real(a->GetControl(), CONTROL_REAL_LIMITER_MAX), 4.0f);
    EXPECT_EQ(real(b->GetControl(), CONTROL_REAL_LIMITER_MAX), 4.0f);

    read(CLSID_MetaChannel, "");                           // no members
    read(CLSID_MetaChannel, "Channels=A, B\n", OM_E_FAIL); // " B" is no channel
    read(CLSID_MetaChannel, "Channels=A,Bare\n", OM_E_FAIL);
    read(CLSID_MetaChannel, "Channels=A,\n", OM_E_FAIL); // an empty field counts
}

TEST_F(SoundChannelTest, SoundsOfTheMakingChannels) {
    auto base = base_sound();
    table_->Set("base", ComRef<ISound>(base).detach());
    ISound* out = nullptr;

    // Function: "Sound" names the base sound in the table.
    auto function = read(CLSID_FunctionSoundChannel, "");
    auto no_sound = sheet_of("[f]\nVolume=1\n", "f");
    EXPECT_LT(function->CreateSound(no_sound.get(), table_.get(), &out), 0);
    auto unknown = sheet_of("[f]\nSound=elsewhere\n", "f");
    EXPECT_EQ(function->CreateSound(unknown.get(), table_.get(), &out), OM_E_FAIL);
    auto named = sheet_of("[f]\nSound=base\n", "f");
    ComRef<ISound> made;
    ASSERT_EQ(function->CreateSound(named.get(), table_.get(), made.put()), OM_S_OK);
    EXPECT_TRUE(dynamic_cast<FunctionSound*>(made.get()));
    EXPECT_EQ(inner_of(made.get()), base.get());
    ComRef<ISound> over;
    ASSERT_EQ(function->Inherit(made.get(), no_sound.get(), over.put()), OM_S_OK);
    EXPECT_EQ(inner_of(over.get()), made.get());

    // Meta sounds are made from their members, never by wrapping.
    auto meta = read(CLSID_MetaSoundChannel, "");
    EXPECT_EQ(meta->Inherit(base.get(), named.get(), &out), OM_E_FAIL);
    EXPECT_EQ(out, nullptr);

    // Other wrapping channels fail to make sounds of their own.
    auto priority = read(CLSID_PriorityChannel, "");
    EXPECT_EQ(priority->CreateSound(named.get(), table_.get(), &out), OM_E_FAIL);
    ComRef<ISound> wrapped;
    ASSERT_EQ(priority->Inherit(base.get(), named.get(), wrapped.put()), OM_S_OK);
    EXPECT_TRUE(dynamic_cast<PrioritySound*>(wrapped.get()));
    EXPECT_EQ(inner_of(wrapped.get()), base.get());

    // A device channel reads samples only through its storage, from a directory that fits.
    auto device = read(CLSID_DeviceChannel, "");
    EXPECT_EQ(device->CreateSound(named.get(), table_.get(), &out), OM_E_FAIL);
    EXPECT_EQ(device->SetStorage(nullptr, std::string(260, 'd').c_str()), OM_E_FAIL);
}

} // namespace
} // namespace soundtest
