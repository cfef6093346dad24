// The phase ledger's switches on the platform's high-resolution counter.
#include "engine/core/lg_phase_timing.h"

#include "platform/clock.h"

#include <cstring>

LgPhaseLedger* LgPhaseActiveLedger = nullptr;

namespace {

int64_t now() {
    int64_t count = 0;
    platform::QueryPerformanceCounter(&count);
    return count;
}

// Charges the time since the last switch to the open phase and restarts the mark.
void charge(LgPhaseLedger& ledger) {
    const int64_t t = now();
    const int64_t elapsed = t - ledger.mark;
    if (ledger.current >= 0 && ledger.current < LgPhaseCount)
        ledger.ticks[ledger.current] += elapsed;
    else
        ledger.unattributed += elapsed;
    ledger.mark = t;
}

} // namespace

const char* LgPhaseName(LgPhase phase) {
    static const char* const names[LgPhaseCount] = {
        "frame sync",       "visibility walk", "instancing",       "lighting",
        "transform & clip", "rasterisation",   "translucent sort", "present",
    };
    return phase >= 0 && phase < LgPhaseCount ? names[phase] : "";
}

void LgPhaseLedgerInstall(LgPhaseLedger* ledger) {
    if (ledger != nullptr) {
        std::memset(ledger, 0, sizeof(*ledger));
        ledger->current = -1;
        ledger->mark = now();
    }
    LgPhaseActiveLedger = ledger;
}

int32_t LgPhaseEnter(int32_t phase) {
    LgPhaseLedger* ledger = LgPhaseActiveLedger;
    if (ledger == nullptr) return -1;
    charge(*ledger);
    const int32_t previous = ledger->current;
    ledger->current = phase;
    return previous;
}

void LgPhaseLeave(int32_t previous) {
    LgPhaseLedger* ledger = LgPhaseActiveLedger;
    if (ledger == nullptr) return;
    charge(*ledger);
    ledger->current = previous;
}

double LgPhaseTicksPerMillisecond() {
    int64_t frequency = 0;
    if (!platform::QueryPerformanceFrequency(&frequency) || frequency <= 0) return 1.0;
    return static_cast<double>(frequency) / 1000.0;
}
