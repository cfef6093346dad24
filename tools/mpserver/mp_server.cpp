// The test server's thread: session host events, per-client datagram links, the server's
// duties toward the game and the scenarios.
#include "tools/mpserver/mp_server.h"

#include "platform/dplay/host/dplay_host.h"
#include "tools/mpserver/mp_link.h"

#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace mpserver {

uint32_t server_now_ms() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

namespace {

constexpr uint32_t first_object = 5000;
constexpr uint32_t pump_interval_ms = 20; // acknowledgements go out well within 50 ms
constexpr uint32_t states_interval_ms = 50;
constexpr uint32_t clock_interval_ms = 2000;
constexpr int bot_slot = 1;
constexpr size_t max_chat = 287;

enum class Scenario { Lobby, Start, Match, Chat, Kills, End, Hostile, Silent, Relay };

std::optional<Scenario> scenario_named(const std::string& name) {
    static const std::map<std::string, Scenario> names = {
        {"lobby", Scenario::Lobby},     {"start", Scenario::Start},   {"match", Scenario::Match},
        {"chat", Scenario::Chat},       {"kills", Scenario::Kills},   {"end", Scenario::End},
        {"hostile", Scenario::Hostile}, {"silent", Scenario::Silent}, {"relay", Scenario::Relay}};
    auto it = names.find(name);
    if (it == names.end()) return std::nullopt;
    return it->second;
}

struct Player {
    bool bot = false;
    uint32_t port = 0;
    int slot = 0;
    Link link;
    bool joined = false;
    bool silent = false; // says nothing after its first datagram
    bool spoke = false;
    std::string name;
    std::string plane;
    uint32_t side = 0x102;
    int32_t status = 7;
    int32_t kills = 0;
    int respawns = 0;
    bool time_owed = false; // one 27 per respawn
    size_t scripted = 0;
    std::optional<Message> state; // the latest 25, as the server relays it
    int last_attacker = -1;
    uint32_t last_pump = 0;
};

void set_spawn_matrix(Message& m, const std::string& name, int slot) {
    const float rows[16] = {1,   0,    0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1000.0f + 150.0f * float(slot),
                            300, 2000, 0};
    for (int i = 0; i < 16; ++i) m.set(name + std::to_string(i), rows[i]);
    m.set(name + "3", 0x3);
}

} // namespace

struct Server::State {
    ServerOptions options;
    Scenario scenario = Scenario::Relay;
    std::unique_ptr<platform::DirectPlayHost> host;
    uint32_t server_port = 0;
    std::thread thread;
    std::atomic<bool> stopping{false};

    mutable std::mutex lock;
    std::condition_variable changed;
    std::vector<LogEntry> log;
    std::vector<SentEntry> sent;
    std::function<void(const std::string&)> printer;

    std::array<std::unique_ptr<Player>, 8> players;
    std::map<uint32_t, float> damage_totals;
    uint32_t last_states = 0;
    uint32_t last_clock = 0;
    float bot_angle = 0;
    uint32_t bot_serial = 0;
    bool vote_open = false;
    bool disconnect_pending = false;
    bool hostile_played = false;
    uint32_t disconnect_at = 0;
    bool kills_played = false;

    bool uses_bot() const {
        return scenario == Scenario::Lobby || scenario == Scenario::Start ||
               scenario == Scenario::Match || scenario == Scenario::Chat ||
               scenario == Scenario::Kills || scenario == Scenario::Hostile ||
               (scenario == Scenario::Relay && options.bot);
    }

    void print(const std::string& line) {
        std::function<void(const std::string&)> p;
        {
            std::lock_guard<std::mutex> guard(lock);
            p = printer;
        }
        if (p) p(line);
    }

    // --- Sending ---------------------------------------------------------------------------

    void send(Player& p, const Message& m, uint16_t flags = 0) {
        if (p.bot) return;
        p.link.queue(m.type, flags, encode(m, Direction::ToClient));
        {
            std::lock_guard<std::mutex> guard(lock);
            sent.push_back(SentEntry{p.slot, m});
        }
        print("sent to " + std::to_string(p.slot) + " " + m.describe());
    }
    void to_all(const Message& m, int except = -1) {
        for (auto& p : players)
            if (p && p->joined && p->slot != except) send(*p, m);
    }

