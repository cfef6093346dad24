// TavrinBSPLandscape: the singleton component, map.ini, loading and freeing a map (world,
// sky textures, map textures, detail pass, ambient sounds, sun lights, lens flare).
#include "game/world/tavrin_bsp_landscape.h"

#include "engine/world/lg_world_tie.h"
#include "framework/core/com_ref.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_effects.h"
#include "game/world/tv_ini_sheet.h"
#include "game/world/tv_lens_flare.h"
#include "game/world/tv_model_files.h"

#include <cstdio>
#include <string>

TavrinBSPLandscape* TavrinBSPLandscape::instance = nullptr;
LgWorld* TvCurrentMapWorld = nullptr;

namespace {

constexpr const char* kSource = "tvopbsplandscape";
// The world's top is raised so planes flying above the highest ground stay inside it.
constexpr float kTopRaise = 1000.0f;
constexpr uint8_t kWorldFlags = 13;
constexpr uint8_t kLightFlags = 1;
constexpr uint8_t kLightSubtype1 = 1, kLightSubtype2 = 2;
constexpr int32_t kTextureSizeClasses = 4;
constexpr const char* kSkyKeys[kTvSkyFaces] = {"front", "left", "back", "right", "up"};
constexpr const char* kFlareImagePath = ".\\objects\\particles\\";
// Where the sunlight travels: (1, -1, -1), normalised when the map loads.
constexpr LgVector kSunDirection = {1.0f, -1.0f, -1.0f};

OmResult create_landscape(IUnknown* outer, IUnknown** out) {
    return OmCreateSingleton(TavrinBSPLandscape::instance, outer, out);
}

const OmClassRecord classes[] = {
    {&CLSID_TavrinBSPLandscape, nullptr, nullptr, create_landscape, "TavrinBSPLandscape"}};

LgAtomicSector* raise_sector_top(LgAtomicSector* sector, void*) {
    LgWorldSectorGetBoundingBox(sector)->sup.y += kTopRaise;
    return sector;
}

// The world in the file, or null (the stream is closed either way); null stream: no file.
LgWorld* read_world_file(const std::string& path, bool* opened) {
    LgStream* stream = LgStreamOpen(LgStreamTypeFileName, LgStreamAccessRead, path.c_str());
    *opened = stream != nullptr;
    if (stream == nullptr) return nullptr;
    LgWorld* world = LgStreamFindChunk(stream, LgChunkWorld, nullptr, nullptr)
                         ? LgWorldStreamRead(stream)
                         : nullptr;
    LgStreamClose(stream, nullptr);
    return world;
}

// "%d %d %d %d" into red, green, blue, alpha: the components given replace theirs.
void read_fog_colour(IPropertySheet* sheet, LgRGBA* colour) {
    char value[kTvIniValueSize];
    if (!TvIniString(sheet, "fogcolour", value)) return;
    int c[4];
    const int n = std::sscanf(value, "%d %d %d %d", &c[0], &c[1], &c[2], &c[3]);
    uint8_t* bytes[4] = {&colour->red, &colour->green, &colour->blue, &colour->alpha};
    for (int i = 0; i < n && i < 4; ++i) *bytes[i] = static_cast<uint8_t>(c[i] & 0xff);
}

// Replaces the dictionary's texture of the name by the one in the map directory.
void replace_dictionary_texture(const char* name) {
    LgTexDictionary* dictionary = LgTexDictionaryGetCurrent();
    if (dictionary == nullptr) return;
    if (LgTexture* old = LgTexDictionaryFindNamedTexture(dictionary, name)) LgTextureDestroy(old);
    if (LgTexture* fresh = LgTextureRead(name, nullptr))
        LgTexDictionaryAddTexture(dictionary, fresh);
}

// A looping ambient sound of the set, or null; `flag6` sets its integer parameter 6 first.
ISound* start_ambient(const char* name, bool flag6) {
    ISound* sound = TvGetSoundObject(name);
    if (sound == nullptr) return nullptr;
    if (flag6) TvSoundSetInt(sound, kTvSoundIntFlag6, 1);
    TvSoundPlay(sound, 1);
    return sound;
}

float entry_number(const char* name, float unchanged) {
    float value = unchanged;
    return std::sscanf(name, "%f", &value) == 1 ? value : unchanged;
}

void read_ambient_sounds(IPropertySheet* sheet, TavrinBSPLandscape& l) {
    if (sheet->SetSection("sound") < 0) return;
    char value[kTvIniValueSize];
    if (TvIniString(sheet, "wind", value)) l.wind.sound = start_ambient(value, false);
    TvIniFloat(sheet, "windmin", &l.wind.low);
    TvIniFloat(sheet, "windmax", &l.wind.high);
    if (TvIniString(sheet, "forest", value)) l.forest.sound = start_ambient(value, true);
    TvIniFloat(sheet, "forestmin", &l.forest.low);
    TvIniFloat(sheet, "forestmax", &l.forest.high);
    // The third sound is written as three bare lines after the named keys: its name, then
    // its low and high altitudes, all taken from the entry names.
    char name[OM_SHEET_NAME_SIZE];
    if (sheet->MoveKey(name, nullptr, OM_MOVE_NEXT) < 0) return;
    l.third.sound = start_ambient(name, true);
    if (sheet->MoveKey(name, nullptr, OM_MOVE_NEXT) < 0) return;
    l.third.low = entry_number(name, l.third.low);
    if (sheet->MoveKey(name, nullptr, OM_MOVE_NEXT) < 0) return;
    l.third.high = entry_number(name, l.third.high);
}

LgLight* make_sun_light(uint8_t subtype, const LgRGBAReal& colour, LgFrame* sun, LgWorld* world) {
    LgLight* light = LgLightCreate(subtype);
    if (light == nullptr) return nullptr;
    LgLightSetColor(light, &colour);
    LgObjectSetFlags(light, kLightFlags);
    LgLightSetFrame(light, sun);
    LgWorldAddLight(world, light);
    return light;
}

void release_sound(TvAmbientSound& ambient) {
    if (ambient.sound == nullptr) return;
    TvSoundStop(ambient.sound);
    TvSoundRelease(ambient.sound);
    ambient.sound = nullptr;
}

void release_texture(LgTexture*& texture) {
    if (texture != nullptr) LgTextureDestroy(texture);
    texture = nullptr;
}

LgRaster* raster_of(const LgTexture* texture) {
    return texture != nullptr ? LgTextureGetRaster(texture) : nullptr;
}

} // namespace

