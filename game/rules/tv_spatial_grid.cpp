// The x-z grid of group members behind the game's proximity questions.
#include "game/rules/tv_spatial_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Rounding between a member's float position, its cell and a question's square stays far
// below a unit for coordinates within kFarthest; the margins take a unit and a relative part.
constexpr double kMarginUnits = 1.0;
constexpr double kMarginShare = 1.0 / 1024.0;

double padded(float reach) {
    return double(reach) * (1.0 + kMarginShare) + kMarginUnits;
}

bool finite_point(float x, float z) {
    return std::isfinite(x) && std::isfinite(z);
}

} // namespace

void TvSpatialGrid::reset(int32_t slot_count, float min_x, float min_z, float max_x, float max_z,
                          int32_t cells_x, int32_t cells_z) {
    cells_x_ = std::max(1, cells_x);
    cells_z_ = std::max(1, cells_z);
    min_x_ = std::clamp(double(min_x), -double(kFarthest), double(kFarthest));
    min_z_ = std::clamp(double(min_z), -double(kFarthest), double(kFarthest));
    const double high_x = std::clamp(double(max_x), min_x_, double(kFarthest));
    const double high_z = std::clamp(double(max_z), min_z_, double(kFarthest));
    size_x_ = std::max((high_x - min_x_) / cells_x_, 1.0);
    size_z_ = std::max((high_z - min_z_) / cells_z_, 1.0);
    per_x_ = 1.0 / size_x_;
    per_z_ = 1.0 / size_z_;
    heads_.assign(size_t(cells_x_) * size_t(cells_z_) + 1, kNowhere);
    next_.assign(size_t(std::max(0, slot_count)), kNowhere);
    previous_.assign(next_.size(), kNowhere);
    cell_of_.assign(next_.size(), kNowhere);
}

void TvSpatialGrid::link(int32_t slot, int32_t cell) {
    const int32_t head = cell == kUnknown ? cells_x_ * cells_z_ : cell;
    cell_of_[slot] = cell;
    previous_[slot] = kNowhere;
    next_[slot] = heads_[head];
    if (heads_[head] != kNowhere) previous_[heads_[head]] = slot;
    heads_[head] = slot;
}

void TvSpatialGrid::unlink(int32_t slot) {
    const int32_t cell = cell_of_[slot];
    if (cell == kNowhere) return;
    const int32_t head = cell == kUnknown ? cells_x_ * cells_z_ : cell;
    if (previous_[slot] != kNowhere)
        next_[previous_[slot]] = next_[slot];
    else
        heads_[head] = next_[slot];
    if (next_[slot] != kNowhere) previous_[next_[slot]] = previous_[slot];
    cell_of_[slot] = kNowhere;
}

void TvSpatialGrid::place(int32_t slot, float x, float z) {
    if (slot < 0 || size_t(slot) >= cell_of_.size()) return;
    const int32_t cell = finite_point(x, z) ? row(z) * cells_x_ + column(x) : kUnknown;
    if (cell_of_[slot] == cell) return;
    unlink(slot);
    link(slot, cell);
}

void TvSpatialGrid::place_unknown(int32_t slot) {
    if (slot < 0 || size_t(slot) >= cell_of_.size() || cell_of_[slot] == kUnknown) return;
    unlink(slot);
    link(slot, kUnknown);
}

void TvSpatialGrid::remove(int32_t slot) {
    if (slot >= 0 && size_t(slot) < cell_of_.size()) unlink(slot);
}

bool TvSpatialGrid::covers(float x, float z, float reach) {
    return finite_point(x, z) && std::fabs(x) <= kFarthest && std::fabs(z) <= kFarthest &&
           reach >= 0.0f && reach <= kFarthest;
}

void TvSpatialGrid::append_cell(int32_t cell, std::vector<int32_t>& out) const {
    for (int32_t s = heads_[cell]; s != kNowhere; s = next_[s]) out.push_back(s);
}

void TvSpatialGrid::collect(float x, float z, float reach, std::vector<int32_t>& out) const {
    const size_t first = out.size();
    const double r = padded(reach);
    const int32_t c0 = column(double(x) - r), c1 = column(double(x) + r);
    const int32_t r0 = row(double(z) - r), r1 = row(double(z) + r);
    for (int32_t j = r0; j <= r1; ++j)
        for (int32_t i = c0; i <= c1; ++i) append_cell(j * cells_x_ + i, out);
    append_cell(cells_x_ * cells_z_, out);
    std::sort(out.begin() + std::ptrdiff_t(first), out.end());
}

bool TvSpatialGrid::collect_ring(float x, float z, int32_t k, std::vector<int32_t>& out) const {
    const int32_t cx = column(x), cz = row(z);
    const int32_t reach = std::max({cx, cells_x_ - 1 - cx, cz, cells_z_ - 1 - cz});
    if (k < 0 || k > reach) return false;
    if (k == 0) {
        append_cell(cz * cells_x_ + cx, out);
        append_cell(cells_x_ * cells_z_, out);
        return true;
    }
    const int32_t i0 = std::max(0, cx - k), i1 = std::min(cells_x_ - 1, cx + k);
    for (const int32_t j : {cz - k, cz + k})
        if (j >= 0 && j < cells_z_)
            for (int32_t i = i0; i <= i1; ++i) append_cell(j * cells_x_ + i, out);
    const int32_t j0 = std::max(0, cz - k + 1), j1 = std::min(cells_z_ - 1, cz + k - 1);
    for (const int32_t i : {cx - k, cx + k})
        if (i >= 0 && i < cells_x_)
            for (int32_t j = j0; j <= j1; ++j) append_cell(j * cells_x_ + i, out);
    return true;
}

double TvSpatialGrid::beyond_ring(float x, float z, int32_t k) const {
    const int32_t cx = column(x), cz = row(z);
    double bound = std::numeric_limits<double>::infinity();
    // A cell past the square's side has every member on the far side of that side's line
    // (the edge cells reach outwards only), so the nearest such member is at least that far.
    if (cx - k > 0) bound = std::min(bound, double(x) - (min_x_ + (cx - k) * size_x_));
    if (cx + k < cells_x_ - 1) bound = std::min(bound, min_x_ + (cx + k + 1) * size_x_ - x);
    if (cz - k > 0) bound = std::min(bound, double(z) - (min_z_ + (cz - k) * size_z_));
    if (cz + k < cells_z_ - 1) bound = std::min(bound, min_z_ + (cz + k + 1) * size_z_ - z);
    if (!std::isfinite(bound)) return bound;
    return std::max(0.0, bound * (1.0 - kMarginShare) - kMarginUnits);
}
