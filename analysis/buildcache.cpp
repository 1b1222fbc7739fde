// buildcache.cpp: the build template (a build with the last full build's
// structure starts from a copy of it, recomputing only value coefficients)
// and the hold (buildhold: a build redoes only what t and the states change,
// and tells the solver what stayed, rules B4-B6 in analysis.h).
// Depends on build.h, circuit.h (arrays), expr.h (globalx, globalbad).
// Limits: one template, the last full build's; it grows and never shrinks.
#include <stdlib.h>
#include <string.h>
#include "analysis/analysis.h"
#include "analysis/build.h"
#include "circuit/circuit.h"
#include "expr/expr.h"

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
static int8_t *nlrow;         // [shapemax] 1: a D or N wire, whose stamps change at every build
static sparsel *tmpl;         // [tmplmax] the entries as built
static int32_t *tmplyh;       // [shapemax + shapenmax] the row heads as built
static int32_t tmplcnt;       // entries in tmpl
static int32_t *tmplrhs;      // [tmplmax] its entries in the right-hand-side column
static int32_t ntmplrhs;
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
        nlrow = (int8_t *)growmem(nlrow, (size_t)nw);
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
    nlrow[m] = (int8_t)isnonlinear(wire[m].element);
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

// coefficient of formula code for value v (g = v or -v), step h, omega w,
// wire m's state cap and stamps
static inline void formula(const applyitem &it, int32_t m, double v, double g, double h, double w, double cap,
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
    case F_NLY: re = nlgre[m], im = nlgim[m]; break;
    case F_NLNY: re = -nlgre[m], im = -nlgim[m]; break;
    case F_NLI: re = nlieq[m]; break;
    }
}

// template coefficients of wire m's apply items from..to-1 recomputed
static void applyitems(int32_t m, int32_t from, int32_t to, double w, double h) {
    const double v = vals[m], cap = capindval[m];
    const double g = wire[m].depwire < 0 ? -v : v;
    for (int32_t k = from; k < to; k++) {
        const applyitem &it = applyprog[k];
        double re, im;
        formula(it, m, v, g, h, w, cap, re, im);
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
// entries recomputed. When keep and only right-hand-side coefficients
// changed, only those values are copied in, the rest of el kept as the solve
// of the build before left it (B7). Returns 1 if a coefficient outside the
// right-hand-side column may have changed.
static int32_t buildfromtemplate(double w, double h, const int32_t *list, int32_t cnt, int32_t keep) {
    const int32_t nw = numwires, nn = numnodes;
    const int32_t step = !samebits(w, tmplw) || !samebits(h, tmplh);
    int32_t moved = 0;
    tmplw = w, tmplh = h;
    nbuildmoved = 0;
    for (int32_t k = 0; k < cnt; k++) {
        const int32_t m = list[k];
        const double v = vals[m], cap = capindval[m];
        const int32_t vsame = !(step && stepdep[m]) && samebits(v, tmplv[m]) && !nlrow[m];
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
    buildkept = keep && !moved;
    if (buildkept) {
        for (int32_t k = 0; k < ntmplrhs; k++) {
            const int32_t e = tmplrhs[k];
            el[e].re = tmpl[e].re;
            el[e].im = tmpl[e].im;
        }
    } else {
        memcpy(el, tmpl, (size_t)tmplcnt * sizeof(sparsel));
    }
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
        tmplrhs = (int32_t *)growmem(tmplrhs, (size_t)tmplmax * sizeof(int32_t));
    }
    memcpy(tmpl, el, (size_t)elcnt * sizeof(sparsel));
    memcpy(tmplyh, yh, (size_t)(nw + nn) * sizeof(int32_t));
    tmplcnt = elcnt;
    ntmplrhs = 0;
    for (int32_t e = 1; e < elcnt; e++)
        if (el[e].col == nw + nn) tmplrhs[ntmplrhs++] = e;
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
        if (stepdep[m] || nlrow[m] || capitem[m] >= 0 || (!holdt0 && wiredep(m))) heldtouch[nheldtouch++] = m;
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
        if (globalx != 0 && wiredep(m)) varylist[nvary++] = m;
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
        const int32_t keep = held && chained && buildsolved == buildcount - 1;
        const int32_t moved = buildfromtemplate(w, h, held ? heldtouch : touch, held ? nheldtouch : ntouch, keep);
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
// template, or a full build when a switch has turned. 0, and no build, when
// there is no complete build to go from (the hold's lists forgotten).
int32_t buildheld(double w, double h, int32_t chained) {
    if (!(holding && holdok && holdt0 == (globalx == 0))) {
        holdok = 0;
        return 0;
    }
    if (globalx != 0) {
        for (int32_t k = 0; k < nvary; k++) vals[varylist[k]] = wireeval(varylist[k]);
        if (numwires > 0) globalbad = wirebad(0);
    }
    buildshaped(w, h, sameswitches(h), chained);
    return 1;
}

// 1 if the build before came from the template inside this hold; forgotten
int32_t buildchained(void) {
    const int32_t chained = holding && buildepoch == holdepoch;
    buildepoch = -1;
    return chained;
}

// the wire values' array, room made for nw wires and nn nodes
double *buildvals(int32_t nw, int32_t nn) {
    checkshape(nw, nn);
    return vals;
}

// el from the template when the structure is the template's, else in full;
// inside a hold, what later held builds must redo is noted
void buildcached(double w, double h, int32_t chained) {
    buildshaped(w, h, sameshape(h), chained);
    if (holding) holdlists();
}

