// test_cli.cpp: veltocli tran, ac and spice run as a program: argument errors,
// exit codes, output that equals the in-process computation, and the SPICE
// netlist checked against ngspice where it is installed.
#include <gtest/gtest.h>
#include <dirent.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>
#include <algorithm>
#include <complex>
#include <map>
#include <string>
#include <vector>
#include "tranbode.h"

namespace {

struct runres {
    int code;
    std::string out, err;
};

std::string tmpdirname;

void removetmpdir(void) { system(("rm -rf " + tmpdirname).c_str()); }

std::string tmpdir(void) {
    if (tmpdirname.empty()) {
        char t[] = "/tmp/velto_tranbode_XXXXXX";
        if (!mkdtemp(t)) return "/tmp";
        tmpdirname = t;
        atexit(removetmpdir);
    }
    return tmpdirname;
}

std::string slurp(const std::string &path) {
    std::string s;
    if (FILE *f = fopen(path.c_str(), "rb")) {
        for (int ch; (ch = getc(f)) != EOF;) s += (char)ch;
        fclose(f);
    }
    return s;
}

runres run(const std::string &cmd) {
    const std::string o = tmpdir() + "/out.txt", e = tmpdir() + "/err.txt";
    const int st = system((cmd + " >" + o + " 2>" + e + " </dev/null").c_str());
    return runres{WIFEXITED(st) ? WEXITSTATUS(st) : 1000 + st, slurp(o), slurp(e)};
}

runres cli(const std::string &args) { return run(std::string(VELTOCLI) + " " + args); }

std::string save(const char *name) {
    const std::string p = tmpdir() + "/" + name;
    savevsm(p.c_str());
    return p;
}

// V 5 V (input, wire 0) -> R 1k -> C 1u to ground, C charging from 0
std::string rcfile(void) {
    tbclear();
    const int g = tbnode(1), n1 = tbnode(0), n2 = tbnode(0);
    ibodewire = tbwire(g, n1, 'V', "5");
    tbwire(n1, n2, 'R', "1000");
    tbwire(n2, g, 'C', "1E-6", OWNWIRE, "0");
    transdefxsc = 1.0 / 8192;
    return save("rc.vsm");
}

std::vector<std::vector<double>> csv(const std::string &text, std::string *header) {
    std::vector<std::vector<double>> rows;
    size_t pos = text.find('\n');
    if (header) *header = text.substr(0, pos);
    while (pos != std::string::npos && pos + 1 < text.size()) {
        const size_t next = text.find('\n', pos + 1);
        std::vector<double> row;
        const char *p = text.c_str() + pos + 1;
        while (true) {
            char *end;
            row.push_back(strtod(p, &end));
            if (*end != ',') break;
            p = end + 1;
        }
        rows.push_back(row);
        pos = next;
    }
    return rows;
}

}  // namespace

TEST(Cli, BadArgumentsExitTwoWithAMessage) {
    const std::string f = rcfile();
    const char *cases[] = {
        "tran", "tran FILE", "tran --probe wire:0", "tran FILE FILE --probe wire:1",
        "tran FILE --probe wire:x", "tran FILE --probe wire:", "tran FILE --probe node:-1",
        "tran FILE --probe wire:--1", "tran FILE --probe wire:+1", "tran FILE --probe branch:1",
        "tran FILE --probe wire:3", "tran FILE --probe node:3", "tran FILE --probe wire:99999999999",
        "tran FILE --probe wire:1 --cols 0", "tran FILE --probe wire:1 --cols -5", "tran FILE --probe wire:1 --cols 2x",
        "tran FILE --probe wire:1 --xscale 0", "tran FILE --probe wire:1 --xscale -1e-3",
        "tran FILE --probe wire:1 --xscale nan", "tran FILE --probe wire:1 --xscale inf",
        "tran FILE --probe wire:1 --samps 5", "tran FILE --probe wire:1 --samps", "tran FILE --probe wire:1 --bogus 1",
        "tran /nonexistent/x.vsm --probe wire:1", "tran /tmp --probe wire:1",
        "ac FILE", "ac FILE --probe node:2 --in 7", "ac FILE --probe node:2 --in -1", "ac FILE --probe wire:9",
        "ac FILE --probe node:2 --points 0", "ac FILE --probe node:2 --from abc", "ac FILE --probe node:2 --from 400",
        "ac FILE --probe node:2 --to", "ac /nonexistent/x.vsm --probe node:2",
        "spice", "spice FILE FILE", "spice --probe", "spice /nonexistent/x.vsm",
    };
    for (const char *c : cases) {
        std::string args = c;
        for (size_t p; (p = args.find("FILE")) != std::string::npos;) args.replace(p, 4, f);
        const runres r = cli(args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_TRUE(r.out.empty()) << args;
        EXPECT_FALSE(r.err.empty()) << args;
        const bool gone = args.find("/nonexistent/") != std::string::npos;
        EXPECT_TRUE(!gone || r.err.find("/nonexistent/x.vsm") != std::string::npos) << args;  // names the file
    }
    ibodewire = -1;  // ac without --in needs the file's Bode input
    const runres r = cli("ac " + save("noinput.vsm") + " --probe node:2");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("--in"), std::string::npos);
}

