#!/bin/sh
# Takes docs/images/main-window.png: the main window with the samples listed
# (the real scans first), their thumbnails and the preview of the first,
# drawn by a real X server (Xvfb) rather than the offscreen platform.
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
# The real scans first, then the test pictures made from the Kodak set.
for f in $(ls "$root"/samples/*.pcd | grep -v /kodim) $(ls "$root"/samples/kodim*.pcd); do
  [ -f "$f" ] || continue
  case $n in 1|2|3) dest="$album";; *) dest="$album/Holiday";; esac
  name=$(printf 'IMG%04d.PCD' "$n")
  ln -s "$f" "$dest/$name"
  set -- "$@" "$dest/$name"
  n=$((n + 1))
done
HOME="$shots" XDG_CONFIG_HOME="$shots" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/tests/ui/ui_screenshot" "$root/docs/images/main-window.png" "$@"
echo "wrote $root/docs/images/main-window.png"
