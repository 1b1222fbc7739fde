// transplot.cpp: the transient window: time and value grids with their labels,
// the trace drawn from the column buffers that transcompute fills (the view
// and one view width ahead), the read-outs, the auto Y scale, and the
// window's keys and mouse; also the few helpers the Bode and matrix windows
// share, among them the computing budget (at most 10 ms per window and 20 ms
// for all of them in a pass) and the placing of texts so that none overlaps
// another or leaves the view.
// Depends on plots.h (gplot, gdd, text, line routines, fstr) and the analysis.
// Columns before t = 0 are never computed; a column without a solved sample
// (NaN) is left out of the trace and has no read-out.
#include <math.h>
#include <stdio.h>
#include <string.h>
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "plots/plots.h"

static const double WINBUDGET = 0.01;   // seconds of computing per window per pass
static const double PASSBUDGET = 0.02;  // seconds per pass for all computing windows together
double (*plotclock)(void) = vlock;
int32_t transscalechanged = 0;
static const double XOFFSETMAX = 1 << 30;  // furthest scroll, columns: keeps column numbers in range
static const uint32_t DOTS = 0x55555555, ZERODASH = 0x66666666;
enum {
    BACKCOL = PAL_BLACK, GRIDCOL = PAL_BROWN, LABELCOL = PAL_LIGHTGREY, DOTCOL = PAL_DARKGREY,
    TRACECOL = PAL_WHITE, CROSSCOL = PAL_LIGHTCYAN,  // the cross-hair stands out from the grid
};

// === helpers shared with the Bode and matrix windows ===

// the view's origin is the client area's top-left corner clipped to the screen
void plotmouse(int32_t *mx, int32_t *my)
{
    *mx = (int32_t)fmousx - (gplot->left > 0 ? (int32_t)gplot->left : 0);
    *my = (int32_t)fmousy - (gplot->top > 0 ? (int32_t)gplot->top : 0);
}

const char *plotnum(double v, const char *unit) { return plotlabel(v, 0, unit); }

// as many digits as tell v from a label a step away, four at least
const char *plotlabel(double v, double step, const char *unit)
{
    static char s[64];
    int32_t digits = ENGDIGITS;
    if (v != 0 && step > 0 && isfinite(v) && isfinite(step)) {
        const double need = floor(log10(fabs(v))) - floor(log10(step)) + 1;
        if (need > digits) digits = need < 15 ? (int32_t)need : 15;
    }
    engstr(s, sizeof s, v, unit, fontlist[circfontindex()].extchars ? '\xE6' : 'u', digits);
    return s;
}

int32_t plotnotches(void)
{
    int32_t n = dmousz / 120;  // 120 a notch
    dmousz = 0;
    return n;
}

void plotcrosshair(int32_t mx, int32_t my)
{
    dotline2d(mx, 0, mx, gdd.y, CROSSCOL, DOTS);
    dotline2d(0, my, gdd.x, my, CROSSCOL, DOTS);
}

int32_t plotclamp(double v, int32_t lo, int32_t hi)
{
    if (!(v > lo)) return lo;  // NaN too
    if (v > hi) return hi > lo ? hi : lo;
    return (int32_t)v;
}


// === text placement (shared with the Bode window) ===
// One window's texts, in the order drawn, each against the boxes of those
// before it: the fixed labels first, then the axis labels, which are left
// out where they would overlap one or leave the view, then the read-outs,
// which move up or down to the nearest free rows.

enum { MAXTEXTS = 128 };                  // boxes of one window's drawing
struct textbox { int32_t x, y, w, h; };
static textbox taken[MAXTEXTS];
static int32_t numtaken;
static int32_t viewx, viewy;              // the view the texts must stay inside

void plottexts(int32_t xdim, int32_t ydim) { numtaken = 0, viewx = xdim, viewy = ydim; }

