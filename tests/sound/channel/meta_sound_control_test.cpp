// MetaSoundControl: members added once and removed, operations handed to every member from
// the last to the first, and the operations it refuses.
#include "sound/channel/meta_sound_control.h"

#include "sound/channel/limiter_sound_control.h"

#include "tests/sound/channel/channel_test_support.h"

#include <string>

namespace {

using namespace soundtest;

class MetaControl : public ChannelTest {};

TEST_F(MetaControl, WithoutMembersEveryForwardedOperationSucceeds) {
    ComRef<ISoundControl> meta;
    ASSERT_EQ(OmCreate(CLSID_MetaSoundControl, IID_ISoundControl, meta.put()), OM_S_OK);
    float f[12] = {};
    intptr_t i = 0;
    float r = 0;
    uint32_t u = 0;
    const OmResult results[] = {meta->Init(nullptr, 0),
                                meta->Update(10),
                                meta->SetFrame(f, f),
                                meta->GetFrame(f, f),
                                meta->SetParamInt(1, 2),
                                meta->GetParamInt(1, &i),
                                meta->SetParamReal(0, 0.5f),
                                meta->GetParamReal(0, &r),
                                meta->StopAll(0),
                                meta->SetOutputFormat(1, 2, 3),
                                meta->GetOutputFormat(&u, &u, &u)};
    for (OmResult result : results) EXPECT_EQ(result, OM_S_OK);
    ComRef<ISoundCreate> maker;
    ComRef<ISound> sound;
    EXPECT_EQ(meta->CreateSound(maker.put()), OM_E_FAIL);
    EXPECT_EQ(meta->CreateSoundFrom(nullptr, sound.put()), OM_E_FAIL);
    EXPECT_EQ(meta->AddObject(0, parent_.get()), OM_E_FAIL);
    EXPECT_EQ(meta->RemoveObject(0, parent_.get()), OM_E_FAIL);
    EXPECT_EQ(meta->ForEachObject(0, nullptr, nullptr), OM_E_FAIL);
}

TEST_F(MetaControl, OperationsReachEveryMemberFromTheLast) {
    ComRef<ISoundControl> meta;
    ASSERT_EQ(OmCreate(CLSID_MetaSoundControl, IID_ISoundControl, meta.put()), OM_S_OK);
    ComRef<ISoundControl> a, b;
    ASSERT_EQ(OmCreate(CLSID_BaseSoundControl, IID_ISoundControl, a.put()), OM_S_OK);
    ASSERT_EQ(OmCreate(CLSID_BaseSoundControl, IID_ISoundControl, b.put()), OM_S_OK);
    ASSERT_EQ(meta->SetParamInt(CONTROL_INT_ADD_MEMBER, reinterpret_cast<intptr_t>(a.get())), 0);
    ASSERT_EQ(meta->SetParamInt(CONTROL_INT_ADD_MEMBER, reinterpret_cast<intptr_t>(b.get())), 0);
    ASSERT_EQ(meta->SetParamInt(CONTROL_INT_ADD_MEMBER, reinterpret_cast<intptr_t>(a.get())), 0);
    EXPECT_EQ(meta->SetParamInt(CONTROL_INT_ADD_MEMBER, reinterpret_cast<intptr_t>(meta.get())),
              OM_E_FAIL);
    EXPECT_EQ(dynamic_cast<MetaSoundControl*>(meta.get())->member_count(), 2u);

    ASSERT_EQ(meta->SetParamReal(CONTROL_REAL_VOLUME, 0.25f), OM_S_OK);
    float va = 0, vb = 0;
    a->GetParamReal(CONTROL_REAL_VOLUME, &va);
    b->GetParamReal(CONTROL_REAL_VOLUME, &vb);
    EXPECT_EQ(va, 0.25f);
    EXPECT_EQ(vb, 0.25f);
    // Reads are handed on too: the first member answers last, so its value is the one seen.
    b->SetParamReal(CONTROL_REAL_VOLUME, 0.75f);
    float seen = 0;
    ASSERT_EQ(meta->GetParamReal(CONTROL_REAL_VOLUME, &seen), OM_S_OK);
    EXPECT_EQ(seen, 0.25f);

    ASSERT_EQ(meta->SetParamInt(CONTROL_INT_MEMBER, reinterpret_cast<intptr_t>(a.get())), 0);
    EXPECT_EQ(meta->SetParamInt(CONTROL_INT_MEMBER, reinterpret_cast<intptr_t>(a.get())),
              OM_E_FAIL);
    ASSERT_EQ(meta->GetParamReal(CONTROL_REAL_VOLUME, &seen), OM_S_OK);
    EXPECT_EQ(seen, 0.75f);
}

TEST_F(MetaControl, MembersStopTheirSoundsThroughIt) {
    ComRef<ISoundControl> meta;
    ASSERT_EQ(OmCreate(CLSID_MetaSoundControl, IID_ISoundControl, meta.put()), OM_S_OK);
    ComRef<ISoundControl> limiter = make_control(CLSID_LimiterSoundControl);
    meta->SetParamInt(CONTROL_INT_ADD_MEMBER, reinterpret_cast<intptr_t>(limiter.get()));
    ComRef<ISound> sound = channel_sound(limiter.get());
    ASSERT_EQ(sound->Play(0), OM_S_OK);
    ASSERT_EQ(meta->StopAll(0), OM_S_OK);
    EXPECT_FALSE(plays(sound.get()));
    EXPECT_EQ(count_objects(limiter.get(), CONTROL_LIST_ACTIVE), 0u);
}

} // namespace
