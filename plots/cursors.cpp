// cursors.cpp: the two cursors of a transient or Bode window. A left click
// in the plot sets cursor A, a Shift+left click cursor B, and a press on a
// cursor's line drags it (the plot does not scroll then). A cursor keeps
// its place on the axis, a time or a frequency, when the view changes; it
// reads on the column it stands on. The read-out gives each cursor's place
// and the curve there and, with both set, the differences: dt and 1/dt of
// a transient, the frequency ratio and the changes of gain and phase of a
// Bode plot.
#include "plots/plots.h"
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { CURSORREACH = 3 };  // pixels either side of a cursor's line that a press grabs it
static const int32_t curcol[2] = {PAL_LIGHTGREEN, PAL_YELLOW};
static const uint32_t CURSORDOTS = 0x33333333;

static int32_t grabbed;         // 1 cursor A, 2 cursor B follows the mouse; 0 none
static int32_t pressed;         // 1 while a left press that may become a click is held
static int32_t pressx, pressy;  // where it went down, client pixels
static const plottype *pressin; // the window it went down in

static double *cursor(plottype *p, int32_t k) { return k ? &p->curb : &p->cura; }
static double cursorof(const plottype *p, int32_t k) { return k ? p->curb : p->cura; }
static double clientw(const plottype *p) { return p->right - p->left; }

// === the axis: client column <-> a cursor's place ===

// the column a cursor at a stands on, in client columns (transient: firstcol on)
static int64_t cursorx(const plottype *p, double a)
{
    if (p->kind == PLOT_TRANS) return (int64_t)nearbyint(a / p->xscale) - p->firstcol;
    return (int64_t)nearbyint(bodecolumn(p, a, clientw(p)));
}

// the place on the axis of client column mx (no time before t = 0)
static double cursorat(const plottype *p, int32_t mx)
{
    if (p->kind != PLOT_TRANS) return bodelogfreq(p, mx, clientw(p));
    int64_t c = (int64_t)mx + p->firstcol;
    return (double)(c > 0 ? c : 0) * p->xscale;
}

// === mouse ===

int32_t plotcursors(plottype *p)
{
    int32_t mx, my, ydim = (int32_t)(p->bottom - p->top);
    plotmouse(&mx, &my);
    if ((bstatus & 1) && !(obstatus & 1) && dragwindi < 0 && mx >= 0 && my >= 0 && mx < clientw(p) && my < ydim) {
        grabbed = 0;
        for (int32_t k = 1; k >= 0; k--) {
            double a = cursorof(p, k);
            if (!isnan(a) && llabs(cursorx(p, a) - mx) <= CURSORREACH) grabbed = k + 1;
        }
        pressed = !grabbed, pressx = mx, pressy = my, pressin = p;
    }
    if (pressin != p) return 0;  // a press in another window is that window's
    if (!(bstatus & 1)) {
        if (pressed && abs(mx - pressx) < 2 && abs(my - pressy) < 2) *cursor(p, shiftheld()) = cursorat(p, mx);
        pressed = grabbed = 0;
        return 0;
    }
    if (grabbed) *cursor(p, grabbed - 1) = cursorat(p, mx);
    return grabbed != 0;
}

void plotcursorcancel(void) { pressed = 0; }

// === read-out ===

// trace k at a cursor at a: value (transient) or gain in dB (|out/in| with
// linmag) and phase in degrees (Bode); 1, or 0 where its column is not computed
static int32_t cursorvalue(const plottype *p, int32_t k, double a, double *v, double *deg)
{
    int64_t c = cursorx(p, a);
    tracecols t = traceof(p, k);
    if (p->kind == PLOT_TRANS) {
        c += p->firstcol;
        if (c < p->basecol || c >= p->numcols || c >= (int64_t)p->basecol + p->bufcols) return 0;
        double mid = (t.colmin[c - p->basecol] + t.colmax[c - p->basecol]) / 2;  // stored s = -q
        *v = -mid;
        return !isnan(mid);
    }
    if (c < BODEMARGIN || c >= p->bufcols || !(t.colmax[c] >= 0) || t.colmin[c] == BODENOGAIN) return 0;
    double d = t.colmax[c] * 180 / M_PI;
    *v = p->linmag ? exp(t.colmin[c] / 2) : t.colmin[c] * 10 / M_LN10, *deg = d > 180 ? d - 360 : d;
    return 1;
}

