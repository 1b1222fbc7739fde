// evaluate.cpp: solvefunc, the evaluator of canonical value texts at time
// globalx, and functimedep, which tells whether a text's value can change.
// Also the reader of the engineering suffixes a number may carry, which the
// normaliser checks with. Depends on the C maths library and rand(). Texts are
// read by pointer and length and never written; nothing is allocated: each
// parenthesis level keeps its operands and group arguments in one fixed list
// of EXPROPSMAX entries.
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include "expr/expr.h"

// === evaluation state ===
double globalx = 0.0;
int32_t globalbad = 0;
int32_t snormstat = 0;
double srand2 = 0.0;

static int32_t exprprobe;   // 1 while functimedep runs: reads are noted, nothing is drawn
static int32_t exprvaries;  // set whenever t is read or a random number drawn


// === operators and functions ===
enum { OP_END, OP_POW, OP_MUL, OP_DIV, OP_MOD, OP_ADD, OP_SUB, OP_LT, OP_LE, OP_GT, OP_GE,
       OP_EQ, OP_NE, OP_AND, OP_OR };
static const uint8_t oplevel[] = {7, 0, 1, 1, 1, 2, 2, 3, 3, 3, 3, 4, 4, 5, 6};

enum { FN_NONE, FN_ABS, FN_ACOS, FN_ASIN, FN_ATAN, FN_ATAN2, FN_CEIL, FN_COS, FN_EXP, FN_FACT,
       FN_FLOOR, FN_FMOD, FN_LOG, FN_MAX, FN_MIN, FN_NRND, FN_POW, FN_PULSE, FN_PWL, FN_SGN,
       FN_SIN, FN_SQRT, FN_TAN, FN_UNIT, FN_SINH, FN_COSH, FN_TANH,
       NM_PI, NM_RND, NM_T, NM_V };  // names that give a value instead of opening a group

struct exprname { const char *name; int32_t len; int32_t code; };

// names by first letter, in the order they are tried; "EXP" has no '(' in its test
static const exprname namesa[] = {{"ATAN(", 5, FN_ATAN}, {"ATN(", 4, FN_ATAN}, {"ABS(", 4, FN_ABS},
    {"ACOS(", 5, FN_ACOS}, {"ASIN(", 5, FN_ASIN}, {"ATAN2(", 6, FN_ATAN2}, {0, 0, 0}};
static const exprname namesc[] = {{"COS(", 4, FN_COS}, {"COSH(", 5, FN_COSH}, {"CEIL(", 5, FN_CEIL}, {0, 0, 0}};
static const exprname namese[] = {{"EXP", 3, FN_EXP}, {0, 0, 0}};
static const exprname namesf[] = {{"FACT(", 5, FN_FACT}, {"FLOOR(", 6, FN_FLOOR},
    {"FMOD(", 5, FN_FMOD}, {0, 0, 0}};
static const exprname namesi[] = {{"INT(", 4, FN_FLOOR}, {0, 0, 0}};
static const exprname namesl[] = {{"LOG(", 4, FN_LOG}, {0, 0, 0}};
static const exprname namesm[] = {{"MIN(", 4, FN_MIN}, {"MAX(", 4, FN_MAX}, {0, 0, 0}};
static const exprname namesn[] = {{"NRND(", 5, FN_NRND}, {0, 0, 0}};
static const exprname namesp[] = {{"PI", 2, NM_PI}, {"POW(", 4, FN_POW}, {"PWL(", 4, FN_PWL},
    {"PULSE(", 6, FN_PULSE}, {0, 0, 0}};
static const exprname namesr[] = {{"RND", 3, NM_RND}, {0, 0, 0}};
static const exprname namess[] = {{"SQRT(", 5, FN_SQRT}, {"SIN(", 4, FN_SIN}, {"SGN(", 4, FN_SGN},
    {"SINH(", 5, FN_SINH},
    {0, 0, 0}};
static const exprname namest[] = {{"TAN(", 4, FN_TAN}, {"TANH(", 5, FN_TANH}, {"T", 1, NM_T}, {0, 0, 0}};
static const exprname namesu[] = {{"UNIT(", 5, FN_UNIT}, {0, 0, 0}};
static const exprname namesv[] = {{"V", 1, NM_V}, {0, 0, 0}};

static int32_t exprvon;    // 1 while solvefuncat evaluates: V is a name
static double exprvolt;    // its value then

