// test_editor.cpp: the editor end to end on the headless frame, driven as a
// user drives it: drawing chains, renaming and flipping, typing values over
// a symbol, dragging and merging, zoom, selection, the op-amp, probes and the
// matrix key, indices that a deletion moved, and a drawn circuit saved and
// loaded back. The parallel-wire offsets are checked on the model directly.
#include "circuit/circuit.h"
#include "tests/e2e.h"

namespace {

enum { RETURN = 0x1C, BACKSPACE = 0x0E, ESC = 0x01, PGUP = 0xC9, PGDN = 0xD1, LCTRL = 0x1D };

struct Editor : E2E {
    void SetUp() override {
        E2E::SetUp();
        ASSERT_EQ(start(), 1);
        vopts.gridmode = 1;
        passes();
    }
    void at(int32_t x, int32_t y) { hl_mouse(x, y); }
    void key(int32_t scan, int32_t ch = 0, int32_t mods = 0) { hl_key(scan, ch, mods); }
    // a left (1) or right (2) click where the mouse is: the press in a pass
    // of its own (a right button held with motion would pan), the release in
    // the next
    void click(int32_t mask = 1) {
        hl_pass();
        hl_button(mask), hl_pass();
        hl_button(0), hl_pass();
    }
    void run() { settle(); }
};

// nodes at world = screen (zoom 1, no offset), and wires between them
int32_t addnode(int32_t x, int32_t y, int32_t g = 0) { return putnode(x, y, g, 0); }

int32_t addwire(int32_t a, int32_t b, char e, const char *v = "1", int32_t dep = -100)
{
    int32_t i = numwires;
    checknumwires(i + 2);
    wire[i].node1 = a, wire[i].node2 = b, wire[i].element = e;
    wire[i].depwire = dep == -100 ? i : dep;
    wiresetnumst(i, v), wiresetinitst(i, "");
    wire[i].value = atof(v);
    numwires = i + 1;
    recalc = 3;
    return i;
}

// a wire from a new node at (x0, y0) to a new one at (x1, y1)
int32_t newwire(int32_t x0, int32_t y0, int32_t x1, int32_t y1, char e, const char *v = "1", int32_t g = 0)
{
    int32_t a = addnode(x0, y0, g);
    return addwire(a, addnode(x1, y1), e, v);
}

// a resistor (or letter e) from (112, 112) to (432, 112): symbol at (272, 112)
int32_t oneelement(char e = 'R', const char *v = "1") { return newwire(112, 112, 432, 112, e, v, 1); }

void addplot(int32_t kind, int32_t probe, int32_t sense, int32_t id = -1, int32_t flip = 0)
{
    plottype &p = plot[numplots];
    p.kind = kind, p.plotwire = probe, p.plotsense = sense, p.idwire = p.inwire = id, p.idflip = flip;
    plotorder[numplots] = numplots;
    numplots++;
}

}  // namespace

// === drawing ===

TEST_F(Editor, ElementKeysDrawAChainFromAGroundedFirstNode)
{
    at(112, 112), hl_type("r"), hl_pass();
    at(300, 100), hl_type("c"), hl_pass();  // snapped to the cell centre (304, 112)
    at(304, 304), key(RETURN, 13);
    run();
    ASSERT_EQ(numnodes, 3);
    ASSERT_EQ(numwires, 2);
    EXPECT_EQ(drawwiremode, 0);
    struct { int32_t x, y, g; } nodes[] = {{112, 112, 1}, {304, 112, 0}, {304, 304, 0}};
    for (int32_t i = 0; i < 3; i++) {
        EXPECT_EQ(node[i].x, nodes[i].x) << i;
        EXPECT_EQ(node[i].y, nodes[i].y) << i;
        EXPECT_EQ(node[i].isgrounded, nodes[i].g) << i;
    }
    struct { int32_t n1, n2; char e; } wires[] = {{0, 1, 'R'}, {1, 2, 'C'}};
    for (int32_t i = 0; i < 2; i++) {
        EXPECT_EQ(wire[i].node1, wires[i].n1);
        EXPECT_EQ(wire[i].node2, wires[i].n2);
        EXPECT_EQ(wire[i].element, wires[i].e);
        EXPECT_STREQ(wire[i].numst, "1");
        EXPECT_EQ(wire[i].depwire, i);
    }
}

