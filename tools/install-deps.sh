#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Varnel need, if any is missing.
set -euo pipefail

packages=(
    # Build
    g++ cmake ninja-build pkg-config make
    # Linux platform layer
    libsdl2-dev libsdl2-image-dev libsdl2-ttf-dev libassimp-dev libopenal-dev libfontconfig-dev
    libgl-dev libgl1-mesa-dri libglx-mesa0 fonts-liberation
    # Windows build, and Wine to run its tests and programs
    mingw-w64 wine64 wine
    # Tests and benchmarks
    libgtest-dev libbenchmark-dev clang xvfb xauth xdotool x11-utils imagemagick sox icoutils
    faketime valgrind
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
