// test_diagnose.cpp: why a DC operating point cannot be solved: the sentence,
// the nodes and wires it names, and the code to believe, for every structure
// that makes the equations singular whatever the values; a circuit that
// rounding let through is caught, a sound one keeps its solution.
#include <gtest/gtest.h>
#include <math.h>
#include "tests/testcircuit.h"

namespace {

struct dcres {
    int32_t code;
    std::string text;
    std::vector<int> nodes, wires;
};

dcres dc(const char *circuit) {
    tcbuild(circuit);
    dcres r;
    r.code = dcsolve();
    r.text = whytext;
    for (int i = 0; i < numnodes; i++)
        if (whynode[i]) r.nodes.push_back(i);
    for (int i = 0; i < numwires; i++)
        if (whywire[i]) r.wires.push_back(i);
    return r;
}

}  // namespace

TEST(Diagnose, NamesTheStructureThatMakesTheEquationsSingular) {
    typedef std::vector<int> v;
    const struct {
        const char *circuit;
        int32_t code;
        const char *text;
        v nodes, wires;
    } cases[] = {
        {"g... V01:5 R12:1000 C20:1E-6", SOLVENODE, "Node 3 floats: nothing ties its voltage to ground", {3}, {}},
        {"g.... V01:1 R10:1 R23:1 X34:1", SOLVENODE, "Nodes 2, 3 and 4 float: nothing ties their voltages to ground",
         {2, 3, 4}, {}},
        {"g. V01:1 R10:1 V01:2", SOLVEWIRE,
         "V1 (wire 0) and V2 (wire 2) form a loop of voltage sources: the current around it is undetermined", {}, {0, 2}},
        {"g.. V01:1 T12:1 L20:1E-3 R10:5", SOLVEWIRE,
         "V1 (wire 0), T1 (wire 1) and L1 (wire 2) form a loop of voltage sources, connections and inductors: the "
         "current around it is undetermined",
         {}, {0, 1, 2}},
        {"gg. R02:1 T01:1 R12:1", SOLVEWIRE,  // both ends grounded: a loop through ground
         "T1 (wire 1) forms a loop of connections: the current around it is undetermined", {}, {1}},
        {"g.. V01:1 R10:1 I12:1E-3 C20:1E-6", SOLVENODE,
         "I1 (wire 2) drives current into node 2, which has no other way out", {2}, {2}},
        {"g. E01:1 R10:1", SOLVEEMPTY, "E1 (wire 0) has no controlling wire: drag from it to the wire it follows", {},
         {0}},
        {"g. R01:1 E01:1@0", SOLVENODE, "The equations are singular: a node voltage is undetermined", {}, {}},
        {"g. R10:5 C01:1 V01:1 R10:0", SOLVEWIRE,
         "V1 (wire 2) and R2 (wire 3) form a loop of voltage sources and connections: the current around it is "
         "undetermined", {}, {2, 3}},
        {"g. V01:1 R10:0", SOLVEWIRE,  // a resistor of 0 ohms is a short
         "V1 (wire 0) and R1 (wire 1) form a loop of voltage sources and connections: the current around it is undetermined", {},
         {0, 1}},
    };
    for (int32_t order : {(int32_t)ORDERMIN, 0}) {  // natural order, and fill-reducing as large systems go
        ordermin = order;
        for (const auto &k : cases) {
            const dcres r = dc(k.circuit);
            EXPECT_EQ(r.code, k.code) << k.circuit << " ordermin " << order;
            EXPECT_EQ(r.text, k.text) << k.circuit << " ordermin " << order;
            EXPECT_EQ(r.nodes, k.nodes) << k.circuit;
            EXPECT_EQ(r.wires, k.wires) << k.circuit;
        }
    }
    ordermin = ORDERMIN;
}

// A floating group of resistors "solves" by rounding with absurd voltages;
// the structure says what the solver missed.
TEST(Diagnose, CatchesWhatRoundingLetThrough) {
    tcbuild("g..... V01:1 R10:1 R24:0.01 R54:2.2E-3 R34:13 V42:0.3 R52:0.3");
    initmat(0, 0, 0);
    ASSERT_EQ(smatsolve_real(yh, el, elcnt, pivorder, numwires + numnodes), SOLVED);  // what the solver believes
    const dcres r = dc("g..... V01:1 R10:1 R24:0.01 R54:2.2E-3 R34:13 V42:0.3 R52:0.3");
    EXPECT_EQ(r.code, SOLVENODE);
    EXPECT_EQ(r.text, "Nodes 2, 3, 4 and 5 float: nothing ties their voltages to ground");
}

TEST(Diagnose, SoundCircuitsKeepTheirSolution) {
    for (const char *c : {"g.. V01:5 R12:1000 C20:1E-6", "g. I01:1 R10:1", "g... V01:1 R12:1 E30:1E8@~1 R32:1",
                          "", "g",
                          "g.. R10:1E6 T20:1 T12:1 H12:-0.5@~2",            // H follows the loop's current
                          "g.. V01:1 R10:1 C12:1E-6 G20:1@4 X20:0"}) {      // G follows node 2's voltage
        const dcres r = dc(c);
        EXPECT_EQ(r.code, *c ? SOLVED : SOLVEEMPTY) << c;
        EXPECT_EQ(r.text, "") << c;
    }
}
