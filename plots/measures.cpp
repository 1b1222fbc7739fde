// measures.cpp: the measurements a transient or Bode window shows on the M
// key, one at a time, of its selected trace (Tab steps through the traces),
// and the block of all of them a copy adds after the CSV. Computed from the
// window's columns: a transient over the visible span, at each column's time
// and the middle of its samples; a Bode plot over its columns, x = log10 of
// the frequency in the window's unit.
#include "plots/plots.h"
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { TRANSMEASURES = 9, BODEMEASURES = 8 };

int32_t plotmeasures(const plottype *p)
{
    return p->kind == PLOT_TRANS ? TRANSMEASURES : p->kind == PLOT_BODE ? BODEMEASURES : 0;
}

// === the columns as samples ===

struct samples {
    double *x, *y, *ph;  // [n]; ph Bode only
    int32_t n;
};

static void freesamples(samples *s) { free(s->x), free(s->y), free(s->ph); }

// trace k's visible computed columns (transient) or its columns (Bode); the
// ones not computed as NaN
static samples samplesof(const plottype *p, int32_t k)
{
    tracecols t = traceof(p, k);
    int32_t c0 = 0, c1 = 0, xdim = (int32_t)(p->right - p->left);
    if (p->kind == PLOT_TRANS) {
        c0 = p->firstcol > p->basecol ? p->firstcol : p->basecol, c0 = c0 > 0 ? c0 : 0;
        c1 = p->firstcol + xdim < p->numcols ? p->firstcol + xdim : p->numcols;
        if (c1 > p->basecol + p->bufcols) c1 = p->basecol + p->bufcols;
    } else {
        c0 = BODEMARGIN, c1 = p->cachexdim < p->bufcols ? p->cachexdim : p->bufcols;
    }
    samples s = {0, 0, 0, c1 > c0 ? c1 - c0 : 0};
    if (!s.n) return s;
    s.x = (double *)growmem(0, sizeof(double) * (size_t)s.n);
    s.y = (double *)growmem(0, sizeof(double) * (size_t)s.n);
    s.ph = (double *)growmem(0, sizeof(double) * (size_t)s.n);
    for (int32_t i = 0; i < s.n; i++) {
        int32_t c = c0 + i;
        if (p->kind == PLOT_TRANS) {
            s.x[i] = c * p->xscale;
            s.y[i] = -(t.colmin[c - p->basecol] + t.colmax[c - p->basecol]) / 2;  // stored s = -q
            continue;
        }
        int32_t ok = t.colmax[c] >= 0 && t.colmin[c] != BODENOGAIN;
        s.x[i] = p->linfreq ? log10(bodefreq(p, c, p->cachexdim)) : p->lfreqlo + c * (p->lfreqhi - p->lfreqlo) / p->cachexdim;
        s.y[i] = ok ? t.colmin[c] * 10 / M_LN10 : NAN;
        s.ph[i] = ok ? t.colmax[c] * 180 / M_PI : NAN;
    }
    return s;
}

// === one measurement ===

static const char *const transname[TRANSMEASURES] = {"min",  "max",      "p-p",    "avg",  "rms",
                                                     "rise", "overshoot", "period", "freq"};
static const char *const bodename[BODEMEASURES] = {"peak", "at", "-3dB low", "-3dB high",
                                                   "bandwidth", "unity gain", "phase margin", "gain margin"};

// the selected trace, the window's own when that one is gone
static int32_t selected(const plottype *p) { return p->seltrace <= p->numextra ? p->seltrace : 0; }

// measurement m of the selected trace: 1 and *v in *unit, or 0 when the data has none
static int32_t transmeasure(const plottype *p, const samples &d, int32_t m, double *v, const char **unit)
{
    tracecols t = traceof(p, selected(p));
    double x0 = d.n ? d.x[0] : 0, x1 = d.n ? d.x[d.n - 1] : 0, o = 0;
    *unit = traceamps(t.plotwire, t.plotsense) ? "A" : "V";
    if (m < 5) {
        measstats st = {0, 0, 0, 0, 0};
        int32_t has = measspan(d.x, d.y, d.n, x0, x1, &st);
        const double all[5] = {st.mn, st.mx, st.pp, st.avg, st.rms};
        *v = all[m];
        return has;
    }
    if (m < 7) {
        int32_t has = measrise(d.x, d.y, d.n, x0, x1, v, &o);
        if (m == 6) *v = o;
        *unit = m == 6 ? "%" : "s";
        return has;
    }
    int32_t has = measperiod(d.x, d.y, d.n, x0, x1, v);
    if (m == 8) *v = 1 / *v;
    *unit = m == 8 ? "Hz" : "s";
    return has;
}

