// The network-driven plane: serials and segments, the curve and its extrapolation, the time-out,
// the relative aim and release prediction, and the reports the local plane sends, read back by
// the test server's decoder.
#include "framework/io/memory_stream.h"
#include "game/rules/tavrin_client_game.h"
#include "game/rules/tavrin_net_plane.h"
#include "game/rules/tv_client_game.h"
#include "game/world/tv_weapon.h"
#include "net/client/om_aerovant_client.h"
#include "platform/clock.h"
#include "tests/game/world/plane_test_support.h"
#include "tools/mpserver/mp_messages.h"

#include <gtest/gtest.h>

#include <cmath>

using planetest::kStep;
using planetest::placed;
using planetest::PlaneTest;

namespace {

// The client game's part the plane reads: the player planes, the local slot and the kills.
class FakeClientGame final : public gametest::GameProbe, public ITvClientGame {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        if (out && iid == IID_ITvClientGame) {
            *out = static_cast<ITvClientGame*>(this);
            AddRef();
            return OM_S_OK;
        }
        return GameProbe::QueryInterface(iid, out);
    }
    uint32_t AddRef() override { return GameProbe::AddRef(); }
    uint32_t Release() override { return GameProbe::Release(); }
    ITvObject* GetPlayerPlane(int32_t slot) override {
        return slot >= 0 && slot < 8 ? players[slot] : nullptr;
    }
    int32_t GetPlayerSlotCount() override { return 8; }
    int32_t GetLocalSlot() override { return local; }
    OmResult DeductKill(int32_t slot) override {
        deducted.push_back(slot);
        return OM_S_OK;
    }
    OmResult OnSystemEvent(const OmTransportMessage*) override { return OM_E_FAIL; }
    OmResult HandleMessage(IBinaryStreamComposer*, uint16_t, uint16_t) override {
        return OM_E_FAIL;
    }
    OmResult ClearOutcome() override { return OM_S_OK; }
    OmResult AddPlayer(ITvObject*, int32_t, const TvPlayerInfo*, int32_t) override {
        return OM_E_FAIL;
    }
    OmResult SetClock(int32_t, int32_t) override { return OM_S_OK; }
    OmResult BuildScoreboard(std::string*) override { return OM_E_FAIL; }
    OmResult ChangeMission(int32_t) override { return OM_E_FAIL; }
    OmResult CreatePlayerPlane(const TvPlayerInfo*, int32_t, int32_t, ITvObject**) override {
        return OM_E_FAIL;
    }
    OmResult JoinLocalPlayer(const TvPlayerInfo*, int32_t) override { return OM_E_FAIL; }
    const TvPlayerInfo* GetPlayerRecord(int32_t) override { return nullptr; }
    int32_t IsChatActive() override { return 0; }
    OmResult SendObjectUpdate(ITvObject* object, uintptr_t) override {
        reported.push_back(object);
        return OM_S_OK;
    }

    ITvObject* players[8]{};
    int32_t local = 0;
    std::vector<int32_t> deducted;
    std::vector<ITvObject*> reported;
};

struct Sent {
    uint16_t type;
    uint16_t flags;
    std::vector<uint8_t> bytes;
};

