#!/bin/sh
# varnel: starts one of the four Varnel programs in the data folder, where they find their
# meshes, textures and sounds (the folder `meshes` of the working directory). Paths are taken
# from where this script is installed, so that any installation prefix works.
set -e

usage() {
    echo "usage: varnel [PROGRAM]"
    echo "PROGRAM is one of varnel-hwvp-default (the default), varnel-hwvp-immediate,"
    echo "varnel-swvp-default and varnel-swvp-immediate; the leading 'varnel-' may be left out."
}

if [ $# -gt 1 ]; then
    usage >&2
    exit 2
fi
program=${1:-varnel-hwvp-default}
case $program in
-h | --help)
    usage
    exit 0
    ;;
hwvp-default | hwvp-immediate | swvp-default | swvp-immediate)
    program=varnel-$program
    ;;
varnel-hwvp-default | varnel-hwvp-immediate | varnel-swvp-default | varnel-swvp-immediate) ;;
*)
    echo "varnel: no program named '$program'" >&2
    usage >&2
    exit 2
    ;;
esac

prefix=$(dirname "$(dirname "$(readlink -f "$0")")")
cd "$prefix/share/games/varnel"
exec "$prefix/lib/games/varnel/$program"
