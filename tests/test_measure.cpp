// test_measure.cpp: the plot measurements against analytic values on sampled
// curves and the data that holds no answer (a window's own columns: test_plotwin).
#include <gtest/gtest.h>
#include <math.h>
#include <complex>
#include <functional>
#include <vector>
#include "tests/testcircuit.h"

typedef std::complex<double> cx;

// n samples of f on [a, b]
struct trace {
    std::vector<double> x, y;
    trace(double a, double b, int n, std::function<double(double)> f) {
        for (int i = 0; i < n; i++) x.push_back(a + (b - a) * i / (n - 1)), y.push_back(f(x.back()));
    }
    int n() const { return (int)x.size(); }
};

// h(omega) at n points of log10 omega on [a, b]: gain in dB, phase in degrees in [0, 360)
struct bode {
    std::vector<double> x, g, ph;
    bode(double a, double b, int n, std::function<cx(double)> h) {
        for (int i = 0; i < n; i++) {
            const cx v = h(pow(10.0, a + (b - a) * i / (n - 1)));
            x.push_back(a + (b - a) * i / (n - 1));
            g.push_back(20 * log10(std::abs(v)));
            ph.push_back(fmod(std::arg(v) * 180 / M_PI + 360, 360));
        }
    }
    int n() const { return (int)x.size(); }
};

TEST(Measure, TransientMatchesAnalyticValues) {
    const double tau = 1e-3;
    trace rc(0, 10 * tau, 400, [&](double t) { return 1 - exp(-t / tau); });
    double rise, over, period;
    ASSERT_EQ(measrise(rc.x.data(), rc.y.data(), rc.n(), -1, 1, &rise, &over), 1);
    EXPECT_NEAR(rise / (log(9.0) * tau), 1, 1e-3);
    EXPECT_EQ(over, 0);
    // a falling step measures the same
    for (double &v : rc.y) v = -v;
    ASSERT_EQ(measrise(rc.x.data(), rc.y.data(), rc.n(), -1, 1, &rise, &over), 1);
    EXPECT_NEAR(rise / (log(9.0) * tau), 1, 1e-3);

    // 5.3 periods of 2 sin(2 pi 50 t), one column unsolved; the span is three
    // whole periods that start and end between samples
    const double per = 0.02;
    trace sine(0, 5.3 * per, 1000, [&](double t) { return 2 * sin(TWOPI * t / per); });
    sine.y[300] = NAN;
    measstats st;
    ASSERT_EQ(measspan(sine.x.data(), sine.y.data(), sine.n(), 3.25 * per, 0.25 * per, &st), 1);
    EXPECT_NEAR(st.avg, 0, 1e-3);
    EXPECT_NEAR(st.rms, 2 / sqrt(2.0), 1e-3);
    // exact on linear pieces: corners 0, 1, 0 at x = 0, 1, 2, over 0.5 .. 2 given backwards
    const double tx[] = {0, 1, 2, 3}, ty[] = {0, 1, 0, -1};
    ASSERT_EQ(measspan(tx, ty, 4, 2, 0.5, &st), 1);
    EXPECT_NEAR(st.avg, 7.0 / 12, 1e-12);
    EXPECT_NEAR(st.rms, sqrt(5.0 / 12), 1e-12);
    EXPECT_EQ(st.pp, 1);
    ASSERT_EQ(measperiod(sine.x.data(), sine.y.data(), sine.n(), 0, 1, &period), 1);
    EXPECT_NEAR(period / per, 1, 1e-4);
    trace square(0, 20.3, 1537, [](double t) { return sin(TWOPI * t) >= 0 ? 5.0 : 0.0; });
    ASSERT_EQ(measperiod(square.x.data(), square.y.data(), square.n(), 0, 30, &period), 1);
    EXPECT_NEAR(period, 1, 1e-3);
    // a ripple that crosses the mid level on its own adds no crossings
    trace ripple(0, 10.3, 4000, [](double t) { return sin(TWOPI * t) + 0.1 * sin(TWOPI * 41.37 * t); });
    ASSERT_EQ(measperiod(ripple.x.data(), ripple.y.data(), ripple.n(), 0, 30, &period), 1);
    EXPECT_NEAR(period, 1, 5e-3);

    // second-order step response, zeta 0.3, omega_n 1, settled by t = 60
    const double z = 0.3, wd = sqrt(1 - z * z);
    trace step(0, 60, 3000, [&](double t) { return 1 - exp(-z * t) / wd * sin(wd * t + acos(z)); });
    ASSERT_EQ(measrise(step.x.data(), step.y.data(), step.n(), 0, 60, &rise, &over), 1);
    EXPECT_NEAR(over, 100 * exp(-M_PI * z / wd), 0.01);
}

