// draw.cpp: drawing primitives on 32-bit buffers (pixel, span, rectangle,
// line, circle, disc, 6x8 text) and the program's palette-indexed pixel
// writers with the reverse colour lookup. Depends on frame.h and the glyph
// table font6x8.inc. Everything is clipped to the target; nothing can fail.
#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include "frame/frame.h"
#include "frame/font6x8.inc"

// === program drawing state ===
tiletype gdd;
int32_t colbits = 32;
int32_t colbytes = 4;
void (*drawpixp)(int32_t x, int32_t y, int32_t c) = drawpix32;

uint32_t vpal[PALSIZ];
uint32_t ovpal[PALSIZ] = {
    0x000000,   0x800000,   0x008000,   0x808000,   0x000080,   0x800080,   0x008080,   0xC0C0C0,
    0xC0E0C0,   0xD0D0D0,                                                    // 0..9
    0x000000,   0x0000AA,   0x00AA00,   0x00AAAA,   0xAA0000,   0xAA00AA,   0xAA5500,   0xAAAAAA,
    0x555555,   0x5555FF,   0x55FF55,   0x55FFFF,   0xFF5555,   0xFF55FF,   0xFFFF55,   0xFFFFFF,  // 10..25 text colours
    0xFF404040, 0xFF808080, 0xFFD4D0C8, 0xFFFFFFFF, 0xA6CAF0,   0x309090,   0x808080,   0x909030,
    0xA0A0A0,   0xC04040,                                                    // 26..35 picture colours
    0x332211,   0x554433,   0x887766,   0xBBAA99,   0xEEDDCC,   0xFFEEDD,   // 36..41 menu shades
};

// === the frame's set ===
static inline uint32_t *pixat(tiletype *t, int32_t x, int32_t y) {
    return (uint32_t *)(t->f + (intptr_t)y * t->p + (intptr_t)x * 4);
}

void drawpix(tiletype *t, int32_t x, int32_t y, int32_t c) {
    if ((uint32_t)x >= (uint32_t)t->x || (uint32_t)y >= (uint32_t)t->y) return;
    *pixat(t, x, y) = (uint32_t)c;
}

void drawhlin(tiletype *t, int32_t x0, int32_t x1, int32_t y, int32_t c) {
    if ((uint32_t)y >= (uint32_t)t->y) return;
    if (x0 < 0) x0 = 0;
    if (x1 > t->x) x1 = t->x;
    if (x1 <= x0) return;
    uint32_t *p = pixat(t, x0, y);
    for (int32_t n = x1 - x0; n > 0; n--) *p++ = (uint32_t)c;
}

void drawrectfill(tiletype *t, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t c) {
    if (y0 < 0) y0 = 0;
    if (y1 > t->y) y1 = t->y;
    for (int32_t y = y0; y < y1; y++) drawhlin(t, x0, x1, y, c);
}

// Moves (*a0, *b0) along the line to a0 = edge (a is the axis being clipped).
static void cliptoedge(float *a0, float *b0, float a1, float b1, float edge) {
    *b0 += (edge - *a0) * (b1 - *b0) / (a1 - *a0);
    *a0 = edge;
}

// Clips the start point; 0 when both ends lie beyond the same edge.
static int32_t clipstart(float *x0, float *y0, float x1, float y1, float w, float h) {
    if (*x0 < 0) {
        if (x1 < 0) return 0;
        cliptoedge(x0, y0, x1, y1, 0);
    } else if (*x0 > w) {
        if (x1 > w) return 0;
        cliptoedge(x0, y0, x1, y1, w);
    }
    if (*y0 < 0) {
        if (y1 < 0) return 0;
        cliptoedge(y0, x0, y1, x1, 0);
    } else if (*y0 > h) {
        if (y1 > h) return 0;
        cliptoedge(y0, x0, y1, x1, h);
    }
    return 1;
}

