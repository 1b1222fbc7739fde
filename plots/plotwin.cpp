// plotwin.cpp: the plot windows: the list with placement, opening and
// closing, hit zones and title-bar buttons, the input pass (raise, move,
// resize, maximise, minimise, restore, the kind's controls), keeping them on
// a screen that changed size, drawing of the frames and probe lines around
// the contents, the cursor they ask for, the help windows' scrolling, and the
// windows' side of renumbering.
// Depends on plots.h, the circuit model and the analysis; what a window shows is
// drawn by transplot, bodeplot, matrixrender and helprender.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "analysis/analysis.h"
#include "expr/expr.h"
#include "circuit/circuit.h"
#include "plots/plots.h"

// === plot-window list ===
plottype plot[MAXPLOTS];
int32_t numplots = 0;
int32_t plotorder[MAXPLOTS];
plottype *gplot = 0;
int32_t frqgraphmode = 0;
int32_t dragwindi = -1;
int32_t dragcorns = 0;

// blue byte of a button pixel -> palette colour: 0x00 black, 0x40 dark
// shadow, 0x80 shadow, 0xC8 face, 0xF0 highlight, 0xFF light edge; 0 for the
// blue bytes no button pixel has
const int32_t clut_0[256] = {
    PAL_BLACK, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                          // 0x00
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                                  // 0x10
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                                  // 0x20
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                                  // 0x30
    PAL_BUTTONDARK, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                     // 0x40
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                                  // 0x50
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                                  // 0x60
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                                  // 0x70
    PAL_BUTTONSHADOW, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                   // 0x80
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                                  // 0x90
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                                  // 0xA0
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                                  // 0xB0
    0, 0, 0, 0, 0, 0, 0, 0, PAL_BUTTONFACE, 0, 0, 0, 0, 0, 0, 0,                     // 0xC0
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                                  // 0xD0
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                                  // 0xE0
    PAL_BUTTONHIGHLIGHT, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, PAL_BUTTONLIGHT,  // 0xF0
};

enum { TITLEH = 20 };                  // title-bar rows above a window's top
enum { MINW = 192, MINH = 144 };       // smallest window a drag leaves
enum { TITLEFONT = 3 };                // font of the window titles
enum { MOVEMASK = 15 };                // dragcorns of a move by the title bar

static int32_t isprobe(int32_t p) { return plot[p].kind == PLOT_BODE || plot[p].kind == PLOT_TRANS; }

// 0 for a Bode or transient window whose probe (or Bode input) names nothing
// any more: it is never drawn and the input pass closes it
static int32_t plotok(int32_t p)
{
    const plottype &r = plot[p];
    if (!isprobe(p)) return 1;
    if (!transprobeok(r.plotwire, r.plotsense)) return 0;
    return r.kind != PLOT_BODE || (uint32_t)r.inwire < (uint32_t)numwires;
}

// closes every window whose probe or Bode input names nothing any more
void plotprune(void)
{
    for (int32_t p = numplots - 1; p >= 0; p--) {
        if (!plotok(p)) {
            removeplot(p);
            continue;
        }
        for (int32_t k = plot[p].numextra - 1; isprobe(p) && k >= 0; k--)
            if (!transprobeok(plot[p].extra[k].plotwire, plot[p].extra[k].plotsense)) traceremove(&plot[p], k);
    }
}

// === placement and opening ===

