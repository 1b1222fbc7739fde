// test_plots.cpp: what the plot windows draw and their controls, called with
// gplot and a client view of the test's own: the transient trace against the
// columns transcompute gives, scrolling with the column buffer sliding, the
// time-scale limits and their round trip through a circuit file, the value
// zoom and auto scale, the Bode read-outs, ranges and hertz toggle, the matrix
// cells and keys, and failed solves leaving columns and read-outs blank.
// The headless clock stands still within a pass, so a transient run computes
// its view and one view ahead in one call; one sub-step per column keeps that quick.
#include <gtest/gtest.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <set>
#include <string>
#include <vector>
#include "frame/headless.h"
#include "tests/testcircuit.h"
#include "app/app.h"
#include "edit/edit.h"

#define RCSTEP "g.. V01:5 R12:1000 C20:1E-6=0"  // tau 1 ms; the C (wire 2) charges to 5 V
#define RCLOW "g.. V01:1 R12:1000 C20:1E-6"     // Bode: corner at 1000 rad/s

struct Plots : ::testing::Test {
    enum { W = 400, H = 240, FONT = 1 };  // the view; font 1 (6 x 8) is circfont's default
    std::vector<uint32_t> px;
    plottype rec;

    void SetUp() override {
        static int decoded = 0;
        if (!decoded) decodepictures(), decoded = 1;
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
        gplot = nullptr, gdd = {0, 0, 0, 0}, numplots = 0, transclock = vlock;
    }
    void clear() { std::fill(px.begin(), px.end(), vpal[PAL_BLACK]), gdd = {(intptr_t)px.data(), W * 4, W, H}; }
    int32_t pal(int32_t x, int32_t y) {
        for (int32_t i = PAL_BLACK; i < PALSIZ; i++)
            if (px[y * W + x] == vpal[i]) return i;
        return -1;
    }
    int32_t count(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t col) {
        int32_t n = 0;
        for (int32_t y = y0; y < y1; y++)
            for (int32_t x = x0; x < x1; x++) n += pal(x, y) == col;
        return n;
    }
    void key(int32_t scan, int32_t ch = 0, int32_t mods = 0) { keyfif[keyfifw++ & 255] = ch | scan << 8 | mods; }
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
        rec.kind = PLOT_TRANS, rec.reset = -1, rec.xoffset = -2, rec.firstcol = -2;  // as a window opens
        rec.xscale = xscale, rec.yscale = yscale, rec.yoffset = yoffset;
    }
    void bode(int32_t in, int32_t out, int32_t sense) {
        rec.kind = PLOT_BODE, rec.inwire = in, rec.plotwire = out, rec.plotsense = sense, rec.phaseoffs = -1;
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

// A pass computes for 10 ms of the clock, checked every 16th sub-step, and
// the next pass goes on from there. With 1/256 s a reading the third check
// is past the deadline: 48 columns of one sub-step a pass.
TEST_F(Plots, TransientComputesForItsBudgetEachPass)
{
    static double now;
    now = 0;
    transclock = [] { return now += 1.0 / 256; };
    tcbuild(RCSTEP);
    transient(2e-5, 4, 200);
    transplot(2, 1, 0);
    EXPECT_EQ(rec.numcols, 48);
    EXPECT_GT(count(49, 0, 50, H, 25), 0);
    EXPECT_EQ(count(50, 0, W, H, 25), 0);
    transplot(2, 1, 0);
    EXPECT_EQ(rec.numcols, 96);
}

// A singular circuit beeps once and draws no trace; a column whose sub-steps
// all failed (NaN) is a gap in the trace and has no curve read-out, and so
// has a column never computed, while a computed one reads its value.
TEST_F(Plots, FailedAndMissingColumnsStayBlank)
{
    tcbuild("g... V01:5 R12:1000 C20:1E-6");  // node 3 is not connected
    transient(2e-5, 4, 200);
    fmousx = 200, fmousy = 100;
    transplot(2, 1, 1);
    transplot(2, 1, 1);
    EXPECT_EQ(hl_beeps(), 1);
    EXPECT_EQ(count(0, 0, W, H, 25), 0);

    tcbuild(RCSTEP);
    rec.reset = -1;
    transplot(2, 1, 0);
    for (int32_t c = 100; c < 110; c++) rec.colmin[c] = rec.colmax[c] = NAN;
    clear(), fmousx = 105 + 2;
    transplot(2, 1, 1);
    EXPECT_EQ(count(102, 0, 112, H, 25), 0);
    EXPECT_GT(count(101, 0, 102, H, 25), 0);
    EXPECT_GT(count(112, 0, 113, H, 25), 0);

    rec.firstcol = 8100, rec.xoffset = 8100;  // columns from 8192 on are beyond the full buffer
    transplot(2, 1, 1);
    std::string v = std::string(ltrim(fstr(-(rec.colmin[8150] + rec.colmax[8150]) / 2))) + " V";
    for (int32_t mx : {50, 250}) {
        clear(), fmousx = mx;
        transplot(2, 1, 1);
        EXPECT_EQ(text(v.c_str(), FONT, 25), mx == 50) << mx;
        EXPECT_EQ(count(92, 0, W, H, 25), 0) << mx;
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
    bstatus = 1, frmousx = -1000;  // at most a screen less one per pass
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

// Left and Right step by 4 only while the scale stays within what a circuit
// file holds; each step restarts the run and becomes the circuit's scale
// (unsaved until saved), which saves and loads back unchanged.
TEST_F(Plots, TimeScaleStaysWithinWhatACircuitFileHolds)
{
    std::string file = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/velto-plots-xsc.vsm";
    tcbuild(RCSTEP);
    markclean();
    std::vector<double> seen;
    for (double start : {XSCMIN, 2 * XSCMIN, 0.015625, XSCMAX / 2, XSCMAX}) {
        for (int32_t scan : {SC_LEFT, SC_RIGHT}) {
            rec.xscale = start;
            for (int32_t i = 0; i < 30; i++) {
                rec.numcols = 5, rec.firstcol = 7;
                key(scan);
                transcontrols();
                EXPECT_TRUE(rec.xscale >= XSCMIN && rec.xscale <= XSCMAX) << rec.xscale;
                if (rec.numcols != -1) continue;
                EXPECT_EQ(rec.firstcol, -2);
                EXPECT_EQ(transdefxsc, rec.xscale);
                seen.push_back(rec.xscale);
            }
            EXPECT_TRUE(scan == SC_LEFT ? rec.xscale * 0.25 < XSCMIN : rec.xscale * 4 > XSCMAX) << start;
        }
    }
    EXPECT_EQ(transscalechanged, 1);  // the file holds the scale: the unsaved mark follows
    EXPECT_EQ(seen.size(), 23u + 22 + 10 + 13 + 22 + 23u);
    for (double s : std::set<double>(seen.begin(), seen.end())) {  // 2^-26 .. 2^20
        transdefxsc = s;
        ASSERT_EQ(savevsm(file.c_str()), 1);
        transdefxsc = 1;
        ASSERT_EQ(loadvsm(file.c_str()), 1);
        EXPECT_EQ(transdefxsc, s);
        EXPECT_EQ(vsmrepairs, 0) << s;
    }
    unlink(file.c_str());
}

// Up and Down held zoom about the middle row by 4 a second, within
// 0.00001 .. 1048576 units; not with auto scale, the menu open or Shift
// held (which scrolls instead).
TEST_F(Plots, ValueZoomKeepsTheMiddleAndItsLimits)
{
    const struct { int32_t scan; double yscale, want; int32_t autoy, menu, shift; } cases[] = {
        {SC_UP, 8, 4, 0, -1, 0}, {SC_DOWN, 8, 16, 0, -1, 0}, {SC_DOWN, 700000, 1048576, 0, -1, 0},
        {SC_UP, 0.000015, 0.00001, 0, -1, 0}, {SC_UP, 8, 8, 1, -1, 0}, {SC_UP, 8, 8, 0, 0, 0}, {SC_UP, 8, 8, 0, -1, 1},
    };
    for (const auto &k : cases) {
        rec.yscale = k.yscale, rec.yoffset = 40;
        vopts.autoyscale = k.autoy, menusel = k.menu, deltim = 0.5;
        keystatus[k.scan] = 1, keystatus[SC_LSHIFT] = k.shift;
        transcontrols();
        keystatus[k.scan] = 0;
        EXPECT_NEAR(rec.yscale, k.want, k.want * 1e-12) << k.scan << " " << k.yscale;
        double middle = k.shift ? 0 : (rec.yoffset - H / 2) * rec.yscale - (40 - H / 2) * k.yscale;
        EXPECT_NEAR(middle, 0, 1e-9) << k.scan;
    }
}

// The visible computed range [lo, hi] fills the middle 80 % of the height;
// a flat range, or none, is 0.0001 wide; NaN columns count for nothing.
TEST_F(Plots, AutoScaleFitsTheVisibleColumns)
{
    const struct { double lo, hi; int32_t cols; double toprow, bottomrow; } cases[] = {
        {-5, 0, 50, H * 0.1, H * 0.9}, {1, 3, 50, H * 0.1, H * 0.9}, {2, 2, 50, H * 0.5, H * 0.5},
        {0, 0, 0, H * 0.5, H * 0.5},
        {1e6, 1e6 + 0.004, 50, H * 0.1, H * 0.9},  // a 4 mV ripple on 1 MV keeps its span
    };
    checkmaxxdim(&rec, W);
    for (const auto &k : cases) {
        rec.firstcol = 10, rec.basecol = 0, rec.numcols = 10 + k.cols;
        for (int32_t c = 0; c < 100; c++) rec.colmin[c] = rec.colmax[c] = c < 10 ? -100 : NAN;
        for (int32_t c = 10; c < 10 + k.cols; c++) rec.colmin[c] = k.lo, rec.colmax[c] = c == 20 ? k.hi : NAN;
        transautoscale();
        double u = H / 2 / rec.yscale, wide = k.hi > k.lo ? k.hi - k.lo : 0.0001;
        EXPECT_NEAR(rec.yscale, wide * 0.625, wide * 1e-3) << k.lo << " " << k.hi;
        EXPECT_NEAR(u * k.lo + rec.yoffset, k.toprow, 0.5) << k.lo << " " << k.hi;
        EXPECT_NEAR(u * k.hi + rec.yoffset, k.bottomrow, 0.5) << k.lo << " " << k.hi;
    }
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
        {320, "-20.00db/decade", 24}, {240, "-45.0\xF8", 25}, {240, "1000rad", 17}, {240, "-3.01db", 25},
        {40, "-0.00db", 25},
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

// The same screen column shows the corner after the unit changes (the
// frequencies on screen stay, the cache stays), and its frequency reads
// 2 pi less in hertz; a new window in hertz puts the corner 2 pi lower
// on the axis, log10(2 pi) x 40 columns to the left.
TEST_F(Plots, HertzToggleMovesTheCornerByTwoPi)
{
    tcbuild(RCLOW);
    bode(0, 2, 1);
    auto corner = [&] {  // first column 3 dB down
        for (int32_t c = BODEMARGIN; c < W; c++)
            if (rec.colmin[c] < log(0.5)) return c;
        return -1;
    };
    bodeplot(0, 2, 1, 0);
    int32_t crad = corner();
    EXPECT_NEAR(pow(10.0, -3 + crad * 10.0 / W), 1000, 1000 * 0.06);
    for (int32_t how = 0; how < 2; how++) {  // Space, then a click on the lower "frq" label
        if (how == 0) key(SC_SPACE, ' ');
        else fmousx = W - 3, fmousy = 0.6 * H + 4, bstatus = 1;
        double before = rec.colmin[crad];
        bodecontrols();
        bstatus = 0;
        EXPECT_EQ(rec.hertz, how == 0);
        EXPECT_EQ(frqgraphmode, how == 0);
        EXPECT_NEAR(rec.lfreqlo, how == 0 ? -3 - log10(2 * M_PI) : -3, 1e-12);
        EXPECT_EQ(rec.colmin[crad], before);  // not computed again
    }
    key(SC_SPACE, ' ');
    bodecontrols();
    clear(), fmousx = crad, fmousy = 30;
    bodeplot(0, 2, 1, 1);
    EXPECT_EQ(corner(), crad);
    double f = pow(10.0, rec.lfreqlo + (rec.lfreqhi - rec.lfreqlo) * crad / W);
    EXPECT_NEAR(f * 2 * M_PI, pow(10.0, -3 + crad * 10.0 / W), 1e-6);
    EXPECT_TRUE(text((std::string(ltrim(fstr(f))) + "hz").c_str(), FONT, 17)) << f;
    rec.phaseoffs = -1;  // a new view, in hertz
    bodeplot(0, 2, 1, 0);
    EXPECT_EQ(rec.lfreqlo, -3);
    EXPECT_NEAR(corner(), crad - log10(2 * M_PI) * 40, 1.5);
    frqgraphmode = 0;
}

// Columns whose solve fails stay blank in both panels and read nothing;
// their neighbours, cached from before, are still drawn.
TEST_F(Plots, BodeFailedColumnsStayBlank)
{
    tcbuild(RCLOW);
    bode(0, 2, 1);
    bodeplot(0, 2, 1, 0);
    tcnode(0);  // a node on its own: every solve fails from now on
    for (int32_t c = 200; c < 220; c++) rec.colmax[c] = -1;
    clear(), fmousx = 210, fmousy = 30;
    bodeplot(0, 2, 1, 0);
    int32_t yellow = count(200, 0, 220, H, 24);  // the panel separator
    clear();
    bodeplot(0, 2, 1, 1);
    EXPECT_EQ(count(200, 0, 220, H, 25), 0);
    EXPECT_EQ(count(200, 0, 220, H, 24), yellow);  // and no slope
    EXPECT_GE(count(150, 0, 200, H, 25), 2 * 50);
    EXPECT_GE(count(220, 0, 260, H, 25), 2 * 40);
}

// Left and Right zoom the frequency span by 1.2 within 2 .. 60 decades and
// empty the cache; Up and Down the gain span within 20 .. 600 dB; Shift
// with Up turns the phase in the lower panel; a drag pans.
TEST_F(Plots, BodeRangesAndPanning)
{
    tcbuild(RCLOW);
    const struct { int32_t scan, presses; double fspan, gspan; } keys[] = {
        {SC_LEFT, 1, 10 / 1.2, 120}, {SC_LEFT, 40, 10 / pow(1.2, 9), 120}, {SC_RIGHT, 40, 10 * pow(1.2, 10), 120},
        {SC_UP, 40, 10, 120 / pow(1.2, 10)}, {SC_DOWN, 40, 10, 120 * pow(1.2, 9)},
    };
    for (const auto &k : keys) {
        bode(0, 2, 1);
        bodeplot(0, 2, 1, 0);
        for (int32_t i = 0; i < k.presses; i++) key(k.scan);
        bodecontrols();
        EXPECT_NEAR(rec.lfreqhi - rec.lfreqlo, k.fspan, 1e-9) << k.scan;
        EXPECT_NEAR(rec.lfreqhi + rec.lfreqlo, 4, 1e-9) << k.scan;
        EXPECT_NEAR(rec.dbhi - rec.dblo, k.gspan, 1e-9) << k.scan;
        EXPECT_EQ(rec.colmax[100] < 0, k.scan == SC_LEFT || k.scan == SC_RIGHT) << k.scan;
    }
    bode(0, 2, 1);
    bodeplot(0, 2, 1, 0);
    keystatus[SC_LSHIFT] = keystatus[SC_UP] = 1, deltim = 0.25, fmousy = H - 10;
    bodecontrols();
    EXPECT_EQ(rec.phaseoffs, 0x8000 - 0x4000);
    keystatus[SC_LSHIFT] = keystatus[SC_UP] = 0, fmousy = 10, bstatus = 1, frmousx = 40, frmousy = 0.6 * H / 12;
    bodecontrols();
    EXPECT_NEAR(rec.lfreqlo, -4, 1e-12);
    EXPECT_NEAR(rec.dbhi, 70, 1e-12);
}

// === matrix debug ===

// V 5 V into node 1, R 1k from node 1 to grounded node 0: the resistor's row
// holds R in its current column and -1 in node 1's column (node 0's +1 is
// not stored), the grounded node's row 1, the solution 5 V and 5 mA. With a
// node on its own the solve fails: the entries show, the solution row not.
TEST_F(Plots, MatrixShowsTheCellsAndOnlyASolvedSolution)
{
    tcbuild("g. V01:5 R10:1000");
    matrixrender();
    EXPECT_EQ(matbad, 0);
    const struct { const char *s; int32_t col, row, colour; } cells[] = {  // row -1: the solution
        {"1000", 1, 1, 12}, {"-1", 3, 1, 12}, {"1", 2, 2, 12}, {"5", 3, -1, 13}, {".005", 1, -1, 13},
    };
    auto shown = [&](const char *s, int32_t col, int32_t row, int32_t colour) {
        int32_t x = 32 * col + 16 - 2 * (int32_t)strlen(s), y = 14 * row + 16;
        return text(s, 0, colour, &x, &y);
    };
    for (const auto &k : cells) EXPECT_TRUE(shown(k.s, k.col, k.row, k.colour)) << k.s;
    EXPECT_EQ(count(64, 28, 96, 42, 12), 0);  // node 0's column of the resistor's row
    clear(), tcnode(0);
    matrixrender();
    EXPECT_EQ(matbad, SOLVENODE);
    EXPECT_TRUE(shown("1000", 1, 1, 12));
    EXPECT_EQ(count(0, 0, W, 14, 13), 0);
    tcclear();
    matrixrender();
    EXPECT_EQ(matbad, SOLVEEMPTY);
}

// "." steps omega 0, 1, 10 .. 1000000 and stops, "," back down to 0; "[" and
// "]" step t; "'" closes the topmost matrix window and leaves later keys
TEST_F(Plots, MatrixKeysStepOmegaAndTimeAndClose)
{
    const struct { int32_t scan, presses; double matw, matt; } keys[] = {
        {SC_PERIOD, 1, 1, 0}, {SC_PERIOD, 9, 1000000, 0}, {SC_COMMA, 6, 1, 0}, {SC_COMMA, 1, 0, 0},
        {SC_RBRACKET, 2, 0, 2}, {SC_LBRACKET, 1, 0, 1},
    };
    rec.kind = PLOT_MATRIX;
    for (const auto &k : keys) {
        for (int32_t i = 0; i < k.presses; i++) key(k.scan);
        matrixcontrols();
        EXPECT_EQ(rec.matw, k.matw) << k.scan;
        EXPECT_EQ(rec.matt, k.matt) << k.scan;
    }
    const int32_t kinds[3] = {PLOT_MATRIX, PLOT_MATRIX, PLOT_TRANS}, order[3] = {1, 0, 2};
    numplots = 3;
    for (int32_t i = 0; i < 3; i++) plot[i].kind = kinds[i], plotorder[i] = order[i];
    gplot = &plot[1];
    key(SC_APOSTROPHE, '\''), key(SC_PERIOD, '.');
    matrixcontrols();
    EXPECT_EQ(numplots, 2);  // window 0, the upper matrix, went; window 2 moved into its slot
    EXPECT_EQ(plot[0].kind, PLOT_TRANS);
    EXPECT_EQ(plot[1].kind, PLOT_MATRIX);
    EXPECT_EQ(keyread() >> 8, SC_PERIOD);
}
