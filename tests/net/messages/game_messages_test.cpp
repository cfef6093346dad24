// The typed game messages against the test server's independent codec: golden bytes, every
// message in both directions through both codecs, bad values and cut payloads dropped by
// both with nothing returned, and the client-state names.
#include "net/messages/client_states.h"
#include "net/messages/game_messages.h"

#include "framework/io/memory_stream.h"
#include "tests/net/net_fixture.h"
#include "tools/mpserver/bit_codec.h"
#include "tools/mpserver/mp_messages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using mpserver::Direction;
using mpserver::Message;
using nettest::Bytes;
namespace msg = mpserver::msg;

std::vector<std::pair<uint16_t, std::string>> drops;

void count_drop(uint16_t type, const char* reason) {
    drops.emplace_back(type, reason);
}

class GameMessagesTest : public nettest::NetTest {
protected:
    void SetUp() override {
        nettest::NetTest::SetUp();
        drops.clear();
        TvSetDropSink(count_drop);
    }
    void TearDown() override {
        TvSetDropSink(nullptr);
        nettest::NetTest::TearDown();
    }

    static ComRef<IBinaryStreamComposer> writer() {
        ComRef<IByteStream> stream;
        EXPECT_EQ(OmNewMemoryStream(stream.put()), 0);
        ComRef<IBinaryStreamComposer> packet;
        EXPECT_EQ(OmCreate(CLSID_BinaryStreamComposer, IID_IBinaryStreamComposer, packet.put()), 0);
        packet->Attach(stream.get(), OM_COMPOSER_WRITE);
        return packet;
    }
    // The payload as the packet queue sends it: flushed, so a byte-aligned payload ends with
    // an extra zero byte.
    static Bytes payload(IBinaryStreamComposer* packet) {
        packet->Flush();
        IByteStream* s = packet->GetStream();
        uint32_t length = 0;
        s->Seek(0, OM_SEEK_END, &length);
        Bytes out(length);
        s->Seek(0, OM_SEEK_START, nullptr);
        uint32_t done = 0;
        if (length) s->Read(out.data(), length, &done);
        return out;
    }
    // A packet reading `bytes`, as the packet queue hands a received message over.
    static ComRef<IBinaryStreamComposer> reader(const Bytes& bytes) {
        ComRef<IByteStream> stream;
        EXPECT_EQ(OmNewMemoryStream(stream.put()), 0);
        uint32_t done = 0;
        if (!bytes.empty()) stream->Write(bytes.data(), uint32_t(bytes.size()), &done);
        stream->Seek(0, OM_SEEK_START, nullptr);
        ComRef<IBinaryStreamComposer> packet;
        EXPECT_EQ(OmCreate(CLSID_BinaryStreamComposer, IID_IBinaryStreamComposer, packet.put()), 0);
        packet->Attach(stream.get(), OM_COMPOSER_READ);
        return packet;
    }
    template <class Record>
    static Bytes client_bytes(const Record& record) {
        auto packet = writer();
        EXPECT_EQ(TvEncode(packet.get(), record), 0);
        return payload(packet.get());
    }
    // The game's decoder of either direction, re-encoded by the game's encoder: nullopt when
    // the game drops the payload.
    static std::optional<Bytes> client_round_trip(uint16_t type, Direction d, const Bytes& in) {
        auto packet = reader(in);
        auto w = writer();
        if (d == Direction::ToClient) {
            auto decoded = TvDecodeToClient(type, packet.get());
            if (!decoded) return std::nullopt;
            std::visit([&](const auto& record) { EXPECT_EQ(TvEncode(w.get(), record), 0); },
                       *decoded);
        } else {
            auto decoded = TvDecodeToServer(type, packet.get());
            if (!decoded) return std::nullopt;
            std::visit([&](const auto& record) { EXPECT_EQ(TvEncode(w.get(), record), 0); },
                       *decoded);
        }
        return payload(w.get());
    }
};

