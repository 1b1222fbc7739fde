// bench_ui.cpp: one drawing pass of the schematic at 800 x 600: the buffer
// cleared and a 200-wire circuit of every element kind drawn with grid, node
// circles, solved values and moving dashes (menu closed). Target: under 2 ms.
// The whole main-loop pass of the program (headless frame) on the 200-wire
// circuit the browser test opens, in the browser test's 800 x 593: the
// native figure beside the page's. And an undo step on a 1000-wire circuit: the change noted as the pass
// notes it (the circuit's text), settled, undone and redone. Target: under
// 1 ms each. And the 100 x 100 mesh: its schematic's pass, and the
// program's pass while one of its nodes is dragged (target 16 ms).
#include <benchmark/benchmark.h>
#include <math.h>
#include <time.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>
#include <string>
#include <vector>
#include "tests/testcircuit.h"
#include "app/app.h"
#include "edit/edit.h"
#include "frame/headless.h"

enum { BW = 800, BH = 600, SIDE = 10 };  // buffer; nodes per lattice row and column

static double benchnow(void)
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// SIDE x SIDE nodes 72 by 56 px apart, every seventh grounded; wires right
// and down (180) and 20 diagonals, elements in turn; controlled sources
// watch wire 0
static void lattice(void)
{
    static const char kinds[] = "RLCVIEFGHSXT";
    tcclear();
    for (int32_t k = 0; k < SIDE * SIDE; k++) {
        tcnode(k % 7 == 0);
        node[k].x = 40 + 72 * (k % SIDE), node[k].y = 40 + 56 * (k / SIDE);
    }
    for (int32_t k = 0; k < SIDE * SIDE; k++) {
        int32_t x = k % SIDE, y = k / SIDE;
        char e = kinds[numwires % 12];
        if (x + 1 < SIDE) tcwire(k, k + 1, e, "1K", iscontrolled(e) ? 0 : OWNWIRE, e == 'C' ? "1" : "");
        if (y + 1 < SIDE) tcwire(k, k + SIDE, kinds[numwires % 12], "2.2K");
        if (x + 1 < SIDE && y + 1 < SIDE && (x + y) % 4 == 1) tcwire(k, k + SIDE + 1, 'R', "47");
    }
    for (int32_t w = 0; w < numwires; w++) dispi[w] = (w - 100) * 1e-4, wirenext[w] = 0;
    for (int32_t n = 0; n < numnodes; n++) dispv[n] = n * 0.125 - 3;
}

// the schematic's pass over the circuit in place, at BW x BH with the
// default settings, node curn under the mouse
static void schematicpasses(benchmark::State &st, int32_t curnode)
{
    std::vector<uint32_t> buf((size_t)BW * BH);
    gdd = tiletype{(intptr_t)buf.data(), BW * 4, BW, BH};
    colbits = 32, colbytes = 4, drawpixp = drawpix32;
    memcpy(vpal, ovpal, sizeof vpal);
    decodepictures();
    defaultopts(&vopts);
    vopts.usewingui = 0;
    matbad = 0, deltim = 1 / 60., curn = curnode;
    for (auto _ : st) {
        drawrectfill(&gdd, 0, 0, gdd.x, gdd.y, (int32_t)vpal[PAL_BLACK]);
        dcrender();
        numframes++;
        benchmark::DoNotOptimize(buf.data());
    }
    st.counters["wires"] = numwires;
    freepictures();
}

static void BM_SchematicPass(benchmark::State &st)
{
    lattice();
    schematicpasses(st, 5);
}
BENCHMARK(BM_SchematicPass)->Unit(benchmark::kMicrosecond);

// a 1000-wire resistor ladder (500 sections of series R and shunt R)
static void ladder(void)
{
    tcclear();
    int32_t prev = tcnode(1);
    for (int32_t k = 0; k < 500; k++) {
        const int32_t n = tcnode(0);
        tcwire(prev, n, 'R', "1000");
        tcwire(n, 0, 'R', "4.7E3");
        node[n].x = 16 + 32 * (k % 20), node[n].y = 16 + 32 * (k / 20);
        prev = n;
    }
}

// one edited value, as a change the history takes: note, settle
static void BM_UndoStep(benchmark::State &st)
{
    ladder();
    undoreset();
    int32_t k = 0;
    for (auto _ : st) {
        wiresetnumst(k % numwires, (k & 1) ? "2200" : "1000");
        size_t n;
        char *t = vsmtext(&n);
        undonote(t, n);
        undosettle();
        k++;
    }
    st.counters["wires"] = numwires;
}
BENCHMARK(BM_UndoStep)->Unit(benchmark::kMicrosecond);

