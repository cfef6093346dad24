// Explosions and smoke columns: fixed pools, the per-frame sprite list built by the update,
// and the two blended draw batches.
#include "game/world/tv_explosions.h"

#include "engine/world/lg_random.h"
#include "framework/core/memory.h"
#include "game/world/tv_bsp_landscape.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace {

constexpr const char* kParticlePath = ".\\objects\\particles\\";
constexpr size_t kImagePathLimit = 255;

// Render states.
constexpr int32_t kStateTexture = 1;
constexpr int32_t kStateMode2 = 2;
constexpr int32_t kStateDepthWrite = 6;
constexpr int32_t kStateSourceBlend = 9;
constexpr int32_t kStateDestinationBlend = 10;
constexpr int32_t kStateAlphaImmediate = 11;

struct Colour {
    float red, green, blue, alpha;
};

struct Module {
    float smoke_budget = 400.0f;
    LgTexture* smoke_texture = nullptr;
    ITvBSPLandscape* landscape = nullptr;
    TvSmokeColumn smoke[kTvSmokeColumnCount]{};
    TvSmokeColumn* smoke_live = nullptr;
    TvSmokeColumn* smoke_free = nullptr;
    TvExplosion explosions[kTvExplosionCount]{};
    TvExplosion* explosion_live = nullptr;
    TvExplosion* explosion_free = nullptr;
    LgIm3DVertex sprites[kTvSpriteVertexCapacity]{};
    TvBlendPair blends[kTvSpriteVertexCapacity]{};
    int32_t sprite_count = 0;
    LgIm3DVertex draw_list[kTvSpriteVertexCapacity]{};
    const LgMatrix* camera = nullptr;
};

Module& state() {
    static Module* module = new Module;
    return *module;
}