// 1 when the box lies inside the view and clear by gap columns of every box taken
static int32_t boxfree(int32_t x, int32_t y, int32_t w, int32_t h, int32_t gap)
{
    if (x < 0 || y < 0 || x + w > viewx || y + h > viewy || numtaken >= MAXTEXTS) return 0;
    for (int32_t i = 0; i < numtaken; i++) {
        const textbox &t = taken[i];
        if (x - gap < t.x + t.w && t.x < x + w + gap && y < t.y + t.h && t.y < y + h) return 0;
    }
    return 1;
}

int32_t plotspot(int32_t fnt, int32_t *x, int32_t *y, const char *s, int32_t gap, int32_t move)
{
    int32_t w = (int32_t)strlen(s) * fontlist[fnt].width, h = fontlist[fnt].height;
    *x = plotclamp(*x, 0, viewx - w);
    *y = plotclamp(*y, 0, viewy - h);
    for (int32_t d = 0; d < (move ? 2 * viewy : 1); d++) {
        int32_t yy = d & 1 ? *y - (d + 1) / 2 : *y + d / 2;  // y, y + 1, y - 1, y + 2, ..
        if (!boxfree(*x, yy, w, h, gap)) continue;
        taken[numtaken++] = textbox{*x, yy, w, h};
        *y = yy;
        return 1;
    }
    return 0;
}


static int32_t posmod(double a, int32_t m)
{
    double r = fmod(a, m);
    return (int32_t)(r < 0 ? r + m : r);
}

// === geometry ===

// visible computed columns [*c0, *c1): on screen, computed, and held in the buffer
static void transvisible(const plottype *p, int32_t xdim, int32_t *c0, int32_t *c1)
{
    int64_t a = p->firstcol > 0 ? p->firstcol : 0, b = (int64_t)p->firstcol + xdim;
    if (a < p->basecol) a = p->basecol;
    if (b > p->numcols) b = p->numcols;
    if (b > (int64_t)p->basecol + p->bufcols) b = (int64_t)p->basecol + p->bufcols;
    *c0 = (int32_t)a;
    *c1 = (int32_t)(b > a ? b : a);
}

// Grid steps from X = 640 xscale seconds: T = 10^floor(log10 X - 0.3) lies in
// (X / 20, X / 2]; major T / 2 with minor T / 10 when T >= X / 5, else major T
// with minor T / 5, so a minor step is 6.4 to 32 pixels.
static void transtimestep(double xscale, double *major, double *minor)
{
    double x = 640 * xscale, t = pow(10.0, floor(log10(x) - 0.3));
    if (x * 0.2 <= t) *major = 0.5 * t, *minor = 0.1 * t;
    else *major = t, *minor = 0.2 * t;
}

// row of stored value s (row = u s + yoffset): -1 above the view, ydim below it
static int32_t transrow(double s, double u, double yoffset, int32_t ydim)
{
    double r = u * s + yoffset;
    if (!(r > -1)) return -1;
    if (r >= ydim) return ydim;
    return (int32_t)r;
}

// === grids and labels ===

// an axis label near (x, y), moved inside the view, or nothing when that overlaps
static void labeltext(int32_t fnt, int32_t x, int32_t y, const char *s, int32_t gap)
{
    if (plotspot(fnt, &x, &y, s, gap, 0)) drawtext(fnt, x, y, LABELCOL, BACKCOL, "", s);
}

// a read-out at x (moved inside the view) on the free row nearest y
static void readouttext(int32_t fnt, int32_t x, int32_t y, int32_t fg, int32_t bg, const char *s)
{
    if (plotspot(fnt, &x, &y, s, 0, 1)) drawtext(fnt, x, y, fg, bg, "", s);
}

