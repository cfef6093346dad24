// Encoders and checking decoders of the game protocol's messages.
#include "net/messages/game_messages.h"

#include "framework/platform/debug_message.h"
#include "platform/clock.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// --- Drop traces -------------------------------------------------------------------------

std::atomic<TvDropSink> drop_sink{nullptr};
std::atomic<uint32_t> last_drop_log{0};
std::atomic<bool> dropped_before{false};
constexpr uint32_t drop_log_interval_ms = 1000;

void trace_drop(uint16_t type, const char* reason) {
    if (TvDropSink sink = drop_sink.load()) {
        sink(type, reason);
        return;
    }
    // A hostile peer can send thousands of bad messages a second: one entry a second at most.
    uint32_t now = platform::timeGetTime();
    uint32_t last = last_drop_log.load();
    if (dropped_before.exchange(true) && now - last < drop_log_interval_ms) return;
    if (!last_drop_log.compare_exchange_strong(last, now)) return;
    char text[96];
    std::snprintf(text, sizeof text, "Dropped message %u: %s.", unsigned(type), reason);
    OmReportMessage(OM_SEVERITY_INFORMATION, text);
}

// --- Checks ------------------------------------------------------------------------------

bool finite3(const float* v) {
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

bool valid_slot(uint32_t slot) {
    return slot < TV_PLAYER_SLOTS;
}

bool valid_status(int32_t status) {
    return status >= 1 && status <= 7;
}

bool valid_object(uint32_t id) {
    return id < TV_MAX_OBJECT_ID;
}

bool valid_side(int32_t side) {
    return side == TV_SIDE_ALLIED || side == TV_SIDE_CENTRAL;
}

float dot(const float* a, const float* b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void cross(const float* a, const float* b, float* out) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

bool normalise_row(float* v) {
    float length = std::sqrt(dot(v, v));
    if (!(length > 1e-6f) || !std::isfinite(length)) return false;
    for (int i = 0; i < 3; ++i) v[i] /= length;
    return true;
}

constexpr uint32_t matrix_flag_orthonormal = 0x3;
constexpr uint32_t matrix_flag_identity = 0x20000;

void set_word(float* at, uint32_t word) {
    std::memcpy(at, &word, 4);
}

// A received frame matrix made safe to use: false when a number is not finite; rows made
// orthonormal again (at kept, right := up x at, up := at x right, right := up x at again); a
// degenerate row gives the identity rotation at the same position. The flag and pad words are
// recomputed.
bool sanitise_matrix(float* m) {
    for (int row = 0; row < 4; ++row)
        if (!finite3(m + 4 * row)) return false;
    float* right = m;
    float* up = m + 4;
    float* at = m + 8;
    bool ok = normalise_row(right) && normalise_row(up) && normalise_row(at);
    if (ok) {
        cross(up, at, right);
        ok = normalise_row(right);
    }
    if (ok) {
        // When up and at were nearly parallel, right came from a short cross product and may
        // lean off at by far more than rounding; built again from the two perpendicular rows,
        // the rows are orthonormal to rounding, so a second pass changes nothing.
        cross(at, right, up);
        ok = normalise_row(up);
        if (ok) cross(up, at, right);
    }
    if (!ok) {
        const float identity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
        std::memcpy(m, identity, sizeof identity);
    }
    set_word(m + 3, ok ? matrix_flag_orthonormal : matrix_flag_orthonormal | matrix_flag_identity);
    set_word(m + 7, 0);
    set_word(m + 11, 0);
    set_word(m + 15, 0);
    return true;
}

// Bits of each player-info group.
uint32_t info_bits(uint32_t mask) {
    uint32_t bits = 0;
    if (mask & TV_INFO_NAMES) bits += 512;
    if (mask & TV_INFO_STATUS) bits += 128;
    if (mask & TV_INFO_MATRIX) bits += 512;
    if (mask & TV_INFO_SETTINGS) bits += 64;
    if (mask & TV_INFO_EXTRA) bits += 128;
    return bits;
}

constexpr uint32_t direction_bits = 24;
constexpr uint32_t position_bits = 72;
constexpr uint32_t plane_state_bits = 5 + position_bits + direction_bits + 32 + 1 + 4;

// Reads one message's fields, checking that each fits in what is left of the payload before
// it is read; the first shortfall or failed check marks the message dropped.
class Reader {
public:
    Reader(IBinaryStreamComposer* packet, TvMessage type) : packet_(packet), type_(type) {
        IByteStream* stream = packet ? packet->GetStream() : nullptr;
        uint32_t at = 0, end = 0;
        if (!stream || packet->GetMode() == OM_COMPOSER_WRITE ||
            stream->Seek(0, OM_SEEK_CURRENT, &at) < 0 || stream->Seek(0, OM_SEEK_END, &end) < 0 ||
            stream->Seek(int32_t(at), OM_SEEK_START, nullptr) < 0 || end < at) {
            fail("no payload");
            return;
        }
        left_ = uint64_t(end - at) * 8;
    }

    bool ok() const { return reason_ == nullptr; }

    bool fail(const char* reason) {
        if (!reason_) reason_ = reason;
        return false;
    }
    bool check(bool condition, const char* reason) { return condition || fail(reason); }

    // Room for `bits` more bits; taken from the budget.
    bool need(uint64_t bits) {
        if (!ok()) return false;
        if (bits > left_) return fail("payload too short");
        left_ -= bits;
        return true;
    }

    bool field(int32_t kind, uint32_t bits, void* at) {
        if (!need(bits)) return false;
        return packet_->Field(kind, bits, at) >= 0 || fail("read failed");
    }
    bool u(uint32_t bits, uint32_t* value) {
        *value = 0;
        return field(OM_FIELD_INTEGER, bits, value);
    }
    bool i32(int32_t* value) {
        *value = 0;
        return field(OM_FIELD_INTEGER, 32, value);
    }
    bool id(uint32_t* value) {
        *value = 0;
        return field(OM_FIELD_BITS, 32, value);
    }
    bool f32(float* value, const char* what = "number not finite") {
        if (!need(32)) return false;
        if (packet_->Float(value) < 0) return fail("read failed");
        return check(std::isfinite(*value), what);
    }
    bool slot(uint32_t* value) { return u(5, value) && check(valid_slot(*value), "bad slot"); }
    bool text32(char* text) {
        if (!field(OM_FIELD_BYTES, 256, text)) return false;
        text[31] = 0;
        return true;
    }
    bool position(float* v) {
        if (!need(position_bits)) return false;
        return TvSerializePosition(packet_, v) >= 0 || fail("read failed");
    }
    // A direction that reads as zero has no meaning and is refused.
    bool direction(float* v) {
        if (!need(direction_bits)) return false;
        if (TvSerializeDirection(packet_, v) < 0) return fail("read failed");
        return check(v[0] != 0 || v[1] != 0 || v[2] != 0, "zero direction");
    }
    bool matrix(float* m) {
        if (!need(512)) return false;
        for (int i = 0; i < 16; ++i) {
            uint32_t word = 0;
            if (packet_->Field(OM_FIELD_BITS, 32, &word) < 0) return fail("read failed");
            set_word(m + i, word);
        }
        return check(sanitise_matrix(m), "matrix not finite");
    }
    // The server's records carry a status and the player's object id, which are checked; a
    // join request carries the pilot's own, which the server replaces.
    bool info(TvPlayerInfo* record, uint32_t mask, bool check_values) {
        *record = TvPlayerInfo{};
        if (!need(info_bits(mask))) return false;
        if (TvSerializePlayerInfo(packet_, record, mask) < 0) return fail("read failed");
        if ((mask & TV_INFO_STATUS) && check_values) {
            if (!check(valid_status(record->status), "bad status")) return false;
            if (!check(valid_object(record->word), "bad object id")) return false;
        }
        if (mask & TV_INFO_MATRIX) return check(sanitise_matrix(record->matrix), "bad matrix");
        return true;
    }
    bool plane_state(TvPlaneStateRecord* state) {
        *state = TvPlaneStateRecord{};
        if (!need(plane_state_bits)) return false;
        TvSerializePlaneState(packet_, state, &state->slot);
        return check(valid_slot(state->slot), "bad slot") &&
               check(state->direction[0] != 0 || state->direction[1] != 0 ||
                         state->direction[2] != 0,
                     "zero direction") &&
               check(std::isfinite(state->speed), "number not finite");
    }
    // A chat text: its length 1..287, then its characters (cut at an embedded zero). A text
    // that is empty once cut is dropped: it could not be sent on.
    bool chat(std::string* text) {
        int32_t n = 0;
        if (!i32(&n)) return false;
        if (!check(n >= 1 && n <= TV_MAX_CHAT_LENGTH, "bad text length")) return false;
        char buffer[TV_MAX_CHAT_LENGTH + 1] = {};
        if (!field(OM_FIELD_BYTES, uint32_t(n) * 8, buffer)) return false;
        *text = std::string(buffer, strnlen(buffer, size_t(n)));
        return check(!text->empty(), "empty text");
    }

    template <class T>
    std::optional<T> finish(T&& record) {
        if (ok()) return std::move(record);
        trace_drop(uint16_t(type_), reason_);
        return std::nullopt;
    }

private:
    IBinaryStreamComposer* packet_;
    TvMessage type_;
    uint64_t left_ = 0;
    const char* reason_ = nullptr;
};

// --- Writing -----------------------------------------------------------------------------

struct Writer {
    IBinaryStreamComposer* packet;
    OmResult result = OM_S_OK;

    explicit Writer(IBinaryStreamComposer* p) : packet(p) {
        if (!packet || packet->GetMode() != OM_COMPOSER_WRITE) result = OM_E_FAIL;
    }
    void field(int32_t kind, uint32_t bits, const void* at) {
        std::vector<uint8_t> copy((bits + 7) / 8 + 4, 0);
        std::memcpy(copy.data(), at, (bits + 7) / 8);
        if (result >= 0) result = packet->Field(kind, bits, copy.data());
    }
    void u(uint32_t bits, uint32_t value) { field(OM_FIELD_INTEGER, bits, &value); }
    void i32(int32_t value) { field(OM_FIELD_INTEGER, 32, &value); }
    void id(uint32_t value) { field(OM_FIELD_BITS, 32, &value); }
    void f32(float value) {
        if (result >= 0) result = packet->Float(&value);
    }
    void text32(const char* text) {
        char copy[32] = {};
        std::memcpy(copy, text, strnlen(text, 31));
        field(OM_FIELD_BYTES, 256, copy);
    }
    void position(const float* v) {
        float copy[3] = {v[0], v[1], v[2]};
        if (result >= 0) result = TvSerializePosition(packet, copy);
    }
    void direction(const float* v) {
        float copy[3] = {v[0], v[1], v[2]};
        if (result >= 0) result = TvSerializeDirection(packet, copy);
    }
    // Word by word, so the wire stays little-endian whatever the host.
    void matrix(const float* m) {
        for (int i = 0; i < 16; ++i) {
            uint32_t word;
            std::memcpy(&word, m + i, 4);
            field(OM_FIELD_BITS, 32, &word);
        }
    }
    void info(const TvPlayerInfo& record, uint32_t mask) {
        TvPlayerInfo copy = record;
        if (result >= 0) result = TvSerializePlayerInfo(packet, &copy, mask);
    }
    void plane_state(const TvPlaneStateRecord& state) {
        TvPlaneStateRecord copy = state;
        if (result >= 0) result = TvSerializePlaneState(packet, &copy, &copy.slot);
    }
    // Length then characters; longer texts are cut to the protocol's bound.
    void chat(const std::string& text) {
        std::string cut = text.substr(0, size_t(TV_MAX_CHAT_LENGTH));
        i32(int32_t(cut.size()));
        if (!cut.empty()) field(OM_FIELD_BYTES, uint32_t(cut.size()) * 8, cut.data());
    }
};

} // namespace

void TvSetDropSink(TvDropSink sink) {
    drop_sink.store(sink);
}

// --- Server to game ----------------------------------------------------------------------

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientPlayerId& m) {
    Writer w(p);
    w.id(m.playerId);
    return w.result;
}
std::optional<TvToClientPlayerId> TvDecodeToClientPlayerId(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientPlayerId::type);
    TvToClientPlayerId m;
    r.id(&m.playerId);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientJoinAccepted& m) {
    Writer w(p);
    w.info(m.info, TV_INFO_JOIN_ACCEPTED);
    w.u(5, m.slot);
    return w.result;
}
std::optional<TvToClientJoinAccepted> TvDecodeToClientJoinAccepted(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientJoinAccepted::type);
    TvToClientJoinAccepted m;
    r.info(&m.info, TV_INFO_JOIN_ACCEPTED, true) && r.slot(&m.slot);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientPlayerJoined& m) {
    Writer w(p);
    w.info(m.info, TV_INFO_PLAYER_JOINED);
    w.u(5, m.slot);
    return w.result;
}
std::optional<TvToClientPlayerJoined> TvDecodeToClientPlayerJoined(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientPlayerJoined::type);
    TvToClientPlayerJoined m;
    r.info(&m.info, TV_INFO_PLAYER_JOINED, true) && r.slot(&m.slot);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientGameParameters& m) {
    Writer w(p);
    w.i32(m.mission);
    w.u(5, m.slot);
    return w.result;
}
std::optional<TvToClientGameParameters> TvDecodeToClientGameParameters(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientGameParameters::type);
    TvToClientGameParameters m;
    r.i32(&m.mission) && r.slot(&m.slot);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientKillTaken& m) {
    Writer w(p);
    w.u(5, m.slot);
    return w.result;
}
std::optional<TvToClientKillTaken> TvDecodeToClientKillTaken(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientKillTaken::type);
    TvToClientKillTaken m;
    r.slot(&m.slot);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientRespawn& m) {
    Writer w(p);
    w.matrix(m.matrix.m);
    w.u(5, m.slot);
    return w.result;
}
std::optional<TvToClientRespawn> TvDecodeToClientRespawn(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientRespawn::type);
    TvToClientRespawn m;
    r.matrix(m.matrix.m) && r.slot(&m.slot);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientPlaneStates& m) {
    Writer w(p);
    w.i32(int32_t(m.entries.size()));
    for (const TvPlaneStateEntry& e : m.entries) {
        w.u(16, e.time);
        w.u(8, e.fraction);
        w.plane_state(e.state);
    }
    return w.result;
}
std::optional<TvToClientPlaneStates> TvDecodeToClientPlaneStates(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientPlaneStates::type);
    TvToClientPlaneStates m;
    int32_t count = 0;
    // The whole count's entries must be there before any is read.
    r.i32(&count) && r.check(count >= 0 && count < int32_t(TV_PLAYER_SLOTS), "bad count") &&
        r.need(uint64_t(count) * (24 + plane_state_bits));
    if (r.ok()) {
        m.entries.resize(size_t(count));
        for (TvPlaneStateEntry& e : m.entries) {
            uint32_t time = 0, fraction = 0;
            // Sizes were checked for every entry at once.
            p->Field(OM_FIELD_INTEGER, 16, &time);
            p->Field(OM_FIELD_INTEGER, 8, &fraction);
            e.time = uint16_t(time);
            e.fraction = uint8_t(fraction);
            e.state = TvPlaneStateRecord{};
            TvSerializePlaneState(p, &e.state, &e.state.slot);
            const float* d = e.state.direction;
            if (!r.check(valid_slot(e.state.slot), "bad slot") ||
                !r.check(d[0] != 0 || d[1] != 0 || d[2] != 0, "zero direction") ||
                !r.check(std::isfinite(e.state.speed), "number not finite"))
                break;
        }
    }
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientStatus& m) {
    Writer w(p);
    w.u(5, m.slot);
    w.i32(m.status);
    return w.result;
}
std::optional<TvToClientStatus> TvDecodeToClientStatus(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientStatus::type);
    TvToClientStatus m;
    r.slot(&m.slot) && r.i32(&m.status) && r.check(valid_status(m.status), "bad status");
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientServerTime& m) {
    Writer w(p);
    w.i32(m.time);
    return w.result;
}
std::optional<TvToClientServerTime> TvDecodeToClientServerTime(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientServerTime::type);
    TvToClientServerTime m;
    r.i32(&m.time);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientTimeAnswer& m) {
    Writer w(p);
    w.i32(m.time);
    w.i32(m.difference);
    return w.result;
}
std::optional<TvToClientTimeAnswer> TvDecodeToClientTimeAnswer(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientTimeAnswer::type);
    TvToClientTimeAnswer m;
    r.i32(&m.time) && r.i32(&m.difference);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientDamage& m) {
    Writer w(p);
    w.i32(int32_t(m.target));
    w.i32(int32_t(m.attacker));
    w.f32(m.damage);
    return w.result;
}
std::optional<TvToClientDamage> TvDecodeToClientDamage(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientDamage::type);
    TvToClientDamage m;
    r.u(32, &m.target) && r.u(32, &m.attacker) && r.f32(&m.damage) &&
        r.check(valid_object(m.target) && valid_object(m.attacker), "bad object id") &&
        r.check(m.damage >= 0, "negative damage");
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientDamageStates& m) {
    Writer w(p);
    for (uint32_t id = 0; id < TV_DAMAGE_STATE_OBJECTS; ++id) {
        w.u(2, m.codes[id]);
        if (m.codes[id] == 2) w.u(16, m.damage[id]);
    }
    return w.result;
}
// Every code 2 is followed by its 16-bit value, whether or not the id names an object here:
// skipping it for a missing object would shift every later field.
std::optional<TvToClientDamageStates> TvDecodeToClientDamageStates(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientDamageStates::type);
    auto m = std::make_unique<TvToClientDamageStates>();
    for (uint32_t id = 0; id < TV_DAMAGE_STATE_OBJECTS && r.ok(); ++id) {
        uint32_t code = 0, value = 0;
        if (!r.u(2, &code) || !r.check(code <= 2, "bad damage code")) break;
        m->codes[id] = uint8_t(code);
        if (code == 2 && r.u(16, &value)) m->damage[id] = uint16_t(value);
    }
    return r.finish(std::move(*m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientPlaneChange& m) {
    Writer w(p);
    w.u(5, m.slot);
    w.text32(m.planeId);
    return w.result;
}
std::optional<TvToClientPlaneChange> TvDecodeToClientPlaneChange(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientPlaneChange::type);
    TvToClientPlaneChange m;
    r.slot(&m.slot) && r.text32(m.planeId);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientSideChange& m) {
    Writer w(p);
    w.u(5, m.slot);
    w.i32(m.side);
    return w.result;
}
std::optional<TvToClientSideChange> TvDecodeToClientSideChange(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientSideChange::type);
    TvToClientSideChange m;
    r.slot(&m.slot) && r.i32(&m.side) && r.check(valid_side(m.side), "bad side");
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientKillScored& m) {
    Writer w(p);
    w.u(5, m.slot);
    w.i32(m.kills);
    w.i32(int32_t(m.victim));
    return w.result;
}
std::optional<TvToClientKillScored> TvDecodeToClientKillScored(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientKillScored::type);
    TvToClientKillScored m;
    r.slot(&m.slot) && r.i32(&m.kills) && r.u(32, &m.victim) &&
        r.check(valid_object(m.victim), "bad object id");
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientPlayerLeft& m) {
    Writer w(p);
    w.u(5, m.slot);
    return w.result;
}
std::optional<TvToClientPlayerLeft> TvDecodeToClientPlayerLeft(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientPlayerLeft::type);
    TvToClientPlayerLeft m;
    r.slot(&m.slot);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientMatchFinished& m) {
    Writer w(p);
    w.u(5, m.winner);
    return w.result;
}
std::optional<TvToClientMatchFinished> TvDecodeToClientMatchFinished(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientMatchFinished::type);
    TvToClientMatchFinished m;
    r.slot(&m.winner);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientNewMission& m) {
    Writer w(p);
    w.u(8, m.mission);
    return w.result;
}
std::optional<TvToClientNewMission> TvDecodeToClientNewMission(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientNewMission::type);
    TvToClientNewMission m;
    uint32_t mission = 0;
    if (r.u(8, &mission)) m.mission = uint8_t(mission);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientClockCorrection& m) {
    Writer w(p);
    w.i32(m.time);
    return w.result;
}
std::optional<TvToClientClockCorrection> TvDecodeToClientClockCorrection(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientClockCorrection::type);
    TvToClientClockCorrection m;
    r.i32(&m.time);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientRemoteFire& m) {
    Writer w(p);
    w.u(8, m.kind);
    w.position(m.position);
    w.direction(m.directionA);
    w.direction(m.directionB);
    w.f32(m.speed);
    w.i32(int32_t(m.shooter));
    if (m.kind == TV_FIRE_GUN) {
        w.direction(m.aim);
    } else {
        for (float f : m.offset) w.f32(f);
        w.f32(m.flightTime);
    }
    return w.result;
}
std::optional<TvToClientRemoteFire> TvDecodeToClientRemoteFire(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientRemoteFire::type);
    TvToClientRemoteFire m;
    uint32_t kind = 0;
    r.u(8, &kind) && r.check(kind == TV_FIRE_RELEASE || kind == TV_FIRE_GUN, "bad fire kind") &&
        r.position(m.position) && r.direction(m.directionA) && r.direction(m.directionB) &&
        r.f32(&m.speed) && r.u(32, &m.shooter) && r.check(valid_object(m.shooter), "bad object id");
    m.kind = uint8_t(kind);
    if (r.ok() && kind == TV_FIRE_GUN) r.direction(m.aim);
    if (r.ok() && kind == TV_FIRE_RELEASE) {
        r.f32(&m.offset[0]) && r.f32(&m.offset[1]) && r.f32(&m.offset[2]) && r.f32(&m.flightTime) &&
            r.check(m.flightTime > 0, "bad flight time");
    }
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientChat& m) {
    Writer w(p);
    w.chat(m.text);
    return w.result;
}
std::optional<TvToClientChat> TvDecodeToClientChat(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientChat::type);
    TvToClientChat m;
    r.chat(&m.text);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientAim& m) {
    Writer w(p);
    w.u(3, m.slot);
    w.direction(m.direction);
    return w.result;
}
std::optional<TvToClientAim> TvDecodeToClientAim(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientAim::type);
    TvToClientAim m;
    r.u(3, &m.slot) && r.direction(m.direction);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientEcho& m) {
    Writer w(p);
    w.i32(m.idA);
    w.i32(m.idB);
    w.f32(m.value);
    return w.result;
}
std::optional<TvToClientEcho> TvDecodeToClientEcho(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientEcho::type);
    TvToClientEcho m;
    r.i32(&m.idA) && r.i32(&m.idB) && r.f32(&m.value);
    return r.finish(std::move(m));
}

