// Turning the mission's entries into live game objects, filling air entries for planes the
// network brings in, and changing a live plane into another plane type.
#include "engine/world/lg_clump.h"
#include "engine/world/lg_world_tie.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/platform/file_storage.h"
#include "game/rules/tavrin_ai_plane.h"
#include "game/rules/tavrin_mission.h"
#include "game/rules/tv_game.h"
#include "game/rules/tv_mission_classes.h"
#include "game/rules/tv_mission_values.h"
#include "game/tv_frontend_services.h"

#include <cstdio>
#include <cstring>

using namespace tvmission;

namespace {

constexpr const char* kSource = "tvopmission";
constexpr uint32_t kLiveUpdateFlags = kTvDrawEffects | kTvUpdateEveryFrame;
constexpr uint32_t kPlayersGroupBit = 1u << kTvGroupPlayers;
constexpr int32_t kSoundNameLimit = 32;

LgWorld* world_of(ITvBSPLandscape* landscape) {
    LgWorld* world = nullptr;
    if (landscape) landscape->GetWorld(&world);
    return world;
}

// Creates the class for the interface and runs its Create with the entry; null on failure.
template <class Interface>
Interface* create_object(const GUID& clsid, const GUID& iid, TvCreateDescriptor* entry,
                         bool prepare) {
    Interface* object = nullptr;
    if (OmCreateInstance(clsid, nullptr, 0, iid, reinterpret_cast<void**>(&object)) < 0 || !object)
        return nullptr;
    if (prepare) object->Reset();
    if (object->Create(entry) < 0) {
        object->Release();
        return nullptr;
    }
    return object;
}

// The owner record the atomics of a model are hooked to (null when none is).
TvObjectFields* atomic_owner_of(LgClump* clump) {
    TvObjectFields* owner = nullptr;
    if (!clump) return nullptr;
    LgClumpForAllAtomics(
        clump,
        [](LgAtomic* atomic, void* data) -> LgAtomic* {
            auto* found = static_cast<TvObjectFields**>(data);
            *found = TvAtomicGetOwner(atomic);
            return *found ? nullptr : atomic;
        },
        &owner);
    return owner;
}

void replace_sound(ITvObject* plane, uint32_t property) {
    uintptr_t held = 0;
    if (plane->GetProperty(property, &held) >= 0 && held)
        TvSoundRelease(reinterpret_cast<ISound*>(held));
    plane->SetProperty(property, 0);
}

// The "sound" section of the new plane type: the sound names, and the engine and gun sounds
// started over.
void take_plane_sounds(ITvObject* plane, IPropertySheet* sheet) {
    if (sheet->SetSection("sound") < 0) return;
    char name[kSoundNameLimit];
    if (read_text(sheet, "engine", name, sizeof(name))) {
        plane->SetProperty(kTvPlanePropEngineSound, reinterpret_cast<uintptr_t>(name));
        uintptr_t running = 0;
        if (plane->GetProperty(kTvPlanePropEngineSoundObject, &running) >= 0 && running)
            TvSoundStop(reinterpret_cast<ISound*>(running));
        replace_sound(plane, kTvPlanePropEngineSoundObject);
        uintptr_t descriptor_value = 0;
        plane->GetProperty(kTvPropDescriptor, &descriptor_value);
        const auto* descriptor = reinterpret_cast<const TvCreateDescriptor*>(descriptor_value);
        const bool player_side = descriptor && ((descriptor->flags & kTvFlagPlayerPlane) != 0 ||
                                                (descriptor->group_mask & kPlayersGroupBit) != 0);
        char sound_name[kSoundNameLimit + 2];
        std::snprintf(sound_name, sizeof(sound_name), "%s%s", name, player_side ? "" : "AI");
        uintptr_t frequency = 0, volume = 0;
        plane->GetProperty(kTvPlanePropEngineFrequency, &frequency);
        plane->GetProperty(kTvPlanePropEngineVolume, &volume);
        if (ISound* sound = TvGetSoundObject(sound_name)) {
            TvSoundSetInt(sound, kTvSoundIntFrequency,
                          frequency ? *reinterpret_cast<const int32_t*>(frequency) : 0);
            TvSoundSetInt(sound, kTvSoundIntFlag6, 1);
            TvSoundSetReal(sound, kTvSoundRealVolume,
                           volume ? *reinterpret_cast<const float*>(volume) : 0.0f);
            TvSoundPlay(sound, 1);
            plane->SetProperty(kTvPlanePropEngineSoundObject, reinterpret_cast<uintptr_t>(sound));
        }
    }
    if (read_text(sheet, "machinegun", name, sizeof(name))) {
        plane->SetProperty(kTvPlanePropGunSound, reinterpret_cast<uintptr_t>(name));
        replace_sound(plane, kTvPlanePropGunSoundObject);
        if (ISound* sound = TvGetSoundObject(name)) {
            TvSoundSetInt(sound, kTvSoundIntFlag6, 1);
            TvSoundSetReal(sound, kTvSoundRealVolume, 1.0f);
            plane->SetProperty(kTvPlanePropGunSoundObject, reinterpret_cast<uintptr_t>(sound));
        }
    }
    const struct {
        const char* key;
        uint32_t property;
    } names[] = {{"hitsound", kTvPlanePropHitSound},
                 {"explosion", kTvPlanePropExplosionSound},
                 {"rocket", kTvPlanePropRocketSound},
                 {"bomb", kTvPlanePropBombSound}};
    for (const auto& n : names)
        if (read_text(sheet, n.key, name, sizeof(name)))
            plane->SetProperty(n.property, reinterpret_cast<uintptr_t>(name));
}

} // namespace

