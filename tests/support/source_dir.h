// Where the project's sources are, for tests that read files kept beside them (golden images).
#pragma once

#include <string>

namespace testsupport {

// The source tree's root, as the build was configured; without a trailing '/'.
std::string source_dir();

} // namespace testsupport