// A network client that keeps every message sent.
class RecordingClient final : public OmObject<RecordingClient, IOmAerovantClient> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IOmAerovantClient, this}});
    }
    OmResult Init(const char*) override { return OM_S_OK; }
    OmResult Close() override { return OM_S_OK; }
    OmResult TvStartSessionJoin(TvProgressCallback, void*, const void*, uint32_t) override {
        return OM_S_OK;
    }
    OmResult Stop() override { return OM_S_OK; }
    OmResult Poll(uint32_t) override { return OM_S_OK; }
    OmResult SetLogCallback(TvLogCallback, void*) override { return OM_S_OK; }
    OmResult OnMessage(IBinaryStreamComposer*, uint16_t, uint16_t) override { return OM_S_OK; }
    IBinaryStreamComposer* NewPacket() override {
        IByteStream* stream = nullptr;
        if (OmNewMemoryStream(&stream) < 0) return nullptr;
        IBinaryStreamComposer* packet = nullptr;
        OmCreate(CLSID_BinaryStreamComposer, IID_IBinaryStreamComposer,
                 reinterpret_cast<void**>(&packet));
        packet->Attach(stream, OM_COMPOSER_WRITE);
        stream->Release();
        return packet;
    }
    OmResult Send(IBinaryStreamComposer* packet, uint16_t type, uint16_t flags) override {
        packet->Flush();
        IByteStream* s = packet->GetStream();
        uint32_t size = 0;
        s->Seek(0, OM_SEEK_END, &size);
        Sent m{type, flags, std::vector<uint8_t>(size)};
        s->Seek(0, OM_SEEK_START, nullptr);
        uint32_t done = 0;
        if (size) s->Read(m.bytes.data(), size, &done);
        sent.push_back(std::move(m));
        packet->Release();
        return OM_S_OK;
    }
    IBinaryStreamComposer* Withdraw(uint16_t, uint16_t) override { return nullptr; }
    OmResult GetLocalPlayer(TvPlayerInfo**) override { return OM_E_FAIL; }
    OmResult SetQueueCallback(OmQueueSystemCallback, uintptr_t) override { return OM_S_OK; }
    OmResult GetQueueCallback(OmQueueSystemCallback*, uintptr_t*) override { return OM_E_FAIL; }
    OmResult SetMessageHandler(TvMessageHandler, void*) override { return OM_S_OK; }
    OmResult GetMessageHandler(TvMessageHandler*, void**) override { return OM_E_FAIL; }
    IPacketQueue* GetPacketQueue() override { return nullptr; }
    OmResult SetStatusPage(TvStatusPage, void*) override { return OM_S_OK; }

    // The messages of one type, decoded by the test server.
    std::vector<mpserver::Message> decoded(uint16_t type) const {
        std::vector<mpserver::Message> out;
        for (const Sent& m : sent) {
            if (m.type != type) continue;
            std::string reason;
            auto d = mpserver::decode(type, mpserver::Direction::ToServer, m.bytes.data(),
                                      m.bytes.size(), &reason);
            EXPECT_TRUE(d.has_value()) << "message " << type << ": " << reason;
            if (d) out.push_back(*d);
        }
        return out;
    }
    std::vector<Sent> sent;
};

TvPlaneStateRecord state_record(int serial, LgVector pos, LgVector heading, float bank = 0.0f) {
    TvPlaneStateRecord r{};
    r.size = 72;
    r.type = 25;
    r.position[0] = pos.x, r.position[1] = pos.y, r.position[2] = pos.z;
    r.direction[0] = heading.x, r.direction[1] = heading.y, r.direction[2] = heading.z;
    r.speed = bank;
    r.value = static_cast<uint32_t>(serial);
    return r;
}

void expect_near(LgVector a, LgVector b, float tolerance, const char* what) {
    EXPECT_NEAR(a.x, b.x, tolerance) << what;
    EXPECT_NEAR(a.y, b.y, tolerance) << what;
    EXPECT_NEAR(a.z, b.z, tolerance) << what;
}

bool finite(const LgMatrix& m) {
    for (float v : {m.right.x, m.right.y, m.right.z, m.up.x, m.up.y, m.up.z, m.at.x, m.at.y, m.at.z,
                    m.pos.x, m.pos.y, m.pos.z})
        if (!std::isfinite(v)) return false;
    return true;
}

