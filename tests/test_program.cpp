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
