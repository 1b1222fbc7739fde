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

// the settings as start-up leaves them with the defaults
static void menudefaults(void)
{
    defaultopts(&vopts);
    vopts.usewingui = 0;
    menusetoversamp(vopts.sampsperpix);
    menusetfontsiz((fontlist[vopts.circfont].width << 16) + fontlist[vopts.circfont].height);
    menuinvcols(0);
    menushowgrid(vopts.gridmode);
    menushowcircles(vopts.showcircles);
    menushowanimation(vopts.showanimation);
    menushowresults(vopts.showresults);
    menuusewingui(vopts.usewingui);
    menushowcirchelp(vopts.showcirchelp);
    menuautoyscale(vopts.autoyscale);
    menusetcpuusage(vopts.cpuusage);
    menusel = -1;
    recalc = 0;
}

static char mark(int32_t i) { return menu[i].text[menulev(i)]; }

// === structure and keys ===

TEST(Menu, TableEndsWithTheOnlyLevelZeroSeparatorAndEveryLevelHasAParent)
{
    EXPECT_STREQ(menu[MENUCOUNT - 1].text, "-");
    for (int32_t i = 0; i < MENUCOUNT - 1; i++) {
        EXPECT_NE(menu[i].text[0], '-') << i;
        EXPECT_LT(strlen(menu[i].text), (size_t)MENUTEXTMAX) << i;
        if (menulev(i) > 0) {
            EXPECT_EQ(menulev(menuparent(i)), menulev(i) - 1) << i;
        }
    }
    EXPECT_EQ(menunext(40), -1) << "the closing separator is no bar entry";
    EXPECT_EQ(menuchild(8), -1);
    EXPECT_EQ(menuparent(0), -1);
}

TEST(Menu, NavigationKeysMoveAndWrap)
{
    const struct { int32_t from, scan, to; } cases[] = {
        {0, DOWN, 1},    // File opens at New
        {0, UP, 8},      // ... or at Exit
        {8, DOWN, 1},    // Exit wraps to New; separators are never highlighted
        {1, UP, 8},
        {4, DOWN, 6}, {6, UP, 4},
        {8, RIGHT, 10},  // no submenu: the next pull-down opens
        {16, RIGHT, 17}, {17, LEFT, 16},
        {0, LEFT, 40},   // the bar wraps both ways
        {40, RIGHT, 0},
        {10, LEFT, 1}, {1, LEFT, 41},
        {41, RIGHT, 1},  // Help's items wrap to File
        {9, UP, 36},     // the last item of Options, past the submenus
        {40, UP, 45},
        {23, DOWN, 17}, {17, UP, 23},
        {0, ENTER, 1}, {16, ENTER, 17}, {25, KPENTER, 26},
        {9, ESC, -1}, {37, ESC, -1},
    };
    for (auto c : cases) {
        menudefaults();
        menusel = c.from;
        EXPECT_EQ(menuinput(key(c.scan)), 1) << c.from << " " << c.scan;
        EXPECT_EQ(menusel, c.to) << c.from << " " << c.scan;
    }
}

