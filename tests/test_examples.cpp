// test_examples.cpp: every example circuit loads without repairs, solves, is
// listed in the guide and the README, and shows the values a hand
// calculation gives: DC operating points and transient responses at chosen
// times.
#include <gtest/gtest.h>
#include <math.h>
#include <algorithm>
#include <complex>
#include <vector>
#include "tests/testcircuit.h"

namespace {

void load(const char *name) {
    const std::string path = std::string(VELTO_SOURCE_DIR) + "/examples/" + name + ".vsm";
    ASSERT_EQ(loadvsm(path.c_str()), 1) << name;
    ASSERT_EQ(vsmrepairs, 0) << name;
}

// the DC operating point: node voltage i (kind 'n') or wire current i ('w')
double dc(char kind, int i) {
    EXPECT_EQ(dcsolve(), SOLVED) << whytext;
    return el[yh[kind == 'n' ? numwires + i : i]].re;
}

// the quantity a transient window on this probe shows in the column holding
// time t (with the file's time scale and 64 sub-steps); *mid: the middle of
// that column's span
double tran(int probe, int sense, double t, double *mid) {
    tcplot p(probe, sense, transdefxsc);
    const int c = (int)(t / transdefxsc);
    transcompute(&p.rec, 640, 64, c + 1, nullptr, 0);
    *mid = (c + 0.5) * transdefxsc;
    return -(p.rec.colmin[c] + p.rec.colmax[c]) / 2;
}

// the root of f on [lo, hi], f(lo) < 0 < f(hi), by bisection to the last bit
template <class F> double root(F f, double lo, double hi) {
    for (int k = 0; k < 200 && lo < hi; k++) {
        const double m = 0.5 * (lo + hi);
        if (m <= lo || m >= hi) break;
        (f(m) < 0 ? lo : hi) = m;
    }
    return 0.5 * (lo + hi);
}

// node n's voltage column by column over the first cols columns of xscale
std::vector<double> trancolumns(int n, int cols, double xscale) {
    tcplot p(n, 0, xscale);
    transcompute(&p.rec, 640, 64, cols, nullptr, 0);
    std::vector<double> v(cols);
    for (int c = 0; c < cols; c++) v[c] = -(p.rec.colmin[c] + p.rec.colmax[c]) / 2;
    return v;
}

}  // namespace

// ... and is listed where a new user looks for it: the guide and the README
TEST(Examples, EveryOneLoadsAndSolves) {
    const std::string guide = tcread(VELTO_SOURCE_DIR "/velto.txt"), readme = tcread(VELTO_SOURCE_DIR "/README.md");
    const std::vector<std::string> files = tcglob(VELTO_SOURCE_DIR "/examples/*.vsm");
    EXPECT_GE(files.size(), 12u);
    for (const std::string &f : files) {
        ASSERT_EQ(loadvsm(f.c_str()), 1) << f;
        EXPECT_EQ(vsmrepairs, 0) << f;
        const std::string name = f.substr(f.rfind('/') + 1);
        EXPECT_NE(guide.find(name), std::string::npos) << name << " is not in velto.txt";
        EXPECT_NE(readme.find(name), std::string::npos) << name << " is not in README.md";
        for (int32_t i = 0; i < numnodes; i++) EXPECT_EQ(node[i].x & 31, 16) << f;  // on the grid
        EXPECT_EQ(dcsolve(), SOLVED) << f << ": " << whytext;
    }
}

