// The multiplayer session over the real menus (headless), the real network client and the
// in-process test server on loopback, with a scripted client game and scripted pages: each
// page the lobby runs answers the next link scripted for it, clicks are scripted per client
// state, and every lobby pass moves the virtual clock on.
#pragma once

#include "frontend/multiplayer/session_game.h"
#include "game/world/tv_object.h"
#include "tests/frontend/single/mission_fixture.h"
#include "tools/mpserver/mp_server.h"

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace mptest {

// A player plane: only its properties.
class FakePlane : public ITvObject {
public:
    std::map<uint32_t, uintptr_t> properties;

    OmResult QueryInterface(const GUID& iid, void** out) override;
    uint32_t AddRef() override { return 2; }
    uint32_t Release() override { return 1; }
    OmResult Reset() override { return OM_S_OK; }
    OmResult Unload() override { return OM_S_OK; }
    OmResult Create(TvCreateDescriptor*) override { return OM_S_OK; }
    OmResult Destroy() override { return OM_S_OK; }
    OmResult SetProperty(uint32_t id, uintptr_t value) override {
        properties[id] = value;
        return OM_S_OK;
    }
    OmResult GetProperty(uint32_t id, uintptr_t* out) override {
        auto it = properties.find(id);
        *out = it == properties.end() ? 0 : it->second;
        return it == properties.end() ? OM_E_FAIL : OM_S_OK;
    }
    OmResult Render() override { return OM_S_OK; }
    OmResult Update() override { return OM_S_OK; }
    OmResult HandleEvent(const TvEvent*) override { return OM_E_FAIL; }
    OmResult AddDamage(float, int32_t) override { return OM_S_OK; }
    int32_t IsDead() override { return 0; }
    OmResult SetDamage(uint32_t, float, uint32_t) override { return OM_S_OK; }
};

// What the session asked of the client game, and how the game answers.
struct GameRecord {
    std::vector<uint16_t> messages;    // types handed to the client game
    std::vector<uint32_t> events;      // system event kinds
    std::vector<TvPlayerInfo> players; // add_player's records
    std::vector<int32_t> player_slots;
    std::vector<int32_t> kills_taken; // deduct_kill's slots
    std::vector<int32_t> missions_changed;
    int32_t clock_sets = 0;
    int32_t outcome_clears = 0;
    bool chat_active = false;
    OmResult change_mission_result = OM_S_OK;
    OmResult add_player_result = OM_S_OK; // a failure: the plane of the record cannot be made
    FakePlane planes[8];
    std::string plane_types[8];            // by slot: the join's plane, then each change (33)
    std::vector<std::string> respawned_as; // the type the slot had at each respawn (23)
};

class SessionTest : public singletest::MissionTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // A server playing `options`, on an ephemeral loopback port.
    std::unique_ptr<mpserver::Server> serve(const mpserver::ServerOptions& options);
    static mpserver::ServerOptions scenario(const char* name);
    // Runs a whole session against the server (the menus' multiplayer entry point).
    OmResult run_session(const mpserver::Server& server);

    // The links each page answers, in order (the page's last answer repeats: "command:timeout"
    // once none is scripted).
    void script_page(const std::string& page, std::vector<std::string> links);
    // Clicks outside the page loop, by client state, in order.
    void script_click(int32_t state, std::vector<std::string> targets);

public:
    static std::vector<int32_t>& states();
    static std::vector<std::string>& pages_shown();
    static std::vector<std::string>& pages_run();
    static GameRecord& game_record();
    static std::vector<uint16_t> types(const std::vector<mpserver::LogEntry>& log);
    static std::string dump(const mpserver::Server& server);
};

} // namespace mptest
