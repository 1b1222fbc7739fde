// test_editing.cpp: undo and redo, the circuit clipboard, deleting a
// selection and live tuning, end to end through the real main loop on the
// headless frame, checked on the circuit's own text.
#include <math.h>
#include "tests/e2e.h"

namespace {

struct Editing : Drawing {
    void ctrl(int32_t scan, int32_t mods = 0) { hl_key(scan, 0, KEYCTRL | mods), hl_pass(); }
    // an R from (112, 112) to (240, 112), a C down to ground at (240, 240)
    void drawrc(void) {
        at(112, 112, "r"), at(240, 112, "c"), at(240, 240, "\\");
        settle();
    }
};

// wire w's value text and the value it reads as
void setvalue(int32_t w, const char *text) { wiresetnumst(w, text), wire[w].value = valueat0(text), recalc = 3; }

// a value of wire w as the wheel leaves it: notches with Shift held over its symbol
std::string tuned(E2E &t, int32_t x, int32_t y, int32_t notches)
{
    hl_mouse(x, y), hl_pass(), hl_keydown(SC_LSHIFT), hl_pass(), hl_wheel(notches), hl_pass(), hl_keyup(SC_LSHIFT);
    t.settle();
    return wire[findwire(x, y)].numst;
}

}  // namespace

// Random edits as a user makes them (elements drawn, keys over wires, typing,
// drags, the op-amp, cut and paste), then every step undone: the circuit is
// as it started; then every step redone: as it ended.
TEST_F(Editing, UndoingEverythingAndRedoingItComeBackExactly)
{
    srand(11);
    static double now;
    plotclock = [] { return now += 0.001; };  // a window computes 160 sub-steps a pass
    const char *keys[] = {"r", "c", "l", "v", "i", "s", "x", " ", "\r", "\b", "d", "n", "o", "b", "4", "7",
                          "/", "\\", "e", "1"};
    for (int32_t round = 0; round < 3; round++) {
        const std::string start = circuittext();
        const int32_t earlier = undocount();
        for (int32_t a = 0; a < 60; a++) {
            const int32_t x = 48 + 32 * (rand() % 18), y = 48 + 32 * (rand() % 14), r = rand() % 10;
            if (r < 6) at(x, y, keys[rand() % 20]);
            else if (r < 8) hl_mouse(x, y), hl_pass(), hl_button(1), hl_pass(), at(x + 64, y + 32), hl_button(0), hl_pass();
            else if (r == 8) ctrl(SC_C), at(x, y), ctrl(SC_V);
            else at(x, y), ctrl(SC_DELETE);
        }
        at(780, 580, "\b");  // nothing left in progress
        settle();
        const std::string end = circuittext();
        const int32_t steps = undocount() - earlier;
        ASSERT_GT(steps, 3);
        for (int32_t i = 0; i < steps; i++) ctrl(SC_Z);
        settle();
        EXPECT_EQ(circuittext(), start) << "round " << round;
        EXPECT_EQ(redocount(), steps);
        for (int32_t i = 0; i < steps; i++) ctrl(i & 1 ? SC_Y : SC_Z, i & 1 ? 0 : KEYSHIFT);
        settle();
        EXPECT_EQ(circuittext(), end) << "round " << round;
    }
}

