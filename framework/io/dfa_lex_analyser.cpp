// DFALexAnalyser: the rules of an inner NFA turned into deterministic tables by subset
// construction over the characters 0-127, then matched by a table walk.
#include "framework/containers/new_direct.h"
#include "framework/core/byte_key_hash.h"
#include "framework/io/lex_analyser_object.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

// Characters from here up have no transitions.
constexpr int32_t dfa_characters = 128;

struct DfaState {
    int32_t token_id; // above 0 when accepting
    OmLexCallback callback;
    int32_t next[dfa_characters]; // -1 for none
    // Used by the build: the size and fingerprint of the NFA set the state stands for, and
    // the state made before it with the same fingerprint (-1 for none).
    int32_t set_count;
    uint64_t set_print;
    int32_t same_print;
};

// A fingerprint of the set's members, so that a build finds a known set through a hash
// rather than by comparing it with every set made so far.
uint64_t fingerprint(IBitFieldIntSet* set) {
    uint64_t print = 14695981039346656037u;
    for (int32_t n = set->First(); n >= 0; n = set->Next(n))
        print = (print ^ uint32_t(n)) * 1099511628211u;
    return print;
}

// The (character, successor) moves of each NFA state, asked for on first use.
struct NfaMoves {
    std::vector<std::vector<std::pair<int32_t, int32_t>>> of_state;
    std::vector<bool> known;
};

const std::vector<std::pair<int32_t, int32_t>>& moves_of(INFAStates* nfa, int32_t state,
                                                         NfaMoves& moves) {
    if (size_t(state) >= moves.known.size()) {
        moves.known.resize(size_t(state) + 1);
        moves.of_state.resize(size_t(state) + 1);
    }
    auto& list = moves.of_state[size_t(state)];
    if (!moves.known[size_t(state)]) {
        moves.known[size_t(state)] = true;
        for (int32_t c = 0; c < dfa_characters; ++c)
            if (const int32_t next = nfa->Transition(state, c); next >= 0)
                list.emplace_back(c, next);
    }
    return list;
}

// The NFA state set of each deterministic state, and the latest state (plus one) of each
// fingerprint.
struct BuildSets {
    OmPtrArray sets;
    OmByteKeyHash index;
};

class DFALexAnalyser final : public LexAnalyserObject<DFALexAnalyser, ILexRules> {
public:
    ~DFALexAnalyser() { OmArrayFree(&states_); }
    OmResult init() {
        OmArrayInit(&states_, sizeof(DfaState));
        return OmNewNFALexAnalyser(inner_.put());
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_ILexRules, static_cast<ILexRules*>(this)},
                                   {&IID_ILexAnalyser, static_cast<ILexAnalyser*>(this)}});
    }

    // Rules go to the inner NFA until the build drops it.
    OmResult DefineName(const char* name, const char* pattern) override {
        return inner_ ? inner_->DefineName(name, pattern) : OM_E_FAIL;
    }
    OmResult GetDefinition(const char* name, char* buffer, uint32_t size) override {
        if (buffer && size) buffer[0] = '\0';
        return inner_ ? inner_->GetDefinition(name, buffer, size) : OM_E_FAIL;
    }
    OmResult AddRule(const char* pattern, int32_t token_id) override {
        return AddRuleEx(pattern, token_id, nullptr);
    }
    OmResult AddRuleEx(const char* pattern, int32_t token_id, OmLexCallback callback) override {
        return inner_ ? inner_->AddRuleEx(pattern, token_id, callback) : OM_E_FAIL;
    }

    OmResult Build() override {
        if (!inner_) return OM_E_FAIL;
        ComRef<INFAStates> nfa;
        OmResult r = inner_->QueryInterface(IID_INFAStates, nfa.put_void());
        if (r < 0) return r;
        BuildSets sets;
        OmPtrArrayInit(&sets.sets);
        r = OmByteKeyHashInit(&sets.index, 0);
        if (r >= 0) r = build_from(nfa.get(), &sets);
        for (int32_t i = 0; i < sets.sets.count; ++i)
            static_cast<IBitFieldIntSet*>(OmPtrArrayAt(&sets.sets, i))->Release();
        OmPtrArrayFree(&sets.sets);
        OmByteKeyHashDestroy(&sets.index);
        if (r < 0) {
            states_.count = 0;
            return r;
        }
        inner_.reset();
        return OM_S_OK;
    }

    OmResult longest_match(IByteStream* stream, LexMatch* match) {
        *match = {};
        if (states_.count == 0) return OM_E_FAIL;
        int32_t state = 0;
        return lex_run_match(stream, [&](uint8_t byte, uint32_t read) {
            if (byte >= dfa_characters) return false;
            state = at(state).next[byte];
            if (state < 0) return false;
            const DfaState& s = at(state);
            if (s.token_id > 0) *match = {true, s.token_id, s.callback, read};
            return true;
        });
    }

