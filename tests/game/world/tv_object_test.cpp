// The base game object: identity and damage, models cloned from archetypes with their owner
// links and flash hooks, properties 0 to 15, the tint and flash step, and a derived kind
// reaching the base behaviour.
#include "engine/world/lg_clump.h"
#include "engine/world/lg_material.h"
#include "game/world/tv_bsp_landscape.h"
#include "tests/game/game_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace mw = modelwriter;
using gametest::atomics_of;
using gametest::box_model;
using gametest::CountedLandscape;
using gametest::GameEngineTest;
using gametest::GameProbe;

namespace {

LgRGBA first_material_colour(LgClump* clump) {
    LgRGBA colour{};
    LgGeometryForAllMaterials(
        atomics_of(clump).front()->geometry,
        [](LgMaterial* m, void* out) {
            *static_cast<LgRGBA*>(out) = m->color;
            return static_cast<LgMaterial*>(nullptr);
        },
        &colour);
    return colour;
}

// A derived kind: its own update and destroy work, then the base's.
class DerivedObject final : public TavrinObjectBase<ITvObject> {
public:
    OmResult Update() override {
        ++own_updates;
        return TavrinObjectBase<ITvObject>::Update();
    }
    OmResult Destroy() override {
        ++*destroyed;
        return TavrinObjectBase<ITvObject>::Destroy();
    }
    OmResult SetProperty(uint32_t id, uintptr_t value) override {
        if (id == 300) {
            own_value = value;
            return OM_S_OK;
        }
        return TavrinObjectBase<ITvObject>::SetProperty(id, value);
    }
    int own_updates = 0;
    int* destroyed = nullptr;
    uintptr_t own_value = 0;
};

class ObjectTest : public GameEngineTest {
protected:
    void SetUp() override {
        GameEngineTest::SetUp();
        game = new GameProbe;
        descriptor.id = 42;
        descriptor.matrix.right = {1, 0, 0};
        descriptor.matrix.up = {0, 1, 0};
        descriptor.matrix.at = {0, 0, 1};
        descriptor.matrix.pos = {5, 6, 7};
        descriptor.endurance = 4.0f;
        descriptor.flags = kTvFlagPlane;
        descriptor.group_mask = 0x102;
        descriptor.game = game;
    }
    void TearDown() override { game->Release(); }

