// transient.cpp: the computing half of the transient window: the list of
// capacitors and inductors, the initial conditions (forced values imposed as
// sources), and the column loop of predictor/corrector sub-steps whose state
// lives in the caller's plotcalc between calls.
// Depends on initmat, smatsolve_real, solvefunc and the circuit arrays. Draws
// nothing, beeps at nothing and keeps no clock: the caller passes its own.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "expr/expr.h"

int32_t *cllist = nullptr;
int32_t numcl = 0;
int32_t cllistmax = 0;
int32_t transbad = 0;
static int32_t clamped;  // 1: a state of the last explicit sub-step reached +-TRANSCLAMP

enum {
    COLSFIRST = 2048,         // smallest maxxdim a plot buffer gets
    XDIMMAX = 1 << 26,        // widest view checkmaxxdim serves (keeps 4 * maxxdim in range)
    SAVESTATEFIRST = 256,     // first capacity of a plot's savestate
};

// The companion models of a sub-step use the tiny step delta = hs * TRANSPROBE,
// so (y - state) / delta is the state's time derivative at the solve. Moving
// the state by PREDICTOR (y - state) advances it PREDICTOR * delta = hs / 2;
// CORRECTOR (y - state) is a whole sub-step hs.
static const double PREDICTOR = 0.5 / TRANSPROBE;  // 5000
static const double CORRECTOR = 1.0 / TRANSPROBE;  // 10000
static_assert(0.5 / TRANSPROBE == 5000.0 && 1.0 / TRANSPROBE == 10000.0, "the factors are exact");

static double solved(int32_t c) { return el[yh[c]].re; }

// === column buffers ===
// New slots read as "not computed" for a Bode cache (colmax -1.0); a transient
// run writes every slot before it reads it.
// slots old .. n - 1 of a pair of buffers grown to n read as "not computed"
static void growcols(double **mn, double **mx, int32_t old, int32_t n) {
    *mn = (double *)growmem(*mn, (size_t)n * sizeof(double));
    *mx = (double *)growmem(*mx, (size_t)n * sizeof(double));
    for (int32_t i = old; i < n; i++) {
        (*mn)[i] = 0.0;
        (*mx)[i] = -1.0;
    }
}

void checkmaxxdim(plotcalc *p, int32_t xdim) {
    if (xdim > XDIMMAX) xdim = XDIMMAX;
    if (p->maxxdim >= xdim) return;
    const int32_t old = p->colmin && p->colmax ? p->bufcols : 0;
    p->maxxdim = xdim + 1 > COLSFIRST ? xdim + 1 : COLSFIRST;
    p->bufcols = 4 * p->maxxdim;
    growcols(&p->colmin, &p->colmax, old, p->bufcols);
    for (int32_t k = 0; k < p->numextra; k++) {
        plottrace &e = p->extra[k];
        growcols(&e.colmin, &e.colmax, e.cols, p->bufcols);
        e.cols = p->bufcols;
    }
}

// === further traces ===
int32_t traceadd(plotcalc *p, int32_t plotwire, int32_t plotsense) {
    if (p->numextra >= MAXTRACES - 1) return -1;
    plottrace &e = p->extra[p->numextra];
    growcols(&e.colmin, &e.colmax, 0, p->bufcols > 0 ? p->bufcols : 1);
    e.cols = p->bufcols;
    e.plotwire = plotwire, e.plotsense = plotsense;
    e.partlo = e.parthi = NAN;
    return p->numextra++;
}

// the gone trace's buffers move to the first free slot, for reuse
void traceremove(plotcalc *p, int32_t k) {
    if (k < 0 || k >= p->numextra) return;
    plottrace gone = p->extra[k];
    for (int32_t i = k; i + 1 < p->numextra; i++) p->extra[i] = p->extra[i + 1];
    p->extra[--p->numextra] = gone;
}

