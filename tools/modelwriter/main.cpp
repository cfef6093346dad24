// corvel-modelwriter: writes ready-made model files (a box, a ground grid) in the engine's
// clump format for demo data and manual tests.
#include "tools/modelwriter/model_shapes.h"
#include "tools/modelwriter/model_writer.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int usage() {
    std::fputs("usage: corvel-modelwriter box <out> [size] [texture]\n"
               "       corvel-modelwriter grid <out> [cells] [cell size] [texture]\n"
               "       options: --strips (build triangle strips at load), --inline (0x303 form)\n",
               stderr);
    return 2;
}

bool parse_float(const char* text, float& out) {
    char* end = nullptr;
    out = std::strtof(text, &end);
    return end != text && *end == '\0' && out > 0;
}

modelwriter::Texture named_texture(const std::string& name) {
    modelwriter::Texture t;
    t.name = name;
    return t;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    bool strips = false, inlineForm = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--strips")
            strips = true;
        else if (a == "--inline")
            inlineForm = true;
        else
            args.push_back(a);
    }
    if (args.size() < 2) return usage();
    const std::string& shape = args[0];
    const std::string& out = args[1];
    modelwriter::Material material;
    modelwriter::Geometry geometry;
    if (shape == "box") {
        float size = 1.0f;
        if (args.size() > 2 && !parse_float(args[2].c_str(), size)) return usage();
        if (args.size() > 3) material.texture = named_texture(args[3]);
        geometry = modelwriter::make_box({size / 2, size / 2, size / 2}, material);
    } else if (shape == "grid") {
        float cells = 8.0f, cellSize = 1.0f;
        if (args.size() > 2 && !parse_float(args[2].c_str(), cells)) return usage();
        if (args.size() > 3 && !parse_float(args[3].c_str(), cellSize)) return usage();
        if (args.size() > 4) material.texture = named_texture(args[4]);
        // 65536 vertices at most: 255 x 255 cells.
        if (cells > 255.0f) return usage();
        geometry = modelwriter::make_grid(static_cast<int>(cells), cellSize, material);
    } else {
        return usage();
    }
    if (!material.texture) {
        geometry.flags &= ~modelwriter::geometryTextured;
        geometry.texCoords.clear();
    }
    if (strips) geometry.flags |= modelwriter::geometryStrips;
    modelwriter::Clump clump = modelwriter::single_atomic_clump(std::move(geometry));
    if (inlineForm) clump.storage = modelwriter::GeometryStorage::Inline;
    std::vector<uint8_t> bytes;
    modelwriter::WriteResult result = modelwriter::write_clump(clump, bytes);
    if (result) result = modelwriter::write_file(out, bytes);
    if (!result) {
        std::fprintf(stderr, "corvel-modelwriter: %s\n", result.error.c_str());
        return 1;
    }
    return 0;
}
