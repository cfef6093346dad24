// The machine registry's stand-in: keys holding typed values, kept in one text file in the
// program's settings directory and shared by every process through a lock file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Root keys.
inline constexpr uint32_t HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr uint32_t HKEY_CURRENT_USER = 0x80000001u;
inline constexpr uint32_t HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr uint32_t HKEY_USERS = 0x80000003u;

// Value types.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;

enum class RegStatus {
    ok,
    not_found, // no such root, key or value
    more_data, // the value is larger than the caller's buffer (its size is reported)
    has_subkeys,
    failed, // the store could not be read or written
};

// Key paths are '\'-separated below a root (empty components are ignored); key and value
// names compare ignoring ASCII case, as the system's registry does, and keep the case they
// were created with.

// Creates the key and every missing parent.
RegStatus reg_create_key(uint32_t root, std::string_view key);
bool reg_key_exists(uint32_t root, std::string_view key);
// Sets a value (the key is created when missing). An empty name is the key's default value.
RegStatus reg_set_value(uint32_t root, std::string_view key, std::string_view name, uint32_t type,
                        const void* data, size_t size);
// Reads a value: *size is the buffer's size on entry and the value's size on return. A null
// `data` only asks for the size; a buffer that is too small gives more_data and is left alone.
RegStatus reg_query_value(uint32_t root, std::string_view key, std::string_view name,
                          uint32_t* type, void* data, uint32_t* size);
RegStatus reg_delete_value(uint32_t root, std::string_view key, std::string_view name);
// Deletes a key that has no subkeys (has_subkeys otherwise).
RegStatus reg_delete_key(uint32_t root, std::string_view key);
// The name of the index-th direct subkey, in creation order; not_found past the last one.
RegStatus reg_enum_subkey(uint32_t root, std::string_view key, uint32_t index, std::string* name);

// Where the registry file lives: $XDG_CONFIG_HOME/corvel, else ~/.config/corvel, unless set
// (tests point it at a directory of their own; empty restores the default).
void set_settings_dir(std::string dir);
std::string settings_dir();
std::string registry_file_path();

} // namespace platform
