#!/bin/sh
# Takes docs/images/preferences-output.png, preferences-watermark.png and
# about.png, drawn by a real X server (Xvfb) rather than the offscreen
# platform.
set -eu
. "$(dirname "$0")/screenshot-common.sh"
screenshot_setup ui_dialog_screenshots
on_x_server "$build/tests/ui/ui_dialog_screenshots" "$root/docs/images" "$root/gfx"
echo "wrote $root/docs/images/preferences-output.png, preferences-watermark.png, about.png"
