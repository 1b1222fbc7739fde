// plotcsv.cpp: a plot record's computed columns as CSV, the one format the
// windows copy to the clipboard and veltocli prints: a header line, then one
// line per column with every number as %.17g.
// Depends on analysis.h (plotcalc) and TWOPI from expr.h. Reads the record
// only; the caller opens and closes the stream.
#include <math.h>
#include <stdio.h>
#include "analysis/analysis.h"
#include "expr/expr.h"

// === numbers ===
void csvnum(FILE *f, double v, char end) {
    if (isnan(v)) fprintf(f, "nan%c", end);  // whatever its sign bit
    else fprintf(f, "%.17g%c", v + 0.0, end);  // -0 + 0 = +0
}

// A window of several traces gives one column group per trace, each headed
// by the trace's name ("V(3) min,V(3) max"); one trace keeps the plain header.

// the header of trace k's group (k -1: the window's own probe)
static void groupheader(FILE *f, const plotcalc *p, int32_t k, const char *a, const char *b) {
    if (!p->numextra) {
        fprintf(f, ",%s,%s", a, b);
        return;
    }
    char name[32];
    if (k < 0) tracename(name, sizeof name, p->plotwire, p->plotsense);
    else tracename(name, sizeof name, p->extra[k].plotwire, p->extra[k].plotsense);
    fprintf(f, ",%s %s,%s %s", name, a, name, b);
}

static const double *tracemin(const plotcalc *p, int32_t k) { return k < 0 ? p->colmin : p->extra[k].colmin; }
static const double *tracemax(const plotcalc *p, int32_t k) { return k < 0 ? p->colmax : p->extra[k].colmax; }

// === transient ===
void transcsv(FILE *f, const plotcalc *p, int32_t header) {
    if (header) {
        fprintf(f, "time");
        for (int32_t k = -1; k < p->numextra; k++) groupheader(f, p, k, "min", "max");
        fprintf(f, "\n");
    }
    for (int32_t c = p->basecol > 0 ? p->basecol : 0; c < p->numcols && c - p->basecol < p->bufcols; c++) {
        csvnum(f, c * p->xscale, ',');
        for (int32_t k = -1; k < p->numextra; k++) {  // stored s = -q: q's min is -max(s)
            csvnum(f, -tracemax(p, k)[c - p->basecol], ',');
            csvnum(f, -tracemin(p, k)[c - p->basecol], k + 1 < p->numextra ? ',' : '\n');
        }
    }
}

// === frequency response ===
void bodecsv(FILE *f, const plotcalc *p, int32_t first, int32_t end, int32_t span, int32_t keepnan) {
    fprintf(f, "freq");
    for (int32_t k = -1; k < p->numextra; k++) groupheader(f, p, k, "gain_db", "phase_deg");
    fprintf(f, "\n");
    for (int32_t c = first; c < end; c++) {
        const double ph0 = p->colmax[c];  // -1 not computed
        if (!(ph0 >= 0) && !(keepnan && isnan(ph0))) continue;
        csvnum(f, bodefreq(p, c, span), ',');
        for (int32_t k = -1; k < p->numextra; k++) {
            const double g = tracemin(p, k)[c], ph = tracemax(p, k)[c];
            double deg = ph * 360 / TWOPI;  // [0, 360) -> (-180, 180]
            if (deg > 180) deg -= 360;
            csvnum(f, g == BODENOGAIN ? NAN : g * 10 / log(10.0), ',');  // ln -> dB
            csvnum(f, deg, k + 1 < p->numextra ? ',' : '\n');
        }
    }
}
