// Random: two taps ten words apart over a ring of 17 words, each rotated before the sum.
#include "framework/maths/random.h"

#include "framework/containers/new_direct.h"

#include <bit>
#include <ctime>

namespace {

constexpr int32_t state_words = 17;
constexpr int32_t discarded_at_seed = 300;
// The largest float below 1: a draw near 2^32 would otherwise round up to exactly 1.
constexpr float below_one = 0.99999994f;

class Random final : public OmObject<Random, IRandom> {
public:
    OmResult init() { return Random_Seed(uint32_t(std::time(nullptr))); }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IRandom, this}});
    }

    OmResult Random_Seed(uint32_t seed) override {
        for (uint32_t& word : state_) {
            word = seed;
            seed = std::rotl(seed, 5) + 97;
        }
        i_ = 0;
        j_ = 10;
        for (int n = 0; n < discarded_at_seed; ++n) Random_NextInt();
        scale_ = 1.0f / 4294967296.0f;
        return OM_S_OK;
    }

    uint32_t Random_NextInt() override {
        uint32_t value = std::rotl(state_[j_], 3) + std::rotl(state_[i_], 3);
        state_[i_] = value;
        if (--i_ < 0) i_ = state_words - 1;
        if (--j_ < 0) j_ = state_words - 1;
        return value;
    }

    float Random_NextReal() override {
        float r = float(Random_NextInt()) * scale_;
        return r < 1.0f ? r : below_one;
    }

private:
    uint32_t state_[state_words];
    int32_t i_;
    int32_t j_;
    float scale_;
};

const OmClassRecord classes[] = {
    {&CLSID_Random, nullptr, nullptr, OmCreateComponent<Random>, "Random"}};

} // namespace

OmResult OmNewRandom(IRandom** out) {
    return om_new_direct<Random>(out);
}

OM_DEFINE_MODULE(Random, classes)
