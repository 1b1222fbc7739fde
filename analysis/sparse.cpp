// sparse.cpp: the sparse linear solvers, real and complex: Gaussian
// elimination with partial pivoting on the linked-list rows that initmat
// builds, fill-in appended to el, solution left in each row's first entry.
// Depends on equations.cpp (el, checkelcnt) and circuit.h (numwires).
// Limits: columns in natural order, no reordering for sparsity; the entry
// array passed in must be el, since fill-in grows it through checkelcnt;
// inside a hold (buildhold) el past the system is the solver's own.
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include "analysis/analysis.h"
#include "circuit/circuit.h"

static_assert(offsetof(sparsel, col) == offsetof(sparsel, next) + 4, "link and column form one word");

int32_t solvereuse = 1;
int32_t solvehow = SOLVEFULL;

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

// === growable arrays ===
static int32_t *growint(int32_t *p, int32_t n) { return (int32_t *)growmem(p, (size_t)n * sizeof(int32_t)); }

static int32_t grownsize(int32_t have, int32_t need) {
    int64_t m = have ? have : 512;
    while (m < need) m *= 2;
    return m > 0x7FFFFFFF ? 0x7FFFFFFF : (int32_t)m;
}

// p grown to hold need elements of size bytes; *cap follows
static void *growto(void *p, int32_t *cap, int32_t need, size_t size) {
    if (need <= *cap) return p;
    *cap = grownsize(*cap, need);
    return growmem(p, (size_t)*cap * size);
}

// === column buckets ===
// Each row keeps an id (its position before the solve); bhead[c] lists the
// ids of the rows that start in column c through bnext. A row changes its
// first column only when it is eliminated, and its position only when a pivot
// swap moves it, so the lists stay exact at little cost.
static int32_t *bhead;    // [workmax + 1] first id of column c's list, -1 none
static int32_t *bnext;    // [workmax] next id in the same list
static int32_t *idat;     // [workmax] id of the row at position k
static int32_t *posof;    // [workmax] position of row id
static int32_t workmax;

static void checkwork(int32_t n) {
    if (n <= workmax) return;
    const int32_t m = grownsize(workmax, n);
    bhead = growint(bhead, m + 1);
    bnext = growint(bnext, m);
    idat = growint(idat, m);
    posof = growint(posof, m);
    workmax = m;
}

static inline void bucketpush(int32_t col, int32_t id, int32_t n) {
    if (col >= n) return;  // only a right-hand side left, or an empty row
    bnext[id] = bhead[col];
    bhead[col] = id;
}

// sorts the candidate positions ascending (few, usually two or three)
static inline void sortpos(int32_t *p, int32_t cnt) {
    if (cnt > 24) {
        std::sort(p, p + cnt);
        return;
    }
    for (int32_t i = 1; i < cnt; i++) {
        const int32_t x = p[i];
        int32_t j = i - 1;
        for (; j >= 0 && p[j] > x; j--) p[j + 1] = p[j];
        p[j + 1] = x;
    }
}

