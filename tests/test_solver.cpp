// test_solver.cpp: circuit equations and the sparse solvers: hand-derived
// circuits of every element, the singular codes, the phasor and time-step
// forms, the value cache, and the fast solver against the plain reference
// (refsolver.cpp) bit for bit over many random circuits.
#include <gtest/gtest.h>
#include <math.h>
#include <algorithm>
#include <stdlib.h>
#include <string.h>
#include <random>
#include <vector>
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "expr/expr.h"
#include "tests/refsolver.h"

// === circuit building ===
static const int32_t OWN = -0x40000000;  // depwire: the wire's own index

static void newcircuit(void) { numnodes = numwires = 0; }

static int32_t nd(int32_t grounded = 0) {
    checknumnodes(numnodes + 1);
    node[numnodes] = nodetype{0, 0, (int8_t)grounded, 0};
    return numnodes++;
}

static int32_t wr(int32_t n1, int32_t n2, char letter, const char *text, int32_t dep = OWN) {
    checknumwires(numwires + 1);
    const int32_t i = numwires++;
    wire[i].node1 = n1;
    wire[i].node2 = n2;
    wire[i].element = letter;
    wire[i].depwire = dep == OWN ? i : dep;
    wiresetnumst(i, text);
    wiresetinitst(i, "");
    globalx = 0;
    globalbad = 0;
    wire[i].value = solvefunc(text);
    capindval[i] = 0;
    return i;
}

static int32_t nunk(void) { return numwires + numnodes; }
static int32_t solvereal(void) { return smatsolve_real(yh, el, elcnt, pivorder, nunk()); }
static int32_t solvecomp(void) { return smatsolve_comp(yh, el, elcnt, pivorder, nunk()); }
static int32_t dc(void) {
    initmat(0, 0, 0);
    return solvereal();
}
static double V(int32_t n) { return el[yh[numwires + n]].re; }
static double I(int32_t w) { return el[yh[w]].re; }

// row r as (col, re) pairs in list order
static std::vector<std::pair<int32_t, double>> row(int32_t r) {
    std::vector<std::pair<int32_t, double>> v;
    for (int32_t e = yh[r]; e; e = el[e].next) v.push_back({el[e].col, el[e].re});
    return v;
}

#define EXPECT_REL(a, b, tol) EXPECT_NEAR(a, b, (tol) * (fabs(b) > 1 ? fabs(b) : 1))

// === equation layout ===
TEST(Initmat, ResistorBetweenFreeNodesGivesBranchAndCurrentLawRows) {
    newcircuit();
    nd(), nd();
    wr(0, 1, 'R', "47");
    initmat(0, 0, 0);
    using R = std::vector<std::pair<int32_t, double>>;
    EXPECT_EQ(row(0), (R{{0, 47.0}, {1, -1.0}, {2, 1.0}}));
    EXPECT_EQ(row(1), (R{{0, -1.0}}));
    EXPECT_EQ(row(2), (R{{0, 1.0}}));
}

TEST(Initmat, GroundedNodeIsOneUnitEntryAndNeverReferenced) {
    newcircuit();
    nd(), nd(1);
    wr(0, 1, 'V', "5");
    wr(1, 0, 'R', "2");
    initmat(0, 0, 0);
    using R = std::vector<std::pair<int32_t, double>>;
    EXPECT_EQ(row(3), (R{{3, 1.0}}));
    EXPECT_EQ(row(0), (R{{2, -1.0}, {4, 5.0}}));  // right-hand side last, V(1) dropped
    EXPECT_EQ(row(1), (R{{1, 2.0}, {2, 1.0}}));
}

TEST(Initmat, EmptyCircuitLeavesOnlyTheSentinel) {
    newcircuit();
    initmat(0, 0, 0);
    EXPECT_EQ(elcnt, 1);
    EXPECT_EQ(el[0].col, 0x7FFFFFFF);
    EXPECT_EQ(solvereal(), 2);
    EXPECT_EQ(solvecomp(), 2);
}

TEST(Initmat, StoredValueIsUsedAtTimeZeroAndTextElsewhere) {
    newcircuit();
    nd(), nd(1);
    wr(0, 1, 'R', "T");
    wire[0].value = 7;
    initmat(0, 0, 0);
    EXPECT_EQ(row(0)[0].second, 7.0);
    initmat(0, 0.25, 0);
    EXPECT_EQ(row(0)[0].second, 0.25);
}

TEST(Initmat, UnstampableWireGivesEmptySystem) {
    struct { char letter; int32_t dep; int32_t n2; } cases[] = {
        {'E', OWN, 1}, {'F', OWN, 1}, {'G', OWN, 1}, {'H', OWN, 1},
        {'E', ~1, 1},   // flipped reference to itself
        {'G', 9, 1},    // controlling wire does not exist
        {'R', OWN, 5},  // node index out of range
    };
    for (auto &c : cases) {
        newcircuit();
        nd(1), nd();
        wr(0, 1, 'R', "1");
        wr(0, c.n2, c.letter, "2", c.dep);
        initmat(0, 0, 0);
        EXPECT_EQ(elcnt, 1) << c.letter;
        for (int32_t r = 0; r < nunk(); r++) EXPECT_EQ(yh[r], 0);
        EXPECT_EQ(solvereal(), 2) << c.letter;
    }
}

