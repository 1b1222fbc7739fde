// cliutil.cpp: what the subcommands share: the option walk their tables
// drive, loading the circuit file, strict number and probe parsing, and the
// solver's messages.
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
    case SOLVENOCONV: return "no solution: the iteration did not converge";
    case SOLVEBADMODEL: return "a diode's text does not read";
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

// === options ===
static int usage(const clisyntax *s, const char *why, const char *arg) {
    if (!(s->style & CLINAMED)) arg = nullptr;
    fprintf(stderr, "veltocli %s: %s%s%s\nusage: %s\n", s->cmd, why, arg ? " " : "", arg ? arg : "", s->usage);
    return 2;
}

static int isoption(const clisyntax *s, const char *a) {
    if (!(s->style & CLIDASHES) || strncmp(a, "--", 2) != 0) return 0;
    const char l = a[2];
    return !(s->style & CLILETTER) || (l >= 'a' && l <= 'z') || (l >= 'A' && l <= 'Z');
}

static const clioption *findoption(const clioption *opts, int numopts, const char *name) {
    for (int i = 0; i < numopts; i++)
        if (!strcmp(opts[i].name, name)) return &opts[i];
    return nullptr;
}

// 1: text is a value of o's kind that o accepts, stored
static int setvalue(const clioption *o, const char *text) {
    char *end = nullptr;
    double v = 0;
    switch (o->kind) {
    case CLITEXT: *(const char **)o->to = text; return 1;
    case CLITEXTS: {
        clitexts *t = (clitexts *)o->to;
        if (t->n >= CLITEXTSMAX) return 0;
        t->v[t->n++] = text;
        return 1;
    }
    case CLIINT:
        if (!cliparseint(text, (int *)o->to)) return 0;
        v = *(int *)o->to;
        break;
    case CLINUM:
        if (!cliparsenum(text, (double *)o->to)) return 0;
        v = *(double *)o->to;
        break;
    case CLINUMSP:  // strtod's own rule: leading blanks skipped
        v = *(double *)o->to = strtod(text, &end);
        if (!*text || *end != '\0' || !isfinite(v)) return 0;
        break;
    }
    return !o->ok || o->ok(v);
}

int cliparse(const clisyntax *s, const clioption *opts, int numopts, const char **pos, int argc, char **argv) {
    for (int i = 0; i < argc; i++) {
        const char *a = argv[i];
        if (!isoption(s, a)) {
            if (*pos) return usage(s, s->twopos, a);
            *pos = a;
            continue;
        }
        const clioption *o = findoption(opts, numopts, a);
        if (o && o->kind == CLIFLAG) {
            *(int *)o->to = 1;
            continue;
        }
        if (!o && !(s->style & CLIVALUED)) return usage(s, s->unknown, a);
        if (i + 1 >= argc) return usage(s, s->novalue, a);
        const char *v = argv[++i];
        if (!o) return usage(s, s->unknown, a);
        if (!setvalue(o, v)) return usage(s, o->bad, v);
    }
    if (!*pos) return usage(s, s->nopos, nullptr);
    for (int i = 0; i < numopts; i++)
        if (opts[i].absent && !*(const char **)opts[i].to) return usage(s, opts[i].absent, nullptr);
    return 0;
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

int cliprobes(const char *cmd, const clitexts *probes, plotcalc *p) {
    for (int k = 0; k < probes->n; k++) {
        int idx = 0, sense = 0;
        if (!cliparseprobe(cmd, probes->v[k], &idx, &sense)) return 0;
        if (!transprobeok(idx, sense)) {
            fprintf(stderr, "veltocli %s: probe '%s' names a wire whose nodes do not exist\n", cmd, probes->v[k]);
            return 0;
        }
        if (k == 0) p->plotwire = idx, p->plotsense = sense;
        else traceadd(p, idx, sense);
    }
    return 1;
}

void clifreeplot(plotcalc *p) {
    free(p->colmin);
    free(p->colmax);
    free(p->savestate);
    for (int k = 0; k < MAXTRACES - 1; k++) free(p->extra[k].colmin), free(p->extra[k].colmax);
}

// === analysis time ===
double clinow(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + ts.tv_nsec * 1e-9;
}

void cliputtime(double secs) { fprintf(stderr, "analysis: %.6f s\n", secs); }
