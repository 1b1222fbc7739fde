// cmd_ac.cpp: placeholder until the subcommand exists.
#include <stdio.h>
#include "cli/cli.h"

int cmd_ac(int, char **) {
    fprintf(stderr, "veltocli ac: not available yet\n");
    return 2;
}
