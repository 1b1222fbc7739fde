// equations.cpp: the equation store and initmat, which turns the node and wire
// arrays into modified-nodal-analysis rows (one branch row per wire, one
// current-law row per node, the right-hand side as the last column).
// Depends on circuit.h (arrays) and expr.h (solvefunc, functimedep).
// Limits: at most four branch coefficients per wire; el grows and never
// shrinks. Values of texts that cannot change with t are cached per wire;
// the template a build with the last build's structure starts from, and the
// hold, are buildcache.cpp's (build.h is what the two share).
#include <stdlib.h>
#include <string.h>
#include "analysis/analysis.h"
#include "analysis/build.h"
#include "circuit/circuit.h"
#include "expr/expr.h"

// === equation store ===
sparsel *el = nullptr;
int32_t elcnt = 0;
int32_t elcntmax = 0;
int32_t matbad = -1;
int32_t acdrive = -1;
int32_t buildkin = BUILDNEW;
int32_t buildkept = 0;
uint32_t buildcount = 0;
uint32_t buildsolved = 0;
int32_t *buildmoved = nullptr;
int32_t nbuildmoved = 0;

static const int32_t ELFIRST = 4096;        // first capacity of el

void checkelcnt(int32_t need) {
    if (elcntmax > need) return;
    int64_t n = elcntmax ? (int64_t)elcntmax * 2 : ELFIRST;
    if (n <= need) n = (int64_t)need + 1;
    if (n > 0x7FFFFFFF) n = 0x7FFFFFFF;
    el = (sparsel *)growmem(el, (size_t)n * sizeof(sparsel));
    elcntmax = (int32_t)n;
}

// === value cache ===
// A wire's value text is evaluated at every build with t != 0. Texts that
// cannot change with t (functimedep says so: no T, no source shape, no random
// draw) give the same bits every time, so their value and error flag are kept
// with a copy of the text and reused while the wire's text is unchanged. A
// text that reads t but draws nothing gives the same bits at the same t (the
// predictor and corrector of a transient sub-step build at one time), so its
// last value is kept with that time. Inside a hold (buildhold) the texts are
// compared once; after that they are known unchanged.
struct valcache {
    char *txt;      // copy of the text evaluated last, null: nothing cached
    int32_t cap;    // bytes allocated for txt
    int32_t dep;    // 1: the text may change with t
    int32_t rnd;    // 1: it may draw random numbers: evaluate at every build
    int32_t ok;     // 1: v and bad are its value at time t
    int32_t seen;   // holdepoch when the text was last compared, inside a hold
    double t;       // time of v (a text that does not depend on t: any)
    double v;       // its value
    int32_t bad;    // globalbad after evaluating it
};
static valcache *vcache = nullptr;  // [vcachemax]
static int32_t vcachemax = 0;
int32_t holding;                    // 1 between buildhold(1) and buildhold(0)
int32_t holdepoch;                  // counts holds, so a cache entry knows the current one

static void checkvcache(int32_t n) {
    if (n <= vcachemax) return;
    valcache *p = (valcache *)growmem(vcache, (size_t)n * sizeof(valcache));
    memset(p + vcachemax, 0, (size_t)(n - vcachemax) * sizeof(valcache));
    vcache = p;
    vcachemax = n;
}


// the cache entry of wire m, its copy brought up to the wire's text s; a
// changed text forgets the value
static void cachetext(valcache *c, const char *s) {
    if (c->txt && !strcmp(c->txt, s)) return;
    const int32_t len = (int32_t)strlen(s);
    if (len + 1 > c->cap) {
        char *p = (char *)growmem(c->txt, (size_t)len + 1);
        c->txt = p;
        c->cap = len + 1;
    }
    memcpy(c->txt, s, (size_t)len + 1);
    c->dep = functimedep(s) ? 1 : 0;
    c->rnd = c->dep && strstr(s, "RND");  // RND and NRND are the only draws
    c->ok = 0;
}