static void clipend(float x0, float y0, float *x1, float *y1, float w, float h) {
    if (*x1 < 0) cliptoedge(x1, y1, x0, y0, 0);
    else if (*x1 > w) cliptoedge(x1, y1, x0, y0, w);
    if (*y1 < 0) cliptoedge(y1, x1, y0, x0, 0);
    else if (*y1 > h) cliptoedge(y1, x1, y0, x0, h);
}

// One clip pass, then a 16.16 walk of n pixels; the end point is excluded.
void drawline(tiletype *t, float x0, float y0, float x1, float y1, int32_t c) {
    float w = (float)t->x, h = (float)t->y;
    if (!clipstart(&x0, &y0, x1, y1, w, h)) return;
    clipend(x0, y0, &x1, &y1, w, h);
    // NaN or far-off coordinates would overflow the 16.16 walk: nothing visible
    const float lim = 32767.f;
    if (!(fabsf(x0) <= lim && fabsf(y0) <= lim && fabsf(x1) <= lim && fabsf(y1) <= lim)) return;
    float ax = fabsf(x1 - x0), ay = fabsf(y1 - y0);
    int32_t n = (int32_t)(ax > ay ? ax : ay);
    if (n <= 0) return;
    int32_t px = (int32_t)(x0 * 65536.f), py = (int32_t)(y0 * 65536.f);
    float f = 65536.f / (float)n;
    int32_t dx = (int32_t)((x1 - x0) * f), dy = (int32_t)((y1 - y0) * f);
    for (; n > 0; n--, px += dx, py += dy) drawpix(t, px >> 16, py >> 16, c);
}

// Midpoint circle: eight symmetric points per step.
void drawcirc(tiletype *t, int32_t cx, int32_t cy, int32_t r, int32_t c) {
    int32_t i = 0, d = 1 - r;
    for (;;) {
        drawpix(t, cx + i, cy + r, c), drawpix(t, cx - i, cy + r, c);
        drawpix(t, cx + i, cy - r, c), drawpix(t, cx - i, cy - r, c);
        drawpix(t, cx + r, cy + i, c), drawpix(t, cx - r, cy + i, c);
        drawpix(t, cx + r, cy - i, c), drawpix(t, cx - r, cy - i, c);
        if (i >= r) break;
        if (d < 0) d += 2 * i + 3;
        else d += 2 * (i - r) + 5, r--;
        i++;
    }
}

void drawcircfill(tiletype *t, int32_t cx, int32_t cy, int32_t r, int32_t c) {
    int64_t k0 = -(int64_t)r, k1 = r;                     // rows off the target cost nothing
    if (k0 < -(int64_t)cy) k0 = -(int64_t)cy;
    if (k1 > (int64_t)t->y - 1 - cy) k1 = (int64_t)t->y - 1 - cy;
    for (int64_t k = k0; k <= k1; k++) {
        int64_t h = (int64_t)sqrt((double)r * r - (double)k * k);
        int64_t a = cx - h, b = cx + h;
        if (a < 0) a = 0;
        if (b > t->x) b = t->x;
        drawhlin(t, (int32_t)a, (int32_t)b, (int32_t)(cy + k), c);
    }
}

// One glyph row: 6 columns from pen, clipped to 0..t->x-1; bcol < 0 leaves the background.
static void glyphrow(uint32_t *row, int32_t tx, int32_t pen, int32_t bits, int32_t fcol, int32_t bcol) {
    for (int32_t k = 0; k < 6; k++) {
        int32_t x = pen + k;
        if ((uint32_t)x >= (uint32_t)tx) continue;
        if (bits & (0x80 >> k)) row[x] = (uint32_t)fcol;
        else if (bcol >= 0) row[x] = (uint32_t)bcol;
    }
}

