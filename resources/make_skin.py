#!/usr/bin/python3
"""Draws every picture of the program's skin.

One look for the whole program (resources/skin/LOOK.md says it in words):
a deep navy base that lets the video stand out, one warm accent (the orange
of the logo), light text, and four clearly different button states.

Output, below OUTPUT_FOLDER (default: the "skin" folder beside this script):

  base/        the pictures the skin files name: buttons in their states,
               icon buttons, inputs, tabs, sliders, tiles, marks, menu icons,
               the preview window's open-camera button, list placeholders;
               each (but the open-camera button, which goes into the
               preview's fixed-size picture) also drawn 1.5 and 2 times as
               large, as name@1.5x.png and name@2x.png, for screens at
               125 % to 200 %: the skin library picks the set nearest the
               window's scale and only ever scales a picture down. Sizes
               and coordinates below are in 1x pixels.
  localskin/   bk_0.png ... bk_7.png, the background skins the user picks
               (0 is the one a new user starts with)
  1/bk.png, 2/bk.png
               the two fixed backgrounds of the skin manager's test buttons
  ../ZxVCam.ico
               the program's icon (16 to 256 pixels), beside the skin folder

Needs Python 3 with PIL (Debian: python3-pil) and the font
/usr/share/fonts/truetype/wqy/wqy-microhei.ttc (Debian: fonts-wqy-microhei).

Usage: make_skin.py [OUTPUT_FOLDER]
"""

import math
import os
import random
import sys

from PIL import Image, ImageDraw, ImageFilter, ImageFont

FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
HERE = os.path.dirname(os.path.abspath(__file__))
SUPER = 4  # shapes are drawn this many times larger, then scaled down (smooth edges)
X = 1.0    # the scale of the set being drawn (1, 1.5 or 2)
S = SUPER  # drawing units per 1x pixel: SUPER * X
SUFFIX = ""  # added to file names: "", "@1.5x", "@2x"


def px(v):
    """A 1x length in pixels of the set being drawn (rounded as the skin
    library rounds: halves away from zero)."""
    return int(math.floor(v * X + 0.5))


def set_scale(x):
    global X, S, SUFFIX
    X = x
    S = int(round(SUPER * x))  # whole: PIL takes whole widths
    SUFFIX = "" if x == 1 else ("@%gx" % x)

# ---------------------------------------------------------------- the palette
BASE = (15, 22, 36)          # window base            #0F1624
PANEL = (23, 33, 51)         # panels                 #172133
RAISED = (31, 43, 64)        # inputs, plain buttons  #1F2B40
RAISED_HOT = (41, 56, 82)    #                        #293852
RAISED_DOWN = (22, 31, 47)   #                        #161F2F
LINE = (48, 62, 86)          # frames and rules       #303E56
LINE_HOT = (78, 96, 128)     #                        #4E6080
TEXT = (230, 236, 245)       # text                   #E6ECF5
TEXT_DIM = (159, 176, 200)   # secondary text         #9FB0C8
TEXT_OFF = (93, 107, 130)    # disabled text          #5D6B82
ACCENT = (240, 130, 20)      # the accent (the logo)  #F08214
ACCENT_HOT = (255, 154, 60)  #                        #FF9A3C
ACCENT_DOWN = (200, 106, 14) #                        #C86A0E
DANGER = (229, 72, 77)       # close, record, delete  #E5484D
DANGER_HOT = (244, 98, 102)
DANGER_DOWN = (190, 52, 58)
DISABLED = (44, 52, 66)      # disabled fill          #2C3442


def rgba(c, a=255):
    return tuple(c[:3]) + (a,)


def canvas(w, h, fill=(0, 0, 0, 0)):
    return Image.new("RGBA", (round(w * S), round(h * S)), fill)


def shrink(img, w, h):
    """Down to w x h 1x pixels of the set being drawn."""
    return img.resize((px(w), px(h)), Image.LANCZOS)


def blank(w, h, fill=(0, 0, 0, 0)):
    return Image.new("RGBA", (px(w), px(h)), fill)


def save(img, folder, name):
    os.makedirs(folder, exist_ok=True)
    stem, ext = os.path.splitext(name)
    img.save(os.path.join(folder, stem + SUFFIX + ext), "PNG", optimize=True)


def font(size):
    return ImageFont.truetype(FONT, round(size * S))


