// The game protocol's messages as typed records: one record per message type and direction,
// an encoder that writes it into a packet and a decoder that reads a received packet into a
// record, or drops it when the payload is short or a value is out of range.
//
// Records named TvToClient... travel from the server to the game, TvToServer... from the game
// to the server. Each record names its type and, for the game's own messages, its send flags.
// A decoder reads into locals, checks every size before the field is read and every value
// afterwards, and only then returns the record: a dropped message has nothing applied and
// leaves one rate-limited trace in the debug log.
#pragma once

#include "net/client/message_codec.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// Limits of the values the protocol carries.
inline constexpr uint32_t TV_PLAYER_SLOTS = 8;
inline constexpr uint32_t TV_MAX_OBJECT_ID = 6000;        // object ids are below it
inline constexpr uint32_t TV_DAMAGE_STATE_OBJECTS = 3000; // message 32 covers ids 0..2999
inline constexpr int32_t TV_MAX_CHAT_LENGTH = 287;
inline constexpr int32_t TV_SIDE_ALLIED = 8;
inline constexpr int32_t TV_SIDE_CENTRAL = 9;
inline constexpr uint32_t TV_SIDE_FLAGS_ALLIED = 0x102;
inline constexpr uint32_t TV_SIDE_FLAGS_CENTRAL = 0x202;
inline constexpr uint32_t TV_OBJECT_ID_FIRST_PLAYER = 5000; // the server's id of slot 0
// Player-info masks of messages 19 (both directions) and 20.
inline constexpr uint32_t TV_INFO_JOIN_REQUEST = 0x0b;
inline constexpr uint32_t TV_INFO_JOIN_ACCEPTED = 0x17;
inline constexpr uint32_t TV_INFO_PLAYER_JOINED = 0x07;

// Message type numbers.
enum class TvMessage : uint16_t {
    PlayerId = 17,
    Join = 19,
    PlayerJoined = 20,
    GameParameters = 21,
    KillTaken = 22,
    Respawn = 23,
    RespawnRequest = 24,
    PlaneStates = 25,
    Status = 26,
    ServerTime = 27,
    TimeRequest = 28,
    TimeSample = 29,
    TimeAnswer = 30,
    Damage = 31,
    DamageStates = 32,
    PlaneChange = 33,
    SideChange = 34,
    KillScored = 37,
    PlayerLeft = 38,
    MatchFinished = 39,
    MapVote = 40,
    NewMission = 41,
    ClockCorrection = 42,
    RemoteFire = 43,
    Chat = 44,
    Aim = 45,
    Echo = 47,
    Disconnected = 48,
    VotingInProgress = 49,
    PlayerLimit = 50,
    Pickup = 51,
    FinishedNoVote = 52,
};

// The 4x4 frame matrix as it travels: right xyz, flag word, up xyz, pad, at xyz, pad,
// position xyz, pad; sixteen little-endian 32-bit words.
struct TvWireMatrix {
    float m[16];
};

// Remote fire kinds.
inline constexpr uint8_t TV_FIRE_RELEASE = 1; // ordinance: an offset and a flight time
inline constexpr uint8_t TV_FIRE_GUN = 2;     // gunfire: an aim direction

// --- Server to game ----------------------------------------------------------------------

#define TV_TO_CLIENT(number)                                                                       \
    static constexpr TvMessage type = TvMessage::number;                                           \
    static constexpr uint16_t flags = 0

