// cmd_ac.cpp: veltocli ac: the Bode window's gain and phase at log-spaced
// frequencies as CSV (freq,gain_db,phase_deg), each point computed by bodesolve
// exactly as a window column is. The probe is used as given (no ibodeflip).
// Depends on analysis.h, circuit.h and cliutil.cpp. Points whose solve fails
// are left out; a circuit that solves at no point exits 3. --time measures
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
    const char *file, *probe;
    int inwire;             // -1: the file's ibodewire
    double from, to;        // log10 of the first and last frequency
    int points, hertz;
    int timeit;             // 1: --time
};

static int acusage(const char *why, const char *arg) {
    fprintf(stderr, "veltocli ac: %s%s%s\n", why, arg ? " " : "", arg ? arg : "");
    fprintf(stderr, "usage: veltocli ac FILE --probe P [--in W] [--from A] [--to B] [--points N] [--hertz] [--time]\n");
    return 2;
}

// 0 parsed; else the exit code (message printed)
static int acparse(int argc, char **argv, acargs *a) {
    *a = acargs{nullptr, nullptr, -1, -3, 7, 800, 0, 0};
    for (int i = 0; i < argc; i++) {
        const char *o = argv[i];
        if (strncmp(o, "--", 2) != 0) {
            if (a->file) return acusage("more than one file:", o);
            a->file = o;
            continue;
        }
        if (!strcmp(o, "--hertz")) {
            a->hertz = 1;
            continue;
        }
        if (!strcmp(o, "--time")) {
            a->timeit = 1;
            continue;
        }
        if (i + 1 >= argc) return acusage("missing value after", o);
        const char *v = argv[++i];
        if (!strcmp(o, "--probe")) a->probe = v;
        else if (!strcmp(o, "--in")) {
            if (!cliparseint(v, &a->inwire) || a->inwire < 0) return acusage("--in wants a wire index, not", v);
        } else if (!strcmp(o, "--from")) {
            if (!cliparsenum(v, &a->from) || fabs(a->from) > ACDECMAX)
                return acusage("--from wants a decade exponent in [-300, 300], not", v);
        } else if (!strcmp(o, "--to")) {
            if (!cliparsenum(v, &a->to) || fabs(a->to) > ACDECMAX)
                return acusage("--to wants a decade exponent in [-300, 300], not", v);
        } else if (!strcmp(o, "--points")) {
            if (!cliparseint(v, &a->points) || a->points < 1 || a->points > ACPOINTSMAX)
                return acusage("--points wants a whole number in [1, 10000000], not", v);
        } else {
            return acusage("unknown option", o);
        }
    }
    if (!a->file) return acusage("no circuit file given", nullptr);
    if (!a->probe) return acusage("no --probe given", nullptr);
    return 0;
}

// gain in dB; a zero magnitude gives -inf (output 0), inf (input 0) or nan (both)
static double gaindb(const bodepoint &bp) {
    if (bp.gain != BODENOGAIN) return bp.gain * 10 / log(10.0);
    const int outzero = bp.outre * bp.outre + bp.outim * bp.outim <= 0;
    const int inzero = bp.inre * bp.inre + bp.inim * bp.inim <= 0;
    if (outzero && inzero) return NAN;
    return outzero ? -INFINITY : INFINITY;
}


static int runac(const acargs *a) {
    int idx = 0, sense = 0;
    if (!cliloadfile("ac", a->file)) return 2;
    if (!cliparseprobe("ac", a->probe, &idx, &sense)) return 2;
    const int in = a->inwire >= 0 ? a->inwire : ibodewire;
    if (in < 0) {
        fprintf(stderr, "veltocli ac: the file names no Bode input wire; give --in W\n");
        return 2;
    }
    if (in >= numwires || !transprobeok(in, 1)) {
        fprintf(stderr, "veltocli ac: input wire %d does not exist (the circuit has %d)\n", in, (int)numwires);
        return 2;
    }
    if (!transprobeok(idx, sense)) {
        fprintf(stderr, "veltocli ac: probe '%s' names a wire whose nodes do not exist\n", a->probe);
        return 2;
    }
    double *res = (double *)malloc((size_t)a->points * 3 * sizeof(double));
    if (!res) {
        fprintf(stderr, "veltocli ac: out of memory for %d points\n", a->points);
        return 2;
    }
    int n = 0, fail = 0;
    const double t0 = clinow();
    buildhold(1);  // only the frequency changes from point to point
    for (int i = 0; i < a->points; i++) {
        const double e = a->points > 1 ? a->from + i * (a->to - a->from) / (a->points - 1) : a->from;
        const double f = pow(10.0, e);
        bodepoint bp;
        const int r = bodesolve(a->hertz ? f * TWOPI : f, in, idx, sense, &bp);
        if (r != 0) {
            fail = r;
            continue;
        }
        double deg = bp.phase * 360 / TWOPI;  // [0, 360) -> (-180, 180]
        if (deg > 180) deg -= 360;
        res[3 * n] = f;
        res[3 * n + 1] = gaindb(bp);
        res[3 * n + 2] = deg;
        n++;
    }
    buildhold(0);
    if (a->timeit) cliputtime(clinow() - t0);
    if (n == 0) {
        fprintf(stderr, "%s\n", solvecodetext(fail));
        free(res);
        return 3;
    }
    printf("freq,gain_db,phase_deg\n");
    for (int k = 0; k < n; k++) {
        putnum(res[3 * k], ',');
        putnum(res[3 * k + 1], ',');
        putnum(res[3 * k + 2], '\n');
    }
    if (fail != 0)
        fprintf(stderr, "veltocli ac: warning: %s at some frequencies: those points are left out\n",
                solvecodetext(fail));
    free(res);
    return 0;
}

int cmd_ac(int argc, char **argv) {
    acargs a;
    const int bad = acparse(argc, argv, &a);
    return bad ? bad : runac(&a);
}
