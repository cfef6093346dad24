// Palette quantisation by variance-minimising box cuts over a sparse 5-bit RGBA histogram
// (after Wu's colour quantiser, with alpha as a fourth axis).
#include "engine/core/lg_palette_quantiser.h"

#include "engine/core/lg_free_list.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

struct LgPaletteQuantiserLeaf {
    double count;
    double sum[4]; // R, G, B, A as channel / 255
    double squares;
    uint8_t coordinate[4]; // the 5-bit R, G, B, A
    uint8_t index;
    bool assigned; // index 255 is a real index once palettes have 256 colours
};

union LgPaletteQuantiserNode {
    LgPaletteQuantiserNode* children[16];
    LgPaletteQuantiserLeaf leaf;
};

namespace {

constexpr int32_t nodesPerBlock = 64;
constexpr int leafLevel = 4; // one level a key nibble: 5 bits of each channel
constexpr uint8_t unassigned = 255;

// Bit i of a 5-bit channel value moves to bit 16 - 4i, so each nibble of the key holds one
// bit of every channel, most significant bits in the lowest nibble.
constexpr std::array<uint32_t, 32> spread = [] {
    std::array<uint32_t, 32> table{};
    for (uint32_t v = 0; v < 32; ++v)
        for (uint32_t bit = 0; bit < 5; ++bit)
            if ((v >> bit) & 1) table[v] |= 1u << (16 - 4 * bit);
    return table;
}();

uint32_t colour_key(const LgRGBA& c) {
    return ((spread[c.red >> 3] << 1 | spread[c.green >> 3]) << 1 | spread[c.blue >> 3]) << 1 |
           spread[c.alpha >> 3];
}

LgPaletteQuantiserNode* new_node(LgPaletteQuantiser* q) {
    auto* node = static_cast<LgPaletteQuantiserNode*>(LgFreeListTake(q->nodeList));
    if (node != nullptr) std::memset(static_cast<void*>(node), 0, sizeof(*node));
    return node;
}

// The leaf of the colour, made on the way when `create` is set; null when absent or out of
// memory. The root table and the nodes above the leaves are tables of 16 children, one key
// nibble a level.
LgPaletteQuantiserLeaf* find_leaf(LgPaletteQuantiser* q, const LgRGBA& c, bool create) {
    const uint32_t key = colour_key(c);
    LgPaletteQuantiserNode** table = q->root;
    for (int level = 0;; ++level) {
        LgPaletteQuantiserNode*& slot = table[(key >> (4 * level)) & 15];
        if (slot == nullptr) {
            if (!create || (slot = new_node(q)) == nullptr) return nullptr;
            if (level == leafLevel) {
                LgPaletteQuantiserLeaf& leaf = slot->leaf;
                leaf.coordinate[0] = static_cast<uint8_t>(c.red >> 3);
                leaf.coordinate[1] = static_cast<uint8_t>(c.green >> 3);
                leaf.coordinate[2] = static_cast<uint8_t>(c.blue >> 3);
                leaf.coordinate[3] = static_cast<uint8_t>(c.alpha >> 3);
                leaf.index = unassigned;
            }
        }
        if (level == leafLevel) return &slot->leaf;
        table = slot->children;
    }
}

template <typename Visit>
void for_each_leaf(LgPaletteQuantiserNode* const* table, int level, Visit visit) {
    for (int i = 0; i < 16; ++i) {
        LgPaletteQuantiserNode* node = table[i];
        if (node == nullptr) continue;
        if (level == leafLevel)
            visit(&node->leaf);
        else
            for_each_leaf(node->children, level + 1, visit);
    }
}

void free_nodes(LgPaletteQuantiser* q, LgPaletteQuantiserNode** table, int level) {
    for (int i = 0; i < 16; ++i) {
        LgPaletteQuantiserNode* node = table[i];
        if (node == nullptr) continue;
        if (level < leafLevel) free_nodes(q, node->children, level + 1);
        LgFreeListGive(q->nodeList, node);
        table[i] = nullptr;
    }
}

struct Moments {
    double count = 0;
    double sum[4] = {0, 0, 0, 0};
    double squares = 0;

