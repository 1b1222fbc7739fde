// plots.h: the plot windows: the window manager (stacking, dragging,
// maximising, probes following the circuit, the clipboard copy), and what
// the transient, Bode, matrix and help windows draw and how they answer keys
// and the mouse. Sits on the drawing room, the settings and the analysis;
// the editor opens and closes windows through it.
#pragma once
#include <stdint.h>
#include <stdio.h>
#include "analysis/analysis.h"  // plotcalc
#include "draw/draw.h"
#include "settings/settings.h"

// === plot windows ===
enum { MAXPLOTS = 8 };
enum { PLOT_BODE = 1, PLOT_TRANS = 2, PLOT_MATRIX = 3, PLOT_KEYS = 4, PLOT_HELP = 5 };
enum { PLOTINPUTTAKEN = MAXPLOTS }; // plotinput: input taken, no window to mark active

// A window record: the analysis's computing state (plotcalc: probe, input
// wire, column buffers, time scale and columns, frequency range) and the
// window's own geometry and view.
struct plottype : plotcalc {
    int32_t kind;                                  // PLOT_BODE .. PLOT_HELP
    float left, top, right, bottom;                // client area, pixels; title bar is 20 rows above top
    float state;                                   // 0 normal, 1 maximised, 2 minimised
    float savedleft, savedtop, savedright, savedbottom;  // normal rectangle while max/minimised
    float want[4], fit[4];                         // the normal rectangle last placed (l, t, r, b), and
    int32_t fitted;                                //   the one the last screen resize made of it (fitted 1)
    int32_t reset;                                 // -1: the circuit changed, compute again (view kept)
    int32_t idwire, idflip;                        // Bode: ibodewire and ibodeflip at creation
    int32_t autogain;                              // Bode: 1 the gain range follows the curve (A key)
    int32_t phaseoffs;                             // Bode: phase offset, 1/65536 turn; -1 resets the view
    int32_t phasecentre;                           // Bode: 1 phaseoffs waits for the first whole
                                                   //   sweep (set by the first view and Home)
    double yscale, xoffset, yoffset;               // transient: value scale, scroll, zero row
    double homexscale;                             // transient: the time scale it opened with (Home's)
    double scrollx, scrolly;                       // matrix and help: content scroll, pixels
    double matw, matt;                             // matrix: angular frequency and time
    double cura, curb;                             // cursors A and B: seconds (transient), log10 of the
                                                   // frequency in the window's unit (Bode); NAN none
    int32_t firstcol;                              // transient: first visible column
    double dblo, dbhi;                             // Bode: gain range shown, dB
    double dbscale, lnscale;                       // Bode: pixels per dB and per ln(power ratio)
    int32_t measure;                               // transient, Bode: measurement shown (M key), 0 none
    int32_t seltrace;                              // the trace measured: 0 the window's own (Tab)
    int32_t linmag;                                // Bode: 1 the gain panel shows |out/in| (G key), 0 dB
    double maglo, maghi;                           // Bode: the range of |out/in| shown; maglo >= maghi
                                                   //   fits it to the curve at the next drawing
};

extern plottype plot[MAXPLOTS];     // slots beyond numplots keep their buffers for reuse
extern int32_t numplots;            // 0..MAXPLOTS
extern int32_t plotorder[MAXPLOTS]; // bottom to top: plotorder[numplots-1] is topmost
extern plottype *gplot;             // record being handled or drawn

extern int32_t frqgraphmode;        // unit of the next Bode window: 1 hertz
extern int32_t dragwindi;           // window being moved or resized, -1 none
extern int32_t dragcorns;           // its edges that follow the mouse: 1 left 2 right 4 top 8 bottom
extern const int32_t clut_0[256];   // title-bar button pixel (low byte) -> palette colour

void findfreewindowquadrant(void);  // places window numplots (about to open) where it overlaps least
int32_t openplot(int32_t kind, int32_t plotwire, int32_t plotsense);
                                    // a new window on top with its kind's first view (Bode:
                                    // input ibodewire, ibodeflip, unit frqgraphmode; the caller
                                    // negates plotsense when ibodeflip is set); its index, or -1
                                    // when MAXPLOTS are open
int32_t plotaddtrace(int32_t kind, int32_t plotwire, int32_t plotsense);
                                    // the probe's trace joins the topmost window of kind (which
                                    // opens when there is none), or leaves it when it is there
                                    // already (the window closes with its last trace): the
                                    // window's index, or -1 when none shows it
