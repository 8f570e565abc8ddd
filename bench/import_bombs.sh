#!/usr/bin/env bash
# Peak memory of imports of tiny files that declare huge pictures (a 33-byte
# TGA of 16384 x 16384, a run-length TGA of a few packets, half a BMP, a
# baseline and a progressive JPEG whose frame claims 16384 x 16384, a PNG
# header of 16384 x 16384 with no pixels), each through `quillon-cli add`, and
# three of them at once through `pack --jobs 3`; then one real picture of
# SIDE x SIDE for scale. Prints the exit status, the peak resident set and
# the wall time of each.
#
# Usage: bench/import_bombs.sh [--build DIR] [--side N]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build side=4096
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --side) side=$2; shift 2 ;;
    *) sed -n '2,10s/^# \{0,1\}//p' "$0" >&2; exit 2 ;;
  esac
done
cli=$build/tools/cli/quillon-cli
[ -x "$cli" ] || { echo "import_bombs.sh: build quillon-cli first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/in" "$work/pack"

/usr/bin/python3 - "$work/in" "$side" <<'EOF'
import io, struct, sys, zlib, random
from PIL import Image
out, side = sys.argv[1], int(sys.argv[2])
def tga(rle):
    h = bytearray(18); h[2] = 10 if rle else 2; struct.pack_into('<HH', h, 12, 16384, 16384); h[16] = 32; h[17] = 0x28
    return bytes(h) + (b'\xff\0\0\0\0' * 3 if rle else b'\0' * 15)
def jpeg(progressive):
    b = io.BytesIO(); Image.new('RGB', (16, 16), (90, 20, 200)).save(b, 'JPEG', progressive=progressive)
    j = bytearray(b.getvalue()); i = j.find(b'\xff\xc2' if progressive else b'\xff\xc0')
    struct.pack_into('>HH', j, i + 5, 16384, 16384)
    return bytes(j)
def png_header():
    ihdr = struct.pack('>IIBBBBB', 16384, 16384, 8, 6, 0, 0, 0)
    return b'\x89PNG\r\n\x1a\n' + struct.pack('>I', 13) + b'IHDR' + ihdr + struct.pack('>I', zlib.crc32(b'IHDR' + ihdr))
b = io.BytesIO(); Image.new('RGB', (512, 512)).save(b, 'BMP'); bmp = b.getvalue()
files = {'tiny.tga': tga(False), 'rle.tga': tga(True), 'half.bmp': bmp[:len(bmp) // 2],
         'baseline.jpg': jpeg(False), 'progressive.jpg': jpeg(True), 'header.png': png_header()}
for name, data in files.items():
    open(f'{out}/{name}', 'wb').write(data)
random.seed(7)
Image.frombytes('RGB', (side, side), random.randbytes(side * side * 3)).save(f'{out}/real.png')
EOF
cp "$work/in/tiny.tga" "$work/pack/a.tga"; cp "$work/in/tiny.tga" "$work/pack/b.tga"; cp "$work/in/rle.tga" "$work/pack/c.tga"

printf 'x' >"$work/t.txt"
mkdir "$work/base" && cp "$work/t.txt" "$work/base/"
"$cli" pack "$work/base" -o "$work/BASE.PAK" >/dev/null

printf '%-34s %6s %10s %8s  %s\n' file bytes 'peak (KB)' seconds exit
for f in tiny.tga rle.tga half.bmp baseline.jpg progressive.jpg header.png real.png; do
  status=0
  /usr/bin/time -o "$work/time" -f '%M %e' "$cli" add "$work/BASE.PAK" n "$work/in/$f" -o "$work/OUT.PAK" \
    >/dev/null 2>"$work/err" || status=$?
  read -r kb s < <(tail -1 "$work/time")
  printf '%-34s %6s %10s %8s  %s\n' "add $f" "$(stat -c %s "$work/in/$f")" "$kb" "$s" "$status"
done
status=0
/usr/bin/time -o "$work/time" -f '%M %e' "$cli" pack "$work/pack" -o "$work/P.PAK" --jobs 3 >/dev/null 2>&1 || status=$?
read -r kb s < <(tail -1 "$work/time")
printf '%-34s %6s %10s %8s  %s\n' "pack --jobs 3 (three TGAs)" 33 "$kb" "$s" "$status"
