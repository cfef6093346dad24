// The field GF(2^255) built as GF((2^15)^17): polynomials over GF(2^15) modulo x^17 + x^3 + 1.
#pragma once

#include "framework/crypto/big_num.h"

#include <cstdint>

inline constexpr int kGfDegree = 17;          // coefficients of a reduced element
inline constexpr int kGfMaxCoefficients = 35; // room for an unreduced product

// words[0] is the coefficient count (0 for zero), words[1..count] the GF(2^15) coefficients,
// lowest degree first. Words above the count are kept zero.
struct GfElement {
    uint16_t words[kGfMaxCoefficients + 1];

    int count() const { return words[0] > kGfMaxCoefficients ? kGfMaxCoefficients : words[0]; }
    uint16_t coef(int i) const { return words[1 + i]; } // i is 0-based
};

// The GF(2^15) exponent and logarithm tables are constant data built at compile time, so
// there is nothing to set up or tear down: these bracket calls remain for callers that pair
// them, `OmGfInit` always succeeds (0) and `OmGfQuit` does nothing.
int OmGfInit();
void OmGfQuit();

// Brackets the curve arithmetic of one operation with `OmGfInit` and `OmGfQuit`.
struct OmGfScope {
    OmGfScope() { OmGfInit(); }
    ~OmGfScope() { OmGfQuit(); }
    OmGfScope(const OmGfScope&) = delete;
    OmGfScope& operator=(const OmGfScope&) = delete;
};

// Arithmetic in GF(2^15) modulo x^15 + x + 1; division by zero gives zero.
uint16_t OmGfSmallMultiply(uint16_t a, uint16_t b);
uint16_t OmGfSmallDivideElement(uint16_t a, uint16_t b);

int OmGfEqual(const GfElement& p, const GfElement& q);
void OmGfClear(GfElement& p);
// p = the constant c (zero for c = 0).
void OmGfSetSmall(GfElement& p, uint16_t c);
// r = p + q; r may be p or q.
void OmGfAdd(GfElement& r, const GfElement& p, const GfElement& q);
// r = p * q reduced; r must be neither p nor q. Reduced operands multiply by carry-less
// products where the processor has them, anything else by `OmGfMultiplyPortable`.
void OmGfMultiply(GfElement& r, const GfElement& p, const GfElement& q);
// The same product through the GF(2^15) logarithm tables, on any processor.
void OmGfMultiplyPortable(GfElement& r, const GfElement& p, const GfElement& q);
// r = p^2 reduced; r must not be p.
void OmGfSquare(GfElement& r, const GfElement& p);
// Every coefficient divided by the GF(2^15) element b (no effect for b = 0).
void OmGfSmallDivide(GfElement& p, uint16_t b);
// a = a + alpha x^j b.
void OmGfAddMul(GfElement& a, uint16_t alpha, int j, const GfElement& b);
// b = 1/a; b must not be a. 1 (b zero) when a is zero, else 0.
int OmGfInvert(GfElement& b, const GfElement& a);
// p = the square root of the constant b.
void OmGfSquareRoot(GfElement& p, uint16_t b);
// The trace of p (in this basis, the lowest bit of the constant coefficient).
int OmGfTrace(const GfElement& p);
// Solves z^2 + z = beta into p (p must not be beta): 1 (no solution) when the trace of beta
// is 1, else 0.
int OmGfQuadSolve(GfElement& p, const GfElement& beta);
// The lowest bit of the constant coefficient.
int OmGfYBit(const GfElement& p);
// k = sum of coefficient i * 2^(15 i).
void OmGfPack(const GfElement& p, BigNum& k);
// The reverse: successive 15-bit groups of k from the bottom, reduced into the field.
void OmGfUnpack(GfElement& p, const BigNum& k);
