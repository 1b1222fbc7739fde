// test_program.cpp: the program end to end on the headless frame: start-up
// with a circuit, the re-solve reaching the display values, and the
// unsaved-changes question on quit, New and Open.
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

TEST_F(E2E, RetriesTheNameWithVsmAndReportsWhatCannotBeLoaded)
{
    write("divider.vsm", DIVIDERFILE);
    ASSERT_EQ(start({path("divider")}), 1);
    EXPECT_EQ(numwires, 2);
    EXPECT_EQ(hl_msgcount(), 0);
    stop();
    hl_reset();
    write("picture.png", std::string("\x89PNG\r\n\x1a\n", 8));
    ASSERT_EQ(start({path("picture.png")}), 1);
    EXPECT_EQ(numwires, 0);
    EXPECT_EQ(std::string(hl_lastmsg()), "'" + path("picture.png") + "' is not a circuit file");
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

TEST_F(E2E, OptionsAreNeverCircuitNames)
{
    const struct { std::vector<std::string> args; int32_t code; } cases[] = {
        {{"--help"}, 0}, {{"--version"}, 0}, {{"--scale", "9"}, 2}, {{"--scale"}, 2}, {{"--bogus", "x.vsm"}, 2},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(start(c.args), 0) << c.args[0];
        EXPECT_EQ(exitcode, c.code) << c.args[0];
    }
}

// At --scale 2 the window shows every pixel 2 x 2: the mouse at window pixel
// (2x, 2y) is at buffer pixel (x, y), over the node drawn there, and a
// window resized to 1000 x 700 holds a 500 x 350 buffer.
TEST_F(E2E, ScaledWindowMapsTheMouseBackExactly)
{
    const std::string f = write("divider.vsm", DIVIDERFILE);
    ASSERT_EQ(start({"--scale", "2", f}), 1);
    EXPECT_EQ(pixscale, 2);
    hl_mouse(2 * 240 + 1, 2 * 80 + 1), hl_pass(), hl_mouse(2 * 250, 2 * 84);
    passes(2);
    EXPECT_EQ(mousx, 250);
    EXPECT_EQ(mousy, 84);
    EXPECT_EQ(frmousx, 10);  // the motion of the last pass, in buffer pixels
    EXPECT_EQ(findnode(mousx, mousy), 1);
    hl_resize(1000, 700);
    settle();
    EXPECT_EQ(gdd.x, 500);
    EXPECT_EQ(gdd.y, 350);
}

// A node nothing ties to ground: the sentence at the top of the window, the
// node blinking red around its circle, and back to normal once grounded.
TEST_F(E2E, AnUnsolvableCircuitSaysWhyOnTheSchematic)
{
    std::string f = DIVIDERFILE;
    f.replace(f.find("NumNodes,2"), 10, "NumNodes,3");
    f.replace(f.find("1,240,80,0\r\n"), 12, "1,240,80,0\r\n2,400,240,0\r\n");
    ASSERT_EQ(start({write("floating.vsm", f)}), 1);
    int32_t red = 0, words = 0;
    for (int32_t k = 0; k < 40; k++) {  // over two blinks
        passes();
        red += countpal(400 - 17, 240 - 17, 400 + 17, 240 + 17, 14) > 0;
        words += countpal(0, 0, 300, 12, 22) > 0;
    }
    EXPECT_EQ(matbad, SOLVENODE);
    EXPECT_STREQ(whytext, "Node 2 floats: nothing ties its voltage to ground");
    EXPECT_GT(red, 5);
    EXPECT_LT(red, 35);
    EXPECT_EQ(words, 40);
    node[2].isgrounded = 1, recalc = 3;
    passes(20);
    EXPECT_EQ(matbad, SOLVED);
    EXPECT_EQ(countpal(400 - 17, 240 - 17, 400 + 17, 240 + 17, 14), 0);
}

// The settings file's uiscale sets the scale (--scale wins); other readers
// of the file ignore a key they do not know.
TEST_F(E2E, StoredScaleAppliesUnlessTheCommandLineSaysOtherwise)
{
    write("velto.ini", "[VELTO]\r\nuiscale=3\r\n");
    ASSERT_EQ(start(), 1);
    EXPECT_EQ(pixscale, 3);
    stop();
    ASSERT_EQ(start({"--scale", "1"}), 1);
    EXPECT_EQ(pixscale, 1);
}

// Settings that cannot be written at the end are not lost silently: there
// is no window left, so the reason goes to stderr.
TEST_F(E2E, SettingsThatCannotBeWrittenSayWhy)
{
    write("blocker", "a file where a folder should be");
    const std::string ini = path("blocker/velto.ini");
    veltoinioverride = ini.c_str();
    ASSERT_EQ(start(), 1);
    vopts.gridmode ^= 1;
    testing::internal::CaptureStderr();
    stop();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("velto: the settings could not be written to " + ini + ": Not a directory"),
              std::string::npos) << err;
}

// Control+C over a transient window copies its computed columns as CSV, the
// columns veltocli tran prints; over a help window its text.
TEST_F(E2E, PlotWindowsCopyTheirDataAsCsv)
{
    ASSERT_EQ(start({write("divider.vsm", DIVIDERFILE)}), 1);
    int32_t t = openplot(PLOT_TRANS, 1, 0);
    ASSERT_GE(t, 0);
    passes(6);
    const plottype &p = plot[t];
    const std::string csv = copyfrom(p);
    ASSERT_EQ(csv.substr(0, 13), "time,min,max\n");
    EXPECT_NE(csv.find("\n0,5,5\n"), std::string::npos) << csv.substr(0, 80);  // t = 0: node 1 at 5 V
    size_t rows = 0;
    for (char c : csv) rows += c == '\n';
    EXPECT_GT(rows, 10u);  // the columns computed by the pass that copied, and a header
    EXPECT_LE(rows, (size_t)p.numcols + 1);
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
    static double now;
    now = 0;
    transclock = [] { return now += 1.0 / 1024; };
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
// unit, gain in dB, phase in degrees, as veltocli ac prints them.
TEST_F(E2E, BodeWindowCopiesItsColumnsAsCsv)
{
    std::string f = DIVIDERFILE;  // the divider's resistor as a capacitor: a current into it
    f.replace(f.find("1,1,0,R,1000,1,"), 15, "1,1,0,C,1E-6,1,");
    f.replace(f.find("Ibodewire,-1"), 12, "Ibodewire,0 ");
    ASSERT_EQ(start({write("rc.vsm", f)}), 1);
    int32_t b = openplot(PLOT_BODE, 1, 1);
    ASSERT_GE(b, 0);
    passes(2);
    const plottype &p = plot[b];
    std::istringstream in(copyfrom(p));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "freq,gain_db,phase_deg");
    int32_t rows = 0;
    double lastf = 0;
    for (double fr, db, deg; std::getline(in, line) && sscanf(line.c_str(), "%lf,%lf,%lf", &fr, &db, &deg) == 3;) {
        EXPECT_GT(fr, lastf);
        EXPECT_NEAR(db, 0, 1e-9);  // the source's voltage across a capacitor in parallel with it
        EXPECT_NEAR(deg, 0, 1e-6);
        lastf = fr, rows++;
    }
    EXPECT_EQ(rows, (int32_t)(p.right - p.left) - BODEMARGIN);
}
