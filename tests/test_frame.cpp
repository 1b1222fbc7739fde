// test_frame.cpp: what both frame backends share (characters and key entries,
// the FIFO, held keys, the sleep rule, path resolution) and the drawing
// primitives, pixel writers, getpixpal and plot line routines at their edges.
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <array>
#include <set>
#include <string>
#include <vector>
#include "edit/edit.h"
#include "frame/backend.h"
#include "frame/headless.h"
#include "frame/font6x8.inc"

typedef std::set<std::pair<int32_t, int32_t>> pixset;

// A w x h target inside a border of guard pixels that must stay untouched.
struct canvas {
    enum { M = 4, GUARD = 0x7E7E7E7E };
    int32_t w, h, stride;
    std::vector<uint32_t> px;
    tiletype t;
    canvas(int32_t w_, int32_t h_) : w(w_), h(h_), stride(w_ + 2 * M), px((size_t)stride * (h_ + 2 * M), GUARD) {
        t = {(intptr_t)&px[(size_t)M * stride + M], stride * 4, w, h};
        fill(0);
    }
    uint32_t &at(int32_t x, int32_t y) { return px[(size_t)(y + M) * stride + x + M]; }  // guard too
    void fill(uint32_t v) { drawrectfill(&t, 0, 0, w, h, (int32_t)v); }
    pixset lit() {  // pixels that are not 0
        pixset s;
        for (int32_t y = 0; y < h; y++)
            for (int32_t x = 0; x < w; x++)
                if (at(x, y)) s.insert({x, y});
        return s;
    }
    bool guardintact() {
        for (int32_t y = -M; y < h + M; y++)
            for (int32_t x = -M; x < w + M; x++)
                if ((x < 0 || y < 0 || x >= w || y >= h) && at(x, y) != GUARD) return false;
        return true;
    }
    void program() {  // the program's pixel writers draw here
        gdd = t, colbits = 32, colbytes = 4, drawpixp = drawpix32;
        memcpy(vpal, ovpal, sizeof(vpal));
    }
};

// the spans [x0, x1) of rows y, given as {x0, x1, y} triples
static pixset rows(std::initializer_list<std::array<int32_t, 3>> spans) {
    pixset s;
    for (auto r : spans)
        for (int32_t x = r[0]; x < r[1]; x++) s.insert({x, r[2]});
    return s;
}

// === key map and key entries ===

TEST(Keymap, CharactersFollowShiftAndCapsAndEntriesGroupModifiers)
{
    const struct { int32_t hid, mods, ch; } chars[] = {
        {0x04, 0, 'a'}, {0x04, KEYSHIFT, 'A'}, {0x04, KEYCAPS, 'A'}, {0x04, KEYSHIFT | KEYCAPS, 'a'},
        {0x04, KEYCTRL, 'a'}, {0x1E, KEYSHIFT, '!'}, {0x1E, KEYCAPS, '1'}, {0x34, KEYSHIFT, '"'},
        {0x38, KEYSHIFT, '?'}, {0x64, KEYSHIFT, '|'}, {0x28, 0, 13}, {0x29, 0, 27}, {0x2A, 0, 8}, {0x2B, 0, 9},
        {0x4C, 0, 127}, {0x52, 0, 0}, {0xE1, 0, 0}, {0x59, 0, '1'}, {0x62, KEYSHIFT, '0'}, {0x63, 0, '.'},
        {0x58, 0, 13}, {0x55, 0, '*'},
    };
    for (auto c : chars) EXPECT_EQ(keychar(c.hid, c.mods), c.ch) << "usage " << c.hid << " mods " << c.mods;
    const int32_t Q = 0x1000, CC = KEYCTRL | KEYCOMMAND;  // Q's scan code in place
    const struct { int32_t scan, ch, mods, want; } entries[] = {
        {0x1E, 'A', KEYSHIFT, 'A' | 0x1E00 | KEYSHIFT}, {0x38, 0, KEYOPTION | KEYCAPS, 0x3800 | KEYOPTION},
        {0x10, 10, 0, Q | 10}, {0x10, 0x7F, 0, Q | 0x7F}, {0x10, 7, 0, Q}, {0x10, 0x80, 0, Q}, {0x10, 0xFF, 0, Q},
        // Control stands in for Command only where Command has a meaning: Q O M /
        {0x10, 'q', 0, Q | 'q'}, {0x10, 'Q', KEYCTRL, Q | 'Q' | CC}, {0x35, '?', KEYCTRL, 0x3500 | '?' | CC},
        {0x18, 0, KEYCTRL, 0x1800 | CC}, {0x1E, 'q', KEYCTRL, 0x1E00 | 'q' | CC},  // the character decides
        {0x1F, 's', KEYCTRL, 0x1F00 | 's' | KEYCTRL},
    };
    for (auto c : entries) EXPECT_EQ(keyentry(c.scan, c.ch, c.mods), c.want) << std::hex << c.scan << " " << c.ch;
}

