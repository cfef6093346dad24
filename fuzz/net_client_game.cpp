// Fuzzes the client game in a match: TavrinClientGame's HandleMessage applying the server's
// in-match messages (players joining and leaving, the 72-byte plane records of message 25,
// statuses, respawns, damage, kills, plane and side changes, remote fire, chat, the clock and
// the match's end) to a joined match, with frames on the virtual clock in between so that the
// received state is flown, the local plane's reports, system events and the lobby's calls.
//
// The match is made once: the mission (map "flat" with a writer-made world, plane kinds
// "multitavrincamel" and "multifokkertriplane" and the pickup kind "ammodump", each a
// writer-made box) is read from the shared storage in memory, the local player joins slot 0
// and two remote players slots 1 and 2. After every input the game's RestartMatch puts the
// saved match back on the loaded mission without reading a file. The weapons are a stand-in
// under the weapons' class id that keeps no projectile; explosions are only checked.
//
// Checks, after every step: no plane (the players' and the mission's) has a NaN or an infinity
// in its matrix, velocity, speed, throttle, bank or its network curve; no object's damage is
// one; every player's name and plane id end inside their 32 bytes; chat lines hold no NUL and
// at most 287 characters; every shot launched and every explosion started is finite; every
// message the game sends reads back through the test server's decoder. Framework blocks and
// engine objects balance over each input and the restart after it.
//
// Input: steps (fuzz/client_game_input.h).
#include "engine/world/lg_clump.h"
#include "framework/io/binary_stream_composer.h"
#include "fuzz/client_game_input.h"
#include "fuzz/gamedata_fixture.h"
#include "game/rules/tavrin_ai_plane.h"
#include "game/rules/tavrin_client_game.h"
#include "game/rules/tavrin_mission.h"
#include "game/rules/tavrin_net_plane.h"
#include "game/world/om_lg_particles.h"
#include "game/world/tavrin_bsp_landscape.h"
#include "game/world/tavrin_camera.h"
#include "game/world/tavrin_ground_object.h"
#include "game/world/tv_effects.h"
#include "game/world/tv_plane.h"
#include "game/world/tv_weapon.h"
#include "net/client/om_aerovant_client.h"
#include "net/messages/game_messages.h"
#include "net/transport/om_transport.h"
#include "net/transport/packet_queue.h"
#include "platform/clock.h"
#include "tests/fixtures/game_neighbours.h"
#include "tests/fixtures/recording_client.h"
#include "tools/mpserver/mp_messages.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using fuzzing::require;

namespace {

constexpr uint32_t kStartMs = 100000;
constexpr size_t kMaxSteps = 64;

// --- Neighbours ------------------------------------------------------------------------------

using fixtures::RecordingClient;
using fixtures::Sent;

// A packet reading `bytes`, as the packet queue hands a received message over.
ComRef<IBinaryStreamComposer> reader(std::span<const uint8_t> bytes) {
    ComRef<IBinaryStreamComposer> packet = fixtures::PacketReading(bytes);
    require(packet.get() != nullptr, "a composer is made");
    return packet;
}

bool finite(float v) {
    return std::isfinite(v);
}
bool finite(const LgVector& v) {
    return finite(v.x) && finite(v.y) && finite(v.z);
}
bool finite(const LgMatrix& m) {
    return finite(m.right) && finite(m.up) && finite(m.at) && finite(m.pos);
}

// The weapons: every launch must be finite; no projectile is kept.
class CheckingWeapon final : public TavrinObjectBase<ITvWeapon> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ITvObject, this}, {&IID_ITvWeapon, this}});
    }
    OmResult Launch(int32_t, const LgMatrix* m, const LgVector* v, ITvObject*) override {
        require(m && v && finite(*m) && finite(*v), "a shot from the network is finite");
        return OM_S_OK;
    }
    OmResult Clear() override { return OM_S_OK; }
    TvOrdinance* GetOrdinanceTable() override { return table; }
    OmResult SetDrift(const LgVector*) override { return OM_S_OK; }
    TvOrdinance table[kTvMaxOrdnance]{};
};

OmResult create_weapon(IUnknown* outer, IUnknown** out) {
    if (outer) return OM_E_NOAGGREGATION;
    auto* weapon = new CheckingWeapon;
    weapon->table[kTvOrdnanceBomb].release_speed = 100.0f;
    weapon->table[kTvOrdnanceRocket].release_speed = 150.0f;
    *out = static_cast<ITvObject*>(weapon);
    return OM_S_OK;
}

