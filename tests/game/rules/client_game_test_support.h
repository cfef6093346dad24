// Shared set-up of the client game's tests: the real client game created through its class id
// on a fixture multiplayer mission (written as text, read by the mission and written back by
// the mission writer), the recording network client (tests/fixtures), and server-to-game
// packets built by the test server's encoder.
#pragma once

#include "framework/core/com_ref.h"
#include "game/rules/tavrin_client_game.h"
#include "game/rules/tavrin_net_plane.h"
#include "game/world/om_lg_particles.h"
#include "net/client/om_aerovant_client.h"
#include "net/messages/game_messages.h"
#include "platform/clock.h"
#include "tests/fixtures/recording_client.h"
#include "tests/game/rules/mission_test_support.h"
#include "tests/game/world/raster_device.h"
#include "tools/mpserver/mp_messages.h"

#include <filesystem>
#include <map>
#include <memory>

namespace clientgametest {

using fixtures::RecordingClient;
using fixtures::Sent;

inline ComRef<IBinaryStreamComposer> reader(std::span<const uint8_t> bytes) {
    ComRef<IBinaryStreamComposer> packet = fixtures::PacketReading(bytes);
    EXPECT_NE(packet.get(), nullptr);
    return packet;
}

// The queued messages of one type, read by the test server's decoder.
inline std::vector<mpserver::Message> decoded(const RecordingClient& client, uint16_t type) {
    std::vector<mpserver::Message> out;
    for (const Sent& m : client.queued) {
        if (m.type != type) continue;
        std::string reason;
        auto d = mpserver::decode(type, mpserver::Direction::ToServer, m.bytes.data(),
                                  m.bytes.size(), &reason);
        EXPECT_TRUE(d.has_value()) << "message " << type << ": " << reason;
        if (d) out.push_back(*d);
    }
    return out;
}

inline constexpr int32_t kFixtureMission = 61;
inline constexpr const char* kMap = "[map]\nmap = flat\noffset = 0 0 0\n";
// The multiplayer mission as its author writes it: no goals, no time limit, two plane types
// and two mission planes of its own (ids 7 and 8) that is no player's.
inline const std::string kMultiplayerMission =
    std::string(kMap) + "[archetypes]\nair = multitavrincamel multifokkertriplane\n"
                        "[air0]\nname = multifokkertriplane\nid = 7\ngroups = 512\n"
                        "pos = 700 400 700\nat = 0 0 1\nup = 0 1 0\nright = 1 0 0\n"
                        "[air1]\nname = multifokkertriplane\nid = 8\ngroups = 512\n"
                        "pos = 760 400 760\nat = 0 0 1\nup = 0 1 0\nright = 1 0 0\n";

class ClientGameTest : public missiontest::MissionTest {
protected:
    void SetUp() override {
        platform::use_virtual_clock(true);
        platform::set_virtual_time(100000);
        MissionTest::SetUp();
        IObjectManager* manager = OmGetObjectManager();
        ASSERT_EQ(TvRegisterCameraClass(manager), OM_S_OK);
        ASSERT_EQ(OmLgParticles_RegisterClasses(manager), OM_S_OK);
        ASSERT_EQ(TvRegisterNetPlaneClass(manager), OM_S_OK);
        ASSERT_EQ(TvRegisterClientGameClass(manager), OM_S_OK);
        write_plane({"multitavrincamel", 100.0f, 70.0f, "camelengine"});
        write_plane({"multifokkertriplane", 80.0f, 90.0f, "fokkerengine"});
        write_fixture_mission();
        rasters = std::make_unique<gametest::RasterDevice>();
        owned = std::make_unique<gametest::TestSettings>();
        client = new RecordingClient;
        TvGameSettings& s = settings();
        s.player_count = 8;
        s.suppress_default_plane = 1;
        s.enemy_endurance = s.standard_endurance = 1.0f;
        s.effects_detail = 1000;
        s.mission_number = kFixtureMission;
        s.network_client = client;
        itv = create_game();
        ASSERT_NE(itv, nullptr);
        game = static_cast<TavrinClientGame*>(itv);
        ASSERT_EQ(game->Create(&s), OM_S_OK);
    }
    void TearDown() override {
        if (game) {
            game->Destroy();
            itv->Release();
        }
        if (client) client->Release();
        owned.reset();
        rasters.reset();
        MissionTest::TearDown();
        platform::use_virtual_clock(false);
    }

