// Triangle-strip meshes: a greedy stripifier that starts each strip at the triangle with the
// fewest free neighbours, grows it both ways across shared edges, and joins a material's
// strips into one with degenerate triangles that keep every triangle's winding.
#include "engine/world/lg_mesh.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace {

constexpr int bucketCount = 4;
constexpr uint32_t none = 0xffffffffu;

using Strip = std::vector<uint16_t>;

uint32_t edge_key(uint16_t a, uint16_t b) {
    return a < b ? static_cast<uint32_t>(a) << 16 | b : static_cast<uint32_t>(b) << 16 | a;
}

// The strips of one material group.
class StripGroup {
public:
    StripGroup(const LgMeshBuilderTriangle* const* group, uint32_t count) : tris_(count) {
        edgeIds_.reserve(count * 2);
        for (uint32_t t = 0; t < count; ++t) {
            Tri& tri = tris_[t];
            std::memcpy(tri.v, group[t]->vertices, sizeof(tri.v));
            for (int k = 0; k < 3; ++k) {
                const auto [it, added] =
                    edgeIds_.try_emplace(edge_key(tri.v[k], tri.v[(k + 1) % 3]),
                                         static_cast<uint32_t>(edgeFree_.size()));
                if (added) edgeFree_.push_back(0);
                tri.edge[k] = it->second;
            }
        }
        // Each edge's triangles in group order, as one array with per-edge starts.
        edgeStart_.assign(edgeFree_.size() + 1, 0);
        for (const Tri& tri : tris_)
            for (int k = 0; k < 3; ++k)
                if (first_use(tri, k)) ++edgeStart_[tri.edge[k] + 1];
        for (size_t e = 1; e < edgeStart_.size(); ++e) edgeStart_[e] += edgeStart_[e - 1];
        edgeTris_.resize(edgeStart_.back());
        std::vector<uint32_t> fill(edgeStart_.begin(), edgeStart_.end() - 1);
        for (uint32_t t = 0; t < count; ++t)
            for (int k = 0; k < 3; ++k)
                if (first_use(tris_[t], k)) edgeTris_[fill[tris_[t].edge[k]]++] = t;
        for (size_t e = 0; e < edgeFree_.size(); ++e)
            edgeFree_[e] = edgeStart_[e + 1] - edgeStart_[e];
        std::fill(std::begin(bucketHead_), std::end(bucketHead_), none);
        for (uint32_t t = 0; t < count; ++t) {
            uint32_t neighbours = 0;
            for (int k = 0; k < 3; ++k)
                if (first_use(tris_[t], k)) neighbours += edgeFree_[tris_[t].edge[k]] - 1;
            tris_[t].neighbours = static_cast<uint8_t>(std::min<uint32_t>(neighbours, 3));
            bucket_push(t);
        }
    }

    // Every triangle of the group, as one strip.
    Strip build() {
        std::vector<Strip> strips;
        for (uint32_t start = lowest_bucket_head(); start != none; start = lowest_bucket_head())
            strips.push_back(strip_from(start));
        Strip joined = std::move(strips.back());
        for (size_t i = strips.size() - 1; i-- > 0;) {
            const Strip& b = strips[i];
            const bool odd = joined.size() % 2 != 0;
            joined.push_back(joined.back());
            joined.push_back(b[0]);
            joined.push_back(b[0]);
            if (odd) joined.push_back(b[0]);
            joined.insert(joined.end(), b.begin() + 1, b.end());
        }
        return joined;
    }

private:
    struct Tri {
        uint16_t v[3];
        uint32_t edge[3]; // (v0, v1), (v1, v2), (v2, v0)
        uint8_t neighbours = 0;
        bool used = false;
        uint32_t prev = none, next = none;
    };

    // A degenerate triangle can name one edge twice; it counts once.
    static bool first_use(const Tri& tri, int k) {
        for (int j = 0; j < k; ++j)
            if (tri.edge[j] == tri.edge[k]) return false;
        return true;
    }

    uint32_t free_on(uint16_t a, uint16_t b) const {
        const auto it = edgeIds_.find(edge_key(a, b));
        return it != edgeIds_.end() ? edgeFree_[it->second] : 0;
    }

    void bucket_push(uint32_t t) {
        Tri& tri = tris_[t];
        uint32_t& head = bucketHead_[tri.neighbours];
        tri.prev = none;
        tri.next = head;
        if (head != none) tris_[head].prev = t;
        head = t;
    }

    void bucket_remove(uint32_t t) {
        Tri& tri = tris_[t];
        if (tri.prev != none)
            tris_[tri.prev].next = tri.next;
        else
            bucketHead_[tri.neighbours] = tri.next;
        if (tri.next != none) tris_[tri.next].prev = tri.prev;
    }

    uint32_t lowest_bucket_head() const {
        for (uint32_t head : bucketHead_)
            if (head != none) return head;
        return none;
    }

