// Fuzzes the control layout files ("controldefault:" links): the file read through the data
// storage (the shared storage in memory) by TvLoadControlLayout into a settings sheet the
// harness makes for each input from one of two fixture settings (one with
// the player's control sections and [globalcontrol], one without either).
// Checks:
// - the load succeeds exactly when the file exists and loads on a sheet of its own; when it
//   fails the sheet and the control type are as they were;
// - after a load: the control type is the one the file's name stands for (others keep it),
//   [globalcontrol] "type" holds it unless the file sets that key itself; each of the ten
//   control sections is the file's section exactly, or gone when the file has none; every
//   other section the file has holds the file's values; every section the file does not name
//   is as it was;
// - the sheet saved by the settings writer loads to the same sections and keys and saves to
//   the same bytes, and the game reads the same bindings from it;
// - the sensitivities game set-up reads from the sheet are finite numbers;
// - blocks balance.
//
// Input: a byte (low three bits: the file name, of the four layouts, another name and a file
// that is not there; bit 3: the fixture without control sections), then the file.
#include "framework/containers/property_sheet.h"
#include "frontend/menus/control_layout.h"
#include "frontend/settings/data_storage.h"
#include "frontend/settings/program_settings.h"
#include "fuzz/data_harness.h"
#include "game/rules/tv_control_bindings.h"

#include <cmath>
#include <cstring>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

using fuzzing::require;

namespace {

// A player's settings, with and without the control sections (kept short: they are loaded for
// every input).
constexpr char kWithControls[] =
    "[graphics]\nmode=0\nshadows=1\n[globalcontrol]\ntype=3\n[Player1]\nname=Player 1\n"
    "[Player1Roll]\ntype=keyboard\nupkey=d\ndownkey=a\nsensitivity=0.5\n"
    "[Player1Pitch]\ntype=mouse\naxis=2\nsensitivity=0.5\n"
    "[Player1Throttle]\ntype=joystick\naxis=3\n[Player1Special]\nkey=tab\n"
    "[Player1Fire]\ntype=keyboard\nkey=spacebar\n[Player1Secondary]\nbutton=2\n"
    "[Player1CamAbove]\nkey=f1\n[Player1CamLeft]\nkey=f2\n[Player1CamRight]\nkey=f3\n"
    "[Player1CamBehind]\nkey=f4\n[sound]\nchannel0vol=0.5\n";
constexpr char kWithoutControls[] = "[graphics]\nshadows=2\n[server]\nipaddress=10.0.0.1\n"
                                    "[Player1]\nname=Player 1\n";
constexpr int32_t kFixtureControlType = 2;

const char* const kNames[] = {"keyboard.ini", "mousekeys.ini", "joystick.ini", "joystickkeys.ini",
                              "custom.ini"};
constexpr char kMissingName[] = "missing.ini";

using Keys = std::vector<std::pair<std::string, std::string>>;
using Sections = std::vector<std::pair<std::string, Keys>>;

// Every section of the sheet in order with its keys in order.
Sections contents(IPropertySheet* sheet) {
    Sections out;
    std::vector<char> value;
    for (OmResult s = sheet->MoveSection(OM_MOVE_FIRST); s >= 0;
         s = sheet->MoveSection(OM_MOVE_NEXT)) {
        char name[OM_SHEET_NAME_SIZE] = {};
        sheet->GetSectionName(name);
        Keys keys;
        char key[OM_SHEET_NAME_SIZE] = {};
        uint32_t length = 0;
        for (OmResult k = sheet->MoveKey(key, &length, OM_MOVE_FIRST); k >= 0;
             k = sheet->MoveKey(key, &length, OM_MOVE_NEXT)) {
            value.assign(length + 1, '\0');
            sheet->GetString(key, value.data(), uint32_t(value.size()));
            keys.emplace_back(key, value.data());
        }
        out.emplace_back(name, std::move(keys));
    }
    return out;
}

const Keys* find(const Sections& sections, const std::string& name) {
    for (const auto& [section, keys] : sections)
        if (section == name) return &keys;
    return nullptr;
}

const std::string* find(const Keys& keys, const std::string& name) {
    for (const auto& [key, value] : keys)
        if (key == name) return &value;
    return nullptr;
}

bool is_control_section(const std::string& name) {
    for (const char* section : TV_CONTROL_LAYOUT_SECTIONS)
        if (name == section) return true;
    return false;
}

std::string saved(IPropertySheet* sheet) {
    ComRef<IByteStream> stream;
    require(OmNewMemoryStream(stream.put()) >= 0, "a stream");
    require(sheet->Save(stream.get()) >= 0, "the sheet saves");
    return fuzzing::bytes_of(stream.get());
}

ComRef<IPropertySheet> new_sheet() {
    ComRef<IPropertySheet> sheet;
    require(OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put()) >= 0, "a sheet");
    return sheet;
}

// The settings sheet and the two the checks read into, made for each input: a sheet keeps the
// pool blocks its largest content needed, so sheets that lived on would grow with the inputs.
struct Sheets {
    ComRef<IPropertySheet> settings = new_sheet(), loaded = new_sheet(), reloaded = new_sheet();
    explicit Sheets(bool with_controls) {
        auto text =
            fuzzing::stream_of(std::string_view(with_controls ? kWithControls : kWithoutControls));
        require(settings->Load(text.get()) >= 0, "the fixture settings load");
    }
};

