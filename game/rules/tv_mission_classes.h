// The classes a mission creates by class id besides the planes (tavrin_ai_plane.h): ground
// objects, vehicles and the weapons. The mission reaches a ground kind only through the
// loading operation that follows the fifteen game-object operations in its table.
#pragma once

#include "game/world/tv_object.h"

inline constexpr GUID CLSID_TavrinGroundObject = om_guid("02AC64D8-F0FB-4CAC-949D-97E71471DA32");
inline constexpr GUID IID_ITvGroundObject = om_guid("4D2E9E75-AC35-497F-81DA-0F3343462AF9");
inline constexpr GUID CLSID_TavrinAIGroundObject = om_guid("AAA53FD8-4A2B-4306-9959-3761FEAD206D");
// No class id is given for the weapons; this one is the project's own.
inline constexpr GUID CLSID_TavrinWeapon = om_guid("C41E8A77-2B6D-4F09-8E35-7A90D1F3B2C8");

// The first operation a ground kind adds to the game object's: LoadObject(name) reads the
// kind from ground.ini. 0 or OM_E_FAIL.
struct TvGroundKindLoading : ITvObject {
    virtual OmResult LoadObject(const char* name) = 0;
};
