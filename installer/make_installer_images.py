#!/usr/bin/env python3
"""Draws the installer's pictures in the program's look (resources/skin/LOOK.md):
the welcome/finish side picture (164 x 314) and the page header (150 x 57),
navy with the logo's orange as the one accent, each also at twice the size
(wizard@2x.bmp, header@2x.bmp) for screens above 100 %.
Usage: make_installer_images.py OUTDIR"""
import sys
from pathlib import Path
from PIL import Image, ImageDraw, ImageFont

NAVY = (15, 22, 36)
NAVY_LIGHT = (31, 43, 64)
ORANGE = (240, 130, 20)
TEXT = (230, 236, 245)
HINT = (159, 176, 200)
FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"


def gradient(size, top, bottom):
    w, h = size
    img = Image.new("RGB", size)
    px = img.load()
    for y in range(h):
        t = y / max(1, h - 1)
        c = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
        for x in range(w):
            px[x, y] = c
    return img


def camera(draw, cx, cy, s, colour, width):
    """A camera outline centred at (cx, cy), s wide."""
    h = s * 0.62
    body = [cx - s / 2, cy - h / 2, cx + s / 2, cy + h / 2]
    draw.rounded_rectangle(body, radius=s * 0.1, outline=colour, width=width)
    bump = [cx - s * 0.2, cy - h / 2 - s * 0.1, cx + s * 0.02, cy - h / 2]
    draw.rectangle(bump, outline=colour, width=width)
    r = s * 0.2
    draw.ellipse([cx - r, cy - r, cx + r, cy + r], outline=colour, width=width)
    r2 = s * 0.07
    draw.ellipse([cx - r2, cy - r2, cx + r2, cy + r2], fill=colour)


def draw(out, k, suffix):
    """Both pictures at k times their size (k = 1, and 2 for screens above
    100 %: the installer shows that set there, scaled down to fit)."""
    title = ImageFont.truetype(FONT, 22 * k)
    small = ImageFont.truetype(FONT, 12 * k)

    side = gradient((164 * k, 314 * k), NAVY_LIGHT, NAVY)
    d = ImageDraw.Draw(side)
    camera(d, 82 * k, 110 * k, 84 * k, HINT, 3 * k)
    d.text((82 * k, 190 * k), "ZxVCam", font=title, fill=TEXT, anchor="mm")
    d.text((82 * k, 216 * k), "virtual camera", font=small, fill=HINT, anchor="mm")
    d.rectangle([0, 306 * k, 164 * k, 314 * k], fill=ORANGE)
    side.save(out / ("wizard%s.bmp" % suffix))

    header = gradient((150 * k, 57 * k), NAVY_LIGHT, NAVY)
    d = ImageDraw.Draw(header)
    camera(d, 30 * k, 29 * k, 34 * k, HINT, 2 * k)
    d.text((56 * k, 29 * k), "ZxVCam", font=ImageFont.truetype(FONT, 18 * k), fill=TEXT, anchor="lm")
    d.rectangle([0, 54 * k, 150 * k, 57 * k], fill=ORANGE)
    header.save(out / ("header%s.bmp" % suffix))


def main(out):
    out = Path(out)
    out.mkdir(parents=True, exist_ok=True)
    draw(out, 1, "")
    draw(out, 2, "@2x")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else ".")
