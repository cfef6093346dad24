// Drawing the set's flat pictures: soft blobs, dials, icons, check boxes, sliders, portraits.
#include "tools/demodata/demo_pictures.h"

#include "tools/demodata/picture_files.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace demodata {
namespace {

constexpr float pi = std::numbers::pi_v<float>;

// A round blob mask: 255 in the middle falling to 0 at the radius (with some noise).
Picture blob_mask(int size, float hardness, uint32_t seed) {
    Picture p = solid(size, size, 0);
    const float c = float(size - 1) / 2;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float d = std::hypot(float(x) - c, float(y) - c) / c;
            const float n = seed == 0 ? 1.0f : 0.7f + 0.3f * noise(x, y, 4, seed);
            const float a = std::clamp((1.0f - d) * hardness, 0.0f, 1.0f) * n;
            p.at(x, y) = uint32_t(std::lround(255.0f * a));
        }
    return p;
}

Picture tinted(int size, uint32_t colour, uint32_t seed) {
    Picture p = solid(size, size, colour);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            p.at(x, y) = shade(colour, 0.8f + 0.2f * noise(x, y, 4, seed));
    return p;
}

// A picture with a white ring (and optional tick marks) on black, and the matching mask.
void dial(int size, int ticks, Picture& colour, Picture& mask) {
    colour = solid(size, size, rgb(30, 30, 30));
    mask = solid(size, size, 0);
    const float c = float(size - 1) / 2;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float dx = float(x) - c, dy = float(y) - c;
            const float d = std::hypot(dx, dy) / c;
            if (d > 1.0f) continue;
            mask.at(x, y) = d > 0.92f ? 255 : 160;
            colour.at(x, y) = d > 0.92f ? rgb(220, 220, 200) : rgb(40, 40, 40);
            if (ticks > 0 && d > 0.75f && d < 0.92f) {
                const float a = std::atan2(dy, dx) + pi;
                const float step = 2 * pi / float(ticks);
                if (std::fmod(a, step) < 0.06f) {
                    colour.at(x, y) = rgb(240, 240, 240);
                    mask.at(x, y) = 255;
                }
            }
        }
}

// A filled shape picture: colour where the predicate holds, mask 255 there.
template <typename Inside>
void shape(int w, int h, uint32_t colour, Inside inside, Picture& c, Picture& m) {
    c = solid(w, h, 0);
    m = solid(w, h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (inside(float(x) / float(w - 1), float(y) / float(h - 1))) {
                c.at(x, y) = colour;
                m.at(x, y) = 255;
            }
}

bool masked(OutputTree& out, const std::string& dir, const std::string& name, const Picture& c,
            const Picture& m, const std::string& maskName = "") {
    return write_masked(out, dir, name, c, m, maskName);
}

} // namespace

bool write_particle_pictures(OutputTree& out) {
    const std::string d = "objects/particles";
    return masked(out, d, "smoke", tinted(32, rgb(200, 200, 200), 3), blob_mask(32, 1.2f, 4)) &&
           masked(out, d, "maroon", tinted(16, rgb(255, 120, 40), 5), blob_mask(16, 2.0f, 0)) &&
           masked(out, d, "hit", tinted(16, rgb(255, 240, 180), 6), blob_mask(16, 3.0f, 0)) &&
           masked(out, d, "clod", tinted(16, rgb(90, 70, 40), 7), blob_mask(16, 2.0f, 8)) &&
           masked(out, d, "cloth", tinted(16, rgb(170, 160, 120), 9), blob_mask(16, 4.0f, 10)) &&
           write_bmp(out, d + "/flarepart.bmp",
                     [] {
                         Picture p = blob_mask(64, 1.0f, 0);
                         for (uint32_t& v : p.pixels)
                             v = rgb(int(v), int(v * 9 / 10), int(v * 7 / 10));
                         return p;
                     }()) &&
           write_bmp(out, d + "/flareburst.bmp", [] {
               Picture p = blob_mask(64, 1.5f, 0);
               for (uint32_t& v : p.pixels) v = rgb(int(v), int(v), int(v));
               return p;
           }());
}

