// circuit.h: the circuit model (nodes, wires, element letters, work requests),
// its editing primitives, and the .VSM circuit file.
// Nodes and wires are known only by index; every deletion moves the last item
// into the hole, and the primitive tells the renumbering listener. While a wire
// is being drawn it lives in slot numwires and its loose end in node slot
// numnodes, one past the counted ends. The model knows no view and no window.
#pragma once
#include <stdint.h>
#include <stddef.h>
#include <stdio.h>

// === records ===
struct nodetype {
    int32_t x, y;           // world position (1 unit = 1 pixel at zoom 1), y grows down
    int8_t isgrounded;      // 1: tied to 0 V
    int8_t selected;        // 1: inside the rectangle selection
};

struct wiretype {
    double value;           // numst evaluated at t = 0
    int32_t node1, node2;   // node indices; node2 is a voltage source's + terminal
    int32_t element;        // element letter: R L C V I E F G H S X T
    int32_t depwire;        // d >= 0: wire d; ~d: wire d flipped; own index: none
    char *numst;            // value text, canonical form (owned)
    char *initst;           // forced initial condition of C and L, "" = none (owned)
};

enum { CIRCUIT_FIRSTSLOTS = 512 };  // first capacity of node and wire arrays

// === arrays (grown together, never shrunk) ===
extern nodetype *node;       // [numnodesmax]
extern int32_t numnodes, numnodesmax;
extern double *dispv;        // [numnodesmax] displayed node voltage (main loop writes)
extern wiretype *wire;       // [numwiresmax]; every slot holds two valid strings
extern int32_t numwires, numwiresmax;
extern double *dispi;        // [numwiresmax] displayed wire current
extern int32_t *wirenext;    // [numwiresmax] side offset among parallel wires, 12 px steps
extern int32_t *yh;          // [numnodesmax + numwiresmax + 1] equation row heads
extern int32_t *pivorder;    // [numnodesmax + numwiresmax] solver scratch
extern double *capindval;    // [numwiresmax] capacitor voltage / inductor current state
extern double *ocapindval;   // [numwiresmax] saved copy of capindval

// === circuit-wide state ===
extern int32_t ibodewire;    // Bode input wire, -1 none
extern int32_t ibodeflip;    // 1: Bode input polarity flipped
extern int32_t recalc;       // work requests: bit 0 re-solve, bit 1 geometry changed

// === element rules: the equations and every export read a wire alike ===
static inline int32_t iscontrolled(int32_t letter)  // E F G H: a gain on another wire
{
    return letter == 'E' || letter == 'F' || letter == 'G' || letter == 'H';
}

static inline int32_t nodeexists(int32_t n) { return (uint32_t)n < (uint32_t)numnodes; }

// the wire whose voltage or current controls controlled source m, or -1 when
// none is chosen yet (depwire names m itself) or it names no wire with nodes
static inline int32_t controlwire(int32_t m)
{
    int32_t d = wire[m].depwire < 0 ? ~wire[m].depwire : wire[m].depwire;
    if (d == m || d >= numwires) return -1;
    return nodeexists(wire[d].node1) && nodeexists(wire[d].node2) ? d : -1;
}

// a switch with value v is open when exactly one of v <= 0 and depwire < 0
// holds (a NaN value counts as positive), closed otherwise
static inline int32_t switchclosed(int32_t depwire, double v) { return (v <= 0) == (depwire < 0); }

// D (a junction diode, anode node1) and N (a current f(V, T) from node1 to
// node2, V = V(node1) - V(node2)): elements whose current is not linear in
// their voltage; the analysis solves circuits with them by Newton iteration
static inline int32_t isnonlinear(int32_t letter) { return letter == 'D' || letter == 'N'; }

// A diode's value text: "IS;N;BV;RS;CJ0", any field left empty or out taking
// its default (1E-14 A, 1, 0 = no breakdown, 0 Ohm, 0 F), or a preset name:
// "LED", "SI", "Z5V1" (diodetext.cpp).
enum { DIODEFIELDS = 5 };
struct diodemodel {
    double is, n;        // saturation current (A), emission coefficient
    double bv;           // reverse breakdown voltage (V, 1 mA there), 0 none
    double rs, cj0;      // series resistance (Ohm), junction capacitance (F)
};
const char *diodeparse(const char *text, diodemodel *m);  // 0: m read; else the sentence that
                                                          // says what is wrong (m the defaults)
int32_t elementfixup(int32_t letter, char *text);  // canonical form of a value text of that letter in
                                                   // place: a diode's upper case without blanks, any
                                                   // other as fixupfunc; 0 fixupfunc refused it
const char *elementdefault(int32_t letter);  // the text an empty value takes: "0" for a switch
                                             // (open), "1E-14" for a diode, "V/1000" for an N
                                             // element (a 1 kOhm resistor), "1" for the rest

// the element's name: its letter and its place among the wires of that letter,
// counted from 1 in wire order ("R1", "C2", "V1"); snprintf's count
int32_t elementname(int32_t w, char *buf, int32_t n);

