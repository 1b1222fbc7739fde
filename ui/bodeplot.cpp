// bodeplot.cpp: the Bode window's drawing and controls.
#include "ui/ui.h"

void bodeplot(int32_t inwire, int32_t plotwire, int32_t plotsense, int32_t cursor) {}
void bodecontrols(void) {}
