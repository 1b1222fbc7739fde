// sparse.cpp: the general sparse solve, real and complex: Gaussian
// elimination with partial pivoting on the linked-list rows that initmat
// builds (pivot search, elimination on arrays of the rows with fill-in
// appended to el, the links written as eliminating on them would leave
// them, back substitution leaving x_c in each row's first entry), recording
// its trace (the real solver keeps the one of the structure before too);
// and smatsolve, which tries the replays of replay.cpp first.
// Depends on trace.h, equations.cpp (el, checkelcnt, buildcount) and circuit.h
// (numwires, yh). Limits: columns in natural order, except that a large
// system comes relabelled into fill-reducing order (order.cpp); the entry
// array must be el (fill-in grows it through checkelcnt).
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include "analysis/analysis.h"
#include "analysis/trace.h"
#include "circuit/circuit.h"

int32_t solvereuse = 1;
int32_t solvehow = SOLVEFULL;

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

// === recording the trace ===
// What a general solve did, kept in traces (trace.h) for the replays.
static solvetrace traces[2];   // [0] real, [1] complex
static solvetrace spare;       // the real trace of the structure before

// remembers the system the trace starts from: heads, entries, right-hand sides
static void tracestart(solvetrace *t, const int32_t *rows, int32_t count, int32_t n) {
    t->valid = t->postok = t->lastreplay = t->prepared = t->split.ok = 0;
    t->inok = 1;
    t->repeats = 1;
    t->ncand = t->ntails = t->tailmost = t->nelim = t->npair = t->nterm = t->nrop = t->nrhs = t->nscratch = 0;
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

// === row arrays ===
// During a general solve each row's entries are kept in an array of
// (column, entry) in column order, closed by COLEND, so that an elimination
// walks arrays instead of chasing links. The links are written once the
// rows are done (rowslink): an entry links to the one after it in the last
// form of its row that held it, a head an elimination took out of its row
// to the entry after it then (written as it goes), as eliminating on the
// links themselves leaves them. Row id's array is rowbuf[slots[id].at ..];
// a row that outgrows its room moves to the end.
struct rowent {
    int32_t col, e;
};
struct rowslot {
    int32_t at, len, cap;  // len entries, then the closing COLEND; room for cap in all
};
static rowent *rowbuf;        // [rowbufmax]
static int32_t rowtop, rowbufmax;
static rowslot *slots;        // [slotsmax] per row id
static int32_t slotsmax;
static rowent *merged;        // [mergedmax] the row an elimination makes
static int32_t mergedmax;

// room for a row of len entries at the end of rowbuf
static rowslot rowroom(int32_t len) {
    const int32_t cap = len + 1 + len / 2;
    rowbuf = (rowent *)growto(rowbuf, &rowbufmax, rowtop + cap, sizeof(rowent));
    const rowslot s{rowtop, len, cap};
    rowtop += cap;
    return s;
}

// every row of the system, from its links
static void rowsload(const int32_t *rows, int32_t n) {
    slots = (rowslot *)growto(slots, &slotsmax, n, sizeof(rowslot));
    rowtop = 0;
    for (int32_t k = 0; k < n; k++) {
        int32_t len = 0;
        for (int32_t e = rows[k]; e; e = el[e].next) len++;
        slots[k] = rowroom(len);
        rowent *r = rowbuf + slots[k].at;
        for (int32_t e = rows[k]; e; e = el[e].next) *r++ = rowent{el[e].col, e};
        *r = rowent{COLEND, 0};
    }
}

// row id becomes the nm entries of merged
static void rowstore(int32_t id, int32_t nm) {
    if (nm + 1 > slots[id].cap) slots[id] = rowroom(nm);
    slots[id].len = nm;
    rowent *r = rowbuf + slots[id].at;
    memcpy(r, merged, (size_t)nm * sizeof(rowent));
    r[nm] = rowent{COLEND, 0};
}

// every row's links as its array has them
static void rowslink(int32_t n) {
    sparsel *ent = el;
    for (int32_t id = 0; id < n; id++) {
        const rowent *r = rowbuf + slots[id].at;
        for (int32_t q = 0; q < slots[id].len; q++) ent[r[q].e].next = r[q + 1].e;
    }
}

// === elimination ===
// The pivot row's tail, gathered once per column: every row eliminated with
// it walks these arrays. COLEND closes the columns.
static int32_t *tailcol;       // [tailmax + 1] its columns
static cval *tailval;          // [tailmax] its values
static int32_t tailmax;

// gathers the tail of pivot row id, its entries recorded in t->tails;
// returns its length
static int32_t gathertail(int32_t id, solvetrace *t) {
    const rowent *r = rowbuf + slots[id].at + 1;
    const int32_t cap = slots[id].len - 1;
    if (cap + 1 > tailmax) {
        tailmax = grownsize(tailmax, cap + 1);
        tailcol = growint(tailcol, tailmax);
        tailval = (cval *)growmem(tailval, (size_t)tailmax * sizeof(cval));
    }
    t->tails = (int32_t *)growto(t->tails, &t->tailsmax, t->ntails + cap, sizeof(int32_t));
    int32_t *te = t->tails + t->ntails;
    for (int32_t k = 0; k < cap; k++) {
        te[k] = r[k].e;
        tailcol[k] = r[k].col;
        tailval[k] = valof(el[r[k].e]);
    }
    tailcol[cap] = COLEND;
    return cap;
}

// Eliminates the column of row id's head with the gathered pivot tail of
// ntail entries, by f = r * (-1/p); returns the new head (0 when nothing is
// left). Every entry of the pivot tail gives one pair, a fill or an update:
// out[k] receives the entry that tail entry k wrote. While the row has every
// column of the tail (most rows, in the nearly dense fronts of a
// fill-reducing order) the updates go in place and the head simply leaves
// its array, the row past the tail's last column untouched; at the first
// fill-in the rest merges both tails in column order into the row's new
// array, count growing by the fill-in. Either way the head that leaves is
// linked to the entry after it.
template <bool CPLX>
static int32_t eliminate(int32_t id, int32_t ntail, cval f, int32_t &count, int32_t *out) {
    rowslot &s = slots[id];
    const rowent *r = rowbuf + s.at + 1;
    el[r[-1].e].next = r->e;  // the head leaves the row
    sparsel *ent = el;
    int32_t k = 0;
    for (;;) {  // in place
        const int32_t pc = tailcol[k], rc = r->col;
        if (pc == COLEND) {
            s.at++, s.len--, s.cap--;
            return s.len ? rowbuf[s.at].e : 0;
        }
        if (pc < rc) break;  // fill-in
        if (pc == rc) {
            addval<CPLX>(ent[r->e], tailval[k], f);
            out[k++] = r->e;
        }
        r++;
    }
    merged = (rowent *)growto(merged, &mergedmax, s.len + ntail, sizeof(rowent));
    const rowent *from = rowbuf + s.at + 1;
    int32_t nm = (int32_t)(r - from);
    memcpy(merged, from, (size_t)nm * sizeof(rowent));
    rowent *m = merged;
    for (;;) {
        const int32_t pc = tailcol[k], rc = r->col;
        if (pc < rc) {  // fill-in: f * pivot entry
            if (count >= elcntmax) {
                checkelcnt(count);
                ent = el;
            }
            const int32_t e = count++;
            fillval<CPLX>(ent[e], tailval[k], f);
            ent[e].col = pc;
            out[k++] = e;
            m[nm++] = rowent{pc, e};
        } else if (pc == rc) {
            if (pc == COLEND) break;
            addval<CPLX>(ent[r->e], tailval[k], f);
            out[k++] = r->e;
            m[nm++] = *r++;
        } else {
            m[nm++] = *r++;
        }
    }
    rowstore(id, nm);
    return nm ? merged[0].e : 0;
}

// === back substitution ===
// x_i = (-1/p) * sum(a_ic * x_c) with the right-hand side as a column whose
// value is -1 (MINUSONE, entry count); rows finish from the last unknown down,
// each pivot row's entries taken from its array (the same order as its links).

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
        for (const rowent *r = rowbuf + slots[idat[i]].at + 1; r->col != COLEND; r++) {
            const int32_t e = r->e, x = rows[r->col];
            if (r->col == n) rhs = e;
            else *push(t->terms, t->nterm, t->termmax) = backterm{e, x};
            accum<CPLX>(sr, si, ent[e], valof(ent[x]));
        }
        t->brows[n - 1 - i] = backrow{h, t->nterm - first, rhs};
        scaleby<CPLX>(ent[h], ent[h], sr, si);
    }
}