    Message info_message(uint16_t type, const Player& p) const {
        Message m(type);
        m.set_text("name", p.name).set_text("plane", p.plane);
        m.set("status", p.status).set("side", p.side).set("object", first_object + p.slot);
        m.set("kills", p.kills).set("slot", p.slot);
        set_spawn_matrix(m, "matrix", p.slot);
        m.set("ints0", 0).set("ints1", 0).set("ints2", 50).set("ints3", 1024);
        return m;
    }

    void pump(Player& p, uint32_t now, bool force) {
        if (p.bot || (p.silent && p.spoke)) return;
        if (!force && now - p.last_pump < pump_interval_ms) return;
        p.last_pump = now;
        // Several datagrams when what waits does not fit into one (a bounded number).
        for (int i = 0; i < 16; ++i) {
            auto d = p.link.datagram(now);
            if (!d) break;
            host->send(server_port, p.port, 0, d->data(), uint32_t(d->size()));
            p.spoke = true;
            if (p.silent || d->size() <= 2) break;
        }
    }

    // --- Players coming and going ----------------------------------------------------------

    int free_slot() const {
        for (int s = 0; s < 8; ++s) {
            if (s == bot_slot && uses_bot()) continue;
            if (!players[size_t(s)]) return s;
        }
        return -1;
    }

    Player* by_port(uint32_t port) {
        for (auto& p : players)
            if (p && !p->bot && p->port == port) return p.get();
        return nullptr;
    }

    void arrived(uint32_t port, uint32_t now) {
        int slot = free_slot();
        Message id(msg::player_id);
        id.set("id", server_port);
        if (slot < 0 || options.refusal) {
            // Refused: the player id, then the refusal, then nothing more.
            Player p;
            p.port = port;
            p.slot = -1;
            send(p, id);
            send(p, Message(options.refusal ? options.refusal : msg::player_limit));
            pump(p, now, true);
            return;
        }
        auto p = std::make_unique<Player>();
        p->port = port;
        p->slot = slot;
        p->silent = scenario == Scenario::Silent;
        send(*p, id);
        Message parameters(msg::game_parameters);
        parameters.set("mission", options.mission).set("slot", slot);
        send(*p, parameters);
        pump(*p, now, true);
        // The silent scenario: after its first datagram the host sends nothing at all, not
        // even the transport's heartbeat, so the client's liveness check ends the session.
        if (scenario == Scenario::Silent) host->set_mute(true);
        players[size_t(slot)] = std::move(p);
    }

    void left(uint32_t port) {
        Player* p = by_port(port);
        if (!p) return;
        int slot = p->slot;
        players[size_t(slot)].reset();
        damage_totals.erase(first_object + uint32_t(slot));
        to_all(Message(msg::player_left).set("slot", slot));
    }

    void bot_joins() {
        if (players[bot_slot]) return;
        auto bot = std::make_unique<Player>();
        bot->bot = true;
        bot->slot = bot_slot;
        bot->joined = true;
        bot->name = "Bot";
        bot->plane = "multifokkertriplane";
        bot->side = 0x202;
        players[bot_slot] = std::move(bot);
        to_all(info_message(msg::player_joined, *players[bot_slot]), bot_slot);
    }

    // --- Messages --------------------------------------------------------------------------

    void received(Player& p, const Received& r, uint32_t now) {
        std::string reason;
        std::optional<Message> m =
            decode(r.type, Direction::ToServer, r.payload.data(), r.payload.size(), &reason);
        LogEntry entry{p.port, p.slot, r.type, r.flags, m, m ? std::string() : reason, now};
        print("received " + describe(entry));
        {
            std::lock_guard<std::mutex> guard(lock);
            log.push_back(entry);
        }
        changed.notify_all();
        if (m && !p.silent) handle(p, *m, now);
    }

