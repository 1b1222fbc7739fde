// test_transient.cpp: the transient columns against analytic responses, the
// initial conditions, the state clamp, and resuming a run across window passes.
#include <gtest/gtest.h>
#include <math.h>
#include <algorithm>
#include <vector>
#include "frame/headless.h"
#include "tranbode.h"

namespace {

const double X = 1e-4, HS = X / 64;  // seconds per column and per sub-step (64 sub-steps)

// V 5 V -> R 1k -> C 1u to ground (tau 1 ms); probe: the C wire, sense +1
int rc(const char *init) {
    tbclear();
    const int g = tbnode(1), n1 = tbnode(0), n2 = tbnode(0);
    tbwire(g, n1, 'V', "5");
    tbwire(n1, n2, 'R', "1000");
    return tbwire(n2, g, 'C', "1E-6", OWNWIRE, init);
}
// V 1 V -> R 10 -> L 10 mH -> T to ground (tau 1 ms); probe: the T, sense -1 (q = I)
int rl(const char *init) {
    tbclear();
    const int g = tbnode(1), n1 = tbnode(0), n2 = tbnode(0), n3 = tbnode(0);
    tbwire(g, n1, 'V', "1");
    tbwire(n1, n2, 'R', "10");
    tbwire(n2, n3, 'L', "0.01", OWNWIRE, init);
    return tbwire(n3, g, 'T', "1");
}
// C 1u from ground to n1 forced to V(n1) - V(ground) = 2, R 1k across; probe: node n1
int rcdecay(const char *init) {
    tbclear();
    const int g = tbnode(1), n1 = tbnode(0);
    tbwire(g, n1, 'C', "1E-6", OWNWIRE, init);
    tbwire(n1, g, 'R', "1000");
    return n1;
}

}  // namespace

// Each sample is the predictor's half-step Euler estimate at a sub-step's
// midpoint: error about (hs/tau)^2 / 8 = 3e-7 of the amplitude, plus the
// midpoint rule's global error t hs^2 / (24 tau^3) and the companion model's
// slope error delta/tau = 1e-4 hs/tau, both below 1e-6 of it: 1e-5 covers them.
TEST(Transient, FollowsTheAnalyticResponse) {
    struct {
        const char *name;
        int (*build)(const char *);
        const char *init;
        int sense;
        double amp;
        double (*q)(double);
    } cases[] = {
        {"rc charge", rc, "0", 1, 5, [](double t) { return 5 * (1 - exp(-t / 1e-3)); }},
        {"rc at the operating point", rc, "", 1, 5, [](double) { return 5.0; }},
        {"rl rise", rl, "0", -1, 0.1, [](double t) { return 0.1 * (1 - exp(-t / 1e-3)); }},
        {"rl forced current", rl, "0.05", -1, 0.1, [](double t) { return 0.1 - 0.05 * exp(-t / 1e-3); }},
        {"forced capacitor", rcdecay, "2", 0, 2, [](double t) { return 2 * exp(-t / 1e-3); }},
    };
    for (const auto &k : cases) {
        tbplot t(PLOT_TRANS, k.build(k.init), k.sense);
        t.rec.xscale = X;
        EXPECT_EQ(transcompute(640, 64, 16, 0), 16) << k.name;
        for (int c = 0; c < 16; c++) {
            const double a = k.q(c * X + HS / 2), b = k.q((c + 1) * X - HS / 2);
            EXPECT_NEAR(-t.rec.colmax[c], std::min(a, b), 1e-5 * k.amp) << k.name << " column " << c;
            EXPECT_NEAR(-t.rec.colmin[c], std::max(a, b), 1e-5 * k.amp) << k.name << " column " << c;
        }
        for (int w = 0; w < numwires; w++)  // the stand-in sources of forced values are undone
            EXPECT_TRUE(!wire[w].initst[0] || wire[w].element == 'C' || wire[w].element == 'L') << k.name;
    }
    EXPECT_DOUBLE_EQ(wire[0].value, 1e-6);  // the forced capacitor's value is back
}

