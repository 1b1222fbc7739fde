// measure.cpp: measurements on a plot's data: the statistics, step response
// and period of a transient over a span, and the peak, -3 dB points, unity
// gain and stability margins of a Bode curve.
// Pure computation on the caller's arrays (analysis.h): no circuit, no
// allocation. The curve is the line through the finite samples in order; a
// sample that is not finite drops out.
#include <math.h>
#include "analysis/analysis.h"

// === pieces of the curve ===
struct seg {
    double xa, ya, xb, yb;  // one linear piece, xa < xb
};

struct walk {
    const double *x, *y;
    int32_t n, i;   // i: the finite sample that starts the next piece, n when none
    double yi;      // its value, unwrapped when wrap
    double x0, x1;  // the span, x0 <= x1
    int32_t wrap;   // 1: y are phases in degrees, unwrapped as they come
};

static int32_t nextok(const double *y, int32_t n, int32_t i) {
    while (i < n && !isfinite(y[i])) i++;
    return i;
}

// Phase unwrapping: the first finite sample is taken on its branch in
// (-360, 0], so a loop that starts near 0 (a low-pass) goes on below 0 rather
// than from 360 down; each later sample is taken within (-180, 180] of the
// one before it. The rule holds for phases given on any branch.
static void walkstart(walk *w, const double *x, const double *y, int32_t n, double x0, double x1, int32_t wrap) {
    w->x = x, w->y = y, w->n = n, w->wrap = wrap;
    w->i = nextok(y, n, 0);
    w->yi = w->i < n ? y[w->i] : 0;
    if (wrap) w->yi -= 360 * ceil(w->yi / 360);  // into (-360, 0]
    w->x0 = fmin(x0, x1), w->x1 = fmax(x0, x1);
}

static double lerp(double xa, double ya, double xb, double yb, double x) {
    return ya + (yb - ya) * ((x - xa) / (xb - xa));
}

// the next piece with some length inside the span, cut to it with the values
// interpolated at the cuts; 0 when none is left
static int32_t walknext(walk *w, seg *s) {
    while (w->i < w->n) {
        const int32_t a = w->i, b = nextok(w->y, w->n, a + 1);
        if (b >= w->n || w->x[a] >= w->x1) break;
        const double xa = w->x[a], xb = w->x[b], ya = w->yi;
        double yb = w->y[b];
        if (w->wrap) {
            const double d = yb - ya;
            yb = ya + d - 360 * ceil((d - 180) / 360);  // step into (-180, 180]
        }
        w->i = b, w->yi = yb;
        if (!(xb > xa) || xb <= w->x0) continue;
        s->xa = xa < w->x0 ? w->x0 : xa;
        s->xb = xb > w->x1 ? w->x1 : xb;
        s->ya = s->xa == xa ? ya : lerp(xa, ya, xb, yb, s->xa);
        s->yb = s->xb == xb ? yb : lerp(xa, ya, xb, yb, s->xb);
        return 1;
    }
    w->i = w->n;
    return 0;
}

// 1 when the piece meets level at a point that leaves its start side: the
// ends on either side, or the end on it
static int32_t crosses(const seg *s, double level) {
    return s->ya != s->yb && ((s->ya <= level) != (s->yb <= level) || s->yb == level);
}

static double crossx(const seg *s, double level) { return lerp(s->ya, s->xa, s->yb, s->xb, level); }

// the curve's value at xq; 0 when xq is outside the data
static int32_t valueat(const double *x, const double *y, int32_t n, int32_t wrap, double xq, double *v) {
    walk w;
    seg s;
    walkstart(&w, x, y, n, -INFINITY, INFINITY, wrap);
    while (walknext(&w, &s))
        if (s.xa <= xq && xq <= s.xb) {
            *v = lerp(s.xa, s.ya, s.xb, s.yb, xq);
            return 1;
        }
    return 0;
}

// === transient over a span ===
int32_t measspan(const double *x, const double *y, int32_t n, double x0, double x1, measstats *m) {
    walk w;
    seg s;
    // --- extremes ---
    walkstart(&w, x, y, n, x0, x1, 0);
    if (!walknext(&w, &s)) return 0;
    double mn = fmin(s.ya, s.yb), mx = fmax(s.ya, s.yb);
    while (walknext(&w, &s)) mn = fmin(mn, fmin(s.ya, s.yb)), mx = fmax(mx, fmax(s.ya, s.yb));
    // --- integrals, the values scaled by k = 1 / max |y| so squares cannot overflow ---
    const double big = fmax(fabs(mn), fabs(mx)), k = big > 1e-300 ? 1 / big : 1;
    double sum = 0, sq = 0, len = 0;
    walkstart(&w, x, y, n, x0, x1, 0);
    while (walknext(&w, &s)) {
        const double d = s.xb - s.xa, a = s.ya * k, b = s.yb * k;
        sum += d * (a + b) / 2;              // integral of the line over the piece
        sq += d * (a * a + a * b + b * b) / 3;  // integral of its square
        len += d;
    }
    m->mn = mn, m->mx = mx, m->pp = mx - mn;
    m->avg = sum / len / k;
    m->rms = sqrt(sq / len) / k;
    return isfinite(m->pp) && isfinite(m->avg) && isfinite(m->rms);
}

