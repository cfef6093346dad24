// Win32CPUID: the processor's vendor, family, features, caches and name, identified once.
#pragma once

#include "framework/core/class_factory.h"

inline constexpr GUID CLSID_Win32CPUID = om_guid("DFAD86D0-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_ICPUID = om_guid("0B5272A0-110F-11D2-9E95-444553540000");

// Feature flags.
inline constexpr uint32_t OM_CPU_FPU = 1u << 0;
inline constexpr uint32_t OM_CPU_MMX = 1u << 1;
inline constexpr uint32_t OM_CPU_SSE = 1u << 2;

// What Identify copies out (when the caller's size exceeds 124 bytes).
struct OmCPUIDRecord {
    char vendor[13];
    char name[72];
    uint32_t family;
    uint32_t model;
    uint32_t type;
    uint32_t class_code;
    uint32_t features;
    int32_t l1_instruction_kb;
    int32_t l1_data_kb;
    int32_t l2_kb; // -1 = unknown
    uint32_t cpuid_available;
    uint32_t max_leaf;
};
static_assert(sizeof(OmCPUIDRecord) > 124);

struct ICPUID : IUnknown {
    // Identifies the processor again; copies the result into `record` when it is given and
    // `size` exceeds 124. 0.
    virtual OmResult Identify(OmCPUIDRecord* record, uint32_t size) = 0;
    virtual uint32_t GetFamily() = 0;
    // The whole signature word of leaf 1 (stepping, model, family, type and extensions).
    virtual uint32_t GetSignature() = 0;
    virtual uint32_t GetClass() = 0;
    // The feature word of leaf 1 as the processor reports it.
    virtual uint32_t GetFlags() = 0;
    // OM_CPU_FPU, OM_CPU_MMX, OM_CPU_SSE.
    virtual uint32_t GetFeatures() = 0;
    // Size at least 13: the whole vendor, 0. Smaller: the first size - 1 characters and a NUL,
    // result 1. Null buffer: OM_E_BADPROPERTY.
    virtual OmResult GetVendor(char* buffer, uint32_t size) = 0;
    // The same against the name's length: size must exceed it for 0.
    virtual OmResult GetName(char* buffer, uint32_t size) = 0;
};

OM_DECLARE_MODULE(Win32CPUID);
