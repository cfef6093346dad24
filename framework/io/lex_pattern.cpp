// The rule parser: a recursive descent over the pattern's tokens that builds Thompson
// fragments (after Holub, "Compiler Design in C", chapter 2), expanding {name} on the fly.
#include "framework/io/lex_pattern.h"

#include <cctype>
#include <cstring>

namespace {

const char* const error_texts[] = {
    "Not enough memory for NFA",
    "Malformed regular expression",
    "Missing close parenthesis",
    "Internal error: Discard stack full",
    "Too many regular expressions or expression too long",
    "Missing [ in character class",
    "^ must be at start of expression or after [",
    "+ ? or * must follow an expression or subexpression",
    "Too many characters in accept actions",
    "Newline in quoted string, use \\n to get newline into expression",
    "Missing } in macro expansion",
    "Macro doesn't exist",
    "Macro expansions nested too deeply",
    "OR on its own",
};

const char* const warning_texts[] = {
    "Treating dash in [-...] as a literal dash",
    "Treating dash in [...-] as a literal dash",
};

enum Token {
    END,
    ANY,         // .
    LINE_START,  // ^
    LINE_END,    // $
    CLASS_START, // [
    CLASS_END,   // ]
    OPEN,        // (
    CLOSE,       // )
    STAR,        // *
    PLUS,        // +
    OPTIONAL,    // ?
    OR,          // |
    DASH,        // -
    CLOSE_BRACE, // } without its {
    LITERAL,
};

Token token_of(char c) {
    switch (c) {
    case '.': return ANY;
    case '^': return LINE_START;
    case '$': return LINE_END;
    case '[': return CLASS_START;
    case ']': return CLASS_END;
    case '(': return OPEN;
    case ')': return CLOSE;
    case '*': return STAR;
    case '+': return PLUS;
    case '?': return OPTIONAL;
    case '|': return OR;
    case '-': return DASH;
    case '}': return CLOSE_BRACE;
    default: return LITERAL;
    }
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    return std::toupper(uint8_t(c)) - 'A' + 10;
}

// The character of an escape at `s` (just past the backslash); advances `s` past it.
uint8_t escape(const char*& s) {
    char c = *s;
    if (c == '\0') return '\\'; // a backslash ending the pattern stands for itself
    ++s;
    switch (std::toupper(uint8_t(c))) {
    case 'B': return 8;
    case 'E': return 27;
    case 'F': return 12;
    case 'N': return 10;
    case 'R': return 13;
    case 'S': return ' ';
    case 'T': return 9;
    case 'X': {
        uint32_t value = 0;
        for (int i = 0; i < 3 && std::isxdigit(uint8_t(*s)); ++i)
            value = value * 16 + hex_value(*s++);
        return uint8_t(value);
    }
    case '^':
        if (*s == '\0') return '^';
        return uint8_t(std::toupper(uint8_t(*s++)) - 64);
    default: break;
    }
    if (c >= '0' && c <= '7') {
        uint32_t value = uint32_t(c - '0');
        for (int i = 1; i < 3 && *s >= '0' && *s <= '7'; ++i)
            value = value * 8 + uint32_t(*s++ - '0');
        return uint8_t(value);
    }
    return uint8_t(c);
}

class PatternParser {
public:
    PatternParser(LexNfa* nfa, const char* pattern, LexDefinitionLookup lookup, void* context)
        : nfa_(nfa), lookup_(lookup), context_(context) {
        sources_[0] = pattern;
    }

    LexPatternResult parse() {
        LexPatternResult result{LEX_PATTERN_OK, -1, -1, 0, 0};
        advance();
        rule(&result.start, &result.end, &result.anchor);
        if (ok() && token_ != END) fail(LEX_E_MALFORMED);
        result.error = error_;
        result.warnings = warnings_;
        return result;
    }

private:
    bool ok() const { return error_ == LEX_PATTERN_OK; }
    void fail(LexPatternError error) {
        if (ok()) error_ = error;
    }

    // A new state, or -1 with the error recorded.
    int32_t make_state() {
        if (!ok()) return -1;
        if (nfa_->count() >= OM_LEX_MAX_STATES) {
            fail(LEX_E_TOO_LONG);
            return -1;
        }
        int32_t state = nfa_->new_state();
        if (state < 0) fail(LEX_E_MEMORY);
        return state;
    }
    LexNfaState& state(int32_t index) { return nfa_->at(index); }