OM_DEFINE_MODULE(TavrinBSPLandscape, classes)

TavrinBSPLandscape::~TavrinBSPLandscape() {
    if (instance == this) instance = nullptr;
}

OmResult TavrinBSPLandscape::QueryInterface(const GUID& iid, void** out) {
    return om_query_interface(iid, out, {{&IID_ITvBSPLandscape, this}});
}

OmResult TavrinBSPLandscape::LoadMap(const char* name) {
    if (name == nullptr) return OM_E_FAIL;
    // A map loaded over another would leave the old world, lights and sounds behind.
    FreeMap();
    const std::string directory = std::string("maps\\") + name + "\\";
    ComRef<IPropertySheet> sheet;
    if (TvLoadIniSheet((directory + "map.ini").c_str(), sheet.put()) < 0) return OM_E_FAIL;
    if (sheet->SetSection("appearance") < 0) return OM_E_FAIL;
    {
        TvImagePath map_images(directory.c_str());
        char value[kTvIniValueSize];
        if (!TvIniString(sheet.get(), "bsp", value)) return OM_E_FAIL;
        const std::string path = directory + value + ".bsp";
        bool opened = false;
        world = read_world_file(path, &opened);
        if (!opened) {
            TvLogError2(kSource, __LINE__, "Could not open map file:", path.c_str());
            return OM_E_FAIL;
        }
        if (world == nullptr) {
            TvLogError2(kSource, __LINE__,
                        "Could not read the map file - corrupted?:", path.c_str());
            return OM_E_FAIL;
        }
        TvCurrentMapWorld = world;
        LgWorldForAllAtomicSectors(world, raise_sector_top, nullptr);
        LgWorldGetBoundingBox(world)->sup.y += kTopRaise;
        LgObjectSetFlags(world, kWorldFlags);

        for (int32_t face = 0; face < kTvSkyFaces; ++face) {
            sky[face] = nullptr;
            if (TvIniString(sheet.get(), kSkyKeys[face], value))
                sky[face] = LgTextureRead(value, nullptr);
        }
        TvIniFloat(sheet.get(), "heightadjust", &height_adjust);
        read_fog_colour(sheet.get(), &fog_colour);

        for (int32_t size_class = 0; size_class < kTextureSizeClasses; ++size_class)
            TvSetTextureReduction(size_class, 0);
        replace_dictionary_texture("map");
        replace_dictionary_texture("mapwater");
        TvInstallDetailPass(TvDetailTexturesEnabled != 0);
        detail = LgTextureRead("detail", nullptr);
    }

    wind.sound = forest.sound = third.sound = nullptr;
    read_ambient_sounds(sheet.get(), *this);
    sheet.reset();

    light_colour = {1.0f, 1.0f, 1.0f, 1.0f};
    sun_frame = LgFrameCreate();
    if (sun_frame != nullptr) {
        LgMatrix* m = LgFrameGetMatrix(sun_frame);
        LgVectorNormalize(&m->at, &kSunDirection);
        LgMatrixMarkChanged(m);
        LgFrameMarkDirty(sun_frame);
    }
    light1 = make_sun_light(kLightSubtype1, light_colour, sun_frame, world);
    light2 = make_sun_light(kLightSubtype2, light_colour, sun_frame, world);

    TvLoadLensFlare();
    TvSetLensFlareScreenSize(TvGetScreenWidth(), TvGetScreenHeight());
    {
        TvImagePath flare_images(kFlareImagePath);
        flare_ring = LgTextureRead("flarepart.bmp", nullptr);
        flare_glow = LgTextureRead("flareburst.bmp", nullptr);
        TvSetLensFlareRingTexture(raster_of(flare_ring));
        TvSetLensFlareGlowTexture(raster_of(flare_glow));
        flare_visible = 0;
    }
    return OM_S_OK;
}