TEST(Clock, SleepTicksFollowTheSixtiethRule)
{
    const struct { int32_t ms, ticks; } cases[] = {
        {-5, 0}, {0, 0}, {1, 1}, {16, 1}, {34, 2}, {100, 5}, {1000, 59},
        {524286, 31455}, {524287, 2147483647}, {2147483647, 2147483647},
    };
    for (auto c : cases) EXPECT_EQ(sleepticks(c.ms), c.ticks) << c.ms;
}

// === headless frame: FIFO, held keys, clock, script ===

struct Headless : ::testing::Test {
    void SetUp() override {
        hl_reset();
        ASSERT_EQ(initapp(64, 48), 1);
    }
    void TearDown() override { hl_reset(); }
};

TEST_F(Headless, FifoKeepsTheFirst256KeysInOrder)
{
    EXPECT_EQ(keyread(), 0);
    for (int32_t i = 0; i < 300; i++) hl_key(i & 0x7F, 'a' + i % 26, 0);
    breath();
    for (int32_t i = 0; i < 256; i++) ASSERT_EQ(keyread(), keyentry(i & 0x7F, 'a' + i % 26, 0)) << i;
    EXPECT_EQ(keyread(), 0);
    for (int32_t i = 0; i < 100; i++) hl_key(SC_Q, 'q', 0), hl_key(SC_W, 'w', 0);  // across the slot wrap
    breath();
    for (int32_t i = 0; i < 200; i++) ASSERT_EQ(keyread() & 255, i & 1 ? 'w' : 'q');
    EXPECT_EQ(keyread(), 0);
}

TEST_F(Headless, HeldKeysKeepProgramWritesAndReleaseWhileInactive)
{
    hl_keydown(SC_LCTRL), hl_pass(), hl_pass(), hl_keyup(SC_LCTRL), hl_keydown(SC_UP), hl_pass();
    hl_activate(0), hl_pass(), hl_activate(1);
    auto pass = [] {  // the keys held after a pass
        breath(), readkeyboard();
        return std::string(keystatus[SC_LCTRL] ? "ctrl" : "") + (keystatus[SC_UP] ? "up" : "");
    };
    EXPECT_EQ(pass(), "ctrl");
    keystatus[SC_LCTRL] = 0;  // the program swallows the key: it stays swallowed
    EXPECT_EQ(pass(), "");
    keystatus[SC_LCTRL] = 1;  // and the release still arrives
    EXPECT_EQ(pass(), "up");
    EXPECT_EQ(pass(), "");
    EXPECT_EQ(ActiveApp, 0);
    EXPECT_EQ(pass(), "up");  // still held when the window comes back
}

TEST(Paths, AbsolutePathFitsItsBufferOrIsRefused)
{
    char small[5];
    EXPECT_EQ(absolutepath(small, 5, "/x/y"), 1);
    EXPECT_STREQ(small, "/x/y");
    EXPECT_EQ(absolutepath(small, 4, "/x/y"), 0);
    EXPECT_EQ(absolutepath(small, 5, ""), 0);
}

// === the frame's drawing set ===

