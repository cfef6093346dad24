// Engine error recording: the first error since start wins.
#pragma once

#include "engine/core/lg_types.h"

// Plug-in groups of errors.
constexpr uint32_t LgErrorGroupGeneric = 0;
constexpr uint32_t LgErrorGroupCore = 1;
constexpr uint32_t LgErrorGroupWorld = 2;

// Generic codes (bit 31 set; recorded with group 0).
constexpr int32_t LgErrBadState = static_cast<int32_t>(0x80000001);
constexpr int32_t LgErrFileOpen = static_cast<int32_t>(0x80000002);
constexpr int32_t LgErrInvalidArgument = static_cast<int32_t>(0x80000003);
constexpr int32_t LgErrBadChunkVersion = static_cast<int32_t>(0x80000004);
constexpr int32_t LgErrFileNotFound = static_cast<int32_t>(0x80000008);
constexpr int32_t LgErrBadImage = static_cast<int32_t>(0x80000009);
constexpr int32_t LgErrDevice0C = static_cast<int32_t>(0x8000000c);
constexpr int32_t LgErrDevice0D = static_cast<int32_t>(0x8000000d);
constexpr int32_t LgErrDevice0F = static_cast<int32_t>(0x8000000f);
constexpr int32_t LgErrOutOfMemory = static_cast<int32_t>(0x80000013);
constexpr int32_t LgErrNullArgument = static_cast<int32_t>(0x80000016);
constexpr int32_t LgErrPluginWhileOpen = static_cast<int32_t>(0x80000017);
constexpr int32_t LgErrShortRead = static_cast<int32_t>(0x8000001a);
constexpr int32_t LgErrFileWrite = static_cast<int32_t>(0x8000001c);
// Codes of the raising plug-in (positive).
constexpr int32_t LgErrDriver = 2;
constexpr int32_t LgErrEndOfStream = 5;
constexpr int32_t LgErrResources = 11;
constexpr int32_t LgErrBadAccess = 12;
constexpr int32_t LgErrBadStreamType = 13;
constexpr int32_t LgErrNoCurrentCamera = 15;
constexpr int32_t LgErrRequestRefused = 23;
constexpr int32_t LgErrZeroVector = 24;

// The empty slot.
constexpr LgError LgErrorNone = {0, static_cast<int32_t>(0x80000000)};

// Records the error unless one was recorded since start; returns the pointer. The code's
// group is kept only for codes without bit 31.
const LgError* LgErrorSet(const LgError* error);

// Returns its code; the further arguments (a message text) are accepted and ignored.
int32_t LgErrorCode(int32_t code, ...);

// Copies the recorded error (LgErrorNone when there is none) into out; returns out.
LgError* LgErrorGet(LgError* out);

// Shorthand used throughout the engine: records {group, code}.
void LgErrorRaise(uint32_t group, int32_t code);

// Error module (engine module 0x40f).
void* LgErrorOpen(void* instance, int32_t offset, int32_t size);
void* LgErrorClose(void* instance, int32_t offset, int32_t size);

// Empties the slot used outside start..stop (engine init does this).
void LgErrorResetUnstarted();
