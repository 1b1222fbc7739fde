// normalise.cpp: fixupfunc, which brings a value text into canonical form
// (spaces and ' comments dropped, upper case, ',' turned into ';') and checks
// its parentheses and the suffixes after numbers. Depends on nothing but
// expr.h. Works in place without allocating: the canonical form is never
// longer than the text.
#include "expr/expr.h"
#include <string.h>

// === state ===
const char *fixupfuncerr = "";  // set only on failure

static const char fixuptoomany[] = "ERROR: TOO MANY ')'";
static const char fixupnotenough[] = "ERROR: NOT ENOUGH ')'";
static const char fixupnested[] = "ERROR: () NESTED > 16";
static const char fixupsuffix[] = "ERROR: UNKNOWN SUFFIX";

int32_t fixupiserr(const char *text) {
    return !strcmp(text, fixuptoomany) || !strcmp(text, fixupnotenough) || !strcmp(text, fixupnested) ||
           !strcmp(text, fixupsuffix);
}

// === canonical form ===
// first pass: judges the parentheses of the canonical form without writing;
// returns 1 when it holds at least one character
static int32_t fixupcheck(const char *text, int32_t *count, int32_t *deepest) {
    int32_t kept = 0, d = 0, dmax = 0;
    for (const char *p = text; *p && *p != '\''; p++) {
        if (*p == ' ') continue;
        kept = 1;
        if (*p == '(' && ++d > dmax) dmax = d;
        if (*p == ')') d--;  // may go negative; only the final count is judged
    }
    *count = d;
    *deepest = dmax;
    return kept;
}

// the canonical form's character at *p, which then moves past it; 0 at its end
static char canonnext(const char **p) {
    while (**p == ' ') (*p)++;
    char c = **p;
    if (!c || c == '\'') return 0;
    (*p)++;
    if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
    return c == ',' ? ';' : c;
}

// suffix pass over the canonical form as the first pass sees it: every letter
// right after a number begins a name, an exponent or a scale and unit, as the
// evaluator reads them (expr.h); returns 0 at the first that does not
static int32_t fixupsuffixes(const char *text) {
    char c1 = 0, c2 = 0, b1 = 0, b2 = 0;  // the last two characters; the two before the number
    int32_t dot = 0;
    const char *p = text;
    for (char c; (c = canonnext(&p)) != 0; c2 = c1, c1 = c) {
        if (exprnumeral(c)) {
            if (!exprnumeral(c1)) b1 = c1, b2 = c2, dot = 0;
            dot |= c == '.';
            continue;
        }
        if (!exprnumeral(c1) || !exprletter(c)) continue;
        char win[16];  // longer than any name, or a scale, a unit and the character after them
        int32_t n = 1, p10, point;
        win[0] = c;
        for (const char *q = p; n < (int32_t)sizeof win && (win[n] = canonnext(&q)) != 0; n++) {}
        if (suffixread(win, n, suffixroom(b1, b2, dot), &p10, &point) < 0) return 0;
    }
    return 1;
}

// second pass: rewrites in place (the write index never passes the read index)
static void fixupcopy(char *text) {
    char *w = text;
    for (const char *p = text; *p && *p != '\''; p++) {
        char c = *p;
        if (c == ' ') continue;
        if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
        if (c == ',') c = ';';
        *w++ = c;
    }
    *w = 0;
}

int32_t fixupfunc(char *text) {
    int32_t count, deepest;
    if (!text || !text[0]) return 1;
    if (!fixupcheck(text, &count, &deepest)) return 1;  // blank or comment only: kept as is
    if (count < 0) { fixupfuncerr = fixuptoomany; return 0; }
    if (count > 0) { fixupfuncerr = fixupnotenough; return 0; }
    if (deepest > FIXUPDEPTHMAX) { fixupfuncerr = fixupnested; return 0; }
    if (!fixupsuffixes(text)) { fixupfuncerr = fixupsuffix; return 0; }
    fixupcopy(text);
    return 1;
}
