// test_plotwin.cpp: the plot windows end to end on the headless frame:
// placement, raising and closing, moving and resizing with their limits,
// maximise, minimise and restore, a vanished probe, help scrolling, the
// cursor, the pixels of a frame and a probe line, following a change of
// screen size, and what the plots draw: labels with their lines, texts
// that neither overlap nor leave the window, the phase trace on its grid.
// The screen is 800 x 600, so the first window sits at (408, 28)-(704, 292).
#include "tests/e2e.h"
#include <algorithm>

namespace {

typedef std::vector<float> box;  // left, top, right, bottom
const box TR = {408, 28, 704, 292}, BR = {408, 328, 704, 592}, BL = {96, 328, 392, 592},
          TL = {96, 28, 392, 292};

box boxof(int32_t p) { return {plot[p].left, plot[p].top, plot[p].right, plot[p].bottom}; }

// the texts of a pass on the screen: box and the tile drawn into, in screen pixels
struct textat { int32_t x, y, w, h, tx, ty, tw, th; };
std::vector<textat> texts;
tiletype screen;
std::ostream &operator<<(std::ostream &o, const textat &t)
{
    return o << t.w << "x" << t.h << " at " << t.x << "," << t.y;
}
bool within(const textat &t, int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    return t.x >= x0 && t.y >= y0 && t.x + t.w <= x1 && t.y + t.h <= y1;
}
bool overlap(const textat &a, const textat &b)
{
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}
void notetext(const tiletype *t, int32_t x, int32_t y, int32_t w, int32_t h)
{
    if (screen.p == 0) return;
    int32_t off = (int32_t)(t->f - screen.f), tx = off % screen.p / 4, ty = off / screen.p;
    texts.push_back({tx + x, ty + y, w, h, tx, ty, t->x, t->y});
}

struct Plotwin : E2E {
    // the divider circuit (wire 1 a resistor from (240, 80) to (48, 80)), no
    // help picture, no grid, a fixed value axis
    void begin()
    {
        ASSERT_EQ(start({write("divider.vsm", DIVIDERFILE)}), 1);
        vopts.showcirchelp = vopts.gridmode = vopts.autoyscale = 0;
        passes();
    }
    void to(int32_t x, int32_t y) { hl_mouse(x, y), hl_pass(); }
    void button(int32_t b) { hl_button(b), hl_pass(); }
    void drag(int32_t x, int32_t y, int32_t dx = 0, int32_t dy = 0)  // dx, dy 0: a click
    {
        to(x, y), button(1), to(x + dx, y + dy), button(0), settle();
    }
    std::vector<int32_t> stack()  // the windows' tags (plotwire), bottom to top
    {
        std::vector<int32_t> v;
        for (int32_t k = 0; k < numplots; k++) v.push_back(plot[plotorder[k]].plotwire);
        return v;
    }
};

}  // namespace

TEST_F(Plotwin, OpensWhereTheScoreIsLowestAndNeverANinth)
{
    begin();
    const box order[] = {TR, BR, BL, TL, TR, BR, BL, TL};
    for (int32_t i = 0; i < 8; i++) {
        ASSERT_EQ(openplot(PLOT_KEYS, 0, 0), i);
        EXPECT_EQ(boxof(i), order[i]) << i;
    }
    EXPECT_EQ(openplot(PLOT_KEYS, 0, 0), -1);
    numplots = 0;  // one window alone at the bottom left sends the next to the top left
    openplot(PLOT_KEYS, 0, 0);
    plot[0].left = BL[0], plot[0].top = BL[1], plot[0].right = BL[2], plot[0].bottom = BL[3];
    openplot(PLOT_KEYS, 0, 0);
    EXPECT_EQ(boxof(1), TL);
}

