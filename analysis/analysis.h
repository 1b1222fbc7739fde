// analysis.h: the analysis engine: modified-nodal-analysis equations, the
// sparse solver (real and complex), the transient and frequency-response
// computations, and the line routines the plots draw with.
// Unknowns are the wire currents first (0..numwires-1), then the node voltages.
#pragma once
#include <stdint.h>

// === equation store ===
struct sparsel {
    double re, im;      // coefficient (im used by the complex solver only)
    int32_t next;       // next entry of the same row; 0 ends the row
    int32_t col;        // unknown index, or numwires + numnodes for the right-hand side
};

extern sparsel *el;          // [elcntmax]; entry 0 is the sentinel, col 0x7FFFFFFF
extern int32_t elcnt;        // entries in use including the sentinel
extern int32_t elcntmax;     // capacity of el
extern double pival[4][2];   // initmat scratch: complex coefficients of one branch row
extern int32_t matbad;       // last stored solve code: 0, 1, 2, 16384; -1 nothing solved yet

void checkelcnt(int32_t need);                    // ensure el can hold index need
void initmat(double w, double t, double h);       // build A x = b for omega w, time t, step h

// === sparse solver ===
// Both solve in place and return 0 solved, 2 empty, 16384 wire current or 1
// node voltage undetermined. The solution of unknown c is el[yh[c]].re (.im).
int32_t smatsolve_real(int32_t *rows, sparsel *ent, int32_t count, int32_t *scratch, int32_t n);
int32_t smatsolve_comp(int32_t *rows, sparsel *ent, int32_t count, int32_t *scratch, int32_t n);

// === transient and frequency response ===

// === plot line routines ===
