// Splitting strings into separator fields and tokens, with quoted stretches.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

// Fields split at every separator (empty fields count); tokens are the non-empty runs between
// separators. A quote character starts a stretch, up to the next quote character, inside
// which separators do not split; the quotes stay part of the text. The plain forms use '"'.

// Characters up to the first separator outside quotes, or to the end.
uint32_t OmFieldLength(const char* string, char separator, char quote);

// Separators outside quotes + 1 (an empty string has one field).
uint32_t OmCountFieldsQuoted(const char* string, char separator, char quote);
uint32_t OmCountFields(const char* string, char separator);
// The start of field `index` (0 is the string itself), or null when there are fewer fields.
const char* OmFindField(const char* string, char separator, char quote, uint32_t index);
// Copies field `index` into `buffer`, cut to size - 1 characters, NUL-terminated. OM_E_FAIL
// for a missing field or a zero size.
OmResult OmGetFieldQuoted(const char* string, char separator, char quote, uint32_t index,
                          char* buffer, uint32_t size);
OmResult OmGetField(const char* string, char separator, uint32_t index, char* buffer,
                    uint32_t size);

// Tokens: runs of separators count as one, leading and trailing ones are skipped.
uint32_t OmCountTokensQuoted(const char* string, char separator, char quote);
uint32_t OmCountTokens(const char* string, char separator);
const char* OmFindToken(const char* string, char separator, char quote, uint32_t index);
OmResult OmGetTokenQuoted(const char* string, char separator, char quote, uint32_t index,
                          char* buffer, uint32_t size);
OmResult OmGetToken(const char* string, char separator, uint32_t index, char* buffer,
                    uint32_t size);

// Blank-separated tokens with double quotes (the command line).
uint32_t OmCountWords(const char* string);
OmResult OmGetWord(const char* string, uint32_t index, char* buffer, uint32_t size);
