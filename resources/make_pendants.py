#!/usr/bin/env python3
"""Makes the border pictures the program ships in its "pendant" folder.

Each border is a 640 x 480 GIF, transparent in the middle, laid over the
whole video frame; beside it lies an 80 x 60 ".jpg" thumbnail (and a
160 x 120 "@2x.jpg" one for screens above 100 %) of the same
name for the border list (the first frame over a neutral backdrop).

  星光.gif  a ring of gold stars along the edges that twinkle (8 frames)
  胶片.gif  black film-strip bands at the top and bottom whose sprocket
            holes run sideways (8 frames)
  彩虹.gif  a rounded frame in rainbow colours whose hues turn round the
            picture (12 frames)
  爱心.gif  red and pink hearts along the edges that beat (6 frames)
  相框.gif  a still wooden picture frame with a gold inner line (1 frame)

Every picture uses palette index 0 as its transparent colour, and every
frame is complete in itself (disposal "restore to background"), so a
decoder never has to compose frames. The middle 400 x 280 pixels of every
frame are transparent; tests and the checks below rely on that.

Needs Python 3 with PIL (Debian: python3-pil). The output is the same on
every run.

Usage: make_pendants.py [OUTPUT_FOLDER]   (default: pendant/ beside this script)
"""

import colorsys
import math
import os
import sys

from PIL import Image, ImageDraw

W, H = 640, 480
THUMB_W, THUMB_H = 80, 60
# The part of every frame that must stay transparent: x 120..519, y 100..379.
CLEAR_BOX = (120, 100, 520, 380)
TRANSPARENT_RGB = (255, 0, 255)


class Palette:
    """A fixed GIF palette: index 0 is transparent, design colours follow."""

    def __init__(self, colours):
        assert 0 < len(colours) <= 255, "a GIF palette holds at most 255 design colours"
        self.colours = [TRANSPARENT_RGB] + list(colours)
        self.index = {c: i for i, c in reversed(list(enumerate(self.colours)))}

    def flat(self):
        out = []
        for c in self.colours:
            out.extend(c)
        return out + [0] * (768 - len(out))

    def __getitem__(self, colour):
        return self.index[colour]


def new_frame():
    # "P" images drawn with palette indices; 0 (transparent) everywhere first.
    return Image.new("P", (W, H), 0)


def perimeter_points(inset, count):
    """count points spaced evenly along the rectangle inset from the edges."""
    x0, y0, x1, y1 = inset, inset, W - 1 - inset, H - 1 - inset
    w, h = x1 - x0, y1 - y0
    total = 2 * (w + h)
    points = []
    for i in range(count):
        s = total * i / count
        if s < w:
            points.append((x0 + s, y0))
        elif s < w + h:
            points.append((x1, y0 + s - w))
        elif s < 2 * w + h:
            points.append((x1 - (s - w - h), y1))
        else:
            points.append((x0, y1 - (s - 2 * w - h)))
    return points


def star_polygon(cx, cy, outer, inner, rotation=-math.pi / 2):
    pts = []
    for k in range(10):
        r = outer if k % 2 == 0 else inner
        a = rotation + k * math.pi / 5
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def heart_polygon(cx, cy, size):
    pts = []
    for k in range(48):
        t = 2 * math.pi * k / 48
        x = 16 * math.sin(t) ** 3
        y = 13 * math.cos(t) - 5 * math.cos(2 * t) - 2 * math.cos(3 * t) - math.cos(4 * t)
        pts.append((cx + x * size / 32, cy - y * size / 32))
    return pts


def lerp(a, b, f):
    return tuple(round(x + (y - x) * f) for x, y in zip(a, b))


# ---------------------------------------------------------------- designs


