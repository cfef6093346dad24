// NFALexAnalyser: rules kept as one nondeterministic automaton and matched by simulating it.
#include "framework/containers/com_hash.h"
#include "framework/containers/new_direct.h"
#include "framework/io/lex_analyser_object.h"
#include "framework/io/lex_pattern.h"

#include <cstring>

namespace {

class NFALexAnalyser final : public LexAnalyserObject<NFALexAnalyser, ILexRules, INFAStates> {
public:
    ~NFALexAnalyser() {
        if (definitions_) definitions_->Release();
        OmArrayFree(&scratch_);
    }
    OmResult init() {
        OmArrayInit(&scratch_, sizeof(int32_t));
        OmResult r = nfa_.init();
        if (r < 0) return r;
        return OmCreateObjHash(nullptr, &definitions_);
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_ILexRules, static_cast<ILexRules*>(this)},
                                   {&IID_INFAStates, static_cast<INFAStates*>(this)},
                                   {&IID_ILexAnalyser, static_cast<ILexAnalyser*>(this)}});
    }

    // ILexRules

    OmResult DefineName(const char* name, const char* pattern) override {
        if (!name || !pattern) return OM_E_FAIL;
        return definitions_->SetString(name, pattern);
    }
    OmResult GetDefinition(const char* name, char* buffer, uint32_t size) override {
        if (!buffer || !size) return OM_E_FAIL;
        buffer[0] = '\0';
        const char* pattern = name ? definitions_->GetString(name, nullptr) : nullptr;
        if (!pattern) return OM_E_FAIL;
        size_t length = std::strlen(pattern);
        if (length + 1 > size) return OM_E_FAIL;
        std::memcpy(buffer, pattern, length + 1);
        return OM_S_OK;
    }
    OmResult AddRule(const char* pattern, int32_t token_id) override {
        return AddRuleEx(pattern, token_id, nullptr);
    }
    OmResult AddRuleEx(const char* pattern, int32_t token_id, OmLexCallback callback) override {
        if (!pattern) return OM_E_FAIL;
        int32_t first_new = nfa_.count();
        LexPatternResult rule = OmLexParsePattern(&nfa_, pattern, lookup, definitions_);
        // Diagnostics go nowhere: a rule that does not parse is simply refused.
        if (rule.error == LEX_E_MEMORY) return OM_E_OUTOFMEMORY;
        if (rule.error != LEX_PATTERN_OK) return OM_E_FAIL;
        LexNfaState& accept = nfa_.at(rule.end);
        accept.token_id = token_id;
        accept.callback = callback;
        accept.priority = nfa_.next_rule_number();
        accept.anchor = rule.anchor;
        if (nfa_.add_alternative(rule.start) < 0) {
            nfa_.truncate(first_new);
            return OM_E_OUTOFMEMORY;
        }
        nfa_.count_rule();
        return OM_S_OK;
    }
    OmResult Build() override { return OM_S_OK; }

    // INFAStates

    OmResult Closure(int32_t state, IBitFieldIntSet* out) override {
        if (!valid(state) || !out) return OM_E_FAIL;
        OmResult r = begin_scratch();
        if (r < 0) return r;
        if ((r = nfa_.add_closure(state, &scratch_)) < 0) return r;
        return scratch_to(out);
    }
    OmResult SetClosure(IBitFieldIntSet* set, IBitFieldIntSet* out) override {
        if (!set || !out) return OM_E_FAIL;
        OmResult r = begin_scratch();
        if (r < 0) return r;
        for (int32_t s = set->First(); s >= 0; s = set->Next(s)) {
            if (valid(s) && (r = nfa_.add_closure(s, &scratch_)) < 0) return r;
        }
        return scratch_to(out);
    }
    int32_t Transition(int32_t state, int32_t character) override {
        if (!valid(state) || character < 0 || character > 255) return -1;
        return nfa_.transition(state, uint32_t(character));
    }
    OmResult Move(IBitFieldIntSet* set, int32_t character, IBitFieldIntSet** out) override {
        if (!set || !out) return OM_E_FAIL;
        *out = nullptr;
        ComRef<IBitFieldIntSet> moved;
        for (int32_t s = set->First(); s >= 0; s = set->Next(s)) {
            int32_t successor = Transition(s, character);
            if (successor < 0) continue;
            if (!moved) {
                OmResult r = OmNewBitFieldIntSet(moved.put());
                if (r < 0) return r;
            }
            OmResult r = moved->Add(successor);
            if (r < 0) return r;
        }
        *out = moved.detach();
        return OM_S_OK;
    }
    int32_t AcceptInfo(int32_t state, OmLexCallback* callback) override {
        if (callback) *callback = nullptr;
        if (!valid(state) || nfa_.at(state).priority <= 0) return 0;
        if (callback) *callback = nfa_.at(state).callback;
        return nfa_.at(state).token_id;
    }
    int32_t SetAccept(IBitFieldIntSet* set, OmLexCallback* callback) override {
        if (callback) *callback = nullptr;
        if (!set) return 0;
        int32_t best = -1;
        for (int32_t s = set->First(); s >= 0; s = set->Next(s)) {
            if (!valid(s) || nfa_.at(s).priority <= 0) continue;
            if (best < 0 || nfa_.at(s).priority < nfa_.at(best).priority) best = s;
        }
        return best < 0 ? 0 : AcceptInfo(best, callback);
    }
    OmResult StartSet(IBitFieldIntSet* out) override { return Closure(0, out); }

    OmResult longest_match(IByteStream* stream, LexMatch* match) {
        return nfa_.longest_match(stream, match);
    }

private:
    static const char* lookup(const char* name, void* definitions) {
        return static_cast<IObjHash*>(definitions)->GetString(name, nullptr);
    }
    bool valid(int32_t state) const { return state >= 0 && state < nfa_.count(); }

    OmResult begin_scratch() {
        scratch_.count = 0;
        return nfa_.begin_round();
    }
    OmResult scratch_to(IBitFieldIntSet* out) {
        out->Clear();
        for (int32_t i = 0; i < scratch_.count; ++i) {
            OmResult r = out->Add(*static_cast<int32_t*>(OmArrayAtUnchecked(&scratch_, i)));
            if (r < 0) return r;
        }
        return OM_S_OK;
    }

    LexNfa nfa_;
    IObjHash* definitions_ = nullptr;
    OmArray scratch_{};
};

const OmClassRecord classes[] = {
    {&CLSID_NFALexAnalyser, nullptr, nullptr, OmCreateComponent<NFALexAnalyser>, "NFALexAnalyser"}};

} // namespace

OmResult OmNewNFALexAnalyser(ILexRules** out) {
    return om_new_direct<NFALexAnalyser>(out);
}

OM_DEFINE_MODULE(NFALexAnalyser, classes)
