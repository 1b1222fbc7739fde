// test_nonlinear.cpp: diodes and N elements: the DC answer of a diode and a
// resistor against the Lambert W solution, circuits against ngspice on the
// netlist veltocli spice writes (DC, transient, small-signal AC; skipped
// where ngspice is not installed), and what bad texts and circuits without a
// solution report.
#include <gtest/gtest.h>
#include <math.h>
#include "tests/testcircuit.h"

namespace {

double solvednode(int n) { return el[yh[numwires + n]].re; }

// Lambert W of x > 0 by Newton's iteration on w e^w = x, in logarithms so
// that a huge x does not overflow: ln x given
double lambertw_ln(double lnx) {
    double w = lnx > 1 ? lnx - log(lnx) : 0.5;
    for (int k = 0; k < 60; k++) w -= (w + log(w) - lnx) / (1 + 1 / w);
    return w;
}

// ngspice's run of the circuit in memory: the deck veltocli writes, tight
// tolerances, then the control lines; the rows wrdata wrote. Empty when
// ngspice is not installed.
std::vector<std::vector<double>> ngspice(const std::string &control) {
    std::vector<std::vector<double>> rows;
    if (system("command -v ngspice >/dev/null 2>&1") != 0) return rows;
    savevsm(tctmp("ng.vsm").c_str());
    if (system((std::string(VELTOCLI) + " spice " + tctmp("ng.vsm") + " >" + tctmp("ng.cir")).c_str()) != 0)
        return rows;
    std::string deck = tcread(tctmp("ng.cir"));
    deck.replace(deck.find("\n.op\n"), 5, "\n.options reltol=1e-9 abstol=1e-15 vntol=1e-12\n");
    deck.erase(deck.rfind(".end"));
    deck += ".control\nset filetype=ascii\nset numdgt=15\noption numdgt=15\nset wr_singlescale\n" + control +
            " \n.endc\n.end\n";
    std::ofstream(tctmp("run.cir")) << deck;
    remove(tctmp("ng.txt").c_str());
    if (system(("cd " + tctmp("") + " && ngspice -b run.cir >ng.log 2>&1").c_str()) < 0) return rows;
    std::istringstream in(tcread(tctmp("ng.txt")));
    for (std::string line; std::getline(in, line);) {
        std::istringstream ls(line);
        std::vector<double> r;
        for (double v; ls >> v;) r.push_back(v);
        if (!r.empty()) rows.push_back(r);
    }
    return rows;
}

}  // namespace

// === DC ===
// V -> R -> D to ground: I = (n vt / R) W(IS R / (n vt) e^((V + IS R) / (n vt))) - IS,
// gmin's 1e-12 S left out (below 1e-9 of the current). Re-solving after a small
// edit starts from the last answer and takes a few iterations.
TEST(Nonlinear, DiodeAndResistorAgreeWithLambertW) {
    const struct { double v, r; const char *text; double is, n; } cases[] = {
        {5, 1000, "1E-14", 1e-14, 1}, {5, 330, "LED", 1e-20, 1.8}, {1, 100, "1E-9;2", 1e-9, 2},
        {50, 1e5, "", 1e-14, 1},
    };
    for (const auto &k : cases) {
        char text[96];
        snprintf(text, sizeof text, "g.. V01:%.17g R12:%.17g D20:%s", k.v, k.r, k.text);
        tcbuild(text);
        ASSERT_EQ(dcsolve(), SOLVED) << text;
        const double nvt = k.n * NLVT, a = k.is * k.r / nvt;
        const double i = nvt / k.r * lambertw_ln(log(a) + (k.v + k.is * k.r) / nvt) - k.is;
        EXPECT_NEAR(solvednode(2), k.v - k.r * i, 1e-9 * k.v) << text;
        wiresetnumst(1, "1010"), wire[1].value = k.r * 1.01;
        ASSERT_EQ(dcsolve(), SOLVED);
        EXPECT_LE(nliters, 5) << text;
    }
}

