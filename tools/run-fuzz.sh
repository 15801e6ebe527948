#!/usr/bin/env bash
# Fuzzes every kind of file the program reads with libFuzzer, under AddressSanitizer and UBSan:
# the WAV reader, the multimedia file services in call sequences, .X mesh loading and texture
# decoding. The targets share a bounded time (seconds for all of them, default 180) equally.
# Seeds are written here or come from tests/fuzz/seeds, dictionaries from tests/fuzz; each
# target keeps what it finds in its corpus folder for the next run. A finding fails the run.
# It first builds the targets in the build folder (the `fuzz` preset of CMakePresets.json).
# Usage: tools/run-fuzz.sh [seconds] [build folder, default build/fuzz]
set -euo pipefail
seconds=${1:-180}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${2:-$root/build/fuzz}
fuzz="$root/tests/fuzz"
targets=(wave_file_fuzzer mmio_fuzzer x_mesh_fuzzer texture_fuzzer)
mkdir -p "$out"

# The targets are CMake targets of the fuzz build (the `fuzz` preset: clang, libFuzzer,
# AddressSanitizer and UBSan), linked against the layer built from its own source lists.
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" --preset fuzz -B "$out" "${launcher[@]}" >"$out/configure.log" ||
    { cat "$out/configure.log"; exit 1; }
cmake --build "$out" --target "${targets[@]}"