TEST(Menu, LettersSearchTheLevelThenUpToTheBar)
{
    const struct { int32_t from; char letter; int32_t to, used; } cases[] = {
        {0, 'O', 10, 1},    // on the bar: the pull-down opens
        {10, 'H', 41, 1},   // no H in Options: the bar's Help
        {10, 'F', 26, 1},   // Options' own Font before the bar's File
        {1, 'F', 1, 1},     // File in the bar, its pull-down again
        {17, 'G', -1, 1},   // Show Grid, from inside a submenu: chosen, closed
        {0, 'Z', 0, 0},     // nobody's letter
        {1, '5', 1, 0},     // digits belong to the Font submenu only
    };
    for (auto c : cases) {
        menudefaults();
        menusel = c.from;
        EXPECT_EQ(menuinput(key(scanof(c.letter))), c.used) << c.from << " " << c.letter;
        EXPECT_EQ(menusel, c.to) << c.from << " " << c.letter;
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
    menusel = 11;
    menuinput(key(ENTER));
    EXPECT_EQ(vopts.gridmode, 0);
    EXPECT_EQ(menusel, -1);
}

TEST(Menu, ClosedMenuAndOtherKeysAreNotUsed)
{
    menudefaults();
    EXPECT_EQ(menuinput(key(DOWN)), 0);
    EXPECT_EQ(menuinput(key(scanof('O'))), 0);
    EXPECT_EQ(menusel, -1);
    menusel = 12;
    EXPECT_EQ(menuinput(key(0x39)), 0);  // Space
    EXPECT_EQ(menuinput(key(0x3B)), 0);  // F1
    EXPECT_EQ(menusel, 12);
}

// === handlers ===

TEST(Menu, OnOffRuleTogglesSetsAndKeepsTheMarkInStep)
{
    menudefaults();
    menusel = 11;
    menuinput(key(ENTER));
    EXPECT_EQ(vopts.gridmode, 0);
    EXPECT_EQ(mark(11), '+');
    menusel = 11;
    menuinput(key(ENTER));
    EXPECT_EQ(vopts.gridmode, 1);
    EXPECT_EQ(mark(11), '*');
    const struct { int32_t arg, from, want; } cases[] = {
        {1, 1, 1}, {1, 0, 1}, {0, 1, 0}, {-1, 0, 1}, {-1, 1, 0}, {2, 0, 0}, {2, 1, 1},
    };
    for (auto c : cases) {
        menushowcircles(c.from);
        menushowcircles(c.arg);
        EXPECT_EQ(vopts.showcircles, c.want) << c.arg << " " << c.from;
        EXPECT_EQ(mark(12), c.want ? '*' : '+') << c.arg << " " << c.from;
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
    EXPECT_EQ(plot[0].kind, PLOT_HELP);
    menushowhelp(0);  // opened again where a window can open, and closed
    menushowhelp(0);
    int32_t keys = 0;
    for (int32_t p = 0; p < numplots; p++) keys += plot[p].kind == PLOT_KEYS;
    EXPECT_EQ(keys, 0);
    EXPECT_EQ(plot[0].kind, PLOT_HELP);
    menushowhelp(1);
    for (int32_t p = 0; p < numplots; p++) EXPECT_NE(plot[p].kind, PLOT_HELP);
    numplots = 0;
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

// the bar: light top and left edges, dark bottom and right, the highlighted
// item on the darker face; the pull-down below it with its separator band;
// a submenu two pixels right of its pull-down
TEST_F(Menudraw, BarPullDownAndSubmenuAtTheirPlaces)
{
    ASSERT_EQ(start(), 1);
    menudefaults();
    menusel = 0;
    passes();
    EXPECT_EQ(shownpal(0, 0), 10) << "the corner stays background";
    EXPECT_EQ(shownpal(1, 0), 40);
    EXPECT_EQ(shownpal(0, 10), 40);
    EXPECT_EQ(shownpal(100, 19), 37);
    EXPECT_EQ(shownpal(167, 10), 37);
    EXPECT_EQ(shownpal(168, 10), 10) << "the bar is as wide as its three items";
    EXPECT_EQ(shownpal(100, 21), 10) << "and 21 rows high";
    EXPECT_GT(countpal(2, 3, 48, 18, 38), 0);
    EXPECT_EQ(countpal(2, 3, 48, 18, 39), 0);
    EXPECT_GT(countpal(8, 3, 16, 18, 41), 0) << "the accelerator F";
    EXPECT_GT(countpal(48, 3, 120, 18, 39), 0);
    EXPECT_EQ(countpal(48, 3, 120, 18, 38), 0);

    menusel = 1;
    passes();
    EXPECT_EQ(shownpal(100, 21), 40);
    const int32_t band = 24 + 4 * 15;  // below four items
    EXPECT_EQ(shownpal(100, band + 2), 37);
    EXPECT_EQ(shownpal(100, band + 3), 40);
    EXPECT_EQ(shownpal(100, band + 5), 39);
    EXPECT_EQ(shownpal(247, 60), 37);
    EXPECT_EQ(shownpal(248, 60), 10) << "31 columns of 8 pixels";

    menusel = 17;
    passes();
    const int32_t row = 24 + 6 * 15;  // Time Scale Resolution, seventh in Options
    EXPECT_EQ(countpal(256, row, 258, row + 15, 39), 30) << "the connector";
    EXPECT_EQ(shownpal(259, row - 3), 40) << "the submenu's top edge";
    EXPECT_EQ(shownpal(258, row), 40) << "its left edge";
    menusel = -1;
    passes();
    EXPECT_EQ(shownpal(1, 0), 10) << "closed: nothing drawn";
}

TEST_F(Menudraw, KeysReachTheMenuAndItsHandlersThroughThePass)
{
    ASSERT_EQ(start(), 1);
    passes();
    int32_t grid = vopts.gridmode;
    menusel = 0;
    hl_key(scanof('O'), 'o', KEYOPTION);
    hl_key(scanof('G'), 'g', 0);
    settle();
    EXPECT_EQ(vopts.gridmode, grid ^ 1);
    EXPECT_EQ(menusel, -1);
    menusel = 0;
    hl_key(RIGHT, 0, 0);
    hl_key(RIGHT, 0, 0);
    hl_key(DOWN, 0, 0);
    hl_key(DOWN, 0, 0);
    hl_key(DOWN, 0, 0);
    hl_key(ENTER, 13, 0);
    settle();
    EXPECT_EQ(vopts.showcirchelp, 0) << "Help, Show Elements";
    menusel = 0;
    hl_key(scanof('F'), 'f', 0);
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
