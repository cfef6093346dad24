// Immediate-mode 3D drawing: primitives split into lines and triangles, each dispatched by
// its vertices' clip codes to the device, the back-face tests or the clipper.
#include "engine/core/lg_im3d.h"

#include <bit>

namespace {

// Room the clipper may need for its new vertices in one primitive (two a plane at most).
constexpr int32_t clipRoomNeeded = 20;
constexpr int32_t clipRoomGrowth = 50;

bool valid(int32_t i) {
    return i >= 0 && i < LgIm3DGlobal.current->count;
}

void dispatch_line(int32_t a, int32_t b) {
    LgIm3DState& s = LgIm3DGlobal;
    if (!valid(a) || !valid(b)) return;
    const LgIm3DCameraVertex* cam = s.cameraVertices + s.current->first;
    const uint32_t ca = cam[a].clipFlags, cb = cam[b].clipFlags;
    if ((ca & cb) != 0) return;
    if ((ca | cb) == 0) {
        s.hooks.submitLine(a, b);
        return;
    }
    if (LgIm3DEnsureClipRoom()) s.hooks.clipLine(a, b);
}

void dispatch_triangle(int32_t a, int32_t b, int32_t c) {
    LgIm3DState& s = LgIm3DGlobal;
    if (!valid(a) || !valid(b) || !valid(c)) return;
    const LgIm3DCameraVertex* cam = s.cameraVertices + s.current->first;
    const uint32_t ca = cam[a].clipFlags, cb = cam[b].clipFlags, cc = cam[c].clipFlags;
    if ((ca & cb & cc) != 0) return;
    if ((ca | cb | cc) == 0) {
        if (s.hooks.backfaceScreen(a, b, c) == 1) return;
        s.hooks.submitTriangle(a, b, c);
        return;
    }
    if (s.hooks.backfaceCamera(a, b, c) == 1) return;
    if (LgIm3DEnsureClipRoom()) s.hooks.clipTriangle(a, b, c);
}

// Walks the primitives of a vertex sequence: vertex(k) gives the k-th vertex number.
template <typename VertexAt>
void dispatch_primitives(int32_t type, int32_t n, VertexAt vertex) {
    switch (type) {
    case LgPrimLineList:
        for (int32_t i = 0; i + 1 < n; i += 2) dispatch_line(vertex(i), vertex(i + 1));
        break;
    case LgPrimLineStrip:
        for (int32_t i = 0; i + 1 < n; ++i) dispatch_line(vertex(i), vertex(i + 1));
        break;
    case LgPrimTriList:
        for (int32_t i = 0; i + 2 < n; i += 3)
            dispatch_triangle(vertex(i), vertex(i + 1), vertex(i + 2));
        break;
    case LgPrimTriStrip:
        // Every second triangle swaps its last two vertices to keep the strip's winding.
        for (int32_t i = 0; i + 2 < n; ++i) {
            if ((i & 1) == 0)
                dispatch_triangle(vertex(i), vertex(i + 1), vertex(i + 2));
            else
                dispatch_triangle(vertex(i), vertex(i + 2), vertex(i + 1));
        }
        break;
    case LgPrimTriFan:
        for (int32_t i = 1; i + 1 < n; ++i) dispatch_triangle(vertex(0), vertex(i), vertex(i + 1));
        break;
    default: break;
    }
}

bool begin_draw() {
    return LgIm3DBeginBatch() != 0;
}

// Not positive on the float's bits: negative values, +0 and -0 all count.
bool not_positive(float value) {
    return std::bit_cast<int32_t>(value) <= 0;
}

float cross_2d(float x0, float y0, float x1, float y1, float x2, float y2) {
    return (x0 - x1) * (y2 - y1) - (x2 - x1) * (y0 - y1);
}

} // namespace

int32_t LgIm3DBeginBatch() {
    LgIm3DState& s = LgIm3DGlobal;
    if (s.current == nullptr || s.current->nothingToDraw != 0) return 0;
    s.current->nextFree = s.current->first + s.current->count;
    s.hooks.begin();
    return 1;
}

