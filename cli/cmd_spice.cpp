// cmd_spice.cpp: veltocli spice: the circuit as an equivalent SPICE netlist on
// stdout. Grounded nodes are node 0, node i is n<i>; wire k becomes one element
// named after its letter and k. A wire whose current controls an F or H gets a
// 0 V sense source VS<k> in series, from s<k> to its second node.
// Depends on circuit.h, expr.h (solvefunc, functimedep) and cliutil.cpp.
// Limits: values with no SPICE form are written at t = 0 with a comment.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "circuit/circuit.h"
#include "cli/cli.h"
#include "expr/expr.h"

enum { SPICEARGSMAX = EXPROPSMAX, NAMEMAX = 24 };

// === names and numbers ===
static const char *nodename(int n, char *buf) {
    if (node[n].isgrounded) return "0";
    snprintf(buf, NAMEMAX, "n%d", n);
    return buf;
}

// === values ===
// The controlling wire of E F G H: its index with the gain's sign, or -1.
static int ctrlwire(int m, double *g) {
    *g = wire[m].depwire < 0 ? -wire[m].value : wire[m].value;
    return controlwire(m);
}

// 1: the wire is written as an element whose current is the wire's current
static int carries(int m) {
    double g;
    const int c = wire[m].element;
    if (!nodeexists(wire[m].node1) || !nodeexists(wire[m].node2)) return 0;
    if (iscontrolled(c)) return ctrlwire(m, &g) >= 0;
    if (c == 'S') return switchclosed(wire[m].depwire, wire[m].value);
    return strchr("RLCVITDN", c) != nullptr && c != 0;
}

// A plain value: the number at t = 0, with a comment when it depends on t or
// is not finite.
static double plainvalue(int m) {
    double v = wire[m].value;
    const char *t = wire[m].numst ? wire[m].numst : "";
    if (functimedep(t)) printf("* wire %d: value '%s' varies with t: written at t = 0\n", m, t);
    if (!isfinite(v)) {
        printf("* wire %d: value '%s' is not a finite number: written as 0\n", m, t);
        v = 0;
    }
    return v;
}

// Splits NAME(a;b;...) into constant arguments: their count, or -1 when the text
// is not exactly such a call or an argument is not a fixed number.
static int callargs(const char *text, const char *name, double *args) {
    const size_t nl = strlen(name);
    if (strncmp(text, name, nl) != 0 || text[nl] != '(') return -1;
    const char *p = text + nl + 1;
    int n = 0, depth = 1;
    char arg[256];
    size_t len = 0;
    for (; *p; p++) {
        const char ch = *p;
        if (ch == '(') depth++;
        if (ch == ')') depth--;
        if (depth == 0 || (depth == 1 && (ch == ';' || ch == ','))) {
            arg[len] = 0;
            if (n >= SPICEARGSMAX || len == 0 || functimedep(arg)) return -1;
            args[n++] = valueat0(arg);
            if (globalbad || !isfinite(args[n - 1])) return -1;
            len = 0;
            if (depth == 0) break;
            continue;
        }
        if (len + 1 >= sizeof arg) return -1;
        arg[len++] = ch;
    }
    if (depth != 0 || p[1] != 0) return -1;  // the call must be the whole text
    return n;
}

static void putargs(const char *name, const double *a, int n) {
    printf(" %s(", name);
    for (int i = 0; i < n; i++) printf(i ? " %.17g" : "%.17g", a[i]);
    printf(")");
}

// the source shape of an independent source, after its DC and AC values;
// comments for the caller to print after the element line go to note
static void sourceshape(int m, char *note, size_t nn) {
    const char *t = wire[m].numst ? wire[m].numst : "";
    double a[SPICEARGSMAX];
    int n;
    note[0] = 0;
    if (!functimedep(t)) return;
    if ((n = callargs(t, "SIN", a)) == 5) return putargs("SIN", a, 5);
    if ((n = callargs(t, "EXP", a)) == 6) return putargs("EXP", a, 6);
    if ((n = callargs(t, "PULSE", a)) == 7) {
        putargs("PULSE", a, 7);  // V1 V2 TD TR TF PW PER
        if (!(a[2] >= 0 && a[3] > 0 && a[4] > 0 && a[5] >= 0 && a[2] + a[3] + a[5] + a[4] <= a[6]))
            snprintf(note, nn, "* wire %d: approximate: this PULSE repeats its delay every period and needs"
                     " TR, TF > 0 and TD + TR + PW + TF <= PER to match\n", m);
        return;
    }
    n = callargs(t, "PWL", a);
    if (n >= 4 && n % 2 == 0) {
        int rising = 1;
        for (int i = 2; i < n; i += 2)
            if (!(a[i] > a[i - 2])) rising = 0;
        if (rising) {
            // zero before the first point and from the last point on
            const double eps = (fabs(a[n - 2]) + fabs(a[n - 2] - a[0])) * 1e-9 + 1e-15;
            printf(" PWL(");
            if (a[0] > 0 && a[1] != 0) printf("%.17g 0 ", a[0] - eps < 0 ? 0 : a[0] - eps);
            for (int i = 0; i < n; i++) printf(i ? " %.17g" : "%.17g", a[i]);
            if (a[n - 1] != 0) printf(" %.17g 0", a[n - 2] + eps);
            printf(")");
            return;
        }
    }
    snprintf(note, nn, "* wire %d: value '%s' has no SPICE form: written at t = 0\n", m, t);
}

