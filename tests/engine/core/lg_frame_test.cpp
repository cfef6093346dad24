// Frame hierarchies: dirty-list bookkeeping, lazy and full synchronisation, re-parenting,
// cloning and destruction.
#include "tests/engine/core/engine_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using enginetest::CountingMemory;
using enginetest::recorded_error;
using enginetest::StartedEngine;

namespace {

// Every frame carries a one-character tag in a plug-in slice, so logs can name frames.
int32_t tagOffset = -1;
std::string destroyed;
int constructorsLeft = -1; // constructors that may still succeed; -1 for any number

void* tag_construct(void* frame, int32_t offset, int32_t) {
    if (constructorsLeft == 0) return nullptr;
    if (constructorsLeft > 0) --constructorsLeft;
    static_cast<char*>(frame)[offset] = '?';
    return frame;
}
void* tag_destruct(void* frame, int32_t offset, int32_t) {
    destroyed += static_cast<char*>(frame)[offset];
    return frame;
}
void* tag_copy(void* dst, const void* src, int32_t offset, int32_t) {
    static_cast<char*>(dst)[offset] = static_cast<char>(static_cast<const char*>(src)[offset] -
                                                        'a' + 'A'); // clones get the upper case
    return dst;
}

char& tag(LgFrame* frame) {
    return reinterpret_cast<char*>(frame)[tagOffset];
}

struct TestObject {
    LgFrameObject base;
    int syncs = 0;
};

void* count_sync(void* object) {
    ++static_cast<TestObject*>(object)->syncs;
    return object;
}

void attach(TestObject& object, LgFrame* frame) {
    object.base.header = {9, 0, 0, 0, nullptr};
    object.base.frameLink = {&object.base.frameLink, &object.base.frameLink};
    object.base.sync = count_sync;
    LgObjectSetFrame(&object, frame);
}

int listed_roots() {
    int n = 0;
    const LgLink* head = &LgEngineInstancePtr->dirtyFrames;
    for (const LgLink* l = head->next; l != head; l = l->next) ++n;
    return n;
}

LgVector position_of(LgFrame* frame) {
    return LgFrameGetWorldMatrix(frame)->pos;
}

void move(LgFrame* frame, float x, float y, float z) {
    const LgVector v = {x, y, z};
    LgMatrixTranslate(LgFrameGetMatrix(frame), &v, LgCombineReplace);
    LgFrameMarkDirty(frame);
}

class Frames : public ::testing::Test {
protected:
    Frames()
        : engine(0, [] {
              tagOffset = LgFrameRegisterPlugin(1, 0x7f0, tag_construct, tag_destruct, tag_copy);
          }) {}
    void SetUp() override {
        ASSERT_TRUE(engine.ok);
        destroyed.clear();
        constructorsLeft = -1;
    }
    // root a with children b and c; d under b.
    LgFrame* make(char name) {
        LgFrame* f = LgFrameCreate();
        tag(f) = name;
        return f;
    }
    void build_tree() {
        a = make('a');
        b = make('b');
        c = make('c');
        d = make('d');
        LgFrameAddChild(a, c);
        LgFrameAddChild(a, b); // children list: b, c
        LgFrameAddChild(b, d);
        move(a, 1, 0, 0);
        move(b, 0, 2, 0);
        move(c, 0, 0, 3);
        move(d, 10, 0, 0);
        LgFrameSyncAllDirty();
    }
    StartedEngine engine;
    LgFrame *a = nullptr, *b = nullptr, *c = nullptr, *d = nullptr;
};

TEST_F(Frames, ANewFrameIsAnUnlistedIdentityRoot) {
    LgFrame* f = LgFrameCreate();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->root, f);
    EXPECT_EQ(LgFrameGetParent(f), nullptr);
    EXPECT_EQ(LgFrameGetMatrix(f)->flags, LgMatrixFlagIdentity | LgMatrixFlagOrthonormal);
    EXPECT_FALSE(LgFrameDirty(f));
    EXPECT_EQ(tag(f), '?') << "frame plug-in constructed";
    EXPECT_EQ(LgFrameDestroy(f), 1);
    EXPECT_EQ(destroyed, "?");
}

TEST_F(Frames, MarkingSeveralFramesOfATreeListsItsRootOnce) {
    build_tree();
    EXPECT_EQ(listed_roots(), 0);
    LgFrameMarkDirty(d);
    LgFrameMarkDirty(c);
    LgFrameMarkDirty(a);
    EXPECT_EQ(listed_roots(), 1);
    EXPECT_TRUE(LgFrameDirty(d));
    EXPECT_EQ(a->header.privateFlags, LgFrameDirtyRoot | LgFrameDirtySubtree);
}

