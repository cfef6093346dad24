// Points of the curve y^2 + xy = x^3 + b over GF(2^255), b = 161: group law, scalar
// multiplication and point compression.
#pragma once

#include "framework/crypto/big_num.h"
#include "framework/crypto/gf_field.h"

inline constexpr uint16_t kEcCurveB = 161;

// The point at infinity has both counts 0.
struct EcPoint {
    GfElement x;
    GfElement y;
};

bool OmEcIsInfinity(const EcPoint& p);
// Whether p satisfies the curve equation (the point at infinity does).
bool OmEcOnCurve(const EcPoint& p);
void OmEcCopy(EcPoint& p, const EcPoint& q);
// Completes p's y from its x, choosing the root whose y/x has lowest bit `ybit`.
// 1 on success, 0 when no point has that x.
int OmEcCalcY(EcPoint& p, int ybit);
// p = p + q (q may be p).
void OmEcAdd(EcPoint& p, const EcPoint& q);
// p = p - q.
void OmEcSub(EcPoint& p, const EcPoint& q);
// p = 2p.
void OmEcDouble(EcPoint& p);
// p = k p with the signed-digit form of 3k. -1, with p the point at infinity, when k has more
// than 17 digits; else 0.
int OmEcMultiply(EcPoint& p, const BigNum& k);
// The power-of-two multiples of one point, so that its scalar multiples take additions only:
// powers[i] = 2^i p, as far as the signed digits of the widest scalar reach.
inline constexpr int kEcFixedBaseDigits = 16 * kBigNumMaxDigits + 2;
struct EcFixedBase {
    EcPoint powers[kEcFixedBaseDigits];
};
void OmEcFixedBaseInit(EcFixedBase& base, const EcPoint& p);
// out = k p for the point of `base`; the same point and result as OmEcMultiply.
int OmEcFixedMultiply(EcPoint& out, const EcFixedBase& base, const BigNum& k);
// 0 when x is zero, else the lowest bit of y/x.
int OmEcYBit(const EcPoint& p);
// Compressed form: 2 pack(x) + ybit for x non-zero, 1 for x zero and y non-zero, 0 for infinity.
void OmEcPack(const EcPoint& p, BigNum& k);
// The reverse. 1 on success; 0 when k is no compressed point of the curve (wider than 256
// bits, or an x without a point), which leaves p unusable.
int OmEcUnpack(EcPoint& p, const BigNum& k);
