#!/usr/bin/env bash
# A contact sheet of COUNT textures (sides 256 to LARGEST, DXT1 and DXT5, full
# mip chains) at SIZE pixels: `quillon-cli sheet` against what one would do
# without it, `quillon-cli extract --png` of the same textures followed by
# ImageMagick's `montage` of the PNG files in name order. Same disk, warm
# cache, each run into an emptied folder. Prints wall time, CPU time (user +
# system, children included) and peak resident memory of each step, RUNS runs
# each, alternating, and the ratio of the medians.
#
# Usage: bench/thumb/sheet.sh [--build DIR] [--work DIR] [--count N] [--largest SIDE] [--size N] [--runs N] [--keep]
#   needs: cmake --build DIR --target make_gallery_archive quillon-cli
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)

build="$top/build" work="${TMPDIR:-/tmp}/quillon-bench-sheet" count=10000 largest=2048 size=128 runs=1 keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --count) count=$2; shift 2 ;;
    --largest) largest=$2; shift 2 ;;
    --size) size=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    *) sed -n '2,11s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
  esac
done
maker=$build/bench/thumb/make_gallery_archive cli=$build/tools/cli/quillon-cli
[ -x "$maker" ] && [ -x "$cli" ] || { echo "sheet.sh: build make_gallery_archive and quillon-cli first" >&2; exit 1; }
command -v montage >/dev/null || { echo "sheet.sh: ImageMagick's montage is needed" >&2; exit 1; }

mkdir -p "$work"
cleanup() { [ "$keep" = 1 ] || rm -rf "$work"; }
trap cleanup EXIT
[ -f "$work/GALLERY.PAK" ] && [ "$(cat "$work/made" 2>/dev/null)" = "$count $largest" ] ||
  { "$maker" "$work" "$count" "$largest" && echo "$count $largest" > "$work/made"; }
echo "archive: $count textures, $(du -m "$work/GALLERY.PAK" | cut -f1) MB; cell $size px; load average $(cut -d' ' -f1-3 /proc/loadavg)"

/usr/bin/python3 - "$work" "$cli" "$size" "$runs" "$count" <<'PY'
import glob, math, os, resource, shutil, statistics, subprocess, sys, time
work, cli, size, runs, count = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
columns = str(math.ceil(math.sqrt(count)))
pak = os.path.join(work, "GALLERY.PAK")

def timed(command):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    # /usr/bin/time gives the peak resident set of the command itself.
    run = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if run.returncode != 0:
        sys.exit("failed: " + " ".join(command[:3]) + "\n" + run.stderr[-2000:])
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu, int(run.stderr.strip().splitlines()[-1])

ours, theirs = [], []
for _ in range(runs):
    out = os.path.join(work, "out")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    ours.append(timed([cli, "sheet", pak, "-o", os.path.join(out, "sheet.png"), "--size", size, "--columns", columns]))
    extract = timed([cli, "extract", pak, "-o", os.path.join(out, "png"), "--png"])
    pngs = sorted(glob.glob(os.path.join(out, "png", "**", "*.png"), recursive=True), key=str.lower)
    # Each file shrunk as it is read ("[NxN]"): montage would otherwise hold
    # every picture whole and run out of its pixel cache.
    montage = timed(["montage"] + [f"{p}[{size}x{size}]" for p in pngs] + ["-geometry", f"{size}x{size}+4+4", "-tile", columns + "x",
                                           "-background", "none", os.path.join(out, "montage.png")])
    theirs.append((extract, montage))
    print(f"  sheet {ours[-1][0]:.1f} s wall, {ours[-1][1]:.1f} s CPU, {ours[-1][2] // 1024} MB peak; "
          f"extract --png {extract[0]:.1f} s / {extract[1]:.1f} s / {extract[2] // 1024} MB; "
          f"montage {montage[0]:.1f} s / {montage[1]:.1f} s / {montage[2] // 1024} MB", flush=True)
shutil.rmtree(os.path.join(work, "out"), ignore_errors=True)
wall = statistics.median(o[0] for o in ours)
cpu = statistics.median(o[1] for o in ours)
twall = statistics.median(e[0] + m[0] for e, m in theirs)
tcpu = statistics.median(e[1] + m[1] for e, m in theirs)
print(f"median of {runs}: sheet {wall:.2f} s wall / {cpu:.2f} s CPU; extract --png + montage {twall:.2f} s / {tcpu:.2f} s")
print(f"ratio: {twall / wall:.1f} x wall, {tcpu / cpu:.1f} x CPU")
PY
