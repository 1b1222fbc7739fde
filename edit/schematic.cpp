// schematic.cpp: dcrender, the whole schematic drawn once per pass: dot grid,
// element symbols with their leads and bows, value and initial-condition
// texts, links of controlled sources, Bode marks, solved amps and volts,
// nodes with ground symbols, why an unsolvable circuit cannot be solved,
// selection rectangle, prompt, splash, and the red fade. Depends on edit.h (line routines, drawtext,
// fstr) and the circuit model. Allocates nothing; pivorder is the scratch of
// the ground symbols. Far-off positions are held to +-2^30 pixels.
#include <algorithm>
#include <math.h>
#include <string.h>
#include "circuit/circuit.h"
#include "edit/edit.h"
#include "expr/expr.h"

enum { PIXFAR = 1 << 30 };  // screen coordinates beyond this are all "far off"
enum { DASHCOL = PAL_WHITE };      // moving current dashes

// === small geometry ===
struct vec {
    double x, y;
};

static vec add(vec a, vec b) { return {a.x + b.x, a.y + b.y}; }
static vec scale(vec a, double s) { return {a.x * s, a.y * s}; }

// a coordinate truncated towards zero, held within +-PIXFAR (NaN goes far
// off), so that integer arithmetic after it cannot overflow
static int32_t ipix(double v)
{
    if (!(v > -PIXFAR)) return -PIXFAR;
    if (v > PIXFAR) return PIXFAR;
    return (int32_t)v;
}

// screen position of node n, single precision as the editor's hit tests
static vec nodescreenf(int32_t n)
{
    float x = (float)node[n].x * fsscale + fsxoff, y = (float)node[n].y * fsscale + fsyoff;
    return {x, y};
}

// dash phase of a current c: numframes marching with c's sign, -1 plain
static int32_t dashphase(double c)
{
    if (!vopts.showanimation || matbad != SOLVED || !(fabs(c) >= 1e-12)) return -1;
    uint32_t f = (uint32_t)numframes;
    return (int32_t)((c >= 0 ? f : 0u - f) & 0x7FFFFFFF);
}

static void seg(vec a, vec b, int32_t col, int32_t ph) { dotline(a.x, a.y, b.x, b.y, col, DASHCOL, ph); }
static void solid(vec a, vec b, int32_t col) { line(a.x, a.y, b.x, b.y, col); }

// === texts ===
static int32_t fontw(void) { return fontlist[circfontindex()].width; }
static int32_t fonth(void) { return fontlist[circfontindex()].height; }

// text length for centring; drawtext shows 1023 characters at most
static int32_t textn(const char *s) { return (int32_t)strnlen(s, 1023); }

schemlabel schemlabels[SCHEMLABELMAX];
int32_t numschemlabels;

// the text s at (x, y), its box kept in schemlabels while there is room
static void label(int32_t x, int32_t y, int32_t col, int32_t kind, const char *s)
{
    drawtext(circfontindex(), x, y, col, -1, "", s);
    if (numschemlabels >= SCHEMLABELMAX) return;
    schemlabel &b = schemlabels[numschemlabels++];
    int32_t n = textn(s);
    b = schemlabel{x, y, x + n * fontw(), y + fonth(), kind, {0}};
    memcpy(b.text, s, std::min(n, (int32_t)sizeof b.text - 1));
}

// === numbers as shown ===
// With engineering units on (vopts.engunits) the schematic's numbers carry an
// SI prefix and a unit ("4.7 k\xEA" in the code page's ohm sign, "-816 \xE6A");
// off, the bare seven-digit form. Gains and switch values stay as typed.

const char *elementunit(int32_t letter)
{
    int32_t cp = fontlist[circfontindex()].extchars;
    switch (letter) {
    case 'R': return cp ? "\xEA" : "Ohm";
    case 'C': return "F";
    case 'L': return "H";
    case 'V': return "V";
    case 'I': return "A";
    default: return 0;
    }
}

int32_t unitstr(char *out, int32_t n, double v, const char *unit)
{
    return engstr(out, n, v, unit, fontlist[circfontindex()].extchars ? '\xE6' : 'u', ENGDIGITS);
}

// value text s of an element of this letter as the schematic shows it: its
// value with prefix and unit when the setting is on and the text is a
// constant that evaluates, else the text itself
static const char *valuetext(const char *s, int32_t element, char *buf, int32_t n)
{
    const char *unit = elementunit(element);
    if (!vopts.engunits || !unit || !s || fixupiserr(s) || functimedep(s)) return s;
    int32_t bad = globalbad;  // the solver's evaluation state is left as it was
    globalbad = 0;
    double v = solvefunc(s);  // a constant: any time gives these bits
    int32_t failed = globalbad;
    globalbad = bad;
    if (failed) return s;
    unitstr(buf, n, v, unit);
    return buf;
}

const char *valueshown(int32_t i, char *buf, int32_t n) { return valuetext(wire[i].numst, wire[i].element, buf, n); }

// === one wire's geometry ===
// P0 + f d is the straight wire, Pc + f d its (bowed) body; "side" offsets
// below are multiples of (dy, -dx), which is L pixels long.
struct wiregeom {
    vec p0, d;       // node1 on screen; node2 - node1
    double len, q;   // |d|; 1/|d|, 1 for a zero-length wire
    vec a, b;        // lead ends at the node circles
    vec pc, m;       // body origin and body centre
    int32_t cw, ph;  // wire colour; dash phase, -1 plain
};

