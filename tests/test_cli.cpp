// test_cli.cpp: veltocli run as a program: the argument errors of every
// subcommand with their exit code and message, dc's CSV, tran and ac output
// against the in-process computation and the analytic response, and the
// SPICE netlists against committed ones (VELTO_REGENERATE=1 rewrites them).
#include <gtest/gtest.h>
#include <math.h>
#include "tests/testcircuit.h"

namespace {

struct runres {
    int code;
    std::string out, err;
};

// the program run with these arguments in this run's own folder
runres cli(const std::string &args) {
    const std::string o = tctmp("out.txt"), e = tctmp("err.txt");
    const int st = system(("cd " + tctmp("") + " && " VELTOCLI " " + args + " >" + o + " 2>" + e + " </dev/null").c_str());
    return runres{WIFEXITED(st) ? WEXITSTATUS(st) : 1000 + st, tcread(o), tcread(e)};
}

// the circuit in memory saved as a file
std::string save(const char *name) {
    savevsm(tctmp(name).c_str());
    return tctmp(name);
}

// V 5 V (the Bode input, wire 0) -> R 1k -> C 1u to ground, the C charging from 0
std::string rcfile(void) {
    tcbuild("g.. V01:5 R12:1000 C20:1E-6=0");
    ibodewire = 0;
    transdefxsc = 1.0 / 8192;
    return save("rc.vsm");
}

}  // namespace

