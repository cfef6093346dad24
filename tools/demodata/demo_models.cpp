// Low-poly planes, buildings, guns, pickups, bombs, rockets and debris, each with its textures.
#include "tools/demodata/demo_models.h"

#include "tools/demodata/mesh_builder.h"
#include "tools/demodata/picture_files.h"
#include "tools/modelwriter/model_writer.h"

#include <algorithm>
#include <cmath>

namespace demodata {
namespace {

bool write_model(OutputTree& out, const std::string& relative, const mw::Clump& clump) {
    std::vector<uint8_t> bytes;
    const mw::WriteResult r = mw::write_clump(clump, bytes);
    if (!r) return out.fail(relative + ": " + r.error);
    return out.write(relative, bytes);
}

// Fabric: a base colour with ribs and a little weave noise.
Picture fabric(uint32_t base, uint32_t stripe, uint32_t seed) {
    Picture p = solid(64, 64, base);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            uint32_t c = (x % 16 == 0) ? shade(base, 0.8f) : base;
            if (y >= 26 && y < 38) c = stripe;
            p.at(x, y) = shade(c, 0.9f + 0.1f * noise(x, y, 4, seed));
        }
    return p;
}

Picture planks(uint32_t base, uint32_t seed) {
    Picture p = solid(64, 64, base);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const float grain = noise(x, y * 8, 8, seed);
            p.at(x, y) = shade(base, (y % 16 == 0 ? 0.6f : 0.85f) + 0.15f * grain);
        }
    return p;
}

// A soft round shadow mask: opaque centre fading to the edge.
Picture round_shadow(int size) {
    Picture p = solid(size, size, 0);
    const float c = float(size - 1) / 2;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float d = std::hypot(float(x) - c, float(y) - c) / c;
            p.at(x, y) = uint32_t(std::lround(255.0f * std::clamp(1.2f - d * 1.2f, 0.0f, 1.0f)));
        }
    return p;
}

// ---- planes ----

struct PlaneLook {
    std::string id;   // directory and model name
    std::string skin; // texture of wings and fuselage
    uint32_t colour, stripe;
    int wings; // 2 biplane, 3 triplane
    float scale;
    int engines; // 1 nose propeller, 2 wing propellers
};

mw::Geometry propeller(float radius) {
    MeshBuilder b;
    const uint16_t wood = b.material(painted(120, 80, 40));
    b.box({0, 0, 0}, {0.12f, radius, 0.05f}, wood);
    b.box({0, 0, -0.1f}, {0.15f, 0.15f, 0.1f}, wood);
    return b.finish();
}

mw::Clump plane_clump(const PlaneLook& p) {
    const float s = p.scale;
    MeshBuilder b;
    const uint16_t skin = b.material(textured(p.skin));
    const uint16_t wood = b.material(textured("planewood"));
    const uint16_t metal = b.material(painted(70, 70, 74));
    const mw::Vec3 z{0, 0, 1}, x{1, 0, 0};
    b.tube({0, 0, -3.8f * s}, z, 3.0f * s, 0.12f * s, 0.6f * s, 6, skin);
    b.tube({0, 0, -0.8f * s}, z, 3.0f * s, 0.6f * s, 0.55f * s, 6, skin);
    b.tube({0, 0, 2.2f * s}, z, 0.4f * s, 0.55f * s, 0.45f * s, 6, metal);
    const float spans[3] = {5.0f, 4.6f, 4.3f};
    const float heights[3][3] = {{1.3f, -0.35f, 0}, {1.6f, 0.6f, -0.4f}, {0, 0, 0}};
    for (int w = 0; w < p.wings; ++w) {
        const float y = heights[p.wings - 2][w];
        b.box({0, y * s, 0.5f * s}, {spans[w] * s, 0.07f * s, 0.7f * s}, skin, 2);
    }
    b.box({0, 0.1f * s, -3.5f * s}, {1.6f * s, 0.05f * s, 0.45f * s}, skin);
    b.box({0, 0.6f * s, -3.6f * s}, {0.05f * s, 0.6f * s, 0.4f * s}, skin);
    for (float sx : {-3.0f, 3.0f})
        b.box({sx * s, 0.475f * s, 0.5f * s}, {0.05f * s, 0.82f * s, 0.05f * s}, wood);
    for (float wx : {-0.9f, 0.6f})
        b.tube({wx * s, -1.3f * s, 1.0f * s}, x, 0.3f * s, 0.35f * s, 0.35f * s, 6, metal);
    b.box({0, -1.3f * s, 1.0f * s}, {0.9f * s, 0.03f * s, 0.03f * s}, metal);
    const float engineX[2] = {-2.0f * s, 2.0f * s};
    if (p.engines == 2)
        for (float ex : engineX)
            b.tube({ex, 0.4f * s, -0.6f * s}, z, 2.0f * s, 0.3f * s, 0.25f * s, 6, metal);
    mw::Clump clump = one_part_clump(b.finish());
    // Propellers are the root's children, so the plane can spin them.
    if (p.engines == 1)
        add_child_part(clump, 0, {0, 0, 2.65f * s}, propeller(1.1f * s));
    else
        for (float ex : engineX)
            add_child_part(clump, 0, {ex, 0.4f * s, 1.5f * s}, propeller(1.0f * s));
    return clump;
}

} // namespace

