#!/bin/bash
# Runs every fuzz harness of a fuzz build for a given time, `jobs` at a time, on a working
# corpus seeded from fuzz/corpus/<harness>/, and prints executions and crashes per harness.
# A text format's dictionary, fuzz/dicts/<harness>.dict, is passed when it exists.
# Crashing inputs are kept in <build dir>/fuzz-work/<harness>/artifacts/.
# Usage: fuzz/run.sh <build dir> <seconds per harness> <jobs> [harness ...]
# With FUZZ_RUNS=n in the environment a harness also stops after n executions, so a long run
# can ask for a number of executions with a generous time limit.
# Exits non-zero when a harness crashed, leaked, hung or broke a checked property.
set -e
cd "$(dirname "$0")/.."

build=$1
seconds=$2
jobs=$3
shift 3

# Harnesses named on the command line run in the order given (longest first packs best).
harnesses=""
if [ $# -gt 0 ]; then
    for name in "$@"; do
        [ -x "$build/fuzz/fuzz_$name" ] || { echo "fuzz: no harness $name in $build" >&2; exit 1; }
        harnesses="$harnesses $name"
    done
else
    for bin in "$build"/fuzz/fuzz_*; do
        name=$(basename "$bin" | sed 's/^fuzz_//')
        [ -x "$bin" ] && [ "$name" != seeds ] || continue
        harnesses="$harnesses $name"
    done
fi
[ -n "$harnesses" ] || { echo "fuzz: no harness built in $build" >&2; exit 1; }

run_one() { # name
    work="$build/fuzz-work/$1"
    rm -rf "$work/artifacts"
    mkdir -p "$work/corpus" "$work/artifacts"
    seeds="fuzz/corpus/$1"
    [ -d "$seeds" ] || seeds=""
    dict="fuzz/dicts/$1.dict"
    [ -f "$dict" ] || dict=""
    # New inputs go to the working corpus only; the seeds in the repository stay as written.
    "$build/fuzz/fuzz_$1" -max_total_time="$seconds" ${FUZZ_RUNS:+-runs=$FUZZ_RUNS} \
        ${dict:+-dict=$dict} \
        -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" $seeds \
        >"$work/log" 2>&1 || true
}

# A new harness starts as soon as one ends, so short and long runs share the cores well.
running=0
for name in $harnesses; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n || true
        running=$((running - 1))
    fi
    run_one "$name" &
    running=$((running + 1))
done
wait

passed=0
failed=0
for name in $harnesses; do
    work="$build/fuzz-work/$name"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
    # Inputs slower than libFuzzer's report limit are kept too, but are no failure.
    crashes=$(find "$work/artifacts" -type f ! -name 'slow-unit-*' | wc -l)
    printf '%-24s %12s executions  %s crashes\n' "$name" "${runs:-?}" "$crashes"
    if [ "$crashes" -ne 0 ] || [ -z "$runs" ]; then
        failed=$((failed + 1))
        echo "    log: $work/log"
        grep -E 'ERROR|SUMMARY|fuzz: |Test unit written|Timeout' "$work/log" | head -n 20 \
            | sed 's/^/    /' || true
    else
        passed=$((passed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