static const exprname *namesof(char c) {
    switch (c) {
    case 'A': return namesa; case 'C': return namesc; case 'E': return namese;
    case 'F': return namesf; case 'I': return namesi; case 'L': return namesl;
    case 'M': return namesm; case 'N': return namesn; case 'P': return namesp;
    case 'R': return namesr; case 'S': return namess; case 'T': return namest;
    case 'U': return namesu;
    case 'V': return exprvon ? namesv : 0;
    }
    return 0;
}

// the first name of s[0]'s list that s (len characters) starts with, or 0
static const exprname *matchname(const exprname *list, const char *s, int32_t len) {
    for (; list->name; list++)
        if (list->len <= len && !memcmp(s, list->name, (size_t)list->len)) return list;
    return 0;
}

// === engineering suffixes ===
struct exprscale { const char *text; int32_t len; int32_t p10; };

// tried in order: MEG before M
static const exprscale scales[] = {{"MEG", 3, 6}, {"G", 1, 9}, {"K", 1, 3}, {"M", 1, -3}, {"U", 1, -6},
    {"\xC2\xB5", 2, -6}, {"\xCE\xBC", 2, -6}, {"\xB5", 1, -6}, {"N", 1, -9}, {"P", 1, -12},
    {"F", 1, -15}, {0, 0, 0}};
static const exprscale units[] = {{"OHM", 3, 0}, {"HZ", 2, 0}, {"V", 1, 0}, {"A", 1, 0}, {"F", 1, 0},
    {"H", 1, 0}, {"S", 1, 0}, {"\xCE\xA9", 2, 0}, {"\xE2\x84\xA6", 3, 0}, {0, 0, 0}};

static const exprscale *matchscale(const exprscale *list, const char *s, int32_t len) {
    for (; list->text; list++)
        if (list->len <= len && !memcmp(s, list->text, (size_t)list->len)) return list;
    return 0;
}

int32_t suffixroom(char before, char before2, int32_t dot) {
    if (exprletter(before)) return 0;                                           // T2K, 4K7K, 1E3K
    if ((before == '+' || before == '-') && before2 == 'E') return 0;           // 1E-3K
    return dot ? SUFFIXSCALE : SUFFIXSCALE | SUFFIXPOINT;
}

int32_t suffixread(const char *s, int32_t len, int32_t room, int32_t *p10, int32_t *point) {
    *p10 = 0, *point = 0;
    const exprname *names = namesof(s[0]);
    if (s[0] == 'E' || (names && matchname(names, s, len))) return 0;
    const exprscale *x = room & SUFFIXSCALE ? matchscale(scales, s, len) : 0;
    int32_t n = x ? x->len : 0;
    const exprscale *u = matchscale(units, s + n, len - n);
    if (u) n += u->len;
    if (!n) return -1;                                    // neither a scale nor a unit
    if (x) *p10 = x->p10;
    if (n < len && exprletter(s[n])) return -1;           // more letters than a scale and a unit
    if (n < len && exprnumeral(s[n])) {                   // digits go on only in place of a point
        if (u || !(room & SUFFIXPOINT) || s[n] == '.') return -1;
        *point = 1;
    }
    return n;
}

// === time and random numbers ===
static inline double exprtime(void) {
    exprvaries = 1;
    return globalx;
}

static double exprrand(void) {  // uniform in [0, 1]
    exprvaries = 1;
    if (exprprobe) return 0.0;
    return rand() / 2147483647.0;
}

// standard normal deviate by the polar method; the second deviate is cached
static double exprnormal(void) {
    double u, v, s, k;
    exprvaries = 1;
    if (exprprobe) return 0.0;
    if (snormstat) { snormstat = 0; return srand2; }
    do {
        u = 2.0 * rand() / 2147483647.0 - 1.0;
        v = 2.0 * rand() / 2147483647.0 - 1.0;
        s = u * u + v * v;
    } while (s >= 1.0);  // s > 0: u = v = 0 needs a half-integer draw
    k = sqrt(-2.0 * log(s) / s);
    snormstat = 1;
    srand2 = u * k;
    return v * k;
}

static double exprfail(void) {
    globalbad = 1;
    return 0.0;
}

// === source shapes ===
// Each returns 1 with the value in *r, 0 on an error.