static vec body(const wiregeom *g, double f, double side)
{
    return {g->pc.x + f * g->d.x + side * g->d.y, g->pc.y + f * g->d.y - side * g->d.x};
}

static int32_t isbodewire(int32_t i) { return i == ibodewire; }

static void wiregeometry(int32_t i, wiregeom *g)
{
    const nodetype &n1 = node[wire[i].node1], &n2 = node[wire[i].node2];
    g->p0 = {screenx(n1.x), screeny(n1.y)};
    vec p1 = {screenx(n2.x), screeny(n2.y)};
    g->d = {p1.x - g->p0.x, p1.y - g->p0.y};
    g->len = sqrt(g->d.x * g->d.x + g->d.y * g->d.y);
    g->q = g->len > 0 ? 1 / g->len : 1;
    double cut = vopts.showcircles ? 12 * g->q : 0;  // leads stop at the node circles
    g->a = add(g->p0, scale(g->d, cut));
    g->b = wire[i].node2 >= numnodes ? p1 : add(p1, scale(g->d, -cut));
    double bow = WIREBOW * wirenext[i] * g->q;  // parallel wires fan out
    g->pc = {g->p0.x + bow * g->d.y, g->p0.y - bow * g->d.x};
    g->m = body(g, 0.5, 0);
    g->cw = isbodewire(i) ? PAL_LIGHTMAGENTA : PAL_LIGHTRED;
    g->ph = i < numwires ? dashphase(dispi[i]) : -1;  // the wire being drawn carries nothing yet
}

// body start of sources and switches: 40 px long on long wires, 40 % on short
static double srct0(const wiregeom *g) { return g->len > 100 ? 0.5 - 20 / g->len : 0.3; }

// leads from the node ends to body fractions f0 and f1
static void leads(const wiregeom *g, double f0, double f1)
{
    seg(g->a, body(g, f0, 0), g->cw, g->ph);
    seg(body(g, f1, 0), g->b, g->cw, g->ph);
}

// === element symbols ===

// T and X: one line, or two through the body centre when bowed
static void plainpiece(const wiregeom *g, vec u, vec v, int32_t dummy)
{
    if (dummy) dotline2d(u.x, u.y, v.x, v.y, PAL_LIGHTGREY, 0x03030303);
    else seg(u, v, g->cw, g->ph);
}

static void drawplain(const wiregeom *g, int32_t bowed, int32_t dummy)
{
    if (!bowed) {
        plainpiece(g, g->a, g->b, dummy);
        return;
    }
    plainpiece(g, g->a, g->m, dummy);
    plainpiece(g, g->m, g->b, dummy);
}

// zigzag of eight peaks 10 px off the axis, 80 px long on wires of 200 px and more
static void drawresistor(const wiregeom *g)
{
    double t0 = 0.3, s = 0.05;
    if (g->len >= 200) t0 = 0.5 - 40 / g->len, s = 10 / g->len;
    vec p = body(g, t0, 0);
    seg(g->a, p, g->cw, g->ph);
    for (int32_t k = 1; k <= 8; k++) {  // peak k at t0 + (k - 1/2) s, odd ones on the (-dy, dx) side
        vec c = body(g, t0 + (k - 0.5) * s, (k & 1 ? -10 : 10) * g->q);
        seg(p, c, PAL_LIGHTGREY, g->ph);
        p = c;
    }
    vec e = body(g, t0 + 8 * s, 0);
    seg(p, e, PAL_LIGHTGREY, g->ph);
    seg(e, g->b, g->cw, g->ph);
}

// plates (1 - 2 t0) L apart (10 px on long wires), each four gaps long
static void drawcapacitor(const wiregeom *g)
{
    double t0 = g->len < 100 ? 0.45 : 0.5 - 5 / g->len, w = 1 - 2 * t0;
    leads(g, t0, 1 - t0);
    solid(body(g, t0, -2 * w), body(g, t0, 2 * w), PAL_LIGHTGREY);
    solid(body(g, 1 - t0, -2 * w), body(g, 1 - t0, 2 * w), PAL_LIGHTGREY);
}

// coil of 4.5 loops: point n at t0 + n s along, less 8 cos(n a) px, and
// 11.2 sin(n a) px aside; cos and sin advance by rotation through a
static void drawinductor(const wiregeom *g)
{
    double t0 = g->len < 200 ? 0.35 : 0.5 - 30 / g->len, s = 0.015 * (1 - 2 * t0);
    const double a = 0.135 * M_PI, ca = cos(a), sa = sin(a);
    vec p = body(g, t0 - 8 * g->q, 0);
    seg(g->a, p, g->cw, g->ph);
    double c = 1, sn = 0;
    for (int32_t n = 0; n <= 66; n++) {
        vec k = body(g, t0 + n * s - 8 * c * g->q, 11.2 * sn * g->q);
        seg(p, k, PAL_LIGHTGREY, g->ph);
        p = k;
        double c1 = c * ca - sn * sa;  // (c, sn) turned by a
        sn = sn * ca + c * sa;
        c = c1;
    }
    vec f = body(g, 1 - t0 + 8 * g->q, 0);
    seg(p, f, PAL_LIGHTGREY, g->ph);
    seg(f, g->b, g->cw, g->ph);
}

// half the body length of D and N: a px on long wires, a tenth of short ones
static double smallbody(const wiregeom *g, double a) { return g->len > 10 * a ? a : 0.1 * g->len; }

