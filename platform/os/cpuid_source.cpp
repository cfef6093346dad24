// The processor's own CPUID on x86-64; elsewhere a source that reports no CPUID.
#include "platform/os/cpuid_source.h"

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace platform {
namespace {

class NativeCpuid final : public CpuidSource {
public:
#if defined(__x86_64__) || defined(__i386__)
    // Every x86-64 processor has CPUID; the flags-register probe only matters on old 32-bit
    // parts, and the compiler's helper does it there.
    bool available() override {
        return __get_cpuid_max(0, nullptr) != 0;
    }
    CpuidLeaf query(uint32_t leaf) override {
        CpuidLeaf r{};
        __cpuid_count(leaf, 0, r.eax, r.ebx, r.ecx, r.edx);
        return r;
    }
#else
    bool available() override {
        return false;
    }
    CpuidLeaf query(uint32_t) override {
        return {};
    }
#endif
};

NativeCpuid native;
std::atomic<CpuidSource*> installed{nullptr};

} // namespace

CpuidSource& cpuid_source() {
    CpuidSource* s = installed.load();
    return s ? *s : native;
}

void set_cpuid_source(CpuidSource* source) {
    installed.store(source);
}

} // namespace platform
