// order.cpp: the elimination order of large systems (ordermin unknowns and
// more). The wire currents keep their columns and go first, as in natural
// order; the ungrounded node voltages follow in approximate-minimum-degree
// order (SuiteSparse's AMD) of the node graph left once the wire currents are
// eliminated, the grounded ones last. The order is put in by relabelling the
// columns of el[0..count) and re-sorting its rows, computed once per
// structure (the last two structures' kept); the solve then runs unchanged
// and orderout maps its row heads back. Depends on trace.h and
// equations.cpp (el, numwires, numnodes).
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#ifndef VELTO_NO_AMD
#include <suitesparse/amd.h>
#endif
#include <algorithm>
#include "analysis/analysis.h"
#include "analysis/trace.h"
#include "circuit/circuit.h"

#ifdef VELTO_NO_AMD
int32_t ordermin = INT32_MAX;  // built without the ordering library (the web page): natural order
#else
int32_t ordermin = ORDERMIN;
#endif

// === the order of one structure ===
struct orderstate {
    int32_t valid;      // 1: the fields below hold an order
    int32_t on;         // 1: the last orderin relabelled el
    int32_t n, nw, count;
    int32_t *heads;     // [n] row heads before relabelling
    int32_t *oheads;    // [n] row heads after
    uint64_t *nat;      // [count] (next, col) words before relabelling
    uint64_t *ord;      // [count] after
    int32_t *lab;       // [n + 1] label of column c (the right-hand side keeps n)
    int32_t *diag;      // [n] the unknown whose label is c: the place of that column's diagonal row
    int32_t ofbuild;    // 1: the last orderin relabelled the build itself (yh, elcnt) ...
    uint32_t build;     //   whose buildcount this is
    int32_t nmax, countmax;
};
static orderstate os, osbefore;  // this structure's order, and the one's before

static inline uint64_t wordof(const sparsel &e) {
    uint64_t w;
    memcpy(&w, (const char *)&e + offsetof(sparsel, next), sizeof w);
    return w;
}
static inline void putword(sparsel &e, uint64_t w) { memcpy((char *)&e + offsetof(sparsel, next), &w, sizeof w); }

// === the node graph and its order ===
// Node i (column nw + i) meets node j when row nw + i holds column nw + j,
// or a wire current whose own row holds it: the nodal pattern the wire
// eliminations leave. lab gets the wires' columns, then AMD's order.
static int32_t *isfree;   // [nodesmax] per node: its index among the free nodes, -1 grounded
static int32_t *freenode; // [nodesmax] free index -> node
static int32_t *ap, *perm;   // [nodesmax] the graph's column starts, AMD's order
static int32_t *adj;      // [adjmax] the graph's rows
static int32_t nodesmax, adjmax;
static int32_t *ents;     // [entsmax] one row's entries, being relabelled
static int32_t entsmax;

static int32_t nodeorder(const int32_t *rows, int32_t n, int32_t nw) {
    const int32_t nn = n - nw;
    if (nn + 1 > nodesmax) {
        nodesmax = grownsize(nodesmax, nn + 1);
        isfree = growint(isfree, nodesmax);
        freenode = growint(freenode, nodesmax);
        ap = growint(ap, nodesmax);
        perm = growint(perm, nodesmax);
    }
    int32_t nf = 0;
    for (int32_t i = 0; i < nn; i++) isfree[i] = node[i].isgrounded ? -1 : nf++;
    int32_t cnt = 0;
    for (int32_t i = 0; i < nn; i++) {
        if (isfree[i] < 0) continue;
        ap[isfree[i]] = cnt;
        for (int32_t e = rows[nw + i]; e; e = el[e].next) {
            const int32_t c = el[e].col;
            if (c >= n) break;
            if (c >= nw) {
                if (isfree[c - nw] >= 0) *push(adj, cnt, adjmax) = isfree[c - nw];
                continue;
            }
            for (int32_t q = rows[c]; q; q = el[q].next) {
                const int32_t d = el[q].col;
                if (d >= n) break;
                if (d >= nw && isfree[d - nw] >= 0) *push(adj, cnt, adjmax) = isfree[d - nw];
            }
        }
    }
    ap[nf] = cnt;
    if (!adjmax) adj = growint(adj, adjmax = 1);  // AMD takes no null rows, even empty
#ifdef VELTO_NO_AMD
    const int32_t ok = 0;
#else
    const int32_t ok = nf == 0 || amd_order(nf, ap, adj, perm, nullptr, nullptr) >= AMD_OK;
#endif
    for (int32_t c = 0; c < nw; c++) os.lab[c] = c;
    if (ok) {
        for (int32_t i = 0; i < nn; i++)
            if (isfree[i] >= 0) freenode[isfree[i]] = i;
        int32_t next = nw;
        for (int32_t k = 0; k < nf; k++) os.lab[nw + freenode[perm[k]]] = next++;
        for (int32_t i = 0; i < nn; i++)
            if (isfree[i] < 0) os.lab[nw + i] = next++;
    }
    os.lab[n] = n;
    return ok;
}

