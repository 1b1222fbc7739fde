// test_plotwin.cpp: the plot windows end to end on the headless frame:
// placement, raising and closing, a vanished probe, and the pixels of a
// frame and a probe line.
// The screen is 800 x 600, so the first window sits at (408, 28)-(704, 292).
#include "tests/e2e.h"
#include <algorithm>
#include <math.h>

namespace {

typedef std::vector<float> box;  // left, top, right, bottom
const box TR = {408, 28, 704, 292}, BR = {408, 328, 704, 592}, BL = {96, 328, 392, 592},
          TL = {96, 28, 392, 292};

box boxof(int32_t p) { return {plot[p].left, plot[p].top, plot[p].right, plot[p].bottom}; }

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

// A window a small screen squeezed goes back to its place when there is room
// again; one placed meanwhile keeps the place it was given.
TEST_F(Plotwin, ASqueezedWindowGoesBackWhenThereIsRoom)
{
    begin();
    const int32_t a = openplot(PLOT_TRANS, 1, 1), b = openplot(PLOT_TRANS, 0, 1);
    hl_resize(320, 240), settle();
    EXPECT_EQ(boxof(a), box({24, 20, 320, 240}));
    drag(64, 10, -8, 0);  // the top one (b) by its title bar
    EXPECT_EQ(boxof(b), box({16, 20, 312, 240}));
    hl_resize(800, 600), settle();
    EXPECT_EQ(boxof(a), TR);
    EXPECT_EQ(boxof(b), box({16, 20, 312, 240}));
}

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

// The wheel zooms a window about the mouse, Control+wheel its value axis;
// Home brings back the first view. Bode: 1.2 a notch, the frequency (or
// gain) under the mouse stays; transient: the time scale by 4 a notch, the
// time under the mouse stays within a column, the value scale by 1.25.
TEST_F(Plotwin, WheelZoomsAboutTheMouseAndHomeResets)
{
    begin();
    ibodewire = 0;
    plottype &b = plot[openplot(PLOT_BODE, 1, 1)];  // client (408, 28)-(704, 292)
    to(408 + 74, 28 + 40), settle();
    const double f = -3 + 74 * 10.0 / 296, g = 60 - 40 * 120 / (0.6 * 264);  // under the mouse
    hl_wheel(2), settle();
    EXPECT_NEAR(b.lfreqhi - b.lfreqlo, 10 / 1.44, 1e-9);
    EXPECT_NEAR(b.lfreqlo + 74 * (b.lfreqhi - b.lfreqlo) / 296, f, 1e-9);
    hl_keydown(SC_LCTRL), hl_wheel(-1), hl_pass(), hl_keyup(SC_LCTRL), settle();
    EXPECT_NEAR(b.dbhi - b.dblo, 144, 1e-9);
    EXPECT_NEAR(b.dbhi - 40 * (b.dbhi - b.dblo) / (0.6 * 264), g, 1e-9);
    hl_key(SC_HOME, 0, 0), settle();
    EXPECT_EQ(std::vector<double>({b.lfreqlo, b.lfreqhi, b.dblo, b.dbhi}), std::vector<double>({-3, 7, -60, 60}));

    plottype &t = plot[openplot(PLOT_TRANS, 1, 1)];  // client (408, 328)-(704, 592)
    const double x = t.xscale;
    to(408 + 100, 328 + 60), settle();
    hl_wheel(1), settle();
    EXPECT_TRUE(t.xscale == x / 4 && transdefxsc == x / 4) << "the circuit's scale, as Left and Right";
    EXPECT_NEAR((t.firstcol + 100) * t.xscale, (-2 + 100) * x, t.xscale);
    const double y = t.yscale, row = t.yoffset;
    hl_keydown(SC_LCTRL), hl_wheel(-1), hl_pass(), hl_keyup(SC_LCTRL), settle();
    EXPECT_NEAR(t.yscale, y * 1.25, 1e-12);
    EXPECT_NEAR((t.yoffset - 60) * t.yscale, (row - 60) * y, 1e-9) << "the value on the mouse's row stays";
    hl_key(SC_HOME, 0, 0), settle();
    EXPECT_EQ(std::vector<double>({(double)t.firstcol, t.yscale, t.yoffset}), std::vector<double>({-2, 16, 132}));
    EXPECT_TRUE(t.xscale == x && transdefxsc == x) << "the time scale it opened with, the circuit's again";
}

// A click in a transient sets cursor A on the column under the mouse, a
// Shift+click cursor B; a press on a cursor's line drags it and leaves the
// trace where it is. The read-out gives each time and value and dt, 1/dt.
TEST_F(Plotwin, TransientCursorsReadTimesValuesAndTheirDifference)
{
    begin();
    plottype &t = plot[openplot(PLOT_TRANS, 1, 1)];  // client (408, 28)-(704, 292)
    const double x = t.xscale;
    to(100, 400), settle();
    const double row = t.yoffset;
    hl_mouse(408 + 52, 100), hl_button(1), hl_pass(), button(0), settle();  // moved and pressed in one pass
    EXPECT_EQ(t.cura, 50 * x);  // column 50: the view starts two columns before t = 0
    EXPECT_TRUE(t.firstcol == -2 && t.yoffset == row) << "the way to a click does not drag the trace";
    EXPECT_TRUE(isnan(t.curb));
    hl_keydown(SC_LSHIFT), to(408 + 102, 120), button(1), button(0), hl_keyup(SC_LSHIFT), settle();
    EXPECT_EQ(t.curb, 100 * x);
    const int32_t first = t.firstcol;
    drag(408 + 53, 150, 40, 0);  // a press within 3 pixels of A's line takes it along
    EXPECT_EQ(t.cura, 91 * x);
    EXPECT_EQ(t.firstcol, first) << "the trace did not scroll";
    EXPECT_GT(countpal(408, 150, 704, 151, PAL_LIGHTCYAN), 100) << "the cross-hair through the mouse";
    char s[96], want[32];
    ASSERT_EQ(plotcursortext(&t, 2, s, sizeof s), 1);
    engstr(want, sizeof want, 1 / (9 * x), "Hz", 'u', ENGDIGITS);
    EXPECT_EQ(std::string(s).substr(0, 3), "dt ");
    EXPECT_NE(std::string(s).find(std::string("1/dt ") + want), std::string::npos) << s;
    for (int32_t i = 0; i < 100 && t.numcols <= 100; i++) passes(4);  // computed past both
    ASSERT_EQ(plotcursortext(&t, 0, s, sizeof s), 1);
    EXPECT_NE(std::string(s).find(" V"), std::string::npos) << "a value where the column is computed: " << s;
    EXPECT_GT(countpal(408 + 91 + 2, 28, 408 + 91 + 3, 292, PAL_LIGHTGREEN), 20) << "A's dotted line";
}

// While a value is typed (the text is its wire's own as it is typed) the
// windows compute nothing; its commit starts them again from t = 0.
TEST_F(Plotwin, TheWindowsWaitWhileAValueIsTyped)
{
    begin();
    plottype &t = plot[openplot(PLOT_TRANS, 1, 1)];
    to(100, 400), passes(3);
    ASSERT_GT(t.numcols, 0);
    to(144, 80), hl_type("t"), settle();  // the entry over wire 1's symbol
    ASSERT_EQ(getstringmode, 0);
    const int32_t before = t.numcols;
    hl_type("5"), passes(20);
    EXPECT_EQ(t.numcols, before) << "nothing computed from the text as typed";
    hl_key(SC_RETURN, 13, 0), settle();
    ASSERT_EQ(getstringmode, -1);
    passes(20);
    EXPECT_GT(t.numcols, before) << "computing again after the commit";
}

// On a clock that has always run out a Bode window computes one batch a
// pass, its fitted gain range waiting for the whole curve; whole, its view is
// the one a window computed in one pass shows.
TEST_F(Plotwin, ABodeWindowFillsInOverPassesToTheSameView)
{
    begin();
    ibodewire = 0;
    plottype &b = plot[openplot(PLOT_BODE, 1, 1)];
    to(100, 400);
    auto view = [&] {
        const tiletype *f = hl_shown();
        std::vector<uint32_t> v;
        for (int32_t y = (int32_t)b.top; y < (int32_t)b.bottom; y++)
            for (int32_t x = (int32_t)b.left; x < (int32_t)b.right; x++) v.push_back(((uint32_t *)(f->f + y * f->p))[x]);
        return v;
    };
    plotclock = [] { return 0.0; };  // never runs out
    b.autogain = 1, b.phaseoffs = -1, passes();
    ASSERT_EQ(b.swept, 1);
    const std::vector<double> fitted = {b.dblo, b.dbhi};
    const std::vector<uint32_t> once = view();
    plotclock = [] { return e2enow += 1; };  // a second a reading
    b.phaseoffs = -1, passes();
    int32_t computed = 0;
    for (int32_t c = 0; c < b.cachexdim; c++) computed += b.colmax[c] >= 0;
    EXPECT_TRUE(computed >= 1 && computed <= BATCHMAX) << computed;
    EXPECT_TRUE(b.dblo == -60 && b.dbhi == 60) << "the fit waits";
    ASSERT_EQ(swept(), 1);
    passes();
    EXPECT_EQ(std::vector<double>({b.dblo, b.dbhi}), fitted);
    EXPECT_TRUE(view() == once);
}


// The same cursors on a Bode window: on frequencies, which a switch to hertz
// keeps; the divider's flat response differs by nothing between them. And
// the automatic gain range.
TEST_F(Plotwin, BodeCursorsAndAutomaticGainRange)
{
    begin();
    ibodewire = 0;
    plottype &b = plot[openplot(PLOT_BODE, 1, 1)];  // client (408, 28)-(704, 292)
    to(100, 400), settle(), swept();
    to(408 + 100, 100), button(1), button(0), settle();
    hl_keydown(SC_LSHIFT), to(408 + 174, 100), button(1), button(0), hl_keyup(SC_LSHIFT), settle();
    EXPECT_NEAR(b.curb - b.cura, 74 * 10.0 / 296, 1e-12);
    char s[96];
    ASSERT_EQ(plotcursortext(&b, 2, s, sizeof s), 1);
    EXPECT_NE(std::string(s).find(std::string("fB/fA ") + ltrim(fstr(pow(10.0, 2.5)))), std::string::npos) << s;
    ASSERT_EQ(plotcursortext(&b, 3, s, sizeof s), 1);
    EXPECT_STREQ(s, "B-A  0.00 dB  0.0 deg");
    const double a = b.cura;
    hl_key(SC_SPACE, ' ', 0), settle();  // to hertz: the axis moves by log10(2 pi), the cursor with it
    EXPECT_NEAR(b.cura, a - log10(2 * M_PI), 1e-12);
    ASSERT_EQ(plotcursortext(&b, 0, s, sizeof s), 1);
    EXPECT_NE(std::string(s).find("Hz"), std::string::npos) << s;
    // A: the gain range follows the curve (whole 10 dB lines, 2 dB to spare,
    // at least 20 dB); zooming the gain by hand ends it
    hl_key(SC_A, 'a', 0), settle();
    ASSERT_EQ(b.autogain, 1);
    const double g = b.colmin[100] * 10 / M_LN10;  // the divider's flat gain
    EXPECT_TRUE(fmod(b.dblo, 10) == 0 && fmod(b.dbhi, 10) == 0 && b.dblo <= g - 2 && g + 2 <= b.dbhi &&
                b.dbhi - b.dblo == 20) << b.dblo << " " << g << " " << b.dbhi;
    hl_key(SC_DOWN, 0, 0), settle();
    EXPECT_TRUE(!b.autogain && fabs(b.dbhi - b.dblo - 24) < 1e-9);
}

// Opening the open file again (going back to what it holds) keeps the
// windows, their views and the zoom; opening another file closes them.
TEST_F(Plotwin, ReopeningTheSameFileKeepsTheWindowsAndTheirViews)
{
    begin();
    plottype &t = plot[openplot(PLOT_TRANS, 1, 1)];
    to(100, 400), settle();
    t.yscale = 2, fsxoff = 32, isxoff = 32;
    const std::string same = curfilename;
    hl_answer_file(same.c_str()), hl_key(SC_L, 0, KEYCTRL), settle();
    ASSERT_EQ(numplots, 1);
    EXPECT_TRUE(t.yscale == 2 && isxoff == 32);
    hl_answer_file(write("other.vsm", DIVIDERFILE).c_str()), hl_key(SC_L, 0, KEYCTRL), settle();
    EXPECT_TRUE(numplots == 0 && isxoff == 0);
}

// Shift+right-click adds a trace to the topmost window of its kind, again
// takes it away; the window's own gives way to the next, the last closes it.
// The columns come from one run, the legend and the copy name each trace.
TEST_F(Plotwin, ShiftRightClickAddsAndRemovesTraces)
{
    begin();
    plottype &t = plot[openplot(PLOT_TRANS, 1, 1)];
    auto shiftright = [&](int32_t x, int32_t y) {
        hl_keydown(SC_LSHIFT), to(x, y), button(2), button(0), hl_keyup(SC_LSHIFT), settle();
    };
    shiftright(240, 80);  // node 1
    ASSERT_TRUE(numplots == 1 && t.numextra == 1 && t.extra[0].plotsense == 0 && t.extra[0].plotwire == 1);
    to(100, 400);
    for (int32_t i = 0; i < 100 && t.numcols < 50; i++) passes(4);
    EXPECT_EQ(-t.extra[0].colmax[10], 5.0) << "V(1) of the divider";
    EXPECT_GT(countpal(408, 28, 704, 28 + 64, PAL_LIGHTGREEN), 20) << "the legend names it in its colour";
    EXPECT_GT(countpal(0, 80, 400, 300, PAL_LIGHTGREEN), 10) << "its probe line";
    std::string csv = copyfrom(t);
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "time,V(w1) min,V(w1) max,V(1) min,V(1) max");
    EXPECT_NE(csv.find("\n0.15625,5,5,5,5\n"), std::string::npos) << csv.substr(0, 200);
    shiftright(180, 80);  // the window's own probe (its node1 half): V(1) takes its place
    ASSERT_TRUE(numplots == 1 && t.numextra == 0 && t.plotsense == 0 && t.plotwire == 1);
    shiftright(240, 80);  // the last trace closes the window
    EXPECT_EQ(numplots, 0);
}

