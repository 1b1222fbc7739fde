// editwire.cpp: the view transform and hover state of the editor, the hit
// tests on the screen, and the editor's side of drawing wires: inserting a
// node under the mouse and stamping the wire being drawn.
// Depends on ui.h and the circuit model. The wire being drawn lives in slot
// numwires and its loose end in node slot numnodes, one past the counted
// ends; what appends to the model first lifts them out of the way.
#include "circuit/circuit.h"
#include "ui/ui.h"
#include <math.h>

// === view transform ===
float fsscale = 1.f;
float frscale = 1.f;
int32_t ilscale = 0;
float fsxoff = 0.f, fsyoff = 0.f;
int32_t isxoff = 0, isyoff = 0;

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
        if (dx * dx + dy * dy <= 576) return i;
    }
    return -1;
}

int32_t findwire(int32_t sx, int32_t sy)
{
    int32_t best = -1;
    double bestd = 576.0;  // squared pixels
    for (int32_t i = numwires - 1; i >= 0; i--) {
        if (!nodeexists(wire[i].node1) || !nodeexists(wire[i].node2)) continue;
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

int32_t endrawiremode(void)
{
    if (drawwiremode == 0) return -1;
    drawwiremode = 0;
    recalc = 3;
    checknumwires(numwires + 2);
    checknumnodes(numnodes + 1);
    int32_t p = numwires;
    wire[p].node2 = curn >= 0 ? curn : appendnode(mousexquant, mouseyquant);  // takes the loose end's slot
    if (!wire[p].numst || !wire[p].numst[0]) {
        int32_t sw = wire[p].element == 'S';
        wiresetnumst(p, sw ? "0" : "1");
        wire[p].value = sw ? 0.0 : 1.0;
    }
    wiresetinitst(p, "");
    numwires++;
    if (curw >= 0 && curn < 0 && curw < p) splitwire(curw, wire[p].node2, curside);
    return p;
}

// === a new or loaded circuit ===

void editorreset(void)
{
    fsxoff = fsyoff = 0;
    isxoff = isyoff = 0;
    fsscale = frscale = 1;
    ilscale = 0;
    drawwiremode = 0;
    curn = curw = -1;
    grabnode = grabrect = depwiremode = curtypewire = -1;
    numplots = 0;
    recalc = 3;
}
