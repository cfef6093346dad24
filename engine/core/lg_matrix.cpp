// Matrix arithmetic with identity short cuts and orthonormal book-keeping in the flags word.
#include "engine/core/lg_matrix.h"

#include "engine/core/lg_error.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_module.h"
#include "engine/core/lg_vector.h"

#include <algorithm>
#include <cmath>

namespace {

LgModule matrixModule;

constexpr int32_t matricesPerBlock = 50;
constexpr int32_t matrixAlignment = 4;
constexpr float degreesToRadians = 0.017453292f;
constexpr float radiansToDegrees = 57.29578f;
constexpr uint32_t identityAndOrthonormal = LgMatrixFlagIdentity | LgMatrixFlagOrthonormal;

uint32_t optimize_mask() {
    const LgMatrixSlice* s = matrixModule.slice<LgMatrixSlice>();
    return s != nullptr ? s->optimizeMask : LgMatrixFlagIdentity;
}

LgMatrixMultiplyFunc multiply_routine() {
    const LgMatrixSlice* s = matrixModule.slice<LgMatrixSlice>();
    return s != nullptr ? s->multiply : LgMatrixMultiplyPortable;
}

bool is_zero(const LgVector& v) {
    return v.x == 0.0f && v.y == 0.0f && v.z == 0.0f;
}

LgVector cross(const LgVector& a, const LgVector& b) {
    LgVector r;
    LgVectorCrossProduct(&r, &a, &b);
    return r;
}

float dot(const LgVector& a, const LgVector& b) {
    return LgVectorDotProduct(&a, &b);
}

LgVector normalised(const LgVector& v) {
    LgVector r;
    LgVectorNormalizeInv(&r, &v);
    return r;
}

bool valid_combine(int32_t combine) {
    if (combine >= LgCombineReplace && combine <= LgCombinePostConcat) return true;
    LgErrorRaise(LgErrorGroupCore, LgErrorCode(LgErrInvalidArgument, "Invalid combination type"));
    return false;
}

// The 3x3 inverse of the rotation part (adjugate over determinant; unscaled when singular).
void invert_rotation(LgMatrix* out, const LgMatrix* m) {
    const LgVector& r = m->right;
    const LgVector& u = m->up;
    const LgVector& a = m->at;
    // Columns of the adjugate are the cross products of the rows.
    const LgVector c0 = cross(u, a);
    const LgVector c1 = cross(a, r);
    const LgVector c2 = cross(r, u);
    const float det = dot(r, c0);
    const float scale = det != 0.0f ? 1.0f / det : 1.0f;
    out->right = {c0.x * scale, c1.x * scale, c2.x * scale};
    out->up = {c0.y * scale, c1.y * scale, c2.y * scale};
    out->at = {c0.z * scale, c1.z * scale, c2.z * scale};
}

// p x rotation of m (no position).
LgVector rotate_only(const LgVector& p, const LgMatrix& m) {
    return {p.x * m.right.x + p.y * m.up.x + p.z * m.at.x,
            p.x * m.right.y + p.y * m.up.y + p.z * m.at.y,
            p.x * m.right.z + p.y * m.up.z + p.z * m.at.z};
}

} // namespace

void LgMatrixMultiplyPortable(LgMatrix* dst, const LgMatrix* a, const LgMatrix* b) {
    const LgVector rows[4] = {a->right, a->up, a->at, a->pos};
    LgVector* out[4] = {&dst->right, &dst->up, &dst->at, &dst->pos};
    for (int i = 0; i < 4; ++i) {
        const LgVector& r = rows[i];
        LgVector v = {r.x * b->right.x + r.y * b->up.x + r.z * b->at.x,
                      r.x * b->right.y + r.y * b->up.y + r.z * b->at.y,
                      r.x * b->right.z + r.y * b->up.z + r.z * b->at.z};
        if (i == 3) LgVectorAdd(&v, &v, &b->pos);
        *out[i] = v;
    }
}

int32_t LgMatrixSetMultiplyRoutine(LgMatrixMultiplyFunc routine) {
    if (LgMatrixSlice* s = matrixModule.slice<LgMatrixSlice>())
        s->multiply = routine != nullptr ? routine : LgMatrixMultiplyPortable;
    return 1;
}

void LgMatrixMarkChanged(LgMatrix* matrix) {
    matrix->flags &= ~identityAndOrthonormal;
}

