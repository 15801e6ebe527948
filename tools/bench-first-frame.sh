#!/usr/bin/env bash
# Measures a program's start-up: the wall-clock milliseconds from the process's start to its
# first picture (the first buffer swap), over several runs, with the median. A small preloaded
# library, compiled here, notes the time when it is loaded and prints the time at the first
# SDL_GL_SwapWindow; the program is then ended.
# Usage: tools/bench-first-frame.sh [build folder, default build/linux] [runs, default 7]
#        [program, default varnel-hwvp-immediate]
set -euo pipefail
build=$(cd "${1:-build/linux}" && pwd)
runs=${2:-7}
program=${3:-varnel-hwvp-immediate}
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${BENCH_INNER:-}" ]; then
    BENCH_INNER=1 exec "$here/with-display.sh" "$0" "$build" "$runs" "$program"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/first_swap.c" <<'SOURCE'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <time.h>

static struct timespec loaded;

__attribute__((constructor)) static void noteLoad(void) {
    clock_gettime(CLOCK_MONOTONIC, &loaded);
}

void SDL_GL_SwapWindow(void* window) {
    static void (*real)(void*) = 0;
    static int swaps = 0;
    if (!real)
        real = (void (*)(void*))dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
    real(window);
    if (swaps++ == 0) {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        fprintf(stderr, "first frame: %.1f ms\n",
                (now.tv_sec - loaded.tv_sec) * 1e3 + (now.tv_nsec - loaded.tv_nsec) / 1e6);
    }
}
SOURCE
cc -shared -fPIC -O2 -o "$work/first_swap.so" "$work/first_swap.c" -ldl

cd "$build"
for run in $(seq 1 "$runs"); do
    : >"$work/run$run.txt"
    VARNEL_UNATTENDED=1 ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null} LD_PRELOAD="$work/first_swap.so" \
        "$build/$program" 2>"$work/run$run.txt" &
    pid=$!
    for _ in $(seq 1 600); do
        grep -q '^first frame' "$work/run$run.txt" && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    if ! grep -q '^first frame' "$work/run$run.txt"; then
        cat "$work/run$run.txt"
        echo "bench-first-frame: run $run of $program showed no frame" >&2
        exit 1
    fi
done
grep -h '^first frame' "$work"/run*.txt | awk '{ print $3 }' | sort -n |
    awk -v name="$program" '{ value[NR] = $1 } END {
        printf "%s: first frame after %.1f ms (median of %d runs; fastest %.1f, slowest %.1f)\n",
            name, value[int((NR + 1) / 2)], NR, value[1], value[NR] }'
