// cli.h: the subcommands of veltocli. Each takes the arguments after its name
// and returns the process exit code: 0 done, 2 bad arguments or unreadable
// file, 3 circuit not solvable, 4 expression error.
#pragma once

int cmd_eval(int argc, char **argv);   // eval EXPR [--t T]
int cmd_dc(int argc, char **argv);     // dc FILE
int cmd_tran(int argc, char **argv);   // tran FILE --probe P [--cols N] [--xscale S] [--samps K]
int cmd_ac(int argc, char **argv);     // ac FILE --probe P [--in W] [--from A] [--to B] [--points N] [--hertz]
int cmd_spice(int argc, char **argv);  // spice FILE
