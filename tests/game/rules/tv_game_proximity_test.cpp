// The game's proximity answers against the whole walks they stand for: in seeded random
// worlds whose objects move, die, vanish and join while the frame runs, the nearest-target
// search, the separation-style walk and the tracer-style walk give the whole walks' answers
// in the whole walks' order, bit for bit; and they do look at fewer members.
#include "game/rules/tv_game_proximity.h"
#include "tests/game/game_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using gametest::GameProbe;
using gametest::GameTest;
using gametest::TestObject;

namespace {

constexpr uint32_t kSides = (1u << kTvGroupSideA) | (1u << kTvGroupSideB);
constexpr float kPushRadius = 100.0f;
constexpr uint32_t kHitSpread = 400; // hit spheres of squared radius 4 to 403

struct Tally {
    int targets = 0, target_misses = 0;
    int pushes = 0, push_misses = 0;
    int tracers = 0, tracer_misses = 0;
    int found_targets = 0, pushed = 0, hit = 0;
    int32_t next_id = 3000;
    long near_calls = 0, whole_calls = 0;
};

// What a separation-style walk gathers: the members within the radius in order, and the
// push summed the way the flight model sums it.
struct Push {
    ITvObject* self;
    LgVector at;
    std::vector<ITvObject*> seen;
    float x = 0.0f, z = 0.0f;
    long calls = 0;
};

void push_from(ITvObject* other, void* context) {
    auto& p = *static_cast<Push*>(context);
    ++p.calls;
    uintptr_t where = 0;
    if (other == p.self || other->GetProperty(kTvPropPosition, &where) < 0 || !where) return;
    const auto* o = reinterpret_cast<const LgVector*>(where);
    const float dx = p.at.x - o->x, dz = p.at.z - o->z;
    const float distance = std::sqrt(dx * dx + dz * dz);
    if (distance >= kPushRadius || distance <= 0.0f) return;
    p.seen.push_back(other);
    p.x += dx / distance * (kPushRadius - distance) * 0.3f;
    p.z += dz / distance * (kPushRadius - distance) * 0.3f;
}

// A tracer-style walk: the first member whose own hit sphere holds the point.
struct Shot {
    LgVector at;
    ITvObject* hit = nullptr;
    long calls = 0;
};

class Wanderer;
void shot_at(ITvObject* object, void* context);

// An object that wanders (and now and then jumps far, loses its position, dies or comes
// back) in its update, then asks the game's questions where it is.
class Wanderer : public TestObject {
public:
    Wanderer(int32_t id, uint32_t groups, LgVector at, std::mt19937* random, Tally* tally,
             GameProbe* game)
        : TestObject(id, groups, at), random_(random), tally_(tally), game_(game) {
        hit_squared = 4.0f + float((*random_)() % kHitSpread);
    }
    OmResult GetProperty(uint32_t property, uintptr_t* out) override {
        if (property == kTvPropPosition && no_position) return OM_E_FAIL;
        return TestObject::GetProperty(property, out);
    }
    OmResult Update() override {
        wander();
        if (roll(3) == 0) ask();
        return OM_S_OK;
    }

    float hit_squared;
    bool no_position = false;

private:
    uint32_t roll(uint32_t n) { return (*random_)() % n; }
    // Positions on a 25-unit lattice, so that distances tie and land on cell edges and on
    // the push radius exactly.
    float lattice(int32_t cells) { return 25.0f * float(int32_t(roll(uint32_t(cells)))); }

    void wander() {
        LgVector& p = own_matrix.pos;
        switch (roll(40)) {
        case 0: p = {lattice(160), lattice(8), lattice(160)}; break;
        case 1: p.x = 1.0e7f; break;
        case 2: p.z = std::numeric_limits<float>::quiet_NaN(); break;
        case 3: no_position = !no_position; break;
        case 4: status = status ? 0 : int32_t(1 + roll(2)); break;
        case 5: leave_someone(); break;
        case 6: bring_someone(); break;
        default:
            if (!std::isfinite(p.z) || std::fabs(p.x) > 1.0e6f) p = {2000.0f, 0.0f, 2000.0f};
            p.x += lattice(5) - 50.0f;
            p.z += lattice(5) - 50.0f;
        }
    }

