// Pairs (a, b) of ids kept in both directions, as the class registry relates classes to
// categories, second lists and treat-as targets.
#pragma once

#include "framework/core/byte_key_hash.h"
#include "framework/core/guid.h"

class OmRelationStore {
public:
    OmResult init();
    // Frees every set and both tables.
    void destroy();

    // OM_E_OUTOFMEMORY leaves the store as it was.
    OmResult add(const GUID& a, const GUID& b);
    // Removes every pair (a, x), keeping the reverse direction consistent.
    void remove_forward(const GUID& a);
    // Removes every pair (x, b).
    void remove_reverse(const GUID& b);
    // Replaces the pairs (a, x) by (a, g) for each g of a zero-terminated list (or none).
    OmResult set_forward(const GUID& a, const GUID* list);
    // Replaces the pairs (x, b) by (g, b) for each g of the list.
    OmResult set_reverse(const GUID& b, const GUID* list);

    // Step a cursor through the ids related to `a` (forward) or to `b` (reverse).
    OmResult next_forward(const GUID& a, GUID* cursor) const;
    OmResult next_reverse(const GUID& b, GUID* cursor) const;

    // Ids that have at least one forward pair.
    uint32_t forward_count() const { return forward_.count; }

private:
    OmByteKeyHash forward_;
    OmByteKeyHash reverse_;
};

// Steps *cursor through the GUID keys of a table in walk order: a zero cursor yields the
// first key. 0 while a key is produced; at the end the cursor is cleared and OM_E_FAIL
// returned; a cursor that is not a key of the table (or a missing table) fails too.
OmResult om_guid_table_next(const OmByteKeyHash* table, GUID* cursor);