def rounded(w, h, radius, fill, outline=None, width=1):
    img = canvas(w, h)
    d = ImageDraw.Draw(img)
    d.rounded_rectangle([0, 0, w * S - 1, h * S - 1], radius=radius * S, fill=rgba(fill) if fill else None,
                        outline=rgba(outline) if outline else None, width=round(width * S))
    return shrink(img, w, h)


# ---------------------------------------------------------------- buttons
# Text buttons are stretched with corner='5,5,5,5', so a small picture
# serves every width.
BUTTON_STATES = {
    "primary": {"normal": (ACCENT, ACCENT), "hot": (ACCENT_HOT, ACCENT_HOT),
                "pushed": (ACCENT_DOWN, ACCENT_DOWN), "disabled": (DISABLED, DISABLED)},
    "plain": {"normal": (RAISED, LINE), "hot": (RAISED_HOT, LINE_HOT),
              "pushed": (RAISED_DOWN, LINE), "disabled": (DISABLED, DISABLED)},
    "danger": {"normal": (DANGER, DANGER), "hot": (DANGER_HOT, DANGER_HOT),
               "pushed": (DANGER_DOWN, DANGER_DOWN), "disabled": (DISABLED, DISABLED)},
}


def make_buttons(out):
    for kind, states in BUTTON_STATES.items():
        for state, (fill, rim) in states.items():
            save(rounded(40, 30, 5, fill, rim), out, "btn_%s_%s.png" % (kind, state))


