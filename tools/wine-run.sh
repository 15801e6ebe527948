#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of its own, in the current directory:
#   tools/wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS]
# The prefix is made on first use (Wine's first start is slow, so callers keep it in the build
# tree and reuse it). Sound goes to ALSA's null device, so that DirectSound finds a device on a
# machine without sound hardware. WINEDEBUG defaults to -all; the exit code is the program's.
#   tools/wine-run.sh --runs-32-bit
# exits with 0 when this machine runs 32-bit Windows programs, else says why and exits with 1.
# Debian's wine command starts Wine's 32-bit loader for every program. A kernel that refuses
# 32-bit executables cannot start it: there 64-bit programs run with the 64-bit loader directly,
# and 32-bit ones cannot run at all.
set -euo pipefail
loader32=/usr/lib/wine/wine
loader64=/usr/lib/wine/wine64
runs32() { "$loader32" --version >/dev/null 2>&1; }
if [ "${1:-}" = --runs-32-bit ]; then
    runs32 && exit 0
    echo "this machine does not run 32-bit programs ($loader32 cannot be executed:" \
        "the kernel refuses 32-bit executables), so no 32-bit Windows program runs under Wine here"
    exit 1
fi
if [ $# -lt 2 ]; then
    echo "usage: $0 PREFIX PROGRAM.exe [ARGUMENTS]" >&2
    echo "       $0 --runs-32-bit" >&2
    exit 2
fi
wine=(wine)
if ! runs32 && [ -x "$loader64" ]; then
    export WINELOADER=$loader64
    wine=("$loader64")
fi
prefix=$(realpath -m "$1")
shift
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No installer dialogs for Wine's .NET and HTML engines, which the programs don't use.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export ALSA_CONFIG_PATH=$prefix.alsa.conf

mkdir -p "$(dirname "$prefix")"
(
    # One maker at a time; the others wait for the finished prefix. The making runs on the
    # real clock even when the program's clock is faked (LD_PRELOAD).
    unset LD_PRELOAD
    flock 9
    [ -f "$ALSA_CONFIG_PATH" ] || echo 'pcm.!default { type null }' >"$ALSA_CONFIG_PATH"
    if [ ! -f "$prefix/system.reg" ]; then
        WINEDEBUG=-all "${wine[@]}" wineboot -i >"$prefix.boot.log" 2>&1
        # The registry is written when the server ends.
        wineserver -w
    fi
    # The server runs on the real clock too: one started under a stopped clock would never
    # reach its exit timeout. It ends by itself a few seconds after its last program.
    wineserver </dev/null >/dev/null 2>&1 &
) 9>"$prefix.lock"
exec "${wine[@]}" "$@"
