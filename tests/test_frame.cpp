// test_frame.cpp: what both frame backends share (characters and key
// entries) and the drawing primitives and plot line routine at their edges.
#include <gtest/gtest.h>
#include <math.h>
#include <string.h>
#include <array>
#include <set>
#include <vector>
#include "edit/edit.h"
#include "frame/backend.h"
#include "frame/headless.h"

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
