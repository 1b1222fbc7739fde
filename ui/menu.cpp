// menu.cpp: the in-window menu: its table, keyboard navigation, drawing and
// the handlers of the display settings.
#include "ui/ui.h"

menutype menu[MENUCOUNT];
int32_t menusel = -1;

int32_t menulev(int32_t i) { return 0; }
int32_t menuchild(int32_t i) { return -1; }
int32_t menuparent(int32_t i) { return -1; }
int32_t menunext(int32_t i) { return -1; }
int32_t menuprev(int32_t i) { return -1; }
int32_t menuinput(int32_t key) { menusel = -1; return 0; }
void menudraw(int32_t first, int32_t x, int32_t y) {}

static void onoff(int32_t *v, int32_t arg)
{
    if (arg < 0) *v ^= 1;
    else if (arg <= 1) *v = arg;
}

void menuinvcols(int32_t arg) { onoff(&vopts.palinverted, arg); }
void menushowgrid(int32_t arg) { onoff(&vopts.gridmode, arg); }
void menushowcircles(int32_t arg) { onoff(&vopts.showcircles, arg); }
void menushowanimation(int32_t arg) { onoff(&vopts.showanimation, arg); }
void menushowresults(int32_t arg) { onoff(&vopts.showresults, arg); }
void menuusewingui(int32_t arg) { onoff(&vopts.usewingui, arg); }
void menuautoyscale(int32_t arg) { onoff(&vopts.autoyscale, arg); }
void menushowcirchelp(int32_t arg) { onoff(&vopts.showcirchelp, arg); }
void menusetoversamp(int32_t v) { vopts.sampsperpix = v; }
void menusetfontsiz(int32_t k) {}
void menusetcpuusage(int32_t v) { vopts.cpuusage = v; }
void menushowhelp(int32_t k) {}
void menuabout(int32_t arg) {}
void menuquit(int32_t arg) { quitloop(); }