// === relabelling ===
// Every row's columns through lab, its entries linked again in increasing
// label order; the words and heads that leaves are kept in os.
static void relabel(int32_t *rows, int32_t n) {
    for (int32_t k = 0; k < n; k++) {
        int32_t cnt = 0;
        for (int32_t e = rows[k]; e; e = el[e].next) *push(ents, cnt, entsmax) = e;
        for (int32_t q = 0; q < cnt; q++) el[ents[q]].col = os.lab[el[ents[q]].col];
        std::sort(ents, ents + cnt, [](int32_t a, int32_t b) { return el[a].col < el[b].col; });
        for (int32_t q = 0; q + 1 < cnt; q++) el[ents[q]].next = ents[q + 1];
        if (cnt) el[ents[cnt - 1]].next = 0;
        rows[k] = cnt ? ents[0] : 0;
    }
}

// === the calls of smatsolve ===
// 1 if the build relabelled last had these rows, columns and links: known
// when this one says so of it (B5)
static int32_t orderknown(const int32_t *rows, int32_t count, int32_t n) {
    return os.on && os.ofbuild && buildkin != BUILDNEW && os.build == buildcount - 1 && rows == yh &&
           count == elcnt && os.n == n && os.count == count;
}

static int32_t ordered(int32_t n) { return n >= ordermin && n == numwires + numnodes; }

int32_t orderkeeps(const int32_t *rows, int32_t count, int32_t n) {
    return !ordered(n) || orderknown(rows, count, n);
}

// 1 if order state o was made for the system of these rows and entries
static int32_t orderfor(const orderstate &o, const int32_t *rows, int32_t count, int32_t n) {
    if (!o.valid || o.n != n || o.nw != numwires || o.count != count ||
        memcmp(rows, o.heads, (size_t)n * sizeof(int32_t)))
        return 0;
    for (int32_t e = 0; e < count; e++)
        if (wordof(el[e]) != o.nat[e]) return 0;
    return 1;
}

// A structure other than the last trades the order for the one before: it
// may be this structure's (an undo, a switch flipping back), else the new
// order is made over it.
int32_t orderin(int32_t *rows, int32_t count, int32_t n, int32_t kept) {
    const int32_t known = orderknown(rows, count, n);
    os.on = 0;
    if (!ordered(n)) return 0;
    int32_t same = known || orderfor(os, rows, count, n);
    if (!same && os.valid) {
        std::swap(os, osbefore);
        os.on = 0;
        same = orderfor(os, rows, count, n);
    }
    if (!same) {
        os.valid = 0;
        if (n + 1 > os.nmax) {
            os.nmax = grownsize(os.nmax, n + 1);
            os.heads = growint(os.heads, os.nmax);
            os.oheads = growint(os.oheads, os.nmax);
            os.lab = growint(os.lab, os.nmax);
            os.diag = growint(os.diag, os.nmax);
        }
        if (count > os.countmax) {
            os.countmax = grownsize(os.countmax, count);
            os.nat = (uint64_t *)growmem(os.nat, (size_t)os.countmax * sizeof(uint64_t));
            os.ord = (uint64_t *)growmem(os.ord, (size_t)os.countmax * sizeof(uint64_t));
        }
        if (!nodeorder(rows, n, numwires)) return 0;
        os.n = n, os.nw = numwires, os.count = count;
        memcpy(os.heads, rows, (size_t)n * sizeof(int32_t));
        for (int32_t e = 0; e < count; e++) os.nat[e] = wordof(el[e]);
        relabel(rows, n);
        for (int32_t c = 0; c < n; c++) os.diag[os.lab[c]] = c;
        memcpy(os.oheads, rows, (size_t)n * sizeof(int32_t));
        for (int32_t e = 0; e < count; e++) os.ord[e] = wordof(el[e]);
        os.valid = 1;
    } else {
        if (!kept)
            for (int32_t e = 0; e < count; e++) putword(el[e], os.ord[e]);
        memcpy(rows, os.oheads, (size_t)n * sizeof(int32_t));
    }
    os.on = 1;
    os.ofbuild = rows == yh && count == elcnt;
    os.build = buildcount;
    return 1;
}

const int32_t *orderdiag(void) { return os.on ? os.diag : nullptr; }

void orderredo(void) {
    if (!os.on) return;
    for (int32_t e = 0; e < os.count; e++) putword(el[e], os.ord[e]);
}

// the solve left x_c in the first entry of rows[lab[c]]
static int32_t *outrows;   // [outmax] the heads in label order
static int32_t outmax;

void orderout(int32_t *rows, int32_t n) {
    outrows = (int32_t *)growto(outrows, &outmax, n, sizeof(int32_t));
    memcpy(outrows, rows, (size_t)n * sizeof(int32_t));
    for (int32_t c = 0; c < n; c++) rows[c] = outrows[os.lab[c]];
}
