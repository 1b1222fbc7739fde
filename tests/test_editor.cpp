// test_editor.cpp: the editor end to end on the headless frame, driven as a
// user drives it (mouse moves, typed keys, clicks), checked on the model:
// drawing, editing over a wire, dragging and merging, selection, probes and
// the program's keys. The hit tests and the windows following a renumbering
// are checked on the model alone.
#include <random>
#include "tests/e2e.h"

namespace {

// move there, then type (\r Return, \b, \x1b Escape); no keys: a left click
struct Step { int32_t x, y; const char *keys; };

struct Editor : Drawing {
    void clear() { numnodes = numwires = numplots = 0; }
    void steps(std::initializer_list<Step> ss) {
        for (const Step &s : ss) at(s.x, s.y, s.keys);
        settle();
    }
    // a click where the mouse is: the press in a pass of its own (a right
    // button held while the mouse moves pans), the release in the next
    void click(int32_t mask = 1) {
        hl_pass(), hl_button(mask), hl_pass(), hl_button(0);
        settle();
    }
    // the left button down at (x0, y0), up at (x1, y1)
    void drag(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        hl_mouse(x0, y0), hl_pass(), hl_button(1), hl_pass(), hl_mouse(x1, y1), hl_pass(), hl_button(0);
        settle();
    }
};

}  // namespace

// === drawing ===

TEST_F(Editor, DrawingStateMachine)
{
    struct { std::vector<Step> ss; const char *nodes, *wires; int32_t drawing; } cases[] = {
        {{{112, 112, "r"}, {300, 100, "c"}, {304, 304, "\r"}},  // snapped to cell centres
         "112,112g 304,112 304,304", "R0-1=1/1 C1-2=1/1", 0},
        {{{112, 112, "r"}, {304, 112, " "}}, "112,112g 304,112", "R0-1=1/1", 1},  // Space goes on
        {{{112, 112, "r"}, {304, 112, " "}, {304, 304, " "}, {112, 112, " "}},     // and stops on a node
         "112,112g 304,112 304,304", "R0-1=1/1 T1-2=1/1 T2-0=1/1", 0},
        {{{112, 112, "\\"}, {304, 112, "\\"}}, "112,112g 304,112g", "T0-1=1/1", 0},
        {{{112, 112, "\\"}, {304, 112, "\\"}, {304, 112, "\\"}}, "112,112g 304,112", "T0-1=1/1", 0},
        {{{112, 112, "r"}, {304, 112, "l"}, {496, 496, "\b"}}, "112,112g 304,112", "R0-1=1/1", 0},
        {{{112, 112, "l"}, {496, 496, "\x1b"}}, "", "", 0},  // an unused start node goes
        {{{112, 112, "v"}, {112, 112, "\r"}}, "", "", 0},    // ended on its start: nothing
        {{{112, 112, "v"}, {304, 112, "47\r"}}, "112,112g 304,112", "V0-1=47/47", 0},
        {{{112, 112, "r"}, {304, 112, "4.7e3\r"}}, "112,112g 304,112", "R0-1=4.7E3/4700", 0},  // an exponent
        {{{112, 112, "r"}, {304, 112, "e"}}, "112,112g 304,112", "R0-1=1/1", 1},  // nothing typed: a source
        {{{112, 112, "r"}, {304, 112, "4k7\r"}}, "112,112g 304,112", "R0-1=4K7/4700", 0},  // a kilo
        {{{112, 112, "r"}, {304, 112, "k"}}, "112,112g 304,112", "R0-1=1/1", 1},  // nothing typed: a diode
        {{{112, 112, "k"}, {304, 112, "j"}, {304, 304, "\r"}},  // the defaults of D and N
         "112,112g 304,112 304,304", "D0-1=1E-14/0 N1-2=V/1000/0", 0},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        clear();
        for (const Step &s : c.ss) steps({s});
        EXPECT_EQ(nodes(), c.nodes);
        EXPECT_EQ(wires(), c.wires);
        EXPECT_EQ(drawwiremode, c.drawing);
        if (drawwiremode) steps({{0, 0, "\x1b"}});
    }
    clear();
    steps({{112, 112, "l"}});
    click(2);  // a right click cancels too
    EXPECT_EQ(numnodes + numwires + drawwiremode, 0);
}

