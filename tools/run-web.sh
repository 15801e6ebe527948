#!/usr/bin/env bash
# Serves the web build's site on 127.0.0.1 and prints its address. Without a display it opens
# the front page in headless Chromium for a few seconds instead (tools/web/browser.py serves it)
# and saves a screenshot of it, as tools/run-demo.sh does for the Linux program.
# Usage: tools/run-web.sh [site folder, default build/web]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
site=$(cd "${1:-build/web}" && pwd)
port=${VARNEL_WEB_PORT:-8080}
seconds=${VARNEL_DEMO_SECONDS:-8}
address="http://127.0.0.1:$port/"

if [ -n "${DISPLAY:-}" ]; then
    echo "Serving $site at $address (Ctrl+C stops it)"
    exec python3 -m http.server --bind 127.0.0.1 --directory "$site" "$port"
fi

shot="$site/screenshot.png"
/usr/bin/python3 "$here/web/browser.py" "$site" index.html "$shot" "$seconds"
echo "No display here: the page ran for $seconds seconds in headless Chromium."
echo "Screenshot: $shot"
