// test_solver.cpp: circuit equations and the sparse solvers: hand-derived
// circuits of every element in the DC, phasor and time-step forms, and the
// fast build and solver against the plain reference
// (refsolver.cpp) bit for bit.
#include <gtest/gtest.h>
#include <math.h>
#include <random>
#include "tests/refsolver.h"
#include "tests/testcircuit.h"

static int32_t nunk(void) { return numwires + numnodes; }
static int32_t solve(int32_t cplx) { return (cplx ? smatsolve_comp : smatsolve_real)(yh, el, elcnt, pivorder, nunk()); }

// === hand-derived circuits ===
#define SWITCH(value, closed) \
    {"g.. V01:10 R12:1 R20:1 S20:" value, 0, 0, 0, {{"V2", closed ? 0.0 : 5.0}, {"I3", closed ? 10.0 : 0.0}}}
// Controlled sources of gain 3, each into its own 5 ohm load, all controlled
// by wire 1: 4 ohm from node 1 (2 V) to ground, V(node 2) - V(node 1) = -2, I = 0.5.
#define CONTROLLED(d) "g..... V01:2 R10:4 E02:3@" d " R20:5 F03:3@" d " R30:5 G04:3@" d " R40:5 H05:3@" d " R50:5"

TEST(Handsolve, CircuitsGiveTheirDerivedValues) {
    const double h = 1e-4, c0 = 0.7, xh = 2e-3 / h, il = (3 + xh * c0) / (100 + xh);
    const struct {
        const char *circuit;
        double t, h, state;  // initmat's time and step; state: every wire's capindval
        std::vector<std::pair<const char *, double>> want;  // "Vn" node voltage, "In" wire current
    } cases[] = {
        {"g.. V01:10 R12:1000 R20:3000", 0, 0, 0, {{"V0", 0}, {"V2", 7.5}, {"I0", 0.0025}, {"I1", 0.0025}}},
        {"g. I01:1 R10:330", 0, 0, 0, {{"V1", 330}, {"I0", 1}, {"I1", 1}}},
        {"g... V01:10 R12:100 R20:300 R13:200 R30:200 R23:50", 0, 0, 0, {{"I5", 2.5 / 225}}},
        {CONTROLLED("1"), 0, 0, 0, {{"V2", -6}, {"V3", 7.5}, {"V4", -30}, {"V5", 1.5}}},
        {CONTROLLED("~1"), 0, 0, 0, {{"V2", 6}, {"V3", -7.5}, {"V4", 30}, {"V5", -1.5}}},
        {"g.. V01:5 X10:1 T12:1 R20:10", 0, 0, 0, {{"I1", 0}, {"I2", 0.5}, {"V2", 5}}},
        // the editor's op-amp (X A-B, X B-Q, X Q-A, E G-Q controlled by ~(first X)), inverting with gain -10
        {"..g.g. X01:0 X13:0 X30:0 E23:1E8@~0 T04:1 V45:1 R51:1000 R13:10000", 0, 0, 0,
         {{"V3", -10 / (1 + 11e-8)}, {"V1", 10 / (1 + 11e-8) / 1e8}}},
        {"g... V01:4 R12:2 C20:1E-6 R13:8 L30:1E-3", 0, 0, 0, {{"I2", 0}, {"V2", 4}, {"I4", 0.5}, {"V3", 0}}},
        {"g. V01:3 R10:2 R11:5", 0, 0, 0, {{"I2", 0}, {"V1", 3}}},  // a wire on one node carries nothing
        // a switch across the lower half of a divider: open when exactly one of value <= 0 and a
        // flipped depwire holds; NaN counts as positive
        SWITCH("1", 1), SWITCH("0", 0), SWITCH("-1", 0), SWITCH("0@~3", 1), SWITCH("-2@~3", 1), SWITCH("1@~3", 0),
        SWITCH("0*1E999", 1), SWITCH("0*1E999@~3", 0),
        // backward Euler: h I = C (V - c0) and V = (L / h) (I - c0); the source taken at t
        {"g.. V01:3 R12:100 C20:2E-3", 0.5, h, c0, {{"V2", (h * 3 / 100 + 2e-3 * c0) / (h / 100 + 2e-3)}}},
        {"g.. V01:SIN(0;3;1;0;0) R12:100 L20:2E-3", 0.25, h, c0, {{"I2", il}, {"V2", xh * (il - c0)}}},
    };
    for (const auto &k : cases) {
        tcbuild(k.circuit);
        for (int32_t i = 0; i < numwires; i++) capindval[i] = k.state;
        initmat(0, k.t, k.h);
        ASSERT_EQ(solve(0), 0) << k.circuit;
        for (const auto &u : k.want)
            EXPECT_NEAR(el[yh[atoi(u.first + 1) + (u.first[0] == 'V' ? numwires : 0)]].re, u.second,
                        1e-12 * fmax(1, fabs(u.second))) << k.circuit << ": " << u.first;
    }
}

