#!/usr/bin/env bash
# Rebuilds the hostile and damaged input corpus in this folder. The outputs
# are committed, so tests never need the generator or the source pictures.
#
#   tests/data/hostile/make-hostile.sh MAKE_PCD SOURCE.png
#
# MAKE_PCD is the Photo CD test-file generator, SOURCE.png an upright 3:2
# picture (a Kodak true-colour test image).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
make_pcd=${1:?path of the make-pcd generator}
source_png=${2:?source picture}
cd "$here"
rm -f -- *.pcd
out=files
rm -rf "$out"
mkdir -p "$out"
cd "$out"

# Files that are not Photo CD images at all, each named *.pcd.
: > empty.pcd
python3 -c 'import random,sys; r=random.Random(1994); sys.stdout.buffer.write(bytes(r.getrandbits(8) for _ in range(800000)))' > random-bytes.pcd
convert -size 64x48 gradient:red-blue png:- > png-renamed.pcd
# The probe path lets a test watch for any attempt to follow the reference.
cat > svg-external.pcd <<'SVG'
<?xml version="1.0" standalone="no"?>
<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width="64" height="64">
  <image xlink:href="file:///tmp/lumafold-hostile-probe/probe.png" width="64" height="64"/>
</svg>
SVG
cat > mvg-drawing.pcd <<'MVG'
push graphic-context
viewbox 0 0 64 64
image over 0,0 64,64 '/tmp/lumafold-hostile-probe/probe.png'
pop graphic-context
MVG
cat > postscript.pcd <<'PS'
%!PS-Adobe-3.0
%%BoundingBox: 0 0 64 64
(/tmp/lumafold-hostile-probe/probe.png) (r) file closefile
newpath 0 0 moveto 64 64 lineto stroke showpage
PS

# Real Photo CD layout, damaged.
"$make_pcd" --levels base "$source_png" base.tmp >/dev/null
head -c 2048 base.tmp > one-sector.pcd
head -c 3000 base.tmp > truncated-in-header.pcd
head -c 500000 base.tmp > truncated-base.pcd
"$make_pcd" --levels base --corrupt signature "$source_png" no-signature.pcd >/dev/null
"$make_pcd" --levels 4base --corrupt huff4 "$source_png" garbage-huffman-4base.pcd >/dev/null
"$make_pcd" --levels 4base --corrupt table4 "$source_png" bad-table-4base.pcd >/dev/null
"$make_pcd" --corrupt huff16 "$source_png" garbage-huffman-16base.pcd >/dev/null
"$make_pcd" --corrupt table16 "$source_png" bad-table-16base.pcd >/dev/null
"$make_pcd" --truncate-at 2500000 "$source_png" truncated-16base.pcd >/dev/null

# A good Base file under a name with every awkward character.
cp base.tmp -- "-awkward name 'single' \"double\" [1] * ? % : .pcd"
rm -f base.tmp
ls -l
