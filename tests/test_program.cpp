// test_program.cpp: the program end to end on the headless frame: start-up
// with a circuit and a second start in the same process, the element picture
// in a short window, the unsaved-changes
// question on quit, the plot windows' data copied as CSV, and the transient
// windows' shared budget.
#include <math.h>
#include "tests/e2e.h"

TEST_F(E2E, StartsWithTheCircuitNamedAndSolvesIt)
{
    const std::string f = write("divider.vsm", DIVIDERFILE);
    ASSERT_EQ(start({f}), 1);
    passes(2);
    EXPECT_EQ(matbad, 0);
    EXPECT_DOUBLE_EQ(dispv[1], 5);
    EXPECT_DOUBLE_EQ(dispi[1], 0.005);
    EXPECT_EQ(circuitdirty, 0);
    EXPECT_STREQ(hl_title(), "divider.vsm - VELTO");
}

// The element picture at the right edge: a window too short for it shows its
// rows in columns side by side, so every pixel of it is on screen at any
// height, as in a window that has room for one column.
TEST_F(E2E, TheElementPictureFitsAShortWindowInColumns)
{
    write("velto.ini", "[VELTO]\r\nengunits=0\r\ngridmode=0\r\n");
    ASSERT_EQ(start(), 1);
    int32_t opaque = 0;
    for (int32_t r = 0; r < veltohlp.y; r++)
        for (int32_t c = 0; c < veltohlp.x; c++) opaque += ((const uint32_t *)(veltohlp.f + r * veltohlp.p))[c] >> 31;
    const struct { int32_t h, cols; } sizes[] = {{600, 1}, {400, 2}, {200, 3}};
    for (const auto &s : sizes) {
        hl_resize(800, s.h), settle();
        const int32_t bg = shownpal(10, s.h / 2), strip = 800 - s.cols * veltohlp.x;
        int32_t drawn = 0;
        for (int32_t y = 0; y < s.h; y++)
            for (int32_t x = strip; x < 800; x++) drawn += shownpal(x, y) != bg;
        EXPECT_EQ(drawn, opaque) << s.h;
    }
}

// A second start in the same process (the window opens anew, its clock at 0)
// titles the window again and animates from the first pass, as the first did.
TEST_F(E2E, ASecondStartBeginsAsTheFirstDid)
{
    const std::string f = write("divider.vsm", DIVIDERFILE);
    for (int32_t round = 0; round < 2; round++) {
        SCOPED_TRACE(round);
        ASSERT_EQ(start({f}), 1);
        passes(20);
        EXPECT_STREQ(hl_title(), "divider.vsm - VELTO");
        EXPECT_GT(numframes, INT32_MIN + 10);  // 16.7 ms a pass, a tick each
        passes(200);
        stop();
    }
}

// Closing the window with unsaved changes asks; Cancel keeps the program
// running, Don't save ends it, Save writes the file first.
TEST_F(E2E, QuitAsksBeforeUnsavedChangesAreLost)
{
    const std::string f = write("divider.vsm", DIVIDERFILE);
    for (int32_t answer : {2, 1, 0}) {
        SCOPED_TRACE(answer);
        ASSERT_EQ(start({f}), 1);
        passes();
        wiresetnumst(1, "2000");
        wire[1].value = 2000;
        recalc = 3;
        passes();
        EXPECT_EQ(circuitdirty, 1);
        EXPECT_STREQ(hl_title(), "*divider.vsm - VELTO");
        hl_answer_yesno(answer), hl_close();
        int32_t msgs = hl_msgcount();
        int32_t went = !passes(2);
        EXPECT_EQ(hl_msgcount(), msgs + 1);
        EXPECT_STREQ(hl_lastmsg(), "Save changes to divider.vsm?");
        EXPECT_EQ(went, answer != 2);
        EXPECT_EQ(read("divider.vsm").find(",R,2000,") != std::string::npos, answer == 0);
        stop();
        hl_reset();
    }
}

