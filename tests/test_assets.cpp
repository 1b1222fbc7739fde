// test_assets.cpp: the embedded fonts and pictures decode with the program's
// own decoder into what text drawing, the help picture and the title-bar
// buttons rely on; frame/font6x8.inc agrees with the 6x8 strip.
#include <gtest/gtest.h>
#include <stdint.h>
#include <set>
#include <string>
#include <vector>
#include "image/image.h"
#include "ui/ui.h"

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

struct glyph {              // one decoded cell of a font strip
    const decoded *img;
    int32_t code, w, h;
    bool ink(int32_t x, int32_t y) const { return (img->at(x, code * h + y) & 0xFF) != 0; }
    bool row(int32_t y) const { for (int32_t x = 0; x < w; x++) if (!ink(x, y)) return false; return true; }
    bool col(int32_t x) const { for (int32_t y = 0; y < h; y++) if (!ink(x, y)) return false; return true; }
    bool rowclear(int32_t y) const { for (int32_t x = 0; x < w; x++) if (ink(x, y)) return false; return true; }
    bool colclear(int32_t x) const { for (int32_t y = 0; y < h; y++) if (ink(x, y)) return false; return true; }
    int32_t count() const { int32_t n = 0; for (int32_t y = 0; y < h; y++) for (int32_t x = 0; x < w; x++) n += ink(x, y); return n; }
    int32_t fullcols() const { int32_t n = 0; for (int32_t x = 0; x < w; x++) n += col(x); return n; }
    int32_t fullrows() const { int32_t n = 0; for (int32_t y = 0; y < h; y++) n += row(y); return n; }
    std::string bits() const { std::string s; for (int32_t y = 0; y < h; y++) for (int32_t x = 0; x < w; x++) s += ink(x, y) ? '#' : '.'; return s; }
};

const int32_t cellsizes[NUMFONTS][2] = {{4, 6}, {6, 8}, {6, 10}, {7, 12}, {8, 12},
                                        {8, 13}, {8, 14}, {8, 15}, {9, 16}, {12, 16}};

class Fontstrip : public ::testing::TestWithParam<int32_t> {
protected:
    void SetUp() override {
        f = &fontlist[GetParam()];
        img = decode(f->png, f->leng);
        ASSERT_EQ(img.rc, 0);
        ASSERT_EQ(img.w, f->width);
        ASSERT_EQ(img.h, f->height * 256);
    }
    glyph g(int32_t code) const { return glyph{&img, code, f->width, f->height}; }
    const fonttype *f = nullptr;
    decoded img;
};
}  // namespace

// === fonts ===

TEST_P(Fontstrip, CellSizeIsTheTablesAndTheMenus) {
    EXPECT_EQ(f->width, cellsizes[GetParam()][0]);
    EXPECT_EQ(f->height, cellsizes[GetParam()][1]);
    EXPECT_EQ(f->extchars, 1);
}

TEST_P(Fontstrip, EveryPixelIsOpaqueWhiteInkOrBlackBackground) {
    for (uint32_t p : img.px) ASSERT_TRUE(p == 0xFF000000u || p == 0xFFFFFFFFu) << std::hex << p;
}

TEST_P(Fontstrip, BlanksAreEmptyAndFullBlockIsFull) {
    EXPECT_EQ(g(0x00).count(), 0);
    EXPECT_EQ(g(0x20).count(), 0);
    EXPECT_EQ(g(0xFF).count(), 0);
    EXPECT_EQ(g(0xDB).count(), f->width * f->height);
}

TEST_P(Fontstrip, BoxDrawingReachesTheCellEdgesSoNeighboursJoin) {
    EXPECT_GE(g(0xB3).fullcols(), 1);   // vertical bar, top to bottom
    EXPECT_GE(g(0xC4).fullrows(), 1);   // horizontal bar, edge to edge
    EXPECT_GE(g(0xC5).fullcols(), 1);   // cross: both
    EXPECT_GE(g(0xC5).fullrows(), 1);
    EXPECT_GE(g(0xBA).fullcols(), 2);   // double vertical
    EXPECT_GE(g(0xCD).fullrows(), 2);   // double horizontal
    glyph corner = g(0xDA);             // top-left corner: right edge and bottom edge reached
    bool right = false, bottom = false;
    for (int32_t y = 0; y < f->height; y++) right |= corner.ink(f->width - 1, y);
    for (int32_t x = 0; x < f->width; x++) bottom |= corner.ink(x, f->height - 1);
    EXPECT_TRUE(right && bottom);
    EXPECT_TRUE(corner.rowclear(0));
    EXPECT_TRUE(corner.colclear(0));
}

TEST_P(Fontstrip, HalfBlocksCoverTheirHalf) {
    int32_t w = f->width, h = f->height;
    EXPECT_TRUE(g(0xDC).row(h - 1) && g(0xDC).rowclear(0));   // lower half
    EXPECT_TRUE(g(0xDF).row(0) && g(0xDF).rowclear(h - 1));   // upper half
    EXPECT_TRUE(g(0xDD).col(0) && g(0xDD).colclear(w - 1));   // left half
    EXPECT_TRUE(g(0xDE).col(w - 1) && g(0xDE).colclear(0));   // right half
}

