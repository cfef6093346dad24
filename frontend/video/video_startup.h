// Video start-up and shutdown: the 3D engine initialised over the framework's allocator, its
// plug-ins attached, opened on the application window, its usable sub-systems and video modes
// listed, started in a chosen mode, and stopped, closed and terminated at exit. It also
// answers the screen size that the game's 640 x 480 designs are laid out by.
#pragma once

#include "engine/core/lg_types.h"
#include "framework/core/result_codes.h"

// The game's plug-in slices: the owning game object on clumps, the owning record on atomics.
inline constexpr uint32_t TV_CLUMP_OWNER_PLUGIN = 0x601;
inline constexpr uint32_t TV_ATOMIC_OWNER_PLUGIN = 0x602;
// The engine's resources arena once started.
inline constexpr int32_t TV_RESOURCES_ARENA_SIZE = 7864320;

// 0 or OM_E_FAIL (the failing step is in the error log).
OmResult TvInitVideo();
// Lists the modes of the renderer's sub-system (a negative renderer keeps the engine's own):
// 16-bit modes of at least 640 x 480, full-screen ones unless windowed. 0.
OmResult TvSelectVideoModes(int32_t renderer, int32_t windowed);
// 0; OM_E_BADPROPERTY for a mode outside the list; OM_E_FAIL when the engine does not start.
OmResult TvStartVideo(int32_t mode);
OmResult TvStopVideo();
OmResult TvFreeVideoModes();
OmResult TvCloseVideo();

// The screen size in pixels. The game asks through its own TvGetScreenWidth/Height entry
// points, which the front end's services table routes here.
namespace tvfe {
int32_t TvGetScreenWidth();
int32_t TvGetScreenHeight();
} // namespace tvfe
int32_t TvGetCurrentSubSystem();
// -1 before the first start.
int32_t TvGetCurrentMode();
int32_t TvGetModeCount();
// Null outside 0..count-1.
const LgVideoMode* TvGetMode(int32_t index);
int32_t TvGetSubSystemCount();
const LgSubSystemInfo* TvGetSubSystem(int32_t index);
// The window's windowed flag (1 windowed, 0 full screen; 1 without a window).
int32_t TvIsVideoWindowed();
// The window handle word the engine was opened with (the engine's show calls take it).
void* TvGetVideoWindowHandle();
