// nonlinear.cpp: diodes (D) and nonlinear current elements (N) in the
// equations: each such wire is stamped as its linearisation
//   I(m) - y V(a) + y V(b) = ieq
// (build.h: nlgre, nlgim, nlieq), and the real system is solved by Newton
// iteration on it: DC with junction limiting, then gmin stepping and source
// stepping when plain iteration fails; the transient's implicit steps, halved
// when an iteration fails; and the small-signal stamps of the AC analysis at
// the last DC operating point.
// Depends on initmat and smatsolve_real, the circuit arrays, diodeparse and
// solvefuncat. A circuit without D and N wires never comes here.
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include "analysis/analysis.h"
#include "analysis/build.h"
#include "circuit/circuit.h"
#include "expr/expr.h"

// === state ===
int32_t nlcount = 0;
int32_t *nllist = nullptr;
double *nlgre = nullptr, *nlgim = nullptr, *nlieq = nullptr;
double buildsrcscale = 1.0;
int32_t nliters = 0;

struct nlwire {
    diodemodel d;        // D: the model (when ok)
    double vte, vcrit;   // D: N vt and the critical voltage
    double xbv;          // D: the breakdown knee (a current of IS there) when BV > 0; below 0 for a
                         //   BV under about N vt ln(IBV / IS), where IBV flows before -BV is reached
    const char *why;     // D: 0 the text reads, else why not
    char *txt;           // the text the model was read from
    int32_t cap;         // bytes of txt
};
static nlwire *nlw;           // [nlmax] per wire
static double *nlvd;          // [nlmax] junction (D) or element (N) voltage of the iterate, NaN unknown
static double *nlvop;         // [nlmax] the same at the last DC operating point
static double *nlx;           // [nxmax] the solution before the last iteration
static double *nldelta;       // [nlmax] how far each element's voltage moved in the last iteration
static double *nlback;        // [nlmax] source stepping: the iterate of the last step that converged
static double *nlprev;        // [nlmax] N: the voltage it was last stamped at in this solve, NaN none
static int32_t nlbackedoff;   // 1: the last stamps moved some N element's voltage (ndomain)
static int32_t nlmax, nxmax;
static int32_t nlbad = -1;    // wire of the last refused diode text, -1 none
static double nlgminstep;     // extra conductance across each junction while gmin stepping

void nlensure(int32_t nw) {
    if (nw <= nlmax) return;
    const int32_t m = nw > 2 * nlmax ? nw : 2 * nlmax;
    nlw = (nlwire *)growmem(nlw, (size_t)m * sizeof(nlwire));
    memset(nlw + nlmax, 0, (size_t)(m - nlmax) * sizeof(nlwire));
    nllist = (int32_t *)growmem(nllist, (size_t)m * sizeof(int32_t));
    double **arr[] = {&nlgre, &nlgim, &nlieq, &nlvd, &nlvop, &nldelta, &nlback, &nlprev};
    for (double **a : arr) {
        *a = (double *)growmem(*a, (size_t)m * sizeof(double));
        for (int32_t i = nlmax; i < m; i++) (*a)[i] = (a == &nlvd || a == &nlvop) ? NAN : 0.0;
    }
    nlmax = m;
}

// === diode model ===
// The breakdown knee xbv puts IBV = 1 mA at -BV: IS exp((BV - xbv) / (N vt))
// = IBV, solved with the small terms of the exact current kept (the last one
// over vt itself), as the usual diode model does. A BV so low that IBV cannot
// be reached keeps xbv = BV.
static double kneeof(const diodemodel &d, double vte) {
    const double ibv = 1e-3, vt = NLVT;
    if (d.bv <= 0) return 0;
    if (ibv < d.is * d.bv / vt) return d.bv;
    double x = d.bv - vte * log(1 + ibv / d.is);
    for (int32_t k = 0; k < 25; k++) x = d.bv - vte * log(ibv / d.is + 1 - x / vt);
    return x;
}

// the wire's model brought up to its text
static void modelof(int32_t m) {
    nlwire &w = nlw[m];
    const char *s = wire[m].numst ? wire[m].numst : "";
    if (w.txt && !strcmp(w.txt, s)) return;
    const int32_t len = (int32_t)strlen(s);
    if (len + 1 > w.cap) w.txt = (char *)growmem(w.txt, (size_t)len + 1), w.cap = len + 1;
    memcpy(w.txt, s, (size_t)len + 1);
    w.why = diodeparse(s, &w.d);
    w.vte = w.d.n * NLVT;
    w.vcrit = w.vte * log(w.vte / (sqrt(2.0) * w.d.is));
    w.xbv = kneeof(w.d, w.vte);
}