// a line every minor step from t = 0 on, solid at the multiples of the major step
static void transtimegrid(const plottype *p, double major, double minor, int32_t xdim, int32_t ydim)
{
    int32_t per = (int32_t)nearbyint(major / minor);  // 5
    double dm = minor / p->xscale, j = 0;
    int32_t c = -1;  // lines left until the next solid one
    if (!(dm > 0) || !isfinite(p->xoffset)) return;
    if (p->firstcol >= 0) {
        double a = floor(p->xoffset / dm);
        j = a + 1;
        c = per - 2 - posmod(a, per);
    }
    for (double x = j * dm - p->xoffset; x < xdim; j++, x = j * dm - p->xoffset) {
        int32_t ix = (int32_t)x;
        if (c < 0) {
            line(ix, 0, ix, ydim, GRIDCOL);
            c += per;
        } else {
            dotline2d(ix, 0, ix, ydim, DOTCOL, DOTS);
        }
        c--;
    }
}

// the unit of the probed quantity
static const char *transunit(const plottype *p) { return plotamps(p) ? "A" : "V"; }

// value step dv from r = yscale 256 / ydim (the value of 128 pixels): 0.2, 0.5
// or 1 times its power of ten m, so a step is 13 to 26 pixels; every o-th line
// is solid and labelled, the labelled one nearest 0 is the dashed zero line
static void transvaluegrid(const plottype *p, int32_t xdim, int32_t ydim, int32_t fnt)
{
    double r = p->yscale * 256 / ydim, m = pow(10.0, floor(log10(r))), dv = m;
    int32_t o = 5;
    if (r < 2 * m) dv = 0.2 * m;
    else if (r < 5 * m) dv = 0.5 * m, o = 2;
    double dy = dv * ydim * 0.5 / p->yscale;
    if (!(dy > 0) || !isfinite(p->yoffset)) return;
    int32_t xl = p->firstcol < 0 ? -p->firstcol : 0, fh = fontlist[fnt].height;
    double k = floor(p->yoffset / dy);  // the first line, at y in [0, dy), carries q = k dv
    int32_t count = posmod(k, o);
    for (double i = 0, y = p->yoffset - k * dy; y < ydim; i++, y = p->yoffset - (k - i) * dy) {
        int32_t iy = (int32_t)y;
        if (--count >= 0) {
            dotline2d(xl, iy, xdim, iy, DOTCOL, DOTS);
            continue;
        }
        double q = (k - i) * dv;
        line(xl, iy, xdim, iy, GRIDCOL);
        if (fabs(q) < dv) {
            dotline2d(xl + 1, iy, xdim, iy, LABELCOL, ZERODASH);
            q = 0;
        }
        labeltext(fnt, xl + 1, iy - fh / 2, plotlabel(q, o * dv, transunit(p)), 0);
        count += o;
    }
}

// the time of every major line, centred on it, along the top; one that would
// come within a glyph of the one before is left out
static void transtimelabels(const plottype *p, double major, int32_t xdim, int32_t fnt)
{
    double dM = major / p->xscale, i = floor(p->xoffset / dM) + 1;
    int32_t hw = fontlist[fnt].width / 2;
    if (!(dM > 0)) return;
    for (i = i > 0 ? i : 0; i * dM < xdim + p->xoffset; i++) {
        const char *s = plotlabel(i * major, major, "s");
        labeltext(fnt, (int32_t)(i * dM - p->xoffset) - (int32_t)strlen(s) * hw, 0, s, 2 * hw);
    }
}

// === trace ===

// The visible computed columns as vertical spans from their minimum to their
// maximum row, each stretched to reach the rows of the column before it, so
// neighbours join into one trace; a column without samples breaks it.
static void transtrace(const plottype *p, int32_t k, int32_t xdim, int32_t ydim, double u)
{
    int32_t c0, c1, pa = 0, pb = 0, joined = 0;
    tracecols t = traceof(p, k);
    transvisible(p, xdim, &c0, &c1);
    for (int32_t c = c0; c < c1; c++) {
        double lo = t.colmin[c - p->basecol], hi = t.colmax[c - p->basecol];
        if (isnan(lo) || isnan(hi)) {
            joined = 0;
            continue;
        }
        int32_t ya = transrow(lo, u, p->yoffset, ydim), yb = transrow(hi, u, p->yoffset, ydim);
        if (!joined) pa = ya, pb = yb;
        int32_t top = ya < pb + 1 ? ya : pb + 1, bottom = yb > pa - 1 ? yb : pa - 1;
        line(c - p->firstcol, top, c - p->firstcol, bottom + 1, t.colour);
        pa = ya, pb = yb, joined = 1;
    }
}

