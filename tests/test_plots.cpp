// test_plots.cpp: what the plot windows draw and their controls, called with
// gplot and a client view of the test's own: the transient trace against the
// columns transcompute gives, scrolling with the column buffer sliding, and
// the Bode read-outs.
// The headless clock stands still within a pass, so a transient run computes
// its view and one view ahead in one call; one sub-step per column keeps that quick.
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>
#include "tests/e2e.h"
#include "tests/testcircuit.h"
#include "app/app.h"
#include "edit/edit.h"

#define RCSTEP "g.. V01:5 R12:1000 C20:1E-6=0"  // tau 1 ms; the C (wire 2) charges to 5 V
#define RCLOW "g.. V01:1 R12:1000 C20:1E-6"     // Bode: corner at 1000 rad/s

struct Plots : ::testing::Test {
    enum { W = 400, H = 240, FONT = 1 };  // the view; font 1 (6 x 8) is circfont's default
    std::vector<uint32_t> px;
    plottype rec;
    tiletype view;

    void SetUp() override {
        if (!font[1].f) decodepictures();
        hl_reset(), defaultopts(&vopts), memcpy(vpal, ovpal, sizeof vpal);
        vopts.sampsperpix = 1, vopts.autoyscale = 0, colbits = 32, colbytes = 4, drawpixp = drawpix32;
        memset(&rec, 0, sizeof rec), memset(keystatus, 0, sizeof keystatus);
        rec.right = W, rec.bottom = H, gplot = &rec, xres = 640, yres = 480, keyfifr = keyfifw;
        bstatus = obstatus = 0, frmousx = frmousy = 0, deltim = 0, dragwindi = -1, menusel = -1;
        keysowned = menuowns, transscalechanged = 0;
        px.resize(W * H), clear();
    }
    void TearDown() override {
        free(rec.colmin), free(rec.colmax), free(rec.savestate);
        gplot = nullptr, gdd = {0, 0, 0, 0}, numplots = 0, plotclock = vlock;
    }
    void clear() { std::fill(px.begin(), px.end(), vpal[PAL_BLACK]), gdd = view = {(intptr_t)px.data(), W * 4, W, H}; }
    int32_t pal(int32_t x, int32_t y) { return palat(&view, x, y); }
    int32_t count(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t col) {
        return palcount(&view, x0, y0, x1, y1, col);
    }
    // where text s in font f and colour col shows its ink: at (x, y) when x >= 0, else
    // anywhere (the first place from the top into *x, *y); false when it does not
    bool text(const char *s, int32_t f, int32_t col, int32_t *x = nullptr, int32_t *y = nullptr) {
        int32_t anyx = -1, anyy = -1;
        if (!x) x = &anyx, y = &anyy;
        int32_t w = (int32_t)strlen(s) * fontlist[f].width, h = fontlist[f].height;
        std::vector<uint32_t> glyphs(w * h, 0);
        tiletype saved = gdd;
        gdd = {(intptr_t)glyphs.data(), w * 4, w, h};
        drawtext(f, 0, 0, col, -1, "", s);
        gdd = saved;
        std::vector<int32_t> ink;
        for (int32_t i = 0; i < w * h; i++)
            if (glyphs[i] == vpal[col]) ink.push_back(i / w * W + i % w);
        for (int32_t ty = *x >= 0 ? *y : 0; ty + h <= H && ty <= (*x >= 0 ? *y : H); ty++)
            for (int32_t tx = *x >= 0 ? *x : 0; tx + w <= W && tx <= (*x >= 0 ? *x : W); tx++) {
                size_t k = 0;
                while (k < ink.size() && px[ty * W + tx + ink[k]] == vpal[col]) k++;
                if (k == ink.size()) return *x = tx, *y = ty, true;
            }
        return false;
    }
    void transient(double xscale, double yscale, double yoffset) {
        rec.kind = PLOT_TRANS, rec.reset = -1, rec.xoffset = -2, rec.firstcol = -2, rec.cura = rec.curb = NAN;
        rec.xscale = xscale, rec.yscale = yscale, rec.yoffset = yoffset;
    }
    void bode(int32_t in, int32_t out, int32_t sense) {
        rec.kind = PLOT_BODE, rec.inwire = in, rec.plotwire = out, rec.plotsense = sense, rec.phaseoffs = -1;
        rec.cura = rec.curb = NAN;
    }
};

// === transient ===