TEST_F(Frames, WorldMatricesComposeDownTheTree) {
    build_tree();
    const LgVector expected[] = {{1, 0, 0}, {1, 2, 0}, {1, 0, 3}, {11, 2, 0}};
    LgFrame* frames[] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) {
        const LgVector p = position_of(frames[i]);
        EXPECT_EQ(p.x, expected[i].x) << i;
        EXPECT_EQ(p.y, expected[i].y) << i;
        EXPECT_EQ(p.z, expected[i].z) << i;
    }
}

TEST_F(Frames, ReadingAWorldMatrixSyncsLazilyWithoutNotifyingObjects) {
    build_tree();
    TestObject onB, onD, onC;
    attach(onB, b);
    attach(onD, d);
    attach(onC, c);
    LgFrameSyncAllDirty();
    onB.syncs = onD.syncs = onC.syncs = 0;

    move(b, 0, 5, 0);
    EXPECT_EQ(position_of(d).y, 5.0f) << "local x parent world at once";
    EXPECT_EQ(onB.syncs + onD.syncs, 0) << "the lazy sync touches no objects";
    EXPECT_EQ(listed_roots(), 1) << "the root stays listed for the full sync";

    LgFrameSyncAllDirty();
    EXPECT_EQ(onB.syncs, 1);
    EXPECT_EQ(onD.syncs, 1) << "descendants of a changed frame are notified";
    EXPECT_EQ(onC.syncs, 0) << "an untouched sibling is not";
    EXPECT_EQ(listed_roots(), 0);
    EXPECT_EQ(a->header.privateFlags, 0);
    LgObjectSetFrame(&onB, nullptr);
    LgObjectSetFrame(&onD, nullptr);
    LgObjectSetFrame(&onC, nullptr);
}

TEST_F(Frames, FullSyncRecomputesEveryChangedBranch) {
    build_tree();
    move(a, 100, 0, 0);
    move(d, 20, 0, 0);
    LgFrameSyncAllDirty();
    EXPECT_EQ(d->ltm.pos.x, 120.0f);
    EXPECT_EQ(c->ltm.pos.x, 100.0f);
    EXPECT_EQ(b->ltm.pos.y, 2.0f);
}

TEST_F(Frames, AddingAListedRootMovesTheListingToTheNewRoot) {
    build_tree();
    LgFrame* e = make('e');
    LgFrameMarkDirty(e);
    ASSERT_TRUE(LgFrameDirty(e));
    ASSERT_EQ(listed_roots(), 1);
    LgFrameAddChild(c, e);
    EXPECT_EQ(listed_roots(), 1);
    EXPECT_EQ(e->root, a);
    EXPECT_TRUE(LgFrameDirty(a));
    EXPECT_EQ(e->header.privateFlags & LgFrameDirtyRoot, 0);
    EXPECT_EQ(position_of(e).z, 3.0f);
}

TEST_F(Frames, MovingASubtreeToAnotherTreeUpdatesRootsAndListsBothTrees) {
    build_tree();
    LgFrame* other = make('o');
    move(other, 0, 0, 50);
    LgFrameSyncAllDirty();
    LgFrameAddChild(other, b);
    EXPECT_EQ(b->root, other);
    EXPECT_EQ(d->root, other);
    EXPECT_EQ(a->child, c) << "unlinked from the old parent";
    EXPECT_EQ(c->next, nullptr);
    EXPECT_EQ(listed_roots(), 2) << "old and new root";
    EXPECT_EQ(position_of(d).z, 50.0f);
    EXPECT_EQ(position_of(d).x, 10.0f);
}

TEST_F(Frames, AFrameCannotBecomeItsOwnDescendant) {
    build_tree();
    EXPECT_EQ(LgFrameAddChild(d, a), nullptr);
    EXPECT_EQ(LgFrameAddChild(b, b), nullptr);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrInvalidArgument}));
    EXPECT_EQ(LgFrameGetParent(d), b);
    EXPECT_EQ(LgFrameGetParent(a), nullptr);
}

TEST_F(Frames, CloneReversesChildrenAndMapsSourcesToClones) {
    build_tree();
    LgFrame* top = LgFrameClone(a);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(tag(top), 'A');
    LgFrame* first = top->child;
    ASSERT_NE(first, nullptr);
    ASSERT_NE(first->next, nullptr);
    EXPECT_EQ(tag(first), 'C') << "source order b, c comes out c, b";
    EXPECT_EQ(tag(first->next), 'B');
    EXPECT_EQ(tag(first->next->child), 'D');
    EXPECT_EQ(first->next->child->root, top);
    EXPECT_EQ(a->root, top) << "source roots point at their clones";
    EXPECT_EQ(d->root, first->next->child);
    LgFrameRestoreRoots(a);
    EXPECT_EQ(d->root, a);
    EXPECT_TRUE(LgFrameDirty(top));
    EXPECT_EQ(position_of(first->next->child).x, 11.0f);
    EXPECT_EQ(top->objectList.next, &top->objectList) << "objects are not cloned";
}

