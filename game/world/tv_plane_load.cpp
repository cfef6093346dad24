// Loading a plane kind into an archetype: plane.ini's flight, collision and armament tables,
// the model with its normals, prelight and surface recomputed, the shadow texture, the sound
// names, the first placement on the ground and the collision extents measured from the model.
#include "engine/core/lg_frame.h"
#include "engine/core/lg_image.h"
#include "engine/core/lg_stream.h"
#include "engine/core/lg_texture.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_geometry.h"
#include "engine/world/lg_material.h"
#include "engine/world/lg_world.h"
#include "framework/core/class_ids.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/platform/file_storage.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_bsp_landscape.h"
#include "game/world/tv_ini_sheet.h"
#include "game/world/tv_model_files.h"
#include "game/world/tv_plane_internal.h"
#include "platform/message_box.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tvplane {

namespace {

constexpr const char* kSource = "tvopplane";
constexpr const char* kErrorTitle = "Aerovant-Fehler";
constexpr const char* kDamagedFile = "Datei defekt! Bitte installieren Sie das Spiel erneut";
constexpr const char* kPlaneTextures = "objects\\planes\\textures\\";
constexpr const char* kShadowTextures = "OBJECTS\\PLANES\\TEXTURES\\";
constexpr float kPlaneSurface = 0.5f;
constexpr float kStartOffsetX = 15.0f;
constexpr float kStartOffsetZ = 150.0f;
constexpr float kProbeTop = 800.0f;
constexpr float kProbeBottom = 100.0f;

// Opens a data file through the storage: the stream, or null with the result in *result
// (OM_S_INTEGRITY_FAILED when the file opened but failed its integrity check).
ComRef<IByteStream> open_data_file(const char* path, OmResult* result) {
    ComRef<IFileStorage> storage;
    ComRef<IByteStream> stream;
    *result = OmCreate(CLSID_Storage, IID_IFileStorage, storage.put());
    if (*result < 0) return {};
    *result = storage->Open(path, OM_OPEN_READ, OM_OPEN_TEXT, stream.put());
    if (*result < 0 || !stream) {
        if (*result >= 0) *result = OM_E_FAIL;
        return {};
    }
    return stream;
}

void read_or(IPropertySheet* sheet, const char* key, float* field, float fallback) {
    *field = fallback;
    TvIniFloat(sheet, key, field);
}

OmResult read_tables(IPropertySheet* sheet, TvObjectFields& o, TvFlightTable& f) {
    if (sheet->SetSection("physics") < 0) return OM_E_FAIL;
    read_or(sheet, "divespeed", &f.diving_speed, -1.0f);
    read_or(sheet, "highspeed", &f.high_speed, -1.0f);
    read_or(sheet, "cruisespeed", &f.cruise_speed, -1.0f);
    read_or(sheet, "climbspeed", &f.climb_speed, -1.0f);
    read_or(sheet, "stallspeed", &f.stall_speed, -1.0f);
    read_or(sheet, "accel", &f.acceleration, -1.0f);
    read_or(sheet, "roll", &f.roll, -1.0f);
    read_or(sheet, "turn", &f.turn, -1.0f);
    read_or(sheet, "pitch", &f.pitch, -1.0f);
    read_or(sheet, "lift", &f.lift, -1.0f);
    read_or(sheet, "ceiling", &f.ceiling, -1.0f);
    read_or(sheet, "drag", &f.drag, -1.0f);
    read_or(sheet, "energyconvert", &f.energy_conversion, -1.0f);

    if (sheet->SetSection("collision") < 0) return OM_E_FAIL;
    read_or(sheet, "frontlength", &f.front_length, -1.0f);
    read_or(sheet, "backlength", &f.back_length, -1.0f);
    read_or(sheet, "portlength", &f.port_length, -1.0f);
    read_or(sheet, "starboardlength", &f.starboard_length, -1.0f);
    read_or(sheet, "uplength", &f.up_length, -1.0f);
    read_or(sheet, "downlength", &f.down_length, -1.0f);

    if (sheet->SetSection("armaments") < 0) return OM_E_FAIL;
    TvIniFloat(sheet, "endurance", &o.endurance);
    read_or(sheet, "firerate", &f.fire_rate, -1.0f);
    // -1 (absent) stands for the default; so does any rate without a finite positive interval.
    if (!(f.fire_rate > 0.0f) || !std::isfinite(1.0f / f.fire_rate)) f.fire_rate = 10.0f;
    f.fire_interval = 1.0f / f.fire_rate;
    read_or(sheet, "fireon", &f.fire_on_time, -1.0f);
    if (f.fire_on_time == -1.0f) f.fire_on_time = 1.0f;
    float fire_off = -1.0f;
    TvIniFloat(sheet, "fireoff", &fire_off);
    if (fire_off == -1.0f) fire_off = 0.0f;
    f.fire_cycle = fire_off + f.fire_on_time;
    read_or(sheet, "radarmin", &f.radar_minimum, -1.0f);
    read_or(sheet, "radarmax", &f.radar_maximum, -1.0f);
    return OM_S_OK;
}

// The model named by [appearance] dff: the integrity check through the storage, then the
// engine's read with the plane textures' image path. Null on any failure.
LgClump* load_model(const char* plane_name, const char* file, bool* fatal) {
    const std::string path = std::string("objects\\planes\\") + plane_name + "\\" + file;
    OmResult r = OM_S_OK;
    {
        ComRef<IByteStream> check = open_data_file(path.c_str(), &r);
        if (r < 0) {
            TvLogError2(kSource, __LINE__, "Couldn't open clump file", path.c_str());
            return nullptr;
        }
    }
    if (r == OM_S_INTEGRITY_FAILED) {
        *fatal = true;
        TvFatalDamagedFiles(kSource, __LINE__, path.c_str());
        return nullptr;
    }
    TvImagePath images(kPlaneTextures);
    LgClump* model = TvReadClump(kSource, __LINE__, path);
    if (model) prepare_model(model, kPlaneSurface);
    return model;
}

struct Surface {
    LgSurfaceProperties properties;
};

LgAtomic* apply_surface(LgAtomic* atomic, void* data) {
    if (atomic->geometry)
        LgGeometrySetSurfaceProperties(atomic->geometry, &static_cast<Surface*>(data)->properties);
    return atomic;
}

void read_appearance(IPropertySheet* sheet, const char* plane_name, TvObjectFields& o,
                     TvPlaneFields& p, bool* fatal) {
    char value[kTvIniValueSize];
    if (TvIniString(sheet, "dff", value)) o.model = load_model(plane_name, value, fatal);
    if (*fatal) return;
    if (TvIniString(sheet, "shadow", value)) {
        if (p.shadow_texture) LgTextureDestroy(p.shadow_texture);
        p.shadow_texture = TvLoadShadowTexture(value, kShadowTextures);
    }
    if (TvIniString(sheet, "shadowoffset", value))
        p.shadow_offset = static_cast<float>(std::atof(value));
    // Coefficients not given keep the plane's preparation (0.5 each).
    Surface surface{{kPlaneSurface, kPlaneSurface, kPlaneSurface}};
    TvIniFloat(sheet, "diffuse", &surface.properties.diffuse);
    TvIniFloat(sheet, "ambient", &surface.properties.ambient);
    TvIniFloat(sheet, "specular", &surface.properties.specular);
    if (o.model) LgClumpForAllAtomics(o.model, apply_surface, &surface);
}

// A key's value into a name field; a missing key leaves the field as it was.
void read_name(IPropertySheet* sheet, const char* key, char (&field)[kTvIniValueSize]) {
    char value[kTvIniValueSize];
    if (TvIniString(sheet, key, value)) std::memcpy(field, value, sizeof(field));
}

void read_sounds(IPropertySheet* sheet, TvObjectFields& o, TvPlaneFields& p) {
    read_name(sheet, "engine", p.engine_sound_name);
    read_name(sheet, "machinegun", p.gun_sound_name);
    read_name(sheet, "hitsound", o.hit_sound);
    read_name(sheet, "althitsound", o.alt_hit_sound);
    read_name(sheet, "explosion", o.explosion_sound);
    read_name(sheet, "rocket", p.rocket_sound_name);
    read_name(sheet, "bomb", p.bomb_sound_name);
    char value[kTvIniValueSize];
    if (TvIniString(sheet, "spiral", value))
        std::snprintf(p.spiral_sound_path, sizeof(p.spiral_sound_path), "Sound\\%s", value);
}

// First placement: beside the world's centre, on the ground, raised by the file's down length.
void place_on_ground(TvObjectFields& o, float down_length) {
    LgWorld* world = world_of(o);
    if (!world) return;
    const LgBBox* box = LgWorldGetBoundingBox(world);
    LgVector& pos = o.matrix->pos;
    pos.x = (box->sup.x + box->inf.x) * 0.5f + kStartOffsetX;
    pos.y = (box->sup.y + box->inf.y) * 0.5f;
    pos.z = (box->sup.z + box->inf.z) * 0.5f + kStartOffsetZ;
    ground_point(o, {pos.x, kProbeTop, pos.z}, {pos.x, kProbeBottom, pos.z}, &pos);
    pos.y += down_length;
}

LgMaterial* filter_texture(LgMaterial* material, void*) {
    if (LgTexture* texture = LgMaterialGetTexture(material)) LgTextureSetFilterMode(texture, 4);
    return material;
}

struct Preparation {
    float surface;
    bool prelit;
};

LgAtomic* prepare_atomic(LgAtomic* atomic, void* data) {
    const auto* preparation = static_cast<const Preparation*>(data);
    LgGeometry* g = atomic->geometry;
    if (!g) return atomic;
    LgGeometryLock(g, LgGeometryLockAll);
    const LgTriangle* triangles = LgGeometryGetTriangles(g);
    for (int32_t t = 0; t < g->numMorphTargets; ++t) {
        LgMorphTarget* target = LgGeometryGetMorphTarget(g, t);
        if (!target->normals || !target->verts) continue;
        LgVector* normals = target->normals;
        const LgVector* verts = target->verts;
        std::fill(normals, normals + g->numVertices, LgVector{0.0f, 0.0f, 0.0f});
        for (int32_t i = 0; i < g->numTriangles; ++i) {
            const uint16_t* v = triangles[i].vertIndex;
            if (v[0] >= g->numVertices || v[1] >= g->numVertices || v[2] >= g->numVertices)
                continue;
            LgVector n = cross(sub(verts[v[1]], verts[v[0]]), sub(verts[v[2]], verts[v[1]]));
            if (!(LgVectorNormalize(&n, &n) > 0.0f)) continue;
            for (int k = 0; k < 3; ++k) normals[v[k]] = add(normals[v[k]], n);
        }
        for (int32_t i = 0; i < g->numVertices; ++i)
            if (LgVectorLength(&normals[i]) > 0.0f) LgVectorNormalize(&normals[i], &normals[i]);
    }
    if (LgRGBA* prelit = LgGeometryGetPrelitColors(g); prelit && !preparation->prelit)
        std::fill(prelit, prelit + g->numVertices, LgRGBA{0, 0, 0, 255});
    LgGeometryUnlock(g);
    LgGeometryForAllMaterials(g, filter_texture, nullptr);
    const float surface = preparation->surface;
    const LgSurfaceProperties properties{surface, surface, surface};
    LgGeometrySetSurfaceProperties(g, &properties);
    return atomic;
}

struct Extents {
    LgVector max{-10000.0f, -10000.0f, -10000.0f};
    LgVector min{10000.0f, 10000.0f, 10000.0f};
};

LgAtomic* measure_atomic(LgAtomic* atomic, void* data) {
    auto* e = static_cast<Extents*>(data);
    const LgGeometry* g = atomic->geometry;
    if (!g || g->numMorphTargets < 1) return atomic;
    const LgVector* verts = LgGeometryGetMorphTarget(g, 0)->verts;
    if (!verts) return atomic;
    for (int32_t i = 0; i < g->numVertices; ++i) {
        e->max = {std::max(e->max.x, verts[i].x), std::max(e->max.y, verts[i].y),
                  std::max(e->max.z, verts[i].z)};
        e->min = {std::min(e->min.x, verts[i].x), std::min(e->min.y, verts[i].y),
                  std::min(e->min.z, verts[i].z)};
    }
    return atomic;
}

} // namespace

