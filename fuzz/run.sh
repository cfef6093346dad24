#!/bin/bash
# Runs every fuzz harness of a fuzz build for a given time, `jobs` at a time, on a working
# corpus seeded from fuzz/corpus/<harness>/, and prints executions, their rate and crashes
# per harness.
# A text format's dictionary, fuzz/dicts/<harness>.dict, is passed when it exists.
# Crashing inputs are kept in <build dir>/fuzz-work/<harness>/artifacts/.
# Usage: fuzz/run.sh <build dir> <seconds per harness> <jobs> [harness ...]
# With FUZZ_RUNS=n in the environment a harness also stops after n executions, so a long run
# can ask for a number of executions with a generous time limit.
# With FUZZ_WORKERS=k each harness runs as k processes on its one working corpus (libFuzzer
# reloads what the others add), and FUZZ_RUNS is shared out among them, so they stop by
# themselves once the harness has its executions. `jobs` counts harnesses, so k * jobs
# processes run at a time. Executions are summed over the processes, and the rate is per
# second of the harness's wall time.
# Exits non-zero when a harness crashed, leaked, hung or broke a checked property.
set -e
cd "$(dirname "$0")/.."

build=$1
seconds=$2
jobs=$3
shift 3
workers=${FUZZ_WORKERS:-1}

positive() { # value name
    case "$1" in
    '' | 0* | *[!0-9]*) echo "fuzz: $2 must be a positive whole number, not '$1'" >&2; exit 2 ;;
    esac
}
positive "$seconds" seconds
positive "$jobs" jobs
positive "$workers" FUZZ_WORKERS
[ -z "$FUZZ_RUNS" ] || positive "$FUZZ_RUNS" FUZZ_RUNS
# Each process's share of the executions, rounded up: together they do at least FUZZ_RUNS.
share=""
[ -z "$FUZZ_RUNS" ] || share=$(((FUZZ_RUNS + workers - 1) / workers))

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
    rm -rf "$work/artifacts" "$work"/log "$work"/log.* "$work/milliseconds"
    mkdir -p "$work/corpus" "$work/artifacts"
    seeds="fuzz/corpus/$1"
    [ -d "$seeds" ] || seeds=""
    dict="fuzz/dicts/$1.dict"
    [ -f "$dict" ] || dict=""
    started=$(date +%s%3N)
    worker=1
    while [ "$worker" -le "$workers" ]; do
        log="$work/log"
        [ "$worker" -eq 1 ] || log="$work/log.$worker"
        # New inputs go to the working corpus only; the seeds in the repository stay as written.
        "$build/fuzz/fuzz_$1" -max_total_time="$seconds" ${share:+-runs=$share} \
            ${dict:+-dict=$dict} \
            -timeout=20 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" $seeds \
            >"$log" 2>&1 &
        worker=$((worker + 1))
    done
    wait || true
    echo $(($(date +%s%3N) - started)) >"$work/milliseconds"
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
    # Every process must have printed its final count; one that did not was killed or hung,
    # and a harness without a log never ran.
    runs=""
    for log in "$work/log" "$work"/log.*; do
        [ -f "$log" ] || continue
        count=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
        if [ -z "$count" ]; then
            runs=""
            break
        fi
        runs=$((${runs:-0} + count))
    done
    milliseconds=$(cat "$work/milliseconds" 2>/dev/null || echo 0)
    rate="-"
    [ -z "$runs" ] || [ "$milliseconds" -eq 0 ] || rate=$((runs * 1000 / milliseconds))
    # Inputs slower than libFuzzer's report limit are kept too, but are no failure.
    crashes=$(find "$work/artifacts" -type f ! -name 'slow-unit-*' | wc -l)
    printf '%-26s %12s executions %7s s %8s/s  %s crashes\n' "$name" "${runs:-?}" \
        "$((milliseconds / 1000))" "$rate" "$crashes"
    if [ "$crashes" -ne 0 ] || [ -z "$runs" ]; then
        failed=$((failed + 1))
        for log in "$work/log" "$work"/log.*; do
            [ -f "$log" ] || continue
            echo "    log: $log"
            grep -E 'ERROR|SUMMARY|fuzz: |Test unit written|Timeout' "$log" | head -n 20 \
                | sed 's/^/    /' || true
        done
    else
        passed=$((passed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