TEST(Cli, UnsolvableCircuitExitsThreeWithTheDcMessage) {
    rcfile();
    tbnode(0);  // an isolated node
    const std::string f = save("floating.vsm");
    tbclear();
    const int g = tbnode(1), n1 = tbnode(0);
    tbwire(g, n1, 'R', "1");
    tbwire(n1, g, 'E', "2");  // no controlling wire chosen yet
    const std::string e = save("noctrl.vsm");
    const struct {
        std::string args, err;
    } cases[] = {
        {"tran " + f + " --probe wire:2 --cols 4", "singular: a node voltage is undetermined\n"},
        {"ac " + f + " --probe wire:2", "singular: a node voltage is undetermined\n"},
        {"tran " + e + " --probe node:1 --cols 2", "empty: nothing to solve\n"},
    };
    for (const auto &k : cases) {
        const runres r = cli(k.args);
        EXPECT_EQ(r.code, 3) << k.args;
        EXPECT_EQ(r.err, k.err) << k.args;
        EXPECT_TRUE(r.out.empty()) << k.args;
    }
}

// 9000 columns run past one buffer (4 x 2048): the program slides it, the
// window's buffer here is wide enough for all; both must agree bit for bit.
TEST(Cli, TranPrintsTheWindowsColumns) {
    const std::string f = rcfile();
    const runres r = cli("tran " + f + " --probe wire:2 --cols 9000 --samps 4");
    ASSERT_EQ(r.code, 0) << r.err;
    std::string head;
    const auto rows = csv(r.out, &head);
    EXPECT_EQ(head, "time,min,max");
    ASSERT_EQ(rows.size(), 9000u);
    loadvsm(f.c_str());
    tbplot t(PLOT_TRANS, 2, 1);
    t.rec.xscale = transdefxsc;
    transcompute(9000, 4, 9000, 0);
    for (int c = 0; c < 9000; c++) {
        ASSERT_EQ(rows[c][0], c * transdefxsc);
        ASSERT_EQ(rows[c][1], -t.rec.colmax[c]) << c;  // q = -s
        ASSERT_EQ(rows[c][2], -t.rec.colmin[c]) << c;
    }
    EXPECT_NEAR(rows[8999][2], 5, 1e-6);
}

// "wire:-0" is wire 0 with the sense flipped, not wire 0.
TEST(Cli, MinusZeroProbeFlipsWireZero) {
    const std::string f = rcfile();
    const auto p = csv(cli("tran " + f + " --probe wire:0 --cols 3").out, nullptr);
    const auto m = csv(cli("tran " + f + " --probe wire:-0 --cols 3").out, nullptr);
    ASSERT_EQ(p.size(), 3u);
    ASSERT_EQ(m.size(), 3u);
    for (int c = 0; c < 3; c++) {
        EXPECT_EQ(m[c][1], -p[c][2]);
        EXPECT_EQ(m[c][2], -p[c][1]);
        EXPECT_NEAR(p[c][1], -5, 1e-9);  // wire 0 runs from ground to the 5 V node
    }
}

TEST(Cli, AcPrintsGainAndPhaseOfEachPoint) {
    const std::string f = rcfile();
    std::string head;
    auto rows = csv(cli("ac " + f + " --probe wire:2 --from 0 --to 6 --points 7").out, &head);
    EXPECT_EQ(head, "freq,gain_db,phase_deg");
    ASSERT_EQ(rows.size(), 7u);
    for (int i = 0; i < 7; i++) {
        const double w = pow(10.0, i), x = w * 1e-3;
        EXPECT_NEAR(rows[i][0], w, w * 1e-12);
        EXPECT_NEAR(rows[i][1], -10 * log10(1 + x * x), 1e-9);
        EXPECT_NEAR(rows[i][2], -atan(x) * 180 / M_PI, 1e-7);
    }
    // hertz moves the corner by 2 pi; the probe's sense is used as given
    rows = csv(cli("ac " + f + " --probe wire:-2 --from 0 --to 0 --points 1 --hertz").out, nullptr);
    ASSERT_EQ(rows.size(), 1u);
    const double x = 2 * M_PI * 1e-3;
    EXPECT_NEAR(rows[0][1], -10 * log10(1 + x * x), 1e-9);
    EXPECT_NEAR(rows[0][2], 180 - atan(x) * 180 / M_PI, 1e-7);
}