    void add(const LgPaletteQuantiserLeaf& l) {
        count += l.count;
        for (int c = 0; c < 4; ++c) sum[c] += l.sum[c];
        squares += l.squares;
    }
    double sum_length_squared() const {
        return sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2] + sum[3] * sum[3];
    }
    double variance() const { return count > 0 ? squares - sum_length_squared() / count : 0; }
};

struct Box {
    size_t begin, end; // range of the leaf array
    Moments moments;
    bool uncuttable = false;
};

struct Cut {
    int axis = -1;
    int position = 0;
    double score = -1;
};

Cut best_cut(const std::vector<LgPaletteQuantiserLeaf*>& leaves, const Box& box) {
    Cut best;
    for (int axis = 0; axis < 4; ++axis) {
        Moments bins[32];
        for (size_t i = box.begin; i < box.end; ++i)
            bins[leaves[i]->coordinate[axis]].add(*leaves[i]);
        Moments left;
        for (int p = 1; p < 32; ++p) {
            left.count += bins[p - 1].count;
            for (int c = 0; c < 4; ++c) left.sum[c] += bins[p - 1].sum[c];
            const double rightCount = box.moments.count - left.count;
            if (left.count <= 0 || rightCount <= 0 || bins[p - 1].count == 0) continue;
            double rightLength = 0;
            for (int c = 0; c < 4; ++c) {
                const double r = box.moments.sum[c] - left.sum[c];
                rightLength += r * r;
            }
            const double score = left.sum_length_squared() / left.count + rightLength / rightCount;
            if (score > best.score) best = {axis, p, score};
        }
    }
    return best;
}

uint8_t channel(double sum, double count) {
    const double v = count > 0 ? sum * (255.0 / count) + 0.5 : 0;
    return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
}

} // namespace

int32_t LgPaletteQuantiserCreate(LgPaletteQuantiser* quantiser) {
    if (quantiser == nullptr) return 0;
    std::memset(static_cast<void*>(quantiser), 0, sizeof(*quantiser));
    quantiser->nodeList = LgFreeListCreate(sizeof(LgPaletteQuantiserNode), nodesPerBlock, 0);
    return quantiser->nodeList != nullptr ? 1 : 0;
}

int32_t LgPaletteQuantiserDestroy(LgPaletteQuantiser* quantiser) {
    if (quantiser == nullptr || quantiser->nodeList == nullptr) return 0;
    free_nodes(quantiser, quantiser->root, 0);
    LgFreeListDestroy(quantiser->nodeList);
    quantiser->nodeList = nullptr;
    return 1;
}

LgPaletteQuantiser* LgPaletteQuantiserAddImage(LgPaletteQuantiser* quantiser,
                                               const LgImage* image) {
    if (quantiser == nullptr || quantiser->nodeList == nullptr || image == nullptr ||
        image->pixels == nullptr)
        return nullptr;
    const bool indexed = image->depth == 4 || image->depth == 8;
    if (!indexed && image->depth != 32) return quantiser;
    if (indexed && image->palette == nullptr) return nullptr;
    const uint8_t indexMask = image->depth == 4 ? 0x0f : 0xff;
    constexpr double unit = 1.0 / 255.0;
    for (int32_t y = 0; y < image->height; ++y) {
        const uint8_t* row = image->pixels + static_cast<size_t>(y) * image->stride;
        for (int32_t x = 0; x < image->width; ++x) {
            const LgRGBA& c = indexed ? image->palette[row[x] & indexMask]
                                      : reinterpret_cast<const LgRGBA*>(row)[x];
            LgPaletteQuantiserLeaf* leaf = find_leaf(quantiser, c, true);
            if (leaf == nullptr) return nullptr;
            const double v[4] = {c.red * unit, c.green * unit, c.blue * unit, c.alpha * unit};
            leaf->count += 1;
            for (int k = 0; k < 4; ++k) leaf->sum[k] += v[k];
            leaf->squares += v[0] * v[0] + v[1] * v[1] + v[2] * v[2] + v[3] * v[3];
        }
    }
    return quantiser;
}

