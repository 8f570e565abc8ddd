#!/usr/bin/env bash
# quillon-cli on a game's whole folder, against what one would do without it:
#   find: `quillon-cli find` over a folder of 40 archives with 500,000 entries,
#         per query, against `quillon-cli list` of every archive piped into
#         `grep -i` (the same lines found).
#   diff: `quillon-cli diff` of two versions of a 2 GiB set of 8 archives
#         (256 KiB entries, half LZO-compressed) that differ in 1% of their
#         entries, against extracting both and `diff -rq` of the two trees, and
#         its throughput against `cat` of both sets into /dev/null.
# Warm cache: the data is read once before each comparison. The test data is
# written under the work folder and removed at the end.
#
# Usage: bench/folder.sh [--cli PATH] [--maker PATH] [--work DIR] [--runs N] [--mib M] [--keep] [find|diff|all]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

cli="" maker="" work="${TMPDIR:-/tmp}/quillon-bench-folder" runs=5 mib=2048 keep=0 what=all
while [ $# -gt 0 ]; do
  case $1 in
    --cli) cli=$2; shift 2 ;;
    --maker) maker=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --mib) mib=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    find|diff|all) what=$1; shift ;;
    *) sed -n '2,13s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
  esac
done

first_of() {
  for f in "$@"; do [ -x "$f" ] && { echo "$f"; return 0; }; done
  return 1
}
[ -n "$cli" ] || cli=$(first_of "$top"/build/tools/cli/quillon-cli "$top"/build-bench/tools/cli/quillon-cli) \
  || { echo "folder.sh: no quillon-cli found; give --cli PATH" >&2; exit 1; }
[ -n "$maker" ] || maker=$(first_of "$top"/build/bench/make_bench_archive "$top"/build-bench/bench/make_bench_archive) \
  || { echo "folder.sh: no make_bench_archive found; give --maker PATH" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "folder.sh: hyperfine is needed" >&2; exit 1; }

mkdir -p "$work"
cleanup() { [ "$keep" = 1 ] || rm -rf "$work"; }
trap cleanup EXIT
echo "quillon-cli: $cli"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"

# median and mean CPU seconds (user + system) of command NAME in a hyperfine JSON file
stats() {
  /usr/bin/python3 -c 'import json,sys
r={x["command"]:x for x in json.load(open(sys.argv[1]))["results"]}[sys.argv[2]]
print(r["median"], r["user"] + r["system"])' "$1" "$2"
}

if [ "$what" = find ] || [ "$what" = all ]; then
  echo "== find across 40 archives, 500,000 entries"
  folder=$work/folder
  [ -f "$folder/GLOBAL.PAK" ] || "$maker" folder "$folder" --archives 40 --entries 500000
  archives=$(ls "$folder"/*.PAK | grep -v '_00\.PAK$' | tr '\n' ' ')
  cat "$folder"/*.PAK >/dev/null
  for q in crate_0471 'area07\torch' banner; do
    mine=$("$cli" find "$folder" "$q" | wc -l)
    theirs=$(for f in $archives; do "$cli" list "$f"; done | grep -icF -- "$q" || true)
    [ "$mine" = "$theirs" ] || { echo "folder.sh: find gave $mine lines, list | grep $theirs" >&2; exit 1; }
    hyperfine -N --runs "$runs" --warmup 1 --export-json "$work/find.json" \
      -n find "'$cli' find '$folder' '$q'" >/dev/null
    hyperfine --runs "$runs" --warmup 1 --export-json "$work/grep.json" \
      -n grep "for f in $archives; do '$cli' list \$f; done | grep -iF -- '$q'" >/dev/null
    read -r tf cf < <(stats "$work/find.json" find)
    read -r tg cg < <(stats "$work/grep.json" grep)
    /usr/bin/python3 -c 'import sys
q, n, tf, cf, tg, cg = sys.argv[1], sys.argv[2], *map(float, sys.argv[3:])
print(f"{q:>16} ({n:>5} lines): find {tf*1000:7.1f} ms (CPU {cf*1000:6.1f}), list | grep -i {tg*1000:7.1f} ms"
      f" (CPU {cg*1000:6.1f}): {tg/tf:5.1f} x, CPU {cg/cf:5.1f} x")' "$q" "$mine" "$tf" "$cf" "$tg" "$cg"
  done
  rm -rf "$folder"
fi

if [ "$what" = diff ] || [ "$what" = all ]; then
  echo "== diff of two versions of a ${mib} MiB set, 1% of entries changed"
  sets=$work/versions out=$work/out
  [ -d "$sets/v2" ] || "$maker" versions "$sets" --mib "$mib"
  bytes=$(cat "$sets"/v1/* "$sets"/v2/* | wc -c)
  status=0
  changed=$("$cli" diff "$sets/v1" "$sets/v2" | grep -c '^changed' ) || status=$?
  echo "diff: $changed entries changed"
  hyperfine --runs "$runs" --warmup 1 -i --export-json "$work/diff.json" \
    -n cat "cat $sets/v1/* $sets/v2/* > /dev/null" \
    -n "diff --jobs 1" "'$cli' diff '$sets/v1' '$sets/v2' --jobs 1 > /dev/null" \
    -n "diff --jobs 2" "'$cli' diff '$sets/v1' '$sets/v2' --jobs 2 > /dev/null" >/dev/null
  hyperfine --runs "$(( runs < 3 ? runs : 3 ))" -i --export-json "$work/tree.json" \
    -n "extract + diff -rq" --prepare "rm -rf '$out' && sync" \
    "'$cli' extract '$sets/v1' -o '$out/v1' > /dev/null && '$cli' extract '$sets/v2' -o '$out/v2' > /dev/null; diff -rq '$out/v1' '$out/v2' | wc -l" \
    >/dev/null
  rm -rf "$out"
  for n in cat "diff --jobs 1" "diff --jobs 2"; do
    read -r t c < <(stats "$work/diff.json" "$n")
    /usr/bin/python3 -c 'import sys
n, t, c, b = sys.argv[1], float(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
print(f"{n:>20}: median {t:7.2f} s (CPU {c:6.2f} s) {b / 2**20 / t:8.0f} MiB/s of both sets")' "$n" "$t" "$c" "$bytes"
  done
  read -r t c < <(stats "$work/tree.json" "extract + diff -rq")
  read -r t2 c2 < <(stats "$work/diff.json" "diff --jobs 2")
  /usr/bin/python3 -c 'import sys
t, c, t2 = map(float, sys.argv[1:])
print(f"  extract + diff -rq: median {t:7.2f} s (CPU {c:6.2f} s): diff --jobs 2 is {t / t2:.1f} x faster")' "$t" "$c" "$t2"
fi