class NetPlaneTest : public PlaneTest {
protected:
    void SetUp() override {
        platform::use_virtual_clock(true);
        platform::set_virtual_time(100000);
        PlaneTest::SetUp();
        // The fixture's game gives way to a client game (keeping the particles).
        particles->AddRef();
        game->Destroy();
        game->Release();
        client_game = new FakeClientGame;
        game = client_game;
        ASSERT_EQ(game->BeginSession(&owned.settings), OM_S_OK);
        game->frame_time_ = kStep;
        game->particles_ = particles;
        table.fire_rate = 120.0f;
        table.fire_interval = 1.0f / 120.0f;
        table.fire_on_time = 10.0f;
        table.fire_cycle = 20.0f;
    }
    void TearDown() override {
        if (client) client->Release();
        PlaneTest::TearDown();
        platform::use_virtual_clock(false);
    }
    TavrinNetPlane* remote(LgVector at = {500, 600, 500}) {
        auto* plane =
            make_plane<TavrinNetPlane>(kTvFlagPlane | kTvFlagNetworkDriven, placed(at), table);
        plane->SetProperty(kTvNetPropInterval, 100);
        return plane;
    }
    TavrinNetPlane* local_plane(LgVector at, int32_t slot) {
        auto* plane =
            make_plane<TavrinNetPlane>(kTvFlagPlane | kTvFlagPlayerPlane, placed(at), table);
        client_game->players[slot] = plane;
        client_game->local = slot;
        if (!client) client = new RecordingClient;
        plane->SetProperty(kTvNetPropClient, reinterpret_cast<uintptr_t>(client));
        return plane;
    }
    static void feed(TavrinNetPlane* plane, const TvPlaneStateRecord& r) {
        ASSERT_EQ(plane->SetProperty(kTvNetPropStateRecord, reinterpret_cast<uintptr_t>(&r)),
                  OM_S_OK);
    }

    FakeClientGame* client_game = nullptr;
    RecordingClient* client = nullptr;
    TvFlightTable table = planetest::check_table();
};

} // namespace

TEST_F(NetPlaneTest, AnswersItsFourInterfacesWithOnePointer) {
    TavrinNetPlane* plane = remote();
    for (const GUID* iid : {&IID_IUnknown, &IID_ITvObject, &IID_ITvAIPlane, &IID_ITvNetPlane}) {
        void* out = nullptr;
        ASSERT_EQ(plane->QueryInterface(*iid, &out), OM_S_OK);
        EXPECT_EQ(out, static_cast<ITvPlane*>(plane));
        static_cast<IUnknown*>(out)->Release();
    }
    EXPECT_EQ(plane->serial, kTvNetNoSerial);
}

TEST_F(NetPlaneTest, SerialGapsDecideTheSnapAndTheSegmentTime) {
    // A first record counts as one step whatever its serial.
    for (int first : {0, 1, 7, 15}) {
        TavrinNetPlane* plane = remote();
        feed(plane, state_record(first, {500, 600, 600}, {0, 0, 1}));
        EXPECT_EQ(plane->record_gap, 1) << first;
        EXPECT_FLOAT_EQ(plane->parameter_rate, 10.0f) << "100 ms for one record";
        expect_near(plane->matrix->at, {0, 0, 1}, 1e-5f, "no snap to the identity");
    }

    TavrinNetPlane* plane = remote();
    feed(plane, state_record(3, {500, 600, 600}, {0, 0, 1}));
    feed(plane, state_record(4, {600, 600, 700}, {1, 0, 0}));
    EXPECT_EQ(plane->record_gap, 1);
    expect_near(plane->matrix->at, {0, 0, 1}, 1e-5f, "still turning toward record 4");
    feed(plane, state_record(6, {700, 600, 700}, {0, 0, -1}));
    EXPECT_EQ(plane->record_gap, 2);
    expect_near(plane->matrix->at, {1, 0, 0}, 1e-5f, "snapped to record 4's orientation");
    EXPECT_FLOAT_EQ(plane->parameter_rate, 5.0f) << "twice the interval";
    EXPECT_NEAR(plane->turn_rate, 90.0f * 5.0f, 0.01f);

    // A repeated serial changes nothing; 15 to 0 is one step.
    const float t = plane->curve_t;
    plane->curve_t = 0.5f;
    feed(plane, state_record(6, {0, 0, 0}, {0, 1, 0}));
    EXPECT_EQ(plane->curve[3].x, 700.0f);
    EXPECT_EQ(plane->curve_t, 0.5f);
    plane->curve_t = t;
    feed(plane, state_record(15, {700, 600, 800}, {0, 0, 1}));
    EXPECT_EQ(plane->record_gap, 9);
    feed(plane, state_record(0, {700, 600, 900}, {0, 0, 1}));
    EXPECT_EQ(plane->record_gap, 1);
    EXPECT_EQ(plane->serial, 0);
}

