// The mission interface the game calls: loading, starting (which populates the game),
// per-frame update, the clock and editor drawing, text, evaluation, spawning and plane types.
#pragma once

#include "game/rules/tv_mission_entries.h"

struct ITvGame;

// Mission outcome codes (the game adds kTvOutcomeNoPlayer).
inline constexpr int32_t kTvOutcomeRunning = 0;
inline constexpr int32_t kTvOutcomeAccomplished = 16;
inline constexpr int32_t kTvOutcomeNoPlayer = 33;
inline constexpr int32_t kTvOutcomeFailed = 34;
inline constexpr int32_t kTvOutcomeTimeUp = 36;

struct ITvMission : IUnknown {
    // Reads "missions\<number>\mission.ini"; the player plane name (64 characters) is
    // read or written. 0, OM_E_FAIL or the failing create's result.
    virtual OmResult LoadMission(int32_t number, char* player_plane_name) = 0;
    // Releases archetypes, landscape and the text chain. 0.
    virtual OmResult Unload() = 0;
    // Advances the mission time. 0.
    virtual OmResult Update() = 0;
    // Attaches to the game and creates the live objects of every entry. 0.
    virtual OmResult Start(ITvGame* game) = 0;
    virtual OmResult SaveMission(int32_t number) = 0;
    // The mission's own drawing for the camera (the argument is not used). 0.
    virtual OmResult DrawClock(ITvObject* camera) = 0;
    // The editor overlay (the argument is not used). 0.
    virtual OmResult DrawEditorInfo(ITvObject* camera) = 0;
    // Colour: bytes red, green, blue, alpha in a word; 0 is opaque white.
    virtual OmResult DrawText(float x, float y, const char* text, uint32_t colour) = 0;
    virtual OmResult HandleEditorInput(const TvEvent* event) = 0;
    // The outcome code (kTvOutcome*), also kept by the mission.
    virtual int32_t Evaluate() = 0;
    virtual int32_t GetScore() = 0;
    // The spawn operations return the new object with its creation reference, or null.
    virtual ITvObject* SpawnAirEntry(TvMissionAirEntry* entry, const GUID& clsid) = 0;
    virtual ITvObject* SpawnGroundEntry(TvMissionGroundEntry* entry, const GUID& clsid) = 0;
    virtual ITvObject* SpawnVehicleEntry(TvMissionVehicleEntry* entry, const GUID& clsid) = 0;
    // OM_E_FAIL when no plane type has the name.
    virtual OmResult FillAirEntry(const char* plane_name, TvMissionAirEntry* entry) = 0;
    virtual OmResult ChangePlaneType(ITvObject* plane, const char* plane_name) = 0;
    virtual int32_t GetReinforcementsEarned(int32_t value) = 0;
};
