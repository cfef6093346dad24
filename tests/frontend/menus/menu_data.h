// A small menu data set written by the tests: the pointer file and its picture, and pages under
// Language/english/menus whose links are full-width picture bands.
#pragma once

#include "tests/support/temp_dir.h"

#include <string>

namespace menutest {

// One link of a test page: a band 640 wide and `height` high at the next free row (no link
// when the href is empty).
struct Band {
    std::string href;
    int height;
    std::string target = "";
};

// Writes mouse.ini (three frames of pointer.png) into the directory.
void write_pointer(const testsupport::TempDir& dir);
// Writes Language/english/<name> as a page of bands (rows from the top, in order).
void write_page(const testsupport::TempDir& dir, const std::string& name,
                std::initializer_list<Band> bands, const std::string& extra = "");
// The pointer and the pages the program opens by itself: the title page, "chooseface" and the
// status page.
void write_menu_data(const testsupport::TempDir& dir);

} // namespace menutest
