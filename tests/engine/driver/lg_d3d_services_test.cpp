// The driver's small services: the deferred-call buffer, the pixel converter, the texture
// chain and the "RefRast" device choice.
#include "engine/driver/lg_d3d_texture_chain.h"
#include "engine/driver/lg_deferred_buffer.h"
#include "engine/driver/lg_pixel_converter.h"
#include "tests/engine/driver/driver_test_support.h"

#include <cstring>
#include <map>
#include <string>

using drivertest::CountingMemory;

namespace {

// The buffer runs on the engine instance's memory functions before a driver has opened.
class DeferredBuffer : public ::testing::Test {
protected:
    void SetUp() override {
        CountingMemory::reset();
        ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
        buffer = LgDeferredBufferCreate();
        ASSERT_NE(buffer, nullptr);
    }
    void TearDown() override {
        LgDeferredBufferDestroy(buffer);
        LgEngineTerm();
        EXPECT_EQ(CountingMemory::live, 0);
    }
    static void record(void* data) { calls += std::to_string(*static_cast<int32_t*>(data)); }
    void add(int32_t value, size_t size = sizeof(int32_t)) {
        void* data = LgDeferredBufferAdd(buffer, size, record);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(data) % 8, 0u);
        std::memcpy(data, &value, sizeof(value));
    }
    void reset_times(int n) {
        for (int i = 0; i < n; ++i) LgDeferredBufferReset(buffer);
    }

    static inline std::string calls;
    LgDeferredBuffer* buffer = nullptr;
};

TEST_F(DeferredBuffer, ReplaysInInsertionOrderOrReversed) {
    calls.clear();
    for (int32_t v : {1, 2, 3}) add(v, 100); // growth moves the data block
    LgDeferredBufferReplay(buffer, LgDeferredReplayForward);
    LgDeferredBufferReplay(buffer, LgDeferredReplayReverse);
    EXPECT_EQ(calls, "123321");
    LgDeferredBufferReset(buffer);
    EXPECT_EQ(buffer->count, 0u);
    calls.clear();
    LgDeferredBufferReplay(buffer, LgDeferredReplayForward);
    EXPECT_EQ(calls, "");
}

TEST_F(DeferredBuffer, ShrinksToThePeakEverySixtyFourthReset) {
    struct Case {
        size_t capacity;
        size_t expected;
    };
    for (const Case c : {Case{2000, 1000}, Case{1400, 1400}}) {
        buffer->peak = 0;
        buffer->resetCounter = 0;
        add(0, c.capacity - 8); // one entry (function and data) of exactly `capacity` bytes
        ASSERT_EQ(buffer->capacity, c.capacity);
        LgDeferredBufferReset(buffer);
        buffer->peak = 1000;
        reset_times(62);
        EXPECT_EQ(buffer->capacity, c.capacity);
        LgDeferredBufferReset(buffer); // the 64th
        EXPECT_EQ(buffer->capacity, c.expected);
        EXPECT_EQ(buffer->peak, 0u);
        LgD3DFree(buffer->data);
        buffer->data = nullptr;
        buffer->capacity = 0;
    }
}

TEST(PixelConverter, ShiftsEachChannelTopBitToBitSeven) {
    const platform::DDPIXELFORMAT f565 = platform::format_565();
    LgPixelFormatSetUp(&f565);
    const LgRGBA colour = {0xFF, 0x80, 0x10, 0xFF};
    // Red left by 8, green left by 3, blue right by 3; no alpha mask.
    EXPECT_EQ(LgPixelFromRGBA(&colour), 0xF800u | (0x80u << 3) | (0x10u >> 3));
    LgRGBA back{};
    LgRGBAFromPixel(&back, 0xFFFF);
    EXPECT_EQ(back.red, 0xF8);
    EXPECT_EQ(back.green, 0xFC);
    EXPECT_EQ(back.blue, 0xF8);
    EXPECT_EQ(back.alpha, 0);

    const platform::DDPIXELFORMAT f8888 = platform::format_8888();
    LgPixelFormatSetUp(&f8888);
    const LgRGBA argb = {1, 2, 3, 4};
    EXPECT_EQ(LgPixelFromRGBA(&argb), 0x04010203u);
    LgRGBAFromPixel(&back, 0x04010203u);
    EXPECT_EQ(back.alpha, 4);
    EXPECT_EQ(back.blue, 3);
}

TEST(TextureChain, RemovingARasterDropsEveryOneOfItsElements) {
    drivertest::DriverEngine engine;
    ASSERT_TRUE(engine.opened);
    ASSERT_TRUE(engine.start_windowed());
    LgRaster* a = LgRasterCreate(8, 8, 0, LgRasterTypeTexture);
    LgRaster* b = LgRasterCreate(8, 8, 0, LgRasterTypeTexture);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    LgTexChainAdd(a);
    LgTexChainAdd(b);
    auto count = [](const LgRaster* r) {
        int n = 0;
        for (const LgD3DTexChainElement* e = LgTexChainFirst(); e != nullptr; e = e->next)
            n += e->slice == LgD3DRasterSliceOf(r);
        return n;
    };
    EXPECT_EQ(count(a), 2);
    EXPECT_EQ(count(b), 2);
    LgTexChainRemove(a);
    EXPECT_EQ(count(a), 0);
    EXPECT_EQ(count(b), 2);
    LgRasterDestroy(a);
    LgRasterDestroy(b);
    EXPECT_EQ(LgTexChainFirst(), nullptr);
}

// A registry of HKEY_LOCAL_MACHINE values, by key and value name.
struct FakeRegistry {
    static inline std::map<std::string, std::string> values;
    static inline int reads = 0;
    static int32_t read(const char* key, const char* value, void* data, uint32_t* size) {
        ++reads;
        auto it = values.find(std::string(key) + "|" + value);
        if (it == values.end()) return 0;
        if (data == nullptr) {
            *size = static_cast<uint32_t>(it->second.size());
            return 1;
        }
        const size_t n = std::min<size_t>(*size, it->second.size());
        std::memcpy(data, it->second.data(), n);
        *size = static_cast<uint32_t>(n);
        return 1;
    }
};

TEST(RefRast, ChoosesTheDeviceBySubSystemAndSetting) {
    LgD3DSubSystem hardware{}, software{};
    hardware.hardware = 1;
    const std::string name = "Software\\Ostrel\\Lumagon|RefRast";
    struct Case {
        bool registry;
        std::string stored; // empty: no value
        const platform::GUID* device;
    };
    const Case cases[] = {
        {false, "", &platform::IID_IDirect3DRGBDevice},
        {true, "", &platform::IID_IDirect3DRGBDevice},
        {true, std::string("\1\0\0\0", 4), &platform::IID_IDirect3DRefDevice},
        {true, std::string("\0\0\0\0", 4), &platform::IID_IDirect3DRGBDevice},
        {true, std::string("\1\0", 2), &platform::IID_IDirect3DRGBDevice},
    };
    for (const Case& c : cases) {
        FakeRegistry::values.clear();
        if (!c.stored.empty()) FakeRegistry::values[name] = c.stored;
        LgD3DSetRegistryReader(c.registry ? FakeRegistry::read : nullptr);
        EXPECT_EQ(*LgD3DChooseDeviceGuid(&software), *c.device);
        FakeRegistry::reads = 0;
        EXPECT_EQ(*LgD3DChooseDeviceGuid(&hardware), platform::IID_IDirect3DHALDevice);
        EXPECT_EQ(FakeRegistry::reads, 0) << "a hardware sub-system never reads the registry";
    }
    LgD3DSetRegistryReader(nullptr);
}

} // namespace
