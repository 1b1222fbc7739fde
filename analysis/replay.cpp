// replay.cpp: the solves that reuse a trace (trace.h): the replay of every
// recorded column, the split replay that redoes only what the builds moved,
// the right-hand-side-only solve, the split replay of several systems at
// once, and the trace preparation they need first.
// Depends on trace.h and equations.cpp (el, checkelcnt, buildmoved,
// buildrestore). Limits: each declines (0) where its rule (S3-S6 in
// analysis.h) does not hold; sparse.cpp's general solve then takes the system.
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>
#include "analysis/analysis.h"
#include "analysis/trace.h"

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

// The right-hand-side operations in the order the columns go (by levels
// after tracecolumns, else as recorded): a pivot row's entry in column n is
// its last, so per elimination the pair of the tail's last entry, if that
// lies in column n (columns as the solve left them: from t->in, and from chg
// for the entries it changed or made). The columns' order keeps every value an
// operation reads, and columns that do not wait on each other come together,
// so that their operations overlap.
static void tracerops(solvetrace *t, int32_t n) {
    int32_t *colof = entlvl;
    for (int32_t e = 0; e < t->count; e++) colof[e] = t->in[e].col;
    for (int32_t k = 0; k < t->nchg; k++) colof[t->chg[k].e] = t->chg[k].col;
    t->nrop = 0;
    const int32_t *p = t->pairs;
    for (const colstep *c = t->cols, *end = c + n; c < end; c++) {
        const int32_t q = c->ntail ? t->tails[c->tail + c->ntail - 1] : 0;
        for (int32_t r = 0; r < c->nelim; r++, p += c->ntail) {
            if (!c->ntail || colof[q] != n) continue;
            const int32_t e = p[c->ntail - 1];
            *push(t->rops, t->nrop, t->ropmax) = rhsop{e, q, c->fslot + r, (int8_t)isfill(*c, e), 0};
        }
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
static int32_t columnlevel(const colstep &c, const int32_t *cand, const int32_t *tail, const int32_t *p,
                           int32_t *npair) {
    int32_t l = 0;
    const int32_t np = c.nelim * c.ntail;
    for (int32_t j = 0; j < c.ncand; j++) l = std::max(l, entlvl[cand[j]]);
    for (int32_t k = 0; k < c.ntail; k++) l = std::max(l, entlvl[tail[k]]);
    for (int32_t q = 0; q < np; q++) l = std::max(l, entlvl[p[q]]);
    entlvl[cand[c.winner]] = ++l;
    for (int32_t q = 0; q < np; q++) entlvl[p[q]] = l;
    *npair = np;
    return l;
}

// Reorders the recorded columns by levels as well. No column writes an entry
// that an earlier one read (a pivot row is done, an eliminated head has left
// its row), so every operation sees the values it saw before; columns that
// do not wait on each other now come together.
static void tracecolumns(solvetrace *t, int32_t n) {
    memset(entlvl, 0, (size_t)t->final * sizeof(int32_t));
    const int32_t *cand = t->cands, *p = t->pairs;
    for (int32_t i = 0; i < n; i++) {
        const colstep &c = t->cols[i];
        lvl[i] = columnlevel(c, cand, t->tails + c.tail, p, &grpcnt[i]);
        cand += c.ncand;
        p += grpcnt[i];
    }
    levelorder(n);
    regroup(t->pairs, sizeof(int32_t), grpcnt, n);
    for (int32_t i = 0; i < n; i++) grpcnt[i] = t->cols[i].ncand;
    regroup(t->cands, sizeof(int32_t), grpcnt, n);
    for (int32_t i = 0; i < n; i++) grpcnt[i] = t->cols[i].ntail;
    regroup(t->tails, sizeof(int32_t), grpcnt, n);
    for (int32_t i = 0; i < n; i++) grpcnt[i] = t->cols[i].nelim;
    regroup(t->elims, sizeof(elimstep), grpcnt, n);
    regroup(t->cols, sizeof(colstep), nullptr, n);
    for (int32_t i = 0, at = 0; i < n; at += t->cols[i++].ntail) t->cols[i].tail = at;
}

// Everything a replay needs beyond the trace itself, once per trace. The
// columns go by levels in traces of up to LEVELPAIRSMAX pairs only: a larger
// one (a mesh of a thousand nodes and more) is replayed at the pace of
// memory, not of its chains, and reordering it (a pass over every pair and a
// copy of them all) cost more than a replay: the first value edit after an
// edit of the structure of a 100 x 100 mesh took 39 ms instead of 18.5.
enum { LEVELPAIRSMAX = 1 << 16 };
void traceprepare(solvetrace *t) {
    checklevels(t->n, t->final);
    t->mult = (cval *)growto(t->mult, &t->multmax, t->nelim, sizeof(cval));
    tracelevels(t, t->n);
    if (t->npair <= LEVELPAIRSMAX) tracecolumns(t, t->n);
    tracerops(t, t->n);
    t->prepared = 1;
}

// the values of column c's pivot row tail, gathered once for its rows
static tailval *tailvals;  // [tailvalmax]
static int32_t tailvalmax;

static inline const tailval *gathertail(const solvetrace *t, int32_t tail, int32_t ntail, const sparsel *ent) {
    const int32_t *te = t->tails + tail;
    for (int32_t k = 0; k < ntail; k++) tailvals[k] = tailof(ent[te[k]]);
    return tailvals;
}

// The right-hand-side column of a real right-hand-side-only solve on slots:
// each entry the operations or the back substitution touch gets one, those
// below count (the system's own values, gathered first) before the fill-in
// (entlvl: scratch, entry -> slot).
static int32_t slotof(solvetrace *t, int32_t e) {
    if (!entlvl[e]) {
        t->slotent = (int32_t *)growto(t->slotent, &t->slotentmax, t->nslot + 1, sizeof(int32_t));
        t->slotent[t->nslot] = e;
        entlvl[e] = t->nslot++;
    }
    return entlvl[e];
}

static void traceslots(solvetrace *t) {
    memset(entlvl, 0, (size_t)t->final * sizeof(int32_t));
    t->slotent = (int32_t *)growto(t->slotent, &t->slotentmax, 1, sizeof(int32_t));
    t->slotent[0] = 0;
    t->nslot = 1;
    for (int32_t k = 0; k < t->nrhs; k++) slotof(t, t->rhsat[k]);
    t->nslotin = t->nslot;
    t->rslots = (rhsslot *)growto(t->rslots, &t->rslotmax, t->nrop, sizeof(rhsslot));
    for (int32_t k = 0; k < t->nrop; k++) {
        const rhsop &r = t->rops[k];
        const int32_t q = slotof(t, r.q), e = slotof(t, r.e);
        t->rslots[k] = rhsslot{e, q, t->mult[r.f].re};
    }
    t->brhs = (int32_t *)growto(t->brhs, &t->brhsmax, t->n, sizeof(int32_t));
    for (int32_t j = 0; j < t->n; j++) t->brhs[j] = t->brows[j].rhs ? slotof(t, t->brows[j].rhs) : 0;
    t->slotval = (double *)growto(t->slotval, &t->slotvalmax, t->nslot, sizeof(double));
}

// What a real right-hand-side-only solve reads, in arrays walked in order:
// each right-hand-side operation's multiplier; per back row its -1/p, and
// per term the coefficient (from post, which the reduced matrix equals then)
// and the place of the row whose unknown it takes (entlvl: scratch).
static void tracedense(solvetrace *t) {
    t->termval = (double *)growto(t->termval, &t->termvalmax, t->nterm, sizeof(double));
    t->termrow = (int32_t *)growto(t->termrow, &t->termrowmax, t->nterm, sizeof(int32_t));
    t->xs = (double *)growto(t->xs, &t->xsmax, t->n, sizeof(double));
    t->pivval = (double *)growto(t->pivval, &t->pivvalmax, t->n, sizeof(double));
    traceslots(t);
    int32_t *rowat = entlvl;
    for (int32_t j = 0; j < t->n; j++) {
        rowat[t->brows[j].head] = j;
        t->pivval[j] = t->post[t->brows[j].head].re;
    }
    for (int32_t q = 0; q < t->nterm; q++) {
        t->termval[q] = t->post[t->terms[q].a].re;
        t->termrow[q] = rowat[t->terms[q].x];
    }
}

// The entries after elimination, last of them, before back substitution;
// and where those below t->count differ from the system t->in holds: what a
// right-hand-side-only solve must put back over a system just built, which
// computes the pivots' and right-hand sides' values anew (entlvl: scratch); for a
// real solve also the dense copies its right-hand-side-only solves read.
static void tracepost(solvetrace *t, int32_t last, int32_t real) {
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
    if (real) tracedense(t);  // only a real solve reads the dense copies
    t->postok = 1;
}

// === what the replays share ===
// 1 if the system has the traced rows and size (known for BUILDSHAPE and up)
static int32_t sameheads(const solvetrace *t, const int32_t *rows, int32_t count, int32_t n, int32_t kin) {
    return kin != BUILDNEW || tracedheads(t, rows, count, n);
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

// A real right-hand-side-only solve on tracedense's arrays: b gathered into
// its slots, carried through the eliminations (entry += f q; a fill-in slot,
// one past the system's own, starts as -0, so that its first sum is f q
// itself), and back into el; then the back substitution, its terms and
// the right-hand sides read from the arrays (a row without one adds
// 0 * -1 = -0, which leaves its sum as it is). The same products summed in
// the same order as backreplay<false> and rhsonly's, so the same bits; the
// unknowns also kept in t->xs for the rows after.
static void rhsdense(solvetrace *t, int32_t last) {
    sparsel *ent = el;
    double *v = t->slotval;
    const int32_t *se = t->slotent;
    v[0] = 0;
    for (int32_t s = 1; s < t->nslotin; s++) v[s] = ent[se[s]].re;
    for (int32_t s = t->nslotin; s < t->nslot; s++) v[s] = -0.0;
    for (const rhsslot *r = t->rslots, *end = r + t->nrop; r < end; r++) v[r->e] += r->f * v[r->q];
    for (int32_t s = 1; s < t->nslot; s++) ent[se[s]].re = v[s];
    ent[last].re = MINUSONE.re;
    ent[last].im = MINUSONE.im;
    const double *tv = t->termval, *pv = t->pivval;
    const int32_t *tr = t->termrow;
    double *xs = t->xs;
    for (int32_t j = 0; j < t->n; j++) {
        const backrow &b = t->brows[j];
        double sr = 0;
        for (int32_t q = 0; q < b.nterm; q++) sr += tv[q] * xs[tr[q]];
        tv += b.nterm, tr += b.nterm;
        sr += v[t->brhs[j]] * MINUSONE.re;
        xs[j] = ent[b.head].re = pv[j] * sr;
    }
}

// === replay ===
// 1 if el[0..count) has the traced structure (columns and links), checked
// unless kin says so; then its values are taken into t->in (which no longer
// matches post) unless kin says it can be built again (buildrestore) and no
// post will be taken from this solve.
static int32_t takevalues(solvetrace *t, int32_t count, int32_t kin) {
    const sparsel *ent = el;
    if (kin == BUILDNEW && !samelinks(ent, t->in, count)) return 0;
    t->postok = 0;
    t->inok = kin == BUILDNEW || t->repeats;
    if (t->inok) memcpy(t->in, ent, (size_t)count * sizeof(sparsel));
    return 1;
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
// the column's own position when ati; the diagonal row cand[diag] when it
// diagwins) pick it again, else 0; v: el, or the packed values
template <bool CPLX, class V>
static inline double pivotwins(const V *v, const int32_t *cand, int32_t ncand, int32_t ati, int32_t winner,
                               int32_t diag) {
    auto mag = [](const V &x) {
        if constexpr (std::is_same<V, sparsel>::value) return magof<CPLX>(x);
        else return magv(x);
    };
    double bm = 0;
    int32_t best = -1;
    if (ati) bm = mag(v[cand[0]]), best = 0;
    for (int32_t j = ati; j < ncand; j++) {
        const double mg = mag(v[cand[j]]);
        if (mg > bm) bm = mg, best = j;
    }
    if (diag >= 0) {
        const double md = mag(v[cand[diag]]);
        if (diagwins(md, bm)) bm = md, best = diag;
    }
    return best == winner ? bm : 0;
}

// A replay of every column reads and writes its values in one dense array
// (el's 24-byte entries carry links the replay never reads: packed, the
// pairs' scattered updates touch a third of the memory in the real solver)
template <bool CPLX> struct packedvals {
    valtype<CPLX> *v;      // [vmax] entry -> value, entries below final - 1
    tailtype<CPLX> *tail;  // [tailmax] the pivot row's tail, gathered
    int32_t vmax, tailmax;
};
template <bool CPLX> static packedvals<CPLX> packed;

// The recorded columns in order on packed values: per column the pivot
// comparisons as the general solve makes them; if the traced winner wins
// again its first entry becomes -1/p, and the recorded rows are eliminated
// with the new multipliers f = r_i * (-1/p), kept in mult, fill-in and
// updates going to the recorded entries, the pivot row's tail read from its
// gathered values. The fill-in starts as -0 (startv), so that every pair
// is one update. At the end the values go into el, with its fill-in grown as
// the general solve would grow it; 0 at the first column whose pivot
// differs, el untouched.
template <bool CPLX>
static int32_t replaycolumns(solvetrace *t) {
    typedef valtype<CPLX> V;
    packedvals<CPLX> &pk = packed<CPLX>;
    const int32_t count = t->count, last = t->final - 1;
    pk.v = (V *)growto(pk.v, &pk.vmax, last, sizeof(V));
    pk.tail = (tailtype<CPLX> *)growto(pk.tail, &pk.tailmax, t->tailmost, sizeof(tailtype<CPLX>));
    V *v = pk.v;
    for (int32_t e = 0; e < count; e++) v[e] = loadv(el[e], V{});
    for (int32_t e = count; e < last; e++) startv(v[e]);
    const int32_t *cand = t->cands, *p = t->pairs;
    const elimstep *s = t->elims;
    for (const colstep *c = t->cols, *end = c + t->n; c < end; c++) {
        // --- pivot: the traced winner again, -1/p ---
        const double bm = pivotwins<CPLX>(v, cand, c->ncand, c->ati, c->winner, c->diag);
        if (bm == 0) return 0;
        V &pe = v[cand[c->winner]];
        const V pv = pe = recipv(pe, bm);
        cand += c->ncand;
        // --- rows: r -= f * pivot row, over the recorded pairs ---
        tailtype<CPLX> *tv = pk.tail;
        for (int32_t k = 0; k < c->ntail; k++) tv[k] = tailv(v[t->tails[c->tail + k]]);
        cval *f = t->mult + c->fslot;
        for (const elimstep *sl = s + c->nelim; s < sl; s++, f++) {
            const V fs = factorv(v[s->head], pv);
            *f = multv(fs);
            for (int32_t k = 0; k < c->ntail; k++) addv(v[p[k]], tv[k], fs);
            p += c->ntail;
        }
    }
    while (elcntmax < last) checkelcnt(elcntmax);
    sparsel *ent = el;
    for (int32_t e = 0; e < count; e++) storev(ent[e], v[e]);
    for (int32_t e = count; e < last; e++) {  // fill-in: im 0 in the real solver, as fillval leaves it
        storev(ent[e], v[e]);
        if (!CPLX) ent[e].im = 0;
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
int32_t movedwithin(const splitprog *sp) {
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
static int32_t progrowadd(splitprog *sp, int32_t pivot, int32_t head, int32_t slot, int32_t fresh, int32_t at) {
    if (!sp->ncol || sp->cols[sp->ncol - 1].pivot != pivot)
        *push(sp->cols, sp->ncol, sp->colmax) = progcol{0, 0, 0, -1, pivot, 0, 0, 0};
    sp->cols[sp->ncol - 1].nrow++;
    *push(sp->rows, sp->nrow, sp->rowmax) = progrow{head, slot, fresh, at, 0};
    return sp->nrow - 1;
}

// The rows column c eliminates with pivot entry pivot (its -1/p in pv when
// the pivot is static, dyn 0): static factors and pairs now, dynamic ones
// to the program; s and p move past the column's records. A row whose
// factor is dynamic has every pair dynamic: the program reads them from the
// trace, with the tail gathered; another keeps its dynamic pairs itself.
template <bool CPLX>
static void splitrows(solvetrace *t, const colstep *c, int32_t dyn, int32_t pivot, cval pv, const elimstep *&s,
                      const int32_t *&p) {
    splitprog *sp = &t->split;
    uint8_t *mark = sp->mark;
    sparsel *ent = el;
    const int32_t *te = t->tails + c->tail;
    for (int32_t r = 0; r < c->nelim; r++, s++, p += c->ntail) {
        const int32_t slot = c->fslot + r;
        if (dyn | (mark[s->head] & SPLITDYN)) {
            progrowadd(sp, pivot, s->head, slot, 1, (int32_t)(p - t->pairs));
            sp->cols[sp->ncol - 1].tail = c->tail;
            sp->cols[sp->ncol - 1].ntail = c->ntail;
            for (int32_t k = 0; k < c->ntail; k++) {
                mark[p[k]] |= SPLITDYN;
                if (isfill(*c, p[k])) *push(sp->fills, sp->nfills, sp->fillsmax) = p[k];
            }
            continue;
        }
        int32_t row = -1;
        const cval f = t->mult[slot] = factor<CPLX>(ent[s->head], pv);
        for (int32_t k = 0; k < c->ntail; k++) {
            const int32_t e = p[k], q = te[k], fill = isfill(*c, e);
            if (!((mark[q] & SPLITDYN) | (fill ? 0 : mark[e] & SPLITDYN))) {
                if (fill) fillval<CPLX>(ent[e], valof(ent[q]), f);
                else addval<CPLX>(ent[e], valof(ent[q]), f);
                snapnote(sp, e);
                continue;
            }
            if (row < 0) row = progrowadd(sp, pivot, s->head, slot, 0, -1);
            *push(sp->pairs, sp->npair, sp->pairmax) = pairop{e, q};
            sp->rows[row].npair++;
            if (fill) *push(sp->fills, sp->nfills, sp->fillsmax) = e;
            mark[e] |= SPLITDYN;
        }
    }
}

// The snapshot: the values static operations left where the build
// overwrites them, the back substitution overwrites them, or dynamic
// operations go on from them; the rest of the fill-in stays as each solve
// leaves it.
static void snaptake(splitprog *sp, int32_t count) {
    const uint8_t *mark = sp->mark;
    const sparsel *ent = el;
    int32_t keep = 0;
    for (int32_t k = 0; k < sp->nsnap; k++) {
        const int32_t e = sp->snap[k].e;
        if (e >= count && !(mark[e] & (SPLITDYN | SPLITPIVOT))) continue;
        sp->snap[keep++] = snapent{e, valof(ent[e])};
    }
    sp->nsnap = keep;
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
    sp->ncol = sp->ncand = sp->nrow = sp->npair = sp->nsnap = sp->nfills = 0;
    sp->made++;
    const int32_t *cand = t->cands, *p = t->pairs;
    const elimstep *s = t->elims;
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
            *push(sp->cols, sp->ncol, sp->colmax) = progcol{c->ncand, c->ati, c->winner, c->diag, pivot, 0, 0, 0};
            for (int32_t j = 0; j < c->ncand; j++) *push(sp->cands, sp->ncand, sp->candmax) = cand[j];
            mark[pivot] |= SPLITDYN;
        } else {
            const double bm = pivotwins<CPLX>(ent, cand, c->ncand, c->ati, c->winner, c->diag);
            if (bm == 0) return 0;
            pv = scalepivot<CPLX>(ent[pivot], bm);
            snapnote(sp, pivot);
            mark[pivot] |= SPLITPIVOT;
        }
        // --- rows: static factors and pairs now, dynamic ones to the program ---
        splitrows<CPLX>(t, c, dyn, pivot, pv, s, p);
    }
    snaptake(sp, t->count);
    return 1;
}

// The program: per column the pivot comparisons and -1/p for a dynamic
// pivot, else -1/p as the snapshot put it back; per row f anew or the static
// f kept in mult; the dynamic pairs, each an update (its fill-in started as
// -0). 0 at a pivot that differs.
template <bool CPLX>
static int32_t replayprogram(solvetrace *t) {
    const splitprog *sp = &t->split;
    sparsel *ent = el;
    // --- the values static operations leave, back ---
    for (int32_t k = 0; k < sp->nsnap; k++) {
        ent[sp->snap[k].e].re = sp->snap[k].v.re;
        ent[sp->snap[k].e].im = sp->snap[k].v.im;
    }
    for (int32_t k = 0; k < sp->nfills; k++) startfill<CPLX>(ent[sp->fills[k]]);
    // --- the dynamic operations ---
    const int32_t *cand = sp->cands;
    const progrow *r = sp->rows;
    const pairop *p = sp->pairs;
    for (const progcol *c = sp->cols, *end = c + sp->ncol; c < end; c++) {
        cval pv = valof(ent[c->pivot]);
        if (c->ncand) {
            const double bm = pivotwins<CPLX>(ent, cand, c->ncand, c->ati, c->winner, c->diag);
            if (bm == 0) return 0;
            pv = scalepivot<CPLX>(ent[c->pivot], bm);
            cand += c->ncand;
        }
        const tailval *tv = gathertail(t, c->tail, c->ntail, ent);
        for (const progrow *last = r + c->nrow; r < last; r++) {
            cval f = t->mult[r->slot];
            if (r->fresh) f = t->mult[r->slot] = factor<CPLX>(ent[r->head], pv);
            if (r->at >= 0) {
                const int32_t *pe = t->pairs + r->at;
                for (int32_t k = 0; k < c->ntail; k++) addtail<CPLX>(ent[pe[k]], tv[k], f);
                continue;
            }
            for (const pairop *stop = p + r->npair; p < stop; p++) addval<CPLX>(ent[p->e], valof(ent[p->q]), f);
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
int32_t replay(int32_t *rows, int32_t count, int32_t *scratch, int32_t n, solvetrace *t, int32_t kin) {
    if (!solvereuse || !t->valid || !sameheads(t, rows, count, n, kin)) return 0;
    if (!takevalues(t, count, kin)) return 0;
    if (!t->prepared) traceprepare(t);
    if (kin == BUILDNEW) {
        if (!replaycolumns<CPLX>(t)) return 0;  // another pivot: solve in full (el as it was)
    } else {
        tailvals = (tailval *)growto(tailvals, &tailvalmax, t->tailmost, sizeof(tailval));
        if (!t->split.ok) t->split.ok = replaysplit<CPLX>(t);
        if (!t->split.ok || !replayprogram<CPLX>(t)) {  // another pivot: undo and solve in full
            if (t->inok) memcpy(el, t->in, (size_t)count * sizeof(sparsel));
            else buildrestore(), orderredo();
            return 0;
        }
    }
    // --- the structure the general solve leaves (past count: left there by
    //     the solve before when the builds vouch), then back substitution ---
    const int32_t last = t->final - 1;
    checkelcnt(last);
    putstructure(t, kin != BUILDNEW);
    if (t->repeats) tracepost(t, last, !CPLX);
    t->lastreplay = 1;
    backreplay<CPLX>(t, last, el);
    memcpy(rows, t->frows, (size_t)(n + 1) * sizeof(int32_t));
    memcpy(scratch, t->fscratch, (size_t)t->nscratch * sizeof(int32_t));
    return 1;
}

// === several systems at once ===
// The points of a held sweep are independent systems of one trace, and the
// split program of each is a chain of dependent operations (a pivot's
// division, then the multipliers that wait on it, then the next pivot that
// waits on them). Run on BATCHMAX systems side by side, a lane each, the
// chains overlap and each index read serves every lane. Lanes go in pairs,
// as vectors of two doubles; vector arithmetic is IEEE arithmetic lane by
// lane, so each lane does the operations of replayprogram and
// backreplay<true> in their order on the values they would see, and gets the
// bits its own solve would.
enum { LANEPAIRS = BATCHMAX / 2 };
typedef double lanes __attribute__((vector_size(2 * sizeof(double))));
typedef int64_t lanemask __attribute__((vector_size(2 * sizeof(int64_t))));
struct lanev {
    lanes re[LANEPAIRS], im[LANEPAIRS];
};
static_assert(BATCHMAX % 2 == 0, "lanes go in pairs");
#define EACHPAIR for (int32_t g = 0; g < LANEPAIRS; g++)

static inline lanes laneall(double x) { return lanes{x, x}; }
static inline lanev lanevall(double re, double im) {
    lanev v;
    EACHPAIR v.re[g] = laneall(re), v.im[g] = laneall(im);
    return v;
}
static inline double lanere(const lanev &v, int32_t k) { return v.re[k / 2][k % 2]; }
static inline double laneim(const lanev &v, int32_t k) { return v.im[k / 2][k % 2]; }
static inline void laneset(lanev &v, int32_t k, double re, double im) {
    v.re[k / 2][k % 2] = re;
    v.im[k / 2][k % 2] = im;
}

// The lanes' values per entry. Static entries keep theirs from batch to
// batch; those a lane may change (touched: written by the program or the
// back substitution, put back by the snapshot, started as fill-in, moved by
// the builds) start each batch again from el, the snapshot and the builds.
// Kept while the trace's solves are these batches and the program is the
// one they were made for.
static lanev *lv;          // [lvmax] per entry, its value in every lane
static lanev *ltail;       // [ltailmax] a pivot row's tail, gathered
static int32_t lvmax, ltailmax;
static int32_t *ltouch;    // [ltouchmax] the touched entries
static int32_t *lmoved;    // [lmovedmax] the entries the program was made to see moved
static lanev *lmovedv;     // [lmovedmax] their values in every lane
static int32_t nltouch, ltouchmax, nlmoved, lmovedmax;
static const solvetrace *lvtrace;  // what lv was made for: trace, program, the trace's solve
static uint32_t lvmade, lvbuild;
static uint8_t *lmark;     // [lmarkmax] scratch: touched
static int32_t lmarkmax;

static inline void touchnote(int32_t e) {
    if (lmark[e]) return;
    lmark[e] = 1;
    *push(ltouch, nltouch, ltouchmax) = e;
}

// the touched and the moved entries of t's program; every lane's values from el
static void lanesmake(const solvetrace *t, int32_t last) {
    const splitprog *sp = &t->split;
    lmark = (uint8_t *)growto(lmark, &lmarkmax, last + 1, 1);
    memset(lmark, 0, (size_t)last + 1);
    nltouch = nlmoved = 0;
    for (int32_t e = 0; e < t->count; e++)
        if (sp->mark[e] & SPLITMOVED) *push(lmoved, nlmoved, lmovedmax) = e, touchnote(e);
    lmovedv = (lanev *)growmem(lmovedv, (size_t)(lmovedmax ? lmovedmax : 1) * sizeof(lanev));
    for (int32_t j = 0; j < sp->nsnap; j++) touchnote(sp->snap[j].e);
    for (int32_t j = 0; j < sp->nfills; j++) touchnote(sp->fills[j]);
    const progrow *r = sp->rows;
    const pairop *p = sp->pairs;
    for (const progcol *c = sp->cols, *end = c + sp->ncol; c < end; c++) {
        if (c->ncand) touchnote(c->pivot);
        for (const progrow *rl = r + c->nrow; r < rl; r++) {
            for (int32_t k = 0; r->at >= 0 && k < c->ntail; k++) touchnote(t->pairs[r->at + k]);
            for (const pairop *stop = p + (r->at >= 0 ? 0 : r->npair); p < stop; p++) touchnote(p->e);
        }
    }
    for (int32_t j = 0; j < t->n; j++) touchnote(t->brows[j].head);
    touchnote(last);
    for (int32_t e = 0; e <= last; e++) lv[e] = lanevall(el[e].re, el[e].im);
    lvtrace = t, lvmade = sp->made;
}

// Takes the moved entries' values of the system el holds as lane `lane`.
void lanestake(solvetrace *t, int32_t lane) {
    const int32_t last = t->final - 1;
    if (lane == 0) {
        const int32_t had = lvmax;
        lv = (lanev *)growto(lv, &lvmax, last + 1, sizeof(lanev));
        if (lvmax != had || lvtrace != t || lvmade != t->split.made || lvbuild != t->build) lanesmake(t, last);
    }
    for (int32_t k = 0; k < nlmoved; k++) laneset(lmovedv[k], lane, el[lmoved[k]].re, el[lmoved[k]].im);
}

// The pivot comparisons of pivotwins in every lane at once; 0 if a lane's
// winner differs (or its |p|^2 is 0), else the pivot entry becomes -1/p, as
// scalepivot leaves it (d = 1/bm, or bm when bm is 1: pivotd).
static inline int32_t lanespivot(const progcol *c, const int32_t *cand) {
    lanes bm[LANEPAIRS];
    lanemask best[LANEPAIRS], bad = lanemask{0, 0};
    auto mag = [](const lanev &x, int32_t g) { return x.re[g] * x.re[g] + x.im[g] * x.im[g]; };
    EACHPAIR bm[g] = laneall(0), best[g] = lanemask{-1, -1};
    if (c->ati) EACHPAIR bm[g] = mag(lv[cand[0]], g), best[g] = lanemask{0, 0};
    for (int32_t j = c->ati; j < c->ncand; j++) {
        const lanev &x = lv[cand[j]];
        EACHPAIR {
            const lanes mg = mag(x, g);
            const lanemask gt = mg > bm[g];
            bm[g] = gt ? mg : bm[g];
            best[g] = gt ? lanemask{j, j} : best[g];
        }
    }
    if (c->diag >= 0) {
        const lanev &x = lv[cand[c->diag]];
        EACHPAIR {
            const lanes md = mag(x, g);
            const lanemask wins = md >= PIVOTTAU * PIVOTTAU * bm[g];  // diagwins
            bm[g] = wins ? md : bm[g];
            best[g] = wins ? lanemask{c->diag, c->diag} : best[g];
        }
    }
    EACHPAIR bad |= (best[g] != c->winner) | (bm[g] == 0.0);
    if (bad[0] | bad[1]) return 0;
    lanev &p = lv[c->pivot];
    EACHPAIR {
        const lanes d = bm[g] != 1.0 ? 1.0 / bm[g] : bm[g];
        p.re[g] = -d * p.re[g];
        p.im[g] = d * p.im[g];
    }
    return 1;
}

// The split program (replayprogram) on every lane: the touched entries
// from el, the snapshot, the fill-in starts and each lane's moved entries,
// then the dynamic operations. 0 at a pivot that differs in some lane.
static int32_t lanesprogram(solvetrace *t) {
    const splitprog *sp = &t->split;
    for (int32_t j = 0; j < nltouch; j++) lv[ltouch[j]] = lanevall(el[ltouch[j]].re, el[ltouch[j]].im);
    for (int32_t j = 0; j < sp->nsnap; j++) lv[sp->snap[j].e] = lanevall(sp->snap[j].v.re, sp->snap[j].v.im);
    for (int32_t j = 0; j < sp->nfills; j++) lv[sp->fills[j]] = lanevall(-0.0, -0.0);
    for (int32_t j = 0; j < nlmoved; j++) lv[lmoved[j]] = lmovedv[j];
    const int32_t *cand = sp->cands;
    const progrow *r = sp->rows;
    const pairop *p = sp->pairs;
    for (const progcol *c = sp->cols, *end = c + sp->ncol; c < end; c++) {
        if (c->ncand) {
            if (!lanespivot(c, cand)) return 0;
            cand += c->ncand;
        }
        const lanev pv = lv[c->pivot];
        ltail = (lanev *)growto(ltail, &ltailmax, c->ntail, sizeof(lanev));
        for (int32_t j = 0; j < c->ntail; j++) ltail[j] = lv[t->tails[c->tail + j]];
        for (const progrow *rl = r + c->nrow; r < rl; r++) {
            lanev f = lanevall(t->mult[r->slot].re, t->mult[r->slot].im);
            if (r->fresh) {  // factorv
                const lanev &h = lv[r->head];
                EACHPAIR {
                    f.re[g] = h.re[g] * pv.re[g] - h.im[g] * pv.im[g];
                    f.im[g] = h.re[g] * pv.im[g] + h.im[g] * pv.re[g];
                }
                // the last lane's, as its own solve leaves mult (lanes past the
                // last taken repeat it)
                t->mult[r->slot] = cval{lanere(f, BATCHMAX - 1), laneim(f, BATCHMAX - 1)};
            }
            if (r->at >= 0) {  // addtail: q gathered, i q as (-q.im, q.re)
                const int32_t *pe = t->pairs + r->at;
                for (int32_t j = 0; j < c->ntail; j++) {
                    lanev &e = lv[pe[j]];
                    const lanev &q = ltail[j];
                    EACHPAIR {
                        e.re[g] += f.re[g] * q.re[g] + f.im[g] * -q.im[g];
                        e.im[g] += f.re[g] * q.im[g] + f.im[g] * q.re[g];
                    }
                }
                continue;
            }
            for (const pairop *stop = p + r->npair; p < stop; p++) {  // addval
                lanev &e = lv[p->e];
                const lanev &q = lv[p->q];
                EACHPAIR {
                    const lanes tr = f.re[g] * q.re[g] - f.im[g] * q.im[g];
                    const lanes ti = f.re[g] * q.im[g] + f.im[g] * q.re[g];
                    e.re[g] += tr;
                    e.im[g] += ti;
                }
            }
        }
    }
    return 1;
}

// s += a * x in every lane (accum)
static inline void lanesaccum(lanev &s, const lanev &a, const lanev &x) {
    EACHPAIR {
        const lanes tr = a.re[g] * x.re[g] - a.im[g] * x.im[g], ti = a.re[g] * x.im[g] + a.im[g] * x.re[g];
        s.re[g] += tr;
        s.im[g] += ti;
    }
}

// backreplay<true> on every lane
static void lanesback(const solvetrace *t, int32_t last) {
    const lanev m1 = lanevall(MINUSONE.re, MINUSONE.im);
    lv[last] = m1;
    const backterm *tm = t->terms;
    for (const backrow *b = t->brows, *end = b + t->n; b < end; tm += b->nterm, b++) {
        lanev s = lanevall(0, 0);
        for (int32_t q = 0; q < b->nterm; q++) lanesaccum(s, lv[tm[q].a], lv[tm[q].x]);
        if (b->rhs) lanesaccum(s, lv[b->rhs], m1);
        lanev &h = lv[b->head];
        EACHPAIR {
            const lanes pr = h.re[g], pi = h.im[g];
            h.re[g] = pr * s.re[g] - pi * s.im[g];
            h.im[g] = pr * s.im[g] + pi * s.re[g];
        }
    }
}

// Solves the lanes taken (nlane of them; the rest repeat the last): 1 with
// el as the last lane's own split replay would leave it, 0 with el's values
// untouched when a pivot falls elsewhere in some lane.
int32_t lanessolve(solvetrace *t, int32_t nlane) {
    const int32_t last = t->final - 1, k = nlane - 1;
    for (int32_t j = 0; j < nlmoved; j++)
        for (int32_t x = nlane; x < BATCHMAX; x++) laneset(lmovedv[j], x, lanere(lmovedv[j], k), laneim(lmovedv[j], k));
    lvbuild = 0;
    if (!lanesprogram(t)) return 0;
    lanesback(t, last);
    checkelcnt(last);
    for (int32_t j = 0; j < nltouch; j++) {
        const int32_t e = ltouch[j];
        el[e].re = lanere(lv[e], k);
        el[e].im = laneim(lv[e], k);
    }
    putstructure(t, 1);
    t->postok = 0;
    t->inok = 0;
    t->lastreplay = 1;
    lvbuild = buildcount;
    return 1;
}

void lanesget(int32_t lane, int32_t e, double *re, double *im) {
    *re = lanere(lv[e], lane);
    *im = laneim(lv[e], lane);
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
// the traced solve is put in where it differs from the system (after a kept
// build it is there already), the new right-hand sides carried through the
// recorded eliminations (same multipliers, same order), then the recorded
// back substitution with the pivots' -1/p from the trace.
template <bool CPLX>
int32_t rhsonly(int32_t *rows, int32_t count, int32_t *scratch, int32_t n, solvetrace *t, int32_t kin,
                int32_t kept) {
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
    for (int32_t k = 0; k < t->npostdiff && !kept; k++) ent[t->postdiff[k]] = post[t->postdiff[k]];
    for (int32_t k = 0; k < t->npostlinks && !kept; k++) {
        const int32_t e = t->postlinks[k];
        ent[e].next = post[e].next;
        ent[e].col = post[e].col;
    }
    // --- b through the eliminations: entry += f q, or fill-in entry = f q;
    //     along a chain (q what the operation before wrote) q stays in registers ---
    ent[last].next = 0;
    ent[last].col = n;
    if (CPLX) {
        for (const rhsop *r = t->rops, *end = r + t->nrop; r < end;) {
            cval q = valof(ent[r->q]);
            do {
                q = r->fill ? fillval<CPLX>(ent[r->e], q, t->mult[r->f]) : addval<CPLX>(ent[r->e], q, t->mult[r->f]);
                r++;
            } while (r < end && r->chain);
        }
        // --- back substitution; the structure the general solve leaves ---
        backreplay<CPLX>(t, last, post);
    } else {
        rhsdense(t, last);
    }
    memcpy(rows, t->frows, (size_t)(n + 1) * sizeof(int32_t));
    memcpy(scratch, t->fscratch, (size_t)t->nscratch * sizeof(int32_t));
    t->lastreplay = 0;
    return 1;
}

// the two solvers' instances, called from smatsolve (sparse.cpp)
template int32_t replay<false>(int32_t *, int32_t, int32_t *, int32_t, solvetrace *, int32_t);
template int32_t replay<true>(int32_t *, int32_t, int32_t *, int32_t, solvetrace *, int32_t);
template int32_t rhsonly<false>(int32_t *, int32_t, int32_t *, int32_t, solvetrace *, int32_t, int32_t);
template int32_t rhsonly<true>(int32_t *, int32_t, int32_t *, int32_t, solvetrace *, int32_t, int32_t);
