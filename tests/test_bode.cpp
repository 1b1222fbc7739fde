// test_bode.cpp: the Bode columns against analytic transfer functions (gain
// and phase) in voltage and current mode, and the per-window column cache.
#include <gtest/gtest.h>
#include <math.h>
#include <complex>
#include <vector>
#include "tranbode.h"

namespace {

typedef std::complex<double> cx;

struct probe {
    int in, out, sense;
};

// V source (input) -> R 1k -> C 1u to ground; out: the C, sense +1
probe rclowpass(void) {
    tbclear();
    const int g = tbnode(1), n1 = tbnode(0), n2 = tbnode(0);
    ibodewire = tbwire(g, n1, 'V', "1");
    tbwire(n1, n2, 'R', "1000");
    return probe{ibodewire, tbwire(n2, g, 'C', "1E-6"), 1};
}
// V 2 V -> R 100 -> L 10 mH -> C 1u (ground first, so sense -1 reads V(n3))
probe rlcseries(void) {
    tbclear();
    const int g = tbnode(1), n1 = tbnode(0), n2 = tbnode(0), n3 = tbnode(0);
    const int v = tbwire(g, n1, 'V', "2");
    tbwire(n1, n2, 'R', "100");
    tbwire(n2, n3, 'L', "0.01");
    return probe{v, tbwire(g, n3, 'C', "1E-6"), -1};
}
// V -> T -> R 50 || C 1 mF: a T probed as a wire compares currents
probe tseries(int sense) {
    tbclear();
    const int g = tbnode(1), n1 = tbnode(0), n2 = tbnode(0);
    const int v = tbwire(g, n1, 'V', "1"), t = tbwire(n1, n2, 'T', "1");
    tbwire(n2, g, 'R', "50");
    tbwire(n2, g, 'C', "1E-3");
    return probe{v, t, sense};
}
// I source 2 mA into R 1k || C 1u, out: the node voltage (an impedance)
probe isource(void) {
    tbclear();
    const int g = tbnode(1), n1 = tbnode(0);
    const int i = tbwire(g, n1, 'I', "0.002");
    tbwire(n1, g, 'R', "1000");
    tbwire(n1, g, 'C', "1E-6");
    return probe{i, n1, 0};
}
// V 1 V; an X from n1 to ground reads V(ground) - V(n1) = -1; divider 1k/3k
probe xinput(void) {
    tbclear();
    const int g = tbnode(1), n1 = tbnode(0), n2 = tbnode(0);
    tbwire(g, n1, 'V', "1");
    const int x = tbwire(n1, g, 'X', "1");
    tbwire(n1, n2, 'R', "1000");
    tbwire(n2, g, 'R', "3000");
    return probe{x, n2, 0};
}

}  // namespace

TEST(Bode, MatchesTheTransferFunction) {
    struct {
        const char *name;
        probe (*build)(void);
        cx (*h)(double);
    } cases[] = {
        {"rc low-pass", rclowpass, [](double w) { return 1.0 / cx(1, w * 1e-3); }},
        {"rlc series", rlcseries, [](double w) { return 1.0 / cx(1 - w * w * 1e-8, w * 1e-4); }},
        {"T current, sense +1", [] { return tseries(1); }, [](double) { return cx(-1, 0); }},
        {"T current, sense -1", [] { return tseries(-1); }, [](double) { return cx(1, 0); }},
        {"I source input", isource, [](double w) { return 1000.0 / cx(1, w * 1e-3); }},
        {"X input", xinput, [](double) { return cx(-0.75, 0); }},
    };
    for (const auto &k : cases) {
        const probe p = k.build();
        for (double w : {1.0, 300.0, 1e4, 3e4, 1e7}) {
            bodepoint bp;
            ASSERT_EQ(bodesolve(w, p.in, p.out, p.sense, &bp), 0) << k.name;
            const cx h = k.h(w);
            EXPECT_NEAR(bp.gain, log(std::norm(h)), 1e-9) << k.name << " omega " << w;
            EXPECT_NEAR(remainder(bp.phase - std::arg(h), 2 * M_PI), 0, 1e-9) << k.name << " omega " << w;
            EXPECT_TRUE(bp.phase >= 0 && bp.phase < 2 * M_PI) << k.name << " omega " << w;
        }
    }
}

