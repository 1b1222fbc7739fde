// bodeplot.cpp: the Bode window: gain (upper 60 %) and phase (lower 40 %) of
// out/in over a logarithmic frequency axis, with grids, labels and the unit
// toggles, the traces drawn from the window's column cache that bodecolumns
// fills left to right within the windows' budget (a column is solved once,
// then only redrawn; a large circuit's curve grows over several passes, its
// ranges fitted once it is whole), the read-outs, and the
// window's keys and mouse (ranges, unit, panning). Its texts are placed as
// the transient window's are: none overlaps another or leaves the view.
// Depends on plots.h and the analysis. Columns left of BODEMARGIN hold labels
// only; a column whose solve failed stays blank and has no read-out.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "plots/plots.h"

static const uint32_t ZERODASH = 0x66666666;
enum {
    BACKCOL = PAL_BLACK, GRIDCOL = PAL_BROWN, LABELCOL = PAL_LIGHTGREY, FINECOL = PAL_DARKGREY,
    SEPCOL = PAL_YELLOW, TRACECOL = PAL_WHITE,
};
enum { TURN = 65536, HALFTURN = 32768 };  // phases in 1/65536 of a turn
static const double LOG2PI = 0.79817986835811504;  // log10(2 pi): a hertz axis is shifted by it

// one call's geometry
struct bodeview {
    int32_t xdim, ydim;
    double gp, ph;       // gain panel height 0.6 ydim, phase panel height 0.4 ydim
    int32_t gbot;        // first row of the phase panel: trunc(gp)
    double dboff;        // row of 0 dB (with linmag: of |out/in| = 0)
    double magscale;     // with linmag: pixels per unit of |out/in|, negative
    double unity;        // row of 0 dB, |out/in| = 1
    int32_t font, fw, fh;
    // the fixed texts: the two unit labels, the two panel names, the title
    const char *fixed[5];
    int32_t fixx[5], fixy[5], fixon[5];
    char title[32];
};

static int32_t turnmod(double v)
{
    double r = fmod(v, TURN);
    return (int32_t)(r < 0 ? r + TURN : r);
}

// === geometry ===

// row of phase value q (0..65535, 1/65536 turn, phaseoffs included): q = 0 at
// the bottom, up from there; rounded as the grid rows are, so a phase on a
// grid line is drawn on it
static double phaserow(const bodeview &v, int32_t q)
{
    return q == 0 ? v.ydim : nearbyint(turnmod(-(double)q) * v.ph / TURN + v.gp);
}

// q of a cached phase (radians in [0, 2 pi)) with the window's offset
static int32_t phaseq(const plottype *p, double rad) { return turnmod(trunc(rad * HALFTURN / M_PI) + p->phaseoffs); }

// row of the grid line at phase k (1/65536 turn; k = 0x4000 is -90 degrees)
static double phasegridrow(const plottype *p, const bodeview &v, int32_t k)
{
    return nearbyint(turnmod((double)k - p->phaseoffs) * v.ph / TURN + v.gp);
}

// a logarithmic axis is even in log10 f from lfreqlo to lfreqhi, a linear one
// even in f from 10^lfreqlo to 10^lfreqhi
double bodecolumn(const plottype *p, double lf, double w)
{
    if (!p->linfreq) return (lf - p->lfreqlo) * w / (p->lfreqhi - p->lfreqlo);
    const double flo = pow(10.0, p->lfreqlo), fhi = pow(10.0, p->lfreqhi);
    return (pow(10.0, lf) - flo) * w / (fhi - flo);
}

double bodelogfreq(const plottype *p, double x, double w)
{
    if (!p->linfreq) return p->lfreqlo + x * (p->lfreqhi - p->lfreqlo) / w;
    const double flo = pow(10.0, p->lfreqlo), fhi = pow(10.0, p->lfreqhi);
    return log10(flo + x * (fhi - flo) / w);
}

static double freqx(const plottype *p, const bodeview &v, double lf) { return nearbyint(bodecolumn(p, lf, v.xdim)); }

// |out/in| of a cached gain ln|out/in|^2
static double magof(double g) { return exp(g / 2); }

// the step of 1, 2, 2.5 or 5 times a power of ten nearest above r
static double nicestep(double r)
{
    double m = pow(10.0, floor(log10(r)));
    return r <= m ? m : r <= 2 * m ? 2 * m : r <= 2.5 * m ? 2.5 * m : r <= 5 * m ? 5 * m : 10 * m;
}

// === clipped lines ===

// line of the plot routines drawn only inside [x0, xdim) x [y0, y1) of gdd
static void panelline(int32_t x0, int32_t y0, int32_t y1, double ax, double ay, double bx, double by, int32_t col)
{
    tiletype saved = gdd;
    if (y1 > gdd.y) y1 = gdd.y;
    if (x0 >= gdd.x || y0 >= y1) return;
    gdd.f += (intptr_t)y0 * gdd.p + (intptr_t)x0 * colbytes;
    gdd.x -= x0, gdd.y = y1 - y0;
    line(ax - x0, ay - y0, bx - x0, by - y0, col);
    gdd = saved;
}