// SIN(offset; amplitude; hertz; delay; damping)
static int32_t shapesin(const double *a, double *r) {
    double t = exprtime();
    if (t < a[3]) { *r = a[0]; return 1; }
    *r = a[0] + a[1] * exp(-a[4] * (t - a[3])) * sin(TWOPI * a[2] * (t - a[3]));
    return 1;
}

// EXP(v1; v2; td1; tau1; td2; tau2): rise from td1, fall back from td2
static int32_t shapeexp(const double *a, double *r) {
    double t = exprtime(), v = a[0];
    if (t >= a[2]) {
        if (a[3] == 0) return 0;
        v = a[0] + (a[1] - a[0]) * (1 - exp(-(t - a[2]) / a[3]));
    }
    if (t >= a[4]) {
        if (a[5] == 0) return 0;
        v = v - (a[1] - a[0]) * (1 - exp(-(t - a[4]) / a[5]));
    }
    *r = v;
    return 1;
}

// PULSE(v1; v2; td; tr; tf; pw; per): the delay repeats in every period
static int32_t shapepulse(const double *a, double *r) {
    double tr = a[3], tf = a[4], pw = a[5], per = a[6], x, k;
    if (per == 0) return 0;
    double t = exprtime();
    x = (t - per * floor(t / per)) - a[2];
    if (0 <= x && x < tr) k = x / tr;
    else if (tr <= x && x < tr + pw) k = 1;
    else if (tr + pw <= x && x < tr + pw + tf) k = (tr + pw + tf - x) / tf;
    else k = 0;
    *r = a[0] + (a[1] - a[0]) * k;
    return 1;
}

// PWL(x0; y0; x1; y1; ...): sum of the segments whose span [xi, xi+1) holds t;
// a backward segment (xi > xi+1) whose span [xi+1, xi) holds t is an error
static int32_t shapepwl(const double *a, int32_t n, double *r) {
    double t = exprtime(), v = 0;
    for (int32_t i = 0; i + 3 < n; i += 2) {
        double x0 = a[i], y0 = a[i + 1], x1 = a[i + 2], y1 = a[i + 3];
        if (x0 <= t && t < x1) v += y0 + (y1 - y0) * (t - x0) / (x1 - x0);
        else if (x1 <= t && t < x0) return 0;
    }
    *r = v;
    return 1;
}

// === factorial ===
// a! = gamma(a + 1) by the rational Lanczos form, for -1 < a < 171
static int32_t exprfact(double a, double *r) {
    if (a <= -1 || a >= 171) return 0;
    double z = a + 1;
    double p = ((((((2.506628275107298 * z + 83.8676043423952) * z + 1168.926494792211) * z +
                   8687.245297053594) * z + 36308.29514770109) * z + 80916.62789524846) * z +
                75122.63315304522);
    double d = ((((((z + 21) * z + 175) * z + 735) * z + 1624) * z + 1764) * z + 720) * z;
    double g = pow(z + 5.5, z + 0.5) * exp(-5.5 - z) * p / d;
    if (isinf(g)) {  // (z + 5.5)^(z + 0.5) overflows from a = 143 on: take it in two halves
        double h = pow(z + 5.5, 0.5 * (z + 0.5));
        g = h * exp(-5.5 - z) * (p / d) * h;
    }
    *r = g;
    return 1;
}

