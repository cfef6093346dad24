// The test server's codec of the game messages. A message is its type and a set of named
// fields; one routine per type and direction walks the fields in wire order and either
// writes them from the record or reads them into it, checking each field's size before it is
// read and its value after, with the same acceptance rules as the game's own decoders.
//
// Field names: numbers by name ("slot", "status", "time"), vectors as name.x/.y/.z, frame
// matrices as name0..name15 (words 3, 7, 11 and 15 hold the flag and pad words as integers),
// player-info groups as "name", "plane", "status", "side", "object", "kills", "matrix0..15",
// "settings0..1", "ints0..3", plane states as "slot", "pos", "dir", "speed", "flag", "value",
// repeated entries with the prefix "e<i>." and their number in "count".
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace mpserver {

enum class Direction { ToServer, ToClient };

struct Message {
    uint16_t type = 0;
    std::map<std::string, double> numbers;
    std::map<std::string, std::string> texts;

    Message() = default;
    explicit Message(uint16_t t) : type(t) {}
    Message& set(const std::string& name, double value) {
        numbers[name] = value;
        return *this;
    }
    Message& set_text(const std::string& name, const std::string& value) {
        texts[name] = value;
        return *this;
    }
    Message& set_vector(const std::string& name, float x, float y, float z) {
        return set(name + ".x", x).set(name + ".y", y).set(name + ".z", z);
    }
    double num(const std::string& name) const {
        auto it = numbers.find(name);
        return it == numbers.end() ? 0.0 : it->second;
    }
    std::string text(const std::string& name) const {
        auto it = texts.find(name);
        return it == texts.end() ? std::string() : it->second;
    }
    bool has(const std::string& name) const {
        return numbers.count(name) != 0 || texts.count(name) != 0;
    }
    // "type: name=value ..." for logs and test failures.
    std::string describe() const;
};

// True when `type` has a layout in that direction.
bool known_message(uint16_t type, Direction direction);
// The payload of the message: whole bytes, a partial last byte padded with zeros.
std::vector<uint8_t> encode(const Message& message, Direction direction);
// The message read from a payload, or nullopt (with the reason) when it is dropped.
std::optional<Message> decode(uint16_t type, Direction direction, const uint8_t* data, size_t size,
                              std::string* reason = nullptr);

// Message type numbers the server uses.
namespace msg {
inline constexpr uint16_t player_id = 17, join = 19, player_joined = 20, game_parameters = 21,
                          kill_taken = 22, respawn = 23, respawn_request = 24, plane_states = 25,
                          status = 26, server_time = 27, time_request = 28, time_sample = 29,
                          time_answer = 30, damage = 31, damage_states = 32, plane_change = 33,
                          side_change = 34, kill_scored = 37, player_left = 38, match_finished = 39,
                          map_vote = 40, new_mission = 41, clock_correction = 42, remote_fire = 43,
                          chat = 44, aim = 45, echo = 47, disconnected = 48,
                          voting_in_progress = 49, player_limit = 50, pickup = 51,
                          finished_no_vote = 52;
}

} // namespace mpserver
