#!/usr/bin/env bash
# Runs each fuzz target for a bounded time on a copy of its seed corpus and
# prints the executions done. Exits non-zero on the first crash.
set -euo pipefail
dir=${1:?fuzz build folder}
seconds=${2:-30}
src=$(cd "$(dirname "$0")/.." && pwd)/fuzz/corpus
shopt -s nullglob
targets=("$dir"/fuzz_*)
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets built"; exit 1; }
# run NAME TARGET SECONDS SEEDS... [-- libFuzzer options]: one bounded run on
# a copy of the seeds; exits on a crash.
run() {
  local name=$1 t=$2 secs=$3
  shift 3
  local work log seeds=() options=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do seeds+=("$1"); shift; done
  [ $# -gt 0 ] && shift && options=("$@")
  work=$(mktemp -d)
  for seed in "${seeds[@]}"; do cp -r "$seed" "$work/"; done
  log=$(mktemp)
  if ! UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=1 \
      "$t" "${options[@]}" -max_total_time="$secs" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$work/" "$work" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz_$name: CRASH (artifact in $work)"
    exit 1
  fi
  local execs
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  echo "fuzz_$name: $execs executions in ${secs}s ($((${execs/\?/0} / secs)) a second), no crash"
  rm -rf "$work" "$log"
}

for t in "${targets[@]}"; do
  [ -x "$t" ] || continue
  name=$(basename "$t"); name=${name#fuzz_}
  seeds=("$src/$name"/*)
  case $name in
    pcd_decoder)
      # A whole-file input decodes a 4Base picture (about a second under the
      # sanitizers), a coded-rows input a 64x32 level (hundreds a second,
      # and it covers more of the Huffman code): most of the time goes to
      # the rows, the rest to whole files with libFuzzer's limit kept small.
      rows=$((seconds * 2 / 3))
      run "$name (coded rows)" "$t" "$rows" "$src/$name/rows-64x32" -- -max_len=4096
      run "$name (whole files)" "$t" $((seconds - rows)) "${seeds[@]}" -- -max_len=65536
      ;;
    *) run "$name" "$t" "$seconds" "${seeds[@]}" ;;
  esac
done
