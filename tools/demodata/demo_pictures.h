// The set's flat pictures: particle textures and the lens flare parts, the cockpit pictures,
// the mission editor's goal icons, the mouse pointer and the menu images.
#pragma once

#include "tools/demodata/output_tree.h"

namespace demodata {

bool write_particle_pictures(OutputTree& out); // objects/particles/
bool write_cockpit_pictures(OutputTree& out);  // Ui/
bool write_editor_icons(OutputTree& out);      // Ui/editor/planes/
bool write_pointer_picture(OutputTree& out);   // Ui/pointer.bmp (mouse.ini's three frames)
bool write_menu_pictures(OutputTree& out);     // Language/english/menus/...

} // namespace demodata
