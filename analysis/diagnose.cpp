// diagnose.cpp: the DC operating point solved (dcsolve) and, when it cannot
// be, why, in one sentence with the nodes and wires it names: a part that
// floats (nothing ties its voltage to ground), a loop of elements that fix
// voltages but not the current around it, current sources driving a part
// with no other way out, or a controlled source without its control.
// Structural: it looks at which elements tie node voltages together at DC,
// not at their values, and names only what is singular whatever the values:
// a loop or part that a controlled source follows is left to the solver's
// own verdict and the numeric check.
// Depends on the circuit arrays, growmem and the equations. The structure
// is linear in the circuit's size; the numeric check of a solve that passed
// it is cubic, for circuits of hand size only.
#include <float.h>
#include <math.h>
#include <stdio.h>
#include <string.h>
#include "analysis/analysis.h"
#include "circuit/circuit.h"

int32_t whykind = WHYNONE;
char whytext[WHYTEXTMAX] = "";
uint8_t *whynode = nullptr;
uint8_t *whywire = nullptr;

static int32_t *uf;        // [numnodes + 1] union-find parents; numnodes stands for ground
static int32_t *ufv;       // [numnodes + 1] the same over voltage-fixing wires only
static int32_t *qnode;     // [numnodes + 1] breadth-first queue
static int32_t *via;       // [numnodes + 1] wire that reached the place, -1 the start, -2 unseen
static int32_t *adjat;     // [numnodes + 2] first entry of each place in adjw
static int32_t *adjw;      // [2 * numwires] the voltage-fixing wires at each place
static int32_t whycap, whywcap;

// === element classes at DC ===
// Fixes the voltage between its nodes (its current follows from the rest):
// V, E, H, a connection T, a closed switch, an inductor (a short at DC), a
// resistor of exactly 0 ohms. A wire whose nodes do not exist does nothing.
static int32_t fixesvoltage(const wiretype &w) {
    if (!nodeexists(w.node1) || !nodeexists(w.node2)) return 0;
    switch (w.element) {
    case 'R': return w.value == 0;
    case 'V': case 'E': case 'H': case 'T': case 'L': return 1;
    case 'S': return switchclosed(w.depwire, w.value);
    default: return 0;
    }
}

// ties its node voltages through its own current: the above and a resistor
static int32_t tiesvoltage(const wiretype &w) {
    const int32_t e = w.element;
    return fixesvoltage(w) || ((e == 'R' || isnonlinear(e)) && nodeexists(w.node1) && nodeexists(w.node2));
}

static int32_t drivescurrent(const wiretype &w) {
    if (!nodeexists(w.node1) || !nodeexists(w.node2)) return 0;
    return w.element == 'I' || w.element == 'F' || w.element == 'G';
}

// === union-find ===
static int32_t root(int32_t *p, int32_t a) {
    while (p[a] != a) a = p[a] = p[p[a]];
    return a;
}

static void join(int32_t *p, int32_t a, int32_t b) { p[root(p, a)] = root(p, b); }

static void grow(void) {
    const int32_t n = numnodes + 1;
    if (n > whycap) {
        whycap = n;
        uf = (int32_t *)growmem(uf, (size_t)n * sizeof(int32_t));
        ufv = (int32_t *)growmem(ufv, (size_t)n * sizeof(int32_t));
        qnode = (int32_t *)growmem(qnode, (size_t)n * sizeof(int32_t));
        via = (int32_t *)growmem(via, (size_t)n * sizeof(int32_t));
        whynode = (uint8_t *)growmem(whynode, (size_t)n);
    }
    if (numwires + 1 > whywcap) {
        whywcap = numwires + 1;
        whywire = (uint8_t *)growmem(whywire, (size_t)whywcap);
        adjw = (int32_t *)growmem(adjw, (size_t)whywcap * 2 * sizeof(int32_t));
    }
    adjat = (int32_t *)growmem(adjat, ((size_t)numnodes + 2) * sizeof(int32_t));
    memset(whynode, 0, (size_t)n);
    memset(whywire, 0, (size_t)numwires + 1);
}