void expect_same_fields(const Message& a, const Message& b) {
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.texts, b.texts) << a.describe() << "\n" << b.describe();
    ASSERT_EQ(a.numbers.size(), b.numbers.size()) << a.describe() << "\n" << b.describe();
    for (const auto& [name, value] : a.numbers) {
        ASSERT_TRUE(b.numbers.count(name)) << name;
        EXPECT_NEAR(b.numbers.at(name), value, 1e-5) << a.type << " " << name;
    }
}

Bytes server_bytes(const Message& m, Direction d) {
    return mpserver::encode(m, d);
}

Message matrix_message(uint16_t type) {
    Message m(type);
    const float rows[16] = {1, 0, 0, 3, 0, 1, 0, 0, 0, 0, 1, 0, 1500.5f, 300, 2000.25f, 0};
    for (int i = 0; i < 16; ++i) m.set("matrix" + std::to_string(i), rows[i]);
    return m;
}

Message info_message(uint16_t type, uint32_t mask) {
    Message m = mask & 0x04 ? matrix_message(type) : Message(type);
    if (mask & 0x01) m.set_text("name", "Baron").set_text("plane", "multitavrincamel");
    if (mask & 0x02) m.set("status", 7).set("side", 0x202).set("object", 5003).set("kills", 2);
    if (mask & 0x08) m.set("settings0", 33).set("settings1", -34);
    if (mask & 0x10) m.set("ints0", 0).set("ints1", 0).set("ints2", 50).set("ints3", 1024);
    return m;
}

Message state_entry(Message m, const std::string& p, int slot) {
    m.set(p + "slot", slot).set_vector(p + "pos", 100.5f, 20, 3000).set_vector(p + "dir", 0, 0, 1);
    return m.set(p + "speed", 42.5).set(p + "flag", 1).set(p + "value", 9);
}