// === functions ===
// Applies the pending function to the group's n >= 1 arguments a. Returns 1 with
// the result in *m, 0 for no result (m stays), -1 on an error. empty: the group
// held no text; dev: the deviate drawn at NRND.
static int32_t applyfunc(int32_t fn, const double *a, int32_t n, int32_t empty, double dev,
                         double *m) {
    double x = a[0], b = n >= 2 ? a[1] : 0.0, r = 0;
    switch (fn) {
    case FN_NONE: r = x; break;
    case FN_ABS: r = fabs(x); break;
    case FN_SGN: r = x < 0 ? -1.0 : x > 0 ? 1.0 : 0.0; break;
    case FN_UNIT: r = x < 0 ? 0.0 : x > 0 ? 1.0 : 0.5; break;
    case FN_FLOOR: r = floor(x); break;
    case FN_CEIL: r = ceil(x); break;
    case FN_SIN:
        if (n != 5) { r = sin(x); break; }
        return shapesin(a, m) ? 1 : -1;
    case FN_COS: r = cos(x); break;
    case FN_TAN: r = tan(x); break;
    case FN_SINH: r = sinh(x); break;
    case FN_COSH: r = cosh(x); break;
    case FN_TANH: r = tanh(x); break;
    case FN_ASIN: r = asin(x); break;
    case FN_ACOS: r = acos(x); break;
    case FN_ATAN: r = atan(x); break;
    case FN_ATAN2: if (n < 2) return 0; r = atan2(x, b); break;
    case FN_SQRT: if (x < 0) return -1; r = sqrt(x); break;
    case FN_EXP:
        if (n != 6) { r = exp(x); break; }
        return shapeexp(a, m) ? 1 : -1;
    case FN_FACT: if (!exprfact(x, &r)) return -1; break;
    case FN_LOG:
        if (x <= 0) return -1;
        if (n < 2) { r = log(x); break; }
        if (b <= 0) return -1;
        r = log(x) / log(b);
        break;
    case FN_POW: if (n < 2) return 0; r = pow(x, b); break;
    case FN_MIN: if (n < 2) return 0; r = x < b ? x : b; break;
    case FN_MAX: if (n < 2) return 0; r = x > b ? x : b; break;
    case FN_FMOD: if (n < 2) return 0; r = fmod(x, b); break;
    case FN_PULSE:
        if (n != 7) return 0;
        return shapepulse(a, m) ? 1 : -1;
    case FN_PWL:
        if (n < 4 || n % 2) return 0;
        return shapepwl(a, n, m) ? 1 : -1;
    case FN_NRND: r = empty ? dev : x * dev; break;  // NRND(s): deviation s; NRND(): 1
    }
    *m = r;
    return 1;
}

// === reduction ===
// combines a op b into *r; 0 on division or modulo by zero
static int32_t combine(double a, int32_t op, double b, double *r) {
    switch (op) {
    case OP_POW: *r = pow(a, b); break;
    case OP_MUL: *r = a * b; break;
    case OP_DIV: if (b == 0) return 0; *r = a / b; break;
    case OP_MOD: if (b == 0) return 0; *r = a - b * floor(a / b); break;
    case OP_ADD: *r = a + b; break;
    case OP_SUB: *r = a - b; break;
    case OP_LT: *r = a < b; break;
    case OP_LE: *r = a <= b; break;
    case OP_GT: *r = a > b; break;
    case OP_GE: *r = a >= b; break;
    case OP_EQ: *r = a == b; break;
    case OP_NE: *r = a != b; break;
    case OP_AND: *r = a != 0 && b != 0; break;  // NaN counts as true
    case OP_OR: *r = a != 0 || b != 0; break;
    }
    return 1;
}

// reduces val0 op0 val1 op1 ... valk-1 one precedence level at a time, each
// left-associative; levels: bit mask of the levels present
static double reduce(double *val, uint8_t *op, int32_t k, uint32_t levels) {
    for (int32_t lv = 0; lv < 7; lv++) {
        if (!(levels & (1u << lv))) continue;
        int32_t j = 0;  // val[0..j] done; op[j] joins val[j] to the next
        for (int32_t i = 1; i < k; i++) {
            if (oplevel[op[j]] == lv) {
                if (!combine(val[j], op[j], val[i], &val[j])) return exprfail();
                op[j] = op[i];
            } else {
                j++;
                val[j] = val[i];
                op[j] = op[i];
            }
        }
        k = j + 1;
    }
    return val[0];
}

// === scan ===
// One parenthesis level: the operand being built and the list of finished ones.
struct exprlevel {
    double val[EXPROPSMAX];  // finished operands, then the arguments of the open group
    uint8_t op[EXPROPSMAX];  // operator after each operand (OP_END after the last)
    int32_t k;               // finished operands
    uint32_t levels;         // precedence levels met, one bit each
    double m, f, s, e;       // mantissa, fraction step (1: integer digits), sign, exponent
    int32_t fn;              // pending function
    double dev;              // deviate drawn at NRND
};

static double solvetext(const char *s, int32_t len, int32_t depth);

