// The base of every game object: the ITvObject interface, the create descriptor, the base
// object's fields and operations, and the template derived kinds build on.
#pragma once

#include "engine/core/lg_engine.h"
#include "framework/core/class_factory.h"
#include "framework/core/component.h"

#include <cstdint>
#include <memory>

struct ITvGame;
struct ITvObject;
struct ITvBSPLandscape;

inline constexpr GUID IID_ITvObject = om_guid("510BA130-C801-41C8-9424-4094373C4425");
inline constexpr GUID CLSID_TavrinObject = om_guid("CD3FEEF3-9022-4CAE-A1FF-BA668178BBFA");

// Property ids of the base object; derived kinds number theirs from 256.
enum TvObjectProperty : uint32_t {
    kTvPropMatrix = 0,      // set: pointer to 16 floats; get: pointer to the matrix
    kTvPropPosition = 1,    // pointer to 3 floats
    kTvPropAt = 2,          // pointer to 3 floats
    kTvPropRight = 3,       // pointer to 3 floats
    kTvPropUp = 4,          // pointer to 3 floats
    kTvPropModel = 5,       // LgClump*
    kTvPropWorld = 6,       // LgWorld*
    kTvPropUserValue = 7,   // a word kept for the caller
    kTvPropLandscape = 8,   // ITvBSPLandscape* (the object holds a reference)
    kTvPropFlags = 9,       // TvObjectFlag bits
    kTvPropId = 10,         // id in the game's id table
    kTvPropEndurance = 11,  // pointer to float
    kTvPropGroupMask = 12,  // bit g: game group g
    kTvPropDescriptor = 13, // TvCreateDescriptor*
    kTvPropRenderHook = 14, // get only: the saved atomic render callback
    kTvPropDamage = 15,     // get only: pointer to float
    kTvPropDerivedFirst = 256,
};

// Object flag bits (property 9).
enum TvObjectFlag : uint32_t {
    kTvFlagSoft = 0x01,           // a plane hitting it takes graded collision damage
    kTvFlagPlaneArchetype = 0x02, // loaded plane archetype
    kTvFlagNetworkDriven = 0x20,  // network-driven plane: moved by network records
    kTvFlagFromMission = 0x40,    // placed by the mission file (written back)
    kTvFlagPlaneKind = 0x100,     // plane kind loaded by the mission
    kTvFlagTakeoffPoint = 0x200,  // take-off point
    kTvFlagPlayerPlane = 0x400,   // a player's plane
    kTvFlagPlane = 0x800,         // a plane
};

// Engine plug-in ids of the game's owner links.
inline constexpr uint32_t kTvClumpOwnerPlugin = 0x601;  // clump slice: ITvObject* or null
inline constexpr uint32_t kTvAtomicOwnerPlugin = 0x602; // atomic slice: TvObjectFields* or null

// The record an event handler receives: input events (code 0) carry a pointer to the
// InputEvent in `data`; other codes carry a word (a group mask, a pressed flag).
struct TvEvent {
    uint32_t code;
    uintptr_t data;
};
inline constexpr uint32_t kTvEventInput = 0;

// The record an object is created from. Mission entries and the camera's record extend it.
struct TvCreateDescriptor {
    int32_t id;
    LgMatrix matrix;      // initial placement: right, flags, up, at, position
    ITvObject* archetype; // loaded object whose model is cloned, or null
    float endurance;
    int32_t archetype_index; // not read by the base object
    uint32_t flags;          // TvObjectFlag bits
    uint32_t group_mask;     // bits 0..9
    ITvGame* game;
};

// Game objects: every operation after the IUnknown three returns a result code unless noted.
struct ITvObject : IUnknown {
    // Derived objects reset their own fields, then call the base (which does nothing). 0.
    virtual OmResult Reset() = 0;
    // Releases the landscape reference (derived objects free their models first). 0.
    virtual OmResult Unload() = 0;
    // Builds frame, model and identity from the descriptor (null: a bare object). 0.
    virtual OmResult Create(TvCreateDescriptor* descriptor) = 0;
    // Frees the model and the references the object holds. 0.
    virtual OmResult Destroy() = 0;
    // Properties by id (TvObjectProperty, derived ids from 256). OM_E_BADPROPERTY for an
    // unknown id, nothing changed.
    virtual OmResult SetProperty(uint32_t id, uintptr_t value) = 0;
    // OM_E_BADPROPERTY with *out = 0 for an unknown id.
    virtual OmResult GetProperty(uint32_t id, uintptr_t* out) = 0;
    // The object's own drawing in the effects pass. 0.
    virtual OmResult Render() = 0;
    // One frame of the object's life. 0.
    virtual OmResult Update() = 0;
    // An input or broadcast event; OM_E_FAIL when not handled.
    virtual OmResult HandleEvent(const TvEvent* event) = 0;
    // damage += amount. 0.
    virtual OmResult AddDamage(float amount, int32_t attacker_id) = 0;
    // The object's status: 0 alive and active; the base answers 1 once damage exceeds
    // endurance. Derived kinds answer other states (2 hidden, ...). Not a result code.
    virtual int32_t IsDead() = 0;
    // damage = value. 0.
    virtual OmResult SetDamage(uint32_t word, float value, uint32_t word2) = 0;
};

