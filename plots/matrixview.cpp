// matrixview.cpp: the matrix debug window: the equations A x = b as built for
// the window's angular frequency and time, one 32 x 14 cell per coefficient
// (real half above the imaginary half, smallest font), the boundaries between
// the current and the voltage unknowns, and the solution row on top; and the
// window's keys and mouse. Depends on plots.h, initmat and smatsolve_comp.
// Rebuilt on every call, and solved unless the build is the one solved last;
// after a failed solve the solution row stays blank. Its solve's code is its
// own: matbad keeps the DC solve's.
// A header row names the columns and a header column the rows (I(R1) for a
// wire's current, V(n3) for a node's voltage, b the right-hand side).
#include <math.h>
#include <stdio.h>
#include <string.h>
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "plots/plots.h"

enum { CELLW = 32, CELLH = 14, NUMFONT = 0, NAMECOL = PAL_YELLOW };
enum {
    BACKCOL = PAL_BLACK, COEFCOL = PAL_GREEN, SOLCOL = PAL_CYAN, BLOCKCOL = PAL_RED,
    FRAMECOL = PAL_LIGHTGREY, DOTCOL = PAL_DARKGREY,
};
static const double MATWMAX = 1000000;  // "." stops at this angular frequency
static const double SMALL = 1e-12;      // magnitudes below it leave their half-cell blank

// === grid ===

// box whose corners (x0, y0) and (x1, y1) are both drawn
static void box(double x0, double y0, double x1, double y1, int32_t col)
{
    line(x0, y0, x1 + 1, y0, col);
    line(x0, y1, x1 + 1, y1, col);
    line(x0, y0, x0, y1, col);
    line(x1, y0, x1, y1, col);
}

// n unknowns, the first nw of them wire currents; column n is b, row -1 the solution
static void matrixgrid(int32_t nw, int32_t n, int32_t sx, int32_t sy)
{
    double right = CELLW * (n + 1.0) - sx, bottom = CELLH * (n + 1.0) - sy;
    for (int32_t i = 1; i < n; i++) {
        double x = CELLW * (double)i - sx;
        if (x >= 0 && x < gdd.x) dotline2d(x, -sy, x, bottom, DOTCOL, 0x55555555);
    }
    for (int32_t i = 1; i <= n; i++) {
        double y = CELLH * (double)i - sy;
        if (y >= 0 && y < gdd.y) dotline2d(-sx, y, right, y, DOTCOL, 0x55555555);
    }
    double wires = CELLH * (nw + 1.0) - sy, volts = CELLW * (double)nw - sx;
    dotline2d(-sx, wires, right, wires, BLOCKCOL, 0xAAAAAAAA);
    dotline2d(-sx, bottom, right, bottom, BLOCKCOL, 0xAAAAAAAA);
    dotline2d(volts, -sy, volts, bottom, BLOCKCOL, 0xAAAAAAAA);
    line(CELLW * (double)n - sx, -sy, CELLW * (double)n - sx, bottom, FRAMECOL);
    box(-sx, CELLH - sy, right, bottom, FRAMECOL);
    box(-sx, -sy, CELLW * (double)n - sx, CELLH - sy, FRAMECOL);
}

// === numbers ===

// v in at most CELLW / glyph width - 1 characters: as fstr writes it when
// that fits, else with fewer digits and a short exponent ("-1.2E-5")
static const char *cellfit(char *b, double v)
{
    const int32_t most = CELLW / fontlist[NUMFONT].width - 1;
    const char *s = ltrim(fstr(v));
    if ((int32_t)strlen(s) <= most) return s;
    for (int32_t digits = 6; digits >= 1; digits--) {
        char t[32];
        snprintf(t, sizeof t, "%.*G", (int)digits, v);
        int32_t m = 0;
        for (const char *q = t; *q; q++) {  // "E+05" -> "E5", "E-05" -> "E-5"
            if (*q == '+' || (*q == '0' && q > t && (q[-1] == 'E' || (q[-1] == '-' && q > t + 1 && q[-2] == 'E')) && q[1])) continue;
            b[m++] = *q;
        }
        b[m] = 0;
        if (m <= most) return b;
    }
    return b;
}