// the suffix at s[i], a letter right after a number, read into the operand
// (the run of numerals before it decides what it may be); returns the
// characters it took, 0 when s[i] starts a name or an exponent, -1 when the
// letters are no suffix (globalbad is then set)
static int32_t scansuffix(exprlevel *lv, const char *s, int32_t len, int32_t i) {
    int32_t b = i, dot = 0, p10, point;
    while (b > 0 && exprnumeral(s[b - 1])) dot |= s[--b] == '.';
    int32_t room = suffixroom(b > 0 ? s[b - 1] : 0, b > 1 ? s[b - 2] : 0, dot);
    char win[16];  // upper case, so that a text the normaliser refused reads as it would have
    int32_t w = 0;
    for (; w < (int32_t)sizeof win && i + w < len; w++)
        win[w] = s[i + w] >= 'a' && s[i + w] <= 'z' ? (char)(s[i + w] - 'a' + 'A') : s[i + w];
    int32_t n = suffixread(win, w, room, &p10, &point);
    if (n < 0) { exprfail(); return -1; }
    lv->e += p10;  // 10K reads as 10E3, to the bit
    if (point) lv->f = 0.1;
    return n;
}

// finishes the operand with operator o: s * m * 10^e; 0 when the list is full
static int32_t finish(exprlevel *lv, int32_t o) {
    if (lv->k >= EXPROPSMAX) return 0;
    double v = lv->s * lv->m;
    if (lv->e != 0) v *= pow(10.0, lv->e);
    lv->val[lv->k] = v;
    lv->op[lv->k] = (uint8_t)o;
    lv->k++;
    lv->levels |= 1u << oplevel[o];
    lv->m = 0; lv->f = 1; lv->s = 1; lv->e = 0;
    return 1;
}

// exponent after E at s[i]: [+][-]digits; returns the index of the last character used
static int32_t scanexponent(exprlevel *lv, const char *s, int32_t len, int32_t i) {
    double sign = 1;
    if (i + 1 < len && s[i + 1] == '+') i++;
    if (i + 1 < len && s[i + 1] == '-') { i++; sign = -1; }
    while (i + 1 < len && s[i + 1] >= '0' && s[i + 1] <= '9') lv->e = 10 * lv->e + (s[++i] - '0');
    lv->e *= sign;
    return i;
}

// the group whose "(" is at s[i]: evaluates each argument into the list and
// applies the pending function; returns the index after its ")" (or len), -1
// on an error (globalbad is then set)
static int32_t scangroup(exprlevel *lv, const char *s, int32_t len, int32_t i, int32_t depth) {
    int32_t n = 0, d = 1, start = i + 1, j = i + 1;
    for (;; j++) {
        int32_t end = j >= len;
        int32_t close = !end && s[j] == ')' && --d == 0;
        if (!end && !close) {
            if (s[j] == '(') { d++; continue; }
            if (d != 1 || (s[j] != ';' && s[j] != ',')) continue;  // not an argument end
        }
        if (lv->k + n >= EXPROPSMAX) { exprfail(); return -1; }  // list full: refused
        lv->val[lv->k + n] = solvetext(s + start, j - start, depth + 1);
        n++;
        if (globalbad) return -1;
        if (end || close) break;
        start = j + 1;
    }
    int32_t empty = n == 1 && j == i + 1;
    int32_t r = applyfunc(lv->fn, lv->val + lv->k, n, empty, lv->dev, &lv->m);
    lv->fn = FN_NONE;
    if (r < 0) { exprfail(); return -1; }
    return j < len ? j + 1 : len;
}

// a letter at s[i]: applies the first name that matches; returns the index of the
// next character to scan, or -1 when the letter starts no name
static int32_t scanname(exprlevel *lv, const char *s, int32_t len, int32_t i) {
    const exprname *nm = matchname(namesof(s[i]), s + i, len - i);
    if (!nm) return -1;
    switch (nm->code) {
    case NM_PI: lv->m = 3.141592653589793; break;
    case NM_RND: lv->m = exprrand(); break;
    case NM_T: lv->m = exprtime(); break;
    case NM_V: lv->m = exprvolt; break;
    case FN_NRND: lv->dev = exprnormal(); lv->fn = FN_NRND; break;
    default: lv->fn = nm->code; break;
    }
    if (nm->name[nm->len - 1] == '(') return i + nm->len - 1;  // the group opens here
    return i + nm->len;
}

