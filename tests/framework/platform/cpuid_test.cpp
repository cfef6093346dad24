// Win32CPUID over canned CPUID leaves: vendor dispatch, name tables, caches and the getters.
#include "framework/core/com_ref.h"
#include "framework/platform/cpuid.h"
#include "platform/os/cpuid_source.h"
#include "tests/support/framework_fixture.h"

#include <cstring>
#include <map>
#include <string>

namespace {

class CannedCpuid final : public platform::CpuidSource {
public:
    bool has_cpuid = true;
    std::map<uint32_t, platform::CpuidLeaf> leaves;

    bool available() override { return has_cpuid; }
    platform::CpuidLeaf query(uint32_t leaf) override {
        auto it = leaves.find(leaf);
        return it == leaves.end() ? platform::CpuidLeaf{} : it->second;
    }

    // A processor of a vendor, max leaf, and leaf-1 family/model/type.
    void set(const char* vendor, uint32_t max_leaf, uint32_t family, uint32_t model,
             uint32_t type = 0, uint32_t features = 0) {
        platform::CpuidLeaf l0{max_leaf, 0, 0, 0};
        std::memcpy(&l0.ebx, vendor, 4);
        std::memcpy(&l0.edx, vendor + 4, 4);
        std::memcpy(&l0.ecx, vendor + 8, 4);
        leaves[0] = l0;
        leaves[1] = {(type << 12) | (family << 8) | (model << 4) | 3, 0, 0, features};
    }
};

class CpuidTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override { platform::set_cpuid_source(&cpu_); }
    void TearDown() override {
        platform::set_cpuid_source(nullptr);
        FrameworkTest::TearDown();
    }
    ComRef<ICPUID> create() {
        ComRef<IClassFactory> factory;
        EXPECT_EQ(
            Win32CPUID_GetClassObject(CLSID_Win32CPUID, IID_IClassFactory, factory.put_void()), 0);
        ComRef<ICPUID> cpuid;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_ICPUID, cpuid.put_void()), 0);
        return cpuid;
    }
    std::string name_of(ICPUID* cpuid) {
        char buffer[80];
        EXPECT_EQ(cpuid->GetName(buffer, sizeof buffer), 0);
        return buffer;
    }
    CannedCpuid cpu_;
};

TEST_F(CpuidTest, NamesFromTheVendorTables) {
    struct Row {
        const char* vendor;
        uint32_t family, model, type;
        const char* name;
        uint32_t class_code;
    };
    const Row rows[] = {
        {"GenuineIntel", 4, 1, 0, "Intel486 DX", 5},
        {"GenuineIntel", 4, 8, 1, "Intel DX4 Overdrive", 5},
        {"GenuineIntel", 4, 9, 0, "Unknown Intel 486", 0},
        {"GenuineIntel", 5, 1, 1, "Pentium OverDrive (60/66)", 6},
        {"GenuineIntel", 5, 4, 2, "Pentium OverDrive with MMX technology", 6},
        {"GenuineIntel", 5, 7, 0, "Unknown Pentium", 0},
        {"GenuineIntel", 6, 1, 0, "Pentium Pro", 7},
        {"GenuineIntel", 6, 3, 1, "Pentium Pro OverDrive", 7},
        {"GenuineIntel", 6, 5, 0, "Pentium II (Model 5)", 8},
        {"GenuineIntel", 6, 9, 0, "Unkown Intel CPU", 0},
        {"GenuineIntel", 15, 2, 0, "Unkown Intel CPU", 0},
        {"AuthenticAMD", 4, 14, 0, "Am5x86 150Mhz (Write-Through)", 1},
        {"AuthenticAMD", 4, 15, 0, "Am5x86 150Mhz (Write-Back)", 1},
        {"AuthenticAMD", 4, 1, 0, "Unknown AMD 486-class processor", 2},
        {"AuthenticAMD", 5, 3, 0, "AMD-K5 (Model 3)", 4},
        {"AuthenticAMD", 5, 9, 0, "AMD-K6-3 (Model 9)", 4},
        {"AuthenticAMD", 5, 5, 0, "Unknown AMD P5 class processor", 3},
        {"AuthenticAMD", 15, 1, 0, "Unknown AMD processor", 0},
        {"CyrixInstead", 4, 4, 0, "Cyrix MediaGX", 0},
        {"CyrixInstead", 5, 4, 0, "Cyrix GXm", 0},
        {"CyrixInstead", 6, 0, 0, "Cyrix 6x86MX", 0},
        {"CyrixInstead", 6, 2, 0, "Unknown Cyrix P6 class processor", 0},
        {"CyrixInstead", 7, 0, 0, "Unknown AMD processor", 0},
        {"SomeOtherCPU", 6, 1, 0, "", 0},
    };
    auto cpuid = create();
    for (const Row& r : rows) {
        cpu_.set(r.vendor, 1, r.family, r.model, r.type);
        ASSERT_EQ(cpuid->Identify(nullptr, 0), 0);
        EXPECT_EQ(name_of(cpuid.get()), r.name) << r.vendor << " " << r.family << "/" << r.model;
        EXPECT_EQ(cpuid->GetClass(), r.class_code) << r.name;
        EXPECT_EQ(cpuid->GetFamily(), r.family);
    }
}

