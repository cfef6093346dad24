// The sound group: every sound module's register function, in the group's order. The group
// names classes of this library only, so its list lives here, for the program's start-up and
// for anything else that needs the sound classes.
#pragma once

#include "framework/core/module_group.h"

// Calls each sound module's register function in order, ignoring their results; 0.
OmResult OmRegisterSoundModules(IObjectManager* manager);