int32_t LgIm3DEnsureClipRoom() {
    LgIm3DState& s = LgIm3DGlobal;
    const int32_t nextFree = s.current->nextFree;
    if (s.capacity >= nextFree + clipRoomNeeded) return 1;
    return LgIm3DReserveVertices(nextFree + clipRoomGrowth - s.inUse) != 0 ? 1 : 0;
}

int32_t LgIm3DDrawTriangle(int32_t i0, int32_t i1, int32_t i2) {
    if (!begin_draw()) return 1;
    dispatch_triangle(i0, i1, i2);
    LgIm3DGlobal.hooks.end();
    return 1;
}

int32_t LgIm3DDrawLine(int32_t i0, int32_t i1) {
    if (!begin_draw()) return 1;
    dispatch_line(i0, i1);
    LgIm3DGlobal.hooks.end();
    return 1;
}

int32_t LgIm3DDrawPrimitive(int32_t type) {
    if (!begin_draw()) return 1;
    dispatch_primitives(type, LgIm3DGlobal.current->count, [](int32_t k) { return k; });
    LgIm3DGlobal.hooks.end();
    return 1;
}

int32_t LgIm3DDrawIndexedPrimitive(int32_t type, const uint16_t* indices, int32_t count) {
    if (indices == nullptr || count <= 0 || !begin_draw()) return 1;
    dispatch_primitives(type, count, [indices](int32_t k) { return int32_t{indices[k]}; });
    LgIm3DGlobal.hooks.end();
    return 1;
}

// The triangle's orientation seen from the eye: v0 . (v2 x v1), the sign the screen-space
// test gives the same triangle once projected.
int32_t LgIm3DBackfacePerspective(int32_t i0, int32_t i1, int32_t i2) {
    const LgIm3DCameraVertex* cam = LgIm3DGlobal.cameraVertices + LgIm3DGlobal.current->first;
    const LgIm3DCameraVertex &a = cam[i0], &b = cam[i1], &c = cam[i2];
    const float cx = c.y * b.z - c.z * b.y;
    const float cy = c.z * b.x - c.x * b.z;
    const float cz = c.x * b.y - c.y * b.x;
    return not_positive(a.x * cx + a.y * cy + a.z * cz);
}

int32_t LgIm3DBackfaceScreen(int32_t i0, int32_t i1, int32_t i2) {
    const LgIm3DScreenVertex* v = LgIm3DGlobal.screenVertices + LgIm3DGlobal.current->first;
    return not_positive(cross_2d(v[i0].x, v[i0].y, v[i1].x, v[i1].y, v[i2].x, v[i2].y));
}

// Parallel projection keeps x and y up to scale, so the camera-space cross product decides;
// only a negative value (-0 included) culls.
int32_t LgIm3DBackfaceParallel(int32_t i0, int32_t i1, int32_t i2) {
    const LgIm3DCameraVertex* cam = LgIm3DGlobal.cameraVertices + LgIm3DGlobal.current->first;
    const float cross = cross_2d(cam[i0].x, cam[i0].y, cam[i1].x, cam[i1].y, cam[i2].x, cam[i2].y);
    return std::bit_cast<int32_t>(cross) < 0;
}

void LgIm3DSetProjection(uint32_t projection) {
    LgIm3DHooks& h = LgIm3DGlobal.hooks;
    const bool parallel = projection == LgCameraParallel;
    LgIm3DGlobal.projection.projection = parallel ? LgCameraParallel : LgCameraPerspective;
    if (parallel) {
        h.backfaceCamera = LgIm3DBackfaceParallel;
        h.backfaceScreen = LgIm3DBackfaceParallel;
        h.clipTriangle = LgIm3DClipTriangleParallel;
        h.clipLine = LgIm3DClipLineParallel;
    } else {
        h.backfaceCamera = LgIm3DBackfacePerspective;
        h.backfaceScreen = LgIm3DBackfaceScreen;
        h.clipTriangle = LgIm3DClipTrianglePerspective;
        h.clipLine = LgIm3DClipLinePerspective;
    }
}