// Space in empty space stamps and goes on with a connection; on an existing
// node it stamps and stops. Back space, Escape and a right click cancel and
// take away a start node nothing uses.
TEST_F(Editor, SpaceContinuesInSpaceStopsOnANodeAndCancelDropsAnUnusedStart)
{
    at(112, 112), hl_type("r"), hl_pass();
    at(304, 112), hl_type(" ");
    run();
    EXPECT_EQ(drawwiremode, 1);
    EXPECT_EQ(numwires, 1);
    EXPECT_EQ(wire[1].element, 'T');
    EXPECT_EQ(wire[1].node1, 1);
    at(304, 304), hl_type(" "), hl_pass();
    at(112, 112), hl_type(" ");
    run();
    EXPECT_EQ(drawwiremode, 0);
    ASSERT_EQ(numwires, 3);
    EXPECT_EQ(wire[2].node1, 2);
    EXPECT_EQ(wire[2].node2, 0);

    struct { const char *how; int32_t scan, ch, button; } cancels[] = {
        {"back space", BACKSPACE, 8, 0}, {"escape", ESC, 27, 0}, {"right click", 0, 0, 2}};
    for (auto c : cancels) {
        SCOPED_TRACE(c.how);
        at(496, 496), hl_type("l"), hl_pass();  // a new start node, used by nothing
        at(560, 560);
        if (c.button) click(c.button);
        else key(c.scan, c.ch);
        run();
        EXPECT_EQ(drawwiremode, 0);
        EXPECT_EQ(numnodes, 3);
        EXPECT_EQ(numwires, 3);
    }
}

// \ grounds: it starts a grounded connection in empty space, stamps and
// grounds the end while drawing, and toggles the ground of a node.
TEST_F(Editor, BackslashGroundsStartEndAndToggles)
{
    at(112, 112), hl_type("\\"), hl_pass();
    at(304, 112), hl_type("\\");
    run();
    ASSERT_EQ(numwires, 1);
    EXPECT_EQ(wire[0].element, 'T');
    EXPECT_EQ(node[0].isgrounded, 1);
    EXPECT_EQ(node[1].isgrounded, 1);
    EXPECT_EQ(drawwiremode, 0);
    hl_type("\\");
    run();
    EXPECT_EQ(node[1].isgrounded, 0);
}

// A wire ended on its own start node would join it to itself: nothing is
// stamped and the unused start goes.
TEST_F(Editor, ReturnOnTheStartNodeStampsNothing)
{
    at(112, 112), hl_type("v"), hl_pass();
    key(RETURN, 13);
    run();
    EXPECT_EQ(numwires, 0);
    EXPECT_EQ(numnodes, 0);
    EXPECT_EQ(drawwiremode, 0);
}

TEST_F(Editor, LeftClickEndsTheWireOnAWireBySplittingIt)
{
    oneelement('R', "5");
    passes();
    at(176, 304), hl_type("v"), hl_pass();
    at(176, 112);  // on the resistor, left of its symbol
    click();
    run();
    ASSERT_EQ(numwires, 3);
    EXPECT_EQ(wire[1].element, 'V');
    int32_t end = wire[1].node2;
    EXPECT_EQ(node[end].x, 176);
    EXPECT_EQ(node[end].y, 112);
    EXPECT_EQ(numplots, 0);  // the click that ended the wire probes nothing
}

// === renaming and flipping ===

TEST_F(Editor, ElementKeyOverAWireFlipsRenamesOrOnlyBeepsWhileDrawing)
{
    struct { char e; const char *keys; char wante; int32_t swapped, dep, beeps; } cases[] = {
        {'R', "r", 'R', 1, 0, 0},   // same letter: ends swapped
        {'R', "c", 'C', 0, 0, 0},   // another letter: renamed
        {'S', "s", 'S', 0, ~0, 0},  // a switch inverts instead
        {'S', "S", 'S', 0, ~0, 0},  // either case
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.keys);
        numnodes = numwires = 0;
        oneelement(c.e);
        passes();
        at(176, 112), hl_type(c.keys);
        run();
        EXPECT_EQ(wire[0].element, c.wante);
        EXPECT_EQ(wire[0].node1, c.swapped ? 1 : 0);
        EXPECT_EQ(wire[0].depwire, c.dep);
    }
    numnodes = numwires = 0;
    oneelement();
    passes();
    at(176, 304), hl_type("l"), hl_pass();
    at(176, 112), hl_type("c");
    run();
    EXPECT_EQ(hl_beeps(), 1);
    EXPECT_EQ(wire[0].element, 'R');
    EXPECT_EQ(drawwiremode, 1);
}