OmResult TavrinBSPLandscape::FreeMap() {
    if (TvSavedSectorStage() != nullptr) TvInstallDetailPass(false);
    release_texture(detail);
    for (LgLight** light : {&light1, &light2}) {
        if (*light == nullptr) continue;
        if (world != nullptr) LgWorldRemoveLight(world, *light);
        LgLightSetFrame(*light, nullptr);
        LgLightDestroy(*light);
        *light = nullptr;
    }
    if (sun_frame != nullptr) LgFrameDestroy(sun_frame);
    sun_frame = nullptr;
    for (LgTexture*& face : sky) release_texture(face);
    // The flare keeps no texture of a freed map.
    if (flare_ring != nullptr || flare_glow != nullptr) {
        TvSetLensFlareRingTexture(nullptr);
        TvSetLensFlareGlowTexture(nullptr);
    }
    release_texture(flare_ring);
    release_texture(flare_glow);
    flare_visible = 0;
    if (world != nullptr) {
        TvClearShrapnel();
        if (TvCurrentMapWorld == world) TvCurrentMapWorld = nullptr;
        LgWorldDestroy(world);
        world = nullptr;
    }
    for (TvAmbientSound* ambient : {&wind, &forest, &third}) release_sound(*ambient);
    return OM_S_OK;
}

OmResult TavrinBSPLandscape::LoadTestMap(const char* world_file) {
    FreeMap();
    TvImagePath test_images("maps\\test\\");
    TvLogError(kSource, __LINE__, "Mothball code. Should not be here.");
    if (world_file == nullptr) return OM_E_FAIL;
    bool opened = false;
    world = read_world_file(world_file, &opened);
    return world != nullptr ? OM_S_OK : OM_E_FAIL;
}

OmResult TavrinBSPLandscape::GetWorld(LgWorld** out) {
    if (out != nullptr) *out = world;
    return OM_S_OK;
}

OmResult TavrinBSPLandscape::GetFogColour(LgRGBA* out) {
    if (out != nullptr) *out = fog_colour;
    return OM_S_OK;
}