    void handle(Player& p, const Message& m, uint32_t now) {
        switch (m.type) {
        case msg::join: join(p, m); break;
        case msg::respawn_request:
            if (!options.ignore_respawns) respawn(p);
            break;
        case msg::time_request:
            if (p.time_owed) {
                p.time_owed = false;
                send(p, Message(msg::server_time).set("time", int32_t(now)));
            }
            break;
        case msg::time_sample: time_answer(p, m, now); break;
        case msg::kill_taken:
            to_all(Message(msg::kill_taken).set("slot", m.num("slot")), p.slot);
            break;
        case msg::status: status(p, m); break;
        case msg::pickup:
            to_all(Message(msg::pickup).set("object", m.num("object")), p.slot);
            break;
        case msg::damage: damage(m); break;
        case msg::plane_change:
            p.plane = m.text("plane");
            to_all(Message(msg::plane_change).set("slot", p.slot).set_text("plane", p.plane));
            break;
        case msg::side_change:
            p.side = m.num("side") == 8 ? 0x102 : 0x202;
            to_all(Message(msg::side_change).set("slot", p.slot).set("side", m.num("side")));
            break;
        case msg::chat: {
            std::string line = (p.name + ": " + m.text("text")).substr(0, max_chat);
            to_all(Message(msg::chat).set_text("text", line));
            // The hostile scenario in the match: after the player's first chat line there.
            if (scenario == Scenario::Hostile && options.finish_after_respawns > 0 &&
                p.respawns > 0 && !hostile_played) {
                hostile_played = true;
                play_hostile(p);
            }
            break;
        }
        case msg::remote_fire: remote_fire(p, m); break;
        case msg::aim:
            for (uint32_t i = 0; i < uint32_t(m.num("count")); ++i) {
                std::string e = "e" + std::to_string(i) + ".";
                Player* to = players[size_t(m.num(e + "slot"))].get();
                if (!to || !to->joined || to->slot == p.slot) continue;
                Message aim(msg::aim);
                aim.set("slot", p.slot);
                aim.set_vector("dir", float(m.num(e + "dir.x")), float(m.num(e + "dir.y")),
                               float(m.num(e + "dir.z")));
                send(*to, aim);
            }
            break;
        case msg::plane_states:
            p.state = m;
            p.state->set("slot", p.slot);
            break;
        case msg::map_vote:
            if (vote_open) {
                vote_open = false;
                to_all(Message(msg::new_mission).set("mission", options.next_mission & 0xFF));
                if (options.disconnect_delay_ms) {
                    disconnect_at = now + options.disconnect_delay_ms;
                    disconnect_pending = true;
                } else {
                    end_session(now);
                }
            }
            break;
        default: break;
        }
    }

    void join(Player& p, const Message& m) {
        if (p.joined) return;
        p.joined = true;
        p.name = m.text("name");
        p.plane = m.text("plane");
        p.side = uint32_t(m.num("side"));
        p.status = 7;
        send(p, info_message(msg::join, p));
        for (auto& other : players)
            if (other && other->joined && other.get() != &p)
                send(p, info_message(msg::player_joined, *other));
        to_all(info_message(msg::player_joined, p), p.slot);
        if (uses_bot()) bot_joins();
        if (scenario == Scenario::Chat) to_all(Message(msg::chat).set_text("text", "Bot: hello"));
        // With a finish after respawns, the hostile scenario plays during the match instead.
        const bool hostile_in_match = options.finish_after_respawns > 0;
        if (scenario == Scenario::Hostile && !hostile_in_match) play_hostile(p);
        if (scenario == Scenario::End || (scenario == Scenario::Hostile && !hostile_in_match)) {
            if (options.finish_without_vote) {
                to_all(Message(msg::finished_no_vote).set("slot", p.slot));
            } else {
                vote_open = true;
                to_all(Message(msg::match_finished).set("slot", p.slot));
            }
        }
    }

