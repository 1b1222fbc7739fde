// editor.cpp: the editor's input: mouse and keys turned into edits of the
// circuit (drawing, renaming, typing values, dragging, merging, selecting,
// deleting), the zoom, the plot probes, the program-wide keys of mykeyread
// and the side offsets of parallel wires. Depends on edit.h, the model and the
// expressions. Indices held across keys (the wire typed into, the node
// dragged) are checked before use: every deletion renumbers.
#include "circuit/circuit.h"
#include "expr/expr.h"
#include "edit/edit.h"
#include <ctype.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

int32_t closetoelement = 0;
int32_t grabnode = -1;
int32_t grabrect = -1;
int32_t grabx0 = 0, graby0 = 0, grabx1 = 0, graby1 = 0;
int32_t depwiremode = -1;
int32_t curtypewire = -1;

enum { MERGEDIST2 = 576 };  // dropped nodes closer than 24 world units merge
enum { TYPEDMAX = 127 };    // characters a directly typed value holds at most

static int32_t grabmoved = 0;  // 1 once the dragged nodes moved
static int32_t leftseen = 0;   // 1 while the left button held went down in the editor


// what the hit tests see is stale after an edit: refresh it
static void settle(void)
{
    if (recalc & 2) {
        recalc &= ~2;
        calcwirenext();
    }
    findhover();
}

// === view ===

// zoom by 2^steps within 1/8..8; the world point under the mouse stays there:
// off' = m + (off - m) * frscale * fsscale'
void zoomview(int32_t steps)
{
    int32_t l = ilscale + steps;
    l = l < -3 ? -3 : l > 3 ? 3 : l;
    float s = l >= 0 ? (float)(1 << l) : 1.f / (float)(1 << -l);
    float fx = (float)mousx, fy = (float)mousy;
    fsxoff = fx + (fsxoff - fx) * frscale * s;
    fsyoff = fy + (fsyoff - fy) * frscale * s;
    isxoff = (int32_t)fsxoff;
    isyoff = (int32_t)fsyoff;
    ilscale = l;
    fsscale = s;
    frscale = 1.f / s;
}

// === the wheel: zoom, and tuning a value ===
// Over the schematic a notch is one zoom step. With Shift, over an element
// whose value is a plain number, a notch steps it through a series: R, L
// and C through E12 (1, 1.2 .. 8.2 times a power of ten), sources and gains
// through 1, 2, 5; the sign is kept, a value between series values goes to
// the next one in the wheel's direction. A run of notches on one element is
// one undo step (undotunewire).
static const double E12[] = {1, 1.2, 1.5, 1.8, 2.2, 2.7, 3.3, 3.9, 4.7, 5.6, 6.8, 8.2};
static const double E125[] = {1, 2, 5};

static int32_t wheelrest;  // wheel motion below one notch, 1/120 notches

double tunestep(double v, int32_t dir, int32_t letter)
{
    const int32_t e12 = letter == 'R' || letter == 'L' || letter == 'C';
    const double *sr = e12 ? E12 : E125;
    const int32_t n = e12 ? 12 : 3;
    if (!(fabs(v) > 0) || !isfinite(v)) return v == 0 && dir > 0 ? 1 : v;
    const double m = fabs(v), sign = v < 0 ? -1 : 1;
    const int32_t d = (int32_t)floor(log10(m));
    double best = dir > 0 ? HUGE_VAL : 0;
    for (int32_t dd = d - 1; dd <= d + 1; dd++)
        for (int32_t k = 0; k < n; k++) {
            const double c = sr[k] * pow(10.0, dd);
            if (dir > 0 && c > m * (1 + 1e-12) && c < best) best = c;
            if (dir < 0 && c < m * (1 - 1e-12) && c > best) best = c;
        }
    return best > 0 && isfinite(best) ? sign * best : v;
}

