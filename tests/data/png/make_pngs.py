#!/usr/bin/env python3
# make_pngs.py: writes the PNG test pictures of this folder and expected.txt.
# An encoder on top of assets/pngio.py (python3 zlib and struct only): row filters,
# Adam7, bit packing, and besides zlib hand-made stored, fixed-Huffman and
# dynamic-Huffman deflate streams. The expected pixels come from what this
# script encoded, converted to 0xAARRGGBB as the decoder promises.
# Run it from anywhere; review the diff of the output before committing.
import os, struct, sys, zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, '..', '..', '..', 'assets'))
from pngio import SIGNATURE, chunk, pack_samples as pack, paeth  # noqa: E402
FILL = 0x5A5A5A5A          # the test fills every target with this before decoding
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]
CHANS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}

class Lcg:
    def __init__(self, seed): self.s = seed & 0xFFFFFFFF
    def next(self, n):
        self.s = (self.s * 1103515245 + 12345) & 0xFFFFFFFF
        return (self.s >> 8) % n

def stream(seed, count, n):          # count values below n from one generator
    g = Lcg(seed)
    return [g.next(n) for _ in range(count)]

# === deflate writers ===
class Bits:
    def __init__(self): self.out, self.acc, self.n = bytearray(), 0, 0
    def put(self, v, n):                       # n bits, lowest first
        self.acc |= v << self.n; self.n += n
        while self.n >= 8:
            self.out.append(self.acc & 255); self.acc >>= 8; self.n -= 8
    def code(self, c, n):                      # a Huffman code, highest bit first
        self.put(int(format(c, '0%db' % n)[::-1], 2) if n else 0, n)
    def align(self):
        if self.n: self.put(0, 8 - self.n)
    def done(self): self.align(); return bytes(self.out)

LENBASE = [3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258]
LENEXT = [0] * 8 + [1] * 4 + [2] * 4 + [3] * 4 + [4] * 4 + [5] * 4 + [0]
DISTBASE = [1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513, 769, 1025, 1537,
            2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577]
