// ui.h: the editor and user interface: view transform, hover state, the
// editing of drawn wires, the plot windows and what they draw, the plot line
// routines, text, help and number formatting.
// Sits on the analysis, the circuit model and the frame; the program (app/)
// sits on it.
#pragma once
#include <stdint.h>
#include "analysis/analysis.h"  // plotcalc
#include "frame/frame.h"        // tiletype

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

// === hit tests (screen coordinates) and the wire being drawn ===
int32_t findnode(int32_t sx, int32_t sy);  // lowest node within 24 px, or -1
int32_t findwire(int32_t sx, int32_t sy);  // nearest wire within 24 px, or -1
int32_t insertnode(void);      // split wire curw at the mouse: 1 done, 0 not
int32_t endrawiremode(void);   // stamp the wire being drawn: its index, or -1
void editorreset(void);        // a new or loaded circuit: view at zoom 1, nothing in progress,
                               // every window closed, recalc = 3

// === plot windows ===
enum { MAXPLOTS = 8 };
enum { PLOT_BODE = 1, PLOT_TRANS = 2, PLOT_MATRIX = 3, PLOT_KEYS = 4, PLOT_HELP = 5 };

// A window record: the analysis's computing state (plotcalc: probe, input
// wire, column buffers, time scale and columns, frequency range) and the
// window's own geometry and view.
struct plottype : plotcalc {
    int32_t kind;                                  // PLOT_BODE .. PLOT_HELP
    float left, top, right, bottom;                // client area, pixels; title bar is 20 rows above top
    float state;                                   // 0 normal, 1 maximised, 2 minimised
    float savedleft, savedtop, savedright, savedbottom;  // normal rectangle while max/minimised
    int32_t reset;                                 // transient: -1 asks for a restart
    int32_t idwire, idflip;                        // Bode: ibodewire and ibodeflip at creation
    int32_t phaseoffs;                             // Bode: phase offset, 1/65536 turn; -1 resets the view
    double yscale, xoffset, yoffset;               // transient: value scale, scroll, zero row
    double scrollx, scrolly;                       // matrix and help: content scroll, pixels
    double matw, matt;                             // matrix: angular frequency and time
    int32_t firstcol;                              // transient: first visible column
    double dblo, dbhi;                             // Bode: gain range shown, dB
    double dbscale, lnscale;                       // Bode: pixels per dB and per ln(power ratio)
};

extern plottype plot[MAXPLOTS];     // slots beyond numplots keep their buffers for reuse
extern int32_t numplots;            // 0..MAXPLOTS
extern int32_t plotorder[MAXPLOTS]; // bottom to top: plotorder[numplots-1] is topmost
extern plottype *gplot;             // record being handled or drawn

void removeplot(int32_t index);     // close window index; records stay packed
void plotrenumber(int32_t kind, int32_t from, int32_t to);
                                    // renumbering listener (renumlistener): probes and Bode
                                    // inputs follow a moved item; a window on a removed one closes

// === plot line routines ===
// Solid, patterned and marching-dash lines through drawpixp (frame.h) with
// palette colours, for plots and the schematic. Half-open along the major
// axis; the minor coordinate is stepped in 12.20 fixed point from pixel
// centres of the major axis. Only the stretch inside gdd is walked, so
// far-off end points cost nothing.
extern double movetoposx, movetoposy;   // pen: end point of the last line routine
void line(double x0, double y0, double x1, double y1, int32_t col);
void dotline2d(double x0, double y0, double x1, double y1, int32_t col, uint32_t pattern);
                                        // pixel at major coordinate c only if bit c & 31 is set
void dotline(double x0, double y0, double x1, double y1, int32_t col0, int32_t col1, int32_t phase);
                                        // dashes 0x000F000F in col1 marching towards (x1, y1) as
                                        // phase grows; phase < 0: plain line in col0
void lineto(double x, double y, int32_t col);  // line from the pen, pen moves to (x, y)

// === number formatting ===
extern char gnumstr[16];            // fstr's result, overwritten by the next call
extern const int32_t tenpow[10];    // 1, 10, .. 1e9: digit picking

