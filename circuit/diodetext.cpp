// diodetext.cpp: the value texts of the nonlinear elements: a diode's model
// text (IS;N;BV;RS;CJ0 or a preset name) read into a diodemodel with a
// sentence for what is wrong, and the canonical form of D and N texts.
// Depends on circuit.h and expr.h (fixupfunc, valueat0, functimedep).
#include <math.h>
#include <stdio.h>
#include <string.h>
#include "circuit/circuit.h"
#include "expr/expr.h"

// === presets ===
struct diodepreset {
    const char *name;
    diodemodel m;   // is, n, bv, rs, cj0
};
static const diodepreset presets[] = {
    {"LED", {1e-20, 1.8, 0, 0, 0}},                // red LED: about 1.9 V at 10 mA
    {"SI", {2.52e-9, 1.752, 100, 0.568, 4e-12}},   // small-signal silicon switching diode
    {"Z5V1", {1e-14, 1, 5.1, 0, 0}},               // 5.1 V zener (5.1 V at 1 mA reverse)
};

// === fields ===
static const char *const fieldname[DIODEFIELDS] = {"IS", "N", "BV", "RS", "CJ0"};
static const double fieldlo[DIODEFIELDS] = {1e-30, 0.1, 0, 0, 0};
static const double fieldhi[DIODEFIELDS] = {1, 20, 1e6, 1e9, 1};
static const char *const fieldrule[DIODEFIELDS] = {
    "a saturation current from 1E-30 to 1 A",
    "an emission coefficient from 0.1 to 20",
    "a breakdown voltage from 0 (none) to 1E6 V",
    "a series resistance from 0 to 1E9 Ohm",
    "a junction capacitance from 0 to 1 F",
};

static char diodewhy[128];

// one field s[0..len) as a constant number; 0 when it is none
static int32_t fieldvalue(const char *s, size_t len, double *v)
{
    char buf[64];
    if (len == 0 || len >= sizeof buf) return 0;
    memcpy(buf, s, len);
    buf[len] = 0;
    if (!fixupfunc(buf) || functimedep(buf)) return 0;
    *v = valueat0(buf);
    return !globalbad && isfinite(*v);
}

const char *diodeparse(const char *text, diodemodel *m)
{
    const char *s = text ? text : "";
    *m = diodemodel{1e-14, 1, 0, 0, 0};
    for (const diodepreset &p : presets)
        if (!strcmp(s, p.name)) {
            *m = p.m;
            return 0;
        }
    double *f[DIODEFIELDS] = {&m->is, &m->n, &m->bv, &m->rs, &m->cj0};
    for (int32_t k = 0; *s || k == 0; k++) {
        const size_t len = strcspn(s, ";");
        if (k >= DIODEFIELDS) {
            snprintf(diodewhy, sizeof diodewhy, "A diode text has at most five fields: IS;N;BV;RS;CJ0");
            return diodewhy;
        }
        double v = 0;
        if (len && (!fieldvalue(s, len, &v) || !(v >= fieldlo[k] && v <= fieldhi[k]))) {
            snprintf(diodewhy, sizeof diodewhy, "%s must be %s", fieldname[k], fieldrule[k]);
            return diodewhy;
        }
        if (len) *f[k] = v;
        s += len;
        if (*s == ';') s++;
        if (!*s) break;
    }
    return 0;
}

// === defaults ===
const char *elementdefault(int32_t letter)
{
    switch (letter) {
    case 'S': return "0";
    case 'D': return "1E-14";
    case 'N': return "V/1000";
    default: return "1";
    }
}

// === canonical form ===
// A diode text is upper case without blanks, its fields kept as typed; an N
// text is an expression like any other value.
int32_t elementfixup(int32_t letter, char *text)
{
    if (letter != 'D') return fixupfunc(text);
    char *o = text;
    for (const char *c = text; *c; c++) {
        if (*c == ' ' || *c == '\t') continue;
        *o++ = *c >= 'a' && *c <= 'z' ? (char)(*c - 'a' + 'A') : *c;
    }
    *o = 0;
    return 1;
}
