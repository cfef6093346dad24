// Seeds of the lobby harness: from each start state, every message the test server sends to a
// client (written by the server's own encoder with valid fields), the system events, and the
// lobby's own ways on (the respawn and time sync, a side and plane choice, a map vote).
#include "fuzz/seeds/seed_set.h"
#include "tools/mpserver/mp_messages.h"

#include <string>
#include <vector>

namespace {

using mpserver::Message;

constexpr uint8_t end_op = 0xe0;
constexpr uint8_t event_op = 0xc0;
constexpr uint8_t start_count = 8;
// Indexes of the harness's link table.
constexpr uint8_t link_timeout = 0, link_rejoin = 1, link_choose_side = 5, link_allied = 6,
                  link_plane_choice = 12, link_vote = 13;

void identity(Message& m, const std::string& name) {
    for (int i : {0, 5, 10}) m.set(name + std::to_string(i), 1.0);
}

void player(Message& m) {
    m.set_text("name", "Otto Brandt").set_text("plane", "multifokkertriplane");
    m.set("status", 7).set("side", 0x202).set("object", 5001).set("kills", 2);
    identity(m, "matrix");
}

// A message of `type` to the client with fields the server's decoder accepts.
Message sample(uint16_t type) {
    namespace msg = mpserver::msg;
    Message m(type);
    m.set("slot", 1).set("id", 77).set("time", 500000).set("object", 5001);
    switch (type) {
    case msg::join:
        player(m);
        m.set("slot", 0);
        break;
    case msg::player_joined: player(m); break;
    case msg::game_parameters: m.set("mission", 102).set("slot", 0); break;
    case msg::respawn:
        identity(m, "matrix");
        m.set("slot", 0);
        break;
    case msg::status: m.set("status", 2); break;
    case msg::time_answer: m.set("difference", 0); break;
    case msg::damage: m.set("target", 5001).set("attacker", 5000).set("damage", 10); break;
    case msg::plane_change: m.set_text("plane", "multisopwithcamel"); break;
    case msg::side_change: m.set("side", 9); break;
    case msg::kill_scored: m.set("kills", 3).set("victim", 5000); break;
    case msg::new_mission: m.set("mission", 2); break;
    case msg::remote_fire:
        m.set("kind", 2).set("speed", 300).set("shooter", 5001);
        m.set_vector("pos", 10, 20, 30).set_vector("dirA", 1, 0, 0).set_vector("dirB", 0, 0, 1);
        m.set_vector("aim", 0, 1, 0);
        break;
    case msg::chat: m.set_text("text", "hello"); break;
    case msg::aim: m.set_vector("dir", 0, 0, 1); break;
    case msg::echo: m.set("a", 1).set("b", 2).set("value", 0.5); break;
    default: break;
    }
    return m;
}

void message(fuzzing::FuzzInputWriter& input, const Message& m) {
    input.byte(uint8_t(m.type - 17)).part(mpserver::encode(m, mpserver::Direction::ToClient));
}

// The end of a poll with the clock moved by step^2 ms.
void end(fuzzing::FuzzInputWriter& input, uint8_t step = 5) {
    input.byte(end_op).byte(step);
}

} // namespace

FUZZ_SEEDS(net_client_lobby) {
    for (uint8_t start = 0; start < start_count; ++start) {
        const std::string prefix = "start" + std::to_string(start) + "_";
        for (uint16_t type = 17; type < 17 + 36; ++type) {
            if (!mpserver::known_message(type, mpserver::Direction::ToClient)) continue;
            // The message at the first poll, then a quiet page run and pass.
            fuzzing::FuzzInputWriter input;
            input.byte(start);
            message(input, sample(type));
            end(input);
            end(input);
            input.byte(link_timeout).byte(0);
            seeds.add(prefix + std::to_string(type), input);
        }
        for (uint8_t event = 0; event < 4; ++event) {
            fuzzing::FuzzInputWriter input;
            input.byte(start).byte(uint8_t(event_op + event)).byte(2);
            end(input);
            seeds.add(prefix + "event" + std::to_string(event), input);
        }
    }

    // Joined: the rejoin link, the respawn, the server time and six answers in the window,
    // the match, and its end.
    {
        fuzzing::FuzzInputWriter input;
        input.byte(0);
        end(input);
        end(input);
        input.byte(link_rejoin).byte(0);
        message(input, sample(mpserver::msg::respawn));
        end(input, 20);
        input.byte(0);
        message(input, sample(mpserver::msg::server_time));
        end(input);
        input.byte(0);
        for (int hit = 0; hit < 6; ++hit) message(input, sample(mpserver::msg::time_answer));
        end(input);
        input.byte(0);
        end(input);
        message(input, sample(mpserver::msg::match_finished));
        end(input);
        end(input);
        seeds.add("respawn_sync_match", input);
    }
    // Joined: the side page, the allied side, a plane, a map vote.
    {
        fuzzing::FuzzInputWriter input;
        input.byte(0);
        end(input);
        end(input);
        input.byte(link_choose_side).byte(0);
        end(input);
        input.byte(link_allied).byte(0);
        end(input);
        input.byte(link_plane_choice).part("multisopwithcamel").byte(0);
        end(input);
        end(input);
        input.byte(link_vote).byte(2).byte(0);
        seeds.add("side_plane_vote", input);
    }
    // Syncing: the samples run out the window (the clock moves 400 ms a poll).
    {
        fuzzing::FuzzInputWriter input;
        input.byte(3);
        for (int pass = 0; pass < 102; ++pass) {
            end(input, 20);
            input.byte(0);
        }
        seeds.add("sync_window", input);
    }
}