LgMatrix* LgMatrixSetIdentity(LgMatrix* matrix) {
    matrix->right = {1.0f, 0.0f, 0.0f};
    matrix->up = {0.0f, 1.0f, 0.0f};
    matrix->at = {0.0f, 0.0f, 1.0f};
    matrix->pos = {0.0f, 0.0f, 0.0f};
    matrix->flags = identityAndOrthonormal;
    return matrix;
}

LgMatrix* LgMatrixMultiply(LgMatrix* dst, const LgMatrix* a, const LgMatrix* b) {
    if ((optimize_mask() & LgMatrixFlagIdentity) != 0) {
        if ((a->flags & LgMatrixFlagIdentity) != 0) {
            *dst = *b;
            return dst;
        }
        if ((b->flags & LgMatrixFlagIdentity) != 0) {
            *dst = *a;
            return dst;
        }
    }
    const bool bothOrthonormal =
        (a->flags & LgMatrixFlagOrthonormal) != 0 && (b->flags & LgMatrixFlagOrthonormal) != 0;
    uint32_t flags = dst->flags & ~LgMatrixFlagIdentity;
    if (!bothOrthonormal) flags &= ~LgMatrixFlagOrthonormal;
    // The routines may not write into b while reading it.
    if (dst == b) {
        LgMatrix result;
        multiply_routine()(&result, a, b);
        *dst = result;
    } else {
        multiply_routine()(dst, a, b);
    }
    dst->flags = flags;
    return dst;
}

LgMatrix* LgMatrixOrthoNormalize(LgMatrix* dst, const LgMatrix* src) {
    LgVector right = normalised(src->right);
    LgVector up = normalised(src->up);
    LgVector at = normalised(src->at);
    const LgVector pos = src->pos;
    enum { KeepRight, KeepUp, KeepAt } keep;
    if (is_zero(right)) {
        keep = KeepUp;
    } else if (is_zero(up)) {
        keep = KeepAt;
    } else if (is_zero(at)) {
        keep = KeepRight;
    } else {
        const float upAt = std::fabs(dot(up, at));
        const float rightAt = std::fabs(dot(right, at));
        const float rightUp = std::fabs(dot(right, up));
        if (upAt < rightAt && upAt < rightUp)
            keep = KeepUp;
        else if (rightAt < rightUp)
            keep = KeepAt;
        else
            keep = KeepRight;
    }
    // Rebuild the other two rows in the cyclic order right x up = at, up x at = right,
    // at x right = up; only the first rebuilt row needs normalising.
    switch (keep) {
    case KeepUp:
        right = normalised(cross(up, at));
        at = cross(right, up);
        break;
    case KeepAt:
        up = normalised(cross(at, right));
        right = cross(up, at);
        break;
    case KeepRight:
        at = normalised(cross(right, up));
        up = cross(at, right);
        break;
    }
    dst->right = right;
    dst->up = up;
    dst->at = at;
    dst->pos = pos;
    dst->flags = (dst->flags & ~LgMatrixFlagIdentity) | LgMatrixFlagOrthonormal;
    return dst;
}

LgMatrix* LgMatrixRotate(LgMatrix* matrix, const LgVector* axis, float angle, int32_t combine) {
    if (!valid_combine(combine)) return nullptr;
    const LgVector n = normalised(*axis);
    const float theta = angle * degreesToRadians;
    const float c = std::cos(theta);
    const float s = std::sin(theta);
    const float c1 = 1.0f - c;
    // Row i is the image of the i-th unit vector (Rodrigues' rotation formula).
    LgMatrix r;
    r.right = {c + n.x * n.x * c1, n.z * s + n.x * n.y * c1, -n.y * s + n.x * n.z * c1};
    r.up = {-n.z * s + n.y * n.x * c1, c + n.y * n.y * c1, n.x * s + n.y * n.z * c1};
    r.at = {n.y * s + n.z * n.x * c1, -n.x * s + n.z * n.y * c1, c + n.z * n.z * c1};
    r.pos = {0.0f, 0.0f, 0.0f};
    r.flags = LgMatrixFlagOrthonormal;
    r.pad1 = r.pad2 = r.pad3 = 0;
    const uint32_t flags = matrix->flags & ~LgMatrixFlagIdentity;
    switch (combine) {
    case LgCombineReplace:
        matrix->right = r.right;
        matrix->up = r.up;
        matrix->at = r.at;
        matrix->pos = r.pos;
        break;
    case LgCombinePreConcat: LgMatrixMultiply(matrix, &r, matrix); break;
    case LgCombinePostConcat: LgMatrixMultiply(matrix, matrix, &r); break;
    }
    matrix->flags = flags;
    return matrix;
}

