// Named mutexes shared by every process of the machine: an exclusive flock on a lock file named
// after the mutex, in a lock directory.
#pragma once

#include <string>
#include <string_view>

namespace platform {

struct NamedMutex;

enum class MutexStatus { created, already_exists, failed };

// Creates the named mutex owned by the caller. When another holder (this process included)
// owns it, returns null with already_exists; failed when the lock file cannot be made.
NamedMutex* create_named_mutex(std::string_view name, MutexStatus* status = nullptr);
// A handle on a mutex that some holder owns now; null when nobody does (no such mutex).
NamedMutex* open_named_mutex(std::string_view name);
// Gives up ownership (the handle stays valid). False when the handle does not own it.
bool release_named_mutex(NamedMutex* mutex);
// Releases ownership if held and frees the handle; null is accepted.
void close_named_mutex(NamedMutex* mutex);

// The directory that holds the lock files: $XDG_RUNTIME_DIR, else the temporary directory,
// unless set (tests point it at a directory of their own; empty restores the default).
void set_lock_dir(std::string dir);
std::string lock_dir();
// The lock file of a name (characters that cannot appear in a file name become '_').
std::string lock_file_path(std::string_view name);

} // namespace platform