// Over a resistor from (112, 112) to (432, 112), symbol at (272, 112): the
// same letter flips, another renames, typing replaces the value, "/" clears
// it and a value left empty gets the default when the mouse leaves. A wire
// being drawn ends on the wire where it is clicked, splitting it.
TEST_F(Editor, KeysOverAWire)
{
    struct { char e; std::vector<Step> ss; const char *wires; } cases[] = {
        {'R', {{176, 112, "r"}}, "R1-0=22/22"},
        {'R', {{176, 112, "c"}}, "C0-1=22/22"},
        {'R', {{176, 112, "k"}}, "D0-1=1E-14/0"},  // into or out of D and N: the new default
        {'D', {{176, 112, "j"}}, "N0-1=V/1000/0"},
        {'N', {{176, 112, "r"}}, "R0-1=1/1"},
        {'D', {{176, 112, "k"}}, "D1-0=22/22"},
        {'R', {{272, 112, "4k7"}}, "R0-1=4K7/4700"},
        {'S', {{176, 112, "S"}}, "S0-1=22/22 d-1"},  // a switch inverts
        {'R', {{272, 112, "47"}}, "R0-1=47/47"},
        {'R', {{272, 112, "1e3"}}, "R0-1=1E3/1000"},
        {'R', {{272, 112, "47/"}, {600, 400, ""}}, "R0-1=1/1"},
        {'S', {{272, 112, "/"}, {600, 400, ""}}, "S0-1=0/0"},
        {'R', {{272, 112, "\b"}}, "R0-1=2/2"},
        {'R', {{176, 112, "n"}}, "T0-2=1/1 R2-1=22/22"},
        {'R', {{176, 112, "d"}}, ""},
        {'R', {{176, 304, "v"}, {176, 112, nullptr}}, "T0-3=1/1 V2-3=1/1 R3-1=22/22"},  // a click ends it there
        {'R', {{176, 304, "l"}, {176, 112, "c"}}, "R0-1=22/22"},  // while drawing: a beep only
    };
    for (auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        clear();
        addwire(112, 112, 432, 112, c.e, "22", 1);
        passes();
        int32_t beeps = hl_beeps();
        for (const Step &s : c.ss) s.keys ? steps({s}) : (steps({{s.x, s.y, ""}}), click());
        EXPECT_EQ(wires(), c.wires);
        EXPECT_EQ(hl_beeps() - beeps, drawwiremode);
        steps({{600, 400, drawwiremode ? "\x1b" : ""}});  // typing ends when the mouse leaves
    }
    std::string many(130, '1');
    steps({{272, 112, many.c_str()}});
    EXPECT_EQ(strlen(wire[0].numst), 127u);
}

// === dragging and selecting ===

// A dropped node within 24 world units of another merges into it; a wire
// that then joins a node to itself goes.
TEST_F(Editor, DroppedNodeMergesWithin24AndItsSelfWireGoes)
{
    struct { int32_t dropx; const char *nodes, *wires; } cases[] = {
        {132, "112,112 304,304", "C0-1=1/1"}, {142, "112,112 142,112 304,304", "R0-1=1/1 C1-2=1/1"}};
    vopts.gridmode = 0;
    for (auto &c : cases) {
        clear();
        addwire(112, 112, 304, 112, 'R'), addwire(304, 112, 304, 304, 'C');
        passes();
        drag(304, 112, c.dropx, 112);
        EXPECT_EQ(nodes(), c.nodes);
        EXPECT_EQ(wires(), c.wires);
    }
}

TEST_F(Editor, RectangleSelectsControlATogglesAndSelectedNodesMoveTogether)
{
    vopts.gridmode = 0;
    putnode(100, 100, 0, 0), putnode(200, 100, 0, 0), putnode(400, 400, 0, 0);
    passes();
    drag(80, 80, 220, 120);
    EXPECT_EQ(nodes(), "100,100s 200,100s 400,400");
    drag(200, 100, 210, 150);
    EXPECT_EQ(nodes(), "110,150s 210,150s 400,400");
    const char *want[] = {"110,150s 210,150s 400,400s", "110,150 210,150 400,400", "110,150s 210,150s 400,400s"};
    for (const char *w : want) {
        hl_key(SC_A, 'a', KEYCTRL);
        settle();
        EXPECT_EQ(nodes(), w);
    }
}

// === plot windows ===

