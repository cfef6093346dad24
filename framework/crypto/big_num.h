// Unsigned integers of up to 18 sixteen-bit digits: keys, signatures, packed curve points.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int kBigNumMaxDigits = 18;

// words[0] is the digit count (0 for zero), words[1..count] the digits, least significant first.
// This is also the 38-byte stored form of a public key (little-endian words).
struct BigNum {
    uint16_t words[kBigNumMaxDigits + 1];

    // The count as stored, limited to the capacity so that a hostile count read from a file
    // can never index past the digits.
    int count() const { return words[0] > kBigNumMaxDigits ? kBigNumMaxDigits : words[0]; }
    uint16_t digit(int i) const { return words[1 + i]; } // i is 0-based
};

// 1 when the counts and the first count digits agree. A count-1 zero (`OmBigSetSmall`(0)) and
// a count-0 zero differ, so both sides must be normalised alike.
int OmBigEqual(const BigNum& a, const BigNum& b);
void OmBigClear(BigNum& a);
void OmBigCopy(BigNum& dst, const BigNum& src);
// Count 1, digit u, even for u = 0.
void OmBigSetSmall(BigNum& a, uint16_t u);
// Drops zero top digits.
void OmBigNormalise(BigNum& a);
// 1-based position of the highest set bit; 0 for zero.
int OmBigBitLength(const BigNum& a);
// Bit i (0-based); 0 beyond the digits.
int OmBigTestBit(const BigNum& a, int i);

// a = a + b. -1, with a unchanged, when the sum needs more than 18 digits; else 0.
int OmBigAdd(BigNum& a, const BigNum& b);
// a = a - b, normalised. -1, with a unchanged, when b > a; else 0.
int OmBigSub(BigNum& a, const BigNum& b);
// a = a * 2^n for n in 1..15. -1, with a unchanged, for another n or more than 18 digits.
int OmBigShiftLeft(BigNum& a, int n);
// a = a / 2^n for n in 1..15, normalised. -1 for another n.
int OmBigShiftRight(BigNum& a, int n);
// dst = a * u. -1 without effect when a has more than 17 digits; else 0.
int OmBigMulSmall(BigNum& dst, const BigNum& a, uint16_t u);
// 1 when a > b by value, else 0.
int OmBigGreater(const BigNum& a, const BigNum& b);
// a = a mod m, normalised. -1, with a unchanged, for m = 0.
int OmBigMod(BigNum& a, const BigNum& m);
// r = a * b mod m; r must not be a or b. -1, with r zero, for m = 0.
int OmBigMulMod(BigNum& r, const BigNum& a, const BigNum& b, const BigNum& m);

// Little-endian byte forms (least significant byte first). Reading takes at most 36 bytes and
// normalises; writing fills `size` bytes, the low bytes of the number then zeros.
void OmBigFromBytes(BigNum& a, const uint8_t* bytes, size_t size);
void OmBigToBytes(const BigNum& a, uint8_t* out, size_t size);
