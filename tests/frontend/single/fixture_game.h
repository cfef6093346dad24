// A game component for the front end's tests: it records what the front end asks of it, ends
// its mission with a scripted outcome after a number of frame-loop updates, and lets a test
// act at a chosen update (post input, ask to quit).
#pragma once

#include "framework/core/component.h"
#include "game/rules/tv_game.h"

#include <functional>
#include <string>
#include <vector>

namespace singletest {

class FixtureGame : public ITvGame {
public:
    // What the front end asked, in order ("create 4", "destroy", "restart", "outcome 48").
    std::vector<std::string> calls;
    // The settings Create was given, as they were then.
    TvGameSettings created{};
    OmResult create_result = OM_S_OK;
    // The outcome GetOutcome reports once `outcome_after` frames were drawn after Create.
    int32_t outcome = 0x10;
    int32_t outcome_after = 3;
    int32_t mission_result = 0;
    TvPlayerScore score{};
    // Called after each frame drawn in the frame loop, with the frames since Create.
    std::function<void(int32_t)> on_frame;
    // Called inside Create, as the game's loads would call the front end.
    std::function<void()> on_create;

    int32_t updates = 0;
    int32_t frames = 0;
    int32_t forced = 0;
    int32_t timer_events = 0;
    std::vector<InputEvent> inputs;
    int32_t overlay_renders = 0;
    int32_t result_renders = 0;
    uint32_t last_result_elapsed = 0;
    std::vector<std::string> texts;
    int32_t references = 1;
    // Answers the client-game interface (a multiplayer session's game).
    bool client = false;

    // IUnknown
    OmResult QueryInterface(const GUID& iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_ITvGame || (client && iid == IID_ITvClientGame)) {
            *out = static_cast<ITvGame*>(this);
            AddRef();
            return OM_S_OK;
        }
        *out = nullptr;
        return OM_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return uint32_t(++references); }
    uint32_t Release() override {
        if (--references == 0) calls.push_back("released");
        return uint32_t(references);
    }

    // ITvGame
    OmResult ResetClock() override { return OM_S_OK; }
    OmResult ReturnZero() override { return OM_S_OK; }
    OmResult Create(TvGameSettings* settings) override {
        calls.push_back("create " + std::to_string(settings->mission_number));
        created = *settings;
        frames = 0;
        forced = 0;
        if (on_create) on_create();
        return create_result;
    }
    OmResult Restart() override {
        calls.push_back("restart");
        forced = 0;
        return OM_S_OK;
    }
    OmResult Destroy() override {
        calls.push_back("destroy");
        return OM_S_OK;
    }
    OmResult Update() override;
    OmResult Render(TvOverlayCallback callback, void* context) override;
    OmResult HandleInput(const InputEvent* event) override {
        if (event->source == kTvTimerDeviceId && event->code == kTvInputTimerEvent)
            ++timer_events;
        else
            inputs.push_back(*event);
        return OM_S_OK;
    }
    int32_t GetOutcome() override {
        if (forced) return forced;
        return frames >= outcome_after ? outcome : 0;
    }
    OmResult AddObject(ITvObject*, uint32_t, uint32_t) override { return OM_E_FAIL; }
    OmResult RemoveObject(ITvObject*) override { return OM_S_OK; }
    OmResult SpawnGroundObject(const char*, uint32_t, ITvObject**) override { return OM_E_FAIL; }
    float GetFrameTime() override { return 0.0f; }
    float GetTimeSeconds() override { return 0.0f; }
    int32_t GetTimeMs() override { return 0; }
    const LgVector* GetViewPosition() override { return nullptr; }
    ITvObject* GetWeapons() override { return nullptr; }
    OmResult ReturnZeroArg(uintptr_t) override { return OM_S_OK; }
    OmResult BroadcastEvent(const TvEvent*, uint32_t) override { return OM_S_OK; }
    OmResult EmitParticles(int32_t, const void*) override { return OM_S_OK; }
    OmResult SetLandscape(ITvBSPLandscape*) override { return OM_S_OK; }
    ITvObject* GetRandomPlayer(uintptr_t, uintptr_t, uintptr_t) override { return nullptr; }
    ITvObject* GetObjectById(int32_t) override { return nullptr; }
    ITvObject* FindTarget(int32_t, const LgVector*) override { return nullptr; }
    float GetGroupStrength(int32_t) override { return 0.0f; }
    OmResult ForEachLiveInGroup(int32_t, TvGroupCallback, void*) override { return OM_S_OK; }
    int32_t GetMissionResult() override { return mission_result; }
    OmResult DrawText(float, float, const char*, uint32_t) override { return OM_S_OK; }
    OmResult DrawCentredText(float, const char* text, uint32_t) override {
        texts.emplace_back(text);
        return OM_S_OK;
    }
    OmResult QueueDeferredAtomic(LgAtomic*) override { return OM_S_OK; }
    int32_t GetCheat(int32_t) override { return 0; }
    float GetEnduranceScaleSide1() override { return 1.0f; }
    float GetEnduranceScaleSide2() override { return 1.0f; }
    OmResult SetPlayerPlane(ITvObject*, int32_t, int32_t) override { return OM_S_OK; }
    ITvMission* GetMission() override { return nullptr; }
    OmResult DealDamage(ITvObject*, float, int32_t) override { return OM_S_OK; }
    OmResult MoveObjectToGroup(ITvObject*, int32_t, int32_t) override { return OM_S_OK; }
    OmResult SendObjectUpdate(ITvObject*, uintptr_t) override { return OM_E_FAIL; }
    OmResult GetLocalPlayerScore(TvPlayerScore* out) override {
        *out = score;
        return OM_S_OK;
    }
    int32_t GetReinforcementsUsed() override { return 0; }
    int32_t GetReinforcementsEarned(int32_t) override { return 0; }
    OmResult ForceOutcome(int32_t code) override {
        calls.push_back("outcome " + std::to_string(code));
        forced = code;
        return OM_S_OK;
    }
};

} // namespace singletest