void removeplot(int32_t index);     // close window index; records stay packed
void plotsreset(void);              // the circuit changed: Bode and transient windows compute again,
                                    // each keeping its view (ranges, scales, scroll)
void plotprune(void);               // closes the windows whose probe or Bode input names nothing
void plotscreen(void);              // after a change of screen size: every window fitted and kept
                                    // on it, a maximised one filling it (called each pass)
void plotdrag(void);                // a window drag in progress follows the mouse, ends on release
int32_t plotinput(void);            // the window under the mouse takes this pass's input: its
                                    // index; PLOTINPUTTAKEN when the input was taken but no
                                    // window has the focus (one closed); -1 when none took it
int32_t plotmaximised(void);        // highest-index maximised window, or -1
void plotdraw(int32_t focus, int32_t maxwin);  // every window bottom to top; when maxwin >= 0 it
                                    // and the windows stacked above it; focus is drawn active
int32_t plotcursor(void);           // cursor kind the windows want at the mouse, or -1
int32_t iscopykey(int32_t k);       // Control (or Command) + C
void plotcopy(void);                // gplot's data to the clipboard: a transient or Bode window's
                                    // columns as CSV (the columns veltocli prints), a help text
void plotrenumber(int32_t kind, int32_t from, int32_t to);
                                    // renumbering listener (renumlistener): probes and Bode
                                    // inputs follow a moved item; a window on a removed one closes
void plotremap(int32_t (*item)(int32_t kind, int32_t i));  // every probe and Bode input i of kind
                                    // RENUMNODE or RENUMWIRE becomes item(kind, i); -1 closes it

// === the traces of a window: 0 its own probe, 1 .. numextra its further ones ===
struct tracecols {
    int32_t plotwire, plotsense;    // the trace's probe
    const double *colmin, *colmax;  // its columns, as plotcalc's
    int32_t colour;                 // palette index it is drawn in
};
tracecols traceof(const plottype *p, int32_t k);
int32_t traceamps(int32_t plotwire, int32_t plotsense);  // 1: a T wire's current, 0 a voltage
void tracelegend(const plottype *p, int32_t x, int32_t y);  // with several traces, one line
                                    // naming each in its colour, on the free row nearest y

// === measurements (measures.cpp) ===
int32_t plotmeasures(const plottype *p);  // how many measurements the window's kind offers
int32_t plotmeasurekey(plottype *p, int32_t k);  // M: the next measurement (after the last, none);
                                    // Tab: the next trace measured; 1 when the key was one of them
void plotmeasuredraw(const plottype *p, int32_t ydim);  // the measurement shown, above the bottom
void plotmeasurecsv(FILE *f, const plottype *p);  // with a measurement shown: every one of the
                                    // selected trace after a blank line (name,trace,value,unit)

// === the windows in the circuit file (plotfile.cpp) ===
void plotsectionwrite(FILE *f);     // vsmsectionwrite: a "//Plot" line per open window
void plotsectionread(const char *line, int32_t n);  // vsmsectionread: keeps the file's "//Plot" lines
void plotsectionrestore(void);      // opens the windows the lines of the last file read describe
                                    // (those whose probes name something); the lines are used up

// === what the plot windows draw (into gdd narrowed to the client area) ===
void transplot(int32_t plotwire, int32_t plotsense, int32_t cursor);  // run gplot's columns, draw
void transautoscale(void);          // gplot's yscale and yoffset from its visible columns
void transcontrols(void);           // keys and mouse of the window gplot
extern int32_t transscalechanged;  // 1 after a window stepped the time scale, which the circuit
                                    // file holds: the main loop brings the unsaved mark up to date
extern double (*plotclock)(void);  // clock of the windows' computing budget: vlock (tests and
                                    // benchmarks may put their own)
extern int32_t plotswait;           // 1: the windows compute nothing this pass (a value is being
                                    // typed into its wire's text; its commit or cancel starts
                                    // them again)
void bodeplot(int32_t inwire, int32_t plotwire, int32_t plotsense, int32_t cursor);
void bodecontrols(void);
double bodecolumn(const plottype *p, double lf, double w);  // client column (not rounded) of the
                                    // log10 frequency lf on the axis of a view w wide