TEST(Bode, ZeroOrUnsolvedPointsAreMarked) {
    const probe p = rclowpass();
    bodepoint bp;
    ASSERT_EQ(bodesolve(10, p.in, 0, 0, &bp), 0);  // node 0 is grounded: no gain
    EXPECT_EQ(bp.gain, BODENOGAIN);
    EXPECT_EQ(bodesolve(10, 7, p.out, 1, &bp), -1);  // no input wire 7
    tbnode(0);
    EXPECT_EQ(bodesolve(10, p.in, p.out, 1, &bp), 1);
}

TEST(BodeColumns, ResetComputesColumnsPastTheMargin) {
    const probe q = rclowpass();
    tbplot p(PLOT_BODE, q.out, 1);
    bodeprepare(300, 200);
    EXPECT_EQ(p.rec.phaseoffs, 0x8000);
    EXPECT_DOUBLE_EQ(p.rec.dbscale, -(0.6 * 200) / 120);
    EXPECT_EQ(bodecolumns(300), 0);
    for (int c = 0; c < 300; c += 11) {
        bodepoint bp;
        if (c < BODEMARGIN) {
            EXPECT_EQ(p.rec.colmax[c], -1.0);
            continue;
        }
        ASSERT_EQ(bodesolve(pow(10.0, -3 + c * 10.0 / 300), 0, q.out, 1, &bp), 0);
        EXPECT_EQ(p.rec.colmin[c], bp.gain);
        EXPECT_EQ(p.rec.colmax[c], bp.phase);
    }
    const double rad = bodeomega(123, 300);
    p.rec.hertz = 1;
    EXPECT_DOUBLE_EQ(bodeomega(123, 300), rad * 2 * M_PI);
    tbnode(0);  // unsolvable: every column stays not computed
    p.rec.phaseoffs = -1;
    bodeprepare(300, 200);
    EXPECT_EQ(bodecolumns(300), 300 - BODEMARGIN);
    EXPECT_EQ(p.rec.colmax[100], -1.0);
}

// Window a is drawn at width 300, window b at 400, then a is resized to 400:
// its columns must be those of width 400, not the cached width-300 ones.
TEST(BodeColumns, ResizedWindowRecomputesForItsNewWidth) {
    const probe q = rclowpass();
    tbplot a(PLOT_BODE, q.out, 1), b(PLOT_BODE, q.out, 1);
    const struct {
        plottype *p;
        int xdim;
    } passes[] = {{&a.rec, 300}, {&b.rec, 400}, {&a.rec, 400}};
    tbplot empty(PLOT_BODE, q.out, 1);  // a view with no columns computes nothing
    bodeprepare(0, 0);
    EXPECT_EQ(bodecolumns(0), 0);
    for (const auto &s : passes) {
        gplot = s.p;
        bodeprepare(s.xdim, 200);
        bodecolumns(s.xdim);
    }
    for (int c = BODEMARGIN; c < 400; c += 29) EXPECT_EQ(a.rec.colmax[c], b.rec.colmax[c]) << "column " << c;
}

// Columns with every reuse off (each build and solve from scratch) are the
// same bit for bit.
TEST(BodeColumns, ReuseChangesNoBit) {
    probe (*builds[])(void) = {rclowpass, rlcseries, isource, xinput};
    for (auto build : builds) {
        const probe q = build();
        std::vector<double> got[2][2];
        for (int reuse = 1; reuse >= 0; reuse--) {
            solvereuse = reuse;
            tbplot p(PLOT_BODE, q.out, q.sense);
            p.rec.inwire = q.in;
            bodeprepare(500, 200);
            EXPECT_EQ(bodecolumns(500), 0);
            got[reuse][0].assign(p.rec.colmin, p.rec.colmin + 500);
            got[reuse][1].assign(p.rec.colmax, p.rec.colmax + 500);
        }
        solvereuse = 1;
        for (int a = 0; a < 2; a++)
            EXPECT_EQ(0, memcmp(got[1][a].data(), got[0][a].data(), 500 * sizeof(double))) << q.in << " array " << a;
    }
}
