// transplot.cpp: the transient window's drawing and controls.
#include "ui/ui.h"

void transplot(int32_t plotwire, int32_t plotsense, int32_t cursor) {}
void transautoscale(void) {}
void transcontrols(void) {}
