// The weapon component: the ordnance kinds read from ordinance.ini and every projectile in
// flight (gun and anti-aircraft tracers, bombs, rockets), launched, moved, tested against the
// landscape, the world and the game objects, and drawn.
#pragma once

#include "game/world/tv_object.h"

struct IObjHash;
struct ITvGameProximity;
struct LgTexture;

inline constexpr GUID IID_ITvWeapon = om_guid("6F2B8C41-93D7-4E0A-B5A1-7C3E2D9F4B16");
inline constexpr GUID CLSID_TavrinWeapon = om_guid("A4E1D6C2-3B58-47F9-8E20-51C9B7A3D08E");

// Ordnance indexes; the index fixes the kind.
inline constexpr int32_t kTvOrdnanceGun = 0;    // tracer shell
inline constexpr int32_t kTvOrdnanceBomb = 1;   // model, falls, no thrust
inline constexpr int32_t kTvOrdnanceRocket = 2; // model, thrust, denser smoke
inline constexpr int32_t kTvOrdnanceFlak = 3;   // tracer shell, bursts at 10 s

inline constexpr int32_t kTvMaxOrdnance = 10;
inline constexpr int32_t kTvProjectileSlots = 512;

// One section of ordinance.ini.
struct TvOrdinance {
    char name[64];
    LgClump* model;     // template, owned; null when none
    LgTexture* texture; // owned; null when none
    float size;         // tracer half-width
    float release_speed;
    float max_speed;
    float accel;
    float damage; // per unit of blast radius when blast > 0
    float blast;
    float jitter;
    char ground_hit[32]; // sound name
};

// One slot of the projectile ring; free while `ordnance` is null.
struct TvProjectile {
    LgMatrix matrix;     // the tracers' own matrix
    LgMatrix* placement; // own matrix, or the model frame's matrix
    LgClump* model;      // clone of the ordnance model (bombs, rockets)
    LgFrame* frame;      // the clone's frame
    LgVector velocity;
    int32_t index;
    TvOrdinance* ordnance;
    ITvObject* owner; // one reference
    float trail_time;
    float age;
    ITvObject* hit_object; // found by the launch test; one reference
    float hit_time;
    LgVector hit_point;
    int32_t hit_triangle;
    char hit_texture[32];
    LgVector drift;
};

// The weapon's operations after those of a game object.
struct ITvWeapon : ITvObject {
    // Launches one projectile of the ordnance index from the launcher's matrix and velocity.
    // OM_E_FAIL for an index not loaded.
    virtual OmResult Launch(int32_t index, const LgMatrix* launcher, const LgVector* velocity,
                            ITvObject* owner) = 0;
    // Removes every projectile at once. 0.
    virtual OmResult Clear() = 0;
    // The first of the ten ordnance records.
    virtual TvOrdinance* GetOrdinanceTable() = 0;
    // The drift later launches copy. 0.
    virtual OmResult SetDrift(const LgVector* drift) = 0;
};

// The weapon: a singleton; a second create gives the same object with one more reference.
class TavrinWeapon final : public TavrinObjectBase<ITvWeapon> {
public:
    static TavrinWeapon* instance;

    OmResult QueryInterface(const GUID& iid, void** out) override;
    OmResult Reset() override;
    OmResult Create(TvCreateDescriptor* descriptor) override;
    OmResult Destroy() override;
    OmResult Render() override;
    OmResult Update() override;
    OmResult AddDamage(float, int32_t) override { return OM_S_OK; }
    int32_t IsDead() override { return 0; }
    OmResult SetDamage(uint32_t, float, uint32_t) override { return OM_S_OK; }

    OmResult Launch(int32_t index, const LgMatrix* launcher, const LgVector* velocity,
                    ITvObject* owner) override;
    OmResult Clear() override;
    TvOrdinance* GetOrdinanceTable() override { return ordnance_; }
    OmResult SetDrift(const LgVector* drift) override;

    int32_t ordnance_count() const { return ordnance_count_; }
    int32_t next_slot() const { return next_slot_; }
    const TvProjectile& slot(int32_t i) const { return projectiles_[i]; }
    TvProjectile& slot(int32_t i) { return projectiles_[i]; }
    uint32_t seed() const { return seed_; }
    float sound_timer() const { return sound_timer_; }

    ~TavrinWeapon() override;

private:
    // Reads ordinance.ini; see Create.
    OmResult load_ordnance();
    void release_ordnance();
    // Takes the projectile out: model removed and destroyed, owner released, slot free.
    void free_projectile(TvProjectile& p);
    // The launch-time segment test of a gun tracer.
    void launch_test(TvProjectile& p);
    void step(TvProjectile& p, float dt);
    bool hit_landscape(TvProjectile& p, const LgVector& from);
    void object_hits(TvProjectile& p, const LgVector& from);
    void tracer_hits(TvProjectile& p);
    // The reach of this step's tracer-versus-plane tests: the game's proximity walks and the
    // widest hit sphere of the planes; no walks (the whole lists) when the game has none.
    void begin_tracer_tests();
    void impact(TvProjectile& p, ITvObject* object);
    void splash(TvProjectile& p, const LgVector& centre);
    void detonate(TvProjectile& p, ITvObject* object);
    void play_impact_sound(TvProjectile& p);
    void smoke_trail(TvProjectile& p, float dt);
    bool outside_world(const TvProjectile& p) const;
    LgWorld* projectile_world(const TvProjectile& p) const;

    friend struct TvWeaponAccess;

    int32_t ordnance_count_ = 0;
    TvOrdinance ordnance_[kTvMaxOrdnance]{};
    int32_t next_slot_ = 0;
    TvProjectile projectiles_[kTvProjectileSlots]{};
    uint32_t seed_ = 0;
    IObjHash* hit_sounds_ = nullptr;
    float sound_timer_ = 0.0f;
    LgVector drift_{};
    ITvGameProximity* proximity_ = nullptr; // held only during Update
    float tracer_reach_ = 0.0f;
};

// The game the weapon's hit routines report to (set by the weapon's Create).
extern ITvGame* TvWeaponGame;

OM_DECLARE_MODULE(TavrinWeapon);
inline OmResult TvRegisterWeaponClass(IObjectManager* manager) {
    return TavrinWeapon_RegisterClasses(manager);
}
inline OmResult TvUnregisterWeaponClass(IObjectManager* manager) {
    return TavrinWeapon_UnregisterClasses(manager);
}