TEST(Initmat, RepeatedBuildsAndSolvesDoNotReallocate) {
    newcircuit();
    int32_t g = nd(1), p = nd();
    wr(g, p, 'V', "SIN(0;1;50;0;0)");
    for (int32_t k = 0; k < 20; k++) {
        int32_t q = nd();
        wr(p, q, 'R', "1000");
        wr(q, g, 'C', "1E-6");
        p = q;
    }
    for (int32_t k = 0; k < 2; k++) initmat(0, 0.001, 1e-6), solvereal();
    sparsel *keep = el;
    int32_t keepmax = elcntmax;
    for (int32_t k = 0; k < 50; k++) {
        initmat(0, 0.001 * k, 1e-6);
        ASSERT_EQ(solvereal(), 0);
    }
    EXPECT_EQ(el, keep);
    EXPECT_EQ(elcntmax, keepmax);
}

// === value cache ===
static const char *texts[] = {"1", "2.5", "-4", "1E3", "T", "2*T+1", "SIN(0;1;3;0;0)", "1/0",
                              "PULSE(0;5;0;1;1;2;10)", "PWL(0;0;1;10;2;0)", "(2+3)*4", "SQRT(T)"};

// a resistor row starts with its value at its own column, whatever its nodes
TEST(Initmat, ValuesFollowTextsAcrossBuilds) {
    std::mt19937 rng(11);
    newcircuit();
    nd(1), nd(), nd();
    for (int32_t k = 0; k < 8; k++) wr(rng() % 3, rng() % 3, 'R', texts[rng() % 12]);
    for (int32_t round = 0; round < 300; round++) {
        for (int32_t k = rng() % 4; k > 0; k--) {
            const int32_t i = rng() % numwires;
            const char *s = texts[rng() % 12];
            if (strlen(s) <= strlen(wire[i].numst)) strcpy(wire[i].numst, s);  // same allocation
            else wiresetnumst(i, s);
        }
        const double t = 0.05 + (rng() % 100) * 0.013;
        initmat(0, t, rng() % 2 ? 1e-3 : 0);
        const int32_t bad = globalbad;
        for (int32_t m = numwires - 1; m >= 0; m--) {
            globalx = t;
            globalbad = 0;
            const double v = solvefunc(wire[m].numst);
            ASSERT_EQ(el[yh[m]].col, m);
            ASSERT_TRUE(!memcmp(&el[yh[m]].re, &v, sizeof v)) << wire[m].numst << " at " << t;
        }
        EXPECT_EQ(bad, globalbad);  // the flag of the last wire evaluated, wire 0
    }
}

TEST(Initmat, TextChangedInPlaceIsEvaluatedAgain) {
    newcircuit();
    nd(1), nd();
    wr(1, 0, 'R', "5");
    initmat(0, 1, 0);
    EXPECT_EQ(row(0)[0].second, 5.0);
    wire[0].numst[0] = '7';  // same allocation, same length
    initmat(0, 1, 0);
    EXPECT_EQ(row(0)[0].second, 7.0);
}

TEST(Initmat, RandomTextsDrawAtEveryBuildInWireOrder) {
    newcircuit();
    nd(1), nd();
    const char *rt[] = {"RND", "4", "NRND(0)+RND", "RND*2"};
    for (const char *s : rt) wr(1, 0, 'R', s);
    srand(5);
    snormstat = 0;
    std::vector<double> got;
    for (int32_t k = 0; k < 3; k++) {
        initmat(0, 0.5, 0);
        for (int32_t w = numwires - 1; w >= 0; w--) got.push_back(row(w)[0].second);
    }
    srand(5);
    snormstat = 0;
    globalx = 0.5;
    for (int32_t k = 0; k < 3; k++)
        for (int32_t w = numwires - 1; w >= 0; w--)
            EXPECT_EQ(solvefunc(rt[w]), got[k * numwires + numwires - 1 - w]);
}

// === DC operating point ===
TEST(Dcsolve, DividersAndCurrents) {
    struct { double v, r1, r2; } cases[] = {{10, 1000, 3000}, {1, 1, 1}, {-5, 2.2e3, 4.7e3}, {3, 1e-3, 1e6}};
    for (auto &c : cases) {
        newcircuit();
        int32_t g = nd(1), top = nd(), mid = nd();
        char s[3][32];
        snprintf(s[0], 32, "%.17g", c.v), snprintf(s[1], 32, "%.17g", c.r1), snprintf(s[2], 32, "%.17g", c.r2);
        int32_t src = wr(g, top, 'V', s[0]);
        int32_t r1 = wr(top, mid, 'R', s[1]);
        wr(mid, g, 'R', s[2]);
        ASSERT_EQ(dc(), 0);
        EXPECT_REL(V(mid), c.v * c.r2 / (c.r1 + c.r2), 1e-12);
        EXPECT_REL(I(src), c.v / (c.r1 + c.r2), 1e-12);
        EXPECT_REL(I(r1), I(src), 1e-12);
        EXPECT_EQ(V(g), 0.0);
    }
}

TEST(Dcsolve, CurrentSourceIntoResistor) {
    newcircuit();
    int32_t g = nd(1), n = nd();
    int32_t s = wr(g, n, 'I', "1"), r = wr(n, g, 'R', "330");
    ASSERT_EQ(dc(), 0);
    EXPECT_REL(V(n), 330, 1e-14);
    EXPECT_REL(I(s), 1, 1e-14);
    EXPECT_REL(I(r), 1, 1e-14);
}