// === typing a value over a symbol ===

TEST_F(Editor, TypingOverTheSymbolReplacesTheValueAndAnEmptyOneGetsTheDefault)
{
    struct { char e; const char *keys; const char *typed; double value; const char *left; } cases[] = {
        {'R', "47", "47", 47, "47"},
        {'R', "1e3", "1E3", 1000, "1E3"},
        {'R', "47/", "", 0, "1"},
        {'S', "/", "", 0, "0"},
        {'C', "(2+3)*2", "(2+3)*2", 10, "(2+3)*2"},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.keys);
        numnodes = numwires = 0;
        oneelement(c.e, "22");
        passes();
        at(272, 112), hl_type(c.keys);
        run();
        EXPECT_STREQ(wire[0].numst, c.typed);
        EXPECT_DOUBLE_EQ(wire[0].value, c.value);
        at(600, 400);
        run();
        EXPECT_STREQ(wire[0].numst, c.left);
        EXPECT_EQ(curtypewire, -1);
    }
}

TEST_F(Editor, BackSpaceTakesTheLastCharacterAndTypingStopsAt127)
{
    oneelement('R', "470");
    passes();
    at(272, 112), key(BACKSPACE, 8);
    run();
    EXPECT_STREQ(wire[0].numst, "47");
    std::string many(130, '1');
    hl_type(many.c_str());
    run();
    EXPECT_EQ(strlen(wire[0].numst), 127u);
}

// === dragging ===

// A dropped node within 24 world units of another merges into it; a wire
// that then joins a node to itself goes.
TEST_F(Editor, DroppedNodeMergesWithin24AndItsSelfWireGoes)
{
    struct { int32_t dropx, nodes, wires; } cases[] = {{112 + 20, 2, 1}, {112 + 30, 3, 2}};
    for (auto c : cases) {
        SCOPED_TRACE(c.dropx);
        numnodes = numwires = 0;
        vopts.gridmode = 0;
        int32_t a = addnode(112, 112), b = addnode(304, 112), d = addnode(304, 304);
        addwire(a, b, 'R'), addwire(b, d, 'C');
        passes();
        at(304, 112), hl_button(1), hl_pass();
        at(c.dropx, 112), hl_pass();
        hl_button(0);
        run();
        EXPECT_EQ(numnodes, c.nodes);
        ASSERT_EQ(numwires, c.wires);
        EXPECT_EQ(wire[numwires - 1].element, 'C');
        EXPECT_EQ(node[wire[numwires - 1].node1].x, c.nodes == 2 ? 112 : c.dropx);
        EXPECT_EQ(grabnode, -1);
    }
}

TEST_F(Editor, SelectedNodesMoveTogetherAndRectangleSelects)
{
    vopts.gridmode = 0;
    addnode(100, 100), addnode(200, 100), addnode(400, 400);
    passes();
    at(80, 80), hl_button(1), hl_pass();  // a rectangle around the first two
    at(220, 120), hl_pass();
    hl_button(0);
    run();
    EXPECT_EQ(node[0].selected + node[1].selected * 2 + node[2].selected * 4, 3);
    at(200, 100), hl_button(1), hl_pass();
    at(210, 150), hl_pass();
    hl_button(0);
    run();
    EXPECT_EQ(node[0].x, 110);
    EXPECT_EQ(node[0].y, 150);
    EXPECT_EQ(node[1].x, 210);
    EXPECT_EQ(node[2].x, 400);
}

TEST_F(Editor, ControlATogglesAllSelected)
{
    addnode(112, 112), addnode(304, 112), addnode(304, 304);
    node[1].selected = 1;
    passes();
    int32_t want[] = {3, 0, 3};
    for (int32_t w : want) {
        key(0x1E, 'a', KEYCTRL);
        run();
        int32_t n = 0;
        for (int32_t i = 0; i < numnodes; i++) n += node[i].selected;
        EXPECT_EQ(n, w);
    }
}

