// capture.cpp: the screen capture.
#include "ui/ui.h"

char capitnowfilnam[PATHMAX] = "";
int32_t domenusavebmp = 0;
int32_t capcount = 0;

void menusavebmp(int32_t arg) {}
void capturewrite(void) { capitnowfilnam[0] = 0; }
