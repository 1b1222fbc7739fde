// editwire.cpp: the hover state of the editor, the hit
// tests on the screen, and the editor's side of drawing wires: inserting a
// node under the mouse and stamping the wire being drawn.
// Depends on edit.h and the circuit model. The wire being drawn lives in slot
// numwires and its loose end in node slot numnodes, one past the counted
// ends; what appends to the model first lifts them out of the way.
#include "circuit/circuit.h"
#include "edit/edit.h"
#include <math.h>

// === hover and drawing state ===
int32_t curn = -1;
int32_t curw = -1;
int32_t curside = 0;
int32_t mousexquant = 0;  // start-up places these at the grid centre under the mouse
int32_t mouseyquant = 0;
int32_t drawwiremode = 0;

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
        if (dx * dx + dy * dy <= HITDIST * HITDIST) return i;
    }
    return -1;
}

// screen end points of wire w as the hit tests see them, and D = P2 - P1
static void wireends(int32_t w, double *x1, double *y1, double *dx, double *dy)
{
    float ax, ay, bx, by;
    nodescreen(wire[w].node1, &ax, &ay);
    nodescreen(wire[w].node2, &bx, &by);
    *x1 = ax, *y1 = ay, *dx = (double)bx - ax, *dy = (double)by - ay;
}

int32_t findwire(int32_t sx, int32_t sy)
{
    int32_t best = -1;
    double bestd = HITDIST * HITDIST;  // squared pixels
    for (int32_t i = numwires - 1; i >= 0; i--) {
        if (!nodeexists(wire[i].node1) || !nodeexists(wire[i].node2)) continue;
        double p1x, p1y, dx, dy;
        wireends(i, &p1x, &p1y, &dx, &dy);
        double len2 = dx * dx + dy * dy;
        if (len2 == 0.0) continue;
        if (wirenext[i] != 0) {  // parallel wires are drawn WIREBOW px apart
            double m = WIREBOW * wirenext[i] / sqrt(len2);
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

// === hover state ===

// the element symbol sits mid-wire, shifted sideways by WIREBOW px per wirenext
// step along (D.y, -D.x) / |D|; the renderer places it from fsxoff, fsyoff
void wiremidpoint(int32_t w, double *mx, double *my)
{
    const nodetype &a = node[wire[w].node1], &b = node[wire[w].node2];
    double x1 = screenx(a.x), y1 = screeny(a.y);
    double dx = screenx(b.x) - x1, dy = screeny(b.y) - y1;
    double len = sqrt(dx * dx + dy * dy), m = len > 0 ? WIREBOW * wirenext[w] / len : 0;
    *mx = x1 + dx * 0.5 + dy * m;
    *my = y1 + dy * 0.5 - dx * m;
}

// world units v, grid-snapped in grid mode
static int32_t quantise(int32_t v) { return vopts.gridmode ? (v & ~31) + 16 : v; }  // centre of the 32-unit cell

void findhover(void)
{
    mousexquant = quantise(worldx(mousx));
    mouseyquant = quantise(worldy(mousy));
    curn = findnode(mousx, mousy);
    curw = findwire(mousx, mousy);
    closetoelement = 0;
    if (curw < 0) return;
    double x1, y1, dx, dy;
    wireends(curw, &x1, &y1, &dx, &dy);
    // (2 mouse - P1 - P2) . D < 0: the mouse projects onto the node1 half
    double along = (2.0 * mousx - 2 * x1 - dx) * dx + (2.0 * mousy - 2 * y1 - dy) * dy;
    curside = along < 0 ? -1 : 0;
    if (curn >= 0) return;
    double mx, my;
    wiremidpoint(curw, &mx, &my);
    closetoelement = (mousx - mx) * (mousx - mx) + (mousy - my) * (mousy - my) < HITDIST * HITDIST;
}

// === the wire being drawn ===

// moves the wire being drawn and its loose end one slot up, so that a split
// can take wire slot numwires and node slot numnodes
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
    splitwire(curw, appendnode(mousexquant, mouseyquant), curside);
    return 1;
}

// an empty value text becomes the element's default ("0" for a switch, "1"
// for most); the value of a diode or N element is its text, the number unused
void defaultnumst(int32_t w)
{
    if (wire[w].numst && wire[w].numst[0]) return;
    int32_t e = wire[w].element;
    wiresetnumst(w, elementdefault(e));
    wire[w].value = e == 'S' || isnonlinear(e) ? 0.0 : 1.0;
}

// the wire being drawn ends at node end and joins the counted wires
int32_t stampwire(int32_t end)
{
    int32_t p = numwires;
    checknumwires(p + 2);  // the next wire being drawn keeps a slot
    wire[p].node2 = end;
    defaultnumst(p);
    wiresetinitst(p, "");
    numwires = p + 1;
    recalc = 3;
    return p;
}

void startwire(int32_t a, int32_t letter)
{
    checknumwires(numwires + 1);
    checknumnodes(numnodes + 1);
    int32_t p = numwires, e = numnodes;
    wire[p].node1 = a;
    wire[p].node2 = e;
    wire[p].element = letter;
    wire[p].depwire = p;
    wiresetnumst(p, "");
    wiresetinitst(p, "");
    wire[p].value = 0;
    dispi[p] = 0;
    node[e].x = mousexquant, node[e].y = mouseyquant;  // the loose end follows the mouse
    node[e].isgrounded = node[e].selected = 0;
    drawwiremode = 1;
    recalc = 3;
}

// a wire ended on its own start node would join the node to itself, where it
// is neither seen nor hit and a source makes the circuit unsolvable: it is
// dropped as if cancelled
int32_t endrawiremode(void)
{
    if (drawwiremode == 0) return -1;
    // zoomed in, a node can lie in the mouse's grid cell but off the mouse
    int32_t at = curn >= 0 ? curn : nodeat(mousexquant, mouseyquant);
    if (at >= 0 && at == wire[numwires].node1) {
        cancelwire();
        return -1;
    }
    drawwiremode = 0;
    checknumnodes(numnodes + 1);
    int32_t p = stampwire(at >= 0 ? at : appendnode(mousexquant, mouseyquant));  // takes the loose end's slot
    if (curw >= 0 && at < 0 && curw < p) splitwire(curw, wire[p].node2, curside);
    return p;
}

void cancelwire(void)
{
    if (!drawwiremode) return;
    drawwiremode = 0;
    recalc = 3;
    int32_t a = wire[numwires].node1;
    for (int32_t i = 0; i < numwires; i++)
        if (wire[i].node1 == a || wire[i].node2 == a) return;
    deletenode(a);  // the start node was made for this wire alone
}

// === renumbering ===

// The value entry follows its wire; a deleted wire closes it unwritten.
void editrenumber(int32_t kind, int32_t from, int32_t to)
{
    if (kind == RENUMWIRE && getstringmode >= 0 && curw == from) {
        curw = to;
        if (to < 0) getstringmode = -1;
    }
    undorenumber(kind, from, to);
    plotrenumber(kind, from, to);
}

// === a new or loaded circuit ===

void editorreload(void)
{
    drawwiremode = 0;
    curn = curw = -1;
    grabnode = grabrect = depwiremode = curtypewire = -1;
    getstringmode = -1;  // an open entry named a wire of the old circuit
    plotprune();
    recalc = 3;
}

void editorreset(void)
{
    viewreset();
    numplots = 0;
    editorreload();
}
