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

// entries by their names, as the menu shows them
static int32_t M(const char *name) { return menufind(name); }

// === keys ===

TEST(Menu, KeysMoveWrapAndFindLettersFromTheLevelUpToTheBar)
{
    const struct { int32_t from, scan, to, used; } cases[] = {
        {M("File"), SC_DOWN, M("New"), 1},  // File opens at New
        {M("File"), SC_UP, M("Exit"), 1},   // ... or at Exit
        {M("Exit"), SC_DOWN, M("New"), 1},  // Exit wraps to New; separators are never highlighted
        {M("Save As .VSM file"), SC_DOWN, M("Screen capture (.BMP)"), 1},
        {M("Exit"), SC_RIGHT, M("Undo"), 1},  // no submenu: the next pull-down opens
        {M("Redo"), SC_DOWN, M("Cut"), 1}, {M("Time Scale Resolution"), SC_RIGHT, M("1x"), 1}, {M("1x"), SC_LEFT, M("Time Scale Resolution"), 1},
        {M("File"), SC_LEFT, M("Help"), 1}, {M("Help"), SC_RIGHT, M("File"), 1},  // the bar wraps both ways
        {M("Invert colors"), SC_LEFT, M("Undo"), 1}, {M("New"), SC_LEFT, M("Key summary"), 1},
        {M("Options"), SC_UP, M("CPU usage"), 1},  // the last item of Options, past the submenus
        {M("4096x"), SC_DOWN, M("1x"), 1}, {M("Time Scale Resolution"), SC_RETURN, M("1x"), 1}, {M("Max"), SC_ESCAPE, -1, 1},
        {M("File"), scanof('O'), M("Invert colors"), 1},  // on the bar: the pull-down opens
        {M("File"), scanof('E'), M("Undo"), 1},
        {M("Invert colors"), scanof('H'), M("Key summary"), 1},  // no H in Options: the bar's Help
        {M("Invert colors"), scanof('F'), M("0: 4x6"), 1},  // Options' own Font before the bar's File
        {M("1x"), scanof('G'), -1, 1},   // Show Grid from inside a submenu: chosen, closed
        {M("Key summary"), scanof('E'), -1, 1},   // Help's own Show Elements before the bar's Edit
        {M("File"), scanof('Z'), M("File"), 0},  // nobody's letter
        {M("New"), scanof('5'), M("New"), 0},    // digits belong to the Font submenu
        {M("Draw Nodes as circles"), SC_SPACE, M("Draw Nodes as circles"), 0}, {-1, SC_DOWN, -1, 0}, {-1, scanof('O'), -1, 0},  // Space; closed
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
    EXPECT_EQ(M("Show Grid"), M("Options") + 2);  // names without mark, accelerator or hint
    EXPECT_EQ(M("Nothing"), -1);
    menusetoversamp(64);
    EXPECT_EQ(recalc, 0);
    menusetoversamp(256);
    EXPECT_EQ(recalc, 3);
    EXPECT_EQ(vopts.sampsperpix, 256);
    for (int32_t i = M("1x"); i <= M("4096x"); i++) EXPECT_EQ(mark(i), i == M("256x") ? '*' : '+') << i;
    menusetfontsiz(0x8000C);
    EXPECT_EQ(vopts.circfont, 4);
    menusetfontsiz(0x50005);  // no such font: the font and its mark stay
    EXPECT_EQ(vopts.circfont, 4);
    for (int32_t i = M("0: 4x6"); i <= M("9: 12x16"); i++) EXPECT_EQ(mark(i), i == M("4: 8x12") ? '*' : '+') << i;
    menusetcpuusage(2);
    EXPECT_EQ(vopts.cpuusage, 2);
    EXPECT_EQ(std::string() + mark(M("Max")) + mark(M("Medium")) + mark(M("Low")), "++*");
}

// === through the main loop ===

struct Menudraw : E2E {};

// The bar (21 rows, as wide as its four items) with light top and left
// edges and dark bottom and right ones; File's pull-down below it with a
// separator band under its fifth item; a submenu joined to Time Scale
// Resolution (seventh in Options, row 114) and two pixels right of it.
TEST_F(Menudraw, BarPullDownAndSubmenuAtTheirPlaces)
{
    const int32_t F = M("File"), N = M("New");
    const struct { int32_t sel, x, y, col; } cases[] = {
        {F, 0, 0, 10}, {F, 1, 0, 40}, {F, 0, 10, 40}, {F, 100, 19, 37}, {F, 215, 10, 37},
        {F, 216, 10, 10}, {F, 100, 21, 10}, {F, 20, 4, 38}, {F, 60, 4, 39},
        {N, 100, 21, 40}, {N, 100, 99 + 2, 37}, {N, 100, 99 + 3, 40}, {N, 100, 99 + 5, 39},
        {N, 255, 60, 37}, {N, 256, 60, 10},
        {M("1x"), 304, 114, 39}, {M("1x"), 305, 128, 39}, {M("1x"), 307, 111, 40}, {M("1x"), 306, 114, 40},
        {-1, 1, 0, 10},
    };
    ASSERT_EQ(start(), 1);
    menudefaults();
    for (auto c : cases) {
        menusel = c.sel;
        passes();
        EXPECT_EQ(shownpal(c.x, c.y), c.col) << c.sel << ": " << c.x << "," << c.y;
    }
    menusel = F;
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