TEST(Draw, SpansAndRectanglesAreHalfOpenAndClipped)
{
    canvas c(20, 10);
    drawhlin(&c.t, 5, 5, 2, 1), drawhlin(&c.t, 7, 3, 2, 1), drawhlin(&c.t, 0, 20, -1, 1), drawhlin(&c.t, 0, 20, 10, 1);
    drawpix(&c.t, -1, 0, 1), drawpix(&c.t, 20, 0, 1), drawpix(&c.t, 0, 10, 1);
    EXPECT_TRUE(c.lit().empty());
    drawhlin(&c.t, -10, 3, 4, 1), drawhlin(&c.t, 17, 99, 5, 1), drawhlin(&c.t, 18, 21, 6, 1);
    EXPECT_EQ(c.lit(), rows({{0, 3, 4}, {17, 20, 5}, {18, 20, 6}}));
    c.fill(0), drawrectfill(&c.t, -5, 8, 2, 50, 7);
    EXPECT_EQ(c.lit(), rows({{0, 2, 8}, {0, 2, 9}}));
    EXPECT_TRUE(c.guardintact());
}

TEST(Draw, LineClipsAndExcludesItsEnd)
{
    const struct { float x0, y0, x1, y1; pixset want; } cases[] = {
        {0.5f, 0.5f, 0.9f, 0.9f, {}}, {0, 0, 10, 0, rows({{0, 10, 0}})}, {-100, 5, -1, 50, {}},
        {-10, 5, 10, 5, rows({{0, 10, 5}})}, {10, 5, -10, 5, rows({{1, 11, 5}})}, {30, 1, 40, 9, {}},
        {3, 3, 3, 6, {{3, 3}, {3, 4}, {3, 5}}},
    };
    for (auto &k : cases) {
        canvas c(20, 10);
        drawline(&c.t, k.x0, k.y0, k.x1, k.y1, 1);
        EXPECT_EQ(c.lit(), k.want) << k.x0 << "," << k.y0 << " " << k.x1 << "," << k.y1;
    }
    canvas c(20, 10);  // nonsense coordinates draw nothing, or only what is visible
    drawline(&c.t, NAN, 0, 5, 5, 1), drawline(&c.t, 0, INFINITY, 5, 5, 1), drawline(&c.t, -1, -1e30f, 1e30f, 10, 1);
    drawline(&c.t, -1e9f, 3, 1e9f, 3, 1);
    EXPECT_TRUE(c.guardintact());
    for (auto p : c.lit()) EXPECT_EQ(p.second, 3);
}

TEST(Draw, CirclesAndDiscsStayOnTheirRadiusAndClip)
{
    canvas c(21, 21);
    drawcirc(&c.t, 10, 10, 0, 1);
    EXPECT_EQ(c.lit(), (pixset{{10, 10}}));
    c.fill(0), drawcirc(&c.t, 10, 10, 5, 1);
    pixset s = c.lit();
    EXPECT_EQ(s.count({15, 10}) + s.count({5, 10}) + s.count({10, 15}) + s.count({10, 5}), 4u);
    for (auto p : s) {  // symmetric, and on the radius
        EXPECT_TRUE(s.count({20 - p.first, p.second}) && s.count({p.second, p.first}));
        EXPECT_NEAR(hypot(p.first - 10, p.second - 10), 5, 0.75);
    }
    c.fill(0), drawcircfill(&c.t, 10, 10, 0, 1), drawcircfill(&c.t, 10, 10, 3, 1);
    EXPECT_EQ(c.lit(), rows({{8, 12, 8}, {8, 12, 9}, {7, 13, 10}, {8, 12, 11}, {8, 12, 12}}));  // right end open
    c.fill(0), drawcircfill(&c.t, 10, -1000000, 1000010, 1);  // huge: only the visible rows
    EXPECT_EQ(c.lit().size(), 210u);
    drawcirc(&c.t, 0, 0, 30, 1), drawcircfill(&c.t, 10, -2147483000, 2147483000, 1);
    EXPECT_TRUE(c.guardintact());
}

// The text pixels straight from the glyph table.
static void expecttext(canvas &c, int32_t x, int32_t y, const char *s, uint32_t f, uint32_t b) {
    for (int32_t i = 0; s[i]; i++)
        for (int32_t r = 0; r < 8; r++)
            for (int32_t k = 0; k < 6; k++) {
                int32_t px = x + i * 6 + k, py = y + r;
                if (px < 0 || py < 0 || px >= c.w || py >= c.h) continue;
                bool on = font6x8[(unsigned char)s[i]][r] & (0x80 >> k);
                ASSERT_EQ(c.at(px, py), on ? f : b) << "char " << i << " row " << r << " col " << k;
            }
}

