// Chord-and-tangent group law for y^2 + xy = x^3 + b (a = 0) in affine coordinates; scalar
// multiples step in Lopez-Dahab coordinates and return to affine once at the end.
#include "framework/crypto/ec_curve.h"

namespace {

// lambda = num / den.
void divide(GfElement& out, const GfElement& num, const GfElement& den) {
    GfElement inv;
    OmGfInvert(inv, den);
    OmGfMultiply(out, num, inv);
}

// -(x, y) = (x, x + y).
EcPoint negative_of(const EcPoint& p) {
    EcPoint negative = p;
    OmGfAdd(negative.y, p.x, p.y);
    return negative;
}

void set_infinity(EcPoint& p) {
    OmGfClear(p.x);
    OmGfClear(p.y);
}

} // namespace

bool OmEcIsInfinity(const EcPoint& p) {
    return p.x.count() == 0 && p.y.count() == 0;
}

bool OmEcOnCurve(const EcPoint& p) {
    if (OmEcIsInfinity(p)) return true;
    GfElement y2, xy, x2, x3, lhs, rhs, b;
    OmGfSquare(y2, p.y);
    OmGfMultiply(xy, p.x, p.y);
    OmGfAdd(lhs, y2, xy);
    OmGfSquare(x2, p.x);
    OmGfMultiply(x3, x2, p.x);
    OmGfSetSmall(b, kEcCurveB);
    OmGfAdd(rhs, x3, b);
    return OmGfEqual(lhs, rhs);
}

void OmEcCopy(EcPoint& p, const EcPoint& q) {
    p = q;
}

int OmEcCalcY(EcPoint& p, int ybit) {
    if (p.x.count() == 0) {
        OmGfSquareRoot(p.y, kEcCurveB);
        return 1;
    }
    // With y = x z the equation becomes z^2 + z = x + b / x^2.
    GfElement x2, beta, b, t, z;
    OmGfSquare(x2, p.x);
    OmGfSetSmall(b, kEcCurveB);
    divide(t, b, x2);
    OmGfAdd(beta, p.x, t);
    if (OmGfQuadSolve(z, beta)) return 0;
    if (OmGfYBit(z) != (ybit & 1)) {
        GfElement one;
        OmGfSetSmall(one, 1);
        OmGfAdd(z, z, one);
    }
    OmGfMultiply(p.y, p.x, z);
    return 1;
}

void OmEcDouble(EcPoint& p) {
    if (OmEcIsInfinity(p)) return;
    if (p.x.count() == 0) { // (0, sqrt b) is its own negative
        set_infinity(p);
        return;
    }
    // lambda = x + y/x; x3 = lambda^2 + lambda; y3 = x^2 + (lambda + 1) x3.
    GfElement q, lambda, l2, x3, x2, one, l1, t, y3;
    divide(q, p.y, p.x);
    OmGfAdd(lambda, p.x, q);
    OmGfSquare(l2, lambda);
    OmGfAdd(x3, l2, lambda);
    OmGfSquare(x2, p.x);
    OmGfSetSmall(one, 1);
    OmGfAdd(l1, lambda, one);
    OmGfMultiply(t, l1, x3);
    OmGfAdd(y3, x2, t);
    p.x = x3;
    p.y = y3;
}

void OmEcAdd(EcPoint& p, const EcPoint& q) {
    if (OmEcIsInfinity(q)) return;
    if (OmEcIsInfinity(p)) {
        p = q;
        return;
    }
    if (OmGfEqual(p.x, q.x)) {
        if (OmGfEqual(p.y, q.y))
            OmEcDouble(p);
        else
            set_infinity(p); // q = -p
        return;
    }
    // lambda = (y1 + y2) / (x1 + x2); x3 = lambda^2 + lambda + x1 + x2;
    // y3 = lambda (x1 + x3) + x3 + y1.
    GfElement dy, dx, lambda, l2, x3, t, u, y3;
    OmGfAdd(dy, p.y, q.y);
    OmGfAdd(dx, p.x, q.x);
    divide(lambda, dy, dx);
    OmGfSquare(l2, lambda);
    OmGfAdd(x3, l2, lambda);
    OmGfAdd(x3, x3, dx);
    OmGfAdd(t, p.x, x3);
    OmGfMultiply(u, lambda, t);
    OmGfAdd(y3, u, x3);
    OmGfAdd(y3, y3, p.y);
    p.x = x3;
    p.y = y3;
}

