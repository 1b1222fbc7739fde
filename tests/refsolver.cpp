// refsolver.cpp: the plain equation build and sparse solver that the fast
// ones must match bit for bit: every value text evaluated at every build,
// pairs exchange-sorted, every column scanning every remaining row for
// candidates, one code path for real and complex. Test code only; works on
// el like the real code and reports the final entry count of a solve.
#include <utility>
#include "tests/refsolver.h"
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "expr/expr.h"

// === reference build ===
static int32_t badnode(int32_t n) { return n < 0 || n >= numnodes; }

// the branch pairs of wire m with value v as entries (re, im, col), sorted by
// column; 0 when m cannot be stamped
static int32_t branchpairs(int32_t m, double v, double w, double h, sparsel *p) {
    const wiretype &wr = wire[m];
    const int32_t nw = numwires, a = nw + wr.node1, b = nw + wr.node2, rhs = nw + numnodes;
    int32_t letter = wr.element, d = wr.depwire;
    double g = v;
    if (letter == 'S') letter = ((v <= 0) != (d < 0)) ? 'X' : 'T';
    const int32_t dep = letter == 'E' || letter == 'F' || letter == 'G' || letter == 'H';
    if (dep && d < 0) d = ~d, g = -v;
    if (badnode(wr.node1) || badnode(wr.node2)) return 0;
    if (dep && (d == m || d >= nw || badnode(wire[d].node1) || badnode(wire[d].node2))) return 0;
    const int32_t da = dep ? nw + wire[d].node1 : 0, db = dep ? nw + wire[d].node2 : 0;
    int32_t n = 0;
    auto put = [&](int32_t col, double re, double im) { p[n++] = sparsel{re, im, 0, col}; };
    auto pad = [&]() {  // an R's pattern for an X or an I in a large system
        if (nw + numnodes >= ordermin) put(a, 0, 0), put(b, 0, 0);
    };
    switch (letter) {
    case 'R': put(m, v, 0), put(a, -1, 0), put(b, 1, 0); break;
    case 'L':
        if (h != 0) put(m, v, 0), put(a, -h, 0), put(b, h, 0), put(rhs, v * capindval[m], 0);
        else put(m, 0, w * v), put(a, -1, 0), put(b, 1, 0);
        break;
    case 'C':
        if (h != 0) put(m, h, 0), put(a, -v, 0), put(b, v, 0), put(rhs, -v * capindval[m], 0);
        else put(m, 1, 0), put(a, 0, -(w * v)), put(b, 0, w * v);
        break;
    case 'V': put(a, -1, 0), put(b, 1, 0), put(rhs, v, 0); break;
    case 'T': put(a, -1, 0), put(b, 1, 0); break;
    case 'I': put(m, 1, 0), pad(), put(rhs, v, 0); break;
    case 'E': put(a, -1, 0), put(b, 1, 0), put(da, g, 0), put(db, -g, 0); break;
    case 'F': put(m, 1, 0), put(d, -g, 0); break;
    case 'G': put(m, 1, 0), put(da, g, 0), put(db, -g, 0); break;
    case 'H': put(d, -g, 0), put(a, -1, 0), put(b, 1, 0); break;
    default: put(m, 1, 0), pad(); break;
    }
    for (int32_t i = 0; i < n; i++)
        for (int32_t j = i + 1; j < n; j++)
            if (p[j].col < p[i].col) std::swap(p[i], p[j]);
    return n;
}

// appends entry (re, im, col) with next = next; returns its index
static int32_t append(double re, double im, int32_t next, int32_t col) {
    el[elcnt] = sparsel{re, im, next, col};
    return elcnt++;
}

