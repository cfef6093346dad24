// BitFieldIntSet: words inside the object until a member past 255 needs a block.
#include "framework/containers/bit_field_int_set.h"
#include "framework/containers/new_direct.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <typeinfo>

namespace {

constexpr int32_t inline_words = 8;
constexpr int32_t bits_per_word = 32;

class BitFieldIntSet final : public OmObject<BitFieldIntSet, IBitFieldIntSet> {
public:
    ~BitFieldIntSet() { free_block(); }
    OmResult init() {
        use_inline_words();
        return OM_S_OK;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IBitFieldIntSet, this}, {&IID_IObjectIO, this}});
    }

    OmResult Clone(uint32_t, IUnknown** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        BitFieldIntSet* copy;
        OmResult r = om_new_component(&copy);
        if (r < 0) return r;
        r = copy->use_block(word_count_);
        if (r < 0) {
            copy->Release();
            return r;
        }
        std::memcpy(copy->words_, words_, size_t(word_count_) * sizeof(uint32_t));
        *out = copy->identity();
        return OM_S_OK;
    }
    OmResult Write(IIFF*) override { return OM_E_FAIL; }

    int32_t Count() override {
        int32_t count = 0;
        for (int32_t i = 0; i < word_count_; ++i) count += std::popcount(words_[i]);
        return count;
    }

    int32_t Relation(IBitFieldIntSet* other_set) override {
        BitFieldIntSet* other = as_set(other_set);
        if (!other) return 0;
        // The growth is kept for what it does to later Invert and Count; a growth that fails
        // changes nothing here, as missing words compare as zero.
        int32_t words = std::max(word_count_, other->word_count_);
        grow(words);
        other->grow(words);
        int32_t result = 0;
        for (int32_t i = 0; i < words; ++i) {
            uint32_t a = word(i), b = other->word(i);
            if (a == b) continue;
            if (a & b) return 1;
            result = -1;
        }
        return result;
    }

    int32_t Compare(IBitFieldIntSet* other_set) override {
        BitFieldIntSet* other = as_set(other_set);
        if (!other || other == this) return 0;
        int32_t common = std::min(word_count_, other->word_count_);
        for (int32_t i = 0; i < common; ++i) {
            if (words_[i] != other->words_[i]) return int32_t(words_[i] - other->words_[i]);
        }
        for (int32_t i = common; i < word_count_; ++i)
            if (words_[i]) return 1;
        for (int32_t i = common; i < other->word_count_; ++i)
            if (other->words_[i]) return -1;
        return 0;
    }

    int32_t ContainsAll(IBitFieldIntSet* other_set) override {
        BitFieldIntSet* other = as_set(other_set);
        if (!other) return 0;
        for (int32_t i = 0; i < other->word_count_; ++i)
            if (other->words_[i] & ~word(i)) return 0;
        return 1;
    }

    OmResult Combine(IBitFieldIntSet* other_set, char op) override {
        BitFieldIntSet* other = as_set(other_set);
        if (!other) return OM_E_FAIL;
        OmResult r = grow(other->word_count_);
        if (r < 0) return r;
        const int32_t n = other->word_count_;
        const uint32_t* theirs = other->words_;
        switch (op) {
        case '&':
            for (int32_t i = 0; i < n; ++i) words_[i] &= theirs[i];
            clear_from(n);
            break;
        case '=':
            std::memmove(words_, theirs, size_t(n) * sizeof(uint32_t));
            clear_from(n);
            break;
        case '^':
            for (int32_t i = 0; i < n; ++i) words_[i] ^= theirs[i];
            break;
        case '|':
            for (int32_t i = 0; i < n; ++i) words_[i] |= theirs[i];
            break;
        default: break;
        }
        return OM_S_OK;
    }

    OmResult Invert() override {
        for (int32_t i = 0; i < word_count_; ++i) words_[i] = ~words_[i];
        return OM_S_OK;
    }
    OmResult Clear() override {
        free_block();
        use_inline_words();
        return OM_S_OK;
    }
    OmResult Add(int32_t n) override {
        if (n < 0) return OM_E_FAIL;
        OmResult r = grow(n / bits_per_word + 1);
        if (r < 0) return r;
        words_[n / bits_per_word] |= bit(n);
        return OM_S_OK;
    }
    OmResult Remove(int32_t n) override {
        if (n >= 0 && n / bits_per_word < word_count_) words_[n / bits_per_word] &= ~bit(n);
        return OM_S_OK;
    }
    int32_t Contains(int32_t n) override {
        if (n < 0) return 0;
        return (word(n / bits_per_word) & bit(n)) ? 1 : 0;
    }
    int32_t First() override { return Next(-1); }
    int32_t Next(int32_t n) override {
        if (n == INT32_MAX) return -1;
        int32_t from = n < 0 ? 0 : n + 1;
        int32_t index = from / bits_per_word;
        if (index >= word_count_) return -1;
        // Bits below `from` in its word are masked away; later words are taken whole.
        uint32_t w = words_[index] & (~0u << (from % bits_per_word));
        while (!w) {
            if (++index >= word_count_) return -1;
            w = words_[index];
        }
        return index * bits_per_word + std::countr_zero(w);
    }

private:
    static uint32_t bit(int32_t n) { return 1u << (n % bits_per_word); }
    // Recognised by the concrete class, as only its words can be read directly.
    static BitFieldIntSet* as_set(IBitFieldIntSet* set) {
        if (!set || typeid(*set) != typeid(BitFieldIntSet)) return nullptr;
        return static_cast<BitFieldIntSet*>(set);
    }
    // Word i, or 0 past the words held.
    uint32_t word(int32_t i) const { return i < word_count_ ? words_[i] : 0; }

    void use_inline_words() {
        std::memset(inline_, 0, sizeof inline_);
        words_ = inline_;
        word_count_ = inline_words;
    }
    void free_block() {
        if (words_ != inline_) OmFreeMemory(words_);
        words_ = inline_;
    }
    void clear_from(int32_t i) {
        if (i < word_count_) std::memset(words_ + i, 0, size_t(word_count_ - i) * sizeof(uint32_t));
    }
    // At least n words: a block of n + 8 words, the new ones zero. OM_E_OUTOFMEMORY.
    OmResult grow(int32_t n) {
        if (n <= word_count_) return OM_S_OK;
        return use_block(n + inline_words); // n is at most INT32_MAX / 32 + 1
    }
    // Moves the words into a block of exactly `words` (more than held; the inline words when
    // that is their count), the new ones zero. OM_E_OUTOFMEMORY.
    OmResult use_block(int32_t words) {
        if (words <= word_count_) return OM_S_OK;
        auto* block = static_cast<uint32_t*>(OmAllocMemory(size_t(words) * sizeof(uint32_t)));
        if (!block) return OM_E_OUTOFMEMORY;
        std::memcpy(block, words_, size_t(word_count_) * sizeof(uint32_t));
        std::memset(block + word_count_, 0, size_t(words - word_count_) * sizeof(uint32_t));
        free_block();
        words_ = block;
        word_count_ = words;
        return OM_S_OK;
    }

    int32_t word_count_;
    uint32_t* words_;
    uint32_t inline_[inline_words];
};

const OmClassRecord classes[] = {
    {&CLSID_BitFieldIntSet, nullptr, nullptr, OmCreateComponent<BitFieldIntSet>, "BitFieldIntSet"}};

} // namespace

OM_DEFINE_MODULE(BitFieldIntSet, classes)

OmResult OmNewBitFieldIntSet(IBitFieldIntSet** out) {
    return om_new_direct<BitFieldIntSet>(out);
}