// a read-out with a dark shadow above-left and below-right, centred on x
// inside the view, on the free row nearest y
static void shadowtext(const bodeview &v, int32_t x, int32_t y, int32_t col, const char *s)
{
    x -= (int32_t)strlen(s) * (v.fw / 2);
    if (!plotspot(v.font, &x, &y, s, 1, 1)) return;
    drawtext(v.font, x - 1, y - 1, BACKCOL, -1, "", s);
    drawtext(v.font, x + 1, y + 1, BACKCOL, -1, "", s);
    drawtext(v.font, x, y, col, -1, "", s);
}

// === grids ===

// an axis label at the left edge centred on row y, moved inside the view, or
// nothing where it would overlap a text placed before
static void sidelabel(const bodeview &v, double y, const char *s)
{
    int32_t x = 0, ty = (int32_t)y - v.fh / 2;
    if (plotspot(v.font, &x, &ty, s, 0, 0)) drawtext(v.font, x, ty, LABELCOL, BACKCOL, "", s);
}

// centred on its line, but never cut by the top edge (the top line's label);
// none for a line outside the gain panel
static void dblabel(const bodeview &v, double db, double y)
{
    char s[16];
    if (!(y >= 0 && y < v.gp)) return;
    if (db == 0) snprintf(s, sizeof s, " 0");
    else snprintf(s, sizeof s, "%+d", (int32_t)db);
    sidelabel(v, y, s);
}

// Lines every 20 dB, and finer ones inside each 20 dB band when a dB is
// more than 3 pixels: every dB (5, 10 and 15 solid and labelled), every 5 dB
// or every 10 dB (the band's middle labelled).
static void bodegaingrid(const plottype *p, const bodeview &v)
{
    double s = p->dbscale, top = trunc(p->dbhi / 20) * 20, bottom = trunc(p->dblo);
    if (s < -3) {
        int32_t step = s < -10 ? 1 : s < -5 ? 5 : 10;
        for (double d = top; d > bottom - 20; d -= 20)
            for (int32_t i = step; i < 20; i += step) {
                double y = (d + i) * s + v.dboff;
                int32_t major = step == 1 && i % 5 == 0;
                if (y >= v.gp) continue;
                line(BODEMARGIN, y, v.xdim, y, major ? GRIDCOL : FINECOL);
                if (major || (step > 1 && i == 10)) dblabel(v, d + i, y);
            }
    }
    for (double d = top; d > bottom; d -= 20) {
        double y = d * s + v.dboff;
        line(BODEMARGIN, y, v.xdim, y, GRIDCOL);
        dblabel(v, d, y);
    }
}

// |out/in|: a labelled line every nice step of at least 24 pixels
static void bodemaggrid(const plottype *p, const bodeview &v)
{
    double span = p->maghi - p->maglo, step = nicestep(span * 24 / v.gp);
    if (!(span > 0) || !isfinite(step) || !(step > 0)) return;
    for (double k = ceil(p->maglo / step); k * step <= p->maghi; k++) {
        double m = k * step, y = (m - p->maghi) * v.gp / -span;
        if (y >= v.gp) continue;
        line(BODEMARGIN, y, v.xdim, y, GRIDCOL);
        if (y >= 0) sidelabel(v, y, plotlabel(fabs(m) < step / 2 ? 0 : m, step, ""));
    }
}

// -90, 0, +90 and 180 degrees
static void bodephasegrid(const plottype *p, const bodeview &v)
{
    static const int32_t k[4] = {0x4000, 0, -0x4000, -0x8000};
    static const char *const label[4] = {"-90", " 0 ", "+90", "180"};
    for (int32_t i = 0; i < 4; i++) {
        double y = phasegridrow(p, v, k[i]);
        line(BODEMARGIN, y, v.xdim, y, GRIDCOL);
        if (y > v.gp + v.fh) sidelabel(v, y, label[i]);
    }
}

// a frequency label at the top and the bottom, centred on x, told from the
// next one step away (0: a decade); with lastend (where the label before it
// ends) one that would run into it is left out, so a narrow window shows
// every other decade rather than a smudge
static void freqlabel(const bodeview &v, double x, double f, double step, int32_t *lastend)
{
    const char *s = plotlabel(f, step, "");
    int32_t n = (int32_t)strlen(s), lx = (int32_t)x - n * v.fw / 2;
    if (lastend && lx < *lastend + v.fw) return;
    if (lastend) *lastend = lx + n * v.fw;
    int32_t tx = lx, ty = 1;
    if (plotspot(v.font, &tx, &ty, s, 0, 0)) drawtext(v.font, tx, ty, LABELCOL, BACKCOL, "", s);
    tx = lx, ty = v.ydim - v.fh;
    if (plotspot(v.font, &tx, &ty, s, 0, 0)) drawtext(v.font, tx, ty, LABELCOL, BACKCOL, "", s);
}

