// Affine matrix routines: products, combines, rotation about an axis, inverses and
// orthonormalisation.
#include "framework/maths/om_matrix.h"

#include <cmath>
#include <initializer_list>

namespace {

OmVector3 add(OmVector3 a, OmVector3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
OmVector3 scaled(OmVector3 v, float s) {
    return {v.x * s, v.y * s, v.z * s};
}
float dot(OmVector3 a, OmVector3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
OmVector3 cross(OmVector3 a, OmVector3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// v as a direction through m.
OmVector3 direction_through(OmVector3 v, const OmMatrix& m) {
    return add(add(scaled(m.right, v.x), scaled(m.up, v.y)), scaled(m.at, v.z));
}

// Joins t to m by the mode.
void combine(OmMatrix* m, const OmMatrix& t, int32_t mode) {
    OmMatrix product;
    switch (mode) {
    case OM_COMBINE_REPLACE: *m = t; break;
    case OM_COMBINE_PRECONCAT:
        OmMatrixMultiply(&product, &t, m);
        *m = product;
        break;
    case OM_COMBINE_POSTCONCAT:
        OmMatrixMultiply(&product, m, &t);
        *m = product;
        break;
    default: break;
    }
}

} // namespace

void OmMatrixMultiply(OmMatrix* out, const OmMatrix* a, const OmMatrix* b) {
    out->right = direction_through(a->right, *b);
    out->up = direction_through(a->up, *b);
    out->at = direction_through(a->at, *b);
    out->position = add(direction_through(a->position, *b), b->position);
}

void OmMatrixScale(OmMatrix* m, const OmVector3* s, int32_t mode) {
    switch (mode) {
    case OM_COMBINE_REPLACE: *m = {{s->x, 0, 0}, {0, s->y, 0}, {0, 0, s->z}, {0, 0, 0}}; break;
    case OM_COMBINE_PRECONCAT:
        m->right = scaled(m->right, s->x);
        m->up = scaled(m->up, s->y);
        m->at = scaled(m->at, s->z);
        break;
    case OM_COMBINE_POSTCONCAT:
        for (OmVector3* row : {&m->right, &m->up, &m->at, &m->position})
            *row = {row->x * s->x, row->y * s->y, row->z * s->z};
        break;
    default: break;
    }
}

void OmMatrixTranslate(OmMatrix* m, const OmVector3* v, int32_t mode) {
    switch (mode) {
    case OM_COMBINE_REPLACE: *m = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, *v}; break;
    case OM_COMBINE_PRECONCAT: m->position = add(m->position, direction_through(*v, *m)); break;
    case OM_COMBINE_POSTCONCAT: m->position = add(m->position, *v); break;
    default: break;
    }
}

void OmMatrixTransform(OmMatrix* m, const OmMatrix* other, int32_t mode) {
    combine(m, *other, mode);
}

void OmMatrixRotateCosSin(OmMatrix* m, const OmVector3* a, float c1, float s, int32_t mode) {
    OmMatrix r;
    r.right = {1 - c1 * (1 - a->x * a->x), c1 * a->x * a->y + s * a->z,
               c1 * a->x * a->z - s * a->y};
    r.up = {c1 * a->x * a->y - s * a->z, 1 - c1 * (1 - a->y * a->y), c1 * a->y * a->z + s * a->x};
    r.at = {c1 * a->x * a->z + s * a->y, c1 * a->y * a->z - s * a->x, 1 - c1 * (1 - a->z * a->z)};
    r.position = {0, 0, 0};
    combine(m, r, mode);
}

void OmMatrixRotate(OmMatrix* m, const OmVector3* axis, float degrees, int32_t mode) {
    OmVector3 unit;
    OmVector3Normalize(&unit, axis);
    float radians = degrees * OM_DEGREES_TO_RADIANS;
    OmMatrixRotateCosSin(m, &unit, 1 - OmCosRad(radians), OmSinRad(radians), mode);
}

void OmMatrixInvert(OmMatrix* out, const OmMatrix* in) {
    // The columns of the adjugate are the cross products of the other two rows.
    OmVector3 c0 = cross(in->up, in->at);
    OmVector3 c1 = cross(in->at, in->right);
    OmVector3 c2 = cross(in->right, in->up);
    OmMatrix r;
    r.right = {c0.x, c1.x, c2.x};
    r.up = {c0.y, c1.y, c2.y};
    r.at = {c0.z, c1.z, c2.z};
    float determinant = dot(in->right, c0);
    if (determinant != 0) {
        float inverse = 1 / determinant;
        r.right = scaled(r.right, inverse);
        r.up = scaled(r.up, inverse);
        r.at = scaled(r.at, inverse);
    }
    r.position = scaled(direction_through(in->position, r), -1);
    *out = r;
}

void OmMatrixInvertOrthonormal(OmMatrix* out, const OmMatrix* in) {
    OmMatrix r;
    r.right = {in->right.x, in->up.x, in->at.x};
    r.up = {in->right.y, in->up.y, in->at.y};
    r.at = {in->right.z, in->up.z, in->at.z};
    const OmVector3& p = in->position;
    r.position = {-dot(p, in->right), -dot(p, in->up), -dot(p, in->at)};
    *out = r;
}

void OmMatrixOrthoNormalize(OmMatrix* out, const OmMatrix* in) {
    OmMatrix r;
    float lr = OmVector3NormalizeFast(&r.right, &in->right);
    float lu = OmVector3NormalizeFast(&r.up, &in->up);
    float la = OmVector3NormalizeFast(&r.at, &in->at);
    r.position = in->position;
    // K is kept, X rebuilt from K and Y, then Y from X and K. A degenerate axis is rebuilt;
    // otherwise the pair closest to perpendicular decides which axis to trust.
    OmVector3 *k, *x, *y;
    auto pick = [&](OmVector3* keep, OmVector3* first, OmVector3* second) {
        k = keep;
        x = first;
        y = second;
    };
    if (!(lr > 0)) {
        pick(&r.up, &r.right, &r.at);
    } else if (!(lu > 0)) {
        pick(&r.at, &r.up, &r.right);
    } else if (!(la > 0)) {
        pick(&r.right, &r.at, &r.up);
    } else {
        float dua = std::fabs(dot(r.up, r.at));
        float dra = std::fabs(dot(r.right, r.at));
        float dru = std::fabs(dot(r.right, r.up));
        if (dua < dra) {
            if (dua >= dru)
                pick(&r.right, &r.at, &r.up);
            else
                pick(&r.up, &r.right, &r.at);
        } else if (dra < dru) {
            pick(&r.at, &r.up, &r.right);
        } else {
            pick(&r.right, &r.at, &r.up);
        }
    }
    OmVector3 rebuilt = cross(*k, *y);
    OmVector3Normalize(x, &rebuilt);
    rebuilt = cross(*x, *k);
    OmVector3Normalize(y, &rebuilt);
    *out = r;
}

void OmMatrixQueryRotate(const OmMatrix* m, OmVector3* axis, float* radians, OmVector3* centre) {
    OmVector3 v = {m->up.z - m->at.y, m->at.x - m->right.z, m->right.y - m->up.x};
    float t = m->right.x + m->up.y + m->at.z - 1;
    float l = OmVector3NormalizeFast(axis, &v);
    *radians = OmAtan2(l, t);
    if (l <= 0.01f && t <= 0) {
        // Near a half turn the antisymmetric part vanishes; the symmetric part's largest
        // diagonal element gives a well-conditioned axis instead.
        if (m->right.x > m->up.y && m->right.x > m->at.z)
            v = {2 * (m->right.x + 1), m->up.x + m->right.y, m->at.x + m->right.z};
        else if (m->up.y > m->at.z)
            v = {m->up.x + m->right.y, 2 * (m->up.y + 1), m->at.y + m->up.z};
        else
            v = {m->at.x + m->right.z, m->at.y + m->up.z, 2 * (m->at.z + 1)};
        OmVector3NormalizeFast(axis, &v);
    }
    OmMatrix fixed = {{1 - m->right.x, -m->right.y, -m->right.z},
                      {-m->up.x, 1 - m->up.y, -m->up.z},
                      {-m->at.x, -m->at.y, 1 - m->at.z},
                      {0, 0, 0}};
    OmMatrix inverse;
    OmMatrixInvertOrthonormal(&inverse, &fixed);
    *centre = direction_through(m->position, inverse);
}

void OmTransformPoint(OmVector3* p, const OmMatrix* m) {
    *p = add(direction_through(*p, *m), m->position);
}

void OmTransformVector(OmVector3* v, const OmMatrix* m) {
    *v = direction_through(*v, *m);
}
