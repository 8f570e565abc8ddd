#!/usr/bin/env bash
# Peak memory of the exports of a model with six 8192 x 8192 textures: the
# archive (make_big_texture_model) holds one model of six boxes, each with a
# DXT1 texture of its own. Prints the largest resident set (/usr/bin/time -v)
# of `extract --glb` and `extract --png` with one and two jobs, and of
# `export --glb`, for each quillon-cli given (e.g. an older build beside this one).
#
# Usage: bench/convert/big_textures.sh [--build DIR] [--work DIR] [--side N] [CLI...]
#   DIR defaults to build (needs the targets make_big_texture_model and quillon-cli)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build="$top/build" work="${TMPDIR:-/tmp}/quillon-bench-big-textures" side=8192
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --side) side=$2; shift 2 ;;
    -*) sed -n '2,9s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || set -- "$build/tools/cli/quillon-cli"
[ -x /usr/bin/time ] || { echo "big_textures.sh: /usr/bin/time (Debian package time) is needed" >&2; exit 1; }
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
"$build/bench/convert/make_big_texture_model" "$work" "$side" >/dev/null
pak=$work/BIGTEX.PAK
for cli in "$@"; do
  echo "$cli"
  for run in "extract --glb --jobs 1" "extract --glb --jobs 2" "extract --png --jobs 1" "extract --png --jobs 2" "export --glb"; do
    rm -rf "$work/out" "$work/big.glb"
    set -- $run
    if [ "$1" = export ]; then
      args=(export "$pak" "big [0012]" -o "$work/big.glb" "$2")
    else
      args=(extract "$pak" -o "$work/out" "${@:2}")
    fi
    /usr/bin/time -v "$cli" "${args[@]}" >/dev/null 2>"$work/time.txt"
    printf '  %-24s %6d MB peak, %s wall\n' "$run" \
      "$(($(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt") / 1024))" \
      "$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")"
  done
done