// === elements ===
static void putsource(int m, const char *pre, const char *np, const char *nm) {
    double v = wire[m].value;
    char note[512];
    if (!isfinite(v)) v = 0;
    printf("%s%d %s %s DC %.17g AC %.17g", pre, m, np, nm, v, v);
    sourceshape(m, note, sizeof note);
    printf("\n%s", note);
    if (!isfinite(wire[m].value)) printf("* wire %d: value at t = 0 is not a finite number: written as 0\n", m);
}

// wire m from a to b (b is its sense node when it has one)
// R, L and C; a zero R or L is a short (a 0 V source)
static void putpassive(int m, const char *a, const char *b) {
    const wiretype &w = wire[m];
    const double v = plainvalue(m);
    if (w.element == 'C') {
        printf("C%d %s %s %.17g", m, a, b, v);
        if (w.initst && w.initst[0]) printf(" IC=%.17g", -valueat0(w.initst));  // forced V(node2) - V(node1)
        printf("\n");
    } else if (v == 0) {
        printf("V%c%d %s %s 0\n", w.element, m, a, b);
    } else {
        printf("%c%d %s %s %.17g", w.element, m, a, b, v);
        if (w.element == 'L' && w.initst && w.initst[0]) printf(" IC=%.17g", valueat0(w.initst));
        printf("\n");
    }
}

// E G F H controlled by wire d; sensed[d]: d's current is measured by VS<d>
static void putcontrolled(int m, int d, const char *a, const char *b, const int *sensed) {
    const wiretype &w = wire[m];
    const double v = w.depwire < 0 ? -plainvalue(m) : plainvalue(m);
    char ca[NAMEMAX], cb[NAMEMAX];
    if (w.element == 'E' || w.element == 'G') {
        const char *da = nodename(wire[d].node1, ca), *db = nodename(wire[d].node2, cb);
        if (w.element == 'E') printf("E%d %s %s %s %s %.17g\n", m, b, a, db, da, v);
        else printf("G%d %s %s %s %s %.17g\n", m, a, b, db, da, v);
    } else if (!sensed[d]) {
        printf("* wire %d: its controlling wire %d carries no current: written as a 0 source\n", m, d);
        if (w.element == 'F') printf("I%d %s %s 0\n", m, a, b);
        else printf("V%d %s %s 0\n", m, b, a);
    } else if (w.element == 'F') {
        printf("F%d %s %s VS%d %.17g\n", m, a, b, d, v);
    } else {
        printf("H%d %s %s VS%d %.17g\n", m, b, a, d, v);
    }
}

// a diode with its own model line; a text that does not read is left out
static void putdiode(int m, const char *a, const char *b) {
    diodemodel d;
    const char *why = diodeparse(wire[m].numst, &d);
    if (why) {
        printf("* wire %d: diode text '%s': %s: left out\n", m, wire[m].numst, why);
        return;
    }
    printf("D%d %s %s DM%d\n.model DM%d D(IS=%.17g N=%.17g", m, a, b, m, m, d.is, d.n);
    if (d.rs > 0) printf(" RS=%.17g", d.rs);
    if (d.cj0 > 0) printf(" CJO=%.17g M=0", d.cj0);  // a constant junction capacitance
    if (d.bv > 0) printf(" BV=%.17g IBV=1e-3", d.bv);
    printf(")\n");
}