// === errors ===
// The message names a file that cannot be read, gives the usage when nothing
// follows the subcommand, and asks for --in when the file has no Bode input.
TEST(Cli, BadArgumentsExitTwoWithAMessage) {
    rcfile();
    ibodewire = -1;
    save("noinput.vsm");
    const char *cases[] = {
        "", "bogus", "eval", "eval 1 2", "eval 1 --t", "eval 1 --t x", "eval 1 --bogus", "dc", "dc rc.vsm rc.vsm",
        "dc /nonexistent/x.vsm", "tran", "tran rc.vsm", "tran --probe wire:0", "tran rc.vsm rc.vsm --probe wire:1",
        "tran rc.vsm --probe wire:x", "tran rc.vsm --probe wire:", "tran rc.vsm --probe node:-1",
        "tran rc.vsm --probe wire:--1", "tran rc.vsm --probe wire:+1", "tran rc.vsm --probe branch:1",
        "tran rc.vsm --probe wire:3", "tran rc.vsm --probe node:3", "tran rc.vsm --probe wire:99999999999",
        "tran rc.vsm --probe wire:1 --cols 0", "tran rc.vsm --probe wire:1 --cols 2x",
        "tran rc.vsm --probe wire:1 --xscale 0", "tran rc.vsm --probe wire:1 --xscale nan",
        "tran rc.vsm --probe wire:1 --xscale inf", "tran rc.vsm --probe wire:1 --samps 5",
        "tran rc.vsm --probe wire:1 --samps", "tran rc.vsm --probe wire:1 --bogus 1",
        "tran /nonexistent/x.vsm --probe wire:1", "tran /tmp --probe wire:1", "ac", "ac rc.vsm",
        "ac rc.vsm --probe node:2 --in 7", "ac rc.vsm --probe node:2 --in -1", "ac rc.vsm --probe wire:9",
        "ac rc.vsm --probe node:2 --points 0", "ac rc.vsm --probe node:2 --from abc",
        "ac rc.vsm --probe node:2 --from 400", "ac rc.vsm --probe node:2 --to", "ac /nonexistent/x.vsm --probe node:2",
        "ac noinput.vsm --probe node:2", "spice", "spice rc.vsm rc.vsm", "spice --probe", "spice /nonexistent/x.vsm",
        "dc picture.png", "tran picture.png --probe wire:1",
    };
    std::ofstream(tctmp("picture.png"), std::ios::binary) << std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    for (const std::string args : cases) {
        const runres r = cli(args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        const char *says = args.find("/nonexistent/") != std::string::npos ? "'/nonexistent/x.vsm': No such file"
                           : args.find("picture") != std::string::npos  ? "is not a circuit file"
                           : args.find(' ') == std::string::npos        ? "usage"
                           : args.find("noinput") != std::string::npos  ? "--in"
                                                                        : "";
        EXPECT_NE(r.err, "") << args;
        EXPECT_NE(r.err.find(says), std::string::npos) << args << ": " << r.err;
    }
}

// Each subcommand's own rules: tran and ac name the offending argument, and
// want a value after an unknown option first; eval and dc say what is wrong
// without it; eval reads "--5" as an expression and a time after blanks.
TEST(Cli, ArgumentsFollowEachSubcommandsRules) {
    const std::string tran = "usage: veltocli tran FILE --probe P [--probe P2 ...] [--cols N] [--xscale S] [--samps K] [--time]\n";
    const struct { const char *args, *out; std::string err; } cases[] = {
        {"tran a --bogus", "", "veltocli tran: missing value after --bogus\n" + tran},
        {"tran a --cols 0 --bogus 1", "", "veltocli tran: --cols wants a whole number >= 1, not 0\n" + tran},
        {"tran a", "", "veltocli tran: no --probe given\n" + tran},
        {"eval 1 --bogus", "", "veltocli eval: unknown option\nusage: veltocli eval EXPR [--t T]\n"},
        {"eval t --t ' 5'", "5\n", ""},
        {"eval --5", "5\n", ""},
        {"dc --x a", "", "veltocli dc: more than one argument\nusage: veltocli dc FILE\n"},
    };
    for (const auto &c : cases) {
        const runres r = cli(c.args);
        EXPECT_EQ(r.code, c.err.empty() ? 0 : 2) << c.args;
        EXPECT_EQ(r.out, c.out) << c.args;
        EXPECT_EQ(r.err, c.err) << c.args;
    }
}

// eval reads a number's engineering suffix as the circuit file does, and
// refuses letters a number cannot carry
TEST(Cli, EvalReadsSuffixesOrRefuses) {
    for (const auto &c : {std::make_pair("1MEG", "1E6"), std::make_pair("2u", "2E-6"), std::make_pair("4k7", "4.7E3")}) {
        const runres r = cli(std::string("eval ") + c.first), want = cli(std::string("eval ") + c.second);
        EXPECT_EQ(r.code, 0) << c.first;
        EXPECT_EQ(r.out, want.out) << c.first;
    }
    const runres r = cli("eval 10Q");
    EXPECT_EQ(r.code, 4);
    EXPECT_EQ(r.err, "ERROR: UNKNOWN SUFFIX\n");
}

// === dc ===
TEST(Cli, DcPrintsEveryNodeThenEveryWire) {
    tcbuild("g.. V01:10 R12:1000 R20:3000");
    const runres r = cli("dc " + save("divider.vsm"));
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "kind,index,value\nnode,0,0\nnode,1,10\nnode,2,7.5\n"
                     "wire,0,0.0025000000000000001\nwire,1,0.0025000000000000001\nwire,2,0.0025000000000000001\n");
    EXPECT_EQ(r.err, "");
}

