// The fast square root's tables and bit recipe, degree trigonometry and normalisation.
#include "framework/maths/maths_functions.h"

#include <bit>
#include <cmath>

namespace {

uint32_t sqrt_odd[OM_SQRT_TABLE_SIZE];  // mantissas of [1, 2)
uint32_t sqrt_even[OM_SQRT_TABLE_SIZE]; // mantissas of [2, 4)
float sin_table[OM_TRIG_TABLE_SIZE];
float cos_table[OM_TRIG_TABLE_SIZE];

constexpr uint32_t bits_of(float x) {
    return std::bit_cast<uint32_t>(x);
}
constexpr float float_of(uint32_t bits) {
    return std::bit_cast<float>(bits);
}

// Fills the tables before main(), so OmSqrtFast is right even for a caller that never ran
// OmMathsTablesInit.
const OmResult tables_built = OmMathsTablesInit();

} // namespace

OmResult OmMathsTablesInit() {
    for (uint32_t i = 0; i < OM_SQRT_TABLE_SIZE; ++i) {
        // The exponent is halved separately; the table holds the root's bits less the half
        // exponent of its own range, so adding the halved exponent of x gives the answer.
        sqrt_odd[i] = bits_of(std::sqrt(float_of(0x3F800000u + i * 0x1000u))) - 0x1FC00000u;
        sqrt_even[i] = bits_of(std::sqrt(float_of(0x40000000u + i * 0x1000u))) - 0x20000000u;
    }
    for (int i = 0; i < OM_TRIG_TABLE_SIZE; ++i) {
        float angle = float(i) * 0.001953125f * 6.2831855f;
        sin_table[i] = std::sin(angle);
        cos_table[i] = std::cos(angle);
    }
    (void)tables_built;
    return OM_S_OK;
}

const uint32_t* OmSqrtTable(bool odd_exponent) {
    return odd_exponent ? sqrt_odd : sqrt_even;
}
const float* OmSinTable() {
    return sin_table;
}
const float* OmCosTable() {
    return cos_table;
}

float OmSqrtFast(float x) {
    uint32_t b = bits_of(x);
    if ((b << 1) == 0) return 0.0f;
    uint32_t c = b + 2048; // round the mantissa to 11 bits
    uint32_t i = (c >> 12) & 0x7FF;
    uint32_t e = (c & 0x7F800000u) >> 1;
    return float_of(e + ((c & 0x00800000u) ? sqrt_odd[i] : sqrt_even[i]));
}

float OmSqrt(float x) {
    return std::sqrt(x);
}
float OmSinDeg(float degrees) {
    return float(std::sin(double(degrees * OM_DEGREES_TO_RADIANS)));
}
float OmCosDeg(float degrees) {
    return float(std::cos(double(degrees * OM_DEGREES_TO_RADIANS)));
}
float OmTanDeg(float degrees) {
    return float(std::tan(double(degrees * OM_DEGREES_TO_RADIANS)));
}
float OmSinRad(float radians) {
    return float(std::sin(double(radians)));
}
float OmCosRad(float radians) {
    return float(std::cos(double(radians)));
}
float OmAtan2(float y, float x) {
    return float(std::atan2(double(y), double(x)));
}
float OmPow(float x, float y) {
    return float(std::pow(double(x), double(y)));
}

void OmVector3Normalize(OmVector3* out, const OmVector3* in) {
    constexpr uint32_t tiny_squared_length = 0x03AA2425u; // 1.0e-36f
    float squared = in->x * in->x + in->y * in->y + in->z * in->z;
    if (bits_of(squared) <= tiny_squared_length) {
        *out = {1.0f, 0.0f, 0.0f};
        return;
    }
    float length = std::sqrt(squared);
    *out = {in->x / length, in->y / length, in->z / length};
}

float OmVector3NormalizeFast(OmVector3* out, const OmVector3* in) {
    float length = OmSqrtFast(in->x * in->x + in->y * in->y + in->z * in->z);
    // Subtracting the bits from twice the exponent bias approximates 1 / length; one
    // Newton-Raphson step brings it close to single precision.
    float r0 = float_of(0x7F000000u - bits_of(length));
    float r = (2.0f - r0 * length) * r0;
    *out = {in->x * r, in->y * r, in->z * r};
    return length;
}
