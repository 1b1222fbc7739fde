// bench_solver.cpp: equation build plus sparse solve on resistor ladders and
// square resistor grids (DC), one transient sub-step (two builds and two
// solves at t != 0 with the time-step forms) and one point of a frequency
// sweep of an RC ladder; the program's DC re-solve with its check.
// Circuits come from the tests' builders (tests/testcircuit.h).
#include <benchmark/benchmark.h>
#include <math.h>
#include <vector>
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
// states nudged between them as the step's update would, builds held as the
// transient computation holds them
static void substeps(benchmark::State &st) {
    const int32_t n = numwires + numnodes;
    double tau = 1e-5;
    int64_t how[3] = {0, 0, 0};
    buildhold(1);  // as the transient computation holds its builds: only the states change
    for (int32_t k = 0; k < 2; k++) {  // the structure's first elimination and first
        initmat(0, tau, 1e-9);         //   held replay are not a step's
        smatsolve_real(yh, el, elcnt, pivorder, n);
    }
    for (auto _ : st) {
        initmat(0, tau, 1e-9);
        benchmark::DoNotOptimize(smatsolve_real(yh, el, elcnt, pivorder, n));
        how[solvehow]++;
        nudgestates(1e-6);
        initmat(0, tau, 1e-9);
        benchmark::DoNotOptimize(smatsolve_real(yh, el, elcnt, pivorder, n));
        how[solvehow]++;
        nudgestates(-1e-6);
        tau += 1e-5;
    }
    buildhold(0);
    st.counters["unknowns"] = n;
    st.counters["full"] = how[0], st.counters["replay"] = how[1], st.counters["rhs"] = how[2];
}

// frequency points of the circuit in place, complex build and solve, as a
// sweep takes them: held, omega a little higher at every point
static void acpoints(benchmark::State &st) {
    const int32_t n = numwires + numnodes;
    double w = 1e-3;
    buildhold(1);
    initmat(w, 0, 0);  // the structure's first elimination is not a sweep's point
    smatsolve_comp(yh, el, elcnt, pivorder, n);
    int64_t how[3] = {0, 0, 0};
    for (auto _ : st) {
        initmat(w, 0, 0);
        benchmark::DoNotOptimize(smatsolve_comp(yh, el, elcnt, pivorder, n));
        how[solvehow]++;
        w = w < 1e7 ? w * 1.0029 : 1e-3;
    }
    buildhold(0);
    st.counters["full"] = how[0], st.counters["replay"] = how[1], st.counters["rhs"] = how[2];
}

