#!/usr/bin/env bash
# Runs the layer's API tests built for Windows (varnel_layer_tests.exe) under Wine, so that the
# behaviour they expect is checked against a real implementation of the same API.
# Usage: tools/run-wine-tests.sh [windows build folder] [GoogleTest arguments...]
# The Wine prefix is kept in build/wine-prefix and made once; sound goes to ALSA's null device.
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
wine=$(command -v wine64 || command -v wine || true)
if [ -z "$wine" ]; then
    echo "run-wine-tests: Wine is not installed (tools/install-deps.sh)" >&2
    exit 1
fi

export WINEPREFIX="$root/build/wine-prefix"
export WINEDEBUG=-all
# No Mono or Gecko download prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
alsa_config="$root/build/wine-alsa-null.conf"
mkdir -p "$root/build"
echo 'pcm.!default { type null }' >"$alsa_config"
export ALSA_CONFIG_PATH="$alsa_config"

cd "$build"
"$here/with-display.sh" bash -c '
    set -euo pipefail
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i
        wineserver -w
    fi
    status=0
    "$0" "$1" "${@:2}" || status=$?
    # Let the prefix'"'"'s own processes end while the display is still there.
    timeout 60 wineserver -w || wineserver -k || true
    exit $status
' "$wine" "$program" "$@"
