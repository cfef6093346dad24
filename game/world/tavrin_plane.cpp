// The plane component: interfaces, creation from an archetype and a mission air entry, the
// cockpit textures and sounds it owns, its properties with their side effects, and teardown.
#include "engine/core/lg_texture.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_world_tie.h"
#include "game/rules/tavrin_ai_plane.h"
#include "game/rules/tv_game.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_effects.h"
#include "game/world/tv_model_files.h"
#include "game/world/tv_plane.h"

#include <bit>
#include <cstring>

namespace {

// A cockpit texture and its mask, in the order the plane reads them.
struct CockpitImage {
    TvCockpitTexture slot;
    const char* name;
    const char* mask;
};

constexpr CockpitImage kCockpitImages[] = {
    {kTvCockpitSpeedDial, "speeddial.bmp", "speeddialm.bmp"},
    {kTvCockpitSpeedNeedle, "speedo.bmp", "speedom.bmp"},
    {kTvCockpitSmallTarget, "smalltarget.bmp", "smalltargetm.bmp"},
    {kTvCockpitGun, "gun.bmp", "gunm.bmp"},
    {kTvCockpitSmallAlly, "smallally.bmp", "smallallym.bmp"},
    {kTvCockpitProtect, "protect.bmp", "protectm.bmp"},
    {kTvCockpitSmallIcons, "smicons.bmp", "smiconsm.bmp"},
    {kTvCockpitSmallEnemy, "smallenemy.bmp", "smallenemym.bmp"},
    {kTvCockpitPlaneIcon, "planeicon.bmp", "planeiconm.bmp"},
    {kTvCockpitCompass, "compass.bmp", "compassm.bmp"},
    {kTvCockpitBoostGauge, "turbo.bmp", "turbo_m.bmp"},
};
constexpr CockpitImage kCockpitImagesAfterMap[] = {
    {kTvCockpitBulletHole, "bullethole.bmp", "bulletholem.bmp"},
    {kTvCockpitBomb, "bomb.bmp", "bombm.bmp"},
    {kTvCockpitRocket, "rocket.bmp", "rocketm.bmp"},
    {kTvCockpitSplat, "splat.bmp", "splatm.bmp"},
};

// The current dictionary's texture of that name (one more reference), else the file.
LgTexture* dictionary_or_read(const char* name) {
    if (LgTexDictionary* dictionary = LgTexDictionaryGetCurrent())
        if (LgTexture* found = LgTexDictionaryFindNamedTexture(dictionary, name))
            return LgTextureAddRef(found);
    return LgTextureRead(name, nullptr);
}

void read_cockpit_textures(TvPlaneFields& p) {
    TvImagePath images(".\\Ui\\");
    for (const CockpitImage& image : kCockpitImages)
        p.cockpit_textures[image.slot] = LgTextureRead(image.name, image.mask);
    p.cockpit_textures[kTvCockpitMap] = dictionary_or_read("map");
    p.cockpit_textures[kTvCockpitMapWater] = dictionary_or_read("mapwater");
    for (const CockpitImage& image : kCockpitImagesAfterMap)
        p.cockpit_textures[image.slot] = LgTextureRead(image.name, image.mask);
}

void release_sound(ISound*& sound) {
    if (!sound) return;
    TvSoundStop(sound);
    TvSoundRelease(sound);
    sound = nullptr;
}

void copy_name(char* field, size_t size, uintptr_t value) {
    if (!value) return;
    std::strncpy(field, reinterpret_cast<const char*>(value), size - 1);
    field[size - 1] = '\0';
}

template <size_t N>
void copy_name(char (&field)[N], uintptr_t value) {
    copy_name(field, N, value);
}

// Copies `count` bytes from the argument unless it points at the field itself.
OmResult copy_from(void* field, uintptr_t value, size_t count) {
    if (!value) return OM_E_FAIL;
    if (reinterpret_cast<void*>(value) != field)
        std::memcpy(field, reinterpret_cast<void*>(value), count);
    return OM_S_OK;
}

template <class T>
uintptr_t bits_of(T value) {
    uint32_t word = 0;
    static_assert(sizeof(T) == sizeof(word));
    std::memcpy(&word, &value, sizeof(word));
    return word;
}

const OmClassRecord classes[] = {
    {&CLSID_TavrinPlane, nullptr, nullptr, OmCreateComponent<TavrinPlane>, "TavrinPlane"}};

} // namespace

