// A frame (rows right, up, at, position) with a velocity, as sounds and controls keep them.
#pragma once

#include <cstring>

struct SoundFrame {
    float rows[12] = {};
    float velocity[3] = {};

    // Stores what is given; null leaves either as it is.
    void set(const float* frame, const float* v) {
        if (frame) std::memcpy(rows, frame, sizeof rows);
        if (v) std::memcpy(velocity, v, sizeof velocity);
    }
    // Copies out what is asked for.
    void get(float* frame, float* v) const {
        if (frame) std::memcpy(frame, rows, sizeof rows);
        if (v) std::memcpy(v, velocity, sizeof velocity);
    }
    const float* up() const { return rows + 3; }
    const float* at() const { return rows + 6; }
    const float* position() const { return rows + 9; }
};