    // After the vote: 48 to everyone, or every connection closed.
    void end_session(uint32_t now) {
        disconnect_pending = false;
        if (options.end_by_closing) {
            pump_all(now, true);
            host->disconnect_members();
        } else {
            to_all(Message(msg::disconnected));
        }
    }

    void send_raw(Player& p, uint16_t type, std::vector<uint8_t> payload) {
        p.link.queue(type, 0, std::move(payload));
        print("sent to " + std::to_string(p.slot) + " raw " + std::to_string(type));
    }

    // The hostile scenario: during the match, one bad value per acceptance rule, ids of the
    // wrong kind, unknown types, every message cut at every length and damaged datagrams.
    void play_hostile(Player& p) {
        const uint32_t now = server_now_ms();
        pump(p, now, true);
        // Damaged datagrams, with the serial the next real one carries.
        const uint8_t s = p.link.next_serial();
        const std::vector<std::vector<uint8_t>> datagrams = {
            {},
            {s},
            {s, 0xFF, 26, 0, 0},                            // a header cut short
            {s, 0xFF, 26, 0, 0, 0, 50, 0, 0, 0, 0x83},      // n past the end
            {s, uint8_t(s + 100), 17, 0, 0, 0, 0, 0, 0, 0}, // an ack of nothing sent
        };
        for (const auto& d : datagrams)
            host->send(server_port, p.port, 0, d.data(), uint32_t(d.size()));

        const float nan = std::numeric_limits<float>::quiet_NaN();
        const int local = p.slot;
        std::vector<Message> bad = {
            Message(msg::status).set("slot", 9).set("status", 4),
            Message(msg::status).set("slot", bot_slot).set("status", 8),
            Message(msg::plane_states).set("count", 8),
            Message(msg::kill_scored).set("slot", bot_slot).set("kills", 1).set("victim", 6000),
            Message(msg::damage).set("target", 5001).set("attacker", 5000).set("damage", -1),
            Message(msg::damage).set("target", 5001).set("attacker", 5000).set("damage", nan),
            Message(msg::side_change).set("slot", bot_slot).set("side", 3),
            Message(msg::pickup).set("object", 6000),
            // Ids of the wrong kind, slots of the wrong player, unknown planes, extreme times.
            Message(msg::pickup).set("object", first_object + bot_slot),
            Message(msg::kill_scored).set("slot", bot_slot).set("kills", 2).set("victim", 17),
            Message(msg::player_left).set("slot", local),
            Message(msg::plane_change).set("slot", bot_slot).set_text("plane", "multinosuchplane"),
            Message(msg::time_answer).set("time", INT32_MIN).set("difference", INT32_MAX),
            Message(msg::clock_correction).set("time", INT32_MIN),
            Message(msg::clock_correction).set("time", INT32_MAX),
        };
        Message fire(msg::remote_fire);
        fire.set("kind", 1).set_vector("pos", 1, 2, 3).set_vector("dirA", 0, 0, 1);
        fire.set_vector("dirB", 1, 0, 0).set("speed", 10).set("shooter", first_object + bot_slot);
        fire.set_vector("offset", 0, 0, 0).set("t", nan);
        bad.push_back(fire);
        Message zero_row(msg::respawn);
        set_spawn_matrix(zero_row, "matrix", bot_slot);
        zero_row.set("matrix0", 0).set("slot", bot_slot);
        bad.push_back(zero_row);
        Player ghost;
        ghost.slot = bot_slot;
        ghost.name = "Ghost";
        ghost.plane = "multinosuchplane";
        bad.push_back(info_message(msg::player_joined, ghost));
        Player copy;
        copy.slot = local;
        copy.name = "Copy";
        copy.plane = "multitavrincamel";
        bad.push_back(info_message(msg::player_joined, copy));
        Message occupied = info_message(msg::join, ghost);
        bad.push_back(occupied);
        for (auto ints : {std::pair<int, int>{0, 1}, std::pair<int, int>{1000000, 1000000000}}) {
            Message settings = info_message(msg::join, p);
            settings.set("ints2", ints.first).set("ints3", ints.second);
            bad.push_back(settings);
        }
        for (const Message& m : bad) send(p, m);

        std::vector<uint8_t> long_chat = {0x20, 0x01, 0, 0}; // n = 288
        long_chat.resize(4 + 288, 'x');
        send_raw(p, msg::chat, long_chat);
        send_raw(p, 99, {1, 2, 3});
        send_raw(p, 1000, {});
        for (uint16_t type = 17; type <= 52; ++type) {
            if (!known_message(type, Direction::ToClient)) continue;
            Message sample = sample_message(type, p);
            std::vector<uint8_t> whole = encode(sample, Direction::ToClient);
            for (size_t n = 0; n < whole.size(); ++n)
                send_raw(p, type, std::vector<uint8_t>(whole.begin(), whole.begin() + long(n)));
        }
        pump(p, now, true);
    }