// value of wire m's text at globalx (not 0); leaves globalbad as evaluation would
double wireeval(int32_t m) {
    const char *s = wire[m].numst ? wire[m].numst : "";
    valcache *c = &vcache[m];
    if (!holding || c->seen != holdepoch) cachetext(c, s);
    c->seen = holdepoch;
    const int32_t keep = !c->dep || (solvereuse && !c->rnd && samebits(c->t, globalx));
    if (c->ok && keep) {
        globalbad = c->bad;
        return c->v;
    }
    globalbad = 0;
    const double v = solvefunc(s);
    c->ok = 1;
    c->t = globalx;
    c->v = v;
    c->bad = globalbad;
    return v;
}

int32_t wiredep(int32_t m) { return vcache[m].dep; }
int32_t wirebad(int32_t m) { return vcache[m].bad; }

// === branch equations ===
// One branch row as up to four (column, coefficient, formula) pairs in a
// branchrow (build.h), so that a build from the template (buildcache.cpp) can
// recompute just the coefficients that can change.
static inline void put(branchrow &b, int32_t col, double re, double im, int32_t code) {
    b.col[b.np] = col;
    b.re[b.np] = re;
    b.im[b.np] = im;
    b.code[b.np] = code;
    b.np++;
}

// Pairs are sorted by ascending column with the exchange sort (for i < j: if
// col[j] < col[i], swap). A wire current column is below every node column and
// the right-hand side above them all, so most letters need one comparison,
// made as they are put; only E sorts its four node columns in full.
static inline void exch(branchrow &b, int32_t i, int32_t j) {
    const int32_t ci = b.col[i], cj = b.col[j];
    const bool s = cj < ci;
    const double ri = b.re[i], rj = b.re[j], ii = b.im[i], ij = b.im[j];
    b.col[i] = s ? cj : ci;
    b.col[j] = s ? ci : cj;
    b.re[i] = s ? rj : ri;
    b.re[j] = s ? ri : rj;
    b.im[i] = s ? ij : ii;
    b.im[j] = s ? ii : ij;
    const int32_t ki = b.code[i], kj = b.code[j];
    b.code[i] = s ? kj : ki;
    b.code[j] = s ? ki : kj;
}

static inline void sortpairs(branchrow &b) {
    for (int32_t i = 0; i < b.np; i++)
        for (int32_t j = i + 1; j < b.np; j++) exch(b, i, j);
}

// the pair of columns a and b in the order the exchange sort leaves them:
// b first only when strictly lower
static inline void putab(branchrow &r, int32_t a, double va, double ia, int32_t ka, int32_t b, double vb,
                         double ib, int32_t kb) {
    if (b < a) {
        put(r, b, vb, ib, kb);
        put(r, a, va, ia, ka);
    } else {
        put(r, a, va, ia, ka);
        put(r, b, vb, ib, kb);
    }
}
// 1 if wire m can be stamped: its nodes exist, and a controlled source names
// another existing wire as its control
static int32_t stampable(int32_t m) {
    if (!nodeexists(wire[m].node1) || !nodeexists(wire[m].node2)) return 0;
    return !iscontrolled(wire[m].element) || controlwire(m) >= 0;
}