TEST_F(Frames, AFailedCloneLeavesNothingBehind) {
    build_tree();
    for (int allowed = 0; allowed < 4; ++allowed) {
        const long live = CountingMemory::live;
        constructorsLeft = allowed;
        EXPECT_EQ(LgFrameClone(a), nullptr) << allowed;
        constructorsLeft = -1;
        EXPECT_EQ(d->root, a) << "source roots restored";
        EXPECT_EQ(CountingMemory::live, live);
        EXPECT_EQ(listed_roots(), 0);
    }
    // Every clone's constructor that succeeded is undone by its destructor.
    EXPECT_EQ(destroyed.size(), 0u + 1 + 2 + 3);
}

TEST_F(Frames, DestroyingAParentLeavesItsChildrenAsRoots) {
    build_tree();
    LgFrameDestroy(a);
    EXPECT_EQ(LgFrameGetParent(b), nullptr);
    EXPECT_EQ(LgFrameGetParent(c), nullptr);
    EXPECT_EQ(b->root, b);
    EXPECT_EQ(d->root, b);
    EXPECT_EQ(c->next, nullptr);
    EXPECT_EQ(position_of(d).x, 10.0f) << "world matrices follow the new roots";
    EXPECT_EQ(position_of(c).z, 3.0f);
    LgFrameSyncAllDirty();
    EXPECT_EQ(listed_roots(), 0);
}

TEST_F(Frames, DestroyingAChildUnlinksItFromItsParent) {
    build_tree();
    LgFrameDestroy(c);
    EXPECT_EQ(a->child, b);
    EXPECT_EQ(b->next, nullptr);
    EXPECT_TRUE(LgFrameDirty(a));
}

TEST_F(Frames, DestroyHierarchyGoesDepthFirstInListOrder) {
    build_tree();
    LgFrameDestroyHierarchy(a);
    EXPECT_EQ(destroyed, "dbca");
    EXPECT_EQ(listed_roots(), 0);
}

TEST_F(Frames, ForAllChildrenStopsAtTheFirstNullResult) {
    build_tree();
    std::string seen;
    struct Visit {
        static LgFrame* stop_after_first(LgFrame* f, void* data) {
            *static_cast<std::string*>(data) += tag(f);
            return nullptr;
        }
        static LgFrame* all(LgFrame* f, void* data) {
            *static_cast<std::string*>(data) += tag(f);
            return f;
        }
    };
    LgFrameForAllChildren(a, Visit::all, &seen);
    EXPECT_EQ(seen, "bc");
    seen.clear();
    LgFrameForAllChildren(a, Visit::stop_after_first, &seen);
    EXPECT_EQ(seen, "b");
}

TEST_F(Frames, ObjectsListInAttachOrderNewestFirstAndDetachCleanly) {
    build_tree();
    TestObject first, second;
    attach(first, c);
    attach(second, c);
    std::vector<void*> seen;
    LgFrameForAllObjects(
        c,
        [](void* o, void* data) -> void* {
            static_cast<std::vector<void*>*>(data)->push_back(o);
            return o;
        },
        &seen);
    EXPECT_EQ(seen, (std::vector<void*>{&second, &first}));
    LgObjectRemoveFrame(&first);
    LgObjectSetFrame(&first, nullptr); // a second unlink does nothing
    LgObjectSetFrame(&second, b);
    EXPECT_EQ(c->objectList.next, &c->objectList);
    EXPECT_EQ(b->objectList.next, &second.base.frameLink);
    LgObjectSetFrame(&second, nullptr);
}

TEST_F(Frames, RotateAndSetIdentityMarkTheFrame) {
    build_tree();
    const LgVector z = {0, 0, 1};
    LgFrameRotate(d, &z, 90.0f, LgCombinePreConcat);
    EXPECT_TRUE(LgFrameDirty(d));
    EXPECT_NEAR(LgFrameGetWorldMatrix(d)->right.y, 1.0f, 1e-6f);
    EXPECT_EQ(LgFrameRotate(d, &z, 90.0f, 7), nullptr);
    LgFrameSetIdentity(d);
    EXPECT_EQ(position_of(d).x, 1.0f);
}

TEST(FramesWithoutStart, CreateFailsWhenTheModuleIsClosed) {
    EXPECT_EQ(LgFrameCreate(), nullptr);
}

} // namespace
