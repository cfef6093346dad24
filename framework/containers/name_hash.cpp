// OmNameHash over the shared keyed table; names are stored with their terminator.
#include "framework/containers/name_hash.h"

#include <cstring>

namespace {

uint32_t stored_length(const char* name) {
    return uint32_t(std::strlen(name) + 1);
}

void*& value_of(OmHashNode* node) {
    return *static_cast<void**>(om_hash_value(node));
}

struct ForEachCall {
    OmNameHashCallback callback;
    void* context;
};

} // namespace

OmResult OmNameHashInit(OmNameHash* hash, uint32_t load_factor) {
    return om_hash_init(hash, load_factor, sizeof(void*));
}

void OmNameHashDestroy(OmNameHash* hash) {
    om_hash_destroy(hash);
}

OmResult OmNameHashSet(OmNameHash* hash, const char* name, void* value) {
    if (!name) return OM_E_FAIL;
    OmHashNode* node = om_hash_insert(hash, name, stored_length(name), nullptr);
    if (!node) return OM_E_OUTOFMEMORY;
    value_of(node) = value;
    return OM_S_OK;
}

void* OmNameHashGet(const OmNameHash* hash, const char* name) {
    OmHashNode* node = name ? om_hash_find(hash, name, stored_length(name)) : nullptr;
    return node ? value_of(node) : nullptr;
}

int32_t OmNameHashHas(const OmNameHash* hash, const char* name) {
    return name && om_hash_find(hash, name, stored_length(name)) ? 1 : 0;
}

OmResult OmNameHashRemove(OmNameHash* hash, const char* name) {
    return name ? om_hash_remove(hash, name, stored_length(name)) : OM_E_FAIL;
}

OmResult OmNameHashForEach(const OmNameHash* hash, OmNameHashCallback callback, void* context) {
    ForEachCall call{callback, context};
    return om_hash_for_each(
        hash,
        [](OmHashNode* node, void* c) {
            auto* call = static_cast<ForEachCall*>(c);
            return call->callback(reinterpret_cast<const char*>(node->key), value_of(node),
                                  call->context);
        },
        &call);
}

void OmNameHashClear(OmNameHash* hash) {
    om_hash_remove_all(hash);
}
