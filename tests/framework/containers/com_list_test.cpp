// COMList and its cursors.
#include "framework/containers/com_list.h"
#include "framework/core/com_ref.h"
#include "tests/framework/containers/held_objects.h"
#include "tests/support/framework_fixture.h"

#include <vector>

namespace {

using testsupport::int_of;
using testsupport::make_ints;
using testsupport::ref_count_of;

class COMListTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override { ASSERT_EQ(OmNewCOMList(list.put()), 0); }
    void TearDown() override {
        list.reset();
        FrameworkTest::TearDown();
    }
    // Appends Ints 0 .. n - 1, handing the references over; returns them (no reference).
    std::vector<IInt*> fill(int n) {
        std::vector<IInt*> ints = make_ints(n);
        for (IInt* value : ints) EXPECT_EQ(list->AddTail(value), 0);
        return ints;
    }
    std::vector<int32_t> contents() {
        ComRef<ICOMListCursor> cursor = ComRef<ICOMListCursor>::adopt(list->CreateCursor());
        std::vector<int32_t> out;
        for (; cursor->Current(); cursor->Next()) out.push_back(int_of(cursor->Current()));
        return out;
    }
    ComRef<ICOMListCursor> cursor() { return ComRef<ICOMListCursor>::adopt(list->CreateCursor()); }
    ComRef<ICOMList> list;
};

TEST_F(COMListTest, NodesComeInBlocksOfSixteenNineThirteenTwenty) {
    // Null objects, so that the only heap blocks made are the list's own.
    struct Row {
        int nodes;
        int64_t new_blocks;
    };
    const Row rows[] = {{16, 0}, {17, 1}, {25, 1}, {26, 2}, {38, 2}, {39, 3}, {58, 3}, {59, 4}};
    const int64_t at_start = OmLiveHeapBlocks();
    int added = 0;
    for (const Row& row : rows) {
        for (; added < row.nodes; ++added) ASSERT_EQ(list->AddTail(nullptr), 0);
        EXPECT_EQ(OmLiveHeapBlocks() - at_start, row.new_blocks) << row.nodes << " nodes";
    }
    // Nodes given back are used again before any new block is made.
    for (int i = 0; i < 20; ++i) list->RemoveHead();
    for (int i = 0; i < 20; ++i) list->AddHead(nullptr);
    EXPECT_EQ(OmLiveHeapBlocks() - at_start, 4);
}