// a value text that is one number: [-]digits[.digits][E[+-]digits]
static int32_t plainnumber(const char *s)
{
    int32_t digits = 0;
    if (*s == '-') s++;
    for (; isdigit((unsigned char)*s); s++) digits++;
    if (*s == '.')
        for (s++; isdigit((unsigned char)*s); s++) digits++;
    if (!digits) return 0;
    if (*s == 'E') {
        s++;
        if (*s == '+' || *s == '-') s++;
        if (!isdigit((unsigned char)*s)) return 0;
        while (isdigit((unsigned char)*s)) s++;
    }
    return *s == 0;
}

static void tune(int32_t notches)
{
    const int32_t w = curw;
    if (w < 0 || w >= numwires || curn >= 0 || !closetoelement || !strchr("RLCVIEFGH", wire[w].element) ||
        !plainnumber(wire[w].numst)) {
        SysBeep(32);
        return;
    }
    double v = wire[w].value;
    for (int32_t i = 0; i < (notches < 0 ? -notches : notches); i++) v = tunestep(v, notches, wire[w].element);
    wiresetnumst(w, ltrim(fstr(v)));
    wire[w].value = valueat0(wire[w].numst);
    undotunewire = w;
    recalc = 3;
}

static void wheel(void)
{
    wheelrest += dmousz;
    dmousz = 0;
    const int32_t notches = wheelrest / 120;
    wheelrest -= notches * 120;
    if (!notches) return;
    if (shiftheld()) tune(notches);
    else zoomview(notches);
}

// === parallel wires ===

// scratch, wireordermax slots each: per wire its group and rank in it; per
// group its first wire and size; the hash of node pairs (four times the slots)
static int32_t *wiregroup = 0, *wirerank = 0, *groupfirst = 0, *groupsize = 0, *pairslot = 0;
static int32_t wireordermax = 0;

static int32_t nodelo(int32_t w) { return wire[w].node1 < wire[w].node2 ? wire[w].node1 : wire[w].node2; }
static int32_t nodehi(int32_t w) { return wire[w].node1 < wire[w].node2 ? wire[w].node2 : wire[w].node1; }

static int32_t *growscratch(int32_t *p, int32_t n) { return (int32_t *)growmem(p, (size_t)n * sizeof *p); }

// Wires joining the same two nodes, either way round, form a group in index
// order; the one of rank r among n sits at s (2r + 1 - n) steps, where s is +1
// when it runs the way the group's first wire runs and -1 otherwise. So a lone
// wire gets 0, two get -1 and +1, and a wire and its reverse opposite sides.
// The groups are found through a hash of node pairs: linear in wires.
void calcwirenext(void)
{
    int32_t n = numwires + (drawwiremode ? 1 : 0);
    if (n <= 0) return;
    if (n > wireordermax) {
        wireordermax = n * 2;
        wiregroup = growscratch(wiregroup, wireordermax);
        wirerank = growscratch(wirerank, wireordermax);
        groupfirst = growscratch(groupfirst, wireordermax);
        groupsize = growscratch(groupsize, wireordermax);
        pairslot = growscratch(pairslot, 4 * wireordermax);
    }
    uint32_t mask = 1;
    while (mask < (uint32_t)(2 * n)) mask <<= 1;
    mask -= 1;  // the smallest power of two from 2 n, less 1: below 4 * wireordermax
    for (uint32_t k = 0; k <= mask; k++) pairslot[k] = -1;
    int32_t ngroup = 0;
    for (int32_t i = 0; i < n; i++) {
        const int32_t lo = nodelo(i), hi = nodehi(i);
        uint32_t k = ((uint32_t)lo * 2654435761u ^ (uint32_t)hi * 2246822519u) & mask;
        while (pairslot[k] >= 0 && (nodelo(groupfirst[pairslot[k]]) != lo || nodehi(groupfirst[pairslot[k]]) != hi))
            k = (k + 1) & mask;
        if (pairslot[k] < 0) {
            pairslot[k] = ngroup;
            groupfirst[ngroup] = i;
            groupsize[ngroup++] = 0;
        }
        const int32_t g = pairslot[k];
        wiregroup[i] = g;
        wirerank[i] = groupsize[g]++;
    }
    for (int32_t i = 0; i < n; i++) {
        const int32_t g = wiregroup[i], s = wire[i].node1 == wire[groupfirst[g]].node1 ? 1 : -1;
        wirenext[i] = s * (2 * wirerank[i] + 1 - groupsize[g]);
    }
}