// D: a triangle pointing from anode (node1) to cathode, 28 by 24 px on long
// wires, and the cathode bar; a zener's bar has its ends bent
static void drawdiode(const wiregeom *g, int32_t zener)
{
    double a = smallbody(g, 14) * g->q, t0 = 0.5 - a, t1 = 0.5 + a, h = 0.85 * a;
    leads(g, t0, t1);
    vec b0 = body(g, t0, -h), b1 = body(g, t0, h), tip = body(g, t1, 0);
    solid(b0, b1, PAL_LIGHTGREY);
    lineto(tip.x, tip.y, PAL_LIGHTGREY);
    lineto(b0.x, b0.y, PAL_LIGHTGREY);
    vec k0 = body(g, t1, -h), k1 = body(g, t1, h);
    solid(k0, k1, PAL_LIGHTGREY);
    if (!zener) return;
    solid(k0, body(g, t1 + 0.4 * a, -h), PAL_LIGHTGREY);
    solid(k1, body(g, t1 - 0.4 * a, h), PAL_LIGHTGREY);
}

// N: a box 32 by 14 px on long wires, struck through by a slanted line
static void drawnonlinear(const wiregeom *g)
{
    double a = smallbody(g, 16) * g->q, t0 = 0.5 - a, t1 = 0.5 + a, h = 0.45 * a;
    leads(g, t0, t1);
    vec c0 = body(g, t0, -h), c1 = body(g, t1, -h), c2 = body(g, t1, h), c3 = body(g, t0, h);
    solid(c0, c1, PAL_LIGHTGREY);
    lineto(c2.x, c2.y, PAL_LIGHTGREY);
    lineto(c3.x, c3.y, PAL_LIGHTGREY);
    lineto(c0.x, c0.y, PAL_LIGHTGREY);
    solid(body(g, t0 + 0.3 * a, 2 * h), body(g, t1 - 0.3 * a, -2 * h), PAL_LIGHTGREY);
}

// a "-" (or "+" with plus set) of half size h centred on the truncated point p
static void sign(vec p, int32_t h, int32_t plus, int32_t col)
{
    int32_t x = ipix(p.x), y = ipix(p.y);
    line(x - h, y, x + h + 1, y, col);
    if (plus) line(x, y - h, x, y + h + 1, col);
}

// upright "-" toward node1 and "+" toward node2
static void sourcesigns(const wiregeom *g, double t0, double w)
{
    int32_t h = (int32_t)nearbyint(0.1 * w * g->len);  // w L is 40 px at most
    sign(body(g, t0 + 0.2 * w, 0), h, 0, PAL_LIGHTGREY);
    sign(body(g, t0 + 0.8 * w, 0), h, 1, PAL_LIGHTGREY);
}

// arrow toward node2
static void sourcearrow(const wiregeom *g, double t0, double w)
{
    vec tip = body(g, t0 + 0.8 * w, 0);
    solid(tip, body(g, t0 + 0.2 * w, 0), PAL_LIGHTGREY);
    solid(tip, body(g, t0 + 0.6 * w, -0.2 * w), PAL_LIGHTGREY);
    solid(tip, body(g, t0 + 0.6 * w, 0.2 * w), PAL_LIGHTGREY);
}

// V and I: circle with signs or arrow
static void drawsource(const wiregeom *g, int32_t voltage)
{
    double t0 = srct0(g), w = 1 - 2 * t0;
    leads(g, t0, 1 - t0);
    circle(g->m.x, g->m.y, 0.5 * w * g->len, PAL_LIGHTGREY);
    if (voltage) sourcesigns(g, t0, w);
    else sourcearrow(g, t0, w);
}

// E F G H: diamond with the output's signs or arrow
static void drawdiamond(const wiregeom *g, int32_t voltage)
{
    double t0 = srct0(g), w = 1 - 2 * t0;
    leads(g, t0, 1 - t0);
    vec s = body(g, t0, 0);
    solid(s, body(g, 0.5, -0.5 * w), PAL_LIGHTGREY);
    vec e = body(g, 1 - t0, 0), r = body(g, 0.5, 0.5 * w);
    lineto(e.x, e.y, PAL_LIGHTGREY);
    lineto(r.x, r.y, PAL_LIGHTGREY);
    lineto(s.x, s.y, PAL_LIGHTGREY);
    if (voltage) sourcesigns(g, t0, w);
    else sourcearrow(g, t0, w);
}

// contacts at both body ends; the blade open (normally open, depwire >= 0)
// or closed along the axis, with the arrow of the way it moves
static void drawswitch(const wiregeom *g, int32_t normallyopen)
{
    double t0 = srct0(g), w = 1 - 2 * t0;
    leads(g, t0 - 0.08 * w, 1 - t0 + 0.08 * w);
    vec c0 = body(g, t0, 0), c1 = body(g, 1 - t0, 0);
    circle(c0.x, c0.y, 7 * t0, g->cw);
    circle(c1.x, c1.y, 7 * t0, g->cw);
    vec tip, from0, from1, to;  // the arrow: from0 -> tip, from1 -> tip -> to
    if (normallyopen) {
        seg(body(g, t0 + 0.07 * w, 0.02 * w), body(g, t0 + 0.86 * w, 0.4 * w), g->cw, g->ph);
        tip = body(g, t0 + 0.85 * w, 0);
        from0 = body(g, t0 + 0.9 * w, 0.14 * w);
        from1 = body(g, t0 + 0.71 * w, 0.29 * w), to = body(g, t0 + 0.71 * w, 0.07 * w);
    } else {
        seg(body(g, t0 + 0.08 * w, 0), body(g, t0 + 0.92 * w, 0), g->cw, g->ph);
        tip = body(g, t0 + 0.8 * w, 0.35 * w);
        from0 = body(g, t0 + 0.9 * w, 0.25 * w);
        from1 = body(g, t0 + 0.8 * w, 0), to = body(g, t0 + 0.7 * w, 0.25 * w);
    }
    solid(from0, tip, PAL_LIGHTGREY);
    solid(from1, tip, PAL_LIGHTGREY);
    lineto(to.x, to.y, PAL_LIGHTGREY);
}