// Resistive circuits and the four controlled sources, by Ohm's and
// Kirchhoff's laws; the op-amps with their open-loop gain of 1e8.
TEST(Examples, DcValuesMatchHandCalculation) {
    const double vth = 10 * (3000.0 / 4000 - 4000.0 / 6000), rth = 750 + 4000.0 / 3;  // the bridge's Thevenin
    const double aol = 1e8;
    const struct { const char *name; char kind; int index; double want; } cases[] = {
        {"divider", 'n', 3, 5},            {"divider", 'w', 2, 0.005},
        {"wheatstone", 'w', 6, vth / (rth + 500)},
        {"inverting", 'n', 3, -10 * 0.2 / (1 + 11 / aol)},  // -Rf/Rin at t = 0, where the sine is at 0.2
        {"noninverting", 'n', 3, 10 * 0.3 / (1 + 10 / aol)},
        {"switchcharge", 'n', 3, 10 * 10000.0 / 11000},       // the switch closed: a divider
        {"vcvs", 'n', 4, 5 * 2 * 1000.0 / 4000},             // 5 times the lower resistor's 0.5 V
        {"cccs", 'n', 4, 10 * 0.001 * 100},                  // 10 times 1 mA into 100 ohm
        {"vccs", 'n', 4, 0.002 * 1.5 * 1000},                // 2 mS times 1.5 V into 1 kohm
        {"ccvs", 'n', 4, 1000 * 0.002},                      // 1 kohm times 2 mA
        {"sallenkey", 'n', 3, 1 / (1 + 1 / aol)},            // unity gain at DC
        {"integrator", 'n', 3, 0},                            // nothing in yet
    };
    for (const auto &k : cases) {
        load(k.name);
        EXPECT_NEAR(dc(k.kind, k.index), k.want, 1e-9 * (1 + fabs(k.want))) << k.name;
    }
}

// Steps and profiles in time: first-order circuits by their exponentials,
// the ringing RLC by its damped sine's first peak, the integrator's ramp.
TEST(Examples, TransientValuesMatchHandCalculation) {
    static const double a = 1000, wd = sqrt(1e8 - a * a), tp = M_PI / wd;  // RLC: R/2L, damped frequency
    static const double ramp = 2500 * (0.002 - 0.001 * (1 - exp(-2.0)));  // R || C when the PWL ramp ends
    static const double tc = 1e-6 * 10000.0 / 11, vc = 10 * 10000.0 / 11000;  // switch closed: R1 || R2
    const struct { const char *name; int probe, sense; double t, (*q)(double t), tol; } cases[] = {
        {"rlstep", 2, -1, 0.002, [](double t) { return 0.1 * (1 - exp(-(t - 0.001) / 0.001)); }, 2e-3},
        {"rlcringing", 3, 1, 0.0005 + tp, [](double t) {
             const double u = t - 0.0005;
             return 1 - exp(-a * u) * (cos(wd * u) + a / wd * sin(wd * u)); }, 2e-3},
        // RC: the 0.1 ms ramp from 1 ms, then flat
        {"rclowpass", 2, 1, 0.0031, [](double t) {
             return 1 - 10 * (exp(-(t - 0.0011) / 0.001) - exp(-(t - 0.001) / 0.001)); }, 2e-3},
        {"integrator", 3, 0, 0.002, [](double t) { return -100 * (1 - exp(-(t - 0.001) / 0.1)); }, 5e-3},
        {"switchcharge", 3, 1, 0.0049, [](double t) { return vc * (1 - exp(-t / tc)); }, 2e-3},
        {"switchcharge", 3, 1, 0.015, [](double t) {  // open after 5 ms: through 10 kohm alone
             return vc * (1 - exp(-0.005 / tc)) * exp(-(t - 0.005) / 0.01); }, 5e-3},
        {"pwlload", 2, 1, 0.006, [](double t) { return 5 - (5 - ramp) * exp(-(t - 0.002) / 0.001); }, 5e-3},
    };
    for (const auto &k : cases) {
        load(k.name);
        double mid;
        const double got = tran(k.probe, k.sense, k.t, &mid);
        EXPECT_NEAR(got, k.q(mid), k.tol * fabs(k.q(mid))) << k.name << " at " << mid;
    }
}