// === trace ===
// The record of a general solve, in flat arrays of small records kept back
// to back in the order they are done, so that a replay walks each array
// front to back: per column a colstep, its candidates' head entries (cands)
// and per row it eliminated an elimstep with that row's fill and update
// pairs; per unknown, from the last, a backrow with its terms. Columns and
// unknowns go in natural order, by levels once prepared (trace preparation).
struct colstep {             // one column: the pivot comparisons, then the rows eliminated
    int32_t ncand;           // candidates compared, heads in cands in comparison order
    int32_t ati;             // 1: the first candidate is the row already at position i
    int32_t winner;          // index of the pivot row among the candidates
    int32_t top;             // entry count after the column: its fill-in lies below
    int32_t nelim;           // rows eliminated (elimsteps)
    int32_t fslot;           // multiplier slot of the first of them: eliminations before it,
};                           //   in natural order
struct elimstep {            // one row r eliminated with pivot row p by f = r_i * (-1/p_i)
    int32_t head;            // the row's head entry, r_i
    int32_t nfill;           // fill pairs: new entry = f * pivot entry; then
    int32_t nupd;            // update pairs: entry += f * pivot entry
};
struct pairop {              // one fill or update of an eliminated row
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
struct linkchange {          // an entry whose column or link the solve changed, or made
    int32_t e, col, next;
};
struct cval {                // a multiplier or a pivot's -1/p
    double re, im;           // (im 0 in the real solver)
};

// The program of a split replay (see there): the dynamic operations, and
// the values the static ones leave.
enum { SPLITDYN = 1, SPLITMOVED = 2, SPLITSNAP = 4, SPLITPIVOT = 8 };   // splitprog.mark bits
struct progcol {             // a column with dynamic operations
    int32_t ncand;           // candidates compared, heads in cands; 0: a static pivot, kept
    int32_t ati, winner;     // as in colstep
    int32_t pivot;           // pivot entry
    int32_t nrow;            // progrows
};
struct progrow {             // an eliminated row with dynamic operations
    int32_t head;            // r_i
    int32_t slot;            // multiplier slot
    int32_t fresh;           // 1: f = r_i * (-1/p) anew; 0: the static f kept in mult
    int32_t nfill, nupd;     // its dynamic pairs, fills first
};
struct snapent {             // a value static operations left in an entry
    int32_t e;
    cval v;
};
struct splitprog {
    int32_t ok;              // 1: the snapshot holds for the system as it is now: every build
                             //   since moved only entries marked SPLITMOVED
    uint8_t *mark;           // [markmax] per entry: SPLIT... bits
    progcol *cols;           // [ncol] the program: columns, their candidates, rows and pairs
    int32_t *cands;          // [ncand]
    progrow *rows;           // [nrow]
    pairop *pairs;           // [npair]
    snapent *snap;           // [nsnap]
    int32_t ncol, ncand, nrow, npair, nsnap;
    int32_t markmax, colmax, candmax, rowmax, pairmax, snapmax;  // capacities
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
    elimstep *elims;           // [nelim] eliminated rows, column after column
    pairop *pairs;             // [npair] fills then updates, row after row
    backrow *brows;            // [n] the back substitution, from the last unknown
    backterm *terms;           // [nterm] its terms, row after row
    int32_t ncand, nelim, npair, nterm;
    cval *mult;                // [nelim] multipliers by slot, once prepared; of the last solve
    rhsop *rops;               // [nrop] right-hand-side operations in recorded order, once prepared
    int32_t nrop;
    sparsel *post;             // [final - 1] entries after elimination; pivots hold -1/p
    int32_t *postdiff;         // [npostdiff] entries below count, neither pivot nor right-hand
    int32_t npostdiff;         //   side, that elimination changed
    int32_t *postlinks;        // [npostlinks] pivots and right-hand sides below count whose
    int32_t npostlinks;        //   column or link elimination changed
    int32_t postok;            // 1: in, mult and post belong to the last solve
    int32_t prepared;          // 1: traceprepare has run: rops, mult, records by levels
    int32_t lastreplay;        // 1: the last solve was a replay
    int32_t repeats;           // 1: the solve after the last replay had its matrix (or none yet):
                               //   a replay keeps post only then, a sweep changes it every time
    uint32_t build;            // buildcount when the last solve succeeded
    splitprog split;           // the split replay's program
    sparsel *spare;            // [final - 1 - count] during a replay: the fill-in entries before
    int32_t nmax, countmax, chgmax, candmax, elimmax, pairmax, termmax, multmax, ropmax, postmax,
        sparemax, diffmax;     // capacities
};
static solvetrace traces[2];   // [0] real, [1] complex

static pairop *ops;            // [opsmax] one elimination's pairs: fills from the front,
static int32_t opsmax;         //   updates from the back

// the next free record of a growable array a of cnt records, cap allocated
template <class T> static inline T *push(T *&a, int32_t &cnt, int32_t &cap) {
    if (cnt >= cap) a = (T *)growto(a, &cap, cnt + 1, sizeof(T));
    return &a[cnt++];
}

static void checkops(int32_t need) {
    if (need <= opsmax) return;
    opsmax = grownsize(opsmax, need);
    ops = (pairop *)growmem(ops, (size_t)opsmax * sizeof(pairop));
}

// remembers the system the trace starts from: heads, entries, right-hand sides
static void tracestart(solvetrace *t, const int32_t *rows, int32_t count, int32_t n) {
    t->valid = t->postok = t->lastreplay = t->prepared = t->split.ok = 0;
    t->inok = 1;
    t->repeats = 1;
    t->ncand = t->nelim = t->npair = t->nterm = t->nrop = t->nrhs = t->nscratch = 0;
    if (n + 1 > t->nmax) {
        t->nmax = grownsize(t->nmax, n + 1);
        t->heads = growint(t->heads, t->nmax);
        t->frows = growint(t->frows, t->nmax);
        t->fscratch = growint(t->fscratch, t->nmax);
        t->cols = (colstep *)growmem(t->cols, (size_t)t->nmax * sizeof(colstep));
        t->brows = (backrow *)growmem(t->brows, (size_t)t->nmax * sizeof(backrow));
    }
    if (count > t->countmax) {
        t->countmax = grownsize(t->countmax, count);
        t->in = (sparsel *)growmem(t->in, (size_t)t->countmax * sizeof(sparsel));
        t->rhsat = growint(t->rhsat, t->countmax);
    }
    t->n = n;
    t->count = count;
    memcpy(t->heads, rows, (size_t)n * sizeof(int32_t));
    memcpy(t->in, el, (size_t)count * sizeof(sparsel));
    for (int32_t e = 0; e < count; e++)
        if (el[e].col == n) t->rhsat[t->nrhs++] = e;
}

// remembers the structure a successful solve left
static void traceend(solvetrace *t, const int32_t *rows, const int32_t *scratch, int32_t final) {
    t->chg = (linkchange *)growto(t->chg, &t->chgmax, final, sizeof(linkchange));
    t->final = final;
    t->nchg = 0;
    for (int32_t e = 1; e < final; e++) {
        if (e == t->count) t->nchglow = t->nchg;
        if (e < t->count && el[e].col == t->in[e].col && el[e].next == t->in[e].next) continue;
        t->chg[t->nchg++] = linkchange{e, el[e].col, el[e].next};
    }
    memcpy(t->frows, rows, (size_t)(t->n + 1) * sizeof(int32_t));
    memcpy(t->fscratch, scratch, (size_t)t->nscratch * sizeof(int32_t));
    t->valid = 1;
}

// === trace preparation ===
// What only a replay and a right-hand-side-only solve use is derived from a
// trace when it is first replayed, so that a system that comes only once (a
// solve after an edit) pays nothing for it: the operations on the right-hand
// side, room for the multipliers, and the order of the records.
static int32_t *entlvl;            // [entmax] per entry: its column, or the level that wrote it
static int32_t entmax;
static int32_t *lvl;               // [lvlmax] level of each column or back row
static int32_t *lvlord;            // [lvlmax] columns or back rows by level, in recorded order within one
static int32_t *lvlput;            // [lvlmax + 1] per level: count, then first place
static int32_t *grpcnt, *grpat;    // [lvlmax] per column or back row: its records in the array
                                   //   being regrouped, and where the first of them lies
static int32_t lvlmax;
static char *grpcopy;              // [grpcopymax] bytes: the array being regrouped
static size_t grpcopymax;

static void checklevels(int32_t n, int32_t final) {
    if (n + 1 > lvlmax) {
        lvlmax = grownsize(lvlmax, n + 1);
        lvl = growint(lvl, lvlmax);
        lvlord = growint(lvlord, lvlmax);
        lvlput = growint(lvlput, lvlmax + 1);
        grpcnt = growint(grpcnt, lvlmax);
        grpat = growint(grpat, lvlmax);
    }
    if (final > entmax) {
        entmax = grownsize(entmax, final);
        entlvl = growint(entlvl, entmax);
    }
}

// The right-hand-side operations in recorded order: a pivot row's entry in
// column n is its last, so per elimination the last fill-in or the last
// update, if its pivot entry lies in column n (columns as the solve left
// them: from t->in, and from chg for the entries it changed or made).
static void tracerops(solvetrace *t, int32_t n) {
    int32_t *colof = entlvl;
    for (int32_t e = 0; e < t->count; e++) colof[e] = t->in[e].col;
    for (int32_t k = 0; k < t->nchg; k++) colof[t->chg[k].e] = t->chg[k].col;
    t->nrop = 0;
    const pairop *p = t->pairs;
    for (int32_t k = 0; k < t->nelim; k++) {
        const elimstep &s = t->elims[k];
        const pairop *fill = p, *upd = p + s.nfill;
        p += s.nfill + s.nupd;
        if (s.nfill && colof[fill[s.nfill - 1].q] == n)
            *push(t->rops, t->nrop, t->ropmax) = rhsop{fill[s.nfill - 1].e, fill[s.nfill - 1].q, k, 1, 0};
        else if (s.nupd && colof[upd[s.nupd - 1].q] == n)
            *push(t->rops, t->nrop, t->ropmax) = rhsop{upd[s.nupd - 1].e, upd[s.nupd - 1].q, k, 0, 0};
    }
    for (int32_t k = 1; k < t->nrop; k++) t->rops[k].chain = t->rops[k].q == t->rops[k - 1].e;
}

// lvlord: 0..n-1 by level (1..n), in recorded order within a level
static void levelorder(int32_t n) {
    memset(lvlput, 0, (size_t)(n + 2) * sizeof(int32_t));
    for (int32_t k = 0; k < n; k++) lvlput[lvl[k]]++;
    for (int32_t l = 1, at = 0; l <= n; l++) {
        const int32_t c = lvlput[l];
        lvlput[l] = at;
        at += c;
    }
    for (int32_t k = 0; k < n; k++) lvlord[lvlput[lvl[k]]++] = k;
}

// a holds n groups of records of size bytes, group k of cnt[k] records
// (1 each when cnt is null) right after group k - 1; they are rewritten in
// the order lvlord names them
static void regroup(void *a, size_t size, const int32_t *cnt, int32_t n) {
    int32_t total = 0;
    for (int32_t k = 0; k < n; k++) {
        grpat[k] = total;
        total += cnt ? cnt[k] : 1;
    }
    const size_t bytes = (size_t)total * size;
    if (!bytes) return;  // nothing recorded (a may be null)
    if (bytes > grpcopymax) {
        grpcopymax = 2 * bytes;
        grpcopy = (char *)growmem(grpcopy, grpcopymax);
    }
    memcpy(grpcopy, a, bytes);
    char *to = (char *)a;
    for (int32_t j = 0; j < n; j++) {
        const int32_t k = lvlord[j];
        const size_t len = (size_t)(cnt ? cnt[k] : 1) * size;
        memcpy(to, grpcopy + (size_t)grpat[k] * size, len);
        to += len;
    }
}

// Reorders the recorded back substitution by levels: a row's level is one
// more than the highest level among the rows whose values it reads (the
// right-hand side's: level 0); rows go by level, within a level in the order
// they were recorded. A row still follows every row it reads, so the bits
// are the same; rows off the longest chain of dependencies now lie between
// its links, where they are done while a link waits for the one before.
static void tracelevels(solvetrace *t, int32_t n) {
    memset(entlvl, 0, (size_t)t->final * sizeof(int32_t));
    const backterm *tm = t->terms;
    for (int32_t k = 0; k < n; k++) {
        const backrow &b = t->brows[k];
        int32_t l = 0;
        for (int32_t q = 0; q < b.nterm; q++) l = std::max(l, entlvl[tm[q].x]);
        tm += b.nterm;
        entlvl[b.head] = lvl[k] = l + 1;
        grpcnt[k] = b.nterm;
    }
    levelorder(n);
    regroup(t->brows, sizeof(backrow), nullptr, n);
    regroup(t->terms, sizeof(backterm), grpcnt, n);
}

// Level of column c (entlvl as the columns before left it): one more than
// the highest level among the columns that last wrote an entry it reads
// (candidates' heads, the pivot row's entries, the entries it updates). The
// entries it writes take that level; *npair: the column's pairs.
static int32_t columnlevel(const colstep &c, const int32_t *cand, const elimstep *s, const pairop *p,
                           int32_t *npair) {
    int32_t l = 0, np = 0;
    for (int32_t j = 0; j < c.ncand; j++) l = std::max(l, entlvl[cand[j]]);
    for (int32_t r = 0; r < c.nelim; r++) np += s[r].nfill + s[r].nupd;
    for (int32_t q = 0; q < np; q++) l = std::max(l, std::max(entlvl[p[q].e], entlvl[p[q].q]));
    entlvl[cand[c.winner]] = ++l;
    for (int32_t q = 0; q < np; q++) entlvl[p[q].e] = l;
    *npair = np;
    return l;
}

// Reorders the recorded columns by levels as well. No column writes an entry
// that an earlier one read (a pivot row is done, an eliminated head has left
// its row), so every operation sees the values it saw before; columns that
// do not wait on each other now come together.
static void tracecolumns(solvetrace *t, int32_t n) {
    memset(entlvl, 0, (size_t)t->final * sizeof(int32_t));
    const int32_t *cand = t->cands;
    const elimstep *s = t->elims;
    const pairop *p = t->pairs;
    for (int32_t i = 0; i < n; i++) {
        const colstep &c = t->cols[i];
        lvl[i] = columnlevel(c, cand, s, p, &grpcnt[i]);
        cand += c.ncand;
        s += c.nelim;
        p += grpcnt[i];
    }
    levelorder(n);
    regroup(t->pairs, sizeof(pairop), grpcnt, n);
    for (int32_t i = 0; i < n; i++) grpcnt[i] = t->cols[i].ncand;
    regroup(t->cands, sizeof(int32_t), grpcnt, n);
    for (int32_t i = 0; i < n; i++) grpcnt[i] = t->cols[i].nelim;
    regroup(t->elims, sizeof(elimstep), grpcnt, n);
    regroup(t->cols, sizeof(colstep), nullptr, n);
}

// everything a replay needs beyond the trace itself, once per trace
static void traceprepare(solvetrace *t) {
    checklevels(t->n, t->final);
    tracerops(t, t->n);
    t->mult = (cval *)growto(t->mult, &t->multmax, t->nelim, sizeof(cval));
    tracelevels(t, t->n);
    tracecolumns(t, t->n);
    t->prepared = 1;
}

// The entries after elimination, last of them, before back substitution;
// and where those below t->count differ from the system t->in holds: what a
// right-hand-side-only solve must put back over a system just built, which
// computes the pivots' and right-hand sides' values anew (entlvl: scratch).
static void tracepost(solvetrace *t, int32_t last) {
    t->post = (sparsel *)growto(t->post, &t->postmax, last, sizeof(sparsel));
    memcpy(t->post, el, (size_t)last * sizeof(sparsel));
    const int32_t count = t->count;
    if (count > t->diffmax) {
        t->diffmax = grownsize(t->diffmax, count);
        t->postdiff = growint(t->postdiff, t->diffmax);
        t->postlinks = growint(t->postlinks, t->diffmax);
    }
    int32_t *computed = entlvl;
    memset(computed, 0, (size_t)count * sizeof(int32_t));
    for (int32_t k = 0; k < t->n; k++)
        if (t->brows[k].head < count) computed[t->brows[k].head] = 1;
    for (int32_t k = 0; k < t->nrhs; k++) computed[t->rhsat[k]] = 1;
    t->npostdiff = t->npostlinks = 0;
    for (int32_t e = 0; e < count; e++) {
        const sparsel &a = t->post[e], &b = t->in[e];
        if (!memcmp(&a, &b, sizeof a)) continue;
        if (!computed[e]) t->postdiff[t->npostdiff++] = e;
        else if (a.next != b.next || a.col != b.col) t->postlinks[t->npostlinks++] = e;
    }
    t->postok = 1;
}

// === arithmetic of the two solvers ===
// One template body; CPLX selects complex products and |p|^2 = re^2 + im^2.
template <bool CPLX> static inline double magof(const sparsel &e) {
    return CPLX ? e.re * e.re + e.im * e.im : e.re * e.re;
}

// pivot entry p becomes -1/p, from d = 1/|p|^2 (or 1); returns it
template <bool CPLX> static inline cval scalepivot(sparsel &p, double bm) {
    double d = bm;
    if (d != 1) d = 1 / d;
    const cval v{-d * p.re, CPLX ? d * p.im : 0};
    p.re = v.re;
    if (CPLX) p.im = v.im;
    return v;
}

// f = r * (-1/p)
template <bool CPLX> static inline cval factor(const sparsel &r, cval p) {
    if (CPLX) return cval{r.re * p.re - r.im * p.im, r.re * p.im + r.im * p.re};
    return cval{r.re * p.re, 0};
}

static inline cval valof(const sparsel &x) { return cval{x.re, x.im}; }

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

// === elimination ===
// Eliminates the column of row head rh with the pivot row ph, whose first
// entry already holds -1/p, by f = r * (-1/p). Merges both tails in column
// order; returns the new head (0 when nothing was linked). count grows by the
// fill-in; *nfill and *nupd receive the pairs recorded in ops (fills from
// ops[0] up; updates from ops[cap - 1] down, cap = pivot tail length).
template <bool CPLX>
static int32_t eliminate(int32_t rh, int32_t ph, cval f, int32_t &count, int32_t cap, int32_t *nfill, int32_t *nupd) {
    sparsel *ent = el;
    int32_t pe = ent[ph].next, re = ent[rh].next, head = 0, tail = 0, nf = 0, nu = 0;
    for (;;) {
        const int32_t pc = ent[pe].col, rc = ent[re].col;
        int32_t e;
        if (pc < rc) {  // fill-in: f * pivot entry
            if (count >= elcntmax) {
                checkelcnt(count);
                ent = el;
            }
            e = count++;
            fillval<CPLX>(ent[e], valof(ent[pe]), f);
            ent[e].col = pc;
            ops[nf++] = pairop{e, pe};
            pe = ent[pe].next;
        } else if (pc == rc) {
            if (pc == COLEND) break;
            addval<CPLX>(ent[re], valof(ent[pe]), f);
            ops[cap - ++nu] = pairop{re, pe};
            e = re;
            re = ent[re].next;
            pe = ent[pe].next;
        } else if (pc == COLEND) {  // pivot row done: the row's rest is already linked in order
            if (tail) ent[tail].next = re;
            else head = re;
            *nfill = nf, *nupd = nu;
            return head;
        } else {
            e = re;
            re = ent[re].next;
        }
        if (tail) ent[tail].next = e;
        else head = e;
        tail = e;
    }
    if (tail) ent[tail].next = 0;
    *nfill = nf, *nupd = nu;
    return head;
}

// === back substitution ===
// x_i = (-1/p) * sum(a_ic * x_c) with the right-hand side as a column whose
// value is -1 (entry count); rows finish from the last unknown down.
static const cval MINUSONE{-1, 0};  // the right-hand side column's value

template <bool CPLX>
static void backsubst(int32_t *rows, int32_t count, int32_t n, solvetrace *t) {
    checkelcnt(count);
    sparsel *ent = el;
    rows[n] = count;
    ent[count] = sparsel{MINUSONE.re, MINUSONE.im, 0, n};
    for (int32_t i = n - 1; i >= 0; i--) {
        const int32_t h = rows[i], first = t->nterm;
        int32_t rhs = 0;
        double sr = 0, si = 0;
        for (int32_t e = ent[h].next; e; e = ent[e].next) {
            const int32_t x = rows[ent[e].col];
            if (ent[e].col == n) rhs = e;
            else *push(t->terms, t->nterm, t->termmax) = backterm{e, x};
            accum<CPLX>(sr, si, ent[e], valof(ent[x]));
        }
        t->brows[n - 1 - i] = backrow{h, t->nterm - first, rhs};
        scaleby<CPLX>(ent[h], ent[h], sr, si);
    }
}

// The recorded back substitution: x_i = (-1/p) * (sum of the row's terms
// a * x_c + b * -1), row after row, -1/p from piv (el itself, or the
// trace's post); entry last becomes the right-hand side's value -1 as the
// general solve leaves it.
template <bool CPLX>
static void backreplay(const solvetrace *t, int32_t last, const sparsel *piv) {
    sparsel *ent = el;
    ent[last].re = MINUSONE.re;
    ent[last].im = MINUSONE.im;
    const backterm *tm = t->terms;
    for (const backrow *b = t->brows, *end = b + t->n; b < end; tm += b->nterm, b++) {
        double sr = 0, si = 0;
        switch (b->nterm) {  // most rows have one term or two: no loop for them
        case 0: break;
        case 1: accum<CPLX>(sr, si, ent[tm[0].a], valof(ent[tm[0].x])); break;
        case 2:
            accum<CPLX>(sr, si, ent[tm[0].a], valof(ent[tm[0].x]));
            accum<CPLX>(sr, si, ent[tm[1].a], valof(ent[tm[1].x]));
            break;
        default:
            for (int32_t q = 0; q < b->nterm; q++) accum<CPLX>(sr, si, ent[tm[q].a], valof(ent[tm[q].x]));
        }
        if (b->rhs) accum<CPLX>(sr, si, ent[b->rhs], MINUSONE);
        scaleby<CPLX>(ent[b->head], piv[b->head], sr, si);
    }
}

// === general solve ===
struct pivotpick {
    int32_t nc;      // candidates in scratch, position i not among them
    int32_t ati;     // 1: position i is a candidate too
    int32_t best;    // winning position
    int32_t bj;      // winner's index in comparison order (position i first)
    double bm;       // its |p|^2; 0: no pivot
};

// Candidates of column i: positions of the rows starting there, ascending in
// scratch; the winner by |p|^2, position i first, ties to the earlier one.
template <bool CPLX>
static pivotpick pivotsearch(const int32_t *rows, int32_t *scratch, int32_t i) {
    pivotpick pk{0, 0, i, 0, 0};
    for (int32_t id = bhead[i]; id >= 0; id = bnext[id]) {
        const int32_t p = posof[id];
        if (p == i) pk.ati = 1;
        else scratch[pk.nc++] = p;
    }
    sortpos(scratch, pk.nc);
    pk.bm = pk.ati ? magof<CPLX>(el[rows[i]]) : 0;
    for (int32_t j = 0; j < pk.nc; j++) {
        const double mg = magof<CPLX>(el[rows[scratch[j]]]);
        if (mg > pk.bm) {
            pk.bm = mg;
            pk.best = scratch[j];
            pk.bj = j + pk.ati;
        }
    }
    return pk;
}

// Records the comparisons, swaps the winner into position i and turns its
// first entry into -1/p; returns the pivot row's head.
template <bool CPLX>
static int32_t pivotswap(int32_t *rows, const int32_t *scratch, int32_t i, const pivotpick &pk, solvetrace *t) {
    if (pk.nc > t->nscratch) t->nscratch = pk.nc;
    colstep &c = t->cols[i];
    c.ncand = pk.nc + pk.ati;
    c.ati = pk.ati;
    c.winner = pk.bj;
    if (pk.ati) *push(t->cands, t->ncand, t->candmax) = rows[i];
    for (int32_t j = 0; j < pk.nc; j++) *push(t->cands, t->ncand, t->candmax) = rows[scratch[j]];
    const int32_t ph = rows[pk.best];
    rows[pk.best] = rows[i];
    rows[i] = ph;
    const int32_t idb = idat[pk.best];
    idat[pk.best] = idat[i];
    idat[i] = idb;
    posof[idat[pk.best]] = pk.best;
    posof[idb] = i;
    scalepivot<CPLX>(el[ph], pk.bm);
    return ph;
}

// Eliminates column i from the candidate rows, from the last recorded to the
// first, with pivot row ph; records each elimination.
template <bool CPLX>
static void eliminatecol(int32_t *rows, const int32_t *scratch, int32_t i, int32_t nc, int32_t ph, int32_t &count,
                         int32_t n, solvetrace *t) {
    int32_t cap = 0;
    for (int32_t e = el[ph].next; e; e = el[e].next) cap++;
    checkops(cap);
    colstep &c = t->cols[i];
    c.fslot = t->nelim;
    c.nelim = 0;
    for (int32_t j = nc - 1; j >= 0; j--) {
        const int32_t k = scratch[j];
        const int32_t rh = rows[k];
        if (el[rh].col != i) continue;  // former row i moved here without column i
        const cval f = factor<CPLX>(el[rh], cval{el[ph].re, el[ph].im});
        int32_t nf, nu;
        const int32_t nh = eliminate<CPLX>(rh, ph, f, count, cap, &nf, &nu);
        rows[k] = nh;
        bucketpush(el[nh].col, idat[k], n);
        *push(t->elims, t->nelim, t->elimmax) = elimstep{rh, nf, nu};
        for (int32_t q = 0; q < nf; q++) *push(t->pairs, t->npair, t->pairmax) = ops[q];
        for (int32_t q = 1; q <= nu; q++) *push(t->pairs, t->npair, t->pairmax) = ops[cap - q];
        c.nelim++;
    }
    c.top = count;
}

// Solves A x = b in place: rows[] is permuted so rows[c] heads the row whose
// first entry ends up holding x_c; scratch[] lists the candidate positions of
// the column being eliminated. Same pivot order, ties and fill-in order as the
// plain scan over all rows, so the entry array ends up the same bit for bit.
template <bool CPLX>
static int32_t solvegeneral(int32_t *rows, int32_t count, int32_t *scratch, int32_t n, solvetrace *t) {
    checkwork(n);
    tracestart(t, rows, count, n);
    for (int32_t c = 0; c < n; c++) bhead[c] = -1;
    for (int32_t k = n - 1; k >= 0; k--) {
        idat[k] = k;
        posof[k] = k;
        bucketpush(el[rows[k]].col, k, n);
    }
    for (int32_t i = 0; i < n; i++) {
        const pivotpick pk = pivotsearch<CPLX>(rows, scratch, i);
        if (pk.bm == 0) return i < numwires ? SOLVEWIRE : SOLVENODE;
        const int32_t ph = pivotswap<CPLX>(rows, scratch, i, pk, t);
        eliminatecol<CPLX>(rows, scratch, i, pk.nc, ph, count, n, t);
    }
    backsubst<CPLX>(rows, count, n, t);
    traceend(t, rows, scratch, count + 1);
    return 0;
}

// === what is known ===
// What the caller's word (buildhold) tells of this system against the one
// the trace last solved: BUILDSAME or BUILDSHAPE when that solve took the
// build right before this one, as this one comes (rows yh, all of el);
// BUILDNEW, nothing, otherwise. Known, el past count also holds what that
// solve left there: its fill-in, pivots holding x.
static int32_t knownkin(const solvetrace *t, const int32_t *rows, int32_t count, int32_t n) {
    if (!t->valid || t->build != buildcount - 1) return BUILDNEW;
    if (rows != yh || count != elcnt || n != numwires + numnodes) return BUILDNEW;
    return buildkin;
}

// 1 if the system has the traced rows and size (known for BUILDSHAPE and up)
static int32_t sameheads(const solvetrace *t, const int32_t *rows, int32_t count, int32_t n, int32_t kin) {
    if (kin != BUILDNEW) return 1;
    return t->n == n && t->count == count && !memcmp(rows, t->heads, (size_t)n * sizeof(int32_t));
}

// === replay ===
// 1 if el[0..count) has the traced structure (columns and links), checked
// unless kin says so; then its values are taken into t->in (which no longer
// matches post) unless kin says it can be built again (buildrestore) and no
// post will be taken from this solve.
static int32_t takevalues(solvetrace *t, int32_t count, int32_t kin) {
    const sparsel *ent = el, *in = t->in;
    uint64_t diff = 0;  // (link, column) pairs compared as one word each
    for (int32_t e = 0; e < count && kin == BUILDNEW; e++) {
        uint64_t a, b;
        memcpy(&a, (const char *)&ent[e] + offsetof(sparsel, next), sizeof a);
        memcpy(&b, (const char *)&in[e] + offsetof(sparsel, next), sizeof b);
        diff |= a ^ b;
    }
    if (diff) return 0;
    t->postok = 0;
    t->inok = kin == BUILDNEW || t->repeats;
    if (t->inok) memcpy(t->in, ent, (size_t)count * sizeof(sparsel));
    return 1;
}

// Columns go by level, so a pivot that fails may come after fill-in past the
// end the general solve will reach: what lies there now is kept in t->spare,
// to be put back. Returns the number of entries kept.
static int32_t keepspare(solvetrace *t, int32_t count) {
    const int32_t spare = std::min(t->final - 1, elcntmax) - count;
    if (spare <= 0) return 0;
    t->spare = (sparsel *)growto(t->spare, &t->sparemax, spare, sizeof(sparsel));
    memcpy(t->spare, el + count, (size_t)spare * sizeof(sparsel));
    return spare;
}

// the columns and links the traced solve left, where they differ from
// before: all, or (low) only those below count
static void putstructure(const solvetrace *t, int32_t low) {
    sparsel *ent = el;
    for (const linkchange *c = t->chg, *end = c + (low ? t->nchglow : t->nchg); c < end; c++) {
        ent[c->e].col = c->col;
        ent[c->e].next = c->next;
    }
}

// |p|^2 of candidate winner if the pivot comparisons of the general solve
// (the largest |p|^2, the earlier candidate on a tie; cand[0] is the row at
// the column's own position when ati) pick it again, else 0
template <bool CPLX>
static inline double pivotwins(const sparsel *ent, const int32_t *cand, int32_t ncand, int32_t ati, int32_t winner) {
    double bm = 0;
    int32_t best = -1;
    if (ati) bm = magof<CPLX>(ent[cand[0]]), best = 0;
    for (int32_t j = ati; j < ncand; j++) {
        const double mg = magof<CPLX>(ent[cand[j]]);
        if (mg > bm) bm = mg, best = j;
    }
    return best == winner ? bm : 0;
}

// The recorded columns in order: per column the pivot comparisons as the
// general solve makes them; if the traced winner wins again its first entry
// becomes -1/p, and the recorded rows are eliminated with the new
// multipliers f = r_i * (-1/p), kept in mult, fill-in and updates going to
// the recorded entries. 0 at the first column whose pivot differs. -1/p and
// f stay in registers.
template <bool CPLX>
static int32_t replaycolumns(solvetrace *t) {
    const int32_t *cand = t->cands;
    const elimstep *s = t->elims;
    const pairop *p = t->pairs;
    sparsel *ent = el;
    for (const colstep *c = t->cols, *end = c + t->n; c < end; c++) {
        if (elcntmax < c->top) {  // grows as the general solve would
            while (elcntmax < c->top) checkelcnt(elcntmax);
            ent = el;
        }
        // --- pivot: the traced winner again, -1/p ---
        const double bm = pivotwins<CPLX>(ent, cand, c->ncand, c->ati, c->winner);
        if (bm == 0) return 0;
        const cval pv = scalepivot<CPLX>(ent[cand[c->winner]], bm);
        cand += c->ncand;
        // --- rows: r -= f * pivot row, over the recorded pairs ---
        cval *f = t->mult + c->fslot;
        for (const elimstep *last = s + c->nelim; s < last; s++, f++) {
            const cval fs = factor<CPLX>(ent[s->head], pv);
            *f = fs;
            for (const pairop *stop = p + s->nfill; p < stop; p++) fillval<CPLX>(ent[p->e], valof(ent[p->q]), fs);
            for (const pairop *stop = p + s->nupd; p < stop; p++) addval<CPLX>(ent[p->e], valof(ent[p->q]), fs);
        }
    }
    return 1;
}

// === split replay ===
// In a sweep the builds vouch for the entries they moved (buildmoved); only
// the operations that read a moved entry, or what such an operation wrote,
// have new values to compute: they are dynamic, the others static. A split
// replay runs the static operations as recorded, keeps the values they
// leave where the next build or the back substitution overwrites them or
// dynamic operations go on from them (the snapshot; the rest of the
// fill-in stays as each solve leaves it), and writes the dynamic operations
// down as a program of their own, which it then runs. While the builds
// move nothing but the entries it was made for, a replay puts the snapshot
// back and runs the program alone: every static operation would give the
// same bits again. Running the static operations first changes no value,
// since they read only static entries and no operation writes an entry
// that an earlier one read, but for an update's own entry (see
// tracecolumns).

// 1 if every entry the last build moved is one the split was made for
static int32_t movedwithin(const splitprog *sp) {
    for (int32_t k = 0; k < nbuildmoved; k++)
        if (!(sp->mark[buildmoved[k]] & SPLITMOVED)) return 0;
    return 1;
}

// entry e into the snapshot (its value is taken at the end)
static inline void snapnote(splitprog *sp, int32_t e) {
    if (sp->mark[e] & SPLITSNAP) return;
    sp->mark[e] |= SPLITSNAP;
    push(sp->snap, sp->nsnap, sp->snapmax)->e = e;
}

// a program row for eliminated head in the column of pivot (whose program
// column is made here when its pivot is static); returns the row's index
static int32_t progrowadd(splitprog *sp, int32_t pivot, int32_t head, int32_t slot, int32_t fresh) {
    if (!sp->ncol || sp->cols[sp->ncol - 1].pivot != pivot)
        *push(sp->cols, sp->ncol, sp->colmax) = progcol{0, 0, 0, pivot, 0};
    sp->cols[sp->ncol - 1].nrow++;
    *push(sp->rows, sp->nrow, sp->rowmax) = progrow{head, slot, fresh, 0, 0};
    return sp->nrow - 1;
}

// Marks the moved entries, and every entry a dynamic operation writes,
// SPLITDYN; runs the static operations as replaycolumns does and writes the
// dynamic ones into the program; then takes the snapshot. 0 at a static
// pivot that differs (the program left unfinished).
template <bool CPLX>
static int32_t replaysplit(solvetrace *t) {
    splitprog *sp = &t->split;
    sp->mark = (uint8_t *)growto(sp->mark, &sp->markmax, t->final, 1);
    uint8_t *mark = sp->mark;
    memset(mark, 0, (size_t)t->final);
    for (int32_t k = 0; k < nbuildmoved; k++) mark[buildmoved[k]] = SPLITDYN | SPLITMOVED;
    sp->ncol = sp->ncand = sp->nrow = sp->npair = sp->nsnap = 0;
    const int32_t *cand = t->cands;
    const elimstep *s = t->elims;
    const pairop *p = t->pairs;
    sparsel *ent = el;
    for (const colstep *c = t->cols, *end = c + t->n; c < end; cand += c->ncand, c++) {
        if (elcntmax < c->top) {  // grows as the general solve would
            while (elcntmax < c->top) checkelcnt(elcntmax);
            ent = el;
        }
        // --- pivot: compared and scaled now if static, else by the program ---
        const int32_t pivot = cand[c->winner];
        int32_t dyn = 0;
        for (int32_t j = 0; j < c->ncand; j++) dyn |= mark[cand[j]] & SPLITDYN;
        cval pv{0, 0};
        if (dyn) {
            *push(sp->cols, sp->ncol, sp->colmax) = progcol{c->ncand, c->ati, c->winner, pivot, 0};
            for (int32_t j = 0; j < c->ncand; j++) *push(sp->cands, sp->ncand, sp->candmax) = cand[j];
            mark[pivot] |= SPLITDYN;
        } else {
            const double bm = pivotwins<CPLX>(ent, cand, c->ncand, c->ati, c->winner);
            if (bm == 0) return 0;
            pv = scalepivot<CPLX>(ent[pivot], bm);
            snapnote(sp, pivot);
            mark[pivot] |= SPLITPIVOT;
        }
        // --- rows: static factors and pairs now, dynamic ones to the program ---
        for (int32_t r = 0; r < c->nelim; r++, s++) {
            const int32_t slot = c->fslot + r, fdyn = dyn | (mark[s->head] & SPLITDYN);
            int32_t row = fdyn ? progrowadd(sp, pivot, s->head, slot, 1) : -1;
            cval f{0, 0};
            if (!fdyn) f = t->mult[slot] = factor<CPLX>(ent[s->head], pv);
            for (int32_t q = 0; q < s->nfill + s->nupd; q++, p++) {
                const int32_t upd = q >= s->nfill;
                const int32_t d = fdyn | (mark[p->q] & SPLITDYN) | (upd ? mark[p->e] & SPLITDYN : 0);
                if (!d) {
                    if (upd) addval<CPLX>(ent[p->e], valof(ent[p->q]), f);
                    else fillval<CPLX>(ent[p->e], valof(ent[p->q]), f);
                    snapnote(sp, p->e);
                    continue;
                }
                if (row < 0) row = progrowadd(sp, pivot, s->head, slot, 0);
                *push(sp->pairs, sp->npair, sp->pairmax) = *p;
                if (upd) sp->rows[row].nupd++;
                else sp->rows[row].nfill++;
                mark[p->e] |= SPLITDYN;
            }
        }
    }
    // --- the snapshot: what the build overwrites, the back substitution
    //     overwrites, or dynamic operations go on from; the rest of the
    //     fill-in stays as each solve leaves it ---
    int32_t keep = 0;
    for (int32_t k = 0; k < sp->nsnap; k++) {
        const int32_t e = sp->snap[k].e;
        if (e >= t->count && !(mark[e] & (SPLITDYN | SPLITPIVOT))) continue;
        sp->snap[keep++] = snapent{e, valof(ent[e])};
    }
    sp->nsnap = keep;
    return 1;
}

// The program: per column the pivot comparisons and -1/p for a dynamic
// pivot, else -1/p as the snapshot put it back; per row f anew or the static
// f kept in mult; the dynamic pairs. 0 at a pivot that differs.
template <bool CPLX>
static int32_t replayprogram(solvetrace *t) {
    const splitprog *sp = &t->split;
    sparsel *ent = el;
    // --- the values static operations leave, back ---
    for (int32_t k = 0; k < sp->nsnap; k++) {
        ent[sp->snap[k].e].re = sp->snap[k].v.re;
        ent[sp->snap[k].e].im = sp->snap[k].v.im;
    }
    // --- the dynamic operations ---
    const int32_t *cand = sp->cands;
    const progrow *r = sp->rows;
    const pairop *p = sp->pairs;
    for (const progcol *c = sp->cols, *end = c + sp->ncol; c < end; c++) {
        cval pv = valof(ent[c->pivot]);
        if (c->ncand) {
            const double bm = pivotwins<CPLX>(ent, cand, c->ncand, c->ati, c->winner);
            if (bm == 0) return 0;
            pv = scalepivot<CPLX>(ent[c->pivot], bm);
            cand += c->ncand;
        }
        for (const progrow *last = r + c->nrow; r < last; r++) {
            cval f = t->mult[r->slot];
            if (r->fresh) f = t->mult[r->slot] = factor<CPLX>(ent[r->head], pv);
            for (const pairop *stop = p + r->nfill; p < stop; p++) fillval<CPLX>(ent[p->e], valof(ent[p->q]), f);
            for (const pairop *stop = p + r->nupd; p < stop; p++) addval<CPLX>(ent[p->e], valof(ent[p->q]), f);
        }
    }
    return 1;
}

// 1: the system had the traced structure and every pivot fell on the traced
// row: solved. 0: not replayable; the coefficients are as they came in. A
// system the builds vouch for goes by the split program (made on the first
// such replay, or when the builds moved other entries), any other by every
// recorded column. The reduced matrix is kept for a right-hand-side-only
// solve when matrices have been coming twice (the predictor and corrector of
// a transient sub-step), not in a sweep, whose matrix changes every time.
template <bool CPLX>
static int32_t replay(int32_t *rows, int32_t count, int32_t *scratch, int32_t n, solvetrace *t, int32_t kin) {
    if (!solvereuse || !t->valid || !sameheads(t, rows, count, n, kin)) return 0;
    if (!takevalues(t, count, kin)) return 0;
    if (!t->prepared) traceprepare(t);
    const int32_t spare = kin == BUILDNEW ? keepspare(t, count) : 0;
    if (kin != BUILDNEW && !t->split.ok) t->split.ok = replaysplit<CPLX>(t);
    const int32_t ok = kin == BUILDNEW ? replaycolumns<CPLX>(t) : t->split.ok && replayprogram<CPLX>(t);
    if (!ok) {  // another pivot: undo and solve in full
        if (t->inok) memcpy(el, t->in, (size_t)count * sizeof(sparsel));
        else buildrestore();
        if (spare > 0) memcpy(el + count, t->spare, (size_t)spare * sizeof(sparsel));
        return 0;
    }
    // --- the structure the general solve leaves (past count: left there by
    //     the solve before when the builds vouch), then back substitution ---
    const int32_t last = t->final - 1;
    checkelcnt(last);
    putstructure(t, kin != BUILDNEW);
    if (t->repeats) tracepost(t, last);
    t->lastreplay = 1;
    backreplay<CPLX>(t, last, el);
    memcpy(rows, t->frows, (size_t)(n + 1) * sizeof(int32_t));
    memcpy(scratch, t->fscratch, (size_t)t->nscratch * sizeof(int32_t));
    return 1;
}

// === right-hand side only ===
// 1 if el[0..count) equals the traced entries bit for bit, right-hand-side
// values aside (they are taken into t->in: in then holds this system);
// known without a look when kin is BUILDSAME.
static int32_t samematrix(solvetrace *t, int32_t count, int32_t kin) {
    if (kin == BUILDSAME) return 1;
    if (!t->inok) return 0;
    sparsel *in = t->in;
    for (int32_t k = 0; k < t->nrhs; k++) {
        const int32_t e = t->rhsat[k];
        in[e].re = el[e].re;
        in[e].im = el[e].im;
    }
    return !memcmp(el, in, (size_t)count * sizeof(sparsel));
}

// Solves b -> x for the traced matrix: 1 if the system's matrix part is the
// traced one (then solved), 0 if not (nothing touched). The reduced matrix of
// the traced solve is put in where it differs from the system, the new
// right-hand sides carried through the recorded eliminations (same
// multipliers, same order), then the recorded back substitution with the
// pivots' -1/p from the trace.
template <bool CPLX>
static int32_t rhsonly(int32_t *rows, int32_t count, int32_t *scratch, int32_t n, solvetrace *t, int32_t kin) {
    if (!solvereuse || !t->valid || !sameheads(t, rows, count, n, kin)) return 0;
    const int32_t same = kin == BUILDSHAPE ? 0 : samematrix(t, count, kin);
    if (t->lastreplay) t->repeats = same;
    if (!same || !t->postok) return 0;
    // --- the reduced matrix: fill-in (unless the solve before left it),
    //     changed entries, changed links ---
    const int32_t last = t->final - 1;
    while (elcntmax < last) checkelcnt(elcntmax);  // grows as the general solve would
    checkelcnt(last);
    sparsel *ent = el;
    const sparsel *post = t->post;
    if (kin == BUILDNEW) memcpy(ent + count, post + count, (size_t)(last - count) * sizeof(sparsel));
    for (int32_t k = 0; k < t->npostdiff; k++) ent[t->postdiff[k]] = post[t->postdiff[k]];
    for (int32_t k = 0; k < t->npostlinks; k++) {
        const int32_t e = t->postlinks[k];
        ent[e].next = post[e].next;
        ent[e].col = post[e].col;
    }
    // --- b through the eliminations: entry += f q, or fill-in entry = f q;
    //     along a chain (q what the operation before wrote) q stays in registers ---
    for (const rhsop *r = t->rops, *end = r + t->nrop; r < end;) {
        cval q = valof(ent[r->q]);
        do {
            q = r->fill ? fillval<CPLX>(ent[r->e], q, t->mult[r->f]) : addval<CPLX>(ent[r->e], q, t->mult[r->f]);
            r++;
        } while (r < end && r->chain);
    }
    // --- back substitution; the structure the general solve leaves ---
    ent[last].next = 0;
    ent[last].col = n;
    backreplay<CPLX>(t, last, post);
    memcpy(rows, t->frows, (size_t)(n + 1) * sizeof(int32_t));
    memcpy(scratch, t->fscratch, (size_t)t->nscratch * sizeof(int32_t));
    t->lastreplay = 0;
    return 1;
}

// === solvers ===
template <bool CPLX>
static int32_t smatsolve(int32_t *rows, int32_t count, int32_t *scratch, int32_t n) {
    solvehow = SOLVEFULL;
    if (count < 2) return SOLVEEMPTY;
    if (n <= 0) {  // no unknowns: only the right-hand side's entry to place
        checkelcnt(count);
        rows[0] = count;
        el[count] = sparsel{-1, 0, 0, 0};
        return 0;
    }
    solvetrace *t = &traces[CPLX ? 1 : 0];
    const int32_t kin = knownkin(t, rows, count, n);
    if (t->split.ok && (kin == BUILDNEW || !movedwithin(&t->split))) t->split.ok = 0;
    solvehow = SOLVERHS;
    if (!rhsonly<CPLX>(rows, count, scratch, n, t, kin)) {
        solvehow = SOLVEREPLAY;
        if (!replay<CPLX>(rows, count, scratch, n, t, kin)) {
            solvehow = SOLVEFULL;
            const int32_t r = solvegeneral<CPLX>(rows, count, scratch, n, t);
            if (r) return r;
        }
    }
    t->build = buildcount;
    return 0;
}

int32_t smatsolve_real(int32_t *rows, sparsel *ent, int32_t count, int32_t *scratch, int32_t n) {
    (void)ent;  // always el: fill-in may move it
    return smatsolve<false>(rows, count, scratch, n);
}

int32_t smatsolve_comp(int32_t *rows, sparsel *ent, int32_t count, int32_t *scratch, int32_t n) {
    (void)ent;
    return smatsolve<true>(rows, count, scratch, n);
}