const OmClassRecord weapon_classes[] = {
    {&CLSID_TavrinWeapon, nullptr, nullptr, create_weapon, "TavrinWeapon"}};
OM_DEFINE_MODULE(CheckingWeapon, weapon_classes)

OmResult check_explosion(const LgVector* position, float size, uint32_t) {
    require(position && finite(*position) && finite(size), "an explosion is finite");
    return OM_S_OK;
}

// --- The match -------------------------------------------------------------------------------

constexpr char kPlaneIni[] = "[physics]\nhighspeed=100\ncruisespeed=80\nstallspeed=35\n"
                             "divespeed=110\nclimbspeed=30\naccel=10\nroll=90\nturn=45\n"
                             "pitch=45\n[collision]\ndownlength=1.5\n[armaments]\nendurance=80\n"
                             "firerate=10\nfireon=1\nfireoff=1\n[appearance]\ndff=box.dff\n"
                             "[sound]\nengine=Engine\nmachinegun=Gun\n";
constexpr char kPickupIni[] =
    "[appearance]\ndff=box.dff\n[physics]\nendurance=30\n[behaviour]\npickup=health\n";
constexpr char kMissionIni[] =
    "[map]\nmap=flat\noffset=0 0 0\n"
    "[archetypes]\nair=multitavrincamel multifokkertriplane\nground=ammodump\n"
    "[air0]\nname=multifokkertriplane\nid=7\ngroups=512\npos=700 400 700\nat=0 0 1\n"
    "up=0 1 0\nright=1 0 0\n"
    "[air1]\nname=multifokkertriplane\nid=8\ngroups=256\npos=760 400 760\nat=0 0 1\n"
    "up=0 1 0\nright=1 0 0\n"
    "[ground0]\nname=ammodump\nid=3\npos=400 150 400\n";

TvPlayerInfo player(const char* name, const char* plane, uint32_t side, LgVector at,
                    uint32_t object) {
    TvPlayerInfo info{};
    std::snprintf(info.name, sizeof info.name, "%s", name);
    std::snprintf(info.planeId, sizeof info.planeId, "%s", plane);
    info.sideFlags = side;
    const float words[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, at.x, at.y, at.z, 0};
    std::memcpy(info.matrix, words, sizeof words);
    info.status = kTvPlaneTaxiing;
    info.word = object;
    info.extra[2] = 50;
    info.extra[3] = 1024;
    return info;
}

// A server's message 20 for a remote player, as the test server encodes it.
std::vector<uint8_t> joined(int32_t slot, const char* name, LgVector at) {
    mpserver::Message m(mpserver::msg::player_joined);
    m.set_text("name", name).set_text("plane", "multifokkertriplane");
    m.set("status", 4).set("side", 0x202).set("object", 5000 + slot).set("kills", 0);
    m.set("slot", slot);
    const float words[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, at.x, at.y, at.z, 0};
    for (int i = 0; i < 16; ++i) m.set("matrix" + std::to_string(i), words[i]);
    m.set("matrix3", 3);
    return mpserver::encode(m, mpserver::Direction::ToClient);
}

struct Match {
    std::string box, world;
    // Made once the framework runs (its allocator serves them).
    fixtures::ManualTimer* timer = nullptr;
    fixtures::RecordingProfiler* profiler = nullptr;
    RecordingClient* client = nullptr;
    TvGameSettings settings{};
    TavrinClientGame* game = nullptr;
    TvClientMatchState saved;

