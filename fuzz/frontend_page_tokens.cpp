// Fuzzes page-token expansion: a page template expanded by TvExpandTemplate from a fixture
// state (two pilots, a current pilot, menu, game-record and program settings as a menu session
// has them), the state put back before each expansion. No network client, scoreboard or game
// is held, so the tokens that ask for them take their "none" paths.
// Checks: expansion ends with 0 over memory streams; a template without a caret is copied
// unchanged; the same template from the same state expands to the same bytes; blocks balance.
//
// Input: the template.
#include "framework/io/memory_stream.h"
#include "frontend/menus/page_tokens.h"
#include "fuzz/data_harness.h"
#include "tests/fixtures/menu_session_state.h"

#include <cstring>
#include <string>

using fuzzing::require;

namespace {

const fixtures::MenuSessionState& fixture() {
    static const fixtures::MenuSessionState state = [] {
        fuzzing::start_data_framework();
        return fixtures::MenuSessionState::fixture();
    }();
    return state;
}

std::string expand(std::span<const uint8_t> page) {
    fixture().restore();
    auto in = fuzzing::stream_of(page);
    ComRef<IByteStream> out;
    require(OmNewMemoryStream(out.put()) >= 0, "an output stream");
    require(TvExpandTemplate(in.get(), out.get()) == OM_S_OK, "a template expands");
    return fuzzing::bytes_of(out.get());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fixture();
    const std::span<const uint8_t> page(data, size);
    {
        fuzzing::FrameworkBlocksBalanced balanced;
        const std::string first = expand(page);
        if (std::memchr(data, '^', size) == nullptr)
            require(first == std::string(fuzzing::as_text(page)),
                    "a page without tokens is copied");
        require(expand(page) == first, "the same page from the same state expands the same");
    }
    fixture().restore();
    return 0;
}