OmResult TavrinMission::Start(ITvGame* new_game) {
    game = new_game;
    outcome = kTvOutcomeRunning;
    // What the editor deleted in the last run goes now: the game that pointed at it is gone.
    release_removed_objects();
    editor.selection = kTvEditorNone;
    editor.selected_entry = nullptr;
    if (game && landscape) game->SetLandscape(landscape);
    if (music_track > 0) TvPlayMusic(music_track);

    int32_t missing_ground = 0, missing_air = 0, missing_vehicles = 0;
    for (int32_t i = 0; i < ground_entry_count; ++i) {
        TvMissionGroundEntry& entry = ground_entries[i];
        entry.game = game;
        if (ITvObject* object = SpawnGroundEntry(&entry, CLSID_TavrinGroundObject))
            object->Release();
        else if (entry.archetype)
            ++missing_ground;
        TvShowLoadingProgress(0.5f + static_cast<float>(i) * 0.4f /
                                         static_cast<float>(ground_entry_count));
    }
    for (int32_t i = 0; i < air_entry_count; ++i) {
        TvMissionAirEntry& entry = air_entries[i];
        entry.game = game;
        if (ITvObject* object = SpawnAirEntry(&entry, CLSID_TavrinAIPlane))
            object->Release();
        else if (entry.archetype)
            ++missing_air;
    }
    TvShowLoadingProgress(0.9f);
    for (int32_t i = 0; i < vehicle_entry_count; ++i) {
        TvMissionVehicleEntry& entry = vehicle_entries[i];
        entry.game = game;
        if (ITvObject* object = SpawnVehicleEntry(&entry, CLSID_TavrinAIGroundObject))
            object->Release();
        else if (entry.archetype)
            ++missing_vehicles;
    }
    // One line per kind of object that could not be made, so a mission still runs with what
    // this build can create.
    const struct {
        const char* what;
        int32_t count;
    } missing[] = {{"ground objects", missing_ground},
                   {"planes", missing_air},
                   {"vehicles", missing_vehicles}};
    for (const auto& m : missing) {
        if (m.count == 0) continue;
        char detail[48];
        std::snprintf(detail, sizeof(detail), "%d %s", m.count, m.what);
        TvLogError2(kSource, __LINE__, "Could not create the mission's", detail);
    }
    elapsed = 0.0f;
    return OM_S_OK;
}

