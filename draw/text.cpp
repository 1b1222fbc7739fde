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

// === UTF-8 to the fonts' code page ===
// The Unicode characters of code page 437's upper half, 0x80 to 0xFF.
static const uint16_t cp437hi[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// the UTF-8 character at s[0..len): its code point and *used bytes, or -1
// when s starts none (a stray or overlong byte, a cut sequence)
static int32_t utf8char(const uint8_t *s, int32_t len, int32_t *used)
{
    const uint8_t b = s[0];
    const int32_t n = b >= 0xC2 && b < 0xE0 ? 2 : b >= 0xE0 && b < 0xF0 ? 3 : b >= 0xF0 && b < 0xF5 ? 4 : 0;
    if (!n || n > len) return -1;
    int32_t c = s[0] & (0x7F >> n);
    for (int32_t k = 1; k < n; k++) {
        if ((s[k] & 0xC0) != 0x80) return -1;
        c = c << 6 | (s[k] & 0x3F);
    }
    if ((n == 3 && (c < 0x800 || (c >= 0xD800 && c < 0xE000))) || (n == 4 && (c < 0x10000 || c > 0x10FFFF)))
        return -1;
    *used = n;
    return c;
}

int32_t fonttext(char *out, const char *s, int32_t len)
{
    const uint8_t *u = (const uint8_t *)s;
    int32_t n = 0;
    for (int32_t i = 0, used; i < len; i++) {
        int32_t c = u[i] < 0x80 ? -1 : utf8char(u + i, len - i, &used);
        if (c < 0) {
            out[n++] = s[i];  // ASCII, or a byte of another encoding: drawn as the code page has it
            continue;
        }
        int32_t g = 0;
        while (g < 128 && cp437hi[g] != c) g++;
        out[n++] = g < 128 ? (char)(0x80 + g) : '?';
        i += used - 1;
    }
    return n;
}
