// The front end's services to the game: the table of entry points the game calls for the
// error log, sound, the screen size, language strings and the data storage.
#pragma once

// Installs the table (start-up, once the classes are registered).
void TvInstallGameServices();
// Takes it down again (shutdown): the game's entry points become harmless.
void TvRemoveGameServices();
