// A null rendering device for engine tests: it accepts every camera and raster call, keeps
// render states, and records every standard-function call and every primitive submitted to it.
#pragma once

#include "tests/engine/core/engine_test_support.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace enginetest {

struct StandardCall {
    int32_t slot;
    void* out;
    void* in;
    int32_t number;
    LgRGBA colour; // slot 21 only
};

// One device draw call, with copies of the vertices it was given.
struct SubmittedDraw {
    int32_t type; // the primitive type; LgPrimTriList for a single triangle, LgPrimLineList
                  // for a single line
    bool indexed;
    std::vector<LgIm3DScreenVertex> vertices;
    std::vector<uint16_t> indices;
};

using ScreenTriangle = std::array<LgIm3DScreenVertex, 3>;
using ScreenLine = std::array<LgIm3DScreenVertex, 2>;

class NullDevice {
public:
    NullDevice() { current() = this; }
    ~NullDevice() { current() = nullptr; }
    NullDevice(const NullDevice&) = delete;
    NullDevice& operator=(const NullDevice&) = delete;

    // Makes the fake device answer as this null device: the standard functions, the render
    // states, the screen-space draw functions and the pipeline request. Call before open.
    void install(FakeDevice& device) {
        device.record.setRenderState = &NullDevice::set_state;
        device.record.getRenderState = &NullDevice::get_state;
        device.record.im2DRenderLine = &NullDevice::draw_line;
        device.record.im2DRenderTriangle = &NullDevice::draw_triangle;
        device.record.im2DRenderPrimitive = &NullDevice::draw_primitive;
        device.record.im2DRenderIndexedPrimitive = &NullDevice::draw_indexed;
        device.answers[LgDeviceRequestStandardFunctions] = [](void* out, void*, int32_t count) {
            auto* table = static_cast<LgStandardFunctions*>(out);
            fill_slots(table, count,
                       std::make_integer_sequence<int32_t, LgStandardFunctionCount>{});
            return 1;
        };
        device.answers[LgDeviceRequestPipeline] = [this](void*, void* in, int32_t) {
            if (fillPipeline) fillPipeline(static_cast<LgPipeline*>(in));
            return pipelineResult;
        };
    }

    int count(int32_t slot) const {
        int n = 0;
        for (const StandardCall& c : calls)
            if (c.slot == slot) ++n;
        return n;
    }

    // Every triangle and line the device drew, in drawing order, whatever the batching.
    std::vector<ScreenTriangle> triangles() const {
        std::vector<ScreenTriangle> out;
        for (const SubmittedDraw& d : draws)
            for_each_primitive(d, 3, [&](const std::vector<int>& v) {
                out.push_back({d.vertices[v[0]], d.vertices[v[1]], d.vertices[v[2]]});
            });
        return out;
    }
    std::vector<ScreenLine> lines() const {
        std::vector<ScreenLine> out;
        for (const SubmittedDraw& d : draws)
            for_each_primitive(d, 2, [&](const std::vector<int>& v) {
                out.push_back({d.vertices[v[0]], d.vertices[v[1]]});
            });
        return out;
    }

    std::vector<StandardCall> calls;
    std::map<int32_t, int32_t> slotResults; // slot -> answer; 1 when absent
    std::map<int32_t, uintptr_t> states;
    std::vector<std::pair<int32_t, uintptr_t>> stateSets;
    std::vector<SubmittedDraw> draws;
    // What request 9 does to a new pipeline: by default it installs the shared transform stage.
    std::function<void(LgPipeline*)> fillPipeline = [](LgPipeline* p) {
        p->stage1 = LgIm3DTransformStage;
    };
    int32_t pipelineResult = 1;

private:
    static NullDevice*& current() {
        static NullDevice* device = nullptr;
        return device;
    }