// === deleting under the editor's indices ===

// index i after wire or node gone was removed and last moved into its slot
static int32_t follow(int32_t i, int32_t gone, int32_t last) { return i == gone ? -1 : i == last ? gone : i; }

void removewire(int32_t k)
{
    int32_t last = numwires - 1, nodes = numnodes;
    deletewire(k);
    curtypewire = follow(curtypewire, k, last);
    depwiremode = follow(depwiremode, k, last);
    if (numnodes != nodes) grabnode = -1;  // the dragged node may be gone or moved
}

// === direct typing ===

// the wire a typed key goes to, or -1; *fresh 1 when typing starts on it now
static int32_t typetarget(int32_t *fresh)
{
    *fresh = 0;
    if (drawwiremode) return numwires;
    if (curtypewire >= numwires) curtypewire = -1;
    if (curtypewire < 0 && closetoelement && curw >= 0) curtypewire = curw, *fresh = 1;
    return curtypewire;
}

static void typedvalue(int32_t w)
{
    fixupfunc(wire[w].numst);  // unbalanced parentheses are kept until they balance
    wire[w].value = valueat0(wire[w].numst);
    recalc = 3;
}

// 1 when a wire took the character; a text already TYPEDMAX long stays as it is
static int32_t typechar(int32_t ch)
{
    int32_t fresh, w = typetarget(&fresh);
    if (w < 0) return 0;
    const char *old = fresh || ch == '/' ? "" : wire[w].numst;  // "/" clears the text
    size_t n = strlen(old);
    char *t = (char *)growmem(0, n + 2);
    memcpy(t, old, n);
    if (ch != '/' && n < TYPEDMAX) t[n++] = (char)ch;
    t[n] = 0;
    wiresetnumst(w, t);
    free(t);
    typedvalue(w);
    return 1;
}

static void typeback(void)
{
    int32_t fresh, w = typetarget(&fresh);
    if (w < 0 || !wire[w].numst[0]) return;
    wire[w].numst[strlen(wire[w].numst) - 1] = 0;
    typedvalue(w);
}

// 1 while wire w has a value typed that ends in a digit or "." (where an E
// is its exponent and a K its kilo, not the next element)
static int32_t typingnumber(int32_t w)
{
    const char *t = w >= 0 ? wire[w].numst : 0;
    size_t n = t ? strlen(t) : 0;
    return n > 0 && (isdigit((unsigned char)t[n - 1]) || t[n - 1] == '.');
}

// typing ends: a value left empty gets the element's default
static void endtyping(void)
{
    if (curtypewire >= 0 && curtypewire < numwires && !wire[curtypewire].numst[0]) {
        defaultnumst(curtypewire);
        recalc = 3;
    }
    curtypewire = -1;
}

// === drawing ===

// Wire w becomes an element of letter c. Its text goes with it, but not into
// or out of a diode or N element, whose texts mean something else: the new
// element then starts from its default.
static void renameelement(int32_t w, int32_t c)
{
    int32_t was = wire[w].element;
    wire[w].element = c;
    if (!isnonlinear(was) && !isnonlinear(c)) return;
    wiresetnumst(w, "");
    defaultnumst(w);
    if (curtypewire == w) curtypewire = -1;
}

