// Message layouts of the test server's codec: one walk per type and direction that writes or
// reads, with the acceptance rules of the protocol.
#include "tools/mpserver/mp_messages.h"

#include "tools/mpserver/bit_codec.h"

#include <cmath>
#include <cstring>
#include <sstream>

namespace mpserver {
namespace {

constexpr uint32_t player_slots = 8;
constexpr uint32_t max_object_id = 6000;
constexpr int32_t max_chat = 287;
constexpr uint32_t damage_objects = 3000;

// A float to an int32 without undefined behaviour (NaN gives 0, out of range saturates).
int32_t to_int(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return int32_t(v);
}

uint32_t to_word(double v) {
    if (!(v == v) || v <= 0) return v < 0 ? uint32_t(to_int(v)) : 0;
    if (v >= 4294967295.0) return 0xFFFFFFFFu;
    return uint32_t(v);
}

// Reads or writes one message's fields in wire order.
class Codec {
public:
    Codec(Message* message, BitWriter* writer) : m_(message), w_(writer) {}
    Codec(Message* message, BitReader* reader) : m_(message), r_(reader) {}

    bool writing() const { return w_ != nullptr; }
    bool ok() const { return reason_.empty(); }
    const std::string& reason() const { return reason_; }
    bool fail(const std::string& why) {
        if (reason_.empty()) reason_ = why;
        return false;
    }
    bool check(bool condition, const char* why) { return condition || fail(why); }

    bool need(uint64_t bits) {
        if (!ok()) return false;
        if (w_) return true;
        return r_->has(bits) || fail("payload too short");
    }

