// Additive feedback random numbers over the trinomial x^31 + x^3 + 1, seeded by the linear
// congruential rule x' = x * 1103515245 + 12345 (the BSD C library's random() design).
#include "engine/world/lg_random.h"

#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_module.h"

namespace {

LgModule randomModule;

constexpr int frontLead = 3;
constexpr int discardedRounds = 10;

uint32_t next(LgRandomSlice* s) {
    *s->front += *s->rear;
    const uint32_t result = *s->front >> 1;
    if (++s->front == s->end) s->front = s->state;
    if (++s->rear == s->end) s->rear = s->state;
    return result;
}

void seed(LgRandomSlice* s, uint32_t value) {
    s->state[0] = value;
    for (int i = 1; i < LgRandomStateWords; ++i)
        s->state[i] = s->state[i - 1] * 1103515245u + 12345u;
    s->front = s->state + frontLead;
    s->rear = s->state;
    for (int i = 0; i < discardedRounds * LgRandomStateWords; ++i) next(s);
}

void* random_open(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgRandomSlice>(instance, offset);
    const LgMemoryFunctions& memory = static_cast<LgEngineInstance*>(instance)->memoryFunctions;
    s->state = static_cast<uint32_t*>(memory.alloc(LgRandomStateWords * sizeof(uint32_t)));
    if (s->state == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrOutOfMemory);
        return nullptr;
    }
    s->end = s->state + LgRandomStateWords;
    seed(s, LgRandomDefaultSeed);
    randomModule.offset = offset;
    ++randomModule.openCount;
    return instance;
}

void* random_close(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgRandomSlice>(instance, offset);
    if (s->state != nullptr)
        static_cast<LgEngineInstance*>(instance)->memoryFunctions.free(s->state);
    s->state = s->front = s->rear = s->end = nullptr;
    if (randomModule.openCount > 0) --randomModule.openCount;
    return instance;
}

} // namespace

bool LgRandomPluginAttach() {
    return LgEngineRegisterPlugin(sizeof(LgRandomSlice), LgModuleRandom, random_open,
                                  random_close) >= 0;
}

void LgRandomSeed(uint32_t value) {
    if (LgRandomSlice* s = LgRandomGetSlice()) seed(s, value);
}

uint32_t LgRandom() {
    LgRandomSlice* s = LgRandomGetSlice();
    return s != nullptr ? next(s) : 0;
}

LgRandomSlice* LgRandomGetSlice() {
    return randomModule.slice<LgRandomSlice>();
}
