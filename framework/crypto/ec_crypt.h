// Public-key primitives on the curve: key pairs, key agreement and Nyberg-Rueppel signatures,
// all with the fixed base point G of prime order n.
#pragma once

#include "framework/crypto/big_num.h"
#include "framework/crypto/ec_curve.h"

struct EcSignature {
    BigNum r;
    BigNum s;
};

// The base point G and its order n (241 bits).
const EcPoint& OmEcBasePoint();
const BigNum& OmEcOrder();

// pub = pack(priv G).
void OmEcMakePublicKey(BigNum& pub, const BigNum& priv);

// Sender's side of the key agreement: msg = pack(secret G), then secret = pack(x of
// secret pub). 1 on success; 0, with msg and secret cleared, when pub is no point.
int OmEcEncodeSecret(const BigNum& pub, BigNum& msg, BigNum& secret);

// Receiver's side: secret = pack(x of priv unpack(msg)). 1 on success; 0, with secret
// cleared, when msg is no point.
int OmEcDecodeSecret(const BigNum& priv, const BigNum& msg, BigNum& secret);

// r = (pack(x of kG) + m) mod n, s = (k - priv r) mod n. 1 when made; 0 when r is zero (the
// caller picks another k).
int OmEcSign(const BigNum& priv, const BigNum& k, const BigNum& m, EcSignature& sig);

// 1 when (r - pack(x of (sG + r pub))) mod n equals m by value. Signatures outside 1 <= r < n,
// 0 <= s < n and public keys that are no point are invalid (0).
int OmEcVerify(const BigNum& pub, const BigNum& m, const EcSignature& sig);
