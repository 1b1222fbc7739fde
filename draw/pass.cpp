// pass.cpp: the per-pass state the main loop samples at the start of every
// pass (clock, deltas, mouse, animation ticks) and the background tint, read
// by everything it calls. Depends on draw.h only.
#include "draw/draw.h"

const char *veltoversion = VELTOVERSION;

// === per-pass state ===
double dtotclk = 0;
double odtotclk = 0;
double deltim = 0;
double oldtim = 0;
int32_t numframes = INT32_MIN;
float frmousx = 0, frmousy = 0;
float fmousx = 0, fmousy = 0;
int32_t obstatus = 0;
int32_t backgroundcol = 0;
