// The relation store: a forward and a reverse table whose values are sets of ids.
#include "framework/core/relation_store.h"

#include <new>

namespace {

constexpr uint32_t id_size = sizeof(GUID);

OmByteKeyHash* set_of(const OmByteKeyHash& table, const GUID& key) {
    return reinterpret_cast<OmByteKeyHash*>(OmByteKeyHashGet(&table, &key, id_size));
}

void free_set(OmByteKeyHash* set) {
    OmByteKeyHashDestroy(set);
    OmFreeMemory(set);
}

// Puts `member` in table[key], making the set when missing; failure changes nothing.
OmResult insert_into(OmByteKeyHash& table, const GUID& key, const GUID& member) {
    OmByteKeyHash* set = set_of(table, key);
    bool made = false;
    if (!set) {
        set = static_cast<OmByteKeyHash*>(OmAllocMemory(sizeof(OmByteKeyHash)));
        if (!set) return OM_E_OUTOFMEMORY;
        OmResult r = OmByteKeyHashInit(set, 0);
        if (r < 0) {
            OmFreeMemory(set);
            return r;
        }
        r = OmByteKeyHashSet(&table, &key, id_size, reinterpret_cast<uintptr_t>(set));
        if (r < 0) {
            free_set(set);
            return r;
        }
        made = true;
    }
    OmResult r = OmByteKeyHashSet(set, &member, id_size, 0);
    if (r < 0 && made) {
        OmByteKeyHashRemove(&table, &key, id_size);
        free_set(set);
    }
    return r;
}

// Takes `member` out of table[key]; an emptied set is freed.
void erase_from(OmByteKeyHash& table, const GUID& key, const GUID& member) {
    OmByteKeyHash* set = set_of(table, key);
    if (!set) return;
    OmByteKeyHashRemove(set, &member, id_size);
    if (set->count == 0) {
        OmByteKeyHashRemove(&table, &key, id_size);
        free_set(set);
    }
}

// Removes table[key] entirely and takes `key` out of every `other` set that held it.
void remove_all_of(OmByteKeyHash& table, OmByteKeyHash& other, const GUID& key) {
    OmByteKeyHash* set = set_of(table, key);
    if (!set) return;
    struct Context {
        OmByteKeyHash* other;
        const GUID* key;
    } context{&other, &key};
    OmByteKeyHashForEach(
        set,
        [](const void* member, uint32_t, uintptr_t, void* c) {
            auto* context = static_cast<Context*>(c);
            erase_from(*context->other, *static_cast<const GUID*>(member), *context->key);
            return OM_S_OK;
        },
        &context);
    OmByteKeyHashRemove(&table, &key, id_size);
    free_set(set);
}

void free_all_sets(OmByteKeyHash& table) {
    if (!table.buckets) return;
    OmByteKeyHashForEach(
        &table,
        [](const void*, uint32_t, uintptr_t set, void*) {
            free_set(reinterpret_cast<OmByteKeyHash*>(set));
            return OM_S_OK;
        },
        nullptr);
    OmByteKeyHashDestroy(&table);
}

} // namespace

OmResult om_guid_table_next(const OmByteKeyHash* table, GUID* cursor) {
    if (!cursor) return OM_E_FAIL;
    const OmHashNode* node = nullptr;
    if (!om_guid_is_null(*cursor)) {
        node = table ? om_hash_find(table, cursor, id_size) : nullptr;
        if (!node) return OM_E_FAIL;
    }
    const OmHashNode* next = table ? om_hash_next(table, node) : nullptr;
    if (!next) {
        *cursor = GUID_NULL;
        return OM_E_FAIL;
    }
    std::memcpy(cursor, next->key, id_size);
    return OM_S_OK;
}

OmResult OmRelationStore::init() {
    forward_ = {};
    reverse_ = {};
    OmResult r = OmByteKeyHashInit(&forward_, 0);
    if (r < 0) return r;
    r = OmByteKeyHashInit(&reverse_, 0);
    if (r < 0) OmByteKeyHashDestroy(&forward_);
    return r;
}

void OmRelationStore::destroy() {
    free_all_sets(forward_);
    free_all_sets(reverse_);
}

OmResult OmRelationStore::add(const GUID& a, const GUID& b) {
    OmByteKeyHash* existing = set_of(forward_, a);
    if (existing && OmByteKeyHashHas(existing, &b, id_size)) return OM_S_OK;
    OmResult r = insert_into(forward_, a, b);
    if (r < 0) return r;
    r = insert_into(reverse_, b, a);
    if (r < 0) erase_from(forward_, a, b);
    return r;
}

void OmRelationStore::remove_forward(const GUID& a) {
    remove_all_of(forward_, reverse_, a);
}

void OmRelationStore::remove_reverse(const GUID& b) {
    remove_all_of(reverse_, forward_, b);
}

OmResult OmRelationStore::set_forward(const GUID& a, const GUID* list) {
    remove_forward(a);
    for (; list && !om_guid_is_null(*list); ++list) {
        OmResult r = add(a, *list);
        if (r < 0) return r;
    }
    return OM_S_OK;
}

OmResult OmRelationStore::set_reverse(const GUID& b, const GUID* list) {
    remove_reverse(b);
    for (; list && !om_guid_is_null(*list); ++list) {
        OmResult r = add(*list, b);
        if (r < 0) return r;
    }
    return OM_S_OK;
}

OmResult OmRelationStore::next_forward(const GUID& a, GUID* cursor) const {
    return om_guid_table_next(set_of(forward_, a), cursor);
}

OmResult OmRelationStore::next_reverse(const GUID& b, GUID* cursor) const {
    return om_guid_table_next(set_of(reverse_, b), cursor);
}
