// analysis.h: the analysis engine: modified-nodal-analysis equations, the
// sparse solver (real and complex), the transient and frequency-response
// computations, and the line routines the plots draw with.
// Unknowns are the wire currents first (0..numwires-1), then the node voltages.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

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
extern int32_t matbad;       // the DC solve's code (SOLVED ..), -1 nothing solved yet: the schematic's

void checkelcnt(int32_t need);                    // ensure el can hold index need
void initmat(double w, double t, double h);       // build A x = b for omega w, time t, step h
extern int32_t acdrive;      // -1: V and I sources act with their values; else V or I source acdrive
                             // acts with 1 and every other one with 0 (bodesolve, around its build)
void buildhold(int32_t on);                       // 1: the caller keeps to B4 until buildhold(0);
                                                  // builds then check arrays and texts once, redo
                                                  // only what t and the states change, and say
                                                  // what stayed (B5), which the solver takes
enum { BUILDNEW, BUILDSHAPE, BUILDSAME };         // buildkin: nothing known; same structure; same matrix
extern int32_t buildkin;     // this build against the one before in the same hold: BUILDSHAPE the
                             // same rows, columns and links, BUILDSAME and the same matrix part
                             // bit for bit (initmat; BUILDNEW outside a hold)
extern int32_t buildkept;    // 1: this build wrote only right-hand-side values into el (B7)
extern uint32_t buildcount;  // initmat calls so far
extern uint32_t buildsolved; // buildcount of the build the last solve took and solved (0: it failed)
extern int32_t *buildmoved;  // [nbuildmoved] entries whose values that build may have changed
extern int32_t nbuildmoved;  //   against the one before (when its buildkin is not BUILDNEW)
void buildrestore(void);     // el[0..elcnt) again as the last build left it, when its buildkin
                             // was not BUILDNEW (the solver's way back from a failed replay)

// === build and solve: the contract ===
// W = numwires, N = numnodes, n = W + N; column n is the right-hand side.
// What every build (initmat) promises the solver:
//  B1 Rows: yh[m], m < W, heads wire m's branch row, yh[W + i] node i's
//     current law (a grounded node: the one entry 1 * V(i) = 0); yh[r] = 0
//     is an empty row.
//  B2 Entries: el[1..elcnt) are the rows', each row linked by next in
//     strictly ascending column, its right-hand-side entry (if any) last.
//  B3 Sentinel: el[0] = {0, 0, next 0, col COLEND}, so the end of every row
//     reads as a column beyond all others; a build that gives up leaves
//     elcnt 1 (SOLVEEMPTY).
// Inside a hold (buildhold(1) .. buildhold(0)) the caller promises:
//  B4 The circuit arrays and value texts stay as they are but for the states
//     in capindval; each system is solved as initmat left it, as (yh, el,
//     elcnt, n), and nothing but the solver writes el, past elcnt included
//     (solutions are only read).
// and each build from the template tells the solve how it stands:
//  B5 buildkin BUILDSHAPE: the same yh, elcnt, columns and links as the
//     build before; BUILDSAME: moreover every entry outside column n
//     unchanged. Unchanged means the bits that build put there (before its
//     solve overwrote them). buildmoved lists every entry that may differ (it
//     may list more); any other entry below elcnt is unchanged.
//  B6 buildrestore gives el[0..elcnt) back as the build left it, when
//     buildkin is not BUILDNEW.
//  B7 buildkept: a held BUILDSAME build right after a solve that took the
//     build before (buildsolved) wrote only the values of column n's entries
//     and yh; every other bit of el is as that solve left it. The solver
//     takes el so, or calls buildrestore first.
// The solve paths (sparse.cpp, replay.cpp), tried cheapest first; each that
// takes a system leaves the very bits the general solve would:
//  S1 All assume B1-B3 and ent = el: fill-in goes from elcnt on and grows el
//     through checkelcnt. BUILDSHAPE and BUILDSAME count only for the solve
//     right after the build, with the trace of the solve of the build before.
//  S2 General solve: any system. Columns in natural order; the pivot has the
//     largest |p|^2 among the rows starting in the column, the row at the
//     column's own position first, then ascending, ties to the earlier. In
//     fill-reducing order (ordermin unknowns and up) the column's diagonal
//     row instead while its |p| is at least 0.1 of that largest (threshold
//     pivoting). Records the trace; a failed solve leaves no trace. The real
//     solver keeps two: a system of other row heads than the trace's trades
//     it for the one of the structure before, which S3 and S4 then take as
//     they would the last (the order of ordered systems likewise).
//  S3 Right-hand side only: the traced heads and matrix part unchanged
//     (compared bit for bit, or BUILDSAME), and a reduced matrix kept by a
//     replay (matrices coming twice, as a sub-step's predictor and
//     corrector). The reduced matrix is put in (its fill-in past elcnt found
//     as the solve before left it, under B4; after a kept build, B7, all of
//     it is there), only column n is carried through the recorded
//     eliminations, then the recorded back substitution. It alone takes a
//     kept build; any other path first has buildrestore give it the system.
//  S4 Replay: the traced heads, columns and links (compared, or buildkin not
//     BUILDNEW), any values. The pivot comparisons are redone; every pivot
//     must fall on the traced row, else el[0..elcnt) goes back (from the
//     trace, or buildrestore) with what lay past it, and S2 takes the system.
//  S5 Split replay, S4 inside a hold: only the operations that read an entry
//     of buildmoved, or what such an operation wrote, are redone; the other
//     results come from a snapshot, sound while the builds move no entry
//     beyond those it was made for (B5); fill-in past elcnt is as the solve
//     before left it (B4).
//  S6 Batch (batchsolve), S5 on several systems: complex builds in a row
//     inside a hold, the first right after a split replay, none kept (B7),
//     each moving only entries the program was made for; they are solved
//     together, not each as initmat left it (the one exception to B4), each
//     to its own S5 bits, and el is left as the last one's solve leaves it.