TEST_F(NetPlaneTest, SegmentTimeAndIntervalZero) {
    struct Case {
        int32_t interval;
        int gap;
        float rate;
    } cases[] = {
        {0, 1, 1.0f}, {0, 3, 1.0f}, {250, 1, 4.0f}, {0x7fffffff, 2, 1000.0f / 4294967294.0f}};
    for (const Case& c : cases) {
        TavrinNetPlane* plane = remote();
        plane->SetProperty(kTvNetPropInterval, static_cast<uintptr_t>(c.interval));
        feed(plane, state_record(1, {500, 600, 600}, {0, 0, 1}));
        feed(plane, state_record(1 + c.gap, {500, 600, 700}, {0, 0, 1}));
        EXPECT_EQ(plane->record_gap, c.gap);
        EXPECT_FLOAT_EQ(plane->parameter_rate, c.rate) << c.interval;
        EXPECT_GT(plane->parameter_rate, 0.0f);
    }
}

TEST_F(NetPlaneTest, FollowsTheBezierCurveAndExtrapolatesPastIt) {
    TavrinNetPlane* plane = remote({500, 600, 500});
    feed(plane, state_record(1, {600, 600, 600}, {1, 0, 0}));
    const float d = std::sqrt(2.0f) * 100.0f;
    expect_near(plane->curve[1], {500, 600, 500 + 0.4f * d}, 1e-3f, "P1 along the start heading");
    expect_near(plane->curve[2], {600 - 0.4f * d, 600, 600}, 1e-3f, "P2 back along the end");
    EXPECT_EQ(plane->state, kTvPlaneTaxiing);

    for (int i = 0; i < 3; ++i) ASSERT_EQ(plane->Update(), OM_S_OK);
    const float t = 3.0f * kStep * 10.0f;
    EXPECT_NEAR(plane->curve_t, t, 1e-5f);
    expect_near(plane->matrix->pos, TvBezierPoint(plane->curve, plane->curve_t), 1e-3f,
                "on the curve");
    expect_near(plane->model_matrix->pos, plane->matrix->pos, 1e-4f, "the model follows");

    // Past t = 1: a new segment from here, turned on by the segment rotation; the rate decays.
    while (plane->extrapolation_count == 0) ASSERT_EQ(plane->Update(), OM_S_OK);
    const LgVector here = plane->curve[0];
    EXPECT_NEAR(plane->parameter_rate, 10.0f * 0.9f, 1e-4f);
    LgVector run = {plane->curve[3].x - here.x, plane->curve[3].y - here.y,
                    plane->curve[3].z - here.z};
    EXPECT_GT(run.x, 0.0f) << "on along the turn the record began";
    EXPECT_NEAR(run.y, 0.0f, 1e-3f);
    plane->Update();
    EXPECT_NEAR(plane->parameter_rate, 10.0f * 0.81f, 1e-4f);
    EXPECT_TRUE(finite(*plane->matrix));
}

TEST_F(NetPlaneTest, HostileTimingKeepsThePlaneOnItsCurveAndInTheWorld) {
    // Intervals and frame times from the network and the clock: a frame may cover many
    // segments, and records at the edge of the range may lead the curve out of it.
    struct Case {
        int32_t interval; // ms
        float frame;      // s
        LgVector from, to, heading;
    } cases[] = {
        {1, kStep, {500, 600, 500}, {600, 600, 600}, {1, 0, 0}},
        {3, 0.017f, {900, 400, 900}, {440, 450, 140}, {0, 0.2f, 1}},
        {50, 1.021f, {500, 600, 500}, {520, 600, 500}, {0, 0, -1}},
        {1, 1.021f, {-30000, 100, -30000}, {32000, 100, 32000}, {1, 0, 1}},
        {100, kStep, {-30000, 100, -30000}, {32000, 30000, 32000}, {1, 1, 1}},
    };
    for (const Case& c : cases) {
        TavrinNetPlane* plane = remote(c.from);
        plane->SetProperty(kTvNetPropInterval, static_cast<uintptr_t>(c.interval));
        game->frame_time_ = c.frame;
        feed(plane, state_record(1, c.to, c.heading, 60.0f));
        for (int i = 0; i < 200; ++i) {
            ASSERT_EQ(plane->Update(), OM_S_OK);
            ASSERT_TRUE(finite(*plane->matrix)) << c.interval << " ms, frame " << i;
            ASSERT_LE(plane->curve_t, 1.0f) << "on the curve, not past it";
            for (float v : {plane->matrix->pos.x, plane->matrix->pos.y, plane->matrix->pos.z})
                ASSERT_LE(std::fabs(v), kTvNetPositionLimit) << c.interval << " ms, frame " << i;
            // A second record midway starts a new segment from wherever the plane got to.
            if (i == 100) feed(plane, state_record(2, c.to, {-c.heading.x, 0, c.heading.z}));
        }
    }
    game->frame_time_ = kStep;
}

