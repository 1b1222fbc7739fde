// schematic.cpp: dcrender, the whole schematic drawn once per pass.
#include "ui/ui.h"

void dcrender(void) {}
void circle(double cx, double cy, double r, int32_t col) {}
