// BitFieldIntSet: a set of non-negative integers kept as a bit field.
#pragma once

#include "framework/containers/object_io.h"
#include "framework/core/class_factory.h"

inline constexpr GUID CLSID_BitFieldIntSet = om_guid("998B04C5-F253-11D1-9BAA-00A0C933BDC4");
inline constexpr GUID IID_IBitFieldIntSet = om_guid("A6D0FEDB-A434-11D4-8716-00C04F7963BA");

// Member n is bit n % 32 of word n / 32. A fresh or cleared set has 8 words (256 bits) inside
// the object; it grows on demand to n + 8 words when word n - 1 is needed. The other set of a
// two-set operation must be a BitFieldIntSet; any other object (or null) counts as "not a
// set".
struct IBitFieldIntSet : IObjectIO {
    // Clone: a new set with the same words (flags ignored); OM_E_OUTOFMEMORY. Write is not
    // supported: OM_E_FAIL.

    // The number of members.
    virtual int32_t Count() = 0;
    // Grows both sets to the larger word count (a growth that fails is skipped: the missing
    // words read as zero), then compares word by word from word 0: the first unequal pair that
    // shares a bit gives 1; when no unequal pair shares a bit, -1; all equal, 0. Not a set: 0.
    virtual int32_t Relation(IBitFieldIntSet* other) = 0;
    // The first unequal word pair (this word minus the other, as signed 32 bits) over the
    // common words; else a non-zero word beyond them gives 1 in this set, -1 in the other;
    // else 0. The same object or not a set: 0.
    virtual int32_t Compare(IBitFieldIntSet* other) = 0;
    // 1 when every member of the other set is a member of this one, else 0 (not a set: 0).
    virtual int32_t ContainsAll(IBitFieldIntSet* other) = 0;
    // Grows this set to the other's word count, then by `op`: '&' and, '=' copy (this set's
    // further words cleared by either), '^' xor, '|' or; any other character leaves the words.
    // 0; OM_E_FAIL for not a set; OM_E_OUTOFMEMORY (unchanged).
    virtual OmResult Combine(IBitFieldIntSet* other, char op) = 0;
    // Inverts every word held, so non-members up to the capacity become members; 0.
    virtual OmResult Invert() = 0;
    // Back to the 8 zero words inside the object; 0.
    virtual OmResult Clear() = 0;
    // Makes n a member, growing when needed. 0; OM_E_OUTOFMEMORY (unchanged); OM_E_FAIL for a
    // negative n.
    virtual OmResult Add(int32_t n) = 0;
    // Makes n a non-member; 0.
    virtual OmResult Remove(int32_t n) = 0;
    // 1 when n is a member, else 0.
    virtual int32_t Contains(int32_t n) = 0;
    // The smallest member, or -1 when empty.
    virtual int32_t First() = 0;
    // The smallest member greater than n, or -1 when there is none.
    virtual int32_t Next(int32_t n) = 0;
};

OM_DECLARE_MODULE(BitFieldIntSet);

// A new empty BitFieldIntSet, made directly. OM_E_OUTOFMEMORY.
OmResult OmNewBitFieldIntSet(IBitFieldIntSet** out);
