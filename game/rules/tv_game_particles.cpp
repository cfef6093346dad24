// The game's particle kinds: their textures, blends and capacities, and the five update
// routines (fade, flash, drift, trail emitter, fire emitter).
#include "engine/world/lg_random.h"
#include "framework/core/object_manager.h"
#include "game/rules/tavrin_game.h"
#include "game/world/tv_model_files.h"

#include <algorithm>

namespace {

constexpr int32_t kBlendOne = 2;
constexpr int32_t kBlendSourceAlpha = 5;
constexpr int32_t kBlendInverseSourceAlpha = 6;
constexpr const char* kParticleImagePath = ".\\objects\\particles\\";
constexpr float kTrailGravity = 1.0f;
constexpr float kTrailFloor = 100.0f;

struct KindRow {
    int32_t kind;
    const char* texture;
    const char* mask;
    int32_t source_blend;
    int32_t destination_blend;
    int32_t record_size;
    OmParticleUpdateFunction update;
    int32_t capacity;
};

const KindRow kKinds[] = {
    {kTvParticleMaroon, "maroon", "maroonm", kBlendSourceAlpha, kBlendInverseSourceAlpha,
     sizeof(TvFadeParticle), TvParticleFade, 50},
    {kTvParticleHit, "hit", "hitm", kBlendSourceAlpha, kBlendInverseSourceAlpha,
     sizeof(TvFadeParticle), TvParticleFade, 50},
    {kTvParticleFlash, "smoke", "smokem", kBlendSourceAlpha, kBlendOne, sizeof(TvFlashParticle),
     TvParticleFlash, 200},
    {kTvParticleSmoke, "smoke", "smokem", kBlendSourceAlpha, kBlendInverseSourceAlpha,
     sizeof(TvDriftParticle), TvParticleDrift, 300},
    {kTvParticleTrail, "clod", "clodm", kBlendSourceAlpha, kBlendInverseSourceAlpha,
     sizeof(TvTrailEmitterParticle), TvParticleTrailEmitter, 100},
    {kTvParticleFire, "clod", "clodm", kBlendSourceAlpha, kBlendInverseSourceAlpha,
     sizeof(TvFireEmitterParticle), TvParticleFireEmitter, 100},
    {kTvParticleTrailSmoke, "smoke", "smokem", kBlendSourceAlpha, kBlendInverseSourceAlpha,
     sizeof(TvDriftParticle), TvParticleDrift, 100},
    {kTvParticleCloth, "cloth", "clothm", kBlendSourceAlpha, kBlendInverseSourceAlpha,
     sizeof(TvDriftParticle), TvParticleDrift, 50},
};

// Colour and alpha bytes saturate: a value past either end stays at that end.
uint8_t to_byte(float value) {
    if (!(value > 0.0f)) return 0;
    if (value >= 255.0f) return 255;
    return static_cast<uint8_t>(value);
}

float frame_time(void* game) {
    return static_cast<ITvGame*>(game)->GetFrameTime();
}

// A fresh engine random number in 0..1023.
float random10() {
    return static_cast<float>(LgRandom() & 0x3ff);
}

void emit_drift(void* game, const TvDriftParticle& record) {
    static_cast<ITvGame*>(game)->EmitParticles(kTvParticleTrailSmoke, &record);
}

} // namespace

OmResult TavrinGame::SetUpParticles() {
    if (particles_) {
        particles_->RemoveAllTypes();
        particles_->Release();
        particles_ = nullptr;
    }
    const OmResult r = OmCreateInstance(CLSID_OmLgParticles, nullptr, 0, IID_IOmLgParticles,
                                        reinterpret_cast<void**>(&particles_));
    if (r < 0) {
        particles_ = nullptr;
        return r;
    }
    particles_->Init();
    TvImagePath images(kParticleImagePath);
    for (const KindRow& row : kKinds) {
        LgTexture* texture = LgTextureRead(row.texture, row.mask);
        const OmParticleType type{
            texture,    row.source_blend, row.destination_blend,      row.record_size,
            row.update, nullptr,          static_cast<ITvGame*>(this)};
        particles_->AddType(row.kind, &type, row.capacity);
        if (texture) LgTextureDestroy(texture);
    }
    return OM_S_OK;
}

