// The nondeterministic automaton behind the lexical analysers: its states, the rule chain
// from the start state, empty-move closures and the longest-match simulation.
#pragma once

#include "framework/containers/om_array.h"
#include "framework/io/lex_analyser.h"

// Transition labels besides a byte value 0-255.
inline constexpr int32_t OM_LEX_EMPTY_MOVE = -1;
inline constexpr int32_t OM_LEX_CLASS_MOVE = -2;
// Anchor flags of an accepting state.
inline constexpr int32_t OM_LEX_ANCHOR_LINE_START = 1;
inline constexpr int32_t OM_LEX_ANCHOR_LINE_END = 2;

// A set of byte values.
struct LexCharClass {
    uint32_t words[8];

    void add(uint32_t c) { words[(c >> 5) & 7] |= 1u << (c & 31); }
    bool contains(uint32_t c) const { return c < 256 && (words[c >> 5] >> (c & 31)) & 1; }
};

struct LexNfaState {
    int32_t label;      // a byte, OM_LEX_EMPTY_MOVE or OM_LEX_CLASS_MOVE
    int32_t next;       // first successor, -1 for none
    int32_t next2;      // second successor of an empty move, -1 for none
    LexCharClass chars; // for OM_LEX_CLASS_MOVE
    OmLexCallback callback;
    int32_t token_id;
    int32_t priority; // the rule's number when accepting, else 0
    int32_t anchor;
};

// The outcome of a longest-match run.
struct LexMatch {
    bool found;
    int32_t token_id;
    OmLexCallback callback;
    uint32_t length;
};

// Reads the stream a byte at a time while step(byte) keeps the automaton alive (step records
// matches itself), then seeks back by every byte read. The end code when the stream had no
// byte at all; a failed read other than the end is returned (after the seek).
template <class Step>
OmResult lex_run_match(IByteStream* stream, Step&& step) {
    uint32_t read = 0;
    OmResult result = OM_S_OK;
    for (;;) {
        uint8_t byte;
        uint32_t done = 0;
        OmResult r = stream->Read(&byte, 1, &done);
        if (done == 0) {
            if (r < 0 && r != OM_E_ENDOFSTREAM)
                result = r;
            else if (read == 0)
                result = OM_E_ENDOFSTREAM;
            break;
        }
        ++read;
        if (!step(byte, read)) break;
    }
    if (read) stream->Seek(-int32_t(read), OM_SEEK_CURRENT, nullptr);
    return result;
}

// Owns the states (state 0 is the start) and the scratch lists of the simulation. Memory
// comes from the framework allocator.
class LexNfa {
public:
    LexNfa();
    ~LexNfa();
    LexNfa(const LexNfa&) = delete;
    LexNfa& operator=(const LexNfa&) = delete;

    // Makes the start state. OM_E_OUTOFMEMORY.
    OmResult init();

    int32_t count() const { return states_.count; }
    LexNfaState& at(int32_t index) {
        return *static_cast<LexNfaState*>(OmArrayAtUnchecked(&states_, index));
    }
    const LexNfaState& at(int32_t index) const {
        return *static_cast<const LexNfaState*>(OmArrayAtUnchecked(&states_, index));
    }
    // A new empty-move state without successors, or -1 when memory runs out.
    int32_t new_state();
    // Drops the states from `count` on (the remains of a rule that failed).
    void truncate(int32_t count);
    // Joins a rule's automaton to the start state's alternatives.
    OmResult add_alternative(int32_t rule_start);
    // The number the next rule gets.
    int32_t next_rule_number() const { return rules_ + 1; }
    void count_rule() { ++rules_; }

    // The successor of `state` on `c`, or -1.
    int32_t transition(int32_t state, uint32_t c) const;
    // Appends the empty-move closure of `state` to `list`, skipping states marked in this
    // round (see begin_round). OM_E_OUTOFMEMORY.
    OmResult add_closure(int32_t state, OmArray* list);
    // Starts a new round of duplicate marks.
    OmResult begin_round();
    // The accepting state of the lowest rule number among the list's states, or -1.
    int32_t best_accepting(const OmArray* list) const;

    // The longest match at the stream position (not consumed); see lex_run_match.
    OmResult longest_match(IByteStream* stream, LexMatch* match);

private:
    OmArray states_;
    OmArray marks_; // per state: the round that last marked it
    uint32_t round_ = 0;
    OmArray current_, next_;
    int32_t last_link_ = 0; // the start chain's last state
    int32_t rules_ = 0;
};