// Four candidates (right half first); a candidate's score sums, over the open
// windows, (max of tops - min of bottoms) x (max of lefts - min of rights):
// the overlap area where the two overlap; the lowest score wins, ties keep
// the earlier candidate.
void findfreewindowquadrant(void)
{
    const int32_t W = xres, H = yres;
    const int32_t cand[4][4] = {
        {(W >> 1) + 8, 28, W - 96, (H >> 1) - 8},                 // top right
        {(W >> 1) + 8, H - (H >> 1) + 28, W - 96, H - 8},         // bottom right
        {96, H - (H >> 1) + 28, W - (W >> 1) - 8, H - 8},         // bottom left
        {96, 28, W - (W >> 1) - 8, (H >> 1) - 8},                 // top left
    };
    int64_t best = INT64_MAX;
    plottype &n = plot[numplots];
    for (const int32_t *c : cand) {
        int64_t score = 0;
        for (int32_t i = 0; i < numplots; i++) {
            int32_t l = (int32_t)plot[i].left, t = (int32_t)plot[i].top;
            int32_t r = (int32_t)plot[i].right, b = (int32_t)plot[i].bottom;
            int64_t dy = (int64_t)(c[1] > t ? c[1] : t) - (c[3] < b ? c[3] : b);
            int64_t dx = (int64_t)(c[0] > l ? c[0] : l) - (c[2] < r ? c[2] : r);
            score += dy * dx;
        }
        if (score >= best) continue;
        best = score;
        n.left = (float)c[0], n.top = (float)c[1], n.right = (float)c[2], n.bottom = (float)c[3];
    }
}

// the record as a new window finds it: everything 0 except the column and
// state buffers, which a slot keeps for reuse
static void freshrecord(plottype &r)
{
    plottype k = r;
    r = plottype{};
    r.maxxdim = k.maxxdim, r.bufcols = k.bufcols, r.colmin = k.colmin, r.colmax = k.colmax;
    r.savestatemax = k.savestatemax, r.savestate = k.savestate;
    for (int32_t i = 0; i < MAXTRACES - 1; i++) r.extra[i] = k.extra[i];  // numextra 0: the buffers kept
}

int32_t openplot(int32_t kind, int32_t plotwire, int32_t plotsense)
{
    if (numplots >= MAXPLOTS) return -1;
    int32_t i = numplots;
    plottype &r = plot[i];
    freshrecord(r);
    r.kind = kind;
    findfreewindowquadrant();
    r.state = 0;
    r.plotwire = plotwire, r.plotsense = plotsense;
    if (kind == PLOT_BODE) {
        r.hertz = frqgraphmode;
        r.idwire = r.inwire = ibodewire;
        r.idflip = ibodeflip;
        r.phaseoffs = -1;
        r.cura = r.curb = NAN;
    } else if (kind == PLOT_TRANS) {
        r.xscale = r.homexscale = transdefxsc;
        r.yscale = 16.0;
        r.yoffset = (r.bottom - r.top) * 0.5;
        r.reset = -1;
        r.xoffset = -2.0, r.firstcol = -2;
        r.cura = r.curb = NAN;
        transrestart(&r);
    }
    plotorder[i] = i;  // on top
    numplots++;
    return i;
}

// === several traces ===

// the window's own probe gives way to its first further trace
static void promotetrace(plottype &r)
{
    plottrace &e = r.extra[0];
    int32_t w = r.plotwire, sense = r.plotsense;
    double *mn = r.colmin, *mx = r.colmax;
    r.plotwire = e.plotwire, r.plotsense = e.plotsense, r.colmin = e.colmin, r.colmax = e.colmax;
    e.plotwire = w, e.plotsense = sense, e.colmin = mn, e.colmax = mx;
    traceremove(&r, 0);
}

int32_t plotaddtrace(int32_t kind, int32_t plotwire, int32_t plotsense)
{
    int32_t p = -1;
    for (int32_t i = numplots - 1; i >= 0 && p < 0; i--)
        if (plot[plotorder[i]].kind == kind) p = plotorder[i];
    if (p < 0) return openplot(kind, plotwire, plotsense);
    plottype &r = plot[p];
    int32_t k = tracefind(&r, plotwire, plotsense);
    if (k == -1 && !r.numextra) {
        removeplot(p);
        return -1;
    }
    if (k == -1) promotetrace(r);
    else if (k >= 0) traceremove(&r, k);
    else if (traceadd(&r, plotwire, plotsense) < 0) return -1;
    if (kind == PLOT_BODE) bodeclear(&r);
    else r.reset = -1;  // the run starts again for every trace, the view kept
    return p;
}

