#!/usr/bin/env python3
# mkpictures.py: draws the element help picture veltohlp.png (84x552), the
# title-bar button strips winminmaxx.png and winminnorx.png (50x14) and the
# desktop icon velto.png (64x64), all 4-bit palette PNGs whose entry 0 is
# transparent.  Letters come from the committed font strips vasc_9x16.png and
# vasc_4x6.png; needs only python3.
#
#   python3 assets/mkpictures.py            rewrite the three pictures here
#   python3 assets/mkpictures.py --out DIR  write them into DIR instead
#   python3 assets/mkpictures.py --check    regenerate into a temp dir and
#                                           compare pixels with the committed ones
# The program colours these pictures by the blue byte of each palette entry
# (its lookup tables clut and clut_0), so the blue bytes below are fixed.

import math
import os
import sys
import tempfile

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pngio  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))

# === palettes ===
# help picture: the program maps blue 0x40 olive, 0x55 red, 0xAA grey,
# 0xC0 teal, 0xD5 light grey
CLEAR, OLIVE, RED, GREY, TEAL, LIGHT = range(6)
HELP_PALETTE = [(0x00, 0x00, 0x00), (0x90, 0x90, 0x40), (0xC0, 0x40, 0x55),
                (0x80, 0x80, 0xAA), (0x30, 0x90, 0xC0), (0xA0, 0xA0, 0xD5)]
# buttons: blue 0x00 black, 0x40 dark shadow, 0x80 shadow, 0xC8 face, 0xFF white
BCLEAR, BLACK, DARK, SHADOW, FACE, WHITE = range(6)
BUTTON_PALETTE = [(0x00, 0x00, 0x00), (0x00, 0x00, 0x00), (0x40, 0x40, 0x40),
                  (0x80, 0x80, 0x80), (0xD4, 0xD0, 0xC8), (0xFF, 0xFF, 0xFF)]
ALPHA = [0, 255, 255, 255, 255, 255]


# === canvas ===

class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[0] * w for _ in range(h)]

    def dot(self, x, y, c):
        x, y = int(round(x)), int(round(y))
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def line(self, x0, y0, x1, y1, c, pattern=None):
        """Line with both ends drawn; pattern is a string of '#'/'.' repeated
        along the longer axis."""
        n = int(max(abs(x1 - x0), abs(y1 - y0)))
        for k in range(n + 1):
            if pattern and pattern[k % len(pattern)] != "#":
                continue
            t = k / n if n else 0
            self.dot(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, c)

    def rect(self, x0, y0, x1, y1, c):
        """Filled rectangle, both corners included."""
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.dot(x, y, c)

    def circle(self, cx, cy, r, c):
        steps = int(8 * r) + 8
        for k in range(steps):
            a = 2 * math.pi * k / steps
            self.dot(cx + r * math.cos(a), cy + r * math.sin(a), c)

    def bitmap(self, x, y, lines, c):
        for dy, line in enumerate(lines):
            for dx, ch in enumerate(line):
                if ch == "#":
                    self.dot(x + dx, y + dy, c)


class Font:
    def __init__(self, name):
        w, h, rows, _, _ = pngio.read_png(os.path.join(HERE, name + ".png"))
        self.w, self.h, self.rows = w, h // 256, rows

    def text(self, canvas, x, y, s, c):
        for k, ch in enumerate(s.encode("cp437")):
            for dy in range(self.h):
                for dx in range(self.w):
                    if self.rows[ch * self.h + dy][dx]:
                        canvas.dot(x + k * self.w + dx, y + dy, c)


# === element symbols ===
# Each draws one element across x = 18..82 around the middle row y, leads in
# red and the body in light grey, as the schematic draws them.
X0, X1 = 18, 82
XM = (X0 + X1) // 2


def leads(cv, y, a, b):
    cv.line(X0, y, a, y, RED)
    cv.line(b, y, X1, y, RED)


def signs(cv, y, xminus, xplus, c, h=2):
    cv.line(xminus - h, y, xminus + h, y, c)
    cv.line(xplus - h, y, xplus + h, y, c)
    cv.line(xplus, y - h, xplus, y + h, c)


def arrow(cv, x0, x1, y, c, barb=3):
    cv.line(x0, y, x1, y, c)
    cv.line(x1, y, x1 - barb, y - barb, c)
    cv.line(x1, y, x1 - barb, y + barb, c)


def resistor(cv, y):
    leads(cv, y, 34, 66)
    pts = [34] + [36 + 4 * k for k in range(8)] + [66]
    for k in range(len(pts) - 1):
        ya = y if k == 0 else y + (-5 if k % 2 else 5)
        yb = y if k == len(pts) - 2 else y + (5 if k % 2 else -5)
        cv.line(pts[k], ya, pts[k + 1], yb, LIGHT)


def inductor(cv, y):
    leads(cv, y, 31, 69)
    for k in range(4):  # four humps of radius 4.75
        cx = 35.75 + 9.5 * k
        for s in range(25):
            a = math.pi * s / 24
            cv.dot(cx - 4.75 * math.cos(a), y - 5 * math.sin(a), LIGHT)