// === against the reference ===
static const char *texts[] = {"1", "2.5", "-4", "1E3", "T", "2*T+1", "SIN(0;1;3;0;0)", "1/0",
                              "PULSE(0;5;0;1;1;2;10)", "PWL(0;0;1;10;2;0)", "(2+3)*4", "SQRT(T)"};

// every letter (K stamps as a probe), random values, texts, states and controls
static void randomcircuit(std::mt19937 &rng, int32_t maxnodes, int32_t maxwires) {
    static const double vals[] = {1, -1, 2, 0.5, 0, 3, 1e3, 1e-3, 4, -2};
    tcclear();
    const int32_t nn = 1 + rng() % maxnodes, nw = rng() % (maxwires + 1);
    for (int32_t k = 0; k < nn; k++) tcnode(k == 0 || rng() % 10 < 2);
    for (int32_t k = 0; k < nw; k++) {
        const char letter = "RLCVIEFGHSXTRRRRRRRRCLK"[rng() % 23];
        const int32_t i = tcwire(rng() % nn, rng() % nn, letter, rng() % 3 ? "1" : texts[rng() % 12]);
        wire[i].value = rng() % 4 ? vals[rng() % 10] : (double)(rng() % 20000) / 777.0 - 9;
        capindval[i] = (double)(rng() % 100) / 7.0 - 5;
    }
    for (int32_t i = 0; i < nw; i++) {
        int32_t d = rng() % nw;
        if (maxwires < 20 && rng() % 20 == 0) d = i;  // now and then none chosen
        wire[i].depwire = rng() % 2 ? d : ~d;
    }
}

struct snap {  // what a build or a solve leaves behind
    int32_t code;
    std::vector<sparsel> ent;
    std::vector<int32_t> rows, scratch;
};

static snap take(int32_t code, int32_t nent, int32_t nrows, int32_t nscratch) {
    return snap{code, std::vector<sparsel>(el, el + nent), std::vector<int32_t>(yh, yh + nrows),
                std::vector<int32_t>(pivorder, pivorder + nscratch)};
}

// bits equal, or both NaN: a NaN's sign and payload follow the operand order
static int32_t samebits(double a, double b) { return !memcmp(&a, &b, sizeof a) || (a != a && b != b); }

static void expectsame(const snap &r, const snap &f, const char *what) {
    ASSERT_EQ(f.code, r.code) << what;
    ASSERT_EQ(f.ent.size(), r.ent.size()) << what;
    for (size_t k = 0; k < r.ent.size(); k++) {
        const sparsel &a = f.ent[k], &b = r.ent[k];
        if (!samebits(a.re, b.re) || !samebits(a.im, b.im) || a.next != b.next || a.col != b.col) {
            ADD_FAILURE() << what << ": entry " << k << " is " << a.re << "," << a.im << "," << a.next << ","
                          << a.col << ", not " << b.re << "," << b.im << "," << b.next << "," << b.col;
            break;
        }
    }
    EXPECT_EQ(f.rows, r.rows) << what;
    EXPECT_EQ(f.scratch, r.scratch) << what;
}

// the build and the reference build from the same random seed: same entries,
// heads, error flag and random draws
static void expectbuildasreference(double w, double t, double h, uint32_t seed) {
    snap s[2];
    int32_t bad[2], draw[2];
    for (int32_t ref = 0; ref < 2; ref++) {
        srand(seed), snormstat = 0, globalbad = 7;
        (ref ? refinitmat : initmat)(w, t, h);
        if (!ref && buildkept) buildrestore();  // el holds the solve before: the build is the template
        bad[ref] = globalbad, draw[ref] = rand();
        s[ref] = take(0, elcnt, nunk(), 0);
    }
    expectsame(s[1], s[0], "build");
    EXPECT_EQ(bad[0], bad[1]);
    EXPECT_EQ(draw[0], draw[1]);
}

// the system the last build made, when it kept the solve before in el (B7)
// too: el stays as it is
static snap built() {
    if (!buildkept) return take(0, elcnt, nunk() + 1, 0);
    const std::vector<sparsel> keep(el, el + elcntmax);
    buildrestore();
    const snap b = take(0, elcnt, nunk() + 1, 0);
    memcpy(el, keep.data(), keep.size() * sizeof(sparsel));
    return b;
}