TEST(Transient, UnsolvableCircuitBeepsAndLeavesColumnsWithoutSamples) {
    const int cw = rc("");
    tbnode(0);  // a node no wire touches: undetermined
    tbplot t(PLOT_TRANS, cw, 1);
    t.rec.xscale = X;
    capindval[cw] = 7;
    const int beeps = hl_beeps();
    EXPECT_EQ(transcompute(640, 4, 2, 0), 2);
    EXPECT_EQ(matbad, 1);
    EXPECT_EQ(hl_beeps(), beeps + 1);
    EXPECT_EQ(t.rec.savestate[0], 0.0);  // states start at 0 and no step moves them
    EXPECT_EQ(transbad, 1);
    EXPECT_TRUE(isnan(t.rec.colmin[1]) && isnan(t.rec.colmax[1]));
}

// I source of +-1 A into 1 uF: the state moves 1000 V per 1 ms sub-step.
TEST(Transient, CorrectorClampsTheStateToAMillion) {
    struct {
        const char *amps;
        double start, expect, tol;
    } cases[] = {
        {"1", 999990, 1e6, 0}, {"-1", -999990, -1e6, 0}, {"1", 1e6, 1e6, 0}, {"1", 0, 1000, 1e-3},
    };
    for (const auto &k : cases) {
        tbclear();
        const int g = tbnode(1), n1 = tbnode(0);
        tbwire(g, n1, 'I', k.amps);
        const int cw = tbwire(n1, g, 'C', "1E-6");
        gplot = nullptr;
        transcollect();
        capindval[cw] = k.start;
        EXPECT_EQ(transsubstep(0.5e-3, 1e-3 * 1e-4), 0);
        EXPECT_NEAR(capindval[cw], k.expect, k.tol) << k.amps << " from " << k.start;
    }
}

// One long run against the same run in growing pieces, with another window's
// run between the pieces (capindval is shared: each window keeps its own state).
TEST(Transient, ResumingAcrossPassesGivesTheSameColumns) {
    tbclear();
    const int g = tbnode(1), n1 = tbnode(0), n2 = tbnode(0), n3 = tbnode(0);
    tbwire(g, n1, 'V', "PULSE(0;5;1E-4;2E-4;2E-4;5E-4;2E-3)");
    tbwire(n1, n2, 'R', "1000");
    const int c1 = tbwire(n2, g, 'C', "1E-6");
    tbwire(n2, n3, 'L', "0.1", OWNWIRE, "0.001");
    tbwire(n3, g, 'R', "300");
    const int ncols = 40;
    tbplot whole(PLOT_TRANS, c1, 1), piece(PLOT_TRANS, c1, 1), other(PLOT_TRANS, n3, 0);
    whole.rec.xscale = piece.rec.xscale = X;
    other.rec.xscale = 3 * X;
    gplot = &whole.rec;
    transcompute(640, 16, ncols, 0);
    for (int chunk = 1; piece.rec.numcols < ncols; chunk++) {
        gplot = &piece.rec;
        transcompute(640, 16, std::min(piece.rec.numcols + chunk, ncols), 0);
        gplot = &other.rec;
        transcompute(640, 16, other.rec.numcols + 2, 0);
    }
    for (int c = 0; c < ncols; c++) {
        EXPECT_EQ(piece.rec.colmin[c], whole.rec.colmin[c]) << "column " << c;
        EXPECT_EQ(piece.rec.colmax[c], whole.rec.colmax[c]) << "column " << c;
    }
}

// V = T into R: one sub-step samples the column midpoint; a full buffer stops
// the run until the base slides; a reset request starts again at t = 0.
TEST(Transient, ColumnBookkeeping) {
    tbclear();
    const int g = tbnode(1), n1 = tbnode(0);
    tbwire(g, n1, 'V', "T");
    tbwire(n1, g, 'R', "1");
    tbplot t(PLOT_TRANS, n1, 0);
    t.rec.xscale = 0.25;
    transcompute(1, 1, 1 << 30, 0);
    EXPECT_EQ(t.rec.numcols, 4 * 2048);
    EXPECT_EQ(t.rec.colmin[5], t.rec.colmax[5]);
    EXPECT_EQ(-t.rec.colmin[5], 5.5 * 0.25);
    EXPECT_EQ(transcompute(1, 1, 1 << 30, 0), 0);
    t.rec.basecol = t.rec.numcols;
    EXPECT_EQ(transcompute(1, 1, t.rec.numcols + 3, 0), 3);
    EXPECT_EQ(-t.rec.colmin[0], (t.rec.basecol + 0.5) * 0.25);  // slot 0 holds column basecol
    t.rec.inwire = -1;
    t.rec.firstcol = 50;
    EXPECT_EQ(transcompute(640, 1, 1, 0), 1);
    EXPECT_EQ(t.rec.inwire, 0);
    EXPECT_EQ(t.rec.firstcol, -2);
    EXPECT_EQ(t.rec.basecol, 0);
    EXPECT_EQ(-t.rec.colmin[0], 0.5 * 0.25);
}

