// The multiplayer frame loop inside a whole session against the test server: the pause
// overlay and "Q", Escape while a chat line is typed, and a disconnection during the match.
#include "framework/io/binary_stream_composer.h"
#include "frontend/menus/menu_state.h"
#include "frontend/multiplayer/multiplayer_frames.h"
#include "frontend/multiplayer/session_context.h"
#include "frontend/setup/game_setup.h"
#include "net/client/om_aerovant_client.h"
#include "tests/frontend/multiplayer/session_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

namespace mptest {
namespace {

constexpr uint32_t key_escape = 0x80;
constexpr uint32_t key_q = 0x51;

std::function<void(long)> on_frame;
long last_frame = -1;

void frame_seen(long frame) {
    last_frame = frame;
    if (on_frame) on_frame(frame);
}

class FramesTest : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        last_frame = -1;
        on_frame = nullptr;
        TvSetMultiplayerFrameObserver(frame_seen);
    }
    void TearDown() override {
        on_frame = nullptr;
        SessionTest::TearDown();
    }
    void key_up(uint32_t code) {
        post_key(code, true);
        post_key(code, false);
    }
    // Into the match from the multiplayer page, and out through the main menu afterwards.
    void fly(std::vector<std::string> after_match = {"menus\\main.html"}) {
        std::vector<std::string> links = {"command:rejoin"};
        links.insert(links.end(), after_match.begin(), after_match.end());
        script_page("menus\\multiplayer.html", links);
    }
    bool game_got_key(uint32_t code) {
        return std::any_of(game_.inputs.begin(), game_.inputs.end(),
                           [&](const InputEvent& e) { return e.code == 0x10 && e.value == code; });
    }
};

TEST_F(FramesTest, QWithThePauseOverlayUpQuitsTheMatchAndTakesAKill) {
    auto server = serve(scenario("start"));
    ASSERT_TRUE(server);
    fly();
    bool overlay_seen = false;
    on_frame = [&](long frame) {
        if (frame == 2) key_up(key_escape);
        if (frame == 4) {
            overlay_seen = TvMultiplayerPauseShown();
            key_up(key_q);
        }
    };

    EXPECT_EQ(run_session(*server), OM_S_OK) << dump(*server);
    EXPECT_TRUE(overlay_seen);
    EXPECT_EQ(last_frame, 5) << dump(*server);
    EXPECT_EQ(TvMenus().last_outcome, 0x30);
    const int32_t slot = game_record().player_slots.at(0);
    EXPECT_EQ(game_record().kills_taken, std::vector<int32_t>{slot});
    EXPECT_EQ(game_record().planes[slot].properties[517], 7u);
    ASSERT_TRUE(server->wait_for(
        [](const std::vector<mpserver::LogEntry>& log) {
            return std::any_of(log.begin(), log.end(),
                               [](const mpserver::LogEntry& e) { return e.type == 22; });
        },
        5000))
        << dump(*server);
    // The pause page was drawn over the match, and the lobby went on after it.
    EXPECT_GT(game_.overlay_renders, 0);
    EXPECT_TRUE(std::find(pages_run().begin(), pages_run().end(), "menus\\multiplayer.html") !=
                pages_run().end());
}

// The match finishes in the very frame the player quits from the overlay: the finish stands
// (its page and vote follow) and the quit takes no kill.
TEST_F(FramesTest, AQuitInTheFrameTheMatchFinishedKeepsTheFinish) {
    auto server = serve(scenario("start"));
    ASSERT_TRUE(server);
    fly();
    on_frame = [&](long frame) {
        if (frame == 2) key_up(key_escape);
        if (frame == 4) {
            key_up(key_q);
            game_.forced = 0x100;
        }
    };

    EXPECT_EQ(run_session(*server), OM_S_OK);
    EXPECT_EQ(last_frame, 5) << dump(*server);
    EXPECT_EQ(TvMenus().last_outcome, 0x100);
    EXPECT_TRUE(game_record().kills_taken.empty());
}

TEST_F(FramesTest, QWithoutTheOverlayIsOnlyAKeyForTheGame) {
    auto server = serve(scenario("start"));
    ASSERT_TRUE(server);
    fly();
    on_frame = [&](long frame) {
        if (frame == 2) key_up(key_q);
        if (frame == 6) game_.forced = 0x200;
    };

    EXPECT_EQ(run_session(*server), OM_S_OK);
    EXPECT_EQ(last_frame, 7) << dump(*server);
    EXPECT_TRUE(game_got_key(key_q));
    EXPECT_EQ(TvMenus().last_outcome, 0x200);
    EXPECT_TRUE(game_record().kills_taken.empty());
}

TEST_F(FramesTest, EscapeWhileTypingAChatLineRaisesNoOverlay) {
    auto server = serve(scenario("start"));
    ASSERT_TRUE(server);
    fly();
    game_record().chat_active = true;
    bool overlay_seen = true;
    on_frame = [&](long frame) {
        if (frame == 2) key_up(key_escape);
        if (frame == 4) {
            overlay_seen = TvMultiplayerPauseShown();
            game_.forced = 0x100;
        }
    };

    EXPECT_EQ(run_session(*server), OM_S_OK);
    EXPECT_FALSE(overlay_seen);
    EXPECT_TRUE(game_got_key(key_escape)); // the chat line takes it
}

// The vote sent during the match is answered with 41 and 48: the loop ends after the frame
// in which 48 arrived, with the end flags 0x40, and the session ends on the disconnected page.
TEST_F(FramesTest, ADisconnectionEndsTheLoopAfterThatFrame) {
    auto server = serve(scenario("end"));
    ASSERT_TRUE(server);
    // 39 arrives with the join: the finished page, then back into the fight from it.
    script_page("menus\\finished.html", {"command:rejoin"});
    long disconnected_in = -1;
    on_frame = [&](long frame) {
        if (frame == 2) {
            IOmAerovantClient* client = TvGetNetworkClient();
            IBinaryStreamComposer* vote = client->NewPacket();
            int32_t map = 2, weight = 1;
            vote->Field(OM_FIELD_INTEGER, 8, &map);
            vote->Field(OM_FIELD_INTEGER, 8, &weight);
            client->Send(vote, 40, 0x91);
        }
        const auto& got = game_record().messages;
        if (disconnected_in < 0 && std::find(got.begin(), got.end(), 48) != got.end())
            disconnected_in = frame;
        // Time for the server to answer, frame by frame.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    };

    EXPECT_EQ(run_session(*server), OM_S_OK);
    ASSERT_GE(disconnected_in, 2) << dump(*server);
    EXPECT_EQ(last_frame, disconnected_in);
    EXPECT_EQ(TvMenus().last_outcome, 0x40);
    EXPECT_EQ(TvMenus().link, "menus\\disconnected.html");
    EXPECT_TRUE(game_record().kills_taken.empty());
}

} // namespace
} // namespace mptest