TEST_F(NetPlaneTest, TimesOutToTheOriginAndSnapsToTheNextRecord) {
    TavrinNetPlane* plane = remote({500, 600, 500});
    feed(plane, state_record(1, {520, 600, 500}, {0, 0, 1}));
    platform::advance_virtual_clock(1900);
    plane->Update();
    EXPECT_EQ(plane->snap_pending, 0);
    platform::advance_virtual_clock(200);
    plane->Update();
    EXPECT_EQ(plane->snap_pending, 1);
    expect_near(plane->matrix->pos, {0, 0, 0}, 0.0f, "taken off to the origin");

    // The next record as it arrives from the wire, in 1/256 units.
    TvPlaneStateRecord sent = state_record(2, {1234.56789f, 321.1f, 77.7f}, {0, 0, 1});
    IBinaryStreamComposer* w =
        client ? client->NewPacket() : (client = new RecordingClient)->NewPacket();
    uint32_t slot = 3;
    TvSerializePlaneState(w, &sent, &slot);
    w->Flush();
    IBinaryStreamComposer* r = nullptr;
    OmCreate(CLSID_BinaryStreamComposer, IID_IBinaryStreamComposer, reinterpret_cast<void**>(&r));
    r->Attach(w->GetStream(), OM_COMPOSER_READ);
    r->Rewind();
    TvPlaneStateRecord got{};
    TvSerializePlaneState(r, &got, &got.slot);
    r->Release();
    w->Release();
    feed(plane, got);
    EXPECT_EQ(plane->snap_pending, 0);
    EXPECT_EQ(plane->matrix->pos.x, got.position[0]);
    EXPECT_EQ(plane->matrix->pos.y, got.position[1]);
    EXPECT_EQ(plane->matrix->pos.z, got.position[2]);
    EXPECT_EQ(got.position[0] * 256.0f, std::floor(got.position[0] * 256.0f));
}

TEST_F(NetPlaneTest, DegenerateHeadingsKeepThePreviousRightRow) {
    TavrinNetPlane* plane = remote({500, 600, 500});
    feed(plane, state_record(1, {500, 600, 600}, {1, 0, 0}));
    const LgVector right = plane->target_orientation.right;
    for (LgVector heading : {LgVector{0, 1, 0}, LgVector{0, -1, 0}, LgVector{0, 0, 0}}) {
        feed(plane, state_record(plane->serial + 2, {500, 700, 600}, heading));
        EXPECT_TRUE(finite(plane->target_orientation));
        EXPECT_TRUE(finite(*plane->matrix));
        expect_near(plane->target_orientation.right, right, 1e-5f, "previous right row");
        for (int i = 0; i < 5; ++i) plane->Update();
        EXPECT_TRUE(finite(*plane->matrix));
    }
    // The look-at frame: a vertical look keeps the right row; coincident positions nothing.
    LgMatrix frame = placed({0, 0, 0}, {0, 0, 1});
    const LgMatrix from = placed({0, 0, 0}), above = placed({0, 50, 0});
    EXPECT_TRUE(TvFrameLookAt(&frame, &from, &above));
    expect_near(frame.at, {0, 1, 0}, 1e-6f, "looks up");
    expect_near(frame.right, {1, 0, 0}, 1e-6f, "kept right");
    LgMatrix untouched = frame;
    EXPECT_FALSE(TvFrameLookAt(&frame, &from, &from));
    EXPECT_EQ(std::memcmp(&frame, &untouched, sizeof frame), 0);
    LgVector aim;
    EXPECT_FALSE(TvRelativeAim(from, from, &aim));
}