// Dragging from a controlled source's symbol chooses its controlling wire;
// the node1 half flips it. A click on the symbol alone keeps the control.
TEST_F(Editor, DragFromControlledSourceChoosesControlWithFlip)
{
    int32_t a = addnode(112, 112, 1), b = addnode(432, 112), d = addnode(432, 432);
    int32_t e = addwire(a, b, 'E', "2"), x = addwire(b, d, 'X', "0");
    passes();
    struct { int32_t tox, toy; int32_t dep; } cases[] = {
        {432, 208, ~x},  // node1 half of the X wire
        {432, 336, x},   // node2 half
        {272, 112, x},   // a click on the symbol itself changes nothing
    };
    for (auto c : cases) {
        at(272, 112), hl_button(1), hl_pass();
        at(c.tox, c.toy), hl_pass();
        hl_button(0);
        run();
        EXPECT_EQ(wire[e].depwire, c.dep) << c.tox << "," << c.toy;
        EXPECT_EQ(depwiremode, -1);
    }
}

// === view ===

TEST_F(Editor, ZoomStopsAtItsLimitsAndKeepsThePointUnderTheMouse)
{
    at(200, 150), hl_pass();
    struct { int32_t scan, times; float scale; int32_t step; } cases[] = {
        {PGUP, 5, 8.f, 3}, {PGDN, 7, 0.125f, -3}, {0x37, 1, 0.25f, -2}, {0xB5, 2, 0.125f, -3}};
    for (auto c : cases) {
        float wx = (200 - fsxoff) / fsscale, wy = (150 - fsyoff) / fsscale;
        for (int32_t i = 0; i < c.times; i++) key(c.scan, c.scan == 0x37 ? '*' : c.scan == 0xB5 ? '/' : 0);
        run();
        EXPECT_EQ(fsscale, c.scale);
        EXPECT_EQ(ilscale, c.step);
        EXPECT_FLOAT_EQ(frscale, 1 / c.scale);
        EXPECT_NEAR((200 - fsxoff) / fsscale, wx, 1e-3);
        EXPECT_NEAR((150 - fsyoff) / fsscale, wy, 1e-3);
        EXPECT_EQ(isxoff, (int32_t)fsxoff);
    }
}

// === op-amp, insert, delete ===

TEST_F(Editor, OpampReusesCoincidingNodes)
{
    int32_t a = addnode(304 - 32, 304 + 64), q = addnode(304 + 96, 304);
    passes();
    at(304, 304), hl_type("o");
    run();
    ASSERT_EQ(numnodes, 4);
    ASSERT_EQ(numwires, 4);
    int32_t b = wire[0].node2, g = wire[3].node1;
    EXPECT_EQ(node[b].y, 304 - 64);
    EXPECT_EQ(node[g].isgrounded, 1);
    struct { int32_t n1, n2; char e; const char *v; int32_t dep; } want[] = {
        {a, b, 'X', "0", 0}, {b, q, 'X', "0", 1}, {q, a, 'X', "0", 2}, {g, q, 'E', "1E8", ~0}};
    for (int32_t i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(wire[i].node1, want[i].n1);
        EXPECT_EQ(wire[i].node2, want[i].n2);
        EXPECT_EQ(wire[i].element, want[i].e);
        EXPECT_STREQ(wire[i].numst, want[i].v);
        EXPECT_EQ(wire[i].depwire, want[i].dep);
    }
    EXPECT_DOUBLE_EQ(wire[3].value, 1e8);
}

TEST_F(Editor, InsertAndDeleteKeysSplitAndRemoveTheWireUnderTheMouse)
{
    oneelement('R', "5");
    passes();
    struct { int32_t scan, ch; int32_t wires; } cases[] = {
        {0x31, 'n', 2}, {0xD2, 0, 3}, {0xD3, 127, 2}, {0x20, 'd', 1}};
    int32_t xs[] = {176, 208, 208, 144};
    for (int32_t i = 0; i < 4; i++) {
        at(xs[i], 112), key(cases[i].scan, cases[i].ch);
        run();
        EXPECT_EQ(numwires, cases[i].wires) << i;
    }
}

// A key after a deletion in the same pass acts on what is under the mouse
// now, not on the wire the deletion moved into the old index.
TEST_F(Editor, KeyAfterADeletionSeesTheMovedWireWhereItIs)
{
    oneelement('V', "5");
    newwire(112, 432, 432, 432, 'R');
    passes();
    at(176, 112), hl_type("dr");
    run();
    ASSERT_EQ(numwires, 1);
    EXPECT_EQ(wire[0].element, 'R');
    EXPECT_EQ(node[wire[0].node1].x, 112);  // not flipped
    EXPECT_EQ(drawwiremode, 1);             // R in empty space started a wire
}

