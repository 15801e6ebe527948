#!/usr/bin/env bash
# Fuzzes the WAV reader and the multimedia file services with libFuzzer for a bounded time
# (seconds, default 60) on a seed corpus of valid and broken WAV files written here.
# Usage: tools/run-fuzz.sh [seconds] [build folder, default build/fuzz]
set -euo pipefail
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${2:-$root/build/fuzz}
mkdir -p "$out/seeds" "$out/corpus"

clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root" -I"$root/platform/include" -I"$root/platform/linux" \
    "$root/tests/fuzz/wave_file_fuzzer.cpp" "$root/audio/wave_file.cpp" \
    "$root/platform/linux/mmio.cpp" "$root/platform/linux/file_path.cpp" \
    -o "$out/wave_file_fuzzer"

# Seeds. Bytes are built as printf escape text and written by one printf at the end, so zero
# bytes survive; each chunk is given its contents and their length in bytes.
le16() { printf '\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)); }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }
chunk() { # id, contents, length
    printf '%s' "$1"; le32 "$3"; printf '%s' "$2"
    if (($3 % 2)); then printf '\\x00'; fi
}
pcm="$(le16 1; le16 1; le32 8000; le32 8000; le16 1; le16 8)" # 16 bytes
adpcm="$(le16 2; le16 1; le32 8000; le32 4000; le16 1; le16 4; le16 2)xy" # 20 bytes
data=abcdefghijklmnopqrstuvwxyz0123456789 # 36 bytes
fmtChunk="$(chunk 'fmt ' "$pcm" 16)"     # 24 bytes
dataChunk="$(chunk data "$data" 36)"     # 44 bytes
seed() { printf "$2" | head -c "${3:-1000000}" > "$out/seeds/$1"; } # name, bytes, length limit
seed valid.wav "RIFF$(le32 72)WAVE$fmtChunk$dataChunk"
seed data-first.wav "RIFF$(le32 86)WAVE$dataChunk$(chunk LIST INFOx 5)$fmtChunk"
seed extra-bytes.wav "RIFF$(le32 88)WAVE$(chunk 'fmt ' "$adpcm" 20)$(chunk fact "$(le32 36)" 4)$dataChunk"
seed short-format.wav "RIFF$(le32 72)WAVE$(chunk 'fmt ' "$(le16 1; le16 1; le32 8000; le32 8000; le16 1)x" 15)$dataChunk"
seed long-data.wav "RIFF$(le32 72)WAVE${fmtChunk}data$(le32 100000)$data"
seed other-form.wav "RIFF$(le32 72)AVI $fmtChunk$dataChunk"
seed truncated.wav "RIFF$(le32 72)WAVE$fmtChunk$dataChunk" 30
for sound in "$root"/build/linux/meshes/*.wav; do
    if [ -f "$sound" ]; then head -c 20000 "$sound" > "$out/seeds/$(basename "$sound")"; fi
done

# libFuzzer's running commentary goes to a log; a finding prints its report and fails the run.
log="$out/fuzz.log"
if "$out/wave_file_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
    -print_final_stats=1 "$out/corpus" "$out/seeds" >"$log" 2>&1; then
    echo "WAV reader fuzzing: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$log"), no finding"
else
    tail -n 60 "$log"
    echo "WAV reader fuzzing found a fault; the whole log is $log"
    exit 1
fi
