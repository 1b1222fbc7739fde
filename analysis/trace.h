// trace.h: private to the solver (sparse.cpp, replay.cpp), included by
// nothing outside analysis/: the record a general solve keeps of what it did
// (the trace), the split replay's program, and the arithmetic both files do,
// written once so that every path does it alike, bit for bit.
// Depends on analysis.h (sparsel, el; the build and solve contract is written
// there, rules B1-B7 and S1-S6) and circuit.h (growmem).
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <type_traits>
#include "analysis/analysis.h"
#include "circuit/circuit.h"

static_assert(offsetof(sparsel, col) == offsetof(sparsel, next) + 4, "link and column form one word");

// === the solve paths ===
// Three ways to the same bits. The general solve finds the candidate rows of a
// column in per-column lists instead of scanning every row, and records what
// it did as a trace. A later solve of a system with the same structure (same
// rows, columns and links; only the coefficients differ) replays the trace:
// it repeats the pivot comparisons, and while every pivot falls on the same
// row the fill-in, links and order of operations are those recorded, so only
// the arithmetic is redone. A different pivot sends it back to the general
// solve from the untouched coefficients. A system whose matrix part (every
// entry outside the right-hand-side column) has the very bits of the traced
// one has the same pivots, multipliers, fill-in and reduced matrix: that is
// copied in from the trace, and only the right-hand side is carried through
// the recorded eliminations and the back substitution. Inside a hold the
// builds vouch for what stayed the same (buildkin, buildmoved): nothing is
// compared, a replay redoes only the operations whose inputs moved (split
// replay), and the fill-in is found as the solve before left it.
// Each path is written down once, in analysis.h (S1-S6): what it assumes of
// the system, and what it leaves.

// === growable arrays ===
static inline int32_t *growint(int32_t *p, int32_t n) { return (int32_t *)growmem(p, (size_t)n * sizeof(int32_t)); }

static inline int32_t grownsize(int32_t have, int32_t need) {
    int64_t m = have ? have : 512;
    while (m < need) m *= 2;
    return m > 0x7FFFFFFF ? 0x7FFFFFFF : (int32_t)m;
}

// p grown to hold need elements of size bytes; *cap follows
static inline void *growto(void *p, int32_t *cap, int32_t need, size_t size) {
    if (need <= *cap) return p;
    *cap = grownsize(*cap, need);
    return growmem(p, (size_t)*cap * size);
}

// the next free record of a growable array a of cnt records, cap allocated
template <class T> static inline T *push(T *&a, int32_t &cnt, int32_t &cap) {
    if (cnt >= cap) a = (T *)growto(a, &cap, cnt + 1, sizeof(T));
    return &a[cnt++];
}

// === trace ===
// The record of a general solve, in flat arrays of small records kept back
// to back in the order they are done, so that a replay walks each array
// front to back: per column a colstep, its candidates' head entries (cands),
// its pivot row's tail (tails), and per row it eliminated an elimstep and
// that row's pairs; per unknown, from the last, a backrow with its terms.
// Columns and unknowns go in natural order, by levels once prepared
// (replay.cpp; the columns of a large trace stay in natural order).
struct colstep {             // one column: the pivot comparisons, then the rows eliminated
    int32_t ncand;           // candidates compared, heads in cands in comparison order
    int32_t ati;             // 1: the first candidate is the row already at position i
    int32_t winner;          // index of the pivot row among the candidates
    int32_t diag;            // index of the diagonal row among them (ordered systems), or -1
    int32_t top;             // entry count after the column: its fill-in lies below
    int32_t nfill;           // fill-in entries it made: [top - nfill, top)
    int32_t nelim;           // rows eliminated (elimsteps)
    int32_t fslot;           // multiplier slot of the first of them: eliminations before it,
                             //   in natural order
    int32_t tail, ntail;     // the pivot row's entries after its head: tails[tail..tail + ntail)
};
struct elimstep {            // one row r eliminated with pivot row p by f = r_i * (-1/p_i)
    int32_t head;            // the row's head entry, r_i; then its ntail pairs
};
// A row's pairs (in pairs): for each entry q of the pivot row's tail in turn,
// the row entry e it writes: one of the column's fill-in entries (e = f q)
// or one the row had (e += f q).
static inline int32_t isfill(const colstep &c, int32_t e) { return e >= c.top - c.nfill && e < c.top; }

