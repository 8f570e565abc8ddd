#!/usr/bin/env bash
# Extraction throughput of quillon-cli against the plain tools, same data,
# same disk, warm cache (every run starts after the previous output was
# removed and synced):
#   raw: `quillon-cli extract` of an archive of raw entries (256 x 4 MiB over
#        four companions) against `cat` of the same companion files into one file.
#   lzo: `quillon-cli extract` of an archive of LZO-compressed entries (96 x 4 MiB
#        of text- and texture-like data, lzo1x_1) against `lzop -d` of the same
#        expanded data compressed by lzop (default level); quillon-cli with one
#        reading thread (--jobs 1) and with two (--jobs 2).
#   jobs: `quillon-cli extract --interpreted` of the sample archives and of a
#        100,000-entry archive: entries per second with one thread and with two.
#   case: `quillon-cli extract` of an archive of 20,000 entries of 64 bytes into
#        its own folder, its companion renamed to lower case, against the same
#        with the companion named as the archive names it.
#   wine: the Windows quillon-cli.exe (--wine-cli, default build-windows') under
#        Wine against the Linux quillon-cli, on the raw and the LZO archives
#        above; the two extractions are compared first. Not part of `all`.
# The test data is written under the work folder and removed at the end.
#
# Usage: bench/extract.sh [--cli PATH] [--maker PATH] [--wine-cli PATH] [--work DIR] [--runs N] [--keep]
#                         [raw|lzo|jobs|case|all|wine]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

cli="" maker="" wine_cli="" work="${TMPDIR:-/tmp}/quillon-bench-extract" runs=5 keep=0 what=all
while [ $# -gt 0 ]; do
  case $1 in
    --cli) cli=$2; shift 2 ;;
    --maker) maker=$2; shift 2 ;;
    --wine-cli) wine_cli=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    raw|lzo|jobs|case|all|wine) what=$1; shift ;;
    *) sed -n '2,23s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
  esac
done

first_of() {
  for f in "$@"; do [ -x "$f" ] && { echo "$f"; return 0; }; done
  return 1
}
[ -n "$cli" ] || cli=$(first_of "$top"/build-cli/tools/cli/quillon-cli "$top"/build/tools/cli/quillon-cli \
  "$top"/build-bench/tools/cli/quillon-cli) || { echo "extract.sh: no quillon-cli found; give --cli PATH" >&2; exit 1; }
[ -n "$maker" ] || maker=$(first_of "$top"/build-bench/bench/make_bench_archive "$top"/build/bench/make_bench_archive) \
  || { echo "extract.sh: no make_bench_archive found; give --maker PATH" >&2; exit 1; }
cli=$(realpath "$cli") maker=$(realpath "$maker")
command -v hyperfine >/dev/null || { echo "extract.sh: hyperfine is needed" >&2; exit 1; }

mkdir -p "$work"
out=$work/out
cleanup() { [ "$keep" = 1 ] || rm -rf "$work"; }
trap cleanup EXIT

echo "quillon-cli: $cli"
echo "work folder: $work ($(df -h --output=source,fstype "$work" | tail -1))"

# median seconds of command NAME in a hyperfine JSON file
median() {
  /usr/bin/python3 -c 'import json,sys
r={x["command"]:x for x in json.load(open(sys.argv[1]))["results"]}
print(r[sys.argv[2]]["median"])' "$1" "$2"
}

