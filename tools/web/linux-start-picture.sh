#!/usr/bin/env bash
# Saves the Linux program's start picture, the reference the web build's start picture is
# compared with (tests/web/site_test.py): varnel-hwvp-immediate of a Linux build folder, run in
# that folder with the clock stopped by libfaketime (as the Wine comparison does) under Xvfb,
# its client area captured as a binary PPM once it has drawn for a while. The program that
# presents at once (varnel-hwvp-immediate) is the one run: the others wait for the refresh by
# the clock, which then never comes.
# Usage: tools/web/linux-start-picture.sh LINUX_BUILD_FOLDER OUTPUT.ppm
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 LINUX_BUILD_FOLDER OUTPUT.ppm" >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${VARNEL_PICTURE_INNER:-}" ]; then
    VARNEL_PICTURE_INNER=1 exec "$here/../with-display.sh" "$0" "$@"
fi
build=$(cd "$1" && pwd)
out=$(realpath -m "$2")
faketime_library=""
for candidate in /usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1 /usr/lib/faketime/libfaketime.so.1; do
    [ -f "$candidate" ] && faketime_library=$candidate && break
done
[ -n "$faketime_library" ] || { echo "linux-start-picture: no libfaketime (faketime package)" >&2; exit 1; }
[ -x "$build/varnel-hwvp-immediate" ] || { echo "linux-start-picture: no $build/varnel-hwvp-immediate" >&2; exit 1; }

cd "$build"
LD_PRELOAD=$faketime_library FAKETIME="2026-01-01 00:00:00" VARNEL_UNATTENDED=1 \
    ALSOFT_DRIVERS=null ./varnel-hwvp-immediate >/dev/null 2>&1 &
program=$!
trap 'kill -KILL $program 2>/dev/null || true; wait $program 2>/dev/null || true' EXIT
window=""
for _ in $(seq 1 300); do
    window=$(xdotool search --name '^Varnel$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { echo "linux-start-picture: the program showed no window" >&2; exit 1; }
# The scene loads after the window shows; the clock stands, so the picture then stays.
sleep 4
import -window "$window" -depth 8 "ppm:$out"
echo "linux-start-picture: $out"
