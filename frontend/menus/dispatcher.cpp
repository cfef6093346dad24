// The dispatcher's table of link forms, tried in order: exact links compare whole and
// case-sensitively; a form with conversions matches when the link begins with its fixed text
// and its first conversion succeeds; anything else is a page.
#include "frontend/menus/dispatcher.h"

#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/io/binary_stream_composer.h"
#include "frontend/menus/control_layout.h"
#include "frontend/menus/game_session.h"
#include "frontend/menus/menu_display.h"
#include "frontend/menus/menu_entry_points.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/page_seam.h"
#include "frontend/menus/pilot_roster.h"
#include "frontend/settings/program_settings.h"
#include "frontend/settings/settings_values.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/setup/game_setup.h"
#include "frontend/sound/sound_front_end.h"
#include "frontend/video/video_modes.h"
#include "game/rules/tv_game.h"
#include "game/tv_frontend_services.h"
#include "game/world/tavrin_ground_object.h"
#include "net/client/om_aerovant_client.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr char choose_mission_page[] = "menus\\choosemission.html";
constexpr char choose_face_page[] = "menus\\chooseface.html";
constexpr char multiplayer_page[] = "menus\\multiplayer.html";
constexpr char single_player_page[] = "menus\\singleplayer.html";
constexpr char options_page[] = "menus\\options.html";
constexpr char sound_options_page[] = "menus\\soundoptions.html";
constexpr char control_options_page[] = "menus\\controloptions.html";
constexpr char enter_server_page[] = "menus\\enterserver.html";
constexpr char wait_for_vote_page[] = "menus\\waitforvote.html";
constexpr char single_player_token[] = "^singleplayer^";
constexpr char multiplayer_port[] = ":6113";

// The link is `prefix` followed by what `pattern` converts (at least one conversion).
template <class... T>
bool match(const std::string& link, const char* prefix, const char* pattern, T*... values) {
    const size_t length = std::strlen(prefix);
    if (link.compare(0, length, prefix) != 0) return false;
    return std::sscanf(link.c_str() + length, pattern, values...) >= 1;
}

// The next page: written into the link buffer and loaded.
void next_page(const std::string& page) {
    TvSetLink(page);
    TvShowPage(TvMenus().link.c_str());
}

void show_current_page() {
    next_page(TvMenus().current_page);
}

// Replaces a key: the section selected (created when missing), the key removed, then written
// unless `write` is false.
void replace_key(const char* section, const char* key, const std::string& text, bool write = true) {
    IPropertySheet* sheet = TvGetSettingsSheet();
    if (!sheet || sheet->UseSection(section) < 0) return;
    sheet->RemoveKey(key);
    if (write) sheet->SetString(key, text.c_str());
}

// Writes a key in place (appended when missing), the section selected or created first.
void write_key(const char* section, const char* key, const std::string& text) {
    IPropertySheet* sheet = TvGetSettingsSheet();
    if (sheet && sheet->UseSection(section) >= 0) sheet->SetString(key, text.c_str());
}

std::string int_text(int32_t value) {
    return std::to_string(value);
}

std::string real_text(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", double(value));
    return text;
}

// A switch key: written as 1 when on and removed when off.
void replace_switch(const char* section, const char* key, int32_t value) {
    replace_key(section, key, int_text(value), value != 0);
}

// A switch that reads as on when missing: switched off it is written as 0.
void replace_default_on_switch(const char* key, int32_t value) {
    IPropertySheet* sheet = TvGetSettingsSheet();
    if (!sheet || sheet->UseSection(TV_SECTION_GRAPHICS) < 0) return;
    sheet->RemoveKey(key);
    TvSettingsSetSwitch(sheet, key, value != 0, true);
}

// The shadow setting the menus show, and the level the ground objects read as they draw, so
// the next mission casts the new shadows without a restart.
void set_shadows(int32_t level) {
    TvGetProgramSettings().shadows = level;
    TvGroundShadowLevel = level;
}

