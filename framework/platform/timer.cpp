// Timer: a millisecond stopwatch on the wrapping millisecond clock.
#include "framework/platform/timer.h"

#include "platform/clock.h"

namespace {

// The system clock already counts whole milliseconds, so nothing has to raise its resolution
// while a timer lives.
class Timer final : public OmObject<Timer, ITimer> {
public:
    OmResult init() {
        last_ = platform::timeGetTime();
        return OM_S_OK;
    }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ITimer, this}});
    }
    OmResult Start() override {
        last_ = platform::timeGetTime();
        running_ = true;
        return OM_S_OK;
    }
    OmResult Stop() override {
        Update();
        delta_ = 0;
        running_ = false;
        return OM_S_OK;
    }
    OmResult Reset() override {
        Update();
        delta_ = 0;
        return OM_S_OK;
    }
    OmResult Update() override {
        if (!running_) return OM_S_OK;
        uint32_t now = platform::timeGetTime();
        delta_ = now - last_; // unsigned: right across the clock's wrap
        last_ = now;
        total_ += delta_;
        return OM_S_OK;
    }
    float GetDeltaSeconds() override { return 0.0f; }
    float GetTotalSeconds() override { return 0.0f; }
    uint32_t GetDeltaMs() override { return delta_; }
    uint32_t GetTotalMs() override { return total_; }

private:
    uint32_t total_;
    uint32_t delta_;
    uint32_t last_;
    bool running_;
};

const OmClassRecord classes[] = {
    {&CLSID_Timer, nullptr, nullptr, OmCreateComponent<Timer>, "Timer"}};

} // namespace

OM_DEFINE_MODULE(Timer, classes)
