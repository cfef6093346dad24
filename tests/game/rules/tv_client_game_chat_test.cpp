// The client game's chat line (typing, sending, receiving), the overlay it draws over every
// frame (player labels, chat, score list) through a recording DrawText, and the scoreboard of
// the menu pages.
#include "engine/core/lg_camera.h"
#include "engine/core/lg_frame.h"
#include "tests/game/rules/client_game_test_support.h"

namespace clientgametest {
namespace {

using mpserver::Message;
namespace msg = mpserver::msg;

struct Drawn {
    float x, y;
    std::string text;
    uint32_t colour;
    bool operator==(const Drawn&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Drawn& d) {
    return out << "(" << d.x << ", " << d.y << ", \"" << d.text << "\", " << std::hex << d.colour
               << std::dec << ")";
}

// The client game with its text drawing recorded.
class RecordingGame final : public TavrinClientGame {
public:
    OmResult DrawText(float x, float y, const char* text, uint32_t colour) override {
        drawn.push_back({x, y, text, colour});
        return OM_S_OK;
    }
    std::vector<Drawn> drawn;
};

// An object that takes input and keeps what reached it.
class InputProbe final : public TavrinObjectBase<ITvObject> {
public:
    OmResult HandleEvent(const TvEvent* event) override {
        if (event->code == kTvEventInput)
            events.push_back(*reinterpret_cast<const InputEvent*>(event->data));
        return OM_S_OK;
    }
    std::vector<InputEvent> events;
};

constexpr uint16_t kKeyboard = 0x101;
constexpr uint16_t kMouse = 0x102;

class ChatTest : public ClientGameTest {
protected:
    ITvGame* create_game() override {
        recording = new RecordingGame;
        return recording;
    }
    void SetUp() override {
        ClientGameTest::SetUp();
        ASSERT_EQ(join_local(0), OM_S_OK);
    }
    void key(uint32_t value, uint16_t kind = 0x10) {
        const InputEvent e{kKeyboard, kind, 0, value};
        game->HandleInput(&e);
    }
    void type(const std::string& text) {
        for (char c : text) key(static_cast<unsigned char>(c));
    }
    std::vector<std::string> chats_sent() const {
        std::vector<std::string> out;
        for (const Message& m : decoded(*client, msg::chat)) out.push_back(m.text("text"));
        return out;
    }
    int32_t width(const std::string& text) {
        return TvMeasureTextWidth(game->GetMission(), text.c_str());
    }

