// Circuit file: the exact bytes written, both header generations, both line
// ends, the time-scale rounding, saves that fail, and malformed files, which
// must load without harm with every repair counted.
#include "circuit/circuit.h"
#include <filesystem>
#include <fstream>
#include <glob.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const std::string H = "//VELTO version 12/2007\r\n";

namespace fs = std::filesystem;

std::string tmp(const char *name)
{
    static std::string dir;
    if (dir.empty()) {
        char t[] = "/tmp/velto-vsm-XXXXXX";
        dir = mkdtemp(t);
        atexit([] { fs::remove_all(dir); });
    }
    return dir + "/" + name;
}

std::string get(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

int32_t load(const std::string &bytes)  // bytes as the file in.vsm
{
    std::ofstream(tmp("in.vsm"), std::ios::binary) << bytes;
    return loadvsm(tmp("in.vsm").c_str());
}

// every index left by the loader names a real item and every text exists
void expectsound()
{
    for (int32_t i = 0; i < numwires; i++) {
        const wiretype &w = wire[i];
        int32_t d = w.depwire < 0 ? ~w.depwire : w.depwire;
        ASSERT_TRUE(w.node1 >= 0 && w.node1 < numnodes && w.node2 >= 0 && w.node2 < numnodes) << i;
        ASSERT_TRUE(d < numwires && w.numst && w.initst) << i;
    }
    ASSERT_TRUE(ibodewire >= -1 && ibodewire < numwires);
    ASSERT_TRUE(numnodes < numnodesmax && numwires < numwiresmax);
}

void addwire(int32_t a, int32_t b, char e, const char *v, int32_t dep, const char *init)
{
    int32_t i = numwires++;
    checknumwires(numwires + 1);
    wire[i].node1 = a, wire[i].node2 = b, wire[i].element = e, wire[i].depwire = dep;
    wiresetnumst(i, v), wiresetinitst(i, init);
}

}  // namespace

TEST(Vsmfile, SavesExactBytesAndLoadsThemBack)
{
    numnodes = numwires = 0;
    putnode(48, 80, 1, 0), putnode(240, 80, 0, 0), putnode(240, 176, 0, 0);
    addwire(0, 1, 'V', "5", 0, ""), addwire(1, 2, 'R', "", 1, ""), addwire(2, 0, 'C', "1E-6", 2, "2.5");
    addwire(0, 2, 'F', "1\n2", ~1, "A,B");  // a line break or comma must not split the record
    ibodewire = 0, ibodeflip = 1, transdefxsc = 0.0009765625;
    const std::string want = H + "NumNodes,3 //Form: Node#,ScreenX,ScreenY,Isgrounded(0/1)\r\n"
        "0,48,80,1\r\n1,240,80,0\r\n2,240,176,0\r\n"
        "NumWires,4 //Form: Wire#,Node1,Node2,Element,Value,DepWire(1sComp),InitCond\r\n"
        "0,0,1,V,5,0,\r\n1,1,2,R,0,1,\r\n2,2,0,C,1E-6,2,2.5\r\n3,0,2,F,1 2,-2,A;B\r\n"
        "Ibodewire,0 //>=0:Input Bode Wire,-1:Use Transient analysis\r\n"
        "Ibodeflip,1 //0:default, 1:flip +,-\r\n"
        "TransDefXsc,0.000976562 //Suggested default time scale for Transient analysis (seconds/pixel)\r\n";
    std::string a = tmp("a.vsm"), b = tmp("b.vsm");
    ASSERT_EQ(savevsm(a.c_str()), 1);
    EXPECT_EQ(get(a), want);
    EXPECT_STREQ(wire[1].numst, "0");
    ibodewire = -1, transdefxsc = 1, recalc = 0;
    ASSERT_EQ(loadvsm(a.c_str()), 1);
    EXPECT_EQ(vsmrepairs, 0);
    EXPECT_EQ(recalc, 3);  // solved anew
    EXPECT_EQ(ibodewire, 0);
    EXPECT_EQ(transdefxsc, 0.0009765625);
    EXPECT_DOUBLE_EQ(wire[2].value, 1e-6);
    ASSERT_EQ(savevsm(b.c_str()), 1);  // "1 2" was read as a value text, which drops blanks
    EXPECT_EQ(get(b), want.substr(0, want.find("1 2")) + "12" + want.substr(want.find("1 2") + 3));
    EXPECT_EQ(curfilename, b);
}