// Element key with letter c. Over a wire (no node): the same letter flips it
// (a switch inverts, others swap ends), another renames it; while drawing it
// only beeps. Elsewhere the node under the mouse, or a new one (grounded when
// it starts a chain), ends the wire being drawn and starts the next; Space on
// an existing node ends the chain there. A node at the snapped mouse position
// counts as under the mouse: no second node is stacked on it.
static void elementkey(int32_t c)
{
    if (curn < 0 && curw >= 0) {
        if (drawwiremode) {
            SysBeep(32);
            return;
        }
        wiretype &w = wire[curw];
        if (w.element != c) renameelement(curw, c);
        else if (c == 'S') w.depwire = ~w.depwire;
        else {
            int32_t t = w.node1;
            w.node1 = w.node2, w.node2 = t;
        }
        recalc = 3;
        return;
    }
    int32_t a = curn >= 0 ? curn : nodeat(mousexquant, mouseyquant);  // zoomed in, a node can be
    int32_t existing = a >= 0;                                         // off the mouse but in its cell
    if (a < 0) {
        a = appendnode(mousexquant, mouseyquant);  // while drawing: the loose end's slot
        node[a].isgrounded = (int8_t)!drawwiremode;
    }
    if (!drawwiremode) {
        startwire(a, c);
        return;
    }
    int32_t stamped = a != wire[numwires].node1;
    if (stamped) stampwire(a);
    if (c != 'T' || !existing) startwire(a, c);
    else if (stamped) drawwiremode = 0;
    else cancelwire();  // Space back on the start node: nothing was drawn
    recalc = 3;
}

// \: while drawing, stamp and ground the end; on a node, toggle its ground;
// in empty space, a grounded node and a connection drawn from it
static void groundkey(void)
{
    if (drawwiremode) {
        int32_t p = endrawiremode();
        if (p >= 0) node[wire[p].node2].isgrounded = 1;
    } else if (curn >= 0) {
        node[curn].isgrounded ^= 1;
        recalc = 3;
    } else if (curw < 0) {
        elementkey('T');
    }
}

// === op-amp ===

static int32_t appendwire(int32_t a, int32_t b, int32_t letter, const char *text, int32_t dep)
{
    int32_t w = numwires;
    checknumwires(w + 2);  // one spare for a wire being drawn
    wire[w].node1 = a, wire[w].node2 = b, wire[w].element = letter, wire[w].depwire = dep;
    wiresetnumst(w, text);
    wiresetinitst(w, "");
    wire[w].value = valueat0(text);
    dispi[w] = 0;
    numwires = w + 1;
    return w;
}

// Three X wires outline the triangle; an E wire from the grounded centre to
// the output, controlled by the first X flipped, gives Q = 1e8 (V(A) - V(B)):
// A (lower corner) is the non-inverting input, B the inverting one.
static void opamp(void)
{
    int32_t mx = mousexquant, my = mouseyquant;
    checknumwires(numwires + 5);
    int32_t a = putnode(mx - 32, my + 64, 0, 0), b = putnode(mx - 32, my - 64, 0, 0);
    int32_t g = putnode(mx, my, 1, 0), q = putnode(mx + 96, my, 0, 0);
    int32_t x = appendwire(a, b, 'X', "0", numwires);
    appendwire(b, q, 'X', "0", numwires);
    appendwire(q, a, 'X', "0", numwires);
    appendwire(g, q, 'E', "1E8", ~x);
    recalc = 3;
}

// === selection ===

static void selectrect(void)
{
    int32_t x0 = grabx0 < grabx1 ? grabx0 : grabx1, x1 = grabx0 ^ grabx1 ^ x0;
    int32_t y0 = graby0 < graby1 ? graby0 : graby1, y1 = graby0 ^ graby1 ^ y0;
    for (int32_t i = 0; i < numnodes; i++)
        node[i].selected = (int8_t)(node[i].x >= x0 && node[i].x <= x1 && node[i].y >= y0 && node[i].y <= y1);
    grabrect = -1;
}

// === plot windows ===