// Save writes the open windows after the circuit; opening the file again,
// after another, brings them back with their traces and views. The lines
// change neither the circuit read nor the unsaved mark, and a line that does
// not read opens nothing.
TEST_F(Plotwin, TheWindowsTravelWithTheSavedFile)
{
    begin();
    ibodewire = 0;
    plottype &b = plot[openplot(PLOT_BODE, 1, 1)];
    ibodewire = -1;
    plottype &t = plot[openplot(PLOT_TRANS, 1, 1)];
    traceadd(&t, 1, 0);
    to(100, 400), settle();  // drawn once: the views set
    b.lfreqlo = 1.25, b.lfreqhi = 4.5, b.cura = 2.0, b.dblo = -40, b.dbhi = 10;
    t.yscale = 3, t.xscale = 1.0 / 1024;
    const std::vector<box> rects = {boxof(0), boxof(1)};
    const std::string circuit = circuittext(), file = path("w.vsm");
    hl_answer_file(file.c_str()), hl_key(SC_S, 0, KEYCTRL | KEYSHIFT), settle();
    std::string text = read("w.vsm");
    ASSERT_EQ(text.substr(0, text.find("//Plot,")), circuit);
    EXPECT_EQ(text.find("//Plot,", text.find("//Plot,", text.find("//Plot,") + 1) + 1), std::string::npos);
    hl_answer_file(write("other.vsm", DIVIDERFILE).c_str()), hl_key(SC_L, 0, KEYCTRL), settle();
    ASSERT_EQ(numplots, 0);
    hl_answer_file(file.c_str()), hl_key(SC_L, 0, KEYCTRL), settle();
    ASSERT_EQ(numplots, 2);
    EXPECT_EQ(circuittext(), circuit);
    EXPECT_EQ(std::vector<box>({boxof(0), boxof(1)}), rects);
    EXPECT_TRUE(plot[0].kind == PLOT_BODE && plot[0].lfreqlo == 1.25 && plot[0].lfreqhi == 4.5 &&
                plot[0].cura == 2.0 && isnan(plot[0].curb) && plot[0].dblo == -40 && plot[0].inwire == 0);
    EXPECT_TRUE(plot[1].kind == PLOT_TRANS && plot[1].yscale == 3 && plot[1].xscale == 1.0 / 1024 &&
                plot[1].numextra == 1 && plot[1].extra[0].plotwire == 1 && plot[1].extra[0].plotsense == 0);
    EXPECT_FALSE(circuitdirty);
    // a window line naming wire 7 of this two-wire circuit, and a cut one, open nothing
    text.insert(text.find("//Plot,"), "//Plot,1,2,0,1,2,3\r\n");
    std::string bad = text.substr(text.rfind("//Plot,"));
    bad.replace(bad.rfind(",1,0"), 4, ",7,1");
    hl_answer_file(write("bad.vsm", text.substr(0, text.rfind("//Plot,")) + bad).c_str());
    hl_key(SC_L, 0, KEYCTRL), settle();
    EXPECT_EQ(numplots, 1) << "the Bode window only";
}

