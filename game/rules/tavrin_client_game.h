// TavrinClientGame: the game component of a multiplayer match. It is the game component
// extended in place: the same registry, frame and render, plus one player record per slot, the
// network's messages turned into changes of the world, the local plane's reports, the chat line,
// the in-game overlay (player labels, chat, score list) and the menu pages' scoreboard.
#pragma once

#include "game/rules/tavrin_game.h"
#include "game/rules/tv_client_game.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct IOmAerovantClient;

inline constexpr int32_t kTvChatLineCount = 3;
inline constexpr char kTvChatPrompt[] = "Talk: ";
inline constexpr size_t kTvChatPromptLength = 6;
inline constexpr size_t kTvChatMaxLength = 256; // characters typed while shorter than this
inline constexpr int32_t kTvChatMaxWidth = 450; // pixels of line + name + ": "
// The farthest a position from the network may lie from the origin on each axis: the range
// plane records carry positions in. A respawn or a joining player placed beyond it is refused.
inline constexpr float kTvNetPositionLimit = 65536.0f;

// True when the position words (12, 13, 14) of a received matrix lie within the limit.
bool TvNetPositionFits(const float matrix[16]);

// One label of the overlay: where a player's name goes on the 640 x 480 layout and its alpha.
struct TvPlayerLabel {
    float x;
    float y;
    uint8_t alpha;
};

// The label of a point seen by the camera (its view matrix of this frame): false when the point
// lies behind, beyond 600, or outside the circle r < sqrt(0.525) of the view's centre.
bool TvPlayerLabelFor(LgCamera* camera, const LgVector& position, TvPlayerLabel* out);

// The launch frame of another player's replayed shot: at along `at`, right = (0, 1, 0) x at
// normalised, up = at x right, at `position`. A vertical `at` takes the right row (1, 0, 0).
LgMatrix TvRemoteFireFrame(LgVector at, LgVector position);

// The scoreboard's name of a plane id: without its "multi" prefix, spaced where the menus
// space it ("tavrin camel", "gotha giv", "handley page", "fokker triplane").
std::string TvScoreboardPlaneName(const char* plane_id);
// The scoreboard's text of a plane status (empty outside 1..7).
const char* TvScoreboardStatusText(int32_t status);

// A match as it stands, to be started again on the mission already loaded: the players in
// their slots (their records, matrices and statuses included), the local slot, the outcome,
// the clock offsets and the chat lines. The mission's own objects are not kept: a restart
// places them as the mission does.
struct TvClientMatchState {
    std::vector<std::optional<TvPlayerInfo>> players; // one per player slot
    int32_t local_slot = 0;
    int32_t outcome = 0;
    int32_t clock_offset = 0;
    int32_t clock_adjustment = 0;
    std::string chat_lines[kTvChatLineCount];
};

class TavrinClientGame : public TavrinGame, public ITvClientGame {
public:
    // The one instance while it exists (cleared by the last Release).
    static TavrinClientGame* instance;

    TavrinClientGame() = default;
    ~TavrinClientGame() override;

    OmResult QueryInterface(const GUID& iid, void** out) override;
    uint32_t AddRef() override { return TavrinGame::AddRef(); }
    uint32_t Release() override { return TavrinGame::Release(); }

    // --- ITvGame: the client game's own slots ---
    OmResult Create(TvGameSettings* settings) override;
    OmResult Restart() override;
    OmResult Destroy() override;
    OmResult Update() override;
    OmResult Render(TvOverlayCallback callback, void* context) override;
    OmResult HandleInput(const InputEvent* event) override;
    OmResult DrawText(float x, float y, const char* text, uint32_t colour) override;
    OmResult SetPlayerPlane(ITvObject* plane, int32_t with_camera, int32_t slot) override;
    OmResult DealDamage(ITvObject* object, float amount, int32_t attacker_id) override;
    // The local plane's report (message 25), asked for by its pre-send callback.
    OmResult SendObjectUpdate(ITvObject* object, uintptr_t value) override;