// the matrix window toggles: the topmost-index one closes, else one opens
static void matrixkey(void)
{
    for (int32_t i = numplots - 1; i >= 0; i--)
        if (plot[i].kind == PLOT_MATRIX) {
            removeplot(i);
            return;
        }
    if (numplots < MAXPLOTS) openplot(PLOT_MATRIX, 0, 0);
}

// A probe of the node (sense 0) or wire under the mouse (+1 when the mouse is
// on its node1 half) toggles its window: a Bode window while a Bode input is
// chosen, a transient one otherwise; with Shift, its trace in the topmost
// window of that kind.
static void probe(void)
{
    int32_t pw = curn, ps = 0;
    if (pw < 0) pw = curw, ps = curside < 0 ? 1 : -1;
    if (pw < 0) return;
    int32_t bode = (uint32_t)ibodewire < (uint32_t)numwires;
    int32_t kind = bode ? PLOT_BODE : PLOT_TRANS;
    if (bode && ibodeflip) ps = -ps;
    if (shiftheld()) {  // Shift: a trace more in the topmost window of the kind
        plotaddtrace(kind, pw, ps);
        return;
    }
    for (int32_t i = numplots - 1; i >= 0; i--) {
        const plottype &p = plot[i];
        if (p.kind != kind || p.plotwire != pw || p.plotsense != ps) continue;
        if (bode && (p.idwire != ibodewire || p.idflip != ibodeflip)) continue;
        removeplot(i);
        return;
    }
    if (numplots < MAXPLOTS) openplot(kind, pw, ps);
}

// === the text entries ===

static int32_t roundpix(double v) { return (int32_t)floor(v + 0.5); }

// 1 when it opened: the value of curw (not T or X) at its element symbol
static int32_t openvalue(void)
{
    if (curw < 0 || wire[curw].element == 'T' || wire[curw].element == 'X') return 0;
    double mx, my;
    wiremidpoint(curw, &mx, &my);
    int32_t e = wire[curw].element;
    const char *ask = e == 'D' ? "Set diode IS;N;BV;RS;CJ0 (or LED, SI, Z5V1):"
                      : e == 'N' ? "Set current function(V,t):" : "Set element value function(t):";
    getstringopen(0, roundpix(mx), roundpix(my), ask, PAL_WHITE);
    return 1;
}

// 1 when it opened: the initial condition of a C or L, about 20 px beside
// its symbol: mid + k (D.y, -D.x) with k = min(20 / |D|, 0.2), 6 px higher
static int32_t openinitial(void)
{
    if (curw < 0 || (wire[curw].element != 'C' && wire[curw].element != 'L')) return 0;
    const nodetype &a = node[wire[curw].node1], &b = node[wire[curw].node2];
    double dx = (double)(b.x - a.x) * fsscale, dy = (double)(b.y - a.y) * fsscale;
    double len = sqrt(dx * dx + dy * dy), k = len > 100 ? 20 / len : 0.2;
    double mx, my;
    wiremidpoint(curw, &mx, &my);
    int32_t isc = wire[curw].element == 'C';
    getstringopen(1, roundpix(mx + k * dy), roundpix(my - k * dx - 6),
                  isc ? "Set Voltage (when t=0):" : "Set Current (when t=0):",
                  isc ? PAL_YELLOW : PAL_LIGHTCYAN);
    return 1;
}

// === editor keys ===

// Delete and D: the wire under the mouse, or with nothing there the selection
static void deletekey(void)
{
    if (drawwiremode) return;
    if (curw >= 0) removewire(curw);
    else if (curn < 0) deleteselection();
}

