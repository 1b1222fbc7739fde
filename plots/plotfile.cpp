// plotfile.cpp: the open windows as lines at the end of a saved circuit
// file, so that opening it brings them back: one "//Plot" line per window,
// bottom to top, each with its kind, place and view, then its traces.
// Readers that do not know the lines skip them: no key starts them. A line
// that does not read whole, or whose probes name nothing in the circuit as
// loaded, opens no window.
//
//   //Plot,1,kind,state,left,top,right,bottom,savedleft,savedtop,savedright,
//     savedbottom,xscale,yscale,xoffset,yoffset,firstcol,hertz,lfreqlo,lfreqhi,
//     dblo,dbhi,phaseoffs,autogain,inwire,idwire,idflip,cura,curb,scrollx,
//     scrolly,matw,matt,traces,wire,sense[,wire,sense ...][,linmag,linfreq,maglo,maghi]
//
// The 1 is the line's version. The last four are written only for a Bode
// window with |out/in| or a linear frequency axis; a line without them
// reads as both off. Numbers are written with 17 digits, so a view
// comes back to the bit; "nan" stands for a cursor not set.
#include "plots/plots.h"
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { PLOTLINEVERSION = 1, PLOTVIEWFIELDS = 33 };  // fields before the traces' pairs
enum { PLOTMODEFIELDS = 4 };                        // the axis modes after them
static const char PLOTKEY[] = "//Plot,";

// === writing ===

static void putnum(FILE *f, double v)
{
    if (isnan(v)) fprintf(f, ",nan");
    else fprintf(f, ",%.17g", v);
}

static void plotline(FILE *f, const plottype &r)
{
    const double view[PLOTVIEWFIELDS - 1] = {
        (double)r.kind, r.state,   r.left,     r.top,        r.right,      r.bottom,    r.savedleft,
        r.savedtop,     r.savedright, r.savedbottom, r.xscale, r.yscale,   r.xoffset,   r.yoffset,
        (double)r.firstcol, (double)r.hertz, r.lfreqlo, r.lfreqhi, r.dblo, r.dbhi, (double)r.phaseoffs,
        (double)r.autogain, (double)r.inwire, (double)r.idwire, (double)r.idflip, r.cura, r.curb,
        r.scrollx,      r.scrolly, r.matw,     r.matt,       (double)(r.numextra + 1)};
    fprintf(f, "//Plot,%d", PLOTLINEVERSION);
    for (double v : view) putnum(f, v);
    for (int32_t k = 0; k <= r.numextra; k++) {
        tracecols t = traceof(&r, k);
        fprintf(f, ",%d,%d", (int)t.plotwire, (int)t.plotsense);
    }
    if (r.kind == PLOT_BODE && (r.linmag || r.linfreq)) {
        const double modes[PLOTMODEFIELDS] = {(double)r.linmag, (double)r.linfreq, r.maglo, r.maghi};
        for (double v : modes) putnum(f, v);
    }
    fputs("\r\n", f);
}

void plotsectionwrite(FILE *f)
{
    for (int32_t i = 0; i < numplots; i++) plotline(f, plot[plotorder[i]]);
}

// === reading ===

static char *pending;       // the "//Plot" lines of the last file read, each ended by '\n'
static size_t pendingleng;

void plotsectionread(const char *line, int32_t n)
{
    if (!line) {
        pendingleng = 0;
        return;
    }
    if (n < (int32_t)sizeof PLOTKEY - 1 || memcmp(line, PLOTKEY, sizeof PLOTKEY - 1)) return;
    pending = (char *)growmem(pending, pendingleng + (size_t)n + 2);
    memcpy(pending + pendingleng, line, (size_t)n);
    pendingleng += (size_t)n;
    pending[pendingleng++] = '\n';
    pending[pendingleng] = 0;
}

// the numbers after the key up to the line's end into v; how many, or -1
// when one is no number
static int32_t plotfields(const char *s, const char *end, double *v, int32_t max)
{
    int32_t n = 0;
    for (s += sizeof PLOTKEY - 1; s < end && n < max; n++) {
        char *e;
        v[n] = strtod(s, &e);
        if (e == s || (e < end && *e != ',')) return -1;
        s = e < end ? e + 1 : e;
    }
    return s < end ? -1 : n;
}

static int32_t whole(double v, double lo, double hi) { return v == trunc(v) && v >= lo && v <= hi; }

static int32_t traceok(double w, double sense)
{
    return whole(w, 0, INT32_MAX) && whole(sense, -1, 1) && transprobeok((int32_t)w, (int32_t)sense);
}