def make_stars():
    dim, bright = (196, 140, 30), (255, 248, 200)
    steps = [lerp(dim, bright, k / 4) for k in range(5)]
    pal = Palette(steps + [(255, 255, 255)])
    frames, count = [], 8
    points = perimeter_points(26, 30)
    for f in range(count):
        im = new_frame()
        d = ImageDraw.Draw(im)
        for i, (x, y) in enumerate(points):
            phase = ((i * 3) % count) / count
            b = 0.5 + 0.5 * math.cos(2 * math.pi * (f / count + phase))
            outer = 8 + 7 * b
            colour = steps[min(4, int(b * 5))]
            d.polygon(star_polygon(x, y, outer, outer * 0.45), fill=pal[colour])
            if b > 0.85:
                # A white glint beside the brightest stars.
                gx, gy = x + outer * 0.9, y - outer * 0.9
                d.line([(gx - 4, gy), (gx + 4, gy)], fill=pal[(255, 255, 255)])
                d.line([(gx, gy - 4), (gx, gy + 4)], fill=pal[(255, 255, 255)])
        frames.append(im)
    return pal, frames, [120] * count


def make_film():
    band, hole, line = (18, 18, 20), (232, 232, 222), (92, 92, 96)
    pal = Palette([band, hole, line])
    frames, count, period, band_h = [], 8, 40, 44
    for f in range(count):
        im = new_frame()
        d = ImageDraw.Draw(im)
        for top in (0, H - band_h):
            d.rectangle([0, top, W - 1, top + band_h - 1], fill=pal[band])
            edge = top + band_h - 2 if top == 0 else top
            d.rectangle([0, edge, W - 1, edge + 1], fill=pal[line])
            cy = top + band_h // 2
            shift = f * period // count
            for x in range(-period - shift, W + period, period):
                d.rounded_rectangle([x, cy - 8, x + 21, cy + 7], radius=3, fill=pal[hole])
        frames.append(im)
    return pal, frames, [60] * count


