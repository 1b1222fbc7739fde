// Circuit file: the exact bytes written, the time-scale rounding, saves that
// fail, malformed files, which must load without harm with every repair
// counted, and the selection copied and pasted.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include "circuit/circuit.h"
#include "tests/testcircuit.h"

namespace {

const std::string H = "//VELTO version 12/2007\r\n";

namespace fs = std::filesystem;

int32_t load(const std::string &bytes)  // bytes as the file in.vsm
{
    std::ofstream(tctmp("in.vsm"), std::ios::binary) << bytes;
    return loadvsm(tctmp("in.vsm").c_str());
}

}  // namespace

TEST(Vsmfile, SavesExactBytesAndLoadsThemBack)
{
    numnodes = numwires = 0;
    putnode(48, 80, 1, 0), putnode(240, 80, 0, 0), putnode(240, 176, 0, 0);
    tcwire(0, 1, 'V', "5", 0, ""), tcwire(1, 2, 'R', "", 1, ""), tcwire(2, 0, 'C', "1E-6", 2, "2.5");
    tcwire(0, 2, 'F', "1\n2", ~1, "A,B");  // a line break or comma must not split the record
    ibodewire = 0, ibodeflip = 1, transdefxsc = 0.0009765625;
    const std::string want = H + "NumNodes,3 //Form: Node#,ScreenX,ScreenY,Isgrounded(0/1)\r\n"
        "0,48,80,1\r\n1,240,80,0\r\n2,240,176,0\r\n"
        "NumWires,4 //Form: Wire#,Node1,Node2,Element,Value,DepWire(1sComp),InitCond\r\n"
        "0,0,1,V,5,0,\r\n1,1,2,R,0,1,\r\n2,2,0,C,1E-6,2,2.5\r\n3,0,2,F,1 2,-2,A;B\r\n"
        "Ibodewire,0 //>=0:Input Bode Wire,-1:Use Transient analysis\r\n"
        "Ibodeflip,1 //0:default, 1:flip +,-\r\n"
        "TransDefXsc,0.000976562 //Suggested default time scale for Transient analysis (seconds/pixel)\r\n";
    std::string a = tctmp("a.vsm"), b = tctmp("b.vsm");
    ASSERT_EQ(savevsm(a.c_str()), 1);
    EXPECT_EQ(tcread(a), want);
    EXPECT_STREQ(wire[1].numst, "0");
    ibodewire = -1, transdefxsc = 1, recalc = 0;
    ASSERT_EQ(loadvsm(a.c_str()), 1);
    EXPECT_EQ(vsmrepairs, 0);
    EXPECT_EQ(recalc, 3);  // solved anew
    EXPECT_EQ(ibodewire, 0);
    EXPECT_EQ(transdefxsc, 0.0009765625);
    EXPECT_DOUBLE_EQ(wire[2].value, 1e-6);
    ASSERT_EQ(savevsm(b.c_str()), 1);  // "1 2" was read as a value text, which drops blanks
    EXPECT_EQ(tcread(b), want.substr(0, want.find("1 2")) + "12" + want.substr(want.find("1 2") + 3));
    EXPECT_EQ(curfilename, b);
}

TEST(Vsmfile, FailedSaveLeavesPreviousFileAndNoTemporary)
{
    std::string a = tctmp("keep.vsm");
    ASSERT_EQ(savevsm(a.c_str()), 1);
    std::string before = tcread(a);
    for (int32_t i = 0; i < 40; i++) tcwire(0, 1, 'R', "1000", i, "");
    EXPECT_EQ(tccapped(64, [&] { return savevsm(a.c_str()); }), 0);
    EXPECT_EQ(tcread(a), before);
    EXPECT_EQ(savevsm(tctmp("none/x.vsm").c_str()), 0);
    EXPECT_EQ(std::string(vsmerror()), "cannot write '" + tctmp("none/x.vsm") + "': No such file or directory");
    EXPECT_EQ(curfilename, a);
    int32_t files = 0;
    for (auto &e : fs::directory_iterator(tctmp(""))) files += e.path().extension() != ".vsm";
    EXPECT_EQ(files, 0);
}

// What cannot be a circuit file is refused at once, saying why, and the
// circuit stays: a folder, a device, a pipe nothing writes to (which must
// not hold the program: the alarm ends the test if it does); a save to one
// is refused too.
TEST(Vsmfile, RefusesFoldersDevicesAndPipesWithoutWaiting)
{
    numnodes = numwires = 0;
    putnode(48, 80, 1, 0);
    const std::string pipe = tctmp("pipe.vsm");
    unlink(pipe.c_str());
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    alarm(10);
    const struct { std::string path, why; } cases[] = {
        {tctmp(""), "Is a directory"}, {"/dev/zero", "not a regular file"}, {pipe, "not a regular file"}};
    for (auto &c : cases) {
        EXPECT_EQ(loadvsm(c.path.c_str()), 0) << c.path;
        EXPECT_EQ(std::string(vsmerror()), "cannot read '" + c.path + "': " + c.why);
        EXPECT_EQ(numnodes, 1);
    }
    // nor is one written over: a save would rename a file over the pipe (a
    // device is left out here: a fault would replace it, as root)
    for (auto &c : {cases[0], cases[2]}) {
        EXPECT_EQ(savevsm(c.path.c_str()), 0) << c.path;
        EXPECT_EQ(std::string(vsmerror()), "cannot write '" + c.path + "': " + c.why);
    }
    struct stat st;
    EXPECT_TRUE(stat(pipe.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    alarm(0);
    unlink(pipe.c_str());
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
        ASSERT_TRUE(circuitsound());  // every index names a real item, every text exists
        ASSERT_TRUE(numnodes < numnodesmax && numwires < numwiresmax);  // a spare slot is left
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

// Values read a number's suffix as the value box does; letters a number cannot
// carry are shown as the fault, in place of the text, as a parenthesis fault is.
TEST(Vsmfile, ValuesReadSuffixesOrShowTheFault)
{
    ASSERT_EQ(load(H + "NumNodes,2\r\n0,0,0,1\r\n1,32,0,0\r\nNumWires,3\r\n0,0,1,R,10k,0,\r\n"
                       "1,0,1,C,100nF,1,1m\r\n2,0,1,R,10q,2,\r\n"), 1);
    EXPECT_STREQ(wire[0].numst, "10K");
    EXPECT_EQ(wire[0].value, 1e4);
    EXPECT_DOUBLE_EQ(wire[1].value, 1e-7);
    EXPECT_STREQ(wire[1].initst, "1M");
    EXPECT_STREQ(wire[2].numst, "ERROR: UNKNOWN SUFFIX");
}

// The selection as a circuit text pastes back as a copy: the same values,
// letters, grounding and controls among the copied wires, renumbered after
// what is there; a control outside the selection is dropped; exactly the
// pasted nodes end selected. Text that is no circuit changes nothing.
TEST(Vsmfile, SelectionCopiesAndPastesAsNewNodesAndWires)
{
    numnodes = numwires = 0;
    putnode(16, 16, 1, 0), putnode(48, 16, 0, 0), putnode(80, 16, 0, 0), putnode(112, 16, 0, 0);
    tcwire(0, 1, 'V', "5", 0, ""), tcwire(1, 2, 'X', "0", 1, ""), tcwire(2, 3, 'E', "10", ~1, "");
    tcwire(3, 0, 'F', "2", 0, ""), tcwire(1, 2, 'C', "1E-6", 4, "0.5");
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
