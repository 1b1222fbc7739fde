// app.h: the program: start-up, the main loop's pass and shutdown.
// veltomain is all of it; tests run the same start-up, passes and shutdown
// one at a time on the headless frame.
#pragma once
#include <stdint.h>

// === the program ===
extern const char *veltoinioverride;  // tests: the settings file to use instead of the usual one

int veltomain(int argc, char **argv);   // the whole run; the process's exit code
int32_t veltostart(int argc, char **argv, int32_t *exitcode);
                                        // start-up: 1 running; 0 not (--help, a bad option, no
                                        // window: said so), *exitcode the process's code
int32_t mainpass(void);                 // one pass of the main loop; 0 when the program ends
void veltostop(void);                   // shutdown: frame closed, settings saved if changed

// === command line ===
// Arguments that begin with "--" are options (--scale N, --help, --version);
// "/" followed by a digit sets the client size (/640x480, at most 800 x 600);
// any other argument names the circuit file, the last one wins.
struct veltoargs {
    const char *file;      // the circuit to open, or null
    int32_t scale;         // --scale: 1..4, or -1 when not given
    int32_t exitcode;      // -1 run the program; else leave at once with this code (--help: 0)
};
veltoargs parseargs(int argc, char **argv);  // also sets xres and yres; --help and errors print
