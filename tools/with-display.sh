#!/usr/bin/env bash
# Runs a command with an X display: the user's own, or a private Xvfb server when there is none.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "$@"
fi
for number in $(seq 90 130); do
    [ -e "/tmp/.X${number}-lock" ] || break
done
# -noreset: by default the server resets when its last client leaves, and a client that
# connects during the reset is refused (a test that closes its connection and opens another).
Xvfb ":${number}" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
export DISPLAY=":${number}"
for _ in $(seq 1 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
"$@"
