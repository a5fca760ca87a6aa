#!/usr/bin/env bash
# Converts one batch of 72 Photo CD files (copies of the samples; lumafold
# converts a file named twice, or through a link, only once) to JPEG with lumafold's built-in decoder at --jobs=1,
# --jobs=2, the automatic worker count and --jobs=4, with the external
# decoder (--pcd-decoder=external) at the automatic worker count, and with
# ImageMagick alone converting the same files one after another
# (`convert 'pcd:FILE[n]' -quality 95 out.jpg`, n = the file's own highest
# sub-image index), side by side, several rounds. Prints the median wall
# time of each, the speed-ups, and the peak memory: lumafold's own
# high-water mark and the sampled peak of its whole process tree (lumafold
# and the ImageMagick processes the external decoder runs at the same time).
#
#   bench/bench-jobs.sh [ROUNDS]      (default 5 rounds, about 9 minutes)
#
# The goal, automatic workers at least 1.9x faster than --jobs=1 on two
# cores, is judged on the median over the rounds of the ratio of a pair of
# runs made back to back; the ratio of the two medians is printed too.
#
# BATCH_SIZE sets the number of files. With the built-in decoder a file
# takes 20 to 200 ms, so a short batch mostly measures the program's start
# and the last file, which the cores share less well than whole files:
# 24 files gave 1.5-1.7x on two cores where 72 give about 1.8x.
#
# lumafold is built here into $BUILD (default build-bench, Release, no
# desktop face), or is the program named by $LUMAFOLD_BIN.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
batch_size=${BATCH_SIZE:-72}

gnu_time=/usr/bin/time
[ -x "$gnu_time" ] || { echo "needs GNU time (Debian package 'time')" >&2; exit 1; }

if [ -z "${LUMAFOLD_BIN:-}" ]; then
  build=${BUILD:-$root/build-bench}
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLUMAFOLD_BUILD_UI=OFF \
      -DLUMAFOLD_BUILD_TESTS=OFF >/dev/null
  fi
  cmake --build "$build" --target lumafold -j 2 >/dev/null
  LUMAFOLD_BIN="$build/src/app/lumafold"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/lumafold-bench-jobs-XXXXXX")
trap 'rm -rf "$work"' EXIT
# lumafold's instance guard and settings stay out of the user's folders.
export XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/config"
mkdir -m 700 "$work/run"

# highest_index FILE: the sub-image index the file really holds.
LUMAFOLD_INFO_BIN=$LUMAFOLD_BIN
. "$root/bench/photo-cd-levels.sh"