// Deleting the wire of the dragged node ends the drag; nothing else moves.
TEST_F(Editor, DragEndsWhenItsNodeIsDeleted)
{
    oneelement();
    newwire(112, 432, 432, 432, 'R');
    passes();
    at(432, 112), hl_button(1), hl_pass();
    hl_type("d"), hl_pass();
    at(300, 300), hl_pass();
    hl_button(0);
    run();
    EXPECT_EQ(numwires, 1);
    EXPECT_EQ(numnodes, 2);
    EXPECT_EQ(node[0].y, 432);
    EXPECT_EQ(node[1].y, 432);
}

// === plot windows ===

// A probe closes the window with its identity; the Bode input makes Bode
// probes, whose sense is negated when the input is flipped.
TEST_F(Editor, ProbesCloseTheMatchingWindow)
{
    enum { RIGHT, CTRLLEFT, LEFTONWIRE };
    struct { int32_t bode, flip, kind, pw, ps, x, y, how, closes; } cases[] = {
        {-1, 0, PLOT_TRANS, 1, 0, 432, 112, RIGHT, 1},        // node probe
        {-1, 0, PLOT_TRANS, 0, 1, 176, 112, LEFTONWIRE, 1},   // wire, node1 half
        {-1, 0, PLOT_TRANS, 0, -1, 368, 112, CTRLLEFT, 1},    // wire, node2 half
        {-1, 0, PLOT_TRANS, 0, -1, 176, 112, RIGHT, 0},       // other half
        {-1, 0, PLOT_BODE, 0, 1, 176, 112, RIGHT, 0},         // no Bode input: transient
        {0, 0, PLOT_BODE, 0, 1, 176, 112, RIGHT, 1},
        {0, 1, PLOT_BODE, 0, -1, 176, 112, RIGHT, 1},         // flipped input negates
        {0, 1, PLOT_BODE, 0, 1, 176, 112, RIGHT, 0},
        {-1, 0, PLOT_TRANS, 0, 1, 272, 112, LEFTONWIRE, 0},   // a left click on the symbol
    };
    for (auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        numnodes = numwires = numplots = 0;
        oneelement();
        ibodewire = c.bode, ibodeflip = c.flip;
        addplot(PLOT_MATRIX, 0, 0);
        addplot(c.kind, c.pw, c.ps, c.bode, c.flip);
        passes();
        at(c.x, c.y);
        if (c.how == CTRLLEFT) hl_keydown(LCTRL);
        click(c.how == RIGHT ? 2 : 1);
        hl_keyup(LCTRL);
        run();
        const plottype &p = plot[1];
        int32_t open = numplots >= 2 && p.kind == c.kind && p.plotwire == c.pw && p.plotsense == c.ps;
        EXPECT_EQ(open, !c.closes);
        EXPECT_EQ(plot[0].kind, PLOT_MATRIX);
        getstringmode = -1;
    }
}

TEST_F(Editor, BKeyChoosesTheBodeInputAndItsFlip)
{
    oneelement();
    passes();
    struct { int32_t x, y, wire, flip; } cases[] = {{176, 112, 0, 1}, {368, 112, 0, 0}, {600, 500, -1, 0}};
    for (auto c : cases) {
        at(c.x, c.y), hl_type("b");
        run();
        EXPECT_EQ(ibodewire, c.wire);
        EXPECT_EQ(ibodeflip, c.flip);
    }
}

TEST_F(Editor, QuoteClosesTheHighestMatrixWindow)
{
    addnode(16, 16);  // what the transient windows probe
    addplot(PLOT_MATRIX, 0, 0), addplot(PLOT_TRANS, 0, 0), addplot(PLOT_MATRIX, 0, 0);
    plot[2].scrollx = 7;
    hl_type("'");
    run();
    ASSERT_EQ(numplots, 2);
    EXPECT_EQ(plot[0].kind, PLOT_MATRIX);
    EXPECT_EQ(plot[0].scrollx, 0);
    numplots = MAXPLOTS;  // full: nothing opens
    for (int32_t i = 0; i < MAXPLOTS; i++) plot[i].kind = PLOT_TRANS;
    at(600, 500), click(2), hl_type("'");
    run();
    EXPECT_EQ(numplots, MAXPLOTS);
}

