// The cockpit display of the player's plane: the throttle dial and needle, the damage marks
// with the hit splat, the ordnance icon and count, the boost gauge, and the heading-up radar
// with its compass ring and blips. Laid out on 640 x 480 and scaled to the screen.
#include "engine/core/lg_immediate.h"
#include "engine/core/lg_raster.h"
#include "engine/core/lg_texture.h"
#include "engine/world/lg_world.h"
#include "game/rules/tavrin_ai_plane.h"
#include "game/rules/tv_game.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_map_water.h"
#include "game/world/tv_plane_internal.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr int32_t kStateTexture = 1;
constexpr int32_t kStateTextureMode = 2;
constexpr int32_t kStateZTest = 4;
constexpr int32_t kStateZWrite = 6;
constexpr int32_t kStateSourceBlend = 9;
constexpr int32_t kStateDestinationBlend = 10;
constexpr int32_t kStateVertexAlpha = 11;
constexpr uintptr_t kBlendSourceAlpha = 5;
constexpr uintptr_t kBlendInverseSourceAlpha = 6;
constexpr uintptr_t kTextureModeRadar = 3;
constexpr int32_t kFan = 5;
constexpr uint32_t kWhite = 0xffffffffu;

constexpr float kLayoutWidth = 640.0f;
constexpr float kLayoutHeight = 480.0f;
constexpr LgVector2 kRadarCentre = {545.0f, 95.0f};
constexpr float kRadarRadius = 58.0f;
constexpr float kRadarStep = 0.62831855f;
constexpr int32_t kRadarRim = 11;
constexpr float kCompassRadius = 128.0f;
constexpr float kQuarter = 1.57f;
constexpr float kCorners[4] = {0.785f, 2.355f, 3.925f, 5.495f};
constexpr float kBlipRim = 46.0f;
constexpr float kBlipSize = 5.6f;
constexpr float kBlipTexture = 0.7f;
constexpr uint32_t kRimAlpha = 128;
constexpr int32_t kDamageMarks = 10;
constexpr float kHudZoom = 0.1f;

// Depths of the layers: the dial and radar disc at the back, the compass in front.
constexpr float kBackZ = 10.0f, kBackW = 0.1f;
constexpr float kMidZ = 9.0f, kMidW = 0.11111111f;
constexpr float kFrontZ = 8.0f, kFrontW = 0.125f;

struct Screen {
    float sx;
    float sy;
};

Screen screen() {
    return {static_cast<float>(TvGetScreenWidth()) / kLayoutWidth,
            static_cast<float>(TvGetScreenHeight()) / kLayoutHeight};
}

void render_state(int32_t state, uintptr_t value) {
    LgRenderStateSet(state, reinterpret_cast<void*>(value));
}

void set_texture(LgTexture* texture) {
    render_state(kStateTexture,
                 reinterpret_cast<uintptr_t>(texture ? LgTextureGetRaster(texture) : nullptr));
}

// A vertex at a layout point, scaled to the screen.
LgIm3DScreenVertex vertex(Screen s, float x, float y, float z, float w, uint32_t colour, float u,
                          float v) {
    LgIm3DScreenVertex out{};
    out.x = x * s.sx;
    out.y = y * s.sy;
    out.z = z;
    out.recipZ = w;
    out.colour = colour;
    out.specular = 0;
    out.u = u;
    out.v = v;
    return out;
}

// Four layout corners with the texture's corners (0,0), (0,1), (1,1), (1,0), as one fan.
void quad(Screen s, const LgVector2 (&c)[4], float z, float w, uint32_t colour = kWhite) {
    LgIm3DScreenVertex q[4] = {vertex(s, c[0].x, c[0].y, z, w, colour, 0.0f, 0.0f),
                               vertex(s, c[1].x, c[1].y, z, w, colour, 0.0f, 1.0f),
                               vertex(s, c[2].x, c[2].y, z, w, colour, 1.0f, 1.0f),
                               vertex(s, c[3].x, c[3].y, z, w, colour, 1.0f, 0.0f)};
    LgIm2DRenderPrimitive(kFan, q, 4);
}

