// test_text.cpp: number formatting, text drawing into a small window of a
// headless buffer, and the help windows (layout, justification, scrolling, files).
#include "edit/edit.h"
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <fstream>
#include <string>
#include <vector>

// === fstr / ltrim ===

TEST(Fstr, FormatsWorkedResultsAndCorners)
{
    const struct { double x; const char *want; } cases[] = {
        {1, " 1"}, {-2.5, "-2.5"}, {123.45, " 123.45"}, {3.14159265, " 3.141593"}, {999999.96, " 1000000"},
        {9999999, " 9999999"}, {12345678, " 1.234568E+07"}, {1e10, " 1E+10"}, {-0.25, "-.25"},
        {0.0012345, " .0012345"}, {4.7e-6, " .0000047"}, {1e-7, " .0000001"},
        {1.5e-7, " 1.5E-07"}, {0.00012345, " 1.2345E-04"}, {2.2e-12, " 2.2E-12"},
        // rounding carries across a power of ten, trailing zeros, the layout borders
        {9999999.6, " 1E+07"}, {999.99996, " 1000"}, {0.99999996, " 1"}, {0.099999996, " .1"},
        {1e-8, " 1E-08"}, {1e7, " 1E+07"}, {2.50, " 2.5"}, {100, " 100"},
        {123456.7, " 123456.7"}, {1234567.4, " 1234567"}, {1.2345675e-7, " 1.234568E-07"},
        // no sign, no digits
        {0.0, " 0"}, {-0.0, " 0"}, {NAN, " NAN"}, {-NAN, " NAN"}, {INFINITY, " \xEC"}, {-INFINITY, "-\xEC"},
        // exponents of 100 and more take three digits; the smallest subnormals still format
        {1e99, " 1E+99"}, {1e100, " 1E+100"}, {-1e100, "-1E+100"}, {1e-120, " 1E-120"},
        {1.7976931348623157e308, " 1.797693E+308"}, {-2.2250738585072014e-308, "-2.225074E-308"},
        {4.9406564584124654e-324, " 4.940656E-324"}, {1e-310, " 1E-310"},
    };
    for (auto c : cases) EXPECT_STREQ(fstr(c.x), c.want) << c.x;
}

TEST(Fstr, StaysInItsBufferAndRoundTripsAndLtrimDropsOneBlank)
{
    for (double x = 1e-320; x < 1e300; x *= 7.3) {
        ASSERT_LT(strlen(fstr(-x * 1.2345678)), sizeof(gnumstr)) << x;
        ASSERT_EQ(strspn(gnumstr + 1, "0123456789.E+-"), strlen(gnumstr + 1)) << gnumstr;
        ASSERT_NEAR(-atof(gnumstr), x * 1.2345678, x * 1.2345678 * 5.1e-7) << gnumstr;
    }
    char neg[] = "-2.5", two[] = "  1", none[] = "";
    EXPECT_EQ(ltrim(neg), neg);
    EXPECT_EQ(ltrim(two), two + 1);
    EXPECT_EQ(ltrim(none), none);
}

// === drawtext ===

// Test font in slot 0 (4 x 6 cells): 'X' inks its two left columns, '#' all of
// them (ink is the lowest byte only: 'z' is bright but blank). The view is a
// 12 x 8 window inside a larger buffer, so writes outside it show.
enum { GW = 4, GH = 6, BUFX = 20, BUFY = 14, VX = 12, VY = 8, VLEFT = 4, VTOP = 3 };
static const uint32_t SENTINEL = 0x12345678;

struct Drawtext : ::testing::Test {
    uint32_t strip[GW * GH * 256], buf[BUFX * BUFY];
    tiletype savedfont = font[0], savedgdd = gdd;
    int32_t savedbytes = colbytes;

