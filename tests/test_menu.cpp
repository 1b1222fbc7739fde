// test_menu.cpp: the in-window menu: navigation keys and accelerators over
// the real table, the handlers' on/off and radio rules with their marks, the
// display strings, and the menu drawn and steered through the real main loop
// on the headless frame.
#include "tests/e2e.h"
#include <regex>

enum { ESC = 0x01, ENTER = 0x1C, KPENTER = 0x9C, LEFT = 0xCB, RIGHT = 0xCD, UP = 0xC8, DOWN = 0xD0 };

// scan codes of the letters and digits the cases use
static int32_t scanof(char c)
{
    const char *row = "__1234567890____QWERTYUIOP____ASDFGHJKL_____ZXCVBNM";
    return (int32_t)(strchr(row + 2, c) - row);
}

static int32_t key(int32_t scan) { return scan << 8; }

// the default settings, applied as start-up applies them; the menu closed
static void menudefaults(void)
{
    defaultopts(&vopts);
    menusetoversamp(64), menusetfontsiz(0x60008), menusetcpuusage(1), menuinvcols(0);
    menushowgrid(1), menushowresults(1), menushowcirchelp(1);
    menusel = -1;
    recalc = 0;
}

static char mark(int32_t i) { return menu[i].text[menulev(i)]; }

// === keys ===

TEST(Menu, KeysMoveWrapAndFindLettersFromTheLevelUpToTheBar)
{
    const struct { int32_t from, scan, to, used; } cases[] = {
        {0, DOWN, 1, 1},     // File opens at New
        {0, UP, 8, 1},       // ... or at Exit
        {8, DOWN, 1, 1},     // Exit wraps to New; separators are never highlighted
        {1, UP, 8, 1}, {4, DOWN, 6, 1}, {6, UP, 4, 1},
        {8, RIGHT, 10, 1},   // no submenu: the next pull-down opens
        {16, RIGHT, 17, 1}, {17, LEFT, 16, 1},
        {0, LEFT, 40, 1}, {40, RIGHT, 0, 1},  // the bar wraps both ways
        {10, LEFT, 1, 1}, {1, LEFT, 41, 1}, {41, RIGHT, 1, 1},
        {9, UP, 36, 1},      // the last item of Options, past the submenus
        {23, DOWN, 17, 1}, {17, UP, 23, 1},
        {0, ENTER, 1, 1}, {16, ENTER, 17, 1}, {25, KPENTER, 26, 1}, {37, ESC, -1, 1},
        {0, scanof('O'), 10, 1},   // on the bar: the pull-down opens
        {10, scanof('H'), 41, 1},  // no H in Options: the bar's Help
        {10, scanof('F'), 26, 1},  // Options' own Font before the bar's File
        {17, scanof('G'), -1, 1},  // Show Grid from inside a submenu: chosen, closed
        {0, scanof('Z'), 0, 0},    // nobody's letter
        {1, scanof('5'), 1, 0},    // digits belong to the Font submenu
        {12, 0x39, 12, 0},         // Space
        {-1, DOWN, -1, 0}, {-1, scanof('O'), -1, 0},  // closed
    };
    for (auto c : cases) {
        menudefaults();
        menusel = c.from;
        EXPECT_EQ(menuinput(key(c.scan)), c.used) << c.from << " " << c.scan;
        EXPECT_EQ(menusel, c.to) << c.from << " " << c.scan;
    }
}

TEST(Menu, SharedLetterChoosesTheFirstEntryAndHandlersRunClosed)
{
    menudefaults();
    menusel = 10;
    menuinput(key(scanof('S')));  // Show Solved volts & amps, never Time Scale Resolution
    EXPECT_EQ(vopts.showresults, 0);
    EXPECT_EQ(menusel, -1);
    menusel = 38;
    menuinput(key(scanof('M')));  // Max, never Medium
    EXPECT_EQ(vopts.cpuusage, 0);
    menusel = 26;
    menuinput(key(scanof('3')));
    EXPECT_EQ(vopts.circfont, 3);
}