// --time adds one line "analysis: N s" to stderr and changes nothing on stdout
TEST(Cli, TimeOptionReportsTheAnalysisTimeOnly) {
    const std::string f = rcfile();
    const char *runs[] = {"tran FILE --probe wire:2 --cols 300 --samps 16", "ac FILE --probe wire:2 --points 50"};
    for (const char *c : runs) {
        std::string args = c;
        args.replace(args.find("FILE"), 4, f);
        const runres plain = cli(args), timed = cli(args + " --time");
        ASSERT_EQ(plain.code, 0) << args << plain.err;
        EXPECT_EQ(timed.code, 0) << args;
        EXPECT_EQ(timed.out, plain.out) << args;
        double secs = -1;
        char unit = 0;
        EXPECT_EQ(sscanf(timed.err.c_str(), "analysis: %lf %c", &secs, &unit), 2) << timed.err;
        EXPECT_EQ(unit, 's');
        EXPECT_GE(secs, 0.0);
        EXPECT_LT(secs, 60.0);
        EXPECT_EQ(std::count(timed.err.begin(), timed.err.end(), '\n'), 1) << timed.err;
    }
}

// === the SPICE netlist against ngspice ===
namespace {

typedef std::complex<double> cx;
typedef std::map<std::string, cx> printout;  // name -> value of one "print all"

int havengspice(void) { return system("command -v ngspice >/dev/null 2>&1") == 0; }

// Runs the netlist of `veltocli spice` with an operating point and one AC
// point per frequency; one printout per analysis, the operating point first.
std::vector<printout> ngspicerun(const std::string &netlist, const std::vector<double> &hz) {
    std::string deck;
    for (size_t pos = 0; pos < netlist.size();) {
        size_t e = netlist.find('\n', pos);
        if (e == std::string::npos) e = netlist.size();
        const std::string line = netlist.substr(pos, e - pos);
        if (line.compare(0, 3, ".op") != 0 && line.compare(0, 4, ".end") != 0) deck += line + "\n";
        pos = e + 1;
    }
    deck += ".control\nset numdgt=15\nop\nprint all\n";
    for (double f : hz) {
        char b[128];
        snprintf(b, sizeof b, "ac lin 1 %.17g %.17g\nprint all\n", f, f);
        deck += b;
    }
    deck += ".endc\n.end\n";
    const std::string path = tmpdir() + "/deck.cir";
    FILE *fp = fopen(path.c_str(), "w");
    fputs(deck.c_str(), fp);
    fclose(fp);
    const runres r = run("ngspice -b " + path);
    std::vector<printout> blocks;
    for (size_t pos = 0; pos < r.out.size();) {
        size_t e = r.out.find('\n', pos);
        if (e == std::string::npos) e = r.out.size();
        const std::string line = r.out.substr(pos, e - pos);
        pos = e + 1;
        if (line.find("No. of Data Rows") != std::string::npos) blocks.push_back(printout());
        const size_t eq = line.find(" = ");
        if (eq == std::string::npos || blocks.empty()) continue;
        char *end;
        const double re = strtod(line.c_str() + eq + 3, &end);
        const double im = *end == ',' ? strtod(end + 1, nullptr) : 0;
        blocks.back()[line.substr(0, eq)] = cx(re, im);
    }
    return blocks;
}

cx solvednode(int i) { return cx(el[yh[numwires + i]].re, el[yh[numwires + i]].im); }

// DC and AC node voltages of the loaded circuit against ngspice's; false when
// VELTO cannot solve the circuit (nothing to compare)
bool comparewithngspice(const std::string &file) {
    initmat(0, 0, 0);
    if (smatsolve_real(yh, el, elcnt, pivorder, numwires + numnodes) != 0) return false;
    std::vector<double> dc(numnodes);
    for (int i = 0; i < numnodes; i++) dc[i] = el[yh[numwires + i]].re;
    const std::vector<double> hz = {10, 1000, 1e5};
    const runres net = cli("spice " + file);
    EXPECT_EQ(net.code, 0) << file;
    const auto blocks = ngspicerun(net.out, hz);
    EXPECT_EQ(blocks.size(), 1 + hz.size()) << file << "\n" << net.out;
    if (blocks.size() != 1 + hz.size()) return true;
    for (int i = 0; i < numnodes; i++) {
        if (node[i].isgrounded) continue;
        const std::string name = "n" + std::to_string(i);
        const auto it = blocks[0].find(name);
        if (it == blocks[0].end()) continue;  // a node no SPICE element touches
        EXPECT_NEAR(it->second.real(), dc[i], 1e-9 + 1e-7 * fabs(dc[i])) << file << " dc " << name;
    }
    for (size_t k = 0; k < hz.size(); k++) {
        initmat(2 * M_PI * hz[k], 0, 0);
        if (smatsolve_comp(yh, el, elcnt, pivorder, numwires + numnodes) != 0) continue;
        for (int i = 0; i < numnodes; i++) {
            const auto it = blocks[1 + k].find("n" + std::to_string(i));
            if (node[i].isgrounded || it == blocks[1 + k].end()) continue;
            const cx v = solvednode(i);
            EXPECT_NEAR(std::abs(it->second - v), 0, 1e-9 + 1e-7 * std::abs(v)) << file << " ac " << hz[k] << " n" << i;
        }
    }
    return true;
}

}  // namespace

