// cursors.cpp: the two cursors of a transient window. A left click in the
// plot sets cursor A, a Shift+left click cursor B, and a press on a
// cursor's line drags it (the trace does not scroll then). A cursor stands
// on a column, so its time is a whole number of columns; it keeps its time
// when the scale or the scroll changes. The read-out gives each cursor's
// time and the trace's value there and, with both set, the differences:
// dt and 1/dt, and the change of value from A to B.
#include "plots/plots.h"
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

enum { CURSORREACH = 3 };  // pixels either side of a cursor's line that a press grabs it
static const int32_t curcol[2] = {PAL_LIGHTGREEN, PAL_YELLOW};
static const uint32_t CURSORDOTS = 0x33333333;

static int32_t grabbed;         // 1 cursor A, 2 cursor B follows the mouse; 0 none
static int32_t pressed;         // 1 while a left press that may become a click is held
static int32_t pressx, pressy;  // where it went down, client pixels

static double *cursor(plottype *p, int32_t k) { return k ? &p->curb : &p->cura; }
static double cursorof(const plottype *p, int32_t k) { return k ? p->curb : p->cura; }

// the column a cursor at time t stands on
static int64_t cursorcol(const plottype *p, double t) { return (int64_t)nearbyint(t / p->xscale); }

// the time of the column under client column mx (none before t = 0)
static double columntime(const plottype *p, int32_t mx)
{
    int64_t c = (int64_t)mx + p->firstcol;
    return (double)(c > 0 ? c : 0) * p->xscale;
}

int32_t transcursors(plottype *p)
{
    int32_t mx, my, xdim = (int32_t)(p->right - p->left), ydim = (int32_t)(p->bottom - p->top);
    plotmouse(&mx, &my);
    if ((bstatus & 1) && !(obstatus & 1) && dragwindi < 0 && mx >= 0 && my >= 0 && mx < xdim && my < ydim) {
        grabbed = 0;
        for (int32_t k = 1; k >= 0; k--) {
            double t = cursorof(p, k);
            if (!isnan(t) && llabs(cursorcol(p, t) - p->firstcol - mx) <= CURSORREACH) grabbed = k + 1;
        }
        pressed = !grabbed, pressx = mx, pressy = my;
    }
    if (!(bstatus & 1)) {
        if (pressed && abs(mx - pressx) < 2 && abs(my - pressy) < 2) *cursor(p, shiftheld()) = columntime(p, mx);
        pressed = grabbed = 0;
        return 0;
    }
    if (grabbed) *cursor(p, grabbed - 1) = columntime(p, mx);
    return grabbed != 0;
}

// the trace's value at a cursor at time t: 1, or 0 where its column is not computed
static int32_t cursorvalue(const plottype *p, double t, double *v)
{
    int64_t c = cursorcol(p, t);
    if (c < p->basecol || c >= p->numcols || c >= (int64_t)p->basecol + p->bufcols) return 0;
    double mid = (p->colmin[c - p->basecol] + p->colmax[c - p->basecol]) / 2;  // stored s = -q
    if (isnan(mid)) return 0;
    *v = -mid;
    return 1;
}

int32_t transcursortext(const plottype *p, int32_t k, const char *unit, char *s, int32_t n)
{
    double a = p->cura, b = p->curb, va, vb;
    if (k < 2) {
        double t = cursorof(p, k), v;
        if (isnan(t)) return 0;
        int32_t at = snprintf(s, n, "%c t=%s s", k ? 'B' : 'A', ltrim(fstr(t)));
        if (cursorvalue(p, t, &v) && at < n) snprintf(s + at, n - at, "  %s%s", ltrim(fstr(v)), unit);
        return 1;
    }
    if (isnan(a) || isnan(b) || a == b) return 0;
    if (k == 3) {
        if (!cursorvalue(p, a, &va) || !cursorvalue(p, b, &vb)) return 0;
        snprintf(s, n, "B-A=%s%s", ltrim(fstr(vb - va)), unit);
        return 1;
    }
    int32_t at = snprintf(s, n, "dt=%s s", ltrim(fstr(b - a)));
    if (at < n) snprintf(s + at, n - at, "  1/dt=%s Hz", ltrim(fstr(1 / (b - a))));
    return 1;
}

void transcursordraw(const plottype *p, int32_t xdim, int32_t ydim, const char *unit)
{
    int32_t fnt = circfontindex(), fh = fontlist[fnt].height;
    for (int32_t k = 0; k < 2; k++) {
        double t = cursorof(p, k);
        if (isnan(t)) continue;
        int64_t x = cursorcol(p, t) - p->firstcol;
        if (x < 0 || x >= xdim) continue;
        dotline2d((double)x, 0, (double)x, ydim, curcol[k], CURSORDOTS);
        drawtext(fnt, (int32_t)x + 2, ydim - 2 * fh, curcol[k], PAL_BLACK, "", k ? "B" : "A");
    }
    char s[96];
    for (int32_t k = 0, y = 2 * fh; k < 4; k++) {
        if (!transcursortext(p, k, unit, s, sizeof s)) continue;
        int32_t x = fontlist[fnt].width, row = y;
        if (plotspot(fnt, &x, &row, s, 0, 1)) drawtext(fnt, x, row, k < 2 ? curcol[k] : PAL_LIGHTGREY, PAL_BLACK, "", s);
        y = row + fh;
    }
}
