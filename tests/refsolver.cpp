// refsolver.cpp: the plain equation build and sparse solver that the fast
// ones must match bit for bit: every value text evaluated at every build,
// pairs put in table order and exchange-sorted, and every column scanning
// every remaining row for candidates. Test code only. Works on el like the
// real code and reports the final entry count of a solve.
#include "tests/refsolver.h"
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "expr/expr.h"

// === reference build ===
static int32_t npair, pcol[4];
static double pre[4], pim[4];

static void pput(int32_t col, double re, double im) {
    pcol[npair] = col, pre[npair] = re, pim[npair] = im;
    npair++;
}

static int32_t badnode(int32_t n) { return n < 0 || n >= numnodes; }

void refinitmat(double w, double t, double h) {
    checkelcnt(0);
    el[0] = sparsel{0, 0, 0, 0x7FFFFFFF};
    elcnt = 1;
    const int32_t nw = numwires, nn = numnodes, rhs = nw + nn;
    if (nw + nn <= 0) return;
    globalx = t;
    for (int32_t i = 0; i < nn; i++) yh[nw + i] = 0;
    for (int32_t m = nw - 1; m >= 0; m--) {
        const wiretype &wr = wire[m];
        double v = wr.value;
        if (globalx != 0) {
            globalbad = 0;
            v = solvefunc(wr.numst ? wr.numst : "");
        }
        int32_t letter = wr.element, d = wr.depwire, bad = badnode(wr.node1) || badnode(wr.node2);
        double g = v;
        if (letter == 'S') letter = ((v <= 0) != (wr.depwire < 0)) ? 'X' : 'T';
        if (letter == 'E' || letter == 'F' || letter == 'G' || letter == 'H') {
            if (d < 0) d = ~d, g = -v;
            bad = bad || d == m || d >= nw || badnode(wire[d].node1) || badnode(wire[d].node2);
        }
        if (bad) {
            for (int32_t r = 0; r < nw + nn; r++) yh[r] = 0;
            elcnt = 1;
            return;
        }
        const int32_t a = nw + wr.node1, b = nw + wr.node2;
        const int32_t da = letter == 'E' || letter == 'G' ? nw + wire[d].node1 : 0;
        const int32_t db = letter == 'E' || letter == 'G' ? nw + wire[d].node2 : 0;
        npair = 0;
        switch (letter) {
        case 'R': pput(m, v, 0), pput(a, -1, 0), pput(b, 1, 0); break;
        case 'L':
            if (h != 0) pput(m, v, 0), pput(a, -h, 0), pput(b, h, 0), pput(rhs, v * capindval[m], 0);
            else pput(m, 0, w * v), pput(a, -1, 0), pput(b, 1, 0);
            break;
        case 'C':
            if (h != 0) pput(m, h, 0), pput(a, -v, 0), pput(b, v, 0), pput(rhs, -v * capindval[m], 0);
            else pput(m, 1, 0), pput(a, 0, -(w * v)), pput(b, 0, w * v);
            break;
        case 'V': pput(a, -1, 0), pput(b, 1, 0), pput(rhs, v, 0); break;
        case 'T': pput(a, -1, 0), pput(b, 1, 0); break;
        case 'I': pput(m, 1, 0), pput(rhs, v, 0); break;
        case 'E': pput(a, -1, 0), pput(b, 1, 0), pput(da, g, 0), pput(db, -g, 0); break;
        case 'F': pput(m, 1, 0), pput(d, -g, 0); break;
        case 'G': pput(m, 1, 0), pput(da, g, 0), pput(db, -g, 0); break;
        case 'H': pput(d, -g, 0), pput(a, -1, 0), pput(b, 1, 0); break;
        default: pput(m, 1, 0); break;
        }
        for (int32_t i = 0; i < npair; i++)
            for (int32_t j = i + 1; j < npair; j++)
                if (pcol[j] < pcol[i]) {
                    int32_t c = pcol[i];
                    pcol[i] = pcol[j], pcol[j] = c;
                    double x = pre[i];
                    pre[i] = pre[j], pre[j] = x;
                    x = pim[i];
                    pim[i] = pim[j], pim[j] = x;
                }
        checkelcnt(elcnt + npair + 2);
        int32_t last = 0;
        yh[m] = elcnt;
        for (int32_t k = 0; k < npair; k++) {
            if (pcol[k] >= nw && pcol[k] < rhs && node[pcol[k] - nw].isgrounded) continue;
            if (last && el[last].col == pcol[k]) {
                el[last].re += pre[k], el[last].im += pim[k];
                continue;
            }
            last = elcnt++;
            el[last] = sparsel{pre[k], pim[k], last + 1, pcol[k]};
        }
        if (last) el[last].next = 0;
        else yh[m] = 0;
        if (wr.node1 == wr.node2) continue;
        for (int32_t k = 0; k < 2; k++) {
            const int32_t n = k ? wr.node2 : wr.node1;
            if (node[n].isgrounded) continue;
            const int32_t e = elcnt++;
            el[e] = sparsel{k ? 1.0 : -1.0, 0, yh[nw + n], m};
            yh[nw + n] = e;
        }
    }
    checkelcnt(elcnt + nn);
    for (int32_t i = 0; i < nn; i++)
        if (node[i].isgrounded) {
            const int32_t e = elcnt++;
            el[e] = sparsel{1.0, 0, 0, nw + i};
            yh[nw + i] = e;
        }
}

