// cmd_eval.cpp: placeholder until the subcommand exists.
#include <stdio.h>
#include "cli/cli.h"

int cmd_eval(int, char **) {
    fprintf(stderr, "veltocli eval: not available yet\n");
    return 2;
}
