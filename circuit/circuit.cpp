// circuit.cpp: the node and wire arrays with their companions, the growth
// rules, the hit tests and the editing primitives (merge, delete, split, stamp).
// Depends on the view and hover state and the plot-window list of ui.h.
// Nodes and wires are known by index only; a deletion moves the last item into
// the hole, and the primitives keep every reference (depwire, ibodewire, plot
// probes) pointing at the same item. Memory exhaustion is not detected.
#include "circuit/circuit.h"
#include "ui/ui.h"
#include <math.h>
#include <stdlib.h>
#include <string.h>

// === arrays ===
nodetype *node = 0;
int32_t numnodes = 0, numnodesmax = 0;
double *dispv = 0;
wiretype *wire = 0;
int32_t numwires = 0, numwiresmax = 0;
double *dispi = 0;
int32_t *wirenext = 0;
int32_t *yh = 0;
int32_t *pivorder = 0;
double *capindval = 0;
double *ocapindval = 0;

// === circuit-wide state ===
int32_t ibodewire = -1;
int32_t ibodeflip = 0;
int32_t recalc = 0;

// === growth ===

// new capacity for slot n: 512 first, then doubling, or exactly n + 1
static int32_t growcap(int32_t cap, int32_t n)
{
    int64_t c = cap ? (int64_t)cap * 2 : (int64_t)CIRCUIT_FIRSTSLOTS;
    if (c <= n) c = (int64_t)n + 1;
    if (c > INT32_MAX) c = INT32_MAX;
    return (int32_t)c;
}

// reallocates p from oldn to newn items of size sz; the new tail is zeroed
static void *regrow(void *p, int32_t oldn, int32_t newn, size_t sz)
{
    char *q = (char *)realloc(p, (size_t)newn * sz);
    if (q && newn > oldn) memset(q + (size_t)oldn * sz, 0, (size_t)(newn - oldn) * sz);
    return q;
}

// the equation arrays are sized by both capacities
static void regrowequations(int32_t oldsum, int32_t newsum)
{
    yh = (int32_t *)regrow(yh, oldsum + 1, newsum + 1, sizeof(int32_t));
    pivorder = (int32_t *)regrow(pivorder, oldsum, newsum, sizeof(int32_t));
}

void checknumnodes(int32_t n)
{
    if (n < numnodesmax) return;
    int32_t o = numnodesmax;
    numnodesmax = growcap(o, n);
    node = (nodetype *)regrow(node, o, numnodesmax, sizeof(nodetype));
    dispv = (double *)regrow(dispv, o, numnodesmax, sizeof(double));
    regrowequations(o + numwiresmax, numnodesmax + numwiresmax);
}

void checknumwires(int32_t n)
{
    if (n < numwiresmax) return;
    int32_t o = numwiresmax;
    numwiresmax = growcap(o, n);
    wire = (wiretype *)regrow(wire, o, numwiresmax, sizeof(wiretype));
    dispi = (double *)regrow(dispi, o, numwiresmax, sizeof(double));
    wirenext = (int32_t *)regrow(wirenext, o, numwiresmax, sizeof(int32_t));
    capindval = (double *)regrow(capindval, o, numwiresmax, sizeof(double));
    ocapindval = (double *)regrow(ocapindval, o, numwiresmax, sizeof(double));
    regrowequations(numnodesmax + o, numnodesmax + numwiresmax);
    for (int32_t i = o; i < numwiresmax; i++) {  // fresh texts, never inherited
        wire[i].numst = (char *)calloc(1, 1);
        wire[i].initst = (char *)calloc(1, 1);
    }
}

// === wire texts ===

// a fresh copy replaces the old text (s may point into it)
static void settext(char **field, const char *s)
{
    char *p = 0;
    if (s) {
        size_t n = strlen(s);
        p = (char *)malloc(n + 1);
        memcpy(p, s, n + 1);
    }
    free(*field);
    *field = p;
}

void wiresetnumst(int32_t i, const char *s) { settext(&wire[i].numst, s); }
void wiresetinitst(int32_t i, const char *s) { settext(&wire[i].initst, s); }

static const char *textor(const char *s) { return s ? s : ""; }

// === hit tests ===

// screen position of node i in single precision, as the renderer draws it
static void nodescreen(int32_t i, float *sx, float *sy)
{
    *sx = (float)node[i].x * fsscale + (float)isxoff;
    *sy = (float)node[i].y * fsscale + (float)isyoff;
}

