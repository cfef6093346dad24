// Clumps and atomics: writer-made clumps read back equal in both geometry storages, reverse
// atomic order and the clone that restores it, the game's plug-in slots, bounding spheres
// over morph targets, rendering, and hostile clump chunks.
#include "engine/core/lg_pipeline.h"
#include "tests/engine/world/model_test_support.h"
#include "tools/modelwriter/model_shapes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

using enginetest::CountingMemory;
using enginetest::recorded_error;
using modeltest::clump_bytes;
using modeltest::expect_geometry_equal;
using modeltest::ModelEngine;
using modeltest::read_clump;
namespace mw = modelwriter;

namespace {

constexpr uint32_t gameClumpSlot = 0x601;
constexpr uint32_t gameAtomicSlot = 0x602;

// The game's slots: a pointer, cleared by the constructor and carried by clones.
void* clear_slot(void* object, int32_t offset, int32_t) {
    *reinterpret_cast<void**>(static_cast<char*>(object) + offset) = nullptr;
    return object;
}
void* copy_slot(void* dst, const void* src, int32_t offset, int32_t) {
    std::memcpy(static_cast<char*>(dst) + offset, static_cast<const char*>(src) + offset,
                sizeof(void*));
    return dst;
}
void register_game_slots() {
    ASSERT_GE(LgClumpRegisterPlugin(sizeof(void*), gameClumpSlot, clear_slot, nullptr, copy_slot),
              0);
    ASSERT_GE(LgAtomicRegisterPlugin(sizeof(void*), gameAtomicSlot, clear_slot, nullptr, copy_slot),
              0);
}
void*& clump_slot(LgClump* c) {
    return *reinterpret_cast<void**>(reinterpret_cast<char*>(c) +
                                     LgClumpGetPluginOffset(gameClumpSlot));
}
void*& atomic_slot(LgAtomic* a) {
    return *reinterpret_cast<void**>(reinterpret_cast<char*>(a) +
                                     LgAtomicGetPluginOffset(gameAtomicSlot));
}

std::vector<LgAtomic*> atomics_of(LgClump* clump) {
    std::vector<LgAtomic*> out;
    LgClumpForAllAtomics(
        clump,
        [](LgAtomic* a, void* data) {
            static_cast<std::vector<LgAtomic*>*>(data)->push_back(a);
            return a;
        },
        &out);
    return out;
}

mw::Frame frame_at(mw::Vec3 position, int32_t parent) {
    mw::Frame f;
    f.position = position;
    f.parent = parent;
    return f;
}

// Four frames (one scaled), a textured and an untextured geometry, three atomics of which
// the first two share geometry 0; each atomic's flags tell it apart.
mw::Clump sample_clump() {
    mw::Clump c;
    c.frames = {frame_at({0, 0, 0}, -1), frame_at({1, 0, 0}, 0), frame_at({2, 0, 0}, 1),
                frame_at({3, 0, 0}, 0)};
    c.frames[1].right = {0, 0, -1};
    c.frames[1].at = {1, 0, 0};
    c.frames[3].up = {0, 2, 0};
    mw::Material plain, bark;
    plain.colour = {200, 100, 50, 255};
    bark.texture = mw::Texture{"bark", "barkmask", mw::filterLinear, 1, 1, {}};
    mw::Geometry textured = mw::make_box({1, 1, 1}, bark);
    textured.materials.push_back({-1, plain});
    textured.materials.push_back({0, {}});
    textured.triangles[3].material = 1;
    textured.triangles[5].material = 2;
    mw::Geometry untextured = modeltest::triangle_fan(5, {{-1, plain}});
    untextured.flags = mw::geometryStrips | mw::geometryLit;
    c.geometries = {textured, untextured};
    c.atomics = {{1, 0, 0x05, {}}, {2, 0, 0x04, {}}, {3, 1, 0x01, {}}};
    return c;
}

// A one-atomic clump chunk assembled by hand, for forms the checked writer never makes: the
// struct words are written as given, and with no listed geometry the atomic carries its own.
std::vector<uint8_t> hand_built(const mw::Clump& e, const std::vector<uint32_t>& clumpStruct,
                                bool listGeometry, const std::vector<uint32_t>& atomicStruct) {
    mw::ChunkWriter w;
    w.begin_chunk(LgChunkClump);
    w.begin_chunk(LgChunkStruct);
    for (uint32_t word : clumpStruct) w.u32(word);
    w.end_chunk();
    mw::put_frame_list(w, e.frames);
    w.begin_chunk(LgChunkGeometryList);
    w.begin_chunk(LgChunkStruct);
    w.i32(listGeometry ? 1 : 0);
    w.end_chunk();
    if (listGeometry) mw::put_geometry(w, e.geometries[0]);
    w.end_chunk();
    w.begin_chunk(LgChunkAtomic);
    w.begin_chunk(LgChunkStruct);
    for (uint32_t word : atomicStruct) w.u32(word);
    w.end_chunk();
    if (!listGeometry) mw::put_geometry(w, e.geometries[0]);
    w.extension_chunk();
    w.end_chunk();
    w.extension_chunk();
    w.end_chunk();
    return w.take();
}

class Clumps : public ModelEngine {
protected:
    Clumps() : ModelEngine(0, register_game_slots) {}
};

TEST_F(Clumps, WrittenClumpsReadBackEqualInBothStorages) {
    for (mw::GeometryStorage storage : {mw::GeometryStorage::List, mw::GeometryStorage::Inline}) {
        SCOPED_TRACE(storage == mw::GeometryStorage::List ? "geometry list" : "inline");
        mw::Clump e = sample_clump();
        e.storage = storage;
        LgClump* clump = read_clump(clump_bytes(e));
        ASSERT_NE(clump, nullptr);
        LgFrame* root = LgClumpGetFrame(clump);
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(LgFrameGetParent(root), nullptr);

        // Frames are told apart by their positions.
        std::map<float, size_t> frameIndex;
        for (size_t k = 0; k < e.frames.size(); ++k) frameIndex[e.frames[k].position.x] = k;
        const std::vector<LgAtomic*> atomics = atomics_of(clump);
        ASSERT_EQ(atomics.size(), 3u);
        for (size_t i = 0; i < atomics.size(); ++i) {
            const mw::Atomic& x = e.atomics[atomics.size() - 1 - i]; // reverse file order
            LgAtomic* a = atomics[i];
            EXPECT_EQ(a->object.header.flags, x.flags);
            EXPECT_EQ(a->clump, clump);
            EXPECT_EQ(atomic_slot(a), nullptr);
            LgFrame* f = LgAtomicGetFrame(a);
            ASSERT_NE(f, nullptr);
            EXPECT_EQ(frameIndex[f->modelling.pos.x], x.frame);
            EXPECT_EQ(f->root, root);
            // Each frame hangs below its parent's frame.
            for (LgFrame* p = f; LgFrameGetParent(p) != nullptr; p = LgFrameGetParent(p))
                EXPECT_EQ(frameIndex[LgFrameGetParent(p)->modelling.pos.x],
                          static_cast<size_t>(e.frames[frameIndex[p->modelling.pos.x]].parent));
            expect_geometry_equal(a->geometry, e.geometries[x.geometry]);
            const LgSphere& s = a->geometry->morphTarget[0].boundingSphere;
            EXPECT_EQ(a->boundingSphere.radius, s.radius);
        }
        // Atomics of file positions 0 and 1 share one geometry only in the list form.
        const bool shared = atomics[1]->geometry == atomics[2]->geometry;
        EXPECT_EQ(shared, storage == mw::GeometryStorage::List);
        EXPECT_EQ(atomics[1]->geometry->refCount, shared ? 2 : 1);
        EXPECT_EQ(LgFrameGetMatrix(LgAtomicGetFrame(atomics[2]))->flags, LgMatrixFlagOrthonormal);
        EXPECT_EQ(LgFrameGetMatrix(LgAtomicGetFrame(atomics[0]))->flags, 0u); // scaled
        EXPECT_EQ(LgClumpDestroy(clump), 1);
    }
}

TEST_F(Clumps, AClumpWithoutAtomicsReadsAndRendersNothing) {
    mw::Clump e;
    e.frames = {frame_at({5, 0, 0}, -1)};
    LgClump* clump = read_clump(clump_bytes(e));
    ASSERT_NE(clump, nullptr);
    EXPECT_EQ(LgClumpGetNumAtomics(clump), 0);
    EXPECT_EQ(LgClumpGetFrame(clump)->modelling.pos.x, 5.0f);
    EXPECT_EQ(LgClumpRender(clump), clump);
    LgClumpDestroy(clump);
}

TEST_F(Clumps, AnEmptyGeometryListLeavesAtomicsWithInlineGeometry) {
    const mw::Clump e = mw::single_atomic_clump(modeltest::triangle_fan(4, {{-1, {}}}));
    LgClump* clump = read_clump(hand_built(e, {1}, false, {0, 0, 0x05, 0}));
    ASSERT_NE(clump, nullptr);
    LgAtomic* a = atomics_of(clump)[0];
    expect_geometry_equal(a->geometry, e.geometries[0]);
    EXPECT_EQ(a->geometry->refCount, 1);
    LgClumpDestroy(clump);
}

TEST_F(Clumps, ClonesRestoreFileOrderAndCarryTheGameSlots) {
    LgClump* source = read_clump(clump_bytes(sample_clump()));
    ASSERT_NE(source, nullptr);
    int owner = 0, records[3] = {};
    clump_slot(source) = &owner;
    std::vector<LgAtomic*> read = atomics_of(source);
    for (int i = 0; i < 3; ++i) atomic_slot(read[i]) = &records[i];
    read[0]->interpolator.position = 0.25f;

    LgClump* copy = LgClumpClone(source);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(clump_slot(copy), &owner);
    EXPECT_NE(LgClumpGetFrame(copy), LgClumpGetFrame(source));
    const std::vector<LgAtomic*> cloned = atomics_of(copy);
    ASSERT_EQ(cloned.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        LgAtomic* from = read[2 - i]; // the clone runs in file order again
        LgAtomic* a = cloned[i];
        EXPECT_EQ(atomic_slot(a), atomic_slot(from));
        EXPECT_EQ(a->geometry, from->geometry);
        EXPECT_EQ(a->object.header.flags, from->object.header.flags);
        EXPECT_EQ(a->interpolator.position, from->interpolator.position);
        EXPECT_EQ(a->clump, copy);
        EXPECT_EQ(LgAtomicGetFrame(a)->root, LgClumpGetFrame(copy));
        EXPECT_EQ(LgAtomicGetFrame(a)->modelling.pos.x, LgAtomicGetFrame(from)->modelling.pos.x);
    }
    EXPECT_EQ(read[0]->geometry->refCount, 2);
    // The source's frames map to themselves again.
    EXPECT_EQ(LgAtomicGetFrame(read[0])->root, LgClumpGetFrame(source));
    LgClumpDestroy(source);
    EXPECT_EQ(cloned[2]->geometry->refCount, 1); // the copy holds the last reference
    LgClumpDestroy(copy);
}

TEST_F(Clumps, BoundingSpheresFollowTheMorphTargets) {
    mw::Geometry g = modeltest::triangle_fan(4, {{-1, {}}});
    g.targets[0].sphere = mw::Sphere{{0, 0, 0}, 1};
    g.targets.push_back(g.targets[0]);
    g.targets[1].sphere = mw::Sphere{{4, 8, 0}, 3};
    mw::Clump e = mw::single_atomic_clump(g);
    e.frames[0].position = {10, 0, 0};
    e.frames[0].right = {2, 0, 0}; // a scale of 2 along x widens the world sphere
    LgClump* clump = read_clump(clump_bytes(e));
    ASSERT_NE(clump, nullptr);
    LgAtomic* a = atomics_of(clump)[0];
    EXPECT_EQ(a->boundingSphere.radius, 1.0f);

    a->interpolator = {LgInterpolatorDirty, 0, 1, 2.0f, 0.5f, 1.0f};
    const LgSphere* world = LgAtomicGetWorldBoundingSphere(a);
    EXPECT_EQ(a->boundingSphere.center.x, 2.0f);
    EXPECT_EQ(a->boundingSphere.center.y, 4.0f);
    EXPECT_EQ(a->boundingSphere.radius, 2.0f);
    EXPECT_NEAR(world->center.x, 14.0f, 1e-5);
    EXPECT_NEAR(world->center.y, 4.0f, 1e-5);
    EXPECT_NEAR(world->radius, 4.0f, 1e-2);
    EXPECT_EQ(a->interpolator.flags & LgInterpolatorDirty, 0u);

    const struct {
        int16_t start, end;
        float radius;
    } picks[] = {{1, 1, 3.0f}, {0, 5, 1.0f}, {-1, 1, 1.0f}};
    for (const auto& p : picks) {
        a->interpolator.startMorphTarget = p.start;
        a->interpolator.endMorphTarget = p.end;
        LgAtomicUpdateBoundingSphere(a);
        EXPECT_EQ(a->boundingSphere.radius, p.radius) << p.start << "," << p.end;
    }
    LgClumpDestroy(clump);
}

// Rendering: the atomic pipeline runs on each atomic flagged for rendering (its instancing
// stage replaced by a recorder).
std::vector<LgAtomic*> rendered;
void* record_atomic(void* object) {
    rendered.push_back(static_cast<LgAtomic*>(object));
    return nullptr;
}
int32_t accept_open(LgPipeline*) {
    return 1;
}
int32_t accept_close() {
    return 1;
}

class RenderedClumps : public ModelEngine {
protected:
    void SetUp() override {
        ModelEngine::SetUp();
        LgClumpModuleSlice()->atomicPipeline->stage0 = record_atomic;
        rendered.clear();
        LgPipelineSetOpenClose(accept_open, accept_close);
    }
};

TEST_F(RenderedClumps, RenderRunsTheAtomicPipelineOnAtomicsFlaggedForIt) {
    LgClump* clump = read_clump(clump_bytes(sample_clump()));
    ASSERT_NE(clump, nullptr);
    const std::vector<LgAtomic*> atomics = atomics_of(clump);
    EXPECT_EQ(LgClumpRender(clump), clump);
    // File atomic 2 has flags 0x01 only: not drawn.
    EXPECT_EQ(rendered, (std::vector<LgAtomic*>{atomics[1], atomics[2]}));
    EXPECT_EQ(LgPipelineGetDepth(), 0);
    LgClumpDestroy(clump);
}

// Single allocations, so the live block count shows whatever a failed read leaves behind.
class HostileClumps : public ModelEngine {
protected:
    HostileClumps() : ModelEngine(LgEngineInitNoFreeLists) {}
};

std::vector<uint8_t> unchecked(const mw::Clump& c) {
    mw::ChunkWriter w;
    mw::put_clump(w, c);
    return w.take();
}

TEST_F(HostileClumps, BadIndicesAndCountsFailWithoutLeaks) {
    auto with = [](auto change) {
        mw::Clump c = sample_clump();
        change(c);
        return unchecked(c);
    };
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"parent is the frame itself", with([](mw::Clump& c) { c.frames[2].parent = 2; })},
        {"parent is a later frame", with([](mw::Clump& c) { c.frames[1].parent = 3; })},
        {"parent out of range", with([](mw::Clump& c) { c.frames[3].parent = 70; })},
        {"second root", with([](mw::Clump& c) { c.frames[3].parent = -1; })},
        {"root with a parent", with([](mw::Clump& c) { c.frames[0].parent = 0; })},
        {"frame index", with([](mw::Clump& c) { c.atomics[2].frame = 4; })},
        {"geometry index", with([](mw::Clump& c) { c.atomics[1].geometry = 2; })},
        {"more atomics than chunks",
         [] {
             auto bytes = unchecked(sample_clump());
             bytes[24] = 9; // the atomic count
             return bytes;
         }()},
        {"negative atomic count",
         [] {
             auto bytes = unchecked(sample_clump());
             bytes[27] = 0x80;
             return bytes;
         }()},
        {"huge frame count",
         [] {
             auto bytes = unchecked(sample_clump());
             bytes[28 + 24 + 3] = 0x10; // the frame list's count
             return bytes;
         }()},
        {"cut short",
         [] {
             auto bytes = unchecked(sample_clump());
             bytes.resize(bytes.size() - 20);
             return bytes;
         }()},
    };
    const long before = CountingMemory::live;
    for (const auto& c : cases) {
        EXPECT_EQ(read_clump(c.bytes), nullptr) << c.what;
        EXPECT_EQ(CountingMemory::live, before) << c.what;
    }
}

