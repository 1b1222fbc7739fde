// The editor's side of the model: hit tests on the screen, inserting a node
// under the mouse and stamping a drawn wire, and the plot windows following
// the model's renumbering.
#include "circuit/circuit.h"
#include "tests/testcircuit.h"
#include "edit/edit.h"
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <string>

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

void addplot(int32_t kind, int32_t probe, int32_t sense, int32_t in = -1)
{
    plottype &p = plot[numplots];
    p.kind = kind, p.plotwire = probe, p.plotsense = sense, p.inwire = p.idwire = in;
    plotorder[numplots] = numplots;
    numplots++;
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

// The split itself is splitwire's (test_circuit); here the wire being drawn
// and its loose end move up past the new wire, and nothing is split without
// a wire alone under the mouse.
TEST_F(Editwire, InsertnodeSplitsUnderTheMouseAndLiftsTheWireBeingDrawn)
{
    fresh();
    putnode(16, 16, 0, 0), putnode(208, 16, 0, 0), putnode(16, 208, 0, 0);
    tcwire(0, 1, 'E', "5", 0);
    wire[1].node1 = 2, wire[1].node2 = 3, wire[1].element = 'C', wire[1].depwire = 1;
    node[3].x = 300;
    drawwiremode = 1, curw = 0, curside = 0, mousexquant = 80, mouseyquant = 16;
    ASSERT_EQ(insertnode(), 1);
    ASSERT_EQ(numwires, 2);
    ASSERT_EQ(numnodes, 4);
    EXPECT_EQ(node[3].x * 1000 + node[3].y, 80 * 1000 + 16);
    EXPECT_EQ(wire[0].node2, 3);
    EXPECT_TRUE(wire[1].node1 == 3 && wire[1].node2 == 1 && wire[1].element == 'T');
    EXPECT_TRUE(wire[2].element == 'C' && wire[2].node1 == 2 && wire[2].node2 == 4);
    EXPECT_EQ(node[4].x, 300);
    curn = 0;
    EXPECT_EQ(insertnode(), 0);
    curn = -1, curw = -1;
    EXPECT_EQ(insertnode(), 0);
    EXPECT_EQ(numwires, 2);
}

TEST_F(Editwire, EndrawiremodeStampsDefaultsAndSplitsOnAWire)
{
    struct { char e; int32_t onnode; const char *num; } cases[] = {
        {'R', 1, "1"}, {'S', 1, "0"}, {'S', 0, "0"}, {'C', 0, "1"}};
    for (auto c : cases) {
        SCOPED_TRACE(std::string(1, c.e) + (c.onnode ? " on a node" : " on a wire"));
        fresh();
        EXPECT_EQ(endrawiremode(), -1);
        putnode(16, 16, 0, 0), putnode(16, 208, 0, 0), putnode(208, 208, 0, 0);
        tcwire(1, 2, 'V', "3");
        ibodewire = 0;
        int32_t p = numwires;
        wire[p].node1 = 0, wire[p].element = c.e, wire[p].depwire = p;
        wiresetnumst(p, ""), wiresetinitst(p, "junk");
        drawwiremode = 1, curside = -1, curn = c.onnode ? 1 : -1, curw = c.onnode ? -1 : 0;
        mousexquant = 112, mouseyquant = 208;
        EXPECT_EQ(endrawiremode(), p);
        EXPECT_EQ(drawwiremode, 0);
        EXPECT_STREQ(wire[p].numst, c.num);
        EXPECT_EQ(wire[p].value, atof(c.num));
        EXPECT_STREQ(wire[p].initst, "");
        EXPECT_EQ(numwires, c.onnode ? 2 : 3);
        EXPECT_EQ(wire[p].node2, c.onnode ? 1 : 3);
        EXPECT_EQ(ibodewire, c.onnode ? 0 : 2);  // the Bode input follows its element
        if (!c.onnode) {
            EXPECT_EQ(wire[0].node2, 3);
        }
    }
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

TEST_F(Editwire, RemoveplotKeepsStackingOrderAndParksTheRecord)
{
    double bufs[3];
    numplots = 0;
    for (int32_t i = 0; i < 3; i++) addplot(PLOT_TRANS, 10 + i, 0), plot[i].colmin = &bufs[i];
    plotorder[0] = 2, plotorder[1] = 0, plotorder[2] = 1;
    removeplot(0);
    ASSERT_EQ(numplots, 2);
    EXPECT_EQ(plot[0].plotwire, 12);
    EXPECT_EQ(plot[2].colmin, &bufs[0]);
    EXPECT_EQ(plotorder[0], 0);
    EXPECT_EQ(plotorder[1], 1);
    removeplot(1), removeplot(5);
    EXPECT_EQ(numplots, 1);
    EXPECT_EQ(plotorder[0], 0);
}
