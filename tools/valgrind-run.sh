#!/usr/bin/env bash
# Runs the program under valgrind's memcheck from start to Escape on a private display (Xvfb)
# and sums up what it found. The run fails on any memory error (invalid reads and writes, use
# of uninitialised values, bad frees) and on memory definitely lost, except what
# tools/valgrind.supp names: the graphics driver's own. The whole report is valgrind.log in the
# build folder.
# Usage: tools/valgrind-run.sh [build folder, default build/linux] [seconds of frames, default 10]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build/linux}" && pwd)
seconds=${2:-10}
cd "$build"
export VARNEL_UNATTENDED=1 ALSOFT_DRIVERS=null
# Software rendering in the calling thread: the driver starts no rendering threads of its own.
export LP_NUM_THREADS=0
log="$build/valgrind.log"
"$here/with-display.sh" bash -c "
    valgrind --error-exitcode=99 --leak-check=full --show-leak-kinds=definite \
        --errors-for-leak-kinds=definite --num-callers=40 --child-silent-after-fork=yes \
        --suppressions='$here/valgrind.supp' --log-file='$log' ./varnel-hwvp-immediate &
    program=\$!
    window=''
    for _ in \$(seq 1 600); do
        window=\$(xdotool search --onlyvisible --name '^Varnel\$' 2>/dev/null | head -n 1) && [ -n \"\$window\" ] && break
        sleep 0.5
    done
    if [ -z \"\$window\" ]; then echo 'valgrind run: the window never showed'; kill \$program; exit 1; fi
    sleep $seconds
    xdotool key --window \"\$window\" Escape
    for _ in \$(seq 1 600); do kill -0 \$program 2>/dev/null || break; sleep 0.5; done
    if kill -0 \$program 2>/dev/null; then echo 'valgrind run: no exit after Escape'; kill \$program; exit 1; fi
    wait \$program
" && status=0 || status=$?
grep -E 'ERROR SUMMARY|definitely lost|indirectly lost|possibly lost|still reachable|Invalid (read|write)' "$log" |
    sed 's/^==[0-9]*== *//' | sort | uniq -c
echo "valgrind run: exit status $status; the report is $log"
exit "$status"
