// test_frame.cpp: the frame through its headless backend (key map, FIFO, held
// keys, clock, scripted input, dialogs, clipboard) and the drawing primitives,
// pixel writers, getpixpal and plot line routines at their clipping edges.
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <array>
#include <set>
#include <string>
#include <vector>
#include "analysis/analysis.h"
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

TEST(Keymap, EveryPcKeyHasItsSetOneCode)
{
    const struct { int32_t hid, pc; } keys[] = {  // usage id, scan code; by keyboard row
        {0x29, 0x01}, {0x3A, 0x3B}, {0x3B, 0x3C}, {0x3C, 0x3D}, {0x3D, 0x3E}, {0x3E, 0x3F}, {0x3F, 0x40},
        {0x40, 0x41}, {0x41, 0x42}, {0x42, 0x43}, {0x43, 0x44}, {0x44, 0x57}, {0x45, 0x58}, {0x46, 0xB7},
        {0x47, 0x46}, {0x48, 0xC5},                                                   // Esc F1..F12 PrtSc ScrLk Pause
        {0x35, 0x29}, {0x1E, 0x02}, {0x1F, 0x03}, {0x20, 0x04}, {0x21, 0x05}, {0x22, 0x06}, {0x23, 0x07},
        {0x24, 0x08}, {0x25, 0x09}, {0x26, 0x0A}, {0x27, 0x0B}, {0x2D, 0x0C}, {0x2E, 0x0D}, {0x2A, 0x0E},  // ` 1..0 - = BS
        {0x2B, 0x0F}, {0x14, 0x10}, {0x1A, 0x11}, {0x08, 0x12}, {0x15, 0x13}, {0x17, 0x14}, {0x1C, 0x15},
        {0x18, 0x16}, {0x0C, 0x17}, {0x12, 0x18}, {0x13, 0x19}, {0x2F, 0x1A}, {0x30, 0x1B}, {0x28, 0x1C},  // Tab Q..P [ ] Ret
        {0x39, 0x3A}, {0x04, 0x1E}, {0x16, 0x1F}, {0x07, 0x20}, {0x09, 0x21}, {0x0A, 0x22}, {0x0B, 0x23},
        {0x0D, 0x24}, {0x0E, 0x25}, {0x0F, 0x26}, {0x33, 0x27}, {0x34, 0x28}, {0x31, 0x2B}, {0x32, 0x2B},  // Caps A..L ; ' \ #
        {0xE1, 0x2A}, {0x64, 0x56}, {0x1D, 0x2C}, {0x1B, 0x2D}, {0x06, 0x2E}, {0x19, 0x2F}, {0x05, 0x30},
        {0x11, 0x31}, {0x10, 0x32}, {0x36, 0x33}, {0x37, 0x34}, {0x38, 0x35}, {0xE5, 0x36},                // LShift ISO Z../ RShift
        {0xE0, 0x1D}, {0xE3, 0xDB}, {0xE2, 0x38}, {0x2C, 0x39}, {0xE6, 0xB8}, {0xE7, 0xDC}, {0x65, 0xDD},
        {0xE4, 0x9D},                                                                 // Ctrl Win Alt Space AltGr Win Menu Ctrl
        {0x49, 0xD2}, {0x4A, 0xC7}, {0x4B, 0xC9}, {0x4C, 0xD3}, {0x4D, 0xCF}, {0x4E, 0xD1}, {0x52, 0xC8},
        {0x50, 0xCB}, {0x51, 0xD0}, {0x4F, 0xCD},                                     // Ins Home PgUp Del End PgDn arrows
        {0x53, 0x45}, {0x54, 0xB5}, {0x55, 0x37}, {0x56, 0x4A}, {0x5F, 0x47}, {0x60, 0x48}, {0x61, 0x49},
        {0x57, 0x4E}, {0x5C, 0x4B}, {0x5D, 0x4C}, {0x5E, 0x4D}, {0x59, 0x4F}, {0x5A, 0x50}, {0x5B, 0x51},
        {0x58, 0x9C}, {0x62, 0x52}, {0x63, 0x53},                                     // keypad
        {0x87, 0x73}, {0x88, 0x70}, {0x89, 0x7D}, {0x8A, 0x79}, {0x8B, 0x7B},       // Japanese keys
    };
    uint8_t want[256] = {0};
    for (auto k : keys) want[k.hid] = (uint8_t)k.pc;
    for (int32_t hid = 0; hid < 256; hid++) EXPECT_EQ(hid2pc[hid], want[hid]) << "usage id " << hid;
}

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
    for (int32_t i = 0; i < 100; i++) hl_key(0x10, 'q', 0), hl_key(0x11, 'w', 0);  // across the slot wrap
    breath();
    for (int32_t i = 0; i < 200; i++) ASSERT_EQ(keyread() & 255, i & 1 ? 'w' : 'q');
    EXPECT_EQ(keyread(), 0);
}