def capacitor(cv, y):
    leads(cv, y, 46, 54)
    cv.line(46, y - 9, 46, y + 9, LIGHT)
    cv.line(54, y - 9, 54, y + 9, LIGHT)


def round_body(cv, y):
    leads(cv, y, XM - 11, XM + 11)
    cv.circle(XM, y, 11, LIGHT)


def vsource(cv, y):
    round_body(cv, y)
    signs(cv, y, XM - 5, XM + 5, LIGHT)


def isource(cv, y):
    round_body(cv, y)
    arrow(cv, XM - 6, XM + 6, y, LIGHT)


def diamond(cv, y):
    leads(cv, y, XM - 11, XM + 11)
    cv.line(XM - 11, y, XM, y - 11, LIGHT)
    cv.line(XM, y - 11, XM + 11, y, LIGHT)
    cv.line(XM + 11, y, XM, y + 11, LIGHT)
    cv.line(XM, y + 11, XM - 11, y, LIGHT)


def voltage_control(cv, y):
    # the marks a voltage-controlled source puts beside its controlling wire
    cv.line(XM + 4, y - 6, 70, y - 9, RED, "#..")
    signs(cv, y - 9, 72, 79, OLIVE)


def current_control(cv, y):
    cv.line(XM + 4, y - 6, 70, y - 9, TEAL, "#..")
    arrow(cv, 72, 80, y - 9, TEAL, 2)


def vcvs(cv, y):
    diamond(cv, y)
    signs(cv, y, XM - 5, XM + 5, LIGHT)
    voltage_control(cv, y)


def cccs(cv, y):
    diamond(cv, y)
    arrow(cv, XM - 6, XM + 6, y, LIGHT)
    current_control(cv, y)


def vccs(cv, y):
    diamond(cv, y)
    arrow(cv, XM - 6, XM + 6, y, LIGHT)
    voltage_control(cv, y)


def ccvs(cv, y):
    diamond(cv, y)
    signs(cv, y, XM - 5, XM + 5, LIGHT)
    current_control(cv, y)


def switch(cv, y):
    leads(cv, y, 36, 64)
    cv.circle(38, y, 2, RED)
    cv.circle(62, y, 2, RED)
    cv.line(40, y - 1, 60, y - 9, RED)  # open blade
    cv.line(54, y - 1, 58, y - 4, LIGHT)  # closing hint


def diode(cv, y):
    # triangle from the anode (left) to the cathode bar
    leads(cv, y, 38, 62)
    cv.line(38, y - 10, 38, y + 10, LIGHT)
    cv.line(38, y - 10, 62, y, LIGHT)
    cv.line(38, y + 10, 62, y, LIGHT)
    cv.line(62, y - 10, 62, y + 10, LIGHT)


def nonlinear(cv, y):
    # a box struck through
    leads(cv, y, 36, 64)
    cv.line(36, y - 5, 64, y - 5, LIGHT)
    cv.line(36, y + 5, 64, y + 5, LIGHT)
    cv.line(36, y - 5, 36, y + 5, LIGHT)
    cv.line(64, y - 5, 64, y + 5, LIGHT)
    cv.line(41, y + 10, 59, y - 10, LIGHT)


def dummy(cv, y):
    cv.line(X0, y, X1, y, GREY, "##......")


def wire(cv, y):
    cv.line(X0, y, X1, y, RED)


def opamp(cv, y):
    # triangle of three probe wires; the upper input inverts
    cv.line(34, y - 12, 34, y + 12, LIGHT)
    cv.line(34, y - 12, 62, y, LIGHT)
    cv.line(34, y + 12, 62, y, LIGHT)
    cv.line(X0, y - 6, 33, y - 6, RED)
    cv.line(X0, y + 6, 33, y + 6, RED)
    cv.line(63, y, X1, y, RED)
    cv.line(37, y - 6, 41, y - 6, OLIVE)      # minus at the upper input
    cv.line(37, y + 6, 41, y + 6, OLIVE)      # plus at the lower one
    cv.line(39, y + 4, 39, y + 8, OLIVE)


# (key letter, caption, symbol); the T row is typed with the space bar
ELEMENTS = [
    ("R", "RESISTOR", resistor),
    ("L", "INDUCTOR", inductor),
    ("C", "CAPACITOR", capacitor),
    ("V", "VOLTAGE SOURCE", vsource),
    ("I", "CURRENT SOURCE", isource),
    ("E", "V-CONTROLLED V", vcvs),
    ("F", "I-CONTROLLED I", cccs),
    ("G", "V-CONTROLLED I", vccs),
    ("H", "I-CONTROLLED V", ccvs),
    ("S", "SWITCH", switch),
    ("K", "DIODE", diode),
    ("J", "NONLINEAR I(V)", nonlinear),
    ("X", "DUMMY WIRE", dummy),
    ("T", "SPACE: WIRE", wire),
    ("O", "OP-AMP", opamp),
]
ROW = 36     # pixels per element row
TOP = 6      # first row's top


