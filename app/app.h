// app.h: the program: start-up, the main loop's pass and shutdown, the
// in-window menu, the program-wide keys and the screen capture. veltomain is
// all of it; tests run the same start-up, passes and shutdown one at a time
// on the headless frame. Sits on the editor and every room under it.
#pragma once
#include <stdint.h>
#include "circuit/circuit.h"    // PATHMAX

// === the program ===
extern const char *veltoinioverride;  // tests: the settings file to use instead of the usual one

int veltomain(int argc, char **argv);   // the whole run; the process's exit code
int32_t veltostart(int argc, char **argv, int32_t *exitcode);
                                        // start-up: 1 running; 0 not (--help, a bad option, no
                                        // window: said so), *exitcode the process's code
int32_t mainpass(void);                 // one pass of the main loop; 0 when the program ends
void veltostop(void);                   // shutdown: frame closed, settings saved if changed
void veltokeep(void);                   // the settings saved if they changed (a page may close unasked)

// === command line ===
// Arguments that begin with "--" are options (--scale N, --help, --version);
// "/" followed by a digit sets the client size (/640x480, at most 800 x 600);
// any other argument names the circuit file, the last one wins.
struct veltoargs {
    const char *file;      // the circuit to open, or null
    int32_t scale;         // --scale: 1..4, or -1 when not given
    int32_t exitcode;      // -1 run the program; else leave at once with this code (--help: 0)
};
veltoargs parseargs(int argc, char **argv);  // also sets xres and yres; --help and errors print

// === in-window menu ===
enum { MENUCOUNT = 66 };       // entries; the last, a level-0 separator, ends the table
enum { MENUTEXTMAX = 40 };     // bytes of an entry's text, its zero included
struct menutype {
    char text[MENUTEXTMAX];    // level spaces, mark (* ticked, + not), _ before the accelerator
                               // ("__" a plain "_"), \t before the shortcut hint; "-" a separator
    void (*func)(int32_t);     // handler, or null (in a pull-down with no submenu: greyed)
    int32_t arg;               // passed to func
};
extern menutype menu[MENUCOUNT];
extern int32_t menusel;        // highlighted entry, -1 closed

void menuopen(void);           // the menu opened at the bar's first entry, the recent files
                               // brought up to date first
void menurecent(void);         // Recent files' rows from vopts.recent, files gone dropped; an
                               // empty list shows a greyed "(none)"
int32_t menufind(const char *label);  // the entry whose name is label ("Show Grid", "1x", "0:
                               // 4x6": no level, mark, _ or hint; "__" is one "_"), or -1
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
void menuengunits(int32_t arg);
void menuusewingui(int32_t arg);
void menuautoyscale(int32_t arg);
void menushowcirchelp(int32_t arg);
void menusetoversamp(int32_t v);     // radio handlers
void menusetfontsiz(int32_t k);      // (glyph width << 16) + glyph height
void menusetcpuusage(int32_t v);
void menushowhelp(int32_t k);        // toggles help window 0 key summary, 1 full help
void menuabout(int32_t arg);
void menuquit(int32_t arg);

// === screen capture ===
extern char capitnowfilnam[PATHMAX];  // capture to write in the next drawing pass, "" none
extern int32_t domenusavebmp;       // 1: run the capture dialog at the end of this pass
extern int32_t capcount;            // next number tried for a free default name
void menusavebmp(int32_t arg);      // the dialog: a chosen name becomes capitnowfilnam
void capturewrite(void);            // writes capitnowfilnam from gdd (a 4-bit BMP), empties it

// === program-wide keys (installed as keyfilter) ===
int32_t programkey(int32_t k); // Escape, the menu's Option keys, file commands, help, capture:
                               // as keyfilter answers
int32_t menuowns(void);        // 1 while the menu is open (installed as keysowned)
