// Fuzzes mission.ini: TavrinMission::LoadMission from the storage in memory, then
// SaveMission, LoadMission of what was saved and SaveMission again. The mission's neighbours
// are fakes registered under the real class ids, so each input costs the mission file's own
// reading and writing, not the loading of models, worlds and plane kinds (their files have
// harnesses of their own): the landscape loads a map whose map.ini exists ("flat") and hands
// out one small writer-made world read once; ground and vehicle kinds ("takeoffpoint",
// "hangar", "tent", "aagun", "ammodump") and plane kinds ("camel", "fokker") answer with an
// endurance, flags and a flight table as a loaded kind does, and an unknown kind fails to
// load and answers zeros, as a kind without files does. The mission's on-screen text (a
// renderer, a TrueType font and its cache) is left out: its renderer class is not registered,
// so the text chain stops at its first step as it does without a display.
// Checks: what was saved loads, and saving it again gives the same bytes (the fields that do
// not round-trip, such as the map offset and the safe height, are normalised by the first
// save and so compared as saved); the player plane name handed back is terminated; every
// kind the mission made is released by its unload, with the landscape it was given; framework
// and engine blocks balance over the loads, saves and unloads.
//
// Input: a byte choosing the mission number (1..9), then mission.ini.
#include "fuzz/gamedata_fixture.h"
#include "game/rules/tavrin_ai_plane.h"
#include "game/rules/tavrin_mission.h"
#include "game/world/tavrin_ai_ground_object.h"
#include "game/world/tavrin_ground_object.h"
#include "game/world/tv_bsp_landscape.h"
#include "game/world/tv_plane.h"

#include <cstring>
#include <string_view>

using fuzzing::require;

namespace {

const char* const kGroundKinds[] = {"takeoffpoint", "hangar", "tent", "aagun", "ammodump"};
const char* const kPlaneKinds[] = {"camel", "fokker"};
constexpr float kGroundEndurance = 30.0f;
constexpr float kPlaneEndurance = 60.0f;
constexpr float kPlaneHighSpeed = 100.0f;

// Fakes made and not yet released: every input must end with none.
int32_t live_fakes = 0;
// The one world every fake landscape hands out (read once, kept).
LgWorld* fixture_world = nullptr;

template <size_t N>
bool known(const char* const (&names)[N], const char* name) {
    for (const char* k : names)
        if (name && std::strcmp(k, name) == 0) return true;
    return false;
}

// What a kind keeps of the base object's properties the mission uses.
struct KindState {
    float endurance = 0.0f;
    uintptr_t flags = 0;
    uintptr_t user_value = 0;
    LgWorld* world = nullptr;
    ITvBSPLandscape* landscape = nullptr; // one reference held

    ~KindState() {
        if (landscape) landscape->Release();
    }
    OmResult set(uint32_t id, uintptr_t value) {
        switch (id) {
        case kTvPropFlags: flags = value; return OM_S_OK;
        case kTvPropUserValue: user_value = value; return OM_S_OK;
        case kTvPropWorld: world = reinterpret_cast<LgWorld*>(value); return OM_S_OK;
        case kTvPropLandscape: {
            auto* held = reinterpret_cast<ITvBSPLandscape*>(value);
            if (held) held->AddRef();
            if (landscape) landscape->Release();
            landscape = held;
            return OM_S_OK;
        }
        default: return OM_E_BADPROPERTY;
        }
    }
    OmResult get(uint32_t id, uintptr_t* out) {
        if (!out) return OM_E_FAIL;
        *out = 0;
        switch (id) {
        case kTvPropFlags: *out = flags; return OM_S_OK;
        case kTvPropUserValue: *out = user_value; return OM_S_OK;
        case kTvPropWorld: *out = reinterpret_cast<uintptr_t>(world); return OM_S_OK;
        case kTvPropLandscape: *out = reinterpret_cast<uintptr_t>(landscape); return OM_S_OK;
        case kTvPropEndurance: *out = reinterpret_cast<uintptr_t>(&endurance); return OM_S_OK;
        default: return OM_E_BADPROPERTY;
        }
    }
};

// The object operations a kind of either fake answers alike: nothing to draw or update.
template <class Derived, class Interface>
class FakeKind : public OmObject<Derived, Interface> {
public:
    FakeKind() { ++live_fakes; }
    ~FakeKind() { --live_fakes; }

