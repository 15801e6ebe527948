#!/usr/bin/env bash
# Builds the test kit's probe page (probe.cpp with the layer's OpenAL sound output, index.html)
# into a folder with Debian's Emscripten, for tests/web/driver_test.py.
# Usage: tests/web/probe/build-probe.sh OUTPUT_FOLDER
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 OUTPUT_FOLDER" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
out=$1
command -v em++ >/dev/null || { echo "build-probe: no em++ (tools/install-deps.sh web)" >&2; exit 1; }
# Debian's emcc finds its Node modules only here.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
mkdir -p "$out"
em++ -std=c++20 -O2 -Wall -Wextra -I"$root/platform/backends" \
    "$here/probe.cpp" "$root/platform/backends/openal/openal_output.cpp" \
    -lopenal -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2 -sENVIRONMENT=web -o "$out/probe.js"
cp "$here/index.html" "$out/index.html"
