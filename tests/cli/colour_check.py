#!/usr/bin/python3
"""Colour-managed read-back of written files, by Little CMS outside the
program: prints the largest difference, in 8-bit code values, between what
the file's embedded profile says and what sRGB expects.

  colour_check.py embedded FILE
      FILE's pixels through its embedded profile to sRGB, against the
      pixels themselves (an sRGB or grey file must come out unchanged).
  colour_check.py linear PFM PNG ICC
      linear-light pixels of PFM through the profile ICC (transicc) against
      the same picture's sRGB PNG, where the light lies below reference
      white (above it the display renderings roll off).
"""
import io
import struct
import subprocess
import sys

from PIL import Image, ImageChops, ImageCms


def embedded(path):
    image = Image.open(path)
    profile = ImageCms.ImageCmsProfile(io.BytesIO(image.info["icc_profile"]))
    srgb = ImageCms.createProfile("sRGB")
    managed = ImageCms.profileToProfile(image, profile, srgb, outputMode="RGB")
    difference = ImageChops.difference(managed, image.convert("RGB"))
    return max(high for low, high in difference.getextrema())


class Pfm:
    """A PFM file's pixels, rows counted from the top."""

    def __init__(self, path):
        self.data = open(path, "rb").read()
        fields = self.data.split(b"\n", 3)
        self.width, self.height = map(int, fields[1].split())
        self.order = "<" if float(fields[2]) < 0 else ">"
        self.start = len(self.data) - self.width * self.height * 12

    def pixel(self, x, y):
        row = self.height - 1 - y  # stored bottom row first
        return struct.unpack_from(self.order + "3f", self.data,
                                  self.start + (row * self.width + x) * 12)


def linear(pfm, png, icc):
    light = Pfm(pfm)
    display = Image.open(png).convert("RGB")
    samples = []
    for y in range(0, light.height, light.height // 23):
        for x in range(0, light.width, light.width // 31):
            value = light.pixel(x, y)
            if 0.0 <= min(value) and max(value) < 0.8:
                samples.append((y, x, value))
    text = "".join("%f %f %f\n" % tuple(v * 255.0 for v in value) for _, _, value in samples)
    out = subprocess.run(["transicc", "-i" + icc, "-o*sRGB", "-t1"], input=text,
                         capture_output=True, text=True, check=True).stdout
    values = [[float(part.split("=")[1]) for part in line.split()]
              for line in out.splitlines() if line.startswith("R=")]
    assert len(values) == len(samples) and len(samples) > 100, (len(values), len(samples))
    return max(abs(v - display.getpixel((x, y))[c]) for (y, x, _), row in zip(samples, values)
               for c, v in enumerate(row))


if __name__ == "__main__":
    if sys.argv[1] == "embedded":
        print("%.3f" % embedded(sys.argv[2]))
    else:
        print("%.3f" % linear(*sys.argv[2:5]))
