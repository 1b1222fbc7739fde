// ui.h: the editor and user interface: the per-pass state the main loop
// keeps, settings, the in-window menu, the schematic, the editor and its text
// entry, the plot windows and what they draw, the screen capture, the file
// commands, and the text, help, number and line-drawing routines under them.
// Sits on the analysis, the circuit model and the frame; the program (app/)
// sits on it and runs the main loop that calls in here.
#pragma once
#include <stdint.h>
#include "analysis/analysis.h"  // plotcalc
#include "circuit/circuit.h"    // PATHMAX
#include "frame/frame.h"        // tiletype

// === the program ===
extern const char *veltoversion;  // "1.0": the about box, --version

// === per-pass state (the main loop writes it at the start of each pass) ===
extern double dtotclk;         // clock at the start of this pass, seconds (vlock)
extern double odtotclk;        // the same for the previous pass
extern double deltim;          // dtotclk - odtotclk: held keys scroll and zoom by it
extern double oldtim;          // clock at the last animation tick
extern int32_t numframes;      // animation ticks, 80 a second, from INT32_MIN; blinking uses its bits
extern float frmousx, frmousy; // mouse movement in this pass (from dmousx, dmousy)
extern float fmousx, fmousy;   // mouse position in this pass
extern int32_t obstatus;       // bstatus of the previous pass: a press is set now and clear then
extern int32_t backgroundcol;  // 0x00RRGGBB; its red byte tints the background of an unsolvable circuit

// === settings (velto.ini, section [VELTO]) ===
struct voptstype {             // the keys in file order
    int32_t xres, yres;        // client size at exit (the value read is not applied)
    int32_t fullscreen;        // kept and written back
    int32_t ismaxxed;          // kept and written back
    int32_t circfont;          // font 0..9 of the schematic, help windows and text entry
    int32_t showcirchelp;      // element help picture at the right edge
    int32_t palinverted;       // inverted colours
    int32_t gridmode;          // dot grid, nodes snap to it
    int32_t showcircles;       // nodes drawn as circles
    int32_t showanimation;     // moving current dashes
    int32_t showresults;       // solved volts and amps on the schematic
    int32_t usewingui;         // 1: keyboard menu off (always 0 here)
    int32_t sampsperpix;       // transient sub-steps per column: 1, 4, 16, .. 4096
    int32_t autoyscale;        // transient value axis follows the trace
    int32_t cpuusage;          // pause per pass: 0 none, 1 Sleep(1), 2 Sleep(100)
    int32_t uiscale;           // window pixels per pixel: 0 as the screen's density calls for, 1..4
};
extern voptstype vopts;        // the settings in force (the menu handlers write them)
extern voptstype ovopts;       // as read at start-up: written back at exit only if they differ
extern char veltoinifilnam[PATHMAX];  // the settings file: beside the program when that folder is
                                      // writable, else $XDG_CONFIG_HOME/velto/velto.ini

void setinipath(void);         // chooses veltoinifilnam (and the folder of the help file)
int32_t inipathfor(char *out, int32_t siz, const char *exedir, const char *confighome,
                   const char *home);  // exedir/velto.ini when a file can be made there, else
                               // confighome/velto/velto.ini (absolute only), else
                               // home/.config/velto/velto.ini; 1 when it fit
void helpdirfor(char *out, int32_t siz, const char *exedir);  // folder of velto.txt: exedir, else
                               // exedir/../share/velto where the file is, else exedir
int32_t exefolder(char *out, int32_t siz);  // folder of the running program; 0 unknown ("")
int32_t joinpath(char *out, int32_t siz, const char *dir, const char *name);  // dir/name; 1 fit
void defaultopts(voptstype *o);
void readini(const char *path, voptstype *o);  // the file's [VELTO] keys over o; no file: o stays
void fixopts(voptstype *o);    // values out of range brought to the nearest valid one
int32_t saveini(void);         // vopts into veltoinifilnam, other sections kept: 1 written; 0 the
                               // old file is untouched

// === in-window menu ===
enum { MENUCOUNT = 56 };       // entries; the last, a level-0 separator, ends the table
enum { MENUTEXTMAX = 40 };     // bytes of an entry's text, its zero included
struct menutype {
    char *text;                // level spaces, mark (* ticked, + not), _ before the accelerator,
                               // \t before the shortcut hint; "-" a separator
    void (*func)(int32_t);     // handler, or null
    int32_t arg;               // passed to func
};
extern menutype menu[MENUCOUNT];
extern int32_t menusel;        // highlighted entry, -1 closed

