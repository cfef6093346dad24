// Components: query-interface, shared counts, the class factory and class-table registration.
#include "framework/core/com_ref.h"
#include "framework/core/empty_methods.h"
#include "framework/core/object_manager.h"
#include "tests/framework/core/test_widgets.h"
#include "tests/support/framework_fixture.h"

#include <string>
#include <vector>

namespace {

using testsupport::FrameworkTest;
using ComponentTest = FrameworkTest;

ComRef<IClassFactory> factory_for(const GUID& clsid) {
    ComRef<IClassFactory> factory;
    EXPECT_EQ(TestWidgets_GetClassObject(clsid, IID_IClassFactory, factory.put_void()), 0);
    return factory;
}

TEST_F(ComponentTest, TwoInterfacesShareOneCountAndOneIdentity) {
    ComRef<IGreeter> greeter;
    ASSERT_EQ(
        factory_for(CLSID_TwoFaced)->CreateInstance(nullptr, IID_IGreeter, greeter.put_void()), 0);
    EXPECT_EQ(greeter->Greet(), 42);
    ComRef<ICounter> counter;
    ASSERT_EQ(greeter->QueryInterface(IID_ICounter, counter.put_void()), 0);
    EXPECT_NE(static_cast<void*>(counter.get()), static_cast<void*>(greeter.get()));
    EXPECT_EQ(counter->Count(), 2u);

    ComRef<IUnknown> from_second, from_first;
    ASSERT_EQ(counter->QueryInterface(IID_IUnknown, from_second.put_void()), 0);
    ASSERT_EQ(greeter->QueryInterface(IID_IUnknown, from_first.put_void()), 0);
    EXPECT_EQ(from_second.get(), from_first.get());
    EXPECT_EQ(static_cast<void*>(from_first.get()), static_cast<void*>(greeter.get()));
    EXPECT_EQ(counter->Count(), 4u);
}

TEST_F(ComponentTest, UnknownInterfaceLeavesNullAndFails) {
    ComRef<IGreeter> greeter;
    ASSERT_EQ(factory_for(CLSID_Lonely)->CreateInstance(nullptr, IID_IGreeter, greeter.put_void()),
              0);
    void* out = &out;
    EXPECT_EQ(greeter->QueryInterface(IID_ICounter, &out), OM_E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST_F(ComponentTest, OuterObjectIsRefusedAndNothingIsCreated) {
    ComRef<IGreeter> outer;
    ASSERT_EQ(factory_for(CLSID_TwoFaced)->CreateInstance(nullptr, IID_IGreeter, outer.put_void()),
              0);
    int64_t before = framework_.leaked_blocks();
    void* out = &out;
    EXPECT_EQ(factory_for(CLSID_TwoFaced)->CreateInstance(outer.get(), IID_IGreeter, &out),
              OM_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    IUnknown* created = nullptr;
    EXPECT_EQ(OmCreateComponent<TwoFaced>(outer.get(), &created), OM_E_NOAGGREGATION);
    EXPECT_EQ(Lonely::Create(outer.get(), &created), OM_E_NOAGGREGATION);
    EXPECT_EQ(created, nullptr);
    EXPECT_EQ(framework_.leaked_blocks(), before);
}

TEST_F(ComponentTest, ClassMissingFromTableIsNotAvailable) {
    void* out = &out;
    EXPECT_EQ(TestWidgets_GetClassObject(CATID_Widgets, IID_IClassFactory, &out),
              OM_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(OmGetClassObjectFromTable(nullptr, 0, CLSID_TwoFaced, IID_IClassFactory, &out),
              OM_E_CLASSNOTAVAILABLE);
}

TEST_F(ComponentTest, FactoryAnswersItsInterfacesOnly) {
    ComRef<IUnknown> unknown;
    EXPECT_EQ(TestWidgets_GetClassObject(CLSID_TwoFaced, IID_IUnknown, unknown.put_void()), 0);
    void* out;
    EXPECT_EQ(TestWidgets_GetClassObject(CLSID_TwoFaced, IID_IGreeter, &out), OM_E_NOINTERFACE);
    EXPECT_EQ(factory_for(CLSID_TwoFaced)->LockServer(1), 0);
}

TEST_F(ComponentTest, SingletonHandsOutOneObjectUntilItsLastRelease) {
    ComRef<IGreeter> a, b;
    auto factory = factory_for(CLSID_Lonely);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IGreeter, a.put_void()), 0);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IGreeter, b.put_void()), 0);
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(Lonely::instance->ref_count(), 2u);
    a.reset();
    b.reset();
    EXPECT_EQ(Lonely::instance, nullptr);
}

// Every allocation on the create path fails in turn: each gives OM_E_OUTOFMEMORY, nothing
// stays allocated, and the walk ends with a successful create.
TEST_F(ComponentTest, EveryAllocationFailureOnTheCreatePathIsReportedWithoutLeaks) {
    for (uint64_t n = 1;; ++n) {
        int64_t before = framework_.leaked_blocks();
        platform::fail_allocation_after(n);
        void* factory = nullptr;
        OmResult r = TestWidgets_GetClassObject(CLSID_TwoFaced, IID_IClassFactory, &factory);
        void* out = nullptr;
        if (r == 0) {
            r = static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_ICounter, &out);
            static_cast<IClassFactory*>(factory)->Release();
        }
        bool fired = platform::allocation_fault_fired();
        platform::reset_allocation_faults();
        if (!fired) {
            ASSERT_EQ(r, 0);
            static_cast<ICounter*>(out)->Release();
            EXPECT_GT(n, 2u);
            break;
        }
        EXPECT_EQ(r, OM_E_OUTOFMEMORY) << "allocation " << n;
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(framework_.leaked_blocks(), before) << "allocation " << n;
    }
}

