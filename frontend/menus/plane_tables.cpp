// The plane table and its three lookups.
#include "frontend/menus/plane_tables.h"

#include "frontend/setup/game_settings_record.h"

#include <cstring>

namespace {

struct PlaneEntry {
    const char* id;
    uint32_t bit;
    const char* name;
    const char* description;
};

const PlaneEntry planes[] = {
    {"aircodh2", 1, "Airco DH2",
     "The Airco DH2 is a small, fast scout plane. It'll outpace most other planes, and turns "
     "well.<br> However, it is not very durable and it's firepower is limited."},
    {"tavrincamel", 2, "Tavrin Camel",
     "The Tavrin Camel is a good all-round fighter. It is very agile has reasonable speed and a "
     "reasonable rate of fire."},
    {"spadx111", 4, "Spad XIII",
     "The Spad X111 serves well as a heavy fighter/bomber, with a robust frame, good speed and "
     "awesome firepower."},
    {"handleypage", 8, "Handley Page 0/400",
     "The Handley-Page 0/400 is a heavy bomber. It is quite slow and sluggish, making it an easy "
     "target for enemy fighters. However, it has a very high maximum altitude which is beyond the "
     "reach of most fighters."},
    {"junkers", 16, "Junkers", ""},
    {"fokkertriplane", 32, "Fokker Triplane", ""},
    {"halberstadt", 64, "Halberstadt", ""},
    {"gothagiv", 128, "Gotha GIV", ""},
};

const PlaneEntry* find(const char* id) {
    if (!id) return nullptr;
    for (const PlaneEntry& plane : planes)
        if (std::strcmp(plane.id, id) == 0) return &plane;
    return nullptr;
}

} // namespace

uint32_t TvIsPlaneAvailable(const char* id) {
    const PlaneEntry* plane = find(id);
    return plane ? plane->bit & TvGetGameSettingsRecord().available_planes : 0;
}

const char* TvGetPlaneName(const char* id) {
    const PlaneEntry* plane = find(id);
    return plane ? plane->name : "";
}

const char* TvGetPlaneDescription(const char* id) {
    const PlaneEntry* plane = find(id);
    return plane ? plane->description : "";
}
