// Reading and writing characters.ini.
#include "frontend/pilots/pilots_file.h"

#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/io/memory_stream.h"
#include "framework/platform/file_storage.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/pilot_roster.h"
#include "frontend/setup/cheat_gate.h"
#include "frontend/video/video_modes.h"
#include "frontend/video/video_startup.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t name_limit = 31;
constexpr char meta_section[] = "meta";
constexpr char current_key[] = "current";

constexpr char multi_prefix[] = "multi";
const char* const allied_planes[] = {"aircodh2", "bristolscout", "spadx111", "tavrincamel",
                                     "handleypage"};

struct IntKey {
    const char* key;
    int32_t TvPilotRecord::*field;
};

// The counters read with a default of 0 (picture has its own default).
const IntKey counters[] = {
    {"score", &TvPilotRecord::score},
    {"currentcampaign", &TvPilotRecord::current_campaign},
    {"britkills", &TvPilotRecord::brit_kills},
    {"germankills", &TvPilotRecord::german_kills},
    {"deaths", &TvPilotRecord::deaths},
    {"missionswon", &TvPilotRecord::missions_won},
    {"missionslost", &TvPilotRecord::missions_lost},
    {"timesplayed", &TvPilotRecord::times_played},
    {"shotsfired", &TvPilotRecord::shots_fired},
    {"shotsontarget", &TvPilotRecord::shots_on_target},
    {"timesonlastmission", &TvPilotRecord::times_on_last_mission},
    {"mpkills", &TvPilotRecord::mp_kills},
    {"mpdeaths", &TvPilotRecord::mp_deaths},
    {"mpscore", &TvPilotRecord::mp_score},
};

// The keys written after the campaign progress, in file order.
const IntKey written_after_progress[] = {
    {"germankills", &TvPilotRecord::german_kills},
    {"britkills", &TvPilotRecord::brit_kills},
    {"deaths", &TvPilotRecord::deaths},
    {"missionswon", &TvPilotRecord::missions_won},
    {"missionslost", &TvPilotRecord::missions_lost},
    {"timesplayed", &TvPilotRecord::times_played},
    {"timesonlastmission", &TvPilotRecord::times_on_last_mission},
    {"shotsontarget", &TvPilotRecord::shots_on_target},
    {"shotsfired", &TvPilotRecord::shots_fired},
    {"mpkills", &TvPilotRecord::mp_kills},
    {"mpdeaths", &TvPilotRecord::mp_deaths},
    {"mpscore", &TvPilotRecord::mp_score},
};

std::string section_name(int32_t slot) {
    return "Character" + std::to_string(slot + 1);
}

bool get_text(IPropertySheet* sheet, const char* key, std::string* out) {
    const uint32_t length = sheet->GetStringLength(key);
    if (length == 0) {
        char probe[2] = "";
        if (sheet->GetString(key, probe, sizeof probe) < 0) return false;
        out->clear();
        return true;
    }
    std::vector<char> text(length + 1);
    if (sheet->GetString(key, text.data(), uint32_t(text.size())) < 0) return false;
    out->assign(text.data());
    return true;
}

// A decimal value: the field keeps what a malformed number scans to (nothing: unchanged).
bool read_int(IPropertySheet* sheet, const char* key, int32_t* field) {
    std::string text;
    if (!get_text(sheet, key, &text)) return false;
    int value = 0;
    if (std::sscanf(text.c_str(), "%d", &value) == 1) *field = value;
    return true;
}

// A name of at most 31 characters; a longer value is not read.
void read_name(IPropertySheet* sheet, const char* key, char* field, size_t size) {
    std::string text;
    if (!get_text(sheet, key, &text) || text.size() > name_limit) return;
    std::snprintf(field, size, "%s", text.c_str());
}

void read_flags(IPropertySheet* sheet, const char* key, int32_t* flags) {
    std::string text;
    if (!get_text(sheet, key, &text)) return;
    std::sscanf(text.c_str(), "%d %d %d %d %d %d %d %d %d %d", &flags[0], &flags[1], &flags[2],
                &flags[3], &flags[4], &flags[5], &flags[6], &flags[7], &flags[8], &flags[9]);
}

std::string flags_text(const int32_t* flags) {
    char text[160];
    std::snprintf(text, sizeof text, "%d %d %d %d %d %d %d %d %d %d", flags[0], flags[1], flags[2],
                  flags[3], flags[4], flags[5], flags[6], flags[7], flags[8], flags[9]);
    return text;
}

