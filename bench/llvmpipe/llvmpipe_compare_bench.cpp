// Our software rasteriser side by side with Mesa's llvmpipe: the same screen-space triangles,
// textures and states drawn through our device and through OpenGL on llvmpipe (1 rasteriser
// thread, 0 = rasterising on the calling thread, and llvmpipe's default), timed until the
// peer has finished (glFinish), then a table of milliseconds per batch and the ratio
// ours / llvmpipe, with a coverage and colour check of one batch read back from both.
// CORVEL_LLVMPIPE_IMAGES=<folder> also writes both images of every checked case there (PPM).
#include "bench/llvmpipe/image_compare.h"
#include "bench/llvmpipe/llvmpipe_demo_frame_bench.h"
#include "bench/llvmpipe/llvmpipe_peer.h"
#include "bench/platform/raster_workload.h"
#include "platform/graphics/raster_workers.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace rasterbench;

namespace {

struct Case {
    uint32_t w, h;
    Mode mode;
    int area; // 0: the 3x overdraw of full-screen layers
    std::string name;
};

std::vector<Case> all_cases() {
    std::vector<Case> cases;
    for (auto [w, h] : {std::pair{640u, 480u}, std::pair{1024u, 768u}}) {
        const std::string res = std::to_string(w) + "x" + std::to_string(h);
        for (int mode = 0; mode < ModeCount; ++mode)
            for (int area : {8, 64, 512, 4096})
                cases.push_back({w, h, Mode(mode), area,
                                 res + "/" + kModeNames[mode] + "/" + std::to_string(area)});
        cases.push_back({w, h, PointTextured, 0, res + "/overdraw3x"});
    }
    return cases;
}

// About two screens of pixels a batch, so per-batch costs (llvmpipe's scene flush and thread
// hand-over, our per-call set-up) weigh as little as in a real frame.
uint32_t triangle_count(const Case& c) {
    return std::clamp<uint32_t>(2 * c.w * c.h / uint32_t(c.area), 200, 100000);
}

std::vector<D3DTLVERTEX> vertices_of(const Case& c) {
    return c.area == 0 ? overdraw_layers(c.w, c.h) : scatter(c.w, c.h, c.area, triangle_count(c));
}

double pixels_of(const Case& c) {
    return c.area == 0 ? 3.0 * c.w * c.h : double(c.area) * triangle_count(c);
}

struct PeerConfig {
    int threads; // LP_NUM_THREADS, -1 for the default
    const char* name;
};
constexpr PeerConfig kPeers[] = {{1, "llvmpipe_1t"}, {0, "llvmpipe_0t"}, {-1, "llvmpipe_default"}};

std::unique_ptr<LlvmpipePeer> g_peer;
std::map<int, std::string> g_peer_notes; // per thread setting: renderer and threads seen

} // namespace

LlvmpipePeer* rasterbench::peer_for(int threads, std::string& error) {
    if (g_peer && g_peer->requested_threads() == threads) return g_peer.get();
    g_peer.reset(); // one llvmpipe screen at a time: its thread count is fixed at creation
    g_peer = LlvmpipePeer::open(threads, error);
    if (g_peer)
        g_peer_notes[threads] = g_peer->renderer() + ", " +
                                std::to_string(g_peer->worker_threads()) + " rasteriser threads";
    return g_peer.get();
}

namespace {

std::map<std::string, ImageCheck> g_checks;

void check_case(const Case& c, LlvmpipePeer& peer) {
    DeviceBench b(c.w, c.h);
    b.set_mode(c.mode);
    const auto v = vertices_of(c);
    b.clear();
    b.draw(v);
    std::vector<uint16_t> oc, oz, pc, pz;
    b.read(oc, oz);
    peer.clear();
    peer.draw();
    peer.finish();
    peer.read(pc, pz);
    if (const char* folder = std::getenv("CORVEL_LLVMPIPE_IMAGES")) {
        std::string base = c.name;
        std::replace(base.begin(), base.end(), '/', '_');
        base = std::string(folder) + "/" + base;
        write_ppm(base + "_ours.ppm", oc, c.w, c.h);
        write_ppm(base + "_llvmpipe.ppm", pc, c.w, c.h);
    }
    g_checks[c.name] = compare_images(oc, oz, pc, pz);
}

void set_rate(benchmark::State& state, const Case& c) {
    state.counters["Mpixels/s"] = benchmark::Counter(
        double(state.iterations()) * pixels_of(c) / 1e6, benchmark::Counter::kIsRate);
}

// threads: rasteriser threads, 0 for the device's default. Each batch is one scene: its end
// waits for the pixels, as glFinish does for llvmpipe.
void run_ours(benchmark::State& state, const Case& c, uint32_t threads) {
    DeviceBench b(c.w, c.h, threads);
    b.set_mode(c.mode);
    const auto v = vertices_of(c);
    b.scene(v); // builds the texel caches
    for (auto _ : state) {
        if (c.area == 0) b.clear_depth();
        b.scene(v);
    }
    set_rate(state, c);
}

void run_peer(benchmark::State& state, const Case& c, int threads) {
    std::string error;
    LlvmpipePeer* peer = peer_for(threads, error);
    if (!peer) {
        state.SkipWithError(("llvmpipe: " + error).c_str());
        return;
    }
    if (!peer->set_target(c.w, c.h)) {
        state.SkipWithError("llvmpipe refuses a 565 target with a 16-bit depth buffer");
        return;
    }
    peer->set_mode(c.mode);
    peer->upload(vertices_of(c));
    if (threads == kPeers[0].threads && !g_checks.count(c.name)) check_case(c, *peer);
    peer->clear();
    peer->draw(); // compiles the shader variants for these states
    peer->finish();
    for (auto _ : state) {
        if (c.area == 0) peer->clear_depth();
        peer->draw();
        peer->finish();
    }
    set_rate(state, c);
}

// Keeps the mean real time per batch of every benchmark for the closing table.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.error_occurred || r.run_type != Run::RT_Iteration) continue;
            auto& [sum, n] = times_[r.run_name.function_name];
            sum += r.GetAdjustedRealTime();
            ++n;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // Milliseconds, or a negative value when the benchmark did not run.
    double ms(const std::string& name) const {
        auto it = times_.find(name);
        return it == times_.end() ? -1 : it->second.first / it->second.second;
    }

private:
    std::map<std::string, std::pair<double, int>> times_;
};