OM_DEFINE_MODULE(TavrinPlane, classes)

void TvPlaneStartCrashEffects(const TvObjectFields& o) {
    if (!o.matrix) return;
    TvSpawnExplosion(&o.matrix->pos, o.endurance * 0.01f + 1.0f, 0);
    TvSpawnSmoke(&o.matrix->pos, 1.0f, 0);
}

TavrinPlane::TavrinPlane() {
    plane_self = this;
}

TavrinPlane::~TavrinPlane() = default;

OmResult TavrinPlane::QueryInterface(const GUID& iid, void** out) {
    return om_query_interface(iid, out,
                              {{&IID_ITvObject, static_cast<ITvPlane*>(this)},
                               {&IID_ITvPlane, static_cast<ITvPlane*>(this)}});
}

OmResult TavrinPlane::Reset() {
    return TavrinObjectBase<ITvPlane>::Reset();
}

OmResult TavrinPlane::Unload() {
    if (model) {
        if (LgClumpGetWorld(model)) LgWorldRemoveClump(LgClumpGetWorld(model), model);
        // The model's frame goes with it; the logical frame is the plane's own.
        if (frame && frame != model_frame) LgFrameDestroy(frame);
        LgClumpDestroy(model);
        model = nullptr;
        frame = nullptr;
        matrix = nullptr;
        model_frame = nullptr;
        model_matrix = nullptr;
        world = nullptr;
    }
    return TavrinObjectBase<ITvPlane>::Unload();
}

OmResult TavrinPlane::Create(TvCreateDescriptor* descriptor) {
    if (TavrinObjectBase<ITvPlane>::Create(descriptor) < 0) return OM_E_FAIL;
    read_cockpit_textures(*this);

    auto* entry = static_cast<TvMissionAirEntry*>(descriptor);
    TavrinPlane* archetype_plane = nullptr;
    if (descriptor) {
        if (descriptor->archetype) {
            // The mission's plane kinds are AI planes, which answer only their own interface.
            ITvPlane* archetype_interface = nullptr;
            if (descriptor->archetype->QueryInterface(
                    IID_ITvPlane, reinterpret_cast<void**>(&archetype_interface)) >= 0 ||
                descriptor->archetype->QueryInterface(
                    IID_ITvAIPlane, reinterpret_cast<void**>(&archetype_interface)) >= 0) {
                archetype_plane = static_cast<TavrinPlane*>(archetype_interface);
                archetype_interface->Release();
            }
        }
        if (entry->high_speed != 0.0f) flight.high_speed = entry->high_speed;
        ordinance_type = entry->ordinance_type;
        ordinance_count = entry->ordinance_left;
        ordinance_maximum = entry->ordinance_count;
        if (archetype_plane) {
            shadow_offset = archetype_plane->shadow_offset;
            shadow_texture = archetype_plane->shadow_texture;
            if (shadow_texture) LgTextureAddRef(shadow_texture);
        }
        model_frame = frame;
        model_matrix = matrix;
        frame = LgFrameCreate();
        if (!frame) return OM_E_FAIL;
        matrix = LgFrameGetMatrix(frame);
        *matrix = *model_matrix;
        LgMatrixMarkChanged(matrix);
        previous_matrix = *matrix;
    }

    if (game && (group_mask & (1u << kTvGroupSideB))) endurance *= game->GetEnduranceScaleSide1();
    if (game && (group_mask & (1u << kTvGroupSideA))) endurance *= game->GetEnduranceScaleSide2();

    speed = 0.0f;
    throttle = 0.0f;
    previous_throttle = 0.0f;
    plane_self->SetProperty(kTvPlanePropState, kTvPlaneTaxiing);
    bank = pitch_rate = sideslip_rate = energy = 0.0f;
    smoke_timer = smoke_level = 0.0f;
    gun_cycle_time = gun_time_owed = secondary_timer = 0.0f;
    smoke_gain = 5.0f / endurance;
    flags |= kTvFlagSoft;
    guns_firing = boost_active = 0;
    hit_indicator = 0.0f;
    skip_controls_once = 0;
    boost_time = 0.0f;
    shots_fired = hits_scored = kills_side_a = kills_side_b = 0;
    saved_flight.saved = 0;
    crash_on_contact = 0;
    fatal_event = 0;
    velocity = {0, 0, 0};

    if (descriptor && archetype_plane) {
        std::strcpy(engine_sound_name, archetype_plane->engine_sound_name);
        const bool local = (descriptor->flags & kTvFlagPlayerPlane) ||
                           (descriptor->group_mask & (1u << kTvGroupPlayers));
        if (!local && std::strlen(engine_sound_name) + 2 < sizeof(engine_sound_name))
            std::strcat(engine_sound_name, "AI");
        release_sound(engine_sound);
        release_sound(gun_sound);
        engine_sound = TvGetSoundObject(engine_sound_name);
        gun_sound = TvGetSoundObject(archetype_plane->gun_sound_name);
        std::strcpy(gun_sound_name, archetype_plane->gun_sound_name);
        std::strcpy(explosion_sound, archetype_plane->explosion_sound);
        std::strcpy(hit_sound, archetype_plane->hit_sound);
        std::strcpy(alt_hit_sound, archetype_plane->alt_hit_sound);
        std::strcpy(rocket_sound_name, archetype_plane->rocket_sound_name);
        std::strcpy(bomb_sound_name, archetype_plane->bomb_sound_name);
        std::strcpy(spiral_sound_path, archetype_plane->spiral_sound_path);
    }
    engine_frequency = 22000;
    engine_volume = 1.0f;
    if (engine_sound) {
        TvSoundSetInt(engine_sound, kTvSoundIntFrequency, 22000);
        TvSoundSetInt(engine_sound, kTvSoundIntFlag6, 1);
        TvSoundSetReal(engine_sound, kTvSoundRealVolume, 1.0f);
        TvSoundPlay(engine_sound, 1);
    }
    if (gun_sound) {
        TvSoundSetInt(gun_sound, kTvSoundIntFlag6, 1);
        TvSoundSetReal(gun_sound, kTvSoundRealVolume, 1.0f);
    }
    return OM_S_OK;
}

