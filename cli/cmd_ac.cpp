// cmd_ac.cpp: veltocli ac: the Bode window's gain and phase at log-spaced
// frequencies as CSV (freq,gain_db,phase_deg; with several --probe one group
// per probe, headed by its name), the points computed by bodesolvemany
// (BATCHMAX at a time) exactly as a window's columns are, and written by
// bodecsv as a window's copy is. The probe is used as given (no ibodeflip).
// Depends on analysis.h, circuit.h and cliutil.cpp. Points whose solve fails
// are left out; a circuit that solves at no point, or whose input is 0 at
// every point solved, exits 3. --time measures
// the loop over the points alone.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "cli/cli.h"
#include "expr/expr.h"

enum { ACPOINTSMAX = 10000000 };
static const double ACDECMAX = 300;  // |log10 of a frequency| accepted by --from and --to

struct acargs {
    const char *file;
    clitexts probes;
    int inwire;             // -1: the file's ibodewire
    double from, to;        // log10 of the first and last frequency
    int points, hertz;
    int timeit;             // 1: --time
};

// === arguments ===
static int inok(double v) { return v >= 0; }
static int decadeok(double v) { return fabs(v) <= ACDECMAX; }
static int pointsok(double v) { return v >= 1 && v <= ACPOINTSMAX; }

static const clisyntax acsyntax = {
    "ac", "veltocli ac FILE --probe P [--probe P2 ...] [--in W] [--from A] [--to B] [--points N] [--hertz] [--time]",
    CLIDASHES | CLINAMED | CLIVALUED, "no circuit file given", "more than one file:", "unknown option",
    "missing value after",
};

// === subcommand ===
// ln|out|^2 - ln|in|^2, a zero magnitude as its limit: -inf (output 0), inf
// (input 0) or nan (both), where a window keeps BODENOGAIN
static double lnratio(const bodepoint &bp) {
    if (bp.gain != BODENOGAIN) return bp.gain;
    const int outzero = bp.outre * bp.outre + bp.outim * bp.outim <= 0;
    const int inzero = bp.inre * bp.inre + bp.inim * bp.inim <= 0;
    if (outzero && inzero) return NAN;
    return outzero ? -INFINITY : INFINITY;
}

// the circuit, its probes and its input wire into p; 0 or the exit code (said so)
static int acload(const acargs *a, plotcalc *p) {
    if (!cliloadfile("ac", a->file)) return 2;
    if (!cliprobes("ac", &a->probes, p)) return 2;
    p->inwire = a->inwire >= 0 ? a->inwire : ibodewire;
    if (p->inwire < 0) {
        fprintf(stderr, "veltocli ac: the file names no Bode input wire; give --in W\n");
        return 2;
    }
    if (p->inwire >= numwires || !transprobeok(p->inwire, 1)) {
        fprintf(stderr, "veltocli ac: input wire %d does not exist (the circuit has %d)\n", p->inwire, (int)numwires);
        return 2;
    }
    return 0;
}

// point i from its solve (code r): 1 if solved
static int acput(plotcalc *p, int i, const bodepoint *bp, int r, int *fail, int *live) {
    p->colmax[i] = -1.0;
    for (int k = 0; k < p->numextra; k++) p->extra[k].colmax[i] = -1.0;
    if (r != 0) {
        *fail = r;
        return 0;
    }
    *live += bp[0].inre * bp[0].inre + bp[0].inim * bp[0].inim > 0;
    p->colmin[i] = lnratio(bp[0]);
    p->colmax[i] = bp[0].phase;
    for (int k = 0; k < p->numextra; k++) {
        p->extra[k].colmin[i] = lnratio(bp[k + 1]);
        p->extra[k].colmax[i] = bp[k + 1].phase;
    }
    return 1;
}

