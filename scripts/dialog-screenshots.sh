#!/bin/sh
# Takes docs/images/preferences-output.png, preferences-watermark.png and
# about.png, drawn by a real X server (Xvfb) rather than the offscreen
# platform.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
cmake --build "$build" -j2 --target ui_dialog_screenshots
mkdir -p "$root/docs/images"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
HOME="$home" XDG_CONFIG_HOME="$home" QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/tests/ui/ui_dialog_screenshots" "$root/docs/images" "$root/gfx"
echo "wrote $root/docs/images/preferences-output.png, preferences-watermark.png, about.png"