int32_t findnode(int32_t sx, int32_t sy)
{
    for (int32_t i = 0; i < numnodes; i++) {
        float px, py;
        nodescreen(i, &px, &py);
        float fx = px - (float)sx, fy = py - (float)sy;
        if (!(fabsf(fx) < 25.f && fabsf(fy) < 25.f)) continue;  // also keeps the casts defined
        int32_t dx = (int32_t)fx, dy = (int32_t)fy;                // truncated towards zero
        if (dx * dx + dy * dy <= 576) return i;
    }
    return -1;
}

static int32_t validnode(int32_t n) { return (uint32_t)n < (uint32_t)numnodes; }

int32_t findwire(int32_t sx, int32_t sy)
{
    int32_t best = -1;
    double bestd = 576.0;  // squared pixels
    for (int32_t i = numwires - 1; i >= 0; i--) {
        if (!validnode(wire[i].node1) || !validnode(wire[i].node2)) continue;
        float f1x, f1y, f2x, f2y;
        nodescreen(wire[i].node1, &f1x, &f1y);
        nodescreen(wire[i].node2, &f2x, &f2y);
        double p1x = f1x, p1y = f1y, dx = (double)f2x - p1x, dy = (double)f2y - p1y;
        double len2 = dx * dx + dy * dy;
        if (len2 == 0.0) continue;
        if (wirenext[i] != 0) {  // parallel wires are drawn 12 px apart
            double m = 12.0 * wirenext[i] / sqrt(len2);
            p1x += dy * m;
            p1y -= dx * m;
        }
        double rx = sx - p1x, ry = sy - p1y;
        double s = rx * dx + ry * dy;
        if (!(s >= 0.0 && s <= len2)) continue;  // foot of the perpendicular off the segment
        double c = dy * rx - dx * ry;            // distance^2 = c^2 / len2
        if (bestd * len2 > c * c) {
            best = i;
            bestd = c * c / len2;
        }
    }
    return best;
}

// === plot probes follow renumbering ===

static int32_t isprobe(int32_t p) { return plot[p].kind == PLOT_BODE || plot[p].kind == PLOT_TRANS; }

// closes the windows that probe node k and renames probes of node l to k
static void plotsdropnode(int32_t k, int32_t l)
{
    for (int32_t p = numplots - 1; p >= 0; p--)
        if (isprobe(p) && plot[p].plotsense == 0 && plot[p].plotwire == k) removeplot(p);
    for (int32_t p = 0; p < numplots; p++)
        if (isprobe(p) && plot[p].plotsense == 0 && plot[p].plotwire == l) plot[p].plotwire = k;
}

// closes the windows that probe wire k or take it as Bode input; renames l to k
static void plotsdropwire(int32_t k, int32_t l)
{
    for (int32_t p = numplots - 1; p >= 0; p--) {
        if (!isprobe(p)) continue;
        int32_t probe = plot[p].plotsense != 0 && plot[p].plotwire == k;
        int32_t input = plot[p].kind == PLOT_BODE && plot[p].inwire == k;
        if (probe || input) removeplot(p);
    }
    if (k == l) return;
    for (int32_t p = 0; p < numplots; p++) {
        if (!isprobe(p)) continue;
        if (plot[p].plotsense != 0 && plot[p].plotwire == l) plot[p].plotwire = k;
        if (plot[p].kind != PLOT_BODE) continue;
        if (plot[p].inwire == l) plot[p].inwire = k;
        if (plot[p].idwire == l) plot[p].idwire = k;
    }
}

// === editing primitives ===

int32_t putnode(int32_t x, int32_t y, int32_t grounded, double v)
{
    recalc = 3;
    for (int32_t i = numnodes - 1; i >= 0; i--) {
        if (node[i].x != x || node[i].y != y) continue;
        node[i].isgrounded = (int8_t)(node[i].isgrounded | grounded);
        dispv[i] = v;
        return i;
    }
    checknumnodes(numnodes + 1);  // one spare for the loose end of a wire being drawn
    int32_t n = numnodes;
    node[n].x = x;
    node[n].y = y;
    node[n].isgrounded = (int8_t)grounded;
    node[n].selected = 0;
    dispv[n] = v;
    numnodes++;
    return n;
}

void deletenode(int32_t k)
{
    if ((uint32_t)k >= (uint32_t)numnodes) return;
    recalc = 3;
    int32_t l = --numnodes;
    for (int32_t i = 0; i < numwires; i++) {
        if (wire[i].node1 == l) wire[i].node1 = k;
        if (wire[i].node2 == l) wire[i].node2 = k;
    }
    node[k] = node[l];
    plotsdropnode(k, l);
}

// 1 if a wire other than k uses node n
static int32_t nodeusedbyother(int32_t n, int32_t k)
{
    for (int32_t i = 0; i < numwires; i++)
        if (i != k && (wire[i].node1 == n || wire[i].node2 == n)) return 1;
    return 0;
}

