// test_transient.cpp: the transient columns against analytic responses and
// initial conditions, a failed sub-step, a run cut by its deadline, and the
// same columns with every reuse of earlier builds and solves off.
#include <gtest/gtest.h>
#include <math.h>
#include <algorithm>
#include "tests/testcircuit.h"

static const double X = 1e-4, HS = X / 64;  // seconds per column and per sub-step (64 sub-steps)

#define RC "g.. V01:5 R12:1000 C20:1E-6"      // tau 1 ms; probe: the C, sense +1
#define RL "g... V01:1 R12:10 T30:1 L23:0.01"  // tau 1 ms; probe: the T, sense -1 (q = I)

// Each sample is the predictor's half-step Euler estimate at a sub-step's
// midpoint: error about (hs/tau)^2 / 8 = 3e-7 of the amplitude, plus the
// midpoint rule's global error t hs^2 / (24 tau^3) and the companion model's
// slope error delta/tau = 1e-4 hs/tau, both below 1e-6 of it: 1e-5 covers them.
TEST(Transient, FollowsTheAnalyticResponse) {
    const struct { const char *circuit; int probe, sense; double amp; double (*q)(double); } cases[] = {
        {RC "=0", 2, 1, 5, [](double t) { return 5 * (1 - exp(-t / 1e-3)); }},
        {RC, 2, 1, 5, [](double) { return 5.0; }},  // from the operating point
        {RL "=0", 2, -1, 0.1, [](double t) { return 0.1 * (1 - exp(-t / 1e-3)); }},
        {RL "=0.05", 2, -1, 0.1, [](double t) { return 0.1 - 0.05 * exp(-t / 1e-3); }},
        {"g. C01:1E-6=2 R10:1000", 1, 0, 2, [](double t) { return 2 * exp(-t / 1e-3); }},
    };
    for (const auto &k : cases) {
        tcbuild(k.circuit);
        tcplot t(k.probe, k.sense, X);
        EXPECT_EQ(transcompute(&t.rec, 640, 64, 16, nullptr, 0), 0) << k.circuit;
        EXPECT_EQ(t.rec.numcols, 16) << k.circuit;
        EXPECT_EQ(t.rec.clamped, 0) << k.circuit;
        for (int c = 0; c < 16; c++) {
            const double a = k.q(c * X + HS / 2), b = k.q((c + 1) * X - HS / 2);
            EXPECT_NEAR(-t.rec.colmax[c], std::min(a, b), 1e-5 * k.amp) << k.circuit << " column " << c;
            EXPECT_NEAR(-t.rec.colmin[c], std::max(a, b), 1e-5 * k.amp) << k.circuit << " column " << c;
        }
        for (int w = 0; w < numwires; w++)  // the stand-in sources of forced values are undone
            EXPECT_TRUE(!wire[w].initst[0] || wire[w].element == 'C' || wire[w].element == 'L') << k.circuit;
    }
    EXPECT_DOUBLE_EQ(wire[0].value, 1e-6);  // the forced capacitor's value is back
}

// Sub-steps far longer than the circuit's time constant make the explicit
// steps run away until the states reach their bound: the run is marked (the
// window and veltocli say so), and starting again at a fine scale clears it.
TEST(Transient, ARunawayRunIsMarked) {
    tcbuild(RC "=0");
    tcplot t(2, 1, 1.0);  // a thousand time constants a sub-step
    transcompute(&t.rec, 640, 1, 64, nullptr, 0);
    EXPECT_EQ(t.rec.clamped, 1);
    t.rec.xscale = X;
    transrestart(&t.rec);
    transcompute(&t.rec, 640, 64, 16, nullptr, 0);
    EXPECT_EQ(t.rec.clamped, 0);
}

// The initial-condition solve is the run's own: matbad keeps the DC solve's
// code, which the schematic shows, whatever that solve finds. A capacitor
// forced to 0 V across the source makes it unsolvable; one forced over two
// in series fixes their floating middle.
TEST(Transient, TheInitialSolveLeavesTheDcCodeAlone) {
    const struct { const char *circuit; int32_t dc, init; } cases[] = {
        {"g. V01:5 C10:1E-6=0 R10:1000", SOLVED, SOLVEWIRE},
        {"g.. V01:5 C12:1E-6=1 C20:1E-6", SOLVENODE, SOLVED},
    };
    for (const auto &k : cases) {
        tcbuild(k.circuit);
        matbad = dcsolve();
        EXPECT_EQ(matbad, k.dc) << k.circuit;
        tcplot t(1, 1, X);
        EXPECT_EQ(transcompute(&t.rec, 640, 64, 4, nullptr, 0), k.init) << k.circuit;
        EXPECT_EQ(matbad, k.dc) << k.circuit;
    }
}