    // Marks the triangle used; its free neighbours each lose one and move down a bucket.
    void take(uint32_t t) {
        Tri& tri = tris_[t];
        bucket_remove(t);
        tri.used = true;
        for (int k = 0; k < 3; ++k) {
            if (!first_use(tri, k)) continue;
            const uint32_t e = tri.edge[k];
            --edgeFree_[e];
            for (uint32_t i = edgeStart_[e]; i < edgeStart_[e + 1]; ++i) {
                const uint32_t u = edgeTris_[i];
                if (u == t || tris_[u].used) continue;
                bucket_remove(u);
                if (tris_[u].neighbours > 0) --tris_[u].neighbours;
                bucket_push(u);
            }
        }
    }

    // The free triangle on the edge with the most free neighbours, the later one on a tie.
    uint32_t pick(uint32_t e) const {
        uint32_t best = none;
        for (uint32_t i = edgeStart_[e]; i < edgeStart_[e + 1]; ++i) {
            const uint32_t u = edgeTris_[i];
            if (!tris_[u].used && (best == none || tris_[u].neighbours >= tris_[best].neighbours))
                best = u;
        }
        return best;
    }

    uint16_t vertex_off_edge(uint32_t t, uint32_t e) const {
        const Tri& tri = tris_[t];
        for (int k = 0; k < 3; ++k)
            if (tri.edge[k] == e) return tri.v[(k + 2) % 3];
        return tri.v[0];
    }

    // Extends the strip across its last two vertices while free triangles lie there.
    void grow(Strip& s) {
        for (;;) {
            const uint16_t x = s[s.size() - 2], y = s.back();
            const auto it = edgeIds_.find(edge_key(x, y));
            if (it == edgeIds_.end() || edgeFree_[it->second] == 0) return;
            const uint32_t t = pick(it->second);
            take(t);
            const uint16_t w = vertex_off_edge(t, it->second);
            if (free_on(y, w) > 0) {
                s.push_back(w);
                continue;
            }
            if (free_on(x, w) > 0) {
                if (s.size() % 2 != 0) {
                    s.push_back(w);
                    return;
                }
                // A swap: (y, x, w) turns the strip to leave across the third edge.
                s.push_back(x);
                s.push_back(w);
                continue;
            }
            s.push_back(w);
            return;
        }
    }

    static int start_rotation(uint32_t c0, uint32_t c1, uint32_t c2) {
        if (c2 >= 2 && c1 >= 2) return 1;
        if (c0 >= 2 && c2 >= 2) return 2;
        if (c1 >= 2 && c0 >= 2) return 0;
        if (c1 < c0) return c2 < c0 ? 2 : 1;
        return c2 < c1 ? 0 : 1;
    }

    Strip strip_from(uint32_t t) {
        const Tri& tri = tris_[t];
        const uint16_t* p = tri.v;
        const int r =
            start_rotation(edgeFree_[tri.edge[0]], edgeFree_[tri.edge[1]], edgeFree_[tri.edge[2]]);
        const uint32_t backward = tri.edge[r];
        Strip forward = {p[r], p[(r + 1) % 3], p[(r + 2) % 3]};
        take(t);
        grow(forward);
        if (edgeFree_[backward] == 0) return forward;
        Strip back = {p[(r + 1) % 3], p[r]};
        grow(back);
        if (back.size() % 2 != 0) back.push_back(back[back.size() - 2]);
        Strip strip(back.rbegin(), back.rend() - 2);
        strip.insert(strip.end(), forward.begin(), forward.end());
        return strip;
    }

    std::vector<Tri> tris_;
    std::unordered_map<uint32_t, uint32_t> edgeIds_;
    std::vector<uint32_t> edgeFree_;  // free triangles per edge
    std::vector<uint32_t> edgeStart_; // edge e's triangles: edgeTris_[start[e] .. start[e + 1])
    std::vector<uint32_t> edgeTris_;
    uint32_t bucketHead_[bucketCount];
};

} // namespace

LgMeshHeader* LgMeshBuildStrips(const LgMeshBuilderTriangle* const* sorted, uint32_t,
                                const uint32_t* groupEnds, uint32_t numGroups) {
    std::vector<Strip> strips(numGroups);
    uint64_t total = 0;
    uint32_t start = 0;
    for (uint32_t g = 0; g < numGroups; ++g) {
        strips[g] = StripGroup(sorted + start, groupEnds[g] - start).build();
        total += strips[g].size();
        start = groupEnds[g];
    }
    if (total > 0xffffffffu) return nullptr;
    LgMeshHeader* header =
        LgMeshHeaderAllocate(LgMeshHeaderTriStrip, numGroups, static_cast<uint32_t>(total));
    if (header == nullptr) return nullptr;
    LgMesh* meshes = LgMeshHeaderGetMeshes(header);
    uint16_t* out = meshes[0].indices;
    start = 0;
    for (uint32_t g = 0; g < numGroups; ++g) {
        meshes[g] = {out, static_cast<uint32_t>(strips[g].size()), sorted[start]->material};
        out = std::copy(strips[g].begin(), strips[g].end(), out);
        start = groupEnds[g];
    }
    return header;
}