    // A well-formed message of each type, for the hostile scenario to cut.
    Message sample_message(uint16_t type, const Player& p) const {
        Message m(type);
        switch (type) {
        case msg::join: return info_message(type, p);
        case msg::player_joined: return info_message(type, p);
        case msg::respawn: set_spawn_matrix(m, "matrix", p.slot); return m.set("slot", p.slot);
        case msg::plane_states: return m.set("count", 0);
        case msg::status: return m.set("slot", bot_slot).set("status", 1);
        case msg::plane_change: return m.set("slot", bot_slot).set_text("plane", "multijunkers");
        case msg::side_change: return m.set("slot", bot_slot).set("side", 8);
        case msg::remote_fire:
            m.set("kind", 2).set_vector("pos", 1, 2, 3).set_vector("dirA", 0, 0, 1);
            return m.set_vector("dirB", 1, 0, 0).set("shooter", 5001).set_vector("aim", 0, 1, 0);
        case msg::chat: return m.set_text("text", "Bot: cut");
        case msg::aim: return m.set("slot", bot_slot).set_vector("dir", 0, 0, 1);
        default: return m.set("slot", bot_slot).set("id", 1).set("mission", 1).set("victim", 5001);
        }
    }

    void respawn(Player& p) {
        ++p.respawns;
        p.time_owed = true;
        p.status = 4;
        p.last_attacker = -1;
        damage_totals.erase(first_object + uint32_t(p.slot));
        Message m(msg::respawn);
        set_spawn_matrix(m, "matrix", p.slot);
        m.set("slot", p.slot);
        to_all(m);
        if (scenario == Scenario::Kills && !kills_played) {
            kills_played = true;
            play_kills(p);
        }
    }

    // The kills scenario: damage totals, the damage states, the client scoring on the bot and
    // the bot scoring on the client.
    void play_kills(Player& p) {
        uint32_t me = first_object + uint32_t(p.slot);
        uint32_t bot = first_object + bot_slot;
        damage_totals[bot] = 12.5f;
        to_all(Message(msg::damage).set("target", bot).set("attacker", me).set("damage", 12.5));
        Message states(msg::damage_states);
        states.set("code3", 1).set("code7", 2).set("damage7", 40);
        to_all(states);
        p.kills += 1;
        to_all(
            Message(msg::kill_scored).set("slot", p.slot).set("kills", p.kills).set("victim", bot));
        players[bot_slot]->kills += 1;
        to_all(Message(msg::kill_scored)
                   .set("slot", bot_slot)
                   .set("kills", players[bot_slot]->kills)
                   .set("victim", me));
    }

    void time_answer(Player& p, const Message& m, uint32_t now) {
        int32_t estimate = int32_t(m.num("estimate"));
        Message answer(msg::time_answer);
        switch (options.time_mode) {
        case TimeMode::Real:
            answer.set("time", int32_t(now)).set("difference", int32_t(now - uint32_t(estimate)));
            break;
        case TimeMode::Echo: answer.set("time", estimate).set("difference", 0); break;
        case TimeMode::Scripted: {
            const auto& list = options.scripted_differences;
            int32_t d = list.empty() ? 0 : list[std::min(p.scripted, list.size() - 1)];
            ++p.scripted;
            answer.set("time", int32_t(now)).set("difference", d);
            break;
        }
        }
        send(p, answer);
    }