// 1: the view's numbers are ones a window can hold
static int32_t viewok(const double *v)
{
    for (int32_t i = 3; i <= 10; i++)
        if (!isfinite(v[i]) || fabs(v[i]) > 1e6) return 0;  // the rectangles; plotscreen fits them
    for (int32_t i = 28; i <= 31; i++)
        if (!isfinite(v[i])) return 0;
    int32_t kind = (int32_t)v[1];
    if (kind == PLOT_TRANS && !(v[11] >= XSCMIN && v[11] <= XSCMAX && v[12] > 0 && isfinite(v[12]))) return 0;
    if (kind == PLOT_BODE && !(isfinite(v[17]) && isfinite(v[18]) && v[17] < v[18] && v[19] < v[20])) return 0;
    if (kind == PLOT_BODE && !whole(v[23], 0, numwires - 1)) return 0;
    return whole(v[1], PLOT_BODE, PLOT_HELP) && whole(v[2], 0, 2) && whole(v[15], -(1 << 30), 1 << 30) &&
           whole(v[21], -1, 65535) && isfinite(v[13]) && isfinite(v[14]) && !isinf(v[26]) && !isinf(v[27]);
}

static void restoreline(const char *s, const char *end)
{
    double v[PLOTVIEWFIELDS + 2 * MAXTRACES + PLOTMODEFIELDS];
    int32_t n = plotfields(s, end, v, PLOTVIEWFIELDS + 2 * MAXTRACES + PLOTMODEFIELDS);
    if (n < PLOTVIEWFIELDS + 2 || v[0] != PLOTLINEVERSION || !viewok(v)) return;
    int32_t traces = whole(v[32], 1, MAXTRACES) ? (int32_t)v[32] : 0, kind = (int32_t)v[1];
    const double *mode = v + PLOTVIEWFIELDS + 2 * traces;  // the axis modes, when the line has them
    int32_t modes = n == PLOTVIEWFIELDS + 2 * traces + PLOTMODEFIELDS;
    if (!traces || (n != PLOTVIEWFIELDS + 2 * traces && !modes)) return;
    if (modes && !(whole(mode[0], 0, 1) && whole(mode[1], 0, 1) && isfinite(mode[2]) && isfinite(mode[3]))) return;
    int32_t probe = kind == PLOT_BODE || kind == PLOT_TRANS;
    for (int32_t k = 0; probe && k < traces; k++)
        if (!traceok(v[PLOTVIEWFIELDS + 2 * k], v[PLOTVIEWFIELDS + 2 * k + 1])) return;
    int32_t i = openplot(kind, (int32_t)v[PLOTVIEWFIELDS], (int32_t)v[PLOTVIEWFIELDS + 1]);
    if (i < 0) return;
    plottype &r = plot[i];
    r.state = (float)v[2];
    r.left = (float)v[3], r.top = (float)v[4], r.right = (float)v[5], r.bottom = (float)v[6];
    r.savedleft = (float)v[7], r.savedtop = (float)v[8], r.savedright = (float)v[9], r.savedbottom = (float)v[10];
    if (kind == PLOT_TRANS) {
        r.xscale = r.homexscale = v[11], r.yscale = v[12];
        r.xoffset = v[13], r.yoffset = v[14], r.firstcol = (int32_t)v[15];
        r.reset = -1;  // computed from t = 0 in the view as it was
    }
    if (kind == PLOT_BODE) {
        r.hertz = v[16] != 0, r.lfreqlo = v[17], r.lfreqhi = v[18], r.dblo = v[19], r.dbhi = v[20];
        r.phaseoffs = (int32_t)v[21], r.autogain = v[22] != 0, r.inwire = (int32_t)v[23];
        r.idwire = whole(v[24], -1, numwires - 1) ? (int32_t)v[24] : -1, r.idflip = v[25] != 0;
        if (modes) r.linmag = (int32_t)mode[0], r.linfreq = (int32_t)mode[1], r.maglo = mode[2], r.maghi = mode[3];
    }
    r.cura = v[26], r.curb = v[27], r.scrollx = v[28], r.scrolly = v[29], r.matw = v[30], r.matt = v[31];
    for (int32_t k = 1; probe && k < traces; k++)
        traceadd(&r, (int32_t)v[PLOTVIEWFIELDS + 2 * k], (int32_t)v[PLOTVIEWFIELDS + 2 * k + 1]);
}

void plotsectionrestore(void)
{
    for (size_t at = 0; at < pendingleng;) {
        const char *s = pending + at, *e = (const char *)memchr(s, '\n', pendingleng - at);
        restoreline(s, e);
        at = (size_t)(e - pending) + 1;
    }
    pendingleng = 0;
}
