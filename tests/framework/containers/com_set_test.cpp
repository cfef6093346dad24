// COMSet.
#include "framework/containers/com_set.h"
#include "framework/core/com_ref.h"
#include "tests/framework/containers/held_objects.h"
#include "tests/support/framework_fixture.h"

#include <vector>

namespace {

using testsupport::int_of;
using testsupport::make_ints;
using testsupport::ref_count_of;

class COMSetTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override { ASSERT_EQ(OmNewCOMSet(set.put()), 0); }
    void TearDown() override {
        set.reset();
        FrameworkTest::TearDown();
    }
    // Adds Ints 0 .. n - 1, handing the references over; returns them (no reference).
    std::vector<IInt*> fill(int n) {
        std::vector<IInt*> ints = make_ints(n);
        for (IInt* value : ints) EXPECT_GE(set->Add(value), 0);
        return ints;
    }
    // The member Move gives out, or -2 when the move fails.
    int32_t move(int32_t mode) {
        IUnknown* member = set.get();
        OmResult r = set->Move(mode, &member);
        if (r < 0) {
            EXPECT_EQ(member, nullptr);
            return -2;
        }
        return int_of(member);
    }
    ComRef<ICOMSet> set;
};

TEST_F(COMSetTest, AddKeepsMembersDistinctInInsertionOrder) {
    std::vector<IInt*> ints = make_ints(3);
    EXPECT_EQ(set->Add(ints[0]), 0);
    EXPECT_EQ(set->Add(ints[1]), 1);
    EXPECT_EQ(set->Add(ints[0]), 0) << "a member already";
    EXPECT_EQ(set->Count(), 2);
    EXPECT_EQ(ref_count_of(ints[0]), 1u);
    EXPECT_EQ(set->Contains(ints[1]), 1);
    EXPECT_EQ(set->Contains(ints[2]), 0);
    EXPECT_EQ(set->Remove(ints[2]), OM_E_FAIL);
    ints[1]->AddRef();
    EXPECT_EQ(set->Remove(ints[1]), 0);
    EXPECT_EQ(ints[1]->Release(), 0u) << "Remove released the set's reference";
    ints[2]->Release();
}

TEST_F(COMSetTest, MoveFollowsTheCursorRules) {
    EXPECT_EQ(move(OM_MOVE_NEXT), -2) << "empty";
    EXPECT_EQ(move(OM_MOVE_FIRST), -2);
    EXPECT_EQ(move(OM_MOVE_LAST), -2);
    fill(3);
    struct Row {
        int32_t mode, member;
    };
    const Row rows[] = {
        {OM_MOVE_NEXT, 0},  {OM_MOVE_PREVIOUS, -2}, {OM_MOVE_NEXT, 1},
        {OM_MOVE_NEXT, 2},  {OM_MOVE_NEXT, -2},     {OM_MOVE_PREVIOUS, 1},
        {OM_MOVE_FIRST, 0}, {OM_MOVE_LAST, 2},      {OM_MOVE_PREVIOUS, 1},
    };
    for (const Row& row : rows) EXPECT_EQ(move(row.mode), row.member) << "mode " << row.mode;
    IUnknown* member = set.get();
    EXPECT_EQ(set->Move(7, &member), 0);
    EXPECT_EQ(member, nullptr);
    EXPECT_EQ(move(OM_MOVE_NEXT), 2) << "the unknown mode left the cursor alone";
}

TEST_F(COMSetTest, RemovingAtOrBeforeTheCursorMovesItBack) {
    std::vector<IInt*> ints = fill(4);
    move(OM_MOVE_FIRST);
    move(OM_MOVE_NEXT); // on 1
    set->Remove(ints[1]);
    EXPECT_EQ(move(OM_MOVE_NEXT), 2) << "the member after the removed one";
    set->Remove(ints[0]);
    EXPECT_EQ(move(OM_MOVE_NEXT), 3);
    set->Remove(ints[3]);
    EXPECT_EQ(move(OM_MOVE_NEXT), -2);
    EXPECT_EQ(set->RemoveAll(), 0);
    EXPECT_EQ(move(OM_MOVE_NEXT), -2);
}

TEST_F(COMSetTest, ForEachWalksWithTheCursorAndStopsOnFailure) {
    fill(4);
    std::vector<int32_t> seen;
    EXPECT_EQ(set->ForEach(
                  [](IUnknown* member, void* seen) {
                      static_cast<std::vector<int32_t>*>(seen)->push_back(int_of(member));
                      return int_of(member) == 2 ? OM_E_FAIL : OM_S_OK;
                  },
                  &seen),
              OM_E_FAIL);
    EXPECT_EQ(seen, (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(move(OM_MOVE_NEXT), 3) << "the cursor stayed on the member that stopped it";

    // A callback removing its member: the walk still visits every member once.
    seen.clear();
    struct Walk {
        ICOMSet* set;
        std::vector<int32_t>* seen;
    } walk{set.get(), &seen};
    EXPECT_EQ(set->ForEach(
                  [](IUnknown* member, void* w) {
                      auto* walk = static_cast<Walk*>(w);
                      walk->seen->push_back(int_of(member));
                      if (int_of(member) % 2 == 0) walk->set->Remove(member);
                      return OM_S_OK;
                  },
                  &walk),
              0);
    EXPECT_EQ(seen, (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(set->Count(), 2);
    EXPECT_EQ(move(OM_MOVE_NEXT), -2) << "the cursor ended at the count";
    EXPECT_EQ(move(OM_MOVE_PREVIOUS), 3);
}

TEST_F(COMSetTest, CloneCopiesMembersAndCursor) {
    std::vector<IInt*> ints = fill(3);
    move(OM_MOVE_LAST);
    move(OM_MOVE_PREVIOUS); // on 1
    ComRef<IUnknown> copy;
    ASSERT_EQ(set->Clone(OM_COPY_DEEP, copy.put()), 0);
    ComRef<ICOMSet> cloned;
    ASSERT_EQ(copy->QueryInterface(IID_ICOMSet, cloned.put_void()), 0);
    EXPECT_EQ(cloned->Count(), 3);
    EXPECT_EQ(cloned->Contains(ints[0]), 0) << "deep copies are new objects";
    IUnknown* member = nullptr;
    ASSERT_EQ(cloned->Move(OM_MOVE_NEXT, &member), 0);
    EXPECT_EQ(int_of(member), 2);

    ComRef<IUnknown> shallow;
    ASSERT_EQ(set->Clone(0, shallow.put()), 0);
    EXPECT_EQ(ref_count_of(ints[0]), 2u);
    EXPECT_EQ(set->Write(nullptr), OM_E_FAIL);
}

TEST_F(COMSetTest, OutOfMemoryLeavesTheSetAsItWas) {
    fill(32);
    IInt* extra = make_ints(1)[0];
    platform::fail_allocation_after(1);
    EXPECT_EQ(set->Add(extra), OM_E_OUTOFMEMORY);
    EXPECT_EQ(set->Count(), 32);
    EXPECT_EQ(set->Contains(extra), 0);
    EXPECT_EQ(ref_count_of(extra), 1u);
    extra->Release();
    IUnknown* copy = set.get();
    platform::fail_allocation_after(5); // inside the deep copies
    EXPECT_EQ(set->Clone(OM_COPY_DEEP, &copy), OM_E_OUTOFMEMORY);
    EXPECT_EQ(copy, nullptr);
}

TEST_F(COMSetTest, ModuleCreatesItWithItsInterfaces) {
    testsupport::expect_container_module(COMSet_GetClassObject, CLSID_COMSet, IID_ICOMSet);
}

} // namespace
