// Schoolbook arithmetic on 16-bit digits; nothing allocates and nothing grows past 18 digits.
#include "framework/crypto/big_num.h"

#include <algorithm>
#include <cstring>

namespace {

// Digits up to the highest non-zero one.
int significant_digits(const uint16_t* digits, int count) {
    while (count > 0 && digits[count - 1] == 0) --count;
    return count;
}

// Compares two digit strings by value: -1, 0 or 1.
int compare_digits(const uint16_t* a, int alen, const uint16_t* b, int blen) {
    alen = significant_digits(a, alen);
    blen = significant_digits(b, blen);
    if (alen != blen) return alen > blen ? 1 : -1;
    for (int i = alen - 1; i >= 0; --i)
        if (a[i] != b[i]) return a[i] > b[i] ? 1 : -1;
    return 0;
}

// a -= b over alen digits, for a >= b (blen <= alen).
void subtract_digits(uint16_t* a, int alen, const uint16_t* b, int blen) {
    uint32_t borrow = 0;
    for (int i = 0; i < alen; ++i) {
        uint32_t sub = (i < blen ? b[i] : 0) + borrow;
        uint32_t cur = a[i];
        a[i] = uint16_t(cur - sub);
        borrow = cur < sub ? 1 : 0;
    }
}

// Remainder of a long digit string by m (m non-zero), one bit at a time: the running
// remainder stays below m, so one extra digit of room suffices.
void remainder_digits(const uint16_t* num, int len, const BigNum& m, BigNum& out) {
    const int mlen = significant_digits(m.words + 1, m.count());
    uint16_t rem[kBigNumMaxDigits + 2] = {};
    const int width = mlen + 1;
    for (int bit = 16 * significant_digits(num, len) - 1; bit >= 0; --bit) {
        uint16_t carry = (num[bit / 16] >> (bit % 16)) & 1;
        for (int i = 0; i < width; ++i) {
            uint16_t next = rem[i] >> 15;
            rem[i] = uint16_t(rem[i] << 1 | carry);
            carry = next;
        }
        if (compare_digits(rem, width, m.words + 1, mlen) >= 0)
            subtract_digits(rem, width, m.words + 1, mlen);
    }
    OmBigClear(out);
    out.words[0] = uint16_t(significant_digits(rem, mlen));
    std::memcpy(out.words + 1, rem, sizeof(uint16_t) * size_t(out.words[0]));
}

} // namespace

int OmBigEqual(const BigNum& a, const BigNum& b) {
    if (a.words[0] != b.words[0]) return 0;
    return std::memcmp(a.words + 1, b.words + 1, sizeof(uint16_t) * size_t(a.count())) == 0;
}

void OmBigClear(BigNum& a) {
    std::memset(a.words, 0, sizeof a.words);
}

void OmBigCopy(BigNum& dst, const BigNum& src) {
    if (&dst == &src) return;
    int n = src.count();
    dst.words[0] = uint16_t(n);
    std::memcpy(dst.words + 1, src.words + 1, sizeof(uint16_t) * size_t(n));
}

void OmBigSetSmall(BigNum& a, uint16_t u) {
    a.words[0] = 1;
    a.words[1] = u;
}

void OmBigNormalise(BigNum& a) {
    a.words[0] = uint16_t(significant_digits(a.words + 1, a.count()));
}

int OmBigBitLength(const BigNum& a) {
    int n = significant_digits(a.words + 1, a.count());
    if (n == 0) return 0;
    return 16 * (n - 1) + (32 - __builtin_clz(uint32_t(a.words[n])));
}

int OmBigTestBit(const BigNum& a, int i) {
    if (i < 0 || i >= 16 * a.count()) return 0;
    return (a.words[1 + i / 16] >> (i % 16)) & 1;
}

int OmBigAdd(BigNum& a, const BigNum& b) {
    const int alen = a.count(), blen = b.count();
    const int len = std::max(alen, blen);
    uint16_t sum[kBigNumMaxDigits + 1];
    uint32_t carry = 0;
    for (int i = 0; i < len; ++i) {
        uint32_t s = (i < alen ? a.words[1 + i] : 0u) + (i < blen ? b.words[1 + i] : 0u) + carry;
        sum[i] = uint16_t(s);
        carry = s >> 16;
    }
    int count = len;
    if (carry) {
        if (len == kBigNumMaxDigits) return -1;
        sum[count++] = 1;
    }
    a.words[0] = uint16_t(count);
    std::memcpy(a.words + 1, sum, sizeof(uint16_t) * size_t(count));
    return 0;
}

