// TavrinClientGame: the chat line typed in a match and the lines received, the overlay drawn
// over every frame (player labels, chat, score list) and the menu pages' scoreboard.
#include "engine/core/lg_camera.h"
#include "engine/core/lg_vector.h"
#include "game/rules/tavrin_client_game.h"
#include "game/rules/tavrin_mission.h"
#include "game/world/tv_plane.h"
#include "net/messages/game_messages.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr uint16_t kKeyUp = 0x10;
constexpr uint16_t kKeyDown = 0x11;
constexpr uint32_t kKeyTalk = 't';
constexpr uint32_t kKeyEscape = 0x80;
constexpr uint32_t kKeyBackspace = 0xa8;
constexpr uint32_t kKeyEnter = 0xab;
constexpr uint32_t kKeyLeftShift = 0xac;
constexpr uint32_t kKeyRightShift = 0xad;
constexpr int32_t kPointerMin = 8;
constexpr int32_t kPointerMax = 632;

constexpr uint32_t kBlack = 0xff000000;
constexpr uint32_t kWhite = 0xffffffff;
constexpr uint32_t kLightGrey = 0xffcccccc;
constexpr uint32_t kGrey = 0xff999999;

constexpr float kLabelRange = 600.0f;
constexpr float kLabelRadiusSquared = 0.525f;

uintptr_t property_of(ITvObject* object, uint32_t id) {
    uintptr_t value = 0;
    if (!object || object->GetProperty(id, &value) < 0) return 0;
    return value;
}

char shifted(char c) {
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    switch (c) {
    case ';': return ':';
    case '1': return '!';
    case '/': return '?';
    case '9': return '(';
    case '0': return ')';
    default: return c;
    }
}

std::string text_of(const char (&field)[32]) {
    return std::string(field, strnlen(field, sizeof field));
}

} // namespace

bool TvPlayerLabelFor(LgCamera* camera, const LgVector& position, TvPlayerLabel* out) {
    if (!camera || !out) return false;
    LgVector p;
    LgVectorTransformPoints(&p, &position, 1, LgCameraGetViewMatrix(camera));
    const float d = p.z;
    if (!(d > 0.0f && d < kLabelRange)) return false;
    const float sx = p.x / d, sy = p.y / d;
    const float u = sx * 2.0f - 1.0f, v = sy * 2.0f - 1.0f;
    const float r2 = u * u + v * v;
    if (!(r2 < kLabelRadiusSquared)) return false;
    const float r = std::sqrt(r2);
    const float alpha = (kLabelRange - d) * 0.425f * (1.0f - 1.3333f * r);
    out->x = sx * 640.0f;
    out->y = sy * 480.0f;
    out->alpha = static_cast<uint8_t>(std::clamp(alpha, 0.0f, 255.0f));
    return true;
}

std::string TvScoreboardPlaneName(const char* plane_id) {
    static const struct {
        const char* id;
        const char* shown;
    } spaced[] = {{"tavrincamel", "tavrin camel"},
                  {"gothagiv", "gotha giv"},
                  {"handleypage", "handley page"},
                  {"fokkertriplane", "fokker triplane"}};
    const std::string id(plane_id ? plane_id : "", plane_id ? strnlen(plane_id, 32) : 0);
    const std::string name = id.size() > 5 ? id.substr(5) : std::string();
    for (const auto& s : spaced)
        if (name == s.id) return s.shown;
    return name;
}

const char* TvScoreboardStatusText(int32_t status) {
    switch (status) {
    case kTvPlaneFlying:
    case kTvPlaneStalling:
    case kTvPlaneRolling: return "Flying";
    case kTvPlaneCrashing: return "Crashing";
    case kTvPlaneCrashed: return "Grounded";
    case kTvPlaneTaxiing: return "Taxiing";
    case kTvPlaneOffMap: return "In the lobby";
    default: return "";
    }
}

// --- Input ---------------------------------------------------------------------------------

OmResult TavrinClientGame::HandleInput(const InputEvent* event) {
    if (!event) return OM_E_FAIL;
    const bool chatting = IsChatActive() != 0;
    if (settings_ && event->source == settings_->keyboard_device) chat_input(*event);
    if (!chatting) return TavrinGame::HandleInput(event);
    input_while_chatting(*event);
    return OM_S_OK;
}