TEST_F(HostileClumps, LongerStructsAreReadUpToTheirRecordsAndTheRestSkipped) {
    // The clump's and an atomic's struct chunks each carry two more words than they need.
    const mw::Clump e = mw::single_atomic_clump(modeltest::triangle_fan(3, {{-1, {}}}));
    LgClump* clump =
        read_clump(hand_built(e, {1, 0xdead, 0xbeef}, true, {0, 0, 0x04, 0, 0x11, 0x22}));
    ASSERT_NE(clump, nullptr);
    ASSERT_EQ(LgClumpGetNumAtomics(clump), 1);
    EXPECT_EQ(atomics_of(clump)[0]->object.header.flags, 0x04);
    const long before = CountingMemory::live;
    LgClumpDestroy(clump);
    EXPECT_LT(CountingMemory::live, before);
}

TEST_F(HostileClumps, RunningOutOfMemoryAnywhereFailsCleanly) {
    mw::Clump e = sample_clump();
    e.geometries[0].materials[0].material.texture.reset(); // textures stay in their dictionary
    e.geometries[0].meshHeader = mw::MeshHeader{0, {{0, {0, 1, 2}}}};
    const std::vector<uint8_t> bytes = clump_bytes(e);
    const long before = CountingMemory::live;
    bool succeeded = false;
    for (long failAt = 1; !succeeded && failAt < 400; ++failAt) {
        CountingMemory::fail_in(failAt);
        LgClump* clump = read_clump(bytes);
        CountingMemory::failAt = 0;
        succeeded = clump != nullptr;
        if (clump != nullptr) LgClumpDestroy(clump);
        ASSERT_EQ(CountingMemory::live, before) << "allocation " << failAt;
    }
    EXPECT_TRUE(succeeded);
}

} // namespace