// M steps through the measurements of the selected trace, computed from the
// window's columns; the copy then ends with all of them. A series RLC: the
// capacitor's step overshoots by exp(-pi zeta / sqrt(1 - zeta^2)), the
// resistor's band-pass is R/L wide.
TEST_F(Plotwin, MeasurementsOfTheWindowsColumns)
{
    ASSERT_EQ(start({write("rlc.vsm", "NumNodes,4\r\n0,48,80,1\r\n1,240,80,0\r\n2,240,272,0\r\n3,48,272,0\r\n"
                                      "NumWires,4\r\n0,0,1,V,1,0,\r\n1,1,2,R,100,1,\r\n2,2,3,L,0.01,2,0\r\n"
                                      "3,3,0,C,1E-6,3,0\r\n")}), 1);
    vopts.showcirchelp = vopts.gridmode = vopts.autoyscale = 0;
    auto measured = [&](plottype &w, const char *name) {
        std::string csv = copyfrom(w);
        size_t at = csv.find(std::string("\n") + name + ",");
        return at == std::string::npos ? NAN : atof(csv.c_str() + csv.find(',', csv.find(',', at + 1) + 1) + 1);
    };
    plottype &t = plot[openplot(PLOT_TRANS, 3, 0)];  // the capacitor, from 0 V
    t.xscale = 1.0 / 65536;
    to(100, 400);
    for (int32_t i = 0; i < 200 && t.numcols < 300; i++) passes(4);
    hl_mouse(556, 160), hl_pass();
    for (int32_t m = 0; m < 7; m++) hl_key(SC_M, 'm', 0);
    settle();
    EXPECT_EQ(t.measure, 7);
    const double zeta = 100 / 2.0 * sqrt(1e-6 / 0.01);
    EXPECT_NEAR(measured(t, "overshoot"), 100 * exp(-M_PI * zeta / sqrt(1 - zeta * zeta)), 0.2) << "%";
    for (int32_t m = 0; m < 3; m++) hl_key(SC_M, 'm', 0);
    settle();
    EXPECT_EQ(t.measure, 0) << "after the last, none";
    EXPECT_EQ(copyfrom(t).find("measurement"), std::string::npos);
    removeplot(0);
    ibodewire = 0;
    plottype &b = plot[openplot(PLOT_BODE, 1, 1)];  // across R: R / (R + jwL + 1/jwC)
    settle();
    b.lfreqlo = 3, b.lfreqhi = 5, b.reset = -1;
    hl_mouse(556, 160), hl_key(SC_M, 'm', 0), settle(), swept();
    EXPECT_NEAR(measured(b, "bandwidth"), 100 / 0.01, 20) << "R/L in rad/s";
    EXPECT_NEAR(measured(b, "peak"), 0, 1e-3) << "dB at the resonance";
}