// A probe closes the window with its identity; the Bode input makes Bode
// probes, whose sense is negated when the input is flipped.
TEST_F(Editor, ProbesCloseTheMatchingWindow)
{
    enum { RIGHT, CTRLLEFT, LEFT };
    struct { int32_t bode, flip, kind, pw, ps, x, how, closes; } cases[] = {
        {-1, 0, PLOT_TRANS, 1, 0, 432, RIGHT, 1},   // node probe
        {-1, 0, PLOT_TRANS, 0, 1, 176, LEFT, 1},    // wire, node1 half, away from the symbol
        {-1, 0, PLOT_TRANS, 0, -1, 368, CTRLLEFT, 1},
        {-1, 0, PLOT_TRANS, 0, -1, 176, RIGHT, 0},  // the other half
        {-1, 0, PLOT_BODE, 0, 1, 176, RIGHT, 0},    // no Bode input: transient
        {0, 0, PLOT_BODE, 0, 1, 176, RIGHT, 1},
        {0, 1, PLOT_BODE, 0, -1, 176, RIGHT, 1},    // a flipped input negates
        {0, 1, PLOT_BODE, 0, 1, 176, RIGHT, 0},
        {-1, 0, PLOT_TRANS, 0, 1, 272, LEFT, 0},    // a left click on the symbol
    };
    for (auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        clear();
        addwire(112, 112, 432, 112, 'R', "1", 1);
        ibodewire = c.bode, ibodeflip = c.flip;
        addplot(PLOT_MATRIX, 0, 0), addplot(c.kind, c.pw, c.ps, c.bode, c.flip);
        steps({{c.x, 112, ""}});
        if (c.how == CTRLLEFT) hl_keydown(SC_LCTRL);
        click(c.how == RIGHT ? 2 : 1);
        hl_keyup(SC_LCTRL);
        const plottype &p = plot[1];
        EXPECT_EQ(numplots >= 2 && p.kind == c.kind && p.plotwire == c.pw && p.plotsense == c.ps, !c.closes);
        getstringmode = -1;
    }
    struct { int32_t x, wire, flip; } bkeys[] = {{176, 0, 1}, {368, 0, 0}, {600, -1, 0}};
    for (auto &b : bkeys) {
        steps({{b.x, 112, "b"}});
        EXPECT_EQ(ibodewire * 2 + ibodeflip, b.wire * 2 + b.flip) << b.x;
    }
}

// === program-wide keys ===

TEST_F(Editor, ProgramKeysReachTheirCommands)
{
    int32_t grid = vopts.gridmode, inv = vopts.palinverted;
    steps({{600, 500, "=`"}});
    hl_key(SC_M, 'm', KEYCOMMAND), hl_key(SC_ESCAPE, 27, 0);
    settle();
    EXPECT_EQ(vopts.gridmode, !grid);
    EXPECT_EQ(vopts.palinverted, !inv);
    EXPECT_EQ(hl_minimized(), 1);
    EXPECT_EQ(menusel, 0);  // Escape opens the menu
    menusel = -1;
    hl_key(SC_Q, 'q', KEYCTRL);  // Control+Q stands for Command+Q
    EXPECT_EQ(passes(2), 0);     // quits: nothing unsaved to ask about
}

namespace {

// an empty circuit at zoom 1 with nodes at x = 32 * i for each i < n
void fresh(int32_t n = 0)
{
    numnodes = numwires = numplots = 0;
    ibodewire = -1, drawwiremode = 0, curn = curw = -1, curside = 0;
    fsscale = frscale = 1, isxoff = isyoff = 0;
    checknumwires(16), checknumnodes(16);
    for (int32_t i = 0; i < numwiresmax; i++) wirenext[i] = 0;
    for (int32_t i = 0; i < n; i++) putnode(i * 32, 0, 0, 0);
    renumlistener = plotrenumber;
}

struct Editwire : ::testing::Test {
    void TearDown() override { renumlistener = 0; }
};

}  // namespace

TEST_F(Editwire, NodesWithinTruncated24LowestFirstWiresByFootOnSegmentHighestFirst)
{
    fresh();
    putnode(100, 100, 0, 0), putnode(110, 100, 0, 0);
    struct { int32_t sx, sy, want; } nodes[] = {
        {124, 100, 0}, {125, 100, 1}, {135, 100, -1}, {116, 117, 0}, {83, 117, -1}};
    for (auto c : nodes) EXPECT_EQ(findnode(c.sx, c.sy), c.want) << c.sx << "," << c.sy;
    fresh();
    putnode(11, 0, 0, 0);
    fsscale = 1.5f;  // drawn at 16.5: 24.5 away truncates to 24
    EXPECT_EQ(findnode(41, 0), 0);
    EXPECT_EQ(findnode(42, 0), -1);
    fresh();
    putnode(0, 0, 0, 0), putnode(100, 0, 0, 0), putnode(0, 20, 0, 0), putnode(100, 20, 0, 0), putnode(50, 50, 0, 0);
    tcwire(0, 1, 'R', "1"), tcwire(2, 3, 'R', "1"), tcwire(4, 4, 'R', "1");
    struct { int32_t sx, sy, want; } wires[] = {
        {50, -23, 0}, {50, -24, -1}, {50, 10, 1}, {101, 0, -1}, {-1, 0, -1}, {50, 43, 1}, {50, 44, -1}};
    for (auto c : wires) EXPECT_EQ(findwire(c.sx, c.sy), c.want) << c.sx << "," << c.sy;
    wirenext[1] = 2;  // drawn 24 px up, at y = -4
    EXPECT_EQ(findwire(50, -4), 1);
    EXPECT_EQ(findwire(50, 43), -1);
}

