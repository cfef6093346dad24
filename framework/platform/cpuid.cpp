// Win32CPUID: reads the CPUID leaves through the platform's source and names the processor
// from per-vendor tables of the families the program knew.
#include "framework/platform/cpuid.h"

#include "framework/core/static_state.h"
#include "platform/os/cpuid_source.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t cpuid_extended_max = 0x80000000u;
constexpr uint32_t cpuid_amd_l1_cache = 0x80000005u;

// Name and class code of one processor.
struct Naming {
    const char* name;
    uint32_t class_code;
};

Naming intel_name(uint32_t family, uint32_t model, uint32_t type, int32_t l2_kb) {
    switch (family) {
    case 4:
        switch (model) {
        case 0:
        case 1: return {"Intel486 DX", 5};
        case 2: return {"Intel486 SX", 5};
        case 3: return {"Intel 487/ 486 DX2/ DX2 Overdrive", 5};
        case 4: return {"Intel486 SL", 5};
        case 5: return {"Intel486 SX2", 5};
        case 7: return {"Write-Back Enhanced Intel486 DX2", 5};
        case 8: return {type == 1 ? "Intel DX4 Overdrive" : "Intel DX4", 5};
        default: return {"Unknown Intel 486", 0};
        }
    case 5:
        switch (model) {
        case 1: return {type == 1 ? "Pentium OverDrive (60/66)" : "Pentium (60/66)", 6};
        case 2: return {type == 1 ? "Pentium OverDrive" : "Pentium", 6};
        case 3: return {"Pentium OverDrive for Intel486-based systems", 6};
        case 4:
            return {type != 0 ? "Pentium OverDrive with MMX technology"
                              : "Pentium with MMX technology",
                    6};
        default: return {"Unknown Pentium", 0};
        }
    case 6:
        switch (model) {
        case 1: return {"Pentium Pro", 7};
        case 3: return {type != 0 ? "Pentium Pro OverDrive" : "Pentium II (Model 3)", 7};
        case 5: return l2_kb == 0 ? Naming{"Celeron", 9} : Naming{"Pentium II (Model 5)", 8};
        default: break;
        }
        break;
    default: break;
    }
    return {"Unkown Intel CPU", 0};
}

Naming amd_name(uint32_t family, uint32_t model) {
    static const char* const k5_k6[] = {"AMD-K5 (Model 0)",
                                        "AMD-K5 (Model 1)",
                                        "AMD-K5 (Model 2)",
                                        "AMD-K5 (Model 3)",
                                        nullptr,
                                        nullptr,
                                        "AMD-K6 (Model 6)",
                                        "AMD-K6 (Model 7)",
                                        "AMD-K6-2 (Model 8)",
                                        "AMD-K6-3 (Model 9)"};
    switch (family) {
    case 4:
        switch (model) {
        case 3: return {"Am486DX2 (Write-Through)", 1};
        case 7: return {"Am486DX2 (Write-Back)", 1};
        case 8:
        case 14: return {"Am5x86 150Mhz (Write-Through)", 1};
        case 9:
        case 15: return {"Am5x86 150Mhz (Write-Back)", 1};
        default: return {"Unknown AMD 486-class processor", 2};
        }
    case 5:
        if (model < std::size(k5_k6) && k5_k6[model]) return {k5_k6[model], 4};
        return {"Unknown AMD P5 class processor", 3};
    default: return {"Unknown AMD processor", 0};
    }
}

Naming cyrix_name(uint32_t family, uint32_t model) {
    switch (family) {
    case 4: return {model == 4 ? "Cyrix MediaGX" : "Unknown Cyrix 486-class processor", 0};
    case 5:
        if (model == 2) return {"Cyrix 6x86", 0};
        if (model == 4) return {"Cyrix GXm", 0};
        return {"Unknown Cyrix P5 class processor", 0};
    case 6: return {model == 0 ? "Cyrix 6x86MX" : "Unknown Cyrix P6 class processor", 0};
    default: return {"Unknown AMD processor", 0};
    }
}

// Copies at most size - 1 characters and a NUL; 0 when everything fit, else 1.
OmResult copy_cut(const char* text, size_t needed_size, char* buffer, uint32_t size) {
    if (!buffer) return OM_E_BADPROPERTY;
    if (size >= needed_size) {
        std::strcpy(buffer, text);
        return OM_S_OK;
    }
    if (size == 0) return 1;
    size_t n = std::min<size_t>(size - 1, std::strlen(text));
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    return 1;
}

class Win32CPUID final : public OmObject<Win32CPUID, ICPUID> {
public:
    static Win32CPUID* instance;

