// plotwin.cpp: the plot-window list with its closing rule, and the windows'
// side of renumbering: probes and Bode inputs follow their item.
// Depends on ui.h and the circuit model. Windows are records in a fixed array
// of MAXPLOTS slots; a closed record keeps its buffers for the next window
// opened in its slot.
#include "circuit/circuit.h"
#include "ui/ui.h"

// === plot-window list ===
plottype plot[MAXPLOTS];
int32_t numplots = 0;
int32_t plotorder[MAXPLOTS];
plottype *gplot = 0;
int32_t frqgraphmode = 0;
int32_t dragwindi = -1;
int32_t dragcorns = 0;
const int32_t clut_0[256] = {0};

void findfreewindowquadrant(void) {}
int32_t openplot(int32_t kind, int32_t plotwire, int32_t plotsense) { return -1; }
void plotsreset(void) {}
void plotdrag(void) {}
int32_t plotinput(void) { return -1; }
int32_t plotmaximised(void) { return -1; }
void plotdraw(int32_t focus, int32_t maxwin) {}
int32_t plotcursor(void) { return -1; }
void helpcontrols(void) {}

// === closing ===

// takes window index out of the stacking order (the others keep their order),
// then moves the last record into its slot and parks the closed record, with
// its buffers, in the freed last slot
void removeplot(int32_t index)
{
    if (index < 0 || index >= numplots) return;
    int32_t last = numplots - 1, j = 0;
    for (int32_t i = 0; i < numplots; i++)
        if (plotorder[i] != index) plotorder[j++] = plotorder[i];
    numplots = last;
    if (index == last) return;
    for (int32_t i = 0; i < numplots; i++)
        if (plotorder[i] == last) plotorder[i] = index;
    plottype t = plot[index];
    plot[index] = plot[last];
    plot[last] = t;
}

// === renumbering ===

static int32_t isprobe(int32_t p) { return plot[p].kind == PLOT_BODE || plot[p].kind == PLOT_TRANS; }

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
        for (int32_t p = numplots - 1; p >= 0; p--)
            if (plotnames(p, kind, from)) removeplot(p);
        return;
    }
    for (int32_t p = 0; p < numplots; p++) {
        if (!isprobe(p)) continue;
        plottype &r = plot[p];
        int32_t isnode = r.plotsense == 0;
        if ((kind == RENUMNODE) == isnode && r.plotwire == from) r.plotwire = to;
        if (kind == RENUMWIRE && r.kind == PLOT_BODE && r.inwire == from) r.inwire = to;
        if (kind == RENUMWIRE && r.kind == PLOT_BODE && r.idwire == from) r.idwire = to;
    }
}