// === memory ===
// Working memory the program cannot go on without (the arrays, texts, the
// equation store, plot buffers) grows through growmem: on exhaustion it says
// so on stderr and ends the program, rather than go on with a lost pointer.
// Sizes that come from outside (a file, a picture) are checked before asking.
void *growmem(void *p, size_t bytes);          // realloc(p, bytes), never null
[[noreturn]] void outofmemory(size_t bytes);   // says so on stderr and ends the program
char *copytext(const char *s);                 // growmem'd copy of s ("" for null)

// === growth and texts ===
void checknumnodes(int32_t n);                 // ensure node slot n exists
void checknumwires(int32_t n);                 // ensure wire slot n exists
void wiresetnumst(int32_t i, const char *s);   // copy s into wire i's numst (null frees)
void wiresetinitst(int32_t i, const char *s);  // copy s into wire i's initst (null frees)

// === renumbering notices ===
// A primitive that removes or moves an item tells the listener (the editor
// and the plot windows follow it); with no listener the model works alone.
enum { RENUMNODE, RENUMWIRE };
typedef void (*renumfunc)(int32_t kind, int32_t from, int32_t to);  // to -1: item from is gone;
extern renumfunc renumlistener;                                      // else what was from is to

// === editing primitives ===
int32_t nodeat(int32_t x, int32_t y);          // the highest-index node at exactly (x, y), or -1
int32_t putnode(int32_t x, int32_t y, int32_t grounded, double v);  // merge or append; its index
int32_t appendnode(int32_t x, int32_t y);      // a new node, flags and voltage 0; its index
void deletenode(int32_t k);                    // no wire may use k: the last node moves into k
void deletewire(int32_t k);                    // and its dangling nodes; the last wire moves into k
void mergenode(int32_t a, int32_t b);          // a's wire ends and flags go to b, a is deleted
// Splits wire w at node n: w keeps node1..n and a new wire (the index
// returned) takes n..node2. The half on side (-1 the node1 half, 0 the node2
// half) becomes a plain connection T; the element keeps the other half, and
// controls, the Bode input and the listener follow it there.
int32_t splitwire(int32_t w, int32_t n, int32_t side);

// === files ===
// writes path through a temporary file beside it that is synced and renamed
// over it: 1 done; 0 failed and path is as it was (a path that names no
// regular file is refused). write returns 1 when all of its output went out.
int32_t replacefile(const char *path, int32_t (*write)(FILE *f, void *ctx), void *ctx);
const char *replacefilewhy(int e);  // why replacefile failed, from its errno

// === circuit file (.VSM) ===
enum { PATHMAX = 4096 };
#define XSCMIN 1.4901161193847656e-8  // 2^-26 s/pixel: the finest transient time scale
#define XSCMAX 1048576.0             // 2^20 s/pixel: the coarsest
extern char curfilename[PATHMAX];   // last file loaded or saved, "" at start
extern double transdefxsc;          // suggested transient time scale, XSCMIN..XSCMAX; start 2^-6
extern int32_t vsmrepairs;          // items repaired or dropped by the last loadvsm, 0 if sound
int32_t loadvsm(const char *path);  // 1 read (see vsmrepairs); 0 unreadable or no circuit file:
                                    // nothing changed (vsmerror says why)
int32_t savevsm(const char *path);  // 1 written; 0 failed: the previous file is untouched
char *vsmtext(size_t *len);         // the text savevsm would write now, without the sections of
                                    // other rooms (the model is not changed; free it)
int32_t vsmread(const char *text, size_t len);  // the circuit from a file's text, as loadvsm reads
                                    // it (vsmrepairs, recalc); 0: not a circuit text, nothing changed
int32_t vsmrestore(const char *text, size_t len);  // vsmread of the program's own vsmtext: every
                                    // value text taken exactly as it stands (undo and redo)
char *vsmselectiontext(size_t *len);  // the selected nodes and the wires between them as a file's
                                    // text: controls outside it dropped, no Bode input (free it)
int32_t vsmpaste(const char *text, size_t len);  // a circuit text added to the circuit, repaired as
                                    // a file would be, exactly its nodes selected; the first new
                                    // node's index, or -1 when it is no circuit text (no change); a
                                    // value text the normaliser refuses is kept as typed
// A saved file may end with lines another room keeps there (the plot windows:
// "//Plot,..."): lines no key starts, which every reader of the format skips.
// The circuit does not read them; it hands them on.
extern void (*vsmsectionwrite)(FILE *f);  // savevsm: writes the lines, each ended by CR LF
extern void (*vsmsectionread)(const char *line, int32_t n);  // loadvsm: called with (0, 0) as the
                                    // read begins, then with each line that starts with "//" after
                                    // the header (its n characters, no line end)
const char *vsmerror(void);         // why the last failed loadvsm or savevsm failed:
                                    // "cannot read 'x.vsm': No such file or directory"
const char *vsmrepairmsg(void);     // "circuit file repaired: N items fixed", or "" when sound