bool write_cockpit_pictures(OutputTree& out) {
    const std::string d = "Ui";
    Picture c, m;
    dial(128, 12, c, m);
    if (!masked(out, d, "speeddial", c, m)) return false;
    shape(
        64, 64, rgb(230, 40, 30),
        [](float x, float y) { return std::fabs(x - 0.5f) < 0.04f && y < 0.55f; }, c, m);
    if (!masked(out, d, "speedo", c, m)) return false;
    dial(256, 4, c, m);
    for (int i = 0; i < 4; ++i) { // N, E, S, W marks as short bars
        const float a = float(i) * pi / 2;
        for (int r = 100; r < 120; ++r) {
            const int x = 128 + int(std::lround(std::cos(a) * r)),
                      y = 128 + int(std::lround(std::sin(a) * r));
            for (int t = -2; t <= 2; ++t) {
                c.at(std::clamp(x + t, 0, 255), y) = rgb(240, 200, 60);
                m.at(std::clamp(x + t, 0, 255), y) = 255;
            }
        }
    }
    if (!masked(out, d, "compass", c, m)) return false;
    auto disc = [](float x, float y) { return std::hypot(x - 0.5f, y - 0.5f) < 0.45f; };
    auto ring = [](float x, float y) {
        const float r = std::hypot(x - 0.5f, y - 0.5f);
        return r < 0.48f && r > 0.32f;
    };
    auto diamond = [](float x, float y) {
        return std::fabs(x - 0.5f) + std::fabs(y - 0.5f) < 0.48f;
    };
    auto plane = [](float x, float y) {
        return (std::fabs(x - 0.5f) < 0.08f && y > 0.1f && y < 0.9f) ||
               (std::fabs(y - 0.35f) < 0.08f) ||
               (std::fabs(y - 0.8f) < 0.06f && std::fabs(x - 0.5f) < 0.25f);
    };
    struct Icon {
        const char* name;
        uint32_t colour;
        int kind; // 0 disc, 1 ring, 2 diamond, 3 plane, 4 bomb, 5 rocket
        const char* mask;
    };
    const Icon icons[] = {
        {"smalltarget", rgb(255, 200, 0), 1, ""}, {"smallally", rgb(60, 140, 255), 0, ""},
        {"smallenemy", rgb(255, 60, 40), 0, ""},  {"protect", rgb(80, 255, 80), 2, ""},
        {"planeicon", rgb(255, 255, 255), 3, ""}, {"gun", rgb(200, 200, 200), 3, ""},
        {"bomb", rgb(90, 100, 70), 4, ""},        {"rocket", rgb(180, 180, 190), 5, ""},
        {"bullethole", rgb(20, 20, 20), 0, ""},   {"splat", rgb(160, 20, 20), 0, ""},
    };
    // The secondary weapon's icon fills a 32 x 32 quad: a bomb body with fins, a rocket.
    auto bomb = [](float x, float y) {
        return (std::hypot((x - 0.5f) * 2.2f, y - 0.45f) < 0.32f) ||
               (y > 0.7f && y < 0.95f && std::fabs(x - 0.5f) < 0.18f);
    };
    auto rocket = [](float x, float y) {
        return (std::fabs(x - 0.5f) < 0.08f && y > 0.15f && y < 0.85f) ||
               (y <= 0.15f && std::fabs(x - 0.5f) < 0.08f * (y / 0.15f)) ||
               (y > 0.7f && std::fabs(x - 0.5f) < 0.22f * (y - 0.7f) / 0.3f + 0.08f);
    };
    for (const Icon& i : icons) {
        switch (i.kind) {
        case 0: shape(16, 16, i.colour, disc, c, m); break;
        case 1: shape(16, 16, i.colour, ring, c, m); break;
        case 2: shape(16, 16, i.colour, diamond, c, m); break;
        case 4: shape(32, 32, i.colour, bomb, c, m); break;
        case 5: shape(32, 32, i.colour, rocket, c, m); break;
        default: shape(32, 32, i.colour, plane, c, m); break;
        }
        if (!masked(out, d, i.name, c, m, i.mask)) return false;
    }
    // The boost gauge fills a 128 x 128 quad; the game draws its bar over texels 4 to 97
    // across and 15 to 28 down, so the picture frames that strip.
    shape(
        128, 128, rgb(230, 220, 190),
        [](float x, float y) {
            const float px = x * 127, py = y * 127;
            const bool frame = px >= 2 && px <= 99 && py >= 13 && py <= 30;
            const bool inside = px > 4 && px < 97 && py > 15 && py < 28;
            return frame && !inside;
        },
        c, m);
    if (!masked(out, d, "turbo", c, m, "turbo_m")) return false;
    // The small icons strip: four 16 x 16 cells (ally, enemy, target, protect).
    Picture strip = solid(64, 16, 0), stripMask = solid(64, 16, 0);
    const uint32_t colours[4] = {rgb(60, 140, 255), rgb(255, 60, 40), rgb(255, 200, 0),
                                 rgb(80, 255, 80)};
    for (int cell = 0; cell < 4; ++cell) {
        shape(16, 16, colours[cell], cell < 2 ? +disc : cell == 2 ? +ring : +diamond, c, m);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                strip.at(cell * 16 + x, y) = c.at(x, y);
                stripMask.at(cell * 16 + x, y) = m.at(x, y);
            }
    }
    return masked(out, d, "smicons", strip, stripMask);
}