void set_int(IPropertySheet* sheet, const char* key, int32_t value) {
    sheet->SetString(key, std::to_string(value).c_str());
}

void read_pilot(IPropertySheet* sheet, int32_t slot, TvPilotRecord& pilot) {
    TvMenuState& m = TvMenus();
    read_name(sheet, "forenames", pilot.forenames, sizeof pilot.forenames);
    read_name(sheet, "sirname", pilot.sirname, sizeof pilot.sirname);
    // The full name keeps the blank between forenames and surname.
    std::string full = pilot.forenames;
    if (!full.empty() && pilot.sirname[0]) full += ' ';
    full += pilot.sirname;
    std::snprintf(pilot.full_name, sizeof pilot.full_name, "%s", full.c_str());

    std::snprintf(pilot.favourite_plane, sizeof pilot.favourite_plane, "%s",
                  TV_DEFAULT_FAVOURITE_PLANE);
    read_name(sheet, "favouriteplane", pilot.favourite_plane, sizeof pilot.favourite_plane);

    pilot.allied_mission = 1;
    pilot.central_mission = 1;
    std::memset(pilot.allied_complete, 0, sizeof pilot.allied_complete);
    std::memset(pilot.central_complete, 0, sizeof pilot.central_complete);
    read_flags(sheet, "alliedmissionsc", pilot.allied_complete);
    read_flags(sheet, "centralmissionsc", pilot.central_complete);
    int32_t mission = 0;
    if (read_int(sheet, "alliedmission", &mission) && mission > 0) {
        pilot.allied_mission = mission;
        m.allied_mission = mission;
    }
    mission = 0;
    if (read_int(sheet, "centralmission", &mission) && mission > 0) {
        pilot.central_mission = mission;
        m.central_mission = mission;
    }
    pilot.side = TvSideOfPlane(pilot.favourite_plane);

    int32_t mode = 0;
    if (read_int(sheet, "videomode", &mode)) TvSetConfiguredMissionMode(mode);

    pilot.picture = 8;
    read_int(sheet, "picture", &pilot.picture);
    for (const IntKey& k : counters) {
        pilot.*k.field = 0;
        read_int(sheet, k.key, &(pilot.*k.field));
    }
    for (int32_t i = 0; i < 32; ++i) {
        pilot.campaign_mission[i] = 0;
        const std::string key = "mission" + std::to_string(i);
        read_int(sheet, key.c_str(), &pilot.campaign_mission[i]);
    }
    pilot.kills = pilot.brit_kills + pilot.german_kills;
    TvGetPilotRoster().used[slot] = 1;
}

void write_pilot(IPropertySheet* sheet, const TvPilotRecord& pilot) {
    sheet->SetString("forenames", pilot.forenames);
    sheet->SetString("sirname", pilot.sirname);
    sheet->SetString("favouriteplane", pilot.favourite_plane);
    sheet->SetString("alliedmissionsc", flags_text(pilot.allied_complete).c_str());
    sheet->SetString("centralmissionsc", flags_text(pilot.central_complete).c_str());
    set_int(sheet, "videomode", TvGetConfiguredMissionMode());
    set_int(sheet, "picture", pilot.picture);
    set_int(sheet, "score", pilot.score);
    set_int(sheet, "currentcampaign", pilot.current_campaign);
    for (int32_t i = 0; i < 32; ++i) {
        if (pilot.campaign_mission[i] == 0) continue;
        const std::string key = "mission" + std::to_string(i);
        set_int(sheet, key.c_str(), pilot.campaign_mission[i]);
    }
    for (const IntKey& k : written_after_progress) set_int(sheet, k.key, pilot.*k.field);
}

// Slot 0 filled from the first used slot when it is empty.
void compact_roster() {
    TvPilotRoster& roster = TvGetPilotRoster();
    if (roster.used[0]) return;
    const int32_t first = TvFirstUsedPilot();
    if (first <= 0) return;
    roster.pilots[0] = roster.pilots[first];
    std::memset(&roster.pilots[first], 0, sizeof roster.pilots[first]);
    roster.used[0] = 1;
    roster.used[first] = 0;
    if (roster.current == first) roster.current = 0;
}