    void SetUp() override { reset(); }
    void TearDown() override { font[0] = savedfont; gdd = savedgdd; colbytes = savedbytes; }
    void reset()
    {
        memset(strip, 0, sizeof(strip));
        for (int32_t i = 0; i < GW * GH; i++) {
            if (i % GW < 2) strip['X' * GW * GH + i] = 0xFFFFFFFF;
            strip['#' * GW * GH + i] = 0xFF000001;
            strip['z' * GW * GH + i] = 0xFFFFFF00;
        }
        font[0] = {(intptr_t)strip, GW * 4, GW, GH * 256};
        for (uint32_t &p : buf) p = SENTINEL;
        colbytes = 4;
        gdd = {(intptr_t)&buf[VTOP * BUFX + VLEFT], BUFX * 4, VX, VY};
        memcpy(vpal, ovpal, sizeof(vpal));
    }
    uint32_t at(int32_t x, int32_t y) { return buf[(VTOP + y) * BUFX + VLEFT + x]; }
    // the whole buffer must hold text s drawn at (x0, y0) in the view, and nothing else
    void check(const char *s, int64_t x0, int64_t y0, int32_t fg, int32_t bg)
    {
        for (int32_t y = 0; y < BUFY; y++)
            for (int32_t x = 0; x < BUFX; x++) {
                int64_t dx = x - VLEFT - x0, dy = y - VTOP - y0;
                uint32_t want = SENTINEL;
                int32_t inview = x >= VLEFT && x < VLEFT + VX && y >= VTOP && y < VTOP + VY;
                if (inview && dx >= 0 && dy >= 0 && dy < GH && dx < (int64_t)strlen(s) * GW) {
                    char c = s[dx / GW];
                    int32_t col = (c == '#' || (c == 'X' && dx % GW < 2)) ? fg : bg;
                    if (col >= 0) want = vpal[col];
                }
                ASSERT_EQ(buf[y * BUFX + x], want) << s << " at " << x0 << "," << y0 << ": " << x << "," << y;
            }
    }
};

TEST_F(Drawtext, ColoursInkAndBackgroundAsAskedAndExpandsTabs)
{
    const struct { int32_t fg, bg; } cases[] = {{25, 11}, {25, -1}, {-1, 11}, {14, 22}};
    for (auto c : cases) {
        reset();
        drawtext(0, 1, 1, c.fg, c.bg, "Xz#");
        check("Xz#", 1, 1, c.fg, c.bg);
    }
    reset(), drawtext(0, 0, 0, 25, 11, "%c%c", 'X', '#');
    check("X#", 0, 0, 25, 11);
    reset(), drawtext(0, 0, 0, 25, 11, "", "#%d");  // an empty format draws the argument as it is
    check("#%d", 0, 0, 25, 11);
    reset(), drawtext(0, -8, 0, 25, 11, "X\t#X");
    check("X   #X", -8, 0, 25, 11);
    reset();
    drawtext(0, 0, 0, -1, -1, "###");
    drawtext(0, 0, 0, 25, 10, (const char *)0);
    drawtext(NUMFONTS, 0, 0, 25, 10, "#");
    drawtext(0, 0, 0, PALSIZ + 5, -1, "#");
    font[0].f = 0;  // not decoded
    drawtext(0, 0, 0, 25, 10, "#");
    check("", 0, 0, -1, -1);
}

TEST_F(Drawtext, ClipsAtEveryEdgeOfTheView)
{
    static char longtext[5000];
    memset(longtext, '#', sizeof(longtext) - 1);
    const struct { int32_t x, y; const char *s; } cases[] = {
        {-3, 0, "X#X#"}, {-13, 1, "X#X#"}, {9, 2, "X#X#"}, {12, 0, "X#X#"}, {0, -4, "X#X#"}, {1, -6, "X#X#"},
        {2, 5, "X#X#"}, {0, 8, "X#X#"}, {-2, -2, "X#X#"}, {10, 6, "X#X#"}, {INT32_MIN, 0, "X#"},
        {INT32_MAX, 0, "X#"}, {0, INT32_MIN, "X#"}, {0, INT32_MAX, "X#"}, {-4000, 1, longtext},
    };
    for (auto c : cases) {
        reset();
        drawtext(0, c.x, c.y, 25, 11, "", c.s);
        check(c.s, c.x, c.y, 25, 11);
    }
}

