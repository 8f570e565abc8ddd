#!/usr/bin/env bash
# Writers that share a set:
#   lock:  `quillon-cli replace` of a 1 MiB entry (a 10 MiB companion) with this
#          build against the same with an earlier build's quillon-cli (--base
#          DIR, a build from before writers took the set's lock): the lock's cost.
#   race:  two writers started together on one set, --rounds times each pair
#          (replace/replace into one companion, add/add, rename/rename,
#          compact/add): how many exited 0, whether every edit of a command
#          that exited 0 is in the set, every other entry reads as before, and
#          `verify` says ok.
# The test data is written under the work folder and removed at the end.
#
# Usage: bench/writers.sh [--build DIR] [--base DIR] [--work DIR] [--runs N] [--rounds N] [lock|race|all]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

build="$top/build" base="" work="${TMPDIR:-/tmp}/quillon-bench-writers" runs=30 rounds=50 what=all
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --base) base=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    lock|race|all) what=$1; shift ;;
    *) sed -n '2,13s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
  esac
done
cli=$build/tools/cli/quillon-cli
[ -x "$cli" ] || { echo "writers.sh: $cli is missing; build with scripts/build $build" >&2; exit 1; }
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
echo "quillon-cli: $cli"
echo "work folder: $work ($(df -h --output=source,fstype "$work" | tail -1)), load $(cut -d' ' -f1-3 /proc/loadavg)"

# A set SET.PAK whose companion SET_00.PAK holds 10 MiB in ten entries (a.bin ... j.bin).
make_set() {  # FOLDER
  mkdir -p "$1/in"
  for n in a b c d e f g h i j; do head -c $((1 << 20)) /dev/urandom >"$1/in/$n.bin"; done
  "$cli" pack "$1/in" -o "$1/SET.PAK" --compress none --part-size 2047M >/dev/null
  rm -rf "$1/in"
}

if [ "$what" = lock ] || [ "$what" = all ]; then
  [ -n "$base" ] && [ -x "$base/tools/cli/quillon-cli" ] || { echo "writers.sh lock: --base BUILD is needed" >&2; exit 1; }
  command -v hyperfine >/dev/null || { echo "writers.sh: hyperfine is needed (scripts/setup)" >&2; exit 1; }
  echo "== replace 1 MiB, this build against $base"
  head -c $((1 << 20)) /dev/urandom >"$work/new.bin"
  make_set "$work/now"
  make_set "$work/before"
  sync
  hyperfine --warmup 3 --runs "$runs" --export-json "$work/lock.json" \
    -n "with the lock" "$cli replace $work/now/SET.PAK '#1' $work/new.bin --compress none" \
    -n "before the lock" "$base/tools/cli/quillon-cli replace $work/before/SET.PAK '#1' $work/new.bin --compress none"
  /usr/bin/python3 - "$work/lock.json" <<'EOF'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
a, b = r["with the lock"], r["before the lock"]
print(f"median with {a['median'] * 1000:.2f} ms, before {b['median'] * 1000:.2f} ms: "
      f"{(a['median'] / b['median'] - 1) * 100:+.1f} %")
EOF
  rm -rf "$work/now" "$work/before"
fi

if [ "$what" = race ] || [ "$what" = all ]; then
  echo "== two writers at once, $rounds rounds each"
  head -c 300000 /dev/urandom >"$work/A"
  head -c 200000 /dev/urandom >"$work/B"
  make_set "$work/template"
  resources() {  # SET OUT: every entry's line and resource hash
    local out=$2; rm -rf "$out"; mkdir -p "$out"
    "$cli" extract "$1" -o "$out" >/dev/null 2>&1 || true
    (cd "$out" && find . -type f -exec sha1sum {} + | sort -k2)
  }
  for pair in replace add rename compact; do
    ok=0 refused=0 bad=0
    for ((i = 0; i < rounds; i++)); do
      d=$work/r; rm -rf "$d"; cp -r "$work/template" "$d"
      case $pair in
        replace) one=(replace "$d/SET.PAK" '#1' "$work/A"); two=(replace "$d/SET.PAK" '#2' "$work/B") ;;
        add) one=(add "$d/SET.PAK" 'b2.bin' "$work/A"); two=(add "$d/SET.PAK" 'c2.bin' "$work/B") ;;
        rename) one=(rename "$d/SET.PAK" '#3' 'renamed-a'); two=(rename "$d/SET.PAK" '#4' 'renamed-b') ;;
        compact) one=(remove "$d/SET.PAK" '#5' --compact); two=(add "$d/SET.PAK" 'zz.bin' "$work/B") ;;
      esac
      "$cli" "${one[@]}" >/dev/null 2>&1 & p1=$!
      "$cli" "${two[@]}" >/dev/null 2>&1 & p2=$!
      s1=0 s2=0; wait $p1 || s1=$?; wait $p2 || s2=$?
      # Both edits, one after the other on the template, give what the set must read.
      e=$work/e; rm -rf "$e"; cp -r "$work/template" "$e"
      exp1=("${one[@]}") exp2=("${two[@]}")
      [ $s1 -eq 0 ] && "$cli" "${exp1[@]/$d/$e}" >/dev/null 2>&1
      [ $s2 -eq 0 ] && "$cli" "${exp2[@]/$d/$e}" >/dev/null 2>&1
      if [ $s1 -eq 0 ] && [ $s2 -eq 0 ]; then ok=$((ok + 1)); else refused=$((refused + 1)); fi
      if ! "$cli" verify "$d/SET.PAK" >/dev/null 2>&1 || [ "$(resources "$d/SET.PAK" "$work/x1")" != "$(resources "$e/SET.PAK" "$work/x2")" ]; then
        bad=$((bad + 1))
      fi
    done
    case $pair in compact) label="compact/add" ;; *) label="$pair/$pair" ;; esac
    echo "$label: both exit 0 in $ok of $rounds, a refusal in $refused, set not as expected in $bad"
  done
fi