// === closing ===

// takes window index out of the stacking order (the others keep their order),
// then moves the last record into its slot and parks the closed record, with
// its buffers, in the freed last slot; a drag follows its window or ends
void removeplot(int32_t index)
{
    if (index < 0 || index >= numplots) return;
    plotboxcancel();  // the records move
    int32_t last = numplots - 1, j = 0;
    for (int32_t i = 0; i < numplots; i++)
        if (plotorder[i] != index) plotorder[j++] = plotorder[i];
    numplots = last;
    if (dragwindi == index) dragwindi = -1;
    if (index == last) return;
    if (dragwindi == last) dragwindi = index;
    for (int32_t i = 0; i < numplots; i++)
        if (plotorder[i] == last) plotorder[i] = index;
    plottype t = plot[index];
    plot[index] = plot[last];
    plot[last] = t;
}

// === renumbering ===

// 1 if window p refers to the node (kind RENUMNODE) or wire i: as its probe,
// or, for a Bode window, as its input wire
static int32_t plotnames(int32_t p, int32_t kind, int32_t i)
{
    if (!isprobe(p)) return 0;
    if (kind == RENUMNODE) return plot[p].plotsense == 0 && plot[p].plotwire == i;
    if (plot[p].plotsense != 0 && plot[p].plotwire == i) return 1;
    return plot[p].kind == PLOT_BODE && plot[p].inwire == i;
}

void plotrenumber(int32_t kind, int32_t from, int32_t to)
{
    if (to < 0) {
        for (int32_t p = numplots - 1; p >= 0; p--) {
            if (plotnames(p, kind, from)) {
                removeplot(p);
                continue;
            }
            for (int32_t k = plot[p].numextra - 1; isprobe(p) && k >= 0; k--)
                if (plot[p].extra[k].plotwire == from && (kind == RENUMNODE) == (plot[p].extra[k].plotsense == 0))
                    traceremove(&plot[p], k);
        }
        return;
    }
    for (int32_t p = 0; p < numplots; p++) {
        if (!isprobe(p)) continue;
        plottype &r = plot[p];
        int32_t isnode = r.plotsense == 0;
        if ((kind == RENUMNODE) == isnode && r.plotwire == from) r.plotwire = to;
        for (int32_t k = 0; k < r.numextra; k++)
            if ((kind == RENUMNODE) == (r.extra[k].plotsense == 0) && r.extra[k].plotwire == from)
                r.extra[k].plotwire = to;
        if (kind == RENUMWIRE && r.kind == PLOT_BODE && r.inwire == from) r.inwire = to;
        if (kind == RENUMWIRE && r.kind == PLOT_BODE && r.idwire == from) r.idwire = to;
    }
}

void plotremap(int32_t (*item)(int32_t kind, int32_t i))
{
    for (int32_t p = numplots - 1; p >= 0; p--) {
        if (!isprobe(p)) continue;
        plottype &r = plot[p];
        int32_t bode = r.kind == PLOT_BODE;
        int32_t w = item(r.plotsense == 0 ? RENUMNODE : RENUMWIRE, r.plotwire);
        int32_t in = bode ? item(RENUMWIRE, r.inwire) : 0;
        if (w < 0 || in < 0) {
            removeplot(p);
            continue;
        }
        r.plotwire = w;
        for (int32_t k = r.numextra - 1; k >= 0; k--) {
            plottrace &e = r.extra[k];
            int32_t x = item(e.plotsense == 0 ? RENUMNODE : RENUMWIRE, e.plotwire);
            if (x < 0) traceremove(&r, k);
            else e.plotwire = x;
        }
        if (!bode) continue;
        r.inwire = in;
        r.idwire = r.idwire >= 0 ? item(RENUMWIRE, r.idwire) : -1;
    }
}

// === hit zones ===

