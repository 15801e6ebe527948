#!/usr/bin/env bash
# Fetches zlib's source from Debian's source package into a folder (the web build compiles it
# with Emscripten, which has no zlib of its own without downloading one). Debian's package lists
# for sources are kept in the folder's own apt state, so the system's lists stay as they are.
# Usage: cmake/fetch-zlib-source.sh <folder>   (the source ends up in <folder>/zlib)
set -euo pipefail
folder=$(mkdir -p "$1" && cd "$1" && pwd)
[ -f "$folder/zlib/inflate.c" ] && exit 0

state="$folder/apt"
mkdir -p "$state/lists/partial" "$state/cache/archives/partial"
echo "deb-src http://deb.debian.org/debian bookworm main" >"$state/sources.list"
cat >"$state/apt.conf" <<CONF
Dir::State "$state";
Dir::State::Lists "$state/lists";
Dir::Cache "$state/cache";
Dir::Etc::SourceList "$state/sources.list";
Dir::Etc::SourceParts "/nonexistent";
CONF
export APT_CONFIG="$state/apt.conf"
apt-get -qq update
cd "$folder"
apt-get -qq source --download-only zlib
tarball=$(ls zlib_*.orig.tar.* | head -n 1)
rm -rf zlib.tmp && mkdir zlib.tmp
tar -xf "$tarball" -C zlib.tmp --strip-components=1
mv zlib.tmp zlib
rm -rf "$state"
