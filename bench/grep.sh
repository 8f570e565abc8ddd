#!/usr/bin/env bash
# quillon-cli grep over a game's folder against what one does without it:
# `quillon-cli extract` of every archive and `grep -ri` of the result, and
# `grep -ri` over the already-extracted folder. The folder: 40 archives of
# about M MiB stored in all, 256 KiB entries, half LZO-compressed text and
# half plain texture data (make_bench_archive versions --one 1). Warm cache:
# the archives are read once before the timings. The query's lines are
# checked to be the same count for all three. The data is removed at the end.
#
# Usage: bench/grep.sh [--cli PATH] [--maker PATH] [--work DIR] [--runs N] [--mib M] [--query TEXT] [--keep]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

cli="" maker="" work="${TMPDIR:-/tmp}/quillon-bench-grep" runs=3 mib=2048 query=fenholt keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --cli) cli=$2; shift 2 ;;
    --maker) maker=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --mib) mib=$2; shift 2 ;;
    --query) query=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    *) sed -n '2,9s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
  esac
done

first_of() {
  for f in "$@"; do [ -x "$f" ] && { echo "$f"; return 0; }; done
  return 1
}
[ -n "$cli" ] || cli=$(first_of "$top"/build/tools/cli/quillon-cli "$top"/build-bench/tools/cli/quillon-cli) \
  || { echo "grep.sh: no quillon-cli found; give --cli PATH" >&2; exit 1; }
[ -n "$maker" ] || maker=$(first_of "$top"/build/bench/make_bench_archive "$top"/build-bench/bench/make_bench_archive) \
  || { echo "grep.sh: no make_bench_archive found; give --maker PATH" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "grep.sh: hyperfine is needed" >&2; exit 1; }

mkdir -p "$work"
cleanup() { [ "$keep" = 1 ] || rm -rf "$work"; }
trap cleanup EXIT
echo "quillon-cli: $cli"
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"

folder=$work/v1 out=$work/out
[ -f "$folder/GLOBAL.PAK" ] || "$maker" versions "$work" --mib "$mib" --archives 40 --one 1
du -sh "$folder"
cat "$folder"/*.PAK >/dev/null
"$cli" extract "$folder" -o "$out" >/dev/null
echo "extracted: $(du -sh "$out" | cut -f1)"

mine=$("$cli" grep "$folder" "$query" | wc -l)
theirs=$(grep -riF -- "$query" "$out" | wc -l)
[ "$mine" = "$theirs" ] || { echo "grep.sh: quillon-cli grep gave $mine lines, grep -ri $theirs" >&2; exit 1; }
echo "query '$query': $mine lines"

hyperfine -N --runs "$runs" --warmup 1 --export-json "$work/grep.json" \
  -n "quillon-cli grep" "'$cli' grep '$folder' '$query'" >/dev/null
hyperfine --runs "$runs" --export-json "$work/extract.json" --prepare "rm -rf '$work/x'" \
  -n "extract + grep -ri" "'$cli' extract '$folder' -o '$work/x' >/dev/null && grep -riF -- '$query' '$work/x' >/dev/null" \
  >/dev/null
hyperfine --runs "$runs" --warmup 1 --export-json "$work/plain.json" \
  -n "grep -ri extracted" "grep -riF -- '$query' '$out'" >/dev/null

/usr/bin/python3 - "$work" <<'PY'
import json, sys
w = sys.argv[1]
r = {}
for f in ("grep", "extract", "plain"):
    for x in json.load(open(f"{w}/{f}.json"))["results"]:
        r[x["command"]] = x
g = r["quillon-cli grep"]["median"]
for name, x in r.items():
    print(f"{name:>20}: {x['median']:7.2f} s median (CPU {x['user'] + x['system']:6.2f} s): {x['median'] / g:5.2f} x grep")
PY
