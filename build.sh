#!/bin/sh
# One entry point for building, running, testing and benchmarking corvel.
#   ./build.sh run [args]     build and run the game on its demo data
#   ./build.sh test           build everything and run the whole test suite
#   ./build.sh bench          build in Release and run the benchmarks, then the frame benchmarks
#                             of the demo missions and of the stress mission (per-stage tables)
#   ./build.sh sanitize       build and run the test suite under ASan+UBSan
#   ./build.sh tsan           build and run the graphics device's and the engine's tests under
#                             ThreadSanitizer (the rasteriser's worker threads), and the
#                             network client's and the multiplayer lobby's (the join thread)
#   ./build.sh fuzz [seconds] [harness ...]
#                             build the fuzz harnesses with clang and run each (or those named)
#                             for the given time (default 60 s), printing executions, rate and
#                             crashes per harness; FUZZ_RUNS and FUZZ_WORKERS: see fuzz/run.sh
#   ./build.sh fuzz-seeds     regenerate the seed corpora in fuzz/corpus/
# With CI=true, `test` also runs every fuzz harness for 10 s on its seed corpus.
set -e
cd "$(dirname "$0")"

cmd=${1:-run}
[ $# -gt 0 ] && shift

tools/deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
launcher=""
command -v ccache >/dev/null 2>&1 && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"

configure() { # dir build-type [extra cmake args]
    dir=$1; type=$2; shift 2
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" $launcher "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

# The harnesses and the libraries they need, with clang, in their own build directory.
build_fuzz() {
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCORVEL_FUZZ=ON $launcher >/dev/null
    cmake --build build-fuzz -j "$jobs" --target fuzz_all
}

case "$cmd" in
run)
    configure build RelWithDebInfo
    if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ]; then
        echo "corvel: no display found, running headless"
        export CORVEL_HEADLESS=1
    fi
    exec ./build/bin/corvel "$@"
    ;;
test)
    configure build RelWithDebInfo
    export CORVEL_HEADLESS=1
    fuzz_status=0
    if [ "$CI" = true ]; then
        # A short run on the seed corpora: a parser change that crashes on them, or near
        # them, fails the build. The unit tests still run so their results are seen too.
        { build_fuzz && fuzz/run.sh build-fuzz 10 "$jobs"; } || fuzz_status=1
    fi
    ctest --test-dir build --output-on-failure -j "$jobs" --timeout 600
    [ "$fuzz_status" -eq 0 ] || { echo "corvel: the fuzz run failed (see above)" >&2; exit 1; }
    ;;
sanitize)
    configure build-asan Debug -DCORVEL_SANITIZE=address,undefined
    export CORVEL_HEADLESS=1
    export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export LSAN_OPTIONS="suppressions=$(pwd)/tests/lsan.supp"
    ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 1200
    ;;
tsan)
    cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVEL_SANITIZE=thread \
        -DCORVEL_BENCH=OFF $launcher >/dev/null
    cmake --build build-tsan -j "$jobs" --target test_platform test_engine test_net test_frontend
    export CORVEL_HEADLESS=1 TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
    for threads in 1 8; do
        CORVEL_RASTER_THREADS=$threads build-tsan/tests/test_platform
        CORVEL_RASTER_THREADS=$threads build-tsan/tests/test_engine
    done
    build-tsan/tests/test_net
    build-tsan/tests/test_frontend --gtest_filter='LobbyTest.*:FramesTest.*'
    ;;
bench)
    configure build-release Release -DCORVEL_BENCH=ON
    export CORVEL_HEADLESS=1
    for b in build-release/bench/bench_*; do
        [ -x "$b" ] || continue
        echo "== $b"
        "$b" "$@"
    done
    # The real program flying the demo missions, then the synthetic stress mission at 500,
    # 1500 and 3000 objects: time per frame stage.
    echo "== bench/e2e/mission_frames.py"
    python3 bench/e2e/mission_frames.py --corvel build-release/bin/corvel
    echo "== bench/e2e/stress_frames.py"
    python3 bench/e2e/stress_frames.py --corvel build-release/bin/corvel
    ;;
fuzz)
    seconds=${1:-60}
    [ $# -gt 0 ] && shift
    build_fuzz
    # The cores go to whole harnesses: each takes FUZZ_WORKERS of them.
    # A count that is no positive whole number is fuzz/run.sh's to refuse.
    harness_jobs=$jobs
    case "${FUZZ_WORKERS:-1}" in
    '' | 0* | *[!0-9]*) ;;
    *) harness_jobs=$((jobs / FUZZ_WORKERS)) ;;
    esac
    [ "$harness_jobs" -gt 0 ] || harness_jobs=1
    fuzz/run.sh build-fuzz "$seconds" "$harness_jobs" "$@"
    ;;
fuzz-seeds)
    build_fuzz
    build-fuzz/fuzz/fuzz_seeds fuzz/corpus
    ;;
*)
    echo "usage: $0 run|test|bench|sanitize|tsan|fuzz [seconds] [harness ...]|fuzz-seeds" >&2
    exit 2
    ;;
esac
