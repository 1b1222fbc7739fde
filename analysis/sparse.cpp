// sparse.cpp: the sparse linear solvers, real and complex: Gaussian
// elimination with partial pivoting on the linked-list rows that initmat
// builds, fill-in appended to el, solution left in each row's first entry.
// Depends on equations.cpp (el, checkelcnt) and circuit.h (numwires).
// Limits: columns in natural order, no reordering for sparsity; the entry
// array passed in must be el, since fill-in grows it through checkelcnt.
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include "analysis/analysis.h"
#include "circuit/circuit.h"

enum { COLEND = 0x7FFFFFFF };

// Two ways to the same bits. The general solve finds the candidate rows of a
// column in per-column lists instead of scanning every row, and records what
// it did as a trace. A later solve of a system with the same structure (same
// rows, columns and links; only the coefficients differ) replays the trace:
// it repeats the pivot comparisons, and while every pivot falls on the same
// row the fill-in, links and order of operations are those recorded, so only
// the arithmetic is redone. A different pivot sends it back to the general
// solve from the untouched coefficients.

// === growable arrays ===
static int32_t *growint(int32_t *p, int32_t n) {
    int32_t *q = (int32_t *)realloc(p, (size_t)n * sizeof(int32_t));
    if (!q) abort();
    return q;
}