// the drag mask of the frame edge or corner at (mx, my): 1 left, 2 right,
// 4 top, 8 bottom, corners their sums; 0 none. Edges reach 8 pixels out, the
// top edge lies above the title bar.
static int32_t edgezone(const plottype &r, float mx, float my)
{
    const float L = r.left, T = r.top, R = r.right, B = r.bottom;
    if (L - 8 <= mx && mx < L && T - 12 <= my && my < B - 8) return 1;
    if (R <= mx && mx < R + 8 && T - 12 <= my && my < B - 8) return 2;
    if (T - 28 <= my && my < T - 20 && L + 8 <= mx && mx < R - 8) return 4;
    if (B <= my && my < B + 8 && L + 8 <= mx && mx < R - 8) return 8;
    if (L - 8 <= mx && mx < L + 8 && T - 28 <= my && my < T - 12) return 5;
    if (R - 8 <= mx && mx < R + 8 && T - 28 <= my && my < T - 12) return 6;
    if (R - 8 <= mx && mx < R + 8 && B - 8 <= my && my < B + 8) return 10;
    if (L - 8 <= mx && mx < L + 8 && B - 8 <= my && my < B + 8) return 9;
    return 0;
}

static int32_t intitle(const plottype &r, float mx, float my)
{
    return r.left <= mx && mx <= r.right && r.top - TITLEH <= my && my < r.top;
}

static int32_t inclient(const plottype &r, float mx, float my)
{
    return r.left <= mx && mx <= r.right && r.top <= my && my <= r.bottom;
}

// the rectangle in which a press raises the window: 8 pixels round it, 28 above
static int32_t inreach(const plottype &r, float mx, float my)
{
    return r.left - 8 <= mx && mx < r.right + 8 && r.top - 28 <= my && my < r.bottom + 8;
}

// === maximise, minimise, restore ===
// Each keeps the transient zero row at the same fraction of the height and
// asks for a re-solve (the views are laid out afresh).

static void setrect(plottype &r, float l, float t, float rr, float b)
{
    double h = r.bottom - r.top;
    if (h != 0) r.yoffset *= (b - t) / h;
    r.left = l, r.top = t, r.right = rr, r.bottom = b;
    recalc = 3;
}

static void saverect(plottype &r)
{
    r.savedleft = r.left, r.savedtop = r.top, r.savedright = r.right, r.savedbottom = r.bottom;
}

static void maximise(plottype &r)
{
    saverect(r);
    setrect(r, 0, TITLEH, (float)xres, (float)yres);
    r.state = 1;
}

// 192 x 144 at the bottom-left corner
static void minimise(plottype &r)
{
    if (r.state == 0) saverect(r);
    setrect(r, 4, (float)(yres - 148), 196, (float)(yres - 4));
    r.state = 2;
}

static void restore(plottype &r)
{
    setrect(r, r.savedleft, r.savedtop, r.savedright, r.savedbottom);
    r.state = 0;
}

// a press on the title bar of window p at mx: the buttons from the right are
// close, maximise/restore, minimise/restore; elsewhere a move starts.
// 1 when the window closed
static int32_t titlepress(int32_t p, float mx)
{
    plottype &r = plot[p];
    if (mx >= r.right - 20) {
        removeplot(p);
        return 1;
    }
    if (mx >= r.right - 40) {
        if (r.state == 0) maximise(r);
        else restore(r);
    } else if (mx >= r.right - 60) {
        if (r.state == 2) restore(r);
        else minimise(r);
    } else {
        dragwindi = p, dragcorns = MOVEMASK;
    }
    return 0;
}

// === keeping windows on the screen ===

// the rectangle shifted back on the screen, the right and top limits winning
// (buttons and title bar stay in reach)
static void keeponscreen(float *l, float *t, float *r, float *b)
{
    if (*l < 0) *r -= *l, *l = 0;
    if (*r > xres) *l -= *r - xres, *r = (float)xres;
    if (*b > yres) *t -= *b - yres, *b = (float)yres;
    if (*t < TITLEH) *b += TITLEH - *t, *t = TITLEH;
}