    Match() {
        fuzzing::start_game_data();
        timer = new fixtures::ManualTimer;
        timer->total_ms = kStartMs;
        profiler = new fixtures::RecordingProfiler;
        client = new RecordingClient;
        require(timer && profiler && client && client->queue, "the match's neighbours are made");
        IObjectManager* manager = OmGetObjectManager();
        require(TvRegisterMissionClass(manager) >= 0 && TvRegisterPlaneClass(manager) >= 0 &&
                    TvRegisterAIPlaneClass(manager) >= 0 && TvRegisterNetPlaneClass(manager) >= 0 &&
                    TvRegisterClientGameClass(manager) >= 0 &&
                    TvRegisterCameraClass(manager) >= 0 &&
                    OmLgParticles_RegisterClasses(manager) >= 0 &&
                    TvRegisterGroundObjectClass(manager) >= 0 &&
                    TvRegisterBSPLandscapeClass(manager) >= 0 &&
                    CheckingWeapon_RegisterClasses(manager) >= 0,
                "the match's classes");
        TvEffectHooks hooks{};
        hooks.spawn_explosion = check_explosion;
        hooks.spawn_smoke = check_explosion;
        TvInstallEffectHooks(&hooks);

        // The pictures every plane (its cockpit), the mission (its goal icons) and the map
        // (the world's texture, the detail) ask for wait in the texture dictionary, so what is
        // made again finds them there instead of searching the disk.
        LgTexDictionary* dictionary = fuzzing::start_model_engine();
        std::vector<std::string> pictures = {
            "speeddial.bmp", "speedo.bmp",     "smalltarget.bmp", "gun.bmp",       "smallally.bmp",
            "protect.bmp",   "smicons.bmp",    "smallenemy.bmp",  "planeicon.bmp", "compass.bmp",
            "turbo.bmp",     "bullethole.bmp", "bomb.bmp",        "rocket.bmp",    "splat.bmp",
            "detail",        "planks"};
        for (int32_t code : kTvEditorGoalTypes) pictures.push_back(std::to_string(code));
        for (const std::string& name : pictures) {
            if (LgTexDictionaryFindNamedTexture(dictionary, name.c_str())) continue;
            LgTexture* texture =
                LgTextureCreate(LgRasterCreate(4, 4, 32, LgRasterTypeTexture | 0x500));
            require(texture != nullptr, "a picture is made");
            LgTextureSetName(texture, name.c_str());
            LgTexDictionaryAddTexture(dictionary, texture);
        }

        box = fuzzing::box_model(2.0f);
        world = fuzzing::flat_world(150.0f, 4000.0f);
        auto& files = fuzzing::shared_files();
        files.put("maps/flat/map.ini", std::string_view("[appearance]\nbsp=flat\n"));
        files.put("maps/flat/flat.bsp", std::string_view(world));
        for (const char* kind : {"multitavrincamel", "multifokkertriplane"}) {
            files.put(std::string("objects/planes/") + kind + "/plane.ini",
                      std::string_view(kPlaneIni));
            files.put(std::string("objects/planes/") + kind + "/box.dff", std::string_view(box));
        }
        // The map's pictures, which the landscape puts in the dictionary for the planes.
        const std::string picture = fuzzing::texture_files().front().second;
        files.put("maps/flat/map.bmp", std::string_view(picture));
        files.put("maps/flat/mapwater.bmp", std::string_view(picture));
        files.put("objects/ground/ammodump/ground.ini", std::string_view(kPickupIni));
        files.put("objects/ground/ammodump/box.dff", std::string_view(box));
        files.put("missions/" + std::to_string(fuzzing::kClientFixtureMission) + "/mission.ini",
                  std::string_view(kMissionIni));

        settings.size = sizeof settings;
        settings.player_count = 8;
        settings.width = 640;
        settings.height = 480;
        settings.far_clip = 1500.0f;
        settings.effects_detail = 1000;
        settings.mission_number = fuzzing::kClientFixtureMission;
        settings.keyboard_device = 0x101;
        settings.mouse_device = 0x102;
        settings.timer_device = kTvTimerDeviceId;
        settings.enemy_endurance = settings.standard_endurance = 1.0f;
        settings.suppress_default_plane = 1;
        settings.network_client = static_cast<IOmAerovantClient*>(client);
        settings.timer = timer;
        settings.profiler = profiler;

        ITvGame* itv = nullptr;
        require(OmCreate(CLSID_TavrinClientGame, IID_ITvGame, reinterpret_cast<void**>(&itv)) >= 0,
                "the client game is made");
        game = static_cast<TavrinClientGame*>(itv);
        require(game->Create(&settings) >= 0, "the match's mission loads");
        const TvPlayerInfo me = player("me", "multitavrincamel", 0x102, {300, 400, 300}, 5000);
        require(game->JoinLocalPlayer(&me, 0) >= 0, "the local player joins");
        const std::vector<uint8_t> second = joined(1, "pilot1", {100, 500, 100});
        const std::vector<uint8_t> third = joined(2, "pilot2", {900, 400, 900});
        require(game->HandleMessage(reader(second).get(), mpserver::msg::player_joined, 0) >= 0 &&
                    game->HandleMessage(reader(third).get(), mpserver::msg::player_joined, 0) >= 0,
                "the remote players join");
        require(game->GetPlayerPlane(0) && game->GetPlayerPlane(1) && game->GetPlayerPlane(2) &&
                    game->GetObjectById(7) && game->GetObjectById(3),
                "the match has its planes and its pickup");
        saved = game->SaveMatch();
        // What a first restart makes once (free-list growth, the containers' room) is made
        // here, so that an input's allocations balance.
        reset();
        reset();
    }

