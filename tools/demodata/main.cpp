// corvel-demodata: generates the demo data set into the program directory: the text sources
// copied, the models, the map, the pictures and the sounds made, and the list of files to sign.
#include "tools/demodata/demo_map.h"
#include "tools/demodata/demo_models.h"
#include "tools/demodata/demo_pictures.h"
#include "tools/demodata/demo_sounds.h"
#include "tools/demodata/signed_list.h"
#include "tools/demodata/text_sources.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

// Files an earlier run wrote that this run no longer writes are removed, so a source taken
// out of data/ does not linger beside the program. The list of this run replaces the old one.
void remove_stale_files(const demodata::OutputTree& out, const std::filesystem::path& manifest) {
    const std::set<std::string> now(out.written().begin(), out.written().end());
    std::ifstream before(manifest);
    for (std::string line; std::getline(before, line);) {
        std::error_code ec;
        if (!line.empty() && !now.count(line)) std::filesystem::remove(out.path(line), ec);
    }
    before.close();
    std::ofstream after(manifest, std::ios::trunc);
    for (const std::string& f : now) after << f << "\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: corvel-demodata <data source folder> <program folder> <plain list>\n"
                   "Writes the demo data set into the program folder and the list of the files\n"
                   "to sign (for sign_data_set) into <plain list>.\n",
                   stderr);
        return 2;
    }
    using namespace demodata;
    OutputTree out(argv[2]);
    const bool ok =
        copy_text_sources(argv[1], out) && write_demo_map(out) && write_plane_models(out) &&
        write_ground_models(out) && write_ordnance_models(out) && write_particle_pictures(out) &&
        write_cockpit_pictures(out) && write_editor_icons(out) && write_pointer_picture(out) &&
        write_menu_pictures(out) && write_demo_sounds(out);
    if (!ok) {
        std::fprintf(stderr, "corvel-demodata: %s\n", out.error().c_str());
        return 1;
    }
    std::ofstream list(argv[3], std::ios::binary | std::ios::trunc);
    list << plain_list(out.written());
    list.close();
    if (!list) {
        std::fprintf(stderr, "corvel-demodata: cannot write %s\n", argv[3]);
        return 1;
    }
    remove_stale_files(out, std::filesystem::path(argv[3]).replace_filename("generated_files.txt"));
    std::printf("corvel-demodata: %zu files in %s\n", out.written().size(), argv[2]);
    return 0;
}
