#!/bin/sh
# Runs every fuzz harness of a fuzz build for a given time, `jobs` at a time, on a working
# corpus seeded from fuzz/corpus/<harness>/, and prints executions and crashes per harness.
# Crashing inputs are kept in <build dir>/fuzz-work/<harness>/artifacts/.
# Usage: fuzz/run.sh <build dir> <seconds per harness> <jobs> [harness ...]
# Exits non-zero when a harness crashed, leaked, hung or broke a checked property.
set -e
cd "$(dirname "$0")/.."

build=$1
seconds=$2
jobs=$3
shift 3

harnesses=""
for bin in "$build"/fuzz/fuzz_*; do
    name=$(basename "$bin" | sed 's/^fuzz_//')
    [ -x "$bin" ] && [ "$name" != seeds ] || continue
    if [ $# -gt 0 ]; then
        case " $* " in *" $name "*) ;; *) continue ;; esac
    fi
    harnesses="$harnesses $name"
done
[ -n "$harnesses" ] || { echo "fuzz: no harness built in $build" >&2; exit 1; }

run_one() { # name
    work="$build/fuzz-work/$1"
    rm -rf "$work/artifacts"
    mkdir -p "$work/corpus" "$work/artifacts"
    seeds="fuzz/corpus/$1"
    [ -d "$seeds" ] || seeds=""
    # New inputs go to the working corpus only; the seeds in the repository stay as written.
    "$build/fuzz/fuzz_$1" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" $seeds \
        >"$work/log" 2>&1 || true
}

running=0
for name in $harnesses; do
    run_one "$name" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait
        running=0
    fi
done
wait

passed=0
failed=0
for name in $harnesses; do
    work="$build/fuzz-work/$name"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
    crashes=$(find "$work/artifacts" -type f | wc -l)
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