TEST_F(CpuidTest, IntelCacheDescriptorsAndTheCeleron) {
    cpu_.set("GenuineIntel", 2, 6, 5, 0, (1u << 0) | (1u << 23));
    // Call count 1 in AL; descriptors 0x08 and 0x0C; EBX holds 0x40 (no level 2); ECX has bit
    // 31 set so its 0x45 must be ignored.
    cpu_.leaves[2] = {0x000C0801u, 0x00000040u, 0x80000045u, 0};
    auto cpuid = create();
    OmCPUIDRecord record{};
    ASSERT_EQ(cpuid->Identify(&record, sizeof record), 0);
    EXPECT_STREQ(record.name, "Celeron");
    EXPECT_EQ(record.class_code, 9u);
    EXPECT_EQ(record.l1_instruction_kb, 16);
    EXPECT_EQ(record.l1_data_kb, 16);
    EXPECT_EQ(record.l2_kb, 0);
    EXPECT_EQ(record.features, OM_CPU_FPU | OM_CPU_MMX);
    EXPECT_STREQ(record.vendor, "GenuineIntel");

    cpu_.leaves[2] = {0x00004201u, 0, 0, 0};
    ASSERT_EQ(cpuid->Identify(&record, sizeof record), 0);
    EXPECT_STREQ(record.name, "Pentium II (Model 5)");
    EXPECT_EQ(record.l2_kb, 256);
}

TEST_F(CpuidTest, AmdLevelOneCachesFromTheExtendedLeaf) {
    cpu_.set("AuthenticAMD", 1, 5, 8, 0, 1u << 25);
    cpu_.leaves[0x80000000u] = {0x80000005u, 0, 0, 0};
    cpu_.leaves[0x80000005u] = {0, 0, 32u << 24, 64u << 24};
    auto cpuid = create();
    OmCPUIDRecord record{};
    cpuid->Identify(&record, sizeof record);
    EXPECT_EQ(record.l1_data_kb, 32);
    EXPECT_EQ(record.l1_instruction_kb, 64);
    EXPECT_EQ(record.l2_kb, -1);
    EXPECT_EQ(cpuid->GetFeatures(), OM_CPU_SSE);

    cpu_.leaves[0x80000000u] = {0x80000004u, 0, 0, 0};
    cpuid->Identify(&record, sizeof record);
    EXPECT_EQ(record.l1_data_kb, 0) << "the leaf is only read when reported";
}

TEST_F(CpuidTest, NoCpuidLeavesEverythingEmpty) {
    cpu_.has_cpuid = false;
    auto cpuid = create();
    OmCPUIDRecord record;
    std::memset(&record, 0x55, sizeof record);
    cpuid->Identify(&record, sizeof record);
    EXPECT_EQ(record.cpuid_available, 0u);
    EXPECT_STREQ(record.vendor, "");
    EXPECT_EQ(name_of(cpuid.get()), "");
    EXPECT_EQ(cpuid->GetFamily(), 0u);
}

TEST_F(CpuidTest, GettersCutToTheBuffer) {
    cpu_.set("GenuineIntel", 1, 4, 2);
    auto cpuid = create();
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(cpuid->GetVendor(buffer, 5), 1);
    EXPECT_STREQ(buffer, "Genu");
    EXPECT_EQ(cpuid->GetVendor(buffer, 13), 0);
    EXPECT_STREQ(buffer, "GenuineIntel");
    EXPECT_EQ(cpuid->GetVendor(nullptr, 13), OM_E_BADPROPERTY);
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(cpuid->GetVendor(buffer, 0), 1);
    EXPECT_EQ(buffer[0], 'x') << "nothing written into an empty buffer";
    EXPECT_EQ(cpuid->GetName(buffer, 11), 1); // "Intel486 SX" is 11 characters
    EXPECT_STREQ(buffer, "Intel486 S");
    EXPECT_EQ(cpuid->GetName(buffer, 12), 0);
    EXPECT_STREQ(buffer, "Intel486 SX");

    OmCPUIDRecord record{};
    cpuid->Identify(&record, 124);
    EXPECT_STREQ(record.vendor, "") << "a record of 124 bytes or less is left alone";
}

TEST_F(CpuidTest, OneProcessorObjectIdentifiedAtCreation) {
    cpu_.set("GenuineIntel", 1, 6, 1);
    auto a = create();
    cpu_.set("AuthenticAMD", 1, 5, 6);
    auto b = create();
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(name_of(b.get()), "Pentium Pro") << "identified once, not per creation";
}

TEST(NativeCpuid, TheRunningProcessorHasAVendor) {
#if defined(__x86_64__)
    platform::CpuidSource& cpu = platform::cpuid_source();
    ASSERT_TRUE(cpu.available());
    EXPECT_GE(cpu.query(0).eax, 1u);
    EXPECT_TRUE(cpu.query(1).edx & 1u) << "every x86-64 processor has an FPU";
#else
    EXPECT_FALSE(platform::cpuid_source().available());
#endif
}

} // namespace
