#!/usr/bin/env bash
# Runs every test of a build folder, under Xvfb when there is no display.
set -euo pipefail
build=${1:-build/linux}
here=$(cd "$(dirname "$0")" && pwd)
export VARNEL_UNATTENDED=1
# Sound plays into OpenAL Soft's null backend unless a test chooses otherwise.
export ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null}
# The WAV reader under libFuzzer for a bounded time (VARNEL_FUZZ_SECONDS, default 60).
"$here/run-fuzz.sh" "${VARNEL_FUZZ_SECONDS:-60}" "$build/../fuzz"
"$here/with-display.sh" ctest --test-dir "$build" --output-on-failure --timeout 300