// Every message of the protocol with typical values, in the direction it travels.
std::vector<std::pair<Direction, Message>> every_message() {
    using D = Direction;
    std::vector<std::pair<D, Message>> all;
    auto add = [&](D d, Message m) { all.emplace_back(d, std::move(m)); };
    add(D::ToClient, Message(msg::player_id).set("id", 0xDEADBEEF));
    add(D::ToClient, info_message(msg::join, 0x17).set("slot", 2));
    add(D::ToClient, info_message(msg::player_joined, 0x07).set("slot", 5));
    add(D::ToClient, Message(msg::game_parameters).set("mission", -3).set("slot", 7));
    add(D::ToClient, Message(msg::kill_taken).set("slot", 4));
    add(D::ToClient, matrix_message(msg::respawn).set("slot", 1));
    Message states(msg::plane_states);
    states.set("count", 2).set("e0.time", 50).set("e0.fraction", 255).set("e1.time", 65535);
    states.set("e1.fraction", 0);
    add(D::ToClient, state_entry(state_entry(states, "e0.", 1), "e1.", 6));
    add(D::ToClient, Message(msg::plane_states).set("count", 0));
    add(D::ToClient, Message(msg::status).set("slot", 3).set("status", 4));
    add(D::ToClient, Message(msg::server_time).set("time", INT32_MIN));
    add(D::ToClient, Message(msg::time_answer).set("time", INT32_MAX).set("difference", -7));
    add(D::ToClient,
        Message(msg::damage).set("target", 5001).set("attacker", 0).set("damage", 37.25));
    add(D::ToClient, Message(msg::damage_states)
                         .set("code0", 1)
                         .set("code5", 2)
                         .set("damage5", 65535)
                         .set("code2999", 2)
                         .set("damage2999", 16));
    add(D::ToClient, Message(msg::plane_change).set("slot", 2).set_text("plane", "multijunkers"));
    add(D::ToClient, Message(msg::side_change).set("slot", 6).set("side", 9));
    add(D::ToClient, Message(msg::kill_scored).set("slot", 0).set("kills", 12).set("victim", 5999));
    add(D::ToClient, Message(msg::player_left).set("slot", 7));
    add(D::ToClient, Message(msg::match_finished).set("slot", 3));
    add(D::ToClient, Message(msg::new_mission).set("mission", 200));
    add(D::ToClient, Message(msg::clock_correction).set("time", 123456));
    Message gun(msg::remote_fire);
    gun.set("kind", 2).set_vector("pos", 1.5f, 2, 3.25f).set_vector("dirA", -1, 0, 0);
    gun.set_vector("dirB", 0, 1, 0)
        .set("speed", 80)
        .set("shooter", 5002)
        .set_vector("aim", 0, 0, -1);
    add(D::ToClient, gun);
    Message bomb(msg::remote_fire);
    bomb.set("kind", 1).set_vector("pos", 10, 20, 30).set_vector("dirA", 0, 0, 1);
    bomb.set_vector("dirB", 1, 0, 0).set("speed", 0).set("shooter", 17);
    bomb.set_vector("offset", -1.5f, 0, 2).set("t", 2.5);
    add(D::ToClient, bomb);
    add(D::ToClient, Message(msg::chat).set_text("text", "Bot: hello"));
    add(D::ToClient, Message(msg::chat).set_text("text", std::string(287, 'x')));
    add(D::ToClient, Message(msg::aim).set("slot", 5).set_vector("dir", 0, -1, 0));
    add(D::ToClient, Message(msg::echo).set("a", -1).set("b", 77).set("value", 0.5));
    add(D::ToClient, Message(msg::disconnected));
    add(D::ToClient, Message(msg::voting_in_progress));
    add(D::ToClient, Message(msg::player_limit));
    add(D::ToClient, Message(msg::pickup).set("object", 4321));
    add(D::ToClient, Message(msg::finished_no_vote).set("slot", 6));

    add(D::ToServer, info_message(msg::join, 0x0b).set("status", 0).set("object", 0));
    add(D::ToServer, Message(msg::kill_taken).set("slot", 2));
    add(D::ToServer, Message(msg::respawn_request));
    add(D::ToServer,
        state_entry(Message(msg::plane_states).set("time", 33).set("fraction", 128), "", 3));
    add(D::ToServer, Message(msg::status).set("status", 2));
    add(D::ToServer, Message(msg::time_request));
    add(D::ToServer, Message(msg::time_sample).set("estimate", -5));
    add(D::ToServer,
        Message(msg::damage).set("target", 5000).set("attacker", 5001).set("damage", 3.5));
    add(D::ToServer, Message(msg::plane_change).set_text("plane", "multitavrincamel"));
    add(D::ToServer, Message(msg::side_change).set("side", 8));
    add(D::ToServer, Message(msg::map_vote).set("map", 3).set("weight", 255));
    Message fire(msg::remote_fire);
    fire.set("kind", 2).set_vector("pos", 1, 2, 3).set_vector("heading", 0, 0, 1);
    fire.set_vector("velocity", 0, 1, 0).set("speed", 60).set("count", 2);
    fire.set("e0.slot", 1)
        .set_vector("e0.aim", 1, 0, 0)
        .set("e1.slot", 7)
        .set_vector("e1.aim", 0, 0, -1);
    add(D::ToServer, fire);
    Message release(msg::remote_fire);
    release.set("kind", 1).set_vector("pos", 1, 2, 3).set_vector("heading", 0, 0, 1);
    release.set_vector("velocity", 0, 1, 0).set("speed", 60).set("count", 1).set("e0.slot", 4);
    release.set_vector("e0.offset", 0.25f, -8, 1e6f).set("e0.t", 0.125);
    add(D::ToServer, release);
    add(D::ToServer, Message(msg::chat).set_text("text", "hello"));
    Message aim(msg::aim);
    aim.set("slot", 2).set("count", 1).set("e0.slot", 0).set_vector("e0.dir", 0, 1, 0);
    add(D::ToServer, aim);
    add(D::ToServer, Message(msg::echo).set("a", 5).set("b", 6).set("value", -2));
    add(D::ToServer, Message(msg::pickup).set("object", 0));
    return all;
}

// The nth message of the table of that type and direction.
Message pick(Direction d, uint16_t type, int nth = 0) {
    for (const auto& [direction, m] : every_message())
        if (direction == d && m.type == type && nth-- == 0) return m;
    ADD_FAILURE() << "no message " << type;
    return Message(type);
}