namespace {
template <class T>
std::optional<T> decode_empty(IBinaryStreamComposer* p) {
    Reader r(p, T::type);
    return r.finish(T{});
}
} // namespace

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientDisconnected&) {
    return Writer(p).result;
}
OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientVotingInProgress&) {
    return Writer(p).result;
}
OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientPlayerLimit&) {
    return Writer(p).result;
}
std::optional<TvToClientDisconnected> TvDecodeToClientDisconnected(IBinaryStreamComposer* p) {
    return decode_empty<TvToClientDisconnected>(p);
}
std::optional<TvToClientVotingInProgress>
TvDecodeToClientVotingInProgress(IBinaryStreamComposer* p) {
    return decode_empty<TvToClientVotingInProgress>(p);
}
std::optional<TvToClientPlayerLimit> TvDecodeToClientPlayerLimit(IBinaryStreamComposer* p) {
    return decode_empty<TvToClientPlayerLimit>(p);
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientPickup& m) {
    Writer w(p);
    w.i32(int32_t(m.object));
    return w.result;
}
std::optional<TvToClientPickup> TvDecodeToClientPickup(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientPickup::type);
    TvToClientPickup m;
    r.u(32, &m.object) && r.check(valid_object(m.object), "bad object id");
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToClientFinishedNoVote& m) {
    Writer w(p);
    w.u(5, m.slot);
    return w.result;
}
std::optional<TvToClientFinishedNoVote> TvDecodeToClientFinishedNoVote(IBinaryStreamComposer* p) {
    Reader r(p, TvToClientFinishedNoVote::type);
    TvToClientFinishedNoVote m;
    r.slot(&m.slot);
    return r.finish(std::move(m));
}