TEST_P(Fontstrip, ShadesGrowDarkerAndStayPatterned) {
    int32_t light = g(0xB0).count(), medium = g(0xB1).count(), dark = g(0xB2).count();
    EXPECT_LT(0, light);
    EXPECT_LT(light, medium);
    EXPECT_LT(medium, dark);
    EXPECT_LT(dark, f->width * f->height);
}

TEST_P(Fontstrip, PrintableAndProgramGlyphsAreDrawnAndDistinct) {
    std::set<std::string> seen;
    for (int32_t c = 0x21; c < 0x7F; c++) {
        EXPECT_GT(g(c).count(), 0) << "code " << c;
        EXPECT_TRUE(seen.insert(g(c).bits()).second) << "code " << c << " repeats another glyph";
    }
    const int32_t used[] = {0xB3, 0xF8, 0xEC, 0xE6, 0x01, 0x7F};  // bar, degree, infinity, mu
    for (int32_t c : used) EXPECT_GT(g(c).count(), 0) << "code " << c;
    EXPECT_NE(g(0xF8).bits(), g('o').bits());
}

TEST_P(Fontstrip, LettersSitOnACommonBaseline) {
    // the lowest inked row of capitals without descenders is the same for all
    int32_t base = -1;
    for (int32_t c = 'A'; c <= 'Z'; c++) {
        if (c == 'Q' || c == 'J') continue;
        int32_t low = -1;
        for (int32_t y = 0; y < f->height; y++) if (!g(c).rowclear(y)) low = y;
        if (base < 0) base = low;
        EXPECT_EQ(low, base) << (char)c;
    }
    EXPECT_LT(base, f->height - 1);  // room for descenders below
}

INSTANTIATE_TEST_SUITE_P(All, Fontstrip, ::testing::Range(0, (int32_t)NUMFONTS));

TEST(Fontstrip6x8, FrameTableMatchesTheStrip) {
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

namespace {
struct picture {
    const char *name;
    const unsigned char *png;
    const int32_t *leng;
    int32_t w, h;
    std::set<uint32_t> lowbytes;   // colours the program's lookup table knows
};
const picture pictures[] = {
    {"veltohlp", veltohlp_png, &veltohlp_png_size, 84, 480, {0x40, 0x55, 0xAA, 0xC0, 0xD5}},
    {"winminmaxx", winminmaxx_png, &winminmaxx_png_size, 50, 14, {0x00, 0x40, 0x80, 0xC8, 0xF0, 0xFF}},
    {"winminnorx", winminnorx_png, &winminnorx_png_size, 50, 14, {0x00, 0x40, 0x80, 0xC8, 0xF0, 0xFF}},
};
}  // namespace

TEST(Pictures, DecodeToTheirSizeWithSixPaletteColoursAndTransparentEntryZero) {
    for (const picture &p : pictures) {
        SCOPED_TRACE(p.name);
        decoded d = decode(p.png, *p.leng);
        ASSERT_EQ(d.rc, 0);
        EXPECT_EQ(d.w, p.w);
        EXPECT_EQ(d.h, p.h);
        EXPECT_EQ(coltype, 3);
        EXPECT_EQ(bitdepth, 4);
        EXPECT_EQ(paleng, 6);
        EXPECT_EQ(palcol[0] >> 24, 0u);
        int32_t opaque = 0;
        for (uint32_t px : d.px) {
            ASSERT_TRUE(px >> 24 == 0 || px >> 24 == 0xFF) << std::hex << px;
            if (px >> 24 == 0) continue;
            opaque++;
            EXPECT_EQ(p.lowbytes.count(px & 0xFF), 1u) << std::hex << px;
        }
        EXPECT_GT(opaque, 0);
    }
}

TEST(Pictures, HelpPictureHasEveryElementRowDrawn) {
    decoded d = decode(veltohlp_png, veltohlp_png_size);
    ASSERT_EQ(d.rc, 0);
    for (int32_t row = 0; row < 13; row++) {   // R L C V I E F G H S X T O, 36 rows each
        int32_t symbol = 0, letter = 0;
        for (int32_t y = 6 + row * 36; y < 6 + row * 36 + 34; y++)
            for (int32_t x = 0; x < d.w; x++) {
                uint32_t px = d.at(x, y), low = px & 0xFF;
                if (px >> 24 == 0) continue;
                letter += x < 16 && low == 0x40;                         // key letter
                symbol += x >= 16 && (low == 0x55 || low == 0xAA || low == 0xD5);  // leads, body
            }
        EXPECT_GT(letter, 10) << "row " << row;
        EXPECT_GT(symbol, 10) << "row " << row;
    }
}

TEST(Pictures, ButtonStripsDifferOnlyInTheMiddleButton) {
    decoded a = decode(winminmaxx_png, winminmaxx_png_size);
    decoded b = decode(winminnorx_png, winminnorx_png_size);
    ASSERT_EQ(a.rc, 0);
    ASSERT_EQ(b.rc, 0);
    int32_t middiff = 0;
    for (int32_t y = 0; y < 14; y++)
        for (int32_t x = 0; x < 50; x++) {
            bool middle = x >= 16 && x < 32;
            if (middle) middiff += a.at(x, y) != b.at(x, y);
            else EXPECT_EQ(a.at(x, y), b.at(x, y)) << x << "," << y;
            bool gap = x == 32 || x == 33;   // between maximise and close
            EXPECT_EQ(a.at(x, y) >> 24, gap ? 0u : 0xFFu) << x << "," << y;
        }
    EXPECT_GT(middiff, 10);
}
