#!/usr/bin/env bash
# Converts each sample Photo CD file to JPEG with lumafold and with
# ImageMagick alone (`convert 'pcd:FILE[n]' -quality 95 out.jpg`, n = the
# file's own highest sub-image index), side by side, several rounds, and
# prints the median wall time of each, their ratio and the peak memory.
#
#   bench/bench-convert.sh [ROUNDS] [FILE...]      (default 5 rounds, samples/*.pcd)
#
# lumafold is the engine's bench driver (built here into $BUILD, default
# build-bench), or the program named by $LUMAFOLD_BIN, run as
# `lumafold -i FILE -o OUTDIR -c jpg --jpg-quality=95`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
shift || true
files=("$@")
[ ${#files[@]} -eq 0 ] && files=("$root"/samples/*.pcd)

gnu_time=/usr/bin/time
[ -x "$gnu_time" ] || { echo "needs GNU time (Debian package 'time')" >&2; exit 1; }

if [ -z "${LUMAFOLD_BIN:-}" ]; then
  build=${BUILD:-$root/build-bench}
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUMAFOLD_BUILD_UI=OFF \
      -DLUMAFOLD_BUILD_TESTS=OFF >/dev/null
  fi
  cmake --build "$build" --target lumafold-bench lumafold -j 2 >/dev/null
  driver="$build/bench/lumafold-bench"
fi
LUMAFOLD_INFO_BIN=${LUMAFOLD_BIN:-$build/src/app/lumafold}

work=$(mktemp -d "${TMPDIR:-/tmp}/lumafold-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT

# highest_index FILE: the sub-image index the file really holds.
. "$root/bench/photo-cd-levels.sh"

# Runs "$@" under GNU time into $work/measured: "MICROSECONDS KILOBYTES"
# (wall time measured here, peak resident memory of the process tree). A run
# that fails stops the benchmark: its time would be that of a conversion
# that did not happen.
measure() {
  local start end status=0
  start=$(date +%s%N)
  "$gnu_time" -f %M -o "$work/rss" "$@" >"$work/log" 2>&1 || status=$?
  end=$(date +%s%N)
  if [ "$status" -ne 0 ]; then
    echo "failed with status $status: $*" >&2
    cat "$work/log" >&2
    exit 1
  fi
  echo "$(((end - start) / 1000)) $(tail -n1 "$work/rss")" >"$work/measured"
}

# check_jpeg PATH WIDTHxHEIGHT: the run wrote that JPEG (either way up).
check_jpeg() {
  local size
  size=$(identify -format '%m %wx%h' "$1" 2>/dev/null || true)
  local turned="${2#*x}x${2%x*}"
  if [ "$size" != "JPEG $2" ] && [ "$size" != "JPEG $turned" ]; then
    echo "no $2 JPEG at $1 (${size:-none})" >&2
    exit 1
  fi
}

# Landscape size of sub-image index N.
index_size() { case $1 in 5) echo 3072x2048 ;; 4) echo 1536x1024 ;; *) echo 768x512 ;; esac; }

median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : int((v[NR/2]+v[NR/2+1])/2)}'; }

printf '%-22s %3s %10s %10s %7s %12s %12s\n' file idx 'IM s' 'lumafold s' ratio 'IM peak MB' 'lf peak MB'
total_im=0
total_lf=0
for f in "${files[@]}"; do
  n=$(highest_index "$f")
  : > "$work/im.times"; : > "$work/lf.times"; : > "$work/im.rss"; : > "$work/lf.rss"
  for ((r = 0; r < rounds; r++)); do
    rm -rf "$work/out"; mkdir -p "$work/out"
    # Alternate which one goes first, so neither always finds the file cached.
    for tool in $([ $((r % 2)) -eq 0 ] && echo "im lf" || echo "lf im"); do
      if [ "$tool" = im ]; then
        measure convert "pcd:$f[$n]" -quality 95 "$work/out/im.jpg"
        check_jpeg "$work/out/im.jpg" "$(index_size "$n")"
      else
        if [ -n "${LUMAFOLD_BIN:-}" ]; then
          measure "$LUMAFOLD_BIN" -i "$f" -o "$work/out" -c jpg --jpg-quality=95
        else
          measure "$driver" "$work/out" "$f"
        fi
        check_jpeg "$work/out/$(basename "${f%.*}").jpg" "$(index_size "$n")"
      fi
      read -r us kb <"$work/measured"
      echo "$us" >> "$work/$tool.times"
      echo "$kb" >> "$work/$tool.rss"
    done
  done
  im=$(median < "$work/im.times"); lf=$(median < "$work/lf.times")
  im_kb=$(sort -n "$work/im.rss" | tail -n1); lf_kb=$(sort -n "$work/lf.rss" | tail -n1)
  total_im=$((total_im + im)); total_lf=$((total_lf + lf))
  awk -v f="$(basename "$f")" -v n="$n" -v im="$im" -v lf="$lf" -v ik="$im_kb" -v lk="$lf_kb" \
    'BEGIN {printf "%-22s %3d %10.3f %10.3f %6.2fx %12.1f %12.1f\n", f, n, im/1e6, lf/1e6, lf/im, ik/1024, lk/1024}'
done
awk -v im="$total_im" -v lf="$total_lf" -v r="$rounds" \
  'BEGIN {printf "%-22s %3s %10.3f %10.3f %6.2fx   (medians of %d rounds)\n", "all files", "", im/1e6, lf/1e6, lf/im, r}'