// Lines at 10^d k / 10 inside decade d: every k from 11 with 540 pixels a
// decade (multiples of 10 solid, the rest dark below 50 and left out above),
// else k = 20 .. 90 (50 solid); 2 and 5 labelled from 192 pixels a decade.
static void bodesubdecade(const plottype *p, const bodeview &v, double d, double pxd)
{
    int32_t fine = pxd >= 540, step = fine ? 1 : 10;
    for (int32_t k = fine ? 11 : 20; k < 100; k += step) {
        double x = freqx(p, v, d + log10(k / 10.0));
        int32_t col = k == 50 ? GRIDCOL : FINECOL;
        if (fine) col = k % 10 == 0 ? GRIDCOL : k < 50 ? FINECOL : -1;
        if (x <= 27 || x >= v.xdim || col < 0) continue;
        line(x, 7, x, v.ydim, col);
        if (pxd >= 192 && (k == 20 || k == 50)) freqlabel(v, x, k / 10 * pow(10.0, d), 0, nullptr);
    }
}

static void bodefreqgrid(const plottype *p, const bodeview &v)
{
    double span = p->lfreqhi - p->lfreqlo, pxd = v.xdim / span;
    double first = floor(p->lfreqlo + 1), last = floor(p->lfreqhi);
    if (!(span > 0) || !isfinite(first) || !isfinite(last)) return;
    if (span * 96 <= v.xdim)
        for (double d = first - 1; d <= last; d++) bodesubdecade(p, v, d, pxd);
    int32_t lastend = INT32_MIN / 2;
    for (double d = first; d <= last; d++) {
        double x = freqx(p, v, d);
        if (x <= 27) continue;
        line(x, 7, x, v.ydim, GRIDCOL);
        if (p->lfreqlo < d && d < p->lfreqhi) freqlabel(v, x, pow(10.0, d), 0, &lastend);
    }
}

// A linear axis: a labelled line every nice step of at least 64 pixels, dark
// ones at a fifth of it from 12 pixels a fifth
static void bodelingrid(const plottype *p, const bodeview &v)
{
    const double flo = pow(10.0, p->lfreqlo), fhi = pow(10.0, p->lfreqhi), span = fhi - flo;
    double step = nicestep(span * 64 / v.xdim), fine = step / 5;
    if (!(span > 0) || !isfinite(step) || !(step > 0)) return;
    for (double k = ceil(flo / fine); fine * v.xdim / span >= 12 && k * fine <= fhi; k++) {
        double x = nearbyint((k * fine - flo) * v.xdim / span);
        if (x > 27 && x < v.xdim && fmod(k, 5) != 0) line(x, 7, x, v.ydim, FINECOL);
    }
    int32_t lastend = INT32_MIN / 2;
    for (double k = ceil(flo / step); k * step <= fhi; k++) {
        double x = nearbyint((k * step - flo) * v.xdim / span);
        if (x <= 27 || x >= v.xdim) continue;
        line(x, 7, x, v.ydim, GRIDCOL);
        freqlabel(v, x, k * step, step, &lastend);
    }
}

// === texts and reference lines ===

// the places of the fixed texts, before anything else is placed: the unit
// labels (buttons) first, the title last
static void bodeplacetexts(const plottype *p, bodeview &v)
{
    char bar = fontlist[v.font].extchars ? (char)0xB3 : '|';
    int32_t cur = plotamps(p), incur = cur || wire[p->inwire].element == 'I';
    snprintf(v.title, sizeof v.title, "%c%s/%s%c", bar, cur ? "Current" : "Voltage", incur ? "Current" : "Voltage",
             bar);
    const char *unit = p->hertz ? "frq(hz)" : "frq(rad)";
    const int32_t ux = v.xdim - 17 * v.fw / 2, fh = v.fh;
    const char *amp = p->linmag ? (p->autogain ? "|H| auto" : "|H|") : p->autogain ? "amp(dB) auto" : "amp(dB)";
    const char *const s[5] = {unit, unit, amp, "phase(deg)", v.title};
    const int32_t x[5] = {ux, ux, 0, 0, v.xdim - 17 * v.fw};
    const int32_t y[5] = {fh + 2, v.gbot + 2, fh + 2, v.gbot + 2, v.ydim - fh};
    for (int32_t i = 0; i < 5; i++) {
        v.fixed[i] = s[i], v.fixx[i] = x[i], v.fixy[i] = y[i];
        v.fixon[i] = plotspot(v.font, &v.fixx[i], &v.fixy[i], s[i], 0, 0);
    }
}

static void bodetexts(const bodeview &v)
{
    int32_t bx = v.xdim - 9 * v.fw, fh = v.fh;
    for (int32_t i = 0; i < 5; i++)
        if (v.fixon[i]) drawtext(v.font, v.fixx[i], v.fixy[i], LABELCOL, i < 2 ? -1 : BACKCOL, "", v.fixed[i]);
    // the frames that mark both unit labels as buttons
    line(bx, 2 * fh + 4, v.xdim, 2 * fh + 4, LABELCOL);
    line(bx, v.gp + fh + 4, v.xdim, v.gp + fh + 4, LABELCOL);
    line(bx, fh, bx, 2 * fh + 4, LABELCOL);
    line(bx, v.gp, bx, v.gp + fh + 4, LABELCOL);
}