TEST_F(GameMessagesTest, GoldenBytesAreWhatBothCodecsWriteAndRead) {
    // 3-bit 5 then 6-bit 33.
    mpserver::BitWriter bits;
    bits.put(5, 3);
    bits.put(33, 6);
    EXPECT_EQ(bits.bytes(), (Bytes{0x0D, 0x01}));
    auto packet = writer();
    int32_t five = 5, thirty_three = 33;
    packet->Field(OM_FIELD_INTEGER, 3, &five);
    packet->Field(OM_FIELD_INTEGER, 6, &thirty_three);
    EXPECT_EQ(payload(packet.get()), (Bytes{0x0D, 0x01}));

    // 26 to the game, slot 3 and status 4.
    const Bytes status = {0x83, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(
        server_bytes(Message(msg::status).set("slot", 3).set("status", 4), Direction::ToClient),
        status);
    EXPECT_EQ(client_bytes(TvToClientStatus{3, 4}), status);
    auto status_read = TvDecodeToClientStatus(reader(status).get());
    ASSERT_TRUE(status_read);
    EXPECT_EQ(status_read->slot, 3u);
    EXPECT_EQ(status_read->status, 4);

    // Position (1.5, 2, 3.25) and direction (-1, 0, 0), after the 8-bit kind of message 43.
    Message fire = pick(Direction::ToClient, msg::remote_fire);
    ASSERT_EQ(fire.type, msg::remote_fire);
    Bytes server_fire = server_bytes(fire, Direction::ToClient);
    const Bytes pos_dir = {0x80, 0x01, 0x00, 0x00, 0x02, 0x00, 0x40, 0x03, 0x00, 0x81, 0x00, 0x00};
    EXPECT_EQ(Bytes(server_fire.begin() + 1, server_fire.begin() + 13), pos_dir);
    TvToClientRemoteFire client_fire{};
    client_fire.kind = TV_FIRE_GUN;
    float pos[3] = {1.5f, 2, 3.25f}, a[3] = {-1, 0, 0}, b[3] = {0, 1, 0}, aim[3] = {0, 0, -1};
    std::memcpy(client_fire.position, pos, sizeof pos);
    std::memcpy(client_fire.directionA, a, sizeof a);
    std::memcpy(client_fire.directionB, b, sizeof b);
    std::memcpy(client_fire.aim, aim, sizeof aim);
    client_fire.speed = 80;
    client_fire.shooter = 5002;
    Bytes client_fire_bytes = client_bytes(client_fire);
    EXPECT_EQ(Bytes(client_fire_bytes.begin() + 1, client_fire_bytes.begin() + 13), pos_dir);
    EXPECT_EQ(client_fire_bytes.size(), server_fire.size() + 1); // byte-aligned: a flush byte

    // 33 to the game: slot 2, "multijunkers": 261 bits.
    TvToClientPlaneChange change{};
    change.slot = 2;
    std::strcpy(change.planeId, "multijunkers");
    Bytes change_bytes = client_bytes(change);
    Bytes server_change =
        server_bytes(pick(Direction::ToClient, msg::plane_change), Direction::ToClient);
    ASSERT_EQ(change_bytes.size(), 33u);
    EXPECT_EQ(Bytes(change_bytes.begin(), change_bytes.begin() + 4),
              (Bytes{0xA2, 0xAD, 0x8E, 0x8D}));
    EXPECT_EQ(server_change, change_bytes);

    // Player-info sizes: the join request (0x0b), the answer (0x17) and another player (0x07).
    EXPECT_EQ(server_bytes(info_message(msg::join, 0x0b), Direction::ToServer).size(), 88u);
    EXPECT_EQ(server_bytes(info_message(msg::join, 0x17), Direction::ToClient).size(), 160u + 1);
    EXPECT_EQ(server_bytes(info_message(msg::player_joined, 0x07), Direction::ToClient).size(),
              144u + 1);
    EXPECT_EQ(client_bytes(TvToServerJoinRequest{}).size(), 89u); // 88 and the flush byte
}

TEST_F(GameMessagesTest, EveryMessageDecodesToTheSameFieldsInBothCodecs) {
    for (const auto& [direction, original] : every_message()) {
        SCOPED_TRACE(original.describe());
        Bytes wire = server_bytes(original, direction);
        std::optional<Bytes> again = client_round_trip(original.type, direction, wire);
        ASSERT_TRUE(again) << (drops.empty() ? "" : drops.back().second);
        std::string reason;
        auto decoded =
            mpserver::decode(original.type, direction, again->data(), again->size(), &reason);
        ASSERT_TRUE(decoded) << reason;
        expect_same_fields(original, *decoded);
    }
    EXPECT_TRUE(drops.empty());
}

// Message 43 carries a tail only for kind 1 (offset and flight time) and kind 2 (the aim): a
// record of another kind ends after the shooter (192 bits and the flush byte), and both
// decoders drop it for its kind before any tail would be read.
TEST_F(GameMessagesTest, RemoteFireOfAnotherKindEndsAfterTheShooter) {
    for (uint8_t kind : {uint8_t(0), uint8_t(255)}) {
        SCOPED_TRACE(int(kind));
        TvToClientRemoteFire fire{};
        fire.kind = kind;
        fire.directionA[2] = fire.directionB[2] = 1;
        fire.speed = 1.0f;
        fire.shooter = 0;
        const Bytes expected = {kind, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                0x00, 0x00, 0x00, 0x7f, 0x00, 0x00, 0x7f, 0x00, 0x00,
                                0x80, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00};
        EXPECT_EQ(client_bytes(fire), expected);

        drops.clear();
        EXPECT_FALSE(TvDecodeToClientRemoteFire(reader(expected).get()));
        EXPECT_EQ(drops, (std::vector<std::pair<uint16_t, std::string>>{
                             {uint16_t(msg::remote_fire), "bad fire kind"}}));
        std::string reason;
        EXPECT_FALSE(mpserver::decode(msg::remote_fire, Direction::ToClient, expected.data(),
                                      expected.size(), &reason));
        EXPECT_EQ(reason, "bad fire kind");

        // The game's own message 43 is described alike: its entries carry no tail either.
        TvToServerRemoteFire sent{};
        sent.kind = kind;
        sent.heading[2] = sent.velocity[2] = 1;
        sent.entries.push_back(TvFireEntry{3});
        EXPECT_EQ(client_bytes(sent).size(), 21u); // 166 bits
    }
}

TEST_F(GameMessagesTest, DecodedRecordsHoldTheFields) {
    Message join = info_message(msg::join, 0x17).set("slot", 2);
    auto accepted =
        TvDecodeToClientJoinAccepted(reader(server_bytes(join, Direction::ToClient)).get());
    ASSERT_TRUE(accepted);
    EXPECT_STREQ(accepted->info.name, "Baron");
    EXPECT_STREQ(accepted->info.planeId, "multitavrincamel");
    EXPECT_EQ(accepted->info.status, 7);
    EXPECT_EQ(accepted->info.sideFlags, 0x202u);
    EXPECT_EQ(accepted->info.word, 5003u);
    EXPECT_EQ(accepted->info.extra[3], 1024);
    EXPECT_FLOAT_EQ(accepted->info.matrix[12], 1500.5f);
    EXPECT_EQ(accepted->slot, 2u);

    auto states = TvDecodeToClientPlaneStates(
        reader(server_bytes(pick(Direction::ToClient, msg::plane_states), Direction::ToClient))
            .get());
    ASSERT_TRUE(states);
    ASSERT_EQ(states->entries.size(), 2u);
    EXPECT_EQ(states->entries[1].state.slot, 6u);
    EXPECT_EQ(states->entries[1].time, 65535);
    EXPECT_FLOAT_EQ(states->entries[0].state.speed, 42.5f);
    EXPECT_EQ(states->entries[0].state.value, 9u);

    auto damage = TvDecodeToClientDamageStates(
        reader(server_bytes(pick(Direction::ToClient, msg::damage_states), Direction::ToClient))
            .get());
    ASSERT_TRUE(damage);
    EXPECT_EQ(damage->codes[0], 1);
    EXPECT_EQ(damage->codes[5], 2);
    EXPECT_EQ(damage->damage[5], 65535);
    EXPECT_EQ(damage->codes[2999], 2);
    EXPECT_EQ(damage->damage[2999], 16);
}

// One bad value per acceptance rule: both codecs drop the message.
TEST_F(GameMessagesTest, BadValuesAreDroppedByBothCodecs) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    using D = Direction;
    std::vector<std::pair<D, Message>> bad = {
        {D::ToClient, Message(msg::status).set("slot", 9).set("status", 4)},
        {D::ToClient, Message(msg::status).set("slot", 3).set("status", 8)},
        {D::ToClient, Message(msg::status).set("slot", 3).set("status", 0)},
        {D::ToServer, Message(msg::status).set("status", -1)},
        {D::ToClient, Message(msg::plane_states).set("count", 8)},
        {D::ToClient, Message(msg::plane_states).set("count", -1)},
        {D::ToClient, Message(msg::kill_scored).set("slot", 1).set("kills", 1).set("victim", 6000)},
        {D::ToClient, Message(msg::kill_scored).set("slot", 1).set("kills", 1).set("victim", -1)},
        {D::ToClient, Message(msg::damage).set("target", 1).set("attacker", 2).set("damage", -0.5)},
        {D::ToClient, Message(msg::damage).set("target", 1).set("attacker", 2).set("damage", nan)},
        {D::ToServer, Message(msg::damage).set("target", 6001).set("attacker", 2).set("damage", 1)},
        {D::ToClient, Message(msg::pickup).set("object", 70000)},
        {D::ToClient, Message(msg::side_change).set("slot", 1).set("side", 7)},
        {D::ToServer, Message(msg::side_change).set("side", 0x102)},
        {D::ToClient, Message(msg::player_left).set("slot", 31)},
        {D::ToClient, Message(msg::game_parameters).set("mission", 1).set("slot", 8)},
        {D::ToClient, Message(msg::echo).set("a", 1).set("b", 2).set("value", inf)},
        {D::ToClient, info_message(msg::join, 0x17).set("slot", 2).set("status", 8)},
        {D::ToClient, info_message(msg::player_joined, 0x07).set("slot", 2).set("object", 6000)},
        {D::ToClient, matrix_message(msg::respawn).set("slot", 1).set("matrix12", nan)},
        {D::ToClient, matrix_message(msg::respawn).set("slot", 1).set("matrix5", inf)},
        {D::ToClient, Message(msg::aim).set("slot", 1).set_vector("dir", 0, 0, 0)},
        {D::ToServer, Message(msg::chat)}, // n = 0
    };
    Message cut_fire = pick(Direction::ToClient, msg::remote_fire, 1); // kind 1
    bad.emplace_back(D::ToClient, Message(cut_fire).set("t", nan));
    bad.emplace_back(D::ToClient, Message(cut_fire).set("t", 0));
    bad.emplace_back(D::ToClient, Message(cut_fire).set("t", -1));
    bad.emplace_back(D::ToClient, Message(cut_fire).set("kind", 3));
    bad.emplace_back(D::ToClient, Message(cut_fire).set("speed", inf));
    bad.emplace_back(D::ToClient, Message(cut_fire).set("offset.y", nan));
    bad.emplace_back(D::ToClient, Message(cut_fire).set_vector("dirA", 0, 0, 0));
    bad.emplace_back(D::ToClient, Message(cut_fire).set("shooter", 6000));
    Message report = pick(Direction::ToServer, msg::plane_states);
    ASSERT_EQ(report.type, msg::plane_states);
    bad.emplace_back(D::ToServer, Message(report).set("slot", 8));
    bad.emplace_back(D::ToServer, Message(report).set("speed", nan));
    bad.emplace_back(D::ToServer, Message(report).set_vector("dir", 0, 0, 0));
    Message states = pick(Direction::ToClient, msg::plane_states);
    bad.emplace_back(D::ToClient, Message(states).set("e1.slot", 9)); // one bad entry: all go
    Message fire = pick(Direction::ToServer, msg::remote_fire);
    ASSERT_EQ(fire.type, msg::remote_fire);
    bad.emplace_back(D::ToServer, Message(fire).set_vector("e1.aim", 0, 0, 0));
    bad.emplace_back(D::ToServer,
                     Message(pick(Direction::ToServer, msg::remote_fire, 1)).set("e0.t", 0));

    for (const auto& [direction, message] : bad) {
        SCOPED_TRACE(message.describe());
        Bytes wire = server_bytes(message, direction);
        size_t before = drops.size();
        EXPECT_FALSE(client_round_trip(message.type, direction, wire));
        EXPECT_EQ(drops.size(), before + 1);
        EXPECT_FALSE(mpserver::decode(message.type, direction, wire.data(), wire.size()));
    }
}