TEST_F(NetPlaneTest, RelativeAimRoundTripsThroughTheWire) {
    struct Case {
        LgVector shooter, at, target;
    } cases[] = {
        {{0, 0, 0}, {0, 0, 1}, {100, 0, 300}},
        {{500, 600, 500}, {0.6f, 0, 0.8f}, {400, 650, 900}},
        {{500, 600, 500}, {0, -0.6f, 0.8f}, {500, 100, 500.1f}},
        {{10, 20, 30}, {-1, 0, 0}, {-200, 20, 30}},
        {{0, 0, 0}, {0.2f, 0.9f, 0.3f}, {0, 400, 0}}, // straight above: right row kept
    };
    for (const Case& c : cases) {
        LgVector at = c.at;
        const float l = std::sqrt(at.x * at.x + at.y * at.y + at.z * at.z);
        at = {at.x / l, at.y / l, at.z / l};
        LgVector up = std::fabs(at.y) > 0.9f ? LgVector{0, 0, 1} : LgVector{0, 1, 0};
        const LgMatrix shooter = placed(c.shooter, at, up);
        const LgMatrix target = placed(c.target);
        LgVector rel;
        ASSERT_TRUE(TvRelativeAim(shooter, target, &rel));
        // Through the 8-bit direction of the wire.
        float wire[3] = {rel.x, rel.y, rel.z};
        IBinaryStreamComposer* w = nullptr;
        if (!client) client = new RecordingClient;
        w = client->NewPacket();
        TvSerializeDirection(w, wire);
        w->Flush();
        IBinaryStreamComposer* r = nullptr;
        OmCreate(CLSID_BinaryStreamComposer, IID_IBinaryStreamComposer,
                 reinterpret_cast<void**>(&r));
        r->Attach(w->GetStream(), OM_COMPOSER_READ);
        r->Rewind();
        float back[3] = {};
        TvSerializeDirection(r, back);
        r->Release();
        w->Release();
        LgVector turned;
        ASSERT_TRUE(TvAimFromRelative(shooter, target, {back[0], back[1], back[2]}, &turned));
        expect_near(turned, at, 0.02f, "the shooter's at-vector");
    }
}

TEST_F(NetPlaneTest, PredictsTheEarliestReleaseImpact) {
    const LgMatrix level = placed({0, 600, 0}, {0, 0, 1});
    const LgVector velocity = {0, 0, 50};
    const LgVector up = {0, 1, 0};
    float t = -1;
    LgVector point{};
    // Below: 600 - 30 t^2 = 300.
    ASSERT_TRUE(TvPredictReleaseImpact(level, velocity, 0.0f, {0, 300, 0}, up, &t, &point));
    EXPECT_NEAR(t, std::sqrt(10.0f), 1e-4f);
    expect_near(point, {0, 300, 50 * std::sqrt(10.0f)}, 1e-2f, "the impact point");
    // Above, climbing through it: the first crossing, not the way down.
    const LgMatrix climbing = placed({0, 0, 0}, {0, 1, 0}, {0, 0, -1});
    ASSERT_TRUE(TvPredictReleaseImpact(climbing, {0, 0, 0}, 120.0f, {0, 100, 0}, up, &t, &point));
    EXPECT_NEAR(t, (120.0f - std::sqrt(120.0f * 120.0f - 12000.0f)) / 60.0f, 1e-4f);
    EXPECT_NEAR(point.y, 100.0f, 1e-3f);
    // Above and out of reach: no time at all.
    t = -7.0f;
    EXPECT_FALSE(TvPredictReleaseImpact(level, velocity, 0.0f, {0, 900, 0}, up, &t, &point));
    EXPECT_EQ(t, -7.0f);
}

