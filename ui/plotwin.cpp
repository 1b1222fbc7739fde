// plotwin.cpp: the view transform, the editor's hover and drawing state, and
// the plot-window list with its closing rule. Placement, stacking, dragging,
// the title bar and the per-kind controls and drawing belong here as well.
// Depends on ui.h only. Windows are records in a fixed array of MAXPLOTS slots;
// a closed record keeps its buffers for the next window opened in its slot.
#include "ui/ui.h"

// === view transform ===
float fsscale = 1.f;
float frscale = 1.f;
int32_t ilscale = 0;
float fsxoff = 0.f, fsyoff = 0.f;
int32_t isxoff = 0, isyoff = 0;

// === hover and drawing state ===
int32_t curn = -1;
int32_t curw = -1;
int32_t curside = 0;
int32_t mousexquant = 0;  // start-up places these at the grid centre under the mouse
int32_t mouseyquant = 0;
int32_t drawwiremode = 0;

// === plot-window list ===
plottype plot[MAXPLOTS];
int32_t numplots = 0;
int32_t plotorder[MAXPLOTS];
plottype *gplot = 0;

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
