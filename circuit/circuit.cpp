// circuit.cpp: the node and wire arrays with their companions, the growth
// rules and the editing primitives (merge, delete, split).
// Depends on circuit.h only. Nodes and wires are known by index; a deletion
// moves the last item into the hole, and the primitives keep every reference
// the model holds (depwire, ibodewire) pointing at the same item and tell the
// renumbering listener, so that references outside the model can follow.
#include "circuit/circuit.h"
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
renumfunc renumlistener = 0;

// === memory ===

void outofmemory(size_t bytes)
{
    fprintf(stderr, "velto: out of memory (%zu bytes wanted)\n", bytes);
    abort();
}

void *growmem(void *p, size_t bytes)
{
    void *q = realloc(p, bytes ? bytes : 1);
    if (!q) outofmemory(bytes);
    return q;
}

char *copytext(const char *s)
{
    if (!s) s = "";
    size_t n = strlen(s);
    char *p = (char *)growmem(0, n + 1);
    memcpy(p, s, n + 1);
    return p;
}

// === growth ===

// new capacity for slot n: 512 first, then doubling, or exactly n + 1
static int32_t growcap(int32_t cap, int32_t n)
{
    int64_t c = cap ? (int64_t)cap * 2 : (int64_t)CIRCUIT_FIRSTSLOTS;
    if (c <= n) c = (int64_t)n + 1;
    if (c > INT32_MAX) c = INT32_MAX;
    return (int32_t)c;
}

// p grown from oldn to newn items of size sz; the new tail is zeroed
static void *regrow(void *p, int32_t oldn, int32_t newn, size_t sz)
{
    char *q = (char *)growmem(p, (size_t)newn * sz);
    if (newn > oldn) memset(q + (size_t)oldn * sz, 0, (size_t)(newn - oldn) * sz);
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
        wire[i].numst = copytext("");
        wire[i].initst = copytext("");
    }
}

// === wire texts ===

// a fresh copy replaces the old text (s may point into it); null frees it
static void settext(char **field, const char *s)
{
    char *p = s ? copytext(s) : 0;
    free(*field);
    *field = p;
}

void wiresetnumst(int32_t i, const char *s) { settext(&wire[i].numst, s); }
void wiresetinitst(int32_t i, const char *s) { settext(&wire[i].initst, s); }

static void renumbered(int32_t kind, int32_t from, int32_t to)
{
    if (renumlistener) renumlistener(kind, from, to);
}

// === nodes ===

int32_t appendnode(int32_t x, int32_t y)
{
    checknumnodes(numnodes + 1);  // one spare for the loose end of a wire being drawn
    int32_t n = numnodes++;
    node[n].x = x;
    node[n].y = y;
    node[n].isgrounded = 0;
    node[n].selected = 0;
    dispv[n] = 0;
    return n;
}

int32_t nodeat(int32_t x, int32_t y)
{
    for (int32_t i = numnodes - 1; i >= 0; i--)
        if (node[i].x == x && node[i].y == y) return i;
    return -1;
}

int32_t putnode(int32_t x, int32_t y, int32_t grounded, double v)
{
    recalc = 3;
    int32_t i = nodeat(x, y);
    if (i >= 0) {
        node[i].isgrounded = (int8_t)(node[i].isgrounded | grounded);
        dispv[i] = v;
        return i;
    }
    int32_t n = appendnode(x, y);
    node[n].isgrounded = (int8_t)grounded;
    dispv[n] = v;
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
    renumbered(RENUMNODE, k, -1);
    if (l != k) renumbered(RENUMNODE, l, k);
}

void mergenode(int32_t a, int32_t b)
{
    if (a == b || !nodeexists(a) || !nodeexists(b)) return;
    for (int32_t i = 0; i < numwires; i++) {
        if (wire[i].node1 == a) wire[i].node1 = b;
        if (wire[i].node2 == a) wire[i].node2 = b;
    }
    node[b].isgrounded = (int8_t)(node[b].isgrounded | node[a].isgrounded);
    node[b].selected = (int8_t)(node[b].selected | node[a].selected);
    renumbered(RENUMNODE, a, b);
    deletenode(a);
}

// === wires ===

// 1 if a wire other than k uses node n
static int32_t nodeusedbyother(int32_t n, int32_t k)
{
    for (int32_t i = 0; i < numwires; i++)
        if (i != k && (wire[i].node1 == n || wire[i].node2 == n)) return 1;
    return 0;
}

// the wire depwire dep names (its ones' complement undone)
static int32_t depindex(int32_t dep) { return dep < 0 ? ~dep : dep; }

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

    // --- controls: k means none, l becomes k; indices as after the move ---
    for (int32_t j = l; j >= 0; j--) {
        int32_t dep = wire[j].depwire, d = depindex(dep), own = j == l ? k : j;
        int32_t keepsign = wire[j].element == 'S' && dep < 0;  // a switch keeps its inversion
        if (d == k) wire[j].depwire = keepsign ? ~own : own;
        else if (d == l) wire[j].depwire = dep < 0 ? ~k : k;
    }

    // --- move the last wire into the hole; the spare slot keeps valid texts ---
    numwires = l;
    wiretype t = wire[k];
    wire[k] = wire[l];
    wire[l] = t;
    wiresetnumst(l, "");
    wiresetinitst(l, "");

    if (ibodewire == k) ibodewire = -1;
    if (ibodewire == l) ibodewire = k;
    renumbered(RENUMWIRE, k, -1);
    if (l != k) renumbered(RENUMWIRE, l, k);
}

int32_t splitwire(int32_t c, int32_t n, int32_t side)
{
    if ((uint32_t)c >= (uint32_t)numwires || !nodeexists(n)) return -1;
    recalc = 3;
    checknumwires(numwires + 1);
    int32_t w = numwires;
    char *keepnum = wire[w].numst, *keepinit = wire[w].initst;
    wire[w] = wire[c];
    wire[w].numst = keepnum;
    wire[w].initst = keepinit;
    wiresetnumst(w, wire[c].numst ? wire[c].numst : "");
    wiresetinitst(w, wire[c].initst ? wire[c].initst : "");
    int32_t dep = wire[c].depwire;
    if (depindex(dep) == c) wire[w].depwire = dep < 0 ? ~w : w;  // own index stays own
    dispi[w] = 0;
    numwires = w + 1;

    // --- one half becomes a plain connection ---
    int32_t tee = side < 0 ? c : w, keep = side < 0 ? w : c;
    wire[tee].element = 'T';
    wire[tee].depwire = tee;
    wiresetnumst(tee, "1");
    wire[tee].value = 1.0;
    wiresetinitst(tee, "0");
    wire[c].node2 = n;
    wire[w].node1 = n;

    // --- what named the element follows it to the new wire ---
    if (keep == w) {
        for (int32_t j = 0; j < numwires; j++) {
            int32_t d = wire[j].depwire;
            if (j != c && j != w && depindex(d) == c) wire[j].depwire = d < 0 ? ~w : w;
        }
        if (ibodewire == c) ibodewire = w;
        renumbered(RENUMWIRE, c, w);
    }
    return w;
}

// === element names ===

int32_t elementname(int32_t w, char *buf, int32_t n)
{
    int32_t k = 1;
    for (int32_t j = 0; j < w; j++) k += wire[j].element == wire[w].element;
    return snprintf(buf, n, "%c%d", (char)wire[w].element, (int)k);
}