// the unit of trace k (transient) or of the frequency axis (Bode)
static const char *cursorunit(const plottype *p, int32_t k)
{
    if (p->kind != PLOT_TRANS) return p->hertz ? "Hz" : "rad/s";
    tracecols t = traceof(p, k);
    return traceamps(t.plotwire, t.plotsense) ? "A" : "V";
}

// v in engineering form with its unit, at s
static int32_t eng(char *s, int32_t n, double v, const char *unit) { return n > 0 ? snprintf(s, n, "%s", plotnum(v, unit)) : 0; }

// trace k's value at a (or B's change from A when b is a number), after two spaces
static int32_t tracevalue(const plottype *p, int32_t k, double a, double b, char *s, int32_t n)
{
    double v = 0, deg = 0, vb = 0, degb = 0;
    if (n < 3 || !cursorvalue(p, k, a, &v, &deg)) return 0;
    if (!isnan(b)) {
        if (!cursorvalue(p, k, b, &vb, &degb)) return 0;
        v = vb - v, deg = degb - deg;
    }
    int32_t at = snprintf(s, n, "  ");
    if (p->kind == PLOT_TRANS) return at + eng(s + at, n - at, v, cursorunit(p, k));
    if (p->linmag) {
        at += eng(s + at, n - at, v, "");
        return at < n ? at + snprintf(s + at, n - at, "  %.1f deg", deg) : at;
    }
    return at + snprintf(s + at, n - at, "%.2f dB  %.1f deg", v, deg);
}

// s, with every trace's value at a (or change from a to b) after the at characters there
static void tracevalues(const plottype *p, double a, double b, char *s, int32_t n, int32_t at)
{
    for (int32_t k = 0; k <= p->numextra && at < n; k++) {
        int32_t m = tracevalue(p, k, a, b, s + at, n - at);
        if (!m && p->numextra) m = snprintf(s + at, n - at, "  -");  // keeps the traces' order
        at += m;
    }
}

int32_t plotcursortext(const plottype *p, int32_t k, char *s, int32_t n)
{
    double a = p->cura, b = p->curb;
    const int32_t trans = p->kind == PLOT_TRANS;
    if (k < 2) {
        double c = cursorof(p, k);
        if (isnan(c)) return 0;
        int32_t at = snprintf(s, n, "%c ", k ? 'B' : 'A');
        at += eng(s + at, n - at, trans ? c : pow(10.0, c), trans ? "s" : cursorunit(p, 0));
        tracevalues(p, c, NAN, s, n, at);
        return 1;
    }
    if (isnan(a) || isnan(b) || a == b) return 0;
    if (k == 3) {
        int32_t at = snprintf(s, n, "B-A");
        tracevalues(p, a, b, s, n, at);
        return (int32_t)strlen(s) > at;
    }
    int32_t at = snprintf(s, n, trans ? "dt " : "df ");
    at += eng(s + at, n - at, trans ? b - a : pow(10.0, b) - pow(10.0, a), trans ? "s" : cursorunit(p, 0));
    if (at >= n) return 1;
    if (!trans) {
        snprintf(s + at, n - at, "  fB/fA %s", ltrim(fstr(pow(10.0, b - a))));
        return 1;
    }
    at += snprintf(s + at, n - at, "  1/dt ");
    if (at < n) eng(s + at, n - at, 1 / (b - a), "Hz");
    return 1;
}

void plotcursordraw(const plottype *p, int32_t xdim, int32_t ydim)
{
    int32_t fnt = circfontindex(), fh = fontlist[fnt].height;
    for (int32_t k = 0; k < 2; k++) {
        double a = cursorof(p, k);
        if (isnan(a)) continue;
        int64_t x = cursorx(p, a);
        if (x < 0 || x >= xdim) continue;
        dotline2d((double)x, 0, (double)x, ydim, curcol[k], CURSORDOTS);
        int32_t lx = (int32_t)x + 2, ly = ydim - 2 * fh;  // beside its line, clear of the texts
        if (plotspot(fnt, &lx, &ly, k ? "B" : "A", 0, 1)) drawtext(fnt, lx, ly, curcol[k], PAL_BLACK, "", k ? "B" : "A");
    }
    char s[96];
    for (int32_t k = 0, y = 2 * fh; k < 4; k++) {
        if (!plotcursortext(p, k, s, sizeof s)) continue;
        int32_t x = fontlist[fnt].width + (p->kind == PLOT_TRANS ? 0 : BODEMARGIN), row = y;
        if (plotspot(fnt, &x, &row, s, 0, 1)) drawtext(fnt, x, row, k < 2 ? curcol[k] : PAL_LIGHTGREY, PAL_BLACK, "", s);
        y = row + fh;
    }
}