// a built system; the extra row head is poisoned
static snap build(double w, double t, double h) {
    initmat(w, t, h);
    yh[nunk()] = -5;
    return take(0, elcnt, nunk() + 1, 0);
}

// The reference, then the fast solver, on the same entries, heads and old
// scratch; entries past the build are poisoned so that one the fast solver
// writes beyond the reference's end shows up. fresh: each starts from the
// first capacity of el. Returns the reference's code.
static int32_t comparesolve(const snap &b, int32_t cplx, const char *what, int32_t fresh = 0) {
    enum { POISON = 1024 };
    static int32_t fill;
    fill = fill < -1000000 ? 0 : fill - 977;
    const int32_t n = nunk(), nb = (int32_t)b.ent.size();
    unsigned char poison[sizeof(sparsel)];
    memset(poison, 0xA5, sizeof poison);
    snap s[2];
    int32_t used = 0, npoison = 0;
    for (int32_t fast = 0; fast < 2; fast++) {
        if (fresh) free(el), el = nullptr, elcntmax = 0, checkelcnt(0);
        npoison = elcntmax - nb < POISON ? elcntmax - nb : POISON;
        memcpy(el, b.ent.data(), nb * sizeof(sparsel));
        for (int32_t k = 0; k < npoison; k++) memcpy(&el[nb + k], poison, sizeof poison);
        memcpy(yh, b.rows.data(), (n + 1) * sizeof(int32_t));
        for (int32_t k = 0; k < n; k++) pivorder[k] = fill + k;
        const int32_t code = fast ? (cplx ? smatsolve_comp : smatsolve_real)(yh, el, nb, pivorder, n)
                                  : refsolve(cplx, yh, nb, pivorder, n, &used);
        s[fast] = take(code, used, n + 1, n);
    }
    expectsame(s[0], s[1], what);
    for (int32_t k = used; k < nb + npoison; k++)
        if (memcmp(&el[k], poison, sizeof poison)) {
            ADD_FAILURE() << what << ": fast solver wrote entry " << k;
            break;
        }
    return s[0].code;
}

// The reference's solve of build b (n unknowns, scratch as pivorder holds
// it) in an entry store of its own; el stays as the fast solver left it.
static snap refown(const snap &b, int32_t cplx, int32_t n) {
    sparsel *const keep = el;
    const int32_t keepmax = elcntmax;
    el = (sparsel *)malloc(b.ent.size() * sizeof(sparsel)), elcntmax = (int32_t)b.ent.size();
    memcpy(el, b.ent.data(), b.ent.size() * sizeof(sparsel));
    memcpy(yh, b.rows.data(), (n + 1) * sizeof(int32_t));
    int32_t used;
    const int32_t code = refsolve(cplx, yh, elcntmax, pivorder, n, &used);
    const snap r = take(code, used, n + 1, n);
    free(el);
    el = keep, elcntmax = keepmax;
    return r;
}

// Same entries, heads, error flag and random draws over changing times,
// steps, omegas, states, values and texts (some edited in place). Every other
// circuit is held still (buildhold): then only times (some repeated), steps,
// omegas and states change, and switches follow time-dependent values.
TEST(Initmat, BuildMatchesReferenceBitForBit) {
    std::mt19937 rng(5150);
    static const char *more[] = {"RND", "NRND(0)+1", "T>0.5", "-(T<0.3)", "(T<0.3)-0.5", "T*0"};
    static const double ts[] = {0, 0.25, 0.25, 0.37, 0.6, 0.9, 1.7, 1.7}, hs[] = {0, 1e-3, 1e-6, 2e-3, NAN};
    for (int32_t it = 0; it < 2200; it++) {
        const int32_t held = it % 2;
        randomcircuit(rng, it % 10 ? 7 : 30, it % 10 ? 12 : 50);
        for (int32_t i = 0; i < numwires; i++)
            if (rng() % 3 == 0) wiresetnumst(i, more[rng() % 6]);
        buildhold(held);
        for (int32_t round = 0; round < 8 && !HasFailure(); round++) {
            for (int32_t i = 0; i < numwires; i++) {
                const uint32_t r = rng() % 16;
                const char *s = texts[rng() % 12];
                if (r == 0) capindval[i] += 0.25;
                else if (held) continue;
                else if (r == 1 && strlen(s) > strlen(wire[i].numst)) wiresetnumst(i, s);
                else if (r == 1) strcpy(wire[i].numst, s);  // same allocation, new text
                else if (r == 2) wire[i].value = (double)(rng() % 7) - 3;
            }
            const double t = ts[rng() % 8], h = hs[rng() % 5], w = rng() % 2 ? 0 : 0.5 + rng() % 5;
            expectbuildasreference(w, t, h, rng());
            if (rng() % 2) initmat(w, t, h), solve(0);  // the solver scrambles the store
        }
        buildhold(0);
        if (HasFailure()) return;
    }
}

