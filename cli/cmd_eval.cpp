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
// "--" and a letter is an option; a text such as --5 or -T is an expression
static const clisyntax evalsyntax = {
    "eval", "veltocli eval EXPR [--t T]", CLIDASHES | CLILETTER, "missing expression", "more than one expression",
    "unknown option", "--t needs a time",
};

// === subcommand ===
int cmd_eval(int argc, char **argv) {
    const char *text = nullptr;
    double t = 0;
    const clioption opts[] = {{"--t", CLINUMSP, &t, nullptr, "the time is not a number", nullptr}};
    const int bad = cliparse(&evalsyntax, opts, 1, &text, argc, argv);
    if (bad) return bad;

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
