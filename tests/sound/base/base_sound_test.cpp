// BaseSound, BaseSoundCreate and BaseSoundControl: segments, maker defaults, instances and
// play descriptions.
#include "tests/sound/sound_test_support.h"

#include "sound/base/sound_instance_from_desc.h"

namespace {

using namespace soundtest;

class BaseSounds : public SoundTest {
protected:
    ComRef<ISoundCreate> maker() {
        ComRef<ISoundCreate> m;
        EXPECT_EQ(OmCreate(CLSID_BaseSoundCreate, IID_ISoundCreate, m.put()), OM_S_OK);
        return m;
    }
    ComRef<ISound> sound_of(uint32_t frames, uint32_t format = SOUND_FORMAT_MONO16) {
        ComRef<ISoundCreate> m = maker();
        m->SetProperty(MAKER_LENGTH, frames);
        m->SetProperty(MAKER_FORMAT, format);
        ComRef<ISound> s;
        EXPECT_EQ(m->CreateSound(s.put()), OM_S_OK);
        return s;
    }
};

struct SegmentCase {
    uint32_t start, count;
    OmResult result;
    uint32_t count1, offset2_present, count2;
};

TEST_F(BaseSounds, SegmentsWrapAroundTheRing) {
    ComRef<ISound> s = sound_of(1000);
    void* memory = nullptr;
    s->Lock(0, &memory);
    const SegmentCase cases[] = {
        {900, 300, OM_S_OK, 100, 1, 200},
        {0, 1000, OM_S_OK, 1000, 1, 0},
        {100, 50, OM_S_OK, 50, 0, 0},
        {0, 1001, OM_E_FAIL, 0, 0, 0},
    };
    for (const SegmentCase& c : cases) {
        void* p1 = nullptr;
        void* p2 = reinterpret_cast<void*>(1);
        uint32_t n1 = 0, n2 = 99;
        ASSERT_EQ(s->GetSegments(0, c.start, c.count, &p1, &n1, &p2, &n2), c.result) << c.start;
        if (c.result < 0) continue;
        EXPECT_EQ(p1, static_cast<uint8_t*>(memory) + c.start * 2);
        EXPECT_EQ(n1, c.count1);
        EXPECT_EQ(p2, c.offset2_present ? memory : nullptr);
        EXPECT_EQ(n2, c.count2);
    }
}

TEST_F(BaseSounds, EmptyMakerValidatesToEightBitMono) {
    ComRef<ISoundCreate> m = maker();
    ASSERT_EQ(m->Validate(), OM_S_OK);
    intptr_t format = 0, hz = 0, length = 0, p1 = 0;
    m->GetProperty(MAKER_FORMAT, &format);
    m->GetProperty(MAKER_RATE, &hz);
    m->GetProperty(MAKER_LENGTH, &length);
    m->GetProperty(MAKER_PROPERTY1, &p1);
    EXPECT_EQ(format, SOUND_FORMAT_MONO8);
    EXPECT_EQ(hz, 22050);
    EXPECT_EQ(length, 1024);
    EXPECT_EQ(p1, 1);
}

TEST_F(BaseSounds, MakerDefaultsAndChecks) {
    struct Case {
        uint32_t format;
        bool is_3d;
        float volume;
        OmResult result;
        uint32_t format_after;
        float volume_after;
    };
    const Case cases[] = {
        {SOUND_FORMAT_STEREO16, true, 1.0f, OM_S_OK, SOUND_FORMAT_MONO16, 1.0f},
        {SOUND_FORMAT_STEREO8, false, 2.0f, OM_S_OK, SOUND_FORMAT_STEREO8, 1.0f},
        {SOUND_FORMAT_MONO16, false, -1.0f, OM_S_OK, SOUND_FORMAT_MONO16, 0.0f},
        {0x1180102, false, 1.0f, OM_E_FAIL, 0x1180102, 1.0f}, // 24 bits
        {0x1100002, false, 1.0f, OM_E_FAIL, 0x1100002, 1.0f}, // no PCM bit
    };
    for (const Case& c : cases) {
        ComRef<ISoundCreate> m = maker();
        m->SetProperty(MAKER_FORMAT, c.format);
        m->SetProperty(MAKER_3D, c.is_3d);
        m->SetPropertyReal(MAKER_VOLUME, c.volume);
        EXPECT_EQ(m->Validate(), c.result) << std::hex << c.format;
        intptr_t format = 0;
        float volume = 0;
        m->GetProperty(MAKER_FORMAT, &format);
        m->GetPropertyReal(MAKER_VOLUME, &volume);
        EXPECT_EQ(uint32_t(format), c.format_after) << std::hex << c.format;
        if (c.result >= 0) {
            EXPECT_EQ(volume, c.volume_after);
        }
        ComRef<ISound> s;
        EXPECT_EQ(m->CreateSound(s.put()), c.result);
    }
    ComRef<ISoundCreate> m = maker();
    EXPECT_EQ(m->SetProperty(11, 0), OM_E_FAIL);
}

TEST_F(BaseSounds, SharedInstanceKeepsTheSamplesAlive) {
    ComRef<ISound> original = sound_of(16);
    void* memory = nullptr;
    original->Lock(0, &memory);
    static_cast<int16_t*>(memory)[5] = 1234;
    ComRef<ISound> shared, copied;
    ASSERT_EQ(original->CreateInstance(SOUND_INSTANCE_SHARE, shared.put()), OM_S_OK);
    ASSERT_EQ(original->CreateInstance(0, copied.put()), OM_S_OK);
    original.reset();
    void* a = nullptr;
    void* b = nullptr;
    shared->Lock(0, &a);
    copied->Lock(0, &b);
    EXPECT_EQ(a, memory);
    EXPECT_NE(b, memory);
    EXPECT_EQ(static_cast<int16_t*>(a)[5], 1234);
    EXPECT_EQ(static_cast<int16_t*>(b)[5], 1234);
}

TEST_F(BaseSounds, PlayDescriptionAppliesItsFlaggedFields) {
    ComRef<ISound> s = sound_of(16);
    SoundPlayDesc desc{};
    desc.flags = SOUND_DESC_PRIORITY | SOUND_DESC_VOLUME | SOUND_DESC_FRAME;
    desc.priority = 7;
    desc.frequency = 11025; // not flagged
    desc.volume = 0.25f;
    desc.frame[9] = 3.0f;
    ComRef<ISound> instance;
    ASSERT_EQ(s->CreateInstanceFrom(&desc, instance.put()), OM_S_OK);
    intptr_t priority = 0, hz = 0;
    float volume = 0, frame[12] = {};
    instance->GetParamInt(SOUND_INT_PRIORITY, &priority);
    instance->GetParamInt(SOUND_INT_FREQUENCY, &hz);
    instance->GetParamReal(SOUND_REAL_VOLUME, &volume);
    instance->Get3D(frame, nullptr);
    EXPECT_EQ(priority, 7);
    EXPECT_EQ(hz, 22050);
    EXPECT_EQ(volume, 0.25f);
    EXPECT_EQ(frame[9], 3.0f);
}

TEST_F(BaseSounds, ParameterKinds) {
    ComRef<ISound> s = sound_of(16, SOUND_FORMAT_STEREO16);
    intptr_t v = 0;
    EXPECT_EQ(s->GetParamInt(SOUND_INT_FRAME_BYTES, &v), OM_S_OK);
    EXPECT_EQ(v, 4);
    EXPECT_EQ(s->SetParamInt(SOUND_INT_LOOP_CONTROL, -1), OM_S_OK);
    s->GetParamInt(SOUND_INT_LOOP_CONTROL, &v);
    EXPECT_EQ(v, -1);
    EXPECT_EQ(s->SetParamInt(SOUND_INT_FORMAT, 1), OM_E_FAIL);
    EXPECT_EQ(s->SetParamReal(SOUND_REAL_PARAM1, 1.0f), OM_E_FAIL);
    float cone = 0;
    s->GetParamReal(SOUND_REAL_OUTER_CONE_ANGLE, &cone);
    EXPECT_EQ(cone, 360.0f);
    EXPECT_EQ(s->Play(0), OM_S_OK);
    EXPECT_EQ(s->IsPlaying(), 1);
    s->Pause();
    s->GetParamInt(SOUND_INT_PAUSED, &v);
    EXPECT_EQ(v, 1);
    s->Stop();
    EXPECT_EQ(s->IsPlaying(), 0);
    EXPECT_EQ(s->SetPlayPosition(0), OM_E_FAIL);
    uint32_t position = 0;
    EXPECT_EQ(s->GetPlayPosition(&position), OM_E_FAIL);
}

TEST_F(BaseSounds, ControlMakesSoundsFromASourceMakersDescription) {
    ComRef<ISoundControl> control;
    ASSERT_EQ(OmCreate(CLSID_BaseSoundControl, IID_ISoundControl, control.put()), OM_S_OK);
    ComRef<ISoundCreate> source = maker();
    source->SetProperty(MAKER_LENGTH, 77);
    source->SetProperty(MAKER_FORMAT, SOUND_FORMAT_STEREO16);
    source->SetProperty(MAKER_RATE, 11025);
    source->SetProperty(MAKER_PRIORITY, 9); // not copied
    ComRef<ISound> s;
    ASSERT_EQ(control->CreateSoundFrom(source.get(), s.put()), OM_S_OK);
    intptr_t priority = 1, hz = 0;
    s->GetParamInt(SOUND_INT_PRIORITY, &priority);
    s->GetParamInt(SOUND_INT_FREQUENCY, &hz);
    EXPECT_EQ(s->GetLength(), 77u);
    EXPECT_EQ(s->GetFormat(), SOUND_FORMAT_STEREO16);
    EXPECT_EQ(hz, 11025);
    EXPECT_EQ(priority, 0);

    float level = 0;
    EXPECT_EQ(control->SetParamReal(CONTROL_REAL_DISTANCE, 2.5f), OM_S_OK);
    control->GetParamReal(CONTROL_REAL_VOLUME, &level);
    EXPECT_EQ(level, 2.5f) << "kinds 0 and 3 share one level";
    EXPECT_EQ(control->SetParamReal(4, 1.0f), OM_E_FAIL);
    EXPECT_EQ(control->SetParamInt(1, 1), OM_E_FAIL);

    EXPECT_EQ(control->AddObject(CONTROL_LIST_ACTIVE, s.get()), OM_S_OK);
    EXPECT_EQ(control->AddObject(CONTROL_LIST_ACTIVE, s.get()), OM_S_OK);
    EXPECT_EQ(count_objects(control.get(), CONTROL_LIST_ACTIVE), 1u);
    EXPECT_EQ(control->RemoveObject(CONTROL_LIST_ACTIVE, s.get()), OM_S_OK);
    EXPECT_EQ(control->RemoveObject(CONTROL_LIST_ACTIVE, s.get()), OM_E_FAIL);
    EXPECT_EQ(control->AddObject(2, s.get()), OM_E_FAIL);
}

} // namespace
