// Loading a ground kind from its ground.ini: the intact model with the destroyed model or the
// damage stages, the shadow texture, the shrapnel choice, surface coefficients, endurance,
// pickup values and sound names; and the shared pickup crate.
#include "engine/core/lg_image.h"
#include "engine/core/lg_stream.h"
#include "engine/core/lg_texture.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_geometry.h"
#include "framework/core/com_ref.h"
#include "game/tv_frontend_services.h"
#include "game/world/tavrin_ground_object.h"
#include "game/world/tv_ini_sheet.h"
#include "game/world/tv_model_files.h"
#include "game/world/tv_plane.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

namespace {

constexpr const char* kSource = "tvopground";
constexpr const char* kKind = "ground";
constexpr const char* kCratePath = ".\\objects\\ground\\ammodump\\ammodump.dff";
constexpr const char* kShadowTextures = "OBJECTS\\GROUND\\TEXTURES\\";
constexpr uint32_t kShrapnelValueSize = 256;
constexpr float kDefaultEndurance = 30.0f;
constexpr float kDefaultPickupReach = 30.0f;
// The plane model preparation, with the ground objects' coefficients.
constexpr float kGroundSurface = 1.0f;

LgClump* pickup_crate = nullptr;
int32_t pickup_crate_users = 0;

LgClump* read_model(const char* object_name, const char* file) {
    char path[512];
    std::snprintf(path, sizeof path, ".\\objects\\%s\\%s\\%s", kKind, object_name, file);
    return TvReadClump(kSource, __LINE__, path);
}

LgAtomic* apply_surface(LgAtomic* atomic, void* data) {
    if (atomic->geometry)
        LgGeometrySetSurfaceProperties(atomic->geometry,
                                       static_cast<const LgSurfaceProperties*>(data));
    return atomic;
}

// The key's number with "%f"; a key that is there but does not read as a finite number gives
// `unreadable`.
void read_reach(IPropertySheet* sheet, const char* key, float* field, float unreadable) {
    char value[kTvIniValueSize];
    if (!TvIniString(sheet, key, value)) return;
    float read = 0.0f;
    *field = std::sscanf(value, "%f", &read) == 1 && std::isfinite(read) ? read : unreadable;
}

void read_name(IPropertySheet* sheet, const char* key, char (&field)[32]) {
    char value[kTvIniValueSize];
    if (TvIniString(sheet, key, value)) std::memcpy(field, value, sizeof(field));
}

int32_t pickup_of(const char* value) {
    static constexpr struct {
        const char* name;
        int32_t type;
    } kinds[] = {{"rockets", kTvPickupRockets},
                 {"bombs", kTvPickupBombs},
                 {"health", kTvPickupHealth},
                 {"repairman", kTvPickupRepairman},
                 {"boost", kTvPickupBoost}};
    for (const auto& k : kinds)
        if (std::strcmp(value, k.name) == 0) return k.type;
    return kTvPickupNone;
}

} // namespace

LgClump* TvGroundPickupCrate() {
    return pickup_crate;
}

void TvGroundHoldPickupCrate() {
    ++pickup_crate_users;
}

void TvGroundReleasePickupCrate() {
    if (pickup_crate_users > 0) --pickup_crate_users;
    if (pickup_crate_users > 0) return;
    if (pickup_crate) LgClumpDestroy(pickup_crate);
    pickup_crate = nullptr;
}

