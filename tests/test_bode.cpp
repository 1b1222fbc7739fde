// test_bode.cpp: the Bode columns against analytic transfer functions (gain
// and phase) in voltage and current mode, and the window's columns.
#include <gtest/gtest.h>
#include <math.h>
#include <complex>
#include "tests/testcircuit.h"

typedef std::complex<double> cx;

#define RC "g.. V01:1 R12:1000 C20:1E-6"  // low-pass; out: the C, sense +1

static cx rc(double w) { return 1.0 / cx(1, w * 1e-3); }

static const struct bodecase { const char *circuit; int in, out, sense; cx (*h)(double); } cases[] = {
    {RC, 0, 2, 1, rc},
    // a source input is its transfer function whatever its value at t = 0,
    // and the other sources add nothing to it
    {"g.. V01:SIN(0;1;1000;0;0) R12:1000 C20:1E-6", 0, 2, 1, rc},
    {"g.. V01:PULSE(0;1;0.001;1E-4;1E-4;0.004;0.01) R12:1000 C20:1E-6", 0, 2, 1, rc},
    {"g.. V01:1 R12:1000 C20:1E-6 I02:0.001", 0, 2, 1, rc},
    // RLC, the C from ground first, so sense -1 reads V(3)
    {"g... V01:2 R12:100 L23:0.01 C03:1E-6", 0, 3, -1, [](double w) { return 1.0 / cx(1 - w * w * 1e-8, w * 1e-4); }},
    // a T probed as a wire compares currents
    {"g.. V01:1 T12:1 R20:50 C20:1E-3", 0, 1, 1, [](double) { return cx(-1, 0); }},
    {"g.. V01:1 T12:1 R20:50 C20:1E-3", 0, 1, -1, [](double) { return cx(1, 0); }},
    // 2 mA into R 1k || C 1u, the node voltage over the current: an impedance
    {"g. I01:0.002 R10:1000 C10:1E-6", 0, 1, 0, [](double w) { return 1000.0 / cx(1, w * 1e-3); }},
    // an X from node 1 to ground reads V(ground) - V(1) = -1; divider 1k/3k
    {"g.. V01:1 X10:1 R12:1000 R20:3000", 1, 2, 0, [](double) { return cx(-0.75, 0); }},
};

TEST(Bode, MatchesTheTransferFunction) {
    for (const bodecase &k : cases) {
        tcbuild(k.circuit);
        for (double w : {1.0, 300.0, 1e4, 3e4, 1e7}) {
            bodepoint bp;
            ASSERT_EQ(bodesolve(w, k.in, k.out, k.sense, &bp), 0) << k.circuit;
            const cx h = k.h(w);
            EXPECT_NEAR(bp.gain, log(std::norm(h)), 1e-9) << k.circuit << " omega " << w;
            EXPECT_NEAR(remainder(bp.phase - std::arg(h), TWOPI), 0, 1e-9) << k.circuit << " omega " << w;
            EXPECT_TRUE(bp.phase >= 0 && bp.phase < TWOPI) << k.circuit << " omega " << w;
        }
    }
}

TEST(BodeColumns, ComputeColumnsPastTheMarginAndRetryFailedOnes) {
    tcbuild(RC);
    tcplot p(2, 1);
    EXPECT_EQ(bodecolumns(&p.rec, 300, nullptr, 0), 0);
    for (int c = 0; c < 300; c += 11) {
        bodepoint bp;
        if (c < BODEMARGIN) {
            EXPECT_EQ(p.rec.colmax[c], -1.0);
            continue;
        }
        ASSERT_EQ(bodesolve(pow(10.0, -3 + c * 10.0 / 300), 0, 2, 1, &bp), 0);
        EXPECT_EQ(p.rec.colmin[c], bp.gain);
        EXPECT_EQ(p.rec.colmax[c], bp.phase);
    }
    tcnode(0);  // unsolvable: every column stays not computed
    bodeclear(&p.rec);
    EXPECT_EQ(bodecolumns(&p.rec, 300, nullptr, 0), 300 - BODEMARGIN);
    EXPECT_EQ(p.rec.colmax[100], -1.0);
    tcplot empty(2, 1);  // a view with no columns computes nothing
    EXPECT_EQ(bodecolumns(&empty.rec, 0, nullptr, 0), 0);
    tcbuild("g.g I01:-1 N10:1+V*V");  // no operating point: searched for once, until the circuit changes
    tcplot nop(1, 1);
    EXPECT_EQ(bodecolumns(&nop.rec, 300, nullptr, 0), 300 - BODEMARGIN);
    const uint32_t before = buildcount;
    EXPECT_EQ(bodecolumns(&nop.rec, 300, nullptr, 0), 300 - BODEMARGIN);
    EXPECT_EQ(buildcount, before);
    bodeclear(&nop.rec);
    EXPECT_EQ(bodecolumns(&nop.rec, 300, nullptr, 0), 300 - BODEMARGIN);
    EXPECT_GT(buildcount, before);
}

