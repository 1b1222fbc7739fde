// cmd_tran.cpp: veltocli tran: the transient window's columns as CSV
// (time,min,max of the quantity the window shows), computed by transcompute
// exactly as a window does, in chunks of one column buffer.
// Depends on analysis.h, circuit.h and cliutil.cpp.
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
    const char *file, *probe;
    int cols, samps;
    double xscale;          // 0: the file's TransDefXsc
    int timeit;             // 1: --time
};

static int tranusage(const char *why, const char *arg) {
    fprintf(stderr, "veltocli tran: %s%s%s\n", why, arg ? " " : "", arg ? arg : "");
    fprintf(stderr, "usage: veltocli tran FILE --probe P [--cols N] [--xscale S] [--samps K] [--time]\n");
    return 2;
}

static int sampsok(int k) {
    for (int s = 1; s <= 4096; s *= 4)
        if (k == s) return 1;
    return 0;
}

// 0 parsed; else the exit code (message printed)
static int tranparse(int argc, char **argv, tranargs *a) {
    *a = tranargs{nullptr, nullptr, 640, 64, 0, 0};
    for (int i = 0; i < argc; i++) {
        const char *o = argv[i];
        if (strncmp(o, "--", 2) != 0) {
            if (a->file) return tranusage("more than one file:", o);
            a->file = o;
            continue;
        }
        if (!strcmp(o, "--time")) {
            a->timeit = 1;
            continue;
        }
        if (i + 1 >= argc) return tranusage("missing value after", o);
        const char *v = argv[++i];
        if (!strcmp(o, "--probe")) a->probe = v;
        else if (!strcmp(o, "--cols")) {
            if (!cliparseint(v, &a->cols) || a->cols < 1) return tranusage("--cols wants a whole number >= 1, not", v);
        } else if (!strcmp(o, "--xscale")) {
            if (!cliparsenum(v, &a->xscale) || !(a->xscale > 0))
                return tranusage("--xscale wants seconds per column > 0, not", v);
        } else if (!strcmp(o, "--samps")) {
            if (!cliparseint(v, &a->samps) || !sampsok(a->samps))
                return tranusage("--samps wants 1, 4, 16, 64, 256, 1024 or 4096, not", v);
        } else {
            return tranusage("unknown option", o);
        }
    }
    if (!a->file) return tranusage("no circuit file given", nullptr);
    if (!a->probe) return tranusage("no --probe given", nullptr);
    return 0;
}


static void putcols(const plotcalc *p, int from) {
    for (int c = from; c < p->numcols; c++) {
        const int slot = c - p->basecol;
        putnum(c * p->xscale, ',');
        putnum(-p->colmax[slot], ',');  // stored s = -q: q's min is -max(s)
        putnum(-p->colmin[slot], '\n');
    }
}

// transcompute as far as column until; its time is added to *spent
static void timedcompute(plotcalc *p, int samps, int until, double *spent) {
    const double t0 = clinow();
    transcompute(p, TRANCHUNK, samps, until, nullptr, 0);
    *spent += clinow() - t0;
}

static int runtran(const tranargs *a, plotcalc *p) {
    int idx = 0, sense = 0;
    if (!cliloadfile("tran", a->file)) return 2;
    if (!cliparseprobe("tran", a->probe, &idx, &sense)) return 2;
    if (!transprobeok(idx, sense)) {
        fprintf(stderr, "veltocli tran: probe '%s' names a wire whose nodes do not exist\n", a->probe);
        return 2;
    }
    p->xscale = a->xscale > 0 ? a->xscale : transdefxsc;
    if (!(p->xscale > 0) || !isfinite(p->xscale)) {
        fprintf(stderr, "veltocli tran: the file's time scale %g is not a positive number; give --xscale\n",
                transdefxsc);
        return 2;
    }
    p->plotwire = idx;
    p->plotsense = sense;
    transrestart(p);  // from the initial conditions
    double spent = 0;
    timedcompute(p, a->samps, 1, &spent);
    if (transbad != 0 && isnan(p->colmin[0])) {
        if (a->timeit) cliputtime(spent);
        fprintf(stderr, "%s\n", solvecodetext(transbad));
        return 3;
    }
    if (matbad != 0)
        fprintf(stderr, "veltocli tran: warning: initial conditions: %s; the states start at 0\n",
                solvecodetext(matbad));
    int fail = transbad;
    printf("time,min,max\n");
    putcols(p, 0);
    while (p->numcols < a->cols) {
        p->basecol = p->numcols;  // slide the buffer: everything before is printed
        timedcompute(p, a->samps, a->cols, &spent);
        if (transbad != 0) fail = transbad;
        putcols(p, p->basecol);
    }
    if (a->timeit) cliputtime(spent);
    if (fail != 0) {
        fprintf(stderr, "%s\nveltocli tran: some sub-steps were not solved: their samples are left out\n",
                solvecodetext(fail));
        return 3;
    }
    return 0;
}

int cmd_tran(int argc, char **argv) {
    tranargs a;
    const int bad = tranparse(argc, argv, &a);
    if (bad) return bad;
    plotcalc rec;
    memset(&rec, 0, sizeof rec);
    const int code = runtran(&a, &rec);
    free(rec.colmin);
    free(rec.colmax);
    free(rec.savestate);
    return code;
}