// random circuits built six ways, then solved again with new values on the
// same structure (the last solve's steps replayed where the pivots allow)
TEST(Sparse, FastSolverMatchesReferenceBitForBit) {
    std::mt19937 rng(2024);
    const double builds[][3] = {{0, 0, 0}, {3, 0, 0}, {0, 0.37, 1e-3}, {0.5, 1.5, 0}, {0, 0.2, NAN}, {1e4, 0, 0}};
    static const double vals[] = {1, -1, 2, 0.5, 3, 1e3, 1e-3, 4, -2, 0};
    int32_t codes[3] = {0, 0, 0};
    for (int32_t it = 0; it < 4400; it++) {
        randomcircuit(rng, it % 10 ? 7 : 40, it % 10 ? 12 : 80);  // the big ones: long candidate lists
        for (auto &b : builds)
            for (int32_t cplx = 0; cplx < 2; cplx++) {
                const int32_t c = comparesolve(build(b[0], b[1], b[2]), cplx, "random");
                if (&b == builds && !cplx) codes[c == 0 ? 0 : c == 2 ? 2 : 1]++;
            }
        for (int32_t round = 0; round < 4; round++) {
            for (int32_t i = 0; i < numwires; i++)
                if (wire[i].element != 'S' && rng() % 3 == 0)
                    wire[i].value = rng() % 2 ? vals[rng() % 10] : (double)(rng() % 1000) / 37.0 - 13;
            comparesolve(build(round % 2 ? 0 : 2.0 + round, 0, 0), round % 2, "new values");
        }
        if (HasFailure()) return;
    }
    EXPECT_GT(codes[0], 400);  // the mix holds solvable, singular and empty systems
    EXPECT_GT(codes[1], 400);
    EXPECT_GT(codes[2], 100);
}

TEST(Sparse, FillInGrowingTheStoreMatchesReference) {
    tcgrid(18);
    ordermin = 0x7FFFFFFF;  // in natural order, as the reference goes
    for (int32_t cplx = 0; cplx < 2; cplx++) {
        free(el), el = nullptr, elcntmax = 0;
        const snap b = build(2, 0, 0);
        ASSERT_EQ(elcntmax, 4096);
        comparesolve(b, cplx, "grid", 1);
        EXPECT_GT(elcntmax, 4096);  // fill-in grew it
    }
    ordermin = ORDERMIN;
}

// === solve sequences ===
// One system after another, each changed from the one before in one way: the
// fast solver keeps the last solve's work and must notice every change, down
// to one bit of one coefficient, and match the reference every time.
enum { SEQSAME, SEQRHS, SEQULP, SEQSIGN, SEQNAN, SEQINF, SEQZERO, SEQIMAG, SEQSWAP, SEQRELINK, SEQREBUILD, SEQKINDS };
static const char *seqname[SEQKINDS] = {"same", "rhs", "ulp", "sign", "nan", "inf",
                                        "zero", "imag", "swap", "relink", "rebuild"};

static double oddvalue(std::mt19937 &rng) {
    static const double odd[] = {0.0, -0.0, 1.0, -2.5, 1e300, -1e-310, INFINITY, -INFINITY, NAN, 1e-3};
    return rng() % 4 ? (double)(rng() % 2000) / 37.0 - 27 : odd[rng() % 10];
}