LgMatrix* LgMatrixScale(LgMatrix* matrix, const LgVector* scale, int32_t combine) {
    if (!valid_combine(combine)) return nullptr;
    const LgVector& k = *scale;
    switch (combine) {
    case LgCombineReplace:
        matrix->right = {k.x, 0.0f, 0.0f};
        matrix->up = {0.0f, k.y, 0.0f};
        matrix->at = {0.0f, 0.0f, k.z};
        matrix->pos = {0.0f, 0.0f, 0.0f};
        break;
    case LgCombinePreConcat:
        LgVectorScale(&matrix->right, &matrix->right, k.x);
        LgVectorScale(&matrix->up, &matrix->up, k.y);
        LgVectorScale(&matrix->at, &matrix->at, k.z);
        break;
    case LgCombinePostConcat:
        for (LgVector* row : {&matrix->right, &matrix->up, &matrix->at, &matrix->pos})
            *row = {row->x * k.x, row->y * k.y, row->z * k.z};
        break;
    }
    matrix->flags &= ~identityAndOrthonormal;
    return matrix;
}

LgMatrix* LgMatrixTranslate(LgMatrix* matrix, const LgVector* translation, int32_t combine) {
    if (!valid_combine(combine)) return nullptr;
    const LgVector& v = *translation;
    switch (combine) {
    case LgCombineReplace: {
        const uint32_t flags = matrix->flags;
        LgMatrixSetIdentity(matrix);
        matrix->pos = v;
        matrix->flags = (flags & ~LgMatrixFlagIdentity) | LgMatrixFlagOrthonormal;
        return matrix;
    }
    case LgCombinePreConcat:
        matrix->pos.x += v.x * matrix->right.x + v.y * matrix->up.x + v.z * matrix->at.x;
        matrix->pos.y += v.x * matrix->right.y + v.y * matrix->up.y + v.z * matrix->at.y;
        matrix->pos.z += v.x * matrix->right.z + v.y * matrix->up.z + v.z * matrix->at.z;
        break;
    case LgCombinePostConcat: LgVectorAdd(&matrix->pos, &matrix->pos, &v); break;
    }
    matrix->flags &= ~LgMatrixFlagIdentity;
    return matrix;
}

LgMatrix* LgMatrixInvert(LgMatrix* dst, const LgMatrix* src) {
    if ((optimize_mask() & LgMatrixFlagIdentity) != 0 && (src->flags & LgMatrixFlagIdentity) != 0) {
        *dst = *src;
        return dst;
    }
    LgMatrix inverse;
    const LgVector p = src->pos;
    uint32_t flags = dst->flags & ~LgMatrixFlagIdentity;
    if ((src->flags & LgMatrixFlagOrthonormal) == LgMatrixFlagOrthonormal) {
        inverse.right = {src->right.x, src->up.x, src->at.x};
        inverse.up = {src->right.y, src->up.y, src->at.y};
        inverse.at = {src->right.z, src->up.z, src->at.z};
        inverse.pos = {-dot(p, src->right), -dot(p, src->up), -dot(p, src->at)};
        flags |= LgMatrixFlagOrthonormal;
    } else {
        invert_rotation(&inverse, src);
        LgVector moved = rotate_only(p, inverse);
        inverse.pos = {-moved.x, -moved.y, -moved.z};
    }
    dst->right = inverse.right;
    dst->up = inverse.up;
    dst->at = inverse.at;
    dst->pos = inverse.pos;
    dst->flags = flags;
    return dst;
}