int32_t measrise(const double *x, const double *y, int32_t n, double x0, double x1, double *rise,
                 double *overshoot) {
    walk w;
    seg s;
    // --- the step: first and last value, and the extremes ---
    walkstart(&w, x, y, n, x0, x1, 0);
    if (!walknext(&w, &s)) return 0;
    const double y0 = s.ya;
    double yend = s.yb, mn = fmin(s.ya, s.yb), mx = fmax(s.ya, s.yb);
    while (walknext(&w, &s)) yend = s.yb, mn = fmin(mn, s.yb), mx = fmax(mx, s.yb);
    const double step = yend - y0;
    if (!(fabs(step) > 1e-12 * (fabs(y0) + fabs(yend)))) return 0;  // no step beyond rounding
    const double dir = step > 0 ? 1 : -1;
    // --- first crossings of the 10 % and 90 % levels the way the step goes ---
    const double l10 = y0 + 0.1 * step, l90 = y0 + 0.9 * step;
    double t10 = NAN, t90 = NAN;
    walkstart(&w, x, y, n, x0, x1, 0);
    while (isnan(t90) && walknext(&w, &s)) {
        if (isnan(t10) && (s.ya - l10) * dir < 0 && (s.yb - l10) * dir >= 0) t10 = crossx(&s, l10);
        if ((s.ya - l90) * dir < 0 && (s.yb - l90) * dir >= 0) t90 = crossx(&s, l90);
    }
    if (isnan(t10) || isnan(t90)) return 0;
    *rise = t90 - t10;
    *overshoot = fmax(0, ((dir > 0 ? mx : mn) - yend) / step * 100);
    return 1;
}

// A crossing counts when the curve goes from beyond one side of a band of a
// tenth of the peak-to-peak around the mid level to beyond the other, at the
// last point it met the mid level on the way; ripple inside the band counts
// for nothing.
int32_t measperiod(const double *x, const double *y, int32_t n, double x0, double x1, double *period) {
    measstats st;
    if (!measspan(x, y, n, x0, x1, &st) || !(st.pp > 0)) return 0;
    const double mid = (st.mn + st.mx) / 2, band = st.pp / 20;
    double first[2] = {0, 0}, last[2] = {0, 0}, xmid = 0;  // [0] downward, [1] upward crossings
    int32_t count[2] = {0, 0}, side = 0;                  // side: -1 below the band, +1 above, 0 not yet out
    walk w;
    seg s;
    walkstart(&w, x, y, n, x0, x1, 0);
    for (int32_t k = 0; walknext(&w, &s); k++) {
        if (k == 0) side = s.ya > mid + band ? 1 : s.ya < mid - band ? -1 : 0;
        if (crosses(&s, mid)) xmid = crossx(&s, mid);
        const int32_t now = s.yb > mid + band ? 1 : s.yb < mid - band ? -1 : side;
        if (now != side && side != 0) {
            const int32_t d = now > 0;
            if (count[d]++ == 0) first[d] = xmid;
            last[d] = xmid;
        }
        side = now;
    }
    const int32_t d = count[1] >= count[0];  // the way with more crossings, upward on a tie
    if (count[d] < 2) return 0;
    *period = (last[d] - first[d]) / (count[d] - 1);
    return *period > 0;
}

// === Bode curve ===
// index of the first highest finite gain, n when none
static int32_t peakat(const double *g, int32_t n) {
    int32_t p = n;
    for (int32_t i = nextok(g, n, 0); i < n; i = nextok(g, n, i + 1))
        if (p == n || g[i] > g[p]) p = i;
    return p;
}

int32_t measpeak(const double *x, const double *g, int32_t n, double *xpk, double *gpk) {
    const int32_t p = peakat(g, n);
    if (p == n) return 0;
    *xpk = x[p], *gpk = g[p];
    return 1;
}

int32_t meas3db(const double *x, const double *g, int32_t n, int32_t side, double *x3) {
    if (side != 1 && side != -1) return 0;  // a way to walk: down or up
    const int32_t p = peakat(g, n);
    if (p == n) return 0;
    const double level = g[p] - 10 * log10(2.0);
    // --- walk outward from the peak to the first sample at or below the level ---
    int32_t a = p;
    for (;;) {
        int32_t b = a + side;
        while (b >= 0 && b < n && !isfinite(g[b])) b += side;
        if (b < 0 || b >= n) return 0;
        if (g[b] <= level) {
            *x3 = lerp(g[a], x[a], g[b], x[b], level);
            return 1;
        }
        a = b;
    }
}

int32_t measbw(const double *x, const double *g, int32_t n, double *bw) {
    double lo, hi;
    if (!meas3db(x, g, n, 1, &hi)) return 0;
    *bw = pow(10.0, hi) - (meas3db(x, g, n, -1, &lo) ? pow(10.0, lo) : 0);
    return isfinite(*bw);
}

int32_t measunity(const double *x, const double *g, int32_t n, double *xu) {
    walk w;
    seg s;
    walkstart(&w, x, g, n, -INFINITY, INFINITY, 0);
    while (walknext(&w, &s))
        if (s.ya > 0 && s.yb <= 0) {
            *xu = crossx(&s, 0);
            return 1;
        }
    return 0;
}

int32_t measphasem(const double *x, const double *g, const double *ph, int32_t n, double *pm) {
    double xu, p;
    if (!measunity(x, g, n, &xu) || !valueat(x, ph, n, 1, xu, &p)) return 0;
    *pm = 180 + p;
    return 1;
}

int32_t measgainm(const double *x, const double *g, const double *ph, int32_t n, double *xg, double *gm) {
    walk w;
    seg s;
    walkstart(&w, x, ph, n, -INFINITY, INFINITY, 1);
    while (walknext(&w, &s))
        if (crosses(&s, -180)) {
            double v;
            *xg = crossx(&s, -180);
            if (!valueat(x, g, n, 0, *xg, &v)) return 0;
            *gm = -v;
            return 1;
        }
    return 0;
}
