// test_assets.cpp: the embedded fonts and pictures decode with the program's
// own decoder into what text drawing, the help picture and the title-bar
// buttons rely on; frame/font6x8.inc agrees with the 6x8 strip.
#include <gtest/gtest.h>
#include <stdint.h>
#include <set>
#include <string>
#include <vector>
#include "image/image.h"
#include "app/app.h"
#include "edit/edit.h"

namespace {
#include "frame/font6x8.inc"

struct decoded {
    int32_t w = 0, h = 0, rc = -1;
    std::vector<uint32_t> px;
    uint32_t at(int32_t x, int32_t y) const { return px[(size_t)y * w + x]; }
};

decoded decode(const unsigned char *png, int32_t leng) {
    decoded d;
    vpgetdim(png, leng, &d.w, &d.h);
    if (d.w <= 0 || d.h <= 0) return d;
    d.px.assign((size_t)d.w * d.h, 0x12345678);
    d.rc = vprender(png, leng, (intptr_t)d.px.data(), d.w * 4, d.w, d.h, 0, 0);
    return d;
}

struct glyph {  // one decoded cell of a font strip
    const decoded &img;
    int32_t code, w, h;
    int32_t ink(int32_t x0, int32_t x1, int32_t y0, int32_t y1) const {  // inked pixels in a part of the cell
        int32_t n = 0;
        for (int32_t y = y0; y < y1; y++)
            for (int32_t x = x0; x < x1; x++) n += (img.at(x, code * h + y) & 0xFF) != 0;
        return n;
    }
    int32_t count() const { return ink(0, w, 0, h); }
    bool fullcols(int32_t k) const {  // at least k columns inked top to bottom
        for (int32_t x = 0; x < w; x++) k -= ink(x, x + 1, 0, h) == h;
        return k <= 0;
    }
    bool fullrows(int32_t k) const {
        for (int32_t y = 0; y < h; y++) k -= ink(0, w, y, y + 1) == w;
        return k <= 0;
    }
    std::string bits() const {
        std::string s;
        for (int32_t y = 0; y < h; y++)
            for (int32_t x = 0; x < w; x++) s += ink(x, x + 1, y, y + 1) ? '#' : '.';
        return s;
    }
};
}  // namespace

// === fonts ===

TEST(Fontstrip, EveryStripIsSoundForTextAndBoxDrawing)
{
    const int32_t cells[NUMFONTS][2] = {{4, 6}, {6, 8}, {6, 10}, {7, 12}, {8, 12},
                                        {8, 13}, {8, 14}, {8, 15}, {9, 16}, {12, 16}};
    for (int32_t i = 0; i < NUMFONTS; i++) {
        const fonttype &f = fontlist[i];
        int32_t w = f.width, h = f.height;
        SCOPED_TRACE("font " + std::to_string(i));
        EXPECT_EQ(w, cells[i][0]) << i;  // the order the menu lists them in
        EXPECT_EQ(h, cells[i][1]) << i;
        EXPECT_EQ(f.extchars, 1);
        decoded img = decode(f.png, f.leng);
        ASSERT_EQ(img.rc, 0);
        ASSERT_EQ(img.w * 100000 + img.h, w * 100000 + h * 256);
        for (uint32_t p : img.px) ASSERT_TRUE(p == 0xFF000000u || p == 0xFFFFFFFFu) << std::hex << p;
        auto g = [&](int32_t c) { return glyph{img, c, w, h}; };
        EXPECT_EQ(g(0x00).count() + g(0x20).count() + g(0xFF).count(), 0);
        EXPECT_EQ(g(0xDB).count(), w * h);
        // box drawing reaches the cell edges so that neighbours join
        EXPECT_TRUE(g(0xB3).fullcols(1) && g(0xC4).fullrows(1) && g(0xC5).fullcols(1) && g(0xC5).fullrows(1));
        EXPECT_TRUE(g(0xBA).fullcols(2) && g(0xCD).fullrows(2));
        glyph corner = g(0xDA);  // top left: right and bottom edges reached, top row and left column clear
        EXPECT_TRUE(corner.ink(w - 1, w, 0, h) && corner.ink(0, w, h - 1, h));
        EXPECT_EQ(corner.ink(0, w, 0, 1) + corner.ink(0, 1, 0, h), 0);
        std::set<std::string> seen;
        for (int32_t c = 0x21; c < 0x7F; c++) {
            EXPECT_GT(g(c).count(), 0) << "code " << c;
            EXPECT_TRUE(seen.insert(g(c).bits()).second) << "code " << c << " repeats another glyph";
        }
        for (int32_t c : {0xB3, 0xF8, 0xEC, 0xE6, 0x01, 0x7F}) EXPECT_GT(g(c).count(), 0) << "code " << c;
        EXPECT_NE(g(0xF8).bits(), g('o').bits());  // degree is no small o
    }
}