// 0 dB, the panel separator, 0 degrees
static void bodereflines(const plottype *p, const bodeview &v)
{
    if (v.unity >= 0 && v.unity < v.gp) dotline2d(BODEMARGIN, v.unity, v.xdim, v.unity, LABELCOL, ZERODASH);
    double sep = nearbyint(v.gp);
    dotline2d(0, sep - 1, v.xdim, sep - 1, SEPCOL, 0xF9F9F9F9);
    dotline2d(0, sep, v.xdim, sep, SEPCOL, 0x9F9F9F9F);
    double y = phasegridrow(p, v, 0);
    dotline2d(BODEMARGIN, y, v.xdim, y, LABELCOL, ZERODASH);
}

// === traces ===

// A trace joins each point to the one before. A column whose solve failed
// breaks it: the point before it keeps its own pixel, the next starts afresh.
struct tracepen {
    double x, y;
    int32_t on;          // 0: the next point draws nothing
    int32_t q;           // phase trace: the point's phase value
};

static void penbreak(tracepen *pen, int32_t c, int32_t y0, int32_t y1, int32_t col)
{
    if (pen->on && pen->x == c - 1) panelline(BODEMARGIN, y0, y1, pen->x, pen->y, pen->x + 1, pen->y, col);
    pen->on = 0;
}

// gain: row = ln(power ratio) lnscale + dboff, inside the gain panel; a column
// with no gain (an input or output of 0) is passed over
static void gaintrace(const plottype *p, const bodeview &v, const tracecols &t)
{
    tracepen pen = {BODEMARGIN - 1, trunc(4 * v.ydim / 7.0), 1, 0};
    for (int32_t c = BODEMARGIN; c < v.xdim && c < p->bufcols; c++) {
        if (!(t.colmax[c] >= 0)) {
            penbreak(&pen, c, 0, v.gbot, t.colour);
            continue;
        }
        if (t.colmin[c] == BODENOGAIN) continue;
        double y = p->linmag ? magof(t.colmin[c]) * v.magscale + v.dboff : t.colmin[c] * p->lnscale + v.dboff;
        if (pen.on) panelline(BODEMARGIN, 0, v.gbot, pen.x, pen.y, c, y, t.colour);
        pen = tracepen{(double)c, y, 1, 0};
    }
}

// Phase: the panel is one turn high from phaseoffs. When the phase steps
// across the panel's edge (it went down but the row went up, or the other
// way round), the trace leaves through that edge and comes back through the
// other, one panel height away.
static void phasetrace(const plottype *p, const bodeview &v, const tracecols &t)
{
    tracepen pen = {BODEMARGIN - 1, trunc(6 * v.ydim / 7.0), 1, 0};
    for (int32_t c = BODEMARGIN; c < v.xdim && c < p->bufcols; c++) {
        if (!(t.colmax[c] >= 0)) {
            penbreak(&pen, c, v.gbot, v.ydim, t.colour);
            continue;
        }
        int32_t q = phaseq(p, t.colmax[c]);
        double y = phaserow(v, q);
        if (pen.on) {
            int32_t down = turnmod((double)q - pen.q) >= HALFTURN;
            if (down && y < pen.y) {
                panelline(BODEMARGIN, v.gbot, v.ydim, pen.x, pen.y, c, y + v.ph, t.colour);
                pen.y -= v.ph;
            } else if (!down && y > pen.y) {
                panelline(BODEMARGIN, v.gbot, v.ydim, pen.x, pen.y, c, y - v.ph, t.colour);
                pen.y += v.ph;
            }
            panelline(BODEMARGIN, v.gbot, v.ydim, pen.x, pen.y, c, y, t.colour);
        }
        pen = tracepen{(double)c, y, 1, q};
    }
}

// === read-outs ===

static const char *degsign(const bodeview &v) { return fontlist[v.font].extchars ? "\xF8" : " deg"; }

// the frequency under the mouse, the gain or phase at its height, and the
// curve's gain, slope and phase in its column
static void bodereadouts(const plottype *p, const bodeview &v)
{
    int32_t mx, my;
    char s[64];
    plotmouse(&mx, &my);
    double span = p->lfreqhi - p->lfreqlo;
    double f = p->linfreq ? bodefreq(p, mx, v.xdim) : pow(10.0, p->lfreqlo + span * mx / v.xdim);
    snprintf(s, sizeof s, "%s", plotnum(f, p->hertz ? "Hz" : "rad/s"));
    int32_t x = mx - 10 * (v.fw / 2), y = 20;
    if (plotspot(v.font, &x, &y, s, 0, 1)) drawtext(v.font, x, y, LABELCOL, -1, "", s);
    if (my < v.gp && p->linmag) {
        snprintf(s, sizeof s, "%s", plotnum((my - v.dboff) / v.magscale, ""));
    } else if (my < v.gp) {
        snprintf(s, sizeof s, "%.2f dB", (my - v.dboff) / p->dbscale);
    } else {  // the row's phase in [-180, 180)
        double t = ((v.ydim - my) * TURN / v.ph - p->phaseoffs) / TURN;
        double deg = (t - floor(t)) * 360;
        snprintf(s, sizeof s, "%.1f%s", deg >= 180 ? deg - 360 : deg, degsign(v));
    }
    x = 24, y = my - v.fh / 2;
    if (plotspot(v.font, &x, &y, s, 0, 1)) drawtext(v.font, x, y, LABELCOL, -1, "", s);
    if (mx < BODEMARGIN || mx >= v.xdim || mx >= p->bufcols || !(p->colmax[mx] >= 0)) return;
    double g = p->colmin[mx];
    if (g != BODENOGAIN) {
        double gy = p->linmag ? magof(g) * v.magscale + v.dboff : g * p->lnscale + v.dboff;
        y = plotclamp(trunc(gy) - v.fh / 2, 0, v.gbot - 2 * v.fh - 4);
        if (p->linmag) snprintf(s, sizeof s, "%s", plotnum(magof(g), ""));
        else snprintf(s, sizeof s, "%.2f dB", g * 10 / M_LN10);
        shadowtext(v, mx, y, TRACECOL, s);
        double before = p->colmin[mx - 1];  // dB per column times columns per decade
        double cols = p->linfreq ? 1 / (log10(bodefreq(p, mx, v.xdim)) - log10(bodefreq(p, mx - 1, v.xdim)))
                                 : v.xdim / span;
        if (mx > BODEMARGIN && p->colmax[mx - 1] >= 0 && before != BODENOGAIN) {
            snprintf(s, sizeof s, "%.2f dB/decade", (g - before) * 10 / M_LN10 * cols);
            shadowtext(v, mx, y + v.fh + 2, SEPCOL, s);
        }
    }
    double deg = p->colmax[mx] * 180 / M_PI;
    snprintf(s, sizeof s, "%.1f%s", deg > 180 ? deg - 360 : deg, degsign(v));
    double py = phaserow(v, phaseq(p, p->colmax[mx])) + 1 - v.fh / 2;
    shadowtext(v, mx, plotclamp(py, v.gbot + 2, v.ydim - v.fh), TRACECOL, s);
}