int32_t tracefind(const plotcalc *p, int32_t plotwire, int32_t plotsense) {
    if (p->plotwire == plotwire && p->plotsense == plotsense) return -1;
    for (int32_t k = 0; k < p->numextra; k++)
        if (p->extra[k].plotwire == plotwire && p->extra[k].plotsense == plotsense) return k;
    return -2;
}

void tracename(char *s, int32_t n, int32_t plotwire, int32_t plotsense) {
    if (plotsense == 0) snprintf(s, (size_t)n, "V(%d)", (int)plotwire);
    else if (plotwire >= 0 && plotwire < numwires && wire[plotwire].element == 'T')
        snprintf(s, (size_t)n, "I(%d)", (int)plotwire);
    else snprintf(s, (size_t)n, "V(w%d)", (int)plotwire);
}

// === the C/L list ===
int32_t transcollect(plotcalc *p) {
    if (numwires > cllistmax) {
        cllistmax = numwires > 2 * cllistmax ? numwires : 2 * cllistmax;
        cllist = (int32_t *)growmem(cllist, (size_t)cllistmax * sizeof(int32_t));
    }
    numcl = 0;
    for (int32_t w = 0; w < numwires; w++) {
        const int32_t e = wire[w].element;
        if (e == 'C' || e == 'L' || e == 'D') cllist[numcl++] = w;
    }
    nlcollect();
    if (p && numcl >= p->savestatemax) {  // capacity 256, then doubling, at least numcl
        int32_t m = p->savestatemax ? 2 * p->savestatemax : SAVESTATEFIRST;
        if (m < numcl) m = numcl;
        p->savestate = (double *)growmem(p->savestate, (size_t)m * sizeof(double));
        for (int32_t k = p->savestatemax; k < m; k++) p->savestate[k] = 0.0;
        p->savestatemax = m;
    }
    return numcl;
}

// state quantity of list wire w in the solved real system: the inductor's
// current, the capacitor's voltage V(node1) - V(node2), the diode's junction voltage
static double clvalue(int32_t w) {
    if (wire[w].element == 'L') return solved(w);
    if (wire[w].element == 'D') return nlstate(w);
    return solved(numwires + wire[w].node1) - solved(numwires + wire[w].node2);
}

// === the probed quantity ===
int32_t transprobeok(int32_t plotwire, int32_t plotsense) {
    if (plotsense == 0) return nodeexists(plotwire);
    if (plotwire < 0 || plotwire >= numwires) return 0;
    return nodeexists(wire[plotwire].node1) && nodeexists(wire[plotwire].node2);
}

// s = -q: minus the node voltage; for a T the current (negated for sense -1);
// otherwise V(b) - V(a), a being the end that plotsense names positive
double transsample(int32_t plotwire, int32_t plotsense) {
    const int32_t nw = numwires;
    if (plotsense == 0) return -solved(nw + plotwire);
    const wiretype &w = wire[plotwire];
    if (w.element == 'T') return plotsense < 0 ? -solved(plotwire) : solved(plotwire);
    int32_t a = w.node1, b = w.node2;
    if (plotsense < 0) {
        a = w.node2;
        b = w.node1;
    }
    return solved(nw + b) - solved(nw + a);
}

// === one sub-step ===
// Explicit midpoint rule: the predictor solve gives the derivative at the
// sub-step's start and moves every state half a sub-step (saving the old one in
// ocapindval); the corrector solve there gives the midpoint derivative, with
// which the whole sub-step is taken from the saved state, clamped to
// +-TRANSCLAMP. Sources are evaluated at the midpoint time tau. A failed solve
// leaves every state as it was before the sub-step.
// === implicit steps ===
// A circuit with nonlinear elements steps by backward Euler: every C and L
// is its companion of step h from the state at time statet, every D and N
// its linearisation, solved by Newton iteration at the sub-step's time; an
// iteration that fails halves the step (at most NLHALVINGS times), so the
// column still gets its sample at its place. A sub-step makes at most
// NLSTEPSOLVES solves or so in all (NLHALVINGS over, at most): one that
// converges only in pieces of the smallest size everywhere would make eight
// thousand, as an N element whose current jumps can have it do; it fails
// instead, the states kept where its solved pieces took them.
enum { NLHALVINGS = 12, NLSTEPSOLVES = 64 };
static double statet;       // time the states stand at
static int32_t stepsolves;  // solves the sub-step may still make

