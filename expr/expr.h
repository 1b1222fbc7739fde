// expr.h: the expression language of element values: normalisation into the
// canonical form (upper case, no spaces, ';' between arguments, parentheses
// checked) and evaluation at time globalx.
#pragma once
#include <stdint.h>

// === limits ===
enum {
    FIXUPDEPTHMAX = 16,  // deepest parenthesis nesting fixupfunc accepts
    EXPROPSMAX = 256,    // operands plus group arguments at one parenthesis level (a PWL of 127 points)
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
                                  // or a number followed by letters it cannot carry (text kept)
int32_t fixupiserr(const char *text);  // 1: the text is one of fixupfunc's messages

// === engineering suffixes ===
// A number may carry a scale and then a unit, read in the canonical form:
// scales G 1e9, MEG 1e6, K 1e3, M 1e-3, U 1e-6 (also the micro sign, UTF-8 or
// Latin-1), N 1e-9, P 1e-12, F 1e-15; units, read and dropped: OHM HZ V A F H S
// and the ohm sign. F is the scale when it stands alone (1F is 1e-15, 100NF
// 100e-9). An integer's scale may stand for its decimal point (4K7, 1MEG5).
// Letters that start a name or an exponent (2PI, 2MIN(..), 1E3, 2T) keep it.
enum { SUFFIXSCALE = 1, SUFFIXPOINT = 2 };  // what suffixroom allows after a number
static inline int32_t exprnumeral(char c) { return (c >= '0' && c <= '9') || c == '.'; }
static inline int32_t exprletter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (unsigned char)c >= 0x80;
}
// the number's run of numerals, the two characters before it (0: none) and
// whether it holds a '.': a scale may follow unless a letter (a name, an
// exponent, a scale) comes just before the run; the point form after integers only
int32_t suffixroom(char before, char before2, int32_t dot);
// s (len characters) starts with a letter right after a number: 0 it begins a
// name or an exponent; n > 0 the scale and unit take n characters, *p10 the
// power of ten, *point 1 when the number's digits go on after it; -1 neither
int32_t suffixread(const char *s, int32_t len, int32_t room, int32_t *p10, int32_t *point);

// === evaluation ===
double solvefunc(const char *text);  // value of a canonical text at globalx; errors: 0, globalbad = 1
double solvefuncat(const char *text, double v);  // solvefunc with the name V standing for v (the
                                     // voltage of an N element, whose current the text gives)
double valueat0(const char *text);   // the same at t = 0 (globalx left 0), globalbad cleared first:
                                     // the value a wire keeps from its text; null reads as ""
int32_t functimedep(const char *text);  // 1: value may change between calls (reads t or draws
                                        // random numbers); 0: every evaluation gives the same bits