TEST_F(ComponentTest, ComRefAttachAndDetachMoveOwnershipWithoutCounting) {
    IUnknown* raw = nullptr;
    ASSERT_EQ(OmCreateComponent<TwoFaced>(nullptr, &raw), 0);
    ComRef<IUnknown> held;
    held.attach(raw);
    {
        ComRef<IUnknown> copy = held;
        EXPECT_EQ(static_cast<TwoFaced*>(static_cast<IGreeter*>(raw))->ref_count(), 2u);
    }
    IUnknown* back = held.detach();
    EXPECT_EQ(back, raw);
    EXPECT_FALSE(held);
    EXPECT_EQ(back->Release(), 0u);
}

TEST_F(ComponentTest, ReleaseFirstMemberReleasesOnceAndClears) {
    IUnknown* member = nullptr;
    ASSERT_EQ(OmCreateComponent<TwoFaced>(nullptr, &member), 0);
    OmReleaseFirstMember(member);
    EXPECT_EQ(member, nullptr);
    OmReleaseFirstMember(member);
    OmEmptyMethod(nullptr);
    OmEmptyDestroy(nullptr);
}

// Records the registry calls that class-table registration makes.
class RecordingRegistry final : public OmObject<RecordingRegistry, IClassRegistry, IObjectManager> {
public:
    std::vector<std::string> calls;
    const GUID* const* seen_categories = nullptr;
    OmClassDescription last_description{};
    int fail_at_call = -1;

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IClassRegistry, static_cast<IClassRegistry*>(this)}});
    }
    OmResult record(std::string call) {
        calls.push_back(std::move(call));
        return int(calls.size()) - 1 == fail_at_call ? OM_E_FAIL : OM_S_OK;
    }
    OmResult RegisterClass(const GUID&, const OmClassDescription* d, const GUID* const* c,
                           const GUID* const*) override {
        last_description = *d;
        if (!seen_categories) seen_categories = c;
        return record(std::string("register ") + d->name);
    }
    OmResult GetClassDescription(const GUID&, OmClassDescription*) override { return OM_E_FAIL; }
    OmResult UnregisterClass(const GUID&) override { return record("unregister"); }
    OmResult SetNamedEntry(const GUID&, const char* name, const void* value) override {
        return record(
            std::string("entry ") + name +
            (value == reinterpret_cast<const void*>(TestWidgets_GetClassObject) ? " ok" : ""));
    }
    OmResult GetNamedEntry(const GUID&, const char*, void*, uint32_t) override { return OM_E_FAIL; }
    OmResult RegisterCategory(const GUID&, const OmCategoryDescription*) override {
        return OM_E_FAIL;
    }
    OmResult GetCategory(const GUID&, OmCategoryDescription*) override { return OM_E_FAIL; }
    OmResult UnregisterCategory(const GUID&) override { return OM_E_FAIL; }
    OmResult SetTreatAs(const GUID&, const GUID*) override { return OM_E_FAIL; }
    OmResult SetRelation(int32_t, const GUID&, const GUID*) override { return OM_E_FAIL; }
    OmResult GetRelation(int32_t, const GUID&, GUID*) override { return OM_E_FAIL; }

    OmResult GetClassObject(const GUID&, IUnknown*, uint32_t, const GUID&, void**) override {
        return OM_E_FAIL;
    }
    OmResult GetClassObjectOfCategory(const GUID&, IUnknown*, uint32_t, const GUID&,
                                      void**) override {
        return OM_E_FAIL;
    }
    OmResult CreateInstance(const GUID&, IUnknown*, uint32_t, const GUID&, void**) override {
        return OM_E_FAIL;
    }
    OmResult CreateInstanceOfCategory(const GUID&, IUnknown*, uint32_t, const GUID&,
                                      void**) override {
        return OM_E_FAIL;
    }
    OmResult Reserved() override { return 0; }
    IClassRegistry* GetClassRegistry() override { return this; }
    OmResult RegisterGlobalObject(const GUID&, IUnknown*) override { return OM_E_FAIL; }
    IUnknown* LookupGlobalObject(const GUID&) override { return nullptr; }
};