# ---------------------------------------------------------------- icons
# Icons are drawn in a 24 x 24 box (times S) with strokes of the icon colour.
def icon_painter(name):
    def line(d, pts, w=2.0, col=None):
        d.line([(x * S, y * S) for x, y in pts], fill=col, width=int(w * S), joint="curve")

    def circle(d, cx, cy, r, fill=None, outline=None, w=2.0):
        d.ellipse([(cx - r) * S, (cy - r) * S, (cx + r) * S, (cy + r) * S], fill=fill, outline=outline,
                  width=int(w * S))

    def rect(d, x0, y0, x1, y1, fill=None, outline=None, w=2.0, r=1.5):
        d.rounded_rectangle([x0 * S, y0 * S, x1 * S, y1 * S], radius=r * S, fill=fill, outline=outline,
                            width=int(w * S))

    def poly(d, pts, fill):
        d.polygon([(x * S, y * S) for x, y in pts], fill=fill)

    def paint(d, c):
        if name == "close":
            line(d, [(6, 6), (18, 18)], 2, c)
            line(d, [(18, 6), (6, 18)], 2, c)
        elif name == "min":
            line(d, [(6, 12.5), (18, 12.5)], 2, c)
        elif name == "camera":
            rect(d, 3, 7, 16, 18, outline=c, r=2.5)
            poly(d, [(16.5, 11), (21, 8), (21, 17), (16.5, 14)], c)
        elif name == "camera_off":
            rect(d, 3, 7, 16, 18, outline=c, r=2.5)
            poly(d, [(16.5, 11), (21, 8), (21, 17), (16.5, 14)], c)
            line(d, [(3, 4), (21, 21)], 2, c)
        elif name == "record":
            circle(d, 12, 12, 8, outline=c, w=2)
            circle(d, 12, 12, 4.5, fill=rgba(DANGER))
        elif name == "stop":
            circle(d, 12, 12, 8, outline=c, w=2)
            rect(d, 8.5, 8.5, 15.5, 15.5, fill=rgba(DANGER), w=0, r=1)
        elif name == "audio":
            rect(d, 9, 3, 15, 14, outline=c, r=3)
            d.arc([5 * S, 7 * S, 19 * S, 18 * S], 0, 180, fill=c, width=2 * S)
            line(d, [(12, 18), (12, 21)], 2, c)
            line(d, [(8.5, 21), (15.5, 21)], 2, c)
        elif name == "stop_square":
            rect(d, 6.5, 6.5, 17.5, 17.5, fill=c, w=0, r=2)
        elif name == "audio_stop":
            rect(d, 9, 3, 15, 14, outline=c, r=3)
            d.arc([5 * S, 7 * S, 19 * S, 18 * S], 0, 180, fill=c, width=2 * S)
            line(d, [(12, 18), (12, 21)], 2, c)
            rect(d, 15, 15, 22, 22, fill=rgba(DANGER), w=0, r=1)
        elif name == "snapshot":
            rect(d, 3, 7, 21, 19, outline=c, r=2.5)
            line(d, [(8, 7), (10, 4.5), (14, 4.5), (16, 7)], 2, c)
            circle(d, 12, 13, 3.5, outline=c, w=2)
        elif name == "play":
            poly(d, [(8, 5), (19, 12), (8, 19)], c)
        elif name == "pause":
            rect(d, 7, 5, 10.5, 19, fill=c, w=0, r=1)
            rect(d, 13.5, 5, 17, 19, fill=c, w=0, r=1)
        elif name == "prev":
            rect(d, 5, 6, 7.5, 18, fill=c, w=0, r=1)
            poly(d, [(19, 6), (9, 12), (19, 18)], c)
        elif name == "next":
            rect(d, 16.5, 6, 19, 18, fill=c, w=0, r=1)
            poly(d, [(5, 6), (15, 12), (5, 18)], c)
        elif name in ("volume", "mute"):
            poly(d, [(4, 9), (8, 9), (13, 5), (13, 19), (8, 15), (4, 15)], c)
            if name == "volume":
                d.arc([10 * S, 8 * S, 18 * S, 16 * S], -60, 60, fill=c, width=2 * S)
                d.arc([10 * S, 4.5 * S, 22 * S, 19.5 * S], -60, 60, fill=c, width=2 * S)
            else:
                line(d, [(15.5, 9), (21, 15)], 2, c)
                line(d, [(21, 9), (15.5, 15)], 2, c)
        elif name in ("mic", "mic_off"):
            rect(d, 9, 3, 15, 14, outline=c, r=3)
            d.arc([5 * S, 7 * S, 19 * S, 18 * S], 0, 180, fill=c, width=2 * S)
            line(d, [(12, 18), (12, 21)], 2, c)
            if name == "mic_off":
                line(d, [(4, 4), (20, 20)], 2, c)
        elif name == "skin":
            poly(d, [(8, 4), (12, 6), (16, 4), (21, 8), (18.5, 11.5), (17, 10.5), (17, 20), (7, 20),
                     (7, 10.5), (5.5, 11.5), (3, 8)], c)
        elif name == "setup":
            cx, cy = 12, 12
            for k in range(8):
                a = k * math.pi / 4
                line(d, [(cx + 5.5 * math.cos(a), cy + 5.5 * math.sin(a)),
                         (cx + 9 * math.cos(a), cy + 9 * math.sin(a))], 3, c)
            circle(d, cx, cy, 6, outline=c, w=2)
            circle(d, cx, cy, 2.2, fill=c)
        elif name == "home":
            line(d, [(3, 12), (12, 4), (21, 12)], 2, c)
            line(d, [(6, 10.5), (6, 20), (18, 20), (18, 10.5)], 2, c)
            rect(d, 10, 14, 14, 20, fill=c, w=0, r=0.5)
        elif name == "feedback":
            rect(d, 3, 4, 21, 16, outline=c, r=3)
            poly(d, [(7, 15), (7, 21), (13, 15)], c)
            for x in (8, 12, 16):
                circle(d, x, 10, 1.3, fill=c)
        elif name == "effect":
            d.ellipse([4 * S, 14 * S, 10 * S, 20 * S], fill=c)
            line(d, [(9.2, 17), (9.2, 5), (19, 3), (19, 15)], 2, c)
            d.ellipse([14 * S, 12 * S, 20 * S, 18 * S], fill=c)
        elif name == "folder":
            poly(d, [(3, 6), (9, 6), (11, 8), (21, 8), (21, 19), (3, 19)], c)
        else:
            raise ValueError(name)

    return paint


ICONS = ["close", "min", "camera", "camera_off", "record", "stop", "stop_square", "audio", "audio_stop", "snapshot", "play",
         "pause", "prev", "next", "volume", "mute", "mic", "mic_off", "skin", "setup", "home", "feedback",
         "effect", "folder"]


