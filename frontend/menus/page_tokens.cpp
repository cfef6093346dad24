// The page tokens: template copying and the expansion of every token.
#include "frontend/menus/page_tokens.h"

#include "framework/io/byte_stream.h"
#include "frontend/menus/game_session.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/pilot_roster.h"
#include "frontend/menus/plane_tables.h"
#include "frontend/settings/program_settings.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/video/video_modes.h"
#include "frontend/video/video_startup.h"
#include "game/rules/tv_game.h"
#include "net/messages/client_states.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

TvScoreboardBuilder scoreboard_builder = nullptr;

// printf into a string of any length.
std::string format(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, pattern, args);
    va_end(args);
    std::string text(size > 0 ? size_t(size) : 0, '\0');
    if (size > 0) std::vsnprintf(text.data(), text.size() + 1, pattern, again);
    va_end(again);
    return text;
}

// The token is `prefix` followed by a decimal number.
bool match_int(const char* token, const char* prefix, int32_t* value) {
    const size_t length = std::strlen(prefix);
    if (std::strncmp(token, prefix, length) != 0) return false;
    int parsed;
    if (std::sscanf(token + length, "%d", &parsed) != 1) return false;
    *value = parsed;
    return true;
}

// The token is `prefix` followed by a word (up to the first blank).
bool match_word(const char* token, const char* prefix, std::string* word) {
    const size_t length = std::strlen(prefix);
    if (std::strncmp(token, prefix, length) != 0) return false;
    char parsed[TV_TOKEN_LIMIT + 1];
    if (std::sscanf(token + length, "%64s", parsed) != 1) return false;
    *word = parsed;
    return true;
}

// Pilot n of a page (from 1) when its slot is used.
const TvPilotRecord* page_pilot(int32_t n) {
    return TvIsPilotUsed(n - 1) ? &TvGetPilotRoster().pilots[n - 1] : nullptr;
}

bool allied_complete(const TvPilotRecord* pilot, int32_t mission) {
    return pilot && mission >= 1 && mission <= 10 && pilot->allied_complete[mission - 1] != 0;
}
bool central_complete(const TvPilotRecord* pilot, int32_t mission) {
    return pilot && mission >= 1 && mission <= 10 && pilot->central_complete[mission - 1] != 0;
}

std::string mission_available(bool (*complete)(const TvPilotRecord*, int32_t), const char* side,
                              int32_t mission) {
    const TvPilotRecord* pilot = TvCurrentPilot();
    const std::string link = format("<a href=\"missions\\%s\\mission%d.html\">", side, mission);
    if (complete(pilot, mission))
        return link + "<IMG WIDTH=80 HEIGHT=58 SRC=\"menus\\images\\mission_tick.png\" "
                      "ROLLOVERSRC=\"menus\\images\\bt_missiontick_on.png\"></a>\n";
    if (mission == 1 || complete(pilot, mission - 1) || complete(pilot, 5))
        return link + "<IMG WIDTH=80 HEIGHT=58 SRC=\"menus\\images\\spacer.ini\" "
                      "ROLLOVERSRC=\"menus\\images\\bt_mission_on.ini\"></a>\n";
    return "<IMG SRC=\"menus\\images\\classified_mission.png\" WIDTH=80 HEIGHT=58>\n";
}

// "%d%%" of hits / shots x 100, truncated; "0%" without shots.
std::string percentage(int32_t hits, int32_t shots) {
    const int64_t value = shots ? int64_t(hits) * 100 / shots : 0;
    return format("%d%%", int32_t(value));
}

const char* multi_plane_name(const char* id) {
    static const char* const names[][2] = {
        {"multiaircodh2", "Airco DH2"},
        {"multibristolscout", "Bristol Scout"},
        {"multihandleypage", "Handley-Page 0/400"},
        {"multispadx111", "Spad XIII"},
        {"multitavrincamel", "Tavrin Camel"},
        {"multialbertross", "Albertross"},
        {"multihalberstadt", "Halberstadt"},
        {"multijunkers", "Junkers"},
        {"multifokkertriplane", "Fokker Triplane"},
        {"multigothagiv", "Gotha G IV"},
    };
    for (const auto& entry : names)
        if (std::strcmp(entry[0], id) == 0) return entry[1];
    return "";
}

