// The OmReg* functions over the registry stand-in.
#include "framework/platform/registry.h"

#include <cstring>
#include <string>

using platform::RegStatus;

OmResult OmRegDeleteKeyTree(uint32_t root, const char* key) {
    if (!key) return OM_E_FAIL;
    std::string subkey;
    // Always the first subkey: each one is gone once its own tree is deleted.
    while (platform::reg_enum_subkey(root, key, 0, &subkey) == RegStatus::ok) {
        std::string child = std::string(key) + "\\" + subkey;
        if (OmRegDeleteKeyTree(root, child.c_str()) < 0) return OM_E_FAIL;
    }
    return platform::reg_delete_key(root, key) == RegStatus::ok ? OM_S_OK : OM_E_FAIL;
}

OmResult OmRegDeleteValue(uint32_t root, const char* key, const char* name) {
    if (!key || !name) return OM_E_FAIL;
    return platform::reg_delete_value(root, key, name) == RegStatus::ok ? OM_S_OK : OM_E_FAIL;
}

OmResult OmRegGetString(uint32_t root, const char* key, const char* name, char* buffer,
                        uint32_t size) {
    if (!key || !name || !buffer || size == 0) return OM_E_FAIL;
    uint32_t length = size;
    if (platform::reg_query_value(root, key, name, nullptr, buffer, &length) != RegStatus::ok)
        return OM_E_FAIL;
    // A stored value need not end with a terminator; one that leaves no room for it fails
    // rather than handing back an unterminated string.
    if (length > 0 && buffer[length - 1] == '\0') return OM_S_OK;
    if (length >= size) return OM_E_FAIL;
    buffer[length] = '\0';
    return OM_S_OK;
}

OmResult OmRegSetString(uint32_t root, const char* key, const char* name, const char* text) {
    if (!key || !name || !text) return OM_E_FAIL;
    return platform::reg_set_value(root, key, name, platform::REG_SZ, text,
                                   std::strlen(text) + 1) == RegStatus::ok
               ? OM_S_OK
               : OM_E_FAIL;
}
