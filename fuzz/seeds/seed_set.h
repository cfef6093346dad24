// The seed corpus generator's registry: each harness that wants seeds has one entry that
// makes small valid inputs with the project's own writers.
#pragma once

#include "fuzz/fuzz_support.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fuzzing {

// The named inputs of one harness.
class SeedSet {
public:
    void add(std::string name, std::span<const uint8_t> bytes) {
        seeds_.emplace_back(std::move(name), std::vector<uint8_t>(bytes.begin(), bytes.end()));
    }
    void add(std::string name, std::string_view text) {
        add(std::move(name), {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    }
    void add(std::string name, const FuzzInputWriter& input) {
        add(std::move(name), std::span<const uint8_t>(input.bytes()));
    }
    const std::vector<std::pair<std::string, std::vector<uint8_t>>>& seeds() const {
        return seeds_;
    }

private:
    std::vector<std::pair<std::string, std::vector<uint8_t>>> seeds_;
};

using SeedMaker = void (*)(SeedSet& seeds);

struct SeedEntry {
    const char* harness;
    SeedMaker make;
};

inline std::vector<SeedEntry>& seed_entries() {
    static std::vector<SeedEntry> entries;
    return entries;
}

struct SeedRegistration {
    SeedRegistration(const char* harness, SeedMaker make) {
        seed_entries().push_back({harness, make});
    }
};

} // namespace fuzzing

// FUZZ_SEEDS(harness) { seeds.add("name", bytes); ... } defines the entry of fuzz/<harness>.cpp.
#define FUZZ_SEEDS(harness)                                                                        \
    static void harness##_make_seeds(fuzzing::SeedSet& seeds);                                     \
    static const fuzzing::SeedRegistration harness##_seed_registration(#harness,                   \
                                                                       harness##_make_seeds);      \
    static void harness##_make_seeds(fuzzing::SeedSet& seeds)
