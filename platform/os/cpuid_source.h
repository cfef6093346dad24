// Where processor identification reads the CPUID instruction: the processor itself, or a
// source that tests install with canned leaves.
#pragma once

#include <cstdint>

namespace platform {

struct CpuidLeaf {
    uint32_t eax, ebx, ecx, edx;
};

class CpuidSource {
public:
    // False when the processor has no CPUID instruction.
    virtual bool available() = 0;
    virtual CpuidLeaf query(uint32_t leaf) = 0;

protected:
    ~CpuidSource() = default;
};

// The installed source: the processor's own unless a test installed another.
CpuidSource& cpuid_source();
// Installs a source (null restores the processor's own). The caller keeps it alive.
void set_cpuid_source(CpuidSource* source);

} // namespace platform