TEST_F(Headless, ScriptArrivesPassByPassOnAVirtualClock)
{
    hl_setstep(10000);
    hl_type("R1"), hl_pass();
    hl_key(0xC8, 0, 0), hl_mouse(10, 20), hl_pass();
    hl_mouse(13, 16), hl_button(1), hl_wheel(2), hl_pass();
    hl_wheel(-1), hl_button(0), hl_close();
    EXPECT_EQ(keyread(), 0);
    double t = vlock();
    EXPECT_EQ(breath(), 0);
    EXPECT_NEAR(vlock() - t, 0.01, 1e-9);
    EXPECT_EQ(keyread(), 'R' | 0x1300 | KEYSHIFT);
    EXPECT_EQ(keyread(), '1' | 0x0200);
    EXPECT_EQ(keyread(), 0);
    EXPECT_EQ(breath(), 0);
    EXPECT_EQ(keyread(), 0xC800);
    EXPECT_EQ(mousx * 100 + mousy, 1020);
    dmousx = dmousy = 0;
    t = vlock(), Sleep(1000), Sleep(0);
    EXPECT_NEAR(vlock() - t, 59 / 60.0, 1e-6);
    EXPECT_EQ(breath(), 0);
    EXPECT_EQ(dmousx * 100 + dmousy, 300 - 4);
    EXPECT_EQ(bstatus * 1000 + dmousz, 1240);
    EXPECT_NE(breath(), 0);
    EXPECT_EQ(bstatus * 1000 + dmousz, 120);
}

TEST_F(Headless, HeldKeysKeepProgramWritesAndReleaseWhileInactive)
{
    hl_keydown(0x1D), hl_pass(), hl_pass(), hl_keyup(0x1D), hl_keydown(0xC8), hl_pass();
    hl_activate(0), hl_pass(), hl_activate(1);
    auto pass = [] { breath(), readkeyboard(); return keystatus[0x1D] * 10 + keystatus[0xC8]; };
    EXPECT_EQ(pass(), 10);
    keystatus[0x1D] = 0;  // the program swallows the key: it stays swallowed
    EXPECT_EQ(pass(), 0);
    keystatus[0x1D] = 1;  // and the release still arrives
    EXPECT_EQ(pass(), 1);
    EXPECT_EQ(pass(), 0);
    EXPECT_EQ(ActiveApp, 0);
    EXPECT_EQ(pass(), 1);  // still held when the window comes back
}

TEST_F(Headless, FrameLoopFollowsResizesShowsItsBufferAndQuits)
{
    hl_pass(), hl_resize(640, 480), hl_pass(), hl_resize(0, 10), hl_key(0x10, 'q', KEYCTRL);
    int32_t passes = 0;
    for (; !breath(); passes++) {
        for (int32_t k; (k = keyread()) != 0;)
            if ((k & KEYCOMMAND) && (k & 255) == 'q') quitloop();
        ASSERT_EQ(startdirectdraw(&gdd.f, &gdd.p, &gdd.x, &gdd.y), 1);
        drawrectfill(&gdd, 0, 0, gdd.x, gdd.y, 0xAA0000 + passes);
        nextpage();
    }
    EXPECT_EQ(passes * 10 + hl_frames(), 33);
    EXPECT_EQ(gdd.x * 10000 + gdd.y, 6400480);  // the nonsense size kept the buffer
    EXPECT_EQ(gdd.p, 2560);
    const tiletype *s = hl_shown();
    ASSERT_EQ(s->x * s->y, 640 * 480);
    for (int32_t i = 0; i < 640 * 480; i++) ASSERT_EQ(((uint32_t *)s->f)[i], 0xAA0002u);
    hl_reset(), hl_failinit(1);
    EXPECT_EQ(initapp(64, 48), -1);
    hl_reset();
    EXPECT_EQ(initapp(0, 48), -1);
}

// === dialogs and clipboard ===

