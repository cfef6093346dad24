// Seeds of the page harness: the demo data's menu pages and credits, and the HTML engine's
// test pages, read from the source tree as they are shipped.
#include "fuzz/seeds/seed_set.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

void add_pages(fuzzing::SeedSet& seeds, const std::string& prefix, const std::filesystem::path& dir) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
        if (entry.path().extension() != ".html") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        seeds.add(prefix + entry.path().stem().string(), text.str());
    }
    fuzzing::require(!error, "the page directory is listed");
}

} // namespace

FUZZ_SEEDS(html_page) {
    const std::filesystem::path source = CORVEL_SOURCE_DIR;
    add_pages(seeds, "menu_", source / "data/files/Language/english/menus");
    add_pages(seeds, "credits_", source / "data/files/menus");
    add_pages(seeds, "test_", source / "tests/frontend/html/pages");
}
