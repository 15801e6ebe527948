#!/usr/bin/env bash
# Installs the Debian packages that Varnel needs, if any is missing.
# Usage: tools/install-deps.sh [run|all|web]
#   run: what building and running the Linux programs needs (`make run`);
#   all (the default): that, and what the Windows build, the tests and the packages add;
#   web: what building the web site and showing it in a headless browser need (`make web`,
#   `make run-web`).
set -euo pipefail
set_of=${1:-all}

# Building and running the Linux programs.
packages=(
    # Build
    g++ cmake ninja-build pkg-config make
    # The layer (platform/) and its desktop backends
    libsdl2-dev libsdl2-image-dev libsdl2-ttf-dev libopenal-dev libfontconfig-dev zlib1g-dev
    libgl-dev libgl1-mesa-dri libglx-mesa0 fonts-liberation
    # The demo without a display (tools/run-demo.sh): Xvfb, and a screenshot of the window
    xvfb x11-utils xdotool imagemagick
)
if [ "$set_of" = web ]; then
    packages=(
        # Build: Debian's Emscripten with its prebuilt system libraries; the data generator is
        # built for the build machine
        emscripten nodejs g++ cmake ninja-build make
        # The image decoder and the font of the web build, and the zlib sources it compiles
        libstb-dev fonts-liberation zlib1g-dev
        # The web backend's unit tests, run under Node
        libgtest-dev
        # Serving the site and looking at it without a display (tools/run-web.sh)
        python3 curl chromium chromium-headless-shell python3-websocket
    )
elif [ "$set_of" = all ]; then
    packages+=(
        # Windows build, and Wine to run its tests and programs
        mingw-w64 wine64 wine
        # 32-bit Wine with OpenGL, for the 32-bit Windows programs and tests
        wine32:i386 libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386
        # Tests and benchmarks
        libgtest-dev libbenchmark-dev clang xauth sox icoutils faketime valgrind
        # Packages (make dist) and their tests (make test-dist)
        dpkg-dev file lintian desktop-file-utils appstream unzip
    )
elif [ "$set_of" != run ]; then
    echo "usage: $0 [run|all|web]" >&2
    exit 2
fi

# The tests of the web build's decoders and its browser tests (tools/web): stb's headers,
# Emscripten for the probe page, and headless Chromium driven through python3-websocket.
if [ "$set_of" = all ]; then
    packages+=(libstb-dev emscripten nodejs chromium chromium-headless-shell python3-websocket)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
