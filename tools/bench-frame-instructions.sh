#!/usr/bin/env bash
# Counts the instructions a frame of the program's start view costs, with valgrind's callgrind,
# split into the graphics driver (Mesa: its libraries and the code its software renderer
# compiles at run time) and everything outside it (the program, the layer, SDL, the C and C++
# libraries), in the program's own thread: the sound mixer's thread runs by the clock, not by
# the frame, and is left out. Instruction counts do not depend on the machine's load. The
# renderer draws in the calling thread (LP_NUM_THREADS=0), so all of a frame is counted. Once
# the program has reported its frame rate twice (VARNEL_FRAME_REPORT, after start-up) the
# counters are zeroed, `seconds` later they are written out, and the costs are divided by the
# frames rendered in between (the calls of the program's renderFrame).
# Usage: tools/bench-frame-instructions.sh [build folder] [seconds, default 30]
set -euo pipefail
build=$(cd "${1:-build/linux}" && pwd)
seconds=${2:-30}
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${BENCH_INNER:-}" ]; then
    BENCH_INNER=1 exec "$here/with-display.sh" "$0" "$build" "$seconds"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$build"
VARNEL_UNATTENDED=1 VARNEL_FRAME_REPORT=1 ALSOFT_DRIVERS=null LP_NUM_THREADS=0 \
    valgrind --tool=callgrind --separate-threads=yes --callgrind-out-file="$work/callgrind.out" \
    "$build/varnel-hwvp-immediate" >"$work/valgrind.txt" 2>&1 &
pid=$!
limit=$((SECONDS + 600))
while [ "$(grep -c '^frame rate' "$work/valgrind.txt")" -lt 2 ] && kill -0 "$pid" 2>/dev/null &&
    [ "$SECONDS" -lt "$limit" ]; do
    sleep 1
done
callgrind_control -z "$pid" >/dev/null 2>&1
sleep "$seconds"
callgrind_control -d "$pid" >/dev/null 2>&1
sleep 1
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
dump=$(ls "$work"/callgrind.out.*-01 2>/dev/null | head -n 1)
if [ -z "$dump" ]; then
    cat "$work/valgrind.txt"
    echo "bench-frame-instructions: callgrind wrote no dump" >&2
    exit 1
fi
python3 - "$dump" <<'PARSE'
import re, sys

# Self cost by object, and the calls of renderFrame (one per frame).
names = {}
def name(kind, text):
    match = re.match(r"\((\d+)\)(?: (.*))?", text)
    if not match:
        return text
    key = (kind, match.group(1))
    if match.group(2) is not None:
        names[key] = match.group(2)
    return names.get(key, "?")

costs = {}
frames = 0
current_object = "?"
called_function = ""
skip_next = False
for line in open(sys.argv[1], errors="replace"):
    line = line.rstrip("\n")
    if line.startswith("ob="):
        current_object = name("ob", line[3:])
    elif line.startswith("cob="):
        name("ob", line[4:])
    elif line.startswith(("fn=", "fl=", "fi=", "fe=", "cfi=", "cfl=")):
        kind = "fn" if line.startswith("fn=") else "fl"
        name(kind, line.split("=", 1)[1])
    elif line.startswith("cfn="):
        called_function = name("fn", line[4:])
    elif line.startswith("calls="):
        if called_function.startswith("renderFrame("):
            frames += int(line[6:].split()[0])
        skip_next = True
    elif line and (line[0].isdigit() or line[0] in "+-*"):
        if skip_next:
            skip_next = False
            continue
        fields = line.split()
        if len(fields) >= 2:
            costs[current_object] = costs.get(current_object, 0) + int(fields[1])

def is_driver(path):
    base = path.rsplit("/", 1)[-1]
    return (path == "???" or base.startswith(("libGL", "libEGL", "libglapi", "libgallium",
            "libLLVM", "swrast", "kms_swrast", "libdrm", "libxshmfence")) or "_dri" in base)

driver = sum(cost for path, cost in costs.items() if is_driver(path))
outside = sum(cost for path, cost in costs.items() if not is_driver(path))
if frames == 0:
    sys.exit("bench-frame-instructions: no frame in the measured time")
print(f"frames measured: {frames}")
print(f"instructions a frame: {(driver + outside) / frames / 1e6:.2f} M in all, "
      f"{driver / frames / 1e6:.2f} M in the driver, {outside / frames / 1e6:.2f} M outside it")
for path, cost in sorted(costs.items(), key=lambda item: -item[1])[:8]:
    if not is_driver(path):
        print(f"  outside the driver: {path.rsplit('/', 1)[-1]}: {cost / frames / 1e6:.3f} M a frame")
PARSE