// Control+C over a transient window copies its computed columns as CSV, the
// columns veltocli tran prints (node 1 follows a ramp, so every column's
// minimum lies below its maximum); over a help window its text.
TEST_F(E2E, PlotWindowsCopyTheirDataAsCsv)
{
    std::string f = DIVIDERFILE;
    f.replace(f.find("0,0,1,V,5,0,"), 12, "0,0,1,V,T*1000,0,");
    ASSERT_EQ(start({write("ramp.vsm", f)}), 1);
    int32_t t = openplot(PLOT_TRANS, 1, 0);
    ASSERT_GE(t, 0);
    passes(6);
    const plottype &p = plot[t];
    std::string head;
    const auto rows = tccsv(copyfrom(p), &head);
    EXPECT_EQ(head, "time,min,max");
    for (size_t c = 0; c < rows.size(); c++) {
        EXPECT_DOUBLE_EQ(rows[c][0], c * p.xscale);
        EXPECT_LT(rows[c][1], rows[c][2]) << c;
        EXPECT_NEAR((rows[c][1] + rows[c][2]) / 2, 1000 * (c + 0.5) * p.xscale, p.xscale) << c;
    }
    EXPECT_GT(rows.size(), 10u);  // the columns computed by the pass that copied
    EXPECT_LE((int32_t)rows.size(), p.numcols);
    removeplot(t);
    int32_t k = openplot(PLOT_KEYS, 0, 0);
    passes();
    EXPECT_EQ(copyfrom(plot[k]).substr(0, 30), "Main controls:\nALT/ESC: Activa");
}

// Four computing transient windows share 20 ms a pass and one alone has 10 ms
// (at 1/1024 s a clock reading: 6 and 11 readings, 16 sub-steps after each);
// a window stops at its view and one view width ahead, and goes on when scrolled.
TEST_F(E2E, TransientWindowsShareTheirBudgetAndComputeOneViewAhead)
{
    e2enow = 0;  // the fixture's clock, from 0
    ASSERT_EQ(start({write("divider.vsm", DIVIDERFILE)}), 1);
    vopts.sampsperpix = 1;
    passes(2);
    for (int32_t i = 0; i < 4; i++) ASSERT_EQ(openplot(PLOT_TRANS, 1, 0), i);
    passes();
    for (int32_t i = 0; i < 4; i++) EXPECT_EQ(plot[i].numcols, 6 * 16) << i;
    for (int32_t i = 3; i > 0; i--) removeplot(i);
    passes();
    const plottype &p = plot[0];
    EXPECT_EQ(p.numcols, 6 * 16 + 11 * 16);
    passes(20);
    const int32_t w = (int32_t)p.right - (int32_t)p.left;
    EXPECT_EQ(p.numcols, p.firstcol + 2 * w);
    hl_mouse((int32_t)(p.left + p.right) / 2, (int32_t)(p.top + p.bottom) / 2);
    hl_keydown(SC_LSHIFT), hl_keydown(SC_RIGHT);
    passes(30);
    hl_keyup(SC_RIGHT), hl_keyup(SC_LSHIFT);
    passes(20);
    EXPECT_GT(p.firstcol, 100);
    EXPECT_EQ(p.numcols, p.firstcol + 2 * w);
}

// ... and over a Bode window its computed columns: frequency in the axis'
// unit, gain in dB, phase in degrees within (-180, 180], as veltocli ac
// prints them; here the RC low-pass of the examples at its C's node.
TEST_F(E2E, BodeWindowCopiesItsColumnsAsCsv)
{
    std::string t = tcread(VELTO_SOURCE_DIR "/examples/rclowpass.vsm");  // its pulse a 1 V source, the Bode input
    t.replace(t.find("PULSE(0;1;0.001;0.0001;0.0001;0.004;0.01)"), 41, "1");
    t.replace(t.find("Ibodewire,-1"), 12, "Ibodewire,0 ");
    ASSERT_EQ(start({write("rc.vsm", t)}), 1);
    int32_t b = openplot(PLOT_BODE, 2, 0);
    ASSERT_GE(b, 0);
    ASSERT_EQ(swept(), 1);
    const plottype &p = plot[b];
    std::string head;
    const auto rows = tccsv(copyfrom(p), &head);
    EXPECT_EQ(head, "freq,gain_db,phase_deg");
    for (size_t c = 0; c < rows.size(); c++) {
        const double x = rows[c][0] * 1e-3;  // omega RC, the axis in rad/s
        EXPECT_GT(rows[c][0], c ? rows[c - 1][0] : 0);
        EXPECT_NEAR(rows[c][1], -10 * log10(1 + x * x), 1e-6) << c;
        EXPECT_NEAR(rows[c][2], -atan(x) * 180 / M_PI, 1e-6) << c;
    }
    EXPECT_EQ((int32_t)rows.size(), (int32_t)(p.right - p.left) - BODEMARGIN);
}