// Every text a window draws, over every time scale and a spread of Bode
// ranges in both units, lies inside the window and clear of the others (the
// mouse is away: no read-outs, which follow it on purpose).
namespace {
std::vector<box> drawn;  // the texts drawn into a 296 x 264 client area this pass
void note(const tiletype *t, int32_t x, int32_t y, int32_t w, int32_t h)
{
    if (t->x != 296 || t->y != 264) return;
    EXPECT_TRUE(x >= 0 && y >= 0 && x + w <= t->x && y + h <= t->y) << x << "," << y << " " << w << "x" << h;
    drawn.push_back({(float)x, (float)y, (float)(x + w), (float)(y + h)});
}
int32_t overlaps(void)
{
    int32_t n = 0;
    for (size_t i = 0; i < drawn.size(); i++)
        for (size_t j = i + 1; j < drawn.size(); j++)
            n += drawn[i][0] < drawn[j][2] && drawn[j][0] < drawn[i][2] && drawn[i][1] < drawn[j][3] &&
                 drawn[j][1] < drawn[i][3];
    return n;
}
}  // namespace

TEST_F(Plotwin, LabelsNeverOverlap)
{
    begin();
    textnote = note;
    auto check = [&](const char *what, double v) {
        drawn.clear();
        passes();
        EXPECT_GT(drawn.size(), 4u) << what << " " << v;
        EXPECT_EQ(overlaps(), 0) << what << " " << v;
    };
    plottype &t = plot[openplot(PLOT_TRANS, 1, 1)];
    traceadd(&t, 1, 0);
    t.measure = 1, t.cura = 0, t.curb = 1e-9;
    to(100, 500), passes();
    for (double x = XSCMIN; x <= XSCMAX; x *= 2) {
        t.xscale = x, t.cura = 20 * x, t.curb = 120 * x, t.reset = -1;
        check("seconds per column", x);
    }
    removeplot(0);
    ibodewire = 0;
    plottype &b = plot[openplot(PLOT_BODE, 1, 1)];
    traceadd(&b, 1, 0);
    b.measure = 2;
    passes();
    for (int32_t hz = 0; hz < 4; hz++)  // and with |out/in| and a linear frequency axis
        for (double span = 2; span <= 60; span *= 1.7)
            for (double lo = -12; lo < 12; lo += 5.3) {
                b.hertz = hz & 1, b.lfreqlo = lo, b.lfreqhi = lo + span, b.cura = lo + span / 3, b.curb = lo + span / 2;
                b.dblo = -span * 3, b.dbhi = span, b.reset = -1;
                b.linmag = b.linfreq = hz >> 1, b.maglo = -span / 100, b.maghi = span / 20;
                check("decades from", lo);
            }
    textnote = nullptr;
}