// A quad turned by the angle (sine s, cosine c) about its centre: half width hw across, the
// length reaching from the centre along the turned up direction.
void turned_quad(Screen screen, LgVector2 centre, float s, float c, float half, float length,
                 float z, float w) {
    const LgVector2 corners[4] = {
        {centre.x + (-half * c - length * s), centre.y + (-length * c + half * s)},
        {centre.x + (-half * c), centre.y + half * s},
        {centre.x + half * c, centre.y - half * s},
        {centre.x + (half * c - length * s), centre.y + (-length * c - half * s)}};
    quad(screen, corners, z, w);
}

// The world box the radar maps, or null.
const LgBBox* world_box(const TvObjectFields& o) {
    LgWorld* w = tvplane::world_of(o);
    return w ? LgWorldGetBoundingBox(w) : nullptr;
}

// What every blip of one radar frame shares.
struct BlipRecord {
    LgTexture* texture;
    float scale_x;
    float scale_z;
    LgVector player;
    LgMatrix heading;
    LgBBox box;
    Screen screen;
    ITvGame* game;
};

// Alpha of a blip in a networked game, by its height above the world's floor.
uint32_t altitude_alpha(ITvGame* game, float altitude) {
    float base = 0.0f, band = 0.0f;
    switch (TvGameGetMissionNumber(game)) {
    case 101: base = 205.0f, band = 40.0f; break;
    case 102: base = 100.0f, band = 30.0f; break;
    case 103: base = 150.0f, band = 30.0f; break;
    default: return 255;
    }
    const float above = altitude - base;
    float f = above >= band ? 1.0f : above / band;
    if (f < 0.0f) f = 0.0f;
    return static_cast<uint32_t>(f * 255.0f);
}

bool networked(ITvGame* game) {
    IUnknown* client = nullptr;
    if (!game || game->QueryInterface(IID_ITvClientGame, reinterpret_cast<void**>(&client)) < 0 ||
        !client)
        return false;
    client->Release();
    return true;
}

void draw_blip(ITvObject* object, void* data) {
    const auto& r = *static_cast<const BlipRecord*>(data);
    uintptr_t state = 0;
    if (object->GetProperty(kTvPlanePropState, &state) >= 0 &&
        static_cast<int32_t>(state) == kTvPlaneOffMap)
        return;
    uintptr_t where = 0;
    if (object->GetProperty(kTvPropPosition, &where) < 0 || !where) return;
    const LgVector at = *reinterpret_cast<const LgVector*>(where);
    if (at.x < r.box.inf.x || at.x > r.box.sup.x || at.y < r.box.inf.y || at.y > r.box.sup.y ||
        at.z < r.box.inf.z || at.z > r.box.sup.z)
        return;

    uint32_t alpha = networked(r.game) ? altitude_alpha(r.game, at.y - r.box.inf.y) : 255;
    LgVector d = {(at.x - r.player.x) * r.scale_x, 0.0f, (at.z - r.player.z) * r.scale_z};
    const float length = std::sqrt(d.x * d.x + d.z * d.z);
    if (length > kBlipRim) {
        d = tvplane::scale(d, kBlipRim / length);
        alpha = kRimAlpha;
    }
    const LgVector2 centre = {kRadarCentre.x - tvplane::dot(r.heading.right, d),
                              kRadarCentre.y - tvplane::dot(r.heading.at, d)};
    const uint32_t colour = alpha << 24 | 0x00ffffffu;
    LgIm3DScreenVertex q[4];
    for (int32_t i = 0; i < 4; ++i) {
        const float c = std::cos(kCorners[i]), s = std::sin(kCorners[i]);
        q[i] = vertex(r.screen, centre.x + kBlipSize * c, centre.y + kBlipSize * s, kMidZ, kMidW,
                      colour, kBlipTexture * c + 0.5f, kBlipTexture * s + 0.5f);
    }
    render_state(kStateVertexAlpha, 1);
    set_texture(r.texture);
    render_state(kStateTextureMode, kTextureModeRadar);
    LgIm2DRenderPrimitive(kFan, q, 4);
}

} // namespace