// Undo and redo change the circuit only: the file name is the one last
// opened or saved, the unsaved mark compares with what that file holds, and
// Save As proposes the circuit's own file.
TEST_F(Editing, UndoKeepsTheFileLastOpenedOrSaved)
{
    const std::string a = write("a.vsm", DIVIDERFILE), b = path("b.vsm");
    hl_answer_file(a.c_str());
    hl_key(SC_L, 'l', KEYCTRL), settle();
    ASSERT_EQ(std::string(curfilename), a);
    setvalue(1, "2000"), settle();
    hl_answer_file(b.c_str());
    ctrl(SC_S, KEYSHIFT), settle();  // Save As
    EXPECT_EQ(std::string(hl_lastname()), a);
    ASSERT_EQ(std::string(curfilename), b);
    setvalue(1, "3000"), settle();
    ctrl(SC_Z), settle();  // the circuit as saved in b.vsm
    EXPECT_EQ(std::string(curfilename), b);
    EXPECT_STREQ(hl_title(), "b.vsm - VELTO");
    ctrl(SC_Z), settle();  // as a.vsm holds it, still named b.vsm
    EXPECT_STREQ(hl_title(), "*b.vsm - VELTO");
    menusavevsm(0), settle();
    EXPECT_EQ(read("a.vsm"), DIVIDERFILE);
    EXPECT_EQ(read("b.vsm"), DIVIDERFILE);
    ctrl(SC_Z), settle();  // before the Open: an empty circuit, still in b.vsm's name
    EXPECT_EQ(numwires, 0);
    EXPECT_EQ(std::string(curfilename), b);
    EXPECT_EQ(circuitdirty, 1);
    ctrl(SC_Y), settle();
    EXPECT_EQ(circuitdirty, 0);
}

// A window keeps the wire or node it probed across undo and redo of a
// deletion that moved that wire; a window whose probe is gone closes.
TEST_F(Editing, WindowsKeepTheirProbesAcrossUndo)
{
    drawrc();
    at(240, 240, "r"), at(400, 240, "\\"), settle();  // a third wire, the last
    ASSERT_EQ(numwires, 3);
    const int32_t last = 2;
    hl_mouse(320, 240), hl_pass(), hl_button(2), hl_pass(), hl_button(0), settle();  // right click
    ASSERT_EQ(numplots, 1);
    ASSERT_EQ(plot[0].plotwire, last);
    ibodewire = last;
    ASSERT_EQ(openplot(PLOT_BODE, 1, 1), 1);  // and a Bode window whose input is the last wire
    at(176, 112, "d"), settle();  // wire 0 goes; the last moves into its place
    ASSERT_EQ(plot[0].plotwire, 0);
    ASSERT_EQ(plot[1].inwire, 0);
    ctrl(SC_Z), settle();
    ASSERT_EQ(numplots, 2);
    EXPECT_EQ(plot[0].plotwire, last);
    EXPECT_EQ(plot[1].inwire, last);
    EXPECT_EQ(wire[last].element, 'R');
    ctrl(SC_Y), settle();
    EXPECT_EQ(plot[0].plotwire, 0);
    ctrl(SC_Z), ctrl(SC_Z), settle();  // before the third wire was drawn
    EXPECT_EQ(numplots, 0);
}

// The re-solves after undoing or redoing an edit of the structure take the
// elimination kept of the structure before instead of eliminating afresh.
TEST_F(Editing, UndoAndRedoOfAnElementTakeTheEliminationBefore)
{
    ASSERT_EQ(loadcircuit(VELTO_SOURCE_DIR "/examples/rclowpass.vsm", 0), 1);
    settle();
    ASSERT_EQ(numwires, 3);
    ASSERT_EQ(matbad, 0);
    auto full = [&](int32_t scan, int32_t mods) {  // full eliminations in the passes after the key
        ctrl(scan, mods);
        int32_t n = 0;
        for (uint32_t k = 0, seen = buildcount; k < 8 && passes(); k++)
            if (buildcount != seen) seen = buildcount, n += solvehow == SOLVEFULL;
        return n;
    };
    at(432, 176, "d"), settle();  // the capacitor deleted: a new structure
    ASSERT_EQ(numwires, 2);
    EXPECT_EQ(full(SC_Z, 0), 0);
    EXPECT_EQ(numwires, 3);
    EXPECT_EQ(full(SC_Y, 0), 0);
    EXPECT_EQ(numwires, 2);
}