struct pairop {              // one operation of a split replay's program (e = f q, or e += f q)
    int32_t e;               // row entry written
    int32_t q;               // pivot row entry read
};
struct backrow {             // x_i = (-1/p) * (sum of the row's terms a * x_c + b * -1)
    int32_t head;            // pivot entry: holds -1/p, receives x_i
    int32_t nterm;           // backterms
    int32_t rhs;             // entry of b, the row's last; 0: none
};
struct backterm {
    int32_t a;               // coefficient entry
    int32_t x;               // entry holding x_c, a row head
};
struct rhsop {               // one elimination's effect on the right-hand-side column
    int32_t e;               // entry written
    int32_t q;               // pivot row's right-hand-side entry read
    int32_t f;               // multiplier slot
    int8_t fill;             // 1: e = f q (fill-in); 0: e += f q
    int8_t chain;            // 1: q is the entry the operation before wrote
};
struct rhsslot {             // rhsop for a real right-hand-side-only solve, on the values alone
    int32_t e;               // slot written, e += f q
    int32_t q;               // slot read
    double f;                // the multiplier
};
struct linkchange {          // an entry whose column or link the solve changed, or made
    int32_t e, col, next;
};
struct cval {                // a multiplier or a pivot's -1/p
    double re, im;           // (im 0 in the real solver)
};

// The program of a split replay (replay.cpp): the dynamic operations, and
// the values the static ones leave.
enum { SPLITDYN = 1, SPLITMOVED = 2, SPLITSNAP = 4, SPLITPIVOT = 8 };   // splitprog.mark bits
struct progcol {             // a column with dynamic operations
    int32_t ncand;           // candidates compared, heads in cands; 0: a static pivot, kept
    int32_t ati, winner;     // as in colstep
    int32_t diag;            // as in colstep
    int32_t pivot;           // pivot entry
    int32_t nrow;            // progrows
    int32_t tail, ntail;     // as in colstep, when a row reads the whole tail (gathered), else 0
};
struct progrow {             // an eliminated row with dynamic operations
    int32_t head;            // r_i
    int32_t slot;            // multiplier slot
    int32_t fresh;           // 1: f = r_i * (-1/p) anew; 0: the static f kept in mult
    int32_t at;              // >= 0: every operation of the row is dynamic, its pairs the
                             //   trace's from pairs[at]; -1: npair of its own (pairop)
    int32_t npair;
};
struct snapent {             // a value static operations left in an entry
    int32_t e;
    cval v;
};
struct splitprog {
    int32_t ok;              // 1: the snapshot holds for the system as it is now: every build
                             //   since moved only entries marked SPLITMOVED
    uint32_t made;           // programs made so far (a batch's lanes know theirs by it)
    uint8_t *mark;           // [markmax] per entry: SPLIT... bits
    progcol *cols;           // [ncol] the program: columns, their candidates, rows and pairs
    int32_t *cands;          // [ncand]
    progrow *rows;           // [nrow]
    pairop *pairs;           // [npair]
    snapent *snap;           // [nsnap]
    int32_t *fills;          // [nfills] the fill-in entries the program's operations make: each
                             //   starts as -0 and takes its product by the sum of an update
    int32_t ncol, ncand, nrow, npair, nsnap, nfills;
    int32_t markmax, colmax, candmax, rowmax, pairmax, snapmax, fillsmax;  // capacities
};