// The base object's fields, all starting cleared. The atomic owner slice points at this
// record, whose first field is the owning object.
struct TvObjectFields {
    ITvObject* self{};
    LgMatrix* matrix{};
    LgFrame* frame{};
    LgClump* model{}; // owned
    LgWorld* world{}; // not owned
    float damage{};
    float endurance{};
    float reciprocal_endurance{};
    ITvGame* game{};              // not reference-counted
    ITvBSPLandscape* landscape{}; // one reference held
    uintptr_t user_value{};
    uint32_t flags{};
    int32_t id{};
    uint32_t group_mask{};
    TvCreateDescriptor* descriptor{}; // not owned
    char hit_sound[32]{};
    char alt_hit_sound[32]{};
    char explosion_sound[32]{};
    LgRGBA tint{};
    float flash_time{};
    LgAtomicCallBackRender saved_render_callback{};
};

// Seconds a struck object renders through the game's red deferred pass.
inline constexpr float kTvHitFlashSeconds = 0.25f;

// The base operations over an object's fields; derived kinds call these as their base.
namespace tvobject {
OmResult reset(TvObjectFields& o);
OmResult unload(TvObjectFields& o);
OmResult create(TvObjectFields& o, TvCreateDescriptor* descriptor);
OmResult destroy(TvObjectFields& o);
OmResult set_property(TvObjectFields& o, uint32_t id, uintptr_t value);
OmResult get_property(TvObjectFields& o, uint32_t id, uintptr_t* out);
OmResult update(TvObjectFields& o);
int32_t is_dead(const TvObjectFields& o);
} // namespace tvobject

// The owner links: which object a clump or atomic belongs to. Null while the plug-ins are
// not registered or the slice is empty.
ITvObject* TvClumpGetOwner(LgClump* clump);
void TvClumpSetOwner(LgClump* clump, ITvObject* owner);
TvObjectFields* TvAtomicGetOwner(LgAtomic* atomic);
void TvAtomicSetOwner(LgAtomic* atomic, TvObjectFields* owner);
// Registers the two owner-link plug-ins (0x601 clump, 0x602 atomic) with the engine; call
// before the engine opens. 1, or 0 when either registration failed.
int32_t TvOwnerLinkRegister();

// The flash hook: saves the atomic's render callback in the owner, links the atomic to it
// and installs TvFlashRenderCallback. Returns the atomic so clump walks go on.
LgAtomic* TvHookAtomicToObject(LgAtomic* atomic, void* owner_fields);
// Render callback of a hooked atomic: queued for the deferred red pass while the owner
// flashes, otherwise drawn through the saved callback.
LgAtomic* TvFlashRenderCallback(LgAtomic* atomic);

// The skeleton of a game object class answering `Interface` (ITvObject or an interface
// derived from it): the base fields, the reference count, and the base behaviour of every
// ITvObject operation. A derived kind overrides operations and calls the base through
// `TavrinObjectBase<Interface>::Operation` (or the tvobject:: functions).
template <class Interface>
class TavrinObjectBase : public Interface, public TvObjectFields, public OmAllocated {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ITvObject, this}});
    }
    uint32_t AddRef() override { return ++ref_count_; }
    // At the last reference the object's own Destroy runs (a derived one included), then
    // the object is freed.
    uint32_t Release() override {
        if (ref_count_ != 1) return --ref_count_;
        this->Destroy();
        delete this;
        return 0;
    }
    OmResult Reset() override { return tvobject::reset(*this); }
    OmResult Unload() override { return tvobject::unload(*this); }
    OmResult Create(TvCreateDescriptor* d) override { return tvobject::create(*this, d); }
    OmResult Destroy() override { return tvobject::destroy(*this); }
    OmResult SetProperty(uint32_t id, uintptr_t value) override {
        return tvobject::set_property(*this, id, value);
    }
    OmResult GetProperty(uint32_t id, uintptr_t* out) override {
        return tvobject::get_property(*this, id, out);
    }
    OmResult Render() override { return OM_S_OK; }
    OmResult Update() override { return tvobject::update(*this); }
    OmResult HandleEvent(const TvEvent*) override { return OM_E_FAIL; }
    OmResult AddDamage(float amount, int32_t) override {
        damage += amount;
        return OM_S_OK;
    }
    int32_t IsDead() override { return tvobject::is_dead(*this); }
    OmResult SetDamage(uint32_t, float value, uint32_t) override {
        damage = value;
        return OM_S_OK;
    }

    IUnknown* identity() { return static_cast<ITvObject*>(this); }
    uint32_t ref_count() const { return ref_count_; }

protected:
    TavrinObjectBase() { self = static_cast<ITvObject*>(this); }
    virtual ~TavrinObjectBase() = default;
    TavrinObjectBase(const TavrinObjectBase&) = delete;
    TavrinObjectBase& operator=(const TavrinObjectBase&) = delete;

private:
    uint32_t ref_count_ = 1;
};

// The plain base object, registered as "TavrinObject".
class TavrinObject final : public TavrinObjectBase<ITvObject> {};

OM_DECLARE_MODULE(TavrinObject);
inline OmResult TvRegisterObjectClass(IObjectManager* manager) {
    return TavrinObject_RegisterClasses(manager);
}
inline OmResult TvUnregisterObjectClass(IObjectManager* manager) {
    return TavrinObject_UnregisterClasses(manager);
}
inline OmResult TvGetObjectClassObject(const GUID& clsid, const GUID& iid, void** out) {
    return TavrinObject_GetClassObject(clsid, iid, out);
}