OmResult TavrinGroundObject::LoadObject(const char* name) {
    // An archetype loads its kind once: models from an earlier load would be lost.
    if (!name || model || model_count > 0) return OM_E_FAIL;
    pickup_type = kTvPickupNone;
    char path[512];
    std::snprintf(path, sizeof path, ".\\objects\\%s\\%s\\ground.ini", kKind, name);
    IPropertySheet* raw = nullptr;
    bool open_failed = false;
    if (TvLoadIniSheet(path, &raw, &open_failed) < 0) {
        if (open_failed)
            TvLogError2(kSource, __LINE__, "Couldn't load :", path);
        else
            TvLogError(kSource, __LINE__,
                       "Ran out of memory in TvGroundObject_ITvGroundObject_LoadObject.");
        return OM_E_FAIL;
    }
    ComRef<IPropertySheet> sheet;
    *sheet.put() = raw;

    canyon_gun = strcasecmp(name, "canyonaagun") == 0 ? 1 : 0;

    if (sheet->SetSection("appearance") >= 0) {
        TvImagePath images((std::string("objects\\") + kKind + "\\textures\\").c_str());
        char value[kTvIniValueSize];
        model_count = 0;
        if (TvIniString(sheet.get(), "dff", value) && (models[0] = read_model(name, value)))
            model_count = 1;
        if (model_count == 1) {
            if (TvIniString(sheet.get(), "deaddff", value)) {
                if ((models[1] = read_model(name, value))) model_count = 2;
            } else {
                // Damage stages fill the free slots in order; a stage beyond them is ignored.
                for (int32_t stage = 1; stage <= 5 && model_count < kTvGroundModelSlots; ++stage) {
                    char key[16];
                    std::snprintf(key, sizeof key, "damagedff%d", stage);
                    if (!TvIniString(sheet.get(), key, value)) continue;
                    if (LgClump* stage_model = read_model(name, value))
                        models[model_count++] = stage_model;
                }
            }
        }
        model = models[0];
        wanted_model = shown_model = 0;
        if (TvIniString(sheet.get(), "shadow", value)) {
            if (shadow_texture) LgTextureDestroy(shadow_texture);
            shadow_texture = TvLoadShadowTexture(value, kShadowTextures);
        }
        if (TvIniString(sheet.get(), "shadowscalar", value)) {
            const float scale = static_cast<float>(std::atof(value));
            if (std::isfinite(scale)) shadow_scale = scale;
        }
        char shrapnel_names[kShrapnelValueSize];
        if (sheet->GetString("shrapnel", shrapnel_names, kShrapnelValueSize) >= 0)
            TvShrapnelMaskFromNames(shrapnel_names, &shrapnel.mask, &shrapnel.count);
        const bool prelit = sheet->GetStringLength("prelit") > 0;
        // Every model gets the lighting preparation; the file's coefficients then apply to
        // the intact model (a coefficient not given keeps the preparation's 1.0).
        for (int32_t i = 0; i < model_count; ++i)
            tvplane::prepare_model(models[i], kGroundSurface, prelit);
        LgSurfaceProperties surface{kGroundSurface, kGroundSurface, kGroundSurface};
        TvIniFloat(sheet.get(), "ambient", &surface.ambient);
        TvIniFloat(sheet.get(), "specular", &surface.specular);
        TvIniFloat(sheet.get(), "diffuse", &surface.diffuse);
        if (model) LgClumpForAllAtomics(model, apply_surface, &surface);
    }

    endurance = kDefaultEndurance;
    if (sheet->SetSection("physics") >= 0) {
        TvIniFloat(sheet.get(), "endurance", &endurance);
        // An endurance not above zero has no reciprocal to scale damage by: the default.
        if (!(endurance > 0.0f) || !std::isfinite(1.0f / endurance)) endurance = kDefaultEndurance;
        if (sheet->GetStringLength("soft") > 0) flags |= kTvFlagSoft;
    }
    reciprocal_endurance = 1.0f / endurance;
    if (sheet->SetSection("behaviour") >= 0) {
        char value[kTvIniValueSize];
        if (TvIniString(sheet.get(), "pickup", value)) pickup_type = pickup_of(value);
        read_reach(sheet.get(), "height", &pickup_height, kDefaultPickupReach);
        read_reach(sheet.get(), "bubble", &pickup_radius, kDefaultPickupReach);
    }
    if (sheet->SetSection("sound") >= 0) {
        read_name(sheet.get(), "hitsound", hit_sound);
        read_name(sheet.get(), "explosion", explosion_sound);
        read_name(sheet.get(), "breakage", breakage_sound);
        read_name(sheet.get(), "althitsound", alt_hit_sound);
    }

    if (!model) {
        TvLogError(kSource, __LINE__,
                   "Clump not loaded in TvGroundObject_ITvGroundObject_LoadObject.");
        return OM_E_FAIL;
    }
    frame = LgClumpGetFrame(model);
    matrix = LgFrameGetMatrix(frame);
    TvClumpSetOwner(model, self);

    if (!holds_crate_) {
        TvGroundHoldPickupCrate();
        holds_crate_ = true;
    }
    if (!pickup_crate) {
        TvImagePath images((std::string("objects\\") + kKind + "\\textures\\").c_str());
        pickup_crate = TvReadClump(kSource, __LINE__, kCratePath);
        if (pickup_crate) tvplane::prepare_model(pickup_crate, kGroundSurface, false);
    }
    return OM_S_OK;
}