static int32_t grownsize(int32_t have, int32_t need) {
    int64_t m = have ? have : 512;
    while (m < need) m *= 2;
    return m > 0x7FFFFFFF ? 0x7FFFFFFF : (int32_t)m;
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
// prog holds, per column: candidate count, 1 if position i was a candidate,
// index of the winner, the candidates' head entries in comparison order, the
// highest fill-in index of the column (0 none), the number of eliminated
// rows, and per row: its head entry, fill count, update count, then
// (new entry, pivot entry) pairs and (row entry, pivot entry) pairs. Then per
// unknown from the last: pivot head, term count, (entry, value entry) pairs.
struct solvetrace {
    int32_t valid;             // 1: holds a solve that returned 0
    int32_t n, count, final;   // unknowns, entries before, entries in use after
    int32_t *heads;            // [n] row heads before
    int32_t *icol, *inext;     // [count] entry columns and links before
    int32_t *fchg;             // [3 * nchg] (entry, column, link) where the solve changed them
    int32_t nchg, chgmax;      // triples in fchg, capacity in triples
    int32_t *frows;            // [n + 1] row heads after
    int32_t *fscratch;         // [nscratch] scratch list after
    int32_t nscratch;          // scratch slots the solve wrote
    int32_t *prog;             // [progmax] the recorded operations
    int32_t progcnt, progmax;
    int32_t nmax, countmax;    // capacities of the arrays above
};
static solvetrace traces[2];   // [0] real, [1] complex

static int32_t *ops;           // [opsmax] one elimination's pairs, fills first
static int32_t opsmax;
static double *keepval;        // [keepmax] coefficients before a replay, re/im pairs
static int32_t keepmax;

static inline void emit(solvetrace *t, int32_t v) {
    if (t->progcnt >= t->progmax) {
        t->progmax = grownsize(t->progmax, t->progcnt + 1);
        t->prog = growint(t->prog, t->progmax);
    }
    t->prog[t->progcnt++] = v;
}

static void checkops(int32_t need) {
    if (need <= opsmax) return;
    opsmax = grownsize(opsmax, need);
    ops = growint(ops, opsmax);
}

// remembers the structure the trace will start from
static void tracestart(solvetrace *t, const int32_t *rows, int32_t count, int32_t n) {
    t->valid = 0;
    t->progcnt = 0;
    if (n > t->nmax) {
        t->nmax = grownsize(t->nmax, n);
        t->heads = growint(t->heads, t->nmax);
        t->frows = growint(t->frows, t->nmax + 1);
        t->fscratch = growint(t->fscratch, t->nmax);
    }
    if (count > t->countmax) {
        t->countmax = grownsize(t->countmax, count);
        t->icol = growint(t->icol, t->countmax);
        t->inext = growint(t->inext, t->countmax);
    }
    t->n = n;
    t->count = count;
    t->nscratch = 0;
    memcpy(t->heads, rows, (size_t)n * sizeof(int32_t));
    for (int32_t e = 0; e < count; e++) {
        t->icol[e] = el[e].col;
        t->inext[e] = el[e].next;
    }
}

// remembers the structure a successful solve left
static void traceend(solvetrace *t, const int32_t *rows, const int32_t *scratch, int32_t final) {
    if (final > t->chgmax) {
        t->chgmax = grownsize(t->chgmax, final);
        t->fchg = growint(t->fchg, 3 * t->chgmax);
    }
    t->final = final;
    int32_t k = 0;
    for (int32_t e = 1; e < final; e++) {
        if (e < t->count && el[e].col == t->icol[e] && el[e].next == t->inext[e]) continue;
        t->fchg[k++] = e;
        t->fchg[k++] = el[e].col;
        t->fchg[k++] = el[e].next;
    }
    t->nchg = k / 3;
    memcpy(t->frows, rows, (size_t)(t->n + 1) * sizeof(int32_t));
    memcpy(t->fscratch, scratch, (size_t)t->nscratch * sizeof(int32_t));
    t->valid = 1;
}

// === arithmetic of the two solvers ===
// One template body; CPLX selects complex products and |p|^2 = re^2 + im^2.
template <bool CPLX> static inline double magof(const sparsel &e) {
    return CPLX ? e.re * e.re + e.im * e.im : e.re * e.re;
}

// pivot entry p becomes -1/p, from d = 1/|p|^2 (or 1)
template <bool CPLX> static inline void scalepivot(sparsel &p, double bm) {
    double d = bm;
    if (d != 1) d = 1 / d;
    p.re = -d * p.re;
    if (CPLX) p.im = d * p.im;
}

// f = r * (-1/p)
template <bool CPLX> static inline void factor(const sparsel &r, const sparsel &p, double &fr, double &fi) {
    if (CPLX) {
        fr = r.re * p.re - r.im * p.im;
        fi = r.re * p.im + r.im * p.re;
    } else {
        fr = r.re * p.re;
        fi = 0;
    }
}

// new entry e = f * pivot entry q (its column and link are set by the caller)
template <bool CPLX> static inline void fillval(sparsel &e, const sparsel &q, double fr, double fi) {
    if (CPLX) {
        e.re = fr * q.re - fi * q.im;
        e.im = fr * q.im + fi * q.re;
    } else {
        e.re = fr * q.re;
        e.im = 0;
    }
}

// row entry e += f * pivot entry q
template <bool CPLX> static inline void addval(sparsel &e, const sparsel &q, double fr, double fi) {
    if (CPLX) {
        const double tr = fr * q.re - fi * q.im, ti = fr * q.im + fi * q.re;
        e.re += tr;
        e.im += ti;
    } else {
        e.re += fr * q.re;
    }
}

// === elimination ===
// Eliminates the column of row head rh with the pivot row ph, whose first
// entry already holds -1/p. Merges both tails in column order; returns the new
// head (0 when nothing was linked). count grows by the fill-in; *nfill and
// *nupd receive the pairs recorded in ops (fills first, from ops[0]; updates
// from ops[cap] down, cap = 2 * pivot tail length).
template <bool CPLX>
static int32_t eliminate(int32_t rh, int32_t ph, int32_t &count, int32_t cap, int32_t *nfill, int32_t *nupd) {
    sparsel *ent = el;
    double fr, fi;
    factor<CPLX>(ent[rh], ent[ph], fr, fi);
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
            fillval<CPLX>(ent[e], ent[pe], fr, fi);
            ent[e].col = pc;
            ops[2 * nf] = e;
            ops[2 * nf + 1] = pe;
            nf++;
            pe = ent[pe].next;
        } else if (pc == rc) {
            if (pc == COLEND) break;
            addval<CPLX>(ent[re], ent[pe], fr, fi);
            nu++;
            ops[cap - 2 * nu] = re;
            ops[cap - 2 * nu + 1] = pe;
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
template <bool CPLX>
static void backsubst(int32_t *rows, int32_t count, int32_t n, solvetrace *t) {
    checkelcnt(count);
    sparsel *ent = el;
    rows[n] = count;
    ent[count].re = -1;
    ent[count].im = 0;
    ent[count].next = 0;
    ent[count].col = n;
    for (int32_t i = n - 1; i >= 0; i--) {
        const int32_t h = rows[i];
        emit(t, h);
        const int32_t at = t->progcnt;
        emit(t, 0);
        double sr = 0, si = 0;
        for (int32_t e = ent[h].next; e; e = ent[e].next) {
            const int32_t x = rows[ent[e].col];
            emit(t, e);
            emit(t, x);
            if (CPLX) {
                const double tr = ent[e].re * ent[x].re - ent[e].im * ent[x].im;
                const double ti = ent[e].re * ent[x].im + ent[e].im * ent[x].re;
                sr += tr;
                si += ti;
            } else {
                sr += ent[e].re * ent[x].re;
            }
        }
        t->prog[at] = (t->progcnt - at - 1) / 2;
        if (CPLX) {
            const double pr = ent[h].re, pi = ent[h].im;
            ent[h].re = pr * sr - pi * si;
            ent[h].im = pr * si + pi * sr;
        } else {
            ent[h].re *= sr;
        }
    }
}

// === general solve ===
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
        sparsel *ent = el;
        // --- pivot search: rows starting in column i, positions ascending ---
        int32_t nc = 0, ati = 0;
        for (int32_t id = bhead[i]; id >= 0; id = bnext[id]) {
            const int32_t p = posof[id];
            if (p == i) ati = 1;
            else scratch[nc++] = p;
        }
        sortpos(scratch, nc);
        int32_t best = i, bj = 0;
        double bm = ati ? magof<CPLX>(ent[rows[i]]) : 0;
        for (int32_t j = 0; j < nc; j++) {
            const double mg = magof<CPLX>(ent[rows[scratch[j]]]);
            if (mg > bm) {
                bm = mg;
                best = scratch[j];
                bj = j + ati;
            }
        }
        if (bm == 0) return i < numwires ? 16384 : 1;
        if (nc > t->nscratch) t->nscratch = nc;
        emit(t, nc + ati);
        emit(t, ati);
        emit(t, bj);
        if (ati) emit(t, rows[i]);
        for (int32_t j = 0; j < nc; j++) emit(t, rows[scratch[j]]);
        // --- pivot: swap into position i, first entry becomes -1/p ---
        const int32_t ph = rows[best];
        rows[best] = rows[i];
        rows[i] = ph;
        const int32_t idb = idat[best];
        idat[best] = idat[i];
        idat[i] = idb;
        posof[idat[best]] = best;
        posof[idb] = i;
        scalepivot<CPLX>(ent[ph], bm);
        // --- elimination: candidates from the last recorded to the first ---
        int32_t cap = 0;
        for (int32_t e = ent[ph].next; e; e = ent[e].next) cap += 2;
        checkops(cap);
        const int32_t hdr = t->progcnt;
        emit(t, 0);
        emit(t, 0);
        int32_t nelim = 0;
        for (int32_t j = nc - 1; j >= 0; j--) {
            const int32_t k = scratch[j];
            const int32_t rh = rows[k];
            if (el[rh].col != i) continue;  // former row i moved here without column i
            int32_t nf, nu;
            const int32_t nh = eliminate<CPLX>(rh, ph, count, cap, &nf, &nu);
            rows[k] = nh;
            bucketpush(el[nh].col, idat[k], n);
            emit(t, rh);
            emit(t, nf);
            emit(t, nu);
            for (int32_t q = 0; q < 2 * nf; q++) emit(t, ops[q]);
            for (int32_t q = 2; q <= 2 * nu; q += 2) emit(t, ops[cap - q]), emit(t, ops[cap - q + 1]);
            nelim++;
        }
        t->prog[hdr] = count;  // highest fill-in index + 1 of this column
        t->prog[hdr + 1] = nelim;
    }
    backsubst<CPLX>(rows, count, n, t);
    traceend(t, rows, scratch, count + 1);
    return 0;
}