def inside_rounded(x, y, box, radius):
    x0, y0, x1, y1 = box
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + radius), x1 - radius)
    cy = min(max(y, y0 + radius), y1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius


def make_rainbow():
    hues = 36
    colours = []
    for k in range(hues):
        r, g, b = colorsys.hsv_to_rgb(k / hues, 0.85, 1.0)
        colours.append((round(r * 255), round(g * 255), round(b * 255)))
    white = (255, 255, 255)
    pal = Palette(colours + [white])
    inner = (22, 22, W - 1 - 22, H - 1 - 22)
    radius = 36
    # Which pixels form the band, and the angle of each around the centre
    # (the same for every frame).
    band = []
    for y in range(H):
        for x in range(W):
            if not inside_rounded(x, y, inner, radius):
                a = math.atan2((y - H / 2) * W / H, x - W / 2)
                band.append((x, y, (a / (2 * math.pi)) % 1.0))
    frames, count = [], 12
    for f in range(count):
        im = new_frame()
        px = im.load()
        for x, y, a in band:
            px[x, y] = pal[colours[int(((a + f / count) % 1.0) * hues) % hues]]
        d = ImageDraw.Draw(im)
        d.rounded_rectangle(inner, radius=radius, outline=pal[white], width=2)
        frames.append(im)
    return pal, frames, [100] * count


def make_hearts():
    red, pink, shine = (222, 30, 60), (255, 120, 170), (255, 236, 244)
    pal = Palette([red, pink, shine])
    frames, count = [], 6
    points = perimeter_points(28, 22)
    for f in range(count):
        im = new_frame()
        d = ImageDraw.Draw(im)
        for i, (x, y) in enumerate(points):
            beat = math.cos(2 * math.pi * (f / count + (i % 2) * 0.5))
            size = 30 * (1 + 0.22 * beat)
            d.polygon(heart_polygon(x, y, size), fill=pal[red if i % 2 == 0 else pink])
            r = size * 0.09
            hx, hy = x - size * 0.22, y - size * 0.12
            d.ellipse([hx - r, hy - r, hx + r, hy + r], fill=pal[shine])
        frames.append(im)
    return pal, frames, [150] * count


def make_photo_frame():
    woods = [(120, 72, 36), (138, 86, 44), (156, 100, 54), (172, 116, 64)]
    gold, dark = (214, 176, 60), (60, 36, 18)
    pal = Palette(woods + [gold, dark])
    im = new_frame()
    px = im.load()
    width = 26
    for y in range(H):
        for x in range(W):
            edge = min(x, y, W - 1 - x, H - 1 - y)
            if edge >= width + 4:
                continue
            if edge >= width + 3:
                px[x, y] = pal[dark]
            elif edge >= width:
                px[x, y] = pal[gold]
            else:
                # Wood grain running along each side of the frame.
                along = x if (y < width or y >= H - width) and width <= x < W - width else y
                across = edge
                grain = math.sin(along * 0.045 + across * 0.9 + math.sin(along * 0.013) * 3)
                px[x, y] = pal[woods[min(3, int((grain + 1) * 2))]]
    d = ImageDraw.Draw(im)
    # Mitred corners: a dark line from each corner to the inner corner.
    for cx, cy, dx, dy in ((0, 0, 1, 1), (W - 1, 0, -1, 1), (0, H - 1, 1, -1), (W - 1, H - 1, -1, -1)):
        d.line([(cx, cy), (cx + dx * (width - 1), cy + dy * (width - 1))], fill=pal[dark])
    return pal, [im], [100]


DESIGNS = [
    ("星光", make_stars),
    ("胶片", make_film),
    ("彩虹", make_rainbow),
    ("爱心", make_hearts),
    ("相框", make_photo_frame),
]


# ---------------------------------------------------------------- output


def backdrop():
    """A neutral stand-in for a video picture: a soft sky and a head-and-shoulders shape."""
    im = Image.new("RGB", (W, H))
    d = ImageDraw.Draw(im)
    for y in range(H):
        d.line([(0, y), (W, y)], fill=lerp((96, 128, 170), (206, 214, 226), y / (H - 1)))
    d.ellipse([250, 120, 390, 280], fill=(120, 126, 140))
    d.ellipse([170, 300, 470, 620], fill=(120, 126, 140))
    return im


def check(name, frames):
    for n, im in enumerate(frames):
        assert im.size == (W, H), (name, n, im.size)
        px = im.load()
        x0, y0, x1, y1 = CLEAR_BOX
        for y in range(y0, y1, 4):
            for x in range(x0, x1, 4):
                assert px[x, y] == 0, (name, "frame", n, "middle not transparent at", x, y)
        drawn = sum(1 for y in range(0, H, 2) for x in range(0, W, 2) if px[x, y] != 0)
        assert drawn > 400, (name, "frame", n, "draws almost nothing")
    if len(frames) > 1:
        assert any(a.tobytes() != b.tobytes() for a, b in zip(frames, frames[1:])), (name, "never changes")


def save(out, name, pal, frames, delays):
    check(name, frames)
    for im in frames:
        im.putpalette(pal.flat())
    gif = os.path.join(out, name + ".gif")
    first = frames[0]
    if len(frames) == 1:
        first.save(gif, "GIF", transparency=0, duration=delays[0], disposal=2, optimize=False)
    else:
        first.save(gif, "GIF", save_all=True, append_images=frames[1:], transparency=0, duration=delays,
                   disposal=2, loop=0, optimize=False)

    # Read the file back: the frame count must survive and frame 0 stay
    # transparent in the middle.
    with Image.open(gif) as back:
        assert getattr(back, "n_frames", 1) == len(frames), (name, getattr(back, "n_frames", 1))
        assert back.info.get("transparency") == 0, (name, back.info.get("transparency"))

    whole = backdrop()
    whole.paste(first.convert("RGB"), (0, 0), first.point(lambda i: 0 if i == 0 else 255, "L"))
    # The thumbnail, and one twice the size for screens above 100 % (the
    # program's tiles take "<name>@2x.jpg" there; borders are listed by
    # their ".gif", so it is no border of its own).
    for k, suffix in ((1, ""), (2, "@2x")):
        thumb = whole.resize((THUMB_W * k, THUMB_H * k), Image.LANCZOS)
        thumb.save(os.path.join(out, name + suffix + ".jpg"), "JPEG", quality=90, optimize=True)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "pendant")
    os.makedirs(out, exist_ok=True)
    for name, make in DESIGNS:
        pal, frames, delays = make()
        save(out, name, pal, frames, delays)
        print("%s.gif: %d frame(s)" % (name, len(frames)))


if __name__ == "__main__":
    main()
