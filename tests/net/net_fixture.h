// Shared pieces of the network tests: a framework with the modules the network core uses, and
// the scripted transport double (scripted_transport.h).
#pragma once

#include "framework/core/com_ref.h"
#include "framework/core/component.h"
#include "framework/core/object_manager.h"
#include "net/client/om_aerovant_client.h"
#include "net/transport/om_transport.h"
#include "tests/net/network_classes.h"
#include "tests/net/scripted_transport.h"
#include "tests/support/framework_classes.h"
#include "tests/support/framework_fixture.h"

namespace nettest {

class NetTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        IObjectManager* manager = OmGetObjectManager();
        ASSERT_NE(manager, nullptr);
        testsupport::register_storage_classes(manager);
        testsupport::register_system_classes(manager);
        testsupport::register_container_classes(manager);
        testsupport::register_network_classes(manager);
        OmAerovantClient_RegisterClasses(manager);
    }
};

} // namespace nettest