report() {  # NAME_OF_BASELINE JSON BYTES
  local base=$1 json=$2 bytes=$3
  local tb tq
  tb=$(median "$json" "$base")
  tq=$(median "$json" quillon-cli)
  /usr/bin/python3 - "$base" "$tb" "$tq" "$bytes" <<'EOF'
import sys
base, tb, tq, n = sys.argv[1], float(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
mib = n / 2**20
print(f"{base:>12}: median {tb:7.3f} s  {mib / tb:8.1f} MiB/s")
print(f"{'quillon-cli':>12}: median {tq:7.3f} s  {mib / tq:8.1f} MiB/s")
print(f"ratio quillon-cli / {base} throughput: {tb / tq:.2f}")
EOF
}

if [ "$what" = raw ] || [ "$what" = all ]; then
  echo "== raw entries"
  rm -rf "$work/raw" "$out"
  "$maker" raw "$work/raw" --entries 256 --entry-mib 4 --parts 4
  companions=("$work"/raw/RAWBENCH_0*.PAK)
  bytes=$(cat "${companions[@]}" | wc -c)   # also warms the cache
  "$cli" extract "$work/raw/RAWBENCH.PAK" -o "$out"
  got=$(find "$out" -type f | wc -l)
  [ "$got" = 256 ] || { echo "extract.sh: expected 256 files, got $got" >&2; exit 1; }
  hyperfine --runs "$runs" --warmup 1 --export-json "$work/raw.json" \
    -n cat --prepare "rm -rf '$out' && mkdir -p '$out' && sync" "cat ${companions[*]} > '$out/all.bin'" \
    -n quillon-cli --prepare "rm -rf '$out' && sync" "'$cli' extract '$work/raw/RAWBENCH.PAK' -o '$out'"
  report cat "$work/raw.json" "$bytes"
  rm -rf "$work/raw" "$out"
fi

if [ "$what" = lzo ] || [ "$what" = all ]; then
  echo "== LZO-compressed entries"
  rm -rf "$work/lzo" "$out"
  "$maker" lzo "$work/lzo" --entries 96 --entry-mib 4 --parts 2
  mkdir -p "$work/lzo/lzop"
  lzop -q -p"$work/lzo/lzop" "$work"/lzo/plain/entry_*
  bytes=$(cat "$work"/lzo/plain/entry_* | wc -c)
  echo "lzop files: $(cat "$work"/lzo/lzop/*.lzo | wc -c) bytes; archive companions: $(cat "$work"/lzo/LZOBENCH_0*.PAK | wc -c) bytes"
  # The extracted entries must be the bytes that went in.
  "$cli" extract "$work/lzo/LZOBENCH.PAK" -o "$out"
  got=$(find "$out" -type f -exec cat {} + | wc -c)
  [ "$got" = "$bytes" ] || { echo "extract.sh: extracted $got bytes, expected $bytes" >&2; exit 1; }
  cmp "$work/lzo/plain/entry_000" "$(find "$out" -type f -name 'dialogue_000*')"
  cmp "$work/lzo/plain/entry_001" "$(find "$out" -type f -name 'ground_001*')"
  rm -rf "$work/lzo/plain"
  cat "$work"/lzo/lzop/*.lzo "$work"/lzo/LZOBENCH_0*.PAK >/dev/null
  hyperfine --runs "$runs" --warmup 1 --export-json "$work/lzo.json" \
    -n "lzop -d" --prepare "rm -rf '$out' && mkdir -p '$out' && sync" \
    "lzop -d -q -f -p'$out' $work/lzo/lzop/*.lzo" \
    -n quillon-cli --prepare "rm -rf '$out' && sync" "'$cli' extract '$work/lzo/LZOBENCH.PAK' -o '$out' --jobs 2" \
    -n "quillon-cli --jobs 1" --prepare "rm -rf '$out' && sync" "'$cli' extract '$work/lzo/LZOBENCH.PAK' -o '$out' --jobs 1"
  report "lzop -d" "$work/lzo.json" "$bytes"
  echo "with one thread: $(median "$work/lzo.json" "quillon-cli --jobs 1") s"
  rm -rf "$work/lzo" "$out"
fi

# entries per second of `extract --interpreted` with N threads: NAME ARCHIVE ENTRIES
entries_per_second() {
  local name=$1 archive=$2 entries=$3
  hyperfine --runs "$runs" --warmup 1 --export-json "$work/$name.json" \
    -n one --prepare "rm -rf '$out' && sync" "'$cli' extract '$archive' -o '$out' --interpreted --jobs 1" \
    -n two --prepare "rm -rf '$out' && sync" "'$cli' extract '$archive' -o '$out' --interpreted --jobs 2" >/dev/null
  for n in one two; do
    t=$(median "$work/$name.json" $n)
    /usr/bin/python3 -c "import sys; print(f'{sys.argv[1]:>10}, {sys.argv[2]} thread(s): {int(sys.argv[3])/float(sys.argv[4]):10.0f} entries/s ({float(sys.argv[4]):.3f} s)')" \
      "$name" $n "$entries" "$t"
  done
}

if [ "$what" = jobs ] || [ "$what" = all ]; then
  echo "== extract --interpreted: entries per second, one thread against two"
  samples=$(dirname "$cli")/../samples/quillon-make-samples
  [ -x "$samples" ] || { echo "extract.sh: no quillon-make-samples beside the cli" >&2; exit 1; }
  "$samples" "$work/samples" >/dev/null
  for a in "$work"/samples/*.PAK; do
    case $a in *_0[0-9].PAK) continue ;; esac
    n=$("$cli" list "$a" | wc -l)
    entries_per_second "$(basename "$a" .PAK)" "$a" "$n"
  done
  opener=$(dirname "$maker")/bench_open
  mkdir -p "$work/big"
  "$opener" --entries 100000 --runs 1 --dir "$work/big" --keep >/dev/null
  n=$("$cli" list "$work/big/GLOBAL.PAK" | wc -l)
  entries_per_second "100k" "$work/big/GLOBAL.PAK" "$n"
  rm -rf "$work/samples" "$work/big" "$out"
fi

if [ "$what" = case ] || [ "$what" = all ]; then
  echo "== extracting beside the archive: a companion in another case against its own case"
  rm -rf "$work/case"
  mkdir -p "$work/case/files"
  /usr/bin/python3 -c 'import os, sys
for i in range(20000):
    open(os.path.join(sys.argv[1], "e%05d.bin" % i), "wb").write(os.urandom(64))' "$work/case/files"
  (cd "$work/case/files" && "$maker" files "$work/case/kept" e*.bin) >/dev/null
  rm -rf "$work/case/files"
  # a fresh folder holding only the archive, its companion named in the case given
  cat >"$work/case/prepare" <<EOF
#!/bin/sh
rm -rf '$work/case/run' && cp -a '$work/case/kept' '$work/case/run' || exit 1
[ "\$1" = lower ] && mv '$work/case/run/FILESBENCH_00.PAK' '$work/case/run/filesbench_00.pak'
sync
EOF
  chmod +x "$work/case/prepare"
  hyperfine --runs "$runs" --export-json "$work/case.json" \
    -n "own case" --prepare "'$work/case/prepare' same" "'$cli' extract '$work/case/run/FILESBENCH.PAK' -o '$work/case/run'" \
    -n "other case" --prepare "'$work/case/prepare' lower" "'$cli' extract '$work/case/run/FILESBENCH.PAK' -o '$work/case/run'" >/dev/null
  for n in "own case" "other case"; do
    printf '%12s: median %7.3f s\n' "$n" "$(median "$work/case.json" "$n")"
  done
  rm -rf "$work/case"
fi

if [ "$what" = wine ]; then
  echo "== the Windows quillon-cli under Wine against the Linux one"
  [ -n "$wine_cli" ] || wine_cli=$(first_of "$top"/build-windows/tools/cli/quillon-cli.exe) \
    || { echo "extract.sh: no quillon-cli.exe found; give --wine-cli PATH (scripts/windows builds it)" >&2; exit 1; }
  wine_cli=$(realpath "$wine_cli")
  # A prefix of the run's own and one server kept for every run: a run then
  # times the program, not Wine's start.
  export WINEPREFIX=$work/wine WINEDEBUG=-all
  "$top"/scripts/wine-session start
  trap '"$top"/scripts/wine-session stop; cleanup' EXIT
  wine_start=$( { /usr/bin/time -f %e wine "$wine_cli" --version >/dev/null; } 2>&1 )
  echo "wine quillon-cli.exe --version: $wine_start s"
  "$maker" raw "$work/raw" --entries 256 --entry-mib 4 --parts 4 >/dev/null
  "$maker" lzo "$work/lzo" --entries 96 --entry-mib 4 --parts 2 >/dev/null
  for archive in raw/RAWBENCH.PAK lzo/LZOBENCH.PAK; do
    name=$(basename "$archive" .PAK)
    rm -rf "$out" "$work/linux-out"
    "$cli" extract "$work/$archive" -o "$work/linux-out" --jobs 1
    wine "$wine_cli" extract "$work/$archive" -o "$out" --jobs 1
    diff -r "$work/linux-out" "$out" >/dev/null || { echo "extract.sh: $name: the two extractions differ" >&2; exit 1; }
    bytes=$(find "$out" -type f -exec cat {} + | wc -c)
    rm -rf "$work/linux-out"
    hyperfine --runs "$runs" --warmup 1 --export-json "$work/$name.json" \
      -n linux --prepare "rm -rf '$out' && sync" "'$cli' extract '$work/$archive' -o '$out' --jobs 1" \
      -n wine --prepare "rm -rf '$out' && sync" "wine '$wine_cli' extract '$work/$archive' -o '$out' --jobs 1" >/dev/null
    tl=$(median "$work/$name.json" linux) tw=$(median "$work/$name.json" wine)
    /usr/bin/python3 -c 'import sys
name, n, tl, tw = sys.argv[1], int(sys.argv[2]) / 2**20, float(sys.argv[3]), float(sys.argv[4])
print(f"{name}: {n:.0f} MiB written, --jobs 1; Linux {tl:.3f} s ({n / tl:.0f} MiB/s), "
      f"Windows under Wine {tw:.3f} s ({n / tw:.0f} MiB/s), ratio {tl / tw:.2f}")' "$name" "$bytes" "$tl" "$tw"
  done
  rm -rf "$work/raw" "$work/lzo" "$out"
fi
