// The composite encodings: direction and position vectors, player-info sizes per mask, the
// plane-state record's bit count, text zero-fill, no sign extension and the flush byte.
#include "net/client/message_codec.h"

#include "framework/io/memory_stream.h"
#include "tests/net/net_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using nettest::Bytes;

class MessageCodecTest : public nettest::NetTest {
protected:
    // A packet writing into a fresh memory stream.
    ComRef<IBinaryStreamComposer> writer() {
        ComRef<IByteStream> stream;
        EXPECT_EQ(OmNewMemoryStream(stream.put()), 0);
        ComRef<IBinaryStreamComposer> packet;
        EXPECT_EQ(OmCreate(CLSID_BinaryStreamComposer, IID_IBinaryStreamComposer, packet.put()), 0);
        packet->Attach(stream.get(), OM_COMPOSER_WRITE);
        return packet;
    }
    // The bytes written so far (without flushing), or with the flush byte.
    static Bytes bytes(IBinaryStreamComposer* packet, bool flush) {
        if (flush) packet->Flush();
        IByteStream* s = packet->GetStream();
        uint32_t length = 0;
        s->Seek(0, OM_SEEK_END, &length);
        Bytes out(length);
        s->Seek(0, OM_SEEK_START, nullptr);
        uint32_t done = 0;
        if (length) s->Read(out.data(), length, &done);
        return out;
    }
    // A packet reading back what `written` holds.
    ComRef<IBinaryStreamComposer> reader(IBinaryStreamComposer* written) {
        written->Flush();
        ComRef<IBinaryStreamComposer> packet;
        EXPECT_EQ(OmCreate(CLSID_BinaryStreamComposer, IID_IBinaryStreamComposer, packet.put()), 0);
        packet->Attach(written->GetStream(), OM_COMPOSER_READ);
        packet->Rewind();
        return packet;
    }
};

TEST_F(MessageCodecTest, DirectionsTravelAsSignedBytesOfTheUnitVector) {
    struct Case {
        float in[3];
        Bytes wire;
        float out[3];
    } cases[] = {
        {{0, 0, 2}, {0x00, 0x00, 0x7F}, {0, 0, 1}},
        {{-1, 0, 0}, {0x81, 0x00, 0x00}, {-1, 0, 0}},
        {{0, 0, 0}, {0x00, 0x00, 0x00}, {0, 0, 0}}, // no direction: zeros, not garbage
    };
    for (const Case& c : cases) {
        auto w = writer();
        float v[3] = {c.in[0], c.in[1], c.in[2]};
        ASSERT_EQ(TvSerializeDirection(w.get(), v), 0);
        EXPECT_EQ(bytes(w.get(), false), c.wire);
        auto r = reader(w.get());
        float back[3] = {9, 9, 9};
        ASSERT_EQ(TvSerializeDirection(r.get(), back), 0);
        for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(back[i], c.out[i]);
    }
}

TEST_F(MessageCodecTest, PositionsTravelInTwoHundredFiftySixthsWithoutSignExtension) {
    auto w = writer();
    float p[3] = {1.5f, 2.0f, 3.25f};
    float negative[3] = {-1.0f, 0.0f, 65535.99609375f};
    ASSERT_EQ(TvSerializePosition(w.get(), p), 0);
    ASSERT_EQ(TvSerializePosition(w.get(), negative), 0);
    Bytes wire = bytes(w.get(), false);
    ASSERT_EQ(wire.size(), 18u);
    EXPECT_EQ(Bytes(wire.begin(), wire.begin() + 9),
              (Bytes{0x80, 0x01, 0x00, 0x00, 0x02, 0x00, 0x40, 0x03, 0x00})); // 384, 512, 832
    auto r = reader(w.get());
    float back[3];
    ASSERT_EQ(TvSerializePosition(r.get(), back), 0);
    EXPECT_EQ(back[0], 1.5f);
    EXPECT_EQ(back[1], 2.0f);
    EXPECT_EQ(back[2], 3.25f);
    ASSERT_EQ(TvSerializePosition(r.get(), back), 0);
    EXPECT_EQ(back[0], 65535.0f); // -1 arrives as a large positive value
    EXPECT_EQ(back[2], 65535.99609375f);
}

TEST_F(MessageCodecTest, PlayerInfoMasksGiveTheirSizes) {
    struct Case {
        uint32_t mask;
        size_t bytes;
    } cases[] = {{0x0b, 88}, {0x17, 160}, {0x07, 144}, {0x1f, 168}, {0x00, 0}};
    TvPlayerInfo info{};
    std::strcpy(info.name, "Baron");
    std::strcpy(info.planeId, "multitavrincamel");
    for (const Case& c : cases) {
        auto w = writer();
        ASSERT_EQ(TvSerializePlayerInfo(w.get(), &info, c.mask), 0);
        EXPECT_EQ(bytes(w.get(), false).size(), c.bytes) << c.mask;
        // Byte-aligned: the flush still adds its byte.
        EXPECT_EQ(bytes(w.get(), true).size(), c.bytes + 1) << c.mask;
    }
}