// Branch rows. Unknowns: I(m) the current of wire m, flowing from its first
// node a to its second node b inside the element; V(x) node voltages. The
// second node is the + terminal of a source, and the voltage of a wire as a
// controlled source reads it is V(b) - V(a). v is the wire's value; g = v, or
// -v when depwire is ~d (control d with its polarity flipped), d having nodes
// da, db. h != 0 is a time step (backward-Euler companions with the state s =
// capindval[m]); h = 0 the phasor form at angular frequency w (w = 0: DC).
//   R   V(a) - V(b) = v I(m)
//   L   h: V(a) - V(b) = (v/h) (I(m) - s)        phasor: V(a) - V(b) = j w v I(m)
//   C   h: h I(m) = v ((V(a) - V(b)) - s)        phasor: I(m) = j w v (V(a) - V(b))
//   V   V(b) - V(a) = v                           T (and a closed S)   V(b) = V(a)
//   I   I(m) = v                                  X (and an open S)    I(m) = 0
//   E   V(b) - V(a) = g (V(db) - V(da))           F   I(m) = g I(d)
//   G   I(m) = g (V(db) - V(da))                  H   V(b) - V(a) = g I(d)
//   D N I(m) - y (V(a) - V(b)) = ieq: the linearisation nonlinear.cpp set
// Each node's current-law row sums -I(m) of the wires leaving it and +I(m) of
// the wires arriving; a grounded node's row is V = 0. In a system of
// ordermin unknowns and more, X and I also carry 0 V(a) + 0 V(b), as a C
// does at DC: their rows take an R's pattern (an I's with its right-hand
// side), so that turning an element into another of the same pattern leaves
// the structure (and the elimination) as it was, and the re-solve after
// such an edit replays it.
// Fills b with the branch row of stampable wire m, of the given letter.
void branchpairs(branchrow &b, int32_t m, int32_t letter, double v, double w, double h) {
    const int32_t nw = numwires, nn = numnodes;
    const wiretype &wr = wire[m];
    const int32_t a = nw + wr.node1, bb = nw + wr.node2, rhs = nw + nn;
    const int32_t rpattern = nw + nn >= ordermin;
    b.np = 0;
    int32_t d = 0, da = 0, db = 0;
    double g = v;
    if (iscontrolled(letter)) {
        d = wr.depwire;
        if (d < 0) {
            d = ~d;
            g = -v;
        }
        da = nw + wire[d].node1;
        db = nw + wire[d].node2;
    }
    switch (letter) {
    case 'R': put(b, m, v, 0, F_V); putab(b, a, -1, 0, F_CONST, bb, 1, 0, F_CONST); break;
    case 'L':
        if (h != 0) {
            put(b, m, v, 0, F_V);
            putab(b, a, -h, 0, F_NH, bb, h, 0, F_H);
            put(b, rhs, v * capindval[m], 0, F_VCAP);
        } else {
            put(b, m, 0, w * v, F_IWV);
            putab(b, a, -1, 0, F_CONST, bb, 1, 0, F_CONST);
        }
        break;
    case 'C':
        if (h != 0) {
            put(b, m, h, 0, F_H);
            putab(b, a, -v, 0, F_NV, bb, v, 0, F_V);
            put(b, rhs, -v * capindval[m], 0, F_NVCAP);
        } else {
            put(b, m, 1, 0, F_CONST);
            putab(b, a, 0, -(w * v), F_INWV, bb, 0, w * v, F_IWV);
        }
        break;
    case 'V': putab(b, a, -1, 0, F_CONST, bb, 1, 0, F_CONST); put(b, rhs, v, 0, F_V); break;
    case 'T': putab(b, a, -1, 0, F_CONST, bb, 1, 0, F_CONST); break;
    case 'I':
        put(b, m, 1, 0, F_CONST);
        if (rpattern) putab(b, a, 0, 0, F_CONST, bb, 0, 0, F_CONST);
        put(b, rhs, v, 0, F_V);
        break;
    case 'E':
        put(b, a, -1, 0, F_CONST);
        put(b, bb, 1, 0, F_CONST);
        put(b, da, g, 0, F_G);
        put(b, db, -g, 0, F_NG);
        sortpairs(b);
        break;
    case 'F':
        if (d < m) { put(b, d, -g, 0, F_NG); put(b, m, 1, 0, F_CONST); }
        else { put(b, m, 1, 0, F_CONST); put(b, d, -g, 0, F_NG); }
        break;
    case 'G': put(b, m, 1, 0, F_CONST); putab(b, da, g, 0, F_G, db, -g, 0, F_NG); break;
    case 'H': put(b, d, -g, 0, F_NG); putab(b, a, -1, 0, F_CONST, bb, 1, 0, F_CONST); break;
    case 'D': case 'N':
        put(b, m, 1, 0, F_CONST);
        putab(b, a, -nlgre[m], -nlgim[m], F_NLNY, bb, nlgre[m], nlgim[m], F_NLY);
        put(b, rhs, nlieq[m], 0, F_NLI);
        break;
    default:  // X
        put(b, m, 1, 0, F_CONST);
        if (rpattern) putab(b, a, 0, 0, F_CONST, bb, 0, 0, F_CONST);
        break;
    }
}

