// test_diagnose.cpp: why a DC operating point cannot be solved: the sentence,
// the nodes and wires it names, and the code to believe, for every structure
// that makes the equations singular whatever the values; a circuit that
// rounding let through is caught, a sound one keeps its solution; generated
// circuits against their exact rational solution.
#include <gmpxx.h>
#include <gtest/gtest.h>
#include <float.h>
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <algorithm>
#include <string>
#include <vector>
#include "tests/testcircuit.h"

namespace {

struct dcres {
    int32_t code;
    std::string text;
    std::vector<int> nodes, wires;
};

dcres dc(const char *circuit) {
    tcbuild(circuit);
    dcres r;
    r.code = dcsolve();
    r.text = whytext;
    for (int i = 0; i < numnodes; i++)
        if (whynode[i]) r.nodes.push_back(i);
    for (int i = 0; i < numwires; i++)
        if (whywire[i]) r.wires.push_back(i);
    return r;
}

}  // namespace

TEST(Diagnose, NamesTheStructureThatMakesTheEquationsSingular) {
    typedef std::vector<int> v;
    const struct {
        const char *circuit;
        int32_t code;
        const char *text;
        v nodes, wires;
    } cases[] = {
        {"g... V01:5 R12:1000 C20:1E-6", SOLVENODE, "Node 3 floats: nothing ties its voltage to ground", {3}, {}},
        {"g.... V01:1 R10:1 R23:1 X34:1", SOLVENODE, "Nodes 2, 3 and 4 float: nothing ties their voltages to ground",
         {2, 3, 4}, {}},
        {"g. V01:1 R10:1 V01:2", SOLVEWIRE,
         "Wires 0 and 2 form a loop of voltage sources: the current around it is undetermined", {}, {0, 2}},
        {"g.. V01:1 T12:1 L20:1E-3 R10:5", SOLVEWIRE,
         "Wires 0, 1 and 2 form a loop of voltage sources, connections and inductors: the current around it is "
         "undetermined",
         {}, {0, 1, 2}},
        {"gg. R02:1 T01:1 R12:1", SOLVEWIRE,  // both ends grounded: a loop through ground
         "Wire 1 forms a loop of connections: the current around it is undetermined", {}, {1}},
        {"g.. V01:1 R10:1 I12:1E-3 C20:1E-6", SOLVENODE,
         "Wire 2 drives current into node 2, which has no other way out", {2}, {2}},
        {"g. E01:1 R10:1", SOLVEEMPTY, "Wire 0 (E) has no controlling wire: drag from it to the wire it follows", {},
         {0}},
        {"g. R01:1 E01:1@0", SOLVENODE, "The equations are singular: a node voltage is undetermined", {}, {}},
        {"g. V01:1 R10:0", SOLVEWIRE,  // a resistor of 0 ohms is a short
         "Wires 0 and 1 form a loop of voltage sources and connections: the current around it is undetermined", {},
         {0, 1}},
    };
    for (const auto &k : cases) {
        const dcres r = dc(k.circuit);
        EXPECT_EQ(r.code, k.code) << k.circuit;
        EXPECT_EQ(r.text, k.text) << k.circuit;
        EXPECT_EQ(r.nodes, k.nodes) << k.circuit;
        EXPECT_EQ(r.wires, k.wires) << k.circuit;
    }
}

// A floating group of resistors "solves" by rounding with absurd voltages;
// the structure says what the solver missed.
TEST(Diagnose, CatchesWhatRoundingLetThrough) {
    tcbuild("g..... V01:1 R10:1 R24:0.01 R54:2.2E-3 R34:13 V42:0.3 R52:0.3");
    initmat(0, 0, 0);
    ASSERT_EQ(smatsolve_real(yh, el, elcnt, pivorder, numwires + numnodes), SOLVED);  // what the solver believes
    const dcres r = dc("g..... V01:1 R10:1 R24:0.01 R54:2.2E-3 R34:13 V42:0.3 R52:0.3");
    EXPECT_EQ(r.code, SOLVENODE);
    EXPECT_EQ(r.text, "Nodes 2, 3, 4 and 5 float: nothing ties their voltages to ground");
}

