// The object manager and class registry: creation, treat-as, categories, relations, named
// entries and global objects.
#include "framework/core/class_registry.h"
#include "framework/core/com_ref.h"
#include "framework/core/static_com.h"
#include "tests/framework/core/test_widgets.h"
#include "tests/support/framework_fixture.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr GUID CLSID_Missing = om_guid("5E1A0030-0000-4000-8000-00000000A001");
constexpr GUID CLSID_A = om_guid("5E1A0031-0000-4000-8000-00000000A001");
constexpr GUID CLSID_B = om_guid("5E1A0032-0000-4000-8000-00000000A001");
constexpr GUID CLSID_C = om_guid("5E1A0033-0000-4000-8000-00000000A001");
constexpr GUID CATID_Empty = om_guid("5E1A0040-0000-4000-8000-00000000A001");
constexpr GUID CATID_Other = om_guid("5E1A0041-0000-4000-8000-00000000A001");
constexpr GUID CATID_Second = om_guid("5E1A0042-0000-4000-8000-00000000A001");

class ObjectManagerTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        manager = OmGetObjectManager();
        registry = manager->GetClassRegistry();
        ASSERT_EQ(TestWidgets_RegisterClasses(manager), 0);
    }
    int32_t greet(const GUID& clsid) {
        ComRef<IGreeter> greeter;
        OmResult r = OmCreateInstance(clsid, nullptr, 0, IID_IGreeter, greeter.put_void());
        return r < 0 ? r : greeter->Greet();
    }
    // Registers a class record whose get-class-object only notes which class was asked for.
    void register_noting(const GUID& clsid, const GUID* const* categories,
                         const GUID* const* second = nullptr) {
        OmClassDescription d{OM_CLASS_DESCRIPTION_SIZE, "noting"};
        ASSERT_EQ(registry->RegisterClass(clsid, &d, categories, second), 0);
        ASSERT_EQ(registry->SetNamedEntry(clsid, OM_CREATE_OBJECT_ENTRY,
                                          reinterpret_cast<const void*>(note_class)),
                  0);
    }
    static OmResult note_class(const GUID& clsid, const GUID&, void** out) {
        asked = clsid;
        *out = nullptr;
        return OM_S_OK;
    }
    std::vector<GUID> walk(int32_t kind, const GUID& id) {
        std::vector<GUID> ids;
        GUID cursor = GUID_NULL;
        while (registry->GetRelation(kind, id, &cursor) == 0) ids.push_back(cursor);
        EXPECT_TRUE(om_guid_is_null(cursor)) << "the end clears the cursor";
        return ids;
    }
    static bool same_set(std::vector<GUID> a, std::vector<GUID> b) {
        auto less = [](const GUID& x, const GUID& y) { return std::memcmp(&x, &y, 16) < 0; };
        std::sort(a.begin(), a.end(), less);
        std::sort(b.begin(), b.end(), less);
        return a == b;
    }

    IObjectManager* manager = nullptr;
    IClassRegistry* registry = nullptr;
    static inline GUID asked{};
};

