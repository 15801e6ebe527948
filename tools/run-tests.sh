#!/usr/bin/env bash
# The whole test run of `make test`: fuzzes every file format (tools/run-fuzz.sh, in
# build/fuzz), runs every test of a build folder (under Xvfb when there is no display), runs
# every benchmark briefly (tools/run-benchmarks.sh), runs the layer's API tests built for
# Windows under Wine (tools/run-wine-tests.sh) for each Windows build there is, and, when a
# second build folder is given (the sanitizer build), runs its tests too with sanitizer
# findings as failures, and when a third is given (the web build), the web backend's tests
# under Node, the site's in headless Chromium (tools/web/run-web-tests.sh) and the web
# benchmark briefly (tools/web/bench-web.py). Any failure ends the run with a failure.
# Usage: tools/run-tests.sh [build folder, default build/linux] [sanitizer build folder]
#                           [web build folder]
set -euo pipefail
build=${1:-build/linux}
sanitized=${2:-}
web=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
export VARNEL_UNATTENDED=1
# Sound plays into OpenAL Soft's null backend unless a test chooses otherwise.
export ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null}
# Every file format the program reads under libFuzzer, all targets together for a bounded
# time (VARNEL_FUZZ_SECONDS, default 180).
"$here/run-fuzz.sh" "${VARNEL_FUZZ_SECONDS:-180}" "$build/../fuzz"
"$here/with-display.sh" ctest --test-dir "$build" --output-on-failure --timeout 300
# Every benchmark for a moment, and the frame-rate comparison for a few seconds.
"$here/run-benchmarks.sh" "$build"
# The layer's API tests against the real implementation, for each Windows build that is there
# (the 32-bit one under 32-bit Wine, with the 32-bit record sizes, where the machine runs it).
for architecture in x86_64 i686; do
    windows_build="$build/../windows-$architecture"
    if [ ! -f "$windows_build/varnel_layer_tests.exe" ]; then
        echo "run-tests: no $windows_build/varnel_layer_tests.exe; its tests under Wine are skipped"
    elif [ "$architecture" = i686 ] && ! reason=$("$here/wine-run.sh" --runs-32-bit); then
        echo "run-tests: NOT RUN: the i686 layer tests under Wine: $reason"
    else
        "$here/run-wine-tests.sh" "$windows_build"
    fi
done
if [ -n "$web" ]; then
    ctest --test-dir "$web" --output-on-failure --timeout 300
    "$here/web/run-web-tests.sh" "$web" "$build"
    # The web build against the native program, for a moment.
    "$here/web/bench-web.py" "$web" "$build" 4 1
fi
if [ -n "$sanitized" ]; then
    # Every finding, leaks included, ends the process with a failure and a stack;
    # tests/lsan.supp names the graphics driver's own allocations, and nothing else.
    # LeakSanitizer's exit scan stops every thread, and it crashed now and then among the
    # driver's ("Tracer caught signal 11"): here llvmpipe renders in the calling thread and Mesa
    # starts no shader-cache thread. SDL's video keeps a D-Bus
    # connection with its buffers until SDL_Quit, which the programs never call; without a bus
    # it opens none.
    export ASAN_OPTIONS=halt_on_error=1:abort_on_error=0:detect_leaks=1:detect_stack_use_after_return=0
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
    export LP_NUM_THREADS=0 MESA_SHADER_CACHE_DISABLE=true
    export DBUS_SESSION_BUS_ADDRESS=disabled: DBUS_SYSTEM_BUS_ADDRESS=disabled:
    # fontconfig loses a pattern of every <rejectfont> rule it reads, as the system's
    # 70-no-bitmaps.conf has; the layer asks for scalable fonts only, so here the system's
    # configuration is read without that file.
    if [ -f /etc/fonts/fonts.conf ]; then
        FONTCONFIG_FILE="$(cd "$sanitized" && pwd)/fonts.conf"
        export FONTCONFIG_FILE
        {
            sed '/<include ignore_missing="yes">conf.d<\/include>/d; /<\/fontconfig>/d' \
                /etc/fonts/fonts.conf
            for conf in /etc/fonts/conf.d/*.conf; do
                [ "$(basename "$conf")" = 70-no-bitmaps.conf ] ||
                    echo "<include ignore_missing=\"yes\">$conf</include>"
            done
            echo '</fontconfig>'
        } >"$FONTCONFIG_FILE"
    fi
    # The Windows programs under Wine are not built with the sanitizers: their tests run once,
    # above. LeakSanitizer's exit scan of a program's threads itself still crashes now and then
    # ("Tracer caught signal 11", no finding), which fails the test that ran the program; when
    # a run shows that crash, its failed tests run again, up to ten times each, and must pass.
    # One damaged-data run (meshes cut short at the second place) makes that scan crash every
    # time under the sanitizers; it runs in the plain build above.
    if ! "$here/with-display.sh" ctest --test-dir "$sanitized" --output-on-failure --timeout 600 \
        --exclude-regex "WindowsProgramUnderWine|/MeshesCutShort2 "; then
        grep -q "^Tracer caught signal" "$sanitized/Testing/Temporary/LastTest.log" || exit 1
        # By name: the numbers ctest keeps of failed tests count only the tests the run took.
        failed=$(sed 's/^[0-9]*://; s/[][().*+?^$|\\{}]/\\&/g' \
            "$sanitized/Testing/Temporary/LastTestsFailed.log" | paste -sd'|')
        echo "run-tests: LeakSanitizer's scan crashed; the failed tests run again"
        "$here/with-display.sh" ctest --test-dir "$sanitized" --output-on-failure --timeout 600 \
            --tests-regex "^($failed)\$" --no-tests=error --repeat until-pass:10
    fi
fi
