#!/usr/bin/env bash
# Tests the packages in the dist folder (`make dist`) as a person would use them: installs the
# Debian package with apt-get, checks it with lintian, desktop-file-validate and appstreamcli,
# runs the launcher `varnel` from another folder, unpacks each Windows zip into an empty folder
# and runs its program there under Wine (32-bit too), unpacks the web zip, serves it and checks
# its start picture in headless Chromium (tools/web/run-web-tests.sh), then removes the package
# and checks that nothing of it is left. Installing and removing need root (or sudo).
# Usage: tools/test-dist.sh [dist folder, default build/dist] [Linux build folder, default build/linux]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
dist=$(cd "${1:-$root/build/dist}" && pwd)
build=$(cd "${2:-$root/build/linux}" && pwd)
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

debs=("$dist"/varnel_*_amd64.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "test-dist: expected one varnel_*_amd64.deb in $dist (make dist)" >&2
    exit 1
fi
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
tests="$build/varnel_package_tests"
if [ ! -x "$tests" ]; then
    echo "test-dist: $tests is missing (make linux)" >&2
    exit 1
fi

echo "test-dist: lintian $deb"
lintian --fail-on error "$deb"

work=$(mktemp -d /tmp/varnel-dist-test-XXXXXX)
installed=""
cleanup() {
    if [ -n "$installed" ]; then
        $sudo apt-get -o DPkg::Lock::Timeout=300 purge -y -q varnel >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

echo "test-dist: installing $deb"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get -o DPkg::Lock::Timeout=300 install -y -q --no-install-recommends "$deb"
installed=yes
dpkg-query -L varnel >"$work/files"

# Debian's login PATH has /usr/games for every user but root.
launcher=$(PATH="$PATH:/usr/games" command -v varnel)
if [ "$launcher" != /usr/games/varnel ]; then
    echo "test-dist: varnel on the PATH is '$launcher', not /usr/games/varnel" >&2
    exit 1
fi
desktop-file-validate /usr/share/applications/varnel.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.varnel.Varnel.metainfo.xml

for architecture in x86_64 i686; do
    zip="$dist/varnel-$version-windows-$architecture.zip"
    mkdir "$work/$architecture"
    unzip -q "$zip" -d "$work/$architecture"
done

# The 32-bit zip's program runs only where the machine runs 32-bit programs.
filter='*'
if ! reason=$("$here/wine-run.sh" --runs-32-bit); then
    echo "test-dist: NOT RUN: the i686 zip's program under Wine: $reason"
    filter='*-*WindowsZip.*/1'
fi
# Sound plays into OpenAL Soft's null backend; Wine's goes to ALSA's null device (wine-run.sh).
GTEST_FILTER=$filter VARNEL_LAUNCHER=$launcher VARNEL_UNZIPPED_X86_64="$work/x86_64" \
    VARNEL_UNZIPPED_I686="$work/i686" VARNEL_WINE_PREFIX="$root/build/wine-prefix" \
    ALSOFT_DRIVERS=null "$here/with-display.sh" "$tests"

# The web zip is the site with its README: served from where it was unpacked, its front page
# draws the start picture the Linux program draws.
mkdir "$work/web"
unzip -q "$dist/varnel-$version-web.zip" -d "$work/web"
[ -f "$work/web/README.txt" ] || { echo "test-dist: the web zip has no README.txt" >&2; exit 1; }
"$here/web/run-web-tests.sh" "$work/web" "$build" StartPicture

echo "test-dist: removing the package"
$sudo apt-get -o DPkg::Lock::Timeout=300 purge -y -q varnel
installed=""
status=$(dpkg-query -W -f='${db:Status-Status}' varnel 2>/dev/null || true)
if [ -n "$status" ] && [ "$status" != not-installed ]; then
    echo "test-dist: the package is still known to dpkg after its removal" >&2
    exit 1
fi
# Every file of the package is gone, and so is every folder of its own.
left=0
while read -r path; do
    if [ -e "$path" ] && { [ ! -d "$path" ] || [[ "$path" == *varnel* ]]; }; then
        echo "test-dist: left after removal: $path" >&2
        left=1
    fi
done <"$work/files"
[ $left -eq 0 ]
echo "test-dist: the packages passed"