// the same points as a sweep takes them in the Bode window and veltocli ac:
// BATCHMAX at a time (bodesolvemany), reported per point; probe: the last
// node's voltage, input wire 0
static void acsweep(benchmark::State &st) {
    tcplot p(numwires - 1, 1);
    double w[BATCHMAX];
    bodepoint bp[BATCHMAX][MAXTRACES];
    int32_t res[BATCHMAX], batched = 0;
    buildhold(1);
    for (int32_t k = 0; k < 2; k++) bodesolveall(1e-3, &p.rec, bp[0]);  // the first elimination and split
    double at = 1e-3;
    for (auto _ : st) {
        for (int32_t k = 0; k < BATCHMAX; k++) w[k] = at, at = at < 1e7 ? at * 1.0029 : 1e-3;
        bodesolvemany(w, BATCHMAX, &p.rec, bp, res);
        batched += solvehow == SOLVEREPLAY;
        benchmark::DoNotOptimize(res);
    }
    buildhold(0);
    st.counters["s_per_point"] =
        benchmark::Counter(BATCHMAX, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    st.counters["batched"] = (double)batched / (double)st.iterations();
}

static void BM_AcSweepRcLadder(benchmark::State &st) {
    ladder(50, 'R', "1000", 'C', "1E-6");
    acsweep(st);
}
BENCHMARK(BM_AcSweepRcLadder)->Unit(benchmark::kMicrosecond);

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

// the pause when a transient plot opens: the DC operating point's
// elimination, then the first three held sub-step solves (the first replay of
// the structure, the first split replay, the first right-hand side only)
static void BM_MeshTransientStart(benchmark::State &st) {
    for (auto _ : st) {
        st.PauseTiming();
        tcmesh((int32_t)st.range(0));
        st.ResumeTiming();
        initmat(0, 0, 0);
        smatsolve_real(yh, el, elcnt, pivorder, numwires + numnodes);
        buildhold(1);
        for (int32_t k = 0; k < 3; k++) {
            initmat(0, 1e-5, 1e-9);
            benchmark::DoNotOptimize(smatsolve_real(yh, el, elcnt, pivorder, numwires + numnodes));
        }
        buildhold(0);
    }
}
BENCHMARK(BM_MeshTransientStart)->Apply(meshsides);

static void BM_MeshAcPoint(benchmark::State &st) {
    tcmesh((int32_t)st.range(0));
    acpoints(st);
    st.counters["unknowns"] = numwires + numnodes;
}
BENCHMARK(BM_MeshAcPoint)->Apply(meshsides);

static void BM_MeshAcSweep(benchmark::State &st) {
    tcmesh((int32_t)st.range(0));
    acsweep(st);
    st.counters["unknowns"] = numwires + numnodes;
}
BENCHMARK(BM_MeshAcSweep)->Apply(meshsides);

// The program's DC re-solve after edit(rs, k) at iteration k, on the mesh of
// side range(0); rs: its resistors from the middle on, up to 50.
template <class F>
static void dcedits(benchmark::State &st, F edit) {
    tcmesh((int32_t)st.range(0));
    std::vector<int32_t> rs;
    for (int32_t m = numwires / 2; m < numwires && rs.size() < 50; m++)
        if (wire[m].element == 'R') rs.push_back(m);
    dcsolve();
    int32_t k = 0, full = 0;
    for (auto _ : st) {
        edit(rs, k++);
        benchmark::DoNotOptimize(dcsolve());
        full += solvehow == SOLVEFULL;
    }
    st.counters["unknowns"] = numwires + numnodes;
    st.counters["full"] = full;
}
typedef const std::vector<int32_t> &resistors;

// resistor k of rs put back, the next one turned into letter
static void movenext(resistors rs, int32_t k, char letter) {
    wire[rs[k % rs.size()]].element = 'R';
    wire[rs[(k + 1) % rs.size()]].element = letter;
}

// every re-solve takes out another resistor (X) and puts back the one
// before: in a large system an X keeps an R's pattern, so the elimination
// before replays
static void BM_MeshDcEdited(benchmark::State &st) {
    dcedits(st, [](resistors rs, int32_t k) { movenext(rs, k, 'X'); });
}
BENCHMARK(BM_MeshDcEdited)->Apply(meshsides);

// every re-solve shorts another resistor (T) and puts back the one before:
// a structure the solver has not seen, eliminated in full
static void BM_MeshDcNewStructure(benchmark::State &st) {
    dcedits(st, [](resistors rs, int32_t k) { movenext(rs, k, 'T'); });
}
BENCHMARK(BM_MeshDcNewStructure)->Apply(meshsides);

// one resistor shorted and put back in turn, as an edit and its undo (or a
// switch flipping): the structure before comes back every time
static void BM_MeshDcUndone(benchmark::State &st) {
    dcedits(st, [](resistors rs, int32_t k) { wire[rs[0]].element = k % 2 ? 'R' : 'T'; });
}
BENCHMARK(BM_MeshDcUndone)->Apply(meshsides);

// one resistor's value 2.2 k and 1 k in turn: the structure stays, so the
// re-solve can go by the elimination before
static void BM_MeshDcValueEdited(benchmark::State &st) {
    dcedits(st, [](resistors rs, int32_t k) {
        const char *v = k % 2 ? "1000" : "2200";
        wiresetnumst(rs[0], v), wire[rs[0]].value = atof(v);
    });
}
BENCHMARK(BM_MeshDcValueEdited)->Apply(meshsides);

// a value edit right after an edit of the structure (that one not timed), a
// pass to spare between them as the program has: the first replay of an
// elimination
static void BM_MeshDcValueAfterStructure(benchmark::State &st) {
    dcedits(st, [&st](resistors rs, int32_t k) {
        st.PauseTiming();
        movenext(rs, k, 'T');
        dcsolve();
        solveidle();  // the frames after it
        const char *v = k % 2 ? "1000" : "2200";
        wiresetnumst(rs[0], v), wire[rs[0]].value = atof(v);
        st.ResumeTiming();
    });
}
BENCHMARK(BM_MeshDcValueAfterStructure)->Apply(meshsides);

// === diodes ===
// a ladder of 20 sections, 100 Ohm in series and a 1E-14 diode to ground at
// every node, from 5 V; the same with 1 kOhm in place of the diodes
static void diodeladder(const char *shunt, const char *value) { tcladder(20, "5", 'R', "100", shunt[0], value); }

// the program's re-solve after an edit: the first resistor changes its value
static void BM_DiodeLadderDcEdited(benchmark::State &st) {
    diodeladder("D", "1E-14");
    dcsolve();
    int32_t its = 0, solves = 0;
    for (auto _ : st) {
        const char *v = solves++ & 1 ? "100" : "110";
        wiresetnumst(1, v), wire[1].value = atof(v);
        benchmark::DoNotOptimize(dcsolve());
        its += nliters;
    }
    st.counters["iterations"] = (double)its / solves;
}
BENCHMARK(BM_DiodeLadderDcEdited)->Unit(benchmark::kMicrosecond);

// the cost of one Newton iteration (the source steps between 5 and 5.5 V,
// each solve starting from the last) beside one linear build and solve of
// the ladder of resistors
static void BM_DiodeLadderNewtonIteration(benchmark::State &st) {
    diodeladder("D", "1E-14");
    nlcollect();
    nlsolve(0, 0, nullptr);
    int64_t its = 0, solves = 0;
    for (auto _ : st) {
        const double v = solves++ & 1 ? 5 : 5.5;
        wiresetnumst(0, v == 5 ? "5" : "5.5"), wire[0].value = v;
        benchmark::DoNotOptimize(nlsolve(0, 0, nullptr));
        its += nliters;
    }
    st.counters["per_iteration"] = benchmark::Counter((double)its, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DiodeLadderNewtonIteration)->Unit(benchmark::kMicrosecond);

// every shunt resistor changes its value, as every diode's conductance does
// in an iteration: the elimination is replayed
static void BM_ResistorLadderLinearSolve(benchmark::State &st) {
    diodeladder("R", "1000");
    const int32_t n = numwires + numnodes;
    int64_t solves = 0;
    for (auto _ : st) {
        const char *v = solves++ & 1 ? "1000" : "1100";
        for (int32_t i = 2; i < numwires; i += 2) wiresetnumst(i, v), wire[i].value = atof(v);
        initmat(0, 0, 0);
        benchmark::DoNotOptimize(smatsolve_real(yh, el, elcnt, pivorder, n));
    }
}
BENCHMARK(BM_ResistorLadderLinearSolve)->Unit(benchmark::kMicrosecond);

// a full-wave bridge from a floating 10 V, 50 Hz sine into 100 uF || 1 kOhm:
// the transient window's sub-steps, 64 to a column of 100 us, column by column
static void BM_FullWaveSubstep(benchmark::State &st) {
    tcclear();
    const int32_t g = tcnode(1), a = tcnode(0), b = tcnode(0), p = tcnode(0);
    tcwire(b, a, 'V', "10*SIN(2*PI*50*T)");
    tcwire(a, p, 'D', "SI"), tcwire(b, p, 'D', "SI"), tcwire(g, a, 'D', "SI"), tcwire(g, b, 'D', "SI");
    tcwire(p, g, 'C', "1E-4"), tcwire(p, g, 'R', "1000");
    tcplot plot(p, 0, 1e-4);
    const int32_t samps = 64;
    int64_t steps = 0;
    for (auto _ : st) {
        if (plot.rec.numcols >= 600) transrestart(&plot.rec);
        transcompute(&plot.rec, 640, samps, (plot.rec.numcols < 0 ? 0 : plot.rec.numcols) + 1, nullptr, 0);
        steps += samps;
    }
    st.counters["per_substep"] = benchmark::Counter((double)steps, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FullWaveSubstep)->Unit(benchmark::kMicrosecond);