bool offline(int32_t state) {
    return state == 0 || state == 15 || state == 17;
}

// The slider: left end, one link per position, right end.
struct SliderPosition {
    std::string href;
    bool selected;
};
std::string slider(const std::vector<SliderPosition>& positions) {
    std::string out = "<IMG SRC=\"menus\\images\\slider_left.png\">";
    for (const SliderPosition& p : positions)
        out += format("<a href=\"%s\">%s</a>", p.href.c_str(),
                      p.selected ? "<IMG SRC=\"menus\\images\\slider_selected.png\">"
                                 : "<IMG SRC=\"menus\\images\\slider.png\">");
    return out + "<IMG SRC=\"menus\\images\\slider_right.png\">";
}

std::string check_box(const char* command, bool on) {
    return on ? format("<a href=\"command:%s:0\"><img src=\"Menus\\images\\checkbox_on.png\"></a>",
                       command)
              : format("<a href=\"command:%s:1\"><img src=\"Menus\\images\\checkbox.png\"></a>",
                       command);
}

std::string control_box(int32_t type) {
    return TvGetProgramSettings().control_type == type
               ? "<IMG SRC=\"menus\\images\\checkbox_on.png\">"
               : "<IMG SRC=\"menus\\images\\checkbox.png\">";
}

// The volume slider: positions 0..9, position x 10 in the link.
std::string volume_slider(const char* command, float volume) {
    int32_t selected = int32_t((volume + 0.04f) * 10.0f);
    if (selected == 10) selected = 9;
    std::vector<SliderPosition> positions;
    for (int32_t p = 0; p < 10; ++p)
        positions.push_back({format("command:%s:%d", command, p * 10), p == selected});
    return slider(positions);
}

std::string video_modes() {
    std::string out;
    const bool client_game = TvHasClientGame();
    const int32_t current = TvGetConfiguredMissionMode();
    for (int32_t i = 0; i < TvGetModeCount(); ++i) {
        const LgVideoMode* mode = TvGetMode(i);
        if (!mode) continue;
        const int32_t w = mode->width, h = mode->height;
        if (i == current) {
            out += format("<b>%d x %d</b><br>", w, h);
        } else if ((w == 640 && h == 480) || (w == 800 && h == 600) || (w == 1024 && h == 768) ||
                   (w == 1280 && h == 1024)) {
            out += client_game
                       ? format("%d x %d<BR>", w, h)
                       : format("<B><A HREF=\"command:videomode:%d\">%d x %d</A></B><BR>", i, w, h);
        }
    }
    return out;
}