// a two-character operator (<= >= == != && ||) or its single form at s[i];
// returns the index of its last character, *o the operator or OP_END if ignored
static int32_t scanpair(const char *s, int32_t len, int32_t i, int32_t *o) {
    char c = s[i], c2 = i + 1 < len ? s[i + 1] : 0;
    *o = OP_END;
    switch (c) {
    case '<': *o = c2 == '=' ? OP_LE : OP_LT; break;
    case '>': *o = c2 == '=' ? OP_GE : OP_GT; break;
    case '=': if (c2 == '=') *o = OP_EQ; break;
    case '!': if (c2 == '=') *o = OP_NE; break;
    case '&': if (c2 == '&') *o = OP_AND; break;
    case '|': if (c2 == '|') *o = OP_OR; break;
    }
    if (*o == OP_END || *o == OP_LT || *o == OP_GT) return i;
    return i + 1;
}

static int32_t isprefixop(char c) {  // after these, + and - are unary
    return c == '%' || c == '*' || c == '+' || c == '-' || c == '/' || c == '^';
}

// evaluates s[0..len); depth: groups above this one
static double solvetext(const char *s, int32_t len, int32_t depth) {
    exprlevel lv;
    lv.k = 0; lv.levels = 0; lv.m = 0; lv.f = 1; lv.s = 1; lv.e = 0; lv.fn = FN_NONE; lv.dev = 0;
    if (depth > EXPRDEPTHMAX) return exprfail();
    char prev = 0;  // character at which the last rule ended
    for (int32_t i = 0; i < len; i++) {
        char c = s[i];
        int32_t o = OP_END;
        if (i > 0 && exprnumeral(s[i - 1]) && exprletter(c)) {
            int32_t n = scansuffix(&lv, s, len, i);
            if (n < 0) return 0.0;
            if (n > 0) {
                i += n - 1;
                prev = s[i];
                continue;
            }
        }
        if (c >= '0' && c <= '9') {
            if (lv.f == 1) lv.m = 10 * lv.m + (c - '0');
            else { lv.m = lv.m + (c - '0') * lv.f; lv.f = lv.f * 0.1; }
        } else if (c >= 'A' && c <= 'Z') {
            if (!namesof(c)) continue;  // a letter without names is skipped
            int32_t next = scanname(&lv, s, len, i);
            if (next >= 0) {
                c = s[next - 1];
                i = next - 1;
            } else if (c == 'E') {
                i = scanexponent(&lv, s, len, i);
                c = s[i];
            }  // else: a letter that starts no name is ignored
        } else {
            switch (c) {
            case '.': lv.f = 0.1; break;
            case '+': if (!isprefixop(prev)) o = OP_ADD; break;
            case '-': if (isprefixop(prev)) lv.s = -lv.s; else o = OP_SUB; break;
            case '*': o = OP_MUL; break;
            case '/': o = OP_DIV; break;
            case '%': o = OP_MOD; break;
            case '^': o = OP_POW; break;
            case '<': case '>': case '=': case '!': case '&': case '|':
                i = scanpair(s, len, i, &o);
                c = s[i];
                break;
            case '(': {
                int32_t next = scangroup(&lv, s, len, i, depth);
                if (next < 0) return 0.0;
                i = next - 1;
                c = ')';
                break;
            }
            default: continue;  // skipped: does not count as the previous character
            }
        }
        if (o != OP_END && !finish(&lv, o)) return exprfail();
        prev = c;
    }
    if (!finish(&lv, OP_END)) return exprfail();
    if (lv.k == 1) return lv.val[0];
    return reduce(lv.val, lv.op, lv.k, lv.levels);
}

// === entry points ===
// An apostrophe starts a comment: the expression ends before it.
double solvefunc(const char *text) {
    if (!text) return 0.0;
    const size_t n = strcspn(text, "'");
    return solvetext(text, n < 0x7fffffff ? (int32_t)n : 0x7fffffff, 0);
}

double solvefuncat(const char *text, double v) {
    exprvon = 1;
    exprvolt = v;
    const double r = solvefunc(text);
    exprvon = 0;
    return r;
}

double valueat0(const char *text) {
    globalx = 0;
    globalbad = 0;
    return solvefunc(text);
}

// Evaluates once with reads of t and random draws only noted. The scan takes
// the same path at any t until the first such read, so a text that never reads
// one gives the same bits every time.
int32_t functimedep(const char *text) {
    if (!text) return 0;
    int32_t bad = globalbad;
    globalbad = 0;
    exprprobe = 1;
    exprvaries = 0;
    solvefunc(text);
    exprprobe = 0;
    globalbad = bad;
    return exprvaries;
}
