// test_text.cpp: number formatting and text drawing into a small window of a
// headless buffer.
#include "edit/edit.h"
#include <gtest/gtest.h>
#include <math.h>
#include <string.h>
#include <fstream>
#include <iterator>
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

// Engineering form: four digits, a prefix that keeps the mantissa in
// [1, 1000), a carry into the next prefix; outside f..T the plain form.
TEST(Fstr, EngineeringFormWithPrefixesAndUnits)
{
    const struct { double x; const char *unit, *want; } cases[] = {
        {5e-4, "s", "500 \xE6s"}, {1570, "Hz", "1.57 kHz"}, {-0.04702, "V", "-47.02 mV"}, {3.84, "V", "3.84 V"},
        {999.96, "V", "1 kV"}, {-816e-6, "A", "-816 \xE6" "A"}, {2.2e-12, "F", "2.2 pF"}, {4.7e12, "Ohm", "4.7 TOhm"},
        {0, "V", "0 V"}, {1e-20, "A", "1E-20 A"}, {5e15, "Hz", "5E+15 Hz"}, {NAN, "V", "NAN V"},
    };
    char s[32];
    for (auto c : cases) {
        engstr(s, sizeof s, c.x, c.unit, '\xE6', ENGDIGITS);
        EXPECT_STREQ(s, c.want) << c.x;
    }
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

// the key summary and the guide name this platform's keys: Ctrl, not Cmd, and no Fn
// A file name's UTF-8 is drawn in the fonts' code page: what it has as its
// byte, what it lacks as '?'; bytes of another encoding stay as they are.
TEST(Fonttext, MapsUtf8ToTheCodePageAndKeepsOtherBytes)
{
    const struct { const char *in, *want; } cases[] = {
        {"Schaltung-\xC3\xBC\xE2\x82\xAC.vsm", "Schaltung-\x81?.vsm"},  // u umlaut, euro sign
        {"\xC2\xB5\xCE\xA9\xC2\xB0\xC3\x9F\xE2\x94\x82", "\xE6\xEA\xF8\xE1\xB3"},  // micro, ohm, degree, sharp s, bar
        {"\xF0\x9F\x98\x80!", "?!"},                                      // beyond the code page
        {"caf\xE9", "caf\xE9"}, {"a\xC3", "a\xC3"},                         // Latin-1, a cut sequence
        {"\xC0\xAF\xED\xA0\x80\xF5\x80", "\xC0\xAF\xED\xA0\x80\xF5\x80"},  // overlong, surrogate, too high
    };
    for (auto c : cases) {
        char out[64];
        const int32_t n = fonttext(out, c.in, (int32_t)strlen(c.in));
        EXPECT_EQ(std::string(out, n), c.want) << c.in;
    }
}

TEST(Helptexts, NameTheKeysOfThisKeyboard)
{
    int32_t n = 0;
    const char *t = helptext(0, &n);
    ASSERT_NE(t, nullptr);
    std::ifstream guide(VELTO_SOURCE_DIR "/velto.txt", std::ios::binary);
    std::string texts[2] = {std::string(t, (size_t)n), std::string(std::istreambuf_iterator<char>(guide), {})};
    ASSERT_GT(texts[1].size(), 1000u);
    for (const std::string &s : texts) {
        EXPECT_EQ(s.find("Cmd"), std::string::npos);
        EXPECT_EQ(s.find("Fn "), std::string::npos);
    }
    EXPECT_NE(texts[0].find("Ctrl+/"), std::string::npos);
}

// Lines end at CR, at CR LF once, and at a bare LF (the guide's own line
// ends); a long line wraps after its last space and is justified
TEST(Helptexts, LinesEndAtCrCrLfOrLfAndLongOnesWrap)
{
    auto lines = [](const char *text) {
        std::vector<std::string> out;
        helplayout(text, (int32_t)strlen(text), 8 * 10 - 1, 1000, 8, 10, 0,
                   [](const helpline *l, void *ctx) {
                       ((std::vector<std::string> *)ctx)->push_back(std::string(l->s, (size_t)l->n) + (l->justify ? "|" : ""));
                   }, &out);
        return out;
    };
    EXPECT_EQ(lines("ab\r\ncd\ref\ngh"), (std::vector<std::string>{"ab ", "cd ", "ef ", "gh"}));
    EXPECT_EQ(lines("one two three"), (std::vector<std::string>{"one two |", "three"}));
    EXPECT_EQ(lines("\n\nx"), (std::vector<std::string>{" ", " ", "x"}));
}