// === reference solver ===
int32_t refsolve(int32_t cplx, int32_t *rows, int32_t count, int32_t *scratch, int32_t n,
                 int32_t *countout) {
    *countout = count;
    if (count < 2) return 2;
    for (int32_t i = 0; i < n; i++) {
        // --- pivot search over every position from i on ---
        int32_t best = i, nc = 0;
        double bm = 0;
        const sparsel *h = &el[rows[i]];
        if (h->col == i) bm = cplx ? h->re * h->re + h->im * h->im : h->re * h->re;
        for (int32_t k = i + 1; k < n; k++) {
            const sparsel *e = &el[rows[k]];
            if (e->col != i) continue;
            scratch[nc++] = k;
            const double mg = cplx ? e->re * e->re + e->im * e->im : e->re * e->re;
            if (mg > bm) {
                bm = mg;
                best = k;
            }
        }
        if (bm == 0) return i < numwires ? 16384 : 1;
        double d = bm;
        if (d != 1) d = 1 / d;
        const int32_t p = rows[best];
        rows[best] = rows[i];
        rows[i] = p;
        el[p].re = -d * el[p].re;
        if (cplx) el[p].im = d * el[p].im;
        // --- elimination ---
        for (int32_t j = nc - 1; j >= 0; j--) {
            const int32_t k = scratch[j], r = rows[k];
            if (el[r].col != i) continue;
            double fr, fi = 0;
            if (cplx) {
                fr = el[r].re * el[p].re - el[r].im * el[p].im;
                fi = el[r].re * el[p].im + el[r].im * el[p].re;
            } else {
                fr = el[r].re * el[p].re;
            }
            int32_t pe = el[p].next, re = el[r].next, head = 0, tail = 0;
            for (;;) {
                const int32_t pc = el[pe].col, rc = el[re].col;
                int32_t e;
                if (pc < rc) {
                    checkelcnt(count);
                    e = count++;
                    if (cplx) {
                        el[e].re = fr * el[pe].re - fi * el[pe].im;
                        el[e].im = fr * el[pe].im + fi * el[pe].re;
                    } else {
                        el[e].re = fr * el[pe].re;
                        el[e].im = 0;
                    }
                    el[e].col = pc;
                    pe = el[pe].next;
                } else if (pc == rc) {
                    if (pc == 0x7FFFFFFF) break;
                    if (cplx) {
                        const double tr = fr * el[pe].re - fi * el[pe].im;
                        const double ti = fr * el[pe].im + fi * el[pe].re;
                        el[re].re += tr;
                        el[re].im += ti;
                    } else {
                        el[re].re += fr * el[pe].re;
                    }
                    e = re;
                    re = el[re].next;
                    pe = el[pe].next;
                } else {
                    e = re;
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
    // --- back substitution ---
    checkelcnt(count);
    rows[n] = count;
    el[count].re = -1;
    el[count].im = 0;
    el[count].next = 0;
    el[count].col = n;
    for (int32_t i = n - 1; i >= 0; i--) {
        const int32_t h = rows[i];
        double sr = 0, si = 0;
        for (int32_t e = el[h].next; e; e = el[e].next) {
            const sparsel &x = el[rows[el[e].col]];
            if (cplx) {
                const double tr = el[e].re * x.re - el[e].im * x.im;
                const double ti = el[e].re * x.im + el[e].im * x.re;
                sr += tr;
                si += ti;
            } else {
                sr += el[e].re * x.re;
            }
        }
        const double pr = el[h].re, pi = el[h].im;
        if (cplx) {
            el[h].re = pr * sr - pi * si;
            el[h].im = pr * si + pi * sr;
        } else {
            el[h].re = pr * sr;
        }
    }
    *countout = count + 1;
    return 0;
}