TEST_F(Drawtext, WritesColbytesLowestByteFirst)
{
    vpal[25] = 0x00A1B2C3;
    const uint8_t colour[4][4] = {{25}, {0xC3, 0xB2}, {0xC3, 0xB2, 0xA1}, {0xC3, 0xB2, 0xA1, 0x00}};
    for (int32_t bytes = 1; bytes <= 4; bytes++) {
        for (uint32_t &p : buf) p = SENTINEL;
        colbytes = bytes;
        drawtext(0, 0, 0, 25, -1, "#");
        const uint8_t *row = (const uint8_t *)&buf[VTOP * BUFX + VLEFT];
        for (int32_t i = 0; i < GW * bytes; i++) EXPECT_EQ(row[i], colour[bytes - 1][i % bytes]) << bytes << " " << i;
        EXPECT_EQ(row[GW * bytes], (uint8_t)(SENTINEL >> (GW * bytes % 4 * 8)));
    }
}

TEST_F(Drawtext, HelpWindowDrawsLinesScrolledByThePlotRecord)
{
    plottype p = {}, *saved = gplot;
    int32_t savedhelpfont = vopts.circfont;
    gplot = &p, vopts.circfont = 0;
    helpfree();
    helpbuf[1] = strdup("##\r\n# #\r\n#\r\n");
    helpleng[1] = (int32_t)strlen(helpbuf[1]);
    p.scrolly = GH + 0.4;  // one line down
    p.scrollx = -1.6;      // two pixels right
    helprender(1);
    for (int32_t y = 0; y < VY; y++)
        for (int32_t x = 0; x < VX; x++) {
            const char *s = y < GH ? "# #" : "#";
            int32_t c = (x - 2) / GW, ink = x >= 2 && c < (int32_t)strlen(s) && s[c] == '#';
            ASSERT_EQ(at(x, y), ink ? vpal[17] : SENTINEL) << x << "," << y;
        }
    helpfree();
    vopts.circfont = savedhelpfont, gplot = saved;
}

// === help layout ===

struct laid { std::string s; int32_t y, justify; };

// the lines of t in a view of cols columns of 6 x 8 glyphs, rows high, scrolled by ys
static std::vector<laid> layout(const std::string &t, int32_t cols, int32_t ys = 0, int32_t rows = 100000)
{
    std::vector<laid> v;
    auto emit = [](const helpline *l, void *out) {
        ((std::vector<laid> *)out)->push_back({std::string(l->s, l->n), l->y, l->justify});
    };
    helplayout(t.data(), (int32_t)t.size(), (cols - 1) * 6, rows * 8, 6, 8, ys, emit, &v);
    return v;
}

static std::string show(const std::vector<laid> &v)
{
    std::string s;
    for (const laid &l : v) s += "[" + l.s + (l.justify ? "]j" : "]") + std::to_string(l.y) + " ";
    return s;
}

TEST(Helplayout, WrapsAtTheLastSpaceAndJustifiesOnlyWrappedLines)
{
    const struct { const char *text; int32_t cols; const char *want; } cases[] = {
        {"ab\r\ncd\r\n", 10, "[ab ]0 [cd ]8 "},
        {"ab\ncd\n", 10, "[abcd]0 "},                               // LF alone runs on
        {"aaa bbb ccc ddd\r\n", 10, "[aaa bbb ]j0 [ccc ddd ]8 "},
        {"abcdefghijklmno\r\n", 10, "[abcdefghij]j0 [klmno ]8 "},   // a long word is cut
        {" abcdefghijk\r\n", 10, "[ abcdefghi]j0 [jk ]8 "},          // a leading space is no break
        {"a\tb\r\n\r\nc\r\n", 10, "[a   b ]0 [ ]8 [c ]16 "},
        {"x\xe9y\x01z\r\n", 10, "[xyz ]0 "},                        // bytes outside 0x20..0x7F dropped
        {"hello world", 20, "[hello world]0 "},                      // a closing line that fits stays whole
        {"aaaa bbbb cc", 10, "[aaaa bbbb ]j0 [cc]8 "},
    };
    for (auto c : cases) EXPECT_EQ(show(layout(c.text, c.cols)), c.want) << c.text;
    EXPECT_EQ(show(layout("a\r\nb\r\nc\r\nd\r\n", 10, 0, 2)), "[a ]0 [b ]8 ") << "stops at the bottom";
}

