#!/usr/bin/env bash
# One real 16Base Photo CD file to PPM and to JPEG, side by side in one run:
# lumafold's whole process with its built-in decoder, the built-in decoder
# alone (lumafold-pcd-decode, 8-bit and 16-bit PPM), ImageMagick
# (`convert 'pcd:FILE[5]' out.ppm`) and GraphicsMagick
# (`gm convert -size 3072x2048 pcd:FILE out.ppm`). Prints the median wall
# time of each, its ratio to lumafold's, the median processor time (user +
# system, steadier than wall time on a busy machine) and the peak resident
# memory. Every run must end with status 0 and leave its picture (a PPM or
# JPEG of the full size); one that does not stops the benchmark.
#
# lumafold converting one file lends a spare core to its decoder, so the
# "decoder alone" rows run with one too; "decoder alone ppm, one thread"
# shows what that core is worth.
#
#   bench/photo-cd-decoder.sh [ROUNDS] [FILE]
#       (default 5 rounds, samples/couple-on-beach.pcd)
#
# lumafold is $LUMAFOLD_BIN, or built here into $BUILD (default
# build-bench); a lumafold without --pcd-decoder is measured as it is (its
# conversion then runs ImageMagick) and a line says so. $LUMAFOLD_BEFORE, a
# second lumafold (say, a build of an earlier commit), adds its rows to the
# same rounds, for before-and-after figures. $CONVERT is ImageMagick's
# convert (default: the one on PATH); GraphicsMagick is Debian's package
# graphicsmagick.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
file=${2:-$root/samples/couple-on-beach.pcd}
[ -f "$file" ] || { echo "no such file: $file" >&2; exit 1; }
file=$(cd "$(dirname "$file")" && pwd)/$(basename "$file")

gnu_time=/usr/bin/time
[ -x "$gnu_time" ] || { echo "needs GNU time (Debian package 'time')" >&2; exit 1; }

build=${BUILD:-$root/build-bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUMAFOLD_BUILD_UI=OFF \
    -DLUMAFOLD_BUILD_TESTS=OFF >/dev/null
fi
targets=(--target lumafold-pcd-decode)
[ -z "${LUMAFOLD_BIN:-}" ] && targets+=(--target lumafold)
cmake --build "$build" "${targets[@]}" -j 2 >/dev/null
decoder="$build/bench/lumafold-pcd-decode"
lumafold=${LUMAFOLD_BIN:-$build/src/app/lumafold}

work=$(mktemp -d "${TMPDIR:-/tmp}/lumafold-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

builtin=()
if "$lumafold" --help 2>/dev/null | grep -q -- '--pcd-decoder'; then
  builtin=(--pcd-decoder=builtin)
fi
# Whether lumafold really decodes by itself: with no converter to start it
# must still write the whole 16Base picture (the FreeImage fallback gives
# only Base).
mkdir -p "$work/probe"
LUMAFOLD_CONVERT=/nonexistent/convert "$lumafold" -i "$file" -o "$work/probe" -c ppm \
  "${builtin[@]}" >/dev/null 2>&1 || true
probe=$(find "$work/probe" -name '*.ppm' | head -n1)
if [ -z "$probe" ] || [ "$(identify -format %w "$probe" 2>/dev/null)" -lt 2048 ]; then
  echo "note: this lumafold does not decode Photo CD by itself yet; its rows measure the ImageMagick chain"
fi

# Runs "$@" under GNU time into $work/measured: "MICROSECONDS KILOBYTES
# CPU-SECONDS" (peak resident memory of the largest process; lumafold starts
# no child with its own decoder). A run that fails stops the benchmark: its
# time would be that of a conversion that did not happen. ImageMagick is the
# exception: it reports "corrupt image" and exits 1 on every real 16Base scan
# while writing the whole picture, so its status is left to check_picture.
measure() {
  local start end status=0 kb user sys
  start=$(date +%s%N)
  "$gnu_time" -f '%M %U %S' -o "$work/rss" "$@" >"$work/log" 2>&1 || status=$?
  end=$(date +%s%N)
  if [ "$status" -ne 0 ] && ! { [ "$1" = "$convert" ] && [ "$status" -eq 1 ]; }; then
    echo "failed with status $status: $*" >&2
    cat "$work/log" >&2
    exit 1
  fi
  read -r kb user sys < <(grep -v '^Command exited' "$work/rss" | tail -n1)
  echo "$(((end - start) / 1000)) $kb $(awk -v u="$user" -v s="$sys" 'BEGIN {print u + s}')" \
    >"$work/measured"
}

# check_picture PATH: the run wrote a whole-size picture there.
check_picture() {
  local size
  size=$(identify -format '%wx%h' "$1" 2>/dev/null || true)
  case $size in
    3072x2048 | 2048x3072) ;;
    *)
      echo "no 16Base picture at $1 (${size:-none})" >&2
      exit 1
      ;;
  esac
}