    // The match ends before the engine it draws on stops (made earlier, stopped later).
    ~Match() {
        game->Destroy();
        game->Release();
        client->Release();
        profiler->Release();
        timer->Release();
        TvInstallEffectHooks(nullptr);
    }
    Match(const Match&) = delete;
    Match& operator=(const Match&) = delete;

    void reset() {
        require(game->RestartMatch(saved) >= 0, "the match restarts");
        client->queued.clear();
        profiler->stages.clear();
        timer->total_ms = kStartMs;
        platform::set_virtual_time(kStartMs);
    }
};

Match& match() {
    static Match m;
    return m;
}

// --- Checks ----------------------------------------------------------------------------------

bool terminated(const char (&text)[32]) {
    return std::memchr(text, 0, sizeof text) != nullptr;
}

void check_plane(ITvObject* object) {
    // Planes answer their plane interface; the AI planes (the mission's and, through them, the
    // network-driven ones) only their own, which is the same table.
    ITvPlane* plane = nullptr;
    if ((object->QueryInterface(IID_ITvPlane, reinterpret_cast<void**>(&plane)) < 0 || !plane) &&
        (object->QueryInterface(IID_ITvAIPlane, reinterpret_cast<void**>(&plane)) < 0 || !plane))
        return;
    auto* p = static_cast<TavrinPlane*>(plane);
    plane->Release();
    require(!p->matrix || finite(*p->matrix), "a plane's matrix is finite");
    require(!p->model_matrix || finite(*p->model_matrix), "a plane's model matrix is finite");
    require(finite(p->velocity) && finite(p->speed) && finite(p->throttle) && finite(p->bank),
            "a plane's velocity, speed, throttle and bank are finite");
    ITvPlane* net = nullptr;
    if (object->QueryInterface(IID_ITvNetPlane, reinterpret_cast<void**>(&net)) < 0 || !net) return;
    auto* n = static_cast<TavrinNetPlane*>(net);
    net->Release();
    require(finite(n->turn_axis) && finite(n->turn_rate) && finite(n->curve[0]) &&
                finite(n->curve[1]) && finite(n->curve[2]) && finite(n->curve[3]) &&
                finite(n->curve_t) && finite(n->parameter_rate) && finite(n->target_orientation) &&
                finite(n->segment_rotation) && finite(n->aim),
            "a network plane's curve and turn are finite");
}

void check_state(TavrinClientGame* game) {
    for (int32_t i = 0; i < game->master_count(); ++i) {
        ITvObject* object = game->master_object(i);
        if (!object) continue;
        uintptr_t damage = 0;
        if (object->GetProperty(kTvPropDamage, &damage) >= 0 && damage)
            require(finite(*reinterpret_cast<const float*>(damage)),
                    "an object's damage is finite");
        check_plane(object);
    }
    for (int32_t slot = 0; slot < game->GetPlayerSlotCount(); ++slot) {
        if (ITvObject* plane = game->GetPlayerPlane(slot)) check_plane(plane);
        const TvPlayerInfo* r = game->GetPlayerRecord(slot);
        if (!r) continue;
        require(terminated(r->name) && terminated(r->planeId),
                "a player's name and plane id are terminated");
        // The rows and the position; words 3, 7, 11 and 15 are the flag and pad words.
        for (int i = 0; i < 16; ++i)
            for (int i = 0; i < 16; ++i)
                require(i % 4 == 3 || finite(r->matrix[i]), "a player's matrix is finite");
    }
    for (int32_t i = 0; i < kTvChatLineCount; ++i) {
        const std::string& line = game->chat_history(i);
        require(line.size() <= 287 && line.find('\0') == std::string::npos,
                "a chat line is a text of at most 287 characters");
    }
}

