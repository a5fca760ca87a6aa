#!/usr/bin/env bash
# Disc images against their extracted files, side by side in one run:
#  1. time and peak memory of converting one.iso, mode2.cue and the same
#     disc's extracted tree (three pictures, Base to 16Base), ROUNDS rounds
#     alternating, medians and ratios printed;
#  2. peak memory over a 100-picture image against a 10-picture one, which
#     stays flat when each picture's bytes are freed after its conversion.
# Usage: bench/disc-images.sh [BUILD_FOLDER] [ROUNDS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
rounds=${2:-5}
lumafold=$build/src/app/lumafold
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$here/tests/data/make-disc-images.sh" "$here/samples" "$work/images" >/dev/null
mkdir -p "$work/tree" && cp -r "$work/images/extracted/one" "$work/tree/"

# Seconds and peak kilobytes of one conversion.
measure() {
  rm -rf "$work/out" && mkdir "$work/out"
  /usr/bin/time -f '%e %M' -o "$work/time" "$lumafold" -i "$1" -o "$work/out" -c jpg -q --jobs=1
  cat "$work/time"
}
median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

for kind in tree iso cue; do : > "$work/$kind.s"; : > "$work/$kind.k"; done
for ((round = 0; round < rounds; round++)); do
  for kind in tree iso cue; do
    case $kind in
      tree) input=$work/tree ;;
      iso) input=$work/images/one.iso ;;
      cue) input=$work/images/mode2.cue ;;
    esac
    read -r seconds kilobytes < <(measure "$input")
    echo "$seconds" >> "$work/$kind.s"
    echo "$kilobytes" >> "$work/$kind.k"
  done
done
tree_s=$(median < "$work/tree.s"); tree_k=$(median < "$work/tree.k")
for kind in tree iso cue; do
  s=$(median < "$work/$kind.s"); k=$(median < "$work/$kind.k")
  printf '%-5s %6.2f s  %7d KB peak   time ratio to tree %.3f, memory ratio %.3f\n' \
    "$kind" "$s" "$k" "$(echo "$s / $tree_s" | bc -l)" "$(echo "$k / $tree_k" | bc -l)"
done

# 10 and 100 pictures of Base and 4Base scans.
for count in 10 100; do
  folder=$work/disc$count
  mkdir -p "$folder/PHOTO_CD/IMAGES"
  samples=(kodim01.pcd kodim03.pcd kodim13-4base.pcd kodim19.pcd kodim23.pcd)
  for ((n = 1; n <= count; n++)); do
    ln -s "$here/samples/${samples[n % 5]}" "$folder/PHOTO_CD/IMAGES/$(printf 'IMG%04d.PCD' "$n")"
  done
  genisoimage -quiet -f -XA -iso-level 1 -V PHOTO_CD -o "$work/disc$count.iso" "$folder" 2>/dev/null
  read -r seconds kilobytes < <(measure "$work/disc$count.iso")
  printf '%3d pictures: %6.2f s  %7d KB peak\n' "$count" "$seconds" "$kilobytes"
  echo "$kilobytes" > "$work/peak$count"
done
printf 'peak memory 100 pictures / 10 pictures: %.3f\n' \
  "$(echo "$(cat "$work/peak100") / $(cat "$work/peak10")" | bc -l)"