// A mission (or a multiplayer session) leaves its next page in the link buffer; when it did
// not run, the page the link was chosen on stays.
void after_entry_point(OmResult result) {
    if (result < 0) TvSetLink(TvMenus().current_page);
    TvShowPage(TvMenus().link.c_str());
}

void play(int32_t mission) {
    after_entry_point(TvPlayMission(mission));
}

void multiplayer(const char* address) {
    after_entry_point(TvRunMultiplayer(address));
}

void send_message(uint16_t type, uint16_t flags, void (*fill)(IBinaryStreamComposer*, void*),
                  void* context) {
    IOmAerovantClient* client = TvGetNetworkClient();
    if (!client) return;
    IBinaryStreamComposer* packet = client->NewPacket();
    if (!packet) return;
    fill(packet, context);
    client->Send(packet, type, flags);
}

void set_plane_id(const char* id) {
    TvGameSettings& record = TvGetGameSettingsRecord();
    std::memset(record.plane_id, 0, sizeof record.plane_id);
    std::snprintf(record.plane_id, sizeof record.plane_id, "%s", id);
}

// Creates the pilot of an empty slot n (1..7) and shows the page that follows.
void create_pilot(int32_t n) {
    TvPilotRoster& roster = TvGetPilotRoster();
    roster.current = n - 1;
    if (TvCreatePilot(n) >= 0) roster.current = n - 1;
    TvSavePilots();
    next_page(roster.current == TV_MULTIPLAYER_PILOT ? multiplayer_page : choose_face_page);
}

void server_address_entry() {
    next_page(enter_server_page);
    if (TvEnterServerAddress() >= 0)
        next_page(multiplayer_page);
    else
        show_current_page();
}

// Everything the dispatcher knows but the settings commands.
bool dispatch_front_end(const std::string& link) {
    TvMenuState& m = TvMenus();
    TvGameSettings& record = TvGetGameSettingsRecord();
    int32_t n = 0;
    char word[256] = "";

    if (link == "command:continue") {
        if (int32_t* mission = TvCurrentCampaignMission(); mission && *mission == 0) *mission = 1;
        m.campaign_mode = 1;
        next_page(choose_mission_page);
    } else if (link == "command:replay") {
        play(record.mission_number);
    } else if (link == "command:skip") {
        TvPilotRecord* pilot = TvCurrentPilotSlot();
        int32_t* mission = TvCurrentCampaignMission();
        if (mission) ++*mission;
        m.campaign_mode = 1;
        if (pilot) ++pilot->skip_count;
        TvSavePilots();
        const int32_t campaign = pilot ? pilot->current_campaign : 0;
        const auto& directories = TvGetGameSetupSettings().campaign_directories;
        const std::string directory =
            campaign >= 0 && campaign < TV_CAMPAIGN_COUNT ? directories[campaign] : std::string();
        char page[512];
        std::snprintf(page, sizeof page, "missions\\%s\\mission%d.html", directory.c_str(),
                      mission ? *mission : 0);
        next_page(page);
    } else if (link == "command:redo") {
        int32_t* mission = TvCurrentCampaignMission();
        if (mission) --*mission;
        if (TvPilotRecord* pilot = TvCurrentPilotSlot(); pilot && TvGetGameComponent())
            pilot->score -= TvGetGameComponent()->GetMissionResult();
        play(mission ? *mission : record.mission_number);
    } else if (link == "command:credits") {
        TvShowCredits();
    } else if (link == "command:timeout") {
        TvSetLink(m.current_page);
    } else if (match(link, "play:", "%d", &n)) {
        play(n);
    } else if (link == "command:connect") {
        multiplayer(multiplayer_port);
    } else if (link == "command:connectip") {
        m.session_mode = 0;
        m.countdown = 30;
        const std::string address = TvGetProgramSettings().server_address;
        if (address.empty()) {
            server_address_entry();
        } else {
            TvDiscardGameComponent();
            multiplayer((address + multiplayer_port).c_str());
        }
    } else if (link == "command:changeip") {
        server_address_entry();
    } else if (match(link, "command:settimervalue:", "%d", &n)) {
        m.countdown = n;
    } else if (match(link, "command:setwaittimervalue:", "%d", &n)) {
        m.countdown = n < 0 || n > 15 ? 15 : n;
    } else if (match(link, "command:connectto:", "%255s", word)) {
        multiplayer(word);
    } else {
        return false;
    }
    return true;
}

