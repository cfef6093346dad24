// COMArray.
#include "framework/containers/com_array.h"
#include "framework/core/com_ref.h"
#include "tests/framework/containers/held_objects.h"
#include "tests/framework/core/test_widgets.h"
#include "tests/support/framework_fixture.h"

#include <vector>

namespace {

using testsupport::int_of;
using testsupport::make_ints;
using testsupport::ref_count_of;

class COMArrayTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override { ASSERT_EQ(OmNewCOMArray(array.put()), 0); }
    void TearDown() override {
        array.reset();
        FrameworkTest::TearDown();
    }
    std::vector<int32_t> contents(ICOMArray* a = nullptr) {
        if (!a) a = array.get();
        std::vector<int32_t> out;
        for (int32_t i = 0; i < a->Count(); ++i) out.push_back(int_of(a->GetAt(i)));
        return out;
    }
    // Appends Ints 0 .. n - 1, handing the references over; returns them (no reference).
    std::vector<IInt*> fill(int n) {
        std::vector<IInt*> ints = make_ints(n);
        for (IInt* value : ints) EXPECT_GE(array->Append(value), 0);
        return ints;
    }
    ComRef<ICOMArray> array;
};

TEST_F(COMArrayTest, TakesOverReferencesAndReleasesWhatLeaves) {
    std::vector<IInt*> ints = fill(3);
    for (IInt* value : ints) value->AddRef(); // keep them alive to watch them
    EXPECT_EQ(ref_count_of(ints[0]), 2u) << "Append adds no reference of its own";
    EXPECT_EQ(array->GetAt(1), ints[1]);
    EXPECT_EQ(ref_count_of(ints[1]), 2u) << "GetAt adds none either";

    EXPECT_EQ(array->RemoveAt(0), 0);
    EXPECT_EQ(ref_count_of(ints[0]), 1u);
    EXPECT_EQ(array->RemoveAt(5), OM_E_FAIL);
    EXPECT_EQ(contents(), (std::vector<int32_t>{1, 2}));

    ints[1]->AddRef();
    EXPECT_EQ(array->SetAt(0, ints[1]), 0) << "the same object: nothing happens";
    EXPECT_EQ(ref_count_of(ints[1]), 3u);
    ints[1]->Release();
    ints[0]->AddRef();
    EXPECT_EQ(array->SetAt(0, ints[0]), 0);
    EXPECT_EQ(ref_count_of(ints[1]), 1u) << "the replaced element is released";
    EXPECT_EQ(array->SetAt(2, ints[1]), OM_E_FAIL);

    ints[1]->AddRef();
    EXPECT_EQ(array->InsertAt(1, ints[1]), 0);
    EXPECT_EQ(contents(), (std::vector<int32_t>{0, 1, 2}));
    array.reset();
    for (IInt* value : ints) EXPECT_EQ(value->Release(), 0u) << "the array let go of each";
}

TEST_F(COMArrayTest, SetCountAddsNullSlotsOrReleasesTheTail) {
    std::vector<IInt*> ints = fill(2);
    ints[1]->AddRef();
    ASSERT_EQ(array->SetCount(5), 0);
    EXPECT_EQ(contents(), (std::vector<int32_t>{0, 1, -1, -1, -1}));
    EXPECT_EQ(array->GetAt(4), nullptr);
    ASSERT_EQ(array->SetCount(1), 0);
    EXPECT_EQ(ref_count_of(ints[1]), 1u);
    EXPECT_EQ(array->SetCount(-1), OM_E_FAIL);
    EXPECT_EQ(contents(), (std::vector<int32_t>{0}));
    ints[1]->Release();
    EXPECT_EQ(array->Reserve(40), 1);
    EXPECT_EQ(array->Compact(), 0);
    EXPECT_EQ(array->Reserved(), 0);
    EXPECT_EQ(array->RemoveAll(), 0);
    EXPECT_EQ(array->Count(), 0);
}

TEST_F(COMArrayTest, CloneCopiesShallowOrDeep) {
    std::vector<IInt*> ints = fill(2);
    array->Append(nullptr);
    ComRef<IUnknown> shallow, deep;
    ASSERT_EQ(array->Clone(0, shallow.put()), 0);
    ASSERT_EQ(array->Clone(OM_COPY_DEEP, deep.put()), 0);
    ComRef<ICOMArray> s, d;
    ASSERT_EQ(shallow->QueryInterface(IID_ICOMArray, s.put_void()), 0);
    ASSERT_EQ(deep->QueryInterface(IID_ICOMArray, d.put_void()), 0);
    EXPECT_EQ(s->GetAt(0), ints[0]);
    EXPECT_EQ(ref_count_of(ints[0]), 2u);
    EXPECT_NE(d->GetAt(0), ints[0]);
    EXPECT_EQ(contents(d.get()), (std::vector<int32_t>{0, 1, -1}));
    EXPECT_EQ(d->GetAt(2), nullptr);
}

TEST_F(COMArrayTest, FailedCloneDropsTheCopy) {
    fill(2);
    IUnknown* plain;
    ASSERT_EQ(OmCreateComponent<TwoFaced>(nullptr, &plain), 0);
    array->Append(plain);
    IUnknown* copy = plain;
    EXPECT_EQ(array->Clone(OM_COPY_DEEP | OM_COPY_REFUSE_UNCOPYABLE, &copy), OM_E_FAIL);
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(ref_count_of(plain), 1u);
    // The deep copies of the Ints made before the failure must be gone: the fixture's leak
    // check at the end of the test finds them otherwise.
}

TEST_F(COMArrayTest, OutOfMemoryKeepsTheArrayAndTheCallersReference) {
    fill(32);
    ASSERT_EQ(array->Compact(), 0);
    IInt* extra = make_ints(1)[0];
    platform::fail_allocation_after(1);
    EXPECT_EQ(array->Append(extra), OM_E_OUTOFMEMORY);
    platform::fail_allocation_after(1);
    EXPECT_EQ(array->InsertAt(0, extra), OM_E_OUTOFMEMORY);
    platform::fail_allocation_after(1);
    EXPECT_EQ(array->SetCount(33), OM_E_OUTOFMEMORY);
    platform::fail_allocation_after(1);
    EXPECT_EQ(array->Reserve(64), 0);
    EXPECT_EQ(array->Count(), 32);
    EXPECT_EQ(int_of(array->GetAt(31)), 31);
    EXPECT_EQ(ref_count_of(extra), 1u);
    extra->Release();
    platform::fail_allocation_after(2);
    IUnknown* copy = nullptr;
    EXPECT_EQ(array->Clone(0, &copy), OM_E_OUTOFMEMORY);
    EXPECT_EQ(ref_count_of(array->GetAt(0)), 1u) << "shared elements were given back";
}

TEST_F(COMArrayTest, ModuleCreatesItWithItsInterfaces) {
    testsupport::expect_container_module(COMArray_GetClassObject, CLSID_COMArray, IID_ICOMArray);
}

} // namespace
