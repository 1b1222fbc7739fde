// bench_analysis.cpp: the cost of the transient and Bode computations on a
// 50-section RC ladder (PULSE source, R 1k in series, C 1u to ground): one
// transient sub-step (two builds, two solves), one Bode column, and a full
// 800-column Bode sweep through the window's column cache; reuse:0 turns
// off every reuse of earlier builds and solves (solvereuse), for comparison.
#include <benchmark/benchmark.h>
#include "tests/testcircuit.h"

enum { SECTIONS = 50 };

// the ladder; returns the last capacitor's wire (the probe)
static int ladder(void) {
    return tcladder(SECTIONS, "PULSE(0;1;0.001;0.0001;0.0001;0.004;0.01)", 'R', "1000", 'C', "1E-6");
}

// reuse:1 as a window computes; reuse:0 every build and solve from scratch
static void BM_TransientSubstep(benchmark::State &st) {
    ladder();
    transcollect(nullptr);
    for (int k = 0; k < numcl; k++) capindval[cllist[k]] = 0;
    const double hs = 1.0 / 65536 / 64;
    double tau = hs / 2;
    solvereuse = (int32_t)st.range(0);
    buildhold(1);  // as the column loop holds the circuit
    for (auto _ : st) {
        benchmark::DoNotOptimize(transsubstep(tau, hs * TRANSPROBE));
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
    tcplot p(cap, 1);
    p.rec.inwire = ibodewire;
    const int xdim = 800 + BODEMARGIN;
    for (auto _ : st) {
        bodeclear(&p.rec);  // reset: every column is computed again
        benchmark::DoNotOptimize(bodecolumns(&p.rec, xdim, nullptr, 0));
    }
    st.SetItemsProcessed(st.iterations() * 800);
    solvereuse = 1;
}
BENCHMARK(BM_BodeSweep800)->ArgName("reuse")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);
