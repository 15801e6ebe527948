#!/usr/bin/env bash
# Compares the frame rate of the program's frame loop with a plain SDL2 + OpenGL loop that only
# clears and swaps, on the same display for the same time. The program is varnel-hwvp-immediate
# when it is built, otherwise layer_frame_loop (clear, begin, end, present through the layer).
# Both report "frame rate: <fps> fps" lines every 2 seconds on stderr (VARNEL_FRAME_REPORT=1);
# the first interval (start-up) is left out of the mean.
# Usage: tools/bench-frame-rate.sh [build folder] [seconds]
set -euo pipefail
build=$(cd "${1:-build/linux}" && pwd)
seconds=${2:-12}
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${BENCH_INNER:-}" ]; then
    BENCH_INNER=1 exec "$here/with-display.sh" "$0" "$build" "$seconds"
fi

# Mean of the interval lines of a report, without the first.
mean_rate() {
    grep -E '^frame rate: [0-9.]+ fps$' "$1" | awk 'NR > 1 { sum += $3; n++ }
        END { if (n == 0) print "0"; else printf "%.1f\n", sum / n }'
}

log=$(mktemp -d)
trap 'rm -rf "$log"' EXIT
cd "$build"

"$build/plain_gl_loop" "$seconds" 2>"$log/plain.txt"
plain=$(mean_rate "$log/plain.txt")

if [ -x "$build/varnel-hwvp-immediate" ]; then
    name=varnel-hwvp-immediate
    VARNEL_FRAME_REPORT=1 ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null} \
        "$build/varnel-hwvp-immediate" 2>"$log/program.txt" &
    program=$!
    sleep "$seconds"
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
else
    name=layer_frame_loop
    VARNEL_FRAME_REPORT=1 "$build/layer_frame_loop" "$seconds" 2>"$log/program.txt"
fi
measured=$(mean_rate "$log/program.txt")

echo "plain SDL2 + OpenGL loop: $plain fps"
echo "$name: $measured fps"
awk -v a="$measured" -v b="$plain" 'BEGIN {
    if (b == 0) { print "ratio: n/a"; exit 1 }
    printf "ratio: %.3f (target at least 0.95)\n", a / b }'