TEST(Dcsolve, WheatstoneBridge) {
    struct { const char *r1, *r3, *r2, *r4; double i5; } cases[] = {
        {"100", "200", "300", "600", 0.0},
        {"100", "300", "200", "200", 2.5 / 225},
    };
    for (auto &c : cases) {
        newcircuit();
        int32_t g = nd(1), top = nd(), l = nd(), r = nd();
        wr(g, top, 'V', "10");
        wr(top, l, 'R', c.r1), wr(l, g, 'R', c.r3);
        wr(top, r, 'R', c.r2), wr(r, g, 'R', c.r4);
        int32_t bridge = wr(l, r, 'R', "50");
        ASSERT_EQ(dc(), 0);
        EXPECT_NEAR(I(bridge), c.i5, 1e-14);
    }
}

// controlling wire: a 4 ohm resistor from p (2 V) to ground: V(node2) - V(node1) = -2, I = 0.5
TEST(Dcsolve, ControlledSourcesBothPolarities) {
    struct { char letter; int32_t flip; double vout; } cases[] = {
        {'E', 0, -6}, {'E', 1, 6}, {'F', 0, 7.5}, {'F', 1, -7.5},
        {'G', 0, -30}, {'G', 1, 30}, {'H', 0, 1.5}, {'H', 1, -1.5},
    };
    for (auto &c : cases) {
        newcircuit();
        int32_t g = nd(1), p = nd(), out = nd();
        wr(g, p, 'V', "2");
        int32_t ctl = wr(p, g, 'R', "4");
        wr(g, out, c.letter, "3", c.flip ? ~ctl : ctl);
        wr(out, g, 'R', "5");
        ASSERT_EQ(dc(), 0) << c.letter;
        EXPECT_REL(V(out), c.vout, 1e-13) << c.letter << c.flip;
    }
}

TEST(Dcsolve, SwitchStates) {
    struct { double value; int32_t inverted; int32_t closed; } cases[] = {
        {1, 0, 1}, {0, 0, 0}, {-1, 0, 0}, {0, 1, 1}, {-2, 1, 1}, {1, 1, 0}, {NAN, 0, 1}, {NAN, 1, 0},
    };
    for (auto &c : cases) {
        newcircuit();
        int32_t g = nd(1), p = nd(), q = nd();
        wr(g, p, 'V', "10");
        wr(p, q, 'R', "1"), wr(q, g, 'R', "1");
        int32_t s = wr(q, g, 'S', "0");
        if (c.inverted) wire[s].depwire = ~s;
        wire[s].value = c.value;
        ASSERT_EQ(dc(), 0);
        EXPECT_REL(V(q), c.closed ? 0.0 : 5.0, 1e-14) << c.value << c.inverted;
        EXPECT_REL(I(s), c.closed ? 10.0 : 0.0, 1e-14) << c.value << c.inverted;
    }
}

TEST(Dcsolve, ProbeCarriesNoCurrentAndConnectionNoVoltage) {
    newcircuit();
    int32_t g = nd(1), p = nd(), q = nd();
    wr(g, p, 'V', "5");
    int32_t x = wr(p, g, 'X', "1");
    int32_t t = wr(p, q, 'T', "1");
    wr(q, g, 'R', "10");
    ASSERT_EQ(dc(), 0);
    EXPECT_EQ(I(x), 0.0);
    EXPECT_REL(I(t), 0.5, 1e-14);
    EXPECT_REL(V(q), 5.0, 1e-14);
}

// the editor's op-amp: X A-B, X B-Q, X Q-A, E G-Q controlled by ~(first X)
TEST(Dcsolve, OpAmpInvertingAmplifier) {
    newcircuit();
    int32_t a = nd(), b = nd(), gc = nd(1), q = nd();
    int32_t x0 = wr(a, b, 'X', "0");
    wr(b, q, 'X', "0"), wr(q, a, 'X', "0");
    wr(gc, q, 'E', "1E8", ~x0);
    int32_t g = nd(1), in = nd();
    wr(a, g, 'T', "1");
    wr(g, in, 'V', "1");
    wr(in, b, 'R', "1000"), wr(b, q, 'R', "10000");
    ASSERT_EQ(dc(), 0);
    EXPECT_REL(V(q), -10.0 / (1 + 11.0 / 1e8), 1e-12);
    EXPECT_NEAR(V(b), 0.0, 1e-6);
}

TEST(Dcsolve, CapacitorOpenInductorShort) {
    newcircuit();
    int32_t g = nd(1), p = nd(), c = nd(), l = nd();
    wr(g, p, 'V', "4");
    wr(p, c, 'R', "2");
    int32_t cap = wr(c, g, 'C', "1E-6");
    wr(p, l, 'R', "8");
    int32_t ind = wr(l, g, 'L', "1E-3");
    ASSERT_EQ(dc(), 0);
    EXPECT_EQ(I(cap), 0.0);
    EXPECT_REL(V(c), 4.0, 1e-14);
    EXPECT_REL(I(ind), 0.5, 1e-14);
    EXPECT_NEAR(V(l), 0.0, 1e-15);
}