// === read-outs ===

// the time under the mouse, the value at its height, the curve's value in its column
static void transreadouts(const plottype *p, double u)
{
    int32_t mx, my, fnt = circfontindex(), fw = fontlist[fnt].width;
    plotmouse(&mx, &my);
    int64_t c = (int64_t)mx + p->firstcol;
    if (c < 0) return;
    char s[64];
    snprintf(s, sizeof s, "%s", plotnum((mx + p->xoffset) * p->xscale, "s"));
    readouttext(fnt, mx - 10 * (fw / 2), 20, LABELCOL, -1, s);
    snprintf(s, sizeof s, "%s", plotnum((p->yoffset - my) / u, transunit(p)));
    readouttext(fnt, 24, my + 1, LABELCOL, -1, s);
    if (c >= p->numcols || c < p->basecol || c >= (int64_t)p->basecol + p->bufcols) return;
    double mid = (p->colmin[c - p->basecol] + p->colmax[c - p->basecol]) / 2;  // stored s = -q
    if (isnan(mid)) return;
    snprintf(s, sizeof s, "%s", plotnum(-mid, transunit(p)));
    readouttext(fnt, mx - 10 * (fw / 2), plotclamp(u * mid + p->yoffset + 1, 0, viewy), TRACECOL, BACKCOL, s);
}

// === computing ===

// the column a window xdim wide computes up to: the view and one view width past it
static int32_t transuntil(const plottype *p, int32_t xdim)
{
    int64_t u = (int64_t)p->firstcol + 2 * (int64_t)xdim;
    return u < INT32_MAX ? (int32_t)u : INT32_MAX;
}

// 1: transient or Bode window p, xdim wide, still has columns to compute
static int32_t plotbusy(const plottype *p, int32_t xdim)
{
    if (p->kind == PLOT_BODE) return p->reset == -1 || !p->swept || p->cachexdim != xdim;
    if (p->reset == -1 || p->numcols < 0) return 1;
    return p->numcols < transuntil(p, xdim) && (int64_t)p->numcols < (int64_t)p->basecol + p->bufcols;
}

int32_t plotswait;

double plotbudget(const plottype *p, int32_t xdim)
{
    if (plotswait) return 0;
    int32_t n = plotbusy(p, xdim);
    for (int32_t i = 0; i < numplots; i++) {
        const plottype &r = plot[i];
        if (&r != p && (r.kind == PLOT_TRANS || r.kind == PLOT_BODE) && r.state != 2 &&
            plotbusy(&r, (int32_t)(r.right - r.left)))
            n++;
    }
    double b = n > 0 ? PASSBUDGET / n : WINBUDGET;
    return b < WINBUDGET ? b : WINBUDGET;
}

// again from t = 0 with the view as it is: the buffer starts where a scroll
// to the left would start it, three quarters of a buffer before the view
static void transrestartkeep(plottype *p)
{
    transrestart(p);
    int32_t back = p->firstcol - (3 * p->bufcols >> 2);
    p->basecol = back > 0 ? back : 0;
}

// === drawing ===

// the note over a run whose states ran away: its sub-steps are too coarse
// for the circuit, so what it shows is not the circuit's response
static void transunstable(int32_t fnt, int32_t xdim, int32_t ydim)
{
    static const char note[] = "unstable at this time scale: zoom in";
    int32_t x = (xdim - (int32_t)strlen(note) * fontlist[fnt].width) / 2, y = ydim / 2;
    if (plotspot(fnt, &x, &y, note, 1, 1)) drawtext(fnt, x, y, LABELCOL, BACKCOL, "", note);
}