// V 3 V -> R1 1k -> T -> R2 2k -> ground: 1 mA, V(n1) = 3, V(n2) = V(n3) = 2.
TEST(Transient, ProbeModesShowTheirQuantity) {
    tbclear();
    const int g = tbnode(1), n1 = tbnode(0), n2 = tbnode(0), n3 = tbnode(0);
    const int vw = tbwire(g, n1, 'V', "3"), r1 = tbwire(n1, n2, 'R', "1000");
    const int tw = tbwire(n2, n3, 'T', "1");
    tbwire(n3, g, 'R', "2000");
    struct {
        int index, sense;
        double q;
    } cases[] = {{n1, 0, 3}, {n3, 0, 2}, {r1, 1, 1}, {r1, -1, -1}, {vw, 1, -3}, {tw, 1, -0.001}, {tw, -1, 0.001}};
    for (const auto &k : cases) {
        tbplot t(PLOT_TRANS, k.index, k.sense);
        t.rec.xscale = X;
        transcompute(640, 1, 1, 0);
        EXPECT_NEAR(-t.rec.colmin[0], k.q, 1e-12) << k.index << " sense " << k.sense;
    }
}

// === reuse ===
namespace {

// a source into a 6-section ladder of series R and shunt C; extra shapes the
// middle of the circuit so that each case reaches another way of reuse
int ladder(const char *src, const char *series, int extra) {
    tbclear();
    const int g = tbnode(1);
    int p = tbnode(0), probe = -1;
    tbwire(g, p, 'V', src);
    for (int k = 0; k < 6; k++) {
        const int q = tbnode(0);
        tbwire(p, q, 'R', k == 2 ? series : "1000");
        probe = tbwire(q, g, k == 4 ? 'L' : 'C', k == 4 ? "0.05" : "1E-6", OWNWIRE, k == 1 ? "0.5" : "");
        p = q;
    }
    if (extra == 1) {  // a switch that opens now and then onto a lone connection: singular sub-steps
        const int a = tbnode(0), b = tbnode(0);
        tbwire(p, a, 'S', "SIN(0;1;3000;0;0)");
        tbwire(a, b, 'T', "1");
    }
    if (extra == 2) tbwire(p, g, 'G', "1E-3+RND*1E-4", 1);  // a noisy current controlled by wire 1
    return probe;
}

}  // namespace

// The same runs with every reuse off (each build and solve from scratch):
// columns, states and codes the same bit for bit.
TEST(Transient, ReuseChangesNoBit) {
    struct {
        const char *name, *src, *series;
        int extra;
    } cases[] = {
        {"constant matrix", "PULSE(0;1;1E-4;1E-4;1E-4;4E-4;1E-3)", "2200", 0},
        {"matrix moving with t", "SIN(0;2;1000;0;0)", "1000+1E6*T", 0},
        {"switch and singular steps", "5", "470", 1},
        {"random draws", "NRND(0)", "330", 2},
    };
    for (const auto &k : cases) {
        int probe = ladder(k.src, k.series, k.extra);
        std::vector<double> got[2][3];
        int bad[2];
        for (int reuse = 1; reuse >= 0; reuse--) {
            solvereuse = reuse;
            srand(77);
            snormstat = 0;
            tbplot t(PLOT_TRANS, probe, 1);
            t.rec.xscale = 2e-5;
            EXPECT_EQ(transcompute(640, 16, 48, 0), 48) << k.name;
            bad[reuse] = transbad;
            got[reuse][0].assign(t.rec.colmin, t.rec.colmin + 48);
            got[reuse][1].assign(t.rec.colmax, t.rec.colmax + 48);
            got[reuse][2].assign(t.rec.savestate, t.rec.savestate + numcl);
        }
        solvereuse = 1;
        EXPECT_EQ(bad[1], bad[0]) << k.name;
        EXPECT_EQ(bad[1] != 0, k.extra == 1) << k.name;
        for (int a = 0; a < 3; a++)
            EXPECT_EQ(0, memcmp(got[1][a].data(), got[0][a].data(), got[0][a].size() * sizeof(double)))
                << k.name << " array " << a;
    }
}