// === tran and ac ===
// 9000 columns run past one buffer (4 x 2048): the program slides it, the
// window's buffer here is wide enough for all; both must agree bit for bit.
// "wire:-0" is wire 0 with the sense flipped.
TEST(Cli, TranPrintsTheWindowsColumns) {
    const std::string f = rcfile();
    const struct {
        const char *probe;
        int wire, sense, cols;
    } runs[] = {{"wire:2", 2, 1, 9000}, {"wire:-0", 0, -1, 3}};
    for (const auto &k : runs) {
        const runres r = cli("tran " + f + " --probe " + k.probe + " --samps 4 --cols " + std::to_string(k.cols));
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, "");  // the initial conditions solved: no warning
        std::string head;
        const auto rows = tccsv(r.out, &head);
        EXPECT_EQ(head, "time,min,max");
        ASSERT_EQ(rows.size(), (size_t)k.cols);
        loadvsm(f.c_str());
        tcplot t(k.wire, k.sense, transdefxsc);
        transcompute(&t.rec, 9000, 4, k.cols, nullptr, 0);
        for (int c = 0; c < k.cols; c++) {
            ASSERT_EQ(rows[c][0], c * transdefxsc);
            ASSERT_EQ(rows[c][1], -t.rec.colmax[c]) << k.probe << " column " << c;  // q = -s
            ASSERT_EQ(rows[c][2], -t.rec.colmin[c]) << k.probe << " column " << c;
        }
        EXPECT_NEAR(rows[k.cols - 1][2], 5, 1e-6);  // the C charged; wire 0 from ground to the 5 V node
    }
    // a capacitor forced to 0 V across the source: the run goes on from 0, and says so
    tcbuild("g. V01:5 C10:1E-6=0 R10:1000");
    const runres r = cli("tran " + save("forced.vsm") + " --probe node:1 --cols 2");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.err.find("warning: initial conditions:"), std::string::npos) << r.err;
}

TEST(Cli, AcPrintsGainAndPhaseOfEachPoint) {
    const std::string f = rcfile();
    std::string head;
    auto rows = tccsv(cli("ac " + f + " --probe wire:2 --from 0 --to 6 --points 7").out, &head);
    EXPECT_EQ(head, "freq,gain_db,phase_deg");
    ASSERT_EQ(rows.size(), 7u);
    for (int i = 0; i < 7; i++) {
        const double w = pow(10.0, i), x = w * 1e-3;
        EXPECT_NEAR(rows[i][0], w, w * 1e-12);
        EXPECT_NEAR(rows[i][1], -10 * log10(1 + x * x), 1e-9);
        EXPECT_NEAR(rows[i][2], -atan(x) * 180 / M_PI, 1e-7);
    }
    // hertz moves the corner by 2 pi; the probe's sense is used as given
    rows = tccsv(cli("ac " + f + " --probe wire:-2 --from 0 --to 0 --points 1 --hertz").out);
    ASSERT_EQ(rows.size(), 1u);
    const double x = 2 * M_PI * 1e-3;
    EXPECT_NEAR(rows[0][1], -10 * log10(1 + x * x), 1e-9);
    EXPECT_NEAR(rows[0][2], 180 - atan(x) * 180 / M_PI, 1e-7);
}

// A source input at 0 when t = 0 gives its transfer function; an input that
// is 0 at every frequency is said so rather than printed as nan.
TEST(Cli, AcDividesBySourceTransferOrSaysTheInputIsZero) {
    tcbuild("g.. V01:SIN(0;1;1000;0;0) R12:1000 C20:1E-6");
    ibodewire = 0;
    const runres r = cli("ac " + save("sin.vsm") + " --probe wire:2 --from 3 --to 3 --points 1");
    ASSERT_EQ(r.code, 0) << r.err;
    const auto rows = tccsv(r.out);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_NEAR(rows[0][1], -10 * log10(2), 1e-9);
    EXPECT_NEAR(rows[0][2], -45, 1e-7);
    tcbuild("g... V01:SIN(0;1;1000;0;0) R12:1000 R20:1000 R30:1000 X03:1");
    ibodewire = 4;  // an X across a resistor that nothing drives
    const runres z = cli("ac " + save("zero.vsm") + " --probe node:2 --points 5");
    EXPECT_EQ(z.code, 3);
    EXPECT_EQ(z.out, "");
    EXPECT_NE(z.err.find("input is 0 at every frequency"), std::string::npos) << z.err;
}

