// testcircuit.h: circuits written straight into the circuit arrays, for the
// tests and the benchmarks: nodes, wires with value texts, a whole circuit
// from text, source-driven ladders, resistor grids, the soundness check, a
// plot's computing record, and files (read, listed, in a folder of the run's
// own, written under a size cap). Header only; needs the analysis, circuit
// and expression libraries.
#pragma once
#include <glob.h>
#include <stdio.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <array>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "expr/expr.h"

enum { OWNWIRE = 0x7FFFFFFF };  // dep of tcwire: the wire's own index (controls nothing, none chosen)

// === circuits ===
static inline void tcclear(void) {
    numnodes = numwires = 0;
    ibodewire = -1;
    ibodeflip = 0;
}

static inline int tcnode(int grounded) {
    checknumnodes(numnodes + 1);
    node[numnodes] = nodetype{32 * numnodes + 16, 16, (int8_t)grounded, 0};
    return numnodes++;
}

// a wire with the canonical value text val and its value at t = 0; dep is
// the depwire (~d flips), init the forced initial value
static inline int tcwire(int n1, int n2, char letter, const char *val, int dep = OWNWIRE, const char *init = "") {
    checknumwires(numwires + 1);
    const int i = numwires++;
    wire[i].node1 = n1, wire[i].node2 = n2, wire[i].element = letter;
    wire[i].depwire = dep == OWNWIRE ? i : dep;
    wiresetnumst(i, val), wiresetinitst(i, init);
    wire[i].value = valueat0(val), capindval[i] = 0;
    return i;
}

// A circuit from text: the nodes, one character each ('g' grounded), then a
// word per wire: letter, first and second node (0-9, a-z), ':' and the value
// text, then optionally '@' and the depwire ('~' flips) and '=' and the forced
// initial value. "g.. V01:10 R12:1000 C20:1E-6=0 E02:3@~1"; values hold no '@' or '='.
static inline int tcindex(char c) { return c <= '9' ? c - '0' : c - 'a' + 10; }

static inline void tcbuild(const char *text) {
    tcclear();
    const char *p = text;
    for (; *p && *p != ' '; p++) tcnode(*p == 'g');
    while (*p == ' ') {
        const char letter = p[1];
        const int n1 = tcindex(p[2]), n2 = tcindex(p[3]);
        std::string val, init;
        int dep = OWNWIRE;
        for (p += 5; *p && *p != ' ' && *p != '@' && *p != '='; p++) val += *p;
        if (*p == '@') dep = p[1] == '~' ? ~atoi(p + 2) : atoi(p + 1);
        while (*p && *p != ' ' && *p != '=') p++;
        if (*p == '=')
            for (p++; *p && *p != ' '; p++) init += *p;
        tcwire(n1, n2, letter, val.c_str(), dep, init.c_str());
    }
}

// source src (the Bode input) from ground into sections of a series and a
// shunt element; returns the last shunt wire
static inline int tcladder(int sections, const char *src, char series, const char *sv, char shunt, const char *hv) {
    tcclear();
    const int g = tcnode(1);
    int p = tcnode(0), last = -1;
    ibodewire = tcwire(g, p, 'V', src);
    for (int k = 0; k < sections; k++) {
        const int q = tcnode(0);
        tcwire(p, q, series, sv);
        last = tcwire(q, g, shunt, hv);
        p = q;
    }
    return last;
}

// side x side nodes, resistors to the right and down, a 1 V source across two corners
static inline void tcgrid(int side) {
    tcclear();
    const int g = tcnode(1), top = tcnode(0);
    tcwire(g, top, 'V', "1");
    for (int k = 0; k < side * side; k++) tcnode(0);
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++) {
            const int k = 2 + y * side + x;
            if (x + 1 < side) tcwire(k, k + 1, 'R', "100");
            if (y + 1 < side) tcwire(k, k + side, 'R', "220");
        }
    tcwire(top, 2, 'R', "1");
    tcwire(1 + side * side, g, 'R', "1");
}

