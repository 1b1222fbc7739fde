// test_dccli.cpp: veltocli dc run as a program: the CSV of a solved circuit,
// the exit codes and messages of singular, empty and unreadable files.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>
#include <string>

struct dcrun {
    int code;
    std::string out, err;
};

static std::string slurp(const std::string &path) {
    std::string s;
    if (FILE *f = fopen(path.c_str(), "rb")) {
        for (int ch; (ch = getc(f)) != EOF;) s += (char)ch;
        fclose(f);
    }
    return s;
}

static dcrun rundc(const std::string &args) {
    const std::string o = "/tmp/velto_dc_" + std::to_string(getpid()) + ".out";
    const std::string e = "/tmp/velto_dc_" + std::to_string(getpid()) + ".err";
    const int st = system((std::string(VELTOCLI) + " dc " + args + " >" + o + " 2>" + e + " </dev/null").c_str());
    dcrun r{WIFEXITED(st) ? WEXITSTATUS(st) : -1, slurp(o), slurp(e)};
    unlink(o.c_str());
    unlink(e.c_str());
    return r;
}

// a circuit file from node lines "i,x,y,g" and wire lines "i,n1,n2,L,value,dep,"
static std::string vsmfile(const char *name, const char *nodes[], int nn, const char *wires[], int nw) {
    std::string s = "//VELTO version 12/2007\r\nNumNodes," + std::to_string(nn) + "\r\n";
    for (int i = 0; i < nn; i++) s += std::string(nodes[i]) + "\r\n";
    s += "NumWires," + std::to_string(nw) + "\r\n";
    for (int i = 0; i < nw; i++) s += std::string(wires[i]) + "\r\n";
    const std::string path = "/tmp/velto_dc_" + std::to_string(getpid()) + "_" + name + ".vsm";
    FILE *f = fopen(path.c_str(), "wb");
    fwrite(s.data(), 1, s.size(), f);
    fclose(f);
    return path;
}

TEST(Dccli, PrintsEveryNodeThenEveryWire) {
    const char *nodes[] = {"0,0,0,1", "1,0,0,0", "2,0,0,0"};
    const char *wires[] = {"0,0,1,V,10,0,", "1,1,2,R,1000,1,", "2,2,0,R,3000,2,"};
    const std::string f = vsmfile("divider", nodes, 3, wires, 3);
    dcrun r = rundc(f);
    unlink(f.c_str());
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "kind,index,value\nnode,0,0\nnode,1,10\nnode,2,7.5\n"
                     "wire,0,0.0025000000000000001\nwire,1,0.0025000000000000001\nwire,2,0.0025000000000000001\n");
    EXPECT_EQ(r.err, "");
}

TEST(Dccli, UnsolvableCircuitsExitThreeWithTheirReason) {
    const char *nodes[] = {"0,0,0,1", "1,0,0,0", "2,0,0,0"};
    const char *floating[] = {"0,0,1,V,1,0,", "1,1,0,R,1,1,"};
    const char *loop[] = {"0,0,1,V,1,0,", "1,0,1,V,2,1,"};
    const char *nocontrol[] = {"0,0,1,R,1,0,", "1,0,1,E,2,1,"};
    struct { const char *name; const char **wires; int nn, nw; const char *msg; } cases[] = {
        {"floating", floating, 3, 2, "singular: a node voltage is undetermined\n"},
        {"loop", loop, 2, 2, "singular: a wire current is undetermined\n"},
        {"nocontrol", nocontrol, 2, 2, "empty: nothing to solve\n"},
        {"empty", nullptr, 0, 0, "empty: nothing to solve\n"},
    };
    for (auto &c : cases) {
        const std::string f = vsmfile(c.name, nodes, c.nn, c.wires, c.nw);
        dcrun r = rundc(f);
        unlink(f.c_str());
        EXPECT_EQ(r.code, 3) << c.name;
        EXPECT_EQ(r.err, c.msg) << c.name;
        EXPECT_EQ(r.out, "") << c.name;
    }
}

TEST(Dccli, BadArgumentsAndUnreadableFilesExitTwo) {
    dcrun r = rundc("/nonexistent/velto/missing.vsm");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("/nonexistent/velto/missing.vsm"), std::string::npos) << r.err;
    r = rundc("");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("usage"), std::string::npos) << r.err;
}

TEST(Dccli, RepairedFileIsReportedAndSolved) {
    const char *nodes[] = {"0,0,0,1", "1,0,0,0"};
    const char *wires[] = {"0,0,1,V,2,0,", "1,1,7,R,1,1,", "2,1,0,R,4,2,"};
    const std::string f = vsmfile("repaired", nodes, 2, wires, 3);
    dcrun r = rundc(f);
    unlink(f.c_str());
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.err.find("repaired"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.rfind("kind,index,value\nnode,0,0\nnode,1,2\n", 0), 0u) << r.out;
}