// The cheat gate follows the roster.
void report_progress() {
    const TvPilotRoster& roster = TvGetPilotRoster();
    std::vector<TvPilotCampaignProgress> progress(TV_PILOT_SLOTS);
    for (int32_t i = 0; i < TV_PILOT_SLOTS; ++i) {
        progress[i].occupied = roster.used[i] != 0;
        const int32_t campaign = roster.pilots[i].current_campaign;
        progress[i].mission_number =
            campaign >= 0 && campaign < 32 ? roster.pilots[i].campaign_mission[campaign] : 0;
    }
    TvSetPilotProgress(std::move(progress));
}

} // namespace

// Mend: the stored favourite plane carries the network kinds' "multi" prefix, which the bare
// ids of the Allied planes lack; compared as stored, every reloaded pilot would be Central.
int32_t TvSideOfPlane(const char* plane) {
    if (!plane) return TV_SIDE_CENTRAL;
    if (std::strncmp(plane, multi_prefix, sizeof multi_prefix - 1) == 0)
        plane += sizeof multi_prefix - 1;
    for (const char* allied : allied_planes)
        if (std::strcmp(plane, allied) == 0) return TV_SIDE_ALLIED;
    return TV_SIDE_CENTRAL;
}

OmResult TvLoadPilots() {
    ComRef<IFileStorage> storage;
    if (OmCreate(CLSID_FileStorage, IID_IFileStorage, storage.put()) < 0) return OM_E_FAIL;
    ComRef<IByteStream> file;
    if (storage->Open(TV_PILOTS_FILE_NAME, OM_OPEN_READ, OM_OPEN_TEXT, file.put()) < 0 || !file)
        return OM_E_FAIL;
    ComRef<IPropertySheet> sheet;
    if (OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put()) < 0 ||
        sheet->Load(file.get()) < 0)
        return OM_E_FAIL;

    TvPilotRoster& roster = TvGetPilotRoster();
    for (int32_t slot = 0; slot < TV_PILOT_SLOTS; ++slot) {
        if (sheet->SetSection(section_name(slot).c_str()) < 0) continue;
        read_pilot(sheet.get(), slot, roster.pilots[slot]);
    }
    roster.current = -1;
    int32_t current = 0;
    if (sheet->SetSection(meta_section) >= 0 && read_int(sheet.get(), current_key, &current))
        roster.current = current - 1;
    report_progress();
    return OM_S_OK;
}

OmResult TvWritePilotsFile() {
    ComRef<IFileStorage> storage;
    if (OmCreate(CLSID_FileStorage, IID_IFileStorage, storage.put()) < 0) return OM_E_FAIL;
    ComRef<IPropertySheet> sheet;
    if (OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put()) < 0) return OM_E_FAIL;
    // A new sheet starts in an unnamed section, which the file does not have.
    if (sheet->SetSection("") >= 0) sheet->RemoveSection();

    compact_roster();
    const TvPilotRoster& roster = TvGetPilotRoster();
    for (int32_t slot = 0; slot < TV_PILOT_SLOTS; ++slot) {
        if (!roster.used[slot]) continue;
        if (sheet->UseSection(section_name(slot).c_str()) < 0) return OM_E_FAIL;
        write_pilot(sheet.get(), roster.pilots[slot]);
    }
    if (sheet->UseSection(meta_section) < 0) return OM_E_FAIL;
    set_int(sheet.get(), current_key, roster.current + 1);

    // The text is made whole first: a failure leaves the file as it was.
    ComRef<IByteStream> text;
    if (OmNewMemoryStream(text.put()) < 0 || sheet->Save(text.get()) < 0) return OM_E_FAIL;
    ComRef<IByteStream> file;
    if (storage->Open(TV_PILOTS_FILE_NAME, OM_OPEN_WRITE, OM_OPEN_TEXT, file.put()) < 0 || !file)
        return OM_E_FAIL;
    text->Seek(0, OM_SEEK_START, nullptr);
    char chunk[4096];
    for (;;) {
        uint32_t got = 0;
        const OmResult r = text->Read(chunk, sizeof chunk, &got);
        if (got && file->Write(chunk, got, nullptr) < 0) return OM_E_FAIL;
        if (r == OM_E_ENDOFSTREAM || (r >= 0 && got < sizeof chunk)) break;
        if (r < 0) return OM_E_FAIL;
    }
    report_progress();
    return OM_S_OK;
}
