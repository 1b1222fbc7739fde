#!/usr/bin/env python3
# mkfonts.py: builds the ten glyph strips (code page 437, one glyph wide and
# 256 glyphs tall, 1-bit grey PNG) from bitmap fonts in PCF form, and the
# frame's built-in 6x8 table frame/font6x8.inc from the 6x8 strip.
# Needs only python3 and the source fonts listed in FONTS (Debian packages
# xfonts-base and xfonts-terminus); see README in this folder for licences.
#
#   python3 assets/mkfonts.py                 rewrite assets/*.png and frame/font6x8.inc
#   python3 assets/mkfonts.py --out DIR       write the strips into DIR instead
#   python3 assets/mkfonts.py --check         regenerate into a temp dir and compare
#                                             pixels with the committed strips
# --fontdir DIR names another folder holding the .pcf.gz files.  --check exits
# with 77 (skipped) when a source font is missing, 1 on any difference.

import gzip
import hashlib
import os
import struct
import sys
import tempfile

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pngio  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
FONTDIR = "/usr/share/fonts/X11/misc"
SKIPPED = 77

# === font table ===
# (strip name, cell width, cell height, source file, changes to the source cell)
# Changes, applied in order: ("crop_top", n); ("pad_left"|"pad_right"|"pad_top"|
# "pad_bottom", n), which stretches the edge-joining glyphs (joins_edges);
# ("widen", width): each source column spread over one or more columns, so
# 8 -> 12 doubles every second one, while shades continue their pattern.
FONTS = [
    ("vasc_4x6",   4,  6, "4x6.pcf.gz",  []),
    ("vasc_6x8",   6,  8, "5x8.pcf.gz",  [("pad_right", 1)]),
    ("vasc_6x10",  6, 10, "6x10.pcf.gz", []),
    ("vasc_7x12",  7, 12, "7x13.pcf.gz", [("crop_top", 1)]),
    ("vasc_8x12",  8, 12, "8x13.pcf.gz", [("crop_top", 1)]),
    ("vasc_8x13",  8, 13, "8x13.pcf.gz", []),
    ("vasc_8x14",  8, 14, "7x14.pcf.gz", [("pad_left", 1)]),
    ("vasc_8x15",  8, 15, "8x13.pcf.gz", [("pad_top", 1), ("pad_bottom", 1)]),
    ("vasc_9x16",  9, 16, "9x15.pcf.gz", [("pad_top", 1)]),
    ("vasc_12x16", 12, 16, "ter-u16b_unicode.pcf.gz", [("widen", 12)]),
]

# sha256 of each source as converted (Debian xfonts-base 1:1.0.5+nmu1,
# xfonts-terminus 4.48-3.1); --check names a source that has changed since
SOURCES = {
    "4x6.pcf.gz":  "88c91a3180ec40a2cbb8c40f89652374f32dd1c07086a36eb93107607ae893ac",
    "5x8.pcf.gz":  "e129dd288b1a2badff47051ea769987412f4229343fb207676a431fd3e319c49",
    "6x10.pcf.gz": "3818f55cfe3f945f9b309406663a01664c05c61b78827eb6bffd467da61d6e50",
    "7x13.pcf.gz": "c8fa6c463e8e71c8b139976b09baf0ed30ca0138c25a35a62e68aeb5e7e10cfb",
    "8x13.pcf.gz": "4b429fdefcf6ff1587469bf9aded01cbf3866ebb83661ec569224c398b93bcbc",
    "7x14.pcf.gz": "ed3db78cda10a4de4ed40f585b686f1ff14082427f5833c7127f701bb19e4fe8",
    "9x15.pcf.gz": "9a81a0f5daca752a34e8fa2571cbf28fdd49d55426633cc4416de02f8252df9c",
    "ter-u16b_unicode.pcf.gz": "0d9306117bf26218f6dd13a04e86431a90131de03483c2e15c4c03cdc2134970",
}

# === code page 437 ===
# A stock cp437 codec turns 0x01..0x1F and 0x7F into control characters; the
# glyphs the PC shows there are these.
LOWGLYPHS = ("\u0000\u263a\u263b\u2665\u2666\u2663\u2660\u2022\u25d8\u25cb\u25d9"
             "\u2642\u2640\u266a\u266b\u263c\u25ba\u25c4\u2195\u203c\u00b6\u00a7"
             "\u25ac\u21a8\u2191\u2193\u2192\u2190\u221f\u2194\u25b2\u25bc")