// Windows on a deleted wire or node close, those on the moved last item
// follow it; a Bode window whose input wire goes closes too; a split moves
// the probes of the element's wire along with it.
TEST_F(Editwire, PlotWindowsFollowRenumbering)
{
    fresh(6);
    tcwire(0, 1, 'R', "1"), tcwire(1, 2, 'R', "1"), tcwire(2, 3, 'V', "1"), tcwire(3, 4, 'R', "1"), tcwire(4, 5, 'R', "1");
    addplot(PLOT_TRANS, 1, 1), addplot(PLOT_TRANS, 4, -1), addplot(PLOT_TRANS, 1, 0);
    addplot(PLOT_BODE, 3, 1, 1), addplot(PLOT_MATRIX, 1, 1), addplot(PLOT_BODE, 0, 1, 4);
    deletewire(1);  // wire 4 moves into slot 1
    ASSERT_EQ(numplots, 4);
    int32_t kinds[4], wires[4];
    for (int32_t p = 0; p < 4; p++) kinds[p] = plot[p].kind, wires[p] = plot[p].plotwire;
    EXPECT_EQ(kinds[0], PLOT_MATRIX);  // closed records were filled from the end
    EXPECT_EQ(kinds[1], PLOT_TRANS);
    EXPECT_EQ(wires[1], 1);            // the probe of wire 4 followed it
    EXPECT_EQ(kinds[2], PLOT_TRANS);
    EXPECT_EQ(plot[2].plotsense, 0);
    EXPECT_EQ(kinds[3], PLOT_BODE);
    EXPECT_EQ(plot[3].inwire, 1);      // its input wire 4 is now 1
    numplots = 0;
    addplot(PLOT_TRANS, 0, 1);
    int32_t n = appendnode(16, 64);
    curw = 0, curside = -1;
    splitwire(0, n, -1);
    EXPECT_EQ(plot[0].plotwire, numwires - 1);
}

// An element key or Return zoomed in uses the node at the snapped position, never a new one beside it.
TEST_F(Editor, ElementKeyUsesTheNodeAtItsSnappedPosition)
{
    addwire(208, 144, 400, 144, 'R');
    steps({{200, 150, ""}});
    hl_key(SC_PGUP, 0, 0), settle();  // PgUp
    const int32_t sx = (int32_t)(208 * fsscale) + isxoff + 28, sy = (int32_t)(144 * fsscale) + isyoff + 28;
    steps({{sx, sy, "r"}, {sx, sy + 200, "\r"}});
    EXPECT_EQ(numnodes, 3);
    EXPECT_EQ(wires(), "R0-1=1/1 R0-2=1/1");
    steps({{sx, sy + 200, "c"}, {sx, sy, "\r"}});  // Return ends a wire on it the same way
    EXPECT_EQ(numnodes, 3);
    EXPECT_EQ(wires(), "R0-1=1/1 R0-2=1/1 C2-0=1/1");
}

// === parallel wires ===
// Offsets against their definition, counted out pair by pair: the wire of
// rank r among the n joining its two nodes sits at s (2r + 1 - n), s -1 when
// it runs against the first of them.
TEST_F(Editor, ParallelWiresFanOutByRankInTheirNodePair)
{
    std::mt19937 rng(31);
    for (int32_t it = 0; it < 40; it++) {
        tcclear();
        const int32_t nn = 1 + rng() % 6;
        for (int32_t k = 0; k < nn; k++) tcnode(0);
        for (int32_t k = rng() % 40; k > 0; k--) tcwire(rng() % nn, rng() % nn, 'R', "1");
        calcwirenext();
        for (int32_t i = 0; i < numwires; i++) {
            int32_t first = -1, rank = 0, size = 0;
            for (int32_t j = 0; j < numwires; j++) {
                const wiretype &a = wire[i], &b = wire[j];
                if (!((a.node1 == b.node1 && a.node2 == b.node2) || (a.node1 == b.node2 && a.node2 == b.node1))) continue;
                if (first < 0) first = j;
                rank += j < i, size++;
            }
            const int32_t s = wire[i].node1 == wire[first].node1 ? 1 : -1;
            ASSERT_EQ(wirenext[i], s * (2 * rank + 1 - size)) << it << " wire " << i;
        }
    }
}
