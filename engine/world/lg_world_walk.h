// BSP walking helpers shared by the tie, visibility and collision walks: the fixed stack of
// pending sectors and coordinate comparisons on the integer bits of floats.
#pragma once

#include "engine/world/lg_world.h"

#include <bit>

// Non-negative floats order the same as their bits read as signed integers; world
// coordinates are non-negative by construction.
inline int32_t LgFloatBits(float value) {
    return std::bit_cast<int32_t>(value);
}

inline float LgVectorAxis(const LgVector& v, int32_t planeType) {
    return (&v.x)[planeType >> 2];
}
inline float& LgVectorAxis(LgVector& v, int32_t planeType) {
    return (&v.x)[planeType >> 2];
}

// Pending sectors of a walk; the reader refuses trees deeper than the stack.
template <typename Entry, int32_t Capacity = LgWorldMaxBspDepth + 1>
struct LgBspStack {
    Entry entries[Capacity];
    int32_t depth = 0;

    bool push(const Entry& e) {
        if (depth >= Capacity) return false;
        entries[depth++] = e;
        return true;
    }
    bool pop(Entry& e) {
        if (depth == 0) return false;
        e = entries[--depth];
        return true;
    }
};

// Visits every atomic sector whose extent the box [inf, sup] reaches, left before right;
// visit(sector) returns false to stop. Comparisons are inclusive, so a box of zero extent
// lying exactly on a plane goes to both children rather than to neither.
template <typename Visit>
bool LgWorldWalkBox(const LgWorld* world, const LgVector& inf, const LgVector& sup, Visit&& visit) {
    LgBspStack<LgWorldSector*> stack;
    LgWorldSector* s = world->rootSector;
    while (s != nullptr) {
        if (s->type == LgSectorAtomic) {
            if (!visit(reinterpret_cast<LgAtomicSector*>(s))) return false;
            if (!stack.pop(s)) break;
            continue;
        }
        const auto* p = reinterpret_cast<const LgPlaneSector*>(s);
        const bool left = LgFloatBits(LgVectorAxis(inf, p->type)) <= LgFloatBits(p->leftValue);
        const bool right = LgFloatBits(LgVectorAxis(sup, p->type)) >= LgFloatBits(p->rightValue);
        if (left && right) {
            stack.push(p->rightSubTree);
            s = p->leftSubTree;
        } else if (left) {
            s = p->leftSubTree;
        } else if (right) {
            s = p->rightSubTree;
        } else if (!stack.pop(s)) {
            break;
        }
    }
    return true;
}