// Tokens that need no argument and read the current pilot (nothing without one).
bool pilot_token(const char* token, std::string* out) {
    static const char* const names[] = {"deaths",        "kills",         "britkills",
                                        "germankills",   "briticonkills", "germaniconkills",
                                        "allegiance",    "accuracy",      "missionscompleted",
                                        "picture",       "plane",         "shotsfired",
                                        "shotsontarget", "side",          "changeplane",
                                        "name"};
    bool known = false;
    for (const char* name : names) known = known || std::strcmp(token, name) == 0;
    if (!known) return false;
    const TvPilotRecord* p = TvCurrentPilot();
    if (!p) return true;
    const auto is = [token](const char* name) { return std::strcmp(token, name) == 0; };
    if (is("deaths"))
        *out = format("%d", p->deaths);
    else if (is("kills"))
        *out = format("%d", p->brit_kills + p->german_kills);
    else if (is("britkills"))
        *out = format("%d", p->brit_kills);
    else if (is("germankills"))
        *out = format("%d", p->german_kills);
    else if (is("briticonkills"))
        for (int32_t i = 0; i < p->brit_kills; ++i)
            *out += "<img src=\"menus\\deadbrit.png\"><img width=8>";
    else if (is("germaniconkills"))
        for (int32_t i = 0; i < p->german_kills; ++i)
            *out += "<img src=\"menus\\deadgerman.png\"><img width=8>";
    else if (is("allegiance"))
        *out = p->current_campaign == 0 ? "Allies" : "Central Powers";
    else if (is("accuracy"))
        *out = p->shots_fired == 0 ? "Unknown" : percentage(p->shots_on_target, p->shots_fired);
    else if (is("missionscompleted")) {
        int32_t sum = 0;
        for (int32_t i = 0; i < 10; ++i) sum += p->allied_complete[i] + p->central_complete[i];
        *out = format("%d", sum);
    } else if (is("picture"))
        *out = format("menus\\pilot%d.png", p->picture);
    else if (is("plane"))
        *out = multi_plane_name(p->favourite_plane);
    else if (is("shotsfired"))
        *out = format("%d", p->shots_fired);
    else if (is("shotsontarget"))
        *out = format("%d", p->shots_on_target);
    else if (is("side"))
        *out = p->side == TV_SIDE_ALLIED ? "Allied" : "Central Powers";
    else if (is("changeplane"))
        *out = p->side == TV_SIDE_ALLIED ? "selectplane:15:0" : "selectplane:240:0";
    else if (is("name"))
        *out = p->full_name;
    return true;
}