OmResult TavrinPlane::Destroy() {
    for (LgTexture*& texture : cockpit_textures) {
        if (texture) LgTextureDestroy(texture);
        texture = nullptr;
    }
    if (shadow_texture) LgTextureDestroy(shadow_texture);
    shadow_texture = nullptr;
    release_sound(engine_sound);
    release_sound(gun_sound);
    release_sound(boost_sound);
    // The base frees the model (with the model frame) or a bare frame; the logical frame is
    // the plane's own.
    if (frame && model_frame && frame != model_frame) {
        LgFrameDestroy(frame);
        frame = model_frame;
        matrix = model_matrix;
    }
    model_frame = nullptr;
    model_matrix = nullptr;
    return TavrinObjectBase<ITvPlane>::Destroy();
}

OmResult TavrinPlane::SetProperty(uint32_t id, uintptr_t value) {
    using Base = TavrinObjectBase<ITvPlane>;
    switch (id) {
    case kTvPropMatrix: {
        const OmResult r = Base::SetProperty(id, value);
        if (r < 0) return r;
        if (model_matrix && model_matrix != matrix) {
            *model_matrix = *matrix;
            LgMatrixMarkChanged(model_matrix);
            if (model_frame) LgFrameMarkDirty(model_frame);
        }
        previous_matrix = *matrix;
        LgMatrixMarkChanged(matrix);
        return OM_S_OK;
    }
    case kTvPropPosition: {
        const OmResult r = Base::SetProperty(id, value);
        if (r >= 0) previous_matrix = *matrix;
        return r;
    }
    case kTvPropModel: {
        LgFrame* old_logical = (frame && frame != model_frame) ? frame : nullptr;
        const bool had_model = model != nullptr;
        const OmResult r = Base::SetProperty(id, value);
        if (r < 0) return r;
        // The base freed a bare frame itself; a logical frame beside a model is ours.
        if (old_logical && had_model) LgFrameDestroy(old_logical);
        model_frame = frame;
        model_matrix = matrix;
        frame = LgFrameCreate();
        if (!frame) {
            frame = model_frame;
            matrix = model_matrix;
            return OM_E_FAIL;
        }
        matrix = LgFrameGetMatrix(frame);
        *matrix = *model_matrix;
        LgMatrixMarkChanged(matrix);
        return OM_S_OK;
    }
    case kTvPlanePropControlBlock: return copy_from(&controls, value, sizeof(controls));
    case kTvPlanePropFlightTable: return copy_from(&flight, value, sizeof(flight));
    case kTvPlanePropSpeed: return copy_from(&speed, value, sizeof(speed));
    case kTvPlanePropCamera: camera = reinterpret_cast<ITvObject*>(value); return OM_S_OK;
    case kTvPlanePropState: {
        const auto next = static_cast<int32_t>(value);
        state = next;
        if (next != kTvPlaneCrashed) wreck_placed = 0;
        if ((next == kTvPlaneCrashing || next == kTvPlaneCrashed) && (flags & kTvFlagPlayerPlane) &&
            matrix) {
            TvPlaySoundAt(explosion_sound, matrix, &velocity);
            TvSpawnExplosion(&matrix->pos, endurance * 0.01f + 1.0f, 0);
        }
        if (next == kTvPlaneCrashed) {
            TvSoundStop(engine_sound);
            TvSoundStop(gun_sound);
        }
        return OM_S_OK;
    }
    case kTvPlanePropEngineSound: copy_name(engine_sound_name, value); return OM_S_OK;
    case kTvPlanePropGunSound: copy_name(gun_sound_name, value); return OM_S_OK;
    case kTvPlanePropHitSound: copy_name(hit_sound, value); return OM_S_OK;
    case kTvPlanePropExplosionSound: copy_name(explosion_sound, value); return OM_S_OK;
    case kTvPlanePropRocketSound: copy_name(rocket_sound_name, value); return OM_S_OK;
    case kTvPlanePropBombSound: copy_name(bomb_sound_name, value); return OM_S_OK;
    case kTvPlanePropAltHitSound: copy_name(alt_hit_sound, value); return OM_S_OK;
    case kTvPlanePropSpiralSound: copy_name(spiral_sound_path, value); return OM_S_OK;
    case kTvPlanePropEngineSoundObject:
        engine_sound = reinterpret_cast<ISound*>(value);
        return OM_S_OK;
    case kTvPlanePropGunSoundObject: gun_sound = reinterpret_cast<ISound*>(value); return OM_S_OK;
    case kTvPlanePropEngineFrequency:
        return copy_from(&engine_frequency, value, sizeof(engine_frequency));
    case kTvPlanePropEngineVolume: return copy_from(&engine_volume, value, sizeof(engine_volume));
    case kTvPlanePropShadowTexture:
        shadow_texture = reinterpret_cast<LgTexture*>(value);
        return OM_S_OK;
    case kTvPlanePropVelocity: return copy_from(&velocity, value, sizeof(velocity));
    case kTvPlanePropShadowOffset: return copy_from(&shadow_offset, value, sizeof(shadow_offset));
    case kTvPlanePropThrottle: return copy_from(&throttle, value, sizeof(throttle));
    default: return Base::SetProperty(id, value);
    }
}