// === against ngspice ===
TEST(Nonlinear, OperatingPointsAgreeWithNgspice) {
    const char *circuits[] = {
        "g..g V01:10 R12:470 D32:Z5V1 R23:1000",                   // zener regulator
        "g..g V01:5 R12:330 D23:LED",                              // LED and its resistor
        "g..g V01:3 R12:1000 D23:1E-14;1;;10 D32:1E-14;1;;10",     // clipper, both ways
        "g..g V01:150 R12:10000 D32:SI",                           // a diode in breakdown
        "g..g V01:5 R12:1000 D32:1E-14;1;0.3",                     // its knee before -BV: IBV at -0.34 V
        "g...g V01:9 R12:2200 D23:SI D34:SI R24:1E5",              // diode-connected bias chain
        "g..g V01:2 R12:100 N23:1E-3*TANH(V/0.1)+V^2/1000",       // an N element
    };
    for (const char *c : circuits) {
        tcbuild(c);
        ASSERT_EQ(dcsolve(), SOLVED) << c;
        std::vector<double> ours;
        std::string vecs;
        for (int n = 0; n < numnodes; n++)
            if (!node[n].isgrounded) ours.push_back(solvednode(n)), vecs += " v(n" + std::to_string(n) + ")";
        const auto rows = ngspice("op\nwrdata ng.txt" + vecs);
        if (rows.empty()) GTEST_SKIP() << "ngspice is not installed";
        ASSERT_EQ(rows[0].size(), ours.size() + 1) << c;  // the scale first
        for (size_t k = 0; k < ours.size(); k++)
            EXPECT_NEAR(ours[k], rows[0][k + 1], 1e-6 * fabs(rows[0][k + 1]) + 1e-9) << c;
    }
}

// A half-wave rectifier with smoothing: the columns' min and max against
// ngspice's waveform at the sub-steps' times, to 1e-3 of its range.
TEST(Nonlinear, RectifierWaveformAgreesWithNgspice) {
    tcbuild("g..g V01:SIN(0;10;50;0;0) D12:SI C23:100U R23:1000");
    const int cols = 300, samps = 64;
    const double xs = 2e-4;
    plotcalc p;
    memset(&p, 0, sizeof p);
    p.plotwire = 2, p.xscale = xs, p.numcols = -1;
    ASSERT_EQ(transcompute(&p, cols, samps, cols, nullptr, 0), SOLVED);
    const double hs = xs / samps;
    char ctl[128];
    snprintf(ctl, sizeof ctl, "tran %.9g %.9g 0 %.9g\nwrdata ng.txt v(n2)", hs / 4, cols * xs, hs / 4);
    const auto rows = ngspice(ctl);
    if (rows.empty()) GTEST_SKIP() << "ngspice is not installed";
    double lo = 1e300, hi = -1e300, err = 0;
    for (const auto &r : rows) lo = fmin(lo, r[1]), hi = fmax(hi, r[1]);
    size_t j = 1;
    for (int c = 0; c < cols; c++) {
        double mn = 1e300, mx = -1e300;
        for (int k = 0; k < samps; k++) {
            const double t = c * xs + (k + 0.5) * hs;
            while (j + 1 < rows.size() && rows[j][0] < t) j++;
            const auto &a = rows[j - 1], &b = rows[j];
            const double v = a[1] + (b[1] - a[1]) * (t - a[0]) / (b[0] - a[0]);
            mn = fmin(mn, v), mx = fmax(mx, v);
        }
        err = fmax(err, fmax(fabs(-p.colmax[c] - mn), fabs(-p.colmin[c] - mx)));
    }
    EXPECT_LT(err, 1e-3 * (hi - lo));
    free(p.colmin), free(p.colmax), free(p.savestate);
}

// The small-signal gain of a diode biased through a resistor, with its
// junction capacitance, linearised at the operating point: |Z / (R + Z)| with
// Z = 1 / (gd + j w C), gd = IS / vt e^(Vd / vt) + gmin.
TEST(Nonlinear, SmallSignalGainIsTheLinearisedDiode) {
    tcbuild("g...g V01:5 V12:0 R23:1000 D34:1E-14;1;;;10N C34:1U");
    ASSERT_EQ(acprepare(), SOLVED);
    ASSERT_EQ(dcsolve(), SOLVED);
    const double gd = 1e-14 / NLVT * exp(solvednode(3) / NLVT) + NLGMIN, c = 1e-6 + 10e-9;
    for (double f : {10.0, 1e4, 1e6}) {
        bodepoint bp;
        const double w = TWOPI * f;
        ASSERT_EQ(bodesolve(w, 1, 3, 0, &bp), SOLVED);
        const double den = (1 + 1000 * gd) * (1 + 1000 * gd) + (1000 * w * c) * (1000 * w * c);
        EXPECT_NEAR(bp.gain, -log(den), 1e-9) << f;  // ln|H|^2
    }
}