// Tokens without an argument.
bool plain_token(const char* token, std::string* out) {
    TvMenuState& m = TvMenus();
    const TvGameSettings& record = TvGetGameSettingsRecord();
    const TvProgramSettings& program = TvGetProgramSettings();
    const auto is = [token](const char* name) { return std::strcmp(token, name) == 0; };
    const TvPilotRecord* pilot = TvCurrentPilot();

    if (is("hardmodeavailable")) {
        *out = allied_complete(pilot, 5) && central_complete(pilot, 5)
                   ? format("<A HREF=\"menus\\choosehardmission.html\"><IMG WIDTH=3>%s</A>\n",
                            "Master Mode")
                   : "Complete all missions for Master Mode\n";
    } else if (is("mastermodeavailable")) {
        bool all = true;
        for (int32_t d = 6; d <= 10; ++d)
            all = all && allied_complete(pilot, d) && central_complete(pilot, d);
        *out = all ? format("<A HREF=\"missions\\allied\\mission11.html\">%s</A>\n",
                            "Play the Secret Mission")
                   : "Complete all missions in Master Mode to access the Secret Mission\n";
    } else if (is("rebrief")) {
        if (m.current_campaign == 0)
            *out = format("missions\\allied\\mission%d.html", m.allied_mission);
        else if (m.current_campaign == 1)
            *out = format("missions\\central\\mission%d.html", m.central_mission);
        else
            *out = format("missions\\tutorials\\tutorial%d.html", m.training_mission);
    } else if (is("build")) {
        *out = format("Build Number: %d.%d", 20, 5);
    } else if (is("continue")) {
        *out = TvGetPilotRoster().current < 1
                   ? "<a href=\"command:continue\">Start Campaign</a><br>"
                   : "<a href=\"command:continue\">Continue Campaign</a><br>";
    } else if (is("singleplayer")) {
        if (!pilot) {
            *out = "characteroption:1";
        } else {
            TvPilotRecord* current = TvCurrentPilot();
            if (current->side == -1) current->side = 1;
            *out = m.master_mode ? "menus\\choosehardmission.html" : "menus\\choosemission.html";
        }
    } else if (is("missionbritkills")) {
        *out = format("%d", m.mission_brit_kills);
    } else if (is("missiongermankills")) {
        *out = format("%d", m.mission_german_kills);
    } else if (is("missionshotsfired")) {
        *out = format("%d", m.mission_shots_fired);
    } else if (is("missionaccuracy")) {
        *out = percentage(m.mission_shots_on_target, m.mission_shots_fired);
    } else if (is("multiplayer")) {
        *out = pilot ? "Menus\\multiplayer.html" : "characteroption:1";
    } else if (is("connectorfly")) {
        *out = offline(m.client_state) ? "<a href=\"command:connect\">LAN Connect</a>"
                                       : "<a href=\"command:rejoin\">Fly</a>";
    } else if (is("timervalue") || is("waitingtimervalue")) {
        *out = format("%d", m.countdown);
    } else if (is("connectorsetip")) {
        if (offline(m.client_state))
            *out = program.server_address.empty()
                       ? "<a href=\"command:changeip\">Internet Connect</a>"
                       : "<A HREF=\"command:connectip\">Internet Connect</A>";
    } else if (is("changeip")) {
        if (offline(m.client_state) && !program.server_address.empty())
            *out = "<A HREF=\"command:changeip\">Change Server IP</A>";
    } else if (is("changeplanelink")) {
        if (TvHasClientGame() && m.client_state != 17)
            *out = format("<B><a href=\"menus\\selectplane.html\">%s</a></B><br>", "Change Plane");
    } else if (is("changesidelink")) {
        if (TvHasClientGame() && m.client_state != 17)
            *out = format("<B><a href=\"Menus\\chooseside.html\">%s</a></B>", "Change side");
    } else if (is("currentmap")) {
        const int32_t map = m.client_state == 0 || m.client_state == 15 ? 0 : m.map_id;
        *out = map == 101   ? "Countryside"
               : map == 102 ? "Islands"
               : map == 103 ? "Desert"
                            : "Unknown";
    } else if (is("serverip")) {
        *out = program.server_address;
    } else if (is("disconnectlink")) {
        if (TvHasClientGame() && m.client_state != 17)
            *out = format("<B><a href=\"command:quit\">%s</a></B>", "Disconnect");
    } else if (is("gametype")) {
        *out = "Deathmatch";
    } else if (is("finishmessage")) {
        // The low byte is the winner's slot: compared with the player's own slot, which the
        // lobby keeps in the settings record from the join on.
        *out = (m.last_outcome & 0xFF) == record.local_player
                   ? "Congratulations. You won this round."
                   : "Bad luck. You'll have to raise your game against these pilots.";
    } else if (is("netquit")) {
        *out = "Menus\\multiplayer.html";
    } else if (is("netstatus")) {
        *out = TvClientStateName(m.client_state);
    } else if (is("players")) {
        *out = "Not connected.";
        if (TvHasClientGame() && m.client_state != 0 && scoreboard_builder) {
            std::string html;
            if (scoreboard_builder(&html) >= 0) *out = html;
        }
    } else if (is("continueseconds")) {
        *out = format("%d", m.continue_seconds);
    } else if (is("multidesertlink")) {
        *out = "<a href=\"vote:map:3\"><IMG SRC=\"menus/images/desert_select.jpg\"></a>";
    } else if (is("multiislandlink")) {
        *out = "<a href=\"vote:map:2\"><IMG SRC=\"menus/images/islands_select.jpg\"></a>";
    } else if (is("multicountrylink")) {
        *out = "<a href=\"vote:map:1\"><IMG SRC=\"menus/images/countryside_select.jpg\"></a>";
    } else if (is("effectsdetailslider")) {
        std::vector<SliderPosition> positions;
        for (int32_t p = 0; p < 6; ++p)
            positions.push_back({format("slidebar:%d,%s", p * 200, "effectsdetail"),
                                 p == record.effects_detail / 200});
        *out = slider(positions);
    } else if (is("shadowdetailslider")) {
        std::vector<SliderPosition> positions;
        for (int32_t p = 0; p < 4; ++p)
            positions.push_back(
                {format("slidebar:%d,%s", p, "shadowdetail"), p == program.shadows});
        *out = slider(positions);
    } else if (is("statusbar")) {
        *out = m.status_text;
    } else if (is("vsync")) {
        *out = check_box("vsync", record.vsync != 0);
    } else if (is("detailtextures")) {
        *out = check_box("detailtextures", program.detail_textures != 0);
    } else if (is("hardwaresound")) {
        *out = check_box("hardwaresound", record.hardware_sound != 0);
    } else if (is("musicvolume")) {
        *out = volume_slider("musicvolume", m.music_volume);
    } else if (is("sfxvolume")) {
        *out = volume_slider("sfxvolume", m.effects_volume_game);
    } else if (is("videomodes")) {
        *out = video_modes();
    } else if (is("keymousecontrol")) {
        *out = control_box(0);
    } else if (is("joystickcontrol")) {
        *out = control_box(1);
    } else if (is("joystickkeycontrol")) {
        *out = control_box(2);
    } else if (is("keycontrol")) {
        *out = control_box(3);
    } else {
        return false;
    }
    return true;
}

