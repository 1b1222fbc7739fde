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

// === transient ===
void transcsv(FILE *f, const plotcalc *p, int32_t header) {
    if (header) fprintf(f, "time,min,max\n");
    for (int32_t c = p->basecol > 0 ? p->basecol : 0; c < p->numcols && c - p->basecol < p->bufcols; c++) {
        csvnum(f, c * p->xscale, ',');
        csvnum(f, -p->colmax[c - p->basecol], ',');  // stored s = -q: q's min is -max(s)
        csvnum(f, -p->colmin[c - p->basecol], '\n');
    }
}

// === frequency response ===
void bodecsv(FILE *f, const plotcalc *p, int32_t first, int32_t end, int32_t span, int32_t keepnan) {
    fprintf(f, "freq,gain_db,phase_deg\n");
    for (int32_t c = first; c < end; c++) {
        const double ph = p->colmax[c];  // -1 not computed
        if (!(ph >= 0) && !(keepnan && isnan(ph))) continue;
        double deg = ph * 360 / TWOPI;  // [0, 360) -> (-180, 180]
        if (deg > 180) deg -= 360;
        csvnum(f, pow(10.0, p->lfreqlo + c * (p->lfreqhi - p->lfreqlo) / span), ',');
        csvnum(f, p->colmin[c] == BODENOGAIN ? NAN : p->colmin[c] * 10 / log(10.0), ',');  // ln -> dB
        csvnum(f, deg, '\n');
    }
}
