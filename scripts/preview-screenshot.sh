#!/bin/sh
# Takes docs/images/preview-before-after.png: the main window with a scan
# selected and a frame and a text watermark set, the preview showing the
# original and, under it, the picture as the settings will write it; drawn
# by a real X server (Xvfb).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake --build "$build" -j2 --target ui_preview_screenshot
mkdir -p "$root/docs/images"
shots=$(mktemp -d)
album=${TMPDIR:-/tmp}/Pictures/"Photo CD 1996"
trap 'rm -rf "$shots" "$album"' EXIT
rm -rf "$album"
mkdir -p "$album"
n=1
for f in kodim23 kodim19 kodim01 kodim03; do
  [ -f "$root/samples/$f.pcd" ] || continue
  name=$(printf 'IMG%04d.PCD' "$n")
  ln -s "$root/samples/$f.pcd" "$album/$name"
  set -- "$@" "$album/$name"
  n=$((n + 1))
done
HOME="$shots" XDG_CONFIG_HOME="$shots" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/tests/ui/ui_preview_screenshot" "$root/docs/images/preview-before-after.png" "$@"
echo "wrote $root/docs/images/preview-before-after.png"