    GameProbe* game = nullptr;
    TvCreateDescriptor descriptor{};
};

TEST_F(ObjectTest, DamageMustExceedEnduranceToKill) {
    auto* o = new TavrinObject;
    o->Create(nullptr);
    const std::pair<float, int32_t> cases[] = {{0.0f, 0}, {1.0f, 0}, {1.0001f, 1}, {5.0f, 1}};
    for (auto [damage, dead] : cases) {
        o->SetDamage(0, damage, 0);
        EXPECT_EQ(o->IsDead(), dead) << damage;
    }
    o->SetDamage(0, 0.0f, 0);
    o->AddDamage(0.5f, 1);
    o->AddDamage(0.5f, 1);
    EXPECT_EQ(o->IsDead(), 0);
    o->AddDamage(0.5f, 1);
    EXPECT_EQ(o->IsDead(), 1);
    o->Release();
}

TEST_F(ObjectTest, CreateWithoutDescriptorIsABareIdentity) {
    auto* o = new TavrinObject;
    EXPECT_EQ(o->Create(nullptr), OM_S_OK);
    EXPECT_EQ(o->endurance, 1.0f);
    EXPECT_EQ(o->reciprocal_endurance, 1.0f);
    EXPECT_EQ(o->id, 0);
    EXPECT_EQ(o->flags, 0u);
    EXPECT_EQ(o->group_mask, 0u);
    EXPECT_EQ(o->frame, nullptr);
    EXPECT_EQ(o->model, nullptr);
    EXPECT_EQ(o->tint.alpha, 255);
    EXPECT_EQ(o->Update(), OM_S_OK); // no game, no frame time: nothing moves
    o->Release();
}

TEST_F(ObjectTest, AnArchetypeWithoutModelGivesAFreshFrameAtTheDescriptorsPlace) {
    auto* archetype = new TavrinObject;
    archetype->Create(nullptr);
    descriptor.archetype = archetype;
    auto* o = new TavrinObject;
    ASSERT_EQ(o->Create(&descriptor), OM_S_OK);
    ASSERT_NE(o->frame, nullptr);
    EXPECT_EQ(o->model, nullptr);
    EXPECT_EQ(o->matrix->pos.z, 7.0f);
    EXPECT_EQ(o->id, 42);
    EXPECT_EQ(o->group_mask, 0x102u);
    EXPECT_EQ(o->reciprocal_endurance, 0.25f);
    EXPECT_EQ(o->descriptor, &descriptor);
    o->Release();
    archetype->Release();
}

TEST_F(ObjectTest, AnArchetypesModelIsClonedLinkedAndHooked) {
    auto* archetype = new TavrinObject;
    archetype->Create(nullptr);
    LgClump* model = box_model();
    ASSERT_NE(model, nullptr);
    archetype->SetProperty(kTvPropModel, reinterpret_cast<uintptr_t>(model));
    descriptor.archetype = archetype;
    auto* o = new TavrinObject;
    ASSERT_EQ(o->Create(&descriptor), OM_S_OK);
    ASSERT_NE(o->model, nullptr);
    EXPECT_NE(o->model, model);
    EXPECT_EQ(TvClumpGetOwner(o->model), static_cast<ITvObject*>(o));
    EXPECT_EQ(o->matrix, LgFrameGetMatrix(LgClumpGetFrame(o->model)));
    EXPECT_EQ(o->matrix->pos.y, 6.0f);
    for (LgAtomic* a : atomics_of(o->model)) {
        EXPECT_EQ(TvAtomicGetOwner(a), static_cast<TvObjectFields*>(o));
        EXPECT_EQ(a->renderCallBack, TvFlashRenderCallback);
    }
    EXPECT_EQ(o->saved_render_callback, LgAtomicDefaultRender);

    // A clone of the hooked model keeps the callback the hook replaced, never the hook.
    auto* hooked_archetype = new TavrinObject;
    hooked_archetype->Create(nullptr);
    hooked_archetype->SetProperty(kTvPropModel,
                                  reinterpret_cast<uintptr_t>(LgClumpClone(o->model)));
    descriptor.archetype = hooked_archetype;
    auto* second = new TavrinObject;
    ASSERT_EQ(second->Create(&descriptor), OM_S_OK);
    EXPECT_EQ(second->saved_render_callback, LgAtomicDefaultRender);

    for (TavrinObject* x : {second, o, hooked_archetype, archetype}) x->Release();
    // An archetype's model set by property stays the caller's.
    LgClumpDestroy(model);
}

TEST_F(ObjectTest, TheFlashRoutesRenderingThroughTheDeferredQueueUntilItRunsOut) {
    auto* archetype = new TavrinObject;
    archetype->Create(nullptr);
    LgClump* model = box_model();
    archetype->SetProperty(kTvPropModel, reinterpret_cast<uintptr_t>(model));
    descriptor.archetype = archetype;
    auto* o = new TavrinObject;
    ASSERT_EQ(o->Create(&descriptor), OM_S_OK);
    static int drawn;
    drawn = 0;
    o->saved_render_callback = [](LgAtomic* a) {
        ++drawn;
        return a;
    };
    LgAtomic* atomic = atomics_of(o->model).front();

    o->flash_time = kTvHitFlashSeconds;
    game->frame_time_ = 0.1f;
    const float expected[] = {0.15f, 0.05f, 0.0f, 0.0f};
    for (float left : expected) {
        game->deferred_count_ = 0;
        drawn = 0;
        const bool flashing = o->flash_time > 0.0f;
        EXPECT_EQ(atomic->renderCallBack(atomic), flashing ? nullptr : atomic);
        EXPECT_EQ(game->deferred_count_, flashing ? 1 : 0);
        EXPECT_EQ(drawn, flashing ? 0 : 1);
        o->Update();
        EXPECT_NEAR(o->flash_time, left, 1e-6f);
        EXPECT_GE(o->flash_time, 0.0f);
    }
    o->Release();
    archetype->Release();
    LgClumpDestroy(model);
}

TEST_F(ObjectTest, TheTintRisesByEightHundredStepsPerSecondAndPaintsTheMaterials) {
    auto* archetype = new TavrinObject;
    archetype->Create(nullptr);
    LgClump* model = box_model({10, 20, 30, 40});
    archetype->SetProperty(kTvPropModel, reinterpret_cast<uintptr_t>(model));
    descriptor.archetype = archetype;
    auto* o = new TavrinObject;
    ASSERT_EQ(o->Create(&descriptor), OM_S_OK);
    // At 255 in every channel nothing is touched.
    game->frame_time_ = 0.1f;
    o->Update();
    EXPECT_EQ(first_material_colour(o->model).red, 10);
    // Under 1/800 s the step is 0.
    o->tint = {100, 250, 0, 255};
    game->frame_time_ = 0.001f;
    o->Update();
    EXPECT_EQ(first_material_colour(o->model).red, 10);
    EXPECT_EQ(o->tint.red, 100);
    game->frame_time_ = 0.01f; // 8 steps
    o->Update();
    EXPECT_EQ(o->tint.red, 108);
    EXPECT_EQ(o->tint.green, 255);
    EXPECT_EQ(o->tint.blue, 8);
    const LgRGBA painted = first_material_colour(o->model);
    EXPECT_EQ(painted.red, 108);
    EXPECT_EQ(painted.blue, 8);
    EXPECT_EQ(painted.alpha, 255);
    o->Release();
    archetype->Release();
    LgClumpDestroy(model);
}

TEST_F(ObjectTest, PropertiesOutsideTheTableAreRefused) {
    auto* o = new TavrinObject;
    o->Create(&descriptor);
    uintptr_t out = 99;
    EXPECT_EQ(o->GetProperty(16, &out), OM_E_BADPROPERTY);
    EXPECT_EQ(out, 0u);
    for (uint32_t id : {14u, 15u, 16u, 255u, 256u})
        EXPECT_EQ(o->SetProperty(id, 1), OM_E_BADPROPERTY) << id;
    EXPECT_EQ(o->GetProperty(kTvPropDamage, &out), OM_S_OK);
    EXPECT_EQ(out, reinterpret_cast<uintptr_t>(&o->damage));
    o->Release();
}

TEST_F(ObjectTest, PropertiesReadAndWriteTheBaseFields) {
    auto* o = new TavrinObject;
    o->Create(&descriptor);
    const LgVector moved{1, 2, 3};
    EXPECT_EQ(o->SetProperty(kTvPropPosition, reinterpret_cast<uintptr_t>(&moved)), OM_S_OK);
    EXPECT_EQ(o->matrix->pos.y, 2.0f);
    const float endurance = 9.0f;
    o->SetProperty(kTvPropEndurance, reinterpret_cast<uintptr_t>(&endurance));
    EXPECT_EQ(o->endurance, 9.0f);
    EXPECT_EQ(o->reciprocal_endurance, 0.25f); // computed by Create only
    const std::pair<uint32_t, uintptr_t> words[] = {
        {kTvPropUserValue, 77}, {kTvPropFlags, 0x400}, {kTvPropId, 12}, {kTvPropGroupMask, 0x300}};
    for (auto [id, value] : words) {
        EXPECT_EQ(o->SetProperty(id, value), OM_S_OK);
        uintptr_t out = 0;
        EXPECT_EQ(o->GetProperty(id, &out), OM_S_OK);
        EXPECT_EQ(out, value) << id;
    }
    // The object's own matrix handed back changes nothing.
    o->matrix->flags = LgMatrixFlagIdentity;
    EXPECT_EQ(o->SetProperty(kTvPropMatrix, reinterpret_cast<uintptr_t>(o->matrix)), OM_S_OK);
    EXPECT_EQ(o->matrix->flags, LgMatrixFlagIdentity);
    LgMatrix other = *o->matrix;
    other.pos = {9, 9, 9};
    EXPECT_EQ(o->SetProperty(kTvPropMatrix, reinterpret_cast<uintptr_t>(&other)), OM_S_OK);
    EXPECT_EQ(o->matrix->pos.x, 9.0f);
    EXPECT_NE(o->matrix->flags & LgMatrixFlagIdentity, LgMatrixFlagIdentity);
    o->Release();
}

TEST_F(ObjectTest, TheLandscapePropertyHoldsOneReferenceAndLetsThePreviousGo) {
    auto* first = new CountedLandscape;
    auto* second = new CountedLandscape;
    auto* o = new TavrinObject;
    o->Create(&descriptor);
    o->SetProperty(kTvPropLandscape, reinterpret_cast<uintptr_t>(first));
    EXPECT_EQ(first->ref_count(), 2u);
    o->SetProperty(kTvPropLandscape, reinterpret_cast<uintptr_t>(second));
    EXPECT_EQ(first->ref_count(), 1u);
    EXPECT_EQ(second->ref_count(), 2u);
    o->Unload();
    EXPECT_EQ(second->ref_count(), 1u);
    o->SetProperty(kTvPropLandscape, reinterpret_cast<uintptr_t>(first));
    o->Release(); // Destroy lets it go
    EXPECT_EQ(first->ref_count(), 1u);
    first->Release();
    second->Release();
}

TEST_F(ObjectTest, ADerivedKindReachesTheBaseAndItsDestroyRunsAtTheLastRelease) {
    int destroyed = 0;
    auto* o = new DerivedObject;
    o->destroyed = &destroyed;
    ITvObject* as_interface = o;
    EXPECT_EQ(as_interface->Create(&descriptor), OM_S_OK);
    EXPECT_EQ(as_interface->SetProperty(300, 5), OM_S_OK);
    EXPECT_EQ(o->own_value, 5u);
    EXPECT_EQ(as_interface->SetProperty(kTvPropId, 8), OM_S_OK);
    EXPECT_EQ(o->id, 8);
    o->flash_time = 0.25f;
    game->frame_time_ = 0.1f;
    as_interface->Update();
    EXPECT_EQ(o->own_updates, 1);
    EXPECT_NEAR(o->flash_time, 0.15f, 1e-6f);
    void* queried = nullptr;
    EXPECT_EQ(as_interface->QueryInterface(IID_ITvObject, &queried), OM_S_OK);
    EXPECT_EQ(queried, as_interface);
    EXPECT_EQ(as_interface->QueryInterface(IID_ITvGame, &queried), OM_E_NOINTERFACE);
    EXPECT_EQ(queried, nullptr);
    as_interface->Release(); // the query's reference
    EXPECT_EQ(as_interface->Release(), 0u);
    EXPECT_EQ(destroyed, 1);
}

} // namespace
