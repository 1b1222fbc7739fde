// cmd_dc.cpp: placeholder until the subcommand exists.
#include <stdio.h>
#include "cli/cli.h"

int cmd_dc(int, char **) {
    fprintf(stderr, "veltocli dc: not available yet\n");
    return 2;
}
