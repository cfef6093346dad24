// The game camera's placement each frame: the chase views behind, in front of, beside and
// above the followed object; the overhead map and the editor's view dragged over the ground
// with the mouse; the free view flown with the mouse; and the look-at matrix rebuild.
#include "engine/world/lg_collision.h"
#include "game/rules/tv_game.h"
#include "game/tv_frontend_services.h"
#include "game/world/tavrin_camera.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Chase views.
constexpr float kMaxChaseStep = 0.25f;    // longest frame the chase follows in one step
constexpr float kChaseDistance = 30.0f;   // from the followed object, at height 200 and above
constexpr float kChaseLowHeight = 200.0f; // below it the camera stands further back
constexpr float kChaseLowFactor = 0.1f;   // extra distance per unit below that height
constexpr float kChaseFollowRate = 4.0f;  // share of the way per second
constexpr float kChaseJumpDistance = 200.0f;
constexpr float kChaseEyeLift = 5.0f;
constexpr uint32_t kSpeedProperty = 515; // the plane's speed (pointer to float)

// Look-at rebuild: the steepest the camera looks up or down.
constexpr float kMaxVertical = 0.6f;

// Overhead map and editor view.
constexpr float kOverheadHeight = 600.0f; // above the ground under the camera
constexpr float kViewAspect = 1.3333f;
constexpr float kStartZoom = 200.0f;
constexpr float kEditorClearance = 100.0f; // the editor's eye above the ground at least
constexpr uint32_t kEditorDragButton = 2;  // button 1 belongs to the editor's own tools

