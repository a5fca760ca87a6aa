#!/bin/sh
# Takes docs/images/window-scale-1.5.png: the whole of a 1280x800 screen at a
# 1.5 scale factor, with the window restored from a saved size larger than
# the screen (1499x1049), to show that it is fitted inside.
set -eu
. "$(dirname "$0")/screenshot-common.sh"
screenshot_setup ui_screenshot
screenshot_album
mkdir -p "$album"
ln -s "$root/samples/couple-on-beach.pcd" "$album/IMG0001.PCD"
ln -s "$root/samples/portrait-in-red.pcd" "$album/IMG0002.PCD"
HOME="$shots" XDG_CONFIG_HOME="$shots" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1.5 \
  LUMAFOLD_SHOT_SIZE=1499x1049 LUMAFOLD_SHOT_SCREEN=1 \
  xvfb-run -a -s "-screen 0 1280x800x24" \
  "$build/tests/ui/ui_screenshot" "$root/docs/images/window-scale-1.5.png" \
  "$album/IMG0001.PCD" "$album/IMG0002.PCD"
echo "wrote $root/docs/images/window-scale-1.5.png"
