#!/bin/sh
# One entry point for building, running, testing and benchmarking corvel.
#   ./build.sh run [args]     build and run the game on its demo data
#   ./build.sh test           build everything and run the whole test suite
#   ./build.sh bench          build in Release and run the benchmarks
#   ./build.sh sanitize       build and run the test suite under ASan+UBSan
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

case "$cmd" in
run)
    configure build RelWithDebInfo
    if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ]; then
        echo "corvel: no display found, running headless"
        export CORVEL_HEADLESS=1
    fi
    exec ./build/corvel "$@"
    ;;
test)
    configure build RelWithDebInfo
    export CORVEL_HEADLESS=1
    ctest --test-dir build --output-on-failure -j "$jobs" --timeout 600
    ;;
sanitize)
    configure build-asan Debug -DCORVEL_SANITIZE=address,undefined
    export CORVEL_HEADLESS=1
    export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export LSAN_OPTIONS="suppressions=$(pwd)/tests/lsan.supp"
    ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 1200
    ;;
bench)
    configure build-release Release -DCORVEL_BENCH=ON
    export CORVEL_HEADLESS=1
    for b in build-release/bench/bench_*; do
        [ -x "$b" ] || continue
        echo "== $b"
        "$b" "$@"
    done
    ;;
*)
    echo "usage: $0 run|test|bench|sanitize" >&2
    exit 2
    ;;
esac
