#!/bin/sh
# Rebuilds gfx/handdrawn.zip, the default theme, from the SVG pictures in
# assets/icons/. Run after changing a picture and commit the archive.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-theme}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMAFOLD_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target make_theme_archive
mkdir -p "$root/gfx"
"$build/src/ui/make_theme_archive" "$root/gfx/handdrawn.zip"
echo "wrote $root/gfx/handdrawn.zip"
