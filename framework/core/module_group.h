// A group of built-in modules as the program registers them: its name and the function that
// registers its modules' class tables. The groups themselves, which name classes of every
// library, belong to the program (program/module_groups.h).
#pragma once

#include "framework/core/class_record.h"

struct OmModuleGroup {
    const char* name;
    OmRegisterFunction register_modules;
};