    ~Win32CPUID() { instance = nullptr; }
    OmResult init() { return Identify(nullptr, 0); }
    static OmResult Create(IUnknown* outer, IUnknown** out) {
        return OmCreateSingleton(instance, outer, out);
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ICPUID, this}});
    }
    OmResult Identify(OmCPUIDRecord* record, uint32_t size) override {
        identify();
        if (record && size > 124) *record = record_;
        return OM_S_OK;
    }
    uint32_t GetFamily() override { return record_.family; }
    uint32_t GetSignature() override { return signature_; }
    uint32_t GetClass() override { return record_.class_code; }
    uint32_t GetFlags() override { return flags_; }
    uint32_t GetFeatures() override { return record_.features; }
    OmResult GetVendor(char* buffer, uint32_t size) override {
        return copy_cut(record_.vendor, sizeof record_.vendor, buffer, size);
    }
    OmResult GetName(char* buffer, uint32_t size) override {
        return copy_cut(record_.name, std::strlen(record_.name) + 1, buffer, size);
    }

private:
    void identify() {
        record_ = OmCPUIDRecord{};
        record_.cpuid_available = 1;
        record_.l2_kb = -1;
        signature_ = flags_ = 0;
        platform::CpuidSource& cpu = platform::cpuid_source();
        if (!cpu.available()) {
            record_.cpuid_available = 0;
            return;
        }
        platform::CpuidLeaf leaf0 = cpu.query(0);
        record_.max_leaf = leaf0.eax;
        std::memcpy(record_.vendor, &leaf0.ebx, 4);
        std::memcpy(record_.vendor + 4, &leaf0.edx, 4);
        std::memcpy(record_.vendor + 8, &leaf0.ecx, 4);
        if (leaf0.eax >= 1) {
            platform::CpuidLeaf leaf1 = cpu.query(1);
            signature_ = leaf1.eax;
            flags_ = leaf1.edx;
            record_.family = (leaf1.eax >> 8) & 0xF;
            record_.model = (leaf1.eax >> 4) & 0xF;
            record_.type = (leaf1.eax >> 12) & 0x3;
            if (leaf1.edx & (1u << 0)) record_.features |= OM_CPU_FPU;
            if (leaf1.edx & (1u << 23)) record_.features |= OM_CPU_MMX;
            if (leaf1.edx & (1u << 25)) record_.features |= OM_CPU_SSE;
        }
        Naming naming{"", 0};
        if (std::strcmp(record_.vendor, "GenuineIntel") == 0) {
            if (leaf0.eax >= 2) read_intel_caches(cpu.query(2));
            naming = intel_name(record_.family, record_.model, record_.type, record_.l2_kb);
        } else if (std::strcmp(record_.vendor, "AuthenticAMD") == 0) {
            read_amd_caches(cpu);
            naming = amd_name(record_.family, record_.model);
        } else if (std::strcmp(record_.vendor, "CyrixInstead") == 0) {
            read_amd_caches(cpu);
            naming = cyrix_name(record_.family, record_.model);
        }
        std::strncpy(record_.name, naming.name, sizeof record_.name - 1);
        record_.class_code = naming.class_code;
    }

    // Leaf 2 holds one-byte cache descriptors; the low byte of EAX is a call count, and a
    // register with bit 31 set holds no descriptors.
    void read_intel_caches(const platform::CpuidLeaf& leaf) {
        const uint32_t regs[] = {leaf.eax & 0xFFFFFF00u, leaf.ebx, leaf.ecx, leaf.edx};
        for (uint32_t reg : regs) {
            if (reg & 0x80000000u) continue;
            for (int i = 0; i < 4; ++i) {
                switch ((reg >> (8 * i)) & 0xFF) {
                case 0x06: record_.l1_instruction_kb = 8; break;
                case 0x08: record_.l1_instruction_kb = 16; break;
                case 0x0A: record_.l1_data_kb = 8; break;
                case 0x0C: record_.l1_data_kb = 16; break;
                case 0x40: record_.l2_kb = 0; break;
                case 0x41: record_.l2_kb = 128; break;
                case 0x42: record_.l2_kb = 256; break;
                case 0x43: record_.l2_kb = 512; break;
                case 0x44: record_.l2_kb = 1024; break;
                case 0x45: record_.l2_kb = 2048; break;
                default: break;
                }
            }
        }
    }

    void read_amd_caches(platform::CpuidSource& cpu) {
        if (cpu.query(cpuid_extended_max).eax < cpuid_amd_l1_cache) return;
        platform::CpuidLeaf l1 = cpu.query(cpuid_amd_l1_cache);
        record_.l1_data_kb = int32_t(l1.ecx >> 24);
        record_.l1_instruction_kb = int32_t(l1.edx >> 24);
    }

    OmCPUIDRecord record_;
    uint32_t signature_;
    uint32_t flags_;
};

Win32CPUID* Win32CPUID::instance = nullptr;
const OmStaticStateReset reset_cpuid([] { Win32CPUID::instance = nullptr; });

const OmClassRecord classes[] = {
    {&CLSID_Win32CPUID, nullptr, nullptr, Win32CPUID::Create, "Win32CPUID"}};

} // namespace

OM_DEFINE_MODULE(Win32CPUID, classes)