    template <int32_t Slot>
    static int32_t slot(void* out, void* in, int32_t number) {
        NullDevice* self = current();
        if (self == nullptr) return 0;
        StandardCall call = {Slot, out, in, number, {}};
        if (Slot == LgStdCameraClear && in != nullptr) call.colour = *static_cast<LgRGBA*>(in);
        self->calls.push_back(call);
        auto it = self->slotResults.find(Slot);
        return it != self->slotResults.end() ? it->second : 1;
    }
    template <int32_t... Slots>
    static void fill_slots(LgStandardFunctions* table, int32_t count,
                           std::integer_sequence<int32_t, Slots...>) {
        ((Slots < count ? (table->slot[Slots] = &slot<Slots>, 0) : 0), ...);
    }

    static int32_t set_state(int32_t state, void* value) {
        NullDevice* self = current();
        const auto v = reinterpret_cast<uintptr_t>(value);
        self->states[state] = v;
        self->stateSets.emplace_back(state, v);
        return 1;
    }
    static int32_t get_state(int32_t state, void* out) {
        NullDevice* self = current();
        auto it = self->states.find(state);
        if (it == self->states.end()) return 0;
        *static_cast<uintptr_t*>(out) = it->second;
        return 1;
    }

    static std::vector<LgIm3DScreenVertex> copy(const void* vertices, int32_t count) {
        const auto* v = static_cast<const LgIm3DScreenVertex*>(vertices);
        return {v, v + count};
    }
    static int32_t draw_line(void* vertices, int32_t i0, int32_t i1) {
        const auto* v = static_cast<const LgIm3DScreenVertex*>(vertices);
        current()->draws.push_back({LgPrimLineList, false, {v[i0], v[i1]}, {}});
        return 1;
    }
    static int32_t draw_triangle(void* vertices, int32_t i0, int32_t i1, int32_t i2) {
        const auto* v = static_cast<const LgIm3DScreenVertex*>(vertices);
        current()->draws.push_back({LgPrimTriList, false, {v[i0], v[i1], v[i2]}, {}});
        return 1;
    }
    static int32_t draw_primitive(int32_t type, void* vertices, int32_t count) {
        current()->draws.push_back({type, false, copy(vertices, count), {}});
        return 1;
    }
    static int32_t draw_indexed(int32_t type, void* vertices, int32_t vertexCount,
                                const uint16_t* indices, int32_t indexCount) {
        current()->draws.push_back(
            {type, true, copy(vertices, vertexCount), {indices, indices + indexCount}});
        return 1;
    }

    // Calls f with the vertex numbers of each primitive of `arity` vertices in the draw.
    static void for_each_primitive(const SubmittedDraw& d, int arity,
                                   const std::function<void(const std::vector<int>&)>& f) {
        std::vector<int> order;
        if (d.indexed)
            order.assign(d.indices.begin(), d.indices.end());
        else
            for (size_t i = 0; i < d.vertices.size(); ++i) order.push_back(static_cast<int>(i));
        const int n = static_cast<int>(order.size());
        const bool lines = d.type == LgPrimLineList || d.type == LgPrimLineStrip;
        if ((arity == 2) != lines) return;
        switch (d.type) {
        case LgPrimLineList:
            for (int i = 0; i + 1 < n; i += 2) f({order[i], order[i + 1]});
            break;
        case LgPrimLineStrip:
            for (int i = 0; i + 1 < n; ++i) f({order[i], order[i + 1]});
            break;
        case LgPrimTriList:
            for (int i = 0; i + 2 < n; i += 3) f({order[i], order[i + 1], order[i + 2]});
            break;
        case LgPrimTriStrip:
            for (int i = 0; i + 2 < n; ++i)
                f((i & 1) == 0 ? std::vector<int>{order[i], order[i + 1], order[i + 2]}
                               : std::vector<int>{order[i], order[i + 2], order[i + 1]});
            break;
        case LgPrimTriFan:
            for (int i = 1; i + 1 < n; ++i) f({order[0], order[i], order[i + 1]});
            break;
        default: break;
        }
    }
};

// An engine started on a fake device that answers as a null device.
class NullDeviceEngine {
public:
    explicit NullDeviceEngine(const std::function<void()>& attach = {})
        : engine(0, [this, attach] {
              device.install(engine.device);
              if (attach) attach();
          }) {}

    NullDevice device; // constructed before the engine opens on it
    StartedEngine engine;
};

} // namespace enginetest