TEST(Vsmfile, FailedSaveLeavesPreviousFileAndNoTemporary)
{
    std::string a = tmp("keep.vsm");
    ASSERT_EQ(savevsm(a.c_str()), 1);
    std::string before = get(a);
    for (int32_t i = 0; i < 40; i++) addwire(0, 1, 'R', "1000", i, "");
    rlimit old, small;
    getrlimit(RLIMIT_FSIZE, &old);
    small = {64, old.rlim_max};  // the soft limit only, so it can be lifted again
    signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    int32_t r = savevsm(a.c_str());
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(get(a), before);
    EXPECT_EQ(savevsm(tmp("none/x.vsm").c_str()), 0);
    EXPECT_EQ(std::string(vsmerror()), "cannot write '" + tmp("none/x.vsm") + "': No such file or directory");
    EXPECT_EQ(curfilename, a);
    int32_t files = 0;
    for (auto &e : fs::directory_iterator(tmp(""))) files += e.path().extension() != ".vsm";
    EXPECT_EQ(files, 0);
}

TEST(Vsmfile, ReadsBothGenerationsAndBothLineEnds)
{
    for (int32_t old = 0; old < 2; old++)
        for (int32_t lf = 0; lf < 2; lf++) {
            std::string s = (old ? "//VELSIM circuit file: x\r\n" : H) +
                "NumNodes,2 //c\r\n0,48,80,1\r\n1,240,80,0\r\nNumWires,4 //c\r\n0,0,1,V,5,0,\r\n"
                "1,1,0,S,2,1,\r\n2,1,0,C,1E-6,-2147483646,\r\n3,1,0,r,((1),3,((\r\n";
            for (size_t p; lf && (p = s.find('\r')) != std::string::npos;) s.erase(p, 1);
            ASSERT_EQ(load(s), 1);
            EXPECT_EQ(vsmrepairs, 0);
            EXPECT_STREQ(wire[1].numst, old ? "T>2" : "2");  // an old switch value is its closing time
            EXPECT_EQ(wire[1].value, old ? 0.0 : 2.0);
            EXPECT_STREQ(wire[1].initst, "");
            EXPECT_EQ(wire[2].depwire, ~2);  // the sign bit set on index 2
            EXPECT_EQ(wire[3].element, 'r');
            EXPECT_STREQ(wire[3].numst, "ERROR: NOT ENOUGH ')'");
            EXPECT_STREQ(wire[3].initst, wire[3].numst);
        }
}

TEST(Vsmfile, RoundsTimeScaleToPowerOfTwoWithinTransientLimits)
{
    const double prev = 0.25, lo = 1.4901161193847656e-8, hi = 1048576;
    struct { const char *text; double want; int32_t repairs; } cases[] = {
        {"0.1", 0.125, 0}, {"0.011", 0.0078125, 0}, {"0.0234", 0.015625, 0}, {"1.5", 2, 0},
        {"1.4999 //c", 1, 0}, {"3e-9", lo, 1}, {"1e9", hi, 1}, {"0", prev, 1}, {"-0.5", prev, 1},
        {"nan", prev, 1}, {"", prev, 1}};
    for (auto c : cases) {
        transdefxsc = prev, ibodewire = -1;
        load(H + "NumNodes,0\r\nNumWires,0\r\nTransDefXsc," + c.text + "\r\n");
        EXPECT_EQ(transdefxsc, c.want) << c.text;
        EXPECT_EQ(vsmrepairs, c.repairs) << c.text;
    }
}