// v centred on column col at row y, unless it is too small to matter
static void cellnumber(int32_t col, int32_t sx, double y, double v, int32_t colour)
{
    if (fabs(v) < SMALL) return;
    double x = trunc((col + 0.5) * CELLW - sx);
    if (x < -CELLW * 4 || x > gdd.x + CELLW * 4 || y <= -CELLH || y >= gdd.y) return;
    char b[32];
    const char *s = cellfit(b, v);
    int32_t n = (int32_t)strlen(s);
    drawtext(NUMFONT, (int32_t)x - n * fontlist[NUMFONT].width / 2, (int32_t)y, colour, BACKCOL, "", s);
}

// every stored entry of the rows on screen, real part above imaginary part
static void matrixentries(int32_t n, int32_t sx, int32_t sy)
{
    for (int32_t r = 0; r < n; r++) {
        double y = CELLH * (r + 1.0) - sy;
        if (y <= -CELLH || y >= gdd.y) continue;
        for (int32_t e = yh[r]; e; e = el[e].next) {
            cellnumber(el[e].col, sx, y + 2, el[e].re, COEFCOL);
            cellnumber(el[e].col, sx, y + 8, el[e].im, COEFCOL);
        }
    }
}

// === names ===

// unknown c: "I(R1)" the current of wire c, "V(n3)" the voltage of node c - nw, "b" past them
static void unknownname(char *b, int32_t c, int32_t nw, int32_t n)
{
    char e[16];
    if (c >= n) snprintf(b, 16, "b");
    else if (c < nw) elementname(c, e, sizeof e), snprintf(b, 24, "I(%s)", e);
    else snprintf(b, 24, "V(n%d)", (int)(c - nw));
}

// column names above the solution row, row names (and "x" for the solution) left of the rows
static void matrixnames(int32_t nw, int32_t n, int32_t sx, int32_t sy)
{
    const int32_t fw = fontlist[NUMFONT].width;
    char b[24];
    for (int32_t c = 0; c <= n; c++) {
        double x = trunc((c + 0.5) * CELLW - sx);
        if (x < -CELLW || x > gdd.x + CELLW) continue;
        unknownname(b, c, nw, n);
        drawtext(NUMFONT, (int32_t)x - (int32_t)strlen(b) * fw / 2, 4 - sy - CELLH, NAMECOL, BACKCOL, "", b);
    }
    for (int32_t r = -1; r < n; r++) {
        double y = CELLH * (r + 1.0) - sy;
        if (y <= -CELLH || y >= gdd.y) continue;
        if (r < 0) snprintf(b, sizeof b, "x");
        else unknownname(b, r, nw, n);
        drawtext(NUMFONT, 1 - sx - CELLW, (int32_t)y + 4, NAMECOL, BACKCOL, "", b);
    }
}

// === the solve, kept ===
// A build the same bit for bit as the one solved last (the circuit, omega
// and time as they were) shows that solve's solution again: on a large
// circuit the solve costs more than all the drawing, every pass.
static struct {
    sparsel *el;       // [elmax] the build solved last, as initmat left it
    int32_t *yh;       // [yhmax] its row heads
    double *re, *im;   // [yhmax] its solution
    int32_t count, n, code;  // code -1: nothing kept
    int32_t elmax, yhmax;
} kept = {nullptr, nullptr, nullptr, nullptr, 0, 0, -1, 0, 0};

static int32_t keptbuild(int32_t n)
{
    return kept.code != -1 && kept.count == elcnt && kept.n == n &&
           !memcmp(kept.yh, yh, (size_t)n * sizeof(int32_t)) &&
           !memcmp(kept.el, el, (size_t)elcnt * sizeof(sparsel));
}