TEST(Diagnose, SoundCircuitsKeepTheirSolution) {
    for (const char *c : {"g.. V01:5 R12:1000 C20:1E-6", "g. I01:1 R10:1", "g... V01:1 R12:1 E30:1E8@~1 R32:1",
                          "", "g",
                          "g.. R10:1E6 T20:1 T12:1 H12:-0.5@~2",            // H follows the loop's current
                          "g.. V01:1 R10:1 C12:1E-6 G20:1@4 X20:0"}) {      // G follows node 2's voltage
        const dcres r = dc(c);
        EXPECT_EQ(r.code, *c ? SOLVED : SOLVEEMPTY) << c;
        EXPECT_EQ(r.text, "") << c;
    }
}

// === generated circuits against the exact solution ===
// Random connected networks of every element kind with values across the
// ranges users draw (1 mOhm .. 1 MOhm, sources up to 1 kV and 1 kA, gains up
// to 1e8). The system the program builds is solved again in exact rational
// arithmetic: where it is singular the program must say so, where it is not
// the program's solution must match it. Then the same circuits with a defect
// made on purpose: a floating part, a loop of sources, a current-source cut.

namespace {

double pick(const double *v, int n) { return v[rand() % n]; }

// a value text for the letter, from the ranges above
std::string randomvalue(char letter) {
    static const double ohms[] = {1E-3, 4.7E-2, 1, 2.2, 10, 47, 330, 1000, 4700, 1E5, 1E6};
    static const double volts[] = {-1000, -12, -1, 0.5, 1, 5, 230, 1000};
    static const double amps[] = {-1000, -2, -1E-3, 1E-3, 0.25, 3, 1000};
    static const double gains[] = {-2, -0.5, 1, 10, 100, 1E8};
    char b[32];
    double v = 1;
    switch (letter) {
    case 'R': case 'C': case 'L': v = pick(ohms, 11); break;
    case 'V': v = pick(volts, 8); break;
    case 'I': v = pick(amps, 7); break;
    case 'S': v = rand() % 2; break;
    case 'E': case 'F': case 'G': case 'H': v = pick(gains, 6); break;
    }
    snprintf(b, sizeof b, "%.17g", v);
    return b;
}

// n nodes (0 grounded, sometimes another), a spanning tree of wires that
// carry current at DC (no loop of sources can form on a tree) and a few
// more of any kind; controlled sources follow an earlier wire, sometimes
// flipped
void randomcircuit(int n, int extra) {
    static const char tree[] = "RRRRVVEHTL", any[] = "RRRRVIIEFGHSXTCL";
    tcclear();
    for (int i = 0; i < n; i++) tcnode(i == 0 || rand() % 6 == 0);
    for (int k = 1; k < n + extra; k++) {
        const int a = k < n ? k : rand() % n, b = k < n ? rand() % k : rand() % n;
        if (a == b) continue;
        char e = k < n ? tree[rand() % (sizeof tree - 1)] : any[rand() % (sizeof any - 1)];
        if (iscontrolled(e) && numwires == 0) e = 'R';
        const int dep = iscontrolled(e) ? (rand() % 2 ? rand() % numwires : ~(rand() % numwires)) : OWNWIRE;
        const int flip = rand() % 2;
        tcwire(flip ? a : b, flip ? b : a, e, randomvalue(e).c_str(), dep);
    }
}

// The built system solved exactly, with its condition number (infinity
// norm) as a double; 0 when it is singular. Gauss-Jordan on [A | b | I].
int exactsolve(std::vector<mpq_class> *x, double *cond) {
    const int n = numwires + numnodes, w = 2 * n + 1;
    std::vector<std::vector<mpq_class>> a(n, std::vector<mpq_class>(w));
    double anorm = 0;
    for (int r = 0; r < n; r++) {
        double row = 0;
        for (int k = yh[r]; k; k = el[k].next) {
            a[r][el[k].col] = el[k].re;  // a double is an exact rational
            if (el[k].col < n) row += fabs(el[k].re);
        }
        a[r][n + 1 + r] = 1;
        anorm = std::max(anorm, row);
    }
    for (int c = 0; c < n; c++) {
        int p = c;
        while (p < n && a[p][c] == 0) p++;
        if (p == n) return 0;
        std::swap(a[p], a[c]);
        const mpq_class d = a[c][c];
        for (int j = c; j < w; j++) a[c][j] /= d;
        for (int r = 0; r < n; r++)
            if (r != c && a[r][c] != 0) {
                const mpq_class f = a[r][c];
                for (int j = c; j < w; j++) a[r][j] -= f * a[c][j];
            }
    }
    double inorm = 0;
    x->resize(n);
    for (int r = 0; r < n; r++) {
        (*x)[r] = a[r][n];
        double row = 0;
        for (int j = n + 1; j < w; j++) row += fabs(a[r][j].get_d());
        inorm = std::max(inorm, row);
    }
    *cond = anorm * inorm;
    return 1;
}

// The program's verdict against the exact one. A system singular in exact
// arithmetic must be reported singular. One that is not must be solved to
// within what its condition allows, unless it is so near singular (condition
// above 1e12) that rounding decides either way. *solved counts solutions.
void compare(const std::string &what, int *solved) {
    initmat(0, 0, 0);
    std::vector<mpq_class> x;
    double cond = 0;
    const int exact = exactsolve(&x, &cond);
    initmat(0, 0, 0);
    smatsolve_real(yh, el, elcnt, pivorder, numwires + numnodes);
    std::vector<double> before(numwires + numnodes);
    for (int i = 0; i < numwires + numnodes; i++) before[i] = el[yh[i]].re;
    const int32_t code = dcsolve();
    if (!exact) {
        EXPECT_NE(code, SOLVED) << what << ": singular, yet solved";
        return;
    }
    if (cond > 1e12) return;
    ASSERT_EQ(code, SOLVED) << what << " (condition " << cond << "): " << whytext;
    for (int i = 0; i < numwires + numnodes; i++)  // the check changes no bit of the plain solve
        ASSERT_EQ(memcmp(&before[i], &el[yh[i]].re, sizeof(double)), 0) << what << ": unknown " << i;
    double scale = 0, err = 0;
    for (const mpq_class &v : x) scale = std::max(scale, fabs(v.get_d()));
    for (int i = 0; i < numwires + numnodes; i++) err = std::max(err, fabs(el[yh[i]].re - x[i].get_d()));
    EXPECT_LE(err, 100 * cond * DBL_EPSILON * scale) << what << " (condition " << cond << ")";
    ++*solved;
}

std::string describe(int seed, const char *defect) {
    return "seed " + std::to_string(seed) + defect;
}

}  // namespace