OmResult TavrinPlane::GetProperty(uint32_t id, uintptr_t* out) {
    if (!out) return OM_E_FAIL;
    auto address = [out](const void* field) {
        *out = reinterpret_cast<uintptr_t>(field);
        return OM_S_OK;
    };
    auto value = [out](uintptr_t v) {
        *out = v;
        return OM_S_OK;
    };
    switch (id) {
    case kTvPropPosition: return address(model_matrix ? &model_matrix->pos : nullptr);
    case kTvPropAt: return address(model_matrix ? &model_matrix->at : nullptr);
    case kTvPropRight: return address(model_matrix);
    case kTvPropUp: return address(model_matrix ? &model_matrix->up : nullptr);
    case kTvPlanePropControlBlock: return address(&controls);
    case kTvPlanePropFlightTable: return address(&flight);
    case kTvPlanePropSpeed: return address(&speed);
    case kTvPlanePropCamera: return address(&camera);
    case kTvPlanePropState: return value(static_cast<uint32_t>(state));
    case kTvPlanePropKillsSideA: return value(static_cast<uint32_t>(kills_side_a));
    case kTvPlanePropKillsSideB: return value(static_cast<uint32_t>(kills_side_b));
    case kTvPlanePropShotsFired: return value(static_cast<uint32_t>(shots_fired));
    case kTvPlanePropHitsScored: return value(static_cast<uint32_t>(hits_scored));
    case kTvPlanePropEngineSound: return address(engine_sound_name);
    case kTvPlanePropGunSound: return address(gun_sound_name);
    case kTvPlanePropHitSound: return address(hit_sound);
    case kTvPlanePropExplosionSound: return address(explosion_sound);
    case kTvPlanePropRocketSound: return address(rocket_sound_name);
    case kTvPlanePropBombSound: return address(bomb_sound_name);
    case kTvPlanePropAltHitSound: return address(alt_hit_sound);
    case kTvPlanePropSpiralSound: return address(spiral_sound_path);
    case kTvPlanePropEngineSoundObject: return address(engine_sound);
    case kTvPlanePropGunSoundObject: return address(gun_sound);
    case kTvPlanePropEngineFrequency: return address(&engine_frequency);
    case kTvPlanePropEngineVolume: return address(&engine_volume);
    case kTvPlanePropShadowTexture: return address(shadow_texture);
    case kTvPlanePropVelocity: return address(&velocity);
    case kTvPlanePropShadowOffset: return value(bits_of(shadow_offset));
    case kTvPlanePropThrottle: return value(bits_of(throttle));
    default: return TavrinObjectBase<ITvPlane>::GetProperty(id, out);
    }
}

