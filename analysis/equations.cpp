// equations.cpp: the equation store and initmat, which turns the node and wire
// arrays into modified-nodal-analysis rows (one branch row per wire, one
// current-law row per node, the right-hand side as the last column).
// Depends on circuit.h (arrays) and expr.h (solvefunc, functimedep).
// Limits: at most four branch coefficients per wire; el grows and never
// shrinks. Values of texts that cannot change with t are cached per wire, a
// build with the last build's structure starts from a copy of it, and inside
// a hold (buildhold) a build redoes only what time and the states can change.
#include <stdlib.h>
#include <string.h>
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "expr/expr.h"

// === equation store ===
sparsel *el = nullptr;
int32_t elcnt = 0;
int32_t elcntmax = 0;
int32_t matbad = -1;
int32_t buildkin = BUILDNEW;
uint32_t buildcount = 0;
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
static int32_t holding;             // 1 between buildhold(1) and buildhold(0)
static int32_t holdepoch;           // counts holds, so a cache entry knows the current one

static void checkvcache(int32_t n) {
    if (n <= vcachemax) return;
    valcache *p = (valcache *)growmem(vcache, (size_t)n * sizeof(valcache));
    memset(p + vcachemax, 0, (size_t)(n - vcachemax) * sizeof(valcache));
    vcache = p;
    vcachemax = n;
}