ITvObject* TavrinMission::SpawnGroundEntry(TvMissionGroundEntry* entry, const GUID& clsid) {
    // Entries without an archetype are the mission editor's placeholders.
    if (!entry || !entry->archetype) return nullptr;
    LgWorld* world = world_of(landscape);
    auto* object = create_object<ITvObject>(clsid, IID_ITvGroundObject, entry, false);
    if (!object) return nullptr;
    object->SetProperty(kTvPropWorld, reinterpret_cast<uintptr_t>(world));
    if (game) game->AddObject(object, kTvEventMaskWorldObject, kLiveUpdateFlags);
    entry->live_object = object;
    return object;
}

ITvObject* TavrinMission::SpawnAirEntry(TvMissionAirEntry* entry, const GUID& clsid) {
    if (!entry || !entry->archetype) return nullptr;
    LgWorld* world = world_of(landscape);
    auto* object = create_object<ITvObject>(clsid, IID_ITvAIPlane, entry, true);
    if (!object) return nullptr;
    object->SetProperty(kTvPropWorld, reinterpret_cast<uintptr_t>(world));
    object->SetProperty(kTvPropLandscape, reinterpret_cast<uintptr_t>(landscape));
    uint32_t flags = kLiveUpdateFlags;
    if ((entry->flags & kTvFlagPlayerPlane) != 0 || (entry->group_mask & kPlayersGroupBit) != 0)
        flags |= kTvTakesInput;
    if (game) game->AddObject(object, kTvEventMaskWorldObject, flags);
    entry->live_object = object;
    return object;
}

ITvObject* TavrinMission::SpawnVehicleEntry(TvMissionVehicleEntry* entry, const GUID& clsid) {
    if (!entry || !entry->archetype) return nullptr;
    LgWorld* world = world_of(landscape);
    auto* object = create_object<ITvObject>(clsid, IID_ITvGroundObject, entry, false);
    if (!object) return nullptr;
    object->SetProperty(kTvPropWorld, reinterpret_cast<uintptr_t>(world));
    if (game) game->AddObject(object, kTvEventMaskWorldObject, kLiveUpdateFlags);
    // Setting the position again puts the vehicle on the ground of its world.
    uintptr_t position = 0;
    if (object->GetProperty(kTvPropPosition, &position) >= 0 && position) {
        const LgVector at = *reinterpret_cast<const LgVector*>(position);
        object->SetProperty(kTvPropPosition, reinterpret_cast<uintptr_t>(&at));
    }
    entry->live_object = object;
    return object;
}

OmResult TavrinMission::FillAirEntry(const char* plane_name, TvMissionAirEntry* entry) {
    const int32_t kind = plane_kind_index(plane_name);
    if (kind < 0 || !entry) return OM_E_FAIL;
    ITvObject* archetype = plane_kinds[kind];
    *entry = {};
    entry->archetype = archetype;
    entry->archetype_index = kind;
    entry->endurance = archetype_endurance(archetype);
    uintptr_t table = 0;
    if (archetype->GetProperty(kTvPlanePropFlightTable, &table) >= 0 && table)
        entry->flight = *reinterpret_cast<const TvFlightTable*>(table);
    entry->game = game;
    return OM_S_OK;
}