// A press within reach raises a window; closing the middle one of the stack
// keeps the other two in their order.
TEST_F(Plotwin, PressRaisesAndCloseKeepsTheOrderOfTheOthers)
{
    begin();
    for (int32_t i = 0; i < 3; i++) openplot(PLOT_KEYS, 100 + i, 0);  // TR, BR, BL
    drag(500, 150);                                                   // TR's client area
    EXPECT_EQ(stack(), (std::vector<int32_t>{101, 102, 100}));
    drag(708, 450);                                                   // BR's right edge
    EXPECT_EQ(stack(), (std::vector<int32_t>{102, 100, 101}));
    drag(694, 18);                                                    // TR's close button
    EXPECT_EQ(stack(), (std::vector<int32_t>{102, 101}));
}

TEST_F(Plotwin, DragsKeepTheMinimumSizeAndTheWindowOnTheScreen)
{
    struct { const char *what; int32_t x, y, dx, dy; box want; double yoffset; } cases[] = {
        {"move off the left", 500, 15, -500, 0, {0, 28, 296, 292}, 132},
        {"move above the top", 500, 15, 0, -100, {408, 20, 704, 284}, 132},
        {"move off the right", 500, 15, 200, 0, {504, 28, 800, 292}, 132},
        {"top-left corner past the width", 404, 4, 200, 10, {408, 38, 704, 292}, 132 * 254 / 264.},
        {"bottom edge past the height", 500, 296, 0, -200, TR, 132},
        {"bottom edge down", 500, 296, 0, 100, {408, 28, 704, 392}, 182},
        {"right edge out", 708, 150, 50, 0, {408, 28, 754, 292}, 132},
        {"right edge off the screen", 708, 150, 150, 0, {354, 28, 800, 292}, 132},
    };
    begin();
    for (auto &c : cases) {
        numplots = 0;
        openplot(PLOT_TRANS, 1, 1);
        drag(c.x, c.y, c.dx, c.dy);
        EXPECT_EQ(boxof(0), c.want) << c.what;
        EXPECT_DOUBLE_EQ(plot[0].yoffset, c.yoffset) << c.what;
    }
}

// The maximised window covers the schematic and the windows under it; one
// opened later lies above it, is drawn and takes input.
TEST_F(Plotwin, MaximiseHidesWhatLiesUnderIt)
{
    begin();
    openplot(PLOT_KEYS, 0, 0), openplot(PLOT_KEYS, 1, 0);  // TR, BR
    drag(674, 18);                                          // TR's maximise button
    EXPECT_EQ(boxof(0), (box{0, 20, 800, 600}));
    EXPECT_EQ(countpal(420, 309, 700, 327, 16), 0);          // BR's title bar is gone
    EXPECT_EQ(shownpal(300, 5), 16);
    ASSERT_EQ(openplot(PLOT_MATRIX, 0, 0), 2);
    passes();
    EXPECT_EQ(shownpal((int32_t)plot[2].left + 150, (int32_t)plot[2].top - 3), 16);
    drag((int32_t)plot[2].right - 10, (int32_t)plot[2].top - 10);  // its close button
    EXPECT_EQ(numplots, 2);
    drag(770, 10);                                                  // restore
    EXPECT_EQ(boxof(0), TR);
}

// The minimise button of a normal or maximised window minimises it, the
// second press restores the rectangle it had before; the zero row stays at
// the same fraction of the height throughout.
TEST_F(Plotwin, MinimiseAndRestoreReturnToTheNormalRectangle)
{
    begin();
    for (int32_t maximised : {0, 1}) {
        numplots = 0;
        openplot(PLOT_TRANS, 1, 1);
        if (maximised) drag(674, 18);
        drag((int32_t)plot[0].right - 50, (int32_t)plot[0].top - 10);
        EXPECT_EQ(boxof(0), (box{4, 452, 196, 596})) << maximised;
        EXPECT_DOUBLE_EQ(plot[0].yoffset, 72) << maximised;
        drag(146, 442);
        EXPECT_EQ(boxof(0), TR) << maximised;
        EXPECT_DOUBLE_EQ(plot[0].yoffset, 132) << maximised;
    }
}

