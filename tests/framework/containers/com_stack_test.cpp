// COMStack.
#include "framework/containers/com_stack.h"
#include "framework/core/com_ref.h"
#include "tests/framework/containers/held_objects.h"
#include "tests/support/framework_fixture.h"

namespace {

using testsupport::int_of;
using testsupport::make_ints;
using testsupport::ref_count_of;

class COMStackTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override { ASSERT_EQ(OmNewCOMStack(stack.put()), 0); }
    void TearDown() override {
        stack.reset();
        FrameworkTest::TearDown();
    }
    // Heap allocations that pushing `n` null objects makes.
    uint64_t allocations_for_pushes(int n) {
        platform::fail_allocation_after(UINT64_MAX); // armed only to count
        for (int i = 0; i < n; ++i) EXPECT_EQ(stack->Push(nullptr), 0);
        uint64_t seen = platform::allocations_seen();
        platform::reset_allocation_faults();
        return seen;
    }
    ComRef<ICOMStack> stack;
};

TEST_F(COMStackTest, LastInFirstOutWithReferencesHandedOver) {
    std::vector<IInt*> ints = make_ints(3);
    EXPECT_EQ(stack->Pop(), nullptr);
    EXPECT_EQ(stack->Top(), nullptr);
    for (IInt* value : ints) EXPECT_EQ(stack->Push(value), 0);
    EXPECT_EQ(stack->Count(), 3);
    EXPECT_EQ(int_of(stack->Top()), 2);
    EXPECT_EQ(ref_count_of(ints[2]), 1u);
    IUnknown* top = stack->Pop();
    EXPECT_EQ(top, ints[2]);
    EXPECT_EQ(top->Release(), 0u);
    EXPECT_EQ(int_of(stack->Pop()), 1);
    ints[1]->Release();
    ints[0]->AddRef();
    EXPECT_EQ(stack->RemoveAll(), 0);
    EXPECT_EQ(stack->Count(), 0);
    EXPECT_EQ(ints[0]->Release(), 0u);
}

TEST_F(COMStackTest, ReleasingTheStackReleasesWhatItHolds) {
    IInt* value = make_ints(1)[0];
    stack->Push(value);
    value->AddRef();
    stack.reset();
    EXPECT_EQ(value->Release(), 0u);
}

TEST_F(COMStackTest, GrowsByTheStepAndCompactsToAMultipleOfIt) {
    EXPECT_EQ(allocations_for_pushes(64), 0u) << "64 slots from creation";
    EXPECT_EQ(allocations_for_pushes(1), 1u) << "the 65th grows";
    EXPECT_EQ(allocations_for_pushes(31), 0u) << "to 96";
    EXPECT_EQ(allocations_for_pushes(1), 1u);

    while (stack->Count() > 10) stack->Pop();
    EXPECT_EQ(stack->Compact(), 0);
    EXPECT_EQ(allocations_for_pushes(22), 0u) << "10 objects and step 32 leave 32 slots";
    EXPECT_EQ(allocations_for_pushes(1), 1u);

    EXPECT_EQ(stack->SetGrowth(0), 0); // counts as 1
    EXPECT_EQ(stack->Compact(), 0);
    EXPECT_EQ(allocations_for_pushes(1), 0u) << "33 objects and step 1 leave 34 slots";
    EXPECT_EQ(allocations_for_pushes(1), 1u) << "one slot per growth now";
}

TEST_F(COMStackTest, FailedGrowthKeepsTheStack) {
    for (int i = 0; i < 64; ++i) stack->Push(nullptr);
    IInt* value = make_ints(1)[0];
    stack->Push(value); // the 65th: capacity 96
    while (stack->Count() > 64) stack->Pop();
    stack->Push(value);
    platform::fail_allocation_after(1);
    EXPECT_EQ(stack->Compact(), OM_E_OUTOFMEMORY);
    EXPECT_EQ(stack->Top(), value);
    for (int i = 65; i < 96; ++i) stack->Push(nullptr);
    IInt* extra = make_ints(1)[0];
    platform::fail_allocation_after(1);
    EXPECT_EQ(stack->Push(extra), OM_E_OUTOFMEMORY);
    EXPECT_EQ(stack->Count(), 96);
    EXPECT_EQ(ref_count_of(extra), 1u);
    extra->Release();
}

} // namespace
