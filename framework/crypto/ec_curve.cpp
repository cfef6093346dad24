// Chord-and-tangent group law for y^2 + xy = x^3 + b (a = 0) in affine coordinates.
#include "framework/crypto/ec_curve.h"

namespace {

// lambda = num / den.
void divide(GfElement& out, const GfElement& num, const GfElement& den) {
    GfElement inv;
    OmGfInvert(inv, den);
    OmGfMultiply(out, num, inv);
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
    EcPoint negative = q;
    OmGfAdd(negative.y, q.x, q.y);
    OmEcAdd(p, negative);
}

int OmEcMultiply(EcPoint& p, const BigNum& k) {
    BigNum h;
    if (OmBigMulSmall(h, k, 3) < 0) {
        set_infinity(p);
        return -1;
    }
    // Bits of 3k against bits of k give the signed digits of 2k (IEEE P1363 A.10.3).
    EcPoint r = p;
    set_infinity(p);
    const int top = OmBigBitLength(h);
    for (int i = 1; i < top; ++i) {
        const int hb = OmBigTestBit(h, i), kb = OmBigTestBit(k, i);
        if (hb && !kb) OmEcAdd(p, r);
        if (!hb && kb) OmEcSub(p, r);
        if (i + 1 < top) OmEcDouble(r);
    }
    return 0;
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
