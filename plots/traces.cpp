// traces.cpp: the traces of a transient or Bode window seen alike: the
// window's own probe and its further ones, each with its columns and its
// colour, and the one-line legend a window of several traces shows.
#include "plots/plots.h"
#include <string.h>

// the window's own trace keeps the white of a window of one; the further
// ones take bright colours that stand apart from the brown grid and each
// other (the cursors' and the cross-hair's lines are dotted, the traces solid)
static const int32_t tracecolour[MAXTRACES] = {PAL_WHITE,     PAL_LIGHTGREEN, PAL_LIGHTMAGENTA, PAL_LIGHTCYAN,
                                               PAL_LIGHTBLUE, PAL_YELLOW,     PAL_LIGHTRED,     PAL_CYAN};

tracecols traceof(const plottype *p, int32_t k)
{
    if (k <= 0) return tracecols{p->plotwire, p->plotsense, p->colmin, p->colmax, tracecolour[0]};
    const plottrace &e = p->extra[k - 1];
    return tracecols{e.plotwire, e.plotsense, e.colmin, e.colmax, tracecolour[k < MAXTRACES ? k : 0]};
}

int32_t traceamps(int32_t plotwire, int32_t plotsense)
{
    return plotsense != 0 && plotwire >= 0 && plotwire < numwires && wire[plotwire].element == 'T';
}

int32_t plotamps(const plottype *p) { return traceamps(p->plotwire, p->plotsense); }

// the name trace k shows in the legend: "V(3)" or, in a Bode window, "V(3)/V(in)"
static void legendname(const plottype *p, int32_t k, char *s, int32_t n)
{
    tracecols t = traceof(p, k);
    tracename(s, n, t.plotwire, t.plotsense);
    int32_t current = traceamps(t.plotwire, t.plotsense) || wire[p->inwire].element == 'I';
    if (p->kind == PLOT_BODE) strncat(s, current ? "/I(in)" : "/V(in)", (size_t)n - strlen(s) - 1);
}

// the names two columns apart, on the free row nearest y clear of the texts placed
void tracelegend(const plottype *p, int32_t x, int32_t y)
{
    if (!p->numextra) return;
    int32_t fnt = circfontindex(), fw = fontlist[fnt].width;
    char all[MAXTRACES * 40] = "", s[40];
    for (int32_t k = 0; k <= p->numextra; k++) {
        legendname(p, k, s, sizeof s);
        if (k) strcat(all, "  ");
        strcat(all, s);
    }
    if (!plotspot(fnt, &x, &y, all, 0, 1)) return;
    for (int32_t k = 0; k <= p->numextra; k++) {
        legendname(p, k, s, sizeof s);
        drawtext(fnt, x, y, traceof(p, k).colour, PAL_BLACK, "", s);
        x += ((int32_t)strlen(s) + 2) * fw;
    }
}
