// The demo map's sky box: five faces painted from one sky around the viewer, so the clouds
// run on across every shared edge and the horizon is the map's fog colour.
#pragma once

#include "tools/demodata/picture_files.h"

namespace demodata {

// The faces in the landscape's order: front, left, back, right, up.
inline constexpr const char* skyFaceNames[] = {"skyfront", "skyleft", "skyback", "skyright",
                                               "skyup"};
inline constexpr int skyFaceCount = 5;
inline constexpr int skyFaceSize = 128;

// The picture of face `face` (0..4 in the order above).
Picture sky_face(int face);

} // namespace demodata