bool TavrinClientGame::chat_input(const InputEvent& event) {
    const uint32_t key = event.value;
    if (key == kKeyLeftShift || key == kKeyRightShift) {
        if (event.code == kKeyDown) shift_held_ = true;
        if (event.code == kKeyUp) shift_held_ = false;
        return false;
    }
    if (event.code != kKeyUp) return false;
    if (chat_line_.empty()) {
        if (key != kKeyTalk || run_state_ == kTvRunStateEditing) return false;
        chat_line_ = kTvChatPrompt;
        return true;
    }
    switch (key) {
    case kKeyEscape: chat_line_.clear(); return true;
    case kKeyBackspace:
        if (chat_line_.size() > kTvChatPromptLength) chat_line_.pop_back();
        return true;
    case kKeyEnter:
        if (chat_line_.size() > kTvChatPromptLength) {
            TvToServerChat m;
            m.text = chat_line_.substr(kTvChatPromptLength);
            send(m);
            chat_line_.clear();
        }
        return true;
    default: break;
    }
    if (key < 0x20 || key > 0x7e) return true;
    const char c = shift_held_ ? shifted(static_cast<char>(key)) : static_cast<char>(key);
    const TvPlayerInfo* me = record(GetLocalSlot());
    const std::string measured = chat_line_ + (me ? text_of(me->name) : std::string()) + ": ";
    if (chat_line_.size() < kTvChatMaxLength &&
        TvMeasureTextWidth(mission_, measured.c_str()) < kTvChatMaxWidth)
        chat_line_ += c;
    return true;
}

void TavrinClientGame::input_while_chatting(const InputEvent& event) {
    const bool keyboard = event.source == settings_->keyboard_device;
    const bool mouse = event.source == settings_->mouse_device;
    const bool timer = event.source == settings_->timer_device && event.code == kTvInputTimerEvent;
    if (mouse && event.code == kTvInputPointerX)
        pointer_x_ =
            std::clamp(pointer_x_ + static_cast<int32_t>(event.value), kPointerMin, kPointerMax);
    if (mouse && event.code == kTvInputPointerY)
        pointer_y_ =
            std::clamp(pointer_y_ + static_cast<int32_t>(event.value), kPointerMin, kPointerMax);
    if (!keyboard && !timer) {
        const TvEvent wrapped{kTvEventInput, reinterpret_cast<uintptr_t>(&event)};
        for (int32_t i = 0; i < master_count_; ++i)
            if (master_objects_[i] && (master_update_flags_[i] & kTvTakesInput) != 0)
                master_objects_[i]->HandleEvent(&wrapped);
    }
    read_clock();
}

void TavrinClientGame::on_chat_received(const std::string& text) {
    if (text.empty() || outcome_ >= kTvOutcomeFinished) return;
    chat_lines_[0] = std::move(chat_lines_[1]);
    chat_lines_[1] = std::move(chat_lines_[2]);
    chat_lines_[2] = text;
}

// --- Overlay -------------------------------------------------------------------------------

namespace {

void draw_overlay(LgRaster* raster, void* context) {
    static_cast<TavrinClientGame*>(context)->DrawOverlay(raster);
}

} // namespace

OmResult TavrinClientGame::Render(TvOverlayCallback callback, void* context) {
    overlay_callback_ = callback;
    overlay_context_ = context;
    return TavrinGame::Render(draw_overlay, this);
}

