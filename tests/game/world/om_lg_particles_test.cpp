// The particle manager: type registration and its limits, emission into free records and
// into a full pool, updates that end particles, clearing, and drawing within the far clip.
#include "framework/core/object_manager.h"
#include "platform/fault_injection.h"
#include "tests/game/game_test_support.h"

#include <gtest/gtest.h>

#include <vector>

using gametest::GameEngineTest;

namespace {

struct Spark {
    OmParticleHeader head;
    int32_t tag;
    int32_t ttl; // updates left
};

int32_t count_down(void*, OmParticleHeader* particle) {
    auto* s = reinterpret_cast<Spark*>(particle);
    return --s->ttl < 0 ? OM_E_FAIL : OM_S_OK;
}

std::vector<int32_t> killed;
void note_kill(OmParticleHeader* particle) {
    killed.push_back(reinterpret_cast<Spark*>(particle)->tag);
}

Spark spark(int32_t tag, int32_t ttl = 10, LgVector at = {0, 0, 10}) {
    Spark s{};
    s.head.position = at;
    s.head.size = 1.0f;
    s.head.colour = {255, 255, 255, 255};
    s.tag = tag;
    s.ttl = ttl;
    return s;
}

class ParticlesTest : public GameEngineTest {
protected:
    void SetUp() override {
        GameEngineTest::SetUp();
        ASSERT_EQ(OmLgParticles_RegisterClasses(OmGetObjectManager()), OM_S_OK);
        ASSERT_EQ(OmCreateInstance(CLSID_OmLgParticles, nullptr, 0, IID_IOmLgParticles,
                                   reinterpret_cast<void**>(&particles)),
                  OM_S_OK);
        particles->Init();
        type = {nullptr, 5, 6, sizeof(Spark), count_down, note_kill, nullptr};
        killed.clear();
    }
    void TearDown() override {
        particles->RemoveAllTypes();
        particles->Release();
    }
    IOmLgParticles* particles = nullptr;
    OmParticleType type{};
};

std::vector<int32_t>* walked = nullptr;
int32_t record_tag(void*, OmParticleHeader* p) {
    walked->push_back(reinterpret_cast<Spark*>(p)->tag);
    return OM_S_OK;
}

TEST_F(ParticlesTest, TypesAreRefusedBeyondThirtyTwoTwiceOrUnusable) {
    for (int32_t id = 0; id < kOmParticleTypeCapacity; ++id)
        ASSERT_EQ(particles->AddType(id, &type, 4), OM_S_OK) << id;
    EXPECT_EQ(particles->AddType(99, &type, 4), OM_E_FAIL);
    particles->RemoveAllTypes();
    EXPECT_EQ(particles->AddType(1, &type, 4), OM_S_OK);
    EXPECT_EQ(particles->AddType(1, &type, 4), OM_E_FAIL);
    OmParticleType tiny = type;
    tiny.record_size = 4;
    EXPECT_EQ(particles->AddType(2, &tiny, 4), OM_E_FAIL);
    EXPECT_EQ(particles->AddType(3, &type, 0), OM_E_FAIL);
    EXPECT_EQ(particles->AddType(4, nullptr, 4), OM_E_FAIL);
    const Spark s = spark(1);
    EXPECT_EQ(particles->Emit(7, &s), OM_E_FAIL);
    struct Limit {
        int32_t id, limit;
        OmResult result;
    };
    for (Limit l : {Limit{1, 0, OM_S_OK}, Limit{1, 4, OM_S_OK}, Limit{1, 5, OM_E_FAIL},
                    Limit{1, -1, OM_E_FAIL}, Limit{9, 1, OM_E_FAIL}})
        EXPECT_EQ(particles->SetLimit(l.id, l.limit), l.result) << l.id << " " << l.limit;
}

TEST_F(ParticlesTest, AFailedAddTypeKeepsNothingOfWhatItTook) {
    LgTexture* texture = LgTextureCreate(nullptr);
    type.texture = texture;
    platform::fail_allocation_after(2);
    EXPECT_EQ(particles->AddType(1, &type, 4), OM_E_OUTOFMEMORY);
    platform::reset_allocation_faults();
    EXPECT_EQ(texture->refCount, 1);
    const Spark s = spark(1);
    EXPECT_EQ(particles->Emit(1, &s), OM_E_FAIL); // the type was not counted
    EXPECT_EQ(particles->AddType(1, &type, 4), OM_S_OK);
    EXPECT_EQ(texture->refCount, 2);
    particles->RemoveAllTypes();
    EXPECT_EQ(texture->refCount, 1);
    LgTextureDestroy(texture);
}

TEST_F(ParticlesTest, UpdatesEndParticlesThatAnswerNegativeAndFreeTheirRecords) {
    particles->AddType(1, &type, 3);
    for (int32_t tag : {1, 2, 3}) {
        const Spark s = spark(tag, tag - 1);
        particles->Emit(1, &s);
    }
    particles->Update(); // tag 1 had no update left
    EXPECT_EQ(killed, std::vector<int32_t>{1});
    particles->Update();
    EXPECT_EQ(killed, (std::vector<int32_t>{1, 2}));
    const Spark again = spark(4, 10);
    particles->Emit(1, &again); // a freed record takes it; tag 3 lives on
    particles->Update();
    particles->Update();
    EXPECT_EQ(killed, (std::vector<int32_t>{1, 2, 3}));
    particles->Clear();
    particles->Update();
    EXPECT_EQ(killed.size(), 3u); // cleared particles are gone without a kill
}

TEST_F(ParticlesTest, AFullPoolReplacesARecordWithinTheLimitKeepingItsPlace) {
    std::vector<int32_t> order;
    walked = &order;
    type.update = record_tag;
    particles->AddType(1, &type, 3);
    for (int32_t tag : {1, 2, 3}) {
        const Spark s = spark(tag);
        particles->Emit(1, &s);
    }
    particles->Update();
    EXPECT_EQ(order, (std::vector<int32_t>{3, 2, 1})); // newest first
    // With a limit of 1 the replaced record is the pool's first: the oldest particle.
    particles->SetLimit(1, 1);
    const Spark s = spark(9);
    particles->Emit(1, &s);
    order.clear();
    particles->Update();
    EXPECT_EQ(order, (std::vector<int32_t>{3, 2, 9}));
    // A limit of 0 emits nothing into a full pool.
    particles->SetLimit(1, 0);
    const Spark none = spark(10);
    EXPECT_EQ(particles->Emit(1, &none), OM_S_OK);
    order.clear();
    particles->Update();
    EXPECT_EQ(order, (std::vector<int32_t>{3, 2, 9}));
}

TEST_F(ParticlesTest, OneTriangleIsDrawnPerParticleWithinTheFarClip) {
    LgRaster* raster = LgRasterCreate(64, 64, 32, LgRasterTypeCamera);
    LgCamera* camera = LgCameraCreate();
    LgFrame* frame = LgFrameCreate();
    LgCameraSetFrame(camera, frame);
    LgCameraSetRaster(camera, raster);
    LgCameraSetNearClipPlane(camera, 1.0f);
    LgCameraSetFarClipPlane(camera, 100.0f);
    particles->AddType(1, &type, 4);
    for (LgVector at : {LgVector{0, 0, 10}, LgVector{0, 0, 150}, LgVector{1, 0, 20}}) {
        const Spark s = spark(1, 10, at);
        particles->Emit(1, &s);
    }
    ASSERT_EQ(LgCameraBeginUpdate(camera), camera);
    device.draws.clear();
    EXPECT_EQ(particles->Render(nullptr), OM_S_OK);
    LgCameraEndUpdate(camera);
    EXPECT_EQ(device.triangles().size(), 2u);
    EXPECT_EQ(device.states[6], 1u);  // depth writes back on
    EXPECT_EQ(device.states[11], 0u); // vertex alpha back off
    EXPECT_EQ(device.states[9], 5u);
    EXPECT_EQ(device.states[10], 6u);
    particles->Update();
    EXPECT_TRUE(killed.empty()); // the far one was neither drawn nor removed
    LgCameraDestroy(camera);
    LgFrameDestroy(frame);
    LgRasterDestroy(raster);
}

} // namespace
