#!/usr/bin/env bash
# Draws the scene from a few fixed camera positions with the data of two folders (each holding
# a meshes/ folder, for example the build folder before and after a change of the mesh
# generator) and compares the pictures pixel by pixel: they agree when at most 0.1% of the
# pixels differ by more than 8 levels in a channel. scene_reference draws them with OpenGL
# alone; picture_compare compares. For each view it also prints the fragments per pixel that
# each folder's data make OpenGL rasterize and shade (scene_reference --overdraw), figures that
# do not depend on the machine's load. Exit status 0 when every view agrees.
# Usage: tools/compare-scene-pictures.sh <build folder> <data folder A> <data folder B>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
first=$(cd "$2" && pwd)
second=$(cd "$3" && pwd)

if [ -z "${BENCH_INNER:-}" ]; then
    BENCH_INNER=1 exec "$here/with-display.sh" "$0" "$build" "$first" "$second"
fi

pictures=$(mktemp -d)
trap 'rm -rf "$pictures"' EXIT
# Train position, camera yaw, pitch and distance: the start view, the eye low and near beside
# the track, straight down from near, a turn from the far limit, and along the track low.
views=("500 0.7853981852531433 0.39269909262657166 3000"
    "500 1.5707963 0 1000"
    "500 2.0 1.5533430775006611 1000"
    "9000 4.0 0.6 10000"
    "20000 0.3 0.1 1500")
status=0
for index in "${!views[@]}"; do
    # shellcheck disable=SC2086 # the view's four numbers are four arguments
    (cd "$first" && "$build/scene_reference" --picture "$pictures/a$index.ppm" ${views[$index]}) \
        2>/dev/null
    # shellcheck disable=SC2086
    (cd "$second" && "$build/scene_reference" --picture "$pictures/b$index.ppm" ${views[$index]}) \
        2>/dev/null
    for side in A B; do
        folder=$first
        [ "$side" = A ] || folder=$second
        # shellcheck disable=SC2086
        printf 'view %d, %s: %s\n' "$index" "$side" \
            "$(cd "$folder" && "$build/scene_reference" --overdraw ${views[$index]} 2>/dev/null)"
    done
    printf 'view %d (%s): ' "$index" "${views[$index]}"
    "$build/picture_compare" "$pictures/a$index.ppm" "$pictures/b$index.ppm" 8 0.001 || status=1
done
exit $status
