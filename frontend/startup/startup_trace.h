// The start-up trace: the steps of start-up and shutdown in the order the program took them,
// each with the framework allocations made before it, so a run can be checked step by step.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TvTraceEntry {
    std::string step;
    // Framework heap allocations counted since the allocation-fault injector was last reset.
    uint64_t allocations_before;
};

// Forgets the previous run's steps.
void TvTraceClear();
// Appends a step.
void TvTraceStep(std::string step);
// The steps taken since the last clear.
const std::vector<TvTraceEntry>& TvTraceSteps();

// Called with each step as it is traced (null: none). Tests act at a chosen step this way.
using TvTraceObserver = void (*)(const std::string& step);
void TvSetTraceObserver(TvTraceObserver observer);
