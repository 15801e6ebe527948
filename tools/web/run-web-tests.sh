#!/usr/bin/env bash
# Runs the web site's browser tests (tests/web/site_test.py) in headless Chromium against the
# Linux program's start picture (tools/web/linux-start-picture.sh). The test kit's own tests
# (tests/web/pictures_test.py, driver_test.py) run with the Linux build's tests. Any missing
# part (Chromium, WebGL 2 on SwiftShader, the site, the Linux program) is a failure with its
# reason. Extra arguments go to unittest (a test's name runs that test alone).
# Usage: tools/web/run-web-tests.sh SITE_FOLDER LINUX_BUILD_FOLDER [unittest arguments]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# Debian's python3-websocket is installed for the system's Python.
python=/usr/bin/python3

if [ $# -lt 2 ]; then
    echo "usage: $0 SITE_FOLDER LINUX_BUILD_FOLDER [unittest arguments]" >&2
    exit 2
fi
site=$1
linux_build=$2
shift 2
[ -f "$site/index.html" ] || { echo "run-web-tests: no site in $site (make web)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$here/linux-start-picture.sh" "$linux_build" "$work/linux_start.ppm"
"$python" "$root/tests/web/site_test.py" "$site" "$work/linux_start.ppm" -v "$@"
