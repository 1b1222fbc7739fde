// bode.cpp: the computing half of the Bode window: one complex build and
// solve per frequency, the output and input quantities of each mode, and the
// per-column cache of gain and phase kept in the plot record.
// Depends on initmat, smatsolve_comp, checkmaxxdim, the circuit arrays and
// gplot. Draws nothing; every independent source acts with its t = 0 value.
#include <math.h>
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "expr/expr.h"
#include "ui/ui.h"

int32_t lastgxdim = 0;
int32_t lastgydim = 0;

// === one frequency ===
struct cplx {
    double re, im;
};

static cplx solvedc(int32_t c) { return cplx{el[yh[c]].re, el[yh[c]].im}; }

static cplx cdiff(cplx a, cplx b) { return cplx{a.re - b.re, a.im - b.im}; }

// Output: the current of a T probed as a wire (negated for sense +1), else a
// voltage: the node's for sense 0, V(node1) - V(node2) for +1, the reverse for
// -1. Input: the input wire's current in current mode or when it is an I
// source, else its voltage V(node2) - V(node1).
int32_t bodesolve(double w, int32_t inwire, int32_t plotwire, int32_t plotsense, bodepoint *bp) {
    if (!transprobeok(plotwire, plotsense) || !transprobeok(inwire, 1)) return -1;
    initmat(w, 0, 0);
    const int32_t r = smatsolve_comp(yh, el, elcnt, pivorder, numwires + numnodes);
    if (r != 0) return r;
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
    return 0;
}

// === the column cache ===
// omega = 10^(lfreqlo + c (lfreqhi - lfreqlo) / xdim), times 2 pi on a hertz axis
double bodeomega(int32_t c, int32_t xdim) {
    const plottype *p = gplot;
    double w = pow(10.0, p->lfreqlo + c * (p->lfreqhi - p->lfreqlo) / xdim);
    if (p->hertz) w *= TWOPI;
    return w;
}

// Marks every column of gplot's cache not computed.
static void bodeclear(int32_t xdim) {
    plottype *p = gplot;
    const int32_t n = xdim < p->bufcols - 1 ? xdim : p->bufcols - 1;
    for (int32_t c = 0; c < n; c++) p->colmax[c] = -1.0;
}

// The cache's last slot (never a column: bufcols > xdim) remembers the size its
// columns were computed for. lastgxdim/lastgydim are shared by all Bode windows,
// so a window resized to the size of the one drawn before it would otherwise
// keep columns computed for its old width.
void bodeprepare(int32_t xdim, int32_t ydim) {
    plottype *p = gplot;
    checkmaxxdim(xdim > 0 ? xdim : 1);  // the buffers exist even for an empty view
    double *sizex = &p->colmin[p->bufcols - 1], *sizey = &p->colmax[p->bufcols - 1];
    if (xdim != lastgxdim || ydim != lastgydim || *sizex != xdim || *sizey != ydim) {
        lastgxdim = xdim;
        lastgydim = ydim;
        bodeclear(xdim);
        *sizex = xdim;
        *sizey = ydim;
    }
    if (p->phaseoffs == -1) {  // view reset: 10^-3 .. 10^7, +-60 dB, 0 degrees centred
        p->lfreqlo = -3;
        p->lfreqhi = 7;
        p->dblo = -60;
        p->dbhi = 60;
        p->phaseoffs = 0x8000;
        bodeclear(p->bufcols - 1);
    }
    p->dbscale = -(0.6 * ydim) / (p->dbhi - p->dblo);
    p->lnscale = p->dbscale * 10 / log(10.0);
}

// A failed solve leaves the column not computed (retried on the next call)
// and its colmin as it was.
int32_t bodecolumns(int32_t xdim) {
    plottype *p = gplot;
    checkmaxxdim(xdim);
    int32_t fails = 0;
    buildhold(1);  // only omega changes from column to column
    for (int32_t c = BODEMARGIN; c < xdim && c < p->bufcols - 1; c++) {
        if (!(p->colmax[c] < 0)) continue;
        bodepoint bp;
        if (bodesolve(bodeomega(c, xdim), p->inwire, p->plotwire, p->plotsense, &bp) != 0) {
            p->colmax[c] = -1.0;
            fails++;
            continue;
        }
        p->colmin[c] = bp.gain;
        p->colmax[c] = bp.phase;
    }
    buildhold(0);
    return fails;
}
