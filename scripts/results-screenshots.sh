#!/bin/sh
# Takes docs/images/progress-stop.png, results-dialog.png and results-view.png:
# a run of sound scans, a damaged one, a foreign file and two files whose
# outputs collide, drawn by a real X server (Xvfb).
set -eu
. "$(dirname "$0")/screenshot-common.sh"
screenshot_setup ui_results_screenshot
screenshot_album
mkdir -p "$album/Roll 1" "$album/Roll 2" "$album/out"
cp "$root/samples/kodim05-16base.pcd" "$album/Roll 1/IMG0001.PCD"
cp "$root/samples/couple-on-beach.pcd" "$album/Roll 1/IMG0002.PCD"
size=$(stat -c %s "$root/samples/portrait-in-red.pcd")
head -c $((size - 100000)) "$root/samples/portrait-in-red.pcd" > "$album/Roll 1/IMG0003.PCD"
echo "not a Photo CD image" > "$album/Roll 1/IMG0004.PCD"
# Same name in another roll: without subfolders both go to IMG0001.jpg.
cp "$root/samples/kodim19.pcd" "$album/Roll 2/IMG0001.PCD"
cp "$root/samples/kodim23.pcd" "$album/Roll 2/IMG0005.PCD"
on_x_server "$build/tests/ui/ui_results_screenshot" "$root/docs/images" "$album/out/" \
  "$album/Roll 1/IMG0001.PCD" "$album/Roll 1/IMG0002.PCD" "$album/Roll 1/IMG0003.PCD" \
  "$album/Roll 1/IMG0004.PCD" "$album/Roll 2/IMG0001.PCD" "$album/Roll 2/IMG0005.PCD"
echo "wrote $root/docs/images/progress-stop.png results-dialog.png results-view.png"