// --- Game to server ----------------------------------------------------------------------

OmResult TvEncode(IBinaryStreamComposer* p, const TvToServerJoinRequest& m) {
    Writer w(p);
    w.info(m.info, TV_INFO_JOIN_REQUEST);
    return w.result;
}
std::optional<TvToServerJoinRequest> TvDecodeToServerJoinRequest(IBinaryStreamComposer* p) {
    Reader r(p, TvToServerJoinRequest::type);
    TvToServerJoinRequest m;
    r.info(&m.info, TV_INFO_JOIN_REQUEST, false);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToServerKillTaken& m) {
    Writer w(p);
    w.u(5, m.slot);
    return w.result;
}
std::optional<TvToServerKillTaken> TvDecodeToServerKillTaken(IBinaryStreamComposer* p) {
    Reader r(p, TvToServerKillTaken::type);
    TvToServerKillTaken m;
    r.slot(&m.slot);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToServerRespawnRequest&) {
    return Writer(p).result;
}
std::optional<TvToServerRespawnRequest> TvDecodeToServerRespawnRequest(IBinaryStreamComposer* p) {
    return decode_empty<TvToServerRespawnRequest>(p);
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToServerPlaneReport& m) {
    Writer w(p);
    w.u(16, m.time);
    w.u(8, m.fraction);
    w.plane_state(m.state);
    return w.result;
}
std::optional<TvToServerPlaneReport> TvDecodeToServerPlaneReport(IBinaryStreamComposer* p) {
    Reader r(p, TvToServerPlaneReport::type);
    TvToServerPlaneReport m;
    uint32_t time = 0, fraction = 0;
    r.u(16, &time) && r.u(8, &fraction) && r.plane_state(&m.state);
    m.time = uint16_t(time);
    m.fraction = uint8_t(fraction);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToServerStatus& m) {
    Writer w(p);
    w.i32(m.status);
    return w.result;
}
std::optional<TvToServerStatus> TvDecodeToServerStatus(IBinaryStreamComposer* p) {
    Reader r(p, TvToServerStatus::type);
    TvToServerStatus m;
    r.i32(&m.status) && r.check(valid_status(m.status), "bad status");
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToServerTimeRequest&) {
    return Writer(p).result;
}
std::optional<TvToServerTimeRequest> TvDecodeToServerTimeRequest(IBinaryStreamComposer* p) {
    return decode_empty<TvToServerTimeRequest>(p);
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToServerTimeSample& m) {
    Writer w(p);
    w.i32(m.estimate);
    return w.result;
}
std::optional<TvToServerTimeSample> TvDecodeToServerTimeSample(IBinaryStreamComposer* p) {
    Reader r(p, TvToServerTimeSample::type);
    TvToServerTimeSample m;
    r.i32(&m.estimate);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToServerDamage& m) {
    Writer w(p);
    w.i32(int32_t(m.target));
    w.i32(int32_t(m.attacker));
    w.f32(m.damage);
    return w.result;
}
std::optional<TvToServerDamage> TvDecodeToServerDamage(IBinaryStreamComposer* p) {
    Reader r(p, TvToServerDamage::type);
    TvToServerDamage m;
    r.u(32, &m.target) && r.u(32, &m.attacker) && r.f32(&m.damage) &&
        r.check(valid_object(m.target) && valid_object(m.attacker), "bad object id") &&
        r.check(m.damage >= 0, "negative damage");
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToServerPlaneChange& m) {
    Writer w(p);
    w.text32(m.planeId);
    return w.result;
}
std::optional<TvToServerPlaneChange> TvDecodeToServerPlaneChange(IBinaryStreamComposer* p) {
    Reader r(p, TvToServerPlaneChange::type);
    TvToServerPlaneChange m;
    r.text32(m.planeId);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToServerSideChange& m) {
    Writer w(p);
    w.i32(m.side);
    return w.result;
}
std::optional<TvToServerSideChange> TvDecodeToServerSideChange(IBinaryStreamComposer* p) {
    Reader r(p, TvToServerSideChange::type);
    TvToServerSideChange m;
    r.i32(&m.side) && r.check(valid_side(m.side), "bad side");
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToServerMapVote& m) {
    Writer w(p);
    w.u(8, m.map);
    w.u(8, m.weight);
    return w.result;
}
std::optional<TvToServerMapVote> TvDecodeToServerMapVote(IBinaryStreamComposer* p) {
    Reader r(p, TvToServerMapVote::type);
    TvToServerMapVote m;
    uint32_t map = 0, weight = 0;
    r.u(8, &map) && r.u(8, &weight);
    m.map = uint8_t(map);
    m.weight = uint8_t(weight);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToServerRemoteFire& m) {
    Writer w(p);
    w.u(8, m.kind);
    w.position(m.position);
    w.direction(m.heading);
    w.direction(m.velocity);
    w.f32(m.speed);
    w.u(3, uint32_t(m.entries.size()));
    for (const TvFireEntry& e : m.entries) {
        w.u(3, e.slot);
        if (m.kind == TV_FIRE_GUN) {
            w.direction(e.aim);
        } else {
            for (float f : e.offset) w.f32(f);
            w.f32(e.flightTime);
        }
    }
    return w.result;
}
std::optional<TvToServerRemoteFire> TvDecodeToServerRemoteFire(IBinaryStreamComposer* p) {
    Reader r(p, TvToServerRemoteFire::type);
    TvToServerRemoteFire m;
    uint32_t kind = 0, count = 0;
    r.u(8, &kind) && r.check(kind == TV_FIRE_RELEASE || kind == TV_FIRE_GUN, "bad fire kind") &&
        r.position(m.position) && r.direction(m.heading) && r.direction(m.velocity) &&
        r.f32(&m.speed) && r.u(3, &count);
    m.kind = uint8_t(kind);
    for (uint32_t i = 0; i < count && r.ok(); ++i) {
        TvFireEntry e;
        r.u(3, &e.slot);
        if (kind == TV_FIRE_GUN) {
            r.direction(e.aim);
        } else {
            r.f32(&e.offset[0]) && r.f32(&e.offset[1]) && r.f32(&e.offset[2]) &&
                r.f32(&e.flightTime) && r.check(e.flightTime > 0, "bad flight time");
        }
        m.entries.push_back(e);
    }
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToServerChat& m) {
    Writer w(p);
    w.chat(m.text);
    return w.result;
}
std::optional<TvToServerChat> TvDecodeToServerChat(IBinaryStreamComposer* p) {
    Reader r(p, TvToServerChat::type);
    TvToServerChat m;
    r.chat(&m.text);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToServerAim& m) {
    Writer w(p);
    w.u(3, m.slot);
    w.u(3, uint32_t(m.entries.size()));
    for (const TvAimEntry& e : m.entries) {
        w.u(3, e.slot);
        w.direction(e.direction);
    }
    return w.result;
}
std::optional<TvToServerAim> TvDecodeToServerAim(IBinaryStreamComposer* p) {
    Reader r(p, TvToServerAim::type);
    TvToServerAim m;
    uint32_t count = 0;
    r.u(3, &m.slot) && r.u(3, &count);
    for (uint32_t i = 0; i < count && r.ok(); ++i) {
        TvAimEntry e;
        r.u(3, &e.slot) && r.direction(e.direction);
        m.entries.push_back(e);
    }
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToServerEcho& m) {
    Writer w(p);
    w.i32(m.idA);
    w.i32(m.idB);
    w.f32(m.value);
    return w.result;
}
std::optional<TvToServerEcho> TvDecodeToServerEcho(IBinaryStreamComposer* p) {
    Reader r(p, TvToServerEcho::type);
    TvToServerEcho m;
    r.i32(&m.idA) && r.i32(&m.idB) && r.f32(&m.value);
    return r.finish(std::move(m));
}