    // The game under test: the registered class by default.
    virtual ITvGame* create_game() {
        ITvGame* made = nullptr;
        EXPECT_EQ(OmCreate(CLSID_TavrinClientGame, IID_ITvGame, reinterpret_cast<void**>(&made)),
                  OM_S_OK);
        return made;
    }

    // The mission text read and written again by the mission writer under the fixture number.
    void write_fixture_mission() {
        write_mission(kFixtureMission + 1, kMultiplayerMission);
        ComRef<ITvMission> mission = load(kFixtureMission + 1);
        std::filesystem::create_directories(std::filesystem::path(dir.path()) / "missions" /
                                            std::to_string(kFixtureMission));
        ASSERT_EQ(mission->SaveMission(kFixtureMission), OM_S_OK);
    }

    TvGameSettings& settings() { return owned->settings; }

    // A server message through the test server's encoder, handed to the client game.
    OmResult deliver(const mpserver::Message& m) {
        const std::vector<uint8_t> bytes = mpserver::encode(m, mpserver::Direction::ToClient);
        ComRef<IBinaryStreamComposer> packet = reader(bytes);
        return game->HandleMessage(packet.get(), m.type, 0);
    }

    // The player-info fields of a server's 19 or 20 for a slot at a position, heading +z.
    static mpserver::Message info(uint16_t type, int32_t slot, const std::string& plane,
                                  const std::string& name = "", int32_t status = 4,
                                  int32_t side = 0x102, LgVector at = {300, 400, 300}) {
        mpserver::Message m(type);
        m.set_text("name", name.empty() ? "pilot" + std::to_string(slot) : name)
            .set_text("plane", plane);
        m.set("status", status).set("side", side).set("object", 5000 + slot).set("kills", 0);
        m.set("slot", slot);
        const float words[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, at.x, at.y, at.z, 0};
        for (int i = 0; i < 16; ++i) m.set("matrix" + std::to_string(i), words[i]);
        m.set("matrix3", 3);
        m.set("ints0", 0).set("ints1", 0).set("ints2", 50).set("ints3", 1024);
        return m;
    }

    // The lobby's part of message 19: decoded, then the local player's join.
    OmResult join_local(int32_t slot, const std::string& plane = "multitavrincamel",
                        LgVector at = {300, 400, 300}, int32_t status = 4) {
        const mpserver::Message m = info(mpserver::msg::join, slot, plane, "me", status, 0x102, at);
        ComRef<IBinaryStreamComposer> packet =
            reader(mpserver::encode(m, mpserver::Direction::ToClient));
        const auto decoded = TvDecodeToClientJoinAccepted(packet.get());
        EXPECT_TRUE(decoded.has_value());
        if (!decoded) return OM_E_FAIL;
        return game->JoinLocalPlayer(&decoded->info, static_cast<int32_t>(decoded->slot));
    }
    OmResult join_remote(int32_t slot, const std::string& plane = "multifokkertriplane",
                         LgVector at = {500, 400, 500}, int32_t status = 4,
                         const std::string& name = "", int32_t side = 0x202) {
        return deliver(info(mpserver::msg::player_joined, slot, plane, name, status, side, at));
    }

    static uintptr_t value(ITvObject* object, uint32_t id) {
        uintptr_t v = 0;
        if (object) object->GetProperty(id, &v);
        return v;
    }
    static const LgMatrix* matrix(ITvObject* object) {
        return reinterpret_cast<const LgMatrix*>(value(object, kTvPropMatrix));
    }
    static TavrinNetPlane* net(ITvObject* object) {
        ITvPlane* plane = nullptr;
        if (!object ||
            object->QueryInterface(IID_ITvNetPlane, reinterpret_cast<void**>(&plane)) < 0)
            return nullptr;
        plane->Release();
        return static_cast<TavrinNetPlane*>(plane);
    }

    std::unique_ptr<gametest::RasterDevice> rasters;
    std::unique_ptr<gametest::TestSettings> owned;
    RecordingClient* client = nullptr;
    ITvGame* itv = nullptr;
    TavrinClientGame* game = nullptr;
};

} // namespace clientgametest