int OmBigSub(BigNum& a, const BigNum& b) {
    if (compare_digits(a.words + 1, a.count(), b.words + 1, b.count()) < 0) return -1;
    int alen = a.count();
    subtract_digits(a.words + 1, alen, b.words + 1, significant_digits(b.words + 1, b.count()));
    OmBigNormalise(a);
    return 0;
}

int OmBigShiftLeft(BigNum& a, int n) {
    if (n < 1 || n > 15) return -1;
    int len = a.count();
    uint16_t out_of_top = len ? uint16_t(a.words[len] >> (16 - n)) : 0;
    if (out_of_top && len == kBigNumMaxDigits) return -1;
    for (int i = len; i >= 1; --i)
        a.words[i] = uint16_t(a.words[i] << n | (i > 1 ? a.words[i - 1] >> (16 - n) : 0));
    if (out_of_top) {
        a.words[len + 1] = out_of_top;
        a.words[0] = uint16_t(len + 1);
    }
    return 0;
}

int OmBigShiftRight(BigNum& a, int n) {
    if (n < 1 || n > 15) return -1;
    int len = a.count();
    for (int i = 1; i <= len; ++i)
        a.words[i] = uint16_t(a.words[i] >> n | (i < len ? a.words[i + 1] << (16 - n) : 0));
    OmBigNormalise(a);
    return 0;
}

int OmBigMulSmall(BigNum& dst, const BigNum& a, uint16_t u) {
    const int len = a.count();
    if (len > kBigNumMaxDigits - 1) return -1;
    uint16_t product[kBigNumMaxDigits];
    uint32_t carry = 0;
    for (int i = 0; i < len; ++i) {
        uint32_t p = uint32_t(a.words[1 + i]) * u + carry;
        product[i] = uint16_t(p);
        carry = p >> 16;
    }
    product[len] = uint16_t(carry);
    dst.words[0] = uint16_t(significant_digits(product, len + 1));
    std::memcpy(dst.words + 1, product, sizeof(uint16_t) * size_t(dst.words[0]));
    return 0;
}

int OmBigGreater(const BigNum& a, const BigNum& b) {
    return compare_digits(a.words + 1, a.count(), b.words + 1, b.count()) > 0;
}

int OmBigMod(BigNum& a, const BigNum& m) {
    if (OmBigBitLength(m) == 0) return -1;
    if (OmBigGreater(m, a)) {
        OmBigNormalise(a);
        return 0;
    }
    BigNum copy;
    OmBigCopy(copy, a);
    remainder_digits(copy.words + 1, copy.count(), m, a);
    return 0;
}

int OmBigMulMod(BigNum& r, const BigNum& a, const BigNum& b, const BigNum& m) {
    OmBigClear(r);
    if (OmBigBitLength(m) == 0) return -1;
    const int alen = a.count(), blen = b.count();
    uint16_t product[2 * kBigNumMaxDigits] = {};
    for (int i = 0; i < alen; ++i) {
        uint32_t carry = 0;
        for (int j = 0; j < blen; ++j) {
            uint32_t p = uint32_t(a.words[1 + i]) * b.words[1 + j] + product[i + j] + carry;
            product[i + j] = uint16_t(p);
            carry = p >> 16;
        }
        product[i + blen] = uint16_t(carry);
    }
    remainder_digits(product, alen + blen, m, r);
    return 0;
}

void OmBigFromBytes(BigNum& a, const uint8_t* bytes, size_t size) {
    OmBigClear(a);
    size = std::min<size_t>(size, 2 * kBigNumMaxDigits);
    for (size_t i = 0; i < size; ++i) a.words[1 + i / 2] |= uint16_t(bytes[i] << (8 * (i % 2)));
    a.words[0] = uint16_t((size + 1) / 2);
    OmBigNormalise(a);
}

void OmBigToBytes(const BigNum& a, uint8_t* out, size_t size) {
    const size_t len = size_t(a.count());
    for (size_t i = 0; i < size; ++i)
        out[i] = i / 2 < len ? uint8_t(a.words[1 + i / 2] >> (8 * (i % 2))) : 0;
}
