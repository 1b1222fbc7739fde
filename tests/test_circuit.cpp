// Circuit model: growth rules and the editing primitives with the references
// they must keep straight (depwire, ibodewire) and the renumbering they tell.
// Links with the model and the expressions alone.
#include "circuit/circuit.h"
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

namespace {

// drops every array so growth starts from capacity 0
void dropall()
{
    for (int32_t i = 0; i < numwiresmax; i++) free(wire[i].numst), free(wire[i].initst);
    free(node), free(dispv), free(wire), free(dispi), free(wirenext);
    free(yh), free(pivorder), free(capindval), free(ocapindval);
    node = 0, dispv = 0, wire = 0, dispi = 0, wirenext = 0, yh = 0, pivorder = 0;
    capindval = ocapindval = 0;
    numnodes = numnodesmax = numwires = numwiresmax = 0;
}

// what the primitives told the listener, as "n3>1" (node 3 is now 1), "w2>-1"
std::vector<std::string> told;
void listen(int32_t kind, int32_t from, int32_t to)
{
    told.push_back((kind == RENUMNODE ? "n" : "w") + std::to_string(from) + ">" + std::to_string(to));
}

// an empty circuit with nodes at x = 32 * i for each i < n
void fresh(int32_t n = 0)
{
    numnodes = numwires = 0;
    ibodewire = -1;
    checknumwires(16), checknumnodes(16);
    for (int32_t i = 0; i < n; i++) putnode(i * 32, 0, 0, 0);
    told.clear();
    renumlistener = listen;
}

int32_t addwire(int32_t a, int32_t b, char e, const char *v = "1", int32_t dep = -100)
{
    int32_t i = numwires++;
    checknumwires(numwires + 1);
    wire[i].node1 = a, wire[i].node2 = b, wire[i].element = e;
    wire[i].depwire = dep == -100 ? i : dep;
    wiresetnumst(i, v), wiresetinitst(i, "");
    return i;
}

struct Model : ::testing::Test {
    void TearDown() override { renumlistener = 0; }
};

}  // namespace

TEST_F(Model, GrowthFollowsFirstSlotsDoublingOrRequestPlusOneWithEmptyTexts)
{
    struct { int32_t first, n, cap; } cases[] = {
        {-1, 0, 512}, {0, 511, 512}, {0, 512, 1024}, {0, 1000, 1024}, {0, 5000, 5001}};
    for (auto c : cases) {
        SCOPED_TRACE(c.n);
        dropall();
        if (c.first >= 0) checknumnodes(c.first), checknumwires(c.first), wiresetnumst(0, "47");
        checknumnodes(c.n), checknumwires(c.n);
        EXPECT_EQ(numnodesmax, c.cap);
        EXPECT_EQ(numwiresmax, c.cap);
        for (int32_t i = 0; i <= numnodesmax + numwiresmax; i++) yh[i] = i;  // ASan checks sizes
        for (int32_t i = 0; i < numnodesmax + numwiresmax; i++) pivorder[i] = i;
        for (int32_t i = c.first >= 0; i < numwiresmax; i++)
            ASSERT_TRUE(wire[i].numst && wire[i].initst && !wire[i].numst[0] && !wire[i].initst[0]);
        EXPECT_STREQ(wire[0].numst, c.first >= 0 ? "47" : "");
    }
}

TEST_F(Model, PutnodeMergesAndDeletewireRemovesOnlyItsOwnDanglingNodes)
{
    fresh(4);
    EXPECT_EQ(putnode(32, 0, 1, 2.5), 1);
    EXPECT_EQ(putnode(32, 0, 0, 0), 1);
    EXPECT_EQ(node[1].isgrounded, 1);
    addwire(0, 1, 'R'), addwire(1, 2, 'R'), addwire(2, 3, 'R');
    deletewire(1);  // nodes 1 and 2 are shared
    EXPECT_EQ(numnodes, 4);
    deletewire(0);  // nodes 0 and 1 are its own now
    ASSERT_EQ(numnodes, 2);
    ASSERT_EQ(numwires, 1);
    EXPECT_EQ(node[wire[0].node1].x, 64);
    EXPECT_EQ(node[wire[0].node2].x, 96);
}

