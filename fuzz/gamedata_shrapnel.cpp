// Fuzzes SHRAPNEL.INI (plain text: a heading line, then "name size" pairs): TvInitShrapnel
// lists the shrapnel directory's model files through the storage in memory, reads the sizes
// and builds its pool, on the engine started once over the scripted device. The model files
// are served empty (the model reader is fuzzed by the engine's clump harness), so each named
// model is a slot without a clump. The file's text is then used as a list of names for
// TvShrapnelMaskFromNames.
// Checks: one slot per listed file, in name order, at most 32; names are terminated stems of
// at most 31 characters; a size read is a positive finite scale or none (0); a mask names only
// slots that exist and counts at most 32 names; framework and engine blocks balance.
//
// Input: a byte of model-file count (0..40), that many file names as parts (served as
// "<name>.dff" in the directory), then as the rest SHRAPNEL.INI.
#include "fuzz/data_harness.h"
#include "fuzz/engine_harness.h"
#include "game/world/tv_shrapnel.h"

#include <cmath>
#include <cstring>
#include <set>
#include <string>

using fuzzing::require;

namespace {

constexpr char kDirectory[] = "objects/ground/shrapnel/";

void check_models(const std::set<std::string>& listed) {
    const int32_t count = TvShrapnelModelCount();
    require(count == int32_t(std::min<size_t>(listed.size(), kTvShrapnelModelCapacity)),
            "one slot per model file, at most 32");
    auto file = listed.begin();
    for (int32_t i = 0; i < count; ++i, ++file) {
        const char* name = TvShrapnelModelName(i);
        require(name && strnlen(name, 32) < 32, "a model name is terminated");
        require(file->substr(0, file->find('.')).substr(0, 31) == name,
                "slots follow the file names in order");
        const float scale = TvShrapnelModelScale(i);
        require(scale == 0.0f || (scale > 0.0f && std::isfinite(scale)), "a scale is positive");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::start_data_framework();
    fuzzing::start_engine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_data_framework();
    fuzzing::start_engine();
    fuzzing::FuzzInput input(data, size);
    auto& files = fuzzing::shared_files();
    files.reset();
    std::set<std::string> listed;
    const int models = input.byte() % 41;
    for (int i = 0; i < models; ++i) {
        std::string name = fuzzing::storage_key(fuzzing::text_of(input.part())) + ".dff";
        if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos) continue;
        listed.insert(name);
        files.put(kDirectory + name, std::string_view());
    }
    const auto sizes = input.rest();
    files.put(std::string(kDirectory) + "shrapnel.ini", sizes);
    {
        fuzzing::FrameworkBlocksBalanced framework_balanced;
        fuzzing::EngineBlocksBalanced engine_balanced;
        TvInitShrapnel();
        check_models(listed);
        uint32_t mask = 0;
        int32_t count = 0;
        TvShrapnelMaskFromNames(fuzzing::text_of(sizes).c_str(), &mask, &count);
        require(count >= 0 && count <= 32, "a mask counts at most 32 names");
        const int32_t slots = TvShrapnelModelCount();
        require(slots >= 32 || (mask >> slots) == 0, "a mask names only slots that exist");
        TvReleaseShrapnel();
    }
    files.reset();
    return 0;
}
