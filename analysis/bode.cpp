// bode.cpp: the computing half of the Bode window: one complex build and
// solve per frequency (up to BATCHMAX frequencies solved together), the
// output and input quantities of each mode, and the per-column cache of gain
// and phase kept in the caller's plotcalc.
// Depends on initmat, smatsolve_comp, the batches, checkmaxxdim and the
// circuit arrays.
// Draws nothing. A V or I source as the input is driven with the unit phasor
// and every other V and I source is 0: the columns are its transfer function
// whatever its time value. Any other input divides by its voltage with the
// sources at their t = 0 values.
#include <math.h>
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "expr/expr.h"

// === one frequency ===
struct cplx {
    double re, im;
};

static int32_t readlane = -1;  // the batch lane solutions are read from, -1: el

static cplx solvedc(int32_t c) {
    cplx v{el[yh[c]].re, el[yh[c]].im};
    if (readlane >= 0) batchx(readlane, c, &v.re, &v.im);
    return v;
}

static cplx cdiff(cplx a, cplx b) { return cplx{a.re - b.re, a.im - b.im}; }

// Output: the current of a T probed as a wire (negated for sense +1), else a
// voltage: the node's for sense 0, V(node1) - V(node2) for +1, the reverse for
// -1. Input: the input wire's current in current mode or when it is an I
// source, else its voltage V(node2) - V(node1). Read from the solution in el
// (or in the batch's lane readlane).
static void bodeextract(int32_t inwire, int32_t plotwire, int32_t plotsense, bodepoint *bp) {
    const int32_t nw = numwires;
    const int32_t current = plotsense != 0 && wire[plotwire].element == 'T';
    cplx out, in;
    if (current) {
        out = solvedc(plotwire);
        if (plotsense > 0) out = cplx{-out.re, -out.im};
    } else if (plotsense == 0) {
        out = solvedc(nw + plotwire);
    } else {
        const cplx va = solvedc(nw + wire[plotwire].node1), vb = solvedc(nw + wire[plotwire].node2);
        out = plotsense > 0 ? cdiff(va, vb) : cdiff(vb, va);
    }
    if (current || wire[inwire].element == 'I') in = solvedc(inwire);
    else in = cdiff(solvedc(nw + wire[inwire].node2), solvedc(nw + wire[inwire].node1));
    bp->outre = out.re;
    bp->outim = out.im;
    bp->inre = in.re;
    bp->inim = in.im;
    const double mo = out.re * out.re + out.im * out.im, mi = in.re * in.re + in.im * in.im;
    bp->gain = (mo <= 0 || mi <= 0) ? BODENOGAIN : log(mo) - log(mi);
    double ph = atan2(out.im, out.re) - atan2(in.im, in.re);
    while (ph < 0) ph += TWOPI;
    if (ph >= TWOPI) ph = 0;  // -tiny + 2 pi rounds up to 2 pi: keep [0, 2 pi)
    bp->phase = ph;
}

// the build of bodesolve at w, for its input wire
static void bodebuild(double w, int32_t inwire) {
    const int32_t e = wire[inwire].element;
    acdrive = e == 'V' || e == 'I' ? inwire : -1;
    if (nlcount) nlsmallsignal(w);
    initmat(w, 0, 0);
    acdrive = -1;
}

int32_t bodesolve(double w, int32_t inwire, int32_t plotwire, int32_t plotsense, bodepoint *bp) {
    if (!transprobeok(plotwire, plotsense) || !transprobeok(inwire, 1)) return -1;
    bodebuild(w, inwire);
    const int32_t r = smatsolve_comp(yh, el, elcnt, pivorder, numwires + numnodes);
    if (r != SOLVED) return r;
    bodeextract(inwire, plotwire, plotsense, bp);
    return 0;
}

// 1 if every trace of p and its input can be probed
static int32_t bodeprobesok(const plotcalc *p) {
    if (!transprobeok(p->plotwire, p->plotsense) || !transprobeok(p->inwire, 1)) return 0;
    for (int32_t k = 0; k < p->numextra; k++)
        if (!transprobeok(p->extra[k].plotwire, p->extra[k].plotsense)) return 0;
    return 1;
}

// every trace of p read from the solution (el, or the lane readlane)
static void bodeextractall(const plotcalc *p, bodepoint *bp) {
    bodeextract(p->inwire, p->plotwire, p->plotsense, &bp[0]);
    for (int32_t k = 0; k < p->numextra; k++)
        bodeextract(p->inwire, p->extra[k].plotwire, p->extra[k].plotsense, &bp[k + 1]);
}

// the system just built solved, and read
static int32_t bodefinish(const plotcalc *p, bodepoint *bp) {
    const int32_t r = smatsolve_comp(yh, el, elcnt, pivorder, numwires + numnodes);
    if (r == SOLVED) bodeextractall(p, bp);
    return r;
}

int32_t bodesolveall(double w, const plotcalc *p, bodepoint *bp) {
    if (!bodeprobesok(p)) return -1;
    bodebuild(w, p->inwire);
    return bodefinish(p, bp);
}