# second choices when a font lacks the first
ALTERNATES = {0x25ba: 0x25b6, 0x25c4: 0x25c0, 0x2022: 0x00b7}


def cp437(code):
    """Unicode code point shown for byte code, or None for a blank cell."""
    if code == 0:
        return None
    if code < 0x20:
        return ord(LOWGLYPHS[code])
    if code == 0x7F:
        return 0x2302
    if code == 0xFF:
        return None  # no-break space
    return ord(bytes([code]).decode("cp437"))


def joins_edges(code):
    """How padding treats a glyph: 0 blank, 1 repeat the edge (box drawing,
    blocks, the inverse bullet and circle, the integral halves, which touch
    the cell edges so that neighbours join), 2 continue the pattern (shades)."""
    if 0xB0 <= code <= 0xB2:
        return 2
    return 1 if 0xB3 <= code <= 0xDF or code in (0x08, 0x0A, 0xF4, 0xF5) else 0


# === PCF reader ===
# A PCF file is a table of contents (type, format, size, offset) followed by
# tables that each restate their format word: bit 2 set = big-endian numbers,
# bit 3 set = leftmost pixel in the high bit, bits 0-1 = row padding (1 << n
# bytes), bits 4-5 = scan unit, 0x100 = compressed (byte-sized) metrics.
PCF_ACCELERATORS = 1 << 1
PCF_METRICS = 1 << 2
PCF_BITMAPS = 1 << 3
PCF_BDF_ENCODINGS = 1 << 5
PCF_BDF_ACCELERATORS = 1 << 8


class PcfTable:
    def __init__(self, data, offset):
        self.data = data
        self.fmt = struct.unpack_from("<I", data, offset)[0]
        self.pos = offset + 4
        self.order = ">" if self.fmt & 4 else "<"

    def read(self, code):
        v = struct.unpack_from(self.order + code, self.data, self.pos)
        self.pos += struct.calcsize(code)
        return v if len(v) > 1 else v[0]


