#!/usr/bin/env python3
"""Makes the seven colour-filter thumbnails the program ships in filter\\.

Each thumbnail is the same small sample picture - a sky with a sun, hills, a
house and a face - seen through one filter: its red, green and blue bytes are
multiplied by the filter's three factors exactly as the colour filter does it
to a frame (the product of the byte and the factor in single precision,
clamped to 0..255, truncated toward zero).

  filter/<name>.jpg   80 x 60 JPEG, one per filter, named by its display name
  filter/<name>@2x.jpg  the same at 160 x 120, for screens above 100 %

The size is that of the icon area of a filter tile in the effect panel.

Needs Python 3 with PIL (Debian: python3-pil).

Usage: make_filter_thumbnails.py [OUTPUT_FOLDER]
       (default: the folder "filter" beside this script)
"""

import os
import struct
import sys

from PIL import Image, ImageDraw

# The built-in filters: display name (also the file name), red, green, blue.
FILTERS = [
    ("红润", 1.04, 0.88, 0.86),
    ("日系", 0.86, 1.07, 1.0),
    ("清凉", 0.85, 1.0, 1.25),
    ("温暖", 0.98, 0.94, 0.75),
    ("紫丁香", 1.2, 0.88, 1.45),
    ("怀旧", 0.96, 0.72, 0.54),
    ("红粉佳人", 1.45, 0.91, 0.96),
]

THUMB_W, THUMB_H = 80, 60
# The sample is drawn this many times larger and scaled down, for smooth
# edges.
SCALE = 4


def single(x):
    """x rounded to the nearest single-precision float."""
    return struct.unpack("<f", struct.pack("<f", x))[0]


def channel_table(factor):
    """The 256 bytes a channel value becomes under the factor.

    The product of a byte and a float needs at most 32 significant bits, so
    Python's double product is exact and rounding it once to single precision
    gives the single-precision product.
    """
    f = single(factor)
    table = []
    for v in range(256):
        p = single(v * f)
        p = min(max(p, 0.0), 255.0)
        table.append(int(p))
    return table


def sample_picture(k=1):
    """The sample at k times the thumbnail size."""
    w, h = THUMB_W * SCALE, THUMB_H * SCALE
    img = Image.new("RGB", (w, h))
    d = ImageDraw.Draw(img)
    # Sky: light blue at the horizon to deeper blue at the top.
    horizon = int(h * 0.62)
    for y in range(horizon):
        t = y / max(horizon - 1, 1)
        d.line([(0, y), (w, y)], fill=(int(70 + 110 * t), int(130 + 90 * t), int(210 + 35 * t)))
    # Sun.
    s = SCALE
    d.ellipse([60 * s, 5 * s, 74 * s, 19 * s], fill=(255, 214, 90))
    # Hills and a meadow.
    d.rectangle([0, horizon, w, h], fill=(86, 150, 64))
    d.ellipse([-20 * s, 30 * s, 45 * s, 75 * s], fill=(64, 126, 52))
    d.ellipse([40 * s, 34 * s, 110 * s, 80 * s], fill=(100, 164, 72))
    # A house with a red roof.
    d.rectangle([50 * s, 33 * s, 66 * s, 45 * s], fill=(236, 226, 204))
    d.polygon([(48 * s, 33 * s), (58 * s, 25 * s), (68 * s, 33 * s)], fill=(196, 60, 44))
    d.rectangle([56 * s, 38 * s, 60 * s, 45 * s], fill=(120, 76, 40))
    # A face: skin, hair, eyes, cheeks and a smile.
    cx, cy, r = 24 * s, 30 * s, 15 * s
    d.ellipse([cx - r - 2 * s, cy - r - 3 * s, cx + r + 2 * s, cy + r - 4 * s], fill=(70, 44, 30))
    d.ellipse([cx - r, cy - r, cx + r, cy + r], fill=(240, 196, 164))
    for ex in (cx - 6 * s, cx + 6 * s):
        d.ellipse([ex - 2 * s, cy - 5 * s, ex + 2 * s, cy - 1 * s], fill=(40, 30, 30))
    for kx in (cx - 9 * s, cx + 9 * s):
        d.ellipse([kx - 3 * s, cy + 2 * s, kx + 3 * s, cy + 6 * s], fill=(244, 160, 150))
    d.arc([cx - 7 * s, cy - 2 * s, cx + 7 * s, cy + 9 * s], 20, 160, fill=(170, 60, 60), width=2 * s)
    return img.resize((THUMB_W * k, THUMB_H * k), Image.LANCZOS)


def through_filter(img, red, green, blue):
    # Image.point on an RGB picture takes the red, green and blue tables in a
    # row.
    return img.point(channel_table(red) + channel_table(green) + channel_table(blue))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "filter")
    os.makedirs(out, exist_ok=True)
    # The thumbnails, and ones twice the size for screens above 100 % (the
    # program's tiles take "<name>@2x.jpg" there; the filters themselves are
    # a fixed list, so the larger files are no filters of their own).
    for k, suffix in ((1, ""), (2, "@2x")):
        sample = sample_picture(k)
        for name, red, green, blue in FILTERS:
            path = os.path.join(out, name + suffix + ".jpg")
            through_filter(sample, red, green, blue).save(path, "JPEG", quality=92)
            print(path)


if __name__ == "__main__":
    main()
