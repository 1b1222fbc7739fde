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

// === options (cliutil.cpp) ===
// Each subcommand describes its arguments as data: the one positional argument
// (FILE or EXPR), a table of options and the messages of its syntax, and
// cliparse walks argv by them. A bad argument prints
// "veltocli CMD: message[ argument]" and "usage: USAGE" on stderr.
enum { CLIFLAG, CLIINT, CLINUM, CLINUMSP, CLITEXT, CLITEXTS };  // clioption kind
enum { CLITEXTSMAX = 8 };      // most values a CLITEXTS option takes
struct clitexts {              // the values of an option that may be repeated, in order
    const char *v[CLITEXTSMAX];  // v[0] first: null while none is given
    int n;
};
enum {                         // clisyntax style bits
    CLIDASHES = 1,             // an argument beginning "--" is an option (else all are positional)
    CLILETTER = 2,             //   only when a letter follows the dashes ("--5" is positional)
    CLINAMED = 4,              // a message about an argument ends with that argument
    CLIVALUED = 8,             // an option not in the table wants a value too: its lack is said first
};

struct clioption {
    const char *name;          // "--cols"
    int kind;                  // CLIFLAG sets the int to 1; CLIINT int (cliparseint); CLINUM double
                               //   (cliparsenum); CLINUMSP double, blanks before it allowed; CLITEXT text;
                               //   CLITEXTS each text into a clitexts (bad: given too often)
    void *to;                  // int *, double *, const char ** or clitexts * as the kind says
    int (*ok)(double v);       // CLIINT, CLINUM, CLINUMSP: 1 the parsed value is accepted; null any
    const char *bad;           // the value is not one of the kind or not accepted
    const char *absent;        // CLITEXT: the option must be given (*to still null after the walk)
};

struct clisyntax {
    const char *cmd;           // "tran": messages begin "veltocli tran: "
    const char *usage;         // "veltocli tran FILE --probe P ..."
    int style;                 // CLIDASHES ..
    const char *nopos;         // the positional argument missing
    const char *twopos;        // a second positional argument
    const char *unknown;       // an option not in the table
    const char *novalue;       // the last argument is an option that wants a value
};
// 0 parsed, the options' values and *pos stored (left as they were where not given);
// else 2, the message printed
int cliparse(const clisyntax *s, const clioption *opts, int numopts, const char **pos, int argc, char **argv);

// === shared by tran, ac and spice (cliutil.cpp) ===
// Each helper that fails prints "veltocli CMD: reason" on stderr.
const char *solvecodetext(int code);   // the message of a solver code, as dc prints it
int cliloadfile(const char *cmd, const char *path);  // 1 loaded; 0 unreadable (said so)
int cliparseint(const char *s, int *v);              // 1: a whole decimal int32, nothing else
int cliparsenum(const char *s, double *v);           // 1: a whole finite number, nothing else
int cliparseprobe(const char *cmd, const char *s, int *index, int *sense);
                                        // 1: node:I, wire:I (+1) or wire:-I (-1) naming an existing item
struct plotcalc;
int cliprobes(const char *cmd, const clitexts *probes, plotcalc *p);
                                        // 1: every probe parsed and naming an item whose nodes exist,
                                        // the first p's own, the others its further traces
void clifreeplot(plotcalc *p);          // p's buffers and those of its traces released
double clinow(void);                   // seconds on the monotonic clock
void cliputtime(double secs);          // --time: "analysis: N s" on stderr
