#!/usr/bin/env bash
# Load: one batch of 100 and one of 2,000 inputs (real copies of the four
# Base samples under names of their own: lumafold converts a file reached
# twice, through a link or a second name of the same file, only once),
# converted to JPEG. Prints lumafold's
# own peak resident memory (VmHWM, without the converter processes it
# starts) for each batch and fails when the 2,000-file peak is more than
# 10 % above the 100-file peak: memory must not grow with the batch.
#
#   bench/load-2000.sh [LUMAFOLD]     (default: build/src/app/lumafold,
#                                      built there as a Release build if missing)
#
# The 2,000 copies take 1.6 GB in $TMPDIR while their batch runs; each batch's
# files are removed before the next one starts.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
lumafold=${1:-}
if [ -z "$lumafold" ]; then
  lumafold=$root/build/src/app/lumafold
  if [ ! -x "$lumafold" ]; then
    cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$root/build" --target lumafold -j 2 >/dev/null
  fi
fi
[ -x "$lumafold" ] || { echo "no lumafold at $lumafold" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/lumafold-load-XXXXXX")
trap 'rm -rf "$work"' EXIT
samples=("$root"/samples/kodim01.pcd "$root"/samples/kodim03.pcd \
  "$root"/samples/kodim19.pcd "$root"/samples/kodim23.pcd)

# Runs one batch of $1 copies; prints "PEAK_KB MILLISECONDS CONVERTED".
batch() {
  local count=$1 in=$work/in-$1 out=$work/out-$1 i peak=0 hwm start end pid
  mkdir -p "$in" "$out" "$work/home-$count/.run"
  for ((i = 0; i < count; i++)); do
    cp "${samples[i % ${#samples[@]}]}" "$in/$(printf 'roll%04d' "$i").pcd"
  done
  start=$(date +%s%N)
  HOME=$work/home-$count XDG_CONFIG_HOME=$work/home-$count/.config \
    XDG_RUNTIME_DIR=$work/home-$count/.run TMPDIR=$work \
    "$lumafold" -i "$in/" -o "$out/" -c jpg -q </dev/null >"$work/log-$count" 2>&1 &
  pid=$!
  # VmHWM only grows; the last reading before the process ends is its peak.
  while hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status" 2>/dev/null) && [ -n "$hwm" ]; do
    [ "$hwm" -gt "$peak" ] && peak=$hwm
    sleep 0.1
  done
  wait "$pid" || { cat "$work/log-$count" >&2; echo "the $count-file batch failed" >&2; exit 1; }
  end=$(date +%s%N)
  echo "$peak $(((end - start) / 1000000)) $(find "$out" -name '*.jpg' | wc -l)"
  rm -rf "$in" "$out"
}

result100=$(batch 100)
result2000=$(batch 2000)
read -r peak100 ms100 done100 <<<"$result100"
read -r peak2000 ms2000 done2000 <<<"$result2000"
awk -v p="$peak100" -v t="$ms100" -v n="$done100" \
  'BEGIN { printf "100 files:   %7d KB peak, %4d converted in %6.1f s\n", p, n, t / 1000 }'
awk -v p="$peak2000" -v t="$ms2000" -v n="$done2000" \
  'BEGIN { printf "2000 files:  %7d KB peak, %4d converted in %6.1f s\n", p, n, t / 1000 }'
[ "$done100" -eq 100 ] && [ "$done2000" -eq 2000 ] || { echo "not every file converted" >&2; exit 1; }
limit=$((peak100 * 110 / 100))
if [ "$peak2000" -gt "$limit" ]; then
  echo "FAIL: the 2000-file peak is more than 10 % above the 100-file peak ($limit KB)"
  exit 1
fi
echo "OK: the 2000-file peak is within 10 % of the 100-file peak"
