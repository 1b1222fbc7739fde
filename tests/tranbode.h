// tranbode.h: circuit builders and a plot record for the transient, Bode and
// veltocli tests. Circuits are built straight into the circuit arrays.
#pragma once
#include <stdlib.h>
#include <string.h>
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "expr/expr.h"
#include "ui/ui.h"

enum { OWNWIRE = 0x7FFFFFFF };  // tbwire: the wire controls nothing / has no controlling wire

inline void tbclear(void) {
    numnodes = 0;
    numwires = 0;
    ibodewire = -1;
    ibodeflip = 0;
}

inline int tbnode(int grounded) {
    checknumnodes(numnodes + 1);
    node[numnodes].x = 32 * numnodes + 16;
    node[numnodes].y = 16;
    node[numnodes].isgrounded = (int8_t)grounded;
    node[numnodes].selected = 0;
    return numnodes++;
}

// a wire with a canonical value text; dep is the depwire (~d flips), init the forced value
inline int tbwire(int n1, int n2, char letter, const char *val, int dep = OWNWIRE, const char *init = "") {
    checknumwires(numwires + 1);
    const int i = numwires++;
    wire[i].node1 = n1;
    wire[i].node2 = n2;
    wire[i].element = letter;
    wire[i].depwire = dep == OWNWIRE ? i : dep;
    wiresetnumst(i, val);
    wiresetinitst(i, init);
    globalx = 0;
    globalbad = 0;
    wire[i].value = solvefunc(val);
    return i;
}

// a fresh plot record made current: transient on (plotwire, plotsense) with a reset request
struct tbplot {
    plottype rec;
    tbplot(int kind, int plotwire, int plotsense) {
        memset(&rec, 0, sizeof rec);
        rec.kind = kind;
        rec.inwire = kind == PLOT_TRANS ? -1 : 0;
        rec.plotwire = plotwire;
        rec.plotsense = plotsense;
        rec.phaseoffs = -1;
        gplot = &rec;
    }
    ~tbplot() {
        if (gplot == &rec) gplot = nullptr;
        free(rec.colmin);
        free(rec.colmax);
        free(rec.savestate);
    }
    tbplot(const tbplot &) = delete;
    tbplot &operator=(const tbplot &) = delete;
};
