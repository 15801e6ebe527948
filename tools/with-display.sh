#!/usr/bin/env bash
# Runs a command with an X display: the user's own, or a private Xvfb server when there is none.
set -euo pipefail
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "$@"
fi
# Xvfb chooses a free display number itself and writes it out once it accepts connections
# (-displayfd), so servers started side by side cannot end up sharing one.
numberFile=$(mktemp)
# -noreset: by default the server resets when its last client leaves, and a client that
# connects during the reset is refused (a test that closes its connection and opens another).
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$numberFile" >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true; rm -f "$numberFile"' EXIT
for _ in $(seq 1 100); do
    [ -s "$numberFile" ] && break
    sleep 0.1
done
export DISPLAY=":$(head -n 1 "$numberFile")"
"$@"
