// TavrinGroundObject: buildings, vehicles, crates and pickups standing on the landscape. A
// kind is loaded once from its ground.ini into an archetype; instances clone its models, sit
// on the highest ground under them, swap to damage stages or the destroyed model as damage
// grows, throw debris and shrapnel, explode once, cast a projected shadow, and some are
// pickups that planes collect. Armed ground objects derive from it.
#pragma once

#include "game/world/tv_object.h"
#include "game/world/tv_plane.h"
#include "game/world/tv_shrapnel.h"

inline constexpr GUID CLSID_TavrinGroundObject = om_guid("02AC64D8-F0FB-4CAC-949D-97E71471DA32");
inline constexpr GUID IID_ITvGroundObject = om_guid("4D2E9E75-AC35-497F-81DA-0F3343462AF9");

// Ground objects: the fifteen object operations, then these.
struct ITvGroundObject : ITvObject {
    // Loads the kind from ".\objects\ground\<name>\ground.ini" into this archetype.
    // 0, or OM_E_FAIL with the reason in the error log.
    virtual OmResult LoadObject(const char* name) = 0;
    // Does nothing. 0.
    virtual OmResult UseArchetype(ITvObject* object) = 0;
};

inline constexpr int32_t kTvGroundModelSlots = 5; // intact, then destroyed or damage stages
inline constexpr uint32_t kTvGroundPropArchetypeIndex = 257;

// Pickup types are the planes' pickup kinds (TvPickupKind), 0 for none.
inline constexpr int32_t kTvPickupNone = 0;

// Milliseconds a taken pickup stays inactive; a new pickup of a network game waits longer.
inline constexpr uint32_t kTvPickupRearmMs = 30000;
inline constexpr uint32_t kTvNetworkPickupRearmMs = 45000;

// In-mission editor events and the record of the pick event.
inline constexpr uint32_t kTvEditorPick = 0x301;
inline constexpr uint32_t kTvEditorMove = 0x302;
struct TvEditorPick {
    float best_distance;
    const LgVector* cursor;
    ITvObject* selected;
};
// Editor states (the object's user value).
inline constexpr uintptr_t kTvEditorIdle = 2;
inline constexpr uintptr_t kTvEditorMoving = 3;
inline constexpr uintptr_t kTvEditorTurning = 4;

// The shadow setting every ground object shares: 0 none; 1, 2, 3 up to 300, 600, 900 units
// from the camera. Starts at 1.
extern int32_t TvGroundShadowLevel;
// The squared distance limit of a shadow level (0 for level 0 or below).
float TvGroundShadowLimit(int32_t level);

// The ground object's own fields, after the base object's.
struct TvGroundObjectFields {
    LgClump* models[kTvGroundModelSlots]{};
    int32_t wanted_model = 0;
    int32_t shown_model = 0;
    int32_t model_count = 0;
    TvShrapnelSelection shrapnel{};
    LgTexture* shadow_texture = nullptr; // one reference held
    float shadow_scale = 1.0f;
    char breakage_sound[32]{};
    int32_t archetype_index = 0;
    int32_t pickup_type = kTvPickupNone;
    uint32_t rearm_time = 0; // platform milliseconds before which a pickup is inactive
    float pickup_height = 0.0f;
    int32_t canyon_gun = 0; // the kind is "canyonaagun": its turret aims its up axis
    float pickup_radius = 0.0f;
};

class TavrinGroundObject : public TavrinObjectBase<ITvGroundObject>, public TvGroundObjectFields {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override;
    OmResult Reset() override;
    OmResult Unload() override;
    OmResult Create(TvCreateDescriptor* descriptor) override;
    OmResult Destroy() override;
    OmResult SetProperty(uint32_t id, uintptr_t value) override;
    OmResult GetProperty(uint32_t id, uintptr_t* out) override;
    OmResult Render() override;
    OmResult Update() override;
    OmResult HandleEvent(const TvEvent* event) override;
    OmResult AddDamage(float amount, int32_t attacker_id) override;
    OmResult LoadObject(const char* name) override;
    OmResult UseArchetype(ITvObject* object) override;

    // The ground object behind an object of this class (or a derived one), else null.
    static TavrinGroundObject* from(ITvObject* object);
    // The archetype this instance was made from, or null.
    TavrinGroundObject* archetype() const;
    // Whether the instance is an active pickup at the platform time `now`.
    bool pickup_active(uint32_t now) const;
    // The pickup test against one object (a plane flying over).
    void offer_pickup(ITvObject* object, uint32_t now);

protected:
    ~TavrinGroundObject() override;
    // Puts the object on the highest ground under P (needs a world); see SetProperty 1.
    void place_on_ground(const LgVector& position);
    // Swaps the shown model for the wanted one, throwing debris and shrapnel. The old model's
    // frames are freed: a derived object that keeps a frame of the model finds it again here.
    virtual void change_model();
    // Removes and destroys every model (and a bare frame) the object holds.
    void release_models();
    // Gives back this object's use of the shared pickup crate, if it holds one.
    void release_crate();

private:
    bool holds_crate_ = false; // a loaded kind or a placed object uses the shared crate
};

// A taken pickup (reported by the network) stays inactive for 30 s from now.
void TvStartPickupRespawn(ITvObject* pickup);

// The shared pickup crate drawn over active pickups, or null while none is loaded. Loaded
// kinds and placed ground objects keep it; it goes with the last of them.
LgClump* TvGroundPickupCrate();

OM_DECLARE_MODULE(TavrinGroundObject);
inline OmResult TvRegisterGroundObjectClass(IObjectManager* manager) {
    return TavrinGroundObject_RegisterClasses(manager);
}
inline OmResult TvUnregisterGroundObjectClass(IObjectManager* manager) {
    return TavrinGroundObject_UnregisterClasses(manager);
}
