// cmd_dc.cpp: veltocli dc FILE: loads a circuit file, solves its DC operating
// point (initmat(0, 0, 0), smatsolve_real) and prints every node voltage and
// wire current as CSV with %.17g. Depends on circuit.h and analysis.h.
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
    const char *path = argv[0];
    if (!loadvsm(path)) {
        fprintf(stderr, "veltocli dc: cannot read '%s'\n", path);
        return 2;
    }
    if (vsmrepairs)
        fprintf(stderr, "veltocli dc: '%s': %d damaged item%s repaired or dropped\n", path,
                (int)vsmrepairs, vsmrepairs == 1 ? "" : "s");

    initmat(0, 0, 0);
    const int32_t n = numwires + numnodes;
    matbad = smatsolve_real(yh, el, elcnt, pivorder, n);
    if (matbad == 1) fprintf(stderr, "singular: a node voltage is undetermined\n");
    else if (matbad == 16384) fprintf(stderr, "singular: a wire current is undetermined\n");
    else if (matbad == 2) fprintf(stderr, "empty: nothing to solve\n");
    if (matbad) return 3;

    printf("kind,index,value\n");  // + 0.0: a zero prints as 0, never -0
    for (int32_t i = 0; i < numnodes; i++) printf("node,%d,%.17g\n", (int)i, el[yh[numwires + i]].re + 0.0);
    for (int32_t i = 0; i < numwires; i++) printf("wire,%d,%.17g\n", (int)i, el[yh[i]].re + 0.0);
    return 0;
}