// === sentences ===
// "3", "3 and 5", "0, 2 and 5", "0, 2, 5, 7, 9, 11 and 4 more" from a flag array
// wires: "V1 (wire 0), T1 (wire 1) and L1 (wire 2)"
static void putlist(char *out, size_t siz, const uint8_t *flag, int32_t n, int32_t wires) {
    enum { SHOWN = 6 };
    int32_t total = 0, k = 0;
    for (int32_t i = 0; i < n; i++) total += flag[i];
    out[0] = 0;
    for (int32_t i = 0; i < n && k < SHOWN; i++) {
        if (!flag[i]) continue;
        size_t l = strlen(out);
        const char *sep = k == 0 ? "" : (k == total - 1 ? " and " : ", ");
        char name[16] = "";
        if (wires) elementname(i, name, sizeof name);
        if (wires) snprintf(out + l, siz - l, "%s%s (wire %d)", sep, name, (int)i);
        else snprintf(out + l, siz - l, "%s%d", sep, (int)i);
        k++;
    }
    if (total > SHOWN) {
        size_t l = strlen(out);
        snprintf(out + l, siz - l, " and %d more", (int)(total - SHOWN));
    }
}

static int32_t count(const uint8_t *flag, int32_t n) {
    int32_t c = 0;
    for (int32_t i = 0; i < n; i++) c += flag[i];
    return c;
}

// === the three structures ===

// a controlled source that names no control: the builder gives up on it
static int32_t findnocontrol(void) {
    for (int32_t m = 0; m < numwires; m++) {
        if (!iscontrolled(wire[m].element) || controlwire(m) >= 0) continue;
        whywire[m] = 1;
        char name[16];
        elementname(m, name, sizeof name);
        snprintf(whytext, WHYTEXTMAX, "%s (wire %d) has no controlling wire: drag from it to the wire it follows",
                 name, (int)m);
        return WHYNOCONTROL;
    }
    return WHYNONE;
}

// the end of wire w as a place: its node, or ground (numnodes) for any grounded node
static int32_t place(int32_t n) { return node[n].isgrounded ? numnodes : n; }

// the other end of wire w from place u, or -1 when w does not touch u
static int32_t across(int32_t w, int32_t u) {
    const int32_t a = place(wire[w].node1), b = place(wire[w].node2);
    return a == u ? b : b == u ? a : -1;
}

// adjat/adjw: for each place the voltage-fixing wires before wire m at it
static void adjacency(int32_t m) {
    const int32_t np = numnodes + 1;
    memset(adjat, 0, ((size_t)np + 1) * sizeof(int32_t));
    for (int32_t w = 0; w < m; w++)
        if (fixesvoltage(wire[w])) adjat[place(wire[w].node1) + 1]++, adjat[place(wire[w].node2) + 1]++;
    for (int32_t p = 0; p < np; p++) adjat[p + 1] += adjat[p];
    for (int32_t p = 0; p < np; p++) via[p] = adjat[p];  // fill positions
    for (int32_t w = 0; w < m; w++)
        if (fixesvoltage(wire[w])) adjw[via[place(wire[w].node1)]++] = w, adjw[via[place(wire[w].node2)]++] = w;
}

// marks in whywire the voltage-fixing wires before wire m that join places a
// and b (breadth first: the shortest such path)
static void markpath(int32_t m, int32_t a, int32_t b) {
    adjacency(m);
    for (int32_t i = 0; i <= numnodes; i++) via[i] = -2;
    int32_t head = 0, tail = 0;
    qnode[tail++] = a;
    via[a] = -1;
    while (head < tail && via[b] == -2) {
        const int32_t u = qnode[head++];
        for (int32_t k = adjat[u]; k < adjat[u + 1]; k++) {
            const int32_t o = across(adjw[k], u);
            if (o < 0 || via[o] != -2) continue;
            via[o] = adjw[k];
            qnode[tail++] = o;
        }
    }
    for (int32_t v = b; v != a && via[v] >= 0; v = across(via[v], v)) whywire[via[v]] = 1;
}

