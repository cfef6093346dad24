// A uniform grid over the map's x-z plane that files numbered slots (the members of one group
// list) by cell, so that proximity questions look at a few cells instead of every member.
#pragma once

#include <cstdint>
#include <vector>

// The grid keeps no positions, only each slot's cell. Questions answer supersets: every slot
// whose filed position meets the question, sorted by slot number, so the caller can run its
// own exact test over them in list order and get what a walk of the whole list gets.
//
// Cells are found in double precision from floats, and the edge cells hold everything beyond
// the grid's box, so filing is monotone in x and z: a question's cell range covers every slot
// whose filed position lies in its square. Slots filed at a non-finite position (or filed as
// `unknown`) are in every answer.
class TvSpatialGrid {
public:
    // Coordinates beyond this are not worth a cell: a question there is answered by the
    // caller's full walk (see `covers`), and members there sit in the edge cells.
    static constexpr float kFarthest = 1.0e6f;

    // Empties the grid and lays `cells_x` by `cells_z` cells over the box; `slot_count`
    // slots, none filed.
    void reset(int32_t slot_count, float min_x, float min_z, float max_x, float max_z,
               int32_t cells_x, int32_t cells_z);
    // Files (or moves) the slot at x, z.
    void place(int32_t slot, float x, float z);
    // Files the slot in every answer (its position is not known).
    void place_unknown(int32_t slot);
    // Takes the slot out of the grid.
    void remove(int32_t slot);

    // True when a question about x, z with this reach can be answered from the grid.
    static bool covers(float x, float z, float reach);
    // Appends, sorted and without repeats, every slot filed within `reach` of x, z along
    // both axes (a square, with a margin for rounding) and every slot filed as unknown.
    void collect(float x, float z, float reach, std::vector<int32_t>& out) const;

    // Rings for a nearest search: ring 0 is the cell of x, z, ring k the cells k cells away
    // (Chebyshev) from it. Appends the slots of ring k (unsorted; ring 0 also brings the
    // unknown slots) and returns false when ring k lies wholly outside the grid.
    bool collect_ring(float x, float z, int32_t k, std::vector<int32_t>& out) const;
    // A lower bound of the horizontal distance from x, z to any slot filed beyond ring k,
    // with a margin for rounding; infinite when no cell lies beyond it.
    double beyond_ring(float x, float z, int32_t k) const;

    int32_t cells_x() const { return cells_x_; }
    int32_t cells_z() const { return cells_z_; }

private:
    static constexpr int32_t kNowhere = -1;
    static constexpr int32_t kUnknown = -2;

    // The cell column of x and the row of z: the whole cells the offset spans, held to the
    // grid (the edge cells take what lies beyond it, and a NaN the first).
    int32_t column(double x) const { return cell_index((x - min_x_) * per_x_, cells_x_); }
    int32_t row(double z) const { return cell_index((z - min_z_) * per_z_, cells_z_); }
    static int32_t cell_index(double cells_in, int32_t cells) {
        if (!(cells_in >= 0.0)) return 0;
        return cells_in < double(cells) ? int32_t(cells_in) : cells - 1;
    }
    void link(int32_t slot, int32_t cell);
    void unlink(int32_t slot);
    void append_cell(int32_t cell, std::vector<int32_t>& out) const;

    double min_x_ = 0.0, min_z_ = 0.0;
    double per_x_ = 1.0, per_z_ = 1.0; // cells per unit
    double size_x_ = 1.0, size_z_ = 1.0;
    int32_t cells_x_ = 1, cells_z_ = 1;
    // Cell lists as doubly linked slot chains; the extra head is the unknown list.
    std::vector<int32_t> heads_;
    std::vector<int32_t> next_, previous_, cell_of_;
};