// === drawing ===

// 10^-3 .. 10^7, +-60 dB, 0 degrees in the middle of the phase panel; nothing cached
static void bodereset(plottype *p, int32_t xdim)
{
    checkmaxxdim(p, xdim);
    p->lfreqlo = -3, p->lfreqhi = 7;
    p->dblo = -60, p->dbhi = 60;
    p->maglo = p->maghi = 0;  // fitted to the curve
    p->phaseoffs = HALFTURN;
    p->phasecentre = 1;
    bodeclear(p);
}

static int cmpq(const void *a, const void *b) { return *(const int32_t *)a - *(const int32_t *)b; }

// The first whole sweep places the phase panel: 0 degrees stays in the
// middle when every phase keeps PHASEEDGE from the panel's edges (+-180
// degrees), else the median phase goes there. The median is taken on the
// circle cut at the widest gap between the phases, so a curve about 180
// degrees is not split in two. None computed: it waits.
static void bodecentre(plottype *p, int32_t xdim)
{
    enum { PHASEEDGE = TURN / 32 };
    static int32_t *q = nullptr;  // [qmax] the computed phases, 1/65536 turn from 0 degrees
    static int32_t qmax = 0;
    int32_t n = 0, inside = 1;
    if (qmax < xdim) q = (int32_t *)growmem(q, (size_t)xdim * sizeof(int32_t)), qmax = xdim;
    for (int32_t c = BODEMARGIN; c < xdim && c < p->bufcols; c++) {
        if (!(p->colmax[c] >= 0)) continue;
        q[n] = turnmod(trunc(p->colmax[c] * HALFTURN / M_PI));
        const int32_t d = turnmod((double)q[n] + HALFTURN);
        inside &= d >= PHASEEDGE && d <= TURN - PHASEEDGE;
        n++;
    }
    if (n == 0) return;
    p->phasecentre = 0;
    if (inside) return;
    qsort(q, (size_t)n, sizeof *q, cmpq);
    int32_t cut = 0, gap = q[0] + TURN - q[n - 1];  // the phases from q[cut] round to q[cut - 1]
    for (int32_t k = 1; k < n; k++)
        if (q[k] - q[k - 1] > gap) gap = q[k] - q[k - 1], cut = k;
    p->phaseoffs = turnmod((double)HALFTURN - q[(cut + n / 2) % n]);
}

// Automatic gain range: the computed columns' gains with 2 dB to spare,
// out to whole 10 dB lines, at least 20 dB wide; none computed: as it is
static void bodefit(plottype *p, int32_t xdim)
{
    double lo = INFINITY, hi = -INFINITY;
    for (int32_t k = 0; k <= p->numextra; k++) {  // every trace
        tracecols t = traceof(p, k);
        for (int32_t c = BODEMARGIN; c < xdim && c < p->bufcols; c++) {
            double g = t.colmin[c] * 10 / M_LN10;
            if (t.colmax[c] >= 0 && t.colmin[c] != BODENOGAIN && isfinite(g)) lo = fmin(lo, g), hi = fmax(hi, g);
        }
    }
    if (lo > hi) return;
    lo = 10 * floor((lo - 2) / 10), hi = 10 * ceil((hi + 2) / 10);
    if (hi - lo < 20) lo = 10 * floor((lo + hi) / 20) - 10, hi = lo + 20;
    if (hi - lo > 600) lo = hi - 600;
    p->dblo = lo, p->dbhi = hi;
}

