#!/usr/bin/env bash
# Runs the browser tests: the test kit's own (tests/web/pictures_test.py, and driver_test.py on
# the probe page it builds with Emscripten), then the web build's site against the Linux
# program's start picture (tests/web/site_test.py). Any missing part (Chromium, WebGL 2 on
# SwiftShader, Emscripten, the site, the Linux program) is a failure with its reason.
# Usage: tools/web/run-web-tests.sh SITE_FOLDER LINUX_BUILD_FOLDER
#        tools/web/run-web-tests.sh --kit-only   (the test kit alone, before a site exists)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# Debian's python3-websocket is installed for the system's Python.
python=/usr/bin/python3

kit_only=false
if [ "${1:-}" = --kit-only ] && [ $# -eq 1 ]; then
    kit_only=true
elif [ $# -ne 2 ]; then
    echo "usage: $0 SITE_FOLDER LINUX_BUILD_FOLDER | $0 --kit-only" >&2
    exit 2
fi

"$python" "$root/tests/web/pictures_test.py"
"$python" "$root/tests/web/driver_test.py"
if $kit_only; then
    echo "run-web-tests: the test kit passed; the site's tests were not asked for (--kit-only)"
    exit 0
fi

site=$1
linux_build=$2
[ -f "$site/index.html" ] || { echo "run-web-tests: no site in $site (make web)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$here/linux-start-picture.sh" "$linux_build" "$work/linux_start.ppm"
"$python" "$root/tests/web/site_test.py" "$site" "$work/linux_start.ppm" -v