    // An unsigned field of 1..32 bits.
    bool u(const std::string& name, uint32_t bits) {
        if (!need(bits)) return false;
        if (w_) {
            w_->put(to_word(m_->num(name)), bits);
        } else {
            m_->set(name, r_->get(bits));
        }
        return true;
    }
    bool i32(const std::string& name) {
        if (!need(32)) return false;
        if (w_) {
            w_->put(uint32_t(to_int(m_->num(name))), 32);
        } else {
            m_->set(name, int32_t(r_->get(32)));
        }
        return true;
    }
    bool f32(const std::string& name) {
        if (!need(32)) return false;
        if (w_) {
            w_->put_float(float(m_->num(name)));
            return true;
        }
        float v = r_->get_float();
        m_->set(name, v);
        return check(std::isfinite(v), "number not finite");
    }
    bool slot(const std::string& name) {
        return u(name, 5) && (writing() || check(m_->num(name) < player_slots, "bad slot"));
    }
    bool object(const std::string& name) {
        return u(name, 32) && (writing() || check(m_->num(name) < max_object_id, "bad object id"));
    }
    bool status(const std::string& name) {
        return i32(name) &&
               (writing() || check(m_->num(name) >= 1 && m_->num(name) <= 7, "bad status"));
    }
    bool side(const std::string& name) {
        return i32(name) &&
               (writing() || check(m_->num(name) == 8 || m_->num(name) == 9, "bad side"));
    }
    bool text32(const std::string& name) {
        if (!need(256)) return false;
        char buffer[32] = {};
        if (w_) {
            std::string t = m_->text(name).substr(0, 31);
            std::memcpy(buffer, t.data(), t.size());
            w_->put_bytes(buffer, 32);
        } else {
            r_->get_bytes(buffer, 32);
            buffer[31] = 0;
            m_->set_text(name, buffer);
        }
        return true;
    }
    // Each component x 256 in 24 bits; read back without sign extension.
    bool position(const std::string& name) {
        if (!need(72)) return false;
        for (const char* axis : {".x", ".y", ".z"}) {
            if (w_)
                w_->put(uint32_t(to_int(m_->num(name + axis) * 256.0)), 24);
            else
                m_->set(name + axis, double(r_->get(24)) / 256.0);
        }
        return true;
    }
    // Normalised x 127 as three signed bytes; a direction reading as zero is refused.
    bool direction(const std::string& name) {
        if (!need(24)) return false;
        double v[3] = {m_->num(name + ".x"), m_->num(name + ".y"), m_->num(name + ".z")};
        if (w_) {
            float f[3] = {float(v[0]), float(v[1]), float(v[2])};
            float length = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
            for (float c : f) {
                float n = length > 0 && std::isfinite(length) ? c / length : c;
                w_->put(uint32_t(to_int(n * 127.0f)) & 0xFF, 8);
            }
            return true;
        }
        float f[3];
        for (float& c : f) c = float(int8_t(uint8_t(r_->get(8))));
        float length = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
        if (!check(length > 0, "zero direction")) return false;
        m_->set_vector(name, f[0] / length, f[1] / length, f[2] / length);
        return true;
    }
    bool matrix(const std::string& name) {
        if (!need(512)) return false;
        auto key = [&](int i) { return name + std::to_string(i); };
        if (w_) {
            for (int i = 0; i < 16; ++i) {
                if (i % 4 == 3) {
                    w_->put(to_word(m_->num(key(i))), 32);
                } else {
                    w_->put_float(float(m_->num(key(i))));
                }
            }
            return true;
        }
        float f[16];
        for (float& x : f) x = r_->get_float();
        for (int i = 0; i < 16; ++i)
            if (i % 4 != 3 && !std::isfinite(f[i])) return fail("matrix not finite");
        bool identity = !orthonormalise(f);
        for (int i = 0; i < 16; ++i) {
            if (i % 4 != 3) m_->set(key(i), f[i]);
        }
        m_->set(key(3), identity ? 0x20003 : 0x3);
        m_->set(key(7), 0).set(key(11), 0).set(key(15), 0);
        return true;
    }
    bool info(uint32_t mask, bool check_values) {
        if (mask & 0x01) text32("name") && text32("plane");
        if (mask & 0x02) {
            if (check_values)
                status("status") && u("side", 32) && object("object") && i32("kills");
            else
                i32("status") && u("side", 32) && u("object", 32) && i32("kills");
        }
        if (mask & 0x04) matrix("matrix");
        if (mask & 0x08) i32("settings0") && i32("settings1");
        if (mask & 0x10) i32("ints0") && i32("ints1") && i32("ints2") && i32("ints3");
        return ok();
    }
    bool plane_state(const std::string& p) {
        return slot(p + "slot") && position(p + "pos") && direction(p + "dir") &&
               f32(p + "speed") && u(p + "flag", 1) && u(p + "value", 4);
    }
    bool chat(const std::string& name) {
        if (!need(32)) return false;
        if (w_) {
            std::string t = m_->text(name).substr(0, size_t(max_chat));
            w_->put(uint32_t(t.size()), 32);
            w_->put_bytes(t.data(), t.size());
            return true;
        }
        int32_t n = int32_t(r_->get(32));
        if (!check(n >= 1 && n <= max_chat, "bad text length") || !need(uint64_t(n) * 8))
            return false;
        std::string t(size_t(n), '\0');
        r_->get_bytes(t.data(), t.size());
        t.resize(std::strlen(t.c_str()));
        if (!check(!t.empty(), "empty text")) return false;
        m_->set_text(name, t);
        return true;
    }
    // A count field of `bits` bits (or an int with bits = 32) checked to 0..7.
    bool count(uint32_t bits, uint32_t* out) {
        bool read = bits == 32 ? i32("count") : u("count", bits);
        if (!read) return false;
        double c = m_->num("count");
        if (!check(c >= 0 && c < player_slots, "bad count")) return false;
        *out = uint32_t(c);
        return true;
    }

private:
    // Rows made orthonormal again (at kept, right := up x at, up := at x right, right := up x at
    // again); false for a degenerate row, which leaves the identity rotation.
    static bool orthonormalise(float* m) {
        auto norm = [](float* v) {
            float l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
            if (!(l > 1e-6f) || !std::isfinite(l)) return false;
            v[0] /= l, v[1] /= l, v[2] /= l;
            return true;
        };
        auto cross = [](const float* a, const float* b, float* o) {
            o[0] = a[1] * b[2] - a[2] * b[1];
            o[1] = a[2] * b[0] - a[0] * b[2];
            o[2] = a[0] * b[1] - a[1] * b[0];
        };
        float* right = m;
        float* up = m + 4;
        float* at = m + 8;
        bool ok = norm(right) && norm(up) && norm(at);
        if (ok) {
            cross(up, at, right);
            ok = norm(right);
        }
        if (ok) { // right built again from the perpendicular rows (nearly parallel up and at)
            cross(at, right, up);
            ok = norm(up);
            if (ok) cross(up, at, right);
        }
        if (!ok) {
            const float identity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
            std::memcpy(m, identity, sizeof identity);
        }
        return ok;
    }

