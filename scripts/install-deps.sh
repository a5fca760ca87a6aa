#!/usr/bin/env bash
# Installs the Debian 12 packages Lumafold builds, runs and tests with, when
# any of them is missing. Runs apt-get as root, or through sudo.
set -euo pipefail

# What the program builds with (make build, make deb).
packages=(
  build-essential cmake pkg-config
  dpkg-dev file
  libfreeimage-dev libdevil-dev libjxr-dev
  libpng-dev libtiff-dev
  libexiv2-dev liblcms2-dev libopenexr-dev libwebp-dev
  libcairo2-dev libpango1.0-dev fonts-liberation fonts-dejavu-core
  libarchive-dev qt6-base-dev
  # Disc images are read in place.
  libcdio-dev libiso9660-dev
)
# What only the tests and benchmarks use; `make deb` (LUMAFOLD_NO_TEST_DEPS=1)
# leaves these out.
if [ "${LUMAFOLD_NO_TEST_DEPS:-0}" != 1 ]; then
  packages+=(
    libgtest-dev imagemagick libjxr-tools
    xvfb xauth
    time
    # Independent readers the output tests check written files with
    # (ImageMagick's OpenEXR coder lives in the -extra package; exrheader in
    # openexr; PIL reads what this ImageMagick misreads).
    libmagickcore-6.q16-6-extra python3-pil libimage-exiftool-perl openexr
    # lcms's transicc and tificc check the outputs' colour profiles.
    liblcms2-utils
    # The disc tests build real disc images.
    genisoimage xorriso
  )
fi
if [ "${LUMAFOLD_FUZZ_DEPS:-0}" = 1 ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
