#!/usr/bin/env bash
# `quillon-cli mod make` against `quillon-cli diff` on the same two versions,
# and `mod restore` of a mod applied over large companions, warm cache:
#   a set of 40 entries of 50 MiB of random bytes (2000 MiB in BIG.PAK,
#   BIG_00.PAK and BIG_01.PAK), and a copy with 20 of them replaced, either by
#   64 KiB files (the changed entries change their length) or by 50 MiB files
#   (they keep it, so that `diff` reads them too). Each command runs --runs
#   times; the wall times of each run are printed.
# The test data is written under the work folder and removed at the end.
#
# Usage: bench/mod.sh [--build DIR] [--work DIR] [--runs N] [--mib N]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

build="$top/build" work="${TMPDIR:-/tmp}/quillon-bench-mod" runs=3 mib=50
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --mib) mib=$2; shift 2 ;;
    *) sed -n '2,12s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
  esac
done
cli=$build/tools/cli/quillon-cli
[ -x "$cli" ] || { echo "mod.sh: $cli is missing; build with scripts/build $build" >&2; exit 1; }
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
echo "work folder: $work ($(df -h --output=source,fstype "$work" | tail -1)), load $(cut -d' ' -f1-3 /proc/loadavg)"
cd "$work"
mkdir -p in orig
for i in $(seq -w 1 40); do head -c $((mib << 20)) /dev/urandom >in/e$i.bin; done
"$cli" pack in -o orig/BIG.PAK --compress none --part-size 1G >/dev/null
head -c 65536 /dev/urandom >small.bin
head -c $((mib << 20)) /dev/urandom >same.bin
for kind in small same; do
  rm -rf edited && cp -r orig edited
  for n in $(seq 0 2 38); do "$cli" replace edited/BIG.PAK "#$n" $kind.bin >/dev/null; done
  cat orig/* edited/* >/dev/null
  echo "== 20 entries replaced by $kind.bin ($(du -sm orig | cut -f1) MiB each version)"
  for r in $(seq "$runs"); do
    /usr/bin/time -f "diff      %e s wall, %U s user, %S s sys" "$cli" diff orig edited >/dev/null || true
    rm -rf M
    /usr/bin/time -f "mod make  %e s wall, %U s user, %S s sys" "$cli" mod make orig edited -o M >/dev/null
  done
done
rm -rf game && cp -r orig game
"$cli" mod apply M game >/dev/null
/usr/bin/time -f "mod restore  %e s wall" "$cli" mod restore game >/dev/null
cmp orig/BIG.PAK game/BIG.PAK && cmp orig/BIG_00.PAK game/BIG_00.PAK && echo "restore: identical"
