// The game-data harnesses' shared fixture: the data framework, the engine as the model
// harnesses start it (the game's plug-in slots attached), with the engine's file functions
// opening the shared storage in memory and the texture directory's files kept in memory, so
// the models, textures and worlds a data file names are read from memory and no lookup
// touches the disk; and small models made once by the model writer.
#pragma once

#include "fuzz/data_harness.h"
#include "fuzz/model_harness.h"
#include "tools/modelwriter/model_shapes.h"
#include "tools/modelwriter/model_writer.h"
#include "tools/modelwriter/world_builder.h"
#include "tools/modelwriter/world_writer.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace fuzzing {

namespace detail {

// The texture directory's files by storage key, read from memory: the image path is searched
// for every texture name, in several spellings, and a walk of the disk directory for each
// try would cost more than the data file under test.
inline const std::map<std::string, std::string>& texture_directory_files() {
    static const std::map<std::string, std::string> files = [] {
        std::map<std::string, std::string> out;
        for (const auto& [name, bytes] : texture_files())
            out[storage_key(texture_directory() + name + ".bmp")] = bytes;
        return out;
    }();
    return files;
}

// The bytes at a path: the shared storage first, then the texture directory. No other file
// exists: nothing is read from the disk.
inline bool memory_file(const char* path, std::string& bytes) {
    if (!path) return false;
    if (shared_files().get(path, bytes)) return true;
    const auto& textures = texture_directory_files();
    const auto texture = textures.find(storage_key(path));
    if (texture == textures.end()) return false;
    bytes = texture->second;
    return true;
}

// A file in memory as a read-only stream of the C library.
inline void* memory_open(const char* path, const char* mode) {
    std::string bytes;
    if (!mode || mode[0] != 'r' || !memory_file(path, bytes)) return nullptr;
    if (bytes.empty()) return std::fopen("/dev/null", "rb");
    FILE* file = fmemopen(nullptr, bytes.size(), "w+b");
    if (!file) return nullptr;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    return file;
}

inline int32_t memory_exists(const char* path) {
    if (!path) return 0;
    return shared_files().has(path) || texture_directory_files().count(storage_key(path)) != 0;
}

} // namespace detail

// The data framework and the engine, started once.
inline void start_game_data() {
    static const bool started = [] {
        start_data_framework();
        start_model_engine();
        LgFileFunctions& files = LgEngineInstancePtr->fileFunctions;
        files.open = detail::memory_open;
        files.exists = detail::memory_exists;
        return true;
    }();
    (void)started;
}

// A box model's file bytes (a single atomic), `child` adding a second box on a child frame
// (a turret).
inline std::string box_model(float half, bool child = false) {
    namespace mw = modelwriter;
    mw::Material m;
    m.colour = {120, 90, 60, 255};
    mw::Clump clump = mw::single_atomic_clump(mw::make_box({half, half, half}, m));
    if (child) {
        mw::Frame frame;
        frame.parent = 0;
        frame.position = {0, 2, 0};
        clump.frames.push_back(frame);
        clump.geometries.push_back(mw::make_box({0.5f, 0.5f, 1.5f}, m));
        mw::Atomic turret;
        turret.frame = 1;
        turret.geometry = 1;
        clump.atomics.push_back(turret);
    }
    std::vector<uint8_t> out;
    require(bool(mw::write_clump(clump, out)), "a box model is written");
    return std::string(out.begin(), out.end());
}

// A world file's bytes: one textured, prelit quad of `size` at `height`, its corner at the
// origin in x and z.
inline std::string flat_world(float height, float size = 1000.0f) {
    namespace mw = modelwriter;
    mw::TriangleSoup soup;
    mw::Material m;
    m.colour = {255, 255, 255, 255};
    mw::Texture t;
    t.name = "planks";
    m.texture = t;
    soup.materials.push_back({-1, m});
    soup.positions = {{0, height, 0}, {0, height, size}, {size, height, size}, {size, height, 0}};
    for (int i = 0; i < 4; ++i) {
        soup.texCoords.push_back({float(i == 2 || i == 3), float(i == 1 || i == 2)});
        soup.prelit.push_back({200, 200, 200, 255});
    }
    soup.triangles = {{0, 1, 3, 0}, {1, 2, 3, 0}};
    mw::BuildOptions options;
    options.flags = mw::worldTextured | mw::worldPrelit;
    options.margin = height;
    std::optional<mw::World> world = mw::build_world(soup, options);
    require(world.has_value(), "a flat world is built");
    std::vector<uint8_t> out;
    require(bool(mw::write_world(*world, out)), "a flat world is written");
    return std::string(out.begin(), out.end());
}

} // namespace fuzzing
