// IMusic: the music interface of MetaMusic (the entries of music.ini) and of the players it
// drives.
#pragma once

#include "framework/core/unknown.h"

#include <cstdint>

inline constexpr GUID IID_IMusic = om_guid("DB0A33BC-C84F-11D4-871E-00C04F7963BA");
// MetaMusic, the game's one music component.
inline constexpr GUID CLSID_MetaMusic = om_guid("7C1E52A0-3B6D-4F0E-9A41-2D5E8B7C6F13");

struct IMusic : IUnknown {
    // Settings from a collection or parameter hash (may be null).
    virtual OmResult Init(IUnknown* object) = 0;
    virtual OmResult Play(uint32_t flags) = 0;
    virtual OmResult Pause() = 0;
    virtual OmResult Stop() = 0;
    virtual OmResult Eject() = 0;
    // Number of entries.
    virtual int32_t GetCount() = 0;
    virtual OmResult Select(int32_t entry) = 0;
    // The selected entry (-1 before any).
    virtual int32_t GetSelection() = 0;
    virtual OmResult GetStatus(uint32_t* flags) = 0;
    // Milliseconds.
    virtual int32_t GetLength() = 0;
    virtual OmResult SetPosition(int32_t milliseconds) = 0;
    virtual int32_t GetPosition() = 0;
    // 0..1.
    virtual OmResult SetVolume(float level) = 0;
    virtual float GetVolume() = 0;
};