namespace tvplane {

OmResult draw_radar(Plane plane, float zoom) {
    TvObjectFields& o = plane.o;
    TvPlaneFields& p = plane.p;
    const LgBBox* box = world_box(o);
    if (!o.matrix || !box) return OM_S_OK;
    const Screen s = screen();
    const LgMatrix& m = *o.matrix;
    const float width = box->sup.x - box->inf.x;
    const float depth = box->sup.z - box->inf.z;
    const float u = width != 0.0f ? (m.pos.x - box->inf.x) / width : 0.0f;
    const float v = depth != 0.0f ? (m.pos.z - box->inf.z) / depth : 0.0f;
    // The mended water test: the picture at any size and depth, colour-keyed black is land,
    // and a map without a water picture is all land (a picture that is not 128 x 128 at 16
    // bits used to count as water everywhere, crashing the plane on its runway).
    p.crash_on_contact = TvMapWaterAt(u, v);

    // The heading: at x = 0 gives atan of an infinite slope; a vertical nose counts as level.
    float h = (m.at.x == 0.0f && m.at.z == 0.0f) ? 0.0f : std::atan(m.at.z / m.at.x);
    if (m.at.x >= 0.0f) h += 3.14159f;
    const float r = h - kQuarter;

    LgIm3DScreenVertex disc[kRadarRim + 1];
    disc[0] = vertex(s, kRadarCentre.x, kRadarCentre.y, kBackZ, kBackW, 0x80ffffffu, u, v);
    float q = 0.0f, turned = r;
    for (int32_t i = 1; i <= kRadarRim; ++i) {
        disc[i] = vertex(s, kRadarCentre.x + kRadarRadius * std::cos(q),
                         kRadarCentre.y + kRadarRadius * std::sin(q), kBackZ, kBackW, 0x80ffffffu,
                         u + zoom * std::cos(turned), v + zoom * std::sin(turned));
        q += kRadarStep;
        turned += kRadarStep;
    }
    render_state(kStateVertexAlpha, 1);
    set_texture(p.cockpit_textures[kTvCockpitMap]);
    render_state(kStateTextureMode, kTextureModeRadar);
    LgIm2DRenderPrimitive(kFan, disc, kRadarRim + 1);

    LgIm3DScreenVertex compass[4];
    float compass_turn = r + static_cast<float>(kRadarRim) * kRadarStep;
    for (int32_t i = 0; i < 4; ++i) {
        compass[i] =
            vertex(s, kRadarCentre.x + kCompassRadius * std::cos(kCorners[i]),
                   kRadarCentre.y + kCompassRadius * std::sin(kCorners[i]), kFrontZ, kFrontW,
                   kWhite, std::cos(compass_turn) + 0.5f, std::sin(compass_turn) + 0.5f);
        compass_turn += kQuarter;
    }
    set_texture(p.cockpit_textures[kTvCockpitCompass]);
    LgIm2DRenderPrimitive(kFan, compass, 4);

    BlipRecord record{};
    record.scale_x = width != 0.0f ? 512.0f / width : 0.0f;
    record.scale_z = depth != 0.0f ? 512.0f / depth : 0.0f;
    record.player = m.pos;
    record.heading = m;
    LgVector flat = {m.at.x, 0.0f, m.at.z};
    if (flat.x != 0.0f || flat.z != 0.0f) LgVectorNormalize(&flat, &flat);
    record.heading.at = flat;
    record.box = *box;
    record.screen = s;
    record.game = o.game;
    struct GroupIcon {
        int32_t group;
        TvCockpitTexture icon;
    };
    constexpr GroupIcon kGroups[] = {{6, kTvCockpitGun},
                                     {7, kTvCockpitSmallTarget},
                                     {kTvGroupSideB, kTvCockpitSmallEnemy},
                                     {kTvGroupSideA, kTvCockpitSmallAlly},
                                     {2, kTvCockpitProtect}};
    if (o.game)
        for (const GroupIcon& g : kGroups) {
            record.texture = p.cockpit_textures[g.icon];
            o.game->ForEachLiveInGroup(-g.group, draw_blip, &record);
        }
    record.texture = p.cockpit_textures[kTvCockpitPlaneIcon];
    draw_blip(o.self, &record);
    return OM_S_OK;
}

OmResult draw_cockpit_hud(Plane plane) {
    TvObjectFields& o = plane.o;
    TvPlaneFields& p = plane.p;
    const Screen s = screen();
    render_state(kStateZWrite, 0);
    render_state(kStateZTest, 0);

    set_texture(p.cockpit_textures[kTvCockpitSpeedDial]);
    render_state(kStateZTest, 0);
    render_state(kStateSourceBlend, kBlendSourceAlpha);
    render_state(kStateDestinationBlend, kBlendInverseSourceAlpha);
    quad(s, {{0.5f, 0.5f}, {0.5f, 128.5f}, {128.5f, 128.5f}, {128.5f, 0.5f}}, kBackZ, kBackW);

    set_texture(p.cockpit_textures[kTvCockpitSpeedNeedle]);
    const float a = -p.throttle * 1.256f + 0.628f;
    const float sa = std::sin(a), ca = std::cos(a);
    turned_quad(s, {64.0f - 35.0f * sa, 85.0f - 35.0f * 0.75f * ca}, sa, ca, 16.0f, 32.0f, kMidZ,
                kMidW);

    draw_radar(plane, kHudZoom);

    // Damage marks round the dial: one per ninth of the endurance taken (mark i once the
    // damage passes i ninths), all ten at the endurance itself; the splat flashes over the
    // newest mark.
    int32_t marks = 0;
    const float step = o.endurance / 9.0f;
    for (float t = 0.0f; marks < kDamageMarks && t < o.damage; t += step) ++marks;
    if (o.damage > 0.0f && o.damage >= o.endurance) marks = kDamageMarks;
    for (int32_t i = 0; i < marks; ++i) {
        const float angle = 0.9106f - 0.18212f * static_cast<float>(i);
        const float sm = std::sin(angle), cm = std::cos(angle);
        const LgVector2 centre = {64.0f - 42.0f * sm, 85.0f + 42.0f * 0.95f * cm};
        set_texture(p.cockpit_textures[kTvCockpitBulletHole]);
        turned_quad(s, centre, sm, cm, 4.0f, 8.0f, kMidZ, kMidW);
        if (p.hit_indicator > 0.0f && i == marks - 1) {
            const float b = (1.0f - p.hit_indicator) * 30.0f;
            const auto alpha =
                static_cast<uint32_t>(static_cast<int32_t>(192.0f * p.hit_indicator) + 63);
            set_texture(p.cockpit_textures[kTvCockpitSplat]);
            quad(s,
                 {{centre.x - b, centre.y - b},
                  {centre.x - b, centre.y + b},
                  {centre.x + b, centre.y + b},
                  {centre.x + b, centre.y - b}},
                 kMidZ, kMidW, (alpha & 0xffu) << 24 | 0x00ffffffu);
        }
    }

    if (p.ordinance_type > 0) {
        set_texture(p.cockpit_textures[p.ordinance_type == 1 ? kTvCockpitBomb : kTvCockpitRocket]);
        quad(s, {{36.0f, 70.0f}, {36.0f, 102.0f}, {68.0f, 102.0f}, {68.0f, 70.0f}}, kMidZ, kMidW);
    }

    if (p.boost_time > 0.0f) {
        set_texture(p.cockpit_textures[kTvCockpitBoostGauge]);
        quad(s, {{140.5f, 1.5f}, {140.5f, 129.5f}, {268.5f, 129.5f}, {268.5f, 1.5f}}, kBackZ,
             kBackW);
        set_texture(nullptr);
        const float end = 145.0f + 18.5f * p.boost_time;
        quad(s, {{145.0f, 17.0f}, {145.0f, 28.0f}, {end, 28.0f}, {end, 17.0f}}, kMidZ, kMidW,
             0x80ff0000u);
    }

    if (o.game) {
        char count[16];
        std::snprintf(count, sizeof count, "%d", p.ordinance_count);
        o.game->DrawText(66.0f, 68.0f, count, 0);
    }
    render_state(kStateZWrite, 1);
    render_state(kStateZTest, 1);
    return OM_S_OK;
}

} // namespace tvplane

OmResult TvDrawPlaneCockpit(ITvObject* followed, LgCamera*) {
    ITvPlane* plane = nullptr;
    if (!followed) return OM_S_OK;
    // Mission planes answer as AI planes; both are the plane's operations.
    if (followed->QueryInterface(IID_ITvPlane, reinterpret_cast<void**>(&plane)) < 0 &&
        followed->QueryInterface(IID_ITvAIPlane, reinterpret_cast<void**>(&plane)) < 0)
        return OM_S_OK;
    if (!plane) return OM_S_OK;
    const OmResult r = plane->DrawCockpitHud();
    plane->Release();
    return r;
}
