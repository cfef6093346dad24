// SimpleArray.
#include "framework/containers/simple_array.h"
#include "framework/core/com_ref.h"
#include "tests/framework/containers/held_objects.h"
#include "tests/support/framework_fixture.h"

#include <cstring>
#include <functional>
#include <vector>

namespace {

class SimpleArrayTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        ASSERT_EQ(OmNewSimpleArray(array.put()), 0);
        ASSERT_EQ(array->Init(3, 1), 0); // 4-byte elements
    }
    void TearDown() override {
        array.reset();
        FrameworkTest::TearDown();
    }
    void fill(std::initializer_list<int32_t> values) {
        for (int32_t v : values) ASSERT_EQ(array->Append(&v), 0);
    }
    std::vector<int32_t> contents(ISimpleArray* a = nullptr) {
        if (!a) a = array.get();
        std::vector<int32_t> out;
        for (int32_t i = 0; i < a->Count(); ++i) out.push_back(*static_cast<int32_t*>(a->GetAt(i)));
        return out;
    }
    ComRef<ISimpleArray> array;
};

TEST_F(SimpleArrayTest, InitSetsTheElementSizeFromKindAndMultiplicity) {
    struct Row {
        int32_t kind, multiplicity;
        OmResult result;
        int32_t kept_multiplicity, element_size;
    };
    const Row rows[] = {
        {0, 1, 0, 1, 1},          {1, 4, 0, 4, 4},          {2, 1, 0, 1, 2},
        {4, 1, 0, 1, 4},          {5, 2, 0, 2, 24},         {5, -3, 0, 1, 12},
        {6, 0, 0, 1, 48},         {7, 1, 0, 1, 16},         {9, 3, 0, 3, 12},
        {10, 1, OM_E_FAIL, 0, 0}, {-2, 1, OM_E_FAIL, 0, 0}, {6, INT32_MAX, OM_E_FAIL, 0, 0},
    };
    for (const Row& row : rows) {
        fill({1, 2});
        ASSERT_EQ(array->Init(row.kind, row.multiplicity), row.result) << row.kind;
        int32_t multiplicity = -9, size = -9;
        int32_t kind = array->GetKind(&multiplicity, &size);
        EXPECT_EQ(kind, row.result < 0 ? OM_SIMPLE_ARRAY_NO_KIND : row.kind);
        EXPECT_EQ(multiplicity, row.kept_multiplicity) << row.kind;
        EXPECT_EQ(size, row.element_size) << row.kind;
        EXPECT_EQ(array->Count(), 0) << "Init drops the elements, also when it fails";
        array->Init(3, 1);
    }
    EXPECT_EQ(array->GetKind(nullptr, nullptr), 3);
}

TEST_F(SimpleArrayTest, AnArrayWithoutAKindTakesNoElements) {
    ComRef<ISimpleArray> fresh;
    ASSERT_EQ(OmNewSimpleArray(fresh.put()), 0);
    int32_t size = -1;
    EXPECT_EQ(fresh->GetKind(nullptr, &size), OM_SIMPLE_ARRAY_NO_KIND);
    EXPECT_EQ(size, 0);
    int32_t v = 1;
    EXPECT_EQ(fresh->Append(&v), OM_E_FAIL);
    EXPECT_EQ(fresh->InsertAt(0, &v), OM_E_FAIL);
    EXPECT_EQ(fresh->SetCount(4), OM_E_FAIL);
    EXPECT_EQ(fresh->Count(), 0);
}

TEST_F(SimpleArrayTest, ElementOperations) {
    fill({1, 2, 3});
    int32_t nine = 9, eight = 8;
    EXPECT_EQ(array->InsertAt(0, &nine), 0);
    EXPECT_EQ(array->InsertAt(99, &eight), 0);
    EXPECT_EQ(contents(), (std::vector<int32_t>{9, 1, 2, 3, 8}));
    EXPECT_EQ(array->InsertAt(-1, &eight), OM_E_FAIL);
    EXPECT_EQ(array->SetAt(2, &eight), 0);
    EXPECT_EQ(array->SetAt(5, &eight), OM_E_FAIL);
    EXPECT_EQ(array->Append(nullptr), OM_E_FAIL);
    EXPECT_EQ(array->RemoveAt(0), 4);
    EXPECT_EQ(contents(), (std::vector<int32_t>{1, 8, 3, 8}));
    EXPECT_EQ(array->GetAt(4), nullptr);
    void* data = nullptr;
    EXPECT_EQ(array->LockData(&data), 0);
    EXPECT_EQ(data, array->GetAt(0));
    EXPECT_EQ(array->UnlockData(), 0);
    EXPECT_EQ(array->RemoveAll(), 0);
    EXPECT_EQ(array->LockData(&data), 0);
    EXPECT_EQ(data, nullptr);
}

TEST_F(SimpleArrayTest, CopiesItsOwnElementsAcrossGrowthAndShifts) {
    for (int32_t i = 0; i < 32; ++i) fill({i});
    ASSERT_EQ(array->Compact(), 0);
    // Full: the append moves the block the source lies in.
    ASSERT_EQ(array->Append(array->GetAt(5)), 0);
    EXPECT_EQ(contents()[32], 5);
    // The insert shifts the source up by one element.
    ASSERT_EQ(array->InsertAt(0, array->GetAt(7)), 0);
    EXPECT_EQ(contents()[0], 7);
}