OmResult TavrinMission::ChangePlaneType(ITvObject* plane, const char* plane_name) {
    const int32_t kind = plane_kind_index(plane_name);
    if (kind < 0 || !plane) return OM_E_FAIL;
    ITvObject* archetype = plane_kinds[kind];
    LgWorld* world = world_of(landscape);

    uintptr_t descriptor_value = 0;
    plane->GetProperty(kTvPropDescriptor, &descriptor_value);
    // Live planes are made from air entries, so the descriptor is one.
    auto* descriptor = reinterpret_cast<TvMissionAirEntry*>(descriptor_value);
    ITvObject* old_archetype = descriptor ? descriptor->archetype : nullptr;
    uintptr_t endurance_value = 0;
    plane->GetProperty(kTvPropEndurance, &endurance_value);
    float endurance = endurance_value ? *reinterpret_cast<const float*>(endurance_value) : 0.0f;
    // A plane made stronger than its type stays that strong.
    if (!old_archetype || endurance == archetype_endurance(old_archetype))
        endurance = archetype_endurance(archetype);
    if (descriptor) {
        descriptor->archetype = archetype;
        descriptor->archetype_index = kind;
        descriptor->endurance = endurance;
    }
    plane->SetProperty(kTvPropEndurance, reinterpret_cast<uintptr_t>(&endurance));

    uintptr_t table = 0;
    if (archetype->GetProperty(kTvPlanePropFlightTable, &table) >= 0 && table) {
        TvFlightTable flight = *reinterpret_cast<const TvFlightTable*>(table);
        if (descriptor) descriptor->flight = flight;
        plane->SetProperty(kTvPlanePropFlightTable,
                           reinterpret_cast<uintptr_t>(descriptor ? &descriptor->flight : &flight));
    }

    uintptr_t model_value = 0;
    archetype->GetProperty(kTvPropModel, &model_value);
    LgClump* clone = model_value ? LgClumpClone(reinterpret_cast<LgClump*>(model_value)) : nullptr;
    if (clone) {
        uintptr_t old_value = 0;
        plane->GetProperty(kTvPropModel, &old_value);
        auto* old_model = reinterpret_cast<LgClump*>(old_value);
        TvObjectFields* owner = atomic_owner_of(old_model);
        plane->SetProperty(kTvPropModel, reinterpret_cast<uintptr_t>(clone));
        if (old_model) {
            if (LgWorld* old_world = LgClumpGetWorld(old_model))
                LgWorldRemoveClump(old_world, old_model);
            LgClumpDestroy(old_model);
        }
        if (!LgClumpGetWorld(clone) && world) LgWorldAddClump(world, clone);
        TvClumpSetOwner(clone, plane);
        if (owner)
            LgClumpForAllAtomics(
                clone, [](LgAtomic* a, void* o) { return TvHookAtomicToObject(a, o); }, owner);
    }
    uintptr_t shadow = 0;
    if (plane->GetProperty(kTvPlanePropShadowTexture, &shadow) >= 0 && shadow)
        LgTextureDestroy(reinterpret_cast<LgTexture*>(shadow));
    plane->SetProperty(kTvPlanePropShadowTexture, 0);
    shadow = 0;
    if (archetype->GetProperty(kTvPlanePropShadowTexture, &shadow) >= 0 && shadow) {
        LgTextureAddRef(reinterpret_cast<LgTexture*>(shadow));
        plane->SetProperty(kTvPlanePropShadowTexture, shadow);
    }
    uintptr_t offset_bits = 0;
    if (archetype->GetProperty(kTvPlanePropShadowOffset, &offset_bits) >= 0) {
        const auto bits = static_cast<uint32_t>(offset_bits);
        float shadow_offset;
        std::memcpy(&shadow_offset, &bits, sizeof(shadow_offset));
        plane->SetProperty(kTvPlanePropShadowOffset, reinterpret_cast<uintptr_t>(&shadow_offset));
    }

    char path[96];
    std::snprintf(path, sizeof(path), "objects\\planes\\%s\\plane.ini", plane_name);
    ComRef<IFileStorage> storage = TvMissionStorage();
    ComRef<IByteStream> stream;
    const OmResult opened =
        storage ? storage->Open(path, OM_OPEN_READ, OM_OPEN_TEXT, stream.put()) : OM_E_FAIL;
    if (opened < 0 || !stream) {
        TvLogError2(kSource, __LINE__, "Could not open plane file:", path);
        return OM_E_FAIL;
    }
    if (opened == OM_S_INTEGRITY_FAILED) {
        TvFatalDamagedFiles(kSource, __LINE__, path);
        return OM_E_FAIL;
    }
    ComRef<IPropertySheet> sheet;
    if (OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put()) < 0) return OM_E_FAIL;
    sheet->Load(stream.get());
    take_plane_sounds(plane, sheet.get());
    return OM_S_OK;
}
