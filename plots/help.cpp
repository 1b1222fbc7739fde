// help.cpp: the two help windows: the built-in key summary and the user's
// guide read from velto.txt beside the program (installed: in its data folder
// ../share/velto). helplayout wraps the text into lines (only CR ends a line;
// long lines break at the last space and are justified to both edges);
// helprender draws them through drawtext into the current window, scrolled by
// gplot. Each text is loaded once and kept.
#include "plots/plots.h"
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

// === help state ===
char *helpbuf[2];              // null until loaded; HELPFAILED is never retried
int32_t helpleng[2];

static const char keysummary[] =
    "Main controls:\r\n"
    "ALT/ESC: Activate menu\r\n"
    " Ctrl+/: This help screen (or F1)\r\n"
    "-./ 0-9: Modify element value (/:clear, K:kilo)\r\n"
    "      \\: Toggle/stamp ground at node\r\n"
    "PgUp/Dn: Change zoom (also keypad * and /)\r\n"
    "BackSpc: Cancel new wire & stop drawing\r\n"
    "  Enter: Stamp new wire & stop drawing\r\n"
    "  Ins/N: Insert node in middle of wire\r\n"
    "  Del/D: Delete wire (& dangling nodes)\r\n"
    " Ctrl+N: Start New circuit\r\n"
    " Ctrl+O: Load .VSM circuit file\r\n"
    " Ctrl+S: Save .VSM circuit file (Ctrl+Shift+S: Save As)\r\n"
    "      ': Matrix solver debug screen (Ax=b)\r\n"
    "      `: Invert screen colors\r\n"
    "      =: Enable/disable dot grid\r\n"
    "      B: Select Bode plot input wire\r\n"
    "      T: Type in a function(t) for element value\r\n"
    "      Z: Set FORCED Initial Condition for C/L at t=0. Leave BLANK for UNFORCED\r\n"
    " LMouse: Drag node, Drag from source to select dependent wire, End loop drawing, Rectangle select\r\n"
    " RMouse: Plot (click on + side of output wire) or Drag background\r\n"
    "    F12: Screen capture to BMP file (or PNG: name ending in .png)\r\n"
    " Ctrl+Z: Undo   Ctrl+Y or Ctrl+Shift+Z: Redo\r\n"
    " Ctrl+X/C/V: Cut/copy/paste selected nodes & their wires\r\n"
    " Ctrl+A: Select all nodes (again: none)   Del/D on empty space: Delete selection\r\n"
    "  Wheel: Zoom   Shift+Wheel over an element: Tune its value\r\n"
    "\r\n"
    "Draw, rename, or flip elements:\r\n"
    "  Space: Transmission line\r\n"
    "      R: Resistor\r\n"
    "      L: Inductor\r\n"
    "      C: Capacitor\r\n"
    "      V: Independent voltage source\r\n"
    "      I: Independent current source\r\n"
    "      E: Voltage-controlled voltage source\r\n"
    "      F: Current-controlled current source\r\n"
    "      G: Voltage-controlled current source\r\n"
    "      H: Current-controlled voltage source\r\n"
    "      S: Switch (open / short)\r\n"
    "      K: Diode: IS;N;BV;RS;CJ0, or LED, SI, Z5V1\r\n"
    "      J: Nonlinear current source, function(V,t)\r\n"
    "      X: Dummy wire, use with E,F,G,H,Bode\r\n"
    "      O: Insert Op-amp\r\n"
    "\r\n"
    "Plot controls:\r\n"
    "      Arrows: Change scale\r\n"
    "Shift+Arrows: Scroll\r\n"
    "       Wheel: Zoom about the mouse (Ctrl: values)   Home: First view\r\n"
    "      LMouse: Cursor A (Shift: B), drag one to move it\r\n"
    "      RMouse: drag window\r\n"
    "      Ctrl+C: Copy the plot's data (CSV) or the help text\r\n"
    " Space/Enter: Toggle hertz/radians in Bode plot\r\n"
    "           A: Automatic gain range in Bode plot\r\n"
    "           M: Next measurement   Tab: next trace\r\n"
    " Shift+RMouse on the schematic: add or remove a trace\r\n";

// === loading ===

static void helploadkeys(void)
{
    char *p = (char *)malloc(sizeof(keysummary));
    if (!p) { helpbuf[0] = HELPFAILED; return; }
    memcpy(p, keysummary, sizeof(keysummary));
    helpbuf[0] = p;
    helpleng[0] = (int32_t)strlen(keysummary);
}

static void helploadfile(void)
{
    char name[PATHMAX];
    helpbuf[1] = HELPFAILED;
    if (!helpfilepath(name, sizeof name)) return;  // path too long for the buffer
    FILE *fil = fopen(name, "rb");
    if (!fil) return;
    long leng = -1;
    if (!fseek(fil, 0, SEEK_END)) leng = ftell(fil);
    if (leng < 0 || leng > 0x7FFFFFF0 || fseek(fil, 0, SEEK_SET)) { fclose(fil); return; }
    char *p = (char *)malloc(leng + 1);
    if (!p) { fclose(fil); return; }
    helpleng[1] = (int32_t)fread(p, 1, leng, fil);  // a file that shrank keeps what was read
    p[helpleng[1]] = 0;
    fclose(fil);
    helpbuf[1] = p;
}

