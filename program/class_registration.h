// Registration of every built-in class with the object manager, in the program's fixed order:
// the game's modules and the platform modules it names, the framework's groups with the
// sound-device redirection among them, then the network client and the curves.
#pragma once

#include "framework/core/class_record.h"

#include <span>

enum class TvRegistrationKind { module, group, treat_as };

struct TvRegistrationStep {
    TvRegistrationKind kind;
    const char* name;
    // Null for a module that is not part of the program yet: it joins at its place when built.
    OmRegisterFunction register_classes;
};

// The steps in order.
std::span<const TvRegistrationStep> TvRegistrationOrder();

// Runs every step on the manager, ignoring the modules' results (a failing module must not
// keep the others out), and traces each as "register <name>".
void TvRegisterClasses(IObjectManager* manager);