// === marks beside a wire: control links, initial conditions, Bode input ===
// D0 and e = D1 - D0 run along wire k (node2 to node1 when flipped), moved
// onto its bow; o is the 12 px side offset, h6 a 6 px step along.
struct markgeom {
    vec d0, e, o, h6;
};

static void markbeside(int32_t k, int32_t flip, markgeom *mk)
{
    vec d0 = nodescreenf(wire[k].node1), d1 = nodescreenf(wire[k].node2);
    if (flip) std::swap(d0, d1);
    vec e = {d1.x - d0.x, d1.y - d0.y};
    double len = sqrt(e.x * e.x + e.y * e.y);
    mk->o = {0, 12}, mk->h6 = {6, 0};  // a zero-length wire: fixed offsets
    if (len > 0) {
        vec u = scale(e, 1 / len);
        mk->o = {12 * u.y, -12 * u.x}, mk->h6 = scale(u, 6);
        double m = WIREBOW * (flip ? -wirenext[k] : wirenext[k]) / len;
        d0 = add(d0, vec{m * e.y, -m * e.x});
    }
    mk->d0 = d0, mk->e = e;
}

static vec markat(const markgeom *mk, double f) { return add(add(mk->d0, scale(mk->e, f)), mk->o); }

// "-" at a quarter and "+" at three quarters of the way (plusfirst: swapped)
static void marksigns(const markgeom *mk, int32_t plusfirst, int32_t col)
{
    sign(markat(mk, 0.25), 3, plusfirst, col);
    sign(markat(mk, 0.75), 3, !plusfirst, col);
}

// arrow at three quarters of the way, along D0 -> D1
static void markarrow(const markgeom *mk, int32_t col)
{
    vec ac = markat(mk, 0.75), h = mk->h6;
    vec tip = add(ac, scale(h, 2)), base = add(ac, h);
    solid(add(ac, scale(h, -2)), tip, col);
    solid(tip, add(base, vec{-h.y, h.x}), col);
    solid(tip, add(base, vec{h.y, -h.x}), col);
}

// dotted link from the source's body to its controlling wire, with the
// controlling voltage's signs or current's arrow on the far side of it
static void drawlink(int32_t i, const wiregeom *g)
{
    int32_t k = controlwire(i);
    if (k < 0) return;
    markgeom mk;
    markbeside(k, wire[i].depwire < 0, &mk);
    if ((g->m.x - mk.d0.x) * mk.e.y > (g->m.y - mk.d0.y) * mk.e.x) mk.o = scale(mk.o, -1);
    int32_t elem = wire[i].element;
    if (elem == 'E' || elem == 'G') {
        for (double f : {0.25, 0.75}) {
            vec t = add(mk.d0, scale(mk.e, f));
            dotline2d(g->m.x, g->m.y, t.x, t.y, PAL_LIGHTRED, 0xF0F0F0F0);
        }
        marksigns(&mk, 0, PAL_YELLOW);
    } else {
        vec t = add(mk.d0, scale(mk.e, 0.5));
        dotline2d(g->m.x, g->m.y, t.x, t.y, PAL_CYAN, 0xF0F0F0F0);
        markarrow(&mk, PAL_LIGHTCYAN);
    }
}

// === one wire ===

static int32_t iszener(const char *text)
{
    diodemodel m;
    return text && !diodeparse(text, &m) && m.bv > 0 && strcmp(text, "SI");  // SI's 100 V is a rating
}

static void drawsymbol(int32_t i, const wiregeom *g)
{
    int32_t elem = wire[i].element, bowed = wirenext[i] != 0;
    switch (elem) {
    case 'T': drawplain(g, bowed, 0); break;
    case 'X': drawplain(g, bowed, 1); break;
    case 'R': drawresistor(g); break;
    case 'C': drawcapacitor(g); break;
    case 'L': drawinductor(g); break;
    case 'V': drawsource(g, 1); break;
    case 'I': drawsource(g, 0); break;
    case 'E': case 'H': drawdiamond(g, 1); break;
    case 'F': case 'G': drawdiamond(g, 0); break;
    case 'S': drawswitch(g, wire[i].depwire >= 0); break;
    case 'D': drawdiode(g, iszener(wire[i].numst)); break;
    case 'N': drawnonlinear(g); break;
    default: break;
    }
    if (iscontrolled(elem)) drawlink(i, g);
}

// forced initial condition of C (signs, yellow) or L (arrow, cyan) and its text
static void drawinitial(int32_t i, const wiregeom *g)
{
    const char *s = wire[i].initst;
    int32_t elem = wire[i].element;
    if ((elem != 'C' && elem != 'L') || !s || !s[0]) return;
    markgeom mk;
    markbeside(i, 0, &mk);
    int32_t col = elem == 'C' ? PAL_YELLOW : PAL_LIGHTCYAN;
    if (elem == 'C') marksigns(&mk, 0, col);
    else markarrow(&mk, col);
    double hw = 0.5 * (1 - 2 * srct0(g));  // the text sits 20 px aside on long wires
    int32_t x = ipix(g->m.x + hw * g->d.y) - (fontw() >> 1) * textn(s);
    label(x, ipix(g->m.y - hw * g->d.x - 6) + 1 - (fonth() >> 1), col, LABELINITIAL, s);
}