TEST_F(ComponentTest, RegisteringATableWalksItsRecordsInOrder) {
    RecordingRegistry* registry;
    ASSERT_EQ(om_new_component(&registry), 0);
    EXPECT_EQ(TestWidgets_RegisterClasses(registry), 0);
    EXPECT_EQ(registry->calls,
              (std::vector<std::string>{"register TwoFaced", "entry CreateObject ok",
                                        "register Lonely", "entry CreateObject ok"}));
    ASSERT_NE(registry->seen_categories, nullptr);
    EXPECT_EQ(*registry->seen_categories[0], CATID_Widgets);
    EXPECT_EQ(registry->last_description.size, OM_CLASS_DESCRIPTION_SIZE);

    registry->calls.clear();
    EXPECT_EQ(TestWidgets_UnregisterClasses(registry), 0);
    EXPECT_EQ(registry->calls.size(), 2u);

    registry->calls.clear();
    registry->fail_at_call = 1;
    EXPECT_EQ(TestWidgets_RegisterClasses(registry), OM_E_FAIL);
    EXPECT_EQ(registry->calls.size(), 2u) << "the first failure ends the walk";
    EXPECT_EQ(OmRegisterClassTable(nullptr, 0, TestWidgets_GetClassObject, registry), 0);
    static_cast<IClassRegistry*>(registry)->Release();
}

TEST_F(ComponentTest, ClassNamesUpTo83CharactersFitTheDescription) {
    RecordingRegistry* registry;
    ASSERT_EQ(om_new_component(&registry), 0);
    std::string longest(83, 'n'), too_long(84, 'n');
    OmClassRecord record{&CLSID_TwoFaced, nullptr, nullptr, OmCreateComponent<TwoFaced>,
                         longest.c_str()};
    EXPECT_EQ(OmRegisterClassTable(&record, 1, TestWidgets_GetClassObject, registry), 0);
    EXPECT_EQ(std::string(registry->last_description.name), longest);
    EXPECT_EQ(registry->last_description.size, 88u);
    record.name = too_long.c_str();
    registry->calls.clear();
    EXPECT_EQ(OmRegisterClassTable(&record, 1, TestWidgets_GetClassObject, registry), OM_E_FAIL);
    EXPECT_TRUE(registry->calls.empty());
    static_cast<IClassRegistry*>(registry)->Release();
}

TEST_F(ComponentTest, WrappersAnswerNoManagerBeforeStartUp) {
    ASSERT_EQ(OmSetObjectManager(nullptr), 0);
    void* out = nullptr;
    GUID cursor{};
    EXPECT_EQ(OmCreateInstance(CLSID_TwoFaced, nullptr, 0, IID_IGreeter, &out), OM_E_NOMANAGER);
    EXPECT_EQ(OmGetClassObject(CLSID_TwoFaced, nullptr, 0, IID_IClassFactory, &out),
              OM_E_NOMANAGER);
    EXPECT_EQ(OmCreateInstanceOfCategory(CATID_Widgets, nullptr, 0, IID_IGreeter, &out),
              OM_E_NOMANAGER);
    EXPECT_EQ(OmRegisterGlobalObject(CLSID_TwoFaced, nullptr), OM_E_NOMANAGER);
    EXPECT_EQ(OmFindNextClassOfCategory(CATID_Widgets, &cursor), OM_E_NOMANAGER);
    EXPECT_EQ(OmSetTreatAsClass(CLSID_TwoFaced, nullptr), OM_E_NOMANAGER);
    EXPECT_EQ(OmLookupGlobalObject(CLSID_TwoFaced), nullptr);
}

} // namespace
