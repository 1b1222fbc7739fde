# pngio.py: the little PNG writer and reader shared by the asset scripts and
# the test pictures (tests/data/png/make_pngs.py uses its chunks, sample
# packing and Paeth predictor). Writes 1-bit grey and 4-bit palette images
# (non-interlaced, filter 0) with zlib and struct only; reads back what it
# writes plus 8-bit grey/palette with the five row filters, enough to compare
# regenerated pictures. Pixels are lists of rows of small integers (grey
# level bit or palette index).

import struct
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"


# === writing ===

def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def pack_samples(samples, depth):
    """samples of depth bits packed high bits first; the last byte padded with 0"""
    if depth == 8:
        return bytes(samples)
    out, acc, n = bytearray(), 0, 0
    for s in samples:
        acc = acc << depth | (s & ((1 << depth) - 1))
        n += depth
        if n == 8:
            out.append(acc)
            acc, n = 0, 0
    if n:
        out.append(acc << (8 - n))
    return bytes(out)


def _pack_rows(rows, depth):
    # each row: filter byte 0, then its samples
    return b"".join(b"\0" + pack_samples(row, depth) for row in rows)


def write_png(path, rows, depth, palette=None, alpha=None):
    """rows: list of equal-length lists; palette: list of (r, g, b) for colour
    type 3, else grey (type 0); alpha: list of alpha bytes for tRNS."""
    height = len(rows)
    width = len(rows[0])
    ctype = 3 if palette else 0
    data = SIGNATURE
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, ctype, 0, 0, 0))
    if palette:
        data += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
        if alpha:
            data += chunk(b"tRNS", bytes(alpha))
    data += chunk(b"IDAT", zlib.compress(_pack_rows(rows, depth), 9))
    data += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


# === reading ===

def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def _unfilter(raw, stride, height, bpp):
    rows = []
    prev = bytearray(stride)
    pos = 0
    for _ in range(height):
        ft = raw[pos]
        line = bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if ft == 1:
                line[i] = (line[i] + a) & 255
            elif ft == 2:
                line[i] = (line[i] + b) & 255
            elif ft == 3:
                line[i] = (line[i] + ((a + b) >> 1)) & 255
            elif ft == 4:
                line[i] = (line[i] + paeth(a, b, c)) & 255
        rows.append(line)
        prev = line
    return rows


def read_png(path):
    """Returns (width, height, rows of sample values, palette, alpha) for
    non-interlaced grey or palette images of 1, 2, 4 or 8 bits."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != SIGNATURE:
        raise ValueError(path + ": not a PNG")
    pos = 8
    idat = b""
    palette, alpha = None, None
    while pos + 8 <= len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        pos += 12 + n
        if kind == b"IHDR":
            width, height, depth, ctype, _, _, inter = struct.unpack(">IIBBBBB", body)
            if ctype not in (0, 3) or inter != 0 or depth > 8:
                raise ValueError(path + ": unsupported PNG form")
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, n, 3)]
        elif kind == b"tRNS":
            alpha = list(body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    stride = (width * depth + 7) // 8
    lines = _unfilter(zlib.decompress(idat), stride, height, 1)
    mask = (1 << depth) - 1
    rows = []
    for line in lines:
        row = []
        for x in range(width):
            bit = x * depth
            row.append((line[bit >> 3] >> (8 - depth - (bit & 7))) & mask)
        rows.append(row)
    return width, height, rows, palette, alpha
