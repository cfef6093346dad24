// The classes a mission creates by class id besides the planes (tavrin_ai_plane.h): ground
// objects, vehicles and the weapons. The mission reaches a ground kind only through the
// loading operation that follows the fifteen game-object operations in its table.
#pragma once

#include "game/world/tavrin_ai_ground_object.h"
#include "game/world/tv_object.h"

// The ground objects' class and interface ids come from their own headers.
// No class id is given for the weapons; this one is the project's own.
inline constexpr GUID CLSID_TavrinWeapon = om_guid("C41E8A77-2B6D-4F09-8E35-7A90D1F3B2C8");

// The first operation a ground kind adds to the game object's: LoadObject(name) reads the
// kind from ground.ini. 0 or OM_E_FAIL.
struct TvGroundKindLoading : ITvObject {
    virtual OmResult LoadObject(const char* name) = 0;
};