// junction current and conductance at vd, gmin across the junction:
// exponential forward and slightly reversed, a cubic approach to -IS below
// -3 N vt, the mirrored exponential past the breakdown knee
static void diodeat(const nlwire &w, double vd, double *id, double *gd) {
    const double is = w.d.is, vte = w.vte, g0 = NLGMIN + nlgminstep;
    if (vd >= -3 * vte) {
        const double e = exp(fmin(vd / vte, 700.0));
        *id = is * (e - 1) + g0 * vd;
        *gd = is * e / vte + g0;
    } else if (w.d.bv <= 0 || vd >= -w.xbv) {
        double a = 3 * vte / (vd * M_E);
        a = a * a * a;
        *id = -is * (1 + a) + g0 * vd;
        *gd = is * 3 * a / vd + g0;
    } else {
        const double e = exp(fmin(-(w.xbv + vd) / vte, 700.0));
        *id = -is * e + g0 * vd;
        *gd = is * e / vte + g0;
    }
}

// the junction limiter: a step up the exponential past the critical voltage
// goes as far as the logarithm of its size, never backwards; the same
// mirrored past the breakdown knee. 1 when it limited.
static int32_t pnlimit(double vnew, double vold, double vt, double vcrit, double *out) {
    *out = vnew;
    if (!(vnew > vcrit) || !(fabs(vnew - vold) > 2 * vt)) return 0;
    if (vold > 0) {
        const double arg = 1 + (vnew - vold) / vt;
        if (arg > 0) *out = vold + vt * log(arg);
    } else {
        *out = vt * log(vnew / vt);
    }
    return 1;
}

static int32_t limitdiode(const nlwire &w, double vnew, double vold, double *out) {
    if (w.d.bv > 0 && vnew < fmin(0.0, -w.xbv + 10 * w.vte)) {
        double r;
        const int32_t lim = pnlimit(-(vnew + w.xbv), -(vold + w.xbv), w.vte, w.vcrit, &r);
        *out = -(r + w.xbv);
        return lim;
    }
    return pnlimit(vnew, vold, w.vte, w.vcrit, out);
}

// === N elements ===
// f at v, 1 when it evaluates to a finite number
static int32_t nvalue(const char *s, double v, double *f) {
    globalbad = 0;
    *f = solvefuncat(s, v);
    return !globalbad && isfinite(*f);
}

// f(V) and its slope by a central difference, or at an edge of f's domain
// (SQRT(V) at 0) by a one-sided one; 0 when f or both sides are not finite
static int32_t nfunc(int32_t m, double v, double *f, double *g) {
    const char *s = wire[m].numst ? wire[m].numst : "";
    const double dv = 1e-6 * fmax(fabs(v), 1e-3);
    double fp, fm;
    if (!nvalue(s, v, f)) return 0;
    const int32_t okp = nvalue(s, v + dv, &fp), okm = nvalue(s, v - dv, &fm);
    if (okp && okm) *g = (fp - fm) / (2 * dv);
    else if (okp) *g = (fp - *f) / dv;
    else if (okm) *g = (*f - fm) / dv;
    else return 0;
    return isfinite(*g);
}

// An N element whose f is not finite at the iterate's voltage, a step past
// the edge of its domain (SQRT(V) below 0, LOG(V) at 0): the voltage goes
// halfway back toward the last one it was stamped at until f is finite, or
// with none, to the first trial voltage where it is: +-1 mV, +-10 mV, ...
// up to +-1 MV; 0 if none is
static int32_t ndomain(int32_t m, double *f, double *g) {
    const double back = nlprev[m];
    nlbackedoff = 1;
    if (isfinite(back)) {
        for (int32_t k = 0; k < 64; k++) {
            nlvd[m] = 0.5 * (nlvd[m] + back);
            if (nfunc(m, nlvd[m], f, g)) return 1;
        }
        return 0;
    }
    double v = 1e-3;
    for (int32_t d = 0; d < 10; d++, v *= 10) {
        for (int32_t k = 0; k < 2; k++) {
            const double trial = k ? -v : v;
            if (!nfunc(m, trial, f, g)) continue;
            nlvd[m] = trial;
            return 1;
        }
    }
    return 0;
}

