// Cursor and move modes shared by the containers and the property sheet.
#pragma once

#include <cstdint>

enum OmMoveMode : int32_t {
    OM_MOVE_NEXT = 0,
    OM_MOVE_PREVIOUS = 1,
    OM_MOVE_FIRST = 2,
    OM_MOVE_LAST = 3
};
