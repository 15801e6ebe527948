#!/usr/bin/env bash
# Compares the frame rate of the program's frame loop with a plain SDL2 + OpenGL loop that only
# clears and swaps, on the same display for the same time: layer_frame_loop (the same clear and
# swap through the Direct3D layer, as the program's loop does it) and, when it is built, the
# program varnel-hwvp-immediate drawing its scene. Then, when scene_reference is built, the
# program's start view against the same scene drawn with OpenGL alone, in alternating rounds,
# with the CPU time per frame of each (less disturbed by other load than the frame rate), where
# a frame of the reference goes, the four deliverables and the passenger train. All report
# "frame rate: <fps> fps" lines every 2 seconds on stderr (VARNEL_FRAME_REPORT=1); the first
# interval of each run (start-up) is left out of the mean, so a run of N seconds measures N - 2
# seconds after start-up.
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

# The start view against the reference, alternated, each run `seconds` long. Prints the mean
# frame rate and the CPU milliseconds per frame (all threads, the driver's included) of each.
if [ -x "$build/scene_reference" ] && [ -x "$build/varnel-hwvp-immediate" ]; then
    export VARNEL_UNATTENDED=1 ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null}
    # Waits until the file $1 holds $2 reports, the process $3 has ended, or the reports are
    # 30 s overdue, so that a program that stops reporting cannot stall the run.
    wait_reports() {
        local limit=$((SECONDS + 2 * $2 + 30))
        while [ "$(grep -c '^frame rate' "$1")" -lt "$2" ] && kill -0 "$3" 2>/dev/null &&
            [ "$SECONDS" -lt "$limit" ]; do
            sleep 0.05
        done
    }
    # Runs a program until it has written `seconds` / 2 reports (at least 2), its reports into
    # $log/<name>.txt, into <name>.cpu the CPU ticks it used from its first report to the last of
    # them and into <name>.last that report's number, so that ticks and frames cover the same time.
    timed_run() {
        local name=$1
        shift
        : >"$log/$name.txt"
        VARNEL_FRAME_REPORT=1 "$@" 2>>"$log/$name.txt" &
        local program=$! last=$((seconds / 2 > 1 ? seconds / 2 : 2))
        local before after
        wait_reports "$log/$name.txt" 1 "$program"
        before=$(awk '{ print $14 + $15 }' "/proc/$program/stat" 2>/dev/null || echo 0)
        wait_reports "$log/$name.txt" "$last" "$program"
        after=$(awk '{ print $14 + $15 }' "/proc/$program/stat" 2>/dev/null || echo 0)
        kill "$program" 2>/dev/null || true
        wait "$program" 2>/dev/null || true
        echo "$((after - before))" >"$log/$name.cpu"
        echo "$last" >"$log/$name.last"
    }
    # CPU milliseconds per frame over the runs given by name: ticks against the frames of the
    # reports after the first up to the last one timed.
    cpu_per_frame() {
        local ticks=0 frames=0 name
        for name in "$@"; do
            ticks=$((ticks + $(cat "$log/$name.cpu")))
            frames=$(awk -v f="$frames" -v last="$(cat "$log/$name.last")" \
                '/^frame rate: [0-9.]+ fps$/ { if (++n > 1 && n <= last) f += $3 * 2 }
                END { print f }' "$log/$name.txt")
        done
        awk -v t="$ticks" -v f="$frames" -v hz="$(getconf CLK_TCK)" \
            'BEGIN { if (f > 0) printf "%.1f", t * 1000 / hz / f; else print "n/a" }'
    }
    for round in $(seq 1 "$rounds"); do
        timed_run "reference$round" "$build/scene_reference" 100000
        timed_run "shaders$round" "$build/scene_reference" --shaders 100000
        timed_run "start$round" "$build/varnel-hwvp-immediate"
        for part in texturing fragments drawing; do
            timed_run "without-$part$round" "$build/scene_reference" --without "$part" 100000
        done
    done
    names() { for round in $(seq 1 "$rounds"); do echo "$1$round"; done; }
    # shellcheck disable=SC2046 # one name a word
    reference=$(mean_rate $(names "$log/reference" | sed 's/$/.txt/'))
    # shellcheck disable=SC2046
    shaders=$(mean_rate $(names "$log/shaders" | sed 's/$/.txt/'))
    # shellcheck disable=SC2046
    start=$(mean_rate $(names "$log/start" | sed 's/$/.txt/'))
    # shellcheck disable=SC2046
    echo "scene_reference (the start view, OpenGL alone, fixed function): $reference fps," \
        "$(cpu_per_frame $(names reference)) ms CPU a frame"
    # shellcheck disable=SC2046
    echo "scene_reference --shaders: $shaders fps, $(cpu_per_frame $(names shaders)) ms CPU a frame"
    # shellcheck disable=SC2046
    echo "varnel-hwvp-immediate (the start view): $start fps (target at least 60)," \
        "$(cpu_per_frame $(names start)) ms CPU a frame"
    awk -v a="$start" -v b="$reference" -v c="$shaders" 'BEGIN { if (c > b) b = c
        if (b > 0) printf "ratio to the faster reference: %.3f (target at least 0.9)\n", a / b }'
    # Where the reference's frame goes, each part as the frame time saved by leaving it out. The
    # software renderer sets up and bins all of a frame's triangles before it rasterizes any, so
    # the parts add up. The one-pixel scissor drops a triangle before its set-up and binning.
    # shellcheck disable=SC2046
    awk -v whole="$reference" \
        -v untextured="$(mean_rate $(names "$log/without-texturing" | sed 's/$/.txt/'))" \
        -v onePixel="$(mean_rate $(names "$log/without-fragments" | sed 's/$/.txt/'))" \
        -v nothing="$(mean_rate $(names "$log/without-drawing" | sed 's/$/.txt/'))" \
        'BEGIN { if (whole > 0 && untextured > 0 && onePixel > 0 && nothing > 0) {
            printf "where a frame of scene_reference goes: %.2f ms in all; triangles and" \
                " fragments (set-up, binning, clear, rasterizing, depth test, texturing) %.2f" \
                " ms, of which texturing %.2f ms; vertices (fetch, transform, lighting," \
                " clipping, culling) %.2f ms; present and the rest %.2f ms\n", 1000 / whole,
                1000 / whole - 1000 / onePixel, 1000 / whole - 1000 / untextured,
                1000 / onePixel - 1000 / nothing, 1000 / nothing } }'

    for name in varnel-swvp-immediate varnel-hwvp-default varnel-swvp-default; do
        [ -x "$build/$name" ] || continue
        timed_run "$name" "$build/$name"
        echo "$name: $(mean_rate "$log/$name.txt") fps, $(cpu_per_frame "$name") ms CPU a frame"
    done
    # The passenger train: Enter, typed into the program's window once it shows.
    if command -v xdotool >/dev/null; then
        (window=$(xdotool search --sync --onlyvisible --name Varnel | head -1) &&
            xdotool windowfocus --sync "$window" && sleep 0.5 &&
            xdotool key --window "$window" Return) >/dev/null 2>&1 &
        timed_run passenger "$build/varnel-hwvp-immediate"
        echo "varnel-hwvp-immediate, passenger train: $(mean_rate "$log/passenger.txt") fps," \
            "$(cpu_per_frame passenger) ms CPU a frame"
    fi
fi
