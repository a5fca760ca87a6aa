#!/usr/bin/env bash
# Builds real Photo CD disc images from the sample Image Pacs, and beside
# each the tree a mounted copy of it shows (the "extracted files"):
#   one.iso       one session: IMG0001-0003, INFO.PCD, OVERVIEW.PCD, PLAYLIST.PCD, CDI/
#   two.iso       a second session, at a gap past the first, adds IMG0004-0005
#   mode1.bin/.cue, mode2.bin/.cue   one.iso as raw 2352-byte sectors
#   cut.iso       one.iso cut short inside its last picture
#   eight.iso     eight pictures
#   extracted/<name>/   the tree of each (cut: of one)
# Usage: make-disc-images.sh SAMPLES_FOLDER OUT_FOLDER
set -euo pipefail
samples=$1
out=$2
mkdir -p "$out"
cd "$out"

disc_tree() {  # folder, then sample files in picture order
  local folder=$1 number=1
  shift
  mkdir -p "$folder/PHOTO_CD/IMAGES" "$folder/CDI"
  for sample in "$@"; do
    cp "$samples/$sample" "$folder/PHOTO_CD/IMAGES/$(printf 'IMG%04d.PCD' "$number")"
    number=$((number + 1))
  done
  # The disc's own files: signed as the real ones are, never Image Pacs.
  { printf 'PHOTO_CD'; printf '\001\000\001\000'; printf 'SER-0042    '; head -c 2036 /dev/zero; } \
    > "$folder/PHOTO_CD/INFO.PCD"
  { printf 'PCD_OPA'; head -c $((10240 - 7 + 36864 * $#)) /dev/zero; } > "$folder/PHOTO_CD/OVERVIEW.PCD"
  { printf 'PLAYLIST'; head -c 2040 /dev/zero; } > "$folder/PHOTO_CD/PLAYLIST.PCD"
  printf 'player\n' > "$folder/CDI/CDI_VCD.APP"
}

iso() { genisoimage -quiet -XA -iso-level 1 -V PHOTO_CD "$@" 2>/dev/null; }

mkdir -p extracted session2/PHOTO_CD/IMAGES
disc_tree extracted/one kodim01.pcd kodim13-4base.pcd kodim05-16base.pcd
iso -o one.iso extracted/one

# The second session: written at NEXT, 300 sectors past the first volume's
# end, as a burner leaves a gap; its directory lists the first session's
# pictures too.
cp "$samples/kodim19.pcd" session2/PHOTO_CD/IMAGES/IMG0004.PCD
cp "$samples/portrait-in-red.pcd" session2/PHOTO_CD/IMAGES/IMG0005.PCD
next=$(( $(stat -c %s one.iso) / 2048 + 300 ))
iso -C "0,$next" -M one.iso -o two.part session2
cp one.iso two.iso
truncate -s $((next * 2048)) two.iso
cat two.part >> two.iso
rm two.part
cp -r extracted/one extracted/two
cp session2/PHOTO_CD/IMAGES/* extracted/two/PHOTO_CD/IMAGES/
rm -r session2

# Raw sectors: sync, header (address, mode), for Mode 2 Form 1 the
# subheader, the 2048 data bytes, then EDC/ECC left zero (libcdio does not
# check them).
python3 - one.iso <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
sync = b'\x00' + b'\xff' * 10 + b'\x00'
def bcd(n): return ((n // 10) << 4) | (n % 10)
for mode in (1, 2):
    with open('mode%d.bin' % mode, 'wb') as out:
        for lba in range(len(data) // 2048):
            address = lba + 150
            header = bytes([bcd(address // 4500), bcd(address // 75 % 60), bcd(address % 75), mode])
            block = data[lba * 2048:(lba + 1) * 2048]
            if mode == 1:
                out.write(sync + header + block + b'\x00' * 288)
            else:
                sub = bytes([0, 0, 0x08, 0]) * 2
                out.write(sync + header + sub + block + b'\x00' * 280)
    with open('mode%d.cue' % mode, 'w') as cue:
        cue.write('FILE "mode%d.bin" BINARY\n  TRACK 01 MODE%d/2352\n    INDEX 01 00:00:00\n' % (mode, mode))
PY
cp -r extracted/one extracted/mode1
cp -r extracted/one extracted/mode2

cp one.iso cut.iso
truncate -s $(( $(stat -c %s one.iso) * 6 / 10 / 2048 * 2048 )) cut.iso
cp -r extracted/one extracted/cut

disc_tree extracted/eight kodim01.pcd kodim03.pcd kodim19.pcd kodim23.pcd \
  kodim13-4base.pcd kodim05-16base.pcd couple-on-beach.pcd portrait-in-red.pcd
iso -o eight.iso extracted/eight
