// cmd_spice.cpp: placeholder until the subcommand exists.
#include <stdio.h>
#include "cli/cli.h"

int cmd_spice(int, char **) {
    fprintf(stderr, "veltocli spice: not available yet\n");
    return 2;
}