private:
    DfaState& at(int32_t index) {
        return *static_cast<DfaState*>(OmArrayAtUnchecked(&states_, index));
    }

    // The deterministic state standing for `set`, made (taking over the set's reference) when
    // it is new; the set is released when it is found. -1 when memory runs out.
    int32_t state_of(IBitFieldIntSet* set, BuildSets* sets) {
        const int32_t count = set->Count();
        const uint64_t print = fingerprint(set);
        const int32_t latest = int32_t(OmByteKeyHashGet(&sets->index, &print, sizeof print)) - 1;
        for (int32_t i = latest; i >= 0; i = at(i).same_print) {
            auto* known = static_cast<IBitFieldIntSet*>(OmPtrArrayAt(&sets->sets, i));
            if (at(i).set_count == count && at(i).set_print == print && known->Compare(set) == 0) {
                set->Release();
                return i;
            }
        }
        auto* state = static_cast<DfaState*>(OmArrayAppend(&states_));
        if (!state || OmPtrArrayAppend(&sets->sets, set) < 0 ||
            OmByteKeyHashSet(&sets->index, &print, sizeof print, uintptr_t(states_.count)) < 0) {
            if (state) --states_.count;
            if (sets->sets.count > states_.count) --sets->sets.count;
            set->Release();
            return -1;
        }
        for (int32_t& next : state->next) next = -1;
        state->set_count = count;
        state->set_print = print;
        state->same_print = latest;
        return states_.count - 1;
    }

    // Subset construction: states are processed in the order they are made, so every set
    // reachable from the start closure gets exactly one state.
    OmResult build_from(INFAStates* nfa, BuildSets* sets) {
        states_.count = 0;
        IBitFieldIntSet* start;
        OmResult r = OmNewBitFieldIntSet(&start);
        if (r < 0) return r;
        if ((r = nfa->StartSet(start)) < 0) {
            start->Release();
            return r;
        }
        if (state_of(start, sets) < 0) return OM_E_OUTOFMEMORY;
        int64_t members = 0;
        std::array<std::vector<int32_t>, dfa_characters> successors;
        std::vector<int32_t> distinct;
        NfaMoves moves;
        for (int32_t s = 0; s < states_.count; ++s) {
            auto* set = static_cast<IBitFieldIntSet*>(OmPtrArrayAt(&sets->sets, s));
            members += at(s).set_count;
            if (members > OM_LEX_MAX_DFA_SET_MEMBERS) return OM_E_FAIL;
            OmLexCallback callback;
            int32_t token_id = nfa->SetAccept(set, &callback);
            at(s).token_id = token_id > 0 ? token_id : 0;
            at(s).callback = token_id > 0 ? callback : nullptr;
            // One walk over the set's members gathers the successors of every character, so
            // that a large set is not walked once for each of them; each NFA state's moves are
            // asked for once in the whole build, however many sets it belongs to.
            for (auto& bucket : successors) bucket.clear();
            for (int32_t n = set->First(); n >= 0; n = set->Next(n))
                for (const auto& [c, next] : moves_of(nfa, n, moves)) successors[c].push_back(next);
            // Characters of one class (a range, a dot) share their successors, and so their
            // target: its closure is made and looked up once, for the first of them.
            distinct.clear();
            for (int32_t c = 0; c < dfa_characters; ++c) {
                if (successors[c].empty()) continue;
                const auto same = std::find_if(distinct.begin(), distinct.end(), [&](int32_t d) {
                    return successors[d] == successors[c];
                });
                if (same != distinct.end()) {
                    at(s).next[c] = at(s).next[*same];
                    continue;
                }
                distinct.push_back(c);
                IBitFieldIntSet* moved;
                if ((r = OmNewBitFieldIntSet(&moved)) < 0) return r;
                for (int32_t next : successors[c])
                    if ((r = moved->Add(next)) < 0) break;
                if (r >= 0) r = nfa->SetClosure(moved, moved);
                if (r < 0) {
                    moved->Release();
                    return r;
                }
                int32_t target = state_of(moved, sets);
                if (target < 0) return OM_E_OUTOFMEMORY;
                if (states_.count > OM_LEX_MAX_DFA_STATES) return OM_E_FAIL;
                at(s).next[c] = target;
            }
        }
        return OM_S_OK;
    }

    ComRef<ILexRules> inner_;
    OmArray states_{};
};

const OmClassRecord classes[] = {
    {&CLSID_DFALexAnalyser, nullptr, nullptr, OmCreateComponent<DFALexAnalyser>, "DFALexAnalyser"}};

} // namespace

OmResult OmNewDFALexAnalyser(ILexRules** out) {
    return om_new_direct<DFALexAnalyser>(out);
}

OM_DEFINE_MODULE(DFALexAnalyser, classes)
