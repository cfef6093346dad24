// The lexical analyser interfaces: rules written as regular expressions, the analyser that
// turns a byte stream into tokens, and the NFA state access the deterministic build uses.
#pragma once

#include "framework/containers/bit_field_int_set.h"
#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"

inline constexpr GUID CLSID_NFALexAnalyser = om_guid("8F5F6443-A505-11D4-8716-00C04F7963BA");
inline constexpr GUID CLSID_DFALexAnalyser = om_guid("8F5F6445-A505-11D4-8716-00C04F7963BA");
inline constexpr GUID IID_ILexAnalyser = om_guid("8F5F6442-A505-11D4-8716-00C04F7963BA");
inline constexpr GUID IID_ILexRules = om_guid("9039A286-2FEC-11D5-A4B0-00010239331A");
// The NFA's state access shares its id with the NFA class.
inline constexpr GUID IID_INFAStates = om_guid("8F5F6443-A505-11D4-8716-00C04F7963BA");

struct ILexAnalyser;

// Called by NextToken for a token of a rule that has one, as (analyser, token id, address of
// the id to hand out); it may change that id. A negative result is returned by NextToken.
using OmLexCallback = OmResult (*)(ILexAnalyser* analyser, int32_t token_id, int32_t* token_out);

// Defining token rules. Names compare exactly, case included.
struct ILexRules : IUnknown {
    // Stores a pattern that later patterns may use as {name}; 0 or the store's failure.
    virtual OmResult DefineName(const char* name, const char* pattern) = 0;
    // Copies the stored pattern into buffer (emptied first). OM_E_FAIL for an unknown name or
    // a buffer too small for the pattern and its NUL.
    virtual OmResult GetDefinition(const char* name, char* buffer, uint32_t size) = 0;
    // AddRuleEx without a callback.
    virtual OmResult AddRule(const char* pattern, int32_t token_id) = 0;
    // Adds the pattern as the next rule (rules are numbered from 1; on the same longest match
    // the lower number wins). OM_E_FAIL for a pattern that does not parse; OM_E_OUTOFMEMORY.
    virtual OmResult AddRuleEx(const char* pattern, int32_t token_id, OmLexCallback callback) = 0;
    // NFA: nothing to do, 0. DFA: builds its tables and drops the rules; later rule changes
    // fail with OM_E_FAIL, as does a second Build. Rules whose tables would outgrow the
    // bounds below fail with OM_E_FAIL (the rules stay).
    virtual OmResult Build() = 0;
};

// Bounds of a DFA build: its deterministic states, and the NFA states that all of them stand
// for together. Subset construction can grow exponentially with the rules; beyond these it
// would run for minutes or hours, so such rules are refused instead.
inline constexpr int32_t OM_LEX_MAX_DFA_STATES = 1024;
inline constexpr int64_t OM_LEX_MAX_DFA_SET_MEMBERS = 1 << 18;

// Reading tokens. Slots 15, 16 and 18 are not supported (OM_E_FAIL); 17 is reserved (0).
struct ILexAnalyser : IUnknown {
    // The token id when the longest match covers the whole text, else 0.
    virtual int32_t MatchWhole(const char* text) = 0;
    // Holds the stream (a reference) in place of the previous one; null allowed. 0.
    virtual OmResult SetInput(IByteStream* stream) = 0;
    // The input, no reference added; null when none.
    virtual IByteStream* GetInput() = 0;
    // Reads the longest match at the input's position into the token text (a token id of 0 or
    // below consumes nothing), runs the rule's callback and stores the id; no match gives id 0
    // and an empty text. OM_E_FAIL without an input; the end code when no byte is left; a
    // failed read or the callback's failure.
    virtual OmResult NextToken(int32_t* token_id) = 0;
    virtual int32_t GetTokenId() = 0;
    // Copies the text into the token text. OM_E_FAIL for null; OM_E_OUTOFMEMORY.
    virtual OmResult SetTokenText(const char* text) = 0;
    // The token text, NUL-terminated; valid until the token changes.
    virtual const char* GetTokenText() = 0;
    // MatchStream over a memory stream holding the text; 0 when that cannot be made.
    virtual int32_t MatchText(const char* text, uint32_t* length) = 0;
    // Skips bytes until a match starts, leaves the stream there and returns the token id with
    // the match length; at the end of the stream 0 with length 0; a failed read is returned.
    virtual int32_t MatchStream(IByteStream* stream, uint32_t* length) = 0;
    // The token data (its length through `length` when given).
    virtual const void* GetTokenData(uint32_t* length) = 0;
    // Copies the bytes into the token data. OM_E_FAIL for null bytes with a length;
    // OM_E_OUTOFMEMORY.
    virtual OmResult SetTokenData(const void* data, uint32_t length) = 0;
    // The length of the token text.
    virtual uint32_t GetTokenLength() = 0;
    virtual OmResult Unsupported15() = 0;
    virtual OmResult Unsupported16() = 0;
    virtual OmResult Reserved17() = 0;
    virtual OmResult Unsupported18() = 0;
};

// The NFA's states, numbered from 0 (the start state). Sets are BitFieldIntSets of state
// numbers; every out set is emptied first and may be the input set.
struct INFAStates : IUnknown {
    // The states reachable from `state` by empty moves (the state included). OM_E_FAIL for a
    // state number out of range or a null set.
    virtual OmResult Closure(int32_t state, IBitFieldIntSet* out) = 0;
    // The same for every member of `set`.
    virtual OmResult SetClosure(IBitFieldIntSet* set, IBitFieldIntSet* out) = 0;
    // The successor when the state's character or class admits `character`, else -1.
    virtual int32_t Transition(int32_t state, int32_t character) = 0;
    // A new set of the members' successors on `character`, or null when there are none.
    // OM_E_OUTOFMEMORY; OM_E_FAIL for a null set or out pointer.
    virtual OmResult Move(IBitFieldIntSet* set, int32_t character, IBitFieldIntSet** out) = 0;
    // The state's token id (0 unless accepting) and its callback through `callback`.
    virtual int32_t AcceptInfo(int32_t state, OmLexCallback* callback) = 0;
    // Among the accepting members, the one of the lowest rule number gives the token id and
    // callback; 0 and null when none.
    virtual int32_t SetAccept(IBitFieldIntSet* set, OmLexCallback* callback) = 0;
    // The closure of the start state.
    virtual OmResult StartSet(IBitFieldIntSet* out) = 0;
};

OM_DECLARE_MODULE(NullLexAnalyser);
OM_DECLARE_MODULE(NFALexAnalyser);
OM_DECLARE_MODULE(DFALexAnalyser);

// NullLexAnalyser's class id, made when the program starts.
const GUID& OmNullLexAnalyserClassId();

// Direct creation, without the object manager (one reference). OM_E_OUTOFMEMORY.
OmResult OmNewNullLexAnalyser(ILexAnalyser** out);
OmResult OmNewNFALexAnalyser(ILexRules** out);
OmResult OmNewDFALexAnalyser(ILexRules** out);