// a rectangle wider or taller than the screen narrowed to it from the right
// or the bottom (never below the minimum size), then kept on the screen
static void fitrect(float *l, float *t, float *r, float *b)
{
    float w = (float)(xres > MINW ? xres : MINW), h = (float)(yres - TITLEH > MINH ? yres - TITLEH : MINH);
    if (*r - *l > w && *r - *l > MINW) *r = *l + w;
    if (*b - *t > h && *b - *t > MINH) *b = *t + h;
    keeponscreen(l, t, r, b);
}

// The normal rectangle *l.. of window r fitted to the screen from the one
// last placed, so that a window a small screen squeezed goes back when there
// is room again: a rectangle other than the last fit's was placed since.
static void fitwanted(plottype &r, float *l, float *t, float *rr, float *b)
{
    const float now[4] = {*l, *t, *rr, *b};
    if (!r.fitted || memcmp(now, r.fit, sizeof now)) memcpy(r.want, now, sizeof now);
    *l = r.want[0], *t = r.want[1], *rr = r.want[2], *b = r.want[3];
    fitrect(l, t, rr, b);
    r.fit[0] = *l, r.fit[1] = *t, r.fit[2] = *rr, r.fit[3] = *b;
    r.fitted = 1;
}

// After the screen changed size: a maximised window fills the new client
// area, a minimised one sits at the new bottom-left corner, the others (and
// the rectangles the first two go back to) are fitted and kept on it; each
// from the rectangle last placed, so a squeezed one comes back.
void plotscreen(void)
{
    static int32_t ox = -1, oy = -1;  // the screen size the windows were placed for
    if (ox < 0) ox = xres, oy = yres;
    if (xres == ox && yres == oy) return;
    ox = xres, oy = yres;
    for (int32_t p = 0; p < numplots; p++) {
        plottype &r = plot[p];
        float l = r.left, t = r.top, rr = r.right, b = r.bottom;
        if (r.state == 0) fitwanted(r, &l, &t, &rr, &b);
        else fitwanted(r, &r.savedleft, &r.savedtop, &r.savedright, &r.savedbottom);
        if (r.state == 1) l = 0, t = TITLEH, rr = (float)xres, b = (float)yres;
        else if (r.state == 2) l = 4, t = (float)(yres - 148), rr = 196, b = (float)(yres - 4);
        fitrect(&l, &t, &rr, &b);
        setrect(r, l, t, rr, b);
    }
}

// === drag ===

// The edges of dragcorns follow this pass's mouse movement. A size below the
// minimum that got smaller is undone per axis; then the window is kept on
// the screen.
void plotdrag(void)
{
    if (dragwindi < 0) return;
    if (dragwindi >= numplots || !(bstatus & 1)) {
        dragwindi = -1;
        return;
    }
    plottype &r = plot[dragwindi];
    const plottype o = r;
    if (dragcorns & 1) r.left += frmousx;
    if (dragcorns & 2) r.right += frmousx;
    if (dragcorns & 4) r.top += frmousy;
    if (dragcorns & 8) r.bottom += frmousy;
    float w = r.right - r.left, h = r.bottom - r.top;
    if (w < MINW && w < o.right - o.left) r.left = o.left, r.right = o.right;
    if (h < MINH && h < o.bottom - o.top) r.top = o.top, r.bottom = o.bottom;
    keeponscreen(&r.left, &r.top, &r.right, &r.bottom);
    int32_t vert = dragcorns & 12;  // the zero row keeps its fraction when one edge moved
    if ((vert == 4 || vert == 8) && o.bottom != o.top) r.yoffset *= (double)(r.bottom - r.top) / (o.bottom - o.top);
}

// === input pass ===

// the rest of this pass's input goes nowhere
static void dropinput(void)
{
    while (keyread()) {
    }
    dmousz = 0;
}