TEST(Vsmfile, MalformedFilesLoadWhatIsSoundAndCountRepairs)
{
    const std::string n2 = "NumNodes,2\r\n0,0,0,0\r\n1,32,0,0\r\n";
    struct { const char *name; std::string text; int32_t nodes, wires, repairs; } cases[] = {
        {"lines between blocks", H + "junk,1,2\r\nNumNodes,1\r\n0,0,0,0\r\n// a, b\r\nNumWires,0\r\n", 1, 0, 0},
        {"truncated", H + "NumNodes,3\r\n0,0,0,0\r\n1,32", 2, 0, 3},
        {"missing fields", H + n2 + "NumWires,1\r\n0,0,1,R\r\n", 2, 1, 1},
        {"counts too big", H + "NumNodes,5\r\n0,0,0,0\r\n1,32,0,0\r\nNumWires,9\r\n0,0,1,R,1,0,\r\n", 2, 1, 2},
        {"counts too small", H + "NumNodes,1\r\n0,0,0,0\r\n1,32,0,0\r\nNumWires,2\r\n0,0,1,R,1,0,\r\n1,0,0,R,1,1,\r\n", 1, 0, 2},
        {"bad references", H + n2 + "NumWires,5\r\n0,0,7,R,1,0,\r\n1,-1,0,R,1,1,\r\n2,0,1,E,1,0,\r\n"
                                    "3,1,0,S,0,-100,\r\n4,0,1,F,1,77,\r\nIbodewire,9\r\n", 2, 3, 6},
        {"absurd counts", H + "NumNodes,2147483647\r\n0,0,0,0\r\nNumWires,-4\r\n", 1, 0, 2},
        {"no final newline", H + "NumNodes,1\r\n0,16,16,1\r\nNumWires,0\r\nIbodeflip,1", 1, 0, 0},
        {"odd values", H + "NumNodes,2\r\n0,99999999999,0,2\r\n1,0,-50000000,256\r\nNumWires,1\r\n"
                           "0,0,1,\x01,1,0,\r\nIbodewire,\r\nIbodeflip,7\r\n", 2, 0, 5},
        {"binary", H + n2 + std::string("NumWires,3\r\n\xff,\0,1,R,(\0,9\r\n0,1,0,\x80,1,-1,\n1,0\0,1,S", 48) +
                   ",,,,7,-9,\r\r\n\0\0", 2, 1, 3},
        {"wire joining a node to itself", H + n2 + "NumWires,3\r\n0,1,1,V,5,0,\r\n1,0,1,R,1,1,\r\n"
                                                   "2,1,0,E,2,-2,\r\nIbodewire,1\r\n", 2, 2, 1},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        ibodewire = -1, ibodeflip = 0;
        ASSERT_EQ(load(c.text), 1);
        expectsound();
        EXPECT_EQ(numnodes, c.nodes);
        EXPECT_EQ(numwires, c.wires);
        EXPECT_EQ(vsmrepairs, c.repairs);
    }
    load(cases[8].text);
    EXPECT_EQ(node[0].x, 1 << 24);
    EXPECT_EQ(node[0].isgrounded, 1);
    EXPECT_EQ(node[1].isgrounded, 0);
    load(cases[6].text);
    EXPECT_LT(numnodesmax, 1 << 16);  // the absurd count reserved nothing
    load(cases[5].text);
    EXPECT_EQ(wire[0].depwire, 0);   // named a dropped wire
    EXPECT_EQ(wire[1].depwire, ~1);  // an inverted switch stays inverted
    load(cases[2].text);
    EXPECT_STREQ(wire[0].numst, "");
    load(cases[10].text);
    EXPECT_EQ(wire[1].depwire, ~0);  // the later wires moved up, their references with them
    EXPECT_EQ(ibodewire, 0);
}