// The examples with a Bode input, whose input source is their only source:
// each node's gain and phase equal out/in of the system built with the
// source at its own value.
TEST(Examples, BodeColumnsAreOutOverInAtTheSourcesValue) {
    for (const char *name : {"rlcbandpass", "sallenkey"}) {
        load(name);
        const int in = ibodewire;
        ASSERT_GE(in, 0) << name;
        for (double w : {10.0, 1e3, 1e4, 1e6})
            for (int k = 0; k < numnodes; k++) {
                bodepoint bp;
                ASSERT_EQ(bodesolve(w, in, k, 0, &bp), SOLVED) << name;
                initmat(w, 0, 0);
                ASSERT_EQ(smatsolve_comp(yh, el, elcnt, pivorder, numwires + numnodes), SOLVED);
                auto v = [](int r) { return std::complex<double>(el[yh[r]].re, el[yh[r]].im); };
                const std::complex<double> h =
                    v(numwires + k) / (v(numwires + wire[in].node2) - v(numwires + wire[in].node1));
                SCOPED_TRACE(std::string(name) + " node " + std::to_string(k) + " omega " + std::to_string(w));
                if (std::norm(h) == 0) {
                    EXPECT_EQ(bp.gain, BODENOGAIN);
                    continue;
                }
                EXPECT_NEAR(bp.gain, log(std::norm(h)), 1e-12);
                EXPECT_NEAR(remainder(bp.phase - std::arg(h), TWOPI), 0, 1e-12);
            }
    }
}

// The diode examples by their models' equations: the LED and the zener where
// the resistor's current meets the junction's, the clipper at the sine's
// peaks and in its linear part, the rectifier's peak (the capacitor charged
// to the peak less the diode's drop at the load's current) and its RC decay.
TEST(Examples, DiodeCircuitsMatchHandCalculation) {
    const double vt = NLVT;
    load("leddriver");  // LED: IS 1E-20, N 1.8
    const double led = root([&](double v) { return 1e-20 * expm1(v / (1.8 * vt)) - (5 - v) / 330; }, 0, 5);
    EXPECT_NEAR(dc('n', 2), led, 1e-9 * led);
    load("zener");  // past the knee the reverse current is 1 mA e^((V - 5.1) / vt)
    const double vz = root([&](double v) { return 1e-3 * exp((v - 5.1) / vt) - (12 - v) / 470 + v / 1000; }, 5, 6);
    EXPECT_NEAR(dc('n', 2), vz, 1e-8);

    load("clipper");  // two 1E-14 diodes, antiparallel, behind 1 kOhm
    const std::vector<double> clip = trancolumns(2, 260, transdefxsc);
    auto clipped = [&](double vin) {
        return root([&](double v) { return 1e-14 * (expm1(v / vt) - expm1(-v / vt)) - (vin - v) / 1000; }, -5, 5);
    };
    for (double t : {0.25e-3, 0.75e-3}) {
        const int c = (int)(t / transdefxsc);
        const double mid = (c + 0.5) * transdefxsc;
        EXPECT_NEAR(clip[c], clipped(5 * sin(2 * M_PI * 1000 * mid)), 1e-4) << "at " << mid;
    }
    EXPECT_NEAR(clip[1], 5 * sin(2 * M_PI * 1000 * 1.5 * transdefxsc), 1e-3);  // below the knee

    load("halfwave");  // SI diode into 100 uF || 1 kOhm from a 10 V, 50 Hz sine
    const double dt = 1.0 / 65536;  // columns of 15 us
    const std::vector<double> out = trancolumns(2, (int)(0.02 / dt), dt);
    const int top = (int)(std::max_element(out.begin(), out.end()) - out.begin());
    const double is = 2.52e-9, n = 1.752, rs = 0.568, vmax = out[top], itop = vmax / 1000;  // no current into C
    EXPECT_NEAR(vmax, 10 * sin(2 * M_PI * 50 * (top + 0.5) * dt) - n * vt * log1p(itop / is) - rs * itop, 3e-3);
    const int c1 = (int)(0.01 / dt), c2 = (int)(0.019 / dt);  // the diode off: R C = 0.1 s
    EXPECT_NEAR(out[c2] / out[c1], exp(-(c2 - c1) * dt / 0.1), 1e-4);
}
