// veltocli.cpp: the batch front end: evaluate expressions and run the three
// analyses on a circuit file, printing numbers with %.17g and CSV on stdout.
// Errors go to stderr; exit codes are listed in cli.h.
#include <stdio.h>
#include <string.h>
#include "cli/cli.h"

static const struct { const char *name; int (*run)(int, char **); } subcommands[] = {
    {"eval", cmd_eval}, {"dc", cmd_dc}, {"tran", cmd_tran}, {"ac", cmd_ac}, {"spice", cmd_spice},
};

static const char usagetext[] =
            "usage: veltocli eval EXPR [--t T]\n"
            "       veltocli dc FILE\n"
            "       veltocli tran FILE --probe P [--probe P2 ...] [--cols N] [--xscale S] [--samps K] [--time]\n"
            "       veltocli ac FILE --probe P [--probe P2 ...] [--in W] [--from A] [--to B] [--points N] [--hertz] [--time]\n"
            "       veltocli spice FILE\n"
            "probes: node:I, wire:I, wire:-I\n"
            "--time: the analysis alone (no loading, no printing) in seconds on stderr, as \"analysis: N s\"\n"
            "veltocli --help: this text; veltocli --version: the version\n";

static int usage(void) {
    fputs(usagetext, stderr);
    return 2;
}

int main(int argc, char **argv) {
    if (argc < 2) return usage();
    if (!strcmp(argv[1], "--help")) return fputs(usagetext, stdout), 0;
    if (!strcmp(argv[1], "--version")) return printf("veltocli %s\n", VELTOVERSION), 0;
    for (const auto &s : subcommands)
        if (!strcmp(argv[1], s.name)) return s.run(argc - 2, argv + 2);
    fprintf(stderr, "veltocli: unknown subcommand '%s'\n", argv[1]);
    return usage();
}
