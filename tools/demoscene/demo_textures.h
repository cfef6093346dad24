// The demo scene's textures, drawn procedurally and written as BMP files for the engine's
// texture reader: wing and fuselage fabric, terrain, and a smoke puff with its mask.
#pragma once

#include <string>

namespace demoscene {

// Texture names as the models and the particles refer to them.
inline constexpr const char* wingTexture = "wingfabric";
inline constexpr const char* fuselageTexture = "fuselage";
inline constexpr const char* grassTexture = "grass";
inline constexpr const char* fieldsTexture = "fields";
inline constexpr const char* smokeTexture = "smoke";
inline constexpr const char* smokeMask = "smokemask";

// Writes every texture as "<name>.bmp" into the directory; false when a file cannot be
// written.
bool write_demo_textures(const std::string& directory);

} // namespace demoscene
