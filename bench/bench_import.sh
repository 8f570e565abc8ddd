#!/usr/bin/env bash
# The importers against other tools, on the same inputs:
#  - COUNT PNG pictures of SIDE x SIDE (gradients, noise, hard-edged patches,
#    alpha in every other one) to DXT5 with full mip chains: our importer with
#    THREADS threads against ImageMagick's `convert in.png -define
#    dds:compression=dxt5 out.dds`, one process per image as a modder runs it;
#    quality is the PSNR of the largest level against the PNG, all four channels;
#  - a stereo 44100 Hz WAV of SECONDS to Ogg Vorbis: our importer at quality
#    0.5 against `oggenc -q 5`.
# Prints wall and processor times (the median of RUNS for the sound) and the
# ratios; ours for images are of the imports alone, in one process.
#
# Usage: bench/bench_import.sh [--build DIR] [--work DIR] [--count N] [--side N] [--threads N]
#                              [--seconds N] [--runs N] [--keep]
#   DIR defaults to build (needs the target bench_import: cmake --build DIR --target bench_import)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

build=$top/build work="${TMPDIR:-/tmp}/quillon-bench-import" count=50 side=1024 threads=2 seconds=120 runs=3 keep=0
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --count) count=$2; shift 2 ;;
    --side) side=$2; shift 2 ;;
    --threads) threads=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    *) sed -n '2,16s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
  esac
done
bench=$build/bench/import/bench_import
[ -x "$bench" ] || { echo "bench_import.sh: build bench_import first" >&2; exit 1; }
command -v convert >/dev/null && command -v oggenc >/dev/null ||
  { echo "bench_import.sh: ImageMagick's convert and oggenc (vorbis-tools) are needed" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/images"
cleanup() { [ "$keep" = 1 ] || rm -rf "$work"; }
trap cleanup EXIT
now() { date +%s.%N; }

"$bench" images "$work/images" "$count" "$side"
pngs=()
for ((i = 0; i < count; i++)); do pngs+=("$work/images/$i.png"); done

# Wall and processor (user + system) seconds of a command, as "WALL CPU".
TIMEFORMAT='%R %U %S'
timed() { local t; t=$( { time "$@" >/dev/null; } 2>&1 | tail -1); awk '{ printf "%s %.2f", $1, $2 + $3 }' <<<"$t"; }
magick_all() { for png in "${pngs[@]}"; do convert "$png" -define dds:compression=dxt5 "${png%.png}.dds"; done; }

read -r magick magick_cpu <<<"$(timed magick_all)"
echo "ImageMagick: $count images in $magick s ($magick_cpu s of processor time); $("$bench" psnr "$work/images")"
ours=$("$bench" texture "$threads" "${pngs[@]}")
echo "quillon ($threads threads): $ours"
wall=$(sed 's/.* in \([0-9.]*\) s.*/\1/' <<<"$ours") cpu=$(sed 's/.*images\/s, \([0-9.]*\) s of.*/\1/' <<<"$ours")
echo "ratios (ImageMagick's / ours): wall $(echo "scale=2; $magick / $wall" | bc), processor $(echo "scale=2; $magick_cpu / $cpu" | bc)"

"$bench" wav "$work/in.wav" "$seconds"
median() { sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }
o_wall=() o_cpu=() q_wall=() q_cpu=()
for ((r = 0; r < runs; r++)); do
  read -r w c <<<"$(timed oggenc -Q -q 5 -o "$work/ref.ogg" "$work/in.wav")"; o_wall+=("$w"); o_cpu+=("$c")
  read -r w c <<<"$(timed "$bench" sound 0.5 "$work/in.wav")"; q_wall+=("$w"); q_cpu+=("$c")
done
ow=$(printf '%s\n' "${o_wall[@]}" | median) oc=$(printf '%s\n' "${o_cpu[@]}" | median)
qw=$(printf '%s\n' "${q_wall[@]}" | median) qc=$(printf '%s\n' "${q_cpu[@]}" | median)
echo "WAV of $seconds s to Ogg Vorbis: oggenc -q 5 $ow s ($oc s of processor time, $(stat -c %s "$work/ref.ogg") bytes);"
echo "  quillon q0.5 $qw s ($qc s of processor time, $("$bench" sound 0.5 "$work/in.wav" | sed 's/.*, //'))"
echo "ratios (oggenc's / ours): wall $(echo "scale=2; $ow / $qw" | bc), processor $(echo "scale=2; $oc / $qc" | bc)"
