// Scalar and vector maths shared by the maths service, the expression language and sound:
// the table-driven fast square root, degree trigonometry and vector normalisation.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

struct OmVector3 {
    float x, y, z;
};

// Degrees to radians, as the float the system has always multiplied by.
inline constexpr float OM_DEGREES_TO_RADIANS = 0.017453292f;
inline constexpr float OM_RADIANS_TO_DEGREES = 57.29578f;

// Entries per square-root table (mantissas rounded to 11 bits) and per sine/cosine table.
inline constexpr int OM_SQRT_TABLE_SIZE = 2048;
inline constexpr int OM_TRIG_TABLE_SIZE = 512;

// Builds the square-root, sine and cosine tables; 0. The tables are also built when the
// program loads, so the functions below never see them empty; calling this again is harmless.
OmResult OmMathsTablesInit();
// The square-root table for mantissas of [1, 2) (odd) or [2, 4) (even), for tests.
const uint32_t* OmSqrtTable(bool odd_exponent);
// The sine and cosine tables (i/512 of a turn); nothing in the framework reads them.
const float* OmSinTable();
const float* OmCosTable();

// Square root from the tables, exact to 11 mantissa bits; 0 gives 0 and the sign is ignored.
float OmSqrtFast(float x);
// The processor's single-precision square root.
float OmSqrt(float x);
float OmSinDeg(float degrees);
float OmCosDeg(float degrees);
float OmTanDeg(float degrees);
float OmSinRad(float radians);
float OmCosRad(float radians);
// Arctangent of y / x in the quadrant of (x, y), in radians.
float OmAtan2(float y, float x);
float OmPow(float x, float y);

// out = in / |in|; a vector whose squared length is at most 1e-36 gives (1, 0, 0).
void OmVector3Normalize(OmVector3* out, const OmVector3* in);
// out = in / |in| from the fast square root and a refined bit-trick reciprocal; returns |in|.
float OmVector3NormalizeFast(OmVector3* out, const OmVector3* in);
