// zoombox.cpp: the zoom box of the transient and Bode windows: a right press
// in the client area starts it, it follows the mouse while the button is
// held and the window gets the input until the release, when the window
// narrows its view to it. A window drops the box when the menu opens
// (Escape) or a window closes. Depends on plots.h; the windows apply the box.
#include "plots/plots.h"

static const int32_t BOXCOL = PAL_LIGHTCYAN;

static plottype *boxwin;             // window whose box is being drawn, null none
static int32_t bx0, by0, bx1, by1;  // the corner pressed and the mouse's, client pixels

plottype *plotboxwin(void) { return boxwin; }
void plotboxcancel(void) { boxwin = nullptr; }

int32_t plotbox(plottype *p, int32_t allow, plotrect *r)
{
    int32_t mx, my, w = (int32_t)(p->right - p->left), h = (int32_t)(p->bottom - p->top);
    plotmouse(&mx, &my);
    int32_t press = (bstatus & 2) && !(obstatus & 2) && !(bstatus & 1);
    if (!boxwin && press && allow && dragwindi < 0 && mx >= 0 && my >= 0 && mx < w && my < h) {
        boxwin = p, bx0 = bx1 = mx, by0 = by1 = my;
        return 1;
    }
    if (boxwin != p) return 0;
    if (keysowned && keysowned()) {
        boxwin = nullptr;
        return 0;
    }
    bx1 = plotclamp(mx, 0, w - 1), by1 = plotclamp(my, 0, h - 1);
    if (bstatus & 2) return 1;
    boxwin = nullptr;
    *r = plotrect{bx0 < bx1 ? bx0 : bx1, by0 < by1 ? by0 : by1, bx0 < bx1 ? bx1 : bx0, by0 < by1 ? by1 : by0};
    return 2;
}

void plotboxdraw(const plottype *p)
{
    if (boxwin != p) return;
    line(bx0, by0, bx1, by0, BOXCOL);
    line(bx1, by0, bx1, by1, BOXCOL);
    line(bx1, by1, bx0, by1, BOXCOL);
    line(bx0, by1, bx0, by0, BOXCOL);
}
