#!/usr/bin/env bash
# Starts the demo. Without a display it runs a few seconds under Xvfb, saves a screenshot of the
# window and, since such a machine has no sound device either, a recording of the sound.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build/linux}" && pwd)
program=varnel-hwvp-immediate
seconds=${VARNEL_DEMO_SECONDS:-8}
cd "$build"
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "./$program"
fi

shot="$build/screenshot.png"
sound="$build/demo-sound.wav"
# OpenAL Soft's wave-file backend writes what would have been played.
config="$build/alsoft-wave.conf"
printf '[general]\ndrivers = wave\n[wave]\nfile = %s\n' "$sound" >"$config"
export ALSOFT_CONF="$config" ALSOFT_DRIVERS=wave VARNEL_UNATTENDED=1
"$here/with-display.sh" bash -c "
    ./$program &
    pid=\$!
    sleep $seconds
    window=\$(xdotool search --name '^Varnel\$' | head -n 1)
    if [ -n \"\$window\" ]; then import -window \"\$window\" '$shot'; else import -window root '$shot'; fi
    kill \$pid 2>/dev/null || true
    wait \$pid 2>/dev/null || true
"
echo "No display here: the demo ran for $seconds seconds under Xvfb."
echo "Screenshot: $shot"
echo "Sound:      $sound"
