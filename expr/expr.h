// expr.h: the expression language of element values: normalisation into the
// canonical form (upper case, no spaces, ';' between arguments, parentheses
// checked) and evaluation at time globalx.
#pragma once
#include <stdint.h>

// === limits ===
enum {
    FIXUPDEPTHMAX = 16,  // deepest parenthesis nesting fixupfunc accepts
    EXPROPSMAX = 32,     // operands plus group arguments at one parenthesis level
    EXPRDEPTHMAX = 64,   // deepest group the evaluator descends into (deeper: error)
};

// === constants ===
#define TWOPI 6.283185307179586  // 2 pi: the one value every angle conversion uses

// === evaluation state ===
extern double globalx;       // time t in seconds, set by the caller
extern int32_t globalbad;    // set to 1 on an evaluation error; the caller clears it
extern int32_t snormstat;    // 1 while a second normal deviate is cached in srand2
extern double srand2;        // cached second normal deviate

// === normalisation ===
extern const char *fixupfuncerr;  // message of the last failed check (not cleared on success)
int32_t fixupfunc(char *text);    // 1: rewritten in place to canonical form; 0: bad parentheses
int32_t fixupiserr(const char *text);  // 1: the text is one of fixupfunc's messages

// === evaluation ===
double solvefunc(const char *text);  // value of a canonical text at globalx; errors: 0, globalbad = 1
double valueat0(const char *text);   // the same at t = 0 (globalx left 0), globalbad cleared first:
                                     // the value a wire keeps from its text; null reads as ""
int32_t functimedep(const char *text);  // 1: value may change between calls (reads t or draws
                                        // random numbers); 0: every evaluation gives the same bits