def icon(name, colour, size=24):
    """The icon at size x size. Drawn at least twice as large as it ends up
    and scaled down, so its edges are smooth at any size: up to 48 pixels
    the usual S-fold drawing does, a larger icon is drawn larger still."""
    global S
    usual = S
    if px(size) * 2 > 24 * S:
        S = usual * -(-px(size) // 24)
    try:
        img = canvas(24, 24)
        icon_painter(name)(ImageDraw.Draw(img), rgba(colour))
    finally:
        S = usual
    return shrink(img, size, size)


def make_icon_buttons(out):
    """btn_<icon>_<state>.png, 32 x 32: the icon over a round state patch.

    normal: the icon alone; hot: a light patch behind it; pushed: a darker
    patch and the accent colour; disabled: the icon dimmed. The caption's
    close button turns red when hot or pushed."""
    for name in ICONS:
        for state in ("normal", "hot", "pushed", "disabled"):
            img = canvas(32, 32)
            d = ImageDraw.Draw(img)
            colour = TEXT
            if state == "hot":
                patch = rgba(DANGER) if name == "close" else (255, 255, 255, 36)
                d.rounded_rectangle([0, 0, 32 * S - 1, 32 * S - 1], radius=6 * S, fill=patch)
                colour = (255, 255, 255)
            elif state == "pushed":
                patch = rgba(DANGER_DOWN) if name == "close" else (0, 0, 0, 70)
                d.rounded_rectangle([0, 0, 32 * S - 1, 32 * S - 1], radius=6 * S, fill=patch)
                colour = (255, 255, 255) if name == "close" else ACCENT_HOT
            elif state == "disabled":
                colour = TEXT_OFF
            pic = shrink(img, 32, 32)
            pic.alpha_composite(icon(name, colour), (px(4), px(4)))
            if X == 2 and name == "min" and state == "normal":
                mark_2x(pic)
            save(pic, out, "btn_%s_%s.png" % (name, state))


def mark_2x(pic):
    """The 2x set's mark: one pixel inside the minimise button's stroke made
    opaque and one step less blue than the stroke, invisible to the eye; a
    test finds it on the screen to know the 2x set is what a 200 % window
    draws."""
    most = max(pic.getpixel((x, y))[3] for y in range(pic.height) for x in range(pic.width))
    assert most >= 240, "the minimise stroke has no solid pixel"
    solid = [(x, y) for y in range(pic.height) for x in range(pic.width) if pic.getpixel((x, y))[3] == most]
    pic.putpixel(solid[len(solid) // 2], (TEXT[0], TEXT[1], TEXT[2] - 1, 255))


# ---------------------------------------------------------------- inputs
def make_inputs(out):
    # Edit boxes and combo boxes: 9-grid pictures (corner='4,4,4,4').
    for state, (fill, rim) in {"normal": (BASE, LINE), "hot": (BASE, LINE_HOT), "focused": (BASE, ACCENT),
                               "disabled": (DISABLED, DISABLED)}.items():
        save(rounded(40, 28, 4, fill, rim), out, "edit_%s.png" % state)
    for state, (fill, rim) in {"normal": (RAISED, LINE), "hot": (RAISED_HOT, LINE_HOT),
                               "pushed": (RAISED_DOWN, ACCENT), "disabled": (DISABLED, DISABLED)}.items():
        pic = rounded(200, 28, 4, fill, rim)
        arrow = canvas(200, 28)
        ImageDraw.Draw(arrow).polygon([(180 * S, 11 * S), (190 * S, 11 * S), (185 * S, 17 * S)],
                                      fill=rgba(TEXT_DIM if state != "disabled" else TEXT_OFF))
        pic.alpha_composite(shrink(arrow, 200, 28))
        save(pic, out, "combo_%s.png" % state)

    # Radio options (16 x 16): a ring; selected adds the accent dot.
    for state in ("normal", "hot", "selected"):
        img = canvas(16, 16)
        d = ImageDraw.Draw(img)
        ring = ACCENT if state == "selected" else (LINE_HOT if state == "hot" else TEXT_DIM)
        d.ellipse([1 * S, 1 * S, 15 * S - 1, 15 * S - 1], fill=rgba(BASE), outline=rgba(ring), width=int(1.5 * S))
        if state == "selected":
            d.ellipse([4.5 * S, 4.5 * S, 11.5 * S - 1, 11.5 * S - 1], fill=rgba(ACCENT))
        save(shrink(img, 16, 16), out, "radio_%s.png" % state)

    # Check boxes (16 x 16): a rounded square; checked fills it with the
    # accent and draws a white tick.
    for state in ("normal", "hot", "selected"):
        img = canvas(16, 16)
        d = ImageDraw.Draw(img)
        if state == "selected":
            d.rounded_rectangle([1 * S, 1 * S, 15 * S - 1, 15 * S - 1], radius=3 * S, fill=rgba(ACCENT))
            d.line([(4.2 * S, 8.2 * S), (7 * S, 11 * S), (12 * S, 5.2 * S)], fill=rgba((255, 255, 255)),
                   width=int(2 * S), joint="curve")
        else:
            rim = LINE_HOT if state == "hot" else TEXT_DIM
            d.rounded_rectangle([1 * S, 1 * S, 15 * S - 1, 15 * S - 1], radius=3 * S, fill=rgba(BASE),
                                outline=rgba(rim), width=int(1.5 * S))
        save(shrink(img, 16, 16), out, "check_%s.png" % state)

    # Page tabs: nothing when idle, a soft patch when hot, an accent bar
    # under the text when selected (stretched with corner='2,2,2,4').
    save(blank(40, 32), out, "tab_normal.png")
    hot = blank(40, 32, (255, 255, 255, 18))
    save(hot, out, "tab_hot.png")
    sel = blank(40, 32, (255, 255, 255, 10))
    ImageDraw.Draw(sel).rectangle([px(4), px(29), px(36) - 1, px(32) - 1], fill=rgba(ACCENT))
    save(sel, out, "tab_selected.png")

    # Sliders: track and filled part, a 6-pixel bar in the middle of a
    # 14-pixel picture the height of the thumb (stretched sideways with
    # corner='3,0,3,0'), and a round thumb.
    for name, colour in (("slider_bk.png", LINE), ("slider_fore.png", ACCENT)):
        pic = blank(20, 14)
        pic.alpha_composite(rounded(20, 6, 3, colour), (0, px(4)))
        save(pic, out, name)
    for state, (fill, rim) in {"normal": (TEXT, ACCENT), "hot": ((255, 255, 255), ACCENT_HOT),
                               "pushed": (ACCENT_HOT, ACCENT_DOWN)}.items():
        img = canvas(14, 14)
        ImageDraw.Draw(img).ellipse([S, S, 13 * S - 1, 13 * S - 1], fill=rgba(fill), outline=rgba(rim),
                                    width=int(2 * S))
        save(shrink(img, 14, 14), out, "slider_thumb_%s.png" % state)


# ---------------------------------------------------------------- marks, tiles
def make_marks(out):
    # The selected mark of skin buttons and tiles (25 x 25): an accent disc
    # with a white tick.
    img = canvas(25, 25)
    d = ImageDraw.Draw(img)
    d.ellipse([S, S, 24 * S - 1, 24 * S - 1], fill=rgba(ACCENT), outline=(255, 255, 255, 255), width=int(1.5 * S))
    d.line([(7 * S, 12.5 * S), (11 * S, 16.5 * S), (18 * S, 8.5 * S)], fill=(255, 255, 255, 255), width=int(2.4 * S),
           joint="curve")
    save(shrink(img, 25, 25), out, "titlelayoutItem_selected_icon.png")

    # The delete button of an effect in use (22 x 20): a red disc with a cross.
    img = canvas(22, 20)
    d = ImageDraw.Draw(img)
    d.ellipse([3 * S, 2 * S, 19 * S - 1, 18 * S - 1], fill=rgba(DANGER))
    d.line([(8 * S, 7 * S), (14 * S, 13 * S)], fill=(255, 255, 255, 255), width=int(1.8 * S))
    d.line([(14 * S, 7 * S), (8 * S, 13 * S)], fill=(255, 255, 255, 255), width=int(1.8 * S))
    save(shrink(img, 22, 20), out, "btn_curVE_delete.png")

    # The crash report's mark (40 x 40): a red disc with a white
    # exclamation mark, beside the heading that says the program stopped.
    img = canvas(40, 40)
    d = ImageDraw.Draw(img)
    d.ellipse([2 * S, 2 * S, 38 * S - 1, 38 * S - 1], fill=rgba(DANGER))
    d.rounded_rectangle([17.6 * S, 9 * S, 22.4 * S, 24.5 * S], radius=int(2.4 * S), fill=(255, 255, 255, 255))
    d.ellipse([17.4 * S, 27.2 * S, 22.6 * S, 32.4 * S], fill=(255, 255, 255, 255))
    save(shrink(img, 40, 40), out, "crash_mark.png")

    # Menu icons of the exit entry (16 x 16): plain and under the mouse.
    # The menu shows _2 normally and _1 under the mouse.
    for name, col in (("menu_icon_exit_2.png", TEXT_DIM), ("menu_icon_exit_1.png", DANGER_HOT)):
        img = canvas(16, 16)
        d = ImageDraw.Draw(img)
        d.arc([2 * S, 2.5 * S, 14 * S, 14.5 * S], -60, 240, fill=rgba(col), width=int(1.8 * S))
        d.line([(8 * S, 1 * S), (8 * S, 8 * S)], fill=rgba(col), width=int(1.8 * S))
        save(shrink(img, 16, 16), out, name)

    # The sound-clip button: four states side by side (90 x 27 each:
    # normal, hot, pushed, disabled), a pill with a note at the left.
    strip = blank(360, 27)
    for i, (fill, rim, note) in enumerate(((RAISED, LINE, ACCENT), (RAISED_HOT, ACCENT, ACCENT_HOT),
                                           (ACCENT_DOWN, ACCENT_DOWN, (255, 255, 255)),
                                           (DISABLED, DISABLED, TEXT_OFF))):
        pic = rounded(90, 27, 13, fill, rim)
        n = canvas(12, 12)
        dn = ImageDraw.Draw(n)
        dn.ellipse([0, 7 * S, 5 * S, 12 * S - 1], fill=rgba(note))
        dn.line([(4.2 * S, 9 * S), (4.2 * S, 0.8 * S), (10 * S, 2.5 * S)], fill=rgba(note), width=int(1.6 * S))
        pic.alpha_composite(shrink(n, 12, 12), (px(6), px(8)))
        strip.alpha_composite(pic, (px(90 * i), 0))
    save(strip, out, "btn_audioeffect.png")


def placeholder(w, h, top, bottom, glyph, text=None, badge=None):
    """A list tile's picture: a vertical gradient with a centred icon."""
    size = min(min(w, h) * 3 // 5, 96)   # a quiet mark: at most 96 pixels even in a big picture
    mark_y = (h - size) // 2 - (6 if text else 0)
    mark_x = (w - size) // 2
    w, h = px(w), px(h)
    img = Image.new("RGBA", (w, h))
    d = ImageDraw.Draw(img)
    for y in range(h):
        f = y / max(1, h - 1)
        d.line([(0, y), (w, y)], fill=rgba(tuple(round(a + (b - a) * f) for a, b in zip(top, bottom))))
    img.alpha_composite(icon(glyph, TEXT_DIM, size), (px(mark_x), px(mark_y)))
    if text:
        f = ImageFont.truetype(FONT, px(11))
        l, t, r, b = d.textbbox((0, 0), text, font=f)
        d.text(((w - (r - l)) / 2 - l, h - px(16) - t), text, font=f, fill=rgba(TEXT_DIM))
    if badge:
        d.ellipse([w - px(16), px(5), w - px(7), px(14)], fill=rgba(badge))
    return img


def make_tiles(out):
    # The tiles with words exist once per language: the English ones are
    # named with "_en" before the extension; the program picks by language.
    for lang, words in (("", ("文件不存在", "图片无效", "录制中", "录音中")),
                        ("_en", ("File missing", "Bad picture", "Recording", "Recording"))):
        save(placeholder(80, 60, RAISED, BASE, "camera_off", words[0]), out,
             "recordVideo_thumbnail_invalid%s.png" % lang)
        save(placeholder(80, 60, RAISED, BASE, "snapshot", words[1]), out,
             "recordImage_thumbnail_invalide%s.png" % lang)
        save(placeholder(80, 60, (58, 30, 36), BASE, "record", words[2], DANGER), out,
             "recordVideo_thumbnail_Recording%s.png" % lang)
        save(placeholder(80, 60, (58, 30, 36), BASE, "audio", words[3], DANGER), out,
             "recordAudio_thumbnail_Recording%s.png" % lang)
    save(placeholder(80, 60, (40, 46, 70), BASE, "audio"), out, "Record_Audio_thumbnail.png")
    save(placeholder(480, 360, PANEL, BASE, "play"), out, "preview_video.png")
    save(placeholder(480, 360, (36, 30, 58), BASE, "audio"), out, "preview_audio.png")


def make_open_camera(out):
    """The preview window's open-camera button, 150 x 50, in its three looks
    (1 idle, 2 under the mouse, 3 pressed). The preview copies it into the
    picture without alpha, and only while the default picture shows, at
    (165, 255) of the 480 x 360 picture: so its background is that part of
    the default picture, and the button sits on it without a seam."""
    # The default picture's background is a vertical gradient: its left
    # column, spread across, gives that part of it without the words the
    # button covers.
    default = Image.open(os.path.join(HERE, "default.jpg")).convert("RGB").resize((480, 360), Image.BOX)
    ground = Image.new("RGBA", (150, 50))
    for y in range(50):
        ImageDraw.Draw(ground).line([(0, y), (149, y)], fill=default.getpixel((4, 255 + y)) + (255,))
    looks = {1: (ACCENT, TEXT), 2: (ACCENT_HOT, (255, 255, 255)), 3: (ACCENT_DOWN, (255, 236, 220))}
    # One set per language (the English one named with "_en"); a text wider
    # than the room right of the icon is drawn smaller until it fits.
    for lang, words in (("", "打开摄像头"), ("_en", "Open camera")):
        for n, (fill, fg) in looks.items():
            img = canvas(150, 50)
            d = ImageDraw.Draw(img)
            d.rounded_rectangle([3 * S, 5 * S, 147 * S - 1, 45 * S - 1], radius=20 * S, fill=rgba(fill))
            pic = ground.copy()
            pic.alpha_composite(shrink(img, 150, 50))
            pic.alpha_composite(icon("camera", fg, 22), (22, 14))
            dt = ImageDraw.Draw(pic)
            size = 16
            while True:
                f = ImageFont.truetype(FONT, size)
                l, t, r, b = dt.textbbox((0, 0), words, font=f)
                if r - l <= 88 or size <= 11:
                    break
                size -= 1
            dt.text((50 - l, 25 - (b - t) / 2 - t), words, font=f, fill=rgba(fg))
            save(pic, out, "btn_VideoWnd_OpenCamera_%d%s.png" % (n, lang))


# ---------------------------------------------------------------- backgrounds
W, H = 960, 640


def gradient(c0, c1, angle_deg):
    """A linear gradient across the picture at the given angle."""
    a = math.radians(angle_deg)
    ca, sa = math.cos(a), math.sin(a)
    small_w, small_h = W // 8, H // 8
    img = Image.new("RGB", (small_w, small_h))
    px = img.load()
    span = abs(ca) * small_w + abs(sa) * small_h
    for y in range(small_h):
        for x in range(small_w):
            t = ((x - small_w / 2) * ca + (y - small_h / 2) * sa) / span + 0.5
            t = min(1.0, max(0.0, t))
            px[x, y] = tuple(round(p + (q - p) * t) for p, q in zip(c0, c1))
    return img.resize((W, H), Image.BICUBIC)


def glow(img, cx, cy, r, colour, strength):
    """A soft round light, blurred well past its edge."""
    layer = Image.new("L", (W, H), 0)
    ImageDraw.Draw(layer).ellipse([cx - r, cy - r, cx + r, cy + r], fill=int(255 * strength))
    layer = layer.filter(ImageFilter.GaussianBlur(r * 0.6))
    return Image.composite(Image.new("RGB", (W, H), colour), img, layer)


def bands(img, colour, strength, seed):
    """Wide soft diagonal waves."""
    rnd = random.Random(seed)
    layer = Image.new("L", (W, H), 0)
    d = ImageDraw.Draw(layer)
    for _ in range(3):
        y0 = rnd.randint(-200, H)
        pts = [(x, y0 + 90 * math.sin(x / 170.0 + rnd.random() * 6) - x * 0.25) for x in range(-20, W + 40, 20)]
        d.line(pts, fill=int(255 * strength), width=rnd.randint(50, 110))
    layer = layer.filter(ImageFilter.GaussianBlur(28))
    return Image.composite(Image.new("RGB", (W, H), colour), img, layer)


def dots(img, colour, seed, count=90):
    """Small scattered lights (bokeh)."""
    rnd = random.Random(seed)
    layer = Image.new("L", (W, H), 0)
    d = ImageDraw.Draw(layer)
    for _ in range(count):
        x, y, r = rnd.randint(0, W), rnd.randint(0, H), rnd.randint(4, 22)
        d.ellipse([x - r, y - r, x + r, y + r], fill=rnd.randint(25, 70))
    layer = layer.filter(ImageFilter.GaussianBlur(3))
    return Image.composite(Image.new("RGB", (W, H), colour), img, layer)


def backgrounds():
    """(file, picture) of every background. Each stays dark enough behind
    white text: its mean luminance is checked in check_background."""
    out = []
    b = gradient((14, 32, 64), (8, 12, 26), 60)
    b = glow(b, 760, 120, 220, (34, 88, 160), 0.55)
    out.append(("bk_0.png", bands(b, (40, 110, 190), 0.25, 1)))                      # night blue
    b = gradient((44, 18, 72), (12, 10, 30), 120)
    out.append(("bk_1.png", dots(glow(b, 200, 480, 260, (120, 40, 130), 0.45), (220, 150, 255), 2)))  # violet
    b = gradient((6, 48, 54), (6, 16, 26), 30)
    out.append(("bk_2.png", bands(glow(b, 820, 520, 240, (10, 120, 120), 0.4), (30, 160, 150), 0.2, 3)))  # teal
    b = gradient((70, 30, 20), (20, 10, 16), 150)
    out.append(("bk_3.png", glow(glow(b, 150, 100, 240, (200, 90, 30), 0.35), 820, 560, 200, (150, 40, 70), 0.35)))
    b = gradient((20, 46, 30), (8, 16, 16), 90)
    out.append(("bk_4.png", dots(glow(b, 480, 60, 300, (60, 130, 70), 0.35), (170, 230, 160), 5, 60)))  # forest
    b = gradient((34, 38, 48), (12, 14, 20), 45)
    out.append(("bk_5.png", bands(b, (120, 130, 150), 0.16, 6)))                     # graphite
    b = gradient((60, 16, 44), (14, 20, 50), 10)
    out.append(("bk_6.png", glow(b, 700, 300, 260, (200, 60, 110), 0.3)))            # dusk
    b = gradient((10, 24, 44), (30, 14, 40), 75)
    out.append(("bk_7.png", dots(bands(b, (70, 80, 200), 0.2, 8), (140, 200, 255), 8, 120)))  # aurora
    return out


def check_background(name, img):
    grey = img.convert("L").resize((48, 32))
    mean = sum(grey.getdata()) / (48 * 32)
    assert mean < 80, "%s is too light for white text (mean %.0f)" % (name, mean)
    assert max(grey.getdata()) < 170, "%s has a patch too light for white text" % name


def make_app_icon(path):
    """The program's icon: a white camera on an orange rounded square."""
    img = canvas(256, 256)
    d = ImageDraw.Draw(img)
    d.rounded_rectangle([8 * S, 8 * S, 248 * S - 1, 248 * S - 1], radius=56 * S, fill=rgba(ACCENT))
    d.rounded_rectangle([40 * S, 80 * S, 170 * S, 180 * S], radius=20 * S, fill=(255, 255, 255, 255))
    d.polygon([(176 * S, 112 * S), (220 * S, 86 * S), (220 * S, 174 * S), (176 * S, 148 * S)], fill=(255, 255, 255, 255))
    d.ellipse([86 * S, 110 * S, 126 * S, 150 * S], fill=rgba(ACCENT))
    big = shrink(img, 256, 256)
    big.save(path, format="ICO", sizes=[(16, 16), (24, 24), (32, 32), (48, 48), (64, 64), (256, 256)])


def make_scaled_set(base, x):
    """Every picture of base/ at scale x (the open-camera button only at 1x:
    it goes into the preview's picture, which is scaled as a whole)."""
    set_scale(x)
    try:
        make_buttons(base)
        make_icon_buttons(base)
        make_inputs(base)
        make_marks(base)
        make_tiles(base)
        if x == 1:
            make_open_camera(base)
    finally:
        set_scale(1)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "skin")
    base = os.path.join(out, "base")
    make_app_icon(os.path.join(os.path.dirname(os.path.abspath(out)), "ZxVCam.ico"))
    for x in (1, 1.5, 2):
        make_scaled_set(base, x)
    for name, img in backgrounds():
        check_background(name, img)
        os.makedirs(os.path.join(out, "localskin"), exist_ok=True)
        img.save(os.path.join(out, "localskin", name), "PNG", optimize=True)
    # The fixed backgrounds: the plain base colour with a soft light, and a
    # calm grey-blue.
    fixed1 = glow(gradient(BASE, (8, 12, 20), 90), 480, 0, 320, (30, 44, 70), 0.5)
    fixed2 = gradient((38, 44, 58), (18, 22, 30), 90)
    for n, img in ((1, fixed1), (2, fixed2)):
        check_background("bk %d" % n, img)
        os.makedirs(os.path.join(out, str(n)), exist_ok=True)
        img.save(os.path.join(out, str(n), "bk.png"), "PNG", optimize=True)


if __name__ == "__main__":
    main()
