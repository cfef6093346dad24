// The forwarding bases and the per-sound control base: forwarding, missing targets, the
// wrapped sound's replacement and the control lists.
#include "tests/sound/sound_test_support.h"

#include "sound/base/per_sound_control.h"
#include "sound/base/wrapped_sound.h"
#include "sound/base/wrapped_sound_control.h"

namespace {

using namespace soundtest;

class Wrapped : public SoundTest {
protected:
    ComRef<ISound> base_sound() {
        ComRef<ISoundCreate> m;
        EXPECT_EQ(OmCreate(CLSID_BaseSoundCreate, IID_ISoundCreate, m.put()), OM_S_OK);
        ComRef<ISound> s;
        EXPECT_EQ(m->CreateSound(s.put()), OM_S_OK);
        return s;
    }
};

TEST_F(Wrapped, ControlWithoutParentRefusesEveryOperation) {
    ComRef<ISoundControl> c;
    ASSERT_EQ(WrappedSoundControl::Create(c.put()), OM_S_OK);
    float f[12];
    intptr_t i = 0;
    float r = 0;
    uint32_t u = 0;
    ComRef<ISoundCreate> maker;
    ComRef<ISound> sound;
    const OmResult results[] = {c->Update(1),
                                c->SetFrame(f, f),
                                c->GetFrame(f, f),
                                c->CreateSound(maker.put()),
                                c->CreateSoundFrom(nullptr, sound.put()),
                                c->SetParamInt(1, 1),
                                c->GetParamInt(1, &i),
                                c->SetParamReal(0, 1),
                                c->GetParamReal(0, &r),
                                c->StopAll(0),
                                c->SetOutputFormat(1, 1, 1),
                                c->GetOutputFormat(&u, &u, &u),
                                c->AddObject(0, c.get()),
                                c->RemoveObject(0, c.get()),
                                c->ForEachObject(0, nullptr, nullptr),
                                c->Init(nullptr, 0)};
    for (OmResult result : results) EXPECT_EQ(result, OM_E_FAIL);
}

TEST_F(Wrapped, ControlForwardsToItsParentAndRefusesASecondInit) {
    ComRef<ISoundControl> parent;
    ASSERT_EQ(OmCreate(CLSID_BaseSoundControl, IID_ISoundControl, parent.put()), OM_S_OK);
    ComRef<ISoundControl> c;
    ASSERT_EQ(WrappedSoundControl::Create(c.put()), OM_S_OK);
    ASSERT_EQ(c->Init(parent.get(), CONTROL_INIT_FORWARD_UPDATE), OM_S_OK);
    EXPECT_EQ(c->Init(parent.get(), 0), OM_E_FAIL);
    EXPECT_EQ(c->SetOutputFormat(SOUND_FORMAT_MONO8, 8000, 5), OM_S_OK);
    uint32_t code = 0, hz = 0, flags = 0;
    parent->GetOutputFormat(&code, &hz, &flags);
    EXPECT_EQ(code, SOUND_FORMAT_MONO8);
    EXPECT_EQ(hz, 8000u);
    ComRef<ISoundCreate> maker;
    EXPECT_EQ(c->CreateSound(maker.put()), OM_S_OK);
}

TEST_F(Wrapped, ReplacingTheWrappedSoundReleasesThePreviousOnce) {
    ComRef<ISound> first = base_sound();
    ComRef<ISound> second = base_sound();
    ComRef<ISound> w;
    ASSERT_EQ(WrappedSound::Create(w.put()), OM_S_OK);
    uint32_t first_refs = first->AddRef() - 1;
    first->Release();
    ASSERT_EQ(w->SetParamInt(SOUND_INT_SOURCE, reinterpret_cast<intptr_t>(first.get())), OM_S_OK);
    ASSERT_EQ(w->SetParamInt(SOUND_INT_SOURCE, reinterpret_cast<intptr_t>(second.get())), OM_S_OK);
    EXPECT_EQ(first->AddRef() - 1, first_refs);
    first->Release();
    intptr_t held = 0;
    w->GetParamInt(SOUND_INT_SOURCE, &held);
    EXPECT_EQ(held, reinterpret_cast<intptr_t>(second.get()));
    EXPECT_EQ(w->Play(0), OM_S_OK);
    EXPECT_EQ(second->IsPlaying(), 1);
    EXPECT_EQ(w->IsPlaying(), 1);
}

TEST_F(Wrapped, SoundWithoutAWrappedSoundFailsInsteadOfCrashing) {
    ComRef<ISound> w;
    ASSERT_EQ(WrappedSound::Create(w.put()), OM_S_OK);
    void* p = nullptr;
    float r = 0;
    ComRef<ISound> instance;
    EXPECT_EQ(w->Play(0), OM_E_FAIL);
    EXPECT_EQ(w->Stop(), OM_E_FAIL);
    EXPECT_EQ(w->Lock(0, &p), OM_E_FAIL);
    EXPECT_EQ(w->GetParamReal(1, &r), OM_E_FAIL);
    EXPECT_EQ(w->CreateInstance(1, instance.put()), OM_E_FAIL);
    EXPECT_EQ(w->GetLength(), 0u);
    EXPECT_EQ(w->IsPlaying(), 0);
}

TEST_F(Wrapped, InstanceWrapsTheWrappedSoundsOwnInstance) {
    ComRef<ISoundControl> control;
    ASSERT_EQ(OmCreate(CLSID_BaseSoundControl, IID_ISoundControl, control.put()), OM_S_OK);
    ComRef<ISound> inner = base_sound();
    ComRef<ISound> w;
    ASSERT_EQ(WrappedSound::Create(w.put()), OM_S_OK);
    w->Init(control.get());
    w->SetParamInt(SOUND_INT_SOURCE, reinterpret_cast<intptr_t>(inner.get()));
    ComRef<ISound> copy;
    ASSERT_EQ(w->CreateInstance(SOUND_INSTANCE_SHARE, copy.put()), OM_S_OK);
    intptr_t owner = 0, wrapped = 0;
    copy->GetParamInt(SOUND_INT_OWNER, &owner);
    copy->GetParamInt(SOUND_INT_SOURCE, &wrapped);
    EXPECT_EQ(owner, reinterpret_cast<intptr_t>(control.get()));
    EXPECT_NE(wrapped, reinterpret_cast<intptr_t>(inner.get()));
    EXPECT_NE(wrapped, 0);
}

// A channel control as the channels build them: the per-sound base over a parent.
class TestChannelControl final : public PerSoundControl {
public:
    static ComRef<ISoundControl> make(ISoundControl* parent, uint32_t flags) {
        ComRef<ISoundControl> c = ComRef<ISoundControl>::adopt(new TestChannelControl);
        EXPECT_EQ(c->Init(parent, flags), OM_S_OK);
        return c;
    }
};

// A sound that counts its time steps and leaves its control's list when stopped.
class StepCountingSound final : public WrappedSound {
public:
    int steps = 0;
    OmResult SetParamInt(int32_t kind, intptr_t value) override {
        if (kind == SOUND_INT_TIME_STEP) {
            ++steps;
            return OM_S_OK;
        }
        return WrappedSound::SetParamInt(kind, value);
    }
    OmResult Stop() override {
        control_->RemoveObject(CONTROL_LIST_ACTIVE, this);
        return OM_S_OK;
    }
};

TEST_F(Wrapped, PerSoundControlStepsStopsAndForwardsUpdate) {
    ComRef<ISoundControl> parent;
    ASSERT_EQ(OmCreate(CLSID_BaseSoundControl, IID_ISoundControl, parent.put()), OM_S_OK);
    ComRef<ISoundControl> c = TestChannelControl::make(parent.get(), CONTROL_INIT_FORWARD_UPDATE);
    auto* sound = new StepCountingSound;
    ComRef<ISound> held = ComRef<ISound>::adopt(sound);
    sound->Init(c.get());
    ASSERT_EQ(c->AddObject(CONTROL_LIST_ATTACHED, held.get()), OM_S_OK);
    ASSERT_EQ(c->AddObject(CONTROL_LIST_ACTIVE, held.get()), OM_S_OK);
    ASSERT_EQ(c->AddObject(CONTROL_LIST_ACTIVE, held.get()), OM_S_OK);
    EXPECT_EQ(count_objects(c.get(), CONTROL_LIST_ACTIVE), 1u);
    EXPECT_EQ(c->Update(20), OM_S_OK);
    EXPECT_EQ(sound->steps, 1);
    ComRef<ISoundCreate> maker;
    EXPECT_EQ(c->CreateSound(maker.put()), OM_E_FAIL);
    EXPECT_EQ(c->StopAll(0), OM_S_OK);
    EXPECT_EQ(count_objects(c.get(), CONTROL_LIST_ACTIVE), 0u);
    EXPECT_EQ(c->RemoveObject(CONTROL_LIST_ACTIVE, held.get()), OM_S_OK) << "unflagged: no failure";
    EXPECT_EQ(c->RemoveObject(CONTROL_LIST_ATTACHED, held.get()), OM_S_OK);
    EXPECT_EQ(c->RemoveObject(CONTROL_LIST_ATTACHED, held.get()), OM_E_FAIL);
}

TEST_F(Wrapped, AttachedListAndItsMembersMayGoInEitherOrder) {
    ComRef<ISoundControl> parent;
    ASSERT_EQ(OmCreate(CLSID_BaseSoundControl, IID_ISoundControl, parent.put()), OM_S_OK);
    ComRef<ISoundControl> c = TestChannelControl::make(parent.get(), 0);
    ComRef<ISound> early, late;
    WrappedSound::Create(early.put());
    WrappedSound::Create(late.put());
    c->AddObject(CONTROL_LIST_ATTACHED, early.get());
    c->AddObject(CONTROL_LIST_ATTACHED, late.get());
    early.reset(); // leaves the list on its way out
    EXPECT_EQ(count_objects(c.get(), CONTROL_LIST_ATTACHED), 1u);
    c.reset(); // forgets `late`, which then goes without touching it
    late.reset();
}

} // namespace
