// Encoders and checking decoders of the game protocol's messages.
#include "net/messages/game_messages.h"

#include "framework/platform/debug_message.h"
#include "platform/clock.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <tuple>

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

    // Room for `bits` more bits; taken from the budget (unless it was claimed already).
    bool need(uint64_t bits) {
        if (!ok()) return false;
        if (prepaid_) return true;
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

    // While set, the fields read were paid for at once (a list whose every entry's room is
    // claimed before any entry is read).
    void set_prepaid(bool prepaid) { prepaid_ = prepaid; }

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
    bool prepaid_ = false;
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

// --- Field kinds -------------------------------------------------------------------------
// A message is described once, as its fields in wire order; write_group() writes a record from
// that description and read_group() reads and checks a payload into one.

// What a field's value must be. The slot and the fire kind are checked as soon as they are read
// (the kind decides the shape of what follows); the other rules once their group (a message,
// the part before its tail, a tail, a list entry) has been read, in field order.
enum class Rule : uint8_t { none, slot, fire_kind, status, side, object, damage, flight_time };

constexpr bool checked_at_once(Rule rule) {
    return rule == Rule::slot || rule == Rule::fire_kind;
}

// Why the value breaks the rule, or null.
template <class T>
const char* refusal(Rule rule, T value) {
    switch (rule) {
    case Rule::none: return nullptr;
    case Rule::slot: return valid_slot(uint32_t(value)) ? nullptr : "bad slot";
    case Rule::fire_kind:
        return value == TV_FIRE_RELEASE || value == TV_FIRE_GUN ? nullptr : "bad fire kind";
    case Rule::status: return valid_status(int32_t(value)) ? nullptr : "bad status";
    case Rule::side: return valid_side(int32_t(value)) ? nullptr : "bad side";
    case Rule::object: return valid_object(uint32_t(value)) ? nullptr : "bad object id";
    case Rule::damage: return value >= 0 ? nullptr : "negative damage";
    case Rule::flight_time: return value > 0 ? nullptr : "bad flight time";
    }
    return nullptr;
}

// An integer of `bits` bits (kind 1); a 32-bit one carries a signed or unsigned member alike.
template <class R, class T>
struct Int {
    T R::*member;
    uint32_t bits;
    Rule rule = Rule::none;
};
template <class R, class T>
Int(T R::*, uint32_t, Rule = Rule::none) -> Int<R, T>;

// A 32-bit id taken as raw bits (kind 4).
template <class R>
struct Id {
    uint32_t R::*member;
};
template <class R>
Id(uint32_t R::*) -> Id<R>;

// Finite floats: one, or N in a row.
template <class R>
struct Float {
    float R::*member;
    Rule rule = Rule::none;
};
template <class R>
Float(float R::*, Rule = Rule::none) -> Float<R>;
template <class R, size_t N>
struct Floats {
    float (R::*member)[N];
};
template <class R, size_t N>
Floats(float (R::*)[N]) -> Floats<R, N>;

// A 32-byte text field, terminated inside its field once read.
template <class R>
struct Text32 {
    char (R::*member)[32];
};
template <class R>
Text32(char (R::*)[32]) -> Text32<R>;

template <class R>
struct Position {
    float (R::*member)[3];
};
template <class R>
Position(float (R::*)[3]) -> Position<R>;

// A direction; one that reads as zero is refused.
template <class R>
struct Direction {
    float (R::*member)[3];
};
template <class R>
Direction(float (R::*)[3]) -> Direction<R>;

// A frame matrix, made orthonormal once read.
template <class R>
struct Matrix {
    TvWireMatrix R::*member;
};
template <class R>
Matrix(TvWireMatrix R::*) -> Matrix<R>;

// A player-info record of the groups in `mask`; the server's carry a status and an object id
// that are checked, a join request the pilot's own, which the server replaces.
template <class R>
struct Info {
    TvPlayerInfo R::*member;
    uint32_t mask;
    bool from_server;
};
template <class R>
Info(TvPlayerInfo R::*, uint32_t, bool) -> Info<R>;

template <class R>
struct PlaneState {
    TvPlaneStateRecord R::*member;
};
template <class R>
PlaneState(TvPlaneStateRecord R::*) -> PlaneState<R>;

// A chat text: its length, then its characters.
template <class R>
struct Chat {
    std::string R::*member;
};
template <class R>
Chat(std::string R::*) -> Chat<R>;

// Message 32's code per object id, each code 2 followed by its 16-bit damage.
struct DamageCodes {};

// Fields whose rules are checked once all of them have been read.
template <class Fields>
struct Group {
    Fields fields;
};
template <class Fields>
Group(Fields) -> Group<Fields>;

// A count of `count_bits` bits, then that many entries.
template <class R, class E, class Fields>
struct List {
    std::vector<E> R::*member;
    uint32_t count_bits;
    Fields entry;
};
template <class R, class E, class Fields>
List(std::vector<E> R::*, uint32_t, Fields) -> List<R, E, Fields>;

// A count as an int below the slot count, then that many entries of fixed size, whose room is
// claimed for all of them before any is read.
template <class R, class E, class Fields>
struct SlotList {
    std::vector<E> R::*member;
    Fields entry;
};
template <class R, class E, class Fields>
SlotList(std::vector<E> R::*, Fields) -> SlotList<R, E, Fields>;

// The tail of message 43, chosen by the message's kind: kind 1 the release, kind 2 the gun.
template <class M, class Gun, class Release>
struct FireTail {
    uint8_t M::*kind;
    Gun gun;
    Release release;
};
template <class M, class Gun, class Release>
FireTail(uint8_t M::*, Gun, Release) -> FireTail<M, Gun, Release>;

// --- The messages ------------------------------------------------------------------------
// One description per record; a record without fields (an empty message) has none.

template <class R>
std::tuple<> layout(const R&) {
    return {};
}

// Server to game.
auto layout(const TvToClientPlayerId&) {
    using M = TvToClientPlayerId;
    return std::tuple{Id{&M::playerId}};
}
auto layout(const TvToClientJoinAccepted&) {
    using M = TvToClientJoinAccepted;
    return std::tuple{Info{&M::info, TV_INFO_JOIN_ACCEPTED, true}, Int{&M::slot, 5, Rule::slot}};
}
auto layout(const TvToClientPlayerJoined&) {
    using M = TvToClientPlayerJoined;
    return std::tuple{Info{&M::info, TV_INFO_PLAYER_JOINED, true}, Int{&M::slot, 5, Rule::slot}};
}
auto layout(const TvToClientGameParameters&) {
    using M = TvToClientGameParameters;
    return std::tuple{Int{&M::mission, 32}, Int{&M::slot, 5, Rule::slot}};
}
auto layout(const TvToClientKillTaken&) {
    return std::tuple{Int{&TvToClientKillTaken::slot, 5, Rule::slot}};
}
auto layout(const TvToClientRespawn&) {
    using M = TvToClientRespawn;
    return std::tuple{Matrix{&M::matrix}, Int{&M::slot, 5, Rule::slot}};
}
auto layout(const TvToClientPlaneStates&) {
    using E = TvPlaneStateEntry;
    return std::tuple{
        SlotList{&TvToClientPlaneStates::entries,
                 std::tuple{Int{&E::time, 16}, Int{&E::fraction, 8}, PlaneState{&E::state}}}};
}
auto layout(const TvToClientStatus&) {
    using M = TvToClientStatus;
    return std::tuple{Int{&M::slot, 5, Rule::slot}, Int{&M::status, 32, Rule::status}};
}
auto layout(const TvToClientServerTime&) {
    return std::tuple{Int{&TvToClientServerTime::time, 32}};
}
auto layout(const TvToClientTimeAnswer&) {
    using M = TvToClientTimeAnswer;
    return std::tuple{Int{&M::time, 32}, Int{&M::difference, 32}};
}
auto layout(const TvToClientDamage&) {
    using M = TvToClientDamage;
    return std::tuple{Int{&M::target, 32, Rule::object}, Int{&M::attacker, 32, Rule::object},
                      Float{&M::damage, Rule::damage}};
}
auto layout(const TvToClientDamageStates&) {
    return std::tuple{DamageCodes{}};
}
auto layout(const TvToClientPlaneChange&) {
    using M = TvToClientPlaneChange;
    return std::tuple{Int{&M::slot, 5, Rule::slot}, Text32{&M::planeId}};
}
auto layout(const TvToClientSideChange&) {
    using M = TvToClientSideChange;
    return std::tuple{Int{&M::slot, 5, Rule::slot}, Int{&M::side, 32, Rule::side}};
}
auto layout(const TvToClientKillScored&) {
    using M = TvToClientKillScored;
    return std::tuple{Int{&M::slot, 5, Rule::slot}, Int{&M::kills, 32},
                      Int{&M::victim, 32, Rule::object}};
}
auto layout(const TvToClientPlayerLeft&) {
    return std::tuple{Int{&TvToClientPlayerLeft::slot, 5, Rule::slot}};
}
auto layout(const TvToClientMatchFinished&) {
    return std::tuple{Int{&TvToClientMatchFinished::winner, 5, Rule::slot}};
}
auto layout(const TvToClientNewMission&) {
    return std::tuple{Int{&TvToClientNewMission::mission, 8}};
}
auto layout(const TvToClientClockCorrection&) {
    return std::tuple{Int{&TvToClientClockCorrection::time, 32}};
}
auto layout(const TvToClientRemoteFire&) {
    using M = TvToClientRemoteFire;
    return std::tuple{
        Group{std::tuple{Int{&M::kind, 8, Rule::fire_kind}, Position{&M::position},
                         Direction{&M::directionA}, Direction{&M::directionB}, Float{&M::speed},
                         Int{&M::shooter, 32, Rule::object}}},
        FireTail{&M::kind, std::tuple{Direction{&M::aim}},
                 std::tuple{Floats{&M::offset}, Float{&M::flightTime, Rule::flight_time}}}};
}
auto layout(const TvToClientChat&) {
    return std::tuple{Chat{&TvToClientChat::text}};
}
auto layout(const TvToClientAim&) {
    using M = TvToClientAim;
    return std::tuple{Int{&M::slot, 3}, Direction{&M::direction}};
}
auto layout(const TvToClientEcho&) {
    using M = TvToClientEcho;
    return std::tuple{Int{&M::idA, 32}, Int{&M::idB, 32}, Float{&M::value}};
}
auto layout(const TvToClientPickup&) {
    return std::tuple{Int{&TvToClientPickup::object, 32, Rule::object}};
}
auto layout(const TvToClientFinishedNoVote&) {
    return std::tuple{Int{&TvToClientFinishedNoVote::slot, 5, Rule::slot}};
}

// Game to server.
auto layout(const TvToServerJoinRequest&) {
    return std::tuple{Info{&TvToServerJoinRequest::info, TV_INFO_JOIN_REQUEST, false}};
}
auto layout(const TvToServerKillTaken&) {
    return std::tuple{Int{&TvToServerKillTaken::slot, 5, Rule::slot}};
}
auto layout(const TvToServerPlaneReport&) {
    using M = TvToServerPlaneReport;
    return std::tuple{Int{&M::time, 16}, Int{&M::fraction, 8}, PlaneState{&M::state}};
}
auto layout(const TvToServerStatus&) {
    return std::tuple{Int{&TvToServerStatus::status, 32, Rule::status}};
}
auto layout(const TvToServerTimeSample&) {
    return std::tuple{Int{&TvToServerTimeSample::estimate, 32}};
}
auto layout(const TvToServerDamage&) {
    using M = TvToServerDamage;
    return std::tuple{Int{&M::target, 32, Rule::object}, Int{&M::attacker, 32, Rule::object},
                      Float{&M::damage, Rule::damage}};
}
auto layout(const TvToServerPlaneChange&) {
    return std::tuple{Text32{&TvToServerPlaneChange::planeId}};
}
auto layout(const TvToServerSideChange&) {
    return std::tuple{Int{&TvToServerSideChange::side, 32, Rule::side}};
}
auto layout(const TvToServerMapVote&) {
    using M = TvToServerMapVote;
    return std::tuple{Int{&M::map, 8}, Int{&M::weight, 8}};
}
auto layout(const TvToServerRemoteFire&) {
    using M = TvToServerRemoteFire;
    using E = TvFireEntry;
    return std::tuple{
        Int{&M::kind, 8, Rule::fire_kind},
        Position{&M::position},
        Direction{&M::heading},
        Direction{&M::velocity},
        Float{&M::speed},
        List{&M::entries, 3,
             std::tuple{Int{&E::slot, 3},
                        FireTail{&M::kind, std::tuple{Direction{&E::aim}},
                                 std::tuple{Floats{&E::offset},
                                            Float{&E::flightTime, Rule::flight_time}}}}}};
}
auto layout(const TvToServerChat&) {
    return std::tuple{Chat{&TvToServerChat::text}};
}
auto layout(const TvToServerAim&) {
    using M = TvToServerAim;
    using E = TvAimEntry;
    return std::tuple{Int{&M::slot, 3},
                      List{&M::entries, 3, std::tuple{Int{&E::slot, 3}, Direction{&E::direction}}}};
}
auto layout(const TvToServerEcho&) {
    using M = TvToServerEcho;
    return std::tuple{Int{&M::idA, 32}, Int{&M::idB, 32}, Float{&M::value}};
}
auto layout(const TvToServerPickup&) {
    return std::tuple{Int{&TvToServerPickup::object, 32, Rule::object}};
}

// --- Writing a description ---------------------------------------------------------------
// Each writes field `f` of record `r` (an entry's message is `m`).

template <class F, class R, class M>
void write_group(Writer& w, const F& fields, const R& r, const M& m);

template <class R, class T, class M>
void write(Writer& w, const Int<R, T>& f, const R& r, const M&) {
    w.u(f.bits, uint32_t(r.*f.member));
}
template <class R, class M>
void write(Writer& w, const Id<R>& f, const R& r, const M&) {
    w.id(r.*f.member);
}
template <class R, class M>
void write(Writer& w, const Float<R>& f, const R& r, const M&) {
    w.f32(r.*f.member);
}
template <class R, size_t N, class M>
void write(Writer& w, const Floats<R, N>& f, const R& r, const M&) {
    for (float value : r.*f.member) w.f32(value);
}
template <class R, class M>
void write(Writer& w, const Text32<R>& f, const R& r, const M&) {
    w.text32(r.*f.member);
}
template <class R, class M>
void write(Writer& w, const Position<R>& f, const R& r, const M&) {
    w.position(r.*f.member);
}
template <class R, class M>
void write(Writer& w, const Direction<R>& f, const R& r, const M&) {
    w.direction(r.*f.member);
}
template <class R, class M>
void write(Writer& w, const Matrix<R>& f, const R& r, const M&) {
    w.matrix((r.*f.member).m);
}
template <class R, class M>
void write(Writer& w, const Info<R>& f, const R& r, const M&) {
    w.info(r.*f.member, f.mask);
}
template <class R, class M>
void write(Writer& w, const PlaneState<R>& f, const R& r, const M&) {
    w.plane_state(r.*f.member);
}
template <class R, class M>
void write(Writer& w, const Chat<R>& f, const R& r, const M&) {
    w.chat(r.*f.member);
}
template <class M>
void write(Writer& w, const DamageCodes&, const TvToClientDamageStates& r, const M&) {
    for (uint32_t id = 0; id < TV_DAMAGE_STATE_OBJECTS; ++id) {
        w.u(2, r.codes[id]);
        if (r.codes[id] == 2) w.u(16, r.damage[id]);
    }
}
template <class F, class R, class M>
void write(Writer& w, const Group<F>& f, const R& r, const M& m) {
    write_group(w, f.fields, r, m);
}
template <class R, class E, class F, class M>
void write(Writer& w, const List<R, E, F>& f, const R& r, const M&) {
    w.u(f.count_bits, uint32_t((r.*f.member).size()));
    for (const E& entry : r.*f.member) write_group(w, f.entry, entry, r);
}
template <class R, class E, class F, class M>
void write(Writer& w, const SlotList<R, E, F>& f, const R& r, const M&) {
    w.i32(int32_t((r.*f.member).size()));
    for (const E& entry : r.*f.member) write_group(w, f.entry, entry, r);
}
template <class M, class G, class L, class R>
void write(Writer& w, const FireTail<M, G, L>& f, const R& r, const M& m) {
    // Another kind carries no tail.
    if (m.*f.kind == TV_FIRE_GUN)
        write_group(w, f.gun, r, m);
    else if (m.*f.kind == TV_FIRE_RELEASE)
        write_group(w, f.release, r, m);
}

template <class F, class R, class M>
void write_group(Writer& w, const F& fields, const R& r, const M& m) {
    std::apply([&](const auto&... f) { (write(w, f, r, m), ...); }, fields);
}

// --- Reading a description ---------------------------------------------------------------
// Each reads field `f` into record `r` (an entry's message is `m`): false once dropped.

template <class F, class R, class M>
bool read_group(Reader& in, const F& fields, R& r, M& m);

template <class R, class T, class M>
bool read(Reader& in, const Int<R, T>& f, R& r, M&) {
    uint32_t value = 0;
    if (!in.u(f.bits, &value)) return false;
    r.*f.member = T(value);
    const char* why = checked_at_once(f.rule) ? refusal(f.rule, value) : nullptr;
    return !why || in.fail(why);
}
template <class R, class M>
bool read(Reader& in, const Id<R>& f, R& r, M&) {
    return in.id(&(r.*f.member));
}
template <class R, class M>
bool read(Reader& in, const Float<R>& f, R& r, M&) {
    return in.f32(&(r.*f.member));
}
template <class R, size_t N, class M>
bool read(Reader& in, const Floats<R, N>& f, R& r, M&) {
    for (float& value : r.*f.member)
        if (!in.f32(&value)) return false;
    return true;
}
template <class R, class M>
bool read(Reader& in, const Text32<R>& f, R& r, M&) {
    return in.text32(r.*f.member);
}
template <class R, class M>
bool read(Reader& in, const Position<R>& f, R& r, M&) {
    return in.position(r.*f.member);
}
template <class R, class M>
bool read(Reader& in, const Direction<R>& f, R& r, M&) {
    return in.direction(r.*f.member);
}
template <class R, class M>
bool read(Reader& in, const Matrix<R>& f, R& r, M&) {
    return in.matrix((r.*f.member).m);
}
template <class R, class M>
bool read(Reader& in, const Info<R>& f, R& r, M&) {
    return in.info(&(r.*f.member), f.mask, f.from_server);
}
template <class R, class M>
bool read(Reader& in, const PlaneState<R>& f, R& r, M&) {
    return in.plane_state(&(r.*f.member));
}
template <class R, class M>
bool read(Reader& in, const Chat<R>& f, R& r, M&) {
    return in.chat(&(r.*f.member));
}
// Every code 2 is followed by its 16-bit value, whether or not the id names an object here:
// skipping it for a missing object would shift every later field.
template <class M>
bool read(Reader& in, const DamageCodes&, TvToClientDamageStates& r, M&) {
    for (uint32_t id = 0; id < TV_DAMAGE_STATE_OBJECTS && in.ok(); ++id) {
        uint32_t code = 0, value = 0;
        if (!in.u(2, &code) || !in.check(code <= 2, "bad damage code")) break;
        r.codes[id] = uint8_t(code);
        if (code == 2 && in.u(16, &value)) r.damage[id] = uint16_t(value);
    }
    return in.ok();
}
template <class F, class R, class M>
bool read(Reader& in, const Group<F>& f, R& r, M& m) {
    return read_group(in, f.fields, r, m);
}
template <class R, class E, class F, class M>
bool read(Reader& in, const List<R, E, F>& f, R& r, M&) {
    uint32_t count = 0;
    in.u(f.count_bits, &count);
    for (uint32_t i = 0; i < count && in.ok(); ++i) {
        E entry;
        read_group(in, f.entry, entry, r);
        (r.*f.member).push_back(entry);
    }
    return in.ok();
}

// Bits of an entry of a slot list.
template <class R, class T>
constexpr uint64_t fixed_bits(const Int<R, T>& f) {
    return f.bits;
}
template <class R>
constexpr uint64_t fixed_bits(const PlaneState<R>&) {
    return plane_state_bits;
}

template <class R, class E, class F, class M>
bool read(Reader& in, const SlotList<R, E, F>& f, R& r, M&) {
    uint32_t word = 0;
    const uint64_t entry_bits =
        std::apply([](const auto&... field) { return (fixed_bits(field) + ...); }, f.entry);
    // The whole count's entries must be there before any is read.
    if (!in.u(32, &word) ||
        !in.check(int32_t(word) >= 0 && int32_t(word) < int32_t(TV_PLAYER_SLOTS), "bad count") ||
        !in.need(uint64_t(word) * entry_bits))
        return false;
    (r.*f.member).resize(size_t(word));
    in.set_prepaid(true);
    for (E& entry : r.*f.member)
        if (!read_group(in, f.entry, entry, r)) break;
    in.set_prepaid(false);
    return in.ok();
}
template <class M, class G, class L, class R>
bool read(Reader& in, const FireTail<M, G, L>& f, R& r, M& m) {
    if (m.*f.kind == TV_FIRE_GUN) return read_group(in, f.gun, r, m);
    if (m.*f.kind == TV_FIRE_RELEASE) return read_group(in, f.release, r, m);
    return true;
}

// The rules checked once a group has been read.
template <class R, class T>
bool settle(Reader& in, const Int<R, T>& f, const R& r) {
    const char* why = checked_at_once(f.rule) ? nullptr : refusal(f.rule, r.*f.member);
    return !why || in.fail(why);
}
template <class R>
bool settle(Reader& in, const Float<R>& f, const R& r) {
    const char* why = refusal(f.rule, r.*f.member);
    return !why || in.fail(why);
}
template <class F, class R>
bool settle(Reader&, const F&, const R&) {
    return true;
}

template <class F, class R, class M>
bool read_group(Reader& in, const F& fields, R& r, M& m) {
    return std::apply([&](const auto&... f) { return (read(in, f, r, m) && ...); }, fields) &&
           std::apply([&](const auto&... f) { return (settle(in, f, r) && ...); }, fields);
}

template <class R>
OmResult encode(IBinaryStreamComposer* packet, const R& record) {
    Writer w(packet);
    write_group(w, layout(record), record, record);
    return w.result;
}

template <class R>
std::optional<R> decode(IBinaryStreamComposer* packet) {
    Reader in(packet, R::type);
    // Message 32's record is large: it is built off the stack.
    auto record = std::make_unique<R>();
    read_group(in, layout(*record), *record, *record);
    return in.finish(std::move(*record));
}

} // namespace

