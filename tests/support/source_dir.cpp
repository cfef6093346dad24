// The source tree's root, fixed when the build is configured. Only this file carries the path,
// so compiler caches shared between checkouts of the tree still match every other file.
#include "tests/support/source_dir.h"

namespace testsupport {

std::string source_dir() {
    return CORVEL_SOURCE_DIR;
}

} // namespace testsupport