struct TvToClientPlayerId {
    TV_TO_CLIENT(PlayerId);
    uint32_t playerId = 0;
};
struct TvToClientJoinAccepted {
    TV_TO_CLIENT(Join);
    TvPlayerInfo info{}; // mask 0x17
    uint32_t slot = 0;
};
struct TvToClientPlayerJoined {
    TV_TO_CLIENT(PlayerJoined);
    TvPlayerInfo info{}; // mask 0x07
    uint32_t slot = 0;
};
struct TvToClientGameParameters {
    TV_TO_CLIENT(GameParameters);
    int32_t mission = 0;
    uint32_t slot = 0;
};
struct TvToClientKillTaken {
    TV_TO_CLIENT(KillTaken);
    uint32_t slot = 0;
};
struct TvToClientRespawn {
    TV_TO_CLIENT(Respawn);
    TvWireMatrix matrix{};
    uint32_t slot = 0;
};
struct TvPlaneStateEntry {
    uint16_t time = 0;    // ms since the plane's previous report
    uint8_t fraction = 0; // plane value 538 x 255
    TvPlaneStateRecord state{};
};
struct TvToClientPlaneStates {
    TV_TO_CLIENT(PlaneStates);
    std::vector<TvPlaneStateEntry> entries; // 0..7
};
struct TvToClientStatus {
    TV_TO_CLIENT(Status);
    uint32_t slot = 0;
    int32_t status = 0;
};
struct TvToClientServerTime {
    TV_TO_CLIENT(ServerTime);
    int32_t time = 0;
};
struct TvToClientTimeAnswer {
    TV_TO_CLIENT(TimeAnswer);
    int32_t time = 0;
    int32_t difference = 0;
};
struct TvToClientDamage {
    TV_TO_CLIENT(Damage);
    uint32_t target = 0;
    uint32_t attacker = 0;
    float damage = 0; // the target's new total
};
struct TvToClientDamageStates {
    TV_TO_CLIENT(DamageStates);
    std::array<uint8_t, TV_DAMAGE_STATE_OBJECTS> codes{};   // 0 unchanged, 1 destroyed, 2 damage
    std::array<uint16_t, TV_DAMAGE_STATE_OBJECTS> damage{}; // code 2: in 1/16 units
};
struct TvToClientPlaneChange {
    TV_TO_CLIENT(PlaneChange);
    uint32_t slot = 0;
    char planeId[32] = {};
};
struct TvToClientSideChange {
    TV_TO_CLIENT(SideChange);
    uint32_t slot = 0;
    int32_t side = 0;
};
struct TvToClientKillScored {
    TV_TO_CLIENT(KillScored);
    uint32_t slot = 0;
    int32_t kills = 0;
    uint32_t victim = 0;
};
struct TvToClientPlayerLeft {
    TV_TO_CLIENT(PlayerLeft);
    uint32_t slot = 0;
};
struct TvToClientMatchFinished {
    TV_TO_CLIENT(MatchFinished);
    uint32_t winner = 0;
};
struct TvToClientNewMission {
    TV_TO_CLIENT(NewMission);
    uint8_t mission = 0;
};
struct TvToClientClockCorrection {
    TV_TO_CLIENT(ClockCorrection);
    int32_t time = 0;
};
struct TvToClientRemoteFire {
    TV_TO_CLIENT(RemoteFire);
    uint8_t kind = 0;
    float position[3] = {};
    float directionA[3] = {};
    float directionB[3] = {};
    float speed = 0;
    uint32_t shooter = 0;
    float aim[3] = {};    // kind 2
    float offset[3] = {}; // kind 1
    float flightTime = 0; // kind 1
};
struct TvToClientChat {
    TV_TO_CLIENT(Chat);
    std::string text; // 1..287 characters
};
struct TvToClientAim {
    TV_TO_CLIENT(Aim);
    uint32_t slot = 0; // the shooter
    float direction[3] = {};
};
struct TvToClientEcho {
    TV_TO_CLIENT(Echo);
    int32_t idA = 0;
    int32_t idB = 0;
    float value = 0;
};
struct TvToClientDisconnected {
    TV_TO_CLIENT(Disconnected);
};
struct TvToClientVotingInProgress {
    TV_TO_CLIENT(VotingInProgress);
};
struct TvToClientPlayerLimit {
    TV_TO_CLIENT(PlayerLimit);
};
struct TvToClientPickup {
    TV_TO_CLIENT(Pickup);
    uint32_t object = 0;
};
struct TvToClientFinishedNoVote {
    TV_TO_CLIENT(FinishedNoVote);
    uint32_t slot = 0;
};
#undef TV_TO_CLIENT

// --- Game to server ----------------------------------------------------------------------

#define TV_TO_SERVER(number, send_flags)                                                           \
    static constexpr TvMessage type = TvMessage::number;                                           \
    static constexpr uint16_t flags = send_flags

