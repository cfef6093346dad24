// The game camera: a game object owning an engine camera that chases the followed object
// from the player's chosen view, shows the overhead map and the editor's views, carries the
// sound listener and has the followed plane draw its cockpit.
#pragma once

#include "engine/world/lg_collision.h"
#include "game/world/tv_camera.h"
#include "media/input/input_event.h"

class TavrinCamera final : public TavrinObjectBase<ITvCamera> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ITvObject, this}, {&IID_ITvCamera, this}});
    }
    // The record must name the world, the frame-buffer raster and the depth raster
    // (OM_E_BADPROPERTY otherwise, the record left with the caller). Once the base has taken
    // the record the camera owns it, even when a later step fails (OM_E_FAIL).
    OmResult Create(TvCreateDescriptor* descriptor) override;
    // Safe to run more than once: the game destroys its viewport camera, and the last Release
    // runs Destroy again.
    OmResult Destroy() override;
    OmResult SetProperty(uint32_t id, uintptr_t value) override;
    OmResult GetProperty(uint32_t id, uintptr_t* out) override;
    OmResult Render() override;
    OmResult Update() override;
    OmResult HandleEvent(const TvEvent* event) override;
    // The camera takes no damage.
    OmResult AddDamage(float, int32_t) override { return OM_S_OK; }
    int32_t IsDead() override { return 0; }
    OmResult SetDamage(uint32_t, float, uint32_t) override { return OM_S_OK; }

    OmResult SetCameraPosition(const LgVector* position) override;
    OmResult SetLookAt(const LgVector* point) override;
    OmResult BeginUpdate() override;
    OmResult EndUpdate() override;
    OmResult RenderWorld() override;

    // Seen by the tests.
    int32_t view_mode() const { return static_cast<int32_t>(user_value); }
    float zoom() const { return zoom_; }
    uint32_t mouse_buttons() const { return mouse_buttons_; }
    int32_t cursor_x() const { return cursor_x_; }
    int32_t cursor_y() const { return cursor_y_; }
    float elapsed_time() const { return elapsed_time_; }
    const char* cursor_image_name() const { return cursor_image_; }
    const char* cursor_mask_name() const { return cursor_mask_; }

private:
    void set_view_mode(int32_t mode);
    void rebuild_matrix();
    void update_chase(float dt);
    void update_ground_view(int32_t mode);
    void update_free_view();
    // The look view `mode` while `pressed`; on release back to the chase view when the view
    // is still that one.
    void look(int32_t mode, bool pressed);
    // The camera-change binding: from a chase or look view to the overhead map, and back.
    void change_view();
    void handle_input(const InputEvent& event);
    void destroy_engine_camera();
    bool ground_point(const LgLine& line, LgVector* hit) const;
    // Where the ray through the cursor meets the world's triangles.
    bool cursor_ground_point(LgVector* hit) const;
    float ground_height_below(const LgVector& point, float fallback) const;

    LgCamera* engine_camera_ = nullptr; // owned
    int32_t view_width_ = 0, view_height_ = 0;
    LgVector camera_position_{};
    LgVector look_at_{};
    float zoom_ = 200.0f;
    uint32_t mouse_buttons_ = 0;
    int32_t mouse_dx_ = 0, mouse_dy_ = 0;
    LgVector drag_offset_{};
    LgVector anchor_{};
    LgVector cursor_ground_{}; // property 777's answer
    bool anchor_held_ = false;
    int32_t cursor_x_ = 0, cursor_y_ = 0;
    ITvObject* followed_ = nullptr; // not reference-counted
    float elapsed_time_ = 10.0f;
    LgTexture* cursor_texture_ = nullptr;
    TvCameraDescriptor* record_ = nullptr; // owned, freed through the framework allocator
    char cursor_image_[32]{};
    char cursor_mask_[32]{};
};

OM_DECLARE_MODULE(TavrinCamera);
inline OmResult TvRegisterCameraClass(IObjectManager* manager) {
    return TavrinCamera_RegisterClasses(manager);
}