TEST_F(GameMessagesTest, SizesOutOfReachAreDroppedByBothCodecs) {
    struct Case {
        uint16_t type;
        Direction direction;
        Bytes wire;
    };
    auto int_bytes = [](int32_t v) {
        Bytes b(4);
        std::memcpy(b.data(), &v, 4);
        return b;
    };
    Bytes long_chat = int_bytes(288);
    long_chat.resize(4 + 288, 'a');
    Bytes short_chat = int_bytes(10);
    short_chat.resize(4 + 9, 'a');
    Bytes huge_chat = int_bytes(INT32_MAX);
    huge_chat.resize(64, 'a');
    Bytes empty_once_cut = int_bytes(2); // two characters, the first a zero
    empty_once_cut.push_back(0);
    empty_once_cut.push_back('a');
    Bytes codes_3(750, 0xFF);    // every code 3
    Bytes missing_value(750, 0); // code 2 at the last id, its value missing
    missing_value[749] = 0x80;
    std::vector<Case> cases = {
        {msg::chat, Direction::ToClient, long_chat},
        {msg::chat, Direction::ToServer, short_chat},
        {msg::chat, Direction::ToClient, huge_chat},
        {msg::chat, Direction::ToClient, empty_once_cut},
        {msg::chat, Direction::ToServer, empty_once_cut},
        {msg::damage_states, Direction::ToClient, codes_3},
        {msg::damage_states, Direction::ToClient, missing_value},
        {msg::damage_states, Direction::ToClient, Bytes(749, 0)},
        {msg::plane_states, Direction::ToClient, int_bytes(7)}, // count without entries
        {99, Direction::ToClient, {}},
        {24, Direction::ToClient, {}}, // a game-to-server type from the server
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_FALSE(client_round_trip(c.type, c.direction, c.wire));
        EXPECT_FALSE(mpserver::decode(c.type, c.direction, c.wire.data(), c.wire.size()));
    }

    // Every message cut at every length short of its fields.
    for (const auto& [direction, message] : every_message()) {
        Bytes wire = server_bytes(message, direction);
        for (size_t n = 0; n < wire.size(); ++n) {
            SCOPED_TRACE(message.describe() + " cut to " + std::to_string(n));
            Bytes cut(wire.begin(), wire.begin() + long(n));
            ASSERT_FALSE(client_round_trip(message.type, direction, cut));
            ASSERT_FALSE(mpserver::decode(message.type, direction, cut.data(), cut.size()));
        }
    }
}