// A right drag draws a zoom box: on a Bode window its columns become the
// frequencies and, from the gain panel, its rows the gain range; on a
// transient the finest time scale it fits and its rows the value range. A
// plain right click changes nothing.
TEST_F(Plotwin, ZoomBoxNarrowsTheViewToIt)
{
    begin();
    ibodewire = 0;
    plottype &b = plot[openplot(PLOT_BODE, 1, 1)];  // client (408, 28)-(704, 292)
    auto box = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        to(x0, y0), button(2), to((x0 + x1) / 2, y1), to(x1, y1), button(0), settle();
    };
    to(100, 400), settle();
    box(408 + 60, 28 + 60, 408 + 60, 28 + 60);
    EXPECT_EQ(std::vector<double>({b.lfreqlo, b.lfreqhi, b.dblo, b.dbhi}), std::vector<double>({-3, 7, -60, 60}));
    box(408 + 150, 28 + 100, 408 + 50, 28 + 20);
    EXPECT_NEAR(b.lfreqlo, -3 + 50 * 10.0 / 296, 1e-12);
    EXPECT_NEAR(b.lfreqhi, -3 + 150 * 10.0 / 296, 1e-12);
    EXPECT_NEAR(b.dbhi, 60 - 20 * 120 / (0.6 * 264), 1e-9);
    EXPECT_NEAR(b.dblo, 60 - 100 * 120 / (0.6 * 264), 1e-9);
    EXPECT_TRUE(isnan(b.cura)) << "no cursor set";

    plottype &t = plot[openplot(PLOT_TRANS, 1, 1)];  // client (408, 328)-(704, 592)
    const double x = t.xscale;
    to(100, 400), settle();
    box(408 + 100, 328 + 60, 408 + 150, 328 + 126);
    EXPECT_TRUE(t.xscale == x / 4 && t.firstcol == 392) << t.xscale << " " << t.firstcol;
    EXPECT_TRUE(t.yscale == 4 && t.yoffset == (132 - 60) * 4.0) << t.yscale << " " << t.yoffset;
}