// keys by character (letters in either case): 1 handled, 0 not
static int32_t charkey(int32_t ch)
{
    if (ch >= 'a' && ch <= 'z') ch -= 'a' - 'A';
    switch (ch) {
    case '\\': groundkey(); return 1;
    case 8:
        if (drawwiremode) cancelwire();
        else typeback();
        return 1;
    case 13: endrawiremode(); return 1;
    case '\'': matrixkey(); return 1;
    case 'B':
        ibodewire = curw;
        ibodeflip = curw >= 0 && curside < 0;
        recalc = 3;  // the Bode input is saved with the circuit
        return 1;
    case 'D': deletekey(); return 1;
    case 'N': insertnode(); return 1;
    case 'O':
        if (!drawwiremode) opamp();
        return 1;
    case 'T': openvalue(); return 1;
    case 'Z': openinitial(); return 1;
    }
    if (ch == 'E' && (drawwiremode ? typingnumber(numwires) : curtypewire >= 0)) return typechar(ch);  // an exponent
    int32_t typed = drawwiremode ? numwires : curtypewire < numwires ? curtypewire : -1;
    if (ch == 'K' && typingnumber(typed)) return typechar(ch);  // a kilo: 4K7
    if (strchr(" CEFGHIJKLRSVX", ch)) {
        elementkey(ch == ' ' ? 'T' : ch == 'K' ? 'D' : ch == 'J' ? 'N' : ch);
        return 1;
    }
    if (strchr("()*+-./0123456789", ch)) return typechar(ch);
    return 0;
}

// keys by scan code: those without a character, with Control, Option or
// Command, or whose character did nothing (keypad * and / with nothing typed)
static void scankey(int32_t scan, int32_t k)
{
    const int32_t cmd = (k & (KEYCTRL | KEYCOMMAND)) != 0, shift = (k & KEYSHIFT) != 0;
    if (cmd && (scan == SC_Y || (scan == SC_Z && shift))) redo();
    else if (cmd && scan == SC_Z) undo();
    else if (cmd && scan == SC_C) copyselection();
    else if (cmd && scan == SC_X) cutselection();
    else if (cmd && scan == SC_V) pasteclipboard();
    else if (scan == SC_PGUP || scan == SC_KPMULTIPLY) zoomview(1);
    else if (scan == SC_PGDN || scan == SC_KPDIVIDE) zoomview(-1);
    else if (scan == SC_A && cmd) selectall();
    else if (scan == SC_END) endrawiremode();
    else if (scan == SC_INSERT) insertnode();
    else if (scan == SC_DELETE) deletekey();
}

static void editorkey(int32_t k)
{
    int32_t ch = k & 255;
    if (ch && !(k & (KEYCTRL | KEYOPTION | KEYCOMMAND)) && charkey(ch)) return;
    scankey((k >> 8) & 255, k);
}

// === mouse ===


static void leftpress(void)
{
    endtyping();
    grabnode = curn;
    grabmoved = 0;
    if (curn >= 0) return;
    if (curw >= 0) {
        if (closetoelement && iscontrolled(wire[curw].element)) depwiremode = curw;
    } else if (mousx >= 0 && mousy >= 0 && mousx < xres && mousy < yres) {
        grabrect = 0;
        grabx0 = grabx1 = worldx(mousx);
        graby0 = graby1 = worldy(mousy);
    }
}

// A controlled source's control is the wire under the mouse, flipped on its
// node1 half (curw ^ -1 = ~curw). The source itself is no choice: a click on
// its symbol keeps the control it has.
static void choosecontrol(void)
{
    if (depwiremode >= numwires || !iscontrolled(wire[depwiremode].element)) {
        depwiremode = -1;
        return;
    }
    if (curw < 0 || curw == depwiremode || wire[depwiremode].depwire == (curw ^ curside)) return;
    wire[depwiremode].depwire = curw ^ curside;
    recalc = 3;
}

// the grabbed node, or all selected nodes with it, follow the mouse
static void dragnodes(void)
{
    const nodetype &g = node[grabnode];
    int32_t dx = mousexquant - g.x, dy = mouseyquant - g.y;
    if (!dx && !dy) return;
    if (!g.selected) {
        node[grabnode].x = mousexquant, node[grabnode].y = mouseyquant;
    } else {
        for (int32_t i = 0; i < numnodes; i++)
            if (node[i].selected) node[i].x += dx, node[i].y += dy;
    }
    grabmoved = 1;
    recalc |= 2;
}

