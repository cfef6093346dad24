// OmStrKeyHash over the shared keyed table; keys are stored with their terminator.
#include "framework/containers/str_key_hash.h"

#include <cstring>

namespace {

uint32_t stored_length(const char* key) {
    return uint32_t(std::strlen(key) + 1);
}

struct ForEachCall {
    OmStrKeyHashCallback callback;
    void* context;
};

} // namespace

OmResult OmStrKeyHashInit(OmStrKeyHash* hash, uint32_t load_factor, uint32_t value_size) {
    return om_hash_init(hash, load_factor, value_size);
}

void OmStrKeyHashDestroy(OmStrKeyHash* hash) {
    om_hash_destroy(hash);
}

uint32_t OmStrKeyHashHash(const OmStrKeyHash* hash, const char* key) {
    return om_hash_bucket_of(hash, key, stored_length(key));
}

OmHashNode* OmStrKeyHashFindInBucket(OmHashLink* head, const char* key) {
    return om_hash_find_in_bucket(head, key, stored_length(key));
}

void* OmStrKeyHashFind(const OmStrKeyHash* hash, const char* key) {
    OmHashNode* node = om_hash_find(hash, key, stored_length(key));
    return node ? om_hash_value(node) : nullptr;
}

void* OmStrKeyHashInsert(OmStrKeyHash* hash, const char* key) {
    OmHashNode* node = om_hash_insert(hash, key, stored_length(key), nullptr);
    return node ? om_hash_value(node) : nullptr;
}

OmResult OmStrKeyHashRemove(OmStrKeyHash* hash, const char* key) {
    return om_hash_remove(hash, key, stored_length(key));
}

OmResult OmStrKeyHashForEach(OmStrKeyHash* hash, OmStrKeyHashCallback callback, void* context) {
    ForEachCall call{callback, context};
    return om_hash_for_each(
        hash,
        [](OmHashNode* node, void* c) {
            auto* call = static_cast<ForEachCall*>(c);
            return call->callback(reinterpret_cast<const char*>(node->key), om_hash_value(node),
                                  call->context);
        },
        &call);
}

void OmStrKeyHashRemoveAll(OmStrKeyHash* hash) {
    OmStrKeyHashForEach(
        hash,
        [](const char* key, void*, void* h) {
            return OmStrKeyHashRemove(static_cast<OmStrKeyHash*>(h), key);
        },
        hash);
}