// Point i of p at omega = 10^(from + i (to - from) / span) (times 2 pi in
// hertz) into column i of every trace: colmin the gain as lnratio, colmax the
// phase, -1 where the solve failed (*fail its code), *live the points whose
// input is not 0. Returns the points solved.
static int acpoints(plotcalc *p, int points, int span, int *fail, int *live) {
    int n = 0;
    buildhold(1);  // only the frequency changes from point to point
    for (int i0 = 0; i0 < points; i0 += BATCHMAX) {
        const int k = points - i0 < BATCHMAX ? points - i0 : BATCHMAX;
        double w[BATCHMAX];
        int32_t res[BATCHMAX];
        bodepoint bp[BATCHMAX][MAXTRACES];
        for (int j = 0; j < k; j++) w[j] = bodeomega(p, i0 + j, span);
        bodesolvemany(w, k, p, bp, res);
        for (int j = 0; j < k; j++) n += acput(p, i0 + j, bp[j], res[j], fail, live);
    }
    buildhold(0);
    return n;
}

static int runac(const acargs *a, plotcalc *p) {
    int fail = 0, live = 0;
    const int bad = acload(a, p);
    if (bad) return bad;
    p->colmin = (double *)malloc((size_t)a->points * sizeof(double));
    p->colmax = (double *)malloc((size_t)a->points * sizeof(double));
    int ok = p->colmin && p->colmax;
    for (int k = 0; k < p->numextra && ok; k++) {
        plottrace &e = p->extra[k];
        free(e.colmin), free(e.colmax);
        e.colmin = (double *)malloc((size_t)a->points * sizeof(double));
        e.colmax = (double *)malloc((size_t)a->points * sizeof(double));
        ok = e.colmin && e.colmax;
    }
    if (!ok) {
        fprintf(stderr, "veltocli ac: out of memory for %d points\n", a->points);
        return 2;
    }
    p->lfreqlo = a->from;
    p->lfreqhi = a->to;
    p->hertz = a->hertz;
    const int span = a->points > 1 ? a->points - 1 : 1;  // the last point at to
    const double t0 = clinow();
    if (nlcollect() && dcsolve() != SOLVED) {  // the operating point nonlinear elements linearise at
        fprintf(stderr, "%s\n", whytext);
        return 3;
    }
    const int n = acpoints(p, a->points, span, &fail, &live);
    if (a->timeit) cliputtime(clinow() - t0);
    if (n == 0) {
        fprintf(stderr, "%s\n", solvecodetext(fail));
        return 3;
    }
    if (live == 0) {
        fprintf(stderr, "veltocli ac: input is 0 at every frequency\n");
        return 3;
    }
    bodecsv(stdout, p, 0, a->points, span, 1);  // a nan phase printed too
    if (fail != 0)
        fprintf(stderr, "veltocli ac: warning: %s at some frequencies: those points are left out\n",
                solvecodetext(fail));
    return 0;
}

int cmd_ac(int argc, char **argv) {
    acargs a = {nullptr, {}, -1, -3, 7, 800, 0, 0};
    const clioption opts[] = {
        {"--probe", CLITEXTS, &a.probes, nullptr, "at most 8 --probe options, not another:", "no --probe given"},
        {"--in", CLIINT, &a.inwire, inok, "--in wants a wire index, not", nullptr},
        {"--from", CLINUM, &a.from, decadeok, "--from wants a decade exponent in [-300, 300], not", nullptr},
        {"--to", CLINUM, &a.to, decadeok, "--to wants a decade exponent in [-300, 300], not", nullptr},
        {"--points", CLIINT, &a.points, pointsok, "--points wants a whole number in [1, 10000000], not", nullptr},
        {"--hertz", CLIFLAG, &a.hertz, nullptr, nullptr, nullptr},
        {"--time", CLIFLAG, &a.timeit, nullptr, nullptr, nullptr},
    };
    const int bad = cliparse(&acsyntax, opts, (int)(sizeof opts / sizeof opts[0]), &a.file, argc, argv);
    if (bad) return bad;
    plotcalc rec;
    memset(&rec, 0, sizeof rec);
    const int code = runac(&a, &rec);
    clifreeplot(&rec);
    return code;
}