// === handlers ===

TEST(Menu, OnOffRuleTogglesSetsAndKeepsTheMarkInStep)
{
    const struct { int32_t from, arg, want; } cases[] = {
        {1, 1, 1}, {0, 1, 1}, {1, 0, 0}, {0, -1, 1}, {1, -1, 0}, {0, 2, 0}, {1, 2, 1},
    };
    for (auto c : cases) {
        menushowgrid(c.from);
        menusel = 11;
        if (c.arg < 0) menuinput(key(ENTER));  // the item passes -1
        else menushowgrid(c.arg);
        EXPECT_EQ(vopts.gridmode, c.want) << c.from << " " << c.arg;
        EXPECT_EQ(mark(11), c.want ? '*' : '+') << c.from << " " << c.arg;
    }
}

TEST(Menu, InvertColorsFlipsBothPalettesOnlyOnAChange)
{
    menudefaults();
    uint32_t normal[PALSIZ];
    for (int32_t i = 0; i < PALSIZ; i++) vpal[i] = ovpal[i], normal[i] = ovpal[i];
    menuinvcols(1);
    menuinvcols(1);
    EXPECT_EQ(ovpal[10], 0xFFFFFFu);
    EXPECT_EQ(vpal[41], normal[41] ^ 0xFFFFFF);
    EXPECT_EQ(ovpal[9], normal[9]) << "entries below 10 stay";
    EXPECT_EQ(mark(10), '*');
    vpal[10] = 0x550000;  // a tinted background in this pass's copy does not count
    menuinvcols(-1);
    for (int32_t i = 0; i < PALSIZ; i++) EXPECT_EQ(ovpal[i], normal[i]) << i;
    EXPECT_EQ(vopts.palinverted, 0);
    EXPECT_EQ(mark(10), '+');
}

TEST(Menu, RadioHandlersMarkTheChoiceAndResolutionAsksForRecalcOnlyOnChange)
{
    menudefaults();
    menusetoversamp(64);
    EXPECT_EQ(recalc, 0);
    menusetoversamp(256);
    EXPECT_EQ(recalc, 3);
    EXPECT_EQ(vopts.sampsperpix, 256);
    for (int32_t i = 17; i <= 23; i++) EXPECT_EQ(mark(i), i == 21 ? '*' : '+') << i;
    menusetfontsiz(0x8000C);
    EXPECT_EQ(vopts.circfont, 4);
    menusetfontsiz(0x50005);  // no such font: the font and its mark stay
    EXPECT_EQ(vopts.circfont, 4);
    for (int32_t i = 26; i <= 35; i++) EXPECT_EQ(mark(i), i == 30 ? '*' : '+') << i;
    menusetcpuusage(2);
    EXPECT_EQ(vopts.cpuusage, 2);
    EXPECT_EQ(std::string() + mark(37) + mark(38) + mark(39), "++*");
}

TEST(Menu, HelpItemClosesItsOpenWindowAndLeavesTheOtherKind)
{
    numplots = 2;
    plot[0].kind = PLOT_HELP, plot[1].kind = PLOT_KEYS;
    plotorder[0] = 1, plotorder[1] = 0;
    menushowhelp(0);
    menushowhelp(0);  // opened again where a window can open, and closed
    menushowhelp(0);
    EXPECT_EQ(numplots, 1);
    EXPECT_EQ(plot[0].kind, PLOT_HELP);
    menushowhelp(1);
    EXPECT_EQ(numplots, 0);
}

// === display strings ===

