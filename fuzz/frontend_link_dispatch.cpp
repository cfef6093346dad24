// Fuzzes link strings through the dispatcher: the link chosen on a page is put in the link
// buffer and TvDispatchLink parses it against its table of link forms, from a fixture menu
// state put back before each dispatch. What a link starts outside the menus (missions,
// sessions, pilot creation, the pilots file, the server-address entry, control capture, the
// credits) goes to recording stand-ins that note the call and answer as the input says; no
// page is shown (no menu browser) and no network client is held, so nothing is run. The two
// forms that switch the display itself ("command:videomode:", "command:renderer:") have no
// such seam and need a started display: links of those forms are not dispatched here.
// Checks: only "command:quit" ends the front end; dispatching the same link from the same
// state records the same calls and leaves the same link buffer and state; the link buffer
// holds at most 255 characters; blocks balance.
//
// Input: a byte of stand-in answers (bit i: stand-in i fails), then the link (to its first
// NUL).
#include "frontend/menus/dispatcher.h"
#include "frontend/menus/menu_entry_points.h"
#include "fuzz/data_harness.h"
#include "tests/fixtures/menu_session_state.h"

#include <string>

using fuzzing::require;

namespace {

std::string calls;
uint8_t answers = 0;

OmResult answer(int stand_in, const std::string& call) {
    calls += call + ";";
    return (answers >> stand_in) & 1 ? OM_E_FAIL : OM_S_OK;
}

const TvMenuEntryPoints kRecorders = {
    [](int32_t mission) { return answer(0, "play " + std::to_string(mission)); },
    [](const char* address) {
        return answer(1, std::string("multiplayer ") + (address ? address : "-"));
    },
    [](int32_t pilot) { return answer(2, "create " + std::to_string(pilot)); },
    [] { return answer(3, "save"); },
    [] { return answer(4, "address"); },
    [](const char* section, int32_t up, int32_t kind) {
        return answer(5, std::string("capture ") + (section ? section : "-") + " " +
                             std::to_string(up) + " " + std::to_string(kind));
    },
    [] { return answer(6, "credits"); },
};

const fixtures::MenuSessionState& fixture() {
    static const fixtures::MenuSessionState state = [] {
        fuzzing::start_data_framework();
        TvInstallMenuEntryPoints(&kRecorders);
        return fixtures::MenuSessionState::fixture();
    }();
    return state;
}

// What a dispatch did: its result, the calls, and the state it left.
std::string dispatch(const std::string& link) {
    fixture().restore();
    calls.clear();
    TvMenus().current_page = "menus\\current.html";
    TvSetLink(link);
    const OmResult r = TvDispatchLink();
    require(r >= 0 || link == "command:quit", "only the quit link ends the front end");
    const TvMenuState& m = TvMenus();
    require(m.link.size() <= 255, "the link buffer holds at most 255 characters");
    const TvProgramSettings& p = TvGetProgramSettings();
    const TvGameSettings& g = TvGetGameSettingsRecord();
    return std::to_string(r) + "|" + calls + "|" + m.link + "|" + m.return_page + "|" +
           std::to_string(m.session_mode) + " " + std::to_string(m.campaign_mode) + " " +
           std::to_string(m.current_campaign) + " " + std::to_string(m.mission_chosen) + " " +
           std::to_string(m.music_volume) + " " + std::to_string(m.effects_volume_game) + " " +
           std::to_string(m.sensitivity[0]) + "|" + std::to_string(p.shadows) + " " +
           std::to_string(p.control_type) + " " + p.server_address + "|" +
           std::to_string(g.effects_detail) + " " + std::to_string(g.far_clip) + " " + g.plane_id +
           "|" + std::to_string(TvGetPilotRoster().current);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fixture();
    fuzzing::FuzzInput input(data, size);
    answers = input.byte();
    const std::string link = fuzzing::text_of(input.rest()).c_str();
    for (const char* display : {"command:videomode:", "command:renderer:"})
        if (link.rfind(display, 0) == 0) return 0;
    {
        fuzzing::FrameworkBlocksBalanced balanced;
        const std::string first = dispatch(link);
        require(dispatch(link) == first, "the same link from the same state does the same");
    }
    fixture().restore();
    return 0;
}
