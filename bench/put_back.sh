#!/usr/bin/env bash
# The archive writer's costs, same disk, warm cache:
#   replace: `quillon-cli replace` of a 1 MiB entry in a set whose companion
#            holds 2000 MiB, against the same beside a 10 MiB companion (the
#            save appends; it must not copy what the archive holds).
#   pack:    `quillon-cli pack` of 1 GiB of text- and texture-like files (256 x
#            4 MiB) with --compress none against `tar cf`, with --compress fast
#            and two jobs against `lzop -1`, with --compress best and two jobs
#            against `lzop -9` on a quarter of the files (LZO1X-999 is slow);
#            time, and the ratio of stored to input bytes.
#   verify:  `quillon-cli verify` of a 100,000-entry archive and of the packed
#            1 GiB set: entries and bytes per second.
# The test data is written under the work folder and removed at the end.
#
# Usage: bench/put_back.sh [--build DIR] [--work DIR] [--runs N] [replace|pack|verify|all]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

build="$top/build" work="${TMPDIR:-/tmp}/quillon-bench-put-back" runs=5 what=all
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    replace|pack|verify|all) what=$1; shift ;;
    *) sed -n '2,14s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
  esac
done
cli=$build/tools/cli/quillon-cli maker=$build/bench/make_bench_archive opener=$build/bench/bench_open
for tool in "$cli" "$maker" "$opener"; do
  [ -x "$tool" ] || { echo "put_back.sh: $tool is missing; build with scripts/build $build" >&2; exit 1; }
done
for tool in hyperfine lzop tar; do
  command -v $tool >/dev/null || { echo "put_back.sh: $tool is needed (scripts/setup)" >&2; exit 1; }
done
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
echo "quillon-cli: $cli"
echo "work folder: $work ($(df -h --output=source,fstype "$work" | tail -1)), load $(cut -d' ' -f1-3 /proc/loadavg)"

median() {  # JSON NAME
  /usr/bin/python3 -c 'import json,sys
r={x["command"]:x for x in json.load(open(sys.argv[1]))["results"]}
print(r[sys.argv[2]]["median"])' "$1" "$2"
}

if [ "$what" = replace ] || [ "$what" = all ]; then
  echo "== replace 1 MiB beside a large and a small companion"
  head -c $((1 << 20)) /dev/urandom >"$work/new.bin"
  for mib in 2000 10; do
    d=$work/set$mib
    mkdir -p "$d/in"
    head -c $((1 << 20)) /dev/urandom >"$d/in/b_small.bin"
    dd if=/dev/urandom of="$d/in/a_big.bin" bs=1M count=$((mib - 1)) status=none
    "$cli" pack "$d/in" -o "$d/SET.PAK" --compress none --part-size 2047M >/dev/null
    rm -rf "$d/in"
    ls -l "$d"/SET_00.PAK
  done
  sync  # the sets' own writing must not be what the first saves wait for
  hyperfine --warmup 1 --runs "$runs" --export-json "$work/replace.json" \
    -n "beside 2000 MiB" "$cli replace $work/set2000/SET.PAK 'b_small.bin [0001]' $work/new.bin --compress none" \
    -n "beside 10 MiB" "$cli replace $work/set10/SET.PAK 'b_small.bin [0001]' $work/new.bin --compress none"
  big=$(median "$work/replace.json" "beside 2000 MiB") small=$(median "$work/replace.json" "beside 10 MiB")
  /usr/bin/python3 -c "import sys; print(f'ratio 2000 MiB / 10 MiB: {float(sys.argv[1]) / float(sys.argv[2]):.2f}')" "$big" "$small"
  "$cli" verify "$work/set2000/SET.PAK"
  rm -rf "$work"/set*
fi

if [ "$what" = pack ] || [ "$what" = all ] || [ "$what" = verify ]; then
  echo "== 1 GiB of files"
  "$maker" lzo "$work/gen" --entries 256 --entry-mib 4 --parts 2 >/dev/null
  mv "$work/gen/plain" "$work/files"
  rm -rf "$work/gen"
  input=$(cat "$work"/files/* | wc -c)  # also warms the cache
fi

if [ "$what" = pack ] || [ "$what" = all ]; then
  echo "== pack"
  out=$work/out
  ratio() { /usr/bin/python3 -c "import sys; print(f'{int(sys.argv[1]) / int(sys.argv[2]):.4f}')" "$1" "$2"; }
  # BASELINE_NAME BASELINE_COMMAND (OUT: its folder) QUILLON_OPTIONS FOLDER JSON: both timed, each into
  # its own emptied folder, then the ratio of what each stored to the input.
  compare() {
    local n
    n=$(cat "$4"/* | wc -c)
    hyperfine --runs "$runs" --export-json "$5" \
      --prepare "rm -rf $out/base && mkdir -p $out/base && sync" -n "$1" "${2//OUT/$out/base}" \
      --prepare "rm -rf $out/pak && mkdir -p $out/pak && sync" -n quillon-cli "$cli pack $4 -o $out/pak/P.PAK $3"
    echo "stored / input: $1 $(ratio "$(cat "$out"/base/* | wc -c)" "$n")  quillon-cli $(ratio "$(cat "$out"/pak/* | wc -c)" "$n")"
    /usr/bin/python3 - "$5" "$n" <<'EOF'
import json, sys
rs = json.load(open(sys.argv[1]))["results"]
mib = int(sys.argv[2]) / 2**20
base = next(r for r in rs if r["command"] != "quillon-cli")
q = next(r for r in rs if r["command"] == "quillon-cli")
print(f"{base['command']:>8}: {base['median']:7.2f} s {mib / base['median']:7.1f} MiB/s   quillon-cli: "
      f"{q['median']:7.2f} s {mib / q['median']:7.1f} MiB/s   throughput ratio {base['median'] / q['median']:.2f}")
EOF
  }
  compare tar "tar cf OUT/files.tar -C $work files" "--compress none" "$work/files" "$work/pack_none.json"
  compare "lzop -1" "lzop -1 -q -pOUT $work/files/*" "--compress fast --jobs 2" "$work/files" "$work/pack_fast.json"
  mkdir -p "$work/quarter"
  ln "$work"/files/entry_0[0-5]* "$work"/files/entry_06[0-3] "$work/quarter/"
  runs=1 compare "lzop -9" "lzop -9 -q -pOUT $work/quarter/*" "--compress best --jobs 2" "$work/quarter" \
    "$work/pack_best.json"
  rm -rf "$out"
fi

if [ "$what" = verify ] || [ "$what" = all ]; then
  echo "== verify"
  "$cli" pack "$work/files" -o "$work/V.PAK" --compress fast --jobs 2 --part-size 512M >/dev/null
  mkdir -p "$work/big"
  "$opener" --entries 100000 --runs 1 --dir "$work/big" --keep >/dev/null
  hyperfine --warmup 1 --runs "$runs" -n "100,000 entries" "$cli verify $work/big/GLOBAL.PAK" \
    -n "1 GiB set" "$cli verify $work/V.PAK"
  "$cli" verify "$work/big/GLOBAL.PAK" | tail -1
  "$cli" verify "$work/V.PAK" | tail -1
fi
