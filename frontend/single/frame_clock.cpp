// Frame timing and the message pump of the front end's loops.
#include "frontend/single/frame_clock.h"

#include "framework/platform/os_service.h"
#include "framework/platform/timer.h"
#include "frontend/setup/input_devices.h"
#include "frontend/setup/window_hook.h"
#include "frontend/startup/window_components.h"
#include "platform/clock.h"

TvFrameClock::TvFrameClock() : last_(platform::timeGetTime()) {
    if (ITimer* timer = TvGetTimer()) timer->Update();
}

uint32_t TvFrameClock::sample() {
    if (ITimer* timer = TvGetTimer()) {
        timer->Update();
        return timer->GetDeltaMs();
    }
    const uint32_t now = platform::timeGetTime();
    const uint32_t delta = now - last_;
    last_ = now;
    return delta;
}

void TvPumpWindowMessages() {
    if (IOmOS* os = TvGetOS()) {
        os->Pump();
        if (os->IsQuitRequested()) TvSetQuitFlag(1);
    }
}
