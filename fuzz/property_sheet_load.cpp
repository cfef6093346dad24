// Fuzzes PropertySheet::Load with hostile INI text. Whatever part of the text loads must walk
// back cleanly (every key's value reads with the length MoveKey reports), and the saved text
// must load again, whole, into a sheet that saves the same text.
//
// Input: the INI text.
#include "framework/containers/move_modes.h"
#include "framework/containers/property_sheet.h"
#include "fuzz/framework_harness.h"

#include <cstring>
#include <vector>

namespace {

ComRef<IPropertySheet> new_sheet() {
    ComRef<IPropertySheet> sheet;
    fuzzing::require(OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put()) >= 0,
                     "a property sheet is created");
    return sheet;
}

std::string saved(IPropertySheet* sheet) {
    auto stream = fuzzing::stream_of(std::string_view());
    fuzzing::require(sheet->Save(stream.get()) >= 0, "a sheet saves into memory");
    return fuzzing::bytes_of(stream.get());
}

// Every section and key, as a caller enumerating the sheet meets them.
void walk(IPropertySheet* sheet) {
    char name[OM_SHEET_NAME_SIZE];
    std::vector<char> value;
    for (OmResult s = sheet->MoveSection(OM_MOVE_FIRST); s >= 0;
         s = sheet->MoveSection(OM_MOVE_NEXT)) {
        fuzzing::require(sheet->GetSectionName(name) >= 0, "the current section has a name");
        fuzzing::require(std::memchr(name, 0, sizeof name) != nullptr, "section names fit");
        uint32_t length = 0;
        for (OmResult k = sheet->MoveKey(name, &length, OM_MOVE_FIRST); k >= 0;
             k = sheet->MoveKey(name, &length, OM_MOVE_NEXT)) {
            fuzzing::require(std::memchr(name, 0, sizeof name) != nullptr, "key names fit");
            // MoveKey reports the value's characters, GetStringLength its bytes with the NUL.
            value.assign(length + 1, '\x7f');
            fuzzing::require(sheet->GetString(name, value.data(), length + 1) >= 0,
                             "a listed key reads with its reported length");
            fuzzing::require(std::strlen(value.data()) == length,
                             "the value is as long as reported");
            fuzzing::require(sheet->GetStringLength(name) == length + 1, "the lengths agree");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_framework();
    fuzzing::FrameworkBlocksBalanced balanced;

    auto sheet = new_sheet();
    auto stream = fuzzing::stream_of(std::span<const uint8_t>(data, size));
    sheet->Load(stream.get());
    walk(sheet.get());
    const std::string text = saved(sheet.get());

    auto again = new_sheet();
    auto saved_stream = fuzzing::stream_of(text);
    fuzzing::require(again->Load(saved_stream.get()) >= 0, "a saved sheet loads");
    fuzzing::require(saved(again.get()) == text, "a saved sheet saves the same text");
    return 0;
}