// A current circling the marked loop changes no equation unless a source
// follows the current of one of its wires (H or F): then it may be fixed
// after all, and the loop proves nothing.
static int32_t loopfollowed(void) {
    for (int32_t k = 0; k < numwires; k++) {
        const int32_t e = wire[k].element, c = controlwire(k);
        if ((e == 'H' || e == 'F') && c >= 0 && whywire[c]) return 1;
    }
    return 0;
}

// the first voltage-fixing wire that closes a loop of such wires, the loop
// marked; a loop whose current a source follows is passed over
static int32_t findloop(void) {
    const int32_t g = numnodes;
    for (int32_t i = 0; i <= g; i++) ufv[i] = i;
    for (int32_t i = 0; i < numnodes; i++)
        if (node[i].isgrounded) join(ufv, i, g);
    for (int32_t m = 0; m < numwires; m++) {
        if (!fixesvoltage(wire[m])) continue;
        const int32_t a = place(wire[m].node1), b = place(wire[m].node2);
        if (root(ufv, a) != root(ufv, b)) {
            join(ufv, a, b);
            continue;
        }
        whywire[m] = 1;
        if (a != b) markpath(m, a, b);
        if (!loopfollowed()) return WHYLOOP;
        memset(whywire, 0, (size_t)numwires + 1);
    }
    return WHYNONE;
}

static void loopsentence(void) {
    int32_t src = 0, conn = 0, ind = 0;
    for (int32_t m = 0; m < numwires; m++) {
        if (!whywire[m]) continue;
        const int32_t e = wire[m].element;
        src |= e == 'V' || e == 'E' || e == 'H';
        conn |= e == 'T' || e == 'S';
        ind |= e == 'L';
        conn |= e == 'R';  // of 0 ohms
    }
    const char *what[3];
    int32_t k = 0;
    if (src) what[k++] = "voltage sources";
    if (conn) what[k++] = "connections";
    if (ind) what[k++] = "inductors";
    char kinds[80] = "", list[200];
    for (int32_t i = 0; i < k; i++) {
        size_t l = strlen(kinds);
        snprintf(kinds + l, sizeof kinds - l, "%s%s", i == 0 ? "" : (i == k - 1 ? " and " : ", "), what[i]);
    }
    putlist(list, sizeof list, whywire, numwires, 1);
    const int32_t n = count(whywire, numwires);
    if (snprintf(whytext, WHYTEXTMAX, "%s %s a loop of %s: the current around it is undetermined", list,
                 n == 1 ? "forms" : "form", kinds) >= WHYTEXTMAX)
        memcpy(whytext + WHYTEXTMAX - 4, "...", 4);  // a long list cut short
}

// A common shift of the marked nodes' voltages changes no equation unless a
// source follows a voltage across the edge of the marked part (E or G):
// then they may be fixed after all, and the part proves nothing.
static int32_t floatfollowed(void) {
    for (int32_t k = 0; k < numwires; k++) {
        const int32_t e = wire[k].element, c = controlwire(k);
        if ((e == 'E' || e == 'G') && c >= 0 && whynode[wire[c].node1] != whynode[wire[c].node2]) return 1;
    }
    return 0;
}

// nodes that no resistor or voltage-fixing wire joins to ground; with the
// current sources that drive them, a cut no current can satisfy
static int32_t findfloat(void) {
    const int32_t g = numnodes;
    for (int32_t i = 0; i <= g; i++) uf[i] = i;
    for (int32_t i = 0; i < numnodes; i++)
        if (node[i].isgrounded) join(uf, i, g);
    for (int32_t m = 0; m < numwires; m++)
        if (tiesvoltage(wire[m])) join(uf, wire[m].node1, wire[m].node2);
    int32_t any = 0;
    for (int32_t i = 0; i < numnodes; i++) any |= whynode[i] = root(uf, i) != root(uf, g);
    if (any && floatfollowed()) memset(whynode, 0, (size_t)numnodes), any = 0;
    if (!any) return WHYNONE;
    int32_t cut = 0;
    for (int32_t m = 0; m < numwires; m++) {
        const wiretype &w = wire[m];
        if (drivescurrent(w) && whynode[w.node1] != whynode[w.node2]) cut = whywire[m] = 1;
    }
    return cut ? WHYCUT : WHYFLOAT;
}

