// Win32HighResTimer: a stopwatch on the high-resolution counter, in milliseconds and seconds.
#include "framework/platform/timer.h"

#include "platform/clock.h"

namespace {

class Win32HighResTimer final : public OmObject<Win32HighResTimer, ITimer> {
public:
    OmResult init() {
        int64_t frequency = 0;
        if (!platform::QueryPerformanceFrequency(&frequency) || frequency < 1000) return OM_E_FAIL;
        ticks_per_ms_ = uint64_t(frequency) / 1000;
        return OM_S_OK;
    }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ITimer, this}});
    }
    OmResult Start() override {
        uint64_t now = counter();
        if (started_) {
            start_ += now - last_; // the stopped stretch is skipped
        } else {
            start_ = last_ = now;
            total_ms_ = 0;
            total_seconds_ = 0.0f;
            started_ = true;
        }
        last_ = now;
        delta_ticks_ = 0;
        delta_ms_ = 0;
        delta_seconds_ = 0.0f;
        running_ = true;
        return OM_S_OK;
    }
    OmResult Stop() override {
        Update();
        running_ = false;
        return OM_S_OK;
    }
    OmResult Reset() override {
        started_ = false;
        return Start();
    }
    OmResult Update() override {
        if (!running_) return OM_S_OK;
        uint64_t now = counter();
        delta_ticks_ = now - last_;
        delta_ms_ = uint32_t(delta_ticks_ / ticks_per_ms_);
        delta_seconds_ = float(delta_ms_) * 0.001f;
        // Below a millisecond nothing moves, so short steps add up until they make one.
        if (delta_ms_ == 0) return OM_S_OK;
        last_ = now;
        total_ms_ = uint32_t((now - start_) / ticks_per_ms_);
        total_seconds_ = float(total_ms_) * 0.001f;
        return OM_S_OK;
    }
    float GetDeltaSeconds() override { return delta_seconds_; }
    float GetTotalSeconds() override { return total_seconds_; }
    uint32_t GetDeltaMs() override { return delta_ms_; }
    uint32_t GetTotalMs() override { return total_ms_; }

private:
    static uint64_t counter() {
        int64_t c = 0;
        platform::QueryPerformanceCounter(&c);
        return uint64_t(c);
    }

    uint64_t ticks_per_ms_;
    uint64_t start_;
    uint64_t last_;
    uint64_t delta_ticks_;
    uint32_t total_ms_;
    uint32_t delta_ms_;
    float total_seconds_;
    float delta_seconds_;
    bool started_;
    bool running_;
};

const OmClassRecord classes[] = {{&CLSID_Win32HighResTimer, nullptr, nullptr,
                                  OmCreateComponent<Win32HighResTimer>, "Win32HighResTimer"}};

} // namespace

OM_DEFINE_MODULE(Win32HighResTimer, classes)