    // Another object leaves the game in the middle of the frame (never this one: the game
    // holds the only reference).
    void leave_someone() {
        ITvObject* other = game_->master_object(int32_t(roll(uint32_t(game_->master_count()))));
        if (other && other != this) game_->RemoveObject(other);
    }
    void bring_someone() {
        if (game_->master_count() >= kTvMaxObjects || tally_->next_id >= kTvMaxIds) return;
        auto* w = new Wanderer(tally_->next_id++, kSides, own_matrix.pos, random_, tally_, game_);
        game_->AddObject(w, 0x1c0, kTvUpdateEveryFrame);
        w->Release();
    }

    void ask() {
        const LgVector at = own_matrix.pos;
        for (int32_t g : {kTvGroupSideA, kTvGroupSideB}) {
            ++tally_->targets;
            ITvObject* found = game_->FindTarget(-g, &at);
            if (found != game_->find_target_by_walk(g, at)) ++tally_->target_misses;
            if (found) ++tally_->found_targets;
        }
        ITvGameProximity* near = nullptr;
        ASSERT_GE(game_->QueryInterface(IID_ITvGameProximity, reinterpret_cast<void**>(&near)), 0);
        Push by_grid{this, at, {}}, by_walk{this, at, {}};
        for (int32_t g : {kTvGroupSideA, kTvGroupSideB}) {
            near->ForEachLiveInGroupNear(-g, &at, kPushRadius, push_from, &by_grid);
            game_->ForEachLiveInGroup(-g, push_from, &by_walk);
        }
        near->Release();
        ++tally_->pushes;
        if (by_grid.seen != by_walk.seen || std::memcmp(&by_grid.x, &by_walk.x, 4) != 0 ||
            std::memcmp(&by_grid.z, &by_walk.z, 4) != 0)
            ++tally_->push_misses;
        if (!by_walk.seen.empty()) ++tally_->pushed;
        tally_->near_calls += by_grid.calls;
        tally_->whole_calls += by_walk.calls;
    }

    std::mt19937* random_;
    Tally* tally_;
    GameProbe* game_;
};

void shot_at(ITvObject* object, void* context) {
    auto& s = *static_cast<Shot*>(context);
    ++s.calls;
    auto* w = static_cast<Wanderer*>(static_cast<TestObject*>(object));
    uintptr_t where = 0;
    if (s.hit || w->GetProperty(kTvPropPosition, &where) < 0 || !where) return;
    const auto* p = reinterpret_cast<const LgVector*>(where);
    const float dx = p->x - s.at.x, dy = p->y - s.at.y, dz = p->z - s.at.z;
    if (dx * dx + dy * dy + dz * dz < w->hit_squared) s.hit = object;
}

// The weapons' step: tracer-style walks at points near the wanderers.
class TracerProbe final : public TavrinObjectBase<ITvObject> {
public:
    OmResult Reset() override { return OM_S_OK; }
    OmResult Update() override {
        ITvGameProximity* near = nullptr;
        if (game->QueryInterface(IID_ITvGameProximity, reinterpret_cast<void**>(&near)) < 0)
            return OM_E_FAIL;
        for (int i = 0; i < 40; ++i) {
            // Most shots go close by a member, the others anywhere.
            LgVector at{25.0f * float((*random)() % 160), float((*random)() % 200),
                        25.0f * float((*random)() % 160)};
            const TvGroupList& side = game->group(kTvGroupSideA + int32_t((*random)() % 2));
            ITvObject* aim =
                side.count ? side.members[(*random)() % uint32_t(side.count)] : nullptr;
            uintptr_t where = 0;
            if (aim && (*random)() % 4 && aim->GetProperty(kTvPropPosition, &where) >= 0) {
                at = *reinterpret_cast<const LgVector*>(where);
                at.x += float(int32_t((*random)() % 41) - 20);
                at.y += float(int32_t((*random)() % 21) - 10);
                at.z += float(int32_t((*random)() % 41) - 20);
            }
            for (int32_t g : {kTvGroupSideA, kTvGroupSideB}) {
                Shot by_grid{at}, by_walk{at};
                near->ForEachLiveInGroupNear(-g, &at, reach, shot_at, &by_grid);
                game->ForEachLiveInGroup(-g, shot_at, &by_walk);
                ++tally->tracers;
                if (by_grid.hit != by_walk.hit) ++tally->tracer_misses;
                if (by_walk.hit) ++tally->hit;
                tally->near_calls += by_grid.calls;
                tally->whole_calls += by_walk.calls;
            }
        }
        near->Release();
        return OM_S_OK;
    }
    GameProbe* game = nullptr;
    std::mt19937* random = nullptr;
    Tally* tally = nullptr;
    float reach = 0.0f;
};

class ProximityTest : public GameTest {
protected:
    Wanderer* add(int32_t id, uint32_t groups, LgVector at) {
        auto* w = new Wanderer(id, groups, at, &random, &tally, game);
        EXPECT_EQ(game->AddObject(w, 0x1c0, kTvUpdateEveryFrame), OM_S_OK);
        w->Release();
        return w;
    }
    // A world of `count` wanderers over a 4000-unit square, some on both sides, some outside
    // the sides (they move and ask but are never found).
    void populate(int32_t count) {
        for (int32_t i = 0; i < count; ++i) {
            const uint32_t kind = random() % 10;
            const uint32_t groups = kind < 4   ? 1u << kTvGroupSideA
                                    : kind < 8 ? 1u << kTvGroupSideB
                                    : kind < 9 ? kSides
                                               : 1u << 7;
            const LgVector at{25.0f * float(random() % 160), float(random() % 300),
                              25.0f * float(random() % 160)};
            add(i + 1, groups, at);
        }
    }
    // Frames in which a few objects leave and join while the others update.
    void run_frames(int frames) {
        TracerProbe* probe = new TracerProbe;
        probe->game = game;
        probe->random = &random;
        probe->tally = &tally;
        probe->reach = std::sqrt(4.0f + float(kHitSpread - 1));
        game->SetWeapons(probe);
        probe->Release();
        for (int f = 0; f < frames; ++f) {
            owned->timer->total_ms += 20;
            game->Update();
            if (random() % 3 == 0 && game->master_count() > 0) {
                ITvObject* gone = game->master_object(int32_t(random() % game->master_count()));
                if (gone) game->RemoveObject(gone);
            }
            if (random() % 3 == 0 && game->master_count() < kTvMaxObjects &&
                tally.next_id < kTvMaxIds)
                add(tally.next_id++, kSides, {2000.0f, 50.0f, 2000.0f});
        }
        game->SetWeapons(nullptr);
    }