// The same for |out/in|: from 0 to the largest with 5 % to spare, out to a
// tenth of its power of ten; none computed (or all 0): 0 to 1
static void bodemagfit(plottype *p, int32_t xdim)
{
    double hi = 0;
    for (int32_t k = 0; k <= p->numextra; k++) {
        tracecols t = traceof(p, k);
        for (int32_t c = BODEMARGIN; c < xdim && c < p->bufcols; c++) {
            double m = magof(t.colmin[c]);
            if (t.colmax[c] >= 0 && t.colmin[c] != BODENOGAIN && isfinite(m)) hi = fmax(hi, m);
        }
    }
    hi *= 1.05;
    double e = floor(log10(hi)) - 1, q = pow(10.0, fabs(e));  // steps of 10^e, divided when e < 0 so
    hi = e < 0 ? ceil(hi * q) / q : ceil(hi / q) * q;        // that 1.1 is 11 / 10, not 11 x 0.1
    p->maglo = 0, p->maghi = hi > 0 && isfinite(hi) ? hi : 1;
}

void bodeplot(int32_t inwire, int32_t plotwire, int32_t plotsense, int32_t cursor)
{
    plottype *p = gplot;
    int32_t xdim = gdd.x, ydim = gdd.y;
    if (!p || xdim < 1 || ydim < 1) return;
    p->inwire = inwire, p->plotwire = plotwire, p->plotsense = plotsense;
    if (p->phaseoffs == -1) bodereset(p, xdim);
    if (p->reset == -1) {  // the circuit changed: computed again in the same axes
        p->reset = 0;
        checkmaxxdim(p, xdim);
        bodeclear(p);
    }
    if (!transprobeok(plotwire, plotsense) || !transprobeok(inwire, 1)) return;
    const double budget = plotbudget(p, xdim);
    if (budget > 0) bodecolumns(p, xdim, plotclock, plotclock() + budget);
    if (p->swept) {  // the ranges follow the whole curve, not the part computed so far
        if (p->autogain && !p->linmag) bodefit(p, xdim);
        if (p->linmag && (p->autogain || !(p->maglo < p->maghi))) bodemagfit(p, xdim);
        if (p->phasecentre) bodecentre(p, xdim);
    }
    bodeview v;
    v.xdim = xdim, v.ydim = ydim, v.gp = 0.6 * ydim, v.ph = 0.4 * ydim, v.gbot = (int32_t)v.gp;
    v.font = circfontindex(), v.fw = fontlist[v.font].width, v.fh = fontlist[v.font].height;
    p->dbscale = -v.gp / (p->dbhi - p->dblo);  // pixels per dB, negative: up is more
    p->lnscale = p->dbscale * 10 / M_LN10;     // dB = 10 log10(power ratio) = 10 / ln 10 ln(ratio)
    v.dboff = -p->dbhi * p->dbscale;
    v.unity = v.dboff, v.magscale = 0;
    if (p->linmag) {  // the same rows for |out/in|
        v.magscale = -v.gp / (p->maghi - p->maglo);
        v.dboff = -p->maghi * v.magscale;
        v.unity = v.magscale + v.dboff;
    }
    int32_t mx, my;
    plotmouse(&mx, &my);
    if (cursor) plotcrosshair(mx, my);
    plottexts(xdim, ydim);
    bodeplacetexts(p, v);
    if (p->linmag) bodemaggrid(p, v);
    else bodegaingrid(p, v);
    bodephasegrid(p, v);
    if (p->linfreq) bodelingrid(p, v);
    else bodefreqgrid(p, v);
    bodetexts(v);
    bodereflines(p, v);
    for (int32_t k = p->numextra; k >= 0; k--) {  // the window's own on top
        tracecols t = traceof(p, k);
        gaintrace(p, v, t);
        phasetrace(p, v, t);
    }
    if (p->inzero == 1) shadowtext(v, xdim / 2, v.gbot / 2, SEPCOL, "input is 0 at every frequency");
    tracelegend(p, BODEMARGIN + v.fw, v.gbot - v.fh - 2);
    plotcursordraw(p, xdim, ydim);
    plotmeasuredraw(p, ydim);
    plotboxdraw(p);
    if (cursor) bodereadouts(p, v);
}

// === controls ===

// radians and hertz: the same frequencies stay on screen, so the cache holds
static void bodeunit(plottype *p)
{
    frqgraphmode ^= 1;
    p->hertz ^= 1;
    double s = p->hertz ? -LOG2PI : LOG2PI;
    p->lfreqlo += s, p->lfreqhi += s;
    p->cura += s, p->curb += s;  // the cursors stay on their frequencies
}

// the range [*lo, *hi] scaled by f about its middle
static void zoomrange(double *lo, double *hi, double f)
{
    double mid = (*lo + *hi) / 2, half = (*hi - *lo) / 2 * f;
    *lo = mid - half, *hi = mid + half;
}

// zoom [lo, hi] by f about at
static void zoomabout(double *lo, double *hi, double at, double f)
{
    *lo = at - (at - *lo) * f, *hi = at + (*hi - at) * f;
}

// === the ranges the controls change ===
// The frequency axis as it is spaced: log10 f from 2 to 60 decades wide, or
// f on a linear axis at least a thousandth of its high end wide, its low end
// kept at or above LINFLOOR of it (a 0 Hz column would be a DC solve), up to
// 1e60. The gain range: 20 to 600 dB, or |out/in| at least a thousandth of
// its larger end wide, at most 1e12.
static const double LINFLOOR = 1e-12;