TEST(Measure, BodeMatchesAnalyticValues) {
    // series RLC, the output across R: -3 dB bandwidth R / L = 1e4 rad/s around 1e4
    bode bp(2, 6, 2001, [](double w) { return 100.0 / cx(100, w * 0.01 - 1 / (w * 1e-6)); });
    double bw, x, gain;
    ASSERT_EQ(measbw(bp.x.data(), bp.g.data(), bp.n(), &bw), 1);
    EXPECT_NEAR(bw / 1e4, 1, 1e-3);

    // second-order low-pass, zeta 0.2: peak 1 / (2 zeta sqrt(1 - zeta^2)) at sqrt(1 - 2 zeta^2)
    const double z = 0.2;
    bode lp(-2, 2, 4001, [&](double w) { return 1.0 / cx(1 - w * w, 2 * z * w); });
    ASSERT_EQ(measpeak(lp.x.data(), lp.g.data(), lp.n(), &x, &gain), 1);
    EXPECT_NEAR(gain, 20 * log10(1 / (2 * z * sqrt(1 - z * z))), 1e-3);
    EXPECT_NEAR(x, log10(sqrt(1 - 2 * z * z)), 1e-3);

    // loop gain K / (s (1 + s) (1 + s/10)), phase -90 - atan w - atan(w/10).
    // K = sqrt(2.02) puts unity gain at w = 1 (|s (1+s) (1+s/10)|^2 = 1 * 2 * 1.01):
    // phase margin 180 - 90 - 45 - atan 0.1 = 39.2894 degrees. The phase is -180
    // where atan w + atan(w/10) = 90, w^2 / 10 = 1, w = sqrt 10, with
    // |s (1+s) (1+s/10)| = sqrt(10 * 11 * 1.1) = 11: gain margin 20 log10(11 / K) = 17.7740 dB.
    bode loop(-2, 2, 2001, [](double w) {
        const cx s(0, w);
        return sqrt(2.02) / (s * (1.0 + s) * (1.0 + s / 10.0));
    });
    double pm, gm;
    ASSERT_EQ(measunity(loop.x.data(), loop.g.data(), loop.n(), &x), 1);
    EXPECT_NEAR(x, 0, 1e-4);
    ASSERT_EQ(measphasem(loop.x.data(), loop.g.data(), loop.ph.data(), loop.n(), &pm), 1);
    EXPECT_NEAR(pm, 39.2894, 1e-3);
    ASSERT_EQ(measgainm(loop.x.data(), loop.g.data(), loop.ph.data(), loop.n(), &x, &gm), 1);
    EXPECT_NEAR(x, 0.5, 1e-4);
    EXPECT_NEAR(gm, 17.7740, 1e-3);
}

TEST(Measure, NoAnswerWhereTheDataHoldsNone) {
    trace flat(0, 1, 100, [](double) { return 3.0; });
    double v, w;
    measstats st;
    EXPECT_EQ(measperiod(flat.x.data(), flat.y.data(), flat.n(), 0, 1, &v), 0);
    EXPECT_EQ(measrise(flat.x.data(), flat.y.data(), flat.n(), 0, 1, &v, &w), 0);
    EXPECT_EQ(measspan(flat.x.data(), flat.y.data(), 1, 0, 1, &st), 0);   // one sample
    EXPECT_EQ(measspan(flat.x.data(), flat.y.data(), flat.n(), 2, 3, &st), 0);  // span past the data
    std::vector<double> gaps(flat.y);
    for (int i = 0; i < flat.n(); i++)
        if (i != 40) gaps[i] = NAN;
    EXPECT_EQ(measspan(flat.x.data(), gaps.data(), flat.n(), 0, 1, &st), 0);
    // a first-order low-pass well below its corner: no -3 dB point, no bandwidth
    bode lp(-3, -1, 201, [](double om) { return 1.0 / cx(1, om); });
    EXPECT_EQ(meas3db(lp.x.data(), lp.g.data(), lp.n(), 1, &v), 0);
    EXPECT_EQ(meas3db(lp.x.data(), lp.g.data(), lp.n(), -1, &v), 0);
    EXPECT_EQ(measbw(lp.x.data(), lp.g.data(), lp.n(), &v), 0);
    EXPECT_EQ(measgainm(lp.x.data(), lp.g.data(), lp.ph.data(), lp.n(), &v, &w), 0);
}