int32_t TvParticleFade(void* game, OmParticleHeader* particle) {
    auto* p = reinterpret_cast<TvFadeParticle*>(particle);
    p->life -= frame_time(game);
    if (p->life < 0.0f) return OM_E_FAIL;
    p->head.colour.alpha = to_byte(p->life * p->alpha_rate);
    return OM_S_OK;
}

int32_t TvParticleFlash(void* game, OmParticleHeader* particle) {
    auto* p = reinterpret_cast<TvFlashParticle*>(particle);
    p->life -= frame_time(game);
    if (p->life > 0.0f) return OM_S_OK;
    p->head.colour.alpha = 0;
    return OM_E_FAIL;
}

int32_t TvParticleDrift(void* game, OmParticleHeader* particle) {
    auto* p = reinterpret_cast<TvDriftParticle*>(particle);
    const float dt = frame_time(game);
    p->head.size += p->growth * dt;
    p->head.position.x += p->velocity.x * dt;
    p->head.position.y += p->velocity.y * dt;
    p->head.position.z += p->velocity.z * dt;
    p->red += p->red_rate * dt;
    p->green += p->green_rate * dt;
    p->blue += p->blue_rate * dt;
    p->alpha += p->alpha_rate * dt;
    if (p->alpha < 0.0f) return OM_E_FAIL;
    for (float* v : {&p->red, &p->green, &p->blue, &p->alpha}) *v = std::clamp(*v, 0.0f, 1.0f);
    p->head.colour = {to_byte(p->red * 255.0f + 0.5f), to_byte(p->green * 255.0f + 0.5f),
                      to_byte(p->blue * 255.0f + 0.5f), to_byte(p->alpha * 255.0f + 0.5f)};
    return OM_S_OK;
}

int32_t TvParticleTrailEmitter(void* game, OmParticleHeader* particle) {
    auto* p = reinterpret_cast<TvTrailEmitterParticle*>(particle);
    const float dt = frame_time(game);
    p->velocity.y -= dt * kTrailGravity;
    p->head.position.x += p->velocity.x;
    p->head.position.y += p->velocity.y;
    p->head.position.z += p->velocity.z;
    if (p->head.position.y < kTrailFloor) return OM_E_FAIL;
    const float e = (dt + p->accumulated) * p->rate;
    if (e < 1.0f) {
        p->accumulated += dt;
        return OM_S_OK;
    }
    for (int32_t i = 0; i < static_cast<int32_t>(e); ++i) {
        p->accumulated = 0.0f;
        if (!p->templ) continue;
        TvDriftParticle copy = *p->templ;
        copy.head.position = p->head.position;
        emit_drift(game, copy);
    }
    return OM_S_OK;
}

int32_t TvParticleFireEmitter(void* game, OmParticleHeader* particle) {
    auto* p = reinterpret_cast<TvFireEmitterParticle*>(particle);
    const float dt = frame_time(game);
    p->velocity.y += p->gravity * dt;
    p->head.position.x += p->velocity.x * dt;
    p->head.position.y += p->velocity.y * dt;
    p->head.position.z += p->velocity.z * dt;
    p->head.colour.alpha = p->life > 1.0f ? 255 : to_byte(255.0f * p->life);
    p->life -= dt;
    if (p->life < 0.0f) return OM_E_FAIL;
    const float e = (dt + p->accumulated) * p->rate;
    if (e < 1.0f) {
        p->accumulated += dt;
        return OM_S_OK;
    }
    for (int32_t i = 0; i < static_cast<int32_t>(e); ++i) {
        TvDriftParticle d{};
        d.head.size = 0.5f;
        d.growth = 1.0f;
        d.red = 1.0f;
        d.green = 0.5f + random10() * 0.0001953125f;
        d.blue = 0.1f;
        d.alpha = 1.0f;
        d.red_rate = -0.5f;
        d.green_rate = -0.5f;
        d.blue_rate = -0.2f;
        d.alpha_rate = -0.2f;
        d.velocity.x = random10() * 0.0029296875f - 1.5f;
        d.velocity.y = random10() * 0.01171875f;
        d.velocity.z = random10() * 0.0029296875f - 1.5f;
        d.head.position = {p->head.position.x + d.velocity.x, p->head.position.y,
                           p->head.position.z + d.velocity.z};
        emit_drift(game, d);
    }
    p->accumulated = 0.0f;
    return OM_S_OK;
}