class PcfFont:
    """ascent, descent, width (of the widest glyph); glyph(codepoint) gives
    (left bearing, ascent, rows of 0/1) or None."""

    def __init__(self, path):
        data = gzip.open(path).read()
        if data[:4] != b"\x01fcp":
            raise ValueError(path + ": not a PCF font")
        toc = {}
        for i in range(struct.unpack_from("<I", data, 4)[0]):
            kind, _, _, offset = struct.unpack_from("<IIII", data, 8 + 16 * i)
            toc[kind] = offset
        self._accelerators(PcfTable(data, toc.get(PCF_BDF_ACCELERATORS, toc.get(PCF_ACCELERATORS))))
        self.metrics = self._metrics(PcfTable(data, toc[PCF_METRICS]))
        self.width = max(m[2] for m in self.metrics)
        self.bitmaps = self._bitmaps(PcfTable(data, toc[PCF_BITMAPS]))
        self.encoding = self._encodings(PcfTable(data, toc[PCF_BDF_ENCODINGS]))

    def _accelerators(self, t):
        t.pos += 8  # eight flag bytes
        self.ascent, self.descent = t.read("ii")

    def _metrics(self, t):
        out = []
        if t.fmt & 0x100:
            for _ in range(t.read("h")):
                out.append(tuple(b - 0x80 for b in t.data[t.pos:t.pos + 5]))
                t.pos += 5
        else:
            for _ in range(t.read("i")):
                out.append(t.read("hhhhhH")[:5])
        return out  # (left bearing, right bearing, advance, ascent, descent)

    def _bitmaps(self, t):
        count = t.read("i")
        offsets = [t.read("i") for _ in range(count)]
        t.pos += 16  # four total sizes, one per padding
        pad = 1 << (t.fmt & 3)
        unit = 1 << ((t.fmt >> 4) & 3)
        msbit = bool(t.fmt & 8)
        swap = unit > 1 and bool(t.fmt & 4) != msbit
        out = []
        for i in range(count):
            left, right, _, asc, desc = self.metrics[i]
            w, h = right - left, asc + desc
            stride = ((w + 7) // 8 + pad - 1) // pad * pad
            raw = bytearray(t.data[t.pos + offsets[i]:t.pos + offsets[i] + stride * h])
            if swap:
                for k in range(0, len(raw), unit):
                    raw[k:k + unit] = raw[k:k + unit][::-1]
            rows = []
            for y in range(h):
                line = raw[y * stride:(y + 1) * stride]
                if msbit:
                    rows.append([(line[x >> 3] >> (7 - (x & 7))) & 1 for x in range(w)])
                else:
                    rows.append([(line[x >> 3] >> (x & 7)) & 1 for x in range(w)])
            out.append(rows)
        return out

    def _encodings(self, t):
        min2, max2, min1, max1, _ = t.read("hhhhh")
        enc = {}
        for b1 in range(min1, max1 + 1):
            for b2 in range(min2, max2 + 1):
                index = t.read("H")
                if index != 0xFFFF:
                    enc[(b1 << 8) | b2] = index
        return enc

    def glyph(self, codepoint):
        index = self.encoding.get(codepoint)
        if index is None and codepoint in ALTERNATES:
            index = self.encoding.get(ALTERNATES[codepoint])
        if index is None:
            return None
        left, _, _, asc, _ = self.metrics[index]
        return left, asc, self.bitmaps[index]


# === cells ===

def source_cell(font, code):
    """The glyph of code in the source font's own cell (baseline at ascent);
    None when the font has no such glyph."""
    w, h = font.width, font.ascent + font.descent
    cell = [[0] * w for _ in range(h)]
    cp = cp437(code)
    if cp is None:
        return cell
    g = font.glyph(cp)
    if g is None:
        return None
    left, asc, rows = g
    for y, row in enumerate(rows):
        for x, bit in enumerate(row):
            cx, cy = left + x, font.ascent - asc + y
            if bit and 0 <= cx < w and 0 <= cy < h:
                cell[cy][cx] = 1
    return cell


def _period(lines):
    # smallest of 1, 2, 4 with which the lines repeat; 0 if none
    for p in (1, 2, 4):
        if len(lines) > p and all(lines[i] == lines[i + p] for i in range(len(lines) - p)):
            return p
    return 0


def _pad_rows(cell, n, top, stretch):
    w = len(cell[0])
    for _ in range(n):
        if not stretch:
            new = [0] * w
        else:
            p = (_period(cell) or 1) if stretch == 2 else 1
            new = list(cell[p - 1] if top else cell[-p])
        if top:
            cell.insert(0, new)
        else:
            cell.append(new)
    return cell


def _transpose(cell):
    return [list(col) for col in zip(*cell)]


def apply_changes(cell, changes, stretch):
    """Crops and pads a cell; stretch (see joins_edges) says whether the new
    rows and columns stay blank, repeat the edge or continue a shade."""
    for what, n in changes:
        if what == "crop_top":
            cell = cell[n:]
        elif what in ("pad_top", "pad_bottom"):
            cell = _pad_rows(cell, n, what == "pad_top", stretch)
        elif what in ("pad_left", "pad_right"):
            cell = _transpose(_pad_rows(_transpose(cell), n, what == "pad_left", stretch))
        elif what == "widen" and stretch == 2:
            cell = apply_changes(cell, [("pad_right", n - len(cell[0]))], stretch)
        elif what == "widen":
            w = len(cell[0])
            cell = [[v for c, v in enumerate(row) for _ in range((c + 1) * n // w - c * n // w)]
                    for row in cell]
    return cell


# Glyphs the 4x6 source lacks, drawn by hand ('#' ink); 3x5 like its letters.
HAND_4X6 = {
    0x01: ["....", "#.#.", "....", "#.#.", ".#..", "...."],   # white smiling face
    0x02: ["###.", ".#..", "###.", ".#..", "#.#.", "...."],   # black smiling face
    0x08: ["####", "####", "#..#", "#..#", "####", "####"],   # inverse bullet
    0x09: ["....", ".#..", "#.#.", ".#..", "....", "...."],   # white circle
    0x0A: ["####", "#.##", ".#.#", "#.##", "####", "####"],   # inverse white circle
    0x0B: ["..##", "...#", ".##.", "#.#.", ".#..", "...."],   # male sign
    0x0C: [".#..", "#.#.", ".#..", "###.", ".#..", "...."],   # female sign
    0x0F: ["#..#", ".##.", ".##.", "#..#", "....", "...."],   # sun
    0x10: ["#...", "##..", "###.", "##..", "#...", "...."],   # right-pointing triangle
    0x11: ["..#.", ".##.", "###.", ".##.", "..#.", "...."],   # left-pointing triangle
    0x13: ["#.#.", "#.#.", "#.#.", "....", "#.#.", "...."],   # double exclamation
    0x16: ["....", "....", "###.", "###.", "....", "...."],   # black rectangle
    0x17: [".#..", "###.", ".#..", "###.", ".#..", "###."],   # up-down arrow with base
    0x1E: ["....", "....", ".#..", "###.", "....", "...."],   # up-pointing triangle
    0x1F: ["....", "....", "###.", ".#..", "....", "...."],   # down-pointing triangle
    0x7F: [".#..", "#.#.", "#.#.", "###.", "....", "...."],   # house
}


def build_strip(fontdir, name, w, h, source, changes):
    """Rows of the strip (256 * h rows of w bits) for one font."""
    font = PcfFont(os.path.join(fontdir, source))
    rows = []
    for code in range(256):
        cell = source_cell(font, code)
        if cell is None and w == 4 and h == 6 and code in HAND_4X6:
            cell = [[1 if ch == "#" else 0 for ch in line] for line in HAND_4X6[code]]
        elif cell is None:
            raise ValueError("%s: no glyph for code 0x%02X in %s" % (name, code, source))
        else:
            cell = apply_changes(cell, changes, joins_edges(code))
        if len(cell) != h or any(len(r) != w for r in cell):
            raise ValueError("%s: code 0x%02X came out %dx%d" % (name, code, len(cell[0]), len(cell)))
        rows.extend(cell)
    return rows


# === outputs ===

def write_font6x8_inc(path, rows):
    """frame/font6x8.inc: 256 glyphs of 8 row bytes, bit 7 the leftmost pixel."""
    out = ["// font6x8.inc: code page 437 glyphs, 6x8 cells, written by assets/mkfonts.py",
           "// from assets/vasc_6x8.png (do not edit). Row bytes top to bottom, bit 7 is",
           "// the leftmost pixel, 6 columns used.",
           "static const unsigned char font6x8[256][8] = {"]
    for code in range(256):
        vals = []
        for y in range(8):
            b = 0
            for x in range(6):
                b |= rows[code * 8 + y][x] << (7 - x)
            vals.append("0x%02X" % b)
        out.append("    {%s}, // 0x%02X" % (",".join(vals), code))
    out.append("};")
    with open(path, "w") as f:
        f.write("\n".join(out) + "\n")


def generate(fontdir, outdir, incpath):
    for name, w, h, source, changes in FONTS:
        rows = build_strip(fontdir, name, w, h, source, changes)
        pngio.write_png(os.path.join(outdir, name + ".png"), rows, 1)
        if name == "vasc_6x8" and incpath:
            write_font6x8_inc(incpath, rows)


def check(fontdir):
    """Regenerates into a temp dir and compares decoded pixels; returns the
    exit code."""
    missing = [s for s in SOURCES if not os.path.exists(os.path.join(fontdir, s))]
    if missing:
        print("source fonts missing (%s): skipped" % ", ".join(missing))
        return SKIPPED
    for source, sha in SOURCES.items():
        with open(os.path.join(fontdir, source), "rb") as f:
            if hashlib.sha256(f.read()).hexdigest() != sha:
                print("note: %s is not the version the strips were made from" % source)
    bad = 0
    with tempfile.TemporaryDirectory() as tmp:
        generate(fontdir, tmp, None)
        for name, _, _, _, _ in FONTS:
            fresh = pngio.read_png(os.path.join(tmp, name + ".png"))[:3]
            kept = pngio.read_png(os.path.join(HERE, name + ".png"))[:3]
            if fresh != kept:
                print("%s.png differs from its regenerated pixels" % name)
                bad += 1
    print("%d passed, %d failed" % (len(FONTS) - bad, bad))
    return 1 if bad else 0


def main(argv):
    fontdir, outdir, mode = FONTDIR, HERE, "write"
    i = 1
    while i < len(argv):
        if argv[i] == "--fontdir":
            fontdir, i = argv[i + 1], i + 1
        elif argv[i] == "--out":
            outdir, i = argv[i + 1], i + 1
        elif argv[i] == "--check":
            mode = "check"
        else:
            print(__doc__ or "usage: mkfonts.py [--out DIR] [--fontdir DIR] [--check]")
            return 2
        i += 1
    if mode == "check":
        return check(fontdir)
    inc = os.path.join(ROOT, "frame", "font6x8.inc") if outdir == HERE else None
    generate(fontdir, outdir, inc)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