TEST(Dcsolve, SingularCircuitsReportTheirCode) {
    struct { const char *what; int32_t code; } cases[] = {
        {"floating node", 1}, {"parallel voltage sources", 16384},
        {"connection between grounded nodes", 16384}, {"current source into an open", 1},
        {"empty", 2}, {"controlled source without control", 2},
    };
    for (int32_t k = 0; k < 6; k++) {
        newcircuit();
        if (k != 4) {
            int32_t g = nd(1), p = nd();
            if (k == 0) wr(g, p, 'V', "1"), wr(p, g, 'R', "1"), nd();
            if (k == 1) wr(g, p, 'V', "1"), wr(g, p, 'V', "2");
            if (k == 2) wr(g, nd(1), 'T', "1"), wr(g, p, 'R', "1");
            if (k == 3) wr(g, p, 'I', "1"), wr(p, g, 'X', "1");
            if (k == 5) wr(g, p, 'R', "1"), wr(g, p, 'F', "1");
        }
        EXPECT_EQ(dc(), cases[k].code) << cases[k].what;
        initmat(0, 0, 0);
        EXPECT_EQ(solvecomp(), cases[k].code) << cases[k].what;
    }
}

// a wire from a node to itself: no current-law entries, so a resistor there
// carries nothing and a connection there has an undetermined current
TEST(Dcsolve, WireFromANodeToItself) {
    struct { char letter; int32_t code; } cases[] = {{'R', 0}, {'C', 0}, {'T', 16384}, {'V', 16384}};
    for (auto &c : cases) {
        newcircuit();
        int32_t g = nd(1), p = nd();
        wr(g, p, 'V', "3"), wr(p, g, 'R', "2");
        int32_t loop = wr(p, p, c.letter, "5");
        EXPECT_EQ(dc(), c.code) << c.letter;
        if (c.code) continue;
        EXPECT_EQ(I(loop), 0.0) << c.letter;
        EXPECT_REL(V(p), 3.0, 1e-15);
    }
}

// === phasor and time-step forms ===
TEST(Acsolve, RcAndRlMatchAnalyticTransfer) {
    const double ws[] = {0, 1, 10, 1234.5, 1e6};
    for (char letter : {'C', 'L'}) {
        for (double w : ws) {
            newcircuit();
            int32_t g = nd(1), in = nd(), o = nd();
            wr(g, in, 'V', "1");
            wr(in, o, 'R', "1000");
            wr(o, g, letter, letter == 'C' ? "1E-6" : "0.5");
            initmat(w, 0, 0);
            ASSERT_EQ(solvecomp(), 0);
            double re, im;
            if (letter == 'C') {  // 1 / (1 + j w R C)
                const double x = w * 1e-3;
                re = 1 / (1 + x * x), im = -x / (1 + x * x);
            } else {  // j w L / (R + j w L)
                const double x = w * 0.5 / 1000;
                re = x * x / (1 + x * x), im = x / (1 + x * x);
            }
            EXPECT_NEAR(el[yh[numwires + o]].re, re, 1e-13) << letter << w;
            EXPECT_NEAR(el[yh[numwires + o]].im, im, 1e-13) << letter << w;
        }
    }
}

TEST(Timestep, CompanionModelsMatchHandCalculation) {
    const double U = 3, R = 100, X = 2e-3, h = 1e-4, c0 = 0.7;
    for (char letter : {'C', 'L'}) {
        newcircuit();
        int32_t g = nd(1), in = nd(), o = nd();
        wr(g, in, 'V', "3");
        wr(in, o, 'R', "100");
        int32_t e = wr(o, g, letter, "2E-3");
        capindval[e] = c0;
        initmat(0, 0.5, h);
        ASSERT_EQ(solvereal(), 0);
        if (letter == 'C') {
            EXPECT_REL(V(o), (h * U / R + X * c0) / (h / R + X), 1e-13);
        } else {
            const double i = (U + X / h * c0) / (R + X / h);
            EXPECT_REL(I(e), i, 1e-13);
            EXPECT_REL(V(o), X / h * (i - c0), 1e-12);
        }
    }
}

TEST(Timestep, SourcesAreEvaluatedAtTheBuildTime) {
    newcircuit();
    int32_t g = nd(1), p = nd();
    wr(g, p, 'V', "SIN(0;1;1;0;0)");
    wr(p, g, 'R', "1");
    initmat(0, 0.25, 1e-3);
    ASSERT_EQ(solvereal(), 0);
    EXPECT_NEAR(V(p), 1.0, 1e-15);
}

// === solver rules ===
TEST(Sparse, EqualPivotsKeepTheLowestPosition) {
    // x0 + x1 = 3 over a*x0 + x1 = b; a = -1 ties with row 0, a = -2 wins
    struct { double a, b; int32_t head0; } cases[] = {{-1, 1, 1}, {-2, 0, 4}};
    for (auto &c : cases) {
        newcircuit();
        checknumnodes(2);
        numnodes = 2;
        checkelcnt(16);
        el[0] = sparsel{0, 0, 0, 0x7FFFFFFF};
        el[1] = sparsel{1, 0, 2, 0}, el[2] = sparsel{1, 0, 3, 1}, el[3] = sparsel{3, 0, 0, 2};
        el[4] = sparsel{c.a, 0, 5, 0}, el[5] = sparsel{1, 0, 6, 1}, el[6] = sparsel{c.b, 0, 0, 2};
        yh[0] = 1, yh[1] = 4;
        ASSERT_EQ(smatsolve_real(yh, el, 7, pivorder, 2), 0);
        EXPECT_EQ(yh[0], c.head0);
        EXPECT_NEAR(el[yh[0]].re, 1.0, 1e-15);
        EXPECT_NEAR(el[yh[1]].re, 2.0, 1e-15);
    }
}