TEST_F(GameMessagesTest, MatricesArriveOrthonormalOrAsIdentityAtTheirPosition) {
    Message skewed = matrix_message(msg::respawn).set("slot", 0);
    skewed.set("matrix0", 2).set("matrix1", 0.5).set("matrix5", 3).set("matrix3", 0x777);
    Message zero_row =
        matrix_message(msg::respawn).set("slot", 0).set("matrix4", 0).set("matrix5", 0);
    // Up and at a few thousandths of a radian apart: right comes from a short cross product.
    Message near_parallel = matrix_message(msg::respawn).set("slot", 0);
    near_parallel.set("matrix4", 0.36).set("matrix5", 0.48).set("matrix6", 0.8);
    near_parallel.set("matrix8", 0.3611).set("matrix9", 0.4787).set("matrix10", 0.8003);
    struct Case {
        Message in;
        bool identity;
    } cases[] = {{skewed, false}, {zero_row, true}, {near_parallel, false}};
    for (const Case& c : cases) {
        Bytes wire = server_bytes(c.in, Direction::ToClient);
        auto client = TvDecodeToClientRespawn(reader(wire).get());
        auto server = mpserver::decode(msg::respawn, Direction::ToClient, wire.data(), wire.size());
        ASSERT_TRUE(client);
        ASSERT_TRUE(server);
        const float* m = client->matrix.m;
        for (int row = 0; row < 3; ++row) {
            const float* r = m + 4 * row;
            EXPECT_NEAR(r[0] * r[0] + r[1] * r[1] + r[2] * r[2], 1.0f, 1e-5f);
            const float* s = m + 4 * ((row + 1) % 3);
            EXPECT_NEAR(r[0] * s[0] + r[1] * s[1] + r[2] * s[2], 0.0f, 1e-6f);
        }
        // Made orthonormal once, a matrix passes through the network again unchanged.
        Bytes again = server_bytes(*server, Direction::ToClient);
        auto twice = TvDecodeToClientRespawn(reader(again).get());
        ASSERT_TRUE(twice);
        for (int i = 0; i < 16; ++i)
            if (i % 4 != 3) EXPECT_NEAR(twice->matrix.m[i], m[i], 1e-6f) << i;
        EXPECT_FLOAT_EQ(m[12], 1500.5f);
        EXPECT_FLOAT_EQ(m[14], 2000.25f);
        uint32_t flags;
        std::memcpy(&flags, m + 3, 4);
        EXPECT_EQ(flags, c.identity ? 0x20003u : 0x3u);
        if (c.identity) {
            EXPECT_EQ(m[0], 1.0f);
        }
        for (int i = 0; i < 16; ++i) {
            if (i == 3) continue;
            EXPECT_NEAR(server->num("matrix" + std::to_string(i)), m[i], 1e-5) << i;
        }
        EXPECT_EQ(server->num("matrix3"), flags);
    }
}

