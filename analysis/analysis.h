// analysis.h: the analysis engine: modified-nodal-analysis equations, the
// sparse solver (real and complex), the transient and frequency-response
// computations, and the line routines the plots draw with.
// Unknowns are the wire currents first (0..numwires-1), then the node voltages.
#pragma once
#include <stddef.h>
#include <stdint.h>

// === equation store ===
enum { COLEND = 0x7FFFFFFF };  // column of the sentinel entry 0, beyond every real column

struct sparsel {
    double re, im;      // coefficient (im used by the complex solver only)
    int32_t next;       // next entry of the same row; 0 ends the row
    int32_t col;        // unknown index, or numwires + numnodes for the right-hand side
};

extern sparsel *el;          // [elcntmax]; entry 0 is the sentinel, col COLEND
extern int32_t elcnt;        // entries in use including the sentinel
extern int32_t elcntmax;     // capacity of el
extern int32_t matbad;       // last stored solve code (SOLVED ..), -1 nothing solved yet

void *growmem(void *p, size_t bytes);            // realloc, or abort: the analysis cannot go on without memory
void checkelcnt(int32_t need);                    // ensure el can hold index need
void initmat(double w, double t, double h);       // build A x = b for omega w, time t, step h
void buildhold(int32_t on);                       // 1: the caller keeps the circuit arrays and texts
                                                  // as they are until buildhold(0), solves each
                                                  // system as initmat left it and writes nothing in
                                                  // el (solutions are read): builds check them once,
                                                  // then redo only what t and the states change, and
                                                  // the solver takes their word on what stayed and
                                                  // keeps its work in el past the system
enum { BUILDNEW, BUILDSHAPE, BUILDSAME };         // buildkin: nothing known; same structure; same matrix
extern int32_t buildkin;     // this build against the one before in the same hold: BUILDSHAPE the
                             // same rows, columns and links, BUILDSAME and the same matrix part
                             // bit for bit (initmat; BUILDNEW outside a hold)
extern uint32_t buildcount;  // initmat calls so far
extern int32_t *buildmoved;  // [nbuildmoved] entries whose values that build may have changed
extern int32_t nbuildmoved;  //   against the one before (when its buildkin is not BUILDNEW)
void buildrestore(void);     // el[0..elcnt) again as the last build left it, when its buildkin
                             // was not BUILDNEW (the solver's way back from a failed replay)

// === sparse solver ===
enum {
    SOLVED = 0,              // solution in place
    SOLVENODE = 1,           // singular: no pivot for a node voltage column
    SOLVEEMPTY = 2,          // nothing but the sentinel: no system (or initmat gave up)
    SOLVEWIRE = 0x4000,      // singular: no pivot for a wire current column
};
// Both solve in place and return one of the codes above. The solution of unknown c is el[yh[c]].re (.im).
// ent must be el: fill-in is appended from count on and grows el (checkelcnt).
// A system with the structure of the previous solve is solved faster, and
// one that differs from it only in the right-hand side faster still; the
// result is the same bit for bit either way.
extern int32_t solvereuse;   // 1 (default): solves and builds reuse the last ones' work; 0: all afresh
extern int32_t solvehow;     // how the last solve went: SOLVEFULL, SOLVEREPLAY or SOLVERHS
enum { SOLVEFULL, SOLVEREPLAY, SOLVERHS };   // eliminated in full; steps replayed; right-hand side only
int32_t smatsolve_real(int32_t *rows, sparsel *ent, int32_t count, int32_t *scratch, int32_t n);
int32_t smatsolve_comp(int32_t *rows, sparsel *ent, int32_t count, int32_t *scratch, int32_t n);

// === transient and frequency response ===
// The computing half of the transient and Bode windows; all work on the plot
// record gplot (ui.h). A window pass calls transcompute or bodeprepare and
// bodecolumns, then draws from gplot->colmin and gplot->colmax.
// Transient columns hold the stored value s = -q (q the quantity shown).
// Bode columns: colmin = ln|out|^2 - ln|in|^2 (BODENOGAIN when a magnitude is
// 0), colmax = arg(out/in) in [0, 2pi), -1.0 for a column not computed.
struct plottype;

#define TRANSCLAMP 1000000.0     // bound of a capacitor voltage or inductor current state
#define BODENOGAIN 123456789.0   // colmin of a column whose input or output is 0
enum { BODEMARGIN = 12 };        // Bode label margin: columns below it are never computed

extern int32_t *cllist;      // [cllistmax] wires lettered C or L, in wire order (transcollect)
extern int32_t numcl;        // entries in cllist
extern int32_t cllistmax;    // capacity of cllist
extern int32_t transbad;     // code of the last failed sub-step solve of transcompute, 0 none
extern int32_t lastgxdim;    // Bode drawing size at the previous bodeprepare, all Bode windows
extern int32_t lastgydim;

struct bodepoint {           // one solved frequency
    double outre, outim;     // output quantity
    double inre, inim;       // input quantity
    double gain;             // ln|out|^2 - ln|in|^2, or BODENOGAIN
    double phase;            // arg(out) - arg(in), in [0, 2pi)
};

void checkmaxxdim(int32_t xdim);     // gplot's column buffers hold at least 4 * xdim slots
int32_t transcollect(void);          // fill cllist; grows gplot->savestate to hold it; numcl
int32_t transprobeok(int32_t plotwire, int32_t plotsense);   // 1: the probe names a node or wire
double transsample(int32_t plotwire, int32_t plotsense);     // s from the solved real system
int32_t transsubstep(double tau, double delta);  // predictor and corrector at tau; corrector's code
int32_t transcompute(int32_t xdim, int32_t samps, int32_t untilcol, double budget);
                                     // restart if asked, then columns up to untilcol, the buffer
                                     // end or budget seconds (<= 0: no limit); columns computed
int32_t bodesolve(double w, int32_t inwire, int32_t plotwire, int32_t plotsense, bodepoint *bp);
                                     // one complex build and solve at w; the solver's code
double bodeomega(int32_t c, int32_t xdim);       // angular frequency of gplot's column c
void bodeprepare(int32_t xdim, int32_t ydim);    // size change, view reset, dbscale, lnscale
int32_t bodecolumns(int32_t xdim);   // compute gplot's missing columns; the number that failed

// === plot line routines ===
// Solid, patterned and marching-dash lines through drawpixp (frame.h) with
// palette colours. Half-open along the major axis; the minor coordinate is
// stepped in 12.20 fixed point from pixel centres of the major axis. Only
// the stretch inside gdd is walked, so far-off end points cost nothing.
extern double movetoposx, movetoposy;   // pen: end point of the last line routine
void line(double x0, double y0, double x1, double y1, int32_t col);
void dotline2d(double x0, double y0, double x1, double y1, int32_t col, uint32_t pattern);
                                        // pixel at major coordinate c only if bit c & 31 is set
void dotline(double x0, double y0, double x1, double y1, int32_t col0, int32_t col1, int32_t phase);
                                        // dashes 0x000F000F in col1 marching towards (x1, y1) as
                                        // phase grows; phase < 0: plain line in col0
void lineto(double x, double y, int32_t col);  // line from the pen, pen moves to (x, y)