OmResult TavrinPlane::Render() {
    return tvplane::render_shadow({*this, *this});
}

OmResult TavrinPlane::Update() {
    return tvplane::update({*this, *this});
}

OmResult TavrinPlane::HandleEvent(const TvEvent* event) {
    return tvplane::handle_event({*this, *this}, event);
}

OmResult TavrinPlane::AddDamage(float amount, int32_t) {
    return tvplane::take_damage({*this, *this}, amount, false, 0.0f);
}

int32_t TavrinPlane::IsDead() {
    return state == kTvPlaneCrashing || state == kTvPlaneCrashed ? 1 : 0;
}

OmResult TavrinPlane::SetDamage(uint32_t word, float value, uint32_t) {
    return tvplane::take_damage({*this, *this}, std::bit_cast<float>(word), true, value);
}

OmResult TavrinPlane::LoadPlane(const char* name) {
    return tvplane::load({*this, *this}, name);
}

OmResult TavrinPlane::DrawCockpitHud() {
    return tvplane::draw_cockpit_hud({*this, *this});
}

OmResult TavrinPlane::TvPlaneFire(int32_t kind) {
    return tvplane::fire({*this, *this}, kind);
}

OmResult TavrinPlane::TvPlaneGetNetState(void* record) {
    return tvplane::get_net_state({*this, *this}, static_cast<TvPlaneNetState*>(record));
}

OmResult TavrinPlane::TvPlaneRespawn() {
    energy = 0.0f;
    endurance = 1.0f / reciprocal_endurance;
    speed = throttle = 0.0f;
    crash_on_contact = fatal_event = 0;
    bank = pitch_rate = sideslip_rate = 0.0f;
    smoke_timer = smoke_level = 0.0f;
    gun_cycle_time = gun_time_owed = secondary_timer = 0.0f;
    guns_firing = boost_active = 0;
    velocity = {0, 0, 0};
    hit_indicator = 0.0f;
    skip_controls_once = 0;
    damage = 0.0f;
    previous_throttle = boost_time = 0.0f;
    smoke_gain = 5.0f / endurance;
    if (matrix) {
        matrix->pos.y += flight.down_length;
        LgMatrixMarkChanged(matrix);
    }
    for (TvAxisBinding* axis :
         {&controls.roll, &controls.pitch, &controls.slide, &controls.throttle})
        axis->value = 0.0f;
    for (TvButtonBinding* button :
         {&controls.fire, &controls.secondary, &controls.special, &controls.camera,
          &controls.camera_above, &controls.camera_left, &controls.camera_right,
          &controls.camera_behind, &controls.talk})
        button->value = 0.0f;
    if (matrix) previous_matrix = *matrix;
    plane_self->SetProperty(kTvPlanePropState, kTvPlaneTaxiing);
    if (engine_sound && matrix) {
        TvSoundPlace(engine_sound, matrix, &velocity);
        TvSoundSetReal(engine_sound, kTvSoundRealThrottle, throttle);
        TvSoundSetReal(engine_sound, kTvSoundRealNosePitch, matrix->at.y);
        TvSoundSetReal(engine_sound, kTvSoundRealVolume, 1.0f);
        TvSoundPlay(engine_sound, 1);
    }
    return OM_S_OK;
}

OmResult TavrinPlane::TvPlanePickup(int32_t kind, int32_t) {
    return tvplane::pickup({*this, *this}, kind);
}
