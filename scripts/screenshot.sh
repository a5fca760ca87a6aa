#!/bin/sh
# Takes docs/images/main-window.png: the main window with a few samples
# listed, drawn by a real X server (Xvfb) rather than the offscreen platform.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake --build "$build" -j2 --target ui_screenshot
mkdir -p "$root/docs/images"
# Links under a folder named as a user's would be, so the picture shows
# ordinary paths.
shots=$(mktemp -d)
album=${TMPDIR:-/tmp}/Pictures/"Photo CD 1996"
trap 'rm -rf "$shots" "$album"' EXIT
rm -rf "$album"
mkdir -p "$album/Holiday"
n=1
for f in kodim01 kodim03 kodim05-16base kodim13-4base kodim19 kodim23; do
  case $n in 1|2|3) dest="$album";; *) dest="$album/Holiday";; esac
  ln -s "$root/samples/$f.pcd" "$dest/IMG000$n.PCD"
  set -- "$@" "$dest/IMG000$n.PCD"
  n=$((n + 1))
done
HOME="$shots" XDG_CONFIG_HOME="$shots" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/tests/ui/ui_screenshot" "$root/docs/images/main-window.png" "$@"
echo "wrote $root/docs/images/main-window.png"
