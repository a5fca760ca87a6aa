#!/bin/sh
# Redraws gfx/flat.zip, the "Flat" theme, with desktop/make_flat_theme.cpp.
# Run after changing a glyph and commit the archive.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-theme}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMAFOLD_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target make_flat_theme
mkdir -p "$root/gfx"
"$build/desktop/make_flat_theme" "$root/gfx/flat.zip"
echo "wrote $root/gfx/flat.zip"