// Changes one coefficient of the matrix part (not the sentinel, not the
// right-hand side) as kind says, every right-hand side for SEQRHS, the order
// of two rows for SEQSWAP, or for SEQRELINK the tails of two rows that start
// in the same column (same entries, other links). Returns 1 if the matrix
// part changed.
static int32_t mutate(snap &b, int32_t kind, std::mt19937 &rng) {
    const int32_t n = nunk();
    if ((kind == SEQSWAP || kind == SEQRELINK) && n > 1) {
        const int32_t i = rng() % n, j = rng() % n, hi = b.rows[i], hj = b.rows[j];
        if (kind == SEQSWAP) std::swap(b.rows[i], b.rows[j]);
        if (kind == SEQSWAP || !hi || !hj || b.ent[hi].col != b.ent[hj].col) return kind == SEQSWAP && hi != hj;
        std::swap(b.ent[hi].next, b.ent[hj].next);
        return b.ent[hi].next != b.ent[hj].next;
    }
    if (kind == SEQRHS)
        for (sparsel &e : b.ent)
            if (e.col == n) e.re = oddvalue(rng), e.im = rng() % 2 ? e.im : oddvalue(rng);
    if (kind == SEQSAME || kind == SEQRHS || kind == SEQSWAP || kind == SEQRELINK || b.ent.size() < 2) return 0;
    int32_t e = 0;
    for (int32_t tries = 0; tries < 30 && !e; tries++) {
        const int32_t k = 1 + rng() % (b.ent.size() - 1);
        if (b.ent[k].col < n) e = k;
    }
    if (!e) return 0;
    double &x = kind == SEQIMAG ? b.ent[e].im : b.ent[e].re;
    const double old = x;
    if (kind == SEQULP) x = nextafter(x, rng() % 2 ? INFINITY : -INFINITY);
    if (kind == SEQSIGN) x = -x;
    if (kind == SEQNAN) x = NAN;
    if (kind == SEQINF) x = rng() % 2 ? INFINITY : -INFINITY;
    if (kind == SEQZERO) x = 0;
    if (kind == SEQIMAG) x = nextafter(x, INFINITY);
    return memcmp(&old, &x, sizeof x) != 0;
}

// the matrix part of a build, right-hand-side values aside, as one string
// of bytes: two builds have the same matrix when these are equal
static std::string matrixof(const snap &b) {
    std::vector<sparsel> ent = b.ent;
    for (sparsel &e : ent)
        if (e.col == nunk()) e.re = e.im = 0;
    return std::string((const char *)ent.data(), ent.size() * sizeof(sparsel)) +
           std::string((const char *)b.rows.data(), b.rows.size() * sizeof(int32_t));
}

// A changed matrix is never taken for the last one: solved right-hand side
// only, it is one solved before in the sequence (the real solver keeps the
// trace of the structure before the last as well).
TEST(Sparse, SolveSequencesMatchReference) {
    std::mt19937 rng(4242);
    static const int32_t weights[SEQKINDS] = {3, 7, 2, 1, 1, 1, 1, 1, 1, 1, 2};  // mostly what a transient run does
    int32_t ways[3] = {0, 0, 0};
    for (int32_t it = 0; it < 1200; it++) {
        const int32_t cplx = it % 2;
        double w = cplx ? 2 + rng() % 5 : 0, t = rng() % 2 ? 0 : 0.4, h = t != 0 ? 1e-3 : 0;
        do {  // a solvable start, so that there is work to keep
            randomcircuit(rng, it < 1000 ? 7 : 30, it < 1000 ? 12 : 60);
            initmat(w, t, h);
        } while (solve(cplx) != 0);
        snap b = build(w, t, h);
        std::vector<std::string> solved{matrixof(b)};
        for (int32_t step = 0; step < 14; step++) {
            int32_t kind = 0;
            for (int32_t r = rng() % 21; r >= weights[kind]; kind++) r -= weights[kind];
            if (kind == SEQREBUILD) {  // new values or a new structure
                if (rng() % 2) w += 1, capindval[rng() % (numwires + 1)] += 1;
                else randomcircuit(rng, 7, 12);
                b = build(w, t, h);
            }
            const int32_t changed = mutate(b, kind, rng);
            comparesolve(b, cplx, seqname[kind]);
            const std::string m = matrixof(b);
            const int32_t before = std::find(solved.begin(), solved.end(), m) != solved.end();
            EXPECT_TRUE(!changed || solvehow != SOLVERHS || (!cplx && before)) << seqname[kind];
            solved.push_back(m);
            ways[solvehow]++;
            if (HasFailure()) return;
        }
    }
    EXPECT_GT(ways[SOLVEFULL], 3000);  // every way was taken many times
    EXPECT_GT(ways[SOLVEREPLAY], 2500);
    EXPECT_GT(ways[SOLVERHS], 2500);
}

