// The game's side of the mission editor: with "[editing] enabled=1" in the settings, F9 enters
// and leaves the editing state (the clock stands, nothing is judged, the view is the editor's),
// F8 saves the edited mission, and while editing the input goes to the camera and the editor
// alone.
#include "game/rules/tavrin_game.h"
#include "game/tv_frontend_services.h"
#include "platform/clock.h"

#include <cstdio>

namespace {

constexpr const char* kSource = "tvopgame";
constexpr uint16_t kKeyReleased = 16;
constexpr uint16_t kKeyPressed = 17;
constexpr uint32_t kKeyF8 = 0x88;
constexpr uint32_t kKeyF9 = 0x89;
constexpr uint32_t kEditorEventCursor = 1;
constexpr uint32_t kNoteMs = 3000;
constexpr float kEditorEyeLift = 200.0f;
// The shipped missions: a damaged file of theirs ends the program at load.
constexpr int32_t kFirstShippedMission = 101;
constexpr int32_t kLastShippedMission = 103;

} // namespace

bool TavrinGame::take_editor_key(const InputEvent& event) {
    if (!editor_switch_ || (event.code != kKeyReleased && event.code != kKeyPressed)) return false;
    const bool released = event.code == kKeyReleased;
    if (event.value == kKeyF9) {
        if (released) {
            if (run_state_ == kTvRunStateEditing)
                leave_editor();
            else if (run_state_ == kTvRunStateRunning)
                enter_editor();
        }
        return true;
    }
    if (event.value == kKeyF8 && run_state_ == kTvRunStateEditing) {
        if (released) save_edited_mission();
        return true;
    }
    return false;
}

void TavrinGame::enter_editor() {
    run_state_ = kTvRunStateEditing;
    ITvCamera* camera = viewport_cameras_[0];
    if (!camera) return;
    uintptr_t position = 0;
    LgVector eye{};
    if (camera->GetProperty(kTvPropPosition, &position) >= 0 && position)
        eye = *reinterpret_cast<const LgVector*>(position);
    eye.y += kEditorEyeLift;
    camera->SetProperty(kTvCamPropViewMode, kTvViewEditor);
    camera->SetProperty(kTvCamPropPosition, reinterpret_cast<uintptr_t>(&eye));
}

void TavrinGame::leave_editor() {
    run_state_ = kTvRunStateRunning;
    // A player plane the editor deleted is out of the game: its slot is empty now, so the
    // mission is judged without it.
    for (int32_t slot = 0; slot < player_slot_count_; ++slot) {
        ITvObject* plane = player_planes_[slot];
        bool listed = false;
        for (int32_t i = 0; i < master_count_ && plane && !listed; ++i)
            listed = master_objects_[i] == plane;
        if (plane && !listed) SetPlayerPlane(nullptr, 0, slot);
    }
    if (ITvCamera* camera = viewport_cameras_[0])
        camera->SetProperty(kTvCamPropViewMode, kTvViewChase);
}

void TavrinGame::save_edited_mission() {
    if (!mission_) return;
    const int32_t number = TvGameGetMissionNumber(this);
    char text[sizeof(editor_note_)];
    if (number >= kFirstShippedMission && number <= kLastShippedMission) {
        std::snprintf(text, sizeof(text), "Mission %d is a shipped mission and is not saved",
                      number);
    } else if (mission_->SaveMission(number) < 0) {
        std::snprintf(text, sizeof(text), "Could not save mission %d", number);
    } else {
        std::snprintf(text, sizeof(text), "Mission %d saved", number);
    }
    TvLogError(kSource, __LINE__, text);
    std::snprintf(editor_note_, sizeof(editor_note_), "%s", text);
    editor_note_until_ = platform::timeGetTime() + kNoteMs;
}

void TavrinGame::route_editor_input(const InputEvent& event) {
    const TvEvent wrapped{kTvEventInput, reinterpret_cast<uintptr_t>(&event)};
    ITvCamera* camera = viewport_cameras_[0];
    if (camera) camera->HandleEvent(&wrapped);
    if (!mission_) return;
    uintptr_t ground = 0;
    if (camera && camera->GetProperty(kTvCamPropCursorGround, &ground) >= 0 && ground) {
        const TvEvent cursor{kEditorEventCursor, ground};
        mission_->HandleEditorInput(&cursor);
    }
    mission_->HandleEditorInput(&wrapped);
}

void TavrinGame::draw_editor_note() {
    if (!mission_ || !editor_note_[0]) return;
    if (static_cast<int32_t>(editor_note_until_ - platform::timeGetTime()) <= 0) {
        editor_note_[0] = '\0';
        return;
    }
    const float sx = static_cast<float>(TvGetScreenWidth()) / 640.0f;
    const float sy = static_cast<float>(TvGetScreenHeight()) / 480.0f;
    mission_->DrawText(10.0f * sx, 70.0f * sy, editor_note_, 0);
}