static void floatsentence(int32_t kind) {
    char nodes[96], wires[200];
    const int32_t nn = count(whynode, numnodes), nw = count(whywire, numwires);
    putlist(nodes, sizeof nodes, whynode, numnodes, 0);
    putlist(wires, sizeof wires, whywire, numwires, 1);
    if (kind == WHYFLOAT)
        snprintf(whytext, WHYTEXTMAX, "%s %s %s: nothing ties %s to ground", nn == 1 ? "Node" : "Nodes", nodes,
                 nn == 1 ? "floats" : "float", nn == 1 ? "its voltage" : "their voltages");
    else if (snprintf(whytext, WHYTEXTMAX, "%s %s current into %s %s, which %s no other way out", wires,
                      nw == 1 ? "drives" : "drive", nn == 1 ? "node" : "nodes", nodes, nn == 1 ? "has" : "have") >=
             WHYTEXTMAX)
        memcpy(whytext + WHYTEXTMAX - 4, "...", 4);  // a long list cut short
}

// === the numeric check ===
// The built DC system eliminated again on a dense copy, each entry carrying
// the size of the terms it was computed from: a pivot below 4 eps of that
// size is a cancellation to zero, so the system is singular whatever
// rounding made of it, while a pivot that is small only because its terms
// are small stands. Only for NUMCHECKMAX unknowns or fewer; dcsolve keeps
// the built entries for it before the solve works on them.
enum { NUMCHECKMAX = 200 };
static double *dval, *dsize;  // [n * (n + 1)] the dense copy and its terms' sizes
static sparsel *kept;         // the built entries and row heads, as initmat left them
static int32_t *keptrows, keptcap, keptrowcap;

static int32_t eliminate(int32_t n) {
    const int32_t w = n + 1;
    for (int32_t c = 0; c < n; c++) {
        int32_t p = -1;
        for (int32_t r = c; r < n; r++) {
            const double a = fabs(dval[r * w + c]);
            if (a > 4 * DBL_EPSILON * dsize[r * w + c] && (p < 0 || a > fabs(dval[p * w + c]))) p = r;
        }
        if (p < 0) return c;
        for (int32_t j = 0; j < w && p != c; j++) {
            double t = dval[p * w + j];
            dval[p * w + j] = dval[c * w + j], dval[c * w + j] = t;
            t = dsize[p * w + j], dsize[p * w + j] = dsize[c * w + j], dsize[c * w + j] = t;
        }
        const double piv = fabs(dval[c * w + c]);
        for (int32_t r = c + 1; r < n; r++) {
            const double f = dval[r * w + c] / dval[c * w + c];
            if (f == 0) continue;
            // the multiplier is as uncertain as its entry and the pivot were
            const double fsize = (dsize[r * w + c] + fabs(f) * dsize[c * w + c]) / piv;
            for (int32_t j = c; j < w; j++) {
                dval[r * w + j] -= f * dval[c * w + j];
                const double t = fmax(fabs(f) * dsize[c * w + j], fsize * fabs(dval[c * w + j]));
                if (t > dsize[r * w + j]) dsize[r * w + j] = t;
            }
        }
    }
    return -1;
}

// -1 when every column of the kept system has a pivot, else the first
// column without one
static int32_t numericcheck(void) {
    const int32_t n = numwires + numnodes, w = n + 1;
    if (n > NUMCHECKMAX) return -1;
    dval = (double *)growmem(dval, (size_t)n * w * sizeof(double));
    dsize = (double *)growmem(dsize, (size_t)n * w * sizeof(double));
    memset(dval, 0, (size_t)n * w * sizeof(double));
    for (int32_t r = 0; r < n; r++)
        for (int32_t k = keptrows[r]; k; k = kept[k].next) dval[r * w + kept[k].col] = kept[k].re;
    for (int32_t i = 0; i < n * w; i++) dsize[i] = fabs(dval[i]);
    return eliminate(n);
}