TEST_F(ObjectManagerTest, RegisteredModuleCreatesThroughTheManager) {
    EXPECT_EQ(greet(CLSID_TwoFaced), 42);
    EXPECT_EQ(greet(CLSID_Lonely), 7);
    ComRef<IGreeter> outer;
    ASSERT_EQ(OmCreate(CLSID_TwoFaced, IID_IGreeter, outer.put()), 0);
    void* out = &out;
    EXPECT_EQ(OmCreateInstance(CLSID_TwoFaced, outer.get(), 0, IID_IGreeter, &out),
              OM_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    ComRef<IClassFactory> factory;
    EXPECT_EQ(OmGetClassObject(CLSID_TwoFaced, nullptr, 0, IID_IClassFactory, factory.put_void()),
              0);
    OmClassDescription d{OM_CLASS_DESCRIPTION_SIZE, ""};
    ASSERT_EQ(registry->GetClassDescription(CLSID_TwoFaced, &d), 0);
    EXPECT_STREQ(d.name, "TwoFaced");
}

TEST_F(ObjectManagerTest, UnknownClassIsNotFoundAndClassMissingFromItsTableIsNotAvailable) {
    EXPECT_EQ(greet(CLSID_Missing), OM_E_NOTFOUND);
    OmClassDescription d{OM_CLASS_DESCRIPTION_SIZE, "stray"};
    ASSERT_EQ(registry->RegisterClass(CLSID_Missing, &d, nullptr, nullptr), 0);
    EXPECT_EQ(greet(CLSID_Missing), OM_E_FAIL) << "no CreateObject entry";
    registry->SetNamedEntry(CLSID_Missing, OM_CREATE_OBJECT_ENTRY,
                            reinterpret_cast<const void*>(TestWidgets_GetClassObject));
    EXPECT_EQ(greet(CLSID_Missing), OM_E_CLASSNOTAVAILABLE);
}

TEST_F(ObjectManagerTest, TreatAsChainsAreFollowedAndCyclesFail) {
    ASSERT_EQ(OmSetTreatAsClass(CLSID_Missing, &CLSID_Lonely), 0);
    ASSERT_EQ(OmSetTreatAsClass(CLSID_Lonely, &CLSID_TwoFaced), 0);
    EXPECT_EQ(greet(CLSID_Missing), 42) << "A -> B -> C creates C";
    ASSERT_EQ(OmSetTreatAsClass(CLSID_Lonely, nullptr), 0);
    EXPECT_EQ(greet(CLSID_Missing), 7) << "clearing B's mapping makes A create B";

    ASSERT_EQ(OmSetTreatAsClass(CLSID_Lonely, &CLSID_Missing), 0);
    EXPECT_EQ(greet(CLSID_Missing), OM_E_FAIL);
    EXPECT_EQ(greet(CLSID_Lonely), OM_E_FAIL);
    ASSERT_EQ(OmSetTreatAsClass(CLSID_A, &CLSID_A), 0);
    EXPECT_EQ(greet(CLSID_A), OM_E_FAIL);
    ASSERT_EQ(OmSetTreatAsClass(CLSID_A, &CLSID_B), 0);
    ASSERT_EQ(OmSetTreatAsClass(CLSID_B, &CLSID_C), 0);
    ASSERT_EQ(OmSetTreatAsClass(CLSID_C, &CLSID_B), 0);
    EXPECT_EQ(greet(CLSID_A), OM_E_FAIL);
}

TEST_F(ObjectManagerTest, CategoryPicksTheSelectedClassElseTheFirstFound) {
    const GUID* const categories[] = {&CATID_Other, nullptr};
    for (const GUID* id : {&CLSID_A, &CLSID_B, &CLSID_C}) register_noting(*id, categories);
    std::vector<GUID> members = walk(OM_RELATION_CATEGORY_CLASSES, CATID_Other);
    ASSERT_EQ(members.size(), 3u);
    void* out;
    ASSERT_EQ(manager->GetClassObjectOfCategory(CATID_Other, nullptr, 0, IID_IUnknown, &out), 0);
    EXPECT_EQ(asked, members[0]);
    ASSERT_EQ(OmSelectClassOfCategory(registry, members[2]), 0);
    ASSERT_EQ(manager->GetClassObjectOfCategory(CATID_Other, nullptr, 0, IID_IUnknown, &out), 0);
    EXPECT_EQ(asked, members[2]);
    registry->SetNamedEntry(members[2], OM_SELECTED_ENTRY, "0");
    registry->SetNamedEntry(members[1], OM_SELECTED_ENTRY, "12");
    ASSERT_EQ(manager->GetClassObjectOfCategory(CATID_Other, nullptr, 0, IID_IUnknown, &out), 0);
    EXPECT_EQ(asked, members[1]);

    EXPECT_EQ(OmCreateInstanceOfCategory(CATID_Empty, nullptr, 0, IID_IGreeter, &out),
              OM_E_NOTFOUND);
    ComRef<IGreeter> widget;
    ASSERT_EQ(
        OmCreateInstanceOfCategory(CATID_Widgets, nullptr, 0, IID_IGreeter, widget.put_void()), 0);
    EXPECT_EQ(widget->Greet(), 42);
    GUID cursor = GUID_NULL;
    EXPECT_EQ(OmFindNextClassOfCategory(CATID_Widgets, &cursor), 0);
    EXPECT_EQ(cursor, CLSID_TwoFaced);
}

TEST_F(ObjectManagerTest, RelationKindsWalkTheirSets) {
    const GUID* const a_categories[] = {&CATID_Other, &CATID_Empty, nullptr};
    const GUID* const b_categories[] = {&CATID_Other, nullptr};
    const GUID* const a_second[] = {&CATID_Second, nullptr};
    register_noting(CLSID_A, a_categories, a_second);
    register_noting(CLSID_B, b_categories);
    registry->SetTreatAs(CLSID_A, &CLSID_B);
    OmCategoryDescription c{OM_CATEGORY_DESCRIPTION_SIZE, "other"};
    ASSERT_EQ(registry->RegisterCategory(CATID_Other, &c), 0);

    EXPECT_TRUE(same_set(walk(0, CATID_Second), {CLSID_A}));
    EXPECT_TRUE(same_set(walk(1, CATID_Other), {CLSID_A, CLSID_B}));
    EXPECT_TRUE(same_set(walk(2, CLSID_A), {CATID_Second}));
    EXPECT_TRUE(same_set(walk(3, CLSID_A), {CATID_Other, CATID_Empty}));
    EXPECT_TRUE(same_set(walk(4, CLSID_A), {CLSID_B}));
    EXPECT_TRUE(same_set(walk(5, GUID_NULL), {CLSID_A, CLSID_B, CLSID_TwoFaced, CLSID_Lonely}));
    EXPECT_TRUE(same_set(walk(6, GUID_NULL), {CATID_Other}));

    GUID stray = CLSID_C;
    EXPECT_EQ(registry->GetRelation(3, CLSID_A, &stray), OM_E_FAIL) << "cursor not in the set";
    EXPECT_EQ(registry->GetRelation(7, CLSID_A, &stray), OM_E_FAIL);
    EXPECT_EQ(registry->SetRelation(5, CLSID_A, nullptr), OM_E_FAIL);

    // Replacing one direction keeps the other consistent.
    const GUID only_b[] = {CLSID_B, GUID_NULL};
    ASSERT_EQ(registry->SetRelation(1, CATID_Other, only_b), 0);
    EXPECT_TRUE(same_set(walk(3, CLSID_A), {CATID_Empty}));
    EXPECT_TRUE(same_set(walk(3, CLSID_B), {CATID_Other}));

    // Unregistering drops the class's category pairs but keeps its treat-as mapping.
    ASSERT_EQ(registry->UnregisterClass(CLSID_A), 0);
    EXPECT_TRUE(walk(0, CATID_Second).empty());
    EXPECT_TRUE(walk(1, CATID_Empty).empty());
    EXPECT_TRUE(same_set(walk(4, CLSID_A), {CLSID_B}));
    EXPECT_EQ(registry->UnregisterClass(CLSID_A), OM_E_NOTFOUND);
}

TEST_F(ObjectManagerTest, NamedEntriesSurviveReRegistrationAndCheckTheirBuffers) {
    ASSERT_EQ(registry->SetNamedEntry(CLSID_TwoFaced, "Extension", "bmp"), 0);
    ASSERT_EQ(TestWidgets_RegisterClasses(manager), 0);
    char text[4];
    EXPECT_EQ(registry->GetNamedEntry(CLSID_TwoFaced, "Extension", text, 4), 0);
    EXPECT_STREQ(text, "bmp");
    EXPECT_EQ(registry->GetNamedEntry(CLSID_TwoFaced, "Extension", text, 3), OM_E_FAIL);
    EXPECT_EQ(registry->GetNamedEntry(CLSID_TwoFaced, "Absent", text, 4), OM_E_NOTFOUND);
    EXPECT_EQ(registry->GetNamedEntry(CLSID_Missing, "Extension", text, 4), OM_E_NOTFOUND);
    void* function = nullptr;
    EXPECT_EQ(registry->GetNamedEntry(CLSID_TwoFaced, OM_CREATE_OBJECT_ENTRY, &function, 8),
              OM_E_FAIL);
    EXPECT_EQ(registry->GetNamedEntry(CLSID_TwoFaced, OM_CREATE_OBJECT_ENTRY, &function, 0), 0);
    EXPECT_EQ(function, reinterpret_cast<void*>(TestWidgets_GetClassObject));
    ASSERT_EQ(registry->SetNamedEntry(CLSID_TwoFaced, "Extension", nullptr), 0);
    EXPECT_EQ(registry->GetNamedEntry(CLSID_TwoFaced, "Extension", text, 4), OM_E_NOTFOUND);
    EXPECT_EQ(registry->SetNamedEntry(CLSID_Missing, "Extension", "x"), OM_E_NOTFOUND);
}

TEST_F(ObjectManagerTest, DescriptionsAndCategoriesCheckTheirSizeWords) {
    OmClassDescription big{OM_CLASS_DESCRIPTION_SIZE + 1, "big"};
    EXPECT_EQ(registry->RegisterClass(CLSID_A, &big, nullptr, nullptr), OM_E_FAIL);
    OmClassDescription small{OM_CLASS_DESCRIPTION_SIZE - 1, ""};
    EXPECT_EQ(registry->GetClassDescription(CLSID_TwoFaced, &small), OM_E_FAIL);
    OmClassDescription out{OM_CLASS_DESCRIPTION_SIZE, ""};
    EXPECT_EQ(registry->GetClassDescription(CLSID_A, &out), OM_E_NOTFOUND);

    OmCategoryDescription first{OM_CATEGORY_DESCRIPTION_SIZE, "first"};
    OmCategoryDescription second{OM_CATEGORY_DESCRIPTION_SIZE, "second"};
    OmCategoryDescription too_big{OM_CATEGORY_DESCRIPTION_SIZE + 1, ""};
    ASSERT_EQ(registry->RegisterCategory(CATID_Other, &first), 0);
    ASSERT_EQ(registry->RegisterCategory(CATID_Other, &second), 0);
    EXPECT_EQ(registry->RegisterCategory(CATID_Other, &too_big), OM_E_FAIL);
    OmCategoryDescription read{OM_CATEGORY_DESCRIPTION_SIZE, ""};
    ASSERT_EQ(registry->GetCategory(CATID_Other, &read), 0);
    EXPECT_STREQ(read.text, "second");
    read.size = OM_CATEGORY_DESCRIPTION_SIZE - 1;
    EXPECT_EQ(registry->GetCategory(CATID_Other, &read), OM_E_FAIL);
    ASSERT_EQ(registry->UnregisterCategory(CATID_Other), 0);
    EXPECT_EQ(registry->UnregisterCategory(CATID_Other), OM_E_NOTFOUND);
    read.size = OM_CATEGORY_DESCRIPTION_SIZE;
    EXPECT_EQ(registry->GetCategory(CATID_Other, &read), OM_E_NOTFOUND);
}

uint32_t count_of(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST_F(ObjectManagerTest, GlobalObjectsTakeOverReferencesAndReleaseTheOldOnce) {
    IUnknown *first, *second;
    ASSERT_EQ(OmCreateComponent<TwoFaced>(nullptr, &first), 0);
    ASSERT_EQ(OmCreateComponent<TwoFaced>(nullptr, &second), 0);
    first->AddRef();
    ASSERT_EQ(OmRegisterGlobalObject(CLSID_A, first), 0);
    EXPECT_EQ(count_of(first), 2u);
    EXPECT_EQ(OmLookupGlobalObject(CLSID_A), first);
    EXPECT_EQ(count_of(first), 2u) << "lookups add no reference";
    ASSERT_EQ(OmRegisterGlobalObject(CLSID_A, second), 0);
    EXPECT_EQ(count_of(first), 1u);
    EXPECT_EQ(OmLookupGlobalObject(CLSID_A), second);
    EXPECT_EQ(OmLookupGlobalObject(CLSID_B), nullptr);
    first->Release();
    // `second` belongs to the manager now; shutting it down releases it (the leak check
    // of the fixture would notice otherwise).
}

TEST_F(ObjectManagerTest, ReservedOperationAndInterfaces) {
    EXPECT_EQ(manager->Reserved(), 0);
    ComRef<IUnknown> unknown;
    EXPECT_EQ(manager->QueryInterface(IID_IObjectManager, unknown.put_void()), 0);
    EXPECT_EQ(registry->QueryInterface(IID_IObjectManager, unknown.put_void()), OM_E_NOINTERFACE);
    IObjectManager* refused = nullptr;
    EXPECT_EQ(OmCreateStaticCOM(manager, &refused), OM_E_NOAGGREGATION);
    EXPECT_EQ(OmSetObjectManager(manager), OM_E_FAIL);
}

// Each allocation inside registration, entries and globals fails in turn: the call reports
// OM_E_OUTOFMEMORY and the registry keeps its previous state.
TEST_F(ObjectManagerTest, OutOfMemoryLeavesTheRegistryAsItWas) {
    const GUID* const categories[] = {&CATID_Other, &CATID_Second, nullptr};
    for (uint64_t n = 1;; ++n) {
        OmClassDescription d{OM_CLASS_DESCRIPTION_SIZE, "A"};
        platform::fail_allocation_after(n);
        OmResult r = registry->RegisterClass(CLSID_A, &d, categories, nullptr);
        bool fired = platform::allocation_fault_fired();
        platform::reset_allocation_faults();
        if (!fired) {
            ASSERT_EQ(r, 0);
            break;
        }
        EXPECT_EQ(r, OM_E_OUTOFMEMORY) << n;
        OmClassDescription out{OM_CLASS_DESCRIPTION_SIZE, ""};
        EXPECT_EQ(registry->GetClassDescription(CLSID_A, &out), OM_E_NOTFOUND) << n;
        EXPECT_TRUE(walk(1, CATID_Other).empty()) << n;
    }
    for (uint64_t n = 1;; ++n) {
        platform::fail_allocation_after(n);
        OmResult r = registry->SetNamedEntry(CLSID_A, "Name", "value");
        bool fired = platform::allocation_fault_fired();
        platform::reset_allocation_faults();
        if (!fired) break;
        EXPECT_EQ(r, OM_E_OUTOFMEMORY);
    }
    IUnknown* object;
    ASSERT_EQ(OmCreateComponent<TwoFaced>(nullptr, &object), 0);
    platform::fail_allocation_after(1, true);
    EXPECT_EQ(OmRegisterGlobalObject(CLSID_B, object), OM_E_OUTOFMEMORY);
    platform::reset_allocation_faults();
    EXPECT_EQ(count_of(object), 1u) << "the caller keeps its reference on failure";
    object->Release();
}

TEST_F(ObjectManagerTest, ManagerCreationFailuresLeaveNothingAllocated) {
    const int64_t before = framework_.leaked_blocks();
    for (uint64_t n = 1;; ++n) {
        IObjectManager* made = nullptr;
        platform::fail_allocation_after(n);
        OmResult r = OmCreateStaticCOM(nullptr, &made);
        bool fired = platform::allocation_fault_fired();
        platform::reset_allocation_faults();
        if (!fired) {
            ASSERT_EQ(r, 0);
            made->Release();
            break;
        }
        EXPECT_EQ(r, OM_E_OUTOFMEMORY);
        EXPECT_EQ(made, nullptr);
        EXPECT_EQ(framework_.leaked_blocks(), before) << n;
    }
}

} // namespace
