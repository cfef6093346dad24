// Registry services: Win32Registry (string values under the maker's key) and the OmReg*
// functions over any root key.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/core/class_ids.h"
#include "platform/os/registry_store.h"

inline constexpr GUID IID_IOmRegistry = om_guid("B5589CC4-E4B7-44F8-AEF7-15A08192ACC3");

// The maker's key below HKEY_LOCAL_MACHINE that registry paths start from.
inline constexpr char OM_REGISTRY_BASE_KEY[] = "Software\\Kestrune";

// Registry paths are '/'-separated below the maker's key; the last part is the value name.
struct IOmRegistry : IUnknown {
    // A non-empty text is stored as a string value (the key is made when missing); a null or
    // empty text deletes the value. OM_E_FAIL.
    virtual OmResult SetValue(const char* path, const char* text) = 0;
    // Reads the value into the buffer, always terminated. OM_E_FAIL when it is missing or does
    // not fit.
    virtual OmResult GetValue(const char* path, char* buffer, uint32_t size) = 0;
    // Deletes the key the whole path names, with all its subkeys. OM_E_FAIL.
    virtual OmResult DeleteKey(const char* path) = 0;
};

OM_DECLARE_MODULE(Win32Registry);

// Each returns 0 or OM_E_FAIL.
// Deletes the key's subkeys depth first, then the key.
OmResult OmRegDeleteKeyTree(uint32_t root, const char* key);
OmResult OmRegDeleteValue(uint32_t root, const char* key, const char* name);
// Reads a value as text into `size` bytes, always terminated; a value that does not fit fails.
OmResult OmRegGetString(uint32_t root, const char* key, const char* name, char* buffer,
                        uint32_t size);
// Makes the key when missing and stores the text as a string value.
OmResult OmRegSetString(uint32_t root, const char* key, const char* name, const char* text);
