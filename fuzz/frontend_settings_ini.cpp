// Fuzzes aerovant.ini and strings.ini: the settings file loaded as start-up loads it, read by
// start-up and game set-up (which write their defaults back), saved, and loaded and saved
// again; the strings file of the language the settings name read through the data storage.
// Checks:
// - a saved file loads with no damaged line, and saving it again gives the same bytes;
// - a damaged file is kept byte for byte as aerovant.ini.bak;
// - every string looked up is at most 255 characters; a key that is not there gives the
//   missing-string text;
// - blocks balance.
//
// Input: a byte (bit 0: cheats unlocked), aerovant.ini as a part, and as the rest strings.ini.
#include "framework/containers/property_sheet.h"
#include "frontend/settings/data_storage.h"
#include "frontend/settings/language_strings.h"
#include "frontend/settings/program_settings.h"
#include "frontend/settings/settings_file.h"
#include "fuzz/data_harness.h"

#include <optional>
#include <string>
#include <vector>

using fuzzing::require;

namespace {

constexpr size_t kMostLookups = 32;

struct Fixture {
    ComRef<IFileStorage> storage;
    Fixture() {
        fuzzing::start_data_framework();
        require(OmCreate(CLSID_Storage, IID_IFileStorage, storage.put()) >= 0, "a storage");
        // The data storage registers a program-wide object once; made here, outside the
        // inputs' balance checks.
        TvLoadLanguageStrings(nullptr);
        TvReleaseLanguageStrings();
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

std::string file_bytes(const char* name) {
    std::string bytes;
    fuzzing::shared_files().get(name, bytes);
    return bytes;
}

// The key of each "key = value" line of the text, at most `most`.
std::vector<std::string> keys_of(std::string_view text, size_t most) {
    std::vector<std::string> keys;
    size_t at = 0;
    while (at < text.size() && keys.size() < most) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(at, end - at);
        const size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            std::string key(line.substr(0, equals));
            while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
            while (!key.empty() && (key.front() == ' ' || key.front() == '\t')) key.erase(0, 1);
            if (key.find('\0') == std::string::npos) keys.push_back(key);
        }
        at = end + 1;
    }
    return keys;
}

void settings_round_trip(IFileStorage* storage, std::span<const uint8_t> file, bool cheats) {
    auto& files = fuzzing::shared_files();
    files.put(TV_SETTINGS_FILE_NAME, file);
    ComRef<IPropertySheet> sheet, again;
    require(OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put()) >= 0 &&
                OmCreate(CLSID_PropertySheet, IID_IPropertySheet, again.put()) >= 0,
            "sheets");
    TvResetProgramSettings();
    const TvSettingsFileState state =
        TvLoadSettingsFile(storage, sheet.get(), TV_SETTINGS_FILE_NAME);
    require(state.read, "a file in storage is read");
    TvVideoChoice video;
    TvReadStartupSettings(sheet.get(), "", &video);
    TvGameSetupSettings game;
    TvReadGameSetupSettings(sheet.get(), cheats, &game);
    require(TvSaveSettingsFile(storage, sheet.get(), TV_SETTINGS_FILE_NAME, state) >= 0,
            "the settings are saved");
    const std::string backup = std::string(TV_SETTINGS_FILE_NAME) + TV_SETTINGS_BACKUP_SUFFIX;
    if (state.damaged)
        require(file_bytes(backup.c_str()) == std::string(fuzzing::as_text(file)),
                "a damaged file is kept as it was read");
    const std::string saved = file_bytes(TV_SETTINGS_FILE_NAME);

    const TvSettingsFileState second =
        TvLoadSettingsFile(storage, again.get(), TV_SETTINGS_FILE_NAME);
    require(second.read && !second.damaged, "a saved file loads whole");
    require(TvSaveSettingsFile(storage, again.get(), TV_SETTINGS_FILE_NAME, second) >= 0,
            "the settings are saved again");
    require(file_bytes(TV_SETTINGS_FILE_NAME) == saved,
            "saving what was saved gives the same bytes");
    // What the strings step reads of the settings.
    TvLoadLanguageStrings(sheet.get());
}

} // namespace

void run_input(const uint8_t* data, size_t size, bool checked);

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    // What the first load, save and lookup make once (the error log's state, the strings'
    // data storage) is made here, outside the inputs' balance checks.
    fuzzing::FuzzInputWriter warm;
    warm.byte(1).part("[language]\nlanguage=english\n").rest("[strings]\ntitle=Aerovant\n");
    run_input(warm.bytes().data(), warm.bytes().size(), false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    run_input(data, size, true);
    return 0;
}

void run_input(const uint8_t* data, size_t size, bool checked) {
    Fixture& f = fixture();
    fuzzing::FuzzInput input(data, size);
    const bool cheats = input.byte() & 1;
    const auto settings = input.part();
    const auto strings = input.rest();
    auto& files = fuzzing::shared_files();
    files.reset();
    files.put("language/english/strings.ini", strings);
    {
        std::optional<fuzzing::FrameworkBlocksBalanced> balanced;
        if (checked) balanced.emplace();
        settings_round_trip(f.storage.get(), settings, cheats);
        // The language the settings named may be another: its file is the same strings.
        const std::string own = "language/" + TvGetProgramSettings().language + "/strings.ini";
        if (own != "language/english/strings.ini" &&
            TvGetProgramSettings().language.find('\0') == std::string::npos) {
            files.put(own, strings);
            TvLoadLanguageStrings(nullptr);
        }
        for (const std::string& key : keys_of(fuzzing::as_text(strings), kMostLookups)) {
            const std::string text = TvGetLanguageString(key.c_str());
            require(text.size() <= TV_STRING_VALUE_LIMIT ||
                        text == "STRING \"" + key + "\" NOT IN FILE",
                    "a string is at most 255 characters");
        }
        TvGetLanguageString("a key that is not there");
        TvReleaseLanguageStrings();
        TvReleaseDataStorage();
        files.reset(); // the files written are memory streams of the framework
    }
}
