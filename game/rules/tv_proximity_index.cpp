// The registry's spatial index: per-group grids filed on demand and kept current after each
// object's update, so that questions asked during the objects' updates see every member
// where it is at that moment.
#include "game/rules/tv_proximity_index.h"

#include "game/rules/tavrin_game.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace {

constexpr int32_t kMostCellsPerSide = 128;
// The grid's box leaves out this share (one in) of the members at each side.
constexpr size_t kOutlierShare = 16;

const LgVector* position_of(ITvObject* object) {
    uintptr_t value = 0;
    if (object->GetProperty(kTvPropPosition, &value) < 0) return nullptr;
    return reinterpret_cast<const LgVector*>(value);
}

} // namespace

void TvProximityIndex::forget_members() {
    forget_positions();
    memberships_known_ = false;
}

void TvProximityIndex::forget_positions() {
    for (Filed& f : filed_) f.current = false;
    any_current_ = false;
}

void TvProximityIndex::open() {
    forget_positions();
    open_ = true;
}

void TvProximityIndex::close() {
    forget_positions();
    open_ = false;
}

void TvProximityIndex::file(int32_t g) {
    const TvGroupList& list = groups_[g];
    positions_.assign(size_t(list.count), nullptr);
    xs_.clear();
    zs_.clear();
    for (int32_t i = 0; i < list.count; ++i) {
        if (!list.members[i]) continue;
        const LgVector* p = positions_[size_t(i)] = position_of(list.members[i]);
        if (!p || !std::isfinite(p->x) || !std::isfinite(p->z)) continue;
        xs_.push_back(p->x);
        zs_.push_back(p->z);
    }
    // Roughly one member a cell over the box most members span now; the few far out (a
    // wreck thrown off the map) and those that leave the box later sit in its edge cells.
    float min_x = 0.0f, min_z = 0.0f, max_x = 0.0f, max_z = 0.0f;
    int32_t cells_x = 1, cells_z = 1;
    if (!xs_.empty()) {
        const size_t placed = xs_.size(), low = placed / kOutlierShare;
        const size_t high = placed - 1 - low;
        const auto at = [](std::vector<float>& v, size_t k) {
            std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(k), v.end());
            return v[k];
        };
        min_x = at(xs_, low);
        max_x = at(xs_, high);
        min_z = at(zs_, low);
        max_z = at(zs_, high);
        const double far = 2.0 * TvSpatialGrid::kFarthest;
        const double wide_x = std::clamp(double(max_x) - min_x, 1.0, far);
        const double wide_z = std::clamp(double(max_z) - min_z, 1.0, far);
        const double side = std::max(std::sqrt(wide_x * wide_z / double(placed)),
                                     std::max(wide_x, wide_z) / kMostCellsPerSide);
        cells_x = std::clamp(int32_t(std::ceil(wide_x / side)), 1, kMostCellsPerSide);
        cells_z = std::clamp(int32_t(std::ceil(wide_z / side)), 1, kMostCellsPerSide);
    }
    Filed& f = filed_[g];
    f.grid.reset(list.count, min_x, min_z, max_x, max_z, cells_x, cells_z);
    // A member without a position is skipped by every walk, but it may have one by the time
    // of a question: it is offered to every question.
    for (int32_t i = 0; i < list.count; ++i) {
        if (!list.members[i]) continue;
        if (const LgVector* p = positions_[size_t(i)])
            f.grid.place(i, p->x, p->z);
        else
            f.grid.place_unknown(i);
    }
    f.current = true;
    any_current_ = true;
}

void TvProximityIndex::map_memberships() {
    const int32_t count = *master_count_;
    std::unordered_map<ITvObject*, std::vector<Membership>> of_object;
    for (int32_t g = 0; g < kTvGroupCount; ++g)
        for (int32_t s = 0; s < groups_[g].count; ++s)
            if (ITvObject* member = groups_[g].members[s]) of_object[member].push_back({g, s});
    membership_start_.assign(size_t(count) + 1, 0);
    memberships_.clear();
    for (int32_t i = 0; i < count; ++i) {
        membership_start_[size_t(i)] = int32_t(memberships_.size());
        if (!master_[i]) continue;
        const auto found = of_object.find(master_[i]);
        if (found != of_object.end())
            memberships_.insert(memberships_.end(), found->second.begin(), found->second.end());
    }
    membership_start_[size_t(count)] = int32_t(memberships_.size());
    memberships_known_ = true;
}

void TvProximityIndex::moved(int32_t index) {
    if (!any_current_ || index < 0 || index >= *master_count_ || !master_[index]) return;
    if (!memberships_known_ || size_t(index) + 1 >= membership_start_.size()) map_memberships();
    const int32_t first = membership_start_[size_t(index)];
    const int32_t last = membership_start_[size_t(index) + 1];
    const LgVector* p = nullptr;
    bool read = false;
    for (int32_t m = first; m < last; ++m) {
        const Membership& in = memberships_[size_t(m)];
        Filed& f = filed_[in.group];
        if (!f.current) continue;
        if (!read) {
            p = position_of(master_[index]);
            read = true;
        }
        if (p)
            f.grid.place(in.slot, p->x, p->z);
        else
            f.grid.place_unknown(in.slot);
    }
}

const TvSpatialGrid* TvProximityIndex::grid(int32_t g, const LgVector& at, float reach) {
    if (!open_ || g < 0 || g >= kTvGroupCount || !TvSpatialGrid::covers(at.x, at.z, reach))
        return nullptr;
    if (!filed_[g].current) file(g);
    return &filed_[g].grid;
}

bool TvProximityIndex::near(int32_t g, const LgVector& at, float reach, std::vector<int32_t>& out) {
    const TvSpatialGrid* filed = grid(g, at, reach);
    if (!filed) return false;
    filed->collect(at.x, at.z, reach, out);
    return true;
}