TEST_F(SimpleArrayTest, PermuteGathersOrScatters) {
    const int32_t table[] = {2, 0, 1};
    fill({10, 11, 12});
    ASSERT_EQ(array->Permute(table, 3, 1), 0);
    EXPECT_EQ(contents(), (std::vector<int32_t>{12, 10, 11}));
    array->RemoveAll();
    fill({10, 11, 12});
    ASSERT_EQ(array->Permute(table, 3, 0), 0);
    EXPECT_EQ(contents(), (std::vector<int32_t>{11, 12, 10}));

    const int32_t out_of_range[] = {0, 3, 1};
    EXPECT_EQ(array->Permute(table, 2, 1), OM_E_FAIL) << "n must equal the count";
    EXPECT_EQ(array->Permute(out_of_range, 3, 1), OM_E_FAIL);
    EXPECT_EQ(array->Permute(nullptr, 3, 0), OM_E_FAIL);
    EXPECT_EQ(contents(), (std::vector<int32_t>{11, 12, 10}));
}

TEST_F(SimpleArrayTest, AppendFromNeedsTheSameShape) {
    fill({1, 2});
    ComRef<ISimpleArray> other;
    ASSERT_EQ(OmNewSimpleArray(other.put()), 0);
    other->Init(4, 1); // same size, other kind
    int32_t v = 5;
    other->Append(&v);
    EXPECT_EQ(array->AppendFrom(other.get()), OM_E_FAIL);
    EXPECT_EQ(array->AppendFrom(nullptr), OM_E_FAIL);
    other->Init(3, 1);
    EXPECT_EQ(array->AppendFrom(other.get()), 0) << "empty: nothing to do";
    other->Append(&v);
    EXPECT_EQ(array->AppendFrom(other.get()), 0);
    EXPECT_EQ(array->AppendFrom(array.get()), 0);
    EXPECT_EQ(contents(), (std::vector<int32_t>{1, 2, 5, 1, 2, 5}));
}

TEST_F(SimpleArrayTest, CloneCopiesShapeAndBytes) {
    array->Init(5, 2);
    const float a[6] = {1, 2, 3, 4, 5, 6}, b[6] = {7, 8, 9, 10, 11, 12};
    array->Append(a);
    array->Append(b);
    ComRef<IUnknown> copy;
    ASSERT_EQ(array->Clone(0, copy.put()), 0);
    EXPECT_EQ(testsupport::ref_count_of(copy.get()), 1u);
    ComRef<ISimpleArray> cloned;
    ASSERT_EQ(copy->QueryInterface(IID_ISimpleArray, cloned.put_void()), 0);
    int32_t multiplicity, size;
    EXPECT_EQ(cloned->GetKind(&multiplicity, &size), 5);
    EXPECT_EQ(multiplicity, 2);
    EXPECT_EQ(size, 24);
    ASSERT_EQ(cloned->Count(), 2);
    EXPECT_NE(cloned->GetAt(1), array->GetAt(1));
    EXPECT_EQ(std::memcmp(cloned->GetAt(1), b, 24), 0);
}

TEST_F(SimpleArrayTest, OutOfMemoryLeavesTheArrayAsItWas) {
    for (int32_t i = 0; i < 32; ++i) fill({i});
    ASSERT_EQ(array->Compact(), 0); // full, so every addition must grow
    const std::vector<int32_t> before = contents();
    int32_t v = 99;
    const int32_t identity[32] = {};
    ComRef<IUnknown> copy;
    struct Step {
        const char* name;
        std::function<OmResult()> run;
    };
    const Step steps[] = {
        {"Append", [&] { return array->Append(&v); }},
        {"InsertAt", [&] { return array->InsertAt(0, &v); }},
        {"SetCount", [&] { return array->SetCount(40); }},
        {"AppendFrom", [&] { return array->AppendFrom(array.get()); }},
        {"Permute", [&] { return array->Permute(identity, 32, 1); }},
        {"Init", [&] { return array->Init(2, 1); }},
        {"Clone", [&] { return array->Clone(0, copy.put()); }},
    };
    for (const Step& step : steps) {
        platform::fail_allocation_after(1);
        EXPECT_EQ(step.run(), OM_E_OUTOFMEMORY) << step.name;
        EXPECT_EQ(contents(), before) << step.name;
        EXPECT_EQ(array->GetKind(nullptr, nullptr), 3) << step.name;
    }
    platform::fail_allocation_after(2);
    EXPECT_EQ(array->Clone(0, copy.put()), OM_E_OUTOFMEMORY) << "the copy's block";
    EXPECT_EQ(copy.get(), nullptr);
}

TEST_F(SimpleArrayTest, ChunkHeaderMustFitItsChunk) {
    struct Row {
        int32_t kind, multiplicity, count;
        uint32_t chunk_size;
        OmResult result;
    };
    const Row rows[] = {
        {3, 1, 4, 28, 0},
        {3, 1, 4, 27, OM_E_FAIL}, // one byte short
        {0, 1, 0, 12, 0},         // empty array, header only
        {6, 2, 3, 12 + 288, 0},
        {3, 1, -1, 100, OM_E_FAIL},                  // negative count
        {6, 1000, INT32_MAX, UINT32_MAX, OM_E_FAIL}, // elements overflow 32 bits
        {7, 1, 0x10000000, UINT32_MAX, OM_E_FAIL},   // exactly 2^32 bytes
        {12, 1, 1, 100, OM_E_FAIL},                  // unknown kind
    };
    for (const Row& row : rows)
        EXPECT_EQ(OmSimpleArrayCheckHeader(row.kind, row.multiplicity, row.count, row.chunk_size),
                  row.result)
            << row.kind << " " << row.count << " " << row.chunk_size;
}

TEST_F(SimpleArrayTest, ModuleCreatesItWithItsInterfaces) {
    testsupport::expect_container_module(SimpleArray_GetClassObject, CLSID_SimpleArray,
                                         IID_ISimpleArray);
}

} // namespace