double bodelogfreq(const plottype *p, double x, double w);  // log10 of the frequency at column x
void matrixrender(void);            // Ax = b of gplot's omega and time, solved (matbad untouched)
void matrixcontrols(void);
// helpers the three share (transplot.cpp)
double plotbudget(const plottype *p, int32_t xdim);  // seconds window p (transient or Bode, xdim
                                    // wide) computes this pass: an equal share of the pass's
                                    // budget with the others still computing, at most 10 ms;
                                    // 0 while plotswait
void plotmouse(int32_t *mx, int32_t *my);  // mouse relative to the client view of gplot
int32_t plotnotches(void);          // wheel notches of this pass (up positive), taken from dmousz
int32_t plotamps(const plottype *p);  // 1: the probe is a T wire's current, 0 a voltage
const char *plotnum(double v, const char *unit);  // v in engineering form for the plot font (its
                                    // micro sign where it has one); overwritten by the next call
const char *plotlabel(double v, double step, const char *unit);  // plotnum with the digits that
                                    // tell v from a grid label step away (the same buffer)
void plotcrosshair(int32_t mx, int32_t my);  // dotted light cyan cross-hair through (mx, my) of gdd
int32_t plotclamp(double v, int32_t lo, int32_t hi);  // v truncated into [lo, hi]; lo wins
void plottexts(int32_t xdim, int32_t ydim);  // a window's drawing starts: no text placed, view xdim x ydim
int32_t plotspot(int32_t font, int32_t *x, int32_t *y, const char *s, int32_t gap, int32_t move);
                                    // a place for s at (*x, *y) moved inside the view, clear of the
                                    // texts placed (by gap columns) or, with move, on the free row
                                    // nearest *y; taken and 1, or 0 where there is none
void helpcontrols(void);            // scrolling of a key summary or help window
// the cursors of a transient or Bode window (cursors.cpp)
int32_t plotcursors(plottype *p);   // a click sets cursor A (Shift: B), a press on one drags it: 1
                                    // while a cursor follows the mouse (the plot does not scroll)
void plotcursorcancel(void);        // the press under way sets no cursor (it did something else)
void plotcursordraw(const plottype *p, int32_t xdim, int32_t ydim);  // lines and read-out
int32_t plotcursortext(const plottype *p, int32_t k, char *s, int32_t n);
                                    // read-out line k into s (0 A, 1 B; with both, 2 dt and 1/dt or
                                    // df and fB/fA, 3 B - A): 1, or 0 when it has nothing to say

// the zoom box of a transient or Bode window (zoombox.cpp)
struct plotrect { int32_t x0, y0, x1, y1; };  // client pixels, x0 <= x1, y0 <= y1
enum { BOXLEAST = 4 };              // pixels a box side needs to change that axis
int32_t plotbox(plottype *p, int32_t allow, plotrect *r);  // with allow, a right press in the
                                    // client area starts a box that follows the mouse while the
                                    // button is held: 1 then (the plot does not pan), 2 on the
                                    // release that ends it (*r the box), 0 no box; the menu
                                    // opening (Escape) drops it
plottype *plotboxwin(void);         // the window whose box is being drawn, or null
void plotboxcancel(void);           // the box is dropped
void plotboxdraw(const plottype *p);  // p's box outline, while it is drawn

// === help windows ===
static char *const HELPFAILED = (char *)(intptr_t)-1;  // helpbuf of a text that could not be loaded
enum { HELPLINEMAX = 1020 };        // columns of one help line at most
extern char *helpbuf[2];            // 0 key summary, 1 velto.txt; null until first drawn
extern int32_t helpleng[2];         // bytes in helpbuf

struct helpline {                   // one laid-out help line
    const char *s;                  // its characters, only 0x20..0x7F
    int32_t n;                      // how many
    int32_t y;                      // top row in the view
    int32_t justify;                // 1: spread over the view width (a wrapped line)
};
typedef void (*helpemit)(const helpline *l, void *ctx);

void helprender(int32_t which);     // 0 key summary, 1 help file, into gdd, scrolled by gplot
const char *helptext(int32_t which, int32_t *leng);  // the text (loaded now if need be), or null
void helpfree(void);                // release both texts; the next helprender loads them again
// lays text out for a view viewx by viewy in glyphs w by h scrolled down by ys;
// calls emit for each line that reaches into the view; returns how many
int32_t helplayout(const char *text, int32_t leng, int32_t viewx, int32_t viewy, int32_t w,
                   int32_t h, int32_t ys, helpemit emit, void *ctx);
int32_t helpcharx(int32_t j, const helpline *l, int32_t viewx, int32_t w, int32_t xs);  // column of character j