// === replay ===
// 1: the system had the traced structure and every pivot fell on the traced
// row: solved. 0: not replayable; the coefficients are as they came in.
template <bool CPLX>
static int32_t replay(int32_t *rows, int32_t count, int32_t *scratch, int32_t n, solvetrace *t) {
    if (!t->valid || t->n != n || t->count != count) return 0;
    if (memcmp(rows, t->heads, (size_t)n * sizeof(int32_t))) return 0;
    if (2 * count > keepmax) {
        keepmax = grownsize(keepmax, 2 * count);
        keepval = (double *)realloc(keepval, (size_t)keepmax * sizeof(double));
        if (!keepval) abort();
    }
    for (int32_t e = 0; e < count; e++) {  // same structure? keep the coefficients meanwhile
        if (el[e].col != t->icol[e] || el[e].next != t->inext[e]) return 0;
        keepval[2 * e] = el[e].re;
        keepval[2 * e + 1] = el[e].im;
    }
    const int32_t *p = t->prog;
    for (int32_t i = 0; i < n; i++) {
        sparsel *ent = el;
        // --- the pivot comparisons, as the general solve makes them ---
        const int32_t nc = p[0], ati = p[1], bj = p[2];
        const int32_t *cand = p + 3;
        p += 3 + nc;
        const int32_t ph = cand[bj];
        const double pm = magof<CPLX>(ent[ph]);  // the winner's |p|^2, if the comparisons agree
        double d = pm;
        if (d != 1) d = 1 / d;
        double bm = 0;
        int32_t best = -1;
        if (ati) bm = magof<CPLX>(ent[cand[0]]), best = 0;
        for (int32_t j = ati; j < nc; j++) {
            const double mg = magof<CPLX>(ent[cand[j]]);
            if (mg > bm) bm = mg, best = j;
        }
        if (bm == 0 || best != bj) {  // another pivot: undo and solve in full
            for (int32_t e = 0; e < count; e++) el[e].re = keepval[2 * e], el[e].im = keepval[2 * e + 1];
            return 0;
        }
        ent[ph].re = -d * ent[ph].re;  // -1/p as scalepivot makes it
        if (CPLX) ent[ph].im = d * ent[ph].im;
        // --- the recorded eliminations ---
        const int32_t top = p[0], nelim = p[1];
        p += 2;
        while (elcntmax < top) checkelcnt(elcntmax);  // grows as the general solve would
        ent = el;
        const sparsel &pv = ent[ph];
        for (int32_t r = 0; r < nelim; r++) {
            const int32_t nf = p[1], nu = p[2];
            double fr, fi;
            factor<CPLX>(ent[p[0]], pv, fr, fi);
            p += 3;
            for (int32_t q = 0; q < nf; q++, p += 2) fillval<CPLX>(ent[p[0]], ent[p[1]], fr, fi);
            for (int32_t q = 0; q < nu; q++, p += 2) addval<CPLX>(ent[p[0]], ent[p[1]], fr, fi);
        }
    }
    // --- back substitution ---
    const int32_t last = t->final - 1;
    checkelcnt(last);
    sparsel *ent = el;
    ent[last].re = -1;
    ent[last].im = 0;
    for (int32_t i = n - 1; i >= 0; i--) {
        const int32_t h = p[0], nt = p[1];
        p += 2;
        double sr = 0, si = 0;
        for (int32_t q = 0; q < nt; q++, p += 2) {
            const sparsel &a = ent[p[0]], &x = ent[p[1]];
            if (CPLX) {
                const double tr = a.re * x.re - a.im * x.im, ti = a.re * x.im + a.im * x.re;
                sr += tr;
                si += ti;
            } else {
                sr += a.re * x.re;
            }
        }
        if (CPLX) {
            const double pr = ent[h].re, pi = ent[h].im;
            ent[h].re = pr * sr - pi * si;
            ent[h].im = pr * si + pi * sr;
        } else {
            ent[h].re *= sr;
        }
    }
    // --- the structure the general solve leaves ---
    for (int32_t k = 0; k < 3 * t->nchg; k += 3) ent[t->fchg[k]].col = t->fchg[k + 1], ent[t->fchg[k]].next = t->fchg[k + 2];
    memcpy(rows, t->frows, (size_t)(n + 1) * sizeof(int32_t));
    memcpy(scratch, t->fscratch, (size_t)t->nscratch * sizeof(int32_t));
    return 1;
}

// === solvers ===
template <bool CPLX>
static int32_t smatsolve(int32_t *rows, int32_t count, int32_t *scratch, int32_t n) {
    if (count < 2) return 2;
    if (n <= 0) {  // no unknowns: only the right-hand side's entry to place
        checkelcnt(count);
        rows[0] = count;
        el[count] = sparsel{-1, 0, 0, 0};
        return 0;
    }
    solvetrace *t = &traces[CPLX ? 1 : 0];
    if (replay<CPLX>(rows, count, scratch, n, t)) return 0;
    return solvegeneral<CPLX>(rows, count, scratch, n, t);
}

int32_t smatsolve_real(int32_t *rows, sparsel *ent, int32_t count, int32_t *scratch, int32_t n) {
    (void)ent;  // always el: fill-in may move it
    return smatsolve<false>(rows, count, scratch, n);
}

int32_t smatsolve_comp(int32_t *rows, sparsel *ent, int32_t count, int32_t *scratch, int32_t n) {
    (void)ent;
    return smatsolve<true>(rows, count, scratch, n);
}
