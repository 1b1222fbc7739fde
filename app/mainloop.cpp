// mainloop.cpp: one pass of the main loop: events, palette and keyboard,
// clock and mouse, input routed to exactly one consumer (menu, text entry,
// the plot window under the mouse, or the editor), the re-solve, drawing,
// the cursor and the pause. Depends on the editor, the analysis and the frame.
// There are no callbacks: the frame's input globals change only in breath
// and readkeyboard, so they hold still for the rest of the pass.
#include "analysis/analysis.h"
#include "app/app.h"
#include "circuit/circuit.h"
#include "edit/edit.h"

// the element help picture's pixel (low byte) -> palette colour
static int32_t clut[256];
static int32_t oxdim, oydim;  // frame-buffer size seen in the previous pass

// === input ===

// the quit question: 1 the program ends
static int32_t events(void)
{
    int32_t r = breath();
    if (r == 2) return 1;
    if (r == 0) return 0;
    if (asksave()) return 1;
    quitcancel();
    return 0;
}

static void sampleclock(void)
{
    odtotclk = dtotclk;
    dtotclk = vlock();
    deltim = dtotclk - odtotclk;
    frmousx = (float)dmousx, dmousx = 0, fmousx = (float)mousx;
    frmousy = (float)dmousy, dmousy = 0, fmousy = (float)mousy;
}


static int32_t panning(void) { return (bstatus & 2) || (ctrlheld() && (bstatus & 1)); }

// the menu takes every key while it is open; a click anywhere closes it
static void menukeys(void)
{
    if (vopts.usewingui || menusel < 0) return;
    for (int32_t k; menusel >= 0 && (k = keyread()) != 0;) menuinput(k);
    if (menusel >= 0 && (bstatus & ~obstatus)) {
        menusel = -1;
        obstatus = bstatus;  // the click closed the menu and does nothing else
    }
}

// keys and clicks to one consumer; the focus window, or -1
static int32_t route(void)
{
    if (getstringmode >= 0) {
        getstringinput();
        return -1;
    }
    int32_t focus = plotinput();
    if (transscalechanged) transscalechanged = 0, checkdirty();
    if (focus >= 0) return focus;
    dccontrols();
    if (panning()) {
        fsxoff += frmousx;
        fsyoff += frmousy;
        isxoff = (int32_t)fsxoff;
        isyoff = (int32_t)fsyoff;
    }
    return -1;
}

// === re-solve ===

static void resolve(void)
{
    if (!(recalc & 1)) {
        solveidle();  // a pass with nothing to solve readies the next re-solve of this structure
        return;
    }
    recalc &= ~1;
    plotsreset();
    matbad = dcsolve();
    if (matbad == SOLVED) {
        for (int32_t w = 0; w < numwires; w++) dispi[w] = el[yh[w]].re;
        for (int32_t n = 0; n < numnodes; n++) dispv[n] = el[yh[numwires + n]].re;
    }
    size_t n;
    char *text = vsmtext(&n);  // one text for the unsaved mark and the undo history
    checkdirtytext(text, n);
    undonote(text, n);
}

static void tick(void)
{
    if (dtotclk - oldtim <= 0.0125) return;  // 80 ticks a second, at most one a pass
    oldtim = dtotclk;
    numframes++;
}

// === drawing ===

// the background: black, or the palette's own, tinted towards red by the red
// byte of backgroundcol while the circuit cannot be solved
static void clearbackground(void)
{
    uint32_t b = ovpal[PAL_BLACK], red = ((uint32_t)backgroundcol >> 16) & 255;
    uint32_t r = (b >> 16) & 255, g = (b >> 8) & 255, bl = b & 255;
    if (r < red) r = red;
    g = g * (255 - red) / 255;
    bl = bl * (255 - red) / 255;
    vpal[PAL_BLACK] = r << 16 | g << 8 | bl;
    drawrectfill(&gdd, 0, 0, gdd.x, gdd.y, (int32_t)vpal[PAL_BLACK]);
}

// The element help picture at the right edge, vertically centred; only its
// opaque pixels (top bit set). Its elements are rows of HELPROW pixels below
// a margin of HELPTOP (assets/mkpictures.py): a window too short for it all
// shows the rows in as many columns side by side as it takes, each centred,
// the first on the left.
enum { HELPROW = 36, HELPTOP = 6 };