// entries 1..6 with the same columns, linked into rows two ways:
// x0 + x1 = 3, -x0 + 2 x1 = 1 and x0 + 2 x1 = 3, -x0 + x1 = 1
TEST(Sparse, SameColumnsOtherLinksAreSolvedAfresh) {
    const int32_t links[2][6] = {{2, 3, 0, 5, 6, 0}, {5, 6, 0, 2, 3, 0}};
    const double x[2][2] = {{5.0 / 3, 4.0 / 3}, {1.0 / 3, 4.0 / 3}};
    for (int32_t round = 0; round < 4; round++) {
        const int32_t k = round % 2;
        newcircuit();
        checknumnodes(2);
        numnodes = 2;
        checkelcnt(16);
        const double re[6] = {1, 1, 3, -1, 2, 1};
        const int32_t col[6] = {0, 1, 2, 0, 1, 2};
        el[0] = sparsel{0, 0, 0, 0x7FFFFFFF};
        for (int32_t e = 1; e <= 6; e++) el[e] = sparsel{re[e - 1], 0, links[k][e - 1], col[e - 1]};
        yh[0] = 1, yh[1] = 4;
        ASSERT_EQ(smatsolve_real(yh, el, 7, pivorder, 2), 0);
        EXPECT_NEAR(el[yh[0]].re, x[k][0], 1e-15) << round;
        EXPECT_NEAR(el[yh[1]].re, x[k][1], 1e-15) << round;
    }
}

// ||A x - b|| / (||A|| ||x|| + ||b||), infinity norms, of the rebuilt system
static double scaledresidual(const std::vector<double> &x) {
    const int32_t n = nunk();
    double rmax = 0, amax = 0, bmax = 0, xmax = 0;
    for (double v : x) xmax = fmax(xmax, fabs(v));
    for (int32_t r = 0; r < n; r++) {
        double s = 0, a = 0;
        for (int32_t e = yh[r]; e; e = el[e].next) {
            if (el[e].col == n) s -= el[e].re, bmax = fmax(bmax, fabs(el[e].re));
            else s += el[e].re * x[el[e].col], a += fabs(el[e].re);
        }
        rmax = fmax(rmax, fabs(s));
        amax = fmax(amax, a);
    }
    return rmax / (amax * xmax + bmax);
}

static void buildgrid(int32_t side) {
    newcircuit();
    int32_t g = nd(1), top = nd();
    wr(g, top, 'V', "1");
    for (int32_t k = 0; k < side * side; k++) nd();
    for (int32_t y = 0; y < side; y++)
        for (int32_t x = 0; x < side; x++) {
            const int32_t k = 2 + y * side + x;
            if (x + 1 < side) wr(k, k + 1, 'R', "100");
            if (y + 1 < side) wr(k, k + side, 'R', "220");
        }
    wr(top, 2, 'R', "1"), wr(2 + side * side - 1, g, 'R', "1");
}

TEST(Sparse, GridSolutionHasSmallScaledResidual) {
    for (int32_t side : {3, 10, 25}) {
        buildgrid(side);
        ASSERT_EQ(dc(), 0);
        std::vector<double> x(nunk());
        for (int32_t c = 0; c < nunk(); c++) x[c] = el[yh[c]].re;
        initmat(0, 0, 0);
        EXPECT_LT(scaledresidual(x), 1e-14) << side;
    }
}

// === fast solver against the reference ===
struct solvestate {
    std::vector<sparsel> ent;
    std::vector<int32_t> rows, scratch;
    int32_t code, used;
};

// runs one solver on the stored build; entries beyond the build are poisoned
// so that an entry the reference writes and the fast solver skips shows up
static const int32_t POISONMAX = 1024;  // entries poisoned past the build (the random systems are small)

static int32_t scratchfill;  // changed per comparison: both runs see the same old scratch

static solvestate runsolver(int32_t fast, int32_t cplx, const std::vector<sparsel> &built,
                            const std::vector<int32_t> &heads, int32_t used) {
    const int32_t n = nunk();
    memcpy(el, built.data(), built.size() * sizeof(sparsel));
    const size_t poison = std::min((size_t)elcntmax - built.size(), (size_t)POISONMAX);
    memset(el + built.size(), 0xA5, poison * sizeof(sparsel));
    memcpy(yh, heads.data(), heads.size() * sizeof(int32_t));
    for (int32_t k = 0; k < n; k++) pivorder[k] = scratchfill + k;
    solvestate s;
    if (fast) s.code = (cplx ? smatsolve_comp : smatsolve_real)(yh, el, (int32_t)built.size(), pivorder, n);
    else s.code = refsolve(cplx, yh, (int32_t)built.size(), pivorder, n, &used);
    s.used = used;
    s.ent.assign(el, el + used);
    s.rows.assign(yh, yh + n + 1);
    s.scratch.assign(pivorder, pivorder + n);
    return s;
}

