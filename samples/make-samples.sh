#!/usr/bin/env bash
# Rebuilds the sample Photo CD files in this folder from the Kodak true-colour
# test pictures. The outputs are committed; nothing at build or test time
# needs this script, ImageMagick's writer or the generator.
#
#   samples/make-samples.sh MAKE_PCD KODAK_FOLDER
#
# MAKE_PCD is the Photo CD test-file generator (make-pcd), KODAK_FOLDER holds
# kodim01.png ... kodim23.png.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
make_pcd=${1:?path of the make-pcd generator}
kodak=${2:?folder of the Kodak pictures}
cd "$here"

# Base resolution (768x512), written by ImageMagick's Photo CD writer;
# kodim19 is a portrait, stored with the rotation attribute set.
for n in 01 03 19 23; do
  convert "$kodak/kodim$n.png" "kodim$n.pcd"
done
# 4Base (1536x1024) and 16Base (3072x2048) Image Pacs from the generator;
# the grain makes the 16Base residuals as large as a real scan's.
"$make_pcd" --levels 4base "$kodak/kodim13.png" kodim13-4base.pcd >/dev/null
"$make_pcd" --noise 2 "$kodak/kodim05.png" kodim05-16base.pcd >/dev/null
ls -l -- *.pcd