static void drawbodemarks(int32_t i)
{
    markgeom mk;
    markbeside(i, 0, &mk);
    marksigns(&mk, ibodeflip != 0, PAL_LIGHTMAGENTA);
}

// === current texts clear of the others ===
// With engineering units on, the current texts are placed last: a fifth of
// the way along as before when that spot is free, else the first free one of
// a few spots along the wire and beside it.
static int32_t later[SCHEMLABELMAX];  // wires whose current text waits for placecurrents
static int32_t numlater;

static int32_t boxfree(int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    for (int32_t k = 0; k < numschemlabels; k++) {
        const schemlabel &b = schemlabels[k];
        if (x0 < b.x1 && b.x0 < x1 && y0 < b.y1 && b.y0 < y1) return 0;
    }
    return 1;
}

static void placecurrent(int32_t i)
{
    static const double along[] = {0.2, 0.8, 0.35, 0.65, 0.1, 0.9, 0.5};
    static const double aside[] = {0, 1, -1, 2, -2};
    wiregeom g;
    wiregeometry(i, &g);
    char c[64];
    unitstr(c, sizeof c, fabs(dispi[i]), "A");
    int32_t fw = fontw(), fh = fonth(), w = textn(c) * fw;
    int32_t bx = 0, by = 0;
    for (int32_t k = 0; k < (int32_t)(sizeof aside / sizeof aside[0]) * 7; k++) {  // none free: the first
        double f = along[k % 7], s = aside[k / 7] * (fh + 2) * g.q;
        int32_t x = ipix(g.pc.x + f * g.d.x + s * g.d.y) - 4 * (fw >> 1);
        int32_t y = ipix(g.pc.y + f * g.d.y - s * g.d.x) + 1 - (fh >> 1);
        if (k == 0) bx = x, by = y;
        if (boxfree(x, y, x + w, y + fh)) {
            bx = x, by = y;
            break;
        }
    }
    label(bx, by, PAL_LIGHTCYAN, LABELCURRENT, c);
}

static void placecurrents(void)
{
    for (int32_t k = 0; k < numlater; k++) placecurrent(later[k]);
    numlater = 0;
}

// the centre of a w by h px text 16 px to the side of a small body
static vec besidebody(const wiregeom *g, int32_t w, int32_t h)
{
    vec u = {g->d.y * g->q, -g->d.x * g->q};
    double r = 16 + 0.5 * (fabs(u.x) * w + fabs(u.y) * h);
    return add(g->m, scale(u, r));
}

static void drawwiretexts(int32_t i, const wiregeom *g)
{
    int32_t elem = wire[i].element, fw = fontw(), fh = fonth();
    char vb[64];
    const char *v = valueshown(i, vb, sizeof vb);
    if (elem != 'T' && elem != 'X' && v) {
        vec c = isnonlinear(elem) ? besidebody(g, fw * textn(v), fh) : g->m;  // too small to hold it
        label(ipix(c.x) - (fw >> 1) * textn(v), ipix(c.y) + 1 - (fh >> 1), PAL_WHITE, LABELVALUE, v);
    }
    drawinitial(i, g);
    if (isbodewire(i)) drawbodemarks(i);
    if (i >= numwires || matbad != SOLVED || !vopts.showresults || !(fabs(dispi[i]) >= 1e-12)) return;
    const char *c = ltrim(fstr(fabs(dispi[i])));
    if (vopts.engunits && numlater < SCHEMLABELMAX) {  // placed clear of the other texts at the end
        later[numlater++] = i;
        return;
    }
    char ib[64];
    if (vopts.engunits) unitstr(ib, sizeof ib, fabs(dispi[i]), "A"), c = ib;  // more than later holds
    int32_t x = ipix(g->pc.x + 0.2 * g->d.x) - 4 * (fw >> 1);
    label(x, ipix(g->pc.y + 0.2 * g->d.y) + 1 - (fh >> 1), PAL_LIGHTCYAN, LABELCURRENT, c);
}

// wires drawn this pass: the counted ones and the one being drawn
static int32_t drawnwires(void) { return numwires + (drawwiremode && numwires < numwiresmax); }

// both ends name nodes (the wire being drawn may end at the loose node numnodes)
static int32_t wireok(int32_t i)
{
    int32_t loose = i == numwires && numnodes < numnodesmax;
    return nodeexists(wire[i].node1) && (nodeexists(wire[i].node2) || (loose && wire[i].node2 == numnodes));
}

// === what the view shows ===
// A wire or node whose drawing (symbol, bow, texts) cannot reach the view is
// left out: its box, grown by what its texts could need, misses the view.
// Controlled sources and the Bode input stay: their links and marks reach
// other wires.
static int32_t inview(double x0, double y0, double x1, double y1, double margin)
{
    return std::max(x0, x1) + margin >= 0 && std::min(x0, x1) - margin < gdd.x &&
           std::max(y0, y1) + margin >= 0 && std::min(y0, y1) - margin < gdd.y;
}

static double textroom(const char *s) { return s ? (double)fontw() * textn(s) : 0; }