// Only a text with a header line or a node or wire block is a circuit file:
// a picture opened by mistake, an empty file or plain prose is refused, says
// why, and leaves the circuit as it was.
TEST(Vsmfile, RefusesWhatIsNoCircuitFile)
{
    ASSERT_EQ(load(H + "NumNodes,1\r\n0,16,16,1\r\nNumWires,0\r\n"), 1);
    const std::string name = curfilename;
    struct { const char *name; std::string text; int32_t ok; } cases[] = {
        {"picture", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), 0},
        {"empty", "", 0},
        {"prose", "Dear reader,\nthis is a letter.\n", 0},
        {"header of another year", "//VELTO version 12/2009\r\n", 1},
        {"blocks without a header", "NumWires,0\n", 1},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.ok) {
            EXPECT_EQ(load(c.text), 0);
            EXPECT_EQ(numnodes, 1);
            EXPECT_EQ(curfilename, name);
            EXPECT_EQ(std::string(vsmerror()), "'" + tmp("in.vsm") + "' is not a circuit file");
        } else {
            EXPECT_EQ(load(c.text), 1);
            load(H + "NumNodes,1\r\n0,16,16,1\r\nNumWires,0\r\n");
        }
    }
}

TEST(Vsmfile, RepairMessageAndUnreadablePaths)
{
    load(H + "NumNodes,1\r\n0,0,0,0\r\nNumWires,0\r\n");
    EXPECT_STREQ(vsmrepairmsg(), "");
    vsmrepairs = 3;
    EXPECT_STREQ(vsmrepairmsg(), "circuit file repaired: 3 items fixed");
    std::string name = curfilename;
    EXPECT_EQ(loadvsm(tmp("missing.vsm").c_str()), 0);
    EXPECT_EQ(std::string(vsmerror()), "cannot read '" + tmp("missing.vsm") + "': No such file or directory");
    EXPECT_EQ(loadvsm(tmp("").c_str()), 0);  // a folder
    EXPECT_EQ(std::string(vsmerror()), "cannot read '" + tmp("") + "': Is a directory");
    EXPECT_EQ(numnodes, 1);
    EXPECT_EQ(curfilename, name);
}

// The examples are written exactly as the program writes circuits, so
// opening one and saving it changes no byte.
TEST(Vsmfile, ExamplesSaveUnchanged)
{
    glob_t g;
    ASSERT_EQ(glob(VELTO_SOURCE_DIR "/examples/*.vsm", 0, nullptr, &g), 0);
    for (size_t k = 0; k < g.gl_pathc; k++) {
        SCOPED_TRACE(g.gl_pathv[k]);
        ASSERT_EQ(loadvsm(g.gl_pathv[k]), 1);
        ASSERT_EQ(savevsm(tmp("ex.vsm").c_str()), 1);
        EXPECT_EQ(get(tmp("ex.vsm")), get(g.gl_pathv[k]));
    }
    globfree(&g);
}