// === program-wide keys ===

TEST_F(Editor, ProgramKeysReachTheirCommands)
{
    struct { int32_t scan, ch, mods; } keys[] = {{0x0D, '=', 0}, {0x29, '`', 0}, {0x32, 'm', KEYCOMMAND}};
    int32_t grid = vopts.gridmode, inv = vopts.palinverted;
    for (auto k : keys) key(k.scan, k.ch, k.mods);
    passes();
    EXPECT_EQ(vopts.gridmode, !grid);
    EXPECT_EQ(vopts.palinverted, !inv);
    EXPECT_EQ(hl_minimized(), 1);
    key(0x01, 27);
    passes();
    EXPECT_EQ(menusel, 0);
    menusel = -1;
    key(0x10, 'q', KEYCTRL);  // Control+Q counts as Command+Q
    EXPECT_EQ(passes(2), 0);   // quits: nothing unsaved to ask about
}

TEST_F(Editor, ControlNAndOpenGoThroughTheFileCommands)
{
    const std::string f = write("divider.vsm", DIVIDERFILE);
    hl_answer_file(f.c_str());
    key(0x18, 'o', KEYCTRL);
    run();
    EXPECT_EQ(numwires, 2);
    hl_answer_yesno(1);
    key(0x31, 'n', KEYCTRL);
    run();
    EXPECT_EQ(numwires, 0);
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
        for (auto &e : c.ends) {
            wire[numwires].node1 = e.first, wire[numwires].node2 = e.second;
            numwires++;
        }
        calcwirenext();
        for (int32_t i = 0; i < numwires; i++) EXPECT_EQ(wirenext[i], c.want[i]) << &c - cases << ":" << i;
    }
}

// === save and load ===

// A circuit drawn with the keys and mouse is what its file holds.
TEST_F(Editor, DrawnCircuitSavesAndLoadsBackUnchanged)
{
    at(112, 112), hl_type("v"), hl_pass();
    at(304, 112), hl_type("r"), hl_pass();
    at(304, 304), hl_type("c"), hl_pass();
    at(112, 304), hl_type("s"), hl_pass();
    at(112, 112), key(RETURN, 13), hl_pass();
    at(208, 112), hl_type("2.2e3"), hl_pass();
    at(496, 304), hl_type("o"), hl_pass();
    at(208, 304), hl_type("b");
    run();
    ASSERT_EQ(numwires, 8);
    std::vector<nodetype> nodes(node, node + numnodes);
    std::vector<wiretype> wires(wire, wire + numwires);
    std::vector<std::string> texts;
    for (auto &w : wires) texts.push_back(std::string(w.numst) + "|" + w.initst);
    int32_t bode = ibodewire, flip = ibodeflip;
    const std::string f = path("drawn.vsm");
    ASSERT_EQ(savevsm(f.c_str()), 1);
    numnodes = numwires = 0, ibodewire = -1;
    ASSERT_EQ(loadvsm(f.c_str()), 1);
    EXPECT_EQ(vsmrepairs, 0);
    ASSERT_EQ(numnodes, (int32_t)nodes.size());
    ASSERT_EQ(numwires, (int32_t)wires.size());
    for (int32_t i = 0; i < numnodes; i++) {
        EXPECT_EQ(node[i].x, nodes[i].x);
        EXPECT_EQ(node[i].y, nodes[i].y);
        EXPECT_EQ(node[i].isgrounded, nodes[i].isgrounded);
    }
    for (int32_t i = 0; i < numwires; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(wire[i].node1, wires[i].node1);
        EXPECT_EQ(wire[i].node2, wires[i].node2);
        EXPECT_EQ(wire[i].element, wires[i].element);
        EXPECT_EQ(wire[i].depwire, wires[i].depwire);
        EXPECT_DOUBLE_EQ(wire[i].value, wires[i].value);
        EXPECT_EQ(std::string(wire[i].numst) + "|" + wire[i].initst, texts[i]);
    }
    EXPECT_EQ(ibodewire, bode);
    EXPECT_EQ(ibodeflip, flip);
    EXPECT_STREQ(wire[0].numst, "2.2E3");
}
