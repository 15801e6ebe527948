#!/usr/bin/env bash
# Compares the frame rate of the program's frame loop with a plain SDL2 + OpenGL loop that only
# clears and swaps, on the same display for the same time: layer_frame_loop (the same clear and
# swap through the Direct3D layer, as the program's loop does it) and, when it is built, the
# program varnel-hwvp-immediate drawing its scene. All report "frame rate: <fps> fps" lines
# every 2 seconds on stderr (VARNEL_FRAME_REPORT=1); the first interval of each run (start-up)
# is left out of the mean.
# Usage: tools/bench-frame-rate.sh [build folder] [seconds per run] [rounds]
set -euo pipefail
build=$(cd "${1:-build/linux}" && pwd)
seconds=${2:-6}
rounds=${3:-4}
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${BENCH_INNER:-}" ]; then
    BENCH_INNER=1 exec "$here/with-display.sh" "$0" "$build" "$seconds" "$rounds"
fi

# Mean of the interval lines of the reports given, without the first line of each.
mean_rate() {
    awk '/^frame rate: [0-9.]+ fps$/ { if (seen[FILENAME]++) { sum += $3; n++ } }
        END { if (n == 0) print "0"; else printf "%.1f\n", sum / n }' "$@"
}

# Fails the script when a run ended with an error or reported no frame rate, showing its output.
check_run() {
    local status=$1 output=$2 name=$3
    if [ "$status" -ne 0 ] || ! grep -q "^frame rate: [0-9.]* fps" "$output"; then
        cat "$output"
        echo "bench-frame-rate: $name failed (exit status $status) or reported no frame rate"
        exit 1
    fi
}

log=$(mktemp -d)
trap 'rm -rf "$log"' EXIT
cd "$build"

# Runs the plain loop and the loop through the layer in alternating rounds, to even out the
# changing load of the machine.
for round in $(seq 1 "$rounds"); do
    status=0
    "$build/plain_gl_loop" "$seconds" 2>"$log/plain$round.txt" || status=$?
    check_run $status "$log/plain$round.txt" plain_gl_loop
    VARNEL_FRAME_REPORT=1 "$build/layer_frame_loop" "$seconds" 2>"$log/layer$round.txt" || status=$?
    check_run $status "$log/layer$round.txt" layer_frame_loop
done
plain=$(mean_rate "$log"/plain*.txt)
layer=$(mean_rate "$log"/layer*.txt)
echo "plain SDL2 + OpenGL loop: $plain fps"
echo "layer_frame_loop (clear, begin, end, present through the layer): $layer fps"
awk -v a="$layer" -v b="$plain" 'BEGIN { if (b > 0) printf "ratio: %.3f (target at least 0.95)\n", a / b }'

# The whole program, drawing its scene, for one run's time.
if [ -x "$build/varnel-hwvp-immediate" ]; then
    VARNEL_FRAME_REPORT=1 ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null} \
        "$build/varnel-hwvp-immediate" 2>"$log/program.txt" &
    program=$!
    sleep "$seconds"
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
    check_run 0 "$log/program.txt" varnel-hwvp-immediate
    measured=$(mean_rate "$log/program.txt")
    echo "varnel-hwvp-immediate: $measured fps"
    awk -v a="$measured" -v b="$plain" 'BEGIN { if (b > 0) printf "ratio: %.3f\n", a / b }'
fi