// A clock that has always run out: each call computes one batch, left to
// right, and the pieces make the bits of one whole call. A diode's sweep
// finds its operating point once, in its first call, however a transient
// window's sub-steps move the iterate between the calls (its columns then
// differ from a sweep begun elsewhere only by where the Newton iteration
// stopped).
TEST(BodeColumns, ACallCutByItsDeadlineGoesOnWhereItStopped) {
    for (const char *circuit : {RC, "g.. V01:1 R12:1000 D20:1E-14;1;;;10N C20:1U"}) {
        tcbuild(circuit);
        transcollect(nullptr);
        tcplot whole(2, 1), cut(2, 1);
        uint32_t before = buildcount;
        ASSERT_EQ(bodecolumns(&whole.rec, 300, nullptr, 0), 0) << circuit;
        const uint32_t wholebuilds = buildcount - before;
        EXPECT_EQ(whole.rec.swept, 1);
        uint32_t cutbuilds = 0;
        int32_t calls = 0, done = BODEMARGIN;
        for (; !cut.rec.swept && calls < 300; calls++) {
            before = buildcount;
            ASSERT_EQ(bodecolumns(&cut.rec, 300, [] { return 1.0; }, 0), 0) << circuit;
            cutbuilds += buildcount - before;
            const int32_t was = done;
            while (done < 300 && cut.rec.colmax[done] >= 0) done++;
            EXPECT_TRUE(done > was && done - was <= BATCHMAX) << calls;
            for (int32_t c = done; c < 300; c++) ASSERT_EQ(cut.rec.colmax[c], -1.0) << calls;
            ASSERT_EQ(transsubstep(1e-3 * (calls + 1), 1e-3), SOLVED) << circuit;
        }
        EXPECT_EQ(done, 300);
        EXPECT_LE(cutbuilds, wholebuilds) << circuit << ": a build a column, the operating point once";
        for (int32_t c = BODEMARGIN; c < 300; c++) {
            const double tol = circuit == std::string(RC) ? 0 : 1e-9;
            ASSERT_NEAR(cut.rec.colmin[c], whole.rec.colmin[c], tol * fabs(whole.rec.colmin[c])) << c;
            ASSERT_NEAR(cut.rec.colmax[c], whole.rec.colmax[c], tol * fabs(whole.rec.colmax[c])) << c;
        }
    }
}

// Columns with every reuse off (each build and solve from scratch, one by
// one) are the same bit for bit, a further trace's too (with reuse they
// are solved in batches).
TEST_F(Reuse, BodeColumnsChangeNoBit) {
    for (const bodecase &k : cases) {
        tcbuild(k.circuit);
        std::vector<double> got[2][4];
        for (int reuse = 1; reuse >= 0; reuse--) {
            solvereuse = reuse;
            tcplot p(k.out, k.sense);
            p.rec.inwire = k.in;
            ASSERT_EQ(traceadd(&p.rec, 1, 0), 0);  // node 1
            EXPECT_EQ(bodecolumns(&p.rec, 500, nullptr, 0), 0);
            got[reuse][0].assign(p.rec.colmin, p.rec.colmin + 500);
            got[reuse][1].assign(p.rec.colmax, p.rec.colmax + 500);
            got[reuse][2].assign(p.rec.extra[0].colmin, p.rec.extra[0].colmin + 500);
            got[reuse][3].assign(p.rec.extra[0].colmax, p.rec.extra[0].colmax + 500);
        }
        for (int a = 0; a < 4; a++)
            EXPECT_EQ(0, memcmp(got[1][a].data(), got[0][a].data(), 500 * sizeof(double)))
                << k.circuit << " array " << a;
    }
}