struct TvToServerJoinRequest {
    TV_TO_SERVER(Join, 0xa1);
    TvPlayerInfo info{}; // mask 0x0b
};
struct TvToServerKillTaken {
    TV_TO_SERVER(KillTaken, 0x91);
    uint32_t slot = 0;
};
struct TvToServerRespawnRequest {
    TV_TO_SERVER(RespawnRequest, 0x60);
};
struct TvToServerPlaneReport {
    TV_TO_SERVER(PlaneStates, 0x00);
    uint16_t time = 0;
    uint8_t fraction = 0;
    TvPlaneStateRecord state{}; // state.slot: the local slot
};
struct TvToServerStatus {
    TV_TO_SERVER(Status, 0xa1);
    int32_t status = 0;
};
struct TvToServerTimeRequest {
    TV_TO_SERVER(TimeRequest, 0x44);
};
struct TvToServerTimeSample {
    TV_TO_SERVER(TimeSample, 0x40);
    int32_t estimate = 0;
};
struct TvToServerDamage {
    TV_TO_SERVER(Damage, 0x89);
    uint32_t target = 0;
    uint32_t attacker = 0;
    float damage = 0; // the increment
};
struct TvToServerPlaneChange {
    TV_TO_SERVER(PlaneChange, 0xa1);
    char planeId[32] = {};
};
struct TvToServerSideChange {
    TV_TO_SERVER(SideChange, 0xa1);
    int32_t side = 0;
};
struct TvToServerMapVote {
    TV_TO_SERVER(MapVote, 0x91);
    uint8_t map = 0;
    uint8_t weight = 0;
};
struct TvFireEntry {
    uint32_t slot = 0;
    float aim[3] = {};    // kind 2
    float offset[3] = {}; // kind 1
    float flightTime = 0; // kind 1
};
struct TvToServerRemoteFire {
    TV_TO_SERVER(RemoteFire, 0x89);
    uint8_t kind = 0;
    float position[3] = {};
    float heading[3] = {};
    float velocity[3] = {};
    float speed = 0;
    std::vector<TvFireEntry> entries; // 0..7, one per receiving player
};
struct TvToServerChat {
    TV_TO_SERVER(Chat, 0xa1);
    std::string text;
};
struct TvAimEntry {
    uint32_t slot = 0;
    float direction[3] = {};
};
struct TvToServerAim {
    TV_TO_SERVER(Aim, 0x40);
    uint32_t slot = 0; // own slot
    std::vector<TvAimEntry> entries;
};
struct TvToServerEcho {
    TV_TO_SERVER(Echo, 0x89);
    int32_t idA = 0;
    int32_t idB = 0;
    float value = 0;
};
struct TvToServerPickup {
    TV_TO_SERVER(Pickup, 0x91);
    uint32_t object = 0;
};
#undef TV_TO_SERVER

// --- Encoding and decoding ---------------------------------------------------------------
// Every message record with its decoder, in the order of the message types; the one list the
// declarations below, the codec and the decoders by type are made from.
#define TV_GAME_MESSAGES_TO_CLIENT(X)                                                              \
    X(TvToClientPlayerId, TvDecodeToClientPlayerId)                                                \
    X(TvToClientJoinAccepted, TvDecodeToClientJoinAccepted)                                        \
    X(TvToClientPlayerJoined, TvDecodeToClientPlayerJoined)                                        \
    X(TvToClientGameParameters, TvDecodeToClientGameParameters)                                    \
    X(TvToClientKillTaken, TvDecodeToClientKillTaken)                                              \
    X(TvToClientRespawn, TvDecodeToClientRespawn)                                                  \
    X(TvToClientPlaneStates, TvDecodeToClientPlaneStates)                                          \
    X(TvToClientStatus, TvDecodeToClientStatus)                                                    \
    X(TvToClientServerTime, TvDecodeToClientServerTime)                                            \
    X(TvToClientTimeAnswer, TvDecodeToClientTimeAnswer)                                            \
    X(TvToClientDamage, TvDecodeToClientDamage)                                                    \
    X(TvToClientDamageStates, TvDecodeToClientDamageStates)                                        \
    X(TvToClientPlaneChange, TvDecodeToClientPlaneChange)                                          \
    X(TvToClientSideChange, TvDecodeToClientSideChange)                                            \
    X(TvToClientKillScored, TvDecodeToClientKillScored)                                            \
    X(TvToClientPlayerLeft, TvDecodeToClientPlayerLeft)                                            \
    X(TvToClientMatchFinished, TvDecodeToClientMatchFinished)                                      \
    X(TvToClientNewMission, TvDecodeToClientNewMission)                                            \
    X(TvToClientClockCorrection, TvDecodeToClientClockCorrection)                                  \
    X(TvToClientRemoteFire, TvDecodeToClientRemoteFire)                                            \
    X(TvToClientChat, TvDecodeToClientChat)                                                        \
    X(TvToClientAim, TvDecodeToClientAim)                                                          \
    X(TvToClientEcho, TvDecodeToClientEcho)                                                        \
    X(TvToClientDisconnected, TvDecodeToClientDisconnected)                                        \
    X(TvToClientVotingInProgress, TvDecodeToClientVotingInProgress)                                \
    X(TvToClientPlayerLimit, TvDecodeToClientPlayerLimit)                                          \
    X(TvToClientPickup, TvDecodeToClientPickup)                                                    \
    X(TvToClientFinishedNoVote, TvDecodeToClientFinishedNoVote)

