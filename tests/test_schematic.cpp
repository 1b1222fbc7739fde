// test_schematic.cpp: the schematic as drawn: element geometry at its edges,
// ground direction, marching dashes, tiny values, degenerate and
// far-off geometry, golden frames of representative circuits (rewritten with
// VELTO_REGENERATE=1, reviewed in the diff), and end to end through the main
// loop: solved values on screen, splash then key hints, the red fade.
#include <math.h>
#include <stdlib.h>
#include <cmath>
#include <string>
#include <vector>
#include "image/image.h"
#include "tests/e2e.h"
#include "tests/testcircuit.h"

namespace {

enum { W = 480, H = 240, B = 4, GUARD = 0x7E7E7E7E };  // buffer, guard border around it
std::vector<uint32_t> buf;

uint32_t &at(int32_t x, int32_t y) { return buf[(size_t)(y + B) * (W + 2 * B) + x + B]; }

// palette index PAL_BLACK..PALSIZ - 1 of a pixel, -1 for none
int32_t pal(int32_t x, int32_t y)
{
    if (x < 0 || y < 0 || x >= W || y >= H) return -1;
    for (int32_t i = PAL_BLACK; i < PALSIZ; i++)
        if (vpal[i] == at(x, y)) return i;
    return -1;
}

struct pt {
    int32_t x, y;
};
std::vector<pt> lit(int32_t col)  // pixels of colour col; col -1: every non-black one
{
    std::vector<pt> v;
    for (int32_t y = 0; y < H; y++)
        for (int32_t x = 0; x < W; x++)
            if (col < 0 ? at(x, y) != 0 : pal(x, y) == col) v.push_back({x, y});
    return v;
}

bool guardintact()
{
    for (int32_t y = -B; y < H + B; y++)
        for (int32_t x = -B; x < W + B; x++)
            if ((x < 0 || y < 0 || x >= W || y >= H) && at(x, y) != GUARD) return false;
    return true;
}

int32_t nodeat(int32_t x, int32_t y, int32_t grounded = 0)
{
    checknumnodes(numnodes + 1);
    node[numnodes] = nodetype{x, y, (int8_t)grounded, 0};
    return numnodes++;
}

// A W x H target inside guard pixels; the settings of a fresh start without
// grid and node circles; zoom 1; nothing solved; the splash over.
struct Schematic : ::testing::Test {
    static void TearDownTestSuite() { freepictures(); }
    void SetUp() override {
        if (!font[1].f) decodepictures();
        buf.assign((size_t)(W + 2 * B) * (H + 2 * B), GUARD);
        gdd = tiletype{(intptr_t)&at(0, 0), (W + 2 * B) * 4, W, H};
        colbits = 32, colbytes = 4, drawpixp = drawpix32;
        memcpy(vpal, ovpal, sizeof vpal);
        tcclear();
        checknumwires(64), checknumnodes(64);
        memset(wirenext, 0, sizeof(int32_t) * numwiresmax);
        defaultopts(&vopts);
        vopts.usewingui = vopts.gridmode = vopts.showcircles = 0;
        fsscale = 1, fsxoff = fsyoff = 0, ilscale = isxoff = isyoff = 0;
        numframes = INT32_MIN + 1000, deltim = 0, backgroundcol = 0;
        matbad = -1, curn = grabrect = depwiremode = -1, drawwiremode = 0;
    }
    void render() {
        for (int32_t y = 0; y < H; y++)
            for (int32_t x = 0; x < W; x++) at(x, y) = 0;
        dcrender();
    }
};

// === element geometry ===

TEST_F(Schematic, ResistorOf400PixelsHasLongLeadsAndEightPeaksTenPixelsOff)
{
    struct { int32_t circles, first, last; } cases[] = {{0, 40, 439}, {1, 52, 428}};
    for (auto c : cases) {
        SCOPED_TRACE(c.circles);
        tcclear();
        tcwire(nodeat(40, 120), nodeat(440, 120), 'R', "");
        vopts.showcircles = c.circles;
        render();
        for (int32_t x = c.first; x <= c.last; x++) ASSERT_EQ(pal(x, 120) == 22, x < 200 || x >= 280) << x;
        EXPECT_NE(pal(c.first - 1, 120), 22);
        EXPECT_NE(pal(c.last + 1, 120), 22);
        int32_t x0 = W, x1 = 0, y0 = H, y1 = 0, peaks[2] = {0, 0};
        for (pt p : lit(17)) x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
        for (int32_t x = 0; x < W; x++)  // runs of lit pixels on the two extreme rows
            for (int32_t k = 0; k < 2; k++) peaks[k] += pal(x, k ? y1 : y0) == 17 && pal(x - 1, k ? y1 : y0) != 17;
        EXPECT_EQ(x0, 200); EXPECT_EQ(x1, 279); EXPECT_EQ(y0, 110); EXPECT_EQ(y1, 129);  // the far row is open
        EXPECT_EQ(peaks[0], 4); EXPECT_EQ(peaks[1], 4);
    }
}

// Dummy wires are grey, so every light red pixel belongs to the ground symbol.
// Two wires one way and one the other leave two equal free half turns: the
// symbol takes the first, never the "empty" gap between the twins.
TEST_F(Schematic, GroundSymbolPointsIntoTheWidestFreeSector)
{
    struct { std::vector<pt> ends; double ux, uy; } cases[] = {
        {{{340, 120}}, -1, 0},
        {{{340, 120}, {240, 20}}, -M_SQRT1_2, M_SQRT1_2},
        {{}, 0, 1},
        {{{340, 120}, {340, 120}, {140, 120}}, 0, 1}};
    for (auto &c : cases) {
        SCOPED_TRACE(c.ends.size());
        tcclear();
        int32_t g = nodeat(240, 120, 1);
        for (pt e : c.ends) tcwire(g, nodeat(e.x, e.y), 'X', "");
        render();
        double sx = 0, sy = 0;
        for (pt p : lit(22)) sx += p.x - 240, sy += p.y - 120;
        double l = hypot(sx, sy);
        ASSERT_GT(l, 0);
        EXPECT_GT((sx * c.ux + sy * c.uy) / l, 0.99);
    }
}

// === solved values ===

TEST_F(Schematic, DashesMarchOnePixelPerTickWithTheCurrent)
{
    struct { double amps; int32_t reversed, anim, shift; } cases[] = {
        {1e-3, 0, 1, 1}, {-1e-3, 0, 1, -1}, {1e-3, 1, 1, -1}, {1e-3, 0, 0, 0}, {5e-13, 0, 1, 0}};
    for (auto c : cases) {
        SCOPED_TRACE(c.amps * (c.reversed ? -1 : 1));
        tcclear();
        int32_t a = nodeat(40, 120), b = nodeat(240, 120);
        c.reversed ? tcwire(b, a, 'T', "") : tcwire(a, b, 'T', "");
        matbad = 0, dispi[0] = c.amps, vopts.showresults = 0, vopts.showanimation = c.anim;
        std::vector<int32_t> row[2];
        for (int32_t k = 0; k < 2; k++, numframes++) {
            render();
            for (int32_t x = 0; x < W; x++) row[k].push_back(pal(x, 120));
        }
        int32_t dashes = 0;
        for (int32_t x = 60; x < 220; x++) {
            dashes += row[0][x] == 25;
            EXPECT_EQ(row[1][x + c.shift] == 25, row[0][x] == 25) << x;
        }
        EXPECT_EQ(dashes > 0, c.shift != 0);
    }
}

TEST_F(Schematic, VoltsBelowAPicoShowZeroAndAmpsBelowAPicoNoText)
{
    tcwire(nodeat(40, 120), nodeat(240, 120), 'R', "1");
    matbad = 0, vopts.showanimation = 0;
    render();
    std::vector<uint32_t> zero = buf;
    struct { double v, i; int32_t same; } cases[] = {
        {5e-13, 0, 1}, {-9e-13, 0, 1}, {0, 5e-13, 1}, {0, -9e-13, 1}, {2e-12, 0, 0}, {0, -2e-12, 0}};
    for (auto c : cases) {
        dispv[0] = c.v, dispi[0] = c.i;
        render();
        EXPECT_EQ(buf == zero, c.same != 0) << c.v << " " << c.i;
    }
}

// === degenerate and far-off geometry ===

// Zero-length wires of every kind (marks, link and Bode input included) stay
// near their node; nodes 2^31 units away at zoom 8 draw within the buffer.
TEST_F(Schematic, DegenerateGeometryStaysNearItsNodesAndInsideTheBuffer)
{
    matbad = 0, vopts.showcircles = 1;
    for (const char *e = "RLCVIEFGHSXT"; *e; e++) {
        SCOPED_TRACE(*e);
        tcclear();
        int32_t p = nodeat(100, 100, 1), q = nodeat(300, 100);
        tcwire(q, q, 'X', "");
        ibodewire = tcwire(p, p, *e, "1", *e == 'S' || *e == 'F' ? ~0 : 0, "2");
        drawwiremode = 1, node[numnodes] = node[p];  // and the wire being drawn, to its loose end there
        wire[2].node1 = p, wire[2].node2 = numnodes, wire[2].element = *e, wire[2].depwire = 0;
        render();
        for (pt l : lit(-1)) ASSERT_TRUE(l.x >= 60 && l.x < 340 && l.y >= 60 && l.y < 140) << l.x << "," << l.y;
    }
    tcclear();
    drawwiremode = 0, matbad = -1, fsscale = 8;
    int32_t far[] = {nodeat(-INT32_MAX, 30, 1), nodeat(INT32_MAX, 30, 1), nodeat(30, INT32_MAX), nodeat(20, 10, 1)};
    for (const char *e = "RLCVIEFGHSXT"; *e; e++) tcwire(far[(*e) % 4], far[(*e + 1) % 4], *e, "1", 0, "1");
    render();
    circle(240, 120, 1e6, 25), circle(1e12, 0, 5, 25), circle(3, 3, 1e12, 25), circle(9, 9, 0.2, 24);
    EXPECT_EQ(lit(24).size(), 1u);
    EXPECT_TRUE(guardintact());
}

// === golden frames ===

// the representative circuits: passive elements (capacitors short and long,
// a bowed pair); sources across and down the screen, their signs and arrows,
// controls, initial conditions and a Bode input; ground symbols, bows and
// solved values
void scenepassive()
{
    vopts.showcircles = vopts.gridmode = 1;
    struct { int32_t x0, y0, x1, y1; char e; int32_t bow; } w[] = {
        {16, 24, 112, 24, 'R', 0}, {176, 24, 464, 24, 'R', 0}, {16, 80, 76, 80, 'C', 0},
        {140, 80, 260, 80, 'C', 0}, {300, 80, 464, 80, 'L', 0}, {16, 144, 256, 144, 'L', 0},
        {300, 136, 464, 216, 'R', 0}, {16, 208, 208, 208, 'T', 1}, {16, 208, 208, 208, 'R', -1},
        {240, 208, 400, 208, 'X', 0}};
    for (auto &c : w)  // putnode: one node for ends at one place
        wirenext[tcwire(putnode(c.x0, c.y0, 0, 0), putnode(c.x1, c.y1, 0, 0), c.e, c.e == 'C' ? "1E-6" : "47")] = c.bow;
}

void scenesources()
{
    vopts.showcircles = 1;
    int32_t n[12];
    for (int32_t k = 0; k < 12; k++) n[k] = nodeat(24 + 144 * (k % 4), 32 + 88 * (k / 4));
    ibodewire = tcwire(n[0], n[1], 'V', "5"), ibodeflip = 1;
    tcwire(n[1], n[2], 'I', "1"), tcwire(n[2], n[3], 'S', "0", 2), tcwire(n[8], n[9], 'S', "0", ~3);
    int32_t x = tcwire(n[4], n[5], 'X', ""), r = tcwire(n[6], n[7], 'R', "10");
    tcwire(n[5], n[9], 'E', "10", x), tcwire(n[7], n[11], 'F', "2", ~r);
    tcwire(n[9], n[10], 'C', "1E-6", OWNWIRE, "3"), tcwire(n[10], n[11], 'L', "1E-3", OWNWIRE, "-1");
}

void sceneresults()
{
    vopts.showcircles = 1, matbad = 0, numframes = INT32_MIN + 1236, curn = 2;  // bit 2: blinking
    int32_t g = nodeat(80, 200, 1), a = nodeat(80, 40), b = nodeat(320, 40), c = nodeat(320, 200, 1);
    tcwire(g, a, 'V', "10"), tcwire(a, b, 'R', "1K");
    wirenext[tcwire(b, c, 'R', "2K")] = 1, wirenext[tcwire(b, c, 'R', "2K")] = -1;
    tcwire(c, g, 'T', "");
    double v[] = {0, 10, 5e-13, 0}, i[] = {-0.01, 0.01, 0.005, 0.005, 0.01};
    for (int32_t k = 0; k < 4; k++) dispv[k] = v[k];
    for (int32_t k = 0; k < 5; k++) dispi[k] = i[k];
    node[a].selected = 1, grabrect = 0, grabx0 = 380, graby0 = 20, grabx1 = 460, graby1 = 120, depwiremode = 0;
}

TEST_F(Schematic, FramesMatchTheGoldenImages)
{
    struct { const char *name; void (*build)(void); } scenes[] = {
        {"passive", scenepassive}, {"sources", scenesources}, {"results", sceneresults}};
    for (auto s : scenes) {
        SCOPED_TRACE(s.name);
        SetUp();
        s.build();
        render();
        std::vector<uint32_t> got(W * H), want(W * H);
        for (int32_t y = 0; y < H; y++)
            for (int32_t x = 0; x < W; x++) got[y * W + x] = at(x, y) & 0xFFFFFF;
        std::string file = std::string(VELTO_SOURCE_DIR "/tests/data/golden/") + s.name + ".png";
        if (getenv("VELTO_REGENERATE")) {
            FILE *f = fopen(file.c_str(), "wb");
            ASSERT_TRUE(f && vpngwrite(f, got.data(), W * 4, W, H));
            fclose(f);
        }
        std::stringstream png;
        png << std::ifstream(file, std::ios::binary).rdbuf();
        std::string p = png.str();
        ASSERT_EQ(vprender(p.data(), (int32_t)p.size(), (intptr_t)want.data(), W * 4, W, H, 0, 0), 0);
        int32_t bad = 0, first = -1;
        for (int32_t k = 0; k < W * H; k++)
            if ((want[k] & 0xFFFFFF) != got[k]) bad++, first = first < 0 ? k : first;
        EXPECT_EQ(bad, 0) << "first at " << first % W << "," << first / W;
    }
}

}  // namespace