// side x side RC mesh: 1 kOhm between neighbours, 1 uF from every node to
// ground, a pulse source into the corner node; returns the source wire
static inline int tcmesh(int side) {
    tcclear();
    const int g = tcnode(1);
    for (int k = 0; k < side * side; k++) tcnode(0);
    const int src = tcwire(g, 1, 'V', "PULSE(0;1;0;1E-6;1E-6;1E-3;2E-3)");
    for (int y = 0; y < side; y++)
        for (int x = 0; x < side; x++) {
            const int k = 1 + y * side + x;
            if (x + 1 < side) tcwire(k, k + 1, 'R', "1000");
            if (y + 1 < side) tcwire(k, k + side, 'R', "1000");
            tcwire(k, g, 'C', "1E-6");
        }
    return src;
}

// 1 when every index names a real item and every text exists
static inline int circuitsound(void) {
    for (int i = 0; i < numwires; i++) {
        const wiretype &w = wire[i];
        const int d = w.depwire < 0 ? ~w.depwire : w.depwire;
        if (w.node1 < 0 || w.node1 >= numnodes || w.node2 < 0 || w.node2 >= numnodes) return 0;
        if (d >= numwires || !w.numst || !w.initst) return 0;
    }
    return ibodewire >= -1 && ibodewire < numwires;
}

// === test fixture ===
#ifdef TEST_F
// tests that turn solvereuse off: it is on again after the test, failed or not
struct Reuse : ::testing::Test {
    void TearDown() override { solvereuse = 1; }
};
#endif

// === plot record ===
// a fresh computing record of a window: a transient one starts from t = 0, a
// Bode one shows 10^-3 .. 10^7 rad/s; its buffers are freed with it
struct tcplot {
    plotcalc rec;
    tcplot(int plotwire, int plotsense, double xscale = 1e-4) {
        memset(&rec, 0, sizeof rec);
        rec.plotwire = plotwire;
        rec.plotsense = plotsense;
        rec.xscale = xscale;
        rec.lfreqlo = -3;
        rec.lfreqhi = 7;
        transrestart(&rec);
    }
    ~tcplot() {
        free(rec.colmin);
        free(rec.colmax);
        free(rec.savestate);
        for (plottrace &e : rec.extra) free(e.colmin), free(e.colmax);
    }
};

// === files ===
// a file's bytes, "" when it cannot be read
static inline std::string tcread(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// the paths matching pattern, sorted
static inline std::vector<std::string> tcglob(const std::string &pattern) {
    std::vector<std::string> v;
    glob_t g;
    if (glob(pattern.c_str(), 0, nullptr, &g) == 0) v.assign(g.gl_pathv, g.gl_pathv + g.gl_pathc);
    globfree(&g);
    return v;
}

// the rows of three numbers after the header line of a CSV text
static inline std::vector<std::array<double, 3>> tccsv(const std::string &text, std::string *header = nullptr) {
    std::vector<std::array<double, 3>> rows;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    if (header) *header = line;
    std::array<double, 3> r;
    while (std::getline(in, line) && sscanf(line.c_str(), "%lf,%lf,%lf", &r[0], &r[1], &r[2]) == 3) rows.push_back(r);
    return rows;
}

// name in a folder of this program's own under /tmp, removed at exit
static inline std::string tctmp(const std::string &name) {
    static std::string dir;
    if (dir.empty()) {
        char t[] = "/tmp/velto-test-XXXXXX";
        dir = mkdtemp(t);
        atexit([] { if (system(("rm -rf " + dir).c_str())) {} });
    }
    return dir + "/" + name;
}

// what fn returns while files may grow to at most bytes (SIGXFSZ ignored:
// the write fails instead)
template <class F> static inline int tccapped(rlim_t bytes, F fn) {
    rlimit was, small;
    getrlimit(RLIMIT_FSIZE, &was);
    small = {bytes, was.rlim_max};  // the soft limit only, so it can be lifted again
    signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const int r = fn();
    setrlimit(RLIMIT_FSIZE, &was);
    return r;
}
