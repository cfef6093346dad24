// Message boxes over SDL, or to stderr and the installed sink when headless.
#include "platform/message_box.h"

#include "platform/headless.h"

#include <SDL.h>
#include <cstdio>
#include <mutex>
#include <string>

namespace platform {
namespace {

std::mutex sink_lock;
MessageSink& sink() {
    static MessageSink s;
    return s;
}

} // namespace

void set_message_sink(MessageSink s) {
    std::lock_guard guard(sink_lock);
    sink() = std::move(s);
}

void message_box(std::string_view title, std::string_view text) {
    std::string t(title), m(text);
    if (!headless() &&
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, t.c_str(), m.c_str(), nullptr) == 0)
        return;
    std::fprintf(stderr, "%s: %s\n", t.c_str(), m.c_str());
    std::lock_guard guard(sink_lock);
    if (sink()) sink()(title, text);
}

} // namespace platform
