// Cost of Win32OS::Pump when nothing is waiting: the menu loop pumps once per pass, so an empty
// pump must stay cheap. Headless, over SDL's dummy video driver.
#include "framework/core/framework_startup.h"
#include "framework/core/object_manager.h"
#include "framework/io/fifo_stream.h"
#include "framework/platform/os_service.h"
#include "platform/headless.h"
#include "platform/os/named_mutex.h"
#include "platform/window/event_hub.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <unistd.h>

namespace {

// The framework started with the window service registered; the service created.
class PumpFixture {
public:
    explicit PumpFixture(bool with_window) {
        platform::set_headless(true);
        lock_dir_ =
            std::filesystem::temp_directory_path() / ("corvel-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(lock_dir_);
        platform::set_lock_dir(lock_dir_);
        OmStartup();
        Win32OS_RegisterClasses(OmGetObjectManager());
        FifoStream_RegisterClasses(OmGetObjectManager());
        OmCreate(CLSID_Win32OS, IID_IOmOS, &os_);
        if (with_window) {
            IOmWindow* window = nullptr;
            os_->QueryInterface(IID_IOmWindow, reinterpret_cast<void**>(&window));
            window->Create(nullptr);
            window->SetClientSize(640, 480);
            window->Release();
            os_->Pump();
        }
    }
    ~PumpFixture() {
        os_->Release();
        OmShutdown();
        platform::reset_event_hub();
        platform::set_lock_dir("");
        std::filesystem::remove_all(lock_dir_);
    }
    IOmOS* os() const { return os_; }

private:
    std::string lock_dir_;
    IOmOS* os_ = nullptr;
};

void BM_PumpEmptyQueue(benchmark::State& state) {
    PumpFixture fixture(state.range(0) != 0);
    IOmOS* os = fixture.os();
    for (auto _ : state) benchmark::DoNotOptimize(os->Pump());
    state.SetLabel(state.range(0) ? "with window" : "no window");
}
BENCHMARK(BM_PumpEmptyQueue)->Arg(0)->Arg(1);

// One posted message handled per pump, for comparison with the empty case.
void BM_PumpOneMessage(benchmark::State& state) {
    PumpFixture fixture(true);
    IOmOS* os = fixture.os();
    for (auto _ : state) {
        platform::post_message(nullptr, platform::WM_USER, 0, 0);
        benchmark::DoNotOptimize(os->Pump());
    }
}
BENCHMARK(BM_PumpOneMessage);

} // namespace
