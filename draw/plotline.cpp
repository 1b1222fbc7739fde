// plotline.cpp: the line routines of plots and schematic: solid line, 32-pixel
// on/off pattern, marching two-colour dashes and line-to from the pen.
// Depends on the frame's pixel writer drawpixp and its target gdd (frame.h).
// The minor axis steps in 20-bit fixed point; it is kept in 64 bits and the
// major axis is cut to gdd, so lines far beyond the window stay exact and cheap.
#include <math.h>
#include "draw/draw.h"

double movetoposx, movetoposy;

// === common stepping ===
enum { LINESOLID, LINEMASK, LINETWOCOL };

static uint32_t rotl32(uint32_t v, int32_t s) {
    s &= 31;
    return s ? v << s | v >> (32 - s) : v;
}

// Walks the major axis a over the rounded half-open span of the end points,
// plotting b >> 20 with b starting at the pixel centre of the first column.
// LINEMASK skips columns whose pattern bit is clear; LINETWOCOL draws them in col0
// and the others in col1.
static void linewalk(double x0, double y0, double x1, double y1, int32_t col0, int32_t col1,
                     uint32_t pattern, int32_t mode) {
    movetoposx = x1, movetoposy = y1;
    double dx = x1 - x0, dy = y1 - y0;
    int32_t ymajor = fabs(dx) < fabs(dy);
    double a0 = ymajor ? y0 : x0, a1 = ymajor ? y1 : x1, da = ymajor ? dy : dx;
    double b0 = ymajor ? x0 : y0, db = ymajor ? dx : dy;
    if (da == 0 || !isfinite(da) || !isfinite(db)) return;   // NaN and infinities draw nothing
    double fa = nearbyint(fmin(a0, a1)), fb = nearbyint(fmax(a0, a1));  // ties to even
    if (fa >= fb) return;
    double m = nearbyint(1048576.0 * db / da);                // |m| <= 2^20
    double bstart = nearbyint(1048576.0 * b0 + (fa + 0.5 - a0) * m);
    // --- cut the major span to the target; b at ca is bstart + (ca - fa) m, as stepping gives ---
    double ca = fmax(fa, 0.0), cb = fmin(fb, (double)(ymajor ? gdd.y : gdd.x));
    if (ca >= cb) return;
    double bat = bstart + (ca - fa) * m;
    if (!(fabs(bat) < 0x1p40)) return;                        // 2^19 pixels off the minor axis at least
    int64_t b = (int64_t)bat, step = (int64_t)m;
    for (int32_t c = (int32_t)ca; c < (int32_t)cb; c++, b += step) {
        int32_t on = pattern >> (c & 31) & 1, col = col0;
        if (mode == LINEMASK && !on) continue;
        if (mode == LINETWOCOL && on) col = col1;
        if (ymajor) drawpixp((int32_t)(b >> 20), c, col);
        else drawpixp(c, (int32_t)(b >> 20), col);
    }
}

// === the four routines ===
void line(double x0, double y0, double x1, double y1, int32_t col) {
    linewalk(x0, y0, x1, y1, col, col, 0, LINESOLID);
}

void dotline2d(double x0, double y0, double x1, double y1, int32_t col, uint32_t pattern) {
    linewalk(x0, y0, x1, y1, col, col, pattern, LINEMASK);
}

// Rotating the dashes towards the end point: left (to higher c) when the line
// runs towards increasing major coordinate, right otherwise.
void dotline(double x0, double y0, double x1, double y1, int32_t col0, int32_t col1, int32_t phase) {
    if (phase < 0) {
        line(x0, y0, x1, y1, col0);
        return;
    }
    double dx = x1 - x0, dy = y1 - y0;
    int32_t up = fabs(dx) >= fabs(dy) ? x1 > x0 : y1 > y0;
    uint32_t pattern = rotl32(0x000F000F, up ? phase : 32 - (phase & 31));
    linewalk(x0, y0, x1, y1, col0, col1, pattern, LINETWOCOL);
}

void lineto(double x, double y, int32_t col) {
    line(movetoposx, movetoposy, x, y, col);
}