TEST(Fontstrip, FrameTableMatchesThe6x8Strip)
{
    decoded img = decode(fontlist[1].png, fontlist[1].leng);
    ASSERT_EQ(img.rc, 0);
    for (int32_t c = 0; c < 256; c++)
        for (int32_t y = 0; y < 8; y++)
            for (int32_t x = 0; x < 8; x++) {
                bool strip = x < 6 && (img.at(x, c * 8 + y) & 0xFF) != 0;
                ASSERT_EQ(strip, ((font6x8[c][y] >> (7 - x)) & 1) != 0) << "code " << c << " row " << y;
            }
}

// === pictures ===

TEST(Pictures, DecodeToTheirSizeWithSixPaletteColoursAndTransparentEntryZero)
{
    const std::set<uint32_t> help = {0x40, 0x55, 0xAA, 0xC0, 0xD5}, buttons = {0x00, 0x40, 0x80, 0xC8, 0xF0, 0xFF};
    const struct {
        const char *name;
        const unsigned char *png;
        int32_t leng, w, h;
        const std::set<uint32_t> &low;  // colours the program's lookup table knows
    } pictures[] = {
        {"veltohlp", veltohlp_png, veltohlp_png_size, 84, 480, help},
        {"winminmaxx", winminmaxx_png, winminmaxx_png_size, 50, 14, buttons},
        {"winminnorx", winminnorx_png, winminnorx_png_size, 50, 14, buttons},
    };
    for (auto &p : pictures) {
        SCOPED_TRACE(p.name);
        decoded d = decode(p.png, p.leng);
        ASSERT_EQ(d.rc, 0);
        EXPECT_EQ(d.w, p.w);
        EXPECT_EQ(d.h, p.h);
        EXPECT_EQ(coltype, 3);  // a 4-bit palette of six
        EXPECT_EQ(bitdepth, 4);
        EXPECT_EQ(paleng, 6);
        EXPECT_EQ(palcol[0] >> 24, 0u);
        int32_t opaque = 0;
        for (uint32_t px : d.px) {
            ASSERT_TRUE(px >> 24 == 0 || px >> 24 == 0xFF) << std::hex << px;
            if (px >> 24 == 0) continue;
            opaque++;
            EXPECT_EQ(p.low.count(px & 0xFF), 1u) << std::hex << px;
        }
        EXPECT_GT(opaque, 0);
    }
}

TEST(Pictures, ButtonStripsDifferOnlyInTheMiddleButton)
{
    decoded a = decode(winminmaxx_png, winminmaxx_png_size), b = decode(winminnorx_png, winminnorx_png_size);
    ASSERT_EQ(a.rc + b.rc, 0);
    int32_t middiff = 0;
    for (int32_t y = 0; y < 14; y++)
        for (int32_t x = 0; x < 50; x++) {
            if (x >= 16 && x < 32) middiff += a.at(x, y) != b.at(x, y);
            else EXPECT_EQ(a.at(x, y), b.at(x, y)) << x << "," << y;
            EXPECT_EQ(a.at(x, y) >> 24, x == 32 || x == 33 ? 0u : 0xFFu) << x << "," << y;  // gap before close
        }
    EXPECT_GT(middiff, 10);
}