// A transient window whose wire is gone closes when the input pass reaches
// it, and that pass's keys reach no other window; until then it is not drawn.
TEST_F(Plotwin, AVanishedProbeClosesItsWindowAndSwallowsTheInput)
{
    begin();
    openplot(PLOT_KEYS, 0, 0), openplot(PLOT_TRANS, 1, 1);  // TR, BR on top
    to(500, 150), settle();
    plot[1].plotwire = 7;
    hl_key(SC_PGDN, 0, 0), settle();
    EXPECT_EQ(numplots, 1);
    EXPECT_EQ(plot[0].scrolly, 0);
    EXPECT_EQ(keyfifr, keyfifw);
    openplot(PLOT_TRANS, 1, 1);  // BR, under TR, which takes the input
    plotorder[0] = 1, plotorder[1] = 0;
    plot[1].plotwire = 7;
    passes();
    EXPECT_EQ(numplots, 2);
    EXPECT_EQ(countpal(420, 309, 700, 327, 16), 0);
}

TEST_F(Plotwin, HelpWindowScrollsByLinePageWheelAndMouse)
{
    enum { KEY, WHEEL, PULL };
    struct { const char *what; double from; int32_t how, arg; double want; } cases[] = {
        {"Down", 0, KEY, SC_DOWN, 8},        {"PgDn", 0, KEY, SC_PGDN, 256},
        {"Up", 20, KEY, SC_UP, 12},        {"Up at 4", 4, KEY, SC_UP, 0},
        {"PgUp at the top", 0, KEY, SC_PGUP, 0}, {"Home", 300, KEY, SC_HOME, 0},
        {"wheel down", 0, WHEEL, -1, 30}, {"wheel up at 10", 10, WHEEL, 1, 0},
        {"text pulled up", 0, PULL, 150, 40}, {"title bar moved", 100, PULL, 15, 100},
    };
    begin();
    openplot(PLOT_KEYS, 0, 0);
    for (auto &c : cases) {
        plot[0].scrolly = c.from;
        plot[0].top = TR[1], plot[0].bottom = TR[3];
        to(500, 150);
        if (c.how == KEY) hl_key(c.arg, 0, 0), settle();
        if (c.how == WHEEL) hl_wheel(c.arg), settle();
        if (c.how == PULL) drag(500, c.arg, 0, -40);
        EXPECT_EQ(plot[0].scrolly, c.want) << c.what;
    }
}

TEST_F(Plotwin, CursorShowsTheZoneUnderTheMouse)
{
    struct { float x, y; int32_t buttons, want; } cases[] = {
        {404, 150, 0, CURS_SIZEWE},  {708, 150, 0, CURS_SIZEWE},  {500, 4, 0, CURS_SIZENS},
        {500, 296, 0, CURS_SIZENS},  {404, 4, 0, CURS_SIZENWSE},  {708, 296, 0, CURS_SIZENWSE},
        {708, 4, 0, CURS_SIZENESW},  {404, 296, 0, CURS_SIZENESW}, {500, 15, 0, CURS_ARROW},
        {500, 150, 0, CURS_CROSS},   {500, 150, 2, CURS_HAND},    {300, 150, 0, -1},
    };
    begin();
    openplot(PLOT_KEYS, 0, 0);
    for (auto &c : cases) {
        fmousx = c.x, fmousy = c.y, bstatus = c.buttons;
        EXPECT_EQ(plotcursor(), c.want) << c.x << "," << c.y;
    }
    plot[0].state = 1;  // no resize on a maximised window
    fmousx = 404, fmousy = 150, bstatus = 0;
    EXPECT_EQ(plotcursor(), -1);
}

