#!/usr/bin/env bash
# Runs the layer's API tests built for Windows (varnel_layer_tests.exe) under Wine, so that the
# behaviour they expect is checked against a real implementation of the same API.
# Usage: tools/run-wine-tests.sh [windows build folder] [GoogleTest arguments...]
# Wine runs through tools/wine-run.sh, in the prefix that every Wine run of the project shares
# (build/linux/wine-prefix, made once).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=$(cd "${1:-$root/build/windows-x86_64}" && pwd)
shift || true

program="$build/varnel_layer_tests.exe"
if [ ! -f "$program" ]; then
    echo "run-wine-tests: $program is missing; build the windows-x86_64 preset first" >&2
    exit 1
fi
if ! command -v wine >/dev/null; then
    echo "run-wine-tests: Wine is not installed (tools/install-deps.sh)" >&2
    exit 1
fi

prefix="$root/build/linux/wine-prefix"
cd "$build"
"$here/with-display.sh" bash -c '
    set -euo pipefail
    status=0
    "$0" "$1" "${@:2}" || status=$?
    # Let the prefix'"'"'s own processes end while the display is still there.
    WINEPREFIX=$1 timeout 60 wineserver -w || WINEPREFIX=$1 wineserver -k || true
    exit $status
' "$here/wine-run.sh" "$prefix" "$program" "$@"