    // Reads the next token into token_ and its character into lexeme_, entering and leaving
    // {name} expansions and quoted stretches as they come.
    void advance() {
        for (;;) {
            const char*& s = sources_[depth_];
            if (!ok()) {
                token_ = END;
                return;
            }
            if (*s == '\0') {
                if (depth_ == 0) {
                    token_ = END;
                    return;
                }
                --depth_;
                continue;
            }
            if (*s == '"') {
                in_quotes_ = !in_quotes_;
                ++s;
                continue;
            }
            if (in_quotes_) {
                if (*s == '\n') {
                    fail(LEX_E_NEWLINE);
                    continue;
                }
                if (s[0] == '\\' && s[1] == '"') {
                    lexeme_ = '"';
                    s += 2;
                } else {
                    lexeme_ = uint8_t(*s++);
                }
                token_ = LITERAL;
                return;
            }
            if (*s == '{') {
                expand(s);
                continue;
            }
            if (*s == '\\') {
                ++s;
                lexeme_ = escape(s);
                token_ = LITERAL;
                return;
            }
            lexeme_ = uint8_t(*s);
            token_ = token_of(*s++);
            return;
        }
    }

    // Replaces {name} at `s` by its definition's text.
    void expand(const char*& s) {
        const char* close = std::strchr(s, '}');
        if (!close) {
            fail(LEX_E_MACRO_BRACE);
            return;
        }
        char name[256];
        size_t length = size_t(close - s - 1);
        const char* text = nullptr;
        if (length < sizeof name && lookup_) {
            std::memcpy(name, s + 1, length);
            name[length] = '\0';
            text = lookup_(name, context_);
        }
        if (!text) {
            fail(LEX_E_NO_MACRO);
            return;
        }
        if (depth_ + 1 >= OM_LEX_MAX_MACRO_DEPTH) {
            fail(LEX_E_MACRO_DEPTH);
            return;
        }
        s = close + 1;
        sources_[++depth_] = text;
    }

    // rule: ["^"] expr ["$"]
    void rule(int32_t* start, int32_t* end, int32_t* anchor) {
        if (token_ == LINE_START) {
            // The line feed before the text is part of the match.
            *start = make_state();
            if (!ok()) return;
            state(*start).label = '\n';
            *anchor |= OM_LEX_ANCHOR_LINE_START;
            advance();
            int32_t body;
            expr(&body, end);
            if (ok()) state(*start).next = body;
        } else {
            expr(start, end);
        }
        if (ok() && token_ == LINE_END) {
            advance();
            int32_t line_end = make_state();
            if (!ok()) return;
            LexNfaState& e = state(*end);
            e.label = OM_LEX_CLASS_MOVE;
            e.chars.add('\n');
            e.chars.add('\r');
            e.next = line_end;
            *end = line_end;
            *anchor |= OM_LEX_ANCHOR_LINE_END;
        }
    }

    // expr: cat_expr ("|" cat_expr)*
    void expr(int32_t* start, int32_t* end) {
        cat_expr(start, end, false);
        while (ok() && token_ == OR) {
            advance();
            int32_t start2, end2;
            cat_expr(&start2, &end2, true);
            int32_t fork = make_state();
            int32_t join = make_state();
            if (!ok()) return;
            state(fork).next = *start;
            state(fork).next2 = start2;
            state(*end).next = join;
            state(end2).next = join;
            *start = fork;
            *end = join;
        }
    }

    // Whether the token can begin a factor; tokens that cannot appear there are errors.
    bool begins_factor() {
        switch (token_) {
        case END:
        case CLOSE:
        case LINE_END:
        case OR: return false;
        case STAR:
        case PLUS:
        case OPTIONAL: fail(LEX_E_CLOSURE); return false;
        case CLASS_END: fail(LEX_E_BRACKET); return false;
        case LINE_START: fail(LEX_E_BOL); return false;
        case CLOSE_BRACE: fail(LEX_E_MALFORMED); return false;
        default: return true;
        }
    }

    // cat_expr: factor factor*
    void cat_expr(int32_t* start, int32_t* end, bool after_or) {
        if (!begins_factor()) {
            // Nothing to concatenate: an empty alternative or an empty pattern or group.
            fail(after_or || token_ == OR ? LEX_E_LONE_OR : LEX_E_MALFORMED);
            return;
        }
        factor(start, end);
        while (ok() && begins_factor()) {
            int32_t start2, end2;
            factor(&start2, &end2);
            if (!ok()) return;
            // The end state takes over the next fragment's start, which nothing else refers
            // to, so the concatenation costs no state.
            state(*end) = state(start2);
            *end = end2;
        }
    }

