// The game's composite field encodings on a packet: a direction, a position, the player-info
// record and the plane-state record. Each routine reads or writes, by the packet's mode, so
// sender and receiver share one field order.
#pragma once

#include "framework/io/binary_stream_composer.h"

#include <cstddef>
#include <cstdint>

// One player slot's record (also the local player's data).
struct TvPlayerInfo {
    char name[32];
    char planeId[32];   // the menu plane id with its "multi" prefix
    uint32_t sideFlags; // 0x100 set: Allied
    float matrix[16];   // right, up, at, position rows with their flag words
    uint8_t localByte;  // not serialised
    uint32_t localWord; // not serialised
    int32_t status;
    int32_t kills;
    uint32_t networkId;  // the player's port id
    uint32_t word;       // the word after the network id
    float scale;         // not serialised
    int32_t settings[2]; // settings words 33 and 34 of the sender
    int32_t extra[4];
};

// The net plane's 72-byte state record (the plane states themselves are the game's
// TvPlaneState). It travels field by field (TvSerializePlaneState), never as raw bytes; the
// words below byte 28 other than size and type are the network layer's, the slot among them.
struct TvPlaneStateRecord {
    uint32_t slot;
    uint32_t network_words[2];
    uint32_t size; // 72
    uint32_t network_word4;
    uint32_t type; // 25
    uint32_t network_word6;
    float position[3];
    float direction[3]; // the heading (at-vector)
    float speed;        // the plane's bank, degrees
    float throttle;
    uint32_t unused;
    uint32_t flag;  // guns firing (one bit on the wire)
    uint32_t value; // the serial 0..15 (four bits on the wire)
};
static_assert(sizeof(TvPlaneStateRecord) == 72);
static_assert(offsetof(TvPlaneStateRecord, size) == 12);
static_assert(offsetof(TvPlaneStateRecord, type) == 20);
static_assert(offsetof(TvPlaneStateRecord, position) == 28);
static_assert(offsetof(TvPlaneStateRecord, direction) == 40);
static_assert(offsetof(TvPlaneStateRecord, speed) == 52);
static_assert(offsetof(TvPlaneStateRecord, throttle) == 56);
static_assert(offsetof(TvPlaneStateRecord, flag) == 64);
static_assert(offsetof(TvPlaneStateRecord, value) == 68);
inline constexpr uint32_t TV_PLANE_STATE_SIZE = 72;
inline constexpr uint32_t TV_PLANE_STATE_TYPE = 25;

// Player-info groups.
inline constexpr uint32_t TV_INFO_NAMES = 0x01;
inline constexpr uint32_t TV_INFO_STATUS = 0x02;
inline constexpr uint32_t TV_INFO_MATRIX = 0x04;
inline constexpr uint32_t TV_INFO_SETTINGS = 0x08;
inline constexpr uint32_t TV_INFO_EXTRA = 0x10;

// Write: the normalised vector x 127 as three signed bytes (a zero vector goes as zeros).
// Read: three signed bytes, normalised. 0 or the first failing field's result.
OmResult TvSerializeDirection(IBinaryStreamComposer* packet, float* vector);
// Write: each component x 256 as the low 24 bits. Read: 24 bits without sign extension / 256,
// so components round-trip only within 0..65536.
OmResult TvSerializePosition(IBinaryStreamComposer* packet, float* vector);
// The groups of `mask` in order; texts go zero-filled after their terminator and arrive
// terminated. 0 or the first failure.
OmResult TvSerializePlayerInfo(IBinaryStreamComposer* packet, TvPlayerInfo* record, uint32_t mask);
// Slot (5 bits, at *slot), position, direction, speed, flag bit and 4-bit value: 138 bits.
// Reading clears the slot, flag and value first. Always 0.
OmResult TvSerializePlaneState(IBinaryStreamComposer* packet, TvPlaneStateRecord* record,
                               uint32_t* slot);
