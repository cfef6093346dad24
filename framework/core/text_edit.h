// Editing C strings in place: case folding, replacing and removing.
#pragma once

#include <cstdint>

// ASCII letters only.
void OmStringToLower(char* string);
void OmStringToUpper(char* string);
// Replaces every occurrence of `find`, left to right, resuming after each inserted
// replacement; returns the count. The buffer must have room for the longer result. An empty
// `find` replaces nothing.
int32_t OmStringReplaceAll(char* string, const char* find, const char* replacement);
void OmStringReplaceChar(char* string, char from, char to);
// Removes every occurrence, closing the gaps.
void OmStringRemoveChar(char* string, char character);