    RecordingGame* recording = nullptr;
};

TEST_F(ChatTest, TypingAChatLine) {
    struct Case {
        const char* what;
        std::vector<std::pair<uint32_t, uint16_t>> keys; // value, kind
        std::string line;
        std::vector<std::string> sent;
    } cases[] = {
        {"t opens the line", {{'t', 0x10}}, "Talk: ", {}},
        {"t is typed once open", {{'t', 0x10}, {'t', 0x10}, {'o', 0x10}}, "Talk: to", {}},
        {"key downs type nothing", {{'t', 0x10}, {'a', 0x11}}, "Talk: ", {}},
        {"the shift map",
         {{'t', 0x10},
          {0xac, 0x11},
          {'a', 0x10},
          {';', 0x10},
          {'1', 0x10},
          {'/', 0x10},
          {'9', 0x10},
          {'0', 0x10},
          {'-', 0x10},
          {0xac, 0x10},
          {'b', 0x10}},
         "Talk: A:!?()-b",
         {}},
        {"right shift too", {{'t', 0x10}, {0xad, 0x11}, {'q', 0x10}}, "Talk: Q", {}},
        {"backspace keeps the prompt",
         {{'t', 0x10}, {'h', 0x10}, {0xa8, 0x10}, {0xa8, 0x10}, {0xa8, 0x10}},
         "Talk: ",
         {}},
        {"enter on the prompt alone sends nothing", {{'t', 0x10}, {0xab, 0x10}}, "Talk: ", {}},
        {"enter sends the text", {{'t', 0x10}, {'h', 0x10}, {'i', 0x10}, {0xab, 0x10}}, "", {"hi"}},
        {"escape clears", {{'t', 0x10}, {'h', 0x10}, {0x80, 0x10}}, "", {}},
        {"keys that are no characters", {{'t', 0x10}, {0x95, 0x10}, {0x7f, 0x10}}, "Talk: ", {}},
    };
    for (const Case& c : cases) {
        key(0x80);
        key(0xac, 0x10);
        client->queued.clear();
        for (auto [value, kind] : c.keys) key(value, kind);
        EXPECT_EQ(game->chat_line(), c.line) << c.what;
        EXPECT_EQ(game->IsChatActive(), c.line.empty() ? 0 : 1) << c.what;
        EXPECT_EQ(chats_sent(), c.sent) << c.what;
        for (const Sent& s : client->queued) EXPECT_EQ(s.flags, 0xa1) << c.what;
    }
    // The 44's length is the text's.
    key(0x80);
    client->queued.clear();
    type("tgood luck");
    key(0xab);
    ASSERT_EQ(client->queued.size(), 1u);
    ComRef<IBinaryStreamComposer> packet = reader(client->queued[0].bytes);
    int32_t n = 0;
    packet->Int(&n);
    EXPECT_EQ(n, 9);
    // The editor's run state opens no line.
    game->set_run_state(kTvRunStateEditing);
    key('t');
    EXPECT_EQ(game->IsChatActive(), 0);
    game->set_run_state(kTvRunStateRunning);
}

TEST_F(ChatTest, TheLineStopsAt450PixelsAnd256Characters) {
    key('t');
    type(std::string(200, 'm'));
    const std::string line = game->chat_line();
    ASSERT_GT(line.size(), 6u);
    ASSERT_LT(line.size(), 200u);
    // The last character was taken while the line, the name and ": " measured under 450.
    EXPECT_LT(width(line.substr(0, line.size() - 1) + "me: "), 450);
    EXPECT_GE(width(line + "me: "), 450);
    // Without a font (no widths) the count stops it.
    key(0x80);
    auto* mission = static_cast<TavrinMission*>(game->GetMission());
    IFontCache* cache = std::exchange(mission->font_cache, nullptr);
    key('t');
    type(std::string(300, 'x'));
    mission->font_cache = cache;
    EXPECT_EQ(game->chat_line().size(), 256u);
    key(0xab);
    const auto sent = chats_sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].size(), 250u);
}

TEST_F(ChatTest, WhileTheLineIsOpenKeyboardEventsReachNoObject) {
    auto* probe = new InputProbe;
    TvCreateDescriptor d{};
    d.id = 4000;
    LgMatrixSetIdentity(&d.matrix);
    probe->Create(&d);
    ASSERT_EQ(game->AddObject(probe, kTvEventMaskWorldObject, kTvTakesInput), OM_S_OK);
    probe->Release();
    key('x');
    EXPECT_EQ(probe->events.size(), 1u);
    key('t'); // the key that opens the line still reaches the objects
    EXPECT_EQ(probe->events.size(), 2u);
    key('x');
    key(0xab, 0x11);
    const InputEvent timer{kTvTimerDeviceId, kTvInputTimerEvent, 0, 16};
    game->HandleInput(&timer);
    EXPECT_EQ(probe->events.size(), 2u);
    const InputEvent mouse_x{kMouse, kTvInputPointerX, 0, 700};
    const InputEvent button{kMouse, 0x41, 0, 0x23};
    game->HandleInput(&mouse_x);
    game->HandleInput(&button);
    EXPECT_EQ(probe->events.size(), 4u);
    EXPECT_EQ(game->pointer_x(), 632);
    key(0x80); // the Escape that closes the line is the line's
    EXPECT_EQ(probe->events.size(), 4u);
    key('y');
    EXPECT_EQ(probe->events.size(), 5u);
}

TEST_F(ChatTest, ReceivedLinesMoveUpUntilTheMatchEnds) {
    for (const char* text : {"a: one", "b: two", "c: three", "d: four"})
        ASSERT_EQ(deliver(Message(msg::chat).set_text("text", text)), OM_S_OK);
    EXPECT_EQ(game->chat_history(0), "b: two");
    EXPECT_EQ(game->chat_history(1), "c: three");
    EXPECT_EQ(game->chat_history(2), "d: four");
    ASSERT_EQ(deliver(Message(msg::match_finished).set("slot", 0)), OM_S_OK);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(game->chat_history(i), "");
    deliver(Message(msg::chat).set_text("text", "e: late"));
    EXPECT_EQ(game->chat_history(2), "");
}

class OverlayTest : public ChatTest {
protected:
    void SetUp() override {
        ChatTest::SetUp();
        camera = LgCameraCreate();
        frame = LgFrameCreate();
        LgCameraSetFrame(camera, frame);
        LgCameraSyncDefault(camera); // at the origin looking along +z
    }
    void TearDown() override {
        TvCurrentCamera = nullptr;
        LgCameraSetFrame(camera, nullptr);
        LgCameraDestroy(camera);
        LgFrameDestroy(frame);
        ChatTest::TearDown();
    }
    LgCamera* camera = nullptr;
    LgFrame* frame = nullptr;
};

TEST_F(OverlayTest, LabelPointsAndAlphas) {
    struct Case {
        LgVector at;
        bool shown;
        float x, y;
        int alpha;
    } cases[] = {
        {{0, 0, 100}, true, 320, 240, 212},   // (600 - 100) x 0.425
        {{-20, 0, 100}, true, 384, 240, 155}, // r 0.2: x (1 - 0.26666)
        {{0, 10, 50}, true, 320, 192, 171},   // r 0.2 at 50
        {{0, 0, 599}, true, 320, 240, 0},
        {{0, 0, 601}, false, 0, 0, 0},
        {{0, 0, -50}, false, 0, 0, 0},
        {{-80, 0, 100}, false, 0, 0, 0}, // r 0.8
        {{-72, 0, 100}, true, 550.4f, 240, 8},
        {{-73, 0, 100}, false, 0, 0, 0}, // r 0.73 > sqrt(0.525)
    };
    for (const Case& c : cases) {
        TvPlayerLabel label{};
        ASSERT_EQ(TvPlayerLabelFor(camera, c.at, &label), c.shown) << c.at.x << " " << c.at.z;
        if (!c.shown) continue;
        EXPECT_NEAR(label.x, c.x, 0.01f) << c.at.x;
        EXPECT_NEAR(label.y, c.y, 0.01f) << c.at.y;
        EXPECT_EQ(label.alpha, c.alpha) << c.at.x << " " << c.at.z;
    }
}

TEST_F(OverlayTest, TheOverlayDrawsScoresLabelsAndChat) {
    // Players: the local one (no label), one in front of the camera, one in the lobby.
    ASSERT_EQ(join_remote(3, "multifokkertriplane", {500, 400, 500}, 1, "red"), OM_S_OK);
    ASSERT_EQ(join_remote(5, "multifokkertriplane", {500, 400, 600}, 7, "blue"), OM_S_OK);
    LgMatrix* m = LgFrameGetMatrix(frame);
    m->pos = {500, 400, 400};
    LgFrameMarkDirty(frame);
    LgFrameGetWorldMatrix(frame);
    LgCameraSyncDefault(camera);
    for (auto [slot, kills] : {std::pair{0, 2}, {3, 5}, {5, 2}})
        deliver(Message(msg::kill_scored).set("slot", slot).set("kills", kills).set("victim", 1));
    deliver(Message(msg::chat).set_text("text", "red: hello"));
    deliver(Message(msg::chat).set_text("text", "blue: hi"));
    key('t');
    type("go");
    static int callback_calls = 0;
    callback_calls = 0;
    // Render hands the front end's callback over through the overlay.
    game->Render(
        +[](LgRaster*, void*) { ++callback_calls; }, nullptr);
    EXPECT_EQ(callback_calls, 1);
    recording->drawn.clear();
    TvCurrentCamera = camera;
    game->DrawOverlay(nullptr);
    EXPECT_EQ(callback_calls, 2);
    const uint32_t black = 0xff000000, white = 0xffffffff;
    const std::vector<Drawn> expected = {
        // Score list: kills high to low, the later slot first among equals.
        {485, 321, "red:", black},
        {487, 320, "red:", white},
        {620, 321, "5", black},
        {622, 320, "5", white},
        {485, 341, "blue:", black},
        {487, 340, "blue:", white},
        {620, 341, "2", black},
        {622, 340, "2", white},
        {485, 361, "me:", black},
        {487, 360, "me:", white},
        {620, 361, "2", black},
        {622, 360, "2", white},
        // The label of the player 100 ahead.
        {320, 240, "red", 212u << 24},
        // The chat line, then the received lines, newest on top.
        {10, 401, "Talk: go", black},
        {12, 400, "Talk: go", white},
        {10, 421, "blue: hi", black},
        {10, 441, "red: hello", black},
        {12, 420, "blue: hi", white},
        {12, 440, "red: hello", 0xffcccccc},
    };
    EXPECT_EQ(recording->drawn, expected);

    // The score list scales with the screen; very low kills leave the list.
    settings().width = 800;
    deliver(Message(msg::kill_scored).set("slot", 5).set("kills", -1001).set("victim", 1));
    recording->drawn.clear();
    game->DrawScoreList();
    ASSERT_EQ(recording->drawn.size(), 8u);
    EXPECT_EQ(recording->drawn[0].text, "red:");
    EXPECT_FLOAT_EQ(recording->drawn[0].x, 388.0f);
    EXPECT_FLOAT_EQ(recording->drawn[0].y, 256.8f);
    EXPECT_EQ(recording->drawn[5].text, "me:");
    EXPECT_FLOAT_EQ(recording->drawn[5].y, 272.0f);
}

TEST_F(OverlayTest, TheScoreboardListsThePlayersInScoreOrder) {
    ASSERT_EQ(join_remote(3, "multifokkertriplane", {500, 400, 500}, 1, "red", 0x202), OM_S_OK);
    ASSERT_EQ(join_remote(5, "multitavrincamel", {500, 400, 600}, 7, "blue", 0x102), OM_S_OK);
    deliver(Message(msg::kill_scored).set("slot", 3).set("kills", 4).set("victim", 1));
    deliver(Message(msg::kill_scored).set("slot", 5).set("kills", 4).set("victim", 1));
    deliver(Message(msg::status).set("slot", 3).set("status", 3));
    std::string html;
    ASSERT_EQ(game->BuildScoreboard(&html), OM_S_OK);
    const char* kRow = "<tr><td>%s<IMG WIDTH=5></td><td>%s<IMG WIDTH=5></td><td>%s<IMG WIDTH=5>"
                       "</td><td>%s<IMG WIDTH=5></td><td>%s<IMG WIDTH=5></td></tr>\n";
    auto row = [&](const char* a, const char* b, const char* c, const char* d, const char* e) {
        char buffer[512];
        std::snprintf(buffer, sizeof buffer, kRow, a, b, c, d, e);
        return std::string(buffer);
    };
    const std::string expected = "<table>" + row("Name", "Side", "Plane", "Status", "Kills") +
                                 row("blue", "Allied", "tavrin camel", "In the lobby", "4") +
                                 row("red", "Central", "fokker triplane", "Grounded", "4") +
                                 row("me", "Allied", "tavrin camel", "Taxiing", "0") + "</table>\n";
    EXPECT_EQ(html, expected);

    struct Name {
        const char* id;
        const char* shown;
    } names[] = {{"multitavrincamel", "tavrin camel"},
                 {"multigothagiv", "gotha giv"},
                 {"multihandleypage", "handley page"},
                 {"multispadx111", "spadx111"},
                 {"multifokkertriplane", "fokker triplane"},
                 {"multi", ""},
                 {"", ""}};
    for (const Name& n : names) EXPECT_EQ(TvScoreboardPlaneName(n.id), n.shown) << n.id;
    const char* statuses[] = {"",       "Flying", "Crashing",     "Grounded", "Taxiing",
                              "Flying", "Flying", "In the lobby", ""};
    for (int32_t s = 0; s <= 8; ++s) EXPECT_STREQ(TvScoreboardStatusText(s), statuses[s]) << s;
    EXPECT_STREQ(TvScoreboardStatusText(-1), "");

    game->Destroy();
    EXPECT_EQ(game->BuildScoreboard(&html), OM_E_FAIL);
}

} // namespace
} // namespace clientgametest