void transplot(int32_t plotwire, int32_t plotsense, int32_t cursor)
{
    plottype *p = gplot;
    int32_t xdim = gdd.x, ydim = gdd.y, mx, my;
    if (!p || xdim < 1 || ydim < 1) return;
    p->plotwire = plotwire, p->plotsense = plotsense;
    if (p->reset == -1) {  // the circuit changed: again from t = 0, the view kept
        p->reset = 0;
        transrestartkeep(p);
    }
    if (!transprobeok(plotwire, plotsense)) return;
    int32_t fnt = circfontindex(), fw = fontlist[fnt].width, fh = fontlist[fnt].height;
    int32_t amps = plotamps(p);
    double u = ydim * 0.5 / p->yscale, major, minor;  // u: pixels per unit
    plotmouse(&mx, &my);
    if (cursor) plotcrosshair(mx, my);
    // the fixed labels' places, in order of precedence
    const char *quantity = amps ? "Amps" : "Volts", *title = "Transient Analysis";
    int32_t qx = 0, qy = ydim - fh, sx = xdim - 7 * fw, sy = fh, tx = xdim - 18 * fw, ty = ydim - fh;
    plottexts(xdim, ydim);
    int32_t hasquantity = plotspot(fnt, &qx, &qy, quantity, 0, 0);
    int32_t hasseconds = plotspot(fnt, &sx, &sy, "Seconds", 0, 0);
    int32_t hastitle = plotspot(fnt, &tx, &ty, title, fw, 0);
    transtimestep(p->xscale, &major, &minor);
    transtimegrid(p, major, minor, xdim, ydim);
    transvaluegrid(p, xdim, ydim, fnt);
    transtimelabels(p, major, xdim, fnt);
    if (hasquantity) drawtext(fnt, qx, qy, LABELCOL, BACKCOL, "", quantity);
    if (hasseconds) drawtext(fnt, sx, sy, LABELCOL, BACKCOL, "", "Seconds");
    const double budget = plotbudget(p, xdim);
    if (budget > 0 &&
        transcompute(p, xdim, vopts.sampsperpix, transuntil(p, xdim), plotclock, plotclock() + budget) != SOLVED)
        SysBeep(32);  // the initial conditions could not be solved: the states start at 0
    for (int32_t k = p->numextra; k >= 0; k--) transtrace(p, k, xdim, ydim, u);  // the window's own on top
    if (p->clamped) transunstable(fnt, xdim, ydim);
    tracelegend(p, 3 * fw, 2 * fh);
    plotcursordraw(p, xdim, ydim);
    plotmeasuredraw(p, ydim);
    if (hastitle) drawtext(fnt, tx, ty, LABELCOL, BACKCOL, "", title);
    plotboxdraw(p);
    if (cursor) transreadouts(p, u);
}

// The visible computed columns' range [lo, hi] fills the middle 80 % of the
// height: yscale = 1.25 (hi - lo) / 2 and the middle value on the middle row.
// A flat or empty range is widened to 0.0001 about its middle.
void transautoscale(void)
{
    plottype *p = gplot;
    int32_t c0, c1, ydim = gdd.y;
    double lo = 1e32, hi = -1e32;  // in double: a small ripple on a large level keeps its span
    transvisible(p, gdd.x, &c0, &c1);
    for (int32_t k = 0; k <= p->numextra; k++) {  // every trace on screen
        tracecols t = traceof(p, k);
        for (int32_t c = c0; c < c1; c++) {
            double a = t.colmin[c - p->basecol], b = t.colmax[c - p->basecol];
            if (a < lo) lo = a;
            if (b < lo) lo = b;
            if (a > hi) hi = a;
            if (b > hi) hi = b;
        }
    }
    if (hi - lo < 0.0001) {
        double mid = (lo + hi) / 2;
        lo = mid - 0.00005, hi = mid + 0.00005;
    }
    p->yscale = (hi - lo) * 0.5 * 1.25;
    p->yoffset = ydim * 0.5 - (lo + hi) * ydim * 0.25 / p->yscale;
}