char *fstr(double x);               // " 1.5", "-.25", " 1.2345E-04", " NAN"; sign position first
char *ltrim(char *p);               // skips one leading blank: ltrim(fstr(x)) is the shown number

// === text and help ===

enum { NUMFONTS = 10 };             // fonts 0..9: 4x6 .. 12x16 (fontlist)
extern tiletype font[NUMFONTS];     // decoded strips, one glyph wide, 256 tall; f 0 when not decoded

// one line at (x, y) of gdd in font 0..9; fg, bg palette colours, -1 transparent;
// fmt "" draws the next argument, a string, as it is; fmt null draws nothing
void drawtext(int32_t fnt, int32_t x, int32_t y, int32_t fg, int32_t bg, const char *fmt, ...);

static char *const HELPFAILED = (char *)(intptr_t)-1;  // helpbuf of a text that could not be loaded
enum { HELPLINEMAX = 1020 };        // columns of one help line at most
extern char *helpbuf[2];            // 0 key summary, 1 velto.txt; null until first drawn
extern int32_t helpleng[2];         // bytes in helpbuf
extern char helpdir[260];           // folder of velto.txt (the settings folder); empty: the executable's
extern int32_t helpfont;            // font of the help windows, 0..9; start 1

struct helpline {                   // one laid-out help line
    const char *s;                  // its characters, only 0x20..0x7F
    int32_t n;                      // how many
    int32_t y;                      // top row in the view
    int32_t justify;                // 1: spread over the view width (a wrapped line)
};
typedef void (*helpemit)(const helpline *l, void *ctx);

void helprender(int32_t which);     // 0 key summary, 1 help file, into gdd, scrolled by gplot
void helpfree(void);                // release both texts; the next helprender loads them again
void helpfilename(char *out, int32_t siz, const char *inipath);  // velto.ini path -> velto.txt path
// lays text out for a view viewx by viewy in glyphs w by h scrolled down by ys;
// calls emit for each line that reaches into the view; returns how many
int32_t helplayout(const char *text, int32_t leng, int32_t viewx, int32_t viewy, int32_t w,
                   int32_t h, int32_t ys, helpemit emit, void *ctx);
int32_t helpcharx(int32_t j, const helpline *l, int32_t viewx, int32_t w, int32_t xs);  // column of character j

// === embedded pictures ===
// PNG files carried in the program (assets/*.png, turned into arrays at build
// time); start-up decodes them into tiletype images.
extern const unsigned char vasc_4x6_png[], vasc_6x8_png[], vasc_6x10_png[], vasc_7x12_png[],
    vasc_8x12_png[], vasc_8x13_png[], vasc_8x14_png[], vasc_8x15_png[], vasc_9x16_png[],
    vasc_12x16_png[];
extern const int32_t vasc_4x6_png_size, vasc_6x8_png_size, vasc_6x10_png_size,
    vasc_7x12_png_size, vasc_8x12_png_size, vasc_8x13_png_size, vasc_8x14_png_size,
    vasc_8x15_png_size, vasc_9x16_png_size, vasc_12x16_png_size;
extern const unsigned char veltohlp_png[];    // element help picture, 84x480, 4-bit palette
extern const int32_t veltohlp_png_size;
extern const unsigned char winminmaxx_png[];  // title-bar buttons of a normal window, 50x14
extern const int32_t winminmaxx_png_size;
extern const unsigned char winminnorx_png[];  // the same for a maximised or minimised window
extern const int32_t winminnorx_png_size;

struct fonttype {                   // one row of fontlist
    const unsigned char *png;       // embedded strip: one glyph wide, 256 glyphs tall
    int32_t leng;                   // its bytes
    int32_t width, height;          // glyph cell, pixels
    int32_t extchars;               // 1: 0x80..0xFF are code page 437 (0xB3 bar, 0xF8 degree, 0xEC infinity)
};
extern const fonttype fontlist[NUMFONTS];  // 4x6, 6x8, 6x10, 7x12, 8x12, 8x13, 8x14, 8x15, 9x16, 12x16