// "slidebar:minimum,maximum,value,count,name".
bool generic_slider(const char* token, std::string* out) {
    int minimum, maximum, value, count;
    char name[TV_TOKEN_LIMIT + 1];
    if (std::strncmp(token, "slidebar:", 9) != 0 ||
        std::sscanf(token + 9, "%d,%d,%d,%d,%64s", &minimum, &maximum, &value, &count, name) != 5)
        return false;
    std::vector<SliderPosition> positions;
    if (count > 0) {
        const int64_t step = (int64_t(maximum) - minimum) / count;
        int64_t chosen = std::strcmp(name, "clip") == 0
                             ? int64_t(TvGetGameSettingsRecord().far_clip)
                             : int64_t(value);
        const int64_t selected = step != 0 ? (chosen - minimum) / step : 0;
        for (int32_t p = 0; p < count && p < 1024; ++p)
            positions.push_back(
                {format("slidebar:%lld,%s", static_cast<long long>(minimum + p * step), name),
                 p == selected});
    }
    *out = slider(positions);
    return true;
}

// Tokens with an argument.
bool pattern_token(const char* token, std::string* out) {
    TvMenuState& m = TvMenus();
    int32_t n = 0;
    std::string word;
    if (match_int(token, "setcurrenttrainingmission:", &n)) {
        m.mission_chosen = 1;
        m.training_mission = n;
    } else if (match_int(token, "setcurrentalliedmission:", &n)) {
        m.mission_chosen = 1;
        m.allied_mission = n;
    } else if (match_int(token, "setcurrentcentralmission:", &n)) {
        m.mission_chosen = 1;
        m.central_mission = n;
    } else if (match_word(token, "setmissionscreen:", &word)) {
        m.master_mode = word != "easy";
    } else if (match_int(token, "setcampaign:", &n)) {
        m.current_campaign = n;
    } else if (match_int(token, "alliedmissionavailable:", &n)) {
        *out = mission_available(allied_complete, "allied", n);
    } else if (match_int(token, "centralmissionavailable:", &n)) {
        *out = mission_available(central_complete, "central", n);
    } else if (match_int(token, "characteroption:", &n)) {
        *out = format(page_pilot(n) ? "<a href=\"characteroption:%d\">Delete Pilot</a>"
                                    : "<a href=\"characteroption:%d\">Create Pilot</a>",
                      n);
    } else if (match_int(token, "name:", &n)) {
        if (const TvPilotRecord* p = page_pilot(n)) *out = p->full_name;
    } else if (match_int(token, "name", &n)) {
        if (n >= 2 && n <= 7)
            if (const TvPilotRecord* p = page_pilot(n - 1)) *out = p->full_name;
    } else if (match_int(token, "picture:", &n)) {
        const TvPilotRecord* p = page_pilot(n);
        *out = format("menus\\pilot%d.png", p ? p->picture : 0);
    } else if (match_int(token, "pilotfullname:", &n)) {
        if (const TvPilotRecord* p = page_pilot(n)) *out = p->full_name;
    } else if (match_int(token, "pilotpicture:", &n)) {
        const TvPilotRecord* p = page_pilot(n);
        *out = p ? format("<a href=\"characterplay:%d\"><img src=\"menus\\pilot%d.png\"></a>", n,
                          p->picture)
                 : "<img src=\"menus\\pilot0.png\">";
    } else if (match_int(token, "playpilot:", &n)) {
        if (page_pilot(n))
            *out = TvGetPilotRoster().current == n - 1
                       ? "ACTIVE"
                       : format("<a href=\"characterplay:%d\">Play this pilot</A>", n);
    } else if (match_int(token, "deletepilot:", &n)) {
        if (page_pilot(n)) *out = format("<a href=\"characteroption:%d\">Delete this pilot</A>", n);
    } else if (match_int(token, "createpilot:", &n)) {
        if (!page_pilot(n)) *out = format("<a href=\"characteroption:%d\">Create new pilot</A>", n);
    } else if (match_word(token, "planeimage:", &word)) {
        const char* id = word.c_str();
        *out = TvIsPlaneAvailable(id) ? format("<A HREF=\"command:changeplane:multi%s\"><IMG "
                                               "SRC=\"menus\\images\\%s_small.jpg\"></A>",
                                               id, id)
                                      : format("<IMG SRC=\"menus\\images\\%s_small_go.jpg\">", id);
    } else if (match_word(token, "planename:", &word)) {
        const char* id = word.c_str();
        *out = TvIsPlaneAvailable(id) ? format("<A HREF=\"command:changeplane:multi%s\">%s</A>", id,
                                               TvGetPlaneName(id))
                                      : TvGetPlaneName(id);
    } else if (match_word(token, "planedescription:", &word)) {
        *out = TvGetPlaneDescription(word.c_str());
    } else if (match_int(token, "sensitivityslider:", &n)) {
        if (n < 0 || n > 2) return true;
        const int32_t selected = int32_t(m.sensitivity[n] * 10.0f + 0.5f);
        std::vector<SliderPosition> positions;
        for (int32_t p = 1; p <= 10; ++p)
            positions.push_back({format("command:sensitivity:%d:%d", p, n), p == selected});
        *out = slider(positions);
    } else if (generic_slider(token, out)) {
    } else {
        return false;
    }
    return true;
}

} // namespace

