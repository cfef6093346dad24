// Framework start-up and shutdown.
#include "framework/containers/com_hash.h"
#include "framework/containers/values.h"
#include "framework/core/com_ref.h"
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

} // namespace