bool dispatch_settings(const std::string& link) {
    TvMenuState& m = TvMenus();
    TvGameSettings& record = TvGetGameSettingsRecord();
    TvProgramSettings& program = TvGetProgramSettings();
    int32_t n = 0, k = -1;
    float f = 0.0f;

    if (match(link, "command:effectsdetail:", "%d", &n)) {
        record.effects_detail = n;
        replace_key(TV_SECTION_GRAPHICS, TV_KEY_EFFECTSDETAIL, int_text(n));
        show_current_page();
    } else if (match(link, "command:musicvolume:", "%d", &n)) {
        m.music_volume = float(n) * 0.01f;
        tvfe::TvSetMusicVolume(m.music_volume);
        write_key(TV_SECTION_SOUND, "channel0vol", real_text(m.music_volume));
        next_page(sound_options_page);
    } else if (match(link, "command:sfxvolume:", "%d", &n)) {
        m.effects_volume_game = m.effects_volume_menu = float(n) * 0.01f;
        tvfe::TvSetChannelVolume("InGame", m.effects_volume_game);
        tvfe::TvSetChannelVolume("InMenu", m.effects_volume_menu);
        write_key(TV_SECTION_SOUND, "channel1vol", real_text(m.effects_volume_game));
        // The menus' effects volume is kept too, or the next start would set it back.
        write_key(TV_SECTION_SOUND, "channel2vol", real_text(m.effects_volume_menu));
        next_page(sound_options_page);
    } else if (match(link, "command:sensitivity:", "%d:%d", &n, &k)) {
        static const char* const axes[] = {TV_SECTION_PITCH, TV_SECTION_ROLL, TV_SECTION_THROTTLE};
        if (k >= 0 && k <= 2) {
            m.sensitivity[k] = float(n) * 0.1f;
            // Only a section the control layout made is written: a section of its own would
            // hold a sensitivity and no binding.
            IPropertySheet* sheet = TvGetSettingsSheet();
            if (sheet && sheet->SetSection(axes[k]) >= 0) {
                sheet->RemoveKey(TV_KEY_SENSITIVITY);
                sheet->SetString(TV_KEY_SENSITIVITY, real_text(m.sensitivity[k]).c_str());
            }
        }
        next_page(control_options_page);
    } else if (match(link, "command:videomode:", "%d", &n)) {
        TvChooseVideoMode(n);
        next_page(options_page);
    } else if (match(link, "command:renderer:", "%d", &n)) {
        TvChooseRenderer(n);
        show_current_page();
    } else if (match(link, "command:vsync:", "%d", &n)) {
        record.vsync = n;
        replace_switch(TV_SECTION_GRAPHICS, TV_KEY_VSYNC, n);
        next_page(options_page);
    } else if (match(link, "command:detailtextures:", "%d", &n)) {
        program.detail_textures = n;
        TvDetailTexturesEnabled = n;
        replace_default_on_switch(TV_KEY_DETAILTEXTURES, n);
        next_page(options_page);
    } else if (match(link, "command:shadows:", "%d", &n)) {
        set_shadows(n);
        replace_default_on_switch(TV_KEY_SHADOWS, n);
        next_page(options_page);
    } else if (match(link, "command:cheat:boost:", "%d", &n)) {
        record.boost = n;
        replace_switch(TV_SECTION_CHEAT, TV_KEY_BOOST, n);
        show_current_page();
    } else if (match(link, "command:cheat:infinite:", "%d", &n)) {
        record.infinite = n;
        replace_switch(TV_SECTION_CHEAT, TV_KEY_INFINITE, n);
        show_current_page();
    } else if (match(link, "command:cheat:invulnerable:", "%d", &n)) {
        record.invulnerable = n;
        replace_switch(TV_SECTION_CHEAT, TV_KEY_INVULNERABLE, n);
        show_current_page();
    } else if (match(link, "command:gamespeed:", "%f", &f)) {
        record.game_speed = f;
        replace_key(TV_SECTION_CHEAT, TV_KEY_GAMESPEED, real_text(f));
        show_current_page();
    } else if (match(link, "command:enemyendurance:", "%f", &f)) {
        record.enemy_endurance = f;
        replace_key(TV_SECTION_CHEAT, TV_KEY_ENEMYENDURANCE, real_text(f));
        show_current_page();
    } else if (match(link, "command:hardwaresound:", "%d", &n)) {
        record.hardware_sound = n;
        replace_switch(TV_SECTION_SOUND, TV_KEY_HARDWARESOUND, n);
        next_page(sound_options_page);
    } else {
        return false;
    }
    return true;
}