#define TV_GAME_MESSAGES_TO_SERVER(X)                                                              \
    X(TvToServerJoinRequest, TvDecodeToServerJoinRequest)                                          \
    X(TvToServerKillTaken, TvDecodeToServerKillTaken)                                              \
    X(TvToServerRespawnRequest, TvDecodeToServerRespawnRequest)                                    \
    X(TvToServerPlaneReport, TvDecodeToServerPlaneReport)                                          \
    X(TvToServerStatus, TvDecodeToServerStatus)                                                    \
    X(TvToServerTimeRequest, TvDecodeToServerTimeRequest)                                          \
    X(TvToServerTimeSample, TvDecodeToServerTimeSample)                                            \
    X(TvToServerDamage, TvDecodeToServerDamage)                                                    \
    X(TvToServerPlaneChange, TvDecodeToServerPlaneChange)                                          \
    X(TvToServerSideChange, TvDecodeToServerSideChange)                                            \
    X(TvToServerMapVote, TvDecodeToServerMapVote)                                                  \
    X(TvToServerRemoteFire, TvDecodeToServerRemoteFire)                                            \
    X(TvToServerChat, TvDecodeToServerChat)                                                        \
    X(TvToServerAim, TvDecodeToServerAim)                                                          \
    X(TvToServerEcho, TvDecodeToServerEcho)                                                        \
    X(TvToServerPickup, TvDecodeToServerPickup)

// TvEncode writes the record's fields into a packet in write mode: 0 or the first failure.
// The decoder reads a received packet (read mode, at the payload's start); nullopt means
// dropped.
#define TV_DECLARE_MESSAGE_CODEC(Record, decoder)                                                  \
    OmResult TvEncode(IBinaryStreamComposer* packet, const Record& m);                             \
    std::optional<Record> decoder(IBinaryStreamComposer* packet);
TV_GAME_MESSAGES_TO_CLIENT(TV_DECLARE_MESSAGE_CODEC)
TV_GAME_MESSAGES_TO_SERVER(TV_DECLARE_MESSAGE_CODEC)
#undef TV_DECLARE_MESSAGE_CODEC

// Every message the game handles, and every message the server handles.
using TvToClientMessage = std::variant<
    TvToClientPlayerId, TvToClientJoinAccepted, TvToClientPlayerJoined, TvToClientGameParameters,
    TvToClientKillTaken, TvToClientRespawn, TvToClientPlaneStates, TvToClientStatus,
    TvToClientServerTime, TvToClientTimeAnswer, TvToClientDamage, TvToClientDamageStates,
    TvToClientPlaneChange, TvToClientSideChange, TvToClientKillScored, TvToClientPlayerLeft,
    TvToClientMatchFinished, TvToClientNewMission, TvToClientClockCorrection, TvToClientRemoteFire,
    TvToClientChat, TvToClientAim, TvToClientEcho, TvToClientDisconnected,
    TvToClientVotingInProgress, TvToClientPlayerLimit, TvToClientPickup, TvToClientFinishedNoVote>;
using TvToServerMessage =
    std::variant<TvToServerJoinRequest, TvToServerKillTaken, TvToServerRespawnRequest,
                 TvToServerPlaneReport, TvToServerStatus, TvToServerTimeRequest,
                 TvToServerTimeSample, TvToServerDamage, TvToServerPlaneChange,
                 TvToServerSideChange, TvToServerMapVote, TvToServerRemoteFire, TvToServerChat,
                 TvToServerAim, TvToServerEcho, TvToServerPickup>;

// The decoder of `type` (nullopt for an unknown type, which is dropped likewise).
std::optional<TvToClientMessage> TvDecodeToClient(uint16_t type, IBinaryStreamComposer* packet);
std::optional<TvToServerMessage> TvDecodeToServer(uint16_t type, IBinaryStreamComposer* packet);

// Where drop traces go: by default one information entry of the debug log per second at most
// ("Dropped message {Type}: {Reason}."). Tests install their own sink; null restores the log.
using TvDropSink = void (*)(uint16_t type, const char* reason);
void TvSetDropSink(TvDropSink sink);
