// keys.cpp: the keys as the rooms above the frame read them: the program's
// filter sees every entry first, and an overlay that owns the keyboard (the
// menu) leaves nothing for the others, typed or held.
#include "draw/draw.h"

int32_t (*keyfilter)(int32_t k) = nullptr;
int32_t (*keysowned)(void) = nullptr;

static int32_t owned(void) { return keysowned && keysowned(); }

int32_t mykeyread(void)
{
    for (;;) {
        if (owned()) return 0;
        int32_t k = keyread();
        if (!k) return 0;
        int32_t taken = keyfilter ? keyfilter(k) : 0;
        if (taken == 2) return 0;
        if (!taken) return k;
    }
}

int32_t keyheld(int32_t scan) { return owned() ? 0 : keystatus[scan & 255]; }