mkdir "$work/batch"
# BATCH_SAMPLES: other files to copy (e.g. only the 16Base scans).
# shellcheck disable=SC2206
samples=(${BATCH_SAMPLES:-"$root"/samples/*.pcd})
count=0
for ((copy = 1; count < batch_size; copy++)); do
  for f in "${samples[@]}"; do
    [ $count -ge $batch_size ] && break
    cp "$f" "$work/batch/$copy-$(basename "$f")"
    count=$((count + 1))
  done
done
batch_files=("$work"/batch/*.pcd)
indices=()
for f in "${batch_files[@]}"; do indices+=("$(highest_index "$f")"); done

lumafold_arguments() {
  local config=$1 out=$2
  printf '%s\n' -i "$work/batch/" -o "$out/" -c jpg --jpg-quality=95 -q
  case $config in
    auto) ;;
    external) printf '%s\n' --pcd-decoder=external ;;
    *) printf '%s\n' "--jobs=$config" ;;
  esac
}

im_loop() {
  local out=$1 i
  for i in "${!batch_files[@]}"; do
    convert "pcd:${batch_files[$i]}[${indices[$i]}]" -quality 95 "$out/$i.jpg" 2>/dev/null || true
  done
}

# Starts one run of a configuration in the background; $! is lumafold
# itself, or the shell of the ImageMagick loop.
start_config() {
  local config=$1 out=$2
  if [ "$config" = im ]; then
    im_loop "$out" >/dev/null 2>&1 &
  else
    local -a arguments
    mapfile -t arguments < <(lumafold_arguments "$config" "$out")
    "$LUMAFOLD_BIN" "${arguments[@]}" >/dev/null 2>&1 &
  fi
}

# Wall time in microseconds of one run of a configuration.
measure() {
  local config=$1 start end made
  rm -rf "$work/out"; mkdir "$work/out"
  # The runs before leave gigabytes to write back (the external decoder's
  # intermediate files) and deleted blocks to discard; that kernel work
  # would otherwise land in this run, and hurts one that keeps both cores
  # busy far more than one that leaves a core idle.
  sync
  start=$(date +%s%N)
  start_config "$config" "$work/out"
  wait $! || true
  end=$(date +%s%N)
  made=$(find "$work/out" -name '*.jpg' | wc -l)
  [ "$made" -eq $batch_size ] || echo "warning: $config wrote $made of $batch_size files" >&2
  echo $(((end - start) / 1000))
}

# One more run, sampled every 20 ms: the largest sum of the resident memory
# of lumafold (or of the loop's shell) and its children at one moment, and
# lumafold's own high-water mark (VmHWM) as last seen. In kilobytes.
sample_memory() {
  local config=$1 pid peak=0 own=0 page_kb total task kid size rss line
  local -a kids procs
  page_kb=$(($(getconf PAGESIZE) / 1024))
  rm -rf "$work/out"; mkdir "$work/out"
  start_config "$config" "$work/out"
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    total=0
    procs=("$pid")
    # Children of every thread: each worker thread starts its own converter.
    for task in /proc/"$pid"/task/*; do
      kids=()
      read -r -a kids 2>/dev/null < "$task/children" || true
      procs+=("${kids[@]}")
    done
    for kid in "${procs[@]}"; do
      rss=0
      read -r size rss _ 2>/dev/null < "/proc/$kid/statm" || true
      total=$((total + rss * page_kb))
    done
    [ $total -gt $peak ] && peak=$total
    if [ "$config" != im ]; then
      while read -r line; do
        case $line in VmHWM:*) read -r _ own _ <<< "$line" ;; esac
      done 2>/dev/null < "/proc/$pid/status" || true
    fi
    sleep 0.02
  done
  wait "$pid" || true
  echo "$peak $own"
}

median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : int((v[NR/2]+v[NR/2+1])/2)}'; }

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
# BENCH_OTHERS: the runs besides the --jobs=1 / automatic pair ("" for the
# pair alone).
# shellcheck disable=SC2206
others=(${BENCH_OTHERS-2 4 external im})
configs=(1 auto "${others[@]}")
for c in "${configs[@]}"; do : > "$work/$c.times"; done
: > "$work/pair.ratios"
for ((r = 0; r < rounds; r++)); do
  # --jobs=1 and automatic run back to back, first one then the other, so
  # that their ratio in each round is taken on the same machine: a shared
  # machine's speed drifts by 10-20 % over the minutes a round takes, more
  # than the difference being measured. The rest follow in a different
  # order each round, so that none always runs after the same neighbour.
  if ((r % 2 == 0)); then pair=(1 auto); else pair=(auto 1); fi
  declare -A this=()
  for c in "${pair[@]}"; do
    this[$c]=$(measure "$c")
    echo "${this[$c]}" >> "$work/$c.times"
  done
  awk -v one="${this[1]}" -v a="${this[auto]}" 'BEGIN {printf "%.4f\n", one / a}' >> "$work/pair.ratios"
  order=("${others[@]:r % ${#others[@]}}" "${others[@]:0:r % ${#others[@]}}")
  for c in "${order[@]}"; do measure "$c" >> "$work/$c.times"; done
done
pair_ratio=$(sort -n "$work/pair.ratios" | awk '{v[NR]=$1} END {printf "%.4f", (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}')
pair_ratios=$(sort -n "$work/pair.ratios" | awk '{printf "%s%.2f", (NR > 1 ? " " : ""), $1}')

declare -A wall best tree own
for c in "${configs[@]}"; do
  wall[$c]=$(median < "$work/$c.times")
  best[$c]=$(sort -n "$work/$c.times" | head -n1)
  read -r tree[$c] own[$c] < <(sample_memory "$c")
done

cores=$(getconf _NPROCESSORS_ONLN)
echo "batch: $batch_size files (${#samples[@]} samples repeated), JPEG quality 95, $cores online cores,"
echo "medians of $rounds rounds; load average before: $load_before"
printf '%-20s %9s %8s %10s %11s %13s %12s\n' run 'median s' 'best s' 'vs jobs=1' 'vs IM loop' 'tree peak MB' 'own peak MB'
label() {
  case $1 in
    im) echo "ImageMagick loop" ;;
    auto) echo "lumafold automatic" ;;
    external) echo "external automatic" ;;
    *) echo "lumafold --jobs=$1" ;;
  esac
}
for c in "${configs[@]}"; do
  own_mb=$(awk -v k="${own[$c]}" 'BEGIN {printf "%.1f", k/1024}')
  [ "$c" = im ] && own_mb=-
  awk -v name="$(label "$c")" -v w="${wall[$c]}" -v b="${best[$c]}" -v one="${wall[1]}" \
    -v im="${wall[im]:-0}" -v t="${tree[$c]}" -v o="$own_mb" \
    'BEGIN {printf "%-20s %9.3f %8.3f %9.2fx %10.2fx %13.1f %12s\n", name, w/1e6, b/1e6, one/w, im/w, t/1024, o}'
done
awk -v a="${wall[auto]}" -v one="${wall[1]}" -v im="${wall[im]:-0}" -v ext="${wall[external]:-0}" \
  -v p="$pair_ratio" -v all="$pair_ratios" 'BEGIN {
  f = im / a
  printf "automatic is %.2fx faster than --jobs=1 (median over the rounds of a back-to-back pair: %s; goal 1.9x): %s\n", p, all, (p >= 1.9 ? "met" : "NOT met")
  printf "  (ratio of the two medians above: %.2fx)\n", one / a
  if (ext > 0) printf "built-in decoder is %.2fx faster than the external one (automatic workers, medians)\n", ext / a
  if (im > 0) printf "automatic is %.2fx faster than the ImageMagick loop (medians; goal above 1x): %s\n", f, (f > 1 ? "met" : "NOT met")
}'
[ -n "${own[2]:-}" ] && [ -n "${own[4]:-}" ] && awk -v o1="${own[1]}" -v o2="${own[2]}" -v o4="${own[4]}" 'BEGIN {
  printf "own peak per added worker: 1->2 +%.1f MB, 2->4 +%.1f MB per worker\n", (o2-o1)/1024, (o4-o2)/2048
}'