    void status(Player& p, const Message& m) {
        int32_t s = int32_t(m.num("status"));
        const bool back_in_lobby = s == 7 && p.status != 7;
        p.status = s;
        if (back_in_lobby && options.finish_after_respawns > 0 &&
            p.respawns >= options.finish_after_respawns && !vote_open) {
            vote_open = true;
            to_all(Message(msg::match_finished).set("slot", p.slot));
        }
        to_all(Message(msg::status).set("slot", p.slot).set("status", s), p.slot);
        if ((s == 2 || s == 3) && p.last_attacker >= 0 && p.last_attacker != p.slot) {
            Player* scorer = players[size_t(p.last_attacker)].get();
            if (scorer && scorer->joined) {
                scorer->kills += 1;
                to_all(Message(msg::kill_scored)
                           .set("slot", scorer->slot)
                           .set("kills", scorer->kills)
                           .set("victim", first_object + uint32_t(p.slot)));
            }
            p.last_attacker = -1;
        }
    }

    void damage(const Message& m) {
        uint32_t target = uint32_t(m.num("target"));
        uint32_t attacker = uint32_t(m.num("attacker"));
        float total = damage_totals[target] += float(m.num("damage"));
        to_all(Message(msg::damage)
                   .set("target", target)
                   .set("attacker", attacker)
                   .set("damage", total));
        if (target >= first_object && target < first_object + 8 && attacker >= first_object &&
            attacker < first_object + 8) {
            if (Player* victim = players[target - first_object].get())
                victim->last_attacker = int(attacker - first_object);
        }
    }

    void remote_fire(Player& p, const Message& m) {
        const bool gun = m.num("kind") == 2;
        for (uint32_t i = 0; i < uint32_t(m.num("count")); ++i) {
            std::string e = "e" + std::to_string(i) + ".";
            Player* to = players[size_t(m.num(e + "slot"))].get();
            if (!to || !to->joined || to->slot == p.slot) continue;
            Message out(msg::remote_fire);
            out.set("kind", m.num("kind"));
            for (const char* axis : {".x", ".y", ".z"}) {
                out.set(std::string("pos") + axis, m.num(std::string("pos") + axis));
                out.set(std::string("dirA") + axis, m.num(std::string("heading") + axis));
                out.set(std::string("dirB") + axis, m.num(std::string("velocity") + axis));
                if (gun)
                    out.set(std::string("aim") + axis, m.num(e + "aim" + axis));
                else
                    out.set(std::string("offset") + axis, m.num(e + "offset" + axis));
            }
            out.set("speed", m.num("speed")).set("shooter", first_object + uint32_t(p.slot));
            if (!gun) out.set("t", m.num(e + "t"));
            send(*to, out);
        }
    }

    // --- Time ------------------------------------------------------------------------------

    void tick(uint32_t now) {
        if (disconnect_pending && int32_t(now - disconnect_at) >= 0) end_session(now);
        if ((scenario == Scenario::Match || scenario == Scenario::Relay) && uses_bot() &&
            players[bot_slot] && now - last_states >= states_interval_ms)
            fly_bot(now);
        if (now - last_states >= states_interval_ms) {
            last_states = now;
            for (auto& to : players) {
                if (!to || !to->joined || to->bot) continue;
                Message states(msg::plane_states);
                uint32_t n = 0;
                for (auto& from : players) {
                    if (!from || from.get() == to.get() || !from->state) continue;
                    std::string e = "e" + std::to_string(n++) + ".";
                    for (const auto& [name, value] : from->state->numbers)
                        states.set(e + name, value);
                }
                if (n == 0) continue;
                states.set("count", n);
                send(*to, states);
            }
        }
        if (scenario == Scenario::Match && now - last_clock >= clock_interval_ms) {
            last_clock = now;
            to_all(Message(msg::clock_correction).set("time", int32_t(now)));
        }
    }

