#!/usr/bin/env bash
# The importers against other tools, on the same inputs:
#  - COUNT PNG pictures of SIDE x SIDE (gradients, noise, hard-edged patches,
#    alpha in every other one) to DXT5 with full mip chains: our importer with
#    THREADS threads against ImageMagick's `convert in.png -define
#    dds:compression=dxt5 out.dds`, one process per image as a modder runs it;
#    quality is the PSNR of the largest level against the PNG, all four channels;
#  - a stereo 44100 Hz WAV of SECONDS to Ogg Vorbis: our importer at quality
#    0.5 against `oggenc -q 5`.
# Prints wall times (the median of RUNS for the sound) and the ratios.
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

start=$(now)
for png in "${pngs[@]}"; do convert "$png" -define dds:compression=dxt5 "${png%.png}.dds"; done
magick=$(echo "$(now) - $start" | bc)
echo "ImageMagick: $count images in $magick s; $("$bench" psnr "$work/images")"

start=$(now)
ours=$("$bench" texture "$threads" "${pngs[@]}")
total=$(echo "$(now) - $start" | bc)
echo "quillon ($threads threads): $ours; $total s with reading the files"
echo "throughput ratio (ImageMagick's time / ours): $(echo "scale=2; $magick / $total" | bc)"

"$bench" wav "$work/in.wav" "$seconds"
median() { sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }
oggenc_times=() our_times=()
for ((r = 0; r < runs; r++)); do
  start=$(now); oggenc -Q -q 5 -o "$work/ref.ogg" "$work/in.wav"; oggenc_times+=("$(echo "$(now) - $start" | bc)")
  start=$(now); "$bench" sound 0.5 "$work/in.wav" >/dev/null; our_times+=("$(echo "$(now) - $start" | bc)")
done
o=$(printf '%s\n' "${oggenc_times[@]}" | median) q=$(printf '%s\n' "${our_times[@]}" | median)
echo "WAV of $seconds s to Ogg Vorbis: oggenc -q 5 $o s ($(stat -c %s "$work/ref.ogg") bytes), quillon q0.5 $q s"
echo "throughput ratio (oggenc's time / ours): $(echo "scale=2; $o / $q" | bc)"