const LgMatrix* LgMatrixQueryRotate(const LgMatrix* matrix, LgVector* axis, float* angle,
                                    LgVector* center) {
    const double m[3][3] = {{matrix->right.x, matrix->right.y, matrix->right.z},
                            {matrix->up.x, matrix->up.y, matrix->up.z},
                            {matrix->at.x, matrix->at.y, matrix->at.z}};
    // Row-vector convention: the skew part m - transpose(m) is 2 sin(theta) times the axis.
    const double skew[3] = {m[1][2] - m[2][1], m[2][0] - m[0][2], m[0][1] - m[1][0]};
    const double twiceSine = std::sqrt(skew[0] * skew[0] + skew[1] * skew[1] + skew[2] * skew[2]);
    const double cosine = (m[0][0] + m[1][1] + m[2][2] - 1.0) / 2.0;
    double n[3] = {0.0, 0.0, 0.0};
    double degrees = 0.0;
    if (cosine < -0.5) {
        // Near 180 degrees the skew part vanishes; the symmetric part m = c I + (1 - c) n n^T
        // + s [n]x gives the axis from its largest diagonal element instead.
        const double c1 = 1.0 - cosine;
        int k = 0;
        for (int i = 1; i < 3; ++i)
            if (m[i][i] > m[k][k]) k = i;
        n[k] = std::sqrt(std::max(0.0, (m[k][k] - cosine) / c1));
        for (int j = 0; j < 3; ++j)
            if (j != k) n[j] = (m[k][j] + m[j][k]) / (2.0 * c1 * n[k]);
        if (n[0] * skew[0] + n[1] * skew[1] + n[2] * skew[2] < 0.0)
            for (double& v : n) v = -v;
        degrees = std::atan2(twiceSine / 2.0, cosine) * radiansToDegrees;
    } else if (twiceSine != 0.0) {
        for (int i = 0; i < 3; ++i) n[i] = skew[i] / twiceSine;
        degrees = std::atan2(twiceSine / 2.0, cosine) * radiansToDegrees;
    }
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (length != 0.0)
        for (double& v : n) v /= length;
    if (axis != nullptr)
        *axis = {static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2])};
    if (angle != nullptr) *angle = static_cast<float>(degrees);
    if (center == nullptr) return matrix;
    *center = {0.0f, 0.0f, 0.0f};
    if (length == 0.0) return matrix;
    // The centre c solves c (I - R) = position; I - R is singular along the axis, so add
    // n n^T and drop the position's component along the axis: the solution is the point of
    // the axis nearest the origin.
    const double p[3] = {matrix->pos.x, matrix->pos.y, matrix->pos.z};
    const double along = p[0] * n[0] + p[1] * n[1] + p[2] * n[2];
    const double t[3] = {p[0] - along * n[0], p[1] - along * n[1], p[2] - along * n[2]};
    double a[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) a[i][j] = (i == j ? 1.0 : 0.0) - m[i][j] + n[i] * n[j];
    // Inverse through the adjugate.
    double inv[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
            inv[i][j] = a[r0][c0] * a[r1][c1] - a[r0][c1] * a[r1][c0];
        }
    const double det = a[0][0] * inv[0][0] + a[0][1] * inv[1][0] + a[0][2] * inv[2][0];
    if (det == 0.0) return matrix;
    double c[3];
    for (int j = 0; j < 3; ++j)
        c[j] = (t[0] * inv[0][j] + t[1] * inv[1][j] + t[2] * inv[2][j]) / det;
    *center = {static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2])};
    return matrix;
}

float LgMatrixDeterminant(const LgMatrix* matrix) {
    return dot(matrix->right, cross(matrix->up, matrix->at));
}

float LgMatrixOrthogonalError(const LgMatrix* matrix) {
    const float ru = dot(matrix->right, matrix->up);
    const float ra = dot(matrix->right, matrix->at);
    const float ua = dot(matrix->up, matrix->at);
    return ru * ru + ra * ra + ua * ua;
}

float LgMatrixNormalError(const LgMatrix* matrix) {
    float sum = 0.0f;
    for (const LgVector* row : {&matrix->right, &matrix->up, &matrix->at}) {
        const float e = dot(*row, *row) - 1.0f;
        sum += e * e;
    }
    return sum;
}

void* LgMatrixOpen(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgMatrixSlice>(instance, offset);
    s->matrixList = LgFreeListCreate(sizeof(LgMatrix), matricesPerBlock, matrixAlignment);
    if (s->matrixList == nullptr) return nullptr;
    s->optimizeMask = LgMatrixFlagIdentity;
    s->multiply = LgMatrixMultiplyPortable;
    matrixModule.offset = offset;
    ++matrixModule.openCount;
    return instance;
}

void* LgMatrixClose(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgMatrixSlice>(instance, offset);
    LgFreeListDestroy(s->matrixList);
    s->matrixList = nullptr;
    if (matrixModule.openCount > 0) --matrixModule.openCount;
    return instance;
}
