// bench_analysis.cpp: the cost of the transient and Bode computations on a
// 50-section RC ladder (PULSE source, R 1k in series, C 1u to ground): one
// transient sub-step (two builds, two solves), one Bode column, and a full
// 800-column Bode sweep through the window's column cache; reuse:0 turns
// off every reuse of earlier builds and solves (solvereuse), for comparison.
#include <benchmark/benchmark.h>
#include <string.h>
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "expr/expr.h"
#include "ui/ui.h"

enum { SECTIONS = 50 };

static int addnode(int grounded) {
    checknumnodes(numnodes + 1);
    node[numnodes].x = 32 * numnodes + 16;
    node[numnodes].y = 16;
    node[numnodes].isgrounded = (int8_t)grounded;
    node[numnodes].selected = 0;
    return numnodes++;
}

static int addwire(int n1, int n2, char letter, const char *val) {
    checknumwires(numwires + 1);
    const int i = numwires++;
    wire[i].node1 = n1;
    wire[i].node2 = n2;
    wire[i].element = letter;
    wire[i].depwire = i;
    wiresetnumst(i, val);
    wiresetinitst(i, "");
    globalx = 0;
    globalbad = 0;
    wire[i].value = solvefunc(val);
    return i;
}

// the ladder; returns the last capacitor's wire (the probe)
static int ladder(void) {
    numnodes = numwires = 0;
    const int g = addnode(1);
    int prev = addnode(0), cap = -1;
    ibodewire = addwire(g, prev, 'V', "PULSE(0;1;0.001;0.0001;0.0001;0.004;0.01)");
    for (int k = 0; k < SECTIONS; k++) {
        const int n = addnode(0);
        addwire(prev, n, 'R', "1000");
        cap = addwire(n, g, 'C', "1E-6");
        prev = n;
    }
    return cap;
}

// reuse:1 as a window computes; reuse:0 every build and solve from scratch
static void BM_TransientSubstep(benchmark::State &st) {
    ladder();
    gplot = nullptr;
    transcollect();
    for (int k = 0; k < numcl; k++) capindval[cllist[k]] = 0;
    const double hs = 1.0 / 65536 / 64;
    double tau = hs / 2;
    solvereuse = (int32_t)st.range(0);
    buildhold(1);  // as the column loop holds the circuit
    for (auto _ : st) {
        benchmark::DoNotOptimize(transsubstep(tau, hs * 0.0001));
        tau += hs;
    }
    buildhold(0);
    solvereuse = 1;
}
BENCHMARK(BM_TransientSubstep)->ArgName("reuse")->Arg(1)->Arg(0);

static void BM_BodeColumn(benchmark::State &st) {
    const int cap = ladder();
    bodepoint bp;
    double w = 1;
    for (auto _ : st) {
        benchmark::DoNotOptimize(bodesolve(w, ibodewire, cap, 1, &bp));
        w = w < 1e7 ? w * 1.01 : 1e-3;
    }
}
BENCHMARK(BM_BodeColumn);

static void BM_BodeSweep800(benchmark::State &st) {
    const int cap = ladder();
    solvereuse = (int32_t)st.range(0);
    static plottype rec;
    memset(&rec, 0, sizeof rec);
    rec.kind = PLOT_BODE;
    rec.inwire = ibodewire;
    rec.plotwire = cap;
    rec.plotsense = 1;
    rec.phaseoffs = -1;
    gplot = &rec;
    const int xdim = 800 + BODEMARGIN;
    for (auto _ : st) {
        rec.phaseoffs = -1;  // reset: every column is computed again
        bodeprepare(xdim, 400);
        benchmark::DoNotOptimize(bodecolumns(xdim));
    }
    st.SetItemsProcessed(st.iterations() * 800);
    solvereuse = 1;
}
BENCHMARK(BM_BodeSweep800)->ArgName("reuse")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