TEST(Print6x8, DrawsGlyphCellsOpaqueOrTransparentClippedWithWideTabs)
{
    canvas c(40, 12);
    c.fill(0x123456), print6x8(&c.t, 2, 1, 0xFFFFFF, 0x000011, "%c%d", 'A', 7);
    expecttext(c, 2, 1, "A7", 0xFFFFFF, 0x000011);
    c.fill(0x123456), print6x8(&c.t, 0, 0, 1, 2, nullptr);
    print6x8(&c.t, -4, -3, 0xFFFFFF, -1, "\xDB\x82");  // code-page glyphs, background kept
    expecttext(c, -4, -3, "\xDB\x82", 0xFFFFFF, 0x123456);
    print6x8(&c.t, 36, 5, 0xFFFFFF, 0x000022, "WWWW");
    EXPECT_TRUE(c.guardintact());
    canvas d(40, 8);
    print6x8(&d.t, 0, 0, 0xFFFFFF, 0x000033, "\tX");
    expecttext(d, 0, 0, "\t", 0xFFFFFF, 0x000033);
    for (int32_t i = 0; i < 12 * 8; i++) EXPECT_EQ(d.at(6 + i % 12, i / 12), 0x000033u);
    expecttext(d, 18, 0, "X", 0xFFFFFF, 0x000033);
}

// === program pixel writers and getpixpal ===

TEST(Pixels, WritersStoreTheirDepthAndClip)
{
    void (*w[5])(int32_t, int32_t, int32_t) = {nullptr, drawpix8, drawpix16, drawpix24, drawpix32};
    const uint8_t want[4][4] = {{22}, {0x55, 0x55}, {0x55, 0x55, 0xFF}, {0x55, 0x55, 0xFF, 0}};  // 22: 0xFF5555
    uint8_t mem[4 * 3 * 4];
    memcpy(vpal, ovpal, sizeof(vpal));
    for (int32_t bytes = 1; bytes <= 4; bytes++) {
        memset(mem, 0xEE, sizeof(mem));
        gdd = {(intptr_t)mem, 4 * bytes, 4, 3};
        w[bytes](1, 2, 22);
        w[bytes](-1, 0, 22), w[bytes](4, 0, 22), w[bytes](0, 3, 22), w[bytes](0, 0, -1), w[bytes](0, 0, PALSIZ);
        EXPECT_EQ(memcmp(mem + 2 * 4 * bytes + bytes, want[bytes - 1], bytes), 0) << bytes << " bytes";
        int32_t changed = 0;
        for (uint8_t b : mem) changed += b != 0xEE;
        EXPECT_LE(changed, bytes) << "writes beside the pixel at " << bytes << " bytes";
    }
    gdd = {0, 0, 0, 0};
}

TEST(Pixels, GetpixpalFindsTheNearestStandardColour)
{
    canvas c(4, 1);
    c.program();
    const struct { uint32_t v; int32_t k; } cases[] = {
        {0xFFFFFF, 15}, {0x010101, 0}, {0xAA0000, 4}, {0xFE5656, 12},
        {0x808080, 7},    // 0xAAAAAA at 126 beats 0x555555 at 129
        {0xFF000000, 0},  // the top byte plays no part
        {0x000055, 0},    // as near to blue as to black: the first wins
    };
    for (auto k : cases) {
        c.at(0, 0) = k.v;
        EXPECT_EQ(getpixpal(0, 0), k.k) << std::hex << k.v;
    }
    EXPECT_EQ(getpixpal(4, 0) + getpixpal(-1, 0), 0);
    vpal[25] = 0x123456, c.at(1, 0) = 0x123456;  // exact matches come from the live palette
    EXPECT_EQ(getpixpal(1, 0), 15);
    uint8_t idx[2] = {24, 3};
    gdd = {(intptr_t)idx, 2, 2, 1}, colbytes = 1;
    EXPECT_EQ(getpixpal(0, 0), 14);
    EXPECT_EQ(getpixpal(1, 0), 0);
    gdd = {0, 0, 0, 0}, colbytes = 4;
}