// === sparse solver ===
enum {
    SOLVED = 0,              // solution in place
    SOLVENODE = 1,           // singular: no pivot for a node voltage column
    SOLVEEMPTY = 2,          // nothing but the sentinel: no system (or initmat gave up)
    SOLVENOCONV = 3,         // nonlinear elements: the Newton iteration did not converge
    SOLVEBADMODEL = 4,       // nonlinear elements: a diode's text does not read (nlbadtext)
    SOLVEWIRE = 0x4000,      // singular: no pivot for a wire current column
};
// Both solve in place and return one of the codes above. The solution of unknown c is el[yh[c]].re (.im).
// ent must be el: fill-in is appended from count on and grows el (checkelcnt).
// A system with the structure of the previous solve (or, real, of the one
// before) is solved faster, and one that differs from it only in the
// right-hand side faster still; the
// result is the same bit for bit either way (the contract above, S1-S6).
extern int32_t solvereuse;   // 1 (default): solves and builds reuse the last ones' work; 0: all afresh
extern int32_t solvehow;     // how the last solve went: SOLVEFULL, SOLVEREPLAY or SOLVERHS
extern int32_t ordermin;     // unknowns from which node voltages go in fill-reducing order
                             //   (order.cpp; default ORDERMIN); below it in natural order
enum { ORDERMIN = 300 };
enum { SOLVEFULL, SOLVEREPLAY, SOLVERHS };   // eliminated in full; steps replayed; right-hand side only
int32_t smatsolve_real(int32_t *rows, sparsel *ent, int32_t count, int32_t *scratch, int32_t n);
int32_t smatsolve_comp(int32_t *rows, sparsel *ent, int32_t count, int32_t *scratch, int32_t n);
void solveidle(void);        // time to spare: makes ready what the first replay of the last real
                             //   full solve would (its results the same either way)

