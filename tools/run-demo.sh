#!/usr/bin/env bash
# Starts the demo. Without a display it runs a few seconds under Xvfb and saves a screenshot.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build/linux}" && pwd)
program=varnel-hwvp-immediate
cd "$build"
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "./$program"
fi
shot="$build/screenshot.png"
"$here/with-display.sh" bash -c "
    VARNEL_UNATTENDED=1 ./$program &
    pid=\$!
    sleep 6
    import -window root '$shot'
    kill \$pid 2>/dev/null || true
    wait \$pid 2>/dev/null || true
"
echo "No display here: the demo ran for a few seconds under Xvfb; screenshot saved to $shot"
