#!/usr/bin/env bash
# Runs every benchmark of a build folder for a moment, the frame-rate comparison for a few
# seconds, the start-up time once and the instruction count of a few frames, so that a
# benchmark that no longer builds, starts or finds its data fails the test run. The figures
# are printed, not checked: this machine's load decides them.
# Usage: tools/run-benchmarks.sh [build folder, default build/linux]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build/linux}" && pwd)
if [ -z "${BENCH_INNER:-}" ]; then
    BENCH_INNER=1 exec "$here/with-display.sh" "$0" "$build"
fi
export VARNEL_UNATTENDED=1 ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null}
cd "$build"
count=0
for benchmark in ./*_benchmark; do
    # A benchmark that cannot set itself up skips with an error and still exits with 0.
    if ! output=$("$benchmark" --benchmark_min_time=0.01 2>&1) ||
        grep -q "ERROR OCCURRED" <<<"$output"; then
        echo "$output"
        echo "run-benchmarks: $benchmark failed"
        exit 1
    fi
    count=$((count + 1))
done
if [ "$count" -eq 0 ]; then
    echo "run-benchmarks: no benchmark in $build"
    exit 1
fi
echo "run-benchmarks: $count benchmarks ran"
"$here/bench-frame-rate.sh" "$build" 5 1
"$here/bench-first-frame.sh" "$build" 1
"$here/bench-frame-instructions.sh" "$build" 5