// doubles compared by their bits, except that any NaN equals any NaN: the sign
// and payload of a NaN depend on the operand order the compiler picks
static int32_t samebits(double a, double b) { return !memcmp(&a, &b, sizeof a) || (a != a && b != b); }

static void expectsame(const solvestate &r, const solvestate &f, const char *what) {
    ASSERT_EQ(f.code, r.code) << what;
    for (size_t k = 0; k < r.ent.size(); k++) {
        const sparsel &a = f.ent[k], &b = r.ent[k];
        if (!samebits(a.re, b.re) || !samebits(a.im, b.im) || a.next != b.next || a.col != b.col) {
            ADD_FAILURE() << what << ": entry " << k << " differs: " << a.re << "," << a.im << ","
                          << a.next << "," << a.col << " against " << b.re << "," << b.im << ","
                          << b.next << "," << b.col;
            break;
        }
    }
    EXPECT_EQ(f.rows, r.rows) << what;
    EXPECT_EQ(f.scratch, r.scratch) << what;
}

// the reference and the fast solver on one system; returns the code
static int32_t comparesolve(const std::vector<sparsel> &built, const std::vector<int32_t> &heads, int32_t cplx,
                            const char *what) {
    scratchfill = scratchfill < -1000000 ? 0 : scratchfill - 977;
    solvestate r = runsolver(0, cplx, built, heads, 0);
    solvestate f = runsolver(1, cplx, built, heads, r.used);
    expectsame(r, f, what);
    for (int32_t k = r.used; k < elcntmax && k < (int32_t)built.size() + POISONMAX; k++) {  // nothing written past the reference's end
        unsigned char poison[sizeof(sparsel)];
        memset(poison, 0xA5, sizeof poison);
        if (memcmp(&el[k], poison, sizeof poison)) {
            ADD_FAILURE() << what << ": fast solver wrote entry " << k;
            break;
        }
    }
    return r.code;
}

static int32_t comparebuild(double w, double t, double h, int32_t cplx, const char *what) {
    initmat(w, t, h);
    const int32_t n = nunk();
    std::vector<sparsel> built(el, el + elcnt);
    yh[n] = -5;
    std::vector<int32_t> heads(yh, yh + n + 1);
    return comparesolve(built, heads, cplx, what);
}

static void randomcircuit(std::mt19937 &rng, int32_t maxnodes, int32_t maxwires) {
    static const double vals[] = {1, -1, 2, 0.5, 0, 3, 1e3, 1e-3, 4, -2};
    newcircuit();
    const int32_t nn = 1 + rng() % maxnodes, nw = rng() % (maxwires + 1);
    for (int32_t k = 0; k < nn; k++) nd(k == 0 || rng() % 10 < 2);
    for (int32_t k = 0; k < nw; k++) {
        char letter = "RLCVIEFGHSXTRRRRRRRRCLK"[rng() % 23];
        int32_t i = wr(rng() % nn, rng() % nn, letter, rng() % 3 ? "1" : texts[rng() % 12]);
        wire[i].value = rng() % 4 ? vals[rng() % 10] : (double)(rng() % 20000) / 777.0 - 9;
        capindval[i] = (double)(rng() % 100) / 7.0 - 5;
    }
    for (int32_t i = 0; i < nw; i++) {
        int32_t d = rng() % nw;
        if (maxwires < 20 && rng() % 20 == 0) d = i;  // now and then none chosen
        wire[i].depwire = rng() % 2 ? d : ~d;
    }
}

// initmat against refinitmat from the same random seed: same entries, heads,
// error flag and random draws
static void expectbuildasreference(double w, double t, double h, uint32_t seed) {
    srand(seed), snormstat = 0, globalbad = 7;
    initmat(w, t, h);
    const int32_t n = nunk(), cnt = elcnt, bad = globalbad, draw = rand();
    std::vector<sparsel> got(el, el + cnt);
    std::vector<int32_t> heads(yh, yh + n);
    srand(seed), snormstat = 0, globalbad = 7;
    refinitmat(w, t, h);
    ASSERT_EQ(cnt, elcnt);
    solvestate f{got, heads, {}, 0, 0}, r{std::vector<sparsel>(el, el + elcnt), std::vector<int32_t>(yh, yh + n), {}, 0, 0};
    expectsame(r, f, "build");
    EXPECT_EQ(bad, globalbad);
    EXPECT_EQ(draw, rand());
}

// the build against the plain one: same entries, heads, error flag and random
// draws, over changing times, values and texts of the same circuits
TEST(Initmat, BuildMatchesReferenceBitForBit) {
    std::mt19937 rng(5150);
    static const char *more[] = {"RND", "NRND(0)+1", "T>0.5", "-(T<0.3)"};
    const double builds[][3] = {{0, 0, 0}, {3, 0, 0}, {0, 0.37, 1e-3}, {0.5, 1.5, 0}, {0, 0.2, NAN}, {0, 0.9, 1e-6}};
    for (int32_t it = 0; it < 1500; it++) {
        randomcircuit(rng, it < 1300 ? 7 : 30, it < 1300 ? 10 : 50);
        for (int32_t round = 0; round < 8; round++) {
            for (int32_t i = 0; i < numwires; i++) {
                const uint32_t r = rng() % 16;
                if (r == 0) wiresetnumst(i, more[rng() % 4]);
                else if (r == 1) wiresetnumst(i, texts[rng() % 12]);
                else if (r == 2) capindval[i] = (double)(rng() % 100) / 9.0 - 5;
                else if (r == 3) wire[i].value = (double)(rng() % 7) - 3;
            }
            const double *b = builds[rng() % 6];
            expectbuildasreference(b[0], b[1], b[2], rng());
            if (HasFailure()) return;
            if (rng() % 2) initmat(b[0], b[1], b[2]), solvereal();  // the solver scrambles the store
        }
    }
}