static void lefthold(void)
{
    if (depwiremode >= 0) choosecontrol();
    if (grabnode >= numnodes) grabnode = -1;
    if (grabnode >= 0) dragnodes();
    if (grabrect >= 0) grabx1 = worldx(mousx), graby1 = worldy(mousy);
}

// squared world distance of two nodes within MERGEDIST2
static int32_t nodesclose(int32_t i, int32_t k)
{
    int64_t dx = (int64_t)node[i].x - node[k].x, dy = (int64_t)node[i].y - node[k].y;
    return dx * dx + dy * dy <= MERGEDIST2;
}

// the highest-index node other than i within reach of it (unselected ones
// only when unsel), or -1
static int32_t mergetarget(int32_t i, int32_t unsel)
{
    for (int32_t k = numnodes - 1; k >= 0; k--)
        if (k != i && !(unsel && node[k].selected) && nodesclose(i, k)) return k;
    return -1;
}

// Dropped nodes merge into nodes within 24 units: the grabbed node alone, or
// each selected node (from the highest index down) into an unselected one. A
// wire that then joins a node to itself is deleted.
static void dropnodes(void)
{
    if (!node[grabnode].selected) {
        int32_t k = mergetarget(grabnode, 0);
        if (k >= 0) mergenode(grabnode, k);
    } else {
        for (int32_t i = numnodes - 1; i >= 0; i--) {
            if (!node[i].selected) continue;
            int32_t k = mergetarget(i, 1);
            if (k >= 0) mergenode(i, k);
        }
    }
    for (int32_t w = numwires - 1; w >= 0; w--)
        if (wire[w].node1 == wire[w].node2) removewire(w);
    if (grabmoved) recalc = 3;  // the layout is part of the circuit file
}

static void leftrelease(void)
{
    if (depwiremode >= 0) {
        choosecontrol();
        depwiremode = -1;
    }
    if (grabnode >= numnodes) grabnode = -1;
    if (grabnode >= 0) {
        dropnodes();
        grabnode = grabrect = -1;
    } else if (grabrect >= 0) {
        selectrect();
    }
}

// === one pass ===

void dccontrols(void)
{
    int32_t press = bstatus & ~obstatus, release = obstatus & ~bstatus;
    int32_t drawing = drawwiremode, taken = 0;  // taken: the left press ended the wire
    int32_t click = (release & 1) && leftseen;  // a press that committed an entry or closed
    leftseen = (bstatus & 1) && (leftseen || (press & 1));  // the menu opens nothing
    settle();
    if (curtypewire >= 0 && curtypewire != curw) endtyping();
    if (undotunewire >= 0 && (undotunewire != curw || !closetoelement || press || keyfifr != keyfifw))
        undotunewire = -1;  // a tuning run ends
    wheel();

    if (drawing) {
        if (press & 1) endrawiremode(), taken = 1;
        else if (press & 2) cancelwire();
        settle();
    } else if (click && closetoelement && depwiremode < 0 && grabrect < 0 && openvalue()) {
        return;
    }

    for (int32_t k; (k = mykeyread()) != 0;) {
        editorkey(k);
        if (getstringmode >= 0) return;  // an entry opened: the rest of the pass is its
        settle();
    }

    int32_t ctrlclick = (press & 1) && ctrlheld();  // Control+click probes and pans
    if ((press & 1) && !taken && !ctrlclick) leftpress();
    if (bstatus & 1) lefthold();
    if (release & 1) leftrelease();

    int32_t wireclick = (press & 1) && curn < 0 && curw >= 0 && !closetoelement;
    if (!drawing && ((press & 2) || ctrlclick || wireclick)) probe();

    settle();
    if (drawwiremode) {  // the loose end follows the mouse
        checknumnodes(numnodes + 1);
        nodetype &e = node[numnodes];
        e.x = mousexquant, e.y = mouseyquant, e.isgrounded = e.selected = 0;
    }
}
