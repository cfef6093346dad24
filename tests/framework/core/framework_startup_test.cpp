// Framework start-up, shutdown and the group registration functions.
#include "framework/containers/com_hash.h"
#include "framework/containers/values.h"
#include "framework/core/com_ref.h"
#include "framework/core/module_groups.h"
#include "tests/support/framework_fixture.h"

#include <string>
#include <vector>

namespace {

using StartupTest = testsupport::FrameworkTest;

TEST_F(StartupTest, InstallsTheServicesAndTheDefaultRedirectionsInOrder) {
    ASSERT_EQ(framework_.started(), 0);
    ASSERT_NE(OmGetAllocator(), nullptr);
    IClassRegistry* registry = OmGetObjectManager()->GetClassRegistry();
    for (const OmRedirection& redirection : om_default_redirections) {
        GUID cursor = GUID_NULL;
        ASSERT_EQ(registry->GetRelation(OM_RELATION_TREAT_AS, *redirection.from, &cursor), 0);
        EXPECT_EQ(cursor, *redirection.to);
    }
    EXPECT_EQ(*om_default_redirections[0].from, CLSID_Storage);
    EXPECT_EQ(*om_default_redirections[1].to, CLSID_Win32Storage);
    EXPECT_EQ(*om_default_redirections[8].to, CLSID_Win32Dx6SoundControl2);
}

TEST_F(StartupTest, SecondStartupIsRefusedAndChangesNothing) {
    IObjectManager* manager = OmGetObjectManager();
    IMemory* allocator = OmGetAllocator();
    EXPECT_EQ(OmStartup(), OM_E_FAIL);
    EXPECT_EQ(OmGetObjectManager(), manager);
    EXPECT_EQ(OmGetAllocator(), allocator);
    EXPECT_EQ(static_cast<StdCMemory*>(allocator)->ref_count(), 1u);
}

TEST_F(StartupTest, ShutdownClearsBothServices) {
    OmShutdown();
    EXPECT_EQ(OmGetObjectManager(), nullptr);
    EXPECT_EQ(OmGetAllocator(), nullptr);
    void* out;
    EXPECT_EQ(OmCreateInstance(CLSID_Int, nullptr, 0, IID_IInt, &out), OM_E_NOMANAGER);
}

TEST(StartupFailure, ManagerCreationFailureIsReturnedAndTheAllocatorStays) {
    testsupport::FrameworkScope scope;
    OmShutdown();
    platform::fail_allocation_after(1, true);
    EXPECT_EQ(OmStartup(), OM_E_OUTOFMEMORY);
    platform::reset_allocation_faults();
    EXPECT_NE(OmGetAllocator(), nullptr);
    EXPECT_EQ(OmGetObjectManager(), nullptr);
}

TEST_F(StartupTest, GroupsRunInStartupOrder) {
    std::vector<std::string> names;
    for (const OmModuleGroup& group : OmModuleGroupsInStartupOrder()) names.push_back(group.name);
    EXPECT_EQ(names, (std::vector<std::string>{"display", "containers", "sound", "crypto", "web",
                                               "input", "maths", "memory", "network", "system",
                                               "storage", "text"}));
    EXPECT_EQ(OmModuleGroupsInStartupOrder()[1].register_modules, OmRegisterContainerModules);
}

TEST_F(StartupTest, RegisteredGroupsCreateEveryBuiltInClass) {
    ASSERT_EQ(OmRegisterAllModuleGroups(OmGetObjectManager()), 0);
    struct Row {
        const GUID& clsid;
        const GUID& iid;
    };
    const Row rows[] = {{CLSID_COMHash, IID_ICOMHash}, {CLSID_ObjHash, IID_IObjHash},
                        {CLSID_Int, IID_IInt},         {CLSID_Ptr, IID_IPtr},
                        {CLSID_Real, IID_IReal},       {CLSID_String, IID_IString},
                        {CLSID_Guid, IID_IGuidValue},  {CLSID_StdCMemory, IID_IMemory}};
    for (const Row& row : rows) {
        ComRef<IUnknown> object;
        EXPECT_EQ(OmCreateInstance(row.clsid, nullptr, 0, row.iid, object.put_void()), 0);
    }
    // The neutral memory id reaches the one allocator object.
    ComRef<IMemory> memory;
    ASSERT_EQ(OmCreate(CLSID_Memory, IID_IMemory, memory.put()), 0);
    EXPECT_EQ(memory.get(), OmGetAllocator());
    EXPECT_EQ(static_cast<StdCMemory*>(memory.get())->ref_count(), 2u);
}

} // namespace