    std::mt19937 random;
    Tally tally;
};

TEST_F(ProximityTest, RandomWorldsAnswerAsTheWholeWalksInTheirOrder) {
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        random.seed(seed);
        game->BeginSession(&settings());
        populate(int32_t(150 + random() % 250));
        run_frames(12);
    }
    EXPECT_EQ(tally.target_misses, 0) << tally.targets;
    EXPECT_EQ(tally.push_misses, 0) << tally.pushes;
    EXPECT_EQ(tally.tracer_misses, 0) << tally.tracers;
    // The worlds did put the answers to work: thousands of questions, many of them with
    // something found, pushed or hit.
    EXPECT_GT(tally.targets, 2000);
    EXPECT_GT(tally.pushes, 2000);
    EXPECT_GT(tally.tracers, 2000);
    EXPECT_GT(tally.found_targets, tally.targets / 2);
    EXPECT_GT(tally.pushed, tally.pushes / 10);
    EXPECT_GT(tally.hit, 100);
}

TEST_F(ProximityTest, NearWalksCallBackForAFewOfTheMembers) {
    random.seed(99);
    populate(400);
    run_frames(4);
    EXPECT_LT(tally.near_calls * 5, tally.whole_calls);
}

TEST_F(ProximityTest, OutsideTheUpdatesNearWalksAreWholeWalks) {
    random.seed(7);
    populate(50);
    ITvGameProximity* near = nullptr;
    ASSERT_GE(game->QueryInterface(IID_ITvGameProximity, reinterpret_cast<void**>(&near)), 0);
    // An input event or a message may move objects between frames; the grid is not asked.
    const LgVector far{-1.0e5f, 0.0f, -1.0e5f};
    Push by_grid{nullptr, far, {}};
    near->ForEachLiveInGroupNear(-kTvGroupSideA, &far, 1.0f, push_from, &by_grid);
    Push by_walk{nullptr, far, {}};
    game->ForEachLiveInGroup(-kTvGroupSideA, push_from, &by_walk);
    EXPECT_EQ(by_grid.calls, by_walk.calls);
    EXPECT_GT(by_walk.calls, 0);
    EXPECT_EQ(near->ForEachLiveInGroupNear(-kTvGroupCount, &far, 1.0f, push_from, &by_grid),
              OM_E_FAIL);
    EXPECT_EQ(near->ForEachLiveInGroupNear(-kTvGroupSideA, nullptr, 1.0f, push_from, &by_grid),
              OM_E_FAIL);
    near->Release();
}

} // namespace
