// Square in CBC mode with ciphertext stealing, in place over buffers of at least 16 bytes.
#pragma once

#include "framework/crypto/square.h"

#include <cstddef>
#include <cstdint>

// Encryption keys, decryption keys and the chaining block: 304 bytes.
struct SquareCtsContext {
    SquareKeySchedule encryption_keys;
    SquareKeySchedule decryption_keys;
    uint8_t chain[16];
};

// Clears the context and runs the key schedule for both directions.
void OmSquareCtsInit(SquareCtsContext& ctx, const uint8_t key[16]);
// Copies iv (when given) into the chaining block, then enciphers it: the working IV.
void OmSquareCtsSetIV(SquareCtsContext& ctx, const uint8_t* iv);
// In place; a tail of length mod 16 bytes is stolen from the last full block. False, with the
// buffer untouched, for lengths below 16.
bool OmSquareCtsEncrypt(SquareCtsContext& ctx, uint8_t* buffer, size_t length);
bool OmSquareCtsDecrypt(SquareCtsContext& ctx, uint8_t* buffer, size_t length);
// Clears the context.
void OmSquareCtsDone(SquareCtsContext& ctx);