// === controls ===

static void transrestartview(plottype *p)
{
    transrestart(p);
    p->xoffset = -2.0;
    p->firstcol = -2;
}

// Left and Right step the time scale by 4 within XSCMIN..XSCMAX, the range a
// circuit file holds, so a saved scale loads back as it was; the scale is the
// circuit's suggestion for the next window and the run starts again
static void transtimescale(plottype *p, int32_t scan)
{
    double x = p->xscale;
    if (scan == SC_LEFT && x * 0.25 >= XSCMIN) x *= 0.25;
    else if (scan == SC_RIGHT && x * 4 <= XSCMAX) x *= 4;
    else return;
    p->xscale = transdefxsc = x;
    transrestartview(p);
    transscalechanged = 1;  // the circuit file holds the scale
}

// zoom the value axis by f about row r of the window
static void transzoom(plottype *p, double f, double r)
{
    p->yoffset = (p->yoffset - r) / f + r;
    p->yscale *= f;
}

// The wheel: the time scale by 4 a notch about the time under the mouse
// (within what a circuit file holds, as Left and Right), with Control the
// value scale by 1.25 a notch about the mouse's row (not with auto scale)
static void transwheel(plottype *p)
{
    int32_t n = plotnotches(), mx, my;
    if (!n) return;
    plotmouse(&mx, &my);
    if (ctrlheld()) {
        if (!vopts.autoyscale) transzoom(p, fmin(fmax(pow(0.8, n), 0.00001 / p->yscale), 1048576 / p->yscale), my);
        return;
    }
    double x = p->xscale, t = ((double)p->firstcol + mx) * x;
    for (; n > 0 && x * 0.25 >= XSCMIN; n--) x *= 0.25;
    for (; n < 0 && x * 4 <= XSCMAX; n++) x *= 4;
    if (x == p->xscale) return;
    p->xscale = transdefxsc = x;
    p->xoffset = fmin(fmax(nearbyint(t / x) - mx, -(double)(xres >> 1)), XOFFSETMAX);
    p->firstcol = (int32_t)p->xoffset;
    transrestartkeep(p);
    transscalechanged = 1;
}

// Home: the window's first view, at the time scale it opened with (which
// becomes the circuit's again, as after Left and Right)
static void transhome(plottype *p)
{
    if (p->xscale != p->homexscale) transscalechanged = 1;
    p->xscale = transdefxsc = p->homexscale;
    p->yscale = 16.0;
    p->yoffset = (p->bottom - p->top) * 0.5;
    transrestartview(p);
}

// Scrolls by sx pixels (at most a screen less one, never left of minus half
// a screen). Moving right slides the buffer when the first visible column
// is more than three quarters of it past its start; moving left of the
// buffer's start computes again from t = 0, keeping the columns from a
// quarter buffer before the view on.
static void transhscroll(plottype *p, double sx)
{
    int32_t w = xres, old = p->firstcol;
    checkmaxxdim(p, w);
    p->xoffset += sx < w - 1 ? sx : w - 1;
    if (p->xoffset < -(w >> 1)) p->xoffset = -(w >> 1);
    if (p->xoffset > XOFFSETMAX) p->xoffset = XOFFSETMAX;
    p->firstcol = (int32_t)nearbyint(p->xoffset);
    int32_t back = p->firstcol - (3 * p->bufcols >> 2);  // base that keeps 3/4 buffer behind the view
    if (back < 0) back = 0;
    if (p->firstcol > old) {
        int32_t d = back - p->basecol;
        if (d < 1) return;
        int64_t keep = (int64_t)p->numcols - back;  // computed columns from the new base on
        if (keep > p->bufcols - d) keep = p->bufcols - d;
        if (keep > 0) {
            memmove(p->colmin, p->colmin + d, (size_t)keep * sizeof(double));
            memmove(p->colmax, p->colmax + d, (size_t)keep * sizeof(double));
        }
        p->basecol = back;
    } else if (p->firstcol < old && p->firstcol < p->basecol && p->basecol > 0) {
        p->numcols = -1;
        p->basecol = back;
    }
}