void deletewire(int32_t k)
{
    if ((uint32_t)k >= (uint32_t)numwires) return;
    int32_t l = numwires - 1;
    recalc = 3;

    // --- nodes that only wire k used ---
    int32_t n1 = wire[k].node1, selfloop = (n1 == wire[k].node2);
    if (!nodeusedbyother(n1, k)) deletenode(n1);
    int32_t n2 = wire[k].node2;  // read afresh: the deletion may have renumbered it
    if (!selfloop && !nodeusedbyother(n2, k)) deletenode(n2);

    // --- controlled sources: k means none, l becomes k ---
    for (int32_t j = l; j >= 0; j--) {
        int32_t dep = wire[j].depwire, d = dep < 0 ? ~dep : dep;
        int32_t keepsign = wire[j].element == 'S' && dep < 0;  // a switch keeps its inversion
        if (d == k) wire[j].depwire = keepsign ? ~j : j;
        else if (d == l && k != l) wire[j].depwire = dep < 0 ? ~k : k;
    }

    plotsdropwire(k, l);

    // --- move the last wire into the hole; the spare slot keeps valid texts ---
    numwires = l;
    wiretype t = wire[k];
    wire[k] = wire[l];
    wire[l] = t;
    wiresetnumst(l, "");
    wiresetinitst(l, "");

    if (ibodewire == k) ibodewire = -1;
    if (ibodewire == l) ibodewire = k;
}

// splits wire curw at node n into curw (old node1 .. n) and a new wire
// (n .. old node2); the half under the mouse becomes a plain connection
static void splitwire(int32_t n)
{
    int32_t w = numwires, c = curw;
    char *keepnum = wire[w].numst, *keepinit = wire[w].initst;
    wire[w] = wire[c];
    wire[w].numst = keepnum;
    wire[w].initst = keepinit;
    wiresetnumst(w, textor(wire[c].numst));
    wiresetinitst(w, textor(wire[c].initst));
    int32_t dep = wire[c].depwire;
    if ((dep < 0 ? ~dep : dep) == c) wire[w].depwire = dep < 0 ? ~w : w;  // own index stays own
    dispi[w] = 0;

    int32_t a = curside < 0 ? c : w;
    wire[a].element = 'T';
    wire[a].depwire = a;
    wiresetnumst(a, "1");
    wire[a].value = 1.0;
    wiresetinitst(a, "0");

    wire[c].node2 = n;
    wire[w].node1 = n;
    numwires = w + 1;
}

// appends a node at the mouse with both flags 0 and voltage 0
static int32_t appendmousenode(void)
{
    int32_t n = numnodes;
    node[n].x = mousexquant;
    node[n].y = mouseyquant;
    node[n].isgrounded = 0;
    node[n].selected = 0;
    dispv[n] = 0;
    numnodes++;
    return n;
}

// while a wire is being drawn, moves it and its loose end one slot up so the
// split can take slot numwires and node slot numnodes
static void liftdrawnwire(void)
{
    checknumnodes(numnodes + 2);
    checknumwires(numwires + 2);
    int32_t p = numwires;
    node[numnodes + 1] = node[numnodes];
    if (wire[p].node2 == numnodes) wire[p].node2 = numnodes + 1;
    wiretype t = wire[p + 1];
    wire[p + 1] = wire[p];
    wire[p] = t;
}

int32_t insertnode(void)
{
    checknumnodes(numnodes + 1);
    checknumwires(numwires + 1);
    if (curw < 0 || curn >= 0 || curw >= numwires) return 0;
    recalc = 3;
    if (drawwiremode) liftdrawnwire();
    int32_t n = appendmousenode();
    if (curside < 0 && ibodewire == curw) ibodewire = numwires;  // the element moves on
    splitwire(n);
    return 1;
}

int32_t endrawiremode(void)
{
    if (drawwiremode == 0) return -1;
    drawwiremode = 0;
    recalc = 3;
    checknumwires(numwires + 2);
    checknumnodes(numnodes + 1);
    int32_t p = numwires;
    wire[p].node2 = curn >= 0 ? curn : appendmousenode();
    if (!wire[p].numst || !wire[p].numst[0]) {
        int32_t sw = wire[p].element == 'S';
        wiresetnumst(p, sw ? "0" : "1");
        wire[p].value = sw ? 0.0 : 1.0;
    }
    wiresetinitst(p, "");
    numwires++;
    if (curw >= 0 && curn < 0 && curw < p) {
        if (curside < 0 && ibodewire == curw) ibodewire = numwires;  // as insertnode
        splitwire(wire[p].node2);
    }
    return p;
}
