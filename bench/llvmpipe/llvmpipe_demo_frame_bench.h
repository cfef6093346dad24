// The demo scene's frame side by side with llvmpipe: registered into the comparison
// benchmark's run, with its own closing table.
#pragma once

#include "bench/llvmpipe/llvmpipe_peer.h"

#include <functional>
#include <string>

namespace rasterbench {

// The one peer of the process, reopened when the thread count (-1: default) changes.
LlvmpipePeer* peer_for(int threads, std::string& error);

void register_demo_frame_benchmarks();
// `ms` gives a benchmark's mean real milliseconds (negative when it did not run).
void print_demo_frame_table(const std::function<double(const std::string&)>& ms);

} // namespace rasterbench