int32_t menulev(int32_t i);    // nesting level: leading spaces
int32_t menuchild(int32_t i);  // first child that is no separator, or -1
int32_t menuparent(int32_t i);
int32_t menunext(int32_t i);   // next sibling that is no separator, or -1
int32_t menuprev(int32_t i);
int32_t menuinput(int32_t key);  // a key entry while the menu is open: 1 used, 0 not
void menudraw(int32_t first, int32_t x, int32_t y);  // the level starting at first, and open submenus
int32_t menuwidth(int32_t first);  // widest display string of the level starting at first, in characters
int32_t menulabel(int32_t e, int32_t maxw, char *b);  // entry e as drawn in a level maxw wide into b
                               // (MENUTEXTMAX + 2 bytes); the accelerator's column, or -1

void menuinvcols(int32_t arg);       // on/off handlers: arg < 0 toggles, 0 or 1 sets
void menushowgrid(int32_t arg);
void menushowcircles(int32_t arg);
void menushowanimation(int32_t arg);
void menushowresults(int32_t arg);
void menuusewingui(int32_t arg);
void menuautoyscale(int32_t arg);
void menushowcirchelp(int32_t arg);
void menusetoversamp(int32_t v);     // radio handlers
void menusetfontsiz(int32_t k);      // (glyph width << 16) + glyph height
void menusetcpuusage(int32_t v);
void menushowhelp(int32_t k);        // toggles help window 0 key summary, 1 full help
void menuabout(int32_t arg);
void menuquit(int32_t arg);

// === circuit files ===
extern int32_t circuitdirty;   // 1 while the circuit differs from the file it was loaded from or
                               // saved to (checkdirty refreshes it after every change)
void menunewvsm(int32_t arg);  // the File menu; each asks before unsaved changes are lost
void menuloadvsm(int32_t arg);
void menusavevsm(int32_t arg);
void menusaveasvsm(int32_t arg);
int32_t loadcircuit(const char *path, int32_t retry);  // loadvsm, the view reset and a message box
                               // for a file that could not be read or was repaired; retry 1: a
                               // name that cannot be read is tried again with ".vsm"; 1 loaded
struct textblob {               // a text shared by whoever holds it
    char *text;                 // growmem'd, leng bytes
    size_t leng;
    int32_t refs;               // holders; the last blobdrop frees it
};
extern textblob *savedblob;    // the circuit's file text when last loaded or saved; null never
textblob *blobof(char *text, size_t leng);  // a blob of one holder owning text
void blobhold(textblob *b);
void blobdrop(textblob *b);    // null is fine
void markclean(void);          // the circuit as it is now is what its file holds
void checkdirty(void);         // circuitdirty and the window title brought up to date
void checkdirtytext(const char *now, size_t n);  // the same, given the circuit's text now
int32_t asksave(void);         // unsaved changes: "Save changes to NAME?"; 1 go on (saved, or not
                               // wanted), 0 the user cancelled or the save failed
void releasectrl(void);        // both Control keys up: their release is not seen under a dialog

// === undo and redo ===
extern int32_t undotunewire;   // wire whose value the wheel is tuning, -1 none (one step per run)
void undoreset(void);          // history emptied; the circuit as it is now is where it starts
void undonote(char *text, size_t leng);  // after a change, the circuit's text now (taken over):
                               // does it differ from the last step's end?
void undosettle(void);         // each pass: a change whose action has ended becomes a step
int32_t undo(void);            // the circuit as before the last step (anything in progress
int32_t redo(void);            // stopped first); 0 and a beep when there is none
int32_t undocount(void);       // steps that can be undone
void undorenumber(int32_t kind, int32_t from, int32_t to);  // a renumbering notice (editrenumber
                               // passes it on): the history follows the items between its steps
void undoreplaced(void);       // New or Open: no item of the circuit before is one of the circuit now
int32_t redocount(void);       // steps that can be redone

// === schematic ===
// Reads the model, the view, the editor's state, dispv/dispi/matbad and
// vopts; writes only backgroundcol (and pivorder, as scratch). No allocation.
void dcrender(void);           // the whole schematic into gdd; advances backgroundcol's fade
void circle(double cx, double cy, double r, int32_t col);  // outline through drawpixp; nothing
                               // when the centre or radius is 2^30 px or more

