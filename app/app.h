// app.h: the program: start-up, the main loop's pass and shutdown.
// veltomain is all of it; tests run the same start-up, passes and shutdown
// one at a time on the headless frame.
#pragma once
#include <stdint.h>

// === the program ===
extern const char *veltoinioverride;  // tests: the settings file to use instead of the usual one

int veltomain(int argc, char **argv);   // the whole run; the process's exit code
int32_t veltostart(int argc, char **argv);  // start-up; 0 the frame could not open (said so)
int32_t mainpass(void);                 // one pass of the main loop; 0 when the program ends
void veltostop(void);                   // shutdown: frame closed, settings saved if changed

// === command line ===
// "/" followed by a digit sets the client size (/640x480, at most 800 x 600);
// any other argument names the circuit file, the last one wins.
const char *parseargs(int argc, char **argv);  // the circuit file, or null; sets xres and yres
