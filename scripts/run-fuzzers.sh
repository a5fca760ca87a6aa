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
for t in "${targets[@]}"; do
  [ -x "$t" ] || continue
  name=$(basename "$t"); name=${name#fuzz_}
  work=$(mktemp -d)
  [ -d "$src/$name" ] && cp -r "$src/$name/." "$work/"
  log=$(mktemp)
  # libFuzzer's own limit follows the largest seed; targets whose small
  # forms reach deep code get a limit of their own, so that the mutations
  # stay small and fast.
  limit=()
  case $name in
    pcd_decoder) limit=(-max_len=65536) ;;
  esac
  if ! UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ASAN_OPTIONS=detect_leaks=1 \
      "$t" "${limit[@]}" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$work/" "$work" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz_$name: CRASH (artifact in $work)"
    exit 1
  fi
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  echo "fuzz_$name: $execs executions in ${seconds}s ($((${execs/\?/0} / seconds)) a second), no crash"
  rm -rf "$work" "$log"
done