// A switch whose state draws a random number can be closed for one of the two
// solves of a sub-step and open (node 2 floats) for the other. Either way the
// sub-step fails and leaves the state where it was.
TEST(Transient, FailedSubstepLeavesTheStateAlone) {
    tcbuild("g.. I01:1 C10:1E-6 S12:RND-0.5");
    transcollect(nullptr);
    for (int predictorcloses = 0; predictorcloses < 2; predictorcloses++) {
        unsigned seed = 1;
        for (;; seed++) {  // the first seed whose two draws give the states wanted
            srand(seed);
            const bool a = rand() / 2147483647.0 > 0.5, b = rand() / 2147483647.0 > 0.5;
            if (a == (predictorcloses == 1) && b != a) break;
        }
        srand(seed);
        capindval[1] = 3;
        EXPECT_NE(transsubstep(0.5e-3, 1e-3 * TRANSPROBE), 0) << predictorcloses;
        EXPECT_EQ(capindval[1], 3) << predictorcloses;
    }
}

// A clock that runs out at every k-th reading cuts a run every 16 k sub-steps,
// mostly inside a column, with another window's run between the calls: the
// columns are those of the uncut run bit for bit.
TEST(Transient, DeadlinesInsideColumnsLeaveThemUnchanged) {
    tcbuild("g... V01:PULSE(0;5;1E-4;2E-4;2E-4;5E-4;2E-3) R12:1000 C20:1E-6 L23:0.1=0.001 R30:300");
    const int ncols = 40;
    static int reads, every;
    for (int samps : {5, 64})
        for (int k : {1, 3}) {
            tcplot whole(2, 1, X), cut(2, 1, X), other(3, 0, 3 * X);
            transcompute(&whole.rec, 640, samps, ncols, nullptr, 0);
            reads = 0, every = k;
            int calls = 0;
            for (; cut.rec.numcols < ncols && calls < 10000; calls++) {
                transcompute(&cut.rec, 640, samps, ncols, [] { return ++reads % every ? 0.0 : 1.0; }, 1.0);
                transcompute(&other.rec, 640, 7, other.rec.numcols + 1, nullptr, 0);
            }
            EXPECT_EQ(calls, (ncols * samps + 16 * k - 1) / (16 * k)) << samps << " " << k;
            for (int c = 0; c < ncols; c++) {
                EXPECT_EQ(cut.rec.colmin[c], whole.rec.colmin[c]) << samps << " " << k << " column " << c;
                EXPECT_EQ(cut.rec.colmax[c], whole.rec.colmax[c]) << samps << " " << k << " column " << c;
            }
        }
}

// The same runs with every reuse off (each build and solve from scratch):
// columns, states and codes the same bit for bit. A 6-section RC ladder with
// an L and a forced C, changed so that each case reaches another way of reuse.
#define LADDER(nodes, src, series)                                                                     \
    nodes " V01:" src " R12:1000 C20:1E-6 R23:1000 C30:1E-6=0.5 R34:" series " C40:1E-6 R45:1000 C50:1E-6" \
          " R56:1000 L60:0.05 R67:1000 C70:1E-6"
TEST_F(Reuse, TransientColumnsChangeNoBit) {
    const char *cases[] = {
        LADDER("g.......", "PULSE(0;1;1E-4;1E-4;1E-4;4E-4;1E-3)", "2200"),  // a constant matrix
        LADDER("g.......", "SIN(0;2;1000;0;0)", "1000+1E6*T"),             // the matrix moving with t
        LADDER("g.........", "5", "470") " S78:SIN(0;1;3000;0;0) T89:1",    // a switch: singular steps
        LADDER("g.......", "NRND(0)", "330") " G70:1E-3+RND*1E-4@1",        // random draws
    };
    for (const char *k : cases) {
        tcbuild(k);
        std::vector<double> got[2][3];
        int bad[2];
        for (int reuse = 1; reuse >= 0; reuse--) {
            solvereuse = reuse;
            srand(77);
            snormstat = 0;
            tcplot t(12, 1, 2e-5);
            transcompute(&t.rec, 640, 16, 48, nullptr, 0);
            EXPECT_EQ(t.rec.numcols, 48) << k;
            bad[reuse] = transbad;
            got[reuse][0].assign(t.rec.colmin, t.rec.colmin + 48);
            got[reuse][1].assign(t.rec.colmax, t.rec.colmax + 48);
            got[reuse][2].assign(t.rec.savestate, t.rec.savestate + numcl);
        }
        EXPECT_EQ(bad[1], bad[0]) << k;
        EXPECT_EQ(bad[1] != 0, strstr(k, " S78") != nullptr) << k;
        for (int a = 0; a < 3; a++)
            EXPECT_EQ(0, memcmp(got[1][a].data(), got[0][a].data(), got[0][a].size() * sizeof(double)))
                << k << " array " << a;
    }
}
