// fuzz_seeds: writes every registered harness's seeds to <corpus dir>/<harness>/<name>,
// replacing the seeds a harness had before.
//   fuzz_seeds <corpus dir> [harness ...]
#include "fuzz/seeds/seed_set.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <corpus dir> [harness ...]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path corpus = argv[1];
    const std::vector<std::string> only(argv + 2, argv + argc);
    for (const auto& entry : fuzzing::seed_entries()) {
        if (!only.empty() && std::find(only.begin(), only.end(), entry.harness) == only.end())
            continue;
        fuzzing::SeedSet seeds;
        entry.make(seeds);
        const auto dir = corpus / entry.harness;
        std::error_code error;
        std::filesystem::remove_all(dir, error);
        std::filesystem::create_directories(dir, error);
        if (error) {
            std::fprintf(stderr, "fuzz_seeds: cannot create %s\n", dir.c_str());
            return 1;
        }
        for (const auto& [name, bytes] : seeds.seeds()) {
            std::ofstream out(dir / name, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
            if (!out) {
                std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", (dir / name).c_str());
                return 1;
            }
        }
        std::printf("%s: %zu seeds\n", entry.harness, seeds.seeds().size());
    }
    return 0;
}
