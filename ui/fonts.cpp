// fonts.cpp: the table of the ten embedded fonts, fontlist.
// The strips are PNG arrays made at build time from assets/vasc_*.png
// (velto_assets); the decoded images live in font[] (text drawing).
// Every strip holds all 256 code page 437 glyphs, so extchars is 1 throughout.
#include "ui/ui.h"

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