static int32_t wireinview(int32_t i, const wiregeom *g)
{
    if (iscontrolled(wire[i].element) || isbodewire(i)) return 1;
    const double m = 64 + fabs(WIREBOW * (double)wirenext[i]) + textroom(wire[i].numst) + textroom(wire[i].initst) +
                     16 * fontw() + 4 * fonth();
    return inview(g->p0.x, g->p0.y, g->p0.x + g->d.x, g->p0.y + g->d.y, m);
}

static void drawwires(void)
{
    for (int32_t i = 0, n = drawnwires(); i < n; i++) {
        if (!wireok(i)) continue;
        wiregeom g;
        wiregeometry(i, &g);
        if (!wireinview(i, &g)) continue;
        drawsymbol(i, &g);
        drawwiretexts(i, &g);
    }
}

// === nodes and ground symbols ===

// direction of the ground symbol of node j, in 2048ths of a turn: the middle
// of the widest free sector between its wires (angles in pivorder); *net gets
// the current flowing out of the node into ground
// the wires at each node, in wire order (nodewire[nodefirst[j] .. nodefirst[j + 1]))
static int32_t *nodefirst = 0, *nodewire = 0;
static int32_t nodefirstmax = 0, nodewiremax = 0;

static void findnodewires(void)
{
    const int32_t nn = numnodes + 1, nw = drawnwires();  // the wire being drawn may end at node numnodes
    if (nn + 1 > nodefirstmax) nodefirstmax = 2 * nn + 1, nodefirst = (int32_t *)growmem(nodefirst, sizeof(int32_t) * nodefirstmax);
    if (2 * nw > nodewiremax) nodewiremax = 4 * nw + 2, nodewire = (int32_t *)growmem(nodewire, sizeof(int32_t) * nodewiremax);
    memset(nodefirst, 0, sizeof(int32_t) * (nn + 1));
    for (int32_t k = 0; k < nw; k++)
        if (wireok(k)) nodefirst[wire[k].node1 + 1]++, nodefirst[wire[k].node2 + 1] += wire[k].node2 != wire[k].node1;
    for (int32_t j = 0; j < nn; j++) nodefirst[j + 1] += nodefirst[j];
    for (int32_t k = 0; k < nw; k++) {
        if (!wireok(k)) continue;
        nodewire[nodefirst[wire[k].node1]++] = k;
        if (wire[k].node2 != wire[k].node1) nodewire[nodefirst[wire[k].node2]++] = k;
    }
    for (int32_t j = nn; j > 0; j--) nodefirst[j] = nodefirst[j - 1];  // back to the starts
    nodefirst[0] = 0;
}

static int32_t grounddirection(int32_t j, double *net)
{
    int32_t n = 0;
    double c = 0;
    for (int32_t q = nodefirst[j]; q < nodefirst[j + 1]; q++) {
        const int32_t k = nodewire[q];
        int32_t other, w1 = wire[k].node1 == j;
        if (w1) other = wire[k].node2;
        else if (wire[k].node2 == j) other = wire[k].node1;
        else continue;
        double cur = k < numwires ? dispi[k] : 0;  // the wire being drawn carries nothing yet
        c += w1 ? -cur : cur;
        double dx = (double)node[other].x - node[j].x, dy = (double)node[other].y - node[j].y;
        pivorder[n++] = (int32_t)(atan2(dy, dx) * 1024 / M_PI) & 0x7FF;
    }
    *net = c;
    if (n == 0) return 0x200;  // no wires: straight down
    std::sort(pivorder, pivorder + n);
    int32_t best = 0, bestgap = -1;
    for (int32_t k = 0; k < n; k++) {
        int32_t gap = (pivorder[(k + 1) % n] - pivorder[k]) & 0x7FF;
        if (gap == 0 && pivorder[0] == pivorder[n - 1]) gap = 0x800;  // every wire one way: the full turn is free
        if (gap > bestgap) best = k, bestgap = gap;
    }
    return pivorder[best] + bestgap / 2;
}

// stub (with the net current's dashes) and three bars of 14, 10 and 6 px
static void drawground(int32_t j, vec nn)
{
    double c;
    double th = grounddirection(j, &c) * M_PI / 1024;
    vec u = {cos(th), sin(th)}, across = {u.y, -u.x};
    vec g = vopts.showcircles ? add(nn, scale(u, 12)) : nn;
    vec e = add(g, scale(u, 8));
    seg(g, e, PAL_LIGHTRED, dashphase(c));
    static const double bar[3][2] = {{0, 7}, {3, 5}, {6, 3}};  // distance past E, half length
    for (const auto &b : bar) {
        vec x = add(e, scale(u, b[0]));
        solid(add(x, scale(across, b[1])), add(x, scale(across, -b[1])), PAL_LIGHTRED);
    }
}

// light red; the node under the mouse blinks brown, selected nodes white
static int32_t nodecolour(int32_t j)
{
    int32_t blink = (numframes >> 2) & 1, col = PAL_LIGHTRED;
    if (j == curn && blink) col = PAL_BROWN;
    if (node[j].selected && blink) col = PAL_WHITE;
    return col;
}

