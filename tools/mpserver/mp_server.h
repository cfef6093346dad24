// The multiplayer test server: a session host on a loopback port that speaks the game
// protocol to real network clients, plays one of its scenarios, and logs every message it
// receives with its decoded fields so tests can assert on the sequence.
#pragma once

#include "tools/mpserver/mp_messages.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mpserver {

// How message 29 is answered with message 30.
enum class TimeMode {
    Real,     // T = now, d = now - estimate
    Echo,     // T = estimate, d = 0
    Scripted, // T = now, d from the list in turn (its last value once it runs out)
};

struct ServerOptions {
    std::string scenario = "relay"; // lobby, start, match, chat, kills, end, hostile, silent, relay
    const char* address = "127.0.0.1";
    uint16_t port = 0;          // 0: an ephemeral port
    int32_t mission = 101;      // the multiplayer missions are 101..103
    int32_t next_mission = 102; // message 41 of the end scenario
    TimeMode time_mode = TimeMode::Real;
    std::vector<int32_t> scripted_differences;
    bool bot = false; // relay: one bot plays along
    // End scenario: after the vote, close the connection instead of sending 48.
    bool end_by_closing = false;
    // End scenario: the match finishes without a vote (52 instead of 39).
    bool finish_without_vote = false;
    // Refuse newcomers with this message instead of 21 (49 or 50; 0 accepts).
    uint16_t refusal = 0;
    // Respawn requests (24) are logged but never granted (the client's respawn deadline).
    bool ignore_respawns = false;
    // The match finishes (39, the vote open) when a player who respawned this many times
    // comes back to the lobby (26 with status 7); 0: never. The hostile scenario then plays
    // its bad values after the player's first chat line of a match instead of at the join.
    int32_t finish_after_respawns = 0;
    // The vote is answered with 41 at once and with 48 (or the closed connection) this many
    // milliseconds later, the time a new level takes to load.
    uint32_t disconnect_delay_ms = 0;
};

// One message the server received.
struct LogEntry {
    uint32_t port = 0; // the client's port id
    int32_t slot = -1;
    uint16_t type = 0;
    uint16_t flags = 0;
    std::optional<Message> decoded; // nullopt: dropped
    std::string reason;             // why it was dropped
    uint32_t ms = 0;                // server time at arrival
};

// One message the server sent.
struct SentEntry {
    int32_t slot = -1;
    Message message;
};

class Server {
public:
    static std::unique_ptr<Server> start(const ServerOptions& options,
                                         std::string* error = nullptr);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    uint16_t port() const;
    // "127.0.0.1:<port>", the address a client is given.
    std::string address() const;
    std::vector<LogEntry> log() const;
    std::vector<SentEntry> sent() const;
    // Waits (wall clock) until `condition` holds for the log; false at the time-out.
    bool wait_for(const std::function<bool(const std::vector<LogEntry>&)>& condition,
                  uint32_t timeout_ms);
    // Every received message as "slot type: fields", for failure output and the program.
    static std::string describe(const LogEntry& entry);
    // Called from the server's thread with each line it logs (received and sent messages).
    void set_printer(std::function<void(const std::string&)> printer);
    void stop();

private:
    struct State;
    Server() = default;
    std::unique_ptr<State> state_;
};

// Milliseconds of the server's clock (wrapping).
uint32_t server_now_ms();

} // namespace mpserver