struct solvetrace {
    int32_t valid;             // 1: holds a solve that returned 0
    int32_t n, count, final;   // unknowns, entries before, entries in use after
    int32_t *heads;            // [n] row heads before
    sparsel *in;               // [count] entries before; values: those of the last solve (its
                               //   right-hand sides only when they were compared) if inok
    int32_t inok;              // 0: a replay the builds vouched for left in's values behind
    int32_t *rhsat;            // [nrhs] entries in the right-hand-side column before
    int32_t nrhs;
    linkchange *chg;           // [nchg] where the solve changed columns and links, by entry;
    int32_t nchg, nchglow;     //   the first nchglow below count
    int32_t *frows;            // [n + 1] row heads after
    int32_t *fscratch;         // [nscratch] scratch list after
    int32_t nscratch;          // scratch slots the solve wrote
    colstep *cols;             // [n] the columns
    int32_t *cands;            // [ncand] candidates' head entries, column after column
    int32_t *tails;            // [ntails] pivot rows' tails, column after column
    elimstep *elims;           // [nelim] eliminated rows, column after column
    int32_t *pairs;            // [npair] the entries each row writes, row after row
    backrow *brows;            // [n] the back substitution, from the last unknown
    backterm *terms;           // [nterm] its terms, row after row
    int32_t ncand, ntails, tailmost, nelim, npair, nterm;  // tailmost: the longest tail
    cval *mult;                // [nelim] multipliers by slot, once prepared; of the last solve
    rhsop *rops;               // [nrop] right-hand-side operations in recorded order, once prepared
    int32_t nrop;
    sparsel *post;             // [final - 1] entries after elimination; pivots hold -1/p
    int32_t *postdiff;         // [npostdiff] entries below count, neither pivot nor right-hand
    int32_t npostdiff;         //   side, that elimination changed
    int32_t *postlinks;        // [npostlinks] pivots and right-hand sides below count whose
    int32_t npostlinks;        //   column or link elimination changed
    int32_t postok;            // 1: in, mult and post belong to the last solve
    double *termval;           // [nterm] with post: each back-substitution term's coefficient (real part)
    int32_t *termrow;          // [nterm] and the place in brows of the row that gives its unknown
    double *xs;                // [n] scratch: the unknowns by their row's place in brows
    rhsslot *rslots;           // [nrop] with post: the right-hand-side operations on slots
    int32_t *slotent;          // [nslot] the entry of each slot (slot 0: a constant 0, none)
    int32_t nslot, nslotin;    //   slots 1..nslotin-1 below count, the system's own values
    int32_t *brhs;             // [n] each back row's right-hand-side slot (0: none)
    double *slotval;           // [nslot] scratch: the values
    double *pivval;            // [n] and each back row's -1/p
    int32_t prepared;          // 1: traceprepare has run: rops, mult, records by levels (a large
                               //   trace's columns as recorded)
    int32_t lastreplay;        // 1: the last solve was a replay
    int32_t repeats;           // 1: the solve after the last replay had its matrix (or none yet):
                               //   a replay keeps post only then, a sweep changes it every time
    uint32_t build;            // buildcount when the last solve succeeded
    splitprog split;           // the split replay's program
    int32_t nmax, countmax, chgmax, candmax, tailsmax, elimmax, pairmax, termmax, multmax, ropmax, postmax,
        diffmax, termvalmax, termrowmax, xsmax, rslotmax, slotentmax, brhsmax, slotvalmax,
        pivvalmax;  // capacities
};

// 1 if entries a and b, count of each, have the same columns and links
// ((link, column) pairs compared as one word each)
static inline int32_t samelinks(const sparsel *a, const sparsel *b, int32_t count) {
    uint64_t diff = 0;
    for (int32_t e = 0; e < count; e++) {
        uint64_t x, y;
        memcpy(&x, (const char *)&a[e] + offsetof(sparsel, next), sizeof x);
        memcpy(&y, (const char *)&b[e] + offsetof(sparsel, next), sizeof y);
        diff |= x ^ y;
    }
    return !diff;
}
// 1 if trace t was made on a system of these row heads and entries (the
// cheap half of the structure); tracedon: every entry's column and link too
static inline int32_t tracedheads(const solvetrace *t, const int32_t *rows, int32_t count, int32_t n) {
    return t->n == n && t->count == count && !memcmp(rows, t->heads, (size_t)n * sizeof(int32_t));
}
static inline int32_t tracedon(const solvetrace *t, const int32_t *rows, int32_t count, int32_t n) {
    return t->valid && tracedheads(t, rows, count, n) && samelinks(el, t->in, count);
}