// Frame, buttons, title and the contents clipped to the client area; the
// probe line's dashes (one pixel in eight) move with the clock.
TEST_F(Plotwin, FrameAndProbeLineArePainted)
{
    struct { int32_t x, y, col; } pixels[] = {
        {600, 10, 16}, {408, 26, 16}, {500, 8, 17},  {500, 27, 17}, {407, 100, 17},
        {704, 100, 17}, {500, 292, 17}, {500, 7, 10}, {705, 100, 10}, {500, 293, 10},
    };
    begin();
    openplot(PLOT_KEYS, 0, 0), openplot(PLOT_TRANS, 1, 1);  // probe line (192, 80) to (556, 460)
    passes();
    for (auto &p : pixels) EXPECT_EQ(shownpal(p.x, p.y), p.col) << p.x << "," << p.y;
    EXPECT_GT(countpal(412, 12, 531, 24, 25), 50);           // "VELTO key summary"
    EXPECT_GT(countpal(652, 11, 702, 25, 28), 100);           // button faces
    EXPECT_EQ(countpal(652, 11, 702, 25, -1), 0);             // no colour outside the palette
    EXPECT_GT(countpal(408, 28, 704, 292, 17), 500);          // the text, inside
    EXPECT_EQ(countpal(705, 0, 800, 300, 17), 0);
    auto dashes = [&] {
        std::vector<int32_t> on;
        for (int32_t y = 120; y < 296; y++) on.push_back(countpal(0, y, 400, y + 1, 24));
        return on;
    };
    std::vector<int32_t> a = dashes();
    EXPECT_EQ(std::count(a.begin(), a.end(), 1), 176 / 8);
    passes(4);
    EXPECT_NE(dashes(), a);
}

// After a change of screen size every window stays in reach (narrowed down
// to the minimum size where it must be), a maximised one fills the new
// screen, and a restore goes back to a rectangle on it.
TEST_F(Plotwin, WindowsFollowAChangeOfScreenSize)
{
    struct { int32_t w, h, press; box want; } steps[] = {
        {400, 300, 0, {104, 28, 400, 292}},   // off the right: moved left
        {400, 300, 370, {0, 20, 400, 300}},   // maximised
        {1000, 700, 0, {0, 20, 1000, 700}},
        {400, 300, 0, {0, 20, 400, 300}},
        {400, 300, 370, {104, 28, 400, 292}}, // restored
        {1000, 700, 0, {104, 28, 400, 292}},
        {60, 40, 0, {-132, 20, 60, 164}},     // the minimum size, its buttons on the screen
    };
    begin();
    openplot(PLOT_TRANS, 1, 1);
    for (auto &s : steps) {
        hl_resize(s.w, s.h);
        ASSERT_TRUE(settle());
        if (s.press) drag(s.press, 10);
        EXPECT_EQ(boxof(0), s.want) << s.w << "x" << s.h << " " << s.press;
        EXPECT_EQ(shownpal((int32_t)plot[0].right - 1, (int32_t)plot[0].top - 18), 16) << s.w << "x" << s.h;
    }
}

// A gain line dragged or zoomed out of the panel takes its label with it:
// with 0 dB 13 pixels above the panel and the next line 13 below, or +30 dB
// above a zoomed panel, the top rows at the left stay free of label pixels.
TEST_F(Plotwin, BodeGainLabelsStayWithTheirLines)
{
    begin();
    for (int32_t zoom : {0, 1}) {
        numplots = 0;
        ibodewire = 0;
        openplot(PLOT_BODE, 1, 1);  // client (408, 28)-(704, 292), 1.32 pixels a dB
        if (zoom) {
            to(550, 150);
            for (int32_t i = 0; i < 5; i++) hl_key(SC_UP, 0, 0);  // 120 dB / 1.2^5: fine lines
            settle();
        } else {
            drag(550, 150, 0, -92);  // 60 dB up to -9.7 dB
        }
        to(100, 400), settle();
        EXPECT_LT(plot[0].dbhi, zoom ? 25 : -9) << zoom;
        EXPECT_EQ(countpal(408, 28, 420, 36, 17), 0) << zoom;
    }
}