bool dispatch_pilots(const std::string& link) {
    TvPilotRoster& roster = TvGetPilotRoster();
    int32_t n = 0;

    if (match(link, "characteroption:", "%d", &n)) {
        if (n < 1 || n > TV_PILOT_SLOTS) return true; // no such slot: nothing
        if (!TvIsPilotUsed(n - 1)) {
            create_pilot(n);
        } else {
            roster.used[n - 1] = 0;
            TvResetPilot(n - 1);
            show_current_page();
            roster.current = TvFirstUsedPilot();
            TvSavePilots();
        }
    } else if (link == "gamestartup") {
        if (!TvIsPilotUsed(0)) {
            create_pilot(1);
        } else {
            TvSavePilots();
            next_page(choose_mission_page);
        }
    } else if (link == "command:rosterback") {
        next_page(TvFirstUsedPilot() < 0 ? single_player_token : single_player_page);
    } else if (match(link, "chooseface:", "%d", &n)) {
        if (TvPilotRecord* pilot = TvCurrentPilotSlot()) pilot->picture = n;
        TvSavePilots();
        next_page(choose_mission_page);
    } else if (match(link, "characterplay:", "%d", &n)) {
        // A number outside the slots plays no pilot (and n - 1 of the lowest int overflows).
        if (n >= 1 && n <= TV_PILOT_SLOTS && TvIsPilotUsed(n - 1)) {
            roster.current = n - 1;
            TvSavePilots();
            next_page(choose_mission_page);
        }
    } else if (match(link, "command:campaign:", "%d", &n)) {
        if (TvPilotRecord* pilot = TvCurrentPilotSlot()) {
            pilot->current_campaign = n;
            if (int32_t* mission = TvCurrentCampaignMission(); mission && *mission == 0)
                *mission = 1;
        }
        TvSavePilots();
        next_page(single_player_page);
    } else {
        return false;
    }
    return true;
}

