// Page-token expansion: menu pages are HTML templates whose ^token^ markers are replaced by
// text built from the pilots, the campaigns, the settings, the video modes and the network
// client's state before the page is parsed.
#pragma once

#include "framework/core/result_codes.h"

#include <string>

struct IByteStream;

// Tokens are read up to the next caret, the end of the input or this many characters.
inline constexpr size_t TV_TOKEN_LIMIT = 64;

// Copies the input to the output, replacing each ^token^ by its expansion and "^^" by one
// caret. OM_E_FAIL without both streams; a failing read or write's result; 0 at the end of
// the input.
OmResult TvExpandTemplate(IByteStream* input, IByteStream* output);
// The expansion of one token (empty for tokens that only set state or whose condition
// fails); an unknown token gives "'<token>' not defined.". Always 0.
OmResult TvExpandPageTokens(const char* token, std::string* out);

// Whether the held game component is the multiplayer client game.
bool TvHasClientGame();
// The client game's scoreboard for the "players" token; installed by the multiplayer session.
using TvScoreboardBuilder = OmResult (*)(std::string* html);
void TvInstallScoreboardBuilder(TvScoreboardBuilder builder);