static inline int32_t samebits(double a, double b) { return !memcmp(&a, &b, sizeof a); }

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
static double wireeval(int32_t m) {
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

// === branch equations ===
// One branch row as up to four (column, coefficient) pairs, kept in a local
// record (no shared scratch array is needed).
// Each pair also names the formula of its coefficient, so that a build from
// the template (below) can recompute just the coefficients that can change.
enum { F_CONST, F_V, F_NV, F_H, F_NH, F_VCAP, F_NVCAP, F_G, F_NG, F_IWV, F_INWV };

struct branchrow {
    int32_t np;          // pairs in use
    int32_t col[4];      // unknown index, or W + N for the right-hand side
    double re[4], im[4];
    int32_t code[4];     // F_...: how re and im follow from v, g, h, w, capindval
};

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

// the letter whose equations wire m gets: a switch becomes X (open) or T
// (closed), a letter outside the table X
static inline int32_t letterof(const wiretype &wr, double v) {
    switch (wr.element) {
    case 'R': case 'L': case 'C': case 'V': case 'I': case 'E': case 'F': case 'G': case 'H': case 'T':
        return wr.element;
    case 'S': return switchclosed(wr.depwire, v) ? 'T' : 'X';
    default: return 'X';  // X, and any unknown letter: carries no current
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
// Each node's current-law row sums -I(m) of the wires leaving it and +I(m) of
// the wires arriving; a grounded node's row is V = 0.
// Fills b with the branch row of stampable wire m, of the given letter.
static inline void branchpairs(branchrow &b, int32_t m, int32_t letter, double v, double w, double h) {
    const int32_t nw = numwires, nn = numnodes;
    const wiretype &wr = wire[m];
    const int32_t a = nw + wr.node1, bb = nw + wr.node2, rhs = nw + nn;
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
    case 'I': put(b, m, 1, 0, F_CONST); put(b, rhs, v, 0, F_V); break;
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
    default: put(b, m, 1, 0, F_CONST); break;  // X
    }
}

// appends the sorted pairs as row m: equal neighbours summed, grounded node
// voltages dropped; an empty result leaves the row empty. slot[k] tells where
// pair k went: entry e, ~e when added to e, 0 when dropped.
static void appendrow(const branchrow &b, int32_t m, int32_t *slot) {
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
static void pushkcl(int32_t m, int32_t r, double sign) {
    const int32_t e = elcnt++;
    el[e].re = sign;
    el[e].im = 0;
    el[e].col = m;
    el[e].next = yh[r];
    yh[r] = e;
}

// === build template ===
// A build whose structure equals the last full build's (same counts, node
// grounding, wire nodes, letters, controls, switch states, and h = 0 or not)
// starts from a copy of that build and recomputes only the coefficients that
// depend on values, in the order the full build summed them.
struct applyitem {
    int32_t e;          // entry
    int32_t op;         // F_... formula, + APPLYADD: added to the entry, else set
    double cre, cim;    // the coefficient of an F_CONST pair
};
enum { APPLYADD = 0x100 };

static int32_t shapevalid;    // 1: the arrays below describe the last full build
static int32_t shapew, shapen, shapehform;   // its W, N, and h != 0
static int32_t *shapewire;    // [5 * shapemax] node1, node2, element, depwire, letter per wire
static int8_t *shapegnd;      // [shapenmax] isgrounded per node
static int32_t *applystart;   // [shapemax + 1] first apply item of each wire; wires go from
                              // the last down, so wire m's items end where wire m - 1's start
static applyitem *applyprog;  // [applymax] the coefficients to recompute
static int32_t applycnt, applymax;
static int32_t *touch;        // [shapemax] the wires that have apply items, from the last down
static int32_t ntouch;
static int32_t *capitem;      // [shapemax] apply item of the wire's state term v * capindval, -1 none
static int8_t *stepdep;       // [shapemax] 1: some apply item of the wire reads omega or h
static int8_t *matdep;        // [shapemax] 1: some apply item of the wire lies outside the
                              // right-hand-side column
static sparsel *tmpl;         // [tmplmax] the entries as built
static int32_t *tmplyh;       // [shapemax + shapenmax] the row heads as built
static int32_t tmplcnt;       // entries in tmpl
static int32_t shapemax, shapenmax, tmplmax;
static double *vals;          // [shapemax] value of each wire in this build
static double *tmplv, *tmplcap;   // [shapemax] value and state the template's coefficients hold
static double tmplw, tmplh;       // omega and step they hold

// --- hold (buildhold): what a build may skip while the arrays stand still ---
static int32_t holdok;        // 1: the last build was complete: vals, the lists below and the
                              // template fit the arrays (reset by any other build)
static int32_t holdt0;        // 1: vals are the stored values of t = 0; 0: the texts' values
static int32_t *varylist;     // [shapemax] wires whose text may change with t, from the last down
static int32_t nvary;
static int32_t *swlist;       // [shapemax] the switches, whose state may change with their value
static int32_t nsw;
static int32_t *heldtouch;    // [shapemax] the wires of touch a held build looks at: a text that
static int32_t nheldtouch;    //   may change with t, a state term, or omega or h read; last down


static void checkshape(int32_t nw, int32_t nn) {
    if (nw <= shapemax && nn <= shapenmax) return;
    if (nw > shapemax) {
        shapemax = nw;
        shapewire = (int32_t *)growmem(shapewire, (size_t)5 * nw * sizeof(int32_t));
        applystart = (int32_t *)growmem(applystart, (size_t)(nw + 1) * sizeof(int32_t));
        vals = (double *)growmem(vals, (size_t)nw * sizeof(double));
        tmplv = (double *)growmem(tmplv, (size_t)nw * sizeof(double));
        tmplcap = (double *)growmem(tmplcap, (size_t)nw * sizeof(double));
        touch = (int32_t *)growmem(touch, (size_t)nw * sizeof(int32_t));
        capitem = (int32_t *)growmem(capitem, (size_t)nw * sizeof(int32_t));
        stepdep = (int8_t *)growmem(stepdep, (size_t)nw);
        matdep = (int8_t *)growmem(matdep, (size_t)nw);
        varylist = (int32_t *)growmem(varylist, (size_t)nw * sizeof(int32_t));
        swlist = (int32_t *)growmem(swlist, (size_t)nw * sizeof(int32_t));
        heldtouch = (int32_t *)growmem(heldtouch, (size_t)nw * sizeof(int32_t));
    }
    if (nn > shapenmax) {
        shapenmax = nn;
        shapegnd = (int8_t *)growmem(shapegnd, (size_t)nn);
    }
    tmplyh = (int32_t *)growmem(tmplyh, (size_t)(shapemax + shapenmax) * sizeof(int32_t));
}

// 1 if this build has the structure of the template
static int32_t sameshape(double h) {
    const int32_t nw = numwires, nn = numnodes;
    if (!shapevalid || nw != shapew || nn != shapen || (h != 0) != shapehform) return 0;
    for (int32_t i = 0; i < nn; i++)
        if (node[i].isgrounded != shapegnd[i]) return 0;
    for (int32_t m = 0; m < nw; m++) {
        const wiretype &wr = wire[m];
        const int32_t *sw = shapewire + 5 * m;
        if (wr.node1 != sw[0] || wr.node2 != sw[1] || wr.element != sw[2] || wr.depwire != sw[3]) return 0;
        if (wr.element == 'S' && letterof(wr, vals[m]) != sw[4]) return 0;
    }
    return 1;
}

// the apply items of wire m: every pair of an entry that holds a coefficient
// depending on values, in the order appendrow set and summed them
static void recordapply(int32_t m, const branchrow &b, const int32_t *slot) {
    applystart[m] = applycnt;
    capitem[m] = -1;
    stepdep[m] = matdep[m] = 0;
    if (applycnt + b.np > applymax) {
        applymax = applymax ? 2 * applymax + b.np : 1024;
        applyprog = (applyitem *)growmem(applyprog, (size_t)applymax * sizeof(applyitem));
        buildmoved = (int32_t *)growmem(buildmoved, (size_t)applymax * sizeof(int32_t));
    }
    for (int32_t k = 0; k < b.np; k++) {
        if (slot[k] <= 0) continue;  // dropped, or summed into an earlier pair's entry
        int32_t j = k + 1, vary = b.code[k] != F_CONST;
        for (; j < b.np && slot[j] == ~slot[k]; j++) vary |= b.code[j] != F_CONST;
        if (!vary) continue;  // the template holds it already
        if (b.col[k] != numwires + numnodes) matdep[m] = 1;
        for (int32_t q = k; q < j; q++) {
            const int32_t c = b.code[q];
            if (c == F_VCAP || c == F_NVCAP) capitem[m] = applycnt;  // alone in its entry
            if (c == F_H || c == F_NH || c == F_IWV || c == F_INWV) stepdep[m] = 1;
            applyprog[applycnt++] = applyitem{slot[k], b.code[q] | (q > k ? APPLYADD : 0), b.re[q], b.im[q]};
        }
    }
    if (applystart[m] != applycnt) touch[ntouch++] = m;
}

// coefficient of formula code for value v (g = v or -v), step h, omega w
static inline void formula(const applyitem &it, double v, double g, double h, double w, double cap,
                           double &re, double &im) {
    re = 0, im = 0;
    switch (it.op & 0xFF) {
    case F_CONST: re = it.cre, im = it.cim; break;
    case F_V: re = v; break;
    case F_NV: re = -v; break;
    case F_H: re = h; break;
    case F_NH: re = -h; break;
    case F_VCAP: re = v * cap; break;
    case F_NVCAP: re = -v * cap; break;
    case F_G: re = g; break;
    case F_NG: re = -g; break;
    case F_IWV: im = w * v; break;
    case F_INWV: im = -(w * v); break;
    }
}

// template coefficients of wire m's apply items from..to-1 recomputed
static void applyitems(int32_t m, int32_t from, int32_t to, double w, double h) {
    const double v = vals[m], cap = capindval[m];
    const double g = wire[m].depwire < 0 ? -v : v;
    for (int32_t k = from; k < to; k++) {
        const applyitem &it = applyprog[k];
        double re, im;
        formula(it, v, g, h, w, cap, re, im);
        if (it.op & APPLYADD) {
            tmpl[it.e].re += re;
            tmpl[it.e].im += im;
        } else {
            tmpl[it.e].re = re;
            tmpl[it.e].im = im;
        }
    }
}

// the state term v * capindval (or its negative) of an inductor or capacitor
// row, set alone in its entry, as formula computes it
static inline void stateterm(const applyitem &it, double v, double cap) {
    tmpl[it.e].re = (it.op & 0xFF) == F_VCAP ? v * cap : -v * cap;
    tmpl[it.e].im = 0;
}

// The template's coefficients brought up to this build's values (only the
// wires whose value, state, or omega and step where they read them, changed
// since they were last written, among the cnt wires of list; a changed state
// alone changes only its own term), then copied in; buildmoved lists the
// entries recomputed. Returns 1 if a coefficient outside the
// right-hand-side column may have changed.
static int32_t buildfromtemplate(double w, double h, const int32_t *list, int32_t cnt) {
    const int32_t nw = numwires, nn = numnodes;
    const int32_t step = !samebits(w, tmplw) || !samebits(h, tmplh);
    int32_t moved = 0;
    tmplw = w, tmplh = h;
    nbuildmoved = 0;
    for (int32_t k = 0; k < cnt; k++) {
        const int32_t m = list[k];
        const double v = vals[m], cap = capindval[m];
        const int32_t vsame = !(step && stepdep[m]) && samebits(v, tmplv[m]);
        if (vsame && samebits(cap, tmplcap[m])) continue;
        tmplcap[m] = cap;
        if (vsame) {
            if (capitem[m] < 0) continue;
            stateterm(applyprog[capitem[m]], v, cap);
            buildmoved[nbuildmoved++] = applyprog[capitem[m]].e;
            continue;
        }
        tmplv[m] = v;
        moved |= matdep[m];
        const int32_t from = applystart[m], to = m ? applystart[m - 1] : applycnt;
        applyitems(m, from, to, w, h);
        for (int32_t q = from; q < to; q++) buildmoved[nbuildmoved++] = applyprog[q].e;
    }
    checkelcnt(tmplcnt);
    memcpy(el, tmpl, (size_t)tmplcnt * sizeof(sparsel));
    memcpy(yh, tmplyh, (size_t)(nw + nn) * sizeof(int32_t));
    elcnt = tmplcnt;
    return moved;
}

// every row appended afresh; the result becomes the template
static void buildfull(double w, double h) {
    const int32_t nw = numwires, nn = numnodes;
    applycnt = ntouch = 0;
    for (int32_t i = 0; i < nn; i++) yh[nw + i] = 0;
    for (int32_t m = nw - 1; m >= 0; m--) {
        const wiretype &wr = wire[m];
        const int32_t letter = letterof(wr, vals[m]);
        int32_t *sw = shapewire + 5 * m;
        sw[0] = wr.node1, sw[1] = wr.node2, sw[2] = wr.element, sw[3] = wr.depwire, sw[4] = letter;
        branchrow b;
        int32_t slot[4];
        branchpairs(b, m, letter, vals[m], w, h);
        appendrow(b, m, slot);
        recordapply(m, b, slot);
        tmplv[m] = vals[m], tmplcap[m] = capindval[m];
        const int32_t n1 = wr.node1, n2 = wr.node2;
        if (n1 == n2) continue;  // a wire from a node to itself adds nothing to its current law
        if (!node[n1].isgrounded) pushkcl(m, nw + n1, -1.0);
        if (!node[n2].isgrounded) pushkcl(m, nw + n2, 1.0);
    }
    checkelcnt(elcnt + nn);
    for (int32_t i = 0; i < nn; i++) {
        shapegnd[i] = node[i].isgrounded;
        if (!node[i].isgrounded) continue;
        const int32_t e = elcnt++;
        el[e].re = 1.0;
        el[e].im = 0;
        el[e].col = nw + i;
        el[e].next = 0;
        yh[nw + i] = e;
    }
    if (elcnt > tmplmax) {
        tmplmax = elcntmax;
        tmpl = (sparsel *)growmem(tmpl, (size_t)tmplmax * sizeof(sparsel));
    }
    memcpy(tmpl, el, (size_t)elcnt * sizeof(sparsel));
    memcpy(tmplyh, yh, (size_t)(nw + nn) * sizeof(int32_t));
    tmplcnt = elcnt;
    tmplw = w, tmplh = h;
    shapew = nw, shapen = nn, shapehform = h != 0;
    shapevalid = 1;
}

// === hold ===
// Between buildhold(1) and buildhold(0) the caller changes nothing of the
// circuit arrays and value texts (the transient column loop changes only the
// states in capindval). After one complete build, a build then skips the
// checks of texts and structure and takes again only the values that can
// change: none at t = 0, the texts that read t or draw at other times. The
// caller also solves each system as it was built and writes nothing in el,
// so a build from the template right after one from the same template tells
// the solver what it knows (buildkin, buildmoved): the same structure, the
// same matrix part when only right-hand-side coefficients were recomputed,
// and which entries may have moved.
static int32_t buildepoch = -1;   // holdepoch of the last build if it came from the template
                                  // (or made it) inside that hold, else -1

void buildhold(int32_t on) {
    holding = on && solvereuse;
    holdepoch++;
    holdok = 0;
}

// the wires of touch whose coefficients a held build may have to recompute
static void heldtouchmake(void) {
    nheldtouch = 0;
    for (int32_t k = 0; k < ntouch; k++) {
        const int32_t m = touch[k];
        if (stepdep[m] || capitem[m] >= 0 || (!holdt0 && vcache[m].dep)) heldtouch[nheldtouch++] = m;
    }
}

// A build that tells the solver anything came from the template, so the
// template holds what it left in el.
void buildrestore(void) {
    memcpy(el, tmpl, (size_t)tmplcnt * sizeof(sparsel));
}

// notes what a held build must redo, after a complete build
static void holdlists(void) {
    nvary = nsw = 0;
    for (int32_t m = numwires - 1; m >= 0; m--) {
        if (globalx != 0 && vcache[m].dep) varylist[nvary++] = m;
        if (wire[m].element == 'S') swlist[nsw++] = m;
    }
    holdt0 = globalx == 0;
    holdok = 1;
    heldtouchmake();
}

// el from the template when same, else a full build that becomes the
// template; buildkin when the build before (chained) came from it too. A
// held build looks only at the wires whose coefficients can change.
static void buildshaped(double w, double h, int32_t same, int32_t chained) {
    if (same) {
        const int32_t held = holding && holdok;
        const int32_t moved = buildfromtemplate(w, h, held ? heldtouch : touch, held ? nheldtouch : ntouch);
        if (chained) buildkin = moved ? BUILDSHAPE : BUILDSAME;
    } else {
        buildfull(w, h);
        if (holdok) heldtouchmake();
    }
    if (holding) buildepoch = holdepoch;
}

// 1 if the switches stand as in the template and h keeps its form
static int32_t sameswitches(double h) {
    if (!shapevalid || (h != 0) != shapehform) return 0;
    for (int32_t k = 0; k < nsw; k++) {
        const int32_t m = swlist[k];
        if (letterof(wire[m], vals[m]) != shapewire[5 * m + 4]) return 0;
    }
    return 1;
}

// A build inside a hold after a complete one at the same kind of time: the
// texts that can change are evaluated from the last wire down, as a complete
// build evaluates them, and the error flag left as wire 0's; then the
// template, or a full build when a switch has turned.
static void buildheld(double w, double h, int32_t chained) {
    if (globalx != 0) {
        for (int32_t k = 0; k < nvary; k++) vals[varylist[k]] = wireeval(varylist[k]);
        if (numwires > 0) globalbad = vcache[0].bad;
    }
    buildshaped(w, h, sameswitches(h), chained);
}

// === building the system ===
// Rows 0..W-1 are branch equations, rows W..W+N-1 node current laws (or
// V = 0 for a grounded node); column W+N is the right-hand side. Values are
// taken first, from the last wire down, as far as the first wire that cannot
// be stamped; then the rows are built.
void initmat(double w, double t, double h) {
    const int32_t chained = holding && buildepoch == holdepoch;
    buildcount++;
    buildkin = BUILDNEW;
    buildepoch = -1;
    checkelcnt(0);
    el[0].re = el[0].im = 0;
    el[0].next = 0;
    el[0].col = COLEND;
    elcnt = 1;
    const int32_t nw = numwires, nn = numnodes;
    if (nw + nn <= 0) return;
    globalx = t;
    if (holding && holdok && holdt0 == (globalx == 0)) {
        buildheld(w, h, chained);
        return;
    }
    holdok = 0;
    checkshape(nw, nn);
    if (globalx != 0) checkvcache(nw);
    for (int32_t m = nw - 1; m >= 0; m--) {
        vals[m] = globalx == 0 ? wire[m].value : wireeval(m);
        if (!stampable(m)) {  // give up: every row empty, nothing to solve
            for (int32_t r = 0; r < nw + nn; r++) yh[r] = 0;
            elcnt = 1;
            return;
        }
    }
    buildshaped(w, h, sameshape(h), chained);
    if (holding) holdlists();
}
