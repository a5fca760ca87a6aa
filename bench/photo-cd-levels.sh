# Sourced by the benchmarks: the highest ImageMagick sub-image index a Photo
# CD file really holds (3 Base, 4 4Base, 5 16Base), as lumafold's own header
# reader finds it (`lumafold --info=json` lists the levels wholly inside the
# file, Base/16 first), so ImageMagick alone is asked for the same picture.
# Needs $LUMAFOLD_INFO_BIN, a lumafold executable.
highest_index() {
  "$LUMAFOLD_INFO_BIN" --info=json "$1" |
    /usr/bin/python3 -c 'import json, sys; print(len(json.load(sys.stdin)[0]["levels"]))'
}
