// The x-z grid: its answers hold every slot in reach (moved, far off the grid, at cell
// edges, without a known place) sorted and once, and its ring bounds never overstate.
#include "game/rules/tv_spatial_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

struct Place {
    float x, z;
    bool unknown;
};

// Positions on a 50-unit lattice (cell edges and exact reaches), a few far off the grid's
// box, a few unknown or non-finite.
Place random_place(std::mt19937& random) {
    switch (random() % 30) {
    case 0: return {0.0f, 0.0f, true};
    case 1: return {std::numeric_limits<float>::infinity(), 10.0f, false};
    case 2: return {-5.0e6f, float(random() % 1000), false};
    case 3: return {float(random() % 1000), 3.0e7f, false};
    default: return {50.0f * float(random() % 21) - 10.0f, 50.0f * float(random() % 21), false};
    }
}

void file(TvSpatialGrid& grid, int32_t slot, const Place& p) {
    if (p.unknown)
        grid.place_unknown(slot);
    else
        grid.place(slot, p.x, p.z);
}

bool in_square(const Place& p, float x, float z, float reach) {
    return p.unknown || !std::isfinite(p.x) || !std::isfinite(p.z) ||
           (std::fabs(double(p.x) - x) <= reach && std::fabs(double(p.z) - z) <= reach);
}

TEST(TvSpatialGrid, AnswersHoldEverySlotInReachSortedOnceAfterMoves) {
    std::mt19937 random(5);
    int missing = 0, unsorted = 0, questions = 0;
    for (int world = 0; world < 20; ++world) {
        const int32_t slots = 50 + int32_t(random() % 200);
        TvSpatialGrid grid;
        grid.reset(slots, 0.0f, 0.0f, 1000.0f, 1000.0f, 1 + int32_t(random() % 12),
                   1 + int32_t(random() % 12));
        std::vector<Place> at(size_t(slots), Place{0, 0, false});
        std::vector<bool> filed(size_t(slots), false);
        for (int step = 0; step < 400; ++step) {
            const int32_t s = int32_t(random() % uint32_t(slots));
            if (random() % 10 == 0) {
                grid.remove(s);
                filed[size_t(s)] = false;
            } else {
                at[size_t(s)] = random_place(random);
                file(grid, s, at[size_t(s)]);
                filed[size_t(s)] = true;
            }
            if (step % 4) continue;
            const float x = 50.0f * float(random() % 21), z = 50.0f * float(random() % 21);
            const float reach = float(random() % 4) * 50.0f;
            std::vector<int32_t> got;
            grid.collect(x, z, reach, got);
            ++questions;
            if (!std::is_sorted(got.begin(), got.end()) ||
                std::adjacent_find(got.begin(), got.end()) != got.end())
                ++unsorted;
            for (int32_t i = 0; i < slots; ++i)
                if (filed[size_t(i)] && in_square(at[size_t(i)], x, z, reach) &&
                    !std::binary_search(got.begin(), got.end(), i))
                    ++missing;
        }
    }
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(unsorted, 0);
    EXPECT_GT(questions, 1000);
}

TEST(TvSpatialGrid, RingsCoverTheGridOnceAndBoundWhatLiesBeyond) {
    std::mt19937 random(11);
    for (int world = 0; world < 50; ++world) {
        const int32_t slots = 300;
        TvSpatialGrid grid;
        grid.reset(slots, -500.0f, 0.0f, 1500.0f, 800.0f, 1 + int32_t(random() % 16),
                   1 + int32_t(random() % 16));
        std::vector<Place> at;
        for (int32_t s = 0; s < slots; ++s) {
            at.push_back(random_place(random));
            file(grid, s, at.back());
        }
        const float x = float(int32_t(random() % 3000)) - 1000.0f;
        const float z = float(int32_t(random() % 1400)) - 300.0f;
        std::vector<int32_t> seen;
        for (int32_t k = 0;; ++k) {
            const size_t before = seen.size();
            if (!grid.collect_ring(x, z, k, seen)) break;
            // Whatever no ring up to k holds lies at least the bound away.
            std::vector<int32_t> sorted(seen);
            std::sort(sorted.begin(), sorted.end());
            const double bound = grid.beyond_ring(x, z, k);
            for (int32_t s = 0; s < slots; ++s) {
                if (std::binary_search(sorted.begin(), sorted.end(), s)) continue;
                const double dx = double(at[size_t(s)].x) - x, dz = double(at[size_t(s)].z) - z;
                ASSERT_GE(std::sqrt(dx * dx + dz * dz), bound) << "slot " << s << " ring " << k;
            }
            ASSERT_GE(seen.size(), before);
        }
        std::sort(seen.begin(), seen.end());
        ASSERT_EQ(seen.size(), size_t(slots)) << "every slot in exactly one ring";
        ASSERT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
    }
}

} // namespace
