// Parsing a regular-expression rule into NFA states (Thompson's construction), with {name}
// expansion, and the diagnostics a pattern can raise.
#pragma once

#include "framework/io/lex_nfa.h"

// Pattern errors, by their system numbers.
enum LexPatternError : int32_t {
    LEX_PATTERN_OK = -1,
    LEX_E_MEMORY = 0,
    LEX_E_MALFORMED = 1,
    LEX_E_PAREN = 2,
    LEX_E_DISCARD_STACK = 3,
    LEX_E_TOO_LONG = 4,
    LEX_E_BRACKET = 5,
    LEX_E_BOL = 6,
    LEX_E_CLOSURE = 7,
    LEX_E_ACTIONS = 8,
    LEX_E_NEWLINE = 9,
    LEX_E_MACRO_BRACE = 10,
    LEX_E_NO_MACRO = 11,
    LEX_E_MACRO_DEPTH = 12,
    LEX_E_LONE_OR = 13,
};

enum LexPatternWarning : int32_t {
    LEX_W_START_DASH = 0,
    LEX_W_END_DASH = 1,
};

// "ERROR" and "WARNING" texts by number; null outside the tables.
const char* OmLexErrorText(int32_t number);
const char* OmLexWarningText(int32_t number);

// The text stored under a {name}, or null when there is none.
using LexDefinitionLookup = const char* (*)(const char* name, void* context);

// The states of one parsed rule.
struct LexPatternResult {
    int32_t error;    // LEX_PATTERN_OK or a LexPatternError
    int32_t start;    // first state of the rule
    int32_t end;      // its accepting state
    int32_t anchor;   // OM_LEX_ANCHOR_* flags
    int32_t warnings; // bit n set for warning n
};

// Most states the automaton may hold before a rule is refused as too long.
inline constexpr int32_t OM_LEX_MAX_STATES = 1 << 16;
// Deepest nesting of {name} expansions.
inline constexpr int32_t OM_LEX_MAX_MACRO_DEPTH = 32;

// Parses `pattern` into new states of `nfa`. On an error the new states are dropped again.
LexPatternResult OmLexParsePattern(LexNfa* nfa, const char* pattern, LexDefinitionLookup lookup,
                                   void* context);
