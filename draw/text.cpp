// text.cpp: drawtext, the one routine that puts text on the screen, and the
// decoded font images it draws from. Glyph sizes come from fontlist; glyph
// pixels from font[], filled at start-up from the embedded strips.
// Draws into the frame's view gdd with palette colours; clips at every edge,
// so callers may start text anywhere. One line per call, no wrapping.
#include "draw/draw.h"
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

// === font state ===
tiletype font[NUMFONTS];

// === glyph lookup ===

// glyph row r of character c, or null when the font image cannot hold it
static const uint32_t *glyphrow(int32_t f, int32_t w, int32_t h, uint8_t c, int32_t r)
{
    const tiletype *t = &font[f];
    if (!t->f || t->x < w || t->y < h * 256) return 0;  // not decoded, or too small a strip
    return (const uint32_t *)(t->f + (intptr_t)(c * h + r) * t->p);
}

// === pixel output ===

// colour as written to the buffer: palette value, or the index itself at 8 bits; -1 stays -1
static int64_t textcolour(int32_t c)
{
    if (c < 0) return -1;
    if (colbytes <= 1) return c & 255;
    if (c >= PALSIZ) return -1;  // no such palette entry: not drawn
    return vpal[c];
}

static void putcolour(uint8_t *p, int64_t c)
{
    for (int32_t i = 0; i < colbytes; i++) p[i] = (uint8_t)(c >> (i * 8));
}

// one glyph row of the text at screen row yy
static void textrow(const char *s, int32_t n, int32_t f, int32_t w, int32_t h, int32_t r,
                    int64_t x, int32_t yy, int64_t fg, int64_t bg)
{
    uint8_t *row = (uint8_t *)(gdd.f + (intptr_t)yy * gdd.p);
    int32_t k = 0;
    if (x < 0) k = (int32_t)((-x) / w);  // first cell that can reach column 0
    for (; k < n; k++) {
        int64_t cx = x + (int64_t)k * w;
        if (cx >= gdd.x) break;
        const uint32_t *g = glyphrow(f, w, h, (uint8_t)s[k], r);
        if (!g) return;
        for (int32_t i = 0; i < w; i++) {
            int64_t xx = cx + i;
            if (xx < 0 || xx >= gdd.x) continue;
            int64_t c = (g[i] & 255) ? fg : bg;
            if (c >= 0) putcolour(row + xx * colbytes, c);
        }
    }
}

// === formatting ===

// the text of one call in buf (at most 1023 characters); tabs become three blanks
static int32_t textformat(char *buf, int32_t bufsiz, const char *fmt, va_list ap)
{
    char raw[1024];
    const char *s = raw;
    if (*fmt) vsnprintf(raw, sizeof(raw), fmt, ap);
    else s = va_arg(ap, const char *);
    if (!s) return 0;
    int32_t n = 0;
    for (; *s && n < bufsiz - 1; s++) {
        if (*s != '\t') { buf[n++] = *s; continue; }
        for (int32_t j = 0; j < 3 && n < bufsiz - 1; j++) buf[n++] = ' ';
    }
    buf[n] = 0;
    return n;
}

// === drawtext ===

void (*textnote)(const tiletype *t, int32_t x, int32_t y, int32_t w, int32_t h) = nullptr;

void drawtext(int32_t fnt, int32_t x, int32_t y, int32_t fg, int32_t bg, const char *fmt, ...)
{
    if (!fmt) return;
    if (fnt < 0 || fnt >= NUMFONTS) return;
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    int32_t n = textformat(buf, sizeof(buf), fmt, ap);
    va_end(ap);
    if (fg < 0 && bg < 0) return;
    int64_t fc = textcolour(fg), bc = textcolour(bg);
    int32_t w = fontlist[fnt].width, h = fontlist[fnt].height;
    if (h < 1 || w < 1 || !gdd.f) return;
    if (textnote && n > 0) textnote(&gdd, x, y, n * w, h);
    for (int32_t r = 0; r < h; r++) {
        int64_t yy = (int64_t)y + r;
        if (yy < 0 || yy >= gdd.y) continue;
        textrow(buf, n, fnt, w, h, r, x, (int32_t)yy, fc, bc);
    }
}