bool TvHasClientGame() {
    ITvGame* game = TvGetGameComponent();
    if (!game) return false;
    IUnknown* client = nullptr;
    if (game->QueryInterface(IID_ITvClientGame, reinterpret_cast<void**>(&client)) < 0 || !client)
        return false;
    client->Release();
    return true;
}

void TvInstallScoreboardBuilder(TvScoreboardBuilder builder) {
    scoreboard_builder = builder;
}

OmResult TvExpandPageTokens(const char* token, std::string* out) {
    out->clear();
    if (pilot_token(token, out) || plain_token(token, out) || pattern_token(token, out))
        return OM_S_OK;
    *out = format("'%s' not defined.", token);
    return OM_S_OK;
}

OmResult TvExpandTemplate(IByteStream* input, IByteStream* output) {
    if (!input || !output) return OM_E_FAIL;
    std::string text;
    char chunk[4096];
    for (;;) {
        uint32_t done = 0;
        const OmResult r = input->Read(chunk, sizeof chunk, &done);
        text.append(chunk, done);
        if (r == OM_E_ENDOFSTREAM || (r >= 0 && done < sizeof chunk)) break;
        if (r < 0) return r;
    }
    std::string page;
    std::string expansion;
    for (size_t i = 0; i < text.size();) {
        const char c = text[i++];
        if (c != '^') {
            page += c;
            continue;
        }
        std::string token;
        while (i < text.size() && text[i] != '^' && token.size() < TV_TOKEN_LIMIT)
            token += text[i++];
        // The closing caret, or the 65th character of a token cut at 64, is consumed.
        if (i < text.size()) ++i;
        if (token.empty()) {
            page += '^';
            continue;
        }
        TvExpandPageTokens(token.c_str(), &expansion);
        page += expansion;
    }
    uint32_t written = 0;
    if (page.empty()) return OM_S_OK;
    const OmResult r = output->Write(page.data(), uint32_t(page.size()), &written);
    return r < 0 ? r : OM_S_OK;
}
