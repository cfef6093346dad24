// The engine's default file and string routines, installed into the instance at init.
#pragma once

#include "engine/core/lg_types.h"

// Fills the instance's file table. Paths go through the platform resolver, so backslashes,
// drive prefixes and mixed case find the file on this machine.
int32_t LgD3DInstallFileFunctions(LgFileFunctions* table);
// Fills the instance's string table with the C library's routines and the five below.
int32_t LgD3DInstallStringFunctions(LgStringFunctions* table);

int32_t LgFileExists(const char* path);
// 0 when either argument is null, else the difference of the first differing lower-cased
// characters (ASCII only).
int32_t LgStrICmp(const char* a, const char* b);
char* LgStrRChr(const char* text, int32_t c);
char* LgStrChr(const char* text, int32_t c);
char* LgStrUpr(char* text);
char* LgStrLwr(char* text);
