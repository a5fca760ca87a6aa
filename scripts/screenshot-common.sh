# Sourced by the screenshot scripts after `set -eu`. screenshot_setup
# TARGET builds the screenshot program TARGET, makes docs/images and a
# throwaway home, and sets root, build and shots; the home and the album
# (screenshot_album) go when the script ends.

screenshot_setup() {
  root=$(cd "$(dirname "$0")/.." && pwd)
  build=${BUILD_DIR:-$root/build}
  cmake --build "$build" -j2 --target "$1"
  mkdir -p "$root/docs/images"
  shots=$(mktemp -d)
  album=
  trap 'rm -rf "$shots" ${album:+"$album"}' EXIT
}

# A fresh folder named as a user's would be, so the pictures show ordinary
# paths: sets album.
screenshot_album() {
  album=${TMPDIR:-/tmp}/Pictures/"Photo CD 1996"
  rm -rf "$album"
}

# Runs a screenshot program on a real X server (Xvfb) rather than the
# offscreen platform, with the throwaway home.
on_x_server() {
  HOME="$shots" XDG_CONFIG_HOME="$shots" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1024x768x24" "$@"
}