bool write_editor_icons(OutputTree& out) {
    // One 16 x 16 icon per goal type, in the editor's order, each its own hue with a
    // bar pattern from the code so they tell apart.
    const int codes[] = {256, 16, 64, 288, 352, 368, 32, 48, 96, 336, 112, 128, 144, 304, 320, 400};
    int i = 0;
    for (int code : codes) {
        const float hue = float(i++) / 16.0f * 2 * pi;
        const uint32_t colour =
            rgb(int(128 + 120 * std::cos(hue)), int(128 + 120 * std::cos(hue + 2.09f)),
                int(128 + 120 * std::cos(hue + 4.19f)));
        Picture p = solid(16, 16, 0);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const bool border = x == 0 || y == 0 || x == 15 || y == 15;
                const bool bit = (code >> (x / 2)) & 1;
                p.at(x, y) = border ? rgb(255, 255, 255) : (y > 10 && bit) ? rgb(0, 0, 0) : colour;
            }
        if (!write_bmp(out, "Ui/editor/planes/" + std::to_string(code) + ".bmp", p)) return false;
    }
    return true;
}

bool write_pointer_picture(OutputTree& out) {
    // Three 32 x 32 frames side by side on magenta (the top-left colour is transparent, so
    // the shapes start one pixel in): 0 the arrow, 1 the arrow pressed, 2 the pointing hand
    // over links.
    constexpr uint32_t key = 0xff00ff;
    Picture p = solid(96, 32, key);
    for (int frame = 0; frame < 3; ++frame)
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                bool inside, edge;
                if (frame < 2) {
                    inside = x <= y / 2 + 1 && y < 24 && x < 14;
                    edge = inside && (x == 0 || x == y / 2 + 1 || y == 23);
                } else {
                    const bool finger = x >= 8 && x < 14 && y < 16;
                    const bool palm = x >= 4 && x < 24 && y >= 12 && y < 28;
                    inside = finger || palm;
                    edge = inside && (x == 4 || x == 23 || y == 27 ||
                                      (finger && (x == 8 || x == 13 || y == 0)));
                }
                if (!inside) continue;
                p.at(frame * 32 + x + 1, y + 1) = edge         ? rgb(0, 0, 0)
                                                  : frame == 1 ? rgb(255, 220, 120)
                                                               : rgb(255, 255, 255);
            }
    return write_bmp(out, "Ui/pointer.bmp", p);
}

