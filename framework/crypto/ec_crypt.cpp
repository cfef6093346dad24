// The curve's domain parameters and the key, key-agreement and signature primitives.
#include "framework/crypto/ec_crypt.h"

#include <cstring>

namespace {

constexpr int hex_value(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c - 'a' + 10;
}

template <size_t N>
constexpr BigNum big_from_hex(const char (&text)[N]) {
    BigNum n{};
    int bit = 0;
    for (size_t i = N - 1; i-- > 0; bit += 4)
        n.words[1 + bit / 16] |= uint16_t(hex_value(text[i]) << (bit % 16));
    int count = (bit + 15) / 16;
    while (count > 0 && n.words[count] == 0) --count;
    n.words[0] = uint16_t(count);
    return n;
}

constexpr GfElement element(const uint16_t (&coefs)[kGfDegree]) {
    GfElement e{};
    for (int i = 0; i < kGfDegree; ++i) e.words[1 + i] = coefs[i];
    int count = kGfDegree;
    while (count > 0 && e.words[count] == 0) --count;
    e.words[0] = uint16_t(count);
    return e;
}

constexpr BigNum kOrder =
    big_from_hex("1026DD85081B82314691CED9BBEC30547840E4BF72D8B5E0D258442BBCD31");

constexpr uint16_t kBaseX[kGfDegree] = {0x38CC, 0x052F, 0x2510, 0x45AA, 0x1B89, 0x4468,
                                        0x4882, 0x0D67, 0x4FEB, 0x55CE, 0x0025, 0x4CB7,
                                        0x0CC2, 0x59DC, 0x289E, 0x65E3, 0x56FD};
constexpr uint16_t kBaseY[kGfDegree] = {0x31A7, 0x65F2, 0x18C4, 0x3412, 0x7388, 0x54C1,
                                        0x539B, 0x4A02, 0x4D07, 0x12D6, 0x7911, 0x3B5E,
                                        0x4F0E, 0x216F, 0x2BF2, 0x1974, 0x20DA};

constexpr EcPoint kBasePoint{element(kBaseX), element(kBaseY)};

// x-coordinate of k times the point, packed.
void packed_x_of_multiple(EcPoint point, const BigNum& k, BigNum& out) {
    OmEcMultiply(point, k);
    OmGfPack(point.x, out);
}

// k times the base point, through its powers of two made once.
EcPoint base_multiple(const BigNum& k) {
    static const EcFixedBase* const powers = [] {
        static EcFixedBase table;
        OmEcFixedBaseInit(table, kBasePoint);
        return &table;
    }();
    EcPoint q;
    OmEcFixedMultiply(q, *powers, k);
    return q;
}

} // namespace

const EcPoint& OmEcBasePoint() {
    return kBasePoint;
}

const BigNum& OmEcOrder() {
    return kOrder;
}

void OmEcMakePublicKey(BigNum& pub, const BigNum& priv) {
    OmEcPack(base_multiple(priv), pub);
}

int OmEcEncodeSecret(const BigNum& pub, BigNum& msg, BigNum& secret) {
    EcPoint peer;
    if (!OmEcUnpack(peer, pub)) {
        OmBigClear(msg);
        OmBigClear(secret);
        return 0;
    }
    OmEcPack(base_multiple(secret), msg);
    BigNum shared;
    packed_x_of_multiple(peer, secret, shared);
    secret = shared;
    std::memset(&shared, 0, sizeof shared);
    return 1;
}

int OmEcDecodeSecret(const BigNum& priv, const BigNum& msg, BigNum& secret) {
    EcPoint q;
    if (!OmEcUnpack(q, msg)) {
        OmBigClear(secret);
        return 0;
    }
    packed_x_of_multiple(q, priv, secret);
    return 1;
}

int OmEcSign(const BigNum& priv, const BigNum& k, const BigNum& m, EcSignature& sig) {
    OmBigClear(sig.r);
    OmBigClear(sig.s);
    BigNum r;
    OmGfPack(base_multiple(k).x, r);
    OmBigAdd(r, m);
    OmBigMod(r, kOrder);
    if (OmBigBitLength(r) == 0) return 0;

    BigNum u, s = k;
    OmBigMulMod(u, priv, r, kOrder);
    OmBigMod(s, kOrder); // also normalises a generator-made k with a zero top digit
    if (OmBigGreater(u, s)) OmBigAdd(s, kOrder);
    OmBigSub(s, u);
    sig.r = r;
    sig.s = s;
    std::memset(&u, 0, sizeof u);
    std::memset(&s, 0, sizeof s);
    return 1;
}

int OmEcVerify(const BigNum& pub, const BigNum& m, const EcSignature& sig) {
    if (OmBigBitLength(sig.r) == 0 || !OmBigGreater(kOrder, sig.r) || !OmBigGreater(kOrder, sig.s))
        return 0;
    EcPoint key;
    if (!OmEcUnpack(key, pub)) return 0;

    EcPoint q = base_multiple(sig.s);
    OmEcMultiply(key, sig.r);
    OmEcAdd(q, key);
    BigNum v;
    OmGfPack(q.x, v);
    OmBigMod(v, kOrder);

    BigNum t = sig.r, expected = m;
    OmBigNormalise(t);
    if (OmBigGreater(v, t)) OmBigAdd(t, kOrder);
    OmBigSub(t, v);
    OmBigNormalise(expected);
    return OmBigEqual(t, expected);
}
