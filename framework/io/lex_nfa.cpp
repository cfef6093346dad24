// The NFA's states and its simulation: every live state steps on each byte together, and the
// last accepting step seen is the longest match.
#include "framework/io/lex_nfa.h"

#include <cstring>
#include <utility>

LexNfa::LexNfa() {
    OmArrayInit(&states_, sizeof(LexNfaState));
    OmArrayInit(&marks_, sizeof(uint32_t));
    OmArrayInit(&current_, sizeof(int32_t));
    OmArrayInit(&next_, sizeof(int32_t));
}

LexNfa::~LexNfa() {
    OmArrayFree(&states_);
    OmArrayFree(&marks_);
    OmArrayFree(&current_);
    OmArrayFree(&next_);
}

OmResult LexNfa::init() {
    return new_state() == 0 ? OM_S_OK : OM_E_OUTOFMEMORY;
}

int32_t LexNfa::new_state() {
    auto* state = static_cast<LexNfaState*>(OmArrayAppend(&states_));
    if (!state) return -1;
    state->label = OM_LEX_EMPTY_MOVE;
    state->next = -1;
    state->next2 = -1;
    return states_.count - 1;
}

void LexNfa::truncate(int32_t count) {
    if (count < states_.count) OmArraySetCount(&states_, count);
}

OmResult LexNfa::add_alternative(int32_t rule_start) {
    // The start state and a chain of empty states behind it each lead to one rule.
    if (rules_ == 0) {
        at(0).next = rule_start;
        return OM_S_OK;
    }
    int32_t link = new_state();
    if (link < 0) return OM_E_OUTOFMEMORY;
    at(link).next = rule_start;
    at(last_link_).next2 = link;
    last_link_ = link;
    return OM_S_OK;
}

int32_t LexNfa::transition(int32_t state, uint32_t c) const {
    const LexNfaState& s = at(state);
    if (s.label == OM_LEX_CLASS_MOVE) return s.chars.contains(c) ? s.next : -1;
    if (s.label >= 0 && uint32_t(s.label) == c) return s.next;
    return -1;
}

OmResult LexNfa::begin_round() {
    if (marks_.count < states_.count) {
        int32_t old = marks_.count;
        OmResult r = OmArraySetCount(&marks_, states_.count);
        if (r < 0) return r;
        std::memset(OmArrayAtUnchecked(&marks_, old), 0, size_t(states_.count - old) * 4);
    }
    if (++round_ == 0) {
        // The round counter wrapped: old marks could look current, so clear them all.
        std::memset(marks_.data, 0, size_t(marks_.count) * 4);
        round_ = 1;
    }
    return OM_S_OK;
}

OmResult LexNfa::add_closure(int32_t state, OmArray* list) {
    auto* marks = static_cast<uint32_t*>(marks_.data);
    if (state < 0 || marks[state] == round_) return OM_S_OK;
    // The list doubles as the work queue: states appended here are expanded in turn.
    int32_t first = list->count;
    marks[state] = round_;
    auto* slot = static_cast<int32_t*>(OmArrayAppend(list));
    if (!slot) return OM_E_OUTOFMEMORY;
    *slot = state;
    for (int32_t i = first; i < list->count; ++i) {
        const LexNfaState& s = at(*static_cast<int32_t*>(OmArrayAtUnchecked(list, i)));
        if (s.label != OM_LEX_EMPTY_MOVE) continue;
        for (int32_t successor : {s.next, s.next2}) {
            if (successor < 0 || marks[successor] == round_) continue;
            marks[successor] = round_;
            slot = static_cast<int32_t*>(OmArrayAppend(list));
            if (!slot) return OM_E_OUTOFMEMORY;
            *slot = successor;
        }
    }
    return OM_S_OK;
}

int32_t LexNfa::best_accepting(const OmArray* list) const {
    int32_t best = -1;
    for (int32_t i = 0; i < list->count; ++i) {
        int32_t index = *static_cast<const int32_t*>(OmArrayAtUnchecked(list, i));
        const LexNfaState& s = at(index);
        if (s.priority > 0 && (best < 0 || s.priority < at(best).priority)) best = index;
    }
    return best;
}

OmResult LexNfa::longest_match(IByteStream* stream, LexMatch* match) {
    *match = {};
    OmResult r = begin_round();
    if (r < 0) return r;
    current_.count = 0;
    r = add_closure(0, &current_);
    if (r < 0) return r;
    OmResult failure = OM_S_OK;
    r = lex_run_match(stream, [&](uint8_t byte, uint32_t read) {
        next_.count = 0;
        if ((failure = begin_round()) < 0) return false;
        for (int32_t i = 0; i < current_.count; ++i) {
            int32_t state = *static_cast<int32_t*>(OmArrayAtUnchecked(&current_, i));
            int32_t successor = transition(state, byte);
            if (successor >= 0 && (failure = add_closure(successor, &next_)) < 0) return false;
        }
        int32_t accepting = best_accepting(&next_);
        if (accepting >= 0) {
            const LexNfaState& s = at(accepting);
            *match = {true, s.token_id, s.callback, read};
        }
        std::swap(current_, next_);
        return current_.count > 0;
    });
    return failure < 0 ? failure : r;
}