void OmEcSub(EcPoint& p, const EcPoint& q) {
    OmEcAdd(p, negative_of(q));
}

namespace {

// A point in Lopez-Dahab coordinates: (X, Y, Z) stands for (X/Z, Y/Z^2), Z = 0 for infinity.
// Doubling and adding an affine point need no inversion, so a scalar multiple costs one
// inversion in all instead of one for every step.
struct LdPoint {
    GfElement x, y, z;
};

bool ld_is_infinity(const LdPoint& p) {
    return p.z.count() == 0;
}

void ld_from_affine(LdPoint& p, const EcPoint& q) {
    p.x = q.x;
    p.y = q.y;
    OmGfSetSmall(p.z, 1);
}

void ld_to_affine(EcPoint& p, const LdPoint& q) {
    if (ld_is_infinity(q)) {
        set_infinity(p);
        return;
    }
    GfElement inv, inv2;
    OmGfInvert(inv, q.z);
    OmGfMultiply(p.x, q.x, inv);
    OmGfSquare(inv2, inv);
    OmGfMultiply(p.y, q.y, inv2);
}

// Z3 = X^2 Z^2, X3 = X^4 + b Z^4, Y3 = b Z^4 Z3 + X3 (Y^2 + b Z^4).
void ld_double(LdPoint& p) {
    if (ld_is_infinity(p)) return;
    GfElement x2, z2, z4, b, bz4, x4, y2, t, u, v;
    OmGfSquare(x2, p.x);
    OmGfSquare(z2, p.z);
    OmGfMultiply(p.z, x2, z2); // zero for the point (0, sqrt b), its own negative
    OmGfSquare(z4, z2);
    OmGfSetSmall(b, kEcCurveB);
    OmGfMultiply(bz4, b, z4);
    OmGfSquare(x4, x2);
    OmGfAdd(p.x, x4, bz4);
    OmGfSquare(y2, p.y);
    OmGfAdd(t, y2, bz4);
    OmGfMultiply(u, bz4, p.z);
    OmGfMultiply(v, p.x, t);
    OmGfAdd(p.y, u, v);
}

// p = p + q for an affine q other than infinity (mixed Lopez-Dahab addition, a = 0).
void ld_add_affine(LdPoint& p, const EcPoint& q) {
    if (ld_is_infinity(p)) {
        ld_from_affine(p, q);
        return;
    }
    GfElement z2, t, a, b;
    OmGfSquare(z2, p.z);
    OmGfMultiply(t, q.y, z2);
    OmGfAdd(a, t, p.y); // A = y2 Z1^2 + Y1
    OmGfMultiply(t, q.x, p.z);
    OmGfAdd(b, t, p.x);   // B = x2 Z1 + X1
    if (b.count() == 0) { // same x: q is p or its negative
        if (a.count() == 0)
            ld_double(p);
        else
            OmGfClear(p.z);
        return;
    }
    GfElement c, b2, d, e, a2, f, g, z3sq, xy;
    OmGfMultiply(c, p.z, b); // C = Z1 B
    OmGfSquare(b2, b);
    OmGfMultiply(d, b2, c); // D = B^2 C
    OmGfSquare(p.z, c);     // Z3 = C^2
    OmGfMultiply(e, a, c);  // E = A C
    OmGfSquare(a2, a);
    OmGfAdd(t, a2, d);
    OmGfAdd(p.x, t, e); // X3 = A^2 + D + E
    OmGfMultiply(t, q.x, p.z);
    OmGfAdd(f, p.x, t); // F = X3 + x2 Z3
    OmGfSquare(z3sq, p.z);
    OmGfAdd(xy, q.x, q.y);
    OmGfMultiply(g, xy, z3sq); // G = (x2 + y2) Z3^2
    OmGfAdd(t, e, p.z);
    OmGfMultiply(p.y, t, f);
    OmGfAdd(p.y, p.y, g); // Y3 = (E + Z3) F + G
}

} // namespace