bool dispatch_controls_and_planes(const std::string& link) {
    TvMenuState& m = TvMenus();
    TvGameSettings& record = TvGetGameSettingsRecord();
    int32_t n = 0, up = 0, kind = 0;
    char word[256] = "";

    if (match(link, "control:", "%255[^:]:%d:%d", word, &up, &kind)) {
        // The capture writes the control's section; the page it was chosen on stays.
        if (word[0] && (kind == 1 || kind == 2)) TvCaptureControl(word, up != 0, kind);
        TvSetLink(m.current_page);
    } else if (match(link, "controldefault:", "%255s", word)) {
        TvSetLink(control_options_page);
        m.current_page = control_options_page;
        if (TvLoadControlLayout(TvGetSettingsSheet(), word) >= 0) TvShowPage(m.link.c_str());
    } else if (match(link, "command:changeplane:", "%31s", word)) {
        if (m.session_mode == TV_SESSION_CHOOSING_PLANE) {
            set_plane_id(word);
            play(record.mission_number);
        } else {
            if (TvPilotRecord* pilot = TvCurrentPilotSlot())
                std::snprintf(pilot->favourite_plane, sizeof pilot->favourite_plane, "%s", word);
            set_plane_id(word);
            if (m.session_mode != 0) {
                char plane[32] = {};
                std::snprintf(plane, sizeof plane, "%s", word);
                send_message(
                    33, 0xa1,
                    [](IBinaryStreamComposer* p, void* text) {
                        p->Field(OM_FIELD_BYTES, 256, text);
                    },
                    plane);
            }
            next_page(multiplayer_page);
        }
    } else if (match(link, "command:changeside:", "%d", &n)) {
        if (TvPilotRecord* pilot = TvCurrentPilotSlot()) pilot->side = n;
        if (m.session_mode != 0)
            send_message(
                34, 0xa1,
                [](IBinaryStreamComposer* p, void* side) { p->Int(static_cast<int32_t*>(side)); },
                &n);
        next_page(multiplayer_page);
    } else if (match(link, "selectplane:", "%d:%31s", &n, word)) {
        if (n != 0) {
            record.mission_number = n;
            m.session_mode = TV_SESSION_CHOOSING_PLANE;
        }
        set_plane_id(word);
        m.return_page = m.current_page;
        play(record.mission_number);
    } else if (match(link, "chooseplane:", "%31s", word)) {
        set_plane_id(word);
        play(record.mission_number);
    } else if (match(link, "vote:map:", "%d", &n)) {
        int32_t weight = 1;
        // Bit 0x100 is the Allied bit of the player's own side flags (set when the join is
        // accepted); compared with the whole flags word it would never match.
        if ((m.last_outcome & 0x100) == (record.side_flag & 0x100))
            weight = (record.player_count + 1) / 2;
        int32_t fields[2] = {n, weight};
        send_message(
            40, 0x91,
            [](IBinaryStreamComposer* p, void* v) {
                auto* values = static_cast<int32_t*>(v);
                p->Field(OM_FIELD_INTEGER, 8, &values[0]);
                p->Field(OM_FIELD_INTEGER, 8, &values[1]);
            },
            fields);
        next_page(wait_for_vote_page);
    } else if (match(link, "slidebar:", "%d,%255s", &n, word)) {
        if (std::strcmp(word, "clip") == 0) {
            record.far_clip = float(n);
            write_key(TV_SECTION_GRAPHICS, TV_KEY_DRAWDISTANCE, real_text(float(n)));
        } else if (std::strcmp(word, "effectsdetail") == 0) {
            record.effects_detail = n;
            write_key(TV_SECTION_GRAPHICS, TV_KEY_EFFECTSDETAIL, int_text(n));
        } else if (std::strcmp(word, "shadowdetail") == 0) {
            set_shadows(n);
            write_key(TV_SECTION_GRAPHICS, TV_KEY_SHADOWS, int_text(n));
        }
        next_page(options_page);
    } else {
        return false;
    }
    return true;
}

} // namespace

OmResult TvDispatchLink() {
    TvMenuState& m = TvMenus();
    const std::string link = m.link;
    if (link == TV_QUIT_LINK) return OM_E_FAIL;
    if (dispatch_front_end(link) || dispatch_settings(link) || dispatch_pilots(link) ||
        dispatch_controls_and_planes(link))
        return OM_S_OK;
    if (link == single_player_token) {
        m.campaign_mode = 0;
        TvPilotRoster& roster = TvGetPilotRoster();
        if (roster.current == TV_MULTIPLAYER_PILOT && TvFirstUsedPilot() >= 0)
            roster.current = TvFirstUsedPilot();
    }
    TvShowPage(link.c_str());
    return OM_S_OK;
}