TEST(Sparse, FastSolverMatchesReferenceBitForBit) {
    std::mt19937 rng(2024);
    const double builds[][3] = {{0, 0, 0}, {3, 0, 0}, {0, 0.37, 1e-3}, {0.5, 1.5, 0}, {0, 0.2, NAN}, {1e4, 0, 0}};
    int32_t codes[3] = {0, 0, 0};
    for (int32_t it = 0; it < 4400; it++) {
        if (it < 4000) randomcircuit(rng, 7, 10);
        else randomcircuit(rng, 40, 80);  // longer candidate lists
        for (auto &b : builds)
            for (int32_t cplx = 0; cplx < 2; cplx++) {
                comparebuild(b[0], b[1], b[2], cplx, "random");
                if (HasFailure()) return;
            }
        initmat(0, 0, 0);
        int32_t c = solvereal();
        codes[c == 0 ? 0 : c == 2 ? 2 : 1]++;
    }
    EXPECT_GT(codes[0], 400);  // the mix holds solvable, singular and empty systems
    EXPECT_GT(codes[1], 400);
    EXPECT_GT(codes[2], 100);
}

// a solve of the same structure with new coefficients repeats the last solve's
// steps where the pivots allow, and must still equal the reference exactly
TEST(Sparse, RepeatedStructureWithNewValuesMatchesReference) {
    std::mt19937 rng(77);
    static const double vals[] = {1, -1, 2, 0.5, 3, 1e3, 1e-3, 4, -2, 0};
    for (int32_t it = 0; it < 1500; it++) {
        if (it < 1200) randomcircuit(rng, 7, 12);
        else randomcircuit(rng, 30, 60);
        for (int32_t round = 0; round < 6; round++) {
            for (int32_t i = 0; i < numwires; i++)
                if (wire[i].element != 'S' && rng() % 3 == 0)
                    wire[i].value = rng() % 2 ? vals[rng() % 10] : (double)(rng() % 1000) / 37.0 - 13;
            const double w = round % 2 ? 0 : 2.0 + round;
            comparebuild(w, 0, 0, round % 2 ? 0 : 1, "repeated");
            comparebuild(w, 0, 0, round % 2, "repeated");
            if (HasFailure()) return;
        }
    }
}

TEST(Sparse, FillInGrowingTheStoreMatchesReference) {
    buildgrid(18);
    for (int32_t cplx = 0; cplx < 2; cplx++) {
        free(el), el = nullptr, elcntmax = 0;  // back to the first capacity: fill-in must grow it
        initmat(2, 0, 0);
        ASSERT_EQ(elcntmax, 4096);
        const int32_t n = nunk();
        std::vector<sparsel> built(el, el + elcnt);
        yh[n] = -5;
        std::vector<int32_t> heads(yh, yh + n + 1);
        solvestate r = runsolver(0, cplx, built, heads, 0);
        EXPECT_GT(elcntmax, 4096);
        free(el), el = nullptr, elcntmax = 0;
        checkelcnt(0);
        solvestate f = runsolver(1, cplx, built, heads, r.used);
        expectsame(r, f, "grid");
    }
}

// Builds while the circuit is held still: times (some repeated, some 0),
// steps, omegas and states change, switches follow time-dependent values,
// random texts draw at every build; a solve now and then scrambles the store.
TEST(Initmat, HeldBuildsMatchReference) {
    std::mt19937 rng(99);
    static const char *held[] = {"SIN(0;1;3;0;0)", "T>0.5", "RND", "2*T", "1E3", "PULSE(0;5;0;1;1;2;10)",
                                 "NRND(0)+1", "1/0", "(T<0.3)-0.5", "T*0"};
    static const double ts[] = {0.25, 0.25, 0.6, 0, 0.6, 1.7, 1.7, 0.3};
    for (int32_t it = 0; it < 700; it++) {
        randomcircuit(rng, it < 600 ? 7 : 25, it < 600 ? 12 : 50);
        for (int32_t i = 0; i < numwires; i++)
            if (rng() % 3 == 0) wiresetnumst(i, held[rng() % 10]);
        buildhold(1);
        for (int32_t round = 0; round < 10; round++) {
            const double t = ts[rng() % 8], h = rng() % 3 ? 1e-3 : rng() % 2 ? 0 : 2e-3, w = rng() % 2 ? 0 : 5;
            for (int32_t i = 0; i < numwires; i++)
                if (rng() % 4 == 0) capindval[i] += 0.25;
            expectbuildasreference(w, t, h, rng());
            if (HasFailure()) break;
            if (rng() % 3 == 0) initmat(w, t, h), solvereal();
        }
        buildhold(0);
        if (HasFailure()) return;
    }
}