// Over window sizes, fonts and (for the transient window) time scales, with
// the mouse near the corners and in the middle: every text of a transient
// or Bode window lies whole inside its client area or its title bar (left of
// the buttons) and overlaps no other. A read-out's two shadows, a pixel
// up-left and down-right of it, belong to it.
TEST_F(Plotwin, PlotTextsNeitherOverlapNorLeaveTheWindow)
{
    const box sizes[] = {TR, {408, 28, 600, 172}, {496, 28, 592, 142}, {0, 20, 800, 600}};  // the last maximised
    const double scales[] = {XSCMIN, XSCMIN * 16, 0.015625, XSCMAX};  // XSCMIN * 16: 42 pixels a label
    const float mice[][2] = {{0.01f, 0.99f}, {0.08f, 0.03f}, {0.5f, 0.5f}, {0.98f, 0.08f}};
    begin();
    textnote = notetext;
    ibodewire = 0;
    for (int32_t kind : {PLOT_TRANS, PLOT_BODE})
        for (int32_t fnt : {1, 9})
            for (const box &b : sizes)
                for (double sc : scales)
                    for (auto &m : mice) {
                        if (kind == PLOT_BODE && sc != scales[0]) continue;
                        const int32_t L = (int32_t)b[0], T = (int32_t)b[1], R = (int32_t)b[2], B = (int32_t)b[3];
                        SCOPED_TRACE(testing::Message() << kind << " " << fnt << " " << R - L << "x" << B - T << " "
                                                        << sc << " " << m[0] << "," << m[1]);
                        numplots = 0, vopts.circfont = fnt;
                        plottype &r = plot[openplot(kind, 1, 1)];
                        r.left = b[0], r.top = b[1], r.right = b[2], r.bottom = b[3], r.state = R == xres;
                        if (kind == PLOT_TRANS) r.xscale = sc, r.reset = -1, r.yoffset = (B - T) / 2;
                        to(L + (int32_t)(m[0] * (R - L)), T + (int32_t)(m[1] * (B - T))), settle();
                        screen = gdd, texts.clear();
                        passes();
                        screen.p = 0;
                        for (size_t i = 2; i < texts.size(); i++) {
                            const textat &t = texts[i], &a = texts[i - 2], &c = texts[i - 1];
                            if (a.w == t.w && c.w == t.w && a.x == t.x - 1 && a.y == t.y - 1 && c.x == t.x + 1 &&
                                c.y == t.y + 1)
                                texts.erase(texts.begin() + (i - 2), texts.begin() + i), i -= 2;
                        }
                        std::vector<textat> mine;
                        for (auto &t : texts) {
                            if (t.tw < xres || t.th < yres) {  // the client area's
                                EXPECT_TRUE(within(t, t.tx, t.ty, t.tx + t.tw, t.ty + t.th)) << t;
                            } else if (overlap(t, textat{L - 1, T - 20, R - L + 2, B - T + 20, 0, 0, 0, 0})) {
                                EXPECT_TRUE(within(t, L, T - 20, R - 52, T)) << t;  // the title
                            } else {
                                continue;
                            }
                            for (auto &o : mine) EXPECT_FALSE(overlap(t, o)) << t << " overlaps " << o;
                            mine.push_back(t);
                        }
                    }
    textnote = nullptr;
}

// The divider's output follows its input at every frequency: the phase trace
// lies on the 0 degree line (row 28 + 0.6 264 + 0.2 264, rounded).
TEST_F(Plotwin, BodePhaseOfZeroLiesOnItsGridLine)
{
    begin();
    ibodewire = 0;
    openplot(PLOT_BODE, 1, 1);
    to(100, 400), settle();
    int32_t best = 0, row = -1;
    for (int32_t y = 190; y < 292; y++) {
        int32_t n = countpal(440, y, 700, y + 1, 25);
        if (n > best) best = n, row = y;
    }
    EXPECT_GT(best, 200);
    EXPECT_EQ(row, 28 + 211);
}