// Inside a hold the solver takes the build's word for what stayed the same:
// systems built as a transient run and a sweep build them (states, times,
// steps and omegas changing, switches turning with time) and solved as they
// come must match the reference solving a copy of the same build in an entry
// store of its own (the hold leaves el to the builds and the solver).
TEST(Sparse, HeldBuildsSolveAsReference) {
    std::mt19937 rng(909);
    static const double ts[] = {0, 0.25, 0.25, 0.37, 0.6}, hs[] = {1e-3, 1e-3, 2e-3};
    int32_t ways[3] = {0, 0, 0}, kinds[3] = {0, 0, 0}, kept = 0;
    for (int32_t it = 0; it < 700; it++) {
        const int32_t cplx = it % 2;
        do {  // a solvable start
            randomcircuit(rng, it % 10 ? 7 : 30, it % 10 ? 12 : 50);
            initmat(cplx ? 2 : 0, 0.25, cplx ? 0 : 1e-3);
        } while (solve(cplx) != 0);
        const int32_t n = nunk();
        buildhold(1);
        for (int32_t step = 0; step < 12 && !HasFailure(); step++) {
            if (rng() % 3) capindval[rng() % (numwires + 1)] += 0.5;
            const double t = ts[rng() % 5], h = cplx ? 0 : hs[rng() % 3], w = cplx ? 1 + rng() % 3 : 0;
            initmat(w, t, h);
            kinds[buildkin]++;
            kept += buildkept;
            const snap b = built();
            for (int32_t k = 0; k < n; k++) pivorder[k] = 3 * k;
            const int32_t code = solve(cplx);
            ways[solvehow]++;
            snap f = take(code, elcntmax, n + 1, n);
            for (int32_t k = 0; k < n; k++) pivorder[k] = 3 * k;
            const snap r = refown(b, cplx, n);
            f.ent.resize(std::min(f.ent.size(), r.ent.size()));
            expectsame(r, f, "held");
        }
        buildhold(0);
        if (HasFailure()) return;
    }
    EXPECT_GT(kinds[BUILDSHAPE], 2500);  // the solver was told often, and took each way
    EXPECT_GT(kinds[BUILDSAME], 1200);
    EXPECT_GT(kept, 600);
    for (int32_t how : ways) EXPECT_GT(how, 800);
}

// === fill-reducing order ===
// a sound circuit of many unknowns: an RC mesh of side x side nodes, its
// resistors 100 to 5 000 ohms, its capacitors 0.1 to 5 uF
static void randommesh(std::mt19937 &rng, int32_t side) {
    tcmesh(side);
    for (int32_t i = 1; i < numwires; i++) wire[i].value = (wire[i].element == 'R' ? 100 : 1e-7) * (1 + rng() % 50);
}

// Large systems go in another order: the same codes as the reference in
// natural order, and on sound circuits (RC meshes of random values, held as a
// transient run and a sweep build them, so every replay is taken) the same
// unknowns to 1e-12 of the largest.
TEST(Ordered, AgreesWithNaturalOrder) {
    std::mt19937 rng(77);
    ordermin = 0;
    int32_t ways[3] = {0, 0, 0};
    for (int32_t it = 0; it < 240 && !HasFailure(); it++) {
        const int32_t cplx = it % 2, mesh = it % 4 < 2;
        if (mesh) {
            randommesh(rng, 3 + rng() % 10);
        } else {
            randomcircuit(rng, 30, 60);
        }
        buildhold(1);
        for (int32_t step = 0; step < 8; step++) {
            static const double ts[] = {0, 0.25, 0.25, 0.37, 0.6};  // switches turn with time
            for (int32_t i = 0; i < numwires; i++)
                if (mesh || i == step) capindval[i] = (double)(rng() % 100) / 7.0;
            initmat(cplx ? 1 + rng() % 1000 : 0, mesh ? 1e-4 * step : ts[rng() % 5], cplx ? 0 : 1e-5);
            const int32_t n = nunk();
            const snap b = built();
            const int32_t code = solve(cplx);
            ways[solvehow]++;
            std::vector<sparsel> x(n);
            for (int32_t c = 0; c < n && !code; c++) x[c] = el[yh[c]];
            const snap r = refown(b, cplx, n);
            EXPECT_EQ(code, r.code) << it;
            double big = 0, err = 0;
            for (int32_t c = 0; c < n && !code; c++) {
                const sparsel &want = r.ent.at(r.rows[c]);
                big = fmax(big, hypot(want.re, want.im));
                err = fmax(err, hypot(x[c].re - want.re, x[c].im - want.im));
            }
            if (mesh) { ASSERT_LE(err, 1e-12 * big) << it; }
        }
        buildhold(0);
    }
    ordermin = ORDERMIN;
    for (int32_t how : ways) EXPECT_GT(how, 100);
}

