// Shared set-up of the demo data tests: where the build wrote the set, its files by kind, and
// INI files loaded through the framework's PropertySheet.
#pragma once

#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "program/module_groups.h"
#include "tests/support/framework_fixture.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace demodatatest {

// The program directory the build generated the set into (bin/, beside corvel).
std::string program_dir();
// The text sources the set is generated from.
std::string source_dir();

// Every regular file under the program directory (relative, '/' separated, sorted) whose
// name ends with one of the suffixes (compared without regard to case); the program itself,
// logs and the signed set's own files are left out.
std::vector<std::string> files_ending(const std::vector<std::string>& suffixes);
std::string read_text(const std::string& path);

// A PropertySheet holding an INI file of the set.
class Ini {
public:
    // Loads program_dir()/relative; loaded() is false (with a test failure) when it cannot.
    explicit Ini(const std::string& relative);
    bool loaded() const { return sheet_.get() != nullptr; }
    bool has_section(const char* section) const;
    std::optional<std::string> get(const char* section, const char* key) const;
    // The keys of a section in file order.
    std::vector<std::string> keys(const char* section) const;
    std::vector<std::string> sections() const;

private:
    ComRef<IPropertySheet> sheet_;
};

// A started framework with every built-in module registered.
class DemoDataTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        ASSERT_GE(framework_.started(), 0);
        OmRegisterAllModuleGroups(OmGetObjectManager());
    }
};

// The words of a blank-separated list.
std::vector<std::string> words(const std::string& text);
// Three floats of a "%f %f %f" value.
bool read_vector(const std::string& text, float out[3]);

} // namespace demodatatest