// === general solve ===
struct pivotpick {
    int32_t nc;      // candidates in scratch, position i not among them
    int32_t ati;     // 1: position i is a candidate too
    int32_t best;    // winning position
    int32_t bj;      // winner's index in comparison order (position i first)
    int32_t dj;      // the diagonal row's index in comparison order, -1: none
    double bm;       // the winner's |p|^2; 0: no pivot
};

// Candidates of column i: positions of the rows starting there, ascending in
// scratch; the winner by |p|^2, position i first, ties to the earlier one;
// in an ordered system the diagonal row, the row first at place dg, when it
// is a candidate that diagwins.
template <bool CPLX>
static pivotpick pivotsearch(const int32_t *rows, int32_t *scratch, int32_t i, int32_t dg) {
    pivotpick pk{0, 0, i, 0, -1, 0};
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
    if (dg < 0) return pk;
    const int32_t dp = posof[dg];
    if (pk.ati && dp == i) pk.dj = 0;
    for (int32_t j = 0; j < pk.nc && pk.dj < 0; j++)
        if (scratch[j] == dp) pk.dj = j + pk.ati;
    if (pk.dj < 0) return pk;
    const double md = magof<CPLX>(el[rows[dp]]);
    if (diagwins(md, pk.bm)) pk.best = dp, pk.bj = pk.dj, pk.bm = md;
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
    c.diag = pk.dj;
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
// first, with pivot row ph; records the pivot row's tail and each
// elimination, its pairs written straight into the trace.
template <bool CPLX>
static void eliminatecol(int32_t *rows, const int32_t *scratch, int32_t i, int32_t nc, int32_t ph, int32_t &count,
                         int32_t n, solvetrace *t) {
    const int32_t cap = gathertail(idat[i], t), before = count;
    colstep &c = t->cols[i];
    c.fslot = t->nelim;
    c.nelim = 0;
    c.tail = t->ntails;
    c.ntail = cap;
    t->ntails += cap;
    if (cap > t->tailmost) t->tailmost = cap;
    for (int32_t j = nc - 1; j >= 0; j--) {
        const int32_t k = scratch[j];
        const int32_t rh = rows[k];
        if (el[rh].col != i) continue;  // former row i moved here without column i
        const cval f = factor<CPLX>(el[rh], cval{el[ph].re, el[ph].im});
        t->pairs = (int32_t *)growto(t->pairs, &t->pairmax, t->npair + cap, sizeof(int32_t));
        const int32_t nh = eliminate<CPLX>(idat[k], cap, f, count, t->pairs + t->npair);
        rows[k] = nh;
        bucketpush(el[nh].col, idat[k], n);
        *push(t->elims, t->nelim, t->elimmax) = elimstep{rh};
        t->npair += cap;
        c.nelim++;
    }
    c.top = count;
    c.nfill = count - before;
}

// Solves A x = b in place: rows[] is permuted so rows[c] heads the row whose
// first entry ends up holding x_c; scratch[] lists the candidate positions of
// the column being eliminated. Same pivot order, ties and fill-in order as the
// plain scan over all rows, so the entry array ends up the same bit for bit.
template <bool CPLX>
static int32_t solvegeneral(int32_t *rows, int32_t count, int32_t *scratch, int32_t n, solvetrace *t,
                            const int32_t *diag) {
    checkwork(n);
    tracestart(t, rows, count, n);
    rowsload(rows, n);
    for (int32_t c = 0; c < n; c++) bhead[c] = -1;
    for (int32_t k = n - 1; k >= 0; k--) {
        idat[k] = k;
        posof[k] = k;
        bucketpush(el[rows[k]].col, k, n);
    }
    for (int32_t i = 0; i < n; i++) {
        const pivotpick pk = pivotsearch<CPLX>(rows, scratch, i, diag ? diag[i] : -1);
        if (pk.bm == 0) {
            rowslink(n);
            return i < numwires ? SOLVEWIRE : SOLVENODE;
        }
        const int32_t ph = pivotswap<CPLX>(rows, scratch, i, pk, t);
        eliminatecol<CPLX>(rows, scratch, i, pk.nc, ph, count, n, t);
    }
    rowslink(n);
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
    // --- a kept build (B7) holds the last solve's elimination: taken only
    //     by a right-hand-side-only solve of that solve's trace ---
    int32_t kept = buildkept && rows == yh && count == elcnt;
    buildkept = 0;
    buildsolved = 0;
    if (kept && !orderkeeps(rows, count, n)) buildrestore(), kept = 0;
    const int32_t ordered = orderin(rows, count, n, kept);
    solvetrace *t = &traces[CPLX ? 1 : 0];
    const int32_t kin = knownkin(t, rows, count, n);
    // A real system of other row heads than the trace's trades it for the
    // spare: that one may be of this structure (an undo, a switch flipping
    // back), else the full solve records over it and the trace before stays.
    // No trace (the last solve failed) gives way only to a spare that fits.
    // (Heads alike, the replay's own comparison of every link decides.)
    if (!CPLX && solvereuse && kin == BUILDNEW && !kept && !(t->valid && tracedheads(t, rows, count, n)) &&
        (t->valid || tracedon(&spare, rows, count, n)))
        std::swap(*t, spare);
    if (t->split.ok && (kin == BUILDNEW || !movedwithin(&t->split))) t->split.ok = 0;
    solvehow = SOLVERHS;
    if (!rhsonly<CPLX>(rows, count, scratch, n, t, kin, kept)) {
        if (kept) buildrestore(), orderredo();
        solvehow = SOLVEREPLAY;
        if (!replay<CPLX>(rows, count, scratch, n, t, kin)) {
            solvehow = SOLVEFULL;
            const int32_t r = solvegeneral<CPLX>(rows, count, scratch, n, t, ordered ? orderdiag() : nullptr);
            if (r) return r;
        }
    }
    if (ordered) orderout(rows, n);
    t->build = buildcount;
    if (rows == yh && count == elcnt) buildsolved = buildcount;
    return 0;
}

// === several frequencies at once ===
// A batch is the complex systems of builds made one right after another in a
// hold, each from the template the traced solve's build came from (buildkin
// not BUILDNEW, el written in full), each moving only entries the split
// program was made for: the chain back to the traced build vouches that all
// have its structure. Lanes take 64 bytes an entry, so only systems of up to
// LANESMAX entries go in batches; larger ones are bound by memory, not by
// their chains.
enum { LANESMAX = 1 << 16 };
static uint32_t batchat;   // buildcount of the lane taken last

// 1 if the complex trace holds a split program a batch can run
static int32_t batchfits(const solvetrace *t) {
    return solvereuse && t->valid && t->split.ok && !t->repeats && t->final <= LANESMAX;
}

int32_t batchready(void) {
    const solvetrace *t = &traces[1];
    return batchfits(t) && t->build == buildcount && buildsolved == buildcount;
}

int32_t batchtake(int32_t lane) {
    solvetrace *t = &traces[1];
    const uint32_t before = lane == 0 ? t->build : batchat;
    batchat = 0;
    if (!batchfits(t) || before != buildcount - 1 || buildkin == BUILDNEW || buildkept || elcnt != t->count ||
        t->n != numwires + numnodes || lane < 0 || lane >= BATCHMAX || !movedwithin(&t->split))
        return 0;
    lanestake(t, lane);
    batchat = buildcount;
    return 1;
}

int32_t batchsolve(int32_t lanes) {
    solvetrace *t = &traces[1];
    const int32_t n = t->n;
    if (lanes < 1 || lanes > BATCHMAX || batchat != buildcount) return 0;
    batchat = 0;
    buildkept = 0;
    buildsolved = 0;
    const int32_t ordered = orderin(yh, elcnt, n, 0);
    if (!lanessolve(t, lanes)) return 0;
    memcpy(yh, t->frows, (size_t)(n + 1) * sizeof(int32_t));
    memcpy(pivorder, t->fscratch, (size_t)t->nscratch * sizeof(int32_t));
    if (ordered) orderout(yh, n);
    solvehow = SOLVEREPLAY;
    t->build = buildcount;
    buildsolved = buildcount;
    return 1;
}

void batchx(int32_t lane, int32_t c, double *re, double *im) { lanesget(lane, yh[c], re, im); }

void solveidle(void) {
    solvetrace *t = &traces[0];
    if (solvereuse && t->valid && !t->prepared) traceprepare(t);
}

int32_t smatsolve_real(int32_t *rows, sparsel *ent, int32_t count, int32_t *scratch, int32_t n) {
    (void)ent;  // always el: fill-in may move it
    return smatsolve<false>(rows, count, scratch, n);
}

int32_t smatsolve_comp(int32_t *rows, sparsel *ent, int32_t count, int32_t *scratch, int32_t n) {
    (void)ent;
    return smatsolve<true>(rows, count, scratch, n);
}