// G shows |out/in| and F a linear frequency axis, in the window and its file.
// An RC low-pass, corner at 1000 rad/s: |H| = 1/sqrt(2) there; on the linear
// axis from 100 to 10000 rad/s column 148 is solved at 5050 rad/s.
TEST_F(Plotwin, LinearMagnitudeAndFrequencyAxes)
{
    ASSERT_EQ(start({write("rc.vsm", "NumNodes,3\r\n0,48,80,1\r\n1,240,80,0\r\n2,240,272,0\r\n"
                                     "NumWires,3\r\n0,0,1,V,1,0,\r\n1,1,2,R,1000,1,\r\n2,2,0,C,1E-6,2,\r\n")}), 1);
    vopts.showcirchelp = vopts.gridmode = 0;
    ibodewire = 0;
    plottype &b = plot[openplot(PLOT_BODE, 2, 0)];  // V(2) over the source
    to(556, 160), settle();
    b.lfreqlo = 2, b.lfreqhi = 4, b.cura = 3, b.reset = -1;
    char s[96];
    ASSERT_EQ(swept(), 1);
    ASSERT_EQ(plotcursortext(&b, 0, s, sizeof s), 1);
    EXPECT_NE(std::string(s).find("-3.01 dB"), std::string::npos) << s;
    hl_key(SC_G, 'g', 0), settle();
    ASSERT_EQ(plotcursortext(&b, 0, s, sizeof s), 1);
    EXPECT_NE(std::string(s).find("  707.1m  -45.0 deg"), std::string::npos) << s;
    EXPECT_TRUE(b.maglo == 0 && b.maghi == 1.1) << "fitted to the curve: " << b.maghi;
    hl_key(SC_F, 'f', 0), settle(), swept();
    to(408 + 148, 100), button(1), button(0), settle();
    EXPECT_NEAR(b.cura, log10(5050), 1e-12);
    std::string csv = copyfrom(b);
    size_t at = csv.find("\n5050,");
    ASSERT_NE(at, std::string::npos) << csv.substr(0, 300);
    EXPECT_NEAR(atof(csv.c_str() + at + 6), -10 * log10(1 + 5.05 * 5.05), 1e-9) << "dB at 5050 rad/s";
    const std::string file = path("m.vsm");
    hl_answer_file(file.c_str()), hl_key(SC_S, 0, KEYCTRL | KEYSHIFT), settle();
    std::string text = read("m.vsm"), old = text.substr(0, text.rfind(",1,1,0,1.1"));
    ASSERT_NE(old.size(), text.size()) << text;
    hl_answer_file(write("old.vsm", old + "\r\n").c_str()), hl_key(SC_L, 0, KEYCTRL), settle();
    ASSERT_EQ(numplots, 1);
    EXPECT_TRUE(!plot[0].linmag && !plot[0].linfreq && plot[0].lfreqlo == 2) << "a line without the modes";
    hl_answer_file(file.c_str()), hl_key(SC_L, 0, KEYCTRL), settle();
    ASSERT_EQ(numplots, 1);
    EXPECT_TRUE(plot[0].linmag && plot[0].linfreq && plot[0].maghi == 1.1 && plot[0].lfreqhi == 4);
}