void print6x8(tiletype *t, int32_t x, int32_t y, int32_t fcol, int32_t bcol, const char *fmt, ...) {
    if (!fmt) return;
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(buf, sizeof(buf), fmt, ap);
    va_end(ap);
    for (int32_t r = 0; r < 8; r++) {
        if ((uint32_t)(y + r) >= (uint32_t)t->y) continue;
        uint32_t *row = pixat(t, 0, y + r);
        int64_t pen = x;                                  // 64-bit: a long text far right cannot wrap
        for (const unsigned char *s = (const unsigned char *)buf; *s; s++, pen += 6) {
            if (pen >= t->x) break;
            if (pen > -6) glyphrow(row, t->x, (int32_t)pen, font6x8[*s][r], fcol, bcol);
            if (*s != 9) continue;
            if (bcol >= 0) {                                 // tab: 12 more background columns
                int64_t a = pen + 6 < 0 ? 0 : pen + 6, b = pen + 18 > t->x ? t->x : pen + 18;
                for (int64_t k = a; k < b; k++) row[k] = (uint32_t)bcol;
            }
            pen += 12;
        }
    }
}

// === the program's pixel writers: palette index c into gdd ===
static inline uint8_t *gddat(int32_t x, int32_t y, int32_t bytes) {
    return (uint8_t *)(gdd.f + (intptr_t)y * gdd.p + (intptr_t)x * bytes);
}

// Both tests unsigned; a colour index outside the palette draws nothing.
static inline int32_t outside(int32_t x, int32_t y, int32_t c) {
    return (uint32_t)x >= (uint32_t)gdd.x || (uint32_t)y >= (uint32_t)gdd.y || (uint32_t)c >= PALSIZ;
}

void drawpix8(int32_t x, int32_t y, int32_t c) {
    if (outside(x, y, c)) return;
    *gddat(x, y, 1) = (uint8_t)c;
}

void drawpix16(int32_t x, int32_t y, int32_t c) {
    if (outside(x, y, c)) return;
    uint16_t v = (uint16_t)vpal[c];
    uint8_t *p = gddat(x, y, 2);
    p[0] = (uint8_t)v, p[1] = (uint8_t)(v >> 8);
}

void drawpix24(int32_t x, int32_t y, int32_t c) {
    if (outside(x, y, c)) return;
    uint8_t *p = gddat(x, y, 3);
    p[0] = (uint8_t)vpal[c], p[1] = (uint8_t)(vpal[c] >> 8), p[2] = (uint8_t)(vpal[c] >> 16);
}

void drawpix32(int32_t x, int32_t y, int32_t c) {
    if (outside(x, y, c)) return;
    *(uint32_t *)gddat(x, y, 4) = vpal[c];
}

// === reverse colour lookup ===
static uint32_t readpix(int32_t x, int32_t y) {
    uint8_t *p = gddat(x, y, colbytes);
    switch (colbytes) {
    case 1: return p[0];
    case 2: return p[0] | (uint32_t)p[1] << 8;
    case 3: return p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16;
    }
    return *(uint32_t *)p;
}

static int32_t coldist(uint32_t a, uint32_t b) {
    int32_t d = 0;
    for (int32_t s = 0; s < 24; s += 8) d += abs((int32_t)(a >> s & 255) - (int32_t)(b >> s & 255));
    return d;
}

int32_t getpixpal(int32_t x, int32_t y) {
    if ((uint32_t)x >= (uint32_t)gdd.x || (uint32_t)y >= (uint32_t)gdd.y) return 0;
    uint32_t v = readpix(x, y);
    if (colbytes == 1 && v >= PAL_BLACK && v <= PAL_WHITE) return (int32_t)v - PAL_BLACK;
    for (int32_t i = PAL_BLACK; i <= PAL_WHITE; i++)
        if (vpal[i] == v) return i - PAL_BLACK;
    int32_t best = 0, bestd = 0x7FFFFFFF;
    for (int32_t k = 0; k < 16; k++) {
        int32_t d = coldist(ovpal[PAL_BLACK + k], v);
        if (d < bestd) best = k, bestd = d;               // the first of equals wins
    }
    return best;
}