namespace {

Picture rgba(int w, int h, uint32_t argb) {
    return solid(w, h, argb);
}

// A framed box for check boxes and slider cells.
Picture framed(int w, int h, uint32_t fill, uint32_t frame) {
    Picture p = rgba(w, h, 0xff000000 | fill);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (x < 2 || y < 2 || x >= w - 2 || y >= h - 2) p.at(x, y) = 0xff000000 | frame;
    return p;
}

// An open mission's card: paper with a roundel, framed in ink; under the pointer the paper
// lightens and the frame turns red.
Picture mission_card(bool pointed) {
    const uint32_t paper = pointed ? rgb(250, 240, 205) : rgb(225, 210, 170);
    Picture p = framed(80, 58, paper, pointed ? rgb(200, 60, 40) : rgb(60, 45, 30));
    const uint32_t rings[] = {rgb(190, 30, 30), rgb(240, 240, 240), rgb(30, 50, 140)};
    for (int y = 2; y < 56; ++y)
        for (int x = 2; x < 78; ++x) {
            const float r = std::hypot(float(x) - 39.5f, float(y) - 28.5f);
            if (r < 18.0f) p.at(x, y) = 0xff000000 | rings[std::min(2, int(r / 6.0f))];
        }
    return p;
}

Picture portrait(int n) {
    Picture p = rgba(64, 80, 0xff000000 | rgb(70, 60, 50));
    const uint32_t skin = rgb(220 - n * 8, 180 - n * 6, 140 - n * 5);
    const uint32_t coat = n % 2 ? rgb(90, 80, 60) : rgb(60, 70, 90);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 64; ++x) {
            const float dx = float(x) - 32, dy = float(y) - 32;
            if (dx * dx / 196 + dy * dy / 324 < 1) p.at(x, y) = 0xff000000 | skin;
            if (y > 56 && std::fabs(dx) < 10 + (float(y) - 56) * 1.2f)
                p.at(x, y) = 0xff000000 | coat;
            if (y >= 14 && y < 22 && std::fabs(dx) < 16 && n != 0)
                p.at(x, y) = 0xff000000 | rgb(60, 40, 20);
        }
    return p;
}

Picture plane_card(uint32_t colour, bool greyed) {
    Picture p = solid(96, 48, rgb(180, 200, 220));
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 96; ++x) {
            const bool wing = std::fabs(float(y) - 20) < 3 && x > 10 && x < 86;
            const bool body = std::fabs(float(y) - 26) < 4 && x > 30 && x < 70;
            const bool tail = x >= 66 && x < 72 && y > 16 && y < 30;
            if (wing || body || tail) p.at(x, y) = colour;
        }
    if (greyed)
        for (uint32_t& c : p.pixels) {
            const int v = int(((c >> 16 & 255) + (c >> 8 & 255) + (c & 255)) / 3);
            c = rgb(v, v, v);
        }
    return p;
}

// The title screen's picture: an opaque dawn sky over hills, a biplane crossing it.
Picture title_card() {
    constexpr int w = 256, h = 192;
    Picture p = rgba(w, h, 0xff000000);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float hill = 130 + 18 * noise(x, 0, 48, 7) + 10 * noise(x, 0, 16, 9);
            const float far = 112 + 22 * noise(x, 0, 64, 3);
            uint32_t c = mix(rgb(70, 110, 170), rgb(240, 190, 130), float(y) / 130);
            if (y > far) c = mix(rgb(95, 110, 120), c, 0.35f);
            if (y > hill)
                c = shade(mix(rgb(70, 110, 50), rgb(40, 70, 35), float(y - hill) / 60),
                          0.85f + 0.3f * noise(x, y, 8, 5));
            p.at(x, y) = 0xff000000 | c;
        }
    // The plane: fuselage, two wings, tail and a propeller disc, dark against the sky.
    const uint32_t ink = 0xff000000 | rgb(35, 30, 30);
    for (int x = 80; x < 170; ++x)
        for (int y = 60; y < 66; ++y) p.at(x, y - (x - 80) / 18) = ink;
    for (int x = 110; x < 140; ++x)
        for (int t = 0; t < 3; ++t) {
            p.at(x - 8, 48 + t) = ink;
            p.at(x - 4, 70 + t) = ink;
        }
    for (int y = 44; y < 74; ++y) {
        p.at(106 + (y - 44) / 6, y) = ink;
        p.at(132 + (y - 44) / 6, y) = ink;
    }
    for (int y = 48; y < 62; ++y)
        for (int x = 82; x < 88; ++x) p.at(x, y) = ink;
    for (int y = 50; y < 72; ++y) p.at(171, y) = 0xff000000 | rgb(120, 110, 100);
    return p;
}

Picture map_card(uint32_t ground, uint32_t feature) {
    Picture p = solid(128, 96, ground);
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 128; ++x)
            if (noise(x, y, 16, ground & 0xff) > 0.6f) p.at(x, y) = feature;
    return p;
}

} // namespace

