// The property sheet's name index.
#include "framework/containers/property_sheet_nodes.h"

#include "framework/core/memory.h"

#include <cstring>

namespace {

constexpr uint32_t initial_buckets = 64;

SheetNode** new_buckets(uint32_t count) {
    auto* buckets = static_cast<SheetNode**>(OmAllocMemory(sizeof(SheetNode*) * count));
    if (buckets) std::memset(buckets, 0, sizeof(SheetNode*) * count);
    return buckets;
}

} // namespace

SheetIndex::~SheetIndex() {
    OmFreeMemory(buckets_);
}

OmResult SheetIndex::init() {
    buckets_ = new_buckets(initial_buckets);
    if (!buckets_) return OM_E_OUTOFMEMORY;
    mask_ = initial_buckets - 1;
    return OM_S_OK;
}

// FNV-1a over the name, mixed with the owner's address (Fibonacci hashing).
uint32_t SheetIndex::hash_of(const SheetNode* owner, const char* name) {
    uint32_t h = 2166136261u;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p)
        h = (h ^ *p) * 16777619u;
    uint64_t o = reinterpret_cast<uintptr_t>(owner);
    return h ^ uint32_t((o * 0x9E3779B97F4A7C15ull) >> 32);
}

SheetNode* SheetIndex::find(const SheetNode* owner, const char* name) const {
    uint32_t h = hash_of(owner, name);
    for (SheetNode* n = buckets_[h & mask_]; n; n = n->hash_next)
        if (n->hash == h && n->owner == owner && std::strcmp(n->name, name) == 0) return n;
    return nullptr;
}

void SheetIndex::insert(SheetNode* node) {
    if (count_ > mask_) grow();
    SheetNode*& head = buckets_[node->hash & mask_];
    node->hash_next = head;
    head = node;
    node->indexed = 1;
    ++count_;
}

void SheetIndex::remove(SheetNode* node) {
    if (!node->indexed) return;
    for (SheetNode** p = &buckets_[node->hash & mask_]; *p; p = &(*p)->hash_next) {
        if (*p == node) {
            *p = node->hash_next;
            break;
        }
    }
    node->indexed = 0;
    node->hash_next = nullptr;
    --count_;
}

void SheetIndex::remove_all() {
    if (!buckets_) return;
    std::memset(buckets_, 0, sizeof(SheetNode*) * (mask_ + 1));
    count_ = 0;
}

void SheetIndex::grow() {
    uint32_t count = (mask_ + 1) * 2;
    if (!count) return;
    SheetNode** buckets = new_buckets(count);
    if (!buckets) return;
    for (uint32_t i = 0; i <= mask_; ++i) {
        for (SheetNode* n = buckets_[i]; n;) {
            SheetNode* next = n->hash_next;
            SheetNode*& head = buckets[n->hash & (count - 1)];
            n->hash_next = head;
            head = n;
            n = next;
        }
    }
    OmFreeMemory(buckets_);
    buckets_ = buckets;
    mask_ = count - 1;
}