TEST_F(COMListTest, EndsAddAndRemoveHandingReferencesOver) {
    std::vector<IInt*> ints = make_ints(3);
    EXPECT_EQ(list->Head(), nullptr);
    EXPECT_EQ(list->RemoveTail(), nullptr);
    list->AddTail(ints[1]);
    list->AddHead(ints[0]);
    list->AddTail(ints[2]);
    EXPECT_EQ(contents(), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(list->Head(), ints[0]);
    EXPECT_EQ(list->Tail(), ints[2]);
    EXPECT_EQ(ref_count_of(ints[0]), 1u) << "adding and reading add no reference";

    IUnknown* tail = list->RemoveTail();
    EXPECT_EQ(tail, ints[2]);
    EXPECT_EQ(tail->Release(), 0u) << "the list's reference went to the caller";
    IUnknown* head = list->RemoveHead();
    EXPECT_EQ(head, ints[0]);
    head->Release();
    EXPECT_EQ(contents(), (std::vector<int32_t>{1}));
    ints[1]->AddRef();
    EXPECT_EQ(list->RemoveAll(), 0);
    EXPECT_EQ(ref_count_of(ints[1]), 1u);
    ints[1]->Release();
}

TEST_F(COMListTest, ReleasingTheListReleasesWhatItHolds) {
    std::vector<IInt*> ints = fill(2);
    ints[0]->AddRef();
    list.reset();
    EXPECT_EQ(ints[0]->Release(), 0u);
}

TEST_F(COMListTest, CursorWalksBothWays) {
    fill(3);
    auto c = cursor();
    EXPECT_EQ(int_of(c->Current()), 0);
    EXPECT_EQ(c->Last(), 0);
    EXPECT_EQ(int_of(c->Current()), 2);
    c->Previous();
    EXPECT_EQ(int_of(c->Current()), 1);
    c->Previous();
    c->Previous();
    EXPECT_EQ(c->Current(), nullptr) << "before the head";
    EXPECT_EQ(c->Next(), 0);
    EXPECT_EQ(c->Current(), nullptr) << "no node to step from";
    c->First();
    EXPECT_EQ(int_of(c->Current()), 0);
}

TEST_F(COMListTest, CursorRemovesAndInserts) {
    std::vector<IInt*> ints = fill(3);
    std::vector<IInt*> more = make_ints(4);
    auto c = cursor();
    c->Next();
    IUnknown* removed = c->RemoveCurrent();
    EXPECT_EQ(removed, ints[1]);
    removed->Release();
    EXPECT_EQ(int_of(c->Current()), 2) << "the cursor moved on to the next node";
    EXPECT_EQ(c->InsertBefore(more[3]), 0);
    EXPECT_EQ(int_of(c->Current()), 3);
    EXPECT_EQ(contents(), (std::vector<int32_t>{0, 3, 2}));
    c->Last();
    EXPECT_EQ(c->InsertAfter(more[1]), 0);
    EXPECT_EQ(list->Tail(), more[1]);
    c->First();
    EXPECT_EQ(c->InsertBefore(more[0]), 0);
    EXPECT_EQ(list->Head(), more[0]);
    EXPECT_EQ(contents(), (std::vector<int32_t>{0, 0, 3, 2, 1}));

    c->Last();
    removed = c->RemoveCurrent();
    removed->Release();
    EXPECT_EQ(c->Current(), nullptr) << "past the tail";
    EXPECT_EQ(c->RemoveCurrent(), nullptr);
    EXPECT_EQ(c->InsertAfter(more[2]), 0) << "no current node: at the tail";
    EXPECT_EQ(list->Tail(), more[2]);
    EXPECT_EQ(c->Current(), more[2]);
}

TEST_F(COMListTest, CursorOnARemovedNodeRestartsAtTheHead) {
    fill(4);
    auto a = cursor(), b = cursor();
    a->Next();
    a->Next(); // on 2
    b->Next();
    b->Next();
    b->RemoveCurrent()->Release(); // removes 2 under a
    EXPECT_EQ(a->Next(), 0);
    EXPECT_EQ(int_of(a->Current()), 1) << "back to the head, then the step: the second node";

    // The same when the removed node has been used again for a new object.
    a->Last(); // on 3
    list->RemoveTail()->Release();
    IInt* fresh = make_ints(1)[0];
    list->AddTail(fresh); // takes the node just given back
    EXPECT_EQ(int_of(a->Current()), 0) << "a reused node is not the one the cursor stood on";

    a->Last();
    list->RemoveAll();
    EXPECT_EQ(a->Current(), nullptr);
    EXPECT_EQ(a->InsertBefore(nullptr), 0);
    EXPECT_EQ(list->Head(), nullptr);
    EXPECT_EQ(b->Current(), nullptr);
}

TEST_F(COMListTest, CursorKeepsItsListAlive) {
    fill(2);
    ICOMListCursor* c = list->CreateCursor();
    ASSERT_NE(c, nullptr);
    list.reset();
    c->Next();
    EXPECT_EQ(int_of(c->Current()), 1);
    EXPECT_EQ(c->Release(), 0u); // the list goes with it: the leak check sees nothing left
}

TEST_F(COMListTest, OutOfMemoryLeavesTheListAsItWas) {
    fill(16); // every node of the first block in use
    IInt* extra = make_ints(1)[0];
    auto c = cursor();
    c->Next();
    platform::fail_allocation_after(1);
    EXPECT_EQ(list->AddTail(extra), OM_E_OUTOFMEMORY);
    platform::fail_allocation_after(1);
    EXPECT_EQ(list->AddHead(extra), OM_E_OUTOFMEMORY);
    platform::fail_allocation_after(1);
    EXPECT_EQ(c->InsertBefore(extra), OM_E_OUTOFMEMORY);
    platform::fail_allocation_after(1);
    EXPECT_EQ(c->InsertAfter(extra), OM_E_OUTOFMEMORY);
    platform::fail_allocation_after(1);
    EXPECT_EQ(list->CreateCursor(), nullptr);
    EXPECT_EQ(int_of(c->Current()), 1);
    EXPECT_EQ(ref_count_of(extra), 1u);
    std::vector<int32_t> expected;
    for (int i = 0; i < 16; ++i) expected.push_back(i);
    EXPECT_EQ(contents(), expected);
    EXPECT_EQ(list->AddTail(extra), 0);

    ICOMList* other = nullptr;
    platform::fail_allocation_after(2); // the first block
    EXPECT_EQ(OmNewCOMList(&other), OM_E_OUTOFMEMORY);
    EXPECT_EQ(other, nullptr);
}

TEST_F(COMListTest, NeitherClonesNorWrites) {
    IUnknown* copy = list.get();
    EXPECT_EQ(list->Clone(0, &copy), OM_E_FAIL);
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(list->Write(nullptr), OM_E_FAIL);
    ComRef<IObjectIO> io;
    EXPECT_EQ(list->QueryInterface(IID_IObjectIO, io.put_void()), OM_E_NOINTERFACE);

    ComRef<IClassFactory> factory;
    ASSERT_EQ(COMList_GetClassObject(CLSID_COMList, IID_IClassFactory, factory.put_void()), 0);
    ComRef<ICOMList> created;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_ICOMList, created.put_void()), 0);
}

} // namespace