    OmResult Reset() override { return OM_S_OK; }
    OmResult Unload() override { return OM_S_OK; }
    OmResult Create(TvCreateDescriptor*) override { return OM_S_OK; }
    OmResult Destroy() override { return OM_S_OK; }
    OmResult SetProperty(uint32_t id, uintptr_t value) override { return state.set(id, value); }
    OmResult GetProperty(uint32_t id, uintptr_t* out) override { return state.get(id, out); }
    OmResult Render() override { return OM_S_OK; }
    OmResult Update() override { return OM_S_OK; }
    OmResult HandleEvent(const TvEvent*) override { return OM_E_FAIL; }
    OmResult AddDamage(float, int32_t) override { return OM_S_OK; }
    int32_t IsDead() override { return 0; }
    OmResult SetDamage(uint32_t, float, uint32_t) override { return OM_S_OK; }

protected:
    KindState state;
};

// A ground or vehicle kind (both class ids).
class FakeGroundKind final : public FakeKind<FakeGroundKind, ITvGroundObject> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ITvGroundObject, this}, {&IID_ITvObject, this}});
    }
    OmResult LoadObject(const char* name) override {
        if (!known(kGroundKinds, name)) return OM_E_FAIL;
        state.endurance = kGroundEndurance;
        return OM_S_OK;
    }
    OmResult UseArchetype(ITvObject*) override { return OM_S_OK; }
};

// A plane kind.
class FakePlaneKind final : public FakeKind<FakePlaneKind, ITvPlane> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(
            iid, out, {{&IID_ITvAIPlane, this}, {&IID_ITvPlane, this}, {&IID_ITvObject, this}});
    }
    OmResult GetProperty(uint32_t id, uintptr_t* out) override {
        if (id != kTvPlanePropFlightTable) return state.get(id, out);
        if (!out) return OM_E_FAIL;
        *out = reinterpret_cast<uintptr_t>(&flight);
        return OM_S_OK;
    }
    OmResult LoadPlane(const char* name) override {
        if (!known(kPlaneKinds, name)) return OM_E_FAIL;
        state.endurance = kPlaneEndurance;
        flight.high_speed = kPlaneHighSpeed;
        return OM_S_OK;
    }
    OmResult DrawCockpitHud() override { return OM_S_OK; }
    OmResult TvPlaneFire(int32_t) override { return OM_E_FAIL; }
    OmResult TvPlaneGetNetState(void*) override { return OM_E_FAIL; }
    OmResult TvPlaneRespawn() override { return OM_S_OK; }
    OmResult TvPlanePickup(int32_t, int32_t) override { return OM_E_FAIL; }

private:
    TvFlightTable flight{};
};

// The landscape: a map loads when its map.ini is in the storage.
class FakeLandscape final : public OmObject<FakeLandscape, ITvBSPLandscape> {
public:
    FakeLandscape() { ++live_fakes; }
    ~FakeLandscape() { --live_fakes; }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ITvBSPLandscape, this}});
    }
    OmResult Reset() override { return OM_S_OK; }
    OmResult Unload() override { return FreeMap(); }
    OmResult LoadMap(const char* name) override {
        FreeMap();
        std::string bytes;
        if (!name || !fuzzing::shared_files().get(std::string("maps/") + name + "/map.ini", bytes))
            return OM_E_FAIL;
        world = fixture_world;
        return OM_S_OK;
    }
    OmResult FreeMap() override {
        world = nullptr;
        return OM_S_OK;
    }
    OmResult LoadTestMap(const char*) override { return OM_E_FAIL; }
    OmResult GetWorld(LgWorld** out) override {
        if (!out) return OM_E_FAIL;
        *out = world;
        return OM_S_OK;
    }
    OmResult RenderSky(ITvObject*) override { return OM_S_OK; }
    OmResult RenderLensFlare(ITvObject*) override { return OM_S_OK; }
    OmResult UpdateView(LgCamera*) override { return OM_S_OK; }
    OmResult LineHitPoint(LgCollisionPrimitive*, LgVector*) override { return OM_E_FAIL; }
    OmResult LineHitOrient(LgCollisionPrimitive*, LgMatrix*) override { return OM_E_FAIL; }
    OmResult LineHitFraction(LgCollisionPrimitive*, float*) override { return OM_E_FAIL; }
    OmResult GetFogColour(LgRGBA* out) override {
        if (!out) return OM_E_FAIL;
        *out = {};
        return OM_S_OK;
    }
    OmResult SetFogColourFromSky(const LgVector*) override { return OM_S_OK; }
    OmResult HeightAboveGround(const LgVector*, float*) override { return OM_E_FAIL; }

private:
    LgWorld* world = nullptr;
};

const OmClassRecord kFakeClasses[] = {
    {&CLSID_TavrinGroundObject, nullptr, nullptr, OmCreateComponent<FakeGroundKind>,
     "TavrinGroundObject"},
    {&CLSID_TavrinAIGroundObject, nullptr, nullptr, OmCreateComponent<FakeGroundKind>,
     "TavrinAIGroundObject"},
    {&CLSID_TavrinAIPlane, nullptr, nullptr, OmCreateComponent<FakePlaneKind>, "TavrinAIPlane"},
    {&CLSID_TavrinBSPLandscape, nullptr, nullptr, OmCreateComponent<FakeLandscape>,
     "TavrinBSPLandscape"},
};

