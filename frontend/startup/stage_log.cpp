// The stage log of whole-program benchmark runs.
#include "frontend/startup/stage_log.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Entry {
    long frame;
    const char* stage; // the mission loop's stage names are literals
    long long microseconds;
};

std::string log_path;
std::vector<Entry> entries;
long frame = -1;
Clock::time_point last_mark;

} // namespace

void TvStartStageLog(const std::string& path) {
    log_path = path;
    entries.clear();
    if (!path.empty()) entries.reserve(1 << 16);
    frame = -1;
}

void TvStageLogBeginFrame() {
    if (log_path.empty()) return;
    ++frame;
    last_mark = Clock::now();
}

void TvStageLogMark(const char* stage) {
    if (log_path.empty() || frame < 0 || !stage) return;
    const Clock::time_point now = Clock::now();
    entries.push_back(
        {frame, stage,
         std::chrono::duration_cast<std::chrono::microseconds>(now - last_mark).count()});
    last_mark = now;
}

void TvFinishStageLog() {
    if (log_path.empty()) return;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(log_path.c_str(), "w"), std::fclose);
    if (file)
        for (const Entry& e : entries)
            std::fprintf(file.get(), "%ld %s %lld\n", e.frame, e.stage, e.microseconds);
    log_path.clear();
    entries.clear();
}
