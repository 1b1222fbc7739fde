// cmd_dc.cpp: veltocli dc FILE: loads a circuit file, solves its DC operating
// point (dcsolve) and prints every node voltage and wire current as CSV with
// %.17g; a circuit that cannot be solved gets dcsolve's sentence on stderr. Depends on circuit.h and analysis.h.
// Exit codes: 0 solved, 2 bad arguments or unreadable file, 3 not solvable.
#include <stdio.h>
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "cli/cli.h"

// === arguments ===
// every argument is the file, "--x" included
static const clisyntax dcsyntax = {
    "dc", "veltocli dc FILE", 0, "missing circuit file", "more than one argument", nullptr, nullptr,
};

// === subcommand ===
int cmd_dc(int argc, char **argv) {
    const char *file = nullptr;
    const int bad = cliparse(&dcsyntax, nullptr, 0, &file, argc, argv);
    if (bad) return bad;
    if (!cliloadfile("dc", file)) return 2;
    matbad = dcsolve();
    if (matbad != SOLVED) {
        fprintf(stderr, "%s\n", whytext[0] ? whytext : solvecodetext(matbad));
        return 3;
    }
    printf("kind,index,value\n");
    for (int32_t i = 0; i < numnodes; i++) printf("node,%d,", (int)i), csvnum(stdout, el[yh[numwires + i]].re, '\n');
    for (int32_t i = 0; i < numwires; i++) printf("wire,%d,", (int)i), csvnum(stdout, el[yh[i]].re, '\n');
    return 0;
}