LgVector add(LgVector a, LgVector b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
LgVector sub(LgVector a, LgVector b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
LgVector scale(LgVector a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
float dot(LgVector a, LgVector b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
float length(LgVector a) {
    return std::sqrt(dot(a, a));
}

uint32_t random_bits(uint32_t mask) {
    return LgRandom() & mask;
}

void set_state(int32_t s, uintptr_t value) {
    LgRenderStateSet(s, reinterpret_cast<void*>(value));
}

// A colour channel 0..1 as a byte; values beyond the range saturate.
uint8_t channel(float c) {
    const float v = c * 255.0f + 0.5f;
    if (!(v > 0.0f)) return 0;
    return v >= 255.0f ? 255 : static_cast<uint8_t>(v);
}

void release_arrays(TvExplosion& e) {
    OmFreeMemory(e.puffs);
    OmFreeMemory(e.jets);
    e.puffs = nullptr;
    e.jets = nullptr;
}

void* zeroed(size_t bytes) {
    void* block = OmAllocMemory(bytes);
    if (block) std::memset(block, 0, bytes);
    return block;
}

// One sprite: a single triangle covering the square p +- R +- U.
void emit_sprite(LgVector p, float size, Colour colour, TvBlendPair blend) {
    Module& m = state();
    if (m.sprite_count >= kTvSpriteVertexCapacity || !m.camera) return;
    const LgRGBA rgba{channel(colour.red), channel(colour.green), channel(colour.blue),
                      channel(colour.alpha)};
    const LgVector r = scale(m.camera->right, size);
    const LgVector u = scale(m.camera->up, size);
    const LgVector corners[3] = {sub(sub(p, scale(r, 3.0f)), u), add(add(p, r), scale(u, 3.0f)),
                                 sub(add(p, r), u)};
    const float uv[3][2] = {{-1.0f, 1.0f}, {1.0f, -1.0f}, {1.0f, 1.0f}};
    for (int32_t i = 0; i < 3; ++i) {
        LgIm3DVertex& v = m.sprites[m.sprite_count];
        v.position = corners[i];
        v.normal = {0.0f, 1.0f, 0.0f};
        v.color = rgba;
        v.u = uv[i][0];
        v.v = uv[i][1];
        m.blends[m.sprite_count] = blend;
        ++m.sprite_count;
    }
}

void step_smoke_column(TvSmokeColumn& k, float dt, int32_t n) {
    k.clock += dt;
    if (k.clock >= 1.0f) k.count = 0;
    const uint32_t saved = LgRandom();
    LgRandomSeed(k.seed);
    // Bisection order: each level halves the spacing of the one before.
    for (int32_t level = 0; level < 10 && n > 0; ++level) {
        const float h = 0.5f / float(1 << level);
        for (int32_t i = 0;; ++i) {
            const float f = float(2 * i + 1) * h;
            if (!(f < 1.0f)) break;
            float g = k.clock * k.inverse_rise_time + f;
            if (k.clock > 0.0f) g -= std::floor(g);
            LgVector scatter;
            scatter.x = (float(random_bits(1023)) / 512.0f - 1.0f) * g * k.spread;
            scatter.y = (float(random_bits(1023)) / 512.0f - 1.0f) * g * k.spread;
            scatter.z = (float(random_bits(1023)) / 512.0f - 1.0f) * g * k.spread;
            const LgVector p = add(add(k.source, {0.0f, g * k.height, 0.0f}), scatter);
            const float size = g * k.growth;
            float alpha = (1.0f - g) * k.alpha;
            if (k.clock > 0.0f) alpha = std::max(0.0f, alpha * (1.0f - k.clock));
            const float grey = k.grey - g * k.grey_fall;
            emit_sprite(p, size, {grey, grey, grey, alpha}, kTvBlendAlpha);
            if (--n == 0) break;
        }
    }
    // The shared sequence goes on from a fresh state.
    LgRandomSeed(saved);
}

void step_jet(TvExplosion& e, LgVector start, LgVector& v) {
    constexpr Colour c{1.0f, 1.0f, 1.0f, 0.9f};
    constexpr float tau = 0.0001f;
    constexpr int32_t points = 20;
    constexpr float size_start = 10.0f;
    constexpr float size_step = -0.45f;
    constexpr float fade = 1.4f;
    constexpr float spread = 0.2f;
    const float a = e.age;
    const bool fading = a > float(points) * tau;
    const float late = fading ? a - float(points) * tau : 0.0f;
    v.y -= 0.1f * spread * a;
    LgVector point = start;
    float size = size_start;
    float t = 0.0f;
    const float drift = 0.001f * spread * a;
    for (int32_t i = 0; i < points && !(t > a); ++i) {
        float alpha = c.alpha;
        if (fading) alpha = std::max(0.0f, c.alpha - float(points - i + 1) * late * fade);
        if (e.seen && alpha != 0.0f)
            emit_sprite(point, size, {c.red, c.green, c.blue, alpha}, kTvBlendAlpha);
        t += tau;
        size = std::max(0.0f, size + size_step);
        if (v.x < 0.0f)
            v.x -= drift;
        else if (v.x > 0.0f)
            v.x += drift;
        if (v.z < 0.0f)
            v.z -= drift;
        else if (v.z > 0.0f)
            v.z += drift;
        point = add(point, v);
    }
}

bool non_zero(LgVector v) {
    return v.x != 0.0f || v.y != 0.0f || v.z != 0.0f;
}

void add_puff(TvExplosion& e, int32_t k, const TvExplosionPuff& y, float now) {
    if (!(now - y.chain_start < y.chain_duration)) return;
    TvExplosionPuff q{};
    q.birth = now;
    q.fade_in_end = y.fade_in_end;
    q.growth = y.growth;
    q.fade_in_rate = y.fade_in_rate;
    q.chain_start = y.chain_start;
    q.minimum_size = y.minimum_size;
    q.size_scale = y.size_scale;
    q.anchor = y.anchor;
    q.chain_duration = y.chain_duration;
    q.fade_slope = -0.6f;
    q.interval = e.age > e.life * 0.5f ? now * 0.02f + 0.005f : y.interval;
    q.blend = kTvBlendAdditive;
    q.time_at_maximum = 0.0f;
    q.alive = 1;
    q.maximum_size =
        float(random_bits(uint32_t(int32_t(0.75f * y.size_scale)))) + y.size_scale / 4.0f;
    q.maximum_size = std::max(q.maximum_size, y.minimum_size);
    // A spawn point on the half sphere above the anchor; bigger puffs start nearer.
    const float s = (y.size_scale - q.maximum_size + 1.0f) * y.size_scale / 3.0f;
    const float r = std::sqrt(std::max(0.0f, s));
    LgVector point{};
    for (int32_t attempt = 0; attempt < 64; ++attempt) {
        const float a = float(random_bits(uint32_t(int32_t(2.0f * r)))) - r;
        const float rest = std::max(0.0f, s - a * a);
        const float b = float(random_bits(uint32_t(int32_t(std::sqrt(rest)))));
        float c = std::sqrt(std::max(0.0f, rest - b * b));
        if (random_bits(1) == 0) c = -c;
        point = add(y.anchor, {a, b, c});
        if (non_zero(point)) break;
    }
    q.position = point;
    e.puffs[k] = q;
}

void step_puff(TvExplosion& e, TvExplosionPuff& q, float now) {
    const float a = now - q.birth;
    LgVector shown = add(q.anchor, scale(sub(q.position, q.anchor), 3.9f * a));
    float size = a * q.growth;
    if (size > q.maximum_size) {
        if (q.time_at_maximum == 0.0f) q.time_at_maximum = a;
        size = (2.0f * a - q.time_at_maximum) * q.growth / 10.0f + q.maximum_size;
    }
    float alpha =
        a <= q.fade_in_end ? a * q.fade_in_rate : 1.0f + q.fade_slope * (2.0f * a - q.fade_in_end);
    if (alpha > 1.0f) alpha = 1.0f;
    if (alpha < 0.0f) {
        alpha = 0.0f;
        q.alive = 0;
    }
    if (alpha == 0.0f || !e.seen) return;
    ITvBSPLandscape* landscape = state().landscape;
    if (landscape) {
        float h = 0.0f;
        landscape->HeightAboveGround(&shown, &h);
        if (h < 0.0f) shown.y = shown.y - h + 40.0f;
    }
    emit_sprite(shown, size, {1.0f, 0.41f, 0.1f, alpha}, q.blend);
}

void step_puffs(TvExplosion& e, float now) {
    float youngest_age = 100.0f;
    int32_t youngest = -1;
    int32_t free_place = -1;
    for (int32_t i = 0; i < e.puff_slots; ++i) {
        TvExplosionPuff& q = e.puffs[i];
        if (!q.alive) {
            free_place = i;
            continue;
        }
        if (now - q.birth < youngest_age) {
            youngest_age = now - q.birth;
            youngest = i;
        }
        step_puff(e, q, now);
    }
    if (youngest < 0 || free_place < 0) return;
    const TvExplosionPuff& y = e.puffs[youngest];
    const float age = now - y.birth;
    if (age >= y.interval && age < 100.0f) add_puff(e, free_place, y, now);
}

void step_explosion(TvExplosion& e) {
    if (e.age > e.life) return;
    const LgVector start = add(e.position, {0.0f, 40.0f, 0.0f});
    for (int32_t j = 0; j < kTvExplosionJetCount; ++j) {
        LgVector& v = e.jets[j];
        if (!non_zero(v)) {
            const float x = (float(random_bits(1023)) / 1024.0f * 10.0f - 5.0f) / 3.0f;
            const float y = float(random_bits(1023)) / 1024.0f * 10.0f;
            const float z = (float(random_bits(1023)) / 1024.0f * 10.0f - 5.0f) / 3.0f;
            v = scale({x, y, z}, 0.6f);
        }
        step_jet(e, start, v);
    }
    TvExplosionPuff& first = e.puffs[0];
    if (!(first.growth > 0.0f)) {
        first = {};
        first.position = first.anchor = add(e.position, {0.0f, 30.0f, 0.0f});
        first.birth = first.chain_start = e.age;
        first.fade_in_end = 0.3f;
        first.growth = 140.0f;
        first.fade_slope = -1.0f;
        first.fade_in_rate = 5.0f;
        first.interval = 0.01f;
        first.maximum_size = 40.0f;
        first.minimum_size = 10.0f;
        first.size_scale = 40.0f;
        first.chain_duration = 2.0f * e.size - 2.0f;
        first.blend = kTvBlendAdditive;
        first.alive = 1;
    }
    step_puffs(e, e.age);
}

void draw_batch(const LgIm3DVertex* vertices, int32_t count, TvBlendPair blend) {
    set_state(kStateSourceBlend, uintptr_t(blend.source));
    set_state(kStateDestinationBlend, uintptr_t(blend.destination));
    if (count <= 0) return;
    if (LgIm3DTransform(vertices, count, nullptr, 1)) {
        LgIm3DRenderPrimitive(LgPrimTriList);
        LgIm3DEnd();
    }
}

void reset_pools(Module& m) {
    m.smoke_live = nullptr;
    m.smoke_free = nullptr;
    for (int32_t i = kTvSmokeColumnCount - 1; i >= 0; --i) {
        m.smoke[i] = {};
        m.smoke[i].link = m.smoke_free;
        m.smoke_free = &m.smoke[i];
    }
    for (TvExplosion& e : m.explosions) release_arrays(e);
    m.explosion_live = nullptr;
    m.explosion_free = nullptr;
    for (int32_t i = kTvExplosionCount - 1; i >= 0; --i) {
        m.explosions[i] = {};
        m.explosions[i].link = m.explosion_free;
        m.explosion_free = &m.explosions[i];
    }
    m.sprite_count = 0;
}

// A pool's record for a new effect: the free head moved to the live head, or a random live
// record restarted in place.
template <typename T>
T* take_record(T*& free_head, T*& live_head, T* pool, int32_t size) {
    if (T* record = free_head) {
        free_head = record->link;
        record->link = live_head;
        live_head = record;
        return record;
    }
    return &pool[LgRandom() % uint32_t(size)];
}

} // namespace

OmResult TvInitExplosions(int32_t effects_detail, ITvBSPLandscape* landscape) {
    Module& m = state();
    m.smoke_budget = float(effects_detail) * kTvSmokeBudgetPerDetail;
    // A restart reads the texture again: the reference from before is given back first.
    if (m.smoke_texture) LgTextureDestroy(m.smoke_texture);
    const char* current = LgImageGetPath();
    std::string saved = current ? current : "";
    if (saved.size() > kImagePathLimit) saved.resize(kImagePathLimit);
    LgImageSetPath(kParticlePath);
    m.smoke_texture = LgTextureRead("smoke.bmp", "smokem.bmp");
    LgImageSetPath(saved.c_str());
    reset_pools(m);
    m.landscape = landscape;
    return OM_S_OK;
}

void TvReleaseExplosions() {
    Module& m = state();
    reset_pools(m);
    if (m.smoke_texture) LgTextureDestroy(m.smoke_texture);
    m.smoke_texture = nullptr;
    m.landscape = nullptr;
    m.camera = nullptr;
}

OmResult TvSpawnSmokeColumn(const LgVector* position, float size, uint32_t) {
    Module& m = state();
    // A column of no size would rise in no time (an endless inverse rise time).
    if (!position || !(size > 0.0f) || !std::isfinite(size)) return OM_E_FAIL;
    TvSmokeColumn* k = take_record(m.smoke_free, m.smoke_live, m.smoke, kTvSmokeColumnCount);
    TvSmokeColumn* link = k->link;
    *k = {};
    k->link = link;
    k->seed = LgRandom();
    k->source = *position;
    k->height = float(120 + random_bits(127)) * size;
    k->rise_time = 0.05f * size * k->height;
    k->inverse_rise_time = 1.0f / k->rise_time;
    k->alpha = 0.7f;
    k->spread = 20.0f * size;
    k->growth = 20.0f * size;
    k->grey = 1.0f;
    k->grey_fall = 0.7f;
    k->clock = -k->rise_time;
    k->count = int32_t(25.0f * size);
    return OM_S_OK;
}

OmResult TvStartExplosion(const LgVector* position, float size, uint32_t) {
    Module& m = state();
    if (!position) return OM_E_FAIL;
    const bool reused = m.explosion_free == nullptr;
    TvExplosion* e =
        take_record(m.explosion_free, m.explosion_live, m.explosions, kTvExplosionCount);
    release_arrays(*e);
    const float s = std::clamp(size, 1.0f, 2.0f);
    e->size = s;
    e->position = *position;
    e->age = 0.0f;
    e->life = 2.0f * s + 5.0f;
    // A new explosion is unseen until an update finds it in view.
    e->seen = 0;
    e->puff_slots = 5;
    e->puffs =
        static_cast<TvExplosionPuff*>(zeroed(sizeof(TvExplosionPuff) * kTvExplosionPuffCount));
    e->jets = static_cast<LgVector*>(zeroed(sizeof(LgVector) * kTvExplosionJetCount));
    if (!e->puffs || !e->jets) {
        // Nothing started: a record from the free list goes back there; a reused one stays
        // live but finished, so the next update returns it.
        release_arrays(*e);
        if (!reused) {
            m.explosion_live = e->link;
            e->link = m.explosion_free;
            m.explosion_free = e;
        } else {
            e->puffs = nullptr;
            e->age = e->life + 1.0f;
        }
        return OM_E_OUTOFMEMORY;
    }
    if (m.landscape) {
        float h = 0.0f;
        m.landscape->HeightAboveGround(position, &h);
        if (h >= 30.0f) e->life = 2.0f;
    }
    return OM_S_OK;
}

void TvUpdateExplosions(LgCamera* camera, float dt) {
    Module& m = state();
    m.sprite_count = 0;
    LgFrame* frame = camera ? LgCameraGetFrame(camera) : nullptr;
    if (!frame) return;
    m.camera = LgFrameGetMatrix(frame);
    const LgVector eye = m.camera->pos;
    const LgVector at = m.camera->at;
    const float far = LgCameraGetFarClipPlane(camera);

    float total = 0.0f;
    for (TvSmokeColumn* k = m.smoke_live; k; k = k->link) {
        k->weight = -1.0f;
        const LgVector d = sub(k->source, eye);
        const float distance = length(d);
        if (dot(at, d) > 0.0f && distance < far) {
            k->weight = (far - distance) * float(k->count) * 2.0f / far;
            total += k->weight;
        }
    }
    if (total > 0.0f) {
        const float ratio = std::min(m.smoke_budget / total, 1.5f);
        for (TvSmokeColumn* k = m.smoke_live; k; k = k->link) {
            const int32_t n = int32_t(ratio * k->weight);
            if (n > 0) step_smoke_column(*k, dt, n);
        }
    }

    for (TvExplosion* e = m.explosion_live; e; e = e->link) {
        const LgVector d = sub(e->position, eye);
        const float distance = length(d);
        e->puff_slots = std::clamp(int32_t(25.0f * distance / far + 5.0f), 5, 30);
        if (dot(at, d) > 0.0f && distance < far) e->seen = 1;
        e->age += dt;
    }
    TvExplosion** link = &m.explosion_live;
    while (TvExplosion* e = *link) {
        if (e->puffs && e->jets) step_explosion(*e);
        if (e->age > e->life) {
            *link = e->link;
            e->link = m.explosion_free;
            m.explosion_free = e;
            release_arrays(*e);
            continue;
        }
        link = &e->link;
    }
}

void TvRenderExplosions(LgCamera*) {
    Module& m = state();
    int32_t additive = 0;
    for (int32_t i = 0; i < m.sprite_count; ++i)
        if (m.blends[i].destination == kTvBlendOne) m.draw_list[additive++] = m.sprites[i];
    int32_t blended = additive;
    for (int32_t i = 0; i < m.sprite_count; ++i)
        if (m.blends[i].destination == kTvBlendInverseSourceAlpha)
            m.draw_list[blended++] = m.sprites[i];
    set_state(kStateDepthWrite, 0);
    set_state(kStateAlphaImmediate, 1);
    set_state(kStateTexture, m.smoke_texture
                                 ? reinterpret_cast<uintptr_t>(LgTextureGetRaster(m.smoke_texture))
                                 : 0);
    set_state(kStateMode2, 3);
    if (m.sprite_count == 0) return;
    draw_batch(m.draw_list, additive, kTvBlendAdditive);
    draw_batch(m.draw_list + additive, blended - additive, kTvBlendAlpha);
}

int32_t TvExplosionSpriteVertexCount() {
    return state().sprite_count;
}
const LgIm3DVertex* TvExplosionSpriteVertices() {
    return state().sprites;
}
const TvBlendPair* TvExplosionSpriteBlends() {
    return state().blends;
}
float TvExplosionSmokeBudget() {
    return state().smoke_budget;
}
LgTexture* TvExplosionSmokeTexture() {
    return state().smoke_texture;
}
const TvSmokeColumn* TvLiveSmokeColumns() {
    return state().smoke_live;
}
const TvExplosion* TvLiveExplosions() {
    return state().explosion_live;
}
