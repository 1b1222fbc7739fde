// cmd_tran.cpp: placeholder until the subcommand exists.
#include <stdio.h>
#include "cli/cli.h"

int cmd_tran(int, char **) {
    fprintf(stderr, "veltocli tran: not available yet\n");
    return 2;
}