// Every column of the view shows the span from its minimum to its maximum
// row, stretched to meet the column before it; the rows follow from the
// columns a run of transcompute gives (as veltocli tran prints them).
TEST_F(Plots, TransientTraceReachesTheRowsOfTheComputedColumns)
{
    tcbuild(RCSTEP);
    transient(2e-5, 4, 200);  // 30 pixels a volt, 0 V on row 200
    transplot(2, 1, 0);
    tcplot ref(2, 1, 2e-5);
    transcompute(&ref.rec, W, 1, W, nullptr, 0);
    auto row = [](double s) { return (int32_t)fmin(fmax(30 * s + 200, -1), H); };
    int32_t pa = 0, pb = 0;
    for (int32_t c = 0; c + 2 < W; c++) {  // the view starts two columns before t = 0
        int32_t ya = row(ref.rec.colmin[c]), yb = row(ref.rec.colmax[c]);
        if (c == 0) pa = ya, pb = yb;
        int32_t top = std::min(ya, pb + 1), bottom = std::max(yb, pa - 1), x = c + 2;
        for (int32_t y = 0; y < H; y++) {
            int32_t drawn = pal(x, y) == 25, want = y >= top && y <= bottom;
            if (x >= 30 || !want) {  // value labels on the left
                EXPECT_EQ(drawn, want) << "column " << c << " row " << y;
            }
        }
        pa = ya, pb = yb;
    }
    EXPECT_EQ(row(ref.rec.colmin[W - 3]), 50);  // charged to 5 V after 8 time constants
}

// Grid labels carry the digits that tell them from the next: a flat 5 V
// scaled automatically spans 0.1 mV, whose labels four digits would all
// show as "5 V"; so would the seconds of a fine time scale far from 0.
TEST_F(Plots, GridLabelsTellTheirLinesApart)
{
    tcbuild("g. V01:5 R10:1000");  // node 1 at 5 V
    transient(2e-5, 4, 200);
    transplot(1, 0, 0);
    transautoscale(), clear(), transplot(1, 0, 0);
    for (const char *s : {"5.00005 V", "5 V", "4.99995 V"}) EXPECT_TRUE(text(s, FONT, 17)) << s;
    // any level and step: the labels a step apart differ, and where four
    // digits tell them apart they are plotnum's
    for (double level : {1e-3, 5.0, -47.3, 1234.5, 3.3e6})
        for (double step : {1e-7, 1e-4, 0.5, 20.0}) {
            const std::string a = plotlabel(level, step, "s"), b = plotlabel(level + step, step, "s");
            EXPECT_NE(a, b) << level << " " << step;
            if (step >= fabs(level) * 1e-3) {
                EXPECT_EQ(a, plotnum(level, "s")) << level << " " << step;
            }
        }
}

// V = T into R: column c holds -(c + 0.5) xscale. A window computes its view
// and one view width ahead, and goes on when scrolled. Dragging right slides
// the buffer so that 3/4 of it lies behind the view, with every kept column
// in its new slot; dragging left of its start computes again from t = 0.
TEST_F(Plots, ScrollingSlidesTheColumnBuffer)
{
    tcbuild("g. V01:T R10:1");
    transient(0.25, 4096, H / 2);  // the trace rises 30 pixels over 10000 columns
    transplot(1, 0, 0);
    transplot(1, 0, 0);
    ASSERT_EQ(rec.numcols, -2 + 2 * W);
    auto slotsok = [&] {
        for (int32_t j = 0; j < rec.numcols - rec.basecol; j++)
            if (rec.colmin[j] != -(rec.basecol + j + 0.5) * 0.25) return false;
        return true;
    };
    bstatus = obstatus = 1, frmousx = -1000;  // held: at most a screen less one per pass
    for (int32_t i = 0; i < 20; i++) transcontrols();
    EXPECT_EQ(rec.firstcol, -2 + 20 * 639);
    EXPECT_EQ(rec.basecol, 12778 - 6144);
    EXPECT_TRUE(slotsok());
    transplot(1, 0, 0);
    EXPECT_EQ(rec.numcols, rec.firstcol + 2 * W);
    EXPECT_TRUE(slotsok());
    EXPECT_GT(count(100, 0, 101, H, 25), 0);
    frmousx = 639;
    for (int32_t i = 0; i < 9; i++) transcontrols();
    EXPECT_EQ(rec.basecol, 6634);  // the view is still inside the buffer
    EXPECT_EQ(rec.numcols, 12778 + 2 * W);
    transcontrols();
    EXPECT_EQ(rec.numcols, -1);
    EXPECT_EQ(rec.basecol, 6388 - 6144);
    transplot(1, 0, 0);
    EXPECT_EQ(rec.numcols, 6388 + 2 * W);
    EXPECT_TRUE(slotsok());
    for (int32_t i = 0; i < 20; i++) transcontrols();
    EXPECT_EQ(rec.xoffset, -320);  // half a screen before t = 0 at most
    bstatus = 0, frmousx = 0, deltim = 0.1, keystatus[SC_RSHIFT] = keystatus[SC_RIGHT] = 1;
    transcontrols();  // right Shift: 3 x 512 pixels a second
    EXPECT_NEAR(rec.xoffset, -320 + 153.6, 1e-9);
}

// === Bode ===