// the picture's first pixel row of element row k (of rows), its height at rows
static int32_t helprowtop(int32_t k, int32_t rows)
{
    return k <= 0 ? 0 : k >= rows ? veltohlp.y : HELPTOP - 3 + k * HELPROW;
}

static void drawhelppicture(void)
{
    if (!vopts.showcirchelp || !veltohlp.f) return;
    const int32_t rows = (veltohlp.y - 2 * HELPTOP) / HELPROW;
    int32_t cols = 1;
    while (cols < rows && ((rows + cols - 1) / cols) * HELPROW + 2 * HELPTOP > gdd.y) cols++;
    const int32_t per = (rows + cols - 1) / cols;
    for (int32_t k = 0; k * per < rows; k++) {
        const int32_t top = helprowtop(k * per, rows), bottom = helprowtop((k + 1) * per, rows);
        const int32_t x0 = gdd.x - (cols - k) * veltohlp.x, y0 = (gdd.y - (bottom - top)) / 2 - top;
        for (int32_t r = top; r < bottom; r++) {
            const uint32_t *row = (const uint32_t *)(veltohlp.f + (intptr_t)r * veltohlp.p);
            for (int32_t c = 0; c < veltohlp.x; c++)
                if (row[c] & 0x80000000u) drawpixp(x0 + c, y0 + r, clut[row[c] & 255]);
        }
    }
}

static void draw(int32_t focus)
{
    if (!startdirectdraw(&gdd.f, &gdd.p, &gdd.x, &gdd.y)) return;
    if (gdd.x != oxdim || gdd.y != oydim) {
        oxdim = gdd.x, oydim = gdd.y;
        recalc = 3;
    }
    int32_t maxwin = plotmaximised();
    clearbackground();
    if (maxwin < 0) dcrender();
    drawhelppicture();
    plotdraw(focus, maxwin);
    if (getstringmode >= 0) getstringdraw();
    if (capitnowfilnam[0]) capturewrite();  // everything but the menu
    if (menusel >= 0) menudraw(0, 0, 0);
    stopdirectdraw();
    nextpage();
}

// === cursor ===

static int32_t cursorkind(void)
{
    if (mousx < 0 || mousy < 0 || mousx >= xres || mousy >= yres) return CURS_ARROW;
    if (getstringmode >= 0) return CURS_CROSS;
    int32_t k = plotcursor();
    if (k >= 0) return k;
    if (panning()) return CURS_HAND;
    int32_t typable = curw >= 0 && curw < numwires && wire[curw].element != 'T' && wire[curw].element != 'X';
    if (closetoelement && typable) return CURS_IBEAM;
    if (!closetoelement && curw >= 0 && curw < numwires && curn < 0) return CURS_PLUS;
    return CURS_CROSS;
}

// === the pass ===

int32_t mainpass(void)
{
    static int32_t clutmade = 0;
    if (!clutmade) {
        clut[0] = PAL_BLACK, clut[0x40] = PAL_HELPKEY, clut[0x55] = PAL_HELPWIRE;
        clut[0xAA] = PAL_HELPRULE, clut[0xC0] = PAL_HELPCAPTION, clut[0xD5] = PAL_HELPSYMBOL;
        clutmade = 1;
    }
    if (events()) return 0;
    for (int32_t i = 0; i < PALSIZ; i++) vpal[i] = ovpal[i];
    readkeyboard();
    sampleclock();
    menukeys();
    plotscreen();
    plotdrag();
    int32_t focus = route();
    resolve();
    recoverytick(dtotclk);
    undosettle();
    tick();
    plotswait = getstringmode >= 0;  // the windows wait for the text being typed
    draw(focus);
    setcurs(cursorkind());
    if (domenusavebmp) {
        domenusavebmp = 0;
        menusavebmp(0);
    }
    obstatus = bstatus;
    dmousz = 0;  // a wheel turn belongs to the pass it came in, whoever took it
    if (vopts.cpuusage == 1) Sleep(1);
    else if (vopts.cpuusage == 2) Sleep(100);
    return 1;
}
