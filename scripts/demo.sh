#!/usr/bin/env bash
# Converts the bundled samples to JPEG in ./out/ and prints the summary.
set -euo pipefail
bin=${1:-build/src/app/lumafold}
mkdir -p out
status=0
"$bin" -i samples/ -o out/ -c jpg || status=$?
# The two real scans are reproduced here unaltered (converted only); the
# disc's terms ask for the photographer's credit beside each reproduction.
credits="out/portrait-in-red.jpg: Photo: Bob Clemens (Kodak Photo CD Photo Sampler, Image #4)
out/couple-on-beach.jpg: Photo: Don Cochran (Kodak Photo CD Photo Sampler, Image #12)"
printf '%s\n' "$credits" >out/CREDITS.txt
printf '%s\n' "$credits"
exit "$status"