median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

convert=${CONVERT:-convert}
stem=$(basename "${file%.*}")
# name|picture the run writes|command
runs=(
  "lumafold ppm|$work/lf-ppm/$stem.ppm|$lumafold -i $file -o $work/lf-ppm -c ppm ${builtin[*]:-}"
  "lumafold jpg|$work/lf-jpg/$stem.jpg|$lumafold -i $file -o $work/lf-jpg -c jpg --jpg-quality=95 ${builtin[*]:-}"
  "decoder alone ppm|$work/out.ppm|$decoder --spare-core $file $work/out.ppm"
  "decoder alone ppm16|$work/out.ppm|$decoder --16 --spare-core $file $work/out.ppm"
  "decoder alone ppm, one thread|$work/out.ppm|$decoder $file $work/out.ppm"
  "ImageMagick ppm|$work/out.ppm|$convert pcd:$file[5] $work/out.ppm"
  "ImageMagick jpg|$work/out.jpg|$convert pcd:$file[5] -quality 95 $work/out.jpg"
  "GraphicsMagick ppm|$work/out.ppm|gm convert -size 3072x2048 pcd:$file $work/out.ppm"
  "GraphicsMagick jpg|$work/out.jpg|gm convert -size 3072x2048 pcd:$file -quality 95 $work/out.jpg"
)
if [ -n "${LUMAFOLD_BEFORE:-}" ]; then
  runs+=("before ppm|$work/lf-ppm/$stem.ppm|$LUMAFOLD_BEFORE -i $file -o $work/lf-ppm -c ppm ${builtin[*]:-}"
    "before jpg|$work/lf-jpg/$stem.jpg|$LUMAFOLD_BEFORE -i $file -o $work/lf-jpg -c jpg --jpg-quality=95 ${builtin[*]:-}")
fi
command -v gm >/dev/null || echo "note: gm (Debian package graphicsmagick) missing; its rows are empty"

for ((r = 0; r < rounds; r++)); do
  # Rotate the starting point so that no command always finds the file cached.
  for ((k = 0; k < ${#runs[@]}; k++)); do
    i=$(((k + r) % ${#runs[@]}))
    name=${runs[$i]%%|*}
    rest=${runs[$i]#*|}
    picture=${rest%%|*}
    cmd=${rest#*|}
    case $name in GraphicsMagick*) command -v gm >/dev/null || continue ;; esac
    rm -rf "$work/lf-ppm" "$work/lf-jpg" "$work"/out.*; mkdir -p "$work/lf-ppm" "$work/lf-jpg"
    # shellcheck disable=SC2086
    measure $cmd
    check_picture "$picture"
    read -r us kb cpu <"$work/measured"
    echo "$us" >>"$work/$i.times"
    echo "$kb" >>"$work/$i.rss"
    echo "$cpu" >>"$work/$i.cpu"
  done
done

lf_ppm=$(median <"$work/0.times")
lf_jpg=$(median <"$work/1.times")
lf_ppm_cpu=$(median <"$work/0.cpu")
lf_jpg_cpu=$(median <"$work/1.cpu")
printf '%s, %d rounds (median wall time; ratio = time / lumafold to the same format)\n' \
  "$(basename "$file")" "$rounds"
printf '%-30s %10s %8s %10s %8s %10s\n' command seconds ratio 'cpu s' ratio 'peak MB'
for ((i = 0; i < ${#runs[@]}; i++)); do
  [ -f "$work/$i.times" ] || continue
  name=${runs[$i]%%|*}
  t=$(median <"$work/$i.times")
  c=$(median <"$work/$i.cpu")
  kb=$(sort -n "$work/$i.rss" | tail -n1)
  case $name in
    *jpg) base=$lf_jpg base_cpu=$lf_jpg_cpu ;;
    *) base=$lf_ppm base_cpu=$lf_ppm_cpu ;;
  esac
  awk -v n="$name" -v t="$t" -v b="$base" -v c="$c" -v bc="$base_cpu" -v kb="$kb" \
    'BEGIN {printf "%-30s %10.3f %7.2fx %10.2f %7.2fx %10.1f\n", n, t/1e6, t/b, c, (bc > 0 ? c/bc : 0), kb/1024}'
done