static void drawnodes(void)
{
    int32_t fw = fontw(), fh = fonth();
    findnodewires();
    for (int32_t j = 0; j < numnodes; j++) {
        vec nn = nodescreenf(j);
        if (!inview(nn.x, nn.y, nn.x, nn.y, 64 + 16 * fw)) continue;
        if (vopts.showcircles) circle(nn.x, nn.y, 12, nodecolour(j));
        if (node[j].isgrounded) drawground(j, nn);
        if (matbad != SOLVED || !vopts.showresults) continue;
        char b[64];
        const char *s = fabs(dispv[j]) < 1e-12 ? "0" : ltrim(fstr(dispv[j]));
        if (vopts.engunits) unitstr(b, sizeof b, fabs(dispv[j]) < 1e-12 ? 0 : dispv[j], "V"), s = b;
        float x = (float)nn.x - (float)((fw >> 1) * textn(s)), y = (float)nn.y - (float)(fh >> 1) + 1;
        label(ipix(x), ipix(y), PAL_YELLOW, LABELNODE, s);
    }
}

// === grid, selection, prompt, splash ===

// a dot at the world positions 32k + 16 (where nodes snap), every 4 to 256 px
static void drawgrid(void)
{
    if (!vopts.gridmode) return;
    int32_t l = std::min(std::max(ilscale, -3), 3);
    uint32_t s = l >= 0 ? 32u << l : 32u >> -l;
    int32_t x0 = (int32_t)((s / 2 + (uint32_t)isxoff) & (s - 1)), y0 = (int32_t)((s / 2 + (uint32_t)isyoff) & (s - 1));
    for (int32_t y = y0; y < gdd.y; y += (int32_t)s)
        for (int32_t x = x0; x < gdd.x; x += (int32_t)s) drawpixp(x, y, PAL_LIGHTGREY);
}

static uint32_t rot(uint32_t v, int32_t r)
{
    r &= 31;
    return r ? v << r | v >> (32 - r) : v;
}

// dots marching clockwise when corner 0 is the top-left one
static void drawselection(void)
{
    if (grabrect < 0) return;
    double x0 = screenx(grabx0), y0 = screeny(graby0);
    double x1 = screenx(grabx1), y1 = screeny(graby1);
    int32_t r = (int32_t)((uint32_t)numframes & 31);
    uint32_t fwd = rot(0x01010101, r), back = rot(0x01010101, 32 - r);
    dotline2d(x0, y0, x1, y0, PAL_LIGHTGREY, fwd);
    dotline2d(x1, y0, x1, y1, PAL_LIGHTGREY, fwd);
    dotline2d(x1, y1, x0, y1, PAL_LIGHTGREY, back);
    dotline2d(x0, y1, x0, y0, PAL_LIGHTGREY, back);
}

static void drawprompt(void)
{
    if (depwiremode < 0) return;
    drawtext(circfontindex(), 0, 0, PAL_LIGHTGREY, PAL_BLACK,
             "Hold button until mouse over desired side of dependent wire");
}

// the first two seconds of an empty circuit: name, build date and a notice
// in a frame whose dashes run clockwise; then the key hints at the top right
static void drawempty(void)
{
    if (numwires + drawwiremode != 0) return;
    int32_t xm = gdd.x >> 1, ym = gdd.y >> 1;
    if ((uint32_t)numframes > 0x8000009Fu) {
        int32_t y = 0;
        if (!vopts.usewingui) drawtext(1, gdd.x - 54, 0, PAL_LIGHTGREY, PAL_BLACK, "ESC:Menu"), y = 8;
        drawtext(1, gdd.x - 48, y, PAL_LIGHTGREY, PAL_BLACK, "F1:Help");
        return;
    }
    drawtext(7, xm - 64, ym - 48, PAL_LIGHTGREY, PAL_BLACK, "VELTO %s", __DATE__);
    drawtext(7, xm - 76, ym - 28, PAL_LIGHTGREY, PAL_BLACK, "Live circuit solver");
    drawtext(7, xm - 64, ym - 8, PAL_LIGHTGREY, PAL_BLACK, "Keys: R L C V I S");
    int32_t ph = numframes & 0x7FFFFFFF;
    seg({xm - 84., ym - 66.}, {xm + 84., ym - 66.}, PAL_LIGHTRED, ph);
    seg({xm + 84., ym - 66.}, {xm + 84., ym + 35.}, PAL_LIGHTRED, ph);
    seg({xm + 84., ym + 34.}, {xm - 84., ym + 34.}, PAL_LIGHTRED, ph);
    seg({xm - 84., ym + 34.}, {xm - 84., ym - 66.}, PAL_LIGHTRED, ph);
}

// === why the circuit cannot be solved ===
// The nodes and wires the diagnosis names blink in red (8 ticks on, 8 off)
// and its sentence stands at the top left, below the prompt when one shows.

// a wire drawn three pixels wide, straight from node to node
static void thickwire(int32_t i, int32_t col)
{
    wiregeom g;
    wiregeometry(i, &g);
    vec side = scale({g.d.y, -g.d.x}, g.q);
    for (int32_t k = -1; k <= 1; k++) solid(add(g.p0, scale(side, k)), add(add(g.p0, g.d), scale(side, k)), col);
}

static void drawwhy(void)
{
    if (matbad == SOLVED || whykind == WHYNONE || !whytext[0]) return;
    if ((numframes >> 3) & 1) {
        for (int32_t i = 0; i < numwires; i++)
            if (whywire[i] && wireok(i)) thickwire(i, PAL_RED);
        for (int32_t j = 0; j < numnodes; j++) {
            if (!whynode[j]) continue;
            vec nn = nodescreenf(j);
            for (int32_t r = 14; r <= 16; r++) circle(nn.x, nn.y, r, PAL_RED);
        }
    }
    drawtext(circfontindex(), 0, depwiremode >= 0 ? fonth() : 0, PAL_LIGHTRED, PAL_BLACK, "", whytext);
}