// Points w[0..k), k at most BATCHMAX, each as bodesolveall solves it alone
// (the same bits), res[j] its code: in one batch when the solve before was a
// held sweep's, else one by one (the first from its build when the batch
// turned that away).
void bodesolvemany(const double *w, int32_t k, const plotcalc *p, bodepoint (*bp)[MAXTRACES], int32_t *res) {
    int32_t ok = k > 1 && k <= BATCHMAX && batchready() && bodeprobesok(p), taken = 0, built = 0;
    while (ok && taken < k) {
        bodebuild(w[taken], p->inwire);
        built = 1;
        ok = batchtake(taken);
        taken += ok;
    }
    if (ok && batchsolve(k)) {
        for (int32_t j = 0; j < k; j++) {
            readlane = j;
            bodeextractall(p, bp[j]);
            res[j] = SOLVED;
        }
        readlane = -1;
        return;
    }
    int32_t from = 0;
    if (built && taken == 0) res[0] = bodefinish(p, bp[0]), from = 1;
    for (int32_t j = from; j < k; j++) res[j] = bodesolveall(w[j], p, bp[j]);
}

// === the column cache ===
// f = 10^(lfreqlo + c (lfreqhi - lfreqlo) / xdim); on a linear axis
// f = flo + c (fhi - flo) / xdim with flo = 10^lfreqlo, fhi = 10^lfreqhi
double bodefreq(const plotcalc *p, double c, int32_t xdim) {
    if (!p->linfreq) return pow(10.0, p->lfreqlo + c * (p->lfreqhi - p->lfreqlo) / xdim);
    const double flo = pow(10.0, p->lfreqlo), fhi = pow(10.0, p->lfreqhi);
    return flo + c * (fhi - flo) / xdim;
}

// omega = bodefreq, times 2 pi on a hertz axis
double bodeomega(const plotcalc *p, int32_t c, int32_t xdim) {
    double w = bodefreq(p, c, xdim);
    if (p->hertz) w *= TWOPI;
    return w;
}

void bodeclear(plotcalc *p) {
    p->inzero = -1;
    p->swept = 0;
    for (int32_t c = 0; c < p->bufcols; c++) p->colmax[c] = -1.0;
    for (int32_t k = 0; k < p->numextra; k++)
        for (int32_t c = 0; c < p->extra[k].cols; c++) p->extra[k].colmax[c] = -1.0;
}

// a solved column into the cache: gain and phase of every trace
static void bodeput(plotcalc *p, int32_t c, const bodepoint *bp) {
    const int32_t in0 = bp[0].inre * bp[0].inre + bp[0].inim * bp[0].inim <= 0;
    p->inzero = in0 && p->inzero != 0;
    p->colmin[c] = bp[0].gain;
    p->colmax[c] = bp[0].phase;
    for (int32_t k = 0; k < p->numextra; k++) {
        p->extra[k].colmin[c] = bp[k + 1].gain;
        p->extra[k].colmax[c] = bp[k + 1].phase;
    }
}

// A column's frequency follows the view width, so the cache belongs to the
// width it was computed for; another width starts it afresh. A failed solve
// leaves the column not computed (retried on the next call) and its colmin as
// it was. A nonlinear circuit's operating point is found while no column is
// computed, so every column of a sweep cut into several calls linearises at
// the same point, whatever the transient windows' iterations do between them;
// when there is none, nothing is tried again until bodeclear (the circuit
// changed), as its search may take thousands of iterations.
int32_t bodecolumns(plotcalc *p, int32_t xdim, double (*clock)(void), double deadline) {
    checkmaxxdim(p, xdim > 0 ? xdim : 1);  // the buffers exist even for an empty view
    if (p->cachexdim != xdim) {
        bodeclear(p);
        p->cachexdim = xdim;
    }
    const int32_t end = xdim < p->bufcols ? xdim : p->bufcols;
    const int32_t all = xdim > BODEMARGIN ? xdim - BODEMARGIN : 0;  // what fails when nothing can be solved
    if (p->swept == 2) return all;
    int32_t fails = 0, c = BODEMARGIN;
    while (c < end && p->colmax[c] >= 0) c++;
    if (c < end && p->inzero == -1 && acprepare() != SOLVED) {  // a sweep's first call: its operating point
        p->swept = 2;
        return all;
    }
    buildhold(1);  // only omega changes from column to column
    while (c < end) {
        int32_t cols[BATCHMAX], res[BATCHMAX], k = 0;
        const int32_t most = batchready() ? BATCHMAX : 1;  // a slow solve alone, then the clock
        double w[BATCHMAX];
        for (; c < end && k < most; c++)
            if (p->colmax[c] < 0) w[k] = bodeomega(p, c, xdim), cols[k++] = c;
        bodepoint bp[BATCHMAX][MAXTRACES];
        bodesolvemany(w, k, p, bp, res);
        for (int32_t j = 0; j < k; j++) {
            if (res[j] != SOLVED) fails++;
            else bodeput(p, cols[j], bp[j]);
        }
        if (clock && clock() >= deadline) break;
    }
    buildhold(0);
    if (c >= end) p->swept = 1;
    return fails;
}