def help_picture():
    cv = Canvas(84, TOP + len(ELEMENTS) * ROW + 6)
    big, small = Font("vasc_9x16"), Font("vasc_4x6")
    for k, (key, caption, draw) in enumerate(ELEMENTS):
        top = TOP + k * ROW
        mid = top + 13
        big.text(cv, 3, mid - 8, key, OLIVE)
        draw(cv, mid)
        small.text(cv, X1 + 1 - small.w * len(caption), top + 28, caption, TEAL)
        if k:
            cv.line(2, top - 2, 81, top - 2, GREY, "#.")
    return cv


# === title-bar buttons ===
# Three 16x14 raised buttons: minimise at x 0, maximise or restore at 16,
# close at 34, the two columns between left transparent.
GLYPHS = {
    "min": (4, 9, ["######", "######"]),
    "max": (3, 2, ["#########", "#########", "#.......#", "#.......#", "#.......#",
                   "#.......#", "#.......#", "#.......#", "#########"]),
    "restore": (3, 2, ["...######", "...######", "...#....#", "######..#", "######..#",
                       "#....####", "#....#...", "#....#...", "######..."]),
    "close": (4, 3, ["##....##", ".##..##.", "..####..", "...##...", "..####..",
                     ".##..##.", "##....##"]),
}


def button(cv, x, glyph):
    cv.rect(x, 0, x + 15, 13, FACE)
    cv.line(x, 0, x + 14, 0, FACE)           # outer light edge
    cv.line(x, 0, x, 12, FACE)
    cv.line(x + 1, 1, x + 13, 1, WHITE)      # inner light edge
    cv.line(x + 1, 1, x + 1, 11, WHITE)
    cv.line(x + 1, 12, x + 14, 12, SHADOW)   # inner shadow
    cv.line(x + 14, 1, x + 14, 12, SHADOW)
    cv.line(x, 13, x + 15, 13, DARK)         # outer shadow
    cv.line(x + 15, 0, x + 15, 13, DARK)
    gx, gy, lines = GLYPHS[glyph]
    cv.bitmap(x + gx, gy, lines, BLACK)


def button_strip(middle):
    cv = Canvas(50, 14)
    button(cv, 0, "min")
    button(cv, 16, middle)
    button(cv, 34, "close")
    return cv


# === desktop icon ===
# A dark rounded square; a red wire with a resistor zigzag across the top and
# a white waveform rising below it, as the program shows them.
ICLEAR, IBACK, IEDGE, IRED, IWHITE, IGREY = range(6)
ICON_PALETTE = [(0x00, 0x00, 0x00), (0x10, 0x10, 0x18), (0x60, 0x60, 0x68),
                (0xFF, 0x55, 0x55), (0xFF, 0xFF, 0xFF), (0x55, 0x55, 0x55)]


def icon():
    cv = Canvas(64, 64)
    for y in range(64):
        for x in range(64):
            dx, dy = max(8 - x, x - 55, 0), max(8 - y, y - 55, 0)
            if dx * dx + dy * dy <= 64:
                cv.px[y][x] = IEDGE if dx * dx + dy * dy > 42 or x in (0, 63) or y in (0, 63) else IBACK
    for x in range(8, 56, 4):  # the dot grid
        for y in range(12, 56, 8):
            cv.dot(x, y, IGREY)
    cv.line(6, 18, 20, 18, IRED)
    ys = [18, 13, 23, 13, 23, 13, 23, 18]  # a zigzag of three and a half peaks, back on the wire
    for k in range(len(ys) - 1):
        cv.line(20 + 23 * k / 7.0, ys[k], 20 + 23 * (k + 1) / 7.0, ys[k + 1], IWHITE)
    cv.line(43, 18, 57, 18, IRED)
    prev = None
    for x in range(8, 57):  # a damped step response
        t = (x - 8) / 48.0
        y = 52 - 22 * (1 - math.exp(-4 * t) * math.cos(11 * t))
        if prev:
            cv.line(prev[0], prev[1], x, y, IWHITE)
        prev = (x, y)
    return cv


# === outputs ===

def pictures():
    return [("veltohlp", help_picture(), HELP_PALETTE),
            ("winminmaxx", button_strip("max"), BUTTON_PALETTE),
            ("winminnorx", button_strip("restore"), BUTTON_PALETTE),
            ("velto", icon(), ICON_PALETTE)]


def generate(outdir):
    for name, cv, palette in pictures():
        pngio.write_png(os.path.join(outdir, name + ".png"), cv.px, 4, palette, ALPHA)


def check():
    bad = 0
    with tempfile.TemporaryDirectory() as tmp:
        generate(tmp)
        for name, _, _ in pictures():
            if pngio.read_png(os.path.join(tmp, name + ".png")) != pngio.read_png(os.path.join(HERE, name + ".png")):
                print("%s.png differs from its regenerated pixels" % name)
                bad += 1
    print("%d passed, %d failed" % (len(pictures()) - bad, bad))
    return 1 if bad else 0


def main(argv):
    if len(argv) == 2 and argv[1] == "--check":
        return check()
    if len(argv) == 3 and argv[1] == "--out":
        generate(argv[2])
        return 0
    if len(argv) == 1:
        generate(HERE)
        return 0
    print("usage: mkpictures.py [--out DIR | --check]")
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