// Every way the work of a solve is reused (replay, split replay, right-hand
// side only), with passes to spare between solves or not, gives the bits of
// the general solve in the other order too: the
// same sequences of systems as above, built and solved once held and reusing,
// once afresh, the same unknowns bit for bit.
TEST(Ordered, ReusedWorkGivesTheBitsOfAFreshSolve) {
    ordermin = 0;
    int32_t ways[3] = {0, 0, 0};
    for (int32_t it = 0; it < 120 && !HasFailure(); it++) {
        std::vector<sparsel> got[2];
        for (int32_t reuse = 1; reuse >= 0; reuse--) {
            std::mt19937 rng(900 + it);
            const int32_t cplx = it % 2;
            solvereuse = reuse;
            if (it % 3) {  // 1, 2 and 11 (a sweep, a run, edits): traces too large to reorder by levels
                randommesh(rng, it == 1 || it == 2 || it == 11 ? 30 : 3 + rng() % 8);
            } else {
                randomcircuit(rng, 30, 60);
            }
            const int32_t edits = it % 4 == 3;  // else as a transient run and a sweep go
            buildhold(!edits);
            for (int32_t step = 0; step < 10; step++) {
                for (int32_t i = 0; i < numwires; i++)
                    if (rng() % 2) capindval[i] = (double)(rng() % 100) / 7.0;
                static const double by[] = {1e-3, 0.2, 3, 1e3};  // pivots the edits shift
                for (int32_t k = 0; k < 4 && edits && numwires; k++) wire[rng() % numwires].value *= by[rng() % 4];
                initmat(cplx ? 1 + rng() % 1000 : 0, step < 5 ? 1e-4 * step : 0, cplx ? 0 : 1e-5);
                const int32_t code = solve(cplx);
                ways[solvehow] += reuse;
                if (step % 3 == 1) solveidle();  // a pass with time to spare
                for (int32_t c = 0; c < nunk(); c++) got[reuse].push_back(code ? sparsel{} : el[yh[c]]);
            }
            buildhold(0);
        }
        solvereuse = 1;
        ASSERT_EQ(got[0].size(), got[1].size());
        for (size_t k = 0; k < got[0].size(); k++) {
            ASSERT_TRUE(samebits(got[1][k].re, got[0][k].re) && samebits(got[1][k].im, got[0][k].im))
                << it << " unknown " << k;
        }
    }
    ordermin = ORDERMIN;
    for (int32_t how : ways) EXPECT_GT(how, 50);
}

// Going back to the structure before (an undo, a switch that flips back)
// takes the trace kept of it, in either order, with the bits of a fresh
// solve; a third structure pushes the oldest out.
TEST(Ordered, TheStructureBeforeIsTakenAgain) {
    static const int32_t out[] = {0, 1, 0, 1, 0, 2, 0, 1};  // resistor shorted: none, wire 4, wire 10
    static const int32_t full[] = {1, 1, 0, 0, 0, 1, 0, 1};
    for (int32_t order = 0; order < 2; order++) {
        ordermin = order ? 0 : ORDERMIN;
        std::vector<sparsel> got[2];
        for (int32_t reuse = 1; reuse >= 0; reuse--) {
            std::mt19937 rng(31);
            randommesh(rng, 6);
            ASSERT_TRUE(wire[4].element == 'R' && wire[10].element == 'R');
            solvereuse = reuse;
            for (int32_t k = 0; k < 8; k++) {
                wire[4].element = out[k] == 1 ? 'T' : 'R';
                wire[10].element = out[k] == 2 ? 'T' : 'R';
                initmat(0, 0, 0);
                ASSERT_EQ(solve(0), 0);
                EXPECT_TRUE(!reuse || (solvehow == SOLVEFULL) == full[k]) << order << " step " << k;
                for (int32_t c = 0; c < nunk(); c++) got[reuse].push_back(el[yh[c]]);
            }
        }
        solvereuse = 1;
        for (size_t k = 0; k < got[0].size(); k++) ASSERT_TRUE(samebits(got[1][k].re, got[0][k].re)) << order << " " << k;
    }
    ordermin = ORDERMIN;
}