void prepare_model(LgClump* model, float surface, bool prelit) {
    Preparation preparation{surface, prelit};
    LgClumpForAllAtomics(model, prepare_atomic, &preparation);
}

void measure_model(LgClump* model, TvFlightTable* flight) {
    Extents e;
    LgClumpForAllAtomics(model, measure_atomic, &e);
    flight->front_length = e.max.z;
    flight->back_length = -e.min.z;
    flight->port_length = -e.min.x;
    flight->starboard_length = e.max.x;
    flight->up_length = e.max.y;
    flight->down_length = -e.min.y;
}

OmResult load(Plane plane, const char* name) {
    TvObjectFields& o = plane.o;
    TvPlaneFields& p = plane.p;
    if (!name) return OM_E_FAIL;
    if (std::strcmp(name, "dummy") == 0) return OM_S_OK;
    // An archetype loads its kind once.
    if (o.model) return OM_E_FAIL;

    const std::string path = std::string("objects\\planes\\") + name + "\\plane.ini";
    OmResult r = OM_S_OK;
    ComRef<IPropertySheet> sheet;
    {
        ComRef<IByteStream> stream = open_data_file(path.c_str(), &r);
        if (r < 0) return OM_E_FAIL;
        if (r == OM_S_INTEGRITY_FAILED) {
            platform::message_box(kErrorTitle, kDamagedFile);
            return OM_E_FAIL;
        }
        if (OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put()) < 0) return OM_E_FAIL;
        sheet->Load(stream.get());
    }

    if (read_tables(sheet.get(), o, p.flight) < 0) return OM_E_FAIL;
    o.model = nullptr;
    bool fatal = false;
    if (sheet->SetSection("appearance") >= 0) read_appearance(sheet.get(), name, o, p, &fatal);
    if (fatal) return OM_E_FAIL;
    if (sheet->SetSection("sound") >= 0) read_sounds(sheet.get(), o, p);
    sheet.reset();
    if (!o.model) return OM_E_FAIL;

    TvClumpSetOwner(o.model, o.self);
    p.model_frame = LgClumpGetFrame(o.model);
    p.model_matrix = LgFrameGetMatrix(p.model_frame);
    if (o.frame && o.frame != p.model_frame) LgFrameDestroy(o.frame);
    o.frame = LgFrameCreate();
    if (!o.frame) return OM_E_FAIL;
    o.matrix = LgFrameGetMatrix(o.frame);
    LgMatrixSetIdentity(o.matrix);

    place_on_ground(o, p.flight.down_length);
    *p.model_matrix = *o.matrix;
    LgMatrixMarkChanged(p.model_matrix);
    LgFrameMarkDirty(p.model_frame);

    measure_model(o.model, &p.flight);

    p.speed = p.throttle = 0.0f;
    p.velocity = {0.0f, 0.0f, 0.0f};
    p.bank = p.pitch_rate = p.sideslip_rate = 0.0f;
    set_state(plane, kTvPlaneTaxiing);
    o.flags = kTvFlagSoft | kTvFlagPlaneArchetype;
    p.smoke_timer = 0.0f;
    p.previous_matrix = *o.matrix;
    return OM_S_OK;
}

} // namespace tvplane