// The selection as a circuit text pastes back as a copy: the same values,
// letters, grounding and controls among the copied wires, renumbered after
// what is there; a control outside the selection is dropped; exactly the
// pasted nodes end selected. Text that is no circuit changes nothing.
TEST(Vsmfile, SelectionCopiesAndPastesAsNewNodesAndWires)
{
    numnodes = numwires = 0;
    putnode(16, 16, 1, 0), putnode(48, 16, 0, 0), putnode(80, 16, 0, 0), putnode(112, 16, 0, 0);
    addwire(0, 1, 'V', "5", 0, ""), addwire(1, 2, 'X', "0", 1, ""), addwire(2, 3, 'E', "10", ~1, "");
    addwire(3, 0, 'F', "2", 0, ""), addwire(1, 2, 'C', "1E-6", 4, "0.5");
    for (int32_t i = 1; i < 4; i++) node[i].selected = 1;
    ibodewire = 0;
    size_t n;
    char *t = vsmselectiontext(&n);
    const std::string text(t, n);
    free(t);
    EXPECT_NE(text.find("NumNodes,3 "), std::string::npos);
    EXPECT_NE(text.find("NumWires,3 "), std::string::npos);  // X, E and C: both ends selected
    EXPECT_NE(text.find("Ibodewire,-1 "), std::string::npos);
    ASSERT_EQ(vsmpaste(text.data(), text.size()), 4);
    ASSERT_EQ(numnodes, 7);
    ASSERT_EQ(numwires, 8);
    for (int32_t i = 0; i < 7; i++) EXPECT_EQ(node[i].selected, i >= 4) << i;
    const struct { int32_t i, n1, n2; char e; const char *v, *init; int32_t dep; } want[] = {
        {5, 4, 5, 'X', "0", "", 5}, {6, 5, 6, 'E', "10", "", ~5}, {7, 4, 5, 'C', "1E-6", "0.5", 7}};
    for (auto w : want) {
        EXPECT_EQ(wire[w.i].node1, w.n1) << w.i;
        EXPECT_EQ(wire[w.i].node2, w.n2) << w.i;
        EXPECT_EQ(wire[w.i].element, w.e) << w.i;
        EXPECT_STREQ(wire[w.i].numst, w.v) << w.i;
        EXPECT_STREQ(wire[w.i].initst, w.init) << w.i;
        EXPECT_EQ(wire[w.i].depwire, w.dep) << w.i;
    }
    EXPECT_EQ(ibodewire, 0);  // the circuit's own input stays
    for (const char *junk : {"", "hello\nworld", "\x89PNG\r\n"}) EXPECT_EQ(vsmpaste(junk, strlen(junk)), -1);
    EXPECT_EQ(numwires, 8);
}

// A field reads from the program's own text as it read from the file: a
// carriage return inside it (a line edited by hand) is dropped, and a text
// with unbalanced parentheses stays the message saying so.
TEST(Vsmfile, FieldsReadBackFromTheirOwnTextUnchanged)
{
    const struct { const char *record, *numst, *initst; } cases[] = {
        {"C,1E\r-6,0,2\r\b1", "1E-6", "2\b1"},
        {"R,-3)*5,0,(1", "ERROR: TOO MANY ')'", "ERROR: NOT ENOUGH ')'"},
    };
    for (auto &c : cases) {
        std::string text = "NumNodes,2\r\n0,16,16,1\r\n1,48,16,0\r\nNumWires,1\r\n0,0,1,";
        text += c.record + std::string("\r\n");
        for (int32_t round = 0; round < 2; round++) {
            ASSERT_EQ(vsmread(text.data(), text.size()), 1);
            EXPECT_STREQ(wire[0].numst, c.numst) << round;
            EXPECT_STREQ(wire[0].initst, c.initst) << round;
            size_t n;
            char *t = vsmtext(&n);
            text.assign(t, n);
            free(t);
        }
    }
}

// Indices at the top of the range pasted after existing parts stay out of
// range (no wrap-around): the wire naming such a node is dropped, a control
// naming such a wire is repaired.
TEST(Vsmfile, PastedIndicesNearTheLimitAreRepairedNotWrapped)
{
    const char base[] = "NumNodes,2\r\n0,16,16,1\r\n1,48,16,0\r\nNumWires,1\r\n0,0,1,R,1,0,\r\n";
    ASSERT_EQ(vsmread(base, sizeof base - 1), 1);
    const char frag[] = "NumNodes,2\r\n0,16,16,1\r\n1,48,16,0\r\nNumWires,2\r\n"
                        "0,0,2147483647,R,1,0,\r\n1,0,1,E,2,2147483647,\r\n";
    ASSERT_EQ(vsmpaste(frag, sizeof frag - 1), 2);
    EXPECT_GT(vsmrepairs, 0);
    ASSERT_EQ(numwires, 2);
    EXPECT_EQ(wire[1].node1, 2);
    EXPECT_EQ(wire[1].node2, 3);
    EXPECT_TRUE(wire[1].depwire >= -numwires - 1 && wire[1].depwire < numwires) << wire[1].depwire;
}
