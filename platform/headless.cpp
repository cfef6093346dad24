// Headless switch, read from the environment the first time it is asked.
#include "platform/headless.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

enum : int { unknown = -1, off = 0, on = 1 };
std::atomic<int> headless_state{unknown};

bool environment_says_headless() {
    const char* v = std::getenv("CORVEL_HEADLESS");
    if (!v) return false;
    return std::strcmp(v, "1") == 0 || strcasecmp(v, "true") == 0 || strcasecmp(v, "yes") == 0;
}

} // namespace

bool headless() {
    int s = headless_state.load(std::memory_order_relaxed);
    if (s == unknown) {
        s = environment_says_headless() ? on : off;
        headless_state.store(s, std::memory_order_relaxed);
    }
    return s == on;
}

void set_headless(bool enable) { headless_state.store(enable ? on : off); }

} // namespace platform