// === stamps ===
// A diode with series resistance rs: I = Id(vd), vd = V(a) - V(b) - rs I,
// linearised at vd0: I (1 + g rs) = g (V(a) - V(b)) + Id0 - g vd0. A junction
// capacitance adds cj0 / h and its backward-Euler current in a step from the
// state capindval[m] (the junction voltage before it).
// 0 when some element cannot be stamped (an N that is not finite)
static int32_t stampat(double h, double t) {
    globalx = t;
    nlbackedoff = 0;
    for (int32_t k = 0; k < nlcount; k++) {
        const int32_t m = nllist[k];
        double id, g;
        if (wire[m].element == 'N') {
            if (!nfunc(m, nlvd[m], &id, &g) && !ndomain(m, &id, &g)) return 0;
            const double v = nlprev[m] = nlvd[m];
            id += NLGMIN * v, g += NLGMIN;  // so that a flat f leaves no node without a way to ground
            nlgre[m] = g, nlgim[m] = 0, nlieq[m] = id - g * v;
            continue;
        }
        const nlwire &w = nlw[m];
        const double v = nlvd[m];
        diodeat(w, v, &id, &g);
        if (h != 0 && w.d.cj0 > 0) {
            id += w.d.cj0 / h * (v - capindval[m]);
            g += w.d.cj0 / h;
        }
        const double s = 1 + g * w.d.rs;
        nlgre[m] = g / s, nlgim[m] = 0, nlieq[m] = (id - g * v) / s;
    }
    return 1;
}

void nlsmallsignal(double w) {
    for (int32_t k = 0; k < nlcount; k++) {
        const int32_t m = nllist[k];
        if (m >= numwires || !isnonlinear(wire[m].element)) continue;  // a list from another circuit
        const double v = isfinite(nlvop[m]) ? nlvop[m] : 0.0;
        double id, g, gi = 0;
        if (wire[m].element == 'N') {
            if (!nfunc(m, v, &id, &g)) g = 0;
            g += NLGMIN;
        } else {
            diodeat(nlw[m], v, &id, &g);
            gi = w * nlw[m].d.cj0;
        }
        // y = (g + j gi) / (1 + (g + j gi) rs)
        const double rs = wire[m].element == 'D' ? nlw[m].d.rs : 0;
        const double dr = 1 + g * rs, di = gi * rs, dd = dr * dr + di * di;
        nlgre[m] = (g * dr + gi * di) / dd;
        nlgim[m] = (gi * dr - g * di) / dd;
        nlieq[m] = 0;
    }
}

// === the element voltages from a solution ===
static double solved(int32_t c) { return el[yh[c]].re; }

static double elementv(int32_t m) {
    const int32_t nw = numwires;
    const double v = solved(nw + wire[m].node1) - solved(nw + wire[m].node2);
    return wire[m].element == 'D' ? v - nlw[m].d.rs * solved(m) : v;
}

double nlstate(int32_t m) { return elementv(m); }

// === collecting ===
int32_t nlcollect(void) {
    nlensure(numwires);
    nlcount = 0;
    nlbad = -1;
    for (int32_t m = 0; m < numwires; m++) {
        const int32_t e = wire[m].element;
        if (!isnonlinear(e)) continue;
        nllist[nlcount++] = m;
        if (e != 'D') continue;
        modelof(m);
        if (nlw[m].why && nlbad < 0) nlbad = m;
    }
    return nlcount;
}

const char *nlbadtext(int32_t *m) {
    *m = nlbad;
    return nlbad >= 0 ? nlw[nlbad].why : 0;
}

// === Newton iteration ===
// Converged when no element was limited and every unknown moved by at most
// 1e-3 of its size plus 1e-6 V or 1e-12 A, never on the first iteration;
// then up to two more iterations until the step is within 1e-9 of the
// size: Newton's error after a step is about the step squared over the
// curvature's scale, so the polished answer holds nearly every digit.
enum { NLDCITERS = 100, NLSTEPITERS = 10, NLSRCITERS = 2000 };

// how far the solution moved since the last one: 2 beyond 1e-3 of its size
// (plus the absolute tolerance), 1 beyond 1e-9 (plus a millionth of it), 0
// within; nlx becomes the solution
static int32_t moved(int32_t n) {
    const int32_t nw = numwires;
    int32_t far = 0;
    for (int32_t c = 0; c < n; c++) {
        const double x = solved(c), d = fabs(x - nlx[c]), size = fmax(fabs(x), fabs(nlx[c]));
        const double abstol = c < nw ? 1e-12 : 1e-6;
        if (!(d <= 1e-3 * size + abstol)) far = 2;
        else if (far < 1 && !(d <= 1e-9 * size + 1e-6 * abstol)) far = 1;
        nlx[c] = x;
    }
    return far;
}