// === the pivot rule of ordered systems ===
// In fill-reducing order a column's diagonal row (the row of the unknown
// that takes the column: the pivot the order was made for) is the pivot
// while its |p| is at least PIVOTTAU times the largest candidate's
// (threshold partial pivoting); else the largest wins, as in natural order.
static const double PIVOTTAU = 0.1;
static inline int32_t diagwins(double md, double bm) { return md >= PIVOTTAU * PIVOTTAU * bm; }  // |p|^2

// === arithmetic of the two solvers ===
// Each operation once on plain values: double in the real solver, cval in
// the complex one (a replay of every column works on a packed array of
// them); the forms on sparsel below go through these, so that every path
// computes the very same expressions.
static inline cval valof(const sparsel &x) { return cval{x.re, x.im}; }

// A pivot row's entry q gathered for the rows of its column: q and i q, so
// that e += f q is two products and two sums a row, no shuffle:
// re: f.re q.re + f.im (-q.im), im: f.re q.im + f.im q.re, the very
// products and sums of addval (x + (-y) is x - y).
struct tailval {
    cval q, iq;
};
template <bool CPLX> using valtype = typename std::conditional<CPLX, cval, double>::type;
template <bool CPLX> using tailtype = typename std::conditional<CPLX, tailval, double>::type;

// |p|^2
static inline double magv(double x) { return x * x; }
static inline double magv(const cval &x) { return x.re * x.re + x.im * x.im; }
// -1/p, from |p|^2 = bm (d = 1/bm, or 1 when bm is 1)
static inline double pivotd(double bm) { return bm != 1 ? 1 / bm : bm; }
static inline double recipv(double p, double bm) { return -pivotd(bm) * p; }
static inline cval recipv(const cval &p, double bm) {
    const double d = pivotd(bm);
    return cval{-d * p.re, d * p.im};
}
// f = r * (-1/p)
static inline double factorv(double r, double p) { return r * p; }
static inline cval factorv(const cval &r, const cval &p) {
    return cval{r.re * p.re - r.im * p.im, r.re * p.im + r.im * p.re};
}
// a pivot row entry gathered, and row entry e += f * it
static inline double tailv(double q) { return q; }
static inline tailval tailv(const cval &q) { return tailval{q, cval{-q.im, q.re}}; }
static inline void addv(double &e, double t, double f) { e += f * t; }
static inline void addv(cval &e, const tailval &t, const cval &f) {
    e.re += f.re * t.q.re + f.im * t.iq.re;
    e.im += f.re * t.q.im + f.im * t.iq.im;
}
// A fill-in entry about to take f * q by an update instead of a product:
// -0 + x is x itself for every x (either zero, infinities, NaN), so it ends
// with the product's bits.
static inline void startv(double &v) { v = -0.0; }
static inline void startv(cval &v) { v = cval{-0.0, -0.0}; }
// between sparsel and plain values; a multiplier kept as a cval
static inline double loadv(const sparsel &e, double) { return e.re; }
static inline cval loadv(const sparsel &e, cval) { return valof(e); }
static inline void storev(sparsel &e, double v) { e.re = v; }
static inline void storev(sparsel &e, const cval &v) { e.re = v.re, e.im = v.im; }
static inline cval multv(double f) { return cval{f, 0}; }
static inline cval multv(const cval &f) { return f; }

// --- the same on sparsel: CPLX selects the complex forms; the real solver
//     reads and writes only re (an entry's im stays 0) ---
template <bool CPLX> static inline double magof(const sparsel &e) { return CPLX ? magv(valof(e)) : magv(e.re); }

// pivot entry p becomes -1/p, from bm = |p|^2; returns it
template <bool CPLX> static inline cval scalepivot(sparsel &p, double bm) {
    const cval v = CPLX ? recipv(valof(p), bm) : cval{recipv(p.re, bm), 0};
    p.re = v.re;
    if (CPLX) p.im = v.im;
    return v;
}

// f = r * (-1/p)
template <bool CPLX> static inline cval factor(const sparsel &r, cval p) {
    return CPLX ? factorv(valof(r), p) : cval{factorv(r.re, p.re), 0};
}

