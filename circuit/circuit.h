// circuit.h: the circuit model (nodes, wires, element letters, work requests),
// its editing primitives, and the .VSM circuit file.
// Nodes and wires are known only by index; every deletion moves the last item
// into the hole. While a wire is being drawn it lives in slot numwires and its
// loose end in node slot numnodes, one past the counted ends.
#pragma once
#include <stdint.h>

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

// === growth and texts ===
void checknumnodes(int32_t n);                 // ensure node slot n exists
void checknumwires(int32_t n);                 // ensure wire slot n exists
void wiresetnumst(int32_t i, const char *s);   // copy s into wire i's numst (null frees)
void wiresetinitst(int32_t i, const char *s);  // copy s into wire i's initst (null frees)

// === hit tests (screen coordinates) ===
int32_t findnode(int32_t sx, int32_t sy);      // lowest node within 24 px, or -1
int32_t findwire(int32_t sx, int32_t sy);      // nearest wire within 24 px, or -1

// === editing primitives ===
int32_t putnode(int32_t x, int32_t y, int32_t grounded, double v);  // merge or append
void deletenode(int32_t k);
void deletewire(int32_t k);
int32_t insertnode(void);      // split wire curw at the mouse: 1 done, 0 not
int32_t endrawiremode(void);   // stamp the wire being drawn: its index, or -1

// === circuit file (.VSM) ===
enum { PATHMAX = 4096 };
extern char curfilename[PATHMAX];   // last file loaded or saved, "" at start
extern double transdefxsc;          // suggested transient time scale, s/pixel; start 2^-6
extern int32_t vsmrepairs;          // items repaired or dropped by the last loadvsm, 0 if sound
int32_t loadvsm(const char *path);  // 1 read (see vsmrepairs), 0 cannot open: nothing changed
int32_t savevsm(const char *path);  // 1 written, 0 failed: the previous file is untouched
const char *vsmrepairmsg(void);     // "circuit file repaired: N items fixed", or "" when sound
