// fonts.cpp: the table of the ten embedded fonts, fontlist, and the decoding
// of every embedded picture (fonts, title-bar buttons, element help picture)
// at start-up. The strips are PNG arrays made at build time from
// assets/*.png (velto_assets); the decoded fonts live in font[] (text.cpp).
// Every strip holds all 256 code page 437 glyphs, so extchars is 1 throughout.
#include "image/image.h"
#include "draw/draw.h"
#include <stdlib.h>

// === font table ===
const fonttype fontlist[NUMFONTS] = {
    {vasc_4x6_png,   vasc_4x6_png_size,   4,  6, 1},
    {vasc_6x8_png,   vasc_6x8_png_size,   6,  8, 1},
    {vasc_6x10_png,  vasc_6x10_png_size,  6, 10, 1},
    {vasc_7x12_png,  vasc_7x12_png_size,  7, 12, 1},
    {vasc_8x12_png,  vasc_8x12_png_size,  8, 12, 1},
    {vasc_8x13_png,  vasc_8x13_png_size,  8, 13, 1},
    {vasc_8x14_png,  vasc_8x14_png_size,  8, 14, 1},
    {vasc_8x15_png,  vasc_8x15_png_size,  8, 15, 1},
    {vasc_9x16_png,  vasc_9x16_png_size,  9, 16, 1},
    {vasc_12x16_png, vasc_12x16_png_size, 12, 16, 1},
};

// === decoded pictures ===
tiletype winminmaxx, winminnorx, veltohlp;

// the embedded PNG decoded into a fresh 32-bit image; f stays 0 when it
// cannot be (no memory, a picture the decoder refuses)
static void decodeone(tiletype *t, const unsigned char *png, int32_t leng)
{
    int32_t w = 0, h = 0;
    *t = tiletype{0, 0, 0, 0};
    vpgetdim(png, leng, &w, &h);
    if (w <= 0 || h <= 0 || (int64_t)w * h > (1 << 24)) return;
    void *p = malloc((size_t)w * 4 * h);
    if (!p) return;
    if (vprender(png, leng, (intptr_t)p, w * 4, w, h, 0, 0) < 0) {
        free(p);
        return;
    }
    *t = tiletype{(intptr_t)p, w * 4, w, h};
}

void decodepictures(void)
{
    for (int32_t i = 0; i < NUMFONTS; i++) decodeone(&font[i], fontlist[i].png, fontlist[i].leng);
    decodeone(&winminmaxx, winminmaxx_png, winminmaxx_png_size);
    decodeone(&winminnorx, winminnorx_png, winminnorx_png_size);
    decodeone(&veltohlp, veltohlp_png, veltohlp_png_size);
}

static void freeone(tiletype *t)
{
    free((void *)t->f);
    *t = tiletype{0, 0, 0, 0};
}

void freepictures(void)
{
    for (int32_t i = 0; i < NUMFONTS; i++) freeone(&font[i]);
    freeone(&winminmaxx);
    freeone(&winminnorx);
    freeone(&veltohlp);
}
