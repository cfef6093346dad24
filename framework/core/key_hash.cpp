// The shared chained hash table of the keyed tables.
#include "framework/core/key_hash.h"

#include <cstring>

namespace {

void make_empty(OmHashLink* head) {
    head->next = head->previous = head;
}

void push_front(OmHashLink* head, OmHashLink* link) {
    link->next = head->next;
    link->previous = head;
    head->next->previous = link;
    head->next = link;
}

void unlink(OmHashLink* link) {
    link->previous->next = link->next;
    link->next->previous = link->previous;
}

OmHashLink* new_buckets(uint32_t count) {
    auto* buckets = static_cast<OmHashLink*>(OmAllocMemory(sizeof(OmHashLink) * count));
    if (buckets)
        for (uint32_t i = 0; i < count; ++i) make_empty(&buckets[i]);
    return buckets;
}

bool grow(OmKeyHashTable* t) {
    uint32_t count = t->bucket_count * 2;
    if (count == 0) return false;
    OmHashLink* buckets = new_buckets(count);
    if (!buckets) return false;
    uint32_t mask = count - 1;
    for (uint32_t i = 0; i < t->bucket_count; ++i) {
        OmHashLink* head = &t->buckets[i];
        for (OmHashLink* link = head->next; link != head;) {
            OmHashLink* next = link->next;
            auto* node = reinterpret_cast<OmHashNode*>(link);
            push_front(&buckets[om_hash_bytes(node->key, node->key_length) & mask], link);
            link = next;
        }
    }
    OmFreeMemory(t->buckets);
    t->buckets = buckets;
    t->bucket_count = count;
    t->mask = mask;
    return true;
}

} // namespace

uint32_t om_hash_bytes(const void* key, uint32_t length) {
    auto* bytes = static_cast<const uint8_t*>(key);
    uint32_t h = 0, s = 0;
    for (uint32_t i = 0; i < length; ++i) {
        uint32_t c = bytes[i];
        h += (c << s) + (c >> (8 - s));
        s = (s + 1) & 7;
    }
    return h;
}

OmResult om_hash_init(OmKeyHashTable* t, uint32_t load_factor, uint32_t value_size) {
    *t = OmKeyHashTable{};
    t->load_factor = load_factor ? load_factor : OM_HASH_DEFAULT_LOAD_FACTOR;
    t->value_size = value_size;
    t->buckets = new_buckets(1);
    if (!t->buckets) return OM_E_OUTOFMEMORY;
    t->bucket_count = 1;
    OmResult r = OmCreateMemoryPool(uint32_t(OM_HASH_VALUE_OFFSET + value_size), 20, &t->pool);
    if (r < 0) {
        OmFreeMemory(t->buckets);
        *t = OmKeyHashTable{};
        return r;
    }
    return OM_S_OK;
}

void om_hash_destroy(OmKeyHashTable* t) {
    if (t->buckets) om_hash_remove_all(t);
    if (t->pool) t->pool->Release();
    OmFreeMemory(t->buckets);
    *t = OmKeyHashTable{};
}

uint32_t om_hash_bucket_of(const OmKeyHashTable* t, const void* key, uint32_t length) {
    return om_hash_bytes(key, length) & t->mask;
}

OmHashNode* om_hash_find_in_bucket(OmHashLink* head, const void* key, uint32_t length) {
    for (OmHashLink* link = head->next; link != head; link = link->next) {
        auto* node = reinterpret_cast<OmHashNode*>(link);
        if (node->key_length == length && std::memcmp(node->key, key, length) == 0) return node;
    }
    return nullptr;
}

OmHashNode* om_hash_find(const OmKeyHashTable* t, const void* key, uint32_t length) {
    if (!t->buckets) return nullptr;
    return om_hash_find_in_bucket(&t->buckets[om_hash_bucket_of(t, key, length)], key, length);
}

OmHashNode* om_hash_insert(OmKeyHashTable* t, const void* key, uint32_t length, bool* created) {
    if (created) *created = false;
    if (!t->buckets) return nullptr;
    if (OmHashNode* found = om_hash_find(t, key, length)) return found;
    if (uint64_t(t->count) > uint64_t(t->load_factor) * t->bucket_count && !grow(t)) return nullptr;
    auto* node = static_cast<OmHashNode*>(t->pool->Get());
    if (!node) return nullptr;
    if (length <= OM_HASH_INLINE_KEY) {
        node->key = node->inline_key;
        std::memcpy(node->inline_key, key, length);
    } else {
        auto* copy = static_cast<uint8_t*>(OmAllocMemory(length));
        if (!copy) {
            t->pool->Put(node);
            return nullptr;
        }
        std::memcpy(copy, key, length);
        node->key = copy;
    }
    node->key_length = length;
    push_front(&t->buckets[om_hash_bucket_of(t, key, length)], &node->link);
    ++t->count;
    if (created) *created = true;
    return node;
}

void om_hash_remove_node(OmKeyHashTable* t, OmHashNode* node) {
    unlink(&node->link);
    if (node->key != node->inline_key) OmFreeMemory(const_cast<uint8_t*>(node->key));
    t->pool->Put(node);
    --t->count;
}

OmResult om_hash_remove(OmKeyHashTable* t, const void* key, uint32_t length) {
    OmHashNode* node = om_hash_find(t, key, length);
    if (!node) return OM_E_FAIL;
    om_hash_remove_node(t, node);
    return OM_S_OK;
}

OmResult om_hash_for_each(const OmKeyHashTable* t, OmResult (*callback)(OmHashNode*, void*),
                          void* context) {
    for (uint32_t i = 0; i < t->bucket_count; ++i) {
        OmHashLink* head = &t->buckets[i];
        for (OmHashLink* link = head->next; link != head;) {
            OmHashLink* next = link->next;
            OmResult r = callback(reinterpret_cast<OmHashNode*>(link), context);
            if (r < 0) return r;
            link = next;
        }
    }
    return OM_S_OK;
}

OmHashNode* om_hash_next(const OmKeyHashTable* t, const OmHashNode* node) {
    uint32_t bucket = 0;
    if (node) {
        bucket = om_hash_bucket_of(t, node->key, node->key_length);
        OmHashLink* next = node->link.next;
        if (next != &t->buckets[bucket]) return reinterpret_cast<OmHashNode*>(next);
        ++bucket;
    }
    for (; bucket < t->bucket_count; ++bucket) {
        OmHashLink* head = &t->buckets[bucket];
        if (head->next != head) return reinterpret_cast<OmHashNode*>(head->next);
    }
    return nullptr;
}

void om_hash_remove_all(OmKeyHashTable* t) {
    for (uint32_t i = 0; i < t->bucket_count; ++i) {
        OmHashLink* head = &t->buckets[i];
        while (head->next != head)
            om_hash_remove_node(t, reinterpret_cast<OmHashNode*>(head->next));
    }
}
