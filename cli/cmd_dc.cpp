// cmd_dc.cpp: veltocli dc FILE: loads a circuit file, solves its DC operating
// point (dcsolve) and prints every node voltage and wire current as CSV with
// %.17g; a circuit that cannot be solved gets dcsolve's sentence on stderr. Depends on circuit.h and analysis.h.
// Exit codes: 0 solved, 2 bad arguments or unreadable file, 3 not solvable.
#include <stdio.h>
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "cli/cli.h"

// === arguments ===
static int dcusage(const char *why) {
    fprintf(stderr, "veltocli dc: %s\nusage: veltocli dc FILE\n", why);
    return 2;
}

// === subcommand ===
int cmd_dc(int argc, char **argv) {
    if (argc < 1) return dcusage("missing circuit file");
    if (argc > 1) return dcusage("more than one argument");
    if (!cliloadfile("dc", argv[0])) return 2;
    matbad = dcsolve();
    if (matbad != SOLVED) {
        fprintf(stderr, "%s\n", whytext[0] ? whytext : solvecodetext(matbad));
        return 3;
    }
    printf("kind,index,value\n");
    for (int32_t i = 0; i < numnodes; i++) printf("node,%d,", (int)i), putnum(el[yh[numwires + i]].re, '\n');
    for (int32_t i = 0; i < numwires; i++) printf("wire,%d,", (int)i), putnum(el[yh[i]].re, '\n');
    return 0;
}