OmResult TvEncode(IBinaryStreamComposer* p, const TvToServerPickup& m) {
    Writer w(p);
    w.i32(int32_t(m.object));
    return w.result;
}
std::optional<TvToServerPickup> TvDecodeToServerPickup(IBinaryStreamComposer* p) {
    Reader r(p, TvToServerPickup::type);
    TvToServerPickup m;
    r.u(32, &m.object) && r.check(valid_object(m.object), "bad object id");
    return r.finish(std::move(m));
}

// --- By type -----------------------------------------------------------------------------

namespace {
template <class Variant, class T>
std::optional<Variant> lift(std::optional<T>&& decoded) {
    if (!decoded) return std::nullopt;
    return Variant(std::move(*decoded));
}
} // namespace

std::optional<TvToClientMessage> TvDecodeToClient(uint16_t type, IBinaryStreamComposer* p) {
    using V = TvToClientMessage;
    switch (TvMessage(type)) {
    case TvMessage::PlayerId: return lift<V>(TvDecodeToClientPlayerId(p));
    case TvMessage::Join: return lift<V>(TvDecodeToClientJoinAccepted(p));
    case TvMessage::PlayerJoined: return lift<V>(TvDecodeToClientPlayerJoined(p));
    case TvMessage::GameParameters: return lift<V>(TvDecodeToClientGameParameters(p));
    case TvMessage::KillTaken: return lift<V>(TvDecodeToClientKillTaken(p));
    case TvMessage::Respawn: return lift<V>(TvDecodeToClientRespawn(p));
    case TvMessage::PlaneStates: return lift<V>(TvDecodeToClientPlaneStates(p));
    case TvMessage::Status: return lift<V>(TvDecodeToClientStatus(p));
    case TvMessage::ServerTime: return lift<V>(TvDecodeToClientServerTime(p));
    case TvMessage::TimeAnswer: return lift<V>(TvDecodeToClientTimeAnswer(p));
    case TvMessage::Damage: return lift<V>(TvDecodeToClientDamage(p));
    case TvMessage::DamageStates: return lift<V>(TvDecodeToClientDamageStates(p));
    case TvMessage::PlaneChange: return lift<V>(TvDecodeToClientPlaneChange(p));
    case TvMessage::SideChange: return lift<V>(TvDecodeToClientSideChange(p));
    case TvMessage::KillScored: return lift<V>(TvDecodeToClientKillScored(p));
    case TvMessage::PlayerLeft: return lift<V>(TvDecodeToClientPlayerLeft(p));
    case TvMessage::MatchFinished: return lift<V>(TvDecodeToClientMatchFinished(p));
    case TvMessage::NewMission: return lift<V>(TvDecodeToClientNewMission(p));
    case TvMessage::ClockCorrection: return lift<V>(TvDecodeToClientClockCorrection(p));
    case TvMessage::RemoteFire: return lift<V>(TvDecodeToClientRemoteFire(p));
    case TvMessage::Chat: return lift<V>(TvDecodeToClientChat(p));
    case TvMessage::Aim: return lift<V>(TvDecodeToClientAim(p));
    case TvMessage::Echo: return lift<V>(TvDecodeToClientEcho(p));
    case TvMessage::Disconnected: return lift<V>(TvDecodeToClientDisconnected(p));
    case TvMessage::VotingInProgress: return lift<V>(TvDecodeToClientVotingInProgress(p));
    case TvMessage::PlayerLimit: return lift<V>(TvDecodeToClientPlayerLimit(p));
    case TvMessage::Pickup: return lift<V>(TvDecodeToClientPickup(p));
    case TvMessage::FinishedNoVote: return lift<V>(TvDecodeToClientFinishedNoVote(p));
    default: trace_drop(type, "unknown type"); return std::nullopt;
    }
}