struct Fixture {
    // What each fixture sheet holds as loaded, and its saved text.
    Sections before[2];
    std::string before_text[2];
    Fixture() {
        fuzzing::start_data_framework();
        // The data storage registers a program-wide object once: made here, outside the
        // inputs' balance checks.
        require(tvfe::TvOpenDemoRecordings() >= 0 && TvGetDataStorage(), "the data storage");
        for (int with_controls = 0; with_controls < 2; ++with_controls) {
            Sheets sheets(with_controls != 0);
            before[with_controls] = contents(sheets.settings.get());
            before_text[with_controls] = saved(sheets.settings.get());
        }
    }
    // The program's control type and the data files as before every input.
    void restore() {
        TvResetProgramSettings();
        TvGetProgramSettings().control_type = kFixtureControlType;
        fuzzing::shared_files().reset();
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void check_loaded(const Sections& before, const Sections& file, const Sections& after,
                  int32_t expected_type) {
    require(TvGetProgramSettings().control_type == expected_type,
            "the control type is the one the file's name stands for");
    const Keys* global = find(after, TV_SECTION_GLOBALCONTROL);
    const Keys* file_global = find(file, TV_SECTION_GLOBALCONTROL);
    const std::string* type = global ? find(*global, TV_KEY_TYPE) : nullptr;
    const std::string* file_type = file_global ? find(*file_global, TV_KEY_TYPE) : nullptr;
    require(type && *type == (file_type ? *file_type : std::to_string(expected_type)),
            "[globalcontrol] type holds the control type");

    for (const char* name : TV_CONTROL_LAYOUT_SECTIONS) {
        const Keys* mine = find(after, name);
        const Keys* theirs = find(file, name);
        require((mine == nullptr) == (theirs == nullptr) && (!mine || *mine == *theirs),
                "a control section is the file's, or gone");
    }
    for (const auto& [name, keys] : file) {
        if (is_control_section(name)) continue;
        const Keys* mine = find(after, name);
        require(mine != nullptr, "a section of the file is in the sheet");
        for (const auto& [key, value] : keys) {
            if (name == TV_SECTION_GLOBALCONTROL && key == TV_KEY_TYPE) continue;
            const std::string* have = find(*mine, key);
            require(have && *have == value, "a key of the file holds the file's value");
        }
    }
    for (const auto& [name, keys] : before) {
        if (is_control_section(name) || find(file, name)) continue;
        const Keys* mine = find(after, name);
        require(mine != nullptr, "a section the file does not name stays");
        if (name == TV_SECTION_GLOBALCONTROL) continue;
        require(*mine == keys, "a section the file does not name is unchanged");
    }
    for (const auto& [name, keys] : after)
        require(find(before, name) || find(file, name) || name == TV_SECTION_GLOBALCONTROL,
                "no section comes from elsewhere");
}

// The settings writer's round trip, and the game's bindings on both sides of it.
void check_round_trip(Sheets& f, const Sections& after) {
    const std::string text = saved(f.settings.get());
    f.reloaded->Clear();
    auto stream = fuzzing::stream_of(std::string_view(text));
    require(f.reloaded->Load(stream.get()) >= 0, "the saved settings load");
    require(saved(f.reloaded.get()) == text, "the saved settings save to the same bytes");
    Sections again = contents(f.reloaded.get());
    require(again == after, "the saved settings load to the same sections and keys");

    TvControlBindings mine, theirs;
    std::memset(&mine, 0, sizeof mine);
    std::memset(&theirs, 0, sizeof theirs);
    const OmResult r = TvReadControlBindings(f.settings.get(), &mine);
    require((r >= 0) == (TvReadControlBindings(f.reloaded.get(), &theirs) >= 0) &&
                std::memcmp(&mine, &theirs, sizeof mine) == 0,
            "the game reads the same bindings from the saved settings");
}

void check_sensitivities(IPropertySheet* sheet) {
    TvGameSetupSettings setup;
    TvReadGameSetupSettings(sheet, false, &setup);
    for (float s : {setup.pitch_sensitivity, setup.roll_sensitivity, setup.throttle_sensitivity})
        require(std::isfinite(s), "a sensitivity set-up reads is a finite number");
}

void run_input(uint8_t choice, std::span<const uint8_t> file) {
    const bool with_controls = (choice & 8) == 0;
    const size_t which = (choice & 7) % 6;
    const char* name = which < 5 ? kNames[which] : kMissingName;
    Sheets f(with_controls);
    if (which < 5) fuzzing::shared_files().put(name, file);

    const Sections& before = fixture().before[with_controls];
    const std::string& before_text = fixture().before_text[with_controls];
    bool loads = false;
    Sections file_sections;
    if (which < 5) {
        auto stream = fuzzing::stream_of(file);
        loads = f.loaded->Load(stream.get()) >= 0;
        file_sections = contents(f.loaded.get());
    }

    const OmResult r = TvLoadControlLayout(f.settings.get(), name);
    require((r >= 0) == loads, "a layout loads when it is there and reads");
    if (r < 0) {
        require(saved(f.settings.get()) == before_text &&
                    TvGetProgramSettings().control_type == kFixtureControlType,
                "a layout that does not load changes nothing");
        return;
    }
    const int32_t type = TvControlLayoutType(name);
    const Sections after = contents(f.settings.get());
    check_loaded(before, file_sections, after, type >= 0 ? type : kFixtureControlType);
    check_round_trip(f, after);
    check_sensitivities(f.settings.get());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // What the first layouts make once (the game's key-name table among them) is made here,
    // outside the inputs' balance checks.
    const std::string_view warm[] = {kWithControls, "[Player1Fire]\ntype=keyboard\nkey=zz\n"};
    for (std::string_view text : warm) {
        fixture().restore();
        run_input(4, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::FuzzInput input(data, size);
    const uint8_t choice = input.byte();
    const auto file = input.rest();
    fixture().restore();
    {
        fuzzing::FrameworkBlocksBalanced balanced;
        run_input(choice, file);
        fuzzing::shared_files().reset(); // the files are memory streams of the framework
    }
    return 0;
}
