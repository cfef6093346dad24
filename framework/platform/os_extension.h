// Win32OSExt: opening documents and web pages with their associated program, starting other
// programs, making GUIDs, and named mutexes shared by the machine's processes.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/core/class_ids.h"
#include "platform/os/named_mutex.h"

inline constexpr GUID IID_IOmOSExt = om_guid("96EEBB35-632B-4712-A92E-4DFA50D0EB2C");

// CreateMutex: the named mutex exists (another holder owns it).
inline constexpr OmResult OM_E_MUTEX_EXISTS = int32_t(0x80050601u);

using OmMutexHandle = platform::NamedMutex*;

// Spawn modes.
inline constexpr uint32_t OM_SPAWN_DEFAULT = 0; // the program-wide setting
inline constexpr uint32_t OM_SPAWN_WAIT = 1;
inline constexpr uint32_t OM_SPAWN_NOWAIT = 2;

// The longest open command read from the registry.
inline constexpr uint32_t OM_OPEN_COMMAND_SIZE = 1024;

struct IOmOSExt : IUnknown {
    // Does nothing; 0.
    virtual OmResult Reserved(void* argument) = 0;
    // Opens the target with the program registered for the file type (an extension, looked up
    // under "Software\Classes" of the machine registry) or, without a type, with the system's
    // opener. OM_E_FAIL when no program is found or it does not start.
    virtual OmResult ShellOpen(const char* file_type, const char* target) = 0;
    // ShellOpen of a portable path, relative to the program directory unless it starts with
    // '/' or a drive. OM_E_FAIL.
    virtual OmResult OpenDocument(const char* path) = 0;
    // Starts a program (portable path) with a null-terminated argument list; argument 0 is a
    // single blank. OM_SPAWN_WAIT waits for it; OM_SPAWN_DEFAULT follows the program-wide
    // setting; other modes do not wait. OM_E_FAIL when it cannot be started.
    virtual OmResult Spawn(uint32_t mode, const char* path, const char* const* args) = 0;
    // A new GUID. OM_E_FAIL when no random source can be read.
    virtual OmResult CreateGuid(GUID* out) = 0;
    // A named mutex owned by the caller. OM_E_MUTEX_EXISTS when another holder owns it,
    // OM_E_FAIL when it cannot be made.
    virtual OmResult CreateMutex(const char* name, OmMutexHandle* out) = 0;
    // A handle on a mutex some holder owns. OM_E_FAIL when there is none.
    virtual OmResult OpenMutex(const char* name, OmMutexHandle* out) = 0;
    // 0.
    virtual OmResult ReleaseMutex(OmMutexHandle mutex) = 0;
    virtual OmResult CloseHandle(OmMutexHandle mutex) = 0;
};

OM_DECLARE_MODULE(Win32OSExt);

// The mode OM_SPAWN_DEFAULT stands for (OM_SPAWN_NOWAIT at start).
void OmSetSpawnMode(uint32_t mode);
uint32_t OmGetSpawnMode();