TEST_F(NetPlaneTest, GetPropertyFillsTheRecordAndAdvancesTheSerial) {
    TavrinNetPlane* plane = local_plane({100, 200, 300}, 0);
    plane->bank = 12.5f;
    plane->throttle = 0.75f;
    plane->serial = 14;
    std::vector<uint32_t> serials;
    for (int i = 0; i < 3; ++i) {
        uintptr_t value = 0;
        ASSERT_EQ(plane->GetProperty(kTvNetPropStateRecord, &value), OM_S_OK);
        const auto* r = reinterpret_cast<const TvPlaneStateRecord*>(value);
        EXPECT_EQ(r->size, 72u);
        EXPECT_EQ(r->type, 25u);
        EXPECT_EQ(r->position[2], 300.0f);
        EXPECT_EQ(r->direction[2], 1.0f);
        EXPECT_EQ(r->speed, 12.5f);
        EXPECT_EQ(r->throttle, 0.75f);
        serials.push_back(r->value);
    }
    EXPECT_EQ(serials, (std::vector<uint32_t>{14, 15, 0}));
    // The queue's pre-send callback reports the plane through the game.
    EXPECT_EQ(TvNetPlanePreSend(reinterpret_cast<uintptr_t>(plane), nullptr), OM_S_OK);
    ASSERT_EQ(client_game->reported.size(), 1u);
    EXPECT_EQ(client_game->reported[0], static_cast<ITvObject*>(plane));
}

TEST_F(NetPlaneTest, LocalPlaneReportsStatusPickupsAndGunfire) {
    TavrinNetPlane* plane = local_plane({500, 600, 500}, 2);
    TavrinNetPlane* other1 = remote({500, 600, 900});
    TavrinNetPlane* other2 = remote({900, 600, 500});
    client_game->players[0] = other1;
    client_game->players[5] = other2;

    plane->SetProperty(kTvPlanePropState, kTvPlaneFlying);
    auto status = client->decoded(26);
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0].num("status"), 1.0);
    EXPECT_EQ(client->sent[0].flags, 0xa1);

    // 51 names the crate taken (its object id), for the others' games to re-arm it; a pickup
    // that changes nothing is not reported.
    ASSERT_EQ(plane->TvPlanePickup(kTvPickupHealth, 4242), OM_S_OK);
    EXPECT_EQ(plane->TvPlanePickup(kTvPickupRepairman, 4243), OM_E_FAIL);
    auto pickups = client->decoded(51);
    ASSERT_EQ(pickups.size(), 1u);
    EXPECT_EQ(pickups[0].num("object"), 4242.0);
    EXPECT_EQ(client->sent.back().flags, 0x91);

    // Guns for 0.5 s: a report at most every 250 ms, one entry per other player.
    for (int frame = 0; frame < 30; ++frame) {
        plane->TvPlaneFire(kTvFireGuns);
        platform::advance_virtual_clock(16);
    }
    auto aims = client->decoded(45);
    ASSERT_EQ(aims.size(), 2u);
    EXPECT_GT(plane->shots_fired, 30);
    for (const auto& m : aims) {
        EXPECT_EQ(m.num("slot"), 2.0);
        ASSERT_EQ(m.num("count"), 2.0);
        EXPECT_EQ(m.num("e0.slot"), 0.0);
        EXPECT_EQ(m.num("e1.slot"), 5.0);
        EXPECT_NEAR(m.num("e0.dir.z"), 1.0, 0.02) << "straight at the target ahead";
    }
    for (const Sent& s : client->sent)
        if (s.type == 45) EXPECT_EQ(s.flags, 0x40);

    // Remote planes hold no client and send nothing; off the map nothing fires.
    const size_t before = client->sent.size();
    other1->TvPlaneFire(kTvFireGuns);
    other1->SetProperty(kTvPlanePropState, kTvPlaneFlying);
    plane->SetProperty(kTvPlanePropState, kTvPlaneOffMap);
    const size_t with_state = client->sent.size();
    EXPECT_EQ(with_state, before + 1);
    const int32_t shots = plane->shots_fired;
    platform::advance_virtual_clock(1000);
    plane->TvPlaneFire(kTvFireGuns);
    plane->secondary_timer = 1.0f;
    plane->ordinance_type = kTvOrdnanceBomb;
    plane->ordinance_count = 2;
    plane->TvPlaneFire(kTvFireOrdinance);
    EXPECT_EQ(client->sent.size(), with_state);
    EXPECT_EQ(plane->shots_fired, shots);
    EXPECT_EQ(plane->ordinance_count, 2);
    EXPECT_EQ(plane->Render(), OM_S_OK);
}