bool write_plane_models(OutputTree& out) {
    const PlaneLook planes[] = {
        {"aircodh2", "dh2skin", rgb(175, 160, 120), rgb(150, 30, 30), 2, 0.9f, 1},
        {"tavrincamel", "camelskin", rgb(150, 140, 90), rgb(40, 60, 140), 2, 1.0f, 1},
        {"fokkertriplane", "fokkerskin", rgb(170, 40, 35), rgb(20, 20, 20), 3, 1.0f, 1},
        {"handleypage", "handleyskin", rgb(110, 120, 80), rgb(200, 200, 200), 2, 2.0f, 2},
    };
    const std::string textures = "objects/planes/textures";
    uint32_t seed = 1;
    for (const PlaneLook& p : planes) {
        // The network planes load the same kind under the menu's "multi" id.
        const mw::Clump clump = plane_clump(p);
        if (!write_model(out, "objects/planes/" + p.id + "/" + p.id + ".dff", clump) ||
            !write_model(out, "objects/planes/multi" + p.id + "/" + p.id + ".dff", clump) ||
            !write_bmp(out, textures + "/" + p.skin + ".bmp", fabric(p.colour, p.stripe, seed++)))
            return false;
    }
    // The shadow is read as the texture CLEAR with the shadow picture as its mask.
    return write_bmp(out, textures + "/planewood.bmp", planks(rgb(130, 90, 50), 7)) &&
           write_bmp(out, textures + "/clear.bmp", solid(64, 64, rgb(0, 0, 0))) &&
           write_mask(out, textures + "/planeshadow.bmp", round_shadow(64));
}

// ---- ground kinds ----