    // --- ITvClientGame ---
    OmResult OnSystemEvent(const OmTransportMessage* event) override;
    OmResult HandleMessage(IBinaryStreamComposer* packet, uint16_t type, uint16_t flags) override;
    OmResult ClearOutcome() override;
    OmResult AddPlayer(ITvObject* plane, int32_t local, const TvPlayerInfo* info,
                       int32_t slot) override;
    OmResult SetClock(int32_t server_time, int32_t adjustment) override;
    OmResult BuildScoreboard(std::string* html) override;
    OmResult ChangeMission(int32_t mission_number) override;
    OmResult DeductKill(int32_t slot) override;
    OmResult CreatePlayerPlane(const TvPlayerInfo* info, int32_t slot, int32_t local,
                               ITvObject** out) override;
    OmResult JoinLocalPlayer(const TvPlayerInfo* info, int32_t slot) override;
    ITvObject* GetPlayerPlane(int32_t slot) override { return player_plane(slot); }
    int32_t GetPlayerSlotCount() override { return player_slot_count_; }
    int32_t GetLocalSlot() override { return settings_ ? settings_->local_player : 0; }
    const TvPlayerInfo* GetPlayerRecord(int32_t slot) override { return record(slot); }
    int32_t IsChatActive() override { return chat_line_.empty() ? 0 : 1; }

    // --- Beyond the interfaces ---

    // After every Update (and after a status change in the lobby): planes with status 7 leave
    // the world, others come back; the records take the planes' matrices; the local plane's
    // end gives outcome 0x21 and status 7.
    void SyncPlayerPlanes();
    // The overlay drawn into the frame: the front end's callback, the score list, the labels,
    // the chat line and the three chat lines.
    void DrawOverlay(LgRaster* raster);
    void DrawScoreList();
    // The slots of the players in score order (kills, highest first; the later slot first among
    // equals; kills below -1000 left out).
    std::vector<int32_t> ScoreOrder() const;

    // The match as it stands (see TvClientMatchState).
    TvClientMatchState SaveMatch() const;
    // Starts the loaded mission again in place, without reading any file: every object and
    // player plane let go, the mission's objects placed anew, each saved player's plane made
    // again from its record (the local one reporting to the queue again), and the outcome,
    // clocks and chat lines as saved; the chat input line closed. OM_E_FAIL without a session
    // or for a state of another slot count (nothing changed); players whose plane cannot be
    // made again stay listed without a plane, as after a level switch.
    OmResult RestartMatch(const TvClientMatchState& state);

    IOmAerovantClient* network_client() const { return network_client_; }
    const std::string& chat_line() const { return chat_line_; }
    const std::string& chat_history(int32_t i) const { return chat_lines_[i]; }
    int32_t clock_offset() const { return clock_offsets_[0]; }
    int32_t clock_adjustment() const { return clock_offsets_[1]; }
    TvPlayerInfo* record(int32_t slot) const;

protected:
    ITvObject* FindNearestObject(const LgVector* position) override;
    void update_outcome() override;

    // Message handlers (tv_client_game_messages.cpp).
    void on_player_joined(const TvPlayerInfo& info, uint32_t slot);
    void on_plane_states(IBinaryStreamComposer* packet);
    void on_status(uint32_t slot, int32_t status);
    void on_remote_fire(IBinaryStreamComposer* packet);
    void on_respawn(const float* matrix, uint32_t slot);
    void on_player_left(uint32_t slot);
    void on_chat_received(const std::string& text);

    // The chat line's keys (tv_client_game_chat.cpp); true when the event was the line's.
    bool chat_input(const InputEvent& event);
    // The game's input handling while the line is open: keyboard events reach no object.
    void input_while_chatting(const InputEvent& event);

    // A slot's player out: record freed, plane out of the game and released.
    void remove_player(int32_t slot);
    void free_records();
    void free_entries();
    // The local plane as the packet queue's pre-send callback (its report), and taken out
    // again before the plane goes.
    void install_report(ITvObject* plane);
    // A listed player's plane made again on the current mission; without one the record stays.
    OmResult add_player_again(const TvPlayerInfo& info, int32_t slot, bool local);
    void remove_report();
    // Sends a message built by `encode` (the network client's packet). OM_E_FAIL without a
    // client or when encoding fails.
    template <class Message>
    OmResult send(const Message& message);

    IOmAerovantClient* network_client_ = nullptr; // one reference
    std::vector<std::unique_ptr<TvPlayerInfo>> records_;
    // The air entries the players' planes were made from (their descriptors while they live).
    std::vector<TvMissionAirEntry*> entries_;
    TvOverlayCallback overlay_callback_ = nullptr;
    void* overlay_context_ = nullptr;
    std::string chat_line_;
    std::string chat_lines_[kTvChatLineCount]; // oldest first
    bool shift_held_ = false;
    bool report_installed_ = false;
};

OM_DECLARE_MODULE(TavrinClientGame);