// Every element letter, a controlled source of each kind with the flipped and
// plain senses, closed and open switches, a probe wire and shaped sources.
TEST(CliSpice, NetlistSolvesLikeVeltoInNgspice) {
    if (!havengspice()) GTEST_SKIP() << "ngspice is not installed";
    tbclear();
    const int g = tbnode(1);
    int n[11];
    for (int &k : n) k = tbnode(0);
    tbwire(g, n[1], 'V', "SIN(1;2;1000;0;0)");
    const int r1 = tbwire(n[1], n[2], 'R', "1000");
    tbwire(n[2], g, 'C', "1E-6", OWNWIRE, "0.5");
    const int l3 = tbwire(n[2], n[3], 'L', "0.01");
    const int r4 = tbwire(n[3], g, 'R', "500");
    const int x5 = tbwire(n[3], g, 'X', "1");
    tbwire(g, n[4], 'E', "2", x5);
    tbwire(n[4], g, 'R', "1000");
    tbwire(n[5], g, 'F', "3", r1);
    tbwire(n[5], g, 'R', "100");
    tbwire(n[6], g, 'G', "0.01", ~r4);
    tbwire(n[6], g, 'R', "200");
    tbwire(g, n[7], 'H', "50", ~l3);
    tbwire(n[7], g, 'R', "1000");
    tbwire(n[7], n[8], 'T', "1");
    tbwire(n[8], g, 'R', "300");
    tbwire(n[1], n[9], 'S', "1");
    tbwire(n[9], g, 'R', "2000");
    tbwire(n[4], n[5], 'S', "0");
    tbwire(n[9], n[10], 'S', "0", -1);  // value 0 with a negative depwire: closed
    tbwire(n[10], g, 'R', "700");
    tbwire(g, n[5], 'I', "PULSE(0.001;0;0;1E-4;1E-4;1E-3;1E-2)");
    tbwire(g, n[6], 'I', "PWL(0;0.002;1;0)");
    tbwire(n[8], n[0], 'R', "10");
    tbwire(n[0], g, 'V', "EXP(3;0;0;1E-3;1;1E-3)");
    const std::string f = save("mixed.vsm");
    loadvsm(f.c_str());
    EXPECT_TRUE(comparewithngspice(f));
}

TEST(CliSpice, ExamplesSolveLikeVeltoInNgspice) {
    if (!havengspice()) GTEST_SKIP() << "ngspice is not installed";
    const std::string dir = std::string(VELTO_SOURCE_DIR) + "/examples";
    DIR *d = opendir(dir.c_str());
    if (!d) GTEST_SKIP() << "no examples";
    int compared = 0;
    while (dirent *e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() < 5 || name.substr(name.size() - 4) != ".vsm") continue;
        const std::string f = dir + "/" + name;
        if (!loadvsm(f.c_str())) continue;
        compared += comparewithngspice(f);
    }
    closedir(d);
    if (!compared) GTEST_SKIP() << "no example VELTO can solve";
}