namespace {

mw::Clump hangar(bool wrecked) {
    MeshBuilder b;
    const uint16_t wall = b.material(textured("hangarwall"));
    const uint16_t roof = b.material(textured("hangarroof"));
    if (!wrecked) {
        // Walls as thin boxes, open at the front (+z).
        b.box({-19.5f, 6, 0}, {0.5f, 6, 15}, wall, 2);
        b.box({19.5f, 6, 0}, {0.5f, 6, 15}, wall, 2);
        b.box({0, 6, -14.5f}, {19, 6, 0.5f}, wall, 2);
        b.roof(20, 15, 12, 18, roof);
    } else {
        b.box({-19.5f, 2, 0}, {0.5f, 2, 15}, wall, 2);
        b.box({19.5f, 3, -4}, {0.5f, 3, 11}, wall, 2);
        b.box({0, 1.5f, -14.5f}, {19, 1.5f, 0.5f}, wall, 2);
        b.box({-4, 0.6f, 2}, {9, 0.6f, 6}, roof, 2);
    }
    return one_part_clump(b.finish());
}

mw::Clump tent(int stage) {
    MeshBuilder b;
    const uint16_t canvas = b.material(textured("canvas"));
    const uint16_t pole = b.material(painted(100, 70, 40));
    const float ridge = stage == 0 ? 5.0f : stage == 1 ? 3.5f : 1.2f;
    const float width = stage == 2 ? 5.0f : 4.0f;
    b.roof(width, 5, 0, ridge, canvas);
    if (stage < 2) b.box({0, ridge / 2, 5.1f}, {0.1f, ridge / 2, 0.1f}, pole);
    return one_part_clump(b.finish());
}

mw::Clump crate(const std::string& texture, float half) {
    MeshBuilder b;
    const uint16_t wood = b.material(textured(texture));
    b.box({0, half, 0}, {half, half, half}, wood);
    return one_part_clump(b.finish());
}

// The ammunition dump's crate is also drawn over every active pickup, loaded after the ground
// texture folder is no longer the image path: it is painted, so it needs no texture.
mw::Clump ammo_crate() {
    MeshBuilder b;
    const uint16_t wood = b.material(painted(150, 115, 70));
    const uint16_t band = b.material(painted(60, 60, 50));
    b.box({0, 2, 0}, {2, 2, 2}, wood);
    b.box({0, 2, 0}, {2.05f, 0.3f, 2.05f}, band);
    return one_part_clump(b.finish());
}

mw::Clump takeoff_marker() {
    MeshBuilder b;
    const uint16_t white = b.material(painted(230, 230, 230));
    const uint16_t flag = b.material(textured("canvas"));
    b.box({0, 0.05f, 0}, {3, 0.05f, 3}, white);
    b.box({3.5f, 2, 0}, {0.1f, 2, 0.1f}, white);
    b.box({3.5f, 3.6f, 0.6f}, {0.05f, 0.4f, 0.6f}, flag);
    return one_part_clump(b.finish());
}

// The AA gun: a sandbagged base on the root frame and the turret as the root's last child,
// its barrel along +z so the turret's at row aims it.
mw::Clump aa_gun() {
    MeshBuilder b;
    const uint16_t sand = b.material(textured("sandbags"));
    b.box({0, 0.6f, 0}, {3, 0.6f, 3}, sand);
    mw::Clump clump = one_part_clump(b.finish());
    b = MeshBuilder();
    const uint16_t metal = b.material(textured("gunmetal"));
    b.box({0, 0.6f, 0}, {0.8f, 0.6f, 0.8f}, metal);
    b.tube({0, 1.0f, 0.5f}, {0, 0, 1}, 3.5f, 0.18f, 0.14f, 6, metal);
    add_child_part(clump, 0, {0, 1.2f, 0}, b.finish());
    return clump;
}

mw::Clump plank_piece() {
    MeshBuilder b;
    const uint16_t wood = b.material(textured("debris"));
    b.box({0, 0, 0}, {1.5f, 0.1f, 0.3f}, wood);
    return one_part_clump(b.finish());
}

mw::Clump beam_piece() {
    MeshBuilder b;
    const uint16_t wood = b.material(textured("debris"));
    b.tube({0, 0, -1}, {0, 0, 1}, 2, 0.25f, 0.2f, 5, wood);
    return one_part_clump(b.finish());
}

Picture brick_wall() {
    Picture p = solid(64, 64, 0);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool joint = y % 8 == 0 || (x + (y / 8 % 2) * 8) % 16 == 0;
            p.at(x, y) = joint ? rgb(150, 150, 140)
                               : shade(rgb(175, 120, 90), 0.85f + 0.15f * noise(x, y, 4, 11));
        }
    return p;
}

Picture corrugated() {
    Picture p = solid(64, 64, 0);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            p.at(x, y) = shade(rgb(120, 125, 130), 0.75f + 0.25f * std::fabs(std::sin(x * 0.8f)));
    return p;
}

Picture speckled(uint32_t base, uint32_t seed) {
    Picture p = solid(64, 64, base);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) p.at(x, y) = shade(base, 0.75f + 0.25f * noise(x, y, 3, seed));
    return p;
}

Picture crate_face(uint32_t mark) {
    Picture p = planks(rgb(150, 115, 70), 21);
    for (int i = 8; i < 56; ++i)
        for (int t = -3; t <= 3; ++t) {
            if (mark != 0) {
                p.at(i, 32 + t) = mark; // a cross in the pickup's colour
                p.at(32 + t, i) = mark;
            }
        }
    return p;
}

} // namespace