// appends the sorted pairs as row m: equal neighbours summed, grounded node
// voltages dropped; an empty result leaves the row empty. slot[k] tells where
// pair k went: entry e, ~e when added to e, 0 when dropped.
void appendrow(const branchrow &b, int32_t m, int32_t *slot) {
    const int32_t nw = numwires, nn = numnodes;
    checkelcnt(elcnt + b.np + 2);
    sparsel *ent = el;
    int32_t last = 0, lastcol = -1, cnt = elcnt;
    for (int32_t k = 0; k < b.np; k++) {
        const int32_t col = b.col[k];
        slot[k] = 0;
        if (col >= nw && col < nw + nn && node[col - nw].isgrounded) continue;  // V = 0
        if (col == lastcol) {
            ent[last].re += b.re[k];
            ent[last].im += b.im[k];
            slot[k] = ~last;
            continue;
        }
        last = cnt++;
        slot[k] = last;
        lastcol = col;
        ent[last].re = b.re[k];
        ent[last].im = b.im[k];
        ent[last].col = col;
        ent[last].next = last + 1;
    }
    if (last) {
        ent[last].next = 0;
        yh[m] = elcnt;
    } else {
        yh[m] = 0;
    }
    elcnt = cnt;
}

// pushes the current-law entry sign * I(m) at the head of node row r
void pushkcl(int32_t m, int32_t r, double sign) {
    const int32_t e = elcnt++;
    el[e].re = sign;
    el[e].im = 0;
    el[e].col = m;
    el[e].next = yh[r];
    yh[r] = e;
}

// === building the system ===
// Rows 0..W-1 are branch equations, rows W..W+N-1 node current laws (or
// V = 0 for a grounded node); column W+N is the right-hand side. Values are
// taken first, from the last wire down, as far as the first wire that cannot
// be stamped; then the rows are built, by the build cache (buildcache.cpp).
void initmat(double w, double t, double h) {
    const int32_t chained = buildchained();
    buildcount++;
    buildkin = BUILDNEW;
    buildkept = 0;
    checkelcnt(0);
    el[0].re = el[0].im = 0;
    el[0].next = 0;
    el[0].col = COLEND;
    elcnt = 1;
    const int32_t nw = numwires, nn = numnodes;
    if (nw + nn <= 0) return;
    globalx = t;
    if (buildheld(w, h, chained)) return;
    double *vals = buildvals(nw, nn);
    if (globalx != 0) checkvcache(nw);
    int32_t nonlinear = 0;
    for (int32_t m = nw - 1; m >= 0; m--) {
        const int32_t e = wire[m].element;
        if (isnonlinear(e)) {
            vals[m] = 0;  // the stamps carry what the element does
            nonlinear = 1;
        } else {
            vals[m] = globalx == 0 ? wire[m].value : wireeval(m);
        }
        if (e == 'V' || e == 'I') {
            if (acdrive >= 0) vals[m] = m == acdrive;
            else if (buildsrcscale != 1.0) vals[m] *= buildsrcscale;
        }
        if (!stampable(m)) {  // give up: every row empty, nothing to solve
            for (int32_t r = 0; r < nw + nn; r++) yh[r] = 0;
            elcnt = 1;
            return;
        }
    }
    if (nonlinear) nlensure(nw);
    buildcached(w, h, chained);
}

