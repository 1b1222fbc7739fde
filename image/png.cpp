// png.cpp: the PNG decoder behind vpgetdim and vprender: chunk walk, inflate
// (stored, fixed and dynamic blocks, 32 KB window), the five row filters,
// Adam7, and every colour type at 1, 2, 4 and 8 bits into 0xAARRGGBB pixels.
// Depends on the C library only. Limits: 16-bit samples are refused; CRCs and
// the Adler-32 trailer are not checked; the other picture formats (JPEG, GIF,
// BMP, PCX, DDS, TGA) are not needed by the program and are not decoded.
#include "image/image.h"
#include <stdlib.h>
#include <string.h>

// === results of the last decode ===
int32_t coltype, bitdepth, paleng;
uint32_t palcol[256];
uint32_t bakcol;
int32_t filtype = 255, numhufblocks, zlibcompflags;

// === private state ===
enum {
    WINSIZ = 32768,      // deflate window, bytes
    FLUSHSIZ = 16384,    // decompressed bytes handed to the row stage at a time
    LITFAST = 9,         // bits resolved at once for literal/length codes
    DISTFAST = 6,        // bits resolved at once for distance codes
    MAXCODELEN = 15,     // longest deflate code
};
static const uint32_t NOKEY = 0xFFFFFFFF;          // no tRNS colour key
static const uint8_t pngsig[8] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};

struct hufftab {
    uint16_t fast[1 << LITFAST];    // next fastbits of input -> (length << 12) | symbol; 0: slow path
    uint16_t count[MAXCODELEN + 1]; // number of codes of each length
    uint16_t sym[288];              // symbols in canonical code order
    int32_t fastbits;               // LITFAST, DISTFAST or 7 for the code-length code
};

static struct {                     // inflate: input, bit buffer, window
    const uint8_t *dat;             // whole file
    int64_t datlen;
    int64_t ip, idatend;            // next byte and end of the current IDAT's data
    uint64_t bitbuf;                // unread bits, next one lowest
    int32_t nbits, padbits;         // bits in bitbuf; of them, zeros added past the input's end
    int32_t overrun;                // 1: a padding bit was consumed (stream truncated)
    uint8_t win[WINSIZ];            // last 32 KB of output
    uint32_t wpos;                  // output count modulo 2^32 (window index = wpos & (WINSIZ-1))
    int64_t total;                  // output count
    hufftab lit, dist;              // tables of the current dynamic block
    hufftab fixlit, fixdist;        // tables of fixed blocks, built once
    int32_t fixbuilt;
} inf;

static struct {                     // row stage: target, image layout, pass, rows
    intptr_t f;                     // target pixel (0, 0)
    int64_t p;                      // target pitch, bytes
    int32_t tw, th, xoff, yoff;     // target clip size and placement of the picture
    int32_t w, h;                   // picture size
    int32_t bitspp, bpp;            // bits per pixel; bytes per pixel for filtering (at least 1)
    int32_t npasses, pass;          // 7 interlaced, 1 plain; current pass
    int32_t x0, y0, dx, dy, pw, ph; // current pass: origin, steps, size in pixels
    int32_t row;                    // row within the pass
    int64_t rowbytes, have;         // bytes of a row with its filter byte; gathered so far
    uint8_t *cur, *prev;            // [rowbytes of the full width] row being built, row above
    int32_t prevok;                 // 0 on a pass's first row: the row above counts as zeros
    int32_t rowsdone;               // rows unfiltered so far (for filtype)
    uint32_t key;                   // tRNS colour key 0x00RRGGBB of RGB images, NOKEY if none
    int32_t done;                   // 1: every row handled, or the target's height reached
} rs;

