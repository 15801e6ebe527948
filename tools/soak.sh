#!/usr/bin/env bash
# Long run of the demo: keeps varnel-hwvp-immediate running under X (Xvfb when there is no
# display) for a number of minutes while keys and mouse moves arrive now and then, samples the
# frame rate and the resident memory, collects every error message and prints a summary.
# Fails when the program dies, does not end cleanly on Escape, prints an error, or when its
# resident memory at the end exceeds the level after warm-up by more than the tolerance.
# Usage: tools/soak.sh [minutes, default 10] [build folder, default build/linux]
# Settings: SOAK_WARMUP_SECONDS (default 60), SOAK_TOLERANCE_KB (default 8192).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${SOAK_HAS_DISPLAY:-}" ]; then
    SOAK_HAS_DISPLAY=1 exec "$here/with-display.sh" "$0" "$@"
fi
minutes=${1:-10}
build=$(cd "${2:-$here/../build/linux}" && pwd)
warmup=${SOAK_WARMUP_SECONDS:-60}
tolerance=${SOAK_TOLERANCE_KB:-8192}
program=./varnel-hwvp-immediate
log=$(mktemp /tmp/varnel-soak-XXXXXX.log)

cd "$build"
ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null} VARNEL_UNATTENDED=1 VARNEL_FRAME_REPORT=1 \
    "$program" 2>"$log" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

window=""
for _ in $(seq 1 150); do
    window=$(xdotool search --onlyvisible --name '^Varnel$' 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    sleep 0.1
done
if [ -z "$window" ]; then
    echo "soak: the window did not appear"
    cat "$log"
    exit 1
fi
xdotool windowfocus --sync "$window" >/dev/null 2>&1 || true

rss() { awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null; }
keys=(Prior Next Left Right Return Prior Next Up Down)
start=$(date +%s)
end=$((start + minutes * 60))
rssStart=$(rss)
rssWarm=""
rssPeak=$rssStart
samples="0s:${rssStart}"
lastSample=$start
alive=1
echo "soak: $program for $minutes min, pid $pid, resident memory at start ${rssStart} kB"
while [ "$(date +%s)" -lt "$end" ]; do
    if ! kill -0 "$pid" 2>/dev/null; then
        alive=0
        break
    fi
    key=${keys[RANDOM % ${#keys[@]}]}
    xdotool key --window "$window" "$key" >/dev/null 2>&1
    xdotool mousemove --window "$window" $((100 + RANDOM % 800)) $((100 + RANDOM % 500)) \
        >/dev/null 2>&1
    sleep $((2 + RANDOM % 4))
    now=$(date +%s)
    current=$(rss)
    [ -n "$current" ] || continue
    ((current > rssPeak)) && rssPeak=$current
    if [ -z "$rssWarm" ] && ((now - start >= warmup)); then rssWarm=$current; fi
    if ((now - lastSample >= 60)); then
        samples="$samples $((now - start))s:${current}"
        lastSample=$now
    fi
done
rssEnd=$(rss)

status=0
if ((alive)); then
    xdotool key --window "$window" Escape >/dev/null 2>&1
    for _ in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
fi
if kill -0 "$pid" 2>/dev/null; then
    echo "soak: the program did not end on Escape"
    status=1
    kill "$pid"
fi
wait "$pid"
code=$?
trap - EXIT

rates=$(sed -n 's/^frame rate: \([0-9.]*\) fps$/\1/p' "$log")
average=$(grep -o 'average over .*' "$log" | tail -n 1)
errors=$(grep -v '^frame rate:' "$log")
echo "soak: ran $(($(date +%s) - start)) s, exit code $code"
echo "soak: frame rate $(echo "$rates" | sort -n | head -n 1)..$(echo "$rates" | sort -n |
    tail -n 1) fps over $(echo "$rates" | grep -c .) reports; $(grep -o '[0-9.]* fps average over .*' "$log" | tail -n 1)"
echo "soak: resident memory kB: start ${rssStart}, after warm-up ${rssWarm:-none}, end ${rssEnd:-gone}, peak ${rssPeak}"
echo "soak: samples (elapsed:kB): $samples"
if [ -n "$errors" ]; then
    echo "soak: error messages:"
    echo "$errors" | sort | uniq -c
    status=1
else
    echo "soak: no error messages"
fi
((alive)) || { echo "soak: the program ended on its own"; status=1; }
((code == 0)) || status=1
[ -n "$average" ] || { echo "soak: no closing frame report"; status=1; }
if [ -n "$rssWarm" ] && [ -n "$rssEnd" ] && ((rssEnd > rssWarm + tolerance)); then
    echo "soak: resident memory grew by $((rssEnd - rssWarm)) kB after warm-up (tolerance $tolerance kB)"
    status=1
fi
rm -f "$log"
exit $status