void refinitmat(double w, double t, double h) {
    checkelcnt(0);
    el[0] = sparsel{0, 0, 0, 0x7FFFFFFF};
    elcnt = 1;
    const int32_t nw = numwires, nn = numnodes;
    if (nw + nn <= 0) return;
    globalx = t;
    for (int32_t i = 0; i < nn; i++) yh[nw + i] = 0;
    for (int32_t m = nw - 1; m >= 0; m--) {
        const wiretype &wr = wire[m];
        double v = wr.value;
        if (globalx != 0) globalbad = 0, v = solvefunc(wr.numst ? wr.numst : "");
        sparsel p[4];
        const int32_t n = branchpairs(m, v, w, h, p);
        if (!n) {
            for (int32_t r = 0; r < nw + nn; r++) yh[r] = 0;
            elcnt = 1;
            return;
        }
        checkelcnt(elcnt + n + 2);
        int32_t last = 0;
        yh[m] = elcnt;
        for (int32_t k = 0; k < n; k++) {
            if (p[k].col >= nw && p[k].col < nw + nn && node[p[k].col - nw].isgrounded) continue;
            if (last && el[last].col == p[k].col) el[last].re += p[k].re, el[last].im += p[k].im;
            else last = append(p[k].re, p[k].im, elcnt + 1, p[k].col);
        }
        if (last) el[last].next = 0;
        else yh[m] = 0;
        if (wr.node1 == wr.node2) continue;  // a loop on one node: no current-law entries
        if (!node[wr.node1].isgrounded) yh[nw + wr.node1] = append(-1, 0, yh[nw + wr.node1], m);
        if (!node[wr.node2].isgrounded) yh[nw + wr.node2] = append(1, 0, yh[nw + wr.node2], m);
    }
    checkelcnt(elcnt + nn);
    for (int32_t i = 0; i < nn; i++)
        if (node[i].isgrounded) yh[nw + i] = append(1, 0, 0, nw + i);
}

// === reference solver ===
// A real solve reads every imaginary part as 0 and leaves them alone; the
// products below then reduce to the real ones bit for bit (x - 0*0 is x).
struct refc {
    double re, im;
};
static int32_t cplx;

static refc val(const sparsel &e) { return refc{e.re, cplx ? e.im : 0}; }
static refc mul(refc a, refc b) { return refc{a.re * b.re - a.im * b.im, cplx ? a.re * b.im + a.im * b.re : 0}; }
static void setval(sparsel &e, refc x) {
    e.re = x.re;
    if (cplx) e.im = x.im;
}

int32_t refsolve(int32_t complexsolve, int32_t *rows, int32_t count, int32_t *scratch, int32_t n,
                 int32_t *countout) {
    cplx = complexsolve;
    *countout = count;
    if (count < 2) return 2;
    for (int32_t i = 0; i < n; i++) {
        // --- pivot search over every position from i on ---
        int32_t best = i, nc = 0;
        double bm = 0;
        for (int32_t k = i; k < n; k++) {
            const refc x = val(el[rows[k]]);
            if (el[rows[k]].col != i) continue;
            if (k > i) scratch[nc++] = k;
            const double mg = x.re * x.re + x.im * x.im;
            if (k == i || mg > bm) bm = mg, best = k;
        }
        if (bm == 0) return i < numwires ? 16384 : 1;
        const double d = bm == 1 ? bm : 1 / bm;
        const int32_t p = rows[best];
        rows[best] = rows[i], rows[i] = p;
        setval(el[p], refc{-d * el[p].re, d * el[p].im});  // -1/p = -conj(p) / |p|^2
        // --- elimination: row -= (r/p) * pivot row, merged in column order ---
        for (int32_t j = nc - 1; j >= 0; j--) {
            const int32_t k = scratch[j], r = rows[k];
            if (el[r].col != i) continue;
            const refc f = mul(val(el[r]), val(el[p]));
            int32_t pe = el[p].next, re = el[r].next, head = 0, tail = 0;
            for (;;) {
                const int32_t pc = el[pe].col, rc = el[re].col;
                int32_t e = re;
                if (pc == rc && pc == 0x7FFFFFFF) break;
                if (pc < rc) {  // fill-in
                    checkelcnt(count);
                    e = count++;
                    el[e] = sparsel{0, 0, 0, pc};
                    setval(el[e], mul(f, val(el[pe])));
                    pe = el[pe].next;
                } else if (pc == rc) {
                    const refc x = mul(f, val(el[pe]));
                    setval(el[re], refc{el[re].re + x.re, el[re].im + x.im});
                    re = el[re].next, pe = el[pe].next;
                } else {
                    re = el[re].next;
                }
                if (tail) el[tail].next = e;
                else head = e;
                tail = e;
            }
            if (tail) el[tail].next = 0;
            rows[k] = head;
        }
        *countout = count;
    }
    // --- back substitution: entry count is the right-hand side's value -1 ---
    checkelcnt(count);
    rows[n] = count;
    el[count] = sparsel{-1, 0, 0, n};
    for (int32_t i = n - 1; i >= 0; i--) {
        refc s{0, 0};
        for (int32_t e = el[rows[i]].next; e; e = el[e].next) {
            const refc x = mul(val(el[e]), val(el[rows[el[e].col]]));
            s.re += x.re, s.im += x.im;
        }
        setval(el[rows[i]], mul(val(el[rows[i]]), s));
    }
    *countout = count + 1;
    return 0;
}
