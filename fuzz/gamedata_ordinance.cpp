// Fuzzes ordinance.ini: the weapon singleton (made once, on the engine started once over the
// scripted device) reloads the file from the storage in memory at each Create. Pictures and
// models the sections name are not served (their readers are fuzzed by the picture and
// engine harnesses), so those stay null.
// Checks: at most ten records, each name and ground-hit sound terminated; every number of a
// record is finite; framework and engine blocks balance over the reload (the previous load's
// records are released first).
//
// Input: ordinance.ini.
#include "fuzz/data_harness.h"
#include "fuzz/engine_harness.h"
#include "game/world/tv_weapon.h"

#include <cmath>
#include <cstring>

using fuzzing::require;

namespace {

struct Fixture {
    ComRef<ITvWeapon> weapon;
    Fixture() {
        fuzzing::start_data_framework();
        fuzzing::start_engine();
        require(TavrinWeapon_RegisterClasses(OmGetObjectManager()) >= 0, "the weapon class");
        require(OmCreate(CLSID_TavrinWeapon, IID_ITvWeapon, weapon.put()) >= 0, "the weapon");
        fuzzing::shared_files().put("objects/ordinance/ordinance.ini",
                                    std::string_view("[ordinance1]\nname=warm\n"));
        weapon->Create(nullptr); // the first load's lasting allocations
        fuzzing::shared_files().reset();
        weapon->Create(nullptr); // and empty again, as each input leaves it
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fixture& f = fixture();
    auto& files = fuzzing::shared_files();
    files.reset();
    files.put("objects/ordinance/ordinance.ini", std::span<const uint8_t>(data, size));
    {
        fuzzing::FrameworkBlocksBalanced framework_balanced;
        fuzzing::EngineBlocksBalanced engine_balanced;
        if (f.weapon->Create(nullptr) >= 0) {
            auto* weapon = static_cast<TavrinWeapon*>(f.weapon.get());
            require(weapon->ordnance_count() >= 0 && weapon->ordnance_count() <= kTvMaxOrdnance,
                    "at most ten records");
            const TvOrdinance* table = f.weapon->GetOrdinanceTable();
            for (int32_t i = 0; i < weapon->ordnance_count(); ++i) {
                const TvOrdinance& o = table[i];
                require(strnlen(o.name, sizeof o.name) < sizeof o.name &&
                            strnlen(o.ground_hit, sizeof o.ground_hit) < sizeof o.ground_hit,
                        "a record's texts are terminated");
                for (float v :
                     {o.size, o.release_speed, o.max_speed, o.accel, o.damage, o.blast, o.jitter})
                    require(std::isfinite(v), "a record's numbers are finite");
            }
        }
        // Back to the empty weapon, so that the balance covers this input's records.
        files.reset();
        f.weapon->Create(nullptr);
    }
    return 0;
}
