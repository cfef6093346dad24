// Fuzzes URL parsing: a sequence of part settings on a URL set back to its fixture parts for
// each input, and the four URL text functions on every text. Checks:
// - a refused setting changes no part; every part stays within its width;
// - parts that came from parsing round-trip: the URL's whole text, parsed by a second URL,
//   gives the same scheme, host, path and file name;
// - on such a text (without quotes, and a scheme without ':' or '/') the text functions agree
//   with the parts;
// - the text functions write within exactly sized buffers and refuse one byte less.
//
// Input: steps of a byte (the part id, 1..7, or 0 for the text functions alone) and a part
// (the text, cut at an inner zero).
#include "fuzz/net_harness.h"
#include "net/web/url_parts.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using fuzzing::require;

namespace {

constexpr char fixture_text[] = "http://localhost/Ormic6/ponents.txt";

struct Parts {
    std::string scheme, host, path, file;
    bool operator==(const Parts&) const = default;
};

std::string part_of(IOmUrl* url, uint32_t id) {
    std::array<char, 4096> buffer{};
    require(url->GetPart(id, buffer.data(), uint32_t(buffer.size())) >= 0, "a part reads");
    require(std::memchr(buffer.data(), 0, buffer.size()) != nullptr, "a part is terminated");
    return buffer.data();
}

Parts parts_of(IOmUrl* url) {
    return {part_of(url, OM_URL_SCHEME), part_of(url, OM_URL_HOST), part_of(url, OM_URL_PATH),
            part_of(url, OM_URL_FILE)};
}

IOmUrl* make_url() {
    IOmUrl* url = nullptr;
    require(OmCreate(CLSID_URL, IID_IOmUrl, reinterpret_cast<void**>(&url)) >= 0,
            "a URL is made");
    return url;
}

// One text function with a buffer of exactly the size its answer needs: the answer is a
// terminated text inside the buffer, and a buffer one byte shorter is refused.
using TextFunction = OmResult (*)(const char*, char*, uint32_t);
bool text_function(TextFunction function, const std::string& text, std::string* out) {
    std::vector<char> room(text.size() + 1);
    if (function(text.c_str(), room.data(), uint32_t(room.size())) < 0) {
        require(function(text.c_str(), nullptr, 0) < 0, "a refused text stays refused");
        return false;
    }
    require(std::memchr(room.data(), 0, room.size()) != nullptr, "an answer is terminated");
    const std::string answer = room.data();
    std::vector<char> exact(answer.size() + 1, 'x');
    require(function(text.c_str(), exact.data(), uint32_t(exact.size())) >= 0 &&
                answer == exact.data(),
            "an answer fits a buffer of its own size");
    if (!answer.empty() || exact.size() > 1) {
        std::vector<char> short_by_one(answer.size());
        require(function(text.c_str(), short_by_one.data(), uint32_t(short_by_one.size())) < 0,
                "a buffer one byte short is refused");
    }
    if (out) *out = answer;
    return true;
}

void run_text_functions(const std::string& text) {
    text_function(OmUrlGetScheme, text, nullptr);
    text_function(OmUrlGetHost, text, nullptr);
    text_function(OmUrlGetPath, text, nullptr);
    text_function(OmUrlGetFileName, text, nullptr);
}

// The parts of a parsed URL read back through the text functions from its whole text.
void check_text_functions(const std::string& whole, const Parts& parts) {
    if (whole.find('"') != std::string::npos ||
        parts.scheme.find_first_of(":/") != std::string::npos)
        return;
    std::string answer;
    require(text_function(OmUrlGetScheme, whole, &answer) && answer == parts.scheme,
            "the scheme function finds the parsed scheme");
    require(text_function(OmUrlGetHost, whole, &answer) && answer == parts.host,
            "the host function finds the parsed host");
    if (parts.host.size() <= 39) {
        const std::string rest = parts.path + parts.file;
        require(text_function(OmUrlGetPath, whole, &answer) &&
                    answer == rest.substr(0, rest.find('?')),
                "the path function finds the parsed path and file name");
    }
    require(text_function(OmUrlGetFileName, whole, &answer) && answer == parts.file,
            "the file-name function finds the parsed file name");
}

IOmUrl* url() {
    static const ComRef<IOmUrl> made = ComRef<IOmUrl>::adopt(make_url());
    return made.get();
}
IOmUrl* second_url() {
    static const ComRef<IOmUrl> made = ComRef<IOmUrl>::adopt(make_url());
    return made.get();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::start_network();
    url();
    second_url();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_network();
    fuzzing::FrameworkBlocksBalanced balanced;
    IOmUrl* u = url();
    require(u->SetPart(OM_URL_TEXT, fixture_text) >= 0 && u->SetPart(OM_URL_RELOAD, "") >= 0,
            "the URL is set back to its fixture");
    bool parsed = true; // the parts came from parsing alone
    fuzzing::StepInput input(data, size);
    for (int step = 0; step < 16 && !input.empty(); ++step) {
        const uint32_t id = input.byte() % 8;
        const std::string text = fuzzing::c_text(input.part());
        run_text_functions(text);
        if (id == 0) continue;
        const Parts before = parts_of(u);
        const OmResult result = u->SetPart(id, text.c_str());
        const Parts after = parts_of(u);
        require(after.scheme.size() <= OM_URL_SCHEME_MAX && after.host.size() <= OM_URL_HOST_MAX &&
                    after.path.size() <= OM_URL_PATH_MAX && after.file.size() <= OM_URL_FILE_MAX,
                "every part stays within its width");
        if (result < 0) {
            require(after == before, "a refused setting changes nothing");
        } else if (id == OM_URL_TEXT || id == OM_URL_RELATIVE) {
            if (text.find("://") != std::string::npos) parsed = true;
        } else if (id != OM_URL_RELOAD) {
            parsed = false;
        }
        if (!parsed) continue;
        const std::string whole = part_of(u, OM_URL_TEXT);
        require(whole == after.scheme + "://" + after.host + after.path + after.file,
                "the whole text is made of the parts");
        const bool again = second_url()->SetPart(OM_URL_TEXT, whole.c_str()) >= 0;
        if (!again) std::fprintf(stderr, "fuzz: \"%s\" does not parse again\n", whole.c_str());
        require(again, "a parsed URL's text parses again");
        require(parts_of(second_url()) == after, "a parsed URL's parts round-trip");
        check_text_functions(whole, after);
    }
    return 0;
}
