// OmByteKeyHash over the shared keyed table.
#include "framework/core/byte_key_hash.h"

namespace {

uintptr_t& value_of(OmHashNode* node) {
    return *static_cast<uintptr_t*>(om_hash_value(node));
}

struct ForEachCall {
    OmByteKeyHashCallback callback;
    void* context;
};

} // namespace

OmResult OmByteKeyHashInit(OmByteKeyHash* hash, uint32_t load_factor) {
    return om_hash_init(hash, load_factor, sizeof(uintptr_t));
}

void OmByteKeyHashDestroy(OmByteKeyHash* hash) {
    om_hash_destroy(hash);
}

OmResult OmByteKeyHashSet(OmByteKeyHash* hash, const void* key, uint32_t length, uintptr_t value) {
    OmHashNode* node = om_hash_insert(hash, key, length, nullptr);
    if (!node) return OM_E_OUTOFMEMORY;
    value_of(node) = value;
    return OM_S_OK;
}

uintptr_t OmByteKeyHashGet(const OmByteKeyHash* hash, const void* key, uint32_t length) {
    OmHashNode* node = om_hash_find(hash, key, length);
    return node ? value_of(node) : 0;
}

int32_t OmByteKeyHashHas(const OmByteKeyHash* hash, const void* key, uint32_t length) {
    return om_hash_find(hash, key, length) ? 1 : 0;
}

OmResult OmByteKeyHashRemove(OmByteKeyHash* hash, const void* key, uint32_t length) {
    return om_hash_remove(hash, key, length);
}

OmResult OmByteKeyHashForEach(const OmByteKeyHash* hash, OmByteKeyHashCallback callback,
                              void* context) {
    ForEachCall call{callback, context};
    return om_hash_for_each(
        hash,
        [](OmHashNode* node, void* c) {
            auto* call = static_cast<ForEachCall*>(c);
            return call->callback(node->key, node->key_length, value_of(node), call->context);
        },
        &call);
}

void OmByteKeyHashRemoveAll(OmByteKeyHash* hash) {
    om_hash_remove_all(hash);
}