static void freqrange(const plottype *p, double *lo, double *hi)
{
    *lo = p->linfreq ? pow(10.0, p->lfreqlo) : p->lfreqlo, *hi = p->linfreq ? pow(10.0, p->lfreqhi) : p->lfreqhi;
}

static void setfreqrange(plottype *p, double lo, double hi)
{
    if (!p->linfreq) {
        p->lfreqlo = lo, p->lfreqhi = hi;
        return;
    }
    if (!(hi > 0) || !isfinite(hi) || !(lo < hi)) return;
    p->lfreqhi = log10(hi), p->lfreqlo = log10(fmax(lo, hi * LINFLOOR));
}

static int32_t freqnarrows(const plottype *p, double lo, double hi)
{
    return p->linfreq ? hi - lo > 1e-3 * hi : hi - lo > 2.0;
}

static int32_t freqwidens(const plottype *p, double lo, double hi) { return p->linfreq ? hi < 1e60 : hi - lo < 60.0; }

static double *gainlo(plottype *p) { return p->linmag ? &p->maglo : &p->dblo; }
static double *gainhi(plottype *p) { return p->linmag ? &p->maghi : &p->dbhi; }

static int32_t gainnarrows(const plottype *p, double lo, double hi)
{
    return p->linmag ? hi - lo > 1e-3 * fmax(fabs(lo), fabs(hi)) : hi - lo > 20.0;
}

static int32_t gainwidens(const plottype *p, double lo, double hi) { return p->linmag ? hi - lo < 1e12 : hi - lo < 600.0; }

// [*lo, *hi] widened about its middle to at least least
static void atleast(double *lo, double *hi, double least)
{
    if (*hi - *lo >= least) return;
    double mid = (*lo + *hi) / 2;
    *lo = mid - least / 2, *hi = mid + least / 2;
}

// The wheel zooms about the mouse by 1.2 a notch: the frequency axis, with
// Control the gain axis, within the limits the arrows keep; 1 when the
// frequencies moved
static int32_t bodewheel(plottype *p)
{
    int32_t n = plotnotches(), mx, my;
    if (!n) return 0;
    plotmouse(&mx, &my);
    double w = p->right - p->left, gp = 0.6 * (p->bottom - p->top);
    int32_t gain = ctrlheld();
    if (gain) p->autogain = 0;
    double flo, fhi;
    freqrange(p, &flo, &fhi);
    double *lo = gain ? gainlo(p) : &flo, *hi = gain ? gainhi(p) : &fhi;
    double at = gain ? *hi - my * (*hi - *lo) / gp : *lo + mx * (*hi - *lo) / w;
    for (; n > 0 && (gain ? gainnarrows(p, *lo, *hi) : freqnarrows(p, *lo, *hi)); n--) zoomabout(lo, hi, at, 1 / 1.2);
    for (; n < 0 && (gain ? gainwidens(p, *lo, *hi) : freqwidens(p, *lo, *hi)); n++) zoomabout(lo, hi, at, 1.2);
    if (!gain) setfreqrange(p, flo, fhi);
    return !gain;
}

// The zoom box: its columns become the frequency range (at least as wide as
// the limits allow, about its middle); a box that starts in the gain panel
// and is tall enough gives its rows (down to the panel's bottom) to the gain
// range, which stops following the curve. 1 when the frequencies moved
static int32_t bodebox(plottype *p, const plotrect &r)
{
    double w = p->right - p->left, gp = 0.6 * (p->bottom - p->top);
    int32_t moved = 0;
    if (r.x1 - r.x0 >= BOXLEAST && w > 0) {
        double flo, fhi;
        freqrange(p, &flo, &fhi);
        double a = flo + r.x0 * (fhi - flo) / w, b = flo + r.x1 * (fhi - flo) / w;
        atleast(&a, &b, p->linfreq ? 1e-3 * b : 2.0);
        setfreqrange(p, a, b);
        moved = 1;
    }
    double y1 = r.y1 < gp ? r.y1 : gp;
    if (y1 - r.y0 >= BOXLEAST) {
        double *lo = gainlo(p), *hi = gainhi(p), span = *hi - *lo;
        double top = *hi - r.y0 * span / gp, bottom = *hi - y1 * span / gp;
        atleast(&bottom, &top, p->linmag ? 1e-3 * fmax(fabs(top), fabs(bottom)) : 20.0);
        *lo = bottom, *hi = top, p->autogain = 0;
    }
    return moved;
}

// a press on either "frq" label: the rightmost 8 glyphs of the client area,
// on the row of the label in the gain or the phase panel
static int32_t onunitlabel(const plottype *p)
{
    int32_t f = circfontindex(), fw = fontlist[f].width, fh = fontlist[f].height;
    double rx = fmousx - p->left, ry = fmousy - p->top, gbot = floor(0.6 * (p->bottom - p->top));
    if (rx < (p->right - p->left) - 8 * fw || rx > p->right - p->left) return 0;
    return (ry >= fh && ry < 2 * fh + 4) || (ry >= gbot && ry < gbot + 4 + fh);
}