// === view transform: screen = world * fsscale + offset ===
extern float fsscale;          // zoom, power of two 0.125..8; start 1
extern float frscale;          // 1 / fsscale
extern int32_t ilscale;        // log2(fsscale), -3..3
extern float fsxoff, fsyoff;   // screen offset of world (0, 0), pixels
extern int32_t isxoff, isyoff; // the same truncated to integers (hit tests, snapping)

// === editor: hover, drawing and dragging state (dccontrols writes it each pass) ===
extern int32_t curn;           // node under the mouse, -1 none
extern int32_t curw;           // wire under the mouse, -1 none
extern int32_t curside;        // -1 on curw's node1 half, 0 on its node2 half
extern int32_t closetoelement; // 1: no node under the mouse and within 24 px of curw's symbol
extern int32_t mousexquant;    // mouse in world units, grid-snapped in grid mode
extern int32_t mouseyquant;
extern int32_t drawwiremode;   // 1 while a wire is being drawn
extern int32_t grabnode;       // node being dragged, -1 none
extern int32_t grabrect;       // 0 while a selection rectangle is dragged, -1 otherwise
extern int32_t grabx0, graby0, grabx1, graby1;  // its corners, world units
extern int32_t depwiremode;    // controlled source whose control is being chosen, -1 none
extern int32_t curtypewire;    // wire whose value is typed directly, -1 none

// === editor ===
void dccontrols(void);         // one pass of editor input: mouse, keys, drags, probes
int32_t mykeyread(void);       // next key entry for the caller, 0 none; program-wide keys handled
void calcwirenext(void);       // wirenext of every wire (and the one being drawn)
void zoomview(int32_t steps);  // zoom about the mouse by 2^steps, within 0.125..8
void cancelwire(void);         // stop drawing; a start node no stamped wire uses goes
void removewire(int32_t k);    // deletewire(k), the editor's own indices following it
void editrenumber(int32_t kind, int32_t from, int32_t to);  // the renumbering listener: the open
                               // value entry, the undo history and the plot windows follow it
double tunestep(double v, int32_t dir, int32_t letter);  // the next value of the letter's series
                               // (R L C: E12, others 1 2 5) above (dir > 0) or below v, sign kept

// === the selection and the clipboard (the Edit menu) ===
void selectall(void);          // every node selected, or none when all were
int32_t deleteselection(void); // selected nodes and every wire at them gone; 0: none selected
int32_t copyselection(void);   // selected nodes and the wires between them to the clipboard as a
                               // circuit text; 0 (and a beep): nothing selected
void cutselection(void);       // copy, then delete
int32_t pasteclipboard(void);  // a circuit text from the clipboard as new nodes and wires at the
                               // mouse, exactly they selected; 0 (and a beep): no circuit text
void menuundo(int32_t arg);    // the Edit menu's handlers
void menuredo(int32_t arg);
void menucut(int32_t arg);
void menucopy(int32_t arg);
void menupaste(int32_t arg);
void menudeleteselection(int32_t arg);
void menuselectall(int32_t arg);

// === hit tests (screen coordinates) and the wire being drawn ===
int32_t findnode(int32_t sx, int32_t sy);  // lowest node within 24 px, or -1
int32_t findwire(int32_t sx, int32_t sy);  // nearest wire within 24 px, or -1
void findhover(void);          // mousexquant, mouseyquant, curn, curw, curside and
                               // closetoelement for the mouse where it is now
void wiremidpoint(int32_t w, double *mx, double *my);  // screen point of w's element symbol
int32_t insertnode(void);      // split wire curw at the mouse: 1 done, 0 not
void startwire(int32_t a, int32_t letter);  // draw a new wire from node a; its loose end at the mouse
int32_t stampwire(int32_t end);  // the wire being drawn ends at node end and is counted: its index
int32_t endrawiremode(void);   // stamp the wire being drawn at the mouse: its index, or -1
void defaultnumst(int32_t w);  // an empty value text becomes "0" (switch) or "1", and value
void editorreset(void);        // a new or loaded circuit: view at zoom 1, nothing in progress,
                               // every window closed, recalc = 3