// The history keeps its memory bound: with circuits of about 1 MB a change,
// the oldest steps go.
TEST_F(Editing, HistoryDropsTheOldestStepsBeyondItsMemory)
{
    const std::string pad(640, '7');
    for (int32_t i = 0; i < 1500; i++) putnode(16 + 32 * (i % 80), 16 + 32 * (i / 80), i == 0, 0);
    for (int32_t i = 1; i < 1500; i++) tcwire(i - 1, i, 'R', ("1000+0*" + pad).c_str());
    recalc = 3;
    settle();
    undoreset();
    size_t one;
    free(vsmtext(&one));
    for (int32_t k = 0; k < 100; k++) {
        node[k % 1000 + 1].x += 32, recalc = 3;  // one change a pass
        passes();
    }
    const int32_t fits = (int32_t)(((size_t)64 << 20) / one);  // steps of this size 64 MB hold
    EXPECT_LT(fits, 100);
    EXPECT_LE(undocount(), fits);
    EXPECT_GE(undocount(), fits - 2);
}

// === the clipboard ===

TEST_F(Editing, CopyPasteCutAndDeleteTheSelection)
{
    drawrc();
    const std::string orig = circuittext();
    hl_key(SC_A, 'a', KEYCTRL), hl_pass();  // select all
    ctrl(SC_C);
    at(400, 304), ctrl(SC_V), settle();
    ASSERT_EQ(numnodes, 6);
    ASSERT_EQ(numwires, 4);
    for (int32_t w = 0; w < 2; w++) {  // the copies: same letters and values, new nodes
        EXPECT_EQ(wire[w + 2].element, wire[w].element);
        EXPECT_STREQ(wire[w + 2].numst, wire[w].numst);
        EXPECT_EQ(wire[w + 2].node1, wire[w].node1 + 3);
        EXPECT_EQ(node[wire[w + 2].node1].x - node[wire[w].node1].x, 400 - 112);
    }
    for (int32_t n = 0; n < 6; n++) EXPECT_EQ(node[n].selected, n >= 3) << n;  // exactly the pasted
    EXPECT_EQ(node[5].isgrounded, 1);
    ctrl(SC_X), settle();  // cut them again
    EXPECT_EQ(circuittext(), orig);
    at(600, 500), ctrl(SC_V), settle();
    EXPECT_EQ(numwires, 4);
    at(40, 560), ctrl(SC_DELETE), settle();  // nothing under the mouse: the selection goes
    EXPECT_EQ(circuittext(), orig);
    hl_clipboard_set("NumNodes,2\r\n0,16,16,1\r\n1,80,16,0\r\nNumWires,3\r\n"
                     "0,1,1,V,5,0,\r\n1,0,1,R,1,1,\r\n2,1,0,E,2,1,\r\n");  // V joins node 1 to itself
    const int32_t msgs = hl_msgcount();
    at(400, 400), ctrl(SC_V), settle();
    ASSERT_EQ(numwires, 4);
    EXPECT_EQ(wire[3].depwire, 2);  // still the R
    EXPECT_EQ(hl_msgcount(), msgs + 1);
    EXPECT_STREQ(hl_lastmsg(), "circuit file repaired: 1 items fixed");
}

// === the wheel ===

TEST_F(Editing, ShiftWheelTunesPlainNumbersThroughTheirSeries)
{
    at(112, 112, "r"), at(432, 112, "\\");
    settle();
    ASSERT_GE(findwire(272, 112), 0);
    setvalue(findwire(272, 112), "4.7E3");
    settle();
    const int32_t before = undocount();
    EXPECT_EQ(tuned(*this, 272, 112, 1), "5600");
    EXPECT_EQ(tuned(*this, 272, 112, -2), "3900");
    at(600, 560), settle();  // the run ends as the mouse leaves the element
    EXPECT_EQ(undocount(), before + 1);  // one run on one element, one step
    setvalue(findwire(272, 112), "SIN(0;1;50;0;0)");
    settle();
    const int32_t beeps = hl_beeps();
    EXPECT_EQ(tuned(*this, 272, 112, 1), "SIN(0;1;50;0;0)");
    EXPECT_EQ(hl_beeps(), beeps + 1);
    const struct { double v; int32_t dir; char e; double want; } steps[] = {
        {4700, 1, 'R', 5600}, {5000, 1, 'C', 5600}, {5000, -1, 'C', 4700}, {8.2e-6, 1, 'L', 1e-5},
        {1, 1, 'V', 2}, {2, 1, 'I', 5}, {5, 1, 'E', 10}, {-5, 1, 'G', -10}, {0.1, -1, 'H', 0.05}, {0, 1, 'F', 1},
    };
    for (auto s : steps) EXPECT_NEAR(tunestep(s.v, s.dir, s.e), s.want, 1e-12 * fabs(s.want)) << s.v << s.e;
}