// undo, then redo, of such a step
static void BM_UndoRedo(benchmark::State &st)
{
    ladder();
    undoreset();
    wiresetnumst(7, "2200");
    size_t n;
    char *t = vsmtext(&n);
    undonote(t, n);
    undosettle();
    for (auto _ : st) {
        undo();
        redo();
    }
    st.counters["wires"] = numwires;
}
BENCHMARK(BM_UndoRedo)->Unit(benchmark::kMicrosecond);

// === the whole program, headless ===
// started on file at size ("/800x593") with its settings in a folder of its
// own; 0 if it did not start
static char progdir[32];
static std::string progini;
static int32_t programstart(const char *file, const char *size)
{
    strcpy(progdir, "/tmp/velto-bench-XXXXXX");
    if (!mkdtemp(progdir)) return 0;
    progini = std::string(progdir) + "/velto.ini";
    veltoinioverride = progini.c_str();
    char *args[] = {(char *)"velto", (char *)file, (char *)size, nullptr};
    int32_t code;
    hl_reset();
    hl_maxpasses(1 << 30);
    return veltostart(3, args, &code);
}
// stopped, its settings folder removed, and the file written for it
static void programstop(const char *written = nullptr)
{
    veltostop();
    if (written) unlink(written);
    unlink(progini.c_str());
    rmdir(progdir);
}

// the program's pass, as the web page measures its own
static void BM_MainPassLattice(benchmark::State &st)
{
    if (!programstart(VELTO_SOURCE_DIR "/tests/data/lattice200.vsm", "/800x593")) return;
    for (int32_t i = 0; i < 60; i++) mainpass();
    for (auto _ : st) benchmark::DoNotOptimize(mainpass());
    st.counters["wires"] = numwires;
    programstop();
}
BENCHMARK(BM_MainPassLattice)->Unit(benchmark::kMicrosecond);

// a side x side RC mesh on a 64 px grid as a user pastes it together: 1k
// between neighbours, 1u from every node to a grounded node of its own, a
// source at the corner (30 000 wires at 100 x 100); solved, its schematic
// drawn at 800 x 600 with nothing changed between passes
static void pastedmesh(int32_t side)
{
    tcclear();
    for (int32_t k = 0; k < side * side; k++) {
        tcnode(0);
        node[k].x = 48 + 64 * (k % side), node[k].y = 48 + 64 * (k / side);
    }
    for (int32_t k = 0; k < side * side; k++) {
        const int32_t g = tcnode(1);
        node[g].x = node[k].x + 32, node[g].y = node[k].y + 32;
        if (k % side + 1 < side) tcwire(k, k + 1, 'R', "1000");
        if (k / side + 1 < side) tcwire(k, k + side, 'R', "1000");
        tcwire(k, g, 'C', "1E-6");
    }
    tcwire(numnodes - 1, 0, 'V', "1");
}

static void BM_MeshSchematicPass(benchmark::State &st)
{
    pastedmesh((int32_t)st.range(0));
    checknumwires(numwires + 1);
    for (int32_t w = 0; w < numwires; w++) dispi[w] = 1e-3, wirenext[w] = 0;
    for (int32_t n = 0; n < numnodes; n++) dispv[n] = 0.5;
    schematicpasses(st, -1);
}
BENCHMARK(BM_MeshSchematicPass)->Arg(100)->Unit(benchmark::kMillisecond);

// The program's pass on that mesh while a node is dragged a pixel a pass:
// the move re-solves (the matrix unchanged), notes the change for undo and
// draws.
static void BM_MeshNodeDrag(benchmark::State &st)
{
    const std::string file = "/tmp/velto-bench-mesh.vsm";
    pastedmesh((int32_t)st.range(0));
    size_t n;
    const char *text = vsmtext(&n);
    if (FILE *f = fopen(file.c_str(), "wb")) fwrite(text, 1, n, f), fclose(f);
    if (!programstart(file.c_str(), "/800x600")) return;
    for (int32_t i = 0; i < 10; i++) mainpass();
    int32_t x = node[0].x + isxoff, y = node[0].y + isyoff;
    hl_mouse(x, y), mainpass(), hl_button(1), mainpass();
    double slowest = 0;
    for (auto _ : st) {
        hl_mouse(++x, y);
        const double t0 = benchnow();
        benchmark::DoNotOptimize(mainpass());
        slowest = fmax(slowest, benchnow() - t0);
    }
    st.counters["moved_px"] = node[0].x - 48;
    st.counters["slowest_ms"] = slowest * 1000;
    programstop(file.c_str());
}
BENCHMARK(BM_MeshNodeDrag)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(60);