// === value text entry ===
extern int32_t getstringmode;  // -1 closed; 0 value (numst of curw); 1 initial condition (initst)
extern char **getstringptr;    // the wire's text field being edited
extern char *getstringbak;     // the text as it was when the entry opened
extern int32_t getstringleng;  // length of the text
extern int32_t getstringcurs;  // cursor, 0..length
extern int32_t getstringmax;   // storage size of the text
extern int32_t getstringsel0, getstringsel1;  // selection anchor and moving end; sel0 -1 none
extern int32_t getstringinsertmode;  // 1 insert, 0 overwrite
extern int32_t getstringx, getstringy;  // anchor on the screen
extern const char *getstringasktext;    // the prompt
extern int32_t getstringfcol;  // colour of the prompt and the text

void getstringopen(int32_t mode, int32_t x, int32_t y, const char *prompt, int32_t col);
                               // edit wire curw's numst (mode 0) or initst (1); keys pending dropped
void getstringinput(void);     // one pass of keys and clicks while the entry is open
void getstringcancel(void);    // the text as it was, entry closed
void getstringdraw(void);      // the box, text, selection, cursor and prompt

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
void removeplot(int32_t index);     // close window index; records stay packed
void plotsreset(void);              // the circuit changed: Bode views reset, transient runs restart
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

// === what the plot windows draw (into gdd narrowed to the client area) ===
void transplot(int32_t plotwire, int32_t plotsense, int32_t cursor);  // run gplot's columns, draw
void transautoscale(void);          // gplot's yscale and yoffset from its visible columns
void transcontrols(void);           // keys and mouse of the window gplot
extern double (*transclock)(void);  // clock of the transient's 10 ms budget: vlock (tests and
                                    // benchmarks may put their own)
void bodeplot(int32_t inwire, int32_t plotwire, int32_t plotsense, int32_t cursor);
void bodecontrols(void);
void matrixrender(void);            // Ax = b of gplot's omega and time, solved; matbad
void matrixcontrols(void);
// helpers the three share (transplot.cpp)
int32_t plotfont(void);             // font of plot labels: circfont, or 1 when out of range
void plotmouse(int32_t *mx, int32_t *my);  // mouse relative to the client view of gplot
void plotcrosshair(int32_t mx, int32_t my);  // dotted grey cross-hair through (mx, my) of gdd
int32_t plotclamp(double v, int32_t lo, int32_t hi);  // v truncated into [lo, hi]; lo wins
void plottexts(int32_t xdim, int32_t ydim);  // a window's drawing starts: no text placed, view xdim x ydim
int32_t plotspot(int32_t font, int32_t *x, int32_t *y, const char *s, int32_t gap, int32_t move);
                                    // a place for s at (*x, *y) moved inside the view, clear of the
                                    // texts placed (by gap columns) or, with move, on the free row
                                    // nearest *y; taken and 1, or 0 where there is none
void helpcontrols(void);            // scrolling of a key summary or help window

// === screen capture ===
extern char capitnowfilnam[PATHMAX];  // capture to write in the next drawing pass, "" none
extern int32_t domenusavebmp;       // 1: run the capture dialog at the end of this pass
extern int32_t capcount;            // next number tried for a free default name
void menusavebmp(int32_t arg);      // the dialog: a chosen name becomes capitnowfilnam
void capturewrite(void);            // writes capitnowfilnam from gdd (a 4-bit BMP), empties it

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
extern void (*textnote)(const tiletype *t, int32_t x, int32_t y, int32_t w, int32_t h);
                                    // null, or told the box of each text drawn into tile t (tests)

static char *const HELPFAILED = (char *)(intptr_t)-1;  // helpbuf of a text that could not be loaded
enum { HELPLINEMAX = 1020 };        // columns of one help line at most
extern char *helpbuf[2];            // 0 key summary, 1 velto.txt; null until first drawn
extern int32_t helpleng[2];         // bytes in helpbuf
extern char helpdir[PATHMAX];       // folder of velto.txt (setinipath); empty: found from the program's

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

// === decoded pictures ===
extern tiletype winminmaxx;         // title-bar buttons of a normal window, 50x14
extern tiletype winminnorx;         // the same for a maximised or minimised window
extern tiletype veltohlp;           // element help picture, 84x480
void decodepictures(void);          // fonts and pictures from the embedded PNGs; f 0 where it failed
void freepictures(void);