bool write_menu_pictures(OutputTree& out) {
    const std::string m = "Language/english/menus/";
    const std::string i = m + "images/";
    const uint32_t paper = rgb(225, 210, 170), ink = rgb(60, 45, 30);
    Picture tick = framed(80, 58, paper, ink);
    for (int k = 0; k < 20; ++k) {
        tick.at(20 + k, 30 + k / 2) = 0xff000000 | rgb(30, 120, 30);
        tick.at(40 + k, 40 - k) = 0xff000000 | rgb(30, 120, 30);
    }
    Picture tickOn = tick;
    for (uint32_t& c : tickOn.pixels) c = 0xff000000 | shade(c & 0xffffff, 1.1f);
    Picture classified = framed(80, 58, rgb(140, 130, 110), ink);
    for (int x = 8; x < 72; ++x)
        for (int t = 0; t < 6; ++t) classified.at(x, 26 + t) = 0xff000000 | rgb(170, 30, 30);
    Picture check = framed(16, 16, paper, ink), checkOn = check;
    for (int k = 3; k < 13; ++k) {
        checkOn.at(k, k) = 0xff000000 | ink;
        checkOn.at(15 - k, k) = 0xff000000 | ink;
    }
    if (!write_png(out, i + "mission_tick.png", tick) ||
        !write_png(out, i + "bt_missiontick_on.png", tickOn) ||
        !write_png(out, i + "classified_mission.png", classified) ||
        !write_png(out, i + "checkbox.png", check) ||
        !write_png(out, i + "checkbox_on.png", checkOn) ||
        !write_png(out, i + "slider.png", framed(12, 16, paper, ink)) ||
        !write_png(out, i + "slider_selected.png", framed(12, 16, rgb(200, 60, 40), ink)) ||
        !write_png(out, i + "slider_left.png", framed(6, 16, ink, ink)) ||
        !write_png(out, i + "slider_right.png", framed(6, 16, ink, ink)) ||
        !write_png(out, i + "title.png", title_card()) ||
        // The pictures of the INI image descriptions spacer.ini (a mission open to fly, the
        // card a new player must find) and bt_mission_on.ini (that card under the pointer).
        !write_png(out, i + "bt_mission.png", mission_card(false)) ||
        !write_png(out, i + "bt_mission_on.png", mission_card(true)))
        return false;
    for (int n = 0; n <= 8; ++n)
        if (!write_png(out, m + "pilot" + std::to_string(n) + ".png", portrait(n))) return false;
    Picture dead = rgba(12, 12, 0);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x)
            if (std::hypot(x - 5.5f, y - 5.5f) < 5.5f)
                dead.at(x, y) = 0xff000000 | rgb(200, 30, 30);
    Picture deadBrit = dead, deadGerman = dead;
    for (int k = 0; k < 12; ++k) {
        deadBrit.at(k, 5) = deadBrit.at(5, k) = 0xff000000 | rgb(255, 255, 255);
        deadGerman.at(k, k) = deadGerman.at(11 - k, k) = 0xff000000 | rgb(0, 0, 0);
    }
    if (!write_png(out, m + "deadbrit.png", deadBrit) ||
        !write_png(out, m + "deadgerman.png", deadGerman))
        return false;
    // Every plane of the plane table gets its card, and a greyed one for when it is not offered.
    const struct {
        const char* id;
        uint32_t colour;
    } planes[] = {{"aircodh2", rgb(150, 140, 90)},    {"tavrincamel", rgb(150, 140, 90)},
                  {"spadx111", rgb(120, 130, 90)},    {"handleypage", rgb(110, 120, 80)},
                  {"junkers", rgb(130, 130, 140)},    {"fokkertriplane", rgb(170, 40, 35)},
                  {"halberstadt", rgb(140, 120, 90)}, {"gothagiv", rgb(100, 100, 120)}};
    for (const auto& p : planes)
        if (!write_jpeg(out, i + p.id + std::string("_small.jpg"), plane_card(p.colour, false)) ||
            !write_jpeg(out, i + p.id + std::string("_small_go.jpg"), plane_card(p.colour, true)))
            return false;
    return write_jpeg(out, i + "countryside_select.jpg",
                      map_card(rgb(70, 130, 55), rgb(150, 140, 60))) &&
           write_jpeg(out, i + "islands_select.jpg",
                      map_card(rgb(50, 80, 150), rgb(200, 190, 120))) &&
           write_jpeg(out, i + "desert_select.jpg",
                      map_card(rgb(210, 180, 120), rgb(170, 140, 90)));
}

} // namespace demodata