TEST_F(MessageCodecTest, PlayerInfoRoundTripsWithTextsZeroFilled) {
    TvPlayerInfo info;
    std::memset(&info, 0xEE, sizeof info); // stale bytes behind the texts
    std::strcpy(info.name, "Bob");
    std::strcpy(info.planeId, "multitavrinspad");
    info.status = 4;
    info.sideFlags = 0x102;
    info.word = 77;
    info.kills = -3;
    for (int i = 0; i < 16; ++i) info.matrix[i] = float(i) * 0.5f;
    info.settings[0] = 33;
    info.settings[1] = 34;
    for (int i = 0; i < 4; ++i) info.extra[i] = 1000 + i;
    auto w = writer();
    ASSERT_EQ(TvSerializePlayerInfo(w.get(), &info, 0x1f), 0);
    Bytes wire = bytes(w.get(), false);
    EXPECT_EQ(Bytes(wire.begin(), wire.begin() + 32),
              (Bytes{'B', 'o', 'b', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                     0,   0,   0,   0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    // The status group's order on the wire: status, side flags, the word, kills.
    int32_t group[4];
    std::memcpy(group, wire.data() + 64, 16);
    EXPECT_EQ(group[0], 4);
    EXPECT_EQ(group[1], 0x102);
    EXPECT_EQ(group[2], 77);
    EXPECT_EQ(group[3], -3);

    auto r = reader(w.get());
    TvPlayerInfo back;
    std::memset(&back, 0x55, sizeof back);
    ASSERT_EQ(TvSerializePlayerInfo(r.get(), &back, 0x1f), 0);
    EXPECT_STREQ(back.name, "Bob");
    EXPECT_STREQ(back.planeId, "multitavrinspad");
    EXPECT_EQ(std::memcmp(back.matrix, info.matrix, sizeof info.matrix), 0);
    EXPECT_EQ(back.kills, -3);
    EXPECT_EQ(back.settings[1], 34);
    EXPECT_EQ(back.extra[3], 1003);
    EXPECT_EQ(back.networkId, 0x55555555u); // not on the wire
}

TEST_F(MessageCodecTest, ReadingATruncatedPlayerInfoReportsItsFirstFailure) {
    auto w = writer();
    int32_t just_one = 4;
    w->Int(&just_one);
    auto r = reader(w.get());
    TvPlayerInfo back{};
    EXPECT_LT(TvSerializePlayerInfo(r.get(), &back, TV_INFO_STATUS), 0);
    EXPECT_EQ(back.status, 4);
}

TEST_F(MessageCodecTest, PlaneStateIs138BitsAndMessage25Adds24) {
    TvPlaneStateRecord state{};
    state.slot = 5;
    state.position[0] = 10.0f;
    state.direction[2] = 1.0f;
    state.speed = 55.5f;
    state.flag = 1;
    state.value = 9;
    auto w = writer();
    ASSERT_EQ(TvSerializePlaneState(w.get(), &state, &state.slot), 0);
    EXPECT_EQ(bytes(w.get(), false).size(), 17u); // 136 bits whole, 2 pending
    EXPECT_EQ(bytes(w.get(), true).size(), 18u);

    // Message 25 from the game: 16-bit time, 8-bit fraction, then the state: 162 bits.
    auto m = writer();
    int32_t time = 1234, fraction = 200;
    m->Field(OM_FIELD_INTEGER, 16, &time);
    m->Field(OM_FIELD_INTEGER, 8, &fraction);
    TvSerializePlaneState(m.get(), &state, &state.slot);
    EXPECT_EQ(bytes(m.get(), false).size(), 20u);
    EXPECT_EQ(bytes(m.get(), true).size(), 21u);

    auto r = reader(m.get());
    int32_t t = -1, f = -1;
    r->Field(OM_FIELD_INTEGER, 16, &t);
    r->Field(OM_FIELD_INTEGER, 8, &f);
    // Only the bytes a field touches are cleared: the game zeroes its integers first.
    EXPECT_EQ(uint32_t(t), 0xFFFF0000u | 1234u);
    EXPECT_EQ(uint32_t(f) & 0xFF, 200u);
    TvPlaneStateRecord back;
    std::memset(&back, 0x77, sizeof back);
    ASSERT_EQ(TvSerializePlaneState(r.get(), &back, &back.slot), 0);
    EXPECT_EQ(back.slot, 5u);
    EXPECT_EQ(back.position[0], 10.0f);
    EXPECT_EQ(back.direction[2], 1.0f);
    EXPECT_EQ(back.speed, 55.5f);
    EXPECT_EQ(back.flag, 1u);
    EXPECT_EQ(back.value, 9u);
}

} // namespace
