// An X server of a test's own (Xvfb on a display number it picks itself), and a screenshot of
// its root window taken from the server with xwd.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// Started by the constructor; stopped when the object goes. display() is empty when the
// server did not come up.
class XvfbServer {
public:
    explicit XvfbServer(const std::string& binary);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;
    const std::string& display() const { return display_; }

private:
    int pid_ = 0;
    std::string display_;
};

// The root window of `display` as 0xFFRRGGBB pixels, rows top to bottom, read back from the
// server by xwd. False when xwd is missing or its output cannot be read.
struct Screenshot {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(uint32_t x, uint32_t y) const { return pixels[size_t(y) * width + x]; }
};
bool capture_root_window(const std::string& display, Screenshot* out);

// Points the process at a test's X server and leaves headless mode for the scope's length;
// SDL uses its own software renderer (the test's server has no GPU, and Mesa's software GL
// would only add a slower path to the same pixels). With `window_service` the presenter draws
// into the window service's windows; without it, into a window of its own.
class DisplayScope {
public:
    DisplayScope(const std::string& display, bool window_service);
    ~DisplayScope();
    DisplayScope(const DisplayScope&) = delete;
    DisplayScope& operator=(const DisplayScope&) = delete;

private:
    std::string old_display_, old_driver_;
};

// While a real display is in use, SDL loads and unloads the system's X and GL libraries, which
// keep some allocations for good; once unloaded they cannot even be named in a leak report.
// Allocations made while this object lives are left out of leak checking (the same code paths
// run leak-checked in the headless tests).
class SystemLibraryLeakScope {
public:
    SystemLibraryLeakScope();
    ~SystemLibraryLeakScope();
    SystemLibraryLeakScope(const SystemLibraryLeakScope&) = delete;
    SystemLibraryLeakScope& operator=(const SystemLibraryLeakScope&) = delete;
};

} // namespace testsupport
