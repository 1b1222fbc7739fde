// textentry.cpp: the one-line editor of value and initial-condition texts.
#include "ui/ui.h"

int32_t getstringmode = -1;
char **getstringptr = 0;
char *getstringbak = 0;
int32_t getstringleng = 0, getstringcurs = 0, getstringmax = 0;
int32_t getstringsel0 = -1, getstringsel1 = -1;
int32_t getstringinsertmode = 1;
int32_t getstringx = 0, getstringy = 0;
const char *getstringasktext = "";
int32_t getstringfcol = 25;

void getstringopen(int32_t mode, int32_t x, int32_t y, const char *prompt, int32_t col) {}
void getstringinput(void) {}
void getstringcancel(void) { getstringmode = -1; }
void getstringdraw(void) {}
