// Table square roots and vector routines. The tables hold the 11 top mantissa bits of the
// root for arguments in [1, 4); the exponent is halved by bit arithmetic at lookup.
#include "engine/core/lg_vector.h"

#include "engine/core/lg_error.h"
#include "engine/core/lg_module.h"

#include <bit>
#include <cmath>

namespace {

LgModule vectorModule;

constexpr int tableSize = 4096;
constexpr int halfTable = 2048;
constexpr uint32_t oneBits = 0x3f800000;  // 1.0
constexpr uint32_t twoBits = 0x40000000;  // 2.0
constexpr uint32_t mantissaStep = 0x1000; // one step of the 11 top mantissa bits

// The argument behind table entry i: entries 2048-4095 cover [1, 2), entries 0-2047 [2, 4).
float table_argument(int i) {
    const uint32_t bits = i >= halfTable
                              ? oneBits + static_cast<uint32_t>(i - halfTable) * mantissaStep
                              : twoBits + static_cast<uint32_t>(i) * mantissaStep;
    return std::bit_cast<float>(bits);
}

uint32_t sqrt_entry(int i) {
    const uint32_t root = std::bit_cast<uint32_t>(std::sqrt(table_argument(i)));
    return root - (i >= halfTable ? 0x1fc00000u : 0x20000000u);
}

uint32_t inv_sqrt_entry(int i) {
    // Rounded once from double, as the original's extended-precision divide was.
    const double x = table_argument(i);
    const uint32_t root = std::bit_cast<uint32_t>(static_cast<float>(1.0 / std::sqrt(x)));
    return root - (i >= halfTable ? 0x20000000u : 0x1fc00000u);
}

uint32_t table_index(uint32_t bits) {
    return ((bits + 0x800) >> 12) & 0xfff;
}

LgVectorSlice* slice() {
    return vectorModule.slice<LgVectorSlice>();
}

LgVector* transform_points(LgVector* out, const LgVector* in, int32_t count, const LgMatrix* m) {
    for (int32_t i = 0; i < count; ++i) {
        const LgVector p = in[i];
        out[i].x = p.x * m->right.x + p.y * m->up.x + p.z * m->at.x + m->pos.x;
        out[i].y = p.x * m->right.y + p.y * m->up.y + p.z * m->at.y + m->pos.y;
        out[i].z = p.x * m->right.z + p.y * m->up.z + p.z * m->at.z + m->pos.z;
    }
    return out;
}

LgVector* transform_vectors(LgVector* out, const LgVector* in, int32_t count, const LgMatrix* m) {
    for (int32_t i = 0; i < count; ++i) {
        const LgVector p = in[i];
        out[i].x = p.x * m->right.x + p.y * m->up.x + p.z * m->at.x;
        out[i].y = p.x * m->right.y + p.y * m->up.y + p.z * m->at.y;
        out[i].z = p.x * m->right.z + p.y * m->up.z + p.z * m->at.z;
    }
    return out;
}

} // namespace

float LgSqrt(float value) {
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    if ((bits & 0x7fffffff) == 0) return 0.0f;
    const uint32_t index = table_index(bits);
    // Before the module is open there is no table: compute the same entry directly.
    const LgVectorSlice* s = slice();
    const uint32_t entry = s != nullptr ? s->sqrtTable[index] : sqrt_entry(static_cast<int>(index));
    // The exponent is halved from the rounded bits, as the inverse root does: halving the
    // unrounded ones loses the carry when the mantissa rounds up to the next power of two,
    // which made the root of 3.9999 come out as 1.5.
    return std::bit_cast<float>(entry + (((bits + 0x800) >> 1) & 0x3fc00000));
}

float LgInvSqrt(float value) {
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    const uint32_t index = table_index(bits);
    const LgVectorSlice* s = slice();
    const uint32_t entry =
        s != nullptr ? s->invSqrtTable[index] : inv_sqrt_entry(static_cast<int>(index));
    return std::bit_cast<float>(entry + ((~(bits + 0x800) >> 1) & 0x3fc00000));
}

float LgVectorNormalizeInv(LgVector* out, const LgVector* in) {
    const float squared = LgVectorDotProduct(in, in);
    if (squared == 0.0f) {
        *out = {0.0f, 0.0f, 0.0f};
        return 0.0f;
    }
    const float inverse = LgInvSqrt(squared);
    LgVectorScale(out, in, inverse);
    return inverse;
}

float LgVectorNormalize(LgVector* out, const LgVector* in) {
    const float inverse = LgVectorNormalizeInv(out, in);
    if (inverse == 0.0f) {
        LgErrorRaise(LgErrorGroupCore, LgErrZeroVector);
        return 0.0f;
    }
    return 1.0f / inverse;
}

float LgVectorLength(const LgVector* v) {
    return LgSqrt(LgVectorDotProduct(v, v));
}

float LgVector2Length(const LgVector2* v) {
    return LgSqrt(v->x * v->x + v->y * v->y);
}

LgVector* LgVectorTransformPoints(LgVector* out, const LgVector* in, int32_t count,
                                  const LgMatrix* matrix) {
    const LgVectorSlice* s = slice();
    return (s != nullptr ? s->transformPoints : transform_points)(out, in, count, matrix);
}

LgVector* LgVectorTransformVectors(LgVector* out, const LgVector* in, int32_t count,
                                   const LgMatrix* matrix) {
    const LgVectorSlice* s = slice();
    return (s != nullptr ? s->transformVectors : transform_vectors)(out, in, count, matrix);
}

void* LgVectorOpen(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgVectorSlice>(instance, offset);
    const LgMemoryFunctions& memory = static_cast<LgEngineInstance*>(instance)->memoryFunctions;
    s->sqrtTable = static_cast<uint32_t*>(memory.alloc(tableSize * sizeof(uint32_t)));
    s->invSqrtTable = static_cast<uint32_t*>(memory.alloc(tableSize * sizeof(uint32_t)));
    if (s->sqrtTable == nullptr || s->invSqrtTable == nullptr) {
        if (s->sqrtTable != nullptr) memory.free(s->sqrtTable);
        if (s->invSqrtTable != nullptr) memory.free(s->invSqrtTable);
        s->sqrtTable = s->invSqrtTable = nullptr;
        LgErrorRaise(LgErrorGroupCore, LgErrOutOfMemory);
        return nullptr;
    }
    for (int i = 0; i < tableSize; ++i) {
        s->sqrtTable[i] = sqrt_entry(i);
        s->invSqrtTable[i] = inv_sqrt_entry(i);
    }
    s->transformPoints = transform_points;
    s->transformVectors = transform_vectors;
    vectorModule.offset = offset;
    ++vectorModule.openCount;
    return instance;
}

void* LgVectorClose(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgVectorSlice>(instance, offset);
    const LgMemoryFunctions& memory = static_cast<LgEngineInstance*>(instance)->memoryFunctions;
    if (s->sqrtTable != nullptr) memory.free(s->sqrtTable);
    if (s->invSqrtTable != nullptr) memory.free(s->invSqrtTable);
    s->sqrtTable = s->invSqrtTable = nullptr;
    if (vectorModule.openCount > 0) --vectorModule.openCount;
    return instance;
}