// window p's kind reads the keys and mouse of this pass; p, or PLOTINPUTTAKEN
// when the controls closed a window (p may now hold another)
static int32_t runcontrols(int32_t p)
{
    int32_t n = numplots;
    gplot = &plot[p];
    switch (plot[p].kind) {
    case PLOT_BODE: bodecontrols(); break;
    case PLOT_TRANS: transcontrols(); break;
    case PLOT_MATRIX: matrixcontrols(); break;
    default: helpcontrols(); break;
    }
    return numplots < n ? PLOTINPUTTAKEN : p;
}

// From the top of the stack down: a window whose probe vanished closes and
// swallows the pass's input; a press within reach raises a window; a press on
// an edge or corner starts a resize, on the title bar a button or a move; the
// first window with the mouse on its title bar or client area takes the
// input. A window being dragged, or drawing a zoom box, keeps the input
// until the button is up.
int32_t plotinput(void)
{
    if (dragwindi >= 0 && dragwindi < numplots && plotok(dragwindi)) return runcontrols(dragwindi);
    if (plottype *b = plotboxwin()) {  // a zoom box keeps the input until the release
        int32_t p = (int32_t)(b - plot);
        if (p >= 0 && p < numplots && plotok(p)) return runcontrols(p);
        plotboxcancel();
    }
    int32_t press = (bstatus & 1) && !(obstatus & 1);
    float mx = fmousx, my = fmousy;
    for (int32_t k = numplots - 1; k >= 0; k--) {
        int32_t p = plotorder[k];
        if (!plotok(p)) {
            removeplot(p);
            dropinput();
            return PLOTINPUTTAKEN;
        }
        plottype &r = plot[p];
        if (press && k != numplots - 1 && inreach(r, mx, my)) {
            for (int32_t i = k; i < numplots - 1; i++) plotorder[i] = plotorder[i + 1];
            plotorder[numplots - 1] = p;
        }
        int32_t e = press && r.state != 1 ? edgezone(r, mx, my) : 0;
        if (e) {
            dragwindi = p, dragcorns = e;
            return runcontrols(p);
        }
        if (intitle(r, mx, my)) {
            if (press && titlepress(p, mx)) return PLOTINPUTTAKEN;
            return runcontrols(p);
        }
        if (inclient(r, mx, my)) return runcontrols(p);
    }
    return -1;
}

int32_t plotmaximised(void)
{
    for (int32_t p = numplots - 1; p >= 0; p--)
        if (plot[p].state == 1) return p;
    return -1;
}

// === help windows' controls ===

static void helpscroll(plottype &r, double d)
{
    r.scrolly += d;
    if (r.scrolly < 0) r.scrolly = 0;
}

// keys by line and by page, the wheel, and dragging the text with a button
// held (not while the window itself is dragged)
void helpcontrols(void)
{
    plottype &r = *gplot;
    int32_t f = circfontindex();
    double h = fontlist[f].height, page = r.bottom - r.top - h;
    if ((bstatus & 3) && dragwindi < 0) helpscroll(r, -frmousy);
    for (int32_t k; (k = mykeyread()) != 0;) {
        if (iscopykey(k)) plotcopy();
        switch ((k >> 8) & 255) {
        case SC_HOME: r.scrolly = 0; break;
        case SC_UP: helpscroll(r, -h); break;
        case SC_PGUP: helpscroll(r, -page); break;
        case SC_DOWN: helpscroll(r, h); break;
        case SC_PGDN: helpscroll(r, page); break;
        }
    }
    if (dmousz) helpscroll(r, -(dmousz >> 2));  // 120 a wheel step: 30 pixels
    dmousz = 0;
}

// === data out ===
// Control+C over a window: its data to the clipboard, as veltocli prints it.

int32_t iscopykey(int32_t k) { return ((k >> 8) & 255) == SC_C && (k & (KEYCTRL | KEYCOMMAND)); }

// a help text with its CR LF line ends as LF
static void helpcopy(FILE *f, int32_t which)
{
    int32_t n = 0;
    const char *t = helptext(which, &n);
    for (int32_t i = 0; t && i < n; i++)
        if (t[i] != '\r') fputc(t[i], f);
}