OmResult fake_class_object(const GUID& clsid, const GUID& iid, void** out) {
    return OmGetClassObjectFromTable(kFakeClasses, int32_t(std::size(kFakeClasses)), clsid, iid,
                                     out);
}

// A world file's bytes: one untextured, prelit quad of `size` at `height` (no texture, so
// the world kept across inputs leaves nothing in the texture dictionary).
std::string plain_world(float height, float size) {
    namespace mw = modelwriter;
    mw::TriangleSoup soup;
    mw::Material m;
    m.colour = {255, 255, 255, 255};
    soup.materials.push_back({-1, m});
    soup.positions = {{0, height, 0}, {0, height, size}, {size, height, size}, {size, height, 0}};
    for (int i = 0; i < 4; ++i) soup.prelit.push_back({200, 200, 200, 255});
    soup.triangles = {{0, 1, 3, 0}, {1, 2, 3, 0}};
    mw::BuildOptions options;
    options.flags = mw::worldPrelit;
    options.margin = height;
    std::optional<mw::World> world = mw::build_world(soup, options);
    require(world.has_value(), "a plain world is built");
    std::vector<uint8_t> out;
    require(bool(mw::write_world(*world, out)), "a plain world is written");
    return std::string(out.begin(), out.end());
}

LgWorld* read_world(const std::string& bytes) {
    fuzzing::MemoryReadStream stream(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    require(LgStreamFindChunk(stream.get(), LgChunkWorld, nullptr, nullptr) == 1,
            "the plain world has its chunk");
    return LgWorldStreamRead(stream.get());
}

struct Fixture {
    ComRef<ITvMission> mission;
    Fixture() {
        fuzzing::start_game_data();
        IObjectManager* manager = OmGetObjectManager();
        require(TvRegisterMissionClass(manager) >= 0 &&
                    OmRegisterClassTable(kFakeClasses, int32_t(std::size(kFakeClasses)),
                                         fake_class_object, manager) >= 0,
                "the mission's classes");
        fixture_world = read_world(plain_world(150.0f, 4000.0f));
        require(fixture_world != nullptr, "the plain world reads");
        require(OmCreate(CLSID_TavrinMission, IID_ITvMission, mission.put()) >= 0, "a mission");
        // What the first mission loaded makes once: made here, outside the balance checks.
        serve(1, "[map]\nmap=flat\n[archetypes]\nground=hangar\nair=camel\nvehicle=aagun\n"
                 "[ground0]\nname=hangar\nid=3\n[air0]\nname=camel\nid=4\n");
        char plane[kTvPlayerPlaneNameSize] = {};
        mission->LoadMission(1, plane);
        mission->Unload();
        fuzzing::shared_files().reset();
    }
    ~Fixture() {
        mission = {};
        if (fixture_world) LgWorldDestroy(fixture_world);
        fixture_world = nullptr;
    }
    static void serve(int32_t number, std::string_view ini) {
        auto& files = fuzzing::shared_files();
        files.reset();
        files.put("maps/flat/map.ini", std::string_view("[appearance]\nbsp=flat\n"));
        files.put("missions/" + std::to_string(number) + "/mission.ini", ini);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

std::string mission_file(int32_t number) {
    std::string bytes;
    fuzzing::shared_files().get("missions/" + std::to_string(number) + "/mission.ini", bytes);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fixture& f = fixture();
    fuzzing::FuzzInput input(data, size);
    const int32_t number = input.byte() % 9 + 1;
    f.serve(number, fuzzing::as_text(input.rest()));
    {
        fuzzing::FrameworkBlocksBalanced framework_balanced;
        fuzzing::ModelRunBalanced engine_balanced(fuzzing::start_model_engine());
        char plane[kTvPlayerPlaneNameSize] = {};
        if (f.mission->LoadMission(number, plane) >= 0) {
            require(strnlen(plane, sizeof plane) < sizeof plane,
                    "the player plane name is terminated");
            require(f.mission->SaveMission(number) >= 0, "a loaded mission saves");
            const std::string saved = mission_file(number);
            f.mission->Unload();
            require(live_fakes == 0, "an unloaded mission holds no kind and no landscape");
            char again[kTvPlayerPlaneNameSize] = {};
            require(f.mission->LoadMission(number, again) >= 0, "a saved mission loads");
            require(f.mission->SaveMission(number) >= 0, "a reloaded mission saves");
            require(mission_file(number) == saved, "saving a saved mission gives the same file");
        }
        f.mission->Unload();
        require(live_fakes == 0, "an unloaded mission holds no kind and no landscape");
        fuzzing::shared_files().reset();
    }
    return 0;
}