// === several frequencies at once (sparse.cpp) ===
// Inside a hold, the complex systems of up to BATCHMAX builds in a row (a
// sweep's next points, each built right after the one before) are solved
// together, each to the bits smatsolve_comp would give it: their chains of
// dependent pivots overlap. Any lane that cannot join, or whose pivot falls
// elsewhere, turns the batch down: then each is built and solved alone.
enum { BATCHMAX = 4 };
int32_t batchready(void);          // 1: the last build was solved by a held complex split replay
                                   //   of a system small enough: a batch may start with the next
int32_t batchtake(int32_t lane);   // right after the build of lane (0, then 1, ...): 1 taken,
                                   //   0 this build cannot join (the batch is off)
int32_t batchsolve(int32_t lanes); // 1: every lane taken solved, el and yh as the last lane's solve
                                   //   leaves them; 0 none (el holds the last build, words relabelled)
void batchx(int32_t lane, int32_t c, double *re, double *im);  // unknown c of lane's solution,
                                   //   until the next solve (the last lane's is in el too)

// === nonlinear elements (nonlinear.cpp) ===
// A circuit with D or N wires is solved by Newton iteration: each such wire's
// row is its linearisation at the iterate, I(m) - y V(a) + y V(b) = ieq. The
// iterate starts from the last solution (an element new to it at its
// critical voltage), so a re-solve after an edit takes a few iterations.
#define NLVT (1.38064852e-23 * 300.15 / 1.6021766208e-19)  // kT/q at 27 C, in volts
#define NLGMIN 1e-12         // conductance across every junction and N element, S
extern int32_t nlcount;      // D and N wires found by the last nlcollect
extern int32_t *nllist;      // [nlcount] their indices, ascending
extern int32_t nliters;      // iterations the last Newton solve took
int32_t nlcollect(void);     // nllist from the wires (diode texts read); nlcount, 0 for a linear circuit
// Builds and solves the real system at time t, step h (0: DC) by Newton
// iteration, calling built after every build; the solution is in el as
// smatsolve_real leaves it. SOLVED, the solver's code of a singular
// iteration, SOLVENOCONV or SOLVEBADMODEL. DC tries plain iteration, then
// gmin stepping, then source stepping (at most 2 000 iterations); a step
// (h != 0) takes at most 10 iterations and leaves halving to the caller.
int32_t nlsolve(double t, double h, void (*built)(void));
const char *nlbadtext(int32_t *m);       // the refused diode text's sentence and wire, 0 / -1 none
int32_t nlworst(uint8_t *flag, int32_t most);  // flags (numwires) the most elements that moved most
                                         // in the last iteration; how many
void nlkeepop(void);         // the iterate becomes the operating point the AC stamps linearise at
double nlstate(int32_t m);   // element m's voltage in the solved system (a diode's inside rs)
void nlensure(int32_t nw);   // room for nw wires' stamps (an unsolved one stamps as open)
int32_t acprepare(void);     // before AC points: the DC operating point of a nonlinear circuit
                             // (SOLVED at once for a linear one), else its failing code
void nlsmallsignal(double w);  // stamps y = g + j w c at the operating point, ieq 0
void nlstamps(double w);     // the stamps a view of the system at omega w shows: w 0 those of
                             // the iterate, else the small-signal ones

// === why the DC operating point cannot be solved ===
// dcsolve builds and solves the DC operating point (the solution in el, as
// smatsolve_real leaves it), then looks at the circuit's structure and
// returns the code to believe: a floating part, a loop of voltage-fixing elements or a
// controlled source without control is reported whatever the solve said (a
// solve that rounding let through gave absurd values); a failed solve with a
// sound structure is reported as singular equations, and so is a solve of up
// to 200 unknowns whose elimination, done again on the entries kept from the
// build, meets a pivot that is a cancellation to zero.
enum { WHYNONE, WHYFLOAT, WHYLOOP, WHYCUT, WHYNOCONTROL, WHYNUMERIC, WHYNOCONV, WHYMODEL };
enum { WHYTEXTMAX = 256 };
extern int32_t whykind;            // WHY.. of the last dcsolve
extern char whytext[WHYTEXTMAX];   // its sentence: "Node 3 floats: nothing ties its voltage to ground"
extern uint8_t *whynode;           // [numnodes] 1: a node the sentence names
extern uint8_t *whywire;           // [numwires] 1: a wire it names
int32_t dcsolve(void);             // SOLVED or the code to report; why* say why

