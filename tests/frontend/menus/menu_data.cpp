// The tests' menu data set.
#include "tests/frontend/menus/menu_data.h"

#include "tests/support/png_file.h"

#include <algorithm>

namespace menutest {

void write_pointer(const testsupport::TempDir& dir) {
    testsupport::Image picture{12, 4, std::vector<uint32_t>(48, 0xFFFFFFFFu)};
    picture.pixels[0] = 0xFF00FF00u; // the transparent colour
    dir.write_file("pointer.png", "");
    testsupport::write_png(dir / "pointer.png", picture);
    dir.write_file("mouse.ini", "[Raster]\nImage=pointer.png\n"
                                "[0]\nOffsetX=0\nOffsetY=0\nWidth=4\nHeight=4\nNextImage=0\n"
                                "NextTime=100\n"
                                "[1]\nOffsetX=4\nOffsetY=0\nWidth=4\nHeight=4\nNextImage=1\n"
                                "NextTime=100\n"
                                "[2]\nOffsetX=8\nOffsetY=0\nWidth=4\nHeight=4\nNextImage=2\n"
                                "NextTime=100\n");
}

void write_page(const testsupport::TempDir& dir, const std::string& name,
                std::initializer_list<Band> bands, const std::string& extra) {
    std::string page = "<html><body>" + extra;
    for (const Band& band : bands) {
        const std::string picture = "<img width=640 height=" + std::to_string(band.height) + ">";
        if (band.href.empty()) {
            page += picture + "<br>";
            continue;
        }
        page += "<a href=\"" + band.href + "\"";
        if (!band.target.empty()) page += " target=\"" + band.target + "\"";
        page += ">" + picture + "</a><br>";
    }
    page += "</body></html>\n";
    std::string path = name;
    std::replace(path.begin(), path.end(), '\\', '/');
    dir.write_file("Language/english/" + path, page);
}

void write_menu_data(const testsupport::TempDir& dir) {
    write_pointer(dir);
    write_page(dir, "menus/titlescreen.html", {{"gamestartup", 480}});
    write_page(dir, "menus/chooseface.html", {{"chooseface:1", 480}});
    write_page(dir, "menus/status.html", {}, "^statusbar^");
}

} // namespace menutest
