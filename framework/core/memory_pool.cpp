// Memory pools: blocks of elements behind a stack of free elements.
//
// A block is a link to the previously allocated block, the elements, and a bitmap of the
// elements handed out. The bitmap lets Put refuse an element that is already free (a second
// Put would later hand one element to two owners) or that is not from this pool at all.
#include "framework/core/memory_pool.h"

#include "framework/core/component.h"
#include "framework/core/heap.h"

#include <algorithm>
#include <functional>
#include <new>

namespace {

struct Block {
    Block* previous;
    // elements, then the in-use bitmap
};

class MemoryPool final : public IMemoryPool {
public:
    MemoryPool(size_t element_size, size_t per_block)
        : element_size_(element_size), per_block_(per_block),
          block_size_(sizeof(Block) + element_size * per_block + (per_block + 7) / 8) {}

    OmResult init() {
        // A one-slot array so the stack always has storage, as an empty stack still does.
        stack_ = static_cast<void**>(om_heap_allocate(sizeof(void*)));
        return stack_ ? OM_S_OK : OM_E_OUTOFMEMORY;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IMemoryPool, this}});
    }
    uint32_t AddRef() override { return ++ref_count_; }
    uint32_t Release() override {
        if (ref_count_ != 1) return --ref_count_;
        destroy();
        return 0;
    }

    void* Get() override {
        if (free_count_ == 0 && !add_block()) return nullptr;
        void* element = stack_[--free_count_];
        UseBit bit = use_bit(element);
        *bit.byte = uint8_t(*bit.byte | bit.mask);
        return element;
    }

    void** Put(void* element) override {
        UseBit bit = use_bit(element);
        if (!bit.byte || !(*bit.byte & bit.mask)) return nullptr;
        *bit.byte = uint8_t(*bit.byte & ~bit.mask);
        stack_[free_count_] = element;
        return &stack_[free_count_++];
    }

    void destroy() {
        om_heap_free(stack_);
        om_heap_free(block_index_);
        for (Block* b = blocks_; b;) {
            Block* previous = b->previous;
            om_heap_free(b);
            b = previous;
        }
        this->~MemoryPool();
        om_heap_free(this);
    }

private:
    uint8_t* elements(Block* b) const { return reinterpret_cast<uint8_t*>(b) + sizeof(Block); }
    uint8_t* bitmap(Block* b) const { return elements(b) + element_size_ * per_block_; }

    bool add_block() {
        auto* block = static_cast<Block*>(om_heap_allocate(block_size_));
        if (!block) return false;
        auto* stack =
            static_cast<void**>(om_heap_allocate((capacity_ + per_block_) * sizeof(void*)));
        auto* index = static_cast<Block**>(om_heap_allocate((block_count_ + 1) * sizeof(Block*)));
        if (!stack || !index) {
            om_heap_free(index);
            om_heap_free(stack);
            om_heap_free(block);
            return false;
        }
        // Every element is handed out when this runs, so the old stack holds nothing.
        om_heap_free(stack_);
        stack_ = stack;
        capacity_ += per_block_;

        Block** at =
            std::lower_bound(block_index_, block_index_ + block_count_, block, std::less<>{});
        size_t before = size_t(at - block_index_);
        std::copy(block_index_, at, index);
        index[before] = block;
        std::copy(at, block_index_ + block_count_, index + before + 1);
        om_heap_free(block_index_);
        block_index_ = index;
        ++block_count_;

        block->previous = blocks_;
        blocks_ = block;
        std::fill(bitmap(block), bitmap(block) + (per_block_ + 7) / 8, uint8_t(0));
        // Descending addresses on the stack, so a fresh block hands out ascending ones.
        uint8_t* first = elements(block);
        for (size_t i = 0; i < per_block_; ++i)
            stack_[i] = first + (per_block_ - 1 - i) * element_size_;
        free_count_ = per_block_;
        return true;
    }

    // The block holding `element` and its index, or false when it is not one of ours.
    bool locate(void* element, Block** block, size_t* index) const {
        auto* p = static_cast<uint8_t*>(element);
        Block** after = std::upper_bound(
            block_index_, block_index_ + block_count_, p,
            [](uint8_t* q, Block* b) { return std::less<>{}(q, reinterpret_cast<uint8_t*>(b)); });
        if (after == block_index_) return false;
        Block* b = *(after - 1);
        uint8_t* first = elements(b);
        if (std::less<>{}(p, first) || !std::less<>{}(p, first + element_size_ * per_block_))
            return false;
        size_t offset = size_t(p - first);
        if (offset % element_size_ != 0) return false;
        *block = b;
        *index = offset / element_size_;
        return true;
    }

    // The in-use bit of one of our elements, or a null byte for anything else.
    struct UseBit {
        uint8_t* byte;
        uint8_t mask;
    };
    UseBit use_bit(void* element) const {
        Block* b;
        size_t i;
        if (!locate(element, &b, &i)) return {nullptr, 0};
        return {bitmap(b) + i / 8, uint8_t(1u << (i % 8))};
    }

    uint32_t ref_count_ = 1;
    void** stack_ = nullptr;
    size_t free_count_ = 0; // filled slots of the stack
    Block* blocks_ = nullptr;
    Block** block_index_ = nullptr; // blocks sorted by address, for Put's check
    size_t block_count_ = 0;
    size_t element_size_;
    size_t per_block_;
    size_t block_size_;
    size_t capacity_ = 0; // total elements in all blocks
};

} // namespace

OmResult om_create_memory_pool(uint32_t element_size, uint32_t per_block, IMemoryPool** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (element_size == 0 || per_block == 0) return OM_E_FAIL;
    // Elements hold pointers; keep every one pointer-aligned.
    size_t stride = (size_t(element_size) + alignof(void*) - 1) & ~(alignof(void*) - 1);
    void* memory = om_heap_allocate(sizeof(MemoryPool));
    if (!memory) return OM_E_OUTOFMEMORY;
    auto* pool = new (memory) MemoryPool(stride, per_block);
    if (pool->init() != OM_S_OK) {
        pool->destroy();
        return OM_E_OUTOFMEMORY;
    }
    *out = pool;
    return OM_S_OK;
}