TEST_F(Headless, DialogsAndClipboardAnswerFromTheScript)
{
    hl_answer_yesno(1), hl_answer_yesno(0), hl_answer_yesno(2);  // 2: "Cancel"
    for (int32_t want : {1, 0, 0, 0})                             // the last: nobody answers
        EXPECT_EQ(msgbox_yesno("Are you sure you want to clear?", "velto"), want);
    msgbox_ok("initapp failed", "VELTO");
    EXPECT_EQ(hl_msgcount(), 5);
    EXPECT_STREQ(hl_lastmsg(), "initapp failed");
    char cwd[1024];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    std::string longpath = "/" + std::string(300, 'x');
    hl_answer_file("/home/someone/filter.VSM"), hl_answer_file("out.BMP");
    hl_answer_file(nullptr), hl_answer_file(longpath.c_str());
    char *a = loadfileselect("VSM file..", "*.VSM");
    EXPECT_STREQ(a ? a : "", "/home/someone/filter.VSM");
    char *b = savefileselect("BMP file..", "*.BMP");
    EXPECT_EQ(std::string(b ? b : ""), std::string(cwd) + "/out.BMP");
    EXPECT_EQ(loadfileselect("VSM file..", "*.VSM"), nullptr);  // cancelled
    EXPECT_EQ(savefileselect("VSM file..", "*.VSM"), nullptr);  // too long for its buffer
    EXPECT_EQ(loadfileselect("VSM file..", "*.VSM"), nullptr);  // nothing queued
    hl_answer_file("/a/second.VSM");
    EXPECT_EQ(loadfileselect("VSM file..", "*.VSM"), a);        // the same static buffer
    char small[5];
    EXPECT_EQ(absolutepath(small, 5, "/x/y") * 100 + absolutepath(small, 4, "/x/y") * 10 + absolutepath(small, 5, ""),
              100);
    int32_t n = -1;
    ASSERT_EQ(clipboard_write("1k5 ignored", 3), 1);
    char *c = clipboard_read(&n);
    EXPECT_EQ(std::string(c ? c : "", n), "1k5");
    free(c);
    hl_clipboard_set("");
    EXPECT_EQ(clipboard_read(&n), nullptr);
    EXPECT_EQ(n + clipboard_write(nullptr, 4), 0);
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
    EXPECT_EQ(getpixpal(0, 0) * 100 + getpixpal(1, 0), 1400);
    gdd = {0, 0, 0, 0}, colbytes = 4;
}

// === plot line routines ===

// The plain stepping over every pixel, to compare the cut and 64-bit walk with.
static pixset refline(double x0, double y0, double x1, double y1, int32_t w, int32_t h) {
    pixset s;
    bool ym = fabs(x1 - x0) < fabs(y1 - y0);
    double a0 = ym ? y0 : x0, a1 = ym ? y1 : x1, b0 = ym ? x0 : y0, da = a1 - a0, db = ym ? x1 - x0 : y1 - y0;
    if (da == 0) return s;
    int64_t fa = (int64_t)nearbyint(fmin(a0, a1)), fb = (int64_t)nearbyint(fmax(a0, a1));
    int64_t m = (int64_t)nearbyint(1048576.0 * db / da);
    int64_t b = (int64_t)nearbyint(1048576.0 * b0 + ((double)fa + 0.5 - a0) * (double)m);
    for (int64_t a = fa; a < fb; a++, b += m) {
        int64_t x = ym ? b >> 20 : a, y = ym ? a : b >> 20;
        if (x >= 0 && y >= 0 && x < w && y < h) s.insert({(int32_t)x, (int32_t)y});
    }
    return s;
}

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

TEST(Plotline, MatchesPlainSteppingFarBeyondTheTarget)
{
    srand(7);
    for (int32_t i = 0; i < 2000; i++) {
        double v[4];
        for (double &x : v) x = (rand() % 200001 - 100000) / 10.0;  // up to 10000 pixels away
        if (i % 3 == 0) v[1] = 20 + (rand() % 1000) / 100.0, v[3] = v[1] + (rand() % 200 - 100) / 7.0;
        canvas c(48, 40);
        c.program();
        line(v[0], v[1], v[2], v[3], 25);
        ASSERT_EQ(c.lit(), refline(v[0], v[1], v[2], v[3], 48, 40)) << v[0] << "," << v[1] << " " << v[2] << "," << v[3];
        ASSERT_TRUE(c.guardintact());
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
