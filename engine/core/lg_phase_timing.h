// Per-phase frame timing: the engine's stages charge the time they run to a phase of a ledger
// on the high-resolution counter. With no ledger installed a hook costs one test of a pointer.
#pragma once

#include <cstdint>

// The phases a frame's time is split into.
enum LgPhase : int32_t {
    LgPhaseFrameSync = 0,   // dirty frames brought up to date
    LgPhaseVisibility,      // which sectors and objects the camera sees
    LgPhaseInstancing,      // geometry copied into drawable vertex and index buffers
    LgPhaseLighting,        // per-vertex colours
    LgPhaseTransformClip,   // to the screen, clipped against the view volume
    LgPhaseRasterisation,   // the device filling triangles
    LgPhaseTranslucentSort, // deferred translucent geometry ordered far to near
    LgPhasePresent,         // the finished frame shown
    LgPhaseCount
};

// What a phase is called in reports.
const char* LgPhaseName(LgPhase phase);

// Accumulated counter ticks by phase. Time is charged to the innermost phase only, so a phase
// that calls into another (a render stage that rasterises) is not charged twice.
struct LgPhaseLedger {
    int64_t ticks[LgPhaseCount];
    int64_t unattributed; // time between hooks while no phase was open
    int64_t mark;         // counter at the last switch
    int32_t current;      // the open phase, or -1
};

// The ledger hooks charge, or null (the default: nothing is measured).
extern LgPhaseLedger* LgPhaseActiveLedger;

// Zeroes the ledger and makes it the one charged from now on; null stops measuring.
void LgPhaseLedgerInstall(LgPhaseLedger* ledger);
// Charges the time since the last switch and makes `phase` current; returns the phase that was.
int32_t LgPhaseEnter(int32_t phase);
// Charges the time since the last switch and makes `previous` current again.
void LgPhaseLeave(int32_t previous);
// Ticks of the high-resolution counter per millisecond.
double LgPhaseTicksPerMillisecond();

// Charges the scope's time to a phase while a ledger is installed.
class LgPhaseScope {
public:
    explicit LgPhaseScope(LgPhase phase) {
        if (LgPhaseActiveLedger != nullptr) {
            ledger_ = LgPhaseActiveLedger;
            previous_ = LgPhaseEnter(phase);
        }
    }
    ~LgPhaseScope() {
        // A ledger swapped while the scope ran is left alone.
        if (ledger_ != nullptr && ledger_ == LgPhaseActiveLedger) LgPhaseLeave(previous_);
    }
    LgPhaseScope(const LgPhaseScope&) = delete;
    LgPhaseScope& operator=(const LgPhaseScope&) = delete;

private:
    LgPhaseLedger* ledger_ = nullptr;
    int32_t previous_ = -1;
};