// the code of the build's solve, its solution in kept.re and kept.im
static int32_t matrixsolve(int32_t n)
{
    if (keptbuild(n)) return kept.code;
    if (elcnt > kept.elmax) kept.elmax = elcnt, kept.el = (sparsel *)growmem(kept.el, (size_t)elcnt * sizeof(sparsel));
    if (n + 1 > kept.yhmax) {
        kept.yhmax = n + 1;
        kept.yh = (int32_t *)growmem(kept.yh, (size_t)kept.yhmax * sizeof(int32_t));
        kept.re = (double *)growmem(kept.re, (size_t)kept.yhmax * sizeof(double));
        kept.im = (double *)growmem(kept.im, (size_t)kept.yhmax * sizeof(double));
    }
    memcpy(kept.el, el, (size_t)elcnt * sizeof(sparsel));
    memcpy(kept.yh, yh, (size_t)(n > 0 ? n : 0) * sizeof(int32_t));
    kept.count = elcnt, kept.n = n;
    kept.code = smatsolve_comp(yh, el, elcnt, pivorder, n);
    if (kept.code == SOLVED)
        for (int32_t c = 0; c < n; c++) kept.re[c] = el[yh[c]].re, kept.im[c] = el[yh[c]].im;
    return kept.code;
}

void matrixrender(void)
{
    plottype *p = gplot;
    int32_t nw = numwires, n = numwires + numnodes;
    // the names take the first column and row: the cells start one cell in
    int32_t sx = (int32_t)nearbyint(p->scrollx) - CELLW, sy = (int32_t)nearbyint(p->scrolly) - CELLH;
    nlstamps(p->matw);  // diodes: the last iteration's linearisation, or the small-signal one
    initmat(p->matw, p->matt, 0);
    matrixgrid(nw, n, sx, sy);
    matrixnames(nw, n, sx, sy);
    matrixentries(n, sx, sy);
    // matbad stays the DC solve's: the schematic, red or showing volts, and
    // the transient windows go by it, not by this frequency's
    const int32_t code = matrixsolve(n);
    if (n < 1 || code != SOLVED) return;  // a failed solve leaves half-eliminated rows: nothing shown
    for (int32_t c = 0; c < n; c++) {
        cellnumber(c, sx, 2 - sy, kept.re[c], SOLCOL);
        cellnumber(c, sx, 8 - sy, kept.im[c], SOLCOL);
    }
}

// === controls ===

// the topmost matrix window closes
static void closetopmatrix(void)
{
    for (int32_t i = numplots - 1; i >= 0; i--)
        if (plot[plotorder[i]].kind == PLOT_MATRIX) {
            removeplot(plotorder[i]);
            return;
        }
}

// A held button drags the content; the arrows scroll a cell; "." and ","
// step omega through 0, 1, 10 .. 1000000, "]" and "[" the time by a second;
// "'" closes the topmost matrix window and ends the keys of this pass.
void matrixcontrols(void)
{
    plottype *p = gplot;
    if (bstatus && dragwindi < 0) {
        p->scrollx -= frmousx;
        p->scrolly -= frmousy;
    }
    for (int32_t k; (k = mykeyread()) != 0;) {
        if ((k & 255) == '\'') {
            closetopmatrix();
            return;
        }
        switch (k >> 8 & 255) {
        case SC_PERIOD:
            if (p->matw < MATWMAX) p->matw *= 10;
            if (p->matw == 0) p->matw = 1;
            break;
        case SC_COMMA:
            p->matw /= 10;
            if (p->matw < 1) p->matw = 0;
            break;
        case SC_RBRACKET: p->matt += 1; break;
        case SC_LBRACKET: p->matt -= 1; break;
        case SC_LEFT: p->scrollx -= CELLW; break;
        case SC_RIGHT: p->scrollx += CELLW; break;
        case SC_UP: p->scrolly -= 28; break;
        case SC_DOWN: p->scrolly += 28; break;
        }
    }
}
