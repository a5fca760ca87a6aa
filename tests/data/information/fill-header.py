#!/usr/bin/python3
"""Copies an Image Pac and fills every field of its information header
(0x800-0x957) the way a consumer lab disc of 2001 does, so that readers can
be checked against known values: fill-header.py IN OUT."""
import struct
import sys


def text(value, size):
    data = value.encode("latin-1")
    assert len(data) <= size
    return data + b" " * (size - len(data))


FIELDS = [
    (0x807, bytes([2, 1])),                      # specification version 2.1
    (0x809, bytes([3, 5])),                      # authoring software 3.5
    (0x80B, bytes([0x01, 0x50])),                # magnification 1.50 (BCD)
    (0x80D, struct.pack(">I", 992597400)),       # scanned 2001-06-15 09:30:00 UTC
    (0x811, struct.pack(">I", 992685600)),       # modified 2001-06-16 10:00:00 UTC
    (0x815, bytes([0])),                         # colour negative
    (0x816, text("080/11 SPD 0100", 20)),
    (0x82A, text("KODAK /4220", 20)),
    (0x83E, text("FilmScanner 2000", 16)),
    (0x84E, text("2.13", 4)),
    (0x852, text("03/14/00", 8)),
    (0x85A, text("SN-004711", 20)),
    (0x86E, bytes([0x11, 0x48])),                # 11.48 micrometres (BCD)
    (0x870, text("Eastman Kodak", 20)),
    (0x884, bytes([4])),                         # ISO 8859-1
    (0x885, bytes(32)),
    (0x8A5, text("Fotolabor M\u00fcller, 030 1234567", 60)),
    (0x8E1, b"SBA"),
    (0x8E4, bytes([6, 7])),                      # scene balance 6.7
    (0x8E6, bytes([0])),                         # neutral and colour balance on
    (0x945, struct.pack(">H", 72)),              # Kodak Gold 100, second generation
    (0x94B, bytes([1])),                         # restrictions apply
    (0x94C, text("RIGHTS.USE", 12)),
]

data = bytearray(open(sys.argv[1], "rb").read())
for offset, value in FIELDS:
    data[offset:offset + len(value)] = value
open(sys.argv[2], "wb").write(data)