namespace {

// Calls add(i, sign) for every non-zero signed digit of 2k from the top: bits of 3k against
// bits of k (IEEE P1363 A.10.3); digit i weighs 2^(i-1). False when 3k does not fit.
template <typename Add>
bool for_each_digit(const BigNum& k, Add&& add) {
    BigNum h;
    if (OmBigMulSmall(h, k, 3) < 0) return false;
    for (int i = OmBigBitLength(h) - 1; i >= 1; --i) {
        const int hb = OmBigTestBit(h, i), kb = OmBigTestBit(k, i);
        add(i, hb && !kb ? 1 : !hb && kb ? -1 : 0);
    }
    return true;
}

LdPoint ld_infinity() {
    LdPoint p;
    OmGfClear(p.x);
    OmGfClear(p.y);
    OmGfClear(p.z);
    return p;
}

} // namespace

int OmEcMultiply(EcPoint& p, const BigNum& k) {
    // Digits are taken from the top so that only p itself is ever added.
    const EcPoint negative = negative_of(p);
    const bool infinity = OmEcIsInfinity(p);
    LdPoint sum = ld_infinity();
    const bool fits = for_each_digit(k, [&](int, int sign) {
        if (infinity) return;
        ld_double(sum);
        if (sign) ld_add_affine(sum, sign > 0 ? p : negative);
    });
    ld_to_affine(p, sum);
    return fits ? 0 : -1;
}

void OmEcFixedBaseInit(EcFixedBase& base, const EcPoint& p) {
    base.powers[0] = p;
    for (int i = 1; i < kEcFixedBaseDigits; ++i) {
        base.powers[i] = base.powers[i - 1];
        OmEcDouble(base.powers[i]);
    }
}

int OmEcFixedMultiply(EcPoint& out, const EcFixedBase& base, const BigNum& k) {
    LdPoint sum = ld_infinity();
    const bool fits = for_each_digit(k, [&](int i, int sign) {
        const EcPoint& power = base.powers[i - 1];
        if (sign == 0 || OmEcIsInfinity(power)) return;
        ld_add_affine(sum, sign > 0 ? power : negative_of(power));
    });
    ld_to_affine(out, sum);
    return fits ? 0 : -1;
}

int OmEcYBit(const EcPoint& p) {
    if (p.x.count() == 0) return 0;
    GfElement q;
    divide(q, p.y, p.x);
    return OmGfYBit(q);
}

void OmEcPack(const EcPoint& p, BigNum& k) {
    if (p.x.count() != 0) {
        OmGfPack(p.x, k);
        OmBigShiftLeft(k, 1);
        if (OmEcYBit(p)) k.words[1] |= 1;
    } else if (p.y.count() != 0) {
        OmBigClear(k);
        OmBigSetSmall(k, 1);
    } else {
        OmBigClear(k);
    }
}

int OmEcUnpack(EcPoint& p, const BigNum& k) {
    set_infinity(p);
    if (OmBigBitLength(k) > 15 * kGfDegree + 1) return 0;
    const int ybit = OmBigTestBit(k, 0);
    BigNum half = k;
    OmBigShiftRight(half, 1);
    OmGfUnpack(p.x, half);
    if (p.x.count() == 0 && ybit == 0) return 1;
    return OmEcCalcY(p, ybit);
}