void TvSetDropSink(TvDropSink sink) {
    drop_sink.store(sink);
}

// --- The messages' encoders and decoders -------------------------------------------------

#define TV_MESSAGE_CODEC(Record, decoder)                                                          \
    OmResult TvEncode(IBinaryStreamComposer* packet, const Record& m) {                            \
        return encode(packet, m);                                                                  \
    }                                                                                              \
    std::optional<Record> decoder(IBinaryStreamComposer* packet) {                                 \
        return decode<Record>(packet);                                                             \
    }

TV_GAME_MESSAGES_TO_CLIENT(TV_MESSAGE_CODEC)
TV_GAME_MESSAGES_TO_SERVER(TV_MESSAGE_CODEC)

#undef TV_MESSAGE_CODEC

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
#define TV_DECODE_CASE(Record, decoder)                                                            \
    case Record::type: return lift<V>(decoder(p));
    switch (TvMessage(type)) {
        TV_GAME_MESSAGES_TO_CLIENT(TV_DECODE_CASE)
    default: trace_drop(type, "unknown type"); return std::nullopt;
    }
#undef TV_DECODE_CASE
}

std::optional<TvToServerMessage> TvDecodeToServer(uint16_t type, IBinaryStreamComposer* p) {
    using V = TvToServerMessage;
#define TV_DECODE_CASE(Record, decoder)                                                            \
    case Record::type: return lift<V>(decoder(p));
    switch (TvMessage(type)) {
        TV_GAME_MESSAGES_TO_SERVER(TV_DECODE_CASE)
    default: trace_drop(type, "unknown type"); return std::nullopt;
    }
#undef TV_DECODE_CASE
}