TEST_F(GameMessagesTest, TextsArriveTerminatedAndChatIsCutAtAZero) {
    Bytes change(33, 'A'); // slot 1 (5 bits of 0x41) and 32 bytes without a terminator
    auto client = TvDecodeToClientPlaneChange(reader(change).get());
    ASSERT_TRUE(client);
    EXPECT_EQ(std::strlen(client->planeId), 31u);
    auto server =
        mpserver::decode(msg::plane_change, Direction::ToClient, change.data(), change.size());
    ASSERT_TRUE(server);
    EXPECT_EQ(server->text("plane"), std::string(client->planeId));

    Bytes chat = {5, 0, 0, 0, 'h', 'i', 0, 'x', 'y'};
    auto text = TvDecodeToServerChat(reader(chat).get());
    ASSERT_TRUE(text);
    EXPECT_EQ(text->text, "hi");
    EXPECT_EQ(
        mpserver::decode(msg::chat, Direction::ToServer, chat.data(), chat.size())->text("text"),
        "hi");
}

TEST(ClientStates, EighteenNamesAndAnEmptyOneForTheEnd) {
    EXPECT_STREQ(TvClientStateName(TV_CLIENT_OFFLINE), "Offline");
    EXPECT_STREQ(TvClientStateName(TV_CLIENT_WAITING_ACCEPTANCE), "Waiting for server acceptance");
    EXPECT_STREQ(TvClientStateName(TV_CLIENT_SYNCING_TIME), "Syncing Time");
    EXPECT_STREQ(TvClientStateName(TV_CLIENT_LOADING_NEW_LEVEL), "Loading level");
    EXPECT_STREQ(TvClientStateName(TV_CLIENT_OFFLINE_LOCAL), "Offline");
    EXPECT_STREQ(TvClientStateName(TV_CLIENT_DISCONNECTED), "Disconnected");
    EXPECT_STREQ(TvClientStateName(TV_CLIENT_ENDED), "");
    EXPECT_STREQ(TvClientStateName(18), "");
    EXPECT_STREQ(TvClientStateName(-1), "");
    for (int32_t s = 0; s < TV_CLIENT_STATE_COUNT; ++s)
        EXPECT_LT(std::strlen(TvClientStateName(s)), TV_CLIENT_STATE_NAME_SIZE);
}

} // namespace
