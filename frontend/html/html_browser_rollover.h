// The rollover image swap of the drawing browsers: a link naming two entries of the page's
// "images" shows the second one's picture in place of the first while it is selected.
#pragma once

#include "framework/containers/com_hash.h"

#include <cstdint>

// Before the link's objects get `state`: for states 0 and 3 the "rolloverreplacefrom" image
// takes the "rolloverreplaceto" image's raster (when it has one); for states 1 and 2 it
// takes back its own raster from the browser's image table (when there is one).
void swapHtmlRolloverImage(IObjHash* root, IObjHash* image_table, int32_t link, int32_t state);
