#!/usr/bin/env bash
# Writes the seed corpus of every fuzz target into fuzz/corpus/<name>/.
# The Photo CD seeds are header excerpts of the bundled samples; everything
# else is written here. Run again after changing a seed; the output is
# committed so that fuzzing needs nothing else.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/fuzz/corpus
rm -rf "$out"
mkdir -p "$out"/{profile_file,theme_cfg,option_parser,list_import,http_reply,pcd_header,pcd_decoder,output_name}

# --- settings file -----------------------------------------------------------
cp "$root/tests/settings/data/default-config.ini" "$out/profile_file/default.ini"
printf '[Advanced]\nFilename Mask = %%filename%%\n[Input]\nRAW Load As = 1\n' >"$out/profile_file/old-layout.ini"
printf '\xEF\xBB\xBF\r\n[general]\r\ncfg = 17\r\nupdate date = 99999999999999\r\n[ADJUSTMENT]\r\nImage Gamma = NaN\r\nImage Brightness = -2147483649\r\n[Advanced]\r\nOut Folders Number = 2000000000\r\n[File]\r\nRecent Out Folders = /a/\t /b/ \t\t/c/\r\n' >"$out/profile_file/extremes.ini"
printf '[Watermark]\r\nText = first\rSecond = line\r\n  ;comment\r\n\t[Frame] trailing\r\nDo Frame=1\r\n[Window]\r\nIsMaximized=1\r\n[General]\r\nSave Window Position = 1\r\n' >"$out/profile_file/odd-lines.ini"
printf '[Output]\nFormat = jpg\nJPG Quality = 95abc\n[Adjustment]\nImage Gamma = 1e38\n' >"$out/profile_file/numbers.ini"

# --- theme.cfg ---------------------------------------------------------------
printf '[Theme]\r\nName=Hand Drawn\r\n[Buttons]\r\nConvert=button_convert.png\r\nInFiles=button_infiles.png\r\nInFolder=button_infolder.png\r\n[Icons]\r\nNew=new\r\nAdd=add.PNG\r\nExit = exit = more \r\n' >"$out/theme_cfg/handdrawn.cfg"
printf '[theme]\r\nNames=first\r\nName=second\r\n[Icons]\r\n[Buttons]\r\nConvert=x' >"$out/theme_cfg/prefix-keys.cfg"
printf '[Icons]\nNew=new\n[Theme]\r\nName=\r\n\0[Icons]\0New' >"$out/theme_cfg/lf-and-lookup.cfg"

# --- command line (profile "\0\0" NUL-separated parameters) --------------------
printf '\0\0-i\0/tmp/example.pcd\0-o\0/tmp/converted\0-c\0jpg\0--jpg-quality=95' >"$out/option_parser/basic"
printf '[CLI]\n--jpg-quality = 80\n--wm-solid-opacity=50\n--filename-mask = "%%n%%_%%filename%%.%%ext%%"\n--png-interlaced\n\0\0--profile=p\0-d\0-q\0-p' >"$out/option_parser/profile"
printf '\0\0--wm-text="Taken\0on\0%%dd%%.%%mm%%"\0--width=$FF\0--height=%%101\0--gamma=9.99\0--brightness=-20' >"$out/option_parser/joined"
printf '\0\0-i\0"/tmp/a\0b c.pcd"\0--output=/out\0-c\0"png"\0--rotation-type=advanced\0--wm-font-style=bolditalic\0--file-timestamp=custom\0--file-timestamp-custom=1700000000' >"$out/option_parser/quoted-input"
printf '\0\0-o\0-q' >"$out/option_parser/missing-value"
printf '\0\0--profile="p\0q"\0--jpg-quality\0095' >"$out/option_parser/profile-joined"

# --- list files (the target maps a leading / to its own tree) ----------------
printf 'a.pcd\nsub\nB.PCD\n' >"$out/list_import/relative"
printf '\xEF\xBB\xBF/a.pcd\r\n  /sub/  \r\n/spaced name\r\n\r\n/missing.pcd\r\n' >"$out/list_import/absolute-crlf"
printf 'a.pcd\na.pcd\nlink.pcd\nfifo.pcd\nempty.pcd\ndir.pcd\nphoto.jpg\nsub/loop\n.\n' >"$out/list_import/awkward"

# --- HTTP replies (reply, then NUL and an address) ---------------------------
printf 'HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n261\r\n' >"$out/http_reply/newer"
printf 'HTTP/1.1 404 Not Found\r\n\r\n  0261\r\n\r\nrest\0http://127.0.0.1:8099/files/lumafold.dat' >"$out/http_reply/padded"
printf 'HTTP/1.0 200 OK\r\n\r\n2.7' >"$out/http_reply/dotted"
printf 'HTTP/1.0 200 OK\r\nno blank line\r\n\0example.org' >"$out/http_reply/no-header-end"