static int32_t newton(double t, double h, int32_t maxit, void (*built)(void)) {
    const int32_t n = numwires + numnodes;
    if (n > nxmax) nxmax = n, nlx = (double *)growmem(nlx, (size_t)n * sizeof(double));
    for (int32_t k = 0; k < nlcount; k++) {
        const int32_t m = nllist[k];
        if (!isfinite(nlvd[m])) nlvd[m] = wire[m].element == 'D' ? nlw[m].vcrit : 0.0;
        nlprev[m] = NAN;
    }
    int32_t polish = 0;
    for (nliters = 1; nliters <= maxit; nliters++) {
        if (!stampat(h, t)) return SOLVENOCONV;
        initmat(0, t, h);
        if (built) built();
        const int32_t r = smatsolve_real(yh, el, elcnt, pivorder, n);
        if (r != SOLVED) return r;
        int32_t limited = nlbackedoff;  // not a solution of the element as it is
        for (int32_t k = 0; k < nlcount; k++) {
            const int32_t m = nllist[k];
            const double vnew = elementv(m), vold = nlvd[m];
            double v = vnew;
            if (wire[m].element == 'D') limited |= limitdiode(nlw[m], vnew, vold, &v);
            nldelta[m] = fabs(v - vold);
            nlvd[m] = isfinite(v) ? v : NAN;
        }
        const int32_t far = moved(n);
        if (nliters == 1 || limited || far == 2) {
            polish = 0;
            continue;
        }
        if (far == 0 || polish == 2) return SOLVED;
        polish++;
    }
    return SOLVENOCONV;
}

// gmin stepping: a conductance across each junction from 1e-2 S down by
// decades, each solve starting from the one before, then without it
static int32_t gminstepping(double t, void (*built)(void)) {
    int32_t r = SOLVED;
    for (double g = 1e-2; g > 0.5 * NLGMIN && r == SOLVED; g *= 0.1) {
        nlgminstep = g;
        r = newton(t, 0, NLDCITERS, built);
    }
    nlgminstep = 0;
    return r == SOLVED ? newton(t, 0, NLDCITERS, built) : r;
}

// source stepping: every V and I source scaled from 0 up to its value in
// steps that shrink when a solve fails and grow when it converges, within
// NLSRCITERS iterations in all: an element whose current jumps can have
// the steps creep on for millions of iterations, and the editor re-solves
// at every key (a hard circuit that gets there takes a few hundred)
static int32_t sourcestepping(double t, void (*built)(void)) {
    for (int32_t k = 0; k < nlcount; k++) nlvd[nllist[k]] = 0;
    double s = 0, ds = 0.1;
    int32_t r = SOLVED, left = NLSRCITERS;
    while (s < 1) {
        if (left <= 0) {
            r = SOLVENOCONV;
            break;
        }
        const double next = fmin(1.0, s + ds);
        const int32_t most = left < NLDCITERS ? left : NLDCITERS;
        buildsrcscale = next;
        for (int32_t k = 0; k < nlcount; k++) nlback[k] = nlvd[nllist[k]];
        r = newton(t, 0, most, built);
        left -= nliters < most ? nliters : most;
        if (r == SOLVED) {
            s = next;
            ds *= 2;
            continue;
        }
        for (int32_t k = 0; k < nlcount; k++) nlvd[nllist[k]] = nlback[k];
        ds *= 0.25;
        if (r != SOLVENOCONV || ds < 1e-6) break;
    }
    buildsrcscale = 1.0;
    return r;
}

int32_t nlsolve(double t, double h, void (*built)(void)) {
    nlcollect();
    if (nlbad >= 0) return SOLVEBADMODEL;
    if (h != 0) return newton(t, h, NLSTEPITERS, built);
    int32_t r = newton(t, 0, NLDCITERS, built);
    if (r != SOLVENOCONV) return r;
    for (int32_t k = 0; k < nlcount; k++) nlvd[nllist[k]] = NAN;
    if ((r = gminstepping(t, built)) != SOLVENOCONV) return r;
    return sourcestepping(t, built);
}

void nlkeepop(void) {
    for (int32_t k = 0; k < nlcount; k++) nlvop[nllist[k]] = nlvd[nllist[k]];
}

int32_t nlworst(uint8_t *flag, int32_t most) {
    memset(flag, 0, (size_t)numwires);
    int32_t got = 0;
    for (; got < most; got++) {
        int32_t best = -1;
        for (int32_t k = 0; k < nlcount; k++) {
            const int32_t m = nllist[k];
            if (!flag[m] && (best < 0 || !(nldelta[m] <= nldelta[best]))) best = m;
        }
        if (best < 0) break;
        flag[best] = 1;
    }
    return got;
}

int32_t acprepare(void) {
    if (!nlcollect()) return SOLVED;
    const int32_t r = nlsolve(0, 0, 0);
    if (r == SOLVED) nlkeepop();
    return r;
}

void nlstamps(double w) {
    if (!nlcollect()) return;
    if (w == 0) stampat(0, 0);
    else nlsmallsignal(w);
}