// Several probes: one group per probe, each the numbers a one-probe run gives.
TEST(Cli, SeveralProbesGiveAGroupEach) {
    const std::string f = rcfile();
    const runres one = cli("tran " + f + " --probe wire:2 --samps 4 --cols 50");
    const runres two = cli("tran " + f + " --probe node:1 --probe wire:2 --samps 4 --cols 50");
    ASSERT_EQ(two.code, 0) << two.err;
    EXPECT_EQ(two.out.substr(0, two.out.find('\n')), "time,V(1) min,V(1) max,V(w2) min,V(w2) max");
    std::istringstream a(one.out), b(two.out);
    std::string la, lb;
    std::getline(a, la), std::getline(b, lb);
    for (int c = 0; std::getline(a, la) && std::getline(b, lb); c++)  // V(1) is the source's 5 V
        ASSERT_EQ(lb, la.substr(0, la.find(',')) + ",5,5" + la.substr(la.find(','))) << "column " << c;
    const runres ac = cli("ac " + f + " --probe wire:2 --probe node:1 --from 0 --to 6 --points 7");
    ASSERT_EQ(ac.code, 0) << ac.err;
    EXPECT_EQ(ac.out.substr(0, ac.out.find('\n')), "freq,V(w2) gain_db,V(w2) phase_deg,V(1) gain_db,V(1) phase_deg");
    EXPECT_NE(ac.out.find("\n1000,-3.0102999566398"), std::string::npos) << ac.out;
    std::string nine;
    for (int k = 0; k < 9; k++) nine += " --probe node:1";
    EXPECT_EQ(cli("tran " + f + nine).code, 2) << "at most 8";
}

// === the SPICE netlist ===

// Every element letter, a controlled source of each kind with the flipped and
// plain senses, closed and open switches (the last: value 0 with a negative
// depwire), a probe wire and shaped sources.
#define MIXED                                                                                                  \
    "g........... V02:SIN(1;2;1000;0;0) R23:1000 C30:1E-6=0.5 L34:0.01 R40:500 X40:1 E05:2@5 R50:1000 "      \
    "F60:3@1 R60:100 G70:0.01@~4 R70:200 H08:50@~3 R80:1000 T89:1 R90:300 S2a:1 Ra0:2000 S56:0 Sab:0@~0 "      \
    "Rb0:700 I06:PULSE(0.001;0;0;1E-4;1E-4;1E-3;1E-2) I07:PWL(0;0.002;1;0) R91:10 V10:EXP(3;0;0;1E-3;1;1E-3)"

// The mixed circuit (at the default time scale) and every example, by name and path.
static std::vector<std::pair<std::string, std::string>> spicefiles(void) {
    tcbuild(MIXED);
    transdefxsc = 0.015625;
    std::vector<std::pair<std::string, std::string>> files = {{"mixed", save("mixed.vsm")}};
    for (const std::string &p : tcglob(VELTO_SOURCE_DIR "/examples/*.vsm"))
        files.push_back({p.substr(p.rfind('/') + 1, p.size() - p.rfind('/') - 5), p});
    return files;
}

TEST(CliSpice, NetlistsAreTheCommittedOnes) {
    const bool regenerate = getenv("VELTO_REGENERATE") != nullptr;
    for (const auto &f : spicefiles()) {
        const std::string text = tcread(f.second);  // read before the copy (maybe itself) is opened
        std::ofstream(tctmp(f.first + ".vsm"), std::ios::binary) << text;  // named alike wherever the tests run
        const runres net = cli("spice " + f.first + ".vsm");
        ASSERT_EQ(net.code, 0) << f.first << net.err;
        const std::string want = std::string(VELTO_SOURCE_DIR) + "/tests/data/spice/" + f.first + ".cir";
        if (regenerate) std::ofstream(want, std::ios::binary) << net.out;
        EXPECT_EQ(net.out, tcread(want)) << f.first << " (VELTO_REGENERATE=1 rewrites " << want << ")";
    }
}
