// The tracer shells' drawing: one camera-facing streak per live tracer, all in one indexed
// immediate-mode call.
#include "engine/core/lg_im3d.h"
#include "engine/core/lg_immediate.h"
#include "engine/core/lg_texture.h"
#include "game/rules/tv_game.h"
#include "game/world/tv_weapon.h"

#include <algorithm>

namespace {

constexpr int32_t kStateTexture = 1;
constexpr int32_t kStateVertexAlpha = 11;
constexpr int32_t kStateSourceBlend = 9;
constexpr int32_t kStateDestinationBlend = 10;
constexpr uintptr_t kBlendSourceAlpha = 5;
constexpr uintptr_t kBlendInverseSourceAlpha = 6;
constexpr float kStreakPerSecond = 150.0f;
constexpr float kMinStreak = 20.0f;
constexpr uint8_t kTracerAlpha = 196;
constexpr uint32_t kTransformTextured = 1;

void set_state(int32_t state, uintptr_t value) {
    LgRenderStateSet(state, reinterpret_cast<void*>(value));
}

LgVector unit(LgVector v) {
    LgVector out{0.0f, 0.0f, 0.0f};
    if (v.x != 0.0f || v.y != 0.0f || v.z != 0.0f) LgVectorNormalize(&out, &v);
    return out;
}

void set_vertex(LgIm3DVertex& v, LgVector at, float u, float t) {
    v = {};
    v.position = at;
    v.color = {255, 255, 255, kTracerAlpha};
    v.u = u;
    v.v = t;
}

} // namespace

OmResult TavrinWeapon::Render() {
    if (!game) return OM_S_OK;
    LgTexture* texture = ordnance_count_ > 0 ? ordnance_[0].texture : nullptr;
    set_state(kStateTexture,
              reinterpret_cast<uintptr_t>(texture ? LgTextureGetRaster(texture) : nullptr));
    set_state(kStateVertexAlpha, 1);
    set_state(kStateSourceBlend, kBlendSourceAlpha);
    set_state(kStateDestinationBlend, kBlendInverseSourceAlpha);
    const LgVector* view = game->GetViewPosition();
    if (!view || ordnance_count_ == 0) return OM_S_OK;

    const float size = ordnance_[0].size;
    const float streak = std::max(game->GetFrameTime() * kStreakPerSecond, kMinStreak);
    LgIm3DVertex vertices[kTvProjectileSlots * 4];
    uint16_t indices[kTvProjectileSlots * 6];
    int32_t quads = 0;
    for (const TvProjectile& p : projectiles_) {
        if (!p.ordnance || p.index == kTvOrdnanceBomb || p.index == kTvOrdnanceRocket) continue;
        const LgMatrix& m = *p.placement;
        const LgVector tail = m.pos;
        const LgVector head = {tail.x + m.at.x * streak, tail.y + m.at.y * streak,
                               tail.z + m.at.z * streak};
        const LgVector v = unit({view->x - tail.x, view->y - tail.y, view->z - tail.z});
        const LgVector w = unit(p.velocity);
        LgVector across;
        LgVectorCrossProduct(&across, &v, &w);
        across = unit(across);
        const LgVector side = {across.x * size, across.y * size, across.z * size};
        LgIm3DVertex* q = &vertices[quads * 4];
        set_vertex(q[0], {tail.x + side.x, tail.y + side.y, tail.z + side.z}, 0.0f, 0.0f);
        set_vertex(q[1], {head.x + side.x, head.y + side.y, head.z + side.z}, 1.0f, 0.0f);
        set_vertex(q[2], {head.x - side.x, head.y - side.y, head.z - side.z}, 1.0f, 1.0f);
        set_vertex(q[3], {tail.x - side.x, tail.y - side.y, tail.z - side.z}, 0.0f, 1.0f);
        const auto first = static_cast<uint16_t>(quads * 4);
        uint16_t* i = &indices[quads * 6];
        i[0] = first + 2;
        i[1] = first + 1;
        i[2] = first;
        i[3] = first + 3;
        i[4] = first + 2;
        i[5] = first;
        ++quads;
    }
    if (quads == 0) return OM_S_OK;
    if (LgIm3DTransform(vertices, quads * 4, nullptr, kTransformTextured)) {
        LgIm3DRenderIndexedPrimitive(LgPrimTriList, indices, quads * 6);
        LgIm3DEnd();
    }
    return OM_S_OK;
}