bool write_ground_models(OutputTree& out) {
    const std::string g = "objects/ground/";
    const std::string t = g + "textures/";
    return write_model(out, g + "takeoffpoint/takeoffpoint.dff", takeoff_marker()) &&
           write_model(out, g + "hangar/hangar.dff", hangar(false)) &&
           write_model(out, g + "hangar/hangar_dead.dff", hangar(true)) &&
           write_model(out, g + "tent/tent.dff", tent(0)) &&
           write_model(out, g + "tent/tent_damaged.dff", tent(1)) &&
           write_model(out, g + "tent/tent_wrecked.dff", tent(2)) &&
           write_model(out, g + "rocketpickup/rocketpickup.dff", crate("rocketcrate", 2)) &&
           write_model(out, g + "healthpickup/healthpickup.dff", crate("healthcrate", 2)) &&
           write_model(out, g + "ammodump/ammodump.dff", ammo_crate()) &&
           write_model(out, g + "aagun/aagun.dff", aa_gun()) &&
           write_model(out, g + "shrapnel/plank.dff", plank_piece()) &&
           write_model(out, g + "shrapnel/beam.dff", beam_piece()) &&
           write_bmp(out, t + "hangarwall.bmp", brick_wall()) &&
           write_bmp(out, t + "hangarroof.bmp", corrugated()) &&
           write_bmp(out, t + "canvas.bmp", fabric(rgb(170, 160, 120), rgb(150, 140, 100), 31)) &&
           write_bmp(out, t + "sandbags.bmp", speckled(rgb(160, 140, 100), 41)) &&
           write_bmp(out, t + "gunmetal.bmp", speckled(rgb(70, 75, 70), 51)) &&
           write_bmp(out, t + "debris.bmp", planks(rgb(110, 80, 50), 61)) &&
           write_bmp(out, t + "rocketcrate.bmp", crate_face(rgb(200, 160, 20))) &&
           write_bmp(out, t + "healthcrate.bmp", crate_face(rgb(220, 30, 30))) &&
           write_bmp(out, t + "clear.bmp", solid(64, 64, rgb(0, 0, 0))) &&
           write_mask(out, t + "groundshadow.bmp", round_shadow(64));
}

// ---- ordnance ----

namespace {

mw::Clump bomb() {
    MeshBuilder b;
    const uint16_t body = b.material(textured("bombskin"));
    b.tube({0, 0, -0.8f}, {0, 0, 1}, 1.2f, 0.1f, 0.3f, 6, body);
    b.tube({0, 0, 0.4f}, {0, 0, 1}, 0.4f, 0.3f, 0.05f, 6, body);
    b.box({0, 0, -0.8f}, {0.35f, 0.02f, 0.15f}, body);
    return one_part_clump(b.finish());
}

mw::Clump rocket() {
    MeshBuilder b;
    const uint16_t body = b.material(textured("rocketskin"));
    b.tube({0, 0, -0.9f}, {0, 0, 1}, 1.5f, 0.08f, 0.08f, 5, body);
    b.tube({0, 0, 0.6f}, {0, 0, 1}, 0.3f, 0.08f, 0.01f, 5, body);
    return one_part_clump(b.finish());
}

// A bright streak picture and its mask for tracer shells.
void streak(uint32_t colour, Picture& c, Picture& m) {
    c = solid(16, 16, colour);
    m = solid(16, 16, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const float d = std::fabs(float(x) - 7.5f) / 7.5f;
            m.at(x, y) = uint32_t(std::lround(255.0f * std::clamp(1.0f - d, 0.0f, 1.0f)));
        }
}

} // namespace

bool write_ordnance_models(OutputTree& out) {
    const std::string o = "objects/ordinance/";
    Picture tracer, tracerMask, flak, flakMask;
    streak(rgb(255, 230, 120), tracer, tracerMask);
    streak(rgb(255, 150, 60), flak, flakMask);
    return write_model(out, o + "bomb.dff", bomb()) &&
           write_model(out, o + "rocket.dff", rocket()) &&
           write_bmp(out, o + "bombskin.bmp", speckled(rgb(70, 80, 60), 71)) &&
           write_bmp(out, o + "rocketskin.bmp", speckled(rgb(150, 150, 155), 81)) &&
           write_masked(out, o.substr(0, o.size() - 1), "tracer", tracer, tracerMask) &&
           write_masked(out, o.substr(0, o.size() - 1), "flak", flak, flakMask) &&
           write_masked(out, o.substr(0, o.size() - 1), "bombpic", speckled(rgb(70, 80, 60), 91),
                        solid(16, 16, 255)) &&
           write_masked(out, o.substr(0, o.size() - 1), "rocketpic",
                        speckled(rgb(150, 150, 155), 92), solid(16, 16, 255));
}

} // namespace demodata
