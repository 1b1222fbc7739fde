// normalise.cpp: fixupfunc, which brings a value text into canonical form
// (spaces and ' comments dropped, upper case, ',' turned into ';') and checks
// its parentheses. Depends on nothing but expr.h. Works in place without
// allocating: the canonical form is never longer than the text.
#include "expr/expr.h"
#include <string.h>

// === state ===
const char *fixupfuncerr = "";  // set only on failure

static const char fixuptoomany[] = "ERROR: TOO MANY ')'";
static const char fixupnotenough[] = "ERROR: NOT ENOUGH ')'";
static const char fixupnested[] = "ERROR: () NESTED > 16";

int32_t fixupiserr(const char *text) {
    return !strcmp(text, fixuptoomany) || !strcmp(text, fixupnotenough) || !strcmp(text, fixupnested);
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
    fixupcopy(text);
    return 1;
}