// === plot line routines ===

TEST(Plotline, SolidLinesAreHalfOpenFromEitherEndAndExactBeyond2048)
{
    const struct { double x0, y0, x1, y1; pixset want; } cases[] = {
        {0, 0, 10, 0, rows({{0, 10, 0}})}, {10, 0, 0, 0, rows({{0, 10, 0}})}, {0.2, 0.2, 0.4, 0.4, {}},
        {3.4, 2, 3.4, 7, rows({{3, 4, 2}, {3, 4, 3}, {3, 4, 4}, {3, 4, 5}, {3, 4, 6}})},
        {0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}}}, {2.5, 1, 5.5, 1, rows({{2, 6, 1}})},  // ties round to even
        {0, 3000.5, 16, 3000.5, rows({{0, 16, 3000}})}, {-1e12, 5, 1e12, 5, rows({{0, 16, 5}})},
        {NAN, 1, 5, 1, {}}, {0, 1, INFINITY, 1, {}},
    };
    for (auto &k : cases) {
        canvas c(16, 3100);
        c.program();
        line(k.x0, k.y0, k.x1, k.y1, 25);
        EXPECT_EQ(c.lit(), k.want) << k.x0 << "," << k.y0 << " " << k.x1 << "," << k.y1;
        EXPECT_TRUE(memcmp(&movetoposx, &k.x1, 8) == 0 && movetoposy == k.y1);  // the pen moves even so
    }
}

TEST(Plotline, PatternsDashesAndLinetoFollowThePen)
{
    canvas c(40, 40);
    c.program();
    dotline2d(0, 3, 40, 3, 25, 0x55555555), dotline2d(5, 40, 5, 6, 25, 0x66666666);
    dotline2d(0, 1, 40, 1, 25, 0x0000FFFF);
    for (int32_t k = 6; k < 40; k++) EXPECT_EQ(c.at(k, 3) != 0, k % 2 == 0) << k;
    for (int32_t k = 0; k < 40; k++) EXPECT_EQ(c.at(k, 1) != 0, (k & 31) < 16) << k;
    for (int32_t k = 6; k < 40; k++) EXPECT_EQ(c.at(5, k) != 0, (k & 3) == 1 || (k & 3) == 2) << k;
    c.fill(0), line(0, 0, 5, 5, 25), c.fill(0), lineto(10, 5, 25);
    EXPECT_EQ(c.lit(), rows({{5, 10, 5}}));
    line(3, 3, 3.1, 3.1, 25), c.fill(0), lineto(3, 8, 25);  // an empty line still moves the pen
    EXPECT_EQ(c.lit(), rows({{3, 4, 3}, {3, 4, 4}, {3, 4, 5}, {3, 4, 6}, {3, 4, 7}}));
    c.fill(0), dotline(0, 1, 40, 1, 25, 12, -1);  // phase < 0: plain line in col0
    EXPECT_EQ(c.lit(), rows({{0, 40, 1}}));
    const struct { double x0, y0, x1, y1; int32_t step; bool ym; } dirs[] = {
        {0, 2, 40, 2, 1, false}, {40, 2, 0, 2, -1, false}, {2, 0, 2, 40, 1, true}, {2, 40, 2, 0, -1, true}};
    for (auto d : dirs)
        for (int32_t phase = 0; phase < 33; phase++) {
            canvas a(41, 41), b(41, 41);
            a.program(), dotline(d.x0, d.y0, d.x1, d.y1, 10, 25, phase);
            b.program(), dotline(d.x0, d.y0, d.x1, d.y1, 10, 25, phase + 1);
            for (int32_t k = 1; k < 39; k++)  // phase + 1 is phase one pixel further along
                ASSERT_EQ(d.ym ? b.at(2, k) : b.at(k, 2), d.ym ? a.at(2, k - d.step) : a.at(k - d.step, 2)) << phase;
            EXPECT_GE(a.lit().size(), 8u);  // dashes in col1, the rest in col0 (black)
        }
}
