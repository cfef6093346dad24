// OmRectPacker: a binary tree of cuts over the surface. Every split node covers exactly its
// two children; leaves are free or used. Freeing merges two free children back into their
// parent, so a packer whose rectangles all came back is one free root again.
#include "framework/containers/rect_packer.h"

#include <cstdint>

enum OmRectNodeState : int32_t { OM_RECT_FREE = 0, OM_RECT_USED = 1, OM_RECT_SPLIT = 2 };
// Cut directions: across puts the children one above the other, down side by side.
enum OmRectCut : int32_t { OM_RECT_CUT_DOWN = 0, OM_RECT_CUT_ACROSS = 1 };

struct OmRectPackerNode {
    int32_t state;
    OmRect rect;
    int32_t cut;          // OmRectCut
    int32_t cut_position; // the y (across) or x (down) where the second child begins
    OmRectPackerNode* first;
    OmRectPackerNode* second;
    // Lets the walks climb back without recursion, however deep the cuts go.
    OmRectPackerNode* parent;
};

namespace {

using Node = OmRectPackerNode;

constexpr uint32_t nodes_per_pool_block = 20;

bool is_free_leaf(const Node* node) {
    return node->state == OM_RECT_FREE;
}

int64_t area(const OmRect& r) {
    return int64_t(r.width) * r.height;
}

bool contains(const OmRect& outer, const OmRect& inner) {
    return inner.x >= outer.x && inner.y >= outer.y &&
           int64_t(inner.x) + inner.width <= int64_t(outer.x) + outer.width &&
           int64_t(inner.y) + inner.height <= int64_t(outer.y) + outer.height;
}

Node* make_node(IMemoryPool* pool, int32_t state, const OmRect& rect, Node* parent) {
    auto* node = static_cast<Node*>(pool->Get());
    if (node) *node = Node{state, rect, 0, 0, nullptr, nullptr, parent};
    return node;
}

// The node after `node` in a depth-first walk that skips node's subtree: its next sibling or
// that of its nearest ancestor that has one; null at the end.
Node* next_skipping_subtree(Node* node) {
    for (; node->parent; node = node->parent)
        if (node == node->parent->first) return node->parent->second;
    return nullptr;
}

// Whether `leaf` fits better than `best` for a width x height request. A leaf that matches
// the request in width or height beats a best that matches in neither; otherwise only a
// strictly smaller area wins, so of equal ones the first found stays.
bool fits_better(const Node* leaf, const Node* best, int32_t width, int32_t height) {
    if (!best) return true;
    bool best_matches = best->rect.width == width || best->rect.height == height;
    bool leaf_matches = leaf->rect.width == width || leaf->rect.height == height;
    if (!best_matches && leaf_matches) return true;
    return area(leaf->rect) < area(best->rect);
}

// The free leaf to cut a width x height area from, or null when none is large enough.
// Depth first, first child before second; a node too narrow or too low is skipped with its
// whole subtree, as are used leaves.
Node* OmRectPackerFindBest(Node* root, int32_t width, int32_t height) {
    Node* best = nullptr;
    for (Node* node = root; node;) {
        bool fits = node->rect.width >= width && node->rect.height >= height;
        if (fits && node->state == OM_RECT_SPLIT) {
            node = node->first;
            continue;
        }
        if (fits && node->state == OM_RECT_FREE && fits_better(node, best, width, height)) {
            best = node;
            // An exact fit cannot be beaten: every later leaf that fits is at least as large.
            if (best->rect.width == width && best->rect.height == height) break;
        }
        node = next_skipping_subtree(node);
    }
    return best;
}

// Gives both children of each split node on the way up back to the pool while they are both
// free leaves, making the node a free leaf (it already covers their union).
void merge_upwards(IMemoryPool* pool, Node* node) {
    for (; node && node->state == OM_RECT_SPLIT; node = node->parent) {
        if (!is_free_leaf(node->first) || !is_free_leaf(node->second)) return;
        pool->Put(node->first);
        pool->Put(node->second);
        node->first = node->second = nullptr;
        node->state = OM_RECT_FREE;
    }
}

} // namespace

OmResult OmRectPackerInit(OmRectPacker* packer, int32_t width, int32_t height) {
    if (width < 0 || height < 0) return OM_E_FAIL;
    const int32_t old_width = packer->width, old_height = packer->height;
    packer->width = width;
    packer->height = height;
    OmResult r = OmRectPackerReset(packer);
    if (r < 0) {
        packer->width = old_width;
        packer->height = old_height;
    }
    return r;
}

