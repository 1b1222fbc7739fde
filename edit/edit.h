// edit.h: the editor: the schematic it draws, the hover, drawing and
// dragging state, the keys and mouse of a pass, the selection and the
// clipboard, undo and redo, the value text entry and the circuit file
// commands. Sits on the plot windows (it opens them and tells them of
// renumbering), the drawing room, the settings and the model; the program's
// main loop calls in here.
#pragma once
#include <stdint.h>
#include "circuit/circuit.h"
#include "plots/plots.h"

// === circuit files ===
extern int32_t circuitdirty;   // 1 while the circuit differs from the file it was loaded from or
                               // saved to (checkdirty refreshes it after every change)
void menunewvsm(int32_t arg);  // the File menu; each asks before unsaved changes are lost
void menuloadvsm(int32_t arg);
void menusavevsm(int32_t arg);
void menusaveasvsm(int32_t arg);
void menuopenrecent(int32_t k);  // opens vopts.recent[k] as Open does (the unsaved question first)
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
void titleforget(void);        // a new window has no title: the next check sets it
void checkdirtytext(const char *now, size_t n);  // the same, given the circuit's text now
int32_t asksave(void);         // unsaved changes: "Save changes to NAME?"; 1 go on (saved, or not
                               // wanted), 0 the user cancelled or the save failed
void releasectrl(void);        // both Control keys up: their release is not seen under a dialog

// === the recovery copy (recovery-HOST-PID.vsm beside velto.ini, one per run) ===
enum { RECOVERYSECONDS = 30 }; // program clock between writes while something is unsaved
void recoverytick(double now); // each pass, now the program clock: unsaved for RECOVERYSECONDS,
                               // the circuit is written; nothing unsaved, this run's copy goes
void recoverynow(void);        // the circuit written at once (before asking about unsaved changes)
void recoverydrop(void);       // this run's copy, and the one it restored, removed (a save, a clean exit)
void recoveryoffer(void);      // start-up: each copy of a program gone asks, newest first, to be
                               // restored; yes: the circuit from it, unsaved, named as it was,
                               // and no more asked; no: that copy is removed

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
enum { SCHEMLABELMAX = 256 };  // texts of one pass kept for a look afterwards
enum { LABELVALUE, LABELINITIAL, LABELCURRENT, LABELNODE };  // what a text shows
struct schemlabel {
    int32_t x0, y0, x1, y1;    // its box on the screen, x1 and y1 past the last pixel
    int32_t kind;              // LABEL..
    char text[32];             // the text, cut to 31 bytes
};
extern schemlabel schemlabels[SCHEMLABELMAX];  // the value, initial-condition, current and
extern int32_t numschemlabels;                  // node texts the last dcrender drew, in order
enum { STATUSMAX = 160 };
extern char statustext[STATUSMAX];  // the status line the last dcrender drew: the element or node
                               // under the mouse with its solved values; "" none (engineering
                               // units off, nothing under the mouse)
const char *elementunit(int32_t letter);  // unit of an R L C V I value in the schematic's font
                               // ("\xEA" ohm, "F", ..), null for the others
int32_t unitstr(char *out, int32_t n, double v, const char *unit);  // engstr in the schematic's
                               // font: "3.84 V", "-816 \xE6A"
const char *valueshown(int32_t i, char *buf, int32_t n);  // wire i's value text as drawn: with
                               // engineering units on and a constant text, its value in buf

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
// The drawing and the hit tests share these distances, so what is seen is what is hit.
enum { WIREBOW = 12 };         // wires between the same two nodes fan out this many pixels apart
enum { HITDIST = 24 };         // a node, wire or element symbol is hit within this many pixels
int32_t findnode(int32_t sx, int32_t sy);  // lowest node within 24 px, or -1
int32_t findwire(int32_t sx, int32_t sy);  // nearest wire within 24 px, or -1
void findhover(void);          // mousexquant, mouseyquant, curn, curw, curside and
                               // closetoelement for the mouse where it is now
void wiremidpoint(int32_t w, double *mx, double *my);  // screen point of w's element symbol
int32_t insertnode(void);      // split wire curw at the mouse: 1 done, 0 not
void startwire(int32_t a, int32_t letter);  // draw a new wire from node a; its loose end at the mouse
int32_t stampwire(int32_t end);  // the wire being drawn ends at node end and is counted: its index
int32_t endrawiremode(void);   // stamp the wire being drawn at the mouse: its index, or -1
void defaultnumst(int32_t w);  // an empty value text becomes elementdefault's, and value
void editorreset(void);        // a new or loaded circuit: view at zoom 1, nothing in progress,
                               // every window closed, recalc = 3
void editorreload(void);       // the circuit read again from its own file: nothing in progress,
                               // the view and the windows kept (one naming nothing closes)

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
