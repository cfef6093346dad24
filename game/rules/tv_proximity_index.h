// The registry's spatial index: an x-z grid per group list, filed when first asked in a frame
// and kept current as the objects update, behind the game's nearest-target search and its
// proximity walks.
#pragma once

#include "game/rules/tv_game.h"
#include "game/rules/tv_spatial_grid.h"

#include <array>
#include <vector>

struct TvGroupList;

class TvProximityIndex {
public:
    // The registry's lists, which the index reads and never changes.
    TvProximityIndex(const TvGroupList* groups, ITvObject* const* master, const int32_t* count)
        : groups_(groups), master_(master), master_count_(count) {}

    // Questions are answered from the grids only between open and close: while the objects
    // and the weapons update, when every move is an object's own and `moved` follows it.
    // Outside, anything may move an object (input, messages, the editor): questions there
    // walk the lists.
    void open();
    void close();
    // A group list or the master list changed: every grid is filed anew when next asked.
    void forget_members();
    // The master list's object `index` has updated (and may have moved).
    void moved(int32_t index);

    // The grid of group g, filed and current, or null when the question about x, z with
    // this reach is better answered by walking the list.
    const TvSpatialGrid* grid(int32_t g, const LgVector& at, float reach);

    // Slots of group g that may lie within `reach` of `at` horizontally, in list order;
    // false when the caller must walk the whole list.
    bool near(int32_t g, const LgVector& at, float reach, std::vector<int32_t>& out);

private:
    struct Filed {
        bool current = false;
        TvSpatialGrid grid;
    };
    // (group, slot) of every group membership, by master index.
    struct Membership {
        int32_t group, slot;
    };

    void forget_positions();
    void file(int32_t g);
    void map_memberships();

    const TvGroupList* groups_;
    ITvObject* const* master_;
    const int32_t* master_count_;
    std::array<Filed, kTvGroupCount> filed_{};
    bool open_ = false;
    bool any_current_ = false;
    std::vector<const LgVector*> positions_; // scratch of `file`
    std::vector<float> xs_, zs_;
    bool memberships_known_ = false;
    std::vector<int32_t> membership_start_; // master index -> first entry (one past the end)
    std::vector<Membership> memberships_;
};
