// view.cpp: the view transform of the schematic, screen = world * fsscale +
// offset, which the editor, the schematic and the plot windows' probe lines
// share. The zoom is a power of two, so the float scale is exact; offsets
// are kept in float and truncated to integers for hit tests and snapping.
#include "draw/draw.h"

float fsscale = 1.f;
float frscale = 1.f;
int32_t ilscale = 0;
float fsxoff = 0.f, fsyoff = 0.f;
int32_t isxoff = 0, isyoff = 0;

double screenx(double x) { return x * fsscale + fsxoff; }
double screeny(double y) { return y * fsscale + fsyoff; }

// single precision from the integer offset, as snapping has always done
int32_t worldx(int32_t sx) { return (int32_t)((float)(sx - isxoff) * frscale); }
int32_t worldy(int32_t sy) { return (int32_t)((float)(sy - isyoff) * frscale); }

void viewreset(void)
{
    fsxoff = fsyoff = 0;
    isxoff = isyoff = 0;
    fsscale = frscale = 1;
    ilscale = 0;
}
