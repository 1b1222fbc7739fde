// editor.cpp: the editor's input: mouse and keys turned into edits.
#include "ui/ui.h"

int32_t closetoelement = 0;
int32_t grabnode = -1;
int32_t grabrect = -1;
int32_t grabx0 = 0, graby0 = 0, grabx1 = 0, graby1 = 0;
int32_t depwiremode = -1;
int32_t curtypewire = -1;

int32_t mykeyread(void) { return keyread(); }
void dccontrols(void) { while (mykeyread()) {} }
void calcwirenext(void) {}
void zoomview(int32_t steps) {}
void cancelwire(void) {}