// Shift with the arrows scrolls 512 pixels a second (right Shift 3 times,
// both 4 times); otherwise a held button drags the trace with the mouse
static void transscroll(plottype *p)
{
    int32_t l = keystatus[SC_LEFT], r = keystatus[SC_RIGHT], up = keystatus[SC_UP], dn = keystatus[SC_DOWN];
    int32_t fixed = !vopts.autoyscale;
    double sx = -frmousx, sy = -frmousy;
    if (shiftheld() && (l || r || (fixed && (up || dn)))) {
        double k = 512 * deltim * (3 * keystatus[SC_RSHIFT] + keystatus[SC_LSHIFT]);
        sx += (r - l) * k;
        if (fixed) sy += (dn - up) * k;
        transhscroll(p, sx);
    } else {
        if (!(bstatus & obstatus) || dragwindi >= 0) return;  // held since the last pass: the way to a click does not drag
        if (sx != 0) transhscroll(p, sx);
    }
    if (fixed) p->yoffset -= sy;
}

// A zoom box: the finest time scale step at which its width still fits the
// window, scrolled so that its left edge is the window's; its rows fill the
// height (not with auto Y scale)
static void transbox(plottype *p, const plotrect &r)
{
    double w = p->right - p->left, h = p->bottom - p->top;
    if (r.x1 - r.x0 >= BOXLEAST) {
        double x = p->xscale, t0 = ((double)p->firstcol + r.x0) * x, span = (r.x1 - r.x0) * x;
        while (x * 0.25 >= XSCMIN && span <= w * x * 0.25) x *= 0.25;
        double first = fmin(fmax(nearbyint(t0 / x), -(double)(xres >> 1)), XOFFSETMAX);
        if (x == p->xscale) {
            transhscroll(p, first - p->xoffset);  // the columns computed stay
        } else {
            p->xscale = transdefxsc = x;
            p->xoffset = first;
            p->firstcol = (int32_t)p->xoffset;
            transrestartkeep(p);
            transscalechanged = 1;
        }
    }
    if (r.y1 - r.y0 >= BOXLEAST && !vopts.autoyscale && h > 0) {
        double f = fmin(fmax((r.y1 - r.y0) / h, 0.00001 / p->yscale), 1048576 / p->yscale);
        p->yoffset = (p->yoffset - r.y0) / f;  // row y0 becomes the top
        p->yscale *= f;
    }
}

void transcontrols(void)
{
    plottype *p = gplot;
    for (int32_t k; (k = mykeyread()) != 0;) {
        if (iscopykey(k)) plotcopy();
        if (plotmeasurekey(p, k) || ((k & 255) && !(k & (KEYCTRL | KEYOPTION)))) continue;
        if ((k >> 8 & 255) == SC_HOME) transhome(p);
        else if (!(k & KEYSHIFT)) transtimescale(p, k >> 8 & 255);
    }
    transwheel(p);
    int32_t held = plotcursors(p);  // a cursor following the mouse: the trace stays
    // Up and Down held: a factor of 4 a second, yscale kept in [0.00001, 1048576]
    double h = p->bottom - p->top;
    if (!vopts.autoyscale && !shiftheld()) {
        if (keyheld(SC_UP)) transzoom(p, fmax(pow(0.25, deltim), 0.00001 / p->yscale), h / 2);
        if (keyheld(SC_DOWN)) transzoom(p, fmin(pow(4.0, deltim), 1048576 / p->yscale), h / 2);
    }
    plotrect box;
    int32_t boxing = plotbox(p, 1, &box);
    if (boxing == 2) transbox(p, box);
    if (!held && !boxing) transscroll(p);
}