TEST(Menu, DisplayStringsAlignHintsAndMarkSubmenus)
{
    menudefaults();
    EXPECT_EQ(menuwidth(0), 8);
    EXPECT_EQ(menuwidth(10), 25);
    EXPECT_EQ(menuwidth(1), 30);
    const struct { int32_t e, first; const char *want; int32_t acc; } cases[] = {
        {0, 0, " File ", 1},
        {9, 0, " Options ", 1},
        {11, 10, "*Show Grid              = ", 6},
        {10, 10, " Invert colors          ` ", 1},
        {16, 10, " Time Scale Resolution   >", 6},
        {36, 10, " CPU usage               >", 1},
        {14, 10, "*Show Solved volts & amps ", 6},
        {2, 1, " Open .VSM circuit file Ctrl+L ", 1},
        {6, 1, " Screen capture (.BMP)     F12 ", -1},
        {8, 1, " Exit                          ", 2},
        {26, 26, " 0: 4x6   ", 1}, {27, 26, "*1: 6x8   ", 1},
        {20, 17, "*64x   ", -1}, {23, 17, " 4096x ", -1},
    };
    char b[MENUTEXTMAX + 2];
    for (auto c : cases) {
        EXPECT_EQ(menulabel(c.e, menuwidth(c.first), b), c.acc) << c.e;
        EXPECT_STREQ(b, c.want) << c.e;
    }
}

// === through the main loop ===

struct Menudraw : E2E {};

// The bar (21 rows, as wide as its three items) with light top and left
// edges and dark bottom and right ones; File's pull-down below it with a
// separator band under its fourth item; a submenu joined to Time Scale
// Resolution (seventh in Options, row 114) and two pixels right of it.
TEST_F(Menudraw, BarPullDownAndSubmenuAtTheirPlaces)
{
    const struct { int32_t sel, x, y, col; } cases[] = {
        {0, 0, 0, 10}, {0, 1, 0, 40}, {0, 0, 10, 40}, {0, 100, 19, 37}, {0, 167, 10, 37},
        {0, 168, 10, 10}, {0, 100, 21, 10}, {0, 20, 4, 38}, {0, 60, 4, 39},
        {1, 100, 21, 40}, {1, 100, 84 + 2, 37}, {1, 100, 84 + 3, 40}, {1, 100, 84 + 5, 39},
        {1, 247, 60, 37}, {1, 248, 60, 10},
        {17, 256, 114, 39}, {17, 257, 128, 39}, {17, 259, 111, 40}, {17, 258, 114, 40},
        {-1, 1, 0, 10},
    };
    ASSERT_EQ(start(), 1);
    menudefaults();
    for (auto c : cases) {
        menusel = c.sel;
        passes();
        EXPECT_EQ(shownpal(c.x, c.y), c.col) << c.sel << ": " << c.x << "," << c.y;
    }
    menusel = 0;
    passes();
    EXPECT_GT(countpal(8, 3, 16, 18, 41), 0) << "the accelerator F";
    EXPECT_EQ(countpal(2, 3, 48, 18, 39), 0) << "the highlighted item has no plain face";
}

TEST_F(Menudraw, KeysReachTheMenuAndItsHandlersThroughThePass)
{
    ASSERT_EQ(start(), 1);
    passes();
    menusel = 0;
    for (int32_t s : {RIGHT, RIGHT, DOWN, DOWN, DOWN, ENTER}) hl_key(s, 0, 0);
    settle();
    EXPECT_EQ(vopts.showcirchelp, 0) << "Help, Show Elements";
    EXPECT_EQ(menusel, -1);
    menusel = 0;
    hl_key(scanof('F'), 'f', KEYOPTION);
    hl_key(scanof('X'), 'x', 0);
    hl_pass();
    EXPECT_EQ(passes(3), 0) << "Exit ends the program";
}

TEST_F(Menudraw, AboutNamesVersionBuildDateAndCompiler)
{
    ASSERT_EQ(start(), 1);
    menuabout(-1);
    EXPECT_STREQ(hl_lasttitle(), "VELTO");
    std::string msg = hl_lastmsg();
    EXPECT_TRUE(std::regex_match(msg, std::regex("VELTO 1\\.0 \\([A-Z][a-z]{2} [ 0-9][0-9] [0-9]{4}\\) [^\n]+\n.+")))
        << msg;
}
