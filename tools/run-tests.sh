#!/usr/bin/env bash
# Runs every test of a build folder, under Xvfb when there is no display; when a second build
# folder is given (the sanitizer build), runs its tests too with sanitizer findings as failures.
# Usage: tools/run-tests.sh [build folder, default build/linux] [sanitizer build folder]
set -euo pipefail
build=${1:-build/linux}
sanitized=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
export VARNEL_UNATTENDED=1
# Sound plays into OpenAL Soft's null backend unless a test chooses otherwise.
export ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null}
# The WAV reader under libFuzzer for a bounded time (VARNEL_FUZZ_SECONDS, default 60).
"$here/run-fuzz.sh" "${VARNEL_FUZZ_SECONDS:-60}" "$build/../fuzz"
"$here/with-display.sh" ctest --test-dir "$build" --output-on-failure --timeout 300
# Every benchmark for a moment, and the frame-rate comparison for a few seconds.
"$here/run-benchmarks.sh" "$build"
# The layer's API tests against the real implementation, when the 64-bit Windows build is there.
windows_build="$build/../windows-x86_64"
if [ -f "$windows_build/varnel_layer_tests.exe" ]; then
    "$here/run-wine-tests.sh" "$windows_build"
else
    echo "run-tests: no $windows_build/varnel_layer_tests.exe; the tests under Wine are skipped"
fi
if [ -n "$sanitized" ]; then
    # Every finding ends the process with a failure and a stack. LeakSanitizer's exit-time scan crashes on its own ("Tracer caught signal 11") too often
    # among the GL drivers' threads to gate every run on it; leaks are checked by the toggle
    # soak's live counts here and by tools/soak.sh and valgrind by hand.
    export ASAN_OPTIONS=halt_on_error=1:abort_on_error=0:detect_leaks=0:detect_stack_use_after_return=0
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
    export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
    # A failed test runs once more; a real finding repeats.
    # The Windows programs under Wine are not built with the sanitizers: their tests run once, above.
    "$here/with-display.sh" ctest --test-dir "$sanitized" --output-on-failure --timeout 600 \
        --repeat until-pass:2 --exclude-regex WindowsProgramUnderWine
fi
