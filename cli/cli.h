// cli.h: the subcommands of veltocli. Each takes the arguments after its name
// and returns the process exit code: 0 done, 2 bad arguments or unreadable
// file, 3 circuit not solvable, 4 expression error.
#pragma once

int cmd_eval(int argc, char **argv);   // eval EXPR [--t T]
int cmd_dc(int argc, char **argv);     // dc FILE
int cmd_tran(int argc, char **argv);   // tran FILE --probe P [--cols N] [--xscale S] [--samps K] [--time]
int cmd_ac(int argc, char **argv);     // ac FILE --probe P [--in W] [--from A] [--to B] [--points N] [--hertz]
                                       //    [--time]
int cmd_spice(int argc, char **argv);  // spice FILE

// === shared by tran, ac and spice (cliutil.cpp) ===
// Each helper that fails prints "veltocli CMD: reason" on stderr.
const char *solvecodetext(int code);   // the message of a solver code, as dc prints it
int cliloadfile(const char *cmd, const char *path);  // 1 loaded; 0 unreadable (said so)
int cliparseint(const char *s, int *v);              // 1: a whole decimal int32, nothing else
int cliparsenum(const char *s, double *v);           // 1: a whole finite number, nothing else
int cliparseprobe(const char *cmd, const char *s, int *index, int *sense);
                                        // 1: node:I, wire:I (+1) or wire:-I (-1) naming an existing item
void putnum(double v, char end);       // %.17g (no minus on zero, nan as "nan") and end
double clinow(void);                   // seconds on the monotonic clock
void cliputtime(double secs);          // --time: "analysis: N s" on stderr
