// bench_solver.cpp: equation build plus sparse solve on resistor ladders and
// square resistor grids (DC), one transient sub-step (two builds and two
// solves at t != 0 with the time-step forms) and one point of a frequency
// sweep of an RC ladder; the program's DC re-solve with its check.
// Circuits come from the tests' builders (tests/testcircuit.h).
#include <benchmark/benchmark.h>
#include <math.h>
#include "tests/testcircuit.h"

// === circuit building ===
// source into a chain of series elements with shunt elements to ground
static void ladder(int32_t sections, char series, const char *sv, char shunt, const char *hv) {
    tcladder(sections, "SIN(0;1;1000;0;0)", series, sv, shunt, hv);
}

static void dcsolve(benchmark::State &st) {
    const int32_t n = numwires + numnodes;
    for (auto _ : st) {
        initmat(0, 0, 0);
        int32_t code = smatsolve_real(yh, el, elcnt, pivorder, n);
        benchmark::DoNotOptimize(code);
    }
    st.counters["unknowns"] = n;
}

// === benchmarks ===
// ladder with about range(0) nodes: range(0) - 1 sections of R and R
static void BM_DcLadder(benchmark::State &st) {
    ladder((int32_t)st.range(0) - 2, 'R', "1000", 'R', "2200");
    dcsolve(st);
}
BENCHMARK(BM_DcLadder)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// resistor ladder of 1 000 wires (499 sections plus the source and one spare)
static void BM_DcLadderThousandWires(benchmark::State &st) {
    ladder(499, 'R', "1000", 'R', "2200");
    tcwire(numnodes - 1, 0, 'R', "1E6");
    dcsolve(st);
}
BENCHMARK(BM_DcLadderThousandWires)->Unit(benchmark::kMicrosecond);

// the same after an edit: the spare resistor changes letter at every solve, so
// nothing of the previous build or solve can be reused
static void BM_DcLadderThousandWiresEdited(benchmark::State &st) {
    ladder(499, 'R', "1000", 'R', "2200");
    tcwire(numnodes - 1, 0, 'R', "1E6");
    const int32_t n = numwires + numnodes, spare = numwires - 1;
    for (auto _ : st) {
        wire[spare].element = wire[spare].element == 'R' ? 'X' : 'R';
        initmat(0, 0, 0);
        benchmark::DoNotOptimize(smatsolve_real(yh, el, elcnt, pivorder, n));
    }
}
BENCHMARK(BM_DcLadderThousandWiresEdited)->Unit(benchmark::kMicrosecond);

// the re-solve after an edit as the program does it, with the check of
// what the solve says: a resistor ladder of range(0) unknowns (the check's
// largest, 200, and a hand-sized 50)
static void BM_DcSolveDiagnosed(benchmark::State &st) {
    ladder((int32_t)(st.range(0) - 2) / 3, 'R', "1000", 'R', "2200");
    const int32_t n = numwires + numnodes;
    for (auto _ : st) benchmark::DoNotOptimize(dcsolve());
    st.counters["unknowns"] = n;
}
BENCHMARK(BM_DcSolveDiagnosed)->Arg(50)->Arg(198)->Unit(benchmark::kMicrosecond);

// square grid with about range(0) nodes
static void BM_DcGrid(benchmark::State &st) {
    tcgrid((int32_t)lround(sqrt((double)st.range(0))));
    dcsolve(st);
}
BENCHMARK(BM_DcGrid)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// capacitor states moved a little, as the predictor and corrector move them
static void nudgestates(double by) {
    for (int32_t i = 0; i < numwires; i++)
        if (wire[i].element == 'C') capindval[i] += by;
}

// transient sub-steps of the circuit in place: predictor and corrector, the
// states nudged between them as the step's update would
static void substeps(benchmark::State &st) {
    const int32_t n = numwires + numnodes;
    double tau = 1e-5;
    for (auto _ : st) {
        initmat(0, tau, 1e-9);
        benchmark::DoNotOptimize(smatsolve_real(yh, el, elcnt, pivorder, n));
        nudgestates(1e-6);
        initmat(0, tau, 1e-9);
        benchmark::DoNotOptimize(smatsolve_real(yh, el, elcnt, pivorder, n));
        nudgestates(-1e-6);
        tau += 1e-5;
    }
    st.counters["unknowns"] = n;
}

// frequency points of the circuit in place, complex build and solve, as a
// sweep takes them: held, omega a little higher at every point
static void acpoints(benchmark::State &st) {
    const int32_t n = numwires + numnodes;
    double w = 1e-3;
    buildhold(1);
    for (auto _ : st) {
        initmat(w, 0, 0);
        benchmark::DoNotOptimize(smatsolve_comp(yh, el, elcnt, pivorder, n));
        w = w < 1e7 ? w * 1.0029 : 1e-3;
    }
    buildhold(0);
}

// one transient sub-step of a 50-section RC ladder: predictor and corrector
static void BM_TransientSubstepRcLadder(benchmark::State &st) {
    ladder(50, 'R', "1000", 'C', "1E-6");
    substeps(st);
}
BENCHMARK(BM_TransientSubstepRcLadder)->Unit(benchmark::kMicrosecond);

// one frequency point of the same ladder, complex build and solve, as a
// sweep takes them: held, omega a little higher at every point
static void BM_AcPointRcLadder(benchmark::State &st) {
    ladder(50, 'R', "1000", 'C', "1E-6");
    acpoints(st);
}
BENCHMARK(BM_AcPointRcLadder)->Unit(benchmark::kMicrosecond);

// === RC meshes ===
// side x side nodes (tcmesh): a transient sub-step, a frequency point and the
// program's DC re-solve after an edit, for the sides given
static void meshsides(benchmark::internal::Benchmark *b) {
    for (int side : {10, 30, 60, 100}) b->Arg(side);
    b->Unit(benchmark::kMicrosecond);
}

static void BM_MeshTransientSubstep(benchmark::State &st) {
    tcmesh((int32_t)st.range(0));
    substeps(st);
}
BENCHMARK(BM_MeshTransientSubstep)->Apply(meshsides);

static void BM_MeshAcPoint(benchmark::State &st) {
    tcmesh((int32_t)st.range(0));
    acpoints(st);
    st.counters["unknowns"] = numwires + numnodes;
}
BENCHMARK(BM_MeshAcPoint)->Apply(meshsides);

// a resistor in the middle of the mesh is taken out or put back (X or R) at
// every re-solve, so nothing of the structure before can be reused
static void BM_MeshDcEdited(benchmark::State &st) {
    tcmesh((int32_t)st.range(0));
    int32_t mid = numwires / 2;
    while (wire[mid].element != 'R') mid++;
    for (auto _ : st) {
        wire[mid].element = wire[mid].element == 'R' ? 'X' : 'R';
        benchmark::DoNotOptimize(dcsolve());
    }
    st.counters["unknowns"] = numwires + numnodes;
}
BENCHMARK(BM_MeshDcEdited)->Apply(meshsides);