// === status line ===
// With engineering units on, the element or node under the mouse is read out
// at the bottom: "R2 4.7 k\xEA: 3.84 V, 816 \xE6A, 3.13 mW", "node 3: 3.84 V".
// Voltage and current follow the passive convention, so the power is what the
// element takes (a source giving power shows it negative): across a source
// from its - to its + end, across the others from the higher end.
char statustext[STATUSMAX];

static void elementstatus(int32_t w)
{
    const wiretype &e = wire[w];
    char name[16], vb[64], u[3][40];
    elementname(w, name, sizeof name);
    // while its value is typed, the text the results are of: the one it had
    const char *s = getstringmode == 0 && getstringptr == &e.numst && getstringbak ? getstringbak : e.numst;
    const char *v = e.element == 'T' || e.element == 'X' ? 0 : valuetext(s, e.element, vb, sizeof vb);
    int32_t n = snprintf(statustext, STATUSMAX, "%s%s%s", name, v && v[0] ? " " : "", v && v[0] ? v : "");
    if (matbad != SOLVED || !vopts.showresults) return;
    double across = dispv[e.node1] - dispv[e.node2], i = dispi[w];
    int32_t elem = e.element, source = elem == 'V' || elem == 'I' || iscontrolled(elem);
    if (elem == 'V' || elem == 'E' || elem == 'H') across = -across, i = -i;
    if (!source && (across < 0 || (across == 0 && i < 0))) across = -across, i = -i;
    double q[3] = {across, i, across * i};
    const char *unit[3] = {"V", "A", "W"};
    for (int32_t k = 0; k < 3; k++) unitstr(u[k], sizeof u[k], fabs(q[k]) < 1e-15 ? 0 : q[k], unit[k]);
    snprintf(statustext + n, STATUSMAX - n, ": %s, %s, %s", u[0], u[1], u[2]);
}

static void drawstatus(void)
{
    statustext[0] = 0;
    if (!vopts.engunits) return;
    if (nodeexists(curn)) {
        char v[64] = "";
        if (matbad == SOLVED && vopts.showresults)
            unitstr(v, sizeof v, fabs(dispv[curn]) < 1e-12 ? 0 : dispv[curn], "V");
        snprintf(statustext, STATUSMAX, "node %d%s%s", (int)curn, v[0] ? ": " : "", v);
    } else if (curw >= 0 && curw < numwires && closetoelement && wireok(curw)) {
        elementstatus(curw);
    }
    if (statustext[0]) drawtext(circfontindex(), 0, gdd.y - fonth(), PAL_LIGHTGREY, PAL_BLACK, "", statustext);
}

// === background fade ===
// An unsolvable circuit tints the red byte towards 0x60: b += (0x600000 - b)
// * 8 dt; a solvable one returns it to black at 256 red steps a second.
static void fadebackground(void)
{
    double b = backgroundcol, dt = deltim > 0 ? fmin(deltim, 1.0) : 0;  // a second saturates either way
    if (matbad > 0x3FFF) b = fmin(b + trunc((0x600000 - b) * dt * 8), 0x600000);
    else if (b > 0) b = fmax(b - trunc(256 * dt * 65536), 0);
    backgroundcol = (int32_t)b;
}

// === the schematic ===

void dcrender(void)
{
    if (!gdd.f) return;
    numschemlabels = 0;
    drawgrid();
    drawwires();
    drawnodes();
    placecurrents();
    drawwhy();
    drawselection();
    drawprompt();
    drawempty();
    drawstatus();
    fadebackground();
}

// === circle ===
// Outline through drawpixp: R2 = int((r + 0.5)^2), g = isqrt(R2); for k in
// -g..g with h = isqrt(R2 - k^2) the pixels (X +- h, Y + k) and (X + k, Y +- h).
// Only the k whose row or column meets gdd are walked; centres and radii
// beyond 2^30 pixels draw nothing.

static int64_t isqrt(int64_t n)  // floor(sqrt(n)), n >= 0
{
    int64_t s = (int64_t)sqrt((double)n);
    while (s * s > n) s--;
    while ((s + 1) * (s + 1) <= n) s++;
    return s;
}

static void pix(int64_t x, int64_t y, int32_t col)
{
    if (x >= 0 && y >= 0 && x < gdd.x && y < gdd.y) drawpixp((int32_t)x, (int32_t)y, col);
}

void circle(double cx, double cy, double r, int32_t col)
{
    if (!(fabs(cx) < PIXFAR && fabs(cy) < PIXFAR && fabs(r) < PIXFAR)) return;
    int64_t x = (int64_t)cx, y = (int64_t)cy, r2 = (int64_t)((r + 0.5) * (r + 0.5)), g = isqrt(r2);
    for (int64_t k = std::max(-g, -y), ke = std::min(g, gdd.y - 1 - y); k <= ke; k++) {  // rows of gdd
        int64_t h = isqrt(r2 - k * k);
        pix(x - h, y + k, col), pix(x + h, y + k, col);
    }
    for (int64_t k = std::max(-g, -x), ke = std::min(g, gdd.x - 1 - x); k <= ke; k++) {  // columns of gdd
        int64_t h = isqrt(r2 - k * k);
        pix(x + k, y - h, col), pix(x + k, y + h, col);
    }
}