// === transient and frequency response ===
// The computing half of the transient and Bode windows. Each window keeps its
// own plotcalc (the plot record holds one) and passes it in; nothing here draws,
// beeps or reads a clock of its own.
// Transient columns hold the stored value s = -q (q the quantity shown): the
// min and max of the column's samples. Bode columns: colmin = ln|out|^2 -
// ln|in|^2 (BODENOGAIN when a magnitude is 0), colmax = arg(out/in) in [0, 2pi),
// -1.0 for a column not computed.
#define TRANSCLAMP 1000000.0     // bound of a capacitor voltage or inductor current state
#define TRANSPROBE 0.0001        // a sub-step's companion models use the step hs * TRANSPROBE
#define BODENOGAIN 123456789.0   // colmin of a column whose input or output is 0
enum { BODEMARGIN = 12 };        // Bode label margin: columns below it are never computed

// A window may show several traces: its own probe (the fields of plotcalc)
// and up to MAXTRACES - 1 more, each with columns of its own, computed in the
// same run (a transient sub-step samples every trace, a Bode solve gives
// every trace's output over the one input).
enum { MAXTRACES = 8 };
struct plottrace {
    int32_t plotwire, plotsense; // its probe, as plotcalc's
    int32_t cols;                // slots in its buffers (bufcols once added)
    double *colmin, *colmax;     // [cols] as plotcalc's
    double partlo, parthi;       // transient: its share of the column being computed
};

struct plotcalc {
    int32_t plotwire;            // probed wire, or node when plotsense is 0
    int32_t plotsense;           // 0 node voltage; +1 / -1 wire, which end counts as positive
    int32_t inwire;              // Bode: the input wire
    int32_t maxxdim, bufcols;    // widest view served; bufcols = 4 * maxxdim slots per buffer
    double *colmin, *colmax;     // [bufcols] per column (see above)
    int32_t savestatemax;        // capacity of savestate
    double *savestate;           // [savestatemax] transient: C and L states between calls, cllist order
    double xscale;               // transient: seconds per column
    int32_t numcols;             // transient: columns computed; -1 start again from t = 0
    int32_t basecol;             // transient: column held in slot 0 of the buffers
    int32_t partsamps;           // transient: sub-steps per column of column numcols, begun
                                 //   but not ended by the last call; 0 none begun
    int32_t partfirst;           //   1 while none of its sub-steps solved
    double parttau;              //   midpoint time of its next sub-step
    double partlo, parthi;       //   min and max of its solved samples so far
    double statet;               // transient, nonlinear circuits: the time savestate stands at
    int32_t clamped;             // transient: 1 once a state reached +-TRANSCLAMP since t = 0: the
                                 //   explicit sub-steps are unstable at this size, the run is not to be trusted
    int32_t hertz;               // Bode: 1 the axis is in hertz (omega = 2 pi f), 0 rad/s
    double lfreqlo, lfreqhi;     // Bode: log10 of the frequencies at the left and right edges
    int32_t linfreq;             // Bode: 1 the columns are spaced evenly in frequency between
                                 //   10^lfreqlo and 10^lfreqhi, 0 evenly in its log10
    int32_t cachexdim;           // Bode: view width the cached columns were computed for
    int32_t inzero;              // Bode: 1 the input was 0 in every column computed since bodeclear,
                                 //   0 not in some, -1 none computed
    int32_t swept;               // Bode: 1 every column was tried since bodeclear (failed ones stay
                                 //   not computed and are tried again), 2 none could be: a nonlinear
                                 //   circuit without an operating point
    int32_t numextra;            // further traces in extra; slots beyond keep their buffers
    plottrace extra[MAXTRACES - 1];
};

