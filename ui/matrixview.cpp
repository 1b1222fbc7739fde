// matrixview.cpp: the matrix debug window.
#include "ui/ui.h"

void matrixrender(void) {}
void matrixcontrols(void) {}