static int32_t bodemeasure(const plottype *p, const samples &d, int32_t m, double *v, const char **unit)
{
    double x = 0, g = 0;
    int32_t has = 0;
    *unit = p->hertz ? "Hz" : "rad/s";
    switch (m) {
    case 0: *unit = "dB"; return measpeak(d.x, d.y, d.n, &x, v);
    case 1: has = measpeak(d.x, d.y, d.n, &x, &g); break;
    case 2: has = meas3db(d.x, d.y, d.n, -1, &x); break;
    case 3: has = meas3db(d.x, d.y, d.n, +1, &x); break;
    case 4: return measbw(d.x, d.y, d.n, v);
    case 5: has = measunity(d.x, d.y, d.n, &x); break;
    case 6: *unit = "deg"; return measphasem(d.x, d.y, d.ph, d.n, v);
    default: *unit = "dB"; return measgainm(d.x, d.y, d.ph, d.n, &x, v);
    }
    *v = pow(10.0, x);
    return has;
}

static int32_t measureof(const plottype *p, const samples &d, int32_t m, double *v, const char **unit)
{
    int32_t has = p->kind == PLOT_TRANS ? transmeasure(p, d, m, v, unit) : bodemeasure(p, d, m, v, unit);
    return has && isfinite(*v);
}

static const char *measurename(const plottype *p, int32_t m) { return p->kind == PLOT_TRANS ? transname[m] : bodename[m]; }

// "rms V(3)  3.54 V": measurement m of the selected trace, "-" for none
static void measureline(const plottype *p, const samples &d, int32_t m, char *s, int32_t n)
{
    char name[32];
    double v = 0;
    const char *unit = "";
    tracecols t = traceof(p, selected(p));
    tracename(name, sizeof name, t.plotwire, t.plotsense);
    int32_t at = snprintf(s, (size_t)n, "%s %s  ", measurename(p, m), name);
    if (at >= n) return;
    if (!measureof(p, d, m, &v, &unit)) snprintf(s + at, (size_t)(n - at), "-");
    else if (unit[0] == 'd' || unit[0] == '%') snprintf(s + at, (size_t)(n - at), "%.2f %s", v, unit);
    else snprintf(s + at, (size_t)(n - at), "%s", plotnum(v, unit));
}

// === the window ===

void plotmeasuredraw(const plottype *p, int32_t ydim)
{
    if (p->measure <= 0 || p->measure > plotmeasures(p)) return;
    int32_t fnt = circfontindex(), fh = fontlist[fnt].height;
    samples d = samplesof(p, selected(p));
    char s[96];
    measureline(p, d, p->measure - 1, s, sizeof s);
    freesamples(&d);
    int32_t x = fontlist[fnt].width * 3 + (p->kind == PLOT_BODE ? BODEMARGIN : 0), y = ydim - 2 * fh;
    if (plotspot(fnt, &x, &y, s, 0, 1)) drawtext(fnt, x, y, traceof(p, selected(p)).colour, PAL_BLACK, "", s);
}

int32_t plotmeasurekey(plottype *p, int32_t k)
{
    int32_t c = (k & 255) | 0x20;
    if (k & (KEYCTRL | KEYOPTION)) return 0;
    if (c == 'm') {
        p->measure = (p->measure + 1) % (plotmeasures(p) + 1);
        return 1;
    }
    if (((k >> 8) & 255) == SC_TAB) {
        p->seltrace = (p->seltrace + 1) % (p->numextra + 1);
        return 1;
    }
    return 0;
}

// after a blank line, "measurement,trace,value,unit" and a row for each
void plotmeasurecsv(FILE *f, const plottype *p)
{
    if (p->measure <= 0) return;
    samples d = samplesof(p, selected(p));
    tracecols t = traceof(p, selected(p));
    char name[32];
    tracename(name, sizeof name, t.plotwire, t.plotsense);
    fprintf(f, "\nmeasurement,trace,value,unit\n");
    for (int32_t m = 0; m < plotmeasures(p); m++) {
        double v = NAN;
        const char *unit = "";
        if (!measureof(p, d, m, &v, &unit)) v = NAN;
        fprintf(f, "%s,%s,", measurename(p, m), name);
        csvnum(f, v, ',');
        fprintf(f, "%s\n", unit);
    }
    freesamples(&d);
}
