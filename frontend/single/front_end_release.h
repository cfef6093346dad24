// The release of the input devices and of the input component, the two window operations
// around a change of video mode or renderer, and the texture reduction table the map and
// texture-list readers fill.
#pragma once

#include <cstdint>

inline constexpr int32_t TV_TEXTURE_SIZE_CLASSES = 4;
inline constexpr int32_t TV_SHOW_MINIMIZED = 2;
inline constexpr int32_t TV_SHOW_RESTORED = 9;

// The keyboard and mouse devices released (their ids cleared) and the Timer released.
void TvReleaseInputDevices();
// TvReleaseInputDevices, then the input component.
void TvShutDownInput();

// The engine leaves its exclusive mode and the window is minimised.
void TvMinimizeWindow();
// The window is restored and the engine enters its exclusive mode again.
void TvRestoreWindow();

// Stores the shift (0..3) of size class 0..3 (textures up to 64, 128, 256, 512 pixels);
// values outside those ranges are ignored.
void TvStoreTextureReduction(int32_t size_class, int32_t shift);
int32_t TvGetTextureReduction(int32_t size_class);
void TvClearTextureReduction();
