// Seeds of the client-game harness: every in-match message the client game handles, written
// by the test server's encoder with fields that reach the fixture match's players and objects,
// each followed by frames; the plane records of message 25 over several frames; the same
// messages with the server's default fields (the game-message harness's seeds); and one run of
// every message, the local plane's reports, system events and the lobby's calls.
#include "fuzz/client_game_input.h"
#include "fuzz/seeds/seed_set.h"
#include "tools/mpserver/mp_messages.h"

#include <string>

namespace {

using mpserver::Message;
namespace msg = mpserver::msg;
using fuzzing::FuzzInputWriter;

void message(FuzzInputWriter& in, const Message& m) {
    in.byte(fuzzing::kClientOpMessage)
        .byte(fuzzing::client_type_byte(m.type))
        .part(mpserver::encode(m, mpserver::Direction::ToClient));
}

void frames(FuzzInputWriter& in, int count, uint8_t step = 5) {
    for (int i = 0; i < count; ++i) in.byte(fuzzing::kClientOpFrame).byte(step);
}

Message matrix_at(Message m, float x, float y, float z) {
    const float words[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 0};
    for (int i = 0; i < 16; ++i) m.set("matrix" + std::to_string(i), words[i]);
    return m.set("matrix3", 3);
}

Message plane_states(float step) {
    Message m(msg::plane_states);
    m.set("count", 2);
    for (int i = 0; i < 2; ++i) {
        const std::string e = "e" + std::to_string(i) + ".";
        m.set(e + "time", 50).set(e + "fraction", 200).set(e + "slot", i + 1);
        m.set_vector(e + "pos", 100.0f + 300.0f * i + step, 450.0f, 100.0f + step);
        m.set_vector(e + "dir", 0.0f, 0.0f, 1.0f);
        m.set(e + "speed", 60).set(e + "flag", 1).set(e + "value", 3);
    }
    return m;
}

// The in-match messages with fields the fixture match knows.
std::vector<std::pair<std::string, Message>> match_messages() {
    std::vector<std::pair<std::string, Message>> out;
    Message joined = matrix_at(Message(msg::player_joined), 600, 400, 600);
    joined.set_text("name", "pilot3").set_text("plane", "multitavrincamel");
    joined.set("status", 4).set("side", 0x102).set("object", 5003).set("kills", 0).set("slot", 3);
    out.emplace_back("player_joined", joined);
    out.emplace_back("kill_taken", Message(msg::kill_taken).set("slot", 1));
    out.emplace_back("respawn", matrix_at(Message(msg::respawn), 500, 300, 500).set("slot", 1));
    out.emplace_back("plane_states", plane_states(0));
    out.emplace_back("status_crashing", Message(msg::status).set("slot", 1).set("status", 2));
    out.emplace_back("status_off_map", Message(msg::status).set("slot", 2).set("status", 7));
    out.emplace_back("damage",
                     Message(msg::damage).set("target", 7).set("attacker", 5001).set("damage", 30));
    Message states(msg::damage_states);
    states.set("code3", 2).set("damage3", 100).set("code7", 1).set("code8", 2).set("damage8", 40);
    out.emplace_back("damage_states", states);
    out.emplace_back(
        "plane_change",
        Message(msg::plane_change).set("slot", 1).set_text("plane", "multitavrincamel"));
    out.emplace_back("side_change", Message(msg::side_change).set("slot", 1).set("side", 8));
    out.emplace_back("kill_scored",
                     Message(msg::kill_scored).set("slot", 1).set("kills", 3).set("victim", 5002));
    out.emplace_back("player_left", Message(msg::player_left).set("slot", 2));
    out.emplace_back("match_finished", Message(msg::match_finished).set("slot", 1));
    out.emplace_back("clock_correction", Message(msg::clock_correction).set("time", 123456));
    Message gun(msg::remote_fire);
    gun.set("kind", 2).set_vector("pos", 100, 500, 100).set_vector("dirA", 0, 0, 1);
    gun.set_vector("dirB", 0, 0, 1).set("speed", 300).set("shooter", 5001);
    gun.set_vector("aim", 0, 0, 1);
    out.emplace_back("remote_fire_gun", gun);
    Message bomb(msg::remote_fire);
    bomb.set("kind", 1).set_vector("pos", 900, 400, 900).set_vector("dirA", 0, -1, 0);
    bomb.set_vector("dirB", 0, 0, 1).set("speed", 50).set("shooter", 5002);
    bomb.set("offset.x", 1).set("offset.y", -2).set("offset.z", 3).set("t", 1.5);
    out.emplace_back("remote_fire_bomb", bomb);
    out.emplace_back("chat", Message(msg::chat).set_text("text", "hello there"));
    out.emplace_back("aim", Message(msg::aim).set("slot", 1).set_vector("dir", 0, 0.6f, 0.8f));
    out.emplace_back("echo", Message(msg::echo).set("a", 7).set("b", 5000).set("value", 1.5));
    out.emplace_back("disconnected", Message(msg::disconnected));
    out.emplace_back("pickup", Message(msg::pickup).set("object", 3));
    out.emplace_back("finished_no_vote", Message(msg::finished_no_vote).set("slot", 2));
    return out;
}

} // namespace

FUZZ_SEEDS(net_client_game) {
    for (const auto& [name, m] : match_messages()) {
        FuzzInputWriter in;
        message(in, m);
        frames(in, 3);
        seeds.add(name, in);
    }
    // The plane records over several frames: curves flown, then the records stop.
    {
        FuzzInputWriter in;
        for (int i = 0; i < 6; ++i) {
            message(in, plane_states(float(i) * 20.0f));
            frames(in, 2, 12);
        }
        frames(in, 12, 200);
        seeds.add("plane_states_flown", in);
    }
    // The server's default fields, as the game-message harness's seeds carry them.
    for (uint16_t type : fuzzing::kClientMessageTypes) {
        if (!mpserver::known_message(type, mpserver::Direction::ToClient)) continue;
        FuzzInputWriter in;
        message(in, Message(type));
        frames(in, 1);
        seeds.add("default_" + std::to_string(type), in);
    }
    // Everything once: reports, system events and the lobby's calls among the messages.
    {
        FuzzInputWriter in;
        in.byte(fuzzing::kClientOpReport);
        for (const auto& [name, m] : match_messages()) {
            message(in, m);
            frames(in, 1);
            in.byte(fuzzing::kClientOpReport);
        }
        in.byte(fuzzing::kClientOpSystem).byte(2);
        in.byte(fuzzing::kClientOpLobby).byte(3);
        in.byte(fuzzing::kClientOpLobby).byte(1);
        in.byte(fuzzing::kClientOpLobby)
            .byte(2)
            .rest(std::string_view("\x10\x20\x30\x40\x01\0\0\0", 8));
        seeds.add("whole_match", in);
    }
    {
        FuzzInputWriter in;
        message(in, Message(msg::kill_scored).set("slot", 0).set("kills", 2).set("victim", 5001));
        in.byte(fuzzing::kClientOpLobby).byte(0);
        frames(in, 2);
        in.byte(fuzzing::kClientOpSystem).byte(1);
        seeds.add("kill_and_session_lost", in);
    }
}
