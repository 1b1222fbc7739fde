// cmd_eval.cpp: veltocli eval EXPR [--t T]: normalises EXPR and prints its
// value at time T (default 0) with %.17g. Depends on expr.h (and copytext).
// Exit codes: 0 value printed, 2 bad arguments, 4 parenthesis or evaluation error.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "circuit/circuit.h"
#include "cli/cli.h"
#include "expr/expr.h"

// === arguments ===
static int evalusage(const char *why) {
    fprintf(stderr, "veltocli eval: %s\nusage: veltocli eval EXPR [--t T]\n", why);
    return 2;
}

// a whole finite number, or 0
static int evalnumber(const char *s, double *x) {
    char *end;
    if (!s || !*s) return 0;
    *x = strtod(s, &end);
    return *end == 0 && isfinite(*x);
}

// an option looks like --name; a text such as --5 or -T is an expression
static int isoption(const char *s) {
    return s[0] == '-' && s[1] == '-' && ((s[2] >= 'a' && s[2] <= 'z') || (s[2] >= 'A' && s[2] <= 'Z'));
}

// === subcommand ===
int cmd_eval(int argc, char **argv) {
    const char *text = 0;
    double t = 0;
    for (int i = 0; i < argc; i++) {
        if (!strcmp(argv[i], "--t")) {
            if (i + 1 >= argc) return evalusage("--t needs a time");
            if (!evalnumber(argv[++i], &t)) return evalusage("the time is not a number");
        } else if (isoption(argv[i])) {
            return evalusage("unknown option");
        } else if (text) {
            return evalusage("more than one expression");
        } else {
            text = argv[i];
        }
    }
    if (!text) return evalusage("missing expression");

    char *buf = copytext(text);
    if (!fixupfunc(buf)) {
        fprintf(stderr, "%s\n", fixupfuncerr);
        free(buf);
        return 4;
    }
    globalx = t;
    globalbad = 0;
    double v = solvefunc(buf);
    free(buf);
    if (globalbad) {
        fprintf(stderr, "evaluation error\n");
        return 4;
    }
    printf("%.17g\n", v);
    return 0;
}