// === entry ===

// code: the solver's verdict; nocheck 1: report only a fault of the structure
// (SOLVED when there is none)
static int32_t dcdiagnose(int32_t code, int32_t nocheck = 0) {
    grow();
    whykind = WHYNONE;
    whytext[0] = 0;
    if (numnodes + numwires == 0) return code;
    if ((whykind = findnocontrol()) != WHYNONE) return SOLVEEMPTY;
    // the solver's own finding decides which structure is named first
    const int32_t loopfirst = code == SOLVEWIRE;
    int32_t kind = loopfirst ? findloop() : findfloat();
    if (kind == WHYNONE) {
        memset(whywire, 0, (size_t)numwires + 1);
        kind = loopfirst ? findfloat() : findloop();
    }
    whykind = kind;
    if (kind == WHYLOOP) loopsentence();
    if (kind == WHYFLOAT || kind == WHYCUT) floatsentence(kind);
    if (kind == WHYLOOP) return SOLVEWIRE;
    if (kind != WHYNONE) return SOLVENODE;
    if (nocheck) return SOLVED;
    if (code == SOLVED) {  // a solve that only rounding let through
        const int32_t c = numericcheck();
        if (c < 0) return SOLVED;
        code = c < numwires ? SOLVEWIRE : SOLVENODE;
    }
    whykind = WHYNUMERIC;
    snprintf(whytext, WHYTEXTMAX, "The equations are singular: %s",
             code == SOLVEWIRE ? "a wire current is undetermined" : "a node voltage is undetermined");
    return code;
}

// the build as it stands, for the numeric check of hand-sized systems
static void keepbuild(void) {
    const int32_t n = numwires + numnodes;
    if (n > NUMCHECKMAX) return;
    if (elcnt > keptcap) keptcap = elcnt, kept = (sparsel *)growmem(kept, (size_t)elcnt * sizeof(sparsel));
    if (n > keptrowcap) keptrowcap = n, keptrows = (int32_t *)growmem(keptrows, (size_t)n * sizeof(int32_t));
    memcpy(kept, el, (size_t)elcnt * sizeof(sparsel));
    if (n) memcpy(keptrows, yh, (size_t)n * sizeof(int32_t));
}

// A nonlinear circuit whose structure is sound but whose iteration failed:
// the diode text that does not read, or the elements that moved most.
static int32_t nonlinearwhy(int32_t code) {
    memset(whynode, 0, (size_t)numnodes + 1);
    memset(whywire, 0, (size_t)numwires + 1);
    char list[WHYTEXTMAX - 64];
    if (code == SOLVEBADMODEL) {
        int32_t m;
        const char *why = nlbadtext(&m);
        whywire[m] = 1;
        putlist(list, sizeof list, whywire, numwires, 1);
        whykind = WHYMODEL;
        if (snprintf(whytext, WHYTEXTMAX, "%s: %s", list, why) >= WHYTEXTMAX) whytext[WHYTEXTMAX - 1] = 0;
        return code;
    }
    nlworst(whywire, 2);
    putlist(list, sizeof list, whywire, numwires, 1);
    whykind = WHYNOCONV;
    if (snprintf(whytext, WHYTEXTMAX, "No DC solution: the iteration did not converge (%s changing most)", list) >=
        WHYTEXTMAX)
        whytext[WHYTEXTMAX - 1] = 0;
    return code;
}

int32_t dcsolve(void) {
    if (!nlcollect()) {
        initmat(0, 0, 0);
        keepbuild();
        return dcdiagnose(smatsolve_real(yh, el, elcnt, pivorder, numwires + numnodes));
    }
    const int32_t r = nlsolve(0, 0, keepbuild);
    if (r == SOLVED) nlkeepop();
    if (r != SOLVENOCONV && r != SOLVEBADMODEL) return dcdiagnose(r);
    const int32_t d = dcdiagnose(SOLVED, 1);  // a fault of the structure comes first
    return d != SOLVED ? d : nonlinearwhy(r);
}
