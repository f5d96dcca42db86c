#!/usr/bin/env python3
"""Reference pictures for the scaler tests, made with PIL.

Writes into OUTDIR:
  source.bgr                    the source picture, 640 x 480
  <w>x<h>-bilinear.bgr          PIL's bilinear resize of it
  <w>x<h>-area.bgr              PIL's box (area) resize of it
all 24-bit blue-green-red, rows bottom-up, as the channel carries them
(widths here are multiples of 80, so rows need no padding).

The source is the program's default picture with a band of fine detail
(thin lines and a checkerboard) drawn over its lower part, so both smooth
areas and edges are compared.
Usage: make_reference.py PICTURE OUTDIR
"""
import os
import sys

from PIL import Image, ImageDraw

SIZES = [(320, 240), (160, 120), (560, 420)]


def bgr_bottom_up(image):
    rgb = image.convert("RGB").transpose(Image.FLIP_TOP_BOTTOM)
    r, g, b = rgb.split()
    return Image.merge("RGB", (b, g, r)).tobytes()


def main():
    picture, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    source = Image.open(picture).convert("RGB").resize((640, 480), Image.LANCZOS)
    draw = ImageDraw.Draw(source)
    for x in range(0, 640, 7):
        draw.line([(x, 380), (x + 40, 479)], fill=(255, 255 - x % 256, x % 256), width=1)
    for y in range(300, 360, 4):
        for x in range(0, 640, 4):
            if (x // 4 + y // 4) % 2:
                draw.rectangle([x, y, x + 1, y + 1], fill=(20, 20, 20))
    with open(os.path.join(out, "source.bgr"), "wb") as f:
        f.write(bgr_bottom_up(source))
    for w, h in SIZES:
        for name, flt in (("bilinear", Image.BILINEAR), ("area", Image.BOX)):
            with open(os.path.join(out, "%dx%d-%s.bgr" % (w, h, name)), "wb") as f:
                f.write(bgr_bottom_up(source.resize((w, h), flt)))


if __name__ == "__main__":
    main()
