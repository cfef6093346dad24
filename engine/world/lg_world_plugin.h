// The world plug-in's attach: registers its engine modules with the engine, in their fixed
// order, between engine init and open.
#pragma once

// True when every registration succeeded (the world ties last). Call once, after LgEngineInit
// and before the game registers its own clump and atomic plug-ins.
bool LgWorldPluginAttach();
