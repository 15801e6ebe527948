#!/usr/bin/env bash
# Fuzzes every kind of file the program reads with libFuzzer, under AddressSanitizer and UBSan:
# the WAV reader, the multimedia file services in call sequences, .X mesh loading and texture
# decoding. The targets share a bounded time (seconds for all of them, default 180) equally.
# Seeds are written by tests/fuzz/wave_seeds.cpp and here, or come from tests/fuzz/seeds,
# dictionaries from tests/fuzz; each target keeps what it finds in its corpus folder for the
# next run. A finding fails the run.
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
cmake --build "$out" --target "${targets[@]}" wave_seeds

# WAV seeds, also the file services' inputs: written by wave_seeds (tests/fuzz/wave_seeds.cpp)
# with the tests' RIFF writers, and the heads of the generated sounds.
seeds="$out/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/wave" "$seeds/texture"
"$out/wave_seeds" "$seeds/wave"
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