// keys without a character (or with Control or Option): the arrows narrow
// and widen the frequency span and the gain span by 1.2 within their limits;
// Return and Space switch the unit; A, G and F switch the automatic gain
// range, |out/in| and the linear frequency axis. 1 when the frequencies moved
static int32_t bodekeys(plottype *p)
{
    int32_t moved = 0;
    for (int32_t k; (k = mykeyread()) != 0;) {
        int32_t scan = k >> 8 & 255;
        if (iscopykey(k)) {
            plotcopy();
            continue;
        }
        if (plotmeasurekey(p, k)) continue;
        if (scan == SC_RETURN || scan == SC_KPENTER || scan == SC_SPACE) {
            bodeunit(p);
            continue;
        }
        if (scan == SC_HOME) {  // the first view
            bodereset(p, xres);
            p->autogain = 0;
            continue;
        }
        int32_t lc = (k & 255) | 0x20, plain = (k & 255) && !(k & (KEYCTRL | KEYOPTION));
        if (lc == 'a' && plain) {  // automatic gain range
            p->autogain ^= 1;
            continue;
        }
        if (lc == 'g' && plain) {  // |out/in| or dB; the linear range fits the curve when it comes
            p->linmag ^= 1;
            p->maglo = p->maghi = 0;
            continue;
        }
        if (lc == 'f' && plain) {  // a linear or logarithmic frequency axis over the same range
            p->linfreq ^= 1;
            moved = 1;
            continue;
        }
        if (plain || (k & KEYSHIFT)) continue;
        double flo, fhi, *glo = gainlo(p), *ghi = gainhi(p);
        freqrange(p, &flo, &fhi);
        if (scan == SC_LEFT && freqnarrows(p, flo, fhi)) zoomrange(&flo, &fhi, 1 / 1.2), moved = 1;
        if (scan == SC_RIGHT && freqwidens(p, flo, fhi)) zoomrange(&flo, &fhi, 1.2), moved = 1;
        if (scan == SC_UP && gainnarrows(p, *glo, *ghi)) zoomrange(glo, ghi, 1 / 1.2), p->autogain = 0;
        if (scan == SC_DOWN && gainwidens(p, *glo, *ghi)) zoomrange(glo, ghi, 1.2), p->autogain = 0;
        if (scan == SC_LEFT || scan == SC_RIGHT) setfreqrange(p, flo, fhi);
    }
    return moved;
}

// the traces moved down by dy pixels: in the phase panel (the lower 40 % of
// height h) a turn per panel height, elsewhere the gain range
static void bodevertical(plottype *p, double dy, double h)
{
    if (fmousy - p->top >= 0.6 * h) {
        p->phaseoffs = turnmod(p->phaseoffs - trunc(dy * TURN / (0.4 * h)));
    } else if (dy != 0) {  // moving the gain by hand ends the automatic range
        double *lo = gainlo(p), *hi = gainhi(p), d = dy * (*hi - *lo) / (0.6 * h);
        *lo += d, *hi += d, p->autogain = 0;
    }
}

void bodecontrols(void)
{
    plottype *p = gplot;
    double h = p->bottom - p->top, span = p->lfreqhi - p->lfreqlo, shift = 0;
    if (p->phaseoffs == -1) bodereset(p, xres);  // the view asked for, before it changes
    int32_t moved = bodekeys(p);
    moved |= bodewheel(p);
    // Shift with the arrows held: 512 pixels a second, a turn a second in the phase panel
    if (shiftheld()) {
        int32_t l = keystatus[SC_LEFT], r = keystatus[SC_RIGHT], up = keystatus[SC_UP], dn = keystatus[SC_DOWN];
        shift += (r - l) * deltim * 512 * span / xres;
        if (fmousy - p->top >= 0.6 * h) p->phaseoffs = turnmod(p->phaseoffs + trunc((dn - up) * deltim * TURN));
        else bodevertical(p, (up - dn) * deltim * 512, h);
    }
    // a held button drags the plot with the mouse; a press on a "frq" label switches the unit
    int32_t held = plotcursors(p);  // a cursor following the mouse: the plot stays
    plotrect box;
    int32_t boxing = plotbox(p, !onunitlabel(p), &box);  // a right drag draws a zoom box
    if (boxing == 2) moved |= bodebox(p, box);
    if (bstatus && dragwindi < 0 && !boxing) {
        if ((bstatus & ~obstatus) && onunitlabel(p)) bodeunit(p), plotcursorcancel();
        if ((bstatus & obstatus) && !held) {  // held since the last pass: the way to a click does not drag
            shift -= frmousx * span / (p->right - p->left);
            bodevertical(p, frmousy, h);
        }
    }
    if (shift != 0 && p->linfreq) {  // the same fraction of the view on a linear axis
        double flo, fhi;
        freqrange(p, &flo, &fhi);
        double d = fmax(shift / span * (fhi - flo), -flo);
        setfreqrange(p, flo + d, fhi + d);
        moved = 1;
    } else if (shift != 0) {
        p->lfreqlo += shift, p->lfreqhi += shift;
        moved = 1;
    }
    if (moved) {
        checkmaxxdim(p, xres);
        bodeclear(p);
    }
}