static int32_t implicitstep(double t, double h, int32_t depth) {
    stepsolves--;
    const int32_t r = nlsolve(t, h, nullptr);
    if (r == SOLVED) {
        for (int32_t k = 0; k < numcl; k++) capindval[cllist[k]] = clvalue(cllist[k]);
        statet = t;
        return r;
    }
    if (r != SOLVENOCONV || depth >= NLHALVINGS || stepsolves < 2) return r;
    const int32_t a = implicitstep(t - h / 2, h / 2, depth + 1);
    return a != SOLVED ? a : implicitstep(t, h / 2, depth + 1);
}

int32_t transsubstep(double tau, double delta) {
    if (nlcount) {
        const double h = tau - statet;
        stepsolves = NLSTEPSOLVES;
        return implicitstep(tau, h > 0 ? h : delta / TRANSPROBE, 0);
    }
    const int32_t n = numwires + numnodes;
    initmat(0, tau, delta);
    int32_t r = smatsolve_real(yh, el, elcnt, pivorder, n);
    if (r != SOLVED) return r;
    for (int32_t k = 0; k < numcl; k++) {
        const int32_t w = cllist[k];
        const double y = clvalue(w), old = capindval[w];
        ocapindval[k] = old;
        capindval[w] = old + (y - old) * PREDICTOR;
    }
    initmat(0, tau, delta);
    r = smatsolve_real(yh, el, elcnt, pivorder, n);
    for (int32_t k = 0; k < numcl; k++) {
        const int32_t w = cllist[k];
        if (r != SOLVED) {
            capindval[w] = ocapindval[k];
            continue;
        }
        double v = (clvalue(w) - capindval[w]) * CORRECTOR + ocapindval[k];
        if (v > TRANSCLAMP) v = TRANSCLAMP, clamped = 1;
        else if (v < -TRANSCLAMP) v = -TRANSCLAMP, clamped = 1;
        capindval[w] = v;
    }
    return r;
}

// === initial conditions ===
// Forced C voltages and L currents become V and I sources for one DC solve
// (V(node2) - V(node1) = U for a capacitor); every state then starts from that
// solution, or at 0 when it failed. Returns the solve's code, the run's own:
// matbad stays the DC solve's, which the schematic shows.
static int32_t transinitial(void) {
    for (int32_t k = 0; k < numcl; k++) {
        wiretype &w = wire[cllist[k]];
        if (w.element == 'D' || !w.initst || !w.initst[0]) continue;
        w.value = valueat0(w.initst);
        w.element = w.element == 'C' ? 'V' : 'I';
    }
    int32_t code;
    if (nlcount) {
        code = nlsolve(0, 0, nullptr);
    } else {
        initmat(0, 0, 0);
        code = smatsolve_real(yh, el, elcnt, pivorder, numwires + numnodes);
    }
    for (int32_t k = 0; k < numcl; k++) {
        const int32_t m = cllist[k];
        wiretype &w = wire[m];
        if (w.element != 'D') {
            w.value = valueat0(w.numst);
            w.element = (w.element == 'V' || w.element == 'C') ? 'C' : 'L';
        }
        capindval[m] = code != SOLVED ? 0.0 : clvalue(m);
    }
    statet = 0;
    return code;
}

// === oversampling ===
const int32_t sampsteps[NUMSAMPSTEPS] = {1, 4, 16, 64, 256, 1024, 4096};

// === columns ===
// Column c covers [c xscale, (c+1) xscale); its sub-steps sit at the midpoints
// of samps equal parts. min/max gather the samples of the solved sub-steps; a
// column none of whose sub-steps solved holds NaN (the window leaves it out).
// A column may end between calls: p->part* keep its sub-step sums exactly as
// the loop left them, and the next call goes on from its next sub-step.

