// The start-up trace, kept in plain memory outside the framework's heap so that recording it
// never changes the allocation count it reports.
#include "frontend/startup/startup_trace.h"

#include "platform/fault_injection.h"

namespace {

std::vector<TvTraceEntry>& steps() {
    static std::vector<TvTraceEntry> list;
    return list;
}

TvTraceObserver observer = nullptr;

} // namespace

void TvTraceClear() {
    steps().clear();
}

void TvTraceStep(std::string step) {
    steps().push_back({std::move(step), platform::allocations_seen()});
    if (observer) observer(steps().back().step);
}

void TvSetTraceObserver(TvTraceObserver o) {
    observer = o;
}

const std::vector<TvTraceEntry>& TvTraceSteps() {
    return steps();
}
