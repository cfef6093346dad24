// The game camera's life and drawing: creation over the viewport's rasters, properties and
// view modes, input and look events, begin/end of the frame, the cockpit call, and teardown.
// The per-frame placement of each view is in tavrin_camera_views.cpp.
#include "game/world/tavrin_camera.h"

#include "engine/core/lg_immediate.h"
#include "engine/world/lg_collision.h"
#include "engine/world/lg_world_tie.h"
#include "framework/core/memory.h"
#include "game/rules/tv_game.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

float TvCameraViewScale = 1.0f;

namespace {

constexpr float kNearClip = 5.0f;
constexpr float kGroundViewFarClip = 2000.0f;
constexpr float kViewAspect = 1.3333f;
constexpr float kZoomStep = 20.0f;
constexpr int32_t kCursorMargin = 8;

// Key codes of the keyboard device the camera answers.
constexpr uint32_t kKeyHome = 0x8F;
constexpr uint32_t kKeyEnd = 0x90;
constexpr uint32_t kKeyUp = 0x93;
constexpr uint32_t kKeyDown = 0x94;
constexpr uint32_t kKeyLeft = 0x95;
constexpr uint32_t kKeyRight = 0x96;

// Input event codes.
constexpr uint16_t kKeyReleased = 16;
constexpr uint16_t kKeyPressed = 17;
constexpr uint16_t kMouseX = 48;
constexpr uint16_t kMouseY = 49;
constexpr uint16_t kMouseButtonFirst = 65; // 65, 66, 68, 72: code - 64 is the button's bit
constexpr uint32_t kMousePressed = 35;

// Render states set at the start of every camera frame.
constexpr int32_t kStateFog = 18;
constexpr int32_t kStateMode = 7;

TvCockpitRenderer& cockpit_renderer() {
    static TvCockpitRenderer renderer = nullptr;
    return renderer;
}

void set_state(int32_t state, uintptr_t value) {
    LgRenderStateSet(state, reinterpret_cast<void*>(value));
}

bool is_chase_view(int32_t mode) {
    return mode == kTvViewChase || mode == kTvViewFront || mode == kTvViewLeft ||
           mode == kTvViewRight || mode == kTvViewHigh;
}

void copy_vector(LgVector& to, uintptr_t from) {
    std::memcpy(&to, reinterpret_cast<const void*>(from), sizeof(LgVector));
}

uintptr_t float_bits(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

} // namespace

void TvSetCockpitRenderer(TvCockpitRenderer renderer) {
    cockpit_renderer() = renderer;
}

OmResult TavrinCamera::Create(TvCreateDescriptor* descriptor) {
    auto* record = static_cast<TvCameraDescriptor*>(descriptor);
    if (!record || !record->raster || !record->depth_raster || !record->world)
        return OM_E_BADPROPERTY;
    // A camera made again lets go of what its earlier life held (the record excepted when
    // it is handed over again).
    if (record_ == record) record_ = nullptr;
    Destroy();
    if (TavrinObjectBase<ITvCamera>::Create(record) < 0) return OM_E_FAIL;
    record_ = record;
    world = record->world;

    LgCamera* camera = LgCameraCreate();
    if (!camera) return OM_E_FAIL;
    engine_camera_ = camera;
    LgCameraSetRaster(camera, record->raster);
    LgCameraSetZRaster(camera, record->depth_raster);
    LgCameraSetFarClipPlane(camera, record->far_clip);
    LgCameraSetProjection(camera, LgCameraPerspective);
    LgCameraSetNearClipPlane(camera, kNearClip);
    LgMatrixSetIdentity(matrix);
    LgCameraSetFrame(camera, frame);
    LgFrameMarkDirty(frame);

    view_width_ = LgRasterGetWidth(record->raster);
    view_height_ = LgRasterGetHeight(record->raster);
    const float w = static_cast<float>(view_width_), h = static_cast<float>(view_height_);
    LgVector2 window{1.0f, 1.0f};
    if (w > h)
        window.x = w / h;
    else if (w > 0.0f)
        window.y = h / w;
    window.x *= TvCameraViewScale;
    window.y *= TvCameraViewScale;
    LgCameraSetViewWindow(camera, &window);

    elapsed_time_ = 10.0f;
    const LgBBox* box = LgWorldGetBoundingBox(record->world);
    const LgVector centre{(box->sup.x + box->inf.x) * 0.5f, (box->sup.y + box->inf.y) * 0.5f,
                          (box->sup.z + box->inf.z) * 0.5f};
    camera_position_ = look_at_ = centre;
    matrix->pos = centre;
    LgMatrixMarkChanged(matrix);
    zoom_ = 200.0f;
    user_value = kTvViewChase;
    mouse_buttons_ = 0;
    mouse_dx_ = mouse_dy_ = 0;
    cursor_x_ = cursor_y_ = 0;
    drag_offset_ = {};
    anchor_held_ = false;
    followed_ = nullptr;
    std::snprintf(cursor_image_, sizeof cursor_image_, "Ui\\%s.bmp", "cursor");
    std::snprintf(cursor_mask_, sizeof cursor_mask_, "Ui\\%sm.bmp", "cursor");
    LgWorldAddCamera(record->world, camera);
    return OM_S_OK;
}

void TavrinCamera::destroy_engine_camera() {
    if (!engine_camera_) return;
    if (LgWorld* tied = LgCameraGetWorld(engine_camera_)) LgWorldRemoveCamera(tied, engine_camera_);
    LgCameraDestroy(engine_camera_);
    engine_camera_ = nullptr;
}

OmResult TavrinCamera::Destroy() {
    destroy_engine_camera();
    world = nullptr;
    if (cursor_texture_) LgTextureDestroy(cursor_texture_);
    cursor_texture_ = nullptr;
    followed_ = nullptr;
    anchor_held_ = false;
    if (record_) {
        if (descriptor == record_) descriptor = nullptr;
        OmFreeMemory(record_);
        record_ = nullptr;
    }
    return TavrinObjectBase<ITvCamera>::Destroy();
}

void TavrinCamera::set_view_mode(int32_t mode) {
    user_value = static_cast<uintptr_t>(mode);
    cursor_x_ = cursor_y_ = 0;
    anchor_held_ = false;
    if (!engine_camera_) return;
    if (mode == kTvViewOverhead) {
        LgCameraSetProjection(engine_camera_, LgCameraParallel);
        LgCameraSetFarClipPlane(engine_camera_, kGroundViewFarClip);
    } else if (mode == kTvViewEditor) {
        LgCameraSetProjection(engine_camera_, LgCameraPerspective);
        LgCameraSetFarClipPlane(engine_camera_, kGroundViewFarClip);
    } else {
        LgCameraSetProjection(engine_camera_, LgCameraPerspective);
        const LgVector2 window{kViewAspect * TvCameraViewScale, TvCameraViewScale};
        LgCameraSetViewWindow(engine_camera_, &window);
        if (record_) LgCameraSetFarClipPlane(engine_camera_, record_->far_clip);
    }
}

OmResult TavrinCamera::SetProperty(uint32_t id, uintptr_t value) {
    switch (id) {
    case kTvCamPropFarClip:
    case kTvCamPropNearClip: {
        if (!value || !engine_camera_) return OM_E_FAIL;
        const float distance = *reinterpret_cast<const float*>(value);
        if (id == kTvCamPropFarClip)
            LgCameraSetFarClipPlane(engine_camera_, distance);
        else
            LgCameraSetNearClipPlane(engine_camera_, distance);
        return OM_S_OK;
    }
    case kTvCamPropPosition:
    case kTvCamPropLookAt:
    case kTvCamPropDragOffset:
        if (!value) return OM_E_FAIL;
        copy_vector(id == kTvCamPropPosition ? camera_position_
                    : id == kTvCamPropLookAt ? look_at_
                                             : drag_offset_,
                    value);
        return OM_S_OK;
    case kTvCamPropFollowed: followed_ = reinterpret_cast<ITvObject*>(value); return OM_S_OK;
    case kTvCamPropEngineCamera: {
        // The camera owns its engine camera: a replaced one is let go.
        auto* camera = reinterpret_cast<LgCamera*>(value);
        if (camera != engine_camera_) {
            destroy_engine_camera();
            engine_camera_ = camera;
        }
        return OM_S_OK;
    }
    case kTvCamPropViewMode: set_view_mode(static_cast<int32_t>(value)); return OM_S_OK;
    default: return TavrinObjectBase<ITvCamera>::SetProperty(id, value);
    }
}

OmResult TavrinCamera::GetProperty(uint32_t id, uintptr_t* out) {
    if (!out) return OM_E_FAIL;
    switch (id) {
    case kTvCamPropFarClip:
    case kTvCamPropNearClip:
        if (!engine_camera_) {
            *out = 0;
            return OM_E_FAIL;
        }
        *out = float_bits(id == kTvCamPropFarClip ? LgCameraGetFarClipPlane(engine_camera_)
                                                  : LgCameraGetNearClipPlane(engine_camera_));
        return OM_S_OK;
    case kTvCamPropPosition: *out = reinterpret_cast<uintptr_t>(&camera_position_); return OM_S_OK;
    case kTvCamPropLookAt: *out = reinterpret_cast<uintptr_t>(&look_at_); return OM_S_OK;
    case kTvCamPropFollowed: *out = reinterpret_cast<uintptr_t>(followed_); return OM_S_OK;
    case kTvCamPropEngineCamera: *out = reinterpret_cast<uintptr_t>(engine_camera_); return OM_S_OK;
    case kTvCamPropViewMode: *out = user_value; return OM_S_OK;
    case kTvCamPropDragOffset: *out = 0; return OM_E_BADPROPERTY;
    case kTvCamPropCursorGround:
        if (!cursor_ground_point(&cursor_ground_)) {
            *out = 0;
            return OM_E_FAIL;
        }
        *out = reinterpret_cast<uintptr_t>(&cursor_ground_);
        return OM_S_OK;
    default: return TavrinObjectBase<ITvCamera>::GetProperty(id, out);
    }
}

OmResult TavrinCamera::SetCameraPosition(const LgVector* position) {
    if (!position) return OM_E_FAIL;
    camera_position_ = *position;
    rebuild_matrix();
    return OM_S_OK;
}

OmResult TavrinCamera::SetLookAt(const LgVector* point) {
    if (!point) return OM_E_FAIL;
    look_at_ = *point;
    rebuild_matrix();
    return OM_S_OK;
}

OmResult TavrinCamera::BeginUpdate() {
    if (!engine_camera_ || !LgCameraBeginUpdate(engine_camera_)) return OM_E_FAIL;
    set_state(kStateFog, 0);
    set_state(kStateMode, 4);
    set_state(LgRenderStateZTest, 1);
    set_state(LgRenderStateZWrite, 1);
    return OM_S_OK;
}

OmResult TavrinCamera::EndUpdate() {
    if (!engine_camera_ || !LgCameraEndUpdate(engine_camera_)) return OM_E_FAIL;
    return OM_S_OK;
}

OmResult TavrinCamera::RenderWorld() {
    LgWorld* tied = engine_camera_ ? LgCameraGetWorld(engine_camera_) : nullptr;
    if (tied) LgWorldRenderAtomicsInView(tied);
    return OM_S_OK;
}

OmResult TavrinCamera::Render() {
    const int32_t mode = view_mode();
    // The editor's view looks down on the map like the overhead one: a cockpit drawn over it
    // would cover the editor's information lines, so it draws none either.
    if (!followed_ || mode == kTvViewOverhead || mode == kTvViewFree || mode == kTvViewEditor)
        return OM_S_OK;
    uintptr_t flags = 0;
    followed_->GetProperty(kTvPropFlags, &flags);
    if ((flags & kTvFlagPlayerPlane) != 0 && cockpit_renderer())
        cockpit_renderer()(followed_, engine_camera_);
    return OM_S_OK;
}

void TavrinCamera::look(int32_t mode, bool pressed) {
    // Look views are taken from the chase views only, so the map, free and editor views
    // are not thrown out by a look key.
    if (pressed) {
        if (is_chase_view(view_mode())) user_value = static_cast<uintptr_t>(mode);
    } else if (view_mode() == mode) {
        user_value = kTvViewChase;
    }
}

void TavrinCamera::change_view() {
    // The chase and look views are the plane's own: the plane sends its look events every
    // frame, so only a view outside them stays. The change goes to the overhead map and back.
    const int32_t mode = view_mode();
    if (is_chase_view(mode))
        set_view_mode(kTvViewOverhead);
    else if (mode == kTvViewOverhead)
        set_view_mode(kTvViewChase);
}

void TavrinCamera::handle_input(const InputEvent& event) {
    switch (event.code) {
    case kKeyReleased:
        switch (event.value) {
        case kKeyHome: zoom_ += kZoomStep; break;
        // The zoom is a half height of the view: at 0 or below the view would turn inside
        // out, so End stops at one step.
        case kKeyEnd: zoom_ = std::max(zoom_ - kZoomStep, kZoomStep); break;
        case kKeyUp: look(kTvViewHigh, false); break;
        case kKeyDown: look(kTvViewFront, false); break;
        case kKeyLeft: look(kTvViewLeft, false); break;
        case kKeyRight: look(kTvViewRight, false); break;
        default: break;
        }
        break;
    case kKeyPressed:
        switch (event.value) {
        case kKeyUp: look(kTvViewHigh, true); break;
        case kKeyDown: look(kTvViewFront, true); break;
        case kKeyLeft: look(kTvViewLeft, true); break;
        case kKeyRight: look(kTvViewRight, true); break;
        default: break;
        }
        break;
    case kMouseX:
    case kMouseY: {
        const auto delta = static_cast<int32_t>(event.value);
        const bool x = event.code == kMouseX;
        (x ? mouse_dx_ : mouse_dy_) += delta;
        int32_t& cursor = x ? cursor_x_ : cursor_y_;
        const int32_t high =
            std::max(kCursorMargin, (x ? view_width_ : view_height_) - kCursorMargin);
        cursor = std::clamp(cursor + delta, kCursorMargin, high);
        break;
    }
    case kMouseButtonFirst:
    case kMouseButtonFirst + 1:
    case kMouseButtonFirst + 3:
    case kMouseButtonFirst + 7: {
        const uint32_t bit = event.code - (kMouseButtonFirst - 1);
        if (event.value == kMousePressed)
            mouse_buttons_ |= bit;
        else
            mouse_buttons_ &= ~bit;
        break;
    }
    default: break;
    }
}

OmResult TavrinCamera::HandleEvent(const TvEvent* event) {
    if (!event) return OM_S_OK;
    switch (event->code) {
    case kTvEventInput:
        if (event->data) handle_input(*reinterpret_cast<const InputEvent*>(event->data));
        break;
    case kTvEventLookAbove: look(kTvViewHigh, event->data != 0); break;
    case kTvEventLookLeft: look(kTvViewLeft, event->data != 0); break;
    case kTvEventLookRight: look(kTvViewRight, event->data != 0); break;
    case kTvEventLookBehind: look(kTvViewFront, event->data != 0); break;
    case kTvEventCameraChange:
        if (event->data != 0) change_view();
        break;
    default: break;
    }
    return OM_S_OK;
}

OmResult TavrinCamera::Update() {
    float dt = game ? game->GetFrameTime() : 0.0f;
    elapsed_time_ += dt;
    if (dt < 0.0f) dt = 0.0f;
    const int32_t mode = view_mode();
    if (!matrix) return OM_S_OK;
    if (is_chase_view(mode))
        update_chase(dt);
    else if (mode == kTvViewOverhead || mode == kTvViewEditor)
        update_ground_view(mode);
    else if (mode == kTvViewFree)
        update_free_view();
    return OM_S_OK;
}

namespace {

const OmClassRecord classes[] = {
    {&CLSID_TavrinCamera, nullptr, nullptr, OmCreateComponent<TavrinCamera>, "TavrinCamera"}};

} // namespace

OM_DEFINE_MODULE(TavrinCamera, classes)