// An N element as a B source whose current is its text: V the voltage from
// a to b, T the time, ';' between arguments as ','
static void putnonlinear(int m, const char *a, const char *b) {
    const char *t = wire[m].numst ? wire[m].numst : "";
    printf("B%d %s %s I=", m, a, b);
    for (int i = 0; t[i] && t[i] != '\''; i++) {
        const char c = t[i];
        const int alone = (i == 0 || !exprletter(t[i - 1])) && !exprletter(t[i + 1]) && t[i + 1] != '(';
        if (c == 'V' && alone) printf(b[0] == '0' && !b[1] ? "V(%s)" : "V(%s,%s)", a, b);
        else if (c == 'T' && alone) printf("time");
        else putchar(c == ';' ? ',' : c);
    }
    printf("\n");
}

static void putwire(int m, const char *a, const char *b, const int *sensed) {
    const wiretype &w = wire[m];
    double g;
    int d = -1;
    if (iscontrolled(w.element)) {
        d = ctrlwire(m, &g);
        if (d < 0) {
            printf("* wire %d (%c): no controlling wire: left out (VELTO cannot solve this circuit)\n", m, w.element);
            return;
        }
    }
    switch (w.element) {
    case 'R': case 'L': case 'C': putpassive(m, a, b); break;
    case 'V': putsource(m, "V", b, a); break;
    case 'I': putsource(m, "I", a, b); break;
    case 'T': printf("VT%d %s %s 0\n", m, a, b); break;
    case 'S':
        if (switchclosed(wire[m].depwire, wire[m].value)) printf("VW%d %s %s 0\n", m, a, b);
        else printf("* wire %d: switch open at t = 0: left out\n", m);
        break;
    case 'X': printf("* wire %d: probe wire, carries no current: left out\n", m); break;
    case 'D': putdiode(m, a, b); break;
    case 'N': putnonlinear(m, a, b); break;
    case 'E': case 'G': case 'F': case 'H': putcontrolled(m, d, a, b, sensed); break;
    default: printf("* wire %d: unknown element '%c': left out\n", m, w.element); break;
    }
}

static void putnetlist(const char *file) {
    int *sensed = (int *)growmem(nullptr, ((size_t)numwires + 1) * sizeof(int));
    memset(sensed, 0, ((size_t)numwires + 1) * sizeof(int));
    double g;
    for (int m = 0; m < numwires; m++) {
        const int c = wire[m].element;
        if ((c == 'F' || c == 'H') && carries(m)) {
            const int d = ctrlwire(m, &g);
            if (carries(d)) sensed[d] = 1;
        }
    }
    printf("VELTO circuit %s\n", file);
    printf("* %d nodes, %d wires; grounded nodes are 0, node i is ni.\n", (int)numnodes, (int)numwires);
    printf("* The current of wire k (first node to second inside the element) is the\n"
           "* current of VSk where present, of Rk Lk Ck Ik Gk Fk VTk VWk VRk VLk as written;\n"
           "* Vk, Ek and Hk are written second node first and carry minus it.\n");
    for (int m = 0; m < numwires; m++) {
        const wiretype &w = wire[m];
        char na[NAMEMAX], nb[NAMEMAX];
        if (!nodeexists(w.node1) || !nodeexists(w.node2)) {
            printf("* wire %d: a node index is out of range: left out\n", m);
            continue;
        }
        const char *a = nodename(w.node1, na), *b = nodename(w.node2, nb);
        if (sensed[m]) {
            char sn[NAMEMAX], n2[NAMEMAX];
            snprintf(sn, sizeof sn, "s%d", m);
            putwire(m, a, sn, sensed);
            printf("VS%d %s %s 0\n", m, sn, nodename(w.node2, n2));
        } else {
            putwire(m, a, b, sensed);
        }
    }
    printf(".op\n");
    if (transdefxsc > 0 && isfinite(transdefxsc))
        printf("* transient as the window shows it (640 columns):\n*.tran %.17g %.17g\n", transdefxsc,
               640 * transdefxsc);
    printf("* the Bode window's range, 1e-3 to 1e7 rad/s (every source has AC = its value):\n"
           "*.ac dec 100 %.17g %.17g\n", 1e-3 / TWOPI, 1e7 / TWOPI);
    printf(".end\n");
    free(sensed);
}

// === subcommand ===
static const clisyntax spicesyntax = {
    "spice", "veltocli spice FILE", CLIDASHES, "no circuit file given", "one circuit file and no options",
    "one circuit file and no options", nullptr,
};

int cmd_spice(int argc, char **argv) {
    const char *file = nullptr;
    const int bad = cliparse(&spicesyntax, nullptr, 0, &file, argc, argv);
    if (bad) return bad;
    if (!cliloadfile("spice", file)) return 2;
    putnetlist(file);
    return 0;
}