// In the other order an X and an I carry zeros where an R has its node
// voltages, so a resistor taken out, turned into a capacitor and back keeps
// the structure at DC and its re-solve replays. An inductor (a short at DC:
// its zero diagonal moves the pivot) and the X after it eliminate in full,
// and so does the I (a right-hand side); the R after it takes the kept
// trace of the X. Every solve has the bits of a fresh one and the unknowns
// of the natural order to 1e-12 of the largest.
TEST(Ordered, AnElementOfTheSamePatternKeepsTheStructure) {
    static const char kinds[] = "XRCLXIRX";
    static const int32_t full[] = {1, 0, 0, 1, 1, 1, 0, 0};
    std::vector<sparsel> got[3];   // reusing, afresh, in natural order
    for (int32_t way = 0; way < 3; way++) {
        ordermin = way == 2 ? ORDERMIN : 0;
        solvereuse = way == 0;
        std::mt19937 rng(57);
        randommesh(rng, 7);
        ASSERT_EQ(wire[4].element, 'R');
        for (int32_t k = 0; k < 8; k++) {
            wire[4].element = kinds[k];
            initmat(0, 0, 0);
            ASSERT_EQ(solve(0), 0) << k;
            if (way == 0) { EXPECT_EQ(solvehow == SOLVEFULL, full[k]) << k; }
            for (int32_t c = 0; c < nunk(); c++) got[way].push_back(el[yh[c]]);
        }
    }
    solvereuse = 1;
    ordermin = ORDERMIN;
    double big = 0;
    for (const sparsel &x : got[2]) big = fmax(big, fabs(x.re));
    ASSERT_EQ(got[0].size(), got[2].size());
    for (size_t c = 0; c < got[0].size(); c++) {
        ASSERT_TRUE(samebits(got[0][c].re, got[1][c].re)) << c;
        ASSERT_NEAR(got[0][c].re, got[2][c].re, 1e-12 * big) << c;
    }
}

// === frequency batches ===
// Held complex sweeps solved up to BATCHMAX points at a time (a lane each)
// give every point the bits of its own fresh solve, whatever a batch meets:
// omega jumping decades so that a pivot moves in one lane (the batch turned
// down, each point solved alone), batches of one to BATCHMAX, natural and
// fill-reducing order; and the last lane leaves the store as the
// reference's solve of its build would, for the solves after.
TEST(Batch, LanesGiveTheBitsOfFreshSolves) {
    int32_t solved = 0, turned = 0;
    for (int32_t it = 0; it < 240 && !HasFailure(); it++) {
        const int32_t mesh = it % 3 == 2;
        ordermin = mesh && it % 2 ? 0 : ORDERMIN;
        std::vector<sparsel> got[2];
        for (int32_t reuse = 1; reuse >= 0 && !HasFailure(); reuse--) {
            std::mt19937 rng(4000 + it);
            solvereuse = reuse;
            if (mesh) {
                randommesh(rng, 2 + rng() % 6);
            } else {
                randomcircuit(rng, 8, 14);
            }
            const int32_t n = nunk();
            buildhold(1);
            double w = 1 + rng() % 5;
            for (int32_t step = 0; step < 16; step++) {
                const int32_t k = 1 + rng() % BATCHMAX;
                double ws[BATCHMAX];
                for (int32_t j = 0; j < k; j++)  // now and then decades away: another pivot
                    ws[j] = rng() % 8 ? (w *= 1.3) : pow(10.0, (int32_t)(rng() % 11) - 3);
                int32_t ok = k > 1 && batchready();
                snap b;
                for (int32_t j = 0; ok && j < k; j++) {
                    initmat(ws[j], 0, 0);
                    b = built();
                    ok = batchtake(j);
                }
                const int32_t tried = ok;
                if (ok && batchsolve(k)) {
                    solved++;
                    if (ordermin == ORDERMIN) {  // the store as the last lane's own solve leaves it
                        for (int32_t c = 0; c < n; c++) pivorder[c] = 3 * c;
                        snap f = take(0, elcntmax, n + 1, n), r = refown(b, 1, n);
                        f.ent.resize(std::min(f.ent.size(), r.ent.size()));
                        f.scratch = r.scratch;  // the scratch is not the reference's business here
                        expectsame(r, f, "last lane");
                    }
                    for (int32_t j = 0; j < k; j++)
                        for (int32_t c = 0; c < n; c++) {
                            sparsel x{0, 0, 0, 0};
                            batchx(j, c, &x.re, &x.im);
                            got[reuse].push_back(x);
                        }
                    continue;
                }
                turned += tried;
                for (int32_t j = 0; j < k; j++) {
                    initmat(ws[j], 0, 0);
                    const int32_t code = solve(1);
                    for (int32_t c = 0; c < n; c++) got[reuse].push_back(code ? sparsel{} : el[yh[c]]);
                }
            }
            buildhold(0);
        }
        solvereuse = 1;
        ASSERT_EQ(got[0].size(), got[1].size());
        for (size_t q = 0; q < got[0].size(); q++)
            ASSERT_TRUE(samebits(got[1][q].re, got[0][q].re) && samebits(got[1][q].im, got[0][q].im))
                << it << " unknown " << q;
    }
    ordermin = ORDERMIN;
    EXPECT_GT(solved, 500);  // most batches were solved as batches, and some turned down
    EXPECT_GT(turned, 10);
}
