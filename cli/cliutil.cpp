// cliutil.cpp: what the tran, ac and spice subcommands share: loading the
// circuit file, strict number and probe parsing, and the solver's messages.
// Depends on circuit.h (loadvsm, the arrays). Every failure is reported on
// stderr here; the callers only choose the exit code.
#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "cli/cli.h"

// === solver messages ===
const char *solvecodetext(int code) {  // the texts veltocli dc prints
    switch (code) {
    case SOLVED: return "solved";
    case SOLVENODE: return "singular: a node voltage is undetermined";
    case SOLVEEMPTY: return "empty: nothing to solve";
    case SOLVEWIRE: return "singular: a wire current is undetermined";
    default: return "not solved";
    }
}

// === circuit file ===
int cliloadfile(const char *cmd, const char *path) {
    if (!loadvsm(path)) {
        fprintf(stderr, "veltocli %s: %s\n", cmd, vsmerror());
        return 0;
    }
    if (vsmrepairs > 0)
        fprintf(stderr, "veltocli %s: '%s': %d damaged item%s repaired or dropped\n", cmd, path, (int)vsmrepairs,
                vsmrepairs == 1 ? "" : "s");
    return 1;
}

// === numbers ===
int cliparseint(const char *s, int *v) {
    const char *d = s[0] == '-' ? s + 1 : s;
    if (*d < '0' || *d > '9') return 0;  // digits only: no sign but '-', no blanks
    for (const char *q = d; *q; q++)
        if (*q < '0' || *q > '9') return 0;
    errno = 0;
    const long long x = strtoll(s, nullptr, 10);
    if (errno != 0 || x < -2147483647LL - 1 || x > 2147483647LL) return 0;
    *v = (int)x;
    return 1;
}

int cliparsenum(const char *s, double *v) {
    if (!*s || strchr(" \t\n\r\f\v", s[0])) return 0;
    char *end = nullptr;
    errno = 0;
    const double x = strtod(s, &end);
    if (*end != '\0' || !isfinite(x)) return 0;  // whole text, no inf or nan
    *v = x;
    return 1;
}

// === probes ===
int cliparseprobe(const char *cmd, const char *s, int *index, int *sense) {
    int i = -1;
    if (!strncmp(s, "node:", 5)) {
        if (s[5] == '-' || !cliparseint(s + 5, &i)) goto bad;
        if (i >= numnodes) {
            fprintf(stderr, "veltocli %s: probe '%s' names no node (the circuit has %d)\n", cmd, s, (int)numnodes);
            return 0;
        }
        *index = i;
        *sense = 0;
        return 1;
    }
    if (!strncmp(s, "wire:", 5)) {
        const int neg = s[5] == '-';  // "wire:-0" is wire 0 with sense -1
        if (s[5 + neg] == '-' || !cliparseint(s + 5 + neg, &i)) goto bad;
        if (i >= numwires) {
            fprintf(stderr, "veltocli %s: probe '%s' names no wire (the circuit has %d)\n", cmd, s, (int)numwires);
            return 0;
        }
        *index = i;
        *sense = neg ? -1 : 1;
        return 1;
    }
bad:
    fprintf(stderr, "veltocli %s: bad probe '%s' (node:I, wire:I or wire:-I)\n", cmd, s);
    return 0;
}

// === numbers out ===
void putnum(double v, char end) {
    if (isnan(v)) printf("nan%c", end);
    else printf("%.17g%c", v + 0.0, end);
}

// === analysis time ===
double clinow(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + ts.tv_nsec * 1e-9;
}

void cliputtime(double secs) { fprintf(stderr, "analysis: %.6f s\n", secs); }
