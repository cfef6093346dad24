// The classes a mission creates by class id besides the planes (tavrin_ai_plane.h): ground
// objects, vehicles and the weapons. The mission loads a ground kind through the ground
// object's interface.
#pragma once

#include "game/world/tavrin_ai_ground_object.h"
#include "game/world/tv_object.h"

// The ground objects' class and interface ids come from their own headers.
// No class id is given for the weapons; this one is the project's own.
inline constexpr GUID CLSID_TavrinWeapon = om_guid("C41E8A77-2B6D-4F09-8E35-7A90D1F3B2C8");

// A ground kind is loaded through the ground object's own interface.
using TvGroundKindLoading = ITvGroundObject;
