// Triangle-list meshes: one index list per material, its triangles reordered in rounds so
// that consecutive triangles of a round share no vertex.
#include "engine/world/lg_mesh.h"

#include <algorithm>
#include <vector>

namespace {

// Emits the group's triangles round by round: a triangle goes out when none of its vertices
// was used earlier in the same round.
// `markedInRound` holds per vertex the last round that used it; rounds count on across groups.
uint16_t* emit_rounds(const LgMeshBuilderTriangle* const* group, uint32_t count, uint16_t* out,
                      std::vector<uint32_t>& markedInRound, uint32_t& round) {
    std::vector<const LgMeshBuilderTriangle*> pending(group, group + count);
    std::vector<const LgMeshBuilderTriangle*> deferred;
    deferred.reserve(count);
    while (!pending.empty()) {
        ++round;
        deferred.clear();
        for (const LgMeshBuilderTriangle* t : pending) {
            const uint16_t* v = t->vertices;
            if (markedInRound[v[0]] == round || markedInRound[v[1]] == round ||
                markedInRound[v[2]] == round) {
                deferred.push_back(t);
                continue;
            }
            for (int k = 0; k < 3; ++k) {
                markedInRound[v[k]] = round;
                *out++ = v[k];
            }
        }
        pending.swap(deferred);
    }
    return out;
}

} // namespace

LgMeshHeader* LgMeshBuildLists(const LgMeshBuilderTriangle* const* sorted, uint32_t count,
                               const uint32_t* groupEnds, uint32_t numGroups) {
    uint32_t vertices = 0;
    for (uint32_t i = 0; i < count; ++i)
        for (uint16_t v : sorted[i]->vertices) vertices = std::max<uint32_t>(vertices, v + 1u);
    std::vector<uint32_t> markedInRound(vertices, 0);
    uint32_t round = 0;
    LgMeshHeader* header = LgMeshHeaderAllocate(0, numGroups, 3 * count);
    if (header == nullptr) return nullptr;
    LgMesh* meshes = LgMeshHeaderGetMeshes(header);
    uint16_t* out = meshes[0].indices;
    uint32_t start = 0;
    for (uint32_t g = 0; g < numGroups; ++g) {
        const uint32_t end = groupEnds[g];
        meshes[g] = {out, 3 * (end - start), sorted[start]->material};
        try {
            out = emit_rounds(sorted + start, end - start, out, markedInRound, round);
        } catch (...) {
            LgMeshHeaderDestroy(header);
            throw;
        }
        start = end;
    }
    return header;
}
