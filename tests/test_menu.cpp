// test_menu.cpp: the in-window menu: navigation keys and accelerators over
// the real table, the radio handlers with their marks, and
// the menu drawn and steered through the real main loop on the headless frame.
#include "tests/e2e.h"


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

// Entries by their place: File 0..8, Edit 9..17, Options 18..44, Help 49..54.
enum { EDIT = 9, OPTIONS = 18, HELP = 49 };
static int32_t O(int32_t k) { return OPTIONS + k; }  // the k-th entry after Options
static int32_t H(int32_t k) { return HELP + k; }

// === keys ===

TEST(Menu, KeysMoveWrapAndFindLettersFromTheLevelUpToTheBar)
{
    const struct { int32_t from, scan, to, used; } cases[] = {
        {0, SC_DOWN, 1, 1},     // File opens at New
        {0, SC_UP, 8, 1},       // ... or at Exit
        {8, SC_DOWN, 1, 1},     // Exit wraps to New; separators are never highlighted
        {4, SC_DOWN, 6, 1},
        {8, SC_RIGHT, EDIT + 1, 1},  // no submenu: the next pull-down opens
        {EDIT + 2, SC_DOWN, EDIT + 4, 1}, {O(7), SC_RIGHT, O(8), 1}, {O(8), SC_LEFT, O(7), 1},
        {0, SC_LEFT, HELP, 1}, {HELP, SC_RIGHT, 0, 1},  // the bar wraps both ways
        {O(1), SC_LEFT, EDIT + 1, 1}, {1, SC_LEFT, H(1), 1},
        {OPTIONS, SC_UP, O(27), 1},  // the last item of Options, past the submenus
        {O(14), SC_DOWN, O(8), 1}, {O(7), SC_RETURN, O(8), 1}, {O(28), SC_ESCAPE, -1, 1},
        {0, scanof('O'), O(1), 1},  // on the bar: the pull-down opens
        {0, scanof('E'), EDIT + 1, 1},
        {O(1), scanof('H'), H(1), 1},  // no H in Options: the bar's Help
        {O(1), scanof('F'), O(17), 1},  // Options' own Font before the bar's File
        {O(8), scanof('G'), -1, 1},   // Show Grid from inside a submenu: chosen, closed
        {H(1), scanof('E'), -1, 1},   // Help's own Show Elements before the bar's Edit
        {0, scanof('Z'), 0, 0},       // nobody's letter
        {1, scanof('5'), 1, 0},       // digits belong to the Font submenu
        {O(3), SC_SPACE, O(3), 0}, {-1, SC_DOWN, -1, 0}, {-1, scanof('O'), -1, 0},  // Space; closed
    };
    for (auto c : cases) {
        menudefaults();
        menusel = c.from;
        EXPECT_EQ(menuinput(key(c.scan)), c.used) << c.from << " " << c.scan;
        EXPECT_EQ(menusel, c.to) << c.from << " " << c.scan;
    }
}

// === handlers ===

TEST(Menu, RadioHandlersMarkTheChoiceAndResolutionAsksForRecalcOnlyOnChange)
{
    menudefaults();
    menusetoversamp(64);
    EXPECT_EQ(recalc, 0);
    menusetoversamp(256);
    EXPECT_EQ(recalc, 3);
    EXPECT_EQ(vopts.sampsperpix, 256);
    for (int32_t i = O(8); i <= O(14); i++) EXPECT_EQ(mark(i), i == O(12) ? '*' : '+') << i;
    menusetfontsiz(0x8000C);
    EXPECT_EQ(vopts.circfont, 4);
    menusetfontsiz(0x50005);  // no such font: the font and its mark stay
    EXPECT_EQ(vopts.circfont, 4);
    for (int32_t i = O(17); i <= O(26); i++) EXPECT_EQ(mark(i), i == O(21) ? '*' : '+') << i;
    menusetcpuusage(2);
    EXPECT_EQ(vopts.cpuusage, 2);
    EXPECT_EQ(std::string() + mark(O(28)) + mark(O(29)) + mark(O(30)), "++*");
}

// === display strings ===

// === through the main loop ===

struct Menudraw : E2E {};

// The bar (21 rows, as wide as its four items) with light top and left
// edges and dark bottom and right ones; File's pull-down below it with a
// separator band under its fourth item; a submenu joined to Time Scale
// Resolution (seventh in Options, row 114) and two pixels right of it.
TEST_F(Menudraw, BarPullDownAndSubmenuAtTheirPlaces)
{
    const struct { int32_t sel, x, y, col; } cases[] = {
        {0, 0, 0, 10}, {0, 1, 0, 40}, {0, 0, 10, 40}, {0, 100, 19, 37}, {0, 215, 10, 37},
        {0, 216, 10, 10}, {0, 100, 21, 10}, {0, 20, 4, 38}, {0, 60, 4, 39},
        {1, 100, 21, 40}, {1, 100, 84 + 2, 37}, {1, 100, 84 + 3, 40}, {1, 100, 84 + 5, 39},
        {1, 247, 60, 37}, {1, 248, 60, 10},
        {O(8), 304, 114, 39}, {O(8), 305, 128, 39}, {O(8), 307, 111, 40}, {O(8), 306, 114, 40},
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
    for (int32_t s : {SC_RIGHT, SC_RIGHT, SC_RIGHT, SC_DOWN, SC_DOWN, SC_DOWN, SC_RETURN}) hl_key(s, 0, 0);
    settle();
    EXPECT_EQ(vopts.showcirchelp, 0) << "Help, Show Elements";
    EXPECT_EQ(menusel, -1);
    menusel = 0;
    hl_key(scanof('F'), 'f', KEYOPTION);
    hl_key(scanof('X'), 'x', 0);
    hl_pass();
    EXPECT_EQ(passes(3), 0) << "Exit ends the program";
}