LgVector add(const LgVector& a, const LgVector& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
LgVector sub(const LgVector& a, const LgVector& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
LgVector scale(const LgVector& v, float s) {
    return {v.x * s, v.y * s, v.z * s};
}
float length(const LgVector& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}
LgVector cross(const LgVector& a, const LgVector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
// The unit vector, or `fallback` for a zero vector.
LgVector unit(const LgVector& v, const LgVector& fallback) {
    const float l = length(v);
    return l > 0.0f ? scale(v, 1.0f / l) : fallback;
}

struct NearestHit {
    float fraction = 2.0f;
};

LgCollisionPrimitive* keep_nearest(LgCollisionPrimitive* primitive, LgAtomicSector*,
                                   LgCollisionTriangle*, float distance, void* data) {
    auto* nearest = static_cast<NearestHit*>(data);
    nearest->fraction = std::min(nearest->fraction, distance);
    return primitive;
}

} // namespace

bool TavrinCamera::cursor_ground_point(LgVector* hit) const {
    if (!engine_camera_ || !matrix) return false;
    LgCameraSyncDefault(engine_camera_);
    LgLine ray{};
    const LgVector2 pixel{static_cast<float>(cursor_x_), static_cast<float>(cursor_y_)};
    if (!LgCameraCalcPixelRay(engine_camera_, &ray, &pixel)) return false;
    return ground_point(ray, hit);
}

bool TavrinCamera::ground_point(const LgLine& line, LgVector* hit) const {
    if (!world) return false;
    LgCollisionPrimitive primitive{};
    primitive.line = line;
    primitive.type = LgCollisionLine;
    NearestHit nearest;
    LgWorldForAllTriangleIntersections(world, &primitive, keep_nearest, &nearest);
    if (nearest.fraction > 1.0f) return false;
    *hit = add(line.start, scale(sub(line.end, line.start), nearest.fraction));
    return true;
}

float TavrinCamera::ground_height_below(const LgVector& point, float fallback) const {
    if (!world) return fallback;
    const LgBBox* box = LgWorldGetBoundingBox(world);
    const LgLine down{{point.x, box->sup.y + 1.0f, point.z}, {point.x, box->inf.y - 1.0f, point.z}};
    LgVector hit{};
    return ground_point(down, &hit) ? hit.y : fallback;
}

void TavrinCamera::rebuild_matrix() {
    if (!matrix) return;
    LgVector at = unit(sub(look_at_, camera_position_), matrix->at);
    if (at.y * at.y > kMaxVertical * kMaxVertical) {
        // Straight up or down has no heading of its own: keep the current one.
        LgVector heading{at.x, 0.0f, at.z};
        if (length(heading) == 0.0f) heading = {matrix->at.x, 0.0f, matrix->at.z};
        heading = unit(heading, {0.0f, 0.0f, 1.0f});
        const float horizontal = std::sqrt(1.0f - kMaxVertical * kMaxVertical);
        at = {heading.x * horizontal, at.y > 0.0f ? kMaxVertical : -kMaxVertical,
              heading.z * horizontal};
    }
    const LgVector right = unit(cross({0.0f, 1.0f, 0.0f}, at), {1.0f, 0.0f, 0.0f});
    matrix->right = right;
    matrix->up = cross(at, right);
    matrix->at = at;
    matrix->pos = camera_position_;
    LgMatrixMarkChanged(matrix);
    LgFrameMarkDirty(frame);
}

void TavrinCamera::update_chase(float dt) {
    dt = std::min(dt, kMaxChaseStep);
    if (!followed_) return;
    uintptr_t matrix_value = 0;
    if (followed_->GetProperty(kTvPropMatrix, &matrix_value) < 0 || !matrix_value) return;
    const LgMatrix& m = *reinterpret_cast<const LgMatrix*>(matrix_value);
    uintptr_t speed_value = 0;
    float speed = 0.0f;
    if (followed_->GetProperty(kSpeedProperty, &speed_value) >= 0 && speed_value)
        speed = *reinterpret_cast<const float*>(speed_value);
    const LgVector velocity = scale(m.at, speed);
    TvSetListenerFrame(matrix, &velocity);

    const LgVector f = unit({m.at.x, m.at.y * 0.5f, m.at.z}, {0.0f, 0.0f, 1.0f});
    const LgVector& p = m.pos;
    const LgVector vertical{0.0f, 1.0f, 0.0f};
    LgVector look{}, eye{};
    float k = 1.0f;
    switch (view_mode()) {
    case kTvViewFront:
        look = scale(f, -15.0f);
        eye = scale(f, 15.0f);
        k = 1.5f;
        break;
    case kTvViewLeft:
        look = scale(m.right, 15.0f);
        eye = scale(m.right, -10.0f);
        break;
    case kTvViewRight:
        look = scale(m.right, -15.0f);
        eye = scale(m.right, 10.0f);
        break;
    case kTvViewHigh:
        look = scale(vertical, -15.0f);
        eye = sub(scale(vertical, 40.0f), scale(f, 20.0f));
        k = 2.0f;
        break;
    default:
        look = scale(f, 15.0f);
        eye = scale(f, -10.0f);
        break;
    }
    eye.y += kChaseEyeLift;
    eye = unit(eye, vertical);
    float distance = kChaseDistance;
    if (p.y < kChaseLowHeight) distance += (kChaseLowHeight - p.y) * kChaseLowFactor;
    distance *= k;
    const LgVector wanted = add(p, scale(eye, distance));

    const LgVector step = sub(wanted, matrix->pos);
    camera_position_ = length(step) < kChaseJumpDistance
                           ? add(matrix->pos, scale(step, kChaseFollowRate * dt))
                           : wanted;
    look_at_ = add(p, look);
    rebuild_matrix();
}

void TavrinCamera::update_ground_view(int32_t mode) {
    if (!engine_camera_) return;
    const bool overhead = mode == kTvViewOverhead;
    if (overhead) {
        const LgVector2 window{zoom_ * kViewAspect, zoom_};
        LgCameraSetViewWindow(engine_camera_, &window);
    } else {
        // The editor's perspective window grows and shrinks with the zoom from the chase
        // views' window at the starting zoom.
        const float scale = TvCameraViewScale * zoom_ / kStartZoom;
        const LgVector2 window{kViewAspect * scale, scale};
        LgCameraSetViewWindow(engine_camera_, &window);
    }
    camera_position_ = add(camera_position_, drag_offset_);
    drag_offset_ = {};

    const bool held = overhead ? mouse_buttons_ != 0 : (mouse_buttons_ & kEditorDragButton) != 0;
    if (!held) {
        anchor_held_ = false;
    } else {
        // The view of the last placement, so the ray is where the player sees the cursor.
        LgCameraSyncDefault(engine_camera_);
        LgLine ray{};
        const LgVector2 pixel{static_cast<float>(cursor_x_), static_cast<float>(cursor_y_)};
        if (LgCameraCalcPixelRay(engine_camera_, &ray, &pixel)) {
            if (!anchor_held_) {
                anchor_held_ = ground_point(ray, &anchor_);
            } else if (ray.end.y != ray.start.y) {
                // Where the ray now crosses the anchor's height: move the camera so the
                // anchored ground point is back under the cursor.
                const float t = (anchor_.y - ray.start.y) / (ray.end.y - ray.start.y);
                const LgVector under = add(ray.start, scale(sub(ray.end, ray.start), t));
                camera_position_.x += anchor_.x - under.x;
                camera_position_.z += anchor_.z - under.z;
            }
        }
    }

    float ground = camera_position_.y;
    if (overhead) {
        const LgBBox* box = world ? LgWorldGetBoundingBox(world) : nullptr;
        ground = ground_height_below(camera_position_, box ? box->inf.y : camera_position_.y);
        camera_position_.y = ground + kOverheadHeight;
    } else {
        // The editor's eye keeps its height, but never comes closer to the ground than
        // kEditorClearance: the ground ray of the cursor must start above the ground.
        const float nowhere = -std::numeric_limits<float>::infinity();
        const float below = ground_height_below(camera_position_, nowhere);
        if (below != nowhere) {
            camera_position_.y = std::max(camera_position_.y, below + kEditorClearance);
            ground = below;
        }
    }
    look_at_ = {camera_position_.x, ground, camera_position_.z};
    matrix->right = {1.0f, 0.0f, 0.0f};
    matrix->up = {0.0f, 0.0f, 1.0f};
    matrix->at = {0.0f, -1.0f, 0.0f};
    matrix->pos = camera_position_;
    LgMatrixMarkChanged(matrix);
    LgFrameMarkDirty(frame);
    mouse_dx_ = mouse_dy_ = 0;
}

void TavrinCamera::update_free_view() {
    const auto dx = static_cast<float>(mouse_dx_), dy = static_cast<float>(mouse_dy_);
    if ((mouse_buttons_ & 1) != 0) {
        matrix->pos = add(matrix->pos, add(scale(matrix->right, -dx), scale(matrix->at, dy)));
    } else {
        const LgVector vertical{0.0f, 1.0f, 0.0f}, across{1.0f, 0.0f, 0.0f};
        LgMatrixRotate(matrix, &vertical, -dx, LgCombinePreConcat);
        LgMatrixRotate(matrix, &across, dy, LgCombinePreConcat);
        matrix->right.y = 0.0f;
    }
    matrix->right = unit(matrix->right, {1.0f, 0.0f, 0.0f});
    matrix->at = unit(cross(matrix->right, matrix->up), {0.0f, 0.0f, 1.0f});
    matrix->up = unit(cross(matrix->at, matrix->right), {0.0f, 1.0f, 0.0f});
    LgMatrixOrthoNormalize(matrix, matrix);
    LgMatrixMarkChanged(matrix);
    LgFrameMarkDirty(frame);
    camera_position_ = matrix->pos;
    look_at_ = add(matrix->pos, matrix->at);
    const LgVector still{};
    TvSetListenerFrame(matrix, &still);
    mouse_dx_ = mouse_dy_ = 0;
}