std::optional<TvToServerMessage> TvDecodeToServer(uint16_t type, IBinaryStreamComposer* p) {
    using V = TvToServerMessage;
    switch (TvMessage(type)) {
    case TvMessage::Join: return lift<V>(TvDecodeToServerJoinRequest(p));
    case TvMessage::KillTaken: return lift<V>(TvDecodeToServerKillTaken(p));
    case TvMessage::RespawnRequest: return lift<V>(TvDecodeToServerRespawnRequest(p));
    case TvMessage::PlaneStates: return lift<V>(TvDecodeToServerPlaneReport(p));
    case TvMessage::Status: return lift<V>(TvDecodeToServerStatus(p));
    case TvMessage::TimeRequest: return lift<V>(TvDecodeToServerTimeRequest(p));
    case TvMessage::TimeSample: return lift<V>(TvDecodeToServerTimeSample(p));
    case TvMessage::Damage: return lift<V>(TvDecodeToServerDamage(p));
    case TvMessage::PlaneChange: return lift<V>(TvDecodeToServerPlaneChange(p));
    case TvMessage::SideChange: return lift<V>(TvDecodeToServerSideChange(p));
    case TvMessage::MapVote: return lift<V>(TvDecodeToServerMapVote(p));
    case TvMessage::RemoteFire: return lift<V>(TvDecodeToServerRemoteFire(p));
    case TvMessage::Chat: return lift<V>(TvDecodeToServerChat(p));
    case TvMessage::Aim: return lift<V>(TvDecodeToServerAim(p));
    case TvMessage::Echo: return lift<V>(TvDecodeToServerEcho(p));
    case TvMessage::Pickup: return lift<V>(TvDecodeToServerPickup(p));
    default: trace_drop(type, "unknown type"); return std::nullopt;
    }
}