TEST(Diagnose, GeneratedCircuitsAgreeWithTheExactSolution) {
    int solved = 0, circuits = 0;
    for (int seed = 0; seed < 300; seed++) {
        srand(seed);
        randomcircuit(3 + rand() % 6, rand() % 5);
        circuits++;
        compare(describe(seed, ""), &solved);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(solved, circuits / 3) << "most generated circuits should be solvable";
}

TEST(Diagnose, DefectsMadeOnPurposeAreReportedSingular) {
    for (int seed = 0; seed < 100; seed++) {
        srand(1000 + seed);
        randomcircuit(3 + rand() % 5, rand() % 3);
        const int n = numnodes, a = 1 + rand() % (n - 1);
        int solved = 0;
        switch (seed % 3) {
        case 0: {  // a part reached only through a capacitor
            const int f = tcnode(0), g = tcnode(0);
            tcwire(a, f, 'C', "1E-6");
            tcwire(f, g, 'R', randomvalue('R').c_str());
            compare(describe(seed, " with a floating part"), &solved);
            break;
        }
        case 1:  // a voltage source across a connection
            tcwire(a, 0, 'T', "1");
            tcwire(a, 0, 'V', randomvalue('V').c_str());
            compare(describe(seed, " with a loop of sources"), &solved);
            break;
        default: {  // a node fed by a current source and left by a capacitor
            const int f = tcnode(0);
            tcwire(a, f, 'I', randomvalue('I').c_str());
            tcwire(f, 0, 'C', "1E-6");
            compare(describe(seed, " with a current-source cut"), &solved);
        }
        }
        EXPECT_EQ(solved, 0) << "seed " << seed << ": the defect did not make the system singular";
        if (HasFatalFailure()) return;
    }
}