    // The bot flies a circle and reports every 50 ms with its serial in the 4-bit value.
    void fly_bot(uint32_t) {
        Player& bot = *players[bot_slot];
        bot_angle += 0.05f;
        bot_serial = (bot_serial + 1) % 16;
        Message s(msg::plane_states);
        s.set("time", states_interval_ms).set("fraction", 255).set("slot", bot_slot);
        s.set_vector("pos", 1000.0f + 200.0f * std::cos(bot_angle), 500.0f,
                     1000.0f + 200.0f * std::sin(bot_angle));
        s.set_vector("dir", -std::sin(bot_angle), 0.0f, std::cos(bot_angle));
        s.set("speed", 40).set("flag", 0).set("value", bot_serial);
        bot.state = s;
    }

    void pump_all(uint32_t now, bool force) {
        for (auto& p : players)
            if (p) pump(*p, now, force);
    }

    void run() {
        while (!stopping.load()) {
            host->wait_message(5);
            uint32_t now = server_now_ms();
            platform::DirectPlayHostMessage hm;
            while (host->receive(&hm)) {
                if (hm.kind == 0 && hm.from != server_port) {
                    arrived(hm.from, now);
                } else if (hm.kind == 1) {
                    left(hm.from);
                } else if (hm.kind == 16) {
                    Player* p = by_port(hm.from);
                    if (!p) continue;
                    std::vector<Received> messages;
                    Link::Accept a = p->link.receive(hm.data.data(), hm.data.size(), messages);
                    if (a != Link::Accept::Read)
                        print("datagram from " + std::to_string(p->slot) + " not read");
                    for (const Received& r : messages) received(*p, r, now);
                }
            }
            tick(now);
            pump_all(now, false);
        }
    }
};

std::unique_ptr<Server> Server::start(const ServerOptions& options, std::string* error) {
    auto scenario = scenario_named(options.scenario);
    if (!scenario) {
        if (error) *error = "unknown scenario \"" + options.scenario + "\"";
        return nullptr;
    }
    platform::DirectPlayHostOptions host_options;
    host_options.address = options.address;
    host_options.port = options.port;
    std::string host_error;
    auto host = platform::DirectPlayHost::start(host_options, &host_error);
    if (!host) {
        if (error) *error = host_error;
        return nullptr;
    }
    std::unique_ptr<Server> server(new Server());
    server->state_ = std::make_unique<State>();
    State& s = *server->state_;
    s.options = options;
    s.scenario = *scenario;
    s.host = std::move(host);
    s.server_port = s.host->create_port(nullptr, 0);
    s.last_clock = s.last_states = server_now_ms();
    s.thread = std::thread([&s] { s.run(); });
    return server;
}

Server::~Server() {
    stop();
}

void Server::stop() {
    if (!state_) return;
    state_->stopping.store(true);
    if (state_->thread.joinable()) state_->thread.join();
    state_->host.reset();
}

uint16_t Server::port() const {
    return state_->host ? state_->host->port() : 0;
}

std::string Server::address() const {
    return "127.0.0.1:" + std::to_string(port());
}

std::vector<LogEntry> Server::log() const {
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->log;
}

std::vector<SentEntry> Server::sent() const {
    std::lock_guard<std::mutex> guard(state_->lock);
    return state_->sent;
}

bool Server::wait_for(const std::function<bool(const std::vector<LogEntry>&)>& condition,
                      uint32_t timeout_ms) {
    std::unique_lock<std::mutex> guard(state_->lock);
    return state_->changed.wait_for(guard, std::chrono::milliseconds(timeout_ms),
                                    [&] { return condition(state_->log); });
}

void Server::set_printer(std::function<void(const std::string&)> printer) {
    std::lock_guard<std::mutex> guard(state_->lock);
    state_->printer = std::move(printer);
}

std::string Server::describe(const LogEntry& entry) {
    std::ostringstream out;
    out << "slot " << entry.slot << " ";
    if (entry.decoded)
        out << entry.decoded->describe();
    else
        out << entry.type << ": dropped (" << entry.reason << ")";
    return out.str();
}

} // namespace mpserver