void plotcopy(void)
{
    const plottype &r = *gplot;
    char *buf = 0;
    size_t n = 0;
    FILE *f = open_memstream(&buf, &n);
    if (!f) return;
    if (r.kind == PLOT_TRANS && r.colmin) transcsv(f, &r, 1), plotmeasurecsv(f, &r);
    else if (r.kind == PLOT_BODE && r.colmin)
        bodecsv(f, &r, BODEMARGIN, r.cachexdim < r.bufcols ? r.cachexdim : r.bufcols, r.cachexdim, 0),
            plotmeasurecsv(f, &r);
    else if (r.kind == PLOT_KEYS || r.kind == PLOT_HELP) helpcopy(f, r.kind - PLOT_KEYS);
    fclose(f);
    if (n > 0) clipboard_write(buf, (int32_t)n);
    else SysBeep(32);
    free(buf);
}

// === drawing ===

static const char *const plottitle[] = {"", "Bode plot", "Transient analysis", "Matrix debug",
                                        "VELTO key summary", "VELTO help text"};

// Marching dashes from trace k's probe point to the middle of the client area,
// yellow for the window's own, the trace's colour for a further one. The
// probe point: the node, or a quarter of the wire from the end plotsense
// names positive; screen = world * fsscale + offset. The dashes move 16
// pixels a second: 0x01010101 rotated left by floor(16 t), which with its
// period of 8 bits is a plain shift by that mod 8.
static void probeline(const plottype &r, int32_t k)
{
    tracecols t = traceof(&r, k);
    double px, py;
    if (t.plotsense == 0) {
        px = node[t.plotwire].x, py = node[t.plotwire].y;
    } else {
        const nodetype &a = node[wire[t.plotwire].node1], &b = node[wire[t.plotwire].node2];
        double f = t.plotsense > 0 ? 0.25 : 0.75;
        px = a.x + (b.x - a.x) * f, py = a.y + (b.y - a.y) * f;
    }
    px = screenx(px), py = screeny(py);
    uint32_t pattern = 0x01010101u << ((int64_t)floor(16 * dtotclk) & 7);
    dotline2d(px, py, (r.left + r.right) * 0.5, (r.top + r.bottom) * 0.5, k ? t.colour : PAL_YELLOW, pattern);
}

static void vline(int32_t x, int32_t y0, int32_t y1, int32_t c)  // rows y0..y1 inclusive
{
    for (int32_t y = y0; y <= y1; y++) drawpixp(x, y, c);
}

// title bar, border, buttons and title around the client area (L, T)-(R, B)
static void drawframe(const plottype &r)
{
    const int32_t L = (int32_t)r.left, T = (int32_t)r.top, R = (int32_t)r.right, B = (int32_t)r.bottom;
    drawrectfill(&gdd, L - 1, T - 19, R, T - 1, (int32_t)vpal[PAL_BROWN]);
    drawhlin(&gdd, L - 1, R, T - 20, (int32_t)vpal[PAL_LIGHTGREY]);
    drawhlin(&gdd, L, R - 1, T - 1, (int32_t)vpal[PAL_LIGHTGREY]);
    drawhlin(&gdd, L - 1, R, B, (int32_t)vpal[PAL_LIGHTGREY]);
    vline(L - 1, T - 19, B - 1, PAL_LIGHTGREY);
    vline(R, T - 19, B - 1, PAL_LIGHTGREY);
    // --- buttons: opaque pixels (top bit) coloured by their blue byte ---
    const tiletype &img = r.state == 0 ? winminmaxx : winminnorx;
    for (int32_t y = 0; img.f && y < img.y; y++) {
        const uint32_t *row = (const uint32_t *)(img.f + (intptr_t)y * img.p);
        for (int32_t x = 0; x < img.x; x++)
            if (row[x] & 0x80000000u) drawpixp(R - 2 - 50 + x, T - 17 + y, clut_0[row[x] & 255]);
    }
    // --- the title: the glyphs that fit between the left edge and the buttons ---
    const char *title = plottitle[r.kind >= 1 && r.kind <= 5 ? r.kind : 0];
    int32_t fit = (R - 2 - 50 - 2 - (L + 4)) / fontlist[TITLEFONT].width;
    if (fit > 0) drawtext(TITLEFONT, L + 4, T - 16, PAL_WHITE, -1, "%.*s", (int)fit, title);
}

