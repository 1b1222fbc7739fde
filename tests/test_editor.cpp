// test_editor.cpp: the editor end to end on the headless frame, driven as a
// user drives it (mouse moves, typed keys, clicks), checked on the model:
// drawing, editing over a wire, dragging and merging, zoom, selection, the
// op-amp, probes and indices that a deletion moved. The parallel-wire
// offsets are checked on the model alone.
#include "circuit/circuit.h"
#include "tests/e2e.h"

namespace {

// move there, then type (\r Return, \b, \x1b Escape); no keys: a left click
struct Step { int32_t x, y; const char *keys; };

// nodes as "x,y" (g grounded, s selected); wires as "R0-1=text/value", " d" and
// the control when it is not the wire itself
std::string nodes()
{
    std::string s;
    for (int32_t i = 0; i < numnodes; i++)
        s += (i ? " " : "") + std::to_string(node[i].x) + "," + std::to_string(node[i].y) +
             (node[i].isgrounded ? "g" : "") + (node[i].selected ? "s" : "");
    return s;
}

std::string wires()
{
    std::string s;
    for (int32_t i = 0; i < numwires; i++) {
        char b[300];
        snprintf(b, sizeof b, "%s%c%d-%d=%s/%g", i ? " " : "", (char)wire[i].element, wire[i].node1,
                 wire[i].node2, wire[i].numst, wire[i].value);
        s += b;
        if (wire[i].depwire != i) s += " d" + std::to_string(wire[i].depwire);
    }
    return s;
}

int32_t addwire(int32_t x0, int32_t y0, int32_t x1, int32_t y1, char e, const char *v = "1", int32_t g = 0)
{
    int32_t a = putnode(x0, y0, g, 0), b = putnode(x1, y1, 0, 0), i = numwires;
    checknumwires(i + 2);
    wire[i].node1 = a, wire[i].node2 = b, wire[i].element = e, wire[i].depwire = i;
    wiresetnumst(i, v), wiresetinitst(i, "");
    wire[i].value = atof(v);
    numwires = i + 1;
    recalc = 3;
    return i;
}

// a window off screen (nothing of it under the mouse) that probes as given;
// a Bode window's input is wire id, or wire 0 when it has none
void addplot(int32_t kind, int32_t probe, int32_t sense, int32_t id = -1, int32_t flip = 0)
{
    plottype &p = plot[numplots];
    plotcalc keep = p;  // the slot's buffers stay with it
    p = plottype{};
    p.colmin = keep.colmin, p.colmax = keep.colmax, p.savestate = keep.savestate;
    p.maxxdim = keep.maxxdim, p.bufcols = keep.bufcols, p.savestatemax = keep.savestatemax;
    p.left = p.right = -1000, p.top = p.bottom = -1000;
    p.kind = kind, p.plotwire = probe, p.plotsense = sense, p.idwire = id, p.idflip = flip;
    p.inwire = id < 0 ? 0 : id;
    plotorder[numplots] = numplots;
    numplots++;
}

struct Editor : E2E {
    void SetUp() override {
        E2E::SetUp();
        ASSERT_EQ(start(), 1);
        vopts.gridmode = 1;
        passes();
    }
    void clear() { numnodes = numwires = numplots = 0; }
    void steps(std::initializer_list<Step> ss) {
        for (const Step &s : ss) hl_mouse(s.x, s.y), hl_type(s.keys), hl_pass();
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

// At zoom 2 a node 40 px away is off the mouse but in its grid cell: the
// element key starts the wire from that node rather than stack a new one on it.
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

// Dragging from a controlled source's symbol chooses its controlling wire;
// its node1 half flips it. A click on the symbol alone keeps the control.
TEST_F(Editor, DragFromControlledSourceChoosesItsControl)
{
    int32_t e = addwire(112, 112, 432, 112, 'E', "2", 1), x = addwire(432, 112, 432, 432, 'X', "0");
    passes();
    struct { int32_t tox, toy, dep; } cases[] = {{432, 208, ~x}, {432, 336, x}, {272, 112, x}};
    for (auto &c : cases) {
        drag(272, 112, c.tox, c.toy);
        EXPECT_EQ(wire[e].depwire, c.dep) << c.toy;
        EXPECT_EQ(getstringmode, -1);
    }
}

// === view ===

TEST_F(Editor, ZoomStopsAtItsLimitsAndKeepsThePointUnderTheMouse)
{
    steps({{200, 150, ""}});
    struct { int32_t scan, ch, times; float scale; } cases[] = {
        {SC_PGUP, 0, 5, 8.f}, {SC_PGDN, 0, 7, 0.125f}, {SC_KPMULTIPLY, '*', 1, 0.25f}, {SC_KPDIVIDE, '/', 2, 0.125f}};
    for (auto &c : cases) {
        float wx = (200 - fsxoff) / fsscale, wy = (150 - fsyoff) / fsscale;
        for (int32_t i = 0; i < c.times; i++) hl_key(c.scan, c.ch, 0);
        settle();
        EXPECT_EQ(fsscale, c.scale);
        EXPECT_EQ(1 << (ilscale + 3), (int32_t)(c.scale * 8));
        EXPECT_NEAR((200 - fsxoff) / fsscale, wx, 1e-3);
        EXPECT_NEAR((150 - fsyoff) / fsscale, wy, 1e-3);
    }
}

// === op-amp ===

TEST_F(Editor, OpampReusesCoincidingNodes)
{
    putnode(304 - 32, 304 + 64, 0, 0), putnode(304 + 96, 304, 0, 0);
    steps({{304, 304, "o"}});
    EXPECT_EQ(nodes(), "272,368 400,304 272,240 304,304g");
    EXPECT_EQ(wires(), "X0-2=0/0 X2-1=0/0 X1-0=0/0 E3-1=1E8/1e+08 d-1");
}

// === indices a deletion moved ===

// A key after a deletion in the same pass acts on what is under the mouse
// now, not on the wire the deletion moved into the old index; deleting the
// dragged node's wire ends the drag.
TEST_F(Editor, KeysAfterADeletionSeeTheCircuitAsItIsNow)
{
    addwire(112, 112, 432, 112, 'V', "5", 1), addwire(112, 432, 432, 432, 'R');
    steps({{176, 112, "dr"}});
    EXPECT_EQ(wires(), "R1-0=1/1");  // its nodes renumbered, its ends not swapped
    EXPECT_EQ(drawwiremode, 1);
    steps({{0, 0, "\x1b"}});
    addwire(112, 112, 432, 112, 'V', "5");
    hl_mouse(432, 112), hl_pass(), hl_button(1), hl_pass();
    hl_type("d"), hl_pass(), hl_mouse(300, 300), hl_pass(), hl_button(0);
    settle();
    EXPECT_EQ(nodes(), "432,432 112,432");
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

TEST_F(Editor, QuoteClosesTheHighestMatrixWindowAndNoNinthOpens)
{
    putnode(16, 16, 0, 0), putnode(208, 208, 0, 0);  // node 0 is what the windows probe
    addplot(PLOT_MATRIX, 0, 0), addplot(PLOT_TRANS, 0, 0), addplot(PLOT_MATRIX, 0, 0);
    plot[2].scrollx = 7;
    steps({{600, 500, "'"}});
    ASSERT_EQ(numplots, 2);
    EXPECT_EQ(plot[0].scrollx, 0);
    for (numplots = 0; numplots < MAXPLOTS;) addplot(PLOT_TRANS, 0, 0);
    steps({{208, 208, "'"}});
    click(2);  // a probe of node 1 would open a ninth
    EXPECT_EQ(numplots, MAXPLOTS);
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

// === parallel wires ===

TEST(Wirenext, ParallelAndReversedWiresGoToAlternateSides)
{
    struct { std::vector<std::pair<int32_t, int32_t>> ends; std::vector<int32_t> want; } cases[] = {
        {{{0, 1}}, {0}},
        {{{0, 1}, {0, 1}}, {-1, 1}},
        {{{0, 1}, {1, 0}}, {-1, -1}},  // reversed: the same number is the other side
        {{{0, 1}, {1, 2}, {0, 1}, {1, 0}}, {-2, 0, 0, -2}},
        {{{1, 2}, {0, 1}, {2, 1}}, {-1, 0, -1}},
    };
    for (auto &c : cases) {
        numnodes = 3, numwires = 0, drawwiremode = 0;
        checknumnodes(4);
        checknumwires((int32_t)c.ends.size() + 2);
        for (auto &e : c.ends) wire[numwires].node1 = e.first, wire[numwires++].node2 = e.second;
        calcwirenext();
        for (int32_t i = 0; i < numwires; i++) EXPECT_EQ(wirenext[i], c.want[i]) << &c - cases << ":" << i;
    }
}