// === solve sequences ===
// One system after another, each changed from the one before in one way: the
// fast solver keeps the last solve's work and must notice every change, down
// to one bit of one coefficient, and match the reference every time.
enum { SEQSAME, SEQRHS, SEQULP, SEQSIGN, SEQNAN, SEQINF, SEQZERO, SEQIMAG, SEQSWAP, SEQREBUILD, SEQKINDS };
static const char *seqname[SEQKINDS] = {"same", "rhs", "ulp", "sign", "nan", "inf", "zero", "imag", "swap", "rebuild"};

static double oddvalue(std::mt19937 &rng) {
    static const double odd[] = {0.0, -0.0, 1.0, -2.5, 1e300, -1e-310, INFINITY, -INFINITY, NAN, 1e-3};
    return rng() % 4 ? (double)(rng() % 2000) / 37.0 - 27 : odd[rng() % 10];
}

// Changes one coefficient of the matrix part (not the sentinel, not the
// right-hand side) as kind says, every right-hand side for SEQRHS, or the
// order of two rows for SEQSWAP. Returns 1 if the matrix part changed.
static int32_t mutate(std::vector<sparsel> &b, std::vector<int32_t> &heads, int32_t kind, std::mt19937 &rng) {
    const int32_t n = nunk();
    if (kind == SEQSWAP && n > 1) {
        const int32_t i = rng() % n, j = rng() % n;
        std::swap(heads[i], heads[j]);
        return heads[i] != heads[j];
    }
    if (kind == SEQRHS)
        for (sparsel &e : b)
            if (e.col == n) e.re = oddvalue(rng), e.im = rng() % 2 ? e.im : oddvalue(rng);
    if (kind == SEQSAME || kind == SEQRHS || kind == SEQSWAP || b.size() < 2) return 0;
    int32_t e = 0;
    for (int32_t tries = 0; tries < 30 && !e; tries++) {
        const int32_t k = 1 + rng() % (b.size() - 1);
        if (b[k].col < n) e = k;
    }
    if (!e) return 0;
    double &x = kind == SEQIMAG ? b[e].im : b[e].re;
    const double old = x;
    if (kind == SEQULP) x = nextafter(x, rng() % 2 ? INFINITY : -INFINITY);
    if (kind == SEQSIGN) x = -x;
    if (kind == SEQNAN) x = NAN;
    if (kind == SEQINF) x = rng() % 2 ? INFINITY : -INFINITY;
    if (kind == SEQZERO) x = 0;
    if (kind == SEQIMAG) x = nextafter(x, INFINITY);
    return memcmp(&old, &x, sizeof x) != 0;
}

TEST(Sparse, SolveSequencesMatchReference) {
    std::mt19937 rng(4242);
    static const int32_t weights[SEQKINDS] = {3, 7, 2, 1, 1, 1, 1, 1, 1, 2};  // mostly what a transient run does
    int32_t ways[3] = {0, 0, 0};
    for (int32_t it = 0; it < 1200; it++) {
        const int32_t cplx = it % 2;
        double w = cplx ? 2 + rng() % 5 : 0, t = rng() % 2 ? 0 : 0.4, h = t != 0 ? 1e-3 : 0;
        do {  // a solvable start, so that there is work to keep
            if (it < 1000) randomcircuit(rng, 7, 12);
            else randomcircuit(rng, 30, 60);
            initmat(w, t, h);
        } while ((cplx ? solvecomp() : solvereal()) != 0);
        initmat(w, t, h);
        std::vector<sparsel> built(el, el + elcnt);
        yh[nunk()] = -5;
        std::vector<int32_t> heads(yh, yh + nunk() + 1);
        for (int32_t step = 0; step < 14; step++) {
            int32_t kind = 0;
            for (int32_t r = rng() % 20; r >= weights[kind]; kind++) r -= weights[kind];
            if (kind == SEQREBUILD) {  // new values or a new structure
                if (rng() % 2) w += 1, capindval[rng() % (numwires + 1)] += 1;
                else randomcircuit(rng, 7, 12);
                initmat(w, t, h);
                built.assign(el, el + elcnt);
                yh[nunk()] = -5;
                heads.assign(yh, yh + nunk() + 1);
            }
            const int32_t changed = mutate(built, heads, kind, rng);
            comparesolve(built, heads, cplx, seqname[kind]);
            if (changed) {
                EXPECT_NE(solvehow, SOLVERHS) << seqname[kind];
            }
            ways[solvehow]++;
            if (HasFailure()) return;
        }
    }
    EXPECT_GT(ways[SOLVEFULL], 3000);  // every way was taken many times
    EXPECT_GT(ways[SOLVEREPLAY], 2500);
    EXPECT_GT(ways[SOLVERHS], 2500);
}

TEST(Sparse, SolveReuseOffSolvesInFull) {
    buildgrid(4);
    solvereuse = 0;
    for (int32_t k = 0; k < 3; k++) {
        initmat(0, 0, 0);
        ASSERT_EQ(solvereal(), 0);
        EXPECT_EQ(solvehow, SOLVEFULL);
    }
    solvereuse = 1;  // the same system again soon takes the right-hand side alone
    for (int32_t k = 0; k < 3; k++) {
        initmat(0, 0, 0);
        ASSERT_EQ(solvereal(), 0);
    }
    EXPECT_EQ(solvehow, SOLVERHS);
}