// RC low-pass over 10^-3 .. 10^7 rad/s, 400 columns, 40 a decade: two
// decades above the corner the slope reads -20 dB a decade, at the corner
// the phase reads -45 degrees and the frequency 1000 rad.
TEST_F(Plots, BodeReadoutsOfAnRcLowPass)
{
    tcbuild(RCLOW);
    bode(0, 2, 1);
    const struct { int32_t mx; const char *text; int32_t col; } cases[] = {
        {320, "-20.00 dB/decade", 24}, {240, "-45.0\xF8", 25}, {240, "1 krad/s", 17}, {240, "-3.01 dB", 25},
        {40, "-0.00 dB", 25},
    };
    for (const auto &k : cases) {
        clear(), fmousx = k.mx, fmousy = 30;
        bodeplot(0, 2, 1, 1);
        int32_t x = -1, y = -1;
        EXPECT_TRUE(text(k.text, FONT, k.col, &x, &y)) << k.text;
        EXPECT_NEAR(x + strlen(k.text) * 3, k.mx, 40) << k.text;
    }
    EXPECT_TRUE(text("\xB3Voltage/Voltage\xB3", FONT, 17));
}

// An inverting amplifier (its phase 180 degrees, the edge of the first view's
// panel) opens with the curve in the middle of the phase panel, and so again
// after Home; an RC low-pass keeps 0 degrees there.
TEST_F(Plots, BodePhasePanelOpensOnTheCurve)
{
    ASSERT_EQ(loadvsm(VELTO_SOURCE_DIR "/examples/inverting.vsm"), 1);
    for (int32_t home = 0; home < 2; home++) {
        clear(), bode(4, 3, 0);
        if (home) rec.phaseoffs = 0x1234, keyfif[keyfifw++ & (KEYFIFSIZ - 1)] = SC_HOME << 8, bodecontrols();
        bodeplot(4, 3, 0, 0);
        EXPECT_GT(count(100, (int32_t)(0.8 * H) - 2, W, (int32_t)(0.8 * H) + 3, 25), 250) << "home " << home;
    }
    tcbuild(RCLOW);
    clear(), bode(0, 2, 1);
    bodeplot(0, 2, 1, 0);
    EXPECT_EQ(rec.phaseoffs, 0x8000);
}

// An input that is 0 at every frequency is said so in the window.
TEST_F(Plots, BodeSaysWhenTheInputIsZeroEverywhere)
{
    tcbuild("g... V01:SIN(0;1;1000;0;0) R12:1000 R20:1000 R30:1000 X03:1");
    clear(), bode(4, 2, 0);
    bodeplot(4, 2, 0, 0);
    EXPECT_TRUE(text("input is 0 at every frequency", FONT, 24));
    tcbuild(RCLOW);
    clear(), bode(0, 2, 1);
    bodeplot(0, 2, 1, 0);
    EXPECT_FALSE(text("input is 0 at every frequency", FONT, 24));
}

// === matrix debug ===

// A pass whose build is the one solved last shows that solution again
// without a solve; another frequency solves anew.
TEST_F(Plots, MatrixSolvesOnlyABuildItHasNotSolved)
{
    tcbuild("g.. V01:3 R12:4700 C20:1E-6");
    rec.kind = PLOT_MATRIX, rec.matw = 1000;
    matrixrender();
    EXPECT_EQ(buildsolved, buildcount);
    const std::vector<uint32_t> first = px;
    clear(), matrixrender();
    EXPECT_NE(buildsolved, buildcount) << "solved again";
    EXPECT_TRUE(px == first);
    clear(), rec.matw = 10, matrixrender();
    EXPECT_EQ(buildsolved, buildcount);
    EXPECT_FALSE(px == first);
    clear(), rec.matw = 1000, matrixrender();
    EXPECT_TRUE(px == first);
}

TEST_F(Plots, MatrixNamesItsRowsAndColumnsAndNoNumbersRunTogether)
{
    tcbuild("g.. V01:3 R12:4700 R20:3300");  // 375 uA: " 3.75E-04" is wider than a cell
    rec.kind = PLOT_MATRIX;
    static std::vector<std::vector<int32_t>> boxes;
    boxes.clear();
    textnote = [](const tiletype *, int32_t x, int32_t y, int32_t w, int32_t h) { boxes.push_back({x, y, x + w, y + h}); };
    matrixrender();
    textnote = nullptr;
    for (const char *name : {"I(V1)", "I(R2)", "V(n0)", "V(n2)", "b", "x"}) EXPECT_TRUE(text(name, 0, PAL_YELLOW)) << name;
    EXPECT_GT(count(0, 0, W, H, PAL_CYAN), 100) << "the solution row";
    for (size_t a = 0; a < boxes.size(); a++)
        for (size_t b = 0; b < a; b++)
            EXPECT_FALSE(boxes[a][0] < boxes[b][2] && boxes[b][0] < boxes[a][2] && boxes[a][1] < boxes[b][3] &&
                         boxes[b][1] < boxes[a][3]) << a << " over " << b;
}
