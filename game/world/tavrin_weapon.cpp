// The weapon component: the singleton, ordinance.ini with its models, textures and impact
// sounds, and the operations that reset, clear and tear down the projectile table.
#include "game/world/tv_model_files.h"
#include "game/world/tv_weapon.h"

#include "engine/core/lg_image.h"
#include "engine/core/lg_stream.h"
#include "engine/core/lg_texture.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_world.h"
#include "engine/world/lg_world_tie.h"
#include "framework/containers/com_hash.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_ini_sheet.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

TavrinWeapon* TavrinWeapon::instance = nullptr;
ITvGame* TvWeaponGame = nullptr;

namespace {

constexpr const char* kSource = "tvopweapon";
constexpr const char* kOrdnanceFile = ".\\objects\\ordinance\\ordinance.ini";
constexpr const char* kOrdnanceImages = "objects\\ordinance\\";
constexpr uint32_t kNameValueSize = 64;

OmResult create_weapon(IUnknown* outer, IUnknown** out) {
    return OmCreateSingleton(TavrinWeapon::instance, outer, out);
}

const OmClassRecord classes[] = {
    {&CLSID_TavrinWeapon, nullptr, nullptr, create_weapon, "TavrinWeapon"}};

LgClump* read_model(const std::string& path) {
    return TvReadClump(kSource, __LINE__, path);
}

// "%f" of the key into *out; 0 when absent or not a number.
void read_float(IPropertySheet* sheet, const char* key, float* out) {
    *out = 0.0f;
    TvIniFloat(sheet, key, out);
}

template <size_t N>
void read_text(IPropertySheet* sheet, const char* key, char (&out)[N]) {
    out[0] = '\0';
    if (sheet->GetString(key, out, N) < 0) out[0] = '\0';
}

void read_section(IPropertySheet* sheet, TvOrdinance& o) {
    o = {};
    read_text(sheet, "name", o.name);
    read_float(sheet, "releasespeed", &o.release_speed);
    read_float(sheet, "maxspeed", &o.max_speed);
    read_float(sheet, "accel", &o.accel);
    read_float(sheet, "damage", &o.damage);
    read_float(sheet, "blast", &o.blast);
    // With a blast radius the damage is kept per unit of radius; a radius too small for that
    // to be a number is no blast.
    if (o.blast > 0.0f && std::isfinite(o.damage / o.blast))
        o.damage /= o.blast;
    else if (o.blast > 0.0f)
        o.blast = 0.0f;
    read_float(sheet, "size", &o.size);
    read_float(sheet, "jitter", &o.jitter);
    read_text(sheet, "groundhit", o.ground_hit);

    char value[kNameValueSize];
    read_text(sheet, "raster", value);
    if (value[0]) {
        TvImagePath images(kOrdnanceImages);
        const std::string name = std::string(value) + ".bmp";
        const std::string mask = std::string(value) + "m.bmp";
        o.texture = LgTextureRead(name.c_str(), mask.c_str());
    }
    read_text(sheet, "clump", value);
    if (value[0]) {
        TvImagePath images(kOrdnanceImages);
        o.model = read_model(std::string(kOrdnanceImages) + value + ".dff");
    }
}

// Every key of [hitsounds]: texture name -> sound name (each at most 31 characters).
void read_hit_sounds(IPropertySheet* sheet, IObjHash* table) {
    if (sheet->SetSection("hitsounds") < 0) return;
    char key[OM_SHEET_NAME_SIZE];
    for (OmResult r = sheet->MoveKey(key, nullptr, OM_MOVE_FIRST); r >= 0;
         r = sheet->MoveKey(key, nullptr, OM_MOVE_NEXT)) {
        char sound[32];
        if (std::strlen(key) > 31 || sheet->GetString(key, sound, sizeof sound) < 0) continue;
        table->SetString(key, sound);
    }
}

} // namespace

OM_DEFINE_MODULE(TavrinWeapon, classes)

TavrinWeapon::~TavrinWeapon() {
    if (instance == this) instance = nullptr;
}

OmResult TavrinWeapon::QueryInterface(const GUID& iid, void** out) {
    return om_query_interface(iid, out,
                              {{&IID_ITvObject, static_cast<ITvWeapon*>(this)},
                               {&IID_ITvWeapon, static_cast<ITvWeapon*>(this)}});
}

OmResult TavrinWeapon::Reset() {
    drift_ = {0.0f, 0.0f, 0.0f};
    return TavrinObjectBase<ITvWeapon>::Reset();
}

OmResult TavrinWeapon::Create(TvCreateDescriptor* descriptor) {
    // A weapon loaded again lets go of what the earlier load held.
    Clear();
    release_ordnance();
    const OmResult r = load_ordnance();
    if (r < 0) return r;
    game = descriptor ? descriptor->game : nullptr;
    TvWeaponGame = game;
    for (TvProjectile& p : projectiles_) p = {};
    sound_timer_ = 0.0f;
    next_slot_ = 0;
    return OM_S_OK;
}

OmResult TavrinWeapon::load_ordnance() {
    ComRef<IPropertySheet> sheet;
    if (TvLoadIniSheet(kOrdnanceFile, sheet.put()) < 0 || !sheet) return OM_E_FAIL;
    ComRef<IObjHash> table;
    if (OmCreate(CLSID_ObjHash, IID_IObjHash, table.put()) < 0 || !table) return OM_E_FAIL;

    ordnance_count_ = 0;
    for (int32_t n = 1; n <= kTvMaxOrdnance; ++n) {
        char section[32];
        std::snprintf(section, sizeof section, "ordinance%d", n);
        if (sheet->SetSection(section) < 0) break;
        read_section(sheet.get(), ordnance_[ordnance_count_]);
        ++ordnance_count_;
    }
    read_hit_sounds(sheet.get(), table.get());
    hit_sounds_ = table.detach();
    return OM_S_OK;
}

void TavrinWeapon::release_ordnance() {
    for (int32_t i = ordnance_count_ - 1; i >= 0; --i) {
        TvOrdinance& o = ordnance_[i];
        if (o.model) LgClumpDestroy(o.model);
        if (o.texture) LgTextureDestroy(o.texture);
        o.model = nullptr;
        o.texture = nullptr;
    }
    ordnance_count_ = 0;
    if (hit_sounds_) hit_sounds_->Release();
    hit_sounds_ = nullptr;
}

OmResult TavrinWeapon::Destroy() {
    Clear();
    release_ordnance();
    if (TvWeaponGame == game) TvWeaponGame = nullptr;
    return TavrinObjectBase<ITvWeapon>::Destroy();
}

void TavrinWeapon::free_projectile(TvProjectile& p) {
    if (p.model) {
        if (LgWorld* w = LgClumpGetWorld(p.model)) LgWorldRemoveClump(w, p.model);
        LgClumpDestroy(p.model);
    }
    p.model = nullptr;
    p.frame = nullptr;
    p.placement = &p.matrix;
    p.ordnance = nullptr;
    if (p.owner) p.owner->Release();
    p.owner = nullptr;
    if (p.hit_object) p.hit_object->Release();
    p.hit_object = nullptr;
}

OmResult TavrinWeapon::Clear() {
    for (TvProjectile& p : projectiles_)
        if (p.ordnance || p.owner || p.model || p.hit_object) free_projectile(p);
    return OM_S_OK;
}

OmResult TavrinWeapon::SetDrift(const LgVector* drift) {
    if (drift) drift_ = *drift;
    return OM_S_OK;
}
