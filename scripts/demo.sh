#!/usr/bin/env bash
# Converts the bundled samples to JPEG in ./out/ and prints the summary.
set -euo pipefail
bin=${1:-build/src/app/lumafold}
mkdir -p out
exec "$bin" -i samples/ -o out/ -c jpg
