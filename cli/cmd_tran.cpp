// cmd_tran.cpp: veltocli tran: the transient window's columns as CSV
// (time,min,max of the quantity the window shows; with several --probe one
// group of min,max per probe, headed by its name), computed by transcompute
// exactly as a window does, in chunks of one column buffer, each written by
// transcsv as a window's copy is. Depends on analysis.h, circuit.h and cliutil.cpp.
// Limits: a column none of whose sub-steps solved prints nan. --time measures
// the transcompute calls alone.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "cli/cli.h"

enum { TRANCHUNK = 2048 };  // view width handed to transcompute: the buffer holds 4x that

struct tranargs {
    const char *file;
    clitexts probes;
    int cols, samps;
    double xscale;          // 0: the file's TransDefXsc
    int timeit;             // 1: --time
};

// === arguments ===
static int colsok(double v) { return v >= 1; }
static int xscaleok(double v) { return v > 0; }
static int sampsok(double v) {
    for (int i = 0; i < NUMSAMPSTEPS; i++)
        if (v == sampsteps[i]) return 1;
    return 0;
}

static const clisyntax transyntax = {
    "tran", "veltocli tran FILE --probe P [--probe P2 ...] [--cols N] [--xscale S] [--samps K] [--time]",
    CLIDASHES | CLINAMED | CLIVALUED, "no circuit file given", "more than one file:", "unknown option",
    "missing value after",
};

// === subcommand ===
// transcompute as far as column until; its time is added to *spent.
// Returns its code: that of the initial-condition solve on the first call.
static int32_t timedcompute(plotcalc *p, int samps, int until, double *spent) {
    const double t0 = clinow();
    const int32_t init = transcompute(p, TRANCHUNK, samps, until, nullptr, 0);
    *spent += clinow() - t0;
    return init;
}

static int runtran(const tranargs *a, plotcalc *p) {
    if (!cliloadfile("tran", a->file)) return 2;
    if (!cliprobes("tran", &a->probes, p)) return 2;
    p->xscale = a->xscale > 0 ? a->xscale : transdefxsc;
    if (!(p->xscale > 0) || !isfinite(p->xscale)) {
        fprintf(stderr, "veltocli tran: the file's time scale %g is not a positive number; give --xscale\n",
                transdefxsc);
        return 2;
    }
    transrestart(p);  // from the initial conditions
    double spent = 0;
    const int32_t init = timedcompute(p, a->samps, 1, &spent);
    if (transbad != 0 && isnan(p->colmin[0])) {
        if (a->timeit) cliputtime(spent);
        fprintf(stderr, "%s\n", solvecodetext(transbad));
        return 3;
    }
    if (init != SOLVED)
        fprintf(stderr, "veltocli tran: warning: initial conditions: %s; the states start at 0\n",
                solvecodetext(init));
    int fail = transbad;
    transcsv(stdout, p, 1);
    while (p->numcols < a->cols) {
        p->basecol = p->numcols;  // slide the buffer: everything before is printed
        timedcompute(p, a->samps, a->cols, &spent);
        if (transbad != 0) fail = transbad;
        transcsv(stdout, p, 0);
    }
    if (a->timeit) cliputtime(spent);
    if (p->clamped)
        fprintf(stderr, "veltocli tran: warning: a state reached %g: the sub-steps are too coarse for the circuit "
                        "(give a smaller --xscale or more --samps)\n", TRANSCLAMP);
    if (fail != 0) {
        fprintf(stderr, "%s\nveltocli tran: some sub-steps were not solved: their samples are left out\n",
                solvecodetext(fail));
        return 3;
    }
    return 0;
}

int cmd_tran(int argc, char **argv) {
    tranargs a = {nullptr, {}, 640, 64, 0, 0};
    const clioption opts[] = {
        {"--probe", CLITEXTS, &a.probes, nullptr, "at most 8 --probe options, not another:", "no --probe given"},
        {"--cols", CLIINT, &a.cols, colsok, "--cols wants a whole number >= 1, not", nullptr},
        {"--xscale", CLINUM, &a.xscale, xscaleok, "--xscale wants seconds per column > 0, not", nullptr},
        {"--samps", CLIINT, &a.samps, sampsok, "--samps wants 1, 4, 16, 64, 256, 1024 or 4096, not", nullptr},
        {"--time", CLIFLAG, &a.timeit, nullptr, nullptr, nullptr},
    };
    const int bad = cliparse(&transyntax, opts, (int)(sizeof opts / sizeof opts[0]), &a.file, argc, argv);
    if (bad) return bad;
    plotcalc rec;
    memset(&rec, 0, sizeof rec);
    const int code = runtran(&a, &rec);
    clifreeplot(&rec);
    return code;
}