TEST(Helplayout, SpreadsJustifiedCharactersOverTheFullWidth)
{
    const struct { int32_t n, viewx, xs, justify; int32_t want[8]; } cases[] = {
        {8, 59, 0, 1, {0, 8, 16, 25, 33, 42, 50, 58}}, {8, 56, 0, 1, {0, 8, 16, 24, 32, 40, 48, 56}},
        {8, 59, 5, 1, {-5, 3, 11, 20, 28, 37, 45, 53}}, {1, 59, 0, 1, {0}}, {2, 100, 0, 1, {0, 100}},
        {3, 59, 2, 0, {-2, 4, 10}},
    };
    for (auto c : cases) {
        helpline l = {"abcdefgh", c.n, 0, c.justify};
        for (int32_t j = 0; j < c.n; j++) EXPECT_EQ(helpcharx(j, &l, c.viewx, 6, c.xs), c.want[j]) << c.n << " " << j;
    }
}

static std::string readfile(const std::string &name)
{
    std::ifstream f(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TEST(Helplayout, ScrolledGuideIsTheUnscrolledOneShifted)
{
    std::string guide = readfile(VELTO_SOURCE_DIR "/velto.txt");
    ASSERT_GT(guide.size(), 1000u);
    for (size_t i = 0; i < guide.size(); i++) {  // plain text with CR LF line ends
        unsigned char c = guide[i];
        bool crlf = (c == '\r' && guide[i + 1] == '\n') || (c == '\n' && guide[i - 1] == '\r');
        ASSERT_TRUE((c >= 0x20 && c < 0x7F) || crlf) << "byte " << (int)c << " at " << i;
    }
    std::vector<laid> whole = layout(guide, 50);
    for (int32_t ys : {8, 37, 800}) {
        std::vector<laid> want;
        for (const laid &l : whole)
            if (l.y - ys + 8 >= 0 && l.y - ys < 30 * 8) want.push_back({l.s, l.y - ys, l.justify});
        EXPECT_EQ(show(layout(guide, 50, ys, 30)), show(want)) << ys;
    }
}

// === help files ===

TEST(Helpfile, NameFollowsTheSettingsFile)
{
    const struct { const char *ini, *want; } cases[] = {
        {"/opt/velto/velto.ini", "/opt/velto/velto.txt"}, {"a.ini", "a.txt"}, {"x.in", "velto.txt"}, {"", "velto.txt"},
    };
    char out[260];
    for (auto c : cases) {
        helpfilename(out, sizeof(out), c.ini);
        EXPECT_STREQ(out, c.want);
    }
}

TEST(Helpfile, LoadsOnceAndAMissingFileIsNeverRetried)
{
    char dir[] = "/tmp/velto_helpXXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    std::string name = std::string(dir) + "/velto.txt";
    plottype p = {}, *saved = gplot;
    gplot = &p;
    snprintf(helpdir, sizeof(helpdir), "%s", dir);
    helpfree();
    helprender(1);
    EXPECT_EQ(helpbuf[1], HELPFAILED);
    std::ofstream(name, std::ios::binary) << "Line one\r\nLine two\r\n";
    helprender(1);
    EXPECT_EQ(helpbuf[1], HELPFAILED) << "a failed load stays failed";
    helpfree();
    helprender(1);
    ASSERT_NE(helpbuf[1], HELPFAILED);
    EXPECT_EQ(std::string(helpbuf[1], helpleng[1]), "Line one\r\nLine two\r\n");
    helpfree();
    helpdir[0] = 0, gplot = saved;
    remove(name.c_str()), rmdir(dir);
}
