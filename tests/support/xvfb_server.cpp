// Xvfb servers for window tests, and root-window screenshots through xwd.
#include "tests/support/xvfb_server.h"

#include "platform/graphics/presenter.h"
#include "platform/headless.h"
#include "platform/os/spawn.h"
#include "platform/window/gfx_window_hooks.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) && __has_include(<sanitizer/lsan_interface.h>)
#include <sanitizer/lsan_interface.h>
#define CORVEL_HAVE_LSAN 1
#endif

extern char** environ;

namespace testsupport {

XvfbServer::XvfbServer(const std::string& binary) {
    int fds[2];
    if (pipe(fds) != 0) return;
    std::string fd = std::to_string(fds[1]);
    const char* argv[] = {binary.c_str(), "-displayfd", fd.c_str(), "-screen", "0",
                          "1024x768x24",  "-nolisten",  "tcp",      nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, binary.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        pid = 0;
    pid_ = pid;
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c;
    // Xvfb writes the display number and a newline once it accepts clients.
    while (pid_ && poll(&p, 1, 20000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
}

XvfbServer::~XvfbServer() {
    if (!pid_) return;
    kill(pid_, SIGTERM);
    int status;
    waitpid(pid_, &status, 0);
}

namespace {

uint32_t big_endian_word(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

// Lowest set bit's position, for turning a channel mask into a shift.
int mask_shift(uint32_t mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

} // namespace

bool capture_root_window(const std::string& display, Screenshot* out) {
    std::string xwd = platform::find_in_path("xwd");
    if (xwd.empty()) return false;
    std::string command = xwd + " -root -silent -display " + display;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    std::vector<uint8_t> data;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) data.insert(data.end(), buf, buf + n);
    if (pclose(pipe) != 0 || data.size() < 100) return false;

    // The dump's header is 25 big-endian words, then the window name, the colour map, the image.
    const uint32_t header_size = big_endian_word(data, 0);
    const uint32_t width = big_endian_word(data, 16);
    const uint32_t height = big_endian_word(data, 20);
    const uint32_t byte_order = big_endian_word(data, 28);
    const uint32_t bits_per_pixel = big_endian_word(data, 44);
    const uint32_t bytes_per_line = big_endian_word(data, 48);
    const uint32_t masks[3] = {big_endian_word(data, 56), big_endian_word(data, 60),
                               big_endian_word(data, 64)};
    const uint32_t colours = big_endian_word(data, 76);
    if (bits_per_pixel != 24 && bits_per_pixel != 32) return false;
    const uint32_t bytes = bits_per_pixel / 8;
    const size_t image = size_t(header_size) + size_t(colours) * 12;
    if (image + size_t(bytes_per_line) * height > data.size()) return false;

    out->width = width;
    out->height = height;
    out->pixels.assign(size_t(width) * height, 0);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = data.data() + image + size_t(y) * bytes_per_line;
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = row + x * bytes;
            uint32_t v = 0;
            for (uint32_t i = 0; i < bytes; ++i)
                v |= uint32_t(p[i]) << (byte_order ? 8 * (bytes - 1 - i) : 8 * i);
            uint32_t argb = 0xFF000000u;
            for (int c = 0; c < 3; ++c)
                argb |= ((v & masks[c]) >> mask_shift(masks[c]) & 0xFF) << (16 - 8 * c);
            out->pixels[size_t(y) * width + x] = argb;
        }
    }
    return true;
}

DisplayScope::DisplayScope(const std::string& display, bool window_service) {
    if (const char* d = std::getenv("DISPLAY")) old_display_ = d;
    if (const char* v = std::getenv("SDL_VIDEODRIVER")) old_driver_ = v;
    setenv("DISPLAY", display.c_str(), 1);
    unsetenv("SDL_VIDEODRIVER"); // the headless test start-up asks for SDL's dummy driver
    setenv("SDL_RENDER_DRIVER", "software", 1);
    platform::set_headless(false);
    if (window_service) platform::set_gfx_window_hooks(platform::window_service_gfx_hooks());
}

DisplayScope::~DisplayScope() {
    platform::shut_down_presenter();
    platform::set_gfx_window_hooks({});
    platform::set_headless(true);
    unsetenv("SDL_RENDER_DRIVER");
    if (old_display_.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", old_display_.c_str(), 1);
    if (!old_driver_.empty()) setenv("SDL_VIDEODRIVER", old_driver_.c_str(), 1);
}

SystemLibraryLeakScope::SystemLibraryLeakScope() {
#ifdef CORVEL_HAVE_LSAN
    __lsan_disable();
#endif
}

SystemLibraryLeakScope::~SystemLibraryLeakScope() {
#ifdef CORVEL_HAVE_LSAN
    __lsan_enable();
#endif
}

} // namespace testsupport
