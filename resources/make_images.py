#!/usr/bin/env python3
"""Makes the two pictures the program ships beside its executable.

  default.jpg  640 x 480: the picture the camera shows while no video source
               is selected - a dark-blue gradient, a camera outline and the
               words "ZxVCam", "No video source" and "未选择视频源".
  Logo.png     96 x 32 RGBA: the badge stamped 5 px from the lower-left
               corner of every frame - a solid orange badge on a transparent
               background with "ZxVCam" in white.

The badge colour is RGB (240, 130, 20), #F08214, fully opaque. Its three
right and upper corners are rounded; the lower-left corner is square and the
text keeps clear of it, so the lower-left 10 x 10 pixels of the logo are all
exactly (240, 130, 20, 255). Tests find the logo in a frame by that block.

Needs Python 3 with PIL (Debian: python3-pil) and the font
/usr/share/fonts/truetype/wqy/wqy-microhei.ttc (Debian: fonts-wqy-microhei).

Usage: make_images.py [OUTPUT_FOLDER]   (default: the folder of this script)
"""

import os
import sys

from PIL import Image, ImageDraw, ImageFont

FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"

# Shapes are drawn this many times larger and then scaled down, which gives
# smooth edges without relying on anti-aliased primitives.
SCALE = 4

WIDTH, HEIGHT = 640, 480
GRADIENT_TOP = (30, 48, 84)
GRADIENT_BOTTOM = (9, 15, 30)
GLYPH = (132, 164, 208)
TITLE = (222, 232, 246)
SUBTITLE = (146, 168, 200)

LOGO_W, LOGO_H = 96, 32
LOGO_ORANGE = (240, 130, 20)
LOGO_TEXT = (255, 255, 255)
LOGO_RADIUS = 8
LOGO_CLEAR = 10  # the lower-left block that stays plain orange


def font(size):
    return ImageFont.truetype(FONT, size * SCALE)


def centred_text(draw, cx, top, text, fnt, fill):
    left, t, right, _ = draw.textbbox((0, 0), text, font=fnt)
    draw.text((cx * SCALE - (right - left) / 2 - left, top * SCALE - t), text, font=fnt, fill=fill)


def make_default(path):
    big = Image.new("RGB", (WIDTH * SCALE, HEIGHT * SCALE))
    draw = ImageDraw.Draw(big)
    for y in range(HEIGHT * SCALE):
        f = y / (HEIGHT * SCALE - 1)
        colour = tuple(round(a + (b - a) * f) for a, b in zip(GRADIENT_TOP, GRADIENT_BOTTOM))
        draw.line([(0, y), (WIDTH * SCALE, y)], fill=colour)

    def box(x0, y0, x1, y1):
        return [x0 * SCALE, y0 * SCALE, x1 * SCALE, y1 * SCALE]

    line = 5 * SCALE
    # Camera body with a viewfinder bump on top and a small indicator light.
    draw.rounded_rectangle(box(236, 128, 404, 238), radius=16 * SCALE, outline=GLYPH, width=line)
    draw.rounded_rectangle(box(262, 112, 310, 132), radius=5 * SCALE, outline=GLYPH, width=line)
    draw.ellipse(box(376, 142, 388, 154), fill=GLYPH)
    # Lens: outer ring, inner ring, and a highlight.
    draw.ellipse(box(280, 143, 360, 223), outline=GLYPH, width=line)
    draw.ellipse(box(301, 164, 339, 202), outline=GLYPH, width=3 * SCALE)
    draw.ellipse(box(308, 171, 318, 181), fill=GLYPH)

    centred_text(draw, WIDTH / 2, 276, "ZxVCam", font(44), TITLE)
    centred_text(draw, WIDTH / 2, 344, "No video source", font(22), SUBTITLE)
    centred_text(draw, WIDTH / 2, 378, "未选择视频源", font(20), SUBTITLE)

    picture = big.resize((WIDTH, HEIGHT), Image.LANCZOS)
    picture.save(path, "JPEG", quality=92, optimize=True)


def make_logo(path):
    w, h = LOGO_W * SCALE, LOGO_H * SCALE
    big = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    draw = ImageDraw.Draw(big)
    draw.rounded_rectangle([0, 0, w - 1, h - 1], radius=LOGO_RADIUS * SCALE, fill=LOGO_ORANGE + (255,))
    # Square the lower-left corner again.
    r = LOGO_RADIUS * SCALE
    draw.rectangle([0, h - r - 1, r, h - 1], fill=LOGO_ORANGE + (255,))

    fnt = font(17)
    left, top, right, bottom = draw.textbbox((0, 0), "ZxVCam", font=fnt)
    tw, th = right - left, bottom - top
    x = (w - tw) / 2 - left + 2 * SCALE  # a little right of centre, away from the square corner
    y = (h - th) / 2 - top
    draw.text((x, y), "ZxVCam", font=fnt, fill=LOGO_TEXT + (255,))

    # Pillow scales RGBA with premultiplied alpha, so edges keep their colour.
    logo = big.resize((LOGO_W, LOGO_H), Image.LANCZOS)
    px = logo.load()
    for yy in range(LOGO_H - LOGO_CLEAR, LOGO_H):
        for xx in range(LOGO_CLEAR):
            px[xx, yy] = LOGO_ORANGE + (255,)

    check_logo(logo)
    logo.save(path, "PNG", optimize=True)


def check_logo(logo):
    px = logo.load()
    for yy in range(LOGO_H - LOGO_CLEAR, LOGO_H):
        for xx in range(LOGO_CLEAR):
            assert px[xx, yy] == LOGO_ORANGE + (255,), ("lower-left block not plain orange", xx, yy, px[xx, yy])
    assert px[0, 0][3] == 0 and px[LOGO_W - 1, 0][3] == 0 and px[LOGO_W - 1, LOGO_H - 1][3] == 0, \
        "rounded corners must be transparent"
    assert px[LOGO_W // 2, 2] == LOGO_ORANGE + (255,), "badge must be opaque inside"
    white = sum(1 for yy in range(LOGO_H) for xx in range(LOGO_W) if px[xx, yy][:3] == LOGO_TEXT)
    assert white > 40, "the text is missing"


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    os.makedirs(out, exist_ok=True)
    make_default(os.path.join(out, "default.jpg"))
    make_logo(os.path.join(out, "Logo.png"))


if __name__ == "__main__":
    main()