// === what cannot be solved ===
// A refused diode text names the diode and says why; an N element whose
// current is not finite, or no current can balance, gives "No DC solution"
// with the elements that moved most, never a number.
TEST(Nonlinear, BadTextsAndNoSolutionAreReported) {
    const char *refused[] = {"0", "1E-14;0", "-1E-14", "2", "1E-14;1;-5", "1E-14;1;0;0;0;7", "X;1", "1E-14;1;;-1"};
    diodemodel m;
    for (const char *t : refused) EXPECT_NE(diodeparse(t, &m), nullptr) << t;
    for (const char *t : {"", "1E-14", "1e-14;1.8", "LED", "SI", "Z5V1", ";;5.1", "1P;1;;10;4P"})
        EXPECT_EQ(diodeparse(t, &m), nullptr) << t;
    tcbuild("g..g V01:5 R12:1000 D23:1E-14;0");
    EXPECT_EQ(dcsolve(), SOLVEBADMODEL);
    EXPECT_STREQ(whytext, "D1 (wire 2): N must be an emission coefficient from 0.1 to 20");
    tcbuild("g.g I01:-1 N10:1+V*V");
    EXPECT_EQ(dcsolve(), SOLVENOCONV);
    EXPECT_STREQ(whytext, "No DC solution: the iteration did not converge (N1 (wire 1) changing most)");
    EXPECT_EQ(whywire[1], 1);
    tcbuild("g..g V01:5 R12:1000 N23:SQRT(V-10)");
    EXPECT_EQ(dcsolve(), SOLVENOCONV);
    // a sawtooth current has source stepping creep on in ever smaller steps
    // (200 000 iterations here once): it gives up within its budget, as the
    // editor re-solves at every key
    tcbuild("g..g V01:14 R12:1000 N23:(V*19E3%1)*1E-5");
    const uint32_t before = buildcount;
    EXPECT_EQ(dcsolve(), SOLVENOCONV);
    EXPECT_LE(buildcount - before, 100u + 1100u + 2000u);
}

// An N element defined on part of V only (SQRT, LOG) is started where it is
// finite and held there: its slope at the domain's edge is one-sided, and an
// iterate past the edge goes back halfway until the current is finite. The
// answer balances the resistor's current; a circuit that would need V
// outside the domain has none, never the linearisation's number.
TEST(Nonlinear, AnElementDefinedOnPartOfVFindsItsSolution) {
    const struct { const char *text; double (*f)(double); } cases[] = {
        {"SQRT(V)", [](double v) { return sqrt(v); }},
        {"SQRT(-V)", [](double v) { return sqrt(-v); }},
        {"1E-3*SQRT(V-2)", [](double v) { return 1e-3 * sqrt(v - 2); }},
        {"1E-3*SQRT(V-4.99)", [](double v) { return 1e-3 * sqrt(v - 4.99); }},
        {"1E-3*LOG(V)", [](double v) { return 1e-3 * log(v); }},
    };
    for (const auto &k : cases) {
        tcbuild((std::string("g.. V01:5 R12:1000 N20:") + k.text).c_str());
        ASSERT_EQ(dcsolve(), SOLVED) << k.text;
        const double v = solvednode(2), i = k.f(v) + NLGMIN * v;
        ASSERT_TRUE(isfinite(k.f(v))) << k.text << " at " << v;
        EXPECT_NEAR((5 - v) / 1000, i, 1e-12 + 1e-9 * fabs(i)) << k.text;
    }
    tcbuild("g.. V01:5 R12:1000 N20:1E-3*SQRT(V-20)");
    EXPECT_EQ(dcsolve(), SOLVENOCONV);
}

// An N element whose current jumps (a text the fuzzer found) has a transient
// sub-step converge only in pieces of the smallest size: each sub-step gives
// up within its budget of solves (once 9 000 builds and more, seconds in a
// larger circuit) and keeps the states where its solved pieces took them.
TEST(Nonlinear, ASubstepThatConvergesOnlyInTinyPiecesGivesUpInTime) {
    for (int32_t run = 0; run < 2; run++) {
        tcbuild("g.. V01:-19.75 R12:1000 N20:E;VV}88;19E%1 C20:1E-6");
        ASSERT_EQ(dcsolve(), SOLVED);
        transcollect(nullptr);
        for (int32_t k = 1; k <= 24; k++) {
            const uint32_t before = buildcount;
            transsubstep(k * 2.5e-6, 2.5e-6);
            ASSERT_LE(buildcount - before, (64u + 12u) * 11u) << run << " sub-step " << k;  // solves, builds each
            ASSERT_TRUE(isfinite(capindval[3])) << k;
        }
    }
}
