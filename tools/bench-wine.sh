#!/usr/bin/env bash
# Frame rates of the program on the same display for the same time: the Linux build against the
# Windows build under Wine (the same deliverable, varnel-hwvp-immediate, runs alternated twice),
# and the four Linux deliverables against each other. The Linux builds report "frame rate: <fps>
# fps" every 2 seconds (VARNEL_FRAME_REPORT=1), Wine "... @ approx <fps>fps" from its fps
# channel (WINEDEBUG=+fps); the first report of each run (start-up) is left out of the mean.
# Usage: tools/bench-wine.sh [Linux build] [Windows build] [seconds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
linux=$(cd "${1:-build/linux}" && pwd)
windows=$(cd "${2:-build/windows-x86_64}" && pwd)
seconds=${3:-20}

if [ -z "${BENCH_INNER:-}" ]; then
    BENCH_INNER=1 exec "$here/with-display.sh" "$0" "$linux" "$windows" "$seconds"
fi

log=$(mktemp -d)
trap 'rm -rf "$log"' EXIT
export VARNEL_UNATTENDED=1 ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null}

# Runs a command in the background for a number of seconds, its standard error into a file.
run_for() {
    local duration=$1 output=$2
    shift 2
    "$@" 2>"$output" &
    local program=$!
    sleep "$duration"
    kill "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
}

# Mean of the rates in the report files given, without the first report of each.
mean_rate() {
    awk '/^frame rate: [0-9.]+ fps$/ { rate = $3 }
        /trace:fps:wglSwapBuffers @ approx/ { rate = $4; sub(/fps,?/, "", rate) }
        rate != "" { if (seen[FILENAME]++) { sum += rate; n++ } rate = "" }
        END { if (n == 0) print "0"; else printf "%.1f\n", sum / n }' "$@"
}

ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'
}

# Wine's prefix is made once (slow) before any timing.
(cd "$windows" && WINEDEBUG=-all "$here/wine-run.sh" "$linux/wine-prefix" cmd /c exit 0) \
    >/dev/null 2>&1 || true

for round in 1 2; do
    (cd "$linux" && run_for "$seconds" "$log/linux$round.txt" \
        env VARNEL_FRAME_REPORT=1 ./varnel-hwvp-immediate)
    # Wine starts more slowly: the same measured time after a longer start.
    (cd "$windows" && run_for $((seconds + 8)) "$log/wine$round.txt" \
        env WINEDEBUG=-all,+fps "$here/wine-run.sh" "$linux/wine-prefix" varnel-hwvp-immediate.exe)
done
linux_rate=$(mean_rate "$log/linux1.txt" "$log/linux2.txt")
wine_rate=$(mean_rate "$log/wine1.txt" "$log/wine2.txt")
echo "varnel-hwvp-immediate, Linux build:             $linux_rate fps"
echo "varnel-hwvp-immediate.exe, Windows build, Wine: $wine_rate fps"
echo "Linux / Wine: $(ratio "$linux_rate" "$wine_rate") (target at least 1.2)"

echo "The four Linux deliverables:"
for name in varnel-swvp-immediate varnel-hwvp-default varnel-swvp-default \
    varnel-hwvp-immediate; do
    (cd "$linux" && run_for "$seconds" "$log/$name.txt" env VARNEL_FRAME_REPORT=1 "./$name")
    rate=$(mean_rate "$log/$name.txt")
    echo "  $name: $rate fps ($(ratio "$rate" "$linux_rate") of varnel-hwvp-immediate above)"
done
