#!/usr/bin/env bash
# Rebuilds the decoder test files in tests/data/decoder/. The outputs are
# committed, so the tests never need the generator or the source pictures.
#
#   tests/data/make-test-files.sh MAKE_PCD KODAK_FOLDER
#
# MAKE_PCD is the Photo CD test-file generator (make-pcd), KODAK_FOLDER holds
# the Kodak true-colour pictures (kodim19 is a 512x768 portrait, kodim23 a
# 768x512 landscape).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
make_pcd=${1:?path of the make-pcd generator}
kodak=${2:?folder of the Kodak pictures}
out="$here/decoder"
mkdir -p "$out"
cd "$out"
rm -f -- *.pcd

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
ls -l
