// Fuzzes texden.ini: LoadTextureList reads one section of the file (from the storage in
// memory) and sets the four texture-reduction shifts; TvTextureShifts, the rule it applies, is
// also run on the section's loads and the budget as read here.
// Checks: every shift is 0..3; the loads reduced by their shifts meet the budget, unless a
// shift stopped at its cap of 3 or every load is reduced to nothing; blocks balance.
//
// Input: a byte choosing the section ("demo", "objects", "planes" or "missing"), four bytes of
// budget (little-endian, signed), then as the rest texden.ini.
#include "framework/containers/property_sheet.h"
#include "fuzz/data_harness.h"
#include "game/rules/tavrin_mission.h"

#include <algorithm>
#include <array>
#include <cstdio>

using fuzzing::require;

namespace {

constexpr std::array<const char*, 4> kSections = {"demo", "objects", "planes", "missing"};

// The section's four loads as the property sheet gives them (absent: 0).
std::array<int32_t, 4> loads_of(std::span<const uint8_t> file, const char* section) {
    std::array<int32_t, 4> load{};
    ComRef<IPropertySheet> sheet;
    require(OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put()) >= 0, "a sheet");
    auto stream = fuzzing::stream_of(file);
    sheet->Load(stream.get());
    if (sheet->SetSection(section) < 0) return load;
    const char* keys[4] = {"64", "128", "256", "512"};
    for (int k = 0; k < 4; ++k) {
        char value[64]; // the mission reader's value size
        if (sheet->GetString(keys[k], value, sizeof value) >= 0) std::sscanf(value, "%d", &load[k]);
    }
    return load;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::start_data_framework();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_data_framework();
    fuzzing::FuzzInput input(data, size);
    const char* section = kSections[input.byte() % kSections.size()];
    uint32_t raw = 0;
    for (int i = 0; i < 4; ++i) raw |= uint32_t(input.byte()) << (8 * i);
    const int32_t budget = int32_t(raw);
    const auto file = input.rest();
    auto& files = fuzzing::shared_files();
    files.reset();
    files.put("texden.ini", file);
    {
        fuzzing::FrameworkBlocksBalanced balanced;
        require(LoadTextureList(section, budget) >= 0, "texden.ini in storage loads");
        const auto load = loads_of(file, section);
        int32_t shift[4];
        TvTextureShifts(load.data(), budget, shift);
        int64_t reduced = 0;
        bool capped = false, nothing_left = true;
        for (int k = 0; k < 4; ++k) {
            require(shift[k] >= 0 && shift[k] <= 3, "a shift is 0..3");
            int64_t l = std::max(load[k], 0); // a negative load is none
            for (int s = 0; s < shift[k]; ++s) l /= 4;
            reduced += l;
            capped |= shift[k] == 3;
            nothing_left &= l == 0;
        }
        require(reduced <= budget || capped || nothing_left,
                "the reduced loads meet the budget unless a shift is capped");
    }
    files.reset();
    return 0;
}