DISTEXT = [0, 0, 0, 0] + [k // 2 for k in range(2, 28)]

def lensym(n):
    i = max(k for k in range(29) if LENBASE[k] <= n) if n < 258 else 28
    return 257 + i, n - LENBASE[i], LENEXT[i]

def distsym(d):
    i = max(k for k in range(30) if DISTBASE[k] <= d)
    return i, d - DISTBASE[i], DISTEXT[i]

def tokens(data, start, end, matches=True):
    """greedy LZ77 over data[start:end], matches may reach back before start"""
    heads, out, i = {}, [], start
    for j in range(max(0, start - 32768), start - 2):
        heads.setdefault(data[j:j + 3], []).append(j)
    while i < end:
        best, bd = 0, 0
        if matches and i + 3 <= end:
            for j in reversed(heads.get(data[i:i + 3], [])[-8:]):
                if i - j > 32768: break
                n = 0
                while n < 258 and i + n < end and data[j + n] == data[i + n]: n += 1
                if n > best: best, bd = n, i - j
        step = best if best >= 3 else 1
        out.append(('M', best, bd) if best >= 3 else ('L', data[i]))
        for k in range(i, i + step):
            if k + 3 <= len(data): heads.setdefault(data[k:k + 3], []).append(k)
        i += step
    return out

def canon(lens):
    count = [0] * 16
    for l in lens:
        if l: count[l] += 1
    nxt, code = [0] * 16, 0
    for l in range(1, 16):
        code = (code + count[l - 1]) << 1
        nxt[l] = code
    codes = [0] * len(lens)
    for s, l in enumerate(lens):
        if l: codes[s] = nxt[l]; nxt[l] += 1
    return codes

def hufflens(freqs, maxlen):
    freqs = list(freqs)
    while True:
        live = [(f, [s]) for s, f in enumerate(freqs) if f > 0]
        lens = [0] * len(freqs)
        if len(live) == 1: lens[live[0][1][0]] = 1; return lens
        while len(live) > 1:
            live.sort(key=lambda t: (t[0], t[1][0]))
            (fa, sa), (fb, sb) = live[0], live[1]
            for s in sa + sb: lens[s] += 1
            live = live[2:] + [(fa + fb, sa + sb)]
        if max(lens) <= maxlen: return lens
        freqs = [f // 2 + 1 if f else 0 for f in freqs]

def puttokens(b, toks, ll, lc, dl, dc):
    for t in toks:
        if t[0] == 'L': b.code(lc[t[1]], ll[t[1]]); continue
        s, ev, en = lensym(t[1]); b.code(lc[s], ll[s]); b.put(ev, en)
        s, ev, en = distsym(t[2]); b.code(dc[s], dl[s]); b.put(ev, en)
    b.code(lc[256], ll[256])

FIXLL = [8] * 144 + [9] * 112 + [7] * 24 + [8] * 8
FIXDL = [5] * 32

def fixedblock(b, toks, last):
    b.put(last, 1); b.put(1, 2)
    puttokens(b, toks, FIXLL, canon(FIXLL), FIXDL, canon(FIXDL))

def rlelens(lens):
    out, i = [], 0
    while i < len(lens):
        l, run = lens[i], 1
        while i + run < len(lens) and lens[i + run] == l: run += 1
        i += run
        if l == 0:
            while run >= 11: r = min(run, 138); out.append((18, r - 11, 7)); run -= r
            if run >= 3: out.append((17, run - 3, 3)); run = 0
        else:
            out.append((l, 0, 0)); run -= 1
            while run >= 3: r = min(run, 6); out.append((16, r - 3, 2)); run -= r
        out += [(l, 0, 0)] * run
    return out

def dynblock(b, toks, last):
    lf, df = [0] * 286, [0] * 30
    lf[256] = 1
    for t in toks:
        if t[0] == 'L': lf[t[1]] += 1
        else: lf[lensym(t[1])[0]] += 1; df[distsym(t[2])[0]] += 1
    ll = hufflens(lf, 15)
    dl = hufflens(df, 15) if any(df) else [1]      # a lone one-bit distance code when unused
    hlit = max(257, max(s for s in range(286) if ll[s]) + 1)
    hdist = max(1, max([s + 1 for s in range(len(dl)) if dl[s]] or [1]))
    rle = rlelens(ll[:hlit] + dl[:hdist] + [0] * (hdist - len(dl)))
    cf = [0] * 19
    for s, _, _ in rle: cf[s] += 1
    cl = hufflens(cf, 7)
    order = [16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15]
    hclen = max(4, max(k + 1 for k in range(19) if cl[order[k]]))
    b.put(last, 1); b.put(2, 2); b.put(hlit - 257, 5); b.put(hdist - 1, 5); b.put(hclen - 4, 4)
    for k in range(hclen): b.put(cl[order[k]], 3)
    cc = canon(cl)
    for s, ev, en in rle: b.code(cc[s], cl[s]); b.put(ev, en)
    puttokens(b, toks, ll, canon(ll), dl + [0] * 30, canon(dl + [0] * 30))

def storedblock(b, data, last):
    b.put(last, 1); b.put(0, 2); b.align()
    for byte in struct.pack('<HH', len(data), len(data) ^ 0xFFFF) + data: b.put(byte, 8)

def handmade(data, plan, header=b'\x78\x01'):
    """plan: list of (kind, fraction of the data); kinds 's' stored, 'f' fixed, 'd' dynamic, 'l' dynamic literals only"""
    b, pos = Bits(), 0
    for k, (kind, frac) in enumerate(plan):
        last = k == len(plan) - 1
        end = len(data) if last else pos + int(len(data) * frac)
        if kind == 's':
            while end - pos > 65535: storedblock(b, data[pos:pos + 65535], 0); pos += 65535
            storedblock(b, data[pos:end], int(last))
        elif kind == 'f': fixedblock(b, tokens(data, pos, end), int(last))
        else: dynblock(b, tokens(data, pos, end, kind == 'd'), int(last))
        pos = end
    return header + b.done() + struct.pack('>I', zlib.adler32(data))

# === PNG writer ===

def filt(raw, prev, bpp, f):
    out = bytearray([f])
    for i, x in enumerate(raw):
        a = raw[i - bpp] if i >= bpp else 0
        b = prev[i] if prev else 0
        c = prev[i - bpp] if prev and i >= bpp else 0
        if f == 0: p = 0
        elif f == 1: p = a
        elif f == 2: p = b
        elif f == 3: p = (a + b) >> 1
        else: p = paeth(a, b, c)
        out.append((x - p) & 255)
    return out

def passes(w, h, interlaced):
    if not interlaced: return [(0, 0, 1, 1)]
    return [(x0, y0, dx, dy) for (x0, y0, dx, dy) in ADAM7 if x0 < w and y0 < h]

def rowfilter(mode, k):
    if isinstance(mode, int): return mode
    if mode == 'mix': return [0, 1, 2, 3, 4, 4, 2, 1][k % 8]
    if mode == '1then3': return 1 if k == 0 else 3
    return mode[k % len(mode)]

def filtersummary(fs):
    if not fs: return 255
    if all(f == fs[0] for f in fs): return fs[0]
    return 3 if fs[0] == 1 and all(f == 3 for f in fs[1:]) else 5

# === one picture ===
def argb(c, ct, bd, pal, trns, px):
    top = (1 << bd) - 1
    if ct == 0:
        g = px[0] * (255 // top)
        return (0 if trns == px[0] else 255) << 24 | g * 0x010101
    if ct == 3:
        r, g, b = pal[px[0]]
        return (trns[px[0]] if px[0] < len(trns) else 255) << 24 | r << 16 | g << 8 | b
    if ct == 4: return px[1] << 24 | px[0] * 0x010101
    if ct == 2:
        rgb = px[0] << 16 | px[1] << 8 | px[2]
        return rgb if trns == tuple(px) else rgb | 0xFF000000
    return px[3] << 24 | px[0] << 16 | px[1] << 8 | px[2]

def fnv(words):
    h = 0xCBF29CE484222325
    for w in words:
        for k in range(4):
            h = ((h ^ (w >> (8 * k) & 255)) * 0x100000001B3) & 0xFFFFFFFFFFFFFFFF
    return h

def make(name, w, h, ct, bd, pixel, filters=0, interlaced=False, pal=None, trns=None, bkgd=None,
         comp=('zlib', 9), split=None, extra=b'', targets=None, stream_hook=None, tailchunks=b''):
    px = [[pixel(x, y) for x in range(w)] for y in range(h)]
    bitspp = CHANS[ct] * bd
    bpp = max(1, bitspp // 8)
    raw, fs, order = bytearray(), [], []
    for (x0, y0, dx, dy) in passes(w, h, interlaced):
        prev = None
        for y in range(y0, h, dy):
            samples = [s for x in range(x0, w, dx) for s in px[y][x]]
            row = pack(samples, bd)
            f = rowfilter(filters, len(fs))
            raw += filt(row, prev, bpp, f)
            fs.append(f); order.append((interlaced and x0 == 0 and y0 == 1 or not interlaced, y))
            prev = row
    kind, arg = comp
    if kind == 'zlib': z = zlib.compress(bytes(raw), arg); nhuf = -1
    else: z = handmade(bytes(raw), arg); nhuf = sum(1 for k, _ in arg if k in 'dl')
    assert zlib.decompress(z) == bytes(raw), name          # the hand-made stream is sound deflate
    if stream_hook: z = stream_hook(z, bytes(raw))
    ihdr = struct.pack('>IIBBBBB', w, h, bd, ct, 0, 0, int(interlaced))
    body = chunk(b'IHDR', ihdr) + extra
    if pal: body += chunk(b'PLTE', b''.join(bytes(c) for c in pal))
    if trns is not None:
        if ct == 3: body += chunk(b'tRNS', bytes(trns))
        elif ct == 0: body += chunk(b'tRNS', struct.pack('>H', trns))
        else: body += chunk(b'tRNS', struct.pack('>HHH', *trns))
    if bkgd is not None:
        body += chunk(b'bKGD', bytes([bkgd]) if ct == 3 else struct.pack('>H', bkgd) if ct in (0, 4)
                      else struct.pack('>HHH', *bkgd))
    pieces = [z] if not split else [b''] + [z[i:i + split] for i in range(0, len(z), split)] + [b'']
    body += b''.join(chunk(b'IDAT', p) for p in pieces) + tailchunks + chunk(b'IEND', b'')
    with open(os.path.join(HERE, name), 'wb') as fh: fh.write(SIGNATURE + body)
    # --- expectations: one line per target ---
    paleng = (1 << bd) if ct in (0, 4) else len(pal) if pal else 0
    if ct == 0: bak = argb(0, 0, bd, None, None, (bkgd,)) | 0xFF000000 if bkgd is not None else 0
    elif ct == 4: bak = 0xFF000000 | bkgd * 0x010101 if bkgd is not None else 0
    elif ct == 3: bak = argb(0, 3, bd, pal, trns or [], (bkgd,)) if bkgd is not None else 0
    else: bak = 0xFF000000 | bkgd[0] << 16 | bkgd[1] << 8 | bkgd[2] if bkgd is not None else 0
    lines = []
    for (tw, th, xo, yo, result) in targets or [(w, h, 0, 0, 0)]:
        tgt = [FILL] * (tw * th)
        for y in range(h):
            for x in range(w):
                if 0 <= x + xo < tw and 0 <= y + yo < th:
                    tgt[(y + yo) * tw + x + xo] = argb(0, ct, bd, pal, trns if trns is not None else [], px[y][x])
        done = []                  # rows the decoder unfilters before it stops at the target's height
        for f, (final, y) in zip(fs, order):
            if final and y + yo >= th: break
            done.append(f)
        lines.append('%-22s %4d %4d %4d %4d %3d %3d %2d %d %d %3d %3d %2d 0x%08X 0x%04X 0x%016X' % (
            name, w, h, tw, th, xo, yo, result, ct, bd, paleng, filtersummary(done), nhuf, bak,
            z[0] << 8 | z[1], fnv(tgt)))
    return lines

# === the pictures ===
def grey(bd, seed=1):
    top = (1 << bd) - 1
    def f(x, y): return ((x * 3 + y * 5 + Lcg(seed + x * 131 + y * 977).next(3)) % (top + 1),)
    return f

def rgb(x, y): return ((x * 16 + y) & 255, (y * 20 + 7) & 255, (x * y * 3 + Lcg(x + 50 * y).next(40)) & 255)
def rgba(x, y): return rgb(x, y) + (((x + y) * 37) & 255,)
def greya(x, y): return (((x * 9) ^ (y * 4)) & 255, (255 - x * 11 - y) & 255)
def palpx(n):
    def f(x, y): return ((x + 2 * y + (x * y) // 3) % n,)
    return f
PAL16 = [(k * 16, 255 - k * 15, (k * 71) & 255) for k in range(16)]

def main():
    L = []
    # --- every colour type at every legal depth, plain and interlaced ---
    for bd in (1, 2, 4, 8):
        L += make('grey%d.png' % bd, 13, 7, 0, bd, grey(bd), filters='mix')
        L += make('grey%d_i.png' % bd, 17, 13, 0, bd, grey(bd, 7), filters='mix', interlaced=True)
        n = 1 << bd if bd < 8 else 200
        pal = [PAL16[k % 16][:2] + ((k * 29) & 255,) for k in range(n)]
        L += make('pal%d.png' % bd, 11, 9, 3, bd, palpx(n), pal=pal, filters=0)
        L += make('pal%d_i.png' % bd, 9, 10, 3, bd, palpx(n), pal=pal, interlaced=True, filters=1)
    for name, ct, fn in (('rgb8', 2, rgb), ('greya8', 4, greya), ('rgba8', 6, rgba)):
        L += make(name + '.png', 19, 11, ct, 8, fn, filters='mix')
        L += make(name + '_i.png', 23, 21, ct, 8, fn, filters='mix', interlaced=True)
    # --- each filter forced, at 1, 2 (grey+alpha), 3 and 4 bytes per pixel and below a byte ---
    for f in range(5):
        L += make('filt%d_rgba.png' % f, 15, 9, 6, 8, rgba, filters=f)
        L += make('filt%d_rgb.png' % f, 9, 6, 2, 8, rgb, filters=f)
        L += make('filt%d_greya.png' % f, 8, 8, 4, 8, greya, filters=f)
        L += make('filt%d_grey2.png' % f, 21, 5, 0, 2, grey(2), filters=f)
        L += make('filt%d_i.png' % f, 10, 10, 6, 8, rgba, filters=f, interlaced=True)
    L += make('filt_1then3.png', 12, 6, 2, 8, rgb, filters='1then3')
    L += make('filt_113.png', 12, 6, 2, 8, rgb, filters=[1, 1, 3, 3, 3, 3])
    L += make('filt_131.png', 12, 6, 2, 8, rgb, filters=[1, 3, 3, 1, 3, 3])
    # --- Adam7 on small sizes, where passes are empty ---
    for (w, h) in ((1, 1), (2, 1), (1, 5), (3, 3), (5, 2), (8, 8), (9, 1)):
        L += make('adam_%dx%d.png' % (w, h), w, h, 6, 8, rgba, filters='mix', interlaced=True)
    # --- transparency and background ---
    L += make('pal4_trns.png', 10, 10, 3, 4, palpx(6), pal=PAL16[:6], trns=[0, 128, 255])
    L += make('pal2_trnslong.png', 7, 3, 3, 2, palpx(3), pal=PAL16[:3], trns=[10, 20, 30, 40, 50, 60])
    L += make('grey2_trns.png', 9, 4, 0, 2, grey(2), trns=2)
    L += make('grey8_trns.png', 9, 4, 0, 8, lambda x, y: ((x * 40) & 255,), trns=80)
    L += make('rgb8_trns.png', 6, 6, 2, 8, lambda x, y: ((x & 1) * 200, y * 10, 30), trns=(200, 20, 30))
    L += make('grey4_bkgd.png', 5, 5, 0, 4, grey(4), bkgd=9)
    L += make('greya8_bkgd.png', 5, 5, 4, 8, greya, bkgd=77)
    L += make('rgb8_bkgd.png', 5, 5, 2, 8, rgb, bkgd=(1, 2, 250))
    L += make('rgba8_bkgd.png', 5, 5, 6, 8, rgba, bkgd=(255, 128, 0))
    L += make('pal4_bkgd.png', 5, 5, 3, 4, palpx(6), pal=PAL16[:6], trns=[0, 99], bkgd=1)
    L += make('rgb8_plte.png', 4, 4, 2, 8, rgb, pal=PAL16[:5])                  # suggested palette only
    # --- deflate: zlib levels and hand-made streams ---
    big = lambda x, y: (x * y & 255, (x + y * 7) & 255, Lcg(x * 1000 + y).next(4) * 60, 255 - x)
    for lvl in (0, 1, 9):
        L += make('zlib%d.png' % lvl, 160, 120, 6, 8, big, filters='mix', comp=('zlib', lvl))
    L += make('hand_stored.png', 64, 70, 6, 8, big, comp=('hand', [('s', 1)]))
    L += make('hand_fixed.png', 64, 70, 6, 8, big, filters=2, comp=('hand', [('f', 1)]))
    L += make('hand_dynamic.png', 64, 70, 6, 8, big, filters=4, comp=('hand', [('d', 1)]))
    L += make('hand_mixed.png', 64, 70, 6, 8, big, filters='mix',
              comp=('hand', [('d', .2), ('s', .2), ('f', .2), ('d', .2), ('s', .2)]))
    geo = stream(5, 128 * 128, 1 << 15)         # value k with chance 2^-(k+1): codes up to 15 bits
    skew = lambda x, y: (min(14, geo[y * 128 + x].bit_length() ^ 15),)
    L += make('hand_longcodes.png', 128, 128, 0, 8, skew, comp=('hand', [('l', 1)]))
    noise = stream(9, 128 * 255, 256)            # rows 128.. repeat rows 0..: distance 32768
    rnd = lambda x, y: (noise[(y % 128) * 255 + x],)
    L += make('window32k.png', 255, 256, 0, 8, rnd, comp=('hand', [('f', .5), ('d', .5)]))
    L += make('idat_split.png', 30, 20, 6, 8, rgba, filters='mix', split=7)
    L += make('unknown_chunks.png', 6, 6, 2, 8, rgb, extra=chunk(b'tEXt', b'a\0b') + chunk(b'zzZz', b'x' * 40))
    # --- clipping and early stop ---
    clips = [(7, 5, -3, -2, 0), (20, 20, 4, 3, 0), (40, 9, 30, 0, 0), (12, 6, -20, 0, 0), (19, 4, 0, 0, 0)]
    L += make('clip_rgba.png', 19, 11, 6, 8, rgba, filters='mix', targets=clips)
    L += make('clip_pal1_i.png', 19, 11, 3, 1, palpx(2), pal=PAL16[:2], interlaced=True, filters='mix',
              targets=clips + [(19, 1, 0, 0, 0), (19, 2, 0, -5, 0)])
    def garbage(z, raw):          # a first stored block of 20000 bytes, then a reserved block type
        b = Bits(); storedblock(b, raw[:20000], 0); b.put(7, 3)
        return z[:2] + b.done()
    L += make('earlystop.png', 64, 100, 6, 8, big, comp=('zlib', 0), stream_hook=garbage,
              targets=[(64, 10, 0, 0, 0), (64, 30, 0, -20, 0), (64, 100, 0, 0, -1)])
    # --- pictures like the program's own ---
    font = lambda x, y: (1 if ((y * 7 + x * 3) % 11) < 4 and x < 5 else 0,)
    L += make('font6x8.png', 6, 2048, 0, 1, font, comp=('zlib', 9))
    helppal = [(255, 0, 255), (255, 255, 255), (200, 40, 40), (40, 200, 40), (40, 40, 200), (128, 128, 128)]
    L += make('help84x480.png', 84, 480, 3, 4, lambda x, y: (((x // 6) ^ (y // 10)) % 6 if (x + y) % 13 else 0,),
              pal=helppal, trns=[0])
    L += make('buttons50x14.png', 50, 14, 3, 4, lambda x, y: ((x // 17 + (1 if 3 < y < 10 and x % 17 > 3 else 0)) % 4,),
              pal=[(0, 0, 0), (192, 192, 192), (255, 255, 255), (64, 64, 64)], trns=[0])
    with open(os.path.join(HERE, 'expected.txt'), 'w') as fh:
        fh.write('# written by make_pngs.py; a target is filled with 0x%08X, then decoded into\n' % FILL)
        fh.write('# name w h targetw targeth xoff yoff result coltype bitdepth paleng filtype '
                 'numhufblocks(-1 unknown) bakcol zlibflags fnv1a64(target)\n')
        fh.write('\n'.join(L) + '\n')

main()