// gdd becomes the client area of r clipped to the screen scr, filled black;
// 0 when nothing of it is on the screen
static int32_t narrowview(const tiletype &scr, const plottype &r)
{
    int32_t l = (int32_t)r.left, t = (int32_t)r.top, rr = (int32_t)r.right, b = (int32_t)r.bottom;
    if (l < 0) l = 0;
    if (t < 0) t = 0;
    if (rr > scr.x) rr = scr.x;
    if (b > scr.y) b = scr.y;
    if (rr <= l || b <= t) return 0;
    gdd = scr;
    gdd.f = scr.f + (intptr_t)t * scr.p + (intptr_t)l * colbytes;
    gdd.x = rr - l, gdd.y = b - t;
    drawrectfill(&gdd, 0, 0, gdd.x, gdd.y, (int32_t)vpal[PAL_BLACK]);
    return 1;
}

static void drawcontents(int32_t p, int32_t active)
{
    plottype &r = plot[p];
    gplot = &r;
    switch (r.kind) {
    case PLOT_BODE: bodeplot(r.inwire, r.plotwire, r.plotsense, active); break;
    case PLOT_TRANS:
        if (vopts.autoyscale) transautoscale();
        transplot(r.plotwire, r.plotsense, active);
        break;
    case PLOT_MATRIX: matrixrender(); break;
    case PLOT_KEYS:
    case PLOT_HELP: helprender(r.kind - PLOT_KEYS); break;
    }
}

// Bottom to top of the stack. While window maxwin is maximised it hides the
// schematic and the windows under it; the windows stacked above it, which
// take input where they lie, are drawn over it.
void plotdraw(int32_t focus, int32_t maxwin)
{
    const tiletype scr = gdd;
    int32_t k = 0;
    if (maxwin >= 0)
        while (k < numplots && plotorder[k] != maxwin) k++;
    for (; k < numplots; k++) {
        int32_t p = plotorder[k];
        if (!plotok(p)) continue;
        if (maxwin < 0 && plot[p].state == 0 && isprobe(p))
            for (int32_t t = 0; t <= plot[p].numextra; t++) probeline(plot[p], t);
        drawframe(plot[p]);
        if (narrowview(scr, plot[p])) drawcontents(p, p == focus);
        gdd = scr;
    }
}

// === cursor ===

// resize cursors by drag mask; the title bar (a move) has the arrow
static int32_t maskcursor(int32_t mask)
{
    switch (mask) {
    case 1: case 2: return CURS_SIZEWE;
    case 4: case 8: return CURS_SIZENS;
    case 5: case 10: return CURS_SIZENWSE;
    case 6: case 9: return CURS_SIZENESW;
    }
    return CURS_ARROW;
}

int32_t plotcursor(void)
{
    if (dragwindi >= 0 && dragwindi < numplots) return maskcursor(dragcorns);
    float mx = fmousx, my = fmousy;
    for (int32_t k = numplots - 1; k >= 0; k--) {
        const plottype &r = plot[plotorder[k]];
        if (!plotok(plotorder[k])) continue;
        int32_t e = r.state != 1 ? edgezone(r, mx, my) : 0;
        if (e) return maskcursor(e);
        if (intitle(r, mx, my)) return CURS_ARROW;
        if (inclient(r, mx, my)) return (bstatus & 3) && !plotboxwin() ? CURS_HAND : CURS_CROSS;
    }
    return -1;
}

// === re-solve hook ===

void plotsreset(void)
{
    for (int32_t p = 0; p < numplots; p++)
        if (plot[p].kind == PLOT_BODE || plot[p].kind == PLOT_TRANS) plot[p].reset = -1;
}
