// A started framework with every built-in module registered, in a temporary directory that is
// the current directory for the test's lifetime.
#pragma once

#include "framework/core/object_manager.h"
#include "program/module_groups.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/temp_dir.h"

#include <filesystem>

namespace frontendtest {

class FrontEndTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        ASSERT_GE(framework_.started(), 0);
        OmRegisterAllModuleGroups(OmGetObjectManager());
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        testsupport::FrameworkTest::TearDown();
    }
    testsupport::TempDir dir_;

private:
    std::filesystem::path previous_;
};

} // namespace frontendtest
