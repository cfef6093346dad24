// The generator is deterministic: two runs from the same sources write the same files,
// byte for byte, and the same signing list.
#include "tests/support/temp_dir.h"
#include "tests/tools/demodata/demodata_fixture.h"
#include "tools/demodata/demo_map.h"
#include "tools/demodata/demo_models.h"
#include "tools/demodata/demo_pictures.h"
#include "tools/demodata/demo_sounds.h"
#include "tools/demodata/signed_list.h"
#include "tools/demodata/text_sources.h"

#include <filesystem>

namespace demodatatest {
namespace {

using demodata::OutputTree;

std::string generate(OutputTree& out) {
    using namespace demodata;
    const bool ok =
        copy_text_sources(source_dir(), out) && write_demo_map(out) && write_plane_models(out) &&
        write_ground_models(out) && write_ordnance_models(out) && write_particle_pictures(out) &&
        write_cockpit_pictures(out) && write_editor_icons(out) && write_pointer_picture(out) &&
        write_menu_pictures(out) && write_demo_sounds(out);
    EXPECT_TRUE(ok) << out.error();
    return plain_list(out.written());
}

TEST(DemoDataGeneration, TwoRunsWriteTheSameBytes) {
    testsupport::TempDir a, b;
    OutputTree first(a.path()), second(b.path());
    EXPECT_EQ(generate(first), generate(second));
    ASSERT_EQ(first.written(), second.written());
    ASSERT_GE(first.written().size(), 250u);
    for (const std::string& f : first.written()) EXPECT_EQ(read_text(a / f), read_text(b / f)) << f;
}

TEST(DemoDataGeneration, TheBuildsSetIsTheGeneratorsOutput) {
    // The program directory holds what the generator writes (aerovant.ini and characters.ini
    // are left out: the program rewrites them when it runs).
    testsupport::TempDir dir;
    OutputTree out(dir.path());
    generate(out);
    for (const std::string& f : out.written()) {
        if (f == "aerovant.ini" || f == "characters.ini") continue;
        EXPECT_EQ(read_text(dir / f), read_text(program_dir() + "/" + f)) << f;
    }
}

TEST(DemoDataGeneration, SigningListKeysFollowEachReadersPath) {
    using demodata::listed_file;
    const struct {
        const char* file;
        const char* section;
        const char* key;
    } rows[] = {
        {"objects/planes/tavrincamel/plane.ini", "warning", "objects/planes/tavrincamel/plane.ini"},
        {"objects/planes/tavrincamel/tavrincamel.dff", "secure",
         "objects/planes/tavrincamel/tavrincamel.dff"},
        {"objects/ground/hangar/ground.ini", "warning", "./objects/ground/hangar/ground.ini"},
        {"objects/ordinance/ordinance.ini", "warning", "./objects/ordinance/ordinance.ini"},
        {"objects/ordinance/bomb.dff", "secure", "objects/ordinance/bomb.dff"},
        {"objects/ground/shrapnel/SHRAPNEL.INI", "warning", "OBJECTS/GROUND/SHRAPNEL/SHRAPNEL.INI"},
        {"objects/ground/shrapnel/plank.dff", "secure", "OBJECTS/GROUND/SHRAPNEL/plank.dff"},
        {"maps/demo/map.ini", "warning", "maps/demo/map.ini"},
        {"maps/demo/demo.bsp", "secure", "maps/demo/demo.bsp"},
        {"missions/3/mission.ini", "warning", "missions/3/mission.ini"},
        {"Language/english/strings.ini", "warning", "language/english/strings.ini"},
        {"keyboard.ini", "warning", "keyboard.ini"},
    };
    for (const auto& r : rows) {
        const auto listed = listed_file(r.file);
        ASSERT_TRUE(listed.has_value()) << r.file;
        EXPECT_EQ(listed->section, r.section) << r.file;
        EXPECT_EQ(listed->key, r.key) << r.file;
    }
    // Files the program rewrites, pictures, sounds and pages are not signed.
    for (const char* file :
         {"aerovant.ini", "characters.ini", "maps/demo/map.bmp", "sound/wind.wav",
          "Language/english/menus/main.html", "sound/sounds.ini"})
        EXPECT_FALSE(listed_file(file).has_value()) << file;
}

} // namespace
} // namespace demodatatest