extern int32_t *cllist;      // [cllistmax] wires lettered C, L or D, in wire order (transcollect)
extern int32_t numcl;        // entries in cllist
extern int32_t cllistmax;    // capacity of cllist
extern int32_t transbad;     // code of the last failed sub-step solve of transcompute, 0 none

struct bodepoint {           // one solved frequency
    double outre, outim;     // output quantity
    double inre, inim;       // input quantity
    double gain;             // ln|out|^2 - ln|in|^2, or BODENOGAIN
    double phase;            // arg(out) - arg(in), in [0, 2pi)
};

void checkmaxxdim(plotcalc *p, int32_t xdim);  // p's column buffers hold at least 4 * xdim slots
int32_t transcollect(plotcalc *p);   // fill cllist; grows p->savestate (p may be null) to hold it
int32_t transprobeok(int32_t plotwire, int32_t plotsense);   // 1: the probe names a node or wire
double transsample(int32_t plotwire, int32_t plotsense);     // s from the solved real system
int32_t transsubstep(double tau, double delta);  // predictor and corrector at tau: 0 or a solve's code
void transrestart(plotcalc *p);      // start again from t = 0 at the next transcompute
// Computes p's columns on from numcols (after the initial-condition solve when
// numcols is -1) up to untilcol, the end of the buffer, or, with a clock, until
// clock() reaches deadline, checked after every TRANSCHECK sub-steps, so a call
// overshoots by at most that many. A column the deadline cuts off is kept in
// p->part* and ended by the next call, with the columns bit for bit those of an
// uncut run. Returns the code of the initial-condition solve when this call
// made it and it failed (the states then start at 0), else 0.
enum { TRANSCHECK = 16 };
int32_t transcompute(plotcalc *p, int32_t xdim, int32_t samps, int32_t untilcol,
                     double (*clock)(void), double deadline);
// The sub-steps per column offered (the oversampling): a window's samps is
// one of these, ascending, each 4 times the one before.
enum { NUMSAMPSTEPS = 7 };
extern const int32_t sampsteps[NUMSAMPSTEPS];   // 1, 4, 16, 64, 256, 1024, 4096
int32_t bodesolve(double w, int32_t inwire, int32_t plotwire, int32_t plotsense, bodepoint *bp);
                                     // one complex build and solve at w; the solver's code
int32_t bodesolveall(double w, const plotcalc *p, bodepoint *bp);  // the same for every trace of
                                     // p over its input: bp[0] its own probe, bp[k + 1] extra[k]
void bodesolvemany(const double *w, int32_t k, const plotcalc *p, bodepoint (*bp)[MAXTRACES], int32_t *res);
                                     // points w[0..k) (k <= BATCHMAX) of a held sweep as bodesolveall
                                     // solves each, res[j] its code: in one batch when it can
int32_t traceadd(plotcalc *p, int32_t plotwire, int32_t plotsense);  // a further trace, its
                                     // columns not computed (the caller starts the run again): its
                                     // index in extra, or -1 when the window has MAXTRACES
void traceremove(plotcalc *p, int32_t k);  // extra[k] goes; the others keep their order
int32_t tracefind(const plotcalc *p, int32_t plotwire, int32_t plotsense);  // -1 the window's own
                                     // probe, k for extra[k], -2 none
void tracename(char *s, int32_t n, int32_t plotwire, int32_t plotsense);  // "V(3)" a node, "V(w5)"
                                     // across wire 5, "I(5)" the current of T wire 5
double bodefreq(const plotcalc *p, double c, int32_t xdim);  // frequency of (fractional) column c
                                     // of a view xdim wide, in the axis' unit