    Message* m_;
    BitWriter* w_ = nullptr;
    BitReader* r_ = nullptr;
    std::string reason_;
};

std::string entry(uint32_t i) {
    return "e" + std::to_string(i) + ".";
}

// The fields of one message in wire order. False for a type without a layout.
bool walk(Codec& c, Message& m, Direction d) {
    const bool to_client = d == Direction::ToClient;
    switch (m.type) {
    case msg::player_id:
        if (!to_client) return false;
        c.u("id", 32);
        return true;
    case msg::join:
        if (to_client) {
            c.info(0x17, true) && c.slot("slot");
        } else {
            c.info(0x0b, false);
        }
        return true;
    case msg::player_joined:
        if (!to_client) return false;
        c.info(0x07, true) && c.slot("slot");
        return true;
    case msg::game_parameters:
        if (!to_client) return false;
        c.i32("mission") && c.slot("slot");
        return true;
    case msg::kill_taken:
    case msg::player_left:
    case msg::match_finished:
    case msg::finished_no_vote:
        if (!to_client && m.type != msg::kill_taken) return false;
        c.slot("slot");
        return true;
    case msg::respawn:
        if (!to_client) return false;
        c.matrix("matrix") && c.slot("slot");
        return true;
    case msg::respawn_request:
    case msg::time_request: return !to_client;
    case msg::disconnected:
    case msg::voting_in_progress:
    case msg::player_limit: return to_client;
    case msg::plane_states:
        if (to_client) {
            uint32_t n = 0;
            if (c.count(32, &n) && c.need(uint64_t(n) * (24 + 138))) {
                for (uint32_t i = 0; i < n && c.ok(); ++i)
                    c.u(entry(i) + "time", 16) && c.u(entry(i) + "fraction", 8) &&
                        c.plane_state(entry(i));
            }
        } else {
            c.u("time", 16) && c.u("fraction", 8) && c.plane_state("");
        }
        return true;
    case msg::status:
        if (to_client) c.slot("slot");
        c.status("status");
        return true;
    case msg::server_time:
    case msg::clock_correction:
        if (!to_client) return false;
        c.i32("time");
        return true;
    case msg::time_sample:
        if (to_client) return false;
        c.i32("estimate");
        return true;
    case msg::time_answer:
        if (!to_client) return false;
        c.i32("time") && c.i32("difference");
        return true;
    case msg::damage:
        c.object("target") && c.object("attacker") && c.f32("damage") &&
            (c.writing() || c.check(m.num("damage") >= 0, "negative damage"));
        return true;
    case msg::damage_states:
        if (!to_client) return false;
        // Every code 2 carries its 16-bit value, whether or not the id names an object.
        for (uint32_t id = 0; id < damage_objects && c.ok(); ++id) {
            std::string code = "code" + std::to_string(id);
            if (!c.u(code, 2)) break;
            if (!c.writing() && m.num(code) == 0) m.numbers.erase(code);
            if (!c.writing() && m.num(code) == 3) c.fail("bad damage code");
            if (m.num(code) == 2) c.u("damage" + std::to_string(id), 16);
        }
        return true;
    case msg::plane_change:
        if (to_client) c.slot("slot");
        c.text32("plane");
        return true;
    case msg::side_change:
        if (to_client) c.slot("slot");
        c.side("side");
        return true;
    case msg::kill_scored:
        if (!to_client) return false;
        c.slot("slot") && c.i32("kills") && c.object("victim");
        return true;
    case msg::map_vote:
        if (to_client) return false;
        c.u("map", 8) && c.u("weight", 8);
        return true;
    case msg::new_mission:
        if (!to_client) return false;
        c.u("mission", 8);
        return true;
    case msg::remote_fire: {
        bool kind_ok =
            c.u("kind", 8) &&
            (c.writing() || c.check(m.num("kind") == 1 || m.num("kind") == 2, "bad fire kind"));
        if (!kind_ok) return true;
        const bool gun = m.num("kind") == 2;
        auto extra = [&](const std::string& p) {
            if (gun) return c.direction(p + "aim");
            return c.f32(p + "offset.x") && c.f32(p + "offset.y") && c.f32(p + "offset.z") &&
                   c.f32(p + "t") &&
                   (c.writing() || c.check(m.num(p + "t") > 0, "bad flight time"));
        };
        if (to_client) {
            c.position("pos") && c.direction("dirA") && c.direction("dirB") && c.f32("speed") &&
                c.object("shooter") && extra("");
        } else {
            uint32_t n = 0;
            if (c.position("pos") && c.direction("heading") && c.direction("velocity") &&
                c.f32("speed") && c.count(3, &n)) {
                for (uint32_t i = 0; i < n && c.ok(); ++i)
                    c.u(entry(i) + "slot", 3) && extra(entry(i));
            }
        }
        return true;
    }
    case msg::chat: c.chat("text"); return true;
    case msg::aim:
        if (to_client) {
            c.u("slot", 3) && c.direction("dir");
        } else {
            uint32_t n = 0;
            if (c.u("slot", 3) && c.count(3, &n)) {
                for (uint32_t i = 0; i < n && c.ok(); ++i)
                    c.u(entry(i) + "slot", 3) && c.direction(entry(i) + "dir");
            }
        }
        return true;
    case msg::echo: c.i32("a") && c.i32("b") && c.f32("value"); return true;
    case msg::pickup: c.object("object"); return true;
    default: return false;
    }
}

} // namespace

std::string Message::describe() const {
    std::ostringstream out;
    out << type << ":";
    for (const auto& [name, value] : numbers) out << ' ' << name << '=' << value;
    for (const auto& [name, value] : texts) out << ' ' << name << "=\"" << value << '"';
    return out.str();
}

bool known_message(uint16_t type, Direction direction) {
    Message m(type);
    BitWriter w;
    Codec c(&m, &w);
    return walk(c, m, direction);
}

std::vector<uint8_t> encode(const Message& message, Direction direction) {
    Message copy = message;
    BitWriter w;
    Codec c(&copy, &w);
    walk(c, copy, direction);
    return w.bytes();
}

std::optional<Message> decode(uint16_t type, Direction direction, const uint8_t* data, size_t size,
                              std::string* reason) {
    Message m(type);
    BitReader r(data, data ? size : 0);
    Codec c(&m, &r);
    bool known = walk(c, m, direction);
    if (known && c.ok()) return m;
    if (reason) *reason = known ? c.reason() : "unknown type";
    return std::nullopt;
}

} // namespace mpserver