// new entry e = f * pivot entry q (its column and link are set by the
// caller); returns e's value
template <bool CPLX> static inline cval fillval(sparsel &e, cval q, cval f) {
    if (CPLX) {
        e.re = f.re * q.re - f.im * q.im;
        e.im = f.re * q.im + f.im * q.re;
    } else {
        e.re = f.re * q.re;
        e.im = 0;
    }
    return valof(e);
}

// row entry e += f * pivot entry q; returns e's value
template <bool CPLX> static inline cval addval(sparsel &e, cval q, cval f) {
    if (CPLX) {
        const double tr = f.re * q.re - f.im * q.im, ti = f.re * q.im + f.im * q.re;
        e.re += tr;
        e.im += ti;
    } else {
        e.re += f.re * q.re;
    }
    return valof(e);
}

// a fill-in entry started for an update (startv); its imaginary part 0 in
// the real solver, as fillval leaves it
template <bool CPLX> static inline void startfill(sparsel &e) {
    e.re = -0.0;
    e.im = CPLX ? -0.0 : 0.0;
}

static inline tailval tailof(const sparsel &q) { return tailv(valof(q)); }

// row entry e += f * gathered pivot entry t: addval's bits
template <bool CPLX> static inline void addtail(sparsel &e, const tailval &t, cval f) {
    if (CPLX) {
        cval v = valof(e);
        addv(v, t, f);
        storev(e, v);
    } else {
        addv(e.re, t.q.re, f.re);
    }
}

// s += a * x (the back substitution's sums)
template <bool CPLX> static inline void accum(double &sr, double &si, const sparsel &a, cval x) {
    if (CPLX) {
        const double tr = a.re * x.re - a.im * x.im, ti = a.re * x.im + a.im * x.re;
        sr += tr;
        si += ti;
    } else {
        sr += a.re * x.re;
    }
}

// h = p * s: the stored -1/p times the row's sum is the unknown's value
template <bool CPLX> static inline void scaleby(sparsel &h, const sparsel &p, double sr, double si) {
    if (CPLX) {
        const double pr = p.re, pi = p.im;
        h.re = pr * sr - pi * si;
        h.im = pr * si + pi * sr;
    } else {
        h.re = p.re * sr;
    }
}

// the right-hand side column's value in the back substitution
static const cval MINUSONE{-1, 0};

// === the replays (replay.cpp) ===
void traceprepare(solvetrace *t);   // what a replay needs beyond the trace, once per trace
// Each returns 1 with the system solved, as the general solve would leave
// it, or 0 with the coefficients as they came in, for the next path to try.
int32_t movedwithin(const splitprog *sp);   // 1: the last build moved only entries the split was made for
template <bool CPLX>
int32_t rhsonly(int32_t *rows, int32_t count, int32_t *scratch, int32_t n, solvetrace *t, int32_t kin,
                int32_t kept);   // kept: el holds this trace's last solve but for column n (B7)
template <bool CPLX>
int32_t replay(int32_t *rows, int32_t count, int32_t *scratch, int32_t n, solvetrace *t, int32_t kin);

// Several systems of one held sweep at once, on the split program: each
// lane gets its own solve's bits (replay.cpp).
void lanestake(solvetrace *t, int32_t lane);   // the moved entries' values of el's build as lane
int32_t lanessolve(solvetrace *t, int32_t lanes);  // el's words relabelled when ordered: 1 solved,
                                        //   el as the last lane's split replay leaves it; 0 a
                                        //   pivot differs in some lane, el's values untouched
void lanesget(int32_t lane, int32_t e, double *re, double *im);  // lane's value of entry e

// === the elimination order (order.cpp) ===
// A large system has its node columns relabelled into fill-reducing order
// before any path sees it, and its row heads put back after; the paths above
// work on the relabelled system alone.
int32_t orderin(int32_t *rows, int32_t count, int32_t n, int32_t kept);  // 1: relabelled (rows too;
                                        //   kept: el's words are the last solve's, left as they are)
int32_t orderkeeps(const int32_t *rows, int32_t count, int32_t n);  // 1: orderin can take a kept build
const int32_t *orderdiag(void);         // [n] while relabelled: per column the place before the
                                        //   solve of its diagonal row; else null
void orderredo(void);                   // relabels el again after buildrestore
void orderout(int32_t *rows, int32_t n);  // rows[c] back to unknown c's row
