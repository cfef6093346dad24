// The sectors' collision trees: the size of a stored tree's used part and the load-time check
// that keeps every walk inside the record, the sector's vertices and its triangles.
#include "engine/world/lg_collision.h"

namespace {

bool is_split(const uint8_t* tree, int32_t node) {
    return (tree[3 * node] & LgCollisionTreeSplit) != 0;
}

} // namespace

int32_t LgCollisionTreeGetSize(const uint8_t* tree) {
    if (tree == nullptr) return 0;
    int32_t stack[LgCollisionTreeMaxNode + 1];
    int32_t depth = 0, largest = 1;
    stack[depth++] = 1;
    while (depth > 0) {
        const int32_t node = stack[--depth];
        if (node > largest) largest = node;
        // Children past the record cannot be stored: such a node counts as a leaf.
        if (!is_split(tree, node) || 2 * node + 1 > LgCollisionTreeMaxNode) continue;
        stack[depth++] = 2 * node;
        stack[depth++] = 2 * node + 1;
    }
    return 3 * largest + 3;
}

bool LgCollisionTreeValidate(const uint8_t* tree, uint32_t numVertices, uint32_t numTriangles) {
    int32_t stack[LgCollisionTreeMaxNode + 1];
    int32_t depth = 0;
    stack[depth++] = 1;
    while (depth > 0) {
        const int32_t node = stack[--depth];
        const uint8_t* n = tree + 3 * node;
        const bool split = (n[0] & LgCollisionTreeSplit) != 0;
        const uint32_t count = split ? (n[0] & 0x1f) : n[0];
        if (n[2] + count > numTriangles) return false;
        if (!split) continue;
        if (2 * node + 1 > LgCollisionTreeMaxNode || ((n[0] >> 5) & 3) == 3 || n[1] >= numVertices)
            return false;
        stack[depth++] = 2 * node;
        stack[depth++] = 2 * node + 1;
    }
    return true;
}