void TavrinClientGame::DrawOverlay(LgRaster* raster) {
    if (overlay_callback_) overlay_callback_(raster, overlay_context_);
    DrawScoreList();
    const int32_t local = GetLocalSlot();
    for (int32_t slot = 0; slot < static_cast<int32_t>(records_.size()); ++slot) {
        const TvPlayerInfo* r = records_[slot].get();
        ITvObject* plane = player_plane(slot);
        if (slot == local || !r || !plane ||
            property_of(plane, kTvPlanePropState) == kTvPlaneOffMap)
            continue;
        const auto* position =
            reinterpret_cast<const LgVector*>(property_of(plane, kTvPropPosition));
        TvPlayerLabel label;
        if (!position || !TvPlayerLabelFor(TvCurrentCamera, *position, &label)) continue;
        DrawText(label.x, label.y, text_of(r->name).c_str(), uint32_t{label.alpha} << 24);
    }
    if (!chat_line_.empty()) {
        DrawText(10.0f, 401.0f, chat_line_.c_str(), kBlack);
        DrawText(12.0f, 400.0f, chat_line_.c_str(), kWhite);
    }
    // Newest (the last line) on top.
    const uint32_t colours[kTvChatLineCount] = {kWhite, kLightGrey, kGrey};
    for (int32_t row = 0; row < kTvChatLineCount; ++row) {
        const std::string& line = chat_lines_[kTvChatLineCount - 1 - row];
        if (!line.empty())
            DrawText(10.0f, 421.0f + 20.0f * static_cast<float>(row), line.c_str(), kBlack);
    }
    for (int32_t row = 0; row < kTvChatLineCount; ++row) {
        const std::string& line = chat_lines_[kTvChatLineCount - 1 - row];
        if (!line.empty())
            DrawText(12.0f, 420.0f + 20.0f * static_cast<float>(row), line.c_str(), colours[row]);
    }
}

std::vector<int32_t> TavrinClientGame::ScoreOrder() const {
    std::vector<int32_t> order;
    for (int32_t slot = 0; slot < static_cast<int32_t>(records_.size()); ++slot)
        if (records_[slot] && records_[slot]->kills >= -1000) order.push_back(slot);
    std::sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
        const int32_t ka = records_[a]->kills, kb = records_[b]->kills;
        return ka != kb ? ka > kb : a > b;
    });
    if (order.size() > TV_PLAYER_SLOTS) order.resize(TV_PLAYER_SLOTS);
    return order;
}

void TavrinClientGame::DrawScoreList() {
    const int32_t width = settings_ && settings_->width > 0 ? settings_->width : 640;
    const float k = 640.0f / static_cast<float>(width);
    const std::vector<int32_t> order = ScoreOrder();
    for (size_t i = 0; i < order.size(); ++i) {
        const TvPlayerInfo& r = *records_[order[i]];
        const float y = 20.0f * static_cast<float>(i);
        const std::string name = text_of(r.name) + ":";
        char kills[16];
        std::snprintf(kills, sizeof kills, "%d", r.kills);
        DrawText(485.0f * k, (321.0f + y) * k, name.c_str(), kBlack);
        DrawText(487.0f * k, (320.0f + y) * k, name.c_str(), kWhite);
        DrawText(620.0f * k, (321.0f + y) * k, kills, kBlack);
        DrawText(622.0f * k, (320.0f + y) * k, kills, kWhite);
    }
}

OmResult TavrinClientGame::BuildScoreboard(std::string* html) {
    if (!html || !player_planes_ || !settings_) return OM_E_FAIL;
    constexpr const char* kCell = "<td>%s<IMG WIDTH=5></td>";
    auto cell = [&](const std::string& text) {
        char buffer[128];
        std::snprintf(buffer, sizeof buffer, kCell, text.c_str());
        return std::string(buffer);
    };
    std::string out = "<table><tr>";
    for (const char* heading : {"Name", "Side", "Plane", "Status", "Kills"}) out += cell(heading);
    out += "</tr>\n";
    for (int32_t slot : ScoreOrder()) {
        ITvObject* plane = player_plane(slot);
        if (!plane) continue;
        const TvPlayerInfo& r = *records_[slot];
        const auto status = static_cast<int32_t>(property_of(plane, kTvPlanePropState));
        out += "<tr>";
        out += cell(text_of(r.name));
        out += cell((r.sideFlags & 0x100) ? "Allied" : "Central");
        out += cell(TvScoreboardPlaneName(r.planeId));
        out += cell(TvScoreboardStatusText(status));
        out += cell(std::to_string(r.kills));
        out += "</tr>\n";
    }
    out += "</table>\n";
    *html = std::move(out);
    return OM_S_OK;
}