// column numcols begins: its first sub-step at c xscale + hs / 2
static void transbegin(plotcalc *p, int32_t samps) {
    p->partsamps = samps;
    p->parttau = p->numcols * p->xscale + p->xscale / samps / 2;
    p->partlo = p->parthi = NAN;
    for (int32_t k = 0; k < p->numextra; k++) p->extra[k].partlo = p->extra[k].parthi = NAN;
    p->partfirst = 1;
}

// one sub-step of column numcols, which has begun; 1 when the column has ended
static int32_t transstep(plotcalc *p) {
    const double hs = p->xscale / p->partsamps, delta = hs * TRANSPROBE;
    const double end = (p->numcols + 1.0) * p->xscale, tau = p->parttau;
    if (!(tau < end)) return 1;  // rounding left no sub-step in the column
    clamped = 0;
    const int32_t r = transsubstep(tau, delta);
    if (clamped) p->clamped = 1;
    if (r == SOLVED) {
        const double s = transsample(p->plotwire, p->plotsense);
        if (p->partfirst) p->partlo = p->parthi = s;
        else if (s < p->partlo) p->partlo = s;
        else if (s > p->parthi) p->parthi = s;
        for (int32_t k = 0; k < p->numextra; k++) {
            plottrace &e = p->extra[k];
            const double x = transsample(e.plotwire, e.plotsense);
            if (p->partfirst) e.partlo = e.parthi = x;
            else if (x < e.partlo) e.partlo = x;
            else if (x > e.parthi) e.parthi = x;
        }
        p->partfirst = 0;
    } else {
        transbad = r;
    }
    const double next = tau + hs;
    p->parttau = next;
    return !(next > tau) || !(next < end);  // the step no longer advances time, or the column is done
}

void transrestart(plotcalc *p) {
    p->numcols = -1;
    p->basecol = 0;
    p->partsamps = 0;
}

int32_t transcompute(plotcalc *p, int32_t xdim, int32_t samps, int32_t untilcol,
                     double (*clock)(void), double deadline) {
    transbad = 0;
    transcollect(p);
    if (!transprobeok(p->plotwire, p->plotsense)) return 0;
    for (int32_t k = 0; k < p->numextra; k++)
        if (!transprobeok(p->extra[k].plotwire, p->extra[k].plotsense)) return 0;
    int32_t initcode = SOLVED;
    if (p->numcols < 0) {
        p->clamped = 0;
        initcode = transinitial();
        p->numcols = 0;
        p->partsamps = 0;
    } else {
        for (int32_t k = 0; k < numcl; k++) capindval[cllist[k]] = p->savestate[k];
        statet = p->statet;
    }
    checkmaxxdim(p, xdim);
    if (samps < 1) samps = 1;
    buildhold(1);  // only the states change from here on
    for (uint32_t steps = 0; p->numcols < untilcol;) {
        const int32_t c = p->numcols;
        if ((int64_t)c >= (int64_t)p->basecol + p->bufcols) break;  // full until the window scrolls
        if (!p->partsamps) transbegin(p, samps);  // a begun column ends with the samps it began with
        const int32_t ran = p->parttau < (c + 1.0) * p->xscale;
        if (transstep(p)) {
            if (c >= p->basecol) {
                p->colmin[c - p->basecol] = p->partlo;
                p->colmax[c - p->basecol] = p->parthi;
                for (int32_t k = 0; k < p->numextra; k++) {
                    p->extra[k].colmin[c - p->basecol] = p->extra[k].partlo;
                    p->extra[k].colmax[c - p->basecol] = p->extra[k].parthi;
                }
            }
            p->numcols++;
            p->partsamps = 0;
        }
        if (ran && ++steps % TRANSCHECK == 0 && clock && clock() >= deadline) break;
    }
    buildhold(0);
    for (int32_t k = 0; k < numcl; k++) p->savestate[k] = capindval[cllist[k]];
    p->statet = statet;
    return initcode;
}
