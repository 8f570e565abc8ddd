#!/usr/bin/env bash
# Texture-to-PNG throughput: our decoder and PNG writer (bench_png, one
# process over the archive, and `quillon-cli extract --png`, the export jobs
# with their threads) against ImageMagick's `mogrify -format png` of the
# same textures' .dds exports, on an archive of COUNT DXT5 textures of
# 512 x 512 (full mip chains; both convert the largest level). Same disk, warm
# cache; every run writes into an emptied folder. Prints the median wall and
# CPU time of RUNS runs each, alternating, and the throughput ratios.
#
# Usage: bench/bench_png.sh [--build DIR] [--work DIR] [--runs N] [--count N] [--keep]
#   DIR defaults to build-f or build (needs the targets make_texture_archive, bench_png and
#   quillon-cli: cmake --build DIR --target make_texture_archive bench_png quillon-cli)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

build="" work="${TMPDIR:-/tmp}/quillon-bench-png" runs=5 count=200 keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --count) count=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    *) sed -n '2,12s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
  esac
done
if [ -z "$build" ]; then
  for d in "$top/build-f" "$top/build"; do
    [ -x "$d/bench/convert/bench_png" ] && { build=$d; break; }
  done
fi
bench=$build/bench/convert/bench_png maker=$build/bench/convert/make_texture_archive cli=$build/tools/cli/quillon-cli
[ -x "$bench" ] && [ -x "$maker" ] && [ -x "$cli" ] ||
  { echo "bench_png.sh: build make_texture_archive, bench_png and quillon-cli first" >&2; exit 1; }
command -v mogrify >/dev/null || { echo "bench_png.sh: ImageMagick's mogrify is needed" >&2; exit 1; }

mkdir -p "$work"
cleanup() { [ "$keep" = 1 ] || rm -rf "$work"; }
trap cleanup EXIT
"$maker" "$work" "$count" 512
rm -rf "$work/dds" && mkdir -p "$work/dds"
"$bench" "$work/TEXBENCH.PAK" "$work/dds" --dds

# RUNS runs of each, alternating, each into an emptied folder: wall and CPU
# time (user + system of the process and its children).
/usr/bin/python3 - "$work" "$count" "$runs" "$bench" "$cli" <<'PY'
import os, shutil, statistics, subprocess, sys, time
work, count, runs, bench, cli = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], sys.argv[5]
dds = sorted(os.path.join(work, "dds", f) for f in os.listdir(os.path.join(work, "dds")))
commands = {
    "bench_png (decode + PNG)": [bench, os.path.join(work, "TEXBENCH.PAK"), "OUT"],
    "quillon-cli extract --png": [cli, "extract", os.path.join(work, "TEXBENCH.PAK"), "-o", "OUT", "--png"],
    "mogrify -format png *.dds": ["mogrify", "-path", "OUT", "-format", "png"] + dds,
}
results = {name: ([], [], 0) for name in commands}
for _ in range(runs):
    for name, command in commands.items():
        out = os.path.join(work, "out")
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out)
        os.sync()
        before = os.times()
        start = time.monotonic()
        subprocess.run([out if a == "OUT" else a for a in command], check=True, stdout=subprocess.DEVNULL)
        wall = time.monotonic() - start
        after = os.times()
        cpu = (after.children_user - before.children_user) + (after.children_system - before.children_system)
        files = [os.path.join(d, f) for d, _, fs in os.walk(out) for f in fs]
        assert len(files) == count, f"{name} wrote {len(files)} files"
        size = sum(os.path.getsize(f) for f in files)
        results[name][0].append(wall)
        results[name][1].append(cpu)
        results[name] = (results[name][0], results[name][1], size)
print(f"{count} DXT5 textures of 512 x 512 to PNG, median of {runs} runs (wall min-max), load {os.getloadavg()[0]:.1f}:")
for name, (wall, cpu, size) in results.items():
    print(f"  {name:28} wall {statistics.median(wall):7.3f} s ({min(wall):.2f}-{max(wall):.2f})"
          f"  CPU {statistics.median(cpu):7.3f} s  {count / statistics.median(wall):6.1f} textures/s"
          f"  {size / 1e6:6.1f} MB of PNG")
*ours, (_, (tw, tc, _)) = results.items()
for name, (ow, oc, _) in ours:
    print(f"  throughput ratio, {name} against mogrify: wall {statistics.median(tw) / statistics.median(ow):.2f},"
          f" CPU {statistics.median(tc) / statistics.median(oc):.2f} (target >= 5)")
PY