// === end to end through the main loop ===

TEST_F(E2E, SolvedVoltsAndAmpsReachTheSchematic)
{
    ASSERT_EQ(start({write("divider.vsm", DIVIDERFILE)}), 1);
    passes(2);
    ASSERT_EQ(matbad, 0);
    EXPECT_GT(countpal(234, 76, 246, 85, 24), 4);   // "5" on node 1 at (240, 80)
    // the source and the resistor join the same two nodes: the resistor (from
    // node 1 back to node 0) is bowed 12 px up
    EXPECT_GT(countpal(189, 65, 213, 73, 21), 10);  // ".005" a fifth along the resistor
    EXPECT_GT(countpal(132, 65, 156, 73, 25), 10);  // "1000" on its middle
}

TEST_F(E2E, EmptyCircuitShowsTheSplashForTwoSecondsThenTheKeyHints)
{
    ASSERT_EQ(start(), 1);
    vopts.gridmode = 0;
    auto splash = [&] { return countpal(316, 234, 485, 335, 17); };
    auto hints = [&] { return countpal(740, 0, 800, 16, 17); };
    passes(150);
    EXPECT_GT(splash(), 100); EXPECT_EQ(hints(), 0);
    EXPECT_GT(countpal(316, 234, 485, 335, 25), 10);  // the frame's dashes
    passes(20);
    EXPECT_EQ(splash(), 0); EXPECT_GT(hints(), 50);
}

// two sources in parallel: their currents are undetermined
TEST_F(E2E, UnsolvableCircuitFadesTheBackgroundToRedAndBack)
{
    std::string f = DIVIDERFILE;
    f.replace(f.find("1,1,0,R,1000,1,"), 15, "1,1,0,V,3,1,");
    ASSERT_EQ(start({write("parallel.vsm", f)}), 1);
    auto red = [&] { return (int32_t)(((const uint32_t *)hl_shown()->f)[601] >> 16 & 255); };
    int32_t last = 0;
    for (int32_t k = 0; k < 40; k++, last = red()) {
        passes();
        EXPECT_EQ(matbad, SOLVEWIRE);
        EXPECT_GE(red(), last);
    }
    EXPECT_GE(last, 0x5F);
    EXPECT_LE(last, 0x60);
    wire[1].element = 'R';
    recalc = 3;
    passes(30);
    EXPECT_EQ(red(), 0);
    EXPECT_EQ(backgroundcol, 0);
}