static const uint8_t adam7[7][4] = {  // x0, y0, dx, dy of each pass
    {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
static const uint8_t noadam[1][4] = {{0, 0, 1, 1}};

static uint32_t be32(const uint8_t *p) {
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}
static uint32_t be16(const uint8_t *p) { return (uint32_t)p[0] << 8 | p[1]; }

// === row stage: filters, pixel conversion, passes ===

// moves to pass number pass, or the next one that has pixels; 1 when none is left
static int32_t startpass(int32_t pass) {
    for (; pass < rs.npasses; pass++) {
        const uint8_t *a = rs.npasses == 7 ? adam7[pass] : noadam[0];
        rs.x0 = a[0]; rs.y0 = a[1]; rs.dx = a[2]; rs.dy = a[3];
        rs.pw = rs.x0 < rs.w ? (rs.w - rs.x0 + rs.dx - 1) / rs.dx : 0;
        rs.ph = rs.y0 < rs.h ? (rs.h - rs.y0 + rs.dy - 1) / rs.dy : 0;
        if (rs.pw == 0 || rs.ph == 0) continue;     // origin outside the picture: no bytes
        rs.pass = pass; rs.row = 0; rs.have = 0; rs.prevok = 0;
        rs.rowbytes = ((int64_t)rs.pw * rs.bitspp + 7) / 8 + 1;
        return 0;
    }
    return 1;
}

// the last pass stops once the row it would produce falls below the target
static int32_t pastheight(void) {
    return rs.pass == rs.npasses - 1 && rs.y0 + (int64_t)rs.row * rs.dy + rs.yoff >= rs.th;
}

// undoes the row's filter in place: cur[1..] becomes the raw bytes
static int32_t unfilter(void) {
    uint8_t *c = rs.cur + 1;
    const uint8_t *u = rs.prev + 1;
    int64_t n = rs.rowbytes - 1, b = rs.bpp, i;
    switch (rs.cur[0]) {
    case 0: break;
    case 1: for (i = b; i < n; i++) c[i] += c[i - b]; break;                  // Sub: + left
    case 2: if (rs.prevok) for (i = 0; i < n; i++) c[i] += u[i]; break;     // Up: + above
    case 3:                                                                 // Average
        for (i = 0; i < n; i++) {
            int32_t l = i >= b ? c[i - b] : 0, a = rs.prevok ? u[i] : 0;
            c[i] += (uint8_t)((l + a) >> 1);
        }
        break;
    case 4:                                                                 // Paeth
        for (i = 0; i < n; i++) {
            int32_t l = i >= b ? c[i - b] : 0, a = rs.prevok ? u[i] : 0;
            int32_t ul = i >= b && rs.prevok ? u[i - b] : 0;
            int32_t pl = abs(a - ul), pa = abs(l - ul), pul = abs(l + a - 2 * ul);
            c[i] += (uint8_t)(pl <= pa && pl <= pul ? l : pa <= pul ? a : ul);
        }
        break;
    default: return -1;                                                     // no such filter
    }
    return 0;
}

// filtype: first row's filter while all agree, 3 for a 1 followed only by 3s, else 5
static void notefilter(int32_t f) {
    if (rs.rowsdone == 0) filtype = f;
    else if (f != filtype) filtype = rs.rowsdone == 1 && filtype == 1 && f == 3 ? 3 : 5;
    rs.rowsdone++;
}

// pixel i of the raw row r as 0xAARRGGBB
static uint32_t getpix(const uint8_t *r, int64_t i) {
    const uint8_t *s;
    switch (coltype) {
    case 2: {
        s = r + i * 3;
        uint32_t c = (uint32_t)s[0] << 16 | s[1] << 8 | s[2];
        return c == rs.key ? c : c | 0xFF000000;
    }
    case 4: s = r + i * 2; return (palcol[s[0]] & 0xFFFFFF) | (uint32_t)s[1] << 24;
    case 6: s = r + i * 4; return (uint32_t)s[3] << 24 | (uint32_t)s[0] << 16 | s[1] << 8 | s[2];
    default: {                                                              // 0, 3: palette index
        if (bitdepth == 8) return palcol[r[i]];
        int64_t bit = i * bitdepth;
        return palcol[(r[bit >> 3] >> (8 - bitdepth - (bit & 7))) & ((1 << bitdepth) - 1)];
    }
    }
}

// writes the finished row's pixels that fall inside the target
static void putrow(void) {
    int64_t y = rs.y0 + (int64_t)rs.row * rs.dy + rs.yoff;
    if (y < 0 || y >= rs.th) return;
    intptr_t line = rs.f + (intptr_t)(y * rs.p);
    for (int32_t i = 0; i < rs.pw; i++) {
        int64_t x = rs.x0 + (int64_t)i * rs.dx + rs.xoff;
        if (x < 0 || x >= rs.tw) continue;
        uint32_t c = getpix(rs.cur + 1, i);
        memcpy((void *)(line + (intptr_t)x * 4), &c, 4);
    }
}

static int32_t rowdone(void) {
    if (unfilter() < 0) return -1;
    notefilter(rs.cur[0]);
    putrow();
    uint8_t *t = rs.cur; rs.cur = rs.prev; rs.prev = t;
    rs.prevok = 1; rs.have = 0; rs.row++;
    if (rs.row >= rs.ph && startpass(rs.pass + 1)) rs.done = 1;
    else if (pastheight()) rs.done = 1;
    return 0;
}

// takes n decompressed bytes; 1 when no more are wanted, 0 for more, -1 bad row
static int32_t rowfeed(const uint8_t *p, int32_t n) {
    while (!rs.done && n > 0) {
        int64_t k = rs.rowbytes - rs.have;
        if (k > n) k = n;
        memcpy(rs.cur + rs.have, p, (size_t)k);
        rs.have += k; p += k; n -= (int32_t)k;
        if (rs.have == rs.rowbytes && rowdone() < 0) return -1;
    }
    return rs.done;
}

// === inflate: input and bits ===

// next byte of the compressed stream, running on into following IDAT chunks; -1 at its end
static int32_t getbyte(void) {
    while (inf.ip >= inf.idatend) {
        int64_t c = inf.idatend + 4;                         // past the CRC
        if (c + 8 > inf.datlen) return -1;
        if (memcmp(inf.dat + c + 4, "IDAT", 4)) return -1;   // the image data ends here
        uint32_t len = be32(inf.dat + c);
        if (len > inf.datlen - c - 8) return -1;             // lying length: the stream ends
        inf.ip = c + 8;
        inf.idatend = c + 8 + len;
    }
    return inf.dat[inf.ip++];
}

// tops the bit buffer up to more than 56 bits, with zeros past the end of input
static void refill(void) {
    while (inf.nbits <= 56) {
        int32_t b = getbyte();
        if (b < 0) { b = 0; inf.padbits += 8; }
        inf.bitbuf |= (uint64_t)b << inf.nbits;
        inf.nbits += 8;
    }
}

static void dropbits(int32_t n) {
    inf.bitbuf >>= n;
    inf.nbits -= n;
    if (inf.nbits < inf.padbits) inf.overrun = 1;            // used bits the stream never had
}

static uint32_t getbits(int32_t n) {
    if (inf.nbits < n) refill();
    uint32_t v = (uint32_t)(inf.bitbuf & ((1ull << n) - 1));
    dropbits(n);
    return v;
}

// === inflate: Huffman tables ===

// canonical code of n symbols from their lengths (0 = unused); -1 if over-subscribed.
// Incomplete codes are accepted (RFC 1951 allows a lone distance code); a bit
// pattern outside the code fails when it is met.
static int32_t buildhuff(hufftab *h, const uint8_t *len, int32_t n, int32_t fastbits) {
    int32_t offs[MAXCODELEN + 2], left = 1, i, l;
    memset(h->count, 0, sizeof(h->count));
    for (i = 0; i < n; i++) h->count[len[i]]++;
    h->count[0] = 0;
    for (l = 1; l <= MAXCODELEN; l++) {
        left = left * 2 - h->count[l];
        if (left < 0) return -1;                                // more codes than patterns
    }
    offs[1] = 0;
    for (l = 1; l < MAXCODELEN; l++) offs[l + 1] = offs[l] + h->count[l];
    for (i = 0; i < n; i++) if (len[i]) h->sym[offs[len[i]]++] = (uint16_t)i;
    // --- fast table: every fastbits-bit pattern that starts with a short code ---
    h->fastbits = fastbits;
    memset(h->fast, 0, sizeof(h->fast));
    int32_t code = 0, k = 0;
    for (l = 1; l <= fastbits; l++, code <<= 1) {
        for (int32_t j = 0; j < h->count[l]; j++, code++, k++) {
            int32_t rev = 0;                                    // codes arrive high bit first
            for (int32_t b = 0; b < l; b++) rev |= ((code >> b) & 1) << (l - 1 - b);
            for (int32_t r = rev; r < (1 << fastbits); r += 1 << l) h->fast[r] = (uint16_t)(l << 12 | h->sym[k]);
        }
    }
    return 0;
}

// next symbol of table h, or -1 for a pattern that is no code
static int32_t decsym(const hufftab *h) {
    if (inf.nbits < MAXCODELEN) refill();
    uint32_t e = h->fast[inf.bitbuf & ((1u << h->fastbits) - 1)];
    if (e) { dropbits((int32_t)(e >> 12)); return (int32_t)(e & 0xFFF); }
    // --- slow path: codes of length l are first..first+count[l]-1 ---
    int32_t code = 0, first = 0, index = 0;
    for (int32_t l = 1; l <= MAXCODELEN; l++) {
        code |= (int32_t)(inf.bitbuf >> (l - 1)) & 1;
        int32_t c = h->count[l];
        if (code - first < c) { dropbits(l); return h->sym[index + code - first]; }
        index += c;
        first = (first + c) << 1;
        code <<= 1;
    }
    return -1;
}

static void buildfixed(void) {
    uint8_t len[288];
    if (inf.fixbuilt) return;
    memset(len, 8, 144); memset(len + 144, 9, 112); memset(len + 256, 7, 24); memset(len + 280, 8, 8);
    buildhuff(&inf.fixlit, len, 288, LITFAST);
    memset(len, 5, 32);
    buildhuff(&inf.fixdist, len, 32, DISTFAST);
    inf.fixbuilt = 1;
}

// reads a dynamic block's code lengths into inf.lit and inf.dist; -1 if bad
static int32_t readdynamic(void) {
    static const uint8_t order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    uint8_t lens[288 + 32] = {0}, cl[19] = {0};
    hufftab clt;
    int32_t hlit = (int32_t)getbits(5) + 257, hdist = (int32_t)getbits(5) + 1;
    int32_t hclen = (int32_t)getbits(4) + 4, n = hlit + hdist;
    for (int32_t i = 0; i < hclen; i++) cl[order[i]] = (uint8_t)getbits(3);
    if (buildhuff(&clt, cl, 19, 7) < 0) return -1;
    for (int32_t i = 0; i < n;) {
        int32_t s = decsym(&clt), v = 0, rep;
        if (s < 0 || inf.overrun) return -1;
        if (s < 16) { lens[i++] = (uint8_t)s; continue; }
        if (s == 16) {                                          // repeat the previous length
            if (i == 0) return -1;
            v = lens[i - 1]; rep = 3 + (int32_t)getbits(2);
        } else rep = s == 17 ? 3 + (int32_t)getbits(3) : 11 + (int32_t)getbits(7);
        if (i + rep > n) return -1;                             // repeat runs past the lengths
        while (rep--) lens[i++] = (uint8_t)v;
    }
    if (buildhuff(&inf.lit, lens, hlit, LITFAST) < 0) return -1;
    return buildhuff(&inf.dist, lens + hlit, hdist, DISTFAST);
}

// === inflate: blocks ===

// one output byte into the window; every 16 KB go to the row stage
static int32_t putbyte(int32_t b) {
    inf.win[inf.wpos & (WINSIZ - 1)] = (uint8_t)b;
    inf.wpos++; inf.total++;
    if (inf.wpos & (FLUSHSIZ - 1)) return 0;
    return rowfeed(inf.win + ((inf.wpos - FLUSHSIZ) & (WINSIZ - 1)), FLUSHSIZ);
}

// a stored block; 0 at its end, 1 when the rows want no more, -1 if bad
static int32_t inflatestored(void) {
    dropbits(inf.nbits & 7);                                    // to the byte boundary
    uint32_t len = getbits(16), nlen = getbits(16);
    if (inf.overrun || len != (~nlen & 0xFFFF)) return -1;      // length and complement disagree
    while (len--) {
        int32_t b = (int32_t)getbits(8), r;
        if (inf.overrun) return -1;
        if ((r = putbyte(b))) return r;
    }
    return 0;
}

// a Huffman block; 0 at its end, 1 when the rows want no more, -1 if bad
static int32_t inflatecodes(const hufftab *lt, const hufftab *dt) {
    static const uint16_t lenbase[29] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31,
                                         35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const uint8_t lenext[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                       3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const uint16_t distbase[30] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193,
                                          257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145,
                                          8193, 12289, 16385, 24577};
    static const uint8_t distext[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6,
                                        7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    for (;;) {
        int32_t s = decsym(lt), r;
        if (s < 0 || inf.overrun) return -1;
        if (s < 256) { if ((r = putbyte(s))) return r; continue; }
        if (s == 256) return 0;
        if (s > 285) return -1;                                 // 286 and 287 stand for nothing
        int32_t len = lenbase[s - 257] + (int32_t)getbits(lenext[s - 257]);
        int32_t d = decsym(dt);
        if (d < 0 || d > 29) return -1;                         // 30 and 31 stand for nothing
        int64_t dist = distbase[d] + getbits(distext[d]);
        if (inf.overrun) return -1;
        if (dist > inf.total) return -1;                        // before the start of the output
        for (; len > 0; len--)
            if ((r = putbyte(inf.win[(inf.wpos - (uint32_t)dist) & (WINSIZ - 1)]))) return r;
    }
}

// the zlib stream from inf.ip on; 0 when the rows are complete, -1 otherwise
static int32_t inflatestream(void) {
    uint32_t cmf = getbits(8), flg = getbits(8);
    zlibcompflags = (int32_t)(cmf << 8 | flg);
    if (inf.overrun) return -1;
    for (int32_t last = 0; !last;) {
        int32_t type, r;
        last = (int32_t)getbits(1);
        type = (int32_t)getbits(2);
        if (type == 0) r = inflatestored();
        else if (type == 1) { buildfixed(); r = inflatecodes(&inf.fixlit, &inf.fixdist); }
        else if (type == 2) {
            numhufblocks++;
            r = readdynamic();
            if (r == 0) r = inflatecodes(&inf.lit, &inf.dist);
        } else return -1;                                       // block type 3 is reserved
        if (r) return r < 0 ? -1 : 0;
        if (inf.overrun) return -1;
    }
    int32_t n = (int32_t)(inf.wpos & (FLUSHSIZ - 1));           // the last part chunk
    int32_t r = n ? rowfeed(inf.win + ((inf.wpos - n) & (WINSIZ - 1)), n) : rs.done;
    return r == 1 ? 0 : -1;                                     // rows missing: the data is short
}

// === chunks ===

static int32_t readihdr(const uint8_t *c, uint32_t len) {
    if (len < 13) return -1;
    uint32_t w = be32(c), h = be32(c + 4);
    int32_t bd = c[8], ct = c[9];
    if (w < 1 || h < 1) return -1;                               // empty picture
    if ((uint64_t)w * h * 4 > 0x7FFFFFFF) return -1;             // w*h*4 buffer size overflows
    if (bd != 1 && bd != 2 && bd != 4 && bd != 8) return -1;     // 16 bits refused
    if (ct != 0 && ct != 2 && ct != 3 && ct != 4 && ct != 6) return -1;
    if ((ct == 2 || ct == 4 || ct == 6) && bd != 8) return -1;   // these exist only at 8 (16) bits
    if (c[10] != 0 || c[11] != 0) return -1;                     // compression, filter method
    if (c[12] > 1) return -1;                                    // interlace: none or Adam7
    coltype = ct; bitdepth = bd;
    rs.w = (int32_t)w; rs.h = (int32_t)h;
    rs.npasses = c[12] ? 7 : 1;
    rs.bitspp = bd * (ct == 2 ? 3 : ct == 4 ? 2 : ct == 6 ? 4 : 1);
    rs.bpp = rs.bitspp < 8 ? 1 : rs.bitspp / 8;
    if (ct == 0 || ct == 4) {                                    // grey ramp: k * (255 / (2^bd - 1))
        paleng = 1 << bd;
        for (int32_t k = 0; k < paleng; k++) palcol[k] = 0xFF000000 | (uint32_t)(k * (255 / (paleng - 1))) * 0x010101;
    }
    return 0;
}

static int32_t readplte(const uint8_t *c, uint32_t len) {
    if (coltype == 0 || coltype == 4) return 0;                  // grey pictures keep their ramp
    if (len / 3 > 256) return -1;                                // more entries than a palette holds
    paleng = (int32_t)(len / 3);
    for (int32_t k = 0; k < paleng; k++)
        palcol[k] = 0xFF000000 | (uint32_t)c[k * 3] << 16 | (uint32_t)c[k * 3 + 1] << 8 | c[k * 3 + 2];
    return 0;
}

static void readtrns(const uint8_t *c, uint32_t len) {
    if (coltype == 3) {
        for (int32_t k = 0; k < paleng && k < (int64_t)len; k++) palcol[k] = (palcol[k] & 0xFFFFFF) | (uint32_t)c[k] << 24;
    } else if (coltype == 0 && len >= 2) {
        uint32_t v = be16(c);
        if (v < (uint32_t)paleng) palcol[v] &= 0xFFFFFF;         // that grey level is transparent
    } else if (coltype == 2 && len >= 6 && (c[0] | c[2] | c[4]) == 0) {
        rs.key = (uint32_t)c[1] << 16 | (uint32_t)c[3] << 8 | c[5];
    }
}

static void readbkgd(const uint8_t *c, uint32_t len) {
    if ((coltype == 0 || coltype == 4) && len >= 2) {
        uint32_t v = be16(c), top = (1u << bitdepth) - 1;
        if (v <= top) bakcol = 0xFF000000 | v * (255 / top) * 0x010101;
    } else if ((coltype == 2 || coltype == 6) && len >= 6) {
        uint32_t r = be16(c), g = be16(c + 2), b = be16(c + 4);
        if (bitdepth == 8) { r &= 255; g &= 255; b &= 255; }
        else { r /= 257; g /= 257; b /= 257; }
        bakcol = 0xFF000000 | r << 16 | g << 8 | b;
    } else if (coltype == 3 && len >= 1) {
        bakcol = palcol[c[0]];
    }
}

// inflates the image data starting at the IDAT chunk whose data is at pos
static int32_t decodeimage(int64_t pos, uint32_t len) {
    int64_t rowmax = ((int64_t)rs.w * rs.bitspp + 7) / 8 + 1;
    inf.ip = pos; inf.idatend = pos + len;
    inf.bitbuf = 0; inf.nbits = 0; inf.padbits = 0; inf.overrun = 0;
    inf.wpos = 0; inf.total = 0;
    rs.rowsdone = 0; rs.done = 0;
    if (startpass(0)) return -1;
    if (pastheight()) return 0;                                   // nothing lands in the target
    rs.cur = (uint8_t *)malloc((size_t)rowmax);
    rs.prev = (uint8_t *)malloc((size_t)rowmax);
    int32_t r = rs.cur && rs.prev ? inflatestream() : -1;
    free(rs.cur); free(rs.prev);
    rs.cur = rs.prev = 0;
    return r;
}

// === entry points ===

void vpgetdim(const void *data, int32_t length, int32_t *width, int32_t *height) {
    const uint8_t *d = (const uint8_t *)data;
    *width = 0; *height = 0;
    if (!d || length < 16 || memcmp(d, pngsig, 8)) return;
    for (int64_t i = 8; i < (int64_t)length - 16; i += (int64_t)be32(d + i) + 12) {
        if (memcmp(d + i + 4, "IHDR", 4)) continue;
        *width = (int32_t)be32(d + i + 8);
        *height = (int32_t)be32(d + i + 12);
        return;
    }
}

int32_t vpngrend(const void *data, int32_t length, intptr_t frameplace, int32_t bytesperline,
                 int32_t width, int32_t height, int32_t xoff, int32_t yoff) {
    const uint8_t *d = (const uint8_t *)data;
    int32_t gotihdr = 0, gotplte = 0;
    paleng = 0; bakcol = 0; zlibcompflags = 0; numhufblocks = 0; filtype = 255;
    for (int32_t k = 0; k < 256; k++) palcol[k] = 0xFF000000;
    if (!d || length < 8 || memcmp(d, pngsig, 8)) return -1;
    inf.dat = d; inf.datlen = length;
    rs.f = frameplace; rs.p = bytesperline; rs.tw = width; rs.th = height; rs.xoff = xoff; rs.yoff = yoff;
    rs.key = NOKEY;
    for (int64_t pos = 8; pos + 8 <= length; ) {
        uint32_t len = be32(d + pos);
        const uint8_t *t = d + pos + 4, *c = d + pos + 8;
        if (len > length - pos - 8) return -1;                    // chunk runs past the data
        if (!memcmp(t, "IHDR", 4)) {
            if (gotihdr || readihdr(c, len) < 0) return -1;       // a second header is refused too
            gotihdr = 1;
        } else if (!memcmp(t, "PLTE", 4) || !memcmp(t, "tRNS", 4) || !memcmp(t, "bKGD", 4) || !memcmp(t, "IDAT", 4)) {
            if (!gotihdr) return -1;                              // header must come first
            if (t[0] == 'I') {
                if (coltype == 3 && !gotplte) return -1;          // palette picture without palette
                return decodeimage(pos + 8, len);
            }
            if (t[0] == 'P') { if (readplte(c, len) < 0) return -1; gotplte = paleng > 0; }
            else if (t[0] == 't') readtrns(c, len);
            else readbkgd(c, len);
        }
        pos += 12 + (int64_t)len;                                 // other chunks are skipped
    }
    return -1;                                                    // no image data
}

int32_t vprender(const void *data, int32_t length, intptr_t frameplace, int32_t bytesperline,
                 int32_t width, int32_t height, int32_t xoff, int32_t yoff) {
    const uint8_t *d = (const uint8_t *)data;
    paleng = 0; bakcol = 0; zlibcompflags = 0; numhufblocks = 0; filtype = 255;
    if (!d || length < 2) return -1;
    if (d[0] == 0x89 && d[1] == 'P') return vpngrend(data, length, frameplace, bytesperline, width, height, xoff, yoff);
    return -1;                                                    // other formats: not decoded here
}
