# Sourced by the benchmarks: the highest ImageMagick sub-image index a Photo
# CD file really holds (3 Base, 4 4Base, 5 16Base), read from its header the
# way lumafold reads it, so ImageMagick alone is asked for the same picture.
# The attribute byte at 0x0E02 holds the level in bits 2-3; the 4Base and
# 16Base stop sectors follow it; a level counts only when it lies wholly
# inside the file.
highest_index() {
  local f=$1 size b attr level s4 s16
  size=$(stat -L -c %s "$f")
  read -r -a b < <(od -An -tu1 -j $((0x0E02)) -N5 "$f")
  attr=${b[0]}; level=$(((attr >> 2) & 3)); [ $level -eq 3 ] && level=2
  s4=$(((b[1] << 8 | b[2]) * 2048)); s16=$(((b[3] << 8 | b[4]) * 2048))
  if [ $level -ge 2 ] && [ $s4 -gt 786432 ] && [ $s4 -le "$size" ] && [ $s16 -gt $s4 ] && [ $s16 -le "$size" ]; then
    echo 5
  elif [ $level -ge 1 ] && [ $s4 -gt 786432 ] && [ $s4 -le "$size" ]; then
    echo 4
  else
    echo 3
  fi
}
