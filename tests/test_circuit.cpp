// Circuit model: the editing primitives with the references
// they must keep straight (depwire, ibodewire) and the renumbering they tell.
// Links with the model and the expressions alone.
#include "tests/testcircuit.h"
#include <gtest/gtest.h>

namespace {

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

struct Model : ::testing::Test {
    void TearDown() override { renumlistener = 0; }
};

}  // namespace

TEST_F(Model, DeletewireRenumbersControlsAndBodeInputAndTellsTheListener)
{
    fresh(6);
    tcwire(0, 1, 'E', "1", 4), tcwire(1, 2, 'R', "99"), tcwire(2, 3, 'E', "1", ~4);
    tcwire(3, 4, 'F', "1", 1), tcwire(4, 5, 'H', "1", ~2), tcwire(5, 0, 'S', "1", ~1);
    tcwire(0, 2, 'S', "0", ~6);  // an inverted switch, last wire
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

// The element keeps the half away from side; what named it (a control, the
// Bode input, the listener's references) follows it to the new wire. The
// op-amp's controlling X split on its first half keeps its gain.
TEST_F(Model, SplitwireKeepsTheElementAndWhatNamesIt)
{
    struct { int32_t side, tee; } cases[] = {{-1, 0}, {0, 1}};
    for (auto c : cases) {
        SCOPED_TRACE(c.side);
        fresh(3);
        tcwire(0, 1, 'X', "0"), tcwire(1, 2, 'E', "1E8", ~0), tcwire(2, 0, 'E', "5");
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
    tcwire(0, 1, 'R', "1"), tcwire(1, 3, 'R', "1");
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