TEST_F(Model, DeletewireRenumbersControlsAndBodeInputAndTellsTheListener)
{
    fresh(6);
    addwire(0, 1, 'E', "1", 4), addwire(1, 2, 'R', "99"), addwire(2, 3, 'E', "1", ~4);
    addwire(3, 4, 'F', "1", 1), addwire(4, 5, 'H', "1", ~2), addwire(5, 0, 'S', "1", ~1);
    addwire(0, 2, 'S', "0", ~6);  // an inverted switch, last wire
    ibodewire = 6;
    wiresetinitst(1, "x");
    told.clear();
    deletewire(1);
    const int32_t dep[] = {4, ~1, ~4, 3, ~2, ~5};  // a switch keeps its inversion
    for (int32_t j = 0; j < 6; j++) EXPECT_EQ(wire[j].depwire, dep[j]) << j;
    EXPECT_EQ(wire[1].element, 'S');
    EXPECT_TRUE(!wire[6].numst[0] && !wire[6].initst[0]);  // the freed slot holds empty texts
    EXPECT_EQ(ibodewire, 1);
    EXPECT_EQ(told, (std::vector<std::string>{"w1>-1", "w6>1"}));
    deletewire(1);
    EXPECT_EQ(ibodewire, -1);
}

// The last wire, controlled by the deleted one, moves into the hole: it must
// name its new index as "no control", not the slot past the end (which the
// next wire drawn would fill).
TEST_F(Model, DeletewireLeavesTheMovedLastWireWithoutControl)
{
    fresh(4);
    addwire(0, 1, 'R'), addwire(1, 2, 'X'), addwire(2, 3, 'E', "1", ~1);
    deletewire(1);
    ASSERT_EQ(numwires, 2);
    EXPECT_EQ(wire[1].element, 'E');
    EXPECT_EQ(wire[1].depwire, 1);
    EXPECT_EQ(controlwire(1), -1);
}

TEST_F(Model, DeletingSelfLoopRemovesItsNodeOnce)
{
    fresh(4);
    addwire(1, 2, 'R'), addwire(0, 0, 'R');  // node 3 is loose: it moves into slot 0
    deletewire(1);
    EXPECT_EQ(numnodes, 3);
    EXPECT_EQ(node[0].x, 96);
    putnode(128, 0, 0, 0);
    addwire(3, 3, 'T');  // the loop's node is the last node
    deletewire(1);
    EXPECT_EQ(numnodes, 3);
}

// The element keeps the half away from side; what named it (a control, the
// Bode input, the listener's references) follows it to the new wire. The
// op-amp's controlling X split on its first half keeps its gain.
TEST_F(Model, SplitwireKeepsTheElementAndWhatNamesIt)
{
    struct { int32_t side, tee; } cases[] = {{-1, 0}, {0, 1}};
    for (auto c : cases) {
        SCOPED_TRACE(c.side);
        fresh(3);
        addwire(0, 1, 'X', "0"), addwire(1, 2, 'E', "1E8", ~0), addwire(2, 0, 'E', "5");
        wiresetinitst(0, "2");
        ibodewire = 0;
        int32_t n = appendnode(16, 16);
        told.clear();
        ASSERT_EQ(splitwire(0, n, c.side), 3);
        ASSERT_EQ(numwires, 4);
        EXPECT_EQ(wire[0].node2, n);
        EXPECT_EQ(wire[3].node1, n);
        EXPECT_EQ(wire[3].node2, 1);
        const int32_t x = 3 - c.tee * 3;  // the X half
        const wiretype &t = wire[c.tee == 0 ? 0 : 3], &e = wire[x];
        EXPECT_TRUE(t.element == 'T' && !strcmp(t.numst, "1") && !strcmp(t.initst, "0"));
        EXPECT_EQ(t.depwire, c.tee == 0 ? 0 : 3);
        EXPECT_TRUE(e.element == 'X' && !strcmp(e.numst, "0") && !strcmp(e.initst, "2"));
        EXPECT_EQ(e.depwire, x);  // still its own index
        EXPECT_EQ(wire[1].depwire, ~x);
        EXPECT_EQ(controlwire(1), x);
        EXPECT_EQ(wire[2].depwire, 2);  // no control before, none after
        EXPECT_EQ(ibodewire, x);
        EXPECT_EQ(told, c.side < 0 ? std::vector<std::string>{"w0>3"} : std::vector<std::string>{});
    }
}

TEST_F(Model, MergenodeMovesWireEndsAndFlagsThenDeletesTheNode)
{
    fresh(4);
    addwire(0, 1, 'R'), addwire(1, 3, 'R');
    node[1].isgrounded = 1, node[1].selected = 1;
    mergenode(1, 2);
    ASSERT_EQ(numnodes, 3);
    EXPECT_EQ(node[2].x, 64);
    EXPECT_EQ(node[2].isgrounded, 1);
    EXPECT_EQ(node[2].selected, 1);
    EXPECT_EQ(node[1].x, 96);  // the last node moved into the hole
    EXPECT_EQ(wire[0].node2, 2);
    EXPECT_EQ(wire[1].node1, 2);
    EXPECT_EQ(wire[1].node2, 1);
    EXPECT_EQ(told, (std::vector<std::string>{"n1>2", "n1>-1", "n3>1"}));
}
