#!/usr/bin/env bash
# Rebuilds the decoder test files in tests/data/decoder/. The outputs are
# committed, so the tests never need the generator or the source pictures.
#
#   tests/data/make-test-files.sh MAKE_PCD KODAK_FOLDER
#
# MAKE_PCD is the Photo CD test-file generator (make-pcd), KODAK_FOLDER holds
# the Kodak true-colour pictures (kodim04 and kodim19 are 512x768 portraits,
# kodim23 a 768x512 landscape). Needs python3 and ImageMagick's convert.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
make_pcd=${1:?path of the make-pcd generator}
kodak=${2:?folder of the Kodak pictures}
out="$here/decoder"
mkdir -p "$out"
cd "$out"
rm -f -- *.pcd *.png

# Rotation attribute 1, 2 and 3: the picture is stored turned clockwise by
# that angle, so a decoder that honours the attribute shows it upright.
# The 90-degree file holds 4Base so that rotation is checked above Base too.
"$make_pcd" --levels 4base --rotate 90 "$kodak/kodim19.png" rotate-90.pcd >/dev/null
"$make_pcd" --levels base --rotate 180 "$kodak/kodim23.png" rotate-180.pcd >/dev/null
"$make_pcd" --levels base --rotate 270 "$kodak/kodim19.png" rotate-270.pcd >/dev/null

# A 16Base file cut inside its 4Base data: the header still says 16Base, but
# only Base lies wholly inside the file.
"$make_pcd" "$kodak/kodim23.png" full.tmp >/dev/null
head -c 1000000 full.tmp > truncated-16base.pcd
rm -f full.tmp

# --- the built-in decoder ----------------------------------------------------
# Files in PhotoYCC's own scaling (`--ycc kodak`: input white = reference
# white, luma 182, as in a real scan), each with the exact picture encoded.
# The references are kept as PNG: whole at Base, a 768x512 crop from the
# middle at 4Base and 16Base.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$make_pcd" --levels base --ycc kodak --write-reference "$work/base.ppm" \
  "$kodak/kodim23.png" base-kodak.pcd >/dev/null
convert "$work/base.ppm" png24:base-kodak-ref.png
"$make_pcd" --levels 4base --ycc kodak --write-reference "$work/4base.ppm" \
  "$kodak/kodim23.png" 4base-kodak.pcd >/dev/null
convert "$work/4base.ppm" -crop 768x512+384+256 +repage png24:4base-kodak-ref-crop.png
"$make_pcd" --levels 16base --ycc kodak --write-reference "$work/16base.ppm" \
  "$kodak/kodim23.png" 16base-kodak.pcd >/dev/null
convert "$work/16base.ppm" -crop 768x512+1152+768 +repage png24:16base-kodak-ref-crop.png

# A grey ramp at Base: column x holds input value x * 256 / 768.
python3 -c '
import sys
row = bytes(x * 256 // 768 for x in range(768))
sys.stdout.buffer.write(b"P5\n768 512\n255\n" + row * 512)' >"$work/ramp.pgm"
"$make_pcd" --levels base --ycc kodak "$work/ramp.pgm" ramp-kodak.pcd >/dev/null

# 4-pixel vertical stripes of two colours of (almost) equal luma, which only
# the 16Base chroma residual can carry: (180,120,120) and (90,168,105).
python3 -c '
import sys
a, b = bytes((180, 120, 120)), bytes((90, 168, 105))
row = b"".join(a if (x // 4) % 2 == 0 else b for x in range(3072))
sys.stdout.buffer.write(b"P6\n3072 2048\n255\n" + row * 2048)' >"$work/stripes.ppm"
"$make_pcd" --ycc kodak "$work/stripes.ppm" stripes-16base.pcd >/dev/null

# Orientation with a reference: a portrait stored turned 90 degrees (4Base)
# and 270 degrees (Base), a landscape turned 180 degrees (Base; its
# reference is base-kodak-ref.png).
"$make_pcd" --levels base --ycc kodak --rotate 270 --write-reference "$work/portrait.ppm" \
  "$kodak/kodim04.png" portrait-270.pcd >/dev/null
convert "$work/portrait.ppm" png24:portrait-ref.png
"$make_pcd" --levels 4base --ycc kodak --rotate 90 "$kodak/kodim04.png" portrait-90-4base.pcd >/dev/null
"$make_pcd" --levels base --ycc kodak --rotate 180 "$kodak/kodim23.png" landscape-180.pcd >/dev/null

# Damaged files: garbage in the Huffman data, a code table with an
# impossible code length, no signature. (Files cut short are made by the
# tests from 16base-kodak.pcd.)
"$make_pcd" --levels 4base --ycc kodak --corrupt huff4 "$kodak/kodim23.png" damaged-huff4.pcd >/dev/null
"$make_pcd" --levels 4base --ycc kodak --corrupt table4 "$kodak/kodim23.png" damaged-table4.pcd >/dev/null
"$make_pcd" --ycc kodak --corrupt huff16 "$kodak/kodim23.png" damaged-huff16.pcd >/dev/null
"$make_pcd" --ycc kodak --corrupt table16 "$kodak/kodim23.png" damaged-table16.pcd >/dev/null
"$make_pcd" --levels base --corrupt signature "$kodak/kodim23.png" no-signature.pcd >/dev/null
# 16Base chroma rows behind the end mark instead of before it.
"$make_pcd" --ycc kodak --chroma16 after-end "$kodak/kodim23.png" chroma-after-end.pcd >/dev/null
ls -l