// What the game sent reads back through the test server's decoder; then it is gone.
void check_sent(RecordingClient* client) {
    for (const Sent& m : client->queued) {
        std::string reason;
        const auto decoded = mpserver::decode(m.type, mpserver::Direction::ToServer, m.bytes.data(),
                                              m.bytes.size(), &reason);
        if (!decoded)
            std::fprintf(stderr, "fuzz: sent message %u: %s\n", unsigned(m.type), reason.c_str());
        require(decoded.has_value(), "what the game sends decodes at the server");
    }
    client->queued.clear();
}

// --- Engine balance ----------------------------------------------------------------------------

class EngineBalanced {
public:
    EngineBalanced()
        : live_(enginetest::CountingMemory::live), taken_(fuzzing::FreeListCounts::taken),
          given_(fuzzing::FreeListCounts::given), grown_(fuzzing::FreeListCounts::grown),
          textures_(fuzzing::count_textures(fuzzing::start_model_engine())) {}
    ~EngineBalanced() {
        using fuzzing::FreeListCounts;
        const long entries = (FreeListCounts::taken - taken_) - (FreeListCounts::given - given_);
        const long blocks =
            (enginetest::CountingMemory::live - live_) - (FreeListCounts::grown - grown_);
        if (entries != 0 || blocks != 0) {
            std::fprintf(stderr, "fuzz: engine objects leaked: %ld entries, %ld blocks\n", entries,
                         blocks);
            std::abort();
        }
        require(fuzzing::count_textures(fuzzing::start_model_engine()) == textures_,
                "the texture dictionary holds what it held");
    }
    EngineBalanced(const EngineBalanced&) = delete;
    EngineBalanced& operator=(const EngineBalanced&) = delete;

private:
    long live_, taken_, given_, grown_;
    int textures_;
};

void step(Match& m, fuzzing::FuzzInput& input) {
    TavrinClientGame* game = m.game;
    switch (input.byte() % fuzzing::kClientOpCount) {
    case fuzzing::kClientOpFrame: {
        const uint32_t ms = 1 + 4u * input.byte();
        m.timer->total_ms += ms;
        platform::advance_virtual_clock(ms);
        const InputEvent tick{kTvTimerDeviceId, kTvInputTimerEvent, 0, ms};
        game->HandleInput(&tick);
        game->Update();
        break;
    }
    case fuzzing::kClientOpReport: m.client->queue->Pump(0); break;
    case fuzzing::kClientOpSystem: {
        const uint8_t b = input.byte();
        OmTransportMessage event{};
        if (b & 1) {
            event.kind = OM_TRANSPORT_SESSION_LOST;
        } else {
            const TvPlayerInfo* r = game->GetPlayerRecord((b >> 1) % 8);
            event.kind = OM_TRANSPORT_PORT_DESTROYED;
            event.sender = r ? r->networkId : 0;
        }
        TvClientGameSystemEvent(reinterpret_cast<uintptr_t>(static_cast<ITvClientGame*>(game)),
                                &event);
        break;
    }
    case fuzzing::kClientOpLobby:
        switch (input.byte() % 3) {
        case 0: game->ClearOutcome(); break;
        case 1: {
            int32_t words[2] = {};
            for (int32_t& w : words)
                for (int i = 0; i < 4; ++i)
                    w = int32_t(uint32_t(w) | uint32_t(input.byte()) << (8 * i));
            game->SetClock(words[0], words[1]);
            break;
        }
        default: {
            std::string html;
            require(game->BuildScoreboard(&html) >= 0 && html.find('\0') == std::string::npos,
                    "the scoreboard is a text");
        }
        }
        break;
    default: {
        const uint16_t type =
            fuzzing::kClientMessageTypes[input.byte() % fuzzing::kClientMessageTypeCount];
        const auto bytes = input.part();
        ComRef<IBinaryStreamComposer> packet = reader(bytes);
        TvClientGameMessageHandler(static_cast<ITvClientGame*>(game), 0, packet.get(), type, 0);
    }
    }
    check_state(game);
    check_sent(m.client);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    match();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Match& m = match();
    {
        fuzzing::FrameworkBlocksBalanced framework_balanced;
        EngineBalanced engine_balanced;
        fuzzing::FuzzInput input(data, size);
        for (size_t n = 0; n < kMaxSteps && !input.empty(); ++n) step(m, input);
        m.reset();
    }
    return 0;
}