OmResult OmRectPackerReset(OmRectPacker* packer) {
    IMemoryPool* pool = nullptr;
    OmResult r = OmCreateMemoryPool(sizeof(Node), nodes_per_pool_block, &pool);
    if (r < 0) return r;
    Node* root =
        make_node(pool, OM_RECT_FREE, OmRect{0, 0, packer->width, packer->height}, nullptr);
    if (!root) {
        pool->Release();
        return OM_E_OUTOFMEMORY;
    }
    OmRectPackerRelease(packer);
    packer->pool = pool;
    packer->root = root;
    return OM_S_OK;
}

OmResult OmRectPackerAlloc(OmRectPacker* packer, int32_t width, int32_t height, OmRect* out) {
    if (!packer->root || !out || width < 1 || height < 1) return OM_E_FAIL;
    Node* b = OmRectPackerFindBest(packer->root, width, height);
    if (!b) return OM_E_FAIL;
    const OmRect r = b->rect;
    const int32_t dw = r.width - width, dh = r.height - height;
    if (dw == 0 && dh == 0) {
        b->state = OM_RECT_USED;
        ++packer->count;
        *out = r;
        return OM_S_OK;
    }
    const bool across = dw == 0 || (dh != 0 && dh > dw);
    const bool second_cut = dw != 0 && dh != 0;

    // Every node is taken before the tree changes, so running out leaves it as it was.
    IMemoryPool* pool = packer->pool;
    Node* nodes[4] = {};
    const int needed = second_cut ? 4 : 2;
    for (int i = 0; i < needed; ++i) {
        nodes[i] = make_node(pool, OM_RECT_FREE, r, nullptr);
        if (!nodes[i]) {
            while (i--) pool->Put(nodes[i]);
            return OM_E_OUTOFMEMORY;
        }
    }
    Node *used = nodes[0], *f1 = nodes[1], *s = nodes[2], *f2 = nodes[3];

    used->state = OM_RECT_USED;
    used->rect = OmRect{r.x, r.y, width, height};
    b->state = OM_RECT_SPLIT;
    b->cut = across ? OM_RECT_CUT_ACROSS : OM_RECT_CUT_DOWN;
    b->second = f1;
    f1->parent = b;
    if (across) {
        b->cut_position = r.y + height;
        f1->rect = OmRect{r.x, r.y + height, r.width, r.height - height};
    } else {
        b->cut_position = r.x + width;
        f1->rect = OmRect{r.x + width, r.y, r.width - width, r.height};
    }
    if (second_cut) {
        // The strip the area lies in is cut the other way: the area, then the rest of it.
        s->state = OM_RECT_SPLIT;
        if (across) {
            s->rect = OmRect{r.x, r.y, r.width, height};
            s->cut = OM_RECT_CUT_DOWN;
            s->cut_position = r.x + width;
            f2->rect = OmRect{r.x + width, r.y, r.width - width, height};
        } else {
            s->rect = OmRect{r.x, r.y, width, r.height};
            s->cut = OM_RECT_CUT_ACROSS;
            s->cut_position = r.y + height;
            f2->rect = OmRect{r.x, r.y + height, width, r.height - height};
        }
        s->first = used;
        s->second = f2;
        used->parent = f2->parent = s;
        s->parent = b;
        b->first = s;
    } else {
        used->parent = b;
        b->first = used;
    }
    ++packer->count;
    *out = used->rect;
    return OM_S_OK;
}

int32_t OmRectPackerFree(OmRectPacker* packer, const OmRect* rect) {
    if (!packer->root || !rect) return 0;
    // The children of a split node are disjoint, so at most one can hold the rectangle: the
    // leaf it was cut from lies on that one path.
    Node* node = packer->root;
    while (node->state == OM_RECT_SPLIT) {
        Node* next = contains(node->first->rect, *rect)    ? node->first
                     : contains(node->second->rect, *rect) ? node->second
                                                           : nullptr;
        if (!next) break;
        node = next;
    }
    int32_t found = 0;
    if (node->state == OM_RECT_USED && node->rect == *rect) {
        node->state = OM_RECT_FREE;
        --packer->count;
        found = 1;
    }
    merge_upwards(packer->pool, node->state == OM_RECT_SPLIT ? node : node->parent);
    return found;
}

void OmRectPackerRelease(OmRectPacker* packer) {
    if (packer->pool) packer->pool->Release();
    packer->pool = nullptr;
    packer->root = nullptr;
    packer->count = 0;
}