# WAV seeds, also the file services' inputs. Bytes are built as printf escape text and written
# by one printf at the end, so zero bytes survive; each chunk is given its contents and their
# length in bytes.
seeds="$out/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/wave" "$seeds/texture"
le16() { printf '\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)); }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }
chunk() { # id, contents, length
    printf '%s' "$1"; le32 "$3"; printf '%s' "$2"
    if (($3 % 2)); then printf '\\x00'; fi
}
seed() { printf "$2" | head -c "${3:-1000000}" >"$seeds/wave/$1"; } # name, bytes, length limit
pcm="$(le16 1; le16 1; le32 8000; le32 8000; le16 1; le16 8)" # 16 bytes
adpcm="$(le16 2; le16 1; le32 8000; le32 4000; le16 1; le16 4; le16 2)xy" # 20 bytes
data=abcdefghijklmnopqrstuvwxyz0123456789 # 36 bytes
fmtChunk="$(chunk 'fmt ' "$pcm" 16)"     # 24 bytes
dataChunk="$(chunk data "$data" 36)"     # 44 bytes
seed valid.wav "RIFF$(le32 72)WAVE$fmtChunk$dataChunk"
seed data-first.wav "RIFF$(le32 86)WAVE$dataChunk$(chunk LIST INFOx 5)$fmtChunk"
seed extra-bytes.wav "RIFF$(le32 88)WAVE$(chunk 'fmt ' "$adpcm" 20)$(chunk fact "$(le32 36)" 4)$dataChunk"
seed short-format.wav "RIFF$(le32 72)WAVE$(chunk 'fmt ' "$(le16 1; le16 1; le32 8000; le32 8000; le16 1)x" 15)$dataChunk"
seed float-16.wav "RIFF$(le32 72)WAVE$(chunk 'fmt ' "$(le16 3; le16 1; le32 8000; le32 32000; le16 4; le16 32)" 16)$dataChunk"
seed long-data.wav "RIFF$(le32 72)WAVE${fmtChunk}data$(le32 100000)$data"
seed other-form.wav "RIFF$(le32 72)AVI $fmtChunk$dataChunk"
seed truncated.wav "RIFF$(le32 72)WAVE$fmtChunk$dataChunk" 30
# Each size field at the edges of the 32-bit range, and sizes that end their chunk at and past
# 2^31 and 2^32 (the contents of "RIFF" begin at 8, "fmt " at 20, and "LIST" or "data" at 44).
for size in 0 1 $((0x7FFFFFFF)) $((0x80000000)) $((0xFFFFFFFE)) $((0xFFFFFFFF)); do
    seed "riff-$size.wav" "RIFF$(le32 "$size")WAVE$fmtChunk$dataChunk"
    seed "fmt-$size.wav" "RIFF$(le32 72)WAVEfmt $(le32 "$size")$pcm$dataChunk"
    seed "list-$size.wav" "RIFF$(le32 86)WAVE$fmtChunk$(printf 'LIST'; le32 "$size")INFOx\\x00$dataChunk"
    seed "data-$size.wav" "RIFF$(le32 72)WAVE${fmtChunk}data$(le32 "$size")$data"
done
for end in $((0x7FFFFFFF)) $((0x80000000)) $((0x100000000)) $((0x100000000 + 12)); do
    seed "riff-ends-$end.wav" "RIFF$(le32 $((end - 8)))WAVE$fmtChunk$dataChunk"
    seed "list-ends-$end.wav" "RIFF$(le32 86)WAVE$fmtChunk$(printf 'LIST'; le32 $(((end - 44) & 0xFFFFFFFF)))INFOx\\x00$dataChunk"
    seed "data-ends-$end.wav" "RIFF$(le32 72)WAVE${fmtChunk}data$(le32 $(((end - 44) & 0xFFFFFFFF)))$data"
done
for sound in "$root"/build/linux/meshes/*.wav; do
    if [ -f "$sound" ]; then head -c 20000 "$sound" >"$seeds/wave/$(basename "$sound")"; fi
done

# Texture seeds: small images of each format and depth, one declaring sides of 65535 pixels,
# and the head of a generated texture.
if command -v convert >/dev/null; then
    convert -size 4x4 gradient:red-blue "bmp3:$seeds/texture/gradient.bmp"
    convert -size 3x5 xc:green -type Palette "bmp3:$seeds/texture/palette.bmp"
    convert -size 5x3 gradient:'rgba(255,0,0,0.5)'-blue "$seeds/texture/alpha.png"
    convert -size 3x3 xc:yellow "$seeds/texture/plain.tga"
    convert -size 8x8 gradient: "$seeds/texture/grey.jpg"
fi
printf 'BM\x46\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00\x28\x00\x00\x00\xff\xff\x00\x00\xff\xff\x00\x00\x01\x00\x18\x00\x00\x00\x00\x00\x10\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00abcdefghijklmnop' \
    >"$seeds/texture/huge.bmp"
if [ -f "$root/build/linux/meshes/wheel.bmp" ]; then
    head -c 4000 "$root/build/linux/meshes/wheel.bmp" >"$seeds/texture/wheel.bmp"
fi

seedsOf() {
    case $1 in
    wave_file_fuzzer | mmio_fuzzer) echo "$seeds/wave" ;;
    x_mesh_fuzzer) echo "$fuzz/seeds/x" ;;
    texture_fuzzer) echo "$seeds/texture" ;;
    esac
}
dictionaryOf() {
    case $1 in
    wave_file_fuzzer | mmio_fuzzer) echo "$fuzz/wave.dict" ;;
    x_mesh_fuzzer) echo "$fuzz/x_mesh.dict" ;;
    texture_fuzzer) echo "$fuzz/texture.dict" ;;
    esac
}

# A fixed seed and count of runs make a run repeatable: from the same seeds it tries the same
# inputs, so a fault it finds is found again, and a run that passed here passes in CI. The counts
# fit the shared time on this project's machines; the time bounds a slower one. Longer runs by
# hand (VARNEL_FUZZ_RUNS=-1 for no count) search further.
runsOf() {
    if [ -n "${VARNEL_FUZZ_RUNS:-}" ]; then echo "$VARNEL_FUZZ_RUNS"; return; fi
    case $1 in
    wave_file_fuzzer | mmio_fuzzer) echo 200000 ;;
    x_mesh_fuzzer) echo 6000 ;;
    texture_fuzzer) echo 4000 ;;
    esac
}

# libFuzzer's running commentary goes to a log per target; a finding prints its report, and
# every leak is a finding.
share=$((seconds / ${#targets[@]}))
failed=0
for target in "${targets[@]}"; do
    log="$out/$target.log"
    mkdir -p "$out/corpus/$target"
    if "$out/$target" -seed=1 -runs="$(runsOf "$target")" -max_total_time="$share" \
        -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -dict="$(dictionaryOf "$target")" \
        -artifact_prefix="$out/$target-" "$out/corpus/$target" "$(seedsOf "$target")" \
        >"$log" 2>&1; then
        runs=$(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$log" | tail -n 1)
        coverage=$(grep -o 'cov: [0-9]* ft: [0-9]* corp: [0-9]*' "$log" | tail -n 1)
        echo "fuzzing $target: $runs, $coverage, no finding"
    else
        tail -n 60 "$log"
        echo "fuzzing $target found a fault; the whole log is $log"
        failed=1
    fi
done
exit $failed