void helpfree(void)
{
    for (int32_t i = 0; i < 2; i++) {
        if (helpbuf[i] && helpbuf[i] != HELPFAILED) free(helpbuf[i]);
        helpbuf[i] = 0;
        helpleng[i] = 0;
    }
}

// === layout ===

// where line[0..bn) breaks: after the last space that has a character before it
static int32_t helpbreak(const char *line, int32_t bn)
{
    if (bn <= 1 || line[bn - 1] == ' ') return bn;
    for (int32_t i = bn - 1; i >= 1; i--)
        if (line[i] == ' ') return i + 1;
    return bn;
}

// appends text byte ch to the line: printable as is, CR one space, TAB three, others dropped
// (a line feed counts as CR where no CR comes before it)
static void helpappend(char *line, int32_t *bn, uint8_t ch)
{
    if (ch >= 0x20 && ch <= 0x7F) line[(*bn)++] = (char)ch;
    else if (ch == 13) line[(*bn)++] = ' ';
    else if (ch == 9) for (int32_t i = 0; i < 3; i++) line[(*bn)++] = ' ';
}

int32_t helplayout(const char *text, int32_t leng, int32_t viewx, int32_t viewy, int32_t w,
                   int32_t h, int32_t ys, helpemit emit, void *ctx)
{
    if (w < 1 || h < 1 || viewx < 0) return 0;
    char line[HELPLINEMAX + 4];         // c + 2 at most: a tab after c - 1 characters
    int32_t c = viewx / w + 1;          // columns per line
    if (c > HELPLINEMAX) c = HELPLINEMAX;
    int32_t bn = 0, y = -ys, count = 0;  // line[0..bn) holds the line being filled
    for (int32_t i = 0; i <= leng || bn > 0; i++) {
        int32_t end = i >= leng, cr = 0;
        if (!end) {
            uint8_t ch = (uint8_t)text[i];
            int32_t lf = ch == 10 && !(i > 0 && text[i - 1] == 13);  // a line end of its own, not CR LF's half
            helpappend(line, &bn, lf ? 13 : ch);
            cr = ch == 13 || lf;
        }
        if (bn < c && !cr && !end) continue;
        // --- emit the line up to its break point ---
        int32_t n = (end && bn < c) ? bn : helpbreak(line, bn);  // a closing line that fits stays whole
        if (y + h >= 0 && n > 0) {
            helpline l = {line, n, y, bn >= c};
            emit(&l, ctx);
            count++;
        }
        memmove(line, line + n, bn - n);
        bn -= n;
        y += h;
        if (y >= viewy) break;
    }
    return count;
}

int32_t helpcharx(int32_t j, const helpline *l, int32_t viewx, int32_t w, int32_t xs)
{
    if (!l->justify) return j * w - xs;
    int64_t step = (l->n > 1) ? ((int64_t)viewx * 65536) / (l->n - 1) : 0;
    return (int32_t)((j * step) / 65536) - xs;
}

// === drawing ===

// scroll offset in whole pixels, kept within what a line position can hold
static int32_t helpround(double v)
{
    if (!(v > -1e9)) return v != v ? 0 : -1000000000;
    if (v > 1e9) return 1000000000;
    return (int32_t)nearbyint(v);
}

struct helpdraw { int32_t f, w, viewx, xs; };

static void helpdrawline(const helpline *l, void *ctx)
{
    const helpdraw *d = (const helpdraw *)ctx;
    char s[HELPLINEMAX + 4];
    if (!l->justify) {
        memcpy(s, l->s, l->n);
        s[l->n] = 0;
        drawtext(d->f, -d->xs, l->y, PAL_LIGHTGREY, -1, "", s);
        return;
    }
    s[1] = 0;
    for (int32_t j = 0; j < l->n; j++) {
        if (l->s[j] == ' ') continue;
        s[0] = l->s[j];
        drawtext(d->f, helpcharx(j, l, d->viewx, d->w, d->xs), l->y, PAL_LIGHTGREY, -1, "", s);
    }
}

const char *helptext(int32_t which, int32_t *leng)
{
    if (which < 0 || which > 1) return 0;
    if (!helpbuf[which]) {
        if (which == 0) helploadkeys(); else helploadfile();
    }
    if (helpbuf[which] == HELPFAILED) return 0;
    *leng = helpleng[which];
    return helpbuf[which];
}

void helprender(int32_t which)
{
    if (which < 0 || which > 1 || !gplot) return;
    if (!helpbuf[which]) {
        if (which == 0) helploadkeys(); else helploadfile();
    }
    if (helpbuf[which] == HELPFAILED) return;
    helpdraw d;
    d.f = circfontindex();
    d.w = fontlist[d.f].width;
    d.viewx = gdd.x;
    d.xs = helpround(gplot->scrollx);
    int32_t ys = helpround(gplot->scrolly);
    helplayout(helpbuf[which], helpleng[which], gdd.x, gdd.y, d.w, fontlist[d.f].height, ys,
               helpdrawline, &d);
}
