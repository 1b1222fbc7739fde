// ui.h: the editor and user-interface state: view transform, hover state,
// drawing modes, and the plot-window list. Later work adds rendering, editor
// controls, menus, settings and text.
#pragma once
#include <stdint.h>

// === view transform: screen = world * fsscale + offset ===
extern float fsscale;          // zoom, power of two 0.125..8; start 1
extern float frscale;          // 1 / fsscale
extern int32_t ilscale;        // log2(fsscale), -3..3
extern float fsxoff, fsyoff;   // screen offset of world (0, 0), pixels
extern int32_t isxoff, isyoff; // the same truncated to integers (hit tests, snapping)

// === hover and drawing state (editor writes each pass) ===
extern int32_t curn;           // node under the mouse, -1 none
extern int32_t curw;           // wire under the mouse, -1 none
extern int32_t curside;        // -1 on curw's node1 half, 0 on its node2 half
extern int32_t mousexquant;    // mouse in world units, grid-snapped in grid mode
extern int32_t mouseyquant;
extern int32_t drawwiremode;   // 1 while a wire is being drawn

// === plot windows ===
enum { MAXPLOTS = 8 };
enum { PLOT_BODE = 1, PLOT_TRANS = 2, PLOT_MATRIX = 3, PLOT_KEYS = 4, PLOT_HELP = 5 };

struct plottype {
    int32_t kind;                                  // PLOT_BODE .. PLOT_HELP
    float left, top, right, bottom;                // client area, pixels; title bar is 20 rows above top
    float state;                                   // 0 normal, 1 maximised, 2 minimised
    float savedleft, savedtop, savedright, savedbottom;  // normal rectangle while max/minimised
    int32_t inwire;                                // Bode: input wire; transient: -1 asks for a restart
    int32_t plotwire;                              // probed wire, or node when plotsense is 0
    int32_t plotsense;                             // 0 node voltage; +1/-1 wire with its sense
    int32_t idwire, idflip;                        // Bode: ibodewire and ibodeflip at creation
    int32_t phaseoffs;                             // Bode: phase offset, 1/65536 turn; -1 resets the view
    int32_t hertz;                                 // Bode: 1 Hz axis, 0 rad/s
    int32_t maxxdim, bufcols, savestatemax;        // buffer sizes
    double *colmin, *colmax, *savestate;           // per-column buffers (Bode: colmax caches results)
    double xscale, yscale, xoffset, yoffset;       // transient: time scale, value scale, scroll, zero row
    double scrollx, scrolly;                       // matrix and help: content scroll, pixels
    double matw, matt;                             // matrix: angular frequency and time
    int32_t firstcol, basecol, numcols;            // transient column bookkeeping
    double lfreqlo, lfreqhi;                       // Bode: log10 of the frequency range shown
    double dblo, dbhi;                             // Bode: gain range shown, dB
    double dbscale, lnscale;                       // Bode: pixels per dB and per ln(power ratio)
};

extern plottype plot[MAXPLOTS];     // slots beyond numplots keep their buffers for reuse
extern int32_t numplots;            // 0..MAXPLOTS
extern int32_t plotorder[MAXPLOTS]; // bottom to top: plotorder[numplots-1] is topmost
extern plottype *gplot;             // record being handled or drawn

void removeplot(int32_t index);     // close window index; records stay packed
