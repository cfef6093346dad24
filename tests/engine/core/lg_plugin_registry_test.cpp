// Plug-in registries: slice offsets and the constructor, destructor and copy passes.
#include "tests/engine/core/engine_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using enginetest::CountingMemory;

namespace {

class PluginRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        CountingMemory::reset();
        ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
        log.clear();
        failAt = 0;
    }
    void TearDown() override {
        LgEngineTerm();
        EXPECT_EQ(registry.firstEntry, nullptr) << "term resets every registry";
        EXPECT_EQ(registry.sizeOfStruct, registry.origSizeOfStruct);
        EXPECT_EQ(CountingMemory::live, 0);
    }

    static inline std::vector<std::string> log;
    static inline int failAt = 0;

    template <int N>
    static void* construct(void* object, int32_t, int32_t) {
        log.push_back("ctor" + std::to_string(N));
        return N == failAt ? nullptr : object;
    }
    template <int N>
    static void* destruct(void* object, int32_t, int32_t) {
        log.push_back("dtor" + std::to_string(N));
        return object;
    }
    template <int N>
    static void* copy(void* dst, const void* src, int32_t offset, int32_t) {
        log.push_back("copy" + std::to_string(N));
        static_cast<char*>(dst)[offset] = static_cast<const char*>(src)[offset];
        return dst;
    }
    void add_three() {
        LgPluginRegistryAddPlugin(&registry, 4, 1, construct<1>, destruct<1>, copy<1>);
        LgPluginRegistryAddPlugin(&registry, 4, 2, construct<2>, destruct<2>, copy<2>);
        LgPluginRegistryAddPlugin(&registry, 4, 3, construct<3>, destruct<3>, copy<3>);
    }

    LgPluginRegistry registry = LgPluginRegistryMake(20);
};

TEST_F(PluginRegistry, SlicesAreAppendedEightAligned) {
    EXPECT_EQ(registry.sizeOfStruct, 24) << "base size rounded up";
    EXPECT_EQ(LgPluginRegistryAddPlugin(&registry, 5, 0x10, nullptr, nullptr, nullptr), 24);
    EXPECT_EQ(registry.sizeOfStruct, 32);
    EXPECT_EQ(registry.firstEntry->size, 5) << "the entry keeps the size asked";
    EXPECT_EQ(LgPluginRegistryAddPlugin(&registry, sizeof(void*), 0x11, nullptr, nullptr, nullptr),
              32);
    EXPECT_EQ(LgPluginRegistryGetOffset(&registry, 0x11), 32);
    EXPECT_EQ(LgPluginRegistryGetOffset(&registry, 0x12), -1);
}

TEST_F(PluginRegistry, SameIdTwiceKeepsTheFirstOffset) {
    const int32_t first = LgPluginRegistryAddPlugin(&registry, 16, 0x20, nullptr, nullptr, nullptr);
    const int32_t size = registry.sizeOfStruct;
    EXPECT_EQ(LgPluginRegistryAddPlugin(&registry, 64, 0x20, nullptr, nullptr, nullptr), first);
    EXPECT_EQ(registry.sizeOfStruct, size);
}

TEST_F(PluginRegistry, RefusesPastTheLimitAndNegativeSizes) {
    LgPluginRegistry limited = LgPluginRegistryMake(16, 32);
    EXPECT_EQ(LgPluginRegistryAddPlugin(&limited, 16, 1, nullptr, nullptr, nullptr), 16);
    EXPECT_EQ(LgPluginRegistryAddPlugin(&limited, 1, 2, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(limited.sizeOfStruct, 32);
    EXPECT_EQ(LgPluginRegistryAddPlugin(&registry, -4, 3, nullptr, nullptr, nullptr), -1);
    LgEngineTerm();
    EXPECT_EQ(limited.sizeOfStruct, 16);
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
}

TEST_F(PluginRegistry, RefusesBeforeInit) {
    LgEngineTerm();
    EXPECT_EQ(LgPluginRegistryAddPlugin(&registry, 4, 1, nullptr, nullptr, nullptr), -1);
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
}

TEST_F(PluginRegistry, ConstructorsRunInOrderDestructorsInReverse) {
    add_three();
    std::vector<char> object(static_cast<size_t>(registry.sizeOfStruct));
    EXPECT_EQ(LgPluginRegistryInitObject(&registry, object.data()), &registry);
    EXPECT_EQ(LgPluginRegistryDeinitObject(&registry, object.data()), &registry);
    const std::vector<std::string> expected = {"ctor1", "ctor2", "ctor3",
                                               "dtor3", "dtor2", "dtor1"};
    EXPECT_EQ(log, expected);
}

TEST_F(PluginRegistry, AFailingConstructorUnwindsOnlyTheEarlierOnes) {
    add_three();
    failAt = 3;
    std::vector<char> object(static_cast<size_t>(registry.sizeOfStruct));
    EXPECT_EQ(LgPluginRegistryInitObject(&registry, object.data()), nullptr);
    const std::vector<std::string> expected = {"ctor1", "ctor2", "ctor3", "dtor2", "dtor1"};
    EXPECT_EQ(log, expected);
}

TEST_F(PluginRegistry, CopyRunsEveryCopyFunctionFromSourceToDestination) {
    add_three();
    std::vector<char> src(static_cast<size_t>(registry.sizeOfStruct), 'x');
    std::vector<char> dst(src.size(), 0);
    LgPluginRegistryCopyObject(&registry, dst.data(), src.data());
    const std::vector<std::string> expected = {"copy1", "copy2", "copy3"};
    EXPECT_EQ(log, expected);
    for (int32_t id = 1; id <= 3; ++id)
        EXPECT_EQ(dst[static_cast<size_t>(LgPluginRegistryGetOffset(&registry, id))], 'x');
}

TEST_F(PluginRegistry, MissingFunctionsDefaultToKeepingTheObject) {
    LgPluginRegistryAddPlugin(&registry, 4, 9, nullptr, nullptr, nullptr);
    char object[32];
    EXPECT_EQ(LgPluginRegistryInitObject(&registry, object), &registry);
    const LgPluginEntry* e = registry.firstEntry;
    EXPECT_EQ(e->constructor(object, 0, 0), object);
    EXPECT_EQ(e->copy(object, nullptr, 0, 0), object);
}

TEST_F(PluginRegistry, RegistriesResetInFreeListBypassModeToo) {
    LgEngineTerm();
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), LgEngineInitNoFreeLists), 1);
    add_three();
    EXPECT_EQ(registry.sizeOfStruct, 48);
}

} // namespace
