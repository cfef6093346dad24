// The debugger's output channel: standard error while a debugger (or the environment) watches.
#include "platform/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

bool environment_asks() {
    const char* v = std::getenv("CORVEL_DEBUG_OUTPUT");
    return v && v[0] && std::strcmp(v, "0") != 0;
}

// A tracer's process id in /proc/self/status: non-zero while a debugger is attached.
bool debugger_attached() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return false;
    char line[256];
    long tracer = 0;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "TracerPid: %ld", &tracer) == 1) break;
    std::fclose(status);
    return tracer != 0;
}

} // namespace

bool debug_output_watched() {
    return environment_asks() || debugger_attached();
}

void debug_output(const char* text) {
    if (!text || !debug_output_watched()) return;
    std::fputs(text, stderr);
    std::fflush(stderr);
}

} // namespace platform
