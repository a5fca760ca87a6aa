#!/bin/sh
# Takes docs/images/main-window.png: the main window with the samples listed
# (the real scans first), their thumbnails and the preview of the first,
# drawn by a real X server (Xvfb) rather than the offscreen platform.
set -eu
. "$(dirname "$0")/screenshot-common.sh"
screenshot_setup ui_screenshot
# Links to the samples, under the album.
screenshot_album
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
on_x_server "$build/tests/ui/ui_screenshot" "$root/docs/images/main-window.png" "$@"
echo "wrote $root/docs/images/main-window.png"
