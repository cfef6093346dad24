// The group registration functions: each registers the class tables of one group of built-in
// modules, in a fixed order. A group names classes of several libraries (the text group the
// framework's lexers and the fonts, the web group the network's streams and the HTML
// browsers), so the groups live with the program, above every library they name.
#pragma once

#include "framework/core/module_group.h"
#include "sound/sound_modules.h"

#include <span>

// Each calls its modules' register functions in order, ignoring their results; 0.
OmResult OmRegisterTextModules(IObjectManager* manager);
OmResult OmRegisterStorageModules(IObjectManager* manager);
OmResult OmRegisterSystemModules(IObjectManager* manager);
OmResult OmRegisterNetworkModules(IObjectManager* manager);
OmResult OmRegisterMemoryModule(IObjectManager* manager);
OmResult OmRegisterMathsModules(IObjectManager* manager);
OmResult OmRegisterInputModules(IObjectManager* manager);
OmResult OmRegisterWebModules(IObjectManager* manager);
OmResult OmRegisterCryptoModules(IObjectManager* manager);
OmResult OmRegisterContainerModules(IObjectManager* manager);
OmResult OmRegisterDisplayModules(IObjectManager* manager);

// The groups in the order the program registers them at start-up: display, containers,
// sound, crypto, web, input, maths, memory, network, system, storage, text.
std::span<const OmModuleGroup> OmModuleGroupsInStartupOrder();

// Calls every group in start-up order; 0.
OmResult OmRegisterAllModuleGroups(IObjectManager* manager);