// An edit and its undo compute the plot windows again in the views they had:
// a zoomed Bode window keeps its ranges and phase offset while its curve
// follows the value; a scrolled transient keeps its scroll and scales.
TEST_F(Editing, WindowsKeepTheirViewsAcrossAnEditAndItsUndo)
{
    at(112, 240, "v"), at(112, 112, "r"), at(240, 112, "c"), at(240, 240, "\\"), settle();
    node[0].isgrounded = 1, recalc = 3, settle();  // the source's foot on ground too: V, R, C in a loop
    ASSERT_EQ(matbad, SOLVED);
    const int32_t v = findwire(112, 176), r = findwire(176, 112), c = findwire(240, 176);
    ASSERT_TRUE(v >= 0 && r >= 0 && c >= 0);
    setvalue(r, "1000"), setvalue(c, "1E-6"), vopts.autoyscale = 0;
    ibodewire = v, ibodeflip = 0;
    const int32_t b = openplot(PLOT_BODE, c, 1), t = openplot(PLOT_TRANS, c, 1);
    ASSERT_TRUE(b >= 0 && t >= 0);
    settle();
    plottype &bw = plot[b], &tw = plot[t];
    bw.lfreqlo = 1, bw.lfreqhi = 5, bw.dblo = -30, bw.dbhi = 6, bw.phaseoffs = 0x1234, bodeclear(&bw);
    tw.xoffset = 40, tw.firstcol = 40, tw.yscale = 2, tw.yoffset = 30, settle(), swept();
    const int32_t col = (int32_t)(bw.right - bw.left) / 2;  // 1 kHz or so: past the corner
    ASSERT_TRUE(bw.colmin && bw.colmax[col] != -1.0);  // computed
    const double gain = bw.colmin[col];
    auto kept = [&](const char *when) {
        const std::vector<double> view = {bw.lfreqlo, bw.lfreqhi, bw.dblo, bw.dbhi, (double)bw.phaseoffs,
                                          (double)tw.firstcol, tw.xoffset, tw.yscale, tw.yoffset};
        EXPECT_EQ(view, std::vector<double>({1, 5, -30, 6, 0x1234, 40, 40, 2, 30})) << when;
    };
    kept("before");
    EXPECT_EQ(tuned(*this, 176, 112, 1), "1200");
    swept(), kept("after the edit");
    EXPECT_NE(bw.colmin[col], gain) << "the curve follows the value";
    at(176, 400), settle(), ctrl(SC_Z), settle();  // the run ends; undo over the schematic
    EXPECT_EQ(std::string(wire[r].numst), "1000");
    swept(), kept("after the undo");
    EXPECT_EQ(bw.colmin[col], gain);
}

// Undo, redo and paste keep a value text as typed, even one the normaliser refuses.
TEST_F(Editing, UndoRedoAndPasteKeepAValueTextAsTyped)
{
    at(112, 112, "v"), at(240, 112, "\\"), settle();  // a source down to ground
    ASSERT_EQ(numwires, 1);
    at(176, 112, "(2"), at(600, 500), settle();
    ASSERT_STREQ(wire[0].numst, "(2");
    at(176, 112, "r"), settle();
    ctrl(SC_Z), settle();
    EXPECT_STREQ(wire[0].numst, "(2");
    EXPECT_EQ(wire[0].value, 2.0);
    ctrl(SC_Y), ctrl(SC_Z), settle();
    EXPECT_STREQ(wire[0].numst, "(2");
    selectall(), ctrl(SC_C), at(400, 300), ctrl(SC_V), settle();
    ASSERT_EQ(numwires, 2);
    EXPECT_STREQ(wire[1].numst, "(2");
}
