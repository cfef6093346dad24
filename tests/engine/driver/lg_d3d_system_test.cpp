// The driver's requests over the software device: sub-systems of one and two DirectDraw
// drivers, video modes, starts in both kinds of mode and their failures.
#include "tests/engine/driver/driver_test_support.h"

#include <cstring>

using drivertest::CountingMemory;
using drivertest::DriverEngine;
using drivertest::recorded_error;

namespace {

std::string subsystem_name(int32_t index) {
    LgSubSystemInfo info{};
    return LgEngineGetSubSystemInfo(&info, index) != nullptr ? std::string(info.name) : "";
}

platform::DeviceProfile with_emulation() {
    platform::DeviceProfile p = platform::default_profile();
    p.offer_emulation_device = true;
    return p;
}

platform::DeviceProfile with_secondary_driver() {
    platform::DeviceProfile p = platform::default_profile();
    p.offer_secondary_driver = true;
    return p;
}

TEST(D3DSubSystems, OneDriverGivesOneHardwareRecordThatIsCurrent) {
    DriverEngine engine;
    ASSERT_TRUE(engine.opened);
    EXPECT_EQ(LgEngineGetNumSubSystems(), 1);
    EXPECT_EQ(subsystem_name(0), "Corvel Display (display) H/W");
    EXPECT_EQ(LgEngineGetCurrentSubSystem(), 0);
    EXPECT_EQ(LgD3DGetSubSystem(0)->guidPointer, nullptr);
    EXPECT_EQ(LgD3DGetSubSystem(0)->hardware, 1);
    EXPECT_EQ(LgD3DGetSubSystem(0)->zBufferFormat.dwZBufferBitDepth, 16u);
    EXPECT_EQ(LgD3DGetSubSystem(0)->videoMemory, 64u << 20);
}

TEST(D3DSubSystems, SoftwareRecordComesFirstAndTheLastIsSelected) {
    DriverEngine engine(with_emulation());
    ASSERT_TRUE(engine.opened);
    ASSERT_EQ(LgEngineGetNumSubSystems(), 2);
    EXPECT_EQ(subsystem_name(0), "Corvel Display (display) S/W");
    EXPECT_EQ(subsystem_name(1), "Corvel Display (display) H/W");
    EXPECT_EQ(LgEngineGetCurrentSubSystem(), 1);
}

TEST(D3DSubSystems, NoPerspectiveCorrectRGBDeviceMeansNoSubSystemAndNoOpen) {
    platform::DeviceProfile p = with_emulation();
    p.device.dpcTriCaps.dwTextureCaps &= ~platform::D3DPTEXTURECAPS_PERSPECTIVE;
    DriverEngine engine(p);
    EXPECT_FALSE(engine.opened);
    EXPECT_EQ(LgD3DGetSubSystemCount(), 0);
}

TEST(D3DSubSystems, SecondDriverIsSelectedAndHasNoWindowedMode) {
    DriverEngine engine(with_secondary_driver());
    ASSERT_TRUE(engine.opened);
    ASSERT_EQ(LgEngineGetNumSubSystems(), 2);
    EXPECT_EQ(subsystem_name(1), "Corvel 3D Accelerator (accelerator) H/W");
    EXPECT_EQ(LgEngineGetCurrentSubSystem(), 1);
    ASSERT_NE(LgD3DGetSubSystem(1)->guidPointer, nullptr);
    LgVideoMode m{};
    for (int32_t i = 0; i < LgEngineGetNumVideoModes(); ++i) {
        ASSERT_NE(LgEngineGetVideoModeInfo(&m, i), nullptr);
        EXPECT_EQ(m.flags, LgVideoModeFullScreen);
    }
    // The primary's list starts with exactly one windowed mode: the desktop.
    ASSERT_EQ(LgEngineSetSubSystem(0), 1);
    ASSERT_NE(LgEngineGetVideoModeInfo(&m, 0), nullptr);
    EXPECT_EQ(m.flags, 0u);
    EXPECT_EQ(m.width, 1024);
    EXPECT_EQ(m.depth, 16);
    for (int32_t i = 1; i < LgEngineGetNumVideoModes(); ++i) {
        ASSERT_NE(LgEngineGetVideoModeInfo(&m, i), nullptr);
        EXPECT_EQ(m.flags, LgVideoModeFullScreen);
    }
    int32_t current = -1;
    EXPECT_EQ(LgD3DSystem(LgDeviceRequestCurrentVideoMode, &current, nullptr, 0), 1);
    EXPECT_EQ(current, 0);
}

TEST(D3DSubSystems, NamesAreCutTo79Characters) {
    platform::DeviceProfile p = platform::default_profile();
    p.driver_description = std::string(100, 'x');
    DriverEngine engine(p);
    ASSERT_TRUE(engine.opened);
    EXPECT_EQ(subsystem_name(0), std::string(79, 'x'));
}

TEST(D3DSubSystems, BadIndexesAreRefusedWithTheirMessages) {
    DriverEngine engine(with_secondary_driver());
    ASSERT_TRUE(engine.opened);
    LgSubSystemInfo info{};
    EXPECT_EQ(LgD3DSystem(LgDeviceRequestSubSystemInfo, &info, nullptr, 2), 0);
    EXPECT_STREQ(LgD3DGetLastErrorMessage(), "Invalid subsystem number");
    EXPECT_EQ(recorded_error(), (LgError{1, 2}));
    EXPECT_EQ(LgD3DSystem(LgDeviceRequestSetSubSystem, nullptr, nullptr, -1), 0);
    EXPECT_STREQ(LgD3DGetLastErrorMessage(), "Invalid Subsystem number");
    LgVideoMode m{};
    EXPECT_EQ(LgD3DSystem(LgDeviceRequestVideoModeInfo, &m, nullptr, 99), 0);
    EXPECT_EQ(LgD3DSystem(LgDeviceRequestSetVideoMode, nullptr, nullptr, -1), 0);
}

TEST(D3DVideoModes, FullScreenModesThatNeedTooMuchMemoryAreDropped) {
    platform::DeviceProfile p = platform::default_profile();
    p.video_memory = 8u << 20;
    DriverEngine engine(p);
    ASSERT_TRUE(engine.opened);
    // 3 x 1024 x 768 x 4 bytes exceed 8 MiB; the 16-bit mode fits.
    EXPECT_LT(DriverEngine::find_mode(1024, 768, 32, LgVideoModeFullScreen), 0);
    EXPECT_GE(DriverEngine::find_mode(1024, 768, 16, LgVideoModeFullScreen), 0);
    EXPECT_GE(DriverEngine::find_mode(800, 600, 32, LgVideoModeFullScreen), 0);
}

TEST(D3DVideoModes, DepthsTheDeviceCannotRenderAreDropped) {
    platform::DeviceProfile p = platform::default_profile();
    p.device.dwDeviceRenderBitDepth = platform::DDBD_16;
    DriverEngine engine(p);
    ASSERT_TRUE(engine.opened);
    EXPECT_EQ(LgEngineGetNumVideoModes(), 4); // the desktop and three 16-bit modes
}

TEST(D3DRequests, QueriesAnswerFromTheCurrentSubSystem) {
    platform::DeviceProfile p = platform::default_profile();
    p.device.dwMaxTextureWidth = 2048;
    p.device.dwMaxTextureHeight = 256;
    DriverEngine engine(p);
    ASSERT_TRUE(engine.opened);
    EXPECT_EQ(LgEngineGetMaxTextureSize(), 256);
    ASSERT_TRUE(engine.start_windowed());
    EXPECT_GE(LgEngineRequest0CGet(), 32 << 20);
    int32_t value = -1;
    EXPECT_EQ(LgD3DSystem(0x14, nullptr, nullptr, 0), 0);
    EXPECT_EQ(LgD3DSystem(LgDeviceRequestAfterStart, nullptr, nullptr, 0), 0);
    EXPECT_EQ(LgD3DSystem(LgDeviceRequestCurrentVideoMode, &value, nullptr, 0), 1);
    EXPECT_EQ(value, 0);
}

TEST(D3DStart, FullScreenAndWindowedStartsSucceedAndGiveEverythingBack) {
    for (bool fullScreen : {true, false}) {
        SCOPED_TRACE(fullScreen ? "full screen" : "windowed");
        {
            DriverEngine engine;
            ASSERT_TRUE(engine.opened);
            ASSERT_TRUE(fullScreen ? engine.start_full_screen() : engine.start_windowed());
            EXPECT_EQ(LgD3DDriver.fullScreen, fullScreen);
            EXPECT_NE(LgD3DDriver.formats.first, nullptr);
            // Mode changes wait for the stop; exclusive mode works only in full screen.
            EXPECT_EQ(LgEngineSetVideoMode(0), 0);
            EXPECT_EQ(LgEngineSetExclusiveMode(0), 1);
            EXPECT_EQ(LgD3DDriver.displayModeChanged, false);
            EXPECT_EQ(LgEngineSetExclusiveMode(1), 1);
            EXPECT_EQ(LgD3DDriver.displayModeChanged, fullScreen);
            ASSERT_EQ(LgEngineStop(), 1);
            EXPECT_EQ(LgD3DDriver.directDraw, nullptr);
            // A second start after a stop builds everything again.
            ASSERT_EQ(LgEngineStart(), 1);
        }
        EXPECT_EQ(CountingMemory::live, 0);
    }
}

TEST(D3DStart, ExclusiveModeIsRefusedBeforeStart) {
    DriverEngine engine;
    ASSERT_TRUE(engine.opened);
    EXPECT_EQ(LgD3DSystem(LgDeviceRequestExclusiveMode, nullptr, nullptr, 1), 0);
}

TEST(D3DStart, NoSixteenBitTextureFormatFailsEvenWithEightEightEightEight) {
    for (bool fullScreen : {true, false}) {
        platform::DeviceProfile p = platform::minimal_profile();
        p.texture_formats = {platform::format_8888(), platform::format_888()};
        {
            DriverEngine engine(p);
            ASSERT_TRUE(engine.opened);
            EXPECT_FALSE(fullScreen ? engine.start_full_screen() : engine.start_windowed());
            EXPECT_STREQ(LgD3DGetLastErrorMessage(), "Unable to find any suitable texture formats");
            EXPECT_EQ(recorded_error(), (LgError{1, 2}));
            // Nothing is held after a failed start.
            EXPECT_EQ(LgD3DDriver.directDraw, nullptr);
            EXPECT_EQ(LgD3DDriver.primary, nullptr);
        }
        EXPECT_EQ(CountingMemory::live, 0);
    }
}

TEST(D3DStart, MinimalProfileStartsInItsOnlyMode) {
    DriverEngine engine(platform::minimal_profile());
    ASSERT_TRUE(engine.opened);
    EXPECT_EQ(LgEngineGetNumVideoModes(), 2);
    ASSERT_TRUE(engine.start_full_screen());
    EXPECT_EQ(LgD3DDriver.primaryDesc.dwWidth, 640u);
}

} // namespace

namespace {

TEST(D3DStart, SoftwareSubSystemStartsOnTheEmulationDeviceWithSystemMemorySurfaces) {
    platform::DeviceProfile p = platform::default_profile();
    p.offer_emulation_device = true;
    DriverEngine engine(p);
    ASSERT_TRUE(engine.opened);
    ASSERT_EQ(LgEngineSetSubSystem(0), 1);
    ASSERT_EQ(LgD3DGetSubSystem(0)->hardware, 0);
    ASSERT_TRUE(engine.start_full_screen());
    EXPECT_EQ(LgD3DDriver.formats.zTemplate.ddsCaps.dwCaps, 0x22800u);
    EXPECT_EQ(LgD3DDriver.formats.cameraTemplate.ddsCaps.dwCaps, 0x2840u);
    // Software devices never keep textures outside system memory.
    EXPECT_EQ(LgD3DGetSubSystem(0)->deviceDesc.dwDevCaps & 0x1100u, 0u);
    // The sub-system belongs to the started device until the stop.
    EXPECT_EQ(LgD3DSystem(LgDeviceRequestSetSubSystem, nullptr, nullptr, 0), 0);
}

} // namespace
