// expr.h: the expression language of element values: normalisation into the
// canonical form (upper case, no spaces, ';' between arguments, parentheses
// checked) and evaluation at time globalx.
#pragma once
#include <stdint.h>

// === evaluation state ===
extern double globalx;       // time t in seconds, set by the caller
extern int32_t globalbad;    // set to 1 on an evaluation error; the caller clears it
extern int32_t snormstat;    // 1 while a second normal deviate is cached in srand2
extern double srand2;        // cached second normal deviate

// === normalisation ===
extern const char *fixupfuncerr;  // message of the last failed check (not cleared on success)
int32_t fixupfunc(char *text);    // 1: rewritten in place to canonical form; 0: bad parentheses

// === evaluation ===
double solvefunc(const char *text);  // value of a canonical text at globalx; errors: 0, globalbad = 1