int32_t LgPaletteQuantiserMakePalette(LgRGBA* palette, int32_t count,
                                      LgPaletteQuantiser* quantiser) {
    if (palette == nullptr || quantiser == nullptr || count <= 0) return 0;
    count = std::min(count, 256);
    std::vector<LgPaletteQuantiserLeaf*> leaves;
    for_each_leaf(quantiser->root, 0, [&](LgPaletteQuantiserLeaf* l) { leaves.push_back(l); });
    if (leaves.empty()) return 0;
    std::vector<Box> boxes;
    boxes.reserve(static_cast<size_t>(count));
    boxes.push_back({0, leaves.size(), {}, false});
    for (const LgPaletteQuantiserLeaf* l : leaves) boxes[0].moments.add(*l);
    while (static_cast<int32_t>(boxes.size()) < count) {
        Box* chosen = nullptr;
        for (Box& b : boxes)
            if (!b.uncuttable &&
                (chosen == nullptr || b.moments.variance() > chosen->moments.variance()))
                chosen = &b;
        if (chosen == nullptr) break;
        const Cut cut = best_cut(leaves, *chosen);
        if (cut.axis < 0) {
            chosen->uncuttable = true;
            continue;
        }
        const auto middle = std::partition(leaves.begin() + static_cast<ptrdiff_t>(chosen->begin),
                                           leaves.begin() + static_cast<ptrdiff_t>(chosen->end),
                                           [&](const LgPaletteQuantiserLeaf* l) {
                                               return l->coordinate[cut.axis] < cut.position;
                                           });
        Box upper = {static_cast<size_t>(middle - leaves.begin()), chosen->end, {}, false};
        chosen->end = upper.begin;
        chosen->moments = {};
        for (size_t i = chosen->begin; i < chosen->end; ++i) chosen->moments.add(*leaves[i]);
        for (size_t i = upper.begin; i < upper.end; ++i) upper.moments.add(*leaves[i]);
        boxes.push_back(upper);
    }
    for (size_t i = 0; i < boxes.size(); ++i) {
        const Moments& m = boxes[i].moments;
        palette[i] = {channel(m.sum[0], m.count), channel(m.sum[1], m.count),
                      channel(m.sum[2], m.count), channel(m.sum[3], m.count)};
        for (size_t k = boxes[i].begin; k < boxes[i].end; ++k) {
            leaves[k]->index = static_cast<uint8_t>(i);
            leaves[k]->assigned = true;
        }
    }
    return static_cast<int32_t>(boxes.size());
}

LgPaletteQuantiser* LgPaletteQuantiserMatchImage(uint8_t* pixels, int32_t stride, int32_t depth,
                                                 LgPaletteQuantiser* quantiser,
                                                 const LgImage* image) {
    if (pixels == nullptr || quantiser == nullptr || image == nullptr || image->pixels == nullptr)
        return nullptr;
    const bool indexed = image->depth == 4 || image->depth == 8;
    if ((depth != 4 && depth != 8) || (!indexed && image->depth != 32)) return quantiser;
    if (indexed && image->palette == nullptr) return nullptr;
    const uint8_t indexMask = image->depth == 4 ? 0x0f : 0xff;
    for (int32_t y = 0; y < image->height; ++y) {
        const uint8_t* in = image->pixels + static_cast<size_t>(y) * image->stride;
        uint8_t* out = pixels + static_cast<size_t>(y) * stride;
        for (int32_t x = 0; x < image->width; ++x) {
            const LgRGBA& c = indexed ? image->palette[in[x] & indexMask]
                                      : reinterpret_cast<const LgRGBA*>(in)[x];
            const LgPaletteQuantiserLeaf* leaf = find_leaf(quantiser, c, false);
            out[x] = leaf != nullptr && leaf->assigned ? leaf->index : 0;
        }
    }
    return quantiser;
}
