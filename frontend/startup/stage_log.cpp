// The stage log of whole-program benchmark runs.
#include "frontend/startup/stage_log.h"

#include "framework/platform/profile.h"
#include "game/rules/tv_game.h"
#include "game/world/tv_object.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Entry {
    long frame;
    const char* stage;      // the mission loop's stage names are literals
    long long microseconds; // or the count of a count entry
    bool count = false;
};

std::string log_path;
std::vector<Entry> entries;
long frame = -1;
Clock::time_point last_mark;

// Passes every call to the front end's profiler; samples also mark the stage log. It lives as
// long as the program, so its count stays at 1.
class LoggingProfile final : public IProfile {
public:
    IProfile* real = nullptr;

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IProfile, this}});
    }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    OmResult Init(uint32_t samples, uint32_t history) override {
        return real ? real->Init(samples, history) : OM_E_FAIL;
    }
    OmResult Free() override { return real ? real->Free() : OM_E_FAIL; }
    OmResult BeginFrame() override { return real ? real->BeginFrame() : OM_E_FAIL; }
    OmResult EndFrame() override { return real ? real->EndFrame() : OM_E_FAIL; }
    OmResult Sample(const char* name) override {
        TvStageLogMark(name);
        return real ? real->Sample(name) : OM_S_OK;
    }
    int32_t GetHistory() override { return real ? real->GetHistory() : 0; }
    int32_t GetSampleCount(uint32_t frame) override {
        return real ? real->GetSampleCount(frame) : 0;
    }
    int32_t GetSample(uint32_t frames_back, uint32_t sample) override {
        return real ? real->GetSample(frames_back, sample) : 0;
    }
    const char* GetSampleName(uint32_t sample) override {
        return real ? real->GetSampleName(sample) : nullptr;
    }
};

LoggingProfile logging_profile;

} // namespace

IProfile* TvStageLogProfiler(IProfile* real) {
    if (log_path.empty()) return real;
    logging_profile.real = real;
    return &logging_profile;
}

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

void TvStageLogCountLive(ITvGame* game) {
    if (log_path.empty() || frame < 0 || !game) return;
    long long objects = 0, planes = 0;
    for (int32_t id = 0; id < kTvMaxIds; ++id) {
        ITvObject* object = game->GetObjectById(id);
        if (!object) continue;
        ++objects;
        uintptr_t flags = 0;
        if (object->GetProperty(kTvPropFlags, &flags) >= 0 && (flags & kTvFlagPlane) != 0) ++planes;
    }
    entries.push_back({frame, "live objects", objects, true});
    entries.push_back({frame, "live planes", planes, true});
}

void TvFinishStageLog() {
    if (log_path.empty()) return;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(log_path.c_str(), "w"), std::fclose);
    if (file)
        for (const Entry& e : entries)
            std::fprintf(file.get(), "%ld %s%s %lld\n", e.frame, e.count ? "# " : "", e.stage,
                         e.microseconds);
    log_path.clear();
    entries.clear();
}
