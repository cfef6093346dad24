// The classes a mission creates by class id besides the planes (tavrin_ai_plane.h): ground
// objects, vehicles and the weapons. The mission loads a ground kind through the ground
// object's interface.
#pragma once

#include "game/world/tavrin_ai_ground_object.h"
#include "game/world/tv_object.h"
#include "game/world/tv_weapon.h"

// The ground objects' and the weapons' class and interface ids come from their own headers:
// the game creates its weapons by the id the weapon component registers.

// A ground kind is loaded through the ground object's own interface.
using TvGroundKindLoading = ITvGroundObject;
