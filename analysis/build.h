// build.h: private to the equation builder (equations.cpp, buildcache.cpp),
// included by nothing outside analysis/: a wire's branch row as (column,
// coefficient, formula) pairs, the calls that append rows to el, the value
// cache's answers, and the build cache's calls from initmat.
// Depends on analysis.h and circuit.h (wiretype, switchclosed).
#pragma once
#include <stdint.h>
#include <string.h>
#include "analysis/analysis.h"
#include "circuit/circuit.h"

// === branch rows (equations.cpp) ===
// One branch row as up to four (column, coefficient) pairs, kept in a local
// record (no shared scratch array is needed). Each pair also names the
// formula of its coefficient, so that a build from the template
// (buildcache.cpp) can recompute just the coefficients that can change.
enum { F_CONST, F_V, F_NV, F_H, F_NH, F_VCAP, F_NVCAP, F_G, F_NG, F_IWV, F_INWV, F_NLY, F_NLNY, F_NLI };

struct branchrow {
    int32_t np;          // pairs in use
    int32_t col[4];      // unknown index, or W + N for the right-hand side
    double re[4], im[4];
    int32_t code[4];     // F_...: how re and im follow from v, g, h, w, capindval
};

static inline int32_t samebits(double a, double b) { return !memcmp(&a, &b, sizeof a); }

// the letter whose equations wire m gets: a switch becomes X (open) or T
// (closed), a letter outside the table X
static inline int32_t letterof(const wiretype &wr, double v) {
    switch (wr.element) {
    case 'R': case 'L': case 'C': case 'V': case 'I': case 'E': case 'F': case 'G': case 'H': case 'T':
        return wr.element;
    case 'D': case 'N': return wr.element;
    case 'S': return switchclosed(wr.depwire, v) ? 'T' : 'X';
    default: return 'X';  // X, and any unknown letter: carries no current
    }
}

void branchpairs(branchrow &b, int32_t m, int32_t letter, double v, double w, double h);  // wire m's row
void appendrow(const branchrow &b, int32_t m, int32_t *slot);  // b as row m; slot[k]: where pair k went
void pushkcl(int32_t m, int32_t r, double sign);               // sign * I(m) at the head of node row r

// === nonlinear stamps (nonlinear.cpp) ===
// A D or N wire m's row I(m) - y V(a) + y V(b) = ieq, y = nlgre + j nlgim:
// pairs F_NLY (y), F_NLNY (-y) and F_NLI (ieq); set before each build.
extern double *nlgre, *nlgim, *nlieq;   // [numwires at least]
extern double buildsrcscale;            // V and I source values are taken times this (1: as they are)

// === value cache (equations.cpp) ===
extern int32_t holding;      // 1 between buildhold(1) and buildhold(0) (set in buildcache.cpp)
extern int32_t holdepoch;    // counts holds, so a cache entry knows the current one
double wireeval(int32_t m);  // value of wire m's text at globalx (not 0); leaves globalbad
int32_t wiredep(int32_t m);  // 1: wire m's text, as last evaluated, may change with t
int32_t wirebad(int32_t m);  // globalbad as wire m's last evaluation left it

// === build cache (buildcache.cpp), called by initmat in this order ===
int32_t buildchained(void);   // 1: the build before came from the template in this hold; forgets it
int32_t buildheld(double w, double h, int32_t chained);  // 1: built as a held build (after a
                                                         //   complete one at this kind of time)
double *buildvals(int32_t nw, int32_t nn);  // [nw] the wire values initmat takes for this build
void buildcached(double w, double h, int32_t chained);   // el from the template or in full