double bodeomega(const plotcalc *p, int32_t c, int32_t xdim);  // angular frequency of column c
void bodeclear(plotcalc *p);         // every cached column not computed
// Computes the missing columns left to right, BATCHMAX at a time while they
// can go in one batch, else one by one; with a clock (else null), until
// clock() reaches deadline, checked after every batch: a call computes at
// least one and overshoots by at most one, and the next goes on where it
// stopped.
// Sets p->swept to 1 once a call got to the last column, to 2 when a
// nonlinear circuit has no operating point. Returns how many failed.
int32_t bodecolumns(plotcalc *p, int32_t xdim, double (*clock)(void), double deadline);

// === plot data as CSV (plotcsv.cpp) ===
// What the windows copy to the clipboard and veltocli prints: one line per
// column, numbers as csvnum writes them.
void csvnum(FILE *f, double v, char end);   // %.17g (no minus on zero, nan as "nan") and end
void transcsv(FILE *f, const plotcalc *p, int32_t header);
        // the transient columns held in the buffers, max(basecol, 0) .. numcols - 1, as
        // time,min,max of the quantity shown; header 1: first the line "time,min,max"
void bodecsv(FILE *f, const plotcalc *p, int32_t first, int32_t end, int32_t span, int32_t keepnan);
        // "freq,gain_db,phase_deg", then Bode columns first .. end - 1: column c at
        // bodefreq(p, c, span) in the axis' unit, the gain in dB
        // (BODENOGAIN as nan, an infinite or nan colmin as itself), the phase in degrees
        // in (-180, 180]; columns not computed are left out, and those whose phase is
        // nan too unless keepnan

// === measurements on plot data (measure.cpp) ===
// Samples x[0..n-1] ascending with values y[0..n-1]; a value that is not
// finite (a column that did not solve) drops out and its neighbours are joined
// by a line. Results are interpolated linearly between samples. Each function
// returns 1 with its answer, 0 when the data holds none (never a NaN).
// Transient: over the span x0..x1 (either order, clipped to the data).
struct measstats {
    double mn, mx, pp;   // minimum, maximum, peak to peak
    double avg, rms;     // mean and root mean square of the piecewise-linear curve over the span
};
int32_t measspan(const double *x, const double *y, int32_t n, double x0, double x1, measstats *m);
        // the statistics of the span; 0 when under two samples reach it
int32_t measrise(const double *x, const double *y, int32_t n, double x0, double x1, double *rise,
                 double *overshoot);
        // 10-90 % rise (or fall) time of the step from the span's first to its last value,
        // overshoot beyond the last value in % of the step; 0 when the ends are equal
int32_t measperiod(const double *x, const double *y, int32_t n, double x0, double x1, double *period);
        // mean interval between crossings of (min + max) / 2 the same way (frequency 1 / period)
// Bode: x = log10 f in the caller's unit, g the gain in dB, ph the phase in
// degrees as the windows hold it, [0, 360).
int32_t measpeak(const double *x, const double *g, int32_t n, double *xpk, double *gpk);
        // the highest gain and its x
int32_t meas3db(const double *x, const double *g, int32_t n, int32_t side, double *x3);
        // x where the gain is 10 log10(2) dB below the peak, nearest the peak below it
        // (side -1) or above it (side +1)
int32_t measbw(const double *x, const double *g, int32_t n, double *bw);
        // f_hi - f_lo between the -3 dB points in the frequency unit, f_lo 0 when the
        // gain never falls below the peak; 0 without the upper point
int32_t measunity(const double *x, const double *g, int32_t n, double *xu);
        // x of the first crossing of 0 dB going down
int32_t measphasem(const double *x, const double *g, const double *ph, int32_t n, double *pm);
        // phase margin: 180 + the unwrapped phase at the unity-gain x, degrees
int32_t measgainm(const double *x, const double *g, const double *ph, int32_t n, double *xg, double *gm);
        // gain margin: -gain in dB at xg, the first x where the unwrapped phase crosses -180