void print_table(const RecordingReporter& rep, const std::vector<Case>& cases) {
    std::printf("\nms per batch (real time; ours to the end of the scene, llvmpipe to glFinish); "
                "ratio = ours / llvmpipe, below 1 means ours is faster\n");
    std::printf("  ours: 1 thread (1t) and the device's default, %u threads (def)\n",
                raster_threads_for(0));
    for (auto& [threads, note] : g_peer_notes)
        std::printf("  LP_NUM_THREADS=%s: %s\n",
                    threads < 0 ? "default" : std::to_string(threads).c_str(), note.c_str());
    std::printf("%-32s %8s %8s %8s %8s %8s %8s %8s %8s %8s   %s\n", "case", "ours_1t", "ours_def",
                "lp_1t", "lp_0t", "lp_def", "1t/lp1t", "1t/lpdef", "def/lp1t", "def/lpdef",
                "coverage ours/llvmpipe (differ), mean |dRGB|");
    auto field = [](double v, const char* fmt) {
        char buf[32];
        if (v < 0)
            std::snprintf(buf, sizeof(buf), "%s", "-");
        else
            std::snprintf(buf, sizeof(buf), fmt, v);
        return std::string(buf);
    };
    for (const Case& c : cases) {
        const double one = rep.ms("ours_1t/" + c.name), def = rep.ms("ours_default/" + c.name);
        double peer[3];
        for (int i = 0; i < 3; ++i) peer[i] = rep.ms(std::string(kPeers[i].name) + "/" + c.name);
        if (one < 0 && def < 0 && peer[0] < 0 && peer[1] < 0 && peer[2] < 0) continue;
        auto ratio = [](double ours, double p) { return ours < 0 || p <= 0 ? -1.0 : ours / p; };
        std::string check;
        if (auto it = g_checks.find(c.name); it != g_checks.end()) check = describe(it->second);
        std::printf("%-32s %8s %8s %8s %8s %8s %8s %8s %8s %8s   %s\n", c.name.c_str(),
                    field(one, "%.3f").c_str(), field(def, "%.3f").c_str(),
                    field(peer[0], "%.3f").c_str(), field(peer[1], "%.3f").c_str(),
                    field(peer[2], "%.3f").c_str(), field(ratio(one, peer[0]), "%.2f").c_str(),
                    field(ratio(one, peer[2]), "%.2f").c_str(),
                    field(ratio(def, peer[0]), "%.2f").c_str(),
                    field(ratio(def, peer[2]), "%.2f").c_str(), check.c_str());
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<Case> cases = all_cases();
    for (auto [prefix, threads] : {std::pair{"ours_1t/", 1u}, std::pair{"ours_default/", 0u}})
        for (const Case& c : cases)
            benchmark::RegisterBenchmark((prefix + c.name).c_str(), run_ours, c, threads)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->MinTime(0.25);
    for (const PeerConfig& p : kPeers)
        for (const Case& c : cases)
            benchmark::RegisterBenchmark((std::string(p.name) + "/" + c.name).c_str(), run_peer, c,
                                         p.threads)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->MinTime(0.25);
    register_demo_frame_benchmarks();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    g_peer.reset();
    print_table(reporter, cases);
    print_demo_frame_table([&reporter](const std::string& name) { return reporter.ms(name); });
    benchmark::Shutdown();
    return 0;
}
