// TavrinMission: the component, its clock, the goal evaluation, the score and the
// reinforcement thresholds.
#include "game/rules/tavrin_mission.h"

#include "game/rules/tv_game.h"
#include "game/tv_frontend_services.h"

#include <cstdio>

namespace {

constexpr int32_t kAccomplishedScore = 500;
constexpr float kClockOffsetX = 20.0f;
constexpr float kClockY = 10.0f;

const OmClassRecord classes[] = {
    {&CLSID_TavrinMission, nullptr, nullptr, OmCreateComponent<TavrinMission>, "TavrinMission"}};

} // namespace

OM_DEFINE_MODULE(TavrinMission, classes)

TavrinMission::~TavrinMission() {
    Unload();
}

OmResult TavrinMission::QueryInterface(const GUID& iid, void** out) {
    return om_query_interface(iid, out, {{&IID_ITvMission, this}});
}

uint32_t TavrinMission::Release() {
    if (ref_count_ != 1) return --ref_count_;
    delete this;
    return 0;
}

OmResult TavrinMission::Update() {
    if (game) elapsed += game->GetFrameTime();
    return OM_S_OK;
}

OmResult TavrinMission::Unload() {
    // What the editor deleted goes first, while the landscape it was made on is still held.
    release_removed_objects();
    for (int32_t i = ground_kind_count - 1; i >= 0; --i) {
        if (ground_kinds[i]) ground_kinds[i]->Release();
        ground_kinds[i] = nullptr;
    }
    ground_kind_count = 0;
    for (int32_t i = 0; i < plane_kind_count; ++i) {
        if (plane_kinds[i]) plane_kinds[i]->Release();
        plane_kinds[i] = nullptr;
    }
    plane_kind_count = 0;
    for (int32_t i = 0; i < vehicle_kind_count; ++i) {
        if (vehicle_kinds[i]) vehicle_kinds[i]->Release();
        vehicle_kinds[i] = nullptr;
    }
    vehicle_kind_count = 0;
    // The entries point at the archetypes just released: none of them may be spawned again.
    ground_entry_count = vehicle_entry_count = air_entry_count = 0;
    if (landscape) landscape->Release();
    landscape = nullptr;
    release_text_chain();
    release_goal_icons();
    editor = {};
    return OM_S_OK;
}

int32_t TavrinMission::Evaluate() {
    bool keep = true, destroy = true;
    int32_t goals = 0;
    for (int32_t g = 0; g < kTvMissionGroupGoals; ++g) {
        const float goal = group_goals[g];
        if (goal == 0.0f) continue;
        const float strength = game ? game->GetGroupStrength(g) : 0.0f;
        if (goal > 0.0f) {
            if (strength < goal) keep = false;
        } else if (-goal > 100.0f - strength) {
            destroy = false;
        }
        ++goals;
    }
    // Time is judged first: goals met in the frame the time runs out still lose.
    if (time_limit > 0.0f && elapsed > time_limit)
        outcome = kTvOutcomeTimeUp;
    else if (goals > 0 && keep && destroy)
        outcome = kTvOutcomeAccomplished;
    else if (goals > 0 && !keep)
        outcome = kTvOutcomeFailed;
    return outcome;
}

int32_t TavrinMission::GetScore() {
    int32_t score = outcome == kTvOutcomeAccomplished ? kAccomplishedScore : 0;
    for (int32_t g = 0; g < kTvMissionGroupGoals; ++g) {
        const float strength = game ? game->GetGroupStrength(g) : 0.0f;
        if (group_goals[g] > 0.0f) score += static_cast<int32_t>(strength);
        if (group_goals[g] < 0.0f) score += static_cast<int32_t>(100.0f - strength);
    }
    return score;
}

int32_t TavrinMission::GetReinforcementsEarned(int32_t value) {
    int32_t earned = 0;
    for (int32_t i = 0; i < reinforcement_count; ++i)
        if (reinforcement_thresholds[i] <= value) earned = i + 1;
    return earned;
}

OmResult TavrinMission::DrawClock(ITvObject*) {
    if (time_limit <= 0.0f || !text_renderer) return OM_S_OK;
    const auto remaining = static_cast<int32_t>(time_limit - elapsed);
    int32_t minutes = remaining / 60;
    int32_t seconds = remaining - 60 * minutes;
    if (minutes < 0) minutes = 0;
    if (seconds < 0) seconds = 0;
    char text[32];
    std::snprintf(text, sizeof(text), "%d:%02d", minutes, seconds);
    draw_line(static_cast<float>(TvGetScreenWidth()) * 0.5f - kClockOffsetX, kClockY, text,
              nullptr);
    return OM_S_OK;
}