# --- Photo CD headers: 4-byte little-endian length, then the first bytes -----
le32() { printf "\\x$(printf %02x $(( $1 & 255 )))\\x$(printf %02x $(( ($1 >> 8) & 255 )))\\x$(printf %02x $(( ($1 >> 16) & 255 )))\\x$(printf %02x $(( ($1 >> 24) & 255 )))"; }
for sample in kodim01 kodim13-4base kodim05-16base; do
  file=$root/samples/$sample.pcd
  { le32 "$(stat -c %s "$file")"; head -c 3591 "$file"; } >"$out/pcd_header/$sample"
done
{ le32 2500000; head -c 3591 "$root/samples/kodim05-16base.pcd"; } >"$out/pcd_header/cut-16base"
{ le32 3000; head -c 3000 "$root/samples/kodim01.pcd"; } >"$out/pcd_header/cut-in-header"

# --- the whole Photo CD decoder (see fuzz_pcd_decoder.cpp for the forms) --
# Form 0, the file as it is: the first 48 KB of a 16Base file (Base/16 whole).
{ printf '\x38'; head -c 49152 "$root/tests/data/decoder/16base-kodak.pcd"; } >"$out/pcd_decoder/cut-after-base16"
{ printf '\x14'; head -c 49152 "$root/tests/data/decoder/no-signature.pcd"; } >"$out/pcd_decoder/no-signature"
# Form 1, sectors 384 on behind a fixed head: the start of a real scan's
# 4Base level (its real code table and first rows).
{ printf '\x39'; od -An -tx1 -j $((0x0E02)) -N5 "$root/samples/couple-on-beach.pcd" | xxd -r -p
  dd if="$root/samples/couple-on-beach.pcd" bs=2048 skip=384 count=16 status=none; } >"$out/pcd_decoder/real-4base-start"
# Form 2: three code tables and the coded rows of a 64x32 level (luma rows,
# chroma rows interleaved as in real scans, then the end mark). A whole
# synthetic 4Base is left out: each run of it costs seconds under the
# sanitizers, and the unit tests decode whole levels.
python3 - "$out/pcd_decoder/rows-64x32" <<'PYTHON'
import sys
class Bits:
    def __init__(self): self.bits = []
    def put(self, value, count): self.bits += [(value >> (count - 1 - i)) & 1 for i in range(count)]
    def row(self, plane, row, codes):
        self.put(0xFFFFFE, 24); self.put(plane << 14 | row << 1, 16)
        for code, length in codes: self.put(code, length)
    def bytes(self):
        bits = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8))
def table(entries):  # (length, code, key)
    out = bytes([len(entries) - 1])
    for length, code, key in entries:
        left = code << (16 - length)
        out += bytes([length - 1, left >> 8, left & 255, key & 255])
    return out
codes = [(0, 1), (2, 2)]  # "0" and "10"
tables = table([(1, 0, 0), (2, 2, 3)]) + table([(1, 0, 0), (2, 2, -3)]) + table([(1, 0, 0), (2, 2, 5)])
small = Bits()
for r in range(32): small.row(0, r, [codes[(x + r) % 3 == 0] for x in range(64)])
for r in range(0, 32, 2):
    small.row(2, r, [codes[x % 2] for x in range(32)])
    small.row(3, r, [codes[x % 5 == 1] for x in range(32)])
small.row(0, 32, [])
open(sys.argv[1], "wb").write(b"\x02\x02" + bytes([len(tables)]) + tables + small.bytes())
PYTHON

# Form 3: 4096 bytes of garbage 40 % into a sound 4Base level's coded rows,
# and the same bytes with the file cut right after them.
python3 - "$out/pcd_decoder" <<'PYTHON'
import random, sys
garbage = bytes(random.Random(4096).randrange(256) for _ in range(4096))
offset = (1024 * 197 * 4 // 10) // 4
for name, flags in (("garbage-in-4base", 0), ("cut-in-4base", 1)):
    open(sys.argv[1] + "/" + name, "wb").write(bytes([0x0F, offset >> 8, offset & 255, flags]) + garbage)
PYTHON

# --- filename masks (mask, NUL, relative subfolder, NUL, input name) ---------
printf '%%filename%%.%%ext%%' >"$out/output_name/default"
printf 'Scan_%%N%%_%%filename[l]%%.%%EXT[U]%%\0roll 1/\0IMG_0001' >"$out/output_name/tokens"
printf '../%%filename%%.%%ext%%' >"$out/output_name/climb"
printf '/home/user/.bashrc' >"$out/output_name/absolute"
printf 'sub/./../%%yyyy%%-%%mm%%-%%dd%%_%%hh%%%%ii%%%%ss%%.%%ext%%\0a/b/\0%%n%%' >"$out/output_name/dates"
printf '%%filename%%/%%filename%%.%%ext%%\0\0..' >"$out/output_name/dotted-name"
# Found by fuzzing: a mask that names the output folder itself.
printf '.\0\0\0s./%%filename%%.%%ex\247t%%' >"$out/output_name/names-the-folder"
echo "seed corpus written to $out"
