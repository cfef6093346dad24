// The program-wide menu state a menu session has, for the front-end harnesses: two pilots (one
// current), menu, game-record and program settings. Saved once and put back before each
// input, so each input starts from the same state.
#pragma once

#include "frontend/menus/menu_state.h"
#include "frontend/menus/pilot_roster.h"
#include "frontend/settings/program_settings.h"
#include "frontend/setup/game_settings_record.h"

#include <cstdio>
#include <cstring>

namespace fuzzing {

struct MenuSessionState {
    TvMenuState menus;
    TvPilotRoster roster;
    TvProgramSettings program;
    TvGameSettings record;

    static MenuSessionState fixture() {
        TvResetMenuState();
        TvClearPilotRoster();
        TvResetProgramSettings();
        TvGetGameSettingsRecord() = TvGameSettings{};
        TvPilotRoster& roster = TvGetPilotRoster();
        TvPilotRecord& john = roster.pilots[0];
        std::snprintf(john.full_name, sizeof john.full_name, "%s", "John Smith");
        john.picture = 3;
        john.brit_kills = 2;
        john.german_kills = 1;
        john.deaths = 4;
        john.shots_fired = 7;
        john.shots_on_target = 3;
        std::strcpy(john.favourite_plane, "multispadx111");
        john.side = TV_SIDE_ALLIED;
        john.allied_complete[0] = john.allied_complete[1] = 1;
        john.central_complete[4] = 1;
        john.campaign_mission[0] = 2;
        roster.used[0] = 1;
        TvPilotRecord& otto = roster.pilots[2];
        std::snprintf(otto.full_name, sizeof otto.full_name, "%s", "Otto Brandt");
        otto.picture = 5;
        otto.side = TV_SIDE_CENTRAL;
        std::strcpy(otto.favourite_plane, "multifokkertriplane");
        roster.used[2] = 1;
        roster.current = 0;
        TvMenuState& m = TvMenus();
        m.allied_mission = 3;
        m.central_mission = 2;
        m.training_mission = 4;
        m.mission_brit_kills = 5;
        m.mission_german_kills = 6;
        m.mission_shots_fired = 8;
        m.mission_shots_on_target = 2;
        m.countdown = 12;
        m.continue_seconds = 9;
        m.client_state = 8;
        m.map_id = 102;
        m.last_outcome = 0x109;
        m.status_text = "Fly!";
        m.music_volume = 0.5f;
        m.effects_volume_game = 1.0f;
        m.sensitivity[0] = 0.7f;
        m.sensitivity[1] = 0.5f;
        TvGameSettings& record = TvGetGameSettingsRecord();
        record.effects_detail = 400;
        record.vsync = 1;
        record.far_clip = 650.0f;
        record.side_flag = 9;
        record.available_planes = 255 & ~128u;
        TvProgramSettings& program = TvGetProgramSettings();
        program.shadows = 2;
        program.control_type = 2;
        program.server_address = "10.0.0.1";
        return MenuSessionState{TvMenus(), TvGetPilotRoster(), TvGetProgramSettings(),
                                TvGetGameSettingsRecord()};
    }
    void restore() const {
        TvMenus() = menus;
        TvGetPilotRoster() = roster;
        TvGetProgramSettings() = program;
        TvGetGameSettingsRecord() = record;
    }
};

} // namespace fuzzing