    // factor: term ["*" | "+" | "?"]
    void factor(int32_t* start, int32_t* end) {
        term(start, end);
        if (!ok() || (token_ != STAR && token_ != PLUS && token_ != OPTIONAL)) return;
        int32_t outer_start = make_state();
        int32_t outer_end = make_state();
        if (!ok()) return;
        state(outer_start).next = *start;
        state(*end).next = outer_end;
        if (token_ != PLUS) state(outer_start).next2 = outer_end; // may be skipped
        if (token_ != OPTIONAL) state(*end).next2 = *start;       // may repeat
        *start = outer_start;
        *end = outer_end;
        advance();
    }

    // term: "(" expr ")" | "[" class "]" | "." | character
    void term(int32_t* start, int32_t* end) {
        if (token_ == OPEN) {
            advance();
            expr(start, end);
            if (!ok()) return;
            if (token_ != CLOSE) {
                fail(LEX_E_PAREN);
                return;
            }
            advance();
            return;
        }
        *start = make_state();
        *end = make_state();
        if (!ok()) return;
        LexNfaState& s = state(*start);
        s.next = *end;
        if (token_ == ANY) {
            s.label = OM_LEX_CLASS_MOVE;
            for (uint32_t c = 0; c < 256; ++c)
                if (c != '\n' && c != '\r') s.chars.add(c);
            advance();
        } else if (token_ == CLASS_START) {
            advance();
            LexCharClass chars{};
            character_class(&chars);
            if (!ok()) return;
            LexNfaState& c = state(*start);
            c.label = OM_LEX_CLASS_MOVE;
            c.chars = chars;
        } else {
            s.label = lexeme_;
            advance();
        }
    }

    // The class after "[" up to and past its "]".
    void character_class(LexCharClass* chars) {
        bool complement = false;
        if (token_ == LINE_START) {
            complement = true;
            advance();
        }
        if (token_ == CLASS_END) {
            // "[]" (and "[^]") is the class of the control characters and the blank.
            for (uint32_t c = 0; c <= ' '; ++c) chars->add(c);
        } else {
            listed_characters(chars);
            if (!ok()) return;
            if (token_ != CLASS_END) {
                fail(LEX_E_MALFORMED);
                return;
            }
            if (complement) {
                for (uint32_t& word : chars->words) word = ~word;
                for (uint32_t c = 0; c <= ' '; ++c) chars->add(c);
            }
        }
        advance();
    }

    // Characters and ranges up to the closing "]" (not consumed).
    void listed_characters(LexCharClass* chars) {
        if (token_ == DASH) {
            warnings_ |= 1 << LEX_W_START_DASH;
            chars->add('-');
            advance();
        }
        uint32_t first = 0;
        while (ok() && token_ != END && token_ != CLASS_END) {
            if (token_ != DASH) {
                first = lexeme_;
                chars->add(lexeme_);
                advance();
                continue;
            }
            advance();
            if (token_ == CLASS_END) {
                warnings_ |= 1 << LEX_W_END_DASH;
                chars->add('-');
                break;
            }
            if (token_ == END) break;
            for (uint32_t c = first; c <= lexeme_; ++c) chars->add(c);
            advance();
        }
    }

    LexNfa* nfa_;
    LexDefinitionLookup lookup_;
    void* context_;
    const char* sources_[OM_LEX_MAX_MACRO_DEPTH] = {};
    int32_t depth_ = 0;
    bool in_quotes_ = false;
    Token token_ = END;
    uint8_t lexeme_ = 0;
    int32_t error_ = LEX_PATTERN_OK;
    int32_t warnings_ = 0;
};

} // namespace

const char* OmLexErrorText(int32_t number) {
    if (number < 0 || number >= int32_t(std::size(error_texts))) return nullptr;
    return error_texts[number];
}

const char* OmLexWarningText(int32_t number) {
    if (number < 0 || number >= int32_t(std::size(warning_texts))) return nullptr;
    return warning_texts[number];
}

LexPatternResult OmLexParsePattern(LexNfa* nfa, const char* pattern, LexDefinitionLookup lookup,
                                   void* context) {
    int32_t first_new = nfa->count();
    PatternParser parser(nfa, pattern ? pattern : "", lookup, context);
    LexPatternResult result = parser.parse();
    if (result.error != LEX_PATTERN_OK) nfa->truncate(first_new);
    return result;
}