TEST_F(NetPlaneTest, OrdinanceReportCarriesTheEntriesOfItsKind) {
    TavrinNetPlane* plane = local_plane({500, 600, 500}, 1);
    plane->velocity = {0, 0, 40};
    TavrinNetPlane* below = remote({500, 300, 700});
    TavrinNetPlane* above = remote({500, 2000, 700});
    TavrinNetPlane* ahead = remote({500, 600, 900});
    client_game->players[0] = below;
    client_game->players[3] = above;
    client_game->players[6] = ahead;

    plane->ordinance_type = kTvOrdnanceBomb;
    plane->ordinance_count = 2;
    plane->secondary_timer = 0.4f;
    plane->TvPlaneFire(kTvFireOrdinance);
    EXPECT_TRUE(client->decoded(43).empty()) << "not before 0.5 s";
    plane->secondary_timer = 0.6f;
    plane->TvPlaneFire(kTvFireOrdinance);
    auto bombs = client->decoded(43);
    ASSERT_EQ(bombs.size(), 1u);
    const auto& b = bombs[0];
    EXPECT_EQ(b.num("kind"), 1.0);
    EXPECT_EQ(b.num("pos.z"), 500.0);
    EXPECT_NEAR(b.num("speed"), 40.0, 1e-4);
    ASSERT_EQ(b.num("count"), 1.0) << "only the plane below can be reached";
    EXPECT_EQ(b.num("e0.slot"), 0.0);
    EXPECT_NEAR(b.num("e0.t"), std::sqrt(10.0), 1e-3);
    EXPECT_NEAR(b.num("e0.offset.y"), 0.0, 1e-2);
    EXPECT_NEAR(b.num("e0.offset.z"), 40.0 * std::sqrt(10.0) - 200.0, 1e-2);
    EXPECT_EQ(plane->ordinance_count, 1);
    EXPECT_EQ(plane->secondary_timer, 0.0f);
    EXPECT_EQ(client->sent.back().flags, 0x89);

    plane->ordinance_type = kTvOrdnanceRocket;
    plane->secondary_timer = 0.6f;
    plane->TvPlaneFire(kTvFireOrdinance);
    auto all = client->decoded(43);
    ASSERT_EQ(all.size(), 2u);
    const auto& r = all[1];
    EXPECT_EQ(r.num("kind"), 2.0);
    ASSERT_EQ(r.num("count"), 3.0);
    EXPECT_EQ(r.num("e0.slot"), 0.0);
    EXPECT_EQ(r.num("e1.slot"), 3.0);
    EXPECT_EQ(r.num("e2.slot"), 6.0);
    EXPECT_NEAR(r.num("e2.aim.z"), 1.0, 0.02);
    EXPECT_EQ(plane->ordinance_count, 0);
}

TEST_F(NetPlaneTest, AFatalEventTakesAKillFromTheLocalSlot) {
    TavrinNetPlane* plane = local_plane({500, 600, 500}, 4);
    plane->Update();
    EXPECT_TRUE(client_game->deducted.empty());
    // Damage past the endurance during the update: the flight's collision step sees it.
    plane->damage = plane->endurance - 0.001f;
    plane->state = kTvPlaneFlying;
    plane->speed = 400.0f;
    plane->velocity = {0, -400, 0};
    plane->matrix->pos.y = 2.0f;
    LgMatrixMarkChanged(plane->matrix);
    for (int i = 0; i < 10 && plane->fatal_event == 0; ++i) plane->Update();
    ASSERT_NE(plane->fatal_event, 0);
    EXPECT_EQ(client_game->deducted, (std::vector<int32_t>{4}));
    plane->Update();
    EXPECT_EQ(client_game->deducted.size(), 1u) << "once per change";
}
