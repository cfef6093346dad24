// Win32Profile over the high-resolution counter; the tables come from the allocator once, at
// Init, so recording a sample costs one counter read and one division.
#include "framework/platform/profile.h"

#include "framework/core/static_state.h"
#include "framework/platform/debug_message.h"
#include "platform/clock.h"

#include <cstring>
#include <limits>

namespace {

constexpr char assert_initialised[] = "Assert failure :this->m_bInitialised";
constexpr char assert_history[] = "Assert failure :nHistory < this->m_nHistory";
constexpr char assert_sample[] = "Assert failure :nSample < this->m_nNumSamples";

OmResult assertion(const char* text) {
    OmReportMessage(OM_SEVERITY_WARNING, text);
    return OM_E_FAIL;
}

uint64_t counter() {
    int64_t c = 0;
    platform::QueryPerformanceCounter(&c);
    return uint64_t(c);
}

class Win32Profile final : public OmObject<Win32Profile, IProfile> {
public:
    static Win32Profile* instance;
    static OmResult Create(IUnknown* outer, IUnknown** out) {
        return OmCreateSingleton(instance, outer, out);
    }
    ~Win32Profile() {
        Free();
        instance = nullptr;
    }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IProfile, this}});
    }

    OmResult Init(uint32_t samples, uint32_t history) override {
        Free();
        int64_t frequency = 0;
        // A ring without rows or slots has nowhere to record, and a counter slower than a
        // microsecond cannot give microseconds.
        if (samples == 0 || history == 0 || !platform::QueryPerformanceFrequency(&frequency) ||
            frequency < 1000000)
            return OM_E_FAIL;
        uint64_t cells = uint64_t(samples) * history;
        if (cells > std::numeric_limits<uint32_t>::max() / sizeof(uint32_t)) return OM_E_FAIL;
        times_ = static_cast<uint32_t*>(OmAllocMemory(size_t(cells) * sizeof(uint32_t)));
        names_ = static_cast<char*>(OmAllocMemory(size_t(samples) * OM_PROFILE_NAME_SIZE));
        counts_ = static_cast<uint32_t*>(OmAllocMemory(size_t(history) * sizeof(uint32_t)));
        if (!times_ || !names_ || !counts_) {
            Free();
            return OM_E_OUTOFMEMORY;
        }
        std::memset(times_, 0, size_t(cells) * sizeof(uint32_t));
        std::memset(names_, 0, size_t(samples) * OM_PROFILE_NAME_SIZE);
        std::memset(counts_, 0, size_t(history) * sizeof(uint32_t));
        samples_ = samples;
        history_ = history;
        ticks_per_us_ = uint64_t(frequency) / 1000000;
        frame_ = 0;
        sample_ = 0;
        initialised_ = true;
        return OM_S_OK;
    }

    OmResult Free() override {
        OmFreeMemory(times_);
        OmFreeMemory(names_);
        OmFreeMemory(counts_);
        times_ = nullptr;
        names_ = nullptr;
        counts_ = nullptr;
        initialised_ = false;
        in_frame_ = false;
        return OM_S_OK;
    }

    OmResult BeginFrame() override {
        if (!initialised_) return assertion(assert_initialised);
        last_mark_ = counter();
        frame_ = (frame_ + 1) % history_;
        in_frame_ = true;
        sample_ = 0;
        return OM_S_OK;
    }

    OmResult EndFrame() override {
        if (!initialised_) return assertion(assert_initialised);
        if (!in_frame_) return OM_E_FAIL;
        record(OM_PROFILE_END_SAMPLE);
        counts_[frame_] = sample_;
        in_frame_ = false;
        return OM_S_OK;
    }

    OmResult Sample(const char* name) override {
        if (!initialised_) return assertion(assert_initialised);
        if (!in_frame_) return OM_E_FAIL;
        if (sample_ + 1 >= samples_) return assertion(assert_sample);
        record(name);
        return OM_S_OK;
    }

    int32_t GetHistory() override {
        if (!initialised_) return assertion(assert_initialised);
        return int32_t(history_);
    }

    int32_t GetSampleCount(uint32_t frame) override {
        if (!initialised_) return assertion(assert_initialised);
        if (frame >= history_) return assertion(assert_history);
        return int32_t(counts_[frame]);
    }

    int32_t GetSample(uint32_t frames_back, uint32_t sample) override {
        if (!initialised_) return assertion(assert_initialised);
        if (frames_back >= history_) return assertion(assert_history);
        if (sample >= samples_) return assertion(assert_sample);
        uint32_t row =
            frame_ >= frames_back ? frame_ - frames_back : frame_ + history_ - frames_back;
        return int32_t(times_[size_t(row) * samples_ + sample]);
    }

    const char* GetSampleName(uint32_t sample) override {
        if (!initialised_) {
            assertion(assert_initialised);
            return nullptr;
        }
        if (sample >= samples_) {
            assertion(assert_sample);
            return nullptr;
        }
        return names_ + size_t(sample) * OM_PROFILE_NAME_SIZE;
    }

private:
    // Stores the time since the last mark in the current slot; the caller made sure it exists.
    void record(const char* name) {
        uint64_t now = counter();
        uint64_t elapsed = (now - last_mark_) / ticks_per_us_;
        last_mark_ = now;
        times_[size_t(frame_) * samples_ + sample_] =
            uint32_t(std::min<uint64_t>(elapsed, std::numeric_limits<uint32_t>::max()));
        char* slot = names_ + size_t(sample_) * OM_PROFILE_NAME_SIZE;
        std::strncpy(slot, name ? name : "", OM_PROFILE_NAME_SIZE - 1);
        slot[OM_PROFILE_NAME_SIZE - 1] = '\0';
        ++sample_;
    }

    uint32_t samples_;
    uint32_t history_;
    uint32_t* times_;
    char* names_;
    uint32_t* counts_;
    uint32_t frame_;
    uint32_t sample_;
    uint64_t last_mark_;
    uint64_t ticks_per_us_;
    bool initialised_;
    bool in_frame_;
};

Win32Profile* Win32Profile::instance = nullptr;
const OmStaticStateReset reset_profile([] { Win32Profile::instance = nullptr; });

const OmClassRecord classes[] = {
    {&CLSID_Win32Profile, nullptr, nullptr, Win32Profile::Create, "Win32Profile"}};

} // namespace

OM_DEFINE_MODULE(Win32Profile, classes)
